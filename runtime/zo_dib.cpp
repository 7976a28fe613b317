// The pixel-type table and the packed DIB allocator (see zo_dib.h).
#include "runtime/zo_dib.h"

#include <cstdlib>
#include <cstring>

namespace {

struct PixelTypeInfo {
  int type;
  uint16_t bits;
  uint32_t compression;
  uint32_t channels;
  uint32_t bitsPerSample;
  uint32_t flags;
};

constexpr PixelTypeInfo kPixelTypes[] = {
    {ZO_PIXEL_INDEX1, 1, ZO_BI_RGB, 1, 1, ZO_ATTRIB_INDEXED},
    {ZO_PIXEL_GREY1, 1, ZO_BI_GREYSCALE, 1, 1, ZO_ATTRIB_GREYSCALE},
    {ZO_PIXEL_GREY2, 2, ZO_BI_GREYSCALE, 1, 2, ZO_ATTRIB_GREYSCALE},
    {ZO_PIXEL_GREY4, 4, ZO_BI_GREYSCALE, 1, 4, ZO_ATTRIB_GREYSCALE},
    {ZO_PIXEL_GREY8, 8, ZO_BI_GREYSCALE, 1, 8, ZO_ATTRIB_GREYSCALE},
    {ZO_PIXEL_GREY16, 16, ZO_BI_GREYSCALE, 1, 16, ZO_ATTRIB_GREYSCALE},
    {ZO_PIXEL_GREY32, 32, ZO_BI_GREYSCALE, 1, 32, ZO_ATTRIB_GREYSCALE},
    {ZO_PIXEL_INDEX4, 4, ZO_BI_RGB, 1, 4, ZO_ATTRIB_INDEXED},
    {ZO_PIXEL_INDEX8, 8, ZO_BI_RGB, 1, 8, ZO_ATTRIB_INDEXED},
    {ZO_PIXEL_RGB555, 16, ZO_BI_RGB, 3, 5, 0},
    {ZO_PIXEL_RGB565, 16, ZO_BI_BITFIELDS, 3, 5, 0},
    {ZO_PIXEL_BGR24, 24, ZO_BI_RGB, 3, 8, 0},
    {ZO_PIXEL_BGRX32, 32, ZO_BI_RGB, 3, 8, 0},
    {ZO_PIXEL_BGRA32, 32, ZO_BI_ALPHA, 4, 8, ZO_ATTRIB_ALPHA},
    {ZO_PIXEL_RGB101010, 32, ZO_BI_BITFIELDS, 3, 10, 0},
    {ZO_PIXEL_BGRA64, 64, ZO_BI_ALPHA, 4, 16, ZO_ATTRIB_ALPHA},
    {ZO_PIXEL_BGRA128, 128, ZO_BI_ALPHA, 4, 32, ZO_ATTRIB_ALPHA},
};

const PixelTypeInfo* FindPixelType(int type) {
  for (const auto& info : kPixelTypes) {
    if (info.type == type) return &info;
  }
  return nullptr;
}

ZoColorMasks MasksOf(int type) {
  if (type == ZO_PIXEL_RGB565) return {ZoCreateBitMask(11, 5), ZoCreateBitMask(5, 6), ZoCreateBitMask(0, 5)};
  if (type == ZO_PIXEL_RGB101010) return {ZoCreateBitMask(20, 10), ZoCreateBitMask(10, 10), ZoCreateBitMask(0, 10)};
  return {0, 0, 0};
}

// Bytes of the colour table or masks that follow the header.
uint32_t TableBytes(const ZoBitmapInfoHeader& h) {
  return h.biCompression == ZO_BI_BITFIELDS ? 3 * sizeof(uint32_t) : h.biClrUsed * sizeof(ZoRgbQuad);
}

}  // namespace

uint32_t ZoCreateBitMask(int shift, int n) {
  if (n <= 0 || shift < 0 || shift >= 32) return 0;
  const uint64_t ones = n >= 64 ? ~uint64_t{0} : (uint64_t{1} << n) - 1;
  return static_cast<uint32_t>(ones << shift);
}

int ZoPixelTypeToBitAttribs(int pixelType, uint32_t* compression, ZoBitAttribs* out, uint32_t outSize,
                            ZoColorMasks* masks) {
  const PixelTypeInfo* info = FindPixelType(pixelType);
  const ZoColorMasks m = MasksOf(pixelType);
  if (compression) *compression = info ? info->compression : 0;
  if (masks) *masks = m;
  if (!info) return 0;
  if (out) {
    if (outSize < sizeof(ZoBitAttribs)) return 0;
    ZoBitAttribs a{};
    a.size = sizeof(ZoBitAttribs);
    a.pixelType = pixelType;
    a.bitCount = info->bits;
    a.compression = info->compression;
    a.masks = m;
    a.channels = info->channels;
    a.bitsPerSample = info->bitsPerSample;
    a.flags = info->flags;
    std::memcpy(out, &a, sizeof a);
  }
  return info->bits;
}

