#include "definitions/header/hdr_list.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "definitions/lists/sys_def_list.h"
#include "tests/support/hdr_payloads.h"

namespace {

using Vok::Test::Payload;
using Vok::Test::ValueAt;

std::vector<int32_t> Ids(const CHdrList& list) {
    std::vector<int32_t> ids;
    for (const sHdrEntry& e : list) ids.push_back(e.recordId);
    return ids;
}

// A datum record (13): number, datum name, ellipsoid name, axis and inverse flattening.
Payload Datum(int32_t number, const std::string& name, double axis = 6378137.0, double inverse = 298.257223563) {
    Payload p(72);
    p.I32(0, number).Text(4, name).Text(23, "WGS 84").F64(48, axis).F64(56, 1.0).F64(64, inverse);
    return p;
}

Payload GnssSystem(int32_t number, const std::string& name, int32_t datum) {
    Payload p(84);
    p.I32(0, number).Text(4, name).I32(16, datum);
    return p;
}

TEST(HdrDatumConsistency, TwoDatumsWithoutAShiftGainTheFourJoiningRecords) {
    CHdrList list;
    Datum(3, "WGS84").Add(list, 13);
    Datum(7, "Local").Add(list, 13);
    Datum(9, "Other").Add(list, 13);
    list.EnsureDatumTransformRecords();
    EXPECT_EQ(Ids(list), (std::vector<int32_t>{13, 13, 13, 206, 188, 246, 247}));
    for (int32_t id : {206, 188, 246, 247}) {
        const sHdrEntry* e = list.GetEntry(id, 1);
        EXPECT_EQ(e->payloadSize, GetRecordSize(id));
        EXPECT_EQ(ValueAt<int32_t>(e->Payload(), 0), 3);
        EXPECT_EQ(ValueAt<int32_t>(e->Payload(), 4), 7);
    }
    EXPECT_EQ(ValueAt<int32_t>(list.GetRecord(206, 1), 16), 0);
    EXPECT_EQ(ValueAt<int32_t>(list.GetRecord(206, 1), 20), 0);
}

TEST(HdrDatumConsistency, EpochsFrom1900SetTheShiftMethod) {
    struct sRow {
        int32_t kind;
        double e16, e24, e32;
        int32_t method16, method20;
    };
    const sRow rows[] = {
        {1, 2010.0, 2020.5, 0.0, 60, 20}, {2, 2010.0, 0.0, 1900.0, 60, 20}, {2, 1899.0, 2020.0, 2020.0, 0, 0},
        {1, 2010.0, 1899.9, 0.0, 0, 0},   {3, 2010.0, 2020.0, 2020.0, 0, 0},
    };
    for (const sRow& row : rows) {
        SCOPED_TRACE(row.kind * 10000 + row.e16);
        CHdrList list;
        Payload(88).I32(0, 1).I32(4, 2).Add(list, 206);
        Payload(88).I32(0, 2).I32(4, 1).Add(list, 246);
        Payload(40).I32(0, 1).I32(4, 2).I32(8, row.kind).F64(16, row.e16).F64(24, row.e24).F64(32, row.e32).Add(list, 247);
        list.EnsureDatumTransformRecords();
        for (int32_t id : {206, 246}) {
            EXPECT_EQ(ValueAt<int32_t>(list.GetRecord(id, 1), 16), row.method16);
            EXPECT_EQ(ValueAt<int32_t>(list.GetRecord(id, 1), 20), row.method20);
        }
        EXPECT_EQ(list.GetCount(), 3);
    }
}

TEST(HdrDatumConsistency, GnssSystemsFollowTheDatums) {
    CHdrList list;
    Datum(1, "WGS84").Add(list, 13);
    Datum(2, "ETRS89", 6378137.0, 298.257222101).Add(list, 13);
    GnssSystem(4, "WGS84", 5).Add(list, 71);     // names datum 1, wrong number
    GnssSystem(5, "Tokyo", 2).Add(list, 71);     // no such datum
    EXPECT_TRUE(list.SyncGnssSystemsWithDatums());
    ASSERT_EQ(Ids(list), (std::vector<int32_t>{13, 13, 71, 71}));
    const uint8_t* kept = list.GetRecord(71, 1);
    EXPECT_EQ(ValueAt<int32_t>(kept, 0), 4);
    EXPECT_EQ(ValueAt<int32_t>(kept, 16), 1);
    const uint8_t* added = list.GetRecord(71, 2);
    EXPECT_EQ(ValueAt<int32_t>(added, 0), 5);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(added + 4)), "ETRS89");
    EXPECT_EQ(ValueAt<int32_t>(added, 16), 2);
    EXPECT_FALSE(list.SyncGnssSystemsWithDatums());
}

// A position record 258 of a GNSS system with the datum indexes at 32, 36 and 308.
Payload Position258(int32_t gnss, int32_t i32, int32_t i36, int32_t i308) {
    Payload p(712);
    p.I32(8, gnss).I32(12, 21).I32(16, 22).I32(32, i32).I32(36, i36).I32(308, i308);
    return p;
}

