// Rewrites: appending, deleting and comments, and the promise that a rewrite that
// fails anywhere leaves the archive byte for byte as it was.
#include <algorithm>

#include "platform/directory.h"
#include "tests/archive/writer_support.h"

namespace writer_test {
namespace {

class WriterRewrite : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(dir.IsValid());
    src = dir / "src";
    ASSERT_TRUE(plat::CreateDirectory(src.c_str()));
    for (const char* n : {"a.txt", "b.txt", "c.dat"}) {
      ASSERT_TRUE(ScratchFolder::WriteFile(File(n), std::string(3000, n[0]) + "-old"));
    }
    archive = dir / "pack.ach";
    ASSERT_EQ(0, CreateArchive(archive, {File("a.txt"), File("b.txt"), File("c.dat")}, ARC_COMPRESSION_ZIP, 6,
                               u"note"));
    original = ReadAll(archive);
  }
  std::u16string File(const char* name) const { return src + plat::kSeparator + plat::U16(name); }
  std::u16string TempPath() const { return dir / "~pack.ach"; }

  ScratchFolder dir;
  std::u16string src, archive;
  std::vector<uint8_t> original;
};

TEST_F(WriterRewrite, AppendPutsNewEntriesFirstAndDropsReplacedNames) {
  // "A.TXT" replaces "a.txt": names compare without regard to ASCII case.
  ASSERT_TRUE(ScratchFolder::WriteFile(File("A.TXT"), "new a"));
  ASSERT_TRUE(ScratchFolder::WriteFile(File("d.txt"), "new d"));
  CArchive2 a;
  ASSERT_EQ(0, a.Open(archive.c_str(), ARC_OPEN_APPEND, nullptr));
  ASSERT_EQ(0, a.AddEntryToArchive(File("d.txt").c_str(), ARC_COMPRESSION_NONE, 0, 0, nullptr));
  ASSERT_EQ(0, a.AddEntryToArchive(File("A.TXT").c_str(), ARC_COMPRESSION_ZIP, 9, 0, nullptr));
  ASSERT_EQ(0, a.Close());
  EXPECT_FALSE(plat::Exists(TempPath().c_str()));

  std::vector<uint8_t> image = ReadAll(archive);
  DecodedArchive before = Decode(original), after = Decode(image);
  ASSERT_TRUE(after.ok) << after.error;
  EXPECT_EQ((std::vector<std::u16string>{u"d.txt", u"A.TXT", u"b.txt", u"c.dat"}), Names(after));
  EXPECT_EQ(4u, after.count);
  EXPECT_EQ(u"note", after.comment) << "the comment survives an append";
  // Kept entries: their local records are the old bytes, only the offsets moved.
  for (int k : {1, 2}) {
    const auto& oldLocal = before.local[k];
    const auto& newLocal = after.local[k + 1];
    EXPECT_EQ(before.central[k].header, after.central[k + 1].header);
    EXPECT_TRUE(std::equal(original.begin() + static_cast<long>(oldLocal.dataOffset),
                           original.begin() + static_cast<long>(oldLocal.dataOffset + oldLocal.f.packed),
                           image.begin() + static_cast<long>(newLocal.dataOffset)));
  }
  CArchive2 reader;
  ASSERT_EQ(0, reader.Open(archive.c_str(), ARC_OPEN_READ, nullptr));
  EXPECT_EQ(0, reader.VerifyAll());
  reader.Close();
}

