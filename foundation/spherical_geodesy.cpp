#include "foundation/spherical_geodesy.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <complex>

#include "foundation/angle_interpolation.h"
#include "foundation/planar_geometry.h"

namespace {

constexpr double kPi = 3.141592653589793;
constexpr double kHalfPi = kPi / 2.0;
constexpr double kQuarterPi = kPi / 4.0;
constexpr double kTwoPi = 6.283185307179586;
constexpr double kDegreesToRadians = kPi / 180.0;
constexpr double kRadiansToDegrees = 180.0 / kPi;
constexpr double kPolarLimit = 89.99999999;
constexpr double kTolerance = 1e-8;
constexpr double kMinutesPerDegree = 60.0;
constexpr double kMetresPerNauticalMile = 1852.0;
constexpr double kSecondsPerHour = 3600.0;
// The track of a moving point is fixed by its start and a point this far (NM) along its course.
constexpr double kTrackPointDistance = 50.0;

double Radians(double degrees) { return degrees * kDegreesToRadians; }
double Degrees(double radians) { return radians * kRadiansToDegrees; }
double ArcToNauticalMiles(double radians) { return Degrees(radians) * kMinutesPerDegree; }
double NauticalMilesToArc(double nm) { return Radians(nm / kMinutesPerDegree); }
double ClampUnit(double v) { return std::clamp(v, -1.0, 1.0); }

// Longitudes are returned in (-180, 180].
double LongitudeRange(double lon) {
    const double r = Normalize360(lon);
    return r > 180.0 ? r - 360.0 : r;
}

bool BeyondPolarLimit(double lat) { return std::fabs(lat) > kPolarLimit; }

// The mean of two longitudes that may lie either side of the 180 degree meridian.
double SeamSafeMeanLongitude(double lon1, double lon2) {
    double m = (lon1 + lon2) / 2.0;
    const double d = lon1 - lon2;
    if (d < -180.0 || d > 180.0) m -= 180.0;
    return LongitudeRange(m);
}

double GreatCircleDistance(double lat1, double lon1, double lat2, double lon2) {
    double distance = 0.0;
    double bearing = 0.0;
    GreatCircleInverse(lat1, lon1, lat2, lon2, distance, bearing);
    return distance;
}

double GreatCircleBearing(double lat1, double lon1, double lat2, double lon2) {
    double distance = 0.0;
    double bearing = 0.0;
    GreatCircleInverse(lat1, lon1, lat2, lon2, distance, bearing);
    return bearing;
}

// The cross and along-track distances of P2 from the track of P1 on course.
void TrackOffsets(double lat1, double lon1, double course, double lat2, double lon2,
                  double& crossTrack, double& alongTrack) {
    double latA = 0.0;
    double lonA = 0.0;
    GreatCircleDestinationPoint(lat1, lon1, course, kTrackPointDistance, latA, lonA);
    CrossTrackDistance(lat1, lon1, latA, lonA, lat2, lon2, crossTrack, alongTrack);
}

// Fresnel power series coefficients in a^4, from n = 0 to 10.
struct FresnelSeries {
    std::array<double, 11> c{};
    std::array<double, 11> s{};
    FresnelSeries() {
        const double h = kHalfPi;
        double factorial = 1.0;  // (2n)! then (2n + 1)!
        double power = 1.0;      // (pi/2)^(2n) then (pi/2)^(2n+1)
        for (int n = 0; n <= 10; ++n) {
            const double sign = (n % 2) ? -1.0 : 1.0;
            if (n > 0) {
                factorial *= (2.0 * n - 1.0) * (2.0 * n);
                power *= h * h;
            }
            c[n] = sign * power / (factorial * (4.0 * n + 1.0));
            s[n] = sign * power * h / (factorial * (2.0 * n + 1.0) * (4.0 * n + 3.0));
        }
    }
};

template <std::size_t N>
double Horner(const std::array<double, N>& highToLow, double t) {
    double v = 0.0;
    for (double k : highToLow) v = v * t + k;
    return v;
}

template <std::size_t N>
double HornerLowToHigh(const std::array<double, N>& lowToHigh, double t) {
    double v = 0.0;
    for (auto it = lowToHigh.rbegin(); it != lowToHigh.rend(); ++it) v = v * t + *it;
    return v;
}

using Complex = std::complex<double>;

// Complex numbers hold north in the real and east in the imaginary part: e^(i theta) is the unit
// vector of heading theta, and i times it points to starboard.
Complex Heading(double theta) { return std::polar(1.0, theta); }

// The integrals from 0 to dt of e^(i theta(t)) and t e^(i theta(t)) for
// theta(t) = theta0 + w t + a t^2 / 2.
void PhaseIntegrals(double dt, double theta0, double w, double a, Complex& i0, Complex& i1) {
    const Complex i(0.0, 1.0);
    if (std::fabs(a) > 1e-6) {
        const double theta1 = theta0 + w * dt + a * dt * dt / 2.0;
        // Completing the square: theta = phi + a (t + w / a)^2 / 2, a Fresnel integral in
        // s = (t + w / a) sqrt(|a| / pi).
        const double scale = std::sqrt(std::fabs(a) / kPi);
        const double phi = theta0 - w * w / (2.0 * a);
        double c0 = 0.0, s0 = 0.0, c1 = 0.0, s1 = 0.0;
        FresnelIntegrals(w / a * scale, c0, s0);
        FresnelIntegrals((dt + w / a) * scale, c1, s1);
        const double sign = a > 0.0 ? 1.0 : -1.0;
        i0 = Heading(phi) / scale * Complex(c1 - c0, sign * (s1 - s0));
        i1 = (Heading(theta1) - Heading(theta0)) / (i * a) - w / a * i0;
    } else if (std::fabs(w) > 0.0001) {
        // A circular arc: the turn acceleration is too small to count.
        const double theta1 = theta0 + w * dt;
        i0 = (Heading(theta1) - Heading(theta0)) / (i * w);
        i1 = (dt * Heading(theta1) - i0) / (i * w);
    } else {
        // Nearly straight: e^(i (w t + a t^2 / 2)) to the third power of t.
        const Complex e1 = i * w;
        const Complex e2 = Complex(-w * w, a) / 2.0;
        const Complex e3 = Complex(-w * a / 2.0, -w * w * w / 6.0);
        const double t2 = dt * dt;
        const double t3 = t2 * dt;
        const double t4 = t3 * dt;
        const double t5 = t4 * dt;
        const Complex h0 = Heading(theta0);
        i0 = h0 * (dt + e1 * t2 / 2.0 + e2 * t3 / 3.0 + e3 * t4 / 4.0);
        i1 = h0 * (t2 / 2.0 + e1 * t3 / 3.0 + e2 * t4 / 4.0 + e3 * t5 / 5.0);
    }
}

}  // namespace

