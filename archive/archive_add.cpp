// Adding entries: AddEntryToArchive with its dispatch to one file, a folder tree or
// the matches of a wildcard pattern; the two data steps (stored and raw deflate:
// a file up to arc::WholeBufferLimit() in one libdeflate call, a larger one in
// chunks deflated on the compression threads and joined into one stream
// (chunk_deflate.h), and either stored when deflate would not shrink it); and
// the size, count and free-space queries that precede adding.
//
// Every local record goes to Out() at base + writePos_; writePos_ follows every
// byte written. A file is read only up to the size its header announced: a file
// that shrinks while it is read ends its entry with ARC_E_READ, one that grows is
// stored with the announced size, so no loop waits on a changing file.
//
// Stored names are made at exactly one point (MakeStoredName): the path minus its
// base folder, native separators turned into backslashes. On POSIX a name that
// cannot be stored faithfully (a backslash inside a file name, or bytes that are
// not UTF-8) is refused with a clear error instead of being stored as another name.
// Under ARC_ADD_SKIP_BAD_NAMES such a name, like one no reader would accept, is
// left out with an event instead (LeaveOut); FIFOs, sockets, devices and links to
// folders are always left out that way and never opened.
//
// A folder tree is listed once, by the size walk before adding (tree_listing.h):
// adding and the read-ahead replay that listing, names, attributes and order,
// and list the folders themselves only when it could not be made whole. An
// entry gone since the listing fails at its open as a file vanishing then would.
//
// Under SetCompressionThreads(n > 1) the files of a tree or a pattern are read and
// compressed ahead by worker threads (add_ahead.h); AddFile then takes a file's
// prepared bytes at its data step and WritePreparedData writes them with the
// events and failures the data steps would give. Everything else (names, the
// replace question, headers, the patch, the list) stays on the calling thread.
#include <libdeflate.h>
#include <zlib.h>

#include <algorithm>
#include <memory>
#include <new>
#include <string>
#include <vector>

#include "archive/add_ahead.h"
#include "archive/archive2.h"
#include "archive/chunk_deflate.h"
#include "archive/entry_name_safety.h"
#include "archive/record_writer.h"
#include "archive/tree_listing.h"
#include "archive/whole_buffer.h"
#include "platform/directory.h"
#include "platform/paths.h"
#include "platform/text.h"
#include "platform/time.h"
#include "platform/volume.h"
#include "runtime/zo_path.h"

namespace {

constexpr bool kPosixNames = plat::kSeparator == u'/';
// Output buffer of the deflate step: one input block plus 1 % plus 12 bytes, so
// one block's worst-case output fits one deflate call.
constexpr size_t kDeflateOutSize = 264777;
// Prepared files up to this size go out with their header in one write
// (WritePreparedRecord); the buffer for it stays until Close.
constexpr size_t kOneWriteLimit = size_t{256} << 10;

bool IsDotOrDotDot(const std::u16string& n) { return n == u"." || n == u".."; }

bool IsFolderLink(uint32_t attributes) {
  return (attributes & ZO_ATTR_REPARSE_POINT) && (attributes & ZO_ATTR_DIRECTORY);
}

// AddDirectory's result for a folder left out (CheckStoredName): its tree is not
// walked, and the walk above it goes on as after an added folder.
constexpr ZoResult kFolderLeftOut = 2;

// True when `path` can be a stored name: the units only come back to the same file.
// On POSIX (and under Wine) names reach us through UTF-8 conversion; a name whose
// bytes were not UTF-8 comes back with U+FFFD and names another file (one named
// with that very text) or none: it is refused unless no other name reads the same.
bool NameSurvivesConversion(const ZoChar* path) {
  for (const ZoChar* p = path; *p; ++p) {
    if (*p == 0xFFFD) return plat::NamesOneFile(path);
  }
  return true;
}

// The 1,024-byte units a writer may fill on the volume of `folder`: the free space,
// replaced by the largest file size of the FAT file systems.
uint64_t CapacityFigure(const ZoChar* folder, const ZoChar* fileSystemName) {
  if (plat::EqualsNoCase(fileSystemName, u"FAT32")) return 4194304;
  if (plat::EqualsNoCase(fileSystemName, u"FAT")) return 64;
  return arc::FreeKilobytes(folder);
}

}  // namespace

// ---- stored names -------------------------------------------------------------

// Builds the stored name of `path` after `skip` units (the base folder), or of
// `folder` plus the file name when a folder is given. Returns 0 (name in `out`,
// possibly empty), E_INVALIDARG for a POSIX name holding a backslash, or
// ARC_E_BAD_NAME for a name of 260 units or more; the caller reports.
static ZoResult MakeStoredNameText(const ZoChar* path, size_t skip, const ZoChar* folder, std::u16string* out) {
  out->clear();
  // `storedFolder`: the caller's stored folder, in which either slash separates.
  auto append = [out](const ZoChar* text, size_t n, bool storedFolder = false) -> bool {
    for (size_t i = 0; i < n; ++i) {
      ZoChar c = text[i];
      if (c == plat::kSeparator || c == u'/' || (storedFolder && c == u'\\')) {
        c = u'\\';
      } else if (kPosixNames && c == u'\\') {
        return false;  // a backslash inside a POSIX name would become a separator
      }
      out->push_back(c);
    }
    return true;
  };
  if (folder && *folder) {
    if (!append(folder, plat::Length(folder), true)) return E_INVALIDARG;
    if (out->back() != u'\\') out->push_back(u'\\');
    const ZoChar* file = ZoGetFileNamePtrW(path);
    if (!append(file, plat::Length(file))) return E_INVALIDARG;
  } else {
    size_t length = plat::Length(path);
    if (skip > length) skip = length;
    if (!append(path + skip, length - skip)) return E_INVALIDARG;
  }
  if (out->size() >= arc::kNameCapacity) return ARC_E_BAD_NAME;
  return 0;
}

// ---- AddEntryToArchive -----------------------------------------------------------

