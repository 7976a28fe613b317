// Changing an archive's physical shape without touching its entries: putting a
// stub in front (CreateSEA) and taking it off again (SplitSEA), cutting the entry
// data into volume files (SplitArchive) and joining them back (MergeArchive), and
// copying a set's volumes beside a self-extracting file (CopySEAMultiFiles).
//
// Every operation is a sequence of BlockCopy runs plus one end record: local and
// central records keep their bytes because their offsets are relative to the base
// and to the entry stream. Names of files written beside another file come from
// the file-name part of the stored archive name only (split at '\\', '/' and ':'),
// so a stored name can never place a file outside the chosen folder.
#include <new>
#include <string>

#include "archive/archive2.h"
#include "archive/record_writer.h"
#include "platform/directory.h"
#include "platform/file.h"
#include "platform/paths.h"
#include "platform/text.h"
#include "runtime/zo_path.h"

namespace {

// The file-name part of a stored name, whatever separator wrote it.
plat::StringView16 StoredFilePart(const ZoChar* stored) {
  plat::StringView16 text(stored, plat::Length(stored));
  size_t cut = text.find_last_of(u"\\/:");
  return cut == plat::StringView16::npos ? text : text.substr(cut + 1);
}

// Whether two file names name the same file (letters compared without regard to
// ASCII case where the file system does so).
bool SameFileName(plat::StringView16 a, plat::StringView16 b) {
  return plat::kSeparator == u'/' ? a == b : plat::EqualsNoCase(a, b);
}

// The number k that a file called `fileName` would carry as a volume of the set
// named `storedName` (stem, k in decimal, extension; letters compared without
// regard to ASCII case); 0 when the name is no volume name of the set.
uint32_t VolumeNumberOfName(const ZoChar* fileName, const ZoChar* storedName) {
  const plat::StringView16 name(fileName, plat::Length(fileName));
  const plat::StringView16 set = StoredFilePart(storedName);
  const size_t dot = set.find_last_of(u'.');
  const plat::StringView16 stem = dot == plat::StringView16::npos ? set : set.substr(0, dot);
  const plat::StringView16 extension = dot == plat::StringView16::npos ? plat::StringView16() : set.substr(dot);
  if (name.size() <= stem.size() + extension.size()) return 0;
  if (!plat::EqualsNoCase(name.substr(0, stem.size()), stem) ||
      !plat::EqualsNoCase(name.substr(name.size() - extension.size()), extension))
    return 0;
  const plat::StringView16 digits = name.substr(stem.size(), name.size() - stem.size() - extension.size());
  if (digits.size() > 10 || digits[0] == u'0') return 0;
  uint64_t k = 0;
  for (ZoChar c : digits) {
    if (c < u'0' || c > u'9') return 0;
    k = k * 10 + static_cast<uint64_t>(c - u'0');
  }
  return k <= UINT32_MAX ? static_cast<uint32_t>(k) : 0;
}

}  // namespace

// ---- self-extracting files ------------------------------------------------------------

ZoResult CArchive2::GetSizeCreateSEA(const ZoChar* stubPath, int64_t& size) {
  size = 0;
  plat::File stub = plat::File::Open(stubPath ? stubPath : u"", plat::Access::Read, plat::kShareRead,
                                     plat::Disposition::OpenExisting);
  uint64_t stubSize = 0;
  if (!stub || !stub.Size(&stubSize)) {
    ReportFailure(ARC_ERROR_OPEN_INPUT, "GetSizeCreateSEA");
    return ARC_E_OPEN_FAILED;
  }
  int64_t archiveSize = GetArchiveSize();
  size = static_cast<int64_t>(stubSize) + (archiveSize > 0 ? archiveSize : 0);
  return 0;
}

ZoResult CArchive2::IsSpaceForCreateSEA(const ZoChar* outputPath, const ZoChar* stubPath) {
  if (mode_ != ARC_OPEN_SEA) return E_FAIL;
  ZoChar folder[ZO_MAX_PATH] = {};
  if (outputPath) ZoGetPathNameFromFilePath(outputPath, folder, ZO_MAX_PATH);
  if (*folder && !plat::IsDirectory(folder)) {
    ReportFailure(ARC_ERROR_FILE_MISSING, "IsSpaceForSEA", folder);
    return ARC_E_VOLUME_NOT_FOUND;
  }
  int64_t needed = 0;
  ZoResult r = GetSizeCreateSEA(stubPath, needed);
  if (r < 0) return r;
  return static_cast<uint64_t>(needed) / 1024 > WriterCapacityFigure(folder) ? 1 : 0;
}

