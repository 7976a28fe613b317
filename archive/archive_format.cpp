// Field-by-field codecs of the three archive records (layouts in archive_format.h).
// Each record's fields are listed once, with their offsets; Decode and Encode
// walk the same list, so the two directions cannot disagree.
#include "archive/archive_format.h"

namespace arc {

namespace {

// The little-endian field at p, read into or written from a member of its width.
void ReadField(const uint8_t* p, uint32_t& value) { value = GetU32(p); }
void ReadField(const uint8_t* p, uint64_t& value) { value = GetU64(p); }
void WriteField(uint8_t* p, uint32_t value) { PutU32(p, value); }
void WriteField(uint8_t* p, uint64_t value) { PutU64(p, value); }

// Calls field(offset, member) for every field of the local header.
template <class Record, class Field>
void LocalFields(Record& r, Field&& field) {
  field(local::kSignature, r.signature);
  field(local::kReserved4, r.reserved4);
  field(local::kReserved8, r.reserved8);
  field(local::kCompressionType, r.compressionType);
  field(local::kCompressionLevel, r.compressionLevel);
  field(local::kFileTime, r.fileTime);
  field(local::kCrcCompressed, r.crcCompressed);
  field(local::kCrcUncompressed, r.crcUncompressed);
  field(local::kCompressedSize, r.compressedSize);
  field(local::kUncompressedSize, r.uncompressedSize);
  field(local::kAttributes, r.attributes);
  field(local::kNameLength, r.nameLength);
  field(local::kCommentLength, r.commentLength);
}

// Calls field(offset, member) for every field of the central entry.
template <class Record, class Field>
void CentralFields(Record& r, Field&& field) {
  field(central::kSignature, r.signature);
  field(central::kReserved4, r.reserved4);
  field(central::kReserved8, r.reserved8);
  field(central::kCompressionType, r.compressionType);
  field(central::kCompressionLevel, r.compressionLevel);
  field(central::kFileTime, r.fileTime);
  field(central::kCrcCompressed, r.crcCompressed);
  field(central::kCrcUncompressed, r.crcUncompressed);
  field(central::kCompressedSize, r.compressedSize);
  field(central::kUncompressedSize, r.uncompressedSize);
  field(central::kNameLength, r.nameLength);
  field(central::kCommentLength, r.commentLength);
  field(central::kReservedLength, r.reservedLength);
  field(central::kReserved64, r.reserved64);
  field(central::kAttributes, r.attributes);
  field(central::kReserved72, r.reserved72);
  field(central::kLocalOffset, r.localOffset);
}

// Calls field(offset, member) for every field of the end record.
template <class Record, class Field>
void EndFields(Record& r, Field&& field) {
  field(end::kSignature, r.signature);
  field(end::kVolumeCount, r.volumeCount);
  field(end::kReserved8, r.reserved8);
  field(end::kEntryCountVolume, r.entryCountVolume);
  field(end::kEntryCount, r.entryCount);
  field(end::kCentralSize, r.centralSize);
  field(end::kCentralOffset, r.centralOffset);
  field(end::kBase, r.base);
  field(end::kCommentLength, r.commentLength);
  field(end::kArchiveNameLength, r.archiveNameLength);
  field(end::kReservedLength, r.reservedLength);
}

}  // namespace

LocalEntryHeader LocalEntryHeader::Decode(const uint8_t* p) {
  LocalEntryHeader r;
  LocalFields(r, [p](size_t at, auto& value) { ReadField(p + at, value); });
  return r;
}

void LocalEntryHeader::Encode(uint8_t* p) const {
  LocalFields(*this, [p](size_t at, const auto& value) { WriteField(p + at, value); });
}

CentralDirectoryEntry CentralDirectoryEntry::Decode(const uint8_t* p) {
  CentralDirectoryEntry r;
  CentralFields(r, [p](size_t at, auto& value) { ReadField(p + at, value); });
  return r;
}

void CentralDirectoryEntry::Encode(uint8_t* p) const {
  CentralFields(*this, [p](size_t at, const auto& value) { WriteField(p + at, value); });
}

bool CentralDirectoryEntry::DataOffset(uint64_t* offset) const {
  // Both lengths are u32, so the string part fits easily; only the sum can overflow.
  const uint64_t header = kLocalHeaderSize + 2 * (static_cast<uint64_t>(nameLength) + commentLength);
  if (localOffset > UINT64_MAX - header) return false;
  *offset = localOffset + header;
  return true;
}

EndOfCentralDirectory EndOfCentralDirectory::Decode(const uint8_t* p) {
  EndOfCentralDirectory r;
  EndFields(r, [p](size_t at, auto& value) { ReadField(p + at, value); });
  return r;
}

void EndOfCentralDirectory::Encode(uint8_t* p) const {
  EndFields(*this, [p](size_t at, const auto& value) { WriteField(p + at, value); });
}

}  // namespace arc
