// POSIX back end: holds only code valid on every POSIX system.
#include "platform/time.h"

#include <time.h>

#include "platform/errors.h"

namespace plat {

namespace {
constexpr int64_t kTicksPerSecond = 10000000LL;
}  // namespace

ZoFileTime Now() {
  struct timespec ts;
  clock_gettime(CLOCK_REALTIME, &ts);
  return FileTimeFromUnix(ts.tv_sec, static_cast<uint32_t>(ts.tv_nsec));
}

ZoFileTime UtcToLocal(ZoFileTime utc) {
  int64_t s;
  uint32_t ns;
  FileTimeToUnix(utc, &s, &ns);
  time_t t = static_cast<time_t>(s);
  struct tm local;
  if (!localtime_r(&t, &local)) return utc;
  int64_t offset = local.tm_gmtoff;
  return static_cast<ZoFileTime>(static_cast<int64_t>(utc) + offset * kTicksPerSecond);
}

ZoFileTime LocalToUtc(ZoFileTime local) {
  // The offset at the instant read as UTC is right except within an hour of a
  // zone change, as LocalFileTimeToFileTime on Windows.
  int64_t s;
  uint32_t ns;
  FileTimeToUnix(local, &s, &ns);
  time_t t = static_cast<time_t>(s);
  struct tm tmp;
  if (!localtime_r(&t, &tmp)) return local;
  return static_cast<ZoFileTime>(static_cast<int64_t>(local) - static_cast<int64_t>(tmp.tm_gmtoff) * kTicksPerSecond);
}

uint64_t TickCount() {
  struct timespec ts;
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return static_cast<uint64_t>(ts.tv_sec) * 1000u + static_cast<uint64_t>(ts.tv_nsec) / 1000000u;
}

void Sleep(uint32_t milliseconds) {
  struct timespec ts;
  ts.tv_sec = milliseconds / 1000;
  ts.tv_nsec = static_cast<long>(milliseconds % 1000) * 1000000L;
  while (nanosleep(&ts, &ts) != 0) {
  }
}

}  // namespace plat
