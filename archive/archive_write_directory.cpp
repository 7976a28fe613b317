// Finishing an archive: the closing step of create and append mode (copying the
// kept old entries, then the central directory and the end record), the end-record
// writer every writer shares, the volume comment, and the pieces of a rewrite's
// commit that belong to the writers (flushing the new file, removing merged
// volumes once the new main file stands).
//
// A rewrite never touches the archive itself: everything goes to the temporary
// file, which Close moves over the archive in one atomic step only after the
// write-back succeeded and the file was flushed and closed.
#include <new>
#include <string>
#include <unordered_set>
#include <vector>

#include "archive/archive2.h"
#include "archive/copy_run.h"
#include "archive/record_writer.h"
#include "platform/file.h"
#include "platform/paths.h"
#include "platform/text.h"

// ---- closing step -----------------------------------------------------------------

ZoResult CArchive2::FlushRewrite(const char* step) {
  if (!Out().Flush()) {
    ReportFailure(ARC_ERROR_WRITE, step, tempPath_);
    return ARC_E_WRITE;
  }
  return 0;
}

ZoResult CArchive2::CopyKeptEntries() {
  const char* kStep = "AddCentralDirectory";
  if (directoryDamaged_) {
    // Entries past the damage would silently vanish from the rewritten archive.
    ReportFailure(ARC_ERROR_SIGNATURE, kStep, archivePath_);
    return ARC_E_BAD_SIGNATURE;
  }
  std::unordered_set<std::u16string> added;
  try {
    added.reserve(entryRecords_.Count() * 2);
    for (size_t i = 0; i < entryRecords_.Count(); ++i) {
      const arc::ArchiveEntryRecord& record = entryRecords_.At(i);
      added.insert(arc::FoldName(record.name, plat::BoundedLength(record.name, arc::kNameCapacity)));
    }
  } catch (const std::bad_alloc&) {
    ReportFailure(ARC_ERROR_MEMORY, kStep);
    return E_OUTOFMEMORY;
  }
  std::vector<char> keep(directory_.size(), 0);
  uint64_t total = 0;
  for (size_t i = 0; i < directory_.size(); ++i) {
    const auto& e = directory_[i];
    if (added.count(arc::FoldName(e.name.data(), e.name.size()))) continue;
    keep[i] = 1;
    total += e.record.compressedSize;
  }
  if (progress_) {
    progress_->BeginItem64(u"Entries", total);
    progress_->ReportStatus(ARC_EVENT_COPY_PHASE);
  }
  CopyBufferLoan loan(copyBuffer_);
  if (!Out().Seek(static_cast<int64_t>(base_ + writePos_), plat::SeekOrigin::Begin)) {
    ReportFailure(ARC_ERROR_WRITE, kStep);
    return ARC_E_WRITE;
  }
  for (size_t i = 0; i < directory_.size(); ++i) {
    if (!keep[i]) continue;
    const auto& e = directory_[i];
    const auto& c = e.record;
    uint64_t dataOffset = 0;
    if (!c.DataOffset(&dataOffset) || c.nameLength != e.name.size()) {
      ReportFailure(ARC_ERROR_SIGNATURE, kStep, e.name.c_str());
      return ARC_E_BAD_SIGNATURE;
    }
    // The header is made from the central entry (the old local header is never
    // read); only the stored bytes are copied. The output stands at base + writePos_:
    // after the new entries, then after each copy.
    const arc::LocalEntryHeader header = arc::LocalFromCentral(c);
    const uint64_t localOffset = writePos_;
    if (!arc::WriteLocalHead(Out(), header, e.name.c_str())) {
      ReportFailure(ARC_ERROR_WRITE, kStep);
      return ARC_E_WRITE;
    }
    writePos_ += arc::kLocalHeaderSize + 2ull * c.nameLength;
    ZoResult r = BlockCopy(file_, base_ + dataOffset, c.compressedSize, Out(), base_ + writePos_);
    if (r < 0) return r;
    writePos_ += c.compressedSize;
    r = AppendEntryRecord(header, localOffset, e.name);
    if (r < 0) {
      ReportFailure(ARC_ERROR_MEMORY, kStep);
      return r;
    }
  }
  Status(ARC_EVENT_DONE);
  return 0;
}

