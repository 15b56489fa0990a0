// Navigation on the sphere: great circles, closest approach, dead reckoning, rhumb lines,
// Mercator meridional parts and the Fresnel integrals.
//
// Latitudes and longitudes are in degrees, north and east positive; returned longitudes lie in
// (-180, 180] and bearings in [0, 360) unless stated. One nautical mile (NM) is one minute of
// arc, so no earth radius enters: d NM span d / 60 degrees. Speeds are in knots and times in
// seconds unless stated. A latitude beyond 89.99999999 degrees counts as a pole: the rhumb-line
// functions then use great circles and return false.
#pragma once

// Great circles. finalBearing is the direction of travel on arrival.
void GreatCircleDestination(double lat, double lon, double bearing, double distance, double& lat2,
                            double& lon2, double& finalBearing);
void GreatCircleDestinationPoint(double lat, double lon, double bearing, double distance,
                                 double& lat2, double& lon2);
// Distance (NM, at most half the circumference) and initial bearing; both 0.0 for one point.
void GreatCircleInverse(double lat1, double lon1, double lat2, double lon2, double& distance,
                        double& bearing);
// reverseBearing is the direction of travel on arrival at point 2.
void GreatCircleInverseBoth(double lat1, double lon1, double lat2, double lon2, double& distance,
                            double& bearing, double& reverseBearing);
// Halfway along the great circle; for two points on one parallel, halfway along the parallel.
void GreatCircleMidpoint(double lat1, double lon1, double lat2, double lon2, double& lat,
                         double& lon);
// The vertex (the point nearest a pole) of the great circle through (lat, lon) on bearing; the
// one that lies ahead for a track heading east of north or west of south.
void GreatCircleVertex(double lat, double lon, double bearing, double& latV, double& lonV);
// The latitude at lon of the great circle with vertex (latV, lonV).
void GreatCircleLatitudeAtLongitude(double latV, double lon, double lonV, double& lat);
// The longitude, of the two where the great circle with vertex (latV, lonV) crosses lat, nearer
// to lon0. false, with lon untouched, when the circle has no vertex latitude (an equator) or
// never reaches lat.
bool GreatCircleLongitudeAtLatitude(double lon0, double latV, double lonV, double lat,
                                    double& lon);
// Of P3 from the great circle P1 -> P2, in NM: crossTrack positive to the right of the track,
// alongTrack from P1 to the foot, negative behind P1.
void CrossTrackDistance(double lat1, double lon1, double lat2, double lon2, double lat3,
                        double lon3, double& crossTrack, double& alongTrack);
// 60 * degrees(asin(sin(a - b) cos(c) / cos(a))): the perpendicular distance (NM) of latitude b
// from a great circle that crosses the same meridian at latitude a and has vertex latitude c.
double MeridianOffset(double a, double b, double c);
// The perpendicular offset (NM) of (lat, lon) from the great circle through (lat1, lon1) on
// bearing, measured on the meridian of lon. Its sign goes with latitude, not with the track:
// negative north of the circle, positive south of it, so negative on the left of an eastbound
// track and on the right of a westbound one.
void GreatCircleOffsetAtLongitude(double lat1, double lon1, double bearing, double lat, double lon,
                                  double& offset);

// A moving point (speed in knots, course) and a fixed one: the closest distance (NM), the time
// until it (seconds, negative when past) and the moving point's position then.
void ClosestPointOfApproach(double lat1, double lon1, double speed, double course, double lat2,
                            double lon2, double& distance, double& time, double& latCpa,
                            double& lonCpa);
// Two moving points: their closest distance, the time until it and the first point's position
// then.
void ClosestPointOfApproachMoving(double lat1, double lon1, double speed1, double course1,
                                  double lat2, double lon2, double speed2, double course2,
                                  double& distance, double& time, double& lat, double& lon);
// The time (seconds) when the second point crosses the first's track, and the first point's
// distance (NM) short of the crossing then: negative when it has passed it (measured from its
// second start lat1b, lon1b), 0.0 when the crossing lies between its two starts. time -1.0 and
// distance 0.0 when the second point never crosses ahead in time. Returns time.
double CrossingTime(double lat1, double lon1, double lat1b, double lon1b, double speed1,
                    double course1, double lat2, double lon2, double speed2, double course2,
                    double& distance, double& time);
// Dead reckoning over dt seconds with a rate of turn in degrees per minute (positive to
// starboard): the new position and heading, and the centre of the turn (a point 1000 NM abeam
// when not turning).
void DeadReckonTurn(double dt, double lat, double lon, double heading, double course, double speed,
                    double rateOfTurn, double& latOut, double& lonOut, double& headingOut,
                    double& centreLat, double& centreLon);
// One step of dt seconds at speed (m/s) with rates of heading and course (degrees per second)
// and an acceleration (m/s^2); false, nothing changed, when the step would run backwards.
bool DeadReckonStep(double dt, double& lat, double& lon, double& heading, double& course,
                    double& speed, double headingRate, double acceleration, double courseRate);
// A state moved over dt seconds with heading in radians (clockwise from north), velocity1 along
// the heading and velocity2 to starboard (m/s), turnRate in radians per second, and constant
// accelerations of each. The path is integrated in closed form.
void SpiralPropagation(double dt, double& lat, double& lon, double& heading, double& velocity1,
                       double& velocity2, double& turnRate, double acceleration1,
                       double acceleration2, double turnAcceleration);

// Rhumb lines and Mercator meridional parts (in degrees of longitude).
double MeridionalParts(double lat);
double MeridionalPartsDifference(double lat1, double lat2);
double LatitudeFromMeridionalParts(double m);
bool RhumbLineDestination(double lat, double lon, double bearing, double distance, double& lat2,
                          double& lon2);
bool RhumbLineInverse(double lat1, double lon1, double lat2, double lon2, double& distance,
                      double& bearing);
bool RhumbLineMidpoint(double lat1, double lon1, double lat2, double lon2, double& lat,
                       double& lon);
// Of P3 from the rhumb line P1 -> P2, in NM, with the signs of CrossTrackDistance; false, both
// 0.0, when any latitude is beyond the polar limit.
bool RhumbLineCrossTrack(double lat1, double lon1, double lat2, double lon2, double lat3,
                         double lon3, double& crossTrack, double& alongTrack);
// Whether direction b lies within tolerance of a, either way round.
bool IsWithinAngle(double a, double b, double tolerance);

// C(x) and S(x), the integrals from 0 to x of cos(pi t^2 / 2) and sin(pi t^2 / 2); absolute
// error below 5e-8.
void FresnelIntegrals(double x, double& C, double& S);
