// The computation set-up's records, its entry list and the entry copies.
#include "definitions/lists/adjust_def.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "compat/unit_library.h"
#include "definitions/lists/obs_def_list.h"
#include "host/definition_samples.h"

namespace {

using Vok::Test::MakeNodeDef;
using Vok::Test::MakeObsDef;

std::vector<uint8_t> Bytes(const void* p, size_t n) {
    const auto* b = static_cast<const uint8_t*>(p);
    return std::vector<uint8_t>(b, b + n);
}

// Little-endian words put into an image at their offsets by hand.
void Put32(std::vector<uint8_t>& image, size_t offset, uint32_t v) {
    for (int k = 0; k < 4; ++k) image[offset + k] = static_cast<uint8_t>(v >> (8 * k));
}

TEST(AdjustDefRecords, ANamedBlockHasItsDefaultsAtTheirOffsets) {
    sAdjustDef def;
    EXPECT_EQ(def.InitNamed(7, "Main"), 7);
    std::vector<uint8_t> expected(176, 0);
    std::memcpy(expected.data(), "Main", 4);
    Put32(expected, 52, 7);
    Put32(expected, 56, 0xFFFFFFFF);  // no main system
    Put32(expected, 60, 2);           // outside the priority list
    Put32(expected, 68, 0x11);
    Put32(expected, 72, 10);
    Put32(expected, 76, 1);
    Put32(expected, 80, 0x42A00000);  // 80.0f
    Put32(expected, 84, 0x3F800000);  // 1.0f
    Put32(expected, 168, 0xFFFFFFFF); // priority -1
    expected[172] = 10;
    EXPECT_EQ(Bytes(&def, sizeof(def)), expected);
}

TEST(AdjustDefRecords, ANameIsCutToFortyNineCharacters) {
    const std::string sixty(60, 'n');
    CAdjustDef setup(3, sixty.c_str());
    EXPECT_EQ(std::string(setup.GetName()), std::string(49, 'n'));
    EXPECT_EQ(setup.m_Def.name[49], 0);
    EXPECT_EQ(setup.GetId(), 3);
}

TEST(AdjustDefRecords, ClearZeroesTheWholeBlockSoThePriorityIsZero) {
    CAdjustDef setup(4, "A");
    sObsDef obs = MakeObsDef(1, 20, 1, 1, 0, 0);
    setup.AddObservation(&obs, nullptr);
    setup.Clear();
    EXPECT_EQ(Bytes(&setup.m_Def, 176), std::vector<uint8_t>(176, 0));
    EXPECT_EQ(setup.m_Def.priority, 0);
    EXPECT_EQ(setup.GetEntryCount(), 0);
}

TEST(AdjustDefRecords, AFreshEntryImageHasItsDefaults) {
    const sAdjustEntry entry;
    std::vector<uint8_t> expected(80, 0);
    Put32(expected, 0, 2);
    Put32(expected, 4, 7);
    Put32(expected, 8, 0x3F800000);   // weight 1.0f
    Put32(expected, 12, 0x40A00000);  // 5.0f
    Put32(expected, 24, 0x20);
    Put32(expected, 76, 0xFFFFFFFF);
    EXPECT_EQ(Bytes(static_cast<const sAdjustEntryImage*>(&entry), 80), expected);
    EXPECT_EQ(entry.obs, nullptr);
}

TEST(AdjustDefRecords, ValidateFixesIntervalsLevelsAndTheReferenceNode) {
    struct sCase {
        float interval;
        float expected;
    };
    for (const sCase& c : {sCase{4.5f, 0.0f}, sCase{61.0f, 0.0f}, sCase{5.0f, 5.0f}, sCase{60.0f, 60.0f},
                           sCase{-1.0f, 0.0f}, sCase{std::nanf(""), 0.0f}}) {
        sAdjustDef def;
        def.minInterval = c.interval;
        def.secondInterval = c.interval;
        def.Validate();
        EXPECT_EQ(def.minInterval, c.expected) << c.interval;
        EXPECT_EQ(def.secondInterval, c.expected) << c.interval;
    }
    struct sLevel {
        int32_t priority, level, expectedLevel;
    };
    for (const sLevel& c : {sLevel{3, 2, 0}, sLevel{0, 1, 0}, sLevel{-1, 0, 1}, sLevel{-2, 2, 2}}) {
        sAdjustDef def;
        def.priority = c.priority;
        def.level = c.level;
        def.Validate();
        EXPECT_EQ(def.level, c.expectedLevel) << c.priority << " " << c.level;
    }
    struct sRef {
        double x;
        uint8_t kind, code, expectedCode;
    };
    for (const sRef& c : {sRef{6378137.0, 2, 25, 0}, sRef{100.0, 2, 25, 25}, sRef{6378137.0, 0, 25, 25},
                          sRef{7370999.0, 2, 7, 0}, sRef{7371000.0, 2, 7, 7}}) {
        sAdjustDef def;
        def.refNode.present = 1;
        def.refNode.nodeId = 5;
        def.refNode.x = c.x;
        def.refNode.coordKind = c.kind;
        def.refNode.positionCode = c.code;
        def.Validate();
        EXPECT_EQ(def.refNode.positionCode, c.expectedCode) << c.x;
        EXPECT_EQ(def.refNode.nodeId, 5);
    }
    sAdjustDef unset;
    unset.Validate();
    EXPECT_EQ(unset.refNode.present, 1);
    EXPECT_EQ(unset.refNode.positionCode, 25);
    EXPECT_EQ(unset.refNode.coordKind, 2);
    EXPECT_EQ(unset.refNode.nodeId, 10000);
    EXPECT_EQ(unset.refNode.objectId, -2);
}

TEST(AdjustDefRecords, AReferenceNodeTakesANodeDefinition) {
    sNodeDef node = MakeNodeDef(8, 108, 3, 2, 1.0, 2.0, 3.0);
    std::strcpy(node.name, "A node with a long name");
    node.satelliteNumber = 17;
    node.defaultsApplied = 1;
    node.unitCode = 25;
    node.coordKind = 2;
    node.reserved84 = 44;
    const sAdjustRefNode ref(&node);
    EXPECT_EQ(ref.nodeId, 8);
    EXPECT_EQ(ref.number, 108);
    EXPECT_EQ(ref.satelliteId, 17);
    EXPECT_EQ(std::string(ref.name, 20), "A node with a long n");
    EXPECT_EQ(ref.terminator, 0);
    EXPECT_EQ(ref.present, 1);
    EXPECT_EQ(ref.positionCode, 25);
    EXPECT_EQ(ref.coordKind, 2);
    EXPECT_EQ(ref.nodeType, 2);
    EXPECT_EQ(ref.objectId, 3);
    EXPECT_EQ(ref.refWord, 44);
    EXPECT_EQ(ref.z, 3.0);
    EXPECT_DOUBLE_EQ(ref.GetVectorLength(), std::sqrt(14.0));
    const sAdjustRefNode none(static_cast<const sNodeDef*>(nullptr));
    EXPECT_EQ(none.refWord, -1);
    EXPECT_EQ(none.nodeId, 0);
}

// Kind flags as AddEntry stores them, for an observation of the type.
TEST(AdjustEntryList, KindFlagsAreNormalisedWhenAdded) {
    struct sCase {
        int32_t obsType;
        uint32_t flags;
        float sigma;
        uint32_t expected;
    };
    const sCase cases[] = {
        {1, 0x00, 0.0f, 0x20},  {1, 0x30, 0.0f, 0x20},  {1, 0x31, 0.0f, 0x21},  {1, 0x13, 0.0f, 0x10},
        {1, 0x84, 0.0f, 0x84},  {30, 0x20, 0.0f, 0x21}, {69, 0x40, 0.0f, 0x41}, {30, 0x22, 0.0f, 0x22},
        {32, 0x2E, 0.0f, 0x21}, {40, 0x20, 0.0f, 0x21}, {40, 0x20, 0.5f, 0x20}, {40, 0x24, 0.5f, 0x21},
        {40, 0x22, 0.0f, 0x22}, {50, 0x20, 0.0f, 0x20}, {70, 0x20, 0.0f, 0x20},
    };
    for (const sCase& c : cases) {
        sObsDef obs = MakeObsDef(1, c.obsType, 1, 1, 0, 0);
        auto entry = std::make_unique<sAdjustEntry>(&obs, true);
        entry->kindFlags = c.flags;
        entry->sigma = c.sigma;
        CAdjustDef setup;
        ASSERT_EQ(setup.AddEntry(std::move(entry)), 1);
        EXPECT_EQ(setup.GetEntryAt(0)->kindFlags, c.expected)
            << "type " << c.obsType << " flags " << c.flags << " sigma " << c.sigma;
    }
}

TEST(AdjustEntryList, AnObservationHasOneEntryAndTheFirstStays) {
    sObsDef obs = MakeObsDef(5, 20, 1, 1, 0, 0);
    obs.sigma = 0.7f;
    obs.interval = 2.0f;
    CAdjustDef setup;
    EXPECT_EQ(setup.AddObservation(&obs, nullptr), 1);
    sAdjustEntry other(&obs, true);
    other.weight = 9.0f;
    EXPECT_EQ(setup.AddEntry(std::make_unique<sAdjustEntry>(other)), 0);
    ASSERT_EQ(setup.GetEntryCount(), 1);
    const sAdjustEntry* e = setup.GetEntry(5);
    ASSERT_NE(e, nullptr);
    EXPECT_EQ(e->weight, 1.0f);
    EXPECT_EQ(e->sigma, 0.7f);
    EXPECT_EQ(e->interval, 2.0f);
    EXPECT_EQ(e->obsId, 5u);
    EXPECT_EQ(setup.HasObservation(5), 1);
    EXPECT_EQ(setup.HasObservation(0), 0);
    EXPECT_EQ(setup.GetEntry(0), nullptr);
    sObsDef unnumbered = MakeObsDef(0, 20, 1, 1, 0, 0);  // an id below 1 has one entry too
    EXPECT_EQ(setup.AddObservation(&unnumbered, nullptr), 1);
    EXPECT_EQ(setup.AddObservation(&unnumbered, nullptr), 0);
    EXPECT_EQ(setup.GetEntryCount(), 2);
    EXPECT_EQ(CAdjustDef(setup).CompareEntries(setup), 0);
}

TEST(AdjustEntryList, ATemplateGivesItsWordsButNotItsLinksAndTheStateIsNotUsed) {
    sObsDef obs = MakeObsDef(5, 20, 1, 1, 0, 0);
    sObsDef other = MakeObsDef(9, 20, 1, 1, 0, 0);
    sAdjustEntry templ(&other, true);
    templ.state = ADJ_ENTRY_USED;
    templ.weight = 3.0f;
    templ.option60 = 12;
    CAdjustDef setup;
    ASSERT_EQ(setup.AddObservation(&obs, &templ), 1);
    const sAdjustEntry* e = setup.GetEntryAt(0);
    EXPECT_EQ(e->obs, &obs);
    EXPECT_EQ(e->obsId, 5u);
    EXPECT_EQ(e->weight, 3.0f);
    EXPECT_EQ(e->option60, 12);
    EXPECT_EQ(e->state, ADJ_ENTRY_EXCLUDED);
}

TEST(AdjustEntryList, AnAddedEntryIsRaisedToTheSetupsMinimumInterval) {
    struct sCase {
        float minimum, interval, age, expectedInterval, expectedAge;
    };
    for (const sCase& c : {sCase{10.0f, 2.0f, 3.0f, 10.0f, 10.0f}, sCase{10.0f, 2.0f, 0.0f, 10.0f, 0.0f},
                           sCase{10.0f, 0.0f, 3.0f, 0.0f, 3.0f}, sCase{10.0f, 12.0f, 3.0f, 12.0f, 3.0f},
                           sCase{-5.0f, 2.0f, 3.0f, 2.0f, 3.0f}}) {
        CAdjustDef setup;
        setup.m_Def.minInterval = c.minimum;
        sObsDef obs = MakeObsDef(1, 1, 1, 1, 0, 0);
        auto entry = std::make_unique<sAdjustEntry>(&obs, true);
        entry->interval = c.interval;
        entry->ageLimit = c.age;
        setup.AddEntry(std::move(entry));
        EXPECT_EQ(setup.GetEntryAt(0)->interval, c.expectedInterval) << c.minimum << " " << c.interval;
        EXPECT_EQ(setup.GetEntryAt(0)->ageLimit, c.expectedAge) << c.minimum << " " << c.age;
    }
}

TEST(AdjustEntryList, ContentFlagsFollowTheUsedEntries) {
    sObsDef gps = MakeObsDef(1, 21, 1, 1, 0, 0);
    sObsDef diff = MakeObsDef(2, 33, 1, 1, 0, 0);
    CAdjustDef setup;
    setup.m_Def.contentFlags = 0x30;  // bits that this recount leaves alone
    setup.AddObservation(&gps, nullptr);
    setup.AddObservation(&diff, nullptr);
    EXPECT_EQ(setup.m_Def.contentFlags, 0x30u);  // both still excluded
    setup.GetEntry(1)->state = ADJ_ENTRY_USED;
    setup.UpdateContentFlags();
    EXPECT_EQ(setup.m_Def.contentFlags, 0x31u);
    setup.GetEntry(2)->state = ADJ_ENTRY_USED;
    setup.UpdateContentFlags();
    EXPECT_EQ(setup.m_Def.contentFlags, 0x33u);
    setup.GetEntry(1)->state = ADJ_ENTRY_COMPANION;
    setup.UpdateContentFlags();
    EXPECT_EQ(setup.m_Def.contentFlags, 0x32u);
}

TEST(AdjustEntryList, UpdateIntervalsOfATypeFallBackToTheTypesDefault) {
    sObsDef a = MakeObsDef(1, 59, 1, 1, 0, 0);
    sObsDef b = MakeObsDef(2, 59, 1, 1, 0, 0);
    sObsDef c = MakeObsDef(3, 20, 1, 1, 0, 0);
    a.interval = 20.0f;
    b.interval = 8.0f;
    c.interval = 1.0f;
    CAdjustDef setup;
    setup.AddObservation(&a, nullptr);
    setup.AddObservation(&b, nullptr);
    setup.AddObservation(&c, nullptr);
    setup.GetEntry(2)->state = ADJ_ENTRY_USED;
    EXPECT_EQ(setup.GetMaxUpdateInterval(59, false, false), 20.0f);
    EXPECT_EQ(setup.GetMinUpdateInterval(59, false, false), 8.0f);
    EXPECT_EQ(setup.GetMaxUpdateInterval(59, true, true), 8.0f);
    EXPECT_EQ(setup.GetMaxUpdateInterval(78, false, false), 60.0f);  // no entry: the type's default
    EXPECT_EQ(setup.GetMaxUpdateInterval(78, true, false), 60.0f);
    EXPECT_EQ(setup.GetMinUpdateInterval(46, true, false), 1.0f);
    setup.GetEntry(1)->interval = 0.0f;
    EXPECT_EQ(setup.GetMaxUpdateInterval(59, true, false), 0.0f);
    EXPECT_EQ(setup.GetMinUpdateInterval(59, true, false), 0.0f);
    EXPECT_EQ(setup.GetMaxUpdateInterval(59, false, false), 8.0f);
    EXPECT_EQ(setup.GetMinUpdateInterval(59, false, false), 8.0f);
}

TEST(AdjustEntryList, PositionDeviationsAreConvertedToTheHeightsUnit) {
    ASSERT_EQ(SetUnit(UNIT_METERS), 1);
    CObsDefList list;
    list.Add(MakeObsDef(1, 30, 4, 1, 0, 0));
    list.Add(MakeObsDef(2, 32, 4, 1, 0, 0))->unitType = 1;  // feet
    list.Add(MakeObsDef(3, 30, 5, 1, 0, 0));
    list.Add(MakeObsDef(4, 32, 5, 1, 0, 0))->unitType = 25;  // the survey unit itself
    list.Add(MakeObsDef(5, 1, 4, 1, 0, 0));
    CAdjustDef setup;
    for (const sObsDef& o : list) setup.AddObservation(list.FindById(o.id), nullptr);
    for (const auto& e : setup.GetEntries()) e->sigma = e->sigma2 = e->sigma3 = 0.3048f;
    EXPECT_EQ(setup.ConvertSigmaUnits(nullptr), 0);  // no list of its own
    EXPECT_EQ(setup.ConvertSigmaUnits(&list), 2);    // the latitude and the height of system 4
    EXPECT_FLOAT_EQ(setup.GetEntry(1)->sigma, 1.0f);
    EXPECT_FLOAT_EQ(setup.GetEntry(1)->sigma2, 1.0f);
    EXPECT_FLOAT_EQ(setup.GetEntry(2)->sigma3, 1.0f);
    EXPECT_EQ(setup.GetEntry(3)->sigma, 0.3048f);
    EXPECT_EQ(setup.GetEntry(5)->sigma, 0.3048f);
}

TEST(AdjustEntryCopies, EachFormKeepsOrDropsTheLinksItSays) {
    sObsDef obs = MakeObsDef(5, 20, 1, 1, 2, 0);
    sObsDef ownObs = MakeObsDef(6, 20, 1, 1, 2, 0);
    sNodeDef n1 = MakeNodeDef(1, 1, 1, 4, 0, 0, 0);
    sNodeDef n2 = MakeNodeDef(2, 2, 1, 4, 0, 0, 0);
    sNodeDef n3 = MakeNodeDef(3, 3, 1, 4, 0, 0, 0);
    sAdjustEntry source;
    source.Link(&obs, &n1, &n2);
    source.weight = 2.0f;
    sAdjustEntry own;
    own.Link(&ownObs, &n3, nullptr);

    sAdjustEntry assigned = own;
    assigned.Assign(source, false);
    EXPECT_EQ(assigned.weight, 2.0f);
    EXPECT_EQ(assigned.obs, &ownObs);
    EXPECT_EQ(assigned.obsId, 6u);
    EXPECT_EQ(assigned.node, &n3);
    EXPECT_EQ(assigned.toNodeId, 0u);
    assigned.Assign(source, true);
    EXPECT_EQ(assigned.obs, &obs);
    EXPECT_EQ(assigned.toNode, &n2);

    sAdjustEntry fields = own;
    fields.CopyFields(source);
    EXPECT_EQ(fields.obs, &obs);
    EXPECT_EQ(fields.obsId, 5u);
    EXPECT_EQ(fields.node, &n3);
    EXPECT_EQ(fields.nodeId, 3u);
    EXPECT_EQ(fields.toNode, nullptr);

    sAdjustEntry unlinked;
    source.CopyToUnlinked(unlinked);
    EXPECT_EQ(unlinked.obs, &obs);
    EXPECT_EQ(unlinked.nodeId, 0u);
    EXPECT_EQ(unlinked.node, nullptr);
    EXPECT_EQ(unlinked.weight, 2.0f);

    const sAdjustEntry kept(source, true);
    EXPECT_EQ(kept.toNodeId, 2u);
    const sAdjustEntry dropped(source, false);
    EXPECT_EQ(dropped.obs, nullptr);
    EXPECT_EQ(dropped.obsId, 0u);
    EXPECT_EQ(dropped.weight, 2.0f);
    const sAdjustEntry noNodes = sAdjustEntry::WithoutNodes(source);
    EXPECT_EQ(noNodes.obs, &obs);
    EXPECT_EQ(noNodes.node, nullptr);
    EXPECT_EQ(noNodes.toNodeId, 0u);
}

TEST(AdjustEntryCopies, StateSettersReportAChange) {
    sObsDef obs = MakeObsDef(5, 20, 1, 1, 0, 0);
    sAdjustEntry unlinked;
    EXPECT_EQ(unlinked.SetUsed(), 0);  // no observation
    EXPECT_EQ(unlinked.state, ADJ_ENTRY_EXCLUDED);
    sAdjustEntry e(&obs, true);
    EXPECT_EQ(e.SetExcluded(), 0);
    EXPECT_EQ(e.SetUsed(), 1);
    EXPECT_EQ(e.SetUsed(), 0);
    EXPECT_EQ(e.SetCompanion(), 1);
    EXPECT_EQ(e.state, ADJ_ENTRY_COMPANION);
    sAdjustEntry withoutLink(&obs, false);
    EXPECT_EQ(withoutLink.obs, nullptr);
    EXPECT_EQ(withoutLink.obsId, 0u);
}

TEST(AdjustEntryCopies, AnAssignedSetupHasTheEntriesButNoLists) {
    CObsDefList list;
    sObsDef* obs = list.Add(MakeObsDef(1, 20, 1, 1, 0, 0));
    CAdjustDef setup(2, "B");
    setup.SetLists(nullptr, nullptr, &list, nullptr, nullptr, nullptr);
    setup.AddObservation(obs, nullptr);
    CAdjustDef copy;
    copy = setup;
    EXPECT_EQ(copy.m_observations, nullptr);
    EXPECT_EQ(copy.GetId(), 2);
    ASSERT_EQ(copy.GetEntryCount(), 1);
    EXPECT_EQ(copy.GetEntryAt(0)->obs, obs);
    EXPECT_NE(copy.GetEntryAt(0), setup.GetEntryAt(0));
    copy = copy;
    EXPECT_EQ(copy.GetEntryCount(), 1);
}

}  // namespace
