#include "foundation/planar_geometry.h"

#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <random>

namespace {

constexpr double kPi = 3.141592653589793;
constexpr double kWgs84A = 6378137.0;
constexpr double kWgs84InvF = 298.257223563;

TEST(PlanarGeometry, OrientationAndPointInTriangle) {
    EXPECT_EQ(Orientation(0, 0, 1, 0, 0, 1, 0), 1);
    EXPECT_EQ(Orientation(0, 0, 1, 0, 0, -1, 0), -1);
    EXPECT_EQ(Orientation(0, 0, 1, 0, 0, 1, 2), 0);  // within the tolerance
    EXPECT_EQ(OrientationReversed(0, 0, 1, 0, 0, 1), -1);
    EXPECT_EQ(OrientationReversed(0, 0, 1, 0, 5, 1e-11), 0);

    struct Row {
        const char* what;
        double px, py;
        bool strict;
        bool inside;
    };
    const Row rows[] = {
        {"inside", 1, 1, true, true},     {"inside", 1, 1, false, true},
        {"vertex", 0, 0, true, false},    {"vertex", 0, 0, false, true},
        {"vertex B", 4, 0, false, true},  {"edge", 2, 0, true, false},
        {"edge", 2, 0, false, true},      {"hypotenuse", 2, 2, false, true},
        {"edge CA", 0, 2, false, true},
        {"outside", 3, 3, false, false},  {"outside", -1, 1, false, false},
    };
    for (const auto& r : rows)
        EXPECT_EQ(PointInTriangle(r.px, r.py, 0, 0, 4, 0, 0, 4, r.strict), r.inside)
            << r.what << " strict " << r.strict;
    // A degenerate triangle holds the points of its line.
    EXPECT_TRUE(PointInTriangle(5, 5, 0, 0, 1, 1, 2, 2, true));
}

TEST(PlanarGeometry, ProjectionAndPerpendicularDistance) {
    EXPECT_DOUBLE_EQ(ProjectionParameter(0, 0, 10, 0, 5, 3), 0.5);
    EXPECT_EQ(ProjectionParameter(0, 0, 10, 0, 10 + 1e-10, 0), 1.0);
    EXPECT_EQ(ProjectionParameter(0, 0, 10, 0, -1e-10, 4), 0.0);
    EXPECT_EQ(ProjectionParameter(1, 1, 1, 1, 5, 3), 0.0);
    EXPECT_DOUBLE_EQ(ProjectionParameter(0, 0, 10, 0, 25, 3), 2.5);

    EXPECT_DOUBLE_EQ(SignedPerpendicularDistance(0, 0, 0, 10, 3, 4), 3.0);
    EXPECT_DOUBLE_EQ(SignedPerpendicularDistance(0, 0, 0, 10, -3, 4), -3.0);
    EXPECT_DOUBLE_EQ(SignedPerpendicularDistance(0, 0, 10, 0, 4, -2), 2.0);  // right of east
    EXPECT_EQ(SignedPerpendicularDistance(1, 1, 1, 1, 3, 4), 0.0);
    EXPECT_EQ(SignedPerpendicularDistance(0, 0, 0, 10, 0, 0), 0.0);

    EXPECT_EQ(Hypot2(3, 4), 5.0);
    EXPECT_EQ(Hypot3(2, 3, 6), 7.0);
    EXPECT_EQ(PlanarDistance(9, 9, 9, 3, 4), 5.0);
    EXPECT_DOUBLE_EQ(AlongDirectionDifference(0, 10, 90, 5, 0), 10.0);
    EXPECT_DOUBLE_EQ(AlongDirectionDifference(60, 10, 180, 4, 0), 9.0);
    EXPECT_DOUBLE_EQ(AlongDirectionDifference(350, 2, 10, 2, 0), 0.0);
}

TEST(PlanarGeometry, SpeedAcrossMidnight) {
    EXPECT_EQ(SpeedFromDisplacement(3, 4, 2), 2.5);
    EXPECT_EQ(SpeedFromDisplacement(3, 4, -2), 2.5);
    EXPECT_EQ(SpeedFromDisplacement(3, 4, -43200), 5.0 / 43200);
    EXPECT_EQ(SpeedFromDisplacement(3, 4, -86399), 5.0);  // one second across midnight
    EXPECT_EQ(SpeedFromDisplacement(3, 4, 0), 0.0);
}

TEST(PlanarGeometry, Bearings) {
    struct Row {
        double dx, dy, degrees;
    };
    const Row rows[] = {{0, 0, 0},    {1, 0, 90},        {0, -1, 180},     {-1, 0, 270},
                        {1, 1, 45},   {-1e-12, 1, 0.0},  {-1, 1, 315},     {1, -1, 135}};
    for (const auto& r : rows) {
        EXPECT_NEAR(BearingFromDeltas(r.dx, r.dy), r.degrees, 1e-12) << r.dx << ", " << r.dy;
        EXPECT_NEAR(BearingFromDeltasRadians(r.dx, r.dy), r.degrees * kPi / 180.0, 1e-14)
            << r.dx << ", " << r.dy;
    }
    EXPECT_EQ(BearingFromDeltas(-1e-12, 1), 0.0);
    EXPECT_EQ(BearingFromDeltasRadians(-1e-12, 1), 0.0);
}

TEST(PlanarGeometry, PointsOffsetsAndRotations) {
    double x = 0, y = 0, z = 0;
    PolarPoint(1, 2, 10, 90, x, y);
    EXPECT_NEAR(x, 11, 1e-12);
    EXPECT_NEAR(y, 2, 1e-12);
    PolarPoint3D(0, 0, 1, 10, 90, 30, x, y, z);
    EXPECT_NEAR(x, 5 * std::sqrt(3.0), 1e-12);
    EXPECT_NEAR(y, 0, 1e-12);
    EXPECT_NEAR(z, 6, 1e-12);

    x = 1, y = 1;
    EXPECT_TRUE(AddPolarOffset(x, y, 10, 0, 2));
    EXPECT_NEAR(x, 1, 1e-12);
    EXPECT_NEAR(y, 21, 1e-12);
    EXPECT_FALSE(AddPolarOffset(x, y, 10, 0, 0));
    EXPECT_FALSE(AddPolarOffset(x, y, 0, 0, 1));
    EXPECT_EQ(y, 21);
    x = 0, y = 0;
    EXPECT_TRUE(AddPolarOffsetScaled(x, y, 10, 45, 0.5, 2, 1));
    EXPECT_NEAR(x, 10 * std::sqrt(2.0), 1e-12);
    EXPECT_NEAR(y, 2.5 * std::sqrt(2.0), 1e-12);
    EXPECT_FALSE(AddPolarOffsetScaled(x, y, 10, 45, 0.0005, 2, 1));
    EXPECT_FALSE(AddPolarOffsetScaled(x, y, 10, 45, 1, -0.0009, 1));

    // Heading east: starboard is south, forward is east.
    OffsetByHeading(100, 200, 1, 0, 90, x, y);
    EXPECT_NEAR(x, 100, 1e-12);
    EXPECT_NEAR(y, 199, 1e-12);
    OffsetByHeading(100, 200, 0, 2, 90, x, y);
    EXPECT_NEAR(x, 102, 1e-12);
    EXPECT_NEAR(y, 200, 1e-12);
    OffsetByHeadingBetween(0, 0, 5, 5, 6, 8, 0, x, y);
    EXPECT_NEAR(x, 1, 1e-12);
    EXPECT_NEAR(y, 3, 1e-12);

    x = 1, y = 0;
    RotateVector(x, y, 90);
    EXPECT_NEAR(x, 0, 1e-15);
    EXPECT_NEAR(y, 1, 1e-15);
    x = 2, y = 3;
    RotateQuarterClockwise(x, y);
    EXPECT_EQ(x, 3);
    EXPECT_EQ(y, -2);
    RotateQuarterCounterClockwise(x, y);
    EXPECT_EQ(x, 2);
    EXPECT_EQ(y, 3);
    RotateHalf(x, y);
    EXPECT_EQ(x, -2);
    EXPECT_EQ(y, -3);
}

TEST(PlanarGeometry, BearingLineIntersection) {
    struct Row {
        const char* what;
        double x1, y1, b1, x2, y2, b2;
        bool found;
        double x, y;
    };
    const Row rows[] = {
        {"crossing", 0, 0, 45, 10, 0, 315, true, 5, 5},
        {"first north-south", 3, 0, 0, 0, 5, 90, true, 3, 5},
        {"first southward", 3, 0, 180, 0, 5, 90, true, 3, 5},
        {"second north-south", 0, 5, 90, 3, 0, 360, true, 3, 5},
        {"negative bearing", 0, 0, -45, 0, 10, 90, true, -10, 10},
        {"opposite", 0, 0, 10, 5, 0, 190, false, 0, 0},
        {"full circle apart", 0, 0, 0, 5, 0, 360, false, 0, 0},
        {"10 and 370", 0, 0, 10, 5, 0, 370, false, 0, 0},
        {"three half turns", 0, 0, 30, 5, 0, 570, false, 0, 0},
        {"within tolerance", 0, 0, 10, 5, 0, 10 + 1e-11, false, 0, 0},
    };
    for (const auto& r : rows) {
        double x = 99, y = 99;
        EXPECT_EQ(BearingLineIntersection(r.x1, r.y1, r.b1, r.x2, r.y2, r.b2, x, y), r.found)
            << r.what;
        EXPECT_NEAR(x, r.x, 1e-9) << r.what;
        EXPECT_NEAR(y, r.y, 1e-9) << r.what;
    }
    double x = 0, y = 0;
    EXPECT_TRUE(BearingLineIntersection(0, 0, DBL_MAX, 1, 1, 90, x, y));  // returns at once
    EXPECT_TRUE(std::isfinite(x));
    EXPECT_FALSE(BearingLineIntersection(0, 0, std::nan(""), 1, 1, 90, x, y));
}

TEST(PlanarGeometry, LineAndSegmentIntersections) {
    double x = 9, y = 9;
    EXPECT_TRUE(LineLineIntersection(0, 0, 2, 2, 0, 2, 2, 0, x, y));
    EXPECT_DOUBLE_EQ(x, 1);
    EXPECT_DOUBLE_EQ(y, 1);
    EXPECT_FALSE(LineLineIntersection(0, 0, 2, 2, 0, 1, 2, 3, x, y));
    EXPECT_EQ(x, 0);
    EXPECT_EQ(y, 0);

    EXPECT_TRUE(LinesIntersection(0, 0, 2, 2, 0, 2, 2, 0, &x, nullptr));
    EXPECT_NEAR(x, 1, 1e-12);
    EXPECT_TRUE(LinesIntersection(0, 0, 2, 2, 0, 2, 2, 0, nullptr, nullptr));

    struct Row {
        const char* what;
        double x1, y1, x2, y2, x3, y3, x4, y4;
        bool found;
        double x, y;
    };
    const Row rows[] = {
        {"axis-parallel X", -1, 0, 1, 0, 0, -1, 0, 1, true, 0, 0},
        {"axis-parallel X reversed", 1, 0, -1, 0, 0, 1, 0, -1, true, 0, 0},
        {"touching at an end", 0, 0, 2, 0, 1, 0, 1, 5, true, 1, 0},
        {"diagonal X", 0, 0, 2, 2, 0, 2, 2, 0, true, 1, 1},
        {"lines meet beyond", 0, 0, 1, 1, 3, 0, 3, 1, false, 3, 3},
        {"beyond the second segment's end", 0, 0, 4, 4, 3, 0, 3, 1, false, 3, 3},
        {"short of the second segment", 0, 0, 4, 4, 4, 3, 6, 3, false, 3, 3},
        {"parallel", 0, 0, 1, 1, 0, 1, 1, 2, false, 0, 0},
    };
    for (const auto& r : rows) {
        x = 9, y = 9;
        EXPECT_EQ(SegmentsIntersection(r.x1, r.y1, r.x2, r.y2, r.x3, r.y3, r.x4, r.y4, &x, &y),
                  r.found)
            << r.what;
        EXPECT_NEAR(x, r.x, 1e-9) << r.what;
        EXPECT_NEAR(y, r.y, 1e-9) << r.what;
    }

    bool eastward = false;
    EXPECT_TRUE(SegmentLineIntersection(0, 0, 4, 0, 2, 5, 2, 6, x, y, eastward));
    EXPECT_NEAR(x, 2, 1e-12);
    EXPECT_NEAR(y, 0, 1e-12);
    EXPECT_TRUE(eastward);
    EXPECT_TRUE(SegmentLineIntersection(4, 0, 0, 0, 4, 5, 4, 6, x, y, eastward));  // at the end
    EXPECT_FALSE(eastward);
    EXPECT_FALSE(SegmentLineIntersection(0, 0, 4, 0, 6, 5, 6, 6, x, y, eastward));
}

TEST(PlanarGeometry, LineLineAgreesWithBearingLinesOverRandomLines) {
    std::mt19937_64 rng(11);
    std::uniform_real_distribution<double> coord(-1000.0, 1000.0);
    int compared = 0;
    for (int i = 0; i < 2000; ++i) {
        const double x1 = coord(rng), y1 = coord(rng), x2 = coord(rng), y2 = coord(rng);
        const double x3 = coord(rng), y3 = coord(rng), x4 = coord(rng), y4 = coord(rng);
        double ax = 0, ay = 0, bx = 0, by = 0;
        const bool a = LineLineIntersection(x1, y1, x2, y2, x3, y3, x4, y4, ax, ay);
        const bool b = LinesIntersection(x1, y1, x2, y2, x3, y3, x4, y4, &bx, &by);
        ASSERT_TRUE(a);
        ASSERT_TRUE(b);
        // Nearly parallel lines meet far away with a poorly conditioned point.
        if (Hypot2(ax, ay) > 1e5) continue;
        ++compared;
        const double scale = 1e-8 * std::max(1.0, Hypot2(ax, ay));
        ASSERT_NEAR(ax, bx, scale) << i;
        ASSERT_NEAR(ay, by, scale) << i;
    }
    EXPECT_GT(compared, 1900);
}

TEST(PlanarGeometry, LineCircleIntersection) {
    double xa = 7, ya = 7, xb = 7, yb = 7;
    EXPECT_EQ(LineCircleIntersection(-2, 0, 2, 0, 0, 0, 1, &xa, &ya, &xb, &yb), 2);
    EXPECT_DOUBLE_EQ(xa, 1);
    EXPECT_DOUBLE_EQ(ya, 0);
    EXPECT_DOUBLE_EQ(xb, -1);
    EXPECT_DOUBLE_EQ(yb, 0);
    EXPECT_EQ(LineCircleIntersection(-2, 1, 2, 1, 0, 0, 1, &xa, &ya, &xb, &yb), 1);  // tangent
    EXPECT_DOUBLE_EQ(xa, 0);
    EXPECT_DOUBLE_EQ(ya, 1);
    EXPECT_EQ(xb, 0);
    EXPECT_EQ(yb, 0);
    EXPECT_EQ(LineCircleIntersection(-2, 2, 2, 2, 0, 0, 1, &xa, &ya, &xb, &yb), 0);
    EXPECT_EQ(xa, 0);
    EXPECT_EQ(ya, 0);
    EXPECT_EQ(LineCircleIntersection(10, 10, 11, 10, 10, 8, 5), 2);  // no outputs asked for

    // A zero-length line: nothing found, nothing undefined written.
    xa = ya = xb = yb = 7;
    EXPECT_EQ(LineCircleIntersection(0.5, 0, 0.5, 0, 0, 0, 1, &xa, &ya, &xb, &yb), 0);
    EXPECT_EQ(xa, 0);
    EXPECT_EQ(ya, 0);
    EXPECT_EQ(xb, 0);
    EXPECT_EQ(yb, 0);
}

TEST(PlanarGeometry, CircleThroughThreePoints) {
    double cx = 9, cy = 9;
    EXPECT_DOUBLE_EQ(CircleThroughThreePoints(0, 0, 2, 0, 0, 2, cx, cy), std::sqrt(2.0));
    EXPECT_DOUBLE_EQ(cx, 1);
    EXPECT_DOUBLE_EQ(cy, 1);
    cx = cy = 9;
    EXPECT_EQ(CircleThroughThreePoints(0, 0, 1, 1, 3, 3, cx, cy), -1.0);
    EXPECT_EQ(cx, 9);
    EXPECT_EQ(cy, 9);

    std::mt19937_64 rng(5);
    std::uniform_real_distribution<double> coord(-100.0, 100.0);
    for (int i = 0; i < 1000; ++i) {
        const double x1 = coord(rng), y1 = coord(rng), x2 = coord(rng), y2 = coord(rng);
        const double x3 = coord(rng), y3 = coord(rng);
        const double r = CircleThroughThreePoints(x1, y1, x2, y2, x3, y3, cx, cy);
        if (r < 0) continue;
        const double tol = 1e-9 * std::max(1.0, r);
        ASSERT_NEAR(Hypot2(x1 - cx, y1 - cy), r, tol) << i;
        ASSERT_NEAR(Hypot2(x2 - cx, y2 - cy), r, tol) << i;
        ASSERT_NEAR(Hypot2(x3 - cx, y3 - cy), r, tol) << i;
    }
}

TEST(PlanarGeometry, ClosestApproach) {
    double t = 0, d = 0, x1 = 0, y1 = 0, x2 = 0, y2 = 0;
    // East-going at the origin, north-going from (10, -5), both at 1 unit per second.
    EXPECT_DOUBLE_EQ(ClosestApproach(0, 0, 1, 90, 10, -5, 1, 0, t, d, x1, y1, x2, y2), 7.5);
    EXPECT_DOUBLE_EQ(t, 7.5);
    EXPECT_NEAR(d, 2.5 * std::sqrt(2.0), 1e-12);
    EXPECT_NEAR(x1, 7.5, 1e-12);
    EXPECT_NEAR(y1, 0, 1e-12);
    EXPECT_NEAR(x2, 10, 1e-12);
    EXPECT_NEAR(y2, 2.5, 1e-12);
    // Moving apart: the approach lies in the past.
    EXPECT_LT(ClosestApproach(0, 0, 1, 270, 10, 0, 0, 0, t, d, x1, y1, x2, y2), 0.0);
    // The same velocity: no approach, the start distance.
    EXPECT_EQ(ClosestApproach(0, 0, 3, 45, 3, 4, 3, 45, t, d, x1, y1, x2, y2), 0.0);
    EXPECT_DOUBLE_EQ(d, 5.0);
    EXPECT_EQ(x2, 3);
    EXPECT_EQ(y2, 4);
}

TEST(PlanarGeometry, PolarPairs) {
    struct Row {
        const char* what;
        double dist, bearing;
        double expectDist, expectBearing;
    };
    double d[8], b[8];
    PolarPairDifferenceDirect(5, 5, 10, 0, 0, 90, 10, d[0], b[0], false);
    PolarPairDifferenceDirect(5, 5, 10, 0, 0, 90, 10, d[1], b[1], true);
    PolarPairDifference(5, 5, 10, 0, 0, 90, 10, 60, d[2], b[2], false);
    PolarPairDifference(5, 5, 10, 0, 0, 90, 10, 0, d[3], b[3], true);
    PolarPairDifferenceSum(10, 0, 30, 90, 10, 60, d[4], b[4], true);
    PolarPairDifferenceSum(10, 0, 30, 90, 10, -30, d[5], b[5], false);
    const Row rows[] = {
        {"direct absolute", d[0], b[0], 10 * std::sqrt(2.0), 135},
        {"direct relative", d[1], b[1], 10 * std::sqrt(2.0), 45},
        // second = 10 cos(150) at 0: (0, -5 sqrt 3).
        {"projected absolute", d[2], b[2], std::sqrt(175.0),
         std::atan2(10.0, 5 * std::sqrt(3.0)) * 180 / kPi},
        {"projected relative", d[3], b[3], 10, 0},
        {"sum relative", d[4], b[4], 10 * std::sqrt(2.0), 225},
        {"sum absolute", d[5], b[5], 10 * std::sqrt(2.0), 315},
    };
    for (const auto& r : rows) {
        EXPECT_NEAR(r.dist, r.expectDist, 1e-12) << r.what;
        EXPECT_NEAR(r.bearing, r.expectBearing, 1e-10) << r.what;
    }
}

TEST(PlanarGeometry, RadiiOfCurvatureOfWgs84) {
    struct Row {
        double lat, M, N;
    };
    const Row rows[] = {{0, 6335439.327, 6378137.0},
                        {45, 6367381.816, 6388838.290},
                        {90, 6399593.626, 6399593.626},
                        {-90, 6399593.626, 6399593.626}};
    for (const auto& r : rows) {
        double M = 0, N = 0;
        RadiiOfCurvature(r.lat, M, N, kWgs84A, kWgs84InvF);
        EXPECT_NEAR(M, r.M, 1e-3) << r.lat;
        EXPECT_NEAR(N, r.N, 1e-3) << r.lat;
    }
    double M = 0, N = 0;
    RadiiOfCurvature(30, M, N, 6371000, 0);
    EXPECT_EQ(M, 6371000);
    EXPECT_EQ(N, 6371000);
}

TEST(PlanarGeometry, GeographicDeltasAndCartesian) {
    double east = 0, north = 0;
    GeographicDeltasToMetric(0, 0, 1.0 / 3600, east, north, kWgs84A, kWgs84InvF);
    EXPECT_NEAR(east, 30.9221, 1e-4);  // one arc second of longitude at the equator
    EXPECT_EQ(north, 0);
    GeographicDeltasToMetric(45, 1.0 / 3600, 0, east, north, kWgs84A, kWgs84InvF);
    EXPECT_NEAR(north, 6367381.816 * kPi / 648000, 1e-6);
    GeographicDeltasToMetricWithRadii(60, 1, 1, east, north, 2000, 1000, 10);
    EXPECT_NEAR(east, 0.5 * kPi / 180 * 1010, 1e-12);
    EXPECT_NEAR(north, kPi / 180 * 2010, 1e-12);

    double lat = 0, lon = 0;
    CartesianToLatLon(1, 1, std::sqrt(2.0), lat, lon, 0, true);
    EXPECT_NEAR(lat, 45, 1e-12);
    EXPECT_NEAR(lon, 45, 1e-12);
    // A surface point at 45 N, 90 W on WGS84: x = y-less, N cos, z = N (1 - e2) sin.
    const double f = 1 / kWgs84InvF;
    const double e2 = (2 - f) * f;
    const double N = 6388838.290;
    CartesianToLatLon(0, -N * std::sqrt(0.5), N * (1 - e2) * std::sqrt(0.5), lat, lon, kWgs84InvF,
                      false);
    EXPECT_NEAR(lat, kPi / 4, 1e-12);
    EXPECT_NEAR(lon, -kPi / 2, 1e-12);
}

}  // namespace
