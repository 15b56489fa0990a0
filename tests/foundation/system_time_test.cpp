#include "foundation/system_time.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <limits>
#include <optional>
#include <string>

#include "compat/clock.h"

namespace {

CVOKTime Mjd(int32_t day, double seconds) { return CVOKTime(sMjdTime{day, 0, seconds}); }

SYSTEMTIME St(int y, int mo, int d, int h = 0, int mi = 0, int s = 0, int ms = 0) {
    SYSTEMTIME st{};
    st.wYear = static_cast<WORD>(y);
    st.wMonth = static_cast<WORD>(mo);
    st.wDay = static_cast<WORD>(d);
    st.wHour = static_cast<WORD>(h);
    st.wMinute = static_cast<WORD>(mi);
    st.wSecond = static_cast<WORD>(s);
    st.wMilliseconds = static_cast<WORD>(ms);
    return st;
}

std::string Text(const SYSTEMTIME& st) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "%04u-%02u-%02u %02u:%02u:%02u.%03u dow%u", st.wYear, st.wMonth, st.wDay,
                  st.wHour, st.wMinute, st.wSecond, st.wMilliseconds, st.wDayOfWeek);
    return buf;
}

bool IsZero(const SYSTEMTIME& st) {
    static const SYSTEMTIME zero{};
    return std::memcmp(&st, &zero, sizeof st) == 0;
}

// Sets TZ for one test and puts the previous value back afterwards.
class ZoneTest : public ::testing::Test {
protected:
    void SetZone(const char* tz) {
        setenv("TZ", tz, 1);
        tzset();
    }
    void SetUp() override {
        if (const char* old = std::getenv("TZ")) m_old = old;
    }
    void TearDown() override {
        if (m_old) setenv("TZ", m_old->c_str(), 1);
        else unsetenv("TZ");
        tzset();
    }

    // Central Europe, with daylight saving from the last Sunday of March 01:00 UTC to the last
    // Sunday of October 01:00 UTC; the rule is spelled out so no zone files are needed.
    static constexpr const char* kCentralEurope = "CET-1CEST,M3.5.0,M10.5.0/3";

private:
    std::optional<std::string> m_old;
};

// --- Records --------------------------------------------------------------------------------------

TEST(SystemTimeRecords, SystemTimeToMjdTime) {
    const sMjdTime none = SystemTimeToMjdTime(SYSTEMTIME{});
    const unsigned char expected[16] = {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0xF0, 0xBF};
    EXPECT_EQ(std::memcmp(&none, expected, 16), 0);
    const sMjdTime timeOnly = SystemTimeToMjdTime(St(0, 0, 0, 12, 30, 0));
    EXPECT_EQ(std::memcmp(&timeOnly, expected, 16), 0);

    const sMjdTime epoch = SystemTimeToMjdTime(St(1970, 1, 1));
    EXPECT_EQ(epoch.day, 40587);
    EXPECT_EQ(epoch.zero, 0u);
    EXPECT_EQ(epoch.seconds, 0.0);
    const sMjdTime t = SystemTimeToMjdTime(St(2024, 1, 31, 12, 34, 56, 789));
    EXPECT_EQ(t.day, CVOKTime::DateToMjd(2024, 1, 31));
    EXPECT_DOUBLE_EQ(t.seconds, 45296.789);
    // Days met in turn, each of the next day, month and year met again and again between the others
    // (the numbers of the last days met are kept).
    for (const SYSTEMTIME& st : {St(2001, 9, 9, 1), St(2001, 9, 10), St(2001, 9, 9), St(2001, 10, 9), St(2001, 9, 9),
                                 St(2002, 9, 9), St(2001, 9, 9, 23, 59, 59, 999), St(2001, 9, 10), St(2001, 10, 9),
                                 St(2002, 9, 9), St(2001, 10, 9), St(2001, 9, 10)}) {
        EXPECT_EQ(SystemTimeToMjdTime(st).day, CVOKTime::DateToMjd(st.wYear, st.wMonth, st.wDay)) << Text(st);
    }
}

