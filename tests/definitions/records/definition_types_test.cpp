#include "definitions/records/definition_types.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

TEST(DefinitionTypes, CaptionsOfCodesAtTheirEdges) {
    struct sRow {
        CString actual;
        const char* expected;
    };
    const sRow rows[] = {
        {GetObsTypeName(30, 0, 0), "Latitude"},
        {GetObsTypeName(30, 1, 0), "Position"},
        {GetObsTypeName(47, 1, 0), "Pitch, Roll and Heave"},
        {GetObsTypeName(52, 0, 36), "Hopper Level"},
        {GetObsTypeName(52, 0, 35), "ROV Altitude"},
        {GetObsTypeName(17, 0, 0), "Undefined"},
        {GetObsTypeName(115, 0, 0), "Undefined"},
        {GetObsTypeName(static_cast<uint32_t>(-1), 1, 0), "Undefined"},
        {GetSysTypeName(0), "Undefined"},
        {GetSysTypeName(47), "Forward Looking Sonar"},
        {GetSysTypeName(48), "Undefined"},
        {GetObjTypeName(4), "Undefined"},
        {GetNodeTypeName(5), "Satellite Vehicle"},
        {GetNodeTypeName(6), "Undefined"},
        {GetCoordKindName(5, 0), "Undefined"},
        {GetCoordKindShortName(5, 0), "???"},
        {GetCoordKindShortName(9, 1), "PROJ"},
        {GetDatumSelectorName(1, 0), "Datum2"},
        {GetDatumSelectorName(-4, 0), "Datum-3"},
        {GetDatumSelectorName(-1, 1), "AUTO"},
        {GetDatumSelectorName(2147483647, 0), "Datum2147483648"},
        {GetHeightSelectorName(3, 0), "Height3"},
        {GetFilterKindName(3), "Undefined"},
        {GetVesselSelectorName(-2), "Mean of All Objects"},
    };
    for (const sRow& row : rows) EXPECT_STREQ(row.actual, row.expected);
}

TEST(DefinitionTypes, ResourceCaptionsAskForTheirNumbers) {
    EXPECT_EQ(GetTideStrategyTypeResource(-9), 20115u);
    EXPECT_EQ(GetTideStrategyTypeResource(3), 20154u);
    EXPECT_EQ(GetCodeResourceNumber(2), 20466u);
    EXPECT_EQ(GetCodeResourceNumber(10), 20474u);
    EXPECT_EQ(GetCodeResourceNumber(13), 20496u);
    EXPECT_EQ(GetCodeResourceNumber(-2), 20154u);
    EXPECT_TRUE(GetCodeResourceCaption(0).IsEmpty());  // no texts are installed
}

TEST(DefinitionTypes, NameFormattersStopAtTheEndOfTheField) {
    sObsDef obs{};
    std::memset(obs.name, 'N', sizeof obs.name);  // no terminator within the field
    EXPECT_EQ(GetObsDefName(&obs).GetLength(), 61);
    sSysDef sys;
    SetFieldText(sys.name, "Gyro");
    EXPECT_STREQ(GetSysDefName(&sys), "Gyro");
    EXPECT_STREQ(GetNodeDefName(nullptr), "");
    EXPECT_STREQ(GetNodeDefNameOr(nullptr, "none"), "none");
}

TEST(DefinitionTypes, CodePredicates) {
    EXPECT_EQ(IsVesselObjType(10) + IsVesselObjType(11), 1);
    EXPECT_EQ(IsSingleValueObsType(11, 0) + IsSingleValueObsType(11, 1), 1);
    EXPECT_EQ(IsSingleValueObsType(109, 1) + IsSingleValueObsType(110, 0), 1);
}

}  // namespace
