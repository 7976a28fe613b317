// The file handle and the by-path file operations, on the real file system.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/errors.h"
#include "platform/file.h"
#include "tests/platform/scratch_folder.h"

namespace {

using plat::Access;
using plat::Disposition;
using plat::File;
using plat::SeekOrigin;
using testing_support::ScratchFolder;

File OpenRw(const plat::String16& path, Disposition d) {
  return File::Open(path.c_str(), Access::ReadWrite, plat::kShareRead, d);
}

class FileTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(dir_.IsValid()); }
  ScratchFolder dir_;
};

struct DispositionCase {
  const char* name;
  bool exists;
  Disposition disposition;
  bool opens;
  uint32_t error;        // when it does not open
  const char* content;   // when it opens: what the file holds afterwards
};

TEST_F(FileTest, Open_FollowsEachDispositionOnExistingAndMissingFiles) {
  const DispositionCase cases[] = {
      {"open-existing/present", true, Disposition::OpenExisting, true, 0, "old"},
      {"open-existing/missing", false, Disposition::OpenExisting, false, plat::kErrorFileNotFound, nullptr},
      {"create-new/present", true, Disposition::CreateNew, false, plat::kErrorFileExists, nullptr},
      {"create-new/missing", false, Disposition::CreateNew, true, 0, ""},
      {"create-always/present", true, Disposition::CreateAlways, true, 0, ""},
      {"create-always/missing", false, Disposition::CreateAlways, true, 0, ""},
      {"open-always/present", true, Disposition::OpenAlways, true, 0, "old"},
      {"open-always/missing", false, Disposition::OpenAlways, true, 0, ""},
  };
  int i = 0;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    plat::String16 path = dir_ / ("f" + std::to_string(i++));
    if (c.exists) {
      ASSERT_TRUE(ScratchFolder::WriteFile(path, "old"));
    }
    File f = OpenRw(path, c.disposition);
    EXPECT_EQ(f.IsValid(), c.opens);
    if (!c.opens) {
      EXPECT_EQ(plat::LastError(), c.error);
      EXPECT_EQ(plat::Exists(path.c_str()), c.exists);
      continue;
    }
    f.Close();
    EXPECT_EQ(ScratchFolder::ReadFile(path), c.content);
  }
}

TEST_F(FileTest, Open_ReportsMissingFolderAndRefusesFolders) {
  plat::String16 deep = dir_ / "missing";
  deep += plat::kSeparator;
  deep += u"file";
  EXPECT_FALSE(OpenRw(deep, Disposition::OpenExisting).IsValid());
  EXPECT_EQ(plat::LastError(), plat::kErrorPathNotFound);
  EXPECT_FALSE(OpenRw(deep, Disposition::CreateAlways).IsValid());
  EXPECT_EQ(plat::LastError(), plat::kErrorPathNotFound);

  EXPECT_FALSE(File::Open(dir_.Path().c_str(), Access::Read, plat::kShareRead, Disposition::OpenExisting));
  EXPECT_EQ(plat::LastError(), plat::kErrorAccessDenied);
}

TEST_F(FileTest, Open_EnforcesSharingWhereTheSystemDoes) {
  plat::String16 path = dir_ / "shared";
  ASSERT_TRUE(ScratchFolder::WriteFile(path, "x"));
  File reader = File::Open(path.c_str(), Access::Read, plat::kShareRead, Disposition::OpenExisting);
  ASSERT_TRUE(reader);
  // A second reader is within the sharing granted; a writer is not.
  EXPECT_TRUE(File::Open(path.c_str(), Access::Read, plat::kShareRead, Disposition::OpenExisting).IsValid());
  File writer = File::Open(path.c_str(), Access::Write, plat::kShareRead, Disposition::OpenExisting);
  if (testing_support::HasWindowsRules()) {
    EXPECT_FALSE(writer.IsValid());
    EXPECT_EQ(plat::LastError(), plat::kErrorSharingViolation);
  } else {
    EXPECT_TRUE(writer.IsValid());
  }
}