ZoResult CArchive2::CreateSEA(const ZoChar* outputPath, const ZoChar* stubPath, uint32_t /*flags*/) {
  const char* kStep = "CreateSEA";
  if (mode_ != ARC_OPEN_SEA || !file_) return E_FAIL;
  if (!outputPath || !*outputPath || arc::SameFullPath(outputPath, archivePath_) ||
      (stubPath && arc::SameFullPath(outputPath, stubPath))) {
    // Creating the output would truncate the very file being read.
    ReportFailure(ARC_ERROR_INVALID_ARG, kStep, outputPath);
    return E_INVALIDARG;
  }
  // Nor may it replace a volume of the set, which holds the only copy of its part.
  // The output's name tells which volume it could be; only that one is compared.
  const uint32_t k = VolumeNumberOfName(ZoGetFileNamePtrW(outputPath), storedName_);
  if (k >= 2 && k <= volumeCount_) {
    std::u16string volume;
    bool named = false;
    try {
      named = MakeVolumePath(k, &volume);
    } catch (const std::bad_alloc&) {
    }
    if (named && arc::SameFullPath(outputPath, volume.c_str())) {
      ReportFailure(ARC_ERROR_INVALID_ARG, kStep, outputPath);
      return E_INVALIDARG;
    }
  }
  if (IsSpaceForCreateSEA(outputPath, stubPath) != 0) {
    ReportFailure(ARC_ERROR_DISK_SPACE, kStep);
    return ARC_E_DISK_FULL;
  }
  plat::File stub = plat::File::Open(stubPath, plat::Access::Read, plat::kShareRead, plat::Disposition::OpenExisting);
  uint64_t stubSize = 0;
  if (!stub || !stub.Size(&stubSize)) {
    ReportFailure(ARC_ERROR_OPEN_INPUT, kStep);
    return ARC_E_OPEN_FAILED;
  }
  ZoChar full[ZO_MAX_PATH];
  uint32_t length = plat::GetFullPath(outputPath, full, ZO_MAX_PATH);
  if (length == 0 || length >= static_cast<uint32_t>(ZO_MAX_PATH)) {
    ReportFailure(ARC_ERROR_CREATE, kStep);
    return ARC_E_OPEN_FAILED;
  }
  outIsFile_ = false;
  // Delete sharing, as for every file the engine writes (see createTemp in Open).
  outFile_ = plat::File::Open(full, plat::Access::ReadWrite, plat::kShareDelete, plat::Disposition::CreateAlways);
  if (!outFile_) {
    ReportFailure(ARC_ERROR_CREATE, kStep);
    return ARC_E_OPEN_FAILED;
  }
  plat::CopyTruncated(tempPath_, ZO_MAX_PATH, full);
  // The package runs as the stub does: it takes the stub's permission bits (the
  // executable bit on POSIX; nothing on Windows).
  if (uint32_t mode = plat::GetPosixMode(stubPath)) plat::SetPosixMode(full, mode);

  auto copyFailed = [this, kStep](ZoResult r) {
    if (r == ARC_E_CANCELLED) return r;
    ReportFailure(ARC_ERROR_WRITE, kStep);
    return ARC_E_WRITE;
  };
  if (progress_) {
    progress_->BeginItem64(u"Stub Executable", stubSize);
    progress_->ReportStatus(ARC_EVENT_COPY_PHASE);
  }
  ZoResult r = BlockCopy(stub, 0, stubSize, outFile_, 0);
  if (r < 0) return copyFailed(r);
  // The archive part starts at the opened file's base as loaded (base_ is the
  // package's once a CreateSEA has succeeded): an input that already has a stub
  // gets the new stub instead of two stubs with wrong offsets, and a second
  // package made by the same object reads the same archive bytes as the first.
  const uint64_t archiveBytes = end_.centralOffset + end_.centralSize;
  if (progress_) {
    progress_->ReportStatus(ARC_EVENT_DONE);
    progress_->BeginItem64(u"Archive Entries", end_.centralOffset);
    progress_->ReportStatus(ARC_EVENT_COPY_PHASE);
  }
  r = BlockCopy(file_, end_.base, archiveBytes, outFile_, stubSize);
  if (r < 0) return copyFailed(r);
  Status(ARC_EVENT_DONE);

  // The package records the full path it was made from; readers and the copy of
  // the volumes take only its file part. Only a set whose main file has been
  // renamed since the split keeps its stored name: its volumes carry that name,
  // and the renamed path would point to volumes that do not exist.
  if (volumeCount_ <= 1 || SameFileName(StoredFilePart(storedName_), StoredFilePart(archivePath_)))
    plat::CopyTruncated(storedName_, arc::kNameCapacity, archivePath_);
  writePos_ = archiveBytes;
  base_ = stubSize;
  return AddEndOfCentralDir(end_.centralOffset);
}

