#include "driver/nmea_codec.h"

#include <locale.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cmath>
#include <cstdlib>
#include <cstring>

#include "compat/pps_library.h"
#include "foundation/lat_lon_format.h"

const char* const NMEA_FIELD_DELIMITERS = "$,*\r\n";

namespace {

// Numbers in sentences always use ".", whatever locale the process may have set.
locale_t NumericLocale() {
    static const locale_t c = newlocale(LC_NUMERIC_MASK, "C", static_cast<locale_t>(nullptr));
    return c;
}

double DecimalAt(const char* p) { return strtod_l(p, nullptr, NumericLocale()); }

// Leading decimal number from index first on; 0.0 when the index lies beyond the text.
double DecimalFrom(const CString& text, int first) {
    if (first < 0 || first >= text.GetLength()) return 0.0;
    return DecimalAt(text.GetString() + first);
}

int IntegerAt(const char* p) {
    const long v = std::strtol(p, nullptr, 10);
    return static_cast<int>(std::clamp<long>(v, INT_MIN, INT_MAX));
}

// Integer of at most count characters from index first, read from a copy so that the digits of
// the next position cannot join in.
int IntegerOf(const CString& text, int first, int count) {
    char digits[8] = {};
    const int available = std::clamp(text.GetLength() - first, 0, count);
    if (first < 0 || available <= 0) return 0;
    std::memcpy(digits, text.GetString() + first, static_cast<size_t>(std::min(available, 7)));
    return IntegerAt(digits);
}

bool IsDelimiter(char c) { return c != '\0' && std::strchr(NMEA_FIELD_DELIMITERS, c) != nullptr; }

// Length of the field at the front: up to the first delimiter or the end of the text.
int FieldLength(const CString& text) {
    const int n = GetFieldLength(text);
    return n < 0 ? text.GetLength() : n;
}

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

bool DigitsAt(const CString& text, int first, int count) {
    for (int i = first; i < first + count; ++i) {
        if (i >= text.GetLength() || !IsDigit(text[i])) return false;
    }
    return true;
}

// The first character of the field after the one at the front, or 0 when there is none.
char NextFieldLead(const CString& text) {
    const int p = GetFieldLength(text);
    if (p < 0 || p + 1 >= text.GetLength()) return '\0';
    return text[p + 1];
}

double ParseCoordinate(const CString& text, int degreeDigits, char negative) {
    if (text.GetLength() < degreeDigits + 2) return 0.0;
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

}  // namespace

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

int SkipFields(CString& text, int count) {
    for (int i = 0; i < count; ++i) {
        if (!SkipPastFirstOf(text, NMEA_FIELD_DELIMITERS)) return 0;
    }
    return 1;
}

int SkipDataFields(CString& text, int count) {
    for (int i = 0; i < count; ++i) {
        const int p = GetFieldLength(text);
        if (p < 0 || text[p] != ',') {
            text.Empty();
            return 0;
        }
        text.Delete(0, p + 1);
    }
    return 1;
}

int CountDataFields(const CString& text, int limit) {
    int fields = 0;
    for (int i = 0; fields < limit; ++i) {
        if (i >= text.GetLength() || IsDelimiter(text[i])) {
            // The field ends here; only a comma starts another.
            if (i == 0 && (i >= text.GetLength() || text[i] != ',')) return 0;
            ++fields;
            if (i >= text.GetLength() || text[i] != ',') break;
        }
    }
    return fields;
}

int SkipPastToken(CString& text, const char* token) {
    const int length = token != nullptr ? static_cast<int>(std::strlen(token)) : INT_MAX;
    const int p = length <= text.GetLength() ? text.Find(token) : -1;
    if (p < 0 || p + length + 1 >= text.GetLength()) {
        text.Empty();
        return 0;
    }
    text.Delete(0, p + length + 1);
    return 1;
}

int GetFieldLength(const CString& text) { return text.FindOneOf(NMEA_FIELD_DELIMITERS); }

int IsFieldDelimiter(const CString& text, int index) {
    if (index < 0 || index >= text.GetLength()) return 0;
    return IsDelimiter(text[index]) ? 1 : 0;
}

double ParseLatitude(const CString& text) { return ParseCoordinate(text, 2, 'S'); }

double ParseLongitude(const CString& text) { return ParseCoordinate(text, 3, 'W'); }

double ParseDouble(const CString& text) { return DecimalAt(text.GetString()); }

int ParseInteger(const CString& text) { return IntegerAt(text.GetString()); }

double ParseNumberSkippingPrefix(const CString& text) {
    double value = 0.0;
    const int n = GetFieldLength(text) - 1;
    for (int i = 0; value == 0.0 && i < n; ++i) value = DecimalFrom(text, i);
    return value;
}

double ParseSignedValueEW(const CString& text) {
    const double value = ParseDouble(text);
    return NextFieldLead(text) == 'W' ? -value : value;
}

void ParseTime(const CString& text, SYSTEMTIME* time) {
    if (time == nullptr) return;
    time->wHour = 0;
    time->wMinute = 0;
    time->wSecond = 0;
    time->wMilliseconds = 0;
    // Only the field itself counts, so that an empty or cut time never reads the next field.
    if (FieldLength(text) < 6) return;
    time->wHour = static_cast<WORD>(IntegerOf(text, 0, 2));
    time->wMinute = static_cast<WORD>(IntegerOf(text, 2, 2));
    const double s = DecimalFrom(text, 4);
    const double whole = std::isnan(s) ? 0.0 : std::trunc(std::clamp(s, -1e9, 1e9));
    time->wSecond = TruncatedWord(whole);
    time->wMilliseconds = TruncatedWord((s - whole) * 1000.0 + 0.5);
}

void ParseDateDdMmYy(const CString& text, SYSTEMTIME* date) {
    if (date == nullptr || FieldLength(text) != 6 || !DigitsAt(text, 0, 6)) return;
    SetDate(date, IntegerOf(text, 4, 2), IntegerOf(text, 2, 2), IntegerOf(text, 0, 2));
}

void ParseDateMmDdYy(const CString& text, SYSTEMTIME* date) {
    if (date == nullptr || FieldLength(text) != 6 || !DigitsAt(text, 0, 6)) return;
    SetDate(date, IntegerOf(text, 4, 2), IntegerOf(text, 0, 2), IntegerOf(text, 2, 2));
}

void ParseDateDdMmYyyy(const CString& text, SYSTEMTIME* date) {
    if (date == nullptr || text.GetLength() < 10) return;
    const bool shaped = DigitsAt(text, 0, 2) && !IsDigit(text[2]) && DigitsAt(text, 3, 2) && !IsDigit(text[5]) &&
                        DigitsAt(text, 6, 4) && (text.GetLength() == 10 || IsDelimiter(text[10]));
    if (!shaped) return;
    SetDate(date, IntegerOf(text, 6, 4), IntegerOf(text, 3, 2), IntegerOf(text, 0, 2));
}

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
