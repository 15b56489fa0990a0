#include "foundation/regional_time_text.h"

#include <gtest/gtest.h>

#include <regex>
#include <string>

#include "tests/support/file_helpers.h"

namespace {

SYSTEMTIME Sys(int y, int mo, int d, int h = 0, int mi = 0, int s = 0, int ms = 0) {
    return SYSTEMTIME{static_cast<WORD>(y), static_cast<WORD>(mo), 0, static_cast<WORD>(d),
                      static_cast<WORD>(h), static_cast<WORD>(mi), static_cast<WORD>(s), static_cast<WORD>(ms)};
}

const CVOKTime kWednesday(2024, 1, 31, 13, 5, 9.0);

TEST(RegionalTimeText, PicturesAndFlags) {
    const std::string longest(259, 'x');
    const struct {
        CString actual;
        const char* expected;
    } rows[] = {
        {FormatDate(kWednesday, "dd.MM.yyyy"), "31.01.2024"},
        {FormatDate(kWednesday, "ddd d MMM yy"), "Wed 31 Jan 24"},
        {FormatDate(kWednesday, static_cast<const char*>(nullptr)), "01/31/2024"},
        {FormatDate(CVOKTime(), "dd"), "Invalid"},
        // A time of day without a date has no date text.
        {FormatDate(CVOKTime(1, 0, 0.0), "dd"), ""},
        {FormatTime(kWednesday, "HH:mm"), "13:05"},
        {FormatTime(kWednesday, "h:mm tt"), "1:05 PM"},
        {FormatTime(CVOKTime(), "HH"), "Invalid"},
        {FormatDate(kWednesday, DATE_LONGDATE), "Wednesday, 31 January 2024"},
        {FormatDate(kWednesday, DATE_SHORTDATE), "01/31/2024"},
        {FormatDate(kWednesday, DATE_SHORTDATE | DATE_LONGDATE), ""},
        {FormatTime(kWednesday, TIME_NOSECONDS), "13:05"},
        {FormatTime(kWednesday, DWORD{0}), "13:05:09"},
        {FormatDateTimeLocale(kWednesday, DATE_SHORTDATE, 0), "01/31/2024 13:05:09"},
        {FormatDateTimeLocale(kWednesday, DATE_LONGDATE, TIME_NOSECONDS), "Wednesday, 31 January 2024 13:05"},
        {FormatDateTimeLocale(CVOKTime(), DATE_SHORTDATE, 0), "Invalid"},
        // Beyond the 259 characters the platform's buffer holds the call fails.
        {FormatDate(kWednesday, longest.c_str()), longest.c_str()},
        {FormatDate(kWednesday, std::string(260, 'x').c_str()), ""},
        {GetLocaleTimeFormat(false), "HH:mm:ss"},
        {GetLocaleTimeFormat(true), "HH:mm"},
        {GetLocaleShortDateFormat(), "MM/dd/yyyy"},
    };
    for (const auto& row : rows) EXPECT_EQ(row.actual, row.expected);
}

TEST(RegionalTimeText, Strftime) {
    for (const char* zone : {"UTC0", "CET-1", "EST5EDT"}) {
        Vok::Test::CScopedEnvironment tz("TZ", std::string(zone));
        EXPECT_EQ(FormatTimeStrftime(kWednesday, "%Y-%m-%d %H:%M:%S"), "2024-01-31 13:05:09") << zone;
        EXPECT_EQ(FormatTimeStrftime(CVOKTime(2024, 7, 1, 0, 30, 0.0), "%d %B %H:%M"), "01 July 00:30") << zone;
    }
    EXPECT_EQ(FormatTimeStrftime(CVOKTime(1970, 1, 1, 0, 0, 0.0), "%Y"), "Invalid");
    EXPECT_EQ(FormatTimeStrftime(CVOKTime(1969, 12, 31, 12, 0, 0.0), "%Y"), "Invalid");
    EXPECT_EQ(FormatTimeStrftime(CVOKTime(), "%Y"), "Invalid");
    EXPECT_EQ(FormatTimeStrftime(CVOKTime(1970, 1, 1, 0, 0, 1.0), "%Y"), "1970");
    EXPECT_EQ(FormatTimeStrftime(kWednesday, std::string(130, 'y').c_str()), "");
}

TEST(RegionalTimeText, RecordTexts) {
    const SYSTEMTIME st = Sys(2024, 1, 31, 13, 5, 9, 876);
    const SYSTEMTIME midnight = Sys(2024, 1, 31);
    const SYSTEMTIME noDate = Sys(0, 0, 0, 13, 5, 9);
    const SYSTEMTIME badDate = Sys(2024, 13, 31, 13, 5, 9);
    const struct {
        CString actual;
        const char* expected;
    } rows[] = {
        {SystemTimeText(nullptr, true), "00:00:00"},
        {SystemTimeText(&noDate, true), "00:00:00"},
        {SystemTimeText(&st, false), "01/31/2024"},
        {SystemTimeText(&st, true), "01/31/2024 13:05:09"},
        {SystemTimeText(&badDate, true), " 13:05:09"},
        {SystemTimeText(&st, 0, true), "01/31/2024 13:05:09"},
        {SystemTimeText(&st, 1, true), "01/31/2024 13:05:09.8"},
        {SystemTimeText(&st, 2, true), "01/31/2024 13:05:09.87"},
        {SystemTimeText(&st, 3, true), "01/31/2024 13:05:09.876"},
        {SystemTimeText(&st, 4, true), "01/31/2024 "},
        {SystemTimeText(&st, 3, false), "01/31/2024"},
        {SystemTimeText(nullptr, 3, true), "00:00:00"},
        {TimeDateText(nullptr, true), "00:00:00"},
        {TimeDateText(&midnight, true), "00:00:00"},
        {TimeDateText(&st, true), "13:05:09 01/31/2024"},
        {TimeDateText(&st, false), "13:05:09"},
        {TimeDateText(&noDate, true), "13:05:09 "},
        {TimeDateText(&st, 3, true), "13:05:09.876 01/31/2024"},
        {TimeDateText(&st, 1, false), "13:05:09.8"},
        {TimeDateText(&st, 5, true), " 01/31/2024"},
        {TimeDateText(&midnight, 3, true), "00:00:00"},
    };
    for (const auto& row : rows) EXPECT_EQ(row.actual, row.expected);
}

TEST(RegionalTimeText, CurrentDateIsTodaysShortDate) {
    const std::regex shortDate("^(0[1-9]|1[0-2])/(0[1-9]|[12][0-9]|3[01])/[0-9]{4}$");
    EXPECT_TRUE(std::regex_match(CurrentDateText(true).GetString(), shortDate)) << CurrentDateText(true).GetString();
    EXPECT_TRUE(std::regex_match(CurrentDateText(false).GetString(), shortDate)) << CurrentDateText(false).GetString();
}

}  // namespace
