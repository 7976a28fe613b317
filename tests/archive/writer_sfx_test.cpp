// Self-extracting files, split and merge: sizes and layouts, round trips, and the
// names of files written beside another file.
#include <algorithm>

#include "platform/directory.h"
#include "tests/archive/writer_support.h"

namespace writer_test {
namespace {

std::string Noise(size_t n, uint32_t seed) {
  std::string s(n, '\0');
  for (auto& c : s) {
    seed = seed * 1103515245u + 12345u;
    c = static_cast<char>(seed >> 24);
  }
  return s;
}

class WriterShape : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(dir.IsValid());
    src = dir / "src";
    ASSERT_TRUE(plat::CreateDirectory(src.c_str()));
    // Incompressible data, so that sizes are predictable and volumes fill up.
    ASSERT_TRUE(ScratchFolder::WriteFile(src + plat::kSeparator + u"one.bin", Noise(70000, 1)));
    ASSERT_TRUE(ScratchFolder::WriteFile(src + plat::kSeparator + u"two.bin", Noise(50000, 2)));
    archive = dir / "pack.ach";
    ASSERT_EQ(0, CreateArchive(archive, {src}, ARC_COMPRESSION_NONE, 0, u"c"));
    plain = ReadAll(archive);
    stub = dir / "stub.exe";
    ASSERT_TRUE(ScratchFolder::WriteFile(stub, std::string(5000, 'S')));
  }
  ScratchFolder dir;
  std::u16string src, archive, stub;
  std::vector<uint8_t> plain;
};

TEST_F(WriterShape, CreateSeaPutsTheStubInFrontAndSplitSeaTakesItOff) {
  const std::u16string sea = dir / "setup.exe";
  plat::SetPosixMode(stub.c_str(), 0755);
  {
    CArchive2 a;
    ASSERT_EQ(0, a.Open(archive.c_str(), ARC_OPEN_SEA, nullptr));
    int64_t size = 0;
    EXPECT_EQ(0, a.GetSizeCreateSEA(stub.c_str(), size));
    EXPECT_EQ(static_cast<int64_t>(5000 + plain.size()), size);
    EXPECT_EQ(0, a.IsSpaceForCreateSEA(sea.c_str(), stub.c_str()));
    ASSERT_EQ(0, a.CreateSEA(sea.c_str(), stub.c_str(), 0));
    EXPECT_EQ(0, a.Close());
  }
  std::vector<uint8_t> image = ReadAll(sea);
  DecodedArchive p = Decode(plain), s = Decode(image);
  ASSERT_TRUE(s.ok) << s.error;
  EXPECT_EQ(5000u + p.centralOffset + p.centralSize + 56 + 2 * (1 + archive.size()), image.size());
  EXPECT_TRUE(std::all_of(image.begin(), image.begin() + 5000, [](uint8_t b) { return b == 'S'; }));
  EXPECT_EQ(5000u, s.base);
  EXPECT_EQ(archive, s.storedName) << "the stored name is the plain archive's path";
  EXPECT_EQ(u"c", s.comment);
  EXPECT_EQ(Names(p), Names(s));
  for (size_t i = 0; i < p.central.size(); ++i) EXPECT_EQ(p.central[i].localOffset, s.central[i].localOffset);
  // The package is as executable as its stub (both 0 where there are no such bits).
  EXPECT_EQ(plat::GetPosixMode(stub.c_str()) & 0111, plat::GetPosixMode(sea.c_str()) & 0111);
  {
    CArchive2 reader;
    ASSERT_EQ(0, reader.Open(sea.c_str(), ARC_OPEN_READ, nullptr));
    EXPECT_EQ(1, reader.GetArchiveSEAStatus());
    EXPECT_EQ(0, reader.VerifyAll());
    reader.Close();
  }

  const std::u16string out = dir / "out";
  ASSERT_TRUE(plat::CreateDirectory(out.c_str()));
  {
    CArchive2 a;
    ASSERT_EQ(0, a.Open(sea.c_str(), ARC_OPEN_SEA, nullptr));
    ASSERT_EQ(0, a.SplitSEA(out.c_str(), 0));
    EXPECT_EQ(0, a.Close());
  }
  const std::u16string sep(1, plat::kSeparator);
  EXPECT_EQ(ReadAll(stub), ReadAll(out + sep + u"Seastub.exe"));
  std::vector<uint8_t> back = ReadAll(out + sep + u"pack.ach");
  DecodedArchive b = Decode(back);
  ASSERT_TRUE(b.ok) << b.error;
  EXPECT_EQ(0u, b.base);
  EXPECT_TRUE(b.storedName.empty());
  EXPECT_EQ(plain, back) << "the plain archive comes back byte for byte";

  // A plain archive has no stub to take off.
  CArchive2 a;
  ASSERT_EQ(0, a.Open(archive.c_str(), ARC_OPEN_SEA, nullptr));
  EXPECT_EQ(ARC_E_NOT_SEA, a.SplitSEA(out.c_str(), ARC_SEA_REPLACE));
  a.Close();
}

