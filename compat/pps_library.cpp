#include "compat/pps_library.h"

#include <sys/timex.h>

#include <cstdlib>
#include <cstring>
#include <ctime>

#include "compat/clock.h"

namespace {

SYSTEMTIME ToSystemTime(const timespec& ts) {
    SYSTEMTIME fast{};
    if (Vok::Clock::UnixTimeToSystemTime(ts.tv_sec, static_cast<WORD>(ts.tv_nsec / 1000000), fast)) return fast;
    tm parts{};
    const time_t seconds = ts.tv_sec;
    gmtime_r(&seconds, &parts);
    SYSTEMTIME st{};
    st.wYear = static_cast<WORD>(parts.tm_year + 1900);
    st.wMonth = static_cast<WORD>(parts.tm_mon + 1);
    st.wDayOfWeek = static_cast<WORD>(parts.tm_wday);
    st.wDay = static_cast<WORD>(parts.tm_mday);
    st.wHour = static_cast<WORD>(parts.tm_hour);
    st.wMinute = static_cast<WORD>(parts.tm_min);
    st.wSecond = static_cast<WORD>(parts.tm_sec);
    st.wMilliseconds = static_cast<WORD>(ts.tv_nsec / 1000000);
    return st;
}

timespec Now(clockid_t clock) {
    timespec ts{};
    clock_gettime(clock, &ts);
    return ts;
}

int64_t Nanoseconds(const timespec& ts) { return static_cast<int64_t>(ts.tv_sec) * 1000000000 + ts.tv_nsec; }

bool IsLeapYear(int year) { return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0; }

int DaysInMonth(int year, int month) {
    static const int days[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return month == 2 && IsLeapYear(year) ? 29 : days[month - 1];
}

}  // namespace

void GetPpsTime(SYSTEMTIME* out) {
    if (out == nullptr) return;
    const timespec now = Now(CLOCK_REALTIME);
    if (!Vok::Clock::UnixTimeToSystemTime(now.tv_sec, static_cast<WORD>(now.tv_nsec / 1000000), *out))
        *out = ToSystemTime(now);
}

sPpsReading ReadPpsClock() {
    sPpsReading reading;
    reading.real = Now(CLOCK_REALTIME);
    reading.monotonic = Now(CLOCK_MONOTONIC);
    return reading;
}

sPpsReading ReadPpsClockAt(const timespec& past) {
    sPpsReading reading = ReadPpsClock();
    const int64_t since = Nanoseconds(reading.real) - Nanoseconds(past);
    if (since > 0 && since <= Nanoseconds(reading.monotonic)) {
        const int64_t counter = Nanoseconds(reading.monotonic) - since;
        reading.monotonic.tv_sec = static_cast<time_t>(counter / 1000000000);
        reading.monotonic.tv_nsec = static_cast<long>(counter % 1000000000);
    }
    reading.real = past;
    return reading;
}

SYSTEMTIME PpsTimeOf(const sPpsReading& reading) {
    SYSTEMTIME time{};
    if (!Vok::Clock::UnixTimeToSystemTime(reading.real.tv_sec, static_cast<WORD>(reading.real.tv_nsec / 1000000), time))
        time = ToSystemTime(reading.real);
    return time;
}

int IsPpsValid() {
    const char* forced = std::getenv("VOK_PPS_VALID");
    if (forced != nullptr && std::strcmp(forced, "0") == 0) return 0;
    if (forced != nullptr && std::strcmp(forced, "1") == 0) return 1;
    timex tx{};  // modes 0: read only, allowed without privileges
    const int state = adjtimex(&tx);
    return state >= 0 && state != TIME_ERROR ? 1 : 0;
}

void GetPpsTimeEx(SYSTEMTIME* pulse, int64_t* pulseCounter, int64_t* nowCounter, SYSTEMTIME* now) {
    const sPpsReading reading = ReadPpsClock();
    GetPpsTimeExAt(reading, PpsTimeOf(reading), pulse, pulseCounter, nowCounter, now);
}

void GetPpsTimeExAt(const sPpsReading& reading, const SYSTEMTIME& time, SYSTEMTIME* pulse, int64_t* pulseCounter,
                    int64_t* nowCounter, SYSTEMTIME* now) {
    // Both clocks were read back to back, so the pulse's counter is the monotonic time elapsed since
    // that whole second, measured from the same instant; the pulse is the time without its
    // milliseconds.
    const int64_t sincePulse = reading.real.tv_nsec;
    if (pulse != nullptr) {
        *pulse = time;
        pulse->wMilliseconds = 0;
    }
    if (pulseCounter != nullptr) *pulseCounter = Nanoseconds(reading.monotonic) - sincePulse;
    if (nowCounter != nullptr) *nowCounter = Nanoseconds(reading.monotonic);
    if (now != nullptr) *now = time;
}

WORD CheckUtcDate(SYSTEMTIME* date, int correct) {
    if (date == nullptr) return PPS_DATE_UNCHANGED;
    const SYSTEMTIME today = ToSystemTime(Now(CLOCK_REALTIME));
    int year = date->wYear;
    WORD result = PPS_DATE_UNCHANGED;
    if (year < 100) {
        const int thisYear = today.wYear;
        year += thisYear - thisYear % 100;
        if (year >= thisYear + 50) year -= 100;
        if (year < thisYear - 50) year += 100;
        result = PPS_DATE_CENTURY_ADDED;
    }
    const int month = date->wMonth;
    const int day = date->wDay;
    const bool possible = month >= 1 && month <= 12 && day >= 1 && day <= DaysInMonth(year, month);
    if (!possible) result = PPS_DATE_REPLACED;
    if (correct == 0) return result;
    if (possible) {
        date->wYear = static_cast<WORD>(year);
    } else {
        date->wYear = today.wYear;
        date->wMonth = today.wMonth;
        date->wDay = today.wDay;
    }
    return result;
}
