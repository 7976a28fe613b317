// The fault-injection seam of the file back end: each fault fires as documented
// and leaves the file system in the state a real fault would.
#include <gtest/gtest.h>

#include <string>

#include "platform/errors.h"
#include "platform/fault.h"
#include "platform/file.h"
#include "tests/platform/scratch_folder.h"

namespace {

using plat::Access;
using plat::Disposition;
using plat::File;
using testing_support::ScratchFolder;

class FaultTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(dir_.IsValid()); }
  void TearDown() override { plat::fault::Clear(); }
  ScratchFolder dir_;
};

TEST_F(FaultTest, DiskFull_WritesTheBytesBelowTheLimitThenFails) {
  plat::fault::FileFaults faults;
  faults.failWritesAfterBytes = 10;
  plat::fault::Set(faults);
  File f = File::Open((dir_ / "full").c_str(), Access::Write, plat::kShareRead, Disposition::CreateAlways);
  ASSERT_TRUE(f);
  EXPECT_TRUE(f.Write("abcdef", 6));
  EXPECT_FALSE(f.Write("ghijkl", 6));
  EXPECT_EQ(plat::LastError(), plat::kErrorDiskFull);
  EXPECT_FALSE(f.Write("m", 1));  // stays full
  uint64_t size = 0;
  ASSERT_TRUE(f.Size(&size));
  EXPECT_EQ(size, 10u);
  plat::fault::Clear();
  EXPECT_TRUE(f.Write("!", 1));
  ASSERT_TRUE(f.Close());
  EXPECT_EQ(ScratchFolder::ReadFile(dir_ / "full"), "abcdefghij!");
}

TEST_F(FaultTest, ShortRead_HalvesOnlyTheChosenRead) {
  ASSERT_TRUE(ScratchFolder::WriteFile(dir_ / "r", std::string(100, 'r')));
  plat::fault::FileFaults faults;
  faults.shortReadNth = 2;
  plat::fault::Set(faults);
  File f = File::Open((dir_ / "r").c_str(), Access::Read, plat::kShareRead, Disposition::OpenExisting);
  ASSERT_TRUE(f);
  char buf[40];
  size_t got = 0;
  ASSERT_TRUE(f.Read(buf, 40, &got));
  EXPECT_EQ(got, 40u);
  ASSERT_TRUE(f.Read(buf, 40, &got));
  EXPECT_EQ(got, 20u);
  ASSERT_TRUE(f.Read(buf, 40, &got));
  EXPECT_EQ(got, 40u);
}

TEST_F(FaultTest, FailingRename_LeavesBothNamesUntouched) {
  ASSERT_TRUE(ScratchFolder::WriteFile(dir_ / "a", "new"));
  ASSERT_TRUE(ScratchFolder::WriteFile(dir_ / "b", "old"));
  plat::fault::FileFaults faults;
  faults.failRename = true;
  plat::fault::Set(faults);
  EXPECT_FALSE(plat::MoveFile((dir_ / "a").c_str(), (dir_ / "b").c_str(), true));
  EXPECT_EQ(plat::LastError(), plat::kErrorAccessDenied);
  plat::fault::Clear();
  EXPECT_EQ(ScratchFolder::ReadFile(dir_ / "a"), "new");
  EXPECT_EQ(ScratchFolder::ReadFile(dir_ / "b"), "old");
}

TEST_F(FaultTest, FailingClose_IsReportedOnceAndReleasesTheHandle) {
  plat::fault::FileFaults faults;
  faults.failClose = true;
  faults.writeError = plat::kErrorIoDevice;
  File f = File::Open((dir_ / "c").c_str(), Access::Write, plat::kShareRead, Disposition::CreateAlways);
  ASSERT_TRUE(f);
  ASSERT_TRUE(f.Write("x", 1));
  plat::fault::Set(faults);
  EXPECT_FALSE(f.Close());
  EXPECT_EQ(plat::LastError(), plat::kErrorIoDevice);
  EXPECT_FALSE(f.IsValid());
  EXPECT_TRUE(f.Close());
  plat::fault::Clear();
  // The handle really was released: the file can be opened without sharing.
  File again = File::Open((dir_ / "c").c_str(), Access::ReadWrite, plat::kShareNone, Disposition::OpenExisting);
  EXPECT_TRUE(again.IsValid());
}

}  // namespace