// Every package an open archive makes is the stub followed by the archive and an
// end record with the stub's size as base, byte for byte, however many it makes.
TEST_F(WriterShape, CreateSeaMakesEveryPackageFromTheSameArchive) {
  const DecodedArchive p = Decode(plain);
  const std::vector<uint8_t> body = WithEndRecord(plain, p, 0, archive);
  const std::string stubs[] = {std::string(5000, 'S'), std::string(1, 'T'), Noise(200000, 3)};
  CArchive2 a;
  ASSERT_EQ(0, a.Open(archive.c_str(), ARC_OPEN_SEA, nullptr));
  std::vector<std::u16string> packages;
  for (const std::string& stubBytes : stubs) {
    const std::u16string stubFile = dir / ("stub" + std::to_string(packages.size() + 1) + ".exe");
    packages.push_back(dir / ("setup" + std::to_string(packages.size() + 1) + ".exe"));
    ASSERT_TRUE(ScratchFolder::WriteFile(stubFile, stubBytes));
    ASSERT_EQ(0, a.CreateSEA(packages.back().c_str(), stubFile.c_str(), 0)) << stubBytes.size();
  }
  // The object holds the last package open (unshared on Windows) until Close.
  EXPECT_EQ(0, a.Close());
  for (size_t i = 0; i < packages.size(); ++i) {
    SCOPED_TRACE(stubs[i].size());
    std::vector<uint8_t> expected(stubs[i].begin(), stubs[i].end());
    const std::vector<uint8_t> archivePart = WithEndRecord(body, p, stubs[i].size(), archive);
    expected.insert(expected.end(), archivePart.begin(), archivePart.end());
    EXPECT_EQ(expected, ReadAll(packages[i]));
  }
}

