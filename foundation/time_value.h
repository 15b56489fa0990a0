// The system's one time value: a Modified Julian Day number and the seconds of that day, with its
// plain 16-byte records for shared and stored formats, calendar and GPS week conversions,
// arithmetic, comparison, reference windows and text forms.
#pragma once

#include <cstddef>
#include <cstdint>
#include <ctime>
#include <string>
#include <tuple>

#include "foundation/archive.h"

// The plain time record of shared-buffer headers, block descriptors and stored records.
// Invalid: day 0, seconds -1.0. Valid exactly when seconds > -1.0.
struct sMjdTime {
    int32_t day;      // Modified Julian Day (40587 is 1970-01-01)
    uint32_t zero;    // always written as 0
    double seconds;   // seconds of the day
};
static_assert(sizeof(sMjdTime) == 16);
static_assert(offsetof(sMjdTime, day) == 0);
static_assert(offsetof(sMjdTime, zero) == 4);
static_assert(offsetof(sMjdTime, seconds) == 8);

// A GPS week (weeks since MJD 44244, 1980-01-06) and the seconds of that week.
struct sGpsWeekTime {
    int32_t week;
    uint32_t zero;    // always written as 0
    double seconds;   // seconds of the week
};
static_assert(sizeof(sGpsWeekTime) == 16);
static_assert(offsetof(sGpsWeekTime, week) == 0);
static_assert(offsetof(sGpsWeekTime, zero) == 4);
static_assert(offsetof(sGpsWeekTime, seconds) == 8);

// A UTC (or, where a caller says so, local) instant. Valid exactly when seconds > -1.0; day 0
// also means "no date" to the reference windows. Setters never normalise; only the arithmetic
// brings seconds into [0, 86400). It has a vtable, so it never goes into a shared or stored record:
// use sMjdTime there.
class CVOKTime : public Vok::ISerializable {
public:
    static constexpr int32_t kSecondsPerDay = 86400;
    static constexpr int32_t kSecondsPerHour = 3600;
    static constexpr int32_t kSecondsPerMinute = 60;
    static constexpr int32_t kMjdUnixEpoch = 40587;   // 1970-01-01
    static constexpr int32_t kMjdGpsEpoch = 44244;    // 1980-01-06, start of GPS week 0
    static constexpr int32_t kSecondsPerWeek = 604800;
    static constexpr double kMeanYearDays = 365.2425;
    static constexpr double kNoonSeconds = 43200.0;

    // --- Calendar statics (no range checks: out-of-range fields roll over arithmetically) ---
    static void DateToMjd(int32_t& mjd, int year, int month, int dayOfMonth);
    static int32_t DateToMjd(int year, int month, int dayOfMonth);
    // Defined for day numbers from 0 upward.
    static void MjdToDate(int32_t mjd, int& year, int& month, int& dayOfMonth);
    static void TimeToSeconds(double& seconds, int hour, int minute, double second);
    static double TimeToSeconds(int hour, int minute, double second);
    static void SecondsToTime(double seconds, int& hour, int& minute, double& second);
    static bool IsLeapYear(int year);
    // Day number of the day before 1 January of year.
    static int32_t JanZero(int year);
    static int GetCurrentYear();
    static double GetCurrentDecimalYear();
    static CVOKTime TodayNoonUtc();

    // --- Construction ---
    CVOKTime() = default;
    CVOKTime(const CVOKTime& other) = default;
    CVOKTime& operator=(const CVOKTime& other) = default;
    ~CVOKTime() override = default;
    CVOKTime(const sMjdTime& t);        // NOLINT: copied as is, no check
    CVOKTime(const sGpsWeekTime& t);    // NOLINT
    explicit CVOKTime(double unixSeconds);
    explicit CVOKTime(const struct tm& t);
    CVOKTime(int year, int month, int dayOfMonth, int hour, int minute, double second);
    CVOKTime(int year, int dayOfYear, int hour, int minute, double second);
    CVOKTime(int year, double fraction, bool meanYear);
    // No date (day 0), only a time of day.
    CVOKTime(int hour, int minute, double second);
    // Reads "date time", ISO extended or basic "dateTtime", or a date alone. Text that cannot be
    // read raises Boost's or the standard library's exception.
    explicit CVOKTime(const std::string& text);

    // --- Setters (none checks or normalises) ---
    void SetMjdTime(const sMjdTime& t);
    void Assign(const CVOKTime& t);
    void SetDate(int year, int month, int dayOfMonth, double secondsOfDay);
    void SetDateTime(int year, int month, int dayOfMonth, int hour, int minute, double second);
    void SetFromTm(const struct tm& t);
    void SetYearDayTime(int year, int dayOfYear, int hour, int minute, double second);
    void SetYearFraction(int year, double fraction, bool meanYear);
    void SetDecimalYear(double x);
    void SetUnixTime(double unixSeconds);
    // Seconds since day 0 00:00; the inverse of GetTotalSeconds.
    void SetTotalSeconds(double t);
    void SetGpsTime(int32_t week, double secondsOfWeek);
    void SetGpsTime(const sGpsWeekTime& t);
    // Now, to the microsecond.
    void SetCurrentUtcTime();
    void SetCurrentLocalTime();
    // Cuts the seconds down to a multiple of n (n below 1 counts as 1). No validity test.
    void TruncateSeconds(int n);

