#include "driver/nmea_codec.h"

#include <locale.h>

#include <algorithm>
#include <charconv>
#include <cerrno>
#include <climits>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <string>

#include "compat/pps_library.h"
#include "foundation/lat_lon_format.h"

const char* const NMEA_FIELD_DELIMITERS = "$,*\r\n";

namespace {

// Numbers in sentences always use ".", whatever locale the process may have set.
locale_t NumericLocale() {
    static const locale_t c = newlocale(LC_NUMERIC_MASK, "C", static_cast<locale_t>(nullptr));
    return c;
}

constexpr bool IsDelimiter(char c) { return c == '$' || c == ',' || c == '*' || c == '\r' || c == '\n'; }

// White space as the C locale's isspace sees it.
constexpr bool IsSpace(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }

constexpr bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// strtod itself, over a bounded copy, for what the fast path leaves to it: numbers out of range,
// hexadecimal numbers.
double DecimalByStrtod(std::string_view bytes) {
    char small[128];
    std::string large;
    const char* text = small;
    if (bytes.size() < sizeof small) {
        std::memcpy(small, bytes.data(), bytes.size());
        small[bytes.size()] = '\0';
    } else {
        large.assign(bytes);
        text = large.c_str();
    }
    return strtod_l(text, nullptr, NumericLocale());
}

// The plain decimals that sentences are made of ("545.4", "-0.012"): a sign, at most 15 digits with
// or without a point, and no exponent. Their digits make an integer below 2^53 and the point a
// power of ten up to 10^15, both exact in a double, so that one division rounds exactly as strtod
// does. False, with no value, for anything else. p is left where the number ends.
constexpr double kPowers[] = {1e0, 1e1, 1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                              1e8, 1e9, 1e10, 1e11, 1e12, 1e13, 1e14, 1e15};

bool PlainDecimal(const char*& p, const char* end, double& value) {
    const bool negative = p < end && *p == '-';
    if (negative) ++p;
    uint64_t digits = 0;
    int count = 0, fraction = -1;
    for (; p < end; ++p) {
        if (IsDigit(*p)) {
            digits = digits * 10 + static_cast<uint64_t>(*p - '0');
            ++count;
            if (fraction >= 0) ++fraction;
        } else if (*p == '.' && fraction < 0) {
            fraction = 0;
        } else {
            break;
        }
    }
    // An exponent, or the x of "0x", would go on the number.
    if (count == 0 || count > 15 || (p < end && (*p == 'e' || *p == 'E' || *p == 'x' || *p == 'X'))) return false;
    value = static_cast<double>(digits) / kPowers[std::max(fraction, 0)];
    if (negative) value = -value;
    return true;
}

// Leading decimal number from index first on; 0.0 when the index lies beyond the text.
double DecimalFrom(std::string_view text, int first) {
    if (first < 0 || first >= static_cast<int>(text.size())) return 0.0;
    return ParseDecimal(text.substr(static_cast<size_t>(first)));
}

// Integer of at most count characters from index first, so that the digits of the next position
// cannot join in.
int IntegerOf(std::string_view text, int first, int count) {
    const int available = std::clamp(static_cast<int>(text.size()) - first, 0, count);
    if (first < 0 || available <= 0) return 0;
    return ParseDecimalInteger(text.substr(static_cast<size_t>(first), static_cast<size_t>(std::min(available, 7))));
}

int FirstDelimiter(std::string_view text) {
    for (size_t i = 0; i < text.size(); ++i)
        if (IsDelimiter(text[i])) return static_cast<int>(i);
    return -1;
}

// Length of the field at the front: up to the first delimiter or the end of the text.
int FieldLength(std::string_view text) {
    const int n = FirstDelimiter(text);
    return n < 0 ? static_cast<int>(text.size()) : n;
}

bool DigitsAt(std::string_view text, int first, int count) {
    for (int i = first; i < first + count; ++i) {
        if (i >= static_cast<int>(text.size()) || !IsDigit(text[static_cast<size_t>(i)])) return false;
    }
    return true;
}

// The first character of the field after the one at the front, or 0 when there is none.
char NextFieldLead(std::string_view text) {
    const int p = FirstDelimiter(text);
    if (p < 0 || p + 1 >= static_cast<int>(text.size())) return '\0';
    return text[static_cast<size_t>(p) + 1];
}

double ParseCoordinate(std::string_view text, int degreeDigits, char negative) {
    if (static_cast<int>(text.size()) < degreeDigits + 2) return 0.0;
    const double degrees = IntegerOf(text, 0, degreeDigits);
    const double minutes = DecimalFrom(text, degreeDigits);
    const double value = degrees + minutes / 60.0;
    return NextFieldLead(text) == negative ? -value : value;
}

// Truncation to a SYSTEMTIME field without an undefined conversion for garbage values.
WORD TruncatedWord(double v) {
    if (std::isnan(v)) return 0;
    const double t = std::trunc(std::clamp(v, static_cast<double>(INT_MIN), static_cast<double>(INT_MAX)));
    return static_cast<WORD>(static_cast<int>(t));
}

void SetDate(SYSTEMTIME* date, int year, int month, int day) {
    date->wYear = static_cast<WORD>(year);
    date->wMonth = static_cast<WORD>(month);
    date->wDay = static_cast<WORD>(day);
    CheckUtcDate(date, 1);
}

std::string_view View(const CString& text) { return {text.GetString(), static_cast<size_t>(text.GetLength())}; }

int KeepRest(CString& text, const CNmeaText& rest, int result) {
    rest.LeaveRestIn(text);
    return result;
}

}  // namespace

