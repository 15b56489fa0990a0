#include "compat/unit_library.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace {

constexpr double kPi = 3.141592653589793;
constexpr double kUsFoot = 1200.0 / 3937.0;

class UnitLibrary : public ::testing::Test {
protected:
    void SetUp() override { Reset(); }
    void TearDown() override { Reset(); }
    static void Reset() {
        ASSERT_EQ(SetUnit(UNIT_METERS), 1);
        ASSERT_EQ(SetAngUnit(ANGUNIT_DEGREES), 1);
    }
};

TEST_F(UnitLibrary, MetresAreTheDefaultUnit) {
    EXPECT_EQ(GetUnitConstant(), UNIT_METERS);
    EXPECT_STREQ(GetUnitName(), "Meters");
    EXPECT_STREQ(GetUnitAbbr(), "m");
    EXPECT_EQ(GetConvToMeters(), 1.0);
    EXPECT_EQ(MetersToUnits(0.001), 0.001);
    EXPECT_EQ(GetAngUnit(), ANGUNIT_DEGREES);
}

TEST_F(UnitLibrary, InternationalFootIsExactly0_3048Metres) {
    EXPECT_EQ(FeetToUnits(1.0), 0.3048);
    EXPECT_EQ(UnitsToFeet(0.3048), 1.0);
    ASSERT_EQ(SetUnit(UNIT_FEET), 1);
    EXPECT_EQ(GetUnitConstant(), UNIT_FEET);
    EXPECT_STREQ(GetUnitName(), "Feet");
    EXPECT_STREQ(GetUnitAbbr(), "ft");
    EXPECT_EQ(UnitsToMeters(1.0), 0.3048);
    EXPECT_EQ(MetersToUnits(0.3048), 1.0);
    EXPECT_DOUBLE_EQ(MetersToUnits(1.0), 1.0 / 0.3048);
}

TEST_F(UnitLibrary, SpeedsConvertToCurrentUnitsPerSecond) {
    EXPECT_EQ(KnotsToUnits(1.0), 1852.0 / 3600.0);
    EXPECT_EQ(UnitsToKnots(1852.0 / 3600.0), 1.0);
    EXPECT_EQ(MphToUnits(1.0), 0.44704);
    EXPECT_EQ(UnitsToMph(0.44704), 1.0);
    EXPECT_DOUBLE_EQ(KphToUnits(36.0), 10.0);
    EXPECT_DOUBLE_EQ(UnitsToKph(10.0), 36.0);
    ASSERT_EQ(SetUnit(UNIT_FEET), 1);
    EXPECT_DOUBLE_EQ(KnotsToUnits(1.0), 1852.0 / 3600.0 / 0.3048);
    EXPECT_DOUBLE_EQ(UnitsToMph(1.0), 0.3048 / 0.44704);
    EXPECT_DOUBLE_EQ(KphToUnits(1.0), 1.0 / 3.6 / 0.3048);
}

TEST_F(UnitLibrary, NamedUnitOfItsOwnBecomesCurrent) {
    ASSERT_EQ(SetUnit("US Survey Feet", kUsFoot, 1), 1);
    EXPECT_EQ(GetUnitConstant(), UNIT_CURRENT);
    EXPECT_STREQ(GetUnitName(), "US Survey Feet");
    EXPECT_STREQ(GetUnitAbbr(), "su");
    EXPECT_EQ(GetConvToMeters(), kUsFoot);
    EXPECT_EQ(GetConvToMeters(UNIT_CURRENT), kUsFoot);
    EXPECT_DOUBLE_EQ(UnitsToMeters(3937.0), 1200.0);
    EXPECT_EQ(GetUnitConstant(kUsFoot), UNIT_CURRENT);
    EXPECT_EQ(GetUnitConstant(0.3048), UNIT_FEET);
    EXPECT_EQ(GetUnitConstant(0.5), UNIT_NONE);

    // A named unit with a library unit's factor is that unit, under its own name.
    ASSERT_EQ(SetUnit("Metres", 1.0, 0), 1);
    EXPECT_EQ(GetUnitConstant(), UNIT_METERS);
    EXPECT_STREQ(GetUnitName(), "Metres");
    EXPECT_STREQ(GetUnitAbbr(), "m");
}

TEST_F(UnitLibrary, NameTextsStayValidAfterTheUnitChanges) {
    ASSERT_EQ(SetUnit("Chain", 20.1168, 1), 1);
    const char* name = GetUnitName();
    ASSERT_EQ(SetUnit("Rod", 5.0292, 1), 1);
    ASSERT_EQ(SetUnit(UNIT_FEET), 1);
    EXPECT_STREQ(name, "Chain");
    ASSERT_EQ(SetUnit(nullptr, 2.0, 1), 1);
    EXPECT_STREQ(GetUnitName(), "");
}

