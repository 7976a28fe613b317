// Fault injection in the file back end, for tests that prove "nothing is lost".
// Off by default; a test switches a fault on, runs the operation and clears it.
// Process-wide; not meant for concurrent tests.
#pragma once
#include <cstddef>
#include <cstdint>

namespace plat::fault {

struct FileFaults {
  // Writes fail with `writeError` once this many bytes have been written in total
  // after the faults were set (-1: never). The write that crosses the limit writes
  // the bytes below it, then fails, as a full disk does.
  int64_t failWritesAfterBytes = -1;
  uint32_t writeError = 112;  // disk full
  // The N-th read (1-based) after the faults were set returns half of what it
  // could (0: never); later reads are normal. Tests check that short reads are
  // tolerated by callers that loop.
  int shortReadNth = 0;
  // Renames (MoveFile) fail with access denied.
  bool failRename = false;
  // Closing a written file fails (with writeError).
  bool failClose = false;
};

void Set(const FileFaults& faults);
void Clear();

// Consulted by the file back ends (not by callers).
// How many of `size` bytes a write may still put down; sets *fail (and *error)
// when the write must fail after putting them down.
size_t AllowWrite(size_t size, bool* fail, uint32_t* error);
// True when the current read is the one to shorten.
bool ShortenRead();
// True when renames fail (with access denied).
bool RenameFails();
// True when closes fail; *error receives the error to report.
bool CloseFails(uint32_t* error);

}  // namespace plat::fault
