// The archive container's bytes on disk: record signatures, sizes and every field
// offset, with field-by-field little-endian codecs. Nothing here touches a file;
// the reader (archive_directory.cpp) and the writers use these and never copy a
// struct to or from disk whole.
//
// Records (all integers little-endian, strings UTF-16LE without terminator,
// no alignment, offsets relative to the archive base):
//   LocalEntryHeader       64 bytes + name + comment + stored bytes
//   CentralDirectoryEntry  84 bytes + name + comment + reserved string
//   EndOfCentralDirectory  56 bytes + comment + archive name + reserved string
#pragma once
#include <cstddef>
#include <cstdint>

// Signatures compared as one u32: "UM", record type, version.
inline constexpr uint32_t ARC_SIG_LOCAL = 0x0A034D55;    // 55 4D 03 0A
inline constexpr uint32_t ARC_SIG_CENTRAL = 0x0B014D55;  // 55 4D 01 0B
inline constexpr uint32_t ARC_SIG_END = 0x0C054D55;      // 55 4D 05 0C

// Compression types.
inline constexpr uint32_t ARC_COMPRESSION_NONE = 0;
inline constexpr uint32_t ARC_COMPRESSION_ZIP = 1;  // one raw deflate stream (RFC 1951)

namespace arc {

// ---- LocalEntryHeader ------------------------------------------------------
inline constexpr size_t kLocalHeaderSize = 64;
namespace local {
inline constexpr size_t kSignature = 0;          // u32 ARC_SIG_LOCAL
inline constexpr size_t kReserved4 = 4;          // u32 POSIX mode word (see below)
inline constexpr size_t kReserved8 = 8;          // u32 written 0
inline constexpr size_t kCompressionType = 12;   // u32
inline constexpr size_t kCompressionLevel = 16;  // u32 deflate level (informational)
inline constexpr size_t kFileTime = 20;          // u64 FILETIME, last write
inline constexpr size_t kCrcCompressed = 28;     // u32 CRC-32 of the stored bytes
inline constexpr size_t kCrcUncompressed = 32;   // u32 CRC-32 of the file's bytes
inline constexpr size_t kCompressedSize = 36;    // u64 stored bytes after the strings
inline constexpr size_t kUncompressedSize = 44;  // u64 file size
inline constexpr size_t kAttributes = 52;        // u32 Windows attribute bits
inline constexpr size_t kNameLength = 56;        // u32 UTF-16 units
inline constexpr size_t kCommentLength = 60;     // u32 UTF-16 units (written 0)
}  // namespace local

// ---- CentralDirectoryEntry -------------------------------------------------
inline constexpr size_t kCentralEntrySize = 84;
namespace central {
inline constexpr size_t kSignature = 0;          // u32 ARC_SIG_CENTRAL
inline constexpr size_t kReserved4 = 4;          // u32 copy of the local header's word
inline constexpr size_t kReserved8 = 8;          // u32 copy of the local header's word
inline constexpr size_t kCompressionType = 12;   // u32
inline constexpr size_t kCompressionLevel = 16;  // u32
inline constexpr size_t kFileTime = 20;          // u64
inline constexpr size_t kCrcCompressed = 28;     // u32
inline constexpr size_t kCrcUncompressed = 32;   // u32
inline constexpr size_t kCompressedSize = 36;    // u64
inline constexpr size_t kUncompressedSize = 44;  // u64
inline constexpr size_t kNameLength = 52;        // u32 UTF-16 units
inline constexpr size_t kCommentLength = 56;     // u32 UTF-16 units
inline constexpr size_t kReservedLength = 60;    // u32 UTF-16 units
inline constexpr size_t kReserved64 = 64;        // u32 written 0
inline constexpr size_t kAttributes = 68;        // u32
inline constexpr size_t kReserved72 = 72;        // u32 written 0
inline constexpr size_t kLocalOffset = 76;       // u64 local header, relative to the base
// Bytes 4..51 of a central entry are a byte copy of bytes 4..51 of its local header.
inline constexpr size_t kSharedFirst = 4;
inline constexpr size_t kSharedEnd = 52;
}  // namespace central

// ---- EndOfCentralDirectory -------------------------------------------------
inline constexpr size_t kEndRecordSize = 56;
namespace end {
inline constexpr size_t kSignature = 0;          // u32 ARC_SIG_END
inline constexpr size_t kVolumeCount = 4;        // u32 1, or N >= 2 for a set
inline constexpr size_t kReserved8 = 8;          // u32 written 0
inline constexpr size_t kEntryCountVolume = 12;  // u32 written equal to kEntryCount
inline constexpr size_t kEntryCount = 16;        // u32 the count readers use
inline constexpr size_t kCentralSize = 20;       // u64 bytes of the central directory
inline constexpr size_t kCentralOffset = 28;     // u64 first central entry, relative to base
inline constexpr size_t kBase = 36;              // u64 file offset of the archive's first byte
inline constexpr size_t kCommentLength = 44;     // u32 UTF-16 units, at most 1023 kept
inline constexpr size_t kArchiveNameLength = 48; // u32 UTF-16 units, at most 259 kept
inline constexpr size_t kReservedLength = 52;    // u32 UTF-16 units, at most 259 kept
}  // namespace end

// The end record is searched in the last kEndRecordSize + kEndScanTrailing bytes:
// at most 3999 bytes (strings and anything after them) may follow its fixed part.
inline constexpr uint64_t kEndScanTrailing = 3999;

// Capacities of the engine's text buffers, in UTF-16 units with the terminator.
inline constexpr size_t kCommentCapacity = 1024;
inline constexpr size_t kNameCapacity = 260;

// Files are read, written and copied in blocks of this many bytes.
inline constexpr size_t kBlockSize = 262144;

// ---- POSIX permission bits -------------------------------------------------
// The POSIX build stores a file's permission bits in the reserved word at offset 4
// of both headers: the marker bit says the word is meaningful, the low 12 bits are
// mode & 07777. Windows-built archives leave the word 0, and readers on Windows
// ignore it.
inline constexpr uint32_t kPosixModeMarker = 0x80000000u;
inline constexpr uint32_t kPosixModeMask = 07777;
inline constexpr uint32_t EncodePosixMode(uint32_t mode) { return kPosixModeMarker | (mode & kPosixModeMask); }
// True (and *mode set) when `word` carries permission bits.
inline bool DecodePosixMode(uint32_t word, uint32_t* mode) {
  if ((word & kPosixModeMarker) == 0) return false;
  *mode = word & kPosixModeMask;
  return true;
}

// ---- little-endian field access -------------------------------------------
inline uint32_t GetU32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) | (static_cast<uint32_t>(p[2]) << 16) |
         (static_cast<uint32_t>(p[3]) << 24);
}
inline uint64_t GetU64(const uint8_t* p) { return static_cast<uint64_t>(GetU32(p)) | (static_cast<uint64_t>(GetU32(p + 4)) << 32); }
inline void PutU32(uint8_t* p, uint32_t v) {
  p[0] = static_cast<uint8_t>(v);
  p[1] = static_cast<uint8_t>(v >> 8);
  p[2] = static_cast<uint8_t>(v >> 16);
  p[3] = static_cast<uint8_t>(v >> 24);
}
inline void PutU64(uint8_t* p, uint64_t v) {
  PutU32(p, static_cast<uint32_t>(v));
  PutU32(p + 4, static_cast<uint32_t>(v >> 32));
}

