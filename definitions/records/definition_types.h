// The vocabulary of the project definitions: the codes of observation, system, object and node
// types and of the other selectors, their captions, and the names of definition records. Every
// function is stateless and total: an unlisted code gives a fixed fallback text.
#pragma once

#include <cstdint>

#include "compat/cstring.h"
#include "definitions/records/definition_records.h"
#include "definitions/records/obj_def_record.h"

// Observation types (held in sObsDef::obsType), 0..114; the ones the driver works with are named.
enum ObsType : int32_t {
    OBS_UNDEFINED = 0,
    OBS_RANGE = 1,
    OBS_BEARING_TRUE = 11,
    OBS_LATITUDE = 30,
    OBS_LONGITUDE = 31,
    OBS_HEIGHT = 32,
    OBS_GENERIC = 61,
    OBS_DEVICE_CONTROL = 89,
    OBS_PPS_TIMETAG = 110,
    OBS_TYPE_LAST = 114,
};

// System types (sSysDef::sysType), 1..47.
enum SysType : int32_t {
    SYS_UNDEFINED = 0,
    SYS_DREDGING_SENSOR = 36,
    SYS_TYPE_LAST = 47,
};

// Object types, node types and coordinate kinds are unsigned codes.
enum ObjType : uint32_t {
    OBJ_VESSEL = 0,
    OBJ_SURVEY_VESSEL = 10,
    OBJ_PIPE_BUNDLE = 13,
};

enum NodeType : uint32_t {
    NODE_UNDEFINED = 0,
    NODE_DCS_STATION = 1,
    NODE_FIXED = 2,
    NODE_CONSTRAINED = 3,
    NODE_VARIABLE = 4,
    NODE_SATELLITE_VEHICLE = 5,
};

enum CoordKind : uint32_t {
    COORD_GEOGRAPHIC = 0,
    COORD_LOCAL_GRID = 1,
    COORD_ECEF = 2,
    COORD_PROJECTION = 9,
};

// Names of definition records, cut at the end of the name field; an empty text (or the fallback)
// for a null record.
CString GetObsDefName(const sObsDef* def);
CString GetObsDefNameOr(const sObsDef* def, CString fallback);
CString GetNodeDefName(const sNodeDef* def);
CString GetNodeDefNameOr(const sNodeDef* def, CString fallback);
CString GetSysDefName(const sSysDef* def);
CString GetSysDefNameOr(const sSysDef* def, CString fallback);
CString GetObjDefName(const sObjDef* def);
CString GetObjDefNameOr(const sObjDef* def, CString fallback);

// Captions of codes. group non-zero asks for the caption of the measured group (30, 31 and 32
// read "Position"); type 52 reads "Hopper Level" with system type 36.
CString GetObsTypeName(uint32_t obsType, int32_t group, int32_t sysType);
CString GetSysTypeName(int32_t sysType);
CString GetObjTypeName(uint32_t objType);
CString GetNodeTypeName(uint32_t nodeType);
// upper non-zero upper-cases the finished caption.
CString GetCoordKindName(uint32_t kind, int8_t upper);
CString GetCoordKindShortName(uint32_t kind, int8_t upper);
CString GetDatumSelectorName(int32_t datum, int8_t upper);
CString GetHeightSelectorName(uint32_t height, int8_t upper);
CString GetFilterKindName(uint32_t kind);
CString GetVesselSelectorName(int32_t selector);
// "???" without the own vessel's definition; its name for id 0 or its own id; "Vessel Object %d"
// for another id; the vessel-selector caption for a negative one.
CString GetVesselObjectCaption(int32_t objectId, const sObjDef* ownVessel);
// Texts of the resource library, chosen by code.
CString GetTideStrategyTypeName(int32_t tideModel);
CString GetCodeResourceCaption(int32_t code);
// The resource numbers behind the two captions above.
uint32_t GetTideStrategyTypeResource(int32_t tideModel);
uint32_t GetCodeResourceNumber(int32_t code);

// Predicates over bare codes; 1 or 0.
int IsVesselObjType(uint32_t objType);
int IsRovDredgeOrFishObjType(uint32_t objType);
// 10 to 13 count only without a second node (secondNode 0).
int IsSingleValueObsType(int32_t obsType, int32_t secondNode);
int IsGpsObsTypeExceptCodePhase(int32_t obsType);
int IsHyperbolicOrCodePhaseObsType(int32_t obsType);
int IsRovDepthObsType(int32_t obsType);
int AlwaysFalse();
