#include "definitions/lists/node_def_list.h"

#include <algorithm>
#include <cmath>

#include "compat/unit_library.h"
#include "definitions/records/definition_predicates.h"
#include "definitions/lists/definition_tree.h"
#include "definitions/records/definition_types.h"
#include "definitions/header/hdr_list.h"
#include "definitions/lists/obj_def_list.h"
#include "definitions/records/payload_bytes.h"
#include "definitions/file/vok_file.h"

using Vok::Definitions::LoadAt;

namespace {

constexpr int32_t kRecordNodeLink = 230;
constexpr int32_t kRecordDredging = 207;
constexpr int32_t kRecordDredgingSub = 217;
constexpr int32_t kNodeCategory = 10000;

double Coordinate(const sNodeDef& node, int axis) {
    return axis == 0 ? node.x : axis == 1 ? node.y : node.z;
}

bool IsAxis(int axis) { return axis >= 0 && axis <= 2; }

double Millimetre() { return MetersToUnits(0.001); }

bool Within(const sNodeDef& a, const sNodeDef& b, int axis, double tolerance) {
    return std::fabs(Coordinate(a, axis) - Coordinate(b, axis)) < tolerance;
}

// The axis that orders two nodes: `axis`, or the next one on which they lie a millimetre apart.
int KeyAxis(const sNodeDef& p, const sNodeDef& n, int axis, double mm) {
    if (!Within(p, n, axis, mm)) return axis;
    const int second = (axis + 1) % 3;
    if (!Within(p, n, second, mm)) return second;
    const int third = (axis + 2) % 3;
    return Within(p, n, third, mm) ? axis : third;
}

// True when p belongs after n.
bool OutOfOrder(const sNodeDef& p, const sNodeDef& n, int axis, bool ascending, double mm) {
    const int key = KeyAxis(p, n, axis, mm);
    return ascending ? Coordinate(p, key) > Coordinate(n, key) : Coordinate(p, key) < Coordinate(n, key);
}

}  // namespace

CNodeDefList::CNodeDefList(const CNodeDefList* list, int keep) {
    CopyFrom(list, keep);
}

CNodeDefList::CNodeDefList(int32_t objectId, const CNodeDefList* list, int keep) {
    CopyObjectNodes(objectId, list, keep);
}

void CNodeDefList::CopyFrom(const CNodeDefList* list, int keep) {
    if (list == nullptr || list == this) return;
    if (keep == 0) RemoveAll();
    AppendCopies(*list);
}

void CNodeDefList::CopyObjectNodes(int32_t objectId, const CNodeDefList* list, int keep) {
    if (list == nullptr || list == this) return;
    if (keep == 0) RemoveAll();
    for (const sNodeDef& node : *list) {
        if (node.objectId == objectId) Add(node);
    }
}

bool CNodeDefList::HasId(int32_t id) const {
    return FindFirst([&](const sNodeDef& n) { return n.id == id; }) != nullptr;
}

template <typename Pred>
int CNodeDefList::AppendMissing(const CNodeDefList* list, int keep, Pred match) {
    if (list == nullptr || list == this) return 0;
    if (keep == 0) RemoveAll();
    int added = 0;
    for (const sNodeDef& node : *list) {
        if (match(node) && !HasId(node.id)) {
            Add(node);
            added = 1;
        }
    }
    return added;
}

int CNodeDefList::CopyNodesOfType(uint32_t nodeType, const CNodeDefList* list, int keep) {
    return AppendMissing(list, keep, [&](const sNodeDef& n) { return n.nodeType == nodeType; });
}

int CNodeDefList::CopyNodesOfObject(int32_t objectId, const CNodeDefList* list, int keep) {
    return AppendMissing(list, keep, [&](const sNodeDef& n) { return n.objectId == objectId; });
}

int CNodeDefList::CollectNodesOfObject(int32_t objectId, const CNodeDefList* list, std::vector<sNodeDef*>& out,
                                       int keep) {
    if (keep == 0) out.clear();
    if (list == nullptr) return 0;
    int found = 0;
    for (sNodeDef& node : *list) {
        if (node.objectId != objectId) continue;
        found = 1;
        const bool held = std::any_of(out.begin(), out.end(), [&](const sNodeDef* n) { return n->id == node.id; });
        if (!held) out.push_back(&node);
    }
    return found;
}

