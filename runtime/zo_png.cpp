// PNG decoding into packed DIBs with libpng (see zo_png.h).
//
// libpng reports every error by long-jumping back to the setjmp in RunDecode.
// Nothing with a destructor may live in the frames it jumps over: RunDecode,
// DecodeBody, the read callbacks and libpng's own frames hold only plain data
// and raw pointers. Everything that must be released after a jump (the libpng
// structures and the DIB) lives in a DecodeJob owned by the caller's frame, so
// that its fields are read from memory, not from registers the jump restored.
#include "runtime/zo_png.h"

#include <png.h>

#include <cmath>
#include <csetjmp>
#include <cstring>

#include "platform/file.h"
#include "platform/resources.h"

namespace {

constexpr uint8_t kSignature[8] = {137, 80, 78, 71, 13, 10, 26, 10};
constexpr size_t kSignatureSize = sizeof kSignature;
constexpr double kScreenGamma = 2.2;

// The bytes of a resource or of the caller's block; the position starts after
// the signature, which was checked before libpng runs.
struct MemorySource {
  const uint8_t* data;
  size_t size;
  size_t position;
};

struct DecodeJob {
  png_rw_ptr read;
  void* source;  // MemorySource* or plat::File*
  png_structp png;
  png_infop info;
  ZoBitmapInfoHeader* dib;
  ZoResult result;
  ZoRgbQuad palette[256];
};

// A request that the data cannot satisfy is an error, never a short or stale row.
void ReadFromMemory(png_structp png, png_bytep out, size_t length) {
  auto* s = static_cast<MemorySource*>(png_get_io_ptr(png));
  if (s->position > s->size || length > s->size - s->position) png_error(png, "read beyond the data");
  std::memcpy(out, s->data + s->position, length);
  s->position += length;
}

void ReadFromFile(png_structp png, png_bytep out, size_t length) {
  auto* file = static_cast<plat::File*>(png_get_io_ptr(png));
  size_t got = 0;
  if (!file->Read(out, length, &got) || got != length) png_error(png, "read beyond the end of the file");
}

// libpng's default handlers print to standard error; a library stays quiet and
// reports through its result.
void OnPngError(png_structp png, png_const_charp) { png_longjmp(png, 1); }
void OnPngWarning(png_structp, png_const_charp) {}

// The pixel type for a colour type and bit depth (0: unsupported).
int ChoosePixelType(int colourType, int depth, bool transparent) {
  switch (colourType) {
    case PNG_COLOR_TYPE_GRAY:
      if (depth == 16) return transparent ? ZO_PIXEL_BGRA64 : ZO_PIXEL_GREY16;
      if (transparent) return (depth == 1 || depth == 2 || depth == 4 || depth == 8) ? ZO_PIXEL_BGRA32 : 0;
      return depth == 1 ? ZO_PIXEL_GREY1 : depth == 2 ? ZO_PIXEL_GREY2 : depth == 4 ? ZO_PIXEL_GREY4
             : depth == 8 ? ZO_PIXEL_GREY8 : 0;
    case PNG_COLOR_TYPE_RGB:
      if (depth == 16) return ZO_PIXEL_BGRA64;
      if (depth == 8) return transparent ? ZO_PIXEL_BGRA32 : ZO_PIXEL_BGR24;
      return 0;
    case PNG_COLOR_TYPE_PALETTE:
      if (depth != 1 && depth != 2 && depth != 4 && depth != 8) return 0;
      if (transparent) return ZO_PIXEL_BGRA32;
      return (depth == 1 || depth == 8) ? ZO_PIXEL_INDEX8 : ZO_PIXEL_INDEX4;
    case PNG_COLOR_TYPE_GRAY_ALPHA:
    case PNG_COLOR_TYPE_RGB_ALPHA:
      return depth == 8 ? ZO_PIXEL_BGRA32 : depth == 16 ? ZO_PIXEL_BGRA64 : 0;
    default:
      return 0;
  }
}

// Three bytes per pixel (blue, green, red) become four in place, from the end of
// the row; alpha is 0 exactly where the pixel is the tRNS colour.
void WidenRow8(uint8_t* row, uint32_t width, bool transparent, const png_color_16& key, bool grey) {
  for (uint32_t x = width; x-- > 0;) {
    const uint8_t b = row[3 * x], g = row[3 * x + 1], r = row[3 * x + 2];
    const bool match = transparent && (grey ? (r == key.gray && g == key.gray && b == key.gray)
                                            : (r == key.red && g == key.green && b == key.blue));
    row[4 * x] = b;
    row[4 * x + 1] = g;
    row[4 * x + 2] = r;
    row[4 * x + 3] = match ? 0 : 0xFF;
  }
}

uint16_t Load16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }
void Store16(uint8_t* p, uint16_t v) {
  p[0] = static_cast<uint8_t>(v);
  p[1] = static_cast<uint8_t>(v >> 8);
}

