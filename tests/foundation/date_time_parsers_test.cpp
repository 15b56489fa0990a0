#include "foundation/date_time_parsers.h"

#include <gtest/gtest.h>

#include <string>

#include "foundation/string_utils.h"

namespace {

std::string Date(const SYSTEMTIME& st) {
    // Every other field must stay 0.
    const bool rest = st.wDayOfWeek == 0 && st.wHour == 0 && st.wMinute == 0 && st.wMilliseconds == 0;
    return Format("%d-%d-%d%s", st.wYear, st.wMonth, st.wDay, rest ? "" : " +time");
}

std::string Clock(const SYSTEMTIME& st) {
    const bool rest = st.wYear == 0 && st.wMonth == 0 && st.wDay == 0 && st.wDayOfWeek == 0;
    return Format("%d:%d:%d.%d%s", st.wHour, st.wMinute, st.wSecond, st.wMilliseconds, rest ? "" : " +date");
}

TEST(DateTextReaders, ThreeOrders) {
    const struct {
        const char* text;
        const char* ymd;
        const char* dmy;
        const char* mdy;
    } rows[] = {
        {"15.01.2024", "2015-1-2024", "2024-1-15", "2024-15-1"},
        {"15/1/24", "2015-1-24", "2024-1-15", "2024-15-1"},
        {"150124", "2015-1-24", "2024-1-15", "2024-15-1"},
        {"15012024", "1501-20-24", "2024-1-15", "2024-15-1"},
        {"1501202", "2000-0-0", "2000-0-0", "2000-0-0"},
        {"2024-01-15", "2024-1-15", "2015-1-2024", "2015-2024-1"},
        {"20240115", "2024-1-15", "115-24-20", "115-20-24"},
        {"01/15/24", "2001-15-24", "2024-15-1", "2024-1-15"},
        {"31.12.99", "2031-12-99", "2099-12-31", "2099-31-12"},
        {"Date: 2024 01", "2024-1-0", "2000-1-2024", "2000-2024-1"},
        {"", "0-0-0", "0-0-0", "0-0-0"},
        {"abc", "0-0-0", "0-0-0", "0-0-0"},
        {"99999999999", "2000-0-0", "2000-0-0", "2000-0-0"},
        // A run of digits beyond 32 bits reads as the largest 32-bit value, cut to the 16-bit field.
        {"99999999999/1/1", "65535-1-1", "2001-1-65535", "2001-65535-1"},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(Date(ParseDateTextYmd(row.text)), row.ymd) << row.text;
        EXPECT_EQ(Date(ParseDateTextDmy(row.text)), row.dmy) << row.text;
        EXPECT_EQ(Date(ParseDateTextMdy(row.text)), row.mdy) << row.text;
    }
    EXPECT_EQ(Date(ParseDateTextDmy(nullptr)), "0-0-0");
}

TEST(TimeTextReaders, TimeOfDay) {
    const struct {
        const char* text;
        const char* expected;
        double seconds;
    } rows[] = {
        {"12:34:56.789", "12:34:56.789", 45296.789},
        {"123456", "12:34:56.0", 45296.0},
        {"1234", "12:34:0.0", 45240.0},
        {"123", "1:23:0.0", 4980.0},
        {"12:34", "12:34:0.0", 45240.0},
        {"1234567.25", "12:34:567.250", 45807.25},
        {"12345", "1:23:45.0", 5025.0},
        {"12:34:56.9996", "12:34:56.999", 45296.999},
        {"12h34", "12:34:0.0", 45240.0},
        {"7:05:09.5", "7:5:9.500", 25509.5},
        {"01:00:30.5", "1:0:30.500", 3630.5},
        {"12.5", "12:0:0.0", 43200.0},
        {".5", "0:0:0.0", 0.0},
        {"", "0:0:0.0", 0.0},
        {"abc", "0:0:0.0", 0.0},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(Clock(ParseTimeOfDayText(row.text)), row.expected) << row.text;
        EXPECT_DOUBLE_EQ(TimeOfDayTextToSeconds(row.text), row.seconds) << row.text;
    }
    EXPECT_EQ(Clock(ParseTimeOfDayText(nullptr)), "0:0:0.0");
}

TEST(DateTextReaders, Dotted) {
    const struct {
        const char* text;
        const char* expected;
        int second;
    } rows[] = {{"2024.01.15", "2024-1-15", 0}, {"2024.01", "0-0-0", 0},  {"2024.1.15.30", "2024-1-15", 30},
                {"24.1.15", "24-1-15", 0},      {"a.b.c", "0-0-0", 0},    {"", "0-0-0", 0},
                {"2024..15", "2024-0-15", 0}};
    for (const auto& row : rows) {
        const SYSTEMTIME st = ParseDottedDate(row.text);
        EXPECT_EQ(Format("%d-%d-%d", st.wYear, st.wMonth, st.wDay), row.expected) << row.text;
        EXPECT_EQ(st.wSecond, row.second) << row.text;
    }
}

TEST(TimeTextReaders, Clock) {
    const struct {
        const char* text;
        BOOL ok;
        int a, b, c, d;
    } rows[] = {{"12:34:56.78", TRUE, 12, 34, 56, 78}, {"12:34", TRUE, 12, 34, 0, 0}, {":34", FALSE, 0, 0, 0, 0},
                {"1234", FALSE, 0, 0, 0, 0},          {"12:3", TRUE, 12, 0, 0, 0},   {"12:34.5", TRUE, 12, 34, 0, 5},
                {"1.5:30", TRUE, 1, 30, 0, 5},        {"12:34:5", TRUE, 12, 34, 0, 0}, {"", FALSE, 0, 0, 0, 0}};
    for (const auto& row : rows) {
        int a = -1, b = -1, c = -1, d = -1;
        EXPECT_EQ(ParseClockText(row.text, &a, &b, &c, &d), row.ok) << row.text;
        EXPECT_EQ(Format("%d %d %d %d", a, b, c, d), Format("%d %d %d %d", row.a, row.b, row.c, row.d)) << row.text;
    }
    EXPECT_FALSE(ParseClockText(nullptr, nullptr, nullptr, nullptr, nullptr));
    EXPECT_TRUE(ParseClockText("1:2", nullptr, nullptr, nullptr, nullptr));
}

TEST(DateTextReaders, ToTime) {
    const CVOKTime jan15(2024, 1, 15, 0, 0, 0.0);
    const struct {
        std::string text;
        int32_t day;
    } rows[] = {{"2024-01-15", jan15.day},
                {"15.01.2024", jan15.day},
                {"150124", jan15.day},
                {"15012024", jan15.day},
                // The text ends at its NUL.
                {std::string("150124\0" "99", 9), jan15.day},
                {"15/1", CVOKTime::DateToMjd(2000, 1, 15)},
                {"31.12.99", CVOKTime::DateToMjd(2099, 12, 31)},
                // Only a first number above 1000 is a year.
                {"500.1.2", CVOKTime::DateToMjd(2002, 1, 500)},
                {"1000.1.2", CVOKTime::DateToMjd(2002, 1, 1000)},
                // Eight digits are always day, month, year.
                {"20240115", CVOKTime::DateToMjd(115, 24, 20)},
                // The first number is kept in 16 bits.
                {"70000-01-02", CVOKTime::DateToMjd(4464, 1, 2)}};
    for (const auto& row : rows) {
        const CVOKTime t = DateTextToTime(row.text);
        EXPECT_EQ(t.day, row.day) << row.text;
        EXPECT_EQ(t.seconds, 0.0) << row.text;
    }
    EXPECT_FALSE(DateTextToTime("").IsValid());
    EXPECT_FALSE(DateTextToTime("abc").IsValid());
}

TEST(TimeTextReaders, ToTimeHasNoDate) {
    const struct {
        const char* text;
        double seconds;
    } rows[] = {{"12:34:56.789", 45296.789}, {"123456", 45296.0},   {"12:34:56.9996", 45296.9996},
                {"1234", 45240.0},           {"01:00:30.5", 3630.5}, {"23:59:59.9999", 86399.9999},
                {"00:00:00.0004", 0.0004}};
    for (const auto& row : rows) {
        const CVOKTime t = TimeTextToTime(row.text);
        EXPECT_EQ(t.day, 0) << row.text;
        EXPECT_NEAR(t.seconds, row.seconds, 1e-9) << row.text;
        EXPECT_NEAR(TimeTextToSeconds(row.text), row.seconds, 1e-9) << row.text;
    }
    EXPECT_FALSE(TimeTextToTime("").IsValid());
    EXPECT_FALSE(TimeTextToTime("no digits").IsValid());
    EXPECT_EQ(TimeTextToSeconds(""), 0.0);
}

}  // namespace
