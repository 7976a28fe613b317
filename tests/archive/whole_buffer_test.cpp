// The two deflate paths (one libdeflate call up to the whole-buffer limit, chunks
// joined into one stream above it) on the writing side, with both inflate paths
// on the reading side, in every pairing, with the stored fallback for files
// deflate would not shrink.
#include "archive/chunk_deflate.h"
#include "archive/whole_buffer.h"
#include "runtime/zo_path.h"
#include "tests/archive/writer_support.h"

#include <libdeflate.h>

#include <cstring>

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

// Cancels the add once `after` progress calls have come.
class CancellingProgress : public RecordingProgress {
 public:
  explicit CancellingProgress(int after) : after_(after) {}
  int32_t AddProgress(uint32_t low, int32_t high) override {
    if (++calls_ >= after_) status = ARC_E_CANCELLED;
    return RecordingProgress::AddProgress(low, high);
  }

 private:
  int after_;
  int calls_ = 0;
};

// Files above the whole-buffer limit: deflated in chunks on 1, 2 and 8 threads,
// the archive is the same byte for byte, the entry is one raw deflate stream
// that zlib inflates to the file, and the engine extracts it on both inflate paths.
TEST(WholeBuffer, LargeFilesDeflateInChunksToOneStreamWhateverTheThreadCount) {
  ScratchFolder dir;
  ASSERT_TRUE(dir.IsValid());
  constexpr size_t kChunk = 64 << 10;
  struct Case {
    const char* what;
    std::string content;
    size_t chunk;
    bool stored;
  } cases[] = {
      {"text over many chunks", Text(700000), kChunk, false},
      // Chunks libdeflate stores as they are, between deflated ones.
      {"noise between text", Text(100000) + Noise(100000) + Text(100000) + Noise(30000), kChunk, false},
      {"a whole number of chunks", Text(4 * kChunk), kChunk, false},
      {"one byte in the last chunk", Text(kChunk + 1), kChunk, false},
      {"tiny chunks, the slots wrap around many times", Text(50000), 1000, false},
      {"incompressible: stored again", Noise(300000), kChunk, true},
  };
  arc::SetWholeBufferLimit(1000);
  int index = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    arc::SetDeflateChunkSize(c.chunk);
    const std::u16string file = dir / ("case" + std::to_string(index++) + ".bin");
    ASSERT_TRUE(ScratchFolder::WriteFile(file, c.content));
    const std::vector<uint8_t> content(c.content.begin(), c.content.end());
    const std::u16string archive = dir / "out.ach";
    std::vector<uint8_t> first;
    for (unsigned threads : {1u, 2u, 8u}) {
      SCOPED_TRACE(threads);
      {
        CArchive2 a;
        ASSERT_EQ(0, a.Open(archive.c_str(), ARC_OPEN_CREATE, nullptr));
        a.SetCompressionThreads(threads);
        ASSERT_EQ(0, a.AddEntryToArchive(file.c_str(), ARC_COMPRESSION_ZIP, 6, 0, nullptr));
        ASSERT_EQ(0, a.Close());
      }
      const std::vector<uint8_t> image = ReadAll(archive);
      if (first.empty()) first = image;
      EXPECT_TRUE(image == first) << "other bytes than with one thread";
    }
    DecodedArchive a = Decode(first);
    ASSERT_TRUE(a.ok) << a.error;
    ASSERT_EQ(1u, a.central.size());
    const auto& f = a.central[0].f;
    const uint8_t* stored = first.data() + a.local[0].dataOffset;
    EXPECT_EQ(Crc(stored, f.packed), f.crcStored);
    EXPECT_EQ(Crc(content.data(), content.size()), f.crcPlain);
    EXPECT_EQ(c.stored ? ARC_COMPRESSION_NONE : ARC_COMPRESSION_ZIP, f.type);
    if (!c.stored) {
      EXPECT_EQ(content, Inflate(stored, f.packed, content.size()));
    }
    for (size_t readLimit : {size_t{0}, size_t{1000}}) {
      arc::SetWholeBufferLimit(readLimit);
      const std::u16string out = dir / "out";
      ASSERT_TRUE(plat::IsDirectory(out.c_str()) || plat::CreateDirectory(out.c_str()));
      CArchive2 reader;
      ASSERT_EQ(0, reader.Open(archive.c_str(), ARC_OPEN_READ, nullptr));
      EXPECT_EQ(0, reader.ExtractAll(out.c_str(), ARC_EXTRACT_OVERWRITE));
      reader.Close();
      EXPECT_EQ(content, ReadAll(out + plat::kSeparator + ZoGetFileNamePtrW(file.c_str())));
    }
    arc::SetWholeBufferLimit(1000);
  }

  // A cancel in the middle of the file ends the add with the workers joined.
  arc::SetDeflateChunkSize(1000);
  const std::u16string file = dir / "cancel.bin";
  ASSERT_TRUE(ScratchFolder::WriteFile(file, Text(2000000)));
  CancellingProgress progress(3);
  CArchive2 a;
  ASSERT_EQ(0, a.Open((dir / "cancel.ach").c_str(), ARC_OPEN_CREATE, &progress));
  a.SetCompressionThreads(4);
  EXPECT_EQ(ARC_E_CANCELLED, a.AddEntryToArchive(file.c_str(), ARC_COMPRESSION_ZIP, 6, ARC_ADD_NO_TOTAL, nullptr));
  arc::SetDeflateChunkSize(0);
  arc::SetWholeBufferLimit(0);
}

