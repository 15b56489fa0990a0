// Predicates that classify system, object and node definitions by their type codes, the defaults
// and unit changes of node definitions, and the icon indexes of the definition types. Stateless;
// predicates give 1 or 0.
#pragma once

#include <cstdint>

#include "definitions/records/definition_records.h"
#include "definitions/records/obj_def_record.h"

// Systems; 0 for null.
int IsComputedSystem(const sSysDef* def);
int IsMiscSensorSystem(const sSysDef* def);
int IsPositioningSystem(const sSysDef* def);
int IsNavigationSystem(const sSysDef* def);
int IsUsblOrLaybackSystem(const sSysDef* def);
int IsPositionOrDepthSystem(const sSysDef* def);
int IsAttitudeSystem(const sSysDef* def);
int IsBundleSystem(const sSysDef* def);
int IsEchosounderOrSonarSystem(const sSysDef* def);
int IsSurveySensorSystem(const sSysDef* def);
int IsSinglebeamSystem(const sSysDef* def);
int IsMultibeamSystem(const sSysDef* def);
int IsSidescanSystem(const sSysDef* def);
int IsMagnetometerSystem(const sSysDef* def);
int IsDredgingSystem(const sSysDef* def);
int IsAdcpSystem(const sSysDef* def);
int IsFlsSystem(const sSysDef* def);
int IsTimeSystem(const sSysDef* def);
int IsOutputSystem(const sSysDef* def);
int IsComputedAttitudeSystem(const sSysDef* def);
int IsComputedHeightSystem(const sSysDef* def);

// Objects, over a definition (its object type) and over a bare object-type code. A null
// definition gives 1 for the vessel, vessel-or-towed and rigid tests, 0 for the others. The
// vessel code test is IsVesselObjType of the type vocabulary.
int IsReferenceFrameObject(const sObjDef* def);
int IsReferenceFrameObjType(uint32_t objType);
int IsVesselObject(const sObjDef* def);
// A definition whose code table holds an ROV depth code (kind 51) is a dependent object instead.
int IsVesselOrTowedObject(const sObjDef* def);
int IsVesselOrTowedObjType(uint32_t objType);
int IsDependentObject(const sObjDef* def);
int IsDependentObjType(uint32_t objType);
int IsPipeBundleObject(const sObjDef* def);
int IsPipeBundleObjType(uint32_t objType);
int IsFlexibleObject(const sObjDef* def);
int IsFlexibleObjType(uint32_t objType);
int IsRigidObject(const sObjDef* def);
int IsRigidObjType(uint32_t objType);
int IsMobileObject(const sObjDef* def);
int IsMobileObjType(uint32_t objType);
int IsMobileObjectExceptLinkTool(const sObjDef* def);
int IsMobileObjTypeExceptLinkTool(uint32_t objType);
int IsPointObject(const sObjDef* def);
int IsPointObjType(uint32_t objType);
int IsPhysicalObject(const sObjDef* def);
// The setting after the object type is above 0.
int HasObjSubtype(const sObjDef* def);

// Nodes; 0 for null.
int IsFixedNode(const sNodeDef* def);
int IsVariableNode(const sNodeDef* def);
int IsFixedConstrainedOrVariableNode(const sNodeDef* def);
// All three coordinates exactly 0.0.
int IsZeroOffsetNode(const sNodeDef* def);
// Not all three exactly 0.0 (a NaN counts as non-zero).
int HasNonZeroOffset(const sNodeDef* def);
// The same two tests over three single-precision offsets; 0 for null.
int AreSinglePrecisionOffsetsZero(const float* xyz);
int HasNonZeroSinglePrecisionOffset(const float* xyz);
// While the defaults flag is 0: flag 1, unit code 25 (Survey Unit), coordinate kind 2. 1, or 0
// for null.
int ApplyNodeDefDefaults(sNodeDef* def);
// dst becomes src re-expressed in the new unit code: x and y unless geographic, z and the three
// standard deviations.
void ConvertNodeDefUnits(sNodeDef& dst, sNodeDef src, uint8_t unitCode);
// The three coordinates in survey units; xyz is left alone for a null node.
void GetNodeDefPositionInSurveyUnits(double* xyz, const sNodeDef* node);
// The three coordinates in the unit code (angles of a geographic node as degrees, or radians for
// Radians), rounded to decimals when that is 0 or more; xyz is left alone for a null node.
void GetNodeDefPositionInUnits(double* xyz, const sNodeDef* node, int32_t unitCode, int32_t decimals);

// Icon indexes of the tree display.
int32_t GetObjTypeIconIndex(int32_t objType, int32_t objectId);
int32_t GetSysTypeIconIndex(int32_t sysType);
int32_t GetNodeTypeIconOffset(uint32_t nodeType, int32_t a, int32_t b);
