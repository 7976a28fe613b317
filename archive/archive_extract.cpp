// Extraction: the size and space checks, ExtractAll, ExtractEntry by name and by
// index, folder entries and one file (ExtractCentralDirectoryFile).
//
// Safety rules that hold for every extraction:
// - every name the operation will touch is checked before the first byte is
//   written (entry_name_safety.h); one unsafe name and nothing is extracted;
// - no component below the destination may be a symbolic link or junction, and
//   the target file is created without following a link;
// - a deflated entry never writes more than its uncompressedSize;
// - a damaged directory fails the operation instead of extracting part of it.
#include <new>
#include <string>
#include <vector>

#include "archive/archive2.h"
#include "archive/entry_name_safety.h"
#include "archive/entry_stream.h"
#include "platform/directory.h"
#include "platform/errors.h"
#include "platform/paths.h"
#include "platform/text.h"
#include "runtime/zo_path.h"

namespace {

bool IsFolderEntry(const ArchiveDirectoryEntry& e) { return (e.record.attributes & ZO_ATTR_DIRECTORY) != 0; }

// Sizes are u64 in the archive and s64 at the interface: a hostile sum must stay a
// huge positive number (never wrap to negative and pass the space check).
int64_t ClampSize(uint64_t size) { return size > static_cast<uint64_t>(INT64_MAX) ? INT64_MAX : static_cast<int64_t>(size); }
uint64_t AddSaturated(uint64_t a, uint64_t b) { return b > UINT64_MAX - a ? UINT64_MAX : a + b; }

// Writes the inflated or copied bytes to the target file.
class FileSink : public EntrySink {
 public:
  explicit FileSink(plat::File& file) : file_(file) {}
  bool Put(const uint8_t* data, size_t size) override { return file_.Write(data, size); }

 private:
  plat::File& file_;
};

// Creates a new, empty file beside `target` (same folder, so that a rename can
// put it in the target's place in one step) and names it in `*path`. The file
// is made exclusively: an existing name, or a link planted under it, is never
// opened. Invalid when no name is free or the name would be longer than a
// target may be.
plat::File CreateSibling(const std::u16string& target, std::u16string* path) {
  static const char16_t kHex[] = u"0123456789abcdef";
  const size_t folderEnd = target.find_last_of(plat::kSeparator);
  if (folderEnd == std::u16string::npos) return {};
  for (unsigned attempt = 0; attempt < 64; ++attempt) {
    std::u16string candidate = target.substr(0, folderEnd + 1) + u"~orv";
    for (int shift = 12; shift >= 0; shift -= 4) candidate.push_back(kHex[(attempt * 0x9E37u >> shift) & 0xF]);
    candidate += u".tmp";
    if (candidate.size() > 259) return {};
    plat::File file = plat::File::Open(candidate.c_str(), plat::Access::Write, plat::kShareNone,
                                       plat::Disposition::CreateNew);
    if (file) {
      *path = std::move(candidate);
      return file;
    }
    if (plat::LastError() != plat::kErrorFileExists && plat::LastError() != plat::kErrorAlreadyExists) return {};
  }
  return {};
}

// Index of the separator ending each component of path[from..], the final
// component excluded.
std::vector<size_t> ComponentEnds(const std::u16string& path, size_t from) {
  std::vector<size_t> ends;
  for (size_t i = from; i < path.size(); ++i) {
    if (path[i] == plat::kSeparator) ends.push_back(i);
  }
  return ends;
}

// Walks the folders of `path` below the destination (path[0..relativeStart) is
// the destination with its separator): refuses a link, and with `create` makes
// every missing folder. A folder that cannot be made is left to the file's
// create to report.
bool PrepareFolders(const std::u16string& path, size_t relativeStart, bool create) {
  for (size_t end : ComponentEnds(path, relativeStart)) {
    const std::u16string prefix = path.substr(0, end);
    if (plat::IsLink(prefix.c_str())) return false;
    if (create && !plat::IsDirectory(prefix.c_str())) plat::CreateDirectory(prefix.c_str());
  }
  return true;
}

}  // namespace

// ---- sizes and space ---------------------------------------------------------

