// Path utilities that touch the file system, on the native platform, in a
// scratch folder of their own.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "platform/directory.h"
#include "platform/file.h"
#include "platform/paths.h"
#include "platform/text.h"
#include "platform/time.h"
#include "runtime/zo_path.h"
#include "tests/platform/scratch_folder.h"

namespace {

using plat::String16;
using plat::U16;
using testing_support::ScratchFolder;

constexpr ZoChar kSep = plat::kSeparator;

String16 Join(const String16& a, std::string_view b) { return a + kSep + U16(b); }

bool IsDir(const String16& p) { return plat::IsDirectory(p.c_str()); }
bool Exists(const String16& p) { return plat::Exists(p.c_str()); }

class PathFs : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(dir_.IsValid()); }
  ScratchFolder dir_;
};

TEST_F(PathFs, CreateDirectoryBuildsTheWholeChain) {
  String16 deep = Join(Join(Join(dir_.Path(), "a"), "b"), "c");
  EXPECT_NE(ZoCreateDirectory(deep.c_str(), nullptr), 0);
  EXPECT_TRUE(IsDir(deep));
  // Again: everything exists already.
  EXPECT_NE(ZoCreateDirectory(deep.c_str(), nullptr), 0);
  // A final separator and a doubled one both end the walk.
  String16 trailing = Join(dir_.Path(), "t") + kSep;
  EXPECT_NE(ZoCreateDirectory(trailing.c_str(), nullptr), 0);
  EXPECT_TRUE(IsDir(Join(dir_.Path(), "t")));
  String16 doubled = Join(dir_.Path(), "u") + kSep + kSep + u"v";
  EXPECT_NE(ZoCreateDirectory(doubled.c_str(), nullptr), 0);
  EXPECT_TRUE(IsDir(Join(dir_.Path(), "u")));
  EXPECT_FALSE(Exists(Join(Join(dir_.Path(), "u"), "v")));
}

TEST_F(PathFs, CreateDirectoryFailsOnAFileInTheWayOrAShortRelativeRoot) {
  String16 file = Join(dir_.Path(), "f");
  ASSERT_TRUE(ScratchFolder::WriteFile(file, "x"));
  EXPECT_EQ(ZoCreateDirectory(Join(file, "sub").c_str(), nullptr), 0);
  // A relative root of two units ("a" and a separator) is refused.
  String16 relative = String16(u"a") + kSep + u"b";
  EXPECT_EQ(ZoCreateDirectory(relative.c_str(), nullptr), 0);
  EXPECT_EQ(ZoCreateDirectory(u"", nullptr), 0);
  EXPECT_EQ(ZoCreateDirectory(nullptr, nullptr), 0);
}

// Restores the current folder when the test ends.
class CurrentFolder {
 public:
  CurrentFolder() { plat::GetCurrentDirectory(saved_, ZO_MAX_PATH); }
  ~CurrentFolder() { plat::SetCurrentDirectory(saved_); }

 private:
  ZoChar saved_[ZO_MAX_PATH] = {};
};

TEST_F(PathFs, CreateDirectoryBelowAnExistingRelativeFirstComponent) {
  CurrentFolder restore;
  ASSERT_TRUE(plat::SetCurrentDirectory(dir_.Path().c_str()));
  ASSERT_TRUE(plat::CreateDirectory(Join(dir_.Path(), "base").c_str()));
  String16 relative = String16(u"base") + kSep + u"x" + kSep + u"y";
  EXPECT_NE(ZoCreateDirectory(relative.c_str(), nullptr), 0);
  EXPECT_TRUE(IsDir(Join(Join(Join(dir_.Path(), "base"), "x"), "y")));
  // Without that first component as a folder, nothing is created.
  String16 missing = String16(u"nothere") + kSep + u"x";
  EXPECT_EQ(ZoCreateDirectory(missing.c_str(), nullptr), 0);
  EXPECT_FALSE(Exists(Join(dir_.Path(), "nothere")));
}

// A tree: top/{a.txt, b.tmp (read-only), sub/{c.txt (read-only), deeper/{d.tmp}}}
String16 MakeTree(const String16& parent) {
  String16 top = Join(parent, "top");
  String16 sub = Join(top, "sub");
  String16 deeper = Join(sub, "deeper");
  EXPECT_NE(ZoCreateDirectory(deeper.c_str(), nullptr), 0);
  EXPECT_TRUE(ScratchFolder::WriteFile(Join(top, "a.txt"), "a"));
  EXPECT_TRUE(ScratchFolder::WriteFile(Join(top, "b.tmp"), "b"));
  EXPECT_TRUE(ScratchFolder::WriteFile(Join(sub, "c.txt"), "c"));
  EXPECT_TRUE(ScratchFolder::WriteFile(Join(deeper, "d.tmp"), "d"));
  EXPECT_TRUE(plat::SetAttributes(Join(top, "b.tmp").c_str(), ZO_ATTR_READONLY));
  EXPECT_TRUE(plat::SetAttributes(Join(sub, "c.txt").c_str(), ZO_ATTR_READONLY));
  return top;
}

