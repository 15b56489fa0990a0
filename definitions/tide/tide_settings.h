// The tide settings of a project: its strategies and its sources, each in a list that keeps their
// ids unique, with the look-ups over both lists and the archive image of the whole set.
#pragma once

#include <cstdint>

#include "definitions/tide/id_keyed_list.h"
#include "definitions/tide/tide_sources.h"
#include "definitions/tide/tide_strategies.h"
#include "foundation/archive.h"

namespace Vok::Tides {

class CTideStrategyList : public CUniquePtrWithIdContainer<CTideStrategyBase> {
public:
    // The first strategy of the model; null when none.
    CTideStrategyBase* find_using_model(eTideModel model) const;
    // Every Computed, File, Gauge and Closest strategy refers to nothing (-1) afterwards.
    void reset_reference_ids();
    // Removes the first occurrence of the id from each strategy with sources; true when at least
    // one of them held it.
    bool remove_source_id(uint32_t source_id);
};

class CTideSourceList : public CUniquePtrWithIdContainer<CTideSourceBase> {
public:
    // The first file source of the node, the first observation source of the observation, the
    // first source that source calls the same; null when none.
    CTideSourceBase* find_using_node(uint32_t node_id) const;
    CTideSourceBase* find_using_observation(uint32_t observation_id) const;
    CTideSourceBase* find_same_source(const CTideSourceBase& source) const;
};

class CTideSettingsContainer : public ISerializable {
public:
    CTideSettingsContainer() = default;
    CTideSettingsContainer(const CTideSettingsContainer& other);
    // Clones of the other's strategies, then of its sources, in order and with their ids.
    CTideSettingsContainer& operator=(const CTideSettingsContainer& other);
    ~CTideSettingsContainer() override;

    // Version 1: the strategy count, each strategy's model code and record, then the source
    // count and each source's type code and record.
    void serialize_to(IArchive& archive, uint32_t owner_version) const override;
    // All or nothing: on an archive error the container keeps what it held before. An entry that
    // comes without an id, or with an id taken by an earlier one, gets a fresh id.
    void serialize_from(IArchive& archive) override;

    CTideStrategyList& get_strategies() { return _strategies; }
    const CTideStrategyList& get_strategies() const { return _strategies; }
    CTideSourceList& get_sources() { return _sources; }
    const CTideSourceList& get_sources() const { return _sources; }
    // Destroys every strategy, then every source.
    void clear();

    // Equal lists: the same elements by id, in any order.
    bool operator==(const CTideSettingsContainer& other) const;
    bool operator!=(const CTideSettingsContainer& other) const { return !(*this == other); }

private:
    CTideStrategyList _strategies;
    CTideSourceList _sources;
};

}  // namespace Vok::Tides
