// Exact bytes of archives for the tests (see record_builder.h).
#include "tests/archive/record_builder.h"

#include <zlib.h>

#include <stdexcept>

namespace testarc {

void PutU32(std::string& out, uint32_t v) {
  for (int i = 0; i < 4; ++i) out.push_back(static_cast<char>((v >> (8 * i)) & 0xFF));
}

void PutU64(std::string& out, uint64_t v) {
  PutU32(out, static_cast<uint32_t>(v));
  PutU32(out, static_cast<uint32_t>(v >> 32));
}

std::string Utf16Bytes(const std::u16string& text) {
  std::string out;
  for (char16_t c : text) {
    out.push_back(static_cast<char>(c & 0xFF));
    out.push_back(static_cast<char>(c >> 8));
  }
  return out;
}

std::string RawDeflate(const std::string& data, int level) {
  z_stream z{};
  if (deflateInit2(&z, level, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY) != Z_OK) throw std::runtime_error("deflateInit2");
  std::string out(deflateBound(&z, data.size()) + 16, '\0');
  z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data()));
  z.avail_in = static_cast<uInt>(data.size());
  z.next_out = reinterpret_cast<Bytef*>(out.data());
  z.avail_out = static_cast<uInt>(out.size());
  if (deflate(&z, Z_FINISH) != Z_STREAM_END) throw std::runtime_error("deflate");
  out.resize(z.total_out);
  deflateEnd(&z);
  return out;
}

uint32_t Crc32(const std::string& data) {
  return static_cast<uint32_t>(crc32(0, reinterpret_cast<const Bytef*>(data.data()), static_cast<uInt>(data.size())));
}

EntrySpec File(std::u16string name, std::string content, uint32_t compressionType) {
  EntrySpec e;
  e.name = std::move(name);
  e.content = std::move(content);
  e.compressionType = compressionType;
  return e;
}

EntrySpec Folder(std::u16string name) {
  EntrySpec e;
  e.name = std::move(name);
  e.attributes = 0x10;
  return e;
}

