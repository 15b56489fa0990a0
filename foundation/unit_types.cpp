#include "foundation/unit_types.h"

#include <cmath>
#include <exception>
#include <vector>

#include "compat/unit_library.h"
#include "foundation/numeric_helpers.h"
#include "foundation/utf_conversion.h"

namespace {

constexpr double kDegreesToRadians = 0.017453292519943295;
constexpr double kRadiansToDegrees = 57.29577951308232;
// One over a mean Gregorian year (365.2425 days) in seconds.
constexpr double kPerYear = 3.168873850681143e-08;

constexpr int kUnitTypeCount = 36;

struct sUnitTypeText {
    const char* name;
    const char* abbr;  // UTF-8
};

constexpr sUnitTypeText kUnitTypeTexts[kUnitTypeCount] = {
    {"Meters", "m"},
    {"Feet", "ft"},
    {"Lanes", "ln"},
    {"Degrees", "\xC2\xB0"},
    {"Grads", "gon"},
    {"Radians", "rad"},
    {"Arc Minutes", "'"},
    {"Arc Seconds", "\""},
    {"Seconds", "s"},
    {"Milliseconds", "ms"},
    {"Cycles", " "},
    {"Hertz", "Hz"},
    {"RPM", "rpm"},
    {"Tons / Meter^3", "t/m\xC2\xB3"},
    {"Tons", "ton"},
    {"Meters^3", "m\xC2\xB3"},
    {"nanoTesla", "nT"},
    {"Degrees / Year", "\xC2\xB0/y"},
    {"Degrees / Second", "\xC2\xB0/s"},
    {"Units / Second", "su/s"},
    {"Meters / Second", "m/s"},
    {"Feet / Second", "ft/s"},
    {"Kilometers / Hour", "km/h"},
    {"Miles / Hour", "mi/h"},
    {"Knots", "kn"},
    {"Survey Unit", "su"},
    {"Other", " "},
    {"Bar", "bar"},
    {"Atm", "atm"},
    {"Psi", "psi"},
    {"Pascal", "Pa"},
    {"Meters / Second^2", "m/s\xC2\xB2"},
    {"Microradians", "\xC2\xB5rad"},
    {"Percent", "%"},
    {"Parts-Per-Million", "ppm"},
    {"Parts-Per-Billion", "ppb"},
};

struct sPrefix {
    const char* name;
    const char* abbr;  // UTF-8
    double factor;
};

constexpr int kPrefixCount = 13;
constexpr sPrefix kPrefixes[kPrefixCount] = {
    {"", "", 1.0},          {"Deci", "d", 0.1},   {"Centi", "c", 0.01},
    {"Milli", "m", 0.001},  {"Micro", "\xC2\xB5", 1e-6}, {"Nano", "n", 1e-9},
    {"Pico", "p", 1e-12},   {"Deca", "da", 10.0}, {"Hecto", "h", 100.0},
    {"Kilo", "k", 1000.0},  {"Mega", "M", 1e6},   {"Giga", "G", 1e9},
    {"Tera", "T", 1e12},
};

bool IsValidCode(int code) { return code >= 0 && code < kUnitTypeCount; }
bool IsValidPrefix(int index) { return index >= 0 && index < kPrefixCount; }


CString TypeName(int code) { return IsValidCode(code) ? kUnitTypeTexts[code].name : "???"; }

CString TypeAbbr(int code) {
    return IsValidCode(code) ? Utf8StringToCString(kUnitTypeTexts[code].abbr) : CString("?");
}

bool IsSurveyUnitCode(int code) { return code < 0 || code == UT_SURVEY_UNIT; }

}  // namespace

// ---- Classification and library constants ----

bool IsLengthUnitType(int code) {
    return code == UT_METERS || code == UT_FEET || code == UT_SURVEY_UNIT;
}

bool IsSpeedUnitType(int code) { return code >= UT_UNITS_PER_SECOND && code <= UT_KNOTS; }

bool IsAngleUnitType(int code) {
    return (code >= UT_DEGREES && code <= UT_ARC_SECONDS) || code == UT_MICRORADIANS;
}

bool IsPressureUnitType(int code) { return code >= UT_BAR && code <= UT_PASCAL; }

bool IsRatioUnitType(int code) { return code >= UT_PERCENT && code <= UT_PARTS_PER_BILLION; }

int UnitTypeToUnitConstant(int code) {
    switch (code) {
        case UT_METERS:
        case UT_DEGREES:
        case UT_DEGREES_PER_SECOND:
        case UT_METERS_PER_SECOND:
        case UT_METERS_PER_SECOND_SQUARED:
            return 1;
        case UT_FEET:
        case UT_GRADS:
        case UT_FEET_PER_SECOND:
            return 2;
        case UT_RADIANS:
            return 4;
        case UT_ARC_MINUTES:
            return 5;
        case UT_ARC_SECONDS:
            return 6;
        case UT_MILES_PER_HOUR:
            return 11;
        case UT_KNOTS:
            return 13;
        case UT_UNITS_PER_SECOND:
        case UT_SURVEY_UNIT:
            return GetUnitConstant();
        default:
            return 14;
    }
}

