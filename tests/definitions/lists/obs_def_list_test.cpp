#include "definitions/lists/obs_def_list.h"

#include <gtest/gtest.h>

#include <vector>

#include "definitions/header/hdr_list.h"
#include "definitions/lists/node_def_list.h"
#include "host/definition_samples.h"

namespace {

using Vok::Test::MakeNodeDef;
using Vok::Test::MakeObsDef;

class ObsDefListTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_list.Add(MakeObsDef(1, 30, 5, 1, 0, 0));
        m_list.Add(MakeObsDef(2, 11, 5, 1, 2, 7));
        m_list.Add(MakeObsDef(3, 11, 6, 2, 0, -7));
        m_list.Add(MakeObsDef(4, 50, 5, 3, 0, 0));
        m_list.Add(MakeObsDef(5, 91, 6, 3, 0, 9));
        m_list.Add(MakeObsDef(6, 51, 6, 3, 0, -9));
        m_nodes.Add(MakeNodeDef(1, 11, 1, 2, 0, 0, 0));
        m_nodes.Add(MakeNodeDef(2, 12, 2, 2, 0, 0, 0));
        m_nodes.Add(MakeNodeDef(3, 13, 2, 2, 0, 0, 0));
    }
    static int32_t Id(const sObsDef* d) { return d != nullptr ? d->id : 0; }

    CObsDefList m_list;
    CNodeDefList m_nodes;
};

TEST_F(ObsDefListTest, LookUps) {
    m_list.Add(MakeObsDef(0, 30, 5, 1, 0, 0));  // an id of 0 is never found
    EXPECT_EQ(Id(m_list.FindById(0)), 0);
    EXPECT_EQ(Id(m_list.FindById(-3)), 0);
    EXPECT_EQ(Id(m_list.FindByLink(-7)), 3);
    EXPECT_EQ(Id(m_list.FindByLink(0)), 0);
    EXPECT_EQ(Id(m_list.FindBySystem(5, 0, 2)), 2);
    EXPECT_EQ(Id(m_list.FindBySystem(0, 0, 1)), 0);
    EXPECT_EQ(Id(m_list.FindBySystemAndNodes(5, 11, 1, 2)), 2);
    EXPECT_EQ(Id(m_list.FindBySystemAndNodes(5, 11, 1, 3)), 0);
    EXPECT_EQ(Id(m_list.FindBySystemAndNodes(5, 11, 1, 1)), 0);
    EXPECT_EQ(Id(m_list.FindByType(11, 2, 0)), 3);
    EXPECT_EQ(Id(m_list.FindLinkedBySystemAndNodes(6, 0, 3, 0)), 6);
    EXPECT_EQ(Id(m_list.FindByNode(m_nodes.FindById(2), 0, 1)), 2);
    EXPECT_EQ(Id(m_list.FindByNode(m_nodes.FindById(3), 0, 1)), 0);  // only as the second node
    EXPECT_EQ(Id(m_list.FindSurveySensorObs(5, 1)), 4);
    EXPECT_EQ(Id(m_list.FindAssociatedObs(m_list.FindById(5))), 6);
    EXPECT_EQ(m_list.CountByType(-1), -1);
    EXPECT_EQ(m_list.CountBySystem(0), -1);
    EXPECT_EQ(m_list.CountByNode(0, 0), -1);
    m_list.Add(MakeObsDef(7, 91, 6, 3, 0, 4));
    m_list.Add(MakeObsDef(8, 11, 6, 3, 0, -4));
    m_list.Add(MakeObsDef(9, 88, 6, 3, 0, -4));
    EXPECT_EQ(Id(m_list.FindAssociatedObs(m_list.FindById(7))), 9);  // a draft before the bearing
    m_list.Add(MakeObsDef(10, 97, 6, 3, 0, 4));
    EXPECT_EQ(Id(m_list.FindAssociatedObs(m_list.FindById(10))), 8);  // a layback's true bearing
    EXPECT_EQ(Id(m_list.FindByTypeNth(0, 2)), 2);  // type 0: any type
}

TEST_F(ObsDefListTest, LinkPartnersNeedALinkAndAreNeverTheRecordItself) {
    EXPECT_EQ(Id(m_list.FindLinkPartner(m_list.FindById(2))), 3);
    EXPECT_EQ(Id(m_list.FindLinkPartner(m_list.FindById(3))), 2);
    EXPECT_EQ(Id(m_list.FindLinkPartner(m_list.FindById(1))), 0);  // link 0: the other link-0 records are no partners
    EXPECT_EQ(Id(m_list.FindAssociatedObs(m_list.FindById(1))), 0);
    m_list.Add(MakeObsDef(7, 91, 5, 1, 0, 0));
    m_list.Add(MakeObsDef(8, 51, 5, 1, 0, 0));
    EXPECT_EQ(Id(m_list.FindAssociatedObs(m_list.FindById(7))), 0);  // link 0: no depth partner either
}

