// Plane survey geometry on grid coordinates.
//
// x is easting, y northing. Bearings run clockwise from grid north (+y) and are in degrees
// unless a name says radians: a point at distance d and bearing b from (x0, y0) is
// (x0 + d sin b, y0 + d cos b). Results go out through references; functions that take
// pointers write only the outputs that are given.
#pragma once

// 1 when C lies to the left of A->B (counter-clockwise) by more than tol, -1 to the right, else 0.
int Orientation(double ax, double ay, double bx, double by, double cx, double cy, double tol);
// The opposite sign, with a tolerance of 1e-10.
int OrientationReversed(double ax, double ay, double bx, double by, double cx, double cy);
// Inside or on the triangle ABC; with strict, a point on an edge or at a vertex is outside. A
// degenerate triangle holds the points of its line.
bool PointInTriangle(double px, double py, double ax, double ay, double bx, double by, double cx,
                     double cy, bool strict);
// The parameter of P's projection on A->B (0 at A, 1 at B; snapped within 1e-10 of either).
double ProjectionParameter(double ax, double ay, double bx, double by, double px, double py);
// The distance of P from the line A->B, negative when P lies to its left.
double SignedPerpendicularDistance(double ax, double ay, double bx, double by, double px,
                                   double py);
double Hypot2(double x, double y);
double Hypot3(double x, double y, double z);
// The length of (dx, dy); the first three arguments are not used.
double PlanarDistance(double, double, double, double dx, double dy);
// The difference of two polar vectors' components along `direction`.
double AlongDirectionDifference(double bearing1, double r1, double bearing2, double r2,
                                double direction);
// Speed from a displacement over dt seconds; dt below -43200 s is taken across midnight.
double SpeedFromDisplacement(double dx, double dy, double dt);

// [0, 360) degrees or [0, 2 pi) radians; a null vector gives 0.0, as does a result within
// 1e-10 of the full circle.
double BearingFromDeltas(double dx, double dy);
double BearingFromDeltasRadians(double dx, double dy);

void PolarPoint(double x0, double y0, double dist, double bearing, double& x, double& y);
// elevation is positive upwards.
void PolarPoint3D(double x0, double y0, double z0, double dist, double bearing, double elevation,
                  double& x, double& y, double& z);
// Adds dist * scale along bearing; false (nothing added) when scale or dist is 0.0.
bool AddPolarOffset(double& x, double& y, double dist, double bearing, double scale);
// As AddPolarOffset with the x step divided by sx and the y step by sy; false also when either
// divisor is below 0.001 in magnitude.
bool AddPolarOffsetScaled(double& x, double& y, double dist, double bearing, double sx, double sy,
                          double scale);
// A body-frame offset (across to starboard, along forward) turned by heading.
void OffsetByHeading(double x0, double y0, double across, double along, double heading, double& x,
                     double& y);
// OffsetByHeading with across = bx - ax and along = by - ay.
void OffsetByHeadingBetween(double x0, double y0, double ax, double ay, double bx, double by,
                            double heading, double& x, double& y);
// Counter-clockwise in the x/y plane by angle degrees.
void RotateVector(double& x, double& y, double angle);
void RotateQuarterClockwise(double& x, double& y);
void RotateQuarterCounterClockwise(double& x, double& y);
void RotateHalf(double& x, double& y);

// The lines through (x1, y1) on b1 and (x2, y2) on b2 meet at (x, y); false for parallel lines
// (bearings equal modulo 180 within 1e-10). The outputs are 0.0 unless a point is found.
bool BearingLineIntersection(double x1, double y1, double b1, double x2, double y2, double b2,
                             double& x, double& y);
// The lines P1-P2 and P3-P4; false when nearly parallel (determinant below 1e-6).
bool LineLineIntersection(double x1, double y1, double x2, double y2, double x3, double y3,
                          double x4, double y4, double& x, double& y);
// The lines P1-P2 and P3-P4 by their bearings; given outputs are 0.0 unless a point is found.
bool LinesIntersection(double x1, double y1, double x2, double y2, double x3, double y3,
                       double x4, double y4, double* x, double* y);
// As LinesIntersection, true only when the point lies on both segments (end points and a margin
// of 1e-10 included); the outputs receive the lines' point either way.
bool SegmentsIntersection(double x1, double y1, double x2, double y2, double x3, double y3,
                          double x4, double y4, double* x, double* y);
// The line P3-P4 against the line of P1-P2; true when the point's x lies within the x range of
// P1-P2. eastward tells whether P1->P2 bears within [0, 180].
bool SegmentLineIntersection(double x1, double y1, double x2, double y2, double x3, double y3,
                             double x4, double y4, double& x, double& y, bool& eastward);
// The points where the infinite line P1-P2 meets the circle (cx, cy, r): 0, 1 or 2. Missing
// points are written as (0, 0); a line of zero length meets nothing.
int LineCircleIntersection(double x1, double y1, double x2, double y2, double cx, double cy,
                           double r, double* xa = nullptr, double* ya = nullptr,
                           double* xb = nullptr, double* yb = nullptr);
// The circle through three points: its centre and radius, or -1.0 (centre untouched) for
// collinear points.
double CircleThroughThreePoints(double x1, double y1, double x2, double y2, double x3, double y3,
                                double& cx, double& cy);
// Two points moving on straight courses (degrees) at constant speeds: the time of their closest
// approach (it may be negative, in the past), their distance then and their positions.
double ClosestApproach(double x1, double y1, double speed1, double course1, double x2, double y2,
                       double speed2, double course2, double& t, double& dmin, double& x1t,
                       double& y1t, double& x2t, double& y2t);

// Distance and bearing of the difference of two polar points. With relative clear the heading
// is added to the angles marked +h; with relative set it is taken off those marked -h.
// first = r1 at a1 +h; second = r2 cos(a3' - a2') at a2' with a2' = a2 -h, a3' = a3 +h;
// the result is first - second.
void PolarPairDifference(double x0, double y0, double r1, double a1, double a2, double heading,
                         double r2, double a3, double& dist, double& bearing, bool relative);
// first = r1 at a1 +h; second = r2 at a2 -h; the result is first - second.
void PolarPairDifferenceDirect(double x0, double y0, double r1, double a1, double a2,
                               double heading, double r2, double& dist, double& bearing,
                               bool relative);
// first = r1 at a1 +h; second = r2 at (a2 -h) + (a3 -h); the result is second - first.
void PolarPairDifferenceSum(double r1, double a1, double a2, double heading, double r2, double a3,
                            double& dist, double& bearing, bool relative);

// Ellipsoid of semi-major axis a and inverse flattening invF (0.0: a sphere of radius a);
// latitudes and differences in degrees, lengths in the unit of a.
// M along the meridian, N in the prime vertical.
void RadiiOfCurvature(double lat, double& M, double& N, double a, double invF);
// Small latitude/longitude differences at lat as metric east and north offsets.
void GeographicDeltasToMetric(double lat, double dLat, double dLon, double& east, double& north,
                              double a, double invF);
void GeographicDeltasToMetricWithRadii(double lat, double dLat, double dLon, double& east,
                                       double& north, double M, double N, double h);
// Latitude and longitude of an earth-centred point (on the ellipsoid's surface), in degrees or
// radians.
void CartesianToLatLon(double x, double y, double z, double& lat, double& lon, double invF,
                       bool degrees);
