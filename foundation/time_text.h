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
