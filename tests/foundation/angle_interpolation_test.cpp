#include "foundation/angle_interpolation.h"

#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <limits>
#include <random>

namespace {

constexpr double kPi = 3.141592653589793;
const double kNaN = std::nan("");
const double kInf = std::numeric_limits<double>::infinity();

struct InterpolationRow {
    double x0, x1, y0, y1, x;
    double linear;
    double clamped;
};

TEST(Interpolation, LinearAndClamped) {
    const InterpolationRow rows[] = {
        {0, 10, 5, 5, 3, 5.0, 5.0},          // flat
        {2, 2, 1, 3, 7, 2.0, 2.0},           // degenerate span: the mean
        {0, 10, 0, 1, 20, 2.0, 1.0},         // beyond x1
        {0, 10, 0, 1, 2.5, 0.25, 0.25},      // inside
        {0, 10, 4, 2, -5, 5.0, 4.0},         // falling, before x0
        {10, 0, 1, 0, 2.5, 0.25, 0.25},      // reversed abscissae
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(testing::Message() << r.x0 << " " << r.x1 << " " << r.y0 << " " << r.y1
                                        << " at " << r.x);
        EXPECT_DOUBLE_EQ(Interpolate(r.x0, r.x1, r.y0, r.y1, r.x), r.linear);
        EXPECT_DOUBLE_EQ(InterpolateClamped(r.x0, r.x1, r.y0, r.y1, r.x), r.clamped);
        EXPECT_DOUBLE_EQ(InterpolateOptionallyClamped(r.x0, r.x1, r.y0, r.y1, r.x, true),
                         r.linear);
        EXPECT_DOUBLE_EQ(InterpolateOptionallyClamped(r.x0, r.x1, r.y0, r.y1, r.x, false),
                         r.clamped);
    }
    EXPECT_EQ(Lerp(0.25, 4.0, 8.0), 5.0);
    EXPECT_EQ(Midpoint(4.0, 8.0), 6.0);
    EXPECT_EQ(Difference(4.0, 8.0), -4.0);
}

TEST(Interpolation, InRangeAndWithinSpanReportTheirResult) {
    double r = -7.0;
    EXPECT_FALSE(InterpolateInRange(0, 10, 0, 1, 11, r));
    EXPECT_DOUBLE_EQ(r, 1.1);
    EXPECT_TRUE(InterpolateInRange(0, 10, 0, 1, 10, r));
    EXPECT_EQ(r, 1.0);
    EXPECT_TRUE(InterpolateInRange(0, 10, 3, 1, 1e-11, r));  // x at x0 gives y0 exactly
    EXPECT_EQ(r, 3.0);

    r = -7.0;
    EXPECT_FALSE(InterpolateWithinSpan(0, 10, 0, 1, 11, r));
    EXPECT_EQ(r, -7.0);
    EXPECT_FALSE(InterpolateWithinSpan(0, 10, 0, 1, -0.5, r));
    EXPECT_EQ(r, -7.0);
    EXPECT_TRUE(InterpolateWithinSpan(10, 0, 1, 0, 2.5, r));
    EXPECT_DOUBLE_EQ(r, 0.25);
}

TEST(Interpolation, CosineForms) {
    EXPECT_EQ(CosineInterpolate(0, 10, 3, 5, 0), 3.0);
    EXPECT_EQ(CosineInterpolate(0, 10, 3, 5, -2), 3.0);
    EXPECT_EQ(CosineInterpolate(0, 10, 3, 5, 12), 5.0);
    EXPECT_DOUBLE_EQ(CosineInterpolate(0, 10, 0, 2, 5), 1.0);
    EXPECT_DOUBLE_EQ(CosineInterpolate(0, 10, 0, 2, 10.0 / 3.0), 0.5);  // cos 60 = 0.5
    EXPECT_EQ(CosineInterpolate(4, 4, 0, 2, 9), 1.0);

    EXPECT_DOUBLE_EQ(CosineTaper(10, 5), 0.5);
    EXPECT_EQ(CosineTaper(0, 3), 0.5);
    EXPECT_EQ(CosineTaper(10, -1), 1.0);
    EXPECT_EQ(CosineTaper(10, 10), 0.0);
    EXPECT_NEAR(CosineTaper(10, 2.5), 0.5 + std::sqrt(0.5) / 2.0, 1e-15);
}

struct NormalizeRow {
    double (*function)(double);
    const char* name;
    double in;
    double out;
};

TEST(AngleNormalization, Table) {
    const NormalizeRow rows[] = {
        {Normalize360, "360", -30, 330},
        {Normalize360, "360", 720, 0},
        {Normalize360, "360", 7300, 100},
        {Normalize360, "360", -3610, 350},
        {Normalize360, "360", 359.5, 359.5},
        {Normalize360, "360", 360.0 * 1099511627776.0, 0},  // 360 * 2^40, outside the window
        {Normalize360, "360", DBL_MAX, 128},                 // DBL_MAX mod 360 by integers
        {Normalize180, "180", 190, -170},
        {Normalize180, "180", 180, 180},
        {Normalize180, "180", -180, 180},
        {Normalize180, "180", 540, 180},
        {Normalize180, "180", -190, 170},
        {NormalizeGrads400, "g400", 450, 50},
        {NormalizeGrads400, "g400", -50, 350},
        {NormalizeGrads200, "g200", 250, -150},
        {NormalizeGrads200, "g200", 200, 200},
        {NormalizeGrads200, "g200", -1000, 200},
        {NormalizeRadians2Pi, "2pi", -kPi / 2, 3 * kPi / 2},
        {NormalizeRadiansPi, "pi", 3 * kPi / 2, -kPi / 2},
        {NormalizeRadiansPi, "pi", kPi, kPi},
        {FmodTwoPi, "fmod", -7, -0.7168146928204138},
        {FmodTwoPi, "fmod", 7, 0.7168146928204138},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(testing::Message() << r.name << " of " << r.in);
        EXPECT_NEAR(r.function(r.in), r.out, 1e-12);
    }
}

TEST(AngleNormalization, NonFiniteGivesNaNAndANegativeMultipleGivesPositiveZero) {
    for (double (*f)(double) : {Normalize360, Normalize180, NormalizeGrads400, NormalizeGrads200,
                                NormalizeRadians2Pi, NormalizeRadiansPi}) {
        EXPECT_TRUE(std::isnan(f(kNaN)));
        EXPECT_TRUE(std::isnan(f(kInf)));
        EXPECT_TRUE(std::isnan(f(-kInf)));
    }
    EXPECT_FALSE(std::signbit(Normalize360(-720.0)));
    EXPECT_FALSE(std::signbit(NormalizeGrads400(-800.0)));
}

// The stepping definition of the full-circle normalisation within [-3600, 3600].
double SteppedNormalize360(double a) {
    while (a >= 360.0) a -= 360.0;
    while (a < 0.0) a += 360.0;
    return a;
}

TEST(AngleNormalization, MatchesStepwiseReductionBitForBitInsideTheWindow) {
    std::mt19937_64 rng(7);
    std::uniform_real_distribution<double> wide(-3600.0, 3600.0);
    std::uniform_real_distribution<double> tiny(-1e-12, 1e-12);
    for (int i = 0; i < 20000; ++i) {
        const double a = (i % 10 == 0) ? tiny(rng) : wide(rng);
        ASSERT_EQ(Normalize360(a), SteppedNormalize360(a)) << a;
    }
    EXPECT_EQ(Normalize360(-1e-20), 360.0);  // the rounding the stepping gives as well
}

struct AngleRow {
    const char* what;
    double actual;
    double expected;
};

TEST(AngleArithmetic, Table) {
    const AngleRow rows[] = {
        {"difference 10-350", AngleDifference(10, 350), 20},
        {"difference 350-10", AngleDifference(350, 10), -20},
        {"difference one step only", AngleDifference(800, 0), 440},
        {"difference -190", AngleDifference(-190, 0), 170},
        {"mean across seam", AngleMean360(350, 10), 0},
        {"mean plain", AngleMean360(10, 30), 20},
        {"mean opposite", AngleMean360(90, 270), 180},
        {"mean180 170/-170", AngleMean180(170, -170), 180},
        {"mean180 200/220", AngleMean180(200, 220), -150},
        {"lerp across seam", AngleLerp(0.5, 350, 10), 0},
        {"lerp quarter back", AngleLerp(0.25, 10, 350), 5},
        {"lerp to end", AngleLerp(1.0, 350, 10), 10},
        {"rate folds", AngularRate(100, 0, 0.5), -160},
        {"rate forward", AngularRate(10, 350, 2), 10},
        {"rate backward", AngularRate(350, 10, 2), -10},
        {"rate dt 0", AngularRate(5, 90, 0), 0},
        {"interp360 seam", InterpolateAngle360(0, 1, 350, 10, 0.5), 0},
        {"interp360 back", InterpolateAngle360(0, 1, 10, 350, 0.25), 5},
        {"interp360 clamped", InterpolateAngle360(0, 1, 350, 10, 2), 10},
        {"interp180", InterpolateAngle180(0, 1, 170, 190, 0.75), -175},
        {"scaled missing first", InterpolateAngleScaled(0, 1, -1, 12, 0.5, 0), 12},
        {"scaled both missing", InterpolateAngleScaled(0, 1, -1, -1, 0.5, 0), 0},
        {"scaled missing second", InterpolateAngleScaled(0, 1, 7, -1, 0.5, 0), 7},
        {"scaled degrees unnormalised", InterpolateAngleScaled(0, 1, 350, 10, 0.5, 0), 360},
        {"scaled grads across seam", InterpolateAngleScaled(0, 1, 390, 10, 0.5, 0.9), 400},
        {"scaled grads inside seam", InterpolateAngleScaled(0, 1, 10, 190, 0.5, 0.9), 100},
        {"scaled degenerate span", InterpolateAngleScaled(1, 1, 10, 20, 5, 0), 15},
        {"wrap below", WrapOnce(-10, 360), 350},
        {"wrap above", WrapOnce(370, 360), 10},
        {"wrap once only", WrapOnce(800, 360), 440},
        {"wrap once only below", WrapOnce(-400, 360), -40},
        {"wrap period 0", WrapOnce(-10, 0), -10},
        {"fold above", FoldIntoInterval(370, 0, 360, -1), 10},
        {"fold below", FoldIntoInterval(-10, 0, 360, -1), 350},
        {"fold too far", FoldIntoInterval(800, 0, 360, -1), -1},
        {"fold top bound", FoldIntoInterval(360, 0, 360, -1), 0},
        {"fold closed top", FoldIntoInterval(180, -180, 180, 99), 180},
        {"fold closed top below", FoldIntoInterval(-180, -180, 180, 99), 180},
        {"fold closed top above", FoldIntoInterval(190, -180, 180, 99), -170},
    };
    for (const auto& r : rows) EXPECT_NEAR(r.actual, r.expected, 1e-12) << r.what;
}

}  // namespace
