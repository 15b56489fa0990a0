#include "compat/date_picture.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

namespace {

using Vok::Regional::DatePictureText;
using Vok::Regional::TimePictureText;

SYSTEMTIME St(int y, int mo, int d, int h = 0, int mi = 0, int s = 0, int ms = 0) {
    return SYSTEMTIME{static_cast<WORD>(y), static_cast<WORD>(mo), 0, static_cast<WORD>(d),
                      static_cast<WORD>(h), static_cast<WORD>(mi), static_cast<WORD>(s), static_cast<WORD>(ms)};
}

std::string Or(const std::optional<std::string>& text) { return text ? *text : "<failed>"; }

struct sPictureRow {
    SYSTEMTIME st;
    const char* picture;
    const char* expected;
};

TEST(DatePicture, Codes) {
    const SYSTEMTIME tue = St(2024, 3, 5);  // a Tuesday
    const sPictureRow rows[] = {
        {tue, "d", "5"},
        {tue, "dd", "05"},
        {tue, "ddd", "Tue"},
        {tue, "dddd", "Tuesday"},
        {tue, "ddddd", "Tuesday"},
        {tue, "M", "3"},
        {tue, "MM", "03"},
        {tue, "MMM", "Mar"},
        {tue, "MMMM", "March"},
        {tue, "y", "4"},
        {tue, "yy", "24"},
        {tue, "yyyy", "2024"},
        {St(2009, 12, 31), "yy|y|ddd", "09|9|Thu"},
        {St(2000, 2, 29), "dddd dd MMM yyyy", "Tuesday 29 Feb 2000"},
        {tue, "'Day' d", "Day 5"},
        {tue, "'It''s' d", "It's 5"},
        {tue, "d 'open", "5 open"},
        {tue, "dd.MM.yy", "05.03.24"},
        // Letters that are no date codes stand as they are.
        {tue, "hh:mm d", "hh:mm 5"},
        {tue, "", ""},
    };
    for (const sPictureRow& row : rows)
        EXPECT_EQ(Or(DatePictureText(row.st, 0, row.picture, 260)), row.expected) << row.picture;
}

TEST(DatePicture, TimeCodes) {
    const SYSTEMTIME early = St(2024, 3, 5, 0, 7, 3);
    const SYSTEMTIME late = St(2024, 3, 5, 13, 5, 9);
    const sPictureRow rows[] = {
        {early, "h", "12"},  {early, "hh", "12"}, {early, "H", "0"},   {early, "HH", "00"},
        {early, "m", "7"},   {early, "mm", "07"}, {early, "s", "3"},   {early, "ss", "03"},
        {early, "t", "A"},   {early, "tt", "AM"}, {late, "h", "1"},    {late, "hh", "01"},
        {late, "H", "13"},   {late, "t", "P"},    {late, "tt", "PM"},  {late, "hh:mm:ss tt", "01:05:09 PM"},
        {late, "H'h'mm", "13h05"}, {late, "d/M/y", "d/M/y"},
    };
    for (const sPictureRow& row : rows)
        EXPECT_EQ(Or(TimePictureText(row.st, 0, row.picture, 260)), row.expected) << row.picture;
}

TEST(DatePicture, ProfileFormatsAndFlags) {
    const SYSTEMTIME st = St(2024, 1, 31, 13, 5, 9);  // a Wednesday
    EXPECT_EQ(Or(DatePictureText(st, 0, nullptr, 260)), "01/31/2024");
    EXPECT_EQ(Or(DatePictureText(st, DATE_SHORTDATE, nullptr, 260)), "01/31/2024");
    EXPECT_EQ(Or(DatePictureText(st, DATE_LONGDATE, nullptr, 260)), "Wednesday, 31 January 2024");
    EXPECT_EQ(Or(DatePictureText(st, DATE_YEARMONTH, nullptr, 260)), "2024 January");
    EXPECT_EQ(Or(DatePictureText(st, DATE_SHORTDATE | LOCALE_NOUSEROVERRIDE, nullptr, 260)), "01/31/2024");
    EXPECT_EQ(Or(DatePictureText(st, 0, Vok::Regional::kShortDateFormat, 260)),
              "01/31/2024");
    EXPECT_EQ(Or(TimePictureText(st, 0, nullptr, 260)), "13:05:09");
    EXPECT_EQ(Or(TimePictureText(st, 0, Vok::Regional::kTimeFormat, 260)), "13:05:09");
    EXPECT_EQ(Or(TimePictureText(st, TIME_NOSECONDS, nullptr, 260)), "13:05");
    EXPECT_EQ(Or(TimePictureText(st, TIME_NOMINUTESORSECONDS, nullptr, 260)), "13");
    EXPECT_EQ(Or(TimePictureText(st, TIME_NOTIMEMARKER, "hh:mm:ss tt", 260)), "01:05:09");
    EXPECT_EQ(Or(TimePictureText(st, TIME_NOTIMEMARKER, "tt hh:mm", 260)), "01:05");
    EXPECT_EQ(Or(TimePictureText(st, TIME_FORCE24HOURFORMAT, "hh:mm tt", 260)), "13:05 PM");
    EXPECT_EQ(Or(TimePictureText(st, TIME_NOSECONDS | TIME_NOTIMEMARKER, "h:mm:ss tt", 260)), "1:05");
}

TEST(DatePicture, Failures) {
    const SYSTEMTIME st = St(2024, 1, 31, 13, 5, 9);
    EXPECT_FALSE(DatePictureText(st, DATE_SHORTDATE | DATE_LONGDATE, nullptr, 260));
    EXPECT_FALSE(DatePictureText(st, DATE_SHORTDATE, "dd", 260));  // flags with a picture
    EXPECT_FALSE(DatePictureText(St(2023, 2, 29), 0, "dd", 260));
    EXPECT_FALSE(DatePictureText(St(0, 0, 0), 0, "dd", 260));
    EXPECT_FALSE(DatePictureText(St(2024, 13, 1), 0, "dd", 260));
    EXPECT_FALSE(TimePictureText(St(2024, 1, 1, 24, 0, 0), 0, "HH", 260));
    EXPECT_FALSE(TimePictureText(St(2024, 1, 1, 1, 0, 0, 1000), 0, "HH", 260));
    EXPECT_FALSE(TimePictureText(st, 0x10, nullptr, 260));
    // A time needs no date.
    EXPECT_EQ(Or(TimePictureText(St(0, 0, 0, 1, 2, 3), 0, nullptr, 260)), "01:02:03");
    // The capacity counts the terminator.
    EXPECT_EQ(Or(DatePictureText(st, 0, "MM/dd/yyyy", 11)), "01/31/2024");
    EXPECT_FALSE(DatePictureText(st, 0, "MM/dd/yyyy", 10));
    EXPECT_EQ(Or(TimePictureText(st, 0, "HH:mm:ss", 9)), "13:05:09");
    EXPECT_FALSE(TimePictureText(st, 0, "HH:mm:ss", 8));
    EXPECT_FALSE(DatePictureText(st, 0, std::string(300, 'x').c_str(), 260));
}

}  // namespace
