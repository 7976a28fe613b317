// Directories: creation and removal errors, listings with wildcard patterns,
// and how links are seen.
#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <string>

#include "platform/directory.h"
#include "platform/errors.h"
#include "platform/file.h"
#include "tests/platform/scratch_folder.h"

namespace {

using testing_support::ScratchFolder;

class DirectoryTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(dir_.IsValid()); }

  // Names listed for `pattern`, without "." and "..".
  std::set<std::string> List(const ZoChar* pattern) {
    std::set<std::string> names;
    plat::DirectoryLister lister;
    EXPECT_TRUE(lister.Open(dir_.Path().c_str(), pattern));
    plat::DirectoryEntry e;
    while (lister.Next(&e)) {
      if (e.name != u"." && e.name != u"..") names.insert(plat::ToUtf8(e.name));
    }
    EXPECT_EQ(plat::LastError(), plat::kErrorNoMoreFiles);
    return names;
  }

  ScratchFolder dir_;
};

TEST_F(DirectoryTest, CreateAndRemove_ReportTheWindowsErrors) {
  plat::String16 sub = dir_ / "sub";
  ASSERT_TRUE(plat::CreateDirectory(sub.c_str()));
  EXPECT_TRUE(plat::IsDirectory(sub.c_str()));
  EXPECT_FALSE(plat::CreateDirectory(sub.c_str()));
  EXPECT_EQ(plat::LastError(), plat::kErrorAlreadyExists);

  plat::String16 deep = sub + plat::kSeparator + u"x" + plat::kSeparator + u"y";
  EXPECT_FALSE(plat::CreateDirectory(deep.c_str()));
  EXPECT_EQ(plat::LastError(), plat::kErrorPathNotFound);

  plat::String16 file = sub + plat::kSeparator + u"f";
  ASSERT_TRUE(ScratchFolder::WriteFile(file, "x"));
  EXPECT_FALSE(plat::IsDirectory(file.c_str()));
  EXPECT_FALSE(plat::RemoveDirectory(sub.c_str()));
  EXPECT_EQ(plat::LastError(), plat::kErrorDirNotEmpty);
  ASSERT_TRUE(plat::DeleteFile(file.c_str()));
  EXPECT_TRUE(plat::RemoveDirectory(sub.c_str()));
  EXPECT_FALSE(plat::Exists(sub.c_str()));
  EXPECT_FALSE(plat::IsDirectory(sub.c_str()));
}

TEST_F(DirectoryTest, Lister_AppliesWildcardPatterns) {
  for (const char* name : {"abc", "aXc", "abbc", "a.txt", "b.TXT", "c.txt.bak"}) {
    ASSERT_TRUE(ScratchFolder::WriteFile(dir_ / name, "12345"));
  }
  ASSERT_TRUE(plat::CreateDirectory((dir_ / "sub").c_str()));

  using Names = std::set<std::string>;
  EXPECT_EQ(List(u"*.*"), (Names{"abc", "aXc", "abbc", "a.txt", "b.TXT", "c.txt.bak", "sub"}));
  EXPECT_EQ(List(u"*"), List(u"*.*"));
  EXPECT_EQ(List(u"*.txt"), (Names{"a.txt", "b.TXT"}));
  EXPECT_EQ(List(u"a?c"), (Names{"abc", "aXc"}));
  EXPECT_EQ(List(u"ABC"), (Names{"abc"}));
  EXPECT_EQ(List(u"nothing*"), Names{});
}

TEST_F(DirectoryTest, Lister_ReturnsNonAsciiNamesIntact) {
  const char* name = "\xE6\x97\xA5\xE6\x9C\xAC-\xC3\xA4-\xF0\x9F\x98\x80.txt";  // CJK, a-umlaut, an emoji
  ASSERT_TRUE(ScratchFolder::WriteFile(dir_ / name, "x"));
  EXPECT_TRUE(plat::Exists((dir_ / name).c_str()));
  EXPECT_EQ(List(u"*.txt"), (std::set<std::string>{name}));
}

TEST_F(DirectoryTest, Lister_ReportsSizesAndKindsAndFailsOnMissingFolders) {
  ASSERT_TRUE(ScratchFolder::WriteFile(dir_ / "five", "12345"));
  ASSERT_TRUE(plat::CreateDirectory((dir_ / "sub").c_str()));
  plat::DirectoryLister lister;
  ASSERT_TRUE(lister.Open(dir_.Path().c_str(), u"*"));
  plat::DirectoryEntry e;
  int seen = 0;
  while (lister.Next(&e)) {
    if (e.name == u"five") {
      ++seen;
      EXPECT_EQ(e.size, 5u);
      EXPECT_EQ(e.attributes & ZO_ATTR_DIRECTORY, 0u);
      EXPECT_GT(e.lastWrite, 0u);
    } else if (e.name == u"sub") {
      ++seen;
      EXPECT_NE(e.attributes & ZO_ATTR_DIRECTORY, 0u);
    }
  }
  EXPECT_EQ(seen, 2);
  // Next after the end keeps saying so; Close may be repeated.
  EXPECT_FALSE(lister.Next(&e));
  lister.Close();
  lister.Close();
  EXPECT_FALSE(lister.Next(&e));

  EXPECT_FALSE(lister.Open((dir_ / "missing").c_str(), u"*"));
  EXPECT_EQ(plat::LastError(), plat::kErrorPathNotFound);
}

