// The definitions lists in the block file: round trips through WriteBlock / ReadBlock, and the old
// blocks written by hand from their layouts.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "definitions/lists/anchor_def_list.h"
#include "definitions/records/definition_predicates.h"
#include "definitions/header/hdr_list.h"
#include "definitions/lists/node_def_list.h"
#include "definitions/lists/obs_def_list.h"
#include "definitions/lists/obs_type_properties.h"
#include "definitions/lists/sys_def_list.h"
#include "definitions/file/vok_file.h"
#include "platform/log.h"
#include "tests/support/block_file_samples.h"
#include "host/definition_samples.h"
#include "tests/support/file_helpers.h"

namespace {

using Vok::Test::CLeBytes;
using Vok::Test::CTempFolder;
using Vok::Test::WriteFileBytes;

class CDefinitionBlocksTest : public ::testing::Test {
protected:
    // The file holding the bytes, opened; or an empty one to write into.
    CVOKFile& OpenWith(const std::vector<uint8_t>& bytes) {
        WriteFileBytes(m_path, bytes);
        m_file.Abort();
        EXPECT_TRUE(m_file.Open(m_path.c_str(), CFile::modeReadWrite));
        return m_file;
    }
    CVOKFile& Reopen() {
        m_file.Close();
        EXPECT_TRUE(m_file.Open(m_path.c_str(), CFile::modeRead));
        return m_file;
    }