TEST_F(PathFs, DeleteDirectoryWithRecurseRemovesReadOnlyItemsAndFolders) {
  String16 top = MakeTree(dir_.Path());
  // A read-only subfolder could be neither emptied nor removed as it is.
  ASSERT_TRUE(plat::SetAttributes(Join(top, "sub").c_str(), ZO_ATTR_READONLY | ZO_ATTR_DIRECTORY));
  EXPECT_EQ(ZoDeleteDirectory(top.c_str(), nullptr, true), S_OK);
  EXPECT_FALSE(Exists(top));
}

TEST_F(PathFs, DeleteDirectoryWithoutRecurseLeavesSubfoldersAndFails) {
  String16 top = MakeTree(dir_.Path());
  String16 sub = Join(top, "sub");
  ASSERT_TRUE(plat::SetAttributes(sub.c_str(), ZO_ATTR_READONLY | ZO_ATTR_DIRECTORY));
  EXPECT_EQ(ZoDeleteDirectory(top.c_str(), nullptr, false), E_FAIL);
  EXPECT_TRUE(IsDir(top));
  EXPECT_FALSE(Exists(Join(top, "a.txt")));
  EXPECT_FALSE(Exists(Join(top, "b.tmp")));
  EXPECT_TRUE(Exists(Join(sub, "c.txt")));
  // The folder left in place lost its read-only mark like every item met;
  // what lies inside it was not visited.
  EXPECT_EQ(plat::GetAttributes(sub.c_str()) & ZO_ATTR_READONLY, 0u);
  EXPECT_NE(plat::GetAttributes(Join(sub, "c.txt").c_str()) & ZO_ATTR_READONLY, 0u);
}

TEST_F(PathFs, DeleteDirectoryWithAPatternDeletesOnlyMatchingItems) {
  String16 top = MakeTree(dir_.Path());
  EXPECT_EQ(ZoDeleteDirectory(top.c_str(), u"*.tmp", true), E_FAIL);  // the folder keeps a.txt
  EXPECT_TRUE(Exists(Join(top, "a.txt")));
  EXPECT_FALSE(Exists(Join(top, "b.tmp")));
  // "sub" does not match the pattern, so it is not entered.
  EXPECT_TRUE(Exists(Join(Join(Join(top, "sub"), "deeper"), "d.tmp")));
}

TEST_F(PathFs, DeleteDirectoryOfAMissingFolderOrAFile) {
  EXPECT_EQ(ZoDeleteDirectory(Join(dir_.Path(), "missing").c_str(), nullptr, true), ZO_E_FOLDER_NOT_FOUND);
  String16 file = Join(dir_.Path(), "plain");
  ASSERT_TRUE(ScratchFolder::WriteFile(file, "x"));
  EXPECT_EQ(ZoDeleteDirectory(file.c_str(), nullptr, true), ZO_E_FOLDER_NOT_FOUND);
  EXPECT_TRUE(Exists(file));
  EXPECT_EQ(ZoDeleteDirectory(nullptr, nullptr, true), ZO_E_FOLDER_NOT_FOUND);
}

TEST_F(PathFs, DeleteDirectoryRemovesLinksButNeverTheirTargets) {
  String16 outside = Join(dir_.Path(), "outside");
  ASSERT_TRUE(plat::CreateDirectory(outside.c_str()));
  String16 keptFile = Join(outside, "keep.txt");
  ASSERT_TRUE(ScratchFolder::WriteFile(keptFile, "precious"));
  ASSERT_TRUE(plat::SetAttributes(keptFile.c_str(), ZO_ATTR_READONLY));
  String16 top = MakeTree(dir_.Path());
  String16 sub = Join(top, "sub");
  if (!plat::CreateSymbolicLink(Join(sub, "folder-link").c_str(), outside.c_str(), true) ||
      !plat::CreateSymbolicLink(Join(top, "file-link").c_str(), keptFile.c_str(), false)) {
    GTEST_SKIP() << "symbolic links cannot be created here";
  }
  EXPECT_EQ(ZoDeleteDirectory(top.c_str(), nullptr, true), S_OK);
  EXPECT_FALSE(Exists(top));
  EXPECT_TRUE(IsDir(outside));
  EXPECT_EQ(ScratchFolder::ReadFile(keptFile), "precious");
  // The target's attributes are not touched either.
  EXPECT_NE(plat::GetAttributes(keptFile.c_str()) & ZO_ATTR_READONLY, 0u);
}

