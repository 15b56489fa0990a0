#include "foundation/display_text.h"

#include <array>
#include <cfloat>
#include <clocale>
#include <cmath>
#include <cstring>

#include "compat/regional.h"
#include "foundation/number_text.h"
#include "foundation/saturating_cast.h"
#include "foundation/string_utils.h"

namespace {

// A negative precision would make the built format no conversion at all.
int Decimals(int decimals) { return decimals < 0 ? 0 : decimals; }

// The runtime library's decimal point, as the number tests read it.
char LocaleDecimalPoint() {
    const char* point = std::localeconv()->decimal_point;
    return point != nullptr && point[0] != '\0' ? point[0] : '.';
}

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

CString Trimmed(const char* text) {
    CString s(text);
    s.Trim();
    return s;
}

}  // namespace

int AutoDecimals(double value) {
    if (value == 0.0) return 1;
    const double v = std::fabs(value);
    if (v < 1e-5) return 6;
    if (v < 1e-4) return 5;
    if (v < 0.001) return 4;
    if (v < 0.01) return 3;
    if (v < 0.1) return 2;
    if (v < 1.0) return 1;
    return 0;
}

CString DistanceText(double distance, int decimals, int unit) {
    if (decimals == -1) decimals = AutoDecimals(distance);
    static constexpr struct {
        double factor;
        const char* format;
    } kUnits[3] = {{1.0, "%%.%dlf NM"}, {1852.0, "%%.%dlf m"}, {1.852, "%%.%dlf km"}};
    if (unit == DISTANCE_UNIT_AUTO)
        return DistanceText(distance, decimals, distance < 0.54 ? DISTANCE_UNIT_METRE : DISTANCE_UNIT_NM);
    if (unit < 0 || unit > 2) return "";
    const std::string format = ::Format(kUnits[unit].format, Decimals(decimals));
    return ::Format(format.c_str(), distance * kUnits[unit].factor).c_str();
}

CString ValueWithUnitText(double value, int decimals, const CString& unit) {
    if (decimals == -1) decimals = AutoDecimals(value);
    const std::string format = ::Format("%%.%dlf %%s", Decimals(decimals));
    return ::Format(format.c_str(), value, unit).c_str();
}

CString SpecialCharText(WORD languageId, int index) {
    static constexpr const char* kCp1252[11] = {"\xA6", "\xA9", "\xAE", "\xB0", "\xB1", "\xDF",
                                                "\xDC", "\xFC", "\xD6", "\xF6", "\xB2"};
    static constexpr const char* kAscii[11] = {"|", "(c)", "(r)", "deg", "+/-", "B", "UE", "ue", "OE", "oe", "2"};
    static constexpr int kWesternLanguages[] = {6, 7, 9, 10, 11, 12, 16, 19, 22, 29};
    if (index < 0 || index > 10) return "";
    const int primary = languageId & 0xFF;
    for (const int language : kWesternLanguages)
        if (language == primary) return kCp1252[index];
    return kAscii[index];
}

CString HeadingText(double heading, int decimals) {
    // The system's language is read once, on first use.
    static const std::array<CString, 11> kSpecial = [] {
        std::array<CString, 11> table;
        for (int i = 0; i < 11; ++i) table[static_cast<size_t>(i)] = SpecialCharText(Vok::Regional::kLanguageId, i);
        return table;
    }();
    double h = heading;
    if (std::isfinite(h)) {
        h = std::fmod(h, 360.0);
        if (h < 0.0) h += 360.0;
        // A tiny negative remainder plus 360 rounds to 360 itself.
        if (h >= 360.0) h -= 360.0;
    }
    const std::string format = ::Format("%%.%dlf%s", Decimals(decimals), kSpecial[3]);
    return ::Format(format.c_str(), h).c_str();
}

