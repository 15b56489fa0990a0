// The suite's unit library: the process-wide current length (survey) unit and angle unit, unit
// names, and conversions between metres, feet, speeds, angle units and the current units.
//
// Unit constants share one numbering. Linear and speed units: 1 metres, 2 international feet
// (0.3048 m exactly), 11 miles per hour, 13 knots; 0 stands for the current survey unit itself;
// 14 is "no such unit". Angle units: 1 degrees, 2 grads, 4 radians, 5 arc minutes, 6 arc
// seconds, 7 revolutions; an angle constant the library does not know counts as degrees.
// Speeds in "units" are current survey units per second.
//
// The state is guarded by a mutex; texts handed out stay valid for the life of the process.
#pragma once

// Unit constants.
constexpr int UNIT_CURRENT = 0;
constexpr int UNIT_METERS = 1;
constexpr int UNIT_FEET = 2;
constexpr int UNIT_MILES_PER_HOUR = 11;
constexpr int UNIT_KNOTS = 13;
constexpr int UNIT_NONE = 14;

constexpr int ANGUNIT_DEGREES = 1;
constexpr int ANGUNIT_GRADS = 2;
constexpr int ANGUNIT_RADIANS = 4;
constexpr int ANGUNIT_ARC_MINUTES = 5;
constexpr int ANGUNIT_ARC_SECONDS = 6;
constexpr int ANGUNIT_REVOLUTIONS = 7;

// Makes the named unit of `factor` metres the current survey unit. `flag` is accepted for the
// callers' sake and changes nothing. A factor that is not finite and above 0.0 is refused:
// the result is 0 and the current unit stays.
int SetUnit(const char* name, double factor, int flag);
// Makes a library unit (1 or 2) the current survey unit; 0 and no change for any other code.
int SetUnit(int unitCode);
// Sets the current angle unit; 0 and no change for a constant the library does not know.
int SetAngUnit(int angUnitCode);
int GetAngUnit();

// The constant of the current survey unit: 1 or 2 when its factor is that unit's, else 0.
int GetUnitConstant();
// The constant of the linear unit whose metre factor compares equal to `factor`: 1, 2, 0 for
// the current survey unit, else 14.
int GetUnitConstant(double factor);
// Metres per current survey unit.
double GetConvToMeters();
// Metres per unit (per second for speeds) of a constant; 0.0 for an unknown constant.
double GetConvToMeters(int unitCode);
// Non-zero when two metre factors name the same unit (equal within a relative 1e-12).
int CompareConvToMeters(double a, double b);

// Names and abbreviations, as terminated texts; an unknown constant gives "".
const char* GetUnitName();
const char* GetUnitName(int unitCode);
const char* GetUnitAbbr();
const char* GetUnitAbbr(int unitCode);
const char* GetUnitShort(int unitCode);

// Lengths: metres and feet to and from current survey units.
double MetersToUnits(double value);
double UnitsToMeters(double value);
double FeetToUnits(double value);
double UnitsToFeet(double value);

// Speeds to and from current survey units per second.
double KnotsToUnits(double value);
double UnitsToKnots(double value);
double KphToUnits(double value);
double UnitsToKph(double value);
double MphToUnits(double value);
double UnitsToMph(double value);

// Angles in the unit of an angle constant.
double AngUnitsToDegrees(double value, int angUnitCode);
double DegreesToAngUnits(double value, int angUnitCode);
double AngUnitsToRadians(double value, int angUnitCode);
double RadiansToAngUnits(double value, int angUnitCode);
