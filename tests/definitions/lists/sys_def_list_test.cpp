#include "definitions/lists/sys_def_list.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>

#include "definitions/header/hdr_list.h"
#include "host/definition_samples.h"

namespace {

using Vok::Test::MakeSysDef;

TEST(SysDefList, LookUps) {
    CSysDefList list;
    EXPECT_EQ(list.FindFreeSystemId(), 1);
    list.Add(MakeSysDef(1, 12, 7, 8, 9));
    list.Add(MakeSysDef(2, 16, 3, 0, 0));
    list.Add(MakeSysDef(4, 2, 5, 6, 0));
    EXPECT_EQ(list.FindFreeSystemId(), 3);
    list.Add(MakeSysDef(5, 1, 0, 0, 0));
    EXPECT_EQ(list.FindByType(1), list.FindById(5));
    EXPECT_EQ(list.GetSystemIdByType(16), 2);
    EXPECT_EQ(list.HasSatelliteNavigationSystem(), 0);  // type 12 is no satellite navigation
    EXPECT_EQ(list.GetSystemType(4), 2);
    EXPECT_EQ(list.FindByTypeAndKey(16, 3), list.FindById(2));
    EXPECT_EQ(list.FindByTypeAndKey(16, 0), nullptr);
    EXPECT_EQ(list.FindByTypeAndKey(1, 0), nullptr);  // not system 5, whose key is 0
    EXPECT_EQ(list.GetSystemIdByType(2), 4);
    EXPECT_EQ(list.GetSystemIdByType(3), -1);
    EXPECT_EQ(list.HasSatelliteNavigationSystem(), 0);  // a position system is none
    EXPECT_EQ(list.GetSystemIdByName("System 4"), 4);
    EXPECT_EQ(list.GetSystemIdByName("system 4"), -1);
    EXPECT_EQ(list.GetSystemIdByName(nullptr), -1);
    EXPECT_EQ(list.GetUsblSystemIdByKeys(5, 6), 4);
    EXPECT_EQ(list.GetUsblSystemIdByKeys(7, 8), -1);  // those keys belong to a system of type 12
    EXPECT_EQ(list.GetUsblSystemIdByKeys(5, 7), -1);
    list.ReplaceKey(7, 70);
    EXPECT_EQ(list.FindById(1)->key1, 70);
    list.ReplaceKey(3, 30);  // only systems of type 12 take the new key
    EXPECT_EQ(list.FindById(2)->key1, 3);
    EXPECT_EQ(list.FindSystemIdOfType(2, 16), 2);
    EXPECT_EQ(list.FindSystemIdOfType(2, 0), 2);  // any type
    EXPECT_EQ(list.FindSystemIdOfType(2, 12), -1);
    EXPECT_EQ(list.FindSystemIdOfType(3, 0), -1);
    list.Add(MakeSysDef(6, 11, 0, 0, 0));
    EXPECT_EQ(list.HasSatelliteNavigationSystem(), 1);
}

TEST(SysDefList, SystemOfAHeaderRecord) {
    CSysDefList list;
    list.Add(MakeSysDef(3, 12, 7, 8, 9));
    list.Add(MakeSysDef(5, 45, 0, 0, 0));
    list.Add(MakeSysDef(6, 1, 13, 14, 0));
    list.Add(MakeSysDef(8, 3, 11, 12, 0));
    CHdrList headers;
    auto entry = [&](int32_t recordId, std::initializer_list<int32_t> words, uint32_t size) {
        uint8_t* payload = headers.AddRecord(recordId, size, nullptr, -1);
        std::memcpy(payload, std::data(words), std::min<size_t>(size, words.size() * 4));
        return headers.GetEntry(recordId, static_cast<int32_t>(headers.GetRecordCount(recordId)));
    };
    struct sRow {
        const sHdrEntry* entry;
        int32_t sysId;
    };
    const sRow rows[] = {
        {entry(100, {1}, 4), -1},
        {entry(65, {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 42}, 104), 42},  // whether or not such a system exists
        {entry(65, {0}, 40), -1},                                     // word 11 outside the payload
        {entry(207, {6}, 552), 6},
        {entry(205, {7, 8, 9}, 664), 3},
        {entry(258, {0, 0, 7, 8, 9}, 712), 3},
        {entry(258, {0, 0, 7, 8}, 16), -1},
        {entry(262, {0, 5}, 112), 5},
        {entry(273, {0, 5}, 108), -1},
        {entry(226, {99, 11, 12}, 312), 8},  // a PRH sensor by its words 1 and 2
        {entry(226, {11, 12, 0}, 312), -1},
        {entry(226, {0, 13, 14}, 312), -1},  // the keys of an echosounder
        {entry(234, {0, 7, 8}, 16), -1},  // keys of systems of other types
        {entry(234, {0, 13, 14}, 16), 6},  // an echosounder by its words 1 and 2
    };
    for (const sRow& row : rows) EXPECT_EQ(list.GetSystemIdOfHeaderEntry(row.entry), row.sysId) << row.entry->recordId;
    EXPECT_EQ(list.GetSystemIdOfHeaderEntry(nullptr), -1);
}

TEST(SysDefList, FieldGroupsCompareAndCopy) {
    const sSysDef a = MakeSysDef(1, 12, 1, 2, 3);
    struct sRow {
        void (*change)(sSysDef&);
        uint32_t bits;
    };
    const sRow rows[] = {
        {[](sSysDef&) {}, 0},
        {[](sSysDef& s) { s.timeSource = 4; }, SYSDEF_CHANGE_TIME_TAGGING},
        {[](sSysDef& s) { s.output = 1; }, SYSDEF_CHANGE_OUTPUT},
        {[](sSysDef& s) { s.connection20 = -1; }, 0},
        {[](sSysDef& s) { s.connection16 = 3; }, SYSDEF_CHANGE_CONNECTION},
        {[](sSysDef& s) { s.connection12 = 3; }, SYSDEF_CHANGE_CONNECTION},
        {[](sSysDef& s) { s.port = 9; }, SYSDEF_CHANGE_PORT | SYSDEF_CHANGE_CONNECTION},
        {[](sSysDef& s) { s.interval = std::numeric_limits<float>::quiet_NaN(); }, SYSDEF_CHANGE_INTERVAL},
        {[](sSysDef& s) { s.key3 = 0; }, SYSDEF_CHANGE_IDENTITY},
        {[](sSysDef& s) { s.sysId = 9; }, SYSDEF_CHANGE_IDENTITY},
        {[](sSysDef& s) { s.key1 = 0; }, SYSDEF_CHANGE_IDENTITY},
        {[](sSysDef& s) { SetFieldText(s.name, "x"); }, SYSDEF_CHANGE_NAME},
    };
    for (const sRow& row : rows) {
        sSysDef b = a;
        row.change(b);
        EXPECT_EQ(CSysDefList::CompareSysDefs(a, b), row.bits);
        EXPECT_EQ(CSysDefList::CompareSysDefs(b, a), row.bits);
        sSysDef c = a;
        CSysDefList::CopySysDefFields(c, b, row.bits);
        if (row.bits != 0) {
            EXPECT_EQ(std::memcmp(&c, &b, sizeof c), 0);
        }
    }
    sSysDef longName;
    std::memset(longName.name, 'L', sizeof longName.name);  // 76 characters, no terminator
    sSysDef target;
    CSysDefList::CopySysDefFields(target, longName, SYSDEF_CHANGE_NAME);
    EXPECT_EQ(FieldText(target.name).GetLength(), 75);
}

TEST(SysDefList, AssignFromAndCompare) {
    CSysDefList small, large;
    Vok::Test::FillSampleSysDefs(small);
    for (int32_t id = 1; id <= 5; ++id) large.Add(MakeSysDef(id + 10, 1, 0, 0, 0));
    large.AssignFrom(small);
    EXPECT_EQ(large.Compare(small), 0);
    EXPECT_EQ(large.GetCount(), 2);
    large.AssignFrom(large);
    EXPECT_EQ(large.GetCount(), 2);
    large.FindById(6)->sysId = 7;
    EXPECT_EQ(large.Compare(small), 999);
}

}  // namespace