void GreatCircleDestination(double lat, double lon, double bearing, double distance, double& lat2,
                            double& lon2, double& finalBearing) {
    const double phi1 = Radians(lat);
    const double lambda1 = Radians(lon);
    const double theta = Radians(bearing);
    const double delta = NauticalMilesToArc(distance);
    const double phi2 = std::asin(ClampUnit(std::cos(phi1) * std::sin(delta) * std::cos(theta) +
                                            std::sin(phi1) * std::cos(delta)));
    double lambda2 = lambda1;
    double fin = theta - kPi;
    if (!BeyondPolarLimit(Degrees(phi2))) {
        const double dLambda =
            std::atan2(std::sin(theta) * std::sin(delta) * std::cos(phi1),
                       std::cos(delta) - std::sin(phi2) * std::sin(phi1));
        lambda2 = lambda1 + dLambda;
        fin = kPi - std::atan2(std::sin(dLambda), std::cos(phi2) * std::tan(phi1) -
                                                      std::sin(phi2) * std::cos(dLambda));
    }
    lat2 = Degrees(phi2);
    lon2 = LongitudeRange(Degrees(lambda2));
    finalBearing = Normalize360(Degrees(fin));
}

void GreatCircleDestinationPoint(double lat, double lon, double bearing, double distance,
                                 double& lat2, double& lon2) {
    double finalBearing = 0.0;
    GreatCircleDestination(lat, lon, bearing, distance, lat2, lon2, finalBearing);
}

