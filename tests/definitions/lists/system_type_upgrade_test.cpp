#include "definitions/lists/system_type_upgrade.h"

#include <gtest/gtest.h>

#include <cstring>

#include "definitions/lists/sys_def_list.h"
#include "host/definition_samples.h"

namespace {

using Vok::Test::MakeSysDef;

TEST(SystemTypeUpgrade, OldDriverIds) {
    struct sRow {
        int32_t driverId;
        int32_t sysType;
        int32_t newDriverId;
        int32_t newSysType;
    };
    const sRow rows[] = {
        {1055, 10, 300001, 30},  {100083, 10, 310006, 31}, {1070, 23, 310006, 31}, {100072, 23, 312001, 23},
        {1072, 10, 100072, 10},  {1083, 10, 100083, 10},   {512, 5, 50012, 5},     {9999, 5, 990099, 5},
        {10000, 5, 10000, 5},    {1010, 1, 310001, 31},    {100097, 2, 310022, 31}, {1096, 2, 300007, 30},
        {0, 3, 0, 3},            {-150, 3, -10050, 3},     {150133, 15, 150133, 15},
    };
    for (const sRow& row : rows) {
        sSysDef def = MakeSysDef(1, row.sysType, 0, 0, 0);
        def.version = 0;
        def.driverId = row.driverId;
        EXPECT_FALSE(UpgradeSystemType(&def));
        EXPECT_EQ(def.driverId, row.newDriverId) << row.driverId;
        EXPECT_EQ(def.sysType, row.newSysType) << row.driverId;
        EXPECT_EQ(def.version, 0);
    }
    // An id whose renumbered form would not fit stays as it is.
    sSysDef low = MakeSysDef(1, 3, 0, 0, 0);
    low.version = 0;
    low.driverId = -2000000000;
    UpgradeSystemType(&low);
    EXPECT_EQ(low.driverId, -2000000000);
}

TEST(SystemTypeUpgrade, UpgradedRecordsAndNull) {
    sSysDef def = MakeSysDef(1, 10, 0, 0, 0);
    def.driverId = 1055;
    for (uint16_t version : {uint16_t{1}, uint16_t{2}, uint16_t{0x0101}}) {
        def.version = version;
        const sSysDef before = def;
        EXPECT_TRUE(UpgradeSystemType(&def));
        EXPECT_EQ(std::memcmp(&def, &before, sizeof def), 0);
    }
    def.version = 0x0100;  // a sub-version alone does not count
    EXPECT_FALSE(UpgradeSystemType(&def));
    EXPECT_EQ(def.driverId, 300001);
    EXPECT_FALSE(UpgradeSystemType(nullptr));
}

TEST(SystemTypeUpgrade, RemapObsoleteDriverIds) {
    CSysDefList list;
    const int32_t ids[] = {30181, 50203, 120245, 180083, 200188, 30181, 30169};
    const int32_t expected[] = {30169, 50185, 120231, 180076, 200057, 30169, 30169};
    int32_t sysId = 1;
    for (int32_t id : ids) list.Add(MakeSysDef(sysId++, 3, 0, 0, 0))->driverId = id;
    EXPECT_TRUE(RemapSystemTypeIds(list));
    for (int i = 0; i < list.GetCount(); ++i) EXPECT_EQ(list.GetAt(i)->driverId, expected[i]) << i;
    EXPECT_FALSE(RemapSystemTypeIds(list));
}

TEST(SystemTypeUpgrade, AsciiLogger) {
    CSysDefList list;
    list.Add(MakeSysDef(3, 1, 0, 0, 0));
    list.Add(MakeSysDef(7, 2, 0, 0, 0));
    uint32_t sysId = 0;
    AddAsciiLoggerSystem(list, sysId);
    EXPECT_EQ(sysId, 8u);
    ASSERT_EQ(list.GetCount(), 3);
    sSysDef expected;
    expected.version = 2;
    expected.sysType = 15;
    expected.driverId = 150133;
    expected.interval = 1.0f;
    expected.sysId = 8;
    std::memcpy(expected.name, "ASCII Logger", 12);
    expected.output = 1;
    EXPECT_EQ(std::memcmp(list.GetAt(2), &expected, sizeof expected), 0);

    sysId = 99;
    AddAsciiLoggerSystem(list, sysId);
    EXPECT_EQ(sysId, 99u);
    EXPECT_EQ(list.GetCount(), 3);

    CSysDefList empty;
    AddAsciiLoggerSystem(empty, sysId);
    EXPECT_EQ(sysId, 1u);

    // The largest id cannot grow: the smallest free one is taken.
    CSysDefList full;
    full.Add(MakeSysDef(1, 1, 0, 0, 0));
    full.Add(MakeSysDef(2147483647, 1, 0, 0, 0));
    AddAsciiLoggerSystem(full, sysId);
    EXPECT_EQ(sysId, 2u);
}

}  // namespace
