#include "foundation/planar_geometry.h"

#include <algorithm>
#include <cmath>

#include "foundation/angle_interpolation.h"

namespace {

constexpr double kPi = 3.141592653589793;
constexpr double kTwoPi = 6.283185307179586;
constexpr double kDegreesToRadians = kPi / 180.0;
constexpr double kRadiansToDegrees = 180.0 / kPi;
constexpr double kTolerance = 1e-10;
constexpr double kDeterminantTolerance = 1e-6;
constexpr double kMinScale = 0.001;

double Radians(double degrees) { return degrees * kDegreesToRadians; }

int SignOf(double v, double tol) {
    if (v > tol) return 1;
    if (v < -tol) return -1;
    return 0;
}

double Cross(double ax, double ay, double bx, double by, double cx, double cy) {
    return (bx - ax) * (cy - ay) - (cx - ax) * (by - ay);
}

// A direction in [0, period) from atan2's (-period/2, period/2], with the full circle read as 0.
double FoldBearing(double b, double period) {
    if (b < 0.0) b += period;
    if (std::fabs(b - period) < kTolerance) return 0.0;
    return b;
}

// Within [lo, hi] with the margin of 1e-10 on both sides.
bool WithinInclusive(double v, double a, double b) {
    return v >= std::min(a, b) - kTolerance && v <= std::max(a, b) + kTolerance;
}

// North-south lines have no finite slope.
bool IsMeridional(double bearing) {
    return std::fabs(bearing) < kTolerance || std::fabs(bearing - 180.0) < kTolerance ||
           std::fabs(bearing - 360.0) < kTolerance;
}

void PolarDeltas(double dist, double bearing, double& dx, double& dy) {
    const double b = Radians(bearing);
    dx = dist * std::sin(b);
    dy = dist * std::cos(b);
}

void DistanceAndBearing(double dx, double dy, double& dist, double& bearing) {
    dist = Hypot2(dx, dy);
    bearing = BearingFromDeltas(dx, dy);
}

double FirstEccentricitySquared(double invF) {
    const double f = 1.0 / invF;
    return (2.0 - f) * f;
}

}  // namespace

int Orientation(double ax, double ay, double bx, double by, double cx, double cy, double tol) {
    return SignOf(Cross(ax, ay, bx, by, cx, cy), tol);
}

int OrientationReversed(double ax, double ay, double bx, double by, double cx, double cy) {
    return -SignOf(Cross(ax, ay, bx, by, cx, cy), kTolerance);
}

bool PointInTriangle(double px, double py, double ax, double ay, double bx, double by, double cx,
                     double cy, bool strict) {
    const int s1 = Orientation(ax, ay, bx, by, px, py, 0.0);
    const int s2 = Orientation(bx, by, cx, cy, px, py, 0.0);
    const int s3 = Orientation(cx, cy, ax, ay, px, py, 0.0);
    if (s1 == s2 && s2 == s3) return true;
    if (strict) return false;
    if (s1 == 0 && (s2 == 0 || s3 == 0)) return true;  // at a vertex
    if (s2 == 0 && s3 == 0) return true;
    // On one edge, inside the other two.
    if (s1 == s2 && s3 == 0) return true;
    if (s1 == s3 && s2 == 0) return true;
    if (s2 == s3 && s1 == 0) return true;
    return false;
}

double ProjectionParameter(double ax, double ay, double bx, double by, double px, double py) {
    const double abx = bx - ax;
    const double aby = by - ay;
    const double ab2 = abx * abx + aby * aby;
    const double dot = (px - ax) * abx + (py - ay) * aby;
    const double t = ab2 == 0.0 ? dot : dot / ab2;
    if (std::fabs(t) < kTolerance) return 0.0;
    if (std::fabs(t - 1.0) < kTolerance) return 1.0;
    return t;
}

double SignedPerpendicularDistance(double ax, double ay, double bx, double by, double px,
                                   double py) {
    if ((ax == bx && ay == by) || (px == ax && py == ay)) return 0.0;
    const double abx = bx - ax;
    const double aby = by - ay;
    const double apx = px - ax;
    const double apy = py - ay;
    const double ap = Hypot2(apx, apy);
    const double cosA = (abx * apx + aby * apy) / (Hypot2(abx, aby) * ap);
    const double d = ap * std::sqrt(std::max(0.0, 1.0 - cosA * cosA));
    const bool left = Normalize360(BearingFromDeltas(apx, apy) - BearingFromDeltas(abx, aby)) > 180.0;
    return left ? -d : d;
}

double Hypot2(double x, double y) { return std::sqrt(x * x + y * y); }

