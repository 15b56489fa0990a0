#include "foundation/arcs_chainage.h"

#include <algorithm>
#include <cmath>

#include "foundation/angle_interpolation.h"
#include "foundation/numeric_helpers.h"
#include "foundation/planar_geometry.h"

namespace {

constexpr double kPi = 3.141592653589793;
constexpr double kHalfPi = kPi / 2.0;
constexpr double kTwoPi = 6.283185307179586;
constexpr double kDegreesToRadians = kPi / 180.0;
constexpr double kRadiansToDegrees = 180.0 / kPi;
constexpr double kMinScale = 0.001;
constexpr double kBearingTolerance = 1e-10;

double Radians(double degrees) { return degrees * kDegreesToRadians; }

double ClampUnit(double v) { return std::clamp(v, -1.0, 1.0); }

// One turn added or taken off, enough for the sums of two angles below.
double FoldRadians(double a) {
    if (a < 0.0) return a + kTwoPi;
    if (a >= kTwoPi) return a - kTwoPi;
    return a;
}

// 2 asin(c / (2 r)) r, the minor arc over chord c; the chord itself when no such arc exists.
double ArcOverChord(double c, double radius) {
    if (radius == 0.0) return c;
    const double half = c / (2.0 * radius);
    if (half < -1.0 || half > 1.0) return c;
    return 2.0 * std::asin(half) * radius;
}

double SagittaOfChord(double c, double radius) {
    if (radius == 0.0 || c / 2.0 > std::fabs(radius)) return 0.0;
    return std::fabs(radius) - std::sqrt(radius * radius - c * c / 4.0);
}

// Half the central angle's complement: the angle between the chord and the radius at its ends.
double ChordRadiusAngle(double c, double radius) {
    return std::acos(ClampUnit(c / 2.0 / std::fabs(radius)));
}

// The tangent at the start of a minor arc whose chord has bearing b (radians).
double StartTangent(double b, double alpha, double radius) {
    return radius > 0.0 ? b + alpha - kHalfPi : b - alpha + kHalfPi;
}

// The starboard unit vector of heading h (degrees).
void Starboard(double h, double& sx, double& sy) {
    sx = std::cos(Radians(h));
    sy = -std::sin(Radians(h));
}

// An arc turning by `turn` degrees over `length` spans this chord.
double ChordOfTurn(double length, double turn) { return length * Sinc(Radians(turn) / 2.0, false); }

bool SameBearing(double a, double b) {
    return std::fabs(AngleDifference(Normalize360(a), Normalize360(b))) < kBearingTolerance;
}

}  // namespace

double ArcTangentBearing(double dx, double dy, double radius, bool atStart) {
    const double b = BearingFromDeltasRadians(dx, dy);
    if (radius == 0.0) return b;
    const double s = std::min(std::sqrt(dx * dx + dy * dy) / 2.0 / std::fabs(radius), 1.0);
    const double alpha = std::acos(s);
    const double delta = atStart ? kHalfPi - alpha : alpha - kHalfPi;
    return FoldRadians(radius > 0.0 ? b - delta : b + delta);
}

double ArcTangentBearingDegrees(double dx, double dy, double radius, bool atStart) {
    return ArcTangentBearing(dx, dy, radius, atStart) * kRadiansToDegrees;
}

double ArcTangentBearingBetween(double ax, double ay, double bx, double by, double radius,
                                bool atStart) {
    return ArcTangentBearing(bx - ax, by - ay, radius, atStart);
}

double ArcTangentBearingDegreesBetween(double ax, double ay, double bx, double by, double radius,
                                       bool atStart) {
    return ArcTangentBearingDegrees(bx - ax, by - ay, radius, atStart);
}

bool AddArcOffset(double& x, double& y, double stepLength, double bearing, double stepTurn,
                  double fraction) {
    return AddArcOffsetScaled(x, y, stepLength, bearing, stepTurn, 1.0, 1.0, fraction);
}

bool AddArcOffsetScaled(double& x, double& y, double stepLength, double bearing, double stepTurn,
                        double sx, double sy, double fraction) {
    if (std::fabs(sx) < kMinScale || std::fabs(sy) < kMinScale) return false;
    if (fraction == 0.0 || stepLength == 0.0) return false;
    const double length = stepLength * fraction;
    double direction = bearing;
    double chord = length;
    if (stepTurn != 0.0) {
        const double turn = stepTurn * fraction;
        if (std::fabs(turn) <= 180.0) {
            const double end = bearing + turn;
            direction = AngleMean360(end, bearing);
            chord = ChordOfTurn(length, AngleDifference(end, bearing));
        } else {
            // Beyond a half circle the endpoint is that of the rest of the full circle, run
            // backwards from the opposite direction.
            const double start = bearing - 180.0;
            const double end = start + turn;
            direction = AngleMean360(end, start);
            chord = ChordOfTurn(stepLength * 360.0 / std::fabs(stepTurn) - length,
                                AngleDifference(end, start));
        }
    }
    x += std::sin(Radians(direction)) * chord / sx;
    y += std::cos(Radians(direction)) * chord / sy;
    return true;
}