TEST_F(FileTest, InvalidHandle_FailsCleanlyAndClosesTwiceHarmlessly) {
  File f = OpenRw(dir_ / "missing", Disposition::OpenExisting);
  ASSERT_FALSE(f);
  char b[4];
  size_t got = 7;
  EXPECT_FALSE(f.Read(b, sizeof b, &got));
  EXPECT_EQ(got, 0u);
  EXPECT_EQ(plat::LastError(), plat::kErrorInvalidHandle);
  EXPECT_FALSE(f.Write("x", 1));
  EXPECT_EQ(plat::LastError(), plat::kErrorInvalidHandle);
  EXPECT_TRUE(f.Close());

  File g = OpenRw(dir_ / "x", Disposition::CreateAlways);
  ASSERT_TRUE(g);
  File moved = std::move(g);
  EXPECT_FALSE(g.IsValid());
  EXPECT_TRUE(moved.Close());
  EXPECT_TRUE(moved.Close());
}

TEST_F(FileTest, Read_IsShortOnlyAtEndOfFile) {
  std::string data(100000, '\0');
  for (size_t i = 0; i < data.size(); ++i) data[i] = static_cast<char>(i * 7);
  ASSERT_TRUE(ScratchFolder::WriteFile(dir_ / "r", data));
  File f = OpenRw(dir_ / "r", Disposition::OpenExisting);
  ASSERT_TRUE(f);
  std::vector<char> buf(65536);
  size_t got = 0;
  ASSERT_TRUE(f.Read(buf.data(), buf.size(), &got));
  EXPECT_EQ(got, buf.size());
  ASSERT_TRUE(f.Read(buf.data(), buf.size(), &got));
  EXPECT_EQ(got, data.size() - 65536);
  EXPECT_EQ(std::string(buf.data(), got), data.substr(65536));
  ASSERT_TRUE(f.Read(buf.data(), buf.size(), &got));
  EXPECT_EQ(got, 0u);
}

TEST_F(FileTest, ReadAt_ReadsAnywhereAndStopsAtTheEnd) {
  ASSERT_TRUE(ScratchFolder::WriteFile(dir_ / "r", "0123456789"));
  File f = OpenRw(dir_ / "r", Disposition::OpenExisting);
  ASSERT_TRUE(f);
  char b[8];
  size_t got = 0;
  ASSERT_TRUE(f.ReadAt(3, b, 4, &got));
  EXPECT_EQ(std::string(b, got), "3456");
  ASSERT_TRUE(f.ReadAt(7, b, 8, &got));
  EXPECT_EQ(std::string(b, got), "789");
  ASSERT_TRUE(f.ReadAt(10, b, 8, &got));
  EXPECT_EQ(got, 0u);
  ASSERT_TRUE(f.ReadAt(1000, b, 8, &got));
  EXPECT_EQ(got, 0u);
  EXPECT_FALSE(f.ReadAt(~0ull, b, 8, &got));
}

TEST_F(FileTest, WriteSeekTruncate_KeepSizeAndPositionConsistent) {
  File f = OpenRw(dir_ / "w", Disposition::CreateNew);
  ASSERT_TRUE(f);
  std::string data(1000, 'a');
  ASSERT_TRUE(f.Write(data.data(), data.size()));
  uint64_t size = 0, pos = 0;
  ASSERT_TRUE(f.Size(&size));
  EXPECT_EQ(size, 1000u);
  ASSERT_TRUE(f.Seek(100, SeekOrigin::Begin, &pos));
  EXPECT_EQ(pos, 100u);
  ASSERT_TRUE(f.Truncate());
  ASSERT_TRUE(f.Size(&size));
  EXPECT_EQ(size, 100u);
  ASSERT_TRUE(f.Seek(-10, SeekOrigin::End, &pos));
  EXPECT_EQ(pos, 90u);
  ASSERT_TRUE(f.Write("xyz", 3));
  ASSERT_TRUE(f.Tell(&pos));
  EXPECT_EQ(pos, 93u);
  ASSERT_TRUE(f.Seek(7, SeekOrigin::Current, &pos));
  EXPECT_EQ(pos, 100u);
  EXPECT_FALSE(f.Seek(-1, SeekOrigin::Begin));
  // Seeking past the end and writing extends the file with zeros.
  ASSERT_TRUE(f.Seek(200, SeekOrigin::Begin));
  ASSERT_TRUE(f.Write("!", 1));
  ASSERT_TRUE(f.Flush());
  ASSERT_TRUE(f.Size(&size));
  EXPECT_EQ(size, 201u);
  ASSERT_TRUE(f.Close());
  std::string back = ScratchFolder::ReadFile(dir_ / "w");
  EXPECT_EQ(back.substr(88, 6), "aaxyza");
  EXPECT_EQ(back.substr(100, 100), std::string(100, '\0'));
}

