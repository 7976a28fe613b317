// Fuzz target for the PNG loader: a banner picture may come from a file named by
// a package, so its bytes are untrusted. Every input is decoded from memory; a
// delivered DIB is read whole (header, colour table, rows), so that a size that
// disagrees with the block shows up under the sanitizers. Each input is decoded
// twice: as given, and with every chunk CRC repaired, so that mutations reach
// the decoder behind the CRC check.
#include <zlib.h>

#include <cstddef>
#include <cstdint>
#include <vector>

#include "runtime/zo_dib.h"
#include "runtime/zo_png.h"

namespace {

void DecodeAndRead(const uint8_t* data, size_t size) {
  ZoBitmapInfoHeader* dib = nullptr;
  const ZoResult r = ZoDibFromPng(&dib, data, static_cast<long>(size));
  if (ZoFailed(r) != (dib == nullptr)) __builtin_trap();
  if (dib) {
    const size_t table = dib->biCompression == ZO_BI_BITFIELDS ? 12 : dib->biClrUsed * 4u;
    if (dib->biSizeImage != uint64_t{ZoDibStride(dib)} * static_cast<uint32_t>(dib->biHeight)) __builtin_trap();
    const auto* bytes = reinterpret_cast<const uint8_t*>(dib);
    unsigned sum = 0;
    for (size_t i = 0; i < sizeof(ZoBitmapInfoHeader) + table + dib->biSizeImage; ++i) sum += bytes[i];
    if (sum == 0xFFFFFFFFu) __builtin_trap();  // keeps the reads
  }
  ZoDibFree(dib, 0);
}

uint32_t Load32(const uint8_t* p) {
  return (uint32_t{p[0]} << 24) | (uint32_t{p[1]} << 16) | (uint32_t{p[2]} << 8) | p[3];
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  DecodeAndRead(data, size);
  // The chunks start after the 8-byte signature: length, type, data, CRC.
  std::vector<uint8_t> repaired(data, data + size);
  for (size_t pos = 8; pos + 12 <= size;) {
    const uint32_t length = Load32(data + pos);
    if (length > size - pos - 12) break;
    const uLong crc = crc32(0, repaired.data() + pos + 4, length + 4);
    for (int i = 0; i < 4; ++i) repaired[pos + 8 + length + i] = static_cast<uint8_t>(crc >> (24 - 8 * i));
    pos += 12 + size_t{length};
  }
  DecodeAndRead(repaired.data(), repaired.size());
  return 0;
}
