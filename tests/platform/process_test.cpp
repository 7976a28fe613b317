// Starting a program and waiting for it: the arguments it receives exactly, the
// folder it starts in, its exit code, and the errors of a start that fails.
#include <gtest/gtest.h>

#include <cstdlib>
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

// Runs the test with `folder` as the current folder and the probe's folder as
// the only entry of PATH.
class ProcessTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(dir_.IsValid());
    record_ = dir_ / "record.bin";
    testing_support::SetProbeRecordPath(record_);
    ASSERT_GT(plat::GetCurrentDirectory(savedFolder_, ZO_MAX_PATH), 0u);
    ASSERT_TRUE(plat::SetCurrentDirectory(dir_.Path().c_str()));
    const String16 probe = testing_support::ArgsProbePath();
    probeName_ = probe.substr(probe.find_last_of(plat::kSeparator) + 1);
#if !GTEST_OS_WINDOWS
    const char* path = std::getenv("PATH");
    savedPath_ = path ? path : "";
    setenv("PATH", plat::ToUtf8(probe.substr(0, probe.size() - probeName_.size() - 1)).c_str(), 1);
#endif
  }
  void TearDown() override {
    plat::SetCurrentDirectory(savedFolder_);
#if !GTEST_OS_WINDOWS
    setenv("PATH", savedPath_.c_str(), 1);
#endif
  }

  ScratchFolder dir_;
  String16 record_, probeName_;
  ZoChar savedFolder_[ZO_MAX_PATH] = {};
  std::string savedPath_;
};

// Windows hands the text to the program, which splits it by the C runtime's
// rules; POSIX hands over the list as it stands. Each row is written so that
// both give the same arguments.
TEST_F(ProcessTest, ArgumentsArriveExactlyInTheCallersFolderAndTheExitCodeIsReported) {
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
  ZoChar here[ZO_MAX_PATH];
  ASSERT_GT(plat::GetCurrentDirectory(here, ZO_MAX_PATH), 0u);
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
    EXPECT_TRUE(plat::EqualsNoCase(U16(record[0]), here)) << record[0];
    EXPECT_EQ(std::vector<std::string>(record.begin() + 1, record.end()), c.arguments);
  }
}

TEST_F(ProcessTest, AFailedStartReportsTheSystemErrorAndRunsNothing) {
  struct Case {
    const char* name;
    String16 path;
    uint32_t error;
    bool posixOnly;  // Windows opens a document with its program and searches PATH
  };
  String16 plainFile = dir_ / "notes.txt";
  ASSERT_TRUE(ScratchFolder::WriteFile(plainFile, "not a program"));
  String16 noFormat = dir_ / "garbage";
  ASSERT_TRUE(ScratchFolder::WriteFile(noFormat, "\x01\x02 no program format\n"));
  plat::SetPosixMode(noFormat.c_str(), 0755);
  const Case cases[] = {
      {"missing file", dir_ / "missing-setup", plat::kErrorFileNotFound, false},
      {"missing folder", dir_ / "no-folder" + plat::kSeparator + u"setup", plat::kErrorPathNotFound, false},
      {"a bare name is not looked up in PATH", probeName_, plat::kErrorFileNotFound, true},
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

}  // namespace