TEST_F(PathFs, DeleteDirectoryWithoutRecurseLeavesAFolderLinkAndRemovesAFileLink) {
  String16 outside = Join(dir_.Path(), "outside");
  ASSERT_TRUE(plat::CreateDirectory(outside.c_str()));
  ASSERT_TRUE(ScratchFolder::WriteFile(Join(outside, "keep.txt"), "k"));
  String16 top = Join(dir_.Path(), "top");
  ASSERT_TRUE(plat::CreateDirectory(top.c_str()));
  if (!plat::CreateSymbolicLink(Join(top, "folder-link").c_str(), outside.c_str(), true) ||
      !plat::CreateSymbolicLink(Join(top, "file-link").c_str(), Join(outside, "keep.txt").c_str(), false)) {
    GTEST_SKIP() << "symbolic links cannot be created here";
  }
  EXPECT_EQ(ZoDeleteDirectory(top.c_str(), nullptr, false), E_FAIL);
  EXPECT_TRUE(plat::IsLink(Join(top, "folder-link").c_str()));
  EXPECT_FALSE(Exists(Join(top, "file-link")));
  EXPECT_EQ(ScratchFolder::ReadFile(Join(outside, "keep.txt")), "k");
}

TEST_F(PathFs, DeleteDirectoryReportsFilesThatCannotBeDeleted) {
  String16 top = Join(dir_.Path(), "locked");
  ASSERT_TRUE(plat::CreateDirectory(top.c_str()));
  ASSERT_TRUE(ScratchFolder::WriteFile(Join(top, "f1"), "1"));
  ASSERT_TRUE(ScratchFolder::WriteFile(Join(top, "f2"), "2"));
  // A folder without write permission keeps its files on POSIX; Windows deletes
  // them regardless, and a privileged user ignores the permission.
  ASSERT_TRUE(plat::SetAttributes(top.c_str(), ZO_ATTR_READONLY | ZO_ATTR_DIRECTORY));
  if (ScratchFolder::WriteFile(Join(top, "probe"), "p")) {
    plat::SetAttributes(top.c_str(), ZO_ATTR_DIRECTORY);
    GTEST_SKIP() << "a read-only folder does not protect its files here";
  }
  EXPECT_EQ(ZoDeleteDirectory(top.c_str(), nullptr, true), E_FAIL);
  EXPECT_TRUE(Exists(Join(top, "f1")));
  EXPECT_TRUE(Exists(Join(top, "f2")));  // the listing went on after the first failure
  plat::SetAttributes(top.c_str(), ZO_ATTR_DIRECTORY);
}

TEST_F(PathFs, IsDirectoryEmpty) {
  String16 empty = Join(dir_.Path(), "empty");
  ASSERT_TRUE(plat::CreateDirectory(empty.c_str()));
  EXPECT_EQ(ZoIsDirectoryEmpty(empty.c_str()), 1);
  ASSERT_TRUE(ScratchFolder::WriteFile(Join(empty, "x"), "x"));
  EXPECT_EQ(ZoIsDirectoryEmpty(empty.c_str()), 0);
  EXPECT_EQ(ZoIsDirectoryEmpty(Join(dir_.Path(), "missing").c_str()), 1);  // cannot be listed
  String16 tooLong = dir_.Path() + kSep + String16(300, u'n');
  EXPECT_EQ(ZoIsDirectoryEmpty(tooLong.c_str()), 0);
}

TEST_F(PathFs, FileExistenceAndSize) {
  String16 file = Join(dir_.Path(), "five");
  ASSERT_TRUE(ScratchFolder::WriteFile(file, "12345"));
  EXPECT_EQ(ZoDoesFileExist(file.c_str()), 1);
  EXPECT_EQ(ZoDoesFileExist(dir_.Path().c_str()), 0);  // a folder is not a file
  EXPECT_EQ(ZoDoesFileExist(Join(dir_.Path(), "missing").c_str()), 0);
  uint64_t size = 77;
  EXPECT_EQ(ZoGetFileSizeByName(file.c_str(), &size), S_OK);
  EXPECT_EQ(size, 5u);
  size = 77;
  EXPECT_EQ(ZoGetFileSizeByName(Join(dir_.Path(), "missing").c_str(), &size), ZO_E_CANNOT_OPEN);
  EXPECT_EQ(size, 0u);
}

