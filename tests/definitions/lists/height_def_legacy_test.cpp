// The old height definition blocks 24, 25, 28 and 30, written by hand: their height definitions,
// what they move onto the object that carries the height sensor and into the tide settings, and an
// old project read whole.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "definitions/lists/adj_def_list.h"
#include "definitions/lists/height_def_list.h"
#include "definitions/lists/height_def_upgrader.h"
#include "definitions/lists/node_def_list.h"
#include "definitions/lists/obj_def_list.h"
#include "definitions/lists/obs_def_list.h"
#include "definitions/records/payload_bytes.h"
#include "definitions/tide/tide_settings.h"
#include "definitions/file/vok_file.h"
#include "tests/support/block_file_samples.h"
#include "host/definition_samples.h"
#include "tests/support/file_helpers.h"

namespace {

using namespace Vok::Tides;
using Vok::Definitions::StoreAt;
using Vok::Test::CLeBytes;
using Vok::Test::MakeNodeDef;
using Vok::Test::MakeObsDef;

// An old record: zeros but for the fields set.
class COldRecord {
public:
    COldRecord(size_t size, int32_t sysId, int32_t value) : m_bytes(size, 0) { I32(0, sysId).I32(4, value); }
    COldRecord& I32(size_t offset, int32_t v) { return Put(offset, v); }
    COldRecord& F64(size_t offset, double v) { return Put(offset, v); }
    COldRecord& Text(size_t offset, const std::string& text) {
        std::memcpy(m_bytes.data() + offset, text.data(), text.size());
        return *this;
    }
    operator const std::vector<uint8_t>&() const { return m_bytes; }  // NOLINT

private:
    template <typename T>
    COldRecord& Put(size_t offset, T v) {
        StoreAt(m_bytes.data(), offset, v);
        return *this;
    }
    std::vector<uint8_t> m_bytes;
};

sObjDef Object(int32_t id) {
    sObjDef d{};
    d.Init();
    d.objectId = id;
    d.codeTable[0] = 111;
    d.codeTable[1] = 222;
    d.codeTable[2] = 333;
    d.squatModel = 4;
    return d;
}

class CHeightDefLegacyTest : public ::testing::Test {
protected:
    CHeightDefLegacyTest() {
        m_objects.Add(Object(1));
        m_objects.Add(Object(2));
        m_nodes.Add(MakeNodeDef(10, 100, 1, 0, 0, 0, 0));  // on object 1
        m_nodes.Add(MakeNodeDef(11, 101, 1, 1, 0, 0, 0));  // fixed, on object 1
        m_nodes.Add(MakeNodeDef(12, 102, 2, 3, 0, 0, 0));  // variable, on object 2
        m_obs.Add(MakeObsDef(1, 11, 7, 0, 0, 0));    // system 7 without a node,
        m_obs.Add(MakeObsDef(2, 11, 7, 11, 0, 0));   // on a fixed node,
        m_obs.Add(MakeObsDef(3, 11, 7, 12, 0, 0));   // carried by object 2
        m_obs.Add(MakeObsDef(4, 11, 8, 99, 0, 0));   // system 8 on a missing node
        m_obs.Add(MakeObsDef(5, 11, 9, 10, 0, 0));   // system 9 carried by object 1
        m_obs.Add(MakeObsDef(6, 59, 20, 10, 0, 0));  // tide observations
        m_obs.Add(MakeObsDef(7, 59, 20, 10, 0, 0));
    }

    // Reads a block of the records, cut short by `cut` bytes.
    int Read(int32_t id, const std::vector<std::vector<uint8_t>>& records, size_t cut = 0) {
        CLeBytes payload;
        for (const auto& r : records) payload.Append(r);
        std::vector<uint8_t> bytes = CLeBytes().I32(1).Block(id, payload);
        bytes.resize(bytes.size() - cut);
        Vok::Test::WriteFileBytes(m_path, bytes);
        CVOKFile file;
        EXPECT_TRUE(file.Open(m_path.c_str(), CFile::modeRead));
        file.Seek(4, CFile::begin);
        return m_heights.ReadLegacyBlock(file, id, &m_objects, &m_obs, &m_nodes, &m_setUps, &m_tides);
    }

