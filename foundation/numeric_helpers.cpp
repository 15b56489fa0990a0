#include "foundation/numeric_helpers.h"

#include <cmath>
#include <cstdlib>
#include <initializer_list>
#include <limits>

#include "foundation/saturating_cast.h"

namespace {

constexpr double kPi = 3.141592653589793;
constexpr double kDegreesToRadians = 0.017453292519943295;
constexpr double kEpsilon = std::numeric_limits<double>::epsilon();
// sqrt(epsilon) and its square root; both are powers of two, so exact.
constexpr double kSqrtEpsilon = 1.4901161193847656e-08;
constexpr double kFourthRootEpsilon = 1.220703125e-04;
static_assert(kSqrtEpsilon * kSqrtEpsilon == kEpsilon);
static_assert(kFourthRootEpsilon * kFourthRootEpsilon == kSqrtEpsilon);

constexpr double kInt32Max = 2147483647.0;

constexpr int kNibbleBits[16] = {0, 1, 1, 2, 1, 2, 2, 3, 1, 2, 2, 3, 2, 3, 3, 4};

// The noise below sums draws of 0..32767 scaled by 1 / 32767, the range of the platform
// where it was tuned; glibc's rand() is wider, so its draws are scaled down to that range.
int Draw15Bits() {
    return static_cast<int>(static_cast<int64_t>(std::rand()) * 32768 /
                            (static_cast<int64_t>(RAND_MAX) + 1));
}

char Hemisphere(double value, bool latitude) {
    if (latitude) return value >= 0.0 ? 'N' : 'S';
    return value >= 0.0 ? 'E' : 'W';
}

}  // namespace

bool HasFlags(uint32_t value, uint32_t mask) {
    if (value != 0 && mask != 0) return (value & mask) == mask;
    return value == mask;
}

void SetFlags(uint8_t& flags, uint8_t mask, bool set) {
    if (set)
        flags |= mask;
    else
        flags &= static_cast<uint8_t>(~mask);
}

void SetFlags(uint32_t& flags, uint32_t mask, bool set) {
    if (set)
        flags |= mask;
    else
        flags &= ~mask;
}

bool ToggleFlags(uint32_t& flags, uint32_t mask) {
    if ((flags & mask) == mask)
        flags &= ~mask;
    else
        flags |= mask;
    return HasFlags(flags, mask);
}

int CountBits8(uint8_t value) { return kNibbleBits[value & 0x0F] + kNibbleBits[value >> 4]; }

int CountBits16(uint16_t value) {
    return CountBits8(static_cast<uint8_t>(value & 0xFF)) +
           CountBits8(static_cast<uint8_t>(value >> 8));
}

int32_t RoundToInt(double v) {
    return Vok::TruncToInt32(v >= 0.0 ? std::floor(v + 0.5) : std::ceil(v - 0.5));
}

double RoundToResolution(double v, double k) {
    const double p = v * k;
    if (!(std::fabs(p) < kInt32Max)) return v;  // NaN included
    return RoundToInt(p) / k;
}

double RoundToStep(double v, double step) {
    if (step == 0.0) return 0.0;
    return RoundToResolution(v, 1.0 / step);
}

double RoundToDecimals(double v, int n) {
    // A scale beyond the range of double (10^309 and up, or a large v times 10^n) leaves v as it
    // is: a double that large already has no digits below 10^-n. Zero is tested first, as zero
    // times an infinite scale is no number.
    if (v == 0.0) return 0.0;
    const double f = std::pow(10.0, n);
    const double scaled = std::fabs(v) * f;
    if (!std::isfinite(scaled)) return v;
    const double r = std::floor(scaled + 0.5);
    if (r == 0.0) return 0.0;
    return r * (v < 0.0 ? -1.0 : 1.0) / f;
}

// log10 is truncated toward zero, not floored: below 1.0 the step starts from 10^0 or a
// larger power, which is how the scales of the suite have always been drawn.
void GetNiceStep(double range, double& step, int& subdivisions) {
    subdivisions = 2;
    const double sign = range < 0.0 ? -1.0 : (range > 0.0 ? 1.0 : 0.0);
    const double a = std::fabs(range);
    if (a == 0.0) {
        step = 0.0;
        return;
    }
    if (!std::isfinite(a)) {
        step = range;
        return;
    }
    const int e = static_cast<int>(std::log10(a));  // finite: within a few hundred
    const double p = std::pow(10.0, e);
    const double m = a / p;
    double candidate = 2.0;
    for (double c : {2.0, 5.0, 10.0}) {
        if (c >= m) {
            candidate = c;
            break;
        }
    }
    step = candidate * p * sign;
    subdivisions = candidate == 2.0 ? 2 : 5;
}

