// Legacy height definitions turned into tide strategies and sources: one upgrader per load, records
// in file order.
#include "definitions/height_def_upgrader.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "definitions/definition_types.h"
#include "definitions/node_def_list.h"
#include "definitions/obs_def_list.h"
#include "definitions/tide_settings.h"
#include "tests/support/definition_samples.h"

namespace {

using namespace Vok::Tides;
using Vok::Test::MakeNodeDef;
using Vok::Test::MakeObsDef;

constexpr int32_t kTide = 59;

// Stands in for the computation set-ups: answers one interval for the tide type, 0 for others.
class CFixedIntervals : public IUpdateIntervalSource {
public:
    explicit CFixedIntervals(float tide) : m_tide(tide) {}
    float GetMaxUpdateInterval(int32_t obsType, bool requirePositive, bool usedOnly) const override {
        asked = requirePositive && !usedOnly;
        return obsType == kTide ? m_tide : 0.0f;
    }
    mutable bool asked = false;

private:
    float m_tide;
};

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
    void SetUp() override {
        // Observations: 1, 2 and 5 are usable tide observations; 3 is no tide observation; 4 is a
        // tide observation with a negative link.
        m_obs.Add(MakeObsDef(1, kTide, 1, 10, 0, 0));
        m_obs.Add(MakeObsDef(3, 11, 1, 10, 0, 0));
        m_obs.Add(MakeObsDef(2, kTide, 2, 11, 0, 6));
        m_obs.Add(MakeObsDef(4, kTide, 2, 11, 0, -6));
        m_obs.Add(MakeObsDef(5, kTide, 3, 10, 0, 0));
        m_nodes.Add(MakeNodeDef(10, 100, 1, 0, 0, 0, 0));
        m_nodes.Add(MakeNodeDef(11, 101, 1, 0, 0, 0, 0));
    }

    const CTideStrategyBase* Strategy(int32_t id) const { return m_tides.get_strategies().find_by_id(id); }
    std::vector<uint32_t> SourceIds(int32_t strategyId) const {
        const auto* s = dynamic_cast<const CTideStrategyWithSources*>(Strategy(strategyId));
        return s != nullptr ? s->get_source_ids() : std::vector<uint32_t>{99999};
    }
    uint32_t ObservationOf(uint32_t sourceId) const {
        const auto* s = dynamic_cast<const CTideSourceObservation*>(m_tides.get_sources().find_by_id(static_cast<int32_t>(sourceId)));
        return s != nullptr ? s->get_observation_id() : 0;
    }

    CObsDefList m_obs;
    CNodeDefList m_nodes;
    CFixedIntervals m_intervals{120.0f};
    CTideSettingsContainer m_tides;
    CHeightDefUpgrader m_upgrader{&m_nodes, &m_obs, &m_intervals, &m_tides};
};

TEST_F(CHeightDefUpgraderTest, IdenticalGaugeRecordsShareOneStrategy) {
    // Of the ids only the tide observation 1 qualifies: 3 is no tide observation, 0 names none.
    const sLegacyHeightDef gauge = Legacy(1, {3, 0, 1});
    const int32_t id = m_upgrader.ConvertHeightDef(gauge);
    ASSERT_EQ(id, 1);
    const auto* s = dynamic_cast<const CTideStrategyGauge*>(Strategy(id));
    ASSERT_NE(s, nullptr);
    EXPECT_EQ(s->get_name(), GetTideStrategyTypeName(1).Str());
    EXPECT_EQ(s->get_reference_id(), 7);
    EXPECT_EQ(s->get_reference_value(), 1.5f);
    EXPECT_TRUE(s->get_use_update_interval());
    EXPECT_EQ(s->get_update_interval(), 120.0f);
    EXPECT_TRUE(m_intervals.asked);
    ASSERT_EQ(s->get_source_ids(), std::vector<uint32_t>{1});
    EXPECT_EQ(ObservationOf(1), 1u);

    EXPECT_EQ(m_upgrader.ConvertHeightDef(gauge), id);
    EXPECT_EQ(m_tides.get_strategies().size(), 1u);
    EXPECT_EQ(m_tides.get_sources().size(), 1u);
}

