// Conversions between the platform's calendar record SYSTEMTIME, the plain records sMjdTime and
// sGpsWeekTime and the time value; the clock in UTC and local time; the zone offset; calendar
// facts and elapsed times. A SYSTEMTIME whose year, month and day are all 0 means "no time", and
// every conversion maps an invalid time to the invalid form of its target without reporting.
#pragma once

#include <cstdint>

#include "compat/windows_types.h"
#include "foundation/time_value.h"

// (0, -1.0) for a zero date, whatever the time fields hold. No field's range is tested.
sMjdTime SystemTimeToMjdTime(const SYSTEMTIME& st);
// The local time of t (seconds since 1970-01-01 00:00 UTC); (0, -1.0) when it cannot be broken down
// or its year does not fit the calendar record (1 to 65535).
sMjdTime Time64ToMjdTime(const int64_t& t);
// Rounded to the nearest millisecond; all zero for an invalid time or day 0.
SYSTEMTIME TimeToSystemTime(const CVOKTime& t);
// The offsets are GPS time minus the other time scale (leap seconds): GPS = other + offset.
sMjdTime GpsWeekTimeToMjdTime(const sGpsWeekTime& g, double offsetSeconds);
sGpsWeekTime TimeToGpsWeekTime(const CVOKTime& t, double offsetSeconds);
sGpsWeekTime SystemTimeToGpsWeekTime(const SYSTEMTIME& st, double offsetSeconds);
// All 0 for an invalid time.
void GetDateTime(const CVOKTime& t, int& year, int& month, int& day, int& hour, int& minute, double& second);

// The clock, to the millisecond.
CVOKTime CurrentUtcTime();
CVOKTime CurrentLocalTime();

// Moves t by whole days to within 12 hours of ref. A reference without a date leaves t as it is.
void AdjustSystemTimeToReference(SYSTEMTIME& t, const SYSTEMTIME& ref);
// With the current zone; on failure the output keeps what it held. Both return the output.
SYSTEMTIME* SystemTimeToLocalSystemTime(SYSTEMTIME& local, const SYSTEMTIME& utc);
SYSTEMTIME* LocalSystemTimeToSystemTime(SYSTEMTIME& utc, const SYSTEMTIME& local);
// With the current zone, to the millisecond; the invalid time when the conversion fails (as it
// does for an invalid input).
CVOKTime UtcToLocal(const CVOKTime& utc);
CVOKTime LocalToUtc(const CVOKTime& local);
// The local zone's offset from UTC in hours, east positive; 0.0 when the zone is unknown.
double GetTimeZoneOffsetHours();

// Completes a GPS seconds-of-week value with the week of reference, across the week boundary
// (900 s at either end of the week count as the rollover window).
CVOKTime GpsSecondsOfWeekToTime(const SYSTEMTIME& reference, double secondsOfWeek, bool applyOffset,
                                double offset);
// Moves t by whole minutes to strictly within 60 s of ref, keeping its second and millisecond.
// An invalid or non-finite ref, one without a date (day 0), or one beyond the 32-bit day numbers
// leaves t as it is.
void AdjustMinuteToReference(CVOKTime& t, const CVOKTime& ref);
// Halfway between two valid times; the invalid time otherwise.
CVOKTime MidTime(const CVOKTime& a, const CVOKTime& b);
// |a - b| in seconds; 0.0 when either is invalid.
double AbsTimeDifference(const CVOKTime& a, const CVOKTime& b);

int GetDayOfYear(const SYSTEMTIME& st);
int GetDayOfYear(const CVOKTime& t);
int GetDaysInYear(const CVOKTime& t);
// 0 for an invalid time or one without a date.
int GetDaysInMonth(const CVOKTime& t);
bool IsLeapYear(const CVOKTime& t);
// Today's UTC date at 12:00:00.000 as a decimal year; the second form also hands out that time.
double GetCurrentDecimalYear();
double GetCurrentDecimalYear(SYSTEMTIME& st, CVOKTime& t);
// Strictly after 1970-01-01 00:00:00.
bool IsAfterEpoch(const CVOKTime& t);

// result = a - b as a date counted from 1601-01-01 00:00. Returns &result, or nullptr (result
// untouched) when a or b is not a calendar time or b lies after a.
SYSTEMTIME* SystemTimeDifference(SYSTEMTIME& result, const SYSTEMTIME& a, const SYSTEMTIME& b);
// Seconds between two readings of the performance counter, to 10 microseconds; negative when
// end < start.
double ElapsedSeconds(int64_t startCounter, int64_t endCounter);
