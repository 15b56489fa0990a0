#include "definitions/lists/adjust_def.h"

#include <cmath>
#include <cstring>
#include <utility>

#include "definitions/lists/node_def_list.h"
#include "definitions/lists/obs_def_list.h"
#include "definitions/lists/obs_type_properties.h"
#include "foundation/unit_types.h"

namespace {

constexpr double kEarthRadius = 6371000.0;
constexpr double kEarthRadiusTolerance = 1000000.0;
constexpr uint8_t kPresentDefaults[3] = {1, 25, 2};

uint32_t IdWord(int32_t id) { return id > 0 ? static_cast<uint32_t>(id) : 0u; }
template <typename T>
uint32_t IdWordOf(const T* record) {
    return record != nullptr ? IdWord(record->id) : 0u;
}

bool IsPositionType(int32_t t) { return t == 30 || t == 31 || t == 32 || t == 68 || t == 69; }

}  // namespace

// ---------------------------------------------------------------------------------------------
// sAdjustRefNode

sAdjustRefNode::sAdjustRefNode(const sNodeDef* node) {
    Init();
    AssignNode(node);
}

sAdjustRefNode::sAdjustRefNode(const sAdjustRefNode* other) {
    Init();
    CopyFrom(other);
}

void sAdjustRefNode::Init() {
    std::memset(static_cast<void*>(this), 0, sizeof(*this));
    refWord = -1;
}

void sAdjustRefNode::AssignNode(const sNodeDef* n) {
    if (n == nullptr) return;
    nodeId = n->id;
    number = n->number;
    satelliteId = n->satelliteNumber;
    std::memset(name, 0, sizeof(name));
    std::memcpy(name, n->name, strnlen(n->name, sizeof(name)));
    terminator = 0;
    present = n->defaultsApplied;
    positionCode = n->unitCode;
    coordKind = n->coordKind;
    nodeType = static_cast<int32_t>(n->nodeType);
    objectId = n->objectId;
    refWord = n->reserved84;
    x = n->x;
    y = n->y;
    z = n->z;
}

void sAdjustRefNode::CopyFrom(const sAdjustRefNode* other) {
    if (other != nullptr && other != this) std::memcpy(static_cast<void*>(this), other, sizeof(*this));
}

bool sAdjustRefNode::ApplyPresentDefaults() {
    if (present != 0) return false;
    present = kPresentDefaults[0];
    positionCode = kPresentDefaults[1];
    coordKind = kPresentDefaults[2];
    return true;
}

void sAdjustRefNode::Validate() {
    ApplyPresentDefaults();
    if (nodeId < 1) {
        nodeId = kDefaultNodeId;
        objectId = kDefaultObjectId;
    }
    if (coordKind == 2 && positionCode != 0 &&
        std::fabs(GetVectorLength() - kEarthRadius) < kEarthRadiusTolerance)
        positionCode = 0;
}

double sAdjustRefNode::GetVectorLength() const { return std::sqrt(x * x + y * y + z * z); }

// ---------------------------------------------------------------------------------------------
// sAdjustDef

void sAdjustDef::Init() {
    std::memset(static_cast<void*>(this), 0, sizeof(*this));
    ApplyDefaults();
}

void sAdjustDef::ApplyDefaults() {
    mainSysId = -1;
    level = 2;
    contentFlags = 0;
    optionFlags = 0x11;
    option72 = 10;
    option76 = 1;
    option80 = 80.0f;
    option84 = 1.0f;
    minInterval = 0.0f;
    secondInterval = 0.0f;
    priority = -1;
    option172 = 10;
}

void sAdjustDef::InitFrom(const sAdjustDef* source) {
    Init();
    CopyFrom(source);
}

void sAdjustDef::CopyFrom(const sAdjustDef* source) {
    if (source != nullptr && source != this) std::memcpy(static_cast<void*>(this), source, sizeof(*this));
}

void sAdjustDef::Validate() {
    // A stored value that is no number is no valid interval either.
    for (float* interval : {&minInterval, &secondInterval}) {
        if (!(*interval >= kMinInterval && *interval <= kMaxInterval)) *interval = 0.0f;
    }
    if (priority >= 0)
        level = 0;
    else if (level == 0)
        level = 1;
    refNode.Validate();
}

int32_t sAdjustDef::InitNamed(int32_t newId, const char* newName) {
    std::memset(static_cast<void*>(this), 0, sizeof(*this));
    if (newName != nullptr) std::memcpy(name, newName, strnlen(newName, kNameChars));
    name[kNameChars] = 0;
    id = newId;
    ApplyDefaults();
    return id;
}

// ---------------------------------------------------------------------------------------------
// sAdjustEntry

sAdjustEntry::sAdjustEntry() : sAdjustEntryImage{} {
    state = ADJ_ENTRY_EXCLUDED;
    optionFlags = 7;
    weight = 1.0f;
    option12 = 5.0f;
    kindFlags = 0x20;
    refWord = -1;
}

