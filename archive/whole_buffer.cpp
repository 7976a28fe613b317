// Whole-buffer limit, CRC-32 and buffers (see whole_buffer.h).
#include "archive/whole_buffer.h"

#include <libdeflate.h>

#include <atomic>
#include <new>

namespace arc {

namespace {
std::atomic<size_t> wholeBufferLimit{kDefaultWholeBufferLimit};
}  // namespace

size_t WholeBufferLimit() { return wholeBufferLimit.load(std::memory_order_relaxed); }

void SetWholeBufferLimit(size_t bytes) {
  wholeBufferLimit.store(bytes ? bytes : kDefaultWholeBufferLimit, std::memory_order_relaxed);
}

uint32_t Crc32(uint32_t crc, const void* data, size_t size) {
  return size ? libdeflate_crc32(crc, data, size) : crc;
}

bool GrowBuffer::Reserve(size_t size) {
  if (size <= capacity_) return true;
  bytes_.reset();
  capacity_ = 0;
  bytes_.reset(new (std::nothrow) uint8_t[size]);
  if (!bytes_) return false;
  capacity_ = size;
  return true;
}

}  // namespace arc