double ParseDecimal(std::string_view bytes) {
    const char* p = bytes.data();
    const char* const end = p + bytes.size();
    while (p < end && IsSpace(*p)) ++p;
    const char* const number = p;
    if (p < end && *p == '+') {
        ++p;
        if (p < end && *p == '-') return 0.0;  // one sign only
    }
    double value = 0.0;
    if (const char* plain = p; PlainDecimal(plain, end, value)) return value;
    const auto [last, error] = std::from_chars(p, end, value);
    if (error == std::errc::invalid_argument) return 0.0;
    // "0x" starts a hexadecimal number for strtod; from_chars stops after the 0.
    const bool hexadecimal = last < end && (*last == 'x' || *last == 'X') && last[-1] == '0' &&
                             (last - p == 1 || (last - p == 2 && *p == '-'));
    if (error == std::errc() && !hexadecimal) return value;
    return DecimalByStrtod(std::string_view(number, static_cast<size_t>(end - number)));
}

int ParseDecimalInteger(std::string_view bytes) {
    size_t i = 0;
    while (i < bytes.size() && IsSpace(bytes[i])) ++i;
    bool negative = false;
    if (i < bytes.size() && (bytes[i] == '+' || bytes[i] == '-')) negative = bytes[i++] == '-';
    // Beyond this the value is clamped either way.
    constexpr uint64_t kCap = static_cast<uint64_t>(INT_MAX) + 2;
    uint64_t value = 0;
    for (; i < bytes.size() && IsDigit(bytes[i]); ++i)
        value = std::min(value * 10 + static_cast<uint64_t>(bytes[i] - '0'), kCap);
    if (negative) return value > static_cast<uint64_t>(INT_MAX) ? INT_MIN : -static_cast<int>(value);
    return value > static_cast<uint64_t>(INT_MAX) ? INT_MAX : static_cast<int>(value);
}

void CNmeaText::LeaveRestIn(CString& text) const {
    if (IsEmpty()) {
        text.Empty();
    } else if (GetLength() < text.GetLength()) {
        text.Delete(0, text.GetLength() - GetLength());
    }
}

int CNmeaText::Find(char c) const {
    const size_t p = m_text.find(c);
    return p == std::string_view::npos ? -1 : static_cast<int>(p);
}

