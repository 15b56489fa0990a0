// The list of computation set-ups: look-ups, priorities, intervals, the shared reference position,
// choices, the fixed-node set-up, its images in a real shared buffer and in a file, and the look-up
// of a node's result through the set-ups.
#include "definitions/lists/adj_def_list.h"

#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "definitions/lists/node_def_list.h"
#include "definitions/lists/obs_def_list.h"
#include "definitions/lists/obs_type_properties.h"
#include "platform/ipc_buffer_handle.h"
#include "tests/support/adjust_samples.h"
#include "host/definition_samples.h"
#include "tests/support/file_helpers.h"
#include "tests/support/ipc_test_folder.h"
#include "tests/support/peer_process.h"

namespace {

using Vok::Test::MakeNodeDef;
using Vok::Test::MakeObsDef;

// A set-up appended to the list with its id, priority and level.
CAdjustDef* AddSetup(CAdjDefList& list, int32_t id, int32_t priority, int32_t level, const char* name = nullptr) {
    const std::string text = name != nullptr ? name : "Setup " + std::to_string(id);
    CAdjustDef* s = list.AddTail(std::make_unique<CAdjustDef>(id, text.c_str()));
    s->m_Def.priority = priority;
    s->m_Def.level = level;
    return s;
}

// Little-endian fields appended by hand, as the file image lays them out.
struct Image {
    std::vector<uint8_t> bytes;
    Image& u8(uint8_t v) {
        bytes.push_back(v);
        return *this;
    }
    Image& u32(uint32_t v) {
        for (int k = 0; k < 4; ++k) bytes.push_back(static_cast<uint8_t>(v >> (8 * k)));
        return *this;
    }
    Image& i32(int32_t v) { return u32(static_cast<uint32_t>(v)); }
    Image& f32(float v) {
        uint32_t bits;
        std::memcpy(&bits, &v, 4);
        return u32(bits);
    }
    Image& f64(double v) {
        uint64_t bits;
        std::memcpy(&bits, &v, 8);
        return u32(static_cast<uint32_t>(bits)).u32(static_cast<uint32_t>(bits >> 32));
    }
    Image& zeros(size_t n) {
        bytes.insert(bytes.end(), n, 0);
        return *this;
    }
    // A settings block of `size` bytes (168 or 176): name, id, intervals, the reference node's
    // id and position, the priority.
    Image& block(const char* name, int32_t id, float interval, int32_t refNodeId, double x, uint8_t kind,
                 uint8_t code, int32_t priority, size_t size = 176) {
        const size_t start = bytes.size();
        zeros(size);
        std::memcpy(&bytes[start], name, std::strlen(name));
        Put(start + 52, id);
        Put(start + 56, -1);
        Put(start + 60, 0);
        std::memcpy(&bytes[start + 88], &interval, 4);
        Put(start + 96, refNodeId);
        bytes[start + 96 + 33] = 1;
        bytes[start + 96 + 34] = code;
        bytes[start + 96 + 35] = kind;
        std::memcpy(&bytes[start + 96 + 48], &x, 8);
        if (size > 168) Put(start + 168, priority);
        return *this;
    }
    void Put(size_t offset, int32_t v) {
        for (int k = 0; k < 4; ++k) bytes[offset + k] = static_cast<uint8_t>(static_cast<uint32_t>(v) >> (8 * k));
    }
};

class AdjDefListFileTest : public ::testing::Test {
protected:
    void Write(const Image& image) {
        CFile file;
        ASSERT_TRUE(file.Open(Path().c_str(), CFile::modeCreate | CFile::modeReadWrite));
        file.Write(image.bytes.data(), static_cast<UINT>(image.bytes.size()));
    }
    std::vector<uint8_t> ReadAll() {
        const auto text = Vok::Test::ReadTextFile(Path());
        return text ? std::vector<uint8_t>(text->begin(), text->end()) : std::vector<uint8_t>();
    }
    int Read(CAdjDefList& list, bool hasVersion) {
        CFile file;
        EXPECT_TRUE(file.Open(Path().c_str(), CFile::modeRead));
        return list.ReadFromFile(file, &m_nodes, &m_obs, hasVersion);
    }
    std::string Path() const { return m_folder / "setups.bin"; }
    void SetUp() override {
        m_obs.Add(MakeObsDef(4, 20, 1, 1, 0, 0))->interval = 1.0f;
        m_obs.Add(MakeObsDef(6, 59, 1, 2, 3, 0))->interval = 60.0f;
        m_nodes.Add(MakeNodeDef(1, 11, 1, 4, 0, 0, 0));
        m_nodes.Add(MakeNodeDef(2, 12, 1, 4, 0, 0, 0));
        m_nodes.Add(MakeNodeDef(3, 13, 2, 2, 0, 0, 0));
    }
    Vok::Test::CTempFolder m_folder;
    CObsDefList m_obs;
    CNodeDefList m_nodes;
};

TEST(AdjDefListLookups, IdsPositionsAndNames) {
    CAdjDefList list;
    EXPECT_EQ(list.GetFreeId(), 1);
    EXPECT_EQ(list.GetIndexById(1), -1);
    AddSetup(list, 1, 0, 0);
    AddSetup(list, 2, 1, 0, "Second");
    AddSetup(list, 4, -2, 1);
    EXPECT_EQ(list.GetFreeId(), 3);
    EXPECT_EQ(list.GetIndexById(0), -1);
    EXPECT_EQ(list.GetIndexById(1), 0);
    EXPECT_EQ(list.GetIndexById(4), 2);
    EXPECT_EQ(list.GetIndexById(3), -1);
    EXPECT_EQ(list.GetAt(-1), nullptr);
    EXPECT_EQ(list.GetAt(3), nullptr);
    EXPECT_EQ(list.GetAt(1)->GetId(), 2);
    EXPECT_EQ(std::string(list.GetNameById(2)), "Second");
    EXPECT_EQ(std::string(list.GetNameById(9)), "");
    EXPECT_EQ(list.FindById(-1), nullptr);
    EXPECT_EQ(list.CountUpToLevel(0), 2);
    EXPECT_EQ(list.CountUpToLevel(1), 3);
}

TEST(AdjDefListLookups, PriorityRanksWithinALevel) {
    CAdjDefList list;
    EXPECT_EQ(list.GetMaxPriority(0), -1);
    AddSetup(list, 1, 2, 1);
    AddSetup(list, 2, -2, 0);
    AddSetup(list, 3, 0, 0);
    AddSetup(list, 4, 5, 2);
    EXPECT_EQ(list.FindByPriority(2, 0)->GetId(), 2);  // priority -2 at level 0; priority 2 at level 1 is not
    EXPECT_EQ(list.FindByPriority(2, 1)->GetId(), 1);
    EXPECT_EQ(list.GetIdByPriority(5, 1), -1);
    EXPECT_EQ(list.GetIdByPriority(5, 2), 4);
    EXPECT_EQ(std::string(list.GetNameByPriority(0, 0)), "Setup 3");
    EXPECT_EQ(std::string(list.GetNameByPriority(7, 2)), "");
    EXPECT_EQ(list.GetMaxPriority(0), 2);
    EXPECT_EQ(list.GetMaxPriority(2), 5);
    list.GetAt(1)->m_Def.contentFlags = ADJ_CONTENT_HEIGHT_AIDING;
    list.GetAt(3)->m_Def.contentFlags = ADJ_CONTENT_VESSEL_HEIGHT;
    EXPECT_TRUE(list.HasHeightAidingContent(0));
    EXPECT_FALSE(list.HasContentFlag(1));
    EXPECT_TRUE(list.HasContentFlag(2));
}

TEST(AdjDefListLookups, TheExtremeStoredPrioritiesHaveRanksToo) {
    CAdjDefList list;
    AddSetup(list, 1, INT32_MIN, 0);
    AddSetup(list, 2, -1, 1);
    EXPECT_EQ(list.GetAt(0)->GetPriorityRank(), INT32_MAX);
    EXPECT_EQ(list.FindByPriority(INT32_MAX, 0), list.GetAt(0));
    EXPECT_EQ(list.GetMaxPriority(0), INT32_MAX);
    EXPECT_EQ(list.NormalisePriorities(), INT32_MAX);  // no rank beyond the largest
    EXPECT_EQ(list.GetAt(1)->m_Def.priority, -INT32_MAX);
}

TEST(AdjDefListPriorities, NormaliseGivesRanksToSetupsOutsideTheList) {
    struct sCase {
        const char* what;
        std::vector<std::pair<int32_t, int32_t>> before;  // priority, level
        uint32_t version;
        int32_t result;
        std::vector<std::pair<int32_t, int32_t>> after;
    };
    const sCase cases[] = {
        {"no ranks: the first becomes rank 0", {{-1, 2}, {-1, 1}, {-1, 2}}, 0, 2, {{0, 0}, {-1, 1}, {-2, 2}}},
        {"levels 1 then 2", {{0, 0}, {-1, 2}, {-5, 1}, {3, 1}}, 0, 2, {{0, 0}, {-2, 2}, {-1, 1}, {3, 1}}},
        {"complete and recent", {{0, 0}, {1, 0}}, 5, 1, {{0, 0}, {1, 0}}},
        {"recent but incomplete", {{0, 0}, {-1, 1}}, 5, 1, {{0, 0}, {-1, 1}}},
    };
    for (const sCase& c : cases) {
        SCOPED_TRACE(c.what);
        CAdjDefList list;
        int32_t id = 1;
        for (const auto& [priority, level] : c.before) AddSetup(list, id++, priority, level);
        list.m_Version = c.version;
        EXPECT_EQ(list.NormalisePriorities(), c.result);
        for (size_t i = 0; i < c.after.size(); ++i) {
            EXPECT_EQ(list.GetAt(static_cast<int>(i))->m_Def.priority, c.after[i].first) << i;
            EXPECT_EQ(list.GetAt(static_cast<int>(i))->m_Def.level, c.after[i].second) << i;
        }
        EXPECT_GE(list.m_Version, 5u);
    }
    CAdjDefList empty;
    EXPECT_EQ(empty.NormalisePriorities(), -1);
}

TEST(AdjDefListPriorities, RenumberMakesRanksConsecutiveAndKeepsEverySetup) {
    struct sCase {
        const char* what;
        std::vector<std::pair<int32_t, int32_t>> before;
        int32_t result;
        std::vector<std::pair<int32_t, int32_t>> after;
    };
    const sCase cases[] = {
        {"gaps closed", {{4, 0}, {0, 0}, {-7, 1}}, 2, {{1, 0}, {0, 0}, {-2, 1}}},
        // A later set-up of a rank already taken comes after the earlier one instead of replacing it.
        {"same rank twice", {{1, 0}, {1, 0}, {0, 0}}, 2, {{1, 0}, {2, 0}, {0, 0}}},
        {"level 1 at rank 0 joins the list", {{-1, 1}, {-3, 2}}, 1, {{0, 0}, {-1, 2}}},
        {"rank beyond the count", {{9, 0}, {-1, 2}}, 1, {{0, 0}, {-1, 2}}},
    };
    for (const sCase& c : cases) {
        SCOPED_TRACE(c.what);
        CAdjDefList list;
        int32_t id = 1;
        for (const auto& [priority, level] : c.before) AddSetup(list, id++, priority, level);
        std::vector<CAdjustDef*> work;
        EXPECT_EQ(list.RenumberPriorities(work), c.result);
        for (size_t i = 0; i < c.after.size(); ++i) {
            EXPECT_EQ(list.GetAt(static_cast<int>(i))->m_Def.priority, c.after[i].first) << i;
            EXPECT_EQ(list.GetAt(static_cast<int>(i))->m_Def.level, c.after[i].second) << i;
        }
        ASSERT_EQ(work.size(), c.before.size());
        for (size_t rank = 0; rank < work.size(); ++rank) {
            ASSERT_NE(work[rank], nullptr) << rank;
            EXPECT_EQ(work[rank]->GetPriorityRank(), static_cast<int32_t>(rank));
        }
    }
    CAdjDefList empty;
    std::vector<CAdjustDef*> work;
    EXPECT_EQ(empty.RenumberPriorities(work), -1);
}

TEST(AdjDefListIntervals, LargestIntervalOverAllSetups) {
    CObsDefList obs;
    sObsDef* tide1 = obs.Add(MakeObsDef(1, 59, 1, 1, 0, 0));
    sObsDef* tide2 = obs.Add(MakeObsDef(2, 59, 1, 1, 0, 0));
    tide1->interval = 30.0f;
    tide2->interval = 10.0f;
    CAdjDefList list;
    EXPECT_EQ(list.GetMaxUpdateInterval(59, true, false), 60.0f);  // no set-ups: the tide default
    EXPECT_EQ(list.GetMinUpdateInterval(59, true, false), 60.0f);
    AddSetup(list, 1, 0, 0)->AddObservation(tide1, nullptr);
    AddSetup(list, 2, 1, 0)->AddObservation(tide2, nullptr);
    AddSetup(list, 3, 2, 0);  // no tide: the type's default, 60
    EXPECT_EQ(list.GetMaxUpdateInterval(59, true, false), 60.0f);
    EXPECT_EQ(list.GetMinUpdateInterval(59, true, false), 10.0f);
    EXPECT_EQ(list.GetMaxUpdateInterval(20, false, false), 5.0f);
    list.GetAt(1)->GetEntry(2)->interval = 0.0f;
    EXPECT_EQ(list.GetMaxUpdateInterval(59, true, false), 0.0f);
    EXPECT_EQ(list.GetMinUpdateInterval(59, true, false), 0.0f);
    EXPECT_EQ(list.GetMaxUpdateInterval(59, false, false), 60.0f);
    EXPECT_EQ(list.GetMinUpdateInterval(59, false, false), 30.0f);
}

TEST(AdjDefListIntervals, SettingAnObservationsInterval) {
    CObsDefList obs;
    sObsDef* a = obs.Add(MakeObsDef(1, 20, 1, 1, 0, 0));
    sObsDef* b = obs.Add(MakeObsDef(2, 20, 1, 1, 0, 0));
    CAdjDefList list;
    CAdjustDef* s1 = AddSetup(list, 1, 0, 0);
    CAdjustDef* s2 = AddSetup(list, 2, 1, 0);
    s1->AddObservation(a, nullptr);
    s2->AddObservation(a, nullptr);
    s2->AddObservation(b, nullptr);
    s1->m_Def.minInterval = 10.0f;
    list.SetUpdateInterval(1, 7.0f, 3);
    EXPECT_EQ(s1->GetEntry(1)->interval, 7.0f);
    EXPECT_EQ(s2->GetEntry(1)->ageLimit, 21.0f);
    EXPECT_EQ(s1->m_Def.minInterval, 7.0f);
    EXPECT_EQ(s2->m_Def.minInterval, 0.0f);  // no minimum to lower
    list.SetUpdateInterval(1, 2.0f, 1);
    EXPECT_EQ(s1->m_Def.minInterval, 7.0f);  // 2 s is no valid minimum
    s2->GetEntry(2)->ageLimit = 0.0f;
    list.SetUpdateIntervalOfType(20, &obs, 9.0f);
    EXPECT_EQ(s2->GetEntry(1)->interval, 9.0f);
    EXPECT_EQ(s2->GetEntry(1)->ageLimit, 9.0f);
    EXPECT_EQ(s2->GetEntry(2)->interval, 9.0f);
    EXPECT_EQ(s2->GetEntry(2)->ageLimit, 0.0f);
}

TEST(AdjDefListWhole, CopyAndCompare) {
    CObsDefList obs;
    sObsDef* a = obs.Add(MakeObsDef(1, 20, 1, 1, 0, 0));
    sObsDef* b = obs.Add(MakeObsDef(2, 20, 1, 1, 0, 0));
    CAdjDefList list;
    AddSetup(list, 1, 0, 0)->AddObservation(a, nullptr);
    AddSetup(list, 2, 1, 0)->AddObservation(b, nullptr);
    list.m_Version = 6;
    CAdjDefList copy;
    copy.Copy(list);
    EXPECT_EQ(copy.m_Version, 6u);
    EXPECT_EQ(copy.Compare(list), 0);
    EXPECT_EQ(copy.GetAt(0)->GetEntryAt(0)->obs, a);
    copy.Copy(copy);
    EXPECT_EQ(copy.GetCount(), 2);

    struct sCase {
        const char* what;
        void (*change)(CAdjustDef&, sObsDef*);
        int expected;
    };
    const sCase cases[] = {
        {"an entry more", [](CAdjustDef& s, sObsDef* o) { s.AddObservation(o, nullptr); }, 999},
        {"an entry fewer", [](CAdjustDef& s, sObsDef*) { s.RemoveAllEntries(); }, 999},
        {"a name", [](CAdjustDef& s, sObsDef*) { SetFieldText(s.m_Def.name, "Setup 0"); }, 1},
        {"a minimum interval", [](CAdjustDef& s, sObsDef*) { s.m_Def.minInterval = 5.0f; }, 999},
        {"the word at 172", [](CAdjustDef& s, sObsDef*) { s.m_Def.option172 = 1; }, 999},
        {"the word at 172 in its high byte", [](CAdjustDef& s, sObsDef*) { s.m_Def.pad173[2] = 1; }, 999},
        {"the reference node's name", [](CAdjustDef& s, sObsDef*) { SetFieldText(s.m_Def.refNode.name, "A"); }, -1},
        {"the reference node's Z", [](CAdjustDef& s, sObsDef*) { s.m_Def.refNode.z = 1.0; }, 888},
        {"the reference node's type, which takes no part",
         [](CAdjustDef& s, sObsDef*) { s.m_Def.refNode.nodeType = 2; }, 0},
        {"the reference word, which takes no part", [](CAdjustDef& s, sObsDef*) { s.m_Def.refNode.refWord = 3; }, 0},
    };
    for (const sCase& c : cases) {
        CAdjDefList changed;
        changed.Copy(list);
        c.change(*changed.GetAt(0), b);
        const int result = list.Compare(changed);
        if (c.expected == 1 || c.expected == -1)  // a text comparison: its sign
            EXPECT_EQ(result > 0 ? 1 : result < 0 ? -1 : 0, c.expected) << c.what;
        else
            EXPECT_EQ(result, c.expected) << c.what;
    }
    CAdjDefList shorter;
    shorter.Copy(list);
    AddSetup(shorter, 3, 2, 0);
    EXPECT_EQ(list.Compare(shorter), -1);
}

TEST(AdjDefListWhole, UnlinkedEntriesAreResolvedAgainAndUnknownOnesDropped) {
    CObsDefList obs;
    CNodeDefList nodes;
    nodes.Add(MakeNodeDef(1, 11, 1, 4, 0, 0, 0));
    nodes.Add(MakeNodeDef(2, 12, 1, 4, 0, 0, 0));
    sObsDef* a = obs.Add(MakeObsDef(1, 21, 1, 1, 2, 0));
    sObsDef* b = obs.Add(MakeObsDef(2, 20, 1, 1, 0, 0));
    CAdjDefList list;
    CAdjustDef* s = AddSetup(list, 1, 0, 0);
    auto entry = std::make_unique<sAdjustEntry>();
    entry->Link(a, nodes.FindById(1), nodes.FindById(2));
    entry->state = ADJ_ENTRY_USED;
    s->AddEntry(std::move(entry));
    s->AddObservation(b, nullptr);
    EXPECT_EQ(s->m_Def.contentFlags & ADJ_CONTENT_GPS, ADJ_CONTENT_GPS);
    EXPECT_EQ(list.UnlinkEntries(nullptr, &obs), 0);
    ASSERT_EQ(list.UnlinkEntries(&nodes, &obs), 1);
    EXPECT_EQ(s->GetEntryAt(0)->obs, nullptr);
    EXPECT_EQ(s->GetEntryAt(0)->obsId, 1u);
    EXPECT_EQ(s->GetEntryAt(0)->toNodeId, 2u);
    EXPECT_EQ(list.UnlinkEntries(&nodes, &obs), 1);  // twice keeps the ids
    EXPECT_EQ(s->GetEntryAt(0)->obsId, 1u);

    CObsDefList newer;
    newer.Add(*a);  // observation 2 is gone
    ASSERT_EQ(list.ResolveIds(&nodes, &newer), 1);
    ASSERT_EQ(s->GetEntryCount(), 1);
    EXPECT_EQ(s->GetEntryAt(0)->obs, newer.FindById(1));
    EXPECT_EQ(s->GetEntryAt(0)->toNode, nodes.FindById(2));
    EXPECT_EQ(s->m_Def.contentFlags & ADJ_CONTENT_GPS, ADJ_CONTENT_GPS);

    CObsDefList newest;
    newest.Add(*a)->toNodeId = 0;
    ASSERT_EQ(list.Relink(&nodes, &newest), 1);
    EXPECT_EQ(s->GetEntryAt(0)->obs, newest.FindById(1));
    EXPECT_EQ(s->GetEntryAt(0)->toNode, nullptr);  // the nodes follow the observation
    CObsDefList none;
    list.Relink(&nodes, &none);
    EXPECT_EQ(s->GetEntryCount(), 0);
    EXPECT_EQ(s->m_Def.contentFlags & ADJ_CONTENT_GPS, 0u);
}

TEST(AdjDefListReference, OnePositionForAllSetups) {
    CAdjDefList list;
    EXPECT_EQ(list.SetReference(1.0, 2.0, 3.0, 4, 0, 0), 0);
    double lat = 9.0, lon = 9.0;
    list.GetReferenceLatLon(lat, lon, true);
    EXPECT_EQ(lat, 0.0);
    EXPECT_EQ(lon, 0.0);
    AddSetup(list, 1, 0, 0);
    AddSetup(list, 2, 1, 0);
    EXPECT_EQ(list.SetReference(52.5, 4.25, 10.0, 7, 0, 25), 1);
    for (const CAdjustDef& s : list) {
        EXPECT_EQ(s.m_Def.refNode.y, 4.25);
        EXPECT_EQ(s.m_Def.refNode.refWord, 7);
        EXPECT_EQ(s.m_Def.refNode.present, 1);
        EXPECT_EQ(s.m_Def.refNode.positionCode, 25);
    }
    list.GetReferenceLatLon(lat, lon, false);
    EXPECT_EQ(lat, 52.5);
    EXPECT_EQ(lon, 4.25);
    list.GetReferenceLatLon(lat, lon, true);
    EXPECT_DOUBLE_EQ(lat, 52.5 * M_PI / 180.0);

    // ECEF: Z equal to the flattened planar distance lies at 45 degrees; Y alone at 90 degrees east.
    list.SetReference(0.0, 2.0, 2.0 * 0.99330562000986, -1, 2, 0);
    list.GetReferenceLatLon(lat, lon, false);
    EXPECT_NEAR(lat, 45.0, 1e-9);
    EXPECT_NEAR(lon, 90.0, 1e-9);
    list.GetReferenceLatLon(lat, lon, true);
    EXPECT_NEAR(lat, M_PI / 4.0, 1e-12);
    list.SetReference(1.0, 1.0, 0.0, -1, 9, 0);  // another kind
    list.GetReferenceLatLon(lat, lon, false);
    EXPECT_EQ(lat, 0.0);
    EXPECT_EQ(lon, 0.0);

    // The first set-up with a planar position gives it to all.
    list.GetAt(0)->m_Def.refNode.x = list.GetAt(0)->m_Def.refNode.y = 0.0;
    list.GetAt(1)->m_Def.refNode = sAdjustRefNode();
    list.GetAt(1)->m_Def.refNode.x = 100.0;
    list.GetAt(1)->m_Def.refNode.refWord = 5;
    EXPECT_EQ(list.SetReferenceFrom(nullptr), 1);
    double x, y, z;
    int32_t word;
    uint8_t kind, code;
    list.GetReference(x, y, z, word, kind, code);
    EXPECT_EQ(x, 100.0);
    EXPECT_EQ(word, 5);
    EXPECT_EQ(kind, 2);   // the defaults given on the way
    EXPECT_EQ(code, 25);
    EXPECT_EQ(list.GetAt(0)->m_Def.refNode.x, 100.0);
}

TEST(AdjDefListChoices, TextsAndItemsOfTheDialogs) {
    CAdjDefList list;
    CComboBox box;
    box.AddString("old");
    EXPECT_EQ(list.FillComboBox(&box, 0, true), 0);  // no priority choice without set-ups
    CAdjustDef* a = AddSetup(list, 3, 0, 0, "Alpha");
    CAdjustDef* b = AddSetup(list, 5, 1, 0, "Beta");
    CStringArray names;
    CDWordArray ids;
    list.GetChoiceList(names, ids);
    ASSERT_EQ(names.GetSize(), 3);
    EXPECT_EQ(std::string(names[0]), "Priority (Computation Setup)");
    EXPECT_EQ(ids[0], static_cast<DWORD>(-1));
    EXPECT_EQ(std::string(names[2]), "Beta");
    EXPECT_EQ(ids[2], 5u);

    EXPECT_EQ(list.FillComboBox(&box, 0, true), 3);
    EXPECT_EQ(std::string(box.GetItemText(0)), "From Priority List");
    EXPECT_EQ(box.GetItemData(0), 0u);
    EXPECT_EQ(box.GetCurSel(), 0);
    EXPECT_EQ(box.GetItemData(1), reinterpret_cast<DWORD_PTR>(a));
    EXPECT_EQ(list.FillComboBox(&box, 5, false), 2);
    EXPECT_EQ(box.GetCurSel(), 1);
    EXPECT_EQ(box.GetItemData(1), reinterpret_cast<DWORD_PTR>(b));

    CTreeCtrl tree;
    HTREEITEM root = tree.InsertItem("Setups", 0, 0);
    HTREEITEM item = CAdjDefList::InsertAdjustDefTreeItem(&tree, root, b, 7);
    ASSERT_NE(item, nullptr);
    EXPECT_EQ(std::string(tree.GetItemText(item)), "Beta");
    int image = 0, selected = 0;
    tree.GetItemImage(item, image, selected);
    EXPECT_EQ(image, 7);
    EXPECT_EQ(selected, 7);
    EXPECT_EQ(tree.GetItemData(item), reinterpret_cast<DWORD_PTR>(b));
    EXPECT_EQ(tree.GetParentItem(item), root);
    EXPECT_EQ(CAdjDefList::InsertAdjustDefTreeItem(&tree, root, nullptr, 7), nullptr);

    CObsDefList obs;
    sObsDef* o1 = obs.Add(MakeObsDef(1, 20, 8, 1, 0, 0));
    sObsDef* o2 = obs.Add(MakeObsDef(2, 20, 9, 1, 0, 0));
    a->AddObservation(o1, nullptr);
    b->AddObservation(o1, nullptr);
    b->AddObservation(o2, nullptr);
    HTREEITEM system = tree.InsertItem("System 8", 0, 0);
    EXPECT_EQ(list.InsertObservationTreeItems(&tree, system, 8, 88), 2);  // once per set-up
    const auto children = tree.GetChildren(system);
    ASSERT_EQ(children.size(), 2u);
    EXPECT_EQ(std::string(tree.GetItemText(children[1])), "Obs 1");
    EXPECT_EQ(tree.GetItemData(children[1]), reinterpret_cast<DWORD_PTR>(o1));
}

TEST(AdjDefListFixedNodes, OneSetupAtTheHeadWithObservationsOfFreshIds) {
    CNodeDefList nodes;
    nodes.Add(MakeNodeDef(1, 11, 1, 4, 0, 0, 0));
    nodes.Add(MakeNodeDef(2, 12, 0, 2, 0, 0, 0));
    nodes.Add(MakeNodeDef(3, 13, 0, 2, 0, 0, 0));
    CObsDefList obs;
    obs.Add(MakeObsDef(2, 20, 1, 1, 0, 0));
    obs.Add(MakeObsDef(3, 20, 1, 1, 0, 0));  // ids 2 and 3 are the fixed nodes' ids too
    CAdjDefList list;
    AddSetup(list, 1, 0, 0);
    EXPECT_EQ(list.AddFixedNodeSetup(nullptr, &obs), 0);
    ASSERT_EQ(list.AddFixedNodeSetup(&nodes, &obs), 1);
    ASSERT_EQ(list.GetCount(), 2);
    const CAdjustDef* fixed = list.GetAt(0);
    EXPECT_EQ(fixed->GetId(), -1);
    EXPECT_EQ(std::string(fixed->GetName()), "[Fixed Nodes]");
    ASSERT_EQ(fixed->GetEntryCount(), 2);
    ASSERT_EQ(obs.GetCount(), 4);
    const struct {
        int32_t obsId, nodeId;
    } expected[] = {{4, 2}, {5, 3}};
    for (int i = 0; i < 2; ++i) {
        const sAdjustEntry* e = fixed->GetEntryAt(i);
        EXPECT_EQ(e->obs, obs.FindById(expected[i].obsId));
        EXPECT_EQ(e->obs->nodeId, expected[i].nodeId);
        EXPECT_EQ(e->obs->obsType, 0);
        EXPECT_EQ(e->node, nodes.FindById(expected[i].nodeId));
        EXPECT_EQ(e->toNode, nullptr);
        EXPECT_EQ(e->state, ADJ_ENTRY_USED);
        EXPECT_EQ(e->optionFlags, 0u);
        EXPECT_EQ(e->weight, 0.0f);
        EXPECT_EQ(e->kindFlags, 0x20u);
        EXPECT_EQ(e->refWord, 0);
    }
    EXPECT_EQ(obs.FindById(2)->obsType, 20);  // the real observations are still found by their ids

    CNodeDefList noFixed;
    noFixed.Add(MakeNodeDef(1, 11, 1, 4, 0, 0, 0));
    CAdjDefList other;
    EXPECT_EQ(other.AddFixedNodeSetup(&noFixed, &obs), 1);
    EXPECT_EQ(other.GetCount(), 0);
    EXPECT_EQ(obs.GetCount(), 4);

    // With the largest id in use, the smallest ids not in use.
    obs.Add(MakeObsDef(INT32_MAX, 20, 1, 1, 0, 0));
    ASSERT_EQ(other.AddFixedNodeSetup(&nodes, &obs), 1);
    EXPECT_EQ(other.GetAt(0)->GetEntryAt(0)->GetObsId(), 1);
    EXPECT_EQ(other.GetAt(0)->GetEntryAt(1)->GetObsId(), 6);
}

TEST_F(AdjDefListFileTest, AVersionSixImageIsWrittenAsLaidOutAndReadBack) {
    CAdjDefList list;
    CAdjustDef* s = AddSetup(list, 2, 0, 0, "Main");
    auto entry = std::make_unique<sAdjustEntry>(m_obs.FindById(6), true);
    entry->Link(m_obs.FindById(6), m_nodes.FindById(2), m_nodes.FindById(3));
    entry->state = ADJ_ENTRY_USED;
    s->AddEntry(std::move(entry));
    AddSetup(list, 3, -1, 1, "Spare");
    for (CAdjustDef& setup : list) setup.m_Def.Validate();  // as a reader leaves the blocks
    {
        CFile file;
        ASSERT_TRUE(file.Open(Path().c_str(), CFile::modeCreate | CFile::modeReadWrite));
        list.WriteToFile(file);
    }
    std::vector<uint8_t> def(176);
    std::memcpy(def.data(), &s->m_Def, 176);
    Image expected;
    expected.u8(6).i32(2);
    expected.bytes.insert(expected.bytes.end(), def.begin(), def.end());
    expected.i32(1);
    // The entry: state 0, flags 7, weight 1, 5.0, zeros, kind 0x20, deviation 0, observation 6,
    // no nodes, interval 60, then zeros and the reference word -1.
    expected.u32(0).u32(7).f32(1.0f).f32(5.0f).zeros(8).u32(0x20).f32(0.0f).u32(6).u32(0).u32(0).f32(60.0f);
    expected.zeros(28).i32(-1);
    std::vector<uint8_t> spare(176);
    std::memcpy(spare.data(), &list.GetAt(1)->m_Def, 176);
    expected.bytes.insert(expected.bytes.end(), spare.begin(), spare.end());
    expected.i32(0);
    EXPECT_EQ(ReadAll(), expected.bytes);

    CAdjDefList back;
    EXPECT_EQ(Read(back, true), 1);
    EXPECT_EQ(back.m_Version, 6u);
    ASSERT_EQ(back.GetCount(), 2);
    EXPECT_EQ(back.Compare(list), 0);
    const sAdjustEntry* e = back.GetAt(0)->GetEntryAt(0);
    EXPECT_EQ(e->obs, m_obs.FindById(6));
    EXPECT_EQ(e->node, m_nodes.FindById(2));  // from the observation's nodes
    EXPECT_EQ(e->toNode, m_nodes.FindById(3));
}

TEST_F(AdjDefListFileTest, VersionOneBlocksEntriesAndFixUps) {
    Image image;
    image.u8(1).i32(2);
    image.block("Old", 1, 4.5f, 0, 6378137.0, 2, 25, 3, 168);
    image.i32(2);
    // Entries of 48 bytes: flags words at 4, 12, 20; weight at 8; option at 16; interval in whole
    // seconds at 24; deviation at 32; observation id at 36.
    image.u32(9).u32(1).f32(2.0f).u32(0).f32(3.0f).u32(1).u32(12).u32(0).f32(0.25f).u32(4).zeros(8);
    image.u32(9).u32(0).f32(1.0f).u32(1).f32(5.0f).u32(0).u32(0).u32(0).f32(0.5f).u32(99).zeros(8);
    image.block("Second", 2, 61.0f, 5, 100.0, 2, 25, 0, 168);
    image.i32(0);
    Write(image);
    CAdjDefList list;
    ASSERT_EQ(Read(list, true), 1);
    EXPECT_EQ(list.m_Version, 6u);  // converted on the way
    ASSERT_EQ(list.GetCount(), 2);
    const CAdjustDef& first = *list.GetAt(0);
    const CAdjustDef& second = *list.GetAt(1);
    // Read as priority -1 at level 1, then the first of a list without ranks becomes rank 0.
    EXPECT_EQ(first.m_Def.priority, 0);
    EXPECT_EQ(first.m_Def.level, 0);
    EXPECT_EQ(second.m_Def.priority, -1);
    EXPECT_EQ(second.m_Def.level, 1);
    EXPECT_EQ(first.m_Def.minInterval, 0.0f);
    EXPECT_EQ(second.m_Def.minInterval, 0.0f);
    EXPECT_EQ(first.m_Def.refNode.nodeId, 10000);
    EXPECT_EQ(first.m_Def.refNode.objectId, -2);
    EXPECT_EQ(first.m_Def.refNode.positionCode, 0);   // on the earth's sphere
    EXPECT_EQ(second.m_Def.refNode.positionCode, 25);
    EXPECT_EQ(second.m_Def.refNode.nodeId, 5);
    EXPECT_EQ(first.m_Def.contentFlags, ADJ_CONTENT_GPS);
    ASSERT_EQ(first.GetEntryCount(), 1);  // observation 99 is unknown
    const sAdjustEntry* e = first.GetEntryAt(0);
    EXPECT_EQ(e->state, ADJ_ENTRY_USED);
    EXPECT_EQ(e->optionFlags, 0x3u);
    EXPECT_EQ(e->weight, 2.0f);
    EXPECT_EQ(e->option12, 3.0f);
    EXPECT_EQ(e->kindFlags, 0x20u);
    EXPECT_EQ(e->sigma, 0.25f);
    EXPECT_EQ(e->interval, 12.0f);
    EXPECT_EQ(e->ageLimit, static_cast<float>(GetObsTypeDefaultMaxExtrapolation()));
}

TEST_F(AdjDefListFileTest, VersionZeroDropsItsExtraBytesAndVersionThreeEntriesAreConverted) {
    Image zero;
    zero.i32(1).block("V0", 1, 10.0f, 3, 0.0, 0, 0, 0, 168).zeros(148).i32(0);
    Write(zero);
    CAdjDefList list0;
    ASSERT_EQ(Read(list0, false), 1);
    ASSERT_EQ(list0.GetCount(), 1);
    EXPECT_EQ(list0.GetAt(0)->m_Def.minInterval, 10.0f);
    EXPECT_EQ(std::string(list0.GetAt(0)->GetName()), "V0");

    Image three;
    three.u8(3).i32(1).block("V3", 1, 0.0f, 3, 0.0, 0, 0, 0).i32(1);
    // Flags words at 4, 12, 20 and bytes 56 and 68; weight 8; option 16; kind 24; deviation 28;
    // observation 32; interval 52 (0: the type's default); third deviation 64; values 72, 76.
    std::vector<uint8_t> r(80, 0);
    const auto put = [&r](size_t at, const void* v) { std::memcpy(&r[at], v, 4); };
    const uint32_t one = 1, kind = 0x40, obsId = 4;
    const float weight = 2.0f, option = 4.0f, sigma = 0.5f, zeroInterval = 0.0f, third = 0.75f, v72 = 3.9f,
                v76 = -1e30f;  // beyond the integer range
    put(4, &one);
    put(8, &weight);
    put(16, &option);
    put(24, &kind);
    put(28, &sigma);
    put(32, &obsId);
    put(52, &zeroInterval);
    r[56] = 1;
    put(64, &third);
    r[68] = 0;
    put(72, &v72);
    put(76, &v76);
    three.bytes.insert(three.bytes.end(), r.begin(), r.end());
    Write(three);
    CAdjDefList list3;
    ASSERT_EQ(Read(list3, true), 1);
    ASSERT_EQ(list3.GetCount(), 1);
    ASSERT_EQ(list3.GetAt(0)->GetEntryCount(), 1);
    const sAdjustEntry* e = list3.GetAt(0)->GetEntryAt(0);
    EXPECT_EQ(e->state, ADJ_ENTRY_USED);
    EXPECT_EQ(e->optionFlags, 0x11u);
    EXPECT_EQ(e->weight, 2.0f);
    EXPECT_EQ(e->option12, 4.0f);
    EXPECT_EQ(e->kindFlags, 0x40u);
    EXPECT_EQ(e->sigma, 0.5f);
    EXPECT_EQ(e->interval, 5.0f);  // the default of a pseudo-range
    const auto extrapolation = static_cast<float>(GetObsTypeDefaultMaxExtrapolation());
    EXPECT_EQ(e->ageLimit, extrapolation != 0.0f ? 5.0f : extrapolation);
    EXPECT_EQ(e->sigma3, 0.75f);
    EXPECT_EQ(e->option60, 3);
    EXPECT_EQ(e->option64, INT32_MIN);
}

TEST_F(AdjDefListFileTest, CountsBeyondTheFileAndShortReadsFail) {
    struct sCase {
        const char* what;
        Image image;
        int expectedSetups;
    };
    Image hugeCount;
    hugeCount.u8(6).i32(1000000).block("A", 1, 0.0f, 3, 0.0, 0, 0, 0).i32(0);
    Image negative;
    negative.u8(6).i32(-1);
    Image hugeEntries;
    hugeEntries.u8(6).i32(2).block("A", 1, 0.0f, 3, 0.0, 0, 0, 0).i32(0);
    hugeEntries.block("B", 2, 0.0f, 3, 0.0, 0, 0, 0).i32(0x7FFFFFFF).zeros(80);
    Image cutEntry;
    cutEntry.u8(6).i32(2).block("A", 1, 0.0f, 3, 0.0, 0, 0, 0).i32(0);
    cutEntry.block("B", 2, 0.0f, 3, 0.0, 0, 0, 0).i32(1).zeros(40);
    Image cutBlock;
    cutBlock.u8(6).i32(1).zeros(100);
    Image empty;
    const sCase cases[] = {
        {"a count of set-ups beyond the file", hugeCount, 0},
        {"a negative count", negative, 0},
        {"a count of entries beyond the file", hugeEntries, 1},
        {"an entry cut short", cutEntry, 1},
        {"a block cut short", cutBlock, 0},
        {"no bytes at all", empty, 0},
    };
    for (const sCase& c : cases) {
        Write(c.image);
        CAdjDefList list;
        EXPECT_EQ(Read(list, true), 0) << c.what;
        EXPECT_EQ(list.GetCount(), c.expectedSetups) << c.what;
    }
}

class AdjDefListIpcTest : public Vok::Test::IpcTest {
protected:
    void SetUp() override {
        m_obs.Add(MakeObsDef(4, 20, 1, 1, 0, 0));
        m_obs.Add(MakeObsDef(6, 59, 1, 2, 3, 0));
        m_nodes.Add(MakeNodeDef(1, 11, 1, 4, 0, 0, 0));
        m_nodes.Add(MakeNodeDef(2, 12, 1, 4, 0, 0, 0));
        m_nodes.Add(MakeNodeDef(3, 13, 2, 2, 0, 0, 0));
        CAdjustDef* a = AddSetup(m_list, 1, 0, 0, "A");
        auto entry = std::make_unique<sAdjustEntry>();
        entry->Link(m_obs.FindById(6), m_nodes.FindById(2), m_nodes.FindById(3));
        entry->state = ADJ_ENTRY_USED;
        a->AddEntry(std::move(entry));
        a->AddObservation(m_obs.FindById(4), nullptr);
        AddSetup(m_list, 2, 1, 0, "B");
        AddSetup(m_list, 3, -1, 2, "C")->AddObservation(m_obs.FindById(4), nullptr);
    }
    CObsDefList m_obs;
    CNodeDefList m_nodes;
    CAdjDefList m_list;
};

TEST_F(AdjDefListIpcTest, ThreeSetupsTakeSixBlocksThatCarryIdsAndReadBack) {
    IpcBufferHandle host("ADJ", 1);
    ASSERT_TRUE(host.Lock());
    EXPECT_EQ(m_list.WriteToIpc(host), 1);
    ASSERT_EQ(host.buffer.GetBlockCount(), 6u);
    const DWORD ids[] = {16, 18, 16, 18, 16, 18};
    const DWORD counts[] = {1, 2, 1, 0, 1, 1};
    for (DWORD i = 0; i < 6; ++i) {
        EXPECT_EQ(host.buffer.GetBlockId(i), ids[i]) << i;
        EXPECT_EQ(host.buffer.GetRecordCount(i), counts[i]) << i;
        EXPECT_EQ(host.buffer.GetRecordSize(i), i % 2 == 0 ? 176u : 80u) << i;
    }
    // The link words hold the observation's and the nodes' ids, never addresses.
    uint32_t words[20];
    std::memcpy(words, host.buffer.GetConstRecord(1, 0), 80);
    EXPECT_EQ(words[8], 6u);
    EXPECT_EQ(words[9], 2u);
    EXPECT_EQ(words[10], 3u);
    std::memcpy(words, host.buffer.GetConstRecord(1, 1), 80);
    EXPECT_EQ(words[8], 4u);
    EXPECT_EQ(words[9], 0u);
    EXPECT_EQ(words[10], 0u);
    host.Unlock();

    IpcBufferHandle reader("ADJ", 0);
    ASSERT_TRUE(reader.Lock());
    CAdjDefList back;
    EXPECT_EQ(back.ReadFromIpc(reader, 1, &m_obs, &m_nodes), 1);
    EXPECT_EQ(back.m_Version, 6u);
    EXPECT_EQ(back.Compare(m_list), 0);
    EXPECT_EQ(back.GetAt(0)->GetEntryAt(0)->toNode, m_nodes.FindById(3));
    CAdjDefList fromThree;
    EXPECT_EQ(fromThree.ReadFromIpc(reader, 3, &m_obs, &m_nodes), 1);
    EXPECT_EQ(fromThree.GetCount(), 2);
    EXPECT_EQ(fromThree.GetAt(0)->GetId(), 2);
    CAdjDefList past;
    EXPECT_EQ(past.ReadFromIpc(reader, 7, &m_obs, &m_nodes), 1);
    EXPECT_EQ(past.GetCount(), 0);
    CAdjDefList noEntries;
    EXPECT_EQ(noEntries.ReadFromIpc(reader, 1, nullptr, nullptr), 1);
    EXPECT_EQ(noEntries.GetAt(0)->GetEntryCount(), 0);
    CObsDefList fewer;
    fewer.Add(*m_obs.FindById(6));
    CAdjDefList dropped;
    EXPECT_EQ(dropped.ReadFromIpc(reader, 1, &fewer, nullptr), 1);
    ASSERT_EQ(dropped.GetAt(0)->GetEntryCount(), 1);  // observation 4 is unknown
    EXPECT_EQ(dropped.GetAt(0)->GetEntryAt(0)->node, nullptr);
    reader.Unlock();
}

TEST_F(AdjDefListIpcTest, FiveBlocksReadAsTwoSetups) {
    IpcBufferHandle host("ADJ5", 1);
    ASSERT_TRUE(host.Lock());
    m_list.WriteToIpc(host);
    host.buffer.RemoveBlock(5);
    ASSERT_EQ(host.buffer.GetBlockCount(), 5u);
    host.Unlock();
    IpcBufferHandle reader("ADJ5", 0);
    ASSERT_TRUE(reader.Lock());
    CAdjDefList back;
    EXPECT_EQ(back.ReadFromIpc(reader, 1, &m_obs, &m_nodes), 1);
    EXPECT_EQ(back.GetCount(), 2);
    reader.Unlock();
}

TEST_F(AdjDefListIpcTest, BlocksThatDoNotHoldTheirRecordsStopTheRead) {
    IpcBufferHandle host("BAD", 1);
    ASSERT_TRUE(host.Lock());
    m_list.WriteToIpc(host);
    host.buffer.SetRecordCount(3, 5);  // set-up B's entry block claims records it cannot hold
    const DWORD small = host.buffer.AddBlock(16, 100, 100);  // a settings block of another size
    host.buffer.SetRecordCount(small, 1);
    host.buffer.AddBlock(18, 0, 80);
    host.Unlock();
    IpcBufferHandle reader("BAD", 0);
    ASSERT_TRUE(reader.Lock());
    CAdjDefList back;
    EXPECT_EQ(back.ReadFromIpc(reader, 1, &m_obs, &m_nodes), 0);
    EXPECT_EQ(back.GetCount(), 1);  // the whole set-up before
    CAdjDefList last;
    EXPECT_EQ(last.ReadFromIpc(reader, 7, &m_obs, &m_nodes), 0);
    EXPECT_EQ(last.GetCount(), 0);
    reader.Unlock();
}

TEST_F(AdjDefListIpcTest, ANodesResultIsFoundThroughTheSetups) {
    // Set-up ranks: A 0, B 1; C is outside the priority list.
    IpcBufferHandle host("RESULTS", 1);
    ASSERT_TRUE(host.Lock());
    const auto addPair = [&](int32_t setupId, uint32_t nodeId, uint32_t status) {
        sAdjustResultHeader header{};
        header.setupId = setupId;
        const DWORD h = host.buffer.AddBlock(1, sizeof(header), sizeof(header)) + 1;
        host.WriteRecord(h, 1, &header, sizeof(header));
        const DWORD r = host.buffer.AddBlock(2, sizeof(sAdjustResult), sizeof(sAdjustResult)) + 1;
        sAdjustResult result;
        result.Init();
        result.nodeId = nodeId;
        result.status = status;
        host.WriteRecord(r, 1, &result, sizeof(result));
        host.buffer.SetRecordCount(r - 1, 1);
    };
    addPair(1, 7, 2);  // A: no data
    addPair(2, 7, 0);  // B: good
    addPair(3, 7, 0);  // C: good
    addPair(1, 8, 0);
    host.Unlock();

    IpcBufferHandle reader("RESULTS", 0);
    ASSERT_TRUE(reader.Lock());
    sAdjustResult result{};
    EXPECT_EQ(m_list.FindResultByPriority(reader, 7, nullptr, &result, 1), m_list.FindById(2));
    EXPECT_EQ(m_list.FindResultByPriority(reader, 7, nullptr, &result, 0), m_list.FindById(1));
    EXPECT_EQ(m_list.FindResultByPriority(reader, 9, nullptr, &result, 0), nullptr);
    sAdjustResult cleared;
    std::memset(&cleared, 0x11, sizeof(cleared));
    EXPECT_FALSE(m_list.FindResultByPriority(reader, 9, nullptr, cleared, 1));
    EXPECT_EQ(cleared.status, 2u);
    EXPECT_EQ(cleared.recordSize, 0u);
    EXPECT_TRUE(m_list.FindResultByPriority(reader, 8, nullptr, cleared, 1));
    EXPECT_EQ(cleared.nodeId, 8u);

    CDWordArray ids;
    for (DWORD id : {0u, 9u, 3u, 2u}) ids.Add(id);
    EXPECT_EQ(m_list.FindResultInList(reader, ids, 7, nullptr, nullptr, 1), m_list.FindById(3));
    EXPECT_EQ(m_list.FindResultBySelection(reader, -1, 7, nullptr, nullptr, 1), m_list.FindById(2));
    EXPECT_EQ(m_list.FindResultBySelection(reader, 0, 7, nullptr, nullptr, 1), nullptr);  // rank 0 only
    EXPECT_EQ(m_list.FindResultBySelection(reader, 3, 7, nullptr, nullptr, 1), m_list.FindById(3));
    EXPECT_EQ(m_list.FindResultBySelection(reader, 4, 7, nullptr, nullptr, 0), nullptr);
    reader.Unlock();
}

TEST_F(AdjDefListIpcTest, SetupsPublishedByAnotherProcessReadBackWhole) {
    using namespace Vok::Test;
    CPeerProcess host({PeerPath(VOK_BINARY_DIR, "adjust_host_peer"), "SETUPS"});
    ASSERT_TRUE(host.WaitForLine("READY published", Milliseconds(5000)));
    CObsDefList obs;
    CNodeDefList nodes;
    FillSampleObsDefs(obs);
    FillSampleNodeDefs(nodes);
    CAdjDefList expected;
    FillSampleAdjDefs(expected, obs, nodes);
    CAdjDefList back;
    {
        IpcBufferHandle reader("SETUPS", 0);
        ASSERT_TRUE(reader.Lock());
        EXPECT_EQ(back.ReadFromIpc(reader, 1, &obs, &nodes), 1);
        reader.Unlock();
    }
    host.CloseInput();
    EXPECT_EQ(host.Wait(Milliseconds(5000)), 0);
    ASSERT_EQ(back.GetCount(), 2);
    EXPECT_EQ(back.Compare(expected), 0);
    const sAdjustEntry* e = back.GetAt(0)->GetEntryAt(0);
    EXPECT_EQ(e->obs, obs.FindById(1));
    EXPECT_EQ(e->toNode, nodes.FindById(2));
    EXPECT_EQ(e->weight, 2.5f);
    EXPECT_EQ(back.GetAt(0)->m_Def.refNode.nodeId, 1);
}

}  // namespace
