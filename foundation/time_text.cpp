#include "foundation/time_text.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstring>
#include <ctime>
#include <locale>
#include <sstream>

#include <boost/date_time/gregorian/gregorian.hpp>
#include <boost/date_time/posix_time/posix_time.hpp>

#include "compat/clock.h"
#include "compat/object.h"
#include "foundation/number_text.h"
#include "foundation/saturating_cast.h"
#include "foundation/string_utils.h"
#include "foundation/system_time.h"

namespace {

using Vok::TruncToInt32;
using Vok::TruncToInt64;

void ApplySeparator(std::string& text, char separator) {
    if (separator == ':') return;
    if (separator == '\0') {
        std::erase(text, ':');
        return;
    }
    for (char& c : text)
        if (c == ':') c = separator;
}

}  // namespace

boost::posix_time::ptime TimeToPtime(const CVOKTime& t) {
    namespace pt = boost::posix_time;
    const pt::ptime epoch(boost::gregorian::date(1970, 1, 1));
    const double since = t.IsValid() ? (static_cast<double>(t.day) - CVOKTime::kMjdUnixEpoch) * 86400.0 + t.seconds
                                     : 0.0;
    // Boost's calendar runs from 1400-01-01 to 9999-12-31.
    constexpr double kFirst = -17987443200.0;  // 1400-01-01 00:00:00 relative to 1970
    constexpr double kEnd = 253402300800.0;    // 10000-01-01 00:00:00 relative to 1970
    if (!std::isfinite(since) || since < kFirst || since >= kEnd) return pt::ptime(pt::not_a_date_time);
    const int64_t milliseconds = TruncToInt64(since * 1000.0);
    return epoch + pt::microseconds(milliseconds * 1000);
}

std::string CVOKTime::FormatTime(int decimals, char separator) const {
    if (!IsValid()) return "Invalid";
    std::string text;
    if (decimals > 3) {
        const int hour = TruncToInt32(seconds / 3600.0);
        double rest = seconds - hour * 3600.0;
        const int minute = TruncToInt32(rest / 60.0);
        rest -= minute * 60.0;
        const int second = TruncToInt32(std::floor(rest));
        const double fraction = std::min(0.999999, rest - second);
        const int microseconds = TruncToInt32(fraction * 1e6 + 0.5);
        text = ::Format("%02d:%02d:%02d.%06d", hour, minute, second, microseconds);
        const size_t keep = static_cast<size_t>(decimals) + 9;
        if (text.size() > keep) text.resize(keep);
    } else {
        const int64_t total = TruncToInt64(std::floor(seconds * 1000.0 + 0.5));
        double t = static_cast<double>(total) * 0.001;
        int hour = 0, minute = 0, second = 0, milliseconds = 0;
        if (t < 86400.0) {
            hour = TruncToInt32(t / 3600.0);
            minute = TruncToInt32((t - hour * 3600.0) / 60.0);
            const double rest = t - hour * 3600.0 - minute * 60.0;
            second = TruncToInt32(std::floor(rest));
            milliseconds = TruncToInt32((rest - second) * 1000.0 + 0.5);
        }
        if (decimals == 3) {
            text = ::Format("%02d:%02d:%02d.%03d", hour, minute, second, milliseconds);
        } else if (decimals == 2) {
            text = ::Format("%02d:%02d:%02d.%02d", hour, minute, second, milliseconds / 10);
        } else if (decimals == 1) {
            text = ::Format("%02d:%02d:%02d.%01d", hour, minute, second, milliseconds / 100);
        } else {
            text = ::Format("%02d:%02d:%02d", hour, minute, second);
        }
    }
    ApplySeparator(text, separator);
    return text;
}

std::string CVOKTime::FormatMjd(int decimals) const {
    if (!IsValid()) return "Invalid";
    // A negative precision would make no conversion at all.
    const std::string format = ::Format("%%05d %%05.%dlf", std::max(decimals, 0));
    return ::Format(format.c_str(), day, seconds);
}

std::string CVOKTime::Format(const std::string& format) const {
    // The stream's locale owns the facet and deletes it.
    auto* facet = new boost::posix_time::time_facet(format.c_str());
    std::ostringstream out;
    out.imbue(std::locale(out.getloc(), facet));
    out << TimeToPtime(*this);
    return out.str();
}

std::string CVOKTime::ToSimpleString() const { return boost::posix_time::to_simple_string(TimeToPtime(*this)); }

std::string CVOKTime::TimeOfDayString() const {
    return boost::posix_time::to_simple_string(TimeToPtime(*this).time_of_day());
}

