// Writes stopped from outside: a file-size limit the system enforces
// (RLIMIT_FSIZE) and a process killed in the middle of the copy, both run in a
// forked child (POSIX only, skipped on Windows), and the file being written
// deleted by name (both systems).
#include <functional>
#include <string>
#include <utility>

#include "platform/child.h"
#include "platform/directory.h"
#include "tests/archive/writer_support.h"

namespace writer_test {
namespace {

using plat::ChildEnd;
using plat::RunInChildProcess;

// Kills its own process once `after` bytes were reported.
class KillingProgress : public CZoArchiveProgress {
 public:
  explicit KillingProgress(uint64_t after) : after_(after) {}
  int32_t AddProgress(uint32_t low, int32_t high) override {
    CZoArchiveProgress::AddProgress(low, high);
    if (done >= after_) plat::EndProcessAbruptly();
    return 0;
  }

 private:
  uint64_t after_;
};

class WriterInterrupted : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(dir.IsValid());
    small = dir / "small.txt";
    large = dir / "large.bin";
    ASSERT_TRUE(ScratchFolder::WriteFile(small, "small file"));
    ASSERT_TRUE(ScratchFolder::WriteFile(large, std::string(3 << 20, 'L')));
    archive = dir / "keep.ach";
    ASSERT_EQ(0, CreateArchive(archive, {small}));
    original = ReadAll(archive);
  }
  ScratchFolder dir;
  std::u16string small, large, archive;
  std::vector<uint8_t> original;
};

TEST_F(WriterInterrupted, FileSizeLimitStopsTheAppendAndTheArchiveStays) {
  int code = -1;
  ChildEnd end = RunInChildProcess(1 << 20, [&]() {
    CArchive2 a;
    if (a.Open(archive.c_str(), ARC_OPEN_APPEND, nullptr) != 0) return 10;
    ZoResult added = a.AddEntryToArchive(large.c_str(), ARC_COMPRESSION_NONE, 0, 0, nullptr);
    ZoResult closed = a.Close();
    return added == ARC_E_WRITE && closed == 1 ? 0 : 11;
  }, &code);
  if (end == ChildEnd::Unsupported) GTEST_SKIP() << "needs fork and RLIMIT_FSIZE";
  ASSERT_EQ(ChildEnd::Exited, end);
  EXPECT_EQ(0, code) << "the add fails with ARC_E_WRITE and Close keeps the archive";
  EXPECT_EQ(original, ReadAll(archive));
}

TEST_F(WriterInterrupted, KilledAppendAndDeleteLeaveTheArchiveIntact) {
  for (bool append : {true, false}) {
    SCOPED_TRACE(append ? "append" : "delete");
    // A big entry first, so that the delete rewrite has something to copy.
    ASSERT_EQ(0, CreateArchive(archive, {large, small}, ARC_COMPRESSION_NONE, 0));
    original = ReadAll(archive);
    int code = -1;
    ChildEnd end = RunInChildProcess(0, [&]() {
      KillingProgress progress(1 << 20);
      CArchive2 a;
      if (a.Open(archive.c_str(), append ? ARC_OPEN_APPEND : ARC_OPEN_DELETE, &progress) != 0) return 10;
      if (append) {
        a.AddEntryToArchive(large.c_str(), ARC_COMPRESSION_NONE, 0, ARC_ADD_NO_TOTAL, nullptr);
      } else {
        a.DeleteEntryFromArchive(u"small.txt", 0);
      }
      a.Close();
      return 12;  // not reached: the progress object kills the process
    }, &code);
    if (end == ChildEnd::Unsupported) GTEST_SKIP() << "needs fork";
    ASSERT_EQ(ChildEnd::Killed, end);
    EXPECT_EQ(original, ReadAll(archive));
    plat::DeleteFile((dir / "~keep.ach").c_str());
  }
}

// Deletes `victim` by name the first time the engine reports progress, while
// the engine still holds it open for writing (what a forced exit does).
class DeletingProgress : public CZoArchiveProgress {
 public:
  explicit DeletingProgress(std::u16string victim) : victim_(std::move(victim)) {}
  int32_t AddProgress(uint32_t low, int32_t high) override {
    CZoArchiveProgress::AddProgress(low, high);
    if (!tried) {
      tried = true;
      deleted = plat::DeleteFile(victim_.c_str());
    }
    return 0;
  }
  bool tried = false;
  bool deleted = false;

 private:
  std::u16string victim_;
};

// Every file the engine writes can be deleted by name while it is being
// written (on Windows this needs delete sharing), and losing it never costs
// the archive that was there: a rewrite whose temporary file is gone keeps it.
TEST_F(WriterInterrupted, AFileBeingWrittenCanBeDeletedAndTheOriginalStays) {
  const std::u16string stub = dir / "stub.exe";
  ASSERT_TRUE(ScratchFolder::WriteFile(stub, std::string(1 << 20, 'S')));
  const struct {
    const char* what;
    std::u16string victim;
  } cases[] = {
      {"create", dir / "new.ach"},
      {"append", dir / "~keep.ach"},
      {"self-extracting", dir / "setup.exe"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    DeletingProgress progress(c.victim);
    CArchive2 a;
    const std::string what = c.what;
    if (what == "create") {
      ASSERT_EQ(0, a.Open(c.victim.c_str(), ARC_OPEN_CREATE, &progress));
      a.AddEntryToArchive(large.c_str(), ARC_COMPRESSION_NONE, 0, 0, nullptr);
    } else if (what == "append") {
      ASSERT_EQ(0, a.Open(archive.c_str(), ARC_OPEN_APPEND, &progress));
      a.AddEntryToArchive(large.c_str(), ARC_COMPRESSION_NONE, 0, 0, nullptr);
    } else {
      ASSERT_EQ(0, a.Open(archive.c_str(), ARC_OPEN_SEA, &progress));
      a.CreateSEA(c.victim.c_str(), stub.c_str(), 0);
    }
    a.Close();
    EXPECT_TRUE(progress.tried);
    EXPECT_TRUE(progress.deleted) << "the file being written could not be deleted by name";
    EXPECT_FALSE(plat::Exists(c.victim.c_str()));
    EXPECT_EQ(original, ReadAll(archive));
  }
}

}  // namespace
}  // namespace writer_test
