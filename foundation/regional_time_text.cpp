#include "foundation/regional_time_text.h"

#include <ctime>
#include <string>

#include "compat/clock.h"
#include "compat/date_picture.h"
#include "foundation/string_utils.h"
#include "foundation/system_time.h"

namespace {

using Vok::Regional::DatePictureText;
using Vok::Regional::TimePictureText;

constexpr std::size_t kBuffer = 260;
// The buffers of the short record texts.
constexpr std::size_t kShortBuffer = 12;

CString OrEmpty(const std::optional<std::string>& text) { return text ? CString(text->c_str()) : CString(); }

CString TrimmedRight(CString text) {
    text.TrimRight(' ');
    return text;
}

CString ShortDate(const SYSTEMTIME& st) {
    return TrimmedRight(OrEmpty(DatePictureText(st, DATE_SHORTDATE, nullptr, kShortBuffer)));
}

// The clock by decimals 0 to 3; other decimals give nothing.
CString ClockByDecimals(const SYSTEMTIME& st, int decimals) {
    const int h = st.wHour, m = st.wMinute, s = st.wSecond, ms = st.wMilliseconds;
    switch (decimals) {
        case 0: return ::Format("%02d:%02d:%02d", h, m, s).c_str();
        case 1: return ::Format("%02d:%02d:%02d.%01d", h, m, s, ms / 100).c_str();
        case 2: return ::Format("%02d:%02d:%02d.%02d", h, m, s, ms / 10).c_str();
        case 3: return ::Format("%02d:%02d:%02d.%03d", h, m, s, ms).c_str();
        default: return CString();
    }
}

CString ClockByPicture(const SYSTEMTIME& st) {
    return TrimmedRight(OrEmpty(TimePictureText(st, 0, "HH:mm:ss", kShortBuffer)));
}

bool HasNoDate(const SYSTEMTIME* st) { return st == nullptr || (st->wYear == 0 && st->wMonth == 0 && st->wDay == 0); }

bool IsMidnight(const SYSTEMTIME* st) { return st == nullptr || (st->wHour == 0 && st->wMinute == 0 && st->wSecond == 0); }

}  // namespace

CString FormatDate(const CVOKTime& t, const char* picture) {
    if (!t.IsValid()) return "Invalid";
    return OrEmpty(DatePictureText(TimeToSystemTime(t), 0, picture, kBuffer));
}

CString FormatTime(const CVOKTime& t, const char* picture) {
    if (!t.IsValid()) return "Invalid";
    return OrEmpty(TimePictureText(TimeToSystemTime(t), 0, picture, kBuffer));
}

CString FormatDate(const CVOKTime& t, DWORD flags) {
    if (!t.IsValid()) return "Invalid";
    return OrEmpty(DatePictureText(TimeToSystemTime(t), flags, nullptr, kBuffer));
}

CString FormatTime(const CVOKTime& t, DWORD flags) {
    if (!t.IsValid()) return "Invalid";
    return OrEmpty(TimePictureText(TimeToSystemTime(t), flags, nullptr, kBuffer));
}

CString FormatDateTimeLocale(const CVOKTime& t, DWORD dateFlags, DWORD timeFlags) {
    if (!t.IsValid()) return "Invalid";
    return FormatDate(t, dateFlags) + " " + FormatTime(t, timeFlags);
}

CString FormatTimeStrftime(const CVOKTime& t, const char* format) {
    if (!IsAfterEpoch(t)) return "Invalid";
    const SYSTEMTIME st = TimeToSystemTime(t);
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
    std::tm local{};
    if (seconds == static_cast<time_t>(-1) || localtime_r(&seconds, &local) == nullptr || format == nullptr) return "";
    char buffer[128];
    const size_t n = std::strftime(buffer, sizeof buffer, format, &local);
    return CString(buffer, static_cast<int>(n));
}

CString GetLocaleTimeFormat(bool withoutSeconds) {
    std::string picture = Vok::Regional::kTimeFormat;
    if (!withoutSeconds) return picture.c_str();
    const std::string separator = Vok::Regional::kTimeSeparator;
    for (const std::string& field : {separator + "ss", separator + "s"}) {
        const size_t at = picture.find(field);
        if (at != std::string::npos) return picture.erase(at, field.size()).c_str();
    }
    return "";
}

CString GetLocaleShortDateFormat() { return Vok::Regional::kShortDateFormat; }

CString SystemTimeText(const SYSTEMTIME* st, bool withTime) {
    if (HasNoDate(st)) return "00:00:00";
    CString text = ShortDate(*st);
    if (withTime) text += " " + ClockByPicture(*st);
    return text;
}

CString SystemTimeText(const SYSTEMTIME* st, int decimals, bool withTime) {
    if (HasNoDate(st)) return "00:00:00";
    CString text = ShortDate(*st);
    if (withTime) text += " " + ClockByDecimals(*st, decimals);
    return text;
}

CString TimeDateText(const SYSTEMTIME* st, bool withDate) {
    if (IsMidnight(st)) return "00:00:00";
    CString text = ClockByPicture(*st);
    if (withDate) text += " " + ShortDate(*st);
    return text;
}

CString TimeDateText(const SYSTEMTIME* st, int decimals, bool withDate) {
    if (IsMidnight(st)) return "00:00:00";
    CString text = ClockByDecimals(*st, decimals);
    if (withDate) text += " " + ShortDate(*st);
    return text;
}

CString CurrentDateText(bool utc) {
    SYSTEMTIME st{};
    if (utc) GetSystemTime(&st);
    else GetLocalTime(&st);
    return SystemTimeText(&st, false);
}
