// FILETIME arithmetic: calendar fields, the Unix epoch, DOS date and time, and
// the zone conversions (checked for consistency, whatever the machine's zone).
#include <gtest/gtest.h>

#include "platform/time.h"

namespace {

constexpr ZoFileTime kUnixEpoch = 116444736000000000ull;
constexpr ZoFileTime kTicksPerSecond = 10000000ull;

TEST(Time, CalendarFieldsRoundTrip) {
  struct Case {
    ZoFileTime time;
    plat::SystemTime st;  // year, month, dayOfWeek, day, hour, minute, second, ms
  };
  const Case cases[] = {
      {0, {1601, 1, 1, 1, 0, 0, 0, 0}},
      {kUnixEpoch, {1970, 1, 4, 1, 0, 0, 0, 0}},
      {125963012967890000ull, {2000, 2, 2, 29, 12, 34, 56, 789}},
      {159992927980000000ull, {2107, 12, 6, 31, 23, 59, 58, 0}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.time);
    plat::SystemTime st;
    ASSERT_TRUE(plat::FileTimeToSystemTime(c.time, &st));
    EXPECT_EQ(st.year, c.st.year);
    EXPECT_EQ(st.month, c.st.month);
    EXPECT_EQ(st.day, c.st.day);
    EXPECT_EQ(st.dayOfWeek, c.st.dayOfWeek);
    EXPECT_EQ(st.hour, c.st.hour);
    EXPECT_EQ(st.minute, c.st.minute);
    EXPECT_EQ(st.second, c.st.second);
    EXPECT_EQ(st.milliseconds, c.st.milliseconds);
    ZoFileTime back = 1;
    ASSERT_TRUE(plat::SystemTimeToFileTime(c.st, &back));
    EXPECT_EQ(back, c.time);
  }
}

TEST(Time, SystemTimeToFileTime_RefusesImpossibleDates) {
  const plat::SystemTime bad[] = {
      {2001, 2, 0, 29, 0, 0, 0, 0},   // not a leap year
      {1900, 2, 0, 29, 0, 0, 0, 0},   // century, not a leap year
      {2001, 4, 0, 31, 0, 0, 0, 0},   {2001, 13, 0, 1, 0, 0, 0, 0},
      {2001, 1, 0, 1, 24, 0, 0, 0},   {1600, 12, 0, 31, 0, 0, 0, 0},
      {2001, 1, 0, 1, 0, 0, 0, 1000},
  };
  for (const auto& st : bad) {
    ZoFileTime t = 42;
    EXPECT_FALSE(plat::SystemTimeToFileTime(st, &t)) << st.year << "-" << st.month << "-" << st.day;
  }
  plat::SystemTime leapDay{2000, 2, 0, 29, 0, 0, 0, 0};
  ZoFileTime t;
  EXPECT_TRUE(plat::SystemTimeToFileTime(leapDay, &t));
}

TEST(Time, UnixConversionsHandleNanosecondsAndTimesBefore1970) {
  EXPECT_EQ(plat::FileTimeFromUnix(0, 0), kUnixEpoch);
  EXPECT_EQ(plat::FileTimeFromUnix(1, 999999999), kUnixEpoch + kTicksPerSecond + 9999999);
  EXPECT_EQ(plat::FileTimeFromUnix(-1, 0), kUnixEpoch - kTicksPerSecond);
  EXPECT_EQ(plat::FileTimeFromUnix(-20000000000LL, 0), 0u);  // before 1601 clamps
  // 64-bit seconds (btrfs keeps them) past what FILETIME holds clamp, never overflow.
  EXPECT_EQ(plat::FileTimeFromUnix(INT64_MIN, 0), 0u);
  EXPECT_EQ(plat::FileTimeFromUnix(INT64_MAX, 999999999), static_cast<ZoFileTime>(INT64_MAX));

  int64_t s;
  uint32_t ns;
  plat::FileTimeToUnix(kUnixEpoch - 1, &s, &ns);
  EXPECT_EQ(s, -1);
  EXPECT_EQ(ns, 999999900u);
  plat::FileTimeToUnix(0, &s, &ns);
  EXPECT_EQ(s, -11644473600LL);
  EXPECT_EQ(ns, 0u);
}

TEST(Time, DosDateTimePacksFieldsAndRejectsOutOfRangeYears) {
  EXPECT_EQ(plat::FileTimeToDosDateTime(119600064000000000ull), 0x00210000u);  // 1980-01-01 00:00:00
  // 2000-02-29 12:34:56.789: date (20 << 9 | 2 << 5 | 29), time (12 << 11 | 34 << 5 | 28).
  EXPECT_EQ(plat::FileTimeToDosDateTime(125963012967890000ull), ((20u << 9 | 2u << 5 | 29u) << 16) | (12u << 11 | 34u << 5 | 28u));
  // Odd seconds round down to the two-second grid.
  EXPECT_EQ(plat::FileTimeToDosDateTime(119600064000000000ull + kTicksPerSecond), 0x00210000u);
  EXPECT_EQ(plat::FileTimeToDosDateTime(119600064000000000ull - 1), 0u);  // 1979
  EXPECT_NE(plat::FileTimeToDosDateTime(159992927980000000ull), 0u);      // 2107-12-31
  EXPECT_EQ(plat::FileTimeToDosDateTime(159992927980000000ull + 2 * kTicksPerSecond), 0u);  // 2108
}

TEST(Time, ZoneConversionsAreInverseAndKeepSubMilliseconds) {
  // Mid-January and mid-July 2020, 12:00 UTC, plus 1234 units below a millisecond:
  // far from any zone change, so the round trip is exact in every zone.
  for (ZoFileTime utc : {132235632000001234ull, 132392880000001234ull}) {
    ZoFileTime local = plat::UtcToLocal(utc);
    int64_t offset = static_cast<int64_t>(local) - static_cast<int64_t>(utc);
    EXPECT_LE(offset < 0 ? -offset : offset, static_cast<int64_t>(14 * 3600 * kTicksPerSecond));
    EXPECT_EQ(offset % static_cast<int64_t>(60 * kTicksPerSecond), 0);  // zones are whole minutes
    EXPECT_EQ(plat::LocalToUtc(local), utc);
  }
}

TEST(Time, ClocksMoveForward) {
  EXPECT_GT(plat::Now(), 132235632000000000ull);  // after 2020
  uint64_t before = plat::TickCount();
  plat::Sleep(50);
  // The tick may advance in steps of up to 16 ms (GetTickCount64).
  EXPECT_GE(plat::TickCount() - before, 30u);
}

}  // namespace
