// The bridge from the time value to Boost.DateTime, behind the time value's text forms.
#pragma once

#include <boost/date_time/posix_time/ptime.hpp>

#include "compat/cstring.h"
#include "compat/windows_types.h"
#include "foundation/time_value.h"

// 1970-01-01 00:00:00 plus the time's milliseconds since then, truncated toward zero; an invalid
// time gives 1970-01-01 00:00:00. Times that Boost cannot hold (outside the years 1400 to 9999,
// or non-finite) give not-a-date-time.
boost::posix_time::ptime TimeToPtime(const CVOKTime& t);

// The time of day as "hh:mm:ss" with 0 to 6 decimals; separator 0 removes the colons, another
// character replaces them. "Invalid" for an invalid time.
CString FormatTimeOfDay(const CVOKTime& t, int decimals, char separator);
// The same from the record's fields, at most to the millisecond; "Invalid" when wYear is 0.
CString FormatTimeOfDay(const SYSTEMTIME& st, int decimals, char separator);

// "yyyy-mm-dd " and the time of day as FormatTimeOfDay gives it; the date and the clock come
// from one rounded value, so a time that rounds up to midnight prints the next day.
CString FormatDateTime(const CVOKTime& t, int decimals, char separator);
CString FormatDateTime(const SYSTEMTIME& st, int decimals, char separator);
// "ddddd sssss.sss": the day number and the seconds of day with the given decimals (negative
// counts as 0). "Invalid" for an invalid time or a record with wYear 0.
CString FormatMjdText(const CVOKTime& t, int decimals);
CString FormatMjdText(const SYSTEMTIME& st, int decimals);
// "yyyymmddhhmmss", "yyyymmdd" or "hhmmss" to the rounded second of the rounded millisecond;
// "Invalid" with neither flag or for an invalid time.
CString FormatCompactDateTime(const CVOKTime& t, bool withDate, bool withTime);
// parts 0: "yyyy-mm-ddThh:mm:ss.fff+zz:00", 1: the date only, 2: the time and zone only; any
// other value "". The zone is whole hours.
CString FormatIsoDateTime(const SYSTEMTIME& st, int parts, int zoneHours);
// style 0 "yyyymmdd", 1 "yyyy-mm-dd", 2 "hhmmss.fff", 3 "hh:mm:ss.fff", 4 "yyyymmddThhmmss.fff",
// 5 "yyyy-mm-ddThh:mm:ss.fff"; any other style "".
CString FormatIsoSystemTime(const SYSTEMTIME& st, int style);
// The clock now (UTC or local) as "hh:mm:ss" with 0 to 3 decimals (more count as 3).
CString CurrentTimeText(bool utc, int decimals);

// "[-][N d ]hh:mm:ss.s" or, with wholeSeconds, "[-][N d ]hh:mm:ss"; rounded to the tenth (or the
// second) before it is split, so the seconds never read 60.
CString FormatDuration(double seconds, bool wholeSeconds);
// The time from one local calendar time to another: style 1 "01h02'03"", 2 "1h 2' 3"",
// 3 "1h 2m 3s", 4 "1hr 2min 3sec", any other "01:02:03"; a day or more puts the days in front
// and a negative span a "-".
// A record with a year before 1900 counts as 1970-01-01 00:00:00 UTC. A year from 1900 on that
// lies before 1970 or after 3000, or a field out of range (month 1..12, day 1..31, hour 0..23,
// minute and second 0..59), raises CInvalidArgException.
CString FormatElapsedBetween(const SYSTEMTIME& from, const SYSTEMTIME& to, int style);
// Reads "YYYY-MM-DD", "YYYY-MM-DDThh:mm:ss[.f][+-hh:mm]" or "hh:mm:ss[.f][+-hh:mm]" into the
// fields of st that the text holds; the fraction is scaled to milliseconds by its digits. The
// zone, when the text has one and zoneHours is not null, goes to *zoneHours (east positive).
// False, st untouched, for a text shorter than 8 characters (10 unless it is a time), or one whose
// 'T' is not at index 10; false with wDayOfWeek set to 0 for any other unknown form. Sets
// wDayOfWeek to 0 on success.
bool ParseIsoDateTime(const CString& text, SYSTEMTIME& st, double* zoneHours);
