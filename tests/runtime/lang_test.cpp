// Language handles, the lookup rule, the string cache, the scratch ring, the
// internationals record and the resource file reader.
#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <vector>

#include "lang_test_support.h"
#include "platform/resource_file.h"
#include "platform/resources.h"
#include "platform/thread.h"
#include "runtime/zo_kernel.h"
#include "runtime/zo_lang.h"

namespace {

// The library is started once for the whole test program, as a host would.
class KernelEnvironment : public ::testing::Environment {
 public:
  void SetUp() override { ASSERT_TRUE(ZoKernel_Startup(nullptr)); }
  void TearDown() override { ZoKernel_Shutdown(nullptr); }
};
::testing::Environment* const kKernel = ::testing::AddGlobalTestEnvironment(new KernelEnvironment);

// Test strings (tests/runtime/lang_test_strings.rc).
constexpr uint32_t kBoth = 60000, kMarked = 60001, kEnglishOnly = 60002, kDigits = 60003;
constexpr uint32_t kMarkedJapanese = 60004, kOtherBlock = 60016, kMissing = 60010;
constexpr uint32_t kLong = 60005;  // 1,100 digits "0123456789..."

class LangTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_EQ(ZoLang_Open(&lang_, nullptr, 0, 0), S_OK); }
  void TearDown() override {
    ZoLang_UpdateKernelLCID(lang_, 1033);
    ZoLang_Close(lang_);
  }
  plat::String16 Load(uint32_t id, int capacity = 1024) {
    std::vector<ZoChar> buffer(static_cast<size_t>(capacity) + 1, u'#');
    const int n = ZoLoadString(lang_, id, buffer.data(), capacity);
    EXPECT_EQ(buffer[static_cast<size_t>(capacity)], u'#') << "wrote past the capacity";
    EXPECT_EQ(static_cast<size_t>(n), plat::Length(buffer.data()));
    return plat::String16(buffer.data());
  }
  HZOLANG lang_ = nullptr;
};

TEST_F(LangTest, GetString_SamePointerForSameIdAndEmptyNotCachedForMissingId) {
  const ZoChar* first = ZoGetString(lang_, kBoth);
  EXPECT_EQ(plat::String16(first), u"Both languages");
  ZoGetString(lang_, kDigits);  // an insertion before or after must not move the first text
  ZoGetString(lang_, 1);
  EXPECT_EQ(ZoGetString(lang_, kBoth), first);
  const ZoChar* missing = ZoGetString(lang_, kMissing);
  ASSERT_NE(missing, nullptr);
  EXPECT_EQ(missing[0], 0);
  EXPECT_EQ(ZoGetString(nullptr, kBoth)[0], 0);
}

TEST_F(LangTest, GetString_CutsLongTextToItsLoadBuffer) {
  // The cache loads 1,024 units with the terminator: the text is cut to 1,023,
  // and the cached block (id, text, terminator, spare unit) is built in bounds.
  const plat::String16 cached(ZoGetString(lang_, kLong));
  ASSERT_EQ(cached.size(), 1023u);
  for (size_t i = 0; i < cached.size(); ++i) ASSERT_EQ(cached[i], u'0' + i % 10) << i;
  EXPECT_EQ(Load(kLong, 2048).size(), 1100u);
}

TEST_F(LangTest, UntranslatedMarkerIsRemovedByLoadAndGet) {
  EXPECT_EQ(Load(kMarked), u"abcd");
  ZoChar out[16];
  EXPECT_EQ(ZoLoadString(lang_, kMarked, out, 16), 4);
  EXPECT_EQ(plat::String16(ZoGetString(lang_, kMarked)), u"abcd");
}

TEST_F(LangTest, LoadString_CutsToCapacityAndReportsCutLength) {
  EXPECT_EQ(Load(kDigits, 5), u"0123");
  EXPECT_EQ(Load(kDigits, 1), u"");
  EXPECT_EQ(Load(kMissing), u"");
}

