// CArchive2 as an object: construction, Open in its six modes, Close with its
// write-back and commit, the archive-level queries, and the engine's one
// error-report helper.
#include <algorithm>
#include <iterator>
#include <new>
#include <string>

#include "archive/archive2.h"
#include "archive/entry_stream.h"
#include "platform/directory.h"
#include "platform/paths.h"
#include "platform/text.h"
#include "platform/volume.h"
#include "runtime/zo_path.h"

namespace {

// "step" or "step|detail", cut to 259 units.
std::u16string StepText(const char* step, const ZoChar* detail) {
  std::u16string text;
  for (const char* p = step; p && *p; ++p) text.push_back(static_cast<ZoChar>(static_cast<unsigned char>(*p)));
  if (detail) {
    text.push_back(u'|');
    text.append(detail, plat::BoundedLength(detail, 4096));
  }
  if (text.size() > 259) text.resize(259);
  return text;
}

}  // namespace

CArchive2::CArchive2() = default;

CArchive2::~CArchive2() {
  // The destructor writes nothing: it only releases what is still held.
  if (entryList_) ZoList_Destroy(entryList_);
  ReleaseExtractWork(workCache_);
}

void CArchive2::ReportFailure(int32_t code, const char* step, const ZoChar* detail) {
  if (!progress_) return;
  std::u16string text;
  try {
    text = StepText(step, detail);
  } catch (const std::bad_alloc&) {
    text.clear();
  }
  progress_->SetItemName(text.c_str());
  progress_->ReportError(code);
}

void CArchive2::ReportFailure(int32_t code, const char* step, uint64_t numericDetail) {
  ZoChar digits[24];
  int n = 0;
  ZoChar reversed[24];
  do {
    reversed[n++] = static_cast<ZoChar>(u'0' + numericDetail % 10);
    numericDetail /= 10;
  } while (numericDetail != 0);
  for (int i = 0; i < n; ++i) digits[i] = reversed[n - 1 - i];
  digits[n] = 0;
  ReportFailure(code, step, digits);
}

void CArchive2::Status(int32_t code) {
  if (progress_) progress_->ReportStatus(code);
}

void CArchive2::ItemName(const ZoChar* text) {
  if (progress_) progress_->SetItemName(text);
}

int32_t CArchive2::Poll() { return progress_ ? progress_->PollStatus() : 0; }

