// The two deflate paths (one libdeflate call up to the whole-buffer limit, zlib
// streaming above it) on the writing and the reading side, in every pairing, with
// the stored fallback for files deflate would not shrink.
#include "archive/whole_buffer.h"
#include "tests/archive/writer_support.h"

namespace writer_test {
namespace {

// Incompressible bytes (xorshift), the same on every run.
std::string Noise(size_t n) {
  std::string s;
  uint32_t x = 2463534242u;
  for (size_t i = 0; i < n; ++i) {
    x ^= x << 13;
    x ^= x >> 17;
    x ^= x << 5;
    s.push_back(static_cast<char>(x >> 24));
  }
  return s;
}

std::string Text(size_t n) {
  std::string s;
  for (size_t i = 0; s.size() < n; ++i) s += "line " + std::to_string(i * 7919 % 1000) + " of the file\n";
  s.resize(n);
  return s;
}

TEST(WholeBuffer, EitherPathWritesWhatEitherPathReads) {
  ScratchFolder dir;
  ASSERT_TRUE(dir.IsValid());
  const std::u16string tree = dir / "tree";
  ASSERT_TRUE(plat::CreateDirectory(tree.c_str()));
  struct File {
    const char16_t* name;
    std::string content;
    bool stored;  // expected stored although deflate was asked for
  };
  const File files[] = {
      {u"one.bin", "x", true},                  // deflate's smallest stream is longer
      {u"two.bin", "ab", true},
      {u"noise.bin", Noise(300000), true},      // more than one block: the streamed file is stored again
      {u"text.txt", Text(700000), false},       // more than two blocks
  };
  for (const File& f : files) ASSERT_TRUE(ScratchFolder::WriteFile(tree + plat::kSeparator + f.name, f.content));

  constexpr size_t kSmall = 1000;  // streams every file but the tiny ones; 0 is the default limit
  for (size_t writeLimit : {size_t{0}, kSmall}) {
    for (size_t readLimit : {size_t{0}, kSmall}) {
      SCOPED_TRACE("write limit " + std::to_string(writeLimit) + ", read limit " + std::to_string(readLimit));
      const std::u16string archive = dir / "out.ach";
      arc::SetWholeBufferLimit(writeLimit);
      ASSERT_EQ(0, CreateArchive(archive, {tree}));
      const std::vector<uint8_t> image = ReadAll(archive);
      DecodedArchive a = Decode(image);
      ASSERT_TRUE(a.ok) << a.error;
      ASSERT_EQ(5u, a.central.size());
      for (size_t i = 1; i < a.central.size(); ++i) {
        const auto& c = a.central[i];
        const File* f = nullptr;
        for (const File& candidate : files)
          if (c.name == std::u16string(u"tree\\") + candidate.name) f = &candidate;
        ASSERT_NE(nullptr, f);
        SCOPED_TRACE(plat::ToUtf8(c.name));
        EXPECT_EQ(c.header, a.local[i].header) << "the patched local header matches the central entry";
        const uint8_t* stored = image.data() + a.local[i].dataOffset;
        EXPECT_EQ(Crc(stored, c.f.packed), c.f.crcStored);
        if (f->stored) {
          EXPECT_EQ(ARC_COMPRESSION_NONE, c.f.type);
          EXPECT_EQ(f->content.size(), c.f.packed);
        } else {
          EXPECT_EQ(ARC_COMPRESSION_ZIP, c.f.type);
          EXPECT_LT(c.f.packed, f->content.size() / 4);
          EXPECT_EQ(std::vector<uint8_t>(f->content.begin(), f->content.end()),
                    Inflate(stored, c.f.packed, f->content.size()));
        }
      }

      arc::SetWholeBufferLimit(readLimit);
      const std::u16string out = dir / "out";
      ASSERT_TRUE(plat::IsDirectory(out.c_str()) || plat::CreateDirectory(out.c_str()));
      CArchive2 reader;
      ASSERT_EQ(0, reader.Open(archive.c_str(), ARC_OPEN_READ, nullptr));
      EXPECT_EQ(0, reader.VerifyAll());
      EXPECT_EQ(0, reader.ExtractAll(out.c_str(), ARC_EXTRACT_OVERWRITE));
      reader.Close();
      for (const File& f : files) {
        const std::vector<uint8_t> back = ReadAll(out + plat::kSeparator + u"tree" + plat::kSeparator + f.name);
        EXPECT_EQ(std::vector<uint8_t>(f.content.begin(), f.content.end()), back);
      }
      plat::DeleteFile(archive.c_str());
    }
  }
  arc::SetWholeBufferLimit(0);
}

}  // namespace
}  // namespace writer_test
