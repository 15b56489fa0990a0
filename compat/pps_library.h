// Our stand-in for the suite's PPS time library. The clock it reports is the system clock in UTC;
// whether that clock counts as PPS-disciplined is what the kernel says about its synchronisation,
// unless VOK_PPS_VALID ("0" or "1") decides.
#pragma once

#include <cstdint>
#include <ctime>

#include "compat/windows_types.h"

// Results of CheckUtcDate.
constexpr WORD PPS_DATE_UNCHANGED = 0;
// A two-digit year was given its century.
constexpr WORD PPS_DATE_CENTURY_ADDED = 1;
// The date was impossible and became the current UTC date.
constexpr WORD PPS_DATE_REPLACED = 2;

// The clock's current UTC time, to the millisecond, with its day of the week.
void GetPpsTime(SYSTEMTIME* out);

// Nonzero when the clock is usable for time tagging.
int IsPpsValid();

// The last pulse (the last whole UTC second) with the monotonic counter at that pulse, and the
// current UTC time with the monotonic counter now. Counters are nanoseconds of CLOCK_MONOTONIC.
// Null outputs are skipped.
void GetPpsTimeEx(SYSTEMTIME* pulse, int64_t* pulseCounter, int64_t* nowCounter, SYSTEMTIME* now);

// One reading of the UTC clock and the monotonic counter, taken back to back, so that a caller can
// take every time of one moment (a datagram's) from it.
struct sPpsReading {
    timespec real{};
    timespec monotonic{};
};
sPpsReading ReadPpsClock();
// The reading as it was at `past`, a moment of the UTC clock (a datagram's arrival, as the kernel
// stamped it): the clock read now, the counter taken back by the time since. A moment ahead of the
// clock, or further back than the counter goes (a step of the clock between the two), leaves the
// counter as it is now.
sPpsReading ReadPpsClockAt(const timespec& past);
// The reading's UTC time as GetPpsTime gives it.
SYSTEMTIME PpsTimeOf(const sPpsReading& reading);
// What GetPpsTimeEx gives at the moment of the reading; time is PpsTimeOf(reading), converted once
// by the caller. Null outputs are skipped.
void GetPpsTimeExAt(const sPpsReading& reading, const SYSTEMTIME& time, SYSTEMTIME* pulse, int64_t* pulseCounter,
                    int64_t* nowCounter, SYSTEMTIME* now);

// Completes or corrects the date (year, month, day) of a decoded sentence: a year below 100 gets
// the century that puts it within 50 years of the current year (from 50 years back to 49 ahead);
// a month or day out of range makes the date the current UTC date. With correct 0 the date is
// left as it is and only the result tells what would have been done.
WORD CheckUtcDate(SYSTEMTIME* date, int correct);