double Hypot3(double x, double y, double z) { return std::sqrt(x * x + y * y + z * z); }

double PlanarDistance(double, double, double, double dx, double dy) { return Hypot2(dx, dy); }

double AlongDirectionDifference(double bearing1, double r1, double bearing2, double r2,
                                double direction) {
    return std::cos(Radians(AngleDifference(bearing1, direction))) * r1 -
           std::cos(Radians(AngleDifference(bearing2, direction))) * r2;
}

double SpeedFromDisplacement(double dx, double dy, double dt) {
    constexpr double kHalfDay = 43200.0;
    constexpr double kDay = 86400.0;
    if (dt == 0.0) return 0.0;
    const double len = Hypot2(dx, dy);
    if (dt > 0.0) return len / dt;
    if (dt >= -kHalfDay) return len / std::fabs(dt);
    return len / (dt + kDay);
}

double BearingFromDeltas(double dx, double dy) {
    if (dx == 0.0 && dy == 0.0) return 0.0;
    return FoldBearing(std::atan2(dx, dy) * kRadiansToDegrees, 360.0);
}

double BearingFromDeltasRadians(double dx, double dy) {
    if (dx == 0.0 && dy == 0.0) return 0.0;
    return FoldBearing(std::atan2(dx, dy), kTwoPi);
}

void PolarPoint(double x0, double y0, double dist, double bearing, double& x, double& y) {
    double dx = 0.0;
    double dy = 0.0;
    PolarDeltas(dist, bearing, dx, dy);
    x = x0 + dx;
    y = y0 + dy;
}

void PolarPoint3D(double x0, double y0, double z0, double dist, double bearing, double elevation,
                  double& x, double& y, double& z) {
    const double e = Radians(elevation);
    PolarPoint(x0, y0, dist * std::cos(e), bearing, x, y);
    z = z0 + dist * std::sin(e);
}

bool AddPolarOffset(double& x, double& y, double dist, double bearing, double scale) {
    return AddPolarOffsetScaled(x, y, dist, bearing, 1.0, 1.0, scale);
}

bool AddPolarOffsetScaled(double& x, double& y, double dist, double bearing, double sx, double sy,
                          double scale) {
    if (std::fabs(sx) < kMinScale || std::fabs(sy) < kMinScale) return false;
    if (scale == 0.0 || dist == 0.0) return false;
    const double b = Radians(bearing);
    x += std::sin(b) * dist * scale / sx;
    y += std::cos(b) * dist * scale / sy;
    return true;
}

void OffsetByHeading(double x0, double y0, double across, double along, double heading, double& x,
                     double& y) {
    const double h = Radians(heading);
    const double c = std::cos(h);
    const double s = std::sin(h);
    x = x0 + across * c + along * s;
    y = y0 + along * c - across * s;
}

void OffsetByHeadingBetween(double x0, double y0, double ax, double ay, double bx, double by,
                            double heading, double& x, double& y) {
    OffsetByHeading(x0, y0, bx - ax, by - ay, heading, x, y);
}

void RotateVector(double& x, double& y, double angle) {
    const double a = Radians(angle);
    const double c = std::cos(a);
    const double s = std::sin(a);
    const double x0 = x;
    x = x0 * c - y * s;
    y = y * c + x0 * s;
}

void RotateQuarterClockwise(double& x, double& y) {
    const double x0 = x;
    x = y;
    y = -x0;
}

void RotateQuarterCounterClockwise(double& x, double& y) {
    const double x0 = x;
    x = -y;
    y = x0;
}

void RotateHalf(double& x, double& y) {
    x = -x;
    y = -y;
}

bool BearingLineIntersection(double x1, double y1, double b1, double x2, double y2, double b2,
                             double& x, double& y) {
    x = 0.0;
    y = 0.0;
    // Bearings a whole number of half turns apart are one direction of line.
    b1 = Normalize360(b1);
    b2 = Normalize360(b2);
    const double apart = std::fmod(std::fabs(b1 - b2), 180.0);
    if (!(apart >= kTolerance && 180.0 - apart >= kTolerance)) return false;  // NaN too
    const bool ns1 = IsMeridional(b1);
    const bool ns2 = IsMeridional(b2);
    const double m1 = std::tan(Radians(90.0 - b1));
    const double m2 = std::tan(Radians(90.0 - b2));
    if (ns1) {
        x = x1;
        y = m2 * x1 + y2 - m2 * x2;
    } else if (ns2) {
        x = x2;
        y = m1 * x2 + y1 - m1 * x1;
    } else {
        const double c1 = y1 - m1 * x1;
        x = (y2 - m2 * x2 - c1) / (m1 - m2);
        y = m1 * x + c1;
    }
    return true;
}

