// What a host sees while the engine reads: the exact sequence of status events
// (with the item name at each), the byte counts, and the archive-level answers
// of objects in their different states.
#include "tests/archive/archive_test_support.h"

namespace {

using archive_test::ArchiveTest;
using archive_test::Event;
using archive_test::RecordingProgress;
using testarc::ArchiveSpec;

ArchiveSpec FolderAndTwoFiles() {
  ArchiveSpec spec;
  spec.entries.push_back(testarc::Folder(u"docs\\"));
  spec.entries.push_back(testarc::File(u"docs\\readme.txt", "hello, world\n"));
  spec.entries.push_back(testarc::File(u"Setup.EXE", std::string(5000, 'x'), 0));
  return spec;
}

// Status events only, as (code, itemName) pairs.
std::vector<std::pair<int32_t, std::u16string>> StatusEvents(const RecordingProgress& progress) {
  std::vector<std::pair<int32_t, std::u16string>> out;
  for (const Event& e : progress.events)
    if (!e.isError) out.emplace_back(e.code, e.itemName);
  return out;
}

using Sequence = std::vector<std::pair<int32_t, std::u16string>>;

class ReadEventsTest : public ArchiveTest {
 protected:
  void OpenWith(const ArchiveSpec& spec, RecordingProgress* progress) {
    path_ = Put("events.ach", testarc::Build(spec));
    ASSERT_EQ(archive_.Open(path_.c_str(), ARC_OPEN_READ, progress), 0);
  }
  std::u16string path_;
  CArchive2 archive_;
};

TEST_F(ReadEventsTest, ExtractAll_AnnouncesTheArchiveThenEachFileAndTheEnd) {
  RecordingProgress progress;
  OpenWith(FolderAndTwoFiles(), &progress);
  ASSERT_EQ(archive_.ExtractAll(out_.c_str(), 0), 0);
  const Sequence expected = {
      {ARC_EVENT_BEGIN_ITEM, path_},
      {ARC_EVENT_EXTRACT_START, u"docs\\readme.txt"},
      {ARC_EVENT_FILE_END, u"docs\\readme.txt"},
      {ARC_EVENT_EXTRACT_START, u"Setup.EXE"},
      {ARC_EVENT_FILE_END, u"Setup.EXE"},
      {ARC_EVENT_DONE, u"Setup.EXE"},
  };
  EXPECT_EQ(StatusEvents(progress), expected);
  EXPECT_EQ(progress.total, 13u + 5000u);
  EXPECT_EQ(progress.done, progress.total);
  EXPECT_TRUE(progress.Errors().empty());
}

TEST_F(ReadEventsTest, ReplaceQuestion_PrecedesTheFilesEventsOrReplacesThem) {
  ArchiveSpec spec;
  spec.entries.push_back(testarc::File(u"a.txt", "new"));
  spec.entries.push_back(testarc::File(u"b.txt", "new"));
  ASSERT_TRUE(archive_test::WriteBytes(Out("a.txt"), "old"));
  ASSERT_TRUE(archive_test::WriteBytes(Out("b.txt"), "old"));
  RecordingProgress progress;
  progress.answers = {ARC_ANSWER_REPLACE, ARC_ANSWER_SKIP};
  OpenWith(spec, &progress);
  ASSERT_EQ(archive_.ExtractAll(out_.c_str(), 0), 0);
  const std::u16string a = Out("a.txt"), b = Out("b.txt");
  const Sequence expected = {
      {ARC_EVENT_BEGIN_ITEM, path_},
      {ARC_EVENT_ASK_REPLACE, a},
      {ARC_EVENT_REPLACED, a},
      {ARC_EVENT_EXTRACT_START, u"a.txt"},
      {ARC_EVENT_FILE_END, u"a.txt"},
      {ARC_EVENT_ASK_REPLACE, b},
      {ARC_EVENT_SKIPPED, b},
      {ARC_EVENT_DONE, b},
  };
  EXPECT_EQ(StatusEvents(progress), expected);
  EXPECT_EQ(archive_test::ReadAll(b), "old");
}

TEST_F(ReadEventsTest, ExtractEntry_AnnouncesNameOrIndexRunAsItsFlagsSay) {
  RecordingProgress progress;
  OpenWith(FolderAndTwoFiles(), &progress);

  ASSERT_EQ(archive_.ExtractEntry(u"setup.exe", out_.c_str(), 0), 0);
  Sequence expected = {
      {ARC_EVENT_BEGIN_ITEM, u"setup.exe"},
      {ARC_EVENT_EXTRACT_START, u"Setup.EXE"},
      {ARC_EVENT_FILE_END, u"Setup.EXE"},
      {ARC_EVENT_DONE, u"Setup.EXE"},
  };
  EXPECT_EQ(StatusEvents(progress), expected);
  EXPECT_EQ(progress.total, 5000u);

  // Without a total only the item name is set: no BeginItem event.
  progress.events.clear();
  ASSERT_EQ(archive_.ExtractEntry(u"readme.txt", out_.c_str(), ARC_EXTRACT_NO_TOTAL | ARC_EXTRACT_OVERWRITE), 0);
  expected = {
      {ARC_EVENT_EXTRACT_START, u"docs\\readme.txt"},
      {ARC_EVENT_FILE_END, u"docs\\readme.txt"},
      {ARC_EVENT_DONE, u"docs\\readme.txt"},
  };
  EXPECT_EQ(StatusEvents(progress), expected);

  // By index: an empty item text and the run's size.
  progress.events.clear();
  int count = 2;
  ASSERT_EQ(archive_.ExtractEntry(1, &count, out_.c_str(), ARC_EXTRACT_OVERWRITE), 1);
  ASSERT_FALSE(progress.events.empty());
  EXPECT_EQ(progress.events.front().code, ARC_EVENT_BEGIN_ITEM);
  EXPECT_EQ(progress.events.front().itemName, u"");
  EXPECT_EQ(progress.total, 13u + 5000u);
  EXPECT_EQ(progress.CountStatus(ARC_EVENT_EXTRACT_START), 2);
}

TEST_F(ReadEventsTest, ValidateEntry_VerifiesEachMatchBetweenBeginAndDone) {
  RecordingProgress progress;
  OpenWith(FolderAndTwoFiles(), &progress);
  ASSERT_EQ(archive_.ValidateEntry(1), 0);
  Sequence expected = {
      {ARC_EVENT_BEGIN_ITEM, u"docs\\readme.txt"},
      {ARC_EVENT_VERIFY_START, u"docs\\readme.txt"},
      {ARC_EVENT_FILE_END, u"docs\\readme.txt"},
      {ARC_EVENT_DONE, u"docs\\readme.txt"},
  };
  EXPECT_EQ(StatusEvents(progress), expected);
  EXPECT_EQ(progress.total, 13u);

  // A pattern verifies every entry, folders included, and ends with 1.
  progress.events.clear();
  progress.done = 0;  // BeginItem keeps what the host counted, up to the new total
  ASSERT_EQ(archive_.ValidateEntry(u"*.*"), 1);
  expected = {
      {ARC_EVENT_BEGIN_ITEM, u"*.*"},
      {ARC_EVENT_VERIFY_START, u"docs\\"},
      {ARC_EVENT_FILE_END, u"docs\\"},
      {ARC_EVENT_VERIFY_START, u"docs\\readme.txt"},
      {ARC_EVENT_FILE_END, u"docs\\readme.txt"},
      {ARC_EVENT_VERIFY_START, u"Setup.EXE"},
      {ARC_EVENT_FILE_END, u"Setup.EXE"},
      {ARC_EVENT_DONE, u"Setup.EXE"},
  };
  EXPECT_EQ(StatusEvents(progress), expected);
  // Verification counts the stored bytes it reads.
  int64_t stored1 = 0, stored2 = 0;
  archive_.GetEntryCompressedSize(1, stored1);
  archive_.GetEntryCompressedSize(2, stored2);
  EXPECT_EQ(progress.done, static_cast<uint64_t>(stored1 + stored2));

  // Not open for reading data: refused before anything is announced.
  CArchive2 unopened;
  EXPECT_EQ(unopened.ValidateEntry(u"*.*"), E_FAIL);
  EXPECT_EQ(unopened.ValidateEntry(0), 0);
}

TEST_F(ReadEventsTest, ArchiveLevelQueries_AnswerForEachObjectState) {
  CArchive2 unopened;
  EXPECT_EQ(unopened.GetMultiVolumeStatus(), 0);
  EXPECT_EQ(unopened.GetArchiveSEAStatus(), 0);
  EXPECT_EQ(unopened.GetArchiveCount(), -1);
  ZoFileTime time = 77;
  EXPECT_EQ(unopened.GetModifyTime(time), 0);
  EXPECT_EQ(time, 77u);  // untouched while nothing is open

  // Create mode: a single file with no end record loaded yet.
  CArchive2 created;
  std::u16string newPath = scratch_ / "new.ach";
  ASSERT_EQ(created.Open(newPath.c_str(), ARC_OPEN_CREATE, nullptr), 0);
  EXPECT_EQ(created.GetMultiVolumeStatus(), 1);
  EXPECT_EQ(created.GetArchiveCount(), -1);
  EXPECT_EQ(created.IsEntryInArchive(u"anything"), 0);
  EXPECT_EQ(created.GetArchiveSize(), -1);
  int64_t size = 0;
  EXPECT_EQ(created.GetSizeExtractAll(size), E_FAIL);
  EXPECT_EQ(created.Close(), 0);

  // A read-mode object after a failed open keeps nothing of an earlier archive.
  CArchive2 reused;
  std::u16string path = Put("sfx.exe", [] {
    ArchiveSpec spec = FolderAndTwoFiles();
    spec.stub = std::string(1000, 'M');
    return testarc::Build(spec);
  }());
  ASSERT_EQ(reused.Open(path.c_str(), ARC_OPEN_READ, nullptr), 0);
  EXPECT_EQ(reused.GetArchiveSEAStatus(), 1);
  EXPECT_EQ(reused.GetMultiVolumeStatus(), 1);
  reused.Close();
  std::u16string junk = Put("junk.bin", std::string(100, 'j'));
  EXPECT_EQ(reused.Open(junk.c_str(), ARC_OPEN_READ, nullptr), ARC_E_BAD_SIGNATURE);
  EXPECT_EQ(reused.GetArchiveSEAStatus(), 0);
  EXPECT_EQ(reused.GetMultiVolumeStatus(), 0);
  EXPECT_EQ(reused.GetArchiveCount(), -1);
}

}  // namespace

