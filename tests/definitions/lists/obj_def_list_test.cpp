// The object definitions list: look-ups, display order, block 5 in its layouts (old records written
// by hand), the settings stream in its versions, the shared-buffer image, what header records and
// node links make of the objects, and the operations of the other lists that need the objects.
#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "definitions/records/definition_types.h"
#include "definitions/header/hdr_list.h"
#include "definitions/lists/node_def_list.h"
#include "definitions/lists/obj_def_list.h"
#include "definitions/lists/obs_def_list.h"
#include "definitions/lists/obs_type_properties.h"
#include "definitions/records/payload_bytes.h"
#include "definitions/lists/sys_def_list.h"
#include "definitions/file/vok_file.h"
#include "platform/ipc_buffer_handle.h"
#include "tests/support/block_file_samples.h"
#include "host/definition_samples.h"
#include "tests/support/file_helpers.h"
#include "tests/support/ipc_test_folder.h"
#include "tests/support/record_fields.h"

namespace {

using Vok::Definitions::LoadAt;
using Vok::Definitions::StoreAt;
using Vok::Test::CLeBytes;
using Vok::Test::MakeNodeDef;
using Vok::Test::MakeObsDef;
using Vok::Test::MakeSysDef;

sObjDef MakeObjDef(int32_t id, int32_t objType, const char* name, int32_t refNode = 0, int32_t order = -1) {
    sObjDef d{};
    d.objectId = id;
    d.Init();
    d.objType = objType;
    SetFieldText(d.name, name);
    d.refNodeId = refNode;
    d.displayOrder = order;
    return d;
}

std::vector<int32_t> Ids(const CObjDefList& list) {
    std::vector<int32_t> ids;
    for (const sObjDef& d : list) ids.push_back(d.objectId);
    return ids;
}

std::vector<int32_t> Orders(const CObjDefList& list) {
    std::vector<int32_t> orders;
    for (const sObjDef& d : list) orders.push_back(d.displayOrder);
    return orders;
}

class ObjDefListTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_objects.Add(MakeObjDef(2, 3, "Tow", 20, 1));
        m_objects.Add(MakeObjDef(1, 10, "Ship", 10, 0));
        m_objects.Add(MakeObjDef(3, 13, "Bundle", 0, -1));
        m_objects.Add(MakeObjDef(5, 0, "Second", 30, 4));
    }

    CObjDefList m_objects;
};

TEST_F(ObjDefListTest, LookUps) {
    EXPECT_EQ(m_objects.FindById(1), m_objects.GetAt(1));
    EXPECT_EQ(m_objects.GetById(0), nullptr);
    EXPECT_EQ(m_objects.GetMainVessel(), m_objects.GetAt(1));
    EXPECT_EQ(m_objects.FindPipeBundle(), m_objects.GetAt(2));
    EXPECT_EQ(m_objects.FindByDisplayOrder(4), m_objects.GetAt(3));
    EXPECT_EQ(m_objects.FindByDisplayOrder(-1), nullptr);
    EXPECT_EQ(m_objects.GetMaxDisplayOrder(), 4);
    EXPECT_EQ(m_objects.GetMinDisplayOrder(), 0);
    EXPECT_EQ(m_objects.CountByType(13), 1);
    EXPECT_EQ(m_objects.CountByType(7), 0);
    EXPECT_TRUE(m_objects.HasReferenceNode(20));
    EXPECT_TRUE(m_objects.HasReferenceNode(0));
    EXPECT_FALSE(m_objects.HasReferenceNode(-1));
    EXPECT_FALSE(m_objects.HasReferenceNode(21));
    EXPECT_EQ(m_objects.GetReferenceNodeId(2), 20);
    EXPECT_EQ(m_objects.GetReferenceNodeId(9), -1);
    EXPECT_EQ(m_objects.GetObjectType(3), 13);
    EXPECT_EQ(m_objects.GetObjectType(9), -1);

    m_objects.Add(MakeObjDef(0, 0, "No id"));
    CStringArray names;
    CDWordArray ids;
    names.Add("stale");
    m_objects.GetNamesAndIds(names, ids);
    ASSERT_EQ(names.GetSize(), 4);
    ASSERT_EQ(ids.GetSize(), 4);
    EXPECT_STREQ(names[1].GetString(), "Ship");
    EXPECT_EQ(ids[3], 5u);

    // Without the vessel with id 1 the first vessel leads; without vessels the first object.
    CObjDefList others;
    others.Add(MakeObjDef(4, 3, "Fish"));
    EXPECT_EQ(others.GetMainVessel(), others.GetAt(0));
    others.Add(MakeObjDef(6, 10, "Vessel six"));
    EXPECT_EQ(others.GetMainVessel(), others.GetAt(1));
    CObjDefList empty;
    EXPECT_EQ(empty.GetMainVessel(), nullptr);
    EXPECT_EQ(empty.GetMaxDisplayOrder(), INT_MIN);
    EXPECT_EQ(empty.GetMinDisplayOrder(), -1);
}

TEST_F(ObjDefListTest, ObjectsOfNodesAndSystems) {
    CNodeDefList nodes;
    nodes.Add(MakeNodeDef(1, 11, 2, NODE_FIXED, 0, 0, 0));
    nodes.Add(MakeNodeDef(2, 12, 5, NODE_VARIABLE, 1, 0, 0));
    CObsDefList obs;
    obs.Add(MakeObsDef(1, 11, 7, 1, 0, 0));   // on a fixed node
    obs.Add(MakeObsDef(2, 11, 7, 9, 0, 0));   // on a missing node
    obs.Add(MakeObsDef(3, 11, 7, 2, 0, 0));
    EXPECT_EQ(m_objects.FindByNode(2, &nodes), m_objects.FindById(5));
    EXPECT_EQ(m_objects.FindByNode(2, nullptr), nullptr);
    EXPECT_EQ(m_objects.FindBySystem(7, &obs, &nodes), m_objects.FindById(5));
    EXPECT_EQ(m_objects.FindBySystem(8, &obs, &nodes), nullptr);
    const sSysDef system = MakeSysDef(7, 12, 0, 0, 0);
    EXPECT_EQ(m_objects.FindBySystemDef(&system, &obs, &nodes), m_objects.FindById(5));
    EXPECT_EQ(m_objects.FindBySystemDef(nullptr, &obs, &nodes), nullptr);
    obs.Add(MakeObsDef(4, 11, 0, 2, 0, 0));  // a system id of 0 names no system
    EXPECT_EQ(m_objects.FindBySystem(0, &obs, &nodes), nullptr);
    EXPECT_EQ(m_objects.GetReferenceNode(2, &nodes), nullptr);  // node 20 is not there
    nodes.Add(MakeNodeDef(20, 120, 2, NODE_VARIABLE, 0, 0, 0));
    EXPECT_EQ(m_objects.GetReferenceNode(2, &nodes), nodes.FindById(20));
    CNodeDefList noNodes;
    EXPECT_EQ(m_objects.GetReferenceNode(2, &noNodes), nullptr);
    EXPECT_EQ(m_objects.GetReferenceNode(2, nullptr), nullptr);
}

