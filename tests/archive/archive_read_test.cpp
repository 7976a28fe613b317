// Reading: the end-record scan, the three layouts, the directory walk and the
// entry queries, the open modes' failures and damaged directories.
#include "tests/archive/archive_test_support.h"

namespace {

using archive_test::ArchiveTest;
using archive_test::RecordingProgress;
using testarc::ArchiveSpec;

ArchiveSpec TwoEntries() {
  ArchiveSpec spec;
  spec.entries.push_back(testarc::Folder(u"docs\\"));
  spec.entries.push_back(testarc::File(u"docs\\readme.txt", "hello, world\n"));
  spec.entries.push_back(testarc::File(u"Setup.EXE", std::string(5000, 'x'), 0));
  return spec;
}

class ReadTest : public ArchiveTest {};

TEST_F(ReadTest, PlainArchive_QueriesAnswerFromTheCentralDirectory) {
  ArchiveSpec spec = TwoEntries();
  spec.comment = u"the comment";
  std::u16string path = Put("a.ach", testarc::Build(spec));
  CArchive2 archive;
  ASSERT_EQ(archive.Open(path.c_str(), ARC_OPEN_READ, nullptr), 0);
  EXPECT_EQ(archive.GetArchiveCount(), 3);
  EXPECT_FALSE(archive.IsDirectoryDamaged());
  EXPECT_EQ(archive.GetArchiveSEAStatus(), 0);
  EXPECT_EQ(archive.GetMultiVolumeStatus(), 1);

  ZoChar name[260];
  EXPECT_EQ(archive.GetEntryName(1, name, 260), 1);
  EXPECT_EQ(std::u16string(name), u"docs\\readme.txt");
  int64_t size = 0;
  EXPECT_EQ(archive.GetEntryUncompressedSize(u"DOCS\\README.TXT", size), 0);  // ASCII case folded
  EXPECT_EQ(size, 13);
  EXPECT_EQ(archive.GetEntryUncompressedSize(u"readme.txt", size), 1);  // no file-part match here
  EXPECT_EQ(archive.GetEntryUncompressedSize(u"*.txt", size), 1);       // nor a pattern
  int type = -1;
  EXPECT_EQ(archive.GetEntryCompressionType(2, type), 1);
  EXPECT_EQ(type, 0);
  int crc = 0;
  EXPECT_EQ(archive.GetEntryCRC32(u"setup.exe", crc), 0);
  EXPECT_EQ(static_cast<uint32_t>(crc), testarc::Crc32(std::string(5000, 'x')));
  EXPECT_EQ(archive.IsEntryInArchive(u"docs\\"), 1);
  EXPECT_EQ(archive.IsEntryInArchive(u"nothere"), 0);

  // Out-of-range indexes answer 0 and leave the output alone.
  int attributes = 1234;
  EXPECT_EQ(archive.GetEntryFileAttributes(-1, attributes), 0);
  EXPECT_EQ(archive.GetEntryFileAttributes(3, attributes), 0);
  EXPECT_EQ(attributes, 1234);
  name[0] = u'x';
  EXPECT_EQ(archive.GetEntryName(3, name, 260), 0);
  EXPECT_EQ(name[0], 0);

  ZoChar comment[12];
  EXPECT_EQ(archive.GetVolumeComment(comment, 12), 0);  // one unit more than the comment
  EXPECT_EQ(std::u16string(comment), u"the comment");
  EXPECT_EQ(archive.GetVolumeComment(comment, 11), ARC_E_BAD_NAME);
  int64_t total = 0;
  EXPECT_EQ(archive.GetSizeExtractAll(total), 0);
  EXPECT_EQ(total, 13 + 5000);
  EXPECT_EQ(archive.Close(), 0);
}

TEST_F(ReadTest, SelfExtractingFile_ReadsLikeThePlainArchive) {
  ArchiveSpec spec = TwoEntries();
  spec.stub = std::string(70000, 'M');  // any executable; the reader needs nothing of it
  std::u16string path = Put("setup.exe", testarc::Build(spec));
  CArchive2 archive;
  ASSERT_EQ(archive.Open(path.c_str(), ARC_OPEN_READ, nullptr), 0);
  EXPECT_EQ(archive.GetArchiveSEAStatus(), 1);
  EXPECT_EQ(archive.GetBase(), 70000u);
  EXPECT_EQ(archive.VerifyAll(), 0);
  EXPECT_EQ(archive.ExtractAll(out_.c_str(), 0), 0);
  EXPECT_EQ(archive_test::ReadAll(Out("docs/readme.txt")), "hello, world\n");
}

TEST_F(ReadTest, EndRecordScan_FindsTheRecordOnlyWithinItsWindow) {
  // Strings and trailing bytes after the 56-byte record may total 3999 bytes.
  struct Case {
    const char* label;
    size_t commentUnits;
    size_t trailingBytes;
    bool found;
  };
  const Case cases[] = {
      {"no strings", 0, 0, true},
      {"1999 units of strings", 1999, 0, true},
      {"2000 units of strings", 2000, 0, false},
      {"1000 units and 1999 trailing bytes", 1000, 1999, true},
      {"1000 units and 2000 trailing bytes", 1000, 2000, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    ArchiveSpec spec = TwoEntries();
    spec.comment = std::u16string(c.commentUnits, u'c');
    spec.trailing = std::string(c.trailingBytes, 't');
    std::u16string path = Put("scan.ach", testarc::Build(spec));
    RecordingProgress progress;
    CArchive2 archive;
    ZoResult r = archive.Open(path.c_str(), ARC_OPEN_READ, &progress);
    if (c.found) {
      EXPECT_EQ(r, 0);
      EXPECT_EQ(archive.GetArchiveCount(), 3);
      ZoChar comment[1024];
      // Comments beyond 1023 units are kept to 1023; the buffer check uses the record's length.
      EXPECT_EQ(archive.GetVolumeComment(comment, 1024), c.commentUnits <= 1023 ? 0 : ARC_E_BAD_NAME);
    } else {
      EXPECT_EQ(r, ARC_E_BAD_SIGNATURE);
      EXPECT_TRUE(progress.HasError(ARC_ERROR_SIGNATURE, u"LoadEndOfCentralDirectory"));
      EXPECT_TRUE(progress.HasError(ARC_ERROR_SIGNATURE, u"open read"));
    }
  }
}

TEST_F(ReadTest, EndRecordStrings_RunningPastTheFileEndStillLoadTheRecord) {
  // The record counts as loaded when its strings are cut short by the end of the
  // file: the comment keeps what is there, and the buffer check still uses the
  // record's own length.
  struct Case {
    const char* label;
    uint32_t commentLength;
    unsigned bufferUnits;
    ZoResult commentResult;
  };
  const Case cases[] = {
      {"as written", 10, 11, 0},
      {"claims 1500 units, buffer for them", 1500, 1501, 0},
      {"claims 1500 units, buffer one short", 1500, 1500, ARC_E_BAD_NAME},
      {"claims 2^31 units", 0x80000000u, 4096, ARC_E_BAD_NAME},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    ArchiveSpec spec = TwoEntries();
    spec.comment = u"ten units!";
    spec.commentLengthOverride = c.commentLength;
    std::u16string path = Put("strings.ach", testarc::Build(spec));
    CArchive2 archive;
    ASSERT_EQ(archive.Open(path.c_str(), ARC_OPEN_READ, nullptr), 0);
    EXPECT_EQ(archive.GetArchiveCount(), 3);
    std::vector<ZoChar> comment(c.bufferUnits, u'?');
    EXPECT_EQ(archive.GetVolumeComment(comment.data(), c.bufferUnits), c.commentResult);
    if (c.commentResult == 0) {
      EXPECT_EQ(std::u16string(comment.data()), u"ten units!");
    }
  }
}

TEST_F(ReadTest, EndRecordScan_IgnoresASignatureInsideTheComment) {
  // The comment holds a complete fake end record: only the real one's directory
  // ends where it begins.
  ArchiveSpec spec = TwoEntries();
  std::string fake;
  testarc::PutU32(fake, 0x0C054D55);
  fake += std::string(52, '\0');
  std::u16string comment;
  for (size_t i = 0; i + 1 < fake.size(); i += 2)
    comment.push_back(static_cast<char16_t>(static_cast<uint8_t>(fake[i]) | static_cast<uint8_t>(fake[i + 1]) << 8));
  spec.comment = comment + u"tail";
  std::u16string path = Put("fake.ach", testarc::Build(spec));
  CArchive2 archive;
  ASSERT_EQ(archive.Open(path.c_str(), ARC_OPEN_READ, nullptr), 0);
  EXPECT_EQ(archive.GetArchiveCount(), 3);
  EXPECT_FALSE(archive.IsDirectoryDamaged());
}

TEST_F(ReadTest, EndRecordScan_TakesTheSignatureWhenNoCandidateIsConsistent) {
  // Readers do not rely on centralSize: a record that misstates it is still found,
  // and the directory is walked from centralOffset as usual.
  ArchiveSpec spec = TwoEntries();
  spec.centralSizeOverride = 12345;
  std::u16string path = Put("size.ach", testarc::Build(spec));
  CArchive2 archive;
  ASSERT_EQ(archive.Open(path.c_str(), ARC_OPEN_READ, nullptr), 0);
  EXPECT_EQ(archive.GetArchiveCount(), 3);
  EXPECT_FALSE(archive.IsDirectoryDamaged());
  EXPECT_EQ(archive.ExtractAll(out_.c_str(), 0), 0);
  EXPECT_EQ(archive_test::ReadAll(Out("docs/readme.txt")), "hello, world\n");

  // A centralOffset pointing past the record gives an empty (damaged) directory,
  // never a read outside the file.
  ArchiveSpec beyond = TwoEntries();
  beyond.centralOffsetOverride = 0xFFFFFFFFFFFF0000ull;
  std::u16string beyondPath = Put("beyond.ach", testarc::Build(beyond));
  CArchive2 second;
  ASSERT_EQ(second.Open(beyondPath.c_str(), ARC_OPEN_READ, nullptr), 0);
  EXPECT_TRUE(second.IsDirectoryDamaged());
  EXPECT_EQ(second.GetIndexedEntryCount(), 0);
  ZoChar name[260];
  EXPECT_EQ(second.GetEntryName(0, name, 260), 0);
}

TEST_F(ReadTest, EmptyArchive_HasNoEntriesAndExtractsNothing) {
  ArchiveSpec spec;
  std::string bytes = testarc::Build(spec);
  ASSERT_EQ(bytes.size(), 56u);
  std::u16string path = Put("empty.ach", bytes);
  CArchive2 archive;
  ASSERT_EQ(archive.Open(path.c_str(), ARC_OPEN_READ, nullptr), 0);
  EXPECT_EQ(archive.GetArchiveCount(), 0);
  EXPECT_EQ(archive.VerifyAll(), 0);
  EXPECT_EQ(archive.ExtractAll(out_.c_str(), 0), 0);
  ZoChar name[260];
  EXPECT_EQ(archive.GetEntryName(0, name, 260), 0);
}

TEST_F(ReadTest, CentralEntryStrings_AreSteppedOver) {
  ArchiveSpec spec = TwoEntries();
  spec.entries[1].centralComment = u"a comment readers skip";
  spec.entries[1].centralReserved = u"reserved";
  std::u16string path = Put("strings.ach", testarc::Build(spec));
  CArchive2 archive;
  ASSERT_EQ(archive.Open(path.c_str(), ARC_OPEN_READ, nullptr), 0);
  EXPECT_FALSE(archive.IsDirectoryDamaged());
  ZoChar name[260];
  ASSERT_EQ(archive.GetEntryName(2, name, 260), 1);
  EXPECT_EQ(std::u16string(name), u"Setup.EXE");
  EXPECT_EQ(archive.ExtractEntry(u"readme.txt", out_.c_str(), 0), 0);
  EXPECT_EQ(archive_test::ReadAll(Out("docs/readme.txt")), "hello, world\n");
}

TEST_F(ReadTest, MultiVolumeSet_EntrySpanningThreeFilesIsReadWhole) {
  ArchiveSpec spec;
  std::string big;
  for (uint32_t i = 0; i < 300000; ++i) big.push_back(static_cast<char>('a' + (i * 7919u) % 26));
  spec.entries.push_back(testarc::File(u"first.txt", "first file"));
  spec.entries.push_back(testarc::File(u"big.bin", big, 0));
  spec.entries.push_back(testarc::File(u"deflated.bin", big));
  spec.storedName = u"C:\\elsewhere\\pack.ach";  // only the file part names the volumes
  // Main part ends inside big.bin's data; volume 2 is smaller than the rest of it.
  testarc::VolumeSet set = testarc::BuildVolumeSet(spec, 1000, {100000, 1});
  std::u16string main = Put("setup.ach", set.main);
  Put("pack2.ach", set.volumes[0]);
  Put("pack3.ach", set.volumes[1]);
  CArchive2 archive;
  ASSERT_EQ(archive.Open(main.c_str(), ARC_OPEN_READ, nullptr), 0);
  EXPECT_EQ(archive.GetMultiVolumeStatus(), 3);
  EXPECT_EQ(archive.GetArchiveSize(), static_cast<int64_t>(set.main.size() + set.volumes[0].size() + set.volumes[1].size()));
  EXPECT_EQ(archive.ValidateMultiVolume(), 0);
  EXPECT_EQ(archive.VerifyAll(), 0);
  EXPECT_EQ(archive.ValidateEntry(u"*.*"), 1);
  ASSERT_EQ(archive.ExtractAll(out_.c_str(), 0), 0);
  EXPECT_EQ(archive_test::ReadAll(Out("big.bin")), big);
  EXPECT_EQ(archive_test::ReadAll(Out("deflated.bin")), big);
  EXPECT_EQ(archive_test::ReadAll(Out("first.txt")), "first file");
}

TEST_F(ReadTest, MultiVolumeSet_EntryEndingAtAVolumeEndDoesNotNeedTheNextVolume) {
  ArchiveSpec spec;
  spec.entries.push_back(testarc::File(u"one.txt", "0123456789", 0));
  spec.entries.push_back(testarc::File(u"two.txt", "abcdefghij", 0));
  spec.storedName = u"pack.ach";
  testarc::Layout layout;
  testarc::Build(spec, &layout);
  // The main file ends exactly after one.txt's data; two.txt lives in volume 2.
  testarc::VolumeSet set = testarc::BuildVolumeSet(spec, layout.localOffsets[1], {1});
  std::u16string main = Put("pack.ach", set.main);
  std::u16string volume = Put("pack2.ach", set.volumes[0]);
  CArchive2 archive;
  ASSERT_EQ(archive.Open(main.c_str(), ARC_OPEN_READ, nullptr), 0);
  ASSERT_TRUE(plat::DeleteFile(volume.c_str()));
  EXPECT_EQ(archive.VerifyEntryComplete(0), 0);  // never opens volume 2
  RecordingProgress progress;
  CArchive2 second;
  ASSERT_EQ(second.Open(main.c_str(), ARC_OPEN_READ, &progress), 0);
  EXPECT_EQ(second.VerifyEntryComplete(1), ARC_E_VOLUME_NOT_FOUND);
  EXPECT_TRUE(progress.HasError(ARC_ERROR_VOLUME_MISSING, u"ValidateEntryData|2"));
}

TEST_F(ReadTest, OpenFailures_ReturnTheirCodesAndEvents) {
  RecordingProgress progress;
  CArchive2 missing;
  std::u16string nowhere = scratch_ / "nowhere.ach";
  EXPECT_EQ(missing.Open(nowhere.c_str(), ARC_OPEN_READ, &progress), ARC_E_FILE_NOT_FOUND);
  EXPECT_TRUE(progress.HasError(ARC_ERROR_FILE_MISSING, u"open read"));

  std::u16string junk = Put("junk.bin", std::string(10000, 'j'));
  CArchive2 notArchive;
  EXPECT_EQ(notArchive.Open(junk.c_str(), ARC_OPEN_READ, nullptr), ARC_E_BAD_SIGNATURE);
  EXPECT_EQ(notArchive.GetArchiveCount(), -1);

  RecordingProgress modeProgress;
  CArchive2 badMode;
  EXPECT_EQ(badMode.Open(junk.c_str(), 6, &modeProgress), E_NOTIMPL);
  EXPECT_TRUE(modeProgress.HasError(ARC_ERROR_MODE, u"Open Main"));

  CArchive2 unopened;
  EXPECT_EQ(unopened.GetArchiveCount(), -1);
  EXPECT_EQ(unopened.IsEntryInArchive(u"x.txt"), 0);
  EXPECT_EQ(unopened.GetArchiveSize(), -1);
  int64_t size = 0;
  EXPECT_EQ(unopened.GetSizeExtractAll(size), E_FAIL);
  EXPECT_EQ(unopened.ExtractAll(out_.c_str(), 0), E_FAIL);
}

TEST_F(ReadTest, DamagedDirectory_IsReportedAndRefusedByExtractAndVerify) {
  // Each case damages the directory differently; entries before the damage stay
  // queryable, but nothing is extracted and verification fails.
  struct Case {
    const char* label;
    void (*damage)(ArchiveSpec&);
    int walked;    // entries the walk reaches (lookups by name)
    int readable;  // indexes that read (the walk, bounded by the entry count)
  };
  const Case cases[] = {
      {"bad signature first", [](ArchiveSpec& s) { s.entries[0].centralSignatureOverride = 0x12345678; }, 0, 0},
      {"bad signature in the middle", [](ArchiveSpec& s) { s.entries[1].centralSignatureOverride = 0x12345678; }, 1, 1},
      {"entry count larger than the walk", [](ArchiveSpec& s) { s.entryCountOverride = 7; }, 3, 3},
      {"entry count smaller than the walk", [](ArchiveSpec& s) { s.entryCountOverride = 2; }, 3, 2},
      {"name running past the directory", [](ArchiveSpec& s) { s.entries[2].centralNameLengthOverride = 0x7FFFFFFF; }, 2, 2},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    ArchiveSpec spec = TwoEntries();
    c.damage(spec);
    std::u16string path = Put("damaged.ach", testarc::Build(spec));
    RecordingProgress progress;
    CArchive2 archive;
    ASSERT_EQ(archive.Open(path.c_str(), ARC_OPEN_READ, &progress), 0);  // a walk's end is no failure
    EXPECT_TRUE(archive.IsDirectoryDamaged());
    EXPECT_EQ(archive.GetIndexedEntryCount(), c.walked);
    // Entries before the damage answer by name and by index; those from it on do not.
    EXPECT_EQ(archive.IsEntryInArchive(u"docs\\"), c.walked > 0 ? 1 : 0);
    int64_t size = -1;
    EXPECT_EQ(archive.GetEntryUncompressedSize(u"setup.exe", size), c.walked > 2 ? 0 : 1);
    ZoChar name[260];
    EXPECT_EQ(archive.GetEntryName(c.readable, name, 260), 0);
    EXPECT_EQ(name[0], 0);
    if (c.readable > 0) {
      EXPECT_EQ(archive.GetEntryName(c.readable - 1, name, 260), 1);
    }
    EXPECT_EQ(archive.ExtractAll(out_.c_str(), ARC_EXTRACT_OVERWRITE), ARC_E_BAD_SIGNATURE);
    EXPECT_TRUE(progress.HasError(ARC_ERROR_SIGNATURE, u"ExtractAll|central directory damaged"));
    EXPECT_EQ(archive.VerifyAll(), ARC_E_BAD_SIGNATURE);
    EXPECT_EQ(archive.ExtractEntry(u"*.*", out_.c_str(), ARC_EXTRACT_OVERWRITE), ARC_E_BAD_SIGNATURE);
    EXPECT_FALSE(plat::Exists(Out("docs").c_str()));
  }
}

TEST_F(ReadTest, HugeEntryCount_DoesNotSizeAnAllocation) {
  ArchiveSpec spec = TwoEntries();
  spec.entryCountOverride = 0xFFFFFFFFu;
  std::u16string path = Put("count.ach", testarc::Build(spec));
  CArchive2 archive;
  ASSERT_EQ(archive.Open(path.c_str(), ARC_OPEN_READ, nullptr), 0);
  ZoChar name[260];
  EXPECT_EQ(archive.GetEntryName(2, name, 260), 1);
  EXPECT_EQ(archive.GetEntryName(3, name, 260), 0);  // beyond the walk: unreadable, not a good empty read
  EXPECT_EQ(archive.GetEntryName(1000000, name, 260), 0);
  EXPECT_EQ(name[0], 0);
}

TEST_F(ReadTest, OverlongNameAndComment_AreKeptWithinTheBuffers) {
  ArchiveSpec spec;
  spec.entries.push_back(testarc::File(std::u16string(300, u'n'), "x"));
  spec.comment = std::u16string(1500, u'c');
  std::u16string path = Put("long.ach", testarc::Build(spec));
  RecordingProgress progress;
  CArchive2 archive;
  ASSERT_EQ(archive.Open(path.c_str(), ARC_OPEN_READ, &progress), 0);
  ZoChar name[260];
  EXPECT_EQ(archive.GetEntryName(0, name, 260), 1);
  EXPECT_EQ(plat::Length(name), 259u);
  EXPECT_EQ(archive.GetEntryName(0, name, 100), ARC_E_BAD_NAME);  // a cut name would name another entry
  std::vector<ZoChar> comment(1600, u'?');
  EXPECT_EQ(archive.GetVolumeComment(comment.data(), 1600), 0);
  EXPECT_EQ(plat::Length(comment.data()), 1023u);
  // A name the engine cannot hold whole is never extracted.
  EXPECT_EQ(archive.ExtractAll(out_.c_str(), 0), ARC_E_BAD_NAME);
}

TEST_F(ReadTest, ValidateEntry_ReportsCrcMismatchAndReadFailureAsWhatTheyAre) {
  ArchiveSpec spec = TwoEntries();
  spec.entries[2].crcCompressedOverride = 0xDEADBEEF;
  std::u16string path = Put("crc.ach", testarc::Build(spec));
  RecordingProgress progress;
  CArchive2 archive;
  ASSERT_EQ(archive.Open(path.c_str(), ARC_OPEN_READ, &progress), 0);
  EXPECT_EQ(archive.ValidateEntry(1), 0);
  EXPECT_EQ(archive.ValidateEntry(2), ARC_E_CHECK);
  EXPECT_TRUE(progress.HasError(ARC_ERROR_CRC, u"ValidateEntryData|Setup.EXE"));
  EXPECT_EQ(archive.ValidateEntry(u"readme.txt"), 0);
  EXPECT_EQ(archive.ValidateEntry(u"*.*"), ARC_E_CHECK);
  EXPECT_EQ(archive.ValidateEntry(u"nothing.here"), 1);
  EXPECT_EQ(archive.VerifyEntryComplete(2), ARC_E_CHECK);

  // Stored bytes claimed beyond the data region: a read failure, not a CRC error.
  ArchiveSpec past = TwoEntries();
  past.entries[2].compressedSizeOverride = 1u << 30;
  std::u16string pastPath = Put("past.ach", testarc::Build(past));
  RecordingProgress pastProgress;
  CArchive2 pastArchive;
  ASSERT_EQ(pastArchive.Open(pastPath.c_str(), ARC_OPEN_READ, &pastProgress), 0);
  EXPECT_EQ(pastArchive.ValidateEntry(2), ARC_E_READ);
  EXPECT_TRUE(pastProgress.HasError(ARC_ERROR_READ, u"ValidateEntryData"));
}

// Cancels at the first block the engine reports.
class CancellingProgress : public RecordingProgress {
 public:
  int32_t AddProgress(uint32_t low, int32_t high) override {
    status = ARC_E_CANCELLED;
    return CZoArchiveProgress::AddProgress(low, high);
  }
};

TEST_F(ReadTest, ValidateEntry_ReturnsACancelAsACancel) {
  std::u16string path = Put("cancel.ach", testarc::Build(TwoEntries()));
  CancellingProgress progress;
  CArchive2 archive;
  ASSERT_EQ(archive.Open(path.c_str(), ARC_OPEN_READ, &progress), 0);
  EXPECT_EQ(archive.ValidateEntry(2), ARC_E_CANCELLED);
  EXPECT_EQ(archive.ValidateEntry(u"*.*"), ARC_E_CANCELLED);
  EXPECT_EQ(archive.VerifyAll(), ARC_E_CANCELLED);
  EXPECT_TRUE(progress.Errors().empty());  // no CRC event for a cancel
}

TEST_F(ReadTest, ByIndexQueries_FollowDirectoryOrder) {
  ArchiveSpec spec;
  for (int i = 0; i < 52; ++i) spec.entries.push_back(testarc::File(plat::U16("f" + std::to_string(i) + ".txt"), "x"));
  std::u16string path = Put("many.ach", testarc::Build(spec));
  CArchive2 archive;
  ASSERT_EQ(archive.Open(path.c_str(), ARC_OPEN_READ, nullptr), 0);
  for (int i = 0; i < 52; ++i) {
    ZoChar name[260];
    ASSERT_EQ(archive.GetEntryName(i, name, 260), 1);
    EXPECT_EQ(std::u16string(name), plat::U16("f" + std::to_string(i) + ".txt"));
  }
  int count = 3;
  EXPECT_EQ(archive.ExtractEntry(50, &count, out_.c_str(), 0), 1);
  EXPECT_EQ(archive_test::ReadAll(Out("f50.txt")), "x");
  EXPECT_EQ(archive_test::ReadAll(Out("f51.txt")), "x");
  EXPECT_FALSE(plat::Exists(Out("f49.txt").c_str()));
}

}  // namespace
