#include "definitions/lists/height_def_upgrader.h"

#include <cstring>
#include <memory>
#include <string>

#include "definitions/lists/adj_def_list.h"
#include "definitions/records/definition_records.h"
#include "definitions/records/definition_types.h"
#include "definitions/lists/node_def_list.h"
#include "definitions/lists/obs_def_list.h"
#include "definitions/lists/obs_type_properties.h"
#include "definitions/tide/tide_settings.h"

using namespace Vok::Tides;

namespace {

constexpr int32_t kTideObsType = 59;

std::string PathText(const char* path) { return std::string(path, strnlen(path, sLegacyHeightDef::kPathSize)); }

// An observation that may feed a tide source: a tide observation that is no partner's copy.
bool IsUsableTideObs(const sObsDef* obs) { return obs != nullptr && IsTideObs(obs) != 0 && obs->link >= 0; }

}  // namespace

CHeightDefUpgrader::CHeightDefUpgrader(const CNodeDefList* nodes, const CObsDefList* observations,
                                       const CAdjDefList* adjustments, CTideSettingsContainer* tides)
    : m_nodes(nodes), m_observations(observations), m_adjustments(adjustments), m_tides(tides) {}

int32_t CHeightDefUpgrader::ConvertHeightDef(const sLegacyHeightDef& def) {
    if (m_nodes == nullptr || m_observations == nullptr || m_adjustments == nullptr || m_tides == nullptr) return 0;
    if (m_firstPending) {
        m_first = def;
        m_firstPending = false;
    } else if (def != m_first) {
        m_allIdentical = false;
    }
    const int32_t model = def.model == 0 ? TIDE_MODEL_DISABLED : def.model;
    if (m_allIdentical || model == TIDE_MODEL_DISABLED || model == TIDE_MODEL_MWLM) {
        if (const CTideStrategyBase* existing =
                m_tides->get_strategies().find_using_model(static_cast<eTideModel>(model)))
            return existing->get_id();
    }
    std::unique_ptr<CTideStrategyBase> strategy = create_tide_strategy(model);
    if (!strategy) return 0;
    strategy->set_name(GetTideStrategyTypeName(model).Str());
    bool filled = true;
    switch (model) {
        case TIDE_MODEL_GAUGE: filled = ConvertGauge(def, strategy.get()); break;
        case TIDE_MODEL_FILE: filled = ConvertFile(def, strategy.get()); break;
        case TIDE_MODEL_CLOSEST: filled = ConvertClosest(def, strategy.get()); break;
        case TIDE_MODEL_COMPUTED: filled = ConvertComputed(def, strategy.get()); break;
        default: break;  // disabled and mean water level carry nothing
    }
    if (!filled) return 0;
    return m_tides->get_strategies().add(std::move(strategy));
}

bool CHeightDefUpgrader::GetTideUpdateInterval(float& seconds) const {
    if (m_adjustments == nullptr) return false;
    const float interval = m_adjustments->GetMaxUpdateInterval(kTideObsType, true, false);
    if (!(interval > 0.0f)) return false;
    seconds = interval;
    return true;
}

template <typename S>
void CHeightDefUpgrader::SetReferenceAndInterval(const sLegacyHeightDef& def, S& strategy) const {
    strategy.set_reference_id(def.referenceId);
    strategy.set_reference_value(def.referenceValue);
    float seconds = 0.0f;
    if (GetTideUpdateInterval(seconds)) {
        strategy.set_update_interval(seconds);
        strategy.set_use_update_interval(true);
    }
}

template <typename S>
void CHeightDefUpgrader::AddObservationSource(const sObsDef& obs, S& strategy) {
    const auto id = static_cast<uint32_t>(obs.id);
    if (m_tides->get_sources().find_using_observation(id) != nullptr) return;
    auto source = std::make_unique<CTideSourceObservation>();
    source->set_observation_id(id);
    const int32_t sourceId = m_tides->get_sources().add(std::move(source));
    if (sourceId != 0) strategy.add_source_id(static_cast<uint32_t>(sourceId));
}

bool CHeightDefUpgrader::ConvertGauge(const sLegacyHeightDef& def, CTideStrategyBase* strategy) {
    auto* gauge = dynamic_cast<CTideStrategyGauge*>(strategy);
    if (gauge == nullptr || m_observations == nullptr || m_tides == nullptr) return false;
    SetReferenceAndInterval(def, *gauge);
    for (const uint32_t obsId : def.sourceIds) {
        const sObsDef* obs = m_observations->GetById(static_cast<int32_t>(obsId));
        if (IsUsableTideObs(obs)) AddObservationSource(*obs, *gauge);
    }
    return gauge->get_source_count() > 0;
}

bool CHeightDefUpgrader::ConvertFile(const sLegacyHeightDef& def, CTideStrategyBase* strategy) {
    auto* file = dynamic_cast<CTideStrategyFile*>(strategy);
    if (file == nullptr || m_nodes == nullptr || m_tides == nullptr) return false;
    SetReferenceAndInterval(def, *file);
    for (size_t i = 0; i < 4; ++i) {
        const sNodeDef* node = m_nodes->FindById(static_cast<int32_t>(def.sourceIds[i]));
        if (node == nullptr) continue;
        const auto nodeId = static_cast<uint32_t>(node->id);
        if (m_tides->get_sources().find_using_node(nodeId) != nullptr) continue;
        auto source = std::make_unique<CTideSourceFile>();
        source->set_node_id(nodeId);
        source->set_file_path(PathText(def.paths[i]));
        const int32_t sourceId = m_tides->get_sources().add(std::move(source));
        if (sourceId != 0) file->add_source_id(static_cast<uint32_t>(sourceId));
    }
    return file->get_source_count() > 0;
}

bool CHeightDefUpgrader::ConvertClosest(const sLegacyHeightDef& def, CTideStrategyBase* strategy) {
    auto* closest = dynamic_cast<CTideStrategyClosest*>(strategy);
    if (closest == nullptr || m_observations == nullptr || m_tides == nullptr) return false;
    SetReferenceAndInterval(def, *closest);
    for (const sObsDef& obs : *m_observations) {
        if (IsUsableTideObs(&obs)) AddObservationSource(obs, *closest);
    }
    if (closest->get_source_count() == 0) return false;
    closest->set_closest_value(def.closestValue);
    return true;
}

bool CHeightDefUpgrader::ConvertComputed(const sLegacyHeightDef& def, CTideStrategyBase* strategy) {
    auto* computed = dynamic_cast<CTideStrategyComputed*>(strategy);
    if (computed == nullptr) return false;
    SetReferenceAndInterval(def, *computed);
    computed->set_computed_count(def.computedCount);
    computed->set_computed_value(def.computedValue);
    computed->set_computed_id(def.computedId);
    return true;
}
