#include "definitions/project/definition_groupings.h"

#include "definitions/header/hdr_list.h"
#include "definitions/lists/node_def_list.h"
#include "definitions/lists/obs_def_list.h"
#include "definitions/header/record_types.h"
#include "definitions/lists/sys_def_list.h"

namespace {

constexpr int32_t kGnssPosition = 258;
constexpr size_t kKindWord = 680;
constexpr size_t kObjectWord = 20;

template <typename Pred>
std::map<int32_t, std::vector<const uint8_t*>> Group(const CHdrList* headers, Pred take) {
    std::map<int32_t, std::vector<const uint8_t*>> groups;
    if (headers == nullptr) return groups;
    for (const sHdrEntry& entry : *headers) {
        if (take(entry.recordId)) groups[entry.recordId].push_back(entry.Payload());
    }
    return groups;
}

bool Before(const sMjdTime& a, const sMjdTime& b) {
    return a.day < b.day || (a.day == b.day && a.seconds < b.seconds);
}

}  // namespace

int32_t GetSysDefObjectId(const sSysDef* def, const CObsDefList* observations, const CNodeDefList* nodes) {
    if (def == nullptr || observations == nullptr || nodes == nullptr) return -1;
    for (const sObsDef& obs : *observations) {
        if (obs.sysId != def->sysId) continue;
        if (const sNodeDef* node = nodes->FindById(obs.nodeId)) return node->objectId;
    }
    return 0;
}

std::map<int32_t, std::vector<const uint8_t*>> GroupHdrEntriesByRecordId(const CHdrList* headers) {
    return Group(headers, [](int32_t) { return true; });
}

std::map<int32_t, std::vector<const uint8_t*>> GroupGeodeticHdrEntriesByRecordId(const CHdrList* headers) {
    return Group(headers, [](int32_t id) { return IsGeodeticRecordType(id); });
}

std::vector<std::pair<uint32_t, int32_t>> CollectGnssPositionSystems(const CHdrList* headers,
                                                                     const CSysDefList* systems) {
    std::vector<std::pair<uint32_t, int32_t>> found;
    if (headers == nullptr || systems == nullptr) return found;
    for (const sHdrEntry& entry : *headers) {
        if (entry.recordId != kGnssPosition || entry.Payload() == nullptr) continue;
        if (entry.Load<uint32_t>(kKindWord).value_or(1) != 0) continue;
        const int32_t system = systems->GetGnssSystemIdOfRecord(&entry);
        if (system == -1) continue;
        found.emplace_back(*entry.Load<uint32_t>(kObjectWord), system);
    }
    return found;
}

bool IsTimeWithinRecordSpan(const sMjdTime& first, const sMjdTime& second, const sMjdTime& third) {
    if (first.day == 0 || second.day == 0 || third.day == 0) return false;
    return Before(first, third) && Before(third, second);
}
