// The setup launch end to end: a real program (args_probe) started from the
// target folder records the arguments and the folder it got; failed and refused
// starts end in the launch error message.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/installer_state.h"
#include "app/setup_launch.h"
#include "platform/directory.h"
#include "platform/file.h"
#include "platform/paths.h"
#include "platform/text.h"
#include "runtime/zo_lang.h"
#include "runtime/zo_printf.h"
#include "tests/app/message_capture.h"
#include "tests/platform/probe/args_probe_support.h"
#include "tests/platform/scratch_folder.h"

namespace {

using plat::String16;
using plat::U16;
using testing_support::ScratchFolder;

class SetupLaunchTest : public testing_support::InstallerTest {
 protected:
  void SetUp() override {
    InstallerTest::SetUp();
    ASSERT_TRUE(dir_.IsValid());
    record_ = dir_ / "record.bin";
    testing_support::SetProbeRecordPath(record_);
    const String16 probe = testing_support::ArgsProbePath();
    const size_t slash = probe.find_last_of(plat::kSeparator);
    probeFolder_ = probe.substr(0, slash);
    probeName_ = probe.substr(slash + 1);
    SetTarget(probeFolder_);
    ZoChar own[ZO_MAX_PATH], shortPath[ZO_MAX_PATH];
    ASSERT_GT(plat::GetModuleFileName(nullptr, own, ZO_MAX_PATH), 0u);
    ASSERT_GT(plat::GetShortPath(own, shortPath, ZO_MAX_PATH), 0u);
    ownShortPath_ = plat::ToUtf8(shortPath);
  }
  void TearDown() override {
    ZoLang_UpdateKernelLCID(g_installer.language, 1033);
    InstallerTest::TearDown();
  }
  static void SetTarget(const String16& folder) {
    plat::CopyTruncated(g_installer.targetFolder, ZO_MAX_PATH, folder);
  }
  // Launches and returns the probe's record (empty when it did not run).
  std::vector<std::string> Launch(const ZoChar* app, const ZoChar* params, uint32_t* exitCode = nullptr) {
    plat::DeleteFile(record_.c_str());
    boxes_.clear();
    EXPECT_EQ(LaunchSetup(app, params, exitCode), 0);
    return testing_support::ReadProbeRecord(record_);
  }
  std::string LaunchError(const String16& path, const std::string& reason) const {
    return "An occurred while trying to launch the installer:\n\n" + plat::ToUtf8(path) + "\n\n" + reason;
  }

  ScratchFolder dir_;
  String16 record_, probeFolder_, probeName_;
  std::string ownShortPath_;
};

TEST_F(SetupLaunchTest, TheProgramGetsTheExpandedParametersAsItsArguments) {
  ZoPrintF_AddToken(u"AppName", u"Product");
  ZoPrintF_AddToken(u"AppName.Title", u"The Product  Title");
  struct Case {
    const char* name;
    const ZoChar* params;
    std::vector<std::string> expected;  // "<own>" stands for the installer's short path
    bool posixOnly;                     // quote rules the Windows C runtime reads otherwise
  };
  const String16 longest(2082, u'x');  // the parameters may use all but the terminator
  const Case cases[] = {
      {"no parameters: string 209", nullptr, {"-r", "<own>", "--sfx"}, false},
      {"empty parameters: string 209", u"", {"-r", "<own>", "--sfx"}, false},
      {"tokens", u"/q $(AppName)", {"/q", "Product"}, false},
      {"a quoted token keeps its spaces", u"-t \"$(AppName.Title)\"", {"-t", "The Product  Title"}, false},
      {"the post-install switch alone", u" --post_install", {"--post_install"}, false},
      {"percent and dollar stand for themselves", u"100% %s %d $d $HOME %%", {"100%", "%s", "%d", "$d", "$HOME", "%"},
       false},
      {"an unknown token stays as written", u"$(NoSuchToken)", {"$(NoSuchToken)"}, false},
      {"the command line's quote rules", u"a\"b c\"d \"say \"\"hi\"\"\" \"\"", {"ab cd", "say \"hi\"", ""}, true},
      {"2,082 units", longest.c_str(), {std::string(2082, 'x')}, false},
  };
  ZoChar saved[ZO_MAX_PATH];
  ASSERT_GT(plat::GetCurrentDirectory(saved, ZO_MAX_PATH), 0u);
  const String16 work = dir_ / "current";
  ASSERT_TRUE(plat::CreateDirectory(work.c_str()));
  ZoChar workFull[ZO_MAX_PATH];
  ASSERT_GT(plat::GetFullPath(work.c_str(), workFull, ZO_MAX_PATH), 0u);
  ASSERT_TRUE(plat::SetCurrentDirectory(work.c_str()));
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    if (c.posixOnly && testing_support::HasWindowsRules()) continue;
    uint32_t exitCode = 0;
    std::vector<std::string> record = Launch(probeName_.c_str(), c.params, &exitCode);
    ASSERT_FALSE(record.empty()) << (boxes_.empty() ? "" : boxes_[0].text);
    EXPECT_TRUE(boxes_.empty());
    // Started in the installer's current folder, not in the target folder.
    EXPECT_TRUE(plat::EqualsNoCase(U16(record[0]), workFull)) << record[0];
    std::vector<std::string> expected = c.expected;
    for (std::string& e : expected) {
      if (e == "<own>") e = ownShortPath_;
    }
    EXPECT_EQ(std::vector<std::string>(record.begin() + 1, record.end()), expected);
    EXPECT_EQ(exitCode, 40u + expected.size());
    // The own path is a token only while the parameters are expanded.
    ZoChar after[64];
    ZoPrintFEx(after, 64, u"$(Quilletage)");
    EXPECT_EQ(String16(after), u"$(Quilletage)");
  }
  plat::SetCurrentDirectory(saved);
}

