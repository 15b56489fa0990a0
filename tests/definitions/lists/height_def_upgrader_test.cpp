// Legacy height definitions turned into tide strategies and sources: one upgrader per load, records
// in file order.
#include "definitions/lists/height_def_upgrader.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "definitions/lists/adj_def_list.h"
#include "definitions/lists/adjust_def.h"
#include "definitions/records/definition_types.h"
#include "definitions/lists/node_def_list.h"
#include "definitions/lists/obs_def_list.h"
#include "definitions/tide/tide_settings.h"
#include "host/definition_samples.h"

namespace {

using namespace Vok::Tides;
using Vok::Test::MakeNodeDef;
using Vok::Test::MakeObsDef;

// One set-up that observes the tide observation with the interval.
void AddTideSetUp(CAdjDefList& setUps, sObsDef* tide, float interval) {
    tide->interval = interval;
    auto setUp = std::make_unique<CAdjustDef>();
    setUp->AddObservation(tide, nullptr);
    setUps.AddTail(std::move(setUp));
}

sLegacyHeightDef Legacy(int32_t model, std::vector<uint32_t> ids = {}, std::vector<std::string> paths = {}) {
    sLegacyHeightDef d{};
    d.model = model;
    d.referenceId = 7;
    d.referenceValue = 1.5f;
    d.closestValue = 3;
    for (size_t i = 0; i < ids.size(); ++i) d.sourceIds[i] = ids[i];
    for (size_t i = 0; i < paths.size(); ++i) std::memcpy(d.paths[i], paths[i].data(), paths[i].size());
    d.computedValue = 2.25f;
    d.computedCount = 4;
    d.computedId = 9;
    return d;
}

class CHeightDefUpgraderTest : public ::testing::Test {
protected:
    CHeightDefUpgraderTest() {
        // 1, 2 and 5 are usable tide observations; 3 is no tide observation; 4 is a partner's.
        m_obs.Add(MakeObsDef(1, 59, 1, 10, 0, 0));
        m_obs.Add(MakeObsDef(3, 11, 1, 10, 0, 0));
        m_obs.Add(MakeObsDef(2, 59, 2, 11, 0, 6));
        m_obs.Add(MakeObsDef(4, 59, 2, 11, 0, -6));
        m_obs.Add(MakeObsDef(5, 59, 3, 10, 0, 0));
        m_nodes.Add(MakeNodeDef(10, 100, 1, 0, 0, 0, 0));
        m_nodes.Add(MakeNodeDef(11, 101, 1, 0, 0, 0, 0));
        AddTideSetUp(m_setUps, m_obs.FindById(1), 120.0f);
    }
    template <typename S>
    const S* Get(int32_t id) const {
        return dynamic_cast<const S*>(m_tides.get_strategies().find_by_id(id));
    }
    template <typename S>
    const S* Source(uint32_t id) const {
        return dynamic_cast<const S*>(m_tides.get_sources().find_by_id(static_cast<int32_t>(id)));
    }

