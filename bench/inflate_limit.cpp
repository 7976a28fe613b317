// The ceiling for extraction speed on this machine: raw inflate of a deflate
// stream in the engine's block sizes, CRC-32 of the output and a write to a
// file, with nothing else. `ach extract` cannot be faster than this; the
// ratio between the two shows what the engine's own work costs.
//
//   bench_inflate_limit [MEGABYTES] [FOLDER]     (default 64 MB, the temp folder)
//   bench_inflate_limit --tree TREE OUTDIR
//
// The first form generates its input: text-like lines with some repetition,
// close to what packages hold; it is deflated in memory at level 6 first (not
// timed). The second takes every file of TREE, deflates each in memory (not
// timed), then times re-creating the tree below OUTDIR: folders created, each
// file inflated, both CRCs taken and the bytes written -- the same files an
// extraction of that tree writes, so the two times compare directly. Like the
// engine, the tree form inflates a file of at most the whole-buffer limit in
// one call of libdeflate and streams a larger one through zlib; CRC-32 is
// libdeflate's throughout.
#include <libdeflate.h>
#include <zlib.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "archive/whole_buffer.h"
#include "platform/directory.h"
#include "platform/file.h"
#include "platform/paths.h"
#include "platform/text.h"

namespace {

constexpr size_t kInputBlock = 262144;   // the engine's read block
constexpr size_t kOutputBlock = 288358;  // the engine's inflate output buffer

std::vector<unsigned char> MakeInput(size_t bytes) {
  std::vector<unsigned char> data;
  data.reserve(bytes);
  uint32_t state = 12345;
  static const char* const kWords[] = {"archive", "entry", "volume", "setup", "folder", "stub", "central",
                                       "record", "deflate", "package", "target", "install", "0x8004", "file"};
  while (data.size() < bytes) {
    state = state * 1103515245u + 12345u;
    const char* word = kWords[(state >> 16) % (sizeof(kWords) / sizeof(kWords[0]))];
    for (const char* p = word; *p && data.size() < bytes; ++p) data.push_back(static_cast<unsigned char>(*p));
    if (data.size() < bytes) data.push_back((state >> 8) % 9 == 0 ? '\n' : ' ');
    if ((state >> 4) % 50 == 0) {  // a little noise, so it is not all dictionary
      for (int i = 0; i < 16 && data.size() < bytes; ++i) {
        state = state * 1103515245u + 12345u;
        data.push_back(static_cast<unsigned char>(state >> 24));
      }
    }
  }
  return data;
}

bool Deflate(const std::vector<unsigned char>& in, std::vector<unsigned char>* out) {
  z_stream stream{};
  if (deflateInit2(&stream, 6, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY) != Z_OK) return false;
  out->resize(deflateBound(&stream, in.size()));
  stream.next_in = const_cast<unsigned char*>(in.data());
  stream.avail_in = static_cast<uInt>(in.size());
  stream.next_out = out->data();
  stream.avail_out = static_cast<uInt>(out->size());
  int result = deflate(&stream, Z_FINISH);
  out->resize(stream.total_out);
  deflateEnd(&stream);
  return result == Z_STREAM_END;
}


// The timed work itself: inflates `packed` in the engine's block sizes, takes
// the CRC-32 of the stored and of the inflated bytes, and writes the output.
bool InflateToFile(const std::vector<unsigned char>& packed, plat::File& file, std::vector<unsigned char>& output,
                   uint32_t* crc, uint32_t* packedCrc, uint64_t* produced) {
  z_stream stream{};
  if (inflateInit2(&stream, -15) != Z_OK) return false;
  *crc = 0;
  *packedCrc = 0;
  size_t offset = 0;
  int result = Z_OK;
  while (result != Z_STREAM_END) {
    if (stream.avail_in == 0 && offset < packed.size()) {
      size_t take = std::min(kInputBlock, packed.size() - offset);
      *packedCrc = libdeflate_crc32(*packedCrc, packed.data() + offset, take);
      stream.next_in = const_cast<unsigned char*>(packed.data()) + offset;
      stream.avail_in = static_cast<uInt>(take);
      offset += take;
    }
    stream.next_out = output.data();
    stream.avail_out = static_cast<uInt>(output.size());
    result = inflate(&stream, Z_NO_FLUSH);
    if (result != Z_OK && result != Z_STREAM_END) {
      std::fprintf(stderr, "inflate failed: %d\n", result);
      inflateEnd(&stream);
      return false;
    }
    size_t got = output.size() - stream.avail_out;
    if (got > 0) {
      *crc = libdeflate_crc32(*crc, output.data(), got);
      if (!file.Write(output.data(), got)) {
        std::fprintf(stderr, "write failed\n");
        inflateEnd(&stream);
        return false;
      }
      *produced += got;
    }
  }
  inflateEnd(&stream);
  return true;
}

// The whole-buffer form of the timed work: one call inflates all of `packed`,
// which must give exactly `size` bytes, then the CRCs and one write.
bool InflateWholeToFile(libdeflate_decompressor* decompressor, const std::vector<unsigned char>& packed, uint64_t size,
                        plat::File& file, std::vector<unsigned char>& output, uint32_t* crc, uint32_t* packedCrc,
                        uint64_t* produced) {
  if (output.size() < size) output.resize(static_cast<size_t>(size));
  size_t got = 0;
  if (libdeflate_deflate_decompress(decompressor, packed.data(), packed.size(), output.data(), static_cast<size_t>(size),
                                    &got) != LIBDEFLATE_SUCCESS ||
      got != size) {
    std::fprintf(stderr, "inflate failed\n");
    return false;
  }
  *packedCrc = libdeflate_crc32(0, packed.data(), packed.size());
  *crc = libdeflate_crc32(0, output.data(), got);
  if (got > 0 && !file.Write(output.data(), got)) {
    std::fprintf(stderr, "write failed\n");
    return false;
  }
  *produced += got;
  return true;
}

struct PackedFile {
  plat::String16 relative;  // below the tree, native separators
  std::vector<unsigned char> packed;
  uint32_t crc = 0;
  uint64_t size = 0;
};

bool ReadWhole(const plat::String16& path, std::vector<unsigned char>* out) {
  plat::File file = plat::File::Open(path.c_str(), plat::Access::Read, plat::kShareRead, plat::Disposition::OpenExisting);
  uint64_t size = 0;
  if (!file || !file.Size(&size)) return false;
  out->resize(static_cast<size_t>(size));
  size_t got = 0;
  return file.Read(out->data(), out->size(), &got) && got == out->size();
}

// Collects the tree's folders (in creation order) and deflated files.
bool Collect(const plat::String16& root, const plat::String16& relative, std::vector<plat::String16>* folders,
             std::vector<PackedFile>* files) {
  plat::String16 folder = relative.empty() ? root : root + plat::kSeparator + relative;
  plat::DirectoryLister lister;
  if (!lister.Open(folder.c_str(), u"*")) return false;
  plat::DirectoryEntry entry;
  while (lister.Next(&entry)) {
    if (entry.name == u"." || entry.name == u"..") continue;
    plat::String16 child = relative.empty() ? entry.name : relative + plat::kSeparator + entry.name;
    if (entry.attributes & ZO_ATTR_REPARSE_POINT) continue;
    if (entry.attributes & ZO_ATTR_DIRECTORY) {
      folders->push_back(child);
      if (!Collect(root, child, folders, files)) return false;
      continue;
    }
    std::vector<unsigned char> data;
    if (!ReadWhole(root + plat::kSeparator + child, &data)) return false;
    PackedFile file;
    file.relative = child;
    file.size = data.size();
    file.crc = libdeflate_crc32(0, data.data(), data.size());
    if (!Deflate(data, &file.packed)) return false;
    files->push_back(std::move(file));
  }
  return true;
}

int RunTree(const char* treeArg, const char* outArg) {
  plat::String16 root = plat::FromUtf8(treeArg);
  plat::String16 out = plat::FromUtf8(outArg);
  std::vector<plat::String16> folders;
  std::vector<PackedFile> files;
  if (!Collect(root, u"", &folders, &files)) {
    std::fprintf(stderr, "cannot read the tree %s\n", treeArg);
    return 1;
  }
  std::vector<unsigned char> output(kOutputBlock);
  std::vector<unsigned char> whole;
  libdeflate_decompressor* decompressor = libdeflate_alloc_decompressor();
  if (!decompressor) return 1;
  uint64_t produced = 0, packedBytes = 0;
  auto start = std::chrono::steady_clock::now();
  plat::CreateDirectory(out.c_str());
  for (const auto& folder : folders) plat::CreateDirectory((out + plat::kSeparator + folder).c_str());
  for (const auto& entry : files) {
    plat::String16 target = out + plat::kSeparator + entry.relative;
    plat::File file = plat::File::Open(target.c_str(), plat::Access::Write, plat::kShareNone, plat::Disposition::CreateAlways);
    if (!file) {
      std::fprintf(stderr, "cannot create %s\n", plat::ToUtf8(target).c_str());
      return 1;
    }
    uint32_t crc = 0, packedCrc = 0;
    bool inflated = entry.size <= arc::kDefaultWholeBufferLimit
                        ? InflateWholeToFile(decompressor, entry.packed, entry.size, file, whole, &crc, &packedCrc, &produced)
                        : InflateToFile(entry.packed, file, output, &crc, &packedCrc, &produced);
    if (!inflated) {
      libdeflate_free_decompressor(decompressor);
      return 1;
    }
    packedBytes += entry.packed.size();
    if (!file.Close() || crc != entry.crc) {
      std::fprintf(stderr, "output check failed for %s\n", plat::ToUtf8(target).c_str());
      libdeflate_free_decompressor(decompressor);
      return 1;
    }
  }
  libdeflate_free_decompressor(decompressor);
  double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  double mb = static_cast<double>(produced) / (1024.0 * 1024.0);
  std::printf("inflate+crc+write limit: %zu files, %.1f MiB out of %.1f MiB packed in %.3f s = %.1f MiB/s\n", files.size(), mb,
              static_cast<double>(packedBytes) / (1024.0 * 1024.0), seconds, mb / seconds);
  std::printf("limit seconds: %.3f\n", seconds);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 4 && std::string(argv[1]) == "--tree") return RunTree(argv[2], argv[3]);
  size_t megabytes = argc > 1 ? static_cast<size_t>(std::strtoul(argv[1], nullptr, 10)) : 64;
  if (megabytes == 0) megabytes = 64;
  plat::String16 folder;
  if (argc > 2) {
    folder = plat::FromUtf8(argv[2]);
    if (!folder.empty() && folder.back() != plat::kSeparator) folder.push_back(plat::kSeparator);
  } else {
    ZoChar temp[ZO_MAX_PATH] = {};
    plat::GetTempPath(temp, ZO_MAX_PATH);
    folder = temp;
  }
  plat::String16 target = folder + u"orv-inflate-limit.out";

