// Message boxes through their hooks: the no-UI answerer's table, owner and
// caption resolution, formatting, the custom box's argument rules and hook
// text, and threads other than the application's.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

#include "platform/text.h"
#include "platform/thread.h"
#include "runtime/zo_kernel.h"
#include "runtime/zo_msgbox.h"

namespace {

std::vector<plat::String16> gLog;
void Log(const ZoChar* text) { gLog.emplace_back(text); }

struct HookCall {
  int calls = 0;
  plat::WindowHandle owner = nullptr;
  plat::String16 text;
  const ZoChar* caption = nullptr;
  uint32_t flags = 0;
  int32_t answer = 42;
};
HookCall gCall;
int32_t RecordingHook(void* data, plat::WindowHandle owner, const ZoChar* text, const ZoChar* caption,
                      uint32_t flags) {
  EXPECT_EQ(data, &gCall);
  ++gCall.calls;
  gCall.owner = owner;
  gCall.text = text ? text : u"(null)";
  gCall.caption = caption;
  gCall.flags = flags;
  return gCall.answer;
}

class MsgBoxTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ZoMsgBoxSetAppData(nullptr, nullptr, u"Test App");
    gLog.clear();
    gCall = HookCall{};
  }
  void TearDown() override { ZoMsgBoxSetAppData(nullptr, nullptr, u""); }
  void UseRecordingHook() { ASSERT_EQ(ZoMsgBoxSetHook(RecordingHook, &gCall), 1); }
};

TEST_F(MsgBoxTest, NoUIAnswererGivesEveryDefaultButton) {
  constexpr int32_t X = -1;
  const int32_t expected[16][5] = {
      {1, 1, 1, 1, 1}, {1, 2, X, X, X}, {3, 4, 5, X, X},   {6, 7, 2, X, X},    {6, 7, X, X, X},    {4, 2, X, X, X},
      {1, 1, 1, 1, 1}, {1, 1, 1, 1, 1}, {1, 1, 1, 1, 1},   {1, 1, 1, 1, 1},    {6, 100, 7, 2, X},  {6, 7, 101, X, X},
      {6, 7, 102, 2, X}, {6, 100, 7, 102, 2}, {1, 1, 1, 1, 1}, {1, 1, 1, 1, 1},
  };
  for (uint32_t set = 0; set < 16; ++set) {
    for (uint32_t index = 0; index < 16; ++index) {
      // Icon and modality bits do not matter.
      const uint32_t flags = set | (index << 8) | 0x30 | 0x40000;
      const int32_t want = index < 5 ? expected[set][index] : X;
      EXPECT_EQ(ZoMsgBox_DefaultAnswer(flags), want) << "set " << set << " index " << index;
    }
  }
  // Through ZoMessageBox every valid combination is answered without a box and logged.
  ASSERT_EQ(ZoMsgBoxSetNoUIHook(Log), 1);
  for (uint32_t set = 0; set < 16; ++set) {
    for (uint32_t index = 0; index < 5; ++index) {
      if (expected[set][index] == X) continue;
      gLog.clear();
      EXPECT_EQ(ZoMessageBox(nullptr, u"the text", nullptr, set | (index << 8)), expected[set][index]);
      ASSERT_EQ(gLog.size(), 1u);
      EXPECT_EQ(gLog[0], u"the text");
    }
  }
  // The Part's example: Yes/No with the second button as default.
  EXPECT_EQ(ZoMsgBox(nullptr, 0x124, u"Continue?"), ZO_IDNO);
  // The custom box answers the same way, its hook text joined with the details.
  gLog.clear();
  EXPECT_EQ(ZoMsgBox_Custom(nullptr, 0xC000 | 0x30D | 0x300, u"the details", u"msg"), ZO_IDNOTOALL);
  ASSERT_EQ(gLog.size(), 1u);
  EXPECT_EQ(gLog[0], u"msg\n\nDetails:\nthe details\n");
}

