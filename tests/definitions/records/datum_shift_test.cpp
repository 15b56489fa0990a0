#include "definitions/records/datum_shift.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

namespace {

sDatumShift Shift(int32_t inversion, double tx, double ty, double tz, double rx, double ry, double rz, double scale) {
    sDatumShift d{};
    d.datum1 = 3;
    d.datum2 = 8;
    d.inversion = inversion;
    d.translation[0] = tx;
    d.translation[1] = ty;
    d.translation[2] = tz;
    d.rotation[0] = rx;
    d.rotation[1] = ry;
    d.rotation[2] = rz;
    d.scale = scale;
    return d;
}

TEST(DatumShift, NegationMethod) {
    sDatumShift d = Shift(1, 1.0, 2.0, 3.0, 0.1, -0.2, 0.3, 0.5);
    sDatumShiftTotal out{};
    ASSERT_TRUE(InvertDatumShift(&d, &out));
    EXPECT_EQ(d.datum1, 8u);
    EXPECT_EQ(d.datum2, 3u);
    EXPECT_EQ(d.translation[0], -1.0);
    EXPECT_EQ(d.translation[1], -2.0);
    EXPECT_EQ(d.translation[2], -3.0);
    EXPECT_EQ(d.rotation[0], -0.1);
    EXPECT_EQ(d.rotation[1], 0.2);
    EXPECT_EQ(d.rotation[2], -0.3);
    EXPECT_EQ(d.scale, -0.5);
    EXPECT_EQ(out.datum1, 8u);
    EXPECT_EQ(out.datum2, 3u);
}

TEST(DatumShift, InvertingTwiceGivesTheRecordBack) {
    for (int32_t method : {1, 2}) {
        const sDatumShift original = Shift(method, 12.5, -7.25, 0.75, 1.5, -2.5, 0.125, -3.5);
        sDatumShift d = original;
        ASSERT_TRUE(InvertDatumShift(&d, nullptr));
        ASSERT_TRUE(InvertDatumShift(&d, nullptr));
        EXPECT_EQ(std::memcmp(&d, &original, sizeof d), 0) << method;
    }
    // The exact method undoes itself up to terms of second order in the angles (1e-10 here).
    const sDatumShift original = Shift(0, 100.0, -50.0, 25.0, 2.0, -1.0, 3.0, 4.0);
    sDatumShift d = original;
    ASSERT_TRUE(InvertDatumShift(&d, nullptr));
    ASSERT_TRUE(InvertDatumShift(&d, nullptr));
    for (int i = 0; i < 3; ++i) {
        EXPECT_NEAR(d.translation[i], original.translation[i], 1e-7);
        EXPECT_EQ(d.rotation[i], original.rotation[i]);
    }
    EXPECT_NEAR(d.scale, original.scale, 1e-9);
}

TEST(DatumShift, ExactMethodWithoutRotation) {
    sDatumShift d = Shift(0, 1.25, -2.5, 3.75, 0.0, 0.0, 0.0, 0.0);
    ASSERT_TRUE(InvertDatumShift(&d, nullptr));
    EXPECT_EQ(d.translation[0], -1.25);
    EXPECT_EQ(d.translation[1], 2.5);
    EXPECT_EQ(d.translation[2], -3.75);
    EXPECT_EQ(d.scale, 0.0);
}

// A rotation of 90 degrees about z in arc-seconds: M maps (1, 0, 0) to (0, -1, 0), so t' = -M t.
TEST(DatumShift, ExactMethodRotatesTheTranslation) {
    sDatumShift d = Shift(0, 10.0, 0.0, 0.0, 0.0, 0.0, 90.0 * 3600.0, 0.0);
    ASSERT_TRUE(InvertDatumShift(&d, nullptr));
    EXPECT_NEAR(d.translation[0], 0.0, 1e-9);
    EXPECT_NEAR(d.translation[1], 10.0, 1e-9);
    EXPECT_EQ(d.translation[2], 0.0);
    EXPECT_EQ(d.rotation[2], -90.0 * 3600.0);
}

// Small angles in micro-radians with the opposite sign convention: rz = -(-10) urad = 1e-5 rad.
TEST(DatumShift, SmallAngleMethod) {
    sDatumShift d = Shift(-1, 100.0, 200.0, 0.0, 0.0, 0.0, -10.0, 2.0);
    d.rotationUnit = 1;
    d.signConvention = 1;
    ASSERT_TRUE(InvertDatumShift(&d, nullptr));
    const double k = 1.0 / (1.0 + 2e-6);
    EXPECT_DOUBLE_EQ(d.translation[0], -k * 100.0 - 1e-5 * 200.0);
    EXPECT_DOUBLE_EQ(d.translation[1], 1e-5 * 100.0 - k * 200.0);
    EXPECT_EQ(d.translation[2], 0.0);
    EXPECT_DOUBLE_EQ(d.scale, -2.0 + 4.0 * 1e-6);
    EXPECT_EQ(d.rotation[2], 10.0);
}

TEST(DatumShift, NegligibleValuesBecomeZero) {
    sDatumShift d = Shift(1, 4e-7, 2e-6, -5e-7, 5e-10, 0.0, 0.0, -5e-10);
    ASSERT_TRUE(InvertDatumShift(&d, nullptr));
    EXPECT_EQ(d.translation[0], 0.0);
    EXPECT_EQ(d.translation[1], -2e-6);
    EXPECT_EQ(d.translation[2], 0.0);
    EXPECT_EQ(d.rotation[0], 0.0);
    EXPECT_EQ(d.scale, 0.0);
}

TEST(DatumShift, PairAccumulatesAndSwapsEachRecordsOwnNumbers) {
    sDatumShift first = Shift(0, 1.0, 2.0, 3.0, 0.0, 0.0, 0.0, 1.0);
    sDatumShift second = Shift(0, 5.0, 5.0, 5.0, 0.0, 0.0, 0.0, 2.0);
    second.datum1 = 11;
    second.datum2 = 12;
    sDatumShiftTotal total{};
    total.mode = 1;
    total.shift[0] = 0.5;
    sDatumShiftTotal out{};
    ASSERT_TRUE(InvertDatumShiftPair(&first, &total, &second, &out));
    EXPECT_EQ(total.shift[0], 1.5);
    EXPECT_EQ(total.shift[1], 2.0);
    EXPECT_EQ(total.shift[2], 3.0);
    EXPECT_EQ(first.translation[0], -1.0);
    EXPECT_EQ(first.scale, -1.0);
    EXPECT_EQ(second.translation[2], -5.0);
    EXPECT_EQ(second.scale, -2.0);
    EXPECT_EQ(first.datum1, 8u);
    EXPECT_EQ(second.datum1, 12u);
    EXPECT_EQ(second.datum2, 11u);
    EXPECT_EQ(total.datum1, 8u);
    EXPECT_EQ(out.datum2, 3u);

    // Accumulation skips a missing first record; the second is still inverted.
    sDatumShiftTotal alone{};
    alone.mode = 1;
    ASSERT_TRUE(InvertDatumShiftPair(nullptr, &alone, &second, nullptr));
    EXPECT_EQ(alone.shift[0], 0.0);
    EXPECT_EQ(second.translation[2], 5.0);
    EXPECT_EQ(alone.datum1, 11u);
    EXPECT_TRUE(InvertDatumShiftPair(nullptr, nullptr, nullptr, nullptr));
}

TEST(DatumShift, ScaleWithoutInverseIsRefused) {
    const sDatumShift original = Shift(0, 1.0, 2.0, 3.0, 0.0, 0.0, 0.0, -1e6);
    sDatumShift d = original;
    sDatumShiftTotal out{};
    EXPECT_FALSE(InvertDatumShift(&d, &out));
    EXPECT_EQ(std::memcmp(&d, &original, sizeof d), 0);
    EXPECT_EQ(out.datum1, 0u);
    EXPECT_FALSE(InvertDatumShift(nullptr, &out));
}

}  // namespace
