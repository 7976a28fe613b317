// The end record and the central directory: the backward scan for the end record,
// the one-pass index of the directory (read in large blocks), the walk over that
// index, and the entry queries built on it.
//
// Invariants of the index: directory_[i] is the i-th central entry in directory
// order; every indexed entry lies wholly inside [base + centralOffset, end record);
// the walk stops at the first position whose bytes are not a central entry.
#include <algorithm>
#include <new>
#include <vector>

#include "archive/archive2.h"
#include "platform/text.h"

namespace {

// Decodes `units` UTF-16LE code units from `p`.
void DecodeUtf16(const uint8_t* p, size_t units, std::u16string* out) {
  out->resize(units);
  for (size_t i = 0; i < units; ++i) (*out)[i] = static_cast<ZoChar>(p[2 * i] | (p[2 * i + 1] << 8));
}

// Copies at most capacity - 1 units of a UTF-16LE string of `units` units, of which
// only `available` bytes are present, into `out` (always terminated).
void CopyRecordString(const uint8_t* p, uint64_t units, uint64_t available, ZoChar* out, size_t capacity) {
  uint64_t keep = std::min<uint64_t>(units, capacity - 1);
  keep = std::min<uint64_t>(keep, available / 2);
  for (uint64_t i = 0; i < keep; ++i) out[i] = static_cast<ZoChar>(p[2 * i] | (p[2 * i + 1] << 8));
  out[keep] = 0;
}

}  // namespace

ZoResult CArchive2::LoadEndOfCentralDirectory(plat::File& file) {
  std::fill(std::begin(endRecord_), std::end(endRecord_), uint8_t{0});
  end_ = arc::EndOfCentralDirectory();
  endLoaded_ = false;
  comment_[0] = storedName_[0] = reservedText_[0] = 0;

  uint64_t fileSize = 0;
  if (!file.Size(&fileSize)) {
    ReportFailure(ARC_ERROR_READ, "LoadEndOfCentralDirectory");
    return ARC_E_READ;
  }
  // A signed package: the archive ends where the certificate table begins, as the
  // stub's header says; the table itself is never read. Without one the archive
  // ends with the file.
  hasCertificateTable_ = false;
  certificate_ = arc::CertificateTable();
  {
    uint8_t head[arc::pe::kHeaderWindow];
    const size_t want = static_cast<size_t>(std::min<uint64_t>(fileSize, sizeof head));
    size_t gotHead = 0;
    if (want >= arc::pe::kDosHeaderSize && file.ReadAt(0, head, want, &gotHead) && gotHead == want)
      hasCertificateTable_ = arc::FindCertificateTable(head, want, fileSize, &certificate_);
  }
  const uint64_t archiveEnd = hasCertificateTable_ ? certificate_.start : fileSize;
  if (archiveEnd < arc::kEndRecordSize) {
    ReportFailure(ARC_ERROR_SIGNATURE, "LoadEndOfCentralDirectory");
    return ARC_E_BAD_SIGNATURE;
  }
  // The whole search window in one read: the last 56 bytes and the 3999 positions
  // before them (before the table; the padding a signing tool puts in front of it
  // counts among the trailing bytes).
  const uint64_t window = std::min<uint64_t>(archiveEnd, arc::kEndRecordSize + arc::kEndScanTrailing);
  std::vector<uint8_t> tail;
  try {
    tail.resize(static_cast<size_t>(window));
  } catch (const std::bad_alloc&) {
    ReportFailure(ARC_ERROR_MEMORY, "LoadEndOfCentralDirectory");
    return E_OUTOFMEMORY;
  }
  const uint64_t tailStart = archiveEnd - window;
  size_t got = 0;
  if (!file.ReadAt(tailStart, tail.data(), tail.size(), &got) || got != tail.size()) {
    ReportFailure(ARC_ERROR_READ, "LoadEndOfCentralDirectory");
    return ARC_E_READ;
  }

  // Candidates from the end backwards. A signature alone is not proof: the comment
  // of the real record may hold the same four bytes. So the first candidate whose
  // central directory ends exactly where the candidate begins is taken; only when
  // no candidate is consistent does the first signature found count (the record
  // is recognised by its signature; the directory walk then judges the rest).
  const uint64_t lastCandidate = window - arc::kEndRecordSize;  // offset within tail
  bool haveFirst = false;
  uint64_t firstOffset = 0;
  bool found = false;
  uint64_t foundOffset = 0;
  for (uint64_t back = 0; back <= lastCandidate; ++back) {
    const uint64_t offset = lastCandidate - back;
    const uint8_t* p = tail.data() + offset;
    if (arc::GetU32(p) != ARC_SIG_END) continue;
    if (!haveFirst) {
      haveFirst = true;
      firstOffset = offset;
    }
    const arc::EndOfCentralDirectory record = arc::EndOfCentralDirectory::Decode(p);
    const uint64_t position = tailStart + offset;
    if (record.base > position) continue;
    const uint64_t archiveBytes = position - record.base;
    if (record.centralOffset > archiveBytes) continue;
    if (record.centralSize != archiveBytes - record.centralOffset) continue;
    found = true;
    foundOffset = offset;
    break;
  }
  if (!found && haveFirst) {
    found = true;
    foundOffset = firstOffset;
  }
  if (found) {
    const uint64_t offset = foundOffset;
    const uint8_t* p = tail.data() + offset;
    const arc::EndOfCentralDirectory record = arc::EndOfCentralDirectory::Decode(p);
    std::copy(p, p + arc::kEndRecordSize, endRecord_);
    end_ = record;
    endPosition_ = tailStart + offset;
    base_ = record.base;
    volumeCount_ = record.volumeCount;
    endLoaded_ = true;
    // Strings follow in the order comment, archive name, reserved string; each is
    // kept up to its buffer and only as far as the file holds it.
    uint64_t at = offset + arc::kEndRecordSize;
    const uint64_t lengths[3] = {record.commentLength, record.archiveNameLength, record.reservedLength};
    ZoChar* buffers[3] = {comment_, storedName_, reservedText_};
    const size_t capacities[3] = {arc::kCommentCapacity, arc::kNameCapacity, arc::kNameCapacity};
    for (int i = 0; i < 3; ++i) {
      const uint64_t available = at < window ? window - at : 0;
      if (lengths[i] > 0) CopyRecordString(tail.data() + std::min(at, window), lengths[i], available, buffers[i], capacities[i]);
      at += 2 * lengths[i];
    }
    return 0;
  }
  ReportFailure(ARC_ERROR_SIGNATURE, "LoadEndOfCentralDirectory");
  return ARC_E_BAD_SIGNATURE;
}