ZoResult CArchive2::GetSizeExtractAll(int64_t& size) {
  if (mode_ == 0) {
    ReportFailure(ARC_ERROR_MODE, "GetSizeExtractAll");
    return E_FAIL;
  }
  if (!extractTotalComputed_) ComputeExtractTotal();
  size = ClampSize(extractTotal_);
  return directoryDamaged_ ? 1 : 0;
}

ZoResult CArchive2::GetSizeExtractEntry(const ZoChar* name, int64_t& size, uint32_t) {
  size = 0;
  if (mode_ == 0) return E_FAIL;
  std::u16string part;
  WildcardKind kind;
  ZoResult r = CheckForWildcards(name, part, kind);
  if (r < 0) return r;
  CentralEntryBuffer probe;
  r = FindFirstCentralDirectory(probe);
  if (r < 0) return r;
  uint64_t total = 0;
  for (const ArchiveDirectoryEntry& e : directory_) {
    if (!MatchWildcard(e.name.c_str(), part, kind)) continue;
    total = AddSaturated(total, e.record.uncompressedSize);
    if (kind == kWildcardExact) break;
  }
  size = ClampSize(total);
  return 0;
}

ZoResult CArchive2::GetSizeExtractEntry(int index, int* count, int64_t& size, uint32_t) {
  size = 0;
  if (mode_ == 0) return E_FAIL;
  const int n = count && *count > 0 ? *count : 1;
  uint64_t total = 0;
  int taken = 0;
  for (int i = index; taken < n && EntryAt(i); ++i, ++taken) total = AddSaturated(total, EntryAt(i)->record.uncompressedSize);
  size = ClampSize(total);
  return taken > 0 ? 0 : 1;
}

namespace {
// 0 when `size` bytes fit the free space of the volume holding `folder`, else 1.
ZoResult CompareWithFreeSpace(const ZoChar* folder, int64_t size) {
  const uint32_t free = ZoGetDiskFreeSpace(folder, 1024);
  const int64_t needed = size / 1024;
  return needed > static_cast<int64_t>(free) ? 1 : 0;
}
}  // namespace

ZoResult CArchive2::IsSpaceForExtractAll(const ZoChar* destination, uint32_t) {
  if (mode_ == 0) return E_FAIL;
  if (!destination || !plat::IsDirectory(destination)) {
    ZoChar root[64] = {};
    if (destination) ZoGetRootPathFromFilePath(destination, root, 64);
    ReportFailure(ARC_ERROR_DISK_SPACE, "IsSpaceForExtractAll", root);
    return ARC_E_VOLUME_NOT_FOUND;
  }
  int64_t size = 0;
  ZoResult r = GetSizeExtractAll(size);
  if (r < 0) return r;
  return CompareWithFreeSpace(destination, size);
}

ZoResult CArchive2::IsSpaceForExtractEntry(const ZoChar* name, const ZoChar* destination, uint32_t flags) {
  if (mode_ == 0) return E_FAIL;
  int64_t size = 0;
  ZoResult r = GetSizeExtractEntry(name, size, flags);
  if (r < 0) return r;
  if (!destination || !plat::IsDirectory(destination)) {
    ReportFailure(ARC_ERROR_INVALID_ARG, "IsSpaceForExtractEntry");
    return E_INVALIDARG;
  }
  return CompareWithFreeSpace(destination, size);
}

ZoResult CArchive2::IsSpaceForExtractEntry(int index, int* count, const ZoChar* destination, uint32_t flags) {
  if (mode_ == 0) return E_FAIL;
  int64_t size = 0;
  ZoResult r = GetSizeExtractEntry(index, count, size, flags);
  if (r < 0) return r;
  if (!destination || !plat::IsDirectory(destination)) {
    ReportFailure(ARC_ERROR_INVALID_ARG, "IsSpaceForExtractEntry");
    return E_INVALIDARG;
  }
  return CompareWithFreeSpace(destination, size);
}

