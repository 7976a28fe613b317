// Packed device-independent bitmaps (DIBs) and the pixel-type table that the
// library's image routines share.
//
// A packed DIB is one heap block: a 40-byte bitmap header, then its colour table
// (biClrUsed 4-byte entries) or, for the BI_BITFIELDS types, three 32-bit colour
// masks (red, green, blue), then the pixel rows. Rows are padded to a multiple of
// 4 bytes (stride = ((bits * width + 31) / 32) * 4) and stored bottom-up (the
// last image row first) while biHeight is positive.
//
// The structures below have exactly the bytes of the Windows BITMAPINFOHEADER,
// RGBQUAD and BITMAPINFO on every build (little-endian, no padding), so a
// Windows caller may hand a ZoBitmapInfoHeader* to GDI as a BITMAPINFOHEADER*.
// They carry their own names so that they never collide with <windows.h>.
#pragma once
#include <cstddef>
#include <cstdint>

#include "platform/results.h"

struct ZoBitmapInfoHeader {
  uint32_t biSize;  // 40
  int32_t biWidth;
  int32_t biHeight;  // positive: bottom-up rows
  uint16_t biPlanes;  // 1
  uint16_t biBitCount;
  uint32_t biCompression;  // ZO_BI_* or a four-character code
  uint32_t biSizeImage;  // bytes of the pixel rows: |height| * stride
  int32_t biXPelsPerMeter;
  int32_t biYPelsPerMeter;
  uint32_t biClrUsed;  // colour table entries (0 for the BI_BITFIELDS types)
  uint32_t biClrImportant;
};

struct ZoRgbQuad {
  uint8_t rgbBlue;
  uint8_t rgbGreen;
  uint8_t rgbRed;
  uint8_t rgbReserved;
};

// A header with room for the largest colour table (256 entries), or for the
// three colour masks in the place of the first three entries.
struct ZoBitmapInfo {
  ZoBitmapInfoHeader bmiHeader;
  ZoRgbQuad bmiColors[256];
};

static_assert(sizeof(ZoBitmapInfoHeader) == 40);
static_assert(offsetof(ZoBitmapInfoHeader, biWidth) == 4);
static_assert(offsetof(ZoBitmapInfoHeader, biHeight) == 8);
static_assert(offsetof(ZoBitmapInfoHeader, biPlanes) == 12);
static_assert(offsetof(ZoBitmapInfoHeader, biBitCount) == 14);
static_assert(offsetof(ZoBitmapInfoHeader, biCompression) == 16);
static_assert(offsetof(ZoBitmapInfoHeader, biSizeImage) == 20);
static_assert(offsetof(ZoBitmapInfoHeader, biXPelsPerMeter) == 24);
static_assert(offsetof(ZoBitmapInfoHeader, biYPelsPerMeter) == 28);
static_assert(offsetof(ZoBitmapInfoHeader, biClrUsed) == 32);
static_assert(offsetof(ZoBitmapInfoHeader, biClrImportant) == 36);
static_assert(sizeof(ZoRgbQuad) == 4);
static_assert(offsetof(ZoBitmapInfo, bmiColors) == 40);
static_assert(sizeof(ZoBitmapInfo) == 40 + 256 * 4);

// biCompression values. The four-character codes are their characters in
// memory order read as one little-endian 32-bit number.
inline constexpr uint32_t ZO_BI_RGB = 0;
inline constexpr uint32_t ZO_BI_BITFIELDS = 3;
inline constexpr uint32_t ZoFourCC(char a, char b, char c, char d) {
  return static_cast<uint32_t>(static_cast<uint8_t>(a)) | (static_cast<uint32_t>(static_cast<uint8_t>(b)) << 8) |
         (static_cast<uint32_t>(static_cast<uint8_t>(c)) << 16) |
         (static_cast<uint32_t>(static_cast<uint8_t>(d)) << 24);
}
inline constexpr uint32_t ZO_BI_GREYSCALE = ZoFourCC('Z', 'O', 'G', 'S');  // "ZOGS"
inline constexpr uint32_t ZO_BI_ALPHA = ZoFourCC('Z', 'O', 'D', 'B');      // "ZODB": blue, green, red, alpha