ZoResult CArchive2::AddCentralDirectory() {
  const char* kStep = "AddCentralDirectory";
  if (mode_ != ARC_OPEN_CREATE && mode_ != ARC_OPEN_APPEND) return E_FAIL;
  existingNamesFolded_.clear();  // the replace questions are over
  existingNamesFolded_.shrink_to_fit();
  writerWork_.reset();  // and so are the data steps
  if (!entryRecords_.Ready()) {
    ReportFailure(ARC_ERROR_MEMORY, kStep);
    return E_OUTOFMEMORY;
  }
  // A damaged directory counts as holding entries even when the walk found none, so
  // that the copy refuses it instead of dropping every old entry.
  if (mode_ == ARC_OPEN_APPEND && (!directory_.empty() || directoryDamaged_) && entryRecords_.Count() > 0) {
    ZoResult r = CopyKeptEntries();
    if (r < 0) return r;
  }
  const uint64_t start = writePos_;
  if (entryRecords_.Count() > 0) modified_ = 1;

  // Entries are encoded into one block buffer and written a block at a time.
  std::vector<uint8_t> block;
  try {
    block.reserve(arc::kBlockSize);
  } catch (const std::bad_alloc&) {
    ReportFailure(ARC_ERROR_MEMORY, kStep);
    return E_OUTOFMEMORY;
  }
  auto flush = [&]() -> bool {
    if (block.empty()) return true;
    bool ok = Out().Write(block.data(), block.size());
    writePos_ += block.size();
    block.clear();
    return ok;
  };
  for (size_t i = 0; i < entryRecords_.Count(); ++i) {
    const arc::ArchiveEntryRecord* record = &entryRecords_.At(i);
    arc::LocalEntryHeader header = arc::LocalEntryHeader::Decode(record->header);
    arc::CentralDirectoryEntry entry = arc::CentralFromLocal(header, record->localOffset);
    const size_t size = arc::kCentralEntrySize + 2ull * entry.nameLength;
    // A central record that cannot be written is returned without an error event.
    if (block.size() + size > arc::kBlockSize && !flush()) return ARC_E_WRITE;
    size_t at = block.size();
    block.resize(at + size);
    entry.Encode(block.data() + at);
    for (uint32_t k = 0; k < entry.nameLength; ++k) {
      block[at + arc::kCentralEntrySize + 2 * k] = static_cast<uint8_t>(record->name[k]);
      block[at + arc::kCentralEntrySize + 2 * k + 1] = static_cast<uint8_t>(record->name[k] >> 8);
    }
  }
  if (!flush()) return ARC_E_WRITE;
  if (!modified_) return 0;
  ZoResult r = AddEndOfCentralDir(start);
  if (r >= 0 && mode_ == ARC_OPEN_APPEND) {
    ZoResult f = FlushRewrite(kStep);
    if (f < 0) return f;
  }
  return r;
}

// ---- end record ---------------------------------------------------------------------

// The end record this object would write now for a directory at `centralOffset`.
static arc::EndOfCentralDirectory MakeEnd(uint32_t volumeCount, uint32_t entries, uint64_t writePos,
                                          uint64_t centralOffset, uint64_t base, const ZoChar* comment,
                                          const ZoChar* storedName) {
  arc::EndOfCentralDirectory end;
  end.signature = ARC_SIG_END;
  end.volumeCount = volumeCount;
  end.reserved8 = 0;
  end.entryCountVolume = entries;
  end.entryCount = entries;
  end.centralSize = writePos - centralOffset;
  end.centralOffset = centralOffset;
  end.base = base;
  end.commentLength = static_cast<uint32_t>(plat::BoundedLength(comment, arc::kCommentCapacity - 1));
  end.archiveNameLength = static_cast<uint32_t>(plat::BoundedLength(storedName, arc::kNameCapacity - 1));
  end.reservedLength = 0;
  return end;
}

ZoResult CArchive2::AddEndOfCentralDir(uint64_t centralOffset) {
  arc::EndOfCentralDirectory end =
      MakeEnd(volumeCount_, entriesWritten_, writePos_, centralOffset, base_, comment_, storedName_);
  // The fixed part and both strings go out as one write (at most 56 + 2,568 bytes).
  uint8_t bytes[arc::kEndRecordImageMax];
  const size_t used = arc::EncodeEndRecord(end, comment_, storedName_, bytes);
  // Unlike a silent success, a record that is not on disk is reported: an archive
  // without its end record cannot be opened.
  if (!Out().Write(bytes, used)) {
    ReportFailure(ARC_ERROR_WRITE, "AddEndOfCentralDir");
    return ARC_E_WRITE;
  }
  writePos_ += used;
  return 0;
}

// ---- comments ---------------------------------------------------------------------

void CArchive2::AddVolumeComment(const ZoChar* text) {
  if (mode_ == ARC_OPEN_READ) return;
  plat::CopyTruncated(comment_, arc::kCommentCapacity, text ? text : u"");
}

