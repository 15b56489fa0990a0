#include "foundation/time_text.h"

#include <gtest/gtest.h>

#include <limits>
#include <stdexcept>

#include <boost/date_time/posix_time/posix_time.hpp>

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
