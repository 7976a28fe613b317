// The fault-injection seam's bookkeeping, shared by both file back ends: the
// faults a test switched on and the counters that decide when they fire. The
// back ends consult it on every write, read, rename and close.
#include "platform/fault.h"

#include <mutex>

namespace plat::fault {

namespace {
std::mutex gFaultMutex;
FileFaults gFaults;
bool gActive = false;
int64_t gWritten = 0;  // bytes let through since Set()
int gReads = 0;        // reads seen since Set()
}  // namespace

void Set(const FileFaults& faults) {
  std::lock_guard<std::mutex> lock(gFaultMutex);
  gFaults = faults;
  gActive = true;
  gWritten = 0;
  gReads = 0;
}

void Clear() {
  std::lock_guard<std::mutex> lock(gFaultMutex);
  gFaults = FileFaults();
  gActive = false;
}

size_t AllowWrite(size_t size, bool* fail, uint32_t* error) {
  std::lock_guard<std::mutex> lock(gFaultMutex);
  *fail = false;
  if (!gActive || gFaults.failWritesAfterBytes < 0) return size;
  int64_t room = gFaults.failWritesAfterBytes - gWritten;
  if (room < 0) room = 0;
  if (static_cast<uint64_t>(size) <= static_cast<uint64_t>(room)) {
    gWritten += static_cast<int64_t>(size);
    return size;
  }
  gWritten += room;
  *fail = true;
  *error = gFaults.writeError;
  return static_cast<size_t>(room);
}

bool ShortenRead() {
  std::lock_guard<std::mutex> lock(gFaultMutex);
  if (!gActive || gFaults.shortReadNth <= 0) return false;
  return ++gReads == gFaults.shortReadNth;
}

bool RenameFails() {
  std::lock_guard<std::mutex> lock(gFaultMutex);
  return gActive && gFaults.failRename;
}

bool CloseFails(uint32_t* error) {
  std::lock_guard<std::mutex> lock(gFaultMutex);
  *error = gFaults.writeError;
  return gActive && gFaults.failClose;
}

}  // namespace plat::fault
