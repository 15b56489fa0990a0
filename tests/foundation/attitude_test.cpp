#include "foundation/attitude.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

const double kSqrt3 = std::sqrt(3.0);

TEST(LeverArm, LevelAttitudeChangesNothing) {
    const double lever[3] = {1.5, -2.0, 3.0};
    EXPECT_EQ(LeverArmDeltaZ(lever, 0.0, 0.0, 0), 0.0);
    EXPECT_EQ(LeverArmDeltaZ(lever, 0.0, 0.0, 1), 0.0);
}

TEST(LeverArm, BothRotationOrdersAtKnownAngles) {
    const double lever[3] = {1.0, 2.0, 3.0};
    // roll 30, pitch 60: sin 30 = 1/2, cos 30 = sqrt3/2, sin 60 = sqrt3/2, cos 60 = 1/2.
    EXPECT_NEAR(LeverArmDeltaZ(lever, 30.0, 60.0, 0), -2.75 + 0.75 * kSqrt3, 1e-12);
    EXPECT_NEAR(LeverArmDeltaZ(lever, 30.0, 60.0, 1), -2.5 + 0.25 * kSqrt3, 1e-12);
    EXPECT_EQ(LeverArmDeltaZ(lever, 30.0, 60.0, -1), LeverArmDeltaZ(lever, 30.0, 60.0, 0));

    const double forward[3] = {1.0, 0.0, 0.0};
    EXPECT_NEAR(LeverArmDeltaZ(forward, 0.0, 90.0, 0), -1.0, 1e-15);
    EXPECT_NEAR(LeverArmDeltaZ(forward, 0.0, 90.0, 1), -1.0, 1e-15);
    const double starboard[3] = {0.0, 1.0, 0.0};
    EXPECT_NEAR(LeverArmDeltaZ(starboard, 90.0, 90.0, 0), 1.0, 1e-15);
    EXPECT_NEAR(LeverArmDeltaZ(starboard, 90.0, 90.0, 1), 0.0, 1e-15);
}

TEST(LeverArm, UnsupportedOrderOrMissingLeverGivesZero) {
    const double lever[3] = {1.0, 2.0, 3.0};
    EXPECT_EQ(LeverArmDeltaZ(lever, 10.0, 20.0, 2), 0.0);
    EXPECT_EQ(LeverArmDeltaZ(lever, 10.0, 20.0, 7), 0.0);
    EXPECT_EQ(LeverArmDeltaZ(nullptr, 10.0, 20.0, 0), 0.0);
    EXPECT_EQ(ReduceHeightByLeverArm(nullptr, 10.0, true, 10.0, 20.0, 0), 10.0);
}

TEST(LeverArm, ChangesBetweenTwoAttitudes) {
    const double lever[3] = {1.0, 2.0, 3.0};
    const double dz1 = -2.75 + 0.75 * kSqrt3;
    EXPECT_NEAR(LeverArmDeltaZChange(lever, 30.0, 60.0, 0.0, 0.0, 0), dz1, 1e-12);
    EXPECT_NEAR(CorrectHeightForAttitudeChange(lever, 30.0, 60.0, 10.0, 0.0, 0.0, 0.5, 0),
                10.0 - dz1 - 0.5, 1e-12);
    EXPECT_DOUBLE_EQ(CorrectHeightForAttitudeChange(lever, 5.0, 6.0, 10.0, 5.0, 6.0, 0.5, 1), 9.5);
    // The offset is left out of the sum.
    EXPECT_NEAR(AddLeverArmDeltaZChange(lever, 30.0, 60.0, 10.0, 0.0, 0.0, 0.5, 0), 10.0 + dz1,
                1e-12);
}

TEST(LeverArm, HeightReductionsByDirection) {
    const double lever[3] = {0.0, 0.0, 2.0};
    EXPECT_EQ(ReduceHeightByLeverArm(lever, 10.0, true, 0.0, 0.0, 0), 8.0);
    EXPECT_EQ(ReduceHeightByLeverArm(lever, 10.0, false, 0.0, 0.0, 0), 12.0);
    EXPECT_EQ(ExtendHeightByLeverArm(lever, 10.0, true, 0.0, 0.0, 0), 12.0);
    EXPECT_EQ(ExtendHeightByLeverArm(lever, 10.0, false, 0.0, 0.0, 0), 8.0);
    // Rolled 60 degrees the vertical arm is half as tall.
    EXPECT_NEAR(ReduceHeightByLeverArm(lever, 10.0, true, 60.0, 0.0, 1), 9.0, 1e-12);
    EXPECT_NEAR(ExtendHeightByLeverArm(lever, 10.0, false, 60.0, 0.0, 0), 9.0, 1e-12);
    EXPECT_TRUE(std::isnan(ReduceHeightByLeverArm(lever, 10.0, true, NAN, 0.0, 0)));
}

TEST(LeverArm, VerticalArmsAndTiltedLengths) {
    EXPECT_EQ(VerticalLeverArmDeltaZ(2.0, 0.0, 0.0), 0.0);
    EXPECT_NEAR(VerticalLeverArmDeltaZ(2.0, 60.0, 60.0), 2.0 * 0.25 - 2.0, 1e-12);
    EXPECT_NEAR(VerticalLeverArmDeltaZChange(2.0, 60.0, 0.0, 0.0, 0.0), -1.0, 1e-12);
    EXPECT_NEAR(VerticalToTiltedLength(2.0, false, 0.0, 60.0), -4.0, 1e-12);
    EXPECT_NEAR(TiltedToVerticalLength(4.0, true, 60.0, 0.0), 2.0, 1e-12);
    EXPECT_EQ(TiltedToVerticalLength(4.0, true, 0.0, 0.0), 4.0);
}

}  // namespace
