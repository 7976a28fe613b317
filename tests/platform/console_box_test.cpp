// Console boxes and the folder prompt, answered through a channel the test
// holds: what is shown, which answer picks which button, end of input.
#include <gtest/gtest.h>

#include <deque>

#include "platform/console_box.h"
#include "platform/directory.h"
#include "platform/paths.h"
#include "scratch_folder.h"

namespace {

class ScriptedChannel final : public plat::ConsoleChannel {
 public:
  explicit ScriptedChannel(std::initializer_list<const char*> lines) {
    for (const char* l : lines) lines_.push_back(plat::U16(l));
  }
  bool ReadLine(plat::String16* line) override {
    if (lines_.empty()) return false;
    *line = lines_.front();
    lines_.pop_front();
    ++reads;
    return true;
  }
  void Write(plat::StringView16 text) override { written += plat::ToUtf8(text); }
  std::deque<plat::String16> lines_;
  std::string written;
  int reads = 0;
};

const plat::BoxButton kYesNoCancel[] = {{6, u"&Yes"}, {7, u"&No"}, {2, u"Cancel"}};
const plat::BoxButton kJapanese[] = {{6, u"はい(&Y)"}, {7, u"いいえ(&N)"}, {2, u"キャンセル"}};
const plat::BoxButton kSet13[] = {
    {6, u"&Yes"}, {100, u"Yes to &All"}, {7, u"&No"}, {102, u"No to A&ll"}, {2, u"Cancel"}};

TEST(ConsoleBox, LabelsShowTheMnemonicInBrackets) {
  EXPECT_EQ(plat::ConsoleButtonLabel(u"&Yes"), u"[Y]es");
  EXPECT_EQ(plat::ConsoleButtonLabel(u"Yes to &All"), u"Yes to [A]ll");
  EXPECT_EQ(plat::ConsoleButtonLabel(u"OK"), u"[OK]");
  EXPECT_EQ(plat::ConsoleButtonLabel(u"A&&B"), u"[A&B]");
  EXPECT_EQ(plat::ConsoleButtonLabel(u"はい(&Y)"), u"はい([Y])");
}

TEST(ConsoleBox, AnswersPickButtonsByMnemonicOrWholeLabel) {
  struct Case {
    const plat::BoxButton* buttons;
    int count;
    const char* answer;
    int index;
  } cases[] = {
      {kYesNoCancel, 3, "y", 0},        {kYesNoCancel, 3, "N", 1},     {kYesNoCancel, 3, "  no ", 1},
      {kYesNoCancel, 3, "CANCEL", 2},   {kYesNoCancel, 3, "c", -1},    {kYesNoCancel, 3, "yes please", -1},
      {kYesNoCancel, 3, "", -1},        {kSet13, 5, "a", 1},           {kSet13, 5, "l", 3},
      {kSet13, 5, "no to all", 3},      {kSet13, 5, "Yes to All", 1},  {kJapanese, 3, "y", 0},
      {kJapanese, 3, "いいえ", 1},      {kJapanese, 3, "いいえ(n)", 1}, {kJapanese, 3, "キャンセル", 2},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(plat::MatchConsoleAnswer(plat::U16(c.answer), c.buttons, c.count), c.index) << c.answer;
  }
}

TEST(ConsoleBox, ConversationDefaultsRetriesAndEndOfInput) {
  struct Case {
    std::initializer_list<const char*> lines;
    int defaultIndex;
    int32_t result;
    int reads;
    bool endOfInput;
  } cases[] = {
      {{""}, 1, 7, 1, false},              // an empty line is the default
      {{"   "}, 0, 6, 1, false},           // so is a blank one
      {{"maybe", "x", "y"}, 1, 6, 3, false},  // anything else asks again
      {{}, 2, 2, 0, true},                 // end of input: the default, said so
      {{"?"}, 0, 6, 1, true},              // ... also after a wrong answer
  };
  for (const Case& c : cases) {
    ScriptedChannel channel(c.lines);
    plat::MessageBoxRequest request;
    request.caption = u"Caption";
    request.text = u"Replace the file?";
    request.buttons = kYesNoCancel;
    request.buttonCount = 3;
    request.defaultIndex = c.defaultIndex;
    EXPECT_EQ(plat::RunConsoleMessageBox(request, channel), c.result);
    EXPECT_EQ(channel.reads, c.reads);
    EXPECT_NE(channel.written.find("Caption\nReplace the file?\n"), std::string::npos) << channel.written;
    EXPECT_NE(channel.written.find("[Y]es"), std::string::npos);
    EXPECT_EQ(channel.written.find("end of input") != std::string::npos, c.endOfInput) << channel.written;
  }
  // The default button is marked; the buttons are repeated after a wrong answer.
  ScriptedChannel channel({"what", "n"});
  plat::MessageBoxRequest request;
  request.text = u"t";
  request.buttons = kYesNoCancel;
  request.buttonCount = 3;
  request.defaultIndex = 1;
  EXPECT_EQ(plat::RunConsoleMessageBox(request, channel), 7);
  EXPECT_EQ(channel.written, "\nt\n[Y]es  <[N]o>  [Cancel] > [Y]es  <[N]o>  [Cancel] > ");
}

TEST(ConsoleBox, JapaneseLabels) {
  ScriptedChannel channel({"n"});
  plat::MessageBoxRequest request;
  request.text = u"上書きしますか?";
  request.buttons = kJapanese;
  request.buttonCount = 3;
  EXPECT_EQ(plat::RunConsoleMessageBox(request, channel), 7);
  EXPECT_NE(channel.written.find("<はい([Y])>  いいえ([N])  [キャンセル] > "), std::string::npos) << channel.written;
}

TEST(ConsoleBox, CustomBoxShowsDetailsAndAsksTheCheckBox) {
  struct Case {
    std::initializer_list<const char*> lines;
    int32_t checkBefore;
    int32_t result;
    int32_t checkAfter;
  } cases[] = {
      {{"a", "y"}, 0, 100, 1},
      {{"", ""}, 1, 6, 1},   // both defaults
      {{"n"}, 1, 7, 1},      // end of input keeps the state
      {{"l", "n"}, 1, 102, 0},
  };
  for (const Case& c : cases) {
    ScriptedChannel channel(c.lines);
    int32_t check = c.checkBefore;
    plat::CustomBoxRequest request;
    request.caption = u"App";
    request.text = u"Message";
    request.buttons = kSet13;
    request.buttonCount = 5;
    request.details = u"line 1\nline 2";
    request.checkState = &check;
    request.checkLabel = u"&Do not show this message again";
    request.yesLabel = u"&Yes";
    request.noLabel = u"&No";
    EXPECT_EQ(plat::RunConsoleCustomBox(request, channel), c.result);
    EXPECT_EQ(check, c.checkAfter);
    EXPECT_NE(channel.written.find("Message\n\nline 1\nline 2\n"), std::string::npos) << channel.written;
    EXPECT_NE(channel.written.find("Do not show this message again\n"), std::string::npos);
  }
}

std::vector<plat::String16> gReported;
void RecordInvalid(plat::WindowHandle, const ZoChar* typed) { gReported.emplace_back(typed); }

TEST(ConsoleBox, FolderPromptTakesStartFolderTypedFolderOrCancels) {
  testing_support::ScratchFolder scratch;
  const plat::String16 root = scratch.Path();
  const plat::String16 sub = root + plat::kSeparator + u"sub";
  ASSERT_TRUE(plat::CreateDirectory(sub.c_str()));
  const std::string subUtf8 = plat::ToUtf8(sub);
  const std::string missing = plat::ToUtf8(root + plat::kSeparator + u"missing");
  struct Case {
    std::initializer_list<const char*> lines;
    ZoResult result;
    plat::String16 path;
    size_t reported;
  } cases[] = {
      {{""}, S_OK, root, 0},
      {{subUtf8.c_str()}, S_OK, sub, 0},
      {{missing.c_str(), ""}, S_OK, root, 1},
      {{missing.c_str()}, ARC_E_CANCELLED, root, 1},
  };
  for (const Case& c : cases) {
    gReported.clear();
    ScriptedChannel channel(c.lines);
    ZoChar path[ZO_MAX_PATH];
    plat::CopyTruncated(path, ZO_MAX_PATH, root);
    plat::FolderRequest request;
    request.title = u"Select Directory";
    request.path = path;
    request.capacity = ZO_MAX_PATH;
    request.startAtPath = true;
    request.reportInvalidName = RecordInvalid;
    EXPECT_EQ(plat::RunConsoleFolderPrompt(request, channel), c.result);
    EXPECT_EQ(plat::String16(path), c.path);
    EXPECT_EQ(gReported.size(), c.reported);
    EXPECT_NE(channel.written.find("Select Directory\n[" + plat::ToUtf8(root) + "] > "), std::string::npos);
  }
}

}  // namespace
