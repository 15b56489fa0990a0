#include "driver/ring_buffer.h"

#include <gtest/gtest.h>

#include "driver/nav_ring_buffer.h"

namespace {

CVOKTime At(double second) { return CVOKTime(2024, 5, 1, 1, 0, second); }

sObsDef Def(int32_t type, double scale = 0.0) {
    sObsDef def{};
    def.obsType = type;
    def.scale = scale;
    return def;
}

TEST(RingBufferSettings, InitTakesRangeWindowDelayAndIntervalFromTheDefinition) {
    struct {
        int32_t type;
        double scale, window, delay, interval, low, high, span, expectWindow, expectDelay, expectInterval;
    } rows[] = {
        {11, 0.0, 0, 0, 3.0, 0, 360, 360, 0, 0, 3.0},
        {11, 2.0, 0, 0, -1.0, 0, 180, 180, 0, 0, 5.0},     // negative: the type's default
        {92, 0.0, 0, 0, 0.0, -180, 180, 360, 0, 0, 0.0},
        {46, 0.0, 75, -1.0, 0.0, 0, 0, 0, 60, -0.2, 0.0},  // window and delay limited
        {48, 0.0, -3, 5.0, 0.0, 0, 0, 0, 0, 2.0, 0.0},
        {32, 0.0, 30, 1.0, 0.0, 0, 0, 0, 0, 0, 0.0},       // no window or delay for heights
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.type);
        sObsDef def = Def(row.type, row.scale);
        def.velocity = row.window;
        def.verticalDelay = row.delay;
        def.rotationOrder = 1;
        CNavRingBuffer ring(4, &def, row.interval, -1.0, nullptr);
        EXPECT_EQ(ring.GetAngleLow(), row.low);
        EXPECT_EQ(ring.GetAngleHigh(), row.high);
        EXPECT_EQ(ring.GetAngleSpan(), row.span);
        EXPECT_EQ(ring.GetFilterWindow(), row.expectWindow);
        EXPECT_EQ(ring.GetVerticalDelay(), row.expectDelay);
        EXPECT_EQ(ring.GetUpdateInterval(), row.expectInterval);
        EXPECT_EQ(ring.GetRotationOrder(), 1u);
        EXPECT_EQ(ring.GetFilterFlags(), 3);
    }
}

TEST(RingBufferSettings, LeverArmOnlyForVerticalValuesWithAnOffset) {
    const sObsDef height = Def(32), heading = Def(11);
    sNodeDef node{};
    CNavRingBuffer ring(1, &height, 0.0, 0.0, &node);
    EXPECT_EQ(ring.GetLeverArm(), nullptr);  // all offsets 0
    EXPECT_EQ(ring.ReduceHeight(10.0, &height, 5.0, 5.0, 0), 10.0);
    node.z = 2.0;
    ring.Init(&heading, 0.0, 0.0, &node);
    EXPECT_EQ(ring.GetLeverArm(), nullptr);  // a heading has no vertical sense
    ring.Init(&height, 0.0, 0.0, &node);
    EXPECT_DOUBLE_EQ(ring.ReduceHeight(10.0, &height, 0.0, 0.0, 0), 8.0);
    EXPECT_DOUBLE_EQ(ring.ExtendHeight(10.0, &height, 0.0, 0.0, 0), 12.0);
}

TEST(RingBufferWeights, ExtrapolationReachesAtMostTheLimit) {
    struct { double maxExtrapolation, t, tB, wA, wB; } rows[] = {
        {0.0, 11.0, 12.0, 0.5, 0.5},  {0.0, 20.0, 12.0, 0.0, 1.0}, {0.0, 5.0, 12.0, 1.0, 0.0},
        {2.0, 15.0, 12.0, -1.0, 2.0}, {2.0, 13.0, 12.0, -0.5, 1.5}, {2.0, 5.0, 12.0, 2.0, -1.0},
        {2.0, 11.0, 10.0, 0.0, 1.0},  // no span
    };
    for (const auto& row : rows) {
        CNavRingBuffer ring(1);
        ring.SetMaxExtrapolation(row.maxExtrapolation);
        double wA = 9.0, wB = 9.0;
        ring.ComputeInterpolationWeights(At(row.t), At(10.0), At(row.tB), wA, wB);
        EXPECT_DOUBLE_EQ(wA, row.wA) << row.t;
        EXPECT_DOUBLE_EQ(wB, row.wB) << row.t;
    }
}

}  // namespace