// The same for three little-endian 16-bit samples becoming four.
void WidenRow16(uint8_t* row, uint32_t width, bool transparent, const png_color_16& key, bool grey) {
  for (uint32_t x = width; x-- > 0;) {
    const uint16_t b = Load16(row + 6 * x), g = Load16(row + 6 * x + 2), r = Load16(row + 6 * x + 4);
    const bool match = transparent && (grey ? (r == key.gray && g == key.gray && b == key.gray)
                                            : (r == key.red && g == key.green && b == key.blue));
    Store16(row + 8 * x, b);
    Store16(row + 8 * x + 2, g);
    Store16(row + 8 * x + 4, r);
    Store16(row + 8 * x + 6, match ? 0 : 0xFFFF);
  }
}

// Four 2-bit indices per byte become two 4-bit ones, first pixel in the high
// nibble. Working in pixel pairs from the end, both source indices of a pair are
// read before its byte is written, and that byte only overlaps source bytes of
// pixels already converted.
void WidenIndices2To4(uint8_t* row, uint32_t width) {
  auto index = [row](uint32_t x) { return (row[x / 4] >> (6 - 2 * (x % 4))) & 3; };
  for (uint32_t pair = (width + 1) / 2; pair-- > 0;) {
    const uint32_t x = 2 * pair;
    const int high = index(x);
    const int low = x + 1 < width ? index(x + 1) : 0;
    row[pair] = static_cast<uint8_t>((high << 4) | low);
  }
}

// Whether the first `width` indices of a row (`bits` each, first in the high
// bits) are below `entries`.
bool IndicesWithin(const uint8_t* row, uint32_t width, uint32_t bits, uint32_t entries) {
  const uint32_t mask = (1u << bits) - 1;
  for (uint32_t x = 0; x < width; ++x) {
    const uint64_t bit = uint64_t{x} * bits;
    const uint32_t index = (row[bit / 8] >> (8 - bits - bit % 8)) & mask;
    if (index >= entries) return false;
  }
  return true;
}

// One index per byte becomes blue, green, red, alpha in place, from the end of
// the row; indices without a tRNS alpha are opaque. The indices were checked.
void ExpandPaletteRow(uint8_t* row, uint32_t width, const png_color* palette, const png_byte* alphas,
                      int alphaCount) {
  for (uint32_t x = width; x-- > 0;) {
    const uint8_t i = row[x];
    row[4 * x] = palette[i].blue;
    row[4 * x + 1] = palette[i].green;
    row[4 * x + 2] = palette[i].red;
    row[4 * x + 3] = (alphas && i < alphaCount) ? alphas[i] : 0xFF;
  }
}

// Clears the bits after the last pixel of a row of 1, 2 or 4 bits per pixel (the
// file's padding bits are not ours to pass on).
void ClearRowTail(uint8_t* row, uint32_t width, uint32_t bits) {
  const uint64_t used = uint64_t{width} * bits;
  if (used % 8) row[used / 8] &= static_cast<uint8_t>(0xFF00u >> (used % 8));
}

