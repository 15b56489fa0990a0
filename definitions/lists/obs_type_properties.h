// What follows from an observation type alone (default standard deviation, update interval, unit
// type, vertical sense, tree icon), predicates that classify an observation definition, and the
// completion and unit change of a definition. Stateless; predicates give 1 or 0 and 0 for null.
#pragma once

#include <cstdint>

#include "definitions/records/definition_records.h"

class CNodeDefList;
class CObjDefList;
class CSysDefList;

// In the type's base unit (metres, degrees or bar); 999.0 for -1 (no type), 1.0 for unlisted codes.
float GetObsTypeDefaultSigma(int32_t obsType);
// The default standard deviation expressed in a unit type; soundVelocity (current length units
// per second, 0.0 for the default 1485 m/s) turns a range into time units.
float GetObsTypeDefaultSigmaInUnits(int32_t obsType, int32_t unitType, double soundVelocity);
// Seconds; the interval to use when a definition gives a negative one.
float GetObsTypeDefaultInterval(int32_t obsType);
double GetObsTypeDefaultMaxExtrapolation();
// A unit-type code, or -1 for a type without a unit.
int32_t GetObsTypeUnitType(int32_t obsType);
uint32_t GetObsTypeIconIndex(int32_t obsType);
// +1 or -1 for height-like values that a lever arm under roll and pitch changes, else 0.
int32_t GetObsTypeVerticalSense(const sObsDef* def);

int IsCircularObs(const sObsDef* def);
int IsSignedAngleObs(const sObsDef* def);
int IsBearingObs(const sObsDef* def);
int IsGridBearingOrCourseObs(const sObsDef* def);
// 2 for latitude and easting, 3 for the first of an offset, USBL or pitch-roll-heave group, else 0.
int GetObsComponentCount(const sObsDef* def);
int IsObsDefLinkNegative(const sObsDef* def);
int IsSimpleValueObs(const sObsDef* def);
int IsGpsObs(const sObsDef* def);
int IsDiffCorrectionObs(const sObsDef* def);
int IsUsblObs(const sObsDef* def);
int IsPositionObs(const sObsDef* def);
int IsRotationObs(const sObsDef* def);
int IsPitchRollHeaveObs(const sObsDef* def);
int IsHeaveObs(const sObsDef* def);
int IsRangeOrLaybackObs(const sObsDef* def);
int IsAngularObs(const sObsDef* def);
int IsBearingBetweenNodesObs(const sObsDef* def);
int IsHeadingObs(const sObsDef* def);
int IsLinkedHeadingObs(const sObsDef* def);
int IsLinkedSpeedObs(const sObsDef* def);
int IsLinkedVerticalSpeedObs(const sObsDef* def);
int IsHeadingOrSpeedObs(const sObsDef* def);
int IsHeadingOrYawObs(const sObsDef* def);
int IsTiltObs(const sObsDef* def);
int IsHeaveOrRovDepthObs(const sObsDef* def);
int IsHeightAidingOrSquatObs(const sObsDef* def);
int IsUsblDzVerticalAngleOrLaybackObs(const sObsDef* def);
int IsPseudoRangeOrHeightObs(const sObsDef* def);
int IsOffsetObs(const sObsDef* def);
int IsGenericObs(const sObsDef* def);
int IsTargetObs(const sObsDef* def);
int IsSurveySensorObs(const sObsDef* def);
int IsSidescanObs(const sObsDef* def);
int IsSonarObs(const sObsDef* def);
int IsPpsObs(const sObsDef* def);
int IsAdcpObs(const sObsDef* def);
int IsFlsObs(const sObsDef* def);
int IsTideObs(const sObsDef* def);
int IsAttitudeObs(const sObsDef* def);
int IsAttitudeObsWithNegativeLink(const sObsDef* def);
int IsTideOrDraftObs(const sObsDef* def);
int IsPositioningObs(const sObsDef* def);
int IsPositioningOrSensorObs(const sObsDef* def);
// The object of the node is a pipe bundle, or the system is a bundle sensor (37, 38, 39); 0 for
// a null definition or a missing list, node, object or system.
int IsBundleObs(const sObsDef* def, const CNodeDefList* nodes, const CObjDefList* objects,
                const CSysDefList* systems);

// Fills an unset standard deviation (when fillSigma is non-zero), a zero scale and a zero display
// node; 1, or 0 for null.
int ApplyObsDefDefaults(sObsDef* def, int32_t fillSigma);
// dst becomes src re-expressed in the new unit type: scale, corrections and standard deviation
// scaled, the quadratic term by the square. Device control and PPS time tags are only copied.
void ConvertObsDefUnits(sObsDef& dst, sObsDef src, uint32_t newUnitType);
// The factor that takes the definition's values to their base unit, and further to metres or
// radians when asked; 1.0 for null.
double GetObsDefValueFactor(const sObsDef* def, int32_t meters, int32_t radians);
