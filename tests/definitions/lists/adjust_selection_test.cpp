// How a computation set-up selects its observations: state changes and their dependants, the main
// system, height sources, system and object rules, connected objects, filters and intervals.
#include "definitions/lists/adjust_def.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "definitions/lists/adj_def_list.h"
#include "definitions/lists/filter_def_lists.h"
#include "definitions/header/hdr_list.h"
#include "definitions/lists/node_def_list.h"
#include "definitions/lists/obj_def_list.h"
#include "definitions/lists/obs_def_list.h"
#include "definitions/lists/sys_def_list.h"
#include "definitions/tide/tide_settings.h"
#include "host/definition_samples.h"

namespace {

using Vok::Test::MakeNodeDef;
using Vok::Test::MakeObsDef;
using Vok::Test::MakeSysDef;

sObjDef MakeObjDef(int32_t id, int32_t objType, int32_t displayOrder) {
    sObjDef o{};
    o.Init();
    o.objectId = id;
    o.objType = objType;
    o.displayOrder = displayOrder;
    return o;
}

// A small project: objects 1 (vessel), 2 (ROV), 3 (towed object) and 4 (pipe bundle); variable
// nodes 1 and 2 on object 1, 3 on object 2, 4 on object 3, 6 on object 4; node 5 fixed, on no
// object; systems 1 GNSS (12), 2 USBL (2), 3 type 10, 4 computed (16), 5 type 20.
class AdjustSelectionTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_objects.Add(MakeObjDef(1, 0, 0));
        m_objects.Add(MakeObjDef(2, 11, 1));
        m_objects.Add(MakeObjDef(3, 3, -1));
        m_objects.Add(MakeObjDef(4, 13, -1));
        m_nodes.Add(MakeNodeDef(1, 11, 1, 4, 0, 0, 0));
        m_nodes.Add(MakeNodeDef(2, 12, 1, 4, 0, 0, 0));
        m_nodes.Add(MakeNodeDef(3, 13, 2, 4, 0, 0, 0));
        m_nodes.Add(MakeNodeDef(4, 14, 3, 4, 0, 0, 0));
        m_nodes.Add(MakeNodeDef(5, 15, -1, 2, 0, 0, 0));
        m_nodes.Add(MakeNodeDef(6, 16, 4, 4, 0, 0, 0));
        m_systems.Add(MakeSysDef(1, 12, 0, 0, 0));
        m_systems.Add(MakeSysDef(2, 2, 0, 0, 0));
        m_systems.Add(MakeSysDef(3, 10, 0, 0, 0));
        m_systems.Add(MakeSysDef(4, 16, 0, 0, 0));
        m_systems.Add(MakeSysDef(5, 20, 0, 0, 0));
        Link(m_setup);
        m_setup.InitNamed(1, "Main");
    }
    void Link(CAdjustDef& setup) {
        setup.SetLists(&m_objects, &m_systems, &m_obs, &m_nodes, &m_filters, &m_tides);
    }
    sObsDef* Obs(int32_t id, int32_t type, int32_t sysId, int32_t node, int32_t toNode = 0) {
        sObsDef* o = m_obs.Add(MakeObsDef(id, type, sysId, node, toNode, 0));
        o->interval = 1.0f;
        return o;
    }
    uint32_t State(int32_t obsId) const {
        const sAdjustEntry* e = m_setup.GetEntry(obsId);
        return e != nullptr ? e->state : 99u;
    }

    CObjDefList m_objects;
    CSysDefList m_systems;
    CObsDefList m_obs;
    CNodeDefList m_nodes;
    CFiltDefList m_filters;
    Vok::Tides::CTideSettingsContainer m_tides;
    CAdjustDef m_setup;
};

TEST_F(AdjustSelectionTest, ExcludingAddsWithoutDependantsAndUsingUpdatesThem) {
    sObsDef* lat = Obs(10, 30, 1, 1);
    sObsDef* offset = Obs(20, 37, 5, 2);
    m_setup.AddObservation(offset, nullptr);
    EXPECT_EQ(m_setup.ExcludeObservation(lat), 0);  // added, already in state 2
    EXPECT_EQ(State(10), ADJ_ENTRY_EXCLUDED);
    EXPECT_EQ(State(20), ADJ_ENTRY_EXCLUDED);
    m_setup.RemoveObservation(lat);
    EXPECT_EQ(m_setup.UseObservation(lat), 1);
    EXPECT_EQ(State(10), ADJ_ENTRY_USED);
    EXPECT_EQ(State(20), ADJ_ENTRY_USED);  // the offset of the object the latitude is on
    EXPECT_EQ(m_setup.UseObservation(lat), 0);
    EXPECT_EQ(m_setup.SetCompanionObservation(lat), 1);
    EXPECT_EQ(m_setup.IsObservationCompanion(10), 1);
    EXPECT_EQ(m_setup.UseObservation(nullptr), 0);

    const int count = m_setup.GetEntryCount();
    EXPECT_EQ(m_setup.SetCompanionObservation(Obs(0, 30, 1, 1)), 1);  // an id below 1 is added first too
    ASSERT_EQ(m_setup.GetEntryCount(), count + 1);
    EXPECT_EQ(m_setup.GetEntryAt(count)->state, ADJ_ENTRY_COMPANION);
}