std::string CVOKTime::ToIsoString() const { return boost::posix_time::to_iso_string(TimeToPtime(*this)); }

std::string CVOKTime::ToIsoExtendedString() const {
    return boost::posix_time::to_iso_extended_string(TimeToPtime(*this));
}

CVOKTime::CVOKTime(const std::string& text) {
    namespace pt = boost::posix_time;
    pt::ptime parsed(pt::not_a_date_time);
    if (!text.empty() && text.find(' ') != std::string::npos) {
        parsed = pt::time_from_string(text);
    } else if (text.size() >= 15 && text.find('T') != std::string::npos) {
        parsed = text.find('-') != std::string::npos ? pt::from_iso_extended_string(text) : pt::from_iso_string(text);
    } else {
        parsed = pt::ptime(boost::gregorian::from_simple_string(text));
    }
    // to_tm refuses not-a-date-time and the infinities with std::out_of_range.
    const std::tm parts = pt::to_tm(parsed);
    SetFromTm(parts);
    seconds = static_cast<double>(parsed.time_of_day().total_microseconds()) / 1e6;
}

CString FormatTimeOfDay(const CVOKTime& t, int decimals, char separator) {
    return CString(t.FormatTime(decimals, separator).c_str());
}

CString FormatTimeOfDay(const SYSTEMTIME& st, int decimals, char separator) {
    if (st.wYear == 0) return "Invalid";
    const int h = st.wHour, m = st.wMinute, s = st.wSecond, ms = st.wMilliseconds;
    std::string text;
    if (decimals > 3) {
        text = ::Format("%02d:%02d:%02d.%06d", h, m, s, ms * 1000);
        const size_t keep = static_cast<size_t>(decimals) + 9;
        if (text.size() > keep) text.resize(keep);
    } else if (decimals == 3) {
        text = ::Format("%02d:%02d:%02d.%03d", h, m, s, ms);
    } else if (decimals == 2) {
        text = ::Format("%02d:%02d:%02d.%02d", h, m, s, ms / 10);
    } else if (decimals == 1) {
        text = ::Format("%02d:%02d:%02d.%01d", h, m, s, ms / 100);
    } else {
        text = ::Format("%02d:%02d:%02d", h, m, s);
    }
    ApplySeparator(text, separator);
    return CString(text.c_str());
}

namespace {

std::string DateText(int year, int month, int day) { return ::Format("%04d-%02d-%02d ", year, month, day); }

// Seconds since 1970 of a local calendar time, as the class library's time type made them.
double LocalSeconds(const SYSTEMTIME& st) {
    if (st.wYear < 1900) return 0.0;
    const bool inRange = st.wMonth >= 1 && st.wMonth <= 12 && st.wDay >= 1 && st.wDay <= 31 && st.wHour <= 23 &&
                         st.wMinute <= 59 && st.wSecond <= 59;
    if (!inRange || st.wYear < 1970 || st.wYear > 3000) throw CInvalidArgException();
    std::tm parts{};
    parts.tm_year = st.wYear - 1900;
    parts.tm_mon = st.wMonth - 1;
    parts.tm_mday = st.wDay;
    parts.tm_hour = st.wHour;
    parts.tm_min = st.wMinute;
    parts.tm_sec = st.wSecond;
    parts.tm_isdst = -1;
    tzset();
    const time_t seconds = mktime(&parts);
    // Local midnight of 1970-01-01 east of Greenwich lies before the epoch, which the type refused.
    if (seconds < 0) throw CInvalidArgException();
    return static_cast<double>(seconds);
}

// The texts of one elapsed-time style: days, hours, hours zero, minutes, minutes zero, seconds.
struct sElapsedStyle {
    const char* days;
    const char* hours;
    const char* hoursZero;
    const char* minutes;
    const char* minutesZero;
    const char* seconds;
};

constexpr sElapsedStyle kElapsedStyles[5] = {
    {"%d d ", "%02d:", "00:", "%02d:", "00:", "%02d"},
    {"%d d ", "%02dh", "00h", "%02d'", "00'", "%02d\""},
    {"%dd ", "%dh ", "0h ", "%d' ", "0' ", "%d\""},
    {"%dd ", "%dh ", "0h ", "%dm ", "0m ", "%ds"},
    {"%d day ", "%dhr ", "", "%dmin ", "0min ", "%dsec"},
};

// The number in count characters of text from first (fewer at the end, none beyond it), read as
// atoi reads.
int FieldAt(const std::string& text, size_t first, size_t count) {
    if (first >= text.size()) return 0;
    return Vok::AtoiLong32(text.substr(first, count).c_str());
}

}  // namespace