ZoResult CArchive2::AddEntryToArchive(const ZoChar* path, uint32_t compression, uint32_t level, uint32_t flags,
                                      const ZoChar* folder) {
  addFlags_ = flags;
  const bool writerMode = mode_ == ARC_OPEN_CREATE || mode_ == ARC_OPEN_APPEND;
  if (mode_ == ARC_OPEN_READ || mode_ == ARC_OPEN_DELETE || (writerMode && !Out())) {
    ReportFailure(ARC_ERROR_MODE, "AddEntryToArchive");
    return E_FAIL;
  }
  // The self-extracting and volume modes write no entries: their room check fails.
  if (!writerMode) {
    ReportFailure(ARC_ERROR_DISK_SPACE, "AddEntryToArchive");
    return ARC_E_DISK_FULL;
  }
  if (!path || !*path || plat::Length(path) >= static_cast<size_t>(ZO_MAX_PATH)) {
    ReportFailure(ARC_ERROR_INVALID_ARG, "AddEntryToArchive");
    return E_INVALIDARG;
  }
  // zlib's scale is 0..9; the level is also stored in every header, so a value
  // outside it is refused for stored entries too.
  if (level > 9) {
    ReportFailure(ARC_ERROR_INVALID_ARG, "AddEntryToArchive", static_cast<uint64_t>(level));
    return E_INVALIDARG;
  }
  // One walk serves the room check and the announced total (IsSpaceForAddEntry
  // and GetSizeAddEntry would walk the tree once each).
  uint64_t size = 0, count = 0;
  // A tree is added (and read ahead) as this walk listed it: no folder is listed
  // again. Short of memory for the listing, adding lists the folders itself.
  std::shared_ptr<arc::TreeListing> listing;
  if (!folder || !*folder) {
    try {
      listing = std::make_shared<arc::TreeListing>();
    } catch (const std::bad_alloc&) {
      listing.reset();
    }
  }
  const ZoResult measured = MeasureAddEntry(path, flags, &size, &count, listing.get());
  if (listing && !listing->Usable()) listing.reset();
  uint64_t needed = size;
  if (mode_ == ARC_OPEN_APPEND) {
    int64_t archiveSize = GetArchiveSize();
    if (archiveSize > 0) needed += static_cast<uint64_t>(archiveSize);
  }
  ZoChar archiveFolder[ZO_MAX_PATH] = {};
  ZoGetPathNameFromFilePath(archivePath_, archiveFolder, ZO_MAX_PATH);
  if (needed / 1024 > WriterCapacityFigure(archiveFolder)) {
    ReportFailure(ARC_ERROR_DISK_SPACE, "AddEntryToArchive");
    return ARC_E_DISK_FULL;
  }
  // 1 until something is found to add.
  ZoResult result = 1;
  if (progress_) {
    if (flags & ARC_ADD_NO_TOTAL) {
      progress_->SetItemName(path);
    } else {
      // The size query runs a second time here; a path that is nothing to add is
      // reported by it again (the walk itself is not repeated: there is none).
      if (measured != 0) MeasureAddEntry(path, flags, &size, &count);
      result = measured;
      progress_->BeginItem64(path, size);
    }
  }
  addCompressionType_ = compression;
  addCompressionLevel_ = level;
  addFlags_ = flags;

  ZoChar baseFolder[ZO_MAX_PATH] = {};
  ZoGetPathNameFromFilePath(path, baseFolder, ZO_MAX_PATH);
  if (folder && !*folder) folder = nullptr;

  if (!folder && plat::IsDirectory(path)) {
    StartAddAhead(path, nullptr, kWildcardExact, listing);
    result = AddDirectoryTree(path, baseFolder, listing.get());
    if (result == kFolderLeftOut) result = 1;  // the folder itself was left out
  } else if (ZoDoesFileExist(path)) {
    const uint64_t leftOutBefore = leftOut_;
    result = AddFile(path, baseFolder, folder);
    if (result == 0 && leftOut_ != leftOutBefore) result = 1;  // the one file was left out
  } else if (!folder) {
    result = AddWildcard(path, baseFolder);
  }
  addAhead_.reset();  // the workers stop and are joined before the call returns
  Status(ARC_EVENT_DONE);
  return result;
}

void CArchive2::StartAddAhead(const ZoChar* folder, const std::u16string* part, WildcardKind kind,
                              std::shared_ptr<const arc::TreeListing> listing) {
  addAhead_.reset();
  if (compressionThreads_ <= 1) return;
  if (addCompressionType_ != ARC_COMPRESSION_NONE && addCompressionType_ != ARC_COMPRESSION_ZIP) return;
  addAhead_ = std::unique_ptr<arc::AddAhead, AddAheadDeleter>(new (std::nothrow) arc::AddAhead,
                                                              AddAheadDeleter([](arc::AddAhead* ahead) { delete ahead; }));
  if (!addAhead_) return;
  arc::AddAhead::Plan plan;
  plan.workers = compressionThreads_;
  plan.compression = addCompressionType_;
  plan.level = addCompressionLevel_;
  plan.archivePath = archivePath_;
  plan.tempPath = mode_ == ARC_OPEN_APPEND ? tempPath_ : nullptr;
  bool started;
  if (part) {
    started = addAhead_->StartPattern(plan, folder, *part, kind, (addFlags_ & ARC_ADD_RECURSE) != 0);
  } else if (listing) {
    started = addAhead_->StartListed(plan, folder, std::move(listing));
  } else {
    started = addAhead_->StartTree(plan, folder);
  }
  if (!started) addAhead_.reset();
}

ZoResult CArchive2::CheckStoredName(ZoResult built, const ZoChar* path, const std::u16string& stored, bool isFolder,
                                    const char* step) {
  ZoResult r = built;
  // A folder's name grows by its trailing separator after it is built.
  if (r == 0 && stored.size() >= arc::kNameCapacity) r = ARC_E_BAD_NAME;
  if (r == 0 && !NameSurvivesConversion(path)) r = E_INVALIDARG;
  // A name every reader would refuse (a colon, a device name, a trailing dot...)
  // makes the whole archive unextractable; it is refused here instead.
  if (r == 0 && !stored.empty() && !arc::IsSafeEntryName(stored, stored.size(), isFolder)) r = E_INVALIDARG;
  // A host that asked for it gets the name left out instead (1), told by an event.
  if (r < 0 && (addFlags_ & ARC_ADD_SKIP_BAD_NAMES)) {
    LeaveOut(path, ARC_EVENT_SKIPPED_NAME);
    return 1;
  }
  if (r < 0) ReportFailure(r == ARC_E_BAD_NAME ? ARC_ERROR_BUFFER : ARC_ERROR_INVALID_ARG, step, path);
  return r;
}

ZoResult CArchive2::LeaveOut(const ZoChar* path, int32_t event) {
  ++leftOut_;
  ItemName(path);
  Status(event);
  return 0;
}

ZoResult CArchive2::LeaveOutUnjoinedName(const ZoChar* folder, std::u16string_view name, const char* step) {
  // A path too long for the engine's buffers (and so for the format, or for a
  // reader's destination), or a name that would read as several: a name an
  // archive cannot hold.
  std::u16string path;
  try {
    path = folder;
    if (!path.empty() && path.back() != plat::kSeparator) path.push_back(plat::kSeparator);
    path += name;
  } catch (const std::bad_alloc&) {
    ReportFailure(ARC_ERROR_MEMORY, step);
    return E_OUTOFMEMORY;
  }
  if (addFlags_ & ARC_ADD_SKIP_BAD_NAMES) return LeaveOut(path.c_str(), ARC_EVENT_SKIPPED_NAME);
  const bool split = arc::NameHoldsSeparator(name);
  ReportFailure(split ? ARC_ERROR_INVALID_ARG : ARC_ERROR_BUFFER, step, path.c_str());
  return split ? E_INVALIDARG : ARC_E_BAD_NAME;
}

