// The package settings: built-in defaults, loading "sfxinst.ini" by the profile
// rules (missing file, missing section, values cut to their fields), writing it
// back so that it loads unchanged, and the title colour parser.
#include <gtest/gtest.h>

#include <string>

#include "app/package_settings.h"
#include "platform/paths.h"
#include "platform/profile.h"
#include "platform/results.h"
#include "platform/text.h"
#include "tests/platform/scratch_folder.h"

namespace {

using testing_support::ScratchFolder;

std::string Utf8(const ZoChar* field, size_t capacity) {
  return plat::ToUtf8(plat::StringView16(field, plat::BoundedLength(field, capacity)));
}
// Settings files in UTF-16LE read alike on every system (Windows reads 8-bit
// files in the ANSI code page).
std::string Utf16Le(const std::string& utf8) {
  std::string bytes("\xFF\xFE", 2);
  for (ZoChar c : plat::FromUtf8(utf8)) {
    bytes.push_back(static_cast<char>(c & 0xFF));
    bytes.push_back(static_cast<char>(c >> 8));
  }
  return bytes;
}
#define FIELD(settings, member) Utf8((settings).member, sizeof((settings).member) / sizeof(ZoChar))

void ExpectDefaults(const PackageSettings& s) {
  const std::string sep(1, static_cast<char>(plat::kSeparator));
  EXPECT_EQ(s.extractToTemp, 1);
  EXPECT_EQ(FIELD(s, banner), "");
  EXPECT_EQ(FIELD(s, defaultTarget), "$(ProgramFiles)" + sep + "Orvande Setup" + sep + "$(AppName)");
  EXPECT_EQ(FIELD(s, title), "");
  EXPECT_EQ(FIELD(s, name), "");
  EXPECT_EQ(FIELD(s, setupApp), "msisetup.exe");
  EXPECT_EQ(FIELD(s, setupAppParams), "");
  EXPECT_EQ(FIELD(s, titleFont), "MS Sans Serif");
  EXPECT_EQ(FIELD(s, titleFontColor), "0,0,0");
  EXPECT_EQ(s.lcid, 9u);
}

class PackageSettingsFile : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(scratch_.IsValid());
    path_ = scratch_ / "sfxinst.ini";
  }
  ScratchFolder scratch_;
  plat::String16 path_;
};

TEST_F(PackageSettingsFile, MissingFileOrSectionGivesTheDefaults) {
  PackageSettings fresh;
  ExpectDefaults(fresh);
  PackageSettings missing;
  EXPECT_EQ(missing.Load(path_.c_str()), 0);
  ExpectDefaults(missing);
  ASSERT_TRUE(ScratchFolder::WriteFile(path_, "[Other]\nName=not ours\nLCID=1041\n"));
  PackageSettings other;
  EXPECT_EQ(other.Load(path_.c_str()), 0);
  ExpectDefaults(other);
}

TEST_F(PackageSettingsFile, LoadsEveryKeyAndCutsLongValuesToTheirFields) {
  const std::string longName(2000, 'n');
  ASSERT_TRUE(ScratchFolder::WriteFile(path_, Utf16Le(
                                       "[quilletage]\r\n"
                                       "Banner=banner.png\r\n"
                                       "DefaultTarget=$(ProgramFiles)\\Orvande Setup\\Sample Tool 1.0\r\n"
                                       "Name=" + longName + "\r\n"
                                       "setupapp=Setup.exe\r\n"
                                       "SetupAppParams=/q $(AppName)\r\n"
                                       "Title=Sample 日本語\r\n"
                                       "TitleFont=\r\n"
                                       "TitleFontColor=" + std::string(40, '7') + "\r\n"
                                       "LCID=1041 Japanese\r\n"
                                       "ExtractToTemp=0\r\n")));
  PackageSettings s;
  EXPECT_EQ(s.Load(path_.c_str()), 0);
  EXPECT_EQ(FIELD(s, banner), "banner.png");
  EXPECT_EQ(FIELD(s, defaultTarget), "$(ProgramFiles)\\Orvande Setup\\Sample Tool 1.0");
  EXPECT_EQ(FIELD(s, name), std::string(1023, 'n'));
  EXPECT_EQ(FIELD(s, setupApp), "Setup.exe");
  EXPECT_EQ(FIELD(s, setupAppParams), "/q $(AppName)");
  EXPECT_EQ(FIELD(s, title), "Sample 日本語");
  EXPECT_EQ(FIELD(s, titleFont), "");  // present and empty: not the default
  EXPECT_EQ(FIELD(s, titleFontColor), std::string(31, '7'));
  EXPECT_EQ(s.lcid, 1041u);
  EXPECT_EQ(s.extractToTemp, 0);
}

