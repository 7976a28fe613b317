// Calendar and epoch conversions of FILETIME values; no OS dependency.
#include "platform/errors.h"
#include "platform/time.h"

namespace plat {

namespace {
constexpr int64_t kUnixEpochAsFileTime = 116444736000000000LL;  // 1970-01-01 in 100 ns since 1601
constexpr int64_t kTicksPerSecond = 10000000LL;
}  // namespace

ZoFileTime FileTimeFromUnix(int64_t seconds, uint32_t nanoseconds) {
  // Some file systems keep 64-bit seconds: times FILETIME cannot hold are clamped
  // to its ends (before 1601 to 0, past year 30828 to the largest signed value).
  constexpr int64_t kLastSecond = (INT64_MAX - kUnixEpochAsFileTime) / kTicksPerSecond - 1;
  if (seconds < -kUnixEpochAsFileTime / kTicksPerSecond) return 0;
  if (seconds > kLastSecond) return static_cast<ZoFileTime>(INT64_MAX);
  int64_t t = seconds * kTicksPerSecond + nanoseconds / 100 + kUnixEpochAsFileTime;
  return t < 0 ? 0 : static_cast<ZoFileTime>(t);
}

void FileTimeToUnix(ZoFileTime time, int64_t* seconds, uint32_t* nanoseconds) {
  // Times beyond year 30828 do not occur in FILETIME; clamp to keep the arithmetic signed.
  int64_t t = time > static_cast<uint64_t>(INT64_MAX) ? INT64_MAX : static_cast<int64_t>(time);
  t -= kUnixEpochAsFileTime;
  int64_t s = t / kTicksPerSecond;
  int64_t rem = t % kTicksPerSecond;
  if (rem < 0) {
    rem += kTicksPerSecond;
    --s;
  }
  *seconds = s;
  *nanoseconds = static_cast<uint32_t>(rem * 100);
}

namespace {
// Days from civil date (proleptic Gregorian), after H. Hinnant's algorithm.
int64_t DaysFromCivil(int64_t y, unsigned m, unsigned d) {
  y -= m <= 2;
  const int64_t era = (y >= 0 ? y : y - 399) / 400;
  const unsigned yoe = static_cast<unsigned>(y - era * 400);
  const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + static_cast<int64_t>(doe) - 719468;
}
void CivilFromDays(int64_t z, int64_t* y, unsigned* m, unsigned* d) {
  z += 719468;
  const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const unsigned doe = static_cast<unsigned>(z - era * 146097);
  const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const int64_t yy = static_cast<int64_t>(yoe) + era * 400;
  const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const unsigned mp = (5 * doy + 2) / 153;
  *d = doy - (153 * mp + 2) / 5 + 1;
  *m = mp < 10 ? mp + 3 : mp - 9;
  *y = yy + (*m <= 2);
}
}  // namespace

bool FileTimeToSystemTime(ZoFileTime time, SystemTime* out) {
  if (time > 0x7FFFFFFFFFFFFFFFull) return false;
  int64_t s;
  uint32_t ns;
  FileTimeToUnix(time, &s, &ns);
  int64_t days = s / 86400;
  int64_t secs = s % 86400;
  if (secs < 0) {
    secs += 86400;
    --days;
  }
  int64_t y;
  unsigned m, d;
  CivilFromDays(days, &y, &m, &d);
  out->year = static_cast<uint16_t>(y);
  out->month = static_cast<uint16_t>(m);
  out->day = static_cast<uint16_t>(d);
  out->dayOfWeek = static_cast<uint16_t>(((days % 7) + 11) % 7);  // 1970-01-01 was a Thursday (4)
  out->hour = static_cast<uint16_t>(secs / 3600);
  out->minute = static_cast<uint16_t>((secs / 60) % 60);
  out->second = static_cast<uint16_t>(secs % 60);
  out->milliseconds = static_cast<uint16_t>(ns / 1000000);
  return true;
}

bool SystemTimeToFileTime(const SystemTime& in, ZoFileTime* out) {
  if (in.year < 1601 || in.year > 30827 || in.month < 1 || in.month > 12 || in.day < 1 || in.day > 31 ||
      in.hour > 23 || in.minute > 59 || in.second > 59 || in.milliseconds > 999) {
    SetLastError(kErrorInvalidParameter);
    return false;
  }
  // A day beyond the month's end (February 30, April 31) is refused, not rolled over.
  static constexpr uint8_t kDaysInMonth[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  bool leap = (in.year % 4 == 0 && in.year % 100 != 0) || in.year % 400 == 0;
  unsigned lastDay = kDaysInMonth[in.month - 1] + (in.month == 2 && leap ? 1u : 0u);
  if (in.day > lastDay) {
    SetLastError(kErrorInvalidParameter);
    return false;
  }
  int64_t days = DaysFromCivil(in.year, in.month, in.day);
  int64_t s = days * 86400 + in.hour * 3600 + in.minute * 60 + in.second;
  *out = FileTimeFromUnix(s, static_cast<uint32_t>(in.milliseconds) * 1000000u);
  return true;
}

uint32_t FileTimeToDosDateTime(ZoFileTime time) {
  SystemTime st;
  if (!FileTimeToSystemTime(time, &st) || st.year < 1980 || st.year > 2107) return 0;
  uint32_t date = ((st.year - 1980u) << 9) | (static_cast<uint32_t>(st.month) << 5) | st.day;
  uint32_t tod = (static_cast<uint32_t>(st.hour) << 11) | (static_cast<uint32_t>(st.minute) << 5) | (st.second / 2u);
  return (date << 16) | tod;
}

}  // namespace plat
