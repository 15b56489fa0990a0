#include "definitions/tide/tide_settings.h"

#include <utility>

#include "definitions/tide/tide_archive.h"
#include "foundation/string_utils.h"

namespace Vok::Tides {

namespace {

constexpr int32_t kContainerVersion = 1;
const char* const kReader = "Vok::Tides::CTideSettingsContainer::serialize_from";
// The fewest bytes an entry takes: its code, the base record (version, an empty name's length and
// the id for a strategy; version and id for a source) and its own version word, plus a source's
// node or observation id.
constexpr size_t kLeastStrategyBytes = 4 + 12 + 4;
constexpr size_t kLeastSourceBytes = 4 + 8 + 4 + 4;

template <typename List, typename Code>
void write_entries(IArchive& archive, const List& list, Code code) {
    archive.WriteUInt32(static_cast<uint32_t>(list.size()));
    for (const auto& entry : list) {
        archive.WriteInt32(code(*entry));
        entry->serialize_to(archive, 0);
    }
}

// Reads a count and that many entries into list; false when an archive error was raised and
// returned.
template <typename List, typename Create>
bool read_entries(IArchive& archive, List& list, Create create, size_t least_bytes, const char* kind) {
    const uint32_t count = read_u32(archive);
    if (!count_fits(archive, count, least_bytes)) return false;
    for (uint32_t k = 0; k < count; ++k) {
        auto entry = create(read_i32(archive));
        if (!entry) {
            archive.ThrowError(1, Format("Failed to create %s in %s", kind, kReader));
            return false;
        }
        entry->serialize_from(archive);
        // Only an id range used up to INT_MAX leaves no fresh id.
        if (list.add(std::move(entry)) == 0) {
            archive.ThrowError(1, Format("Failed to add %s in %s", kind, kReader));
            return false;
        }
    }
    return true;
}

template <typename S>
bool reset_reference_id(CTideStrategyBase& strategy) {
    auto* s = dynamic_cast<S*>(&strategy);
    if (s != nullptr) s->set_reference_id(-1);
    return s != nullptr;
}

}  // namespace

// --- The lists ----------------------------------------------------------------------------------

CTideStrategyBase* CTideStrategyList::find_using_model(eTideModel model) const { return find_if(uses_model(model)); }

void CTideStrategyList::reset_reference_ids() {
    for (const auto& s : _elements) {
        reset_reference_id<CTideStrategyComputed>(*s) || reset_reference_id<CTideStrategyFile>(*s) ||
            reset_reference_id<CTideStrategyGauge>(*s) || reset_reference_id<CTideStrategyClosest>(*s);
    }
}

bool CTideStrategyList::remove_source_id(uint32_t source_id) {
    bool held = false;
    for (const auto& s : _elements) {
        if (auto* with_sources = dynamic_cast<CTideStrategyWithSources*>(s.get()))
            held = with_sources->remove_source_id(source_id) || held;
    }
    return held;
}

CTideSourceBase* CTideSourceList::find_using_node(uint32_t node_id) const { return find_if(uses_node(node_id)); }

CTideSourceBase* CTideSourceList::find_using_observation(uint32_t observation_id) const {
    return find_if(uses_observation(observation_id));
}

CTideSourceBase* CTideSourceList::find_same_source(const CTideSourceBase& source) const {
    return find_if(is_same_source_as(source));
}

// --- CTideSettingsContainer ---------------------------------------------------------------------

CTideSettingsContainer::CTideSettingsContainer(const CTideSettingsContainer& other) : ISerializable() {
    *this = other;
}

CTideSettingsContainer& CTideSettingsContainer::operator=(const CTideSettingsContainer& other) {
    // Clones first: assigning a container to itself must not lose what it holds.
    CTideStrategyList strategies;
    strategies.assign_clones(other._strategies);
    CTideSourceList sources;
    sources.assign_clones(other._sources);
    clear();
    _strategies.swap(strategies);
    _sources.swap(sources);
    return *this;
}

CTideSettingsContainer::~CTideSettingsContainer() { clear(); }

void CTideSettingsContainer::clear() {
    _strategies.clear();
    _sources.clear();
}

void CTideSettingsContainer::serialize_to(IArchive& archive, uint32_t) const {
    archive.WriteInt32(kContainerVersion);
    write_entries(archive, _strategies, [](const CTideStrategyBase& s) { return static_cast<int32_t>(s.get_model()); });
    write_entries(archive, _sources, [](const CTideSourceBase& s) { return static_cast<int32_t>(s.get_type()); });
}

void CTideSettingsContainer::serialize_from(IArchive& archive) {
    // Read aside and swap in only when everything was read.
    CTideStrategyList strategies;
    CTideSourceList sources;
    int32_t version = 0;
    if (!read_record_version(archive, version, kContainerVersion, kContainerVersion, kReader) ||
        !read_entries(archive, strategies, create_tide_strategy, kLeastStrategyBytes, "CTideStrategyBase") ||
        !read_entries(archive, sources, create_tide_source, kLeastSourceBytes, "CTideSourceBase"))
        return;
    _strategies.swap(strategies);
    _sources.swap(sources);
}

bool CTideSettingsContainer::operator==(const CTideSettingsContainer& other) const {
    return _strategies == other._strategies && _sources == other._sources;
}

}  // namespace Vok::Tides
