// CopyBufferLoan: one block buffer for a run of many small block copies.
#pragma once
#include <cstdint>
#include <new>
#include <vector>

#include "archive/archive_format.h"

// Lends one zero-filled block buffer to every BlockCopy of an archive object while
// it lives (CArchive2::copyBuffer_), so that a rewrite of thousands of small
// entries, copied one by one, does not take and clear a buffer per entry. The
// buffer is released when the loan ends.
class CopyBufferLoan {
 public:
  explicit CopyBufferLoan(std::vector<uint8_t>& buffer) : buffer_(buffer) {
    try {
      buffer_.assign(arc::kBlockSize, 0);
    } catch (const std::bad_alloc&) {
      buffer_.clear();  // every copy then takes its own, and reports when it cannot
    }
  }
  ~CopyBufferLoan() {
    buffer_.clear();
    buffer_.shrink_to_fit();
  }
  CopyBufferLoan(const CopyBufferLoan&) = delete;
  CopyBufferLoan& operator=(const CopyBufferLoan&) = delete;

 private:
  std::vector<uint8_t>& buffer_;
};
