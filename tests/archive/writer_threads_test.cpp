// Adding with worker threads (SetCompressionThreads) against the calling thread
// alone: the same result, the same events in the same order (all of them on the
// calling thread) and the same bytes, for a whole run, for a read failing inside
// a worker and for a cancel in the middle of a rewrite, which leaves the archive
// as it was.
#include <algorithm>
#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "archive/whole_buffer.h"
#include "platform/directory.h"
#include "platform/thread.h"
#include "tests/archive/writer_support.h"

namespace writer_test {
namespace {

// Records every callback as one line, in order, and checks the thread.
class TracingProgress : public RecordingProgress {
 public:
  explicit TracingProgress(int cancelAtStart = 0) : cancelAtStart_(cancelAtStart) {}
  int32_t ReportStatus(int32_t code) override {
    Note("status " + std::to_string(code) + " " + plat::ToUtf8(itemName));
    if (code == ARC_EVENT_ADD_START && ++starts_ == cancelAtStart_) status = ARC_E_CANCELLED;
    return RecordingProgress::ReportStatus(code);
  }
  int32_t ReportError(int32_t code) override {
    Note("error " + std::to_string(code) + " " + plat::ToUtf8(itemName));
    return RecordingProgress::ReportError(code);
  }
  int32_t AddProgress(uint32_t low, int32_t high) override {
    Note("progress " + std::to_string(low));
    return RecordingProgress::AddProgress(low, high);
  }
  // Between the size walk and adding (no workers run yet).
  int32_t BeginItem(const ZoChar* text, uint32_t low, int32_t high) override {
    if (beforeAdding) beforeAdding();
    return RecordingProgress::BeginItem(text, low, high);
  }
  std::function<void()> beforeAdding;
  std::vector<std::string> trace;
  bool otherThread = false;

 private:
  void Note(std::string line) {
    if (plat::CurrentThreadId() != thread_) otherThread = true;
    trace.push_back(std::move(line));
  }
  uint32_t thread_ = plat::CurrentThreadId();
  int cancelAtStart_;
  int starts_ = 0;
};

std::u16string In(const std::u16string& folder, const std::u16string& name) {
  return folder + plat::kSeparator + name;
}

struct AddRun {
  ZoResult result = 0;
  std::vector<std::string> trace;
  std::vector<uint8_t> bytes;  // the archive after Close (or, after a failure, as left)
};

class WriterThreads : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(dir.IsValid());
    archive = dir / "out.ach";
  }
  // A fresh tree root/flat (the files) and root/sub (one more folder level).
  void NewTree(const std::string& name) {
    root = dir / name;
    flat = In(root, u"flat");
    ASSERT_TRUE(plat::CreateDirectory(root.c_str()));
    ASSERT_TRUE(plat::CreateDirectory(flat.c_str()));
    ASSERT_TRUE(plat::CreateDirectory(In(root, u"sub").c_str()));
    ASSERT_TRUE(ScratchFolder::WriteFile(In(In(root, u"sub"), u"one.txt"), std::string(5000, 's')));
  }
  void TearDown() override { arc::SetWholeBufferLimit(0); }

  // Files of every kind the data steps tell apart: empty, tiny (stored when
  // deflated), compressible, incompressible, over several blocks, and larger
  // than the whole-buffer limit the case sets (streamed by the writer).
  void MakeFiles(bool mixed) {
    std::string noise;
    uint32_t x = 12345;
    for (int i = 0; i < 700000; ++i) noise.push_back(static_cast<char>((x = x * 1103515245u + 12345u) >> 24));
    ASSERT_TRUE(ScratchFolder::WriteFile(In(flat, u"big.bin"), noise));
    for (int i = 0; i < (mixed ? 40 : 6); ++i) {
      std::string text = mixed ? std::string(static_cast<size_t>(i) * 997, static_cast<char>('a' + i % 26)) : "";
      if (mixed && i % 3 == 0) text = noise.substr(static_cast<size_t>(i) * 100, static_cast<size_t>(i) * 50);
      ASSERT_TRUE(ScratchFolder::WriteFile(In(flat, u"f" + plat::U16(std::to_string(i)) + u".txt"), text));
    }
  }

