#include "definitions/lists/definition_tree.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "definitions/project/definition_groupings.h"
#include "definitions/header/hdr_list.h"
#include "definitions/lists/node_def_list.h"
#include "definitions/lists/obs_def_list.h"
#include "definitions/lists/sys_def_list.h"
#include "host/definition_samples.h"

namespace {

using Vok::Test::MakeNodeDef;
using Vok::Test::MakeObsDef;
using Vok::Test::MakeSysDef;

// One inserted item as the tests compare it: parent's text, text, image, selected image, data.
struct sItem {
    std::string parent;
    std::string text;
    int image;
    int selected;
    const void* data;
    bool operator==(const sItem&) const = default;
};

void Collect(const CTreeCtrl& tree, HTREEITEM parent, std::vector<sItem>& items) {
    for (HTREEITEM item : tree.GetChildren(parent)) {
        int image = 0, selected = 0;
        tree.GetItemImage(item, image, selected);
        items.push_back({parent == TVI_ROOT ? "" : tree.GetItemText(parent).Str(), tree.GetItemText(item).Str(), image,
                         selected, reinterpret_cast<const void*>(tree.GetItemData(item))});
        Collect(tree, item, items);
    }
}

std::vector<sItem> Items(const CTreeCtrl& tree) {
    std::vector<sItem> items;
    Collect(tree, TVI_ROOT, items);
    return items;
}

std::ostream& operator<<(std::ostream& os, const sItem& i) {
    return os << "{" << i.parent << ", " << i.text << ", " << i.image << ", " << i.selected << "}";
}

struct DefinitionTree : ::testing::Test {
    DefinitionTree() {
        systems.Add(MakeSysDef(5, 12, 0, 0, 0));    // with observations
        systems.Add(MakeSysDef(6, 18, 0, 0, 0));    // time synchronisation: never shown
        systems.Add(MakeSysDef(7, 16, 0, 0, 0));    // offset system
        systems.Add(MakeSysDef(8, 1, 0, 0, 0));     // without observations
        observations.Add(MakeObsDef(1, 30, 5, 1, 0, 0));
        observations.Add(MakeObsDef(2, 11, 5, 2, 0, 0));
        observations.Add(MakeObsDef(3, 110, 6, 1, 0, 0));
        observations.Add(MakeObsDef(4, 61, 7, 3, 0, 0));
    }
    const void* Obs(int index) const { return observations.GetAt(index); }
    const void* Sys(int index) const { return systems.GetAt(index); }

