// The library clock, on std::chrono::steady_clock.
#include "runtime/zo_timer.h"

#include <atomic>
#include <chrono>

namespace {

using Clock = std::chrono::steady_clock;

// The start as steady_clock ticks; 0 means not started (the tick count of a
// real start is never 0 in practice, and a clock started at 0 simply reads 0).
std::atomic<int64_t> gStart{0};
std::atomic<bool> gLate{false};

uint64_t ElapsedMicroseconds() {
  const int64_t start = gStart.load();
  if (start == 0) return 0;
  const Clock::duration elapsed = Clock::now().time_since_epoch() - Clock::duration(start);
  const int64_t us = std::chrono::duration_cast<std::chrono::microseconds>(elapsed).count();
  return us > 0 ? static_cast<uint64_t>(us) : 0;
}

}  // namespace

void ZoTimer_Initialize() {
  gLate.store(false);
  gStart.store(Clock::now().time_since_epoch().count());
}

void ZoTimer_LateInitialize() { gLate.store(true); }
bool ZoTimer_IsInitialized() { return gLate.load(); }
uint64_t ZoTimer_GetMilliseconds() { return ElapsedMicroseconds() / 1000; }
uint64_t ZoTimer_GetMicroseconds() { return ElapsedMicroseconds(); }