double ArcLength(double ax, double ay, double bx, double by, double radius) {
    return ArcOverChord(Hypot2(bx - ax, by - ay), radius);
}

double ArcLength3D(double ax, double ay, double az, double bx, double by, double bz,
                   double radius) {
    return ArcLengthFromDeltas(bx - ax, by - ay, bz - az, radius);
}

double ArcLengthFromDeltas(double dx, double dy, double dz, double radius) {
    const double h = ArcOverChord(Hypot2(dx, dy), radius);
    return dz == 0.0 ? h : std::sqrt(h * h + dz * dz);
}

double ArcLengthFromChord(double ax, double ay, double bx, double by, double radius) {
    const double c = Hypot2(bx - ax, by - ay);
    if (!(c > 0.0)) return c;
    return ArcOverChord(c, radius);
}

double Sagitta(double ax, double ay, double bx, double by, double radius) {
    return SagittaOfChord(Hypot2(bx - ax, by - ay), radius);
}

double SagittaFromDeltas(double dx, double dy, double radius) {
    return SagittaOfChord(Hypot2(dx, dy), radius);
}

void ArcCentre(double x1, double y1, double x2, double y2, double radius, double& cx, double& cy,
               bool byAngle) {
    const double dx = x2 - x1;
    const double dy = y2 - y1;
    const double length = Hypot2(dx, dy);
    // A chord of no length has no midpoint normal: the angle form still places the centre.
    if (!byAngle && length > 0.0) {
        const double h = std::sqrt(std::max(0.0, radius * radius - length * length / 4.0));
        const double sign = radius > 0.0 ? 1.0 : -1.0;
        cx = (x1 + x2) / 2.0 + sign * h * dy / length;
        cy = (y1 + y2) / 2.0 - sign * h * dx / length;
        return;
    }
    const double b = std::atan2(dx, dy);
    const double alpha = std::acos(std::min(length / 2.0 / std::fabs(radius), 1.0));
    const double angle = radius > 0.0 ? b + alpha : b - alpha;
    cx = x1 + std::fabs(radius) * std::sin(angle);
    cy = y1 + std::fabs(radius) * std::cos(angle);
}

double ArcMidpoint(double x1, double y1, double x2, double y2, double radius, double& mx,
                   double& my) {
    const double dx = x2 - x1;
    const double dy = y2 - y1;
    const double b = BearingFromDeltasRadians(dx, dy);
    mx = (x1 + x2) / 2.0;
    my = (y1 + y2) / 2.0;
    if (radius != 0.0) {
        const double c = Hypot2(dx, dy);
        const double r = std::fabs(radius);
        const double sagitta = (1.0 - std::sin(std::acos(std::min(c / 2.0 / r, 1.0)))) * r;
        // The arc bulges away from its centre.
        const double toward = radius > 0.0 ? b - kHalfPi : b + kHalfPi;
        mx += sagitta * std::sin(toward);
        my += sagitta * std::cos(toward);
    }
    return b;
}

double ArcChord(double length, double heading0, double heading1, double& chord,
                double& meanHeading) {
    chord = ChordOfTurn(length, std::fabs(AngleDifference(heading1, heading0)));
    meanHeading = AngleMean360(heading0, heading1);
    return chord;
}

void ArcPoint(double x0, double y0, double length, double heading0, double heading1, double& x,
              double& y) {
    double chord = 0.0;
    double mean = 0.0;
    ArcChord(length, heading0, heading1, chord, mean);
    PolarPoint(x0, y0, chord, mean, x, y);
}

void ArcPointWithOffset(double x0, double y0, double offset, double length, double heading0,
                        double heading1, double& x, double& y) {
    ArcPoint(x0, y0, length, heading0, heading1, x, y);
    double sx = 0.0;
    double sy = 0.0;
    Starboard(heading1, sx, sy);
    x += offset * sx;
    y += offset * sy;
}

