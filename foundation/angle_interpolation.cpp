#include "foundation/angle_interpolation.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr double kPi = 3.141592653589793;
constexpr double kTwoPi = 6.283185307179586;
constexpr double kTolerance = 1e-10;

bool NearlyEqual(double a, double b) { return std::fabs(a - b) < kTolerance; }

// The remainder of a over period in [0, period): fmod is exact, so within a few periods this
// equals repeated subtraction or addition of the period (the final addition to a tiny negative
// remainder may round up to period itself), and it never loops on a huge or non-finite value.
double ReduceToPeriod(double a, double period) {
    const double r = std::fmod(a, period);
    if (r < 0.0) return r + period;
    // A negative multiple of the period leaves -0.0, which stepping by whole periods ends as +0.0.
    if (r == 0.0 && a != 0.0) return 0.0;
    return r;
}

// The interpolators' shared rule; false when it did not decide and the line is still to be used.
bool BaseShortcut(double x0, double x1, double y0, double y1, double& result) {
    if (NearlyEqual(y1, y0)) {
        result = y0;
        return true;
    }
    if (NearlyEqual(x1, x0)) {
        result = (y0 + y1) * 0.5;
        return true;
    }
    return false;
}

double LineThrough(double x0, double x1, double y0, double y1, double x) {
    return y0 + (x - x0) / (x1 - x0) * (y1 - y0);
}

double ClampToOrdinates(double v, double y0, double y1) {
    return std::clamp(v, std::min(y0, y1), std::max(y0, y1));
}

}  // namespace

double Lerp(double t, double a, double b) { return (b - a) * t + a; }

double Midpoint(double a, double b) { return (a + b) * 0.5; }

double Difference(double a, double b) { return a - b; }

double Interpolate(double x0, double x1, double y0, double y1, double x) {
    double result = 0.0;
    if (BaseShortcut(x0, x1, y0, y1, result)) return result;
    return LineThrough(x0, x1, y0, y1, x);
}

double InterpolateClamped(double x0, double x1, double y0, double y1, double x) {
    return ClampToOrdinates(Interpolate(x0, x1, y0, y1, x), y0, y1);
}

double InterpolateOptionallyClamped(double x0, double x1, double y0, double y1, double x,
                                    bool extrapolate) {
    const double v = Interpolate(x0, x1, y0, y1, x);
    return extrapolate ? v : ClampToOrdinates(v, y0, y1);
}

bool InterpolateInRange(double x0, double x1, double y0, double y1, double x, double& result) {
    if (!BaseShortcut(x0, x1, y0, y1, result)) {
        if (NearlyEqual(x, x0))
            result = y0;
        else if (NearlyEqual(x, x1))
            result = y1;
        else
            result = LineThrough(x0, x1, y0, y1, x);
    }
    return result >= std::min(y0, y1) && result <= std::max(y0, y1);
}

bool InterpolateWithinSpan(double x0, double x1, double y0, double y1, double x, double& result) {
    if (x < std::min(x0, x1) || x > std::max(x0, x1)) return false;
    return InterpolateInRange(x0, x1, y0, y1, x, result);
}

double CosineInterpolate(double x0, double x1, double y0, double y1, double x) {
    double result = 0.0;
    if (BaseShortcut(x0, x1, y0, y1, result)) return result;
    if (x <= x0) return y0;
    if (x >= x1) return y1;
    const double t = (1.0 - std::cos(kPi * (x - x0) / (x1 - x0))) * 0.5;
    return (1.0 - t) * y0 + t * y1;
}

double CosineTaper(double width, double x) {
    if (std::fabs(width) < kTolerance) return 0.5;
    if (x <= 0.0) return 1.0;
    if (x >= width) return 0.0;
    return std::cos(x / width * kPi) * 0.5 + 0.5;
}

double Normalize360(double degrees) { return ReduceToPeriod(degrees, 360.0); }

double Normalize180(double degrees) {
    const double r = Normalize360(degrees);
    return r > 180.0 ? r - 360.0 : r;
}

double NormalizeGrads400(double grads) { return ReduceToPeriod(grads, 400.0); }

double NormalizeGrads200(double grads) {
    const double r = NormalizeGrads400(grads);
    return r > 200.0 ? r - 400.0 : r;
}

double NormalizeRadians2Pi(double radians) { return ReduceToPeriod(radians, kTwoPi); }

double NormalizeRadiansPi(double radians) {
    const double r = NormalizeRadians2Pi(radians);
    return r > kPi ? r - kTwoPi : r;
}

double FmodTwoPi(double radians) { return std::fmod(radians, kTwoPi); }

double AngleDifference(double a, double b) {
    const double d = a - b;
    if (d > 180.0) return d - 360.0;
    if (d < -180.0) return d + 360.0;
    return d;
}

double AngleMean360(double a, double b) {
    const double mean = (a + b) * 0.5;
    return Normalize360(std::fabs(a - b) <= 180.0 ? mean : mean - 180.0);
}

double AngleMean180(double a, double b) {
    const double r = AngleMean360(a, b);
    return r > 180.0 ? r - 360.0 : r;
}

double AngleLerp(double t, double a, double b) {
    const double r = AngleDifference(b, a) * t + a;
    if (r >= 360.0) return r - 360.0;
    if (r < 0.0) return r + 360.0;
    return r;
}

double AngularRate(double a, double b, double dt) {
    if (dt == 0.0) return 0.0;
    const double r = Normalize360(AngleDifference(a, b) / dt);
    return r > 180.0 ? r - 360.0 : r;
}

double InterpolateAngle360(double x0, double x1, double a0, double a1, double x) {
    if (a0 - a1 > 180.0)
        a1 += 360.0;
    else if (a0 - a1 < -180.0)
        a0 += 360.0;
    return Normalize360(InterpolateClamped(x0, x1, a0, a1, x));
}

double InterpolateAngle180(double x0, double x1, double a0, double a1, double x) {
    const double r = InterpolateAngle360(x0, x1, a0, a1, x);
    return r > 180.0 ? r - 360.0 : r;
}

double InterpolateAngleScaled(double x0, double x1, double y0, double y1, double x,
                              double unitSize) {
    constexpr double kMissing = -1.0;
    if (y0 == kMissing) return y1 == kMissing ? 0.0 : y1;
    if (y1 == kMissing) return y0;
    double d = y1 - y0;
    if (std::fabs(d) < kTolerance) return y0;
    const double f = unitSize == 0.0 ? 1.0 : 1.0 / std::fabs(unitSize);
    if (d > 180.0 * f)
        d -= 360.0 * f;
    else if (d < -180.0 * f)
        d += 360.0 * f;
    if (NearlyEqual(x1, x0)) return y0 + d * 0.5;
    return y0 + (x - x0) / (x1 - x0) * d;
}

double WrapOnce(double value, double period) {
    if (period == 0.0) return value;
    if (value < 0.0) value += period;
    if (value >= period) value -= period;
    return value;
}

double FoldIntoInterval(double x, double a, double b, double fallback) {
    const double d = b - a;
    const double below = 2.0 * a - b;
    const double above = 2.0 * b - a;
    if (a >= 0.0) {
        if (x >= a && x < b) return x;
        if (x >= below && x < a) return x + d;
        if (x >= b && x < above) return x - d;
        return fallback;
    }
    if (x > a && x <= b) return x;
    if (x > below && x <= a) return x + d;
    if (x > b && x <= above) return x - d;
    return fallback;
}