int SkipToFirstOf(CString& text, const char* set) {
    const int p = text.FindOneOf(set);
    if (p < 0) {
        text.Empty();
        return 0;
    }
    text.Delete(0, p);
    return 1;
}

int SkipToSentenceStart(CString& text, int count) {
    for (int i = 0; i < count; ++i) {
        if (!SkipToFirstOf(text, "$")) return 0;
    }
    return 1;
}

int SkipPastFirstOf(CString& text, const char* set) {
    const int p = text.FindOneOf(set);
    if (p < 0 || p >= text.GetLength() - 1) {
        text.Empty();
        return 0;
    }
    text.Delete(0, p + 1);
    return 1;
}

int SkipFields(CNmeaText& text, int count) {
    for (int i = 0; i < count; ++i) {
        const int p = FirstDelimiter(text.View());
        if (p < 0 || p >= text.GetLength() - 1) {
            text.Empty();
            return 0;
        }
        text.DropFront(p + 1);
    }
    return 1;
}

int SkipFields(CString& text, int count) {
    CNmeaText rest(text);
    return KeepRest(text, rest, SkipFields(rest, count));
}

int SkipDataFields(CNmeaText& text, int count) {
    for (int i = 0; i < count; ++i) {
        const int p = FirstDelimiter(text.View());
        if (p < 0 || text[p] != ',') {
            text.Empty();
            return 0;
        }
        text.DropFront(p + 1);
    }
    return 1;
}

int SkipDataFields(CString& text, int count) {
    CNmeaText rest(text);
    return KeepRest(text, rest, SkipDataFields(rest, count));
}

int CountDataFields(const CNmeaText& text, int limit) {
    const int length = text.GetLength();
    int fields = 0;
    for (int i = 0; fields < limit; ++i) {
        if (i >= length || IsDelimiter(text[i])) {
            // The field ends here; only a comma starts another.
            if (i == 0 && (i >= length || text[i] != ',')) return 0;
            ++fields;
            if (i >= length || text[i] != ',') break;
        }
    }
    return fields;
}

int CountDataFields(const CString& text, int limit) { return CountDataFields(CNmeaText(text), limit); }

int SkipPastToken(CNmeaText& text, std::string_view token) {
    const size_t p = token.size() <= text.View().size() ? text.View().find(token) : std::string_view::npos;
    if (p == std::string_view::npos || p + token.size() + 1 >= text.View().size()) {
        text.Empty();
        return 0;
    }
    text.DropFront(static_cast<int>(p + token.size() + 1));
    return 1;
}

int SkipPastToken(CString& text, const char* token) {
    CNmeaText rest(text);
    if (token == nullptr) return KeepRest(text, CNmeaText(), 0);
    return KeepRest(text, rest, SkipPastToken(rest, token));
}

int GetFieldLength(const CNmeaText& text) { return FirstDelimiter(text.View()); }

int GetFieldLength(const CString& text) { return FirstDelimiter(View(text)); }

int IsFieldDelimiter(const CNmeaText& text, int index) {
    if (index < 0 || index >= text.GetLength()) return 0;
    return IsDelimiter(text[index]) ? 1 : 0;
}

int IsFieldDelimiter(const CString& text, int index) { return IsFieldDelimiter(CNmeaText(text), index); }