sNodeDef* CNodeDefList::FindById(int32_t id) const {
    if (id < 1) return nullptr;
    return FindFirst([&](const sNodeDef& n) { return n.id == id; });
}

sNodeDef* CNodeDefList::FindByNumber(int32_t number) const {
    if (number < 1) return nullptr;
    return FindFirst([&](const sNodeDef& n) { return n.number == number; });
}

sNodeDef* CNodeDefList::FindByHeaderNumber(int32_t number) const {
    return FindByNumber(number >= kNodeCategory ? number % kNodeCategory : number);
}

int32_t CNodeDefList::FindIdByNumber(int32_t number) const {
    const sNodeDef* node = FindByHeaderNumber(number);
    return node != nullptr ? node->id : -1;
}

int CNodeDefList::IsZeroOffsetNodeId(int32_t id) const {
    return IsZeroOffsetNode(FindById(id));
}

sNodeDef* CNodeDefList::FindZeroOffsetNodeOfObject(int32_t objectId) const {
    return FindFirst([&](const sNodeDef& n) { return n.objectId == objectId && IsZeroOffsetNode(&n) != 0; });
}

sNodeDef* CNodeDefList::ResolveNode(int32_t id, const CObjDefList* objects) const {
    if (objects == nullptr || objects->IsEmpty() || id < 1) return nullptr;
    sNodeDef* node = FindById(id);
    if (node == nullptr || IsZeroOffsetNode(node) != 0) return node;
    const sObjDef* object = objects->FindById(node->objectId);
    return object == nullptr ? nullptr : FindById(object->refNodeId);
}

int32_t CNodeDefList::GetObjectId(int32_t nodeId) const {
    const sNodeDef* node = FindById(nodeId);
    return node != nullptr ? node->objectId : -1;
}

int32_t CNodeDefList::GetSatelliteNumber(int32_t nodeId) const {
    if (nodeId < 1) return 0;
    const sNodeDef* node = FindById(nodeId);
    return node != nullptr && node->nodeType == NODE_SATELLITE_VEHICLE ? node->satelliteNumber : -1;
}

int32_t CNodeDefList::FindSatelliteNodeId(int32_t satelliteNumber, int32_t obsType) const {
    const bool satelliteObs = (obsType >= 20 && obsType <= 23) || obsType == 33;
    if (!satelliteObs) return -1;
    const sNodeDef* node = FindFirst([&](const sNodeDef& n) {
        return n.nodeType == NODE_SATELLITE_VEHICLE && n.satelliteNumber == satelliteNumber;
    });
    return node != nullptr ? node->id : -1;
}

int CNodeDefList::CountByObject(int32_t objectId) const {
    if (objectId < 1) return -1;
    return CountIf([&](const sNodeDef& n) { return n.objectId == objectId; });
}

sNodeDef* CNodeDefList::FindCoincidentNode(int32_t nodeId, int axis) const {
    const sNodeDef* node = FindById(nodeId);
    if (node == nullptr || !IsAxis(axis)) return nullptr;
    const double mm = Millimetre();
    return FindFirst([&](const sNodeDef& n) {
        return &n != node && n.objectId == node->objectId && Within(n, *node, (axis + 1) % 3, mm) &&
               Within(n, *node, (axis + 2) % 3, mm);
    });
}

int CNodeDefList::CountCoincidentNodes(int32_t nodeId, int axis) const {
    const sNodeDef* node = FindById(nodeId);
    if (node == nullptr || !IsAxis(axis)) return 0;
    const double mm = Millimetre();
    return CountIf([&](const sNodeDef& n) {
        return &n != node && n.objectId == node->objectId && Within(n, *node, (axis + 1) % 3, mm) &&
               Within(n, *node, (axis + 2) % 3, mm);
    });
}

template <typename F>
void CNodeDefList::ForEachLink(const CHdrList* headers, F f) const {
    for (const sHdrEntry& entry : *headers) {
        if (entry.recordId != kRecordNodeLink) continue;
        const auto from = entry.Word(0);
        const auto to = entry.Word(4);
        if (!from || !to) continue;
        sNodeDef* a = FindByHeaderNumber(*from);
        sNodeDef* b = FindByHeaderNumber(*to);
        if (a != nullptr && b != nullptr && a->objectId != b->objectId && f(a, b)) return;
    }
}

