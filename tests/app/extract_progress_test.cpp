// The installer's progress object: what the engine's events become on the page.
#include "app/extract_progress.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/installer_state.h"
#include "platform/text.h"
#include "runtime/zo_kernel.h"
#include "runtime/zo_lang.h"

namespace {

// A progress page that records what it is told and answers from a script.
class RecordingView final : public ProgressView {
 public:
  void SetRange(uint32_t upper) override { range = upper; }
  void Advance(uint32_t delta) override { position += delta; }
  void SetStatusText(const ZoChar* text) override { statuses.push_back(plat::ToUtf8(text)); }
  void EndPage(intptr_t result) override {
    if (ended == 0) ended = result;
  }
  int32_t AskFileExists(const FileExistsRequest& request) override {
    asked.push_back(plat::ToUtf8(request.path) + (request.readOnly ? " (read-only)" : ""));
    return fileExistsAnswer;
  }
  int32_t ShowMessage(const ZoChar* text, const ZoChar*, uint32_t flags) override {
    messages.push_back(plat::ToUtf8(text));
    lastFlags = flags;
    return messageAnswer;
  }
  plat::WindowHandle Owner() override { return nullptr; }

  uint64_t range = 0;
  uint64_t position = 0;
  intptr_t ended = 0;
  int32_t fileExistsAnswer = FILE_EXISTS_YES;
  int32_t messageAnswer = 6;
  uint32_t lastFlags = 0;
  std::vector<std::string> statuses, asked, messages;
};

class ExtractProgressTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetInstallerState();
    ZoKernel_Startup(nullptr);
    ASSERT_EQ(ZoLang_Open(&g_installer.language, nullptr, 3, 0), 0);
  }
  void TearDown() override {
    ZoLang_Close(g_installer.language);
    g_installer.language = nullptr;
    ZoKernel_Shutdown(nullptr);
  }
  RecordingView view;
};

TEST_F(ExtractProgressTest, EngineEventsMoveThePage) {
  ExtractProgress progress(&view);
  progress.SetTotal(100ull << 20);  // 100 MiB: the 32-bit range holds it unwrapped
  EXPECT_EQ(view.range, 102400u);
  progress.AddProgress(1023, 0);
  EXPECT_EQ(view.position, 0u);  // not yet a whole KiB
  progress.AddProgress(1, 0);
  progress.AddProgress(0, 1);  // 4 GiB more in the high word
  EXPECT_EQ(view.position, 1u + (4ull << 20));

  progress.BeginItem(u"docs\\a.txt", 10, 0);
  progress.ReportStatus(ARC_EVENT_EXTRACT_START);
  ASSERT_EQ(view.statuses.size(), 1u);
  EXPECT_EQ(view.statuses[0], "Extracting: docs\\a.txt");

  progress.ReportStatus(ARC_EVENT_DONE);
  progress.ReportStatus(ARC_EVENT_DONE);
  EXPECT_EQ(view.ended, WIZARD_FINISHED);
  EXPECT_TRUE(progress.FinishReported());
}

TEST_F(ExtractProgressTest, HugePayloadsScaleTheBarInsteadOfWrapping) {
  ExtractProgress progress(&view);
  progress.SetTotal(8ull << 40);  // 8 TiB
  EXPECT_LE(view.range, 0x7FFFFFFFu);
  EXPECT_GT(view.range, 0x3FFFFFFFu);
  progress.AddProgress64(4ull << 40);
  EXPECT_EQ(view.position * 2, view.range);
}

