#include "foundation/attitude.h"

#include <cmath>

namespace {

constexpr double kDegreesToRadians = 0.017453292519943295;

double Sign(bool upward) { return upward ? 1.0 : -1.0; }

bool IsLevel(double roll, double pitch) { return roll == 0.0 && pitch == 0.0; }

double LeverZ(const double* lever) { return lever != nullptr ? lever[2] : 0.0; }

}  // namespace

double LeverArmDeltaZ(const double* lever, double roll, double pitch, int order) {
    if (lever == nullptr || order > 1) return 0.0;
    const double x = lever[0];
    const double y = lever[1];
    const double z = lever[2];
    const double r = roll * kDegreesToRadians;
    const double p = pitch * kDegreesToRadians;
    double rotated;
    if (order == 1)  // Ry(p) * Rx(r)
        rotated = (std::sin(r) * y + std::cos(r) * z) * std::cos(p) - std::sin(p) * x;
    else  // Rx(r) * Ry(p)
        rotated = (-std::sin(p) * x + std::cos(p) * z) * std::cos(r) + std::sin(r) * y;
    return rotated - z;
}

double LeverArmDeltaZChange(const double* lever, double roll1, double pitch1, double roll2,
                            double pitch2, int order) {
    return LeverArmDeltaZ(lever, roll1, pitch1, order) -
           LeverArmDeltaZ(lever, roll2, pitch2, order);
}

double CorrectHeightForAttitudeChange(const double* lever, double roll1, double pitch1,
                                      double height, double roll2, double pitch2, double offset,
                                      int order) {
    return height - LeverArmDeltaZChange(lever, roll1, pitch1, roll2, pitch2, order) - offset;
}

// Callers pass the same offset as to CorrectHeightForAttitudeChange; it stays out of the
// result, which they rely on.
double AddLeverArmDeltaZChange(const double* lever, double roll1, double pitch1, double value,
                               double roll2, double pitch2, double /*offset*/, int order) {
    return value + LeverArmDeltaZChange(lever, roll1, pitch1, roll2, pitch2, order);
}

double ReduceHeightByLeverArm(const double* lever, double height, bool upward, double roll,
                              double pitch, int order) {
    const double s = Sign(upward);
    if (IsLevel(roll, pitch)) return height - s * LeverZ(lever);
    return height - s * (LeverArmDeltaZ(lever, roll, pitch, order) + LeverZ(lever));
}

double ExtendHeightByLeverArm(const double* lever, double height, bool upward, double roll,
                              double pitch, int order) {
    const double s = Sign(upward);
    if (IsLevel(roll, pitch)) return height + s * LeverZ(lever);
    return height + s * (LeverArmDeltaZ(lever, roll, pitch, order) + LeverZ(lever));
}

double VerticalLeverArmDeltaZ(double length, double roll, double pitch) {
    if (IsLevel(roll, pitch)) return 0.0;
    return length * std::cos(pitch * kDegreesToRadians) * std::cos(roll * kDegreesToRadians) -
           length;
}

double VerticalLeverArmDeltaZChange(double length, double roll1, double pitch1, double roll2,
                                    double pitch2) {
    return VerticalLeverArmDeltaZ(length, roll1, pitch1) -
           VerticalLeverArmDeltaZ(length, roll2, pitch2);
}

double VerticalToTiltedLength(double value, bool upward, double roll, double pitch) {
    const double s = Sign(upward);
    if (IsLevel(roll, pitch)) return s * value;
    return s * value / std::cos(pitch * kDegreesToRadians) / std::cos(roll * kDegreesToRadians);
}

double TiltedToVerticalLength(double value, bool upward, double roll, double pitch) {
    const double s = Sign(upward);
    if (IsLevel(roll, pitch)) return s * value;
    return s * value * std::cos(pitch * kDegreesToRadians) * std::cos(roll * kDegreesToRadians);
}