TEST(SystemTimeRecords, TimeToSystemTime) {
    EXPECT_TRUE(IsZero(TimeToSystemTime(Mjd(0, 100.0))));
    EXPECT_TRUE(IsZero(TimeToSystemTime(CVOKTime())));
    EXPECT_EQ(Text(TimeToSystemTime(Mjd(51544, 86399.9996))), "2000-01-02 00:00:00.000 dow0");
    EXPECT_EQ(Text(TimeToSystemTime(Mjd(51544, 45296.789))), "2000-01-01 12:34:56.789 dow6");

    for (double s : {0.0, 0.001, 45296.789, 86399.999}) {
        const CVOKTime t = Mjd(60000, s);
        const CVOKTime back(SystemTimeToMjdTime(TimeToSystemTime(t)));
        EXPECT_EQ(back.day, t.day);
        EXPECT_NEAR(back.seconds, t.seconds, 1e-9);
    }

    // The fields that GetDateTimeMs gives, for times on days met in turn (the date of the day met
    // last is kept), at both ends of a day and outside it; days at the ends of the word another process
    // may have written.
    for (const int32_t day : {60000, 60001, 60000, 51544, 60001, std::numeric_limits<int32_t>::max(),
                              std::numeric_limits<int32_t>::min()}) {
        for (const double s : {0.0, 0.0004999, 0.0005, 3599.9995, 43200.25, 86399.9994, 86399.9995, 86400.5, -0.0004,
                               -0.5}) {
            const CVOKTime t = Mjd(day, s);
            int year, month, dayOfMonth, dayOfWeek, hour, minute, second, ms;
            ASSERT_TRUE(t.GetDateTimeMs(year, month, dayOfMonth, dayOfWeek, hour, minute, second, ms));
            const SYSTEMTIME expected = {static_cast<WORD>(year),   static_cast<WORD>(month),
                                         static_cast<WORD>(dayOfWeek), static_cast<WORD>(dayOfMonth),
                                         static_cast<WORD>(hour),   static_cast<WORD>(minute),
                                         static_cast<WORD>(second), static_cast<WORD>(ms)};
            const SYSTEMTIME st = TimeToSystemTime(t);
            EXPECT_EQ(std::memcmp(&st, &expected, sizeof st), 0) << day << " " << s << ": " << Text(st);
        }
    }
}

TEST(SystemTimeRecords, GpsConversions) {
    EXPECT_EQ(GpsWeekTimeToMjdTime(sGpsWeekTime{0, 0, 100.0}, 0.0).seconds, -1.0);
    EXPECT_EQ(GpsWeekTimeToMjdTime(sGpsWeekTime{2048, 0, -1.0}, 0.0).day, 0);
    const sMjdTime plain = GpsWeekTimeToMjdTime(sGpsWeekTime{2048, 0, 86400.0 + 10.0}, 0.0);
    EXPECT_EQ(plain.day, 58581);
    EXPECT_DOUBLE_EQ(plain.seconds, 10.0);
    const sMjdTime shifted = GpsWeekTimeToMjdTime(sGpsWeekTime{2048, 0, 10.0}, 18.0);
    EXPECT_EQ(shifted.day, 58579);
    EXPECT_DOUBLE_EQ(shifted.seconds, 86392.0);

    const sGpsWeekTime g = TimeToGpsWeekTime(Mjd(58579, 86392.0), 18.0);
    EXPECT_EQ(g.week, 2048);
    EXPECT_DOUBLE_EQ(g.seconds, 10.0);
    const sGpsWeekTime none = TimeToGpsWeekTime(Mjd(0, 10.0), 18.0);
    EXPECT_EQ(none.week, 0);
    EXPECT_EQ(none.seconds, 0.0);
    const sGpsWeekTime fromSt = SystemTimeToGpsWeekTime(St(2019, 4, 7, 0, 0, 1), 18.0);
    EXPECT_EQ(fromSt.week, 2048);
    EXPECT_DOUBLE_EQ(fromSt.seconds, 19.0);
    EXPECT_EQ(SystemTimeToGpsWeekTime(SYSTEMTIME{}, 18.0).week, 0);
}