ZoResult CArchive2::AddFile(const ZoChar* path, const ZoChar* baseFolder, const ZoChar* folder, uint32_t listed) {
  // Only regular files are opened: anything else could block the open or a read.
  // Where the listing's attributes are the file's own, a walk does not ask again.
  uint32_t attributes = plat::kListedAttributesExact && listed != ZO_INVALID_ATTRIBUTES
                            ? listed
                            : plat::GetAttributes(path);
  if (attributes != ZO_INVALID_ATTRIBUTES && (attributes & ZO_ATTR_DEVICE))
    return LeaveOut(path, ARC_EVENT_SKIPPED_SPECIAL);
  if (attributes != ZO_INVALID_ATTRIBUTES && IsFolderLink(attributes))
    return LeaveOut(path, ARC_EVENT_SKIPPED_FOLDER_LINK);
  std::u16string stored;
  ZoResult r;
  try {
    r = MakeStoredNameText(path, plat::Length(baseFolder), folder, &stored);
  } catch (const std::bad_alloc&) {
    ReportFailure(ARC_ERROR_MEMORY, "AddFile");
    return E_OUTOFMEMORY;
  }
  r = CheckStoredName(r, path, stored, false, "AddFile");
  if (r != 0) return r < 0 ? r : 0;  // 1: left out
  if (stored.empty()) return 0;
  // The file being written is never added to itself (a pattern or a tree around
  // the archive would otherwise store a truncated copy of it).
  // Full paths are made only for a file of the archive's (or the temporary
  // file's) own name.
  const ZoChar* fileName = ZoGetFileNamePtrW(path);
  auto isOwn = [&](const ZoChar* own) {
    return own && *own && plat::EqualsNoCase(fileName, ZoGetFileNamePtrW(own)) && arc::SameFullPath(path, own);
  };
  if (isOwn(archivePath_) || (mode_ == ARC_OPEN_APPEND && isOwn(tempPath_))) return 0;

  r = AskBeforeReplacingEntry(stored);
  if (r != 0) return r == 1 ? 0 : r;  // 1: the host keeps the existing entry

  arc::LocalEntryHeader header;
  header.signature = ARC_SIG_LOCAL;
  header.compressionType = addCompressionType_;
  header.compressionLevel = addCompressionLevel_;
  if (attributes == ZO_INVALID_ATTRIBUTES) attributes = 0;
  attributes &= ~ZO_ATTR_REPARSE_POINT;  // a linked file is stored as its content
  if (addFlags_ & ARC_ADD_CLEAR_READONLY) attributes &= ~ZO_ATTR_READONLY;
  header.attributes = attributes;
  // A file a worker read ahead comes with what this step would learn from it,
  // its failures included; otherwise the file is opened here.
  arc::PreparedFile prepared;
  const bool ahead = addAhead_ && (header.compressionType == ARC_COMPRESSION_NONE ||
                                   header.compressionType == ARC_COMPRESSION_ZIP) &&
                     addAhead_->Take(path, progress_ ? &progress_->status : nullptr, &prepared);
  using Outcome = arc::PreparedFile::Outcome;

  plat::File source;
  if (!ahead) {
    source = plat::File::Open(path, plat::Access::Read, plat::kShareRead | plat::kShareWrite,
                              plat::Disposition::OpenExisting);
  }
  if (ahead ? prepared.outcome == Outcome::kOpenFailed : !source) {
    ReportFailure(ARC_ERROR_OPEN_INPUT, "AddFile", path);
    return ARC_E_OPEN_FAILED;
  }
  // The open file's status (one call) gives its size, times and permission
  // bits, as a worker learns them; the path is not asked again.
  plat::File::Status status;
  if (ahead) {
    status.size = prepared.size;
    status.times.lastWrite = prepared.lastWrite;
    status.posixMode = prepared.posixMode;
  }
  if (ahead ? prepared.outcome == Outcome::kTimesFailed : !source.GetStatus(&status)) {
    ReportFailure(ARC_ERROR_FILE_TIME, "AddFile", path);
    return ARC_E_CHECK;
  }
  // The POSIX build records the permission bits (the executable bit above all);
  // on Windows the mode is 0 and the word stays 0.
  header.reserved4 = status.posixMode ? arc::EncodePosixMode(status.posixMode) : 0;
  header.uncompressedSize = status.size;
  header.fileTime = status.times.lastWrite;
  header.nameLength = static_cast<uint32_t>(stored.size());

  const uint64_t localOffset = writePos_;
  if (ahead && prepared.outcome == Outcome::kReady) {
    // One write instead of header, data and patch: a tree of small files costs
    // a system call per file here, not five.
    const ZoResult whole = WritePreparedRecord(prepared, header, stored, localOffset);
    if (whole < 0) {
      uint64_t position = 0;
      if (Out().Tell(&position) && position >= base_) writePos_ = position - base_;
      return whole;
    }
    if (whole == 0) {
      r = AppendEntryRecord(header, localOffset, stored);
      if (r < 0) ReportFailure(ARC_ERROR_MEMORY, "AddFile");
      return r;
    }
  }
  if (!arc::WriteLocalHead(Out(), header, stored.c_str())) {
    uint64_t position = 0;
    if (Out().Tell(&position) && position >= base_) writePos_ = position - base_;
    ReportFailure(ARC_ERROR_WRITE, "AddFile");
    return ARC_E_WRITE;
  }
  writePos_ += arc::kLocalHeaderSize + 2ull * header.nameLength;

  ZoResult data;
  if (ahead) {
    data = WritePreparedData(prepared, header, stored.c_str());
  } else if (header.compressionType == ARC_COMPRESSION_NONE) {
    data = StoreFileData(source, header, stored.c_str());
  } else if (header.compressionType == ARC_COMPRESSION_ZIP) {
    data = DeflateFileData(source, header, stored.c_str());
  } else {
    data = E_NOTIMPL;
  }
  if (data < 0) {
    // The bytes already written stay, unlisted; a partial write may have moved the
    // file further than writePos_ knows, so the next record starts where the file is.
    uint64_t position = 0;
    if (Out().Tell(&position) && position >= base_) writePos_ = position - base_;
    return data;
  }

  // Patch the compression type (a file deflate would not shrink is stored), both
  // CRCs and the stored size into the header, then go back to the end. The bytes
  // between them (level and time) go out again unchanged.
  uint8_t encoded[arc::kLocalHeaderSize];
  header.Encode(encoded);
  constexpr size_t kPatchFirst = arc::local::kCompressionType;
  constexpr size_t kPatchEnd = arc::local::kCompressedSize + 8;
  static_assert(kPatchFirst < arc::local::kCrcCompressed && arc::local::kCrcUncompressed < kPatchEnd,
                "the patch covers the type, both CRCs and the stored size");
  const bool patched =
      Out().Seek(static_cast<int64_t>(base_ + localOffset + kPatchFirst), plat::SeekOrigin::Begin) &&
      Out().Write(encoded + kPatchFirst, kPatchEnd - kPatchFirst);
  // Back to the end of the data even when the patch failed: the entry then stays
  // unlisted, and the next record goes where writePos_ says, not into this header.
  const bool returned = Out().Seek(static_cast<int64_t>(base_ + writePos_), plat::SeekOrigin::Begin);
  if (!patched || !returned) {
    ReportFailure(ARC_ERROR_WRITE, "AddFile");
    return ARC_E_WRITE;
  }
  r = AppendEntryRecord(header, localOffset, stored);
  if (r < 0) {
    ReportFailure(ARC_ERROR_MEMORY, "AddFile");
    return r;
  }
  return data;
}

