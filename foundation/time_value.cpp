#include "foundation/time_value.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include <boost/date_time/gregorian/gregorian.hpp>
#include <boost/date_time/posix_time/posix_time.hpp>

#include "foundation/saturating_cast.h"

namespace {

using Vok::TruncToInt32;
using Vok::TruncToInt64;

constexpr double kDay = 86400.0;
constexpr double kHalfDay = 43200.0;
constexpr double kWeek = 604800.0;
constexpr double kHalfWeek = 302400.0;

// Day numbers are 32-bit; arithmetic on them runs in 64 bits (day counts taken from doubles are
// first limited to 32 bits) and wraps back to 32 bits.
int32_t Narrow(int64_t value) { return static_cast<int32_t>(value); }

// Seconds of a clock time, whole hours and minutes first: the sum in this order is what the
// constructors and setters store, to the last bit (TimeToSeconds adds in another order).
double ClockSeconds(int hour, int minute, double second) { return hour * 3600.0 + minute * 60.0 + second; }

int Mod7(int64_t value) { return static_cast<int>(((value % 7) + 7) % 7); }

bool InInt32(int64_t value) {
    return value >= std::numeric_limits<int32_t>::min() && value <= std::numeric_limits<int32_t>::max();
}

void SetFromPtime(CVOKTime& t, const boost::posix_time::ptime& now) {
    const auto date = now.date();
    const auto tod = now.time_of_day();
    const int64_t hours = tod.hours();
    const int64_t minutes = tod.minutes();
    const int64_t restUs = tod.total_microseconds() - (hours * 3600 + minutes * 60) * 1000000;
    t.SetDate(date.year(), date.month(), date.day(),
              static_cast<double>(hours * 3600 + minutes * 60) + static_cast<double>(restUs) * 1e-6);
}

// Number of whole steps of size `step` that certainly lie inside the walk from `diff` into the
// window [-half, half]; the step-by-step walk finishes the last one or two, so the result is the
// same as walking all the way, only without the long loop.
double SafeJump(double diff, double half, double step) {
    if (diff > half) return std::max(0.0, std::floor((diff - half) / step) - 1.0);
    if (diff < -half) return -std::max(0.0, std::floor((-half - diff) / step) - 1.0);
    return 0.0;
}

}  // namespace

// --- Calendar statics ----------------------------------------------------------------------------

void CVOKTime::DateToMjd(int32_t& mjd, int year, int month, int dayOfMonth) {
    const int64_t a = month < 3 ? 1 : 0;
    const int64_t y = static_cast<int64_t>(year) - a;
    const int64_t c = y / 100;
    const int64_t m = month < 3 ? (153 * static_cast<int64_t>(month) + 1379) / 5
                                : (153 * static_cast<int64_t>(month) - 457) / 5;
    mjd = Narrow(146097 * c / 4 + 1461 * (y - 100 * c) / 4 + m + dayOfMonth - 678882);
}

int32_t CVOKTime::DateToMjd(int year, int month, int dayOfMonth) {
    int32_t mjd = 0;
    DateToMjd(mjd, year, month, dayOfMonth);
    return mjd;
}

void CVOKTime::MjdToDate(int32_t mjd, int& year, int& month, int& dayOfMonth) {
    const uint32_t t = 4u * static_cast<uint32_t>(mjd) + 2715527u;
    const uint32_t century = t / 146097u;
    const uint32_t r = 4u * ((t % 146097u) / 4u) + 3u;
    uint32_t y = 100u * century + r / 1461u;
    const uint32_t x = 5u * ((r % 1461u) / 4u) + 2u;
    uint32_t m = x / 153u;
    dayOfMonth = static_cast<int>((x % 153u) / 5u + 1u);
    if (m > 9u) {
        m -= 9u;
        y += 1u;
    } else {
        m += 3u;
    }
    year = static_cast<int>(y);
    month = static_cast<int>(m);
}

void CVOKTime::TimeToSeconds(double& secs, int hour, int minute, double second) {
    secs = TimeToSeconds(hour, minute, second);
}

double CVOKTime::TimeToSeconds(int hour, int minute, double second) {
    return minute * 60.0 + second + hour * 3600.0;
}

void CVOKTime::SecondsToTime(double secs, int& hour, int& minute, double& second) {
    hour = TruncToInt32(secs / 3600.0);
    secs -= hour * 3600.0;
    minute = TruncToInt32(secs / 60.0);
    secs -= minute * 60.0;
    second = secs;
}

bool CVOKTime::IsLeapYear(int year) {
    return year % 4 == 0 && (year % 100 != 0 || year % 400 == 0);
}

