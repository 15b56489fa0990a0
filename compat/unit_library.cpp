#include "compat/unit_library.h"

#include <cmath>
#include <initializer_list>
#include <mutex>
#include <set>
#include <string>

namespace {

constexpr double kMetersPerFoot = 0.3048;
constexpr double kMetersPerSecondPerKnot = 1852.0 / 3600.0;
constexpr double kMetersPerSecondPerKph = 1000.0 / 3600.0;
constexpr double kMetersPerSecondPerMph = 0.44704;
constexpr double kPi = 3.141592653589793;
constexpr double kDegreesToRadians = 0.017453292519943295;
constexpr double kRadiansToDegrees = 57.29577951308232;

struct sLibraryUnit {
    int code;
    const char* name;
    const char* abbr;
    double metersPerUnit;
};

constexpr sLibraryUnit kLinearUnits[] = {
    {UNIT_METERS, "Meters", "m", 1.0},
    {UNIT_FEET, "Feet", "ft", kMetersPerFoot},
    {UNIT_MILES_PER_HOUR, "Miles / Hour", "mi/h", kMetersPerSecondPerMph},
    {UNIT_KNOTS, "Knots", "kn", kMetersPerSecondPerKnot},
};

const sLibraryUnit* FindLinearUnit(int code) {
    for (const auto& unit : kLinearUnits)
        if (unit.code == code) return &unit;
    return nullptr;
}

// An angle unit is (multiplier / divisor) degrees, kept apart so that the exact ones convert
// with a single rounding.
struct sAngleUnit {
    int code;
    double multiplier;
    double divisor;
};

constexpr sAngleUnit kAngleUnits[] = {
    {ANGUNIT_DEGREES, 1.0, 1.0},       {ANGUNIT_GRADS, 9.0, 10.0},
    {ANGUNIT_RADIANS, 180.0, kPi},     {ANGUNIT_ARC_MINUTES, 1.0, 60.0},
    {ANGUNIT_ARC_SECONDS, 1.0, 3600.0}, {ANGUNIT_REVOLUTIONS, 360.0, 1.0},
};

const sAngleUnit& FindAngleUnit(int code) {
    for (const auto& unit : kAngleUnits)
        if (unit.code == code) return unit;
    return kAngleUnits[0];
}

bool IsKnownAngleUnit(int code) {
    for (const auto& unit : kAngleUnits)
        if (unit.code == code) return true;
    return false;
}

struct sState {
    std::mutex mutex;
    const char* name = "Meters";  // interned, never freed
    double factor = 1.0;          // metres per survey unit
    int angUnit = ANGUNIT_DEGREES;
    std::set<std::string> names;  // node-based, so pointers into it stay valid
};

sState& State() {
    static sState* state = new sState;  // never destroyed: texts handed out stay valid
    return *state;
}

double CurrentFactor() {
    auto& state = State();
    std::lock_guard<std::mutex> lock(state.mutex);
    return state.factor;
}

// A value in a unit of `metersPerUnit` to survey units, and back; no rounding at all when the
// survey unit is that unit.
double ToUnits(double value, double metersPerUnit) {
    const double factor = CurrentFactor();
    if (factor == metersPerUnit) return value;
    return value * metersPerUnit / factor;
}

double FromUnits(double value, double metersPerUnit) {
    const double factor = CurrentFactor();
    if (factor == metersPerUnit) return value;
    return value * factor / metersPerUnit;
}

int ConstantOfFactor(double factor, double currentFactor) {
    for (int code : {UNIT_METERS, UNIT_FEET})
        if (CompareConvToMeters(factor, FindLinearUnit(code)->metersPerUnit)) return code;
    if (CompareConvToMeters(factor, currentFactor)) return UNIT_CURRENT;
    return UNIT_NONE;
}

}  // namespace

int SetUnit(const char* name, double factor, int /*flag*/) {
    if (!std::isfinite(factor) || factor <= 0.0) return 0;
    auto& state = State();
    std::lock_guard<std::mutex> lock(state.mutex);
    state.name = state.names.insert(std::string(name != nullptr ? name : "")).first->c_str();
    state.factor = factor;
    return 1;
}