TEST_F(ObjDefListTest, CompareCopyAndAssign) {
    CObjDefList copy(&m_objects);
    EXPECT_EQ(copy.Compare(m_objects), 0);
    EXPECT_EQ(CObjDefList(&m_objects).Compare(CObjDefList()), 4);
    CObjDefList small;
    for (int k = 0; k < 3; ++k) small.Add(*m_objects.GetAt(k));
    CObjDefList five(&small);
    five.Add(MakeObjDef(8, 0, "x"));
    five.Add(MakeObjDef(9, 0, "y"));
    EXPECT_EQ(small.Compare(five), -2);

    CObjDefList reordered;
    for (int k = 3; k >= 0; --k) reordered.Add(*m_objects.GetAt(k));
    EXPECT_EQ(reordered.Compare(m_objects), 0);
    reordered.GetAt(0)->displayOrder = 5;  // 4 against 5 in the first byte
    EXPECT_EQ(reordered.Compare(m_objects), 1);
    reordered.GetAt(0)->objectId = 0;
    EXPECT_EQ(reordered.Compare(m_objects), 999);
    copy.CopyFrom(nullptr);
    EXPECT_EQ(copy.GetCount(), 4);
    copy.CopyFrom(&small);
    EXPECT_EQ(copy.Compare(small), 0);
}

TEST(ObjDefListOrderTest, NormalizeDisplayOrder) {
    struct sCase {
        std::vector<int32_t> types, orders, expected;
    };
    const sCase cases[] = {
        {{0, 0, 0}, {0, 0, 5}, {0, -1, -1}},
        {{3}, {7}, {0}},
        {{3, 10, 0}, {5, 6, -1}, {1, 0, 2}},  // none valid: the vessel with id 2 leads
        {{3, 3}, {1, 0}, {1, 0}},
        {{3, 3, 3}, {2, 2, -4}, {2, -1, -1}},
        {{3, 3}, {0, 2}, {0, -1}},
        {{}, {}, {}},
    };
    for (const sCase& c : cases) {
        CObjDefList list;
        for (size_t k = 0; k < c.types.size(); ++k)
            list.Add(MakeObjDef(static_cast<int32_t>(k) + 1, c.types[k], "o", 0, c.orders[k]));
        list.NormalizeDisplayOrder();
        EXPECT_EQ(Orders(list), c.expected);
    }
}

// --- block 5 -----------------------------------------------------------------------------------

class ObjDefBlockTest : public ::testing::Test {
protected:
    CVOKFile& OpenWith(const std::vector<uint8_t>& bytes) {
        Vok::Test::WriteFileBytes(m_path, bytes);
        m_file.Abort();
        EXPECT_TRUE(m_file.Open(m_path.c_str(), CFile::modeReadWrite));
        m_file.Seek(4, CFile::begin);
        return m_file;
    }

    Vok::Test::CTempFolder m_folder;
    std::string m_path = m_folder / "o.vok";
    CVOKFile m_file;
};

template <typename T>
void Put(std::vector<uint8_t>& bytes, size_t offset, T value) {
    StoreAt(bytes.data(), offset, value);
}

void PutText(std::vector<uint8_t>& bytes, size_t offset, const char* text) {
    std::memcpy(bytes.data() + offset, text, std::strlen(text));
}

using Vok::Test::sRecordField;
constexpr size_t kNone = sRecordField::kNone;

// Layout 4 (1424 bytes): old offset, new offset, type, stored value, value read. Values at the
// first and last place of each field moved; the legacy height definition at 172 and 1384 is not.
const std::vector<sRecordField> kLayout4 = {
    {kNone, 0, 'u', 0, 384},       {kNone, 4, 'b', 0, 5},           {6, 6, 'b', 0xAB, 0xAB},    {7, 7, 'b', 0xCD, 0xCD},
    {8, 8, 'i', 7, 7},             {48, 48, 'i', 44, 44},           {52, 52, 'i', 52, 52},      {168, 168, 'i', 168, 168},
    {172, 172, 'i', 2, 0},         {1248, 212, 'i', 11, 11},        {1260, 224, 'i', 13, 13},   {1264, 232, 'd', 2.5, 2.5},
    {1272, 240, 'd', 3.5, 3.5},    {1280, 248, 'i', 3, 3},          {1284, 252, 'i', 9, 9},     {1288, 256, 'i', -1, -1},
    {1336, 304, 'i', 304, 304},    {1340, 308, 'i', 14, 14},        {1352, 320, 'f', 1.02, 1.02}, {1356, 324, 'b', 200, 200},
    {1357, kNone, 'b', 0x77, 0},   {kNone, 324, 'i', 0, 200},       {1360, 328, 'f', 998.5, 998.5}, {1380, 348, 'i', 77, 77},
    {1384, kNone, 'i', 5, 0},      {kNone, 352, 'd', 0, 0.0},
};

std::vector<uint8_t> Layout4Record() {
    std::vector<uint8_t> r(1424, 0);
    Put<uint32_t>(r, 0, 1424);
    r[4] = 4;
    Vok::Test::PutFields(r, kLayout4);
    PutText(r, 12, "Old four");
    return r;
}