TEST_F(AdjustSelectionTest, UsingAnObservationFindsTheMainSystem) {
    sObsDef* gnss = Obs(10, 20, 1, 1);
    sObsDef* other = Obs(11, 30, 3, 1);
    m_setup.m_Def.mainSysId = 2;  // a USBL system that the set-up no longer uses
    EXPECT_EQ(m_setup.UpdateMainSystem(false), 0);
    EXPECT_EQ(m_setup.m_Def.mainSysId, 2);
    m_setup.UseObservation(gnss);  // system 1 is of type 12, but 3 comes ...
    EXPECT_EQ(m_setup.m_Def.mainSysId, 1);
    m_setup.ExcludeObservation(gnss);
    m_setup.UseObservation(other);
    EXPECT_EQ(m_setup.m_Def.mainSysId, 3);  // the system of type 10 now in use
    EXPECT_EQ(m_setup.IsMainSystem(m_systems.FindById(3)), 1);
    EXPECT_EQ(CAdjustDef::IsMainSystemType(m_systems.FindById(5)), 0);
    EXPECT_EQ(m_setup.UpdateMainSystem(false), 1);
}

TEST_F(AdjustSelectionTest, FourPseudoRangesMakeOneHeightSource) {
    struct sCase {
        int ranges;
        bool aiding;  // a used height aiding in the ranges' system
        int count;
    };
    for (const sCase& c : {sCase{3, false, 0}, sCase{4, false, 1}, sCase{5, false, 1}, sCase{4, true, 0}}) {
        m_obs.RemoveAll();
        m_setup.RemoveAllEntries();
        for (int k = 0; k < c.ranges; ++k) m_setup.UseObservation(Obs(10 + k, 20, 1, 1));
        if (c.aiding) m_setup.UseObservation(Obs(30, 40, 1, 3));  // aiding on another object
        int count = -1;
        int32_t obsId = 0;
        EXPECT_EQ(m_setup.CountHeightSources(1, &m_nodes, -1, count, obsId), c.count > 0) << c.ranges;
        EXPECT_EQ(count, c.count) << c.ranges;
        EXPECT_EQ(obsId, c.aiding ? -1 : 10) << c.ranges;  // the first range, counted or not
    }
    // Heights, height aiding and fixed first nodes count one each; the excluded system not at all.
    m_obs.RemoveAll();
    m_setup.RemoveAllEntries();
    m_setup.UseObservation(Obs(1, 20, 1, 1));
    m_setup.UseObservation(Obs(2, 32, 3, 1));
    m_setup.UseObservation(Obs(3, 40, 1, 1));
    int count = 0;
    int32_t obsId = 0;
    EXPECT_TRUE(m_setup.CountHeightSources(1, nullptr, -1, count, obsId));
    EXPECT_EQ(count, 2);
    EXPECT_EQ(obsId, 2);
    EXPECT_TRUE(m_setup.CountHeightSources(1, nullptr, 3, count, obsId));
    EXPECT_EQ(count, 1);
    EXPECT_EQ(obsId, 3);
    EXPECT_TRUE(m_setup.CountHeightAiding(1, nullptr, -1, count, obsId));
    EXPECT_EQ(count, 1);
    EXPECT_FALSE(m_setup.CountHeightAiding(1, nullptr, 1, count, obsId));
    m_setup.UseObservation(Obs(4, 40, 3, 2));  // a second aiding on the object names no source
    EXPECT_TRUE(m_setup.CountHeightAiding(1, nullptr, -1, count, obsId));
    EXPECT_EQ(count, 2);
    EXPECT_EQ(obsId, 3);
    m_nodes.FindById(1)->nodeType = 2;  // a fixed node
    EXPECT_TRUE(m_setup.CountHeightSources(1, nullptr, 3, count, obsId));
    EXPECT_EQ(count, 3);  // two fixed first nodes and the height aiding
}

TEST_F(AdjustSelectionTest, SelectHeightSourceByMode) {
    sObsDef* range = Obs(1, 20, 1, 1);
    sObsDef* height = Obs(2, 32, 1, 1);
    sObsDef* aiding = Obs(3, 40, 1, 1);
    struct sCase {
        int mode;
        uint32_t height, aiding;
    };
    for (const sCase& c : {sCase{0, 0, 2}, sCase{1, 2, 0}, sCase{2, 2, 2}, sCase{-1, 2, 2}}) {
        m_setup.RemoveAllEntries();
        m_setup.UseObservation(range);
        m_setup.AddObservation(height, nullptr);
        m_setup.UseObservation(aiding);
        m_setup.SelectHeightSource(1, c.mode);
        EXPECT_EQ(State(2), c.height) << c.mode;
        EXPECT_EQ(State(3), c.aiding) << c.mode;
        EXPECT_EQ(State(1), ADJ_ENTRY_USED) << c.mode;
    }
    m_setup.RemoveAllEntries();
    m_setup.AddObservation(height, nullptr);
    m_setup.SelectHeightSource(1, 0);  // the system is not used: nothing
    EXPECT_EQ(State(2), ADJ_ENTRY_EXCLUDED);
}

