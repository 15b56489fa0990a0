// Plane geometry of circular arcs and of chainage (station) along straight or circular segments.
//
// x is easting, y northing; bearings run clockwise from grid north, in degrees unless a name
// says radians. Arc radii are signed: positive puts the centre to the right of the direction of
// travel from the first point to the second, negative to the left; 0.0 is a straight line.
// Inputs are taken by value, outputs through references.
#pragma once

// The tangent bearing (radians, [0, 2 pi)) at the start or end of the arc over the chord
// (dx, dy); the chord's bearing for a radius of 0.0.
double ArcTangentBearing(double dx, double dy, double radius, bool atStart);
double ArcTangentBearingDegrees(double dx, double dy, double radius, bool atStart);
double ArcTangentBearingBetween(double ax, double ay, double bx, double by, double radius,
                                bool atStart);
double ArcTangentBearingDegreesBetween(double ax, double ay, double bx, double by, double radius,
                                       bool atStart);

// Adds the chord of an arc step: fraction of a step of stepLength that starts on bearing and
// turns by stepTurn degrees over the whole step. false (nothing added) when fraction or
// stepLength is 0.0. A turn beyond a half circle either way is laid out through the chord of the
// rest of the full circle.
bool AddArcOffset(double& x, double& y, double stepLength, double bearing, double stepTurn,
                  double fraction);
// The same with the x step divided by sx and the y step by sy; false also when either divisor is
// below 0.001 in magnitude.
bool AddArcOffsetScaled(double& x, double& y, double stepLength, double bearing, double stepTurn,
                        double sx, double sy, double fraction);

// The length of the minor arc of radius over the chord A-B; the chord when the radius is 0.0 or
// shorter than half the chord.
double ArcLength(double ax, double ay, double bx, double by, double radius);
double ArcLength3D(double ax, double ay, double az, double bx, double by, double bz,
                   double radius);
double ArcLengthFromDeltas(double dx, double dy, double dz, double radius);
double ArcLengthFromChord(double ax, double ay, double bx, double by, double radius);
// The height of the minor arc over its chord; 0.0 for a radius of 0.0 or shorter than half the
// chord.
double Sagitta(double ax, double ay, double bx, double by, double radius);
double SagittaFromDeltas(double dx, double dy, double radius);
// The centre of the arc of radius from P1 to P2, through the chord's midpoint (byAngle clear)
// or by the angle at P1 (byAngle set). A radius shorter than half the chord puts the centre on
// the chord.
void ArcCentre(double x1, double y1, double x2, double y2, double radius, double& cx, double& cy,
               bool byAngle);
// The middle of the arc; returns the chord's bearing in radians, [0, 2 pi).
double ArcMidpoint(double x1, double y1, double x2, double y2, double radius, double& mx,
                   double& my);
// The chord of an arc of length that turns from heading0 to heading1, and its bearing.
double ArcChord(double length, double heading0, double heading1, double& chord,
                double& meanHeading);
void ArcPoint(double x0, double y0, double length, double heading0, double heading1, double& x,
              double& y);
// ArcPoint moved offset to starboard of heading1.
void ArcPointWithOffset(double x0, double y0, double offset, double length, double heading0,
                        double heading1, double& x, double& y);
// From a point offset0 to starboard at station0 to the point offset1 to starboard at station1.
void ArcPointBetweenOffsets(double x0, double y0, double offset0, double station0, double offset1,
                            double station1, double heading0, double heading1, double& x,
                            double& y);
// The bearings from the centre to the two points, ordered so that b1 <= b2 within a half
// circle going clockwise (b2 may exceed 360); 1 when they were swapped to get there.
int OrderArcBearings(double x1, double y1, double x2, double y2, double cx, double cy,
                     double& b1, double& b2);
// The angle step (degrees) for densifying the arc from b1 to b2 into pieces no longer than
// stepLength, at least minSteps pieces and never below 0.1 degree; -1.0 for a step length of
// 0.0 or less.
double ArcStepAngle(double b1, double b2, double radius, int minSteps, double stepLength);
// Whether ref lies strictly between the directions a and b, within their half circle.
bool IsBearingBetween(double ref, double a, double b);
// The bisector of the corner A-B(=C)-D; -1.0 unless C equals B.
double BisectorBearing(double ax, double ay, double bx, double by, double cx, double cy,
                       double dx, double dy);
// Whether the bearings from the centre to P1 and P2 run the way quadrant (1..4) expects.
bool IsArcBearingOrdered(int quadrant, double cx, double cy, double x1, double y1, double x2,
                         double y2);
// Where the line P1-P2 meets the arc of radius about C from bearing b1 to b2: at an end whose
// bearing the line has, or, for a radial line, on the arc between its ends. The line's reversed
// bearing is taken into [0, 360) before it is compared, and a line counts as radial when its
// bearings agree within 1e-10 degrees. quadrant receives the arc's quadrant (1..4) from the
// positions of its ends.
bool ArcRadialIntersection(double radius, double b1, double b2, double cx, double cy, double x1,
                           double y1, double x2, double y2, double& x, double& y, int& quadrant);

// The position at chainage s on the segment from P0 (chainage s0) to P1 (chainage s1) with the
// signed radius; returns the direction of travel there (radians, [0, 2 pi)), from P0 towards P1.
double PointAtChainage(double s, double x0, double y0, double s0, double x1, double y1, double s1,
                       double radius, double& x, double& y);
// The chainage of P along the segment from P1 to P2 (along, from P1), what remains to P2, the
// offset (positive to the right of travel), the segment's length and the direction of travel
// at P's foot (degrees). Returns along.
double ChainageOffsetOfPoint(double x1, double y1, double x2, double y2, double radius, double px,
                             double py, double& along, double& remaining, double& offset,
                             double& length, double& direction);