int UnitConstantToUnitType(int constant, bool angular) {
    if (!angular) {
        if (constant == 1) return UT_METERS;
        if (constant == 2) return UT_FEET;
        return UT_OTHER;
    }
    switch (constant) {
        case 1:
            return UT_DEGREES;
        case 2:
            return UT_GRADS;
        case 4:
            return UT_RADIANS;
        case 5:
            return UT_ARC_MINUTES;
        case 6:
            return UT_ARC_SECONDS;
        default:
            return UT_OTHER;
    }
}

int LengthUnitTypeFromConstant(int constant) {
    if (constant == 1) return UT_METERS;
    if (constant == 2) return UT_FEET;
    return UT_SURVEY_UNIT;
}

int LengthUnitTypeFromConvToMeters(double factor) {
    if (factor == GetConvToMeters(1)) return UT_METERS;
    if (factor == GetConvToMeters(2)) return UT_FEET;
    return UT_SURVEY_UNIT;
}

bool IsSameConvToMeters(double a, double b) { return CompareConvToMeters(a, b) != 0; }

int UnitConstantFromConvToMeters(double factor) { return GetUnitConstant(factor); }

CString UnitNameFromConvToMeters(double factor) { return GetUnitName(GetUnitConstant(factor)); }

CString UnitAbbrFromConvToMeters(double factor) { return GetUnitAbbr(GetUnitConstant(factor)); }

// ---- Factors and conversions ----

double GetUnitFactor(int code) {
    switch (code) {
        case UT_METERS:
        case UT_METERS_PER_SECOND:
        case UT_METERS_PER_SECOND_SQUARED:
            return MetersToUnits(1.0);
        case UT_FEET:
        case UT_FEET_PER_SECOND:
            return FeetToUnits(1.0);
        case UT_DEGREES:
        case UT_DEGREES_PER_SECOND:
            return AngUnitsToDegrees(1.0, 1);
        case UT_GRADS:
            return AngUnitsToDegrees(1.0, 2);
        case UT_RADIANS:
            return AngUnitsToDegrees(1.0, 4);
        case UT_ARC_MINUTES:
            return AngUnitsToDegrees(1.0, 5);
        case UT_ARC_SECONDS:
            return AngUnitsToDegrees(1.0, 6);
        case UT_MILLISECONDS:
            return 0.001;
        case UT_RPM:
            return AngUnitsToDegrees(1.0 / 60.0, 7);
        case UT_TONS_PER_CUBIC_METER:
            return std::pow(MetersToUnits(1.0), -3.0);
        case UT_CUBIC_METERS:
            return std::pow(MetersToUnits(1.0), 3.0);
        case UT_DEGREES_PER_YEAR:
            return AngUnitsToDegrees(kPerYear, 1);
        case UT_KILOMETERS_PER_HOUR:
            return KphToUnits(1.0);
        case UT_MILES_PER_HOUR:
            return MphToUnits(1.0);
        case UT_KNOTS:
            return KnotsToUnits(1.0);
        case UT_ATM:
            return 1.01325;
        case UT_PSI:
            return 0.06894757;
        case UT_PASCAL:
            return 1e-5;
        case UT_MICRORADIANS:
            return AngUnitsToDegrees(1e-6, 4);
        case UT_PERCENT:
            return 0.01;
        case UT_PARTS_PER_MILLION:
            return 1e-6;
        case UT_PARTS_PER_BILLION:
            return 1e-9;
        default:
            return IsValidCode(code) ? 1.0 : 0.0;
    }
}

double GetUnitConversionFactor(int from, int to) {
    if (from == to) return 1.0;
    const double f = GetUnitFactor(from);
    const double t = GetUnitFactor(to);
    if (f <= 0.0 || t <= 0.0) return 0.0;
    return f / t;
}

// A step whose factor is 0.0 is skipped, not refused: callers convert into and out of codes
// without a factor this way.
double ConvertUnitValue(double value, int from, int to) {
    if (from == to) return value;
    const double f = GetUnitFactor(from);
    if (f != 0.0) value *= f;
    const double t = GetUnitFactor(to);
    if (t != 0.0) value /= t;
    return value;
}

double ToBaseUnits(double value, int code) {
    const double f = GetUnitFactor(code);
    return f == 0.0 ? value : value * f;
}

double FromBaseUnits(double value, int code) {
    const double f = GetUnitFactor(code);
    return f == 0.0 ? value : value / f;
}