void TrimTrailingZeros(CString& text, int minimumDecimals) {
    int point = text.ReverseFind(Vok::Regional::kDecimalSeparator);
    if (point < 0) point = text.ReverseFind('.');
    if (point < 0) return;
    int last = text.GetLength() - 1;
    while (last > point && text[last] == '0') --last;
    int cut = last == point ? point : last + 1;
    if (minimumDecimals > 0 && cut < point + 1 + minimumDecimals) cut = point + 1 + minimumDecimals;
    if (cut < text.GetLength()) text.Truncate(cut);
}

CString DoubleToText(double value, int minimumDecimals) {
    CString text(::Format("%.10lf", value).c_str());
    TrimTrailingZeros(text, minimumDecimals);
    return text;
}

CString FloatToText(float value, int minimumDecimals) {
    CString text(::Format("%.6lf", static_cast<double>(value)).c_str());
    TrimTrailingZeros(text, minimumDecimals);
    return text;
}

CString ChainageText(double kilometres, int decimals) {
    decimals = Decimals(decimals);
    const int hundreds = Vok::TruncToInt32(kilometres * 10.0);
    const double rest = std::fabs(kilometres) * 1000.0 - std::fabs(static_cast<double>(hundreds)) * 100.0;
    const char sign = kilometres < 0.0 ? '-' : '+';
    const int width = decimals + 2 + (decimals != 0 ? 1 : 0);
    const std::string format = ::Format("%%d%%c%%0%d.%dlf", width, decimals);
    return ::Format(format.c_str(), hundreds, sign, rest).c_str();
}

void RoundNumberText(CString& text, const int& decimals) {
    if (!IsNumberText(text) || decimals < 0 || text.Find('.') < 0) return;
    // Rounded in double: a float keeps only about seven digits.
    text = ::Format("%.*f", decimals, Vok::AtofC(text)).c_str();
}

BOOL IsNumberText(const char* text) {
    if (text == nullptr) return FALSE;
    const CString s = Trimmed(text);
    if (s.IsEmpty()) return FALSE;
    const char point = LocaleDecimalPoint();
    int points = 0, pluses = 0, minuses = 0;
    for (int i = 0; i < s.GetLength(); ++i) {
        const char c = s[i];
        if (c == point) {
            ++points;
        } else if (c == '+' || c == '-') {
            if (i != 0) return FALSE;
            ++(c == '+' ? pluses : minuses);
        } else if (!IsDigit(c)) {
            return FALSE;
        }
    }
    return points <= 1 && pluses <= 1 && minuses <= 1 ? TRUE : FALSE;
}

BOOL IsIntegerText(const char* text) {
    if (text == nullptr) return FALSE;
    const CString s = Trimmed(text);
    if (s.IsEmpty()) return FALSE;
    for (int i = 0; i < s.GetLength(); ++i)
        if (!IsDigit(s[i]) && s[i] != '+' && s[i] != '-') return FALSE;
    return TRUE;
}

bool FindNumberInText(const CString& text, double* out) {
    const int length = text.GetLength();
    double value = 0.0;
    if (length == 1) {
        if (!IsDigit(text[0])) return false;
        value = text[0] - '0';
    } else {
        int start = -1;
        for (int i = 0; i < length - 1 && start < 0; ++i) {
            if (IsDigit(text[i]) || (text[i] == '-' && IsDigit(text[i + 1]))) start = i;
            else if (IsDigit(text[i + 1])) start = i + 1;
        }
        if (start < 0) return false;
        const char point = LocaleDecimalPoint();
        int end = start + 1;
        while (end < length && (IsDigit(text[end]) || text[end] == point)) ++end;
        value = Vok::AtofC(text.Mid(start, end - start));
    }
    if (value == -static_cast<double>(FLT_MAX)) return false;
    if (out != nullptr) *out = value;
    return true;
}

std::string BinaryText(uint32_t value) {
    if (value == 0) return "0";
    std::string digits;
    for (; value != 0; value >>= 1) digits.insert(digits.begin(), (value & 1u) != 0 ? '1' : '0');
    return digits;
}