TEST_F(ObjDefBlockTest, OldLayoutsAreConverted) {
    const std::vector<sRecordField> layout3 = {
        {5, 5, 'b', 9, 0},             {6, 6, 'b', 1, 1},               {8, 8, 'i', 8, 8},          {28056, 52, 'i', 56, 56},
        {28172, 168, 'i', 5, 5},       {29252, 212, 'i', 21, 21},       {29272, 232, 'd', 4.5, 4.5}, {29288, 248, 'i', 2, 2},
        {29296, 256, 'i', -1, -1},     {29348, 308, 'i', 11, 11},       {29364, 324, 'b', 4, 4},    {29388, 348, 'i', 88, 88},
    };
    // Unstamped: 29296-byte records whatever they begin with.
    const std::vector<sRecordField> layout2 = {
        {0, 0, 'u', 1424, 384},        {4, 4, 'b', 4, 5},               {6, 6, 'b', 0xEE, 0},       {8, 8, 'i', 250, 250},
        {kNone, 308, 'i', 0, 1},       {28136, 132, 'i', 3000001, 3000001}, {29256, 212, 'i', 6, 6}, {29280, 240, 'd', 7.5, 7.5},
        {29292, 252, 'i', 12, 12},     {kNone, 260, 'i', 0, 5},         {kNone, 320, 'f', 0, 1.01325},
    };
    std::vector<uint8_t> r3(29432, 0);
    Put<uint32_t>(r3, 0, 29432);
    r3[4] = 3;
    Vok::Test::PutFields(r3, layout3);
    PutText(r3, 12, "Three");
    std::vector<uint8_t> r2(29296, 0);
    Vok::Test::PutFields(r2, layout2);
    PutText(r2, 12, "A name of exactly thirty-six chars!!");  // no terminator within the field

    CVOKFile& file = OpenWith(CLeBytes().I32(1).Block(5, CLeBytes().Append(Layout4Record()).Append(r3)));
    CObjDefList list;
    EXPECT_EQ(list.ReadBlock(file, true), 1);
    ASSERT_EQ(list.GetCount(), 2);
    Vok::Test::ExpectFields(list.GetAt(0), kLayout4);
    EXPECT_STREQ(list.GetAt(0)->name, "Old four");
    Vok::Test::ExpectFields(list.GetAt(1), layout3);
    EXPECT_STREQ(list.GetAt(1)->name, "Three");

    CVOKFile& unstamped = OpenWith(CLeBytes().I32(1).Block(5, r2));
    CObjDefList old;
    EXPECT_EQ(old.ReadBlock(unstamped, false), 1);
    ASSERT_EQ(old.GetCount(), 1);
    Vok::Test::ExpectFields(old.GetAt(0), layout2);
    EXPECT_EQ(std::string(old.GetAt(0)->name), "A name of exactly thirty-six chars!");
}

TEST_F(ObjDefBlockTest, StampsThatNameNoKnownLayoutAndBadSubVersions) {
    // Version 5 with the size of layout 4 is read as a layout-2 record.
    std::vector<uint8_t> odd(29296, 0);
    Put<uint32_t>(odd, 0, 1424);
    odd[4] = 5;
    Put<int32_t>(odd, 8, 4);
    Put<int32_t>(odd, 29288, 6);
    CVOKFile& file = OpenWith(CLeBytes().I32(1).Block(5, odd));
    CObjDefList list;
    EXPECT_EQ(list.ReadBlock(file, true), 1);
    ASSERT_EQ(list.GetCount(), 1);
    EXPECT_EQ(list.GetAt(0)->displayOrder, 6);

    sObjDef current = MakeObjDef(1, 0, "Current");
    std::vector<uint8_t> first(384);
    std::memcpy(first.data(), &current, 384);
    std::vector<uint8_t> sub = Layout4Record();
    sub[5] = 1;
    CVOKFile& bad = OpenWith(CLeBytes().I32(1).Block(5, CLeBytes().Append(first).Append(sub)));
    CObjDefList partial;
    EXPECT_EQ(partial.ReadBlock(bad, true), 0);
    ASSERT_EQ(partial.GetCount(), 1);
    EXPECT_EQ(std::memcmp(partial.GetAt(0), &current, 384), 0);
}

TEST_F(ObjDefBlockTest, RoundTripAndCuts) {
    CObjDefList list;
    list.Add(MakeObjDef(1, 10, "Ship"))->version = 0x0105;  // stamped by the writer
    list.Add(MakeObjDef(2, 3, "Tow"))->byte6 = 9;
    CVOKFile& file = OpenWith(CLeBytes().I32(1));
    file.SeekToEnd();
    EXPECT_EQ(list.WriteBlock(file), 1);
    EXPECT_EQ(list.GetAt(0)->version, 5);
    ASSERT_EQ(file.FindBlock(BLOCK_OBJECT_DEFS), 1);
    CObjDefList back;
    EXPECT_EQ(back.ReadBlock(file, true), 1);
    EXPECT_EQ(back.Compare(list), 0);
    EXPECT_EQ(back.GetAt(1)->byte6, 9);

    const ULONGLONG full = file.GetLength();
    for (ULONGLONG length = full - 1; length > 4; --length) {
        file.SetLength(length);
        file.Seek(4, CFile::begin);
        CObjDefList cut;
        EXPECT_EQ(cut.ReadBlock(file, true), 0);
        ASSERT_LE(cut.GetCount(), 1);
        if (cut.GetCount() == 1) {
            EXPECT_EQ(std::memcmp(cut.GetAt(0), list.GetAt(0), 384), 0);
        }
    }

    // A stored size that ends inside the last record: that record is not completed from the bytes
    // after the block.
    std::vector<uint8_t> records(2 * 384);
    std::memcpy(records.data(), list.GetAt(0), 384);
    std::memcpy(records.data() + 384, list.GetAt(1), 384);
    std::vector<uint8_t> shortBlock = CLeBytes().I32(1).Block(5, records);
    Put<int32_t>(shortBlock, 8, 767);
    CObjDefList inside;
    EXPECT_EQ(inside.ReadBlock(OpenWith(shortBlock), true), 0);
    EXPECT_EQ(inside.GetCount(), 1);
}

// --- stand-alone converters of old records -----------------------------------------------------