TEST_F(CHeightDefUpgraderTest, OnceRecordsDifferARepeatedGaugeFindsItsSourcesTaken) {
    ASSERT_EQ(m_upgrader.ConvertHeightDef(Legacy(1, {1, 2})), 1);
    const int32_t file = m_upgrader.ConvertHeightDef(Legacy(-2, {10, 12, 11}, {"a.tid", "none", "b.tid"}));
    ASSERT_EQ(file, 2);
    const auto* s = dynamic_cast<const CTideStrategyFile*>(Strategy(file));
    ASSERT_NE(s, nullptr);
    EXPECT_EQ(s->get_name(), GetTideStrategyTypeName(-2).Str());
    EXPECT_EQ(s->get_update_interval(), 120.0f);
    // Node 12 does not exist; the paths keep their own index.
    ASSERT_EQ(s->get_source_ids(), (std::vector<uint32_t>{3, 4}));
    const auto* a = dynamic_cast<const CTideSourceFile*>(m_tides.get_sources().find_by_id(3));
    const auto* b = dynamic_cast<const CTideSourceFile*>(m_tides.get_sources().find_by_id(4));
    ASSERT_TRUE(a != nullptr && b != nullptr);
    EXPECT_EQ(a->get_node_id(), 10u);
    EXPECT_EQ(a->get_file_path(), "a.tid");
    EXPECT_EQ(b->get_node_id(), 11u);
    EXPECT_EQ(b->get_file_path(), "b.tid");

    EXPECT_EQ(m_upgrader.ConvertHeightDef(Legacy(1, {1, 2})), 0);
    // The same File record again: its nodes have sources already.
    EXPECT_EQ(m_upgrader.ConvertHeightDef(Legacy(-2, {10, 12, 11}, {"a.tid", "none", "b.tid"})), 0);
    EXPECT_EQ(m_tides.get_strategies().size(), 2u);
    EXPECT_EQ(m_tides.get_sources().size(), 4u);
}

TEST_F(CHeightDefUpgraderTest, DisabledAndMeanWaterLevelAreReusedAfterRecordsDiffer) {
    const int32_t disabled = m_upgrader.ConvertHeightDef(Legacy(0));
    ASSERT_EQ(disabled, 1);
    EXPECT_EQ(Strategy(disabled)->get_model(), TIDE_MODEL_DISABLED);
    EXPECT_EQ(Strategy(disabled)->get_name(), GetTideStrategyTypeName(-1).Str());
    const int32_t mwlm = m_upgrader.ConvertHeightDef(Legacy(-9));
    ASSERT_EQ(mwlm, 2);
    EXPECT_EQ(Strategy(mwlm)->get_model(), TIDE_MODEL_MWLM);
    EXPECT_EQ(m_upgrader.ConvertHeightDef(Legacy(-1)), disabled);
    EXPECT_EQ(m_upgrader.ConvertHeightDef(Legacy(0)), disabled);
    EXPECT_EQ(m_upgrader.ConvertHeightDef(Legacy(-9)), mwlm);
    EXPECT_EQ(m_tides.get_strategies().size(), 2u);
}

TEST_F(CHeightDefUpgraderTest, TheFirstRecordReusesAStrategyOfItsModelAlreadyThere) {
    auto gauge = create_tide_strategy(TIDE_MODEL_GAUGE);
    gauge->set_id(40);
    m_tides.get_strategies().add(std::move(gauge));
    EXPECT_EQ(m_upgrader.ConvertHeightDef(Legacy(1, {1})), 40);
    EXPECT_TRUE(m_tides.get_sources().empty());
}

