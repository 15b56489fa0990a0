#include "definitions/records/definition_types.h"

#include <algorithm>
#include <array>
#include <initializer_list>
#include <utility>

#include "compat/resource_strings.h"

namespace {

constexpr const char* kUndefined = "Undefined";

constexpr std::array<const char*, 115> kObsTypeNames = {
    "Undefined", "Range", "Hyperbolic (Phase Difference)", "Hyperbolic (Time Difference)",
    "Pseudo-Range (Common Clock Bias)", "Pseudo-Range (Clock Bias per Range)",
    "Differential Observation", "Composite Observation", "Angle", "Direction",
    "Bearing (Magnetic)", "Bearing (True)", "Differential Bearing (True)", "Bearing (Grid)",
    kUndefined, kUndefined, kUndefined, kUndefined, kUndefined, kUndefined,  // 14..19
    "GPS Pseudo-Range", "GPS Code Phase", "GPS Carrier Phase", "GPS Doppler Frequency",
    kUndefined, kUndefined, kUndefined, kUndefined, kUndefined, kUndefined,  // 24..29
    "Latitude", "Longitude", "Height", "Differential Correction", "Fix Number", "Ephemerides",
    "Cycle Time", "Offset (X)", "Offset (Y)", "Offset (Z)", "Height Aiding", "Ionospheric Data",
    "Meteo Data", "USBL (dX)", "USBL (dY)", "USBL (dZ)", "Pitch", "Roll", "Heave",
    "Vertical Angle", "Singlebeam", "ROV Depth", "ROV Altitude", "P5/94 Code", "Multibeam",
    "Gun Control", "Speed", "Course", "Heartbeat Time", "Tide", "Layback Old", "Generic",
    "Sidescan Old", "Raw Data", "Multibeam (dX)", "Multibeam (dZ)", "Delta Position",
    "Position Speed", "Easting", "Northing", "Revolution", "Squat", "Froude", "Multi-Transducer",
    "Sidescan", "Generic Event", "Dredging", "Vertical Speed", "AIS Target", "ARPA Target",
    "Magnetic Field", "Sound Velocity", "Density", "Mixture Velocity", "Status", "Flag", "Weight",
    "Volume", "Draft", "Device Control", "Echosounder Raw Samples", "Pressure", "Rotation (X)",
    "Rotation (Y)", "Rotation (Z)", "Rate-of-Turn", "Water Column Data", "Layback",
    "Multibeam Snippets", "Acceleration (X)", "Acceleration (Y)", "Acceleration (Z)",
    "Velocity (X)", "Velocity (Y)", "Velocity (Z)", "Rate-of-Turn (X)", "Rate-of-Turn (Y)",
    "Rate-of-Turn (Z)", "Easting Speed", "Northing Speed", "PPS Timetag", "PPS Pulse", "SBP Data",
    "ADCP Speed", "FLS Data"};

constexpr std::array<const char*, 48> kSysTypeNames = {
    "Undefined", "Singlebeam Echosounder", "USBL System", "Pitch Roll Heave Sensor",
    "Streamer Compass", "Gyro Compass", "Auxiliary Seismic Channel", "Streamer Depth Sensor",
    "Gun Array Depth Sensor", "Gun Array Pressure Sensor", "Surface Navigation System",
    "Satellite Navigation System", "Position Navigation System", "Differential Corrections System",
    "External Header System", "Output System", "Offset System", "Closure Output System",
    "Time Synchronization System", "P5/94 Generator", "Multibeam Echosounder", "Gun Controller",
    "Tide Gauge", "Miscellaneous System", "Layback System", "Sidescan Sonar (old)",
    "Multi-Transducer Echosounder", "Sidescan Sonar", "Eventing System", "Dredging System",
    "Speed Log", "Underwater Sensor", "AIS System", "ARPA System", "Sound Velocity Profile System",
    "Magnetometer", "Dredging Sensor", "Bundle Gyro Compass", "Bundle Depth Sensor",
    "Bundle Auxiliary Sensor", "Rotation Angle Sensor", "Computed Attitude",
    "Acceleration Velocity Sensor", "PPS Pulse System", "Sub Bottom Profiling",
    "Acoustic Doppler Current Profiler", "Computed Height", "Forward Looking Sonar"};

constexpr std::array<const char*, 6> kNodeTypeNames = {"Undefined",        "DCS Station",
                                                        "Fixed Node",       "Constrained Node",
                                                        "Variable Node",    "Satellite Vehicle"};

struct sObsGroup {
    std::initializer_list<int32_t> types;
    const char* caption;
};

const sObsGroup kObsGroups[] = {
    {{30, 31, 32}, "Position"},           {{68, 69}, "Position"},
    {{37, 38, 39}, "Offset (X, Y, Z)"},   {{43, 44, 45}, "USBL (dX, dY, dZ)"},
    {{46, 47, 48}, "Pitch, Roll and Heave"}, {{92, 93, 94}, "Rotation (X, Y, Z)"},
};

template <typename T>
bool IsOneOf(T value, std::initializer_list<T> set) {
    return std::find(set.begin(), set.end(), value) != set.end();
}

CString Cased(CString text, int8_t upper) {
    if (upper != 0) text.MakeUpper();
    return text;
}

}  // namespace

