#include "foundation/coordinate_parsers.h"

#include <cmath>
#include <cstring>
#include <vector>

#include <boost/algorithm/string/trim.hpp>
#include <boost/lexical_cast.hpp>

#include "foundation/number_text.h"
#include "foundation/text_tokens.h"
#include "foundation/utf_conversion.h"

namespace {

constexpr double kDegreesToRadians = 0.017453292519943295;

// The letters and the range of one axis. The longitude tests its range before the sign.
struct sAxis {
    char negative;
    char positive;
    double low;
    double high;
    bool rangeBeforeSign;
};

constexpr sAxis kLatitudeAxis{'S', 'N', -90.0, 90.0, false};
constexpr sAxis kLongitudeAxis{'W', 'E', -180.0, 360.0, true};

BOOL ParseAxisText(const CString& text, double* out, const sAxis& axis) {
    CString s(text);
    s.Trim();
    s.MakeUpper();
    double sign = 1.0;
    if (s.Find(axis.negative) >= 1) {
        s.Remove(axis.negative);
        sign = -1.0;
    } else if (s.Find('-') >= 0) {
        s.Remove('-');
        sign = -1.0;
    } else if (s.Find(axis.positive) >= 1) {
        s.Remove(axis.positive);
    }
    s.Replace(',', '.');
    char* end = nullptr;
    const double degrees = Vok::StrToDoubleC(s, &end);
    // No number at all (an empty text, or a letter in front of the digits) is no coordinate.
    if (end == s.GetString()) return FALSE;
    double value = degrees;
    if (s.Find(' ') >= 0) {
        CString rest(end);
        rest.Trim();
        const double minutes = Vok::AtofC(rest);
        if (minutes >= 60.0) return FALSE;
        value = minutes / 60.0 + degrees;
    }
    if (!std::isfinite(value)) return FALSE;
    const double signedValue = value * sign;
    const double tested = axis.rangeBeforeSign ? value : signedValue;
    if (!(tested >= axis.low && tested <= axis.high)) return FALSE;
    if (out != nullptr) *out = signedValue;
    return TRUE;
}

// The sign and the first three numbers of an angle text; false without any digit.
struct sAngleParts {
    double sign = 1.0;
    double degrees = 0.0;
    double minutes = 0.0;
    double seconds = 0.0;
};

bool ReadAngleParts(const char* text, sAngleParts& parts) {
    if (text == nullptr) return false;
    if (const char* s = std::strpbrk(text, "nNeEsSwW+-")) {
        if (std::strchr("-sSwW", *s) != nullptr) parts.sign = -1.0;
    }
    constexpr const char* kDigits = "0123456789";
    const char* p = std::strpbrk(text, kDigits);
    if (p == nullptr) return false;
    char* end = nullptr;
    parts.degrees = Vok::StrToDoubleC(p, &end);
    if ((p = std::strpbrk(end, kDigits)) != nullptr) {
        parts.minutes = Vok::StrToDoubleC(p, &end);
        if ((p = std::strpbrk(end, kDigits)) != nullptr) parts.seconds = Vok::StrToDoubleC(p, nullptr);
    }
    return true;
}

double Finite(double value) { return std::isfinite(value) ? value : 0.0; }

}  // namespace

BOOL ParseLatitudeText(const CString& text, double* out) { return ParseAxisText(text, out, kLatitudeAxis); }

BOOL ParseLongitudeText(const CString& text, double* out) { return ParseAxisText(text, out, kLongitudeAxis); }

double ParseAngleText(const char* text) {
    sAngleParts a;
    if (!ReadAngleParts(text, a)) return 0.0;
    return Finite((a.degrees + a.minutes / 60.0 + a.seconds / 3600.0) * a.sign);
}

double ParseAngleText(const std::string& text) { return ParseAngleText(text.c_str()); }

double ParseAngleText(const CString& text) {
    sAngleParts a;
    if (!ReadAngleParts(text, a)) return 0.0;
    return Finite(((a.seconds / 60.0 + a.minutes) / 60.0 + a.degrees) * a.sign);
}