    // --- Getters: an invalid time gives zeros (and false) ---
    bool IsValid() const { return seconds > -1.0; }
    // An invalid time gives (0, 0.0).
    bool GetMjdTime(sMjdTime& t) const;
    sMjdTime GetMjdTime() const;
    bool GetGpsTime(sGpsWeekTime& t) const;
    sGpsWeekTime GetGpsTime() const;
    double GetMjd() const;
    double GetTotalSeconds() const;
    double GetTotalMinutes() const;
    double GetTotalHours() const;
    bool GetDate(int& year, int& month, int& dayOfMonth) const;
    bool GetTime(int& hour, int& minute, double& second) const;
    bool GetDateTime(int& year, int& month, int& dayOfMonth, int& hour, int& minute,
                     double& second) const;
    // Day of week 0 = Sunday .. 6 = Saturday.
    bool GetDateTimeDow(int& year, int& month, int& dayOfMonth, int& dayOfWeek, int& hour, int& minute,
                        double& second) const;
    // Rounded to the nearest millisecond; a time within half a millisecond of midnight reads as
    // 00:00:00.000 of the next day.
    bool GetDateTimeMs(int& year, int& month, int& dayOfMonth, int& dayOfWeek, int& hour, int& minute,
                       int& second, int& millisecond) const;
    // The microseconds never reach 1000000.
    bool GetTimeUs(int& hour, int& minute, int& second, int& microsecond) const;
    std::tuple<int, int, int> GetDateTuple() const;
    std::tuple<int, int, double> GetTimeTuple() const;
    std::tuple<int, int, int, int, int, double> GetDateTimeTuple() const;
    int GetDayOfYear() const;
    int GetDaysInYear() const;
    int GetDaysInMonth() const;
    double GetDecimalYear() const;
    bool GetYearFraction(int& year, double& fraction, bool meanYear) const;

    // --- Comparison and reference windows ---
    // -999 when this time is invalid; 1 when only other is; else -1, 0 or 1 by day then seconds.
    int Compare(const CVOKTime& other) const;
    // Valid times only; n = 0 changes nothing.
    void AddHours(int n);
    // Moves the time by whole days to within 12 hours of reference (a day of 0 takes the
    // reference's day first); returns the final day minus the day before the call. An invalid
    // reference, a reference without a date, or non-finite seconds leave the time as it is.
    int AdjustDayToReference(const CVOKTime& reference);
    int SetTimeNearReference(const CVOKTime& reference, int hour, int minute, double second);
    int SetSecondsNearReference(const CVOKTime& reference, double secondsOfDay);
    // Moves the time by whole GPS weeks to within half a week of reference; returns weeks moved.
    // An invalid CVOKTime reference leaves the time as it is.
    int AdjustWeekToReference(const sGpsWeekTime& reference);
    int AdjustWeekToReference(const CVOKTime& reference);

    // --- Text ---
    // "hh:mm:ss" with 0 to 6 decimals; separator 0 removes the colons, another character replaces
    // them. "Invalid" for an invalid time.
    std::string FormatTime(int decimals, char separator) const;
    // "ddddd sssss.sss" with the given decimals (negative counts as 0); "Invalid" for an invalid time.
    std::string FormatMjd(int decimals) const;
    // Boost.DateTime time-facet formatting (%Y, %m, %d, %H, %M, %S, %f ...); no validity test.
    std::string Format(const std::string& format) const;
    std::string ToSimpleString() const;
    std::string TimeOfDayString() const;
    std::string ToIsoString() const;
    std::string ToIsoExtendedString() const;

    // --- Serialised form: version 1, day, seconds (16 bytes little-endian) ---
    void serialize_to(Vok::IArchive& archive, uint32_t version) const override;
    void serialize_from(Vok::IArchive& archive) override;

    int32_t day = 0;
    double seconds = -1.0;
};

// Brings t's seconds into [0, 86400) by whole days and returns a copy; non-finite seconds stay.
CVOKTime Normalize(CVOKTime& t);

// Seconds a - b; no validity test.
double operator-(const CVOKTime& a, const CVOKTime& b);
CVOKTime operator+(const CVOKTime& t, double x);
CVOKTime operator-(const CVOKTime& t, double x);
CVOKTime operator+=(CVOKTime& t, double x);
CVOKTime operator-=(CVOKTime& t, double x);
bool operator==(const CVOKTime& a, const CVOKTime& b);
bool operator!=(const CVOKTime& a, const CVOKTime& b);
bool operator<(const CVOKTime& a, const CVOKTime& b);
bool operator<=(const CVOKTime& a, const CVOKTime& b);
bool operator>(const CVOKTime& a, const CVOKTime& b);
bool operator>=(const CVOKTime& a, const CVOKTime& b);
