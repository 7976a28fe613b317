// CopyRun: merges adjacent byte ranges of a rewrite into one BlockCopy each.
#pragma once
#include <cstdint>

#include "archive/archive2.h"

// Collects byte ranges of the old archive that go to consecutive places of the new
// one and copies adjacent ranges with one BlockCopy, so that a rewrite of an
// archive with many small entries costs one sequential pass, not one copy per entry.
class CopyRun {
 public:
  CopyRun(CArchive2* archive, plat::File& source, plat::File& destination)
      : archive_(archive), source_(source), destination_(destination) {}
  // Queues `count` bytes from `sourceOffset` to `destinationOffset`.
  ZoResult Add(uint64_t sourceOffset, uint64_t count, uint64_t destinationOffset) {
    if (count == 0) return 0;
    if (length_ > 0 && sourceOffset == runSource_ + length_ && destinationOffset == runDestination_ + length_) {
      length_ += count;
      return 0;
    }
    ZoResult r = Flush();
    runSource_ = sourceOffset;
    runDestination_ = destinationOffset;
    length_ = count;
    return r;
  }
  ZoResult Flush() {
    if (length_ == 0) return 0;
    uint64_t n = length_;
    length_ = 0;
    return archive_->BlockCopy(source_, runSource_, n, destination_, runDestination_);
  }

 private:
  CArchive2* archive_;
  plat::File& source_;
  plat::File& destination_;
  uint64_t runSource_ = 0, runDestination_ = 0, length_ = 0;
};