int SetUnit(int unitCode) {
    if (unitCode != UNIT_METERS && unitCode != UNIT_FEET) return 0;
    const sLibraryUnit* unit = FindLinearUnit(unitCode);
    auto& state = State();
    std::lock_guard<std::mutex> lock(state.mutex);
    state.name = unit->name;
    state.factor = unit->metersPerUnit;
    return 1;
}

int SetAngUnit(int angUnitCode) {
    if (!IsKnownAngleUnit(angUnitCode)) return 0;
    auto& state = State();
    std::lock_guard<std::mutex> lock(state.mutex);
    state.angUnit = angUnitCode;
    return 1;
}

int GetAngUnit() {
    auto& state = State();
    std::lock_guard<std::mutex> lock(state.mutex);
    return state.angUnit;
}

int GetUnitConstant() {
    const double factor = CurrentFactor();
    return ConstantOfFactor(factor, factor);
}

int GetUnitConstant(double factor) { return ConstantOfFactor(factor, CurrentFactor()); }

double GetConvToMeters() { return CurrentFactor(); }

double GetConvToMeters(int unitCode) {
    if (unitCode == UNIT_CURRENT) return CurrentFactor();
    const sLibraryUnit* unit = FindLinearUnit(unitCode);
    return unit != nullptr ? unit->metersPerUnit : 0.0;
}

int CompareConvToMeters(double a, double b) {
    if (a == b) return 1;
    return std::fabs(a - b) <= 1e-12 * std::fmax(std::fabs(a), std::fabs(b)) ? 1 : 0;
}

const char* GetUnitName() {
    auto& state = State();
    std::lock_guard<std::mutex> lock(state.mutex);
    return state.name;
}

const char* GetUnitName(int unitCode) {
    if (unitCode == UNIT_CURRENT) return GetUnitName();
    const sLibraryUnit* unit = FindLinearUnit(unitCode);
    return unit != nullptr ? unit->name : "";
}

// A survey unit of its own has no abbreviation of the library; "su" names it.
const char* GetUnitAbbr() {
    const int code = GetUnitConstant();
    return code == UNIT_CURRENT ? "su" : FindLinearUnit(code)->abbr;
}

const char* GetUnitAbbr(int unitCode) {
    if (unitCode == UNIT_CURRENT) return GetUnitAbbr();
    const sLibraryUnit* unit = FindLinearUnit(unitCode);
    return unit != nullptr ? unit->abbr : "";
}

const char* GetUnitShort(int unitCode) { return GetUnitAbbr(unitCode); }

double MetersToUnits(double value) { return ToUnits(value, 1.0); }
double UnitsToMeters(double value) { return FromUnits(value, 1.0); }
double FeetToUnits(double value) { return ToUnits(value, kMetersPerFoot); }
double UnitsToFeet(double value) { return FromUnits(value, kMetersPerFoot); }

double KnotsToUnits(double value) { return ToUnits(value, kMetersPerSecondPerKnot); }
double UnitsToKnots(double value) { return FromUnits(value, kMetersPerSecondPerKnot); }
double KphToUnits(double value) { return ToUnits(value, kMetersPerSecondPerKph); }
double UnitsToKph(double value) { return FromUnits(value, kMetersPerSecondPerKph); }
double MphToUnits(double value) { return ToUnits(value, kMetersPerSecondPerMph); }
double UnitsToMph(double value) { return FromUnits(value, kMetersPerSecondPerMph); }

double AngUnitsToDegrees(double value, int angUnitCode) {
    const auto& unit = FindAngleUnit(angUnitCode);
    return value * unit.multiplier / unit.divisor;
}

double DegreesToAngUnits(double value, int angUnitCode) {
    const auto& unit = FindAngleUnit(angUnitCode);
    return value * unit.divisor / unit.multiplier;
}

double AngUnitsToRadians(double value, int angUnitCode) {
    if (angUnitCode == ANGUNIT_RADIANS) return value;
    return AngUnitsToDegrees(value, angUnitCode) * kDegreesToRadians;
}

double RadiansToAngUnits(double value, int angUnitCode) {
    if (angUnitCode == ANGUNIT_RADIANS) return value;
    return DegreesToAngUnits(value * kRadiansToDegrees, angUnitCode);
}