TEST_F(MsgBoxTest, HooksAreSetOnlyByTheApplicationThread) {
  UseRecordingHook();
  int fromWorker = -1, noUIFromWorker = -1;
  std::thread worker([&] {
    fromWorker = ZoMsgBoxSetHook(nullptr, nullptr);
    noUIFromWorker = ZoMsgBoxSetNoUIHook(Log);
  });
  worker.join();
  EXPECT_EQ(fromWorker, 0);
  EXPECT_EQ(noUIFromWorker, 0);
  EXPECT_EQ(ZoMessageBox(nullptr, u"t", nullptr, 0), 42);  // the hook is still ours
  // Setting the app data again removes the hook; a long name is cut to 127 units.
  const plat::String16 longName(300, u'n');
  ZoMsgBoxSetAppData(nullptr, nullptr, longName.c_str());
  UseRecordingHook();
  ZoMsgBox_Custom(nullptr, 0, nullptr, u"x");
  EXPECT_EQ(plat::String16(gCall.caption), longName.substr(0, 127));
}

TEST_F(MsgBoxTest, NoUIAnswererOnAnotherThreadAnswersZeroAtOnce) {
  // A worker's box in an unattended run: answered 0 without a box, without
  // the log and without reading input, whatever the console holds.
  ASSERT_EQ(ZoMsgBoxSetNoUIHook(Log), 1);
  std::atomic<int> done{0};
  int32_t results[3] = {-5, -5, -5};
  int32_t check = 7;
  std::thread worker([&] {
    results[0] = ZoMessageBox(nullptr, u"from the worker", nullptr, 0x24);
    results[1] = ZoMsgBoxId(ZoKernel_GetLangHandle(), nullptr, 0x30, 48383);
    results[2] = ZoMsgBox_CustomEx(nullptr, 0x1000 | 0xC000 | 4, u"d", nullptr, &check, u"m");
    done = 1;
  });
  // A bounded wait: a box that blocked would leave the worker stuck here.
  for (int i = 0; i < 500 && !done; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(10));
  ASSERT_EQ(done.load(), 1) << "a box on the worker thread blocked";
  worker.join();
  EXPECT_EQ(results[0], 0);
  EXPECT_EQ(results[1], 0);
  EXPECT_EQ(results[2], 0);
  EXPECT_EQ(check, 7);
  EXPECT_TRUE(gLog.empty());
}

TEST_F(MsgBoxTest, ObserverSeesEveryAnsweredBoxOnAnyThreadUntilAppDataResets) {
  struct Seen {
    plat::String16 text;
    uint32_t flags;
    int32_t answer;
  };
  static std::vector<Seen> seen;
  static plat::Mutex lock;
  seen.clear();
  const auto observe = [](const ZoChar* text, const ZoChar*, uint32_t flags, int32_t answer) {
    plat::LockGuard guard(lock);
    seen.push_back({text, flags, answer});
  };
  ASSERT_EQ(ZoMsgBoxSetObserver(observe), 1);
  UseRecordingHook();
  gCall.answer = 7;
  EXPECT_EQ(ZoMessageBox(nullptr, u"plain", nullptr, 0x24), 7);
  EXPECT_EQ(ZoMsgBox_Custom(nullptr, 0xC000, u"more", u"custom"), 7);
  std::thread([] { ZoMsgBox(nullptr, 0x30, u"from a worker"); }).join();
  // A hook that lets the box be shown is not an answer yet.
  gCall.answer = -1;
  ASSERT_EQ(ZoMsgBoxSetNoUIHook(Log), 1);
  EXPECT_EQ(ZoMessageBox(nullptr, u"no-UI", nullptr, 0x124), 7);
  ASSERT_EQ(seen.size(), 4u);
  EXPECT_EQ(seen[0].text, u"plain");
  EXPECT_EQ(seen[0].answer, 7);
  EXPECT_NE(seen[1].text.find(u"custom"), plat::String16::npos);
  EXPECT_NE(seen[1].text.find(u"more"), plat::String16::npos);
  EXPECT_EQ(seen[2].text, u"from a worker");
  EXPECT_EQ(seen[3].flags, 0x124u);
  EXPECT_EQ(seen[3].answer, 7);
  // Not settable off the application's thread; gone after a reset.
  int fromWorker = -1;
  std::thread([&] { fromWorker = ZoMsgBoxSetObserver(nullptr); }).join();
  EXPECT_EQ(fromWorker, 0);
  ZoMsgBoxSetAppData(nullptr, nullptr, u"Test App");
  ASSERT_EQ(ZoMsgBoxSetNoUIHook(Log), 1);
  ZoMessageBox(nullptr, u"after", nullptr, 0);
  EXPECT_EQ(seen.size(), 4u);
}

