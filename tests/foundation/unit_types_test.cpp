#include "foundation/unit_types.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "compat/unit_library.h"

namespace {

constexpr double kPi = 3.141592653589793;

class UnitTypes : public ::testing::Test {
protected:
    void SetUp() override { SetUnit(UNIT_METERS); }
    void TearDown() override { SetUnit(UNIT_METERS); }
};

TEST_F(UnitTypes, FamiliesAndLibraryConstants) {
    EXPECT_TRUE(IsLengthUnitType(UT_SURVEY_UNIT));
    EXPECT_TRUE(IsSpeedUnitType(UT_UNITS_PER_SECOND));
    EXPECT_FALSE(IsSpeedUnitType(UT_SURVEY_UNIT));
    EXPECT_TRUE(IsAngleUnitType(UT_MICRORADIANS));
    EXPECT_FALSE(IsAngleUnitType(UT_RPM));
    EXPECT_TRUE(IsRatioUnitType(UT_PARTS_PER_BILLION));
    EXPECT_FALSE(IsRatioUnitType(36));

    EXPECT_EQ(UnitTypeToUnitConstant(UT_KILOMETERS_PER_HOUR), 14);
    EXPECT_EQ(UnitTypeToUnitConstant(UT_SURVEY_UNIT), 1);
    SetUnit(UNIT_FEET);
    EXPECT_EQ(UnitTypeToUnitConstant(UT_UNITS_PER_SECOND), 2);

    EXPECT_EQ(UnitConstantToUnitType(4, true), UT_RADIANS);
    EXPECT_EQ(UnitConstantToUnitType(4, false), UT_OTHER);
    EXPECT_EQ(LengthUnitTypeFromConstant(7), UT_SURVEY_UNIT);
    EXPECT_EQ(LengthUnitTypeFromConvToMeters(0.3048), UT_FEET);
    EXPECT_EQ(LengthUnitTypeFromConvToMeters(1200.0 / 3937.0), UT_SURVEY_UNIT);
    EXPECT_EQ(UnitNameFromConvToMeters(0.3048), "Feet");
    EXPECT_EQ(UnitAbbrFromConvToMeters(1.0), "m");
}

TEST_F(UnitTypes, ConversionsAgainstExactValues) {
    EXPECT_EQ(ConvertUnitValue(1.0, UT_FEET, UT_METERS), 0.3048);
    EXPECT_EQ(ConvertUnitValue(1.0, UT_KNOTS, UT_METERS_PER_SECOND), 1852.0 / 3600.0);
    EXPECT_EQ(ConvertUnitValue(1.0, UT_MILES_PER_HOUR, UT_METERS_PER_SECOND), 0.44704);
    EXPECT_DOUBLE_EQ(ConvertUnitValue(36.0, UT_KILOMETERS_PER_HOUR, UT_METERS_PER_SECOND), 10.0);
    EXPECT_DOUBLE_EQ(ConvertUnitValue(180.0, UT_DEGREES, UT_RADIANS), kPi);
    EXPECT_DOUBLE_EQ(ConvertUnitValue(1.0, UT_RPM, UT_DEGREES_PER_SECOND), 6.0);
    EXPECT_DOUBLE_EQ(ConvertUnitValue(1.0, UT_DEGREES_PER_YEAR, UT_DEGREES_PER_SECOND),
                     3.168873850681143e-08);
    EXPECT_DOUBLE_EQ(ConvertUnitValue(5.0, UT_MILLISECONDS, UT_SECONDS), 0.005);
    EXPECT_NEAR(ConvertUnitValue(1.0, UT_ATM, UT_PASCAL), 101325.0, 101325.0 * 2e-16);
    EXPECT_DOUBLE_EQ(ConvertUnitValue(2.0, UT_DEGREES, 99), 2.0);
    EXPECT_DOUBLE_EQ(ConvertUnitValue(2.0, -1, UT_MILLISECONDS), 2000.0);

    // Lengths follow the survey unit: in feet, one metre is 1 / 0.3048 units.
    SetUnit(UNIT_FEET);
    EXPECT_DOUBLE_EQ(GetUnitFactor(UT_METERS), 1.0 / 0.3048);
    EXPECT_EQ(GetUnitFactor(UT_FEET), 1.0);
    EXPECT_DOUBLE_EQ(GetUnitFactor(UT_CUBIC_METERS), std::pow(1.0 / 0.3048, 3));
    EXPECT_DOUBLE_EQ(ConvertUnitValue(1.0, UT_FEET, UT_METERS), 0.3048);
    EXPECT_DOUBLE_EQ(ConvertUnitValue(1.0, UT_KNOTS, UT_FEET_PER_SECOND), 1852.0 / 3600.0 / 0.3048);
    EXPECT_DOUBLE_EQ(LengthToSurveyUnits(0.3048, UT_METERS), 1.0);
    EXPECT_DOUBLE_EQ(SurveyUnitsToSpeed(1.0, UT_MILES_PER_HOUR), 0.3048 / 0.44704);
    EXPECT_EQ(SpeedToSurveyUnits(4.0, UT_UNITS_PER_SECOND), 4.0);
}

TEST_F(UnitTypes, FactorsAndRatios) {
    EXPECT_EQ(GetUnitConversionFactor(40, 0), 0.0);
    EXPECT_EQ(GetUnitConversionFactor(7, 7), 1.0);
    EXPECT_DOUBLE_EQ(GetUnitConversionFactor(UT_METERS, UT_FEET), 1.0 / 0.3048);
    EXPECT_EQ(GetUnitFactor(36), 0.0);
    EXPECT_EQ(ToBaseUnits(3.0, 99), 3.0);
    EXPECT_EQ(FromBaseUnits(3.0, UT_PERCENT), 300.0);
    EXPECT_EQ(PositiveRatio(3.0, 0.0), 0.0);
    EXPECT_EQ(PositiveRatio(-3.0, 2.0), 0.0);

    EXPECT_EQ(GetPrefixFactor(PREFIX_KILO), 1000.0);
    EXPECT_EQ(PrefixFromFactor(0.1), PREFIX_DECI);
    EXPECT_EQ(PrefixFromFactor(0.5), PREFIX_NONE);
    EXPECT_EQ(PrefixFromFactor(std::nan("")), PREFIX_NONE);
}

TEST_F(UnitTypes, AngleFamilyThroughTheLibrary) {
    EXPECT_EQ(AngleToDegrees(100.0, UT_GRADS), 90.0);
    EXPECT_DOUBLE_EQ(AngleToDegrees(1e6, UT_MICRORADIANS), 57.29577951308232);
    EXPECT_EQ(DegreesToAngle(1.0, UT_ARC_SECONDS), 3600.0);
    EXPECT_DOUBLE_EQ(AngleToRadians(180.0, UT_DEGREES), kPi);
    EXPECT_DOUBLE_EQ(AngleToRadians(1e6, UT_MICRORADIANS), 1.0);
    EXPECT_EQ(RadiansToAngle(2.0, UT_METERS), 2.0);

    double a = 180.0, b = 90.0;
    DegreesToRadiansBoth(a, b);
    EXPECT_DOUBLE_EQ(a, kPi);
    EXPECT_DOUBLE_EQ(b, kPi / 2);
    std::pair<double, double> pair{90.0, -45.0};
    EXPECT_DOUBLE_EQ(DegreesToRadiansPair(pair).second, -kPi / 4);
    double single = kPi;
    EXPECT_DOUBLE_EQ(RadiansToDegreesInPlace(single), 180.0);
    EXPECT_DOUBLE_EQ(single, 180.0);
}

TEST_F(UnitTypes, InPlaceConversionRoundsOnlyWhenItConverts) {
    double v = 1234.0;
    ConvertDoubleUnits(v, UT_MILLISECONDS, UT_SECONDS, 2);
    EXPECT_DOUBLE_EQ(v, 1.23);
    v = 1234.0;
    ConvertDoubleUnits(v, UT_MILLISECONDS, UT_SECONDS, -1);
    EXPECT_DOUBLE_EQ(v, 1.234);
    v = 1.23456;
    ConvertDoubleUnits(v, UT_SECONDS, UT_SECONDS, 2);
    EXPECT_EQ(v, 1.23456);
    ConvertDoubleUnits(v, UT_LANES, UT_SECONDS, 2);  // factor 1.0: nothing to do
    EXPECT_EQ(v, 1.23456);
    ConvertDoubleUnits(v, UT_SECONDS, 50, 2);
    EXPECT_EQ(v, 1.23456);

    float f = 2.0f;
    ConvertFloatUnits(f, UT_FEET, UT_METERS, 3);
    EXPECT_FLOAT_EQ(f, 0.61f);
    double x = 1.0, y = 2.0;
    ConvertXyUnits(x, y, UT_FEET, UT_METERS, -1);
    EXPECT_DOUBLE_EQ(y, 0.6096);
    double xyz[3] = {1.0, 10.0, 100.0};
    ConvertXyzUnits(xyz, UT_METERS, UT_FEET, 1);
    EXPECT_DOUBLE_EQ(xyz[0], 3.3);
    EXPECT_DOUBLE_EQ(xyz[2], 328.1);
}

TEST_F(UnitTypes, PositionConversionByGridFlag) {
    double geo[3] = {180.0, 90.0, 1.0};
    ConvertPositionUnits(geo, 0, UT_METERS, UT_METERS, UT_RADIANS, 3);
    EXPECT_DOUBLE_EQ(geo[0], kPi);
    EXPECT_DOUBLE_EQ(geo[1], kPi / 2);
    EXPECT_EQ(geo[2], 1.0);
    double geo2[3] = {10.0, 20.0, 1.0};
    ConvertPositionUnits(geo2, 0, UT_METERS, UT_FEET, UT_DEGREES, 2);
    EXPECT_EQ(geo2[0], 10.0);
    EXPECT_DOUBLE_EQ(geo2[2], 3.28);
    double grid[3] = {1.0, 2.0, 3.0};
    ConvertPositionUnits(grid, 1, UT_FEET, UT_METERS, UT_RADIANS, -1);
    EXPECT_DOUBLE_EQ(grid[0], 0.3048);
    EXPECT_DOUBLE_EQ(grid[2], 0.9144);
}

TEST_F(UnitTypes, NamesAndAbbreviationsInTheAnsiCodePage) {
    EXPECT_EQ(GetUnitTypeName(-1), "???");
    EXPECT_EQ(GetUnitTypeAbbr(36), "?");
    EXPECT_EQ(GetUnitTypeAbbr(UT_DEGREES), "\xB0");
    EXPECT_EQ(GetUnitTypeAbbr(UT_TONS_PER_CUBIC_METER), "t/m\xB3");
    EXPECT_EQ(GetUnitTypeAbbr(UT_MICRORADIANS), "\xB5rad");
    EXPECT_EQ(GetPrefixAbbr(PREFIX_MICRO), "\xB5");

    EXPECT_EQ(GetUnitDisplayName(-1, false), "Survey Unit");
    EXPECT_EQ(GetUnitDisplayAbbr(UT_UNITS_PER_SECOND, false), "su/s");
    EXPECT_EQ(GetUnitDisplayName(UT_OTHER, false), "   ");
    EXPECT_EQ(GetUnitDisplayAbbr(UT_OTHER, true), " ");
    EXPECT_EQ(GetUnitDisplayName(UT_METERS, false), "Meters");
    SetUnit("Chain", 20.1168, 1);
    EXPECT_EQ(GetUnitDisplayName(UT_SURVEY_UNIT, true), "Chain");
    EXPECT_EQ(GetUnitDisplayName(UT_UNITS_PER_SECOND, true), "Chain / Second");
    EXPECT_EQ(GetUnitDisplayAbbr(UT_UNITS_PER_SECOND, true), "su/s");

    EXPECT_EQ(GetRateUnitName(UT_KNOTS, false), "Knots");
    EXPECT_EQ(GetRateUnitName(UT_DEGREES, false), "Degrees / Second");
    EXPECT_EQ(GetRateUnitAbbr(UT_DEGREES, false), "\xB0/s");
    EXPECT_EQ(GetRateUnitAbbr(UT_UNITS_PER_SECOND, true), "su/s");

    EXPECT_EQ(GetPrefixedUnitName(PREFIX_MILLI, UT_SECONDS, false), "MilliSeconds");
    EXPECT_EQ(GetPrefixedUnitName(PREFIX_MILLI, UT_SECONDS, true), "milliseconds");
    EXPECT_EQ(GetPrefixedUnitName(PREFIX_KILO, UT_METERS, true), "kilometers");
    EXPECT_EQ(GetPrefixedUnitAbbr(PREFIX_KILO, UT_OTHER, false), "k ");
    EXPECT_EQ(GetPrefixedUnitAbbr(PREFIX_MICRO, UT_METERS, false), "\xB5m");

    EXPECT_EQ(AppendSquaredAbbr("m"), "m\xB2");
}

TEST_F(UnitTypes, Utf8TextToTheAnsiCodePage) {
    EXPECT_EQ(Utf8StringToCString("caf\xC3\xA9 \xE2\x82\xAC"), "caf\xE9 \x80");
    EXPECT_EQ(Utf8StringToCString("\xE4\xB8\xAD|\xF0\x9F\x98\x80|"), "?|?|");  // outside 1252
    EXPECT_EQ(Utf8StringToCString("a\xC3" "b\xFF\xED\xA0\x80"), "a?b????");  // ill-formed
    EXPECT_EQ(Utf8StringToCString(std::string("ab\0cd", 5)), "ab");
    // Only the bad bytes are replaced; the characters around them are kept.
    EXPECT_EQ(Utf8StringToCString("52\xB0 \xC2\xB0" "C \xE2\x82\xAC\xFF"), "52? \xB0" "C \x80?");
    EXPECT_EQ(Utf8StringToCString("\xE2\x82 \xC3\xA9"), "? \xE9");
}

}  // namespace