// The package records the full path of the archive it is made from, a split one
// included; only a set whose main file was renamed after the split keeps the name
// its volumes carry. Either way the package reads as a whole with the volumes
// copied beside it.
TEST_F(WriterShape, CreateSeaRecordsThePathItIsMadeFrom) {
  const std::u16string sep(1, plat::kSeparator);
  struct Case {
    const char* what;
    int64_t volumeSize;  // 0: not split
    const char16_t* mainName;
    bool keepsSetName;
  } cases[] = {
      {"plain archive", 0, u"pack.ach", false},
      {"set", 40000, u"pack.ach", false},
      {"set with its main file renamed", 40000, u"renamed.ach", true},
  };
  int n = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const std::u16string folder = dir / ("case" + std::to_string(++n));
    ASSERT_TRUE(plat::CreateDirectory(folder.c_str()));
    const std::u16string main = folder + sep + u"pack.ach";
    ASSERT_TRUE(WriteAll(main, plain));
    uint32_t volumes = 1;
    if (c.volumeSize > 0) {
      CArchive2 a;
      ASSERT_EQ(0, a.Open(main.c_str(), ARC_OPEN_MULTIVOL, nullptr));
      ASSERT_EQ(0, a.SplitArchive(c.volumeSize, 0));
      ASSERT_EQ(0, a.Close());
      volumes = Decode(ReadAll(main), false).volumeCount;
      ASSERT_GE(volumes, 2u);
    }
    const std::u16string input = folder + sep + c.mainName;
    if (input != main) {
      ASSERT_TRUE(plat::MoveFile(main.c_str(), input.c_str(), false));
    }
    const std::u16string out = folder + sep + u"out";
    ASSERT_TRUE(plat::CreateDirectory(out.c_str()));
    const std::u16string sea = out + sep + u"setup.exe";
    {
      CArchive2 a;
      ASSERT_EQ(0, a.Open(input.c_str(), ARC_OPEN_SEA, nullptr));
      ASSERT_EQ(0, a.CreateSEA(sea.c_str(), stub.c_str(), 0));
      EXPECT_EQ(0, a.Close());
    }
    const DecodedArchive s = Decode(ReadAll(sea), false);
    ASSERT_TRUE(s.ok) << s.error;
    EXPECT_EQ(c.keepsSetName ? std::u16string(u"pack.ach") : input, s.storedName);
    EXPECT_EQ(volumes, s.volumeCount);
    for (uint32_t k = 2; k <= volumes; ++k) {
      const std::u16string name = u"pack" + plat::U16(std::to_string(k)) + u".ach";
      EXPECT_EQ(ReadAll(folder + sep + name), ReadAll(out + sep + name)) << k;
    }
    CArchive2 reader;
    ASSERT_EQ(0, reader.Open(sea.c_str(), ARC_OPEN_READ, nullptr));
    EXPECT_EQ(static_cast<int>(volumes), reader.GetMultiVolumeStatus());
    EXPECT_EQ(0, reader.VerifyAll());
    reader.Close();
  }
}

TEST_F(WriterShape, SplitSeaWritesOnlyIntoTheChosenFolder) {
  DecodedArchive p = Decode(plain);
  std::vector<uint8_t> withStub(5000, 'S');
  std::vector<uint8_t> hostile = WithEndRecord(plain, p, 5000, u"..\\..\\evil/../x:evil.ach");
  withStub.insert(withStub.end(), hostile.begin(), hostile.end());
  const std::u16string sea = dir / "hostile.exe";
  ASSERT_TRUE(WriteAll(sea, withStub));
  const std::u16string out = dir / "deep";
  ASSERT_TRUE(plat::CreateDirectory(out.c_str()));
  CArchive2 a;
  ASSERT_EQ(0, a.Open(sea.c_str(), ARC_OPEN_SEA, nullptr));
  ASSERT_EQ(0, a.SplitSEA(out.c_str(), 0));
  a.Close();
  EXPECT_TRUE(plat::Exists((out + plat::kSeparator + u"evil.ach").c_str()));
  EXPECT_FALSE(plat::Exists((dir / "evil.ach").c_str()));
  EXPECT_FALSE(plat::Exists((dir / "x").c_str()));
}