sNodeDef* CNodeDefList::FindLinkedNode(int32_t objectId, const CHdrList* headers) const {
    if (headers == nullptr) return nullptr;
    sNodeDef* found = nullptr;
    ForEachLink(headers, [&](sNodeDef* a, sNodeDef* b) {
        found = a->objectId == objectId ? a : b->objectId == objectId ? b : nullptr;
        return found != nullptr;
    });
    return found;
}

int32_t CNodeDefList::FindLinkedNodeId(int32_t objectId, const CHdrList* headers) const {
    if (headers == nullptr || !headers->HasRecord(kRecordNodeLink)) return -1;
    const sNodeDef* node = FindLinkedNode(objectId, headers);
    return node != nullptr ? node->id : 0;
}

int CNodeDefList::CountLinks(int32_t objectId, const CHdrList* headers) const {
    if (headers == nullptr) return 0;
    int count = 0;
    ForEachLink(headers, [&](sNodeDef* a, sNodeDef* b) {
        count += a->objectId == objectId || b->objectId == objectId ? 1 : 0;
        return false;
    });
    return count;
}

int CNodeDefList::CopyLinkedNodes(int32_t nodeNumber, const CNodeDefList* nodes, const CHdrList* headers, int keep) {
    if (nodes == nullptr || headers == nullptr || nodes == this) return 0;
    if (keep == 0) RemoveAll();
    auto plain = [](int32_t n) { return n >= kNodeCategory ? n % kNodeCategory : n; };
    const int32_t number = plain(nodeNumber);
    int added = 0;
    for (const sHdrEntry& entry : *headers) {
        if (entry.recordId != kRecordNodeLink) continue;
        const auto from = entry.Word(0);
        const auto to = entry.Word(4);
        if (!from || !to) continue;
        int32_t other = -1;
        if (plain(*from) == number) other = *to;
        else if (plain(*to) == number) other = *from;
        const sNodeDef* node = other >= 0 ? nodes->FindByHeaderNumber(other) : nullptr;
        if (node != nullptr && !HasId(node->id)) {
            Add(*node);
            added = 1;
        }
    }
    return added;
}

int CNodeDefList::CopyDredgingNodes(CNodeDefList& out, int32_t dredgingId, const CHdrList* headers) const {
    CNodeDefList copies;
    const sHdrEntry* dredging = nullptr;
    if (headers != nullptr) {
        for (const sHdrEntry& entry : *headers) {
            if (entry.recordId == kRecordDredging && (dredgingId == -1 || entry.Word(0) == dredgingId)) {
                dredging = &entry;
                break;
            }
        }
    }
    auto copyNode = [&](std::optional<int32_t> number) {
        if (!number) return;
        if (const sNodeDef* node = FindByHeaderNumber(*number)) copies.Add(*node);
    };
    if (dredging != nullptr) {
        copyNode(dredging->Word(8));
        copyNode(dredging->Word(12));
        if (dredging->Word(44).value_or(0) >= 1) {
            for (const sHdrEntry& entry : *headers) {
                if (entry.recordId == kRecordDredgingSub) copyNode(entry.Word(12));
            }
        }
    }
    out = copies;
    return out.GetCount();
}

int CNodeDefList::Compare(const CNodeDefList& other) const {
    return CompareRecords(other, [](const sNodeDef& n) { return n.id; });
}

int CNodeDefList::SortByOffset(int axis, int ascending) {
    if (GetCount() < 2 || !IsAxis(axis)) return 0;
    const double mm = Millimetre();
    // The pairwise rule is no strict order (the key axis changes from pair to pair), so the passes
    // are bounded: n passes are enough for n nodes, and nothing can keep the loop going.
    const size_t n = m_records.size();
    for (size_t pass = 0; pass < n; ++pass) {
        bool swapped = false;
        for (size_t k = 0; k + 1 < n; ++k) {
            if (OutOfOrder(*m_records[k], *m_records[k + 1], axis, ascending != 0, mm)) {
                std::swap(m_records[k], m_records[k + 1]);
                swapped = true;
            }
        }
        if (!swapped) break;
    }
    return 1;
}