TEST_F(LangTest, JapaneseSelectedThroughKernelLcidWithFallbackToEnglish) {
  ASSERT_TRUE(ZoLang_ChangeLangInst(lang_, plat::ExecutableModule()));
  ASSERT_TRUE(ZoLang_UpdateKernelLCID(lang_, 1041));
  EXPECT_EQ(ZoLang_GetLCID(lang_), 1041u);
  EXPECT_EQ(ZoLang_GetLCID(ZoKernel_GetLangHandle()), 1041u);
  EXPECT_EQ(Load(kBoth), u"両方の言語");
  EXPECT_EQ(Load(kEnglishOnly), u"Only in the English block");   // empty entry in the Japanese block
  EXPECT_EQ(Load(kOtherBlock), u"Block without a Japanese twin"); // no Japanese block at all
  EXPECT_EQ(Load(kMarkedJapanese), u"wxyz");
  // The product's own table and the library's texts follow the language too.
  EXPECT_EQ(Load(160), u"ファイルの保存先");
  // (Loaded, not cached: the kernel handle's cache would keep the Japanese text.)
  ZoChar library[64];
  ZoLoadString(ZoKernel_GetLangHandle(), 48345, library, 64);
  EXPECT_EQ(plat::String16(library), u"空き容量: 不明");

  ASSERT_TRUE(ZoLang_UpdateKernelLCID(lang_, 0));
  EXPECT_EQ(ZoLang_GetLCID(lang_), 1033u);
  EXPECT_EQ(Load(kBoth), u"Both languages");
  ASSERT_TRUE(ZoLang_UpdateKernelLCID(lang_, 2057));  // English (United Kingdom)
  EXPECT_EQ(Load(160), u"Location to Save Files");
}

TEST_F(LangTest, JapaneseTableOfTheMainModuleWithoutLanguageModule) {
  HZOLANG plain = nullptr;
  ASSERT_EQ(ZoLang_Open(&plain, nullptr, 0, 0), S_OK);
  ASSERT_TRUE(ZoLang_UpdateKernelLCID(plain, 1041));
  ZoChar out[64];
  ZoLoadString(plain, 515, out, 64);
  EXPECT_EQ(plat::String16(out), u"展開ウィザード");
  ZoLoadString(plain, kEnglishOnly, out, 64);
  EXPECT_EQ(plat::String16(out), u"Only in the English block");
  ZoLang_UpdateKernelLCID(plain, 1033);
  ZoLoadString(plain, 515, out, 64);
  EXPECT_EQ(plat::String16(out), u"Unpacking Wizard");
  ZoLang_Close(plain);
}

TEST_F(LangTest, LanguageCallsRefuseMissingHandles) {
  EXPECT_FALSE(ZoLang_UpdateKernelLCID(nullptr, 1041));
  EXPECT_FALSE(ZoLang_ChangeLangInst(nullptr, nullptr));
  EXPECT_EQ(ZoLang_GetLCID(nullptr), 0u);
  EXPECT_TRUE(ZoLang_IsLCIDEnglish(2057));
  EXPECT_FALSE(ZoLang_IsLCIDEnglish(1041));
}

TEST_F(LangTest, ProductStringsCarryTheirExactTexts) {
  EXPECT_EQ(Load(209), u"-r \"$(Quilletage)\" --sfx");
  EXPECT_EQ(Load(204), u"C:\\Program Files\\Orvande Setup\\$(AppName)");
  EXPECT_EQ(Load(512), u"The following file is already on your computer:\n\n%s");
  EXPECT_EQ(Load(601).substr(0, 24), u"Command-line usage:\n\n \n-");
}