// ---- decoded records -------------------------------------------------------
struct LocalEntryHeader {
  uint32_t signature = 0;
  uint32_t reserved4 = 0;
  uint32_t reserved8 = 0;
  uint32_t compressionType = 0;
  uint32_t compressionLevel = 0;
  uint64_t fileTime = 0;
  uint32_t crcCompressed = 0;
  uint32_t crcUncompressed = 0;
  uint64_t compressedSize = 0;
  uint64_t uncompressedSize = 0;
  uint32_t attributes = 0;
  uint32_t nameLength = 0;
  uint32_t commentLength = 0;

  static LocalEntryHeader Decode(const uint8_t* p);  // p: kLocalHeaderSize bytes
  void Encode(uint8_t* p) const;                     // writes kLocalHeaderSize bytes
};

struct CentralDirectoryEntry {
  uint32_t signature = 0;
  uint32_t reserved4 = 0;
  uint32_t reserved8 = 0;
  uint32_t compressionType = 0;
  uint32_t compressionLevel = 0;
  uint64_t fileTime = 0;
  uint32_t crcCompressed = 0;
  uint32_t crcUncompressed = 0;
  uint64_t compressedSize = 0;
  uint64_t uncompressedSize = 0;
  uint32_t nameLength = 0;
  uint32_t commentLength = 0;
  uint32_t reservedLength = 0;
  uint32_t reserved64 = 0;
  uint32_t attributes = 0;
  uint32_t reserved72 = 0;
  uint64_t localOffset = 0;

  static CentralDirectoryEntry Decode(const uint8_t* p);  // p: kCentralEntrySize bytes
  void Encode(uint8_t* p) const;                          // writes kCentralEntrySize bytes
  // Bytes the entry occupies on disk: 84 + 2 x (name + comment + reserved string).
  uint64_t DiskSize() const {
    return kCentralEntrySize + 2 * (static_cast<uint64_t>(nameLength) + commentLength + reservedLength);
  }
  // Offset of the stored bytes in the entry stream, from this entry alone:
  // localOffset + 64 + 2 x (name + comment). False when the sum overflows.
  bool DataOffset(uint64_t* offset) const;
};

struct EndOfCentralDirectory {
  uint32_t signature = 0;
  uint32_t volumeCount = 0;
  uint32_t reserved8 = 0;
  uint32_t entryCountVolume = 0;
  uint32_t entryCount = 0;
  uint64_t centralSize = 0;
  uint64_t centralOffset = 0;
  uint64_t base = 0;
  uint32_t commentLength = 0;
  uint32_t archiveNameLength = 0;
  uint32_t reservedLength = 0;

  static EndOfCentralDirectory Decode(const uint8_t* p);  // p: kEndRecordSize bytes
  void Encode(uint8_t* p) const;                          // writes kEndRecordSize bytes
  // Bytes of the three strings that follow the fixed part.
  uint64_t StringBytes() const {
    return 2 * (static_cast<uint64_t>(commentLength) + archiveNameLength + reservedLength);
  }
};

}  // namespace arc
