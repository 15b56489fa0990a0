#include "definitions/header/hdr_list.h"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <functional>
#include <string>
#include <vector>

#include "compat/unit_library.h"
#include "definitions/records/definition_records.h"
#include "definitions/header/hdr_sub_list.h"
#include "host/definition_samples.h"
#include "tests/support/hdr_payloads.h"

namespace {

using Vok::Test::MakeSysDef;
using Vok::Test::Payload;
using Vok::Test::ValueAt;

int32_t Bits(float value) {
    return std::bit_cast<int32_t>(value);
}

// A finder, the record it should find and the words that make that record match.
struct sFinderRow {
    const char* name;
    int32_t recordId;
    size_t size;
    std::vector<std::pair<size_t, int32_t>> words;
    std::function<uint8_t*(CHdrList&)> find;
};

Payload Record(size_t size, const std::vector<std::pair<size_t, int32_t>>& words, int32_t shift) {
    Payload p(size);
    for (const auto& [offset, value] : words) p.I32(offset, value + shift);
    return p;
}

const Payload kKeysAt8 = Payload(16).I32(8, 7);       // a record whose +8 names 7
const Payload kKeysAt48 = Payload(16).I32(4, 7).I32(8, 8);
const sSysDef kGnss = MakeSysDef(7, 12, 4, 42, 2);
const sSysDef kUsbl = MakeSysDef(7, 2, 7, 8, 0);
const sSysDef kPrh = MakeSysDef(7, 3, 7, 8, 0);
const sSysDef kEcho = MakeSysDef(7, 1, 7, 8, 0);
const sSysDef kMultibeam = MakeSysDef(7, 20, 0, 0, 0);
const sSysDef kMultitransducer = MakeSysDef(7, 26, 0, 0, 0);
const sSysDef kSidescan = MakeSysDef(7, 27, 0, 0, 0);

const std::vector<sFinderRow>& FinderRows() {
    static const std::vector<sFinderRow> rows = {
        {"GetDatum", 13, 72, {{0, 7}}, [](CHdrList& l) { return l.GetDatum(7); }},
        {"GetDatumShift", 206, 88, {{0, 8}, {4, 7}}, [](CHdrList& l) { return l.GetDatumShift(7, 8); }},
        {"GetQcDatumShift", 188, 40, {{0, 7}, {4, 8}}, [](CHdrList& l) { return l.GetQcDatumShift(8, 7); }},
        {"GetDatumEpoch", 246, 88, {{0, 8}, {4, 7}}, [](CHdrList& l) { return l.GetDatumEpoch(7, 8); }},
        {"GetQcDatumEpoch", 247, 40, {{0, 7}, {4, 8}}, [](CHdrList& l) { return l.GetQcDatumEpoch(7, 8); }},
        {"GetSquatModel", 213, 32, {{0, 7}}, [](CHdrList& l) { return l.GetSquatModel(kKeysAt8.Data()); }},
        {"GetReferencePointOf", 197, 104, {{0, 7}}, [](CHdrList& l) { return l.GetReferencePointOf(kKeysAt8.Data()); }},
        {"GetReferencePoint", 197, 104, {{0, 7}}, [](CHdrList& l) { return l.GetReferencePoint(7); }},
        {"GetPpsRecord", 241, 72, {{4, 7}}, [](CHdrList& l) { return l.GetPpsRecord(7); }},
        {"GetPpsTimetagRecord", 249, 80, {{4, 7}}, [](CHdrList& l) { return l.GetPpsTimetagRecord(7); }},
        {"GetObject", 166, 28080, {{40, 7}}, [](CHdrList& l) { return l.GetObject(7); }},
        {"GetObjectM", 267, 76, {{40, 7}}, [](CHdrList& l) { return l.GetObjectM(7); }},
        {"GetStreamer", 167, 28072, {{40, 7}}, [](CHdrList& l) { return l.GetStreamer(7); }},
        {"GetGunArray", 168, 28068, {{40, 7}}, [](CHdrList& l) { return l.GetGunArray(7); }},
        {"GetTowedBuoy", 169, 28064, {{40, 7}}, [](CHdrList& l) { return l.GetTowedBuoy(7); }},
        {"GetPipeBundle", 229, 88, {{0, 7}}, [](CHdrList& l) { return l.GetPipeBundle(7); }},
        {"GetShape", 268, 400, {{0, 7}, {4, 1}}, [](CHdrList& l) { return l.GetShape(7, 1); }},
        {"GetVariableNodeAt", 201, 56, {{28, 7}, {32, Bits(1.5f)}, {36, Bits(-2.5f)}, {40, Bits(3.0f)}},
         [](CHdrList& l) { return l.GetVariableNodeAt(7, 1.5f, -2.5f, 3.0f); }},
        {"GetVariableNode", 201, 56, {{4, 42}}, [](CHdrList& l) { return l.GetVariableNode(10042); }},
        {"GetVariableNode 10000", 201, 56, {{4, 0}}, [](CHdrList& l) { return l.GetVariableNode(10000); }},
        {"GetObservation", 65, 104, {{4, 7}}, [](CHdrList& l) { return l.GetObservation(7); }},
        {"GetObservationQc", 68, 64, {{4, 7}}, [](CHdrList& l) { return l.GetObservationQc(7); }},
        {"GetSimplifiedAtt", 244, 376, {{12, 7}, {8, 2}}, [](CHdrList& l) { return l.GetSimplifiedAtt(7, 2); }},
        {"GetFullHarmonicsAtt", 245, 1608, {{12, 7}, {8, 2}}, [](CHdrList& l) { return l.GetFullHarmonicsAtt(7, 2); }},
        {"GetGnssPosition73", 73, 72, {{4, 42}, {8, 2}}, [](CHdrList& l) { return l.GetGnssPosition73(10042, 2); }},
        {"GetGnssPosition205", 205, 664, {{4, 42}, {8, 2}}, [](CHdrList& l) { return l.GetGnssPosition205(42, 2); }},
        {"GetGnssPosition258", 258, 712, {{12, 42}, {16, 2}}, [](CHdrList& l) { return l.GetGnssPosition258(42, 2); }},
        {"GetNodeLink", 230, 112, {{4, 42}}, [](CHdrList& l) { return l.GetNodeLink(10042, -1); }},
        {"GetGnssSystemOfDatum", 71, 84, {{16, 7}}, [](CHdrList& l) { return l.GetGnssSystemOfDatum(7); }},
        {"GetGnssSystem", 71, 84, {{0, 7}}, [](CHdrList& l) { return l.GetGnssSystem(7, 99); }},
        {"GetDredging", 207, 552, {{0, 7}}, [](CHdrList& l) { return l.GetDredging(7); }},
        {"GetDredging9510", 208, 112, {{4, 7}}, [](CHdrList& l) { return l.GetDredging9510(7); }},
        {"GetDredging9511", 209, 296, {{4, 7}}, [](CHdrList& l) { return l.GetDredging9511(7); }},
        {"GetDredging9512", 225, 368, {{4, 7}}, [](CHdrList& l) { return l.GetDredging9512(7); }},
        {"GetDumping", 264, 112, {{4, 7}}, [](CHdrList& l) { return l.GetDumping(7); }},
        {"GetControl", 231, 12, {{4, 7}}, [](CHdrList& l) { return l.GetControl(7); }},
        {"GetDredging9501", 217, 200, {{8, 7}, {4, 8}}, [](CHdrList& l) { return l.GetDredging9501(7, 8); }},
        {"GetWaterColumn", 240, 88, {{4, 7}}, [](CHdrList& l) { return l.GetWaterColumn(7); }},
        {"GetSnippets", 243, 208, {{4, 7}}, [](CHdrList& l) { return l.GetSnippets(7); }},
        {"GetMultibeamById", 220, 360, {{4, 7}}, [](CHdrList& l) { return l.GetMultibeamById(7); }},
        {"GetAdcp", 262, 112, {{4, 7}}, [](CHdrList& l) { return l.GetAdcp(7); }},
        {"GetFls", 273, 108, {{4, 7}}, [](CHdrList& l) { return l.GetFls(7); }},
        {"GetRawDataOfSystem", 234, 176, {{4, 7}, {8, 8}}, [](CHdrList& l) { return l.GetRawDataOfSystem(&kUsbl); }},
        {"GetRawDataLike", 234, 176, {{4, 7}, {8, 8}}, [](CHdrList& l) { return l.GetRawDataLike(kKeysAt48.Data()); }},
        {"GetSinglebeamLike", 219, 352, {{4, 7}, {8, 8}}, [](CHdrList& l) { return l.GetSinglebeamLike(kKeysAt48.Data()); }},
        {"GetGnssPositionRecord", 258, 712, {{8, 4}, {12, 42}, {16, 2}},
         [](CHdrList& l) { return l.GetGnssPositionRecord(&kGnss, nullptr, nullptr); }},
        {"GetUsblSystemRecord", 260, 72, {{4, 7}, {8, 8}}, [](CHdrList& l) { return l.GetUsblSystemRecord(&kUsbl, nullptr, nullptr); }},
        {"GetUsblTransceiverRecord", 202, 52, {{0, 7}, {4, 8}},
         [](CHdrList& l) { return l.GetUsblTransceiverRecord(&kUsbl, nullptr, nullptr); }},
        {"GetUsblBeaconRecord", 195, 72, {{0, 7}, {4, 8}}, [](CHdrList& l) { return l.GetUsblBeaconRecord(&kUsbl, nullptr, nullptr); }},
        {"GetPrhSensorRecord", 226, 312, {{4, 7}, {8, 8}}, [](CHdrList& l) { return l.GetPrhSensorRecord(&kPrh, nullptr, nullptr); }},
        {"GetSinglebeamRecord", 219, 352, {{4, 7}, {8, 8}}, [](CHdrList& l) { return l.GetSinglebeamRecord(&kEcho, nullptr, nullptr); }},
        {"GetMultibeamRecord", 220, 360, {{4, 7}}, [](CHdrList& l) { return l.GetMultibeamRecord(&kMultibeam, nullptr, nullptr); }},
        {"GetMultitransducerRecord", 221, 336, {{4, 7}},
         [](CHdrList& l) { return l.GetMultitransducerRecord(&kMultitransducer, nullptr, nullptr); }},
        {"GetSidescanRecord", 173, 40, {{0, 7}}, [](CHdrList& l) { return l.GetSidescanRecord(&kSidescan, nullptr, nullptr); }},
    };
    return rows;
}

TEST(HdrLookups, EachFinderPassesOverADecoyToTheMatchingRecord) {
    for (const sFinderRow& row : FinderRows()) {
        CHdrList list;
        Record(row.size, row.words, 1000).Add(list, row.recordId);
        const uint8_t* target = Record(row.size, row.words, 0).Add(list, row.recordId);
        EXPECT_EQ(row.find(list), target) << row.name;
    }
}

TEST(HdrLookups, AFieldBeyondACutPayloadMatchesNothing) {
    for (const sFinderRow& row : FinderRows()) {
        size_t last = 0;
        for (const auto& word : row.words) last = std::max(last, word.first);
        CHdrList list;
        Record(row.size, row.words, 0).Cut(last + 3).Add(list, row.recordId);
        EXPECT_EQ(row.find(list), nullptr) << row.name;
    }
}

TEST(HdrLookups, AnEmptyListAnswersWithItsFallbacks) {
    const CHdrList list;
    EXPECT_EQ(list.GetNextDatumNumber(), 1);
    EXPECT_EQ(list.GetNextGnssSystemNumber(), 4);
    EXPECT_EQ(list.GetLineNumber(), -1);
    EXPECT_STREQ(list.GetLineName(), "");
    EXPECT_STREQ(list.GetSurveyUnitName(), GetUnitName(UNIT_METERS));
    EXPECT_EQ(list.GetSurveyDatumIndex(), -1);
    EXPECT_EQ(list.HasSurveyDatum(), 0);
    EXPECT_STREQ(list.GetDatumName(1), "Survey Datum");
    EXPECT_EQ(list.GetTopDredging(), nullptr);
    EXPECT_EQ(list.GetFirstDredging(), nullptr);
    EXPECT_EQ(list.GetLinkedNode(1, -1), -1);
    EXPECT_FALSE(list.HasNodeLink(1, 3, nullptr));
    EXPECT_EQ(list.GetSonarSystemValue(1, 2.5), 2.5);
    uint8_t unit[48];
    std::memset(unit, 0xAA, sizeof unit);
    EXPECT_EQ(list.GetSurveyUnit(unit), 0);
    EXPECT_EQ(std::count(unit, unit + 48, 0), 48);
}

TEST(HdrLookups, DatumNumbersNamesAndTheSurveyDatum) {
    CHdrList list;
    Payload(72).I32(0, 5).Text(4, "Local").Add(list, 13);
    Payload(72).I32(0, 3).Text(4, "WGS84     ").Text(23, "WGS 1984").Add(list, 13);
    EXPECT_EQ(list.GetNextDatumNumber(), 6);
    EXPECT_STREQ(list.GetDatumName(3), "WGS84");
    EXPECT_STREQ(list.GetDatumNameByIndex(2), "WGS84");
    EXPECT_STREQ(list.GetDatumNameByIndex(-1), "Survey Datum");
    EXPECT_STREQ(list.GetDatumName(4), "Survey Datum");
    EXPECT_EQ(list.GetSurveyDatumIndex(), -1);
    // A name that fills its whole field stops at the field, not at the ellipsoid name after it.
    Payload(72).I32(0, 1).Text(4, std::string(19, 'N')).Text(23, "GRS80").Add(list, 13);
    EXPECT_STREQ(list.GetDatumName(1), std::string(19, 'N').c_str());
    EXPECT_EQ(list.GetSurveyDatumIndex(), 0);
    EXPECT_EQ(list.HasSurveyDatum(), 1);
    EXPECT_TRUE(list.HasDatumShift(3, 5) == false);
    Payload(88).I32(0, 5).I32(4, 3).Add(list, 206);
    EXPECT_TRUE(list.HasDatumShift(3, 5));
    EXPECT_FALSE(list.HasQcDatumShift(3, 5));
}

TEST(HdrLookups, GnssSystemsAndTheDatumsOfPositionSystems) {
    CHdrList list;
    Payload(72).I32(0, 3).Add(list, 13);
    Payload(84).I32(0, 4).I32(16, 3).Add(list, 71);
    Payload(84).I32(0, 6).I32(16, 5).Add(list, 71);
    // The first position record with the system's keys decides, whatever its type.
    Payload(664).I32(0, 4).I32(4, 42).I32(8, 2).Add(list, 205);
    Payload(712).I32(8, 6).I32(12, 42).I32(16, 2).Add(list, 258);
    EXPECT_EQ(list.GetGnssSystemNumberOfSystem(&kGnss), 4);
    EXPECT_EQ(list.GetDatumNumberOfSystem(&kGnss), 3);
    EXPECT_EQ(list.GetDatumIndexOfSystem(&kGnss), 2);
    EXPECT_EQ(list.GetDatumOfSystem(&kGnss), list.GetDatum(3));
    EXPECT_EQ(list.GetGnssSystemNumberOfSystem(&kUsbl), -1);
    EXPECT_EQ(list.GetDatumIndexOfSystem(&kUsbl), 0);
    EXPECT_EQ(list.GetDatumOfSystem(nullptr), nullptr);

    struct sRow {
        int32_t argument;
        int32_t gnssOfDatum;
        int32_t datumOfGnss;
    };
    const sRow rows[] = {{0, 4, 1}, {3, 4, 1}, {4, -1, 3}, {5, 6, -1}, {6, -1, 5}, {9, -1, -1}};
    for (const sRow& row : rows) {
        EXPECT_EQ(list.GetGnssSystemNumberOfDatum(row.argument), row.gnssOfDatum) << row.argument;
        EXPECT_EQ(list.GetDatumNumberOfGnssSystem(row.argument), row.datumOfGnss) << row.argument;
    }
    EXPECT_EQ(list.GetNextGnssSystemNumber(), 7);
    EXPECT_EQ(list.GetGnssSystem(99, 5), list.GetRecord(71, 2));
    Payload(84).I32(0, 8).I32(16, 5).Add(list, 71);
    EXPECT_EQ(list.GetGnssSystem(99, 5), list.GetRecord(71, 3));  // by datum, the last match

    // Beside a system and a datum of one number; the largest number has no next one.
    struct sNextRow {
        int32_t number, nextGnss, nextDatum;
    };
    for (const sNextRow& row : {sNextRow{3, 4, 4}, {1, 4, 2}, {INT32_MAX, 4, 1}}) {
        CHdrList low;
        Payload(84).I32(0, row.number).Add(low, 71);
        Payload(72).I32(0, row.number).Add(low, 13);
        EXPECT_EQ(low.GetNextGnssSystemNumber(), row.nextGnss) << row.number;
        EXPECT_EQ(low.GetNextDatumNumber(), row.nextDatum) << row.number;
    }
}

TEST(HdrLookups, DatumReferencesOfPositionRecords) {
    CHdrList list;
    Payload(664).I32(4, 42).I32(8, 2).Text(16, std::string(576, 'b')).Add(list, 205);
    std::vector<uint8_t> out(576, 0xEE);
    EXPECT_EQ(list.GetGnssDatumRef(out.data(), 10042, -1), 1);
    EXPECT_EQ(out, std::vector<uint8_t>(576, 'b'));
    // Once a record 258 exists, matching records 205 are no longer asked.
    Payload(712).I32(12, 43).Text(32, std::string(576, 'c')).Add(list, 258);
    EXPECT_EQ(list.GetGnssDatumRef(out.data(), 42, 2), 0);
    EXPECT_EQ(out, std::vector<uint8_t>(576, 0));
    EXPECT_EQ(list.GetGnssDatumRef(out.data(), 43, -1), 1);
    EXPECT_EQ(out, std::vector<uint8_t>(576, 'c'));

    std::vector<uint8_t> untouched(576, 0xEE);
    EXPECT_EQ(list.GetSystemDatumRef(untouched.data(), &kUsbl), 0);
    EXPECT_EQ(untouched, std::vector<uint8_t>(576, 0xEE));
    EXPECT_EQ(list.GetSystemDatumRef(untouched.data(), &kGnss), 0);
    EXPECT_EQ(untouched, std::vector<uint8_t>(576, 0));
    Payload(664).I32(0, 4).I32(4, 42).I32(8, 2).Text(16, std::string(576, 'd')).Add(list, 205);
    EXPECT_EQ(list.GetSystemDatumRef(untouched.data(), &kGnss), 1);
    EXPECT_EQ(untouched, std::vector<uint8_t>(576, 'd'));
}

TEST(HdrLookups, CompanionDataTypesAndEventLinksOfSystemRecords) {
    struct sRow {
        int32_t recordId;
        Payload record;
        std::function<uint8_t*(CHdrList&, int32_t*, int32_t*)> find;
        int32_t dataType;
    };
    auto gnss = [](CHdrList& l, int32_t* e, int32_t* d) { return l.GetGnssPositionRecord(&kGnss, e, d); };
    auto usbl = [](CHdrList& l, int32_t* e, int32_t* d) { return l.GetUsblSystemRecord(&kUsbl, e, d); };
    auto prh = [](CHdrList& l, int32_t* e, int32_t* d) { return l.GetPrhSensorRecord(&kPrh, e, d); };
    auto echo = [](CHdrList& l, int32_t* e, int32_t* d) { return l.GetSinglebeamRecord(&kEcho, e, d); };
    const Payload r258 = Payload(712).I32(8, 4).I32(12, 42).I32(16, 2);
    const Payload r260 = Payload(72).I32(4, 7).I32(8, 8);
    const Payload r226 = Payload(312).I32(4, 7).I32(8, 8);
    const Payload r219 = Payload(352).I32(4, 7).I32(8, 8);
    const sRow rows[] = {
        {258, Payload(r258).I32(0, 1), gnss, 259}, {258, Payload(r258).I32(0, 0), gnss, 165},
        {258, Payload(r258).I32(0, -1), gnss, 98},  {260, Payload(r260).I32(0, 2), usbl, 261},
        {260, Payload(r260).I32(0, 0), usbl, 86},   {128, Payload(36).I32(0, 7).I32(4, 8), usbl, 86},
        {226, Payload(r226).I32(0, 1), prh, 227},   {226, Payload(r226), prh, 87},
        {219, Payload(r219).I32(0, 1), echo, 222},  {219, Payload(r219), echo, 85},
        {220, Payload(360).I32(0, 5).I32(4, 7), [](CHdrList& l, int32_t* e, int32_t* d) {
             return l.GetMultibeamRecord(&kMultibeam, e, d); }, 274},
        {173, Payload(40).I32(0, 7), [](CHdrList& l, int32_t* e, int32_t* d) {
             return l.GetSidescanRecord(&kSidescan, e, d); }, 175},
    };
    for (const sRow& row : rows) {
        CHdrList list;
        const uint8_t* target = row.record.Add(list, row.recordId, 77);
        int32_t link = 0, type = 0;
        EXPECT_EQ(row.find(list, &link, &type), target) << row.recordId;
        EXPECT_EQ(link, 77) << row.recordId;
        EXPECT_EQ(type, row.dataType) << row.recordId;
    }
    const sSysDef magnetometer = MakeSysDef(9, 35, 7, 8, 0);
    CHdrList list;
    r219.Add(list, 219);
    EXPECT_NE(list.GetSinglebeamRecord(&magnetometer, nullptr, nullptr), nullptr);
    EXPECT_EQ(list.GetSinglebeamRecord(&kPrh, nullptr, nullptr), nullptr);
    EXPECT_EQ(list.GetSinglebeamRecord(nullptr, nullptr, nullptr), nullptr);
    // A system of another type finds none of them, though its keys or its id match.
    r258.Add(list, 258);
    r226.Add(list, 226);
    Payload(52).I32(0, 7).I32(4, 8).Add(list, 202);
    Payload(72).I32(0, 7).I32(4, 8).Add(list, 195);
    Payload(336).I32(4, 7).Add(list, 221);
    const sSysDef notGnss = MakeSysDef(7, 3, 4, 42, 2);
    EXPECT_EQ(list.GetGnssPositionRecord(&notGnss, nullptr, nullptr), nullptr);
    EXPECT_EQ(list.GetUsblTransceiverRecord(&kPrh, nullptr, nullptr), nullptr);
    EXPECT_EQ(list.GetUsblBeaconRecord(&kPrh, nullptr, nullptr), nullptr);
    EXPECT_EQ(list.GetPrhSensorRecord(&kUsbl, nullptr, nullptr), nullptr);
    EXPECT_EQ(list.GetMultitransducerRecord(&kMultibeam, nullptr, nullptr), nullptr);
}

TEST(HdrLookups, PositionSystemRecordStoresTheSystemIdAndNamesItsType) {
    CHdrList list;
    uint8_t* r205 = Payload(664).I32(0, 4).I32(4, 42).I32(8, 2).Add(list, 205, 5);
    uint8_t *a = nullptr, *b = reinterpret_cast<uint8_t*>(&list);
    int32_t type = 0;
    EXPECT_EQ(list.GetPositionSystemRecord(&kGnss, &a, &b, nullptr, &type), 205);
    EXPECT_EQ(a, nullptr);
    EXPECT_EQ(b, r205);
    EXPECT_EQ(type, 165);

    CHdrList qc;
    uint8_t* r258 = Payload(712).I32(0, 1).I32(8, 4).I32(12, 42).I32(16, 2).Add(qc, 258);
    EXPECT_EQ(qc.GetPositionSystemRecord(&kGnss, &a, &b, nullptr, &type), 258);
    EXPECT_EQ(a, r258);
    EXPECT_EQ(b, nullptr);
    EXPECT_EQ(type, 259);
    EXPECT_EQ(ValueAt<int32_t>(r258, 4), 7);
    EXPECT_EQ(qc.GetPositionSystemRecord(&kUsbl, &a, &b, nullptr, nullptr), 0);
    const sSysDef otherGnss = MakeSysDef(7, 12, 5, 42, 2);
    EXPECT_EQ(list.GetPositionSystemRecord(&otherGnss, &a, &b, nullptr, nullptr), 0);  // no record of its keys
}

TEST(HdrLookups, UsblTransceiverAndBeaconComeTogether) {
    CHdrList list;
    Payload(52).I32(0, 7).I32(4, 8).Add(list, 202, 11);
    uint8_t *transceiver = nullptr, *beacon = nullptr;
    EXPECT_EQ(list.GetUsblSystemRecords(&kUsbl, &transceiver, &beacon, nullptr, nullptr), 0);
    Payload(72).I32(0, 7).I32(4, 8).Add(list, 195, 22);
    int32_t link = 0, type = 0;
    EXPECT_EQ(list.GetUsblSystemRecords(&kUsbl, &transceiver, &beacon, &link, &type), 128);
    EXPECT_EQ(link, 22);
    EXPECT_EQ(type, 86);
    Payload(72).I32(0, 1).I32(4, 7).I32(8, 9).Add(list, 260);  // another pair's QC record
    EXPECT_EQ(list.GetUsblSystemRecords(&kUsbl, &transceiver, &beacon, &link, &type), 128);
    EXPECT_EQ(type, 86);
    Payload(72).I32(0, 1).I32(4, 7).I32(8, 8).I32(12, 99).Add(list, 260);
    EXPECT_EQ(list.GetUsblSystemRecords(&kUsbl, &transceiver, &beacon, &link, &type), 260);
    EXPECT_EQ(link, 22);  // still the later of the pair, not the QC record after it
    EXPECT_EQ(type, 261);
    EXPECT_EQ(transceiver, list.GetRecord(202, 1));
    EXPECT_EQ(beacon, list.GetRecord(195, 1));
    EXPECT_EQ(list.GetUsblBeaconRecord(&kUsbl, nullptr, &type), beacon);
    EXPECT_EQ(type, 261);
}

TEST(HdrLookups, NodeLinksByEitherEnd) {
    CHdrList list;
    Payload(112).I32(0, 5).I32(4, 42).Add(list, 230);
    Payload(112).I32(0, 42).I32(4, 9).Add(list, 230);
    struct sRow {
        int32_t node, mask;
        bool has;
    };
    const sRow rows[] = {{42, 1, true}, {42, 2, true}, {5, 1, true}, {5, 2, false}, {9, 1, false}, {9, 2, true},
                         {10042, 3, true}, {7, 3, false}, {42, 0, false}};
    for (const sRow& row : rows) EXPECT_EQ(list.HasNodeLink(row.node, row.mask, nullptr), row.has) << row.node << " " << row.mask;
    const CHdrSubList links(230, &list, 112);
    EXPECT_TRUE(list.HasNodeLink(9, 2, &links));
    EXPECT_FALSE(list.HasNodeLink(9, 1, &links));
    EXPECT_EQ(list.GetLinkedNode(42, -1), 5);
    EXPECT_EQ(list.GetLinkedNode(42, 1), 5);
    EXPECT_EQ(list.GetLinkedNode(42, 2), 9);
    EXPECT_EQ(list.GetLinkedNode(42, 3), -1);
    EXPECT_EQ(list.GetNodeLink(42, 2), list.GetRecord(230, 2));
}

TEST(HdrLookups, PpsRecordsOfASystemWithOrWithoutFlags) {
    CHdrList list;
    Payload(72).I32(4, 7).I32(8, 1).Add(list, 241);
    Payload(72).I32(4, 7).I32(8, 2).Add(list, 241);
    Payload(80).I32(4, 8).Add(list, 249);
    Payload(80).I32(8, 7).I32(12, 3).Add(list, 251);
    std::vector<uint8_t> a(72, 0xEE), b(80, 0xEE), c(80, 0xEE);
    int f1 = 0, f2 = 0, f3 = 0;
    list.GetPpsRecords(7, a.data(), b.data(), c.data(), &f1, &f2, &f3);
    EXPECT_EQ(ValueAt<int32_t>(a.data(), 8), 2);  // the last match wins
    EXPECT_EQ(b, std::vector<uint8_t>(80, 0));
    EXPECT_EQ(ValueAt<int32_t>(c.data(), 12), 3);
    EXPECT_EQ(f1, 1);
    EXPECT_EQ(f2, 0);
    EXPECT_EQ(f3, 1);
    list.GetPpsRecords(7, a.data(), nullptr, c.data(), nullptr, nullptr, nullptr);
    EXPECT_EQ(ValueAt<int32_t>(a.data(), 8), 2);
    // A longer record fills the caller's 80 bytes and not one past them.
    Payload(88).I32(8, 9).I32(84, 5).Add(list, 251);
    std::vector<uint8_t> d(88, 0xEE);
    list.GetPpsRecords(9, nullptr, nullptr, d.data(), nullptr, nullptr, nullptr);
    EXPECT_EQ(ValueAt<int32_t>(d.data(), 8), 9);
    EXPECT_EQ(std::vector<uint8_t>(d.begin() + 80, d.end()), std::vector<uint8_t>(8, 0xEE));
}

TEST(HdrLookups, SonarValueOfTheFirstRecordTypeThatNamesTheSystem) {
    CHdrList list;
    Payload(40).I32(0, 7).I32(8, 1).F32(12, 4.5f).Add(list, 173);
    EXPECT_EQ(list.GetSonarSystemValue(7, -1.0), 4.5);
    Payload(336).I32(4, 7).I32(68, 1).F64(72, 6.25).Add(list, 221);
    EXPECT_EQ(list.GetSonarSystemValue(7, -1.0), 6.25);
    Payload(360).I32(4, 7).I32(76, 0).F32(80, 9.0f).Add(list, 220);
    EXPECT_EQ(list.GetSonarSystemValue(7, -1.0), -1.0);
    EXPECT_EQ(list.GetSonarSystemValue(8, -2.0), -2.0);
}

TEST(HdrLookups, SubListFindersByLeadingWords) {
    CHdrList list;
    Payload(16).I32(0, 1).I32(4, 2).I32(8, 3).I32(12, 4).Add(list, 129);
    Payload(16).I32(0, 5).I32(4, 6).I32(8, 7).I32(12, 8).Add(list, 129);
    Payload(16).I32(0, 10).I32(4, 20).I32(8, 30).I32(12, 40).Add(list, 129);
    Payload(16).I32(0, 10000).Add(list, 129);
    const CHdrSubList sub(129, &list, 16);
    auto element = [&](int k) { return static_cast<uint8_t*>(sub.GetAt(sub.FindIndex(k))); };
    struct sRow {
        const char* name;
        uint8_t* found;
        int expected;  // element index, -1 for none
    };
    const sRow rows[] = {
        {"0", CHdrList::FindSubRecord0(5, &sub), 1},
        {"01", CHdrList::FindSubRecord01(5, 6, &sub), 1},
        {"01 miss", CHdrList::FindSubRecord01(5, 2, &sub), -1},
        {"012 any", CHdrList::FindSubRecord012(10, 20, -1, &sub), 2},
        {"012 reduced", CHdrList::FindSubRecord012(5, 6, 10007, &sub), 1},
        {"123", CHdrList::FindSubRecord123(2, 3, 4, &sub), 0},
        {"1", CHdrList::FindSubRecord1(20, &sub), 2},
        {"1 below 1", CHdrList::FindSubRecord1(0, &sub), -1},
        {"12", CHdrList::FindSubRecord12(6, 7, &sub), 1},
        {"12 one word", CHdrList::FindSubRecord12(2, 7, &sub), -1},
        {"32 any", CHdrList::FindSubRecord32(40, -1, &sub), 2},
        {"32", CHdrList::FindSubRecord32(4, 3, &sub), 0},
        {"32 below 1", CHdrList::FindSubRecord32(0, -1, &sub), -1},
        {"local", CHdrList::FindSubRecordLocal0(10, &sub), 2},
        {"10000", CHdrList::FindSubRecord0(10000, &sub), 3},
        {"local 10000", CHdrList::FindSubRecordLocal0(10000, &sub), -1},  // a category, not a number
        {"2", CHdrList::FindSubRecord2(7, &sub), 1},
        {"2 zero", CHdrList::FindSubRecord2(0, &sub), -1},
        {"21", CHdrList::FindSubRecord21(3, 2, &sub), 0},
        {"null", CHdrList::FindSubRecord0(5, nullptr), -1},
    };
    for (const sRow& row : rows) EXPECT_EQ(row.found, row.expected < 0 ? nullptr : element(row.expected)) << row.name;

    // Elements shorter than the words asked match nothing.
    const CHdrSubList shortOnes(129, &list, 8);
    EXPECT_EQ(CHdrList::FindSubRecord123(2, 3, -1, &shortOnes), nullptr);
    EXPECT_NE(CHdrList::FindSubRecord01(1, 2, &shortOnes), nullptr);
}

TEST(HdrLookups, DredgingRankAndRecordsOfAKey) {
    CHdrList list;
    Payload(552).I32(44, 3).Add(list, 207);
    uint8_t* top = Payload(552).I32(44, 9).Add(list, 207);
    Payload(552).I32(44, 9).Add(list, 207);
    EXPECT_EQ(list.GetTopDredging(), top);
    EXPECT_EQ(list.GetFirstDredging(), list.GetRecord(207, 1));
    for (int32_t key : {1, 2, 1}) Payload(64).I32(4, key).Add(list, 210);
    CHdrSubList sub;
    list.GetDredgingRecords(1, sub);
    EXPECT_EQ(sub.GetCount(), 2);
    list.GetDredgingRecords(3, sub);
    EXPECT_EQ(sub.GetCount(), 0);
}

TEST(HdrLookups, LineNameUsblSettersAndChartDatum) {
    CHdrList list;
    Payload(120).Text(0, std::string(90, 'L')).I32(84, 12).Add(list, 176);
    EXPECT_EQ(list.GetLineNumber(), 12);
    EXPECT_EQ(std::string(list.GetLineName().GetString()).size(), 81u);  // bounded by its field

    uint8_t* usbl = Payload(36).I32(0, 1).I32(4, 2).I32(8, 3).Add(list, 128);
    const Payload update = Payload(36).I32(0, 1).I32(4, 2).I32(8, 3).I32(32, 99);
    EXPECT_EQ(list.SetUsblRecord(update.Data()), 1);
    EXPECT_EQ(ValueAt<int32_t>(usbl, 32), 99);
    EXPECT_EQ(list.SetUsblRecord(Payload(36).I32(8, 4).Data()), 0);
    EXPECT_EQ(list.SetUsblRecord(nullptr), 0);
    uint8_t* qc = Payload(72).I32(4, 1).I32(8, 2).I32(12, 3).Add(list, 260);
    EXPECT_EQ(list.SetUsblQcRecord(Payload(72).I32(4, 1).I32(8, 2).I32(12, 3).I32(68, 5).Data()), 1);
    EXPECT_EQ(ValueAt<int32_t>(qc, 68), 5);

    std::vector<uint8_t> out(576, 0xEE);
    EXPECT_EQ(list.GetChartDatumRef(out.data(), 0), 0);
    EXPECT_EQ(out, std::vector<uint8_t>(576, 0));
    Payload(1192).Text(16, std::string(576, 'f')).Text(592, std::string(576, 's')).Add(list, 228);
    EXPECT_EQ(list.GetChartDatumRef(out.data(), 1), 1);
    EXPECT_EQ(out, std::vector<uint8_t>(576, 's'));
    EXPECT_EQ(list.GetChartDatumRef(out.data(), 0), 1);
    EXPECT_EQ(out, std::vector<uint8_t>(576, 'f'));
}

TEST(HdrLookups, SurveyUnitIsAppliedToTheUnitLibrary) {
    const double usFoot = 1200.0 / 3937.0;
    CHdrList list;
    Payload(48).Text(0, "US Survey Foot").F64(40, usFoot).Add(list, 153);
    EXPECT_STREQ(list.GetSurveyUnitName(), "US Survey Foot");
    EXPECT_EQ(list.ApplySurveyUnit(), 1);
    EXPECT_EQ(GetConvToMeters(), usFoot);
    EXPECT_STREQ(GetUnitName(), "US Survey Foot");
    // A factor that the library refuses gives metres too, not the unit of the project before.
    for (const double refused : {0.0, -0.3048, std::nan("")}) {
        SetUnit(UNIT_FEET);
        EXPECT_EQ(CHdrList::ApplySurveyUnitRecord(Payload(48).Text(0, "Bad").F64(40, refused).Data(), 1), 0);
        EXPECT_EQ(GetConvToMeters(), 1.0) << refused;
    }
    EXPECT_EQ(CHdrList::ApplySurveyUnitRecord(nullptr, 1), 0);
    EXPECT_EQ(GetConvToMeters(), 1.0);
    EXPECT_EQ(CHdrList().ApplySurveyUnit(), 0);
    EXPECT_EQ(GetAngUnit(), ANGUNIT_DEGREES);
    EXPECT_STREQ(CHdrList::GetUnitText(1, 1), GetUnitName(UNIT_FEET));
    EXPECT_STREQ(CHdrList::GetUnitText(24, 0), GetUnitShort(UNIT_KNOTS));
    EXPECT_STREQ(CHdrList::GetCoordKindCaption(1, 1), "Local Grid Coordinates");
    EXPECT_STREQ(CHdrList::GetCoordKindCaption(0, 0), "Geographic");
}

TEST(HdrLookups, DriverSettingsByDriverAndName) {
    CHdrList list;
    Payload(152).I32(0, 5).Text(8, "Port").Text(68, "4001").Add(list, 256);
    Payload(152).I32(0, 5).Text(8, "Baud").Text(68, "9600").Add(list, 256);
    Payload(152).I32(0, 5).Text(8, "Port").Text(68, "4002").Add(list, 256);
    Payload(152).I32(0, 6).Text(8, "Mode").Text(68, "x").Add(list, 256);
    EXPECT_EQ(list.GetDriverSettingNames(5), (std::set<std::string>{"Baud", "Port"}));
    EXPECT_STREQ(list.GetDriverSetting(5, "Port"), "4001");
    EXPECT_STREQ(list.GetDriverSetting(5, "port"), "");
    EXPECT_STREQ(list.GetDriverSetting(6, "Baud"), "");
}

}  // namespace

