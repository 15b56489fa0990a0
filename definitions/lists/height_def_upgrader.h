// The conversion of legacy height definitions into the project's tide settings. One upgrader
// serves one load of a project file, in file order: records identical to the first one seen share
// the strategy that the first made; once a record has differed, only the disabled and the
// mean-water-level models reuse a strategy of their model, and every other record makes its own.
#pragma once

#include <cstdint>

#include "definitions/tide/legacy_height_def.h"

class CAdjDefList;
class CNodeDefList;
class CObsDefList;
struct sObsDef;

namespace Vok::Tides {
class CTideSettingsContainer;
class CTideStrategyBase;
}  // namespace Vok::Tides

class CHeightDefUpgrader : public ILegacyHeightDefConverter {
public:
    // None of the four is owned; each must outlive the upgrader.
    CHeightDefUpgrader(const CNodeDefList* nodes, const CObsDefList* observations,
                       const CAdjDefList* adjustments, Vok::Tides::CTideSettingsContainer* tides);

    // The id of the strategy that stands for the record in the tide settings; 0 when any list is
    // missing, the model code names no strategy, or a gauge, file or closest record finds no
    // source that is not taken yet (the tide settings are then unchanged).
    int32_t ConvertHeightDef(const sLegacyHeightDef& def) override;

    // Fill a new strategy of their kind from the record; false when the strategy is null or,
    // for the kinds with sources, it got none. New sources go into the tide settings.
    bool ConvertGauge(const sLegacyHeightDef& def, Vok::Tides::CTideStrategyBase* strategy);
    bool ConvertFile(const sLegacyHeightDef& def, Vok::Tides::CTideStrategyBase* strategy);
    bool ConvertClosest(const sLegacyHeightDef& def, Vok::Tides::CTideStrategyBase* strategy);
    bool ConvertComputed(const sLegacyHeightDef& def, Vok::Tides::CTideStrategyBase* strategy);

private:
    // The tide interval of the set-ups, when they give one above 0.
    bool GetTideUpdateInterval(float& seconds) const;
    template <typename S>
    void SetReferenceAndInterval(const sLegacyHeightDef& def, S& strategy) const;
    // Adds an observation source for the observation unless one exists, to the settings and to
    // the strategy's source ids.
    template <typename S>
    void AddObservationSource(const sObsDef& obs, S& strategy);

    bool m_firstPending = true;
    bool m_allIdentical = true;
    sLegacyHeightDef m_first{};
    const CNodeDefList* m_nodes;
    const CObsDefList* m_observations;
    const CAdjDefList* m_adjustments;
    Vok::Tides::CTideSettingsContainer* m_tides;
};