// Areas handed out before the ring wraps back to its start: the ring wraps once
// the position passes ringSize - 1024.
int AreasBeforeWrap(uint32_t ringSize) {
  HZOLANG lang = nullptr;
  EXPECT_EQ(ZoLang_Open(&lang, nullptr, 0, ringSize), S_OK);
  ZoChar* first = ZoGetTempStringBuffer(lang, 100);
  int areas = 1;
  while (ZoGetTempStringBuffer(lang, 100) != first && areas < 100000) ++areas;
  ZoLang_Close(lang);
  return areas;
}

TEST(LangRing, RingSizeFollowsTheRequestedSize) {
  EXPECT_EQ(AreasBeforeWrap(1), (2048 - 1024) / 102 + 1);
  EXPECT_EQ(AreasBeforeWrap(0), (8192 - 1024) / 102 + 1);
  EXPECT_EQ(AreasBeforeWrap(5000), (5000 - 1024) / 102 + 1);
  EXPECT_EQ(ZoGetTempStringBuffer(nullptr, 10), nullptr);
}

TEST(LangRing, EmptyRequestGivesEmptyTextAndOversizedRequestIsRefused) {
  HZOLANG lang = nullptr;
  ASSERT_EQ(ZoLang_Open(&lang, nullptr, 0, 0), S_OK);
  ZoChar* area = ZoGetTempStringBuffer(lang, 5);
  std::memcpy(area, u"abcde", 5 * sizeof(ZoChar));
  ZoChar* empty = ZoGetTempStringBuffer(lang, 0);
  EXPECT_EQ(empty[0], 0);
  EXPECT_EQ(ZoGetTempStringBuffer(lang, 1025), nullptr);
  ZoLang_Close(lang);
}

TEST(LangConcurrency, GetStringGivesOnePointerPerIdAcrossThreads) {
  HZOLANG lang = nullptr;
  ASSERT_EQ(ZoLang_Open(&lang, nullptr, 0, 0), S_OK);
  const uint32_t ids[] = {kBoth, kMarked, kEnglishOnly, kDigits, kOtherBlock, 150, 152, 500, 601, 700};
  constexpr int kThreads = 4;
  std::vector<std::vector<const ZoChar*>> seen(kThreads);
  {
    std::vector<std::unique_ptr<plat::Thread>> threads;
    for (int t = 0; t < kThreads; ++t) {
      threads.push_back(std::make_unique<plat::Thread>());
      threads.back()->Start([&, t] {
        for (int round = 0; round < 50; ++round) {
          for (size_t i = 0; i < std::size(ids); ++i) {
            const ZoChar* p = ZoGetString(lang, ids[(i + static_cast<size_t>(t)) % std::size(ids)]);
            if (round == 0) seen[static_cast<size_t>(t)].push_back(p);
            ZoGetTempStringBuffer(lang, 16);
          }
        }
      });
    }
  }
  for (size_t i = 0; i < std::size(ids); ++i) {
    const ZoChar* expected = ZoGetString(lang, ids[i]);
    for (int t = 0; t < kThreads; ++t) {
      EXPECT_EQ(seen[static_cast<size_t>(t)][(i + std::size(ids) - static_cast<size_t>(t)) % std::size(ids)], expected);
    }
  }
  ZoLang_Close(lang);
}

TEST(Internationals, DotDotLocaleGetsCommaDecimalSeparator) {
  orv_test::UseDotDot();
  ZoChar out[8];
  EXPECT_EQ(ZoGetInat(ZO_INAT_DECIMAL, out), 1u);
  EXPECT_EQ(plat::String16(out), u",");
  orv_test::UseGerman();
  EXPECT_EQ(ZoGetInat(ZO_INAT_DECIMAL, out), 1u);
  EXPECT_EQ(plat::String16(out), u",");
  EXPECT_EQ(ZoGetInat(ZO_INAT_LIST, out), 1u);
  EXPECT_EQ(plat::String16(out), u";");
  EXPECT_EQ(ZoGetInat(ZO_INAT_LANGUAGE, nullptr), 407u);
  EXPECT_EQ(ZoGetInat(ZO_INAT_MEASURE_BEAT, out), 1u);
  EXPECT_EQ(ZoGetInat(7, out), 0u);
  EXPECT_EQ(out[0], 0);
  orv_test::UseEnglishUs();
}

