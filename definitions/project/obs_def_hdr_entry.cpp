#include "definitions/project/obs_def_hdr_entry.h"

#include "definitions/records/code_table.h"
#include "definitions/header/hdr_list.h"
#include "definitions/lists/node_def_list.h"
#include "definitions/lists/sys_def_list.h"

namespace {

using CObsTypeSet = Vok::Definitions::CCodeSet<115>;

bool WordIs(const sHdrEntry& e, size_t offset, int32_t value) {
    return e.Word(offset) == value;
}

}  // namespace

sHdrEntry* FindHdrEntryOfObsDef(const sObsDef* def, const CHdrList* headers, const CSysDefList* systems,
                                int32_t /*unused*/, const CNodeDefList* nodes) {
    static const CObsTypeSet kObservation("1-12,49,51,52,56,59,60,61,70,77,81-88,91-95,97,99-109");
    if (def == nullptr || headers == nullptr || systems == nullptr || nodes == nullptr) return nullptr;
    const int32_t type = def->obsType;
    const int32_t header = def->link;
    const int32_t sys = def->sysId;
    if (type == 0 || header < 0) return nullptr;

    // The nodes are looked up only for the types that need them; a missing one matches nothing.
    const sNodeDef* node = nodes->FindById(def->nodeId);
    const sNodeDef* toNode = nodes->FindById(def->toNodeId);
    const int32_t satellite = toNode != nullptr ? nodes->GetSatelliteId(toNode->id) : 0;
    const bool validSys = sys != -1;

    auto match = [&](const sHdrEntry& e) -> bool {
        const int32_t r = e.recordId;
        if (kObservation.Has(type)) return r == 65 && WordIs(e, 4, header);
        switch (type) {
            case 20: case 21: case 22: case 23:
                return r == 129 && toNode != nullptr && WordIs(e, 0, header) && WordIs(e, 4, satellite);
            case 30: case 31: case 32: case 68: case 69:
                if (node == nullptr) return false;
                return (r == 258 && systems->GetGnssSystemIdOfRecord(&e) == sys && WordIs(e, 12, node->number)) ||
                       (r == 205 && systems->GetGnssSystemIdByKey(&e) == sys && WordIs(e, 4, node->number));
            case 33:
                return r == 134 && node != nullptr && toNode != nullptr && WordIs(e, 0, node->number) &&
                       WordIs(e, 8, satellite);
            case 43: case 44: case 45:
                if (toNode == nullptr) return false;
                return (r == 260 && systems->GetUsblSystemIdOfRecord(&e) == sys && WordIs(e, 12, toNode->number)) ||
                       (r == 128 && systems->GetUsblSystemIdByKey(&e) == sys && WordIs(e, 8, toNode->number));
            case 46: case 47: case 48: return r == 226 && validSys && systems->GetPrhSystemIdOfRecord(&e) == sys;
            case 50: return r == 219 && validSys && systems->GetEchosounderOrMagnetometerSystemId(&e) == sys;
            case 90: return r == 234 && validSys && systems->GetEchosounderSystemId(&e) == sys;
            case 53: return r == 143 && validSys && WordIs(e, 0, sys);
            case 55: return r == 147 && WordIs(e, 0, sys);
            case 62: return r == 155 && WordIs(e, 0, sys);
            case 76: return r == 207 && WordIs(e, 0, sys);
            case 78: case 79: return r == 185 && WordIs(e, 0, sys);
            case 74: return r == 173 && header == 173 && WordIs(e, 0, sys);
            case 54: return r == 220 && validSys && WordIs(e, 4, sys);
            case 73: return r == 221 && validSys && WordIs(e, 4, sys);
            case 63: return r == 238 && WordIs(e, 4, sys);
            case 75: return r == 254 && WordIs(e, 4, sys);
            case 96: return r == 240 && WordIs(e, 4, sys);
            case 98: return r == 243 && WordIs(e, 4, sys);
            case 110: return r == 249 && WordIs(e, 4, sys);
            case 111: return r == 251 && WordIs(e, 4, sys);
            case 112: return r == 257 && WordIs(e, 4, sys);
            case 113: return r == 262 && WordIs(e, 4, sys);
            case 114: return r == 273 && WordIs(e, 4, sys);
            default: return false;
        }
    };
    for (sHdrEntry& entry : *headers) {
        if (match(entry)) return &entry;
    }
    return nullptr;
}