// The libpng work between the setjmp and the end. Errors that are not libpng's
// own are raised with png_error too, so every failure takes the same road.
ZoResult DecodeBody(DecodeJob* job) {
  png_structp png = job->png;
  png_infop info = job->info;
  png_set_user_limits(png, ZO_PNG_MAX_SIDE, ZO_PNG_MAX_SIDE);
  // A damaged ancillary chunk is damage too.
  png_set_crc_action(png, PNG_CRC_ERROR_QUIT, PNG_CRC_ERROR_QUIT);
  png_set_sig_bytes(png, static_cast<int>(kSignatureSize));
  png_set_read_fn(png, job->source, job->read);
  png_read_info(png, info);

  png_uint_32 width = 0, height = 0;
  int depth = 0, colourType = 0, interlace = 0;
  png_get_IHDR(png, info, &width, &height, &depth, &colourType, &interlace, nullptr, nullptr);
  double fileGamma = 0;
  const bool hasGamma = png_get_gAMA(png, info, &fileGamma) != 0;
  if (hasGamma) png_set_gamma(png, kScreenGamma, fileGamma);

  const bool transparent = png_get_valid(png, info, PNG_INFO_tRNS) != 0;
  const int pixelType = ChoosePixelType(colourType, depth, transparent);
  if (pixelType == 0) png_error(png, "unsupported colour type and bit depth");
  const int bits = ZoPixelTypeToBitAttribs(pixelType, nullptr, nullptr, 0, nullptr);
  const uint64_t stride = ((uint64_t{static_cast<uint32_t>(bits)} * width + 31) / 32) * 4;
  if (width == 0 || height == 0 || width > ZO_PNG_MAX_SIDE || height > ZO_PNG_MAX_SIDE ||
      stride * height > ZO_PNG_MAX_PIXEL_BYTES) {
    png_error(png, "picture beyond the size limit");
  }

  int colourCount = 0;
  const bool indexed = pixelType == ZO_PIXEL_INDEX4 || pixelType == ZO_PIXEL_INDEX8;
  if (indexed) {
    png_colorp plte = nullptr;
    int entries = 0;
    if (!png_get_PLTE(png, info, &plte, &entries) || !plte) entries = 0;
    colourCount = entries < 0 ? 0 : entries > (1 << depth) ? (1 << depth) : entries;
    // Palette colours get the same display correction libpng gives the samples
    // of the other types (file gamma against the screen's 2.2), so a picture
    // looks the same stored with a palette or as RGB; correcting by the file
    // gamma alone would decode to linear light and show an sRGB palette far too dark.
    const bool correct = hasGamma && fileGamma != 1.0 && fileGamma >= 0.000005;
    auto component = [&](png_byte v) -> uint8_t {
      if (!correct) return v;
      return static_cast<uint8_t>(255.0 * std::pow(v / 255.0, 1.0 / (fileGamma * kScreenGamma)));
    };
    for (int i = 0; i < colourCount; ++i) {
      job->palette[i] = ZoRgbQuad{component(plte[i].blue), component(plte[i].green), component(plte[i].red), 255};
    }
  }

  const ZoResult allocated = ZoDibAlloc(&job->dib, pixelType, static_cast<int>(width), static_cast<int>(height),
                                        indexed ? job->palette : nullptr, colourCount, ZO_DIB_ZERO_FILL);
  if (ZoFailed(allocated)) return allocated;

  const bool grey = colourType == PNG_COLOR_TYPE_GRAY || colourType == PNG_COLOR_TYPE_GRAY_ALPHA;
  if ((colourType == PNG_COLOR_TYPE_GRAY && transparent) || colourType == PNG_COLOR_TYPE_GRAY_ALPHA) {
    if (depth < 8) png_set_expand(png);
    png_set_gray_to_rgb(png);
  }
  // A palette with tRNS is expanded here, after the index check, rather than by
  // png_set_expand, which would hide indices beyond the palette (as opaque
  // black); the result is byte for byte libpng's. With a gamma, libpng's
  // expansion also gamma-corrects the colours, so it does the work then, and
  // such indices go unnoticed (they are still read safely: libpng's palette
  // always has 256 entries).
  const bool palette = colourType == PNG_COLOR_TYPE_PALETTE;
  const bool expandHere = palette && transparent && !hasGamma;
  const bool expandByLibpng = palette && transparent && hasGamma;
  if (expandByLibpng) png_set_expand(png);
  if (palette && (expandHere || depth == 1)) png_set_packing(png);
  if (depth == 16) png_set_swap(png);
  if (colourType == PNG_COLOR_TYPE_RGB || colourType == PNG_COLOR_TYPE_RGB_ALPHA || expandByLibpng) {
    png_set_bgr(png);
  }
  const int passes = png_set_interlace_handling(png);
  png_read_update_info(png, info);
  if (png_get_rowbytes(png, info) > stride) png_error(png, "decoded row longer than the bitmap row");

  uint8_t* pixels = ZoDibBits(job->dib);
  for (int pass = 0; pass < passes; ++pass) {
    for (png_uint_32 y = 0; y < height; ++y) png_read_row(png, pixels + (height - 1 - y) * stride, nullptr);
  }
  // libpng only warns about indices beyond the palette; they are damage here.
  // They are checked while the rows still hold indices (1 byte each after
  // packing, else the file's packed indices).
  png_colorp plte = nullptr;
  int entries = 0;
  if (palette && !expandByLibpng) {
    if (!png_get_PLTE(png, info, &plte, &entries) || !plte) png_error(png, "no palette");
    const uint32_t indexBits = depth == 8 || depth == 1 || transparent ? 8u : static_cast<uint32_t>(depth);
    for (png_uint_32 y = 0; y < height; ++y) {
      if (!IndicesWithin(pixels + y * stride, width, indexBits, static_cast<uint32_t>(entries))) {
        png_error(png, "palette index beyond the palette");
      }
    }
  }
  png_bytep alphas = nullptr;
  int alphaCount = 0;
  png_color_16p key = nullptr;
  png_color_16 noKey{};
  if (!transparent || !png_get_tRNS(png, info, &alphas, &alphaCount, &key) || !key) key = &noKey;
  for (png_uint_32 y = 0; y < height; ++y) {
    uint8_t* row = pixels + y * stride;
    if (pixelType == ZO_PIXEL_BGRA32 && depth == 8 && transparent &&
        (colourType == PNG_COLOR_TYPE_RGB || colourType == PNG_COLOR_TYPE_GRAY)) {
      WidenRow8(row, width, true, *key, grey);
    } else if (pixelType == ZO_PIXEL_BGRA64 &&
               (colourType == PNG_COLOR_TYPE_RGB || (colourType == PNG_COLOR_TYPE_GRAY && transparent))) {
      WidenRow16(row, width, transparent, *key, grey);
    } else if (expandHere) {
      ExpandPaletteRow(row, width, plte, alphas, alphaCount);
    } else if (pixelType == ZO_PIXEL_INDEX4 && depth == 2) {
      WidenIndices2To4(row, width);
    }
    if (bits < 8) ClearRowTail(row, width, static_cast<uint32_t>(bits));
  }
  png_read_end(png, nullptr);
  return S_OK;
}