ZoResult CArchive2::AppendEntryRecord(const arc::LocalEntryHeader& header, uint64_t localOffset,
                                      const std::u16string& name) {
  arc::ArchiveEntryRecord* record = entryRecords_.Append();
  if (!record) return E_OUTOFMEMORY;
  header.Encode(record->header);
  record->localOffset = localOffset;
  plat::CopyTruncated(record->name, arc::kNameCapacity, name);
  ++entriesWritten_;
  return 0;
}

ZoResult CArchive2::AskBeforeReplacingEntry(const std::u16string& storedName) {
  if (mode_ != ARC_OPEN_APPEND || (addFlags_ & ARC_ADD_REPLACE) || !progress_ || !ExistingEntryNamed(storedName))
    return 0;
  return AskReplace(storedName.c_str(), false);
}

bool CArchive2::ExistingEntryNamed(const std::u16string& storedName) {
  try {
    if (existingNamesFolded_.empty() && !directory_.empty()) {
      existingNamesFolded_.reserve(directory_.size());
      for (const auto& e : directory_) existingNamesFolded_.push_back(arc::FoldName(e.name.data(), e.name.size()));
      std::sort(existingNamesFolded_.begin(), existingNamesFolded_.end());
    }
    return std::binary_search(existingNamesFolded_.begin(), existingNamesFolded_.end(),
                              arc::FoldName(storedName.data(), storedName.size()));
  } catch (const std::bad_alloc&) {
    existingNamesFolded_.clear();
    return IsEntryInArchive(storedName.c_str()) != 0;  // the slow walk still answers
  }
}

// ---- data steps ------------------------------------------------------------------

// The block buffers and the deflate stream of the add operations, made on the
// first file and reused for every later one (the stream is reset per file), so a
// tree of small files does not allocate, clear and free half a megabyte of buffers
// and a deflate state per file. The whole-buffer pair grows to the largest file
// compressed in one call (at most twice arc::WholeBufferLimit()) and stays until
// Close, like the rest.
struct CArchive2::WriterWork {
  uint8_t in[arc::kBlockSize];
  uint8_t out[kDeflateOutSize];
  z_stream stream = {};
  int streamLevel = -1;  // level the stream was made for; -1 none
  arc::GrowBuffer file;    // a whole file's bytes
  arc::GrowBuffer packed;  // its deflated form, one byte shorter than the file at most
  arc::GrowBuffer record;  // a prepared file's whole local record (WritePreparedRecord)
  libdeflate_compressor* compressor = nullptr;
  int compressorLevel = -1;
  ~WriterWork() {
    if (streamLevel >= 0) deflateEnd(&stream);
    libdeflate_free_compressor(compressor);
  }
};

void CArchive2::ReleaseWriterWork(WriterWork* work) { delete work; }

CArchive2::WriterWork* CArchive2::GetWriterWork() {
  if (!writerWork_) writerWork_ = {new (std::nothrow) WriterWork, WriterWorkDeleter{&ReleaseWriterWork}};
  return writerWork_.get();
}

ZoResult CArchive2::StoreFileData(plat::File& source, arc::LocalEntryHeader& header, const ZoChar* storedName) {
  const char* kStep = "NoCompressFile";
  ItemName(storedName);
  Status(ARC_EVENT_ADD_START);
  WriterWork* work = GetWriterWork();
  if (!work) {
    ReportFailure(ARC_ERROR_MEMORY, kStep);
    return E_OUTOFMEMORY;
  }
  uint8_t* buffer = work->in;
  const size_t block = arc::kBlockSize;
  uint32_t crcRead = 0;
  uint32_t crcWritten = 0;
  uint64_t remaining = header.uncompressedSize;
  uint64_t written = 0;
  while (remaining > 0) {
    size_t want = remaining < block ? static_cast<size_t>(remaining) : block;
    size_t got = 0;
    if (!source.Read(buffer, want, &got) || got != want) {
      ReportFailure(ARC_ERROR_READ, kStep);
      return ARC_E_READ;
    }
    crcRead = arc::Crc32(crcRead, buffer, got);
    if (!Out().Write(buffer, got)) {
      ReportFailure(ARC_ERROR_WRITE, kStep);
      return ARC_E_WRITE;
    }
    crcWritten = arc::Crc32(crcWritten, buffer, got);
    remaining -= got;
    written += got;
    writePos_ += got;
    if (progress_) {
      if (progress_->PollStatus() == ARC_E_CANCELLED) return ARC_E_CANCELLED;
      int32_t p = progress_->AddProgress64(got);
      if (p < 0) return p;
    }
  }
  header.compressedSize = written;
  header.crcUncompressed = crcRead;
  header.crcCompressed = crcWritten;
  Status(ARC_EVENT_FILE_END);
  return 0;
}

ZoResult CArchive2::DeflateFileData(plat::File& source, arc::LocalEntryHeader& header, const ZoChar* storedName) {
  const char* kStep = "CompressZipFile";
  ItemName(storedName);
  Status(ARC_EVENT_ADD_START);
  header.compressedSize = 0;
  header.crcCompressed = 0;
  header.crcUncompressed = 0;
  // An empty file has no deflate stream at all: sizes and both CRCs stay 0.
  if (header.uncompressedSize == 0) {
    Status(ARC_EVENT_FILE_END);
    return 0;
  }
  WriterWork* work = GetWriterWork();
  if (!work) {
    ReportFailure(ARC_ERROR_MEMORY, kStep);
    return E_OUTOFMEMORY;
  }
  const uint64_t dataStart = writePos_;
  ZoResult r;
  if (PrepareWholeFile(*work, header)) {
    r = DeflateWholeFile(source, header, *work);
  } else {
    // A large file is deflated in chunks on the compression threads; short of
    // memory for the chunks, it streams through zlib on this thread.
    arc::ChunkDeflater chunks;
    if (chunks.Start(static_cast<int>(header.compressionLevel), compressionThreads_)) {
      r = DeflateFileChunks(source, header, chunks);
    } else {
      r = DeflateFileStream(source, header, *work);
    }
    // Deflate made the file no smaller: it is stored instead, as a file that fits
    // the whole buffer is.
    if (r == 0 && header.compressedSize >= header.uncompressedSize) r = StoreAgain(source, header, dataStart, *work);
  }
  if (r < 0) return r;
  Status(ARC_EVENT_FILE_END);
  return 0;
}

bool CArchive2::PrepareWholeFile(WriterWork& work, const arc::LocalEntryHeader& header) {
  if (header.uncompressedSize > arc::WholeBufferLimit()) return false;
  const int level = static_cast<int>(header.compressionLevel);
  if (work.compressorLevel != level) {
    libdeflate_free_compressor(work.compressor);
    work.compressor = libdeflate_alloc_compressor(level);
    work.compressorLevel = work.compressor ? level : -1;
  }
  // Short of memory the file streams through zlib's smaller buffers instead.
  const size_t size = static_cast<size_t>(header.uncompressedSize);
  return work.compressor && work.file.Reserve(size) && work.packed.Reserve(size);
}

