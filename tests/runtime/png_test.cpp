// PNG loading: pictures written here with libpng's writer (every colour type and
// bit depth, with and without tRNS, interlaced, with gAMA) are decoded and the DIB
// is compared byte by byte with one computed straight from the source samples;
// then the resource lookups, the limits and damaged files.
#include <gtest/gtest.h>
#include <png.h>
#include <zlib.h>

#include <cmath>
#include <csetjmp>
#include <cstring>
#include <string>
#include <vector>

#include "lang_test_support.h"
#include "platform/file.h"
#include "platform/resources.h"
#include "runtime/zo_dib.h"
#include "runtime/zo_png.h"

namespace {

using Bytes = std::vector<uint8_t>;

// A picture to write: samples[y][x * channels + c] in the range of the depth.
struct Picture {
  int colourType = PNG_COLOR_TYPE_RGB;
  int depth = 8;
  uint32_t width = 13, height = 9;
  bool interlaced = false;
  std::vector<uint32_t> samples;  // row-major, `channels` per pixel
  std::vector<png_color> palette;
  bool trns = false;
  png_color_16 key{};              // tRNS colour (grey, RGB)
  std::vector<png_byte> alphas;    // tRNS alphas (palette)
  uint32_t gammaFixed = 0;         // gAMA chunk in units of 1/100000, 0: none
  bool checkIndices = true;