bool ParseNumberField(const CNmeaText& text, double* value, size_t* scanned) {
    // Most fields are plain decimals that end at their delimiter: read in one pass.
    const char* const begin = text.View().data();
    const char* p = begin;
    const char* const fieldEnd = p + text.View().size();
    const bool plain = [&] {
        double number = 0.0;
        if (!PlainDecimal(p, fieldEnd, number) || (p != fieldEnd && !IsDelimiter(*p))) return false;
        if (value != nullptr) *value = number;
        return true;
    }();
    // A sign, digits and a point: none of them a delimiter.
    if (scanned != nullptr) *scanned = static_cast<size_t>(p - begin);
    if (plain) return true;
    const std::string_view field = text.View().substr(0, static_cast<size_t>(FieldLength(text.View())));
    size_t i = 0;
    const auto skip = [&](auto pass) {
        const size_t from = i;
        while (i < field.size() && pass(field[i])) ++i;
        return i - from;
    };
    skip(IsSpace);
    const size_t first = i;
    if (i < field.size() && (field[i] == '+' || field[i] == '-')) ++i;
    size_t digits = skip(IsDigit);
    if (i < field.size() && field[i] == '.') {
        ++i;
        digits += skip(IsDigit);
    }
    bool shaped = digits != 0;
    if (shaped && i < field.size() && (field[i] == 'e' || field[i] == 'E')) {
        ++i;
        if (i < field.size() && (field[i] == '+' || field[i] == '-')) ++i;
        shaped = skip(IsDigit) != 0;
    }
    const size_t last = i;
    skip(IsSpace);
    const double number = shaped && i == field.size() ? ParseDecimal(field.substr(first, last - first)) : 0.0;
    const bool finite = shaped && i == field.size() && std::isfinite(number);
    if (value != nullptr) *value = finite ? number : 0.0;
    return finite;
}

bool ReadTimeOfDay(const CNmeaText& text, SYSTEMTIME* time, size_t* scanned) {
    const std::string_view t = text.View();
    if (scanned != nullptr) *scanned = 0;
    if (!DigitsAt(t, 0, 6)) return false;
    const auto twoDigits = [&](size_t first) { return (t[first] - '0') * 10 + (t[first + 1] - '0'); };
    const int hour = twoDigits(0), minute = twoDigits(2), second = twoDigits(4);
    // The seconds' digits as the decimal reader takes them, so that they give the same value.
    uint64_t digits = static_cast<uint64_t>(second);
    int fraction = 0;
    size_t i = 6;
    if (i < t.size() && t[i] == '.') {
        for (++i; i < t.size() && IsDigit(t[i]); ++i, ++fraction) digits = digits * 10 + static_cast<uint64_t>(t[i] - '0');
    }
    if (scanned != nullptr) *scanned = i;
    if (i < t.size() && !IsDelimiter(t[i])) return false;
    const bool leap = second == 60 && hour == 23 && minute == 59;
    if (hour > 23 || minute > 59 || (second > 59 && !leap)) return false;
    if (time == nullptr) return true;
    const double s = fraction <= 13 ? static_cast<double>(digits) / kPowers[fraction] : ParseDecimal(t.substr(4));
    // A fraction that rounds up stays in its second, as 1000 ms.
    const double whole = std::min(std::trunc(s), static_cast<double>(second));
    const int ms = static_cast<int>((s - whole) * 1000.0 + 0.5);
    time->wHour = static_cast<WORD>(hour);
    time->wMinute = static_cast<WORD>(minute);
    time->wSecond = static_cast<WORD>(leap ? 59 : whole);
    time->wMilliseconds = static_cast<WORD>(leap ? std::min(500 + ms / 2, 999) : ms);
    return true;
}

namespace {

int ReadCoordinate(std::string_view t, int degreeDigits, double limit, char negative, double* value, size_t* scanned) {
    if (value != nullptr) *value = 0.0;
    int whole = 0, degrees = 0, wholeMinutes = 0, minuteDigits = 0, fraction = -1;
    uint64_t minutes = 0;  // the minutes' digits as the decimal reader takes them
    size_t i = 0;
    for (; i < t.size(); ++i) {
        const char c = t[i];
        if (IsDigit(c)) {
            const int d = c - '0';
            if (fraction < 0 && whole < degreeDigits) {
                degrees = degrees * 10 + d;
            } else {
                // Only two digits of whole minutes make a coordinate; more never overflow.
                if (fraction < 0 && whole < degreeDigits + 2) wholeMinutes = wholeMinutes * 10 + d;
                minutes = minutes * 10 + static_cast<uint64_t>(d);
                ++minuteDigits;
            }
            fraction < 0 ? ++whole : ++fraction;
        } else if (c == '.' && fraction < 0) {
            fraction = 0;
        } else {
            break;
        }
    }
    if (scanned != nullptr) *scanned = i;
    if ((whole == 0 && fraction <= 0) || (i < t.size() && !IsDelimiter(t[i]))) return -1;
    if (whole != degreeDigits + 2 || wholeMinutes >= 60) return 0;
    const int f = std::max(fraction, 0);
    const double m = minuteDigits <= 15 ? static_cast<double>(minutes) / kPowers[f] : ParseDecimal(t.substr(degreeDigits));
    const double v = degrees + m / 60.0;
    if (!(v <= limit)) return 0;
    if (value != nullptr) *value = i + 1 < t.size() && t[i + 1] == negative ? -v : v;
    return 1;
}

}  // namespace

