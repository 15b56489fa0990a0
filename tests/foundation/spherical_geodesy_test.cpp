#include "foundation/spherical_geodesy.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>

#include "foundation/angle_interpolation.h"

namespace {

constexpr double kPi = 3.141592653589793;
// The Aviation Formulary's example: LAX (33 57 N, 118 24 W) to JFK (40 38 N, 73 47 W).
constexpr double kLaxLat = 33.0 + 57.0 / 60.0;
constexpr double kLaxLon = -(118.0 + 24.0 / 60.0);
constexpr double kJfkLat = 40.0 + 38.0 / 60.0;
constexpr double kJfkLon = -(73.0 + 47.0 / 60.0);
// A latitude just beyond the polar limit.
constexpr double kNearPole = 89.999999995;

double BearingApart(double a, double b) {
    return std::fabs(AngleDifference(Normalize360(a), Normalize360(b)));
}

TEST(GreatCircle, InverseTable) {
    struct Row {
        const char* what;
        double lat1, lon1, lat2, lon2;
        double distance, bearing, tol;
    };
    const Row rows[] = {
        {"east along the equator", 0, 0, 0, 1, 60, 90, 1e-9},
        {"north along a meridian", 0, 0, 1, 0, 60, 0, 1e-9},
        {"one point", 12, 34, 12, 34, 0, 0, 1e-12},
        {"across the date line", 0, 179.5, 0, -179.5, 60, 90, 1e-9},
        {"LAX to JFK", kLaxLat, kLaxLon, kJfkLat, kJfkLon, 2143.73, 65.892, 5e-3},
        // 0.623585 rad, the formulary's distance in radians, is 2143.73 NM.
        {"LAX to JFK in radians", kLaxLat, kLaxLon, kJfkLat, kJfkLon,
         0.623585 * 180 / kPi * 60, 65.892, 2e-2},
        // Antipodes: half the circumference, not 0.
        {"antipodes on the equator", 0, 0, 0, 180, 10800, 0, 1e-3},
        {"antipodes", 10, 20, -10, -160, 10800, 180, 1e-3},
    };
    for (const auto& r : rows) {
        double d = -1, b = -1;
        GreatCircleInverse(r.lat1, r.lon1, r.lat2, r.lon2, d, b);
        EXPECT_NEAR(d, r.distance, r.tol) << r.what;
        if (r.distance < 10000) {
            EXPECT_LT(BearingApart(b, r.bearing), r.tol) << r.what;
        }
    }
}

TEST(GreatCircle, DestinationTable) {
    struct Row {
        const char* what;
        double lat, lon, bearing, distance;
        double lat2, lon2, finalBearing, tol;
    };
    const Row rows[] = {
        {"east along the equator", 0, 0, 90, 60, 0, 1, 90, 1e-12},
        {"over the pole", 89, 0, 0, 120, 89, 180, 180, 1e-9},
        {"across the date line", 0, 179.5, 90, 60, 0, -179.5, 90, 1e-12},
        {"onto the pole", 89, 10, 0, 60, 90, 10, 180, 1e-9},
        {"LAX to JFK", kLaxLat, kLaxLon, 65.892, 2143.73, kJfkLat, kJfkLon, -1, 2e-3},
    };
    for (const auto& r : rows) {
        double lat = 0, lon = 0, fb = 0;
        GreatCircleDestination(r.lat, r.lon, r.bearing, r.distance, lat, lon, fb);
        EXPECT_NEAR(lat, r.lat2, r.tol) << r.what;
        EXPECT_NEAR(lon, r.lon2, r.tol) << r.what;
        if (r.finalBearing >= 0) {
            EXPECT_LT(BearingApart(fb, r.finalBearing), r.tol) << r.what;
        }
        GreatCircleDestinationPoint(r.lat, r.lon, r.bearing, r.distance, lat, lon);
        EXPECT_NEAR(lat, r.lat2, r.tol) << r.what;
    }
}

TEST(GreatCircle, DestinationThenInverseOverRandomInputs) {
    std::mt19937_64 rng(17);
    std::uniform_real_distribution<double> lat(-80.0, 80.0);
    std::uniform_real_distribution<double> lon(-180.0, 180.0);
    std::uniform_real_distribution<double> course(0.0, 360.0);
    std::uniform_real_distribution<double> distance(1.0, 10000.0);
    for (int i = 0; i < 2000; ++i) {
        const double lat1 = lat(rng), lon1 = lon(rng), c = course(rng), d = distance(rng);
        double lat2 = 0, lon2 = 0, fb = 0;
        GreatCircleDestination(lat1, lon1, c, d, lat2, lon2, fb);
        ASSERT_GT(lon2, -180.0);
        ASSERT_LE(lon2, 180.0);
        double d2 = 0, b2 = 0, reverse = 0;
        GreatCircleInverseBoth(lat1, lon1, lat2, lon2, d2, b2, reverse);
        ASSERT_NEAR(d2, d, 1e-6) << i;
        ASSERT_LT(BearingApart(b2, c), 1e-6) << i;
        ASSERT_LT(BearingApart(reverse, fb), 1e-6) << i;
    }
}

TEST(GreatCircle, Midpoint) {
    double lat = 0, lon = 0;
    GreatCircleMidpoint(0, 0, 0, 90, lat, lon);
    EXPECT_NEAR(lat, 0, 1e-12);
    EXPECT_NEAR(lon, 45, 1e-12);
    for (const double east : {170.0, -170.0}) {  // one parallel, across the date line either way
        GreatCircleMidpoint(10, east, 10, -east, lat, lon);
        EXPECT_EQ(lat, 10);
        EXPECT_NEAR(lon, 180, 1e-12) << east;
    }
    GreatCircleMidpoint(0, 0, 10, 0, lat, lon);
    EXPECT_NEAR(lat, 5, 1e-12);
    EXPECT_NEAR(lon, 0, 1e-12);
    GreatCircleMidpoint(kLaxLat, kLaxLon, kJfkLat, kJfkLon, lat, lon);
    double d1 = 0, d2 = 0, b = 0;
    GreatCircleInverse(kLaxLat, kLaxLon, lat, lon, d1, b);
    GreatCircleInverse(lat, lon, kJfkLat, kJfkLon, d2, b);
    EXPECT_NEAR(d1, 2143.73 / 2, 5e-3);
    EXPECT_NEAR(d2, 2143.73 / 2, 5e-3);
}

TEST(GreatCircle, VertexAndCrossings) {
    struct Row {
        const char* what;
        double lat, lon, bearing, latV, lonV;
    };
    // cos(latV) = sin(bearing) cos(lat); tan(dLon) = 1 / (tan(bearing) sin(lat)).
    const Row rows[] = {
        {"from 30 N on 45", 30, 0, 45, 52.23875609296497, 63.43494882292201},
        {"from the equator on 45", 0, 0, 45, 45, 90},
        {"from the equator on 30", 0, 10, 30, 60, 100},
        {"south-east from the equator", 0, 0, 135, 45, -90},
        {"from 30 S on 45", -30, 0, 45, -52.23875609296497, -63.43494882292201},
        {"due east", 30, 10, 90, 30, 10},
    };
    for (const auto& r : rows) {
        double latV = 0, lonV = 0;
        GreatCircleVertex(r.lat, r.lon, r.bearing, latV, lonV);
        EXPECT_NEAR(latV, r.latV, 1e-9) << r.what;
        EXPECT_NEAR(lonV, r.lonV, 1e-9) << r.what;
    }

    double lat = 0;
    GreatCircleLatitudeAtLongitude(45, 0, 90, lat);
    EXPECT_NEAR(lat, 0, 1e-12);
    GreatCircleLatitudeAtLongitude(45, 30, 90, lat);
    EXPECT_NEAR(lat, 26.56505117707799, 1e-12);  // atan(0.5)
    GreatCircleLatitudeAtLongitude(45, 90, 90, lat);
    EXPECT_NEAR(lat, 45, 1e-12);

    double lon = 99;
    EXPECT_TRUE(GreatCircleLongitudeAtLatitude(0, 45, 90, 26.56505117707799, lon));
    EXPECT_NEAR(lon, 30, 1e-9);
    EXPECT_TRUE(GreatCircleLongitudeAtLatitude(170, 45, 90, 26.56505117707799, lon));
    EXPECT_NEAR(lon, 150, 1e-9);
    EXPECT_TRUE(GreatCircleLongitudeAtLatitude(-20, 45, 170, 0, lon));  // across the date line
    EXPECT_NEAR(lon, -100, 1e-9);
    lon = 99;
    EXPECT_FALSE(GreatCircleLongitudeAtLatitude(0, 45, 90, 50, lon));  // never reached
    EXPECT_EQ(lon, 99);
    EXPECT_FALSE(GreatCircleLongitudeAtLatitude(0, 0, 90, 0, lon));  // the equator
    EXPECT_EQ(lon, 99);
}

TEST(GreatCircle, CrossTrackAndOffsets) {
    struct Row {
        const char* what;
        double lat3, lon3, crossTrack, alongTrack;
    };
    const Row rows[] = {
        {"left of an eastward track", 1, 5, -60, 300},
        {"right of it", -1, 5, 60, 300},
        {"on it", 0, 7, 0, 420},
        {"behind the start", 0, -3, 0, -180},
        {"at the start", 0, 0, 0, 0},
        // Abeam of the start, where rounding lifts the cosine ratio of the along-track distance
        // just above 1.
        {"abeam 10.0196", 10.0196, 0, -601.176, 0},
        {"abeam 11.2443", 11.2443, 0, -674.658, 0},
        {"abeam 14.0563", 14.0563, 0, -843.378, 0},
    };
    for (const auto& r : rows) {
        double xt = 99, at = 99;
        CrossTrackDistance(0, 0, 0, 10, r.lat3, r.lon3, xt, at);
        EXPECT_NEAR(xt, r.crossTrack, 1e-9) << r.what;
        EXPECT_NEAR(at, r.alongTrack, 1e-6) << r.what;
    }

    // Points on a track never give NaN, however the rounding falls.
    std::mt19937_64 rng(23);
    std::uniform_real_distribution<double> lat(-70.0, 70.0);
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    for (int i = 0; i < 2000; ++i) {
        const double lat1 = lat(rng), lon1 = 360 * unit(rng) - 180, c = 360 * unit(rng);
        const double d = i % 2 ? 1e-6 * unit(rng) : 5000 * unit(rng);
        double lat2 = 0, lon2 = 0, lat3 = 0, lon3 = 0;
        GreatCircleDestinationPoint(lat1, lon1, c, 100, lat2, lon2);
        GreatCircleDestinationPoint(lat1, lon1, c, d, lat3, lon3);
        double xt = 0, at = 0;
        CrossTrackDistance(lat1, lon1, lat2, lon2, lat3, lon3, xt, at);
        ASSERT_FALSE(std::isnan(at)) << i;
        ASSERT_NEAR(at, d, 1e-3) << i;
    }

    EXPECT_NEAR(MeridianOffset(0, 1, 0), -60, 1e-9);
    // Crossing the meridian at 30 degrees: 60 degrees(asin(sin 1 / 2)).
    EXPECT_NEAR(MeridianOffset(0, -1, 60), 29.998857662928668, 1e-9);
    double offset = 0;
    GreatCircleOffsetAtLongitude(0, 0, 90, 1, 10, offset);  // along the equator
    EXPECT_NEAR(offset, -60, 1e-9);
    GreatCircleOffsetAtLongitude(0, 0, 90, -0.5, 10, offset);
    EXPECT_NEAR(offset, 30, 1e-9);
    GreatCircleOffsetAtLongitude(10, 0, 270, 10.2, 0, offset);  // north: right of a westbound track
    EXPECT_NEAR(offset, -12, 1e-9);
}

TEST(MovingPoints, ClosestPointOfApproach) {
    double d = 0, t = 0, lat = 0, lon = 0;
    ClosestPointOfApproach(0, 0, 10, 90, 1, 5, d, t, lat, lon);
    EXPECT_NEAR(d, 60, 1e-9);
    EXPECT_NEAR(t, 30 * 3600, 1e-6);  // 300 NM at 10 knots
    EXPECT_NEAR(lat, 0, 1e-12);
    EXPECT_NEAR(lon, 5, 1e-9);
    ClosestPointOfApproach(0, 0, 10, 90, 1, -5, d, t, lat, lon);  // already past
    EXPECT_NEAR(t, -30 * 3600, 1e-6);
    ClosestPointOfApproach(3, 4, 0, 90, 1, 5, d, t, lat, lon);
    EXPECT_EQ(t, 0);
    EXPECT_EQ(lat, 3);
    EXPECT_EQ(lon, 4);

    // Head on along the equator: they meet half way after 30 hours.
    ClosestPointOfApproachMoving(0, 0, 10, 90, 0, 10, 10, 270, d, t, lat, lon);
    EXPECT_NEAR(d, 0, 1e-6);
    EXPECT_NEAR(t, 30 * 3600, 1e-6);
    EXPECT_NEAR(lat, 0, 1e-12);
    EXPECT_NEAR(lon, 5, 1e-9);
    // Against a fixed point it is the plain closest approach.
    ClosestPointOfApproachMoving(0, 0, 10, 90, 1, 5, 0, 0, d, t, lat, lon);
    EXPECT_NEAR(d, 60, 1e-9);
    EXPECT_NEAR(t, 30 * 3600, 1e-6);
    EXPECT_NEAR(lon, 5, 1e-9);
    // The same velocity: no approach.
    ClosestPointOfApproachMoving(3, 4, 10, 90, 1, 5, 10, 90, d, t, lat, lon);
    EXPECT_EQ(t, 0);
    EXPECT_EQ(lat, 3);
    EXPECT_EQ(lon, 4);
}

TEST(MovingPoints, CrossingTime) {
    struct Row {
        const char* what;
        double lat1b, lon1b, lat2, lon2, course2;
        double distance, time;
    };
    // The first point runs east along the equator from (0, 0) at 10 knots; the second starts a
    // degree south at 6 knots, 10 hours from the equator when heading north.
    const Row rows[] = {
        {"crossing ahead", 0, -0.5, -1, 5, 0, 200, 36000},
        {"crossing passed by both starts", 0, -0.5, -1, 1, 0, -10, 36000},
        {"crossing between the starts", 0, -1, -1, 1, 0, 0, 36000},
        {"moving away", 0, -0.5, -1, 5, 180, 0, -1},
        {"parallel", 0, -0.5, -1, 5, 90, 0, -1},
    };
    for (const auto& r : rows) {
        double distance = 99, time = 99;
        const double returned = CrossingTime(0, 0, r.lat1b, r.lon1b, 10, 90, r.lat2, r.lon2, 6,
                                             r.course2, distance, time);
        EXPECT_NEAR(distance, r.distance, 1e-6) << r.what;
        EXPECT_NEAR(time, r.time, 1e-6) << r.what;
        EXPECT_EQ(returned, time) << r.what;
    }
}

TEST(MovingPoints, DeadReckoning) {
    const double r = 10 * 360 / (0.1 * 2 * kPi * 3600);  // turn radius, NM, at 6 degrees a minute
    struct Row {
        const char* what;
        double rateOfTurn;
        double lat, lon, heading, centreLat, centreLon;
    };
    const Row rows[] = {
        {"straight", 0.005, 0, 0.25 / 60 * 60, 0, 0, 1000.0 / 60},
        {"straight, turning left", -0.005, 0, 0.25, 0, 0, -1000.0 / 60},
        {"quarter turn to starboard", 6, r / 60, r / 60, 90, 0, r / 60},
        {"quarter turn to port", -6, r / 60, -r / 60, 270, 0, -r / 60},
    };
    for (const auto& row : rows) {
        double lat = 9, lon = 9, heading = 9, cLat = 9, cLon = 9;
        // 900 s at 10 knots from (0, 0) heading and going north.
        DeadReckonTurn(900, 0, 0, 0, 0, 10, row.rateOfTurn, lat, lon, heading, cLat, cLon);
        const bool straight = std::fabs(row.rateOfTurn) < 0.01;
        EXPECT_NEAR(lat, straight ? 2.5 / 60 : row.lat, 1e-9) << row.what;
        EXPECT_NEAR(lon, straight ? 0 : row.lon, 1e-9) << row.what;
        EXPECT_NEAR(heading, row.heading, 1e-9) << row.what;
        EXPECT_NEAR(cLat, row.centreLat, 1e-9) << row.what;
        EXPECT_NEAR(cLon, row.centreLon, 1e-9) << row.what;
    }

    double lat = 0, lon = 0, heading = 10, course = 0, speed = 10;
    EXPECT_TRUE(DeadReckonStep(185.2, lat, lon, heading, course, speed, 0.5, 0.0, 0.1));
    EXPECT_NEAR(lat, 1.0 / 60, 1e-12);  // 1852 m is one minute of arc
    EXPECT_NEAR(lon, 0, 1e-12);
    EXPECT_NEAR(heading, 10 + 92.6, 1e-12);
    EXPECT_NEAR(course, 18.52, 1e-12);
    EXPECT_EQ(speed, 10);
    speed = 0;
    EXPECT_TRUE(DeadReckonStep(10, lat, lon, heading, course, speed, 0, 2, 0));
    EXPECT_EQ(speed, 20);
    speed = -1;
    lat = 5;
    EXPECT_FALSE(DeadReckonStep(10, lat, lon, heading, course, speed, 0, 0, 0));
    EXPECT_EQ(lat, 5);
    EXPECT_EQ(speed, -1);
}

struct SpiralState {
    double lat = 0, lon = 0, heading = 0, v1 = 0, v2 = 0, turnRate = 0;
};

SpiralState Propagate(SpiralState s, double dt, double a1, double a2, double turnAcceleration) {
    SpiralPropagation(dt, s.lat, s.lon, s.heading, s.v1, s.v2, s.turnRate, a1, a2,
                      turnAcceleration);
    return s;
}

TEST(MovingPoints, SpiralPropagation) {
    constexpr double kMetre = 1.0 / 1852 / 60;  // degrees of arc per metre
    struct Row {
        const char* what;
        SpiralState start;
        double dt, a1, a2, turnAcceleration;
        double north, east;  // metres, integrated independently
        double tolerance = 1e-3;  // metres
    };
    const Row rows[] = {
        {"straight north", {0, 0, 0, 10, 0, 0}, 185.2, 0, 0, 0, 1852, 0},
        {"straight, accelerating", {0, 0, 0, 0, 0, 0}, 10, 1, 0, 0, 50, 0},
        {"sideways to starboard", {0, 0, 0, 0, 5, 0}, 10, 0, 0, 0, 0, 50},
        {"heading west", {0, 0, 1.5 * kPi, 10, 0, 0}, 10, 0, 0, 0, 0, -100},
        // A quarter circle of radius 1000 m.
        {"circle", {0, 0, 0, 10, 0, 0.01}, 50 * kPi, 0, 0, 0, 1000, 1000},
        // A clothoid: heading 0.0005 t^2.
        {"clothoid", {0, 0, 0, 10, 0, 0}, 10, 0, 0, 0.001, 99.9750028933516, 1.66636907129226},
        {"all terms", {0, 0, 0.3, 8, 1, 0.02}, 20, 0.5, -0.1, -0.003, 247.932565878421,
         73.2628700013523},
        // A turn acceleration just above the threshold of the Fresnel form, on a fast turn.
        {"slight turn acceleration", {0, 0, 0.7, 12, 2, 0.05}, 30, 0, 0, 1.01e-6,
         -14.7551760766161, 331.351779298257},
        // Just below it the acceleration is left out of the path, not of the heading.
        {"turn acceleration left out", {0, 0, 0.7, 12, 2, 0.05}, 30, 0, 0, 0.99e-6,
         -14.7068402019376, 331.373541752836},
    };
    for (const auto& r : rows) {
        const SpiralState s = Propagate(r.start, r.dt, r.a1, r.a2, r.turnAcceleration);
        // Over a few hundred metres at the equator the sphere's curvature is far below 1 mm.
        EXPECT_NEAR(s.lat, r.north * kMetre, r.tolerance * kMetre) << r.what;
        EXPECT_NEAR(s.lon, r.east * kMetre, r.tolerance * kMetre) << r.what;
        EXPECT_NEAR(s.heading, r.start.heading + r.start.turnRate * r.dt +
                                   r.turnAcceleration * r.dt * r.dt / 2,
                    1e-12)
            << r.what;
        EXPECT_NEAR(s.v1, r.start.v1 + r.a1 * r.dt, 1e-12) << r.what;
        EXPECT_NEAR(s.v2, r.start.v2 + r.a2 * r.dt, 1e-12) << r.what;
        EXPECT_NEAR(s.turnRate, r.start.turnRate + r.turnAcceleration * r.dt, 1e-12) << r.what;
    }

    // At rest nothing moves.
    const SpiralState rest = Propagate({1, 2, 0.5, 0, 0, 0.1}, 10, 0, 0, 0);
    EXPECT_EQ(rest.lat, 1);
    EXPECT_EQ(rest.lon, 2);
}

TEST(MovingPoints, SpiralFormsAgreeAcrossTheirThresholds) {
    constexpr double kMetre = 1.0 / 1852 / 60;
    const SpiralState base{0, 0, 0.7, 12, 2, 0};
    // Each pair straddles a switch between closed forms where the neglected terms are tiny.
    const struct {
        double turnRate, turnAcceleration;
    } below[] = {{0.0000999, 0}, {0, 0.00000099}, {-0.0000999, 0}},
      above[] = {{0.0001001, 0}, {0, 0.00000101}, {-0.0001001, 0}};
    for (int i = 0; i < 3; ++i) {
        SpiralState lo = base, hi = base;
        lo.turnRate = below[i].turnRate;
        hi.turnRate = above[i].turnRate;
        lo = Propagate(lo, 30, 0.2, 0, below[i].turnAcceleration);
        hi = Propagate(hi, 30, 0.2, 0, above[i].turnAcceleration);
        EXPECT_NEAR(lo.lat, hi.lat, 0.01 * kMetre) << i;
        EXPECT_NEAR(lo.lon, hi.lon, 0.01 * kMetre) << i;
    }
}

TEST(Rhumb, MeridionalParts) {
    EXPECT_NEAR(MeridionalParts(0), 0.0, 1e-12);
    EXPECT_NEAR(MeridionalParts(45), 50.49898671052621, 1e-12);
    EXPECT_NEAR(MeridionalParts(-45), -50.49898671052621, 1e-12);
    EXPECT_NEAR(MeridionalPartsDifference(0, 45), 50.49898671052621, 1e-12);
    EXPECT_NEAR(MeridionalPartsDifference(45, 0), -50.49898671052621, 1e-12);
    EXPECT_NEAR(LatitudeFromMeridionalParts(MeridionalParts(45)), 45, 1e-12);
    EXPECT_NEAR(LatitudeFromMeridionalParts(50.49898671052621), 45, 1e-12);
}

TEST(Rhumb, InverseAndDestination) {
    struct Row {
        const char* what;
        double lat1, lon1, lat2, lon2;
        double distance, bearing, tol;
    };
    const Row rows[] = {
        {"east on a parallel", 10, 20, 10, 21, 59.088465180732484, 90, 1e-9},
        {"west on a parallel", 10, 21, 10, 20, 59.088465180732484, 270, 1e-9},
        {"north on a meridian", 10, 20, 11, 20, 60, 0, 1e-9},
        {"south on a meridian", 11, 20, 10, 20, 60, 180, 1e-9},
        {"LAX to JFK", kLaxLat, kLaxLon, kJfkLat, kJfkLon, 2164.58, 79.324, 5e-3},
    };
    for (const auto& r : rows) {
        double d = 0, b = 0;
        EXPECT_TRUE(RhumbLineInverse(r.lat1, r.lon1, r.lat2, r.lon2, d, b)) << r.what;
        EXPECT_NEAR(d, r.distance, r.tol) << r.what;
        EXPECT_NEAR(b, r.bearing, r.tol) << r.what;
        double lat = 0, lon = 0;
        EXPECT_TRUE(RhumbLineDestination(r.lat1, r.lon1, r.bearing, r.distance, lat, lon))
            << r.what;
        EXPECT_NEAR(lat, r.lat2, r.tol) << r.what;
        EXPECT_NEAR(lon, r.lon2, r.tol) << r.what;
    }

    double lat = 0, lon = 0;
    EXPECT_TRUE(RhumbLineDestination(0, 179.5, 90, 60, lat, lon));
    EXPECT_NEAR(lon, -179.5, 1e-9);

    // Beyond the polar limit: great-circle results and false.
    double d = 0, b = 0, gd = 0, gb = 0;
    EXPECT_FALSE(RhumbLineInverse(kNearPole, 0, 80, 10, d, b));
    GreatCircleInverse(kNearPole, 0, 80, 10, gd, gb);
    EXPECT_EQ(d, gd);
    EXPECT_EQ(b, gb);
    double glat = 0, glon = 0;
    EXPECT_FALSE(RhumbLineDestination(89.99, 0, 0, 60, lat, lon));
    GreatCircleDestinationPoint(89.99, 0, 0, 60, glat, glon);
    EXPECT_EQ(lat, glat);
    EXPECT_EQ(lon, glon);
}

TEST(Rhumb, Midpoint) {
    double lat = 0, lon = 0;
    EXPECT_TRUE(RhumbLineMidpoint(10, 170, 10, -170, lat, lon));
    EXPECT_EQ(lat, 10);
    EXPECT_NEAR(lon, 180, 1e-12);
    EXPECT_TRUE(RhumbLineMidpoint(0, 0, 20, 20, lat, lon));
    EXPECT_EQ(lat, 10);
    // (m(10) - m(0)) / (m(20) - m(0)) of the 20 degrees, past the date line and back into range.
    EXPECT_TRUE(RhumbLineMidpoint(0, 175, 20, -165, lat, lon));
    EXPECT_NEAR(lon, -175.15508357960832, 1e-9);
    EXPECT_FALSE(RhumbLineMidpoint(kNearPole, 0, 80, 10, lat, lon));
    EXPECT_NEAR(lat, (kNearPole + 80) / 2, 1e-12);
    EXPECT_NEAR(lon, 5, 1e-12);
    EXPECT_FALSE(RhumbLineMidpoint(kNearPole, 170, 80, -170, lat, lon));
    EXPECT_NEAR(lon, 180, 1e-12);
    // Just inside the polar limit it is still a rhumb line, and along a meridian it stays on it.
    EXPECT_TRUE(RhumbLineMidpoint(89.99999, 10, 80, 10, lat, lon));
    EXPECT_EQ(lon, 10);
}

TEST(Rhumb, CrossTrack) {
    struct Row {
        const char* what;
        double lat1, lon1, lat2, lon2, lat3, lon3;
        double crossTrack, alongTrack;
    };
    const double east5 = 60 * std::cos(5 * kPi / 180);
    const Row rows[] = {
        {"northward meridian", 0, 0, 10, 0, 5, 1, east5, 300},
        {"southward meridian", 10, 0, 0, 0, 5, 1, -east5, 300},
        {"eastward, left", 0, 0, 0, 10, 1, 5, -60, 300},
        {"eastward, right", 0, 0, 0, 10, -1, 5, 60, 300},
        {"eastward, behind", 0, 0, 0, 10, 1, -2, -60, -120},
        {"across the date line", 0, 175, 0, -175, -1, 179, 60, 240},
    };
    for (const auto& r : rows) {
        double xt = 99, at = 99;
        EXPECT_TRUE(RhumbLineCrossTrack(r.lat1, r.lon1, r.lat2, r.lon2, r.lat3, r.lon3, xt, at))
            << r.what;
        EXPECT_NEAR(xt, r.crossTrack, 1e-6) << r.what;
        EXPECT_NEAR(at, r.alongTrack, 1e-6) << r.what;
    }
    double xt = 99, at = 99;
    EXPECT_FALSE(RhumbLineCrossTrack(0, 0, 10, 10, kNearPole, 0, xt, at));
    EXPECT_EQ(xt, 0);
    EXPECT_EQ(at, 0);

    EXPECT_TRUE(IsWithinAngle(350, 10, 25));
    EXPECT_FALSE(IsWithinAngle(10, 200, 25));
    EXPECT_TRUE(IsWithinAngle(10, -10, 25));
}

TEST(Fresnel, KnownValuesOddnessAndLimits) {
    struct Row {
        double x, C, S;
    };
    const Row rows[] = {{1, 0.7798934003768229, 0.43825914739035476},
                        {2, 0.48825340607534073, 0.34341567836369824},
                        {-1, -0.7798934003768229, -0.43825914739035476},
                        {-2, -0.48825340607534073, -0.34341567836369824}};
    for (const auto& r : rows) {
        double C = 0, S = 0;
        FresnelIntegrals(r.x, C, S);
        EXPECT_NEAR(C, r.C, 5e-8) << r.x;
        EXPECT_NEAR(S, r.S, 5e-8) << r.x;
    }
    double C = 1, S = 1;
    FresnelIntegrals(0, C, S);
    EXPECT_EQ(C, 0);
    EXPECT_EQ(S, 0);
    for (double x : {0.3, 1.59, 1.6, 3.7, 12.5}) {
        double c1 = 0, s1 = 0, c2 = 0, s2 = 0;
        FresnelIntegrals(x, c1, s1);
        FresnelIntegrals(-x, c2, s2);
        EXPECT_EQ(c1, -c2) << x;
        EXPECT_EQ(s1, -s2) << x;
    }
    FresnelIntegrals(1000, C, S);
    EXPECT_NEAR(C, 0.5, 1e-3);
    EXPECT_NEAR(S, 0.5, 1e-3);
    // Both sides of the switch to the asymptotic form meet.
    double cLo = 0, sLo = 0, cHi = 0, sHi = 0;
    FresnelIntegrals(1.6 - 1e-12, cLo, sLo);
    FresnelIntegrals(1.6, cHi, sHi);
    EXPECT_NEAR(cLo, cHi, 1e-7);
    EXPECT_NEAR(sLo, sHi, 1e-7);
}

}  // namespace