  // `change`: run between the size walk and adding (the add then announces its total).
  AddRun Add(unsigned threads, uint32_t compression, uint32_t mode, const std::u16string& path, int cancelAt = 0,
             const std::deque<int32_t>& answers = {}, std::function<void()> change = {}) {
    AddRun run;
    TracingProgress progress(cancelAt);
    progress.answers = answers;
    progress.beforeAdding = change;
    {
      CArchive2 a;
      EXPECT_EQ(0, a.Open(archive.c_str(), mode, &progress));
      a.SetCompressionThreads(threads);
      const uint32_t flags = change ? ARC_ADD_RECURSE : ARC_ADD_NO_TOTAL | ARC_ADD_RECURSE;
      run.result = a.AddEntryToArchive(path.c_str(), compression, 6, flags, nullptr);
      // As the tool does: a failed or cancelled add is never closed (a rewrite
      // would commit); its temporary file is removed.
      if (run.result == 0) {
        EXPECT_EQ(0, a.Close());
      }
    }
    if (mode == ARC_OPEN_APPEND) plat::DeleteFile((dir / "~out.ach").c_str());
    EXPECT_FALSE(progress.otherThread) << "the progress object was called on a worker thread";
    run.trace = progress.trace;
    run.bytes = ReadAll(archive);
    return run;
  }

  ScratchFolder dir;
  std::u16string root, flat, archive;
};

TEST_F(WriterThreads, SameResultEventsAndBytesWhateverTheThreadCount) {
  struct Case {
    const char* what;
    uint32_t compression;
    size_t wholeLimit;  // 0: the default
    int shortReadNth;   // 0: no read fault
    bool mixed;
    ZoResult expected;
    int64_t diskFullAfter = -1;  // bytes written before writes fail; -1 never
    int cancelAt = 0;            // the ADD_START event that cancels; 0 none
  } cases[] = {
      {"deflate", ARC_COMPRESSION_ZIP, 0, 0, true, 0},
      {"deflate, small whole-buffer limit", ARC_COMPRESSION_ZIP, 64 << 10, 0, true, 0},
      {"stored", ARC_COMPRESSION_NONE, 0, 0, true, 0},
      // One file holds data, the others are empty: the second read anywhere is
      // the second block of big.bin, short, in a worker when there are workers.
      {"deflate, read fails in the second block", ARC_COMPRESSION_ZIP, 0, 2, false, ARC_E_READ},
      {"stored, read fails in the second block", ARC_COMPRESSION_NONE, 0, 2, false, ARC_E_READ},
      // A full disk inside a small file's header, in its data, and past a block
      // of a stored file: the same failure at the same event.
      {"deflate, disk full in a header", ARC_COMPRESSION_ZIP, 0, 0, true, ARC_E_WRITE, 20},
      {"deflate, disk full in the data", ARC_COMPRESSION_ZIP, 0, 0, true, ARC_E_WRITE, 200},
      {"stored, disk full in a header", ARC_COMPRESSION_NONE, 0, 0, true, ARC_E_WRITE, 20},
      {"stored, disk full in the data", ARC_COMPRESSION_NONE, 0, 0, true, ARC_E_WRITE, 200},
      {"stored, disk full deep in the files", ARC_COMPRESSION_NONE, 0, 0, true, ARC_E_WRITE, 300000},
      {"deflate, cancel at the fifth file", ARC_COMPRESSION_ZIP, 0, 0, true, ARC_E_CANCELLED, -1, 5},
      {"stored, cancel at the fifth file", ARC_COMPRESSION_NONE, 0, 0, true, ARC_E_CANCELLED, -1, 5},
  };
  int index = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    NewTree("case" + std::to_string(index++));
    MakeFiles(c.mixed);
    arc::SetWholeBufferLimit(c.wholeLimit);
    std::vector<AddRun> runs;
    for (unsigned threads : {1u, 2u, 4u}) {
      plat::fault::FileFaults faults;
      faults.shortReadNth = c.shortReadNth;
      faults.failWritesAfterBytes = c.diskFullAfter;
      FaultScope scope(faults);
      // A pattern adds no folder entries, whose time is the moment of adding:
      // the archive must then be the same byte for byte.
      runs.push_back(Add(threads, c.compression, ARC_OPEN_CREATE, In(flat, u"*.*"), c.cancelAt));
    }
    for (size_t i = 0; i < runs.size(); ++i) {
      EXPECT_EQ(c.expected, runs[i].result) << "run " << i;
      // A full disk is met at the same file position, but the fault counts every
      // byte written, and one thread writes each header twice (the patch): the
      // threaded runs are compared with each other there.
      const size_t against = c.diskFullAfter < 0 ? 0 : 1;
      if (i >= against) {
        EXPECT_EQ(runs[against].trace, runs[i].trace) << "run " << i;
      }
      if (c.diskFullAfter < 0) {
        EXPECT_TRUE(runs[0].bytes == runs[i].bytes) << "run " << i << " wrote other bytes";
      }
    }
    if (c.shortReadNth) {
      const std::string step = c.compression == ARC_COMPRESSION_ZIP ? "CompressZipFile" : "NoCompressFile";
      EXPECT_NE(std::find(runs[0].trace.begin(), runs[0].trace.end(),
                          "error " + std::to_string(ARC_ERROR_READ) + " " + step),
                runs[0].trace.end());
    }
    // A tree: the same events (folder entries included) whatever the count.
    if (!c.shortReadNth && c.diskFullAfter < 0 && !c.cancelAt) {
      EXPECT_EQ(Add(1, c.compression, ARC_OPEN_CREATE, root).trace, Add(4, c.compression, ARC_OPEN_CREATE, root).trace);
    }
  }
}