// Pixel types: each fixes bit count, compression and masks (ZoPixelTypeToBitAttribs).
enum ZoPixelType : int {
  ZO_PIXEL_INDEX1 = 16,    // 1 bit, indexed
  ZO_PIXEL_GREY1 = 17,     // 1 bit, greyscale
  ZO_PIXEL_GREY2 = 18,     // 2 bits, greyscale
  ZO_PIXEL_GREY4 = 19,     // 4 bits, greyscale
  ZO_PIXEL_GREY8 = 20,     // 8 bits, greyscale
  ZO_PIXEL_GREY16 = 21,    // 16-bit greyscale samples (little-endian)
  ZO_PIXEL_GREY32 = 22,    // 32-bit greyscale samples
  ZO_PIXEL_INDEX4 = 23,    // 4 bits, indexed (first pixel in the high nibble)
  ZO_PIXEL_INDEX8 = 24,    // 8 bits, indexed
  ZO_PIXEL_RGB555 = 25,    // 16 bits, direct colour, BI_RGB
  ZO_PIXEL_RGB565 = 26,    // 16 bits, BI_BITFIELDS 0xF800 / 0x07E0 / 0x001F
  ZO_PIXEL_BGR24 = 27,     // blue, green, red bytes
  ZO_PIXEL_BGRX32 = 28,    // blue, green, red, unused
  ZO_PIXEL_BGRA32 = 29,    // blue, green, red, alpha bytes ("ZODB")
  ZO_PIXEL_RGB101010 = 30, // 32 bits, BI_BITFIELDS, three 10-bit fields
  ZO_PIXEL_BGRA64 = 31,    // blue, green, red, alpha as 16-bit little-endian samples
  ZO_PIXEL_BGRA128 = 32,   // four 32-bit samples
};

struct ZoColorMasks {
  uint32_t red;
  uint32_t green;
  uint32_t blue;
};

// The attribute record of a pixel type (64 bytes; its size is part of the
// interface, its fields are read by the image routines).
struct ZoBitAttribs {
  uint32_t size;           // 64
  int32_t pixelType;
  uint32_t bitCount;
  uint32_t compression;
  ZoColorMasks masks;      // zero unless BI_BITFIELDS
  uint32_t channels;       // 1 for indexed and greyscale, 3 or 4 for direct colour
  uint32_t bitsPerSample;  // bits of one channel (indexed: bits of an index)
  uint32_t flags;          // ZO_ATTRIB_*
  uint32_t reserved[6];
};
static_assert(sizeof(ZoBitAttribs) == 64);
inline constexpr uint32_t ZO_ATTRIB_INDEXED = 1;
inline constexpr uint32_t ZO_ATTRIB_GREYSCALE = 2;
inline constexpr uint32_t ZO_ATTRIB_ALPHA = 4;

// n one-bits starting at bit `shift`: ZoCreateBitMask(11, 5) => 0xF800. 0 when
// n <= 0; bits beyond bit 31 are dropped (a shift of 32 or more gives 0).
uint32_t ZoCreateBitMask(int shift, int n);

// The bit count of `pixelType` (0 when unknown). Stores the compression when
// `compression` is not null and the masks (zero unless BI_BITFIELDS) when `masks`
// is not null. With `out` given, the 64-byte record is copied when outSize >= 64,
// else the result is 0.
int ZoPixelTypeToBitAttribs(int pixelType, uint32_t* compression, ZoBitAttribs* out, uint32_t outSize,
                            ZoColorMasks* masks);

// Fills `out` for a DIB of the pixel type and size: header, then the colour table
// (`count` entries of `colours`; a negative count is 0, at most 256) or the three
// masks. Without colours and with count 0, types of 8 bits or less get
// biClrUsed = 2^bits - 1 (255 for 8 bits) entries, left zero here. Table entries
// not copied are zeroed. A negative height stands for top-down rows; biSizeImage
// is |height| * stride and is stored in *imageSize when not null.
// E_INVALIDARG: null `out`, unknown pixel type, negative width, or an image size
// that does not fit 32 bits.
ZoResult ZoVideo_InitBitmapInfo(ZoBitmapInfo* out, int pixelType, int width, int height, const ZoRgbQuad* colours,
                                int count, uint32_t* imageSize);

// Flags of ZoDibAlloc.
inline constexpr uint32_t ZO_DIB_ZERO_FILL = 0x1;         // the whole block starts zeroed
inline constexpr uint32_t ZO_DIB_FREE_ON_FAILURE = 0x80000000u;  // kept for callers; the heap block needs no lock

// Allocates a packed DIB: *dib is null first, then the header (built by
// ZoVideo_InitBitmapInfo), colour table or masks and biSizeImage bytes of rows in
// one block. Without ZO_DIB_ZERO_FILL the rows hold whatever the heap held.
// E_INVALIDARG as ZoVideo_InitBitmapInfo or for a null `dib`; E_OUTOFMEMORY.
// The caller releases the DIB with ZoDibFree.
ZoResult ZoDibAlloc(ZoBitmapInfoHeader** dib, int pixelType, int width, int height, const ZoRgbQuad* colours,
                    int count, uint32_t flags);

// Releases a DIB of ZoDibAlloc (or of a loader below); null is accepted. `flags`
// is not used. Always 0.
ZoResult ZoDibFree(ZoBitmapInfoHeader* dib, int flags = 0);

// Layout helpers for a DIB's header: bytes of one row, and where the colour
// table (or masks) and the rows begin.
uint32_t ZoDibStride(const ZoBitmapInfoHeader* dib);
ZoRgbQuad* ZoDibColors(ZoBitmapInfoHeader* dib);
uint8_t* ZoDibBits(ZoBitmapInfoHeader* dib);