// A single element has no direction: it becomes 1.0 and its old value is returned, as the
// callers of the one-dimensional case expect.
double NormalizeVector(double* v, int n) {
    if (v == nullptr || n < 1) return 0.0;
    if (n == 1) {
        const double old = v[0];
        v[0] = 1.0;
        return old;
    }
    double s = 0.0;
    for (int i = 0; i < n; ++i) s += v[i] * v[i];
    const double len = std::sqrt(s);
    if (len < 1e-6) return 0.0;
    for (int i = 0; i < n; ++i) v[i] /= len;
    return len;
}

// Twelve uniform draws of variance 1/12 each sum to a variance of 1.
double GaussianNoise(double sigma) {
    double sum = 0.0;
    for (int i = 0; i < 12; ++i) sum += Draw15Bits() / 32767.0;
    return (sum - 6.0) * sigma;
}

double Mean(int n, const double* values) {
    if (n < 1 || values == nullptr) return 0.0;
    double sum = 0.0;
    for (int i = 0; i < n; ++i) sum += values[i];
    return sum / n;
}

double WeightedMean(int n, const double* values, const double* weights) {
    if (n < 1 || values == nullptr) return 0.0;
    double sum = 0.0;
    double sumW = 0.0;
    for (int i = 0; i < n; ++i) {
        const double w = (weights != nullptr && weights[i] >= 0.0) ? weights[i] : 1.0;
        sumW += w;
        sum += w * values[i];
    }
    if (sum == 0.0) return 0.0;
    return sumW > 0.0 ? sum / sumW : sum / n;
}

double WeightedMeanInverseVariance(int n, const double* values, const double* sigmas,
                                   double* mean, double* sigmaOfMean) {
    double sum = 0.0;
    double sumW = 0.0;
    if (values != nullptr) {
        for (int i = 0; i < n; ++i) {
            const double w =
                (sigmas != nullptr && sigmas[i] > 0.0) ? 1.0 / (sigmas[i] * sigmas[i]) : 1.0;
            sumW += w;
            sum += w * values[i];
        }
    }
    if (n <= 0 || sumW <= 0.0) sumW = n > 1 ? n : 1;
    const double m = sum / sumW;
    if (mean != nullptr) *mean = m;
    if (sigmaOfMean != nullptr) *sigmaOfMean = 1.0 / std::sqrt(sumW);
    return m;
}

double SimpsonMean(double a, double b, double c) { return (a + 4.0 * b + c) * 0.16666666666666666; }

double DirectionalSigma(double angle, double sigmaA, double sigmaB) {
    if (sigmaA == 0.0 || sigmaB == 0.0) return 1.0;
    const double a2 = sigmaA * sigmaA;
    const double b2 = sigmaB * sigmaB;
    return std::sqrt(((b2 + a2) + std::cos(2.0 * angle * kDegreesToRadians) * (b2 - a2)) * 0.5);
}

void SplitDegreesDms(double value, bool latitude, int& degrees, int& minutes, double& seconds,
                     char& hemisphere) {
    hemisphere = 0;
    const double a = std::fabs(value);
    degrees = Vok::TruncToInt32(std::floor(a));
    const double m = (a - degrees) * 60.0;
    minutes = Vok::TruncToInt32(std::floor(m));
    seconds = (m - minutes) * 60.0;
    hemisphere = Hemisphere(value, latitude);
}

char SplitDegreesDm(double value, bool latitude, int& degrees, double& minutes, char& hemisphere) {
    const double a = std::fabs(value);
    degrees = Vok::TruncToInt32(std::floor(a));
    minutes = (a - degrees) * 60.0;
    hemisphere = Hemisphere(value, latitude);
    return hemisphere;
}

double JoinDmsDegrees(int degrees, int minutes, double seconds, char hemisphere) {
    const double value = degrees + minutes / 60.0 + seconds / 3600.0;
    switch (hemisphere) {
        case 's':
        case 'S':
        case 'w':
        case 'W':
            return -value;
        default:
            return value;
    }
}

double Sinc(double x, bool timesPi) {
    const double y = std::fabs(timesPi ? x * kPi : x);
    if (y > kFourthRootEpsilon) return std::sin(y) / y;
    if (y < kEpsilon) return 1.0;
    const double y2 = y * y;
    if (y >= kSqrtEpsilon) return 1.0 - y2 / 6.0 + y2 * y2 / 120.0;
    return 1.0 - y2 / 6.0;
}

// The bounds are compared with t^2, not with |t|.
double SincDerivative(double x, bool timesPi) {
    const double t = timesPi ? x * kPi : x;
    const double q = t * t;
    if (q > kFourthRootEpsilon) return std::cos(t) / t - std::sin(t) / q;
    if (q < kEpsilon) return 0.0;
    if (q >= kSqrtEpsilon) return q * t / 30.0 - t / 3.0;
    return -t / 3.0;
}
