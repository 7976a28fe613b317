// Temporary files, the writability test and byte-size text.
#include <gtest/gtest.h>

#include "lang_test_support.h"
#include "platform/directory.h"
#include "platform/fault.h"
#include "platform/file.h"
#include "runtime/zo_temp.h"

namespace {

bool FolderIsEmpty(const plat::String16& folder) {
  plat::DirectoryLister lister;
  if (!lister.Open(folder.c_str(), u"*")) return false;
  plat::DirectoryEntry entry;
  while (lister.Next(&entry)) {
    if (entry.name != u"." && entry.name != u"..") return false;
  }
  return true;
}

TEST(TempFile, NumberedNamesSkipExistingFiles) {
  orv_test::ScratchFolder scratch;
  ASSERT_FALSE(scratch.Path().empty());
  const plat::String16 folder = scratch.WithSlash();
  ZoChar name[ZO_MAX_PATH];
  ASSERT_EQ(ZoCreateTempFileAndName(folder.c_str(), u".tmp", name, ZO_MAX_PATH), S_OK);
  EXPECT_EQ(plat::String16(name), folder + u"1.tmp");
  ASSERT_EQ(ZoCreateTempFileAndName(folder.c_str(), u".tmp", name, ZO_MAX_PATH), S_OK);
  EXPECT_EQ(plat::String16(name), folder + u"2.tmp");
  ASSERT_EQ(ZoCreateTempFileAndNameEx(folder.c_str(), u"pre", nullptr, u"%03d", name, ZO_MAX_PATH), S_OK);
  EXPECT_EQ(plat::String16(name), folder + u"pre001");
  uint64_t size = 1;
  EXPECT_EQ(ZoGetFileSizeByName(name, &size), S_OK);
  EXPECT_EQ(size, 0u);
}

TEST(TempFile, RefusedArgumentsEmptyTheOutput) {
  orv_test::ScratchFolder scratch;
  const plat::String16 folder = scratch.WithSlash();
  ZoChar name[ZO_MAX_PATH] = u"old";
  EXPECT_EQ(ZoCreateTempFileAndNameEx(nullptr, nullptr, nullptr, nullptr, name, ZO_MAX_PATH), E_INVALIDARG);
  EXPECT_EQ(name[0], 0);
  name[0] = u'x';
  const int tooSmall = static_cast<int>(folder.size() + 4);  // "1.tmp" needs 5 more plus the terminator
  EXPECT_EQ(ZoCreateTempFileAndName(folder.c_str(), u".tmp", name, tooSmall), E_INVALIDARG);
  EXPECT_EQ(name[0], 0);
  EXPECT_TRUE(FolderIsEmpty(scratch.Path()));
  EXPECT_EQ(ZoCreateTempFileAndName(folder.c_str(), u".tmp", nullptr, 10), E_INVALIDARG);
}

TEST(TempFile, MissingFolderGivesTranslatedFailure) {
  orv_test::ScratchFolder scratch;
  const plat::String16 folder = scratch.WithSlash() + u"missing" + plat::kSeparator;
  ZoChar name[ZO_MAX_PATH] = u"old";
  const ZoResult r = ZoCreateTempFileAndName(folder.c_str(), u".tmp", name, ZO_MAX_PATH);
  EXPECT_LT(r, 0);
  EXPECT_EQ(name[0], 0);
}

TEST(TempFile, FailedCloseLeavesNoFileAndNoName) {
  orv_test::ScratchFolder scratch;
  const plat::String16 folder = scratch.WithSlash();
  ZoChar name[ZO_MAX_PATH] = u"old";
  plat::fault::FileFaults faults;
  faults.failClose = true;
  plat::fault::Set(faults);
  const ZoResult r = ZoCreateTempFileAndName(folder.c_str(), u".tmp", name, ZO_MAX_PATH);
  plat::fault::Clear();
  EXPECT_EQ(static_cast<uint32_t>(r), 0x8004E002u);  // the disk-full close error, translated
  EXPECT_EQ(name[0], 0);
  EXPECT_TRUE(FolderIsEmpty(scratch.Path()));
}

TEST(TempFile, NumberTextTooLongForAnyNameIsRefusedAtOnce) {
  // Every number of "%300d" is cut to the same text: without a refusal each
  // later call would walk through every candidate finding the first file.
  orv_test::ScratchFolder scratch;
  const plat::String16 folder = scratch.WithSlash();
  ZoChar name[1024] = u"old";
  EXPECT_EQ(ZoCreateTempFileAndNameEx(folder.c_str(), nullptr, nullptr, u"%300d", name, 1024), E_INVALIDARG);
  EXPECT_EQ(name[0], 0);
  EXPECT_TRUE(FolderIsEmpty(scratch.Path()));
}

TEST(TempFile, NumberFormatWithoutTheNumberGivesUpOnceItsNameIsTaken) {
  orv_test::ScratchFolder scratch;
  const plat::String16 folder = scratch.WithSlash();
  ZoChar name[ZO_MAX_PATH];
  ASSERT_EQ(ZoCreateTempFileAndNameEx(folder.c_str(), nullptr, u".tmp", u"fixed", name, ZO_MAX_PATH), S_OK);
  EXPECT_EQ(plat::String16(name), folder + u"fixed.tmp");
  // Every later number gives the same taken name: refused at once, not after
  // a million attempts.
  const ZoResult r = ZoCreateTempFileAndNameEx(folder.c_str(), nullptr, u".tmp", u"fixed", name, ZO_MAX_PATH);
  EXPECT_LT(r, 0);
  EXPECT_EQ(name[0], 0);
  // A folder that already holds a folder named 1 still gets a file.
  ASSERT_TRUE(plat::CreateDirectory((folder + u"1").c_str()));
  ASSERT_EQ(ZoCreateTempFileAndName(folder.c_str(), nullptr, name, ZO_MAX_PATH), S_OK);
  EXPECT_EQ(plat::String16(name), folder + u"2");
}

TEST(TempFile, DirectoryWritableLeavesNothingBehind) {
  orv_test::ScratchFolder scratch;
  EXPECT_EQ(ZoIsDirectoryWritable(scratch.Path().c_str()), 1);
  EXPECT_EQ(ZoIsDirectoryWritable(scratch.WithSlash().c_str()), 1);
  EXPECT_TRUE(FolderIsEmpty(scratch.Path()));
  const plat::String16 missing = scratch.WithSlash() + u"missing";
  EXPECT_EQ(ZoIsDirectoryWritable(missing.c_str()), 0);
  EXPECT_FALSE(plat::Exists(missing.c_str()));
  EXPECT_TRUE(FolderIsEmpty(scratch.Path()));
}

TEST(ByteSizeText, UnitsAndDivisors) {
  orv_test::UseEnglishUs();
  const struct {
    int64_t size;
    const ZoChar* first;
    const ZoChar* second;
  } cases[] = {
      {1023, u"1023", u"1023 bytes"},
      {-5, u"-5", u"-5 bytes"},
      {-5000000000, u"-5000000000", u"-5000000000 bytes"},
      {1024, u"1.00KB", u"1.00 KB"},
      {1023999, u"1,000.00KB", u"1,000.00 KB"},  // grouped: "$.2f" is the user's notation
      {1024000, u"1.00MB", u"1.00 MB"},
      {1048576, u"1.02MB", u"1.02 MB"},
      {1024000000, u"1.00GB", u"1.00 GB"},
      {5000000000, u"4.88GB", u"4.88 GB"},
  };
  for (const auto& c : cases) {
    ZoChar out[ZO_SIZE_TEXT_CAPACITY];
    ZoGetByteSizeText(c.size, out);
    EXPECT_EQ(plat::String16(out), c.first) << c.size;
    ZoGetByteSizeText2(c.size, out);
    EXPECT_EQ(plat::String16(out), c.second) << c.size;
  }
  orv_test::UseGerman();
  ZoChar out[ZO_SIZE_TEXT_CAPACITY];
  ZoGetByteSizeText(1536, out);
  EXPECT_EQ(plat::String16(out), u"1,50KB");
  // Without a thousands separator the four-digit KB figure stands ungrouped.
  ZoLocaleTexts plain = orv_test::BaseLocale();
  plain.thousandSeparator = u"";
  ZoLang_LoadInternationals(&plain);
  ZoGetByteSizeText(1023999, out);
  EXPECT_EQ(plat::String16(out), u"1000.00KB");
  orv_test::UseEnglishUs();
}

TEST(ByteSizeText, DiskFreeSpaceUsesTheLibraryTexts) {
  orv_test::UseEnglishUs();
  ZoChar out[ZO_SIZE_TEXT_CAPACITY];
  ZoFormatDiskFreeSpace(u"", out);
  EXPECT_EQ(plat::String16(out), u"Free space: unknown");
  orv_test::ScratchFolder missingParent;
  const plat::String16 missing = missingParent.WithSlash() + u"missing" + plat::kSeparator;
  ZoFormatDiskFreeSpace(missing.c_str(), out);
  EXPECT_EQ(plat::String16(out), u"Free space: unknown");
  orv_test::ScratchFolder scratch;
  ZoFormatDiskFreeSpace(scratch.WithSlash().c_str(), out);
  const plat::String16 text(out);
  EXPECT_EQ(text.substr(0, 12), u"Free space: ");
  EXPECT_EQ(text.substr(text.size() - 3), u" MB");
  ZoChar small[8];
  EXPECT_EQ(ZoFormatDiskFreeSpaceEx(u"", small, 8), 7);
}

}  // namespace