int32_t CVOKTime::JanZero(int year) {
    const int64_t y = static_cast<int64_t>(year) - 1;
    const int64_t c = y / 100;
    return Narrow(146097 * c / 4 + 1461 * (y - 100 * c) / 4 - 678576);
}

int CVOKTime::GetCurrentYear() {
    const std::time_t now = std::time(nullptr);
    std::tm parts{};
    if (now != static_cast<std::time_t>(-1) && gmtime_r(&now, &parts) != nullptr)
        return parts.tm_year + 1900;
    return static_cast<int>(std::lround(GetCurrentDecimalYear()));
}

double CVOKTime::GetCurrentDecimalYear() { return TodayNoonUtc().GetDecimalYear(); }

CVOKTime CVOKTime::TodayNoonUtc() {
    const auto today = boost::gregorian::day_clock::universal_day();
    CVOKTime t;
    t.SetDate(today.year(), today.month(), today.day(), kNoonSeconds);
    return t;
}

// --- Construction and setters --------------------------------------------------------------------

CVOKTime::CVOKTime(const sMjdTime& t) : day(t.day), seconds(t.seconds) {}

CVOKTime::CVOKTime(const sGpsWeekTime& t) { SetGpsTime(t); }

CVOKTime::CVOKTime(double unixSeconds) { SetUnixTime(unixSeconds); }

CVOKTime::CVOKTime(const struct tm& t) { SetFromTm(t); }

CVOKTime::CVOKTime(int year, int month, int dayOfMonth, int hour, int minute, double second) {
    SetDateTime(year, month, dayOfMonth, hour, minute, second);
}

CVOKTime::CVOKTime(int year, int dayOfYear, int hour, int minute, double second) {
    SetYearDayTime(year, dayOfYear, hour, minute, second);
}

CVOKTime::CVOKTime(int year, double fraction, bool meanYear) { SetYearFraction(year, fraction, meanYear); }

CVOKTime::CVOKTime(int hour, int minute, double second) : day(0), seconds(ClockSeconds(hour, minute, second)) {}

void CVOKTime::SetMjdTime(const sMjdTime& t) {
    day = t.day;
    seconds = t.seconds;
}

void CVOKTime::Assign(const CVOKTime& t) {
    day = t.day;
    seconds = t.seconds;
}

void CVOKTime::SetDate(int year, int month, int dayOfMonth, double secondsOfDay) {
    DateToMjd(day, year, month, dayOfMonth);
    seconds = secondsOfDay;
}

void CVOKTime::SetDateTime(int year, int month, int dayOfMonth, int hour, int minute, double second) {
    SetDate(year, month, dayOfMonth, ClockSeconds(hour, minute, second));
}

void CVOKTime::SetFromTm(const struct tm& t) {
    SetDate(static_cast<int>(static_cast<int64_t>(t.tm_year) + 1900),
            static_cast<int>(static_cast<int64_t>(t.tm_mon) + 1), t.tm_mday,
            t.tm_hour * 3600.0 + t.tm_min * 60.0 + t.tm_sec);
}

void CVOKTime::SetYearDayTime(int year, int dayOfYear, int hour, int minute, double second) {
    day = Narrow(static_cast<int64_t>(JanZero(year)) + dayOfYear);
    seconds = ClockSeconds(hour, minute, second);
}

void CVOKTime::SetYearFraction(int year, double fraction, bool meanYear) {
    const double length = meanYear ? kMeanYearDays : 365.0 + (IsLeapYear(year) ? 1.0 : 0.0);
    const double x = length * fraction + 1.0;
    const int64_t d = TruncToInt32(x);
    seconds = (x - static_cast<double>(d)) * kDay;
    day = Narrow(static_cast<int64_t>(JanZero(year)) + d);
}

void CVOKTime::SetDecimalYear(double x) {
    const int year = TruncToInt32(std::floor(x));
    SetYearFraction(year, x - year, false);
}

void CVOKTime::SetUnixTime(double unixSeconds) {
    const int64_t k = TruncToInt32(std::floor(unixSeconds / kDay));
    day = Narrow(k + kMjdUnixEpoch);
    seconds = unixSeconds - static_cast<double>(k) * kDay;
}

void CVOKTime::SetTotalSeconds(double t) {
    const int64_t k = TruncToInt32(std::floor(t / kDay));
    day = Narrow(k);
    seconds = t - static_cast<double>(k) * kDay;
}