ZoResult CArchive2::OpenWithWriter(const ZoChar* path, uint32_t mode, CZoArchiveProgress* progress,
                                   WriterStep writer) {
  progress_ = progress;
  writer_ = nullptr;
  if (!path || !*path) {
    ReportFailure(ARC_ERROR_INVALID_ARG, "Open Main");
    return E_INVALIDARG;
  }
  // A full path that does not fit the 260-unit buffers is refused rather than cut:
  // a cut path would name another file.
  ZoChar full[ZO_MAX_PATH];
  uint32_t length = plat::GetFullPath(path, full, ZO_MAX_PATH);
  if (length == 0 || length >= static_cast<uint32_t>(ZO_MAX_PATH)) {
    ReportFailure(ARC_ERROR_INVALID_ARG, "Open Main", path);
    return E_INVALIDARG;
  }
  ZoChar root[64];
  fileSystemName_[0] = 0;
  if (ZoGetRootPathFromFilePath(full, root, 64) > 0) plat::GetFileSystemName(root, fileSystemName_, 128);

  replaceAllFiles_ = 0;
  replaceAllReadOnly_ = 0;
  // Nothing of an earlier Open on this object may decide what Close commits: a
  // stale "modified" would move a rewrite's bare temporary file over the archive.
  modified_ = 0;
  tempPath_[0] = 0;
  existingNamesFolded_.clear();
  mode_ = mode;
  std::fill(std::begin(endRecord_), std::end(endRecord_), uint8_t{0});
  end_ = arc::EndOfCentralDirectory();
  endLoaded_ = false;
  hasCertificateTable_ = false;
  base_ = 0;
  volumeCount_ = 0;
  comment_[0] = storedName_[0] = reservedText_[0] = 0;
  plat::CopyTruncated(archivePath_, ZO_MAX_PATH, full);
  directory_.clear();
  directoryDamaged_ = false;
  volumeSizes_.clear();
  cursor_ = -1;
  outIsFile_ = false;

  auto createList = [this]() -> ZoResult {
    if (entryList_) {
      ZoList_Destroy(entryList_);
      entryList_ = nullptr;
    }
    entryRecords_.Release();
    if (mode_ != ARC_OPEN_DELETE) return entryRecords_.Reset();
    // Grown 1,024 slots at a time: a folder of 100,000 entries moves the slot
    // array about a hundred times, not six thousand.
    return ZoList_CreateExZ(&entryList_, static_cast<int>(sizeof(void*)), 16, 1024, ZO_LIST_OWNED);
  };

  // Loads the end record and the directory index of the opened file_.
  auto load = [this]() -> ZoResult {
    ZoResult r = LoadEndOfCentralDirectory(file_);
    if (r < 0) return r;
    r = IndexCentralDirectory();
    if (r < 0) return r;
    ComputeExtractTotal();
    return 0;
  };

  // Opens the existing archive at `full` and loads it; a file that does not open
  // or does not load is reported under `step`.
  auto openExisting = [&](plat::Access access, const char* step) -> ZoResult {
    file_ = plat::File::Open(full, access, plat::kShareRead, plat::Disposition::OpenExisting);
    if (!file_) {
      ReportFailure(ARC_ERROR_OPEN_INPUT, step);
      return ARC_E_OPEN_FAILED;
    }
    ZoResult r = load();
    if (r == E_OUTOFMEMORY) return r;
    if (r < 0) {
      ReportFailure(ARC_ERROR_SIGNATURE, step);
      return ARC_E_BAD_SIGNATURE;
    }
    return 0;
  };

  // Creates the rewrite's temporary file ("%s~%s" beside `full`) as outFile_; a
  // failure is reported under `step`.
  auto createTemp = [&](const char* step) -> ZoResult {
    if (!MakeTempPath(full, tempPath_, ZO_MAX_PATH)) {
      ReportFailure(ARC_ERROR_CREATE, step, full);
      return ARC_E_OPEN_FAILED;
    }
    // The files the engine writes share only deletion: a forced exit (a second
    // Ctrl-C) removes a half-written file by name while it is still open, on
    // Windows too.
    outFile_ = plat::File::Open(tempPath_, plat::Access::ReadWrite, plat::kShareDelete, plat::Disposition::CreateAlways);
    if (!outFile_) {
      if (progress_) {
        progress_->SetItemName(tempPath_);
        progress_->ReportError(ARC_ERROR_CREATE);
      }
      return ARC_E_OPEN_FAILED;
    }
    return 0;
  };

  // The stub in front of a self-extracting archive goes first into a rewrite. The
  // rewritten file carries no certificate table, so a signed package's stub loses
  // its pointer to one.
  auto copyStub = [this](const char* step) -> ZoResult {
    if (base_ == 0) return 0;
    static const ZoChar kStubLabel[] = u"SEA Stub File";
    ItemName(kStubLabel);
    Status(ARC_EVENT_COPY_PHASE);
    ZoResult r = BlockCopy(file_, 0, base_, outFile_, 0);
    if (r >= 0) r = ForgetCertificateTableIn(outFile_, step, false);
    if (r >= 0) Status(ARC_EVENT_DONE);
    return r;
  };

  opened_ = false;
  auto dispatch = [&]() -> ZoResult {
    switch (mode) {
      case ARC_OPEN_CREATE: {
        file_ = plat::File::Open(full, plat::Access::ReadWrite, plat::kShareDelete, plat::Disposition::CreateAlways);
        if (!file_) {
          // The step text of a failed create is the path itself.
          if (progress_) {
            progress_->SetItemName(full);
            progress_->ReportError(ARC_ERROR_CREATE);
          }
          return ARC_E_OPEN_FAILED;
        }
        outIsFile_ = true;
        writePos_ = 0;
        entriesWritten_ = 0;
        volumeCount_ = 1;
        modified_ = 1;
        return createList();
      }
      case ARC_OPEN_READ: {
        if (plat::GetAttributes(full) == ZO_INVALID_ATTRIBUTES) {
          ReportFailure(ARC_ERROR_FILE_MISSING, "open read");
          return ARC_E_FILE_NOT_FOUND;
        }
        file_ = plat::File::Open(full, plat::Access::Read, plat::kShareRead, plat::Disposition::OpenExisting);
        if (!file_) {
          ReportFailure(ARC_ERROR_CREATE, "open read");
          return ARC_E_OPEN_FAILED;
        }
        ZoResult r = load();
        if (r == E_OUTOFMEMORY) {
          file_.Close();
          return r;
        }
        if (r < 0) {
          file_.Close();
          ReportFailure(ARC_ERROR_SIGNATURE, "open read");
          return ARC_E_BAD_SIGNATURE;
        }
        outIsFile_ = true;
        entriesWritten_ = end_.entryCount;
        // A walk that stops at a damaged entry has reached its normal end, so a
        // loaded archive opens with 0 even then: the queries answer for the entries
        // before the damage, and IsDirectoryDamaged() tells a tool about the rest.
        return 0;
      }
      case ARC_OPEN_APPEND:
      case ARC_OPEN_DELETE: {
        const char* step = mode == ARC_OPEN_APPEND ? "Open Append" : "Open Delete";
        ZoResult r = openExisting(plat::Access::Read, step);
        if (r < 0) return r;
        if (volumeCount_ > 1) {
          ReportFailure(ARC_ERROR_MODE, step);
          return ARC_E_BAD_SIGNATURE;
        }
        r = createTemp(step);
        if (r < 0) return r;
        writePos_ = 0;
        entriesWritten_ = mode == ARC_OPEN_APPEND ? 0 : end_.entryCount;
        r = copyStub(step);
        if (r < 0) return r;
        return createList();
      }
      case ARC_OPEN_SEA: {
        ZoResult r = openExisting(plat::Access::Read, "Open SEA");
        if (r < 0) return r;
        entriesWritten_ = end_.entryCount;
        writePos_ = 0;
        return 0;
      }
      case ARC_OPEN_MULTIVOL: {
        ZoResult r = openExisting(plat::Access::ReadWrite, "OpenMultiVol");
        if (r < 0) return r;
        r = createTemp("OpenMultiVol");
        if (r < 0) return r;
        entriesWritten_ = end_.entryCount;
        writePos_ = 0;
        return copyStub("OpenMultiVol");
      }
      default:
        ReportFailure(ARC_ERROR_MODE, "Open Main");
        return E_NOTIMPL;
    }
  };
  const ZoResult result = dispatch();
  opened_ = result >= 0;
  if (opened_) writer_ = writer;
  return result;
}

