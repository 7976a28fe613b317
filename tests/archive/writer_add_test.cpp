// Creating archives: every field of every record against an independent decoder,
// the round trip through the reader, and the refusals of adding.
#include <algorithm>

#include "platform/directory.h"
#include "platform/paths.h"
#include "tests/archive/writer_support.h"

namespace writer_test {
namespace {

std::string Pattern(size_t n) {
  std::string s;
  for (size_t i = 0; i < n; ++i) s.push_back(static_cast<char>('a' + (i * 7 + i / 13) % 26));
  return s;
}

class WriterAdd : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(dir.IsValid());
    tree = dir / "tree";
    ASSERT_TRUE(plat::CreateDirectory(tree.c_str()));
    ASSERT_TRUE(plat::CreateDirectory((tree + plat::kSeparator + u"sub").c_str()));
    big = Pattern(600000);  // more than two blocks
    ASSERT_TRUE(ScratchFolder::WriteFile(tree + plat::kSeparator + u"big.txt", big));
    ASSERT_TRUE(ScratchFolder::WriteFile(tree + plat::kSeparator + u"empty.bin", ""));
    ASSERT_TRUE(ScratchFolder::WriteFile(tree + plat::kSeparator + u"sub" + plat::kSeparator + u"run.sh", "#!/bin/sh\necho hi\n"));
    plat::SetPosixMode((tree + plat::kSeparator + u"sub" + plat::kSeparator + u"run.sh").c_str(), 0755);
    archive = dir / "out.ach";
  }
  ScratchFolder dir;
  std::u16string tree, archive;
  std::string big;
};