void CVOKTime::SetGpsTime(int32_t week, double secondsOfWeek) {
    day = Narrow(7 * static_cast<int64_t>(week) - TruncToInt32(secondsOfWeek / -kDay) + kMjdGpsEpoch);
    seconds = std::fmod(secondsOfWeek, kDay);
}

void CVOKTime::SetGpsTime(const sGpsWeekTime& t) { SetGpsTime(t.week, t.seconds); }

void CVOKTime::SetCurrentUtcTime() { SetFromPtime(*this, boost::posix_time::microsec_clock::universal_time()); }

void CVOKTime::SetCurrentLocalTime() {
    tzset();  // the clock's local time follows the zone as it is now
    SetFromPtime(*this, boost::posix_time::microsec_clock::local_time());
}

void CVOKTime::TruncateSeconds(int n) {
    n = std::max(n, 1);
    seconds -= std::fmod(seconds, static_cast<double>(n));
}

// --- Getters -------------------------------------------------------------------------------------

bool CVOKTime::GetMjdTime(sMjdTime& t) const {
    t = sMjdTime{0, 0, 0.0};
    if (!IsValid()) return false;
    t.day = day;
    t.seconds = seconds;
    return true;
}

sMjdTime CVOKTime::GetMjdTime() const {
    sMjdTime t;
    GetMjdTime(t);
    return t;
}

bool CVOKTime::GetGpsTime(sGpsWeekTime& t) const {
    t = sGpsWeekTime{0, 0, 0.0};
    if (!IsValid()) return false;
    const int64_t d = static_cast<int64_t>(day) - kMjdGpsEpoch;
    const int64_t week = d / 7;
    t.week = Narrow(week);
    t.seconds = static_cast<double>(d - 7 * week) * kDay + seconds;
    return true;
}

sGpsWeekTime CVOKTime::GetGpsTime() const {
    sGpsWeekTime t;
    GetGpsTime(t);
    return t;
}

double CVOKTime::GetMjd() const { return IsValid() ? day + seconds / kDay : 0.0; }

double CVOKTime::GetTotalSeconds() const { return IsValid() ? day * kDay + seconds : 0.0; }

double CVOKTime::GetTotalMinutes() const { return IsValid() ? day * 1440.0 + seconds / 60.0 : 0.0; }

double CVOKTime::GetTotalHours() const { return IsValid() ? day * 24.0 + seconds / 3600.0 : 0.0; }

bool CVOKTime::GetDate(int& year, int& month, int& dayOfMonth) const {
    year = month = dayOfMonth = 0;
    if (!IsValid()) return false;
    MjdToDate(day, year, month, dayOfMonth);
    return true;
}

bool CVOKTime::GetTime(int& hour, int& minute, double& second) const {
    hour = minute = 0;
    second = 0.0;
    if (!IsValid()) return false;
    SecondsToTime(seconds, hour, minute, second);
    return true;
}

bool CVOKTime::GetDateTime(int& year, int& month, int& dayOfMonth, int& hour, int& minute,
                           double& second) const {
    if (!GetDate(year, month, dayOfMonth)) {
        hour = minute = 0;
        second = 0.0;
        return false;
    }
    return GetTime(hour, minute, second);
}

bool CVOKTime::GetDateTimeDow(int& year, int& month, int& dayOfMonth, int& dayOfWeek, int& hour,
                              int& minute, double& second) const {
    dayOfWeek = 0;
    if (!GetDateTime(year, month, dayOfMonth, hour, minute, second)) return false;
    dayOfWeek = Mod7(static_cast<int64_t>(day) + 3);
    return true;
}

bool CVOKTime::GetDateTimeMs(int& year, int& month, int& dayOfMonth, int& dayOfWeek, int& hour,
                             int& minute, int& second, int& millisecond) const {
    year = month = dayOfMonth = dayOfWeek = hour = minute = second = millisecond = 0;
    if (!IsValid()) return false;
    const int64_t total = TruncToInt64(std::floor(seconds * 1000.0 + 0.5));
    double t = static_cast<double>(total) * 0.001;
    double rest = 0.0;
    if (t >= kDay) {
        MjdToDate(Narrow(static_cast<int64_t>(day) + 1), year, month, dayOfMonth);
        dayOfWeek = Mod7(static_cast<int64_t>(day) + 4);
    } else {
        MjdToDate(day, year, month, dayOfMonth);
        hour = TruncToInt32(t / 3600.0);
        t -= hour * 3600.0;
        minute = TruncToInt32(t / 60.0);
        rest = t - minute * 60.0;
        dayOfWeek = Mod7(static_cast<int64_t>(day) + 3);
    }
    second = TruncToInt32(std::floor(rest));
    millisecond = TruncToInt32((rest - second) * 1000.0 + 0.5);
    return true;
}