ZoResult CArchive2::ReadBlocks(plat::File& source, uint8_t* in, size_t length, uint32_t* crc) {
  // Block by block, with the progress and cancel poll of the streaming path, so
  // that every deflate path counts and polls the same way.
  for (size_t done = 0; done < length;) {
    const size_t want = std::min(length - done, arc::kBlockSize);
    size_t got = 0;
    if (!source.Read(in + done, want, &got) || got != want) {
      ReportFailure(ARC_ERROR_READ, "CompressZipFile");
      return ARC_E_READ;
    }
    if (progress_) {
      if (progress_->PollStatus() == ARC_E_CANCELLED) return ARC_E_CANCELLED;
      int32_t p = progress_->AddProgress64(got);
      if (p < 0) return p;
    }
    *crc = arc::Crc32(*crc, in + done, got);
    done += got;
  }
  return 0;
}

ZoResult CArchive2::DeflateWholeFile(plat::File& source, arc::LocalEntryHeader& header, WriterWork& work) {
  const char* kStep = "CompressZipFile";
  const size_t size = static_cast<size_t>(header.uncompressedSize);
  uint8_t* const in = work.file.data();
  uint32_t crcRead = 0;
  const ZoResult read = ReadBlocks(source, in, size, &crcRead);
  if (read < 0) return read;
  // Room for one byte less than the file: 0 says the deflated form would not be
  // smaller, and the file's own bytes are stored.
  const size_t packed = libdeflate_deflate_compress(work.compressor, in, size, work.packed.data(), size - 1);
  const uint8_t* data = packed ? work.packed.data() : in;
  const size_t length = packed ? packed : size;
  if (!Out().Write(data, length)) {
    ReportFailure(ARC_ERROR_WRITE, kStep);
    return ARC_E_WRITE;
  }
  writePos_ += length;
  header.compressionType = packed ? ARC_COMPRESSION_ZIP : ARC_COMPRESSION_NONE;
  header.compressedSize = length;
  header.crcUncompressed = crcRead;
  header.crcCompressed = packed ? arc::Crc32(0, data, length) : crcRead;
  return 0;
}

ZoResult CArchive2::DeflateFileChunks(plat::File& source, arc::LocalEntryHeader& header, arc::ChunkDeflater& chunks) {
  const char* kStep = "CompressZipFile";
  const size_t chunkSize = arc::DeflateChunkSize();
  uint32_t crcRead = 0;
  uint32_t crcWritten = 0;
  uint64_t packed = 0;
  uint64_t remaining = header.uncompressedSize;
  // Reads chunks into free slots while there are any, and otherwise writes the
  // oldest piece, so that at most the slots' chunks are held whatever the size.
  while (remaining > 0 || chunks.Pending()) {
    uint8_t* const in = remaining > 0 ? chunks.InputBuffer() : nullptr;
    if (in) {
      const size_t length = static_cast<size_t>(std::min<uint64_t>(remaining, chunkSize));
      const ZoResult read = ReadBlocks(source, in, length, &crcRead);
      if (read < 0) return read;
      remaining -= length;
      chunks.Submit(length, remaining == 0);
      continue;
    }
    const uint8_t* piece = nullptr;
    size_t length = 0;
    const ZoResult r = chunks.TakeFront(&piece, &length);
    if (r < 0) {
      ReportFailure(r == E_OUTOFMEMORY ? ARC_ERROR_MEMORY : ARC_ERROR_WRITE, kStep);
      return r;
    }
    if (!Out().Write(piece, length)) {
      ReportFailure(ARC_ERROR_WRITE, kStep);
      return ARC_E_WRITE;
    }
    crcWritten = arc::Crc32(crcWritten, piece, length);
    packed += length;
    writePos_ += length;
    chunks.Release();
    if (progress_ && progress_->PollStatus() == ARC_E_CANCELLED) return ARC_E_CANCELLED;
  }
  header.compressedSize = packed;
  header.crcUncompressed = crcRead;
  header.crcCompressed = crcWritten;
  return 0;
}

ZoResult CArchive2::DeflateFileStream(plat::File& source, arc::LocalEntryHeader& header, WriterWork& work) {
  const char* kStep = "CompressZipFile";
  const int level = static_cast<int>(header.compressionLevel);
  z_stream& stream = work.stream;
  if (work.streamLevel == level) {
    deflateReset(&stream);  // also after a file that failed half-way
  } else {
    if (work.streamLevel >= 0) deflateEnd(&stream);
    work.streamLevel = -1;
    stream = z_stream{};
    if (deflateInit2(&stream, level, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY) != Z_OK) {
      ReportFailure(ARC_ERROR_MEMORY, kStep);
      return E_OUTOFMEMORY;
    }
    work.streamLevel = level;
  }
  uint8_t* const in = work.in;
  uint8_t* const out = work.out;
  const size_t block = arc::kBlockSize;
  const size_t outSize = kDeflateOutSize;

  uint32_t crcRead = 0;
  uint32_t crcWritten = 0;
  uint64_t packed = 0;

  // Runs deflate with `flush` until it needs more input (or, finishing, until the
  // stream ends), writing every piece of output. 0, or a reported failure.
  auto pump = [&](int flush) -> ZoResult {
    for (;;) {
      stream.next_out = out;
      stream.avail_out = static_cast<uInt>(outSize);
      int z = deflate(&stream, flush);
      if (flush == Z_FINISH && z != Z_OK && z != Z_STREAM_END) {
        // The finishing calls know one failure only, reported as the read event.
        ReportFailure(ARC_ERROR_READ, kStep);
        return ARC_E_WRITE;
      }
      if (z == Z_MEM_ERROR) {
        ReportFailure(ARC_ERROR_MEMORY, kStep);
        return E_OUTOFMEMORY;
      }
      // Z_BUF_ERROR here only says that a repeated call had nothing left to do: the
      // output buffer holds one block's worst case, so a block never needs more room.
      if (flush != Z_FINISH && z != Z_OK && z != Z_BUF_ERROR) {
        ReportFailure(ARC_ERROR_WRITE, kStep);
        return ARC_E_WRITE;
      }
      size_t produced = outSize - stream.avail_out;
      if (produced > 0) {
        if (!Out().Write(out, produced)) {
          ReportFailure(ARC_ERROR_WRITE, kStep);
          return ARC_E_WRITE;
        }
        crcWritten = arc::Crc32(crcWritten, out, produced);
        packed += produced;
        writePos_ += produced;
      }
      if (flush == Z_FINISH) {
        if (z == Z_STREAM_END) return 0;
      } else if (stream.avail_in == 0 && stream.avail_out != 0) {
        return 0;
      }
    }
  };

  uint64_t remaining = header.uncompressedSize;
  while (remaining > 0) {
    size_t want = remaining < block ? static_cast<size_t>(remaining) : block;
    size_t got = 0;
    if (!source.Read(in, want, &got) || got != want) {
      ReportFailure(ARC_ERROR_READ, kStep);
      return ARC_E_READ;
    }
    remaining -= got;
    if (progress_) {
      if (progress_->PollStatus() == ARC_E_CANCELLED) return ARC_E_CANCELLED;
      int32_t p = progress_->AddProgress64(got);
      if (p < 0) return p;
    }
    crcRead = arc::Crc32(crcRead, in, got);
    stream.next_in = in;
    stream.avail_in = static_cast<uInt>(got);
    ZoResult r = pump(Z_NO_FLUSH);
    if (r < 0) return r;
  }
  ZoResult r = pump(Z_FINISH);
  if (r < 0) return r;

  header.compressedSize = packed;
  header.crcUncompressed = crcRead;
  header.crcCompressed = crcWritten;
  return 0;
}