TEST_F(WriterAdd, CreatedTreeMatchesTheFormatFieldByField) {
  for (uint32_t type : {ARC_COMPRESSION_NONE, ARC_COMPRESSION_ZIP}) {
    SCOPED_TRACE(type);
    ZoFileTime before = plat::Now();
    ASSERT_EQ(0, CreateArchive(archive, {tree}, type, 9));
    std::vector<uint8_t> image = ReadAll(archive);
    DecodedArchive a = Decode(image);
    ASSERT_TRUE(a.ok) << a.error;

    EXPECT_EQ(1u, a.volumeCount);
    EXPECT_EQ(0u, a.reserved8);
    EXPECT_EQ(5u, a.count);
    EXPECT_EQ(a.count, a.countVolume);
    EXPECT_EQ(0u, a.base);
    EXPECT_TRUE(a.comment.empty());
    EXPECT_TRUE(a.storedName.empty());
    EXPECT_TRUE(a.reservedText.empty());

    // Every folder comes before what lies below it.
    auto names = Names(a);
    auto at = [&](const std::u16string& n) { return std::find(names.begin(), names.end(), n) - names.begin(); };
    ASSERT_EQ(u"tree\\", names[0]);
    EXPECT_LT(at(u"tree\\sub\\"), at(u"tree\\sub\\run.sh"));
    EXPECT_LT(at(u"tree\\big.txt"), 5);
    EXPECT_LT(at(u"tree\\empty.bin"), 5);

    uint64_t expectedOffset = 0;
    for (size_t i = 0; i < a.central.size(); ++i) {
      const auto& c = a.central[i];
      const auto& l = a.local[i];
      SCOPED_TRACE(plat::ToUtf8(c.name));
      EXPECT_EQ(c.header, l.header) << "central bytes 4..51 copy the local header";
      EXPECT_EQ(expectedOffset, c.localOffset) << "local records are back to back in list order";
      EXPECT_EQ(c.name, l.name);
      EXPECT_EQ(c.name.size(), c.nameLength);
      EXPECT_EQ(0u, l.commentLength);
      EXPECT_EQ(0u, c.commentLength);
      EXPECT_EQ(0u, c.reservedLength);
      EXPECT_EQ(0u, c.reserved64);
      EXPECT_EQ(0u, c.reserved72);
      EXPECT_EQ(0u, c.f.reserved8);
      // A file deflate would not shrink (the short script) is stored.
      if (c.f.type != type) {
        EXPECT_EQ(ARC_COMPRESSION_ZIP, type);
        EXPECT_EQ(ARC_COMPRESSION_NONE, c.f.type);
        EXPECT_EQ(c.f.size, c.f.packed);
      }
      EXPECT_EQ(9u, c.f.level);
      EXPECT_EQ(c.attributes, l.attributes);
      expectedOffset += 64 + 2 * l.nameLength + l.f.packed;

      const bool folder = c.name.back() == u'\\';
      std::u16string native = dir.Path() + plat::kSeparator + c.name;
      if (folder) native.pop_back();
      std::replace(native.begin() + static_cast<long>(dir.Path().size()), native.end(), u'\\', plat::kSeparator);
      if (folder) {
        EXPECT_TRUE(c.attributes & ZO_ATTR_DIRECTORY);
        EXPECT_EQ(0u, c.f.size);
        EXPECT_EQ(0u, c.f.packed);
        EXPECT_EQ(0u, c.f.crcStored);
        EXPECT_EQ(0u, c.f.crcPlain);
        EXPECT_GE(c.f.time + 20000000, before) << "a folder carries the time it was added";
        continue;
      }
      std::vector<uint8_t> content = ReadAll(native);
      plat::FileTimes times;
      ASSERT_TRUE(plat::GetFileTimes(native.c_str(), &times));
      EXPECT_EQ(times.lastWrite, c.f.time);
      EXPECT_EQ(content.size(), c.f.size);
      EXPECT_EQ(plat::GetAttributes(native.c_str()), c.attributes);
      const uint8_t* stored = image.data() + l.dataOffset;
      if (content.empty()) {
        EXPECT_EQ(0u, c.f.packed);
        EXPECT_EQ(0u, c.f.crcStored);
        EXPECT_EQ(0u, c.f.crcPlain);
        continue;
      }
      EXPECT_EQ(Crc(content.data(), content.size()), c.f.crcPlain);
      EXPECT_EQ(Crc(stored, c.f.packed), c.f.crcStored) << "the first CRC covers the bytes as they lie in the archive";
      if (c.f.type == ARC_COMPRESSION_NONE) {
        EXPECT_EQ(std::vector<uint8_t>(stored, stored + c.f.packed), content);
      } else {
        EXPECT_EQ(Inflate(stored, c.f.packed, content.size()), content);
      }
      // POSIX builds carry the permission bits with the marker; Windows builds 0.
      uint32_t mode = plat::GetPosixMode(native.c_str());
      EXPECT_EQ(mode ? arc::EncodePosixMode(mode) : 0u, c.f.reserved4);
    }
    EXPECT_EQ(expectedOffset, a.centralOffset);
  }
}

TEST_F(WriterAdd, EmptyArchiveIsTheEndRecordAloneWithItsComment) {
  ASSERT_EQ(0, CreateArchive(archive, {}, ARC_COMPRESSION_ZIP, 6, u"hello"));
  std::vector<uint8_t> image = ReadAll(archive);
  ASSERT_EQ(56u + 10u, image.size());
  DecodedArchive a = Decode(image);
  ASSERT_TRUE(a.ok) << a.error;
  EXPECT_EQ(0u, a.count);
  EXPECT_EQ(0u, a.centralSize);
  EXPECT_EQ(0u, a.centralOffset);
  EXPECT_EQ(u"hello", a.comment);
}

TEST_F(WriterAdd, CommentIsCutTo1023Units) {
  std::u16string longComment(2000, u'c');
  ASSERT_EQ(0, CreateArchive(archive, {}, ARC_COMPRESSION_ZIP, 6, longComment.c_str()));
  DecodedArchive a = Decode(ReadAll(archive));
  ASSERT_TRUE(a.ok) << a.error;
  EXPECT_EQ(std::u16string(1023, u'c'), a.comment);
}