void ArcPointBetweenOffsets(double x0, double y0, double offset0, double station0, double offset1,
                            double station1, double heading0, double heading1, double& x,
                            double& y) {
    ArcPoint(x0, y0, station1 - station0, heading0, heading1, x, y);
    double s0x = 0.0;
    double s0y = 0.0;
    double s1x = 0.0;
    double s1y = 0.0;
    Starboard(heading0, s0x, s0y);
    Starboard(heading1, s1x, s1y);
    x += offset1 * s1x - offset0 * s0x;
    y += offset1 * s1y - offset0 * s0y;
}

int OrderArcBearings(double x1, double y1, double x2, double y2, double cx, double cy,
                     double& b1, double& b2) {
    b1 = BearingFromDeltas(x1 - cx, y1 - cy);
    b2 = BearingFromDeltas(x2 - cx, y2 - cy);
    if (b1 > b2) b2 += 360.0;
    int swapped = 0;
    if (b2 - b1 > 180.0) {
        std::swap(b1, b2);
        swapped = 1;
    }
    if (b1 > b2) b2 += 360.0;
    return swapped;
}

double ArcStepAngle(double b1, double b2, double radius, int minSteps, double stepLength) {
    if (!(stepLength > 0.0)) return -1.0;
    double sweep = Normalize360(b2 - b1);
    if (sweep < 0.0001) sweep = 360.0;
    const double n = std::floor(std::fabs(sweep / 360.0 * kTwoPi * radius) / stepLength);
    // At least one piece, so that no step count leaves the sweep undivided by zero.
    const double pieces = std::max({1.0, static_cast<double>(minSteps), n});
    return std::max(sweep / pieces, 0.1);
}

bool IsBearingBetween(double ref, double a, double b) {
    const double da = AngleDifference(a, ref);
    const double db = AngleDifference(b, ref);
    const double lo = std::min(da, db);
    const double hi = std::max(da, db);
    return lo < 0.0 && hi > 0.0 && std::fabs(lo) + std::fabs(hi) < 180.0;
}

double BisectorBearing(double ax, double ay, double bx, double by, double cx, double cy,
                       double dx, double dy) {
    if (cx != bx || cy != by) return -1.0;
    const double back = Normalize360(BearingFromDeltas(bx - ax, by - ay) + 180.0);
    const double fwd = BearingFromDeltas(dx - cx, dy - cy);
    const double m = (fwd + back) / 2.0;
    return Normalize360(m - fwd) >= 180.0 ? Normalize360(m + 180.0) : m;
}

bool IsArcBearingOrdered(int quadrant, double cx, double cy, double x1, double y1, double x2,
                         double y2) {
    const double b1 = BearingFromDeltas(x1 - cx, y1 - cy);
    const double b2 = BearingFromDeltas(x2 - cx, y2 - cy);
    switch (quadrant) {
        case 1:
        case 4:
            return !(b2 > b1);
        case 2:
        case 3:
            return b1 <= b2;
        default:
            return true;
    }
}

bool ArcRadialIntersection(double radius, double b1, double b2, double cx, double cy, double x1,
                           double y1, double x2, double y2, double& x, double& y, int& quadrant) {
    x = 0.0;
    y = 0.0;
    quadrant = 1;
    double e1x = 0.0;
    double e1y = 0.0;
    double e2x = 0.0;
    double e2y = 0.0;
    PolarPoint(cx, cy, radius, b1, e1x, e1y);
    PolarPoint(cx, cy, radius, b2, e2x, e2y);
    if (e2x > e1x)
        quadrant = e2y >= e1y ? 1 : 2;
    else
        quadrant = e1y > e2y ? 3 : 4;

    const double line = BearingFromDeltas(x2 - x1, y2 - y1);
    const double lineBack = Normalize360(line + 180.0);
    if (line == b1 || lineBack == b1) {
        x = e1x;
        y = e1y;
        return true;
    }
    if (line == b2 || lineBack == b2) {
        x = e2x;
        y = e2y;
        return true;
    }

    const double toP1 = BearingFromDeltas(x1 - cx, y1 - cy);
    const double toP2 = BearingFromDeltas(x2 - cx, y2 - cy);
    const bool radial = (SameBearing(line, toP1) || SameBearing(lineBack, toP1)) &&
                        (SameBearing(line, toP2) || SameBearing(lineBack, toP2));
    if (!radial) return false;
    PolarPoint(cx, cy, radius, toP1, x, y);
    bool increasing = false;
    switch (quadrant) {
        case 1: increasing = e1x <= cx; break;
        case 2: increasing = e1x > cx; break;
        case 3: increasing = e2x > cx; break;
        default: increasing = e2x <= cx; break;
    }
    return increasing ? (b1 < toP1 && toP1 < b2) : (b2 < toP1 && toP1 < b1);
}