// SplitSEA into the folder of the file it reads never creates a file over it:
// neither when the stored name is the file's own name nor when the file is
// called like the stub.
TEST_F(WriterShape, SplitSeaNeverWritesOverTheFileItReads) {
  DecodedArchive p = Decode(plain);
  const std::u16string own = dir / "own";
  ASSERT_TRUE(plat::CreateDirectory(own.c_str()));
  const std::u16string sep(1, plat::kSeparator);
  struct Case {
    const char16_t* fileName;
    const char16_t* storedName;
  } cases[] = {{u"pack.ach", u"C:\\work\\pack.ach"}, {u"Seastub.exe", u"pack.ach"}, {u"same.ach", u"Seastub.exe"}};
  for (const Case& c : cases) {
    SCOPED_TRACE(plat::ToUtf8(c.fileName));
    std::vector<uint8_t> image(5000, 'S');
    const std::vector<uint8_t> body = WithEndRecord(plain, p, 5000, c.storedName);
    image.insert(image.end(), body.begin(), body.end());
    const std::u16string sea = own + sep + c.fileName;
    ASSERT_TRUE(WriteAll(sea, image));
    CArchive2 a;
    ASSERT_EQ(0, a.Open(sea.c_str(), ARC_OPEN_SEA, nullptr));
    EXPECT_EQ(E_INVALIDARG, a.SplitSEA(own.c_str(), ARC_SEA_REPLACE));
    a.Close();
    EXPECT_EQ(image, ReadAll(sea));
    plat::DeleteFile(sea.c_str());
  }
}

// A file named like one of its own volumes is never written over nor merged
// into itself (and then deleted as a merged volume).
TEST_F(WriterShape, SplitAndMergeNeverTreatTheMainFileAsItsOwnVolume) {
  DecodedArchive p = Decode(plain);
  // A self-extracting file called pack2.ach whose set is named pack.ach.
  std::vector<uint8_t> sea(5000, 'S');
  const std::vector<uint8_t> body = WithEndRecord(plain, p, 5000, u"pack.ach");
  sea.insert(sea.end(), body.begin(), body.end());
  const std::u16string selfNamed = dir / "pack2.ach";
  ASSERT_TRUE(WriteAll(selfNamed, sea));
  {
    CArchive2 a;
    ASSERT_EQ(0, a.Open(selfNamed.c_str(), ARC_OPEN_MULTIVOL, nullptr));
    EXPECT_EQ(E_INVALIDARG, a.SplitArchive(40000, 0));
    EXPECT_EQ(1, a.Close());
  }
  EXPECT_EQ(sea, ReadAll(selfNamed));
  ASSERT_TRUE(plat::DeleteFile(selfNamed.c_str()));

  // A split main file renamed to the name of its volume 2.
  {
    CArchive2 a;
    ASSERT_EQ(0, a.Open(archive.c_str(), ARC_OPEN_MULTIVOL, nullptr));
    ASSERT_EQ(0, a.SplitArchive(100000, 0));
    ASSERT_EQ(0, a.Close());
  }
  ASSERT_EQ(2u, Decode(ReadAll(archive), false).volumeCount);
  const std::vector<uint8_t> main = ReadAll(archive);
  ASSERT_TRUE(plat::MoveFile(archive.c_str(), selfNamed.c_str(), true));
  {
    CArchive2 a;
    ASSERT_EQ(0, a.Open(selfNamed.c_str(), ARC_OPEN_MULTIVOL, nullptr));
    EXPECT_EQ(E_INVALIDARG, a.MergeArchive(0));
    EXPECT_EQ(1, a.Close());
  }
  EXPECT_EQ(main, ReadAll(selfNamed));
}

