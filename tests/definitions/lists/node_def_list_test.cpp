#include "definitions/lists/node_def_list.h"

#include <gtest/gtest.h>

#include <vector>

#include "compat/unit_library.h"
#include "definitions/header/hdr_list.h"
#include "host/definition_samples.h"

namespace {

using Vok::Test::MakeNodeDef;

std::vector<int32_t> Ids(const CNodeDefList& list) {
    std::vector<int32_t> ids;
    for (const sNodeDef& n : list) ids.push_back(n.id);
    return ids;
}

void AddLink(CHdrList& headers, int32_t a, int32_t b) {
    const int32_t ends[2] = {a, b};
    uint8_t* payload = headers.AddRecord(230, 112, nullptr, -1);
    std::memcpy(payload, ends, sizeof ends);
}

class NodeDefListTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_EQ(SetUnit(UNIT_METERS), 1); }
    CNodeDefList m_list;
};

TEST_F(NodeDefListTest, LookUpsByNumberObjectAndSatellite) {
    m_list.Add(MakeNodeDef(1, 12, 1, 2, 0, 0, 0));
    sNodeDef* sv = m_list.Add(MakeNodeDef(2, 30, 0, 5, 0, 0, 0));
    sv->satelliteNumber = 17;
    EXPECT_EQ(m_list.FindIdByNumber(10012), 1);
    EXPECT_EQ(m_list.FindIdByNumber(99), -1);
    m_list.Add(MakeNodeDef(7, 10000, 4, 2, 0.5, 0, 0));
    m_list.Add(MakeNodeDef(8, 40, 4, 2, 0, 0, 0));
    EXPECT_EQ(m_list.FindIdByNumber(10000), -1);  // the category's base is number 0
    EXPECT_EQ(m_list.FindZeroOffsetNodeOfObject(4), m_list.FindById(8));  // not the object's first node
    EXPECT_EQ(m_list.GetObjectId(3), -1);
    EXPECT_EQ(m_list.GetSatelliteNumber(2), 17);
    EXPECT_EQ(m_list.GetSatelliteNumber(1), -1);
    EXPECT_EQ(m_list.GetSatelliteNumber(0), 0);
    EXPECT_EQ(m_list.FindSatelliteNodeId(17, 22), 2);
    EXPECT_EQ(m_list.FindSatelliteNodeId(17, 30), -1);
    EXPECT_EQ(m_list.FindSatelliteNodeId(17, 33), 2);
    EXPECT_EQ(m_list.CountByObject(0), -1);
}

TEST_F(NodeDefListTest, CoincidentNodesWithinAMillimetre) {
    m_list.Add(MakeNodeDef(1, 1, 1, 2, 1.0, 2.0, 5.0));
    m_list.Add(MakeNodeDef(2, 2, 1, 2, 7.0, 2.0004, 4.9996));
    m_list.Add(MakeNodeDef(3, 3, 2, 2, 9.0, 2.0, 5.0));  // another object
    EXPECT_EQ(m_list.FindCoincidentNode(1, 0), m_list.FindById(2));
    EXPECT_EQ(m_list.CountCoincidentNodes(1, 0), 1);
    EXPECT_EQ(m_list.FindCoincidentNode(1, 1), nullptr);
    for (int axis : {-1, 3}) {
        EXPECT_EQ(m_list.FindCoincidentNode(1, axis), nullptr);
        EXPECT_EQ(m_list.CountCoincidentNodes(1, axis), 0);
        EXPECT_EQ(m_list.SortByOffset(axis, 1), 0);
    }
    m_list.FindById(2)->z = 5.002;
    EXPECT_EQ(m_list.FindCoincidentNode(1, 0), nullptr);
    m_list.Add(MakeNodeDef(4, 4, 1, 2, 1.0, 9.0, 5.0));  // the same x and z, another y
    EXPECT_EQ(m_list.CountCoincidentNodes(1, 1), 1);
    EXPECT_EQ(m_list.CountCoincidentNodes(1, 2), 0);
    m_list.Add(MakeNodeDef(5, 5, 1, 2, 1.0, 2.0, 8.0));  // the same x and y, another z
    EXPECT_EQ(m_list.CountCoincidentNodes(1, 2), 1);
}

TEST_F(NodeDefListTest, SortingByOffsetAndByObjectsKeepsEveryNode) {
    m_list.Add(MakeNodeDef(1, 1, 1, 2, 0.0, 0.0, 3.0));
    m_list.Add(MakeNodeDef(2, 2, 1, 3, 5.0, 0.0, 1.0));
    m_list.Add(MakeNodeDef(3, 3, 1, 4, 1.0, 0.0, 2.0));
    m_list.Add(MakeNodeDef(4, 4, 1, 2, 0.0, 0.0, 1.0004));
    EXPECT_EQ(m_list.SortByOffset(2, 1), 1);
    EXPECT_EQ(Ids(m_list), (std::vector<int32_t>{4, 2, 3, 1}));  // equal z within a millimetre: x decides
    EXPECT_EQ(m_list.SortByOffset(2, 0), 1);
    EXPECT_EQ(Ids(m_list), (std::vector<int32_t>{1, 3, 2, 4}));

    m_list.Add(MakeNodeDef(5, 5, 9, 4, 0.0, 0.0, 0.0));  // variable and constrained nodes off the listed objects
    m_list.Add(MakeNodeDef(6, 6, 8, 3, 0.0, 0.0, 9.0));
    m_list.Add(MakeNodeDef(7, 7, 0, 1, 0.0, 0.0, 7.0));
    m_list.Add(MakeNodeDef(8, 8, 0, 2, 0.0, 0.0, 8.0));
    EXPECT_EQ(m_list.SortByObjects({1, 3}, 2, 1), 1);
    EXPECT_EQ(Ids(m_list), (std::vector<int32_t>{4, 2, 3, 1, 8, 7, 5, 6}));
    EXPECT_EQ(m_list.SortByObjects({1}, 2, 1), 0);

    CNodeDefList pair;  // two nodes are enough to sort
    pair.Add(MakeNodeDef(1, 1, 1, 2, 3.0, 0.0, 0.0));
    pair.Add(MakeNodeDef(2, 2, 1, 2, 1.0, 0.0, 0.0));
    EXPECT_EQ(pair.SortByOffset(0, 1), 1);
    EXPECT_EQ(Ids(pair), (std::vector<int32_t>{2, 1}));
}