TEST_F(ExtractProgressTest, FileExistsAnswersBecomeEngineAnswers) {
  struct Case {
    int32_t button;
    int32_t readOnlyEvent;
    int32_t extractToTemp;
    int32_t status;
    bool asked;
  } cases[] = {
      {FILE_EXISTS_YES, 0, 0, ARC_ANSWER_REPLACE, true},
      {FILE_EXISTS_YES_TO_ALL, 0, 0, ARC_ANSWER_REPLACE_ALL, true},
      {FILE_EXISTS_NO, 1, 0, ARC_ANSWER_SKIP, true},
      {FILE_EXISTS_NO_TO_ALL, 0, 0, ARC_ANSWER_SKIP_ALL, true},
      {FILE_EXISTS_CANCEL, 1, 0, ARC_E_CANCELLED, true},
      {1, 0, 0, 0, true},                                  // any other result leaves the status alone
      {FILE_EXISTS_NO, 1, 1, ARC_ANSWER_REPLACE_ALL, false},  // extract-to-temp replaces without asking
  };
  for (const Case& c : cases) {
    RecordingView local;
    local.fileExistsAnswer = c.button;
    g_installer.extractToTemp = c.extractToTemp;
    ExtractProgress progress(&local);
    progress.SetItemName(u"/t/x.txt");
    progress.ReportStatus(c.readOnlyEvent ? ARC_EVENT_ASK_REPLACE_READONLY : ARC_EVENT_ASK_REPLACE);
    EXPECT_EQ(progress.PollStatus(), c.status) << c.button;
    ASSERT_EQ(local.asked.size(), c.asked ? 1u : 0u) << c.button;
    if (c.asked) {
      EXPECT_EQ(local.asked[0], c.readOnlyEvent ? "/t/x.txt (read-only)" : "/t/x.txt");
    }
  }
  g_installer.extractToTemp = 0;
}

TEST_F(ExtractProgressTest, ErrorsShowTheirMessageWithTheDetailAndCancel) {
  struct Case {
    int32_t code;
    const char16_t* item;
    const char* text;
  } cases[] = {
      {ARC_ERROR_DISK_SPACE, u"ExtractFile|/mnt/", "Error: Out of disk space on /mnt/.\n\nAborting the installation."},
      {ARC_ERROR_CRC, u"||ExtractFile", "Error: CRC mismatch.\n\nAborting the installation."},
      {ARC_ERROR_FILE_MISSING, u"Open|a.txt|more", "Error: Unable to find the file 'a.txt'.\n\nAborting the installation."},
      {ARC_ERROR_VOLUME_MISSING, u"Open", "Error: Unable to find volume %s.\n\nAborting the installation."},
      {ARC_ERROR_READ, u"Read|x", "An unknown error occurred.\n\nAborting the installation."},
  };
  for (const Case& c : cases) {
    RecordingView local;
    ExtractProgress progress(&local);
    progress.SetItemName(c.item);
    progress.ReportError(c.code);
    ASSERT_EQ(local.messages.size(), 1u);
    EXPECT_EQ(local.messages[0], c.text);
    EXPECT_EQ(local.lastFlags, 0x30u);
    EXPECT_EQ(progress.PollStatus(), ARC_E_CANCELLED);
  }
  const int32_t mapped[][2] = {{ARC_ERROR_MEMORY, 502}, {ARC_ERROR_SIGNATURE, 503}, {ARC_ERROR_BLOCK_MISMATCH, 504},
                               {ARC_ERROR_BUFFER, 505}, {ARC_ERROR_WRITE, 510}};
  for (const auto& m : mapped) EXPECT_EQ(ErrorMessageId(m[0]), static_cast<uint32_t>(m[1]));
}

TEST_F(ExtractProgressTest, CancelDeclinedResumesWithTheAnswerTheEngineHadNotRead) {
  ExtractProgress progress(&view);
  progress.SetItemName(u"/t/x.txt");
  view.fileExistsAnswer = FILE_EXISTS_NO;
  progress.ReportStatus(ARC_EVENT_ASK_REPLACE);  // the answer waits in the status
  view.messageAnswer = 7;                       // No: do not cancel
  progress.Cancel();
  ASSERT_EQ(view.messages.size(), 1u);
  EXPECT_EQ(view.messages[0], "Do you wish to cancel the installation?");
  EXPECT_EQ(view.lastFlags, 0x24u);
  EXPECT_EQ(progress.PollStatus(), ARC_ANSWER_SKIP);

  view.messageAnswer = 6;  // Yes
  progress.Cancel();
  EXPECT_EQ(progress.PollStatus(), ARC_E_CANCELLED);
}

}  // namespace