// Only names added since Open replace old entries: an old name held twice keeps
// both entries through an unrelated append, and a new entry of that name drops both.
TEST_F(WriterRewrite, AppendKeepsRepeatedOldNamesUnlessReplaced) {
  {
    CArchive2 a;
    ASSERT_EQ(0, a.Open(archive.c_str(), ARC_OPEN_CREATE, nullptr));
    ASSERT_EQ(0, a.AddEntryToArchive(File("a.txt").c_str(), ARC_COMPRESSION_ZIP, 6, 0, nullptr));
    ASSERT_TRUE(ScratchFolder::WriteFile(File("a.txt"), "second a"));
    ASSERT_EQ(0, a.AddEntryToArchive(File("a.txt").c_str(), ARC_COMPRESSION_NONE, 0, 0, nullptr));
    ASSERT_EQ(0, a.AddEntryToArchive(File("b.txt").c_str(), ARC_COMPRESSION_ZIP, 6, 0, nullptr));
    ASSERT_EQ(0, a.Close());
  }
  const std::vector<uint8_t> made = ReadAll(archive);
  const DecodedArchive before = Decode(made);
  ASSERT_TRUE(ScratchFolder::WriteFile(File("d.txt"), "new d"));
  struct Case {
    const char* added;
    std::vector<std::u16string> names;
  } cases[] = {
      {"d.txt", {u"d.txt", u"a.txt", u"a.txt", u"b.txt"}},
      {"a.txt", {u"a.txt", u"b.txt"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.added);
    ASSERT_TRUE(WriteAll(archive, made));
    CArchive2 a;
    ASSERT_EQ(0, a.Open(archive.c_str(), ARC_OPEN_APPEND, nullptr));
    ASSERT_EQ(0, a.AddEntryToArchive(File(c.added).c_str(), ARC_COMPRESSION_ZIP, 6, 0, nullptr));
    ASSERT_EQ(0, a.Close());
    DecodedArchive after = Decode(ReadAll(archive));
    ASSERT_TRUE(after.ok) << after.error;
    EXPECT_EQ(c.names, Names(after));
    EXPECT_EQ(c.names.size(), after.count);
    // The kept entries in their old order, each with its own fields.
    for (size_t k = 1; k < after.central.size(); ++k) {
      const size_t old = before.central.size() - (after.central.size() - k);
      EXPECT_EQ(before.central[old].header, after.central[k].header) << k;
    }
  }
}

TEST_F(WriterRewrite, AppendWithNothingAddedLeavesTheArchiveAndReturnsOne) {
  CArchive2 a;
  ASSERT_EQ(0, a.Open(archive.c_str(), ARC_OPEN_APPEND, nullptr));
  EXPECT_EQ(1, a.AddEntryToArchive((dir / "nothing.here").c_str(), ARC_COMPRESSION_ZIP, 6, 0, nullptr));
  EXPECT_EQ(1, a.Close());
  EXPECT_EQ(original, ReadAll(archive));
  EXPECT_FALSE(plat::Exists(TempPath().c_str()));
}

TEST_F(WriterRewrite, AppendAsksBeforeReplacingAndSkipAllIsRemembered) {
  ASSERT_TRUE(ScratchFolder::WriteFile(File("a.txt"), "changed"));
  ASSERT_TRUE(ScratchFolder::WriteFile(File("b.txt"), "changed"));
  RecordingProgress progress;
  progress.answers = {ARC_ANSWER_SKIP_ALL};
  CArchive2 a;
  ASSERT_EQ(0, a.Open(archive.c_str(), ARC_OPEN_APPEND, &progress));
  EXPECT_EQ(0, a.AddEntryToArchive(File("a.txt").c_str(), ARC_COMPRESSION_ZIP, 6, 0, nullptr));
  EXPECT_EQ(0, a.AddEntryToArchive(File("b.txt").c_str(), ARC_COMPRESSION_ZIP, 6, 0, nullptr));
  EXPECT_EQ(1u, progress.questions.size()) << "skip-all answers the later question itself";
  EXPECT_EQ(1, a.Close()) << "nothing was added, so nothing changes";
  EXPECT_EQ(original, ReadAll(archive));

  // A cancel answer is handed back and nothing is written.
  RecordingProgress cancel;
  cancel.answers = {ARC_E_CANCELLED};
  CArchive2 b;
  ASSERT_EQ(0, b.Open(archive.c_str(), ARC_OPEN_APPEND, &cancel));
  EXPECT_EQ(ARC_E_CANCELLED, b.AddEntryToArchive(File("a.txt").c_str(), ARC_COMPRESSION_ZIP, 6, 0, nullptr));
  b.Close();
  EXPECT_EQ(original, ReadAll(archive));
}

TEST_F(WriterRewrite, DeleteKeepsOrderAndBytesOfTheRest) {
  RecordingProgress progress;
  CArchive2 a;
  ASSERT_EQ(0, a.Open(archive.c_str(), ARC_OPEN_DELETE, &progress));
  EXPECT_EQ(0, a.GetEntryDeleteStatus(0)) << "no marks before the first request";
  EXPECT_EQ(0, a.DeleteEntryFromArchive(u"b.txt", 0));
  EXPECT_EQ(0, a.GetEntryDeleteStatus(0));
  EXPECT_EQ(1, a.GetEntryDeleteStatus(1));
  EXPECT_EQ(1, a.IsDeleteRequested());
  ASSERT_EQ(0, a.Close());
  std::vector<uint8_t> image = ReadAll(archive);
  DecodedArchive before = Decode(original), after = Decode(image);
  ASSERT_TRUE(after.ok) << after.error;
  EXPECT_EQ((std::vector<std::u16string>{u"a.txt", u"c.dat"}), Names(after));
  EXPECT_EQ(2u, after.count);
  EXPECT_EQ(u"note", after.comment);
  EXPECT_EQ(0u, after.central[0].localOffset);
  EXPECT_EQ(before.central[2].header, after.central[1].header);
  // The kept records are the old records byte for byte (header, name, data).
  const auto& l = before.local[2];
  const uint64_t length = 64 + 2 * l.nameLength + l.f.packed;
  EXPECT_TRUE(std::equal(original.begin() + static_cast<long>(l.offset),
                         original.begin() + static_cast<long>(l.offset + length),
                         image.begin() + static_cast<long>(after.central[1].localOffset)));
  EXPECT_NE(progress.statuses.end(),
            std::find(progress.statuses.begin(), progress.statuses.end(), ARC_EVENT_ENTRY_DROPPED));
}

TEST_F(WriterRewrite, DeletePatternsAndNoOps) {
  struct Case {
    const char16_t* pattern;
    ZoResult markResult;
    ZoResult closeResult;
    std::vector<std::u16string> left;
  } cases[] = {
      {u"*.*", 0, 0, {}},
      {u"*.txt", 0, 0, {u"c.dat"}},
      {u"c*", 0, 0, {u"a.txt", u"b.txt"}},
      {u"zzz.txt", 0, 1, {u"a.txt", u"b.txt", u"c.dat"}},
      {u"a", ARC_E_BAD_NAME, 1, {u"a.txt", u"b.txt", u"c.dat"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(plat::ToUtf8(c.pattern));
    ASSERT_TRUE(WriteAll(archive, original));
    CArchive2 a;
    ASSERT_EQ(0, a.Open(archive.c_str(), ARC_OPEN_DELETE, nullptr));
    EXPECT_EQ(c.markResult, a.DeleteEntryFromArchive(c.pattern, 0));
    EXPECT_EQ(c.closeResult, a.Close());
    DecodedArchive after = Decode(ReadAll(archive));
    ASSERT_TRUE(after.ok) << after.error;
    EXPECT_EQ(c.left, Names(after));
    if (c.closeResult == 1) {
      EXPECT_EQ(original, ReadAll(archive));
    }
    if (c.left.empty()) {
      EXPECT_EQ(0u, after.centralOffset);
      EXPECT_EQ(0u, after.centralSize);
    }
  }
}

// Marks: the first request walks the whole directory (so it marks every entry of a
// repeated name), later exact requests stop at their first match, marked or not; folders match
// only through their full names and keep the entries below them.
TEST_F(WriterRewrite, DeleteMarksFollowTheRequestsInDirectoryOrder) {
  const std::u16string folder = src + plat::kSeparator + u"d";
  ASSERT_TRUE(plat::CreateDirectory(folder.c_str()));
  ASSERT_TRUE(ScratchFolder::WriteFile(folder + plat::kSeparator + u"x.txt", "inner"));
  ASSERT_TRUE(ScratchFolder::WriteFile(File("x.txt"), "outer"));
  {
    CArchive2 a;
    ASSERT_EQ(0, a.Open(archive.c_str(), ARC_OPEN_CREATE, nullptr));
    for (const std::u16string& p : {folder, File("x.txt"), File("x.txt"), File("a.txt")})
      ASSERT_EQ(0, a.AddEntryToArchive(p.c_str(), ARC_COMPRESSION_ZIP, 6, ARC_ADD_RECURSE, nullptr));
    ASSERT_EQ(0, a.Close());
  }
  const std::vector<std::u16string> all = {u"d\\", u"d\\x.txt", u"x.txt", u"x.txt", u"a.txt"};
  ASSERT_EQ(all, Names(Decode(ReadAll(archive))));
  const std::vector<uint8_t> made = ReadAll(archive);
  struct Case {
    std::vector<const char16_t*> requests;
    std::vector<int> marks;
  } cases[] = {
      // An exact name matches the whole name or the file part.
      {{u"X.TXT"}, {0, 1, 1, 1, 0}},
      {{u"a.txt", u"x.txt"}, {0, 1, 0, 0, 1}},
      {{u"a.txt", u"x.txt", u"x.txt"}, {0, 1, 0, 0, 1}},
      {{u"a.txt", u"x.txt", u"*.*"}, {1, 1, 1, 1, 1}},
      {{u"d\\"}, {1, 0, 0, 0, 0}},
      {{u"d\\*"}, {1, 1, 0, 0, 0}},
      {{u"*.txt"}, {0, 1, 1, 1, 1}},
      {{u"*\\"}, {1, 0, 0, 0, 0}},
      // A suffix needs a name or file part longer than itself.
      {{u"zz.txt", u"*x.txt"}, {0, 1, 0, 0, 0}},
  };
  for (const Case& c : cases) {
    std::string trace;
    for (const char16_t* r : c.requests) trace += plat::ToUtf8(r) + " ";
    SCOPED_TRACE(trace);
    ASSERT_TRUE(WriteAll(archive, made));
    CArchive2 a;
    ASSERT_EQ(0, a.Open(archive.c_str(), ARC_OPEN_DELETE, nullptr));
    for (const char16_t* r : c.requests) ASSERT_EQ(0, a.DeleteEntryFromArchive(r, 0));
    std::vector<std::u16string> left;
    for (int i = 0; i < 5; ++i) {
      EXPECT_EQ(c.marks[i], a.GetEntryDeleteStatus(i)) << i;
      if (!c.marks[i]) left.push_back(all[i]);
    }
    EXPECT_EQ(0, a.GetEntryDeleteStatus(5));
    EXPECT_EQ(0, a.GetEntryDeleteStatus(-1));
    ASSERT_EQ(0, a.Close());
    DecodedArchive after = Decode(ReadAll(archive));
    ASSERT_TRUE(after.ok) << after.error;
    EXPECT_EQ(left, Names(after));
    EXPECT_EQ(left.size(), after.count);
    EXPECT_EQ(after.count, after.countVolume);
  }
}

TEST_F(WriterRewrite, AbortedDeletionChangesNothing) {
  CArchive2 a;
  ASSERT_EQ(0, a.Open(archive.c_str(), ARC_OPEN_DELETE, nullptr));
  ASSERT_EQ(0, a.DeleteEntryFromArchive(u"*.*", 0));
  a.AbortDeletionProcess();
  EXPECT_EQ(0, a.IsDeleteRequested());
  EXPECT_EQ(1, a.Close());
  EXPECT_EQ(original, ReadAll(archive));
}

TEST_F(WriterRewrite, AnnotateReplacesTheCommentInPlace) {
  ASSERT_TRUE(WriteAll(archive, original));
  {
    CArchive2 a;
    ASSERT_EQ(0, a.Annotate(archive.c_str(), u"a much longer comment than before"));
  }
  DecodedArchive longer = Decode(ReadAll(archive));
  ASSERT_TRUE(longer.ok) << longer.error;
  EXPECT_EQ(u"a much longer comment than before", longer.comment);
  EXPECT_EQ(Names(Decode(original)), Names(longer));
  const size_t lengthBefore = ReadAll(archive).size();
  {
    CArchive2 a;
    ASSERT_EQ(0, a.Annotate(archive.c_str(), u"x"));
  }
  EXPECT_EQ(lengthBefore, ReadAll(archive).size()) << "the file is not shortened";
  CArchive2 reader;
  ASSERT_EQ(0, reader.Open(archive.c_str(), ARC_OPEN_READ, nullptr));
  ZoChar comment[64];
  EXPECT_EQ(0, reader.GetVolumeComment(comment, 64));
  EXPECT_EQ(std::u16string(u"x"), comment);
  EXPECT_EQ(3, reader.GetArchiveCount());
  reader.Close();
  CArchive2 missing;
  EXPECT_EQ(ARC_E_OPEN_FAILED, missing.Annotate((dir / "none.ach").c_str(), u"x"));
}

// One object opened again after a create: the rewrite modes start from a clean
// state, so a rewrite that changes nothing still leaves the archive alone.
TEST_F(WriterRewrite, ObjectReusedAfterACreateCommitsOnlyRealChanges) {
  for (uint32_t mode : {ARC_OPEN_APPEND, ARC_OPEN_DELETE, ARC_OPEN_MULTIVOL}) {
    SCOPED_TRACE(mode);
    CArchive2 a;
    ASSERT_EQ(0, a.Open((dir / "other.ach").c_str(), ARC_OPEN_CREATE, nullptr));
    ASSERT_EQ(0, a.Close());
    ASSERT_EQ(0, a.Open(archive.c_str(), mode, nullptr));
    EXPECT_EQ(1, a.Close());
    EXPECT_EQ(original, ReadAll(archive));
    EXPECT_FALSE(plat::Exists(TempPath().c_str()));
  }
}

// A rewrite of a damaged directory would silently drop the entries after the
// damage; both rewrites refuse instead and leave the file alone.
TEST_F(WriterRewrite, DamagedDirectoryIsNeverRewritten) {
  DecodedArchive d = Decode(original);
  ASSERT_TRUE(ScratchFolder::WriteFile(File("d.txt"), "new d"));
  // Damage at the first entry leaves the walk with nothing, at the second with one.
  const struct {
    int damagedEntry;
    bool append;
  } cases[] = {{0, true}, {0, false}, {1, true}, {1, false}};
  for (const auto& [damagedEntry, append] : cases) {
    SCOPED_TRACE(append ? "append" : "delete");
    SCOPED_TRACE(damagedEntry);
    std::vector<uint8_t> damaged = original;
    damaged[d.central[damagedEntry].fileOffset] ^= 0xFF;  // that central entry's signature
    ASSERT_TRUE(WriteAll(archive, damaged));
    RecordingProgress progress;
    CArchive2 a;
    ASSERT_GE(a.Open(archive.c_str(), append ? ARC_OPEN_APPEND : ARC_OPEN_DELETE, &progress), 0);
    if (append) {
      EXPECT_EQ(0, a.AddEntryToArchive(File("d.txt").c_str(), ARC_COMPRESSION_ZIP, 6, 0, nullptr));
      EXPECT_EQ(ARC_E_BAD_SIGNATURE, a.Close());
    } else {
      EXPECT_EQ(ARC_E_BAD_SIGNATURE, a.DeleteEntryFromArchive(u"a.txt", 0));
      EXPECT_EQ(1, a.Close());
    }
    EXPECT_TRUE(progress.HasError(ARC_ERROR_SIGNATURE));
    EXPECT_EQ(damaged, ReadAll(archive));
    plat::DeleteFile(TempPath().c_str());
  }
}

// A self-extracting file: every rewrite keeps the stub and the base, writes all
// offsets relative to the base, and keeps the stored archive name and the comment.
TEST_F(WriterRewrite, RewritesOfASelfExtractingFileKeepStubBaseAndName) {
  ASSERT_TRUE(ScratchFolder::WriteFile(File("d.txt"), std::string(5000, 'd')));
  std::vector<uint8_t> stub(777);
  for (size_t i = 0; i < stub.size(); ++i) stub[i] = static_cast<uint8_t>(i * 31 + 7);
  const DecodedArchive plain = Decode(original);
  std::vector<uint8_t> sea = stub;
  const std::vector<uint8_t> body = WithEndRecord(original, plain, stub.size(), u"pack.ach");
  sea.insert(sea.end(), body.begin(), body.end());
  struct Case {
    const char* what;
    bool append;
    const char16_t* name;  // added (from src) or deleted
    std::vector<std::u16string> names;
  } cases[] = {
      {"append", true, u"d.txt", {u"d.txt", u"a.txt", u"b.txt", u"c.dat"}},
      {"append replacing", true, u"b.txt", {u"b.txt", u"a.txt", u"c.dat"}},
      {"delete", false, u"b.txt", {u"a.txt", u"c.dat"}},
      {"delete all", false, u"*.*", {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    ASSERT_TRUE(WriteAll(archive, sea));
    CArchive2 a;
    ASSERT_EQ(0, a.Open(archive.c_str(), c.append ? ARC_OPEN_APPEND : ARC_OPEN_DELETE, nullptr));
    if (c.append) {
      ASSERT_EQ(0, a.AddEntryToArchive((src + plat::kSeparator + c.name).c_str(), ARC_COMPRESSION_ZIP, 6,
                                       ARC_ADD_REPLACE, nullptr));
    } else {
      ASSERT_EQ(0, a.DeleteEntryFromArchive(c.name, 0));
    }
    ASSERT_EQ(0, a.Close());
    std::vector<uint8_t> image = ReadAll(archive);
    ASSERT_GE(image.size(), stub.size());
    EXPECT_TRUE(std::equal(stub.begin(), stub.end(), image.begin())) << "the stub stays in front";
    DecodedArchive after = Decode(image);
    ASSERT_TRUE(after.ok) << after.error;
    EXPECT_EQ(stub.size(), after.base);
    EXPECT_EQ(u"pack.ach", after.storedName);
    EXPECT_EQ(u"note", after.comment);
    EXPECT_EQ(1u, after.volumeCount);
    EXPECT_EQ(c.names, Names(after));
    EXPECT_EQ(c.names.size(), after.count);
    EXPECT_EQ(after.count, after.countVolume);
    // Local records back to back from the base, the directory right after them.
    uint64_t offset = 0;
    for (const auto& l : after.local) {
      EXPECT_EQ(offset, l.offset);
      offset += 64 + 2ull * l.nameLength + l.f.packed;
    }
    EXPECT_EQ(offset, after.centralOffset);
    // Every kept entry carries its old shared fields and stored bytes.
    for (size_t i = 0; i < after.central.size(); ++i) {
      for (size_t k = 0; k < plain.central.size(); ++k) {
        if (plain.central[k].name != after.central[i].name || after.central[i].name == c.name) continue;
        EXPECT_EQ(plain.central[k].header, after.central[i].header);
        const uint64_t from = stub.size() + plain.local[k].dataOffset;  // in `sea`
        EXPECT_TRUE(std::equal(sea.begin() + static_cast<long>(from),
                               sea.begin() + static_cast<long>(from + plain.local[k].f.packed),
                               image.begin() + static_cast<long>(after.local[i].dataOffset)));
      }
    }
    CArchive2 reader;
    ASSERT_EQ(0, reader.Open(archive.c_str(), ARC_OPEN_READ, nullptr));
    EXPECT_EQ(0, reader.VerifyAll());
    reader.Close();
  }
}

// Every way a rewrite can fail part-way leaves the original archive intact.
TEST_F(WriterRewrite, FailedRewritesLeaveTheArchiveByteForByte) {
  ASSERT_TRUE(ScratchFolder::WriteFile(File("new.txt"), std::string(100000, 'n')));
  // Late: inside the end record of the new file (the delete drops a.txt's records).
  const DecodedArchive before = Decode(original);
  const int64_t deletedBytes = 64 + 2 * 5 + static_cast<int64_t>(before.local[0].f.packed) + 84 + 2 * 5;
  plat::fault::FileFaults diskFull;
  diskFull.failWritesAfterBytes = 100;
  plat::fault::FileFaults diskFullAtEnd;
  plat::fault::FileFaults renameFails;
  renameFails.failRename = true;
  plat::fault::FileFaults closeFails;
  closeFails.failClose = true;
  struct Case {
    const char* what;
    plat::fault::FileFaults faults;
  } cases[] = {{"disk full early", diskFull},
               {"disk full late", diskFullAtEnd},
               {"rename fails", renameFails},
               {"close fails", closeFails}};
  for (const auto& c : cases) {
    for (bool append : {true, false}) {
      SCOPED_TRACE(std::string(c.what) + (append ? " / append" : " / delete"));
      ASSERT_TRUE(WriteAll(archive, original));
      CArchive2 a;
      ASSERT_EQ(0, a.Open(archive.c_str(), append ? ARC_OPEN_APPEND : ARC_OPEN_DELETE, nullptr));
      ZoResult r;
      {
        plat::fault::FileFaults faults = c.faults;
        if (faults.failWritesAfterBytes == -1 && !faults.failRename && !faults.failClose)
          faults.failWritesAfterBytes = static_cast<int64_t>(original.size()) - (append ? 0 : deletedBytes) - 20;
        FaultScope scope(faults);
        r = append ? a.AddEntryToArchive(File("new.txt").c_str(), ARC_COMPRESSION_NONE, 0, 0, nullptr)
                   : a.DeleteEntryFromArchive(u"a.txt", 0);
        ZoResult closed = a.Close();
        EXPECT_TRUE(r < 0 || closed < 0) << "the failure is reported";
      }
      EXPECT_EQ(original, ReadAll(archive));
      plat::DeleteFile(TempPath().c_str());
    }
  }
}

}  // namespace
}  // namespace writer_test