ZoResult CArchive2::ValidateMultiVolume() {
  if (volumeCount_ < 2) return 1;
  for (uint32_t k = 2; k <= volumeCount_; ++k) {
    std::u16string path;
    bool named = false;
    try {
      named = MakeVolumePath(k, &path);
    } catch (const std::bad_alloc&) {
      ReportFailure(ARC_ERROR_MEMORY, "ValidateMultiVolume");
      return E_OUTOFMEMORY;
    }
    if (!named || plat::GetAttributes(path.c_str()) == ZO_INVALID_ATTRIBUTES || plat::IsDirectory(path.c_str())) {
      ReportFailure(ARC_ERROR_VOLUME_MISSING, "ValidateMultiVolume", path.c_str());
      return ARC_E_VOLUME_NOT_FOUND;
    }
  }
  return 0;
}

// ---- checks before anything is written ---------------------------------------

ZoResult CArchive2::FailIfDamaged(const char* step) {
  if (!directoryDamaged_) return 0;
  static const ZoChar kDetail[] = u"central directory damaged";
  ReportFailure(ARC_ERROR_SIGNATURE, step, kDetail);
  return ARC_E_BAD_SIGNATURE;
}

ZoResult CArchive2::CheckBeforeExtractEntry(ZoResult space) {
  if (space < 0) return space;
  if (space != 0) {
    ReportFailure(ARC_ERROR_DISK_SPACE, "ExtractEntry");
    return ARC_E_DISK_FULL;
  }
  if (volumeCount_ > 1 && ValidateMultiVolume() < 0) {
    ReportFailure(ARC_ERROR_VOLUME_MISSING, "ExtractEntry");
    return ARC_E_CHECK;
  }
  return FailIfDamaged("ExtractEntry");
}

ZoResult CArchive2::CheckNamesBeforeExtract(const std::vector<int>& indexes, const ZoChar* destination,
                                            const char* step) {
  const plat::StringView16 dest(destination, plat::Length(destination));
  std::u16string target;
  for (int i : indexes) {
    const ArchiveDirectoryEntry& e = directory_[static_cast<size_t>(i)];
    const bool folder = IsFolderEntry(e);
    size_t relativeStart = 0;
    bool safe = arc::IsSafeEntryName(e.name, e.record.nameLength, folder);
    if (safe) safe = arc::JoinEntryPath(dest, e.name, !folder && (extractFlags_ & ARC_EXTRACT_FLAT), &target, &relativeStart);
    if (!safe) {
      ReportFailure(ARC_ERROR_INVALID_ARG, step, e.name.c_str());
      return ARC_E_BAD_NAME;
    }
  }
  return 0;
}

// ---- one entry ---------------------------------------------------------------

ZoResult CArchive2::MakeFolderEntry(const ArchiveDirectoryEntry& entry, const ZoChar* destination) {
  std::u16string path;
  size_t relativeStart = 0;
  try {
    if (!arc::JoinEntryPath(plat::StringView16(destination, plat::Length(destination)), entry.name, false, &path,
                            &relativeStart))
      return 0;
    if (path.back() != plat::kSeparator) path.push_back(plat::kSeparator);
    // Failures are ignored (the folder's files report their own), but nothing is
    // ever made through a link.
    PrepareFolders(path, relativeStart, true);
  } catch (const std::bad_alloc&) {
  }
  return 0;
}

ZoResult CArchive2::ExtractOne(const ArchiveDirectoryEntry& entry, const ZoChar* destination) {
  if (IsFolderEntry(entry)) {
    if (extractFlags_ & ARC_EXTRACT_FLAT) return 0;
    return MakeFolderEntry(entry, destination);
  }
  return ExtractCentralDirectoryFile(entry, destination);
}

ZoResult CArchive2::CheckReadable(const ArchiveDirectoryEntry& entry, const char* step) {
  // The bytes are located first (a missing volume is reported as such); an
  // unknown compression type then ends the file with E_NOTIMPL, which only the
  // result reports (it has no error event).
  const uint32_t type = entry.record.compressionType;
  const ZoResult r = EntryStream::Locate(*this, entry, EntryStream::Mode::kDecode, step,
                                         type == ARC_COMPRESSION_NONE ? "ExtractInternalNoCompression"
                                                                      : "ExtractInternalZipCompression");
  if (r < 0) return r;
  return type == ARC_COMPRESSION_NONE || type == ARC_COMPRESSION_ZIP ? 0 : E_NOTIMPL;
}