TEST_F(CHeightDefUpgraderTest, AGaugeWhoseObservationsAllHaveSourcesMakesNothing) {
    ASSERT_EQ(m_upgrader.ConvertHeightDef(Legacy(-9)), 1);
    for (uint32_t obs : {1u, 2u}) {
        auto source = std::make_unique<CTideSourceObservation>();
        source->set_observation_id(obs);
        m_tides.get_sources().add(std::move(source));
    }
    // 4 is a tide observation, but a partner's (negative link).
    EXPECT_EQ(m_upgrader.ConvertHeightDef(Legacy(1, {1, 2, 4})), 0);
    EXPECT_EQ(m_tides.get_strategies().size(), 1u);
    EXPECT_EQ(m_tides.get_sources().size(), 2u);
}

TEST_F(CHeightDefUpgraderTest, ClosestTakesEveryFreeTideObservationInListOrder) {
    auto source = std::make_unique<CTideSourceObservation>();
    source->set_observation_id(2);
    m_tides.get_sources().add(std::move(source));
    const int32_t id = m_upgrader.ConvertHeightDef(Legacy(2, {3, 4}));
    ASSERT_EQ(id, 1);
    const auto* s = dynamic_cast<const CTideStrategyClosest*>(Strategy(id));
    ASSERT_NE(s, nullptr);
    EXPECT_EQ(s->get_closest_value(), 3u);
    EXPECT_EQ(s->get_reference_id(), 7);
    // Observations 1 and 5, in the list's order; 2 had a source, 3 and 4 do not qualify.
    ASSERT_EQ(s->get_source_ids(), (std::vector<uint32_t>{2, 3}));
    EXPECT_EQ(ObservationOf(2), 1u);
    EXPECT_EQ(ObservationOf(3), 5u);
}

TEST_F(CHeightDefUpgraderTest, ClosestWithoutAFreeTideObservationMakesNothing) {
    m_obs.RemoveAll();
    m_obs.Add(MakeObsDef(3, 11, 1, 10, 0, 0));
    EXPECT_EQ(m_upgrader.ConvertHeightDef(Legacy(2)), 0);
    EXPECT_TRUE(m_tides.get_strategies().empty());
}

