// The test-side record builder: writes the exact bytes of archives, including
// unusual and hostile ones, so that tests (and the tool tests and fuzz seeds)
// never need checked-in binaries.
//
// It encodes every field itself, field by field in little-endian, and shares no
// code with the engine: a fault in the engine's codecs cannot hide in here.
//
// Typical use:
//   testarc::ArchiveSpec spec;
//   spec.entries.push_back(testarc::File("docs\\readme.txt", "hello"));
//   spec.entries.push_back(testarc::Folder("docs\\"));
//   std::string bytes = testarc::Build(spec);
// Every override (an *Override field) replaces the value the builder would
// compute, which is how damaged and hostile archives are made.
#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace testarc {

inline constexpr uint64_t kDefaultTime = 0x01D9'0000'0000'0000ull;  // a FILETIME in 2022

struct EntrySpec {
  std::u16string name;               // stored name, '\\' separators, used as given
  std::string content;               // the file's bytes (empty for a folder)
  uint32_t compressionType = 1;      // 0 stored, 1 raw deflate
  uint32_t compressionLevel = 6;
  uint64_t fileTime = kDefaultTime;
  uint32_t attributes = 0x20;        // archive bit; 0x10 for a folder
  uint32_t reserved4 = 0;            // the POSIX mode word
  std::u16string centralComment;     // strings readers must step over
  std::u16string centralReserved;

  // Overrides for hostile and damaged archives.
  std::optional<std::string> storedBytesOverride;  // stored bytes instead of encoding content
  std::optional<uint32_t> crcCompressedOverride;
  std::optional<uint32_t> crcUncompressedOverride;
  std::optional<uint64_t> compressedSizeOverride;
  std::optional<uint64_t> uncompressedSizeOverride;
  std::optional<uint64_t> localOffsetOverride;     // in the central entry
  std::optional<uint32_t> centralNameLengthOverride;
  std::optional<uint32_t> centralSignatureOverride;
};

EntrySpec File(std::u16string name, std::string content, uint32_t compressionType = 1);
EntrySpec Folder(std::u16string name);

struct ArchiveSpec {
  std::vector<EntrySpec> entries;
  std::u16string comment;
  std::u16string storedName;
  std::u16string reservedText;
  std::string stub;       // bytes in front of the archive (a self-extracting file)
  std::string trailing;   // bytes after the end record's strings
  uint32_t volumeCount = 1;

  // Overrides of the end record.
  std::optional<uint32_t> entryCountOverride;
  std::optional<uint64_t> centralSizeOverride;
  std::optional<uint64_t> centralOffsetOverride;
  std::optional<uint64_t> baseOverride;
  std::optional<uint32_t> commentLengthOverride;
};

// What Build produced, for tests that need positions.
struct Layout {
  uint64_t base = 0;                       // file offset of the archive's first byte
  uint64_t centralOffset = 0;              // relative to the base
  uint64_t centralSize = 0;
  uint64_t endOffset = 0;                  // file offset of the end record
  std::vector<uint64_t> localOffsets;      // per entry, relative to the base
  std::vector<uint64_t> centralPositions;  // per entry, file offsets
};

// A single file: stub, local records, central directory, end record, trailing bytes.
std::string Build(const ArchiveSpec& spec, Layout* layout = nullptr);

// A multi-volume set: the entry stream is cut into the main file's part of
// `mainPart` bytes (after the stub) and volumes of the given sizes (the last takes
// the rest). The end record says volumeCount = 1 + volumes and centralOffset =
// mainPart. spec.storedName names the volumes (e.g. u"pack.ach" -> pack2.ach).
struct VolumeSet {
  std::string main;
  std::vector<std::string> volumes;  // volume 2, 3, ...
};
VolumeSet BuildVolumeSet(const ArchiveSpec& spec, uint64_t mainPart, const std::vector<uint64_t>& volumeSizes);

// Building blocks.
std::string Utf16Bytes(const std::u16string& text);
std::string RawDeflate(const std::string& data, int level = 6);
uint32_t Crc32(const std::string& data);
void PutU32(std::string& out, uint32_t v);
void PutU64(std::string& out, uint64_t v);

}  // namespace testarc
