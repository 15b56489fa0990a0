#include "definitions/records/definition_predicates.h"

#include <algorithm>
#include <initializer_list>

#include "definitions/records/definition_types.h"
#include "foundation/unit_types.h"

namespace {

constexpr int32_t kRovDepthKind = 51;
constexpr uint8_t kSurveyUnit = 25;
constexpr uint8_t kDefaultCoordKind = 2;

template <typename T>
bool OneOf(T value, std::initializer_list<T> values) {
    return std::find(values.begin(), values.end(), value) != values.end();
}

int SysTypeIn(const sSysDef* def, std::initializer_list<int32_t> types) {
    return def != nullptr && OneOf(def->sysType, types) ? 1 : 0;
}

uint32_t ObjTypeOf(const sObjDef* def) { return static_cast<uint32_t>(def->objType); }

// The definition form of an object-type test: nullValue for a null definition.
int ObjTest(const sObjDef* def, int (*test)(uint32_t), int nullValue) {
    return def == nullptr ? nullValue : test(ObjTypeOf(def));
}

bool HasRovDepthCode(const sObjDef* def) { return FindCodeOfKind(def, kRovDepthKind) != 0; }

int NodeTypeIn(const sNodeDef* def, std::initializer_list<uint32_t> types) {
    return def != nullptr && OneOf(def->nodeType, types) ? 1 : 0;
}

bool AllZero(double x, double y, double z) { return x == 0.0 && y == 0.0 && z == 0.0; }

}  // namespace

int IsComputedSystem(const sSysDef* def) { return SysTypeIn(def, {0, 16, 41, 46}); }
int IsMiscSensorSystem(const sSysDef* def) {
    return SysTypeIn(def, {5, 10, 22, 23, 24, 30, 31, 36, 37, 38, 39, 40, 41, 42, 46});
}
int IsPositioningSystem(const sSysDef* def) { return SysTypeIn(def, {2, 10, 11, 12, 24}); }
int IsNavigationSystem(const sSysDef* def) { return SysTypeIn(def, {10, 11, 12, 31}); }
int IsUsblOrLaybackSystem(const sSysDef* def) { return SysTypeIn(def, {2, 24}); }
int IsPositionOrDepthSystem(const sSysDef* def) { return SysTypeIn(def, {10, 11, 12, 24, 31, 38}); }
int IsAttitudeSystem(const sSysDef* def) { return SysTypeIn(def, {3, 5, 40}); }
int IsBundleSystem(const sSysDef* def) { return SysTypeIn(def, {37, 38, 39}); }
int IsEchosounderOrSonarSystem(const sSysDef* def) { return SysTypeIn(def, {1, 20, 25, 26, 27}); }
int IsSurveySensorSystem(const sSysDef* def) { return SysTypeIn(def, {1, 20, 26, 29, 35, 45}); }
int IsSinglebeamSystem(const sSysDef* def) { return SysTypeIn(def, {1}); }
int IsMultibeamSystem(const sSysDef* def) { return SysTypeIn(def, {20}); }
int IsSidescanSystem(const sSysDef* def) { return SysTypeIn(def, {25, 27}); }
int IsMagnetometerSystem(const sSysDef* def) { return SysTypeIn(def, {35}); }
int IsDredgingSystem(const sSysDef* def) { return SysTypeIn(def, {29}); }
int IsAdcpSystem(const sSysDef* def) { return SysTypeIn(def, {45}); }
int IsFlsSystem(const sSysDef* def) { return SysTypeIn(def, {47}); }
int IsTimeSystem(const sSysDef* def) { return SysTypeIn(def, {18, 43}); }
int IsOutputSystem(const sSysDef* def) { return SysTypeIn(def, {15}); }
int IsComputedAttitudeSystem(const sSysDef* def) { return SysTypeIn(def, {41}); }
int IsComputedHeightSystem(const sSysDef* def) { return SysTypeIn(def, {46}); }

int IsReferenceFrameObjType(uint32_t t) { return OneOf<uint32_t>(t, {101, 102}) ? 1 : 0; }
int IsVesselOrTowedObjType(uint32_t t) { return OneOf<uint32_t>(t, {0, 3, 10}) ? 1 : 0; }
int IsDependentObjType(uint32_t t) { return OneOf<uint32_t>(t, {1, 2, 11, 13, 14, 20, 21}) ? 1 : 0; }
int IsPipeBundleObjType(uint32_t t) { return t == 13 ? 1 : 0; }
int IsFlexibleObjType(uint32_t t) { return OneOf<uint32_t>(t, {1, 13}) ? 1 : 0; }
int IsRigidObjType(uint32_t t) { return IsFlexibleObjType(t) != 0 ? 0 : 1; }
int IsMobileObjType(uint32_t t) { return t <= 3 || (t >= 10 && t <= 15) ? 1 : 0; }
int IsMobileObjTypeExceptLinkTool(uint32_t t) { return t <= 3 || (t >= 10 && t <= 14) ? 1 : 0; }
int IsPointObjType(uint32_t t) { return OneOf<uint32_t>(t, {0, 2, 3, 10, 11, 12, 14, 15, 20}) ? 1 : 0; }