TEST_F(ObsDefListTest, CopiesAreDeepAndCollectionsBorrow) {
    CObsDefList copy(&m_list);
    EXPECT_EQ(copy.Compare(m_list), 0);
    EXPECT_NE(copy.FindById(1), m_list.FindById(1));
    copy.CopyFrom(&copy);
    EXPECT_EQ(copy.GetCount(), 6);
    copy.CopyBySystem(copy, 6);  // into itself: only the system's records remain
    EXPECT_EQ(copy.GetCount(), 3);
    CObsDefList out;
    m_list.CopyByTypeAndObject(out, &m_nodes, 11, 2);
    EXPECT_EQ(out.GetCount(), 1);
    m_list.Add(MakeObsDef(7, 1, 5, 2, 3, 0));  // between two nodes of object 2
    m_list.CopyFromObject(out, &m_nodes, 1);
    EXPECT_EQ(Id(out.GetAt(0)), 2);
    m_list.CopyToObject(out, &m_nodes, 1);
    EXPECT_EQ(out.GetCount(), 0);
    m_list.CopyFromObject(out, &m_nodes, 2);
    EXPECT_EQ(out.GetCount(), 0);
    m_list.CopyToObject(out, &m_nodes, 2);
    ASSERT_EQ(out.GetCount(), 1);
    EXPECT_EQ(Id(out.GetAt(0)), 2);
    m_list.CopyFromObject(out, nullptr, 1);  // no node is found
    EXPECT_EQ(out.GetCount(), 0);
    SetFieldText(m_list.FindById(4)->tag, "Tag");
    m_list.CopyByText(out, "Tag");
    ASSERT_EQ(out.GetCount(), 1);
    EXPECT_EQ(Id(out.GetAt(0)), 4);

    std::vector<sObsDef*> borrowed;
    m_list.CollectByNode(borrowed, nullptr, 1, 1);  // no node is found
    m_list.CollectByNode(borrowed, m_nodes.FindById(3), 1, 0);
    m_list.CollectByNodes(borrowed, m_nodes.FindById(1), m_nodes.FindById(2));
    ASSERT_EQ(borrowed.size(), 4u);
    EXPECT_EQ(borrowed[3], m_list.FindById(2));
}

TEST_F(ObsDefListTest, CompareTextUsesAndSystemIds) {
    CObsDefList other(&m_list);
    other.FindById(6)->sigma = 1.0f;
    EXPECT_EQ(other.Compare(m_list), 1);
    other.FindById(6)->id = 60;
    EXPECT_EQ(other.Compare(m_list), 999);
    other.Add(MakeObsDef(7, 1, 1, 1, 0, 0));
    EXPECT_EQ(other.Compare(m_list), 1);
    CObsDefList reversed;
    for (int k = m_list.GetCount() - 1; k >= 0; --k) reversed.Add(*m_list.GetAt(k));
    EXPECT_EQ(reversed.Compare(m_list), 0);

    SetFieldText(m_list.FindById(4)->refName1, "Ref");
    SetFieldText(m_list.FindById(2)->refName2, "REF");
    EXPECT_EQ(m_list.CountTextUses(5, "ref", 0, 0, 0), 2);
    EXPECT_EQ(m_list.CountTextUses(5, "ref", 0, 4, 0), 1);
    EXPECT_EQ(m_list.CountTextUses(6, "ref", 0, 0, 0), 0);
    EXPECT_EQ(m_list.CountTextUses(5, "", 0, 0, 0), -1);
    m_list.ClearTextUses(5, "rEf");
    EXPECT_EQ(m_list.CountTextUses(5, "ref", 0, 0, 0), 0);
}

TEST(ObsCorrections, ForwardAndInverse) {
    sObsDef d = MakeObsDef(1, 1, 1, 1, 0, 0);
    d.correction1 = 1.0;
    d.correction2 = 2.0;
    d.quadratic = 5.0;
    EXPECT_EQ(ApplyObsCorrection(10.0, &d), 13.0);  // the quadratic term needs a scale
    d.scale = 2.0;
    d.quadratic = 0.5;
    EXPECT_EQ(ApplyObsCorrection(10.0, &d), 76.0);
    EXPECT_DOUBLE_EQ(RemoveObsCorrection(76.0, &d), 10.0);
    EXPECT_NEAR(RemoveCorrection(ApplyCorrection(-3.0, 1.5, 0.9, -0.01), 1.5, 0.9, -0.01), -3.0, 1e-12);
    EXPECT_EQ(RemoveCorrection(8.0, 3.0, 2.0, 0.0), 1.0);
    EXPECT_EQ(RemoveCorrection(-1.0, -2.0, 2.0, 1.0), -3.0);  // 1 and -3 lie equally near: the second root
    EXPECT_EQ(ApplyObsCorrection(4.0, nullptr), 4.0);
    d.soundVelocity = 1500.0;
    d.velocity = 1000.0;
    EXPECT_EQ(ApplyVelocityRatio(2.0, &d), 3.0);
    EXPECT_EQ(RemoveVelocityRatio(3.0, &d), 2.0);
    d.velocity = 0.0;
    EXPECT_EQ(ApplyVelocityRatio(2.0, &d), 2.0);
    d.velocity = 1000.0;
    CObsDefList list;
    list.Add(d);
    EXPECT_EQ(list.ApplyCorrectionById(10.0, 1), 76.0);
    EXPECT_EQ(list.ApplyScaleById(10.0, 2), 10.0);
    EXPECT_EQ(list.ApplyScaleById(10.0, 1), 20.0);
}

TEST(GnssPositionHdrIterator, VisitsPositionRecordsWithPayloads) {
    CHdrList headers;
    headers.AddRecord(258, 8, nullptr, -1);
    headers.AddRecord(65, 8, nullptr, -1);
    headers.AddRecord(258, 8, nullptr, -1);
    GnssPositionHdrIterator it(&headers);
    EXPECT_EQ(it.Next(), headers.GetEntry(258, 1));
    EXPECT_EQ(it.Next(), headers.GetEntry(258, 2));
    EXPECT_EQ(it.Next(), nullptr);
    EXPECT_EQ(it.Current(), nullptr);
}

}  // namespace