ZoResult CArchive2::Close() {
  ZoResult result = 0;
  // The write-back runs only for an object that Open prepared for it (mode 0 is
  // both "create" and "not open").
  const WriterStep writer = opened_ ? writer_ : nullptr;
  writer_ = nullptr;
  if (writer) result = (this->*writer)(WriterPhase::WriteBack);

  plat::FileTimes times;
  bool haveTimes = false;
  uint32_t attributes = ZO_INVALID_ATTRIBUTES;
  if (file_) {
    haveTimes = file_.GetTimes(&times);
    attributes = plat::GetAttributes(archivePath_);
    // In create mode file_ is the written archive: a failed close may have lost data.
    if (!file_.Close() && mode_ == ARC_OPEN_CREATE && result >= 0) {
      ReportFailure(ARC_ERROR_WRITE, "AddCentralDirectory", archivePath_);
      result = ARC_E_WRITE;
    }
  }
  outIsFile_ = false;

  const bool rewrite = mode_ == ARC_OPEN_APPEND || mode_ == ARC_OPEN_DELETE || mode_ == ARC_OPEN_MULTIVOL;
  if ((rewrite || mode_ == ARC_OPEN_SEA) && outFile_) {
    if (haveTimes) outFile_.SetTimes(&times.creation, &times.lastAccess, &times.lastWrite);
    // The temp file is the future archive: a failed close must not replace it.
    if (!outFile_.Close() && result >= 0) {
      ReportFailure(ARC_ERROR_WRITE, "Close", tempPath_);
      result = ARC_E_WRITE;
    }
    if (attributes != ZO_INVALID_ATTRIBUTES && tempPath_[0]) plat::SetAttributes(tempPath_, attributes);
  }

  if (result >= 0 && rewrite && opened_ && tempPath_[0]) {
    if (modified_) {
      // One atomic replace instead of delete-then-rename: a failed rename leaves the
      // old archive in place and the temp file beside it.
      if (!plat::MoveFile(tempPath_, archivePath_, true)) {
        ReportFailure(ARC_ERROR_WRITE, "Close", archivePath_);
        result = ARC_E_WRITE;
      } else if (writer) {
        // Only now that the merged file stands are the volumes redundant.
        (this->*writer)(WriterPhase::AfterCommit);
      }
    } else {
      plat::DeleteFile(tempPath_);
      result = 1;
    }
  }

  volumesToDeleteAfterCommit_.clear();  // a failed commit keeps every volume
  replaceAllFiles_ = 0;
  replaceAllReadOnly_ = 0;
  if (entryList_) {
    ZoList_Destroy(entryList_);
    entryList_ = nullptr;
  }
  entryRecords_.Release();
  directory_.clear();
  directory_.shrink_to_fit();
  volumeSizes_.clear();
  cursor_ = -1;
  opened_ = false;
  ReleaseExtractWork(workCache_);
  workCache_ = nullptr;
  return result;
}