ZoResult ZoVideo_InitBitmapInfo(ZoBitmapInfo* out, int pixelType, int width, int height, const ZoRgbQuad* colours,
                                int count, uint32_t* imageSize) {
  if (!out) return E_INVALIDARG;
  uint32_t compression = 0;
  const int bits = ZoPixelTypeToBitAttribs(pixelType, &compression, nullptr, 0, nullptr);
  if (bits == 0 || width < 0) return E_INVALIDARG;
  const uint64_t stride = ((static_cast<uint64_t>(bits) * static_cast<uint64_t>(width) + 31) / 32) * 4;
  const uint64_t rows = height < 0 ? -static_cast<int64_t>(height) : height;
  const uint64_t size = stride * rows;
  if (size > UINT32_MAX) return E_INVALIDARG;

  std::memset(out, 0, sizeof *out);
  ZoBitmapInfoHeader& h = out->bmiHeader;
  h.biSize = sizeof(ZoBitmapInfoHeader);
  h.biWidth = width;
  h.biHeight = height;
  h.biPlanes = 1;
  h.biBitCount = static_cast<uint16_t>(bits);
  h.biCompression = compression;
  h.biSizeImage = static_cast<uint32_t>(size);
  if (compression == ZO_BI_BITFIELDS) {
    const ZoColorMasks m = MasksOf(pixelType);
    const uint32_t words[3] = {m.red, m.green, m.blue};
    std::memcpy(out->bmiColors, words, sizeof words);
  } else {
    if (count < 0) count = 0;
    if (count > 256) count = 256;
    if (colours && count > 0) {
      std::memcpy(out->bmiColors, colours, static_cast<size_t>(count) * sizeof(ZoRgbQuad));
    } else if (!colours && count == 0 && bits <= 8) {
      count = (1 << bits) - 1;  // 255 for 8 bits, as the format has always had it
    }
    h.biClrUsed = static_cast<uint32_t>(count);
  }
  if (imageSize) *imageSize = h.biSizeImage;
  return S_OK;
}

ZoResult ZoDibAlloc(ZoBitmapInfoHeader** dib, int pixelType, int width, int height, const ZoRgbQuad* colours,
                    int count, uint32_t flags) {
  if (!dib) return E_INVALIDARG;
  *dib = nullptr;
  ZoBitmapInfo info;
  uint32_t imageSize = 0;
  const ZoResult r = ZoVideo_InitBitmapInfo(&info, pixelType, width, height, colours, count, &imageSize);
  if (ZoFailed(r)) return r;
  const uint32_t tableBytes = TableBytes(info.bmiHeader);
  const uint64_t total = uint64_t{sizeof(ZoBitmapInfoHeader)} + tableBytes + imageSize;
  if (total > SIZE_MAX) return E_OUTOFMEMORY;
  void* block = (flags & ZO_DIB_ZERO_FILL) ? std::calloc(1, static_cast<size_t>(total))
                                           : std::malloc(static_cast<size_t>(total));
  if (!block) return E_OUTOFMEMORY;
  std::memcpy(block, &info, sizeof(ZoBitmapInfoHeader) + tableBytes);
  *dib = static_cast<ZoBitmapInfoHeader*>(block);
  return S_OK;
}

ZoResult ZoDibFree(ZoBitmapInfoHeader* dib, int) {
  std::free(dib);
  return S_OK;
}

uint32_t ZoDibStride(const ZoBitmapInfoHeader* dib) {
  if (!dib) return 0;
  const uint64_t width = dib->biWidth < 0 ? 0 : static_cast<uint64_t>(dib->biWidth);
  return static_cast<uint32_t>(((dib->biBitCount * width + 31) / 32) * 4);
}

ZoRgbQuad* ZoDibColors(ZoBitmapInfoHeader* dib) {
  return dib ? reinterpret_cast<ZoRgbQuad*>(reinterpret_cast<uint8_t*>(dib) + dib->biSize) : nullptr;
}

uint8_t* ZoDibBits(ZoBitmapInfoHeader* dib) {
  return dib ? reinterpret_cast<uint8_t*>(dib) + dib->biSize + TableBytes(*dib) : nullptr;
}
