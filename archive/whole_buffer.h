// Whole-buffer deflate and inflate: files and entries of at most WholeBufferLimit()
// bytes are read into memory and compressed or inflated in one libdeflate call
// (about twice as fast as zlib at the same level, and 2.5 times when inflating).
// Larger files are deflated in chunks on the compression threads and joined into
// one stream (chunk_deflate.h); larger entries inflate through zlib in blocks.
// The CRC-32 of every path is libdeflate's, which takes a running value like zlib's.
#pragma once
#include <cstddef>
#include <cstdint>
#include <memory>

namespace arc {

// The default limit: 32 MiB where addresses are 64-bit, 8 MiB on 32-bit Windows,
// whose 2 GiB of address space a pass holds twice (the file and its deflated
// form). One libdeflate call is not interrupted, so the limit also bounds the time
// a cancel waits: about a third of a second at level 6 for 32 MiB, a second at 9.
inline constexpr size_t kDefaultWholeBufferLimit = sizeof(void*) >= 8 ? size_t{32} << 20 : size_t{8} << 20;

// The limit in bytes, for the file size (adding) and for both sizes of an entry
// (extracting). Tests move it to exercise both paths with small files.
size_t WholeBufferLimit();
// Sets the limit for the whole process; 0 restores the default. Not for use while
// an archive operation runs.
void SetWholeBufferLimit(size_t bytes);

// CRC-32 (the zip polynomial) of `size` bytes continuing `crc` (0 to start).
uint32_t Crc32(uint32_t crc, const void* data, size_t size);

// A byte buffer that grows to the largest size asked of it and is never cleared
// (every byte used is written before it is read). Memory failure is a false
// return, never an exception.
class GrowBuffer {
 public:
  bool Reserve(size_t size);
  uint8_t* data() { return bytes_.get(); }
  size_t capacity() const { return capacity_; }

 private:
  std::unique_ptr<uint8_t[]> bytes_;
  size_t capacity_ = 0;
};

}  // namespace arc