void GreatCircleInverse(double lat1, double lon1, double lat2, double lon2, double& distance,
                        double& bearing) {
    distance = 0.0;
    bearing = 0.0;
    if (std::fabs(lat1 - lat2) < kTolerance && std::fabs(lon1 - lon2) < kTolerance) return;
    const double phi1 = Radians(lat1);
    const double phi2 = Radians(lat2);
    const double dLon = Radians(AngleDifference(lon2, lon1));
    const double sinHalfLat = std::sin((phi2 - phi1) / 2.0);
    const double sinHalfLon = std::sin(dLon / 2.0);
    const double h =
        sinHalfLat * sinHalfLat + std::cos(phi1) * std::cos(phi2) * sinHalfLon * sinHalfLon;
    // Rounding can lift the haversine of nearly antipodal points just above 1.
    const double r = std::min(std::sqrt(h), 1.0);
    distance = ArcToNauticalMiles(2.0 * std::asin(r));
    double b = std::atan2(std::sin(dLon),
                          std::cos(phi1) * std::tan(phi2) - std::sin(phi1) * std::cos(dLon));
    if (std::fabs(b) < kTolerance) b = 0.0;
    bearing = Normalize360(Degrees(b));
}

void GreatCircleInverseBoth(double lat1, double lon1, double lat2, double lon2, double& distance,
                            double& bearing, double& reverseBearing) {
    GreatCircleInverse(lat1, lon1, lat2, lon2, distance, bearing);
    reverseBearing = Normalize360(GreatCircleBearing(lat2, lon2, lat1, lon1) + 180.0);
}

void GreatCircleMidpoint(double lat1, double lon1, double lat2, double lon2, double& lat,
                         double& lon) {
    if (std::fabs(lat1 - lat2) < kTolerance) {
        lat = lat1;
        lon = SeamSafeMeanLongitude(lon1, lon2);
        return;
    }
    double distance = 0.0;
    double bearing = 0.0;
    GreatCircleInverse(lat1, lon1, lat2, lon2, distance, bearing);
    GreatCircleDestinationPoint(lat1, lon1, bearing, distance / 2.0, lat, lon);
}

void GreatCircleVertex(double lat, double lon, double bearing, double& latV, double& lonV) {
    const double phi = Radians(lat);
    const double tanBearing = std::tan(Radians(bearing));
    const double k = tanBearing * std::sin(phi);
    const double dLon = std::atan(1.0 / k);
    lonV = LongitudeRange(lon + Degrees(dLon));
    // atan(tan(lat) / cos(dLon)) rewritten without its 0 / 0 on the equator, where the vertex
    // lies a quarter circle away at 90 degrees less the bearing.
    latV = Degrees(std::atan(std::copysign(1.0, phi) * std::sqrt(1.0 + k * k) /
                             (std::fabs(tanBearing) * std::cos(phi))));
}

void GreatCircleLatitudeAtLongitude(double latV, double lon, double lonV, double& lat) {
    lat = Degrees(std::atan(std::tan(Radians(latV)) * std::cos(Radians(lon - lonV))));
}

bool GreatCircleLongitudeAtLatitude(double lon0, double latV, double lonV, double lat,
                                    double& lon) {
    if (std::fabs(latV) < kTolerance) return false;
    const double ratio = std::tan(Radians(lat)) / std::tan(Radians(latV));
    if (!(std::fabs(ratio) <= 1.0)) return false;  // the circle never reaches lat
    const double d = Degrees(std::acos(ratio));
    const double west = lonV - d;
    const double east = lonV + d;
    const bool eastNearer =
        std::fabs(AngleDifference(Normalize180(east), Normalize180(lon0))) <
        std::fabs(AngleDifference(Normalize180(west), Normalize180(lon0)));
    lon = LongitudeRange(eastNearer ? east : west);
    return true;
}