ZoResult CArchive2::GetArchiveCount() { return EntryCountOrMinusOne(); }

int32_t CArchive2::EntryCountOrMinusOne() const {
  if (mode_ == 0 || !endLoaded_) return -1;
  return static_cast<int32_t>(end_.entryCount);
}

ZoResult CArchive2::GetCreateTime(ZoFileTime& time) {
  plat::FileTimes times;
  if (mode_ != 0 && file_ && file_.GetTimes(&times)) time = times.creation;
  return 0;
}

ZoResult CArchive2::GetModifyTime(ZoFileTime& time) {
  plat::FileTimes times;
  if (mode_ != 0 && file_ && file_.GetTimes(&times)) time = times.lastWrite;
  return 0;
}

int CArchive2::GetArchiveSEAStatus() { return endLoaded_ && base_ > 0 ? 1 : 0; }

// The volumeCount field: 0 until an end record is loaded, 1 after create mode.
int CArchive2::GetMultiVolumeStatus() { return static_cast<int>(volumeCount_); }

int64_t CArchive2::GetArchiveSize() {
  if (mode_ == 0) return -1;
  uint64_t total = 0;
  if (file_) file_.Size(&total);
  for (uint32_t k = 2; endLoaded_ && k <= volumeCount_; ++k) {
    std::u16string volume;
    uint64_t size = 0;
    bool ok = false;
    try {
      ok = MakeVolumePath(k, &volume);
    } catch (const std::bad_alloc&) {
      ok = false;
    }
    if (ok) {
      plat::File f = plat::File::Open(volume.c_str(), plat::Access::Read, plat::kShareRead, plat::Disposition::OpenExisting);
      ok = f && f.Size(&size);
    }
    if (!ok) {
      ReportFailure(ARC_ERROR_VOLUME_MISSING, "GetArchiveSize", volume.c_str());
      break;
    }
    total += size;
  }
  return static_cast<int64_t>(total);
}
