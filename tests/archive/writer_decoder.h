// An independent decoder of the archive format for the writer tests.
//
// It deliberately shares no code with the engine: it reads a whole file into
// memory, takes the end record from the very end of the file (writers leave no
// tail), walks the central directory by its size, and decodes every local header
// the directory points to. Writer tests then compare fields one by one with what
// the writer must have produced, so a fault shared by the engine's reader and
// writer cannot hide itself.
#pragma once
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

namespace writer_test {

inline constexpr uint32_t kLocalSignature = 0x0A034D55;
inline constexpr uint32_t kCentralSignature = 0x0B014D55;
inline constexpr uint32_t kEndSignature = 0x0C054D55;

inline uint32_t U32At(const std::vector<uint8_t>& b, uint64_t at) {
  if (at + 4 > b.size()) return 0xDEADBEEF;
  return uint32_t(b[at]) | uint32_t(b[at + 1]) << 8 | uint32_t(b[at + 2]) << 16 | uint32_t(b[at + 3]) << 24;
}
inline uint64_t U64At(const std::vector<uint8_t>& b, uint64_t at) {
  return uint64_t(U32At(b, at)) | uint64_t(U32At(b, at + 4)) << 32;
}
inline std::u16string TextAt(const std::vector<uint8_t>& b, uint64_t at, uint64_t units) {
  std::u16string s;
  for (uint64_t i = 0; i < units && at + 2 * i + 1 < b.size(); ++i)
    s.push_back(char16_t(b[at + 2 * i] | b[at + 2 * i + 1] << 8));
  return s;
}

// Fields of the 48 bytes that a local header and its central entry share (4..51).
struct SharedFields {
  uint32_t reserved4 = 0, reserved8 = 0, type = 0, level = 0;
  uint64_t time = 0;
  uint32_t crcStored = 0, crcPlain = 0;
  uint64_t packed = 0, size = 0;
};

struct DecodedLocal {
  uint64_t offset = 0;  // relative to the base
  SharedFields f;
  uint32_t attributes = 0, nameLength = 0, commentLength = 0;
  std::u16string name;
  uint64_t dataOffset = 0;  // file offset of the stored bytes
  std::vector<uint8_t> header;  // the 48 shared bytes as they stand
};

struct DecodedCentral {
  uint64_t fileOffset = 0;
  SharedFields f;
  uint32_t nameLength = 0, commentLength = 0, reservedLength = 0;
  uint32_t reserved64 = 0, attributes = 0, reserved72 = 0;
  uint64_t localOffset = 0;
  std::u16string name;
  std::vector<uint8_t> header;  // the 48 shared bytes
};

struct DecodedArchive {
  bool ok = false;
  std::string error;
  uint64_t endOffset = 0;  // file offset of the end record
  uint32_t volumeCount = 0, reserved8 = 0, countVolume = 0, count = 0;
  uint64_t centralSize = 0, centralOffset = 0, base = 0;
  std::u16string comment, storedName, reservedText;
  std::vector<DecodedCentral> central;
  std::vector<DecodedLocal> local;  // one per central entry, same order
};

inline SharedFields SharedAt(const std::vector<uint8_t>& b, uint64_t at) {
  SharedFields f;
  f.reserved4 = U32At(b, at + 4);
  f.reserved8 = U32At(b, at + 8);
  f.type = U32At(b, at + 12);
  f.level = U32At(b, at + 16);
  f.time = U64At(b, at + 20);
  f.crcStored = U32At(b, at + 28);
  f.crcPlain = U32At(b, at + 32);
  f.packed = U64At(b, at + 36);
  f.size = U64At(b, at + 44);
  return f;
}

// Decodes `b` as one file of the format. With `localsInFile` false (a volume set's
// main file) the local headers are not decoded.
inline DecodedArchive Decode(const std::vector<uint8_t>& b, bool localsInFile = true) {
  DecodedArchive a;
  // The end record and its strings end the file; find it by trying every start
  // whose declared string lengths land exactly on the end.
  bool found = false;
  for (uint64_t back = 56; back <= b.size() && back <= 56 + 4000; ++back) {
    uint64_t at = b.size() - back;
    if (U32At(b, at) != kEndSignature) continue;
    uint64_t strings = 2ull * (uint64_t(U32At(b, at + 44)) + U32At(b, at + 48) + U32At(b, at + 52));
    if (at + 56 + strings != b.size()) continue;
    a.endOffset = at;
    found = true;
    break;
  }
  if (!found) {
    a.error = "no end record ending the file";
    return a;
  }
  uint64_t e = a.endOffset;
  a.volumeCount = U32At(b, e + 4);
  a.reserved8 = U32At(b, e + 8);
  a.countVolume = U32At(b, e + 12);
  a.count = U32At(b, e + 16);
  a.centralSize = U64At(b, e + 20);
  a.centralOffset = U64At(b, e + 28);
  a.base = U64At(b, e + 36);
  uint32_t cl = U32At(b, e + 44), nl = U32At(b, e + 48), rl = U32At(b, e + 52);
  a.comment = TextAt(b, e + 56, cl);
  a.storedName = TextAt(b, e + 56 + 2ull * cl, nl);
  a.reservedText = TextAt(b, e + 56 + 2ull * (cl + nl), rl);
  if (a.base + a.centralOffset + a.centralSize != e) {
    a.error = "central directory does not end where the end record begins";
    return a;
  }
  uint64_t pos = a.base + a.centralOffset;
  while (pos < e) {
    if (U32At(b, pos) != kCentralSignature) {
      a.error = "bad central signature";
      return a;
    }
    DecodedCentral c;
    c.fileOffset = pos;
    c.f = SharedAt(b, pos);
    c.header.assign(b.begin() + pos + 4, b.begin() + pos + 52);
    c.nameLength = U32At(b, pos + 52);
    c.commentLength = U32At(b, pos + 56);
    c.reservedLength = U32At(b, pos + 60);
    c.reserved64 = U32At(b, pos + 64);
    c.attributes = U32At(b, pos + 68);
    c.reserved72 = U32At(b, pos + 72);
    c.localOffset = U64At(b, pos + 76);
    c.name = TextAt(b, pos + 84, c.nameLength);
    pos += 84 + 2ull * (uint64_t(c.nameLength) + c.commentLength + c.reservedLength);
    a.central.push_back(std::move(c));
  }
  if (pos != e) {
    a.error = "central directory overruns the end record";
    return a;
  }
  if (localsInFile) {
    for (const auto& c : a.central) {
      uint64_t at = a.base + c.localOffset;
      if (at + 64 > b.size() || U32At(b, at) != kLocalSignature) {
        a.error = "bad local signature";
        return a;
      }
      DecodedLocal l;
      l.offset = c.localOffset;
      l.f = SharedAt(b, at);
      l.header.assign(b.begin() + at + 4, b.begin() + at + 52);
      l.attributes = U32At(b, at + 52);
      l.nameLength = U32At(b, at + 56);
      l.commentLength = U32At(b, at + 60);
      l.name = TextAt(b, at + 64, l.nameLength);
      l.dataOffset = at + 64 + 2ull * (uint64_t(l.nameLength) + l.commentLength);
      if (l.dataOffset + l.f.packed > a.base + a.centralOffset) {
        a.error = "stored bytes run into the central directory";
        return a;
      }
      a.local.push_back(std::move(l));
    }
  }
  a.ok = true;
  return a;
}

}  // namespace writer_test
