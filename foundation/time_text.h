// The bridge from the time value to Boost.DateTime, behind the time value's text forms.
#pragma once

#include <boost/date_time/posix_time/ptime.hpp>

#include "foundation/time_value.h"

// 1970-01-01 00:00:00 plus the time's milliseconds since then, truncated toward zero; an invalid
// time gives 1970-01-01 00:00:00. Times that Boost cannot hold (outside the years 1400 to 9999,
// or non-finite) give not-a-date-time.
boost::posix_time::ptime TimeToPtime(const CVOKTime& t);