TEST_F(AdjustSelectionTest, UsingASystemDecidesEachObservation) {
    // Observations of system 1 on object 1, in list order.
    Obs(1, 20, 1, 1);         // positioning: used
    Obs(2, 61, 1, 1);         // generic, not positioning or sensor: excluded
    Obs(3, 32, 1, 1);         // height
    Obs(4, 40, 1, 1);         // height aiding
    Obs(5, 45, 1, 1, 2);      // USBL dZ within one object: used
    Obs(6, 45, 1, 1, 3);      // USBL dZ to object 2
    Obs(7, 46, 1, 1);         // pitch, from 32 to 51: used
    Obs(8, 45, 1, 5, 5);      // USBL dZ between nodes on no object
    Obs(9, 20, 2, 1);         // another system: untouched
    struct sCase {
        const char* what;
        int heightMode;  // -1 none, 0 a used height, 1 a used height aiding
        bool check;
        bool sourceOnObject2;
        uint32_t expected[8];
    };
    const sCase cases[] = {
        {"no height mode", -1, false, false, {0, 2, 2, 0, 0, 2, 0, 2}},
        {"height mode", 0, false, false, {0, 2, 0, 2, 0, 0, 0, 0}},
        {"aiding mode", 1, false, false, {0, 2, 2, 0, 0, 2, 0, 2}},
        {"height mode, object 2 has a height source", 0, true, true, {0, 2, 0, 2, 0, 2, 0, 0}},
        {"height mode, checked, no other source", 0, true, false, {0, 2, 0, 2, 0, 0, 0, 0}},
    };
    for (const sCase& c : cases) {
        SCOPED_TRACE(c.what);
        m_setup.RemoveAllEntries();
        if (c.heightMode == 0) m_setup.UseObservation(m_obs.FindById(3));
        if (c.heightMode == 1) m_setup.UseObservation(m_obs.FindById(4));
        if (c.sourceOnObject2) m_setup.UseObservation(Obs(50, 32, 5, 3));
        m_setup.UseSystem(m_systems.FindById(1), nullptr, c.check);
        for (int32_t id = 1; id <= 8; ++id) EXPECT_EQ(State(id), c.expected[id - 1]) << id;
        EXPECT_EQ(State(9), 99u);
        m_obs.RemoveAll();
        for (const auto& [id, t, s, n, to] : std::vector<std::tuple<int, int, int, int, int>>{
                 {1, 20, 1, 1, 0}, {2, 61, 1, 1, 0}, {3, 32, 1, 1, 0}, {4, 40, 1, 1, 0}, {5, 45, 1, 1, 2},
                 {6, 45, 1, 1, 3}, {7, 46, 1, 1, 0}, {8, 45, 1, 5, 5}, {9, 20, 2, 1, 0}})
            Obs(id, t, s, n, to);
    }
}

TEST_F(AdjustSelectionTest, WithTheCheckAHeightOnAnObjectWithASourceIsExcluded) {
    sObsDef* height = Obs(3, 32, 1, 1);
    sObsDef* other = Obs(9, 32, 3, 2);  // another system's height on the same object
    m_setup.UseObservation(height);
    m_setup.UseObservation(other);
    m_setup.UseSystem(m_systems.FindById(1), nullptr, true);
    EXPECT_EQ(State(3), ADJ_ENTRY_EXCLUDED);
    m_setup.ExcludeObservation(other);
    m_setup.UseObservation(height);
    m_setup.UseSystem(m_systems.FindById(1), nullptr, true);
    EXPECT_EQ(State(3), ADJ_ENTRY_USED);
    // A source reached through a used link observation counts too.
    sObsDef* link = Obs(12, 49, 5, 1, 3);
    m_setup.UseObservation(link);
    m_setup.UseObservation(Obs(13, 32, 3, 3));
    m_setup.UseSystem(m_systems.FindById(1), nullptr, true);
    EXPECT_EQ(State(3), ADJ_ENTRY_EXCLUDED);
}

TEST_F(AdjustSelectionTest, TheUsblPartnerFollowsItsObservation) {
    sObsDef* usbl = Obs(1, 43, 2, 1, 2);     // USBL X within object 1
    sObsDef* partner = Obs(2, 37, 5, 1, 2);  // offset X with the same second node
    m_setup.AddObservation(partner, nullptr);
    m_setup.UseObservation(usbl);
    EXPECT_EQ(State(2), ADJ_ENTRY_COMPANION);  // taken as the object's offset, then made a companion
    m_setup.ExcludeObservation(usbl);
    EXPECT_EQ(State(2), ADJ_ENTRY_USED);
    m_setup.UseObservation(usbl);
    EXPECT_EQ(State(2), ADJ_ENTRY_COMPANION);
    // Across objects no partner is looked for.
    sObsDef* across = Obs(3, 44, 2, 1, 3);
    sObsDef* offsetY = Obs(4, 38, 5, 3, 3);
    m_setup.AddObservation(offsetY, nullptr);
    m_setup.ExcludeObservation(across);
    m_setup.UseObservation(across);
    m_setup.ExcludeObservation(across);
    EXPECT_EQ(State(4), ADJ_ENTRY_USED);  // the offset of object 2 taken when dZ was used
}

TEST_F(AdjustSelectionTest, HeightSearchesThroughLinksEndOnACycle) {
    // Objects 1, 2 and 3 joined in a cycle by used link observations, with no height anywhere.
    m_setup.UseObservation(Obs(1, 49, 5, 1, 3));  // object 1 - object 2
    m_setup.UseObservation(Obs(2, 60, 5, 3, 4));  // object 2 - object 3
    m_setup.UseObservation(Obs(3, 45, 5, 4, 2));  // object 3 - object 1
    int32_t obsId = 0;
    EXPECT_FALSE(m_setup.FindHeightSourceByLinks(1, obsId));
    EXPECT_EQ(obsId, -1);
    EXPECT_FALSE(m_setup.FindHeightAidingByLinks(2, obsId));
    EXPECT_FALSE(m_setup.HasHeightSourceThroughLinks(1, -1, nullptr));
    m_setup.UseObservation(Obs(4, 40, 1, 4));  // height aiding on object 3
    EXPECT_TRUE(m_setup.FindHeightSourceByLinks(1, obsId));
    EXPECT_TRUE(obsId == 1 || obsId == 3) << obsId;  // the first link of the path taken
    EXPECT_TRUE(m_setup.FindHeightAidingByLinks(2, obsId));
    EXPECT_TRUE(m_setup.FindHeightSourceByLinks(3, obsId));
    EXPECT_EQ(obsId, -1);  // the object itself
    EXPECT_TRUE(m_setup.HasHeightSourceThroughLinks(1, -1, nullptr));
}