void CrossTrackDistance(double lat1, double lon1, double lat2, double lon2, double lat3,
                        double lon3, double& crossTrack, double& alongTrack) {
    const double theta12 = Radians(GreatCircleBearing(lat1, lon1, lat2, lon2));
    double d13 = 0.0;
    double theta13 = 0.0;
    GreatCircleInverse(lat1, lon1, lat3, lon3, d13, theta13);
    theta13 = Radians(theta13);
    const double delta13 = NauticalMilesToArc(d13);
    const double xt = std::asin(std::sin(delta13) * std::sin(theta13 - theta12));
    double at = std::acos(ClampUnit(std::cos(delta13) / std::cos(xt)));
    if (std::cos(theta12 - theta13) < 0.0) at = -at;
    crossTrack = ArcToNauticalMiles(xt);
    alongTrack = ArcToNauticalMiles(at);
}

double MeridianOffset(double a, double b, double c) {
    const double ar = Radians(a);
    return kMinutesPerDegree *
           Degrees(std::asin(ClampUnit(std::sin(ar - Radians(b)) * std::cos(Radians(c)) /
                                       std::cos(ar))));
}

void GreatCircleOffsetAtLongitude(double lat1, double lon1, double bearing, double lat, double lon,
                                  double& offset) {
    double latV = 0.0;
    double lonV = 0.0;
    GreatCircleVertex(lat1, lon1, bearing, latV, lonV);
    double latAt = 0.0;
    GreatCircleLatitudeAtLongitude(latV, lon, lonV, latAt);
    offset = MeridianOffset(latAt, lat, latV);
}

void ClosestPointOfApproach(double lat1, double lon1, double speed, double course, double lat2,
                            double lon2, double& distance, double& time, double& latCpa,
                            double& lonCpa) {
    distance = GreatCircleDistance(lat1, lon1, lat2, lon2);
    if (std::fabs(speed) >= kTolerance && std::fabs(distance) >= kTolerance) {
        double xt = 0.0;
        double at = 0.0;
        TrackOffsets(lat1, lon1, course, lat2, lon2, xt, at);
        time = at / speed * kSecondsPerHour;
        distance = std::fabs(xt);
        GreatCircleDestinationPoint(lat1, lon1, course, at, latCpa, lonCpa);
        return;
    }
    time = 0.0;
    latCpa = lat1;
    lonCpa = lon1;
}

void ClosestPointOfApproachMoving(double lat1, double lon1, double speed1, double course1,
                                  double lat2, double lon2, double speed2, double course2,
                                  double& distance, double& time, double& lat, double& lon) {
    const double c1 = Radians(course1);
    const double c2 = Radians(course2);
    const double east = speed1 * std::sin(c1) - speed2 * std::sin(c2);
    const double north = speed1 * std::cos(c1) - speed2 * std::cos(c2);
    const double relSpeed = std::hypot(east, north);
    const double relCourse = Normalize360(Degrees(std::atan2(east, north)));
    distance = GreatCircleDistance(lat1, lon1, lat2, lon2);
    if (relSpeed < kTolerance || distance < kTolerance) {
        time = 0.0;
        lat = lat1;
        lon = lon1;
        return;
    }
    double xt = 0.0;
    double at = 0.0;
    TrackOffsets(lat1, lon1, relCourse, lat2, lon2, xt, at);
    time = at / relSpeed * kSecondsPerHour;
    const double hours = time / kSecondsPerHour;
    double lat2t = 0.0;
    double lon2t = 0.0;
    GreatCircleDestinationPoint(lat1, lon1, course1, speed1 * hours, lat, lon);
    GreatCircleDestinationPoint(lat2, lon2, course2, speed2 * hours, lat2t, lon2t);
    distance = GreatCircleDistance(lat, lon, lat2t, lon2t);
}