ZoResult CArchive2::ExtractCentralDirectoryFile(const ArchiveDirectoryEntry& entry, const ZoChar* destination) {
  static const char kStep[] = "ExtractCentralDirectoryFile";
  std::u16string target;
  size_t relativeStart = 0;
  ExtractWork& work = *work_;
  uint32_t existing = ZO_INVALID_ATTRIBUTES;
  // The target when it was created new in one exclusive call (see below).
  plat::File fresh;
  const auto dropFresh = [&] {
    if (fresh) {
      fresh.Close();
      plat::DeleteFile(target.c_str());
    }
  };
  try {
    if (!arc::JoinEntryPath(plat::StringView16(destination, plat::Length(destination)), entry.name,
                            (extractFlags_ & ARC_EXTRACT_FLAT) != 0, &target, &relativeStart)) {
      ReportFailure(ARC_ERROR_INVALID_ARG, kStep, entry.name.c_str());
      return ARC_E_BAD_NAME;
    }
    const size_t folderEnd = target.find_last_of(plat::kSeparator);
    const std::u16string folder = target.substr(0, folderEnd);
    const bool folderKnown = folderEnd >= relativeStart && folder == work.verifiedFolder;

    // In a folder already walked in this operation, most targets are new: one
    // exclusive create both makes the file and proves that nothing stood at its
    // name (not even a link, which it never follows), saving the look at the name
    // before it. A name that exists, or a create that fails for any other reason,
    // takes the full path below, which asks, refuses or reports as it always did.
    if (folderKnown)
      fresh = plat::File::Open(target.c_str(), plat::Access::Write, plat::kShareNone, plat::Disposition::CreateNew);
    if (!fresh) {
      // A link anywhere below the destination would redirect the file: refuse. (The
      // target's attributes report a link itself as a reparse point, unfollowed.)
      existing = plat::GetAttributes(target.c_str());
      const bool targetIsLink = existing != ZO_INVALID_ATTRIBUTES && (existing & ZO_ATTR_REPARSE_POINT) != 0;
      if ((!folderKnown && !PrepareFolders(target, relativeStart, false)) || targetIsLink) {
        ReportFailure(ARC_ERROR_CREATE, kStep, target.c_str());
        return ARC_E_OPEN_FAILED;
      }
      if (existing != ZO_INVALID_ATTRIBUTES && !(extractFlags_ & ARC_EXTRACT_OVERWRITE) && progress_) {
        const ZoResult answer = AskReplace(target.c_str(), (existing & ZO_ATTR_READONLY) != 0);
        if (answer != 0) return answer;
      }
    }
    // An entry that cannot be read (unknown compression, its volume missing) fails
    // before the existing target is touched: a replace the engine cannot complete
    // must not cost the user the old file. A target just made for it is removed,
    // so that nothing is left behind that was not there.
    ZoResult r = CheckReadable(entry, kStep);
    if (r < 0) {
      dropFresh();
      return r;
    }
    if (!folderKnown) {
      PrepareFolders(target, relativeStart, true);
      work.verifiedFolder = folder;
    }
  } catch (const std::bad_alloc&) {
    dropFresh();
    ReportFailure(ARC_ERROR_MEMORY, kStep);
    return E_OUTOFMEMORY;
  }

  const arc::CentralDirectoryEntry& record = entry.record;
  const bool stored = record.compressionType == ARC_COMPRESSION_NONE;
  const char* step = stored ? "ExtractInternalNoCompression" : "ExtractInternalZipCompression";

  // An existing file is replaced only by a complete, checked copy: the entry is
  // written to a new file beside it, which is renamed over the target once every
  // byte and both CRCs are right. A damaged entry, a full disk or a cancel leaves
  // the old file as it was. (Renaming also replaces rather than truncates, so a
  // hard link planted at the target never carries the bytes to the file it
  // shares.) When no such name fits, the old file is removed first instead.
  plat::File out = std::move(fresh);
  std::u16string sibling;
  const bool replacing = existing != ZO_INVALID_ATTRIBUTES && !(existing & ZO_ATTR_DIRECTORY);
  try {
    if (replacing) out = CreateSibling(target, &sibling);
  } catch (const std::bad_alloc&) {
    ReportFailure(ARC_ERROR_MEMORY, kStep);
    return E_OUTOFMEMORY;
  }
  if (!out) {
    if (existing != ZO_INVALID_ATTRIBUTES) {
      plat::SetAttributes(target.c_str(), ZO_ATTR_NORMAL);
      if (replacing) plat::DeleteFile(target.c_str());
    }
    out = plat::File::CreateNoFollow(target.c_str());
  }
  if (!out) {
    ReportFailure(ARC_ERROR_CREATE, step, target.c_str());
    return ARC_E_OPEN_FAILED;
  }
  const std::u16string& written = sibling.empty() ? target : sibling;
  const auto dropSibling = [&] {
    if (!sibling.empty()) {
      out.Close();
      plat::DeleteFile(sibling.c_str());
    }
  };
  ItemName(entry.name.c_str());
  Status(ARC_EVENT_EXTRACT_START);

  FileSink sink(out);
  EntryTotals totals;
  ZoResult result = EntryStream::Run(*this, entry, EntryStream::Mode::kDecode, kStep, step, sink, &totals);
  if (!stored && progress_) {
    // The bytes announced for the entry are always accounted in full (the output
    // never exceeds uncompressedSize).
    progress_->AddProgress64(record.uncompressedSize - totals.produced);
  }
  Status(ARC_EVENT_FILE_END);

  if (result < 0) {
    dropSibling();
    out.Close();
    // A new target that failed part-way stays as far as it was written, for the
    // host to inspect, except after a cancel: the user stopped the work, and a
    // truncated file must not stay behind looking like the entry.
    if (result == ARC_E_CANCELLED && sibling.empty()) plat::DeleteFile(target.c_str());
    return result;
  }
  const bool checked = totals.crcWritten == record.crcUncompressed && totals.crcRead == record.crcCompressed &&
                       totals.produced == record.uncompressedSize;
  if (!checked && !sibling.empty()) {
    dropSibling();
    ReportFailure(ARC_ERROR_CRC, step);
    return ARC_E_CHECK;
  }
  const ZoFileTime time = record.fileTime;
  out.SetTimes(&time, &time, &time);
  if (!out.Close()) {
    if (!sibling.empty()) plat::DeleteFile(sibling.c_str());
    ReportFailure(ARC_ERROR_WRITE, step);
    return ARC_E_WRITE;
  }
  uint32_t mode = 0;
  // Permission bits from a POSIX-built archive; set-id and sticky bits are never restored.
  if (arc::DecodePosixMode(record.reserved4, &mode)) plat::SetPosixMode(written.c_str(), mode & 0777);
  if (!sibling.empty()) {
    // A read-only target cannot be replaced on Windows until its attribute is reset.
    plat::SetAttributes(target.c_str(), ZO_ATTR_NORMAL);
    if (!plat::MoveFile(sibling.c_str(), target.c_str(), true)) {
      plat::SetAttributes(target.c_str(), existing);
      plat::DeleteFile(sibling.c_str());
      ReportFailure(ARC_ERROR_CREATE, step);
      return ARC_E_OPEN_FAILED;
    }
  }
  // A new file already carries the archive bit alone; other attributes are set.
  if (record.attributes != ZO_ATTR_ARCHIVE) plat::SetAttributes(target.c_str(), record.attributes);
  if (!checked) {
    ReportFailure(ARC_ERROR_CRC, step);
    return ARC_E_CHECK;
  }
  return 0;
}

