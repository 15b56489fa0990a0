#include "definitions/header/hdr_list.h"

#include <gtest/gtest.h>

#include <functional>
#include <stdexcept>
#include <string>

#include "definitions/lists/obj_def_list.h"
#include "tests/support/file_helpers.h"
#include "tests/support/hdr_payloads.h"

namespace {

using Vok::Test::Payload;
using Vok::Test::ValueAt;

TEST(HdrMaintenance, VersionNumbersAndTexts) {
    struct sRow {
        const char* name;
        std::function<void(CHdrList&)> fill;
        uint32_t version;
        uint32_t build;
        const char* text;
    };
    const sRow rows[] = {
        {"empty", [](CHdrList&) {}, 700, 21, "7.00.0021"},
        {"no version record", [](CHdrList& l) { Payload(4).Add(l, 139); }, 0, 0, "< 6.20.0000"},
        {"major and minor", [](CHdrList& l) { Payload(8).I32(0, 6).I32(4, 20).Add(l, 151); }, 620, 2, "6.20.0002"},
        {"version and build", [](CHdrList& l) { Payload(8).I32(0, 725).I32(4, 13).Add(l, 151); }, 725, 13, "7.25.0013"},
        {"version 1.00", [](CHdrList& l) { Payload(8).I32(0, 100).I32(4, 5).Add(l, 151); }, 100, 5, "1.00.0005"},
        {"short version record", [](CHdrList& l) { Payload(4).I32(0, 725).Add(l, 151); }, 0, 0, "< 6.20.0000"},
    };
    for (const sRow& row : rows) {
        CHdrList list;
        row.fill(list);
        EXPECT_EQ(list.GetVersionNumber(), row.version) << row.name;
        EXPECT_EQ(list.GetBuildNumber(), row.build) << row.name;
        EXPECT_STREQ(list.GetVersionString(), row.text) << row.name;
    }
}

TEST(HdrMaintenance, SettingTheVersion) {
    CHdrList list;
    EXPECT_EQ(list.SetCurrentVersion(0), 1);
    const sHdrEntry* entry = list.GetEntry(151, 1);
    ASSERT_NE(entry, nullptr);
    EXPECT_EQ(std::vector<uint8_t>(entry->Payload(), entry->Payload() + 8), (std::vector<uint8_t>{188, 2, 0, 0, 21, 0, 0, 0}));
    EXPECT_EQ(entry->eventLink, -1);
    EXPECT_EQ(entry->secondLink, -1);
    EXPECT_EQ(entry->filePosition, 0xFFFFFFFFu);
    EXPECT_EQ(entry->flag, 0);

    EXPECT_EQ(list.SetVersion(6, 20), 1);
    EXPECT_EQ(list.SetVersion(6, 20), 0);
    // A new build of the same version, and a new version with the same build, are changes.
    EXPECT_EQ(list.SetVersion(6, 21), 1);
    EXPECT_EQ(list.GetVersionNumber(), 621u);
    EXPECT_EQ(list.SetVersion(7, 21), 1);
    EXPECT_EQ(list.GetVersionNumber(), 721u);
    EXPECT_EQ(list.SetVersion(6, 20), 1);
    EXPECT_EQ(list.SetCurrentVersion(0), 0);
    EXPECT_EQ(list.GetVersionNumber(), 620u);
    EXPECT_EQ(list.SetCurrentVersion(1), 1);
    EXPECT_EQ(list.GetVersionNumber(), 700u);
    EXPECT_EQ(list.SetCurrentVersion(1), 0);
    EXPECT_EQ(list.GetRecordCount(151), 1u);
}

TEST(HdrMaintenance, MetaDataVersion) {
    auto version = [](const std::string& text) {
        CHdrList list;
        Payload(1280).Text(608, text).Add(list, 233);
        return list.GetMetaDataVersion();
    };
    EXPECT_EQ(CHdrList().GetMetaDataVersion(), 0.0);
    EXPECT_EQ(version("7.25.13"), 7.25);
    EXPECT_EQ(version("8.1"), 8.1);
    EXPECT_EQ(version("7"), 0.0);
    EXPECT_THROW(version("abc.def"), std::invalid_argument);
    EXPECT_THROW(version("1" + std::string(400, '0') + ".0"), std::out_of_range);
}

TEST(HdrMaintenance, SummaryCountsObjectsNodesDatumsAndTheUnit) {
    struct sRow {
        double factor;  // 0: no survey unit record
        uint32_t code;
    };
    for (const sRow& row : {sRow{0.0, 0}, sRow{1.0, 0}, sRow{0.3048, 1}, sRow{1200.0 / 3937.0, 25}}) {
        CHdrList list;
        if (row.factor != 0.0) Payload(48).F64(40, row.factor).Add(list, 153);
        for (int32_t id : {1, 9, 10}) Payload(28080).I32(40, id).Add(list, 166);
        Payload(76).I32(40, 30).Add(list, 267);
        for (int32_t owner : {5, 10, 99, 100}) Payload(56).I32(28, owner).Add(list, 201);
        Payload(688).Add(list, 204);
        for (int k = 0; k < 3; ++k) Payload(72).Add(list, 13);
        list.UpdateSummary();
        ASSERT_EQ(list.GetRecordCount(24), 1u);
        const std::vector<uint8_t> expected =
            Payload(28).I32(0, 2).I32(4, 2).I32(8, 3).I32(12, 3).I32(16, 1).I32(20, static_cast<int32_t>(row.code)).Bytes();
        const uint8_t* summary = list.GetRecord(24, 1);
        EXPECT_EQ(std::vector<uint8_t>(summary, summary + 28), expected) << row.factor;
    }
    CHdrList kept;
    Payload(28).I32(16, 5).I32(24, 8).Add(kept, 24);
    kept.UpdateSummary();
    EXPECT_EQ(ValueAt<int32_t>(kept.GetRecord(24, 1), 16), 5);
    EXPECT_EQ(ValueAt<int32_t>(kept.GetRecord(24, 1), 24), 8);
}

TEST(HdrMaintenance, MemberCountersOfObjectsAndGunArrays) {
    CHdrList list;
    uint8_t* object = Payload(28080).I32(40, 7).I32(44, 99).Add(list, 166);
    uint8_t* objectM = Payload(76).I32(40, 8).Add(list, 267);
    uint8_t* gun = Payload(28068).I32(40, 20).I32(44, 7).I32(60, 99).Add(list, 168);
    Payload(28072).I32(44, 7).Add(list, 167);
    Payload(28064).I32(44, 7).Add(list, 169);
    Payload(28064).I32(44, 20).Add(list, 169);
    Payload(56).I32(4, 31).I32(28, 7).Add(list, 201);   // node 31 of object 7
    Payload(56).I32(4, 32).I32(28, 20).Add(list, 201);  // node 32 of the gun array
    Payload(56).I32(4, 31).I32(28, 8).Add(list, 201);   // a second node 31: the first decides
    Payload(56).I32(4, 0).I32(28, 7).Add(list, 201);    // node 0 of object 7 is named by none of:
    Payload(360).Add(list, 220);                        // a multibeam without a node
    Payload(104).I32(0, 20).Add(list, 65);              // a GNSS observation without a first node
    Payload(352).I32(4, 7).Add(list, 219);
    Payload(360).I32(32, 31).Add(list, 220);
    Payload(336).I32(8, 7).Add(list, 221);
    Payload(312).I32(4, 7).Add(list, 226);
    Payload(52).I32(0, 8).Add(list, 202);
    Payload(72).I32(12, 7).Add(list, 73);
    Payload(664).I32(12, 20).Add(list, 205);
    Payload(712).I32(20, 7).Add(list, 258);
    Payload(104).I32(0, 20).I32(28, 31).Add(list, 65);
    Payload(104).I32(0, 20).I32(28, 32).Add(list, 65);
    Payload(104).I32(0, 1).I32(28, 31).Add(list, 65);  // not a GNSS observation
    Payload(36).I32(4, 20).Add(list, 57);
    list.RecountObjectMembers();
    list.RecountGunArrayMembers();
    auto counters = [](const uint8_t* p, size_t offset, size_t n) {
        std::vector<int32_t> values;
        for (size_t k = 0; k < n; ++k) values.push_back(ValueAt<int32_t>(p, offset + 4 * k));
        return values;
    };
    EXPECT_EQ(counters(object, 44, 8), (std::vector<int32_t>{1, 1, 1, 3, 1, 0, 3, 2}));
    EXPECT_EQ(counters(objectM, 44, 8), (std::vector<int32_t>{0, 0, 0, 0, 0, 1, 0, 1}));
    EXPECT_EQ(counters(gun, 48, 4), (std::vector<int32_t>{1, 2, 1, 1}));
}

TEST(HdrMaintenance, CorrectionsTakeTheirValuesFromTheFixedNodeAndRecord141) {
    CHdrList list;
    list.UpdateCorrections();  // nothing to do
    EXPECT_TRUE(list.IsEmpty());
    uint8_t* corrections = Payload(40).I32(0, 3).F32(16, 9.0f).I32(32, 9).I32(36, 9).Add(list, 140);
    uint8_t* other = Payload(40).I32(0, 4).F32(16, 9.0f).I32(32, 9).I32(36, 9).Add(list, 140);
    Payload(104).I32(0, 1).I32(28, 11).I32(32, 12).I32(44, 3).Add(list, 65);
    Payload(688).I32(0, 11).F64(672, 2.5).Add(list, 204);
    Payload(16).I32(0, 0).I32(4, 12).I32(8, 100).I32(12, 200).Add(list, 141);  // not in use
    Payload(16).I32(0, 1).I32(4, 12).I32(8, 5).I32(12, 6).Add(list, 141);
    list.UpdateCorrections();
    EXPECT_EQ(ValueAt<float>(corrections, 16), 2.5f);
    EXPECT_EQ(ValueAt<int32_t>(corrections, 32), 5);
    EXPECT_EQ(ValueAt<int32_t>(corrections, 36), 6);
    EXPECT_EQ(ValueAt<float>(other, 16), 0.0f);
    EXPECT_EQ(ValueAt<int32_t>(other, 32), 0);
    EXPECT_EQ(ValueAt<int32_t>(other, 36), 0);

    CHdrList fixedOnly;  // a Fixed Node alone is a source too
    uint8_t* alone = Payload(40).I32(0, 3).Add(fixedOnly, 140);
    Payload(104).I32(0, 1).I32(28, 11).I32(44, 3).Add(fixedOnly, 65);
    Payload(688).I32(0, 11).F64(672, 2.5).Add(fixedOnly, 204);
    fixedOnly.UpdateCorrections();
    EXPECT_EQ(ValueAt<float>(alone, 16), 2.5f);
}

TEST(HdrMaintenance, DatumEpochsOfTheCurrentDate) {
    CHdrList list;
    uint8_t* stale = Payload(40).I32(8, 2).F64(32, 0.0).Add(list, 247);
    uint8_t* set = Payload(40).I32(8, 2).F64(32, 2010.5).Add(list, 247);
    uint8_t* earliest = Payload(40).I32(8, 2).F64(32, 1900.0).Add(list, 247);
    uint8_t* fixed = Payload(40).I32(8, 1).F64(32, 0.0).Add(list, 247);
    uint8_t* other = Payload(88).I32(8, 2).F64(32, 0.0).Add(list, 246);
    EXPECT_EQ(list.SetDatumEpochs(1899.9, 1), 0);  // a clock that is not set
    EXPECT_EQ(ValueAt<double>(stale, 32), 0.0);
    EXPECT_EQ(list.SetDatumEpochs(2024.25, 0), 1);
    EXPECT_EQ(ValueAt<double>(stale, 32), 2024.25);
    EXPECT_EQ(ValueAt<double>(set, 32), 2010.5);
    EXPECT_EQ(ValueAt<double>(earliest, 32), 1900.0);  // only an epoch below 1900 is stale
    EXPECT_EQ(ValueAt<double>(fixed, 32), 0.0);
    EXPECT_EQ(ValueAt<double>(other, 32), 0.0);
    EXPECT_EQ(list.SetDatumEpochs(2024.5, 0), 0);
    EXPECT_EQ(list.UpdateDatumEpochs(1), 1);
    EXPECT_GT(ValueAt<double>(set, 32), 2020.0);
    EXPECT_EQ(ValueAt<double>(set, 32), ValueAt<double>(stale, 32));
}

TEST(HdrMaintenance, IntegrityDumpNamesBadEntriesByPosition) {
    Vok::Test::CTempFolder folder;
    CHdrList list;
    Payload(4).Add(list, 139);
    EXPECT_EQ(list.CheckIntegrity((folder / "good.txt").c_str()), 1);
    EXPECT_EQ(Vok::Test::ReadTextFile(folder / "good.txt"), std::string());
    list.AddRecord(65, 0, nullptr, -1);
    Payload(8).Add(list, 0);
    EXPECT_EQ(list.CheckIntegrity((folder / "bad.txt").c_str()), 0);
    EXPECT_EQ(Vok::Test::ReadTextFile(folder / "bad.txt"),
              std::string("pHdrEntry 1 Size 0 RecId 65 \npHdrEntry 2 Size 8 RecId 0 \n"));
    EXPECT_EQ(list.CheckIntegrity((folder / "missing/x.txt").c_str()), 0);
    EXPECT_EQ(list.CheckIntegrity(nullptr), 0);
}

}  // namespace