TEST_F(AdjustSelectionTest, HeaderLinksCarryAHeightSourceAndTheirCycleEnds) {
    CHdrList headers, chain;
    const auto link = [](CHdrList& list, int32_t a, int32_t b) {
        uint8_t* p = list.AddRecord(230, 112, nullptr, -1);
        std::memcpy(p, &a, 4);
        std::memcpy(p + 4, &b, 4);
    };
    for (CHdrList* list : {&headers, &chain}) {
        link(*list, 11, 13);     // object 1 - object 2
        link(*list, 10013, 14);  // object 2 - object 3, a number with a category
    }
    link(headers, 14, 12);  // object 3 - object 1
    EXPECT_FALSE(m_setup.HasHeightSourceThroughLinks(1, -1, &headers));
    sObsDef* aiding = Obs(4, 40, 1, 4);
    m_setup.UseObservation(aiding);
    EXPECT_TRUE(m_setup.HasHeightSourceThroughLinks(1, -1, &headers));
    EXPECT_FALSE(m_setup.HasHeightSourceThroughLinks(1, -1, nullptr));

    // Connected objects are those the set-up uses at the other end of a link record.
    m_setup.UseObservation(Obs(5, 20, 1, 1));
    m_setup.UseObservation(Obs(6, 20, 1, 3));
    CObjectMarks marks;
    m_setup.ExcludeObservation(aiding);
    EXPECT_TRUE(m_setup.ConnectedObjects(marks, 1, &m_objects, &m_nodes, &headers, false, false));
    EXPECT_EQ(marks, (CObjectMarks{{2, -1}}));  // object 3 is linked but not used
    m_setup.UseObservation(aiding);
    EXPECT_TRUE(m_setup.ConnectedObjects(marks, 1, &m_objects, &m_nodes, &headers, false, false));
    EXPECT_EQ(marks, (CObjectMarks{{2, -1}, {3, -1}}));
    EXPECT_TRUE(m_setup.ConnectedObjects(marks, 1, &m_objects, &m_nodes, &headers, true, false));
    EXPECT_EQ(marks, (CObjectMarks{{2, 1}, {3, 1}}));  // each searched from in turn
    EXPECT_FALSE(m_setup.ConnectedObjects(marks, -1, &m_objects, &m_nodes, &headers, true, false));
    EXPECT_FALSE(m_setup.ConnectedObjects(marks, 9, &m_objects, &m_nodes, &headers, true, false));
    EXPECT_FALSE(m_setup.ConnectedObjects(marks, 4, &m_objects, &m_nodes, &headers, true, false));  // not rigid
    EXPECT_EQ(m_setup.UsesObjectConnected(4, &m_objects, &m_nodes, &headers), 0);
    m_setup.RemoveObservation(m_obs.FindById(5));
    EXPECT_EQ(m_setup.UsesObject(1, nullptr, false), 0);
    EXPECT_EQ(m_setup.UsesObjectConnected(1, &m_objects, &m_nodes, &headers), 1);

    sConnectOptions options;
    options.Init(sConnectOptions::FOLLOW_LINK_RECORDS, sConnectOptions::DIRECTION_FIRST, 0, 0);
    m_setup.UseObservation(Obs(5, 20, 1, 1));
    EXPECT_TRUE(m_setup.ConnectedObjectsByVariableNodes(marks, 1, &m_objects, &m_nodes, &headers, options));
    EXPECT_EQ(marks, (CObjectMarks{{2, -1}}));  // only links whose first node is on object 1
    options.SetRecurses(true);
    options.SetDirections(sConnectOptions::DIRECTION_FIRST | sConnectOptions::DIRECTION_SECOND);
    EXPECT_TRUE(options.HasAll(sConnectOptions::FOLLOW_LINK_RECORDS | sConnectOptions::RECURSE));
    EXPECT_TRUE(m_setup.ConnectedObjectsByVariableNodes(marks, 1, &m_objects, &m_nodes, &headers, options));
    EXPECT_EQ(marks, (CObjectMarks{{2, 1}, {3, 1}}));
    // Searched from object 2, only the set-up's own observations are links: object 3 is not reached.
    EXPECT_TRUE(m_setup.ConnectedObjectsByVariableNodes(marks, 1, &m_objects, &m_nodes, &chain, options));
    EXPECT_EQ(marks, (CObjectMarks{{2, 1}}));
}