TEST(ObjDefLayoutTest, ConvertersHandOnTheLegacyHeightDefinition) {
    const std::vector<uint8_t> r4 = Layout4Record();
    sObjDef d{};
    sLegacyHeightDef legacy;
    std::memset(&legacy, 0xFF, sizeof legacy);
    ASSERT_TRUE(ConvertObjDefLayout(OBJDEF_LAYOUT_4, r4.data(), d, &legacy));
    EXPECT_EQ(d.objectId, 7);
    EXPECT_EQ(d.settings332[4], 77);
    EXPECT_EQ(legacy.model, 2);
    EXPECT_EQ(legacy.referenceId, 0);
    EXPECT_EQ(LoadAt<int32_t>(reinterpret_cast<const uint8_t*>(&legacy), 1076), 5);
    EXPECT_EQ(legacy.computedId, 0);

    std::vector<uint8_t> r2(29296, 0);
    Put<int32_t>(r2, 8, 3);
    Put<int32_t>(r2, 28176, 1);
    Put<int32_t>(r2, 28180, 99);  // not part of it
    Put<float>(r2, 28184, 0.25f);
    Put<uint32_t>(r2, 28192, 6);
    Put<uint32_t>(r2, 28196, 41);
    PutText(r2, 28212, "gauge.txt");
    Put<int32_t>(r2, 29256, 1);
    Put<double>(r2, 29272, 0.1);
    for (int layout : {OBJDEF_LAYOUT_1, OBJDEF_LAYOUT_2}) {
        SCOPED_TRACE(layout);
        std::memset(&legacy, 0xFF, sizeof legacy);
        ASSERT_TRUE(ConvertObjDefLayout(layout, r2.data(), d, &legacy));
        EXPECT_EQ(d.objectId, 3);
        EXPECT_EQ(d.squatModel, 1);
        EXPECT_EQ(d.refPointValue, 0.1);
        EXPECT_EQ(d.pad228[0], 0);
        EXPECT_EQ(legacy.model, 1);
        EXPECT_EQ(legacy.referenceId, -1);
        EXPECT_EQ(legacy.referenceValue, 0.25f);
        EXPECT_EQ(legacy.closestValue, 6u);
        EXPECT_EQ(legacy.sourceIds[0], 41u);
        EXPECT_STREQ(legacy.paths[0], "gauge.txt");
        EXPECT_EQ(legacy.computedCount, 0);
    }
    EXPECT_EQ(GetObjDefLayoutSize(OBJDEF_LAYOUT_1), 29288u);
    EXPECT_EQ(GetObjDefLayoutSize(OBJDEF_LAYOUT_3), 29432u);
    std::vector<uint8_t> next(r2);  // a record followed by the next one: nothing of that is taken
    next.push_back(0x70);
    ASSERT_TRUE(ConvertObjDefLayout(OBJDEF_LAYOUT_2, next.data(), d, nullptr));
    EXPECT_EQ(d.refPointFlag, 0);
    std::vector<uint8_t> r3(GetObjDefLayoutSize(OBJDEF_LAYOUT_3), 0);
    PutText(r3, 28208, "tide.txt");
    ASSERT_TRUE(ConvertObjDefLayout(OBJDEF_LAYOUT_3, r3.data(), d, &legacy));
    EXPECT_STREQ(legacy.paths[0], "tide.txt");

    std::vector<uint8_t> oldest(GetObjDefLayoutSize(OBJDEF_LAYOUT_OLDEST), 0);
    Put<int32_t>(oldest, 0, 6);
    PutText(oldest, 4, "Oldest");
    Put<int32_t>(oldest, 40, 61);
    Put<int32_t>(oldest, 28048, 1000005);
    Put<int32_t>(oldest, 28056, 2000007);
    ASSERT_TRUE(ConvertObjDefLayout(OBJDEF_LAYOUT_OLDEST, oldest.data(), d, nullptr));
    EXPECT_EQ(d.objectId, 6);
    EXPECT_STREQ(d.name, "Oldest");
    EXPECT_EQ(d.refNodeId, 61);
    EXPECT_EQ(d.settings1[0], 1000005);
    EXPECT_EQ(d.settings2[0], 2000007);
    EXPECT_EQ(d.codeTable[0], 2000009);
    EXPECT_EQ(d.recordSize, 384u);
    Put<int32_t>(oldest, 28056, INT32_MAX - 1);  // no code once raised by 2
    ASSERT_TRUE(ConvertObjDefLayout(OBJDEF_LAYOUT_OLDEST, oldest.data(), d, nullptr));
    EXPECT_EQ(d.codeTable[0], 0);
    EXPECT_FALSE(ConvertObjDefLayout(5, oldest.data(), d, nullptr));
}

// --- the settings stream -----------------------------------------------------------------------

class CRecordingConverter : public ILegacyHeightDefConverter {
public:
    int32_t ConvertHeightDef(const sLegacyHeightDef& def) override {
        seen.push_back(def);
        return 40 + static_cast<int32_t>(seen.size());
    }
    std::vector<sLegacyHeightDef> seen;
};

class ObjDefStreamTest : public ::testing::Test {
protected:
    CFile& OpenWith(const std::vector<uint8_t>& bytes) {
        Vok::Test::WriteFileBytes(m_path, bytes);
        m_file.Abort();
        EXPECT_TRUE(m_file.Open(m_path.c_str(), CFile::modeReadWrite));
        return m_file;
    }

    Vok::Test::CTempFolder m_folder;
    std::string m_path = m_folder / "s.bin";
    CFile m_file;
};