// More entries than one block of the writer's entry records holds, created and
// then rewritten by an append that replaces one and adds one: every entry is
// listed once, in the order its local record was written, and checks out.
TEST_F(WriterAdd, ManyEntriesAreListedOnceInWriteOrderAcrossRecordBlocks) {
  const std::u16string sep(1, plat::kSeparator);
  const std::u16string many = dir / "many";
  ASSERT_TRUE(plat::CreateDirectory(many.c_str()));
  constexpr int kFiles = 600;
  std::vector<std::u16string> expected = {u"many\\"};
  for (int i = 0; i < kFiles; ++i) {
    const std::u16string name = u"f" + plat::U16(std::to_string(i)) + u".txt";
    ASSERT_TRUE(ScratchFolder::WriteFile(many + sep + name, Pattern(static_cast<size_t>(i))));
    expected.push_back(u"many\\" + name);
  }
  auto check = [&](size_t count) {
    DecodedArchive a = Decode(ReadAll(archive));
    ASSERT_TRUE(a.ok) << a.error;
    ASSERT_EQ(count, a.central.size());
    for (size_t i = 1; i < a.local.size(); ++i) EXPECT_LT(a.central[i - 1].localOffset, a.central[i].localOffset);
    std::vector<std::u16string> names = Names(a), sorted = expected;
    std::sort(names.begin(), names.end());
    std::sort(sorted.begin(), sorted.end());
    EXPECT_TRUE(names == sorted);
    CArchive2 reader;
    ASSERT_EQ(0, reader.Open(archive.c_str(), ARC_OPEN_READ, nullptr));
    EXPECT_EQ(0, reader.VerifyAll());
  };
  ASSERT_EQ(0, CreateArchive(archive, {many}));
  check(kFiles + 1);

  ASSERT_TRUE(ScratchFolder::WriteFile(many + sep + u"f300.txt", "replaced"));
  ASSERT_TRUE(ScratchFolder::WriteFile(many + sep + u"new.txt", "added"));
  expected.push_back(u"many\\new.txt");
  {
    CArchive2 a;
    ASSERT_EQ(0, a.Open(archive.c_str(), ARC_OPEN_APPEND, nullptr));
    for (const char16_t* name : {u"f300.txt", u"new.txt"}) {
      EXPECT_EQ(0, a.AddEntryToArchive((many + sep + name).c_str(), ARC_COMPRESSION_ZIP, 6, ARC_ADD_REPLACE, u"many"));
    }
    ASSERT_EQ(0, a.Close());
  }
  check(kFiles + 2);
}

TEST_F(WriterAdd, ReaderExtractsWhatWasWrittenByteForByte) {
  ASSERT_EQ(0, CreateArchive(archive, {tree}));
  std::u16string out = dir / "out";
  ASSERT_TRUE(plat::CreateDirectory(out.c_str()));
  CArchive2 reader;
  ASSERT_EQ(0, reader.Open(archive.c_str(), ARC_OPEN_READ, nullptr));
  EXPECT_EQ(0, reader.VerifyAll());
  EXPECT_EQ(0, reader.ExtractAll(out.c_str(), 0));
  reader.Close();
  const std::u16string sep(1, plat::kSeparator);
  EXPECT_EQ(ReadAll(tree + sep + u"big.txt"), ReadAll(out + sep + u"tree" + sep + u"big.txt"));
  EXPECT_EQ(ReadAll(tree + sep + u"sub" + sep + u"run.sh"), ReadAll(out + sep + u"tree" + sep + u"sub" + sep + u"run.sh"));
  // The executable bit survives the round trip on POSIX (0 on both sides elsewhere).
  EXPECT_EQ(plat::GetPosixMode((tree + sep + u"sub" + sep + u"run.sh").c_str()) & 0111,
            plat::GetPosixMode((out + sep + u"tree" + sep + u"sub" + sep + u"run.sh").c_str()) & 0111);
}