TEST(Internationals, DecimalSeparatorIsCorrectedOnlyWhenItBeginsWithTheThousandsSeparator) {
  const struct {
    const ZoChar* thousands;
    const ZoChar* decimal;
    const ZoChar* expected;
  } cases[] = {
      {u".", u".", u","},    {u",", u",", u"."},   {u" ", u" ", u"."},  {u".", u".x", u","},
      {u"'", u".", u"."},    {u"..", u".", u"."},  {u",", u".", u"."},
      // No thousands separator: nothing to confuse the decimal separator with.
      {u"", u",", u","},
  };
  for (const auto& c : cases) {
    ZoLocaleTexts t = orv_test::BaseLocale();
    t.thousandSeparator = c.thousands;
    t.decimalSeparator = c.decimal;
    ZoLang_LoadInternationals(&t);
    ZoChar out[8];
    EXPECT_EQ(ZoGetInat(ZO_INAT_DECIMAL, out), plat::Length(c.expected)) << plat::ToUtf8(c.thousands);
    EXPECT_EQ(plat::String16(out), c.expected) << plat::ToUtf8(c.thousands) << " " << plat::ToUtf8(c.decimal);
  }
  orv_test::UseEnglishUs();
}

TEST(Internationals, CopyWritesTheCountIntoTheFirstWord) {
  orv_test::UseEnglishUs();
  unsigned char dst[1000];
  std::memset(dst, 0xCC, sizeof dst);
  EXPECT_EQ(ZoLang_GetInternationals(dst, 100), S_OK);
  uint32_t first = 0;
  std::memcpy(&first, dst, 4);
  EXPECT_EQ(first, 100u);
  EXPECT_EQ(dst[100], 0xCC);
  EXPECT_EQ(ZoLang_GetInternationals(dst, sizeof dst), S_OK);
  std::memcpy(&first, dst, 4);
  EXPECT_EQ(first, 796u);
  EXPECT_EQ(dst[796], 0xCC);
}

TEST(Internationals, TextTooLongForItsFieldIsStoredAsFailure) {
  ZoLocaleTexts t = orv_test::BaseLocale();
  t.thousandSeparator = u"12345678";  // 8 units do not fit 8 with the terminator
  ZoLang_LoadInternationals(&t);
  EXPECT_EQ(ZoGetInternationals()->thousandSeparatorLength, -1);
  orv_test::UseEnglishUs();
}

// Resource file images as a language module on POSIX would hold them.
std::vector<uint8_t> Image(uint32_t dataOffset, uint32_t dataSize, size_t total) {
  std::vector<uint8_t> image(total, 0);
  std::memcpy(image.data(), plat::kResourceFileMagic, 8);
  auto put32 = [&](size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i) image[at + static_cast<size_t>(i)] = static_cast<uint8_t>(v >> (8 * i));
  };
  put32(8, 1);
  put32(12, 6);
  put32(16, 1);
  image[20] = 0x11;
  image[21] = 0x04;
  put32(24, dataOffset);
  put32(28, dataSize);
  return image;
}

TEST(ResourceFile, ValidationRejectsEveryRangeOutsideTheImage) {
  struct Case {
    uint32_t offset, size;
    size_t total;
    bool valid;
  } cases[] = {
      {32, 4, 36, true},  {32, 5, 36, false},          {37, 0, 36, false},
      {32, 0xFFFFFFFFu, 36, false}, {0xFFFFFFF0u, 0x20, 36, false},
  };
  for (const auto& c : cases) {
    const auto image = Image(c.offset, c.size, c.total);
    EXPECT_EQ(plat::IsValidResourceFile(image.data(), image.size()), c.valid) << c.offset << " " << c.size;
  }
  auto image = Image(32, 4, 36);
  image[8] = 200;  // more entries than the file holds
  EXPECT_FALSE(plat::IsValidResourceFile(image.data(), image.size()));
  EXPECT_FALSE(plat::IsValidResourceFile(image.data(), 11));
}

