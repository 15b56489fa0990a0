// Dates and times in the machine's regional formats (the fixed profile of this system), the
// C library's strftime, and the short texts of calendar records.
#pragma once

#include "compat/cstring.h"
#include "compat/regional.h"
#include "compat/windows_types.h"
#include "foundation/time_value.h"

// The date or the time of t by a picture (d, M, y; h, H, m, s, t); a null picture takes the
// profile's short date or time format. "Invalid" for an invalid time; "" when the platform's
// formatting fails (a time without a date has no date text; a text beyond 259 characters).
CString FormatDate(const CVOKTime& t, const char* picture);
CString FormatTime(const CVOKTime& t, const char* picture);
// The profile's formats chosen by DATE_* or TIME_* flags.
CString FormatDate(const CVOKTime& t, DWORD flags);
CString FormatTime(const CVOKTime& t, DWORD flags);
// "date time" with the two sets of flags; "Invalid" for an invalid time.
CString FormatDateTimeLocale(const CVOKTime& t, DWORD dateFlags, DWORD timeFlags);
// The fields of t taken as local time, written by strftime (at most 127 characters); "Invalid"
// unless t lies after 1970-01-01 00:00:00, "" when strftime fails.
CString FormatTimeStrftime(const CVOKTime& t, const char* format);
// The profile's time format, optionally without its seconds ("" when it has none to remove).
CString GetLocaleTimeFormat(bool withoutSeconds);
CString GetLocaleShortDateFormat();

// The short date, then with withTime " " and the time ("HH:mm:ss", or by decimals 0 to 3: other
// decimals give nothing after the blank). "00:00:00" for a null record or one without a date.
// Texts that do not fit 11 characters are left out.
CString SystemTimeText(const SYSTEMTIME* st, bool withTime);
CString SystemTimeText(const SYSTEMTIME* st, int decimals, bool withTime);
// The time first, then with withDate " " and the short date. "00:00:00" for a null record or
// one whose hour, minute and second are all 0 (so midnight drops its date).
CString TimeDateText(const SYSTEMTIME* st, bool withDate);
CString TimeDateText(const SYSTEMTIME* st, int decimals, bool withDate);
// Today's short date, in UTC or local time.
CString CurrentDateText(bool utc);
