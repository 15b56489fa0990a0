// The one fixed regional profile of this system: the invariant locale's formats and names.
#pragma once

#include "compat/windows_types.h"

namespace Vok::Regional {

inline constexpr WORD kLanguageId = LANG_ID_ENGLISH_US;
inline constexpr const char* kShortDateFormat = "MM/dd/yyyy";
inline constexpr const char* kLongDateFormat = "dddd, dd MMMM yyyy";
inline constexpr const char* kTimeFormat = "HH:mm:ss";
inline constexpr char kDecimalSeparator = '.';
inline constexpr char kThousandsSeparator = ',';
inline constexpr int kGrouping = 3;
inline constexpr const char* kDayNames[7] = {"Sunday", "Monday", "Tuesday", "Wednesday",
                                             "Thursday", "Friday", "Saturday"};
inline constexpr const char* kAbbrevDayNames[7] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
inline constexpr const char* kMonthNames[12] = {"January", "February", "March",     "April",
                                                "May",     "June",     "July",      "August",
                                                "September", "October", "November", "December"};
inline constexpr const char* kAbbrevMonthNames[12] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                                      "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};

}  // namespace Vok::Regional