double CrossingTime(double lat1, double lon1, double lat1b, double lon1b, double speed1,
                    double course1, double lat2, double lon2, double speed2, double course2,
                    double& distance, double& time) {
    constexpr double kBehind = 100.0;  // degrees off the course: the crossing lies behind
    distance = 0.0;
    time = -1.0;
    const double crossSpeed = speed2 * std::sin(Radians(AngleDifference(course2, course1)));
    if (std::fabs(crossSpeed) < kTolerance) return time;
    double latBack = 0.0, lonBack = 0.0, latAhead = 0.0, lonAhead = 0.0;
    GreatCircleDestinationPoint(lat1, lon1, course1 + 180.0, kTrackPointDistance, latBack, lonBack);
    GreatCircleDestinationPoint(lat1, lon1, course1, kTrackPointDistance, latAhead, lonAhead);
    double xt = 0.0;
    double at = 0.0;
    CrossTrackDistance(latBack, lonBack, latAhead, lonAhead, lat2, lon2, xt, at);
    // xt is positive to the right of the track and the cross speed positive towards the right:
    // the crossing lies ahead when they have opposite signs.
    const double hours = -xt / crossSpeed;
    if (hours < 0.0) return time;

    double latCross = 0.0, lonCross = 0.0;
    GreatCircleDestinationPoint(lat2, lon2, course2, speed2 * hours, latCross, lonCross);
    double lat1t = 0.0, lon1t = 0.0;
    GreatCircleDestinationPoint(lat1, lon1, course1, speed1 * hours, lat1t, lon1t);
    double separation = 0.0;
    double bearing = 0.0;
    GreatCircleInverse(lat1t, lon1t, latCross, lonCross, separation, bearing);
    distance = separation;
    if (std::fabs(AngleDifference(Normalize360(bearing), Normalize360(course1))) >= kBehind) {
        GreatCircleDestinationPoint(lat1b, lon1b, course1, speed1 * hours, lat1t, lon1t);
        GreatCircleInverse(lat1t, lon1t, latCross, lonCross, separation, bearing);
        const bool stillBehind =
            std::fabs(AngleDifference(Normalize360(bearing), Normalize360(course1))) >= kBehind;
        distance = stillBehind ? -separation : 0.0;
    }
    time = hours * kSecondsPerHour;
    return time;
}

void DeadReckonTurn(double dt, double lat, double lon, double heading, double course, double speed,
                    double rateOfTurn, double& latOut, double& lonOut, double& headingOut,
                    double& centreLat, double& centreLon) {
    constexpr double kAbeamDistance = 1000.0;
    if (std::fabs(rateOfTurn) < 0.01) {
        headingOut = heading;
        GreatCircleDestinationPoint(lat, lon, course, dt * speed / kSecondsPerHour, latOut, lonOut);
        GreatCircleDestinationPoint(lat, lon, rateOfTurn < 0.0 ? course - 90.0 : course + 90.0,
                                    kAbeamDistance, centreLat, centreLon);
        return;
    }
    const double omega = rateOfTurn / 60.0;  // degrees per second
    headingOut = Normalize360(heading + dt * omega);
    const double r = speed * 360.0 / (omega * kTwoPi * kSecondsPerHour);
    double b = 0.0;
    GreatCircleDestination(lat, lon, course + 90.0, r, centreLat, centreLon, b);
    if (r < 0.0) b -= 180.0;
    GreatCircleDestinationPoint(centreLat, centreLon, Normalize360(b - 90.0 + dt * omega) - 90.0, r,
                                latOut, lonOut);
}

bool DeadReckonStep(double dt, double& lat, double& lon, double& heading, double& course,
                    double& speed, double headingRate, double acceleration, double courseRate) {
    const double d = dt * speed + 0.5 * acceleration * dt * dt;
    if (d < 0.0) return false;
    GreatCircleDestinationPoint(lat, lon, course, d / kMetresPerNauticalMile, lat, lon);
    heading += dt * headingRate;
    speed += dt * acceleration;
    course += dt * courseRate;
    return true;
}

