#include "compat/clock.h"

#include <cstdint>
#include <ctime>

namespace {

constexpr int64_t kTicksPerSecond = 10000000;           // 100-ns units
constexpr int64_t kTicksPerDay = kTicksPerSecond * 86400;
constexpr int64_t kDaysFrom1601To1970 = 134774;

// Days since 1970-01-01 of a proleptic Gregorian date, and back (H. Hinnant's algorithms).
int64_t DaysFromCivil(int64_t y, unsigned m, unsigned d) {
    y -= m <= 2;
    const int64_t era = (y >= 0 ? y : y - 399) / 400;
    const unsigned yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<int64_t>(doe) - 719468;
}

void CivilFromDays(int64_t z, int64_t& y, unsigned& m, unsigned& d) {
    z += 719468;
    const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const unsigned doe = static_cast<unsigned>(z - era * 146097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    d = doy - (153 * mp + 2) / 5 + 1;
    m = mp < 10 ? mp + 3 : mp - 9;
    y = static_cast<int64_t>(yoe) + era * 400 + (m <= 2);
}

bool IsLeap(unsigned y) { return y % 4 == 0 && (y % 100 != 0 || y % 400 == 0); }

bool IsCalendarTime(const SYSTEMTIME& st) { return Vok::Clock::IsCalendarDate(st) && Vok::Clock::IsClockTime(st); }

std::tm ToTm(const SYSTEMTIME& st) {
    std::tm t{};
    t.tm_year = st.wYear - 1900;
    t.tm_mon = st.wMonth - 1;
    t.tm_mday = st.wDay;
    t.tm_hour = st.wHour;
    t.tm_min = st.wMinute;
    t.tm_sec = st.wSecond;
    return t;
}

// False when the broken-down time does not fit the record's 16-bit years.
bool FromTm(const std::tm& t, WORD milliseconds, SYSTEMTIME& st) {
    const long long year = static_cast<long long>(t.tm_year) + 1900;
    if (year < 1 || year > 0xFFFF) return false;
    st.wYear = static_cast<WORD>(year);
    st.wMonth = static_cast<WORD>(t.tm_mon + 1);
    st.wDayOfWeek = static_cast<WORD>(t.tm_wday);
    st.wDay = static_cast<WORD>(t.tm_mday);
    st.wHour = static_cast<WORD>(t.tm_hour);
    st.wMinute = static_cast<WORD>(t.tm_min);
    st.wSecond = static_cast<WORD>(t.tm_sec);
    st.wMilliseconds = milliseconds;
    return true;
}

void Now(SYSTEMTIME* st, bool local) {
    if (st == nullptr) return;
    timespec now{};
    clock_gettime(CLOCK_REALTIME, &now);
    if (!local) {
        if (!Vok::Clock::UnixTimeToSystemTime(now.tv_sec, static_cast<WORD>(now.tv_nsec / 1000000), *st))
            *st = SYSTEMTIME{};
        return;
    }
    std::tm parts{};
    // localtime_r need not look at TZ again by itself; the zone is read at each call.
    if (local) tzset();
    const bool ok = local ? localtime_r(&now.tv_sec, &parts) != nullptr : gmtime_r(&now.tv_sec, &parts) != nullptr;
    SYSTEMTIME result{};
    if (ok && FromTm(parts, static_cast<WORD>(now.tv_nsec / 1000000), result)) *st = result;
    else *st = SYSTEMTIME{};
}

}  // namespace

void GetSystemTime(SYSTEMTIME* st) { Now(st, false); }

void GetLocalTime(SYSTEMTIME* st) { Now(st, true); }

BOOL SystemTimeToFileTime(const SYSTEMTIME* st, FILETIME* ft) {
    if (st == nullptr || ft == nullptr || !IsCalendarTime(*st)) return FALSE;
    const int64_t days = DaysFromCivil(st->wYear, st->wMonth, st->wDay) + kDaysFrom1601To1970;
    const int64_t seconds = st->wHour * 3600 + st->wMinute * 60 + st->wSecond;
    const uint64_t ticks = static_cast<uint64_t>(days * kTicksPerDay + seconds * kTicksPerSecond +
                                                 int64_t{st->wMilliseconds} * 10000);
    ft->dwLowDateTime = static_cast<DWORD>(ticks & 0xFFFFFFFFu);
    ft->dwHighDateTime = static_cast<DWORD>(ticks >> 32);
    return TRUE;
}

BOOL FileTimeToSystemTime(const FILETIME* ft, SYSTEMTIME* st) {
    if (ft == nullptr || st == nullptr) return FALSE;
    const uint64_t raw = (uint64_t{ft->dwHighDateTime} << 32) | ft->dwLowDateTime;
    if (raw & (uint64_t{1} << 63)) return FALSE;
    const auto ticks = static_cast<int64_t>(raw);
    const int64_t days = ticks / kTicksPerDay;
    int64_t rest = ticks % kTicksPerDay;
    int64_t year = 0;
    unsigned month = 0, day = 0;
    CivilFromDays(days - kDaysFrom1601To1970, year, month, day);
    SYSTEMTIME out{};
    out.wYear = static_cast<WORD>(year);
    out.wMonth = static_cast<WORD>(month);
    out.wDay = static_cast<WORD>(day);
    out.wDayOfWeek = static_cast<WORD>((days + 1) % 7);  // 1601-01-01 was a Monday
    out.wHour = static_cast<WORD>(rest / (3600 * kTicksPerSecond));
    rest %= 3600 * kTicksPerSecond;
    out.wMinute = static_cast<WORD>(rest / (60 * kTicksPerSecond));
    rest %= 60 * kTicksPerSecond;
    out.wSecond = static_cast<WORD>(rest / kTicksPerSecond);
    out.wMilliseconds = static_cast<WORD>((rest % kTicksPerSecond) / 10000);
    *st = out;
    return TRUE;
}

BOOL QueryPerformanceCounter(LONGLONG* count) {
    if (count == nullptr) return FALSE;
    timespec now{};
    if (clock_gettime(CLOCK_MONOTONIC, &now) != 0) return FALSE;
    *count = static_cast<LONGLONG>(now.tv_sec) * 1000000000 + now.tv_nsec;
    return TRUE;
}

BOOL QueryPerformanceFrequency(LONGLONG* frequency) {
    if (frequency == nullptr) return FALSE;
    *frequency = 1000000000;
    return TRUE;
}

namespace Vok::Clock {

bool UtcToLocalSystemTime(const SYSTEMTIME& utc, SYSTEMTIME& local) {
    if (!IsCalendarTime(utc)) return false;
    tzset();
    std::tm parts = ToTm(utc);
    const time_t t = timegm(&parts);
    std::tm out{};
    if (localtime_r(&t, &out) == nullptr) return false;
    SYSTEMTIME result{};
    if (!FromTm(out, utc.wMilliseconds, result)) return false;
    local = result;
    return true;
}

bool LocalToUtcSystemTime(const SYSTEMTIME& local, SYSTEMTIME& utc) {
    if (!IsCalendarTime(local)) return false;
    tzset();
    std::tm parts = ToTm(local);
    parts.tm_isdst = -1;
    // mktime returns -1 both for an error and for 1969-12-31 23:59:59 UTC; only a success fills
    // in the day of week.
    parts.tm_wday = -1;
    const time_t t = mktime(&parts);
    if (t == static_cast<time_t>(-1) && parts.tm_wday == -1) return false;
    std::tm out{};
    if (gmtime_r(&t, &out) == nullptr) return false;
    SYSTEMTIME result{};
    if (!FromTm(out, local.wMilliseconds, result)) return false;
    utc = result;
    return true;
}

bool CurrentUtcOffsetMinutes(int32_t& minutes) {
    tzset();
    const time_t now = time(nullptr);
    std::tm parts{};
    if (now == static_cast<time_t>(-1) || localtime_r(&now, &parts) == nullptr) return false;
    minutes = static_cast<int32_t>(parts.tm_gmtoff / 60);
    return true;
}

}  // namespace Vok::Clock

namespace Vok::Clock {

bool IsCalendarDate(const SYSTEMTIME& st) {
    static constexpr unsigned kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (st.wYear < 1601 || st.wYear > 30827 || st.wMonth < 1 || st.wMonth > 12) return false;
    const unsigned days = kDays[st.wMonth - 1] + (st.wMonth == 2 && IsLeap(st.wYear) ? 1 : 0);
    return st.wDay >= 1 && st.wDay <= days;
}

bool IsClockTime(const SYSTEMTIME& st) {
    return st.wHour < 24 && st.wMinute < 60 && st.wSecond < 60 && st.wMilliseconds < 1000;
}

bool UnixTimeToSystemTime(int64_t seconds, WORD milliseconds, SYSTEMTIME& st) {
    struct sDay {
        int64_t start = 1;  // seconds of its midnight; 1 (no midnight) before the first day
        bool valid = false;
        WORD year = 0, month = 0, dayOfMonth = 0, dayOfWeek = 0;
    };
    // 1601-01-01 and 30828-01-01: nothing outside is a calendar time here.
    if (seconds < -11644473600 || seconds >= 910670515200) return false;
    thread_local sDay last;
    uint64_t rest = static_cast<uint64_t>(seconds) - static_cast<uint64_t>(last.start);
    if (last.start == 1 || rest >= 86400) {
        // Floor division: a time before 1970 lies on the day before its truncated quotient.
        int64_t day = seconds / 86400;
        if (seconds % 86400 < 0) --day;
        int64_t year = 0;
        unsigned month = 0, dayOfMonth = 0;
        CivilFromDays(day, year, month, dayOfMonth);
        last.start = day * 86400;
        last.valid = year >= 1601 && year <= 30827;
        last.year = static_cast<WORD>(year);
        last.month = static_cast<WORD>(month);
        last.dayOfMonth = static_cast<WORD>(dayOfMonth);
        last.dayOfWeek = static_cast<WORD>(((day % 7) + 7 + 4) % 7);  // 1970-01-01 was a Thursday
        rest = static_cast<uint64_t>(seconds) - static_cast<uint64_t>(last.start);
    }
    if (!last.valid) return false;
    const auto second = static_cast<uint32_t>(rest);
    const uint32_t hour = second / 3600;
    const uint32_t inHour = second - hour * 3600;
    const uint32_t minute = inHour / 60;
    st.wYear = last.year;
    st.wMonth = last.month;
    st.wDayOfWeek = last.dayOfWeek;
    st.wDay = last.dayOfMonth;
    st.wHour = static_cast<WORD>(hour);
    st.wMinute = static_cast<WORD>(minute);
    st.wSecond = static_cast<WORD>(inHour - minute * 60);
    st.wMilliseconds = milliseconds;
    return true;
}

int DayOfWeek(const SYSTEMTIME& st) {
    // 1970-01-01 was a Thursday.
    const int64_t days = DaysFromCivil(st.wYear, st.wMonth, st.wDay);
    return static_cast<int>(((days % 7) + 7 + 4) % 7);
}

}  // namespace Vok::Clock