CString GetObjDefName(const sObjDef* def) {
    return def != nullptr ? FieldText(def->name) : CString();
}

CString GetObjDefNameOr(const sObjDef* def, CString fallback) {
    return def != nullptr ? FieldText(def->name) : fallback;
}

CString GetVesselObjectCaption(int32_t objectId, const sObjDef* ownVessel) {
    if (ownVessel == nullptr) return CString("???");
    if (objectId == 0 || objectId == ownVessel->objectId) return GetObjDefName(ownVessel);
    if (objectId >= 1) {
        CString caption;
        caption.Format("Vessel Object %d", objectId);
        return caption;
    }
    return GetVesselSelectorName(objectId);
}

CString GetObsDefName(const sObsDef* def) {
    return def != nullptr ? FieldText(def->name) : CString();
}

CString GetObsDefNameOr(const sObsDef* def, CString fallback) {
    return def != nullptr ? FieldText(def->name) : fallback;
}

CString GetNodeDefName(const sNodeDef* def) {
    return def != nullptr ? FieldText(def->name) : CString();
}

CString GetNodeDefNameOr(const sNodeDef* def, CString fallback) {
    return def != nullptr ? FieldText(def->name) : fallback;
}

CString GetSysDefName(const sSysDef* def) {
    return def != nullptr ? FieldText(def->name) : CString();
}

CString GetSysDefNameOr(const sSysDef* def, CString fallback) {
    return def != nullptr ? FieldText(def->name) : fallback;
}

CString GetObsTypeName(uint32_t obsType, int32_t group, int32_t sysType) {
    if (obsType >= kObsTypeNames.size()) return kUndefined;
    const auto type = static_cast<int32_t>(obsType);
    if (group != 0) {
        for (const sObsGroup& g : kObsGroups) {
            if (IsOneOf(type, g.types)) return g.caption;
        }
    }
    if (type == 52 && sysType == SYS_DREDGING_SENSOR) return "Hopper Level";
    return kObsTypeNames[obsType];
}

CString GetSysTypeName(int32_t sysType) {
    if (sysType < 1 || sysType > SYS_TYPE_LAST) return kUndefined;
    return kSysTypeNames[static_cast<size_t>(sysType)];
}

CString GetObjTypeName(uint32_t objType) {
    static const std::pair<uint32_t, const char*> kNames[] = {
        {0, "Vessel"},          {1, "Streamer"},         {2, "Gun Array"},   {3, "Towed Object"},
        {10, "Survey Vessel"},  {11, "ROV, AUV, Towhead"}, {12, "Dredging Tool"},
        {13, "Pipe Bundle"},    {14, "Towed Fish"},      {15, "Link Tool"},  {20, "Benchmark"},
        {21, "Anchor"},         {101, "Earth"},          {102, "Space"}};
    for (const auto& [code, name] : kNames) {
        if (code == objType) return name;
    }
    return kUndefined;
}

CString GetNodeTypeName(uint32_t nodeType) {
    return nodeType < kNodeTypeNames.size() ? kNodeTypeNames[nodeType] : kUndefined;
}