namespace {

struct Pieces {
  std::string stream;   // local records back to back
  std::string central;  // central entries back to back
  std::vector<uint64_t> localOffsets;
  std::vector<uint64_t> centralStarts;  // within `central`
};

Pieces Encode(const ArchiveSpec& spec) {
  Pieces p;
  for (const EntrySpec& e : spec.entries) {
    const bool isFolder = (e.attributes & 0x10) != 0;
    std::string stored;
    if (e.storedBytesOverride) {
      stored = *e.storedBytesOverride;
    } else if (!isFolder && !e.content.empty()) {
      stored = e.compressionType == 1 ? RawDeflate(e.content, static_cast<int>(e.compressionLevel)) : e.content;
    }
    const uint32_t crcStored = e.crcCompressedOverride.value_or(stored.empty() ? 0 : Crc32(stored));
    const uint32_t crcPlain = e.crcUncompressedOverride.value_or(e.content.empty() ? 0 : Crc32(e.content));
    const uint64_t packed = e.compressedSizeOverride.value_or(stored.size());
    const uint64_t size = e.uncompressedSizeOverride.value_or(e.content.size());
    const uint64_t localOffset = p.stream.size();
    p.localOffsets.push_back(localOffset);

    // The 48 bytes both headers share (offsets 4..51).
    std::string shared;
    PutU32(shared, e.reserved4);
    PutU32(shared, 0);
    PutU32(shared, e.compressionType);
    PutU32(shared, e.compressionLevel);
    PutU64(shared, e.fileTime);
    PutU32(shared, crcStored);
    PutU32(shared, crcPlain);
    PutU64(shared, packed);
    PutU64(shared, size);

    PutU32(p.stream, 0x0A034D55);
    p.stream += shared;
    PutU32(p.stream, e.attributes);
    PutU32(p.stream, static_cast<uint32_t>(e.name.size()));
    // The local comment has the central comment's length (readers step over both).
    PutU32(p.stream, static_cast<uint32_t>(e.centralComment.size()));
    p.stream += Utf16Bytes(e.name);
    p.stream += Utf16Bytes(e.centralComment);
    p.stream += stored;

    p.centralStarts.push_back(p.central.size());
    PutU32(p.central, e.centralSignatureOverride.value_or(0x0B014D55));
    p.central += shared;
    PutU32(p.central, e.centralNameLengthOverride.value_or(static_cast<uint32_t>(e.name.size())));
    PutU32(p.central, static_cast<uint32_t>(e.centralComment.size()));
    PutU32(p.central, static_cast<uint32_t>(e.centralReserved.size()));
    PutU32(p.central, 0);
    PutU32(p.central, e.attributes);
    PutU32(p.central, 0);
    PutU64(p.central, e.localOffsetOverride.value_or(localOffset));
    p.central += Utf16Bytes(e.name);
    p.central += Utf16Bytes(e.centralComment);
    p.central += Utf16Bytes(e.centralReserved);
  }
  return p;
}

std::string EndRecord(const ArchiveSpec& spec, uint32_t volumeCount, uint64_t centralSize, uint64_t centralOffset,
                      uint64_t base) {
  std::string out;
  const uint32_t count = spec.entryCountOverride.value_or(static_cast<uint32_t>(spec.entries.size()));
  PutU32(out, 0x0C054D55);
  PutU32(out, volumeCount);
  PutU32(out, 0);
  PutU32(out, count);
  PutU32(out, count);
  PutU64(out, spec.centralSizeOverride.value_or(centralSize));
  PutU64(out, spec.centralOffsetOverride.value_or(centralOffset));
  PutU64(out, spec.baseOverride.value_or(base));
  PutU32(out, spec.commentLengthOverride.value_or(static_cast<uint32_t>(spec.comment.size())));
  PutU32(out, static_cast<uint32_t>(spec.storedName.size()));
  PutU32(out, static_cast<uint32_t>(spec.reservedText.size()));
  out += Utf16Bytes(spec.comment);
  out += Utf16Bytes(spec.storedName);
  out += Utf16Bytes(spec.reservedText);
  return out;
}

}  // namespace

std::string Build(const ArchiveSpec& spec, Layout* layout) {
  const Pieces p = Encode(spec);
  const uint64_t base = spec.stub.size();
  std::string out = spec.stub + p.stream + p.central;
  const uint64_t endOffset = out.size();
  out += EndRecord(spec, spec.volumeCount, p.central.size(), p.stream.size(), base);
  out += spec.trailing;
  if (layout) {
    layout->base = base;
    layout->centralOffset = p.stream.size();
    layout->centralSize = p.central.size();
    layout->endOffset = endOffset;
    layout->localOffsets = p.localOffsets;
    layout->centralPositions.clear();
    for (uint64_t s : p.centralStarts) layout->centralPositions.push_back(base + p.stream.size() + s);
  }
  return out;
}

VolumeSet BuildVolumeSet(const ArchiveSpec& spec, uint64_t mainPart, const std::vector<uint64_t>& volumeSizes) {
  const Pieces p = Encode(spec);
  if (mainPart > p.stream.size()) throw std::runtime_error("main part beyond the entry stream");
  VolumeSet set;
  const uint32_t volumeCount = static_cast<uint32_t>(volumeSizes.size() + 1);
  set.main = spec.stub + p.stream.substr(0, mainPart) + p.central +
             EndRecord(spec, volumeCount, p.central.size(), mainPart, spec.stub.size()) + spec.trailing;
  uint64_t at = mainPart;
  for (size_t i = 0; i < volumeSizes.size(); ++i) {
    const bool last = i + 1 == volumeSizes.size();
    const uint64_t take = last ? p.stream.size() - std::min<uint64_t>(at, p.stream.size()) : volumeSizes[i];
    set.volumes.push_back(p.stream.substr(std::min<uint64_t>(at, p.stream.size()), take));
    at += take;
  }
  return set;
}

}  // namespace testarc
