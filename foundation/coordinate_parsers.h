// Readers of latitudes, longitudes and angles typed or stored as text (signed degrees, degrees
// and minutes, degrees;minutes;seconds, with a hemisphere letter or a minus sign), and the range
// checks of coordinates, split angles and dates.
#pragma once

#include <cstdint>
#include <string>

#include "compat/cstring.h"
#include "compat/windows_types.h"
#include "foundation/lat_lon_format.h"

// A calendar date as three numbers: year, month (1..12), day (1..31).
struct sDateYmd {
    int32_t year;
    int32_t month;
    int32_t day;
};

// "52.5", "-52.5", "52,5S", "52 30.5 N": degrees, or degrees and minutes (below 60) parted by a
// space; "S" after the first character or a "-" makes the value negative. TRUE, with *out
// written, for a finite number within -90..90; FALSE, *out untouched, when no number is read
// (a letter in front included) or the value is out of range.
BOOL ParseLatitudeText(const CString& text, double* out);
// The same with "W" and "E"; the range -180..360 is tested before the sign is applied, so
// "350E" gives 350.0 and "190W" -190.0.
BOOL ParseLongitudeText(const CString& text, double* out);
// Degrees, minutes and seconds as the first three numbers of the text, negative when its first
// sign character (of "nNeEsSwW+-") is "-", "S" or "W" in either case; 0.0 for a null text, one
// without digits, or a non-finite result. The CString form adds seconds to minutes first.
double ParseAngleText(const char* text);
double ParseAngleText(const std::string& text);
double ParseAngleText(const CString& text);
double ParseAngleTextToRadians(const char* text);
// "d", "d;m" or "d;m;s" (integer degrees and minutes where more parts follow) with an optional
// leading "-" and trailing hemisphere letter; every number 0 or more and finite. *out is set to
// 0.0 first and to the value on success.
bool ParseAngleTextStrict(const CString& text, double* out);
// ParseAngleTextStrict split into degrees, minutes and seconds (seconds that reach 59.999996
// carry). *out is cleared with the letter "N" or "E" first; no range is tested.
BOOL ParseLatLonText(const CString& text, sDmsAngle* out, BOOL latitude);
// The letter must be N/S (E/W) in either case and the signed total within -90..90 (-180..180).
BOOL IsValidLatitude(const sDmsAngle& angle);
BOOL IsValidLongitude(const sDmsAngle& angle);
BOOL IsLatitudeInRange(double degrees);
BOOL IsLongitudeInRange(double degrees);
// Day 1..31, month 1..12 and year 1980 or later; the month's length is not tested.
BOOL IsValidDate(const sDateYmd& date);