bool CVOKTime::GetTimeUs(int& hour, int& minute, int& second, int& microsecond) const {
    hour = minute = second = microsecond = 0;
    if (!IsValid()) return false;
    double rest = 0.0;
    SecondsToTime(seconds, hour, minute, rest);
    second = TruncToInt32(std::floor(rest));
    microsecond = TruncToInt32(std::min(0.999999, rest - second) * 1e6 + 0.5);
    return true;
}

std::tuple<int, int, int> CVOKTime::GetDateTuple() const {
    int y = 0, m = 0, d = 0;
    GetDate(y, m, d);
    return {y, m, d};
}

std::tuple<int, int, double> CVOKTime::GetTimeTuple() const {
    int h = 0, m = 0;
    double s = 0.0;
    GetTime(h, m, s);
    return {h, m, s};
}

std::tuple<int, int, int, int, int, double> CVOKTime::GetDateTimeTuple() const {
    int y = 0, mo = 0, d = 0, h = 0, mi = 0;
    double s = 0.0;
    GetDateTime(y, mo, d, h, mi, s);
    return {y, mo, d, h, mi, s};
}

int CVOKTime::GetDayOfYear() const {
    int y = 0, m = 0, d = 0;
    if (!GetDate(y, m, d)) return 0;
    return static_cast<int>(static_cast<int64_t>(day) - JanZero(y));
}

int CVOKTime::GetDaysInYear() const {
    int y = 0, m = 0, d = 0;
    if (!GetDate(y, m, d)) return 0;
    return IsLeapYear(y) ? 366 : 365;
}

int CVOKTime::GetDaysInMonth() const {
    int y = 0, m = 0, d = 0;
    if (!GetDate(y, m, d)) return 0;
    switch (m) {
        case 1: case 3: case 5: case 7: case 8: case 10: case 12: return 31;
        case 4: case 6: case 9: case 11: return 30;
        case 2: return IsLeapYear(y) ? 29 : 28;
        default: return 0;
    }
}

double CVOKTime::GetDecimalYear() const {
    int year = 0;
    double fraction = 0.0;
    if (!GetYearFraction(year, fraction, false)) return 0.0;
    return year + fraction;
}

bool CVOKTime::GetYearFraction(int& year, double& fraction, bool meanYear) const {
    year = 0;
    fraction = 0.0;
    int m = 0, d = 0;
    if (!GetDate(year, m, d)) return false;
    const double length = meanYear ? kMeanYearDays : (IsLeapYear(year) ? 366.0 : 365.0);
    fraction = (GetDayOfYear() - 1 + seconds / kDay) / length;
    return true;
}

// --- Comparison and reference windows ------------------------------------------------------------

int CVOKTime::Compare(const CVOKTime& other) const {
    if (!IsValid()) return -999;
    if (!other.IsValid()) return 1;
    if (day != other.day) return day < other.day ? -1 : 1;
    if (other.seconds > seconds) return -1;
    if (seconds > other.seconds) return 1;
    return 0;
}

void CVOKTime::AddHours(int n) {
    if (!IsValid() || n == 0) return;
    seconds += n * 3600.0;
    Normalize(*this);
}

int CVOKTime::AdjustDayToReference(const CVOKTime& reference) {
    // Without a usable reference or with non-finite seconds the walk has no end point.
    if (!reference.IsValid() || reference.day == 0 || !std::isfinite(seconds) ||
        !std::isfinite(reference.seconds))
        return 0;
    const int64_t before = day;
    int64_t d = day == 0 ? reference.day : day;
    const auto diffAt = [&](int64_t candidate) {
        return static_cast<double>(candidate - reference.day) * kDay + (seconds - reference.seconds);
    };
    const double jump = SafeJump(diffAt(d), kHalfDay, kDay);
    if (std::fabs(jump) > 8.0 * std::numeric_limits<int32_t>::max()) return 0;
    d -= static_cast<int64_t>(jump);
    for (;;) {
        const double diff = diffAt(d);
        if (diff > kHalfDay) {
            --d;
        } else if (diff < -kHalfDay) {
            ++d;
        } else {
            break;
        }
    }
    if (!InInt32(d)) return 0;
    day = static_cast<int32_t>(d);
    return Narrow(d - before);
}

int CVOKTime::SetTimeNearReference(const CVOKTime& reference, int hour, int minute, double second) {
    day = reference.day;
    seconds = ClockSeconds(hour, minute, second);
    return AdjustDayToReference(reference);
}