CString FormatDateTime(const CVOKTime& t, int decimals, char separator) {
    if (!t.IsValid()) return "Invalid";
    int year = 0, month = 0, day = 0;
    if (decimals > 3) {
        // The microseconds never carry into the next day.
        t.GetDate(year, month, day);
    } else {
        int dow = 0, hour = 0, minute = 0, second = 0, ms = 0;
        t.GetDateTimeMs(year, month, day, dow, hour, minute, second, ms);
    }
    return CString((DateText(year, month, day) + t.FormatTime(decimals, separator)).c_str());
}

CString FormatDateTime(const SYSTEMTIME& st, int decimals, char separator) {
    if (st.wYear == 0) return "Invalid";
    return CString(DateText(st.wYear, st.wMonth, st.wDay).c_str()) + FormatTimeOfDay(st, decimals, separator);
}

CString FormatMjdText(const CVOKTime& t, int decimals) { return CString(t.FormatMjd(decimals).c_str()); }

CString FormatMjdText(const SYSTEMTIME& st, int decimals) {
    if (st.wYear == 0) return "Invalid";
    return FormatMjdText(CVOKTime(SystemTimeToMjdTime(st)), decimals);
}

CString FormatCompactDateTime(const CVOKTime& t, bool withDate, bool withTime) {
    int year = 0, month = 0, day = 0, dow = 0, hour = 0, minute = 0, second = 0, ms = 0;
    if (!t.GetDateTimeMs(year, month, day, dow, hour, minute, second, ms)) return "Invalid";
    std::string text;
    if (withDate && withTime) text = ::Format("%04d%02d%02d%02d%02d%02d", year, month, day, hour, minute, second);
    else if (withDate) text = ::Format("%04d%02d%02d", year, month, day);
    else if (withTime) text = ::Format("%02d%02d%02d", hour, minute, second);
    else text = "Invalid";
    return CString(text.c_str());
}

CString FormatIsoDateTime(const SYSTEMTIME& st, int parts, int zoneHours) {
    if (parts < 0 || parts > 2) return "";
    std::string text;
    if (parts != 2) text = ::Format("%04d-%02d-%02d%s", st.wYear, st.wMonth, st.wDay, parts == 0 ? "T" : "");
    if (parts != 1)
        text += ::Format("%02d:%02d:%02d.%03d%+03d:00", st.wHour, st.wMinute, st.wSecond, st.wMilliseconds, zoneHours);
    return CString(text.c_str());
}

CString FormatIsoSystemTime(const SYSTEMTIME& st, int style) {
    const std::string basicDate = ::Format("%04d%02d%02d", st.wYear, st.wMonth, st.wDay);
    const std::string extendedDate = ::Format("%04d-%02d-%02d", st.wYear, st.wMonth, st.wDay);
    const std::string basicTime = ::Format("%02d%02d%02d.%03d", st.wHour, st.wMinute, st.wSecond, st.wMilliseconds);
    const std::string extendedTime =
        ::Format("%02d:%02d:%02d.%03d", st.wHour, st.wMinute, st.wSecond, st.wMilliseconds);
    switch (style) {
        case 0: return basicDate.c_str();
        case 1: return extendedDate.c_str();
        case 2: return basicTime.c_str();
        case 3: return extendedTime.c_str();
        case 4: return (basicDate + "T" + basicTime).c_str();
        case 5: return (extendedDate + "T" + extendedTime).c_str();
        default: return "";
    }
}

CString CurrentTimeText(bool utc, int decimals) {
    SYSTEMTIME st{};
    if (utc) GetSystemTime(&st);
    else GetLocalTime(&st);
    if (decimals <= 0) return ::Format("%02d:%02d:%02d", st.wHour, st.wMinute, st.wSecond).c_str();
    decimals = std::min(decimals, 3);
    const std::string format = ::Format("%%02d:%%02d:%%02d.%%0%dd", decimals);
    const int fraction = decimals == 1 ? st.wMilliseconds / 100 : decimals == 2 ? st.wMilliseconds / 10 : st.wMilliseconds;
    return ::Format(format.c_str(), st.wHour, st.wMinute, st.wSecond, fraction).c_str();
}