TEST(CHeightDefUpgrader, ComputedTakesItsFieldsAndTheSetUpInterval) {
    struct Row {
        float interval;
        bool use;
        float expected;
    };
    for (const Row& row : {Row{45.0f, true, 45.0f}, Row{0.0f, false, 60.0f}, Row{-3.0f, false, 60.0f}}) {
        SCOPED_TRACE(row.interval);
        CObsDefList obs;
        CNodeDefList nodes;
        CFixedIntervals intervals(row.interval);
        CTideSettingsContainer tides;
        CHeightDefUpgrader upgrader(&nodes, &obs, &intervals, &tides);
        const int32_t id = upgrader.ConvertHeightDef(Legacy(-3));
        ASSERT_EQ(id, 1);
        const auto* s = dynamic_cast<const CTideStrategyComputed*>(tides.get_strategies().find_by_id(id));
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
    CFixedIntervals intervals(60.0f);
    CTideSettingsContainer tides;
    struct Row {
        const CNodeDefList* nodes;
        const CObsDefList* obs;
        const IUpdateIntervalSource* intervals;
        CTideSettingsContainer* tides;
        int32_t model;
    };
    for (const Row& row : {Row{nullptr, &obs, &intervals, &tides, -1}, Row{&nodes, nullptr, &intervals, &tides, -1},
                           Row{&nodes, &obs, nullptr, &tides, -1}, Row{&nodes, &obs, &intervals, nullptr, -1},
                           Row{&nodes, &obs, &intervals, &tides, 3}, Row{&nodes, &obs, &intervals, &tides, -5}}) {
        CHeightDefUpgrader upgrader(row.nodes, row.obs, row.intervals, row.tides);
        EXPECT_EQ(upgrader.ConvertHeightDef(Legacy(row.model)), 0);
    }
    EXPECT_TRUE(tides.get_strategies().empty());
}

TEST(CHeightDefUpgrader, FillersRefuseAStrategyOfAnotherKind) {
    CObsDefList obs;
    CNodeDefList nodes;
    CFixedIntervals intervals(60.0f);
    CTideSettingsContainer tides;
    CHeightDefUpgrader upgrader(&nodes, &obs, &intervals, &tides);
    const sLegacyHeightDef d = Legacy(1);
    CTideStrategyDisabled disabled;
    EXPECT_FALSE(upgrader.ConvertGauge(d, nullptr));
    EXPECT_FALSE(upgrader.ConvertFile(d, &disabled));
    EXPECT_FALSE(upgrader.ConvertClosest(d, &disabled));
    EXPECT_FALSE(upgrader.ConvertComputed(d, nullptr));
}

TEST(LegacyHeightDef, Equality) {
    struct Row {
        const char* what;
        std::function<void(sLegacyHeightDef&)> change;
        bool equal;
    };
    const Row rows[] = {
        {"nothing", [](sLegacyHeightDef&) {}, true},
        {"model", [](sLegacyHeightDef& d) { d.model = 2; }, false},
        {"reference id", [](sLegacyHeightDef& d) { d.referenceId = 8; }, false},
        {"reference value", [](sLegacyHeightDef& d) { d.referenceValue = 1.25f; }, false},
        {"closest value", [](sLegacyHeightDef& d) { d.closestValue = 4; }, false},
        {"source id", [](sLegacyHeightDef& d) { d.sourceIds[3] = 1; }, false},
        {"path", [](sLegacyHeightDef& d) { d.paths[2][0] = 'x'; }, false},
        {"bytes after a path's terminator", [](sLegacyHeightDef& d) { d.paths[0][100] = 'x'; }, true},
        {"computed value", [](sLegacyHeightDef& d) { d.computedValue = 0.0f; }, false},
        {"computed count", [](sLegacyHeightDef& d) { d.computedCount = 5; }, false},
        {"computed id", [](sLegacyHeightDef& d) { d.computedId = -1; }, false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        const sLegacyHeightDef a = Legacy(-2, {10, 11}, {"a.tid", "b.tid"});
        sLegacyHeightDef b = a;
        row.change(b);
        EXPECT_EQ(a == b, row.equal);
        EXPECT_EQ(a != b, !row.equal);
    }
    sLegacyHeightDef nan = Legacy(1);
    nan.referenceValue = std::nanf("");
    EXPECT_FALSE(nan == nan);
}

TEST(LegacyHeightDef, PathsWithoutTerminatorStayWithinTheirField) {
    sLegacyHeightDef a = Legacy(-2, {10});
    std::memset(a.paths[0], 'p', sLegacyHeightDef::kPathSize);
    std::memset(a.paths[1], 'q', sLegacyHeightDef::kPathSize);
    sLegacyHeightDef b = a;
    EXPECT_TRUE(a == b);
    b.paths[1][0] = 0;  // the next field's first byte is not part of path 0
    EXPECT_FALSE(a == b);
    b = a;
    b.paths[0][sLegacyHeightDef::kPathSize - 1] = 'x';
    EXPECT_FALSE(a == b);

    CObsDefList obs;
    CNodeDefList nodes;
    nodes.Add(MakeNodeDef(10, 100, 1, 0, 0, 0, 0));
    CFixedIntervals intervals(0.0f);
    CTideSettingsContainer tides;
    CHeightDefUpgrader upgrader(&nodes, &obs, &intervals, &tides);
    ASSERT_EQ(upgrader.ConvertHeightDef(a), 1);
    const auto* source = dynamic_cast<const CTideSourceFile*>(tides.get_sources().find_by_id(1));
    ASSERT_NE(source, nullptr);
    EXPECT_EQ(source->get_file_path(), std::string(sLegacyHeightDef::kPathSize, 'p'));
}

}  // namespace