TEST(SystemTimeRecords, GpsSecondsOfWeekAcrossTheWeekBoundary) {
    // 2019-04-07 (MJD 58580) starts GPS week 2048.
    const SYSTEMTIME early = St(2019, 4, 7, 0, 1, 40);   // 100 s into week 2048
    const SYSTEMTIME late = St(2019, 4, 13, 23, 46, 40); // 604000 s into week 2048
    const CVOKTime previous = GpsSecondsOfWeekToTime(early, 604000.0, false, 0.0);
    EXPECT_EQ(previous.GetGpsTime().week, 2047);
    EXPECT_DOUBLE_EQ(previous.GetGpsTime().seconds, 604000.0);
    const CVOKTime next = GpsSecondsOfWeekToTime(late, 100.0, false, 0.0);
    EXPECT_EQ(next.GetGpsTime().week, 2049);
    EXPECT_EQ(GpsSecondsOfWeekToTime(late, 900.0, false, 0.0).GetGpsTime().week, 2048);
    const CVOKTime withOffset = GpsSecondsOfWeekToTime(early, 118.0, true, 18.0);
    EXPECT_EQ(withOffset, Mjd(58580, 100.0));
}

TEST(SystemTimeRecords, ReferenceDayForSystemTimes) {
    SYSTEMTIME t = St(2024, 1, 2, 23, 59, 0, 500);  // a sentence time put on the receipt's date
    AdjustSystemTimeToReference(t, St(2024, 1, 2, 0, 1, 0));
    EXPECT_EQ(Text(t), "2024-01-01 23:59:00.500 dow1");

    SYSTEMTIME unchanged = St(2024, 1, 2, 23, 59, 0);
    unchanged.wDayOfWeek = 5;
    AdjustSystemTimeToReference(unchanged, SYSTEMTIME{});
    EXPECT_EQ(Text(unchanged), "2024-01-02 23:59:00.000 dow5");
}

TEST(SystemTimeRecords, MinuteWindow) {
    const CVOKTime ref = Mjd(60000, 12 * 3600 + 30 * 60 + 10.0);
    CVOKTime t = Mjd(59000, 59 * 60 + 50.25);  // minute 59, second 50.25
    AdjustMinuteToReference(t, ref);
    EXPECT_EQ(t.day, 60000);
    EXPECT_NEAR(t.seconds, 12 * 3600 + 30 * 60 + 50.25, 1e-6);
    t = Mjd(59000, 0 * 60 + 5.0);
    AdjustMinuteToReference(t, ref);
    EXPECT_NEAR(t.seconds, 12 * 3600 + 30 * 60 + 5.0, 1e-6);
    t = Mjd(59000, 1 * 60 + 9.0);
    AdjustMinuteToReference(t, Mjd(60000, 12 * 3600 + 59 * 60 + 50.0));
    EXPECT_NEAR(t.seconds, 12 * 3600 + 59 * 60 + 9.0, 1e-6);
    // Two minutes qualify (23:59:20 and 00:00:20); the walk up from 23:00:20 stops at the first.
    t = Mjd(59000, 0 * 60 + 20.0);
    AdjustMinuteToReference(t, Mjd(60000, 86390.0));
    EXPECT_EQ(t.day, 60000);
    EXPECT_NEAR(t.seconds, 86360.0, 1e-6);

    // 120 s less one unit of the last place above ref: the jump must end where the minute walk
    // alone ends, a minute above ref, however its sum rounds.
    t = Mjd(59000, 180.0);
    AdjustMinuteToReference(t, Mjd(60000, 60.0 + std::ldexp(1.0, -46)));
    EXPECT_EQ(t, Mjd(60000, 120.0));

    CVOKTime keep = Mjd(59000, 100.0);
    AdjustMinuteToReference(keep, Mjd(60000, std::numeric_limits<double>::infinity()));
    EXPECT_EQ(keep, Mjd(59000, 100.0));
    AdjustMinuteToReference(keep, CVOKTime());
    EXPECT_EQ(keep, Mjd(59000, 100.0));
}