bool LineLineIntersection(double x1, double y1, double x2, double y2, double x3, double y3,
                          double x4, double y4, double& x, double& y) {
    x = 0.0;
    y = 0.0;
    const double den = (x2 - x1) * (y4 - y3) - (y2 - y1) * (x4 - x3);
    if (!(std::fabs(den) >= kDeterminantTolerance)) return false;
    const double t = ((y1 - y3) * (x4 - x3) - (x1 - x3) * (y4 - y3)) / den;
    x = x1 + t * (x2 - x1);
    y = y1 + t * (y2 - y1);
    return true;
}

bool LinesIntersection(double x1, double y1, double x2, double y2, double x3, double y3,
                       double x4, double y4, double* x, double* y) {
    double px = 0.0;
    double py = 0.0;
    const bool found = BearingLineIntersection(x1, y1, BearingFromDeltas(x2 - x1, y2 - y1), x3, y3,
                                               BearingFromDeltas(x4 - x3, y4 - y3), px, py);
    if (x) *x = px;
    if (y) *y = py;
    return found;
}

bool SegmentsIntersection(double x1, double y1, double x2, double y2, double x3, double y3,
                          double x4, double y4, double* x, double* y) {
    double px = 0.0;
    double py = 0.0;
    if (!LinesIntersection(x1, y1, x2, y2, x3, y3, x4, y4, &px, &py)) {
        if (x) *x = 0.0;
        if (y) *y = 0.0;
        return false;
    }
    if (x) *x = px;
    if (y) *y = py;
    return WithinInclusive(px, x1, x2) && WithinInclusive(py, y1, y2) &&
           WithinInclusive(px, x3, x4) && WithinInclusive(py, y3, y4);
}

bool SegmentLineIntersection(double x1, double y1, double x2, double y2, double x3, double y3,
                             double x4, double y4, double& x, double& y, bool& eastward) {
    const double b1 = BearingFromDeltas(x2 - x1, y2 - y1);
    eastward = b1 >= 0.0 && b1 <= 180.0;
    if (!BearingLineIntersection(x3, y3, BearingFromDeltas(x4 - x3, y4 - y3), x1, y1, b1, x, y))
        return false;
    return x >= std::min(x1, x2) && x <= std::max(x1, x2);
}

int LineCircleIntersection(double x1, double y1, double x2, double y2, double cx, double cy,
                           double r, double* xa, double* ya, double* xb, double* yb) {
    const auto write = [](double* out, double v) {
        if (out) *out = v;
    };
    write(xa, 0.0);
    write(ya, 0.0);
    write(xb, 0.0);
    write(yb, 0.0);
    const double dx = x2 - x1;
    const double dy = y2 - y1;
    const double a = dx * dx + dy * dy;
    // A point has no direction: there is no line to meet the circle.
    if (a == 0.0) return 0;
    const double b = 2.0 * ((y1 - cy) * dy + (x1 - cx) * dx);
    const double c = cx * cx + cy * cy + x1 * x1 + y1 * y1 - 2.0 * (x1 * cx + y1 * cy) - r * r;
    const double disc = b * b - 4.0 * a * c;
    if (disc == 0.0) {
        const double t = -b / (2.0 * a);
        write(xa, x1 + t * dx);
        write(ya, y1 + t * dy);
        return 1;
    }
    if (!(disc > 0.0)) return 0;
    const double root = std::sqrt(disc);
    const double t1 = (-b + root) / (2.0 * a);
    const double t2 = (-b - root) / (2.0 * a);
    write(xa, x1 + t1 * dx);
    write(ya, y1 + t1 * dy);
    write(xb, x1 + t2 * dx);
    write(yb, y1 + t2 * dy);
    return 2;
}

double CircleThroughThreePoints(double x1, double y1, double x2, double y2, double x3, double y3,
                                double& cx, double& cy) {
    const double d = (y3 - y1) * x2 + (y2 - y3) * x1 + (y1 - y2) * x3;
    if (!(std::fabs(d) > kTolerance)) return -1.0;
    const double s1 = x1 * x1 + y1 * y1;
    const double s2 = x2 * x2 + y2 * y2;
    const double s3 = x3 * x3 + y3 * y3;
    cx = (s1 * (y2 - y3) + s2 * (y3 - y1) + s3 * (y1 - y2)) / (2.0 * d);
    cy = (s1 * (x3 - x2) + s2 * (x1 - x3) + s3 * (x2 - x1)) / (2.0 * d);
    return Hypot2(x1 - cx, y1 - cy);
}

