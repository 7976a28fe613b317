// Rewrites stopped from outside: a file-size limit the system enforces
// (RLIMIT_FSIZE) and a process killed in the middle of the copy. Both run the
// rewrite in a forked child, so they exist on POSIX only and skip on Windows.
#include <functional>

#include "platform/directory.h"
#include "tests/archive/writer_support.h"

// The one spot that knows about processes: RunInChild forks, applies the limit,
// runs `body` and reports how the child ended.
#ifndef _WIN32
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

namespace writer_test {
namespace {

enum class ChildEnd { Unsupported, Exited, Killed };

// Runs `body` in a child process with the file-size limit `fileSizeLimit` (0: none).
// *code receives the child's exit code (or the signal that killed it).
ChildEnd RunInChild(uint64_t fileSizeLimit, const std::function<int()>& body, int* code) {
#ifdef _WIN32
  (void)fileSizeLimit;
  (void)body;
  (void)code;
  return ChildEnd::Unsupported;
#else
  pid_t pid = fork();
  if (pid < 0) return ChildEnd::Unsupported;
  if (pid == 0) {
    if (fileSizeLimit) {
      signal(SIGXFSZ, SIG_IGN);  // a write past the limit then fails with EFBIG
      struct rlimit limit = {static_cast<rlim_t>(fileSizeLimit), static_cast<rlim_t>(fileSizeLimit)};
      setrlimit(RLIMIT_FSIZE, &limit);
    }
    _exit(body());
  }
  int status = 0;
  while (waitpid(pid, &status, 0) < 0) {
  }
  if (WIFSIGNALED(status)) {
    *code = WTERMSIG(status);
    return ChildEnd::Killed;
  }
  *code = WEXITSTATUS(status);
  return ChildEnd::Exited;
#endif
}

void KillSelf() {
#ifndef _WIN32
  kill(getpid(), SIGKILL);
#endif
}

// Kills its own process once `after` bytes were reported.
class KillingProgress : public CZoArchiveProgress {
 public:
  explicit KillingProgress(uint64_t after) : after_(after) {}
  int32_t AddProgress(uint32_t low, int32_t high) override {
    CZoArchiveProgress::AddProgress(low, high);
    if (done >= after_) KillSelf();
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
  ChildEnd end = RunInChild(1 << 20, [&]() {
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
    ChildEnd end = RunInChild(0, [&]() {
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

}  // namespace
}  // namespace writer_test