ZoResult CArchive2::ForgetCertificateTableIn(plat::File& copy, const char* step, bool stubAlone) {
  // Only a header that the copied stub holds is cleared (a stub shorter than its
  // own header is no executable, and then there is nothing to clear).
  if (!hasCertificateTable_ || certificate_.directoryOffset + arc::pe::kDirectoryEntrySize > base_) return 0;
  uint32_t checksum = 0;
  if (stubAlone && !arc::UnsignedChecksum(file_, base_, certificate_, &checksum)) {
    ReportFailure(ARC_ERROR_READ, step);
    return ARC_E_READ;
  }
  if (!arc::ForgetCertificateTable(copy, certificate_, checksum)) {
    ReportFailure(ARC_ERROR_WRITE, step);
    return ARC_E_WRITE;
  }
  return 0;
}

ZoResult CArchive2::IndexCentralDirectory() {
  directory_.clear();
  directoryDamaged_ = false;
  if (!endLoaded_) return E_FAIL;
  // The directory lies between base + centralOffset and the end record. For a
  // consistent record that is exactly centralSize bytes; for one taken on its
  // signature alone, a start at or past the record leaves the directory empty.
  const uint64_t stop = endPosition_;
  const uint64_t start = base_ <= stop && end_.centralOffset <= stop - base_ ? base_ + end_.centralOffset : stop;

  std::vector<uint8_t> block;
  try {
    block.resize(arc::kBlockSize);
    // Never trust entryCount for an allocation: an entry takes at least 84 bytes.
    directory_.reserve(static_cast<size_t>(std::min<uint64_t>(end_.entryCount, (stop - start) / arc::kCentralEntrySize)));
  } catch (const std::bad_alloc&) {
    ReportFailure(ARC_ERROR_MEMORY, "MapCentralDirectories");
    return E_OUTOFMEMORY;
  }
  uint64_t blockStart = start;
  size_t blockLength = 0;
  uint64_t position = start;
  while (position < stop) {
    if (stop - position < arc::kCentralEntrySize) break;  // a partial entry: damaged
    // The bytes this step needs: the fixed part and the first 259 units of the name.
    // A block always holds them (kBlockSize far exceeds 84 + 518).
    auto ensure = [&](uint64_t needed) -> bool {
      if (position - blockStart + needed <= blockLength) return true;
      blockStart = position;
      const uint64_t want = std::min<uint64_t>(arc::kBlockSize, stop - position);
      size_t got = 0;
      if (!file_.ReadAt(blockStart, block.data(), static_cast<size_t>(want), &got)) return false;
      blockLength = got;
      return needed <= blockLength;
    };
    if (!ensure(arc::kCentralEntrySize)) break;
    const uint8_t* p = block.data() + (position - blockStart);
    if (arc::GetU32(p) != ARC_SIG_CENTRAL) break;
    const arc::CentralDirectoryEntry record = arc::CentralDirectoryEntry::Decode(p);
    const uint64_t size = record.DiskSize();
    if (size > stop - position) break;  // the walk never leaves the directory
    const uint64_t keptUnits = std::min<uint64_t>(record.nameLength, arc::kNameCapacity - 1);
    if (!ensure(arc::kCentralEntrySize + 2 * keptUnits)) break;
    p = block.data() + (position - blockStart);
    try {
      ArchiveDirectoryEntry entry;
      entry.record = record;
      entry.position = position;
      DecodeUtf16(p + arc::kCentralEntrySize, static_cast<size_t>(keptUnits), &entry.name);
      directory_.push_back(std::move(entry));
    } catch (const std::bad_alloc&) {
      directory_.clear();
      ReportFailure(ARC_ERROR_MEMORY, "MapCentralDirectories");
      return E_OUTOFMEMORY;
    }
    position += size;
  }
  directoryDamaged_ = position != stop || directory_.size() != end_.entryCount;
  return 0;
}