// The libdeflate that scripts/setup builds sizes its hash tables to an input
// shorter than the 32 KiB window. At every level and on both sides of each step
// of the table sizes: the stream inflates to the input, and a compressor that
// has just compressed other inputs (larger, smaller) gives the same bytes as a
// fresh one, so an archive depends only on its files, whatever the thread.
TEST(WholeBuffer, LibdeflateIsExactAndRepeatableForEverySmallSize) {
  std::vector<size_t> sizes;
  for (size_t step = 1; step <= (size_t{1} << 16); step <<= 1)
    for (size_t n : {step - 1, step, step + 1}) if (n > 0) sizes.push_back(n);
  const std::string text = Text(sizes.back()), noise = Noise(sizes.back());
  libdeflate_decompressor* inflater = libdeflate_alloc_decompressor();
  ASSERT_NE(nullptr, inflater);
  for (int level = 1; level <= 12; ++level) {
    libdeflate_compressor* used = libdeflate_alloc_compressor(level);
    ASSERT_NE(nullptr, used);
    for (const std::string* source : {&text, &noise}) {
      for (size_t i = 0; i < sizes.size(); ++i) {
        // Alternately smaller and larger than the input before.
        const size_t n = sizes[i % 2 ? i : sizes.size() - 1 - i];
        SCOPED_TRACE("level " + std::to_string(level) + ", " + std::to_string(n) + " bytes");
        libdeflate_compressor* fresh = libdeflate_alloc_compressor(level);
        ASSERT_NE(nullptr, fresh);
        const size_t bound = libdeflate_deflate_compress_bound(fresh, n);
        std::vector<uint8_t> a(bound), b(bound), back(n);
        const size_t sizeA = libdeflate_deflate_compress(used, source->data(), n, a.data(), bound);
        const size_t sizeB = libdeflate_deflate_compress(fresh, source->data(), n, b.data(), bound);
        libdeflate_free_compressor(fresh);
        ASSERT_NE(0u, sizeA);
        ASSERT_EQ(sizeA, sizeB);
        ASSERT_EQ(0, memcmp(a.data(), b.data(), sizeA));
        size_t got = 0;
        ASSERT_EQ(LIBDEFLATE_SUCCESS, libdeflate_deflate_decompress(inflater, a.data(), sizeA, back.data(), n, &got));
        ASSERT_EQ(n, got);
        ASSERT_EQ(0, memcmp(back.data(), source->data(), n));
      }
    }
    libdeflate_free_compressor(used);
  }
  libdeflate_free_decompressor(inflater);
}

}  // namespace
}  // namespace writer_test
