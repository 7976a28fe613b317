// Field-by-field codecs of the three archive records (layouts in archive_format.h).
#include "archive/archive_format.h"

namespace arc {

LocalEntryHeader LocalEntryHeader::Decode(const uint8_t* p) {
  LocalEntryHeader h;
  h.signature = GetU32(p + local::kSignature);
  h.reserved4 = GetU32(p + local::kReserved4);
  h.reserved8 = GetU32(p + local::kReserved8);
  h.compressionType = GetU32(p + local::kCompressionType);
  h.compressionLevel = GetU32(p + local::kCompressionLevel);
  h.fileTime = GetU64(p + local::kFileTime);
  h.crcCompressed = GetU32(p + local::kCrcCompressed);
  h.crcUncompressed = GetU32(p + local::kCrcUncompressed);
  h.compressedSize = GetU64(p + local::kCompressedSize);
  h.uncompressedSize = GetU64(p + local::kUncompressedSize);
  h.attributes = GetU32(p + local::kAttributes);
  h.nameLength = GetU32(p + local::kNameLength);
  h.commentLength = GetU32(p + local::kCommentLength);
  return h;
}

void LocalEntryHeader::Encode(uint8_t* p) const {
  PutU32(p + local::kSignature, signature);
  PutU32(p + local::kReserved4, reserved4);
  PutU32(p + local::kReserved8, reserved8);
  PutU32(p + local::kCompressionType, compressionType);
  PutU32(p + local::kCompressionLevel, compressionLevel);
  PutU64(p + local::kFileTime, fileTime);
  PutU32(p + local::kCrcCompressed, crcCompressed);
  PutU32(p + local::kCrcUncompressed, crcUncompressed);
  PutU64(p + local::kCompressedSize, compressedSize);
  PutU64(p + local::kUncompressedSize, uncompressedSize);
  PutU32(p + local::kAttributes, attributes);
  PutU32(p + local::kNameLength, nameLength);
  PutU32(p + local::kCommentLength, commentLength);
}

CentralDirectoryEntry CentralDirectoryEntry::Decode(const uint8_t* p) {
  CentralDirectoryEntry e;
  e.signature = GetU32(p + central::kSignature);
  e.reserved4 = GetU32(p + central::kReserved4);
  e.reserved8 = GetU32(p + central::kReserved8);
  e.compressionType = GetU32(p + central::kCompressionType);
  e.compressionLevel = GetU32(p + central::kCompressionLevel);
  e.fileTime = GetU64(p + central::kFileTime);
  e.crcCompressed = GetU32(p + central::kCrcCompressed);
  e.crcUncompressed = GetU32(p + central::kCrcUncompressed);
  e.compressedSize = GetU64(p + central::kCompressedSize);
  e.uncompressedSize = GetU64(p + central::kUncompressedSize);
  e.nameLength = GetU32(p + central::kNameLength);
  e.commentLength = GetU32(p + central::kCommentLength);
  e.reservedLength = GetU32(p + central::kReservedLength);
  e.reserved64 = GetU32(p + central::kReserved64);
  e.attributes = GetU32(p + central::kAttributes);
  e.reserved72 = GetU32(p + central::kReserved72);
  e.localOffset = GetU64(p + central::kLocalOffset);
  return e;
}

void CentralDirectoryEntry::Encode(uint8_t* p) const {
  PutU32(p + central::kSignature, signature);
  PutU32(p + central::kReserved4, reserved4);
  PutU32(p + central::kReserved8, reserved8);
  PutU32(p + central::kCompressionType, compressionType);
  PutU32(p + central::kCompressionLevel, compressionLevel);
  PutU64(p + central::kFileTime, fileTime);
  PutU32(p + central::kCrcCompressed, crcCompressed);
  PutU32(p + central::kCrcUncompressed, crcUncompressed);
  PutU64(p + central::kCompressedSize, compressedSize);
  PutU64(p + central::kUncompressedSize, uncompressedSize);
  PutU32(p + central::kNameLength, nameLength);
  PutU32(p + central::kCommentLength, commentLength);
  PutU32(p + central::kReservedLength, reservedLength);
  PutU32(p + central::kReserved64, reserved64);
  PutU32(p + central::kAttributes, attributes);
  PutU32(p + central::kReserved72, reserved72);
  PutU64(p + central::kLocalOffset, localOffset);
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
  r.signature = GetU32(p + end::kSignature);
  r.volumeCount = GetU32(p + end::kVolumeCount);
  r.reserved8 = GetU32(p + end::kReserved8);
  r.entryCountVolume = GetU32(p + end::kEntryCountVolume);
  r.entryCount = GetU32(p + end::kEntryCount);
  r.centralSize = GetU64(p + end::kCentralSize);
  r.centralOffset = GetU64(p + end::kCentralOffset);
  r.base = GetU64(p + end::kBase);
  r.commentLength = GetU32(p + end::kCommentLength);
  r.archiveNameLength = GetU32(p + end::kArchiveNameLength);
  r.reservedLength = GetU32(p + end::kReservedLength);
  return r;
}

void EndOfCentralDirectory::Encode(uint8_t* p) const {
  PutU32(p + end::kSignature, signature);
  PutU32(p + end::kVolumeCount, volumeCount);
  PutU32(p + end::kReserved8, reserved8);
  PutU32(p + end::kEntryCountVolume, entryCountVolume);
  PutU32(p + end::kEntryCount, entryCount);
  PutU64(p + end::kCentralSize, centralSize);
  PutU64(p + end::kCentralOffset, centralOffset);
  PutU64(p + end::kBase, base);
  PutU32(p + end::kCommentLength, commentLength);
  PutU32(p + end::kArchiveNameLength, archiveNameLength);
  PutU32(p + end::kReservedLength, reservedLength);
}

}  // namespace arc