TEST_F(AdjustSelectionTest, BuildingAFreshSetupFromTheObservations) {
    Obs(1, 20, 1, 1);      // positioning: an entry
    Obs(2, 59, 5, 1);      // tide: an entry
    Obs(3, 61, 5, 1);      // generic: none
    Obs(4, 46, 5, 1);      // pitch, heading a group of three: template, excluded with 5 and 6
    Obs(5, 47, 5, 1);
    Obs(6, 48, 5, 1);
    Obs(7, 30, 1, 1);      // latitude heads a group of two: 7 and 8
    Obs(8, 31, 1, 1);
    Obs(9, 1, 5, 6);       // a range on the pipe bundle: positioning anyway
    Obs(10, 62, 5, 6);     // sidescan on the pipe bundle: a bundle observation
    Obs(INT32_MAX, 37, 5, 1);  // an offset heading a group of three at the largest id
    CAdjDefList templates;
    CAdjustDef* templ = templates.AddTail(std::make_unique<CAdjustDef>(5, "T"));
    templ->AddObservation(m_obs.FindById(4), nullptr);
    templ->GetEntry(4)->weight = 4.0f;
    // Used before the build: an ROV depth of a used system stays in use, a heave does not.
    m_setup.UseObservation(Obs(11, 51, 3, 3));
    m_setup.UseObservation(Obs(12, 48, 3, 3));
    m_setup.BuildFromObservations(&templates);
    EXPECT_EQ(State(11), ADJ_ENTRY_USED);
    EXPECT_EQ(State(12), ADJ_ENTRY_EXCLUDED);
    const uint32_t expected[] = {2, 2, 99, 2, 2, 2, 2, 2, 2, 2};
    for (int32_t id = 1; id <= 10; ++id) EXPECT_EQ(State(id), expected[id - 1]) << id;
    EXPECT_EQ(State(INT32_MAX), ADJ_ENTRY_EXCLUDED);
    EXPECT_EQ(m_setup.GetEntry(4)->weight, 4.0f);
    EXPECT_EQ(m_setup.GetEntry(5)->weight, 1.0f);
    EXPECT_EQ(m_setup.GetEntry(4)->obs, m_obs.FindById(4));
}

TEST_F(AdjustSelectionTest, ExcludingASystemOrAnObject) {
    sObsDef* range = Obs(1, 20, 1, 1);
    sObsDef* height = Obs(2, 32, 1, 3);
    sObsDef* computed = Obs(3, 30, 4, 1);
    sObsDef* usbl = Obs(4, 43, 2, 1, 3);
    for (sObsDef* o : {range, height, computed, usbl}) m_setup.UseObservation(o);
    EXPECT_EQ(m_setup.m_Def.contentFlags & ADJ_CONTENT_GPS, ADJ_CONTENT_GPS);
    m_setup.ExcludeSystem(m_systems.FindById(4));  // computed: nothing
    EXPECT_EQ(State(3), ADJ_ENTRY_USED);
    m_setup.ExcludeSystem(m_systems.FindById(1));
    EXPECT_EQ(State(1), ADJ_ENTRY_EXCLUDED);
    EXPECT_EQ(State(2), ADJ_ENTRY_EXCLUDED);
    EXPECT_EQ(m_setup.m_Def.contentFlags & ADJ_CONTENT_GPS, 0u);

    for (sObsDef* o : {range, height, computed, usbl}) m_setup.UseObservation(o);
    m_setup.ExcludeObject(m_objects.FindById(2));
    // The height on object 2 goes with its whole system; the USBL whose second node is there alone.
    const uint32_t afterObject2[] = {2, 2, 0, 2};
    for (int32_t id = 1; id <= 4; ++id) EXPECT_EQ(State(id), afterObject2[id - 1]) << id;
    for (sObsDef* o : {range, height, computed, usbl}) m_setup.UseObservation(o);
    m_setup.ExcludeObject(m_objects.FindById(1));
    const uint32_t afterObject1[] = {2, 2, 2, 2};
    for (int32_t id = 1; id <= 4; ++id) EXPECT_EQ(State(id), afterObject1[id - 1]) << id;
}