TEST_F(ObjDefStreamTest, Version5RoundTripLeavesNamesAndSkippedFields) {
    CObjDefList source;
    sObjDef* s = source.Add(MakeObjDef(1, 10, "Source", 3, 2));
    for (int k = 0; k < 10; ++k) s->heightArea[k] = 100 + k;
    s->squatModel = 212;
    s->settings216[0] = 216;
    s->settings216[1] = 220;
    s->settings216[2] = 224;
    s->refPointValue = 232.0;
    s->value240 = 240.0;
    s->settings5[9] = 304;
    s->subtype = 312;
    s->pressure = 1.1f;
    s->density = 1020.0f;
    s->settings332[0] = 332;
    s->values352[3] = 376.0;
    source.Add(MakeObjDef(9, 0, "Not in the target"));
    CFile& file = OpenWith({});
    source.WriteSettingsStream(&file);
    EXPECT_EQ(file.GetLength(), 1u + 4u + 2u * 332u);

    CObjDefList target;
    target.Add(MakeObjDef(1, 0, "Target", 7, -1));
    const sObjDef before = *target.GetAt(0);
    file.SeekToBegin();
    EXPECT_EQ(target.ReadSettingsStream(&file, nullptr, true), 1);
    ASSERT_EQ(target.GetCount(), 1);
    const sObjDef& t = *target.GetAt(0);
    EXPECT_STREQ(t.name, "Target");
    EXPECT_EQ(t.refNodeId, 7);
    EXPECT_EQ(t.heightArea[9], 109);
    EXPECT_EQ(t.squatModel, 212);
    EXPECT_EQ(t.settings216[1], 220);
    EXPECT_EQ(t.settings216[2], before.settings216[2]);   // 224 is skipped
    EXPECT_EQ(t.refPointValue, before.refPointValue);     // 232 too
    EXPECT_EQ(t.value240, 240.0);
    EXPECT_EQ(t.displayOrder, 2);
    EXPECT_EQ(t.settings5[9], 304);
    EXPECT_EQ(t.objType, before.objType);                 // 308 and 312 too
    EXPECT_EQ(t.subtype, before.subtype);
    EXPECT_EQ(t.pressure, 1.1f);
    EXPECT_EQ(t.density, 1020.0f);
    EXPECT_EQ(t.settings332[0], 0);                       // and the five words at 332
    EXPECT_EQ(t.values352[3], 376.0);
}

// The sequence of versions 1 to 4 after the id, with the legacy height definition.
CLeBytes OldEntry(int version) {
    CLeBytes b;
    b.Zeros(40).I32(920).Zeros(36).I32(1320).Zeros(36);  // areas at 52, 92, 132
    b.I32(1).I32(5).F32(2.5f).U32(7).U32(11).U32(12).U32(0).U32(0).Text("tide.txt", 261).Zeros(3 * 261);
    b.I32(4).I32(5).I32(6).I32(99).F64(9.9).F64(3.25);
    if (version >= 2) b.I32(2).I32(8);
    if (version >= 3) {
        b.I32(0).I32(61).I32(62).Zeros(36).I32(268 + 36);
        b.I32(14).I32(15).I32(1).F32(1.02f).U8(3).F32(1025.0f).Zeros(20);
        if (version == 4) b.F32(0.5f).I32(3).I32(9);
        b.Zeros(3).Zeros(version == 4 ? 24 : 36);
    }
    return b;
}

TEST_F(ObjDefStreamTest, OlderVersionsHandTheirHeightDefinitionsOn) {
    for (int version = 1; version <= 4; ++version) {
        SCOPED_TRACE(version);
        CLeBytes stream;
        stream.U8(static_cast<uint8_t>(version)).I32(2).I32(4).Append(OldEntry(version)).I32(8).Append(OldEntry(version));
        CFile& file = OpenWith(stream);
        CObjDefList list;
        list.Add(MakeObjDef(4, 3, "Four"));
        CRecordingConverter converter;
        EXPECT_EQ(list.ReadSettingsStream(&file, &converter, true), 1);
        EXPECT_EQ(file.GetPosition(), file.GetLength());
        ASSERT_EQ(converter.seen.size(), 2u);  // the dropped entry's too
        const sLegacyHeightDef& l = converter.seen[0];
        EXPECT_EQ(l.model, 1);
        EXPECT_EQ(l.referenceId, 5);
        EXPECT_EQ(l.referenceValue, 2.5f);
        EXPECT_EQ(l.closestValue, 7u);
        EXPECT_EQ(l.sourceIds[1], 12u);
        EXPECT_STREQ(l.paths[0], "tide.txt");
        EXPECT_EQ(l.computedValue, version == 4 ? 0.5f : 0.0f);
        EXPECT_EQ(l.computedId, version == 4 ? 9 : 0);

        const sObjDef& d = *list.GetAt(0);
        EXPECT_EQ(d.heightArea[0], 41);
        EXPECT_EQ(d.settings2[0], 920);
        EXPECT_EQ(d.codeTable[0], 1320);
        EXPECT_EQ(d.squatModel, 4);
        EXPECT_EQ(d.settings216[1], 6);
        EXPECT_EQ(d.value240, 3.25);
        EXPECT_EQ(d.displayOrder, version >= 2 ? 2 : -1);
        EXPECT_EQ(d.settings260[0], version >= 3 ? 61 : 5);
        EXPECT_EQ(d.settings5[9], version >= 3 ? 304 : 0);
        EXPECT_EQ(d.objType, 3);
        EXPECT_EQ(d.environment1, version >= 3 ? 1 : 0);
        EXPECT_EQ(d.environment2, version >= 3 ? 3 : 0);
        EXPECT_EQ(d.density, version >= 3 ? 1025.0f : 1000.0f);
    }
}

TEST_F(ObjDefStreamTest, Version0UnknownVersionsAndCuts) {
    CObjDefList list;
    list.Add(MakeObjDef(4, 3, "Four"));
    const sObjDef before = *list.GetAt(0);
    CRecordingConverter converter;
    // Without a version byte: three words per entry, ignored.
    CFile& v0 = OpenWith(CLeBytes().I32(1).I32(4).I32(1).I32(2).I32(3));
    EXPECT_EQ(list.ReadSettingsStream(&v0, &converter, false), 1);
    EXPECT_EQ(v0.GetPosition(), 20u);
    EXPECT_EQ(std::memcmp(list.GetAt(0), &before, 384), 0);

    CFile& v6 = OpenWith(CLeBytes().U8(6).I32(1).I32(4).Zeros(2000));
    EXPECT_EQ(list.ReadSettingsStream(&v6, &converter, true), 0);
    EXPECT_EQ(std::memcmp(list.GetAt(0), &before, 384), 0);

    // A huge count ends at the end of the stream.
    CFile& huge = OpenWith(CLeBytes().U8(0).I32(0x7FFFFFFF).I32(4).I32(1).I32(2).I32(3));
    EXPECT_EQ(list.ReadSettingsStream(&huge, &converter, true), 0);

    // A cut entry leaves its object as it was; the whole entries before it stay read.
    CObjDefList two;
    two.Add(MakeObjDef(4, 3, "Four"));
    two.Add(MakeObjDef(5, 3, "Five"));
    const sObjDef five = *two.GetAt(1);
    std::vector<uint8_t> cut = CLeBytes().U8(2).I32(2).I32(4).Append(OldEntry(2)).I32(5).Append(OldEntry(2));
    cut.resize(cut.size() - 1);
    CFile& file = OpenWith(cut);
    EXPECT_EQ(two.ReadSettingsStream(&file, &converter, true), 0);
    EXPECT_EQ(two.GetAt(0)->displayOrder, 2);
    EXPECT_EQ(std::memcmp(two.GetAt(1), &five, 384), 0);
    EXPECT_EQ(converter.seen.size(), 1u);  // not for the cut entry
    EXPECT_EQ(two.ReadSettingsStream(nullptr, &converter, true), 0);
}