namespace {

constexpr double kAxis = 6378137.0;
constexpr double kWgs84Flattening = 298.257223563;
constexpr double kGrs80Flattening = 298.257222101;

Payload Datum(int32_t number, const std::string& name, const std::string& ellipsoid, double inverseFlattening) {
    return Payload(72).I32(0, number).Text(4, name).Text(23, ellipsoid).F64(48, kAxis).F64(56, 1.0).F64(64, inverseFlattening);
}

const Payload kWgs84_5 = Datum(5, "WGS84", "WGS 84", kWgs84Flattening);
const Payload kWgs84_3 = Datum(3, "WGS 1984", "WGS 84", kWgs84Flattening);
const Payload kItrf_7 = Datum(7, "ITRF2014", "GRS 1980", kGrs80Flattening);
const Payload kItrf_1 = Datum(1, "ITRF2008", "GRS 1980", kGrs80Flattening);
const Payload kEtrs_2 = Datum(2, "ETRS89", "GRS 1980", kGrs80Flattening);

TEST(HdrDatumChoice, PreferenceOfWgs84AndGrs80Datums) {
    struct sRow {
        const char* name;
        std::vector<const Payload*> datums;
        int allowGrs80;
        int32_t index;
    };
    const sRow rows[] = {
        {"lowest WGS84 before ITRF", {&kWgs84_5, &kWgs84_3, &kItrf_1}, 1, 2},
        {"full GRS80 before partial", {&kEtrs_2, &kItrf_7}, 1, 6},
        {"GRS80 not allowed", {&kEtrs_2, &kItrf_7}, 0, -1},
        {"partial GRS80 alone", {&kEtrs_2}, 1, 1},
        {"none", {}, 1, -1},
        {"cut record", {}, 1, -1},
    };
    for (const sRow& row : rows) {
        CHdrList list;
        for (const Payload* datum : row.datums) datum->Add(list, 13);
        if (std::string(row.name) == "cut record") Payload(kWgs84_5).Cut(60).Add(list, 13);
        EXPECT_EQ(list.FindWgs84DatumIndex(row.allowGrs80), row.index) << row.name;
        int32_t number = -5;
        EXPECT_EQ(list.FindWgs84Datum(number, row.allowGrs80), row.index >= 0) << row.name;
        EXPECT_EQ(number, row.index + 1) << row.name;
    }
}

TEST(HdrDatumChoice, LocalGrs80AndItrfRealizations) {
    CHdrList list;
    kItrf_7.Add(list, 13);
    kItrf_1.Add(list, 13);
    int32_t number = -5;
    EXPECT_FALSE(list.FindGrs80LocalDatum(number, 0));
    EXPECT_EQ(number, 0);
    EXPECT_TRUE(list.FindGrs80LocalDatum(number, 1));  // any GRS80 datum when allowed
    EXPECT_EQ(number, 1);
    kEtrs_2.Add(list, 13);
    EXPECT_TRUE(list.FindGrs80LocalDatum(number, 1));
    EXPECT_EQ(number, 2);
    EXPECT_TRUE(list.FindItrfDatum(number, "ITRF2014"));
    EXPECT_EQ(number, 7);
    EXPECT_FALSE(list.FindItrfDatum(number, "ITRF2005"));
    EXPECT_EQ(number, 0);
    EXPECT_TRUE(list.FindItrfDatum(number, nullptr));
    EXPECT_EQ(number, 1);
}

TEST(HdrDatumChoice, SameDatumAndTheDatumOfAGnssSystem) {
    CHdrList list;
    const uint8_t* wgs = kWgs84_5.Add(list, 13);
    const uint8_t* etrs = kEtrs_2.Add(list, 13);
    const uint8_t* itrf = kItrf_7.Add(list, 13);
    EXPECT_EQ(list.FindSameDatum(Datum(9, "WGS84", "WGS 84", kWgs84Flattening).Data()), wgs);
    // No datum of that name: the last on the same ellipsoid.
    EXPECT_EQ(list.FindSameDatum(Datum(9, "NAD83", "GRS 1980", kGrs80Flattening).Data()), itrf);
    EXPECT_EQ(list.FindSameDatum(Datum(9, "Other", "Other", 297.0).Data()), nullptr);
    EXPECT_EQ(list.FindSameDatum(nullptr), nullptr);

    EXPECT_EQ(list.FindDatumOfGnssSystem(Payload(84).I32(0, 4).Text(4, "ETRS89").I32(16, 2).Data()), etrs);
    EXPECT_EQ(list.FindDatumOfGnssSystem(Payload(84).I32(0, 4).Text(4, "WGS84").I32(16, 3).Data()), wgs);
    EXPECT_EQ(list.FindDatumOfGnssSystem(Payload(84).I32(0, 4).Text(4, "NAD27").I32(16, 5).Data()), nullptr);
    EXPECT_EQ(list.FindDatumOfGnssSystem(nullptr), nullptr);
}

}  // namespace

