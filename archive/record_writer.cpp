// Record output for the writers (see record_writer.h).
#include "archive/record_writer.h"

#include "platform/paths.h"
#include "platform/text.h"
#include "runtime/zo_path.h"

namespace arc {

bool WriteUtf16(plat::File& file, const ZoChar* text, size_t units) {
  if (!text || units == 0) return true;
  // Names and comments are at most 1,023 units; one small stack block holds any
  // of them, longer text goes out in pieces.
  uint8_t bytes[2048];
  size_t done = 0;
  while (done < units) {
    size_t n = units - done;
    if (n > sizeof(bytes) / 2) n = sizeof(bytes) / 2;
    for (size_t i = 0; i < n; ++i) {
      bytes[2 * i] = static_cast<uint8_t>(text[done + i]);
      bytes[2 * i + 1] = static_cast<uint8_t>(text[done + i] >> 8);
    }
    if (!file.Write(bytes, 2 * n)) return false;
    done += n;
  }
  return true;
}

bool WriteLocalHead(plat::File& file, const LocalEntryHeader& header, const ZoChar* name) {
  // Header and name in one write: names written here are below 260 units.
  uint8_t bytes[kLocalHeaderSize + 2 * kNameCapacity];
  header.Encode(bytes);
  if (header.nameLength >= kNameCapacity) {
    return file.Write(bytes, kLocalHeaderSize) && WriteUtf16(file, name, header.nameLength);
  }
  size_t used = kLocalHeaderSize;
  for (uint32_t k = 0; k < header.nameLength; ++k) {
    bytes[used++] = static_cast<uint8_t>(name[k]);
    bytes[used++] = static_cast<uint8_t>(name[k] >> 8);
  }
  return file.Write(bytes, used);
}

bool WriteCentralEntry(plat::File& file, const CentralDirectoryEntry& entry, const ZoChar* name) {
  uint8_t fixed[kCentralEntrySize];
  entry.Encode(fixed);
  return file.Write(fixed, sizeof(fixed)) && WriteUtf16(file, name, entry.nameLength);
}

CentralDirectoryEntry CentralFromLocal(const LocalEntryHeader& h, uint64_t localOffset) {
  CentralDirectoryEntry e;
  e.signature = ARC_SIG_CENTRAL;
  e.reserved4 = h.reserved4;
  e.reserved8 = h.reserved8;
  e.compressionType = h.compressionType;
  e.compressionLevel = h.compressionLevel;
  e.fileTime = h.fileTime;
  e.crcCompressed = h.crcCompressed;
  e.crcUncompressed = h.crcUncompressed;
  e.compressedSize = h.compressedSize;
  e.uncompressedSize = h.uncompressedSize;
  e.nameLength = h.nameLength;
  e.commentLength = 0;  // the comment is never written after a name
  e.reservedLength = 0;
  e.reserved64 = 0;
  e.attributes = h.attributes;
  e.reserved72 = 0;
  e.localOffset = localOffset;
  return e;
}

LocalEntryHeader LocalFromCentral(const CentralDirectoryEntry& e) {
  LocalEntryHeader h;
  h.signature = ARC_SIG_LOCAL;
  h.reserved4 = e.reserved4;
  h.reserved8 = 0;
  h.compressionType = e.compressionType;
  h.compressionLevel = e.compressionLevel;
  h.fileTime = e.fileTime;
  h.crcCompressed = e.crcCompressed;
  h.crcUncompressed = e.crcUncompressed;
  h.compressedSize = e.compressedSize;
  h.uncompressedSize = e.uncompressedSize;
  h.attributes = e.attributes;
  h.nameLength = e.nameLength;
  h.commentLength = 0;
  return h;
}

bool SameFullPath(const ZoChar* a, const ZoChar* b) {
  if (!a || !b || !*a || !*b) return false;
  ZoChar fa[ZO_MAX_PATH], fb[ZO_MAX_PATH];
  uint32_t la = plat::GetFullPath(a, fa, ZO_MAX_PATH), lb = plat::GetFullPath(b, fb, ZO_MAX_PATH);
  if (la == 0 || lb == 0 || la >= static_cast<uint32_t>(ZO_MAX_PATH) || lb >= static_cast<uint32_t>(ZO_MAX_PATH))
    return false;
  return plat::kSeparator == u'/' ? plat::StringView16(fa) == plat::StringView16(fb) : plat::EqualsNoCase(fa, fb);
}

bool NameHoldsSeparator(plat::StringView16 name) {
  return name.find(plat::kSeparator) != plat::StringView16::npos || name.find(u'/') != plat::StringView16::npos;
}

bool JoinFolderAndName(const ZoChar* folder, plat::StringView16 name, ZoChar* out) {
  if (NameHoldsSeparator(name)) return false;
  if (plat::CopyTruncated(out, ZO_MAX_PATH, folder) != plat::Length(folder)) return false;
  if (out[0] && ZoAddSlashToPathName(out, ZO_MAX_PATH) == 0) return false;
  size_t used = plat::Length(out);
  if (used + name.size() + 1 > static_cast<size_t>(ZO_MAX_PATH)) return false;
  plat::CopyTruncated(out + used, ZO_MAX_PATH - used, name);
  return true;
}

size_t EncodeEndRecord(const EndOfCentralDirectory& end, const ZoChar* comment, const ZoChar* storedName,
                       uint8_t* out) {
  end.Encode(out);
  size_t used = kEndRecordSize;
  auto put = [&](const ZoChar* text, uint32_t n) {
    for (uint32_t k = 0; k < n; ++k) {
      out[used++] = static_cast<uint8_t>(text[k]);
      out[used++] = static_cast<uint8_t>(text[k] >> 8);
    }
  };
  put(comment, end.commentLength);
  put(storedName, end.archiveNameLength);
  return used;
}

uint64_t FreeKilobytes(const ZoChar* folder) {
  const ZoChar* query = folder && *folder ? folder : u".";
  ZoChar full[ZO_MAX_PATH];
  const uint32_t length = plat::GetFullPath(query, full, ZO_MAX_PATH);
  return ZoGetDiskFreeSpace(length > 0 && length < static_cast<uint32_t>(ZO_MAX_PATH) ? full : query, 1024);
}

std::u16string FoldName(const ZoChar* name, size_t length) {
  std::u16string folded(name, length);
  for (auto& c : folded) c = plat::FoldAscii(c);
  return folded;
}

}  // namespace arc