double PointAtChainage(double s, double x0, double y0, double s0, double x1, double y1, double s1,
                       double radius, double& x, double& y) {
    const bool swapped = s0 > s1;
    if (swapped) {
        std::swap(x0, x1);
        std::swap(y0, y1);
        std::swap(s0, s1);
        radius = -radius;
    }
    const double dx = x1 - x0;
    const double dy = y1 - y0;
    const double c = Hypot2(dx, dy);
    const double b = std::atan2(dx, dy);
    double direction = b;
    if (radius == 0.0) {
        const double ds = s1 - s0 > 0.0 ? s1 - s0 : c;
        const double t = ds > 0.0 ? (s - s0) / ds : ds;
        x = x0 + t * dx;
        y = y0 + t * dy;
    } else {
        const double alpha = ChordRadiusAngle(c, radius);
        const double theta0 = StartTangent(b, alpha, radius);
        if (s == s0) {
            x = x0;
            y = y0;
            direction = theta0;
        } else {
            const double a = s1 > s0 ? (s - s0) / (s1 - s0) * 2.0 *
                                           std::asin(ClampUnit(c / 2.0 / radius)) * radius
                                     : (s - s0) * 1000.0;
            const double phi = a / 2.0 / radius;
            const double k = 2.0 * radius * std::sin(phi);
            const double beta = std::acos(ClampUnit(k / 2.0 / std::fabs(radius)));
            const double psi = radius > 0.0 ? b + (alpha - beta) : b - (alpha - beta);
            x = x0 + k * std::sin(psi);
            y = y0 + k * std::cos(psi);
            // The tangent turns with the arc: by a / radius radians from the start tangent. This
            // is the start tangent of the rest of the arc, and stays defined at its end.
            direction = theta0 + a / radius;
        }
    }
    if (swapped) direction += kPi;
    return NormalizeRadians2Pi(direction);
}

double ChainageOffsetOfPoint(double x1, double y1, double x2, double y2, double radius, double px,
                             double py, double& along, double& remaining, double& offset,
                             double& length, double& direction) {
    along = 0.0;
    remaining = 0.0;
    offset = 0.0;
    length = 0.0;
    direction = 0.0;
    if (radius == 0.0) {
        const double sx = x2 - x1;
        const double sy = y2 - y1;
        const double ppx = px - x1;
        const double ppy = py - y1;
        length = Hypot2(sx, sy);
        direction = BearingFromDeltas(sx, sy);
        const double fromStart = Hypot2(ppx, ppy);
        if (length != 0.0 && fromStart != 0.0) {
            const double cosA = (ppx * sx + ppy * sy) / (length * fromStart);
            along = cosA * fromStart;
            offset = std::sqrt(std::max(0.0, 1.0 - cosA * cosA)) * fromStart;
            if (Normalize360(BearingFromDeltas(ppx, ppy) - direction) > 180.0) offset = -offset;
        }
        remaining = length - along;
        return along;
    }

    const double tangent = ArcTangentBearingDegrees(x2 - x1, y2 - y1, radius, true);
    double cx = 0.0;
    double cy = 0.0;
    PolarPoint(x1, y1, std::fabs(radius), radius >= 0.0 ? tangent + 90.0 : tangent - 90.0, cx, cy);
    const double rho = Hypot2(px - cx, py - cy);
    offset = radius > 0.0 ? radius - rho : rho + radius;

    const double bC1 = BearingFromDeltas(x1 - cx, y1 - cy);
    const double bC2 = BearingFromDeltas(x2 - cx, y2 - cy);
    const double bP = BearingFromDeltas(px - cx, py - cy);
    const double sweep = Normalize360(bC2 - bC1);
    if (sweep == 0.0) {
        // Both ends coincide: an arc of no length.
        direction = Normalize360(bP + (radius > 0.0 ? 90.0 : -90.0));
        return along;
    }
    if (sweep <= 180.0) {
        length = radius * kTwoPi * sweep / 360.0;
        along = Normalize360(bP - bC1) / sweep * length;
        direction = bP + 90.0;
    } else {
        length = -radius * kTwoPi * (360.0 - sweep) / 360.0;
        along = Normalize360(bC1 - bP) / (360.0 - sweep) * length;
        direction = bP - 90.0;
    }
    direction = Normalize360(direction);
    remaining = length - along;
    return along;
}