// --- header records, links and towing ---------------------------------------------------------

TEST(ObjDefHeaderTest, UpdateFromHeaderRecords) {
    CObjDefList list;
    sObjDef* ship = list.Add(MakeObjDef(1, 0, "Ship"));
    ship->refPointFlag = -1;
    ship->squatModel = 4;
    list.Add(MakeObjDef(250, 0, "Streamer"))->squatModel = 4;
    list.Add(MakeObjDef(2, 0, "Fish"))->refPointFlag = 0;
    sObjDef* survey = list.Add(MakeObjDef(3, 10, "Survey"));
    survey->refPointFlag = 0;
    sObjDef* oldCodes = list.Add(MakeObjDef(6, 3, "Old codes"));
    oldCodes->settings2[0] = 1000001;
    oldCodes->settings2[1] = 3000005;
    oldCodes->settings2[2] = 7;  // byte 102 is 0
    oldCodes->settings2[3] = INT32_MAX;  // no code once raised by 2
    oldCodes->codeTable[2] = 55;
    oldCodes->density = 0.0f;
    sObjDef* shortPoint = list.Add(MakeObjDef(8, 10, "Short record"));
    shortPoint->refPointFlag = -1;
    shortPoint->refPointValue = 6.5;
    sObjDef* newCodes = list.Add(MakeObjDef(7, 3, "New codes"));
    newCodes->settings2[0] = 1000001;
    newCodes->settings2[2] = 0x00FF0000;

    CHdrList headers;
    auto point = [&](int32_t id, int32_t type, float value) {
        const std::vector<uint8_t> p = CLeBytes().I32(id).I32(type).I32(0).F32(value);
        headers.AddRecord(197, static_cast<uint32_t>(p.size()), p.data(), -1);
    };
    auto squat = [&](int32_t id, int32_t link) {
        std::vector<uint8_t> p = CLeBytes().I32(id).Zeros(24).I32(link);
        headers.AddRecord(213, static_cast<uint32_t>(p.size()), p.data(), -1);
    };
    point(1, 0, 2.5f);
    point(1, 14, 9.0f);  // only the first counts
    point(250, 0, 1.0f);
    point(2, 14, 1.0f);
    headers.AddRecord(197, 4, CLeBytes().I32(8).Bytes().data(), -1);  // the id alone
    squat(1, 17);
    squat(250, 18);
    squat(3, 19);
    list.UpdateFromHeaderRecords(&headers);
    list.UpdateFromHeaderRecords(nullptr);

    EXPECT_EQ(ship->objType, 0);
    EXPECT_EQ(ship->refPointFlag, 0);
    EXPECT_EQ(ship->refPointValue, 2.5);
    EXPECT_EQ(ship->squatModel, 17);
    const sObjDef& streamer = *list.FindById(250);
    EXPECT_EQ(streamer.objType, 1);
    EXPECT_EQ(streamer.refPointFlag, -1);
    EXPECT_EQ(streamer.squatModel, -1);
    EXPECT_EQ(list.FindById(2)->objType, 14);
    EXPECT_EQ(list.FindById(2)->refPointFlag, -1);
    EXPECT_EQ(survey->refPointFlag, -1);  // no reference point
    EXPECT_EQ(survey->squatModel, -1);    // an unset link stays unset
    EXPECT_EQ(oldCodes->codeTable[0], 1000003);
    EXPECT_EQ(oldCodes->codeTable[1], 3000007);
    EXPECT_EQ(oldCodes->codeTable[2], 55);
    EXPECT_EQ(oldCodes->density, 1000.0f);
    EXPECT_EQ(newCodes->codeTable[0], 0);
    // Values beyond a record's payload are not read.
    EXPECT_EQ(shortPoint->objType, 10);
    EXPECT_EQ(shortPoint->refPointFlag, 0);
    EXPECT_EQ(shortPoint->refPointValue, 6.5);
    headers.RemoveAll();
}

TEST(ObjDefHeaderTest, HeightAreaAndEnvironmentGoToEveryObject) {
    CObjDefList list;
    EXPECT_EQ(list.CopyHeightAreaToAll(nullptr), 0);
    EXPECT_EQ(list.CopyEnvironmentToAll(nullptr), 0);
    for (int32_t id : {1, 2, 3}) list.Add(MakeObjDef(id, 0, "o"))->heightArea[0] = -1;
    list.GetAt(2)->heightArea[5] = 35;
    EXPECT_EQ(list.CopyHeightAreaToAll(nullptr), 1);  // all unset: the last one's
    EXPECT_EQ(list.GetAt(0)->heightArea[5], 35);
    list.GetAt(1)->heightArea[0] = 8;
    list.GetAt(1)->heightArea[9] = 9;
    EXPECT_EQ(list.CopyHeightAreaToAll(nullptr), 1);
    EXPECT_EQ(list.GetAt(0)->heightArea[0], 8);
    EXPECT_EQ(list.GetAt(2)->heightArea[9], 9);
    EXPECT_EQ(list.GetAt(2)->heightArea[0], 8);

    EXPECT_EQ(list.CopyEnvironmentToAll(nullptr), 0);  // all defaults
    list.GetAt(2)->density = 1025.0f;
    list.GetAt(2)->environment2 = 3;
    EXPECT_EQ(list.CopyEnvironmentToAll(nullptr), 1);
    EXPECT_EQ(list.GetAt(0)->density, 1025.0f);
    EXPECT_EQ(list.GetAt(1)->environment2, 3);
    sObjDef outside = MakeObjDef(9, 0, "x");
    outside.pressure = 1.2f;
    EXPECT_EQ(list.CopyEnvironmentToAll(&outside), 1);
    EXPECT_EQ(list.GetAt(2)->pressure, 1.2f);
    EXPECT_EQ(list.GetAt(2)->density, 1000.0f);
}

class ObjDefLinkTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_nodes.Add(MakeNodeDef(1, 11, 1, NODE_VARIABLE, 0, 0, 0));
        m_nodes.Add(MakeNodeDef(2, 12, 2, NODE_VARIABLE, 0, 0, 0));
        m_nodes.Add(MakeNodeDef(3, 13, 3, NODE_FIXED, 0, 0, 0));
        m_nodes.Add(MakeNodeDef(4, 14, 1, NODE_VARIABLE, 1, 0, 0));
        for (auto [a, b] : {std::pair{11, 12}, {13, 14}, {11, 14}, {12, 99}, {10012, 13}}) {
            const std::vector<uint8_t> p = CLeBytes().I32(a).I32(b).Zeros(104);
            m_headers.AddRecord(230, 112, p.data(), -1);
        }
        m_source.Add(MakeObjDef(1, 10, "Ship"));
        m_source.Add(MakeObjDef(2, 3, "Tow"));
        m_source.Add(MakeObjDef(3, 13, "Bundle"));
        m_obs.Add(MakeObsDef(1, 1, 7, 2, 1, 0));   // from the tow's variable node to the ship
        m_obs.Add(MakeObsDef(2, 1, 7, 3, 1, 0));   // from a fixed node
        m_obs.Add(MakeObsDef(3, 1, 7, 4, 1, 0));   // within the ship
    }
    void TearDown() override { m_headers.RemoveAll(); }

    CNodeDefList m_nodes;
    CHdrList m_headers;
    CObjDefList m_source;
    CObsDefList m_obs;
};

TEST_F(ObjDefLinkTest, LinkedObjectsAndPipeBundles) {
    EXPECT_EQ(m_source.CountLinkedObjects(1, &m_nodes, &m_headers), 2);
    EXPECT_EQ(m_source.CountLinkedObjects(2, &m_nodes, &m_headers), 2);
    EXPECT_EQ(m_source.CountLinkedObjects(9, &m_nodes, &m_headers), 0);
    EXPECT_EQ(m_source.CountLinkedObjects(1, nullptr, &m_headers), 0);
    EXPECT_EQ(m_source.CountLinkedObjects(1, &m_nodes, nullptr), 0);
    CObjDefList one;
    one.Add(MakeObjDef(1, 10, "Ship"));
    EXPECT_EQ(one.CountLinkedObjects(1, &m_nodes, &m_headers), 0);

    CObjDefList linked;
    EXPECT_EQ(linked.CollectLinkedObjects(1, &m_source, &m_nodes, &m_headers, false), 1);
    EXPECT_EQ(Ids(linked), (std::vector<int32_t>{2, 3}));
    EXPECT_EQ(linked.CollectLinkedObjects(3, &m_source, &m_nodes, &m_headers, true), 1);
    EXPECT_EQ(Ids(linked), (std::vector<int32_t>{2, 3, 1}));
    EXPECT_EQ(linked.CollectLinkedObjects(3, &m_source, &m_nodes, &m_headers, true), 0);
    EXPECT_EQ(linked.CollectLinkedObjects(9, &m_source, &m_nodes, &m_headers, false), 0);
    EXPECT_EQ(linked.CollectLinkedObjects(1, nullptr, &m_nodes, &m_headers, false), 0);

    CObjDefList bundles;
    bundles.Add(MakeObjDef(8, 0, "gone"));
    EXPECT_EQ(bundles.CollectPipeBundles(&m_source, &m_nodes, &m_headers, false), 1);
    EXPECT_EQ(Ids(bundles), (std::vector<int32_t>{3, 1, 2}));
    CObjDefList byType;
    EXPECT_EQ(byType.CollectByType(3, &m_source, false), 1);
    EXPECT_EQ(Ids(byType), (std::vector<int32_t>{2}));
    EXPECT_EQ(byType.CollectByType(7, &m_source, false), 0);
    EXPECT_TRUE(byType.IsEmpty());
    // Collecting from itself.
    CObjDefList self(&m_source);
    EXPECT_EQ(self.CollectByType(13, &self, false), 1);
    EXPECT_EQ(Ids(self), (std::vector<int32_t>{3}));
}

TEST_F(ObjDefLinkTest, TowingObjects) {
    CObjDefList towing;
    EXPECT_EQ(towing.CollectTowingObjects(1, &m_source, &m_nodes, &m_obs, false), 1);
    EXPECT_EQ(Ids(towing), (std::vector<int32_t>{2}));
    CObjDefList one;
    one.Add(MakeObjDef(1, 10, "Ship"));
    EXPECT_EQ(towing.CollectTowingObjects(1, &one, &m_nodes, &m_obs, false), 0);

    struct sCase {
        std::vector<int32_t> listIds;
        int32_t objectId, towingId, expected;
    };
    const sCase cases[] = {
        {{2}, 1, 2, 2}, {{3}, 1, -1, 2}, {{3}, 1, 2, 0}, {{1}, 1, 2, 0}, {{}, 1, 2, 0}, {{2, 3}, 1, 3, -1},
        {{2}, 3, -1, -1},
    };
    for (const sCase& c : cases) {
        CObjDefList list;
        for (int32_t id : c.listIds) list.Add(MakeObjDef(id, 0, "o"));
        EXPECT_EQ(list.FindVariableNodeTowing(c.objectId, c.towingId, &m_nodes, &m_obs), c.expected)
            << c.objectId << " " << c.towingId;
    }
    m_obs.Add(MakeObsDef(4, 1, 7, 2, 3, 0));  // the tow tows the bundle too
    CObjDefList shipOnly;
    shipOnly.Add(MakeObjDef(1, 0, "o"));
    EXPECT_EQ(shipOnly.FindVariableNodeTowing(3, 1, &m_nodes, &m_obs), -1);  // the ship does not
    EXPECT_EQ(shipOnly.FindVariableNodeTowing(3, 0, &m_nodes, &m_obs), 2);
}