TEST_F(PackageSettingsFile, SaveThenLoadGivesTheSameSettings) {
  PackageSettings written;
  plat::CopyTruncated(written.banner, kSettingsBannerCapacity, u"logo.png");
  plat::CopyTruncated(written.defaultTarget, kSettingsDefaultTargetCapacity, u"  $(WindowsDrive)Tools\\100%% ");
  plat::CopyTruncated(written.name, kSettingsNameCapacity, u"\"Quoted\" Tool é");
  plat::CopyTruncated(written.title, kSettingsTitleCapacity, u"ツール 1.0");
  plat::CopyTruncated(written.setupAppParams, kSettingsSetupAppParamsCapacity, u"-r \"$(Quilletage)\" --sfx");
  plat::CopyTruncated(written.titleFontColor, kSettingsTitleFontColorField, u"255,128,0");
  for (ZoChar& u : written.setupApp) u = u'x';  // filled to the last unit, no terminator
  written.lcid = 0xFFFFFFFFu;
  written.extractToTemp = -3;
  ASSERT_EQ(written.Save(path_.c_str()), 0);

  PackageSettings read;
  ASSERT_EQ(read.Load(path_.c_str()), 0);
  EXPECT_EQ(FIELD(read, banner), "logo.png");
  EXPECT_EQ(FIELD(read, defaultTarget), "  $(WindowsDrive)Tools\\100%% ");
  EXPECT_EQ(FIELD(read, name), "\"Quoted\" Tool é");
  EXPECT_EQ(FIELD(read, title), "ツール 1.0");
  EXPECT_EQ(FIELD(read, setupApp), std::string(259, 'x'));
  EXPECT_EQ(FIELD(read, setupAppParams), "-r \"$(Quilletage)\" --sfx");
  EXPECT_EQ(FIELD(read, titleFont), "MS Sans Serif");
  EXPECT_EQ(FIELD(read, titleFontColor), "255,128,0");
  EXPECT_EQ(read.lcid, 0xFFFFFFFFu);
  EXPECT_EQ(read.extractToTemp, -3);
  ASSERT_TRUE(plat::WritePrivateProfileText(u"Keep", u"Me", u"1", path_.c_str()));
  ASSERT_EQ(written.Save(path_.c_str()), 0);
  EXPECT_EQ(plat::GetPrivateProfileInteger(u"Keep", u"Me", 0, path_.c_str()), 1) << "other sections are kept";

  const plat::String16 nowhere = scratch_ / "no-such-folder" + plat::kSeparator + u"sfxinst.ini";
  EXPECT_EQ(written.Save(nowhere.c_str()), E_FAIL);
}

TEST(ParseTitleColor, ReadsThreeDecimalNumbersAsRgb) {
  struct Case {
    const char16_t* text;
    uint32_t expected;
  } const cases[] = {
      {u"0,0,0", 0},
      {u"255,0,0", 0x0000FFu},
      {u"0,255,0", 0x00FF00u},
      {u"1,2,3", 0x030201u},
      {u"256,511,-1", 0xFFFF00u},  // the low 8 bits of each number
      {u" 10 , 20 , 30 ", 0x1E140Au},
      {u"255", 0},    // no comma
      {u"255,0", 0},  // one comma
      {u"1,2,", 0},   // a comma at the end
      {u"1,,3", 0x030001u},
      {u"", 0},
      {u"a,b,c", 0},
  };
  for (const Case& c : cases) {
    plat::String16 text(c.text);
    EXPECT_EQ(ParseTitleColor(text.data()), c.expected) << plat::ToUtf8(c.text);
    EXPECT_EQ(text, c.text) << "the text is left as it was";
  }
  EXPECT_EQ(ParseTitleColor(nullptr), 0u);
}

}  // namespace
