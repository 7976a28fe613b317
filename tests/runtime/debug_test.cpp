// The debug log through a test profile: what reaches the log file, the
// tried-once rule, the standard-error sinks of POSIX, and concurrent writers.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/file.h"
#include "platform/profile.h"
#include "platform/text.h"
#include "platform/thread.h"
#include "runtime/zo_debug.h"
#include "tests/platform/scratch_folder.h"

namespace {

using testing_support::HasWindowsRules;
using testing_support::ScratchFolder;

class DebugLog : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(scratch_.IsValid());
    log_ = scratch_ / "log.txt";
    profile_ = scratch_ / "profile.ini";
    ZoDebugString_Close();
    plat::SetUserProfileFile(profile_.c_str());
  }
  void TearDown() override {
    ZoDebugString_Close();
    plat::SetUserProfileFile(nullptr);
  }
  // A "Debug" section naming `path` as the log, with further lines.
  void WriteProfile(const plat::String16& path, const std::string& more = "") {
    ASSERT_TRUE(ScratchFolder::WriteFile(profile_, "[Debug]\r\nLogToFilePath=" + plat::ToUtf8(path) + "\r\n" + more));
  }
  static std::string ReadAll(const plat::String16& path) {
    plat::File f = plat::File::Open(path.c_str(), plat::Access::Read, plat::kShareRead | plat::kShareWrite,
                                    plat::Disposition::OpenExisting);
    if (!f) return "<missing>";
    std::string text;
    char buffer[4096];
    size_t got = 0;
    do {
      if (!f.Read(buffer, sizeof buffer, &got)) return "<unreadable>";
      text.append(buffer, got);
    } while (got == sizeof buffer);
    return text;
  }
  static bool Log(const plat::String16& text, bool newLine) {
    return ZoDebugString(text.c_str(), newLine, ZO_DEBUG_TO_DEVICE);
  }

  ScratchFolder scratch_;
  plat::String16 log_, profile_;
};

TEST_F(DebugLog, FileReceivesLinesWithTheEndingOfItsMode) {
  const std::string longText(5000, 'L');  // far beyond one 639-byte piece
  struct Case {
    const char* name;
    std::string profileLines;
    std::string existing;  // the log file before the calls ("" none)
    std::string expected;
  } const cases[] = {
      {"written lines", "", "", "one\r\ntwotwo-cont\r\n\r\n"},
      {"explicit zero code", "DeviceIoctl=0\r\n", "", "one\r\ntwotwo-cont\r\n\r\n"},
      {"old file written from its start", "", std::string(40, 'X'), "one\r\ntwotwo-cont\r\n\r\n" + std::string(20, 'X')},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ZoDebugString_Close();
    plat::DeleteFile(log_.c_str());
    if (!c.existing.empty()) {
      ASSERT_TRUE(ScratchFolder::WriteFile(log_, c.existing));
    }
    WriteProfile(log_, c.profileLines);
    EXPECT_TRUE(Log(u"one", true));
    EXPECT_TRUE(Log(u"two", false));
    EXPECT_TRUE(Log(u"two-cont", true));
    EXPECT_TRUE(Log(u"", true));
    EXPECT_TRUE(ZoDebugString(nullptr, false, ZO_DEBUG_TO_DEVICE));
    ZoDebugString_Close();  // the file is not shared while open
    EXPECT_EQ(ReadAll(log_), c.expected);
  }

  // A long text arrives whole, then its line ending.
  ZoDebugString_Close();
  plat::DeleteFile(log_.c_str());
  WriteProfile(log_);
  EXPECT_TRUE(Log(plat::U16(longText), true));
  EXPECT_TRUE(Log(u"after", true));
  ZoDebugString_Close();
  EXPECT_EQ(ReadAll(log_), longText + "\r\nafter\r\n");
}

TEST_F(DebugLog, ControlCodeModeEndsLinesWithLineFeed) {
  WriteProfile(log_, "DeviceIoctl=2236416\r\n");  // a device's code; a file is no device
  if (HasWindowsRules()) {
    // DeviceIoControl on a plain file fails: nothing is written.
    EXPECT_FALSE(Log(u"one", true));
    ZoDebugString_Close();
    EXPECT_EQ(ReadAll(log_), "");
    return;
  }
  // POSIX has no control codes: the texts are written, lines ending in "\n".
  const std::string longText(1500, 'c');
  EXPECT_TRUE(Log(u"one", true));
  EXPECT_TRUE(Log(u"two", false));
  EXPECT_TRUE(Log(plat::U16(longText), true));
  ZoDebugString_Close();
  EXPECT_EQ(ReadAll(log_), "one\ntwo" + longText + "\n");
}