ZoResult CArchive2::SplitSEA(const ZoChar* folder, uint32_t flags) {
  const char* kStep = "SplitSEA";
  if (mode_ != ARC_OPEN_SEA || !file_) return E_FAIL;
  if (base_ == 0) {
    ReportFailure(ARC_ERROR_OPEN_INPUT, kStep, archivePath_);
    return ARC_E_NOT_SEA;
  }
  if (!folder || !*folder) {
    ReportFailure(ARC_ERROR_INVALID_ARG, kStep);
    return E_INVALIDARG;
  }
  uint64_t mainSize = 0;
  file_.Size(&mainSize);
  if (arc::FreeKilobytes(folder) < mainSize / 1024) {
    ZoChar root[ZO_MAX_PATH] = {};
    ZoGetRootPathFromFilePath(folder, root, ZO_MAX_PATH);
    ReportFailure(ARC_ERROR_DISK_SPACE, kStep, root);
    return ARC_E_DISK_FULL;
  }
  // The archive file is named after the stored name's file part only; without a
  // usable one there is no file to create (reported when the archive file is due).
  const plat::StringView16 archiveName = StoredFilePart(storedName_);
  const bool archiveNamed = !archiveName.empty() && archiveName != u"." && archiveName != u"..";
  ZoChar stubPath[ZO_MAX_PATH], archiveFile[ZO_MAX_PATH];
  if (!arc::JoinFolderAndName(folder, u"Seastub.exe", stubPath)) {
    ReportFailure(ARC_ERROR_CREATE, kStep, folder);
    return ARC_E_OPEN_FAILED;
  }
  const bool archiveJoined = archiveNamed && arc::JoinFolderAndName(folder, archiveName, archiveFile);
  // Creating either file over the file being read, or the archive file over the
  // stub just written, would destroy it.
  if (arc::SameFullPath(stubPath, archivePath_) ||
      (archiveJoined && (arc::SameFullPath(archiveFile, archivePath_) || arc::SameFullPath(archiveFile, stubPath)))) {
    ReportFailure(ARC_ERROR_INVALID_ARG, kStep, archivePath_);
    return E_INVALIDARG;
  }
  // 0 write, 1 leave the existing file, anything else the host's answer.
  auto mayWrite = [this, flags](const ZoChar* path) -> ZoResult {
    if ((flags & ARC_SEA_REPLACE) || !plat::Exists(path) || !progress_) return 0;
    return AskReplace(path, false);
  };

  ZoResult r = mayWrite(stubPath);
  if (r != 0 && r != 1) return r;
  if (r == 0) {
    plat::File stub = plat::File::Open(stubPath, plat::Access::Write, plat::kShareNone, plat::Disposition::CreateAlways);
    if (!stub) {
      ReportFailure(ARC_ERROR_CREATE, kStep, stubPath);
      return ARC_E_OPEN_FAILED;
    }
    r = BlockCopy(file_, 0, base_, stub, 0);
    // A signed package's stub goes out as the stub it was before signing: the
    // table it would point at stays behind.
    if (r >= 0) r = ForgetCertificateTableIn(stub, kStep, true);
    if (!stub.Close() && r >= 0) {
      ReportFailure(ARC_ERROR_WRITE, kStep, stubPath);
      r = ARC_E_WRITE;
    }
    if (r < 0) return r;
    // The stub runs on its own again: it keeps the permission bits of the file it
    // came from (the executable bit on POSIX; nothing on Windows).
    if (uint32_t mode = plat::GetPosixMode(archivePath_)) plat::SetPosixMode(stubPath, mode);
  }

  if (!archiveJoined) {
    ZoChar shown[ZO_MAX_PATH];
    if (!arc::JoinFolderAndName(folder, archiveName, shown)) plat::CopyTruncated(shown, ZO_MAX_PATH, folder);
    ReportFailure(ARC_ERROR_CREATE, kStep, shown);
    return ARC_E_OPEN_FAILED;
  }
  r = mayWrite(archiveFile);
  if (r != 0 && r != 1) return r;
  if (r == 1) return 0;  // the host kept the existing archive file
  outIsFile_ = false;
  outFile_ = plat::File::Open(archiveFile, plat::Access::ReadWrite, plat::kShareNone, plat::Disposition::CreateAlways);
  if (!outFile_) {
    ReportFailure(ARC_ERROR_CREATE, kStep, archiveFile);
    return ARC_E_OPEN_FAILED;
  }
  plat::CopyTruncated(tempPath_, ZO_MAX_PATH, archiveFile);
  const uint64_t archiveBytes = end_.centralOffset + end_.centralSize;
  r = BlockCopy(file_, base_, archiveBytes, outFile_, 0);
  if (r < 0) return r;
  writePos_ = archiveBytes;
  base_ = 0;
  if (volumeCount_ <= 1) storedName_[0] = 0;  // a set keeps the name of its volumes
  return AddEndOfCentralDir(end_.centralOffset);
}

