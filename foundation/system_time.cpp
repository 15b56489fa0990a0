#include "foundation/system_time.h"

#include <cmath>
#include <ctime>
#include <limits>

#include "compat/clock.h"

namespace {

constexpr double kWeek = 604800.0;

bool HasNoDate(const SYSTEMTIME& st) { return st.wYear == 0 && st.wMonth == 0 && st.wDay == 0; }

sMjdTime InvalidMjd() { return sMjdTime{0, 0, -1.0}; }

}  // namespace

sMjdTime SystemTimeToMjdTime(const SYSTEMTIME& st) {
    if (HasNoDate(st)) return InvalidMjd();
    sMjdTime out{0, 0, 0.0};
    // Times come a day at a time: each thread keeps the numbers of the last two days it met (a
    // time of receipt and a time from the sender may lie on two).
    struct sDate {
        WORD year = 0, month = 0, day = 0;
        int32_t mjd = 0;
        bool Is(const SYSTEMTIME& t) const { return t.wYear == year && t.wMonth == month && t.wDay == day; }
    };
    thread_local sDate days[2];
    thread_local unsigned older = 0;
    if (days[0].Is(st)) {
        out.day = days[0].mjd;
    } else if (days[1].Is(st)) {
        out.day = days[1].mjd;
    } else {
        out.day = CVOKTime::DateToMjd(st.wYear, st.wMonth, st.wDay);
        days[older] = sDate{st.wYear, st.wMonth, st.wDay, out.day};
        older ^= 1u;
    }
    const double second = st.wMilliseconds * 0.001 + st.wSecond;
    // CVOKTime::TimeToSeconds, in its order of sums.
    out.seconds = st.wMinute * 60.0 + second + st.wHour * 3600.0;
    return out;
}

sMjdTime Time64ToMjdTime(const int64_t& t) {
    const auto value = static_cast<time_t>(t);
    std::tm parts{};
    tzset();
    if (localtime_r(&value, &parts) == nullptr) return InvalidMjd();
    // The record's year is 16 bits; year 0 would read as "no date".
    const long long year = static_cast<long long>(parts.tm_year) + 1900;
    if (year < 1 || year > 0xFFFF) return InvalidMjd();
    SYSTEMTIME st{};
    st.wYear = static_cast<WORD>(parts.tm_year + 1900);
    st.wMonth = static_cast<WORD>(parts.tm_mon + 1);
    st.wDayOfWeek = static_cast<WORD>(parts.tm_wday);
    st.wDay = static_cast<WORD>(parts.tm_mday);
    st.wHour = static_cast<WORD>(parts.tm_hour);
    st.wMinute = static_cast<WORD>(parts.tm_min);
    st.wSecond = static_cast<WORD>(parts.tm_sec);
    return SystemTimeToMjdTime(st);
}

SYSTEMTIME TimeToSystemTime(const CVOKTime& t) {
    SYSTEMTIME st{};
    if (!t.IsValid() || t.day == 0) return st;
    if (t.day > 0 && t.seconds >= 0.0 && t.seconds < CVOKTime::kSecondsPerDay) {
        // The usual time, within its day: whole milliseconds, rounded as GetDateTimeMs rounds them
        // (which, for every millisecond of a day, gives the fields that integers give), on the date
        // of the day that this thread converted last. Not negative: truncation is the floor.
        const auto total = static_cast<uint32_t>(t.seconds * 1000.0 + 0.5);
        if (total < uint32_t{CVOKTime::kSecondsPerDay} * 1000) {
            struct sDay {
                int32_t mjd = 0;
                WORD year = 0, month = 0, day = 0, dayOfWeek = 0;
            };
            thread_local sDay last;
            if (t.day != last.mjd) {
                int year = 0, month = 0, day = 0;
                CVOKTime::MjdToDate(t.day, year, month, day);
                // MJD 0 (1858-11-17) was a Wednesday. In 64 bits: the day may be any word another
                // process wrote, INT32_MAX included.
                const int64_t dayOfWeek = ((int64_t{t.day} + 3) % 7 + 7) % 7;
                last = sDay{t.day, static_cast<WORD>(year), static_cast<WORD>(month), static_cast<WORD>(day),
                            static_cast<WORD>(dayOfWeek)};
            }
            st.wYear = last.year;
            st.wMonth = last.month;
            st.wDayOfWeek = last.dayOfWeek;
            st.wDay = last.day;
            const uint32_t second = total / 1000;
            const uint32_t hour = second / 3600;
            const uint32_t inHour = second - hour * 3600;
            const uint32_t minute = inHour / 60;
            st.wHour = static_cast<WORD>(hour);
            st.wMinute = static_cast<WORD>(minute);
            st.wSecond = static_cast<WORD>(inHour - minute * 60);
            st.wMilliseconds = static_cast<WORD>(total - second * 1000);
            return st;
        }
    }
    int year, month, day, dow, hour, minute, second, ms;
    t.GetDateTimeMs(year, month, day, dow, hour, minute, second, ms);
    st.wYear = static_cast<WORD>(year);
    st.wMonth = static_cast<WORD>(month);
    st.wDayOfWeek = static_cast<WORD>(dow);
    st.wDay = static_cast<WORD>(day);
    st.wHour = static_cast<WORD>(hour);
    st.wMinute = static_cast<WORD>(minute);
    st.wSecond = static_cast<WORD>(second);
    st.wMilliseconds = static_cast<WORD>(ms);
    return st;
}

