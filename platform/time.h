// Time as FILETIME (100 ns since 1601-01-01 UTC) on every OS, and calendar fields.
#pragma once
#include <cstdint>
#include "platform/types.h"

namespace plat {

struct SystemTime {
  uint16_t year = 0, month = 0, dayOfWeek = 0, day = 0;
  uint16_t hour = 0, minute = 0, second = 0, milliseconds = 0;
};

ZoFileTime Now();  // UTC
// Unix seconds + nanoseconds <-> FILETIME.
ZoFileTime FileTimeFromUnix(int64_t seconds, uint32_t nanoseconds);
void FileTimeToUnix(ZoFileTime time, int64_t* seconds, uint32_t* nanoseconds);
// UTC <-> local time, using the system's time zone rules for that instant.
ZoFileTime UtcToLocal(ZoFileTime utc);
ZoFileTime LocalToUtc(ZoFileTime local);
// Calendar fields of a FILETIME (no zone conversion) and back; false when out of range.
bool FileTimeToSystemTime(ZoFileTime time, SystemTime* out);
bool SystemTimeToFileTime(const SystemTime& in, ZoFileTime* out);
// DOS date (high 16 bits) and time (low 16 bits) of a FILETIME, no zone conversion.
uint32_t FileTimeToDosDateTime(ZoFileTime time);
// Milliseconds of a monotonic clock.
uint64_t TickCount();
void Sleep(uint32_t milliseconds);

}  // namespace plat