ZoResult CArchive2::CopySEAMultiFiles() {
  if (volumeCount_ < 1 || !tempPath_[0]) return 0;
  if (progress_) {
    progress_->BeginItem64(u"Entries", extractTotal_);
    progress_->ReportStatus(ARC_EVENT_COPY_PHASE);
  }
  ZoResult result = 0;
  try {
    // Destination names: the output's folder, named like the source volumes (the
    // output path stands in for the main file while the name is made).
    ZoChar savedPath[ZO_MAX_PATH];
    plat::CopyTruncated(savedPath, ZO_MAX_PATH, archivePath_);
    for (uint32_t k = 2; k <= volumeCount_ && result >= 0; ++k) {
      std::u16string source, destination;
      bool ok = MakeVolumePath(k, &source);
      plat::CopyTruncated(archivePath_, ZO_MAX_PATH, tempPath_);
      ok = MakeVolumePath(k, &destination) && ok;
      plat::CopyTruncated(archivePath_, ZO_MAX_PATH, savedPath);
      if (!ok) {
        ReportFailure(ARC_ERROR_VOLUME_MISSING, "CopySEAMultiFiles", static_cast<uint64_t>(k));
        result = ARC_E_FILE_NOT_FOUND;
        break;
      }
      if (plat::Exists(destination.c_str())) continue;
      if (!plat::Exists(source.c_str())) {
        ReportFailure(ARC_ERROR_VOLUME_MISSING, "CopySEAMultiFiles");
        result = ARC_E_FILE_NOT_FOUND;
        break;
      }
      if (progress_) {
        progress_->SetItemName(ZoGetFileNamePtrW(source.c_str()));
        progress_->ReportStatus(ARC_EVENT_COPY_PHASE);
      }
      result = FileCopy(source.c_str(), destination.c_str());
    }
  } catch (const std::bad_alloc&) {
    ReportFailure(ARC_ERROR_MEMORY, "CopySEAMultiFiles");
    return E_OUTOFMEMORY;
  }
  Status(ARC_EVENT_DONE);
  return result;
}

// ---- volume sets -----------------------------------------------------------------------