  int Channels() const {
    switch (colourType) {
      case PNG_COLOR_TYPE_RGB: return 3;
      case PNG_COLOR_TYPE_RGB_ALPHA: return 4;
      case PNG_COLOR_TYPE_GRAY_ALPHA: return 2;
      default: return 1;
    }
  }
  uint32_t At(uint32_t x, uint32_t y, int c) const { return samples[(y * width + x) * Channels() + c]; }
};

void AppendBytes(png_structp png, png_bytep data, size_t length) {
  auto* out = static_cast<Bytes*>(png_get_io_ptr(png));
  out->insert(out->end(), data, data + length);
}
void NoFlush(png_structp) {}

// The libpng part of the writer: only plain data in this frame, for the jump.
bool WriteWithLibpng(const Picture* p, png_bytepp rows, Bytes* out) {
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png_create_info_struct(png);
  if (setjmp(png_jmpbuf(png))) {
    png_destroy_write_struct(&png, &info);
    return false;
  }
  png_set_write_fn(png, out, AppendBytes, NoFlush);
  if (!p->checkIndices) png_set_check_for_invalid_index(png, 0);
  png_set_IHDR(png, info, p->width, p->height, p->depth, p->colourType,
               p->interlaced ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
               PNG_FILTER_TYPE_DEFAULT);
  if (!p->palette.empty()) png_set_PLTE(png, info, p->palette.data(), static_cast<int>(p->palette.size()));
  if (p->trns) {
    png_color_16 key = p->key;
    png_set_tRNS(png, info, p->alphas.empty() ? nullptr : p->alphas.data(), static_cast<int>(p->alphas.size()),
                 &key);
  }
  if (p->gammaFixed) png_set_gAMA_fixed(png, info, static_cast<png_fixed_point>(p->gammaFixed));
  png_write_info(png, info);
  png_write_image(png, rows);
  png_write_end(png, info);
  png_destroy_write_struct(&png, &info);
  return true;
}

// Packs the samples as the file stores them (big-endian, sub-byte MSB first).
Bytes Encode(const Picture& p) {
  const size_t rowBytes = (size_t{p.width} * p.Channels() * p.depth + 7) / 8;
  std::vector<Bytes> rows(p.height, Bytes(rowBytes, 0));
  for (uint32_t y = 0; y < p.height; ++y) {
    for (uint32_t i = 0; i < p.width * p.Channels(); ++i) {
      const uint32_t v = p.samples[y * p.width * p.Channels() + i];
      if (p.depth == 16) {
        rows[y][2 * i] = static_cast<uint8_t>(v >> 8);
        rows[y][2 * i + 1] = static_cast<uint8_t>(v);
      } else if (p.depth == 8) {
        rows[y][i] = static_cast<uint8_t>(v);
      } else {
        const size_t bit = size_t{i} * p.depth;
        rows[y][bit / 8] |= static_cast<uint8_t>(v << (8 - p.depth - bit % 8));
      }
    }
  }
  std::vector<png_bytep> pointers;
  for (auto& r : rows) pointers.push_back(r.data());
  Bytes out;
  EXPECT_TRUE(WriteWithLibpng(&p, pointers.data(), &out));
  return out;
}

// A picture of the given format with varied samples, a palette and a tRNS key
// that occurs in it (pixel 0) next to pixels that differ from it in one channel.
Picture MakePicture(int colourType, int depth, bool trns, bool interlaced) {
  Picture p;
  p.colourType = colourType;
  p.depth = depth;
  p.interlaced = interlaced;
  p.trns = trns;
  uint32_t max = (1u << depth) - 1;
  if (colourType == PNG_COLOR_TYPE_PALETTE) {
    const int entries = depth == 1 ? 2 : depth == 2 ? 3 : depth == 4 ? 11 : 200;
    for (int i = 0; i < entries; ++i) {
      p.palette.push_back(png_color{static_cast<png_byte>(i * 37 + 5), static_cast<png_byte>(255 - i * 11),
                                    static_cast<png_byte>(i * 101)});
    }
    max = static_cast<uint32_t>(entries - 1);
    if (trns) p.alphas = {0, 128, 255, 7};
    if (trns && entries < 4) p.alphas.resize(static_cast<size_t>(entries));
  }
  uint32_t seed = 12345u + static_cast<uint32_t>(colourType * 31 + depth);
  for (uint32_t i = 0; i < p.width * p.height * p.Channels(); ++i) {
    seed = seed * 1103515245u + 12345u;
    p.samples.push_back((seed >> 8) % (max + 1));
  }
  if (trns && colourType != PNG_COLOR_TYPE_PALETTE) {
    const int c = p.Channels();
    if (c == 3) {
      p.key.red = static_cast<png_uint_16>(p.samples[0]);
      p.key.green = static_cast<png_uint_16>(p.samples[1]);
      p.key.blue = static_cast<png_uint_16>(p.samples[2]);
      for (int k = 0; k < 3; ++k) {  // pixels 1-3: the key with one channel changed
        for (int j = 0; j < 3; ++j) p.samples[static_cast<size_t>((1 + k) * 3 + j)] = p.samples[static_cast<size_t>(j)];
        p.samples[static_cast<size_t>((1 + k) * 3 + k)] ^= 1;
      }
      for (int j = 0; j < 3; ++j) p.samples[static_cast<size_t>(20 * 3 + j)] = p.samples[static_cast<size_t>(j)];
    } else {
      p.key.gray = static_cast<png_uint_16>(p.samples[0]);
      p.samples[7] = p.samples[0];
    }
  }
  return p;
}

void Put16(Bytes& b, uint32_t v) {
  b.push_back(static_cast<uint8_t>(v));
  b.push_back(static_cast<uint8_t>(v >> 8));
}

// libpng's 8-bit gamma table entry for a file gamma and a screen gamma of 2.2.
uint32_t Gamma8(uint32_t v, uint32_t gammaFixed) {
  if (!gammaFixed || v == 0 || v == 255) return v;
  const double exponent = std::floor(1e15 / gammaFixed / 220000.0 + 0.5) * 1e-5;
  return static_cast<uint32_t>(std::floor(255 * std::pow(v / 255.0, exponent) + 0.5));
}

// The DIB a picture must give, built from the source samples alone.
Bytes ExpectedDib(const Picture& p) {
  const int ct = p.colourType, d = p.depth;
  int type = 0, bits = 0;
  uint32_t compression = ZO_BI_RGB;
  if (ct == PNG_COLOR_TYPE_GRAY && !p.trns && d < 16) {
    type = d == 1 ? 17 : d == 2 ? 18 : d == 4 ? 19 : 20, bits = d, compression = ZO_BI_GREYSCALE;
  } else if (ct == PNG_COLOR_TYPE_GRAY && !p.trns) {
    type = 21, bits = 16, compression = ZO_BI_GREYSCALE;
  } else if (ct == PNG_COLOR_TYPE_PALETTE && !p.trns) {
    type = (d == 1 || d == 8) ? 24 : 23, bits = type == 24 ? 8 : 4;
  } else if (ct == PNG_COLOR_TYPE_RGB && d == 8 && !p.trns) {
    type = 27, bits = 24;
  } else if (d == 16) {
    type = 31, bits = 64, compression = ZO_BI_ALPHA;
  } else {
    type = 29, bits = 32, compression = ZO_BI_ALPHA;
  }
  const uint32_t stride = (bits * p.width + 31) / 32 * 4;
  std::vector<uint32_t> table;  // colour table entries as little-endian words
  if (type >= 17 && type <= 20) table.assign((1u << bits) - 1, 0);
  if (type == 23 || type == 24) {
    const double g = p.gammaFixed / 100000.0;
    auto fix = [&](uint32_t v) {
      return (p.gammaFixed && g != 1.0) ? static_cast<uint32_t>(255.0 * std::pow(v / 255.0, 1.0 / (g * 2.2))) : v;
    };
    for (const auto& c : p.palette) table.push_back(fix(c.blue) | fix(c.green) << 8 | fix(c.red) << 16 | 0xFFu << 24);
  }
  Bytes dib;
  auto put32 = [&](uint32_t v) {
    for (int i = 0; i < 4; ++i) dib.push_back(static_cast<uint8_t>(v >> (8 * i)));
  };
  put32(40), put32(p.width), put32(p.height), put32(1 | bits << 16), put32(compression);
  put32(stride * p.height), put32(0), put32(0), put32(static_cast<uint32_t>(table.size())), put32(0);
  for (uint32_t e : table) put32(e);

  const uint32_t max = (1u << d) - 1;
  for (uint32_t r = 0; r < p.height; ++r) {
    const uint32_t y = p.height - 1 - r;
    Bytes row;
    uint32_t acc = 0, nbits = 0;
    for (uint32_t x = 0; x < p.width; ++x) {
      auto s = [&](int c) { return p.At(x, y, c); };
      auto g8 = [&](uint32_t v) { return Gamma8(v, p.gammaFixed); };
      if (bits < 8) {  // packed indices or grey levels, first pixel in the high bits
        acc = acc << bits | s(0);
        nbits += bits;
        if (nbits == 8) row.push_back(static_cast<uint8_t>(acc)), acc = 0, nbits = 0;
      } else if (type == 20 || type == 24) {
        row.push_back(static_cast<uint8_t>(s(0)));
      } else if (type == 21) {
        Put16(row, s(0));
      } else if (type == 27) {
        row.insert(row.end(), {static_cast<uint8_t>(g8(s(2))), static_cast<uint8_t>(g8(s(1))),
                               static_cast<uint8_t>(g8(s(0)))});
      } else {
        uint32_t red, green, blue, alpha;
        const uint32_t full = d == 16 ? 0xFFFF : 0xFF;
        if (ct == PNG_COLOR_TYPE_PALETTE) {
          const png_color& c = p.palette[s(0)];
          red = g8(c.red), green = g8(c.green), blue = g8(c.blue);
          alpha = s(0) < p.alphas.size() ? p.alphas[s(0)] : 255;
        } else if (ct == PNG_COLOR_TYPE_GRAY || ct == PNG_COLOR_TYPE_GRAY_ALPHA) {
          const uint32_t v = d < 8 ? s(0) * 255 / max : s(0);
          red = green = blue = v;
          alpha = ct == PNG_COLOR_TYPE_GRAY_ALPHA ? s(1) : (s(0) == p.key.gray ? 0 : full);
        } else {
          red = g8(s(0)), green = g8(s(1)), blue = g8(s(2));
          const bool key = p.trns && s(0) == p.key.red && s(1) == p.key.green && s(2) == p.key.blue;
          alpha = ct == PNG_COLOR_TYPE_RGB_ALPHA ? s(3) : (key ? 0 : full);
        }
        if (d == 16) {
          Put16(row, blue), Put16(row, green), Put16(row, red), Put16(row, alpha);
        } else {
          row.insert(row.end(), {static_cast<uint8_t>(blue), static_cast<uint8_t>(green),
                                 static_cast<uint8_t>(red), static_cast<uint8_t>(alpha)});
        }
      }
    }
    if (nbits) row.push_back(static_cast<uint8_t>(acc << (8 - nbits)));
    row.resize(stride, 0);
    dib.insert(dib.end(), row.begin(), row.end());
  }
  return dib;
}

Bytes DibBytes(const ZoBitmapInfoHeader* dib) {
  const size_t table = dib->biCompression == ZO_BI_BITFIELDS ? 12 : dib->biClrUsed * 4;
  const auto* b = reinterpret_cast<const uint8_t*>(dib);
  return Bytes(b, b + 40 + table + dib->biSizeImage);
}

ZoResult Decode(const Bytes& png, ZoBitmapInfoHeader** dib) {
  return ZoDibFromPng(dib, png.data(), static_cast<long>(png.size()));
}

struct Format {
  int colourType;
  int depth;
  bool trns;
};

TEST(PngLoad, EveryFormatGivesTheDibComputedFromItsSamples) {
  const Format formats[] = {
      {PNG_COLOR_TYPE_GRAY, 1, false},       {PNG_COLOR_TYPE_GRAY, 2, false},     {PNG_COLOR_TYPE_GRAY, 4, false},
      {PNG_COLOR_TYPE_GRAY, 8, false},       {PNG_COLOR_TYPE_GRAY, 16, false},    {PNG_COLOR_TYPE_GRAY, 1, true},
      {PNG_COLOR_TYPE_GRAY, 2, true},        {PNG_COLOR_TYPE_GRAY, 4, true},      {PNG_COLOR_TYPE_GRAY, 8, true},
      {PNG_COLOR_TYPE_GRAY, 16, true},       {PNG_COLOR_TYPE_RGB, 8, false},      {PNG_COLOR_TYPE_RGB, 8, true},
      {PNG_COLOR_TYPE_RGB, 16, false},       {PNG_COLOR_TYPE_RGB, 16, true},      {PNG_COLOR_TYPE_PALETTE, 1, false},
      {PNG_COLOR_TYPE_PALETTE, 2, false},    {PNG_COLOR_TYPE_PALETTE, 4, false},  {PNG_COLOR_TYPE_PALETTE, 8, false},
      {PNG_COLOR_TYPE_PALETTE, 1, true},     {PNG_COLOR_TYPE_PALETTE, 2, true},   {PNG_COLOR_TYPE_PALETTE, 4, true},
      {PNG_COLOR_TYPE_PALETTE, 8, true},     {PNG_COLOR_TYPE_GRAY_ALPHA, 8, false}, {PNG_COLOR_TYPE_GRAY_ALPHA, 16, false},
      {PNG_COLOR_TYPE_RGB_ALPHA, 8, false},  {PNG_COLOR_TYPE_RGB_ALPHA, 16, false},
  };
  for (const Format& f : formats) {
    for (bool interlaced : {false, true}) {
      const Picture p = MakePicture(f.colourType, f.depth, f.trns, interlaced);
      SCOPED_TRACE("colour type " + std::to_string(f.colourType) + ", depth " + std::to_string(f.depth) +
                   (f.trns ? ", tRNS" : "") + (interlaced ? ", interlaced" : ""));
      ZoBitmapInfoHeader* dib = nullptr;
      ASSERT_EQ(Decode(Encode(p), &dib), S_OK);
      ASSERT_NE(dib, nullptr);
      EXPECT_EQ(DibBytes(dib), ExpectedDib(p));
      ZoDibFree(dib, 0);
    }
  }
}

TEST(PngLoad, GammaCorrectsSamplesAndPaletteColoursForTheScreen) {
  const Format formats[] = {
      {PNG_COLOR_TYPE_RGB, 8, false}, {PNG_COLOR_TYPE_PALETTE, 8, false}, {PNG_COLOR_TYPE_PALETTE, 4, true}};
  for (const Format& f : formats) {
    Picture p = MakePicture(f.colourType, f.depth, f.trns, false);
    p.gammaFixed = 50000;  // file gamma 0.5
    SCOPED_TRACE(f.colourType);
    ZoBitmapInfoHeader* dib = nullptr;
    ASSERT_EQ(Decode(Encode(p), &dib), S_OK);
    EXPECT_EQ(DibBytes(dib), ExpectedDib(p));
    ZoDibFree(dib, 0);
  }
}

// The picture written to a file, read by path, gives the same DIB as from memory.
TEST(PngLoad, FileAndMemoryAgreeAndFileFailuresHaveTheirCodes) {
  orv_test::ScratchFolder folder;
  const Bytes png = Encode(MakePicture(PNG_COLOR_TYPE_RGB_ALPHA, 8, false, true));
  auto write = [&](const char* name, const Bytes& bytes) {
    const plat::String16 path = folder.WithSlash() + plat::U16(name);
    plat::File f = plat::File::Open(path.c_str(), plat::Access::Write, plat::kShareNone,
                                    plat::Disposition::CreateAlways);
    EXPECT_TRUE(f.Write(bytes.data(), bytes.size()));
    EXPECT_TRUE(f.Close());
    return path;
  };
  ZoBitmapInfoHeader* fromMemory = nullptr;
  ASSERT_EQ(Decode(png, &fromMemory), S_OK);
  ZoBitmapInfoHeader* fromFile = ZoLoadDiskPngDib(write("good.png", png).c_str());
  ASSERT_NE(fromFile, nullptr);
  EXPECT_EQ(DibBytes(fromFile), DibBytes(fromMemory));
  ZoDibFree(fromFile, 0);
  ZoDibFree(fromMemory, 0);

  const struct {
    const char* name;
    Bytes bytes;
    ZoResult expected;
  } cases[] = {
      {"empty.png", {}, ZO_E_BAD_FORMAT},
      {"prefix.png", Bytes(png.begin(), png.begin() + 5), ZO_E_BAD_FORMAT},
      {"gif.png", Bytes{'G', 'I', 'F', '8', '9', 'a', 0, 0, 0, 0}, ZO_E_BAD_FORMAT},
      {"cut.png", Bytes(png.begin(), png.end() - 20), E_FAIL},
  };
  for (const auto& c : cases) {
    ZoBitmapInfoHeader* dib = reinterpret_cast<ZoBitmapInfoHeader*>(&folder);
    EXPECT_EQ(ZoLoadDiskPngDibEx(write(c.name, c.bytes).c_str(), &dib), c.expected) << c.name;
    EXPECT_EQ(dib, nullptr);
  }
  ZoBitmapInfoHeader* dib = nullptr;
  EXPECT_EQ(ZoLoadDiskPngDibEx((folder.WithSlash() + u"missing.png").c_str(), &dib), ZO_E_CANNOT_OPEN);
  EXPECT_EQ(ZoLoadPngDib(nullptr, nullptr, ZO_PNG_FROM_FILE, &dib), E_INVALIDARG);
  EXPECT_EQ(dib, nullptr);
}

// Resource 60100 exists only under the type name "BINARY" and holds the same
// picture as the product's banner (resource 107 of type 32).
TEST(PngLoad, ResourcesAreFoundUnderType32ThenUnderBinary) {
  EXPECT_EQ(ZoLoadResourceCustom(nullptr, plat::ResourceId(60100), plat::ResourceId(32), nullptr), nullptr);
  EXPECT_NE(ZoLoadResourceCustom(nullptr, plat::ResourceId(60100), u"binary", nullptr), nullptr);
  ZoBitmapInfoHeader* banner = ZoLoadResourcePngDib(nullptr, plat::ResourceId(107));
  ZoBitmapInfoHeader* binary = nullptr;
  ASSERT_EQ(ZoLoadResourcePngDibEx(nullptr, plat::ResourceId(60100), &binary), S_OK);
  ASSERT_NE(banner, nullptr);
  EXPECT_EQ(banner->biWidth, 476);
  EXPECT_EQ(banner->biHeight, 58);
  EXPECT_EQ(banner->biBitCount, 24);
  EXPECT_EQ(DibBytes(binary), DibBytes(banner));
  ZoDibFree(banner, 0);
  ZoDibFree(binary, 0);

  ZoBitmapInfoHeader* dib = nullptr;
  EXPECT_EQ(ZoLoadResourcePngDibEx(nullptr, plat::ResourceId(60101), &dib), ZO_E_RESOURCE_NOT_FOUND);
  EXPECT_EQ(ZoLoadPngDib(nullptr, u"NOSUCHPICTURE", 0, &dib), ZO_E_RESOURCE_NOT_FOUND);
  EXPECT_EQ(dib, nullptr);
}

// Rewrites the IHDR size fields and its CRC.
Bytes WithSize(Bytes png, uint32_t width, uint32_t height) {
  for (int i = 0; i < 4; ++i) {
    png[16 + i] = static_cast<uint8_t>(width >> (24 - 8 * i));
    png[20 + i] = static_cast<uint8_t>(height >> (24 - 8 * i));
  }
  const uLong crc = crc32(0, png.data() + 12, 17);
  for (int i = 0; i < 4; ++i) png[29 + i] = static_cast<uint8_t>(crc >> (24 - 8 * i));
  return png;
}

TEST(PngLoad, SignatureSizeAndDamageFailuresLeaveNoDib) {
  const Bytes rgba = Encode(MakePicture(PNG_COLOR_TYPE_RGB_ALPHA, 8, false, false));
  const Bytes grey1 = Encode(MakePicture(PNG_COLOR_TYPE_GRAY, 1, false, false));
  Picture badIndex = MakePicture(PNG_COLOR_TYPE_PALETTE, 8, false, false);
  badIndex.checkIndices = false;
  badIndex.samples[40] = 230;  // the palette has 200 entries
  Picture badIndexAlpha = badIndex;
  badIndexAlpha.trns = true;
  badIndexAlpha.alphas = {0, 128};
  const struct {
    const char* what;
    Bytes bytes;
    ZoResult expected;
  } cases[] = {
      {"no signature", Bytes{'B', 'M', 1, 2, 3, 4, 5, 6, 7, 8, 9}, ZO_E_BAD_FORMAT},
      {"signature start only", Bytes(rgba.begin(), rgba.begin() + 3), E_FAIL},
      {"no bytes at all", {}, E_FAIL},
      {"wider than the limit", WithSize(rgba, ZO_PNG_MAX_SIDE + 1, 1), E_FAIL},
      {"more pixel bytes than the limit", WithSize(rgba, ZO_PNG_MAX_SIDE, ZO_PNG_MAX_SIDE), E_FAIL},
      {"2^31 a side", WithSize(rgba, 0x80000000u, 0x80000000u), E_FAIL},
      {"within the limits, data missing", WithSize(grey1, ZO_PNG_MAX_SIDE, ZO_PNG_MAX_SIDE), E_FAIL},
      {"palette index out of range", Encode(badIndex), E_FAIL},
      {"palette index out of range, tRNS", Encode(badIndexAlpha), E_FAIL},
  };
  for (const auto& c : cases) {
    ZoBitmapInfoHeader* dib = reinterpret_cast<ZoBitmapInfoHeader*>(&dib);
    EXPECT_EQ(ZoDibFromPng(&dib, c.bytes.empty() ? nullptr : c.bytes.data(), static_cast<long>(c.bytes.size())),
              c.expected)
        << c.what;
    EXPECT_EQ(dib, nullptr) << c.what;
  }

  // Every prefix and every single flipped bit (chunk lengths, types, data, CRCs)
  // is damage: the loader fails without a DIB and, under the sanitizers, without
  // reading outside the data. The copy is exactly as long as the data.
  const Bytes png = Encode(MakePicture(PNG_COLOR_TYPE_PALETTE, 4, true, true));
  for (size_t n = 0; n < png.size(); ++n) {
    const Bytes cut(png.begin(), png.begin() + static_cast<long>(n));
    ZoBitmapInfoHeader* dib = nullptr;
    EXPECT_LT(ZoDibFromPng(&dib, cut.data(), static_cast<long>(n)), 0) << n;
    EXPECT_EQ(dib, nullptr);
  }
  for (size_t i = 0; i < png.size(); ++i) {
    Bytes damaged = png;
    damaged[i] ^= 0x04;
    ZoBitmapInfoHeader* dib = nullptr;
    EXPECT_LT(Decode(damaged, &dib), 0) << "byte " << i;
    EXPECT_EQ(dib, nullptr);
  }
}

TEST(Dib, PixelTypeTableAndMasks) {
  const struct {
    int type, bits;
    uint32_t compression;
    ZoColorMasks masks;
  } cases[] = {
      {15, 0, 0, {}},
      {16, 1, ZO_BI_RGB, {}},
      {17, 1, ZO_BI_GREYSCALE, {}},
      {18, 2, ZO_BI_GREYSCALE, {}},
      {19, 4, ZO_BI_GREYSCALE, {}},
      {20, 8, ZO_BI_GREYSCALE, {}},
      {21, 16, ZO_BI_GREYSCALE, {}},
      {22, 32, ZO_BI_GREYSCALE, {}},
      {23, 4, ZO_BI_RGB, {}},
      {24, 8, ZO_BI_RGB, {}},
      {25, 16, ZO_BI_RGB, {}},
      {26, 16, ZO_BI_BITFIELDS, {0xF800, 0x07E0, 0x001F}},
      {27, 24, ZO_BI_RGB, {}},
      {28, 32, ZO_BI_RGB, {}},
      {29, 32, ZO_BI_ALPHA, {}},
      {30, 32, ZO_BI_BITFIELDS, {0x3FF00000, 0x000FFC00, 0x000003FF}},
      {31, 64, ZO_BI_ALPHA, {}},
      {32, 128, ZO_BI_ALPHA, {}},
      {33, 0, 0, {}},
  };
  EXPECT_EQ(ZO_BI_GREYSCALE, 0x53474F5Au);  // "ZOGS" in memory order
  for (const auto& c : cases) {
    uint32_t compression = 99;
    ZoColorMasks masks{1, 1, 1};
    ZoBitAttribs attribs{};
    EXPECT_EQ(ZoPixelTypeToBitAttribs(c.type, &compression, &attribs, sizeof attribs, &masks), c.bits) << c.type;
    EXPECT_EQ(compression, c.compression) << c.type;
    EXPECT_EQ(std::memcmp(&masks, &c.masks, sizeof masks), 0) << c.type;
    if (c.bits) {
      EXPECT_EQ(ZoPixelTypeToBitAttribs(c.type, nullptr, &attribs, 63, nullptr), 0) << c.type;
    }
  }
  EXPECT_EQ(ZoCreateBitMask(3, 0), 0u);
  EXPECT_EQ(ZoCreateBitMask(3, -2), 0u);
  EXPECT_EQ(ZoCreateBitMask(0, 32), 0xFFFFFFFFu);
  EXPECT_EQ(ZoCreateBitMask(28, 8), 0xF0000000u);
}

TEST(Dib, HeaderColourCountAndLayout) {
  const ZoRgbQuad colours[3] = {{1, 2, 3, 4}, {5, 6, 7, 8}, {9, 10, 11, 12}};
  const struct {
    int type, width, height;
    const ZoRgbQuad* colours;
    int count;
    uint32_t clrUsed, sizeImage;
  } cases[] = {
      {20, 5, 3, nullptr, 0, 255, 24},  {17, 33, 2, nullptr, 0, 1, 16}, {24, 3, 1, colours, 3, 3, 4},
      {24, 3, 1, colours, -3, 0, 4},    {23, 3, 2, nullptr, 5, 5, 8},   {27, 3, 2, nullptr, 0, 0, 24},
      {24, 1, 1, nullptr, 300, 256, 4}, {26, 3, 1, colours, 3, 0, 8},
  };
  for (const auto& c : cases) {
    ZoBitmapInfoHeader* dib = nullptr;
    ASSERT_EQ(ZoDibAlloc(&dib, c.type, c.width, c.height, c.colours, c.count, ZO_DIB_ZERO_FILL), S_OK);
    EXPECT_EQ(dib->biSize, 40u);
    EXPECT_EQ(dib->biPlanes, 1);
    EXPECT_EQ(dib->biClrUsed, c.clrUsed) << c.type;
    EXPECT_EQ(dib->biSizeImage, c.sizeImage) << c.type;
    const size_t table = c.type == 26 ? 12 : c.clrUsed * 4;
    EXPECT_EQ(ZoDibBits(dib), reinterpret_cast<uint8_t*>(dib) + 40 + table);
    if (c.colours && c.count > 0 && c.type != 26) {
      EXPECT_EQ(std::memcmp(ZoDibColors(dib), c.colours, 12), 0);
    }
    if (c.type == 26) {
      uint32_t masks[3];
      std::memcpy(masks, ZoDibColors(dib), sizeof masks);
      EXPECT_EQ(masks[0], 0xF800u);
      EXPECT_EQ(masks[2], 0x1Fu);
    }
    ZoDibFree(dib, 0);
  }
  ZoBitmapInfoHeader* dib = reinterpret_cast<ZoBitmapInfoHeader*>(&dib);
  EXPECT_EQ(ZoDibAlloc(&dib, 40, 1, 1, nullptr, 0, 0), E_INVALIDARG);
  EXPECT_EQ(dib, nullptr);
  EXPECT_EQ(ZoVideo_InitBitmapInfo(nullptr, 24, 1, 1, nullptr, 0, nullptr), E_INVALIDARG);
  ZoBitmapInfo info;
  EXPECT_EQ(ZoVideo_InitBitmapInfo(&info, 29, 65536, 65536, nullptr, 0, nullptr), E_INVALIDARG);  // 16 GiB
  EXPECT_EQ(ZoDibFree(nullptr, 0), S_OK);
}

}  // namespace