TEST_F(AdjustSelectionTest, QueriesOverNodesObjectsAndSystems) {
    sObsDef* range = Obs(1, 20, 1, 1);
    sObsDef* offset = Obs(2, 37, 5, 2);
    sObsDef* toFixed = Obs(3, 1, 5, 5, 3);
    sObsDef* sidescan = Obs(4, 62, 5, 6);
    sObsDef* aiding = Obs(5, 71, 3, 4);
    m_setup.UseObservation(range);
    m_setup.UseObservation(offset);
    m_setup.UseObservation(toFixed);
    m_setup.UseObservation(sidescan);
    m_setup.AddObservation(aiding, nullptr);
    struct sNodeCase {
        int32_t node;
        bool offsets, positioning;
        int uses, has;
    };
    for (const sNodeCase& c : {sNodeCase{1, false, true, 1, 1}, sNodeCase{2, false, false, 0, 0},
                               sNodeCase{2, true, false, 1, 1}, sNodeCase{6, false, true, 1, 1},
                               sNodeCase{4, false, false, 0, 1}, sNodeCase{0, true, false, 0, 0}}) {
        EXPECT_EQ(m_setup.UsesNode(c.node, c.offsets, c.positioning), c.uses) << c.node;
        EXPECT_EQ(m_setup.HasNode(c.node, c.offsets), c.has) << c.node;
    }
    m_setup.SetLists(nullptr, &m_systems, &m_obs, &m_nodes, nullptr, nullptr);
    EXPECT_EQ(m_setup.UsesNode(6, false, true), 0);  // without the object list no bundle is known
    Link(m_setup);
    // Object 2 only through the fixed node's range to node 3, a variable node.
    EXPECT_EQ(m_setup.UsesObject(2, &m_nodes, false), 1);
    EXPECT_EQ(m_setup.UsesObject(3, &m_nodes, false), 0);
    m_nodes.FindById(5)->objectId = 3;  // a fixed node observes its object from outside
    EXPECT_EQ(m_setup.UsesObject(3, &m_nodes, false), 0);
    m_nodes.FindById(5)->objectId = -1;
    EXPECT_EQ(m_setup.HasObject(3, &m_nodes), 1);
    EXPECT_EQ(m_setup.UsesObjectOfNode(3, &m_objects, &m_nodes, true), 1);
    EXPECT_EQ(m_setup.HasObjectOfNode(4, &m_objects, &m_nodes), 1);
    EXPECT_EQ(m_setup.UsesSystem(1, 1, true), 1);
    EXPECT_EQ(m_setup.UsesSystem(1, 2, true), 0);
    EXPECT_EQ(m_setup.UsesSystemInState(m_systems.FindById(3), false, ADJ_ENTRY_EXCLUDED), 1);
    EXPECT_EQ(m_setup.HasSystemOnObject(3, 3), 1);
    EXPECT_EQ(m_setup.HasObservationOfType(3, 71), 1);
    EXPECT_EQ(m_setup.UsesObservationOfType(3, 71), 0);
    EXPECT_EQ(m_setup.UsesGpsOnObject(1), 1);
    EXPECT_EQ(m_setup.UsesGpsOnObject(2), 0);
    EXPECT_EQ(m_setup.HasFixedNodeOrHeight(&m_nodes), 1);
    EXPECT_EQ(m_setup.HasHeightAiding(true), 0);
    EXPECT_EQ(m_setup.GetHeightMode(1), 0);
    EXPECT_EQ(m_setup.GetHeightMode(3), -1);
    m_setup.UseObservation(aiding);
    EXPECT_EQ(m_setup.HasHeightAiding(true), 1);
    EXPECT_EQ(m_setup.HasHeightAiding(false), 0);
    EXPECT_EQ(m_setup.GetHeightMode(3), 1);
    EXPECT_EQ(m_setup.FindVariableNode(&m_nodes), m_nodes.FindById(1));
    const sObsDef other = MakeObsDef(9, 20, 1, 1, 0, 0);
    EXPECT_EQ(m_setup.FindListedObservation({&other, offset}), offset);
    EXPECT_EQ(m_setup.FindListedObservation({&other}), nullptr);
    EXPECT_THROW(m_setup.RemoveEntryAt(9), CInvalidArgException);
    EXPECT_EQ(m_setup.RemoveEntry(2), 1);
    EXPECT_EQ(m_setup.RemoveEntry(2), 0);
    // A USBL observation places its beacon (the second node), not its transceiver.
    m_setup.UseObservation(Obs(6, 43, 2, 3, 4));
    EXPECT_EQ(m_setup.UsesGpsOnObject(3), 1);
    EXPECT_EQ(m_setup.UsesGpsOnObject(2), 0);
}

TEST_F(AdjustSelectionTest, ContentFlagsOfVesselHeightsAndHeightAiding) {
    m_setup.UseObservation(Obs(1, 20, 1, 3));  // a range on the ROV
    m_setup.UpdateContentFlags(&m_nodes, &m_objects);
    EXPECT_EQ(m_setup.m_Def.contentFlags, ADJ_CONTENT_GPS);
    m_setup.UseObservation(Obs(2, 32, 3, 4));  // a height on the towed object
    m_setup.UseObservation(Obs(3, 72, 3, 3));
    m_setup.UpdateContentFlags(&m_nodes, &m_objects);
    EXPECT_EQ(m_setup.m_Def.contentFlags, ADJ_CONTENT_GPS | ADJ_CONTENT_VESSEL_HEIGHT | ADJ_CONTENT_HEIGHT_AIDING);
    m_setup.ExcludeObservation(m_obs.FindById(2));
    m_setup.ExcludeObservation(m_obs.FindById(3));
    m_setup.UpdateContentFlags(&m_nodes, nullptr);  // nothing without the object list
    EXPECT_EQ(m_setup.m_Def.contentFlags & ADJ_CONTENT_HEIGHT_AIDING, ADJ_CONTENT_HEIGHT_AIDING);
    m_setup.UpdateContentFlags(&m_nodes, &m_objects);
    EXPECT_EQ(m_setup.m_Def.contentFlags, ADJ_CONTENT_GPS);
}

