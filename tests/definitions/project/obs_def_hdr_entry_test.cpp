#include "definitions/project/obs_def_hdr_entry.h"

#include <gtest/gtest.h>

#include <cstring>

#include "host/definition_samples.h"

namespace {

using Vok::Test::MakeObsDef;

TEST(ObsDefHdrEntry, FindsTheRecordOfEachKindOfObservation) {
    CHdrList headers;
    CSysDefList systems;
    CNodeDefList nodes;
    Vok::Test::FillSampleSysDefs(systems);    // system 5: position navigation, keys 1, 2, 3
    Vok::Test::FillSampleNodeDefs(nodes);     // node 3 is a satellite vehicle
    nodes.FindById(1)->number = 2;            // a position record names its node by the second key
    nodes.FindById(3)->satelliteNumber = 21;
    auto add = [&](int32_t recordId, std::initializer_list<int32_t> words) {
        uint8_t* payload = headers.AddRecord(recordId, GetRecordSize(recordId), nullptr, -1);
        std::memcpy(payload, std::data(words), words.size() * 4);
        return headers.GetEntry(recordId, static_cast<int32_t>(headers.GetRecordCount(recordId)));
    };
    const sHdrEntry* obs65 = add(65, {0, 7});
    const sHdrEntry* gps = add(129, {7, 21});
    const sHdrEntry* position = add(258, {0, 0, 1, 2, 3});
    const sHdrEntry* pps = add(249, {0, 6});

    struct sRow {
        sObsDef def;
        const sHdrEntry* expected;
    };
    const sRow rows[] = {
        {MakeObsDef(1, 11, 5, 1, 0, 7), obs65},
        {MakeObsDef(2, 11, 5, 1, 0, 8), nullptr},
        {MakeObsDef(3, 22, 5, 1, 3, 7), gps},
        {MakeObsDef(4, 31, 5, 1, 0, 0), position},
        {MakeObsDef(5, 31, 5, 2, 0, 0), nullptr},   // another node number
        {MakeObsDef(6, 31, 5, 9, 0, 0), nullptr},   // a node the list does not hold
        {MakeObsDef(7, 110, 6, 0, 0, 0), pps},
        {MakeObsDef(8, 110, 6, 0, 0, -1), nullptr}, // a negative header number
        {MakeObsDef(9, 0, 6, 0, 0, 0), nullptr},
        {MakeObsDef(10, 35, 6, 0, 0, 0), nullptr},
    };
    for (const sRow& row : rows) {
        EXPECT_EQ(FindHdrEntryOfObsDef(&row.def, &headers, &systems, 0, &nodes), row.expected) << row.def.id;
    }
    EXPECT_EQ(FindHdrEntryOfObsDef(&rows[0].def, nullptr, &systems, 0, &nodes), nullptr);
}

}  // namespace