TEST(SystemTimeRecords, MinuteWindowRefusesReferencesWithoutAReachableDay) {
    // No date, or an instant beyond the 32-bit day numbers: the time stays, and at once.
    const CVOKTime refs[] = {Mjd(0, 45000.0), Mjd(60000, 2e14), Mjd(std::numeric_limits<int32_t>::max(), 10.0),
                             Mjd(std::numeric_limits<int32_t>::max() - 5, 86400.0 * 10)};
    for (const CVOKTime& ref : refs) {
        CVOKTime t = Mjd(59000, 100.25);
        AdjustMinuteToReference(t, ref);
        EXPECT_EQ(t, Mjd(59000, 100.25)) << ref.day << " " << ref.seconds;
    }
    // A far reference within the range is still reached: 1e9 s is day 60000 + 11574 at 01:46:40;
    // stepping up from 01:01:40.25 stops at the first time above ref - 60 s, 01:45:40.25.
    CVOKTime t = Mjd(59000, 100.25);
    AdjustMinuteToReference(t, Mjd(60000, 1e9));
    EXPECT_EQ(t.day, 71574);
    EXPECT_NEAR(t.seconds, 6340.25, 1e-6);
}

TEST(SystemTimeRecords, MidTimeDifferenceAndEpoch) {
    EXPECT_EQ(MidTime(Mjd(60000, 0.0), Mjd(60001, 0.0)), Mjd(60000, 43200.0));
    EXPECT_FALSE(MidTime(Mjd(60000, 0.0), CVOKTime()).IsValid());
    EXPECT_DOUBLE_EQ(AbsTimeDifference(Mjd(60000, 10.0), Mjd(60001, 0.0)), 86390.0);
    EXPECT_EQ(AbsTimeDifference(Mjd(60000, 10.0), CVOKTime()), 0.0);
    EXPECT_FALSE(IsAfterEpoch(Mjd(40587, 0.0)));
    EXPECT_TRUE(IsAfterEpoch(Mjd(40587, 0.001)));
    EXPECT_FALSE(IsAfterEpoch(CVOKTime()));
}

TEST(SystemTimeRecords, CalendarFacts) {
    EXPECT_EQ(GetDaysInMonth(CVOKTime(2000, 2, 10, 0, 0, 0.0)), 29);
    EXPECT_EQ(GetDaysInMonth(CVOKTime(1900, 2, 10, 0, 0, 0.0)), 28);
    EXPECT_EQ(GetDaysInMonth(CVOKTime(2000, 4, 10, 0, 0, 0.0)), 30);
    EXPECT_EQ(GetDaysInMonth(Mjd(0, 10.0)), 0);
    EXPECT_EQ(GetDaysInMonth(CVOKTime()), 0);
    EXPECT_TRUE(IsLeapYear(CVOKTime(2000, 6, 1, 0, 0, 0.0)));
    EXPECT_FALSE(IsLeapYear(CVOKTime(1900, 6, 1, 0, 0, 0.0)));
    EXPECT_FALSE(IsLeapYear(CVOKTime()));
    EXPECT_EQ(GetDayOfYear(St(2024, 3, 1)), 61);
    EXPECT_EQ(GetDayOfYear(CVOKTime(2023, 3, 1, 0, 0, 0.0)), 60);
    EXPECT_EQ(GetDaysInYear(CVOKTime(2023, 3, 1, 0, 0, 0.0)), 365);
    int y, mo, d, h, mi;
    double s;
    GetDateTime(CVOKTime(2023, 3, 1, 4, 5, 6.5), y, mo, d, h, mi, s);
    EXPECT_EQ(std::make_tuple(y, mo, d, h, mi, s), std::make_tuple(2023, 3, 1, 4, 5, 6.5));
}

TEST(SystemTimeRecords, SpanAsADateFrom1601) {
    SYSTEMTIME result = St(1, 1, 1);
    ASSERT_EQ(SystemTimeDifference(result, St(2024, 1, 2, 1, 0, 0, 250), St(2024, 1, 1)), &result);
    EXPECT_EQ(Text(result), "1601-01-02 01:00:00.250 dow2");
    ASSERT_EQ(SystemTimeDifference(result, St(2024, 1, 1), St(2024, 1, 1)), &result);
    EXPECT_EQ(Text(result), "1601-01-01 00:00:00.000 dow1");

    // Failed conversions are reported and leave the result alone.
    const SYSTEMTIME before = result = St(1999, 9, 9);
    EXPECT_EQ(SystemTimeDifference(result, St(2024, 1, 1), St(2024, 1, 2)), nullptr);
    EXPECT_EQ(SystemTimeDifference(result, SYSTEMTIME{}, St(2024, 1, 2)), nullptr);
    EXPECT_EQ(SystemTimeDifference(result, St(2024, 1, 1), St(2024, 13, 2)), nullptr);
    EXPECT_EQ(Text(result), Text(before));
}