namespace {

TEST(HdrObjectDefinitions, OneDefinitionPerObjectRecordInTypeOrder) {
    CHdrList list;
    Payload(28064).I32(40, 40).Text(4, "Buoy").Add(list, 169);
    Payload(28080).Text(4, std::string(36, 'V')).I32(40, 1).Add(list, 166);
    Payload(88).I32(0, 50).Text(4, "Bundle").Add(list, 229);
    Payload(76).I32(40, 2).Text(4, "Tow").Add(list, 267);
    Payload(28072).I32(40, 20).Add(list, 167);
    Payload(28068).I32(40, 300).Add(list, 168);
    Payload(40).Add(list, 167);  // too short to hold its id
    Payload(104).I32(0, 2).I32(4, 11).F32(12, 3.5f).Add(list, 197);
    Payload(1192).I32(600, 5).I32(872, 1002).Add(list, 228);

    CObjDefList defs;
    defs.Add(sObjDef{});
    list.BuildObjectDefinitions(&defs);
    ASSERT_EQ(defs.GetCount(), 6);
    const int32_t ids[] = {1, 2, 20, 300, 40, 50};
    const std::string names[] = {std::string(35, 'V'), "Tow", "", "", "Buoy", "Bundle"};
    for (int k = 0; k < 6; ++k) {
        const sObjDef* def = defs.GetAt(k);
        EXPECT_EQ(def->objectId, ids[k]) << k;
        EXPECT_EQ(std::string(def->name), names[k]) << k;
        EXPECT_EQ(def->recordSize, 384u) << k;
        EXPECT_EQ(def->version, 5) << k;
        EXPECT_EQ(def->settings216[2], 1002 * 65536 + 5) << k;
    }
    const sObjDef* tow = defs.GetAt(1);
    EXPECT_EQ(tow->refPointValue, 3.5);
    EXPECT_EQ(tow->refPointFlag, 0);
    EXPECT_EQ(tow->objType, 11);
    EXPECT_EQ(defs.GetAt(3)->objType, 2);  // classified by its id
    EXPECT_EQ(defs.GetAt(0)->objType, 0);

    list.CompleteObjectDefinition(nullptr);
    list.BuildObjectDefinitions(nullptr);
    CHdrList().BuildObjectDefinitions(&defs);
    EXPECT_EQ(defs.GetCount(), 0);
}

}  // namespace