int ReadLatitude(const CNmeaText& text, double* value, size_t* scanned) {
    return ReadCoordinate(text.View(), 2, 90.0, 'S', value, scanned);
}

int ReadLongitude(const CNmeaText& text, double* value, size_t* scanned) {
    return ReadCoordinate(text.View(), 3, 180.0, 'W', value, scanned);
}

double ParseLatitude(const CNmeaText& text) { return ParseCoordinate(text.View(), 2, 'S'); }

double ParseLongitude(const CNmeaText& text) { return ParseCoordinate(text.View(), 3, 'W'); }

double ParseDouble(const CNmeaText& text) { return ParseDecimal(text.View()); }

int ParseInteger(const CNmeaText& text) { return ParseDecimalInteger(text.View()); }

double ParseNumberSkippingPrefix(const CNmeaText& text) {
    double value = 0.0;
    const int n = GetFieldLength(text) - 1;
    for (int i = 0; value == 0.0 && i < n; ++i) value = DecimalFrom(text.View(), i);
    return value;
}

double ParseSignedValueEW(const CNmeaText& text) {
    const double value = ParseDouble(text);
    return NextFieldLead(text.View()) == 'W' ? -value : value;
}

void ParseTime(const CNmeaText& text, SYSTEMTIME* time) {
    if (time == nullptr) return;
    time->wHour = 0;
    time->wMinute = 0;
    time->wSecond = 0;
    time->wMilliseconds = 0;
    // Only the field itself counts, so that an empty or cut time never reads the next field.
    if (FieldLength(text.View()) < 6) return;
    const std::string_view t = text.View();
    // Two digits each, as nearly every time is written, without the general integer reader.
    const auto twoDigits = [&](int first) {
        return DigitsAt(t, first, 2) ? (t[first] - '0') * 10 + (t[first + 1] - '0') : IntegerOf(t, first, 2);
    };
    time->wHour = static_cast<WORD>(twoDigits(0));
    time->wMinute = static_cast<WORD>(twoDigits(2));
    const double s = DecimalFrom(text.View(), 4);
    const double whole = std::isnan(s) ? 0.0 : std::trunc(std::clamp(s, -1e9, 1e9));
    time->wSecond = TruncatedWord(whole);
    time->wMilliseconds = TruncatedWord((s - whole) * 1000.0 + 0.5);
}

void ParseDateDdMmYy(const CNmeaText& text, SYSTEMTIME* date) {
    const std::string_view t = text.View();
    if (date == nullptr || FieldLength(t) != 6 || !DigitsAt(t, 0, 6)) return;
    SetDate(date, IntegerOf(t, 4, 2), IntegerOf(t, 2, 2), IntegerOf(t, 0, 2));
}

void ParseDateMmDdYy(const CNmeaText& text, SYSTEMTIME* date) {
    const std::string_view t = text.View();
    if (date == nullptr || FieldLength(t) != 6 || !DigitsAt(t, 0, 6)) return;
    SetDate(date, IntegerOf(t, 4, 2), IntegerOf(t, 0, 2), IntegerOf(t, 2, 2));
}

