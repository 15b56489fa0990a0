#include "compat/clock.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <ctime>

namespace {

SYSTEMTIME St(int y, int mo, int d, int h = 0, int mi = 0, int s = 0, int ms = 0) {
    return SYSTEMTIME{static_cast<WORD>(y), static_cast<WORD>(mo), 0, static_cast<WORD>(d),
                      static_cast<WORD>(h), static_cast<WORD>(mi), static_cast<WORD>(s), static_cast<WORD>(ms)};
}

uint64_t Ticks(const FILETIME& ft) { return (uint64_t{ft.dwHighDateTime} << 32) | ft.dwLowDateTime; }

FILETIME FromTicks(uint64_t t) { return FILETIME{static_cast<DWORD>(t & 0xFFFFFFFFu), static_cast<DWORD>(t >> 32)}; }

TEST(ClockFileTime, KnownInstants) {
    FILETIME ft{};
    const SYSTEMTIME start = St(1601, 1, 1);
    ASSERT_TRUE(SystemTimeToFileTime(&start, &ft));
    EXPECT_EQ(Ticks(ft), 0u);
    const SYSTEMTIME unixEpoch = St(1970, 1, 1);
    ASSERT_TRUE(SystemTimeToFileTime(&unixEpoch, &ft));
    EXPECT_EQ(Ticks(ft), 116444736000000000u);
    const SYSTEMTIME ms = St(2000, 2, 29, 23, 59, 59, 999);
    ASSERT_TRUE(SystemTimeToFileTime(&ms, &ft));
    SYSTEMTIME back{};
    ASSERT_TRUE(FileTimeToSystemTime(&ft, &back));
    EXPECT_EQ(back.wYear, 2000);
    EXPECT_EQ(back.wMonth, 2);
    EXPECT_EQ(back.wDay, 29);
    EXPECT_EQ(back.wDayOfWeek, 2);  // a Tuesday
    EXPECT_EQ(back.wHour, 23);
    EXPECT_EQ(back.wMilliseconds, 999);
}

TEST(ClockFileTime, RefusesWhatIsNotACalendarTime) {
    FILETIME ft = FromTicks(12345);
    for (const SYSTEMTIME& bad : {SYSTEMTIME{}, St(1600, 12, 31), St(2023, 2, 29), St(2024, 13, 1), St(2024, 1, 0),
                                  St(2024, 1, 1, 24), St(2024, 1, 1, 0, 60), St(2024, 1, 1, 0, 0, 60),
                                  St(2024, 1, 1, 0, 0, 0, 1000), St(30828, 1, 1)}) {
        EXPECT_FALSE(SystemTimeToFileTime(&bad, &ft));
    }
    EXPECT_EQ(Ticks(ft), 12345u);
    SYSTEMTIME st = St(1999, 1, 1);
    const FILETIME negative = FromTicks(uint64_t{1} << 63);
    EXPECT_FALSE(FileTimeToSystemTime(&negative, &st));
    EXPECT_EQ(st.wYear, 1999);
    const FILETIME last = FromTicks((uint64_t{1} << 63) - 1);
    ASSERT_TRUE(FileTimeToSystemTime(&last, &st));
    EXPECT_EQ(st.wYear, 30828);
}

TEST(ClockNow, UtcMatchesTheCLibraryClock) {
    SYSTEMTIME st{};
    GetSystemTime(&st);
    const time_t now = time(nullptr);
    std::tm parts{};
    gmtime_r(&now, &parts);
    EXPECT_EQ(st.wYear, parts.tm_year + 1900);
    EXPECT_EQ(st.wDayOfWeek, parts.tm_wday);
    EXPECT_LT(st.wMilliseconds, 1000);
    FILETIME ft{};
    EXPECT_TRUE(SystemTimeToFileTime(&st, &ft));
    const int64_t unixSeconds = static_cast<int64_t>(Ticks(ft) / 10000000) - 11644473600;
    EXPECT_LE(std::llabs(unixSeconds - now), 2);
}

// Converted in this order, so that each day is met after another (the date of the day converted
// last is kept): as gmtime_r has it, and nothing outside the calendar's years.
TEST(ClockNow, UnixTimesAsTheCLibraryBreaksThemDown) {
    const int64_t rows[] = {86399, 86400, 86399, 0, -1, -86401, 951782399, 951782400, 951868800,
                            1000000000, -11644473600, 910670515199};
    for (const int64_t seconds : rows) {
        SYSTEMTIME st{};
        ASSERT_TRUE(Vok::Clock::UnixTimeToSystemTime(seconds, 123, st)) << seconds;
        const time_t t = static_cast<time_t>(seconds);
        std::tm parts{};
        ASSERT_NE(gmtime_r(&t, &parts), nullptr);
        const SYSTEMTIME expected = {static_cast<WORD>(parts.tm_year + 1900), static_cast<WORD>(parts.tm_mon + 1),
                                     static_cast<WORD>(parts.tm_wday), static_cast<WORD>(parts.tm_mday),
                                     static_cast<WORD>(parts.tm_hour), static_cast<WORD>(parts.tm_min),
                                     static_cast<WORD>(parts.tm_sec), 123};
        EXPECT_EQ(std::memcmp(&st, &expected, sizeof st), 0) << seconds;
    }
    for (const int64_t outside : {int64_t{-11644473601}, int64_t{910670515200}}) {
        SYSTEMTIME st = St(1999, 1, 1);
        EXPECT_FALSE(Vok::Clock::UnixTimeToSystemTime(outside, 0, st));
        EXPECT_EQ(st.wYear, 1999);
    }
}

TEST(ClockCounter, MonotonicWithNanosecondFrequency) {
    LONGLONG f = 0, a = 0, b = 0;
    ASSERT_TRUE(QueryPerformanceFrequency(&f));
    EXPECT_EQ(f, 1000000000);
    ASSERT_TRUE(QueryPerformanceCounter(&a));
    ASSERT_TRUE(QueryPerformanceCounter(&b));
    EXPECT_LE(a, b);
    EXPECT_FALSE(QueryPerformanceCounter(nullptr));
}

}  // namespace
