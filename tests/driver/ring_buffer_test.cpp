#include "driver/ring_buffer.h"

#include <gtest/gtest.h>

#include <cmath>

#include "driver/nav_ring_buffer.h"
#include "foundation/system_time.h"

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
        {49, 0.0, 30, 1.0, 0.0, -180, 180, 360, 0, 0, 0.0},  // nor for a signed angle
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

        ring.SetFilterFlags(0);
        ring.SetMaxExtrapolation(2.0);
        ring.Reset(6);  // every setting back to the start
        EXPECT_EQ(ring.GetCapacity(), 6u);
        EXPECT_EQ(ring.GetRotationOrder(), 0u);
        EXPECT_EQ(ring.GetFilterFlags(), 3);
        EXPECT_EQ(ring.GetAngleSpan() + std::abs(ring.GetAngleLow()) + ring.GetFilterWindow() +
                      std::abs(ring.GetVerticalDelay()) + ring.GetUpdateInterval() +
                      ring.GetMaxExtrapolation(),
                  0.0);
    }
}

TEST(RingBufferSettings, AngularRangesAroundACentre) {
    CNavRingBuffer ring(1);
    ring.SetAngularRangeAround(90.0, -90.0, 10.0);
    ring.SetAngularRangeAround(5.0, 5.0, 0.0);  // no range: nothing changes
    EXPECT_EQ(ring.GetAngleLow(), -80.0);
    EXPECT_EQ(ring.GetAngleHigh(), 100.0);
    EXPECT_EQ(ring.GetAngleSpan(), 180.0);
    // A circular or signed angle takes a whole circle of its unit around the centre.
    const sObsDef heading = Def(11), halfHeading = Def(11, 2.0), roll = Def(92), height = Def(32);
    const struct { const sObsDef* def; double centre, low, high, span; } rows[] = {
        {&heading, 0.0, -180, 180, 360}, {&halfHeading, 90.0, 0, 180, 180},
        {&roll, 90.0, -90, 270, 360},    {&height, 0.0, 0, 0, 0}};
    for (const auto& row : rows) {
        ring.SetAngularRangeFromObsDefAround(row.def, row.centre);
        EXPECT_EQ(ring.GetAngleLow(), row.low) << row.def->obsType;
        EXPECT_EQ(ring.GetAngleHigh(), row.high) << row.def->obsType;
        EXPECT_EQ(ring.GetAngleSpan(), row.span) << row.def->obsType;
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

    // An interpolated value is reduced the same way, unless the order is negative or the
    // definition has no vertical sense.
    NavRecord sample{};
    sample.stTime = TimeToSystemTime(At(0));
    sample.dHeading = 10.0;
    ASSERT_EQ(ring.AddSample(sample), 1);
    const struct { const sObsDef* def; int order; double value; } rows[] = {
        {&height, 0, 8.0}, {&height, -1, 10.0}, {nullptr, 0, 10.0}, {&heading, 0, 10.0}};
    for (const auto& row : rows) {
        double value = -1.0;
        EXPECT_EQ(ring.InterpolateValue(At(0), row.def, value, 0.0, 0.0, row.order), 1);
        EXPECT_DOUBLE_EQ(value, row.value) << row.order << " " << (row.def != nullptr);
    }

    ring.Reset(1);
    EXPECT_EQ(ring.GetLeverArm(), nullptr);
    ring.Init(&height, 0.0, 0.0, &node);
    ring.SetUpdateInterval(3.0);
    ring.Free();  // nothing left to add to; the gap limit stays
    EXPECT_EQ(ring.GetLeverArm(), nullptr);
    EXPECT_EQ(ring.GetCapacity(), 0u);
    EXPECT_EQ(ring.GetUpdateInterval(), 3.0);
    EXPECT_EQ(ring.AddSample(sample), 0);
    EXPECT_EQ(ring.GetCount(), 0);
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