// ---- public operations -------------------------------------------------------

ZoResult CArchive2::ExtractAll(const ZoChar* destination, uint32_t flags) {
  if (mode_ == 0) return E_FAIL;
  if (IsSpaceForExtractAll(destination, flags) != 0) {
    ReportFailure(ARC_ERROR_DISK_SPACE, "ExtractAll");
    return ARC_E_DISK_FULL;
  }
  if (volumeCount_ > 1 && ValidateMultiVolume() < 0) return ARC_E_CHECK;
  ZoResult r = FailIfDamaged("ExtractAll");
  if (r < 0) return r;
  extractFlags_ = flags;
  std::vector<int> all;
  try {
    all.reserve(directory_.size());
    for (size_t i = 0; i < directory_.size(); ++i) all.push_back(static_cast<int>(i));
  } catch (const std::bad_alloc&) {
    ReportFailure(ARC_ERROR_MEMORY, "ExtractAll");
    return E_OUTOFMEMORY;
  }
  r = CheckNamesBeforeExtract(all, destination, "ExtractAll");
  if (r < 0) return r;
  WorkScope scope(*this);
  if (!scope.Begin("ExtractAll")) return E_OUTOFMEMORY;

  if (progress_) progress_->BeginItem64(archivePath_, extractTotal_);
  ZoResult result = 0;
  for (const ArchiveDirectoryEntry& e : directory_) {
    r = ExtractOne(e, destination);
    if (r < 0) {
      result = r;
      break;
    }
  }
  Status(ARC_EVENT_DONE);
  return result;
}

