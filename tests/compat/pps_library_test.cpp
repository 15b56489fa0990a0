#include "compat/pps_library.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <cstring>
#include <ctime>
#include <string>

namespace {

tm UtcNow() {
    const time_t now = time(nullptr);
    tm parts{};
    gmtime_r(&now, &parts);
    return parts;
}

bool operator==(const SYSTEMTIME& a, const SYSTEMTIME& b) { return std::memcmp(&a, &b, sizeof(a)) == 0; }

SYSTEMTIME Date(int year, int month, int day) {
    SYSTEMTIME st{};
    st.wYear = static_cast<WORD>(year);
    st.wMonth = static_cast<WORD>(month);
    st.wDay = static_cast<WORD>(day);
    return st;
}

// The clock the PPS time reads: time() reads a coarser one, which may still show the second before.
time_t RealTimeNow() {
    timespec now{};
    clock_gettime(CLOCK_REALTIME, &now);
    return now.tv_sec;
}

TEST(PpsLibrary, PpsTimeIsTheSystemClockInUtc) {
    const time_t before = RealTimeNow();
    SYSTEMTIME st{};
    GetPpsTime(&st);
    const time_t after = RealTimeNow();
    tm parts{};
    parts.tm_year = st.wYear - 1900;
    parts.tm_mon = st.wMonth - 1;
    parts.tm_mday = st.wDay;
    parts.tm_hour = st.wHour;
    parts.tm_min = st.wMinute;
    parts.tm_sec = st.wSecond;
    const time_t reported = timegm(&parts);
    EXPECT_GE(reported, before);
    EXPECT_LE(reported, after);
    EXPECT_LT(st.wMilliseconds, 1000);
    EXPECT_EQ(st.wDayOfWeek, parts.tm_wday);
}

TEST(PpsLibrary, EnvironmentOverridesTheKernel) {
    const char* old = getenv("VOK_PPS_VALID");
    const std::string saved = old != nullptr ? old : "";
    setenv("VOK_PPS_VALID", "1", 1);
    EXPECT_EQ(IsPpsValid(), 1);
    setenv("VOK_PPS_VALID", "0", 1);
    EXPECT_EQ(IsPpsValid(), 0);
    // Anything else leaves the answer to the kernel.
    setenv("VOK_PPS_VALID", "yes", 1);
    const int kernel = IsPpsValid();
    unsetenv("VOK_PPS_VALID");
    EXPECT_EQ(IsPpsValid(), kernel);
    EXPECT_TRUE(kernel == 0 || kernel == 1);
    if (old != nullptr) setenv("VOK_PPS_VALID", saved.c_str(), 1);
}

TEST(PpsLibrary, PulseIsTheLastWholeSecondWithItsCounter) {
    SYSTEMTIME pulse{};
    SYSTEMTIME now{};
    int64_t pulseCounter = 0;
    int64_t nowCounter = 0;
    GetPpsTimeEx(&pulse, &pulseCounter, &nowCounter, &now);
    SYSTEMTIME whole = now;
    whole.wMilliseconds = 0;
    EXPECT_TRUE(pulse == whole);
    const int64_t elapsed = nowCounter - pulseCounter;
    EXPECT_GE(elapsed, int64_t{now.wMilliseconds} * 1000000);
    EXPECT_LT(elapsed, int64_t{now.wMilliseconds + 1} * 1000000);
    timespec mono{};
    clock_gettime(CLOCK_MONOTONIC, &mono);
    EXPECT_LE(nowCounter, int64_t{mono.tv_sec} * 1000000000 + mono.tv_nsec);
    GetPpsTimeEx(nullptr, nullptr, nullptr, nullptr);
    // A reading at a moment past (a datagram's arrival) has that time and the counter taken back by
    // as long; a moment ahead of the clock leaves the counter at now.
    const auto ns = [](const timespec& t) { return static_cast<double>(t.tv_sec * 1000000000LL + t.tv_nsec); };
    timespec moment{};
    clock_gettime(CLOCK_MONOTONIC, &mono);
    clock_gettime(CLOCK_REALTIME, &moment);
    for (const int seconds : {-1, 61}) {
        moment.tv_sec += seconds;
        const sPpsReading reading = ReadPpsClockAt(moment);
        EXPECT_EQ(ns(reading.real), ns(moment));
        EXPECT_NEAR(ns(reading.monotonic), ns(mono) - (seconds < 0 ? 1e9 : 0.0), 50e6) << seconds;
    }
}

TEST(PpsLibrary, TwoDigitYearsGetTheNearestCentury) {
    const int year = UtcNow().tm_year + 1900;
    const struct {
        int given, expected;
    } rows[] = {{year % 100, year}, {(year + 49) % 100, year + 49}, {(year + 50) % 100, year - 50}, {2004, 2004}};
    for (const auto& row : rows) {
        SYSTEMTIME st = Date(row.given, 3, 11);
        EXPECT_EQ(CheckUtcDate(&st, 1), row.given < 100 ? PPS_DATE_CENTURY_ADDED : PPS_DATE_UNCHANGED);
        EXPECT_TRUE(st == Date(row.expected, 3, 11)) << row.given;
    }
    SYSTEMTIME leap = Date(24, 2, 29);
    EXPECT_EQ(CheckUtcDate(&leap, 1), PPS_DATE_CENTURY_ADDED);
    EXPECT_EQ(leap.wDay, 29);
}

TEST(PpsLibrary, ImpossibleDatesBecomeToday) {
    for (SYSTEMTIME st : {Date(4, 13, 1), Date(4, 0, 1), Date(2023, 2, 29), Date(23, 4, 31), Date(4, 1, 0)}) {
        const tm before = UtcNow();
        EXPECT_EQ(CheckUtcDate(&st, 1), PPS_DATE_REPLACED);
        const tm after = UtcNow();
        const auto isDay = [&st](const tm& t) {
            return st.wYear == t.tm_year + 1900 && st.wMonth == t.tm_mon + 1 && st.wDay == t.tm_mday;
        };
        EXPECT_TRUE(isDay(before) || isDay(after)) << st.wYear << "-" << st.wMonth << "-" << st.wDay;
    }
    // Asked only to check, it reports and leaves the date.
    SYSTEMTIME st = Date(4, 13, 1);
    EXPECT_EQ(CheckUtcDate(&st, 0), PPS_DATE_REPLACED);
    EXPECT_TRUE(st == Date(4, 13, 1));
    EXPECT_EQ(CheckUtcDate(nullptr, 1), PPS_DATE_UNCHANGED);
}

}  // namespace