TEST_F(AdjustSelectionTest, FilterDefinitionsFollowTheObjectsOfTheSetup) {
    m_setup.m_Def.minInterval = 8.0f;
    m_setup.UseObservation(Obs(1, 20, 1, 1));
    m_setup.AddObservation(Obs(2, 20, 1, 3), nullptr);
    sFiltDef stale;
    InitFiltDef(&stale);
    stale.setupId = 1;
    stale.objectId = 3;
    m_filters.Add(stale);
    m_setup.SyncFilterDefs(&m_filters, &m_objects, &m_nodes);
    ASSERT_EQ(m_filters.GetCount(), 2);
    const sFiltDef* on1 = m_filters.FindByKeys(1, 1);
    ASSERT_NE(on1, nullptr);
    EXPECT_EQ(on1->filterInterval, 8.0);  // raised to the set-up's minimum
    EXPECT_NE(m_filters.FindByKeys(1, 2), nullptr);  // an entry there, though not used
    EXPECT_EQ(m_filters.FindByKeys(1, 3), nullptr);

    // AdjustFilterInterval raises the first interval, then the second to six times it.
    struct sCase {
        double first, second, seconds, expectedFirst, expectedSecond;
    };
    for (const sCase& c : {sCase{2.0, 4.0, 5.0, 5.0, 30.0}, sCase{2.0, 40.0, 5.0, 5.0, 40.0},
                           sCase{9.0, 4.0, 5.0, 9.0, 54.0}, sCase{2.0, 4.0, 0.0, 8.0, 48.0}}) {
        sFiltDef f;
        InitFiltDef(&f);
        f.filterInterval = c.first;
        f.secondInterval = c.second;
        m_setup.AdjustFilterInterval(&f, c.seconds);
        EXPECT_EQ(f.filterInterval, c.expectedFirst) << c.first << " " << c.seconds;
        EXPECT_EQ(f.secondInterval, c.expectedSecond) << c.first << " " << c.seconds;
    }

    EXPECT_EQ(m_setup.GetFilterInterval(&m_filters, &m_objects, &m_nodes), 5.0);
    m_filters.FindByKeys(1, 1)->filterInterval = 3.0;
    EXPECT_EQ(m_setup.GetFilterInterval(&m_filters, &m_objects, &m_nodes), 3.0);
    EXPECT_EQ(m_setup.GetFilterInterval(nullptr, &m_objects, &m_nodes), 5.0);
    m_setup.m_Def.secondInterval = 12.0f;
    EXPECT_EQ(m_setup.GetFilterInterval(&m_filters, &m_objects, &m_nodes), 12.0);

    CAdjustDef copy(2, "Copy");
    Link(copy);
    copy.AddObservation(m_obs.FindById(1), nullptr);
    m_filters.FindByKeys(1, 1)->count44 = 77;
    copy.SyncFilterDefsFrom(m_setup, &m_filters, &m_objects, &m_nodes);
    ASSERT_NE(m_filters.FindByKeys(2, 1), nullptr);
    EXPECT_EQ(m_filters.FindByKeys(2, 1)->count44, 77);

    CAdjustDef unnumbered(0, "New");  // no id yet: nothing it could not find again
    unnumbered.AddObservation(m_obs.FindById(1), nullptr);
    const int count = m_filters.GetCount();
    unnumbered.SyncFilterDefs(&m_filters, &m_objects, &m_nodes);
    unnumbered.SyncFilterDefsFrom(m_setup, &m_filters, &m_objects, &m_nodes);
    EXPECT_EQ(m_filters.GetCount(), count);
}

TEST_F(AdjustSelectionTest, MinimumUpdateIntervals) {
    sObsDef* range = Obs(1, 20, 1, 1);
    sObsDef* tide = Obs(2, 59, 5, 1);
    sObsDef* slow = Obs(3, 20, 1, 1);
    slow->interval = 30.0f;
    for (sObsDef* o : {range, tide, slow}) m_setup.UseObservation(o);
    m_setup.GetEntry(1)->ageLimit = 2.0f;
    sFiltDef f;
    InitFiltDef(&f);
    f.setupId = 1;
    f.objectId = 1;
    f.filterInterval = 1.0;
    f.secondInterval = 100.0;
    m_filters.Add(f);
    m_setup.SetMinUpdateInterval(4.0f);
    EXPECT_EQ(m_setup.GetEntry(1)->interval, 1.0f);
    EXPECT_EQ(m_filters.FindByKeys(1, 1)->filterInterval, 1.0);
    m_setup.SetMinUpdateInterval(10.0f);
    EXPECT_EQ(m_setup.GetEntry(1)->interval, 10.0f);
    EXPECT_EQ(m_setup.GetEntry(1)->ageLimit, 10.0f);
    EXPECT_EQ(m_setup.GetEntry(2)->interval, 1.0f);   // a tide is no positioning observation
    EXPECT_EQ(m_setup.GetEntry(3)->interval, 30.0f);  // not raised down
    EXPECT_EQ(m_setup.m_Def.minInterval, 0.0f);
    EXPECT_EQ(m_filters.FindByKeys(1, 1)->filterInterval, 10.0);

    // Raised through the observations that the used object's record names.
    sObsDef* named = Obs(4, 11, 5, 1);
    sObsDef* tideSource = Obs(5, 59, 5, 2);
    m_setup.AddObservation(named, nullptr);
    m_setup.AddObservation(tideSource, nullptr);
    CAdjustDef other(2, "Other");
    Link(other);
    other.AddObservation(named, nullptr);
    other.AddObservation(tideSource, nullptr);
    m_objects.FindById(1)->settings2[3] = 4;
    auto source = std::make_unique<Vok::Tides::CTideSourceObservation>();
    source->set_observation_id(5);
    m_tides.get_sources().add(std::move(source));
    CAdjDefList setups;
    setups.AddTail(std::make_unique<CAdjustDef>(other));
    m_setup.ApplyIntervalToObjects(&setups, 4.0f);  // below 5 s: nothing
    EXPECT_EQ(setups.GetAt(0)->GetEntry(4)->interval, 1.0f);
    m_setup.ApplyIntervalToObjects(&setups, 20.0f);
    EXPECT_EQ(setups.GetAt(0)->GetEntry(4)->interval, 20.0f);
    EXPECT_EQ(setups.GetAt(0)->GetEntry(5)->interval, 20.0f);
    EXPECT_EQ(m_setup.GetEntry(4)->interval, 1.0f);
    m_setup.ApplyIntervalToSystem(m_systems.FindById(1), 25.0f);
    EXPECT_EQ(m_setup.GetEntry(4)->interval, 25.0f);
    EXPECT_EQ(m_setup.GetEntry(5)->interval, 25.0f);  // the tide source's too

    // Taken into use after the minimum was raised: the age limit follows the interval.
    sObsDef* late = Obs(6, 20, 1, 1);
    m_setup.AddObservation(late, nullptr);
    m_setup.GetEntry(6)->ageLimit = 3.0f;
    m_setup.m_Def.minInterval = 8.0f;
    m_setup.UseObservation(late);
    EXPECT_EQ(m_setup.GetEntry(6)->interval, 8.0f);
    EXPECT_EQ(m_setup.GetEntry(6)->ageLimit, 8.0f);
}