TEST_F(NodeDefListTest, CopiesKeepFlagAndBorrowedCollections) {
    Vok::Test::FillSampleNodeDefs(m_list);
    CNodeDefList object1(1, &m_list, 0);
    EXPECT_EQ(Ids(object1), (std::vector<int32_t>{1, 2}));
    EXPECT_EQ(object1.CopyNodesOfType(5, &m_list, 1), 1);
    EXPECT_EQ(object1.CopyNodesOfType(5, &m_list, 1), 0);
    EXPECT_EQ(object1.GetCount(), 3);
    object1.CopyFrom(&object1, 1);
    EXPECT_EQ(object1.GetCount(), 3);
    object1.CopyFrom(&m_list, 1);
    EXPECT_EQ(object1.GetCount(), 6);
    EXPECT_EQ(object1.Compare(m_list), 3);
    std::vector<sNodeDef*> borrowed{m_list.FindById(1)};
    EXPECT_EQ(CNodeDefList::CollectNodesOfObject(1, &m_list, borrowed, 1), 1);
    EXPECT_EQ(borrowed, (std::vector<sNodeDef*>{m_list.FindById(1), m_list.FindById(2)}));
    EXPECT_EQ(CNodeDefList::CollectNodesOfObject(7, &m_list, borrowed, 0), 0);
    EXPECT_TRUE(borrowed.empty());
}

TEST_F(NodeDefListTest, LinksAndDredgingNodesOfTheHeaderList) {
    Vok::Test::FillSampleNodeDefs(m_list);  // numbers 11, 12 on object 1; 13 on object 2
    CHdrList headers;
    EXPECT_EQ(m_list.FindLinkedNodeId(1, &headers), -1);
    AddLink(headers, 11, 12);  // both ends on one object: no link between objects
    AddLink(headers, 10013, 12);
    EXPECT_EQ(m_list.FindLinkedNodeId(1, &headers), 2);
    EXPECT_EQ(m_list.FindLinkedNode(2, &headers), m_list.FindById(3));
    EXPECT_EQ(m_list.FindLinkedNodeId(5, &headers), 0);
    EXPECT_EQ(m_list.CountLinks(1, &headers), 1);
    CNodeDefList linked;
    EXPECT_EQ(linked.CopyLinkedNodes(12, &m_list, &headers, 0), 1);
    EXPECT_EQ(Ids(linked), (std::vector<int32_t>{1, 3}));
    const int32_t notALink[2] = {13, 11};
    headers.AddRecord(231, sizeof notALink, notALink, -1);
    EXPECT_EQ(linked.CopyLinkedNodes(13, &m_list, &headers, 0), 1);
    EXPECT_EQ(Ids(linked), (std::vector<int32_t>{2}));
    EXPECT_EQ(m_list.CopyLinkedNodes(12, &m_list, &headers, 0), 0);  // from itself: the list stays
    ASSERT_EQ(m_list.GetCount(), 3);
    EXPECT_EQ(m_list.CountLinks(1, nullptr), 0);
    AddLink(headers, 13, 11);
    EXPECT_EQ(m_list.CountLinks(1, &headers), 2);  // every link is counted, not the first alone

    CNodeDefList out;
    out.Add(m_list.GetAt(0)[0]);
    EXPECT_EQ(m_list.CopyDredgingNodes(out, -1, &headers), 0);
    EXPECT_EQ(out.GetCount(), 0);
    int32_t dredging[12] = {4, 0, 11, 13, 0, 0, 0, 0, 0, 0, 0, 1};
    headers.AddRecord(207, sizeof dredging, dredging, -1);
    int32_t sub[4] = {0, 0, 0, 12};
    headers.AddRecord(217, sizeof sub, sub, -1);
    EXPECT_EQ(m_list.CopyDredgingNodes(out, 4, &headers), 3);
    EXPECT_EQ(Ids(out), (std::vector<int32_t>{1, 3, 2}));
    EXPECT_EQ(m_list.CopyDredgingNodes(out, 5, &headers), 0);
}

TEST_F(NodeDefListTest, ComboBox) {
    Vok::Test::FillSampleNodeDefs(m_list);
    CComboBox box;
    box.AddString("stale");
    EXPECT_EQ(m_list.FillComboBox(&box, 2, 1), 2);
    EXPECT_STREQ(box.GetItemText(1), "Node 2");
    EXPECT_EQ(box.GetItemData(1), 2u);
    EXPECT_EQ(box.GetCurSel(), 1);
    EXPECT_EQ(m_list.FillComboBox(&box, 9, 0), 3);
    EXPECT_EQ(box.GetCurSel(), -1);

    CStringArray names;
    CDWordArray ids;
    names.Add("stale");
    ids.Add(99);
    m_list.FillNameArrays(1, names, ids);  // both arrays start empty
    ASSERT_EQ(ids.GetSize(), 2);
    EXPECT_EQ(ids[0], 1u);
    EXPECT_EQ(names.GetSize(), 2);
}

}  // namespace