double PositiveRatio(double a, double b) { return (a > 0.0 && b > 0.0) ? a / b : 0.0; }

double GetPrefixFactor(int index) { return IsValidPrefix(index) ? kPrefixes[index].factor : 0.0; }

int PrefixFromFactor(double factor) {
    for (int i = 0; i < kPrefixCount; ++i)
        if (kPrefixes[i].factor == factor) return i;
    return PREFIX_NONE;
}

double LengthToSurveyUnits(double value, int code) {
    if (code == UT_METERS) return MetersToUnits(value);
    if (code == UT_FEET) return FeetToUnits(value);
    return value;
}

double SurveyUnitsToLength(double value, int code) {
    if (code == UT_METERS) return UnitsToMeters(value);
    if (code == UT_FEET) return UnitsToFeet(value);
    return value;
}

double SpeedToSurveyUnits(double value, int code) {
    switch (code) {
        case UT_METERS_PER_SECOND:
            return MetersToUnits(value);
        case UT_FEET_PER_SECOND:
            return FeetToUnits(value);
        case UT_KILOMETERS_PER_HOUR:
            return KphToUnits(value);
        case UT_MILES_PER_HOUR:
            return MphToUnits(value);
        case UT_KNOTS:
            return KnotsToUnits(value);
        default:
            return value;
    }
}

double SurveyUnitsToSpeed(double value, int code) {
    switch (code) {
        case UT_METERS_PER_SECOND:
            return UnitsToMeters(value);
        case UT_FEET_PER_SECOND:
            return UnitsToFeet(value);
        case UT_KILOMETERS_PER_HOUR:
            return UnitsToKph(value);
        case UT_MILES_PER_HOUR:
            return UnitsToMph(value);
        case UT_KNOTS:
            return UnitsToKnots(value);
        default:
            return value;
    }
}

double AngleToDegrees(double value, int code) {
    if (code == UT_MICRORADIANS) return AngUnitsToDegrees(value, 4) * 1e-6;
    if (code > UT_DEGREES && code <= UT_ARC_SECONDS)
        return AngUnitsToDegrees(value, UnitTypeToUnitConstant(code));
    return value;
}

double DegreesToAngle(double value, int code) {
    if (code == UT_MICRORADIANS) return DegreesToAngUnits(value, 4) * 1e6;
    if (code > UT_DEGREES && code <= UT_ARC_SECONDS)
        return DegreesToAngUnits(value, UnitTypeToUnitConstant(code));
    return value;
}

double AngleToRadians(double value, int code) {
    if (code == UT_MICRORADIANS) return AngUnitsToRadians(value, 4) * 1e-6;
    if (code >= UT_DEGREES && code <= UT_ARC_SECONDS)
        return AngUnitsToRadians(value, UnitTypeToUnitConstant(code));
    return value;
}

double RadiansToAngle(double value, int code) {
    if (code == UT_MICRORADIANS) return RadiansToAngUnits(value, 4) * 1e6;
    if (code >= UT_DEGREES && code <= UT_ARC_SECONDS)
        return RadiansToAngUnits(value, UnitTypeToUnitConstant(code));
    return value;
}

double& DegreesToRadiansInPlace(double& value) {
    value *= kDegreesToRadians;
    return value;
}

void DegreesToRadiansBoth(double& a, double& b) {
    a *= kDegreesToRadians;
    b *= kDegreesToRadians;
}

std::pair<double, double>& DegreesToRadiansPair(std::pair<double, double>& value) {
    DegreesToRadiansBoth(value.first, value.second);
    return value;
}

double& RadiansToDegreesInPlace(double& value) {
    value *= kRadiansToDegrees;
    return value;
}

void RadiansToDegreesBoth(double& a, double& b) {
    a *= kRadiansToDegrees;
    b *= kRadiansToDegrees;
}

std::pair<double, double>& RadiansToDegreesPair(std::pair<double, double>& value) {
    RadiansToDegreesBoth(value.first, value.second);
    return value;
}

namespace {

// The factor that converts from one unit type to another, or 0.0 when nothing is to be done.
double InPlaceRatio(int from, int to) {
    if (from == to) return 0.0;
    const double f = GetUnitFactor(from);
    const double t = GetUnitFactor(to);
    if (f <= 0.0 || t <= 0.0) return 0.0;
    const double r = f / t;
    return r == 1.0 ? 0.0 : r;
}

void ScaleAndRound(double& value, double r, int decimals) {
    value *= r;
    if (decimals >= 0) value = RoundToDecimals(value, decimals);
}

}  // namespace

void ConvertFloatUnits(float& value, int from, int to, int decimals) {
    double wide = value;
    ConvertDoubleUnits(wide, from, to, decimals);
    value = static_cast<float>(wide);
}

