#include "compat/pps_library.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <ctime>
#include <string>

namespace {

// Sets VOK_PPS_VALID for one test and restores the former state.
class PpsValidOverride {
public:
    explicit PpsValidOverride(const char* value) {
        const char* old = getenv("VOK_PPS_VALID");
        if (old != nullptr) m_old = old;
        m_had = old != nullptr;
        if (value != nullptr) {
            setenv("VOK_PPS_VALID", value, 1);
        } else {
            unsetenv("VOK_PPS_VALID");
        }
    }
    ~PpsValidOverride() {
        if (m_had) {
            setenv("VOK_PPS_VALID", m_old.c_str(), 1);
        } else {
            unsetenv("VOK_PPS_VALID");
        }
    }

private:
    bool m_had = false;
    std::string m_old;
};

tm UtcNow() {
    const time_t now = time(nullptr);
    tm parts{};
    gmtime_r(&now, &parts);
    return parts;
}

SYSTEMTIME Date(int year, int month, int day) {
    SYSTEMTIME st{};
    st.wYear = static_cast<WORD>(year);
    st.wMonth = static_cast<WORD>(month);
    st.wDay = static_cast<WORD>(day);
    return st;
}

TEST(PpsLibrary, PpsTimeIsTheSystemClockInUtc) {
    const time_t before = time(nullptr);
    SYSTEMTIME st{};
    GetPpsTime(&st);
    const time_t after = time(nullptr);
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

TEST(PpsLibrary, EnvironmentDecidesValidity) {
    {
        PpsValidOverride force("1");
        EXPECT_NE(IsPpsValid(), 0);
    }
    {
        PpsValidOverride force("0");
        EXPECT_EQ(IsPpsValid(), 0);
    }
    {
        // Anything else leaves the decision to the kernel, whose answer is 0 or 1.
        PpsValidOverride force("yes");
        const int v = IsPpsValid();
        EXPECT_TRUE(v == 0 || v == 1);
        PpsValidOverride unset(nullptr);
        EXPECT_EQ(IsPpsValid(), v);
    }
}

TEST(PpsLibrary, PulseIsTheLastWholeSecondWithItsCounter) {
    SYSTEMTIME pulse{};
    SYSTEMTIME now{};
    int64_t pulseCounter = 0;
    int64_t nowCounter = 0;
    GetPpsTimeEx(&pulse, &pulseCounter, &nowCounter, &now);
    EXPECT_EQ(pulse.wMilliseconds, 0);
    EXPECT_EQ(pulse.wSecond, now.wSecond);
    EXPECT_EQ(pulse.wMinute, now.wMinute);
    EXPECT_EQ(pulse.wDay, now.wDay);
    const int64_t elapsed = nowCounter - pulseCounter;
    EXPECT_GE(elapsed, int64_t{now.wMilliseconds} * 1000000);
    EXPECT_LT(elapsed, int64_t{now.wMilliseconds + 1} * 1000000);
    timespec mono{};
    clock_gettime(CLOCK_MONOTONIC, &mono);
    EXPECT_LE(nowCounter, int64_t{mono.tv_sec} * 1000000000 + mono.tv_nsec);
    GetPpsTimeEx(nullptr, nullptr, nullptr, nullptr);  // every output is optional
}

TEST(PpsLibrary, TwoDigitYearsGetTheNearestCentury) {
    const int year = UtcNow().tm_year + 1900;
    const int yy = year % 100;
    SYSTEMTIME st = Date(yy, 3, 11);
    EXPECT_EQ(CheckUtcDate(&st, 1), PPS_DATE_CENTURY_ADDED);
    EXPECT_EQ(st.wYear, year);
    EXPECT_EQ(st.wMonth, 3);
    EXPECT_EQ(st.wDay, 11);

    st = Date((yy + 49) % 100, 3, 11);
    CheckUtcDate(&st, 1);
    EXPECT_EQ(st.wYear, year + 49);
    st = Date((yy + 50) % 100, 3, 11);
    CheckUtcDate(&st, 1);
    EXPECT_EQ(st.wYear, year - 50);

    st = Date(2004, 3, 11);
    EXPECT_EQ(CheckUtcDate(&st, 1), PPS_DATE_UNCHANGED);
    EXPECT_EQ(st.wYear, 2004);
}

TEST(PpsLibrary, ImpossibleDatesBecomeToday) {
    const SYSTEMTIME cases[] = {Date(4, 13, 1), Date(4, 0, 1), Date(2023, 2, 29), Date(23, 4, 31), Date(4, 1, 0)};
    for (SYSTEMTIME st : cases) {
        const tm before = UtcNow();
        EXPECT_EQ(CheckUtcDate(&st, 1), PPS_DATE_REPLACED);
        const tm after = UtcNow();
        const bool today = (st.wYear == before.tm_year + 1900 && st.wMonth == before.tm_mon + 1 &&
                            st.wDay == before.tm_mday) ||
                           (st.wYear == after.tm_year + 1900 && st.wMonth == after.tm_mon + 1 &&
                            st.wDay == after.tm_mday);
        EXPECT_TRUE(today) << st.wYear << "-" << st.wMonth << "-" << st.wDay;
    }
    SYSTEMTIME leap = Date(2024, 2, 29);
    EXPECT_EQ(CheckUtcDate(&leap, 1), PPS_DATE_UNCHANGED);
    EXPECT_EQ(leap.wDay, 29);
}

TEST(PpsLibrary, CheckOnlyLeavesTheDate) {
    SYSTEMTIME st = Date(4, 13, 1);
    EXPECT_EQ(CheckUtcDate(&st, 0), PPS_DATE_REPLACED);
    EXPECT_EQ(st.wYear, 4);
    EXPECT_EQ(st.wMonth, 13);
    EXPECT_EQ(CheckUtcDate(nullptr, 1), PPS_DATE_UNCHANGED);
}

}  // namespace
