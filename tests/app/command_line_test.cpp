// The installer's command line: the word splitter's quote rules, the round trip
// of a POSIX argument list through one quoted text, switch forms and their
// effects on the installer state, the boxes shown, and response files
// (nesting, loops, unreadable files, the 8-bit code page).
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/command_line.h"
#include "app/installer_state.h"
#include "platform/errors.h"
#include "platform/locale.h"
#include "platform/terminal.h"
#include "platform/text.h"
#include "runtime/zo_kernel.h"
#include "runtime/zo_lang.h"
#include "runtime/zo_msgbox.h"
#include "runtime/zo_printf.h"
#include "tests/platform/scratch_folder.h"

namespace {

using plat::String16;
using plat::U16;

struct Box {
  String16 text;
  String16 caption;
  uint32_t flags;
};

int32_t CaptureBox(void* data, plat::WindowHandle, const ZoChar* text, const ZoChar* caption, uint32_t flags) {
  static_cast<std::vector<Box>*>(data)->push_back({text ? text : u"", caption ? caption : u"(default)", flags});
  return ZO_IDOK;
}

// The expected boxes are written as short texts: "HELP" for the help box,
// "Error ..." as a prefix of the error box, anything else the exact text.
void ExpectBoxes(const std::vector<Box>& boxes, const std::vector<std::string>& expected) {
  ASSERT_EQ(boxes.size(), expected.size());
  for (size_t i = 0; i < boxes.size(); ++i) {
    SCOPED_TRACE(i);
    if (expected[i] == "HELP") {
      EXPECT_EQ(boxes[i].caption, u"Orvande Self Extractor software - Help");
      EXPECT_EQ(boxes[i].text.rfind(u"Command-line usage:\n", 0), 0u) << plat::ToUtf8(boxes[i].text);
      EXPECT_EQ(boxes[i].flags, 0u);
    } else if (expected[i].rfind("Error ", 0) == 0) {
      EXPECT_EQ(boxes[i].text.rfind(U16(expected[i]), 0), 0u) << plat::ToUtf8(boxes[i].text);
      EXPECT_EQ(boxes[i].text.substr(boxes[i].text.size() - 3), u" \r\n");
      EXPECT_EQ(boxes[i].flags, 0x30u);
    } else {
      EXPECT_EQ(plat::ToUtf8(boxes[i].text), expected[i]);
      EXPECT_EQ(boxes[i].caption, u"(default)");
      EXPECT_EQ(boxes[i].flags, 0x30u);
    }
  }
}

class CommandLineTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { ASSERT_TRUE(ZoKernel_Startup(nullptr)); }
  static void TearDownTestSuite() { ZoKernel_Shutdown(nullptr); }
  void SetUp() override {
    ResetInstallerState();
    ASSERT_EQ(ZoLang_Open(&g_installer.language, nullptr, 0, 0), S_OK);
    ZoMsgBoxSetAppData(nullptr, nullptr, u"Orvande Self Extractor");
    ZoPrintF_AddToken(u"AppName.Title", u"Orvande Self Extractor");
    ASSERT_EQ(ZoMsgBoxSetHook(CaptureBox, &boxes_), 1);
  }
  void TearDown() override {
    ZoMsgBoxSetHook(nullptr, nullptr);
    ZoLang_Close(g_installer.language);
    ResetInstallerState();
  }
  // A fresh state for the next case of a table.
  void Reset() {
    HZOLANG language = g_installer.language;
    ResetInstallerState();
    g_installer.language = language;
    boxes_.clear();
  }

  std::vector<Box> boxes_;
};