int CVOKTime::SetSecondsNearReference(const CVOKTime& reference, double secondsOfDay) {
    day = reference.day;
    seconds = secondsOfDay;
    return AdjustDayToReference(reference);
}

int CVOKTime::AdjustWeekToReference(const sGpsWeekTime& reference) {
    sGpsWeekTime own;
    GetGpsTime(own);
    if (!std::isfinite(own.seconds) || !std::isfinite(reference.seconds)) return 0;
    const auto diffAt = [&](int64_t week) {
        return static_cast<double>(week - reference.week) * kWeek + (own.seconds - reference.seconds);
    };
    int64_t week = own.week;
    const double jump = SafeJump(diffAt(week), kHalfWeek, kWeek);
    if (std::fabs(jump) > 8.0 * std::numeric_limits<int32_t>::max()) return 0;
    week -= static_cast<int64_t>(jump);
    for (;;) {
        const double diff = diffAt(week);
        if (diff > kHalfWeek) {
            --week;
        } else if (diff < -kHalfWeek) {
            ++week;
        } else {
            break;
        }
    }
    if (!InInt32(week)) return 0;
    if (week != own.week) SetGpsTime(static_cast<int32_t>(week), own.seconds);
    return Narrow(week - own.week);
}

int CVOKTime::AdjustWeekToReference(const CVOKTime& reference) {
    // An invalid reference would read as week 0 and drag the time back to 1980.
    if (!reference.IsValid()) return 0;
    return AdjustWeekToReference(reference.GetGpsTime());
}

// --- Serialised form -----------------------------------------------------------------------------

void CVOKTime::serialize_to(Vok::IArchive& archive, uint32_t /*version*/) const {
    archive.WriteInt32(1);
    archive.WriteInt32(day);
    archive.WriteDouble(seconds);
}

void CVOKTime::serialize_from(Vok::IArchive& archive) {
    int32_t version = 0;
    archive.ReadInt32(version);
    if (version != 1) {
        archive.ThrowError(7, "VokTime");
        return;
    }
    // Read into locals so that a stream cut short leaves the time as it was.
    int32_t newDay = 0;
    double newSeconds = -1.0;
    archive.ReadInt32(newDay);
    archive.ReadDouble(newSeconds);
    day = newDay;
    seconds = newSeconds;
}

// --- Free arithmetic and comparison --------------------------------------------------------------

CVOKTime Normalize(CVOKTime& t) {
    if (!std::isfinite(t.seconds) || (t.seconds >= 0.0 && t.seconds < kDay)) return t;
    const int64_t k = TruncToInt32(std::floor(t.seconds / kDay));
    t.day = Narrow(static_cast<int64_t>(t.day) + k);
    t.seconds -= static_cast<double>(k) * kDay;
    // A tiny negative remainder rounds up to a whole day; carry it so the range holds.
    if (t.seconds >= kDay) {
        t.day = Narrow(static_cast<int64_t>(t.day) + 1);
        t.seconds -= kDay;
    }
    return t;
}

double operator-(const CVOKTime& a, const CVOKTime& b) {
    // In floating point: a 32-bit product of the day difference overflows past 24855 days.
    return (static_cast<double>(a.day) - static_cast<double>(b.day)) * kDay + (a.seconds - b.seconds);
}

CVOKTime operator+(const CVOKTime& t, double x) {
    CVOKTime r(t);
    r.seconds += x;
    return Normalize(r);
}

CVOKTime operator-(const CVOKTime& t, double x) {
    CVOKTime r(t);
    r.seconds -= x;
    return Normalize(r);
}

CVOKTime operator+=(CVOKTime& t, double x) {
    t.seconds += x;
    return Normalize(t);
}

CVOKTime operator-=(CVOKTime& t, double x) {
    t.seconds -= x;
    return Normalize(t);
}

bool operator==(const CVOKTime& a, const CVOKTime& b) { return a.seconds == b.seconds && a.day == b.day; }
bool operator!=(const CVOKTime& a, const CVOKTime& b) { return !(a == b); }
bool operator<(const CVOKTime& a, const CVOKTime& b) { return (a - b) < 0.0; }
bool operator<=(const CVOKTime& a, const CVOKTime& b) { return (a - b) <= 0.0; }
bool operator>(const CVOKTime& a, const CVOKTime& b) { return (a - b) > 0.0; }
bool operator>=(const CVOKTime& a, const CVOKTime& b) { return (a - b) >= 0.0; }
