#include "definitions/records/definition_predicates.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <set>
#include <string>

#include "compat/unit_library.h"

namespace {

using SysPredicate = int (*)(const sSysDef*);

std::set<int32_t> TypesOf(SysPredicate predicate) {
    std::set<int32_t> types;
    for (int32_t t = -1; t <= 50; ++t) {
        sSysDef def;
        def.sysType = t;
        if (predicate(&def) != 0) types.insert(t);
    }
    return types;
}

TEST(DefinitionPredicates, SystemTypes) {
    struct sRow {
        const char* name;
        SysPredicate predicate;
        std::set<int32_t> types;
    };
    const sRow rows[] = {
        {"Computed", IsComputedSystem, {0, 16, 41, 46}},
        {"MiscSensor", IsMiscSensorSystem, {5, 10, 22, 23, 24, 30, 31, 36, 37, 38, 39, 40, 41, 42, 46}},
        {"Positioning", IsPositioningSystem, {2, 10, 11, 12, 24}},
        {"Navigation", IsNavigationSystem, {10, 11, 12, 31}},
        {"UsblOrLayback", IsUsblOrLaybackSystem, {2, 24}},
        {"PositionOrDepth", IsPositionOrDepthSystem, {10, 11, 12, 24, 31, 38}},
        {"Attitude", IsAttitudeSystem, {3, 5, 40}},
        {"Bundle", IsBundleSystem, {37, 38, 39}},
        {"EchosounderOrSonar", IsEchosounderOrSonarSystem, {1, 20, 25, 26, 27}},
        {"SurveySensor", IsSurveySensorSystem, {1, 20, 26, 29, 35, 45}},
        {"Singlebeam", IsSinglebeamSystem, {1}},
        {"Multibeam", IsMultibeamSystem, {20}},
        {"Sidescan", IsSidescanSystem, {25, 27}},
        {"Magnetometer", IsMagnetometerSystem, {35}},
        {"Dredging", IsDredgingSystem, {29}},
        {"Adcp", IsAdcpSystem, {45}},
        {"Fls", IsFlsSystem, {47}},
        {"Time", IsTimeSystem, {18, 43}},
        {"Output", IsOutputSystem, {15}},
        {"ComputedAttitude", IsComputedAttitudeSystem, {41}},
        {"ComputedHeight", IsComputedHeightSystem, {46}},
    };
    for (const sRow& row : rows) {
        EXPECT_EQ(TypesOf(row.predicate), row.types) << row.name;
        EXPECT_EQ(row.predicate(nullptr), 0) << row.name;
    }
}

using ObjPredicate = int (*)(const sObjDef*);
using ObjTypePredicate = int (*)(uint32_t);

TEST(DefinitionPredicates, ObjectTypes) {
    const std::set<uint32_t> all = {0, 1, 2, 3, 10, 11, 12, 13, 14, 15, 20, 21, 101, 102, 7};
    struct sRow {
        const char* name;
        ObjPredicate definition;
        ObjTypePredicate code;
        std::set<uint32_t> types;
        int null;
    };
    const sRow rows[] = {
        {"ReferenceFrame", IsReferenceFrameObject, IsReferenceFrameObjType, {101, 102}, 0},
        {"Vessel", IsVesselObject, nullptr, {0, 10}, 1},
        {"VesselOrTowed", IsVesselOrTowedObject, IsVesselOrTowedObjType, {0, 3, 10}, 1},
        {"Dependent", IsDependentObject, IsDependentObjType, {1, 2, 11, 13, 14, 20, 21}, 0},
        {"PipeBundle", IsPipeBundleObject, IsPipeBundleObjType, {13}, 0},
        {"Flexible", IsFlexibleObject, IsFlexibleObjType, {1, 13}, 0},
        {"Rigid", IsRigidObject, IsRigidObjType, {0, 2, 3, 10, 11, 12, 14, 15, 20, 21, 101, 102, 7}, 1},
        {"Mobile", IsMobileObject, IsMobileObjType, {0, 1, 2, 3, 10, 11, 12, 13, 14, 15}, 0},
        {"MobileExceptLinkTool", IsMobileObjectExceptLinkTool, IsMobileObjTypeExceptLinkTool,
         {0, 1, 2, 3, 10, 11, 12, 13, 14}, 0},
        {"Point", IsPointObject, IsPointObjType, {0, 2, 3, 10, 11, 12, 14, 15, 20}, 0},
        {"Physical", IsPhysicalObject, nullptr, {0, 1, 2, 3, 10, 11, 12, 13, 14, 15, 20, 21, 7}, 0},
    };
    for (const sRow& row : rows) {
        for (uint32_t t : all) {
            sObjDef def{};
            def.objType = static_cast<int32_t>(t);
            const int expected = row.types.count(t) != 0 ? 1 : 0;
            EXPECT_EQ(row.definition(&def), expected) << row.name << " " << t;
            if (row.code != nullptr) {
                EXPECT_EQ(row.code(t), expected) << row.name << " " << t;
            }
        }
        EXPECT_EQ(row.definition(nullptr), row.null) << row.name;
    }
    // An ROV depth code in the code table makes a vessel a dependent object.
    sObjDef rov{};
    rov.codeTable[4] = 51000001;
    EXPECT_EQ(IsVesselOrTowedObject(&rov), 0);
    EXPECT_EQ(IsDependentObject(&rov), 1);
    EXPECT_EQ(IsVesselObject(&rov), 1);
    sObjDef sub{};
    EXPECT_EQ(HasObjSubtype(&sub), 0);
    sub.subtype = 2;
    EXPECT_EQ(HasObjSubtype(&sub), 1);
    sub.subtype = -1;
    EXPECT_EQ(HasObjSubtype(&sub), 0);
    EXPECT_EQ(HasObjSubtype(nullptr), 0);
}

TEST(DefinitionPredicates, Nodes) {
    struct sRow {
        uint32_t nodeType;
        int fixed, variable, fixedConstrainedOrVariable;
    };
    const sRow rows[] = {{0, 0, 0, 0}, {1, 1, 0, 0}, {2, 1, 0, 1}, {3, 0, 1, 1}, {4, 0, 1, 1}, {5, 1, 0, 0}, {6, 0, 0, 0}};
    for (const sRow& row : rows) {
        sNodeDef n{};
        n.nodeType = row.nodeType;
        EXPECT_EQ(IsFixedNode(&n), row.fixed) << row.nodeType;
        EXPECT_EQ(IsVariableNode(&n), row.variable) << row.nodeType;
        EXPECT_EQ(IsFixedConstrainedOrVariableNode(&n), row.fixedConstrainedOrVariable) << row.nodeType;
    }
    EXPECT_EQ(IsFixedNode(nullptr), 0);

    const double nan = std::numeric_limits<double>::quiet_NaN();
    struct sOffset {
        double x, y, z;
        int zero, nonZero;
    };
    const sOffset offsets[] = {{0.0, 0.0, 0.0, 1, 0}, {0.0, -0.0, 0.0, 1, 0}, {0.0, 0.0, 1e-300, 0, 1}, {nan, 0.0, 0.0, 0, 1}};
    for (const sOffset& o : offsets) {
        sNodeDef n{};
        n.x = o.x;
        n.y = o.y;
        n.z = o.z;
        EXPECT_EQ(IsZeroOffsetNode(&n), o.zero) << o.z;
        EXPECT_EQ(HasNonZeroOffset(&n), o.nonZero) << o.z;
        const float single[3] = {static_cast<float>(o.x), static_cast<float>(o.y), o.z == 0.0 ? 0.0f : 1.0f};
        EXPECT_EQ(AreSinglePrecisionOffsetsZero(single), o.zero);
        EXPECT_EQ(HasNonZeroSinglePrecisionOffset(single), o.nonZero);
    }
    EXPECT_EQ(IsZeroOffsetNode(nullptr), 0);
    EXPECT_EQ(HasNonZeroOffset(nullptr), 0);
    EXPECT_EQ(AreSinglePrecisionOffsetsZero(nullptr), 0);
}

TEST(DefinitionPredicates, NodeDefaults) {
    sNodeDef fresh{};
    EXPECT_EQ(ApplyNodeDefDefaults(&fresh), 1);
    EXPECT_EQ(fresh.defaultsApplied, 1);
    EXPECT_EQ(fresh.unitCode, 25);
    EXPECT_EQ(fresh.coordKind, 2);
    sNodeDef set{};
    set.defaultsApplied = 1;
    set.unitCode = 0;
    set.coordKind = 0;
    EXPECT_EQ(ApplyNodeDefDefaults(&set), 1);
    EXPECT_EQ(set.unitCode, 0);
    EXPECT_EQ(set.coordKind, 0);
    EXPECT_EQ(ApplyNodeDefDefaults(nullptr), 0);
}

TEST(DefinitionPredicates, NodeUnitConversion) {
    sNodeDef src{};
    src.unitCode = 0;  // metres
    src.coordKind = 1;
    src.x = 0.3048;
    src.y = 3.048;
    src.z = -30.48;
    src.sdX = 0.3048f;
    src.sdZ = 3.048f;
    sNodeDef dst{};
    ConvertNodeDefUnits(dst, src, 1);  // to feet
    EXPECT_EQ(dst.unitCode, 1);
    EXPECT_NEAR(dst.x, 1.0, 1e-12);
    EXPECT_NEAR(dst.y, 10.0, 1e-12);
    EXPECT_NEAR(dst.z, -100.0, 1e-12);
    EXPECT_NEAR(dst.sdX, 1.0f, 1e-6f);
    EXPECT_NEAR(dst.sdZ, 10.0f, 1e-5f);

    src.coordKind = 0;  // geographic: latitude and longitude stay
    src.x = 52.5;
    src.y = 4.25;
    ConvertNodeDefUnits(dst, src, 1);
    EXPECT_EQ(dst.x, 52.5);
    EXPECT_EQ(dst.y, 4.25);
    EXPECT_NEAR(dst.z, -100.0, 1e-12);
    EXPECT_NEAR(dst.sdX, 1.0f, 1e-6f);

    ConvertNodeDefUnits(dst, src, 0);  // the same unit: a plain copy
    EXPECT_EQ(dst.z, -30.48);
    EXPECT_EQ(dst.unitCode, 0);

    double xyz[3] = {9.0, 9.0, 9.0};
    GetNodeDefPositionInUnits(xyz, &src, 1, 2);
    EXPECT_EQ(xyz[0], 52.5);
    EXPECT_EQ(xyz[1], 4.25);
    EXPECT_EQ(xyz[2], -100.0);
    src.coordKind = 1;
    src.x = 0.3048;
    GetNodeDefPositionInUnits(xyz, &src, 1, 1);
    EXPECT_EQ(xyz[0], 1.0);
    GetNodeDefPositionInUnits(xyz, nullptr, 1, 1);
    EXPECT_EQ(xyz[0], 1.0);

    // Survey units of 2 metres: a node in metres halves, a node in survey units stays.
    const std::string unitName = GetUnitName();
    const double metresPerUnit = GetConvToMeters();
    ASSERT_EQ(SetUnit("Double Metre", 2.0, 0), 1);
    GetNodeDefPositionInSurveyUnits(xyz, &src);
    EXPECT_NEAR(xyz[0], 0.1524, 1e-12);
    EXPECT_NEAR(xyz[2], -15.24, 1e-12);
    src.unitCode = 25;
    GetNodeDefPositionInSurveyUnits(xyz, &src);
    EXPECT_EQ(xyz[2], -30.48);
    SetUnit(unitName.c_str(), metresPerUnit, 0);
}

TEST(DefinitionPredicates, IconIndexes) {
    struct sRow {
        int32_t objType, objectId, icon;
    };
    const sRow rows[] = {{0, 1, 7}, {0, 2, 3}, {10, 1, 7}, {10, 5, 3}, {1, 1, 4}, {2, 1, 5}, {3, 1, 6}, {11, 1, 10},
                         {12, 1, 8}, {13, 1, 11}, {14, 1, 9}, {15, 1, 14}, {20, 1, 12}, {21, 1, 13}, {101, 1, 1},
                         {102, 1, 2}, {4, 1, 0}, {-1, 1, 0}};
    for (const sRow& row : rows) EXPECT_EQ(GetObjTypeIconIndex(row.objType, row.objectId), row.icon) << row.objType;
    EXPECT_EQ(GetSysTypeIconIndex(27), 27);
    struct sNodeRow {
        uint32_t type;
        int32_t a, b, offset;
    };
    const sNodeRow nodeRows[] = {{1, 0, 0, 3}, {2, 0, 1, 6}, {2, 1, 0, 1}, {3, 1, 0, 5}, {4, 0, 1, 2}, {5, 0, 0, 4}, {0, 1, 1, 0}, {9, 0, 0, 0}};
    for (const sNodeRow& row : nodeRows) EXPECT_EQ(GetNodeTypeIconOffset(row.type, row.a, row.b), row.offset) << row.type;
}

}  // namespace
