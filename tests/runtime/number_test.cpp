// Number text and error translation under English (United States), German and
// dot-dot locales set through the internationals record.
#include <gtest/gtest.h>

#include <climits>
#include <cstdint>
#include <vector>

#include "lang_test_support.h"
#include "runtime/zo_error.h"
#include "runtime/zo_number.h"

namespace {

class NumberTest : public ::testing::Test {
 protected:
  void SetUp() override { orv_test::UseEnglishUs(); }
  void TearDown() override { orv_test::UseEnglishUs(); }
};

TEST_F(NumberTest, IntegersToText) {
  ZoChar out[ZO_NUMBER_TEXT_CAPACITY];
  EXPECT_EQ(ZoDWordToText(1234567, out, true), 9);
  EXPECT_EQ(plat::String16(out), u"1,234,567");
  EXPECT_EQ(ZoDWordToText(1234567, out, false), 7);
  EXPECT_EQ(plat::String16(out), u"1234567");
  EXPECT_EQ(ZoDWordToText(0, out, true), 1);
  EXPECT_EQ(plat::String16(out), u"0");
  EXPECT_EQ(ZoLongToText(INT32_MIN, out, false), 11);
  EXPECT_EQ(plat::String16(out), u"-2147483648");
  ZoLongToText(-1234, out, true);
  EXPECT_EQ(plat::String16(out), u"-1,234");
  ZoLongLongToText(INT64_MIN, out, true);
  EXPECT_EQ(plat::String16(out), u"-9,223,372,036,854,775,808");
  orv_test::UseGerman();
  ZoLongLongToText(1234567890123, out, true);
  EXPECT_EQ(plat::String16(out), u"1.234.567.890.123");
}

// A locale whose separators could not be read: no grouping, and the fraction
// still set off by a point.
void UseNoSeparators() {
  ZoLocaleTexts t = orv_test::BaseLocale();
  t.thousandSeparator = nullptr;
  t.decimalSeparator = nullptr;
  ZoLang_LoadInternationals(&t);
}

TEST_F(NumberTest, LocaleFormattingKeepsPrefixAndFollowsSeparators) {
  struct Case {
    void (*locale)();
    int mode;  // 0 grouped, 1 decimal, 2 grouped decimal (-1 digits), 3 grouped decimal (2 digits)
    const ZoChar* in;
    const ZoChar* expected;
  } cases[] = {
      {orv_test::UseEnglishUs, 0, u"Size 0012", u"Size 0012"},
      {orv_test::UseEnglishUs, 0, u"Size 0012345", u"Size 0012,345"},
      {orv_test::UseEnglishUs, 0, u"0", u"0"},
      {orv_test::UseEnglishUs, 0, u"1234.5", u"1,235"},
      {orv_test::UseEnglishUs, 0, u"-0.4", u"0"},
      {orv_test::UseEnglishUs, 0, u"999999.9", u"1,000,000"},
      {orv_test::UseEnglishUs, 0, u"12 MB", u"12 MB"},
      {orv_test::UseEnglishUs, 0, u"1234 MB", u"1234 MB"},
      {orv_test::UseEnglishUs, 0, u"-1234567  ", u"-1,234,567  "},  // right-hand padding stays
      {orv_test::UseGerman, 1, u"3.50   ", u"3,50   "},
      {orv_test::UseEnglishUs, 2, u"1234567.891", u"1,234,567.891"},
      {orv_test::UseEnglishUs, 2, u"0.5", u"0.5"},
      {orv_test::UseEnglishUs, 3, u"1.005", u"1.01"},
      {orv_test::UseEnglishUs, 3, u"-12", u"-12.00"},
      {orv_test::UseGerman, 1, u"3.50", u"3,50"},
      {orv_test::UseGerman, 1, u"1234567.5", u"1234567,5"},
      {orv_test::UseGerman, 2, u"1234567.891", u"1.234.567,891"},
      {orv_test::UseDotDot, 2, u"1234.5", u"1.234,5"},
      {UseNoSeparators, 0, u"1234567.5", u"1234568"},
      {UseNoSeparators, 1, u"1234.50", u"1234.50"},
      {UseNoSeparators, 2, u"-1234567.891", u"-1234567.891"},
  };
  for (const auto& c : cases) {
    c.locale();
    ZoChar out[64];
    int n = 0;
    switch (c.mode) {
      case 0: n = ZoFormatNumber(c.in, out, 64); break;
      case 1: n = ZoFormatDecimalNumber(c.in, out, 64); break;
      case 2: n = ZoFormatGroupDecimalNumber(c.in, out, 64, -1); break;
      default: n = ZoFormatGroupDecimalNumber(c.in, out, 64, 2); break;
    }
    EXPECT_EQ(plat::String16(out), c.expected) << plat::ToUtf8(c.in);
    EXPECT_EQ(static_cast<size_t>(n), plat::Length(out));
  }
}

TEST_F(NumberTest, FormattingNeverWritesPastTheCapacity) {
  for (int capacity = 1; capacity < 12; ++capacity) {
    std::vector<ZoChar> out(static_cast<size_t>(capacity) + 1, u'#');
    const int n = ZoFormatNumber(u"Total 1234567890", out.data(), capacity);
    EXPECT_LT(n, capacity);
    EXPECT_EQ(out[static_cast<size_t>(capacity)], u'#');
    EXPECT_EQ(plat::Length(out.data()), static_cast<size_t>(n));
  }
}

TEST_F(NumberTest, NumberTextWithExplicitGroupings) {
  struct Case {
    uint32_t grouping;
    const ZoChar* expected;
  } cases[] = {{3, u"123,456,789"}, {32, u"12,34,56,789"}, {30, u"123456,789"}, {0, u"123456789"}};
  for (const auto& c : cases) {
    ZoNumberFormat format;
    format.grouping = c.grouping;
    ZoChar out[32];
    ZoFormatNumberText(u"123456789", format, out, 32);
    EXPECT_EQ(plat::String16(out), c.expected) << c.grouping;
  }
  ZoChar out[32];
  EXPECT_EQ(ZoFormatNumberText(u"1.2.3", ZoNumberFormat{}, out, 32), -1);
  EXPECT_EQ(ZoFormatNumberText(u"-", ZoNumberFormat{}, out, 32), -1);
  ZoNumberFormat noLeadingZero;
  noLeadingZero.fractionDigits = 2;
  noLeadingZero.leadingZero = 0;
  ZoFormatNumberText(u"0.5", noLeadingZero, out, 32);
  EXPECT_EQ(plat::String16(out), u".50");
}

TEST_F(NumberTest, ReadersFollowTheLocaleNotation) {
  const ZoChar* text = u"  1.234,5";
  const ZoChar* end = nullptr;
  orv_test::UseGerman();
  EXPECT_EQ(ZoTextToLongToken(text, &end), 1234);
  EXPECT_EQ(*end, 0);
  orv_test::UseEnglishUs();
  EXPECT_EQ(ZoTextToLongToken(text, &end), 1);
  EXPECT_EQ(*end, 0);
  orv_test::UseDotDot();
  EXPECT_EQ(ZoTextToLongToken(text, &end), 1234);
  orv_test::UseEnglishUs();

  EXPECT_EQ(ZoTextToDWordToken(u"-5", nullptr), 0u);
  EXPECT_EQ(ZoTextToLongToken(u"-5", nullptr), -5);
  EXPECT_EQ(ZoTextToDWordToken(u"4294967297", nullptr), 1u);  // wraps
  EXPECT_EQ(ZoTextToLongToken(u"99999999999", nullptr), INT32_MAX);
  EXPECT_EQ(ZoTextToLongToken(u"-99999999999", nullptr), INT32_MIN);
  EXPECT_EQ(ZoTextToLongLongToken(u"-9,223,372,036,854,775,808", nullptr), INT64_MIN);
  EXPECT_EQ(ZoTextToDWordLongToken(u"18,446,744,073,709,551,615", nullptr), UINT64_MAX);
  EXPECT_EQ(ZoTextToLongToken(u"12 apples", &end), 12);
  EXPECT_EQ(plat::String16(end), u" apples");
}

TEST_F(NumberTest, ExReadersUseDefaultOnlyWithoutNumberAndClamp) {
  EXPECT_EQ(ZoTextToLongTokenEx(u"abc", 7, 0, 10, nullptr), 7);
  EXPECT_EQ(ZoTextToLongTokenEx(u"abc", 70, 0, 10, nullptr), 10);
  EXPECT_EQ(ZoTextToLongTokenEx(u"0", 7, 0, 10, nullptr), 0);
  EXPECT_EQ(ZoTextToLongTokenEx(u"  ", 7, 0, 10, nullptr), 0);
  EXPECT_EQ(ZoTextToLongTokenEx(u"-50", 7, -10, 10, nullptr), -10);
  EXPECT_EQ(ZoTextToDWordTokenEx(u"x", 3, 5, 9, nullptr), 5u);
  EXPECT_EQ(ZoTextToDWordLongTokenEx(u"123456789012", 0, 0, UINT64_MAX, nullptr), 123456789012u);
}

TEST_F(NumberTest, HexAndWhiteSpace) {
  const ZoChar* end = nullptr;
  EXPECT_EQ(ZoHexToDWordToken(u"  0x1F", &end), 0x1Fu);
  EXPECT_EQ(*end, 0);
  EXPECT_EQ(ZoHexToDWordToken(u"aBc z", &end), 0xABCu);
  EXPECT_EQ(plat::String16(end), u" z");
  EXPECT_EQ(ZoHexToDWordToken(u"0Xg", &end), 0u);
  ZoChar text[] = u"  a b  ";
  EXPECT_EQ(ZoStripWhiteSpace(text), 3);
  EXPECT_EQ(plat::String16(text), u"a b");
  ZoChar blank[] = u" \t\r\n";
  EXPECT_EQ(ZoStripWhiteSpace(blank), 0);
  EXPECT_EQ(blank[0], 0);
}

TEST(ErrorTranslation, SystemErrorsMapToLibraryResults) {
  const struct {
    uint32_t error;
    uint32_t result;
  } cases[] = {{0, 0},           {1, 0x80070057},  {2, 0x8004E00A},  {3, 0x8004E00A},  {126, 0x8004E00A},
               {4, 0x8004E026},  {5, 0x80004005},  {6, 0x80070006},  {14, 0x8007000E}, {15, 0x800404B0},
               {32, 0x8004E05A}, {39, 0x8004E002}, {112, 0x8004E002}, {80, 0x8004E032}, {110, 0x8004E007},
               {120, 0x80004001}, {123, 0x8004E00D}, {170, 0x8004E005}, {183, 0x80004005}, {9999, 0x80004005},
               {127, 0x8004E00A}, {84, 0x8007000E},  {7, 0x80004005},  {111, 0x80004005}, {0xFFFFFFFF, 0x80004005}};
  for (const auto& c : cases) {
    EXPECT_EQ(static_cast<uint32_t>(ZoErrorHandler_TranslateWin32Error(c.error)), c.result) << c.error;
  }
  const struct {
    uint32_t error;
    uint32_t result;
  } dialogCases[] = {{0, 0},           {1, 0x80070057},      {3, 0x80070057},      {4, 0x80070057},
                     {11, 0x80070057}, {0x3003, 0x80070057}, {0x4001, 0x80070057}, {0xFFFF, 0x80070057},
                     {2, 0x8007000E},  {5, 0x8007000E},      {7, 0x8007000E},      {10, 0x8007000E},
                     {0x3001, 0x8007000E}, {6, 0x8004E00E},  {0x3002, 0x8004E00D}, {12, 0x80004005},
                     {0x1000, 0x80004005}};
  for (const auto& c : dialogCases) {
    EXPECT_EQ(static_cast<uint32_t>(ZoErrorHandler_TranslateCommDlgError(c.error)), c.result) << c.error;
  }
}

}  // namespace