sAdjustEntry::sAdjustEntry(sObsDef* observation, bool keepLink) : sAdjustEntry() { SetLinks(observation, keepLink); }

sAdjustEntry::sAdjustEntry(const sAdjustEntry& other, bool keepLinks) : sAdjustEntry(other) {
    if (!keepLinks) Unlink();
}

sAdjustEntry sAdjustEntry::WithoutNodes(const sAdjustEntry& other) {
    sAdjustEntry e(other);
    e.nodeId = e.toNodeId = 0;
    e.node = e.toNode = nullptr;
    return e;
}

void sAdjustEntry::Assign(const sAdjustEntry& other, bool withLinks) {
    if (withLinks) {
        *this = other;
        return;
    }
    const sAdjustEntry own = *this;
    *this = other;
    obsId = own.obsId;
    nodeId = own.nodeId;
    toNodeId = own.toNodeId;
    obs = own.obs;
    node = own.node;
    toNode = own.toNode;
}

void sAdjustEntry::CopyFields(const sAdjustEntry& other) {
    const uint32_t ownNode = nodeId, ownToNode = toNodeId;
    sNodeDef* const ownNodePtr = node;
    sNodeDef* const ownToNodePtr = toNode;
    *this = other;
    nodeId = ownNode;
    toNodeId = ownToNode;
    node = ownNodePtr;
    toNode = ownToNodePtr;
}

void sAdjustEntry::CopyToUnlinked(sAdjustEntry& target) const { target = WithoutNodes(*this); }

void sAdjustEntry::SetLinks(sObsDef* observation, bool keepLink) {
    if (observation == nullptr) return;
    sigma = observation->sigma;
    interval = observation->interval;
    ageLimit = 0.0f;
    if (keepLink) {
        obs = observation;
        obsId = IdWord(observation->id);
    }
}

void sAdjustEntry::Link(sObsDef* observation, sNodeDef* first, sNodeDef* second) {
    obs = observation;
    node = first;
    toNode = second;
    obsId = IdWordOf(observation);
    nodeId = IdWordOf(first);
    toNodeId = IdWordOf(second);
}

void sAdjustEntry::Unlink() { Link(nullptr, nullptr, nullptr); }

int sAdjustEntry::SetState(uint32_t newState) {
    if (obs == nullptr || state == newState) return 0;
    state = newState;
    return 1;
}

void sAdjustEntry::NormaliseKindFlags() {
    const uint32_t high = kindFlags & 0xF0;
    if (high != 0x10 && high != 0x20 && high != 0x40 && high != 0x80) kindFlags = (kindFlags & ~0xD0u) | 0x20u;
    const uint32_t low = kindFlags & 0x0F;
    if (low != 0 && low != 1 && low != 2 && low != 4) kindFlags &= ~0x0Fu;
    if (obs == nullptr || obs->obsType < 30 || obs->obsType > 69) return;
    const uint32_t lowNow = kindFlags & 0x0F;
    bool one = false;
    if (IsPositionType(obs->obsType))
        one = lowNow == 0;
    else if (obs->obsType == 40)
        one = (lowNow == 0 && sigma == 0.0f) || lowNow == 4;
    if (one) kindFlags = (kindFlags & ~0x0Eu) | 0x01u;
}

sAdjustEntryImage sAdjustEntry::GetLinkedImage() const {
    sAdjustEntryImage image = *this;
    image.obsId = IdWordOf(obs);
    image.nodeId = IdWordOf(node);
    image.toNodeId = IdWordOf(toNode);
    return image;
}

// ---------------------------------------------------------------------------------------------
// CAdjustDef: construction and the entry list

CAdjustDef::CAdjustDef() : CAdjustDef(0, nullptr) {}

CAdjustDef::CAdjustDef(const char* name) : CAdjustDef(0, name) {}

CAdjustDef::CAdjustDef(int32_t id, const char* name) {
    m_Def.Init();
    Clear();
    m_Def.InitNamed(id, name);
}

CAdjustDef::CAdjustDef(const CAdjustDef& other) : CObject() { *this = other; }

CAdjustDef& CAdjustDef::operator=(const CAdjustDef& other) {
    if (this == &other) return *this;
    Clear();
    m_Def.CopyFrom(&other.m_Def);
    for (const auto& e : other.m_Entries) m_Entries.push_back(std::make_unique<sAdjustEntry>(*e));
    return *this;
}

CAdjustDef::~CAdjustDef() { Clear(); }

void CAdjustDef::Clear() {
    SetLists(nullptr, nullptr, nullptr, nullptr, nullptr, nullptr);
    m_Entries.clear();
    std::memset(static_cast<void*>(&m_Def), 0, sizeof(m_Def));
}

void CAdjustDef::SetLists(CObjDefList* objects, CSysDefList* systems, CObsDefList* observations,
                          CNodeDefList* nodes, CFiltDefList* filters, Vok::Tides::CTideSettingsContainer* tides) {
    m_objects = objects;
    m_systems = systems;
    m_observations = observations;
    m_nodes = nodes;
    m_filters = filters;
    m_tides = tides;
}