TEST_F(FileTest, Times_SetOnHandleOrPathReadBackExactly) {
  plat::String16 path = dir_ / "t";
  ASSERT_TRUE(ScratchFolder::WriteFile(path, "x"));
  // 2001-02-03 04:05:06.1234567 UTC and 1999-12-31 23:59:58 UTC.
  const ZoFileTime written = 126256467061234567ull;
  const ZoFileTime accessed = 125911583980000000ull;
  {
    File f = OpenRw(path, Disposition::OpenExisting);
    ASSERT_TRUE(f);
    ASSERT_TRUE(f.SetTimes(nullptr, &accessed, &written));
    plat::FileTimes t;
    ASSERT_TRUE(f.GetTimes(&t));
    EXPECT_EQ(t.lastWrite, written);
    EXPECT_EQ(t.lastAccess, accessed);
  }
  plat::FileTimes t;
  ASSERT_TRUE(plat::GetFileTimes(path.c_str(), &t));
  EXPECT_EQ(t.lastWrite, written);

  // A null time is left as it was.
  const ZoFileTime later = written + 10000000ull * 3600;
  ASSERT_TRUE(plat::SetFileTimes(path.c_str(), nullptr, nullptr, &later));
  ASSERT_TRUE(plat::GetFileTimes(path.c_str(), &t));
  EXPECT_EQ(t.lastWrite, later);
  EXPECT_EQ(t.lastAccess, accessed);

  EXPECT_FALSE(plat::GetFileTimes((dir_ / "missing").c_str(), &t));
  EXPECT_EQ(plat::LastError(), plat::kErrorFileNotFound);
  EXPECT_FALSE(plat::SetFileTimes((dir_ / "missing").c_str(), nullptr, nullptr, &later));
  EXPECT_EQ(plat::LastError(), plat::kErrorFileNotFound);
}

TEST_F(FileTest, Attributes_ReadOnlyRoundTripsAndGuardsDeletion) {
  plat::String16 path = dir_ / "ro";
  ASSERT_TRUE(ScratchFolder::WriteFile(path, "x"));
  uint32_t a = plat::GetAttributes(path.c_str());
  ASSERT_NE(a, ZO_INVALID_ATTRIBUTES);
  EXPECT_EQ(a & (ZO_ATTR_READONLY | ZO_ATTR_DIRECTORY), 0u);
  EXPECT_TRUE(plat::GetAttributes(dir_.Path().c_str()) & ZO_ATTR_DIRECTORY);

  ASSERT_TRUE(plat::SetAttributes(path.c_str(), ZO_ATTR_READONLY));
  EXPECT_TRUE(plat::GetAttributes(path.c_str()) & ZO_ATTR_READONLY);
  // Windows refuses to delete a read-only file; POSIX lets the folder's owner do it.
  if (testing_support::HasWindowsRules()) {
    EXPECT_FALSE(plat::DeleteFile(path.c_str()));
    EXPECT_EQ(plat::LastError(), plat::kErrorAccessDenied);
    EXPECT_TRUE(plat::Exists(path.c_str()));
  } else {
    EXPECT_TRUE(plat::DeleteFile(path.c_str()));
    EXPECT_FALSE(plat::Exists(path.c_str()));
    ASSERT_TRUE(ScratchFolder::WriteFile(path, "x"));
  }
  ASSERT_TRUE(plat::SetAttributes(path.c_str(), ZO_ATTR_NORMAL));
  EXPECT_FALSE(plat::GetAttributes(path.c_str()) & ZO_ATTR_READONLY);
  EXPECT_TRUE(plat::DeleteFile(path.c_str()));
  EXPECT_FALSE(plat::Exists(path.c_str()));

  EXPECT_EQ(plat::GetAttributes(path.c_str()), ZO_INVALID_ATTRIBUTES);
  EXPECT_EQ(plat::LastError(), plat::kErrorFileNotFound);
  EXPECT_FALSE(plat::DeleteFile(path.c_str()));
  EXPECT_EQ(plat::LastError(), plat::kErrorFileNotFound);
  EXPECT_FALSE(plat::DeleteFile(dir_.Path().c_str()));
  EXPECT_EQ(plat::LastError(), plat::kErrorAccessDenied);
}