    Vok::Test::CTempFolder m_folder;
    std::string m_path = m_folder / "old.vok";
    CObjDefList m_objects;
    CObsDefList m_obs;
    CNodeDefList m_nodes;
    CAdjDefList m_setUps;
    CTideSettingsContainer m_tides;
    CHeightDefList m_heights;
};

TEST_F(CHeightDefLegacyTest, CodesMoveOntoTheCarryingObjectBAfterA) {
    const int32_t a = 1000005, b = 2000007;
    struct Row {
        int32_t block;
        size_t size;
        int32_t flagA, flagB, slot0, slot1;
    };
    const Row rows[] = {{24, 336, 1, 1, b, a},  {24, 336, 1, 0, a, 0},  {24, 336, 0, 1, b, 0},
                        {24, 336, 0, 0, 0, 0},  {25, 400, 1, 1, b, a},  {28, 2368, 5, 1, b, a},
                        {28, 2368, 1, 0, a, 0}, {30, 3456, 1, 1, b, a}};
    for (const Row& row : rows) {
        SCOPED_TRACE(testing::Message() << row.block << " " << row.flagA << row.flagB);
        m_objects.GetAt(1)->codeTable[0] = 111;
        m_objects.GetAt(1)->codeTable[1] = 222;
        m_heights.RemoveAll();
        const auto record = COldRecord(row.size, 7, 42).I32(16, a).I32(24, b).I32(320, row.flagA).I32(328, row.flagB);
        ASSERT_EQ(Read(row.block, {record}), 1);
        ASSERT_EQ(m_heights.GetCount(), 1);
        EXPECT_EQ(std::memcmp(m_heights.GetAt(0), CLeBytes().U32(16).U8(1).Zeros(3).I32(7).I32(42).Bytes().data(), 16),
                  0);
        const sObjDef* carrier = m_objects.GetById(2);
        EXPECT_EQ(carrier->codeTable[0], row.slot0);
        EXPECT_EQ(carrier->codeTable[1], row.slot1);
        EXPECT_EQ(carrier->codeTable[2], 333);
        EXPECT_EQ(*m_objects.GetById(1), Object(1));
    }
}

TEST_F(CHeightDefLegacyTest, RecordsWithoutACarrierOrListsLeaveTheObjectsAlone) {
    const CObjDefList before(&m_objects);
    // System 8 has only a missing node, 30 no observation; 0 and -1 are no systems.
    std::vector<std::vector<uint8_t>> records;
    for (int32_t sys : {8, 30, 0, -1}) records.push_back(COldRecord(3456, sys, sys).I32(320, 1).I32(16, 5).I32(324, 1));
    ASSERT_EQ(Read(30, records), 1);
    EXPECT_EQ(m_heights.GetCount(), 4);
    EXPECT_EQ(m_heights.GetAt(3)->id, -1);
    EXPECT_EQ(m_objects.Compare(before), 0);
    EXPECT_TRUE(m_tides.get_strategies().empty());

    m_nodes.RemoveAll();
    ASSERT_EQ(Read(24, {COldRecord(336, 7, 1).I32(320, 1).I32(16, 5)}), 1);
    EXPECT_EQ(m_heights.GetCount(), 5);
    EXPECT_EQ(m_objects.Compare(before), 0);
}

TEST_F(CHeightDefLegacyTest, Block30GivesTheCarrierItsTideStrategyByModeAndItsSettings) {
    struct Row {
        int32_t mode, modeFlag, squatFlag, flag216;
        eTideModel model;
        int32_t squat, setting216;
    };
    const Row rows[] = {{2, 1, 0, 1, TIDE_MODEL_GAUGE, -1, 66},
                        {1, 1, 1, 0, TIDE_MODEL_FILE, 4, 0},
                        {2, 0, 1, 1, TIDE_MODEL_DISABLED, 4, 66},
                        {3, 1, 0, 0, TIDE_MODEL_DISABLED, -1, 0}};
    for (const Row& row : rows) {
        SCOPED_TRACE(testing::Message() << row.mode << " " << row.modeFlag);
        m_tides.clear();
        m_objects.GetAt(0)->squatModel = 4;
        // Gauge sources are observation ids, file sources node ids with the path of their index.
        const int32_t source = row.model == TIDE_MODEL_FILE ? 10 : 6;
        const auto record = COldRecord(3456, 9, 0)
                                .I32(8, row.mode).I32(12, 77).I32(20, 4).F64(32, 2.5).I32(324, row.modeFlag)
                                .I32(336, source).Text(352, "tide.txt")
                                .I32(1396, row.squatFlag).I32(1400, row.flag216).I32(1404, 66).I32(1408, 88);
        ASSERT_EQ(Read(30, {record}), 1);
        const sObjDef* carrier = m_objects.GetById(1);
        const CTideStrategyBase* s = m_tides.get_strategies().find_by_id(carrier->heightArea[0]);
        ASSERT_NE(s, nullptr);
        EXPECT_EQ(s->get_model(), row.model);
        EXPECT_EQ(carrier->squatModel, row.squat);
        EXPECT_EQ(carrier->settings216[0], row.setting216);
        EXPECT_EQ(carrier->settings216[1], 88);
        EXPECT_EQ(carrier->settings216[2], 77);
        if (const auto* gauge = dynamic_cast<const CTideStrategyGauge*>(s)) {
            EXPECT_EQ(gauge->get_reference_id(), -1);
            EXPECT_EQ(gauge->get_reference_value(), 2.5f);
            ASSERT_EQ(gauge->get_source_ids(), std::vector<uint32_t>{1});
            EXPECT_EQ(
                dynamic_cast<const CTideSourceObservation&>(*m_tides.get_sources().find_by_id(1)).get_observation_id(),
                6u);
        }
        if (const auto* file = dynamic_cast<const CTideStrategyFile*>(s)) {
            ASSERT_EQ(file->get_source_ids(), std::vector<uint32_t>{1});
            const auto& path = dynamic_cast<const CTideSourceFile&>(*m_tides.get_sources().find_by_id(1));
            EXPECT_EQ(path.get_node_id(), 10u);
            EXPECT_EQ(path.get_file_path(), "tide.txt");
        }
    }
}

TEST_F(CHeightDefLegacyTest, OneUpgraderServesTheWholeBlock) {
    auto gauge = [](int32_t sys, int32_t obs) -> std::vector<uint8_t> {
        return COldRecord(3456, sys, 0).I32(8, 2).I32(324, 1).I32(336, obs);
    };
    // Systems 9 and 7 are carried by objects 1 and 2. Differing gauge records make their own
    // strategies; a record identical to the block's first shares its strategy.
    ASSERT_EQ(Read(30, {gauge(9, 6), gauge(7, 7)}), 1);
    EXPECT_EQ(m_objects.GetById(1)->heightArea[0], 1);
    EXPECT_EQ(m_objects.GetById(2)->heightArea[0], 2);
    EXPECT_EQ(m_tides.get_sources().size(), 2u);

    m_tides.clear();
    ASSERT_EQ(Read(30, {gauge(9, 6), gauge(7, 6)}), 1);
    EXPECT_EQ(m_objects.GetById(1)->heightArea[0], 1);
    EXPECT_EQ(m_objects.GetById(2)->heightArea[0], 1);
    EXPECT_EQ(m_tides.get_strategies().size(), 1u);
}

TEST_F(CHeightDefLegacyTest, ABlockCutShortStopsAfterItsWholeRecordsAndOtherIdsReadNothing) {
    const auto first = COldRecord(336, 7, 1).I32(320, 1).I32(16, 5);
    const auto second = COldRecord(336, 9, 2).I32(320, 1).I32(16, 6);
    ASSERT_EQ(Read(24, {first, second}, 100), 0);
    ASSERT_EQ(m_heights.GetCount(), 1);
    EXPECT_EQ(m_objects.GetById(2)->codeTable[0], 5);
    EXPECT_EQ(m_objects.GetById(1)->codeTable[0], 111);
    EXPECT_EQ(Read(26, {first}), 1);
    EXPECT_EQ(m_heights.GetCount(), 1);
    EXPECT_EQ(Read(31, {CLeBytes().U32(16).U8(1).Zeros(3).I32(3).I32(4)}), 1);
    ASSERT_EQ(m_heights.GetCount(), 2);
    EXPECT_EQ(m_heights.GetAt(1)->value, 4);
}

// Node and observation records with the fields the loading looks at, the rest zero.
std::vector<uint8_t> NodeRecord(int32_t id, int32_t objectId) {
    return CLeBytes().I32(id).I32(id).I32(0).Text("N", 61).Zeros(3).U32(0).I32(objectId).Zeros(44);
}
std::vector<uint8_t> ObsRecord(int32_t id, int32_t sysId, int32_t nodeId, int32_t obsType) {
    return CLeBytes().I32(id).I32(0).I32(sysId).Text("O", 61).Zeros(3).I32(nodeId).I32(0).I32(obsType).Zeros(152);
}
// A stamped object record of the 1424-byte layout (version 4).
std::vector<uint8_t> ObjectRecord(int32_t id, const std::string& name, int32_t objType) {
    return COldRecord(1424, 1424, 4).I32(8, id).Text(12, name).I32(1340, objType);
}

TEST(LegacyProject, OldHeightBlockAndObjectStreamBecomeTideStrategiesAndHeightDefinitions) {
    Vok::Test::CTempFolder folder;
    // Nodes 10 (object 1) and 20 (object 2); systems 5 and 6 on them and the tide observation 3;
    // block 30: system 5 a gauge (mode 2) on observation 3, system 6 a tide file (mode 1) on node 20.
    const std::string project = folder / "old.vok";
    Vok::Test::WriteFileBytes(
        project, CLeBytes()
                     .I32(4)
                     .Block(38, CLeBytes().Append(NodeRecord(10, 1)).Append(NodeRecord(20, 2)))
                     .Block(40, CLeBytes()
                                    .Append(ObsRecord(1, 5, 10, 11))
                                    .Append(ObsRecord(2, 6, 20, 11))
                                    .Append(ObsRecord(3, 9, 10, 59)))
                     .Block(5, CLeBytes().Append(ObjectRecord(1, "Vessel", 0)).Append(ObjectRecord(2, "Fish", 14)))
                     .Block(30, CLeBytes()
                                    .Append(COldRecord(3456, 5, 50).I32(8, 2).I32(324, 1).F64(32, 1.25).I32(336, 3))
                                    .Append(COldRecord(3456, 6, 60)
                                                .I32(8, 1)
                                                .I32(324, 1)
                                                .I32(336, 20)
                                                .Text(352, "tides/b.txt")
                                                .I32(1396, 1))));
    // An old settings stream (version 4) giving object 2 a computed tide.
    CLeBytes entry;
    entry.I32(2).Zeros(80).I32(1000005).Zeros(36);             // id; areas at 52, 92 and 132
    entry.I32(-3).I32(4).F32(0.75f).U32(0).Zeros(16 + 1044);   // legacy: model to paths
    entry.I32(2).I32(11).I32(12).I32(0).F64(0.0).F64(1.5);     // 212, 216, 220, skipped, 240
    entry.I32(1).I32(0).I32(0).I32(5).I32(0).Zeros(40);        // 248 to 264, 268
    entry.I32(0).I32(0).I32(1).F32(1.02f).U8(2).F32(1025.0f);  // skipped, 316, 320, 324, 328
    entry.Zeros(20).F32(2.5f).I32(3).I32(8).Zeros(27);         // skipped, legacy tail, skipped
    const std::string stream = folder / "objects.set";
    Vok::Test::WriteFileBytes(stream, CLeBytes().U8(4).I32(1).Append(entry));

    CVOKFile file;
    ASSERT_TRUE(file.Open(project.c_str(), CFile::modeRead));
    CNodeDefList nodes;
    CObsDefList obs;
    CObjDefList objects;
    CHeightDefList heights;
    CAdjDefList setUps;
    CTideSettingsContainer tides;
    ASSERT_TRUE(file.FindBlock(38) && nodes.ReadBlock(file) && file.FindBlock(40) && obs.ReadBlock(file));
    ASSERT_TRUE(file.FindBlock(5) && objects.ReadBlock(file, true) && file.FindBlock(30));
    ASSERT_EQ(heights.ReadLegacyBlock(file, 30, &objects, &obs, &nodes, &setUps, &tides), 1);
    CFile settings;
    ASSERT_TRUE(settings.Open(stream.c_str(), CFile::modeRead));
    ASSERT_EQ(objects.ReadSettingsStream(&settings, &nodes, &obs, &setUps, &tides, true), 1);

    ASSERT_EQ(heights.GetCount(), 2);
    EXPECT_EQ(std::memcmp(heights.GetAt(0), CLeBytes().U32(16).U8(1).Zeros(3).I32(5).I32(50).Bytes().data(), 16), 0);
    EXPECT_EQ(std::memcmp(heights.GetAt(1), CLeBytes().U32(16).U8(1).Zeros(3).I32(6).I32(60).Bytes().data(), 16), 0);
    // Strategies 1 and 2 from the height block, 3 from the stream, which replaced object 2's.
    ASSERT_EQ(tides.get_strategies().size(), 3u);
    ASSERT_EQ(tides.get_sources().size(), 2u);
    const auto& gauge = dynamic_cast<const CTideStrategyGauge&>(*tides.get_strategies().find_by_id(1));
    const auto& tideFile = dynamic_cast<const CTideStrategyFile&>(*tides.get_strategies().find_by_id(2));
    const auto& computed = dynamic_cast<const CTideStrategyComputed&>(*tides.get_strategies().find_by_id(3));
    EXPECT_EQ(gauge.get_reference_value(), 1.25f);
    EXPECT_EQ(gauge.get_source_ids(), std::vector<uint32_t>{1});
    EXPECT_EQ(tideFile.get_source_ids(), std::vector<uint32_t>{2});
    EXPECT_EQ(dynamic_cast<const CTideSourceObservation&>(*tides.get_sources().find_by_id(1)).get_observation_id(), 3u);
    const auto& fileSource = dynamic_cast<const CTideSourceFile&>(*tides.get_sources().find_by_id(2));
    EXPECT_EQ(fileSource.get_node_id(), 20u);
    EXPECT_EQ(fileSource.get_file_path(), "tides/b.txt");
    EXPECT_EQ(computed.get_reference_id(), 4);
    EXPECT_EQ(computed.get_reference_value(), 0.75f);
    EXPECT_EQ(computed.get_computed_value(), 2.5f);
    EXPECT_EQ(computed.get_computed_count(), 3);
    EXPECT_EQ(computed.get_computed_id(), 8);

    const sObjDef& vessel = *objects.GetById(1);
    const sObjDef& fish = *objects.GetById(2);
    EXPECT_EQ(vessel.heightArea[0], 1);
    EXPECT_EQ(vessel.squatModel, -1);  // its old squat flag was clear
    EXPECT_EQ(fish.heightArea[0], 3);
    EXPECT_EQ(fish.codeTable[0], 1000005);
    EXPECT_EQ(fish.squatModel, 2);
    EXPECT_EQ(fish.value240, 1.5);
    EXPECT_EQ(fish.density, 1025.0f);
}

}  // namespace