void CArchive2::ComputeExtractTotal() {
  uint64_t total = 0;
  for (const ArchiveDirectoryEntry& e : directory_) {
    const uint64_t add = e.record.uncompressedSize;
    total = add > UINT64_MAX - total ? UINT64_MAX : total + add;
  }
  extractTotal_ = total;
  extractTotalComputed_ = true;
}

namespace {
void FillBuffer(const ArchiveDirectoryEntry& e, CentralEntryBuffer& buffer) {
  e.record.Encode(buffer.fixed);
  plat::CopyTruncated(buffer.name, arc::kNameCapacity, e.name);
}
}  // namespace

ZoResult CArchive2::FindFirstCentralDirectory(CentralEntryBuffer& buffer) {
  cursor_ = 0;
  if (!file_) {
    ReportFailure(ARC_ERROR_NOT_OPEN, "FindFirstCentralDirectory");
    return E_FAIL;
  }
  if (!endLoaded_) {
    ReportFailure(ARC_ERROR_SIGNATURE, "FindFirstCentralDirectory");
    return E_FAIL;
  }
  if (directory_.empty()) return 1;
  FillBuffer(directory_[0], buffer);
  return 0;
}

ZoResult CArchive2::FindNextCentralDirectory(CentralEntryBuffer& buffer) {
  if (!file_ || cursor_ < 0) {
    ReportFailure(ARC_ERROR_NOT_OPEN, "FindNextCentralDirectory");
    return E_FAIL;
  }
  const uint64_t next = static_cast<uint64_t>(cursor_) + 1;
  if (next >= directory_.size()) return 1;
  cursor_ = static_cast<int64_t>(next);
  FillBuffer(directory_[static_cast<size_t>(next)], buffer);
  return 0;
}

int CArchive2::FindEntryByName(const ZoChar* name) const {
  if (!name) return -1;
  const plat::StringView16 wanted(name, plat::Length(name));
  for (size_t i = 0; i < directory_.size(); ++i) {
    if (plat::EqualsNoCase(directory_[i].name, wanted)) return static_cast<int>(i);
  }
  return -1;
}

const ArchiveDirectoryEntry* CArchive2::EntryAt(int index) const {
  if (mode_ == 0 || !endLoaded_ || index < 0 || static_cast<uint32_t>(index) >= end_.entryCount) return nullptr;
  if (static_cast<size_t>(index) >= directory_.size()) return nullptr;
  return &directory_[static_cast<size_t>(index)];
}

// ---- entry getters ---------------------------------------------------------

// Each getter exists by name (0 found, 1 not found, negative walk failure) and by
// index (1 good read, 0 out of range or unreadable; the output is then untouched).
#define ARC_BY_NAME(Getter, OutType, expr)                                                   \
  ZoResult CArchive2::Getter(const ZoChar* name, OutType& out) {                             \
    CentralEntryBuffer probe;                                                                \
    ZoResult r = FindFirstCentralDirectory(probe);                                           \
    if (r < 0) return r;                                                                     \
    const int i = FindEntryByName(name);                                                     \
    if (i < 0) return 1;                                                                     \
    const ArchiveDirectoryEntry& e = directory_[static_cast<size_t>(i)];                     \
    out = static_cast<OutType>(expr);                                                        \
    return 0;                                                                                \
  }                                                                                          \
  ZoResult CArchive2::Getter(int index, OutType& out) {                                      \
    const ArchiveDirectoryEntry* found = EntryAt(index);                                     \
    if (!found) return 0;                                                                    \
    const ArchiveDirectoryEntry& e = *found;                                                 \
    out = static_cast<OutType>(expr);                                                        \
    return 1;                                                                                \
  }