sAdjustEntry* CAdjustDef::GetEntryAt(int index) const {
    return index >= 0 && index < GetEntryCount() ? m_Entries[static_cast<size_t>(index)].get() : nullptr;
}

int CAdjustDef::AddEntry(std::unique_ptr<sAdjustEntry> entry) {
    if (entry == nullptr) return 0;
    if (entry->obs != nullptr && FindEntryOfId(entry->obs->id) != nullptr) return 0;
    sAdjustEntry& e = *entry;
    m_Entries.push_back(std::move(entry));
    e.NormaliseKindFlags();
    const float minimum = m_Def.minInterval < 0.0f ? 0.0f : m_Def.minInterval;
    if (e.interval > 0.0f && minimum > e.interval) {
        e.interval = minimum;
        if (e.ageLimit > 0.0f) e.ageLimit = minimum;
    }
    UpdateContentFlags();
    return 1;
}

int CAdjustDef::AddObservation(sObsDef* observation, const sAdjustEntry* entryTemplate) {
    if (observation == nullptr) return 0;
    auto entry = std::make_unique<sAdjustEntry>(observation, true);
    if (entryTemplate != nullptr) {
        entry->Assign(*entryTemplate, false);
        entry->state = ADJ_ENTRY_EXCLUDED;
    }
    return AddEntry(std::move(entry));
}

void CAdjustDef::UpdateContentFlags() {
    constexpr uint32_t both = ADJ_CONTENT_GPS | ADJ_CONTENT_DIFF_CORRECTION;
    uint32_t flags = 0;
    for (const auto& e : m_Entries) {
        if (!e->IsUsed()) continue;
        if (IsGpsObs(e->obs))
            flags |= ADJ_CONTENT_GPS;
        else if (IsDiffCorrectionObs(e->obs))
            flags |= ADJ_CONTENT_DIFF_CORRECTION;
        if (flags == both) break;
    }
    m_Def.contentFlags = (m_Def.contentFlags & ~both) | flags;
}

float CAdjustDef::GetMaxUpdateInterval(int32_t obsType, bool requirePositive, bool usedOnly) const {
    bool matched = false;
    float result = 0.0f;
    for (const auto& e : m_Entries) {
        if (e->obs == nullptr || e->obs->obsType != obsType) continue;
        if (usedOnly && e->state != ADJ_ENTRY_USED) continue;
        if (requirePositive && e->interval <= 0.0f) return 0.0f;
        if (!matched || e->interval > result) result = e->interval;
        matched = true;
    }
    return matched ? result : GetObsTypeDefaultInterval(obsType);
}

float CAdjustDef::GetMinUpdateInterval(int32_t obsType, bool requirePositive, bool usedOnly) const {
    bool matched = false;
    float result = 0.0f;
    for (const auto& e : m_Entries) {
        if (e->obs == nullptr || e->obs->obsType != obsType) continue;
        if (usedOnly && e->state != ADJ_ENTRY_USED) continue;
        if (e->interval <= 0.0f) {
            if (requirePositive) return 0.0f;
            continue;
        }
        if (!matched || e->interval < result) result = e->interval;
        matched = true;
    }
    return matched ? result : GetObsTypeDefaultInterval(obsType);
}

int CAdjustDef::ConvertSigmaUnits(const CObsDefList* observations) {
    const CObsDefList* list = observations != nullptr ? observations : m_observations;
    if (list == nullptr) return 0;
    int converted = 0;
    for (const auto& e : m_Entries) {
        if (e->obs == nullptr || !IsPositionType(e->obs->obsType)) continue;
        const sObsDef* height = list->FindBySystem(e->obs->sysId, 32, 1);
        if (height == nullptr) continue;
        const double factor = GetUnitConversionFactor(UT_SURVEY_UNIT, static_cast<int>(height->unitType));
        if (factor == 0.0 || factor == 1.0) continue;
        e->sigma = static_cast<float>(e->sigma * factor);
        e->sigma2 = static_cast<float>(e->sigma2 * factor);
        e->sigma3 = static_cast<float>(e->sigma3 * factor);
        ++converted;
    }
    return converted;
}

sAdjustEntry* CAdjustDef::GetEntry(int32_t obsId) const { return obsId < 1 ? nullptr : FindEntryOfId(obsId); }

sAdjustEntry* CAdjustDef::FindEntryOfId(int32_t obsId) const {
    for (const auto& e : m_Entries) {
        if (e->obs != nullptr && e->obs->id == obsId) return e.get();
    }
    return nullptr;
}

sAdjustEntry* CAdjustDef::GetEntry(const sObsDef* observation) const {
    return observation != nullptr ? GetEntry(observation->id) : nullptr;
}

int CAdjustDef::HasObservation(int32_t obsId) const { return GetEntry(obsId) != nullptr ? 1 : 0; }

int CAdjustDef::HasObservation(const sObsDef* observation) const { return GetEntry(observation) != nullptr ? 1 : 0; }