namespace {

TEST_F(ReadEventsTest, LookupsByName_FoldOnlyAsciiCaseAndMatchWholeNames) {
  ArchiveSpec spec;
  spec.entries.push_back(testarc::File(u"sfxctrl.ach", "control"));
  spec.entries.push_back(testarc::File(u"\u00e9t\u00e9.txt", "summer"));
  spec.entries.push_back(testarc::File(u"docs\\readme.txt", "read me"));
  OpenWith(spec, nullptr);
  struct Case {
    const char16_t* name;
    ZoResult result;
  };
  const Case cases[] = {
      {u"SFXCTRL.ACH", 0},
      {u"\u00e9t\u00e9.TXT", 0},
      {u"\u00c9t\u00e9.txt", 1},  // non-ASCII letters are not folded
      {u"readme.txt", 1},         // no file-part match outside extraction
      {u"docs\\README.TXT", 0},
      {u"*.txt", 1},              // no patterns either
      {u"docs", 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(plat::ToUtf8(c.name));
    int64_t size = -1;
    EXPECT_EQ(archive_.GetEntryUncompressedSize(c.name, size), c.result);
    EXPECT_EQ(archive_.IsEntryInArchive(c.name), c.result == 0 ? 1 : 0);
  }
  int64_t size = 0;
  EXPECT_EQ(archive_.GetEntryUncompressedSize(u"SFXCTRL.ACH", size), 0);
  EXPECT_EQ(size, 7);
}

TEST_F(ReadEventsTest, QueriesWithoutADirectory_ReportTheirStepBeforeFailing) {
  // Each query on an object whose archive is closed, or that has no end record
  // (create mode), returns its code and reports exactly one event under its step.
  struct Case {
    const char* label;
    bool closed;  // else create mode
    ZoResult (*query)(CArchive2&);
    ZoResult result;
    int32_t event;  // 0: no event
    const char16_t* step;
  };
  const Case cases[] = {
      {"by name, closed", true, [](CArchive2& a) { int64_t v = 0; return a.GetEntryUncompressedSize(u"docs\\", v); },
       E_FAIL, ARC_ERROR_NOT_OPEN, u"FindFirstCentralDirectory"},
      {"IsEntryInArchive, closed", true, [](CArchive2& a) { return static_cast<ZoResult>(a.IsEntryInArchive(u"docs\\")); },
       0, ARC_ERROR_NOT_OPEN, u"FindFirstCentralDirectory"},
      {"comment, closed", true, [](CArchive2& a) { ZoChar c[8]; return a.GetVolumeComment(c, 8); },
       E_FAIL, ARC_ERROR_NOT_OPEN, u"GetVolumeComment"},
      {"by index, closed", true, [](CArchive2& a) { int v = 0; return a.GetEntryCRC32(1, v); }, 0, 0, u""},
      {"by name, create mode", false, [](CArchive2& a) { int v = 0; return a.GetEntryFileAttributes(u"x.txt", v); },
       E_FAIL, ARC_ERROR_SIGNATURE, u"FindFirstCentralDirectory"},
      {"IsEntryInArchive, create mode", false, [](CArchive2& a) { return static_cast<ZoResult>(a.IsEntryInArchive(u"x.txt")); },
       0, 0, u""},
      {"comment, create mode", false, [](CArchive2& a) { ZoChar c[8]; return a.GetVolumeComment(c, 8); },
       ARC_E_BAD_SIGNATURE, ARC_ERROR_SIGNATURE, u"GetVolumeComment"},
  };
  const std::u16string path = Put("queries.ach", testarc::Build(FolderAndTwoFiles()));
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    RecordingProgress progress;
    CArchive2 archive;
    if (c.closed) {
      ASSERT_EQ(archive.Open(path.c_str(), ARC_OPEN_READ, &progress), 0);
      ASSERT_EQ(archive.Close(), 0);
    } else {
      ASSERT_EQ(archive.Open((scratch_ / "created.ach").c_str(), ARC_OPEN_CREATE, &progress), 0);
    }
    progress.events.clear();
    EXPECT_EQ(c.query(archive), c.result);
    const std::vector<Event> errors = progress.Errors();
    if (c.event == 0) {
      EXPECT_TRUE(errors.empty());
    } else {
      ASSERT_EQ(errors.size(), 1u);
      EXPECT_EQ(errors[0].code, c.event);
      EXPECT_EQ(errors[0].itemName, c.step);
    }
  }
}

TEST_F(ReadEventsTest, EntryName_TooSmallABufferIsReportedAndLeftEmpty) {
  RecordingProgress progress;
  OpenWith(FolderAndTwoFiles(), &progress);
  ZoChar name[16] = {u'x'};
  EXPECT_EQ(archive_.GetEntryName(1, name, 15), ARC_E_BAD_NAME);  // "docs\\readme.txt" needs 16
  EXPECT_EQ(name[0], 0);
  EXPECT_TRUE(progress.HasError(ARC_ERROR_BUFFER, u"GetEntryName"));
  EXPECT_EQ(archive_.GetEntryName(1, name, 16), 1);
  EXPECT_EQ(std::u16string(name), u"docs\\readme.txt");
}

TEST_F(ReadEventsTest, IndexRuns_OutsideTheDirectoryTakeNothing) {
  OpenWith(FolderAndTwoFiles(), nullptr);
  struct Case {
    int index;
    int count;
    ZoResult sizeResult;
    int64_t size;
  };
  const Case cases[] = {
      {-1, 1, 1, 0}, {3, 1, 1, 0}, {1, 0, 0, 13}, {1, -5, 0, 13}, {1, 9, 0, 13 + 5000}, {2, 1, 0, 5000},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.index) + "/" + std::to_string(c.count));
    int count = c.count;
    int64_t size = -1;
    EXPECT_EQ(archive_.GetSizeExtractEntry(c.index, &count, size, 0), c.sizeResult);
    EXPECT_EQ(size, c.size);
  }
  int64_t size = -1;
  EXPECT_EQ(archive_.GetSizeExtractEntry(2, nullptr, size, 0), 0);  // no count: one entry
  EXPECT_EQ(size, 5000);
  EXPECT_EQ(archive_.ExtractEntry(-1, nullptr, out_.c_str(), 0), 1);
  EXPECT_EQ(archive_.ExtractEntry(3, nullptr, out_.c_str(), 0), 1);
  EXPECT_FALSE(plat::Exists(Out("Setup.EXE").c_str()));
}