ZoResult CArchive2::Annotate(const ZoChar* archivePath, const ZoChar* text) {
  ZoChar full[ZO_MAX_PATH];
  uint32_t length = archivePath ? plat::GetFullPath(archivePath, full, ZO_MAX_PATH) : 0;
  if (length == 0 || length >= static_cast<uint32_t>(ZO_MAX_PATH)) {
    ReportFailure(ARC_ERROR_OPEN_INPUT, "Annotate");
    return ARC_E_OPEN_FAILED;
  }
  plat::CopyTruncated(archivePath_, ZO_MAX_PATH, full);
  outIsFile_ = false;
  outFile_ = plat::File::Open(full, plat::Access::ReadWrite, plat::kShareRead, plat::Disposition::OpenExisting);
  if (!outFile_) {
    ReportFailure(ARC_ERROR_OPEN_INPUT, "Annotate");
    return ARC_E_OPEN_FAILED;
  }
  mode_ = ARC_OPEN_APPEND;
  ZoResult result = LoadEndOfCentralDirectory(outFile_);
  if (result < 0) {
    outFile_.Close();
    ReportFailure(ARC_ERROR_SIGNATURE, "Annotate");
    return ARC_E_BAD_SIGNATURE;
  }
  result = 0;
  plat::CopyTruncated(comment_, arc::kCommentCapacity, text ? text : u"");
  entriesWritten_ = end_.entryCount;
  // The new record goes exactly where the old one begins; everything before it
  // stays as it is.
  writePos_ = end_.centralOffset + end_.centralSize;
  if (!outFile_.Seek(static_cast<int64_t>(base_ + writePos_), plat::SeekOrigin::Begin)) {
    outFile_.Close();
    ReportFailure(ARC_ERROR_WRITE, "Annotate");
    return ARC_E_WRITE;
  }
  // The record is rewritten in place, strings first and the 56 fixed bytes last:
  // a write that fails while the file grows (a longer comment on a full disk)
  // leaves the old fixed part, and with it a readable archive, in place.
  arc::EndOfCentralDirectory end =
      MakeEnd(volumeCount_, entriesWritten_, writePos_, end_.centralOffset, base_, comment_, storedName_);
  uint8_t bytes[arc::kEndRecordImageMax];
  const size_t used = arc::EncodeEndRecord(end, comment_, storedName_, bytes);
  const uint64_t at = base_ + writePos_;
  if (!(outFile_.Seek(static_cast<int64_t>(at + arc::kEndRecordSize), plat::SeekOrigin::Begin) &&
        outFile_.Write(bytes + arc::kEndRecordSize, used - arc::kEndRecordSize) && outFile_.Flush() &&
        outFile_.Seek(static_cast<int64_t>(at), plat::SeekOrigin::Begin) &&
        outFile_.Write(bytes, arc::kEndRecordSize))) {
    ReportFailure(ARC_ERROR_WRITE, "AddEndOfCentralDir");
    result = ARC_E_WRITE;
  }
  writePos_ += used;
  // A signed package loses its certificate table, which the new record may have
  // overwritten and whose signature no longer holds: the file is cut after the
  // record first, and only then is the header's pointer cleared, so that a run
  // stopped between the two still leaves a readable archive (a pointer past the
  // end of the file names no table).
  if (result >= 0 && hasCertificateTable_) {
    if (!(outFile_.Seek(static_cast<int64_t>(base_ + writePos_), plat::SeekOrigin::Begin) && outFile_.Truncate() &&
          outFile_.Flush())) {
      ReportFailure(ARC_ERROR_WRITE, "Annotate", full);
      result = ARC_E_WRITE;
    }
    if (result >= 0) result = ForgetCertificateTableIn(outFile_, "Annotate", false);
  }
  if (result >= 0 && !(outFile_.Flush() && outFile_.Close())) {
    ReportFailure(ARC_ERROR_WRITE, "Annotate", full);
    result = ARC_E_WRITE;
  }
  outFile_.Close();
  file_.Close();
  return result;
}

// ---- Close's writer step ----------------------------------------------------------------

ZoResult CArchive2::RunWriterStep(WriterPhase phase) {
  if (phase == WriterPhase::AfterCommit) {
    if (mode_ == ARC_OPEN_MULTIVOL) DeleteMergedVolumes();
    return 0;
  }
  switch (mode_) {
    case ARC_OPEN_CREATE:
    case ARC_OPEN_APPEND:
      return AddCentralDirectory();
    case ARC_OPEN_DELETE:
      return SubmitDeleteList();
    case ARC_OPEN_SEA:
      return CopySEAMultiFiles();
    default:
      return 0;
  }
}

// ---- after a commit -------------------------------------------------------------------

void CArchive2::DeleteMergedVolumes() {
  for (const auto& path : volumesToDeleteAfterCommit_) plat::DeleteFile(path.c_str());
  volumesToDeleteAfterCommit_.clear();
}