    CObsDefList m_obs;
    CNodeDefList m_nodes;
    CAdjDefList m_setUps;
    CTideSettingsContainer m_tides;
    CHeightDefUpgrader m_upgrader{&m_nodes, &m_obs, &m_setUps, &m_tides};
};

TEST_F(CHeightDefUpgraderTest, IdenticalGaugeRecordsShareOneStrategy) {
    // Only the tide observation 1 qualifies: 3 is no tide observation, 0 names none.
    const sLegacyHeightDef gauge = Legacy(1, {3, 0, 1});
    ASSERT_EQ(m_upgrader.ConvertHeightDef(gauge), 1);
    const auto* s = Get<CTideStrategyGauge>(1);
    ASSERT_NE(s, nullptr);
    EXPECT_EQ(s->get_name(), GetTideStrategyTypeName(1).Str());
    EXPECT_EQ(s->get_reference_id(), 7);
    EXPECT_EQ(s->get_reference_value(), 1.5f);
    EXPECT_TRUE(s->get_use_update_interval());
    EXPECT_EQ(s->get_update_interval(), 120.0f);
    ASSERT_EQ(s->get_source_ids(), std::vector<uint32_t>{1});
    EXPECT_EQ(Source<CTideSourceObservation>(1)->get_observation_id(), 1u);

    EXPECT_EQ(m_upgrader.ConvertHeightDef(gauge), 1);
    EXPECT_EQ(m_tides.get_strategies().size(), 1u);
    EXPECT_EQ(m_tides.get_sources().size(), 1u);
}

TEST_F(CHeightDefUpgraderTest, OnceRecordsDifferRepeatsFindTheirSourcesTaken) {
    ASSERT_EQ(m_upgrader.ConvertHeightDef(Legacy(1, {1, 2, 4})), 1);  // 4 has a negative link
    // Node 12 does not exist; each path keeps the index of its node.
    const sLegacyHeightDef file = Legacy(-2, {10, 12, 11}, {"a.tid", "none", "b.tid"});
    ASSERT_EQ(m_upgrader.ConvertHeightDef(file), 2);
    const auto* s = Get<CTideStrategyFile>(2);
    ASSERT_NE(s, nullptr);
    EXPECT_EQ(s->get_name(), GetTideStrategyTypeName(-2).Str());
    ASSERT_EQ(s->get_source_ids(), (std::vector<uint32_t>{3, 4}));
    EXPECT_EQ(Source<CTideSourceFile>(3)->get_node_id(), 10u);
    EXPECT_EQ(Source<CTideSourceFile>(3)->get_file_path(), "a.tid");
    EXPECT_EQ(Source<CTideSourceFile>(4)->get_node_id(), 11u);
    EXPECT_EQ(Source<CTideSourceFile>(4)->get_file_path(), "b.tid");

    EXPECT_EQ(m_upgrader.ConvertHeightDef(Legacy(1, {1, 2, 4})), 0);
    EXPECT_EQ(m_upgrader.ConvertHeightDef(file), 0);
    EXPECT_EQ(m_tides.get_strategies().size(), 2u);
    EXPECT_EQ(m_tides.get_sources().size(), 4u);

    // The fourth source is kept too.
    m_nodes.Add(MakeNodeDef(13, 103, 1, 0, 0, 0, 0));
    ASSERT_EQ(m_upgrader.ConvertHeightDef(Legacy(-2, {0, 0, 0, 13}, {"", "", "", "d.tid"})), 3);
    ASSERT_EQ(Get<CTideStrategyFile>(3)->get_source_ids(), std::vector<uint32_t>{5});
    EXPECT_EQ(Source<CTideSourceFile>(5)->get_file_path(), "d.tid");
}

TEST_F(CHeightDefUpgraderTest, DisabledAndMeanWaterLevelAreReusedAfterRecordsDiffer) {
    ASSERT_EQ(m_upgrader.ConvertHeightDef(Legacy(0)), 1);
    EXPECT_EQ(Get<CTideStrategyDisabled>(1)->get_name(), GetTideStrategyTypeName(-1).Str());
    ASSERT_EQ(m_upgrader.ConvertHeightDef(Legacy(-9)), 2);
    EXPECT_NE(Get<CTideStrategyMWLM>(2), nullptr);
    EXPECT_EQ(m_upgrader.ConvertHeightDef(Legacy(-1)), 1);
    EXPECT_EQ(m_upgrader.ConvertHeightDef(Legacy(-9)), 2);
    EXPECT_EQ(m_tides.get_strategies().size(), 2u);
}

TEST_F(CHeightDefUpgraderTest, ClosestTakesEveryFreeTideObservationInListOrder) {
    auto taken = std::make_unique<CTideSourceObservation>();
    taken->set_observation_id(2);
    m_tides.get_sources().add(std::move(taken));
    ASSERT_EQ(m_upgrader.ConvertHeightDef(Legacy(2, {3, 4})), 1);
    const auto* s = Get<CTideStrategyClosest>(1);
    ASSERT_NE(s, nullptr);
    EXPECT_EQ(s->get_closest_value(), 3u);
    // Observations 1 and 5; 2 had a source, 3 and 4 do not qualify.
    ASSERT_EQ(s->get_source_ids(), (std::vector<uint32_t>{2, 3}));
    EXPECT_EQ(Source<CTideSourceObservation>(2)->get_observation_id(), 1u);
    EXPECT_EQ(Source<CTideSourceObservation>(3)->get_observation_id(), 5u);
    // Nothing is free for a second closest record.
    EXPECT_EQ(m_upgrader.ConvertHeightDef(Legacy(2, {3})), 0);
}

TEST(CHeightDefUpgrader, ComputedTakesItsFieldsAndTheSetUpInterval) {
    // Without set-ups the interval is the tide type's default of 60 s; a set-up that gives the tide
    // observation no interval leaves the strategy's own.
    struct Row {
        bool setUp;
        float interval;
        bool use;
        float expected;
    };
    for (const Row& row :
         {Row{true, 45.0f, true, 45.0f}, Row{false, 0.0f, true, 60.0f}, Row{true, 0.0f, false, 60.0f}}) {
        SCOPED_TRACE(row.interval);
        CObsDefList obs;
        obs.Add(MakeObsDef(1, 59, 1, 10, 0, 0));
        CNodeDefList nodes;
        CAdjDefList setUps;
        if (row.setUp) AddTideSetUp(setUps, obs.FindById(1), row.interval);
        CTideSettingsContainer tides;
        CHeightDefUpgrader upgrader(&nodes, &obs, &setUps, &tides);
        ASSERT_EQ(upgrader.ConvertHeightDef(Legacy(-3)), 1);
        const auto* s = dynamic_cast<const CTideStrategyComputed*>(tides.get_strategies().find_by_id(1));
        ASSERT_NE(s, nullptr);
        EXPECT_EQ(s->get_name(), GetTideStrategyTypeName(-3).Str());
        EXPECT_EQ(s->get_reference_id(), 7);
        EXPECT_EQ(s->get_reference_value(), 1.5f);
        EXPECT_EQ(s->get_computed_value(), 2.25f);
        EXPECT_EQ(s->get_computed_count(), 4);
        EXPECT_EQ(s->get_computed_id(), 9);
        EXPECT_EQ(s->get_use_update_interval(), row.use);
        EXPECT_EQ(s->get_update_interval(), row.expected);
    }
}

TEST(CHeightDefUpgrader, NothingIsMadeWithoutEveryListOrForAModelThatNamesNone) {
    CObsDefList obs;
    CNodeDefList nodes;
    CAdjDefList setUps;
    CTideSettingsContainer tides;
    CHeightDefUpgrader noNodes(nullptr, &obs, &setUps, &tides), noObs(&nodes, nullptr, &setUps, &tides),
        noSetUps(&nodes, &obs, nullptr, &tides), noTides(&nodes, &obs, &setUps, nullptr),
        all(&nodes, &obs, &setUps, &tides);
    for (CHeightDefUpgrader* u : {&noNodes, &noObs, &noSetUps, &noTides}) EXPECT_EQ(u->ConvertHeightDef(Legacy(-1)), 0);
    EXPECT_EQ(all.ConvertHeightDef(Legacy(3)), 0);
    EXPECT_EQ(all.ConvertHeightDef(Legacy(-5)), 0);
    EXPECT_TRUE(tides.get_strategies().empty());
}

TEST(LegacyHeightDef, EqualityComparesPathsWithinTheirFields) {
    const std::vector<std::pair<std::function<void(sLegacyHeightDef&)>, bool>> rows = {
        {[](sLegacyHeightDef&) {}, true},
        {[](sLegacyHeightDef& d) { d.model = 2; }, false},
        {[](sLegacyHeightDef& d) { d.referenceValue = 1.25f; }, false},
        {[](sLegacyHeightDef& d) { d.closestValue = 4; }, false},
        {[](sLegacyHeightDef& d) { d.sourceIds[3] = 1; }, false},
        {[](sLegacyHeightDef& d) { d.paths[1][0] = 'x'; }, false},
        {[](sLegacyHeightDef& d) { d.paths[0][100] = 'x'; }, true},  // after the terminator
        {[](sLegacyHeightDef& d) { d.computedId = -1; }, false},
        // A path that fills its field ends there: the next field is not part of it.
        {[](sLegacyHeightDef& d) { std::memset(d.paths[0], 'p', 261); }, false},
    };
    for (size_t k = 0; k < rows.size(); ++k) {
        SCOPED_TRACE(k);
        const sLegacyHeightDef a = Legacy(-2, {10, 11}, {"a.tid", "b.tid"});
        sLegacyHeightDef b = a;
        rows[k].first(b);
        EXPECT_EQ(a == b, rows[k].second);
        EXPECT_EQ(a != b, !rows[k].second);
    }
    // No terminator anywhere: the comparison stays inside the record.
    auto full = std::make_unique<sLegacyHeightDef>();
    std::memset(full.get(), 'p', sizeof(sLegacyHeightDef));
    const auto copy = std::make_unique<sLegacyHeightDef>(*full);
    EXPECT_TRUE(*full == *copy);
    full->referenceValue = std::nanf("");
    EXPECT_FALSE(*full == *full);
}

TEST(LegacyHeightDef, AFileSourcePathStaysWithinItsField) {
    sLegacyHeightDef d = Legacy(-2, {10});
    std::memset(d.paths[0], 'p', 261);
    std::memset(d.paths[1], 'q', 261);
    CObsDefList obs;
    CNodeDefList nodes;
    nodes.Add(MakeNodeDef(10, 100, 1, 0, 0, 0, 0));
    CAdjDefList setUps;
    CTideSettingsContainer tides;
    CHeightDefUpgrader upgrader(&nodes, &obs, &setUps, &tides);
    ASSERT_EQ(upgrader.ConvertHeightDef(d), 1);
    const auto* source = dynamic_cast<const CTideSourceFile*>(tides.get_sources().find_by_id(1));
    ASSERT_NE(source, nullptr);
    EXPECT_EQ(source->get_file_path(), std::string(261, 'p'));
}

}  // namespace