void SpiralPropagation(double dt, double& lat, double& lon, double& heading, double& velocity1,
                       double& velocity2, double& turnRate, double acceleration1,
                       double acceleration2, double turnAcceleration) {
    Complex i0;
    Complex i1;
    PhaseIntegrals(dt, heading, turnRate, turnAcceleration, i0, i1);
    // Velocity (v1 + a1 t) along the heading and (v2 + a2 t) to starboard.
    const Complex displacement = Complex(velocity1, velocity2) * i0 +
                                 Complex(acceleration1, acceleration2) * i1;
    const double north = displacement.real();
    const double east = displacement.imag();

    heading += turnRate * dt + turnAcceleration * dt * dt / 2.0;
    velocity1 += acceleration1 * dt;
    velocity2 += acceleration2 * dt;
    turnRate += turnAcceleration * dt;

    if (north == 0.0 && east == 0.0) return;
    const double length = std::hypot(north, east);
    double bearing = kHalfPi - std::asin(ClampUnit(north / length));
    if (east < 0.0) bearing = kTwoPi - bearing;
    GreatCircleDestinationPoint(lat, lon, Degrees(bearing), length / kMetresPerNauticalMile, lat,
                                lon);
}

double MeridionalParts(double lat) {
    return std::log(std::tan(kQuarterPi + Radians(lat) / 2.0)) * kRadiansToDegrees;
}

double MeridionalPartsDifference(double lat1, double lat2) {
    return std::log(std::tan(kQuarterPi + Radians(lat2) / 2.0) /
                    std::tan(kQuarterPi + Radians(lat1) / 2.0)) *
           kRadiansToDegrees;
}

double LatitudeFromMeridionalParts(double m) {
    return Degrees(2.0 * std::atan(std::exp(Radians(m))) - kHalfPi);
}

bool RhumbLineDestination(double lat, double lon, double bearing, double distance, double& lat2,
                          double& lon2) {
    const double b = Radians(bearing);
    const double latEnd = lat + std::cos(b) * distance / kMinutesPerDegree;
    if (BeyondPolarLimit(lat) || BeyondPolarLimit(latEnd)) {
        GreatCircleDestinationPoint(lat, lon, bearing, distance, lat2, lon2);
        return false;
    }
    const double dLon =
        std::fabs(lat - latEnd) < kTolerance
            ? std::sin(b) * distance / std::cos(Radians(lat)) / kMinutesPerDegree
            : MeridionalPartsDifference(lat, latEnd) * std::tan(b);
    lat2 = latEnd;
    lon2 = LongitudeRange(lon + dLon);
    return true;
}

bool RhumbLineInverse(double lat1, double lon1, double lat2, double lon2, double& distance,
                      double& bearing) {
    if (BeyondPolarLimit(lat1) || BeyondPolarLimit(lat2)) {
        GreatCircleInverse(lat1, lon1, lat2, lon2, distance, bearing);
        return false;
    }
    const double dLon = AngleDifference(lon2, lon1);
    const double dLat = lat2 - lat1;
    if (std::fabs(dLon) < kTolerance) {
        distance = std::fabs(dLat) * kMinutesPerDegree;
        bearing = lat2 >= lat1 ? 0.0 : 180.0;
    } else if (std::fabs(dLat) >= kTolerance) {
        const double theta = std::atan2(dLon, MeridionalPartsDifference(lat1, lat2));
        distance = dLat / std::cos(theta) * kMinutesPerDegree;
        const double degrees = Degrees(theta);
        bearing = Normalize360(std::fabs(degrees) < kTolerance ? 0.0 : degrees);
    } else {
        distance = std::fabs(std::cos(Radians(lat1)) * dLon * kMinutesPerDegree);
        bearing = dLon >= 0.0 ? 90.0 : 270.0;
    }
    return true;
}

