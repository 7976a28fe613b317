// Extraction: bytes, times and attributes restored; the replace questions; the
// pause/cancel handshake; and every hostile input refused with its exact failure.
#include <atomic>
#include <cstdio>

#include "archive/whole_buffer.h"
#include "platform/directory.h"
#include "platform/thread.h"
#include "tests/archive/archive_test_support.h"

namespace {

using archive_test::ArchiveTest;
using archive_test::ReadAll;
using archive_test::RecordingProgress;
using testarc::ArchiveSpec;

class ExtractTest : public ArchiveTest {
 protected:
  // Opens `spec` as an archive in read mode with `progress` (may be null).
  CArchive2& OpenSpec(const ArchiveSpec& spec, CZoArchiveProgress* progress) {
    path_ = Put("test.ach", testarc::Build(spec));
    EXPECT_GE(archive_.Open(path_.c_str(), ARC_OPEN_READ, progress), 0);
    return archive_;
  }
  bool OutIsEmpty() const {
    plat::DirectoryLister lister;
    if (!lister.Open(out_.c_str(), u"*")) return false;
    plat::DirectoryEntry e;
    while (lister.Next(&e))
      if (e.name != u"." && e.name != u"..") return false;
    return true;
  }
  std::u16string path_;
  CArchive2 archive_;
};

TEST_F(ExtractTest, ExtractAll_RestoresBytesTimesAttributesAndFolders) {
  ArchiveSpec spec;
  spec.entries.push_back(testarc::Folder(u"empty\\"));
  testarc::EntrySpec ro = testarc::File(u"docs\\ro.txt", "read only");
  ro.attributes = ZO_ATTR_READONLY | ZO_ATTR_ARCHIVE;
  ro.fileTime = 132000000000000000ull;
  spec.entries.push_back(ro);
  testarc::EntrySpec script = testarc::File(u"setup.sh", "#!/bin/sh\n", 0);
  script.reserved4 = 0x80000000u | 04755;  // set-id bits are never restored
  spec.entries.push_back(script);
  spec.entries.push_back(testarc::File(u"zero-stored.bin", "", 0));
  spec.entries.push_back(testarc::File(u"zero-deflated.bin", "", 1));
  RecordingProgress progress;
  CArchive2& archive = OpenSpec(spec, &progress);

  ASSERT_EQ(archive.ExtractAll(out_.c_str(), 0), 0);
  EXPECT_TRUE(plat::IsDirectory(Out("empty").c_str()));
  EXPECT_EQ(ReadAll(Out("docs/ro.txt")), "read only");
  EXPECT_EQ(ReadAll(Out("zero-stored.bin")), "");
  EXPECT_EQ(ReadAll(Out("zero-deflated.bin")), "");
  EXPECT_NE(plat::GetAttributes(Out("docs/ro.txt").c_str()) & ZO_ATTR_READONLY, 0u);
  plat::FileTimes times;
  ASSERT_TRUE(plat::GetFileTimes(Out("docs/ro.txt").c_str(), &times));
  EXPECT_EQ(times.lastWrite, 132000000000000000ull);
  if (plat::kSeparator == u'/') {  // POSIX builds restore the permission bits
    EXPECT_EQ(plat::GetPosixMode(Out("setup.sh").c_str()), 0755u);
  }
  EXPECT_EQ(progress.CountStatus(ARC_EVENT_EXTRACT_START), 4);
  EXPECT_EQ(progress.CountStatus(ARC_EVENT_DONE), 1);
  EXPECT_EQ(progress.done, progress.total);
  EXPECT_TRUE(progress.Errors().empty());
}

TEST_F(ExtractTest, HostileNames_ExtractNothingAndNameTheEntry) {
  const std::u16string names[] = {
      u"..\\evil.txt", u"a\\..\\..\\evil.txt", u"a/../../evil.txt", u"\\abs.txt", u"/abs.txt",
      u"C:\\evil.txt", u"C:evil.txt", u"\\\\server\\share\\evil.txt", u"\\\\?\\C:\\evil.txt",
      u"\\\\.\\pipe\\evil", u"file.txt:stream", u"CON", u"nul.txt", u"dir\\COM1.log", u"LPT9",
      u"Aux .txt", u"trailing.", u"trailing ", u"a\\\\b.txt", u"a\\.\\b.txt", u".",
      std::u16string(u"emb\0ed.txt", 10), u"what?.txt", u"a|b",
  };
  for (const std::u16string& hostile : names) {
    SCOPED_TRACE(plat::ToUtf8(hostile));
    ArchiveSpec spec;
    spec.entries.push_back(testarc::File(u"good.txt", "fine"));  // before the bad one: still not written
    spec.entries.push_back(testarc::File(hostile, "evil"));
    RecordingProgress progress;
    CArchive2 archive;
    std::u16string path = Put("hostile.ach", testarc::Build(spec));
    ASSERT_EQ(archive.Open(path.c_str(), ARC_OPEN_READ, &progress), 0);
    EXPECT_EQ(archive.ExtractAll(out_.c_str(), ARC_EXTRACT_OVERWRITE), ARC_E_BAD_NAME);
    EXPECT_TRUE(progress.HasError(ARC_ERROR_INVALID_ARG, u"ExtractAll|" + hostile.substr(0, hostile.find(u'\0'))));
    EXPECT_EQ(archive.ExtractEntry(u"*.*", out_.c_str(), ARC_EXTRACT_FLAT), ARC_E_BAD_NAME);
    int count = 2;
    EXPECT_EQ(archive.ExtractEntry(0, &count, out_.c_str(), 0), ARC_E_BAD_NAME);
    EXPECT_TRUE(OutIsEmpty());
    EXPECT_FALSE(plat::Exists((scratch_ / "evil.txt").c_str()));
  }
}

TEST_F(ExtractTest, SafeNames_WithDotsInsideAndForwardSlashesExtract) {
  ArchiveSpec spec;
  spec.entries.push_back(testarc::File(u"v1.2\\..hidden", "a"));
  spec.entries.push_back(testarc::File(u"dir/sub\\x.tar.gz", "b"));
  spec.entries.push_back(testarc::File(u"CONSOLE.txt", "c"));  // not a device name
  CArchive2& archive = OpenSpec(spec, nullptr);
  ASSERT_EQ(archive.ExtractAll(out_.c_str(), 0), 0);
  EXPECT_EQ(ReadAll(Out("v1.2/..hidden")), "a");
  EXPECT_EQ(ReadAll(Out("dir/sub/x.tar.gz")), "b");
  EXPECT_EQ(ReadAll(Out("CONSOLE.txt")), "c");
}

TEST_F(ExtractTest, TargetPathLongerThan259Units_IsRefusedBeforeWriting) {
  ArchiveSpec spec;
  spec.entries.push_back(testarc::File(u"short.txt", "s"));
  spec.entries.push_back(testarc::File(std::u16string(200, u'd') + u"\\" + std::u16string(58, u'f'), "long"));
  RecordingProgress progress;
  CArchive2& archive = OpenSpec(spec, &progress);
  EXPECT_EQ(archive.ExtractAll(out_.c_str(), 0), ARC_E_BAD_NAME);
  EXPECT_TRUE(OutIsEmpty());
}

TEST_F(ExtractTest, LinksInsideTheDestination_AreNeverWrittenThrough) {
  std::u16string outside = scratch_ / "outside";
  ASSERT_TRUE(plat::CreateDirectory(outside.c_str()));
  std::u16string victim = outside + plat::kSeparator + u"victim.txt";
  ASSERT_TRUE(archive_test::WriteBytes(victim, "precious"));
  if (!plat::CreateSymbolicLink(Out("linkdir").c_str(), outside.c_str(), true) ||
      !plat::CreateSymbolicLink(Out("victim.txt").c_str(), victim.c_str(), false)) {
    GTEST_SKIP() << "symbolic links cannot be made here";
  }
  ArchiveSpec spec;
  spec.entries.push_back(testarc::File(u"linkdir\\planted.txt", "evil"));
  spec.entries.push_back(testarc::Folder(u"linkdir\\newdir\\"));
  spec.entries.push_back(testarc::File(u"victim.txt", "evil"));
  RecordingProgress progress;
  CArchive2& archive = OpenSpec(spec, &progress);

  EXPECT_EQ(archive.ExtractEntry(u"linkdir\\planted.txt", out_.c_str(), ARC_EXTRACT_OVERWRITE), ARC_E_OPEN_FAILED);
  EXPECT_TRUE(progress.HasError(ARC_ERROR_CREATE, u"ExtractCentralDirectoryFile|" + Out("linkdir/planted.txt")));
  EXPECT_EQ(archive.ExtractEntry(u"linkdir\\newdir\\", out_.c_str(), ARC_EXTRACT_OVERWRITE), 0);
  EXPECT_EQ(archive.ExtractEntry(u"victim.txt", out_.c_str(), ARC_EXTRACT_OVERWRITE), ARC_E_OPEN_FAILED);
  EXPECT_EQ(archive.ExtractAll(out_.c_str(), ARC_EXTRACT_OVERWRITE), ARC_E_OPEN_FAILED);
  EXPECT_FALSE(plat::Exists((outside + plat::kSeparator + u"planted.txt").c_str()));
  EXPECT_FALSE(plat::Exists((outside + plat::kSeparator + u"newdir").c_str()));
  EXPECT_EQ(ReadAll(victim), "precious");
}

TEST_F(ExtractTest, ReplaceQuestions_FollowTheHostsAnswers) {
  ArchiveSpec spec;
  for (const char* n : {"a.txt", "b.txt", "c.txt"}) spec.entries.push_back(testarc::File(plat::U16(n), "new"));
  testarc::EntrySpec ro = testarc::File(u"ro.txt", "new");
  spec.entries.push_back(ro);
  struct Case {
    const char* label;
    std::deque<int32_t> answers;
    ZoResult result;
    const char* expected;  // contents of a, b, c, ro afterwards ('n' new, 'o' old)
    int questions;
    int readOnlyQuestions;
  };
  const Case cases[] = {
      {"replace each", {1, 1, 1, 1}, 0, "nnnn", 4, 1},
      {"skip each", {2, 2, 2, 2}, 0, "oooo", 4, 1},
      {"replace all, read-only still asked", {3, 2}, 0, "nnno", 2, 1},
      {"skip all, read-only still asked", {4, 1}, 0, "ooon", 2, 1},
      {"nothing left counts as replace", {0, 0, 0, 0}, 0, "nnnn", 4, 1},
      {"cancel stops the extraction", {1, ARC_E_CANCELLED}, ARC_E_CANCELLED, "nooo", 2, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    for (const char* n : {"a.txt", "b.txt", "c.txt", "ro.txt"}) ASSERT_TRUE(archive_test::WriteBytes(Out(n), "old"));
    ASSERT_TRUE(plat::SetAttributes(Out("ro.txt").c_str(), ZO_ATTR_READONLY));
    RecordingProgress progress;
    progress.answers = c.answers;
    CArchive2 archive;
    std::u16string path = Put("replace.ach", testarc::Build(spec));
    ASSERT_EQ(archive.Open(path.c_str(), ARC_OPEN_READ, &progress), 0);
    EXPECT_EQ(archive.ExtractAll(out_.c_str(), 0), c.result);
    EXPECT_EQ(progress.questions, c.questions);
    const char* names[] = {"a.txt", "b.txt", "c.txt", "ro.txt"};
    for (int i = 0; i < 4; ++i) EXPECT_EQ(ReadAll(Out(names[i])), c.expected[i] == 'n' ? "new" : "old") << names[i];
    EXPECT_EQ(progress.CountStatus(ARC_EVENT_ASK_REPLACE_READONLY), c.readOnlyQuestions);
    plat::SetAttributes(Out("ro.txt").c_str(), ZO_ATTR_NORMAL);
  }
}

TEST_F(ExtractTest, WithoutHostOrWithOverwrite_ExistingFilesAreReplacedWithoutQuestions) {
  ArchiveSpec spec;
  spec.entries.push_back(testarc::File(u"sfxctrl.ach", "control"));
  ASSERT_TRUE(archive_test::WriteBytes(Out("sfxctrl.ach"), "old"));
  CArchive2& archive = OpenSpec(spec, nullptr);
  EXPECT_EQ(archive.ExtractAll(out_.c_str(), 0), 0);
  EXPECT_EQ(ReadAll(Out("sfxctrl.ach")), "control");

  // The installer's flags 7: flat, overwrite, no question even with a host.
  ASSERT_TRUE(archive_test::WriteBytes(Out("sfxctrl.ach"), "old"));
  RecordingProgress progress;
  CArchive2 second;
  ASSERT_EQ(second.Open(path_.c_str(), ARC_OPEN_READ, &progress), 0);
  EXPECT_EQ(second.ExtractEntry(u"sfxctrl.ach", out_.c_str(), 7), 0);
  EXPECT_EQ(progress.questions, 0);
  EXPECT_EQ(ReadAll(Out("sfxctrl.ach")), "control");
}

// A host that pauses the engine from another thread and then cancels it.
class PausingProgress : public CZoArchiveProgress {
 public:
  int32_t AddProgress(uint32_t low, int32_t high) override {
    if (!paused.exchange(true)) {
      status = ARC_STATUS_PAUSED;  // as the host's UI thread would store it
      pausedEvent.Set();
    }
    return CZoArchiveProgress::AddProgress(low, high);
  }
  std::atomic<bool> paused{false};
  plat::Event pausedEvent{true};
};

TEST_F(ExtractTest, PauseThenCancelFromAnotherThread_StopsTheExtraction) {
  ArchiveSpec spec;
  spec.entries.push_back(testarc::File(u"big.bin", std::string(3 * 262144, 'b'), 0));
  spec.entries.push_back(testarc::File(u"after.txt", "never"));
  PausingProgress progress;
  CArchive2& archive = OpenSpec(spec, &progress);
  std::atomic<bool> finished{false};
  ZoResult result = 0;
  plat::Thread worker;
  ASSERT_TRUE(worker.Start([&] {
    result = archive.ExtractAll(out_.c_str(), 0);
    finished = true;
  }));
  ASSERT_TRUE(progress.pausedEvent.Wait(10000));
  plat::Sleep(50);
  EXPECT_FALSE(finished.load());  // blocked in PollStatus while paused
  progress.SetStatus(ARC_E_CANCELLED);
  worker.Join();
  EXPECT_EQ(result, ARC_E_CANCELLED);
  EXPECT_FALSE(plat::Exists(Out("after.txt").c_str()));
}

TEST(ProgressHandshake, PauseResumesWithTheValueSetAndStaleWakesDoNotEndAPause) {
  CZoArchiveProgress progress;
  progress.SetStatus(0);  // leaves a wake behind
  progress.status = ARC_STATUS_PAUSED;
  std::atomic<int32_t> polled{12345};
  plat::Thread engine;
  ASSERT_TRUE(engine.Start([&] { polled = progress.PollStatus(); }));
  plat::Sleep(50);
  EXPECT_EQ(polled.load(), 12345);  // still paused despite the stale wake
  progress.SetStatus(0);
  engine.Join();
  EXPECT_EQ(polled.load(), 0);
  progress.status = 7;
  EXPECT_EQ(progress.PollStatus(), 7);
  EXPECT_EQ(progress.status.load(), 0);
}

TEST_F(ExtractTest, CorruptData_EndsWithItsExactFailure) {
  struct Case {
    const char* label;
    void (*damage)(testarc::EntrySpec&);
    ZoResult result;
    int32_t event;
    const char* step;
  };
  const Case cases[] = {
      {"uncompressed CRC wrong", [](testarc::EntrySpec& e) { e.crcUncompressedOverride = 1; }, ARC_E_CHECK,
       ARC_ERROR_CRC, "ExtractInternalZipCompression"},
      {"stored CRC wrong", [](testarc::EntrySpec& e) { e.crcCompressedOverride = 1; }, ARC_E_CHECK, ARC_ERROR_CRC,
       "ExtractInternalZipCompression"},
      {"not a deflate stream", [](testarc::EntrySpec& e) { e.storedBytesOverride = std::string(40, '\xff'); },
       ARC_E_WRITE, ARC_ERROR_WRITE, "ExtractInternalZipCompression"},
      {"deflate stream cut short",
       [](testarc::EntrySpec& e) { e.storedBytesOverride = testarc::RawDeflate(e.content).substr(0, 20); },
       ARC_E_WRITE, ARC_ERROR_WRITE, "ExtractInternalZipCompression"},
      {"bytes after the deflate stream",
       [](testarc::EntrySpec& e) { e.storedBytesOverride = testarc::RawDeflate(e.content) + "tail"; }, ARC_E_CHECK,
       ARC_ERROR_CRC, "ExtractInternalZipCompression"},
      {"inflates to more than declared", [](testarc::EntrySpec& e) { e.uncompressedSizeOverride = 10; }, ARC_E_CHECK,
       ARC_ERROR_CRC, "ExtractInternalZipCompression"},
      {"stored bytes past the data region",
       [](testarc::EntrySpec& e) {
         e.compressionType = 0;
         e.uncompressedSizeOverride = 1 << 20;
       },
       ARC_E_READ, ARC_ERROR_READ, "ExtractInternalNoCompression"},
      {"unknown compression type", [](testarc::EntrySpec& e) { e.compressionType = 2; }, E_NOTIMPL, 0, nullptr},
  };
  std::string content;
  for (int i = 0; i < 100000; ++i) content += static_cast<char>('0' + i % 10);
  // Inflated in one call (the default limit) and streamed (a limit below the entry).
  for (size_t limit : {size_t{0}, size_t{1000}}) for (const Case& c : cases) {
    SCOPED_TRACE(c.label + std::string(limit ? " (streamed)" : " (whole)"));
    arc::SetWholeBufferLimit(limit);
    ArchiveSpec spec;
    testarc::EntrySpec entry = testarc::File(u"data.bin", content);
    c.damage(entry);
    spec.entries.push_back(entry);
    spec.entries.push_back(testarc::File(u"later.txt", "later"));
    RecordingProgress progress;
    CArchive2 archive;
    std::u16string path = Put("corrupt.ach", testarc::Build(spec));
    ASSERT_EQ(archive.Open(path.c_str(), ARC_OPEN_READ, &progress), 0);
    EXPECT_EQ(archive.ExtractAll(out_.c_str(), ARC_EXTRACT_OVERWRITE), c.result);
    if (c.step) {
      EXPECT_TRUE(progress.HasError(c.event, plat::U16(c.step)));
    } else {
      EXPECT_TRUE(progress.Errors().empty());
    }
    EXPECT_FALSE(plat::Exists(Out("later.txt").c_str()));  // ExtractAll stops at the failed file
    if (c.result == ARC_E_CHECK || c.result == ARC_E_WRITE) {
      uint64_t written = ReadAll(Out("data.bin")).size();
      EXPECT_LE(written, entry.uncompressedSizeOverride.value_or(content.size()));
    }
    // ExtractEntry goes on with the other matches but returns the failure.
    EXPECT_EQ(archive.ExtractEntry(u"*.*", out_.c_str(), ARC_EXTRACT_OVERWRITE), c.result);
    EXPECT_EQ(ReadAll(Out("later.txt")), "later");
    if (c.result != E_NOTIMPL) {
      CArchive2 verifier;
      ASSERT_EQ(verifier.Open(path.c_str(), ARC_OPEN_READ, nullptr), 0);
      EXPECT_EQ(verifier.VerifyAll(), c.result);
    }
    plat::DeleteFile(Out("later.txt").c_str());
    plat::DeleteFile(Out("data.bin").c_str());
  }
  arc::SetWholeBufferLimit(0);
}

// Status and error events of one failed file, in order, as "S|E code itemName";
// the operation's own BeginItem is left out and its closing status is "done".
std::vector<std::string> FileTrace(const archive_test::RecordingProgress& progress) {
  std::vector<std::string> trace;
  for (const archive_test::Event& e : progress.events) {
    if (!e.isError && e.code == ARC_EVENT_BEGIN_ITEM) continue;
    if (!e.isError && e.code == ARC_EVENT_DONE) {
      trace.push_back("done");
      continue;
    }
    char code[16];
    std::snprintf(code, sizeof code, "%08X", static_cast<uint32_t>(e.code));
    trace.push_back(std::string(e.isError ? "E " : "S ") + code + " " + plat::ToUtf8(e.itemName));
  }
  return trace;
}

TEST_F(ExtractTest, FailedFile_ReportsItsStepByNameInOrder) {
  struct Case {
    const char* label;
    void (*damage)(testarc::EntrySpec&);
    bool folderInTheWay;  // an existing folder where the file goes
    ZoResult result;
    std::vector<std::string> trace;
  };
  const Case cases[] = {
      {"stored, CRC wrong",
       [](testarc::EntrySpec& e) { e.crcUncompressedOverride = 1; }, false, ARC_E_CHECK,
       {"S 0AAAAAA0 data.bin", "S 00000000 data.bin", "E AAAAAAAF ExtractInternalNoCompression", "done"}},
      {"deflated, stored bytes' CRC wrong",
       [](testarc::EntrySpec& e) {
         e.compressionType = 1;
         e.crcCompressedOverride = 1;
       },
       false, ARC_E_CHECK,
       {"S 0AAAAAA0 data.bin", "S 00000000 data.bin", "E AAAAAAAF ExtractInternalZipCompression", "done"}},
      {"deflated, not a deflate stream",
       [](testarc::EntrySpec& e) {
         e.compressionType = 1;
         e.storedBytesOverride = std::string(40, '\xff');
       },
       false, ARC_E_WRITE,
       {"S 0AAAAAA0 data.bin", "E AAAAAAA9 ExtractInternalZipCompression",
        "S 00000000 ExtractInternalZipCompression", "done"}},
      {"stored bytes past the data region",
       [](testarc::EntrySpec& e) { e.uncompressedSizeOverride = 1 << 20; }, false, ARC_E_READ,
       {"S 0AAAAAA0 data.bin", "E AAAAAAAA ExtractInternalNoCompression",
        "S 00000000 ExtractInternalNoCompression", "done"}},
      {"target cannot be created", [](testarc::EntrySpec&) {}, true, ARC_E_OPEN_FAILED,
       {"E AAAAAAA2 ExtractInternalNoCompression|<target>", "done"}},
      {"unknown compression type", [](testarc::EntrySpec& e) { e.compressionType = 2; }, false, E_NOTIMPL,
       {"done"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    ArchiveSpec spec;
    testarc::EntrySpec entry = testarc::File(u"data.bin", std::string(5000, 'd'), 0);
    c.damage(entry);
    spec.entries.push_back(entry);
    if (c.folderInTheWay) {
      ASSERT_TRUE(plat::CreateDirectory(Out("data.bin").c_str()));
    }
    RecordingProgress progress;
    CArchive2 archive;
    std::u16string path = Put("failing.ach", testarc::Build(spec));
    ASSERT_EQ(archive.Open(path.c_str(), ARC_OPEN_READ, &progress), 0);
    EXPECT_EQ(archive.ExtractAll(out_.c_str(), ARC_EXTRACT_OVERWRITE), c.result);
    // A target that cannot be created is named in the event.
    std::vector<std::string> expected = c.trace;
    for (std::string& line : expected) {
      const size_t at = line.find("<target>");
      if (at != std::string::npos) line.replace(at, 8, plat::ToUtf8(Out("data.bin")));
    }
    EXPECT_EQ(FileTrace(progress), expected);
    if (c.folderInTheWay) {
      plat::RemoveDirectory(Out("data.bin").c_str());
    } else {
      plat::DeleteFile(Out("data.bin").c_str());
    }
  }
}

TEST_F(ExtractTest, MissingVolume_FailsBeforeAnythingIsWritten) {
  ArchiveSpec spec;
  spec.entries.push_back(testarc::File(u"one.txt", std::string(3000, '1'), 0));
  spec.entries.push_back(testarc::File(u"two.txt", std::string(3000, '2'), 0));
  spec.storedName = u"pack.ach";
  testarc::VolumeSet set = testarc::BuildVolumeSet(spec, 3100, {2000, 1});
  std::u16string main = Put("pack.ach", set.main);
  Put("pack2.ach", set.volumes[0]);  // volume 3 is missing
  RecordingProgress progress;
  CArchive2 archive;
  ASSERT_EQ(archive.Open(main.c_str(), ARC_OPEN_READ, &progress), 0);
  EXPECT_EQ(archive.ExtractAll(out_.c_str(), 0), ARC_E_CHECK);
  EXPECT_TRUE(progress.HasError(ARC_ERROR_VOLUME_MISSING, u"ValidateMultiVolume|" + (scratch_ / "pack3.ach")));
  EXPECT_EQ(archive.ExtractEntry(u"one.txt", out_.c_str(), 0), ARC_E_CHECK);
  EXPECT_TRUE(OutIsEmpty());
  EXPECT_EQ(archive.VerifyEntryComplete(0), 0);  // wholly in the files present
  EXPECT_EQ(archive.VerifyEntryComplete(1), ARC_E_VOLUME_NOT_FOUND);
}

TEST_F(ExtractTest, UnreadableEntry_LeavesTheExistingTargetUntouched) {
  // The host agreed to a replace the engine then cannot carry out: the old file
  // stays as it was, and no empty target appears for a file that was never there.
  ArchiveSpec spec;
  testarc::EntrySpec unknown = testarc::File(u"keep.txt", "new");
  unknown.compressionType = 2;
  spec.entries.push_back(unknown);
  spec.entries.push_back(testarc::File(u"one.txt", std::string(3000, '1'), 0));
  testarc::EntrySpec lost = testarc::File(u"two.txt", std::string(3000, '2'), 0);
  lost.localOffsetOverride = 1ull << 40;  // beyond every volume of the set
  spec.entries.push_back(lost);
  testarc::EntrySpec lostUnknown = testarc::File(u"three.txt", "3");
  lostUnknown.compressionType = 2;
  lostUnknown.localOffsetOverride = 1ull << 40;
  spec.entries.push_back(lostUnknown);
  spec.storedName = u"pack.ach";
  testarc::VolumeSet set = testarc::BuildVolumeSet(spec, 3100, {1});
  std::u16string main = Put("pack.ach", set.main);
  Put("pack2.ach", set.volumes[0]);
  ASSERT_TRUE(archive_test::WriteBytes(Out("keep.txt"), "old"));
  ASSERT_TRUE(plat::SetAttributes(Out("keep.txt").c_str(), ZO_ATTR_READONLY));

  RecordingProgress progress;
  progress.answers = {ARC_ANSWER_REPLACE};
  CArchive2 archive;
  ASSERT_EQ(archive.Open(main.c_str(), ARC_OPEN_READ, &progress), 0);
  EXPECT_EQ(archive.ExtractEntry(u"keep.txt", out_.c_str(), 0), E_NOTIMPL);
  EXPECT_EQ(progress.CountStatus(ARC_EVENT_ASK_REPLACE_READONLY), 1);
  EXPECT_TRUE(progress.Errors().empty());  // the result alone reports an unknown compression
  EXPECT_EQ(ReadAll(Out("keep.txt")), "old");
  EXPECT_NE(plat::GetAttributes(Out("keep.txt").c_str()) & ZO_ATTR_READONLY, 0u);
  EXPECT_EQ(progress.CountStatus(ARC_EVENT_EXTRACT_START), 0);

  EXPECT_EQ(archive.ExtractEntry(u"two.txt", out_.c_str(), 0), ARC_E_VOLUME_NOT_FOUND);
  EXPECT_TRUE(progress.HasError(ARC_ERROR_VOLUME_MISSING, u"ExtractCentralDirectoryFile|3"));
  EXPECT_FALSE(plat::Exists(Out("two.txt").c_str()));
  // The bytes are looked for before the compression type is judged.
  EXPECT_EQ(archive.ExtractEntry(u"three.txt", out_.c_str(), 0), ARC_E_VOLUME_NOT_FOUND);
  EXPECT_FALSE(plat::Exists(Out("three.txt").c_str()));
  EXPECT_EQ(archive.ExtractEntry(u"one.txt", out_.c_str(), 0), 0);
  EXPECT_EQ(ReadAll(Out("one.txt")), std::string(3000, '1'));
  plat::SetAttributes(Out("keep.txt").c_str(), ZO_ATTR_NORMAL);
}

TEST_F(ExtractTest, SpaceCheckFailures_AreReturnedAsFailures) {
  ArchiveSpec spec;
  spec.entries.push_back(testarc::File(u"a.txt", "a"));
  RecordingProgress progress;
  CArchive2& archive = OpenSpec(spec, &progress);
  std::u16string missing = scratch_ / "no-such-folder";
  EXPECT_EQ(archive.ExtractAll(missing.c_str(), 0), ARC_E_DISK_FULL);
  std::vector<archive_test::Event> errors = progress.Errors();
  ASSERT_EQ(errors.size(), 2u);
  EXPECT_EQ(errors[0].code, ARC_ERROR_DISK_SPACE);
  EXPECT_EQ(errors[0].itemName.rfind(u"IsSpaceForExtractAll|", 0), 0u);
  EXPECT_EQ(errors[1].code, ARC_ERROR_DISK_SPACE);
  EXPECT_EQ(errors[1].itemName, u"ExtractAll");
  EXPECT_EQ(archive.ExtractEntry(u"a.txt", missing.c_str(), 0), E_INVALIDARG);
  int count = 1;
  EXPECT_EQ(archive.ExtractEntry(0, &count, missing.c_str(), 0), E_INVALIDARG);
  EXPECT_EQ(archive.IsSpaceForExtractEntry(u"a", out_.c_str(), 0), ARC_E_BAD_NAME);  // one-unit pattern

  // Declared sizes that sum past 2^63 must not wrap into "fits".
  ArchiveSpec huge;
  for (int i = 0; i < 3; ++i) {
    testarc::EntrySpec e = testarc::File(plat::U16("h" + std::to_string(i)), "x");
    e.uncompressedSizeOverride = 0x7FFFFFFFFFFFFFFFull;
    huge.entries.push_back(e);
  }
  CArchive2 second;
  std::u16string path = Put("huge.ach", testarc::Build(huge));
  ASSERT_EQ(second.Open(path.c_str(), ARC_OPEN_READ, nullptr), 0);
  EXPECT_EQ(second.ExtractAll(out_.c_str(), 0), ARC_E_DISK_FULL);
  EXPECT_EQ(second.ExtractEntry(u"*.*", out_.c_str(), 0), ARC_E_DISK_FULL);
  EXPECT_TRUE(OutIsEmpty());
}

TEST_F(ExtractTest, PatternsAndFlatMode_SelectAndPlaceTheRightFiles) {
  ArchiveSpec spec;
  spec.entries.push_back(testarc::Folder(u"docs\\"));
  spec.entries.push_back(testarc::File(u"docs\\Guide.TXT", "guide"));
  spec.entries.push_back(testarc::File(u"notes.txt", "notes"));
  spec.entries.push_back(testarc::File(u"image.png", "png"));
  CArchive2& archive = OpenSpec(spec, nullptr);
  EXPECT_EQ(archive.ExtractEntry(u"*.txt", out_.c_str(), ARC_EXTRACT_FLAT), 0);
  EXPECT_EQ(ReadAll(Out("Guide.TXT")), "guide");
  EXPECT_EQ(ReadAll(Out("notes.txt")), "notes");
  EXPECT_FALSE(plat::Exists(Out("docs").c_str()));
  EXPECT_FALSE(plat::Exists(Out("image.png").c_str()));
  EXPECT_EQ(archive.ExtractEntry(u"*.doc", out_.c_str(), 0), 1);
  int64_t size = 0;
  EXPECT_EQ(archive.GetSizeExtractEntry(u"*.TXT", size, 0), 0);
  EXPECT_EQ(size, 10);
}

}  // namespace

// Cancels the work at its first progress report.
class CancellingProgress : public archive_test::RecordingProgress {
 public:
  int32_t AddProgress(uint32_t low, int32_t high) override {
    status = ARC_E_CANCELLED;
    return CZoArchiveProgress::AddProgress(low, high);
  }
};

// Names in the destination folder other than "." and "..".
std::vector<std::u16string> NamesIn(const std::u16string& folder) {
  std::vector<std::u16string> names;
  plat::DirectoryLister lister;
  if (!lister.Open(folder.c_str(), u"*")) return names;
  plat::DirectoryEntry e;
  while (lister.Next(&e))
    if (e.name != u"." && e.name != u"..") names.push_back(e.name);
  return names;
}

TEST_F(ExtractTest, ReplacingAFile_KeepsTheOldOneWhenTheNewCopyFailsOrIsCancelled) {
  std::string content;
  for (int i = 0; i < 600000; ++i) content += static_cast<char>('a' + i % 26);
  struct Case {
    const char* label;
    void (*damage)(testarc::EntrySpec&);
    bool cancel;
    ZoResult result;
  };
  const Case cases[] = {
      {"uncompressed CRC wrong", [](testarc::EntrySpec& e) { e.crcUncompressedOverride = 1; }, false, ARC_E_CHECK},
      {"stored CRC wrong", [](testarc::EntrySpec& e) { e.crcCompressedOverride = 1; }, false, ARC_E_CHECK},
      {"stored entry, CRC wrong",
       [](testarc::EntrySpec& e) {
         e.compressionType = 0;
         e.crcUncompressedOverride = 1;
       },
       false, ARC_E_CHECK},
      {"not a deflate stream", [](testarc::EntrySpec& e) { e.storedBytesOverride = std::string(40, '\xff'); }, false,
       ARC_E_WRITE},
      {"cancelled part-way", [](testarc::EntrySpec&) {}, true, ARC_E_CANCELLED},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    ArchiveSpec spec;
    testarc::EntrySpec entry = testarc::File(u"keep.txt", content);
    c.damage(entry);
    spec.entries.push_back(entry);
    std::u16string path = Put("replace.ach", testarc::Build(spec));
    ASSERT_TRUE(archive_test::WriteBytes(Out("keep.txt"), "old"));
    ASSERT_TRUE(plat::SetAttributes(Out("keep.txt").c_str(), ZO_ATTR_READONLY));
    archive_test::RecordingProgress plain;
    CancellingProgress cancelling;
    CArchive2 archive;
    ASSERT_EQ(archive.Open(path.c_str(), ARC_OPEN_READ, c.cancel ? &cancelling : &plain), 0);
    EXPECT_EQ(archive.ExtractAll(out_.c_str(), ARC_EXTRACT_OVERWRITE), c.result);
    EXPECT_EQ(ReadAll(Out("keep.txt")), "old");
    EXPECT_NE(plat::GetAttributes(Out("keep.txt").c_str()) & ZO_ATTR_READONLY, 0u);
    EXPECT_EQ(NamesIn(out_), std::vector<std::u16string>{u"keep.txt"});  // no copy left beside it
    plat::SetAttributes(Out("keep.txt").c_str(), ZO_ATTR_NORMAL);
    plat::DeleteFile(Out("keep.txt").c_str());
  }
}

TEST_F(ExtractTest, ReplacingAFile_PutsTheCheckedCopyInItsPlace) {
  ArchiveSpec spec;
  testarc::EntrySpec entry = testarc::File(u"keep.txt", std::string(5000, 'n'));
  entry.attributes = ZO_ATTR_READONLY | ZO_ATTR_ARCHIVE;
  spec.entries.push_back(entry);
  spec.entries.push_back(testarc::File(u"plain.txt", "plain", 0));
  ASSERT_TRUE(archive_test::WriteBytes(Out("keep.txt"), "old"));
  ASSERT_TRUE(plat::SetAttributes(Out("keep.txt").c_str(), ZO_ATTR_READONLY));
  ASSERT_TRUE(archive_test::WriteBytes(Out("plain.txt"), "older and longer"));
  CArchive2& archive = OpenSpec(spec, nullptr);
  EXPECT_EQ(archive.ExtractAll(out_.c_str(), 0), 0);
  EXPECT_EQ(ReadAll(Out("keep.txt")), std::string(5000, 'n'));
  EXPECT_NE(plat::GetAttributes(Out("keep.txt").c_str()) & ZO_ATTR_READONLY, 0u);
  EXPECT_EQ(ReadAll(Out("plain.txt")), "plain");
  plat::FileTimes times;
  ASSERT_TRUE(plat::GetFileTimes(Out("plain.txt").c_str(), &times));
  EXPECT_EQ(times.lastWrite, spec.entries[1].fileTime);
  EXPECT_EQ(NamesIn(out_).size(), 2u);
  plat::SetAttributes(Out("keep.txt").c_str(), ZO_ATTR_NORMAL);
}

TEST_F(ExtractTest, CancelPartWay_RemovesTheNewFileItCutShort) {
  ArchiveSpec spec;
  spec.entries.push_back(testarc::File(u"big.bin", std::string(700000, 'b'), 0));
  CancellingProgress progress;
  CArchive2& archive = OpenSpec(spec, &progress);
  EXPECT_EQ(archive.ExtractAll(out_.c_str(), 0), ARC_E_CANCELLED);
  EXPECT_TRUE(OutIsEmpty());
}

namespace {
// The events and outcome of extracting `entries` into a fresh `out`, with `plant`
// run first to put something at the names.
struct Outcome {
  ZoResult result = 0;
  std::vector<std::pair<bool, int32_t>> events;  // (is error, code) after `skip` events
  std::string content;                           // of out/dir/x.txt afterwards
};
}  // namespace

TEST_F(ExtractTest, SecondFileOfAFolder_MeetsWhatStandsAtItsNameAsTheFirstDoes) {
  // The first file of a folder walks the folder and looks at its name; later ones
  // are created in one exclusive call. Both must end alike, event for event,
  // whatever stands at the name or however the entry is damaged.
  std::u16string outside = scratch_ / "outside.txt";
  ASSERT_TRUE(archive_test::WriteBytes(outside, "precious"));
  const std::string body(5000, 'x');
  struct Case {
    const char* label;
    testarc::EntrySpec entry;
    const char* plant;  // "", "file", "readonly", "link", "folder"
    uint32_t flags;
  };
  testarc::EntrySpec plain = testarc::File(u"dir\\x.txt", body);
  testarc::EntrySpec stored = testarc::File(u"dir\\x.txt", body, 0);
  testarc::EntrySpec badCrc = plain;
  badCrc.crcUncompressedOverride = 0x1234;
  testarc::EntrySpec cut = plain;
  cut.storedBytesOverride = testarc::RawDeflate(body, 6).substr(0, 40);
  testarc::EntrySpec unknown = plain;
  unknown.compressionType = 2;
  testarc::EntrySpec lost = stored;
  lost.localOffsetOverride = 1ull << 40;
  testarc::EntrySpec mode = plain;
  mode.reserved4 = 0x81A40000u;  // a POSIX-built archive's 0644
  const Case cases[] = {
      {"new file", plain, "", 0},
      {"new stored file with a mode", mode, "", 0},
      {"stored", stored, "", 0},
      {"existing file, asked", plain, "file", 0},
      {"read-only file, asked", plain, "readonly", 0},
      {"existing file, overwrite", stored, "file", ARC_EXTRACT_OVERWRITE},
      {"link at the name", plain, "link", ARC_EXTRACT_OVERWRITE},
      {"folder at the name", plain, "folder", ARC_EXTRACT_OVERWRITE},
      {"bad CRC", badCrc, "", 0},
      {"bad CRC over a file", badCrc, "file", ARC_EXTRACT_OVERWRITE},
      {"stream cut short", cut, "", 0},
      {"unknown compression", unknown, "", 0},
      {"bytes beyond the archive", lost, "", 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    Outcome runs[2];
    bool noLink = false;
    for (int second = 0; second < 2; ++second) {
      out_ = scratch_ / ("out" + std::to_string(&c - cases) + "-" + std::to_string(second)).c_str();
      ASSERT_TRUE(plat::CreateDirectory(out_.c_str()));
      ASSERT_TRUE(plat::CreateDirectory(Out("dir").c_str()));
      const std::string p = c.plant;
      if (p == "file" || p == "readonly") {
        ASSERT_TRUE(archive_test::WriteBytes(Out("dir/x.txt"), "old"));
      }
      if (p == "readonly") {
        ASSERT_TRUE(plat::SetAttributes(Out("dir/x.txt").c_str(), ZO_ATTR_READONLY));
      }
      if (p == "folder") {
        ASSERT_TRUE(plat::CreateDirectory(Out("dir/x.txt").c_str()));
      }
      // Where no link can be made (Wine, Windows without the privilege) that case alone is left out.
      if (p == "link" && !plat::CreateSymbolicLink(Out("dir/x.txt").c_str(), outside.c_str(), false)) {
        noLink = true;
        break;
      }
      ArchiveSpec spec;
      if (second) spec.entries.push_back(testarc::File(u"dir\\a.txt", "first"));
      spec.entries.push_back(c.entry);
      RecordingProgress progress;
      progress.answers = {ARC_ANSWER_REPLACE};
      CArchive2 archive;
      std::u16string path = Put("second.ach", testarc::Build(spec));
      ASSERT_EQ(archive.Open(path.c_str(), ARC_OPEN_READ, &progress), 0);
      const size_t before = progress.events.size();
      runs[second].result = archive.ExtractAll(out_.c_str(), c.flags);
      // The first file's start and end (after the operation's own first event),
      // when there is one, are not compared.
      for (size_t i = before; i < progress.events.size(); ++i) {
        if (second && (i == before + 1 || i == before + 2)) continue;
        runs[second].events.push_back({progress.events[i].isError, progress.events[i].code});
      }
      runs[second].content = plat::IsDirectory(Out("dir/x.txt").c_str()) ? "<folder>" : ReadAll(Out("dir/x.txt"));
      if (second) {
        EXPECT_EQ(ReadAll(Out("dir/a.txt")), "first");
      }
      plat::SetAttributes(Out("dir/x.txt").c_str(), ZO_ATTR_NORMAL);
    }
    if (noLink) continue;
    EXPECT_EQ(runs[1].result, runs[0].result);
    EXPECT_EQ(runs[1].events, runs[0].events);
    EXPECT_EQ(runs[1].content, runs[0].content);
    EXPECT_EQ(ReadAll(outside), "precious");
  }
}