// A tree is added as its size walk listed it: an entry gone since then fails
// as a file that vanished before its open does, with and without workers; a
// read-only folder keeps its attribute; a tree the walk could not list whole
// (a path too long to join) is listed again while adding, and fails there.
TEST_F(WriterThreads, ATreeChangedAfterItsSizeWalkFailsAtTheVanishedFile) {
  struct Case {
    const char* what;
    std::function<void(const std::u16string& root)> change;
    ZoResult expected;
    bool tooLong = false;  // a file whose path exceeds ZO_MAX_PATH
  } cases[] = {
      {"unchanged", [](const std::u16string&) {}, 0},
      {"a file removed",
       [](const std::u16string& root) { EXPECT_TRUE(plat::DeleteFile(In(In(root, u"sub"), u"one.txt").c_str())); },
       ARC_E_OPEN_FAILED},
      {"a folder removed with its file",
       [](const std::u16string& root) {
         const std::u16string sub = In(root, u"sub");
         EXPECT_TRUE(plat::DeleteFile(In(sub, u"one.txt").c_str()));
         EXPECT_TRUE(plat::RemoveDirectory(sub.c_str()));
       },
       ARC_E_OPEN_FAILED},
      // Last: where long paths cannot be made the test ends here.
      {"a path too long", [](const std::u16string&) {}, ARC_E_BAD_NAME, true},
  };
  int index = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    std::vector<AddRun> runs;
    uint32_t readOnlyAttributes = 0;  // the folder's own, as the first run met it
    for (unsigned threads : {1u, 2u}) {
      NewTree("changed" + std::to_string(index++));
      MakeFiles(false);
      if (c.tooLong) {
        const std::u16string deep = In(root, std::u16string(150, u'd'));
        if (!plat::CreateDirectory(deep.c_str()) || !ScratchFolder::WriteFile(In(deep, std::u16string(150, u'f')), "x"))
          GTEST_SKIP() << "no long paths here";
      }
      const std::u16string readOnly = In(root, u"ro");
      ASSERT_TRUE(plat::CreateDirectory(readOnly.c_str()));
      ASSERT_TRUE(plat::SetAttributes(readOnly.c_str(), ZO_ATTR_READONLY));
      if (runs.empty()) readOnlyAttributes = plat::GetAttributes(readOnly.c_str());
      const std::u16string tree = root;
      runs.push_back(Add(threads, ARC_COMPRESSION_ZIP, ARC_OPEN_CREATE, root, 0, {}, [&] { c.change(tree); }));
      EXPECT_TRUE(plat::SetAttributes(readOnly.c_str(), 0));  // so that the scratch folder can go
      EXPECT_EQ(c.expected, runs.back().result) << threads << " threads";
      // The folder names differ from run to run: compare the events without them.
      for (std::string& line : runs.back().trace) {
        const size_t at = line.find("changed");
        if (at != std::string::npos) line.erase(at, line.find_first_of("/\\", at) - at);
      }
    }
    EXPECT_EQ(runs[0].trace, runs[1].trace);
    const std::string openError = "error " + std::to_string(ARC_ERROR_OPEN_INPUT) + " ";
    const bool openFailed = std::any_of(runs[0].trace.begin(), runs[0].trace.end(),
                                        [&](const std::string& line) { return line.rfind(openError, 0) == 0; });
    EXPECT_EQ(c.expected == ARC_E_OPEN_FAILED, openFailed);
    if (c.expected != 0) continue;
    const DecodedArchive decoded = Decode(runs[0].bytes);
    ASSERT_TRUE(decoded.ok) << decoded.error;
    bool found = false;
    for (const DecodedCentral& entry : decoded.central) {
      const std::u16string end = u"\\ro\\";
      if (entry.name.size() < end.size() || entry.name.compare(entry.name.size() - end.size(), end.size(), end)) continue;
      found = true;
      EXPECT_EQ(readOnlyAttributes, entry.attributes) << "the read-only folder lost its attributes";
    }
    EXPECT_TRUE(found);
  }
}