TEST(SystemTimeRecords, ElapsedSeconds) {
    LONGLONG f = 0;
    ASSERT_TRUE(QueryPerformanceFrequency(&f));
    EXPECT_DOUBLE_EQ(ElapsedSeconds(0, f * 3 / 2), 1.5);
    EXPECT_DOUBLE_EQ(ElapsedSeconds(f * 2, 0), -2.0);
    // Ten years of counter ticks: the product with 100000 no longer fits 64 bits.
    const int64_t tenYears = f * 86400 * 3650;
    EXPECT_DOUBLE_EQ(ElapsedSeconds(5, 5 + tenYears), 86400.0 * 3650);
    EXPECT_DOUBLE_EQ(ElapsedSeconds(0, f / 100000 * 7), 0.00007);
    LONGLONG a = 0, b = 0;
    ASSERT_TRUE(QueryPerformanceCounter(&a));
    ASSERT_TRUE(QueryPerformanceCounter(&b));
    EXPECT_GE(ElapsedSeconds(a, b), 0.0);
}

TEST(SystemTimeRecords, CurrentDecimalYearAtNoon) {
    SYSTEMTIME st{};
    CVOKTime t;
    const double year = GetCurrentDecimalYear(st, t);
    EXPECT_EQ(st.wHour, 12);
    EXPECT_EQ(st.wMinute + st.wSecond + st.wMilliseconds, 0);
    EXPECT_EQ(t.seconds, 43200.0);
    EXPECT_EQ(static_cast<int>(year), st.wYear);
    EXPECT_DOUBLE_EQ(year, CVOKTime::GetCurrentDecimalYear());
    EXPECT_DOUBLE_EQ(GetCurrentDecimalYear(), year);
}

// --- Clock and zone -------------------------------------------------------------------------------

TEST_F(ZoneTest, ZoneOffsetHours) {
    SetZone("UTC0");
    EXPECT_EQ(GetTimeZoneOffsetHours(), 0.0);
    SetZone("EST5");
    EXPECT_EQ(GetTimeZoneOffsetHours(), -5.0);
    SetZone("<+0545>-5:45");
    EXPECT_EQ(GetTimeZoneOffsetHours(), 5.75);
}

TEST_F(ZoneTest, CurrentLocalFollowsTheZone) {
    SetZone("<+03>-3");
    const CVOKTime utc = CurrentUtcTime();
    const CVOKTime local = CurrentLocalTime();
    EXPECT_NEAR(local - utc, 3 * 3600.0, 2.0);
    CVOKTime precise;
    precise.SetCurrentLocalTime();
    EXPECT_NEAR(precise - utc, 3 * 3600.0, 2.0);
    EXPECT_NEAR(UtcToLocal(utc) - utc, 3 * 3600.0, 1e-6);
}

