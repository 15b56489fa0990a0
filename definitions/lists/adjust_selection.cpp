#include "definitions/lists/adjust_selection.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <set>
#include <vector>

#include "definitions/lists/adj_def_list.h"
#include "definitions/lists/adjust_def.h"
#include "definitions/records/definition_predicates.h"
#include "definitions/records/definition_types.h"
#include "definitions/lists/filter_def_lists.h"
#include "definitions/header/hdr_list.h"
#include "definitions/lists/node_def_list.h"
#include "definitions/lists/obj_def_list.h"
#include "definitions/lists/obs_def_list.h"
#include "definitions/lists/obs_type_properties.h"
#include "definitions/records/payload_bytes.h"
#include "definitions/lists/sys_def_list.h"
#include "definitions/tide/tide_settings.h"

namespace {

constexpr int32_t kRecordNodeLink = 230;
constexpr int kGpsRangesForOneSource = 4;

bool TypeIn(const sObsDef* o, std::initializer_list<int32_t> types) {
    return o != nullptr && std::find(types.begin(), types.end(), o->obsType) != types.end();
}

bool IsHeightAidingType(const sObsDef* o) { return TypeIn(o, {40, 71, 72}); }
bool IsHeightSourceType(const sObsDef* o) { return TypeIn(o, {20, 32, 40}); }
bool IsLinkObs(const sObsDef* o) { return IsUsblDzVerticalAngleOrLaybackObs(o) != 0; }

// The observations of the entries, taken before a walk that may add entries.
std::vector<sObsDef*> Observations(const CAdjustDef::Entries& entries) {
    std::vector<sObsDef*> out;
    for (const auto& e : entries) {
        if (e->obs != nullptr) out.push_back(e->obs);
    }
    return out;
}

std::vector<sObsDef*> ObservationsOfList(const CObsDefList* list) {
    std::vector<sObsDef*> out;
    if (list == nullptr) return out;
    for (sObsDef& o : *list) out.push_back(&o);
    return out;
}

// The objects at the two ends of the node-link header records (230), numbers looked up modulo
// 10000 as header records name nodes.
template <typename F>
void ForEachHeaderLink(const CHdrList* headers, const CNodeDefList* nodes, F f) {
    if (headers == nullptr || nodes == nullptr) return;
    for (const sHdrEntry& entry : *headers) {
        if (entry.recordId != kRecordNodeLink) continue;
        const auto from = entry.Word(0);
        const auto to = entry.Word(4);
        if (!from || !to) continue;
        const sNodeDef* a = nodes->FindById(nodes->FindIdByNumber(static_cast<int32_t>(*from)));
        const sNodeDef* b = nodes->FindById(nodes->FindIdByNumber(static_cast<int32_t>(*to)));
        if (a != nullptr && b != nullptr) f(*a, *b);
    }
}

// Searches from every object of the map not searched from yet (mark below 1), marks it 1 and adds
// the objects that search reaches with mark -1, until no object is added.
template <typename Search>
void ExpandMarks(CObjectMarks& marks, Search search) {
    bool added = true;
    while (added) {
        added = false;
        for (auto& [id, mark] : marks) {
            if (mark >= 1) continue;
            mark = 1;
            CObjectMarks further;
            search(id, further);
            for (const auto& reached : further) added = marks.emplace(reached.first, -1).second || added;
            if (added) break;  // the map changed: walk it again from the start
        }
    }
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// Node and object helpers

int32_t CAdjustDef::ObjectOfNodeId(int32_t nodeId) const {
    if (m_nodes == nullptr || nodeId < 1) return -1;
    return m_nodes->GetObjectId(nodeId);
}

bool CAdjustDef::PassesPositioningFilter(const sObsDef* observation) const {
    return IsPositioningObs(observation) != 0 || IsBundleObs(observation, m_nodes, m_objects, m_systems) != 0;
}

// ---------------------------------------------------------------------------------------------
// State changes

int CAdjustDef::SetObservationState(sObsDef* observation, uint32_t newState) {
    if (observation == nullptr) return 0;
    sAdjustEntry* e = FindEntryOfId(observation->id);
    if (e == nullptr) {
        AddObservation(observation, nullptr);
        e = FindEntryOfId(observation->id);
        if (e == nullptr) return 0;
    }
    if (e->state == newState) return 0;
    e->state = newState;
    if (newState == ADJ_ENTRY_USED) {
        const float minimum = std::max(m_Def.minInterval, 0.0f);
        if (e->interval > 0.0f && minimum > e->interval) {
            e->interval = minimum;
            if (e->ageLimit > 0.0f) e->ageLimit = minimum;
        }
    }
    UpdateContentFlags();
    UpdateDependants(observation);
    if (newState == ADJ_ENTRY_USED) UpdateMainSystem(true);
    return 1;
}

int CAdjustDef::UseObservation(sObsDef* observation) { return SetObservationState(observation, ADJ_ENTRY_USED); }

int CAdjustDef::ExcludeObservation(sObsDef* observation) {
    return SetObservationState(observation, ADJ_ENTRY_EXCLUDED);
}

int CAdjustDef::SetCompanionObservation(sObsDef* observation) {
    return SetObservationState(observation, ADJ_ENTRY_COMPANION);
}

void CAdjustDef::RemoveAllEntries() {
    m_Entries.clear();
    UpdateContentFlags();
}

void CAdjustDef::RemoveEntryAt(int index) {
    if (index < 0 || index >= GetEntryCount()) throw CInvalidArgException();
    m_Entries.erase(m_Entries.begin() + index);
    UpdateContentFlags();
}

int CAdjustDef::RemoveEntry(int32_t obsId) {
    if (obsId < 1) return 0;
    for (size_t i = 0; i < m_Entries.size(); ++i) {
        if (m_Entries[i]->GetObsId() == obsId) {
            RemoveEntryAt(static_cast<int>(i));
            return 1;
        }
    }
    return 0;
}

int CAdjustDef::RemoveObservation(const sObsDef* observation) {
    return observation != nullptr ? RemoveEntry(observation->id) : 0;
}

void CAdjustDef::UnlinkEntries() {
    for (const auto& e : m_Entries) {
        // An entry unlinked before keeps the ids it holds.
        if (e->obs != nullptr) e->obsId = e->obs->id > 0 ? static_cast<uint32_t>(e->obs->id) : 0u;
        if (e->node != nullptr) e->nodeId = e->node->id > 0 ? static_cast<uint32_t>(e->node->id) : 0u;
        if (e->toNode != nullptr) e->toNodeId = e->toNode->id > 0 ? static_cast<uint32_t>(e->toNode->id) : 0u;
        e->obs = nullptr;
        e->node = e->toNode = nullptr;
    }
}

void CAdjustDef::ResolveIds(const CNodeDefList* nodes, const CObsDefList* observations) {
    if (nodes == nullptr || observations == nullptr) return;
    Entries kept;
    for (auto& e : m_Entries) {
        if (e->obs == nullptr) {
            sObsDef* obs = observations->FindById(static_cast<int32_t>(e->obsId));
            if (obs == nullptr) continue;
            e->Link(obs, nodes->FindById(static_cast<int32_t>(e->nodeId)), nodes->FindById(static_cast<int32_t>(e->toNodeId)));
        }
        kept.push_back(std::move(e));
    }
    m_Entries = std::move(kept);
    UpdateContentFlags();
}

void CAdjustDef::Relink(const CNodeDefList* nodes, const CObsDefList* observations) {
    if (nodes == nullptr || observations == nullptr) return;
    Entries kept;
    for (auto& e : m_Entries) {
        // The id word, kept with the link, names the observation without reading the old record.
        sObsDef* obs = observations->FindById(static_cast<int32_t>(e->obsId));
        if (obs == nullptr) continue;
        e->Link(obs, nodes->FindById(obs->nodeId), nodes->FindById(obs->toNodeId));
        kept.push_back(std::move(e));
    }
    m_Entries = std::move(kept);
    UpdateContentFlags();
}

// ---------------------------------------------------------------------------------------------
// Queries

int CAdjustDef::IsObservationUsed(const sAdjustEntry* e) const { return e != nullptr && e->state == ADJ_ENTRY_USED ? 1 : 0; }
int CAdjustDef::IsObservationCompanion(const sAdjustEntry* e) const {
    return e != nullptr && e->state == ADJ_ENTRY_COMPANION ? 1 : 0;
}
int CAdjustDef::IsObservationExcluded(const sAdjustEntry* e) const {
    return e != nullptr && e->state == ADJ_ENTRY_EXCLUDED ? 1 : 0;
}
int CAdjustDef::IsObservationUsed(const sObsDef* o) const { return IsObservationUsed(GetEntry(o)); }
int CAdjustDef::IsObservationCompanion(const sObsDef* o) const { return IsObservationCompanion(GetEntry(o)); }
int CAdjustDef::IsObservationExcluded(const sObsDef* o) const { return IsObservationExcluded(GetEntry(o)); }
int CAdjustDef::IsObservationUsed(int32_t id) const { return IsObservationUsed(GetEntry(id)); }
int CAdjustDef::IsObservationCompanion(int32_t id) const { return IsObservationCompanion(GetEntry(id)); }
int CAdjustDef::IsObservationExcluded(int32_t id) const { return IsObservationExcluded(GetEntry(id)); }

int CAdjustDef::UsesNode(int32_t nodeId, bool includeOffsets, bool positioningOnly) const {
    if (nodeId < 1) return 0;
    for (const auto& e : m_Entries) {
        if (!e->IsUsed() || (e->obs->nodeId != nodeId && e->obs->toNodeId != nodeId)) continue;
        if (!includeOffsets && IsOffsetObs(e->obs) != 0) continue;
        if (positioningOnly && !PassesPositioningFilter(e->obs)) continue;
        return 1;
    }
    return 0;
}

int CAdjustDef::HasNode(int32_t nodeId, bool includeOffsets) const {
    if (nodeId < 1) return 0;
    for (const auto& e : m_Entries) {
        if (e->obs == nullptr || (e->obs->nodeId != nodeId && e->obs->toNodeId != nodeId)) continue;
        if (!includeOffsets && IsOffsetObs(e->obs) != 0) continue;
        return 1;
    }
    return 0;
}

int CAdjustDef::UsesSystem(int32_t sysId, int32_t objectId, bool positioningOnly) const {
    if (sysId < 1) return 0;
    for (const auto& e : m_Entries) {
        if (!e->IsUsed() || e->obs->sysId != sysId) continue;
        if (objectId >= 1 && ObjectOfNodeId(e->obs->nodeId) != objectId && ObjectOfNodeId(e->obs->toNodeId) != objectId)
            continue;
        if (positioningOnly && !PassesPositioningFilter(e->obs)) continue;
        return 1;
    }
    return 0;
}

int CAdjustDef::UsesSystemInState(const sSysDef* system, bool positioningOnly, uint32_t inState) const {
    if (system == nullptr || system->sysId < 1) return 0;
    for (const auto& e : m_Entries) {
        if (e->obs == nullptr || e->state != inState || e->obs->sysId != system->sysId) continue;
        if (positioningOnly && !PassesPositioningFilter(e->obs)) continue;
        return 1;
    }
    return 0;
}

int CAdjustDef::HasSystem(const sSysDef* system, int32_t objectId, bool positioningOnly) const {
    return system != nullptr ? UsesSystem(system->sysId, objectId, positioningOnly) : 0;
}

namespace {

// Whether the entry's first node is not fixed and lies on the object, or its second node is a
// variable node on it.
bool EntryOnObject(const sAdjustEntry& e, int32_t objectId, const CNodeDefList* nodes) {
    const sNodeDef* first = nodes->FindById(e.obs->nodeId);
    const sNodeDef* second = nodes->FindById(e.obs->toNodeId);
    return (first != nullptr && IsFixedNode(first) == 0 && first->objectId == objectId) ||
           (second != nullptr && IsVariableNode(second) != 0 && second->objectId == objectId);
}

}  // namespace

int CAdjustDef::UsesObject(int32_t objectId, const CNodeDefList* nodes, bool positioningOnly) const {
    if (nodes == nullptr) nodes = m_nodes;
    if (objectId < 1 || nodes == nullptr) return 0;
    for (const auto& e : m_Entries) {
        if (!e->IsUsed() || !EntryOnObject(*e, objectId, nodes)) continue;
        if (positioningOnly && !PassesPositioningFilter(e->obs)) continue;
        return 1;
    }
    return 0;
}

int CAdjustDef::HasObject(int32_t objectId, const CNodeDefList* nodes) const {
    if (nodes == nullptr) nodes = m_nodes;
    if (objectId < 1 || nodes == nullptr) return 0;
    for (const auto& e : m_Entries) {
        if (e->obs != nullptr && EntryOnObject(*e, objectId, nodes)) return 1;
    }
    return 0;
}

int CAdjustDef::UsesObjectOfNode(int32_t nodeId, const CObjDefList* objects, const CNodeDefList* nodes,
                                 bool positioningOnly) const {
    if (objects == nullptr || nodes == nullptr) return 0;
    const sObjDef* object = objects->FindByNode(nodeId, nodes);
    return object != nullptr ? UsesObject(object->objectId, nodes, positioningOnly) : 0;
}

int CAdjustDef::HasObjectOfNode(int32_t nodeId, const CObjDefList* objects, const CNodeDefList* nodes) const {
    if (objects == nullptr || nodes == nullptr) return 0;
    const sObjDef* object = objects->FindByNode(nodeId, nodes);
    return object != nullptr ? HasObject(object->objectId, nodes) : 0;
}

int CAdjustDef::HasSystemOnObject(int32_t sysId, int32_t objectId) const {
    if (sysId < 1) return 0;
    for (const auto& e : m_Entries) {
        if (e->obs == nullptr || e->obs->sysId != sysId) continue;
        if (objectId < 1 || ObjectOfNodeId(e->obs->nodeId) == objectId || ObjectOfNodeId(e->obs->toNodeId) == objectId)
            return 1;
    }
    return 0;
}

int CAdjustDef::HasObservationOfType(int32_t sysId, int32_t obsType) const {
    if (sysId < 1) return 0;
    for (const auto& e : m_Entries) {
        if (e->obs != nullptr && e->obs->sysId == sysId && e->obs->obsType == obsType) return 1;
    }
    return 0;
}

int CAdjustDef::UsesObservationOfType(int32_t sysId, int32_t obsType) const {
    if (sysId < 1) return 0;
    for (const auto& e : m_Entries) {
        if (e->IsUsed() && e->obs->sysId == sysId && e->obs->obsType == obsType) return 1;
    }
    return 0;
}

int CAdjustDef::UsesGpsOnObject(int32_t objectId) const {
    if (objectId < 1) return 0;
    for (const auto& e : m_Entries) {
        if (!e->IsUsed()) continue;
        if ((IsGpsObs(e->obs) != 0 || IsPositionObs(e->obs) != 0) && ObjectOfNodeId(e->obs->nodeId) == objectId)
            return 1;
        if (IsUsblObs(e->obs) != 0 && ObjectOfNodeId(e->obs->toNodeId) == objectId) return 1;
    }
    return 0;
}

int CAdjustDef::HasFixedNodeOrHeight(const CNodeDefList* nodes) const {
    if (nodes == nullptr) nodes = m_nodes;
    for (const auto& e : m_Entries) {
        if (!e->IsUsed()) continue;
        if (IsHeightSourceType(e->obs)) return 1;
        if (nodes == nullptr) continue;
        for (int32_t id : {e->obs->nodeId, e->obs->toNodeId}) {
            const sNodeDef* n = nodes->FindById(id);
            if (n != nullptr && n->nodeType == NODE_FIXED) return 1;
        }
    }
    return 0;
}

int CAdjustDef::HasHeightAiding(bool flag) const {
    if (!flag) return 0;
    return std::any_of(m_Entries.begin(), m_Entries.end(),
                       [](const auto& e) { return e->IsUsed() && IsHeightAidingType(e->obs); })
               ? 1
               : 0;
}

int CAdjustDef::HasHeightAidingOfSystem(int32_t sysId) const {
    return std::any_of(m_Entries.begin(), m_Entries.end(),
                       [&](const auto& e) { return e->IsUsed() && e->obs->sysId == sysId && IsHeightAidingType(e->obs); })
               ? 1
               : 0;
}

int CAdjustDef::HasHeightSourceOfSystem(int32_t sysId) const {
    return std::any_of(m_Entries.begin(), m_Entries.end(),
                       [&](const auto& e) { return e->IsUsed() && e->obs->sysId == sysId && IsHeightSourceType(e->obs); })
               ? 1
               : 0;
}

const sObsDef* CAdjustDef::FindListedObservation(const std::vector<const sObsDef*>& records) const {
    for (const sObsDef* r : records) {
        if (r != nullptr && r->id >= 1 && GetEntry(r->id) != nullptr) return r;
    }
    return nullptr;
}

sNodeDef* CAdjustDef::FindVariableNode(const CNodeDefList* nodes) const {
    if (nodes == nullptr) return nullptr;
    for (const sNodeDef& n : *nodes) {
        if (IsVariableNode(&n) == 0) continue;
        for (const auto& e : m_Entries) {
            if (e->obs != nullptr && (e->obs->nodeId == n.id || e->obs->toNodeId == n.id))
                return nodes->FindById(n.id);
        }
    }
    return nullptr;
}

int CAdjustDef::GetHeightMode(int32_t sysId) const {
    if (HasHeightAidingOfSystem(sysId) != 0) return 1;
    return HasHeightSourceOfSystem(sysId) != 0 ? 0 : -1;
}

int CAdjustDef::IsMainSystem(const sSysDef* system) const {
    return system != nullptr && system->sysId == m_Def.mainSysId ? 1 : 0;
}

int CAdjustDef::IsMainSystemType(const sSysDef* system) {
    if (system == nullptr) return 0;
    const int32_t t = system->sysType;
    return t == 2 || t == 10 || t == 11 || t == 12 ? 1 : 0;
}

// ---------------------------------------------------------------------------------------------
// Dependants and the main system

void CAdjustDef::UpdateDependants(sObsDef* observation) {
    if (observation == nullptr || m_observations == nullptr) return;
    if (m_objects != nullptr && m_nodes != nullptr && IsOffsetObs(observation) == 0 &&
        IsObservationUsed(observation) != 0) {
        for (int32_t nodeId : {observation->nodeId, observation->toNodeId}) {
            const int32_t objectId = ObjectOfNodeId(nodeId);
            if (objectId < 1) continue;
            for (sObsDef* offset : ObservationsOfList(m_observations)) {
                if (IsOffsetObs(offset) != 0 && ObjectOfNodeId(offset->nodeId) == objectId &&
                    IsObservationExcluded(offset) != 0)
                    UseObservation(offset);
            }
        }
    }
    if (IsUsblObs(observation) == 0) return;
    const int32_t objectId = ObjectOfNodeId(observation->nodeId);
    if (objectId < 1 || objectId != ObjectOfNodeId(observation->toNodeId)) return;
    sObsDef* partner = m_observations->FindByType(observation->obsType - 6, 0, observation->toNodeId);
    if (partner == nullptr) return;
    if (IsObservationUsed(observation) == 0) {
        if (IsObservationUsed(partner) == 0) UseObservation(partner);
    } else if (IsObservationUsed(partner) != 0) {
        SetCompanionObservation(partner);
    }
}

void CAdjustDef::UpdateAllDependants() {
    for (sObsDef* o : ObservationsOfList(m_observations)) UpdateDependants(o);
}

int CAdjustDef::UpdateMainSystem(bool search) {
    if (m_systems != nullptr && m_Def.mainSysId >= 1 && HasSystem(m_systems->FindById(m_Def.mainSysId), -1, true) != 0)
        return 1;
    if (!search || m_systems == nullptr) return 0;
    for (const sSysDef& s : *m_systems) {
        if (IsMainSystemType(&s) != 0 && HasSystem(&s, -1, true) != 0) {
            m_Def.mainSysId = s.sysId;
            return 1;
        }
    }
    return 0;
}

// ---------------------------------------------------------------------------------------------
// Builders

void CAdjustDef::BuildFromObservations(const CAdjDefList* templates) {
    for (sObsDef* o : ObservationsOfList(m_observations)) {
        if (PassesPositioningFilter(o)) {
            AddObservation(o, nullptr);
        } else if (IsAttitudeObs(o) == 0) {
            if (IsHeadingOrSpeedObs(o) != 0 || IsTideOrDraftObs(o) != 0) AddObservation(o, nullptr);
        } else {
            AddObservation(o, templates != nullptr ? templates->FindByObservation(o->id, -1) : nullptr);
            if (o->obsType != 51 || UsesSystem(o->sysId, -1, false) == 0) ExcludeObservation(o);
        }
        const int count = GetObsComponentCount(o);
        if (count > 0 && IsObservationExcluded(o) != 0) {
            // The group ends at the largest id: no id beyond it can be in the list.
            for (int k = 0; k < count && o->id <= INT32_MAX - k; ++k)
                ExcludeObservation(m_observations->FindById(o->id + k));
        }
    }
}

void CAdjustDef::SelectHeightSource(int32_t sysId, int mode) {
    if (UsesSystem(sysId, -1, false) == 0) return;
    for (sObsDef* o : Observations(m_Entries)) {
        if (o->sysId != sysId) continue;
        if (o->obsType == 32) {
            if (mode == 0)
                UseObservation(o);
            else
                ExcludeObservation(o);
        } else if (o->obsType == 40) {
            if (mode == 1)
                UseObservation(o);
            else
                ExcludeObservation(o);
        }
    }
}

void CAdjustDef::ExcludeObject(const sObjDef* object) {
    if (object == nullptr) return;
    const int32_t objectId = object->objectId;
    for (sObsDef* o : Observations(m_Entries)) {
        if (PassesPositioningFilter(o) && ObjectOfNodeId(o->nodeId) == objectId) {
            ExcludeObservation(o);
            const sSysDef* system = m_systems != nullptr ? m_systems->FindById(o->sysId) : nullptr;
            if (system == nullptr || IsComputedSystem(system) != 0) continue;
            for (sObsDef* same : Observations(m_Entries)) {
                if (same->sysId == o->sysId) ExcludeObservation(same);
            }
            if (system->sysType == 2) UpdateAllDependants();
        } else if (ObjectOfNodeId(o->toNodeId) == objectId) {
            ExcludeObservation(o);
        }
    }
    UpdateContentFlags();
}

void CAdjustDef::ExcludeSystem(const sSysDef* system) {
    if (system == nullptr || IsComputedSystem(system) != 0) return;
    for (sObsDef* o : Observations(m_Entries)) {
        if (o->sysId == system->sysId) ExcludeObservation(o);
    }
    UpdateContentFlags();
    if (system->sysType == 2) UpdateAllDependants();
}

void CAdjustDef::UseSystem(const sSysDef* system, const CHdrList* headers, bool checkHeightSources) {
    if (system == nullptr || m_observations == nullptr) return;
    const int32_t sysId = system->sysId;
    const int mode = GetHeightMode(sysId);
    for (sObsDef* o : ObservationsOfList(m_observations)) {
        if (o->sysId != sysId) continue;
        const int32_t t = o->obsType;
        bool use = true;
        if (IsPositioningOrSensorObs(o) == 0) {
            use = false;
        } else if (t == 32 || t == 40) {
            if (checkHeightSources && HasHeightSourceForRule(ObjectOfNodeId(o->nodeId), sysId, headers))
                use = false;
            else
                use = (t == 32) == (mode == 0);
        } else if (t == 45) {
            const int32_t from = ObjectOfNodeId(o->nodeId);
            const int32_t to = ObjectOfNodeId(o->toNodeId);
            int count = 0;
            int32_t source = -1;
            if (checkHeightSources && from != to && CountHeightSources(to, m_nodes, sysId, count, source))
                use = false;
            else
                use = (from >= 1 && from == to) || mode == 0;
        }
        if (use)
            UseObservation(o);
        else
            ExcludeObservation(o);
    }
}

// ---------------------------------------------------------------------------------------------
// Height sources

bool CAdjustDef::CountHeightSources(int32_t objectId, const CNodeDefList* nodes, int32_t excludedSysId, int& count,
                                    int32_t& obsId) const {
    if (nodes == nullptr) nodes = m_nodes;
    count = 0;
    obsId = -1;
    int ranges = 0;
    int32_t firstHeight = -1, firstRange = -1;
    if (nodes == nullptr || objectId < 1) return false;
    for (const auto& e : m_Entries) {
        if (!e->IsUsed() || e->obs->sysId == excludedSysId) continue;
        const sNodeDef* first = nodes->FindById(e->obs->nodeId);
        if (first == nullptr || first->objectId != objectId) continue;
        if (first->nodeType == NODE_FIXED) ++count;
        if (TypeIn(e->obs, {32, 40})) {
            ++count;
            if (firstHeight < 0) firstHeight = e->obs->id;
        } else if (e->obs->obsType == 20 && HasHeightAidingOfSystem(e->obs->sysId) == 0) {
            ++ranges;
            if (firstRange < 0) firstRange = e->obs->id;
        }
    }
    if (ranges >= kGpsRangesForOneSource) ++count;
    obsId = firstHeight >= 0 ? firstHeight : firstRange;
    return count >= 1;
}

bool CAdjustDef::CountHeightAiding(int32_t objectId, const CNodeDefList* nodes, int32_t excludedSysId, int& count,
                                   int32_t& obsId) const {
    if (nodes == nullptr) nodes = m_nodes;
    count = 0;
    obsId = -1;
    if (nodes == nullptr || objectId < 1) return false;
    for (const auto& e : m_Entries) {
        if (!e->IsUsed() || e->obs->obsType != 40 || e->obs->sysId == excludedSysId) continue;
        const sNodeDef* first = nodes->FindById(e->obs->nodeId);
        if (first == nullptr || first->objectId != objectId) continue;
        if (count++ == 0) obsId = e->obs->id;
    }
    return count >= 1;
}

bool CAdjustDef::HasOwnHeight(int32_t objectId, bool aiding) const {
    int count = 0;
    int32_t source = -1;
    return aiding ? CountHeightAiding(objectId, m_nodes, -1, count, source)
                  : CountHeightSources(objectId, m_nodes, -1, count, source);
}

template <typename F>
bool CAdjustDef::AnyUsedLink(int32_t objectId, F f) const {
    if (m_nodes == nullptr) return false;
    for (const auto& e : m_Entries) {
        if (!e->IsUsed() || !IsLinkObs(e->obs)) continue;
        const sNodeDef* a = m_nodes->FindById(e->obs->nodeId);
        const sNodeDef* b = m_nodes->FindById(e->obs->toNodeId);
        if (a == nullptr || b == nullptr || a->objectId == -1 || b->objectId == -1) continue;
        const sNodeDef* far = a->objectId == objectId ? b : b->objectId == objectId ? a : nullptr;
        if (far != nullptr && far->objectId != objectId && f(*e->obs, *far)) return true;
    }
    return false;
}

bool CAdjustDef::SearchLinks(int32_t objectId, std::set<int32_t>& visited, bool aiding, int32_t& obsId) const {
    return AnyUsedLink(objectId, [&](const sObsDef& link, const sNodeDef& far) {
        // Each object is entered once, so a cycle of links ends.
        if (!visited.insert(far.objectId).second) return false;
        int32_t further = -1;
        if (!HasOwnHeight(far.objectId, aiding) && !SearchLinks(far.objectId, visited, aiding, further)) return false;
        obsId = link.id;
        return true;
    });
}

bool CAdjustDef::FindHeightSourceByLinks(int32_t objectId, int32_t& obsId) const {
    obsId = -1;
    std::set<int32_t> visited{objectId};
    return HasOwnHeight(objectId, false) || SearchLinks(objectId, visited, false, obsId);
}

bool CAdjustDef::FindHeightAidingByLinks(int32_t objectId, int32_t& obsId) const {
    obsId = -1;
    std::set<int32_t> visited{objectId};
    return HasOwnHeight(objectId, true) || SearchLinks(objectId, visited, true, obsId);
}

bool CAdjustDef::HasHeightSourceThroughLinks(int32_t objectId, int32_t excludedSysId, const CHdrList* headers) const {
    return HasHeightSourceForRule(objectId, excludedSysId, headers);
}

bool CAdjustDef::HasHeightSourceForRule(int32_t objectId, int32_t sysId, const CHdrList* headers) const {
    if (m_nodes == nullptr || objectId < 1) return false;
    int count = 0;
    int32_t source = -1;
    if (CountHeightSources(objectId, m_nodes, sysId, count, source)) return true;
    const bool linked = AnyUsedLink(objectId, [&](const sObsDef&, const sNodeDef& far) {
        std::set<int32_t> visited{objectId, far.objectId};
        return far.nodeType == NODE_FIXED || HasOwnHeight(far.objectId, false) ||
               SearchLinks(far.objectId, visited, false, source);
    });
    if (linked) return true;
    if (headers == nullptr) return false;
    // Through the node links of the header records, each object searched once.
    std::set<int32_t> visited{objectId};
    std::vector<int32_t> pending{objectId};
    while (!pending.empty()) {
        const int32_t from = pending.back();
        pending.pop_back();
        bool found = false;
        ForEachHeaderLink(headers, m_nodes, [&](const sNodeDef& a, const sNodeDef& b) {
            const sNodeDef* far = a.objectId == from ? &b : b.objectId == from ? &a : nullptr;
            if (found || far == nullptr || far->objectId < 1 || !visited.insert(far->objectId).second) return;
            found = CountHeightSources(far->objectId, m_nodes, -1, count, source);
            pending.push_back(far->objectId);
        });
        if (found) return true;
    }
    return false;
}

// ---------------------------------------------------------------------------------------------
// Connected objects

bool CAdjustDef::ConnectedObjects(CObjectMarks& marks, int32_t startId, const CObjDefList* objects,
                                  const CNodeDefList* nodes, const CHdrList* headers, bool recurse,
                                  bool letNonRigid) const {
    if (startId == -1 || startId == -2 || objects == nullptr || nodes == nullptr || headers == nullptr) return false;
    const sObjDef* start = objects->FindById(startId);
    if (start == nullptr || (!letNonRigid && IsRigidObject(start) == 0)) return false;
    marks.clear();
    ForEachHeaderLink(headers, nodes, [&](const sNodeDef& a, const sNodeDef& b) {
        if (a.objectId == b.objectId) return;
        const int32_t other = a.objectId == startId ? b.objectId : b.objectId == startId ? a.objectId : 0;
        if (other == 0) return;
        if (!letNonRigid && IsRigidObject(objects->FindById(other)) == 0) return;
        if (UsesObject(startId, nodes, true) != 0) marks[startId] = 1;
        if (UsesObject(other, nodes, true) != 0 && marks.count(other) == 0) marks[other] = -1;
    });
    if (recurse) {
        ExpandMarks(marks, [&](int32_t id, CObjectMarks& further) {
            ConnectedObjects(further, id, objects, nodes, headers, false, letNonRigid);
        });
    }
    marks.erase(startId);
    return !marks.empty();
}

bool CAdjustDef::ConnectedObjectsByVariableNodes(CObjectMarks& marks, int32_t startId, const CObjDefList* objects,
                                                 const CNodeDefList* nodes, const CHdrList* headers,
                                                 const sConnectOptions& options) const {
    const bool letNonRigid = options.LetsNonRigidThrough();
    if (startId == -1 || startId == -2 || objects == nullptr || nodes == nullptr) return false;
    const sObjDef* start = objects->FindById(startId);
    if (start == nullptr || (!letNonRigid && IsRigidObject(start) == 0)) return false;
    marks.clear();
    const uint32_t directions = options.GetDirections();
    const auto follow = [&](const sNodeDef& a, const sNodeDef& b) {
        if (IsVariableNode(&a) == 0 || IsVariableNode(&b) == 0 || a.objectId == b.objectId) return;
        int32_t other = 0;
        if ((directions & sConnectOptions::DIRECTION_FIRST) != 0 && a.objectId == startId) other = b.objectId;
        if ((directions & sConnectOptions::DIRECTION_SECOND) != 0 && b.objectId == startId) other = a.objectId;
        if (other < 1) return;
        if (!letNonRigid && IsRigidObject(objects->FindById(other)) == 0) return;
        if (UsesObject(startId, nodes, true) != 0) marks[startId] = 1;
        if (UsesObject(other, nodes, true) != 0 && marks.count(other) == 0) marks[other] = -1;
    };
    if (options.FollowsLinkRecords()) ForEachHeaderLink(headers, nodes, follow);
    if (options.FollowsOwnObservations()) {
        for (const auto& e : m_Entries) {
            if (!e->IsUsed()) continue;
            const sNodeDef* a = nodes->FindById(e->obs->nodeId);
            const sNodeDef* b = nodes->FindById(e->obs->toNodeId);
            if (a != nullptr && b != nullptr) follow(*a, *b);
        }
    }
    if (options.Recurses()) {
        // Further on only the set-up's own observations count as links.
        const sConnectOptions once = options.With(0, sConnectOptions::FOLLOW_OWN_OBSERVATIONS);
        ExpandMarks(marks, [&](int32_t id, CObjectMarks& further) {
            ConnectedObjectsByVariableNodes(further, id, objects, nodes, headers, once);
        });
    }
    marks.erase(startId);
    return !marks.empty();
}

int CAdjustDef::UsesObjectConnected(int32_t objectId, const CObjDefList* objects, const CNodeDefList* nodes,
                                    const CHdrList* headers) const {
    if (UsesObject(objectId, nodes, false) != 0) return 1;
    CObjectMarks marks;
    ConnectedObjects(marks, objectId, objects, nodes, headers, true, true);
    for (const auto& [id, mark] : marks) {
        (void)mark;
        if (UsesObject(id, nodes, false) != 0) return 1;
    }
    return 0;
}

int CAdjustDef::HasObjectConnected(int32_t objectId, const CObjDefList* objects, const CNodeDefList* nodes,
                                   const CHdrList* headers) const {
    if (HasObject(objectId, nodes) != 0) return 1;
    CObjectMarks marks;
    ConnectedObjects(marks, objectId, objects, nodes, headers, true, true);
    for (const auto& [id, mark] : marks) {
        (void)mark;
        if (HasObject(id, nodes) != 0) return 1;
    }
    return 0;
}

// ---------------------------------------------------------------------------------------------
// Filters and intervals

std::vector<int32_t> CAdjustDef::GetUsedObjectIds() const {
    std::vector<int32_t> ids;
    if (m_objects == nullptr) return ids;
    for (const sObjDef& o : *m_objects) {
        if (UsesObject(o.objectId, m_nodes, true) != 0) ids.push_back(o.objectId);
    }
    return ids;
}

void CAdjustDef::AdjustFilterInterval(sFiltDef* filter, double seconds) const {
    if (filter == nullptr) return;
    if (seconds == 0.0) seconds = std::max(m_Def.minInterval, 0.0f);
    if (filter->filterInterval < seconds) filter->filterInterval = seconds;
    if (filter->filterInterval > filter->secondInterval) filter->secondInterval = filter->filterInterval * 30.0 / 5.0;
}

void CAdjustDef::SyncFilterDefs(CFiltDefList* filters, const CObjDefList* objects, const CNodeDefList* nodes) {
    // Without an id of its own the set-up keys no filter definition: one made for it could never be
    // found or deleted again.
    if (filters == nullptr || objects == nullptr || m_Def.id < 1) return;
    for (const sObjDef& o : *objects) {
        const sFiltDef* existing = filters->FindByKeys(m_Def.id, o.objectId);
        const bool has = HasObject(o.objectId, nodes) != 0;
        if (has && existing == nullptr) {
            sFiltDef def;
            InitFiltDef(&def);
            def.setupId = m_Def.id;
            def.objectId = o.objectId;
            AdjustFilterInterval(&def, 0.0);
            filters->Add(def);
        } else if (!has && existing != nullptr) {
            filters->Delete(existing);
        }
    }
}

void CAdjustDef::SyncFilterDefsFrom(const CAdjustDef& other, CFiltDefList* filters, const CObjDefList* objects,
                                    const CNodeDefList* nodes) {
    if (filters == nullptr || objects == nullptr || m_Def.id < 1) return;
    for (const sObjDef& o : *objects) {
        if (HasObject(o.objectId, nodes) == 0 || filters->FindByKeys(m_Def.id, o.objectId) != nullptr) continue;
        const sFiltDef* source = filters->FindByKeys(other.m_Def.id, o.objectId);
        if (source == nullptr) continue;
        sFiltDef def = *source;
        def.setupId = m_Def.id;
        AdjustFilterInterval(&def, 0.0);
        filters->Add(def);
    }
    SyncFilterDefs(filters, objects, nodes);
}

void CAdjustDef::SetMinUpdateInterval(float seconds) {
    if (seconds < sAdjustDef::kMinInterval || seconds > sAdjustDef::kMaxInterval) return;
    for (const auto& e : m_Entries) {
        if (!e->IsUsed() || !PassesPositioningFilter(e->obs)) continue;
        if (e->interval > 0.0f && e->interval < seconds) {
            e->interval = seconds;
            if (e->ageLimit > 0.0f) e->ageLimit = seconds;
        }
    }
    if (m_filters == nullptr) return;
    for (int32_t objectId : GetUsedObjectIds()) AdjustFilterInterval(m_filters->FindByKeys(m_Def.id, objectId), seconds);
}

void CAdjustDef::RaiseEntryInterval(int32_t obsId, float interval) {
    sAdjustEntry* e = GetEntry(obsId);
    if (e == nullptr || !(e->interval > 0.0f && e->interval < interval)) return;
    e->interval = interval;
    if (e->ageLimit > 0.0f) e->ageLimit = interval;
}

void CAdjustDef::ApplyIntervalToObjects(const CAdjDefList* setups, float interval) {
    if (interval == 0.0f) interval = std::max(m_Def.minInterval, 0.0f);
    if (setups == nullptr || m_objects == nullptr || interval < sAdjustDef::kMinInterval ||
        interval > sAdjustDef::kMaxInterval)
        return;
    for (int32_t objectId : GetUsedObjectIds()) {
        const sObjDef* object = m_objects->FindById(objectId);
        if (object == nullptr) continue;
        for (CAdjustDef& s : *setups) s.RaiseObjectIntervals(*object, m_tides, interval);
    }
}

void CAdjustDef::RaiseObjectIntervals(const sObjDef& object, const Vok::Tides::CTideSettingsContainer* tides,
                                      float interval) {
    for (const int32_t* table : {object.settings1, object.settings2, object.codeTable}) {
        for (size_t k = 0; k < sObjDef::kCodeCount; ++k) RaiseEntryInterval(table[k], interval);
    }
    if (tides != nullptr) {
        for (const auto& source : tides->get_sources()) {
            const auto* observed = dynamic_cast<const Vok::Tides::CTideSourceObservation*>(source.get());
            if (observed != nullptr) RaiseEntryInterval(static_cast<int32_t>(observed->get_observation_id()), interval);
        }
    }
    for (size_t k = 0; k < sObjDef::kCodeCount; ++k) RaiseEntryInterval(object.settings5[k], interval);
}

void CAdjustDef::ApplyIntervalToSystem(const sSysDef* system, float interval) {
    if (system == nullptr || m_objects == nullptr) return;
    const sObjDef* object = m_objects->FindBySystem(system->sysId, m_observations, m_nodes);
    if (object == nullptr) return;
    if (interval == 0.0f) interval = std::max(m_Def.minInterval, 0.0f);
    if (interval < sAdjustDef::kMinInterval || interval > sAdjustDef::kMaxInterval || UsesObject(object->objectId, m_nodes, true) == 0)
        return;
    RaiseObjectIntervals(*object, m_tides, interval);
}

double CAdjustDef::GetFilterInterval(const CFiltDefList* filters, const CObjDefList* objects,
                                     const CNodeDefList* nodes) const {
    if (m_Def.secondInterval > 0.0f) return m_Def.secondInterval;
    double result = 5.0;
    if (filters == nullptr || objects == nullptr || nodes == nullptr) return result;
    for (const sObjDef& o : *objects) {
        if (UsesObject(o.objectId, nodes, true) == 0) continue;
        const sFiltDef* f = filters->FindByKeys(m_Def.id, o.objectId);
        if (f != nullptr) result = std::min(result, f->filterInterval);
    }
    return result;
}

// ---------------------------------------------------------------------------------------------
// Content flags and comparison

void CAdjustDef::UpdateContentFlags(const CNodeDefList* nodes, const CObjDefList* objects) {
    if (nodes == nullptr || objects == nullptr) return;
    uint32_t flags = 0;
    for (const auto& e : m_Entries) {
        if (!e->IsUsed()) continue;
        if (IsHeightAidingType(e->obs)) {
            flags |= ADJ_CONTENT_HEIGHT_AIDING;
        } else if (TypeIn(e->obs, {20, 32}) && IsVesselOrTowedObject(objects->FindByNode(e->obs->nodeId, nodes)) != 0) {
            flags |= ADJ_CONTENT_VESSEL_HEIGHT;
        }
    }
    constexpr uint32_t mask = ADJ_CONTENT_VESSEL_HEIGHT | ADJ_CONTENT_HEIGHT_AIDING;
    m_Def.contentFlags = (m_Def.contentFlags & ~mask) | flags;
}

int CAdjustDef::CompareEntries(const CAdjustDef& other) const {
    const auto names = [](const sAdjustEntry& e) {
        return GetObsDefName(e.obs) + "|" + GetNodeDefName(e.node) + "|" + GetNodeDefName(e.toNode);
    };
    for (const auto& e : m_Entries) {
        const sAdjustEntry* match = e->obs != nullptr ? other.FindEntryOfId(e->obs->id) : nullptr;
        if (match == nullptr || names(*e) != names(*match)) return 999;
    }
    for (const auto& e : other.m_Entries) {
        if (e->obs == nullptr || FindEntryOfId(e->obs->id) == nullptr) return 999;
    }
    return 0;
}

namespace {

// The option byte with the three bytes after it, as the stored image holds them.
uint32_t Word172(const sAdjustDef& d) {
    return Vok::Definitions::LoadAt<uint32_t>(reinterpret_cast<const uint8_t*>(&d), offsetof(sAdjustDef, option172));
}

}  // namespace

int CAdjustDef::Compare(const CAdjustDef& other) const {
    if (const int c = CompareEntries(other); c != 0) return c;
    if (const int c = std::strcmp(GetName(), other.GetName()); c != 0) return c;
    const sAdjustDef& a = m_Def;
    const sAdjustDef& b = other.m_Def;
    if (a.id != b.id || a.mainSysId != b.mainSysId || a.level != b.level || a.contentFlags != b.contentFlags ||
        a.optionFlags != b.optionFlags || a.option72 != b.option72 || a.option76 != b.option76 ||
        a.option80 != b.option80 || a.option84 != b.option84 || a.minInterval != b.minInterval ||
        a.secondInterval != b.secondInterval || a.priority != b.priority ||
        Word172(a) != Word172(b))
        return 999;
    if (const int c = std::strcmp(FieldText(a.refNode.name), FieldText(b.refNode.name)); c != 0) return c;
    const sAdjustRefNode& r = a.refNode;
    const sAdjustRefNode& q = b.refNode;
    if (r.nodeId != q.nodeId || r.number != q.number || r.satelliteId != q.satelliteId || r.objectId != q.objectId ||
        r.x != q.x || r.y != q.y || r.z != q.z)
        return 888;
    return 0;
}
