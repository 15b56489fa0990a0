#include "foundation/time_value.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <limits>

#include <boost/date_time/gregorian/gregorian.hpp>

namespace {

CVOKTime Mjd(int32_t day, double seconds) { return CVOKTime(sMjdTime{day, 0, seconds}); }

// --- Calendar ---------------------------------------------------------------------------------------

TEST(TimeCalendar, KnownDayNumbers) {
    EXPECT_EQ(CVOKTime::DateToMjd(1858, 11, 17), 0);
    EXPECT_EQ(CVOKTime::DateToMjd(1970, 1, 1), 40587);
    EXPECT_EQ(CVOKTime::DateToMjd(1980, 1, 6), 44244);
    EXPECT_EQ(CVOKTime::DateToMjd(2000, 1, 1), 51544);
    // No range check: a day past the month's end rolls over.
    EXPECT_EQ(CVOKTime::DateToMjd(2021, 2, 29), 59274);
    EXPECT_EQ(CVOKTime::DateToMjd(2021, 3, 1), 59274);
    int y = 0, m = 0, d = 0;
    CVOKTime::MjdToDate(60000, y, m, d);
    EXPECT_EQ(y * 10000 + m * 100 + d, 20230225);
    EXPECT_EQ(CVOKTime::JanZero(2000), 51543);
}

TEST(TimeCalendar, EveryDayFrom1858To2200MatchesBoost) {
    const boost::gregorian::date first(1858, 11, 17), last(2200, 12, 31);
    for (boost::gregorian::date d = first; d <= last; d += boost::gregorian::days(1)) {
        const auto ymd = d.year_month_day();
        const int32_t mjd = CVOKTime::DateToMjd(ymd.year, ymd.month, ymd.day);
        ASSERT_EQ(mjd, d.modjulian_day()) << boost::gregorian::to_iso_extended_string(d);
        int y = 0, m = 0, dd = 0;
        CVOKTime::MjdToDate(mjd, y, m, dd);
        ASSERT_EQ(y, ymd.year);
        ASSERT_EQ(m, ymd.month);
        ASSERT_EQ(dd, ymd.day);
    }
}

// --- Construction and validity ----------------------------------------------------------------------

TEST(TimeValue, DefaultIsInvalidAndGettersGiveZeros) {
    const CVOKTime t;
    EXPECT_FALSE(t.IsValid());
    EXPECT_EQ(t.day, 0);
    EXPECT_EQ(t.seconds, -1.0);
    int y = 1, mo = 1, d = 1, dow = 1, h = 1, mi = 1, s = 1, ms = 1;
    double sec = 1;
    EXPECT_FALSE(t.GetDateTime(y, mo, d, h, mi, sec));
    EXPECT_EQ(y + mo + d + h + mi, 0);
    EXPECT_EQ(sec, 0.0);
    EXPECT_FALSE(t.GetDateTimeMs(y, mo, d, dow, h, mi, s, ms));
    EXPECT_EQ(y + mo + d + dow + h + mi + s + ms, 0);
    EXPECT_FALSE(t.GetTimeUs(h, mi, s, ms));
    EXPECT_EQ(h + mi + s + ms, 0);
    EXPECT_EQ(t.GetMjd(), 0.0);
    EXPECT_EQ(t.GetDecimalYear(), 0.0);
    EXPECT_EQ(t.GetDayOfYear(), 0);
    const sMjdTime m = t.GetMjdTime();
    EXPECT_EQ(m.day, 0);
    EXPECT_EQ(m.seconds, 0.0);
    EXPECT_EQ(t.GetDateTuple(), std::make_tuple(0, 0, 0));
}

TEST(TimeValue, ValidityIsSecondsAboveMinusOne) {
    EXPECT_TRUE(Mjd(0, -0.5).IsValid());
    EXPECT_FALSE(Mjd(51544, -1.0).IsValid());
    EXPECT_FALSE(Mjd(51544, -2.0).IsValid());
}

TEST(TimeValue, Constructors) {
    const CVOKTime unix(86400.0 * 2 + 30.25);
    EXPECT_EQ(unix.day, 40589);
    EXPECT_DOUBLE_EQ(unix.seconds, 30.25);
    const CVOKTime before(-0.5);
    EXPECT_EQ(before.day, 40586);
    EXPECT_DOUBLE_EQ(before.seconds, 86399.5);

    const CVOKTime full(2000, 1, 1, 12, 0, 0.5);
    EXPECT_EQ(full.day, 51544);
    EXPECT_DOUBLE_EQ(full.seconds, 43200.5);

    const CVOKTime yday(2000, 32, 1, 0, 0.0);
    EXPECT_EQ(yday.GetDateTuple(), std::make_tuple(2000, 2, 1));
    EXPECT_DOUBLE_EQ(yday.seconds, 3600.0);

    const CVOKTime timeOnly(1, 2, 3.0);
    EXPECT_EQ(timeOnly.day, 0);
    EXPECT_DOUBLE_EQ(timeOnly.seconds, 3723.0);

    std::tm parts{};
    parts.tm_year = 124;
    parts.tm_mon = 0;
    parts.tm_mday = 31;
    parts.tm_hour = 12;
    parts.tm_min = 34;
    parts.tm_sec = 56;
    const CVOKTime fromTm(parts);
    EXPECT_EQ(fromTm.day, CVOKTime::DateToMjd(2024, 1, 31));
    EXPECT_DOUBLE_EQ(fromTm.seconds, 45296.0);

    const CVOKTime half(2001, 0.5, false);  // 365 * 0.5 + 1 = day 183.5
    EXPECT_EQ(half.day, CVOKTime::JanZero(2001) + 183);
    EXPECT_DOUBLE_EQ(half.seconds, 43200.0);
    const CVOKTime mean(2001, 0.5, true);
    EXPECT_DOUBLE_EQ(mean.seconds, (365.2425 * 0.5 + 1.0 - 183.0) * 86400.0);
}

// Whole hours and minutes are summed before the second; TimeToSeconds adds the second before the
// hours, which differs in the last bit for 01:01:33.3333.
TEST(TimeValue, ClockTimesSumHoursAndMinutesFirst) {
    const double expected = 3660.0 + 33.3333;
    ASSERT_NE(CVOKTime::TimeToSeconds(1, 1, 33.3333), expected);
    EXPECT_EQ(CVOKTime(1, 1, 33.3333).seconds, expected);
    EXPECT_EQ(CVOKTime(2000, 1, 1, 1, 1, 33.3333).seconds, expected);
    EXPECT_EQ(CVOKTime(2000, 1, 1, 1, 33.3333).seconds, expected);
    CVOKTime t;
    t.SetDateTime(2000, 1, 1, 1, 1, 33.3333);
    EXPECT_EQ(t.seconds, expected);
    t.SetTimeNearReference(Mjd(51544, 3600.0), 1, 1, 33.3333);
    EXPECT_EQ(t.seconds, expected);
}

TEST(TimeValue, NonFiniteAndHugeInputsConvertWithoutUndefinedBehaviour) {
    // Under the sanitizer build any undefined conversion here fails the test.
    const CVOKTime nan(std::numeric_limits<double>::quiet_NaN());
    EXPECT_FALSE(nan.IsValid());
    CVOKTime t;
    t.SetDecimalYear(std::numeric_limits<double>::quiet_NaN());
    EXPECT_FALSE(t.IsValid());
    t.SetTotalSeconds(-std::numeric_limits<double>::infinity());
    EXPECT_FALSE(t.IsValid());
    t.SetGpsTime(5, 1e300);
    EXPECT_TRUE(t.IsValid());
    int y, m, d, dow, h, mi, s, ms;
    EXPECT_TRUE(Mjd(51544, 1e300).GetDateTimeMs(y, m, d, dow, h, mi, s, ms));
    EXPECT_TRUE(Mjd(51544, -1e300 * -1).GetTimeUs(h, mi, s, ms));
    EXPECT_EQ(CVOKTime(1e300).seconds > 0.0, true);
}

// --- Getters ---------------------------------------------------------------------------------------

TEST(TimeValue, DayOfWeekAndMillisecondRounding) {
    int y, m, d, dow, h, mi;
    double s;
    ASSERT_TRUE(Mjd(51544, 0.0).GetDateTimeDow(y, m, d, dow, h, mi, s));
    EXPECT_EQ(dow, 6);  // Saturday
    ASSERT_TRUE(Mjd(44244, 0.0).GetDateTimeDow(y, m, d, dow, h, mi, s));
    EXPECT_EQ(dow, 0);  // Sunday

    int sec, ms;
    ASSERT_TRUE(Mjd(51544, 86399.9996).GetDateTimeMs(y, m, d, dow, h, mi, sec, ms));
    EXPECT_EQ(std::make_tuple(y, m, d, dow, h, mi, sec, ms), std::make_tuple(2000, 1, 2, 0, 0, 0, 0, 0));
    ASSERT_TRUE(Mjd(51544, 45296.7894).GetDateTimeMs(y, m, d, dow, h, mi, sec, ms));
    EXPECT_EQ(std::make_tuple(y, m, d, dow, h, mi, sec, ms), std::make_tuple(2000, 1, 1, 6, 12, 34, 56, 789));
}

TEST(TimeValue, MicrosecondsNeverReachOneMillion) {
    int h, m, s, us;
    ASSERT_TRUE(Mjd(51544, 59.9999999).GetTimeUs(h, m, s, us));
    EXPECT_EQ(s, 59);
    EXPECT_EQ(us, 999999);
    ASSERT_TRUE(Mjd(51544, 3723.25).GetTimeUs(h, m, s, us));
    EXPECT_EQ(std::make_tuple(h, m, s, us), std::make_tuple(1, 2, 3, 250000));
}

TEST(TimeValue, TotalsAndYearFacts) {
    const CVOKTime t = Mjd(51544, 43200.0);
    EXPECT_DOUBLE_EQ(t.GetMjd(), 51544.5);
    EXPECT_DOUBLE_EQ(t.GetTotalSeconds(), 51544.0 * 86400 + 43200);
    EXPECT_DOUBLE_EQ(t.GetTotalMinutes(), 51544.0 * 1440 + 720);
    EXPECT_DOUBLE_EQ(t.GetTotalHours(), 51544.0 * 24 + 12);
    EXPECT_EQ(t.GetDayOfYear(), 1);
    EXPECT_EQ(t.GetDaysInYear(), 366);
    EXPECT_EQ(t.GetDaysInMonth(), 31);
    EXPECT_DOUBLE_EQ(t.GetDecimalYear(), 2000 + 0.5 / 366);
    EXPECT_EQ(CVOKTime(2100, 2, 10, 0, 0, 0).GetDaysInMonth(), 28);
    EXPECT_EQ(CVOKTime(2024, 2, 10, 0, 0, 0).GetDaysInMonth(), 29);
    int year;
    double fraction;
    ASSERT_TRUE(t.GetYearFraction(year, fraction, true));
    EXPECT_DOUBLE_EQ(fraction, 0.5 / 365.2425);

    CVOKTime back;
    back.SetDecimalYear(t.GetDecimalYear());
    EXPECT_EQ(back.day, t.day);
    EXPECT_NEAR(back.seconds, t.seconds, 1e-3);
    back.SetTotalSeconds(t.GetTotalSeconds());
    EXPECT_EQ(back, t);
}

TEST(TimeValue, CurrentTimeStatics) {
    const int year = CVOKTime::GetCurrentYear();
    EXPECT_GE(year, 2024);
    const double decimal = CVOKTime::GetCurrentDecimalYear();
    EXPECT_GE(decimal, year);
    EXPECT_LT(decimal, year + 1);
    const CVOKTime noon = CVOKTime::TodayNoonUtc();
    EXPECT_EQ(noon.seconds, 43200.0);
    CVOKTime now;
    now.SetCurrentUtcTime();
    EXPECT_LE(std::abs(now.day - noon.day), 1);
    EXPECT_GE(now.seconds, 0.0);
    EXPECT_LT(now.seconds, 86400.0);
}

TEST(TimeValue, TruncateSeconds) {
    CVOKTime t = Mjd(51544, 125.75);
    t.TruncateSeconds(0);
    EXPECT_DOUBLE_EQ(t.seconds, 125.0);
    t.TruncateSeconds(60);
    EXPECT_DOUBLE_EQ(t.seconds, 120.0);
    CVOKTime invalid;
    invalid.TruncateSeconds(2);
    EXPECT_EQ(invalid.seconds, 0.0);
    EXPECT_TRUE(invalid.IsValid());
}

// --- GPS week ---------------------------------------------------------------------------------------

TEST(TimeGps, WeekNumbers) {
    EXPECT_EQ(Mjd(51412, 0.0).GetGpsTime().week, 1024);
    EXPECT_EQ(Mjd(58580, 0.0).GetGpsTime().week, 2048);
    const sGpsWeekTime g = Mjd(44244, 1.5).GetGpsTime();
    EXPECT_EQ(g.week, 0);
    EXPECT_EQ(g.seconds, 1.5);
    EXPECT_EQ(g.zero, 0u);
    const sGpsWeekTime invalid = CVOKTime().GetGpsTime();
    EXPECT_EQ(invalid.week, 0);
    EXPECT_EQ(invalid.seconds, 0.0);
}

TEST(TimeGps, SetAndRoundTrip) {
    CVOKTime t;
    t.SetGpsTime(2048, 3 * 86400.0 + 100.5);
    EXPECT_EQ(t.day, 58583);
    EXPECT_DOUBLE_EQ(t.seconds, 100.5);
    const sGpsWeekTime back = t.GetGpsTime();
    EXPECT_EQ(back.week, 2048);
    EXPECT_DOUBLE_EQ(back.seconds, 3 * 86400.0 + 100.5);
    EXPECT_EQ(CVOKTime(back), t);

    t.SetGpsTime(-6320, -345601.0);
    EXPECT_FALSE(t.IsValid());
    EXPECT_EQ(t.day, 0);
    t.SetGpsTime(0, -1.0);
    EXPECT_EQ(t.day, 44244);
    EXPECT_FALSE(t.IsValid());
}

// --- Arithmetic and comparison ----------------------------------------------------------------------

TEST(TimeArithmetic, NormalizeByWholeDays) {
    CVOKTime t = Mjd(100, -1.0) + 0.5;
    EXPECT_EQ(t, Mjd(99, 86399.5));
    EXPECT_TRUE(t.IsValid());
    t = Mjd(100, 86400.0);
    EXPECT_EQ(Normalize(t), Mjd(101, 0.0));
    t = Mjd(100, -86400.5);
    Normalize(t);
    EXPECT_EQ(t, Mjd(98, 86399.5));
    // Even without the arithmetic, -1.0 normalises: no validity test.
    t = Mjd(100, -1.0);
    Normalize(t);
    EXPECT_EQ(t, Mjd(99, 86399.0));
    // A remainder too small to survive the subtraction stays inside the day.
    t = Mjd(100, -1e-20);
    Normalize(t);
    EXPECT_GE(t.seconds, 0.0);
    EXPECT_LT(t.seconds, 86400.0);
}

TEST(TimeArithmetic, NonFiniteSecondsStayAsTheyAre) {
    for (double bad : {std::numeric_limits<double>::quiet_NaN(), std::numeric_limits<double>::infinity(),
                       -std::numeric_limits<double>::infinity()}) {
        CVOKTime t = Mjd(100, bad);
        Normalize(t);
        EXPECT_EQ(t.day, 100);
        EXPECT_EQ(std::isnan(t.seconds), std::isnan(bad));
        t += 5.0;
        EXPECT_EQ(t.day, 100);
    }
}

TEST(TimeArithmetic, AddAndSubtractSeconds) {
    CVOKTime t = Mjd(51544, 86000.0);
    const CVOKTime later = t + 800.0;
    EXPECT_EQ(later, Mjd(51545, 400.0));
    EXPECT_EQ(t, Mjd(51544, 86000.0));
    EXPECT_EQ(later - 800.0, t);
    const CVOKTime copy = (t -= 86400.0 * 3);
    EXPECT_EQ(t, Mjd(51541, 86000.0));
    EXPECT_EQ(copy, t);
    t += 400.5;
    EXPECT_EQ(t, Mjd(51542, 0.5));
    t.AddHours(-1);
    EXPECT_EQ(t, Mjd(51541, 82800.5));
    CVOKTime invalid;
    invalid.AddHours(5);
    EXPECT_EQ(invalid, CVOKTime());
}

TEST(TimeArithmetic, DifferenceUsesFloatingPointDays) {
    EXPECT_DOUBLE_EQ(Mjd(51545, 10.0) - Mjd(51544, 20.0), 86390.0);
    // 30000 days is beyond what a 32-bit product of days and 86400 can hold.
    EXPECT_DOUBLE_EQ(Mjd(60000, 0.0) - Mjd(30000, 0.0), 30000.0 * 86400.0);
    EXPECT_DOUBLE_EQ(Mjd(0, 0.0) - Mjd(2000000000, 0.0), -2000000000.0 * 86400.0);
}

TEST(TimeArithmetic, ComparisonsIgnoreValidity) {
    const CVOKTime a = Mjd(51544, 10.0), b = Mjd(51544, 20.0);
    EXPECT_TRUE(a < b);
    EXPECT_TRUE(a <= b);
    EXPECT_FALSE(a > b);
    EXPECT_TRUE(b >= a);
    EXPECT_TRUE(a != b);
    EXPECT_TRUE(a == Mjd(51544, 10.0));
    EXPECT_TRUE(CVOKTime() < Mjd(1, 0.0));
    const CVOKTime nan = Mjd(1, std::numeric_limits<double>::quiet_NaN());
    EXPECT_FALSE(nan == nan);
}

TEST(TimeArithmetic, CompareTestsValidityFirst) {
    const CVOKTime a = Mjd(51544, 10.0), b = Mjd(51544, 20.0);
    EXPECT_EQ(CVOKTime().Compare(CVOKTime()), -999);
    EXPECT_EQ(CVOKTime().Compare(a), -999);
    EXPECT_EQ(a.Compare(CVOKTime()), 1);
    EXPECT_EQ(a.Compare(b), -1);
    EXPECT_EQ(b.Compare(a), 1);
    EXPECT_EQ(a.Compare(a), 0);
    EXPECT_EQ(Mjd(51543, 80000.0).Compare(a), -1);
}

// --- Reference windows ------------------------------------------------------------------------------

TEST(TimeReference, DayWindow) {
    CVOKTime t = Mjd(0, 100.0);
    EXPECT_EQ(t.AdjustDayToReference(Mjd(60000, 86000.0)), 60001);
    EXPECT_EQ(t, Mjd(60001, 100.0));
    t = Mjd(0, 100.0);
    EXPECT_EQ(t.AdjustDayToReference(Mjd(60000, 43300.0)), 60000);  // exactly -43200 stays
    EXPECT_EQ(t.day, 60000);

    t = Mjd(50000, 3600.0);
    EXPECT_EQ(t.AdjustDayToReference(Mjd(60000, 7200.0)), 10000);
    EXPECT_EQ(t, Mjd(60000, 3600.0));
    t = Mjd(60010, 80000.0);
    EXPECT_EQ(t.AdjustDayToReference(Mjd(60000, 1000.0)), -11);
    EXPECT_EQ(t, Mjd(59999, 80000.0));
    // A long walk ends where the step-by-step walk would, exactly on the +43200 edge.
    t = Mjd(2000000000, 43200.0);
    t.AdjustDayToReference(Mjd(1, 0.0));
    EXPECT_EQ(t, Mjd(1, 43200.0));
}

TEST(TimeReference, DayWindowWithoutAUsableReferenceLeavesTheTime) {
    const CVOKTime start = Mjd(50000, 3600.0);
    for (const CVOKTime& ref : {CVOKTime(), Mjd(0, 100.0), Mjd(60000, std::numeric_limits<double>::infinity()),
                                Mjd(60000, std::numeric_limits<double>::quiet_NaN())}) {
        CVOKTime t = start;
        EXPECT_EQ(t.AdjustDayToReference(ref), 0);
        EXPECT_EQ(t, start);
    }
    CVOKTime inf = Mjd(50000, std::numeric_limits<double>::infinity());
    EXPECT_EQ(inf.AdjustDayToReference(Mjd(60000, 0.0)), 0);
    EXPECT_EQ(inf.day, 50000);
    // Seconds far beyond any calendar cannot be brought near the reference: nothing moves.
    CVOKTime huge = Mjd(50000, 1e300);
    EXPECT_EQ(huge.AdjustDayToReference(Mjd(60000, 0.0)), 0);
    EXPECT_EQ(huge.day, 50000);
}

TEST(TimeReference, SetNearReference) {
    CVOKTime t;
    EXPECT_EQ(t.SetTimeNearReference(Mjd(60000, 300.0), 23, 59, 0.0), -1);
    EXPECT_EQ(t, Mjd(59999, 86340.0));
    EXPECT_EQ(t.SetSecondsNearReference(Mjd(60000, 86000.0), 10.0), 1);
    EXPECT_EQ(t, Mjd(60001, 10.0));
}

TEST(TimeReference, WeekWindow) {
    const CVOKTime ref = Mjd(58580, 1000.0);
    CVOKTime t = Mjd(58587, 1001.0);  // one week and one second later
    EXPECT_EQ(t.AdjustWeekToReference(ref), -1);
    EXPECT_EQ(t, Mjd(58580, 1001.0));
    t = Mjd(58580 - 70, 500.0);
    EXPECT_EQ(t.AdjustWeekToReference(ref.GetGpsTime()), 10);
    EXPECT_EQ(t, Mjd(58580, 500.0));
    t = Mjd(58583, 0.0);
    EXPECT_EQ(t.AdjustWeekToReference(ref), 0);
    EXPECT_EQ(t, Mjd(58583, 0.0));
    // An invalid reference is no week 0: the time stays.
    EXPECT_EQ(t.AdjustWeekToReference(CVOKTime()), 0);
    EXPECT_EQ(t, Mjd(58583, 0.0));
}

// --- Serialised form --------------------------------------------------------------------------------

TEST(TimeSerialise, GoldenBytes) {
    Vok::ByteVector bytes;
    ASSERT_TRUE(Vok::WriteObjectToBytes(bytes, Mjd(51544, 43200.5), 16));
    const Vok::ByteVector expected{0x01, 0x00, 0x00, 0x00, 0x58, 0xC9, 0x00, 0x00,
                                   0x00, 0x00, 0x00, 0x00, 0x10, 0x18, 0xE5, 0x40};
    EXPECT_EQ(bytes, expected);
    CVOKTime back;
    ASSERT_TRUE(Vok::ReadObjectFromBytes(back, bytes));
    EXPECT_EQ(back, Mjd(51544, 43200.5));

    Vok::ByteVector invalidBytes;
    Vok::WriteObjectToBytes(invalidBytes, CVOKTime(), 0);
    CVOKTime readInvalid = Mjd(1, 1.0);
    Vok::ReadObjectFromBytes(readInvalid, invalidBytes);
    EXPECT_EQ(readInvalid.day, 0);
    EXPECT_FALSE(readInvalid.IsValid());
}

TEST(TimeSerialise, OtherVersionThrowsAndLeavesTimeUnchanged) {
    Vok::ByteVector bytes{0x02, 0, 0, 0, 0x58, 0xC9, 0, 0, 0, 0, 0, 0, 0x10, 0x18, 0xE5, 0x40};
    CVOKTime t = Mjd(100, 5.0);
    try {
        Vok::ReadObjectFromBytes(t, bytes);
        FAIL() << "no exception";
    } catch (const Vok::IArchiveException& e) {
        EXPECT_EQ(e.code(), 7);
        EXPECT_STREQ(e.what(), "Vok archive exception: VokTime - code: \"7\"");
    }
    EXPECT_EQ(t, Mjd(100, 5.0));
}

TEST(TimeSerialise, TruncatedStreamLeavesTimeUnchanged) {
    Vok::ByteVector full;
    Vok::WriteObjectToBytes(full, Mjd(51544, 43200.5), 0);
    for (size_t cut = 1; cut < full.size(); ++cut) {
        Vok::ByteVector part(full.begin(), full.begin() + static_cast<long>(cut));
        CVOKTime t = Mjd(100, 5.0);
        EXPECT_THROW(Vok::ReadObjectFromBytes(t, part), Vok::IArchiveException) << cut;
        EXPECT_EQ(t, Mjd(100, 5.0)) << cut;
    }
}

}  // namespace