TEST_F(WriterShape, SplitKeepsEveryFileWithinTheVolumeSizeAndMergeRestores) {
  const DecodedArchive p = Decode(plain);
  for (int64_t volume : {int64_t(30000), int64_t(2000), static_cast<int64_t>(p.centralOffset)}) {
    SCOPED_TRACE(volume);
    ASSERT_TRUE(WriteAll(archive, plain));
    {
      CArchive2 a;
      ASSERT_EQ(0, a.Open(archive.c_str(), ARC_OPEN_MULTIVOL, nullptr));
      ASSERT_EQ(0, a.SplitArchive(volume, 0));
      EXPECT_EQ(0, a.Close());
    }
    std::vector<uint8_t> main = ReadAll(archive);
    DecodedArchive m = Decode(main, false);
    ASSERT_TRUE(m.ok) << m.error;
    EXPECT_EQ(u"pack.ach", m.storedName);
    const uint64_t overhead = p.centralSize + 56 + 2 * (1 + 8);
    const uint64_t w = static_cast<uint64_t>(volume) > overhead ? volume - overhead : 0;
    EXPECT_EQ(w, m.centralOffset);
    if (w > 0) {
      EXPECT_EQ(static_cast<uint64_t>(volume), main.size()) << "the main file is exactly one volume";
    }
    // The entry stream is the main file's part followed by the volumes.
    std::vector<uint8_t> stream(main.begin(), main.begin() + static_cast<long>(w));
    for (uint32_t k = 2; k <= m.volumeCount; ++k) {
      std::vector<uint8_t> v = ReadAll(dir / ("pack" + std::to_string(k) + ".ach"));
      EXPECT_LE(v.size(), static_cast<size_t>(volume));
      stream.insert(stream.end(), v.begin(), v.end());
    }
    EXPECT_EQ(std::vector<uint8_t>(plain.begin(), plain.begin() + static_cast<long>(p.centralOffset)), stream);
    EXPECT_FALSE(plat::Exists((dir / ("pack" + std::to_string(m.volumeCount + 1) + ".ach")).c_str()));
    {
      CArchive2 reader;
      ASSERT_EQ(0, reader.Open(archive.c_str(), ARC_OPEN_READ, nullptr));
      EXPECT_EQ(static_cast<int>(m.volumeCount), reader.GetMultiVolumeStatus());
      EXPECT_EQ(0, reader.VerifyAll());
      reader.Close();
    }
    {
      CArchive2 a;
      ASSERT_EQ(0, a.Open(archive.c_str(), ARC_OPEN_MULTIVOL, nullptr));
      EXPECT_EQ(E_FAIL, a.SplitArchive(volume, 0)) << "already split";
      ASSERT_EQ(0, a.MergeArchive(0));
      EXPECT_EQ(0, a.Close());
    }
    EXPECT_EQ(plain, ReadAll(archive)) << "merged back byte for byte (volume count 1, empty name)";
    for (uint32_t k = 2; k <= m.volumeCount; ++k)
      EXPECT_FALSE(plat::Exists((dir / ("pack" + std::to_string(k) + ".ach")).c_str()));
  }
}

TEST_F(WriterShape, MergeRemovesTheVolumesOnceTheMergedFileStands) {
  {
    CArchive2 a;
    ASSERT_EQ(0, a.Open(archive.c_str(), ARC_OPEN_MULTIVOL, nullptr));
    ASSERT_EQ(0, a.SplitArchive(40000, 0));
    ASSERT_EQ(0, a.Close());
  }
  ASSERT_TRUE(plat::Exists((dir / "pack2.ach").c_str()));
  CArchive2 a;
  ASSERT_EQ(0, a.Open(archive.c_str(), ARC_OPEN_MULTIVOL, nullptr));
  ASSERT_EQ(0, a.MergeArchive(0));
  EXPECT_TRUE(plat::Exists((dir / "pack2.ach").c_str())) << "not before the commit";
  ASSERT_EQ(0, a.Close());
  EXPECT_EQ(plain, ReadAll(archive));
  EXPECT_FALSE(plat::Exists((dir / "pack2.ach").c_str()));
  EXPECT_FALSE(plat::Exists((dir / "pack3.ach").c_str()));
}

