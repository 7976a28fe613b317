// What a host sees while the writers work: the events in their order with their
// arguments, the step texts of failures, and the results of the refusals.
#include <algorithm>
#include <cstdio>

#include "platform/directory.h"
#include "platform/paths.h"
#include "tests/archive/writer_support.h"

namespace writer_test {
namespace {

// Logs every event as one line: "begin TEXT TOTAL", "progress N", "status CODE"
// (with the item name for the per-entry statuses) and "error CODE ITEMNAME".
class EventLog : public CZoArchiveProgress {
 public:
  int32_t BeginItem(const ZoChar* text, uint32_t low, int32_t high) override {
    const uint64_t n = static_cast<uint64_t>(static_cast<uint32_t>(high)) << 32 | low;
    events.push_back("begin " + plat::ToUtf8(text ? text : u"") + " " + std::to_string(n));
    inBegin_ = true;
    int32_t r = CZoArchiveProgress::BeginItem(text, low, high);
    inBegin_ = false;
    return r;
  }
  int32_t AddProgress(uint32_t low, int32_t high) override {
    events.push_back("progress " + std::to_string(static_cast<uint64_t>(static_cast<uint32_t>(high)) << 32 | low));
    return CZoArchiveProgress::AddProgress(low, high);
  }
  int32_t ReportStatus(int32_t code) override {
    if (inBegin_) return 0;  // BeginItem's own event is logged as "begin"
    std::string line = "status " + Hex(code);
    if (code == ARC_EVENT_ADD_START || code == ARC_EVENT_ENTRY_DROPPED) line += " " + Item();
    events.push_back(line);
    return 0;
  }
  int32_t ReportError(int32_t code) override {
    events.push_back("error " + Hex(code) + " " + Item());
    return 0;
  }
  // Sum of the "progress" lines after the first line equal to `from`.
  uint64_t ProgressAfter(const std::string& from) const {
    auto at = std::find(events.begin(), events.end(), from);
    uint64_t sum = 0;
    for (; at != events.end(); ++at)
      if (at->rfind("progress ", 0) == 0) sum += std::stoull(at->substr(9));
    return sum;
  }
  std::vector<std::string> events;

 private:
  static std::string Hex(int32_t code) {
    char text[16];
    std::snprintf(text, sizeof(text), "%08X", static_cast<uint32_t>(code));
    return text;
  }
  std::string Item() const { return plat::ToUtf8(plat::StringView16(itemName, plat::BoundedLength(itemName, 260))); }
  bool inBegin_ = false;
};

using Events = std::vector<std::string>;

// Cancels from the first progress step on, once armed: a block copy sees it at
// once, a data step at its next block.
class CancellingLog : public EventLog {
 public:
  int32_t AddProgress(uint32_t low, int32_t high) override {
    int32_t r = EventLog::AddProgress(low, high);
    if (armed) status = ARC_E_CANCELLED;
    return r;
  }
  bool HasErrors() const {
    return std::any_of(events.begin(), events.end(), [](const std::string& e) { return e.rfind("error", 0) == 0; });
  }
  bool armed = false;
};

class WriterEvents : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(dir.IsValid());
    src = dir / "src";
    ASSERT_TRUE(plat::CreateDirectory(src.c_str()));
    for (const char* n : {"a.txt", "b.txt", "c.txt"}) ASSERT_TRUE(ScratchFolder::WriteFile(File(n), std::string(2000, n[0])));
    archive = dir / "pack.ach";
    ASSERT_EQ(0, CreateArchive(archive, {File("a.txt"), File("b.txt"), File("c.txt")}, ARC_COMPRESSION_NONE, 0));
    original = ReadAll(archive);
    stub = dir / "stub.exe";
    ASSERT_TRUE(ScratchFolder::WriteFile(stub, std::string(3000, 'S')));
  }
  std::u16string File(const char* name) const { return src + plat::kSeparator + plat::U16(name); }
  std::string U8(const std::u16string& s) const { return plat::ToUtf8(s); }

