// Signed packages: the archive ends where the certificate table named by the
// stub's PE header begins, the table is never taken for archive bytes, every
// rewrite drops it with the header's pointer, and hostile headers are ignored or
// fail cleanly.
#include <cstring>

#include "archive/pe_certificate.h"
#include "tests/archive/archive_test_support.h"

namespace {

using archive_test::ArchiveTest;
using archive_test::ReadAll;
using testarc::ArchiveSpec;

constexpr size_t kPeOffset = 0x80;
constexpr size_t kOptional = kPeOffset + 24;
constexpr uint32_t kChecksum = 0x12345678;
constexpr const char* kTableMark = "CCCCCCCC";  // the first bytes of every test table

// What a test header may get wrong; every field left alone is as a linker writes it.
struct HeaderSpec {
  bool plus = false;               // PE32+ (x64) instead of PE32
  uint32_t peOffset = kPeOffset;   // e_lfanew
  uint32_t peSignature = 0x00004550;
  uint16_t magic = 0;              // 0: the form's own
  uint32_t directoryCount = 16;
  int optionalSizeDelta = 0;
};

size_t SecurityEntryOffset(bool plus) { return kOptional + (plus ? 112 : 96) + 4 * 8; }
size_t HeadersEnd(bool plus) { return kOptional + (plus ? 240 : 224) + 40; }

void Put32(std::string& s, size_t at, uint32_t v) {
  for (int i = 0; i < 4; ++i) s[at + i] = static_cast<char>(v >> (8 * i));
}
void Put16(std::string& s, size_t at, uint16_t v) {
  s[at] = static_cast<char>(v);
  s[at + 1] = static_cast<char>(v >> 8);
}

// A stub of `size` bytes whose headers name a certificate table at `start` of `length` bytes.
std::string Stub(const HeaderSpec& h, size_t size, uint32_t start, uint32_t length) {
  std::string s(size, 'S');
  std::memset(s.data(), 0, HeadersEnd(h.plus));
  s[0] = 'M';
  s[1] = 'Z';
  Put32(s, 0x3C, h.peOffset);
  Put32(s, kPeOffset, h.peSignature);
  Put16(s, kPeOffset + 4, h.plus ? 0x8664 : 0x14C);
  Put16(s, kPeOffset + 6, 1);  // one section
  Put16(s, kPeOffset + 20, static_cast<uint16_t>((h.plus ? 240 : 224) + h.optionalSizeDelta));
  Put16(s, kOptional, h.magic ? h.magic : (h.plus ? 0x20B : 0x10B));
  Put32(s, kOptional + 64, kChecksum);
  Put32(s, kOptional + (h.plus ? 108 : 92), h.directoryCount);
  Put32(s, SecurityEntryOffset(h.plus), start);
  Put32(s, SecurityEntryOffset(h.plus) + 4, length);
  return s;
}

ArchiveSpec Payload() {
  ArchiveSpec spec;
  spec.entries.push_back(testarc::File(u"readme.txt", "the signed payload\n"));
  spec.entries.push_back(testarc::File(u"setup.exe", std::string(3000, 'x'), 0));
  spec.storedName = u"payload.ach";
  return spec;
}

// A package as a signing tool leaves it: stub, archive, zeros up to a multiple of
// 8, then the table. The table holds a complete archive of its own (what anyone
// could plant there without breaking the signature) and some padding.
struct Signed {
  std::string bytes;
  std::string stub;
  std::string plain;  // the archive alone, base 0
  uint64_t tableStart = 0;
  uint64_t tableSize = 0;
};

Signed MakeSigned(bool plus) {
  const size_t stubSize = 4096;
  ArchiveSpec spec = Payload();
  spec.stub = std::string(stubSize, '\0');
  const size_t archiveEnd = testarc::Build(spec).size();
  const uint64_t tableStart = (archiveEnd + 7) / 8 * 8;
  ArchiveSpec planted;
  planted.entries.push_back(testarc::File(u"planted.txt", "not signed"));
  std::string table = kTableMark + testarc::Build(planted);
  table.resize((table.size() + 7) / 8 * 8, '\0');

  Signed out;
  out.stub = Stub(HeaderSpec{plus}, stubSize, static_cast<uint32_t>(tableStart), static_cast<uint32_t>(table.size()));
  spec.stub = out.stub;
  out.bytes = testarc::Build(spec);
  out.bytes.resize(tableStart, '\0');
  out.bytes += table;
  ArchiveSpec plain = Payload();
  plain.storedName.clear();
  out.plain = testarc::Build(plain);
  out.tableStart = tableStart;
  out.tableSize = table.size();
  return out;
}

// The stub as a rewrite writes it: the security entry and the checksum cleared.
std::string Unsigned(std::string stub, bool plus) {
  Put32(stub, SecurityEntryOffset(plus), 0);
  Put32(stub, SecurityEntryOffset(plus) + 4, 0);
  Put32(stub, kOptional + 64, 0);
  return stub;
}

// The stub as unsfx writes it: cleared as above, with the image checksum of the
// result (16-bit words with folded carries, plus the length).
std::string UnsignedAlone(const std::string& stub, bool plus) {
  std::string out = Unsigned(stub, plus);
  uint64_t sum = 0;
  for (size_t i = 0; i + 1 < out.size(); i += 2) {
    sum += static_cast<uint8_t>(out[i]) | (static_cast<uint8_t>(out[i + 1]) << 8);
    sum = (sum & 0xFFFF) + (sum >> 16);
  }
  Put32(out, kOptional + 64, static_cast<uint32_t>(((sum & 0xFFFF) + (sum >> 16)) + out.size()));
  return out;
}

class SignedPackageTest : public ArchiveTest {};

TEST_F(SignedPackageTest, EveryOperationReadsTheArchiveBeforeTheTableAndRewritesDropIt) {
  for (bool plus : {false, true}) {
    SCOPED_TRACE(plus ? "PE32+" : "PE32");
    const Signed pkg = MakeSigned(plus);
    const std::u16string path = Put("setup.exe", pkg.bytes);
    {
      CArchive2 a;
      ASSERT_EQ(0, a.Open(path.c_str(), ARC_OPEN_READ, nullptr));
      EXPECT_EQ(pkg.tableSize, a.GetCertificateTableSize());
      EXPECT_EQ(4096u, a.GetBase());
      EXPECT_EQ(2, a.GetArchiveCount());
      EXPECT_FALSE(a.IsDirectoryDamaged());
      EXPECT_EQ(0, a.IsEntryInArchive(u"planted.txt"));
      EXPECT_EQ(0, a.VerifyAll());
      EXPECT_EQ(0, a.ExtractAll(out_.c_str(), ARC_EXTRACT_OVERWRITE));
      EXPECT_EQ("the signed payload\n", ReadAll(Out("readme.txt")));
      a.Close();
    }

    // unsfx: the stub without the pointer, the archive without the table.
    const std::u16string parts = scratch_ / (plus ? "parts64" : "parts32");
    ASSERT_TRUE(plat::CreateDirectory(parts.c_str()));
    {
      CArchive2 a;
      ASSERT_EQ(0, a.Open(path.c_str(), ARC_OPEN_SEA, nullptr));
      ASSERT_EQ(0, a.SplitSEA(parts.c_str(), ARC_SEA_REPLACE));
      EXPECT_EQ(0, a.Close());
    }
    EXPECT_TRUE(UnsignedAlone(pkg.stub, plus) == ReadAll(parts + plat::kSeparator + u"Seastub.exe"))
        << "the stub as it was before signing";
    EXPECT_TRUE(pkg.plain == ReadAll(parts + plat::kSeparator + u"payload.ach")) << "the archive alone";

    // A new comment is written in place and the file cut after it.
    {
      CArchive2 a;
      ASSERT_EQ(0, a.Annotate(path.c_str(), u"signed once"));
    }
    std::string image = ReadAll(path);
    EXPECT_TRUE(Unsigned(pkg.stub, plus) == image.substr(0, 4096)) << "the stub less its pointer to the table";
    EXPECT_EQ(std::string::npos, image.find(kTableMark)) << "the table is cut off";
    {
      CArchive2 a;
      ASSERT_EQ(0, a.Open(path.c_str(), ARC_OPEN_READ, nullptr));
      ZoChar comment[32];
      EXPECT_EQ(0, a.GetVolumeComment(comment, 32));
      EXPECT_EQ(u"signed once", std::u16string(comment));
      EXPECT_EQ(0, a.VerifyAll());
      a.Close();
    }

    // Appending to a signed package (signed anew here) rewrites it without the table.
    ASSERT_TRUE(archive_test::WriteBytes(path, pkg.bytes));
    const std::u16string extra = Put("extra.txt", "added later\n");
    {
      CArchive2 a;
      ASSERT_EQ(0, a.Open(path.c_str(), ARC_OPEN_APPEND, nullptr));
      ASSERT_EQ(0, a.AddEntryToArchive(extra.c_str(), ARC_COMPRESSION_ZIP, 6, 0, nullptr));
      ASSERT_EQ(0, a.Close());
    }
    image = ReadAll(path);
    EXPECT_TRUE(Unsigned(pkg.stub, plus) == image.substr(0, 4096)) << "the stub less its pointer to the table";
    EXPECT_EQ(std::string::npos, image.find(kTableMark)) << "no table bytes after the rewrite";
    {
      CArchive2 a;
      ASSERT_EQ(0, a.Open(path.c_str(), ARC_OPEN_READ, nullptr));
      EXPECT_EQ(3, a.GetArchiveCount());
      EXPECT_EQ(0, a.VerifyAll());
      a.Close();
    }

    // Split and merge of a signed package: the set and the merged file are readable and unsigned.
    ASSERT_TRUE(archive_test::WriteBytes(path, pkg.bytes));
    {
      CArchive2 a;
      ASSERT_EQ(0, a.Open(path.c_str(), ARC_OPEN_MULTIVOL, nullptr));
      ASSERT_EQ(0, a.SplitArchive(1000, 0));
      ASSERT_EQ(0, a.Close());
    }
    for (uint32_t mode : {ARC_OPEN_READ, ARC_OPEN_MULTIVOL}) {
      CArchive2 a;
      ASSERT_EQ(0, a.Open(path.c_str(), mode, nullptr));
      EXPECT_EQ(0u, a.GetCertificateTableSize());
      EXPECT_GT(a.GetMultiVolumeStatus(), 1);
      EXPECT_EQ(0, mode == ARC_OPEN_READ ? a.VerifyAll() : a.MergeArchive(0));
      EXPECT_EQ(0, a.Close());
    }
    {
      CArchive2 a;
      ASSERT_EQ(0, a.Open(path.c_str(), ARC_OPEN_READ, nullptr));
      EXPECT_EQ(1, a.GetMultiVolumeStatus());
      EXPECT_EQ(0, a.VerifyAll());
      a.Close();
    }
    EXPECT_TRUE(Unsigned(pkg.stub, plus) == ReadAll(path).substr(0, 4096)) << "the stub less its pointer to the table";
  }
}

TEST_F(SignedPackageTest, HostileSecurityDirectoriesAreIgnoredOrFailCleanly) {
  // The archive after a 4096-byte stub ends at archiveEnd; tableStart is the next
  // multiple of 8. `start` and `length` below are relative to those where noted.
  ArchiveSpec spec = Payload();
  spec.stub = std::string(4096, '\0');
  const uint64_t archiveEnd = testarc::Build(spec).size();
  const uint64_t tableStart = (archiveEnd + 7) / 8 * 8;
  const uint32_t kTable = 64;  // bytes of table appended in every case
  const uint64_t fileSize = tableStart + kTable;
  enum Outcome { kSigned, kIgnored, kNotAnArchive };
  struct Case {
    const char* label;
    HeaderSpec header;
    uint64_t start;
    uint64_t length;
    Outcome outcome;
  };
  const Case cases[] = {
      {"PE32 as signed", {false}, tableStart, kTable, kSigned},
      {"PE32+ as signed", {true}, tableStart, kTable, kSigned},
      {"no directory", {false}, 0, 0, kIgnored},
      {"start without size", {false}, tableStart, 0, kIgnored},
      {"size below a certificate header", {true}, fileSize - 4, 4, kIgnored},
      {"start not 8-aligned", {false}, tableStart + 4, kTable - 4, kIgnored},
      {"size not a multiple of 8", {false}, tableStart, kTable - 4, kIgnored},
      {"past the end of the file", {false}, tableStart + 8, kTable, kIgnored},
      {"short of the end of the file", {true}, tableStart, kTable - 8, kIgnored},
      {"size overflowing 32 bits", {false}, tableStart, 0xFFFFFFF8u, kIgnored},
      {"start overflowing into the end", {true}, 0xFFFFFFF8u, 0x10, kIgnored},
      {"inside the headers", {false}, 0x100, fileSize - 0x100, kIgnored},
      {"inside the stub, to the end", {false}, 2048, fileSize - 2048, kNotAnArchive},
      {"into the archive, to the end", {true}, tableStart - 64, kTable + 64, kNotAnArchive},
      {"four directories only", {false, kPeOffset, 0x00004550, 0, 4}, tableStart, kTable, kIgnored},
      {"optional header too short", {true, kPeOffset, 0x00004550, 0, 16, -112}, tableStart, kTable, kIgnored},
      {"unknown optional magic", {false, kPeOffset, 0x00004550, 0x107}, tableStart, kTable, kIgnored},
      {"no PE signature", {false, kPeOffset, 0x00004551}, tableStart, kTable, kIgnored},
      {"e_lfanew past the header window", {false, 4090}, tableStart, kTable, kIgnored},
      {"e_lfanew at the top of 32 bits", {true, 0xFFFFFFF0u}, tableStart, kTable, kIgnored},
      {"e_lfanew inside the DOS header", {false, 8}, tableStart, kTable, kIgnored},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    ArchiveSpec s = Payload();
    s.stub = Stub(c.header, 4096, static_cast<uint32_t>(c.start), static_cast<uint32_t>(c.length));
    std::string bytes = testarc::Build(s);
    bytes.resize(tableStart, '\0');
    bytes += std::string(kTable, 'C');
    ASSERT_EQ(fileSize, bytes.size());

    arc::CertificateTable table;
    const bool found = arc::FindCertificateTable(reinterpret_cast<const uint8_t*>(bytes.data()), 4096, fileSize, &table);
    EXPECT_EQ(c.outcome != kIgnored, found);
    // A header cut anywhere is read only as far as it goes.
    for (size_t cut = 0; cut < HeadersEnd(c.header.plus); cut += 7) {
      std::string head = bytes.substr(0, cut);
      arc::FindCertificateTable(reinterpret_cast<const uint8_t*>(head.data()), head.size(), fileSize, &table);
    }

    const std::u16string path = Put("hostile.exe", bytes);
    archive_test::RecordingProgress progress;
    CArchive2 a;
    const ZoResult r = a.Open(path.c_str(), ARC_OPEN_READ, &progress);
    switch (c.outcome) {
      case kSigned:
        EXPECT_EQ(0, r);
        EXPECT_EQ(kTable, a.GetCertificateTableSize());
        EXPECT_EQ(0, a.VerifyAll());
        break;
      case kIgnored:
        // The table is then trailing bytes within the end-record window.
        EXPECT_EQ(0, r);
        EXPECT_EQ(0u, a.GetCertificateTableSize());
        EXPECT_EQ(0, a.VerifyAll());
        break;
      case kNotAnArchive:
        EXPECT_EQ(ARC_E_BAD_SIGNATURE, r);
        EXPECT_TRUE(progress.HasError(ARC_ERROR_SIGNATURE, u"LoadEndOfCentralDirectory"));
        break;
    }
    a.Close();
  }
}

}  // namespace
