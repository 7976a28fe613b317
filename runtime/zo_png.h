// PNG pictures (the installer's banner) decoded into packed DIBs (zo_dib.h).
//
// The output format follows the picture:
//   greyscale 1/2/4/8 bits          -> pixel types 17-20 ("ZOGS"), biClrUsed 2^bits - 1, table zero
//   greyscale 16 bits               -> 21, 16-bit little-endian samples
//   palette 1 or 8 bits             -> 24, one index per byte, colour table from PLTE
//   palette 2 or 4 bits             -> 23, two 4-bit indices per byte (high nibble first)
//   RGB 8 bits                      -> 27, blue, green, red
//   anything with alpha or tRNS     -> 29 (blue, green, red, alpha bytes) or, for 16-bit
//                                      samples, 31 (four 16-bit little-endian samples);
//                                      a tRNS colour gives alpha 0 exactly at that colour
// Rows are bottom-up and the whole DIB (padding, unused bits, unset table
// entries) is zero where no pixel was written. A gAMA chunk gamma-corrects the
// samples for a screen gamma of 2.2, and a palette's entries v the same way:
// 255 * (v / 255)^(1 / (file gamma * 2.2)), truncated.
//
// Limits: a picture wider or taller than ZO_PNG_MAX_SIDE pixels, or whose pixel
// rows would take more than ZO_PNG_MAX_PIXEL_BYTES, is refused with E_FAIL before
// anything is allocated for it.
//
// Results: 0 DIB delivered; E_INVALIDARG null path or argument; ZO_E_CANNOT_OPEN
// (0x8004E007) the file cannot be opened; ZO_E_BAD_FORMAT (0x8004E00B) not a PNG
// signature (or fewer than 8 bytes in a file); ZO_E_RESOURCE_NOT_FOUND
// (0x8004E00E) no resource under type 32 nor "BINARY", or an empty one; E_FAIL
// any damage found while decoding (truncated data, a bad CRC in any chunk, bad
// chunk lengths, a palette index beyond the palette - except in a picture with
// both tRNS and gAMA, whose expansion libpng does and which shows such pixels
// opaque black), an unsupported format or a picture beyond the limits;
// E_OUTOFMEMORY. On every failure *dib is null and nothing is kept.
//
// No shared state: the routines may run on any thread.
#pragma once
#include <cstdint>

#include "platform/results.h"
#include "platform/types.h"
#include "runtime/zo_dib.h"
#include "runtime/zo_lang.h"

inline constexpr uint32_t ZO_PNG_MAX_SIDE = 16384;                 // pixels
inline constexpr uint64_t ZO_PNG_MAX_PIXEL_BYTES = 256ull << 20;    // bytes of the DIB's rows

// The resource type the loaders try first (the type name "BINARY" second).
inline constexpr uint16_t ZO_PNG_RESOURCE_TYPE = 32;

// Flags of ZoLoadPngDib.
inline constexpr uint32_t ZO_PNG_FROM_FILE = 0x1;  // `name` is a file path, else a resource name or id

// Loads a PNG from a file (ZO_PNG_FROM_FILE) or from a resource looked up
// through `lang` by name or integer id (plat::ResourceId), type 32 first, then
// the type named "BINARY". *dib receives the DIB or null.
ZoResult ZoLoadPngDib(HZOLANG lang, const ZoChar* name, uint32_t flags, ZoBitmapInfoHeader** dib);

ZoResult ZoLoadResourcePngDibEx(HZOLANG lang, const ZoChar* name, ZoBitmapInfoHeader** dib);
ZoBitmapInfoHeader* ZoLoadResourcePngDib(HZOLANG lang, const ZoChar* name);  // null on failure
ZoResult ZoLoadDiskPngDibEx(const ZoChar* path, ZoBitmapInfoHeader** dib);
ZoBitmapInfoHeader* ZoLoadDiskPngDib(const ZoChar* path);  // null on failure

// Decodes `size` bytes at `data`. The first min(size, 8) bytes must match the
// PNG signature (ZO_E_BAD_FORMAT otherwise); shorter data then fails with
// E_FAIL. *dib is always written.
ZoResult ZoDibFromPng(ZoBitmapInfoHeader** dib, const void* data, long size);