TEST_F(ZoneTest, UtcAndLocalAcrossDaylightSaving) {
    SetZone(kCentralEurope);
    // Spring: 2024-03-31 01:00 UTC, local clocks jump from 02:00 to 03:00.
    EXPECT_EQ(UtcToLocal(CVOKTime(2024, 3, 31, 0, 30, 0.0)), CVOKTime(2024, 3, 31, 1, 30, 0.0));
    EXPECT_EQ(UtcToLocal(CVOKTime(2024, 3, 31, 1, 30, 0.0)), CVOKTime(2024, 3, 31, 3, 30, 0.0));
    EXPECT_EQ(LocalToUtc(CVOKTime(2024, 3, 31, 3, 30, 0.0)), CVOKTime(2024, 3, 31, 1, 30, 0.0));
    EXPECT_EQ(LocalToUtc(CVOKTime(2024, 3, 31, 1, 30, 0.0)), CVOKTime(2024, 3, 31, 0, 30, 0.0));
    // Autumn: 2024-10-27 01:00 UTC, local 03:00 becomes 02:00 again.
    EXPECT_EQ(UtcToLocal(CVOKTime(2024, 10, 27, 0, 30, 0.0)), CVOKTime(2024, 10, 27, 2, 30, 0.0));
    EXPECT_EQ(UtcToLocal(CVOKTime(2024, 10, 27, 1, 30, 0.0)), CVOKTime(2024, 10, 27, 2, 30, 0.0));
    EXPECT_EQ(UtcToLocal(CVOKTime(2024, 7, 1, 12, 0, 0.25)), CVOKTime(2024, 7, 1, 14, 0, 0.25));
    EXPECT_EQ(LocalToUtc(CVOKTime(2024, 12, 31, 23, 30, 0.0)), CVOKTime(2024, 12, 31, 22, 30, 0.0));
    // The repeated local hour maps to one of its two instants.
    const CVOKTime repeated = LocalToUtc(CVOKTime(2024, 10, 27, 2, 30, 0.0));
    EXPECT_TRUE(repeated == CVOKTime(2024, 10, 27, 0, 30, 0.0) || repeated == CVOKTime(2024, 10, 27, 1, 30, 0.0));
}

TEST_F(ZoneTest, InvalidTimesConvertToInvalid) {
    SetZone(kCentralEurope);
    EXPECT_FALSE(UtcToLocal(CVOKTime()).IsValid());
    EXPECT_FALSE(LocalToUtc(Mjd(0, 100.0)).IsValid());
    SYSTEMTIME out = St(1999, 9, 9);
    EXPECT_EQ(SystemTimeToLocalSystemTime(out, SYSTEMTIME{}), &out);
    EXPECT_EQ(out.wYear, 1999);
    EXPECT_EQ(LocalSystemTimeToSystemTime(out, St(2024, 2, 30)), &out);
    EXPECT_EQ(out.wYear, 1999);
    EXPECT_EQ(Text(*SystemTimeToLocalSystemTime(out, St(2024, 7, 1, 22, 0, 0, 5))), "2024-07-02 00:00:00.005 dow2");
    EXPECT_EQ(Text(*LocalSystemTimeToSystemTime(out, St(2024, 1, 1, 0, 30))), "2023-12-31 23:30:00.000 dow0");
}

TEST_F(ZoneTest, Time64IsBrokenDownAsLocalTime) {
    SetZone("EST5");
    const sMjdTime t = Time64ToMjdTime(0);
    EXPECT_EQ(t.day, 40586);
    EXPECT_EQ(t.seconds, 19 * 3600.0);
    SetZone(kCentralEurope);
    const sMjdTime summer = Time64ToMjdTime(int64_t{1719835200});  // 2024-07-01 12:00 UTC
    EXPECT_EQ(summer.day, CVOKTime::DateToMjd(2024, 7, 1));
    EXPECT_EQ(summer.seconds, 14 * 3600.0);
    EXPECT_EQ(Time64ToMjdTime(std::numeric_limits<int64_t>::max()).seconds, -1.0);
}

TEST_F(ZoneTest, Time64BeyondTheRecordsYearsIsInvalid) {
    SetZone("UTC0");
    const sMjdTime first = Time64ToMjdTime(int64_t{-62135596800});  // 0001-01-01 00:00:00
    EXPECT_EQ(first.day, CVOKTime::DateToMjd(1, 1, 1));
    EXPECT_EQ(first.seconds, 0.0);
    const sMjdTime yearZero = Time64ToMjdTime(int64_t{-62135596801});
    EXPECT_EQ(yearZero.day, 0);
    EXPECT_EQ(yearZero.seconds, -1.0);
    const sMjdTime last = Time64ToMjdTime(int64_t{2005949145599});  // 65535-12-31 23:59:59
    EXPECT_EQ(last.day, CVOKTime::DateToMjd(65535, 12, 31));
    EXPECT_EQ(last.seconds, 86399.0);
    const sMjdTime beyond = Time64ToMjdTime(int64_t{2005949145600});  // 65536-01-01
    EXPECT_EQ(beyond.day, 0);
    EXPECT_EQ(beyond.seconds, -1.0);
}

}  // namespace
