// Corrections of heights and vertical offsets for the roll and pitch of a vessel or sensor.
//
// A lever arm is three doubles x, y, z in body axes (only read). Angles are in degrees; roll
// turns about x, pitch about y. Rotation order: 1 = roll, then pitch; 0 or below = pitch,
// then roll; above 1 is not supported (no change). Lengths may be in any one unit; results
// are in that unit. A direction flag of true means the value grows upwards.
#pragma once

// z' - z of the lever arm after the rotations; 0.0 for an unsupported order or no lever arm.
double LeverArmDeltaZ(const double* lever, double roll, double pitch, int order);
double LeverArmDeltaZChange(const double* lever, double roll1, double pitch1, double roll2,
                            double pitch2, int order);
// height - (dz(roll1, pitch1) - dz(roll2, pitch2)) - offset.
double CorrectHeightForAttitudeChange(const double* lever, double roll1, double pitch1,
                                      double height, double roll2, double pitch2, double offset,
                                      int order);
// value + (dz(roll1, pitch1) - dz(roll2, pitch2)); offset is accepted and not applied.
double AddLeverArmDeltaZChange(const double* lever, double roll1, double pitch1, double value,
                               double roll2, double pitch2, double offset, int order);
// height -/+ s * z' of the rotated lever arm, s = +1 for an upward value, else -1.
double ReduceHeightByLeverArm(const double* lever, double height, bool upward, double roll,
                              double pitch, int order);
double ExtendHeightByLeverArm(const double* lever, double height, bool upward, double roll,
                              double pitch, int order);

// A purely vertical lever arm of `length`.
double VerticalLeverArmDeltaZ(double length, double roll, double pitch);
double VerticalLeverArmDeltaZChange(double length, double roll1, double pitch1, double roll2,
                                    double pitch2);
double VerticalToTiltedLength(double value, bool upward, double roll, double pitch);
double TiltedToVerticalLength(double value, bool upward, double roll, double pitch);