  std::vector<unsigned char> input = MakeInput(megabytes << 20);
  std::vector<unsigned char> packed;
  if (!Deflate(input, &packed)) {
    std::fprintf(stderr, "deflate failed\n");
    return 1;
  }
  uint32_t expectedCrc = static_cast<uint32_t>(crc32(0, input.data(), static_cast<uInt>(input.size())));
  input.clear();
  input.shrink_to_fit();

  std::vector<unsigned char> output(kOutputBlock);
  auto start = std::chrono::steady_clock::now();
  plat::File file = plat::File::Open(target.c_str(), plat::Access::Write, plat::kShareNone,
                                     plat::Disposition::CreateAlways);
  if (!file) {
    std::fprintf(stderr, "cannot create %s\n", plat::ToUtf8(target).c_str());
    return 1;
  }
  uint32_t crc = 0;
  uint32_t packedCrc = 0;
  uint64_t produced = 0;
  if (!InflateToFile(packed, file, output, &crc, &packedCrc, &produced)) return 1;
  bool closed = file.Close();
  double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  plat::DeleteFile(target.c_str());
  if (!closed || crc != expectedCrc) {
    std::fprintf(stderr, "output check failed\n");
    return 1;
  }
  double mb = static_cast<double>(produced) / (1024.0 * 1024.0);
  std::printf("inflate+crc+write limit: %.1f MiB out of %.1f MiB packed in %.3f s = %.1f MiB/s (packed crc %08X)\n", mb,
              static_cast<double>(packed.size()) / (1024.0 * 1024.0), seconds, mb / seconds, packedCrc);
  return 0;
}
