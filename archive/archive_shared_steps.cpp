// Steps that reading, extraction and every writer share: name patterns, the
// replace question, block and file copies, and the names of the temporary file
// and of the volumes of a set.
#include <atomic>
#include <new>
#include <vector>

#include "archive/archive2.h"
#include "platform/text.h"
#include "runtime/zo_path.h"

namespace {

// The remembered answer of each replace question (ordinary, read-only): one
// process-wide value per variant shared by all archive objects; 0 replace, 1 skip.
std::atomic<int32_t> gRememberedAnswer[2] = {0, 0};

// File part of an entry name: the text after the last backslash or colon.
plat::StringView16 EntryFilePart(plat::StringView16 name) {
  const size_t cut = name.find_last_of(u"\\:");
  return cut == plat::StringView16::npos ? name : name.substr(cut + 1);
}

bool EndsWithNoCase(plat::StringView16 text, plat::StringView16 suffix) {
  return text.size() >= suffix.size() && plat::EqualsNoCase(text.substr(text.size() - suffix.size()), suffix);
}

bool StartsWithNoCase(plat::StringView16 text, plat::StringView16 prefix) {
  return text.size() >= prefix.size() && plat::EqualsNoCase(text.substr(0, prefix.size()), prefix);
}

}  // namespace

ZoResult CArchive2::CheckForWildcards(const ZoChar* pattern, std::u16string& patternPart, WildcardKind& kind) {
  kind = kWildcardExact;
  try {
    patternPart.assign(pattern ? pattern : u"");
    const plat::StringView16 text(patternPart);
    if (plat::EqualsNoCase(text, u"*.*")) {
      kind = kWildcardAll;
      return 0;
    }
    if (text.size() < 2) {
      ReportFailure(ARC_ERROR_BUFFER, "CheckForWildcards");
      return ARC_E_BAD_NAME;
    }
    // Only a star in the first or the last position has a meaning; the first one
    // met decides. Any other star and every '?' are ordinary characters.
    for (size_t i = 0; i < text.size(); ++i) {
      if (text[i] != u'*') continue;
      if (i == 0) {
        kind = kWildcardSuffix;
        patternPart.erase(0, 1);
        return 0;
      }
      if (i == text.size() - 1) {
        kind = kWildcardPrefix;
        patternPart.pop_back();
        return 0;
      }
    }
  } catch (const std::bad_alloc&) {
    ReportFailure(ARC_ERROR_MEMORY, "CheckForWildcards");
    return E_OUTOFMEMORY;
  }
  return 0;
}

bool CArchive2::MatchWildcard(const ZoChar* name, const std::u16string& patternPart, WildcardKind kind) {
  if (kind == kWildcardAll) return true;
  if (!name) return false;
  const plat::StringView16 whole(name, plat::Length(name));
  const plat::StringView16 file = EntryFilePart(whole);
  const plat::StringView16 part(patternPart);
  switch (kind) {
    case kWildcardExact:
      return plat::EqualsNoCase(whole, part) || plat::EqualsNoCase(file, part);
    case kWildcardSuffix:
      return (whole.size() > part.size() && EndsWithNoCase(whole, part)) ||
             (file.size() > part.size() && EndsWithNoCase(file, part));
    case kWildcardPrefix:
      return StartsWithNoCase(whole, part) || StartsWithNoCase(file, part);
    default:
      return false;
  }
}

ZoResult CArchive2::AskReplace(const ZoChar* path, bool readOnlyQuestion) {
  if (!progress_) return 0;  // without a host an existing item is replaced
  uint32_t& all = readOnlyQuestion ? replaceAllReadOnly_ : replaceAllFiles_;
  std::atomic<int32_t>& remembered = gRememberedAnswer[readOnlyQuestion ? 1 : 0];
  progress_->SetItemName(path);
  if (all) {
    const int32_t answer = remembered.load();
    progress_->ReportStatus(answer == 0 ? ARC_EVENT_REPLACED : ARC_EVENT_SKIPPED);
    return answer;
  }
  progress_->ReportStatus(readOnlyQuestion ? ARC_EVENT_ASK_REPLACE_READONLY : ARC_EVENT_ASK_REPLACE);
  const int32_t answer = progress_->PollStatus();
  if (answer == ARC_ANSWER_REPLACE || answer == ARC_ANSWER_REPLACE_ALL) {
    if (answer == ARC_ANSWER_REPLACE_ALL) all = 1;
    remembered.store(0);
    progress_->SetItemName(path);
    progress_->ReportStatus(ARC_EVENT_REPLACED);
    return 0;
  }
  if (answer == ARC_ANSWER_SKIP || answer == ARC_ANSWER_SKIP_ALL) {
    if (answer == ARC_ANSWER_SKIP_ALL) all = 1;
    remembered.store(1);
    progress_->SetItemName(path);
    progress_->ReportStatus(ARC_EVENT_SKIPPED);
    return 1;
  }
  return answer;  // 0 (nothing left: replace), ARC_E_CANCELLED, or the host's own value
}