TEST_F(ReadEventsTest, ItemTexts_AreCutTo259Units) {
  CZoArchiveProgress progress;
  progress.SetItemName(std::u16string(600, u'x').c_str());
  EXPECT_EQ(std::u16string(progress.itemName), std::u16string(259, u'x'));
  progress.SetItemName(nullptr);
  EXPECT_EQ(progress.itemName[0], 0);

  // An error text of step, "|" and a long detail keeps its first 259 units.
  ArchiveSpec spec;
  spec.entries.push_back(testarc::File(std::u16string(250, u'n') + u"*.txt", "unsafe"));
  RecordingProgress recording;
  OpenWith(spec, &recording);
  EXPECT_EQ(archive_.ExtractAll(out_.c_str(), 0), ARC_E_BAD_NAME);
  const std::vector<Event> errors = recording.Errors();
  ASSERT_EQ(errors.size(), 1u);
  EXPECT_EQ(errors[0].itemName, (u"ExtractAll|" + std::u16string(250, u'n')).substr(0, 259));
}

// Leaves `value` in status at the n-th AddProgress (counted from 1).
class StatusAtBlockProgress : public RecordingProgress {
 public:
  StatusAtBlockProgress(int n, int32_t value) : n_(n), value_(value) {}
  int32_t AddProgress(uint32_t low, int32_t high) override {
    if (++calls == n_) status = value_;
    return CZoArchiveProgress::AddProgress(low, high);
  }
  int calls = 0;

