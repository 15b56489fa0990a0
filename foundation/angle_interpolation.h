// Linear and cosine interpolation between two samples, and arithmetic on angles that wrap.
//
// Angles are in degrees unless a name says grads (400 to the circle) or radians. Interpolation
// takes the samples (x0, y0) and (x1, y1) and the position x in the order x0, x1, y0, y1, x.
// Two abscissae or ordinates closer than 1e-10 count as equal.
//
// The base rule of the interpolators: equal ordinates give y0; equal abscissae give the mean of
// the ordinates; otherwise the straight line through the two samples.
#pragma once

double Lerp(double t, double a, double b);
double Midpoint(double a, double b);
double Difference(double a, double b);

double Interpolate(double x0, double x1, double y0, double y1, double x);
// Limited to [min(y0, y1), max(y0, y1)].
double InterpolateClamped(double x0, double x1, double y0, double y1, double x);
double InterpolateOptionallyClamped(double x0, double x1, double y0, double y1, double x,
                                    bool extrapolate);
// Writes the interpolated value (x at x0 or x1 gives that sample's ordinate) and returns whether
// it lies within the ordinates, bounds included.
bool InterpolateInRange(double x0, double x1, double y0, double y1, double x, double& result);
// As InterpolateInRange, but false with result untouched when x lies outside the abscissae.
bool InterpolateWithinSpan(double x0, double x1, double y0, double y1, double x, double& result);
// Smooth step from y0 at x0 to y1 at x1 along half a cosine wave; held outside the span.
double CosineInterpolate(double x0, double x1, double y0, double y1, double x);
// 1.0 at x <= 0 falling along half a cosine wave to 0.0 at x >= width; 0.5 for a zero width.
double CosineTaper(double width, double x);

// Normalisation. Values outside any window are reduced exactly (fmod); NaN and infinity give NaN.
double Normalize360(double degrees);            // [0, 360)
double Normalize180(double degrees);            // (-180, 180]
double NormalizeGrads400(double grads);         // [0, 400)
double NormalizeGrads200(double grads);         // (-200, 200]
double NormalizeRadians2Pi(double radians);     // [0, 2 pi)
double NormalizeRadiansPi(double radians);      // (-pi, pi]
double FmodTwoPi(double radians);               // sign of the argument

// a - b taken once (only) into [-180, 180].
double AngleDifference(double a, double b);
// The mean of two directions across the 0/360 seam, in [0, 360) or (-180, 180].
double AngleMean360(double a, double b);
double AngleMean180(double a, double b);
// From a towards b along the shorter way; t = 0 gives a, t = 1 gives b; result in [0, 360).
double AngleLerp(double t, double a, double b);
// (a - b) / dt folded into (-180, 180] degrees per unit of dt; 0.0 for dt of 0.0. The fold
// applies to the rate itself: 100 degrees in 0.5 s reads as -160 degrees per second.
double AngularRate(double a, double b, double dt);
// Interpolation of directions across the seam, clamped to the samples; [0, 360) or (-180, 180].
double InterpolateAngle360(double x0, double x1, double a0, double a1, double x);
double InterpolateAngle180(double x0, double x1, double a0, double a1, double x);
// Interpolation of directions in a unit of unitSize degrees (0.0 means degrees) where -1.0 marks
// a missing sample; the result is not normalised.
double InterpolateAngleScaled(double x0, double x1, double y0, double y1, double x,
                              double unitSize);
// One period added below 0, then one taken off at or above period; unchanged for period 0.0.
double WrapOnce(double value, double period);
// x moved by at most one period b - a into [a, b) (into (a, b] when a is negative); fallback when
// it is further away.
double FoldIntoInterval(double x, double a, double b, double fallback);