ZoResult CArchive2::StoreAgain(plat::File& source, arc::LocalEntryHeader& header, uint64_t dataStart,
                               WriterWork& work) {
  const char* kStep = "CompressZipFile";
  if (!source.Seek(0, plat::SeekOrigin::Begin)) {
    ReportFailure(ARC_ERROR_READ, kStep);
    return ARC_E_READ;
  }
  if (!Out().Seek(static_cast<int64_t>(base_ + dataStart), plat::SeekOrigin::Begin)) {
    ReportFailure(ARC_ERROR_WRITE, kStep);
    return ARC_E_WRITE;
  }
  writePos_ = dataStart;
  // The progress counted these bytes once already; only cancel is polled.
  uint32_t crc = 0;
  for (uint64_t remaining = header.uncompressedSize; remaining > 0;) {
    const size_t want = static_cast<size_t>(std::min<uint64_t>(remaining, arc::kBlockSize));
    size_t got = 0;
    if (!source.Read(work.in, want, &got) || got != want) {
      ReportFailure(ARC_ERROR_READ, kStep);
      return ARC_E_READ;
    }
    crc = arc::Crc32(crc, work.in, got);
    if (!Out().Write(work.in, got)) {
      ReportFailure(ARC_ERROR_WRITE, kStep);
      return ARC_E_WRITE;
    }
    writePos_ += got;
    remaining -= got;
    if (progress_ && progress_->PollStatus() == ARC_E_CANCELLED) return ARC_E_CANCELLED;
  }
  // The deflated stream ran further than the stored bytes: its tail must not stay
  // behind the last record of the archive.
  if (!Out().Truncate()) {
    ReportFailure(ARC_ERROR_WRITE, kStep);
    return ARC_E_WRITE;
  }
  header.compressionType = ARC_COMPRESSION_NONE;
  header.compressedSize = header.uncompressedSize;
  header.crcUncompressed = crc;
  header.crcCompressed = crc;
  return 0;
}

ZoResult CArchive2::WritePreparedData(arc::PreparedFile& prepared, arc::LocalEntryHeader& header,
                                      const ZoChar* storedName) {
  const bool deflate = header.compressionType == ARC_COMPRESSION_ZIP;
  const char* kStep = deflate ? "CompressZipFile" : "NoCompressFile";
  ItemName(storedName);
  Status(ARC_EVENT_ADD_START);
  const uint64_t size = header.uncompressedSize;
  const bool readFailed = prepared.outcome == arc::PreparedFile::Outcome::kReadFailed;
  const uint64_t readable = readFailed ? prepared.readBefore : size;
  // Block by block as the data steps read: deflate counts every block read and
  // writes the deflated form at the end; storing writes each block, then counts it.
  for (uint64_t done = 0; done < readable;) {
    const size_t block = static_cast<size_t>(std::min<uint64_t>(readable - done, arc::kBlockSize));
    if (!deflate) {
      if (!Out().Write(prepared.data.get() + done, block)) {
        ReportFailure(ARC_ERROR_WRITE, kStep);
        return ARC_E_WRITE;
      }
      writePos_ += block;
    }
    done += block;
    if (progress_) {
      if (progress_->PollStatus() == ARC_E_CANCELLED) return ARC_E_CANCELLED;
      int32_t p = progress_->AddProgress64(block);
      if (p < 0) return p;
    }
  }
  if (readFailed) {
    ReportFailure(ARC_ERROR_READ, kStep);
    return ARC_E_READ;
  }
  if (deflate && prepared.length > 0) {
    if (!Out().Write(prepared.data.get(), prepared.length)) {
      ReportFailure(ARC_ERROR_WRITE, kStep);
      return ARC_E_WRITE;
    }
    writePos_ += prepared.length;
  }
  header.compressionType = prepared.compressionType;
  header.compressedSize = prepared.length;
  header.crcUncompressed = prepared.crcUncompressed;
  header.crcCompressed = prepared.crcCompressed;
  Status(ARC_EVENT_FILE_END);
  return 0;
}

ZoResult CArchive2::WritePreparedRecord(arc::PreparedFile& prepared, arc::LocalEntryHeader& header,
                                        const std::u16string& storedName, uint64_t localOffset) {
  const size_t head = arc::kLocalHeaderSize + 2 * storedName.size();
  WriterWork* work = GetWriterWork();
  if (!work || header.nameLength >= arc::kNameCapacity || prepared.length > kOneWriteLimit ||
      !work->record.Reserve(head + prepared.length))
    return 1;
  const arc::LocalEntryHeader announced = header;
  header.compressionType = prepared.compressionType;
  header.compressedSize = prepared.length;
  header.crcUncompressed = prepared.crcUncompressed;
  header.crcCompressed = prepared.crcCompressed;
  uint8_t* bytes = work->record.data();
  header.Encode(bytes);
  size_t used = arc::kLocalHeaderSize;
  for (ZoChar c : storedName) {
    bytes[used++] = static_cast<uint8_t>(c);
    bytes[used++] = static_cast<uint8_t>(c >> 8);
  }
  if (prepared.length) std::copy(prepared.data.get(), prepared.data.get() + prepared.length, bytes + used);
  used += prepared.length;
  // A write that fails part-way (a full disk) is reported where the separate
  // writes would have met it: in the header (the add's step) or in the data
  // block holding the first byte that did not go down (the data step's).
  uint64_t accepted = used;
  const bool written = Out().Write(bytes, used);
  if (!written) {
    uint64_t position = 0;
    accepted = Out().Tell(&position) && position >= base_ + localOffset ? position - base_ - localOffset : 0;
    if (accepted < head) {
      header = announced;
      ReportFailure(ARC_ERROR_WRITE, "AddFile");
      return ARC_E_WRITE;
    }
  }

  // The events and polls of the data step, block by block (WritePreparedData).
  const bool deflate = announced.compressionType == ARC_COMPRESSION_ZIP;
  const char* kStep = deflate ? "CompressZipFile" : "NoCompressFile";
  ItemName(storedName.c_str());
  Status(ARC_EVENT_ADD_START);
  ZoResult failed = 0;
  uint64_t done = 0;
  for (const uint64_t size = announced.uncompressedSize; done < size && failed == 0;) {
    const size_t block = static_cast<size_t>(std::min<uint64_t>(size - done, arc::kBlockSize));
    done += block;
    // Storing writes each block before counting it; the last block takes the
    // failure of a write that went down whole yet failed.
    if (!written && !deflate && (head + done > accepted || done == size)) {
      header = announced;
      ReportFailure(ARC_ERROR_WRITE, kStep);
      return ARC_E_WRITE;
    }
    if (progress_) {
      if (progress_->PollStatus() == ARC_E_CANCELLED) {
        failed = ARC_E_CANCELLED;
      } else {
        const int32_t p = progress_->AddProgress64(block);
        if (p < 0) failed = p;
      }
    }
  }
  if (failed == 0 && !written) {
    header = announced;
    ReportFailure(ARC_ERROR_WRITE, kStep);  // deflate writes after counting every block
    return ARC_E_WRITE;
  }
  if (failed == 0) {
    writePos_ = localOffset + used;
    Status(ARC_EVENT_FILE_END);
    return 0;
  }
  // Stopped part-way: leave the bytes the usual way would have left, the header
  // as first written and the stored blocks up to this one (none when deflating).
  header = announced;
  const uint64_t kept = deflate ? 0 : done;
  announced.Encode(bytes);
  if (!Out().Seek(static_cast<int64_t>(base_ + localOffset), plat::SeekOrigin::Begin) ||
      !Out().Write(bytes, head) ||
      !Out().Seek(static_cast<int64_t>(base_ + localOffset + head + kept), plat::SeekOrigin::Begin) ||
      !Out().Truncate()) {
    ReportFailure(ARC_ERROR_WRITE, "AddFile");
    return ARC_E_WRITE;
  }
  writePos_ = localOffset + head + kept;
  return failed;
}