TEST_F(WriterAdd, StoredNamesFollowTheBaseFolderAndTheFolderArgument) {
  const std::u16string sep(1, plat::kSeparator);
  struct Case {
    std::u16string path;
    const char16_t* folder;
    uint32_t flags;
    ZoResult result;
    std::vector<std::u16string> names;
  } cases[] = {
      {tree + sep + u"*.txt", nullptr, 0, 0, {u"big.txt"}},
      {tree + sep + u"sub" + sep + u"run.sh", u"bin", 0, 0, {u"bin\\run.sh"}},
      {tree + sep + u"sub" + sep + u"run.sh", u"a/b\\", 0, 0, {u"a\\b\\run.sh"}},
      {tree + sep + u"sub" + sep, nullptr, 0, 0, {u"run.sh"}},  // the folder itself has no name
      // A matching folder comes whole, its contents whether they match or not.
      {tree + sep + u"s*", nullptr, ARC_ADD_RECURSE, 0, {u"sub\\", u"sub\\run.sh"}},
      {tree + sep + u"s*", nullptr, 0, 1, {}},
      // With a stored folder only a file is added.
      {tree + sep + u"sub", u"bin", 0, 1, {}},
      {tree + sep + u"*.txt", u"bin", 0, 1, {}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(plat::ToUtf8(c.path));
    CArchive2 a;
    ASSERT_EQ(0, a.Open(archive.c_str(), ARC_OPEN_CREATE, nullptr));
    EXPECT_EQ(c.result, a.AddEntryToArchive(c.path.c_str(), ARC_COMPRESSION_ZIP, 6, c.flags, c.folder));
    ASSERT_EQ(0, a.Close());
    DecodedArchive d = Decode(ReadAll(archive));
    ASSERT_TRUE(d.ok) << d.error;
    EXPECT_EQ(c.names, Names(d));
    EXPECT_EQ(c.names.size(), d.count);
  }
}

// The read-only bit is stored as found, or cleared for files on request; a
// folder's attributes are never changed.
TEST_F(WriterAdd, ClearReadOnlyTouchesFilesOnly) {
  const std::u16string folder = dir / "ro";
  const std::u16string file = folder + plat::kSeparator + u"ro.txt";
  ASSERT_TRUE(plat::CreateDirectory(folder.c_str()));
  ASSERT_TRUE(ScratchFolder::WriteFile(file, "read only"));
  ASSERT_TRUE(plat::SetAttributes(file.c_str(), ZO_ATTR_READONLY));
  ASSERT_TRUE(plat::SetAttributes(folder.c_str(), ZO_ATTR_READONLY | ZO_ATTR_DIRECTORY));
  const uint32_t fileAttributes = plat::GetAttributes(file.c_str());
  const uint32_t folderAttributes = plat::GetAttributes(folder.c_str());
  ASSERT_TRUE(fileAttributes & ZO_ATTR_READONLY);
  for (uint32_t flags : {0u, static_cast<uint32_t>(ARC_ADD_CLEAR_READONLY)}) {
    SCOPED_TRACE(flags);
    CArchive2 a;
    ASSERT_EQ(0, a.Open(archive.c_str(), ARC_OPEN_CREATE, nullptr));
    ASSERT_EQ(0, a.AddEntryToArchive(folder.c_str(), ARC_COMPRESSION_ZIP, 6, flags, nullptr));
    ASSERT_EQ(0, a.Close());
    DecodedArchive d = Decode(ReadAll(archive));
    ASSERT_TRUE(d.ok) << d.error;
    ASSERT_EQ((std::vector<std::u16string>{u"ro\\", u"ro\\ro.txt"}), Names(d));
    EXPECT_EQ(folderAttributes, d.central[0].attributes);
    EXPECT_EQ(folderAttributes, d.local[0].attributes);
    const uint32_t expected = flags ? fileAttributes & ~ZO_ATTR_READONLY : fileAttributes;
    EXPECT_EQ(expected, d.central[1].attributes);
    EXPECT_EQ(expected, d.local[1].attributes);
  }
  plat::SetAttributes(folder.c_str(), ZO_ATTR_DIRECTORY);
  plat::SetAttributes(file.c_str(), 0);
}

// The size and count queries see what adding would create: a folder with all it
// holds, a file, the matches of a pattern (a matching folder whole under
// recursion); anything else is reported and gives 1 with 0 and 0.
TEST_F(WriterAdd, SizeAndCountQueriesMeasureWhatAddingWouldCreate) {
  const std::u16string sep(1, plat::kSeparator);
  const int64_t script = 18;  // sub/run.sh
  const int64_t bigSize = static_cast<int64_t>(big.size());
  struct Case {
    std::u16string path;
    uint32_t flags;
    ZoResult result;
    int64_t size, count;
  } cases[] = {
      {tree, 0, 0, bigSize + script, 5},
      {tree + sep + u"big.txt", 0, 0, bigSize, 1},
      {tree + sep + u"*.txt", 0, 0, bigSize, 1},
      {tree + sep + u"*.*", ARC_ADD_RECURSE, 0, bigSize + script, 4},
      {tree + sep + u"*.*", 0, 0, bigSize, 2},
      {tree + sep + u"*", 0, 1, 0, 0},  // too short for a pattern
      {tree + sep + u"s*", ARC_ADD_RECURSE, 0, script, 2},
      {tree + sep + u"s*", 0, 0, 0, 0},
      {tree + sep + u"*.none", 0, 0, 0, 0},
      {tree + sep + u"missing.txt", 0, 1, 0, 0},
      {tree + sep + u"x", 0, 1, 0, 0},  // too short for a pattern
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(plat::ToUtf8(c.path));
    RecordingProgress progress;
    CArchive2 a;
    ASSERT_EQ(0, a.Open(archive.c_str(), ARC_OPEN_CREATE, &progress));
    int64_t size = -1, count = -1;
    EXPECT_EQ(c.result, a.GetSizeAddEntry(c.path.c_str(), size, c.flags));
    EXPECT_EQ(c.result, a.GetCountAddEntry(c.path.c_str(), count, c.flags));
    EXPECT_EQ(c.size, size);
    EXPECT_EQ(c.count, count);
    if (c.result == 1) {
      ASSERT_FALSE(progress.errors.empty());
      EXPECT_EQ(ARC_ERROR_NO_MATCH, progress.errors.back().code);
      EXPECT_EQ(u"GetSizeAddEntry", progress.errors.back().text);
    } else {
      EXPECT_TRUE(progress.errors.empty());
    }
    EXPECT_EQ(0, a.IsSpaceForAddEntry(c.path.c_str(), c.flags));
    a.Close();
  }
}

TEST_F(WriterAdd, SameFileTwiceGivesTwoEntriesAndCountsMatch) {
  const std::u16string file = tree + plat::kSeparator + u"big.txt";
  CArchive2 a;
  ASSERT_EQ(0, a.Open(archive.c_str(), ARC_OPEN_CREATE, nullptr));
  int64_t size = 0, count = 0;
  EXPECT_EQ(0, a.GetSizeAddEntry(tree.c_str(), size, 0));
  EXPECT_EQ(0, a.GetCountAddEntry(tree.c_str(), count, 0));
  EXPECT_EQ(static_cast<int64_t>(big.size() + 18), size);
  EXPECT_EQ(5, count);
  EXPECT_EQ(0, a.AddEntryToArchive(file.c_str(), ARC_COMPRESSION_ZIP, 6, 0, nullptr));
  EXPECT_EQ(0, a.AddEntryToArchive(file.c_str(), ARC_COMPRESSION_ZIP, 6, 0, nullptr));
  ASSERT_EQ(0, a.Close());
  DecodedArchive d = Decode(ReadAll(archive));
  EXPECT_EQ((std::vector<std::u16string>{u"big.txt", u"big.txt"}), Names(d));
}

TEST_F(WriterAdd, RefusesBadLevelAndCompressionTypeButStaysUsable) {
  RecordingProgress progress;
  const std::u16string file = tree + plat::kSeparator + u"big.txt";
  CArchive2 a;
  ASSERT_EQ(0, a.Open(archive.c_str(), ARC_OPEN_CREATE, &progress));
  EXPECT_EQ(E_INVALIDARG, a.AddEntryToArchive(file.c_str(), ARC_COMPRESSION_ZIP, 10, 0, nullptr));
  EXPECT_EQ(E_NOTIMPL, a.AddEntryToArchive(file.c_str(), 2, 6, 0, nullptr));
  EXPECT_EQ(0, a.AddEntryToArchive(file.c_str(), ARC_COMPRESSION_NONE, 0, 0, nullptr));
  ASSERT_EQ(0, a.Close());
  DecodedArchive d = Decode(ReadAll(archive));
  ASSERT_TRUE(d.ok) << d.error;
  ASSERT_EQ(1u, d.central.size()) << "the refused entries are not listed";
  EXPECT_EQ(big.size(), d.central[0].f.size);
}

TEST_F(WriterAdd, WrongModesAndMissingPathsAreRefused) {
  ASSERT_EQ(0, CreateArchive(archive, {tree}));
  RecordingProgress progress;
  CArchive2 reader;
  ASSERT_EQ(0, reader.Open(archive.c_str(), ARC_OPEN_READ, &progress));
  EXPECT_EQ(E_FAIL, reader.AddEntryToArchive(tree.c_str(), ARC_COMPRESSION_ZIP, 6, 0, nullptr));
  EXPECT_TRUE(progress.HasError(ARC_ERROR_MODE));
  EXPECT_EQ(E_FAIL, reader.IsSpaceForAddEntry(tree.c_str(), 0));
  reader.Close();

  RecordingProgress deleting;
  CArchive2 d;
  ASSERT_EQ(0, d.Open(archive.c_str(), ARC_OPEN_DELETE, &deleting));
  EXPECT_EQ(E_FAIL, d.AddEntryToArchive(tree.c_str(), ARC_COMPRESSION_ZIP, 6, 0, nullptr));
  ASSERT_FALSE(deleting.errors.empty());
  EXPECT_EQ(ARC_ERROR_MODE, deleting.errors.back().code);
  EXPECT_EQ(u"AddEntryToArchive", deleting.errors.back().text);
  EXPECT_EQ(E_FAIL, d.IsSpaceForAddEntry(tree.c_str(), 0));
  EXPECT_EQ(1, d.Close());

  CArchive2 a;
  ASSERT_EQ(0, a.Open((dir / "other.ach").c_str(), ARC_OPEN_CREATE, &progress));
  EXPECT_EQ(1, a.AddEntryToArchive((dir / "missing.txt").c_str(), ARC_COMPRESSION_ZIP, 6, 0, nullptr));
  EXPECT_EQ(1, a.AddEntryToArchive((dir / "*.none").c_str(), ARC_COMPRESSION_ZIP, 6, 0, nullptr));
  EXPECT_EQ(0, a.Close());
}

// Changes the file being added after its first block was read.
class ChangingFileProgress : public RecordingProgress {
 public:
  ChangingFileProgress(std::u16string path, bool grow) : path_(std::move(path)), grow_(grow) {}
  int32_t AddProgress(uint32_t low, int32_t high) override {
    if (!changed_) {
      changed_ = true;
      plat::File f = plat::File::Open(path_.c_str(), plat::Access::Write, plat::kShareRead | plat::kShareWrite,
                                      plat::Disposition::OpenExisting);
      if (grow_) {
        std::string more(1 << 20, 'G');
        f.Seek(0, plat::SeekOrigin::End);
        f.Write(more.data(), more.size());
      } else {
        f.Seek(300000, plat::SeekOrigin::Begin);
        f.Truncate();
      }
      f.Close();
    }
    return RecordingProgress::AddProgress(low, high);
  }

 private:
  std::u16string path_;
  bool grow_;
  bool changed_ = false;
};

TEST_F(WriterAdd, FileChangingWhileAddedNeverHangsTheAdd) {
  for (uint32_t type : {ARC_COMPRESSION_NONE, ARC_COMPRESSION_ZIP}) {
    for (bool grow : {false, true}) {
      SCOPED_TRACE(std::to_string(type) + (grow ? " grows" : " shrinks"));
      const std::u16string file = tree + plat::kSeparator + u"big.txt";
      ASSERT_TRUE(ScratchFolder::WriteFile(file, big));
      ChangingFileProgress progress(file, grow);
      CArchive2 a;
      ASSERT_EQ(0, a.Open(archive.c_str(), ARC_OPEN_CREATE, &progress));
      ZoResult r = a.AddEntryToArchive(file.c_str(), type, 6, ARC_ADD_NO_TOTAL, nullptr);
      ASSERT_EQ(0, a.Close());
      DecodedArchive d = Decode(ReadAll(archive));
      ASSERT_TRUE(d.ok) << d.error;
      if (!grow) {
        EXPECT_EQ(ARC_E_READ, r);
        EXPECT_TRUE(progress.HasError(ARC_ERROR_READ));
        EXPECT_EQ(0u, d.count) << "the failed entry never reaches the directory";
        continue;
      }
      // A file that grows is stored with the size its header announced.
      EXPECT_EQ(0, r);
      ASSERT_EQ(1u, d.count);
      EXPECT_EQ(big.size(), d.central[0].f.size);
      EXPECT_EQ(Crc(reinterpret_cast<const uint8_t*>(big.data()), big.size()), d.central[0].f.crcPlain);
    }
  }
}

// A write that fails inside a file's data, or inside the patch of its header,
// leaves that entry unlisted; the next entry lands after the bytes already there.
TEST_F(WriterAdd, EntryAfterAPartlyWrittenOneStillLandsAtItsRecordedOffset) {
  const uint64_t failedRecord = 64 + 2 * 7 + big.size();  // header, "big.txt", data
  struct Case {
    const char* what;
    int64_t failAfter;
    uint64_t nextOffset;
  } cases[] = {
      {"inside the data", 1001, 1001},  // an odd count
      {"inside the header patch", static_cast<int64_t>(failedRecord) + 5, failedRecord},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    CArchive2 a;
    ASSERT_EQ(0, a.Open(archive.c_str(), ARC_OPEN_CREATE, nullptr));
    plat::fault::FileFaults faults;
    faults.failWritesAfterBytes = c.failAfter;
    {
      FaultScope scope(faults);
      EXPECT_EQ(ARC_E_WRITE, a.AddEntryToArchive((tree + plat::kSeparator + u"big.txt").c_str(),
                                                 ARC_COMPRESSION_NONE, 0, 0, nullptr));
    }
    ASSERT_EQ(0, a.AddEntryToArchive((tree + plat::kSeparator + u"sub").c_str(), ARC_COMPRESSION_ZIP, 6, 0, nullptr));
    ASSERT_EQ(0, a.Close());
    DecodedArchive d = Decode(ReadAll(archive));
    ASSERT_TRUE(d.ok) << d.error;
    EXPECT_EQ((std::vector<std::u16string>{u"sub\\", u"sub\\run.sh"}), Names(d));
    EXPECT_EQ(c.nextOffset, d.central[0].localOffset) << "after the unlisted bytes of the failed entry";
    CArchive2 reader;
    ASSERT_EQ(0, reader.Open(archive.c_str(), ARC_OPEN_READ, nullptr));
    EXPECT_EQ(0, reader.VerifyAll());
    reader.Close();
  }
}

TEST_F(WriterAdd, FailedEndRecordWriteIsReportedNotSuccess) {
  // The central directory fits; the end record after it does not.
  ASSERT_EQ(0, CreateArchive(archive, {tree}));
  const uint64_t centralSize = Decode(ReadAll(archive)).centralSize;
  CArchive2 a;
  RecordingProgress progress;
  ASSERT_EQ(0, a.Open(archive.c_str(), ARC_OPEN_CREATE, &progress));
  ASSERT_EQ(0, a.AddEntryToArchive(tree.c_str(), ARC_COMPRESSION_ZIP, 6, ARC_ADD_RECURSE, nullptr));
  plat::fault::FileFaults faults;
  faults.failWritesAfterBytes = static_cast<int64_t>(centralSize + 10);
  FaultScope scope(faults);
  EXPECT_EQ(ARC_E_WRITE, a.Close());
  ASSERT_FALSE(progress.errors.empty());
  EXPECT_EQ(ARC_ERROR_WRITE, progress.errors[0].code);
  EXPECT_EQ(u"AddEndOfCentralDir", progress.errors[0].text);
}

TEST_F(WriterAdd, ArchiveInsideTheAddedTreeIsNeverAddedToItself) {
  const std::u16string inside = tree + plat::kSeparator + u"self.ach";
  ASSERT_EQ(0, CreateArchive(inside, {tree}));
  ASSERT_TRUE(ScratchFolder::WriteFile(tree + plat::kSeparator + u"later.txt", "later"));
  CArchive2 a;
  ASSERT_EQ(0, a.Open(inside.c_str(), ARC_OPEN_APPEND, nullptr));
  ASSERT_EQ(0, a.AddEntryToArchive((tree + plat::kSeparator + u"*.*").c_str(), ARC_COMPRESSION_ZIP, 6, 0, nullptr));
  ASSERT_EQ(0, a.Close());
  DecodedArchive d = Decode(ReadAll(inside));
  ASSERT_TRUE(d.ok) << d.error;
  for (const auto& n : Names(d)) {
    EXPECT_EQ(std::u16string::npos, n.find(u"self.ach")) << plat::ToUtf8(n);
  }
  auto names = Names(d);
  EXPECT_NE(names.end(), std::find(names.begin(), names.end(), u"later.txt"));
}

TEST_F(WriterAdd, FolderLinksAreNotFollowed) {
  const std::u16string link = tree + plat::kSeparator + u"sub" + plat::kSeparator + u"loop";
  if (!plat::CreateSymbolicLink(link.c_str(), tree.c_str(), true)) GTEST_SKIP() << "no symbolic links here";
  ASSERT_EQ(0, CreateArchive(archive, {tree}));
  DecodedArchive d = Decode(ReadAll(archive));
  ASSERT_TRUE(d.ok) << d.error;
  EXPECT_EQ(5u, d.count);
  for (const auto& n : Names(d)) EXPECT_EQ(std::u16string::npos, n.find(u"loop"));
}

TEST_F(WriterAdd, PosixNamesThatCannotBeStoredFaithfullyAreRefused) {
  if (plat::kSeparator != u'/') GTEST_SKIP() << "such names cannot exist on Windows";
  for (const char* name : {"back\\slash.txt", "colon:name.txt", "trailing."}) {
    SCOPED_TRACE(name);
    ScratchFolder local;
    const std::u16string odd = local / name;
    ASSERT_TRUE(ScratchFolder::WriteFile(odd, "x"));
    RecordingProgress progress;
    CArchive2 a;
    ASSERT_EQ(0, a.Open(archive.c_str(), ARC_OPEN_CREATE, &progress));
    EXPECT_EQ(E_INVALIDARG, a.AddEntryToArchive(local.Path().c_str(), ARC_COMPRESSION_ZIP, 6, 0, nullptr));
    ASSERT_FALSE(progress.errors.empty());
    EXPECT_EQ(ARC_ERROR_INVALID_ARG, progress.errors.back().code);
    EXPECT_NE(std::u16string::npos, progress.errors.back().text.find(u"AddFile|"));
    a.Close();
  }
}

}  // namespace
}  // namespace writer_test