ZoResult CArchive2::BlockCopy(plat::File& source, uint64_t sourceOffset, uint64_t count, plat::File& destination,
                              uint64_t destinationOffset) {
  if (count == 0) return 0;
  // A buffer lent for a run of copies (copyBuffer_), else one for this copy alone.
  std::vector<uint8_t> own;
  std::vector<uint8_t>& buffer = copyBuffer_.size() == arc::kBlockSize ? copyBuffer_ : own;
  if (buffer.empty()) {
    try {
      buffer.resize(arc::kBlockSize);
    } catch (const std::bad_alloc&) {
      ReportFailure(ARC_ERROR_MEMORY, "Block Copy");
      return E_OUTOFMEMORY;
    }
  }
  if (sourceOffset > static_cast<uint64_t>(INT64_MAX) || !source.Seek(static_cast<int64_t>(sourceOffset), plat::SeekOrigin::Begin)) {
    ReportFailure(ARC_ERROR_READ, "Block Copy");
    return ARC_E_READ;
  }
  if (destinationOffset > static_cast<uint64_t>(INT64_MAX) ||
      !destination.Seek(static_cast<int64_t>(destinationOffset), plat::SeekOrigin::Begin)) {
    ReportFailure(ARC_ERROR_WRITE, "Block Copy");
    return ARC_E_WRITE;
  }
  ZoResult result = 0;
  uint64_t remaining = count;
  uint64_t totalRead = 0;
  uint64_t totalWritten = 0;
  while (remaining > 0 && result >= 0) {
    const size_t want = static_cast<size_t>(std::min<uint64_t>(remaining, arc::kBlockSize));
    size_t got = 0;
    if (!source.Read(buffer.data(), want, &got) || got == 0) {
      ReportFailure(ARC_ERROR_READ, "Block Copy");
      result = ARC_E_READ;
      break;
    }
    totalRead += got;
    remaining -= got;
    if (!destination.Write(buffer.data(), got)) {
      ReportFailure(ARC_ERROR_WRITE, "Block Copy");
      result = ARC_E_WRITE;
      break;
    }
    totalWritten += got;
    if (progress_) {
      progress_->AddProgress64(got);
      result = progress_->PollStatus();
    }
  }
  if (totalRead != totalWritten) ReportFailure(ARC_ERROR_BLOCK_MISMATCH, "Block Copy");
  return result;
}

ZoResult CArchive2::FileCopy(const ZoChar* sourcePath, const ZoChar* destinationPath) {
  const uint32_t attributes = plat::GetAttributes(sourcePath);
  plat::File source = plat::File::Open(sourcePath, plat::Access::Read, plat::kShareRead, plat::Disposition::OpenExisting);
  if (!source) {
    ReportFailure(ARC_ERROR_OPEN_INPUT, "FileCopy");
    return ARC_E_OPEN_FAILED;
  }
  plat::FileTimes times;
  const bool haveTimes = source.GetTimes(&times);
  plat::File destination =
      plat::File::Open(destinationPath, plat::Access::Write, plat::kShareNone, plat::Disposition::CreateAlways);
  if (!destination) {
    ReportFailure(ARC_ERROR_CREATE, "FileCopy");
    return ARC_E_OPEN_FAILED;
  }
  uint64_t size = 0;
  source.Size(&size);
  if (size == 0) {
    ReportFailure(ARC_ERROR_BLOCK_MISMATCH, "FileCopy");
    destination.Close();
    return ARC_E_CHECK;
  }
  ZoResult result = BlockCopy(source, 0, size, destination, 0);
  if (result >= 0 && haveTimes) destination.SetTimes(&times.creation, &times.lastAccess, &times.lastWrite);
  if (!destination.Close() && result >= 0) {
    ReportFailure(ARC_ERROR_WRITE, "FileCopy");
    result = ARC_E_WRITE;
  }
  if (result >= 0 && attributes != ZO_INVALID_ATTRIBUTES) plat::SetAttributes(destinationPath, attributes);
  return result;
}

bool CArchive2::MakeTempPath(const ZoChar* archivePath, ZoChar* out, size_t capacity) const {
  if (!archivePath || !out || capacity == 0) return false;
  const ZoChar* file = ZoGetFileNamePtrW(archivePath);
  const size_t folderLength = static_cast<size_t>(file - archivePath);
  const size_t fileLength = plat::Length(file);
  if (folderLength + 1 + fileLength + 1 > capacity) {
    out[0] = 0;
    return false;
  }
  size_t n = 0;
  for (size_t i = 0; i < folderLength; ++i) out[n++] = archivePath[i];
  out[n++] = u'~';
  for (size_t i = 0; i < fileLength; ++i) out[n++] = file[i];
  out[n] = 0;
  return true;
}

bool CArchive2::MakeVolumePath(uint32_t k, std::u16string* out) const {
  // Folder of the main file as it was opened, separator included.
  const ZoChar* mainFile = ZoGetFileNamePtrW(archivePath_);
  out->assign(archivePath_, static_cast<size_t>(mainFile - archivePath_));
  // Only the file part of the stored name counts, split at every separator either
  // system uses, so a stored name can never lead outside the main file's folder.
  const plat::StringView16 stored(storedName_, plat::Length(storedName_));
  const size_t cut = stored.find_last_of(u"\\/:");
  const plat::StringView16 file = cut == plat::StringView16::npos ? stored : stored.substr(cut + 1);
  const size_t dot = file.find_last_of(u'.');
  const plat::StringView16 stem = dot == plat::StringView16::npos ? file : file.substr(0, dot);
  const plat::StringView16 extension = dot == plat::StringView16::npos ? plat::StringView16() : file.substr(dot);
  out->append(stem);
  ZoChar digits[12];
  int n = 0;
  do {
    digits[n++] = static_cast<ZoChar>(u'0' + k % 10);
    k /= 10;
  } while (k != 0);
  while (n > 0) out->push_back(digits[--n]);
  out->append(extension);
  return out->size() < static_cast<size_t>(ZO_MAX_PATH);
}
