// Name patterns, the remembered replace answers, block and file copies, and the
// names of temporary files and volumes.
#include "tests/archive/archive_test_support.h"

namespace {

using archive_test::ArchiveTest;
using archive_test::RecordingProgress;

TEST(Wildcards, PatternsClassifyAndMatchAsTheFormatDefines) {
  struct Case {
    const char16_t* pattern;
    const char16_t* name;
    bool matches;
  };
  const Case cases[] = {
      {u"*.*", u"anything\\at.all", true},
      {u"*.*", u"noext", true},
      {u"*.txt", u"a.txt", true},
      {u"*.txt", u"docs\\A.TXT", true},
      {u"*.txt", u".txt", false},  // the name must be longer than the suffix
      {u"read*", u"read", true},   // a prefix pattern matches the prefix itself
      {u"read*", u"docs\\readme.txt", true},
      {u"a*c", u"abc", false},     // a star in the middle is an ordinary character
      {u"a*c", u"a*c", true},
      {u"readme.txt", u"docs\\readme.txt", true},
      {u"readme.txt", u"docs\\readme.txt.bak", false},
      {u"README.TXT", u"c:readme.txt", true},  // the file part follows a colon too
      {u"a?", u"ab", false},                   // '?' has no meaning
  };
  CArchive2 archive;
  for (const Case& c : cases) {
    std::u16string part;
    WildcardKind kind;
    ASSERT_EQ(archive.CheckForWildcards(c.pattern, part, kind), 0) << plat::ToUtf8(c.pattern);
    EXPECT_EQ(CArchive2::MatchWildcard(c.name, part, kind), c.matches)
        << plat::ToUtf8(c.pattern) << " vs " << plat::ToUtf8(c.name);
  }
  RecordingProgress progress;
  CArchive2 reporting;
  ASSERT_EQ(reporting.Open(u"", ARC_OPEN_READ, &progress), E_INVALIDARG);  // only to attach the host
  std::u16string part;
  WildcardKind kind;
  EXPECT_EQ(reporting.CheckForWildcards(u"x", part, kind), ARC_E_BAD_NAME);
  EXPECT_EQ(reporting.CheckForWildcards(nullptr, part, kind), ARC_E_BAD_NAME);
  EXPECT_TRUE(progress.HasError(ARC_ERROR_BUFFER, u"CheckForWildcards"));
}

TEST(ReplaceQuestion, AnAllAnswerIsRememberedUntilClose) {
  RecordingProgress progress;
  CArchive2 archive;
  archive.Open(u"", ARC_OPEN_READ, &progress);  // attaches the host; the open itself fails
  progress.answers = {ARC_ANSWER_REPLACE_ALL};
  EXPECT_EQ(archive.AskReplace(u"/t/a", false), 0);
  EXPECT_EQ(archive.AskReplace(u"/t/b", false), 0);
  EXPECT_EQ(progress.questions, 1);
  EXPECT_EQ(progress.CountStatus(ARC_EVENT_REPLACED), 2);
  progress.answers = {ARC_ANSWER_SKIP};
  EXPECT_EQ(archive.AskReplace(u"/t/ro", true), 1);  // the read-only question is separate
  EXPECT_EQ(progress.questions, 2);
  progress.answers = {ARC_E_CANCELLED};
  archive.Close();
  EXPECT_EQ(archive.AskReplace(u"/t/c", false), ARC_E_CANCELLED);
}

class CopyTest : public ArchiveTest {};

TEST_F(CopyTest, BlockCopyAndFileCopy_MoveBytesAndReportEmptySources) {
  std::u16string source = Put("source.bin", std::string(600000, 's'));
  std::u16string target = scratch_ / "target.bin";
  CArchive2 archive;
  {
    plat::File in = plat::File::Open(source.c_str(), plat::Access::Read, plat::kShareRead, plat::Disposition::OpenExisting);
    plat::File out = plat::File::Open(target.c_str(), plat::Access::ReadWrite, plat::kShareNone, plat::Disposition::CreateAlways);
    EXPECT_EQ(archive.BlockCopy(in, 0, 0, out, 0), 0);
    EXPECT_EQ(archive.BlockCopy(in, 100, 500000, out, 10), 0);
    uint64_t size = 0;
    out.Size(&size);
    EXPECT_EQ(size, 500010u);
    // Asking for more than the source holds ends in a read failure.
    EXPECT_EQ(archive.BlockCopy(in, 599990, 100, out, 0), ARC_E_READ);
  }
  std::u16string copy = scratch_ / "copy.bin";
  EXPECT_EQ(archive.FileCopy(source.c_str(), copy.c_str()), 0);
  EXPECT_EQ(archive_test::ReadAll(copy), std::string(600000, 's'));

  RecordingProgress progress;
  CArchive2 reporting;
  reporting.Open(u"", ARC_OPEN_READ, &progress);
  std::u16string empty = Put("empty.bin", "");
  EXPECT_EQ(reporting.FileCopy(empty.c_str(), copy.c_str()), ARC_E_CHECK);
  EXPECT_TRUE(progress.HasError(ARC_ERROR_BLOCK_MISMATCH, u"FileCopy"));
  EXPECT_EQ(archive_test::ReadAll(copy), "");
  std::u16string missing = scratch_ / "missing.bin";
  EXPECT_EQ(reporting.FileCopy(missing.c_str(), copy.c_str()), ARC_E_OPEN_FAILED);
  EXPECT_TRUE(progress.HasError(ARC_ERROR_OPEN_INPUT, u"FileCopy"));
}

// Exposes the protected name builders.
class NamingArchive : public CArchive2 {
 public:
  using CArchive2::MakeTempPath;
  using CArchive2::MakeVolumePath;
};

TEST_F(CopyTest, VolumeNames_ComeFromTheStoredNamesFilePartOnly) {
  struct Case {
    const char16_t* stored;
    const char* volume2;  // file name beside the main file
  };
  const Case cases[] = {
      {u"pack.ach", "pack2.ach"},
      {u"C:\\build\\out\\pack.ach", "pack2.ach"},
      {u"..\\..\\etc\\pack.ach", "pack2.ach"},
      {u"../../etc/pack.ach", "pack2.ach"},
      {u"D:pack.v1.ach", "pack.v12.ach"},
      {u"noext", "noext2"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(plat::ToUtf8(c.stored));
    testarc::ArchiveSpec spec;
    spec.entries.push_back(testarc::File(u"a.txt", "a"));
    spec.storedName = c.stored;
    testarc::VolumeSet set = testarc::BuildVolumeSet(spec, 10, {1});
    std::u16string main = Put("main.ach", set.main);
    NamingArchive archive;
    ASSERT_EQ(archive.Open(main.c_str(), ARC_OPEN_READ, nullptr), 0);
    std::u16string volume;
    ASSERT_TRUE(archive.MakeVolumePath(2, &volume));
    EXPECT_EQ(volume, scratch_ / c.volume2);
    ZoChar temp[ZO_MAX_PATH];
    ASSERT_TRUE(archive.MakeTempPath(main.c_str(), temp, ZO_MAX_PATH));
    EXPECT_EQ(std::u16string(temp), scratch_ / "~main.ach");
  }
}

}  // namespace