TEST_F(WriterShape, SplitRefusesBadSizesAndMergeWithoutAVolumeChangesNothing) {
  {
    CArchive2 a;
    ASSERT_EQ(0, a.Open(archive.c_str(), ARC_OPEN_MULTIVOL, nullptr));
    EXPECT_EQ(E_INVALIDARG, a.SplitArchive(0, 0));
    EXPECT_EQ(E_INVALIDARG, a.SplitArchive(static_cast<int64_t>(plain.size()) * 2, 0));
    EXPECT_EQ(E_FAIL, a.MergeArchive(0)) << "not a set";
    EXPECT_EQ(1, a.Close());
  }
  EXPECT_EQ(plain, ReadAll(archive));
  {
    CArchive2 a;
    ASSERT_EQ(0, a.Open(archive.c_str(), ARC_OPEN_MULTIVOL, nullptr));
    ASSERT_EQ(0, a.SplitArchive(40000, 0));
    ASSERT_EQ(0, a.Close());
  }
  const std::vector<uint8_t> main = ReadAll(archive);
  const std::u16string volume3 = dir / "pack3.ach";
  const std::vector<uint8_t> v3 = ReadAll(volume3);
  ASSERT_FALSE(v3.empty());
  ASSERT_TRUE(plat::DeleteFile(volume3.c_str()));
  {
    CArchive2 a;
    ASSERT_EQ(0, a.Open(archive.c_str(), ARC_OPEN_MULTIVOL, nullptr));
    EXPECT_EQ(ARC_E_OPEN_FAILED, a.MergeArchive(0));
    EXPECT_EQ(1, a.Close());
  }
  EXPECT_EQ(main, ReadAll(archive));
  EXPECT_TRUE(plat::Exists((dir / "pack2.ach").c_str()));

  // A merge whose commit fails keeps the volumes: they are the only copy.
  ASSERT_TRUE(WriteAll(volume3, v3));
  {
    CArchive2 a;
    ASSERT_EQ(0, a.Open(archive.c_str(), ARC_OPEN_MULTIVOL, nullptr));
    ASSERT_EQ(0, a.MergeArchive(0));
    plat::fault::FileFaults faults;
    faults.failRename = true;
    FaultScope scope(faults);
    EXPECT_LT(a.Close(), 0);
  }
  EXPECT_EQ(main, ReadAll(archive));
  EXPECT_EQ(v3, ReadAll(volume3));
  EXPECT_TRUE(plat::Exists((dir / "pack2.ach").c_str()));
}

TEST_F(WriterShape, CreateSeaOfASetCopiesItsVolumesBesideTheOutput) {
  {
    CArchive2 a;
    ASSERT_EQ(0, a.Open(archive.c_str(), ARC_OPEN_MULTIVOL, nullptr));
    ASSERT_EQ(0, a.SplitArchive(50000, 0));
    ASSERT_EQ(0, a.Close());
  }
  const std::u16string out = dir / "dist";
  ASSERT_TRUE(plat::CreateDirectory(out.c_str()));
  const std::u16string sep(1, plat::kSeparator);
  {
    CArchive2 a;
    ASSERT_EQ(0, a.Open(archive.c_str(), ARC_OPEN_SEA, nullptr));
    ASSERT_EQ(0, a.CreateSEA((out + sep + u"setup.exe").c_str(), stub.c_str(), 0));
    EXPECT_EQ(0, a.Close());
  }
  {
    // The package may not replace a volume of the set it is made from.
    const std::vector<uint8_t> volume2 = ReadAll(dir / "pack2.ach");
    CArchive2 a;
    ASSERT_EQ(0, a.Open(archive.c_str(), ARC_OPEN_SEA, nullptr));
    EXPECT_EQ(E_INVALIDARG, a.CreateSEA((dir / "pack2.ach").c_str(), stub.c_str(), 0));
    a.Close();
    EXPECT_EQ(volume2, ReadAll(dir / "pack2.ach"));
  }
  EXPECT_EQ(ReadAll(dir / "pack2.ach"), ReadAll(out + sep + u"pack2.ach"));
  EXPECT_EQ(ReadAll(dir / "pack3.ach"), ReadAll(out + sep + u"pack3.ach"));
  CArchive2 reader;
  ASSERT_EQ(0, reader.Open((out + sep + u"setup.exe").c_str(), ARC_OPEN_READ, nullptr));
  EXPECT_EQ(3, reader.GetMultiVolumeStatus());
  EXPECT_EQ(0, reader.VerifyAll());
  reader.Close();
}

}  // namespace
}  // namespace writer_test
