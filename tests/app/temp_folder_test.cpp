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

// A folder so deep below `base` that no "ZoInstall_<n>" fits 260 units beside it.
String16 MakeDeepFolder(const String16& base) {
  String16 deep = base;
  while (deep.size() < 200) {
    deep += plat::kSeparator;
    deep += U16("d123456789");
    plat::CreateDirectory(deep.c_str());
  }
  deep += plat::kSeparator;
  deep += U16(std::string(250 - deep.size(), 'x'));
  plat::CreateDirectory(deep.c_str());
  return deep;
}

using TempFolderTest = testing_support::InstallerTest;

enum class Plant { Folder, File, LinkToFolder, DanglingLink };
enum class Temp { Usable, Missing, TooDeep };

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
    int expected;  // the number taken; 0 for none
    ZoResult result;
    Temp temp = Temp::Usable;
    bool tightBuffer = false;  // room for "ZoInstall_" and one digit only
  };
  const Case cases[] = {
      {"nothing there", {}, 1, S_OK},
      {"folder of an earlier run", {{1, Plant::Folder}}, 2, S_OK},
      {"a file is a failed attempt", {{1, Plant::File}}, 2, S_OK},
      {"planted links are never used or entered", {{1, Plant::LinkToFolder}, {2, Plant::DanglingLink}}, 3, S_OK},
      {"ten failed attempts end the walk", many(10, Plant::File), 0, E_INVALIDARG},
      {"skipped folders do not count as failures", tenWithAFolder, 11, S_OK},
      {"a number that does not fit the buffer is not taken", many(9, Plant::Folder), 0, E_INVALIDARG, Temp::Usable,
       true},
      {"a temp folder that does not exist", {}, 0, INST_E_TEMP_NOT_WRITABLE, Temp::Missing},
      {"a temp folder too deep for any name to fit", {}, 0, E_INVALIDARG, Temp::TooDeep},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ScratchFolder scratch, target;
    ASSERT_TRUE(scratch.IsValid() && target.IsValid());
    const String16 temp = c.temp == Temp::Usable    ? scratch.Path()
                          : c.temp == Temp::Missing ? scratch / "missing"
                                                    : MakeDeepFolder(scratch.Path());
    auto candidate = [&](int n) { return temp + plat::kSeparator + U16("ZoInstall_" + std::to_string(n)); };
    bool linked = true;
    for (const auto& [n, kind] : c.planted) {
      const String16 path = candidate(n);
      switch (kind) {
        case Plant::Folder: ASSERT_TRUE(plat::CreateDirectory(path.c_str())); break;
        case Plant::File: ASSERT_TRUE(ScratchFolder::WriteFile(path, "planted")); break;
        case Plant::LinkToFolder: linked &= plat::CreateSymbolicLink(path.c_str(), target.Path().c_str(), true); break;
        case Plant::DanglingLink:
          linked &= plat::CreateSymbolicLink(path.c_str(), (target / "gone").c_str(), true);
          break;
      }
    }
    if (!linked) continue;  // no symbolic links here (Windows without the privilege)

    TempPathOverride override(temp);
    const int capacity = c.tightBuffer ? static_cast<int>(candidate(1).size()) + 1 : ZO_MAX_PATH;
    boxes_.clear();
    ZoChar buffer[ZO_MAX_PATH] = {u'#'};
    EXPECT_EQ(CreateTempFolder(buffer, capacity), c.result);
    if (c.expected) {
      EXPECT_EQ(plat::ToUtf8(buffer), plat::ToUtf8(candidate(c.expected)));
      EXPECT_TRUE(plat::IsDirectory(buffer));
      EXPECT_FALSE(plat::IsLink(buffer));
      if (!testing_support::HasWindowsRules()) {
        EXPECT_EQ(plat::GetPosixMode(buffer), 0700u);
      }
      EXPECT_TRUE(boxes_.empty());
    } else {
      EXPECT_EQ(buffer[0], 0);
      ASSERT_EQ(boxes_.size(), 1u);
      EXPECT_EQ(boxes_[0].text, Message550(temp));
      EXPECT_EQ(boxes_[0].caption, "");
      EXPECT_EQ(boxes_[0].flags, 0x30u);
    }
    // What was there is as it was: nothing made inside a link's target, files
    // kept, a missing temp folder not created.
    EXPECT_TRUE(IsEmptyFolder(target.Path()));
    for (const auto& [n, kind] : c.planted) {
      if (kind == Plant::File) {
        EXPECT_EQ(ScratchFolder::ReadFile(candidate(n)), "planted");
      }
    }
    if (c.temp != Temp::Usable) {
      EXPECT_EQ(c.temp == Temp::TooDeep, IsEmptyFolder(temp));
    }
  }
}

}  // namespace
