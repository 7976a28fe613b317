// UTF conversion and bounded copies.
#include <gtest/gtest.h>

#include "platform/text.h"

namespace {

TEST(Utf, RoundTripsBmpAndSurrogatePairs) {
  std::string utf8 = "a\xC3\xA9\xE6\x97\xA5\xF0\x9F\x98\x80";  // a, e-acute, a CJK unit, an emoji
  plat::String16 u = plat::FromUtf8(utf8);
  ASSERT_EQ(u.size(), 5u);
  EXPECT_EQ(u[3], 0xD83D);
  EXPECT_EQ(plat::ToUtf8(u), utf8);
}

TEST(Utf, InvalidInputBecomesReplacementAndStrictFails) {
  plat::String16 out;
  EXPECT_FALSE(plat::FromUtf8Strict("a\xFF" "b", &out));
  EXPECT_EQ(out, plat::String16(u"a\uFFFDb"));
  EXPECT_FALSE(plat::FromUtf8Strict("\xE6\x97", &out));  // truncated sequence at the end
  EXPECT_FALSE(plat::FromUtf8Strict("\xC0\x80", &out));  // overlong NUL
  EXPECT_EQ(plat::ToUtf8(plat::String16(1, char16_t(0xD800))), "\xEF\xBF\xBD");
}

TEST(CopyTruncated, AlwaysTerminatesWithinCapacity) {
  ZoChar buf[4] = {1, 1, 1, 1};
  EXPECT_EQ(plat::CopyTruncated(buf, 4, u"abcdef"), 3u);
  EXPECT_EQ(plat::String16(buf), u"abc");
  EXPECT_EQ(plat::CopyTruncated(buf, 0, u"x"), 0u);
  EXPECT_EQ(plat::BoundedLength(u"abc", 2), 2u);
}

}  // namespace