TEST_F(FileTest, MoveFile_ReplacesOnlyWhenAskedAndReportsMissingNames) {
  plat::String16 a = dir_ / "a", b = dir_ / "b";
  ASSERT_TRUE(ScratchFolder::WriteFile(a, "new"));
  ASSERT_TRUE(ScratchFolder::WriteFile(b, "old"));

  EXPECT_FALSE(plat::MoveFile(a.c_str(), b.c_str(), false));
  EXPECT_EQ(plat::LastError(), plat::kErrorAlreadyExists);
  EXPECT_EQ(ScratchFolder::ReadFile(b), "old");
  EXPECT_EQ(ScratchFolder::ReadFile(a), "new");

  ASSERT_TRUE(plat::MoveFile(a.c_str(), b.c_str(), true));
  EXPECT_FALSE(plat::Exists(a.c_str()));
  EXPECT_EQ(ScratchFolder::ReadFile(b), "new");

  EXPECT_FALSE(plat::MoveFile(a.c_str(), b.c_str(), true));
  EXPECT_EQ(plat::LastError(), plat::kErrorFileNotFound);
  plat::String16 intoMissing = dir_ / "nofolder";
  intoMissing += plat::kSeparator;
  intoMissing += u"c";
  EXPECT_FALSE(plat::MoveFile(b.c_str(), intoMissing.c_str(), true));
  EXPECT_EQ(plat::LastError(), plat::kErrorPathNotFound);
  EXPECT_EQ(ScratchFolder::ReadFile(b), "new");
}

}  // namespace

namespace {

// Attributes often come from archive entries; bits that are not file attributes
// (on Windows some of them are open flags such as delete-on-close) are ignored.
TEST_F(FileTest, Open_AppliesOnlyFileAttributesFromUntrustedBits) {
  plat::String16 path = dir_ / "attr";
  const uint32_t hostile = 0x04000000u /* delete on close */ | 0x40000000u /* overlapped */ | 0x4000u | ZO_ATTR_READONLY;
  File f = File::Open(path.c_str(), Access::ReadWrite, plat::kShareRead, Disposition::CreateNew, hostile);
  ASSERT_TRUE(f);
  ASSERT_TRUE(f.Write("data", 4));
  char b[4];
  size_t got = 0;
  ASSERT_TRUE(f.ReadAt(0, b, 4, &got));
  EXPECT_EQ(got, 4u);
  ASSERT_TRUE(f.Close());
  EXPECT_EQ(ScratchFolder::ReadFile(path), "data");
  EXPECT_TRUE(plat::GetAttributes(path.c_str()) & ZO_ATTR_READONLY);
  EXPECT_TRUE(plat::SetAttributes(path.c_str(), hostile & ~ZO_ATTR_READONLY));
  EXPECT_FALSE(plat::GetAttributes(path.c_str()) & ZO_ATTR_READONLY);
}

}  // namespace

