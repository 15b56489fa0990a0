// Date and time texts in the fixed regional profile, from the platform's picture strings.
#pragma once

#include <cstddef>
#include <optional>
#include <string>

#include "compat/regional.h"
#include "compat/windows_types.h"

namespace Vok::Regional {

// The date of st by a date picture: d, dd (day), ddd, dddd (day name), M, MM (month), MMM, MMMM
// (month name), y (last digit of the year), yy (last two digits), yyyy (the year); text in
// single quotes stands as written ('' is one quote), and every other character stands as it is.
// Without a picture the profile's format that flags choose: DATE_SHORTDATE (also flags 0),
// DATE_LONGDATE or DATE_YEARMONTH. Nothing when st holds no calendar date, when flags are given
// with a picture or are not one of those, or when the text and its terminator need more than
// capacity characters.
std::optional<std::string> DatePictureText(const SYSTEMTIME& st, DWORD flags, const char* picture,
                                           std::size_t capacity);

// The time of day of st by a time picture: h, hh (12-hour clock), H, HH (24-hour clock), m, mm,
// s, ss, t (first letter of AM or PM), tt (AM or PM); quoting as above. Without a picture the
// profile's time format. TIME_NOSECONDS, TIME_NOMINUTESORSECONDS and TIME_NOTIMEMARKER drop
// their fields with the separator in front of each; TIME_FORCE24HOURFORMAT reads h as H.
// Nothing when the time fields are out of range, flags holds other bits, or the text does not
// fit capacity as above.
std::optional<std::string> TimePictureText(const SYSTEMTIME& st, DWORD flags, const char* picture,
                                           std::size_t capacity);

}  // namespace Vok::Regional