ARC_BY_NAME(GetEntryUncompressedSize, int64_t, e.record.uncompressedSize)
ARC_BY_NAME(GetEntryCompressedSize, int64_t, e.record.compressedSize)
ARC_BY_NAME(GetEntryCompressionType, int, e.record.compressionType)
ARC_BY_NAME(GetEntryFileTime, ZoFileTime, e.record.fileTime)
ARC_BY_NAME(GetEntryCRC32, int, e.record.crcUncompressed)
ARC_BY_NAME(GetEntryFileAttributes, int, e.record.attributes)

#undef ARC_BY_NAME

ZoResult CArchive2::GetEntryName(int index, ZoChar* buffer, unsigned size) {
  if (buffer && size > 0) buffer[0] = 0;
  const ArchiveDirectoryEntry* e = EntryAt(index);
  if (!e) return 0;
  if (!buffer || size < e->name.size() + 1) {  // a cut name would name another entry
    ReportFailure(ARC_ERROR_BUFFER, "GetEntryName");
    return ARC_E_BAD_NAME;
  }
  plat::CopyTruncated(buffer, size, e->name);
  return 1;
}

int CArchive2::IsEntryInArchive(const ZoChar* name) {
  if (mode_ == 0) return 0;
  // The walk's first step reports an archive that is not (or no longer) open.
  CentralEntryBuffer probe;
  if (FindFirstCentralDirectory(probe) < 0) return 0;
  return FindEntryByName(name) >= 0 ? 1 : 0;
}

ZoResult CArchive2::GetVolumeComment(ZoChar* buffer, unsigned size) {
  if (!file_) {
    ReportFailure(ARC_ERROR_NOT_OPEN, "GetVolumeComment");
    return E_FAIL;
  }
  if (!endLoaded_) {
    ReportFailure(ARC_ERROR_SIGNATURE, "GetVolumeComment");
    return ARC_E_BAD_SIGNATURE;
  }
  if (!buffer || static_cast<uint64_t>(size) < static_cast<uint64_t>(end_.commentLength) + 1) {
    ReportFailure(ARC_ERROR_BUFFER, "GetVolumeComment");
    return ARC_E_BAD_NAME;
  }
  plat::CopyTruncated(buffer, size, comment_);
  return 0;
}

ZoResult CArchive2::GetKeptComment(ZoChar* buffer, unsigned size) const {
  if (!buffer || size == 0) return E_INVALIDARG;
  buffer[0] = 0;
  if (!endLoaded_) return ARC_E_BAD_SIGNATURE;
  plat::CopyTruncated(buffer, size, comment_);
  return 0;
}

int CArchive2::GetEntryInfo(int index, ArchiveEntryInfo& info) const {
  if (index < 0 || static_cast<size_t>(index) >= directory_.size()) return 0;
  const ArchiveDirectoryEntry& e = directory_[static_cast<size_t>(index)];
  try {
    info.name = e.name;
  } catch (const std::bad_alloc&) {
    return 0;
  }
  info.uncompressedSize = e.record.uncompressedSize;
  info.compressedSize = e.record.compressedSize;
  info.compressionType = e.record.compressionType;
  info.compressionLevel = e.record.compressionLevel;
  info.crcCompressed = e.record.crcCompressed;
  info.crcUncompressed = e.record.crcUncompressed;
  info.fileTime = e.record.fileTime;
  info.attributes = e.record.attributes;
  info.hasPosixMode = arc::DecodePosixMode(e.record.reserved4, &info.posixMode);
  if (!info.hasPosixMode) info.posixMode = 0;
  return 1;
}

ZoResult CArchive2::GetStoredName(ZoChar* buffer, unsigned size) const {
  if (!buffer || size == 0) return ARC_E_BAD_NAME;
  const size_t length = plat::Length(storedName_);
  if (size < length + 1) {
    buffer[0] = 0;
    return ARC_E_BAD_NAME;
  }
  plat::CopyTruncated(buffer, size, storedName_);
  return 0;
}