// Nothing is started with a cut path or command line, nor when the start fails.
TEST_F(SetupLaunchTest, AStartThatFailsOrIsRefusedShowsTheLaunchErrorWithTheReason) {
  const String16 plainFile = dir_ / "setup.txt";
  ASSERT_TRUE(ScratchFolder::WriteFile(plainFile, "not a program"));
  const String16 noFormat = dir_ / "garbage";
  ASSERT_TRUE(ScratchFolder::WriteFile(noFormat, "\x01\x02 no program format\n"));
  plat::SetPosixMode(noFormat.c_str(), 0755);
  const String16 longApp(259 - dir_.Path().size(), u'a');  // one unit over with the separator
  const String16 title(1000, u't');
  ZoPrintF_AddToken(u"AppName.Title", title.c_str());
  const std::string tooLong = "The command line for this program is longer than 2,082 characters.";
  struct Case {
    const char* name;
    String16 target;
    String16 app;
    String16 params;
    std::string reason;
    bool posixOnly;  // Windows opens a document with its associated program
  };
  const Case cases[] = {
      {"missing program", dir_.Path(), U16("setup"), u"", "The file was not found.", false},
      {"missing folder", dir_ / "gone", U16("setup"), u"", "The path was not found.", false},
      {"not executable", dir_.Path(), U16("setup.txt"), u"", "Access denied.", true},
      {"no program format", dir_.Path(), U16("garbage"), u"", "Unknown error: 193", true},
      {"path longer than 259 units", dir_.Path(), longApp, u"", "The path is longer than 259 characters.", false},
      {"parameters one unit too long", probeFolder_, probeName_, String16(2083, u'x'), tooLong, false},
      {"tokens expanding beyond the buffer", probeFolder_, probeName_,
       U16("$(AppName.Title) $(AppName.Title) $(AppName.Title)"), tooLong, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    if (c.posixOnly && testing_support::HasWindowsRules()) continue;
    SetTarget(c.target);
    uint32_t exitCode = 7;
    EXPECT_TRUE(Launch(c.app.c_str(), c.params.c_str(), &exitCode).empty());
    EXPECT_EQ(exitCode, 0u);
    ASSERT_EQ(boxes_.size(), 1u);
    String16 shown = c.target + plat::kSeparator + c.app;
    if (shown.size() >= static_cast<size_t>(ZO_MAX_PATH)) shown.resize(ZO_MAX_PATH - 1);
    EXPECT_EQ(boxes_[0].text, LaunchError(shown, c.reason));
    EXPECT_EQ(boxes_[0].caption, "Launch Error");
    EXPECT_EQ(boxes_[0].flags, 0x30u);
  }

  // The message comes from the package's language.
  ASSERT_TRUE(ZoLang_UpdateKernelLCID(g_installer.language, 1041));
  SetTarget(dir_.Path());
  EXPECT_TRUE(Launch(u"setup", nullptr).empty());
  ASSERT_EQ(boxes_.size(), 1u);
  EXPECT_EQ(boxes_[0].text, "インストーラの起動中にエラーが発生しました:\n\n" + plat::ToUtf8(dir_ / "setup") +
                                "\n\nファイルが見つかりませんでした。");
  EXPECT_EQ(boxes_[0].caption, "起動エラー");
}

}  // namespace