void ParseDateDdMmYyyy(const CNmeaText& text, SYSTEMTIME* date) {
    const std::string_view t = text.View();
    if (date == nullptr || t.size() < 10) return;
    const bool shaped = DigitsAt(t, 0, 2) && !IsDigit(t[2]) && DigitsAt(t, 3, 2) && !IsDigit(t[5]) &&
                        DigitsAt(t, 6, 4) && (t.size() == 10 || IsDelimiter(t[10]));
    if (!shaped) return;
    SetDate(date, IntegerOf(t, 6, 4), IntegerOf(t, 3, 2), IntegerOf(t, 0, 2));
}

bool ParseNumberField(const CString& text, double* value) { return ParseNumberField(CNmeaText(text), value); }
double ParseLatitude(const CString& text) { return ParseLatitude(CNmeaText(text)); }
double ParseLongitude(const CString& text) { return ParseLongitude(CNmeaText(text)); }
double ParseDouble(const CString& text) { return ParseDouble(CNmeaText(text)); }
int ParseInteger(const CString& text) { return ParseInteger(CNmeaText(text)); }
double ParseNumberSkippingPrefix(const CString& text) { return ParseNumberSkippingPrefix(CNmeaText(text)); }
double ParseSignedValueEW(const CString& text) { return ParseSignedValueEW(CNmeaText(text)); }
void ParseTime(const CString& text, SYSTEMTIME* time) { ParseTime(CNmeaText(text), time); }
void ParseDateDdMmYy(const CString& text, SYSTEMTIME* date) { ParseDateDdMmYy(CNmeaText(text), date); }
void ParseDateMmDdYy(const CString& text, SYSTEMTIME* date) { ParseDateMmDdYy(CNmeaText(text), date); }
void ParseDateDdMmYyyy(const CString& text, SYSTEMTIME* date) { ParseDateDdMmYyyy(CNmeaText(text), date); }

namespace {

CString FormatCoordinate(double degrees, BOOL latitude, const char* format) {
    sDmsAngle dms{};
    DegreesToDms(degrees, latitude, &dms, 59.999996f);
    float minutes = static_cast<float>(dms.minutes) + dms.seconds / 60.0f;
    int whole = dms.degrees;
    if (minutes >= 60.0f) {
        minutes = 0.0f;
        ++whole;
    }
    CString out;
    out.Format(format, whole % 360, static_cast<double>(minutes), dms.hemisphere);
    return out;
}

}  // namespace

CString FormatLatitude(double degrees) { return FormatCoordinate(degrees, TRUE, "%02d%09.6f,%c"); }

CString FormatLongitude(double degrees) { return FormatCoordinate(degrees, FALSE, "%03d%09.6f,%c"); }

CString FormatHeight(double metres) {
    CString out;
    out.Format("%09.3lf,%c", std::clamp(metres, -9999.999, 99999.999), 'M');
    return out;
}

CString FormatSignedValueEW(double value) {
    CString out;
    out.Format("%0.3lf,%c", std::fabs(value), value < 0.0 ? 'W' : 'E');
    return out;
}

CString FormatTime(SYSTEMTIME* time) {
    CString out;
    if (time == nullptr) return out;
    double s = time->wSecond + time->wMilliseconds / 1000.0;
    if (s >= 59.995) {
        s = 0.0;
        ++time->wMinute;
        if (time->wMinute >= 60) {
            time->wMinute = 0;
            ++time->wHour;
        }
    }
    out.Format("%02d%02d%05.2lf", time->wHour % 24, time->wMinute, s);
    return out;
}

CString FormatDateDdMmYyyy(const SYSTEMTIME* date) {
    CString out;
    if (date != nullptr) out.Format("%02d,%02d,%04d", date->wDay, date->wMonth, date->wYear);
    return out;
}

CString FormatDateDdMmYy(const SYSTEMTIME* date) {
    CString out;
    if (date != nullptr) out.Format("%02d%02d%02d", date->wDay, date->wMonth, date->wYear % 100);
    return out;
}

CString FormatDateMmDdYy(const SYSTEMTIME* date) {
    CString out;
    if (date != nullptr) out.Format("%02d%02d%02d", date->wMonth, date->wDay, date->wYear % 100);
    return out;
}
