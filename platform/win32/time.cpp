// Win32 back end: holds only code valid on every Windows system.
// Zone conversions go through the calendar form so that the rules in force at
// the converted instant apply (FileTimeToLocalFileTime would use today's bias).
#include "platform/win32/windows_wrapper.h"

#include "platform/time.h"

#include "platform/win32/win32_util.h"

namespace plat {

namespace {

constexpr ZoFileTime kTicksPerMillisecond = 10000;

// Converts through SYSTEMTIME with `convert`; SYSTEMTIME keeps milliseconds,
// so the 100 ns units below them are carried over by hand. On failure the time
// is returned unchanged, as the POSIX back end does.
template <typename Convert>
ZoFileTime ConvertZone(ZoFileTime time, Convert convert) {
  FILETIME ft = ToFileTime(time);
  SYSTEMTIME from, to;
  if (!::FileTimeToSystemTime(&ft, &from) || !convert(&from, &to) || !::SystemTimeToFileTime(&to, &ft)) return time;
  return FromFileTime(ft) + time % kTicksPerMillisecond;
}

}  // namespace

ZoFileTime Now() {
  FILETIME ft;
  ::GetSystemTimeAsFileTime(&ft);
  return FromFileTime(ft);
}

ZoFileTime UtcToLocal(ZoFileTime utc) {
  return ConvertZone(utc, [](SYSTEMTIME* in, SYSTEMTIME* out) {
    return ::SystemTimeToTzSpecificLocalTime(nullptr, in, out) != 0;
  });
}

ZoFileTime LocalToUtc(ZoFileTime local) {
  return ConvertZone(local, [](SYSTEMTIME* in, SYSTEMTIME* out) {
    return ::TzSpecificLocalTimeToSystemTime(nullptr, in, out) != 0;
  });
}

uint64_t TickCount() { return ::GetTickCount64(); }

void Sleep(uint32_t milliseconds) { ::Sleep(milliseconds); }

}  // namespace plat
