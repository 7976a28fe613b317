// Starting a program and waiting for it: the arguments it receives exactly, the
// folder it starts in, its exit code, and the errors of a start that fails.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/directory.h"
#include "platform/errors.h"
#include "platform/file.h"
#include "platform/paths.h"
#include "platform/process.h"
#include "tests/platform/probe/args_probe_support.h"
#include "tests/platform/scratch_folder.h"

namespace {

using plat::String16;
using plat::U16;
using testing_support::ScratchFolder;

class ProcessTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(dir_.IsValid());
    record_ = dir_ / "record.bin";
    testing_support::SetProbeRecordPath(record_);
  }

  ScratchFolder dir_;
  String16 record_;
};

// Windows hands the text to the program, which splits it by the C runtime's
// rules; POSIX hands over the list as it stands. Each row is written so that
// both give the same arguments.
TEST_F(ProcessTest, ArgumentsArriveExactlyAndTheExitCodeIsReported) {
  struct Case {
    const char* text;
    std::vector<std::string> arguments;
  };
  const Case cases[] = {
      {"", {}},
      {"one", {"one"}},
      {"-r \"with two  spaces\" --sfx", {"-r", "with two  spaces", "--sfx"}},
      {"\"\" empty-before", {"", "empty-before"}},
      {"\"say \\\"hi\\\"\"", {"say \"hi\""}},
      {"back\\slash C:\\Files\\", {"back\\slash", "C:\\Files\\"}},
      {"'single' $HOME *", {"'single'", "$HOME", "*"}},  // no shell expands anything
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    std::vector<String16> arguments;
    for (const std::string& a : c.arguments) arguments.push_back(U16(a));
    plat::DeleteFile(record_.c_str());
    uint32_t exitCode = 0;
    ASSERT_TRUE(plat::RunProgramAndWait(testing_support::ArgsProbePath().c_str(), U16(c.text).c_str(), arguments,
                                        &exitCode))
        << plat::LastError();
    EXPECT_EQ(exitCode, 40u + c.arguments.size());
    std::vector<std::string> record = testing_support::ReadProbeRecord(record_);
    ASSERT_FALSE(record.empty());
    EXPECT_EQ(std::vector<std::string>(record.begin() + 1, record.end()), c.arguments);
  }
}

TEST_F(ProcessTest, ProgramStartsInTheCallersCurrentFolder) {
  ZoChar saved[ZO_MAX_PATH];
  ASSERT_GT(plat::GetCurrentDirectory(saved, ZO_MAX_PATH), 0u);
  String16 work = dir_ / "work folder";
  ASSERT_TRUE(plat::CreateDirectory(work.c_str()));
  ASSERT_TRUE(plat::SetCurrentDirectory(work.c_str()));
  bool started = plat::RunProgramAndWait(testing_support::ArgsProbePath().c_str(), u"", {}, nullptr);
  plat::SetCurrentDirectory(saved);
  ASSERT_TRUE(started);
  std::vector<std::string> record = testing_support::ReadProbeRecord(record_);
  ASSERT_FALSE(record.empty());
  ZoChar full[ZO_MAX_PATH];
  ASSERT_GT(plat::GetFullPath(work.c_str(), full, ZO_MAX_PATH), 0u);
  EXPECT_TRUE(plat::EqualsNoCase(U16(record[0]), full)) << record[0];
}

TEST_F(ProcessTest, AFailedStartReportsTheSystemErrorAndRunsNothing) {
  struct Case {
    const char* name;
    String16 path;
    uint32_t error;
    bool posixOnly;  // Windows opens a document with its associated program
  };
  String16 plainFile = dir_ / "notes.txt";
  ASSERT_TRUE(ScratchFolder::WriteFile(plainFile, "not a program"));
  String16 noFormat = dir_ / "garbage";
  ASSERT_TRUE(ScratchFolder::WriteFile(noFormat, "\x01\x02 no program format\n"));
  plat::SetPosixMode(noFormat.c_str(), 0755);
  const Case cases[] = {
      {"missing file", dir_ / "missing-setup", plat::kErrorFileNotFound, false},
      {"missing folder", dir_ / "no-folder" + plat::kSeparator + u"setup", plat::kErrorPathNotFound, false},
      {"file without execute permission", plainFile, plat::kErrorAccessDenied, true},
      {"folder", dir_.Path(), plat::kErrorAccessDenied, true},
      {"executable file of no known format", noFormat, plat::kErrorBadExeFormat, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    if (c.posixOnly && testing_support::HasWindowsRules()) continue;
    uint32_t exitCode = 99;
    plat::SetLastError(0);
    EXPECT_FALSE(plat::RunProgramAndWait(c.path.c_str(), u"", {}, &exitCode));
    EXPECT_EQ(plat::LastError(), c.error);
    EXPECT_EQ(exitCode, 0u);
  }
  EXPECT_FALSE(plat::Exists(record_.c_str()));
}

#if !GTEST_OS_WINDOWS
// A bare name is a path relative to the current folder, never looked up in PATH.
TEST_F(ProcessTest, ABareNameIsNotSearchedInThePath) {
  String16 probe = testing_support::ArgsProbePath();
  String16 folder = probe.substr(0, probe.find_last_of(plat::kSeparator));
  String16 name = probe.substr(folder.size() + 1);
  const char* savedPath = std::getenv("PATH");
  const std::string previous = savedPath ? savedPath : "";
  setenv("PATH", plat::ToUtf8(folder).c_str(), 1);
  ZoChar saved[ZO_MAX_PATH];
  ASSERT_GT(plat::GetCurrentDirectory(saved, ZO_MAX_PATH), 0u);
  ASSERT_TRUE(plat::SetCurrentDirectory(dir_.Path().c_str()));
  bool started = plat::RunProgramAndWait(name.c_str(), u"", {}, nullptr);
  uint32_t error = plat::LastError();
  plat::SetCurrentDirectory(saved);
  setenv("PATH", previous.c_str(), 1);
  EXPECT_FALSE(started);
  EXPECT_EQ(error, plat::kErrorFileNotFound);
  EXPECT_FALSE(plat::Exists(record_.c_str()));
}
#endif

}  // namespace