TEST(HdrDatumConsistency, PositionIndexesBeyondTheLargestDatumAreReset) {
    struct sRow {
        std::vector<int32_t> datums;
        int32_t gnss, i32, i36, i308;
        int32_t expectedGnss, e32, e36, e308;
    };
    const sRow rows[] = {
        // Index 3 points past datum 3: reset, and the GNSS system of the datum-1 record.
        {{1, 2, 3}, 9, 3, 1, 5, 4, 0, 1, 0},
        // Datums 1 and 3 (a gap): index 2 names datum 3 and stays.
        {{1, 3}, 4, 2, 2, 2, 4, 2, 2, 2},
        {{1, 3}, 4, 3, 0, 0, 4, 0, 0, 0},
    };
    for (const sRow& row : rows) {
        CHdrList list;
        for (int32_t d : row.datums) Datum(d, "D" + std::to_string(d)).Add(list, 13);
        GnssSystem(4, "D1", 1).Add(list, 71);
        Position258(row.gnss, row.i32, row.i36, row.i308).Add(list, 258);
        list.FixGnssPositionRefs(nullptr);
        const uint8_t* p = list.GetRecord(258, 1);
        EXPECT_EQ(ValueAt<int32_t>(p, 8), row.expectedGnss);
        EXPECT_EQ(ValueAt<int32_t>(p, 32), row.e32);
        EXPECT_EQ(ValueAt<int32_t>(p, 36), row.e36);
        EXPECT_EQ(ValueAt<int32_t>(p, 308), row.e308);
    }
}

TEST(HdrDatumConsistency, PositionSystemsTakeTheGnssNumberAndName) {
    CHdrList list;
    Datum(1, "D1").Add(list, 13);
    GnssSystem(6, "D1", 1).Add(list, 71);
    Position258(9, 0, 0, 0).Add(list, 258);  // no GNSS system 9: the one on datum 1 takes over
    CSysDefList systems;
    sSysDef def{};
    def.sysType = 12;
    def.sysId = 3;
    def.key1 = 9;
    def.key2 = 21;
    def.key3 = 22;
    std::strcpy(def.name, "Primary GNSS");
    sSysDef* sys = systems.Add(def);
    list.FixGnssPositionRefs(&systems);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(list.GetRecord(258, 1) + 632)), "Primary GNSS");
    EXPECT_EQ(ValueAt<int32_t>(list.GetRecord(258, 1), 8), 6);
    EXPECT_EQ(sys->key1, 6);
    systems.RemoveAll();
}

TEST(HdrDatumConsistency, OlderPositionLayoutsFollowTheirGnssSystem) {
    CHdrList list;
    Datum(1, "D1").Add(list, 13);
    GnssSystem(6, "D1", 1).Add(list, 71);
    Payload(664).I32(0, 9).I32(4, 21).I32(8, 22).I32(16, 1).I32(20, 0).I32(292, 2).Add(list, 205);
    Payload(72).I32(0, 9).I32(4, 31).I32(8, 32).Add(list, 73);
    EXPECT_TRUE(list.FixGnssPositionRefsOld(nullptr));
    EXPECT_TRUE(list.FixGnssPositionSystems(nullptr));
    const uint8_t* p205 = list.GetRecord(205, 1);
    EXPECT_EQ(ValueAt<int32_t>(p205, 0), 6);  // index 1 is past datum 1: reset, system of datum 1
    EXPECT_EQ(ValueAt<int32_t>(p205, 16), 0);
    EXPECT_EQ(ValueAt<int32_t>(p205, 292), 0);
    EXPECT_EQ(ValueAt<int32_t>(list.GetRecord(73, 1), 0), 6);
    EXPECT_FALSE(list.FixGnssPositionRefsOld(nullptr));
}

TEST(HdrDatumConsistency, ResettingTheKindKeepsTheNameWhole) {
    CHdrList list;
    Payload p = Position258(4, 2, 0, 0);
    p.I32(24, 9).Text(632, "Reference Station North");  // 23 characters, over 640..655
    p.Add(list, 258);
    sHdrEntry* e = list.GetEntry(258, 1);
    EXPECT_TRUE(CHdrList::ResetGnssPositionDatumIndexes(*e, 4));
    EXPECT_EQ(ValueAt<int32_t>(e->Payload(), 24), 0);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(e->Payload() + 632)), "Reference Station North");
    EXPECT_FALSE(CHdrList::ResetGnssPositionDatumIndexes(*e, 4));
}

TEST(HdrDatumConsistency, MergedDatumsRenumberTheReferences) {
    CHdrList list;
    Datum(1, "WGS84").Add(list, 13);
    Datum(2, "ED50", 6378388.0, 297.0).Add(list, 13);
    GnssSystem(4, "WGS84", 5).Add(list, 71);   // 5 maps to 1
    GnssSystem(5, "Tokyo", 6).Add(list, 71);   // 6 has no datum here: removed
    Payload(112).I32(20, 6).Add(list, 200);    // -1 makes it 1
    Payload(664).I32(16, 4).I32(20, 5).I32(292, 0).Add(list, 205);  // indexes of 5, 6 and 1
    Payload other5 = Datum(5, "WGS84");
    Payload other6 = Datum(6, "Tokyo", 6377397.155, 299.1528128);
    Payload other1 = Datum(1, "WGS84");
    EXPECT_TRUE(list.MergeDatums({other5.Data(), other6.Data(), other1.Data()}));
    EXPECT_EQ(Ids(list), (std::vector<int32_t>{13, 13, 71, 200, 205}));
    EXPECT_EQ(ValueAt<int32_t>(list.GetRecord(71, 1), 16), 1);
    EXPECT_EQ(ValueAt<int32_t>(list.GetRecord(200, 1), 20), 1);
    const uint8_t* p = list.GetRecord(205, 1);
    EXPECT_EQ(ValueAt<int32_t>(p, 16), 0);
    EXPECT_EQ(ValueAt<int32_t>(p, 20), 0);
    EXPECT_EQ(ValueAt<int32_t>(p, 292), 0);
    EXPECT_FALSE(list.MergeDatums({other1.Data()}));
}

}  // namespace