ZoResult CArchive2::SplitArchive(int64_t volumeSize, uint32_t flags) {
  const char* kStep = "SplitArchive";
  if (mode_ != ARC_OPEN_MULTIVOL || !outFile_ || volumeCount_ > 1) return E_FAIL;
  if (volumeSize <= 0) {
    ReportFailure(ARC_ERROR_INVALID_ARG, kStep);
    return E_INVALIDARG;
  }
  const uint64_t dataSize = end_.centralOffset;
  if (dataSize == 0) return 0;
  ZoChar folder[ZO_MAX_PATH] = {};
  ZoGetPathNameFromFilePath(archivePath_, folder, ZO_MAX_PATH);
  if (dataSize / 1024 > arc::FreeKilobytes(folder)) {
    ReportFailure(ARC_ERROR_DISK_SPACE, kStep);
    return ARC_E_DISK_FULL;
  }
  const uint64_t volume = static_cast<uint64_t>(volumeSize);
  if (volume > dataSize) {
    ReportFailure(ARC_ERROR_INVALID_ARG, kStep);
    return E_INVALIDARG;
  }
  if (progress_) {
    if (flags & ARC_SPLIT_NO_TOTAL) {
      progress_->SetItemName(archivePath_);
    } else {
      progress_->BeginItem64(archivePath_, volume);
    }
    progress_->ReportStatus(ARC_EVENT_COPY_PHASE);
  }

  // The set's name: the main file's own name for a plain archive, the stored name
  // for a self-extracting one (whose own name is the stub's).
  ZoChar oldStored[arc::kNameCapacity];
  plat::CopyTruncated(oldStored, arc::kNameCapacity, storedName_);
  const plat::StringView16 nameBase =
      base_ != 0 && !StoredFilePart(storedName_).empty() ? StoredFilePart(oldStored)
                                                         : plat::StringView16(ZoGetFileNamePtrW(archivePath_));
  ZoChar newStored[arc::kNameCapacity];
  plat::CopyTruncated(newStored, arc::kNameCapacity, nameBase);

  // W, the entry data the main file keeps, is measured with the end record that
  // will be written (its stored name is the new one), so the main file of the set
  // is exactly one volume long whenever W > 0.
  const uint64_t overhead = base_ + end_.centralSize + arc::kEndRecordSize +
                            2 * (plat::Length(comment_) + plat::Length(newStored));
  const uint64_t w = volume > overhead ? volume - overhead : 0;

  auto restore = [&](ZoResult r) {
    plat::CopyTruncated(storedName_, arc::kNameCapacity, oldStored);
    return r;
  };
  plat::CopyTruncated(storedName_, arc::kNameCapacity, newStored);

  ZoResult r = BlockCopy(file_, base_, w, outFile_, base_);
  if (r < 0) return restore(r);
  if (!(flags & ARC_SPLIT_NO_TOTAL)) Status(ARC_EVENT_DONE);

  uint64_t consumed = w;
  uint32_t k = 1;
  while (consumed < dataSize) {
    ++k;
    std::u16string path;
    bool named = false;
    try {
      named = MakeVolumePath(k, &path);
    } catch (const std::bad_alloc&) {
    }
    // A volume named like the file being split (a self-extracting file called like
    // its own volume 2) or its temporary file would be truncated while it is read.
    if (named && (arc::SameFullPath(path.c_str(), archivePath_) || arc::SameFullPath(path.c_str(), tempPath_))) {
      ReportFailure(ARC_ERROR_INVALID_ARG, kStep, path.c_str());
      return restore(E_INVALIDARG);
    }
    plat::File part;
    if (named) part = plat::File::Open(path.c_str(), plat::Access::Write, plat::kShareNone, plat::Disposition::CreateAlways);
    if (!part) {
      ReportFailure(ARC_ERROR_CREATE, kStep);
      return restore(ARC_E_OPEN_FAILED);
    }
    const uint64_t chunk = volume < dataSize - consumed ? volume : dataSize - consumed;
    if (progress_) {
      if (flags & ARC_SPLIT_NO_TOTAL) {
        progress_->SetItemName(path.c_str());
      } else {
        progress_->BeginItem64(path.c_str(), chunk);
      }
      progress_->ReportStatus(ARC_EVENT_COPY_PHASE);
    }
    r = BlockCopy(file_, base_ + consumed, chunk, part, 0);
    Status(ARC_EVENT_DONE);
    // A volume must be on disk before the main file that points into it replaces
    // the archive.
    if (r >= 0 && !(part.Flush() && part.Close())) {
      ReportFailure(ARC_ERROR_WRITE, kStep, path.c_str());
      r = ARC_E_WRITE;
    }
    if (r < 0) return restore(r);
    consumed += chunk;
  }

  r = BlockCopy(file_, base_ + end_.centralOffset, end_.centralSize, outFile_, base_ + w);
  if (r < 0) return restore(r);
  const uint32_t oldCount = volumeCount_;
  volumeCount_ = k;
  writePos_ = w + end_.centralSize;
  r = AddEndOfCentralDir(w);
  if (r >= 0) r = FlushRewrite(kStep);
  if (r < 0) {
    volumeCount_ = oldCount;
    return restore(r);
  }
  modified_ = 1;
  return r;
}