TEST_F(PathFs, DosDateTimeOfTheLastWrite) {
  String16 file = Join(dir_.Path(), "dated");
  ASSERT_TRUE(ScratchFolder::WriteFile(file, "x"));
  plat::SystemTime st;
  st.year = 2020, st.month = 5, st.day = 17, st.hour = 13, st.minute = 45, st.second = 31;
  ZoFileTime written;
  ASSERT_TRUE(plat::SystemTimeToFileTime(st, &written));
  ASSERT_TRUE(plat::SetFileTimes(file.c_str(), nullptr, nullptr, &written));
  uint32_t expected = (((2020u - 1980u) << 9 | 5u << 5 | 17u) << 16) | (13u << 11 | 45u << 5 | 15u);
  EXPECT_EQ(ZoDosGetDateTimeUTC(file.c_str()), expected);
  EXPECT_NE(ZoDosGetDateTime(file.c_str()), 0u);
  EXPECT_EQ(ZoDosGetDateTimeUTC(Join(dir_.Path(), "missing").c_str()), 0u);
  EXPECT_EQ(ZoDosGetDateTime(Join(dir_.Path(), "missing").c_str()), 0u);
}

TEST(PathSystem, GetDateTimePacksTheCalendarFields) {
  uint32_t out[2] = {0, 0};
  uint32_t hundredths = ZoGetDateTime(out);
  EXPECT_EQ(hundredths, out[1] & 0xFF);
  EXPECT_LT(hundredths, 100u);
  EXPECT_GE(out[0] & 0xFFFF, 2020u);
  uint32_t day = (out[0] >> 16) & 0xFF, month = out[0] >> 24;
  EXPECT_TRUE(day >= 1 && day <= 31);
  EXPECT_TRUE(month >= 1 && month <= 12);
  EXPECT_LT((out[1] >> 8) & 0xFF, 60u);
  EXPECT_LT((out[1] >> 16) & 0xFF, 60u);
  EXPECT_LT(out[1] >> 24, 24u);
}

TEST_F(PathFs, DiskSpaceOfAFolderAndOfAFileBelowIt) {
  uint32_t freeKb = ZoGetDiskFreeSpace((dir_.Path() + kSep).c_str(), 1024);
  uint32_t totalKb = ZoGetDiskTotalSpace((dir_.Path() + kSep).c_str(), 1024);
  EXPECT_GT(totalKb, 0u);
  EXPECT_GE(totalKb, freeKb);
  // A last component without separator is a file name: its folder is queried,
  // whether the file exists or not.
  EXPECT_GT(ZoGetDiskTotalSpace(Join(dir_.Path(), "not-yet-there.bin").c_str(), 1024), 0u);
  // Unit 0 means bytes, clamped to 32 bits.
  EXPECT_GE(ZoGetDiskTotalSpace((dir_.Path() + kSep).c_str(), 0), totalKb);
  // A folder that does not exist cannot be measured, although its volume could.
  String16 missingFolder = Join(Join(dir_.Path(), "missing"), "file.bin");
  EXPECT_EQ(ZoGetDiskFreeSpace(missingFolder.c_str(), 1024), 0u);
  EXPECT_EQ(ZoGetDiskTotalSpace(missingFolder.c_str(), 1024), 0u);
  // No root at all: nothing can be measured.
  EXPECT_EQ(ZoGetDiskFreeSpace(u"noroot", 1024), 0u);
  EXPECT_EQ(ZoGetDiskFreeSpace(nullptr, 1024), 0u);
}

TEST(PathSystem, TempPathEndsInASeparatorAndReportsTheSizeItNeeds) {
  ZoChar temp[ZO_MAX_PATH];
  uint32_t n = ZoGetTempPath(ZO_MAX_PATH, temp);
  ASSERT_GT(n, 0u);
  ASSERT_LT(n, static_cast<uint32_t>(ZO_MAX_PATH));
  EXPECT_EQ(temp[n - 1], kSep);
  ZoChar small[2] = {u'x', u'x'};
  EXPECT_GT(ZoGetTempPath(2, small), 2u);
}

