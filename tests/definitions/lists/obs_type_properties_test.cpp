#include "definitions/lists/obs_type_properties.h"

#include <gtest/gtest.h>

#include <cstring>

#include "compat/unit_library.h"
#include "foundation/unit_types.h"

namespace {

sObsDef Obs(int32_t type, int32_t toNode = 0, int32_t link = 0) {
    sObsDef d{};
    d.obsType = type;
    d.toNodeId = toNode;
    d.link = link;
    return d;
}

class ObsTypeProperties : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_EQ(SetUnit(UNIT_METERS), 1); }
    void TearDown() override { SetUnit(UNIT_METERS); }
};

TEST_F(ObsTypeProperties, TypeTablesAtTheirEdges) {
    struct sRow {
        int32_t type;
        float sigma;
        float interval;
        int32_t unit;
        uint32_t icon;
    };
    const sRow rows[] = {
        {-2, 1.0f, 10.0f, -1, 0},   {-1, 999.0f, 10.0f, -1, 0}, {0, 0.0f, 0.0f, -1, 0},
        {1, 0.1f, 5.0f, 0, 1},      {17, 1.0f, 10.0f, -1, 0},   {30, 0.5f, 5.0f, 3, 12},
        {59, 0.1f, 60.0f, 0, 31},   {60, 2.0f, 10.0f, 0, 34},   {61, 1.0f, 10.0f, 26, 35},
        {99, 0.001f, 1.0f, 31, 67}, {110, 0.001f, 0.0f, -1, 78}, {114, 0.0f, 0.0f, -1, 82},
        {115, 1.0f, 10.0f, -1, 0},  {200, 1.0f, 10.0f, -1, 0}};
    for (const sRow& r : rows) {
        SCOPED_TRACE(r.type);
        EXPECT_FLOAT_EQ(GetObsTypeDefaultSigma(r.type), r.sigma);
        EXPECT_FLOAT_EQ(GetObsTypeDefaultInterval(r.type), r.interval);
        EXPECT_EQ(GetObsTypeUnitType(r.type), r.unit);
        EXPECT_EQ(GetObsTypeIconIndex(r.type), r.icon);
    }
    EXPECT_EQ(GetObsTypeDefaultMaxExtrapolation(), 0.0);
}

TEST_F(ObsTypeProperties, DefaultSigmaInOtherUnits) {
    EXPECT_FLOAT_EQ(GetObsTypeDefaultSigmaInUnits(1, UT_SECONDS, 0.0), 0.1f / 1485.0f);
    EXPECT_FLOAT_EQ(GetObsTypeDefaultSigmaInUnits(1, UT_MILLISECONDS, 0.0), 0.1f / 1485.0f * 1000.0f);
    EXPECT_FLOAT_EQ(GetObsTypeDefaultSigmaInUnits(1, UT_SECONDS, 1500.0), 0.1f / 1500.0f);
    EXPECT_FLOAT_EQ(GetObsTypeDefaultSigmaInUnits(8, UT_SECONDS, 0.0), 0.1f);
    EXPECT_FLOAT_EQ(GetObsTypeDefaultSigmaInUnits(1, UT_FEET, 0.0), 0.1f / 0.3048f);
    EXPECT_FLOAT_EQ(GetObsTypeDefaultSigmaInUnits(8, UT_ARC_MINUTES, 0.0), 6.0f);
    EXPECT_FLOAT_EQ(GetObsTypeDefaultSigmaInUnits(1, 40, 0.0), 0.1f);
}

TEST_F(ObsTypeProperties, PredicatesByTypeNodesAndLink) {
    const sObsDef bearing = Obs(11), between = Obs(11, 4), linked = Obs(11, 0, 3), negative = Obs(46, 0, -1);
    EXPECT_EQ(IsHeadingObs(&bearing), 1);
    EXPECT_EQ(IsHeadingObs(&between), 0);
    EXPECT_EQ(IsBearingBetweenNodesObs(&between), 1);
    EXPECT_EQ(IsPositioningObs(&between), 1);
    EXPECT_EQ(IsPositioningObs(&bearing), 0);
    EXPECT_EQ(IsLinkedHeadingObs(&linked), 1);
    EXPECT_EQ(IsAttitudeObs(&negative), 1);
    EXPECT_EQ(IsAttitudeObsWithNegativeLink(&negative), 1);
    EXPECT_EQ(IsAttitudeObsWithNegativeLink(&linked), 0);
    const sObsDef heave = Obs(48), sb = Obs(50);
    EXPECT_EQ(GetObsTypeVerticalSense(&heave), 1);
    EXPECT_EQ(GetObsTypeVerticalSense(&sb), -1);
    EXPECT_EQ(GetObsTypeVerticalSense(nullptr), 0);
}

TEST_F(ObsTypeProperties, DefaultsFillOnlyWhatIsUnset) {
    sObsDef range = Obs(1);
    range.unitType = UT_MILLISECONDS;
    range.soundVelocity = 1500.0;
    range.nodeId = 4;
    EXPECT_EQ(ApplyObsDefDefaults(&range, 1), 1);
    EXPECT_FLOAT_EQ(range.sigma, 0.1f / 1485.0f * 1000.0f);
    EXPECT_DOUBLE_EQ(range.scale, 0.001 * 1500.0);
    EXPECT_EQ(range.displayNodeId, 4);
    sObsDef set = Obs(11);
    set.sigma = 0.3f;
    set.scale = 2.0;
    set.displayNodeId = 9;
    ApplyObsDefDefaults(&set, 1);
    EXPECT_FLOAT_EQ(set.sigma, 0.3f);
    EXPECT_EQ(set.scale, 2.0);
    EXPECT_EQ(set.displayNodeId, 9);
    EXPECT_EQ(ApplyObsDefDefaults(nullptr, 1), 0);
}

TEST_F(ObsTypeProperties, UnitChangeScalesTermsAndKeepsTimeTags) {
    sObsDef src = Obs(1);
    src.unitType = UT_METERS;
    src.scale = 1.0;
    src.quadratic = 2.0;
    src.correction1 = 3.0;
    src.sigma = 0.5f;
    sObsDef dst{};
    ConvertObsDefUnits(dst, src, UT_FEET);
    const double f = 1.0 / 0.3048;
    EXPECT_EQ(dst.unitType, static_cast<uint32_t>(UT_FEET));
    EXPECT_DOUBLE_EQ(dst.scale, f);
    EXPECT_DOUBLE_EQ(dst.quadratic, 2.0 * f * f);
    EXPECT_DOUBLE_EQ(dst.correction1, 3.0 * f);
    EXPECT_FLOAT_EQ(dst.sigma, static_cast<float>(0.5 * f));
    src.obsType = 110;
    ConvertObsDefUnits(dst, src, UT_FEET);
    EXPECT_EQ(std::memcmp(&dst, &src, sizeof src), 0);
}

TEST_F(ObsTypeProperties, ValueFactorToMetresAndRadians) {
    sObsDef d = Obs(8);
    d.unitType = UT_DEGREES;
    EXPECT_DOUBLE_EQ(GetObsDefValueFactor(&d, 0, 1), 0.017453292519943295);
    d.unitType = UT_FEET;
    EXPECT_DOUBLE_EQ(GetObsDefValueFactor(&d, 1, 0), 0.3048);
}

}  // namespace
