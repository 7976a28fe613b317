// The token formatter: conversions, tokens, literal numbers, bounded output and
// the token table under concurrent use.
#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "lang_test_support.h"
#include "platform/thread.h"
#include "runtime/zo_printf.h"

namespace {

plat::String16 Format(const ZoChar* format, ...) {
  ZoChar out[512];
  va_list args;
  va_start(args, format);
  const int n = ZoVPrintFEx(out, 512, format, args);
  va_end(args);
  EXPECT_EQ(static_cast<size_t>(n), plat::Length(out));
  return plat::String16(out);
}

class PrintFTest : public ::testing::Test {
 protected:
  void SetUp() override { orv_test::UseEnglishUs(); }
  void TearDown() override {
    ZoPrintF_DeleteToken(u"AppName");
    orv_test::UseEnglishUs();
  }
};

TEST_F(PrintFTest, FormatsWithoutArguments) {
  ZoPrintF_AddToken(u"AppName", u"Tool");
  const struct {
    const ZoChar* format;
    const ZoChar* expected;
  } cases[] = {
      {u"$(AppName) setup", u"Tool setup"},
      {u"$(appname)", u"Tool"},
      {u"$(NoSuchToken) setup", u"$(NoSuchToken) setup"},
      {u"$(AppName", u"$(AppName"},
      {u"$(1234567.891)", u"1,234,567.891"},
      {u"$(-1234)", u"-1,234"},
      {u"$(12", u"$(12"},
      {u"$(12x)", u"$(12x)"},
      {u"$$5", u"$5"},
      {u"100%%", u"100%"},
      {u"$%", u"%"},
      {u"ends in %5", u"ends in %5"},
      {u"$abc", u"%abc"},
      {u"%qd", u"%qd"},
      {u"a%*b%,c%:d", u"a.b,c:d"},
      {u"%!:%!.%!,%!x", u":.,x"},
      {u"[%&:][%&.][%&y]", u"[.][.][y]"},
      {u"$(SMPTE.Label.NonDrop) $(SMPTE.Label.Drop)", u"hh:mm:ss.ff hh:mm:ss,ff"},
      {u"$(MusicTime.Label)", u"m.b.t"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(Format(c.format), c.expected) << plat::ToUtf8(c.format);
  }
}

TEST_F(PrintFTest, IntegerConversions) {
  EXPECT_EQ(Format(u"%d", -5), u"-5");
  EXPECT_EQ(Format(u"$d", 1234567), u"1,234,567");
  EXPECT_EQ(Format(u"%d", 1234567), u"1234567");
  EXPECT_EQ(Format(u"%5d|%-5d|%05d", 42, 42, 42), u"   42|42   |00042");
  EXPECT_EQ(Format(u"$u", 4000000000u), u"4,000,000,000");
  EXPECT_EQ(Format(u"$8d", 12345), u"   12,345");  // padded first, then grouped
  EXPECT_EQ(Format(u"[$-8d][$-10I64d]", 12345, int64_t{-1234567}), u"[12,345   ][-1,234,567  ]");
  EXPECT_EQ(Format(u"%x %X %o", 255, 255, 8), u"ff FF 10");
  EXPECT_EQ(Format(u"%I64d $I64d", int64_t{-5000000000}, int64_t{5000000000}), u"-5000000000 5,000,000,000");
  EXPECT_EQ(Format(u"%I64u", uint64_t{18446744073709551615u}), u"18446744073709551615");
  EXPECT_EQ(Format(u"%d$&:%u$&.%03u", 12, 3u, 7u), u"12.3.007");
}

TEST_F(PrintFTest, FloatingAndScaledConversions) {
  EXPECT_EQ(Format(u"%.2f", 1234.5), u"1234.50");
  EXPECT_EQ(Format(u"$.2f", 1234.5), u"1,234.50");
  EXPECT_EQ(Format(u"$.1z", 1234), u"123.4");
  EXPECT_EQ(Format(u"%.2z", 5), u"0.05");
  EXPECT_EQ(Format(u"$.2z", 123456789), u"1,234,567.89");
  EXPECT_EQ(Format(u"%5z|$z", 42, 12345), u"   42|12,345");
  EXPECT_EQ(Format(u"%e", 1234.5), u"1.234500e+03");
  EXPECT_EQ(Format(u"$g|$g", 0.5, 1e20), u"0.5|1e+20");
  orv_test::UseGerman();
  EXPECT_EQ(Format(u"$d", 1234567), u"1.234.567");
  EXPECT_EQ(Format(u"$.2f|%.2f", 1234.5, 1234.5), u"1.234,50|1234.50");
  EXPECT_EQ(Format(u"[$-10.2f][$10.2f]", 1234.5, 1234.5), u"[1.234,50   ][   1.234,50]");
  EXPECT_EQ(Format(u"$(1234567.891)"), u"1.234.567,891");
  EXPECT_EQ(Format(u"$.1z|%.1z", 1234, 1234), u"123,4|123,4");
  EXPECT_EQ(Format(u"$g", 0.5), u"0,5");
  // A long number grows by its separators beyond the 260-unit text it was printed in.
  const plat::String16 plain = Format(u"%.1f", 1e200);
  const plat::String16 huge = Format(u"$.1f", 1e200);
  EXPECT_EQ(huge.size(), plain.size() + (plain.size() - 3) / 3);
  EXPECT_EQ(huge[huge.size() - 6], u'.');
  EXPECT_EQ(huge.substr(huge.size() - 2), u",0");
  EXPECT_EQ(Format(u"%.300z", 5).substr(0, 4), u"0,00");
}

#if !GTEST_OS_WINDOWS
TEST_F(PrintFTest, AGermanUserLocaleFromTheEnvironmentFormatsTheGermanWay) {
  // The user's locale as a POSIX system names it, whether or not the C library
  // has that locale installed.
  const char* saved = std::getenv("LC_ALL");
  const std::string previous = saved ? saved : "";
  setenv("LC_ALL", "de_DE.UTF-8", 1);
  ZoLang_LoadInternationals(nullptr);
  EXPECT_EQ(Format(u"$d", 1234567), u"1.234.567");
  EXPECT_EQ(Format(u"$.2f", 1234.5), u"1.234,50");
  EXPECT_EQ(Format(u"$(1234567.891)"), u"1.234.567,891");
  if (saved) {
    setenv("LC_ALL", previous.c_str(), 1);
  } else {
    unsetenv("LC_ALL");
  }
  orv_test::UseEnglishUs();
}
#endif

TEST_F(PrintFTest, ScaledConversionWithMoreDecimalsThanTheExactTable) {
  EXPECT_EQ(Format(u"%.20z", 5), u"0.00000000000000000005");
  // More decimals than fit the 260-unit scratch text: the text is cut, never empty.
  for (const ZoChar* format : {u"%.300z", u"%.4294967295z", u"$.99999999999z"}) {
    const plat::String16 text = Format(format, 5);
    EXPECT_EQ(text.size(), 259u) << plat::ToUtf8(format);
    EXPECT_EQ(text.substr(0, 4), u"0.00") << plat::ToUtf8(format);
  }
}

TEST_F(PrintFTest, StringAndCharacterConversions) {
  EXPECT_EQ(Format(u"[%s]", u"text"), u"[text]");
  EXPECT_EQ(Format(u"[%6s][%-6s][%.2s]", u"ab", u"ab", u"abcdef"), u"[    ab][ab    ][ab]");
  EXPECT_EQ(Format(u"[%c%c]", static_cast<int>(u'x'), static_cast<int>(u'日')), u"[x日]");
  EXPECT_EQ(Format(u"[%hs]", "narrow"), u"[narrow]");
  EXPECT_EQ(Format(u"[%s]", static_cast<const ZoChar*>(nullptr)), u"[(null)]");
  // A token's value is copied, never expanded again.
  ZoPrintF_AddToken(u"AppName", u"$(AppName) %d");
  EXPECT_EQ(Format(u"$(AppName)|%s", u"$(AppName)"), u"$(AppName) %d|$(AppName)");
}

TEST_F(PrintFTest, TokensAreReplacedDeletedAndMayBeEmpty) {
  EXPECT_EQ(ZoPrintF_AddToken(u"AppName", u"First"), 1);
  EXPECT_EQ(ZoPrintF_AddToken(u"APPNAME", u"Second"), 1);
  EXPECT_EQ(Format(u"$(AppName)"), u"Second");
  EXPECT_EQ(ZoPrintF_AddToken(u"AppName", nullptr), 1);
  EXPECT_EQ(Format(u"<$(AppName)>"), u"<>");
  EXPECT_EQ(ZoPrintF_DeleteToken(u"appName"), 1);
  EXPECT_EQ(ZoPrintF_DeleteToken(u"AppName"), 0);
  EXPECT_EQ(Format(u"$(AppName)"), u"$(AppName)");
  EXPECT_EQ(ZoPrintF_AddToken(nullptr, u"x"), 0);
}

TEST_F(PrintFTest, BoundedOutputNeverPassesItsCapacity) {
  ZoPrintF_AddToken(u"AppName", u"A very long application name");
  const ZoChar* formats[] = {u"$(AppName)", u"%s", u"$d", u"%.2f", u"$(1234567.891)", u"%300d"};
  for (const ZoChar* format : formats) {
    for (size_t capacity : {1u, 2u, 5u}) {
      std::vector<ZoChar> out(capacity + 4, u'#');
      const int n = ZoPrintFEx(out.data(), capacity, format, u"a long string argument");
      EXPECT_EQ(static_cast<size_t>(n), capacity - 1) << plat::ToUtf8(format) << " " << capacity;
      EXPECT_EQ(out[capacity - 1], 0);
      EXPECT_EQ(out[capacity], u'#');
    }
  }
  ZoChar untouched = u'#';
  EXPECT_EQ(ZoPrintFEx(&untouched, 0, u"abc"), 0);
  EXPECT_EQ(untouched, u'#');
  // The exported unbounded form gives the same text.
  ZoChar out[64];
  EXPECT_EQ(ZoPrintF(out, u"%d-%s", 7, u"x"), 3);
  EXPECT_EQ(plat::String16(out), u"7-x");
}

TEST(PrintFConcurrency, TokenTableSurvivesConcurrentAddDeleteAndFormat) {
  constexpr int kThreads = 4;
  constexpr int kRounds = 300;
  std::vector<int> mismatches(kThreads, 0);
  {
    std::vector<std::unique_ptr<plat::Thread>> threads;
    for (int t = 0; t < kThreads; ++t) {
      threads.push_back(std::make_unique<plat::Thread>());
      threads.back()->Start([t, &mismatches] {
        const plat::String16 own = plat::U16("Own" + std::to_string(t));
        for (int i = 0; i < kRounds; ++i) {
          const plat::String16 value = plat::U16(std::to_string(i));
          ZoPrintF_AddToken(own.c_str(), value.c_str());
          ZoPrintF_AddToken(u"Shared", value.c_str());
          ZoChar out[128];
          const plat::String16 format = u"$(" + own + u")|$(Shared)";
          ZoPrintFEx(out, 128, format.c_str());
          const plat::String16 text(out);
          if (text.substr(0, text.find(u'|')) != value) ++mismatches[static_cast<size_t>(t)];
          if (i % 3 == 0) ZoPrintF_DeleteToken(u"Shared");
        }
        ZoPrintF_DeleteToken(own.c_str());
      });
    }
  }
  for (int m : mismatches) EXPECT_EQ(m, 0);
  ZoPrintF_DeleteToken(u"Shared");
}

}  // namespace