// --- the other lists' operations over objects --------------------------------------------------

TEST_F(ObjDefLinkTest, NodesResolveAndSortByObjects) {
    m_source.GetAt(1)->refNodeId = 2;
    m_nodes.Add(MakeNodeDef(5, 15, 2, NODE_VARIABLE, 3, 0, 0));
    m_nodes.Add(MakeNodeDef(6, 16, 9, NODE_VARIABLE, 3, 0, 0));
    EXPECT_EQ(m_nodes.ResolveNode(1, &m_source), m_nodes.FindById(1));  // zero offsets
    EXPECT_EQ(m_nodes.ResolveNode(5, &m_source), m_nodes.FindById(2));  // the tow's reference node
    EXPECT_EQ(m_nodes.ResolveNode(4, &m_source), nullptr);              // the ship's node 0 is missing
    EXPECT_EQ(m_nodes.ResolveNode(6, &m_source), nullptr);              // no object 9
    EXPECT_EQ(m_nodes.ResolveNode(0, &m_source), nullptr);
    EXPECT_EQ(m_nodes.ResolveNode(1, nullptr), nullptr);
    CObjDefList empty;
    EXPECT_EQ(m_nodes.ResolveNode(1, &empty), nullptr);
    m_source.GetAt(1)->refNodeId = 5;  // the object's reference node, not its zero-offset one
    EXPECT_EQ(m_nodes.ResolveNode(5, &m_source), m_nodes.FindById(5));
    EXPECT_EQ(m_source.GetReferenceNode(2, &m_nodes), m_nodes.FindById(5));
    m_source.GetAt(1)->refNodeId = 2;

    CObjDefList order;
    order.Add(MakeObjDef(2, 3, "Tow"));
    order.Add(MakeObjDef(1, 10, "Ship"));
    EXPECT_EQ(m_nodes.SortByObjects(&order, 0, 1), 1);
    std::vector<int32_t> ids;
    for (const sNodeDef& n : m_nodes) ids.push_back(n.id);
    EXPECT_EQ(ids, (std::vector<int32_t>{2, 5, 1, 4, 3, 6}));
    EXPECT_EQ(m_nodes.SortByObjects(static_cast<const CObjDefList*>(nullptr), 0, 1), 0);
    CObjDefList one;
    one.Add(MakeObjDef(1, 10, "Ship"));
    EXPECT_EQ(m_nodes.SortByObjects(&one, 0, 1), 0);
}

TEST_F(ObjDefLinkTest, BundleObservations) {
    CSysDefList systems;
    systems.Add(MakeSysDef(7, 12, 0, 0, 0));
    systems.Add(MakeSysDef(8, 38, 0, 0, 0));
    struct sCase {
        int32_t sysId, nodeId, expected;
    };
    const sCase cases[] = {{7, 3, 1}, {7, 1, 0}, {8, 1, 1}, {9, 3, 1}, {9, 1, 0}, {8, 99, 1}};
    for (const sCase& c : cases) {
        const sObsDef def = MakeObsDef(1, 11, c.sysId, c.nodeId, 0, 0);
        EXPECT_EQ(IsBundleObs(&def, &m_nodes, &m_source, &systems), c.expected) << c.sysId << " " << c.nodeId;
    }
    const sObsDef def = MakeObsDef(1, 11, 7, 3, 0, 0);
    EXPECT_EQ(IsBundleObs(nullptr, &m_nodes, &m_source, &systems), 0);
    EXPECT_EQ(IsBundleObs(&def, &m_nodes, nullptr, &systems), 0);
    EXPECT_EQ(IsBundleObs(&def, &m_nodes, &m_source, nullptr), 1);
}

TEST(ObjDefNamesTest, NamesAndVesselCaptions) {
    const sObjDef own = MakeObjDef(7, 10, "Own vessel");
    const sObjDef other = MakeObjDef(3, 10, "Other");
    EXPECT_STREQ(GetObjDefName(&own).GetString(), "Own vessel");
    EXPECT_TRUE(GetObjDefName(nullptr).IsEmpty());
    EXPECT_STREQ(GetObjDefNameOr(nullptr, "none").GetString(), "none");
    EXPECT_STREQ(GetObjDefNameOr(&other, "none").GetString(), "Other");
    struct sCase {
        int32_t id;
        const sObjDef* own;
        const char* caption;
    };
    const sCase cases[] = {
        {7, &own, "Own vessel"},          {7, &other, "Vessel Object 7"}, {0, &other, "Other"},
        {-1, &own, "Master Vessel Object"}, {-2, &own, "Mean of All Objects"}, {-5, &own, "Undefined"},
        {4, nullptr, "???"},
    };
    for (const sCase& c : cases) EXPECT_STREQ(GetVesselObjectCaption(c.id, c.own).GetString(), c.caption) << c.id;
}

class ObjDefIpcTest : public Vok::Test::IpcTest {};

TEST_F(ObjDefIpcTest, ListGoesThroughASharedBufferWhole) {
    IpcBufferHandle host("O", 1);
    ASSERT_TRUE(host.Lock());
    host.buffer.AddBlock(5, 3 * 384, 384);
    CObjDefList list;
    list.Add(MakeObjDef(1, 10, "Ship"))->values352[3] = 1.5;
    list.Add(MakeObjDef(2, 3, "Tow"))->byte7 = 4;
    EXPECT_EQ(list.WriteToIpc(host, 1), 1);
    host.Unlock();
    IpcBufferHandle reader("O", 0);
    ASSERT_TRUE(reader.Lock());
    CObjDefList back;
    EXPECT_EQ(back.ReadFromIpc(reader, 1), 1);
    reader.Unlock();
    EXPECT_EQ(back.Compare(list), 0);
    EXPECT_EQ(back.GetAt(0)->values352[3], 1.5);
    EXPECT_EQ(back.GetAt(1)->byte7, 4);
}

}  // namespace