int CNodeDefList::SortByObjects(const std::vector<int32_t>& objectIds, int axis, int ascending) {
    if (GetCount() < 2 || objectIds.size() < 2) return 0;
    if (SortByOffset(axis, ascending) == 0) return 0;
    Records rest = std::move(m_records);
    m_records.clear();
    auto take = [&](auto match) {
        for (auto& r : rest) {
            if (r && match(*r)) m_records.push_back(std::move(r));
        }
    };
    for (int32_t objectId : objectIds) take([&](const sNodeDef& n) { return n.objectId == objectId; });
    for (uint32_t type : {NODE_FIXED, NODE_DCS_STATION, NODE_SATELLITE_VEHICLE, NODE_UNDEFINED})
        take([&](const sNodeDef& n) { return n.nodeType == type; });
    // Every other node stays in the list, in sorted order.
    take([](const sNodeDef&) { return true; });
    return 1;
}

int CNodeDefList::SortByObjects(const CObjDefList* objects, int axis, int ascending) {
    if (objects == nullptr) return 0;
    std::vector<int32_t> objectIds;
    for (const sObjDef& o : *objects) objectIds.push_back(o.objectId);
    return SortByObjects(objectIds, axis, ascending);
}

namespace {

constexpr size_t kNode6Size = 112;

sNodeDef WithDefaults(sNodeDef def) {
    ApplyNodeDefDefaults(&def);
    return def;
}

sNodeDef UpgradeNode6(const uint8_t* old) {
    sNodeDef def{};
    def.id = LoadAt<int32_t>(old, 0);
    def.number = LoadAt<int32_t>(old, 4);
    def.satelliteNumber = LoadAt<int32_t>(old, 8);
    SetFieldText(def.name, FieldText(reinterpret_cast<const char*>(old + 12), sizeof def.name));
    def.nodeType = LoadAt<uint32_t>(old, 76);
    def.objectId = LoadAt<int32_t>(old, 80);
    def.reserved84 = -1;
    def.x = LoadAt<double>(old, 88);
    def.y = LoadAt<double>(old, 96);
    def.z = LoadAt<double>(old, 104);
    return def;
}

}  // namespace

void CNodeDefList::WriteBlock(CVOKFile& file) const {
    WriteRecordsBlock(file, BLOCK_NODE_DEFS, [](const sNodeDef&) {});
}

int CNodeDefList::ReadBlock(CVOKFile& file) {
    sBlockHeader header;
    if (!file.ReadBlockHeader(header)) return 0;
    switch (header.id) {
        case BLOCK_NODE_DEFS:
            return AppendBlockRecords(file, header, sizeof(sNodeDef),
                                      [](const uint8_t* bytes) { return WithDefaults(LoadAt<sNodeDef>(bytes, 0)); });
        case BLOCK_NODE_DEFS_OLD:
            return AppendBlockRecords(file, header, kNode6Size,
                                      [](const uint8_t* bytes) { return WithDefaults(UpgradeNode6(bytes)); });
        default: return 0;
    }
}

int CNodeDefList::WriteToIpc(IpcBufferHandle& handle, int block) const {
    return WriteRecordsToIpc(handle, block, [](sNodeDef&) {});
}

int CNodeDefList::ReadFromIpc(IpcBufferHandle& handle, int block) {
    return ReadRecordsFromIpc(handle, block);
}

int CNodeDefList::FillComboBox(CComboBox* box, int32_t selectedId, int32_t objectId) const {
    if (box == nullptr) return 0;
    box->ResetContent();
    for (const sNodeDef& node : *this) {
        if (objectId != 0 && node.objectId != objectId) continue;
        const int index = box->AddString(GetNodeDefName(&node));
        box->SetItemData(index, static_cast<DWORD_PTR>(static_cast<uint32_t>(node.id)));
        if (node.id == selectedId) box->SetCurSel(index);
    }
    return box->GetCount();
}

int CNodeDefList::FillTreeForObject(CTreeCtrl* tree, HTREEITEM parent, int32_t objectId, int32_t imageBase) const {
    if (tree == nullptr) return 0;
    int inserted = 0;
    for (const sNodeDef& node : *this) {
        if (node.objectId == objectId && InsertNodeDefTreeItem(tree, parent, &node, imageBase) != nullptr) ++inserted;
    }
    return inserted;
}

void CNodeDefList::FillNameArrays(int32_t objectId, CStringArray& names, CDWordArray& ids) const {
    names.RemoveAll();
    ids.RemoveAll();
    for (const sNodeDef& node : *this) {
        if (node.objectId != objectId) continue;
        names.Add(GetNodeDefName(&node));
        ids.Add(static_cast<DWORD>(node.id));
    }
}