TEST_F(MsgBoxTest, OwnerCaptionAndFlagsReachTheHook) {
  UseRecordingHook();
  const auto window = reinterpret_cast<plat::WindowHandle>(0x1234);
  struct Case {
    plat::WindowHandle owner;
    plat::WindowHandle seen;
  } cases[] = {{nullptr, nullptr}, {ZO_MSGBOX_NO_OWNER, nullptr}, {window, window}};
  for (const Case& c : cases) {
    EXPECT_EQ(ZoMessageBox(c.owner, u"text", nullptr, 0x1010), 42);
    EXPECT_EQ(gCall.owner, c.seen);
    EXPECT_EQ(gCall.caption, nullptr);  // as passed: the default is applied after the hook
    EXPECT_EQ(gCall.flags, 0x1010u);
  }
  EXPECT_EQ(ZoMessageBox(nullptr, u"text", u"Own caption", 1), 42);
  EXPECT_EQ(plat::String16(gCall.caption), u"Own caption");
}

TEST_F(MsgBoxTest, FormatIsExpandedOnlyWithDollarOrPercent) {
  UseRecordingHook();
  ZoMsgBox(nullptr, 0x30, u"plain %% text", 5);
  EXPECT_EQ(gCall.text, u"plain % text");
  ZoMsgBox(nullptr, 0x30, u"no conversions here", 5);
  EXPECT_EQ(gCall.text, u"no conversions here");
  ZoMsgBox(nullptr, 0x30, u"Error 0x%x: %s", 0x80004005u, u"failed");
  EXPECT_EQ(gCall.text, u"Error 0x80004005: failed");
  // A string without "$" or "%" is shown as it is, whatever the arguments.
  ZoMsgBoxId(ZoKernel_GetLangHandle(), nullptr, 0, 48389, u"ignored");
  EXPECT_EQ(gCall.text, u"&No");
  EXPECT_EQ(gCall.caption, nullptr);
  // String 48344 carries a %s: the typed folder name goes in.
  ZoMsgBoxId(ZoKernel_GetLangHandle(), nullptr, 0x30, 48344, u"a<b");
  EXPECT_EQ(gCall.text, u"The folder name \"a<b\" is not valid.\nPlease choose or type another folder.");
  ZoMsgBox(nullptr, 0, nullptr);
  EXPECT_EQ(gCall.text, u"");
}

TEST_F(MsgBoxTest, CustomBoxRequiredArgumentsAndHookText) {
  UseRecordingHook();
  int32_t check = 0;
  struct Case {
    const char* what;
    uint32_t flags;
    const ZoChar* details;
    bool ex;
    int32_t* check;
    int32_t result;  // 0: refused without calling the hook
    const char16_t* text;
  } cases[] = {
      {"details flag without details", 0xC000, nullptr, false, nullptr, 0, nullptr},
      {"one details bit is no details section", 0x4000, nullptr, false, nullptr, 42, u"m"},
      {"details joined", 0xC004, u"D", false, nullptr, 42, u"m\n\nDetails:\nD\n"},
      {"Ex check box without its result", 0x1004, nullptr, true, nullptr, 0, nullptr},
      {"check box vetoed by 0x2000", 0x3004, nullptr, true, nullptr, 42, u"m"},
      {"Ex check box with its result", 0x1004, nullptr, true, &check, 42, u"m"},
      {"plain custom box needs no result", 0x1004, nullptr, false, nullptr, 42, u"m"},
  };
  for (const Case& c : cases) {
    gCall = HookCall{};
    const int32_t r = c.ex ? ZoMsgBox_CustomEx(nullptr, c.flags, c.details, nullptr, c.check, u"m")
                           : ZoMsgBox_Custom(nullptr, c.flags, c.details, u"m");
    EXPECT_EQ(r, c.result) << c.what;
    EXPECT_EQ(gCall.calls, c.result ? 1 : 0) << c.what;
    if (c.text) {
      EXPECT_EQ(gCall.text, plat::String16(c.text)) << c.what;
      EXPECT_EQ(plat::String16(gCall.caption), u"Test App") << c.what;
      EXPECT_EQ(gCall.flags, c.flags) << c.what;
    }
  }
}

TEST_F(MsgBoxTest, BeepNamesAreTheSystemSounds) {
  // POSIX plays nothing (0); Windows plays asynchronously. Either way every
  // kind returns at once and never fails the caller.
  for (uint32_t kind : {0u, 1u, 2u, 3u, 4u, 99u}) {
    const int32_t r = ZoBeep(kind);
    EXPECT_TRUE(r == 0 || r == 1);
  }
}

}  // namespace
