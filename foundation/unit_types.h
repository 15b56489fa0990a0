// Physical unit types: codes, families, factors, conversions and display texts. Lengths and
// speeds are measured against the current survey unit of the unit library.
//
// Codes are stored in project definitions, so their numbering is fixed. Every function takes
// a plain int code and accepts any value: codes outside 0..35 are invalid (factor 0.0, name
// "???", abbreviation "?", library constant 14).
#pragma once

#include <cstdint>
#include <string>
#include <utility>

#include "compat/cstring.h"

enum eUnitType : int32_t {
    UT_METERS = 0,
    UT_FEET = 1,
    UT_LANES = 2,
    UT_DEGREES = 3,
    UT_GRADS = 4,
    UT_RADIANS = 5,
    UT_ARC_MINUTES = 6,
    UT_ARC_SECONDS = 7,
    UT_SECONDS = 8,
    UT_MILLISECONDS = 9,
    UT_CYCLES = 10,
    UT_HERTZ = 11,
    UT_RPM = 12,
    UT_TONS_PER_CUBIC_METER = 13,
    UT_TONS = 14,
    UT_CUBIC_METERS = 15,
    UT_NANOTESLA = 16,
    UT_DEGREES_PER_YEAR = 17,
    UT_DEGREES_PER_SECOND = 18,
    UT_UNITS_PER_SECOND = 19,
    UT_METERS_PER_SECOND = 20,
    UT_FEET_PER_SECOND = 21,
    UT_KILOMETERS_PER_HOUR = 22,
    UT_MILES_PER_HOUR = 23,
    UT_KNOTS = 24,
    UT_SURVEY_UNIT = 25,
    UT_OTHER = 26,
    UT_BAR = 27,
    UT_ATM = 28,
    UT_PSI = 29,
    UT_PASCAL = 30,
    UT_METERS_PER_SECOND_SQUARED = 31,
    UT_MICRORADIANS = 32,
    UT_PERCENT = 33,
    UT_PARTS_PER_MILLION = 34,
    UT_PARTS_PER_BILLION = 35,
};

enum eUnitPrefix : int32_t {
    PREFIX_NONE = 0,
    PREFIX_DECI = 1,
    PREFIX_CENTI = 2,
    PREFIX_MILLI = 3,
    PREFIX_MICRO = 4,
    PREFIX_NANO = 5,
    PREFIX_PICO = 6,
    PREFIX_DECA = 7,
    PREFIX_HECTO = 8,
    PREFIX_KILO = 9,
    PREFIX_MEGA = 10,
    PREFIX_GIGA = 11,
    PREFIX_TERA = 12,
};

// Classification and library constants.
bool IsLengthUnitType(int code);
bool IsSpeedUnitType(int code);
bool IsAngleUnitType(int code);
bool IsPressureUnitType(int code);
bool IsRatioUnitType(int code);
int UnitTypeToUnitConstant(int code);
int UnitConstantToUnitType(int constant, bool angular);
int LengthUnitTypeFromConstant(int constant);
int LengthUnitTypeFromConvToMeters(double factor);
bool IsSameConvToMeters(double a, double b);
int UnitConstantFromConvToMeters(double factor);
CString UnitNameFromConvToMeters(double factor);
CString UnitAbbrFromConvToMeters(double factor);

// Factors (size of one unit in its family's base) and conversions.
double GetUnitFactor(int code);
// 1.0 for equal codes; 0.0 when either factor is 0.0 or below.
double GetUnitConversionFactor(int from, int to);
// value * factor(from) / factor(to), each step skipped when its factor is exactly 0.0.
double ConvertUnitValue(double value, int from, int to);
double ToBaseUnits(double value, int code);
double FromBaseUnits(double value, int code);
double PositiveRatio(double a, double b);
double GetPrefixFactor(int index);
int PrefixFromFactor(double factor);

// Through the unit library; values of codes outside each family are returned unchanged.
double LengthToSurveyUnits(double value, int code);
double SurveyUnitsToLength(double value, int code);
double SpeedToSurveyUnits(double value, int code);
double SurveyUnitsToSpeed(double value, int code);
double AngleToDegrees(double value, int code);
double DegreesToAngle(double value, int code);
double AngleToRadians(double value, int code);
double RadiansToAngle(double value, int code);

// In place; the single and pair forms return their argument.
double& DegreesToRadiansInPlace(double& value);
void DegreesToRadiansBoth(double& a, double& b);
std::pair<double, double>& DegreesToRadiansPair(std::pair<double, double>& value);
double& RadiansToDegreesInPlace(double& value);
void RadiansToDegreesBoth(double& a, double& b);
std::pair<double, double>& RadiansToDegreesPair(std::pair<double, double>& value);

// In-place conversion from one unit type to another, then rounding to `decimals` when that is
// 0 or more; nothing happens (no rounding either) when there is nothing to convert.
void ConvertFloatUnits(float& value, int from, int to, int decimals);
void ConvertDoubleUnits(double& value, int from, int to, int decimals);
void ConvertXyUnits(double& x, double& y, int from, int to, int decimals);
void ConvertXyzUnits(double* xyz, int from, int to, int decimals);
// grid 0: latitude and longitude become radians when angleUnitType is Radians (5), and only
// the height converts from `from` to `to`; else all three convert.
void ConvertPositionUnits(double* position, int grid, int from, int to, int angleUnitType,
                          int decimals);

// Display texts, in the ANSI code page.
CString GetUnitTypeName(int code);
CString GetUnitTypeAbbr(int code);
CString GetPrefixName(int index);
CString GetPrefixAbbr(int index);
// With `current`, the survey-unit codes (25 and any negative code, and 19) take the current
// survey unit's name from the library.
CString GetUnitDisplayName(int code, bool current);
CString GetUnitDisplayAbbr(int code, bool current);
CString GetRateUnitName(int code, bool current);
CString GetRateUnitAbbr(int code, bool current);
// compact: lower case without blanks.
CString GetPrefixedUnitName(int prefix, int code, bool compact);
CString GetPrefixedUnitAbbr(int prefix, int code, bool compact);
CString AppendPerSecondName(const CString& text);
CString AppendPerSecondAbbr(const CString& text);
CString AppendSquaredName(const CString& text);
CString AppendSquaredAbbr(const CString& text);
CString AppendCubedName(const CString& text);
CString AppendCubedAbbr(const CString& text);
// UTF-8 text, up to its first NUL, in the ANSI code page: a character it lacks and each
// ill-formed part of the text become '?'.
CString Utf8StringToCString(const std::string& text);