double ParseAngleTextToRadians(const char* text) {
    sAngleParts a;
    if (!ReadAngleParts(text, a)) return 0.0;
    return Finite(((a.seconds / 60.0 + a.minutes) / 60.0 + a.degrees) * a.sign * kDegreesToRadians);
}

bool ParseAngleTextStrict(const CString& text, double* out) {
    double ignored = 0.0;
    double& result = out != nullptr ? *out : ignored;
    result = 0.0;
    CString upper(text);
    upper.Trim();
    upper.MakeUpper();
    std::string s = AnsiToUtf8(upper);
    if (s.empty()) return false;
    bool negative = false;
    if (s.front() == '-') {
        s.erase(0, 1);
        negative = true;
    }
    if (!s.empty() && std::strchr("NESW", s.back()) != nullptr) {
        if (s.back() == 'S' || s.back() == 'W') negative = !negative;
        s.pop_back();
    }
    std::vector<std::string> parts = SplitToVector(s, ';');
    for (std::string& part : parts) boost::algorithm::trim(part);
    double value = 0.0;
    try {
        using boost::lexical_cast;
        std::vector<double> numbers;
        if (parts.size() == 1) {
            numbers = {lexical_cast<double>(parts[0])};
            value = numbers[0];
        } else if (parts.size() == 2) {
            numbers = {static_cast<double>(lexical_cast<int>(parts[0])), lexical_cast<double>(parts[1])};
            value = numbers[1] / 60.0 + numbers[0];
        } else if (parts.size() == 3) {
            numbers = {static_cast<double>(lexical_cast<int>(parts[0])), static_cast<double>(lexical_cast<int>(parts[1])),
                       lexical_cast<double>(parts[2])};
            value = numbers[1] / 60.0 + numbers[0] + numbers[2] / 3600.0;
        } else {
            return false;
        }
        for (const double n : numbers)
            if (!(n >= 0.0) || !std::isfinite(n)) return false;
    } catch (const boost::bad_lexical_cast&) {
        return false;
    }
    result = negative ? -value : value;
    return true;
}

BOOL ParseLatLonText(const CString& text, sDmsAngle* out, BOOL latitude) {
    sDmsAngle angle{};
    angle.hemisphere = latitude ? 'N' : 'E';
    double value = 0.0;
    const bool ok = ParseAngleTextStrict(text, &value);
    if (ok) DegreesToDms(value, latitude, &angle, 59.999996f);
    if (out != nullptr) *out = angle;
    return ok ? TRUE : FALSE;
}

BOOL IsValidLatitude(const sDmsAngle& angle) {
    const char h = angle.hemisphere;
    if (h != 'N' && h != 'n' && h != 'S' && h != 's') return FALSE;
    const double v = angle.degrees + angle.minutes / 60.0 + angle.seconds / 3600.0;
    return IsLatitudeInRange(h == 'S' || h == 's' ? -v : v);
}

BOOL IsValidLongitude(const sDmsAngle& angle) {
    const char h = angle.hemisphere;
    if (h != 'E' && h != 'e' && h != 'W' && h != 'w') return FALSE;
    const double v = angle.degrees + angle.minutes / 60.0 + angle.seconds / 3600.0;
    return IsLongitudeInRange(h == 'W' || h == 'w' ? -v : v);
}

BOOL IsLatitudeInRange(double degrees) { return degrees >= -90.0 && degrees <= 90.0 ? TRUE : FALSE; }

BOOL IsLongitudeInRange(double degrees) { return degrees >= -180.0 && degrees <= 180.0 ? TRUE : FALSE; }

BOOL IsValidDate(const sDateYmd& date) {
    // As unsigned, 0 and every negative value fall beyond the top of the range.
    const uint32_t dayIndex = static_cast<uint32_t>(date.day) - 1u;
    const uint32_t monthIndex = static_cast<uint32_t>(date.month) - 1u;
    return dayIndex < 31 && monthIndex < 12 && date.year >= 1980 ? TRUE : FALSE;
}
