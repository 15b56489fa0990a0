#include "foundation/time_text.h"

#include <gtest/gtest.h>

#include <limits>
#include <random>
#include <regex>
#include <stdexcept>
#include <string>

#include <boost/date_time/posix_time/posix_time.hpp>

#include "compat/object.h"
#include "foundation/string_utils.h"
#include "foundation/system_time.h"
#include "tests/support/file_helpers.h"

namespace {

CVOKTime Mjd(int32_t day, double seconds) { return CVOKTime(sMjdTime{day, 0, seconds}); }

TEST(TimeFormat, TimeOfDayWithEachPrecision) {
    const CVOKTime t = Mjd(51544, 3723.4567);
    const char* expected[] = {"01:02:03", "01:02:03.4", "01:02:03.45", "01:02:03.457",
                              "01:02:03.4567", "01:02:03.45670", "01:02:03.456700"};
    for (int decimals = 0; decimals <= 6; ++decimals)
        EXPECT_EQ(t.FormatTime(decimals, ':'), expected[decimals]) << decimals;
    EXPECT_EQ(t.FormatTime(9, ':'), "01:02:03.456700");
    EXPECT_EQ(t.FormatTime(-1, ':'), "01:02:03");
    EXPECT_EQ(t.FormatTime(3, '-'), "01-02-03.457");
    EXPECT_EQ(t.FormatTime(3, '\0'), "010203.457");
}

TEST(TimeFormat, RoundingAndInvalid) {
    EXPECT_EQ(Mjd(51544, 86399.9996).FormatTime(3, ':'), "00:00:00.000");
    EXPECT_EQ(Mjd(51544, 59.9999999).FormatTime(6, ':'), "00:00:59.999999");
    // Tenths are cut after the millisecond rounding.
    EXPECT_EQ(Mjd(51544, 12.199).FormatTime(1, ':'), "00:00:12.1");
    EXPECT_EQ(CVOKTime().FormatTime(3, ':'), "Invalid");
    EXPECT_EQ(CVOKTime().FormatTime(3, '\0'), "Invalid");
    EXPECT_EQ(Mjd(0, 45296.789).FormatTime(3, ':'), "12:34:56.789");
}

TEST(TimeFormat, TimeOfDayFreeForms) {
    EXPECT_EQ(FormatTimeOfDay(Mjd(51544, 3723.4567), 3, '-'), "01-02-03.457");
    EXPECT_EQ(FormatTimeOfDay(CVOKTime(), 3, ':'), "Invalid");
    const SYSTEMTIME st{2024, 1, 3, 31, 12, 34, 56, 789};
    const char* expected[] = {"12:34:56", "12:34:56.7", "12:34:56.78", "12:34:56.789", "12:34:56.7890", "12:34:56.78900",
                              "12:34:56.789000"};
    for (int decimals = 0; decimals <= 6; ++decimals)
        EXPECT_EQ(FormatTimeOfDay(st, decimals, ':'), expected[decimals]) << decimals;
    EXPECT_EQ(FormatTimeOfDay(st, 3, '\0'), "123456.789");
    EXPECT_EQ(FormatTimeOfDay(SYSTEMTIME{0, 1, 0, 1, 12, 0, 0, 0}, 0, ':'), "Invalid");
}

TEST(TimeFormat, MjdText) {
    EXPECT_EQ(Mjd(51544, 43200.5).FormatMjd(3), "51544 43200.500");
    EXPECT_EQ(Mjd(59000, 43200.0).FormatMjd(0), "59000 43200");
    EXPECT_EQ(Mjd(12, 5.25).FormatMjd(2), "00012 05.25");
    EXPECT_EQ(CVOKTime().FormatMjd(3), "Invalid");
}

TEST(TimeFormat, BoostForms) {
    const CVOKTime t(2020, 1, 31, 12, 34, 56.789);
    EXPECT_EQ(t.Format("%Y-%m-%d %H:%M:%S"), "2020-01-31 12:34:56");
    EXPECT_EQ(t.Format("%d/%m/%Y"), "31/01/2020");
    EXPECT_EQ(t.ToSimpleString(), "2020-Jan-31 12:34:56.789000");
    EXPECT_EQ(t.TimeOfDayString(), "12:34:56.789000");
    EXPECT_EQ(t.ToIsoString(), "20200131T123456.789000");
    EXPECT_EQ(t.ToIsoExtendedString(), "2020-01-31T12:34:56.789000");
    EXPECT_EQ(CVOKTime().ToIsoExtendedString(), "1970-01-01T00:00:00");
}

TEST(TimeFormat, PtimeTruncatesTowardZeroToMilliseconds) {
    using boost::posix_time::time_from_string;
    EXPECT_EQ(TimeToPtime(Mjd(40586, 86400.0 - 0.0005)), time_from_string("1970-01-01 00:00:00"));
    EXPECT_EQ(TimeToPtime(Mjd(40586, 86400.0 - 0.0015)), time_from_string("1969-12-31 23:59:59.999"));
    EXPECT_EQ(TimeToPtime(Mjd(51544, 43200.0009)), time_from_string("2000-01-01 12:00:00.000"));
    EXPECT_EQ(TimeToPtime(CVOKTime()), time_from_string("1970-01-01 00:00:00"));
    // Beyond Boost's calendar, or not a number: not-a-date-time rather than garbage.
    EXPECT_TRUE(TimeToPtime(Mjd(-400000, 0.0)).is_not_a_date_time());
    EXPECT_TRUE(TimeToPtime(Mjd(51544, std::numeric_limits<double>::infinity())).is_not_a_date_time());
    EXPECT_EQ(Mjd(51544, 1e300).Format("%Y"), "not-a-date-time");
}

TEST(TimeParse, DelimitedIsoAndDateOnly) {
    const CVOKTime dateOnly(std::string("2020-01-31"));
    EXPECT_EQ(dateOnly, CVOKTime(2020, 1, 31, 0, 0, 0.0));
    const CVOKTime spaced(std::string("2020-01-31 12:34:56.789"));
    EXPECT_EQ(spaced.day, CVOKTime::DateToMjd(2020, 1, 31));
    EXPECT_DOUBLE_EQ(spaced.seconds, 45296.789);
    const CVOKTime extended(std::string("2020-01-31T12:34:56"));
    EXPECT_EQ(extended, CVOKTime(2020, 1, 31, 12, 34, 56.0));
    const CVOKTime basic(std::string("20200131T123456.5"));
    EXPECT_EQ(basic, CVOKTime(2020, 1, 31, 12, 34, 56.5));
    EXPECT_EQ(CVOKTime(spaced.ToIsoExtendedString()), spaced);
}

TEST(TimeParse, UnreadableTextThrows) {
    EXPECT_ANY_THROW(CVOKTime(std::string("")));
    EXPECT_ANY_THROW(CVOKTime(std::string("not a time")));
    EXPECT_ANY_THROW(CVOKTime(std::string("2020-13-01")));
    EXPECT_ANY_THROW(CVOKTime(std::string("2020-02-30 00:00:00")));
    EXPECT_ANY_THROW(CVOKTime(std::string("xxxxxxxxxxxxxxxxTxx")));
}

}  // namespace