TEST(ResourceFile, StringBlockReaderStopsAtTheBlockEnd) {
  // Entry 0 "ab", entry 1 claims 100 units but the block ends.
  const uint16_t block[] = {2, u'a', u'b', 100, u'x'};
  plat::ResourceData data{block, sizeof block};
  ZoChar out[8] = {u'#'};
  EXPECT_EQ(plat::CopyStringFromBlock(data, 0, out, 8), 2);
  EXPECT_EQ(plat::String16(out), u"ab");
  EXPECT_EQ(plat::CopyStringFromBlock(data, 1, out, 8), 0);
  EXPECT_EQ(out[0], 0);
  EXPECT_EQ(plat::CopyStringFromBlock(data, 5, out, 8), 0);
  EXPECT_EQ(plat::CopyStringFromBlock(data, 0, out, 2), 1);
  EXPECT_EQ(plat::String16(out), u"a");
}

// A type given by name: the entry's type field points at a name record (count,
// UTF-16 units) that must lie within the image; names match ignoring ASCII case.
TEST(ResourceFile, NamedTypeIsValidatedAndMatchedIgnoringCase) {
  auto image = Image(40, 2, 42);
  auto put = [&](size_t at, uint32_t v, int bytes) {
    for (int i = 0; i < bytes; ++i) image[at + static_cast<size_t>(i)] = static_cast<uint8_t>(v >> (8 * i));
  };
  put(12, plat::kResourceFileNameFlag | 32, 4);  // type: the name record at 32
  put(32, 3, 2);                                 // "Bin"
  put(34, 'B', 2), put(36, 'i', 2), put(38, 'n', 2);
  ASSERT_TRUE(plat::IsValidResourceFile(image.data(), image.size()));
  plat::ResourceData data;
  const ZoChar* name = plat::ResourceId(1);
  EXPECT_TRUE(plat::resfile::FindEntry(image.data(), image.size(), u"BIN", name, plat::resfile::kAnyLanguage, &data));
  EXPECT_EQ(data.size, 2u);
  EXPECT_TRUE(plat::resfile::FindEntry(image.data(), image.size(), u"bin", name, plat::resfile::kAnyLanguage, &data));
  for (const ZoChar* other : {u"BI", u"BINARY", u""}) {
    EXPECT_FALSE(plat::resfile::FindEntry(image.data(), image.size(), other, name, plat::resfile::kAnyLanguage, &data));
  }
  EXPECT_FALSE(plat::resfile::FindEntry(image.data(), image.size(), plat::ResourceId(32), name,
                                        plat::resfile::kAnyLanguage, &data));
  put(32, 5, 2);  // one unit more than the image holds
  EXPECT_FALSE(plat::IsValidResourceFile(image.data(), image.size()));
  put(32, 3, 2);
  put(12, plat::kResourceFileNameFlag | 41, 4);  // record starts in the last byte
  EXPECT_FALSE(plat::IsValidResourceFile(image.data(), image.size()));
  put(12, 0x10000, 4);  // neither an id nor a name
  EXPECT_FALSE(plat::IsValidResourceFile(image.data(), image.size()));
}

TEST(ResourceFile, CustomResourceFoundByTypeAndIdOnlyWhenPresent) {
  uint32_t size = 12345;
  EXPECT_EQ(ZoLoadResourceCustom(ZoKernel_GetLangHandle(), plat::ResourceId(9999), plat::ResourceId(32), &size),
            nullptr);
  EXPECT_EQ(size, 12345u);
}

}  // namespace