  ScratchFolder dir;
  std::u16string src, archive, stub;
  std::vector<uint8_t> original;
};

// The room check and the announced total each run the size query, and the
// pattern step then finds no pattern: three reports, the total 0 in between.
TEST_F(WriterEvents, AddEntryToArchive_NothingToAddIsReportedByEachStepThatLooks) {
  const std::u16string missing = dir / "missing.txt";
  struct Case {
    uint32_t flags;
    Events expected;
  } cases[] = {
      {0,
       {"error AAAAAAAC GetSizeAddEntry", "error AAAAAAAC GetSizeAddEntry", "begin " + U8(missing) + " 0",
        "error AAAAAAAC AddWildcard", "status 0AAAAAAF"}},
      {ARC_ADD_NO_TOTAL, {"error AAAAAAAC GetSizeAddEntry", "error AAAAAAAC AddWildcard", "status 0AAAAAAF"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.flags);
    EventLog log;
    CArchive2 a;
    ASSERT_EQ(0, a.Open((dir / "new.ach").c_str(), ARC_OPEN_CREATE, &log));
    EXPECT_EQ(1, a.AddEntryToArchive(missing.c_str(), ARC_COMPRESSION_ZIP, 6, c.flags, nullptr));
    EXPECT_EQ(c.expected, log.events);
    EXPECT_EQ(0, a.Close());
  }
}

// One file: the announced total, the entry's start under its stored name, one
// progress step per block read, the end of the file and of the call.
TEST_F(WriterEvents, AddEntryToArchive_AnnouncesEachFileAndCountsItsBlocks) {
  ASSERT_TRUE(ScratchFolder::WriteFile(File("big.bin"), std::string(600000, 'x')));
  ASSERT_TRUE(ScratchFolder::WriteFile(File("empty.bin"), ""));
  struct Case {
    const char* name;
    uint32_t type;
    Events expected;
  } cases[] = {
      {"big.bin", ARC_COMPRESSION_NONE,
       {"begin " + U8(File("big.bin")) + " 600000", "status 0AAAAAA1 big.bin", "progress 262144",
        "progress 262144", "progress 75712", "status 00000000", "status 0AAAAAAF"}},
      {"big.bin", ARC_COMPRESSION_ZIP,
       {"begin " + U8(File("big.bin")) + " 600000", "status 0AAAAAA1 big.bin", "progress 262144",
        "progress 262144", "progress 75712", "status 00000000", "status 0AAAAAAF"}},
      {"empty.bin", ARC_COMPRESSION_ZIP,
       {"begin " + U8(File("empty.bin")) + " 0", "status 0AAAAAA1 empty.bin", "status 00000000",
        "status 0AAAAAAF"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.name) + (c.type ? " deflated" : " stored"));
    EventLog log;
    CArchive2 a;
    ASSERT_EQ(0, a.Open((dir / "new.ach").c_str(), ARC_OPEN_CREATE, &log));
    EXPECT_EQ(0, a.AddEntryToArchive(File(c.name).c_str(), c.type, 9, 0, nullptr));
    EXPECT_EQ(c.expected, log.events);
    EXPECT_EQ(0, a.Close());
  }
}

// Self-extracting and volume work write no entries: adding fails the room check
// before anything is looked at.
TEST_F(WriterEvents, AddEntryToArchive_InShapeModesFailsTheRoomCheckOnly) {
  for (uint32_t mode : {ARC_OPEN_SEA, ARC_OPEN_MULTIVOL}) {
    SCOPED_TRACE(mode);
    EventLog log;
    CArchive2 a;
    ASSERT_EQ(0, a.Open(archive.c_str(), mode, &log));
    log.events.clear();
    EXPECT_EQ(ARC_E_DISK_FULL, a.AddEntryToArchive((dir / "missing.txt").c_str(), ARC_COMPRESSION_ZIP, 6, 0, nullptr));
    EXPECT_EQ(Events{"error AAAAAAA8 AddEntryToArchive"}, log.events);
    EXPECT_EQ(mode == ARC_OPEN_SEA ? 0 : 1, a.Close());
  }
  EXPECT_EQ(original, ReadAll(archive));
}

// Kept entries get headers made from their central entries, and the copy counts
// exactly the stored bytes it announced.
TEST_F(WriterEvents, Append_CopiesKeptEntriesWithHeadersFromTheDirectoryAndTheAnnouncedTotal) {
  // A local header that disagrees with its central entry (attributes, the word at
  // offset 8) is not what the rewrite writes.
  DecodedArchive before = Decode(original);
  ASSERT_TRUE(before.ok) << before.error;
  std::vector<uint8_t> odd = original;
  const uint64_t at = before.local[1].offset;
  odd[at + 8] = 0x5A;
  odd[at + 52] ^= 0x07;
  ASSERT_TRUE(WriteAll(archive, odd));
  ASSERT_TRUE(ScratchFolder::WriteFile(File("d.txt"), "new"));

  EventLog log;
  CArchive2 a;
  ASSERT_EQ(0, a.Open(archive.c_str(), ARC_OPEN_APPEND, &log));
  ASSERT_EQ(0, a.AddEntryToArchive(File("d.txt").c_str(), ARC_COMPRESSION_NONE, 0, 0, nullptr));
  log.events.clear();
  ASSERT_EQ(0, a.Close());
  const uint64_t total = before.local[0].f.packed + before.local[1].f.packed + before.local[2].f.packed;
  ASSERT_FALSE(log.events.empty());
  EXPECT_EQ("begin Entries " + std::to_string(total), log.events[0]);
  EXPECT_EQ("status 0AAAAAA7", log.events[1]);
  EXPECT_EQ("status 0AAAAAAF", log.events.back());
  EXPECT_EQ(total, log.ProgressAfter(log.events[0]));

  DecodedArchive after = Decode(ReadAll(archive));
  ASSERT_TRUE(after.ok) << after.error;
  ASSERT_EQ(4u, after.central.size());
  for (size_t k = 1; k < 4; ++k) {
    SCOPED_TRACE(k);
    EXPECT_EQ(after.central[k].header, after.local[k].header);
    EXPECT_EQ(after.central[k].attributes, after.local[k].attributes);
    EXPECT_EQ(0u, after.local[k].f.reserved8);
    EXPECT_EQ(before.central[k - 1].header, after.central[k].header);
  }
}

// Each dropped entry is announced after the kept records before it were copied;
// each run of kept entries is announced anew.
TEST_F(WriterEvents, Delete_AnnouncesEachRunOfKeptEntriesAndEachDroppedEntryInDirectoryOrder) {
  DecodedArchive d = Decode(original);
  ASSERT_TRUE(d.ok) << d.error;
  auto record = [&](int k) { return std::to_string(64 + 2 * d.local[k].nameLength + d.local[k].f.packed); };
  struct Case {
    const char16_t* pattern;
    uint32_t flags;
    Events expected;
  } cases[] = {
      {u"b.txt", 0,
       {"begin Entries 0", "status 0AAAAAA7", "progress " + record(0), "status 0AAAAAA3 b.txt", "begin Entries 0",
        "status 0AAAAAA7", "progress " + record(2), "status 00000000"}},
      {u"b.txt", ARC_DELETE_NO_TOTAL,
       {"status 0AAAAAA7", "progress " + record(0), "status 0AAAAAA3 b.txt", "status 0AAAAAA7",
        "progress " + record(2), "status 00000000"}},
      // One copy per kept record, also where kept records lie back to back.
      {u"a.txt", 0,
       {"status 0AAAAAA3 a.txt", "begin Entries 0", "status 0AAAAAA7", "progress " + record(1),
        "progress " + record(2), "status 00000000"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(plat::ToUtf8(c.pattern) + " " + std::to_string(c.flags));
    ASSERT_TRUE(WriteAll(archive, original));
    EventLog log;
    CArchive2 a;
    ASSERT_EQ(0, a.Open(archive.c_str(), ARC_OPEN_DELETE, &log));
    ASSERT_EQ(0, a.DeleteEntryFromArchive(c.pattern, c.flags));
    EXPECT_EQ(Events{}, log.events) << "marking alone says nothing";
    ASSERT_EQ(0, a.Close());
    EXPECT_EQ(c.expected, log.events);
    EXPECT_EQ(2u, Decode(ReadAll(archive)).central.size());
  }
}

TEST_F(WriterEvents, Delete_RefusedPatternMarksNothing) {
  EventLog log;
  CArchive2 a;
  ASSERT_EQ(0, a.Open(archive.c_str(), ARC_OPEN_DELETE, &log));
  EXPECT_EQ(ARC_E_BAD_NAME, a.DeleteEntryFromArchive(u"a", 0));
  ASSERT_FALSE(log.events.empty());
  for (const auto& e : log.events) EXPECT_EQ("error AAAAAAA7 CheckForWildcards", e);
  EXPECT_EQ(0, a.IsDeleteRequested());
  EXPECT_EQ(0, a.GetEntryDeleteStatus(0));
  EXPECT_EQ(1, a.Close());
  EXPECT_EQ(original, ReadAll(archive));
}

// A central record that cannot be written fails the close without an error event.
TEST_F(WriterEvents, CentralRecordWriteFailureIsReturnedWithoutAnEvent) {
  EventLog log;
  CArchive2 a;
  const std::u16string created = dir / "new.ach";
  ASSERT_EQ(0, a.Open(created.c_str(), ARC_OPEN_CREATE, &log));
  ASSERT_EQ(0, a.AddEntryToArchive(File("a.txt").c_str(), ARC_COMPRESSION_NONE, 0, 0, nullptr));
  log.events.clear();
  plat::fault::FileFaults faults;
  faults.failWritesAfterBytes = 10;  // inside the first central record
  FaultScope scope(faults);
  EXPECT_EQ(ARC_E_WRITE, a.Close());
  EXPECT_EQ(Events{}, log.events);
}

TEST_F(WriterEvents, MergeRefusesASingleFileAndFailsTheRoomCheckInAnotherMode) {
  EventLog single;
  CArchive2 a;
  ASSERT_EQ(0, a.Open(archive.c_str(), ARC_OPEN_READ, &single));
  single.events.clear();
  EXPECT_EQ(E_FAIL, a.MergeArchive(0));
  EXPECT_EQ(Events{"error AAAAAAB0 MergeArchive"}, single.events);
  a.Close();

  {
    CArchive2 s;
    ASSERT_EQ(0, s.Open(archive.c_str(), ARC_OPEN_MULTIVOL, nullptr));
    ASSERT_EQ(0, s.SplitArchive(4000, 0));
    ASSERT_EQ(0, s.Close());
  }
  const std::vector<uint8_t> main = ReadAll(archive);
  EventLog set;
  CArchive2 r;
  ASSERT_EQ(0, r.Open(archive.c_str(), ARC_OPEN_READ, &set));
  ASSERT_GE(r.GetMultiVolumeStatus(), 2);
  set.events.clear();
  EXPECT_EQ(ARC_E_DISK_FULL, r.MergeArchive(0));
  EXPECT_EQ(Events{"error AAAAAAA8 MergeArchive"}, set.events);
  r.Close();
  EXPECT_EQ(main, ReadAll(archive));
}

// CreateSEA's room check fails first for a missing stub or output folder; the
// check's own report comes before the room failure.
TEST_F(WriterEvents, CreateSea_RoomCheckFailuresAndTheirReports) {
  const std::u16string missingFolder = dir / "nowhere";
  const std::u16string sep(1, plat::kSeparator);
  struct Case {
    const char* what;
    std::u16string output, stubPath;
    Events expected;
  } cases[] = {
      {"missing stub", dir / "out.exe", dir / "nostub.exe",
       {"error AAAAAAA4 GetSizeCreateSEA", "error AAAAAAA8 CreateSEA"}},
      {"missing folder", missingFolder + sep + u"out.exe", stub,
       {"error AAAAAAAE IsSpaceForSEA|" + U8(missingFolder + sep), "error AAAAAAA8 CreateSEA"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    EventLog log;
    CArchive2 a;
    ASSERT_EQ(0, a.Open(archive.c_str(), ARC_OPEN_SEA, &log));
    log.events.clear();
    EXPECT_EQ(ARC_E_DISK_FULL, a.CreateSEA(c.output.c_str(), c.stubPath.c_str(), 0));
    EXPECT_EQ(c.expected, log.events);
    EXPECT_EQ(0, a.Close());
    EXPECT_FALSE(plat::Exists(c.output.c_str()));
  }
}

// A relative output path measures the free space of the folder it lies in.
TEST_F(WriterEvents, CreateSea_RelativeOutputPathHasRoom) {
  ZoChar saved[ZO_MAX_PATH];
  ASSERT_GT(plat::GetCurrentDirectory(saved, ZO_MAX_PATH), 0u);
  ASSERT_TRUE(plat::SetCurrentDirectory(dir.Path().c_str()));
  ZoResult space, created;
  {
    CArchive2 a;
    EXPECT_EQ(0, a.Open(archive.c_str(), ARC_OPEN_SEA, nullptr));
    space = a.IsSpaceForCreateSEA(u"relative.exe", stub.c_str());
    created = a.CreateSEA(u"relative.exe", stub.c_str(), 0);
    a.Close();
  }
  ASSERT_TRUE(plat::SetCurrentDirectory(saved));
  EXPECT_EQ(0, space);
  EXPECT_EQ(0, created);
  EXPECT_EQ(3000 + original.size() + 2 * archive.size(), ReadAll(dir / "relative.exe").size());
}

TEST_F(WriterEvents, SplitSea_FilesThatCannotBeCreatedFailWithTheirPaths) {
  // A self-extracting file without a stored name: the stub comes out, the archive
  // file has no name to be created under.
  DecodedArchive d = Decode(original);
  std::vector<uint8_t> sea(3000, 'S');
  const std::vector<uint8_t> body = WithEndRecord(original, d, 3000, u"");
  sea.insert(sea.end(), body.begin(), body.end());
  const std::u16string unnamed = dir / "unnamed.exe";
  ASSERT_TRUE(WriteAll(unnamed, sea));
  const std::u16string out = dir / "out", missing = dir / "missing";
  ASSERT_TRUE(plat::CreateDirectory(out.c_str()));
  const std::u16string sep(1, plat::kSeparator);
  struct Case {
    std::u16string sea, folder;
    Events expected;
    bool stubWritten;
  } cases[] = {
      {unnamed, out, {"progress 3000", "error AAAAAAA2 SplitSEA|" + U8(out + sep)}, true},
      {unnamed, missing, {"error AAAAAAA2 SplitSEA|" + U8(missing + sep + u"Seastub.exe")}, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(U8(c.folder));
    EventLog log;
    CArchive2 a;
    ASSERT_EQ(0, a.Open(c.sea.c_str(), ARC_OPEN_SEA, &log));
    log.events.clear();
    EXPECT_EQ(ARC_E_OPEN_FAILED, a.SplitSEA(c.folder.c_str(), 0));
    EXPECT_EQ(c.expected, log.events);
    a.Close();
    EXPECT_EQ(c.stubWritten, ReadAll(c.folder + sep + u"Seastub.exe") == std::vector<uint8_t>(3000, 'S'));
  }
}

// The announcements of the shape operations, phase by phase, with and without
// their totals. Sizes: 3 stored records of 2,074 bytes, a directory of 282 bytes.
TEST_F(WriterEvents, ShapeOperationsAnnounceEveryPhase) {
  DecodedArchive d = Decode(original);
  ASSERT_EQ(6222u, d.centralOffset);
  ASSERT_EQ(282u, d.centralSize);
  const std::string path = U8(archive), vol2 = U8(dir / "pack2.ach"), vol3 = U8(dir / "pack3.ach");
  // W = 3000 - (282 + 56 + 2 x 8): the main file keeps 2,646 bytes of entry data.
  const Events split = {"begin " + path + " 3000", "status 0AAAAAA7", "progress 2646", "status 0AAAAAAF",
                        "begin " + vol2 + " 3000", "status 0AAAAAA7", "progress 3000", "status 0AAAAAAF",
                        "begin " + vol3 + " 576",  "status 0AAAAAA7", "progress 576",  "status 0AAAAAAF",
                        "progress 282"};
  const Events splitNoTotal = {"status 0AAAAAA7", "progress 2646", "status 0AAAAAA7", "progress 3000",
                               "status 0AAAAAAF", "status 0AAAAAA7", "progress 576",  "status 0AAAAAAF",
                               "progress 282"};
  const Events merge = {"begin " + path + " 2646", "status 0AAAAAA7", "progress 2646", "status 0AAAAAAF",
                        "begin " + vol2 + " 3000", "status 0AAAAAA7", "progress 3000", "status 0AAAAAAF",
                        "begin " + vol3 + " 576",  "status 0AAAAAA7", "progress 576",  "status 0AAAAAAF",
                        "progress 282"};
  const Events mergeNoTotal = {"status 0AAAAAA7", "progress 2646", "status 0AAAAAA7", "progress 3000",
                               "status 0AAAAAAF", "status 0AAAAAA7", "progress 576",  "status 0AAAAAAF",
                               "progress 282"};
  for (uint32_t flags : {0u, ARC_SPLIT_NO_TOTAL}) {
    SCOPED_TRACE(flags);
    ASSERT_TRUE(WriteAll(archive, original));
    EventLog splitLog, mergeLog;
    CArchive2 a;
    ASSERT_EQ(0, a.Open(archive.c_str(), ARC_OPEN_MULTIVOL, &splitLog));
    ASSERT_EQ(0, a.SplitArchive(3000, flags));
    ASSERT_EQ(0, a.Close());
    EXPECT_EQ(flags ? splitNoTotal : split, splitLog.events);
    ASSERT_EQ(0, a.Open(archive.c_str(), ARC_OPEN_MULTIVOL, &mergeLog));
    ASSERT_EQ(0, a.MergeArchive(flags));
    ASSERT_EQ(0, a.Close());
    EXPECT_EQ(flags ? mergeNoTotal : merge, mergeLog.events);
    EXPECT_EQ(original, ReadAll(archive));
  }

  EventLog seaLog;
  CArchive2 a;
  ASSERT_EQ(0, a.Open(archive.c_str(), ARC_OPEN_SEA, &seaLog));
  ASSERT_EQ(0, a.CreateSEA((dir / "setup.exe").c_str(), stub.c_str(), 0));
  ASSERT_EQ(0, a.Close());
  const Events sea = {"begin Stub Executable 3000", "status 0AAAAAA7", "progress 3000", "status 0AAAAAAF",
                      "begin Archive Entries 6222", "status 0AAAAAA7", "progress 6504", "status 0AAAAAAF",
                      "begin Entries 6000",         "status 0AAAAAA7", "status 0AAAAAAF"};
  EXPECT_EQ(sea, seaLog.events);
}

// A cancel is returned as a cancel by every writer, without an error event, and
// leaves an existing archive as it was.
TEST_F(WriterEvents, CancelIsReturnedAsACancelAndChangesNoArchive) {
  ASSERT_TRUE(ScratchFolder::WriteFile(File("big.bin"), std::string(600000, 'x')));
  {
    SCOPED_TRACE("adding");
    CancellingLog log;
    log.armed = true;
    CArchive2 a;
    const std::u16string created = dir / "new.ach";
    ASSERT_EQ(0, a.Open(created.c_str(), ARC_OPEN_CREATE, &log));
    EXPECT_EQ(ARC_E_CANCELLED, a.AddEntryToArchive(File("big.bin").c_str(), ARC_COMPRESSION_ZIP, 6, 0, nullptr));
    EXPECT_FALSE(log.HasErrors());
    log.armed = false;
    EXPECT_EQ(0, a.Close());
    EXPECT_EQ(0u, Decode(ReadAll(created)).count) << "the cancelled entry is not listed";
  }
  {
    SCOPED_TRACE("CreateSEA");
    CancellingLog log;
    log.armed = true;
    CArchive2 a;
    ASSERT_EQ(0, a.Open(archive.c_str(), ARC_OPEN_SEA, &log));
    EXPECT_EQ(ARC_E_CANCELLED, a.CreateSEA((dir / "setup.exe").c_str(), stub.c_str(), 0));
    EXPECT_FALSE(log.HasErrors());
    a.Close();
  }
  struct Rewrite {
    const char* what;
    uint32_t mode;
  } rewrites[] = {{"append", ARC_OPEN_APPEND}, {"delete", ARC_OPEN_DELETE}, {"split", ARC_OPEN_MULTIVOL}};
  for (const Rewrite& w : rewrites) {
    SCOPED_TRACE(w.what);
    CancellingLog log;
    CArchive2 a;
    ASSERT_EQ(0, a.Open(archive.c_str(), w.mode, &log));
    // The cancelled step: the close of an append or delete, the split itself.
    ZoResult result = 0;
    if (w.mode == ARC_OPEN_APPEND) {
      ASSERT_EQ(0, a.AddEntryToArchive(File("big.bin").c_str(), ARC_COMPRESSION_NONE, 0, 0, nullptr));
      log.armed = true;
      result = a.Close();
    } else if (w.mode == ARC_OPEN_DELETE) {
      ASSERT_EQ(0, a.DeleteEntryFromArchive(u"b.txt", 0));
      log.armed = true;
      result = a.Close();
    } else {
      log.armed = true;
      result = a.SplitArchive(3000, 0);
      EXPECT_EQ(1, a.Close());
    }
    EXPECT_EQ(ARC_E_CANCELLED, result);
    EXPECT_FALSE(log.HasErrors());
    EXPECT_EQ(original, ReadAll(archive));
    plat::DeleteFile((dir / "~pack.ach").c_str());
  }
}

TEST_F(WriterEvents, CopySeaMultiFiles_MissingSourceVolumeFailsTheClose) {
  {
    CArchive2 s;
    ASSERT_EQ(0, s.Open(archive.c_str(), ARC_OPEN_MULTIVOL, nullptr));
    ASSERT_EQ(0, s.SplitArchive(3000, 0));
    ASSERT_EQ(0, s.Close());
  }
  ASSERT_TRUE(plat::DeleteFile((dir / "pack3.ach").c_str()));
  const std::u16string out = dir / "dist";
  ASSERT_TRUE(plat::CreateDirectory(out.c_str()));
  const std::u16string sep(1, plat::kSeparator);
  EventLog log;
  CArchive2 a;
  ASSERT_EQ(0, a.Open(archive.c_str(), ARC_OPEN_SEA, &log));
  ASSERT_EQ(0, a.CreateSEA((out + sep + u"setup.exe").c_str(), stub.c_str(), 0));
  log.events.clear();
  EXPECT_EQ(ARC_E_FILE_NOT_FOUND, a.Close());
  EXPECT_NE(log.events.end(), std::find(log.events.begin(), log.events.end(), "error AAAAAAAD CopySEAMultiFiles"));
  EXPECT_EQ("status 0AAAAAAF", log.events.back());
  EXPECT_TRUE(plat::Exists((out + sep + u"pack2.ach").c_str()));
}

}  // namespace
}  // namespace writer_test
