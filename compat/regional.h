// The one fixed regional profile of this system: the invariant locale's formats and names.
#pragma once

#include "compat/windows_types.h"

// Locales and the flags of the date and time texts, with the platform's values.
constexpr DWORD LOCALE_USER_DEFAULT = 0x0400;
constexpr DWORD LOCALE_SYSTEM_DEFAULT = 0x0800;
constexpr DWORD DATE_SHORTDATE = 0x01;
constexpr DWORD DATE_LONGDATE = 0x02;
constexpr DWORD DATE_YEARMONTH = 0x08;
constexpr DWORD TIME_NOMINUTESORSECONDS = 0x01;
constexpr DWORD TIME_NOSECONDS = 0x02;
constexpr DWORD TIME_NOTIMEMARKER = 0x04;
constexpr DWORD TIME_FORCE24HOURFORMAT = 0x08;
// Accepted on every call and without effect: there is only one profile.
constexpr DWORD LOCALE_NOUSEROVERRIDE = 0x80000000u;
constexpr DWORD LOCALE_USE_CP_ACP = 0x40000000u;

namespace Vok::Regional {

inline constexpr WORD kLanguageId = LANG_ID_ENGLISH_US;
inline constexpr const char* kShortDateFormat = "MM/dd/yyyy";
inline constexpr const char* kLongDateFormat = "dddd, dd MMMM yyyy";
inline constexpr const char* kTimeFormat = "HH:mm:ss";
inline constexpr const char* kYearMonthFormat = "yyyy MMMM";
inline constexpr const char* kTimeSeparator = ":";
inline constexpr const char* kAmDesignator = "AM";
inline constexpr const char* kPmDesignator = "PM";
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