// ---- folders and patterns ----------------------------------------------------------

ZoResult CArchive2::AddDirectory(const ZoChar* path, const ZoChar* baseFolder, uint32_t listed) {
  std::u16string stored;
  ZoResult r;
  try {
    r = MakeStoredNameText(path, plat::Length(baseFolder), nullptr, &stored);
    if (r == 0 && !stored.empty() && stored.back() != u'\\') stored.push_back(u'\\');
  } catch (const std::bad_alloc&) {
    ReportFailure(ARC_ERROR_MEMORY, "AddDirectory");
    return E_OUTOFMEMORY;
  }
  r = CheckStoredName(r, path, stored, true, "AddDirectory");
  if (r < 0) return r;
  if (r == 1) return kFolderLeftOut;
  if (stored.empty()) {
    ReportFailure(ARC_ERROR_INVALID_ARG, "AddDirectory");
    return 1;
  }
  r = AskBeforeReplacingEntry(stored);
  if (r != 0) return r == 1 ? 0 : r;  // 1: the host keeps the existing entry
  arc::LocalEntryHeader header;
  header.signature = ARC_SIG_LOCAL;
  header.compressionType = addCompressionType_;
  header.compressionLevel = addCompressionLevel_;
  const uint32_t attributes =
      plat::kListedAttributesExact && listed != ZO_INVALID_ATTRIBUTES ? listed : plat::GetAttributes(path);
  header.attributes = attributes == ZO_INVALID_ATTRIBUTES ? ZO_ATTR_DIRECTORY : attributes;
  header.fileTime = plat::Now();
  header.nameLength = static_cast<uint32_t>(stored.size());
  const uint64_t localOffset = writePos_;
  // The record is listed only after its bytes are down: a listed entry always has
  // a complete local record behind it.
  if (!arc::WriteLocalHead(Out(), header, stored.c_str())) {
    uint64_t position = 0;
    if (Out().Tell(&position) && position >= base_) writePos_ = position - base_;
    ReportFailure(ARC_ERROR_WRITE, "AddDirectory");
    return ARC_E_WRITE;
  }
  writePos_ += arc::kLocalHeaderSize + 2ull * header.nameLength;
  r = AppendEntryRecord(header, localOffset, stored);
  if (r < 0) ReportFailure(ARC_ERROR_MEMORY, "AddDirectory");
  return r;
}

namespace {

// The children of one folder as a lister names and types them: replayed from
// the tree's listing, or listed now when there is none.
class FolderChildren {
 public:
  struct Child {
    plat::StringView16 name;
    uint32_t attributes = 0;
    size_t index = arc::TreeListing::kNone;  // in the listing, when replayed
  };

  // The children of the listing's entry `folder` (of its root for kNone); without
  // a listing, those of `path` listed now (none when it cannot be listed).
  FolderChildren(const arc::TreeListing* listing, size_t folder, const ZoChar* path) : listing_(listing) {
    if (!listing) {
      listed_ = lister_.Open(path, u"*.*");
    } else if (folder == arc::TreeListing::kNone) {
      end_ = listing->Count();
    } else {
      next_ = folder + 1;
      end_ = listing->Next(folder);
    }
  }

  // False when the folder could not be listed now (a replayed folder was).
  bool Listed() const { return listed_; }

  bool Next(Child* child) {
    if (listing_) {
      if (next_ >= end_) return false;
      *child = Child{listing_->Name(next_), listing_->Attributes(next_), next_};
      next_ = listing_->Next(next_);
      return true;
    }
    do {
      if (!lister_.Next(&entry_)) return false;
    } while (IsDotOrDotDot(entry_.name));
    *child = Child{entry_.name, entry_.attributes, arc::TreeListing::kNone};
    return true;
  }

 private:
  const arc::TreeListing* listing_ = nullptr;
  size_t next_ = 0, end_ = 0;
  bool listed_ = true;
  plat::DirectoryLister lister_;
  plat::DirectoryEntry entry_;
};

}  // namespace

ZoResult CArchive2::AddDirectoryTree(const ZoChar* path, const ZoChar* baseFolder, const arc::TreeListing* listing,
                                     size_t index, uint32_t attributes) {
  ZoResult result = AddDirectory(path, baseFolder, attributes);
  if (result < 0 || result == kFolderLeftOut) return result;
  FolderChildren children(listing, index, path);
  // A folder that cannot be listed (no permission) would come out empty: its
  // files would be lost without a word.
  if (!children.Listed()) {
    ReportFailure(ARC_ERROR_OPEN_INPUT, "AddDirectory", path);
    return ARC_E_OPEN_FAILED;
  }
  FolderChildren::Child entry;
  ZoChar child[ZO_MAX_PATH];
  while (children.Next(&entry)) {
    if (!arc::JoinFolderAndName(path, entry.name, child)) {
      result = LeaveOutUnjoinedName(path, entry.name, "AddDirectory");
      if (result < 0) return result;
      continue;
    }
    // A link to a folder is never followed: a link loop would recurse forever and
    // a link out of the tree would add files from elsewhere.
    if (IsFolderLink(entry.attributes)) {
      result = LeaveOut(child, ARC_EVENT_SKIPPED_FOLDER_LINK);
    } else if (entry.attributes & ZO_ATTR_DIRECTORY) {
      result = AddDirectoryTree(child, baseFolder, listing, entry.index, entry.attributes);
      if (result == kFolderLeftOut) result = 0;
    } else {
      result = AddFile(child, baseFolder, nullptr, entry.attributes);
    }
    if (result < 0) return result;
  }
  return result;
}