ZoResult CArchive2::GetSizeMerge(int64_t& size) {
  size = GetArchiveSize();
  return 0;
}

ZoResult CArchive2::IsSpaceForMerge() {
  if (mode_ != ARC_OPEN_MULTIVOL) return E_FAIL;
  int64_t needed = GetArchiveSize();
  ZoChar folder[ZO_MAX_PATH] = {};
  ZoGetPathNameFromFilePath(archivePath_, folder, ZO_MAX_PATH);
  return needed > 0 && static_cast<uint64_t>(needed) / 1024 > WriterCapacityFigure(folder) ? 1 : 0;
}

ZoResult CArchive2::MergeArchive(uint32_t flags) {
  const char* kStep = "MergeArchive";
  if (volumeCount_ < 2) {
    ReportFailure(ARC_ERROR_NOT_OPEN, kStep);
    return E_FAIL;
  }
  // Another mode fails the room check (IsSpaceForMerge gives E_FAIL).
  if (IsSpaceForMerge() != 0 || !outFile_) {
    ReportFailure(ARC_ERROR_DISK_SPACE, kStep);
    return ARC_E_DISK_FULL;
  }
  if (progress_) {
    if (flags & ARC_SPLIT_NO_TOTAL) {
      progress_->SetItemName(archivePath_);
    } else {
      progress_->BeginItem64(archivePath_, end_.centralOffset);
    }
    progress_->ReportStatus(ARC_EVENT_COPY_PHASE);
  }
  ZoResult r = BlockCopy(file_, base_, end_.centralOffset, outFile_, base_);
  if (r < 0) return r;
  if (!(flags & ARC_SPLIT_NO_TOTAL)) Status(ARC_EVENT_DONE);

  std::vector<std::u16string> volumes;
  uint64_t consumed = end_.centralOffset;
  try {
    for (uint32_t k = 2; k <= volumeCount_; ++k) {
      std::u16string path;
      plat::File part;
      const bool named = MakeVolumePath(k, &path);
      // A volume that is the main file itself (a main file renamed to one of its
      // volume names) would be merged into itself and deleted after the commit.
      if (named && arc::SameFullPath(path.c_str(), archivePath_)) {
        ReportFailure(ARC_ERROR_INVALID_ARG, kStep, path.c_str());
        return E_INVALIDARG;
      }
      if (named)
        part = plat::File::Open(path.c_str(), plat::Access::Read, plat::kShareRead, plat::Disposition::OpenExisting);
      uint64_t size = 0;
      if (!part || !part.Size(&size)) {
        ReportFailure(ARC_ERROR_OPEN_INPUT, kStep);
        return ARC_E_OPEN_FAILED;
      }
      if (progress_) {
        if (flags & ARC_SPLIT_NO_TOTAL) {
          progress_->SetItemName(path.c_str());
        } else {
          progress_->BeginItem64(path.c_str(), size);
        }
        progress_->ReportStatus(ARC_EVENT_COPY_PHASE);
      }
      r = BlockCopy(part, 0, size, outFile_, base_ + consumed);
      if (r < 0) return r;
      Status(ARC_EVENT_DONE);
      consumed += size;
      volumes.push_back(std::move(path));
    }
  } catch (const std::bad_alloc&) {
    ReportFailure(ARC_ERROR_MEMORY, kStep);
    return E_OUTOFMEMORY;
  }
  r = BlockCopy(file_, base_ + end_.centralOffset, end_.centralSize, outFile_, base_ + consumed);
  if (r < 0) return r;

  const uint32_t oldCount = volumeCount_;
  ZoChar oldStored[arc::kNameCapacity];
  plat::CopyTruncated(oldStored, arc::kNameCapacity, storedName_);
  writePos_ = consumed + end_.centralSize;
  volumeCount_ = 1;
  if (base_ == 0) storedName_[0] = 0;
  r = AddEndOfCentralDir(consumed);
  if (r >= 0) r = FlushRewrite(kStep);
  if (r < 0) {
    volumeCount_ = oldCount;
    plat::CopyTruncated(storedName_, arc::kNameCapacity, oldStored);
    return r;
  }
  modified_ = 1;
  // The volumes still hold the only other copy of the data until the merged file
  // has replaced the main file: Close removes them after its commit.
  volumesToDeleteAfterCommit_ = std::move(volumes);
  return r;
}
