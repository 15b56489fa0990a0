// Lenient readers of typed dates and times of day: they take runs of digits wherever they
// stand, so any separators serve ("15.01.2024", "15/1/24", "12h34"), and compact digit strings
// ("150124", "123456.7") by their length. Two-digit years (99 or less) have 2000 added.
#pragma once

#include <string>

#include "compat/cstring.h"
#include "compat/windows_types.h"
#include "foundation/time_value.h"

// Only wYear, wMonth and wDay are filled, from three numbers in the order of the name; a compact
// date of 6 or 8 digits is split by its length. All zero for a null text or one without digits.
SYSTEMTIME ParseDateTextYmd(const char* text);
SYSTEMTIME ParseDateTextDmy(const char* text);
SYSTEMTIME ParseDateTextMdy(const char* text);
// Only the time-of-day fields are filled: hour, minute and seconds with a fraction (which
// gives milliseconds, at most 999), or a compact time split by its length.
SYSTEMTIME ParseTimeOfDayText(const char* text);
double TimeOfDayTextToSeconds(const char* text);
// "year.month.day[.second]"; all zero with fewer than three parts.
SYSTEMTIME ParseDottedDate(const CString& text);
// "first:second[:third][.fraction]"; TRUE when a ':' follows at least one character.
BOOL ParseClockText(const char* text, int* first, int* second, int* third, int* fraction);
// Year first when the first number is above 1000, else day, month, year; a compact date is
// always day, month, year. The text ends at its first NUL. The invalid time for an empty text or
// one without digits.
CVOKTime DateTextToTime(const std::string& text);
// A time of day without a date (day 0), its seconds as written (not rounded); the invalid time
// for an empty text or one without digits.
CVOKTime TimeTextToTime(const std::string& text);
double TimeTextToSeconds(const std::string& text);
