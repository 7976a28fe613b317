// The run's temp folder: which ZoInstall_<n> is taken when earlier names are in
// use, that nothing already there is used or entered, and how the walk ends.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <utility>
#include <vector>

#include "app/temp_folder.h"
#include "platform/directory.h"
#include "platform/errors.h"
#include "platform/file.h"
#include "platform/paths.h"
#include "platform/results.h"
#include "tests/app/message_capture.h"
#include "tests/platform/scratch_folder.h"

namespace {

using plat::String16;
using plat::U16;
using testing_support::ScratchFolder;

// Points the system temp path at `folder` for the life of the object.
class TempPathOverride {
 public:
  explicit TempPathOverride(const String16& folder) {
    const char* saved = std::getenv(kVariable);
    hadValue_ = saved != nullptr;
    if (saved) saved_ = saved;
    Set(plat::ToUtf8(folder).c_str());
  }
  ~TempPathOverride() { Set(hadValue_ ? saved_.c_str() : nullptr); }
  TempPathOverride(const TempPathOverride&) = delete;
  TempPathOverride& operator=(const TempPathOverride&) = delete;

 private:
#if GTEST_OS_WINDOWS
  static constexpr const char* kVariable = "TMP";
  static void Set(const char* value) {
    _putenv_s("TMP", value ? value : "");
    _putenv_s("TEMP", value ? value : "");
  }
#else
  static constexpr const char* kVariable = "TMPDIR";
  static void Set(const char* value) {
    if (value) {
      setenv("TMPDIR", value, 1);
    } else {
      unsetenv("TMPDIR");
    }
  }
#endif
  bool hadValue_ = false;
  std::string saved_;
};

std::string Message550(const String16& temp) {
  return "Unable to write to the temp directory in " + plat::ToUtf8(temp) + static_cast<char>(plat::kSeparator) +
         ".\nCheck that you have write access to this directory.";
}

bool IsEmptyFolder(const String16& folder) {
  plat::DirectoryLister lister;
  if (!lister.Open(folder.c_str(), u"*")) return false;
  plat::DirectoryEntry e;
  while (lister.Next(&e)) {
    if (e.name != u"." && e.name != u"..") return false;
  }
  return true;
}

using TempFolderTest = testing_support::InstallerTest;

enum class Plant { Folder, File, LinkToFolder };

TEST_F(TempFolderTest, TakesTheFirstFreeNumberAndNeverUsesWhatIsThere) {
  using P = std::vector<std::pair<int, Plant>>;
  auto many = [](int count, Plant kind) {
    P planted;
    for (int n = 1; n <= count; ++n) planted.emplace_back(n, kind);
    return planted;
  };
  P tenWithAFolder = many(10, Plant::File);
  tenWithAFolder[4].second = Plant::Folder;
  struct Case {
    const char* name;
    P planted;
    bool tightBuffer;  // room for "ZoInstall_" and one digit only
    int expected;      // the number taken, 0 for none
  };
  const Case cases[] = {
      {"nothing there", {}, false, 1},
      {"folder of an earlier run", {{1, Plant::Folder}}, false, 2},
      {"a file is a failed attempt", {{1, Plant::File}}, false, 2},
      {"a planted link to a folder is never used", {{1, Plant::LinkToFolder}, {2, Plant::Folder}}, false, 3},
      {"ten failed attempts end the walk", many(10, Plant::File), false, 0},
      {"skipped folders do not count as failures", tenWithAFolder, false, 11},
      {"a number that does not fit the buffer is not taken", many(9, Plant::Folder), true, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ScratchFolder temp, target;
    ASSERT_TRUE(temp.IsValid() && target.IsValid());
    auto candidate = [&](int n) { return temp / ("ZoInstall_" + std::to_string(n)); };
    bool skip = false;
    for (const auto& [n, kind] : c.planted) {
      const String16 path = candidate(n);
      switch (kind) {
        case Plant::Folder: ASSERT_TRUE(plat::CreateDirectory(path.c_str())); break;
        case Plant::File: ASSERT_TRUE(ScratchFolder::WriteFile(path, "planted")); break;
        case Plant::LinkToFolder: skip = !plat::CreateSymbolicLink(path.c_str(), target.Path().c_str(), true); break;
      }
    }
    if (skip) continue;  // no symbolic links here (Windows without the privilege)
    TempPathOverride override(temp.Path());
    const int capacity = c.tightBuffer ? static_cast<int>(candidate(1).size()) + 1 : ZO_MAX_PATH;
    boxes_.clear();
    ZoChar buffer[ZO_MAX_PATH] = {u'#'};
    const ZoResult result = CreateTempFolder(buffer, capacity);
    if (c.expected) {
      EXPECT_EQ(result, S_OK);
      EXPECT_EQ(plat::ToUtf8(buffer), plat::ToUtf8(candidate(c.expected)));
      EXPECT_TRUE(plat::IsDirectory(buffer));
      EXPECT_FALSE(plat::IsLink(buffer));
      if (!testing_support::HasWindowsRules()) {
        EXPECT_EQ(plat::GetPosixMode(buffer), 0700u);
      }
      EXPECT_TRUE(boxes_.empty());
    } else {
      EXPECT_EQ(result, E_INVALIDARG);
      EXPECT_EQ(buffer[0], 0);
      ASSERT_EQ(boxes_.size(), 1u);
      EXPECT_EQ(boxes_[0].text, Message550(temp.Path()));
      EXPECT_EQ(boxes_[0].caption, "");
      EXPECT_EQ(boxes_[0].flags, 0x30u);
    }
    // What was planted is as it was: nothing made inside a link's target, files kept.
    EXPECT_TRUE(IsEmptyFolder(target.Path()));
    for (const auto& [n, kind] : c.planted) {
      if (kind == Plant::File) {
        EXPECT_EQ(ScratchFolder::ReadFile(candidate(n)), "planted");
      }
    }
  }
}

TEST_F(TempFolderTest, ATempFolderThatCannotBeWrittenIsReported) {
  ScratchFolder temp;
  ASSERT_TRUE(temp.IsValid());
  const String16 missing = temp / "missing";
  TempPathOverride override(missing);
  ZoChar buffer[ZO_MAX_PATH] = {u'#'};
  EXPECT_EQ(CreateTempFolder(buffer, ZO_MAX_PATH), INST_E_TEMP_NOT_WRITABLE);
  EXPECT_EQ(buffer[0], 0);
  ASSERT_EQ(boxes_.size(), 1u);
  EXPECT_EQ(boxes_[0].text, Message550(missing));
  EXPECT_FALSE(plat::Exists(missing.c_str()));
}

// A temp folder so deep that no "ZoInstall_<n>" fits 260 units: the walk still
// ends, like ten failed attempts.
TEST_F(TempFolderTest, ATempPathTooLongForAnyCandidateEndsWithTheMessage) {
  ScratchFolder temp;
  ASSERT_TRUE(temp.IsValid());
  String16 deep = temp.Path();
  while (deep.size() < 200) {
    deep += plat::kSeparator;
    deep += U16("d123456789");
    ASSERT_TRUE(plat::CreateDirectory(deep.c_str()));
  }
  deep += plat::kSeparator;
  deep += U16(std::string(250 - deep.size(), 'x'));
  ASSERT_TRUE(plat::CreateDirectory(deep.c_str())) << plat::LastError();
  TempPathOverride override(deep);
  ZoChar buffer[ZO_MAX_PATH] = {u'#'};
  EXPECT_EQ(CreateTempFolder(buffer, ZO_MAX_PATH), E_INVALIDARG);
  EXPECT_EQ(buffer[0], 0);
  ASSERT_EQ(boxes_.size(), 1u);
  EXPECT_EQ(boxes_[0].text, Message550(deep));
  EXPECT_TRUE(IsEmptyFolder(deep));
}

}  // namespace