 private:
  int n_;
  int32_t value_;
};

TEST_F(ReadEventsTest, BlockCopy_ReturnsWhatThePollGaveAndStopsOnCancel) {
  const std::string bytes(3 * 262144 + 5, 'b');
  std::u16string source = Put("source.bin", bytes);
  std::u16string target = scratch_ / "target.bin";
  struct Case {
    const char* label;
    uint64_t count;
    int atBlock;
    int32_t value;
    ZoResult result;
    uint64_t copied;
    int blocks;
  };
  const Case cases[] = {
      {"host value of the only block", 100, 1, 1, 1, 100, 1},
      {"a value on an earlier block is overwritten", bytes.size(), 1, 1, 0, bytes.size(), 4},
      {"cancel after the second block", bytes.size(), 2, ARC_E_CANCELLED, ARC_E_CANCELLED, 2 * 262144, 2},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    StatusAtBlockProgress progress(c.atBlock, c.value);
    CArchive2 archive;
    archive.Open(u"", ARC_OPEN_READ, &progress);  // attaches the host; the open itself fails
    progress.events.clear();
    plat::File in = plat::File::Open(source.c_str(), plat::Access::Read, plat::kShareRead, plat::Disposition::OpenExisting);
    plat::File out = plat::File::Open(target.c_str(), plat::Access::ReadWrite, plat::kShareNone, plat::Disposition::CreateAlways);
    EXPECT_EQ(archive.BlockCopy(in, 0, c.count, out, 0), c.result);
    uint64_t size = 0;
    out.Size(&size);
    EXPECT_EQ(size, c.copied);
    EXPECT_EQ(progress.calls, c.blocks);
    EXPECT_EQ(progress.done, c.copied);
    EXPECT_TRUE(progress.Errors().empty());
  }
}

}  // namespace
