// The user's profile, read from a test file through the profile seam: the same
// file must give the same answers on both systems (Windows reads it with
// GetPrivateProfileStringW, POSIX with the back end's own reader).
#include <gtest/gtest.h>

#include "platform/profile.h"
#include "platform/text.h"
#include "tests/platform/scratch_folder.h"

namespace {

using testing_support::ScratchFolder;

class UserProfile : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(scratch_.IsValid());
    file_ = scratch_ / "profile.ini";
    ASSERT_TRUE(ScratchFolder::WriteFile(file_,
                                         "[Other]\r\n"
                                         "Path=other\r\n"
                                         "[ debug ]\r\n"
                                         "; a comment line\r\n"
                                         "  Path  =  spaced value  \r\n"
                                         "Quoted=\"  kept inside  \"\r\n"
                                         "Single='x'\r\n"
                                         "Half=\"open\r\n"
                                         "Empty=\r\n"
                                         "Number= -42xyz\r\n"
                                         "Big=99999999999\r\n"
                                         "Word=abc\r\n"
                                         "path=second\r\n"));
    plat::SetUserProfileFile(file_.c_str());
  }
  void TearDown() override { plat::SetUserProfileFile(nullptr); }

  std::string Text(const char* section, const char* key, const ZoChar* fallback = u"<default>",
                   uint32_t capacity = 64) {
    ZoChar out[64];
    for (ZoChar& u : out) u = u'#';
    const uint32_t n = plat::GetUserProfileString(plat::U16(section).c_str(), plat::U16(key).c_str(), fallback,
                                                  out, capacity);
    EXPECT_EQ(n, plat::Length(out));
    if (capacity < 64) {
      EXPECT_EQ(out[capacity], u'#') << "wrote past the capacity";
    }
    return plat::ToUtf8(out);
  }

  ScratchFolder scratch_;
  plat::String16 file_;
};

TEST_F(UserProfile, StringsFollowTheProfileRules) {
  struct Case {
    const char* section;
    const char* key;
    const char* expected;
  } const cases[] = {
      {"Debug", "Path", "spaced value"},  // section and key without case; blanks dropped; first key wins
      {"DEBUG", "quoted", "  kept inside  "},
      {"Debug", "Single", "x"},
      {"Debug", "Half", "\"open"},
      {"Debug", "Empty", ""},
      {"Debug", "Missing", "<default>"},
      {"Other", "Path", "other"},
      {"Nowhere", "Path", "<default>"},
  };
  for (const Case& c : cases) EXPECT_EQ(Text(c.section, c.key), c.expected) << c.section << "/" << c.key;
  EXPECT_EQ(Text("Debug", "Path", u"<default>", 7), "spaced");
  EXPECT_EQ(Text("Debug", "Missing", nullptr), "");
  ZoChar one[1] = {u'#'};
  EXPECT_EQ(plat::GetUserProfileString(u"Debug", u"Path", nullptr, one, 1), 0u);
  EXPECT_EQ(one[0], 0);
}

TEST_F(UserProfile, NumbersReadTheLeadingDecimalNumber) {
  EXPECT_EQ(plat::GetUserProfileInt(u"Debug", u"Number", 5), -42);
  EXPECT_EQ(plat::GetUserProfileInt(u"Debug", u"Word", 5), 0);
  EXPECT_EQ(plat::GetUserProfileInt(u"Debug", u"Empty", 5), 5);
  EXPECT_EQ(plat::GetUserProfileInt(u"Debug", u"Missing", 5), 5);
  EXPECT_NE(plat::GetUserProfileInt(u"Debug", u"Big", 5), 5);  // some large number, never the default
}

TEST_F(UserProfile, MissingFileIsAnEmptyProfile) {
  const plat::String16 missing = scratch_ / "absent.ini";
  plat::SetUserProfileFile(missing.c_str());
  EXPECT_EQ(Text("Debug", "Path"), "<default>");
  EXPECT_EQ(plat::GetUserProfileInt(u"Debug", u"Number", 7), 7);
}

}  // namespace
