#include "foundation/arcs_chainage.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>

#include "foundation/angle_interpolation.h"
#include "foundation/planar_geometry.h"

namespace {

constexpr double kPi = 3.141592653589793;
// The quarter circle of radius 100 from (0, 0) northwards and round to (100, 100); centre
// (100, 0) for the right-hand arc, (0, 100) for the left-hand one.
constexpr double kQuarterArc = 157.0796327;
constexpr double kQuarterChord = 141.4213562;
const double kR = std::sqrt(0.5) * 100.0;  // 70.71...

double DegreesApart(double a, double b) { return std::fabs(AngleDifference(Normalize360(a), Normalize360(b))); }

TEST(Arcs, TangentBearings) {
    struct Row {
        const char* what;
        double dx, dy, radius;
        bool atStart;
        double degrees;
    };
    const Row rows[] = {
        {"right start", 100, 100, 100, true, 0},   {"right end", 100, 100, 100, false, 90},
        {"left start", 100, 100, -100, true, 90},  {"left end", 100, 100, -100, false, 0},
        {"straight", 100, 100, 0, true, 45},       {"half circle", 100, 100, 50, true, 315},
    };
    for (const auto& r : rows) {
        EXPECT_LT(DegreesApart(ArcTangentBearingDegrees(r.dx, r.dy, r.radius, r.atStart), r.degrees),
                  1e-9)
            << r.what;
        const double rad = ArcTangentBearing(r.dx, r.dy, r.radius, r.atStart);
        EXPECT_GE(rad, 0.0) << r.what;
        EXPECT_LT(rad, 2 * kPi) << r.what;
    }
    EXPECT_NEAR(ArcTangentBearingDegreesBetween(10, 10, 110, 110, 100, false), 90, 1e-9);
    EXPECT_NEAR(ArcTangentBearingBetween(10, 10, 110, 110, -100, true), kPi / 2, 1e-12);
}

TEST(Arcs, AddArcOffset) {
    struct Row {
        const char* what;
        double stepLength, bearing, stepTurn, fraction;
        double x, y;
    };
    const Row rows[] = {
        {"quarter right", kPi / 2 * 100, 0, 90, 1, 100, 100},
        {"half of a quarter", kPi / 2 * 100, 0, 90, 0.5, 100 - kR, kR},
        {"quarter left", kPi / 2 * 100, 0, -90, 1, -100, 100},
        {"straight", 10, 90, 0, 0.5, 5, 0},
        {"three quarters right", 1.5 * kPi * 100, 0, 270, 1, 100, -100},
        {"three quarters left", 1.5 * kPi * 100, 0, -270, 1, -100, -100},
    };
    for (const auto& r : rows) {
        double x = 0, y = 0;
        EXPECT_TRUE(AddArcOffset(x, y, r.stepLength, r.bearing, r.stepTurn, r.fraction)) << r.what;
        EXPECT_NEAR(x, r.x, 1e-9) << r.what;
        EXPECT_NEAR(y, r.y, 1e-9) << r.what;
    }
    double x = 1, y = 2;
    EXPECT_FALSE(AddArcOffset(x, y, 10, 0, 90, 0));
    EXPECT_FALSE(AddArcOffset(x, y, 0, 0, 90, 1));
    EXPECT_EQ(x, 1);
    EXPECT_EQ(y, 2);
    x = 0, y = 0;
    EXPECT_TRUE(AddArcOffsetScaled(x, y, kPi / 2 * 100, 0, 90, 2, 0.5, 1));
    EXPECT_NEAR(x, 50, 1e-9);
    EXPECT_NEAR(y, 200, 1e-9);
    EXPECT_FALSE(AddArcOffsetScaled(x, y, 10, 0, 90, 0.0001, 1, 1));
}

TEST(Arcs, LengthsAndSagitta) {
    EXPECT_NEAR(ArcLength(0, 0, 100, 100, 100), kQuarterArc, 1e-7);
    EXPECT_NEAR(ArcLength(0, 0, 100, 100, -100), kQuarterArc, 1e-7);
    EXPECT_NEAR(ArcLength(0, 0, 100, 100, 0), kQuarterChord, 1e-7);
    EXPECT_NEAR(ArcLength(0, 0, 100, 100, 50), kQuarterChord, 1e-7);  // longer than the diameter
    EXPECT_NEAR(ArcLengthFromChord(0, 0, 100, 100, 100), kQuarterArc, 1e-7);
    EXPECT_NEAR(ArcLengthFromChord(0, 0, 100, 100, 50), kQuarterChord, 1e-7);
    EXPECT_EQ(ArcLengthFromChord(3, 3, 3, 3, 100), 0.0);
    EXPECT_NEAR(ArcLength3D(0, 0, 0, 100, 100, 100, 100), 186.2095889, 1e-6);
    EXPECT_NEAR(ArcLength3D(0, 0, 5, 100, 100, 5, 100), kQuarterArc, 1e-7);
    EXPECT_NEAR(ArcLengthFromDeltas(100, 100, -100, 100), 186.2095889, 1e-6);

    EXPECT_NEAR(Sagitta(0, 0, 100, 100, 100), 29.2893219, 1e-7);
    EXPECT_NEAR(SagittaFromDeltas(100, 100, -100), 29.2893219, 1e-7);
    EXPECT_EQ(Sagitta(0, 0, 100, 100, 0), 0.0);
    EXPECT_EQ(Sagitta(0, 0, 100, 100, 50), 0.0);
}

TEST(Arcs, CentreAndMidpoint) {
    struct Row {
        const char* what;
        double x1, y1, x2, y2, radius;
        bool byAngle;
        double cx, cy;
    };
    const Row rows[] = {
        {"right by chord", 0, 0, 100, 100, 100, false, 100, 0},
        {"right by angle", 0, 0, 100, 100, 100, true, 100, 0},
        {"left by chord", 0, 0, 100, 100, -100, false, 0, 100},
        {"left by angle", 0, 0, 100, 100, -100, true, 0, 100},
        // Too short a radius: the centre falls on the chord.
        {"short by chord", 0, 0, 100, 100, 50, false, 50, 50},
        {"short by angle", 0, 0, 100, 100, 50, true, 50 * std::sqrt(0.5), 50 * std::sqrt(0.5)},
        {"no chord by chord", 5, 5, 5, 5, 10, false, 15, 5},
        {"no chord by angle", 5, 5, 5, 5, -10, true, -5, 5},
    };
    for (const auto& r : rows) {
        double cx = 0, cy = 0;
        ArcCentre(r.x1, r.y1, r.x2, r.y2, r.radius, cx, cy, r.byAngle);
        EXPECT_NEAR(cx, r.cx, 1e-9) << r.what;
        EXPECT_NEAR(cy, r.cy, 1e-9) << r.what;
    }

    double mx = 0, my = 0;
    EXPECT_NEAR(ArcMidpoint(0, 0, 100, 100, 100, mx, my), kPi / 4, 1e-15);
    EXPECT_NEAR(mx, 100 - kR, 1e-9);
    EXPECT_NEAR(my, kR, 1e-9);
    ArcMidpoint(0, 0, 100, 100, -100, mx, my);
    EXPECT_NEAR(mx, kR, 1e-9);
    EXPECT_NEAR(my, 100 - kR, 1e-9);
    EXPECT_NEAR(ArcMidpoint(100, 100, 0, 0, 0, mx, my), 5 * kPi / 4, 1e-15);
    EXPECT_EQ(mx, 50);
    EXPECT_EQ(my, 50);
}

TEST(Arcs, ChordsAndPointsFromHeadings) {
    double chord = 0, mean = 0;
    EXPECT_NEAR(ArcChord(kQuarterArc, 0, 90, chord, mean), kQuarterChord, 1e-6);
    EXPECT_NEAR(mean, 45, 1e-12);
    ArcChord(kQuarterArc, 90, 0, chord, mean);  // a left turn has the same chord
    EXPECT_NEAR(chord, kQuarterChord, 1e-6);
    ArcChord(10, 350, 10, chord, mean);
    EXPECT_NEAR(mean, 0, 1e-12);
    EXPECT_NEAR(chord, 10 * std::sin(10 * kPi / 180) / (10 * kPi / 180), 1e-12);

    double x = 0, y = 0;
    ArcPoint(0, 0, kQuarterArc, 0, 90, x, y);
    EXPECT_NEAR(x, 100, 1e-6);
    EXPECT_NEAR(y, 100, 1e-6);
    ArcPointWithOffset(0, 0, 10, kQuarterArc, 0, 90, x, y);  // starboard of east is south
    EXPECT_NEAR(x, 100, 1e-6);
    EXPECT_NEAR(y, 90, 1e-6);
    ArcPointBetweenOffsets(0, 0, 5, 1000, 10, 1000 + kQuarterArc, 0, 90, x, y);
    EXPECT_NEAR(x, 95, 1e-6);
    EXPECT_NEAR(y, 90, 1e-6);
}

TEST(Arcs, BearingOrderAndSteps) {
    struct OrderRow {
        double x1, y1, x2, y2;
        int swapped;
        double b1, b2;
    };
    const OrderRow rows[] = {{0, 10, 10, 0, 0, 0, 90},
                             {10, 0, 0, 10, 1, 360, 450},
                             {-10, 0, 0, 10, 0, 270, 360}};
    for (const auto& r : rows) {
        double b1 = 0, b2 = 0;
        EXPECT_EQ(OrderArcBearings(r.x1, r.y1, r.x2, r.y2, 0, 0, b1, b2), r.swapped);
        EXPECT_NEAR(b1, r.b1, 1e-12);
        EXPECT_NEAR(b2, r.b2, 1e-12);
    }

    struct StepRow {
        const char* what;
        double b1, b2, radius;
        int minSteps;
        double stepLength, step;
    };
    const StepRow steps[] = {
        {"by length", 0, 90, 100, 2, 10, 6},
        {"by count", 0, 90, 100, 2, 1000, 45},
        {"never below 0.1", 0, 90, 1e6, 2, 1, 0.1},
        {"full circle", 30, 30, 100, 4, 1000, 90},
        {"no count at all", 0, 90, 100, 0, 1000, 90},
        {"zero step length", 0, 90, 100, 2, 0, -1},
        {"negative step length", 0, 90, 100, 2, -5, -1},
        {"NaN step length", 0, 90, 100, 2, std::nan(""), -1},
    };
    for (const auto& s : steps)
        EXPECT_NEAR(ArcStepAngle(s.b1, s.b2, s.radius, s.minSteps, s.stepLength), s.step, 1e-12)
            << s.what;

    EXPECT_TRUE(IsBearingBetween(0, 350, 10));
    EXPECT_TRUE(IsBearingBetween(5, 10, 350));
    EXPECT_FALSE(IsBearingBetween(0, 10, 20));
    EXPECT_FALSE(IsBearingBetween(180, 90, 270));  // a half circle either way

    // Corner: north into the bend, then east (right) or west (left); the bisector points to
    // the right of the outgoing leg.
    EXPECT_NEAR(BisectorBearing(0, -10, 0, 0, 0, 0, 10, 0), 135, 1e-12);
    EXPECT_NEAR(BisectorBearing(0, -10, 0, 0, 0, 0, -10, 0), 45, 1e-12);
    EXPECT_EQ(BisectorBearing(0, -10, 0, 0, 0, 1e-9, 10, 0), -1.0);

    EXPECT_FALSE(IsArcBearingOrdered(1, 0, 0, 0, 10, 10, 0));
    EXPECT_TRUE(IsArcBearingOrdered(2, 0, 0, 0, 10, 10, 0));
    EXPECT_TRUE(IsArcBearingOrdered(3, 0, 0, 0, 10, 10, 0));
    EXPECT_FALSE(IsArcBearingOrdered(4, 0, 0, 0, 10, 10, 0));
    EXPECT_TRUE(IsArcBearingOrdered(1, 0, 0, 10, 0, 0, 10));
    EXPECT_FALSE(IsArcBearingOrdered(2, 0, 0, 10, 0, 0, 10));
    EXPECT_TRUE(IsArcBearingOrdered(0, 0, 0, 10, 0, 0, 10));
    EXPECT_TRUE(IsArcBearingOrdered(5, 0, 0, 0, 10, 10, 0));
}

TEST(Arcs, ArcRadialIntersection) {
    struct Row {
        const char* what;
        double b1, b2, x1, y1, x2, y2;
        bool found;
        double x, y;
        int quadrant;
    };
    const double d45 = 10 * std::sqrt(0.5);
    const Row rows[] = {
        {"radial, increasing", 10, 80, 1, 1, 2, 2, true, d45, d45, 2},
        {"radial, decreasing", 80, 10, 2, 2, 1, 1, true, d45, d45, 4},
        {"radial, third quarter", 180, 270, -1, -1, -2, -2, true, -d45, -d45, 4},
        {"radial outside the arc", 100, 170, 1, 1, 2, 2, false, d45, d45, 3},
        {"along the first end's bearing", 90, 180, 0, 5, 10, 5, true, 10, 0, 3},
        {"along the second end, reversed", 0, 90, 10, 5, 0, 5, true, 10, 0, 2},
        {"not radial", 10, 80, 0, 5, 1, 7, false, 0, 0, 2},
        // Radial but for rounding: its bearings agree within 1e-10 degrees.
        {"radial within rounding", 10, 80, 0.1, 0.5, 0.3, 1.5, true, 10 / std::sqrt(26.0), 50 / std::sqrt(26.0), 2},
    };
    for (const auto& r : rows) {
        double x = 99, y = 99;
        int quadrant = 0;
        EXPECT_EQ(ArcRadialIntersection(10, r.b1, r.b2, 0, 0, r.x1, r.y1, r.x2, r.y2, x, y, quadrant),
                  r.found)
            << r.what;
        EXPECT_NEAR(x, r.x, 1e-9) << r.what;
        EXPECT_NEAR(y, r.y, 1e-9) << r.what;
        EXPECT_EQ(quadrant, r.quadrant) << r.what;
    }
}

TEST(Chainage, PointAtChainage) {
    struct Row {
        const char* what;
        double s, x0, y0, s0, x1, y1, s1, radius;
        double x, y, direction;
    };
    const double mid = 1000 + kQuarterArc / 2;
    const double end = 1000 + kQuarterArc;
    const Row rows[] = {
        {"straight", 104, 0, 0, 100, 0, 10, 110, 0, 0, 4, 0},
        {"straight reversed", 104, 0, 10, 110, 0, 0, 100, 0, 0, 4, kPi},
        {"straight beyond", 120, 0, 0, 100, 0, 10, 110, 0, 0, 20, 0},
        {"arc start", 1000, 0, 0, 1000, 100, 100, end, 100, 0, 0, 0},
        {"arc middle", mid, 0, 0, 1000, 100, 100, end, 100, 100 - kR, kR, kPi / 4},
        {"arc end", end, 0, 0, 1000, 100, 100, end, 100, 100, 100, kPi / 2},
        {"left arc middle", mid, 0, 0, 1000, 100, 100, end, -100, kR, 100 - kR, kPi / 4},
        {"arc reversed middle", mid, 100, 100, end, 0, 0, 1000, -100, 100 - kR, kR, 5 * kPi / 4},
        {"arc reversed start", end, 100, 100, end, 0, 0, 1000, -100, 100, 100, 3 * kPi / 2},
        // A chord longer than the diameter: the half circle, without NaN.
        {"chord beyond diameter", 150, 0, 0, 0, 0, 300, 300, 100, -100, 100, 0},
    };
    for (const auto& r : rows) {
        double x = 0, y = 0;
        const double direction =
            PointAtChainage(r.s, r.x0, r.y0, r.s0, r.x1, r.y1, r.s1, r.radius, x, y);
        EXPECT_NEAR(x, r.x, 1e-6) << r.what;
        EXPECT_NEAR(y, r.y, 1e-6) << r.what;
        EXPECT_LT(std::fabs(NormalizeRadiansPi(direction - r.direction)), 1e-9) << r.what;
        EXPECT_GE(direction, 0.0) << r.what;
        EXPECT_LT(direction, 2 * kPi) << r.what;
    }
}

TEST(Chainage, ChainageOffsetOfPoint) {
    struct Row {
        const char* what;
        double x1, y1, x2, y2, radius, px, py;
        double along, remaining, offset, length, direction;
    };
    const Row rows[] = {
        {"straight right", 0, 0, 0, 10, 0, 1, 4, 4, 6, 1, 10, 0},
        {"straight left", 0, 0, 0, 10, 0, -1, 4, 4, 6, -1, 10, 0},
        {"straight at start", 0, 0, 0, 10, 0, 0, 0, 0, 10, 0, 10, 0},
        {"straight east", 0, 0, 10, 0, 0, 12, -3, 12, -2, 3, 10, 90},
        {"right arc inside", 0, 0, 100, 100, 100, 100 - 80 * std::sqrt(0.5), 80 * std::sqrt(0.5),
         kQuarterArc / 2, kQuarterArc / 2, 20, kQuarterArc, 45},
        {"left arc outside", 0, 0, 100, 100, -100, 120 * std::sqrt(0.5), 100 - 120 * std::sqrt(0.5),
         kQuarterArc / 2, kQuarterArc / 2, 20, kQuarterArc, 45},
        {"right arc at end", 0, 0, 100, 100, 100, 100, 100, kQuarterArc, 0, 0, kQuarterArc, 90},
    };
    for (const auto& r : rows) {
        double along = -9, remaining = -9, offset = -9, length = -9, direction = -9;
        EXPECT_NEAR(ChainageOffsetOfPoint(r.x1, r.y1, r.x2, r.y2, r.radius, r.px, r.py, along,
                                          remaining, offset, length, direction),
                    r.along, 1e-6)
            << r.what;
        EXPECT_NEAR(along, r.along, 1e-6) << r.what;
        EXPECT_NEAR(remaining, r.remaining, 1e-6) << r.what;
        EXPECT_NEAR(offset, r.offset, 1e-9) << r.what;
        EXPECT_NEAR(length, r.length, 1e-6) << r.what;
        EXPECT_LT(DegreesApart(direction, r.direction), 1e-9) << r.what;
    }
    // Coinciding ends of an arc: nothing to divide by.
    double along = -9, remaining = -9, offset = -9, length = -9, direction = -9;
    ChainageOffsetOfPoint(5, 5, 5, 5, 10, 20, 5, along, remaining, offset, length, direction);
    EXPECT_EQ(along, 0);
    EXPECT_EQ(length, 0);
    EXPECT_FALSE(std::isnan(direction));
}

TEST(Chainage, PointAtChainageAndBackAgreeOverRandomArcs) {
    std::mt19937_64 rng(3);
    std::uniform_real_distribution<double> coord(-500.0, 500.0);
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    for (int i = 0; i < 2000; ++i) {
        const double x0 = coord(rng), y0 = coord(rng), x1 = coord(rng), y1 = coord(rng);
        const double chord = Hypot2(x1 - x0, y1 - y0);
        if (chord < 1.0) continue;
        // Radii from just above half the chord to nearly straight, on either side, or none.
        double radius = 0.0;
        if (i % 5 != 0) {
            radius = chord / 2.0 * (1.0 + 1e-3 + 20.0 * unit(rng));
            if (i % 2) radius = -radius;
        }
        const double s0 = 1000.0 * unit(rng);
        const double s1 = s0 + ArcLength(x0, y0, x1, y1, radius);
        const double s = s0 + (s1 - s0) * unit(rng);
        double x = 0, y = 0;
        const double heading = PointAtChainage(s, x0, y0, s0, x1, y1, s1, radius, x, y);
        double along = 0, remaining = 0, offset = 0, length = 0, direction = 0;
        ChainageOffsetOfPoint(x0, y0, x1, y1, radius, x, y, along, remaining, offset, length,
                              direction);
        ASSERT_NEAR(along, s - s0, 1e-6 * (s1 - s0)) << i;
        ASSERT_NEAR(offset, 0.0, 1e-7 * (s1 - s0)) << i;
        ASSERT_NEAR(remaining, s1 - s, 1e-6 * (s1 - s0)) << i;
        ASSERT_LT(DegreesApart(direction, heading * 180.0 / kPi), 1e-6) << i;
    }
}

}  // namespace
