// The resource file format: validation and look-up (portable code).
#include "platform/resource_file.h"

#include <cstring>

namespace plat {

namespace {

uint32_t Read32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
         (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
}
uint16_t Read16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }

// Offsets within an entry of the table.
constexpr size_t kEntryType = 0;
constexpr size_t kEntryName = 4;
constexpr size_t kEntryLanguage = 8;
constexpr size_t kEntryOffset = 12;
constexpr size_t kEntrySize = 16;
constexpr size_t kHeaderCount = 8;

// A type or name field is an integer id or points at a name record that lies
// wholly within the image.
bool IsValidField(const uint8_t* bytes, size_t size, uint32_t field) {
  if ((field & kResourceFileNameFlag) == 0) return field < 0x10000u;
  const uint64_t offset = field & ~kResourceFileNameFlag;
  if (offset > size || size - offset < 2) return false;
  return Read16(bytes + offset) * uint64_t{2} <= size - offset - 2;
}

ZoChar FoldAscii(ZoChar c) { return (c >= u'a' && c <= u'z') ? static_cast<ZoChar>(c - 32) : c; }

// Whether a field of a valid image stands for `wanted` (an id or a name).
bool FieldMatches(const uint8_t* bytes, uint32_t field, const ZoChar* wanted) {
  if (IsResourceId(wanted)) return field == static_cast<uint32_t>(reinterpret_cast<uintptr_t>(wanted));
  if ((field & kResourceFileNameFlag) == 0) return false;
  const uint8_t* record = bytes + (field & ~kResourceFileNameFlag);
  const size_t count = Read16(record);
  for (size_t i = 0; i < count; ++i) {
    const ZoChar unit = Read16(record + 2 + 2 * i);
    if (wanted[i] == 0 || FoldAscii(wanted[i]) != FoldAscii(unit)) return false;
  }
  return wanted[count] == 0;
}

}  // namespace

bool IsValidResourceFile(const void* blob, size_t size) {
  if (!blob || size < kResourceFileHeaderSize) return false;
  const auto* bytes = static_cast<const uint8_t*>(blob);
  if (std::memcmp(bytes, kResourceFileMagic, sizeof kResourceFileMagic) != 0) return false;
  const uint64_t count = Read32(bytes + kHeaderCount);
  const uint64_t tableEnd = kResourceFileHeaderSize + count * kResourceFileEntrySize;
  if (tableEnd > size) return false;
  for (uint64_t i = 0; i < count; ++i) {
    const uint8_t* e = bytes + kResourceFileHeaderSize + i * kResourceFileEntrySize;
    const uint64_t offset = Read32(e + kEntryOffset);
    const uint64_t length = Read32(e + kEntrySize);
    if (offset > size || length > size - offset) return false;
    if (!IsValidField(bytes, size, Read32(e + kEntryType)) || !IsValidField(bytes, size, Read32(e + kEntryName))) {
      return false;
    }
  }
  return true;
}

int CopyStringFromBlock(const ResourceData& block, uint32_t index, ZoChar* out, int capacity) {
  if (out && capacity > 0) out[0] = 0;
  if (!block.data || index > 15) return 0;
  const auto* bytes = static_cast<const uint8_t*>(block.data);
  size_t pos = 0;
  for (uint32_t i = 0;; ++i) {
    if (block.size < 2 || pos > block.size - 2) return 0;
    const size_t count = Read16(bytes + pos);
    pos += 2;
    if (count * 2 > block.size - pos) return 0;
    if (i == index) {
      if (count == 0 || !out || capacity <= 0) return 0;
      const size_t n = count < static_cast<size_t>(capacity - 1) ? count : static_cast<size_t>(capacity - 1);
      std::memcpy(out, bytes + pos, n * sizeof(ZoChar));  // the data may be unaligned
      out[n] = 0;
      return static_cast<int>(n);
    }
    pos += count * 2;
  }
}

namespace resfile {

bool FindEntry(const void* blob, size_t size, const ZoChar* type, const ZoChar* name, int32_t language,
               ResourceData* out) {
  if (!blob || size < kResourceFileHeaderSize) return false;
  const auto* bytes = static_cast<const uint8_t*>(blob);
  const uint32_t count = Read32(bytes + kHeaderCount);
  // The table is small (a few hundred entries at most); a linear scan keeps the
  // reader independent of the writer's sort order.
  for (uint32_t i = 0; i < count; ++i) {
    const uint8_t* e = bytes + kResourceFileHeaderSize + static_cast<size_t>(i) * kResourceFileEntrySize;
    if (!FieldMatches(bytes, Read32(e + kEntryType), type) || !FieldMatches(bytes, Read32(e + kEntryName), name)) {
      continue;
    }
    if (language != kAnyLanguage && Read16(e + kEntryLanguage) != static_cast<uint32_t>(language)) continue;
    out->data = bytes + Read32(e + kEntryOffset);
    out->size = Read32(e + kEntrySize);
    return true;
  }
  return false;
}

}  // namespace resfile
}  // namespace plat