    CTempFolder m_folder;
    std::string m_path = m_folder / "p.vok";
    CVOKFile m_file;
};

template <typename List>
bool SameRecords(const List& a, const List& b) {
    if (a.GetCount() != b.GetCount()) return false;
    for (int k = 0; k < a.GetCount(); ++k) {
        if (std::memcmp(a.GetAt(k), b.GetAt(k), sizeof *a.GetAt(k)) != 0) return false;
    }
    return true;
}

TEST_F(CDefinitionBlocksTest, EveryListReadsBackWhatItWrote) {
    CVOKFile& file = OpenWith({});
    const int blocks = Vok::Test::WriteSampleProject(file);
    EXPECT_EQ(file.GetBlockCount(), blocks);
    CVOKFile& in = Reopen();

    CSysDefList systems, systemsBack;
    Vok::Test::FillSampleSysDefs(systems);
    for (sSysDef& s : systems) s.version = 2;  // stamped by the writer
    EXPECT_EQ(systemsBack.ReadBlock(in), 1);
    EXPECT_TRUE(SameRecords(systems, systemsBack));

    CNodeDefList nodes, nodesBack;
    Vok::Test::FillSampleNodeDefs(nodes);
    for (sNodeDef& n : nodes) ApplyNodeDefDefaults(&n);  // given on reading
    ASSERT_EQ(in.FindBlock(BLOCK_NODE_DEFS), 1);
    EXPECT_EQ(nodesBack.ReadBlock(in), 1);
    EXPECT_TRUE(SameRecords(nodes, nodesBack));

    CObsDefList obs, obsBack;
    Vok::Test::FillSampleObsDefs(obs);
    ASSERT_EQ(in.FindBlock(BLOCK_OBS_DEFS), 1);
    EXPECT_EQ(obsBack.ReadBlock(in), 1);
    EXPECT_EQ(obsBack.GetCount(), 3);
    EXPECT_EQ(obsBack.GetAt(2)->transient, 0);  // cleared on writing
    obs.GetAt(2)->transient = 0;
    EXPECT_TRUE(SameRecords(obs, obsBack));

    CAnchorDefList anchors, anchorsBack;
    Vok::Test::FillSampleAnchorDefs(anchors);
    ASSERT_EQ(in.FindBlock(BLOCK_ANCHOR_DEFS), 1);
    EXPECT_EQ(anchorsBack.ReadBlock(in), 1);
    EXPECT_EQ(anchorsBack.Equals(anchors), 1);

    CHdrList headers;
    EXPECT_EQ(headers.ReadBlock(in, 0, 0), 1);
    CHdrList samples;
    Vok::Test::FillSampleHdrList(samples);
    ASSERT_EQ(headers.GetCount(), samples.GetCount() + 3);
    for (int k = 0; k < samples.GetCount(); ++k) {
        const sHdrEntry& a = *samples.GetEntryAt(k);
        const sHdrEntry& b = *headers.GetEntryAt(k);
        EXPECT_EQ(a.recordId, b.recordId);
        EXPECT_EQ(a.payloadSize, b.payloadSize);
        EXPECT_EQ(std::memcmp(a.Payload(), b.Payload(), a.payloadSize), 0);
        // The file has block 7, so the links stay.
        EXPECT_EQ(a.eventLink, b.eventLink);
        EXPECT_EQ(b.secondLink, -1);
    }
    EXPECT_EQ(headers.GetUtcToGpsOffset(), 16.0);
    // Each entry knows where its link word is: reading it there gives the link.
    for (const sHdrEntry& e : headers) {
        int32_t link = 0;
        in.Seek(e.filePosition, CFile::begin);
        ASSERT_EQ(in.Read(&link, 4), 4u);
        EXPECT_EQ(link, e.eventLink);
    }
    headers.RemoveAll();

    CHisList history, historyBack;
    Vok::Test::FillSampleHistory(history);
    EXPECT_EQ(historyBack.ReadBlock(in), BLOCK_HISTORY);
    EXPECT_EQ(std::memcmp(history.GetData(), historyBack.GetData(), sizeof(sHisEntry) * 20), 0);
    EXPECT_EQ(historyBack.GetUsedCount(), 2u);
}

TEST_F(CDefinitionBlocksTest, ListsRefuseBlocksThatAreNotTheirs) {
    CVOKFile& file = OpenWith(CLeBytes().I32(1).Block(38, std::vector<uint8_t>(128, 0)));
    file.Seek(4, CFile::begin);
    CObsDefList obs;
    CAnchorDefList anchors;
    EXPECT_EQ(obs.ReadBlock(file), 0);
    file.Seek(4, CFile::begin);
    EXPECT_EQ(anchors.ReadBlock(file), 0);
    EXPECT_TRUE(obs.IsEmpty());
    EXPECT_TRUE(anchors.IsEmpty());
    // A payload that is not a whole number of records reads the whole ones and reports the rest.
    CVOKFile& ragged = OpenWith(CLeBytes().I32(1).Block(38, std::vector<uint8_t>(130, 0)));
    ragged.Seek(4, CFile::begin);
    CNodeDefList nodes;
    EXPECT_EQ(nodes.ReadBlock(ragged), 0);
    EXPECT_EQ(nodes.GetCount(), 1);
}

TEST_F(CDefinitionBlocksTest, OldObservationBlocksAreUpgraded) {
    // Block 37: 200-byte records.
    const std::vector<uint8_t> old37 =
        CLeBytes()
            .I32(4).I32(-2).I32(6).Text("Depth", 61).U8(1).U8(7).U8(8)
            .I32(10).I32(11).I32(41).U32(3).U32(1).I32(12).U32(0)
            .F64(0.1).F64(0.2).F64(1500.0).F64(1.0).F64(2.0).F64(0.5)
            .F32(0.25f).F32(9.0f).Text("refA", 11).Text("refB", 11).Text("tag13chars!!!", 14).F32(0.75f);
    ASSERT_EQ(old37.size(), 200u);
    CVOKFile& file = OpenWith(CLeBytes().I32(1).Block(37, old37));
    ASSERT_EQ(file.FindBlock(37), 1);
    CObsDefList obs;
    EXPECT_EQ(obs.ReadBlock(file), 1);
    ASSERT_EQ(obs.GetCount(), 1);
    const sObsDef& d = *obs.GetAt(0);
    EXPECT_EQ(d.id, 4);
    EXPECT_EQ(d.link, -2);
    EXPECT_EQ(d.sysId, 6);
    EXPECT_STREQ(d.name, "Depth");
    EXPECT_EQ(d.transient, 0);
    EXPECT_EQ(d.flag74, 7);
    EXPECT_EQ(d.flag75, 8);
    EXPECT_EQ(d.nodeId, 10);
    EXPECT_EQ(d.toNodeId, 11);
    EXPECT_EQ(d.obsType, 41);
    EXPECT_EQ(d.unitType, 3u);
    EXPECT_EQ(d.rotationOrder, 1u);
    EXPECT_EQ(d.displayNodeId, 12);
    EXPECT_EQ(d.verticalDelay, 0.1);
    EXPECT_EQ(d.velocity, 0.2);
    EXPECT_EQ(d.soundVelocity, 1500.0);
    EXPECT_EQ(d.correction2, 2.0);
    EXPECT_EQ(d.scale, 0.5);
    EXPECT_EQ(d.quadratic, 0.0);
    EXPECT_EQ(d.sigma, 0.25f);
    EXPECT_EQ(d.setting164, 9.0f);
    EXPECT_STREQ(d.refName1, "refA");
    EXPECT_STREQ(d.refName2, "refB");
    EXPECT_STREQ(d.tag, "tag13chars!!!");
    EXPECT_EQ(d.interval, 0.75f);

    // Block 4: 192-byte records; the interval is the type's default.
    const std::vector<uint8_t> old4 =
        CLeBytes()
            .I32(9).I32(0).I32(2).Text("Gyro", 61).U8(1).U8(5).U8(5)
            .I32(3).I32(0).I32(11).U32(3).Zeros(12)
            .F64(0.0).F64(0.0).F64(0.0).F64(1.5).F64(0.0).F64(0.0)
            .F32(0.5f).Text("r1", 11).Text("r2", 11).Text("t", 14);
    ASSERT_EQ(old4.size(), 192u);
    CVOKFile& file4 = OpenWith(CLeBytes().I32(1).Block(4, old4));
    ASSERT_EQ(file4.FindBlock(4), 1);
    CObsDefList obs4;
    EXPECT_EQ(obs4.ReadBlock(file4), 1);
    ASSERT_EQ(obs4.GetCount(), 1);
    const sObsDef& g = *obs4.GetAt(0);
    EXPECT_EQ(g.id, 9);
    EXPECT_STREQ(g.name, "Gyro");
    EXPECT_EQ(g.flag74, 0);
    EXPECT_EQ(g.nodeId, 3);
    EXPECT_EQ(g.obsType, 11);
    EXPECT_EQ(g.unitType, 3u);
    EXPECT_EQ(g.correction1, 1.5);
    EXPECT_EQ(g.sigma, 0.5f);
    EXPECT_EQ(g.setting164, 0.0f);
    EXPECT_STREQ(g.refName1, "r1");
    EXPECT_STREQ(g.refName2, "r2");
    EXPECT_STREQ(g.tag, "t");
    EXPECT_EQ(g.interval, GetObsTypeDefaultInterval(11));
}

TEST_F(CDefinitionBlocksTest, OldNodeBlocksAreUpgraded) {
    const std::vector<uint8_t> old6 = CLeBytes()
                                          .I32(2).I32(14).I32(5).Text("Antenna", 61).Zeros(3)
                                          .U32(1).I32(4).I32(77).F64(1.0).F64(-2.5).F64(3.25).Zeros(0);
    ASSERT_EQ(old6.size(), 112u);
    CVOKFile& file = OpenWith(CLeBytes().I32(1).Block(6, old6));
    ASSERT_EQ(file.FindBlock(6), 1);
    CNodeDefList nodes;
    EXPECT_EQ(nodes.ReadBlock(file), 1);
    ASSERT_EQ(nodes.GetCount(), 1);
    sNodeDef expected{};
    expected.id = 2;
    expected.number = 14;
    expected.satelliteNumber = 5;
    SetFieldText(expected.name, "Antenna");
    expected.nodeType = 1;
    expected.objectId = 4;
    expected.reserved84 = -1;
    expected.x = 1.0;
    expected.y = -2.5;
    expected.z = 3.25;
    expected.defaultsApplied = 1;
    expected.unitCode = 25;
    expected.coordKind = 2;
    EXPECT_EQ(std::memcmp(nodes.GetAt(0), &expected, sizeof expected), 0);
}

TEST_F(CDefinitionBlocksTest, OldAnchorBlocksAreUpgradedWithTheirValuesMoved) {
    const std::string longName(60, 'L');
    auto old = [](const std::string& name, int32_t id) {
        CLeBytes b;
        b.Text(name, 76).I32(id).Zeros(4);
        for (int k = 0; k < 8; ++k) b.I32(id * 100 + k);
        b.I32(-7);  // the four bytes at 116 that the new layout drops
        for (int k = 0; k < 6; ++k) b.F64(id + k / 4.0);
        return b.Bytes();
    };
    const std::vector<uint8_t> payload = CLeBytes().Append(old(std::string(30, 'a'), 3)).Append(old(longName, 4));
    ASSERT_EQ(payload.size(), 2u * 168u);
    CVOKFile& file = OpenWith(CLeBytes().I32(1).Block(29, payload));
    ASSERT_EQ(file.FindBlock(29), 1);
    CAnchorDefList anchors;
    EXPECT_EQ(anchors.ReadBlock(file), 1);
    ASSERT_EQ(anchors.GetCount(), 2);
    for (int k = 0; k < 2; ++k) {
        const int32_t id = 3 + k;
        sAnchorDef expected{};
        SetFieldText(expected.name, k == 0 ? std::string(30, 'a').c_str() : std::string(49, 'L').c_str());
        expected.id = id;
        for (int w = 0; w < 8; ++w) expected.settings[w] = id * 100 + w;
        for (int v = 0; v < 6; ++v) expected.values[v] = id + v / 4.0;
        EXPECT_EQ(std::memcmp(anchors.GetAt(k), &expected, sizeof expected), 0) << k;
    }
    EXPECT_EQ(std::strlen(anchors.GetAt(1)->name), 49u);
}

TEST(AnchorDefList, EqualityCopiesAndReferences) {
    CAnchorDefList a, b;
    EXPECT_EQ(a.Equals(b), 1);
    Vok::Test::FillSampleAnchorDefs(a);
    b.CopyFrom(&a);
    EXPECT_EQ(b.Equals(a), 1);
    EXPECT_EQ(b.NotEquals(a), 0);
    b.GetAt(1)->reserved244[39] ^= 1;
    EXPECT_EQ(b.Equals(a), 0);
    EXPECT_EQ(b.NotEquals(a), 1);
    b.CopyFrom(&b);
    EXPECT_EQ(b.GetCount(), 2);
    EXPECT_EQ(CAnchorDefList(&a).Equals(a), 1);
    EXPECT_TRUE(CAnchorDefList(nullptr).IsEmpty());
    b.CopyFrom(nullptr);
    EXPECT_EQ(b.GetCount(), 2);
    EXPECT_EQ(a.FindById(2), a.GetAt(1));
    EXPECT_EQ(a.GetById(0), nullptr);
    EXPECT_EQ(a.FindById(3), nullptr);

    sAnchorDef def{};
    def.references1[0] = -1;
    def.references6[6] = 0;
    EXPECT_EQ(AnchorDefHasReferences(&def), 0);
    def.references6[0] = 1;  // the seventh reference, at 220
    EXPECT_EQ(AnchorDefHasReferences(&def), 1);
    EXPECT_EQ(AnchorDefHasReferences(nullptr), 0);
}

TEST_F(CDefinitionBlocksTest, SystemsComeFromBlock43First) {
    CSysDefList systems;
    Vok::Test::FillSampleSysDefs(systems);
    CVOKFile& file = OpenWith(CLeBytes().I32(2).Block(5, {1}));
    file.SeekToEnd();
    systems.WriteBlock(file);
    EXPECT_EQ(systems.GetAt(0)->recordSize, 776u);
    EXPECT_EQ(systems.GetAt(0)->version, 2);
    CSysDefList back;
    EXPECT_EQ(back.ReadBlock(Reopen()), 1);
    EXPECT_TRUE(SameRecords(systems, back));
    // Without any system block the list stays empty; a block cut short keeps its whole records.
    CSysDefList none;
    EXPECT_EQ(none.ReadBlock(OpenWith(CLeBytes().I32(1).Block(5, {}))), 1);
    EXPECT_TRUE(none.IsEmpty());
    EXPECT_EQ(none.ReadBlock(OpenWith(CLeBytes().I32(1).Block(27, std::vector<uint8_t>(700, 0)))), 0);
    EXPECT_EQ(none.GetCount(), 1);
}

// Block 43 records still to upgrade get their new driver ids, and the obsolete ids are replaced.
TEST_F(CDefinitionBlocksTest, SystemTypesAreUpgradedOnReading) {
    auto record = [](uint16_t version, int32_t sysType, int32_t driverId, int32_t sysId) {
        return CLeBytes().U32(776).U16(version).Zeros(22).I32(sysType).I32(driverId).Zeros(28).I32(sysId)
            .Zeros(776 - 68).Bytes();
    };
    const std::vector<uint8_t> payload = CLeBytes()
                                             .Append(record(0, 10, 1055, 1))
                                             .Append(record(0, 5, 512, 2))
                                             .Append(record(2, 3, 30181, 3))
                                             .Append(record(2, 5, 512, 4))
                                             .Bytes();
    CSysDefList systems;
    EXPECT_EQ(systems.ReadBlock(OpenWith(CLeBytes().I32(1).Block(43, payload))), 1);
    struct sRow {
        int32_t sysType, driverId;
        uint16_t version;
    };
    const sRow expected[] = {{30, 300001, 0}, {5, 50012, 0}, {3, 30169, 2}, {5, 512, 2}};
    ASSERT_EQ(systems.GetCount(), 4);
    for (int k = 0; k < 4; ++k) {
        EXPECT_EQ(systems.GetAt(k)->sysType, expected[k].sysType) << k;
        EXPECT_EQ(systems.GetAt(k)->driverId, expected[k].driverId) << k;
        EXPECT_EQ(systems.GetAt(k)->version, expected[k].version) << k;
    }
}

// The older blocks, written from their layouts: the current record from offset 8 on, 8 bytes lower.
TEST_F(CDefinitionBlocksTest, OlderSystemBlocksAreConvertedAndUpgraded) {
    const std::vector<uint8_t> head = CLeBytes()
                                          .U8(10).U8(0).U8(0).U8(7).Zeros(12).U32(4001)   // address, port
                                          .I32(5).I32(512).Zeros(28).I32(9).Zeros(12)     // type, driver, id
                                          .Text("Old gyro", 76)
                                          .Bytes();
    ASSERT_EQ(head.size(), 148u);
    const std::vector<uint8_t> old27 = CLeBytes()
                                           .Append(head).Text("setting", 260).Zeros(4).I32(1)
                                           .U32(11).U32(4).U32(2).U32(1).U8(1).Zeros(79)
                                           .Bytes();
    ASSERT_EQ(old27.size(), 512u);
    CSysDefList systems;
    EXPECT_EQ(systems.ReadBlock(OpenWith(CLeBytes().I32(2).Block(2, head).Block(27, old27))), 1);
    ASSERT_EQ(systems.GetCount(), 1);  // block 27 comes before block 2
    const sSysDef& s = *systems.GetAt(0);
    EXPECT_EQ(s.recordSize, 776u);
    EXPECT_EQ(s.version, 2);
    EXPECT_EQ(s.address[3], 7);
    EXPECT_EQ(s.port, 4001u);
    EXPECT_EQ(s.sysType, 5);
    EXPECT_EQ(s.driverId, 50012);
    EXPECT_EQ(s.sysId, 9);
    EXPECT_STREQ(FieldText(s.name), "Old gyro");
    EXPECT_STREQ(FieldText(s.text156), "setting");
    EXPECT_EQ(s.reserved680, 11u);
    EXPECT_EQ(s.timeSource, 4u);
    EXPECT_EQ(s.timeTagType, 2u);
    EXPECT_EQ(s.output, 1u);
    EXPECT_EQ(s.sourceFilter, 1);

    CSysDefList oldest;
    EXPECT_EQ(oldest.ReadBlock(OpenWith(CLeBytes().I32(1).Block(2, CLeBytes().Append(head).Append(head).Bytes()))), 1);
    ASSERT_EQ(oldest.GetCount(), 2);
    EXPECT_EQ(oldest.GetAt(1)->driverId, 50012);
    EXPECT_EQ(oldest.GetAt(1)->timeSource, 0u);
    EXPECT_STREQ(FieldText(oldest.GetAt(1)->name), "Old gyro");
}

TEST_F(CDefinitionBlocksTest, HeaderEntriesOfBlock33) {
    // Record 139 has 4 bytes; record 12 has no fixed size.
    const std::vector<uint8_t> block33 = CLeBytes()
                                             .I32(4).U8(1).I32(139).F32(17.0f).I32(40)
                                             .I32(3).U8(0).I32(0).U8(9).U8(8).U8(7).I32(-1);
    // A last Fix record (125) without its link word: read with link -1, so the upgrade replaces it by 215.
    const std::vector<uint8_t> fix = CLeBytes().Append(block33).I32(4).U8(0).I32(125).I32(0);
    struct sRow {
        const char* what;
        std::vector<uint8_t> file;
        int result;
        int count;
        int32_t firstLink;
        int32_t lastId;
    } const rows[] = {
        {"with events", CLeBytes().I32(2).Block(7, {}).Block(33, block33), 1, 2, 40, 0},
        {"without events", CLeBytes().I32(1).Block(33, block33), 1, 2, -1, 0},
        {"size not the type's", CLeBytes().I32(1).Block(33, CLeBytes().I32(5).U8(0).I32(139).Zeros(9)), 0, 0, 0, 0},
        {"payload past the block", CLeBytes().I32(1).Block(33, CLeBytes().I32(1000).U8(0).I32(0).Zeros(4)), 0, 0, 0, 0},
        {"link cut off", CLeBytes().I32(1).Block(33, std::vector<uint8_t>(block33.begin(), block33.end() - 2)),
         0, 1, 40, 139},
        {"block ends before the last link", CLeBytes().I32(2).Block(7, {}).Block(33, fix), 1, 3, 40, 215},
        {"no header block", CLeBytes().I32(1).Block(5, {}), 0, 0, 0, 0},
    };
    for (const sRow& r : rows) {
        CHdrList headers;
        EXPECT_EQ(headers.ReadBlock(OpenWith(r.file), 0, 1), r.result) << r.what;
        ASSERT_EQ(headers.GetCount(), r.count) << r.what;
        if (r.count == 0) continue;
        const sHdrEntry& first = *headers.GetEntryAt(0);
        EXPECT_EQ(first.flag, 1) << r.what;
        EXPECT_EQ(first.eventLink, r.firstLink) << r.what;
        EXPECT_EQ(headers.GetEntryAt(r.count - 1)->recordId, r.lastId) << r.what;
        EXPECT_EQ(headers.GetUtcToGpsOffset(), 17.0) << r.what;
        if (r.count < 2) continue;
        const sHdrEntry& second = *headers.GetEntryAt(1);
        EXPECT_EQ(second.recordId, 0);
        ASSERT_EQ(second.payloadSize, 3u);
        EXPECT_EQ(second.Payload()[0], 9);
        EXPECT_EQ(second.Payload()[2], 7);
    }

    // With events, the objects are split into their shapes only by the full upgrade.
    const std::vector<uint8_t> object = CLeBytes().I32(28080).U8(0).I32(166).Zeros(28080).I32(-1);
    for (const int mode : {1, 2}) {
        CHdrList headers;
        ASSERT_EQ(headers.ReadBlock(OpenWith(CLeBytes().I32(2).Block(7, {}).Block(33, object)), 0, mode), 1);
        EXPECT_EQ(headers.GetRecordCount(166), mode == 1 ? 1u : 0u) << mode;
        EXPECT_EQ(headers.GetRecordCount(267), mode == 2 ? 1u : 0u) << mode;
    }
}

TEST_F(CDefinitionBlocksTest, HeaderEntriesOfTheOldBlock1) {
    const std::vector<uint8_t> block1 =
        CLeBytes().I32(139).F32(15.0f).I32(8).I32(9).I32(149).I32(0).I32(-1).I32(3);
    CHdrList headers;
    EXPECT_EQ(headers.ReadBlock(OpenWith(CLeBytes().I32(2).Block(1, block1).Block(7, {})), 0, 0), 1);
    ASSERT_EQ(headers.GetCount(), 2);
    const sHdrEntry& a = *headers.GetEntryAt(0);
    EXPECT_EQ(a.recordId, 139);
    EXPECT_EQ(a.payloadSize, 4u);
    EXPECT_EQ(a.eventLink, 8);
    EXPECT_EQ(a.secondLink, 9);
    EXPECT_EQ(a.flag, 0);
    EXPECT_EQ(a.filePosition, 4u + 8u + 8u);
    EXPECT_EQ(headers.GetEntryAt(1)->secondLink, 3);
    // A record type without a fixed size cannot be read from block 1.
    CHdrList refused;
    EXPECT_EQ(refused.ReadBlock(OpenWith(CLeBytes().I32(1).Block(1, CLeBytes().I32(0).Zeros(8))), 1, 0), 0);
    EXPECT_TRUE(refused.IsEmpty());
}

TEST_F(CDefinitionBlocksTest, HeaderReadFailuresAreReportedWhenAsked) {
    ZLog::Init(3, ZLog::OPTION_SIGNAL, ZLog::FLAG_NO_FILE | ZLog::FLAG_NO_DEBUGGER, nullptr, false, 0, false, false);
    std::vector<std::string> logged;
    auto connection = ZLog::LogSignal().connect([&](const CVOKTime&, ZLog::eSeverity s, const std::string& t) {
        logged.push_back((s == ZLog::Warning ? "W " : "? ") + t);
    });
    const std::vector<uint8_t> noHeaders = CLeBytes().I32(1).Block(5, {});
    const std::vector<uint8_t> unsupported = CLeBytes().I32(1).Block(33, CLeBytes().I32(5).U8(0).I32(139).Zeros(9));
    CHdrList headers;
    EXPECT_EQ(headers.ReadBlock(OpenWith(noHeaders), 0, 0), 0);
    EXPECT_EQ(headers.ReadBlock(OpenWith(noHeaders), 1, 0), 0);
    EXPECT_EQ(headers.ReadBlock(OpenWith(unsupported), 1, 0), 0);
    connection.disconnect();
    ZLog::Shutdown();
    const std::vector<std::string> expected = {"W No header records found in file p",
                                               "W Unsupported header record in file p"};
    EXPECT_EQ(logged, expected);
}

TEST(HisList, CountsEachActionOnce) {
    CHisList list;
    EXPECT_EQ(list.GetSize(), 20);
    const SYSTEMTIME t{2021, 3, 0, 4, 5, 6, 7, 8};
    list.SetEntry(3, 1, &t, FALSE);
    list.SetEntry(3, 2, &t, TRUE);
    EXPECT_EQ(list.GetUsedCount(), 1u);
    EXPECT_EQ(list[3].value, 2u);
    EXPECT_EQ(list[3].version, 1);
    EXPECT_EQ(list[3].action, 3);
    EXPECT_EQ(list[3].start.wHour, 5);
    EXPECT_EQ(list[3].end.wMilliseconds, 8);
    list.SetEntryTexts(4, "u", nullptr);
    EXPECT_EQ(list.GetUsedCount(), 2u);
    list.SetEntryTexts(5, nullptr, "c");
    list.SetEntry(0, 1, &t, FALSE);
    list.SetEntry(20, 1, &t, FALSE);
    EXPECT_EQ(list.GetUsedCount(), 2u);
    list.ClearEntry(3);
    list.ClearEntry(3);
    EXPECT_EQ(list.GetUsedCount(), 1u);
    // Without a time the current one is both start and end.
    list.SetEntry(7, 0, nullptr, FALSE);
    EXPECT_GE(list[7].start.wYear, 2024);
    EXPECT_EQ(std::memcmp(&list[7].start, &list[7].end, sizeof(SYSTEMTIME)), 0);
    // Texts longer than their fields keep 259 characters.
    list.SetEntryTexts(8, std::string(300, 'u').c_str(), std::string(270, 'c').c_str());
    EXPECT_EQ(std::strlen(list[8].user), 259u);
    EXPECT_EQ(std::strlen(list[8].comment), 259u);
    CHisList copy(list);
    EXPECT_EQ(copy.GetUsedCount(), 3u);
    EXPECT_EQ(std::memcmp(copy.GetData(), list.GetData(), 20 * sizeof(sHisEntry)), 0);
    list.Reset();
    EXPECT_EQ(list.GetUsedCount(), 0u);
    EXPECT_EQ(list[4].action, 0);
}

TEST_F(CDefinitionBlocksTest, AFreshHistoryIsTwentyZeroEntries) {
    CVOKFile& file = OpenWith({});
    CHisList().WriteBlock(file);
    file.Close();
    EXPECT_EQ(Vok::Test::ReadFileBytes(m_path), CLeBytes().I32(35).I32(11280).Zeros(11280).Bytes());
}

TEST_F(CDefinitionBlocksTest, HistoryReadsTerminatedTextsAndRecounts) {
    // Two entries of action 2 and one of action 5, with texts that fill their fields.
    auto entry = [](int32_t action, char fill) {
        return CLeBytes().I32(1).I32(action).U32(9).Time(2020, 1, 2, 3, 4, 5, 6).Time(2020, 1, 2, 3, 4, 6, 0)
            .Text(std::string(260, fill), 260).Text(std::string(260, fill), 260).Bytes();
    };
    const std::vector<uint8_t> payload = CLeBytes().Append(entry(2, 'a')).Append(entry(2, 'b')).Append(entry(5, 'c'));
    CHisList list;
    EXPECT_EQ(list.ReadBlock(OpenWith(CLeBytes().I32(1).Block(35, payload))), BLOCK_HISTORY);
    EXPECT_EQ(list.GetUsedCount(), 2u);
    EXPECT_EQ(list[2].user, std::string(259, 'b'));
    EXPECT_EQ(list[5].comment, std::string(259, 'c'));

    // The old block 8: 104-byte entries become version 0 with equal start and end times.
    const std::vector<uint8_t> old = CLeBytes().I32(4).Time(2019, 12, 24, 18, 0, 1, 2).U32(77).Text(std::string(80, 'x'), 80);
    CHisList fromOld;
    EXPECT_EQ(fromOld.ReadBlock(OpenWith(CLeBytes().I32(1).Block(8, old))), BLOCK_HISTORY_OLD);
    EXPECT_EQ(fromOld.GetUsedCount(), 1u);
    const sHisEntry& e = fromOld[4];
    EXPECT_EQ(e.version, 0);
    EXPECT_EQ(e.action, 4);
    EXPECT_EQ(e.value, 77u);
    EXPECT_EQ(e.start.wYear, 2019);
    EXPECT_EQ(e.start.wMilliseconds, 2);
    EXPECT_EQ(std::memcmp(&e.start, &e.end, sizeof e.start), 0);
    EXPECT_EQ(e.comment, std::string(76, 'x'));
    EXPECT_EQ(fromOld.ReadBlock(OpenWith(CLeBytes().I32(1).Block(5, {}))), 0);
    EXPECT_EQ(fromOld.GetUsedCount(), 0u);
}

}  // namespace