double ClosestApproach(double x1, double y1, double speed1, double course1, double x2, double y2,
                       double speed2, double course2, double& t, double& dmin, double& x1t,
                       double& y1t, double& x2t, double& y2t) {
    double v1x = 0.0;
    double v1y = 0.0;
    double v2x = 0.0;
    double v2y = 0.0;
    PolarDeltas(speed1, course1, v1x, v1y);
    PolarDeltas(speed2, course2, v2x, v2y);
    const double dvx = v1x - v2x;
    const double dvy = v1y - v2y;
    const double dv2 = dvx * dvx + dvy * dvy;
    const double dpx = x1 - x2;
    const double dpy = y1 - y2;
    t = dv2 >= kDeterminantTolerance ? -(dpx * dvx + dpy * dvy) / dv2 : 0.0;
    x1t = x1 + v1x * t;
    y1t = y1 + v1y * t;
    x2t = x2 + v2x * t;
    y2t = y2 + v2y * t;
    dmin = Hypot2(x1t - x2t, y1t - y2t);
    return t;
}

void PolarPairDifference(double x0, double y0, double r1, double a1, double a2, double heading,
                         double r2, double a3, double& dist, double& bearing, bool relative) {
    const double plusH = relative ? 0.0 : heading;
    const double minusH = relative ? heading : 0.0;
    const double a2p = a2 - minusH;
    const double a3p = a3 + plusH;
    double fx = 0.0;
    double fy = 0.0;
    double sx = 0.0;
    double sy = 0.0;
    PolarPoint(x0, y0, r1, a1 + plusH, fx, fy);
    PolarPoint(x0, y0, r2 * std::cos(Radians(a3p - a2p)), a2p, sx, sy);
    DistanceAndBearing(fx - sx, fy - sy, dist, bearing);
}

void PolarPairDifferenceDirect(double x0, double y0, double r1, double a1, double a2,
                               double heading, double r2, double& dist, double& bearing,
                               bool relative) {
    const double plusH = relative ? 0.0 : heading;
    const double minusH = relative ? heading : 0.0;
    double fx = 0.0;
    double fy = 0.0;
    double sx = 0.0;
    double sy = 0.0;
    PolarPoint(x0, y0, r1, a1 + plusH, fx, fy);
    PolarPoint(x0, y0, r2, a2 - minusH, sx, sy);
    DistanceAndBearing(fx - sx, fy - sy, dist, bearing);
}

void PolarPairDifferenceSum(double r1, double a1, double a2, double heading, double r2, double a3,
                            double& dist, double& bearing, bool relative) {
    const double plusH = relative ? 0.0 : heading;
    const double minusH = relative ? heading : 0.0;
    double fx = 0.0;
    double fy = 0.0;
    double sx = 0.0;
    double sy = 0.0;
    PolarDeltas(r1, a1 + plusH, fx, fy);
    PolarDeltas(r2, (a2 - minusH) + (a3 - minusH), sx, sy);
    DistanceAndBearing(sx - fx, sy - fy, dist, bearing);
}

void RadiiOfCurvature(double lat, double& M, double& N, double a, double invF) {
    if (invF == 0.0) {
        M = a;
        N = a;
        return;
    }
    const double e2 = FirstEccentricitySquared(invF);
    const double s = std::sin(Radians(lat));
    const double w2 = 1.0 - e2 * s * s;
    const double w = std::sqrt(w2);
    N = a / w;
    M = (1.0 - e2) * a / (w * w2);
}

void GeographicDeltasToMetric(double lat, double dLat, double dLon, double& east, double& north,
                              double a, double invF) {
    double M = 0.0;
    double N = 0.0;
    RadiiOfCurvature(lat, M, N, a, invF);
    GeographicDeltasToMetricWithRadii(lat, dLat, dLon, east, north, M, N, 0.0);
}

void GeographicDeltasToMetricWithRadii(double lat, double dLat, double dLon, double& east,
                                       double& north, double M, double N, double h) {
    east = std::cos(Radians(lat)) * Radians(dLon) * (N + h);
    north = Radians(dLat) * (M + h);
}

void CartesianToLatLon(double x, double y, double z, double& lat, double& lon, double invF,
                       bool degrees) {
    const double p = Hypot2(x, y);
    lat = invF == 0.0 ? std::atan2(z, p) : std::atan2(z, (1.0 - FirstEccentricitySquared(invF)) * p);
    lon = std::atan2(y, x);
    if (degrees) {
        lat *= kRadiansToDegrees;
        lon *= kRadiansToDegrees;
    }
}