int IsReferenceFrameObject(const sObjDef* def) { return ObjTest(def, IsReferenceFrameObjType, 0); }
int IsVesselObject(const sObjDef* def) { return ObjTest(def, IsVesselObjType, 1); }
int IsVesselOrTowedObject(const sObjDef* def) {
    if (def != nullptr && HasRovDepthCode(def)) return 0;
    return ObjTest(def, IsVesselOrTowedObjType, 1);
}
int IsDependentObject(const sObjDef* def) {
    if (def != nullptr && HasRovDepthCode(def)) return 1;
    return ObjTest(def, IsDependentObjType, 0);
}
int IsPipeBundleObject(const sObjDef* def) { return ObjTest(def, IsPipeBundleObjType, 0); }
int IsFlexibleObject(const sObjDef* def) { return ObjTest(def, IsFlexibleObjType, 0); }
int IsRigidObject(const sObjDef* def) { return ObjTest(def, IsRigidObjType, 1); }
int IsMobileObject(const sObjDef* def) { return ObjTest(def, IsMobileObjType, 0); }
int IsMobileObjectExceptLinkTool(const sObjDef* def) { return ObjTest(def, IsMobileObjTypeExceptLinkTool, 0); }
int IsPointObject(const sObjDef* def) { return ObjTest(def, IsPointObjType, 0); }
int IsPhysicalObject(const sObjDef* def) {
    return def != nullptr && IsReferenceFrameObjType(ObjTypeOf(def)) == 0 ? 1 : 0;
}
int HasObjSubtype(const sObjDef* def) { return def != nullptr && def->subtype > 0 ? 1 : 0; }

int IsFixedNode(const sNodeDef* def) { return NodeTypeIn(def, {1, 2, 5}); }
int IsVariableNode(const sNodeDef* def) { return NodeTypeIn(def, {3, 4}); }
int IsFixedConstrainedOrVariableNode(const sNodeDef* def) { return NodeTypeIn(def, {2, 3, 4}); }

int IsZeroOffsetNode(const sNodeDef* def) { return def != nullptr && AllZero(def->x, def->y, def->z) ? 1 : 0; }
int HasNonZeroOffset(const sNodeDef* def) { return def != nullptr && !AllZero(def->x, def->y, def->z) ? 1 : 0; }

int AreSinglePrecisionOffsetsZero(const float* xyz) {
    return xyz != nullptr && AllZero(xyz[0], xyz[1], xyz[2]) ? 1 : 0;
}
int HasNonZeroSinglePrecisionOffset(const float* xyz) {
    return xyz != nullptr && !AllZero(xyz[0], xyz[1], xyz[2]) ? 1 : 0;
}

int ApplyNodeDefDefaults(sNodeDef* def) {
    if (def == nullptr) return 0;
    if (def->defaultsApplied == 0) {
        def->defaultsApplied = 1;
        def->unitCode = kSurveyUnit;
        def->coordKind = kDefaultCoordKind;
    }
    return 1;
}

void ConvertNodeDefUnits(sNodeDef& dst, sNodeDef src, uint8_t unitCode) {
    dst = src;
    if (dst.unitCode == unitCode) return;
    const double f = ConvertUnitValue(1.0, dst.unitCode, unitCode);
    dst.unitCode = unitCode;
    if (dst.coordKind != COORD_GEOGRAPHIC) {
        dst.x *= f;
        dst.y *= f;
    }
    dst.z *= f;
    const auto single = static_cast<float>(f);
    dst.sdX *= single;
    dst.sdY *= single;
    dst.sdZ *= single;
}

void GetNodeDefPositionInSurveyUnits(double* xyz, const sNodeDef* node) {
    if (xyz == nullptr || node == nullptr) return;
    xyz[0] = node->x;
    xyz[1] = node->y;
    xyz[2] = node->z;
    if (node->unitCode != kSurveyUnit) ConvertXyzUnits(xyz, node->unitCode, kSurveyUnit, -1);
}

void GetNodeDefPositionInUnits(double* xyz, const sNodeDef* node, int32_t unitCode, int32_t decimals) {
    if (xyz == nullptr || node == nullptr) return;
    xyz[0] = node->x;
    xyz[1] = node->y;
    xyz[2] = node->z;
    if (node->unitCode != unitCode) ConvertPositionUnits(xyz, node->coordKind, node->unitCode, unitCode, unitCode, decimals);
}

int32_t GetObjTypeIconIndex(int32_t objType, int32_t objectId) {
    switch (objType) {
        case 0: case 10: return objectId == 1 ? 7 : 3;
        case 1: return 4;
        case 2: return 5;
        case 3: return 6;
        case 11: return 10;
        case 12: return 8;
        case 13: return 11;
        case 14: return 9;
        case 15: return 14;
        case 20: return 12;
        case 21: return 13;
        case 101: return 1;
        case 102: return 2;
        default: return 0;
    }
}

int32_t GetSysTypeIconIndex(int32_t sysType) { return sysType; }

int32_t GetNodeTypeIconOffset(uint32_t nodeType, int32_t a, int32_t b) {
    switch (nodeType) {
        case 1: return 3;
        case 2: return b != 0 ? 6 : 1;
        case 3: case 4: return a != 0 ? 5 : 2;
        case 5: return 4;
        default: return 0;
    }
}
