#include "foundation/time_text.h"

#include <cmath>
#include <locale>
#include <sstream>

#include <boost/date_time/gregorian/gregorian.hpp>
#include <boost/date_time/posix_time/posix_time.hpp>

#include "foundation/saturating_cast.h"
#include "foundation/string_utils.h"

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
    const std::string format = ::Format("%%05d %%05.%dlf", decimals);
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
