#include "definitions/lists/adj_def_list.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <exception>
#include <set>
#include <utility>

#include "definitions/records/definition_predicates.h"
#include "definitions/lists/definition_tree.h"
#include "definitions/records/definition_types.h"
#include "definitions/lists/node_def_list.h"
#include "definitions/lists/obj_def_list.h"
#include "definitions/lists/obs_def_list.h"
#include "definitions/lists/obs_type_properties.h"
#include "definitions/records/payload_bytes.h"
#include "foundation/saturating_cast.h"
#include "platform/ipc_buffer_handle.h"

using Vok::Definitions::LoadAt;

namespace {

constexpr double kEcefLatitudeFactor = 0.99330562000986;
constexpr double kDegreesToRadians = 0.017453292519943295;
constexpr size_t kOldEntrySize = 48;
constexpr size_t kOldDefSize = 168;
constexpr size_t kVersion0Extra = 4 + 144;

bool ValidInterval(float interval) {
    return interval >= sAdjustDef::kMinInterval && interval <= sAdjustDef::kMaxInterval;
}

bool HasPlanarReference(const CAdjustDef& s) { return s.m_Def.refNode.x != 0.0 || s.m_Def.refNode.y != 0.0; }

// The rank after m; ranks read from a file may already stand at the largest one.
int32_t NextRank(int32_t m) { return m < INT32_MAX ? m + 1 : INT32_MAX; }

uint32_t Bit(bool on, uint32_t bit) { return on ? bit : 0u; }

// An entry from a stored record of the given version, for its observation.
sAdjustEntry EntryFromRecord(const uint8_t* r, uint32_t version, const sObsDef& obs) {
    sAdjustEntry e;
    if (version >= 4) {
        std::memcpy(static_cast<sAdjustEntryImage*>(&e), r, sizeof(sAdjustEntryImage));
        return e;
    }
    const auto word = [r](size_t offset) { return LoadAt<uint32_t>(r, offset); };
    e.state = ADJ_ENTRY_USED;
    e.optionFlags = Bit(word(4) != 0, 1) | Bit(word(20) != 0, 2) | Bit(word(12) != 0, 4);
    e.weight = LoadAt<float>(r, 8);
    e.option12 = LoadAt<float>(r, 16);
    const auto extrapolation = static_cast<float>(GetObsTypeDefaultMaxExtrapolation());
    if (version <= 2) {
        e.sigma = LoadAt<float>(r, 32);
        e.interval = static_cast<float>(word(24));
        e.ageLimit = extrapolation;
        return e;
    }
    e.optionFlags |= Bit(r[56] != 0, 0x10) | Bit(r[68] != 0, 0x20);
    e.kindFlags = word(24);
    e.sigma = LoadAt<float>(r, 28);
    e.interval = LoadAt<float>(r, 52);
    if (e.interval == 0.0f) e.interval = GetObsTypeDefaultInterval(obs.obsType);
    e.ageLimit = extrapolation != 0.0f ? e.interval : extrapolation;
    e.sigma3 = LoadAt<float>(r, 64);
    // Stored values beyond the integer range are limited to it.
    e.option60 = Vok::TruncToInt32(LoadAt<float>(r, 72));
    e.option64 = Vok::TruncToInt32(LoadAt<float>(r, 76));
    return e;
}

uint32_t StoredObsId(const uint8_t* r, uint32_t version) { return LoadAt<uint32_t>(r, version <= 2 ? 36 : 32); }

bool ReadExactly(CFile& file, void* buffer, size_t count) {
    return file.Read(buffer, static_cast<UINT>(count)) == count;
}

ULONGLONG Remaining(const CFile& file) {
    const ULONGLONG length = file.GetLength();
    const ULONGLONG position = file.GetPosition();
    return position < length ? length - position : 0;
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// The list

CAdjustDef* CAdjDefList::AddTail(std::unique_ptr<CAdjustDef> setup) {
    m_setups.push_back(std::move(setup));
    return m_setups.back().get();
}

CAdjustDef* CAdjDefList::AddHead(std::unique_ptr<CAdjustDef> setup) {
    m_setups.insert(m_setups.begin(), std::move(setup));
    return m_setups.front().get();
}

void CAdjDefList::RemoveAll() {
    m_setups.clear();
    m_Version = 0;
}

CAdjustDef* CAdjDefList::FindById(int32_t id) const {
    const int index = GetIndexById(id);
    return index < 0 ? nullptr : m_setups[static_cast<size_t>(index)].get();
}

CAdjustDef* CAdjDefList::GetAt(int index) const {
    return index >= 0 && index < GetCount() ? m_setups[static_cast<size_t>(index)].get() : nullptr;
}

int CAdjDefList::GetIndexById(int32_t id) const {
    if (id < 1) return -1;
    for (size_t i = 0; i < m_setups.size(); ++i) {
        if (m_setups[i]->GetId() == id) return static_cast<int>(i);
    }
    return -1;
}

CString CAdjDefList::GetNameById(int32_t id) const {
    const CAdjustDef* s = FindById(id);
    return s != nullptr ? s->GetName() : CString();
}

int32_t CAdjDefList::GetFreeId() const {
    int32_t id = 1;
    while (FindById(id) != nullptr) ++id;
    return id;
}

int CAdjDefList::CountUpToLevel(int32_t maxLevel) const {
    return static_cast<int>(std::count_if(m_setups.begin(), m_setups.end(),
                                          [&](const auto& s) { return s->m_Def.level <= maxLevel; }));
}

CAdjustDef* CAdjDefList::FindByPriority(int32_t rank, int32_t maxLevel) const {
    for (const auto& s : m_setups) {
        if (s->m_Def.level <= maxLevel && s->GetPriorityRank() == rank) return s.get();
    }
    return nullptr;
}

CString CAdjDefList::GetNameByPriority(int32_t rank, int32_t maxLevel) const {
    const CAdjustDef* s = FindByPriority(rank, maxLevel);
    return s != nullptr ? s->GetName() : CString();
}

int32_t CAdjDefList::GetIdByPriority(int32_t rank, int32_t maxLevel) const {
    const CAdjustDef* s = FindByPriority(rank, maxLevel);
    return s != nullptr ? s->GetId() : -1;
}

int32_t CAdjDefList::GetMaxPriority(int32_t maxLevel) const {
    int32_t best = -1;
    for (const auto& s : m_setups) {
        if (s->m_Def.level <= maxLevel) best = std::max(best, s->GetPriorityRank());
    }
    return best;
}

bool CAdjDefList::HasContentFlag(int32_t maxLevel) const {
    return std::any_of(m_setups.begin(), m_setups.end(), [&](const auto& s) {
        return s->m_Def.level <= maxLevel && (s->m_Def.contentFlags & ADJ_CONTENT_VESSEL_HEIGHT) != 0;
    });
}

bool CAdjDefList::HasHeightAidingContent(int32_t maxLevel) const {
    return std::any_of(m_setups.begin(), m_setups.end(), [&](const auto& s) {
        return s->m_Def.level <= maxLevel && (s->m_Def.contentFlags & ADJ_CONTENT_HEIGHT_AIDING) != 0;
    });
}

sAdjustEntry* CAdjDefList::FindByObservation(int32_t obsId, int32_t state) const {
    if (obsId < 1) return nullptr;
    for (const auto& s : m_setups) {
        for (const auto& e : s->m_Entries) {
            if (e->obs != nullptr && e->obs->id == obsId && (state == -1 || e->state == static_cast<uint32_t>(state)))
                return e.get();
        }
    }
    return nullptr;
}

sAdjustEntry* CAdjDefList::FindByObservation(const sObsDef* observation, int32_t state) const {
    return observation != nullptr ? FindByObservation(observation->id, state) : nullptr;
}

CAdjustDef* CAdjDefList::FindSetupOrFirstPriority(int32_t setupId) const {
    return setupId > 0 ? FindById(setupId) : FindByPriority(0, 0);
}

sAdjustEntry* CAdjDefList::FindSetupEntry(int32_t obsId, int32_t setupId) const {
    const CAdjustDef* s = FindSetupOrFirstPriority(setupId);
    return s != nullptr ? s->GetEntry(obsId) : nullptr;
}

sAdjustEntry* CAdjDefList::FindSetupEntry(const sObsDef* observation, int32_t setupId) const {
    return observation != nullptr ? FindSetupEntry(observation->id, setupId) : nullptr;
}

// ---------------------------------------------------------------------------------------------
// Whole list

void CAdjDefList::Copy(const CAdjDefList& other) {
    if (this == &other) return;
    RemoveAll();
    m_Version = other.m_Version;
    for (const auto& s : other.m_setups) m_setups.push_back(std::make_unique<CAdjustDef>(*s));
}

int CAdjDefList::Compare(const CAdjDefList& other) const {
    if (GetCount() != other.GetCount()) return GetCount() - other.GetCount();
    for (size_t i = 0; i < m_setups.size(); ++i) {
        const int c = m_setups[i]->Compare(*other.m_setups[i]);
        if (c != 0) return c;
    }
    return 0;
}

int CAdjDefList::UnlinkEntries(const CNodeDefList* nodes, const CObsDefList* observations) {
    if (nodes == nullptr || observations == nullptr) return 0;
    for (const auto& s : m_setups) s->UnlinkEntries();
    return 1;
}

int CAdjDefList::ResolveIds(const CNodeDefList* nodes, const CObsDefList* observations) {
    if (nodes == nullptr || observations == nullptr) return 0;
    for (const auto& s : m_setups) s->ResolveIds(nodes, observations);
    return 1;
}

int CAdjDefList::Relink(const CNodeDefList* nodes, const CObsDefList* observations) {
    if (nodes == nullptr || observations == nullptr) return 0;
    for (const auto& s : m_setups) s->Relink(nodes, observations);
    return 1;
}

void CAdjDefList::UpdateAllDependants() {
    for (const auto& s : m_setups) s->UpdateAllDependants();
}

float CAdjDefList::GetMaxUpdateInterval(int32_t obsType, bool requirePositive, bool usedOnly) const {
    if (m_setups.empty()) return GetObsTypeDefaultInterval(obsType);
    float result = 0.0f;
    bool first = true;
    for (const auto& s : m_setups) {
        const float v = s->GetMaxUpdateInterval(obsType, requirePositive, usedOnly);
        if (requirePositive && v <= 0.0f) return 0.0f;
        if (first || v > result) result = v;
        first = false;
    }
    return result;
}

float CAdjDefList::GetMinUpdateInterval(int32_t obsType, bool requirePositive, bool usedOnly) const {
    if (m_setups.empty()) return GetObsTypeDefaultInterval(obsType);
    float result = 0.0f;
    bool found = false;
    for (const auto& s : m_setups) {
        const float v = s->GetMaxUpdateInterval(obsType, requirePositive, usedOnly);
        if (v <= 0.0f) {
            if (requirePositive) return 0.0f;
            continue;
        }
        if (!found || v < result) result = v;
        found = true;
    }
    return result;
}

void CAdjDefList::SetUpdateInterval(int32_t obsId, float interval, uint8_t factor) {
    for (const auto& s : m_setups) {
        sAdjustEntry* e = s->GetEntry(obsId);
        if (e == nullptr) continue;
        e->interval = interval;
        e->ageLimit = static_cast<float>(factor) * interval;
        if (ValidInterval(interval) && interval < s->m_Def.minInterval) s->m_Def.minInterval = interval;
    }
}

void CAdjDefList::SetUpdateIntervalKeepingAge(int32_t obsId, float interval) {
    for (const auto& s : m_setups) {
        sAdjustEntry* e = s->GetEntry(obsId);
        if (e == nullptr) continue;
        e->interval = interval;
        if (e->ageLimit > 0.0f) e->ageLimit = interval;
    }
}

void CAdjDefList::SetUpdateIntervalOfType(int32_t obsType, const CObsDefList* observations, float interval) {
    if (observations == nullptr) return;
    for (const sObsDef& o : *observations) {
        if (o.obsType == obsType) SetUpdateIntervalKeepingAge(o.id, interval);
    }
}

void CAdjDefList::UpdateAllContentFlags() {
    for (const auto& s : m_setups) s->UpdateContentFlags();
}

void CAdjDefList::UpdateAllContentFlags(const CObjDefList* objects, const CNodeDefList* nodes) {
    if (objects == nullptr || nodes == nullptr) return;
    for (const auto& s : m_setups) s->UpdateContentFlags(nodes, objects);
}

template <typename F>
void CAdjDefList::ForEachEligible(int32_t excludedId, int32_t maxLevel, F f) const {
    for (const auto& s : m_setups) {
        if (excludedId != -1 && s->GetId() == excludedId) continue;
        if (maxLevel != -1 && s->m_Def.level > maxLevel) continue;
        f(*s);
    }
}

template <typename F>
bool CAdjDefList::AnyEligible(int32_t excludedId, int32_t maxLevel, F f) const {
    bool any = false;
    ForEachEligible(excludedId, maxLevel, [&](const CAdjustDef& s) { any = any || f(s); });
    return any;
}

int CAdjDefList::GetHeightModeOfSystem(int32_t sysId, int32_t excludedId, int32_t maxLevel) const {
    if (HasHeightAidingOfSystem(sysId, excludedId, maxLevel)) return 1;
    return HasHeightSourceOfSystem(sysId, excludedId, maxLevel) ? 0 : -1;
}

bool CAdjDefList::HasHeightSourceOfSystem(int32_t sysId, int32_t excludedId, int32_t maxLevel) const {
    return sysId >= 1 &&
           AnyEligible(excludedId, maxLevel, [&](const CAdjustDef& s) { return s.HasHeightSourceOfSystem(sysId) != 0; });
}

bool CAdjDefList::HasHeightAidingOfSystem(int32_t sysId, int32_t excludedId, int32_t maxLevel) const {
    return sysId >= 1 &&
           AnyEligible(excludedId, maxLevel, [&](const CAdjustDef& s) { return s.HasHeightAidingOfSystem(sysId) != 0; });
}

bool CAdjDefList::HasObservation(const sObsDef* observation, int32_t excludedId, int32_t maxLevel) const {
    return observation != nullptr && observation->id >= 1 &&
           AnyEligible(excludedId, maxLevel, [&](const CAdjustDef& s) { return s.HasObservation(observation) != 0; });
}

bool CAdjDefList::IsObservationUsed(const sObsDef* observation, int32_t excludedId, int32_t maxLevel) const {
    return observation != nullptr && observation->id >= 1 &&
           AnyEligible(excludedId, maxLevel, [&](const CAdjustDef& s) { return s.IsObservationUsed(observation) != 0; });
}

bool CAdjDefList::IsObservationCompanion(const sObsDef* observation, int32_t excludedId, int32_t maxLevel) const {
    return observation != nullptr && observation->id >= 1 && AnyEligible(excludedId, maxLevel, [&](const CAdjustDef& s) {
               return s.IsObservationCompanion(observation) != 0;
           });
}

bool CAdjDefList::IsObservationExcluded(const sObsDef* observation, int32_t excludedId, int32_t maxLevel) const {
    return observation != nullptr && observation->id >= 1 && AnyEligible(excludedId, maxLevel, [&](const CAdjustDef& s) {
               return s.IsObservationExcluded(observation) != 0;
           });
}

void CAdjDefList::SelectHeightSource(int32_t sysId, int mode) {
    for (const auto& s : m_setups) s->SelectHeightSource(sysId, mode);
}

void CAdjDefList::UseObjectOffsets(const CObjDefList* objects, const CObsDefList* observations,
                                   const CNodeDefList* nodes) {
    if (objects == nullptr || observations == nullptr || nodes == nullptr) return;
    for (const auto& s : m_setups) {
        for (const sObjDef& object : *objects) {
            if (s->UsesObject(object.objectId, nodes, false) == 0) continue;
            for (sObsDef& o : *observations) {
                if (IsOffsetObs(&o) != 0 && nodes->GetObjectId(o.nodeId) == object.objectId) s->UseObservation(&o);
            }
        }
    }
}

void CAdjDefList::SyncFilterDefs(CFiltDefList* filters, const CObjDefList* objects, const CNodeDefList* nodes) {
    for (const auto& s : m_setups) s->SyncFilterDefs(filters, objects, nodes);
}

// ---------------------------------------------------------------------------------------------
// Priorities

int32_t CAdjDefList::NormalisePriorities() {
    int32_t m = GetMaxPriority(0);
    if (m < 0) {
        if (m_setups.empty()) return -1;
        m_setups.front()->m_Def.priority = 0;
        m_setups.front()->m_Def.level = 0;
        m = 0;
    } else if (m_Version > 4 && int64_t{m} + 1 == GetCount()) {
        return m;
    }
    for (int32_t level : {1, 2}) {
        for (const auto& s : m_setups) {
            if (s->m_Def.level == level && s->m_Def.priority < 0) s->m_Def.priority = -(m = NextRank(m));
        }
    }
    if (m_Version < 5) m_Version = 5;
    return m;
}

int32_t CAdjDefList::RenumberPriorities(std::vector<CAdjustDef*>& work) {
    const size_t n = m_setups.size();
    work.assign(n, nullptr);
    int32_t r = -1;
    for (int32_t level : {0, 1, 2}) {
        for (const auto& s : m_setups) {
            if (s->m_Def.level != level) continue;
            const int32_t rank = s->GetPriorityRank();
            const bool free = rank > r && static_cast<size_t>(rank) < n && work[static_cast<size_t>(rank)] == nullptr;
            if (free)
                work[static_cast<size_t>(rank)] = s.get();
            else
                work.push_back(s.get());  // after the set-up that holds the rank, never over it
        }
        std::vector<CAdjustDef*> ordered(work.begin(), work.begin() + (r + 1));
        for (size_t i = static_cast<size_t>(r + 1); i < work.size(); ++i) {
            CAdjustDef* s = work[i];
            if (s == nullptr) continue;
            ++r;
            if (s->m_Def.level == 0) {
                s->m_Def.priority = r;
            } else {
                s->m_Def.priority = -r;
                if (r == 0) s->m_Def.level = 0;
            }
            ordered.push_back(s);
        }
        ordered.resize(n, nullptr);
        work = std::move(ordered);
    }
    return r;
}

void CAdjDefList::AssignPrioritiesByObject(const CObjDefList* objects, const CObsDefList* observations,
                                           const CNodeDefList* nodes) {
    if (objects == nullptr || nodes == nullptr) return;
    int32_t m = GetMaxPriority(0);
    for (const auto& s : m_setups) {
        if (s->m_Def.priority >= 0) continue;
        for (const sObjDef& object : *objects) {
            if (object.displayOrder == -1 || s->UsesObject(object.objectId, nodes, false) == 0) continue;
            s->m_Def.priority = m = NextRank(m);
            s->m_Def.level = 0;
        }
    }
    m_Version = 1;
    NormalisePriorities();
    ConvertSigmaUnitsForVersion(observations);
}

bool CAdjDefList::FindMainSetup(const CObjDefList* objects, const CNodeDefList* nodes, int32_t& setupId,
                                int32_t& objectValue) const {
    setupId = objectValue = -1;
    if (objects == nullptr || nodes == nullptr) return false;
    const sObjDef* main = nullptr;
    for (const sObjDef& object : *objects) {
        if (object.displayOrder == 0) {
            main = &object;
            break;
        }
    }
    if (main == nullptr) return false;
    objectValue = main->setting252;
    const CAdjustDef* best = nullptr;
    for (const auto& s : m_setups) {
        if (s->m_Def.priority < -1 || s->UsesObject(main->objectId, nodes, false) == 0) continue;
        if (best == nullptr || s->m_Def.priority < best->m_Def.priority) best = s.get();
    }
    if (best != nullptr) setupId = best->GetId();
    return setupId != -1 && objectValue != -1;
}

int CAdjDefList::ConvertSigmaUnitsForVersion(const CObsDefList* observations) {
    if (observations != nullptr && m_Version < 6) {
        for (const auto& s : m_setups) s->ConvertSigmaUnits(observations);
        m_Version = 6;
    }
    return 0;
}

// ---------------------------------------------------------------------------------------------
// Images

int CAdjDefList::WriteToIpc(IpcBufferHandle& handle) const {
    for (const auto& s : m_setups) {
        const DWORD defIndex = handle.buffer.AddBlock(kDefBlockId, sizeof(sAdjustDef), sizeof(sAdjustDef));
        handle.WriteRecord(defIndex + 1, 1, &s->m_Def, sizeof(sAdjustDef));
        handle.buffer.SetRecordCount(defIndex, 1);
        const auto count = static_cast<DWORD>(s->m_Entries.size());
        const DWORD entryIndex =
            handle.buffer.AddBlock(kEntryBlockId, count * sizeof(sAdjustEntryImage), sizeof(sAdjustEntryImage));
        DWORD k = 0;
        for (const auto& e : s->m_Entries) {
            const sAdjustEntryImage image = e->GetLinkedImage();
            handle.WriteRecord(entryIndex + 1, ++k, &image, sizeof(image));
        }
        handle.buffer.SetRecordCount(entryIndex, count);
    }
    return 1;
}

int CAdjDefList::ReadFromIpc(IpcBufferHandle& handle, int firstBlock, const CObsDefList* observations,
                             const CNodeDefList* nodes) {
    if (firstBlock < 1) return 0;
    const DWORD blocks = handle.buffer.GetBlockCount();
    const auto first = static_cast<DWORD>(firstBlock);
    if (blocks < first) return 1;
    const DWORD pairs = (blocks - first + 1) / 2;
    for (DWORD p = 0; p < pairs; ++p) {
        const DWORD defBlock = first + 2 * p;
        const DWORD entryBlock = defBlock + 1;
        auto setup = std::make_unique<CAdjustDef>();
        if (handle.buffer.GetRecordSize(defBlock - 1) != sizeof(sAdjustDef) ||
            handle.ReadRecord(defBlock, 1, &setup->m_Def, sizeof(sAdjustDef)) == 0)
            return 0;
        if (observations != nullptr) {
            const DWORD count = handle.buffer.GetRecordCount(entryBlock - 1);
            if (count > 0 && (handle.buffer.GetRecordSize(entryBlock - 1) != sizeof(sAdjustEntryImage) ||
                              count > handle.buffer.GetRecordCapacity(entryBlock - 1)))
                return 0;
            for (DWORD j = 1; j <= count; ++j) {
                sAdjustEntryImage image;
                if (handle.ReadRecord(entryBlock, j, &image, sizeof(image)) == 0) return 0;
                sObsDef* obs = observations->FindById(static_cast<int32_t>(image.obsId));
                if (obs == nullptr) continue;
                auto entry = std::make_unique<sAdjustEntry>();
                static_cast<sAdjustEntryImage&>(*entry) = image;
                entry->Link(obs, nodes != nullptr ? nodes->FindById(static_cast<int32_t>(image.nodeId)) : nullptr,
                            nodes != nullptr ? nodes->FindById(static_cast<int32_t>(image.toNodeId)) : nullptr);
                setup->AddEntry(std::move(entry));
            }
        }
        m_setups.push_back(std::move(setup));
    }
    m_Version = kVersion;
    return 1;
}

void CAdjDefList::WriteToFile(CFile& file) const {
    const auto version = static_cast<uint8_t>(kVersion);
    file.Write(&version, 1);
    const auto count = static_cast<int32_t>(m_setups.size());
    file.Write(&count, sizeof(count));
    for (const auto& s : m_setups) {
        file.Write(&s->m_Def, sizeof(sAdjustDef));
        const auto entries = static_cast<int32_t>(s->m_Entries.size());
        file.Write(&entries, sizeof(entries));
        for (const auto& e : s->m_Entries) {
            sAdjustEntryImage image = *e;
            if (e->obs != nullptr && e->obs->id > 0) image.obsId = static_cast<uint32_t>(e->obs->id);
            image.nodeId = image.toNodeId = 0;
            file.Write(&image, sizeof(image));
        }
    }
}

int CAdjDefList::ReadFromFile(CFile& file, const CNodeDefList* nodes, const CObsDefList* observations,
                              bool hasVersion) {
    uint8_t version = 0;
    if (hasVersion && !ReadExactly(file, &version, 1)) return 0;
    m_Version = version;
    int32_t count = 0;
    if (!ReadExactly(file, &count, sizeof(count))) return 0;
    const size_t leastBytes = (version <= 1 ? kOldDefSize : sizeof(sAdjustDef)) + sizeof(int32_t);
    int result = 1;
    if (count < 0 || static_cast<ULONGLONG>(count) > Remaining(file) / leastBytes) {
        result = 0;
    } else {
        for (int32_t i = 0; i < count && result == 1; ++i) result = ReadOneFromFile(file, nodes, observations);
    }
    NormalisePriorities();
    ConvertSigmaUnitsForVersion(observations);
    return result;
}

int CAdjDefList::ReadOneFromFile(CFile& file, const CNodeDefList* nodes, const CObsDefList* observations) {
    const uint32_t version = m_Version;
    auto setup = std::make_unique<CAdjustDef>();
    sAdjustDef block;
    block.Init();
    if (version <= 1) {
        if (!ReadExactly(file, &block, kOldDefSize)) return 0;
        block.contentFlags = 0;
        block.priority = -1;
        block.level = 1;
    } else if (!ReadExactly(file, &block, sizeof(block))) {
        return 0;
    }
    block.Validate();
    setup->m_Def.CopyFrom(&block);
    if (version == 0) {
        uint8_t dropped[kVersion0Extra];
        if (!ReadExactly(file, dropped, sizeof(dropped))) return 0;
    }
    int32_t n = 0;
    if (!ReadExactly(file, &n, sizeof(n))) return 0;
    const size_t recordSize = version <= 2 ? kOldEntrySize : sizeof(sAdjustEntryImage);
    if (n < 0 || static_cast<ULONGLONG>(n) > Remaining(file) / recordSize) return 0;
    std::vector<uint8_t> records(static_cast<size_t>(n) * recordSize);
    if (!records.empty() && !ReadExactly(file, records.data(), records.size())) return 0;
    if (observations != nullptr) {
        for (int32_t k = 0; k < n; ++k) {
            const uint8_t* r = records.data() + static_cast<size_t>(k) * recordSize;
            sObsDef* obs = observations->FindById(static_cast<int32_t>(StoredObsId(r, version)));
            if (obs == nullptr) continue;
            auto entry = std::make_unique<sAdjustEntry>(EntryFromRecord(r, version, *obs));
            entry->Link(obs, nodes != nullptr ? nodes->FindById(obs->nodeId) : nullptr,
                        nodes != nullptr ? nodes->FindById(obs->toNodeId) : nullptr);
            setup->AddEntry(std::move(entry));
        }
    }
    m_setups.push_back(std::move(setup));
    return 1;
}

// ---------------------------------------------------------------------------------------------
// Reference position

int CAdjDefList::SetReference(double x, double y, double z, int32_t refWord, uint8_t coordKind,
                              uint8_t positionCode) {
    if (m_setups.empty()) return 0;
    for (const auto& s : m_setups) {
        sAdjustRefNode& r = s->m_Def.refNode;
        r.x = x;
        r.y = y;
        r.z = z;
        r.refWord = refWord;
        r.coordKind = coordKind;
        r.positionCode = positionCode;
        if (r.present == 0) r.present = 1;
    }
    return 1;
}

int CAdjDefList::SetReferenceFrom(CAdjustDef* setup) {
    if (m_setups.empty()) return 0;
    if (setup == nullptr) {
        for (const auto& s : m_setups) {
            if (HasPlanarReference(*s)) {
                setup = s.get();
                break;
            }
        }
    }
    sAdjustRefNode source;  // zeros and reference word -1 when no set-up has a position
    if (setup != nullptr) {
        setup->m_Def.refNode.ApplyPresentDefaults();
        source = setup->m_Def.refNode;
    }
    return SetReference(source.x, source.y, source.z, source.refWord, source.coordKind, source.positionCode);
}

void CAdjDefList::GetReference(double& x, double& y, double& z, int32_t& refWord, uint8_t& coordKind,
                               uint8_t& positionCode) const {
    sAdjustRefNode chosen;
    for (const auto& s : m_setups) {
        s->m_Def.refNode.ApplyPresentDefaults();
        chosen = s->m_Def.refNode;
        if (HasPlanarReference(*s)) break;
    }
    x = chosen.x;
    y = chosen.y;
    z = chosen.z;
    refWord = chosen.refWord;
    coordKind = chosen.coordKind;
    positionCode = chosen.positionCode;
}

void CAdjDefList::GetReferenceLatLon(double& latitude, double& longitude, bool inRadians) const {
    latitude = longitude = 0.0;
    const CAdjustDef* chosen = nullptr;
    for (const auto& s : m_setups) {
        s->m_Def.refNode.ApplyPresentDefaults();
        if (HasPlanarReference(*s)) {
            chosen = s.get();
            break;
        }
    }
    if (chosen == nullptr) return;
    const sAdjustRefNode& r = chosen->m_Def.refNode;
    if (r.coordKind == COORD_GEOGRAPHIC) {
        const double f = inRadians ? kDegreesToRadians : 1.0;
        latitude = r.x * f;
        longitude = r.y * f;
    } else if (r.coordKind == COORD_ECEF) {
        const double f = inRadians ? 1.0 : 1.0 / kDegreesToRadians;
        latitude = std::atan2(r.z, std::sqrt(r.x * r.x + r.y * r.y) * kEcefLatitudeFactor) * f;
        longitude = std::atan2(r.y, r.x) * f;
    }
}

// ---------------------------------------------------------------------------------------------
// Choices

void CAdjDefList::GetChoiceList(CStringArray& names, CDWordArray& ids) const {
    names.RemoveAll();
    ids.RemoveAll();
    names.Add("Priority (Computation Setup)");
    ids.Add(static_cast<DWORD>(-1));
    for (const auto& s : m_setups) {
        names.Add(s->GetName());
        ids.Add(static_cast<DWORD>(s->GetId()));
    }
}

int CAdjDefList::FillComboBox(CComboBox* box, int32_t selectedId, bool withPriorityChoice) const {
    if (box == nullptr) return 0;
    box->ResetContent();
    if (withPriorityChoice && !m_setups.empty()) {
        const int item = box->AddString("From Priority List");
        box->SetItemData(item, 0);
        if (selectedId == 0) box->SetCurSel(item);
    }
    for (const auto& s : m_setups) {
        const int item = box->AddString(s->GetName());
        box->SetItemData(item, reinterpret_cast<DWORD_PTR>(s.get()));
        if (s->GetId() == selectedId) box->SetCurSel(item);
    }
    return box->GetCount();
}

int CAdjDefList::InsertObservationTreeItems(CTreeCtrl* tree, HTREEITEM parent, int32_t sysId,
                                            int32_t imageBase) const {
    if (tree == nullptr) return 0;
    int inserted = 0;
    for (const auto& s : m_setups) {
        for (const auto& e : s->m_Entries) {
            if (e->obs != nullptr && e->obs->sysId == sysId &&
                InsertObsDefTreeItem(tree, parent, e->obs, imageBase) != nullptr)
                ++inserted;
        }
    }
    return inserted;
}

HTREEITEM CAdjDefList::InsertAdjustDefTreeItem(CTreeCtrl* tree, HTREEITEM parent, CAdjustDef* setup, int32_t image) {
    if (tree == nullptr || setup == nullptr) return nullptr;
    HTREEITEM item = tree->InsertItem(setup->GetName(), image, image, parent);
    if (item != nullptr) tree->SetItemData(item, reinterpret_cast<DWORD_PTR>(setup));
    return item;
}

// ---------------------------------------------------------------------------------------------
// Fixed nodes

int CAdjDefList::AddFixedNodeSetup(CNodeDefList* nodes, CObsDefList* observations) {
    if (nodes == nullptr || observations == nullptr) return 0;
    // The observations made here take ids above every id in use, so that they never stand for, or
    // are found in place of, a real observation; when the largest id is in use, the smallest free ones.
    std::set<int32_t> used;
    for (const sObsDef& o : *observations) used.insert(o.id);
    const auto freshId = [&used] {
        int32_t id = 1;
        if (!used.empty() && *used.rbegin() < INT32_MAX)
            id = std::max(id, *used.rbegin() + 1);
        else
            while (used.count(id) != 0) ++id;
        used.insert(id);
        return id;
    };
    auto setup = std::make_unique<CAdjustDef>(-1, "[Fixed Nodes]");
    for (const sNodeDef& n : *nodes) {
        if (n.nodeType != NODE_FIXED) continue;
        sObsDef record{};
        record.id = freshId();
        record.nodeId = n.id;
        sObsDef* obs = observations->Add(record);
        auto entry = std::make_unique<sAdjustEntry>();
        std::memset(static_cast<sAdjustEntryImage*>(entry.get()), 0, offsetof(sAdjustEntryImage, obsId));
        std::memset(&entry->interval, 0, offsetof(sAdjustEntryImage, refWord) - offsetof(sAdjustEntryImage, interval));
        entry->refWord = 0;
        entry->Link(obs, const_cast<sNodeDef*>(&n), nullptr);
        setup->AddEntry(std::move(entry));
    }
    if (setup->GetEntryCount() > 0) AddHead(std::move(setup));
    return 1;
}

// ---------------------------------------------------------------------------------------------
// Results

CAdjustDef* CAdjDefList::FindResultByPriority(IpcBufferHandle& handle, uint32_t nodeId, sAdjustResultHeader* header,
                                              sAdjustResult* result, int strictness) const {
    // The ranks in use, in order: a missing rank is skipped without counting up to a stored one.
    std::vector<int32_t> ranks;
    for (const auto& s : m_setups) {
        if (s->m_Def.level <= 0) ranks.push_back(s->GetPriorityRank());
    }
    std::sort(ranks.begin(), ranks.end());
    ranks.erase(std::unique(ranks.begin(), ranks.end()), ranks.end());
    for (int32_t rank : ranks) {
        CAdjustDef* s = FindByPriority(rank, 0);
        if (s != nullptr && FindResult(handle, s->GetId(), nodeId, header, result, strictness) != 0) return s;
    }
    return nullptr;
}

bool CAdjDefList::FindResultByPriority(IpcBufferHandle& handle, uint32_t nodeId, sAdjustResultHeader* header,
                                       sAdjustResult& result, int strictness) const {
    std::memset(static_cast<void*>(&result), 0, sizeof(result));
    result.SetNoData();
    return FindResultByPriority(handle, nodeId, header, &result, strictness) != nullptr;
}

CAdjustDef* CAdjDefList::FindResultInList(IpcBufferHandle& handle, const CDWordArray& ids, uint32_t nodeId,
                                          sAdjustResultHeader* header, sAdjustResult* result, int strictness) const {
    for (DWORD word : ids) {
        CAdjustDef* s = FindById(static_cast<int32_t>(word));
        if (s != nullptr && FindResult(handle, s->GetId(), nodeId, header, result, strictness) != 0) return s;
    }
    return nullptr;
}

CAdjustDef* CAdjDefList::FindResultBySelection(IpcBufferHandle& handle, int32_t selection, uint32_t nodeId,
                                               sAdjustResultHeader* header, sAdjustResult* result,
                                               int strictness) const {
    if (selection == -1) return FindResultByPriority(handle, nodeId, header, result, strictness);
    CAdjustDef* s = FindSetupOrFirstPriority(selection);
    if (selection < -1 || s == nullptr) return nullptr;
    return FindResult(handle, s->GetId(), nodeId, header, result, strictness) != 0 ? s : nullptr;
}