// --- Date and time layouts, durations and the ISO reader -----------------------------------------

namespace {

SYSTEMTIME Sys(int y, int mo, int d, int h = 0, int mi = 0, int s = 0, int ms = 0) {
    return SYSTEMTIME{static_cast<WORD>(y), static_cast<WORD>(mo), 0, static_cast<WORD>(d),
                      static_cast<WORD>(h), static_cast<WORD>(mi), static_cast<WORD>(s), static_cast<WORD>(ms)};
}

std::string Fields(const SYSTEMTIME& st) {
    return Format("%d-%d-%d dow%d %d:%d:%d.%d", st.wYear, st.wMonth, st.wDay, st.wDayOfWeek, st.wHour, st.wMinute,
                  st.wSecond, st.wMilliseconds);
}

TEST(DateTimeText, DateAndClockFromOneRoundedValue) {
    const CVOKTime late(2024, 1, 31, 23, 59, 59.9996);
    EXPECT_EQ(FormatDateTime(late, 3, ':'), "2024-02-01 00:00:00.000");
    EXPECT_EQ(FormatDateTime(late, 0, ':'), "2024-02-01 00:00:00");
    EXPECT_EQ(FormatDateTime(late, 6, ':'), "2024-01-31 23:59:59.999600");
    EXPECT_EQ(FormatDateTime(CVOKTime(2024, 1, 31, 12, 34, 56.789), 3, ':'), "2024-01-31 12:34:56.789");
    EXPECT_EQ(FormatDateTime(CVOKTime(2024, 1, 31, 12, 34, 56.789), 1, '\0'), "2024-01-31 123456.7");
    EXPECT_EQ(FormatDateTime(CVOKTime(), 3, ':'), "Invalid");
    EXPECT_EQ(FormatDateTime(Sys(2024, 1, 31, 12, 34, 56, 789), 2, '-'), "2024-01-31 12-34-56.78");
    EXPECT_EQ(FormatDateTime(Sys(0, 1, 31, 12, 34, 56, 789), 2, '-'), "Invalid");
}

TEST(DateTimeText, MjdAndCompact) {
    EXPECT_EQ(FormatMjdText(Mjd(59000, 43200.0), 3), "59000 43200.000");
    EXPECT_EQ(FormatMjdText(Mjd(59000, 43200.25), -2), "59000 43200");
    EXPECT_EQ(FormatMjdText(Sys(2024, 1, 31, 12), 1), "60340 43200.0");
    EXPECT_EQ(FormatMjdText(Sys(0, 1, 31, 12), 1), "Invalid");
    EXPECT_EQ(FormatMjdText(CVOKTime(), 1), "Invalid");

    const CVOKTime t(2024, 1, 31, 12, 34, 56.789);
    EXPECT_EQ(FormatCompactDateTime(t, true, true), "20240131123456");
    EXPECT_EQ(FormatCompactDateTime(t, true, false), "20240131");
    EXPECT_EQ(FormatCompactDateTime(t, false, true), "123456");
    EXPECT_EQ(FormatCompactDateTime(t, false, false), "Invalid");
    EXPECT_EQ(FormatCompactDateTime(CVOKTime(2024, 1, 31, 23, 59, 59.9996), true, true), "20240201000000");
    EXPECT_EQ(FormatCompactDateTime(CVOKTime(), true, true), "Invalid");
}

TEST(DateTimeText, IsoForms) {
    const SYSTEMTIME st = Sys(2024, 1, 31, 12, 34, 56, 789);
    const struct {
        int parts;
        int zone;
        const char* expected;
    } iso[] = {{0, 1, "2024-01-31T12:34:56.789+01:00"}, {1, 1, "2024-01-31"}, {2, -5, "12:34:56.789-05:00"},
               {0, 0, "2024-01-31T12:34:56.789+00:00"}, {2, 12, "12:34:56.789+12:00"}, {3, 0, ""}, {-1, 0, ""}};
    for (const auto& row : iso) EXPECT_EQ(FormatIsoDateTime(st, row.parts, row.zone), row.expected) << row.parts;
    const char* styles[] = {"20240131", "2024-01-31", "123456.789", "12:34:56.789", "20240131T123456.789",
                            "2024-01-31T12:34:56.789", "", ""};
    for (int style = 0; style <= 6; ++style) EXPECT_EQ(FormatIsoSystemTime(st, style), styles[style]) << style;
    EXPECT_EQ(FormatIsoSystemTime(st, -1), "");
}

TEST(DateTimeText, CurrentTimeShape) {
    const struct {
        int decimals;
        const char* pattern;
    } rows[] = {{0, "^[0-2][0-9]:[0-5][0-9]:[0-6][0-9]$"},
                {-3, "^[0-2][0-9]:[0-5][0-9]:[0-6][0-9]$"},
                {1, "^[0-2][0-9]:[0-5][0-9]:[0-6][0-9]\\.[0-9]$"},
                {2, "^[0-2][0-9]:[0-5][0-9]:[0-6][0-9]\\.[0-9]{2}$"},
                {3, "^[0-2][0-9]:[0-5][0-9]:[0-6][0-9]\\.[0-9]{3}$"},
                {7, "^[0-2][0-9]:[0-5][0-9]:[0-6][0-9]\\.[0-9]{3}$"}};
    for (const auto& row : rows) {
        EXPECT_TRUE(std::regex_match(CurrentTimeText(true, row.decimals).GetString(), std::regex(row.pattern)))
            << row.decimals;
        EXPECT_TRUE(std::regex_match(CurrentTimeText(false, row.decimals).GetString(), std::regex(row.pattern)))
            << row.decimals;
    }
}

TEST(DateTimeText, Durations) {
    const struct {
        double seconds;
        bool whole;
        const char* expected;
    } rows[] = {
        {3725.3, false, "01:02:05.3"},    {90061.0, true, "1 d 01:01:01"},   {-59.96, false, "-00:01:00.0"},
        {0.0, false, "00:00:00.0"},       {86400.0, true, "1 d 00:00:00"},   {59.94, false, "00:00:59.9"},
        {3599.96, false, "01:00:00.0"},   {86399.96, false, "1 d 00:00:00.0"}, {59.5, true, "00:01:00"},
        {-3725.3, true, "-01:02:05"},     {172800.5, false, "2 d 00:00:00.5"}, {5.0, true, "00:00:05"},
        // Not a number passes through every step as it is.
        {std::numeric_limits<double>::quiet_NaN(), false, "00:00: nan"},
    };
    for (const auto& row : rows) EXPECT_EQ(FormatDuration(row.seconds, row.whole), row.expected) << row.seconds;
}

TEST(DateTimeText, ElapsedStyles) {
    Vok::Test::CScopedEnvironment zone("TZ", std::string("UTC0"));
    const SYSTEMTIME from = Sys(2024, 1, 15, 10, 0, 0);
    const SYSTEMTIME to = Sys(2024, 1, 15, 11, 2, 3);
    const SYSTEMTIME later = Sys(2024, 1, 17, 10, 0, 5);
    const struct {
        SYSTEMTIME a, b;
        int style;
        const char* expected;
    } rows[] = {
        {from, to, 1, "01h02'03\""},  {from, to, 2, "1h 2' 3\""},        {from, to, 3, "1h 2m 3s"},
        {from, to, 4, "1hr 2min 3sec"}, {from, to, 0, "01:02:03"},       {from, to, 9, "01:02:03"},
        {to, from, 0, "-01:02:03"},   {from, later, 0, "2 d 00:00:05"},  {from, later, 4, "2 day 0min 5sec"},
        {from, later, 2, "2d 0h 0' 5\""}, {from, later, 1, "2 d 00h00'05\""}, {from, from, 3, "0h 0m 0s"},
        {Sys(2024, 1, 15, 23, 0, 0), Sys(2024, 1, 16, 23, 0, 0), 0, "1 d 00:00:00"},  // a whole day from the last hour
        // A year before 1900 counts as the start of 1970.
        {Sys(0, 0, 0), Sys(1970, 1, 1, 0, 1, 5), 0, "00:01:05"},
    };
    for (const auto& row : rows) EXPECT_EQ(FormatElapsedBetween(row.a, row.b, row.style), row.expected) << row.expected;
}

TEST(DateTimeText, ElapsedRefusesWhatTheTimeTypeRefused) {
    const SYSTEMTIME ok = Sys(2024, 1, 15, 10, 0, 0);
    const SYSTEMTIME bad[] = {Sys(1969, 12, 31, 23, 0, 0), Sys(1900, 1, 1), Sys(3001, 1, 1), Sys(2024, 13, 1),
                              Sys(2024, 0, 1),             Sys(2024, 1, 32), Sys(2024, 1, 0), Sys(2024, 1, 1, 24),
                              Sys(2024, 1, 1, 0, 60),      Sys(2024, 1, 1, 0, 0, 60)};
    for (const SYSTEMTIME& st : bad) {
        EXPECT_THROW(FormatElapsedBetween(st, ok, 0), CInvalidArgException) << Fields(st);
        EXPECT_THROW(FormatElapsedBetween(ok, st, 0), CInvalidArgException) << Fields(st);
    }
}

TEST(DateTimeText, ParseIsoTable) {
    const SYSTEMTIME start{1, 2, 3, 4, 5, 6, 7, 8};
    const struct {
        const char* text;
        bool ok;
        const char* fields;
        double zone;
    } rows[] = {
        {"2024-01-31T12:34:56.789+01:30", true, "2024-1-31 dow0 12:34:56.789", 1.5},
        {"2024-01-31", true, "2024-1-31 dow0 5:6:7.8", 99.0},
        {"12:34:56", true, "1-2-4 dow0 12:34:56.8", 99.0},
        {"12:34:56.5", true, "1-2-4 dow0 12:34:56.500", 99.0},
        {"12:34:56.123456", true, "1-2-4 dow0 12:34:56.123", 99.0},
        {"12:34:56.05+02", true, "1-2-4 dow0 12:34:56.50", 2.0},
        {"31/01/2024", false, "1-2-4 dow0 5:6:7.8", 99.0},
        {"2024-01-31T12:34:56-05:00", true, "2024-1-31 dow0 12:34:56.8", -5.0},
        {"2024-01-31T12:34:56.25-02:45", true, "2024-1-31 dow0 12:34:56.250", -2.75},
        // The '-' of the date is no zone.
        {"2024-01-31T12:34:56", true, "2024-1-31 dow0 12:34:56.8", 99.0},
        {"2024-01-31T12:34:56Z", true, "2024-1-31 dow0 12:34:56.8", 99.0},
        {"2024-01-31T12:34:56+1", true, "2024-1-31 dow0 12:34:56.8", 1.0},
        {"12:34", false, "1-2-4 dow3 5:6:7.8", 99.0},
        {"2024-01-3", false, "1-2-4 dow3 5:6:7.8", 99.0},
        {"2024-01-31 T12:00:00", false, "1-2-4 dow3 5:6:7.8", 99.0},
        {"", false, "1-2-4 dow3 5:6:7.8", 99.0},
    };
    for (const auto& row : rows) {
        SYSTEMTIME st = start;
        double zone = 99.0;
        EXPECT_EQ(ParseIsoDateTime(row.text, st, &zone), row.ok) << row.text;
        EXPECT_EQ(Fields(st), row.fields) << row.text;
        EXPECT_DOUBLE_EQ(zone, row.zone) << row.text;
    }
    SYSTEMTIME st = start;
    EXPECT_TRUE(ParseIsoDateTime("2024-01-31T12:34:56+01:00", st, nullptr));
    EXPECT_EQ(Fields(st), "2024-1-31 dow0 12:34:56.8");
}

TEST(DateTimeText, IsoFormatAndParseAgreeOnRandomTimes) {
    std::mt19937 random(20240131);
    std::uniform_int_distribution<int> year(1601, 9999), month(1, 12), day(1, 28), hour(0, 23), sixty(0, 59),
        ms(0, 999), zoneHours(-12, 14);
    for (int i = 0; i < 2000; ++i) {
        const SYSTEMTIME st = Sys(year(random), month(random), day(random), hour(random), sixty(random),
                                  sixty(random), ms(random));
        const int zone = zoneHours(random);
        SYSTEMTIME back{};
        double parsedZone = 99.0;
        ASSERT_TRUE(ParseIsoDateTime(FormatIsoDateTime(st, 0, zone), back, &parsedZone));
        ASSERT_EQ(Fields(back), Fields(st));
        ASSERT_DOUBLE_EQ(parsedZone, zone);
        back = SYSTEMTIME{};
        ASSERT_TRUE(ParseIsoDateTime(FormatIsoSystemTime(st, 5), back, nullptr));
        ASSERT_EQ(Fields(back), Fields(st));

        // A time value through the date-and-time text and back, to the millisecond.
        const CVOKTime t(Mjd(CVOKTime::DateToMjd(st.wYear, st.wMonth, st.wDay),
                             std::uniform_real_distribution<double>(0.0, 86400.0)(random)));
        std::string text = FormatDateTime(t, 3, ':').GetString();
        text[10] = 'T';
        back = SYSTEMTIME{};
        ASSERT_TRUE(ParseIsoDateTime(text.c_str(), back, nullptr)) << text;
        ASSERT_NEAR(CVOKTime(SystemTimeToMjdTime(back)) - t, 0.0, 0.0005 + 1e-9) << text;
    }
}

}  // namespace