TEST(SplitWords, FollowsTheQuoteAndWhiteSpaceRules) {
  struct Case {
    const char16_t* text;
    std::vector<String16> words;
  };
  const Case cases[] = {
      {u"", {}},
      {u" \t\r\n\v\f", {}},
      {u"  a\t\tb\r\n", {u"a", u"b"}},
      // Unicode white space separates too: no-break, ideographic and line separators.
      {u"a\u00A0b\u3000c\u2028d\u0085e", {u"a", u"b", u"c", u"d", u"e"}},
      {u"\"a b\"", {u"a b"}},
      {u"a\"b c\"d", {u"ab cd"}},
      {u"\"\"", {u""}},
      {u"\"\" x \"\"", {u"", u"x", u""}},
      {u"\"", {u""}},
      {u"\"say \"\"hi\"\"\"", {u"say \"hi\""}},
      {u"\"\"\"\"", {u"\""}},
      // Outside quotes "" is an empty pair, not a literal.
      {u"a\"\"b", {u"ab"}},
      {u"\"a  b", {u"a  b"}},
      {u"\"a \"  b", {u"a ", u"b"}},
      {u"\"a\"b\"c d\"", {u"abc d"}},
      // A backslash is an ordinary character.
      {u"C:\\\"Program Files\"\\x a\\\"b", {u"C:\\Program Files\\x", u"a\\b"}},
      {u"-run:\"C:\\My Files\" @resp", {u"-run:C:\\My Files", u"@resp"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(plat::ToUtf8(c.text));
    WordBuffer buffer;
    const ZoResult result = SplitWords(c.text, &buffer);
    EXPECT_EQ(result, c.words.empty() ? S_FALSE : S_OK);
    ASSERT_EQ(buffer.Count(), static_cast<int>(c.words.size()));
    if (c.words.empty()) {
      EXPECT_EQ(buffer.Words(), nullptr);
      continue;
    }
    for (size_t i = 0; i < c.words.size(); ++i) EXPECT_EQ(String16(buffer.Words()[i]), c.words[i]);
    EXPECT_EQ(buffer.Words()[c.words.size()], nullptr);
    std::vector<String16> list;
    ASSERT_TRUE(SplitWordsToList(c.text, &list));
    EXPECT_EQ(list, c.words);
  }
  WordBuffer none;
  EXPECT_EQ(SplitWords(nullptr, &none), S_FALSE);
  std::vector<String16> list{u"stale"};
  EXPECT_TRUE(SplitWordsToList(nullptr, &list));
  EXPECT_TRUE(list.empty());
}

TEST(SplitWords, GivesBackEveryArgumentListThatWasQuotedIntoOneText) {
  const std::vector<std::vector<String16>> lists = {
      {},
      {u"/opt/pkg/setup.bin"},
      {u"prog", u""},
      {u"", u"", u""},
      {u"a b", u"c"},
      {u"\"", u"\"\"", u"a\"b", u"say \"hi\"", u"end\"", u"\"start"},
      {u" ", u"\t", u"\u3000", u"  two  spaces  "},
      {u"a\"\" b", u"\" \"", u"x\"y\"z"},
      {u"-run:C:\\Files", u"@list.rsp", u"--post_install", u"\u65E5\u672C\u8A9E"},
  };
  for (const auto& arguments : lists) {
    const String16 line = plat::QuoteCommandLine(arguments);
    SCOPED_TRACE(plat::ToUtf8(line));
    std::vector<String16> words;
    ASSERT_TRUE(SplitWordsToList(line.c_str(), &words));
    EXPECT_EQ(words, arguments);
  }
  // On POSIX the process's command line is argv quoted the same way; Windows
  // gives the system's own line and ignores argv.
  if (!testing_support::HasWindowsRules()) {
    char program[] = "/opt/x/sfxstub";
    char run[] = "-run";
    char folder[] = "/tmp/my \"quoted\" folder";
    char empty[] = "";
    char* argv[] = {program, run, folder, empty, nullptr};
    std::vector<String16> words;
    ASSERT_TRUE(SplitWordsToList(plat::GetProcessCommandLine(4, argv).c_str(), &words));
    EXPECT_EQ(words, (std::vector<String16>{u"/opt/x/sfxstub", u"-run", u"/tmp/my \"quoted\" folder", u""}));
  } else {
    EXPECT_FALSE(plat::GetProcessCommandLine(0, nullptr).empty());
  }
}

TEST(SystemMessageText, ExplainsSystemErrorsAndNotTheInstallersOwnCodes) {
  // The error box shows the system's text: there is one for a system error
  // (bare or wrapped in a result code), none for the 0x8004Exxx codes.
  EXPECT_FALSE(plat::SystemMessageText(static_cast<uint32_t>(E_OUTOFMEMORY)).empty());
  EXPECT_FALSE(plat::SystemMessageText(plat::kErrorFileNotFound).empty());
  EXPECT_EQ(plat::SystemMessageText(static_cast<uint32_t>(INST_E_RESPONSE_FILE)), u"");
  // 8-bit text of the system's code page: ASCII is the same everywhere.
  EXPECT_EQ(plat::FromSystemCodePage(std::string_view("-run:C:\\x \"a\"", 13)), u"-run:C:\\x \"a\"");
  EXPECT_EQ(plat::FromSystemCodePage(""), u"");
}

TEST_F(CommandLineTest, SwitchesValuesAndBoxes) {
  const std::string longName(70, 'a');
  const std::string longFolder(300, 'x');
  struct Case {
    std::string line;
    ZoResult result;
    std::vector<std::string> boxes;
    int runOnly = 0;
    std::string target = {};
    int noSetup = 0;
    int postInstall = 0;
  };
  const std::vector<Case> cases = {
      {"", S_FALSE, {}},
      {"prog", S_FALSE, {}},
      // The value of RUN, inline or as the next word, in every switch form and case.
      {"prog -run:C:\\Files", S_OK, {}, 1, "C:\\Files"},
      {"prog /run C:\\Files", S_OK, {}, 1, "C:\\Files"},
      {"prog --RUN C:\\Files", S_OK, {}, 1, "C:\\Files"},
      {"prog -Run: C:\\Files", S_OK, {}, 1, "C:\\Files"},
      {"prog -run \"C:\\My Files\"", S_OK, {}, 1, "C:\\My Files"},
      {"prog -run:a -run:b", S_OK, {}, 1, "b"},
      {"prog -run " + longFolder, S_OK, {}, 1, std::string(259, 'x')},
      {"prog -run \"\"", S_OK, {}, 1, ""},
      // The other switches take a value too, and ignore it.
      {"prog -nosetup:1", S_OK, {}, 0, "", 1},
      {"prog -NoSetup yes /post_install:x", S_OK, {}, 0, "", 1, 1},
      {"prog -log:a -DEBUG b /trace c", S_OK, {}},
      // Missing values, unknown switches and bare switch characters end the run
      // silently, with nothing applied.
      {"prog -run", E_INVALIDARG, {}},
      {"prog -run: -nosetup:1", E_INVALIDARG, {}},
      // Where "/" starts absolute paths, a separate value may begin with it.
      plat::kSeparator == u'/' ? Case{"prog -nosetup:1 -run /x", S_OK, {}, 1, "/x", 1}
                               : Case{"prog -nosetup:1 -run /x", E_INVALIDARG, {}},
      {"prog -nosetup", E_INVALIDARG, {}},
      {"prog -", E_INVALIDARG, {}},
      {"prog --", E_INVALIDARG, {}},
      {"prog -:", E_INVALIDARG, {}},
      {"prog ---run x", E_INVALIDARG, {}},
      {"prog -bogus:1 -run:x", E_INVALIDARG, {}},
      {"prog -" + longName + ":v", E_INVALIDARG, {}},
      {"prog @", E_INVALIDARG, {}},
      {"prog @ -run:x", E_INVALIDARG, {}},
      // Help: no value allowed, and nothing after it is applied.
      {"prog -?", INST_E_HELP_SHOWN, {"HELP"}},
      {"prog /HELP", INST_E_HELP_SHOWN, {"HELP"}},
      {"prog -help:", INST_E_HELP_SHOWN, {"HELP"}},
      {"prog -?:x", E_INVALIDARG, {}},
      {"prog -help foo -run:x", INST_E_HELP_SHOWN, {"HELP"}},
      {"prog -run:x foo -? bar", INST_E_HELP_SHOWN, {"Invalid Argument: foo\n", "HELP"}, 1, "x"},
      // Plain words: one box each, the switches around them still applied.
      {"prog foo bar", E_INVALIDARG, {"Invalid Argument: foo\n", "Invalid Argument: bar\n"}},
      {"prog -nosetup:1 \"a b\" -run x", E_INVALIDARG, {"Invalid Argument: a b\n"}, 1, "x", 1},
      {"prog 100%", E_INVALIDARG, {"Invalid Argument: 100%\n"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.line);
    Reset();
    EXPECT_EQ(ParseCommandLine(U16(c.line).c_str(), true), c.result);
    ExpectBoxes(boxes_, c.boxes);
    EXPECT_EQ(g_installer.runOnly, c.runOnly);
    EXPECT_EQ(plat::ToUtf8(g_installer.targetFolder), c.target);
    EXPECT_EQ(g_installer.noSetup, c.noSetup);
    EXPECT_EQ(g_installer.postInstall, c.postInstall);
  }
  // Without skipping, the first word is an item like the others.
  Reset();
  EXPECT_EQ(ParseCommandLine(u"-nosetup:1", false), S_OK);
  EXPECT_EQ(g_installer.noSetup, 1);
  Reset();
  EXPECT_EQ(ParseCommandLine(u"prog", false), E_INVALIDARG);
  ExpectBoxes(boxes_, {"Invalid Argument: prog\n"});
}

// The switches of unattended runs and of looking inside: what the parse applies,
// and what the early scan finds (also on a line the parse refuses whole).
TEST_F(CommandLineTest, UnattendedAndLookInsideSwitches) {
  struct Case {
    std::string line;
    ZoResult result;
    int32_t mode;         // after the parse
    int32_t scannedMode;  // after ScanUnattendedSwitches alone
    std::string scannedLog;
    std::string log = {};
    std::string target = {};  // TARGET's value; empty: not given
    int32_t look = LOOK_INSIDE_NONE;
    std::string folder = {};
    std::vector<std::string> boxes = {};
  };
  const int32_t I = RUN_MODE_INTERACTIVE, P = RUN_MODE_PASSIVE, Q = RUN_MODE_QUIET;
  const std::vector<Case> cases = {
      {"prog -quiet -target C:\\T -log run.log", S_OK, Q, Q, "run.log", "run.log", "C:\\T"},
      {"prog /PASSIVE --log:x.log", S_OK, P, P, "x.log", "x.log"},
      // The quieter mode wins in either order.
      {"prog -passive -quiet", S_OK, Q, Q, ""},
      {"prog -quiet -passive", S_OK, Q, Q, ""},
      // Neither takes a value; a refused line still counts as quiet for the scan
      // when its -quiet is well formed, so its end is said in no box.
      {"prog -quiet:1", E_INVALIDARG, I, I, ""},
      {"prog -bogus -quiet -log L", E_INVALIDARG, I, Q, "L"},
      {"prog -log", E_INVALIDARG, I, I, ""},
      {"prog -target", E_INVALIDARG, I, I, ""},
      {"prog foo -quiet", E_INVALIDARG, Q, Q, "", "", "", LOOK_INSIDE_NONE, "", {"Invalid Argument: foo\n"}},
      {"prog -list", S_OK, I, I, "", "", "", LOOK_INSIDE_LIST},
      {"prog -TEST -quiet", S_OK, Q, Q, "", "", "", LOOK_INSIDE_TEST},
      {"prog -extract:out", S_OK, I, I, "", "", "", LOOK_INSIDE_EXTRACT, "out"},
      {"prog -extract", E_INVALIDARG, I, I, ""},
      {"prog -list:x", E_INVALIDARG, I, I, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.line);
    Reset();
    ScanUnattendedSwitches(U16(c.line).c_str());
    EXPECT_EQ(g_installer.runMode, c.scannedMode);
    EXPECT_EQ(plat::ToUtf8(g_installer.logPath), c.scannedLog);
    EXPECT_TRUE(boxes_.empty());
    Reset();
    EXPECT_EQ(ParseCommandLine(U16(c.line).c_str(), true), c.result);
    ExpectBoxes(boxes_, c.boxes);
    EXPECT_EQ(g_installer.runMode, c.mode);
    EXPECT_EQ(plat::ToUtf8(g_installer.logPath), c.log);
    EXPECT_EQ(g_installer.targetGiven, c.target.empty() ? 0 : 1);
    EXPECT_EQ(plat::ToUtf8(g_installer.targetOverride), c.target);
    EXPECT_EQ(g_installer.lookInside, c.look);
    EXPECT_EQ(plat::ToUtf8(g_installer.lookInsideFolder), c.folder);
    EXPECT_EQ(g_installer.runOnly, 0);
  }
}

TEST_F(CommandLineTest, ResponseFiles) {
  testing_support::ScratchFolder folder;
  ASSERT_TRUE(folder.IsValid());
  const std::string dir = plat::ToUtf8(folder.Path());
  auto expand = [&](std::string text) {
    for (size_t at; (at = text.find("$DIR")) != std::string::npos;) text.replace(at, 4, dir);
    return text;
  };
  std::string wide;
  for (int i = 0; i < kMaxResponseFiles + 10; ++i) wide += "@\"$DIR/empty.rsp\" ";
  const struct {
    const char* name;
    std::string content;
  } files[] = {
      {"outer.rsp", "-nosetup:1\r\n@\"$DIR/inner.rsp\"\r\n"},
      {"inner.rsp", "-run C:\\Files /post_install:1"},
      {"empty.rsp", ""},
      {"blank.rsp", " \r\n\t"},
      {"self.rsp", "-nosetup:1 @\"$DIR/self.rsp\""},
      {"ping.rsp", "@\"$DIR/pong.rsp\" foo"},
      {"pong.rsp", "@\"$DIR/ping.rsp\""},
      {"fan.rsp", "@\"$DIR/fan.rsp\" @\"$DIR/fan.rsp\" @\"$DIR/fan.rsp\" @\"$DIR/fan.rsp\""},
      {"wide.rsp", wide},
      {"help.rsp", "-? -run:x"},
      {"bad.rsp", "-bogus"},
      {"plain.rsp", "stray"},
      {"zero.rsp", std::string("-nosetup:1\0 -run x", 18)},
      {"utf8.rsp", "-run:\"/opt/\xC3\x9Cn\xC3\xAF c\xC3\xB8\x64\xC3\xA9 \xE6\x97\xA5\xE6\x9C\xAC\""},
  };
  for (const auto& f : files) {
    std::string bytes = expand(f.content);
    // Windows reads response files in the ANSI code page.
    if (testing_support::HasWindowsRules()) bytes = plat::ToSystemCodePage(U16(bytes));
    ASSERT_TRUE(testing_support::ScratchFolder::WriteFile(folder / f.name, bytes)) << f.name;
  }
  const std::string utf8Target = "/opt/\xC3\x9Cn\xC3\xAF c\xC3\xB8\x64\xC3\xA9 \xE6\x97\xA5\xE6\x9C\xAC";
  const std::string readTarget = testing_support::HasWindowsRules()
                                     ? plat::ToUtf8(plat::FromSystemCodePage(plat::ToSystemCodePage(U16(utf8Target))))
                                     : utf8Target;
  const std::string error = "Error 0x8004e007: ";
  struct Case {
    std::string line;
    ZoResult result;
    std::vector<std::string> boxes;
    int runOnly = 0;
    std::string target = {};
    int noSetup = 0;
    int postInstall = 0;
  };
  const std::vector<Case> cases = {
      {"prog @\"$DIR/outer.rsp\"", S_OK, {}, 1, "C:\\Files", 1, 1},
      // A separate value may be a path of the system (on POSIX beginning with "/").
      {"prog @ \"$DIR/inner.rsp\" -nosetup:1", S_OK, {}, 1, "C:\\Files", 1, 1},
      {"prog @\"$DIR/empty.rsp\"", S_FALSE, {}},
      {"prog @\"$DIR/blank.rsp\" -nosetup:1", S_FALSE, {}, 0, "", 1},
      {"prog @\"$DIR/zero.rsp\"", S_OK, {}, 0, "", 1},
      {"prog @\"$DIR/utf8.rsp\"", S_OK, {}, 1, readTarget},
      // Unreadable: missing, a folder, and files that name themselves.
      {"prog @\"$DIR/missing.rsp\" -nosetup:1", INST_E_RESPONSE_FILE, {error}, 0, "", 1},
      {"prog @\"$DIR\"", INST_E_RESPONSE_FILE, {error}},
      {"prog @\"$DIR/self.rsp\"", INST_E_RESPONSE_FILE, {error}, 0, "", 1},
      {"prog @\"$DIR/ping.rsp\" -run:x", INST_E_RESPONSE_FILE, {error}},
      {"prog @\"$DIR/fan.rsp\"", INST_E_RESPONSE_FILE, {error}},
      {"prog @\"$DIR/wide.rsp\"", INST_E_RESPONSE_FILE, {error}},
      // Help inside a file stops the outer list too.
      {"prog @\"$DIR/help.rsp\" -run:y", INST_E_HELP_SHOWN, {"HELP"}},
      // A file's result replaces the running result...
      {"prog @\"$DIR/bad.rsp\" -nosetup:1", E_INVALIDARG, {}, 0, "", 1},
      {"prog @\"$DIR/plain.rsp\"", E_INVALIDARG, {"Invalid Argument: stray\n"}},
      {"prog stray @\"$DIR/missing.rsp\"", INST_E_RESPONSE_FILE, {"Invalid Argument: stray\n", error}},
      // ...but a file that reads fine does not hide an argument already refused.
      {"prog stray @\"$DIR/inner.rsp\"", E_INVALIDARG, {"Invalid Argument: stray\n"}, 1, "C:\\Files", 0, 1},
  };
  for (const Case& c : cases) {
    const std::string line = expand(c.line);
    SCOPED_TRACE(line);
    Reset();
    EXPECT_EQ(ParseCommandLine(U16(line).c_str(), true), c.result);
    ExpectBoxes(boxes_, c.boxes);
    EXPECT_EQ(g_installer.runOnly, c.runOnly);
    EXPECT_EQ(plat::ToUtf8(g_installer.targetFolder), c.target);
    EXPECT_EQ(g_installer.noSetup, c.noSetup);
    EXPECT_EQ(g_installer.postInstall, c.postInstall);
  }
}

}  // namespace