bool RhumbLineMidpoint(double lat1, double lon1, double lat2, double lon2, double& lat,
                       double& lon) {
    lat = (lat1 + lat2) / 2.0;
    if (BeyondPolarLimit(lat1) || BeyondPolarLimit(lat2)) {
        lon = SeamSafeMeanLongitude(lon1, lon2);
        return false;
    }
    if (std::fabs(lat1 - lat2) < kTolerance) {
        lon = AngleMean180(lon1, lon2);
        return true;
    }
    const double m1 = MeridionalParts(lat1);
    lon = LongitudeRange((MeridionalParts(lat) - m1) * AngleDifference(lon2, lon1) /
                             (MeridionalParts(lat2) - m1) +
                         lon1);
    return true;
}

bool RhumbLineCrossTrack(double lat1, double lon1, double lat2, double lon2, double lat3,
                         double lon3, double& crossTrack, double& alongTrack) {
    crossTrack = 0.0;
    alongTrack = 0.0;
    if (BeyondPolarLimit(lat1) || BeyondPolarLimit(lat2) || BeyondPolarLimit(lat3)) return false;
    if (std::fabs(AngleDifference(lon2, lon1)) < kTolerance) {
        const double scale = std::cos(Radians(lat3)) * kMinutesPerDegree;
        if (lat2 >= lat1) {
            alongTrack = (lat3 - lat1) * kMinutesPerDegree;
            crossTrack = AngleDifference(lon3, lon1) * scale;
        } else {
            alongTrack = (lat1 - lat3) * kMinutesPerDegree;
            crossTrack = AngleDifference(lon1, lon3) * scale;
        }
        return true;
    }
    double distance = 0.0;
    double theta = 0.0;
    RhumbLineInverse(lat1, lon1, lat2, lon2, distance, theta);
    // On the Mercator plane (longitude, meridional parts) rhumb lines are straight; P3's
    // longitude is taken on P1's side of the 180 degree meridian.
    double footX = 0.0;
    double footY = 0.0;
    BearingLineIntersection(lon1 + AngleDifference(lon3, lon1), MeridionalParts(lat3),
                            theta + 90.0, lon1, MeridionalParts(lat1), theta, footX, footY);
    const double footLat = LatitudeFromMeridionalParts(footY);
    const double footLon = LongitudeRange(footX);

    double bearing = 0.0;
    RhumbLineInverse(lat1, lon1, footLat, footLon, distance, bearing);
    alongTrack = IsWithinAngle(theta, bearing, 100.0) ? distance : -distance;
    RhumbLineInverse(footLat, footLon, lat3, lon3, distance, bearing);
    crossTrack = IsWithinAngle(theta + 90.0, bearing, 100.0) ? distance : -distance;
    return true;
}

bool IsWithinAngle(double a, double b, double tolerance) {
    double d = Normalize360(b - a);
    if (d > 180.0) d -= 360.0;
    return std::fabs(d) < tolerance;
}

void FresnelIntegrals(double x, double& C, double& S) {
    static const FresnelSeries series;
    // Auxiliary functions f and g of the asymptotic form, as polynomials in 1 / x^2 from the
    // highest power down.
    static constexpr std::array<double, 12> kF = {
        39.06207702, -102.4339798, 118.5343352, -78.8035274,  32.20380908, -7.450551455,
        0.325206461, 0.325539361,  0.000606222, -0.09676631, 9.34636e-08, 0.318309844};
    static constexpr std::array<double, 12> kG = {
        -10.89968491, 22.28401942,  -15.10996796, -0.695291507, 7.477942354, -5.199186089,
        1.622793598,  -0.046292605, -0.152068115, -4.07292e-05, 0.101321519, 0.0};
    const double a = std::fabs(x);
    if (a < 1.6) {
        const double a4 = a * a * a * a;
        C = a * HornerLowToHigh(series.c, a4);
        S = a * a * a * HornerLowToHigh(series.s, a4);
    } else {
        const double t = 1.0 / (a * a);
        const double f = Horner(kF, t) / a;
        const double g = Horner(kG, t) / a;
        const double z = kHalfPi * a * a;
        C = 0.5 + f * std::sin(z) - g * std::cos(z);
        S = 0.5 - f * std::cos(z) - g * std::sin(z);
    }
    if (x < 0.0) {
        C = -C;
        S = -S;
    }
}