namespace {

TEST_F(FileTest, CreateNoFollow_CreatesAndTruncatesButRefusesLinksAndFolders) {
  plat::String16 path = dir_ / "plain";
  {
    File f = File::CreateNoFollow(path.c_str());
    ASSERT_TRUE(f);
    ASSERT_TRUE(f.Write("first", 5));
    ASSERT_TRUE(f.Close());
  }
  {
    File f = File::CreateNoFollow(path.c_str());
    ASSERT_TRUE(f);
    uint64_t size = 1;
    ASSERT_TRUE(f.Size(&size));
    EXPECT_EQ(size, 0u);
    ASSERT_TRUE(f.Write("2nd", 3));
    ASSERT_TRUE(f.Close());
  }
  EXPECT_EQ(ScratchFolder::ReadFile(path), "2nd");

  EXPECT_FALSE(File::CreateNoFollow(dir_.Path().c_str()).IsValid());
  EXPECT_EQ(plat::LastError(), plat::kErrorAccessDenied);

  plat::String16 link = dir_ / "link";
  if (!plat::CreateSymbolicLink(link.c_str(), path.c_str(), false)) {
    GTEST_SKIP() << "symbolic links cannot be created here (error " << plat::LastError() << ")";
  }
  EXPECT_FALSE(File::CreateNoFollow(link.c_str()).IsValid());
  EXPECT_EQ(plat::LastError(), plat::kErrorAccessDenied);
  EXPECT_EQ(ScratchFolder::ReadFile(path), "2nd");  // the target is untouched
  // A dangling link must not create its target either.
  ASSERT_TRUE(plat::DeleteFile(path.c_str()));
  EXPECT_FALSE(File::CreateNoFollow(link.c_str()).IsValid());
  EXPECT_FALSE(plat::Exists(path.c_str()));
}

// A folder's files opened by name: what opens is what the whole path opens, and
// anything that is not a regular file either fails or says so in its status.
TEST_F(FileTest, Folder_OpensItsFilesByNameAsTheWholePathDoes) {
  ASSERT_TRUE(ScratchFolder::WriteFile(dir_ / "a.txt", "hello"));
  ASSERT_TRUE(plat::CreateDirectory((dir_ / "sub").c_str()));
  const plat::Folder folder = plat::Folder::Open(dir_.Path().c_str());
  ASSERT_TRUE(folder.IsValid());
  struct Case {
    const char* name;
    bool opens;       // as a regular file
    const char* content;
  };
  const Case cases[] = {{"a.txt", true, "hello"}, {"missing.txt", false, ""}, {"sub", false, ""}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const plat::String16 name = plat::U16(c.name);
    File file = folder.OpenToRead(name.c_str(), (dir_ / c.name).c_str());
    File::Status status;
    const bool regular = file && file.GetStatus(&status) && status.regular;
    EXPECT_EQ(regular, c.opens);
    if (!regular) continue;
    char bytes[16] = {};
    size_t got = 0;
    ASSERT_TRUE(file.Read(bytes, sizeof bytes, &got));
    EXPECT_EQ(std::string(bytes, got), c.content);
    EXPECT_EQ(status.size, got);
  }
  // A folder that is not open opens nothing; moved, it keeps its handle.
  plat::Folder moved = plat::Folder::Open(dir_.Path().c_str());
  const plat::Folder none;
  EXPECT_FALSE(none.OpenToRead(u"a.txt", (dir_ / "a.txt").c_str()).IsValid());
  EXPECT_EQ(plat::LastError(), plat::kErrorInvalidHandle);
  plat::Folder taken = std::move(moved);
  EXPECT_TRUE(taken.IsValid());
  EXPECT_FALSE(moved.IsValid());  // NOLINT(bugprone-use-after-move): the move empties it
  EXPECT_TRUE(taken.OpenToRead(u"a.txt", (dir_ / "a.txt").c_str()).IsValid());
  if (!testing_support::HasWindowsRules()) {
    EXPECT_FALSE(plat::Folder::Open((dir_ / "missing").c_str()).IsValid());
    EXPECT_EQ(plat::LastError(), plat::kErrorFileNotFound);
  }
}

}  // namespace
