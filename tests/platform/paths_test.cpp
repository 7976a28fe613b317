// System paths and volumes: normalisation, the buffer-size contract, and the
// folders the system names.
#include <gtest/gtest.h>

#include <string>

#include "platform/directory.h"
#include "platform/errors.h"
#include "platform/paths.h"
#include "platform/volume.h"
#include "tests/platform/scratch_folder.h"

namespace {

using plat::kSeparator;
using plat::String16;
using testing_support::ScratchFolder;

String16 Sep(std::initializer_list<const char*> parts) {
  String16 out;
  for (const char* p : parts) {
    if (!out.empty()) out += kSeparator;
    out += plat::U16(p);
  }
  return out;
}

// Restores the process's current folder when a test changed it.
class CurrentFolderGuard {
 public:
  CurrentFolderGuard() { plat::GetCurrentDirectory(saved_, ZO_MAX_PATH); }
  ~CurrentFolderGuard() { plat::SetCurrentDirectory(saved_); }

 private:
  ZoChar saved_[ZO_MAX_PATH] = {};
};

TEST(Paths, FullPath_ResolvesRelativeNamesAndDotSegments) {
  ScratchFolder dir;
  ASSERT_TRUE(dir.IsValid());
  CurrentFolderGuard guard;
  ASSERT_TRUE(plat::SetCurrentDirectory(dir.Path().c_str()));
  ZoChar cwd[ZO_MAX_PATH];
  uint32_t n = plat::GetCurrentDirectory(cwd, ZO_MAX_PATH);
  ASSERT_GT(n, 0u);
  ASSERT_LT(n, static_cast<uint32_t>(ZO_MAX_PATH));
  String16 base(cwd);

  ZoChar out[ZO_MAX_PATH];
  const struct {
    String16 input;
    String16 expected;
  } cases[] = {
      {Sep({"a", ".", "b", "..", "c"}), base + kSeparator + Sep({"a", "c"})},
      {Sep({"a", "b", "..", "..", "d"}), base + kSeparator + u"d"},
      {u"x", base + kSeparator + u"x"},
      {base + kSeparator + Sep({"p", "..", "q"}), base + kSeparator + u"q"},
  };
  for (const auto& c : cases) {
    n = plat::GetFullPath(c.input.c_str(), out, ZO_MAX_PATH);
    EXPECT_EQ(String16(out, n), c.expected) << plat::ToUtf8(c.input);
  }
  EXPECT_EQ(plat::GetFullPath(u"", out, ZO_MAX_PATH), 0u);
}

TEST(Paths, SizeContract_ReportsNeededCapacityAndAllowsInPlaceUse) {
  ZoChar out[ZO_MAX_PATH];
  uint32_t len = plat::GetTempPath(out, ZO_MAX_PATH);
  ASSERT_GT(len, 0u);
  ASSERT_LT(len, static_cast<uint32_t>(ZO_MAX_PATH));
  String16 temp(out, len);

  ZoChar small[4] = {u'z', u'z', u'z', u'z'};
  if (len + 1 > 4) {
    EXPECT_EQ(plat::GetTempPath(small, 4), len + 1);
    EXPECT_EQ(small[0], 0);
  }
  EXPECT_EQ(plat::GetTempPath(out, len + 1), len);  // exactly enough
  EXPECT_EQ(plat::GetTempPath(out, len), len + 1);  // one short
  EXPECT_EQ(plat::GetTempPath(nullptr, 0), len + 1);

  // The input may be the output buffer.
  ZoChar inPlace[ZO_MAX_PATH];
  plat::CopyTruncated(inPlace, ZO_MAX_PATH, temp + u"a");
  uint32_t n = plat::GetFullPath(inPlace, inPlace, ZO_MAX_PATH);
  EXPECT_EQ(String16(inPlace, n), temp + u"a");
}

TEST(Paths, SystemFolders_AreAbsoluteAndWellFormed) {
  ZoChar out[ZO_MAX_PATH];
  uint32_t n = plat::GetTempPath(out, ZO_MAX_PATH);
  ASSERT_GT(n, 0u);
  EXPECT_EQ(out[n - 1], kSeparator);
  EXPECT_TRUE(plat::IsDirectory(out));

  n = plat::GetModuleFileName(nullptr, out, ZO_MAX_PATH);
  ASSERT_GT(n, 0u);
  ASSERT_LT(n, static_cast<uint32_t>(ZO_MAX_PATH));
  EXPECT_TRUE(plat::Exists(out));
  EXPECT_FALSE(plat::IsDirectory(out));
  EXPECT_GT(plat::GetModuleFileName(nullptr, out, 3), 3u);
  EXPECT_EQ(out[0], 0);

  n = plat::GetWindowsDrive(out, ZO_MAX_PATH);
  ASSERT_GT(n, 0u);
  EXPECT_EQ(out[n - 1], kSeparator);
  EXPECT_TRUE(plat::IsDirectory(out));

  n = plat::GetProgramFilesFolder(out, ZO_MAX_PATH);
  ASSERT_GT(n, 0u);
  EXPECT_NE(out[n - 1], kSeparator);
}

TEST(Paths, LongAndShortForms_NameTheSameExistingFile) {
  ScratchFolder dir;
  ASSERT_TRUE(dir.IsValid());
  String16 file = dir / "a long file name.text";
  ASSERT_TRUE(ScratchFolder::WriteFile(file, "x"));
  ZoChar shortForm[ZO_MAX_PATH], longForm[ZO_MAX_PATH];
  ASSERT_GT(plat::GetShortPath(file.c_str(), shortForm, ZO_MAX_PATH), 0u);
  EXPECT_EQ(ScratchFolder::ReadFile(shortForm), "x");
  ASSERT_GT(plat::GetLongPath(shortForm, longForm, ZO_MAX_PATH), 0u);
  EXPECT_TRUE(plat::EqualsNoCase(longForm, file));

  EXPECT_EQ(plat::GetLongPath((dir / "missing").c_str(), longForm, ZO_MAX_PATH), 0u);
  EXPECT_EQ(plat::LastError(), plat::kErrorFileNotFound);
}

TEST(Volume, DiskSpaceAndFileSystemAreReported) {
  ScratchFolder dir;
  ASSERT_TRUE(dir.IsValid());
  uint64_t freeBytes = 0, total = 0;
  ASSERT_TRUE(plat::GetDiskSpace(dir.Path().c_str(), &freeBytes, &total));
  EXPECT_GT(total, 0u);
  EXPECT_LE(freeBytes, total);

  String16 file = dir / "f";
  ASSERT_TRUE(ScratchFolder::WriteFile(file, "x"));
  uint64_t total2 = 0;
  ASSERT_TRUE(plat::GetDiskSpace(file.c_str(), nullptr, &total2));
  EXPECT_EQ(total2, total);
  EXPECT_FALSE(plat::GetDiskSpace((dir / "missing").c_str(), &freeBytes, &total));

  ZoChar root[ZO_MAX_PATH], name[8];
  ASSERT_GT(plat::GetWindowsDrive(root, ZO_MAX_PATH), 0u);
  ASSERT_TRUE(plat::GetFileSystemName(root, name, 8));
  EXPECT_GT(plat::Length(name), 0u);
  EXPECT_LT(plat::Length(name), 8u);
}

}  // namespace