TEST(SystemPattern, MatchesAsWindowsListingsDo) {
  struct Case {
    const char16_t* pattern;
    const char16_t* name;
    bool matches;
  };
  const Case cases[] = {
      {u"*", u"anything.at.all", true},  {u"*.*", u"noextension", true},
      {u"*.txt", u"A.TXT", true},        {u"*.txt", u"a.txt.bak", false},
      {u"a?c", u"abc", true},            {u"a?c", u"ac", false},
      {u"a?c", u"abbc", false},          {u"a*b*c", u"a--b--c", true},
      {u"a*b*c", u"a--c--b", false},     {u"readme.*", u"readme", true},
      {u"readme.*", u"readme.md", true}, {u"*.exe", u"setup.EXE", true},
      {u"x", u"", false},                {u"", u"", true},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(plat::MatchesSystemPattern(c.pattern, c.name), c.matches)
        << plat::ToUtf8(c.pattern) << " vs " << plat::ToUtf8(c.name);
  }
}

TEST_F(DirectoryTest, Links_AreSeenAsLinksAndDanglingOnesStillExist) {
  plat::String16 target = dir_ / "target", link = dir_ / "link";
  ASSERT_TRUE(ScratchFolder::WriteFile(target, "x"));
  if (!plat::CreateSymbolicLink(link.c_str(), target.c_str(), false)) {
    GTEST_SKIP() << "symbolic links cannot be created here (error " << plat::LastError() << ")";
  }
  EXPECT_TRUE(plat::Exists(link.c_str()));
  EXPECT_TRUE(plat::IsLink(link.c_str()));
  EXPECT_FALSE(plat::IsLink(target.c_str()));
  EXPECT_FALSE(plat::IsDirectory(link.c_str()));
  EXPECT_TRUE(plat::GetAttributes(link.c_str()) & ZO_ATTR_REPARSE_POINT);
  EXPECT_EQ(ScratchFolder::ReadFile(link), "x");

  ASSERT_TRUE(plat::DeleteFile(target.c_str()));
  EXPECT_TRUE(plat::Exists(link.c_str()));
  EXPECT_TRUE(plat::IsLink(link.c_str()));

  plat::String16 folder = dir_ / "folder", folderLink = dir_ / "folderlink";
  ASSERT_TRUE(plat::CreateDirectory(folder.c_str()));
  ASSERT_TRUE(plat::CreateSymbolicLink(folderLink.c_str(), folder.c_str(), true));
  EXPECT_TRUE(plat::IsLink(folderLink.c_str()));
  uint32_t a = plat::GetAttributes(folderLink.c_str());
  EXPECT_TRUE(a & ZO_ATTR_REPARSE_POINT);
  EXPECT_TRUE(a & ZO_ATTR_DIRECTORY);
  EXPECT_EQ(plat::IsDirectory(folderLink.c_str()), testing_support::HasWindowsRules());
}

TEST_F(DirectoryTest, Exists_IsFalseForMissingNames) {
  EXPECT_FALSE(plat::Exists((dir_ / "missing").c_str()));
  EXPECT_FALSE(plat::IsLink((dir_ / "missing").c_str()));
  EXPECT_TRUE(plat::Exists(dir_.Path().c_str()));
}

}  // namespace

// A private folder keeps everyone but its user out (on Windows SYSTEM and the
// Administrators keep full control too) whatever its parent allows, and is as
// usable as any other: files and folders made inside, then everything removed.
// An ordinary folder, which takes its parent's permissions, is not private.
TEST_F(DirectoryTest, PrivateDirectory_HasItsOwnProtectionAndIsUsable) {
  const plat::String16 open = dir_ / "open", priv = dir_ / "private";
  ASSERT_TRUE(plat::CreateDirectory(open.c_str()));
  ASSERT_TRUE(plat::SetPosixMode(open.c_str(), 0755));
  EXPECT_FALSE(plat::IsPrivateDirectory(open.c_str()));
  EXPECT_FALSE(plat::IsPrivateDirectory((dir_ / "missing").c_str()));

  ASSERT_TRUE(plat::CreatePrivateDirectory(priv.c_str()));
  EXPECT_TRUE(plat::IsPrivateDirectory(priv.c_str()));
  EXPECT_FALSE(plat::CreatePrivateDirectory(priv.c_str()));
  EXPECT_EQ(plat::LastError(), plat::kErrorAlreadyExists);
  const plat::String16 sub = priv + plat::kSeparator + u"sub", file = sub + plat::kSeparator + u"f.txt";
  ASSERT_TRUE(plat::CreateDirectory(sub.c_str()));
  ASSERT_TRUE(ScratchFolder::WriteFile(file, "inside"));
  EXPECT_EQ(ScratchFolder::ReadFile(file), "inside");
  EXPECT_TRUE(plat::DeleteFile(file.c_str()));
  EXPECT_TRUE(plat::RemoveDirectory(sub.c_str()));
  EXPECT_TRUE(plat::RemoveDirectory(priv.c_str()));
}