// Runs one decode over job->read / job->source. The job belongs to the caller's
// frame; on success job->dib is the caller's, on failure it is freed and null.
ZoResult RunDecode(DecodeJob* job) {
  job->png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, OnPngError, OnPngWarning);
  if (!job->png) return E_FAIL;
  job->info = png_create_info_struct(job->png);
  if (!job->info) {
    png_destroy_read_struct(&job->png, nullptr, nullptr);
    return E_FAIL;
  }
  job->result = E_FAIL;  // what a jump leaves
  if (setjmp(png_jmpbuf(job->png)) == 0) job->result = DecodeBody(job);
  png_destroy_read_struct(&job->png, &job->info, nullptr);
  if (ZoFailed(job->result)) {
    ZoDibFree(job->dib);
    job->dib = nullptr;
  }
  return job->result;
}

ZoResult DecodeMemory(ZoBitmapInfoHeader** dib, const uint8_t* data, size_t size) {
  const size_t prefix = size < kSignatureSize ? size : kSignatureSize;
  if (std::memcmp(data, kSignature, prefix) != 0) return ZO_E_BAD_FORMAT;
  MemorySource source{data, size, kSignatureSize};
  DecodeJob job{};
  job.read = ReadFromMemory;
  job.source = &source;
  const ZoResult r = RunDecode(&job);
  *dib = job.dib;
  return r;
}

}  // namespace