TEST_F(DebugLog, LogThatCannotBeOpenedIsTriedOnce) {
  // A folder that does not exist yet: the first call fails, and later calls do
  // not open the log even when it could be opened by then.
  const plat::String16 folder = scratch_ / "later";
  const plat::String16 late = folder + plat::kSeparator + u"log.txt";
  WriteProfile(late);
  EXPECT_FALSE(Log(u"first", true));
  ASSERT_TRUE(plat::CreateDirectory(folder.c_str()));
  EXPECT_FALSE(Log(u"second", true));
  EXPECT_EQ(ReadAll(late), "<missing>");

  // An empty path is no log at all, also tried once.
  ZoDebugString_Close();
  ASSERT_TRUE(ScratchFolder::WriteFile(profile_, "[Debug]\r\nLogToFilePath=\r\n"));
  EXPECT_FALSE(Log(u"first", true));
  EXPECT_FALSE(Log(u"second", true));

  // Closing forgets the settings: the next call reads the profile again.
  ZoDebugString_Close();
  WriteProfile(late);
  EXPECT_TRUE(Log(u"third", true));
  ZoDebugString_Close();
  EXPECT_EQ(ReadAll(late), "third\r\n");
}

TEST_F(DebugLog, PosixDefaultLogAndScreenBoxAreStandardError) {
  if (HasWindowsRules()) GTEST_SKIP() << "Windows opens COM1 and draws on the screen";
  ASSERT_TRUE(ScratchFolder::WriteFile(profile_, "[Other]\r\nLogToFilePath=elsewhere\r\n"));
  testing::internal::CaptureStderr();
  const bool logged = Log(u"to the port", true);
  const bool drawn = ZoDebugString("on the screen", true, 0);
  const bool drawnToo = ZoDebugString("same line ", false, 1);
  const std::string err = testing::internal::GetCapturedStderr();
  EXPECT_TRUE(logged);
  EXPECT_TRUE(drawn);
  EXPECT_TRUE(drawnToo);
  EXPECT_EQ(err, "to the port\r\non the screen\nsame line ");
}

TEST_F(DebugLog, ConcurrentWritersNeverMixTheirLines) {
  WriteProfile(log_);
  constexpr int kThreads = 4, kLines = 150;
  std::vector<std::unique_ptr<plat::Thread>> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.push_back(std::make_unique<plat::Thread>());
    ASSERT_TRUE(threads.back()->Start([t] {
      for (int i = 0; i < kLines; ++i) {
        // Every fifth line is longer than one piece, so its pieces must stay together.
        const std::string body(i % 5 == 0 ? 700 : 20, static_cast<char>('a' + t));
        const std::string line = "t" + std::to_string(t) + " " + std::to_string(i) + " " + body;
        ZoDebugString(plat::U16(line).c_str(), true, ZO_DEBUG_TO_DEVICE);
      }
    }));
  }
  for (auto& thread : threads) thread->Join();
  ZoDebugString_Close();

  const std::string text = ReadAll(log_);
  std::vector<int> next(kThreads, 0);
  size_t start = 0, lines = 0;
  while (start < text.size()) {
    const size_t end = text.find("\r\n", start);
    ASSERT_NE(end, std::string::npos);
    const std::string line = text.substr(start, end - start);
    start = end + 2;
    ++lines;
    const int t = line[1] - '0';
    ASSERT_TRUE(t >= 0 && t < kThreads) << line;
    const int i = next[static_cast<size_t>(t)]++;  // one thread's lines keep their order
    const std::string body(i % 5 == 0 ? 700 : 20, static_cast<char>('a' + t));
    EXPECT_EQ(line, "t" + std::to_string(t) + " " + std::to_string(i) + " " + body);
  }
  EXPECT_EQ(lines, static_cast<size_t>(kThreads * kLines));
}

}  // namespace