TEST_F(WriterThreads, ReplaceQuestionsComeInTheSameOrderAndTheirAnswersHold) {
  NewTree("tree");
  MakeFiles(true);
  const std::u16string pattern = In(flat, u"*.*");
  ASSERT_EQ(0, CreateArchive(archive, {pattern}));
  const std::vector<uint8_t> original = ReadAll(archive);
  const std::deque<int32_t> answers = {ARC_ANSWER_SKIP, ARC_ANSWER_REPLACE, ARC_ANSWER_SKIP, ARC_ANSWER_REPLACE,
                                       ARC_ANSWER_SKIP_ALL};
  std::vector<AddRun> runs;
  for (unsigned threads : {1u, 4u}) {
    ASSERT_TRUE(WriteAll(archive, original));
    runs.push_back(Add(threads, ARC_COMPRESSION_ZIP, ARC_OPEN_APPEND, pattern, 0, answers));
    EXPECT_EQ(0, runs.back().result);
  }
  EXPECT_EQ(runs[0].trace, runs[1].trace);
  EXPECT_TRUE(runs[0].bytes == runs[1].bytes) << "the rewrites differ";
  EXPECT_EQ(5, std::count_if(runs[0].trace.begin(), runs[0].trace.end(), [](const std::string& line) {
              return line.rfind("status " + std::to_string(ARC_EVENT_ASK_REPLACE) + " ", 0) == 0;
            })) << "one question per answer until skip-all";
}

TEST_F(WriterThreads, CancelInTheMiddleOfARewriteLeavesTheArchiveAsItWas) {
  NewTree("tree");
  MakeFiles(true);
  ASSERT_EQ(0, CreateArchive(archive, {In(flat, u"f1.txt")}));
  const std::vector<uint8_t> original = ReadAll(archive);
  std::vector<std::string> firstTrace;
  for (unsigned threads : {1u, 4u}) {
    SCOPED_TRACE(threads);
    AddRun run = Add(threads, ARC_COMPRESSION_ZIP, ARC_OPEN_APPEND, flat, 5);
    EXPECT_EQ(ARC_E_CANCELLED, run.result);
    EXPECT_TRUE(original == run.bytes) << "the cancelled rewrite changed the archive";
    if (firstTrace.empty()) firstTrace = run.trace;
    EXPECT_EQ(firstTrace, run.trace) << "the events up to the cancel differ";
  }
  // The object is usable again at once: the workers of the cancelled call are gone.
  EXPECT_EQ(0, CreateArchive(archive, {flat}));
}

}  // namespace
}  // namespace writer_test
