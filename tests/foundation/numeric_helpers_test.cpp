#include "foundation/numeric_helpers.h"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <vector>

namespace {

constexpr double kPi = 3.141592653589793;
constexpr int32_t kMax = std::numeric_limits<int32_t>::max();
constexpr int32_t kMin = std::numeric_limits<int32_t>::min();
const double kNaN = std::nan("");
const double kInf = std::numeric_limits<double>::infinity();

TEST(NumericHelpers, FlagTestsAndUpdates) {
    EXPECT_TRUE(HasFlags(0, 0));
    EXPECT_FALSE(HasFlags(5, 0));
    EXPECT_FALSE(HasFlags(0, 4));
    EXPECT_TRUE(HasFlags(7, 5));
    // Part of the mask is not enough.
    EXPECT_FALSE(HasFlags(4, 6));
    EXPECT_FALSE(HasFlags(0x11, 0x13));

    uint32_t flags = 0x0F;
    EXPECT_FALSE(ToggleFlags(flags, 0x03));
    EXPECT_EQ(flags, 0x0Cu);
    EXPECT_TRUE(ToggleFlags(flags, 0x03));
    EXPECT_EQ(flags, 0x0Fu);
    flags = 0x04;
    EXPECT_TRUE(ToggleFlags(flags, 0x06));
    EXPECT_EQ(flags, 0x06u);

    uint8_t small = 0x81;
    SetFlags(small, 0x06, true);
    EXPECT_EQ(small, 0x87);
    SetFlags(small, 0x81, false);
    EXPECT_EQ(small, 0x06);
    uint32_t wide = 0x8000000F;
    SetFlags(wide, 0x80000005, false);
    EXPECT_EQ(wide, 0x0Au);
    SetFlags(wide, 0x30, true);
    EXPECT_EQ(wide, 0x3Au);

    EXPECT_EQ(CountBits8(0xA5), 4);
    EXPECT_EQ(CountBits16(0x8001), 2);
    for (unsigned v = 0; v < 256; ++v) EXPECT_EQ(CountBits8(static_cast<uint8_t>(v)), std::popcount(v)) << v;
    EXPECT_EQ(CountBits16(0xFFFF), 16);
}

TEST(NumericHelpers, RoundToIntIsHalfAwayFromZero) {
    EXPECT_EQ(RoundToInt(2.5), 3);
    EXPECT_EQ(RoundToInt(-2.5), -3);
    EXPECT_EQ(RoundToInt(-0.4), 0);
    EXPECT_EQ(RoundToInt(2147483646.6), kMax);
    EXPECT_EQ(RoundToInt(-2147483647.6), kMin);
}

TEST(NumericHelpers, RoundToIntSaturatesOutsideThe32BitRange) {
    EXPECT_EQ(RoundToInt(3.0e9), kMax);
    EXPECT_EQ(RoundToInt(2147483647.5), kMax);
    EXPECT_EQ(RoundToInt(-3.0e9), kMin);
    EXPECT_EQ(RoundToInt(-2147483648.6), kMin);
    EXPECT_EQ(RoundToInt(kInf), kMax);
    EXPECT_EQ(RoundToInt(-kInf), kMin);
    EXPECT_EQ(RoundToInt(kNaN), 0);
}

TEST(NumericHelpers, RoundingToResolutionStepAndDecimals) {
    EXPECT_DOUBLE_EQ(RoundToResolution(1.2345, 100.0), 1.23);
    EXPECT_EQ(RoundToResolution(3.0e9, 1.0), 3.0e9);
    EXPECT_TRUE(std::isnan(RoundToResolution(kNaN, 1.0)));
    EXPECT_EQ(RoundToStep(7.3, 0.5), 7.5);
    EXPECT_EQ(RoundToStep(7.3, 0.0), 0.0);

    const double zero = RoundToDecimals(-0.004, 2);
    EXPECT_EQ(zero, 0.0);
    EXPECT_FALSE(std::signbit(zero));
    EXPECT_EQ(RoundToDecimals(-1.005, 2), -1.0);
    EXPECT_EQ(RoundToDecimals(1234.0, -2), 1200.0);
    // From 309 decimals on the scale is infinite in double: the value stays as it is.
    EXPECT_EQ(RoundToDecimals(1.5, 309), 1.5);
    EXPECT_EQ(RoundToDecimals(-1.23456789, 400), -1.23456789);
    EXPECT_FALSE(std::signbit(RoundToDecimals(-0.0, 400)));
    EXPECT_EQ(RoundToDecimals(1.25, 308), 1.25);
    EXPECT_EQ(RoundToDecimals(2.0, 308), 2.0);
    EXPECT_EQ(RoundToDecimals(-1e300, 10), -1e300);
}

TEST(NumericHelpers, NiceStepsTruncateTheExponentTowardZero) {
    double step = -1.0;
    int subdivisions = -1;
    GetNiceStep(37.0, step, subdivisions);
    EXPECT_DOUBLE_EQ(step, 50.0);
    EXPECT_EQ(subdivisions, 5);
    GetNiceStep(-0.13, step, subdivisions);
    EXPECT_DOUBLE_EQ(step, -2.0);
    EXPECT_EQ(subdivisions, 2);
    GetNiceStep(150.0, step, subdivisions);
    EXPECT_DOUBLE_EQ(step, 200.0);
    EXPECT_EQ(subdivisions, 2);
    // A range that is already a nice step keeps it.
    GetNiceStep(20.0, step, subdivisions);
    EXPECT_DOUBLE_EQ(step, 20.0);
    EXPECT_EQ(subdivisions, 2);
    GetNiceStep(-500.0, step, subdivisions);
    EXPECT_DOUBLE_EQ(step, -500.0);
    EXPECT_EQ(subdivisions, 5);
}

TEST(NumericHelpers, NiceStepOfAZeroOrUnboundedRangeIsSafe) {
    double step = -1.0;
    int subdivisions = -1;
    GetNiceStep(0.0, step, subdivisions);
    EXPECT_EQ(step, 0.0);
    EXPECT_EQ(subdivisions, 2);
    GetNiceStep(-kInf, step, subdivisions);
    EXPECT_EQ(step, -kInf);
    EXPECT_EQ(subdivisions, 2);
    GetNiceStep(kNaN, step, subdivisions);
    EXPECT_TRUE(std::isnan(step));
    EXPECT_EQ(subdivisions, 2);
}

TEST(NumericHelpers, NormalizeVector) {
    double v[2] = {3.0, 4.0};
    EXPECT_EQ(NormalizeVector(v, 2), 5.0);
    EXPECT_DOUBLE_EQ(v[0], 0.6);
    EXPECT_DOUBLE_EQ(v[1], 0.8);
    double tiny[2] = {1e-7, 0.0};
    EXPECT_EQ(NormalizeVector(tiny, 2), 0.0);
    EXPECT_EQ(tiny[0], 1e-7);
    double single = -2.0;
    EXPECT_EQ(NormalizeVector(&single, 1), -2.0);
    EXPECT_EQ(single, 1.0);
    EXPECT_EQ(NormalizeVector(nullptr, 3), 0.0);
}

TEST(NumericHelpers, GaussianNoiseStaysWithinSixSigmaAroundZero) {
    std::srand(20240611);
    constexpr int kDraws = 10000;
    constexpr double kSigma = 2.5;
    double sum = 0.0;
    double sumSquares = 0.0;
    int beyondOneSigma = 0;
    for (int i = 0; i < kDraws; ++i) {
        const double x = GaussianNoise(kSigma);
        ASSERT_LE(std::fabs(x), 6.0 * kSigma) << "draw " << i;
        sum += x;
        sumSquares += x * x;
        if (std::fabs(x) > kSigma) ++beyondOneSigma;
    }
    const double mean = sum / kDraws;
    const double variance = sumSquares / kDraws - mean * mean;
    EXPECT_LT(std::fabs(mean), 0.05 * kSigma);  // five standard errors of the mean
    EXPECT_NEAR(variance / (kSigma * kSigma), 1.0, 0.1);
    EXPECT_NEAR(beyondOneSigma / double(kDraws), 0.317, 0.03);
    // A draw is the top 15 of rand()'s 31 bits, so a seed gives the same noise every time.
    static_assert(RAND_MAX == 0x7FFFFFFF);
    std::srand(5);
    std::vector<int> bits(12 * 1000);
    for (int& b : bits) b = std::rand() >> 16;
    std::srand(5);
    for (int i = 0; i < 1000; ++i) {
        double draws = 0.0;
        for (int j = 0; j < 12; ++j) draws += bits[12 * i + j] / 32767.0;
        ASSERT_NEAR(GaussianNoise(1.0), draws - 6.0, 1e-9) << "draw " << i;
    }
}

TEST(NumericHelpers, Means) {
    const double values[] = {1.0, 3.0};
    EXPECT_EQ(Mean(2, values), 2.0);
    EXPECT_EQ(Mean(0, values), 0.0);
    const double weights[] = {-1.0, 1.0};
    EXPECT_EQ(WeightedMean(2, values, weights), 2.0);
    const double zeros[] = {0.0, 0.0};
    EXPECT_EQ(WeightedMean(2, zeros, nullptr), 0.0);
    EXPECT_EQ(WeightedMean(2, nullptr, weights), 0.0);
    EXPECT_EQ(WeightedMean(2, values, zeros), 0.0);  // zero weights leave a zero sum

    const double tens[] = {10.0, 20.0};
    const double sigmas[] = {1.0, 2.0};
    double mean = 0.0;
    double sigmaOfMean = 0.0;
    EXPECT_DOUBLE_EQ(WeightedMeanInverseVariance(2, tens, sigmas, &mean, &sigmaOfMean), 12.0);
    EXPECT_DOUBLE_EQ(mean, 12.0);
    EXPECT_DOUBLE_EQ(sigmaOfMean, 1.0 / std::sqrt(1.25));
    EXPECT_EQ(WeightedMeanInverseVariance(0, tens, sigmas, nullptr, &sigmaOfMean), 0.0);
    EXPECT_EQ(sigmaOfMean, 1.0);
    // Without sigmas, or with a sigma that is not above 0, a value weighs 1.
    EXPECT_DOUBLE_EQ(WeightedMeanInverseVariance(2, tens, nullptr, nullptr, &sigmaOfMean), 15.0);
    EXPECT_DOUBLE_EQ(sigmaOfMean, 1.0 / std::sqrt(2.0));
    const double zeroAndOne[2] = {0.0, 1.0};
    EXPECT_DOUBLE_EQ(WeightedMeanInverseVariance(2, tens, zeroAndOne, nullptr, nullptr), 15.0);
    // Weights that vanish count as n values of weight 1.
    const double huge[2] = {1e200, 1e200};
    EXPECT_EQ(WeightedMeanInverseVariance(2, tens, huge, &mean, &sigmaOfMean), 0.0);
    EXPECT_DOUBLE_EQ(sigmaOfMean, 1.0 / std::sqrt(2.0));

    EXPECT_DOUBLE_EQ(DirectionalSigma(0.0, 1.0, 2.0), 2.0);
    EXPECT_DOUBLE_EQ(DirectionalSigma(45.0, 1.0, 2.0), std::sqrt(2.5));
    EXPECT_EQ(DirectionalSigma(30.0, 0.0, 2.0), 1.0);
}

TEST(NumericHelpers, DegreesMinutesSeconds) {
    int d = 0, m = 0;
    double s = 0.0;
    char h = 'x';
    SplitDegreesDms(-12.5125, true, d, m, s, h);
    EXPECT_EQ(d, 12);
    EXPECT_EQ(m, 30);
    EXPECT_NEAR(s, 45.0, 1e-9);
    EXPECT_EQ(h, 'S');
    SplitDegreesDms(0.0, false, d, m, s, h);
    EXPECT_EQ(h, 'E');
    SplitDegreesDms(0.0, true, d, m, s, h);
    EXPECT_EQ(h, 'N');
    SplitDegreesDms(-1e300, false, d, m, s, h);  // saturates instead of overflowing
    EXPECT_EQ(d, kMax);
    EXPECT_EQ(h, 'W');
    SplitDegreesDms(kNaN, true, d, m, s, h);
    EXPECT_EQ(d, 0);
    EXPECT_EQ(m, 0);
    double dm = -1.0;
    EXPECT_EQ(SplitDegreesDm(-12.5125, true, d, dm, h), 'S');
    EXPECT_EQ(d, 12);
    EXPECT_NEAR(dm, 30.75, 1e-9);

    EXPECT_DOUBLE_EQ(JoinDmsDegrees(12, 30, 45.0, 's'), -12.5125);
}

TEST(NumericHelpers, SincAndItsDerivative) {
    EXPECT_EQ(Sinc(0.0, false), 1.0);
    EXPECT_NEAR(Sinc(1.0, true), 0.0, 1e-15);
    EXPECT_DOUBLE_EQ(Sinc(0.5, true), 2.0 / kPi);
    // The series near zero agrees with sin(x) / x on both sides of its bounds.
    for (double x : {1.3e-4, 1.2e-4, 1e-6, 1.5e-8, 1e-9})
        EXPECT_DOUBLE_EQ(Sinc(x, false), 1.0 - x * x / 6.0) << x;

    EXPECT_EQ(SincDerivative(0.0, false), 0.0);
    EXPECT_DOUBLE_EQ(SincDerivative(1.0, false), std::cos(1.0) - std::sin(1.0));
    const double t = 0.5 * kPi;
    EXPECT_DOUBLE_EQ(SincDerivative(0.5, true), std::cos(t) / t - std::sin(t) / (t * t));
    EXPECT_NEAR(SincDerivative(1e-3, false), -1e-3 / 3.0 + 1e-9 / 30.0, 1e-18);
    EXPECT_NEAR(SincDerivative(1e-5, false), -1e-5 / 3.0, 1e-20);
    // t^2 right at sqrt(epsilon) still takes the cubic term.
    EXPECT_NEAR(SincDerivative(0x1p-13, false), -0x1p-13 / 3.0 + 0x1p-39 / 30.0, 1e-20);
}

}  // namespace