#if !GTEST_OS_WINDOWS
TEST_F(PathFs, TempPathThatDoesNotExistHasNoLongFormAndReportsFailure) {
  const char* saved = std::getenv("TMPDIR");
  const std::string previous = saved ? saved : "";
  String16 missing = Join(dir_.Path(), "no-such-temp");
  ASSERT_EQ(setenv("TMPDIR", plat::ToUtf8(missing).c_str(), 1), 0);
  ZoChar temp[ZO_MAX_PATH];
  uint32_t n = ZoGetTempPath(ZO_MAX_PATH, temp);
  String16 got(temp);
  // An existing one is measured as usual.
  ASSERT_TRUE(plat::CreateDirectory(missing.c_str()));
  uint32_t existing = ZoGetTempPath(ZO_MAX_PATH, temp);
  if (saved) {
    setenv("TMPDIR", previous.c_str(), 1);
  } else {
    unsetenv("TMPDIR");
  }
  EXPECT_EQ(n, 0u);
  EXPECT_EQ(got, missing + kSep);  // the system's form, for a message
  EXPECT_EQ(existing, missing.size() + 1);
}
#endif

TEST(PathSystem, ModuleFileNameAndFolder) {
  ZoChar name[ZO_MAX_PATH], folder[ZO_MAX_PATH];
  uint32_t n = ZoGetModuleFileName(nullptr, name, ZO_MAX_PATH);
  ASSERT_GT(n, 0u);
  ASSERT_LT(n, static_cast<uint32_t>(ZO_MAX_PATH));
  EXPECT_EQ(ZoDoesFileExist(name), 1);
  int f = ZoGetModulePath(nullptr, folder, ZO_MAX_PATH);
  ASSERT_GT(f, 0);
  EXPECT_EQ(folder[f - 1], kSep);
  EXPECT_EQ(String16(name).substr(0, static_cast<size_t>(f)), String16(folder));
  // Too small for the whole name: the name's length, and nothing written.
  ZoChar tiny[4] = {u'x', u'x', u'x', u'x'};
  EXPECT_EQ(ZoGetModulePath(nullptr, tiny, 4), static_cast<int>(n));
  EXPECT_EQ(tiny[0], 0);
  std::vector<ZoChar> shortByOne(n - 1, u'x');
  EXPECT_EQ(ZoGetModulePath(nullptr, shortByOne.data(), static_cast<int>(n - 1)), static_cast<int>(n));
  EXPECT_EQ(shortByOne[0], 0);
  // A capacity of exactly the name's length does not exceed it: the folder fits.
  std::vector<ZoChar> exact(n, u'x');
  EXPECT_EQ(ZoGetModulePath(nullptr, exact.data(), static_cast<int>(n)), f);
  EXPECT_EQ(String16(exact.data()), String16(folder));
}

TEST_F(PathFs, FullPathNameOfARelativeNameAndItsFilePart) {
  CurrentFolder restore;
  ASSERT_TRUE(plat::SetCurrentDirectory(dir_.Path().c_str()));
  ZoChar full[ZO_MAX_PATH];
  ZoChar* filePart = nullptr;
  uint32_t n = ZoGetFullPathName(u"later.txt", ZO_MAX_PATH, full, &filePart);
  ASSERT_GT(n, 0u);
  EXPECT_EQ(String16(full), Join(dir_.Path(), "later.txt"));
  ASSERT_NE(filePart, nullptr);
  EXPECT_EQ(String16(filePart), u"later.txt");
  ZoChar small[5];
  EXPECT_GT(ZoGetFullPathName(u"later.txt", 5, small, &filePart), 5u);
  EXPECT_EQ(filePart, nullptr);
  EXPECT_EQ(ZoQualifyPath(u"later.txt", full, ZO_MAX_PATH), 1);
  EXPECT_EQ(ZoQualifyPath(u"later.txt", small, 5), 0);
  EXPECT_EQ(small[0], 0);
  EXPECT_EQ(ZoQualifyPath(u"later.txt", small, 0), 0);
}

TEST_F(PathFs, LongPathNameFallsBackToACopy) {
  String16 missing = Join(dir_.Path(), "missing.txt");
  ZoChar out[ZO_MAX_PATH];
  EXPECT_EQ(ZoGetLongPathName(missing.c_str(), out, ZO_MAX_PATH), 0u);
  EXPECT_EQ(String16(out), missing);
  ZoChar cut[4];
  ZoGetLongPathName(missing.c_str(), cut, 4);
  EXPECT_EQ(String16(cut), missing.substr(0, 3));
  String16 file = Join(dir_.Path(), "there.txt");
  ASSERT_TRUE(ScratchFolder::WriteFile(file, "x"));
  EXPECT_EQ(ZoGetLongPathName(file.c_str(), out, ZO_MAX_PATH), file.size());
  EXPECT_EQ(String16(out), file);
}

}  // namespace