ZoResult CArchive2::AddWildcard(const ZoChar* path, const ZoChar* baseFolder) {
  std::u16string part;
  WildcardKind kind = kWildcardExact;
  ZoResult r = CheckForWildcards(ZoGetFileNamePtrW(path), part, kind);
  if (r < 0) return r;
  if (kind == kWildcardExact) {
    ReportFailure(ARC_ERROR_NO_MATCH, "AddWildcard");
    return 1;
  }
  StartAddAhead(baseFolder, &part, kind);
  plat::DirectoryLister lister;
  if (!lister.Open(*baseFolder ? baseFolder : u".", u"*.*")) return 1;
  ZoResult result = 1;
  plat::DirectoryEntry entry;
  ZoChar child[ZO_MAX_PATH];
  while (lister.Next(&entry)) {
    if (IsDotOrDotDot(entry.name)) continue;
    const bool isFolder = (entry.attributes & ZO_ATTR_DIRECTORY) != 0;
    if (isFolder && !(addFlags_ & ARC_ADD_RECURSE)) continue;
    if (!MatchWildcard(entry.name.c_str(), part, kind)) continue;
    if (!arc::JoinFolderAndName(baseFolder, entry.name, child)) {
      result = LeaveOutUnjoinedName(baseFolder, entry.name, "AddWildcard");
      if (result < 0) return result;
      continue;
    }
    if (IsFolderLink(entry.attributes)) {
      result = LeaveOut(child, ARC_EVENT_SKIPPED_FOLDER_LINK);
    } else {
      result = isFolder ? AddDirectoryTree(child, baseFolder, nullptr, arc::TreeListing::kNone, entry.attributes)
                        : AddFile(child, baseFolder, nullptr, entry.attributes);
      if (result == kFolderLeftOut) result = 0;
    }
    if (result < 0) return result;
  }
  return result;
}

// ---- size, count and room ------------------------------------------------------------

namespace {

// Adds the files and folders below `folder` to size and count; links to folders
// are not followed, as adding does not follow them. `listing`, when given,
// receives every entry in walk order, for adding to replay (tree_listing.h);
// it is abandoned where the walk cannot go on as adding would.
void MeasureTree(const ZoChar* folder, uint64_t* size, uint64_t* count, int depth, arc::TreeListing* listing) {
  if (depth > 256) {
    if (listing) listing->Abandon();
    return;
  }
  plat::DirectoryLister lister;
  if (!lister.Open(folder, u"*.*")) {
    // Adding lists such a folder itself and fails there, naming it.
    if (listing) listing->Abandon();
    return;
  }
  plat::DirectoryEntry entry;
  ZoChar child[ZO_MAX_PATH];
  while (lister.Next(&entry)) {
    if (IsDotOrDotDot(entry.name)) continue;
    // Listed also when not counted: adding leaves these out with an event.
    const size_t index = listing ? listing->Add(entry.name, entry.attributes, entry.size) : arc::TreeListing::kNone;
    // Neither links to folders nor FIFOs, sockets and devices are added.
    if (IsFolderLink(entry.attributes) || (entry.attributes & ZO_ATTR_DEVICE)) continue;
    ++*count;
    const bool joined = arc::JoinFolderAndName(folder, entry.name, child);
    if (!joined && listing) listing->Abandon();
    if (entry.attributes & ZO_ATTR_DIRECTORY) {
      if (joined) MeasureTree(child, size, count, depth + 1, listing);
      if (listing) listing->EndFolder(index);
    } else {
      *size += entry.size;
    }
  }
}

}  // namespace

ZoResult CArchive2::MeasureAddEntry(const ZoChar* path, uint32_t flags, uint64_t* size, uint64_t* count,
                                    arc::TreeListing* listing) {
  *size = 0;
  *count = 0;
  if (!path || !*path) {
    ReportFailure(ARC_ERROR_NO_MATCH, "GetSizeAddEntry");
    return 1;
  }
  if (plat::IsDirectory(path)) {
    *count = 1;
    if (listing) listing->Begin();
    MeasureTree(path, size, count, 0, listing);
    return 0;
  }
  if (ZoDoesFileExist(path)) {
    ZoGetFileSizeByName(path, size);
    *count = 1;
    return 0;
  }
  std::u16string part;
  WildcardKind kind = kWildcardExact;
  if (CheckForWildcards(ZoGetFileNamePtrW(path), part, kind) < 0 || kind == kWildcardExact) {
    ReportFailure(ARC_ERROR_NO_MATCH, "GetSizeAddEntry");
    return 1;
  }
  ZoChar baseFolder[ZO_MAX_PATH] = {};
  ZoGetPathNameFromFilePath(path, baseFolder, ZO_MAX_PATH);
  plat::DirectoryLister lister;
  if (!lister.Open(*baseFolder ? baseFolder : u".", u"*.*")) return 0;
  plat::DirectoryEntry entry;
  ZoChar child[ZO_MAX_PATH];
  while (lister.Next(&entry)) {
    if (IsDotOrDotDot(entry.name)) continue;
    if ((entry.attributes & ZO_ATTR_REPARSE_POINT) && (entry.attributes & ZO_ATTR_DIRECTORY)) continue;
    const bool isFolder = (entry.attributes & ZO_ATTR_DIRECTORY) != 0;
    if (isFolder && !(flags & ARC_ADD_RECURSE)) continue;
    if (!MatchWildcard(entry.name.c_str(), part, kind)) continue;
    ++*count;
    if (isFolder) {
      if (arc::JoinFolderAndName(baseFolder, entry.name, child)) MeasureTree(child, size, count, 0, nullptr);
    } else {
      *size += entry.size;
    }
  }
  return 0;
}

ZoResult CArchive2::GetSizeAddEntry(const ZoChar* path, int64_t& size, uint32_t flags) {
  uint64_t bytes = 0, count = 0;
  ZoResult r = MeasureAddEntry(path, flags, &bytes, &count);
  size = static_cast<int64_t>(bytes);
  return r;
}

ZoResult CArchive2::GetCountAddEntry(const ZoChar* path, int64_t& count, uint32_t flags) {
  uint64_t bytes = 0, entries = 0;
  ZoResult r = MeasureAddEntry(path, flags, &bytes, &entries);
  count = static_cast<int64_t>(entries);
  return r;
}

ZoResult CArchive2::IsSpaceForAddEntry(const ZoChar* path, uint32_t flags) {
  if (mode_ != ARC_OPEN_CREATE && mode_ != ARC_OPEN_APPEND) return E_FAIL;
  uint64_t needed = 0, count = 0;
  MeasureAddEntry(path, flags, &needed, &count);
  if (mode_ == ARC_OPEN_APPEND) {
    int64_t archiveSize = GetArchiveSize();
    if (archiveSize > 0) needed += static_cast<uint64_t>(archiveSize);
  }
  // The archive's own folder is the volume that receives the bytes (on POSIX the
  // root may be another file system).
  ZoChar folder[ZO_MAX_PATH] = {};
  ZoGetPathNameFromFilePath(archivePath_, folder, ZO_MAX_PATH);
  return needed / 1024 > CapacityFigure(folder, fileSystemName_) ? 1 : 0;
}

uint64_t CArchive2::WriterCapacityFigure(const ZoChar* folder) const {
  return CapacityFigure(folder, fileSystemName_);
}