sMjdTime GpsWeekTimeToMjdTime(const sGpsWeekTime& g, double offsetSeconds) {
    if (g.week <= 0 || g.seconds < 0.0) return InvalidMjd();
    CVOKTime t(g);
    if (offsetSeconds != 0.0) t -= offsetSeconds;
    return t.GetMjdTime();
}

sGpsWeekTime TimeToGpsWeekTime(const CVOKTime& t, double offsetSeconds) {
    if (!t.IsValid() || t.day == 0) return sGpsWeekTime{0, 0, 0.0};
    CVOKTime copy(t);
    if (offsetSeconds != 0.0) copy += offsetSeconds;
    return copy.GetGpsTime();
}

sGpsWeekTime SystemTimeToGpsWeekTime(const SYSTEMTIME& st, double offsetSeconds) {
    if (HasNoDate(st)) return sGpsWeekTime{0, 0, 0.0};
    CVOKTime t(SystemTimeToMjdTime(st));
    if (offsetSeconds != 0.0) t += offsetSeconds;
    return t.GetGpsTime();
}

void GetDateTime(const CVOKTime& t, int& year, int& month, int& day, int& hour, int& minute, double& second) {
    t.GetDateTime(year, month, day, hour, minute, second);
}

CVOKTime CurrentUtcTime() {
    SYSTEMTIME st{};
    GetSystemTime(&st);
    return CVOKTime(SystemTimeToMjdTime(st));
}

CVOKTime CurrentLocalTime() {
    SYSTEMTIME st{};
    GetLocalTime(&st);
    return CVOKTime(SystemTimeToMjdTime(st));
}

void AdjustSystemTimeToReference(SYSTEMTIME& t, const SYSTEMTIME& ref) {
    const CVOKTime reference(SystemTimeToMjdTime(ref));
    // Without a reference date there is nothing to move towards.
    if (!reference.IsValid() || reference.day == 0) return;
    CVOKTime time(SystemTimeToMjdTime(t));
    time.AdjustDayToReference(reference);
    t = TimeToSystemTime(time);
}

SYSTEMTIME* SystemTimeToLocalSystemTime(SYSTEMTIME& local, const SYSTEMTIME& utc) {
    Vok::Clock::UtcToLocalSystemTime(utc, local);
    return &local;
}

SYSTEMTIME* LocalSystemTimeToSystemTime(SYSTEMTIME& utc, const SYSTEMTIME& local) {
    Vok::Clock::LocalToUtcSystemTime(local, utc);
    return &utc;
}

CVOKTime UtcToLocal(const CVOKTime& utc) {
    SYSTEMTIME local{};
    if (!Vok::Clock::UtcToLocalSystemTime(TimeToSystemTime(utc), local)) return CVOKTime();
    return CVOKTime(SystemTimeToMjdTime(local));
}

CVOKTime LocalToUtc(const CVOKTime& local) {
    SYSTEMTIME utc{};
    if (!Vok::Clock::LocalToUtcSystemTime(TimeToSystemTime(local), utc)) return CVOKTime();
    return CVOKTime(SystemTimeToMjdTime(utc));
}

double GetTimeZoneOffsetHours() {
    int32_t minutes = 0;
    if (!Vok::Clock::CurrentUtcOffsetMinutes(minutes)) return 0.0;
    return minutes / 60.0;
}

CVOKTime GpsSecondsOfWeekToTime(const SYSTEMTIME& reference, double secondsOfWeek, bool applyOffset,
                                double offset) {
    const double s = applyOffset ? secondsOfWeek - offset : secondsOfWeek;
    CVOKTime t(SystemTimeToMjdTime(reference));
    const sGpsWeekTime ref = t.GetGpsTime();
    t.SetGpsTime(ref.week, 0.0);
    if (ref.seconds < 900.0 && s > 603900.0) {
        t -= kWeek;
    } else if (s < 900.0 && ref.seconds > 603900.0) {
        t += kWeek;
    }
    t += s;
    return t;
}