TEST_F(AdjustSelectionTest, ListQueriesSkipTheExcludedSetupAndHigherLevels) {
    sObsDef* range = Obs(1, 20, 1, 1);
    sObsDef* aiding = Obs(2, 40, 1, 1);
    CAdjDefList list;
    CAdjustDef* a = list.AddTail(std::make_unique<CAdjustDef>(1, "A"));
    CAdjustDef* b = list.AddTail(std::make_unique<CAdjustDef>(2, "B"));
    Link(*a);
    Link(*b);
    a->m_Def.level = 0;
    b->m_Def.level = 2;
    a->UseObservation(range);
    b->UseObservation(aiding);
    struct sCase {
        int32_t excluded, level;
        int mode;
        bool used;
    };
    for (const sCase& c : {sCase{-1, -1, 1, true}, sCase{2, -1, 0, true}, sCase{-1, 1, 0, true},
                           sCase{1, -1, 1, false}, sCase{1, 1, -1, false}}) {
        EXPECT_EQ(list.GetHeightModeOfSystem(1, c.excluded, c.level), c.mode) << c.excluded << " " << c.level;
        EXPECT_EQ(list.IsObservationUsed(range, c.excluded, c.level), c.used) << c.excluded << " " << c.level;
    }
    EXPECT_EQ(list.GetHeightModeOfSystem(0, -1, -1), -1);
    EXPECT_TRUE(list.HasHeightAidingOfSystem(1, -1, -1));
    EXPECT_TRUE(list.HasHeightSourceOfSystem(1, 1, -1));  // b's height aiding is a height source too
    EXPECT_FALSE(list.IsObservationExcluded(range, -1, -1));
    EXPECT_TRUE(list.HasObservation(aiding, -1, -1));
    EXPECT_EQ(list.FindByObservation(2, 0), b->GetEntry(2));
    EXPECT_EQ(list.FindByObservation(2, 1), nullptr);
    EXPECT_EQ(list.FindSetupEntry(range, 0), nullptr);  // no set-up of rank 0 within level 0 yet
    a->m_Def.priority = 0;
    EXPECT_EQ(list.FindSetupEntry(range, 0), a->GetEntry(1));
    EXPECT_EQ(list.FindSetupEntry(2, 2), b->GetEntry(2));

    list.SelectHeightSource(1, 0);
    EXPECT_EQ(b->GetEntry(2)->state, ADJ_ENTRY_EXCLUDED);
    sObsDef* offset = Obs(3, 38, 5, 2);
    list.UseObjectOffsets(&m_objects, &m_obs, &m_nodes);
    EXPECT_EQ(a->IsObservationUsed(offset), 1);
    EXPECT_EQ(b->HasObservation(offset), 0);  // b uses no object any more
    list.SyncFilterDefs(&m_filters, &m_objects, &m_nodes);
    EXPECT_NE(m_filters.FindByKeys(1, 1), nullptr);
    EXPECT_NE(m_filters.FindByKeys(2, 1), nullptr);  // b still has entries there
}

TEST_F(AdjustSelectionTest, PrioritiesByObjectAndTheMainSetup) {
    sObsDef* range = Obs(1, 20, 1, 1);  // on object 1, display order 0
    sObsDef* rov = Obs(2, 20, 1, 3);    // on object 2, display order 1
    CAdjDefList list;
    CAdjustDef* a = list.AddTail(std::make_unique<CAdjustDef>(1, "A"));
    CAdjustDef* b = list.AddTail(std::make_unique<CAdjustDef>(2, "B"));
    CAdjustDef* c = list.AddTail(std::make_unique<CAdjustDef>(3, "C"));
    for (CAdjustDef* s : {a, b, c}) Link(*s);
    b->UseObservation(range);
    c->UseObservation(range);
    c->UseObservation(rov);
    m_objects.FindById(1)->setting252 = 42;
    int32_t setupId = 0, value = 0;
    EXPECT_TRUE(list.FindMainSetup(&m_objects, &m_nodes, setupId, value));
    EXPECT_EQ(setupId, 2);  // the first of the smallest priority, -1
    EXPECT_EQ(value, 42);
    list.AssignPrioritiesByObject(&m_objects, &m_obs, &m_nodes);
    EXPECT_EQ(b->m_Def.priority, 0);
    EXPECT_EQ(c->m_Def.priority, 2);  // objects 1 and 2: the last rank
    EXPECT_EQ(c->m_Def.level, 0);
    EXPECT_EQ(a->m_Def.priority, -3);  // given a rank outside the list
    EXPECT_EQ(list.m_Version, 6u);
    EXPECT_TRUE(list.FindMainSetup(&m_objects, &m_nodes, setupId, value));
    EXPECT_EQ(setupId, 2);
    m_objects.FindById(1)->displayOrder = 3;
    EXPECT_FALSE(list.FindMainSetup(&m_objects, &m_nodes, setupId, value));
    EXPECT_EQ(setupId, -1);
    EXPECT_EQ(value, -1);
}

}  // namespace
