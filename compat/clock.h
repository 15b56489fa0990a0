// The platform's clock and calendar services: the current time as calendar records, UTC and
// local time with the process's time zone (TZ, read through the C library at each call), file
// times in 100-nanosecond units since 1601, and the high-resolution counter.
#pragma once

#include "compat/windows_types.h"

// Current UTC and local time, to the millisecond.
void GetSystemTime(SYSTEMTIME* st);
void GetLocalTime(SYSTEMTIME* st);

// FALSE, with the output untouched, when the record is not a calendar time of the years 1601
// to 30827 (month 1..12, day within the month, hour < 24, minute and second < 60, milliseconds
// < 1000; the day of week is not read) or the file time has its top bit set.
BOOL SystemTimeToFileTime(const SYSTEMTIME* st, FILETIME* ft);
BOOL FileTimeToSystemTime(const FILETIME* ft, SYSTEMTIME* st);

// A monotonic counter and its ticks per second.
BOOL QueryPerformanceCounter(LONGLONG* count);
BOOL QueryPerformanceFrequency(LONGLONG* frequency);

namespace Vok::Clock {

// Converts with the current zone; false, with the output untouched, when the input is not a
// calendar time as above or the C library cannot convert it. A local time that the zone skips
// or repeats is resolved as the C library's mktime does.
bool UtcToLocalSystemTime(const SYSTEMTIME& utc, SYSTEMTIME& local);
bool LocalToUtcSystemTime(const SYSTEMTIME& local, SYSTEMTIME& utc);

// The date fields form a day of the years 1601 to 30827; the time fields a time of day
// (hour < 24, minute and second < 60, milliseconds < 1000). The day of week is not read.
bool IsCalendarDate(const SYSTEMTIME& st);
bool IsClockTime(const SYSTEMTIME& st);
// 0 = Sunday .. 6 = Saturday, from the date fields of a calendar date.
int DayOfWeek(const SYSTEMTIME& st);

// The UTC calendar time (day of week included) of seconds since 1970-01-01 00:00 UTC and
// milliseconds (below 1000); false, with the output untouched, outside the years 1601 to 30827.
// Each thread keeps the date of the day it converted last, so a clock read costs a few
// divisions while the day does not change.
bool UnixTimeToSystemTime(int64_t seconds, WORD milliseconds, SYSTEMTIME& st);

// The local zone's offset from UTC at this moment in minutes, east positive; false when unknown.
bool CurrentUtcOffsetMinutes(int32_t& minutes);

}  // namespace Vok::Clock