ZoResult ZoDibFromPng(ZoBitmapInfoHeader** dib, const void* data, long size) {
  if (!dib) return E_INVALIDARG;
  *dib = nullptr;
  if (size < 0 || (!data && size > 0)) return E_INVALIDARG;
  static const uint8_t kNothing = 0;
  return DecodeMemory(dib, data ? static_cast<const uint8_t*>(data) : &kNothing, static_cast<size_t>(size));
}

ZoResult ZoLoadPngDib(HZOLANG lang, const ZoChar* name, uint32_t flags, ZoBitmapInfoHeader** dib) {
  if (!dib) return E_INVALIDARG;
  *dib = nullptr;
  if (flags & ZO_PNG_FROM_FILE) {
    if (!name) return E_INVALIDARG;
    plat::File file = plat::File::Open(name, plat::Access::Read, plat::kShareRead, plat::Disposition::OpenExisting);
    if (!file) return ZO_E_CANNOT_OPEN;
    uint8_t signature[kSignatureSize];
    size_t got = 0;
    if (!file.Read(signature, sizeof signature, &got) || got != sizeof signature ||
        std::memcmp(signature, kSignature, sizeof signature) != 0) {
      return ZO_E_BAD_FORMAT;
    }
    DecodeJob job{};
    job.read = ReadFromFile;
    job.source = &file;
    const ZoResult r = RunDecode(&job);
    *dib = job.dib;
    return r;
  }
  uint32_t size = 0;
  const void* data = ZoLoadResourceCustom(lang, name, plat::ResourceId(ZO_PNG_RESOURCE_TYPE), &size);
  if (!data) data = ZoLoadResourceCustom(lang, name, u"BINARY", &size);
  if (!data || size == 0) return ZO_E_RESOURCE_NOT_FOUND;
  return DecodeMemory(dib, static_cast<const uint8_t*>(data), size);
}

ZoResult ZoLoadResourcePngDibEx(HZOLANG lang, const ZoChar* name, ZoBitmapInfoHeader** dib) {
  return ZoLoadPngDib(lang, name, 0, dib);
}

ZoBitmapInfoHeader* ZoLoadResourcePngDib(HZOLANG lang, const ZoChar* name) {
  ZoBitmapInfoHeader* dib = nullptr;
  ZoLoadResourcePngDibEx(lang, name, &dib);
  return dib;
}

ZoResult ZoLoadDiskPngDibEx(const ZoChar* path, ZoBitmapInfoHeader** dib) {
  return ZoLoadPngDib(nullptr, path, ZO_PNG_FROM_FILE, dib);
}

ZoBitmapInfoHeader* ZoLoadDiskPngDib(const ZoChar* path) {
  ZoBitmapInfoHeader* dib = nullptr;
  ZoLoadDiskPngDibEx(path, &dib);
  return dib;
}