ZoResult CArchive2::ExtractEntry(const ZoChar* name, const ZoChar* destination, uint32_t flags) {
  extractFlags_ = flags;
  if (mode_ == 0) return E_FAIL;
  // A failed space check is a failure, not "nothing to do".
  ZoResult r = CheckBeforeExtractEntry(IsSpaceForExtractEntry(name, destination, flags));
  if (r < 0) return r;

  std::u16string part;
  WildcardKind kind;
  r = CheckForWildcards(name, part, kind);
  if (r < 0) return r;
  std::vector<int> matches;
  try {
    for (size_t i = 0; i < directory_.size(); ++i) {
      if (!MatchWildcard(directory_[i].name.c_str(), part, kind)) continue;
      matches.push_back(static_cast<int>(i));
      if (kind == kWildcardExact) break;
    }
  } catch (const std::bad_alloc&) {
    ReportFailure(ARC_ERROR_MEMORY, "ExtractEntry");
    return E_OUTOFMEMORY;
  }
  r = CheckNamesBeforeExtract(matches, destination, "ExtractEntry");
  if (r < 0) return r;
  WorkScope scope(*this);
  if (!scope.Begin("ExtractEntry")) return E_OUTOFMEMORY;

  if (progress_) {
    if (flags & ARC_EXTRACT_NO_TOTAL) {
      progress_->SetItemName(name);
    } else {
      int64_t size = 0;
      GetSizeExtractEntry(name, size, flags);
      progress_->BeginItem64(name, static_cast<uint64_t>(size));
    }
  }
  // A failed file does not stop the others, but the first failure is returned; a
  // cancel stops at once.
  ZoResult firstFailure = 0;
  for (int i : matches) {
    r = ExtractOne(directory_[static_cast<size_t>(i)], destination);
    if (r < 0 && firstFailure == 0) firstFailure = r;
    if (r == ARC_E_CANCELLED) break;
  }
  Status(ARC_EVENT_DONE);
  if (firstFailure < 0) return firstFailure;
  return matches.empty() ? 1 : 0;
}

ZoResult CArchive2::ExtractEntry(int index, int* count, const ZoChar* destination, uint32_t flags) {
  if (mode_ == 0) return E_FAIL;
  ZoResult r = CheckBeforeExtractEntry(IsSpaceForExtractEntry(index, count, destination, flags));
  if (r < 0) return r;
  extractFlags_ = flags;
  const int n = count && *count > 0 ? *count : 1;
  std::vector<int> run;
  try {
    for (int i = index; static_cast<int>(run.size()) < n && EntryAt(i); ++i) run.push_back(i);
  } catch (const std::bad_alloc&) {
    ReportFailure(ARC_ERROR_MEMORY, "ExtractEntry");
    return E_OUTOFMEMORY;
  }
  r = CheckNamesBeforeExtract(run, destination, "ExtractEntry");
  if (r < 0) return r;
  WorkScope scope(*this);
  if (!scope.Begin("ExtractEntry")) return E_OUTOFMEMORY;

  if (progress_) {
    int64_t size = 0;
    GetSizeExtractEntry(index, count, size, flags);
    progress_->BeginItem64(u"", static_cast<uint64_t>(size));
  }
  ZoResult result = 1;
  for (int i : run) {
    r = ExtractOne(directory_[static_cast<size_t>(i)], destination);
    if (r < 0) {
      result = r;
      break;
    }
  }
  Status(ARC_EVENT_DONE);
  return result;
}