void ConvertDoubleUnits(double& value, int from, int to, int decimals) {
    const double r = InPlaceRatio(from, to);
    if (r != 0.0) ScaleAndRound(value, r, decimals);
}

void ConvertXyUnits(double& x, double& y, int from, int to, int decimals) {
    const double r = InPlaceRatio(from, to);
    if (r == 0.0) return;
    ScaleAndRound(x, r, decimals);
    ScaleAndRound(y, r, decimals);
}

void ConvertXyzUnits(double* xyz, int from, int to, int decimals) {
    if (xyz == nullptr) return;
    const double r = InPlaceRatio(from, to);
    if (r == 0.0) return;
    for (int i = 0; i < 3; ++i) ScaleAndRound(xyz[i], r, decimals);
}

void ConvertPositionUnits(double* position, int grid, int from, int to, int angleUnitType,
                          int decimals) {
    if (position == nullptr) return;
    if (grid != 0) {
        ConvertXyzUnits(position, from, to, decimals);
        return;
    }
    if (angleUnitType == UT_RADIANS) DegreesToRadiansBoth(position[0], position[1]);
    if (from != to) ConvertDoubleUnits(position[2], from, to, decimals);
}

// ---- Display texts ----

CString GetUnitTypeName(int code) { return TypeName(code); }

CString GetUnitTypeAbbr(int code) { return TypeAbbr(code); }

CString GetPrefixName(int index) { return IsValidPrefix(index) ? kPrefixes[index].name : ""; }

CString GetPrefixAbbr(int index) {
    return IsValidPrefix(index) ? Utf8StringToCString(kPrefixes[index].abbr) : CString();
}

CString GetUnitDisplayName(int code, bool current) {
    if (current) {
        if (IsSurveyUnitCode(code)) return GetUnitName();
        if (code == UT_UNITS_PER_SECOND) return AppendPerSecondName(GetUnitName());
    } else {
        if (IsSurveyUnitCode(code)) return TypeName(UT_SURVEY_UNIT);
        if (code == UT_UNITS_PER_SECOND) return TypeName(UT_UNITS_PER_SECOND);
    }
    if (code == UT_METERS) return GetUnitName(1);
    if (code == UT_FEET) return GetUnitName(2);
    if (code == UT_OTHER) return "   ";
    return TypeName(code);
}

CString GetUnitDisplayAbbr(int code, bool current) {
    if (current) {
        if (IsSurveyUnitCode(code)) return GetUnitAbbr();
        if (code == UT_UNITS_PER_SECOND) return AppendPerSecondAbbr(GetUnitAbbr());
    } else {
        if (IsSurveyUnitCode(code)) return TypeAbbr(UT_SURVEY_UNIT);
        if (code == UT_UNITS_PER_SECOND) return TypeAbbr(UT_UNITS_PER_SECOND);
    }
    if (code == UT_METERS) return GetUnitAbbr(1);
    if (code == UT_FEET) return GetUnitAbbr(2);
    if (code == UT_OTHER) return " ";
    return TypeAbbr(code);
}

CString GetRateUnitName(int code, bool current) {
    const CString name = GetUnitDisplayName(code, current);
    return IsSpeedUnitType(code) ? name : AppendPerSecondName(name);
}

CString GetRateUnitAbbr(int code, bool current) {
    const CString abbr = GetUnitDisplayAbbr(code, current);
    return IsSpeedUnitType(code) ? abbr : AppendPerSecondAbbr(abbr);
}

namespace {

CString Compacted(CString text, bool compact) {
    if (compact) {
        text.MakeLower();
        text.Remove(' ');
    }
    return text;
}

}  // namespace

CString GetPrefixedUnitName(int prefix, int code, bool compact) {
    return Compacted(GetPrefixName(prefix) + GetUnitDisplayName(code, false), compact);
}

CString GetPrefixedUnitAbbr(int prefix, int code, bool compact) {
    return Compacted(GetPrefixAbbr(prefix) + GetUnitDisplayAbbr(code, false), compact);
}

CString AppendPerSecondName(const CString& text) { return text + " / Second"; }
CString AppendPerSecondAbbr(const CString& text) { return text + "/s"; }
CString AppendSquaredName(const CString& text) { return text + " Squared"; }
CString AppendSquaredAbbr(const CString& text) { return text + Utf8StringToCString("\xC2\xB2"); }
CString AppendCubedName(const CString& text) { return text + " Cubed"; }
CString AppendCubedAbbr(const CString& text) { return text + Utf8StringToCString("\xC2\xB3"); }

CString Utf8StringToCString(const std::string& text) {
    // Ill-formed parts become U+FFFD, which the code page lacks: '?'.
    return WideToCString(Utf8ToUtf16Lenient(std::string(text.c_str())), 0);
}