void AdjustMinuteToReference(CVOKTime& t, const CVOKTime& ref) {
    // Only a real reference with a date gives the walk below an end; one whose instant lies
    // beyond the day numbers a time can hold would never be reached.
    if (!ref.IsValid() || ref.day == 0 || !std::isfinite(ref.seconds) || !std::isfinite(t.seconds)) return;
    const double refDay = static_cast<double>(ref.day) + std::floor(ref.seconds / 86400.0);
    if (refDay < std::numeric_limits<int32_t>::min() + 1.0 || refDay > std::numeric_limits<int32_t>::max() - 1.0)
        return;
    const SYSTEMTIME r = TimeToSystemTime(ref);
    const SYSTEMTIME u = TimeToSystemTime(t);
    SYSTEMTIME start = r;
    start.wMinute = u.wMinute;
    start.wSecond = u.wSecond;
    start.wMilliseconds = u.wMilliseconds;
    t = CVOKTime(SystemTimeToMjdTime(start));
    // Jump most of a long way at once; the minute steps then finish as they would have alone.
    const double diff = t - ref;
    if (diff >= 60.0) {
        const double n = std::floor((diff - 60.0) / 60.0) - 1.0;
        if (n > 0.0) t -= n * 60.0;
    } else if (diff <= -60.0) {
        const double n = std::floor((-60.0 - diff) / 60.0) - 1.0;
        if (n > 0.0) t += n * 60.0;
    }
    while (t - ref >= 60.0) t -= 60.0;
    while (t - ref <= -60.0) t += 60.0;
}

CVOKTime MidTime(const CVOKTime& a, const CVOKTime& b) {
    if (!a.IsValid() || !b.IsValid()) return CVOKTime();
    const double ta = (static_cast<double>(a.day) - CVOKTime::kMjdUnixEpoch) * 86400.0 + a.seconds;
    const double tb = (static_cast<double>(b.day) - CVOKTime::kMjdUnixEpoch) * 86400.0 + b.seconds;
    return CVOKTime((ta + tb) * 0.5);
}

double AbsTimeDifference(const CVOKTime& a, const CVOKTime& b) {
    if (!a.IsValid() || !b.IsValid()) return 0.0;
    return std::fabs(a - b);
}

int GetDayOfYear(const SYSTEMTIME& st) { return CVOKTime(SystemTimeToMjdTime(st)).GetDayOfYear(); }

int GetDayOfYear(const CVOKTime& t) { return t.GetDayOfYear(); }

int GetDaysInYear(const CVOKTime& t) { return t.GetDaysInYear(); }

int GetDaysInMonth(const CVOKTime& t) {
    if (!t.IsValid()) return 0;
    const SYSTEMTIME st = TimeToSystemTime(t);
    switch (st.wMonth) {
        case 1: case 3: case 5: case 7: case 8: case 10: case 12: return 31;
        case 4: case 6: case 9: case 11: return 30;
        case 2: return CVOKTime::IsLeapYear(st.wYear) ? 29 : 28;
        default: return 0;
    }
}

bool IsLeapYear(const CVOKTime& t) {
    if (!t.IsValid()) return false;
    return CVOKTime::IsLeapYear(TimeToSystemTime(t).wYear);
}

double GetCurrentDecimalYear() {
    SYSTEMTIME st{};
    CVOKTime t;
    return GetCurrentDecimalYear(st, t);
}

double GetCurrentDecimalYear(SYSTEMTIME& st, CVOKTime& t) {
    GetSystemTime(&st);
    st.wHour = 12;
    st.wMinute = 0;
    st.wSecond = 0;
    st.wMilliseconds = 0;
    t = CVOKTime(SystemTimeToMjdTime(st));
    return t.GetDecimalYear();
}

bool IsAfterEpoch(const CVOKTime& t) {
    if (!t.IsValid()) return false;
    return (static_cast<double>(t.day) - CVOKTime::kMjdUnixEpoch) * 86400.0 + t.seconds > 0.0;
}

SYSTEMTIME* SystemTimeDifference(SYSTEMTIME& result, const SYSTEMTIME& a, const SYSTEMTIME& b) {
    FILETIME fa{}, fb{};
    if (!SystemTimeToFileTime(&a, &fa) || !SystemTimeToFileTime(&b, &fb)) return nullptr;
    const uint64_t ta = (uint64_t{fa.dwHighDateTime} << 32) | fa.dwLowDateTime;
    const uint64_t tb = (uint64_t{fb.dwHighDateTime} << 32) | fb.dwLowDateTime;
    // A negative span has no date; FileTimeToSystemTime refuses it by its top bit.
    const uint64_t span = ta - tb;
    const FILETIME fs{static_cast<DWORD>(span & 0xFFFFFFFFu), static_cast<DWORD>(span >> 32)};
    SYSTEMTIME out{};
    if (!FileTimeToSystemTime(&fs, &out)) return nullptr;
    result = out;
    return &result;
}

double ElapsedSeconds(int64_t startCounter, int64_t endCounter) {
    LONGLONG frequency = 0;
    if (!QueryPerformanceFrequency(&frequency) || frequency <= 0) return 0.0;
    // 128-bit arithmetic: the difference times 100000 overflows 64 bits after about a day.
    const __int128 span = static_cast<__int128>(endCounter) - startCounter;
    const __int128 units = span * 100000 / frequency;
    return static_cast<double>(units) / 100000.0;
}