CString FormatDuration(double seconds, bool wholeSeconds) {
    std::string text = seconds < 0.0 ? "-" : "";
    double d = std::fabs(seconds);
    // Rounding first keeps a carry out of the seconds ("60.0") from ever being printed.
    d = wholeSeconds ? std::floor(d + 0.5) : std::floor(d * 10.0 + 0.5) / 10.0;
    if (d >= 86400.0) {
        text += ::Format("%.0f d ", std::floor(d / 86400.0));
        d = std::fmod(d, 86400.0);
    }
    if (d < 3600.0) {
        text += "00:";
    } else {
        text += ::Format("%02d:", TruncToInt32(std::floor(d / 3600.0)));
        d = std::fmod(d, 3600.0);
    }
    if (d < 60.0) {
        text += "00:";
    } else {
        text += ::Format("%02d:", TruncToInt32(std::floor(d / 60.0)));
        d = std::fmod(d, 60.0);
    }
    text += wholeSeconds ? ::Format("%02d", TruncToInt32(std::floor(d + 0.5))) : ::Format("%04.1lf", d);
    return CString(text.c_str());
}

CString FormatElapsedBetween(const SYSTEMTIME& from, const SYSTEMTIME& to, int style) {
    double d = LocalSeconds(to) - LocalSeconds(from);
    const bool negative = d < 0.0;
    d = std::fabs(d);
    const sElapsedStyle& s = kElapsedStyles[style >= 1 && style <= 4 ? style : 0];
    std::string text;
    if (d >= 86400.0) {
        text += ::Format(s.days, static_cast<int>(std::floor(d / 86400.0)));
        d = std::fmod(d, 86400.0);
    }
    if (d >= 3600.0) {
        text += ::Format(s.hours, static_cast<int>(std::floor(d / 3600.0)));
        d = std::fmod(d, 3600.0);
    } else {
        text += s.hoursZero;
    }
    if (d >= 60.0) {
        text += ::Format(s.minutes, static_cast<int>(std::floor(d / 60.0)));
        d = std::fmod(d, 60.0);
    } else {
        text += s.minutesZero;
    }
    text += ::Format(s.seconds, static_cast<int>(std::floor(d + 0.5)));
    if (negative) text.insert(0, "-");
    return CString(text.c_str());
}

bool ParseIsoDateTime(const CString& text, SYSTEMTIME& st, double* zoneHours) {
    const std::string s = text.Str().substr(0, std::strlen(text.GetString()));
    const size_t length = s.size();
    const bool looksLikeTime = length > 2 && s[2] == ':';
    if (length < 8 || (length < 10 && !looksLikeTime)) return false;
    size_t dateStart = std::string::npos, timeStart = std::string::npos;
    const size_t t = s.find('T');
    if (t != std::string::npos) {
        if (t != 10) return false;
        dateStart = 0;
        timeStart = 11;
    } else if (length >= 10 && s[4] == '-') {
        dateStart = 0;
    } else if (looksLikeTime) {
        timeStart = 0;
    } else {
        st.wDayOfWeek = 0;
        return false;
    }
    if (dateStart != std::string::npos) {
        st.wYear = static_cast<WORD>(FieldAt(s, dateStart, 4));
        st.wMonth = static_cast<WORD>(FieldAt(s, dateStart + 5, 2));
        st.wDay = static_cast<WORD>(FieldAt(s, dateStart + 8, 2));
    }
    if (timeStart != std::string::npos) {
        const size_t point = s.find('.', timeStart);
        size_t sign = s.find('+', timeStart);
        if (sign == std::string::npos) sign = s.find('-', timeStart);
        st.wHour = static_cast<WORD>(FieldAt(s, timeStart, 2));
        st.wMinute = static_cast<WORD>(FieldAt(s, timeStart + 3, 2));
        st.wSecond = static_cast<WORD>(FieldAt(s, timeStart + 6, 2));
        if (point != std::string::npos && point < sign) {
            // The digits of the fraction, scaled to milliseconds: ".5" is 500, ".123456" is 123.
            std::string digits;
            for (size_t i = point + 1; i < std::min(sign, length) && digits.size() < 3 && std::isdigit(static_cast<unsigned char>(s[i])); ++i)
                digits.push_back(s[i]);
            digits.resize(3, '0');
            st.wMilliseconds = static_cast<WORD>(Vok::AtoiLong32(digits.c_str()));
        }
        if (sign != std::string::npos && zoneHours != nullptr) {
            // A field that the text does not reach counts as 0.
            const double hours = sign + 1 < length ? Vok::AtofC(s.substr(sign + 1, 2).c_str()) : 0.0;
            const double minutes = sign + 4 < length ? Vok::AtofC(s.substr(sign + 4, 2).c_str()) : 0.0;
            const double zone = hours + minutes / 60.0;
            *zoneHours = s[sign] == '-' ? -zone : zone;
        }
    }
    st.wDayOfWeek = 0;
    return true;
}