namespace {

// Look-ups that answer with a value: a record cut one byte short of the field they read answers
// as if the record were not there.
TEST(HdrLookups, ValueLookUpsOnPayloadsCutOneByteShort) {
    struct sRow {
        const char* name;
        int32_t recordId;
        Payload record;
        std::function<bool(CHdrList&)> answersAsMissing;
    };
    const sRow rows[] = {
        {"GetLineNumber", 176, Payload(120).I32(84, 5).Cut(87), [](CHdrList& l) { return l.GetLineNumber() == -1; }},
        {"GetSonarSystemValue", 220, Payload(360).I32(4, 7).I32(76, 1).F32(80, 2.0f).Cut(83),
         [](CHdrList& l) { return l.GetSonarSystemValue(7, -1.0) == -1.0; }},
        {"GetDatumNumberOfGnssSystem", 71, Payload(84).I32(0, 5).I32(16, 3).Cut(19),
         [](CHdrList& l) { return l.GetDatumNumberOfGnssSystem(5) == -1; }},
        {"GetNextGnssSystemNumber", 71, Payload(84).I32(0, 9).Cut(3), [](CHdrList& l) { return l.GetNextGnssSystemNumber() == 4; }},
        {"GetNextDatumNumber", 13, Payload(72).I32(0, 9).Cut(3), [](CHdrList& l) { return l.GetNextDatumNumber() == 1; }},
        {"GetLinkedNode", 230, Payload(112).I32(0, 42).I32(4, 9).Cut(7), [](CHdrList& l) { return l.GetLinkedNode(42, -1) == -1; }},
        {"GetGnssDatumRef", 258, Payload(712).I32(12, 42).Cut(607), [](CHdrList& l) {
             std::vector<uint8_t> out(576, 1);
             return l.GetGnssDatumRef(out.data(), 42, -1) == 0 && out == std::vector<uint8_t>(576, 0);
         }},
        {"GetChartDatumRef", 228, Payload(1192).Cut(1167), [](CHdrList& l) {
             std::vector<uint8_t> out(576, 1);
             return l.GetChartDatumRef(out.data(), 1) == 0 && out == std::vector<uint8_t>(576, 0);
         }},
        {"ApplySurveyUnit", 153, Payload(48).F64(40, 0.3048).Cut(47), [](CHdrList& l) {
             return l.ApplySurveyUnit() == 0 && GetConvToMeters() == 1.0;
         }},
        {"GetTopDredging", 207, Payload(552).I32(44, 3).Cut(47), [](CHdrList& l) { return l.GetTopDredging() == nullptr; }},
        {"GetPpsRecords", 249, Payload(80).I32(4, 7).Cut(7), [](CHdrList& l) {
             int found = 0;
             std::vector<uint8_t> out(80, 1);
             l.GetPpsRecords(7, nullptr, out.data(), nullptr, nullptr, &found, nullptr);
             return found == 0 && out == std::vector<uint8_t>(80, 0);
         }},
        {"GetDriverSettingNames", 256, Payload(152).I32(0, 5).Cut(3), [](CHdrList& l) { return l.GetDriverSettingNames(5).empty(); }},
    };
    for (const sRow& row : rows) {
        CHdrList list;
        row.record.Add(list, row.recordId);
        EXPECT_TRUE(row.answersAsMissing(list)) << row.name;
    }
    SetUnit(UNIT_METERS);
}

TEST(HdrLookups, TextsAreReadWithinTheirFields) {
    CHdrList list;
    Payload(152).I32(0, 5).Text(8, std::string(70, 'n')).Text(68, std::string(84, 'v')).Add(list, 256);
    Payload(48).Text(0, std::string(48, 'u')).Add(list, 153);
    const std::set<std::string> names = list.GetDriverSettingNames(5);
    ASSERT_EQ(names.size(), 1u);
    EXPECT_EQ(*names.begin(), std::string(60, 'n'));  // the name field ends where the value begins
    EXPECT_EQ(std::string(list.GetDriverSetting(5, std::string(60, 'n').c_str()).GetString()), std::string(84, 'v'));
    EXPECT_EQ(std::string(list.GetSurveyUnitName().GetString()), std::string(40, 'u'));
}

}  // namespace