TEST_F(UnitLibrary, BadUnitsAreRefusedAndTheCurrentOneStays) {
    ASSERT_EQ(SetUnit(UNIT_FEET), 1);
    EXPECT_EQ(SetUnit("zero", 0.0, 1), 0);
    EXPECT_EQ(SetUnit("negative", -0.3048, 1), 0);
    EXPECT_EQ(SetUnit("nan", std::nan(""), 1), 0);
    EXPECT_EQ(SetUnit("inf", std::numeric_limits<double>::infinity(), 1), 0);
    EXPECT_EQ(SetUnit(3), 0);
    EXPECT_EQ(SetUnit(UNIT_KNOTS), 0);
    EXPECT_STREQ(GetUnitName(), "Feet");
    EXPECT_EQ(GetConvToMeters(), 0.3048);
    EXPECT_EQ(SetAngUnit(3), 0);
    EXPECT_EQ(GetAngUnit(), ANGUNIT_DEGREES);
    EXPECT_EQ(SetAngUnit(ANGUNIT_GRADS), 1);
    EXPECT_EQ(GetAngUnit(), ANGUNIT_GRADS);
}

TEST_F(UnitLibrary, ConstantsHaveNamesAndFactors) {
    EXPECT_STREQ(GetUnitName(UNIT_METERS), "Meters");
    EXPECT_STREQ(GetUnitShort(UNIT_METERS), "m");
    EXPECT_STREQ(GetUnitName(UNIT_KNOTS), "Knots");
    EXPECT_STREQ(GetUnitName(UNIT_NONE), "");
    EXPECT_STREQ(GetUnitShort(-5), "");
    EXPECT_EQ(GetConvToMeters(UNIT_METERS), 1.0);
    EXPECT_EQ(GetConvToMeters(UNIT_FEET), 0.3048);
    EXPECT_EQ(GetConvToMeters(UNIT_KNOTS), 1852.0 / 3600.0);
    EXPECT_EQ(GetConvToMeters(99), 0.0);
    EXPECT_NE(CompareConvToMeters(0.3048, 0.3048 * (1.0 + 1e-15)), 0);
    EXPECT_EQ(CompareConvToMeters(0.3048, kUsFoot), 0);
}

TEST_F(UnitLibrary, AngleUnitsAgainstRadians) {
    EXPECT_DOUBLE_EQ(AngUnitsToRadians(180.0, ANGUNIT_DEGREES), kPi);
    EXPECT_DOUBLE_EQ(AngUnitsToRadians(200.0, ANGUNIT_GRADS), kPi);
    EXPECT_EQ(AngUnitsToRadians(kPi, ANGUNIT_RADIANS), kPi);
    EXPECT_DOUBLE_EQ(AngUnitsToRadians(10800.0, ANGUNIT_ARC_MINUTES), kPi);
    EXPECT_DOUBLE_EQ(AngUnitsToRadians(648000.0, ANGUNIT_ARC_SECONDS), kPi);
    EXPECT_DOUBLE_EQ(AngUnitsToRadians(0.5, ANGUNIT_REVOLUTIONS), kPi);
    EXPECT_DOUBLE_EQ(RadiansToAngUnits(kPi, ANGUNIT_DEGREES), 180.0);
    EXPECT_EQ(RadiansToAngUnits(1.25, ANGUNIT_RADIANS), 1.25);
    EXPECT_DOUBLE_EQ(RadiansToAngUnits(kPi, ANGUNIT_ARC_SECONDS), 648000.0);
}

TEST_F(UnitLibrary, AngleUnitsAgainstDegrees) {
    EXPECT_EQ(AngUnitsToDegrees(100.0, ANGUNIT_GRADS), 90.0);
    EXPECT_EQ(DegreesToAngUnits(90.0, ANGUNIT_GRADS), 100.0);
    EXPECT_EQ(AngUnitsToDegrees(90.0, ANGUNIT_ARC_MINUTES), 1.5);
    EXPECT_DOUBLE_EQ(AngUnitsToDegrees(1.0, ANGUNIT_RADIANS), 57.29577951308232);
    EXPECT_EQ(AngUnitsToDegrees(1.0 / 60.0, ANGUNIT_REVOLUTIONS), 6.0);
    // An angle unit the library does not know counts as degrees.
    EXPECT_EQ(AngUnitsToDegrees(12.5, 3), 12.5);
    EXPECT_EQ(DegreesToAngUnits(12.5, 99), 12.5);
}

}  // namespace
