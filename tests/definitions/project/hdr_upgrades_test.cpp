#include "definitions/header/hdr_list.h"

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "compat/unit_library.h"
#include "definitions/records/datum_ref.h"
#include "platform/log.h"
#include "tests/support/hdr_payloads.h"

namespace {

using Vok::Test::Payload;
using Vok::Test::ValueAt;

std::vector<uint8_t> Image(const CHdrList& list) {
    std::vector<uint8_t> image(list.GetImageSize());
    list.WriteImage(image.data());
    return image;
}

std::vector<int32_t> Ids(const CHdrList& list) {
    std::vector<int32_t> ids;
    for (const sHdrEntry& e : list) ids.push_back(e.recordId);
    return ids;
}

std::string TextAt(const uint8_t* p, size_t offset) {
    return reinterpret_cast<const char*>(p + offset);
}

// An old angle: degrees, minutes, seconds and the hemisphere byte.
Payload& Angle(Payload& p, size_t offset, int32_t d, int32_t m, float s, char hemisphere) {
    p.I32(offset, d).I32(offset + 4, m).F32(offset + 8, s);
    p.Text(offset + 12, std::string(1, hemisphere));
    return p;
}

TEST(HdrUpgrades, AListOfCurrentRecordsPassesEveryConversionUnchanged) {
    CHdrList list;
    Payload(88).I32(0, 1).I32(4, 2).Add(list, 206, 40);
    Payload(40).I32(0, 1).I32(4, 2).Add(list, 188);
    Payload(88).I32(0, 1).I32(4, 2).Add(list, 246);
    Payload(40).I32(0, 2).I32(4, 1).Add(list, 247);
    Payload(88).I32(0, 0).I32(4, 5).Add(list, 238);  // would be marked by a record 157
    Payload(88).I32(0, 0).I32(4, 6).Add(list, 254);
    Payload(352).Add(list, 219);
    Payload(360).Add(list, 220);
    Payload(336).Add(list, 221);
    Payload(80).I32(0, 1).Add(list, 249);
    Payload(712).I32(0, 3).Add(list, 258);
    Payload(120).Text(0, "Line").Add(list, 176);
    Payload(8).I32(0, 7).I32(4, 2).Add(list, 129);
    const std::vector<uint8_t> before = Image(list);
    const std::vector<std::function<void(CHdrList&)>> conversions = {
        &CHdrList::UpgradeLineNameRecords,       &CHdrList::UpgradeObjectRecords,
        &CHdrList::SplitObjectShapes,            &CHdrList::UpgradeStreamerRecords,
        &CHdrList::UpgradeGunArrayRecords,       &CHdrList::UpgradeTowedBuoyRecords,
        &CHdrList::UpgradeDatumShiftRecords,     &CHdrList::UpgradeChartDatumRecords,
        &CHdrList::UpgradeFixRecord,             &CHdrList::UpgradeReferencePointRecords,
        &CHdrList::UpgradeSquatModelRecords,     &CHdrList::UpgradeSoundVelocityRecords,
        &CHdrList::UpgradeFixedNodeRecords,      &CHdrList::UpgradeVariableNodeRecords,
        &CHdrList::UpgradeDgpsSourceRecords,     &CHdrList::UpgradeUsblRecords,
        &CHdrList::UpgradeUsblQcRecords,         &CHdrList::UpgradeGnssPosition73Records,
        &CHdrList::UpgradeGnssPositionRecords,   &CHdrList::UpgradeGnssPositionUnits,
        &CHdrList::UpgradeSinglebeamRecords,     &CHdrList::UpgradePrhSensorRecords,
        &CHdrList::UpgradeMultibeamRecords,      &CHdrList::UpgradeMultitransducerRecords,
        &CHdrList::UpgradeRecord157,             &CHdrList::UpgradeEventingRecords,
        &CHdrList::UpgradeRecord257,             &CHdrList::UpgradePpsTimetagRecords,
        &CHdrList::UpgradeDredgingSystems,       &CHdrList::UpgradeObservationLinks,
        &CHdrList::UpgradeObservationKinds,      &CHdrList::CompleteDatumShiftRecords,
        &CHdrList::UpgradeProjectionRecords,     &CHdrList::MoveRecord129};
    for (const auto& convert : conversions) convert(list);
    EXPECT_EQ(Image(list), before);
}

TEST(HdrUpgrades, ProjectionAnglesBecomeDecimalDegrees) {
    struct sRow {
        int32_t kind;
        int32_t d, m;
        float s;
        char hemisphere;
        int32_t newId;
        size_t at;
        double expected;
    };
    const sRow rows[] = {
        {13, 52, 30, 0.0f, 'S', 20, 64, -52.5},
        {13, 52, 30, 0.0f, 's', 20, 64, -52.5},
        {13, 10, 15, 36.0f, 'N', 20, 64, 10.26},
        {12, 1, 0, 0.0f, 'N', 21, 32, 1000.0},
        {12, 1, 0, 0.0f, 'S', 21, 32, -1000.0},
    };
    for (const sRow& row : rows) {
        SCOPED_TRACE(row.kind * 100 + row.d);
        CHdrList list;
        Payload(80).I32(0, row.kind).Add(list, 16);
        Payload lambert(88);
        Angle(lambert, 0, row.d, row.m, row.s, row.hemisphere);
        Angle(lambert, 16, 4, 0, 0.0f, 'N');
        lambert.Text(32, "Lambert zone").F64(64, 1.5).F64(72, 2.5).F64(80, 3.5).Add(list, 19);
        list.UpgradeProjectionRecords();
        EXPECT_EQ(Ids(list), (std::vector<int32_t>{16, row.newId}));
        const uint8_t* p = list.GetRecord(row.newId, 1);
        ASSERT_NE(p, nullptr);
        EXPECT_NEAR(ValueAt<double>(p, row.at), row.expected, 1e-12);
        EXPECT_EQ(ValueAt<double>(p, row.at + 8), 4.0);
        EXPECT_EQ(TextAt(p, 0), "Lambert zone");
        const size_t tail = row.newId == 20 ? 80 : 48;
        EXPECT_EQ(ValueAt<double>(p, tail), 1.5);
        EXPECT_EQ(ValueAt<double>(p, tail + 8), 2.5);
        EXPECT_EQ(ValueAt<double>(p, tail + 16), 3.5);
    }
}

TEST(HdrUpgrades, DatumShiftsGetTheirMissingCompanions) {
    CHdrList list;
    Payload(88).I32(0, 1).I32(4, 2).I32(8, 5).I32(28, 9).Add(list, 206);
    Payload(40).I32(0, 2).I32(4, 1).Add(list, 188);
    list.CompleteDatumShiftRecords();
    EXPECT_EQ(Ids(list), (std::vector<int32_t>{206, 188, 246, 247}));
    const uint8_t* epoch = list.GetRecord(246, 1);
    ASSERT_NE(epoch, nullptr);
    EXPECT_EQ(ValueAt<int32_t>(epoch, 0), 1);
    EXPECT_EQ(ValueAt<int32_t>(epoch, 4), 2);
    EXPECT_EQ(ValueAt<int32_t>(epoch, 8), 5);
    EXPECT_EQ(ValueAt<int32_t>(epoch, 28), 9);
    ASSERT_NE(list.GetEntry(247, 1), nullptr);
    EXPECT_EQ(list.GetEntry(247, 1)->payloadSize, 40u);

    CHdrList orphans;
    Payload(40).Add(orphans, 188);
    Payload(88).Add(orphans, 246);
    Payload(40).Add(orphans, 247);
    Payload(72).Add(orphans, 13);
    orphans.CompleteDatumShiftRecords();
    EXPECT_EQ(Ids(orphans), (std::vector<int32_t>{13}));
}

TEST(HdrUpgrades, ObjectFamilyTablesGrowAndOldCountsStayWithinTheirTable) {
    struct sRow {
        int32_t oldId, newId;
        size_t countAt;
        uint32_t count, expectedCount;
    };
    const sRow rows[] = {{25, 166, 76, 3, 3},   {26, 167, 68, 2, 2}, {27, 168, 64, 1, 1},
                         {28, 169, 60, 100, 100}, {25, 166, 76, 500, 100}};
    for (const sRow& row : rows) {
        SCOPED_TRACE(row.oldId * 1000 + row.count);
        CHdrList list;
        Payload old(GetRecordSize(row.oldId));
        old.I32(0, 4).Text(4, std::string(40, 'N').substr(0, 36)).I32(40, 11).I32(44, 12);
        old.I32(row.countAt, static_cast<int32_t>(row.count));
        for (uint32_t k = 0; k < 100; ++k) old.I32(row.countAt + 4 + 28 * k, static_cast<int32_t>(k + 1));
        old.Add(list, row.oldId);
        list.UpgradeObjectRecords();
        list.UpgradeStreamerRecords();
        list.UpgradeGunArrayRecords();
        list.UpgradeTowedBuoyRecords();
        ASSERT_EQ(Ids(list), std::vector<int32_t>{row.newId});
        const sHdrEntry* e = list.GetEntry(row.newId, 1);
        const uint8_t* p = e->Payload();
        EXPECT_EQ(e->payloadSize, GetRecordSize(row.newId));
        EXPECT_EQ(ValueAt<int32_t>(p, 0), 4);
        EXPECT_EQ(TextAt(p, 4), std::string(35, 'N'));
        EXPECT_EQ(ValueAt<int32_t>(p, 40), 11);
        EXPECT_EQ(ValueAt<int32_t>(p, 44), 12);
        EXPECT_EQ(ValueAt<uint32_t>(p, row.countAt), row.expectedCount);
        for (uint32_t k = 0; k < 1000; ++k) {
            const int32_t expected = k < row.expectedCount ? static_cast<int32_t>(k + 1) : 0;
            ASSERT_EQ(ValueAt<int32_t>(p, row.countAt + 4 + 28 * k), expected) << k;
        }
    }
}

TEST(HdrUpgrades, ObjectShapesMoveIntoShapeBlobsKeyedByTheObjectId) {
    CHdrList list;
    Payload object(28080);
    object.I32(0, 7).Text(4, "Vessel").I32(40, 9).I32(76, 2);
    object.I32(80, 111).I32(80 + 28, 222);
    object.Add(list, 166);
    ZLog::Init(3, ZLog::OPTION_SIGNAL, ZLog::FLAG_NO_FILE | ZLog::FLAG_NO_DEBUGGER, nullptr, false, 0, false, false);
    std::vector<ZLog::eSeverity> logged;
    auto connection = ZLog::LogSignal().connect(
        [&](const CVOKTime&, ZLog::eSeverity s, const std::string&) { logged.push_back(s); });
    list.SplitObjectShapes();
    connection.disconnect();
    ZLog::Shutdown();
    EXPECT_EQ(logged, std::vector<ZLog::eSeverity>{ZLog::Warning});  // the record's two ids differ
    EXPECT_EQ(list.GetRecordCount(166), 0u);
    const uint8_t* m = list.GetRecord(267, 1);
    ASSERT_NE(m, nullptr);
    EXPECT_EQ(ValueAt<int32_t>(m, 0), 7);
    EXPECT_EQ(TextAt(m, 4), "Vessel");
    EXPECT_EQ(ValueAt<int32_t>(m, 40), 9);
    std::vector<sShapeItem> items;
    ASSERT_TRUE(list.GetVesselShape(9, items));
    ASSERT_EQ(items.size(), 2u);
    EXPECT_EQ(ValueAt<int32_t>(items[0].bytes, 0), 111);
    EXPECT_EQ(ValueAt<int32_t>(items[1].bytes, 0), 222);
    EXPECT_FALSE(list.GetVesselShape(7, items));
}

TEST(HdrUpgrades, RecordByRecordConversions) {
    struct sRow {
        const char* name;
        std::function<void(CHdrList&)> build;
        std::function<void(CHdrList&)> convert;
        std::vector<int32_t> ids;
        std::function<void(const CHdrList&)> check;
    };
    const sRow rows[] = {
        {"line name", [](CHdrList& l) { Payload(56).Text(0, "L-0001").I32(20, 42).Text(24, "Survey A").Add(l, 1, 7); },
         &CHdrList::UpgradeLineNameRecords, {176},
         [](const CHdrList& l) {
             const uint8_t* p = l.GetRecord(176, 1);
             EXPECT_EQ(TextAt(p, 0), "L-0001");
             EXPECT_EQ(ValueAt<int32_t>(p, 84), 42);
             EXPECT_EQ(TextAt(p, 88), "Survey A");
             EXPECT_EQ(l.GetEntry(176, 1)->eventLink, -1);
         }},
        {"datum shift", [](CHdrList& l) { Payload(72).I32(0, 1).I32(4, 2).I32(8, 0x3A07).F64(16, 0.5).F64(64, 7.0).Add(l, 14); },
         &CHdrList::UpgradeDatumShiftRecords, {206},
         [](const CHdrList& l) {
             const uint8_t* p = l.GetRecord(206, 1);
             EXPECT_EQ(ValueAt<int32_t>(p, 8), 1);
             EXPECT_EQ(ValueAt<int32_t>(p, 12), 0);
             EXPECT_EQ(ValueAt<int32_t>(p, 16), 3);
             EXPECT_EQ(ValueAt<int32_t>(p, 20), 0x3A);
             EXPECT_EQ(ValueAt<double>(p, 32), 0.5);
             EXPECT_EQ(ValueAt<double>(p, 80), 7.0);
         }},
        {"datum shift, bit 8 set", [](CHdrList& l) { Payload(72).I32(8, 0x1FF).Add(l, 14); },
         &CHdrList::UpgradeDatumShiftRecords, {206},
         [](const CHdrList& l) {
             EXPECT_EQ(ValueAt<int32_t>(l.GetRecord(206, 1), 16), 0x7F);
             EXPECT_EQ(ValueAt<int32_t>(l.GetRecord(206, 1), 20), 1);
         }},
        {"chart datum 160", [](CHdrList& l) { Payload(16).I32(0, 5).F64(8, 2.25).Add(l, 160); },
         &CHdrList::UpgradeChartDatumRecords, {228},
         [](const CHdrList& l) {
             const uint8_t* p = l.GetRecord(228, 1);
             EXPECT_EQ(ValueAt<int32_t>(p, 4), 0);
             EXPECT_EQ(ValueAt<int32_t>(p, 8), -999);
             EXPECT_EQ(std::memcmp(p + 16, p + 592, 576), 0);
             EXPECT_EQ(ValueAt<int32_t>(p, 16 + 8), 5);        // local code
             EXPECT_EQ(ValueAt<double>(p, 16 + 552), 2.25);  // first value
         }},
        {"chart datum 198", [](CHdrList& l) {
             Payload(72).I32(0, 3).I32(4, 4).I32(8, 6).F64(16, 1.0).I32(28, 7).F64(32, 2.0).F64(40, 3.0).I32(48, 8).Add(l, 198);
         },
         &CHdrList::UpgradeChartDatumRecords, {228},
         [](const CHdrList& l) {
             const uint8_t* p = l.GetRecord(228, 1);
             EXPECT_EQ(ValueAt<int32_t>(p, 4), 3);
             EXPECT_EQ(ValueAt<int32_t>(p, 8), 4);
             EXPECT_EQ(ValueAt<int32_t>(p, 1168), 8);
             EXPECT_EQ(ValueAt<int32_t>(p, 592 + 8), 7);
             EXPECT_EQ(ValueAt<double>(p, 592 + 552), 2.0);
             EXPECT_EQ(ValueAt<double>(p, 592 + 560), 3.0);
         }},
        {"squat models", [](CHdrList& l) {
             for (int32_t model : {0, 1, 2, 3, 4, 5}) Payload(32).I32(0, model).I32(28, model).Add(l, 162);
         },
         &CHdrList::UpgradeSquatModelRecords, {213, 213, 213, 213, 213, 213},
         [](const CHdrList& l) {
             const int32_t expected[] = {1, 101, 2, 102, 3, 0};
             for (int32_t k = 0; k < 6; ++k) EXPECT_EQ(ValueAt<int32_t>(l.GetRecord(213, k + 1), 28), expected[k]);
         }},
        {"sound velocity", [](CHdrList& l) { Payload(112).I32(76, 0).Add(l, 35); Payload(112).I32(76, 2).Add(l, 35); },
         &CHdrList::UpgradeSoundVelocityRecords, {193, 193},
         [](const CHdrList& l) {
             EXPECT_EQ(ValueAt<int32_t>(l.GetRecord(193, 1), 80), -1);  // profile 0: none
             EXPECT_EQ(ValueAt<int32_t>(l.GetRecord(193, 2), 80), 2);
         }},
        {"gnss position 73", [](CHdrList& l) { Payload(72).I32(0, 7).Add(l, 73); Payload(72).I32(0, 2).Add(l, 73); },
         &CHdrList::UpgradeGnssPosition73Records, {205, 205},
         [](const CHdrList& l) {
             EXPECT_EQ(ValueAt<int32_t>(l.GetRecord(205, 1), 16), 3);      // the GNSS system number less 4
             EXPECT_EQ(ValueAt<int32_t>(l.GetRecord(205, 2), 16 + 4), 0);  // never below 0
         }},
        {"singlebeam 190 words", [](CHdrList& l) {
             Payload old(184);
             for (int32_t at : {84, 88, 92, 96, 100}) old.I32(at, 1000 + at);
             old.Add(l, 190);
         },
         &CHdrList::UpgradeSinglebeamRecords, {219},
         [](const CHdrList& l) {  // old 88 to 100 go to 92 to 104
             for (int32_t k = 0; k < 4; ++k) EXPECT_EQ(ValueAt<int32_t>(l.GetRecord(219, 1), 92 + 4 * k), 1088 + 4 * k) << k;
         }},
        {"fix with an event link stays", [](CHdrList& l) { Payload(4).Add(l, 125, 16); },
         &CHdrList::UpgradeFixRecord, {125}, [](const CHdrList&) {}},
        {"fix without one", [](CHdrList& l) { Payload(4).I32(0, 3).Add(l, 125); Payload(4).Add(l, 125); },
         &CHdrList::UpgradeFixRecord, {215},
         [](const CHdrList& l) { EXPECT_EQ(ValueAt<int32_t>(l.GetRecord(215, 1), 0), 0); }},
        {"multitransducer", [](CHdrList& l) {
             Payload(104).I32(0, 21).I32(4, 22).I32(8, 23).F64(32, 4.5).I32(40, 24).I32(44, 25).Add(l, 170);
         },
         &CHdrList::UpgradeMultitransducerRecords, {221},
         [](const CHdrList& l) {
             const uint8_t* p = l.GetRecord(221, 1);
             EXPECT_EQ(ValueAt<int32_t>(p, 0), 2);  // no old record had an event link
             EXPECT_EQ(ValueAt<int32_t>(p, 4), 21);
             EXPECT_EQ(ValueAt<int32_t>(p, 12), 23);
             EXPECT_EQ(ValueAt<double>(p, 48), 4.5);
             EXPECT_EQ(ValueAt<int32_t>(p, 60), 25);
         }},
        {"raw data 157", [](CHdrList& l) {
             Payload(88).I32(0, 0).I32(4, 5).Add(l, 238);
             Payload(4).I32(0, 5).Add(l, 157);
             Payload(4).I32(0, 6).Add(l, 157, 64);
         },
         &CHdrList::UpgradeRecord157, {238, 238},
         [](const CHdrList& l) {
             EXPECT_EQ(ValueAt<int32_t>(l.GetRecord(238, 1), 0), 1);
             EXPECT_EQ(ValueAt<int32_t>(l.GetRecord(238, 2), 0), 0);
             EXPECT_EQ(ValueAt<int32_t>(l.GetRecord(238, 2), 4), 6);
             EXPECT_EQ(l.GetEntry(238, 2)->eventLink, 64);
         }},
        {"raw data 157 of one word twice", [](CHdrList& l) {
             Payload(4).I32(0, 7).Add(l, 157);
             Payload(4).I32(0, 7).Add(l, 157, 64);
         },
         &CHdrList::UpgradeRecord157, {238, 238},
         [](const CHdrList& l) { EXPECT_EQ(ValueAt<int32_t>(l.GetRecord(238, 2), 4), 7); }},
        {"sub bottom 257 of one key twice", [](CHdrList& l) {
             Payload(96).I32(4, 8).Add(l, 257);
             Payload(96).I32(4, 8).Add(l, 257);
         },
         &CHdrList::UpgradeRecord257, {265, 266, 265, 266}, [](const CHdrList&) {}},
        {"variable node with a later summary of angles", [](CHdrList& l) {
             Payload(28).I32(16, 1).Add(l, 24);
             Payload(28).I32(16, 0).Add(l, 24);
             Payload(44).I32(0, 3).I32(4, 9).Add(l, 64);
         },
         &CHdrList::UpgradeVariableNodeRecords, {24, 24, 201},
         [](const CHdrList& l) {
             EXPECT_EQ(ValueAt<float>(l.GetRecord(201, 1), 44), 0.01f);
             EXPECT_EQ(ValueAt<float>(l.GetRecord(201, 1), 48), 0.1f);  // type 8 in degrees
         }},
        {"dgps source texts within their fields", [](CHdrList& l) {
             Payload(104).I32(4, 2).Text(8, "ABCDEFGHIJ").Text(24, "0123456789abcd").I32(40, 44)
                 .Text(84, std::string(20, 's')).Add(l, 76);
         },
         &CHdrList::UpgradeDgpsSourceRecords, {200},
         [](const CHdrList& l) {
             const uint8_t* p = l.GetRecord(200, 1);
             EXPECT_EQ(TextAt(p, 8), "ABCDEFGH");
             EXPECT_EQ(TextAt(p, 24), "0123456789");
             EXPECT_EQ(ValueAt<int32_t>(p, 40), 44);
             EXPECT_EQ(TextAt(p, 88), std::string(17, 's'));
         }},
        {"prh sensor text within its field", [](CHdrList& l) {
             Payload(96).I32(4, 6).I32(8, 7).Text(12, std::string(30, 'p')).I32(44, 9).Add(l, 40);
         },
         &CHdrList::UpgradePrhSensorRecords, {226},
         [](const CHdrList& l) {
             const uint8_t* p = l.GetRecord(226, 1);
             EXPECT_EQ(ValueAt<int32_t>(p, 8), 7);
             EXPECT_EQ(TextAt(p, 12), std::string(21, 'p'));
             EXPECT_EQ(ValueAt<int32_t>(p, 44), 9);
         }},
        {"prh sensor with its companions, its head text cut short", [](CHdrList& l) {
             Payload(84).Text(8, "Motion").Add(l, 41);
             Payload(96).Text(12, std::string(36, 'q')).Add(l, 40);
             Payload(12).I32(0, 1).Add(l, 154);
         },
         &CHdrList::UpgradePrhSensorRecords, {226},
         [](const CHdrList& l) {
             for (size_t k = 34; k < 48; ++k) EXPECT_EQ(l.GetRecord(226, 1)[k], 0) << k;
         }},
        {"dgps source text cut short", [](CHdrList& l) { Payload(104).Text(24, std::string(20, 'd')).Add(l, 76); },
         &CHdrList::UpgradeDgpsSourceRecords, {200},
         [](const CHdrList& l) {
             for (size_t k = 35; k < 44; ++k) EXPECT_EQ(l.GetRecord(200, 1)[k], 0) << k;
         }},
        {"sub bottom 257", [](CHdrList& l) {
             Payload(96).I32(4, 8).I32(8, 9).I32(12, 10).Add(l, 257, 32);
         },
         &CHdrList::UpgradeRecord257, {265, 266},
         [](const CHdrList& l) {
             const uint8_t* s = l.GetRecord(265, 1);
             EXPECT_EQ(ValueAt<int32_t>(s, 0), 1);
             EXPECT_EQ(ValueAt<int32_t>(s, 8), 9);
             EXPECT_EQ(ValueAt<int32_t>(s, 12), 1);
             EXPECT_EQ(l.GetEntry(265, 1)->eventLink, 32);
             EXPECT_EQ(ValueAt<int32_t>(l.GetRecord(266, 1), 0), 10);
             EXPECT_EQ(ValueAt<int32_t>(l.GetRecord(266, 1), 4), 8);
         }},
        {"quality 129 moves last", [](CHdrList& l) {
             Payload(8).I32(0, 1).I32(4, 33).Add(l, 129, 4);
             Payload(8).I32(0, 2).I32(4, 5).Add(l, 129, 8);
         },
         &CHdrList::MoveRecord129, {129, 129},
         [](const CHdrList& l) {
             EXPECT_EQ(ValueAt<int32_t>(l.GetRecord(129, 1), 0), 2);
             EXPECT_EQ(ValueAt<int32_t>(l.GetRecord(129, 2), 0), 1);
             EXPECT_EQ(ValueAt<int32_t>(l.GetRecord(129, 2), 4), 1);
         }},
        {"pps timetag", [](CHdrList& l) {
             Payload(80).I32(0, 0).I32(16, 0).Add(l, 249);
             Payload(80).I32(0, 0).I32(16, 3).Add(l, 249);
         },
         &CHdrList::UpgradePpsTimetagRecords, {249, 249},
         [](const CHdrList& l) {
             EXPECT_EQ(ValueAt<int32_t>(l.GetRecord(249, 1), 0), 1);
             EXPECT_EQ(ValueAt<int32_t>(l.GetRecord(249, 1), 16), 1);
             EXPECT_EQ(ValueAt<int32_t>(l.GetRecord(249, 2), 16), 0);
         }},
    };
    for (const sRow& row : rows) {
        SCOPED_TRACE(row.name);
        CHdrList list;
        row.build(list);
        row.convert(list);
        EXPECT_EQ(Ids(list), row.ids);
        if (Ids(list) == row.ids) row.check(list);  // the checks find their records by position
    }
}

// A Variable Node (201): its first word, node number, owning object, offsets and name.
void AddNode(CHdrList& list, int32_t word, int32_t number, int32_t object, float x, float y, float z,
             const std::string& name = "") {
    Payload(56).I32(0, word).I32(4, number).Text(8, name).I32(28, object).F32(32, x).F32(36, y).F32(40, z).Add(list, 201);
}

TEST(HdrUpgrades, ConversionsFindTheVariableNodesTheyName) {
    CHdrList list;
    AddNode(list, 0, 42, 3, 0.0f, 0.0f, 0.0f);
    AddNode(list, 0, 43, 3, 1.5f, 2.5f, 3.5f);
    Payload(40).I32(0, 3).I32(4, 8).I32(36, 1).Add(list, 37, 12);
    Payload(40).I32(0, 3).I32(4, 9).I32(36, 0).Add(list, 37);
    Payload(72).I32(0, 3).I32(4, 8).F32(8, 1.5f).F32(12, 2.5f).F32(16, 3.5f).I32(20, 21).I32(24, 22)
        .I32(28, 23).I32(32, 24).I32(36, 25).Text(40, "SBES").Add(list, 34);
    list.UpgradeUsblRecords();
    list.UpgradeSinglebeamRecords();
    ASSERT_EQ(Ids(list), (std::vector<int32_t>{201, 201, 202, 202, 219}));
    const sHdrEntry* usbl = list.GetEntry(202, 1);
    EXPECT_EQ(ValueAt<int32_t>(usbl->Payload(), 48), 42);
    EXPECT_EQ(usbl->eventLink, 12);
    EXPECT_EQ(ValueAt<int32_t>(list.GetRecord(202, 2), 48), 0);
    const uint8_t* sb = list.GetRecord(219, 1);
    const int32_t words[] = {1, 3, 8, 43, 21, 22, 23, 24};
    for (size_t k = 0; k < 8; ++k) EXPECT_EQ(ValueAt<int32_t>(sb, 4 * k), words[k]) << k;
    EXPECT_EQ(TextAt(sb, 32), "SBES");
    EXPECT_EQ(ValueAt<int32_t>(sb, 92), 25);
    EXPECT_EQ(list.GetRecordCount(34) + list.GetRecordCount(37), 0u);
}

TEST(HdrUpgrades, DredgingRecordsSplitIntoSystemsAtTheirReferencePoints) {
    CHdrList list;
    AddNode(list, 77, 5, 1, 0, 0, 0);
    AddNode(list, 78, 6, 1, 0, 0, 0);
    Payload(104).I32(0, 77).Add(list, 197);
    Payload(104).I32(0, 78).Add(list, 197);
    Payload(552).I32(0, 2).I32(8, 10005).I32(12, 6).Add(list, 207);
    Payload(112).I32(4, 2).I32(100, 55).Add(list, 208);
    Payload(64).I32(4, 2).Add(list, 210);
    list.UpgradeDredgingSystems();
    ASSERT_EQ(Ids(list), (std::vector<int32_t>{201, 201, 197, 197, 207, 208, 210, 208, 210}));
    EXPECT_EQ(ValueAt<int32_t>(list.GetRecord(207, 1), 4), 1);
    EXPECT_EQ(ValueAt<int32_t>(list.GetRecord(197, 1), 4), 12);
    EXPECT_EQ(ValueAt<int32_t>(list.GetRecord(197, 2), 4), 12);
    EXPECT_EQ(ValueAt<int32_t>(list.GetRecord(208, 1), 4), 77);
    EXPECT_EQ(TextAt(list.GetRecord(208, 1), 28), "Upgraded System 2");
    EXPECT_EQ(ValueAt<int32_t>(list.GetRecord(210, 1), 4), 77);
    EXPECT_EQ(ValueAt<int32_t>(list.GetRecord(208, 2), 4), 78);
    EXPECT_EQ(TextAt(list.GetRecord(208, 2), 28), "Upgraded System 2(2)");
    EXPECT_EQ(ValueAt<int32_t>(list.GetRecord(208, 2), 100), 55);
    EXPECT_EQ(ValueAt<int32_t>(list.GetRecord(210, 2), 4), 78);
    const std::vector<uint8_t> once = Image(list);
    list.UpgradeDredgingSystems();  // a marked record is not split again
    EXPECT_EQ(Image(list), once);
}

TEST(HdrUpgrades, LaybackObservationsBecomeGnssHeights) {
    CHdrList list;
    AddNode(list, 31, 9, 1, 0, 0, 0, "Mast");
    Payload(104).I32(0, 60).I32(4, 17).I32(32, 9).I32(44, 4).Add(list, 65);
    Payload(64).I32(4, 17).I32(24, -1).Text(62, "\xff").Add(list, 68);
    list.UpgradeObservationLinks();
    list.UpgradeObservationKinds();
    ASSERT_EQ(Ids(list), (std::vector<int32_t>{201, 65, 68, 78}));
    const uint8_t* height = list.GetRecord(78, 1);
    EXPECT_EQ(ValueAt<int32_t>(height, 4), 31);
    EXPECT_EQ(ValueAt<int32_t>(height, 8), 9);
    EXPECT_EQ(ValueAt<int32_t>(height, 12), 4);
    EXPECT_EQ(TextAt(height, 24), "Mast");
    EXPECT_EQ(ValueAt<int32_t>(list.GetRecord(65, 1), 0), 97);
    const uint8_t* qc = list.GetRecord(68, 1);
    EXPECT_EQ(ValueAt<int32_t>(qc, 0), 97);
    EXPECT_EQ(ValueAt<int32_t>(qc, 24), 25);
    EXPECT_EQ(qc[62], 0);

    CHdrList linked;  // a layback with events keeps every observation as it is
    Payload(104).I32(0, 60).I32(32, 9).Add(linked, 65, 8);
    linked.UpgradeObservationLinks();
    ASSERT_EQ(Ids(linked), std::vector<int32_t>{65});
    EXPECT_EQ(ValueAt<int32_t>(linked.GetRecord(65, 1), 0), 60);

    CHdrList depths;  // an ROV depth's flag byte is set, whether it was unset or cleared first
    for (int32_t key : {1, 2, 3}) Payload(104).I32(0, 51).I32(4, key).Add(depths, 65);
    Payload(64).I32(4, 1).Add(depths, 68);
    Payload(64).I32(4, 2).Text(62, "\xff").Add(depths, 68);
    Payload(64).I32(4, 3).Text(62, "\x02").Add(depths, 68);
    depths.UpgradeObservationKinds();
    ASSERT_EQ(depths.GetRecordCount(68), 3u);
    const uint8_t flags[] = {1, 1, 2};
    for (int32_t k = 0; k < 3; ++k) EXPECT_EQ(depths.GetRecord(68, k + 1)[62], flags[k]) << k;
}

TEST(HdrUpgrades, GnssPositionsTakeMetresAndTheirDatumReference) {
    SetUnit(UNIT_FEET);
    CHdrList list;
    Payload old(664);
    old.I32(0, 4).I32(4, 12).I32(8, 13).I32(12, 14).I32(592, 1).F32(604, 10.0f).Text(616, "Antenna");
    old.I32(16 + 8, 5);
    old.Add(list, 205, 24);
    list.UpgradeGnssPositionUnits();
    SetUnit(UNIT_METERS);
    ASSERT_EQ(Ids(list), std::vector<int32_t>{258});
    const sHdrEntry* e = list.GetEntry(258, 1);
    const uint8_t* p = e->Payload();
    EXPECT_EQ(e->eventLink, -1);
    EXPECT_EQ(ValueAt<int32_t>(p, 0), 0);
    EXPECT_EQ(ValueAt<int32_t>(p, 8), 4);
    EXPECT_EQ(ValueAt<int32_t>(p, 20), 14);
    EXPECT_EQ(ValueAt<int32_t>(p, 608), 1);
    EXPECT_FLOAT_EQ(ValueAt<float>(p, 620), 3.048f);
    EXPECT_EQ(TextAt(p, 632), "Antenna");
    EXPECT_EQ(ValueAt<int32_t>(p, 32 + 8), 5);
}

}  // namespace