CString GetCoordKindName(uint32_t kind, int8_t upper) {
    const char* text = kind == COORD_GEOGRAPHIC ? "Geographic"
                       : kind == COORD_LOCAL_GRID ? "Local Grid"
                       : kind == COORD_ECEF       ? "ECEF X,Y,Z"
                       : kind == COORD_PROJECTION ? "Projection"
                                                  : kUndefined;
    return Cased(text, upper);
}

CString GetCoordKindShortName(uint32_t kind, int8_t upper) {
    const char* text = kind == COORD_GEOGRAPHIC ? "Geo"
                       : kind == COORD_LOCAL_GRID ? "Grid"
                       : kind == COORD_ECEF       ? "ECEF"
                       : kind == COORD_PROJECTION ? "Proj"
                                                  : "???";
    return Cased(text, upper);
}

CString GetDatumSelectorName(int32_t datum, int8_t upper) {
    CString text;
    switch (datum) {
        case -3: text = "GRS80"; break;
        case -2: text = "WGS84"; break;
        case -1: text = "Auto"; break;
        case 0: text = "Survey"; break;
        // Widened, so that the largest code cannot overflow.
        default: text.Format("Datum%lld", static_cast<long long>(datum) + 1); break;
    }
    return Cased(text, upper);
}

CString GetHeightSelectorName(uint32_t height, int8_t upper) {
    CString text;
    switch (height) {
        case 0: text = "Datum"; break;
        case 1: text = "Geoid"; break;
        case 2: text = "Level"; break;
        case 9: text = "Setup"; break;
        default: text.Format("Height%u", height); break;
    }
    return Cased(text, upper);
}

CString GetFilterKindName(uint32_t kind) {
    switch (kind) {
        case 0: return "Mean Filter";
        case 1: return "Median Filter";
        case 2: return "Gate Filter";
        default: return kUndefined;
    }
}

CString GetVesselSelectorName(int32_t selector) {
    switch (selector) {
        case -2: return "Mean of All Objects";
        case -1: return "Master Vessel Object";
        case 0: return "Own Vessel Object";
        case 1: return "Vessel Object Id";
        default: return kUndefined;
    }
}

uint32_t GetTideStrategyTypeResource(int32_t tideModel) {
    switch (tideModel) {
        case -9: return 20115;
        case -3: return 20465;
        case -2: return 20101;
        case -1: return 20082;
        case 0: return 20461;
        case 1: return 20100;
        case 2: return 20464;
        default: return 20154;
    }
}

uint32_t GetCodeResourceNumber(int32_t code) {
    if (code >= 2 && code <= 10) return static_cast<uint32_t>(code + 20464);
    switch (code) {
        case -1: return 20157;
        case 0: return 20151;
        case 1: return 20082;
        case 11: return 20484;
        case 12: return 20482;
        case 13: return 20496;
        default: return 20154;
    }
}

CString GetTideStrategyTypeName(int32_t tideModel) {
    return ZRES_GetString(GetTideStrategyTypeResource(tideModel));
}

CString GetCodeResourceCaption(int32_t code) {
    return ZRES_GetString(GetCodeResourceNumber(code));
}

int IsVesselObjType(uint32_t objType) {
    return objType == OBJ_VESSEL || objType == OBJ_SURVEY_VESSEL ? 1 : 0;
}

int IsRovDredgeOrFishObjType(uint32_t objType) {
    return IsOneOf<uint32_t>(objType, {11, 12, 14}) ? 1 : 0;
}

int IsSingleValueObsType(int32_t obsType, int32_t secondNode) {
    if (obsType >= 10 && obsType <= 13) return secondNode == 0 ? 1 : 0;
    if (obsType >= 99 && obsType <= 109) return 1;
    return IsOneOf(obsType, {1, 8, 9, 46, 47, 48, 51, 56, 61, 77, 81, 82, 83, 85, 86, 87, 88, 91,
                             92, 93, 94, 97})
               ? 1
               : 0;
}

int IsGpsObsTypeExceptCodePhase(int32_t obsType) {
    return IsOneOf(obsType, {20, 22, 23}) ? 1 : 0;
}

int IsHyperbolicOrCodePhaseObsType(int32_t obsType) {
    return IsOneOf(obsType, {2, 3, 21}) ? 1 : 0;
}

int IsRovDepthObsType(int32_t obsType) {
    return obsType == 51 ? 1 : 0;
}

int AlwaysFalse() {
    return 0;
}