    CSysDefList systems;
    CObsDefList observations;
    CTreeCtrl tree;
};

TEST_F(DefinitionTree, SystemsWithTheirObservations) {
    FillDefinitionTree(0, TVI_ROOT, &tree, &observations, nullptr, &systems, 0);
    const std::vector<sItem> expected = {
        {"", "System 5", 52, 52, Sys(0)},
        {"System 5", "Obs 1", 100, 100, Obs(0)},
        {"System 5", "Obs 2", 96, 96, Obs(1)},
        {"", "System 7", 56, 56, Sys(2)},
        {"System 7", "Obs 4", 123, 123, Obs(3)},
    };
    EXPECT_EQ(Items(tree), expected);
    EXPECT_EQ(tree.GetCount(), 5);

    CTreeCtrl skipping;
    FillDefinitionTree(0, TVI_ROOT, &skipping, &observations, nullptr, &systems, 1);
    EXPECT_EQ(Items(skipping), std::vector<sItem>(expected.begin(), expected.begin() + 3));
}

TEST_F(DefinitionTree, ObservationsOnlyAndOtherModes) {
    HTREEITEM top = tree.InsertItem("Top", 0, 0);
    FillDefinitionTree(1, top, &tree, &observations, nullptr, nullptr, 0);
    const std::vector<sItem> expected = {
        {"", "Top", 0, 0, nullptr},
        {"Top", "Obs 1", 100, 100, Obs(0)},
        {"Top", "Obs 2", 96, 96, Obs(1)},
        {"Top", "Obs 3", 166, 166, Obs(2)},
        {"Top", "Obs 4", 123, 123, Obs(3)},
    };
    EXPECT_EQ(Items(tree), expected);
    CTreeCtrl other;
    FillDefinitionTree(2, TVI_ROOT, &other, &observations, nullptr, &systems, 0);
    EXPECT_EQ(other.GetCount(), 0);
}

TEST_F(DefinitionTree, ListFills) {
    CNodeDefList nodes;
    nodes.Add(MakeNodeDef(1, 11, 1, 2, 0.0, 0.0, 0.0));
    nodes.Add(MakeNodeDef(2, 12, 1, 4, 1.0, 0.0, 0.0));
    nodes.Add(MakeNodeDef(3, 13, 2, 5, 0.0, 0.0, 0.0));
    nodes.Add(MakeNodeDef(4, 14, 1, 9, 0.0, 2.0, 0.0));
    EXPECT_EQ(nodes.FillTreeForObject(&tree, TVI_ROOT, 1, 10), 3);
    const std::vector<sItem> expected = {
        {"", "Node 1", 11, 11, nodes.GetAt(0)},
        {"", "Node 2", 12, 12, nodes.GetAt(1)},
        {"", "Node 4", 10, 10, nodes.GetAt(3)},
    };
    EXPECT_EQ(Items(tree), expected);

    CTreeCtrl obsTree;
    EXPECT_EQ(observations.FillTreeForSystem(&obsTree, TVI_ROOT, 5, 0), 2);
    EXPECT_EQ(observations.FillTreeForNode(&obsTree, TVI_ROOT, 1, 0), 2);
    EXPECT_EQ(observations.FillTreeForSystemWithNodes(&obsTree, TVI_ROOT, 5, 0, &nodes), 2);
    CNodeDefList firstOnly;
    firstOnly.Add(*nodes.GetAt(0));
    EXPECT_EQ(observations.FillTreeForSystemWithNodes(&obsTree, TVI_ROOT, 5, 0, &firstOnly), 1);
    const std::vector<sItem> obsItems = Items(obsTree);
    ASSERT_EQ(obsItems.size(), 7u);
    EXPECT_EQ(obsItems[2], (sItem{"", "Obs 1", 12, 12, Obs(0)}));
    EXPECT_EQ(obsItems[3], (sItem{"", "Obs 3", 78, 78, Obs(2)}));
    EXPECT_EQ(obsItems[6], (sItem{"", "Obs 1", 12, 12, Obs(0)}));
    EXPECT_EQ(observations.FillTreeForSystem(nullptr, TVI_ROOT, 5, 0), 0);

    EXPECT_EQ(nodes.IsZeroOffsetNodeId(1), 1);
    EXPECT_EQ(nodes.IsZeroOffsetNodeId(2), 0);
    EXPECT_EQ(nodes.IsZeroOffsetNodeId(9), 0);
    EXPECT_EQ(nodes.FindZeroOffsetNodeOfObject(2), nodes.GetAt(2));
    EXPECT_EQ(nodes.FindZeroOffsetNodeOfObject(3), nullptr);
}

TEST(DefinitionTreeItems, ImagesByType) {
    CTreeCtrl tree;
    sObjDef obj{};
    obj.objectId = 1;
    obj.objType = 10;
    std::strcpy(obj.name, "Ship");
    HTREEITEM item = InsertObjDefTreeItem(&tree, TVI_ROOT, &obj, 100);
    int image = 0, selected = 0;
    tree.GetItemImage(item, image, selected);
    EXPECT_EQ(image, 107);
    EXPECT_EQ(selected, 107);
    EXPECT_STREQ(tree.GetItemText(item), "Ship");
    EXPECT_EQ(tree.GetItemData(item), reinterpret_cast<DWORD_PTR>(&obj));
    const uint32_t types[] = {0, 1, 2, 3, 4, 5, 6};
    const int offsets[] = {0, 3, 1, 2, 2, 4, 0};
    for (size_t i = 0; i < std::size(types); ++i) {
        sNodeDef node{};
        node.nodeType = types[i];
        tree.GetItemImage(InsertNodeDefTreeItem(&tree, TVI_ROOT, &node, 20), image, selected);
        EXPECT_EQ(image, 20 + offsets[i]) << types[i];
    }
    EXPECT_EQ(InsertSysDefTreeItem(&tree, TVI_ROOT, nullptr, 0), nullptr);
    EXPECT_EQ(InsertObsDefTreeItem(nullptr, TVI_ROOT, nullptr, 0), nullptr);
}

TEST(DefinitionGroupings, Groups) {
    CHdrList headers;
    const uint8_t* a = headers.AddRecord(13, 72, nullptr, -1);
    const uint8_t* b = headers.AddRecord(65, 104, nullptr, -1);
    const uint8_t* c = headers.AddRecord(13, 72, nullptr, -1);
    const uint8_t* d = headers.AddRecord(206, 88, nullptr, -1);
    const auto all = GroupHdrEntriesByRecordId(&headers);
    const std::map<int32_t, std::vector<const uint8_t*>> expectedAll = {{13, {a, c}}, {65, {b}}, {206, {d}}};
    EXPECT_EQ(all, expectedAll);
    const auto geodetic = GroupGeodeticHdrEntriesByRecordId(&headers);
    const std::map<int32_t, std::vector<const uint8_t*>> expectedGeodetic = {{13, {a, c}}, {206, {d}}};
    EXPECT_EQ(geodetic, expectedGeodetic);
    EXPECT_TRUE(GroupHdrEntriesByRecordId(nullptr).empty());
}

TEST(DefinitionGroupings, GnssPositionSystems) {
    CSysDefList systems;
    systems.Add(MakeSysDef(5, 12, 1, 2, 3));
    CHdrList headers;
    auto add = [&](uint32_t size, std::initializer_list<int32_t> keys, uint32_t object, uint32_t kind) {
        uint8_t* p = headers.AddRecord(258, size, nullptr, -1);
        int32_t words[5] = {0, 0, 0, 0, 0};
        std::copy(keys.begin(), keys.end(), words + 2);
        std::memcpy(p, words, std::min<size_t>(size, sizeof words));
        if (size >= 24) std::memcpy(p + 20, &object, 4);
        if (size >= 684) std::memcpy(p + 680, &kind, 4);
    };
    add(712, {1, 2, 3}, 44, 0);   // taken
    add(712, {1, 2, 3}, 45, 1);   // kind word set
    add(712, {9, 9, 9}, 46, 0);   // no system
    add(600, {1, 2, 3}, 47, 0);   // too short for the kind word
    add(712, {1, 2, 3}, 48, 0);
    const std::vector<std::pair<uint32_t, int32_t>> expected = {{44, 5}, {48, 5}};
    EXPECT_EQ(CollectGnssPositionSystems(&headers, &systems), expected);
    EXPECT_TRUE(CollectGnssPositionSystems(&headers, nullptr).empty());
}

TEST(DefinitionGroupings, SystemObjectAndTimeSpan) {
    CSysDefList systems;
    systems.Add(MakeSysDef(5, 12, 0, 0, 0));
    CObsDefList observations;
    observations.Add(MakeObsDef(1, 30, 4, 1, 0, 0));
    observations.Add(MakeObsDef(2, 30, 5, 9, 0, 0));   // its node is missing
    observations.Add(MakeObsDef(3, 30, 5, 2, 0, 0));
    CNodeDefList nodes;
    nodes.Add(MakeNodeDef(1, 11, 3, 2, 0.0, 0.0, 0.0));
    nodes.Add(MakeNodeDef(2, 12, 7, 2, 0.0, 0.0, 0.0));
    EXPECT_EQ(GetSysDefObjectId(systems.GetAt(0), &observations, &nodes), 7);
    sSysDef none = MakeSysDef(6, 12, 0, 0, 0);
    EXPECT_EQ(GetSysDefObjectId(&none, &observations, &nodes), 0);
    EXPECT_EQ(GetSysDefObjectId(&none, nullptr, &nodes), -1);

    const sMjdTime first{60000, 0, 100.0};
    const sMjdTime second{60001, 0, 50.0};
    struct sRow {
        sMjdTime third;
        bool expected;
    };
    const sRow rows[] = {{{60000, 0, 100.5}, true}, {{60000, 0, 100.0}, false}, {{60001, 0, 50.0}, false},
                         {{60001, 0, 49.0}, true},  {{59999, 0, 200.0}, false}, {{0, 0, 0.0}, false}};
    for (const sRow& row : rows) EXPECT_EQ(IsTimeWithinRecordSpan(first, second, row.third), row.expected) << row.third.seconds;
    EXPECT_FALSE(IsTimeWithinRecordSpan({0, 0, 1.0}, second, {60000, 0, 200.0}));
}

}  // namespace
