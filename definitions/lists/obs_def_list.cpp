#include "definitions/lists/obs_def_list.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "definitions/lists/definition_tree.h"
#include "definitions/records/definition_types.h"
#include "definitions/header/hdr_list.h"
#include "definitions/lists/node_def_list.h"
#include "definitions/lists/obs_type_properties.h"
#include "definitions/records/payload_bytes.h"
#include "definitions/file/vok_file.h"

using Vok::Definitions::LoadAt;

namespace {

constexpr int32_t kRecordGnssPosition = 258;

bool NodesMatch(const sObsDef& d, int32_t nodeId, int32_t toNodeId) {
    return (nodeId <= 0 || d.nodeId == nodeId) && (toNodeId < 1 || d.toNodeId == toNodeId);
}

// A filter value of 0 or below matches every value.
bool Filter(int32_t wanted, int32_t value) { return wanted <= 0 || value == wanted; }

bool SameTextNoCase(const char* field, size_t size, const char* text) {
    return FieldText(field, size).CompareNoCase(text) == 0;
}

}  // namespace

CObsDefList::CObsDefList(const CObsDefList* other) {
    if (other != nullptr) AppendCopies(*other);
}

void CObsDefList::CopyFrom(const CObsDefList* other) {
    if (other != nullptr) *this = *other;
}

sObsDef* CObsDefList::FindById(int32_t id) const {
    if (id < 1) return nullptr;
    return FindFirst([&](const sObsDef& d) { return d.id == id; });
}

sObsDef* CObsDefList::FindByLink(int32_t link) const {
    if (link == 0) return nullptr;
    return FindFirst([&](const sObsDef& d) { return d.link == link; });
}

sObsDef* CObsDefList::FindBySystem(int32_t sysId, int32_t obsType, int32_t n) const {
    if (sysId < 1) return nullptr;
    return FindNth(n, [&](const sObsDef& d) { return d.sysId == sysId && (obsType <= 0 || d.obsType == obsType); });
}

sObsDef* CObsDefList::FindByTypeNth(int32_t obsType, int32_t n) const {
    return FindNth(n, [&](const sObsDef& d) { return obsType <= 0 || d.obsType == obsType; });
}

sObsDef* CObsDefList::FindMatching(int32_t sysId, int32_t obsType, int32_t nodeId, int32_t toNodeId,
                                   bool linkedOnly) const {
    return FindFirst([&](const sObsDef& d) {
        return (sysId == 0 || d.sysId == sysId) && (obsType <= 0 || d.obsType == obsType) &&
               NodesMatch(d, nodeId, toNodeId) && (!linkedOnly || d.link < 0);
    });
}

sObsDef* CObsDefList::FindBySystemAndNodes(int32_t sysId, int32_t obsType, int32_t nodeId, int32_t toNodeId) const {
    return sysId < 1 ? nullptr : FindMatching(sysId, obsType, nodeId, toNodeId, false);
}

sObsDef* CObsDefList::FindByType(int32_t obsType, int32_t nodeId, int32_t toNodeId) const {
    return FindMatching(0, obsType, nodeId, toNodeId, false);
}

sObsDef* CObsDefList::FindLinkedBySystemAndNodes(int32_t sysId, int32_t obsType, int32_t nodeId,
                                                 int32_t toNodeId) const {
    return sysId < 1 ? nullptr : FindMatching(sysId, obsType, nodeId, toNodeId, true);
}

sObsDef* CObsDefList::FindLinkedByType(int32_t obsType, int32_t nodeId, int32_t toNodeId) const {
    return FindMatching(0, obsType, nodeId, toNodeId, true);
}

sObsDef* CObsDefList::FindByNode(const sNodeDef* node, int from, int to) const {
    if (node == nullptr) return nullptr;
    return FindFirst([&](const sObsDef& d) {
        return (from != 0 && d.nodeId == node->id) || (to != 0 && d.toNodeId == node->id);
    });
}

sObsDef* CObsDefList::FindLinkPartner(const sObsDef* def) const {
    // Link 0 means none, and a record is never its own partner.
    if (def == nullptr || def->link == 0) return nullptr;
    const int32_t partner = static_cast<int32_t>(0u - static_cast<uint32_t>(def->link));
    return FindFirst([&](const sObsDef& d) { return &d != def && d.link == partner; });
}

sObsDef* CObsDefList::FindAssociatedObs(const sObsDef* def) const {
    if (def == nullptr || def->link == 0) return nullptr;
    const int32_t negated = static_cast<int32_t>(0u - static_cast<uint32_t>(def->link));
    auto withLink = [&](int32_t link, std::initializer_list<int32_t> types) {
        return FindFirst([&](const sObsDef& d) {
            return &d != def && d.link == link && std::find(types.begin(), types.end(), d.obsType) != types.end();
        });
    };
    if (def->obsType == 91) {
        if (sObsDef* depth = withLink(negated, {51, 88})) return depth;
        return withLink(negated, {OBS_BEARING_TRUE});
    }
    if (def->obsType == 97) return withLink(negated, {OBS_BEARING_TRUE});
    return nullptr;
}

sObsDef* CObsDefList::FindSurveySensorObs(int32_t sysId, int32_t n) const {
    return FindNth(n, [&](const sObsDef& d) {
        return Filter(sysId, d.sysId) && (IsSurveySensorObs(&d) != 0 || IsSidescanObs(&d) != 0);
    });
}

int CObsDefList::CountByType(int32_t obsType) const {
    if (obsType < 0) return -1;
    return CountIf([&](const sObsDef& d) { return d.obsType == obsType; });
}

int CObsDefList::CountBySystem(int32_t sysId) const {
    if (sysId < 1) return -1;
    return CountIf([&](const sObsDef& d) { return d.sysId == sysId; });
}

int CObsDefList::CountByNode(int32_t nodeId, int32_t toNodeId) const {
    if (nodeId < 1) return -1;
    return CountIf([&](const sObsDef& d) { return d.nodeId == nodeId && (toNodeId < 1 || d.toNodeId == toNodeId); });
}

void CObsDefList::CopyBySystem(CObsDefList& out, int32_t sysId) const {
    CopyIf(out, [&](const sObsDef& d) { return Filter(sysId, d.sysId); });
}

void CObsDefList::CopyByType(CObsDefList& out, int32_t obsType) const {
    CopyIf(out, [&](const sObsDef& d) { return Filter(obsType, d.obsType); });
}

void CObsDefList::CopyByText(CObsDefList& out, const char* text) const {
    const CString wanted(text != nullptr ? text : "");
    CopyIf(out, [&](const sObsDef& d) { return FieldText(d.tag) == wanted; });
}

template <typename Pred>
void CObsDefList::CopyWithNodes(CObsDefList& out, const CNodeDefList* nodes, Pred match) const {
    if (nodes == nullptr) {
        CopyIf(out, [](const sObsDef&) { return false; });
        return;
    }
    CopyIf(out, [&](const sObsDef& d) { return match(d, nodes->FindById(d.nodeId), nodes->FindById(d.toNodeId)); });
}

void CObsDefList::CopyByTypeAndObject(CObsDefList& out, const CNodeDefList* nodes, int32_t obsType,
                                      int32_t objectId) const {
    CopyWithNodes(out, nodes, [&](const sObsDef& d, const sNodeDef* from, const sNodeDef*) {
        return Filter(obsType, d.obsType) && from != nullptr && Filter(objectId, from->objectId);
    });
}

void CObsDefList::CopyFromObject(CObsDefList& out, const CNodeDefList* nodes, int32_t objectId) const {
    CopyWithNodes(out, nodes, [&](const sObsDef&, const sNodeDef* from, const sNodeDef* to) {
        return from != nullptr && to != nullptr && from->objectId != to->objectId && from->objectId == objectId;
    });
}

void CObsDefList::CopyToObject(CObsDefList& out, const CNodeDefList* nodes, int32_t objectId) const {
    CopyWithNodes(out, nodes, [&](const sObsDef&, const sNodeDef* from, const sNodeDef* to) {
        return from != nullptr && to != nullptr && from->objectId != to->objectId && to->objectId == objectId;
    });
}

void CObsDefList::CollectByNodes(std::vector<sObsDef*>& out, const sNodeDef* node, const sNodeDef* toNode) const {
    if (node == nullptr || toNode == nullptr) return;
    CollectIf(out, [&](const sObsDef& d) { return d.nodeId == node->id && d.toNodeId == toNode->id; });
}

void CObsDefList::CollectByNode(std::vector<sObsDef*>& out, const sNodeDef* node, int from, int to) const {
    if (node == nullptr) return;
    CollectIf(out, [&](const sObsDef& d) {
        return (from != 0 && d.nodeId == node->id) || (to != 0 && d.toNodeId == node->id);
    });
}

int CObsDefList::CountTextUses(int32_t sysId, const char* text, int32_t skip1, int32_t skip2, int32_t skip3) const {
    if (sysId < 1 || text == nullptr || *text == '\0') return -1;
    int uses = 0;
    for (const sObsDef& d : *this) {
        if (d.sysId != sysId || d.id == skip1 || d.id == skip2 || d.id == skip3) continue;
        uses += SameTextNoCase(d.refName1, sizeof(d.refName1), text) ? 1 : 0;
        uses += SameTextNoCase(d.refName2, sizeof(d.refName2), text) ? 1 : 0;
    }
    return uses;
}

void CObsDefList::ClearTextUses(int32_t sysId, const char* text) {
    if (text == nullptr) return;
    for (sObsDef& d : *this) {
        if (d.sysId != sysId) continue;
        if (SameTextNoCase(d.refName1, sizeof(d.refName1), text)) SetFieldText(d.refName1, "");
        if (SameTextNoCase(d.refName2, sizeof(d.refName2), text)) SetFieldText(d.refName2, "");
    }
}

void CObsDefList::CollectSystemIds(CUIntArray& ids) const {
    for (const sObsDef& d : *this) {
        const auto id = static_cast<UINT>(d.sysId);
        if (std::find(ids.begin(), ids.end(), id) == ids.end()) ids.Add(id);
    }
}

int CObsDefList::Compare(const CObsDefList& other) const {
    return CompareRecords(other, [](const sObsDef& d) { return d.id; });
}

namespace {

// The old observation records: 200 bytes in block 37, 192 bytes in block 4. Both keep id, link,
// system id and name where the current record has them.
constexpr size_t kObs37Size = 200;
constexpr size_t kObs4Size = 192;

sObsDef ObsDefBase(const uint8_t* old) {
    sObsDef def{};
    def.id = LoadAt<int32_t>(old, 0);
    def.link = LoadAt<int32_t>(old, 4);
    def.sysId = LoadAt<int32_t>(old, 8);
    SetFieldText(def.name, FieldText(reinterpret_cast<const char*>(old + 12), sizeof def.name));
    return def;
}

void CopyDoubles(sObsDef& def, const uint8_t* old) {
    def.verticalDelay = LoadAt<double>(old, 104);
    def.velocity = LoadAt<double>(old, 112);
    def.soundVelocity = LoadAt<double>(old, 120);
    def.correction1 = LoadAt<double>(old, 128);
    def.correction2 = LoadAt<double>(old, 136);
    def.scale = LoadAt<double>(old, 144);
}

template <size_t N>
void CopyText(char (&field)[N], const uint8_t* old, size_t offset) {
    SetFieldText(field, FieldText(reinterpret_cast<const char*>(old + offset), N));
}

sObsDef UpgradeObs37(const uint8_t* old) {
    sObsDef def = ObsDefBase(old);
    def.flag74 = old[74];
    def.flag75 = old[75];
    def.nodeId = LoadAt<int32_t>(old, 76);
    def.toNodeId = LoadAt<int32_t>(old, 80);
    def.obsType = LoadAt<int32_t>(old, 84);
    def.unitType = LoadAt<uint32_t>(old, 88);
    def.rotationOrder = LoadAt<uint32_t>(old, 92);
    def.displayNodeId = LoadAt<int32_t>(old, 96);
    CopyDoubles(def, old);
    def.sigma = LoadAt<float>(old, 152);
    def.setting164 = LoadAt<float>(old, 156);
    CopyText(def.refName1, old, 160);
    CopyText(def.refName2, old, 171);
    CopyText(def.tag, old, 182);
    def.interval = LoadAt<float>(old, 196);
    return def;
}

sObsDef UpgradeObs4(const uint8_t* old) {
    sObsDef def = ObsDefBase(old);
    def.nodeId = LoadAt<int32_t>(old, 76);
    def.toNodeId = LoadAt<int32_t>(old, 80);
    def.obsType = LoadAt<int32_t>(old, 84);
    def.unitType = LoadAt<uint32_t>(old, 88);
    CopyDoubles(def, old);
    def.sigma = LoadAt<float>(old, 152);
    CopyText(def.refName1, old, 156);
    CopyText(def.refName2, old, 167);
    CopyText(def.tag, old, 178);
    def.interval = GetObsTypeDefaultInterval(def.obsType);
    return def;
}

}  // namespace

void CObsDefList::WriteBlock(CVOKFile& file) {
    WriteRecordsBlock(file, BLOCK_OBS_DEFS, [](sObsDef& d) { d.transient = 0; });
}

int CObsDefList::ReadBlock(CVOKFile& file) {
    sBlockHeader header;
    if (!file.ReadBlockHeader(header)) return 0;
    switch (header.id) {
        case BLOCK_OBS_DEFS: return AppendBlockRecords(file, header);
        case BLOCK_OBS_DEFS_OLD: return AppendBlockRecords(file, header, kObs37Size, UpgradeObs37);
        case BLOCK_OBS_DEFS_OLDEST: return AppendBlockRecords(file, header, kObs4Size, UpgradeObs4);
        default: return 0;
    }
}

int CObsDefList::WriteToIpc(IpcBufferHandle& handle, int block) {
    return WriteRecordsToIpc(handle, block, [](sObsDef& d) { d.transient = 0; });
}

int CObsDefList::ReadFromIpc(IpcBufferHandle& handle, int block) {
    return ReadRecordsFromIpc(handle, block);
}

template <typename Pred>
int CObsDefList::FillTree(CTreeCtrl* tree, HTREEITEM parent, int32_t imageBase, Pred match) const {
    if (tree == nullptr) return 0;
    int inserted = 0;
    for (const sObsDef& d : *this) {
        if (match(d) && InsertObsDefTreeItem(tree, parent, &d, imageBase) != nullptr) ++inserted;
    }
    return inserted;
}

int CObsDefList::FillTreeForSystem(CTreeCtrl* tree, HTREEITEM parent, int32_t sysId, int32_t imageBase) const {
    return FillTree(tree, parent, imageBase, [&](const sObsDef& d) { return d.sysId == sysId; });
}

int CObsDefList::FillTreeForNode(CTreeCtrl* tree, HTREEITEM parent, int32_t nodeId, int32_t imageBase) const {
    return FillTree(tree, parent, imageBase, [&](const sObsDef& d) { return d.nodeId == nodeId; });
}

int CObsDefList::FillTreeForSystemWithNodes(CTreeCtrl* tree, HTREEITEM parent, int32_t sysId, int32_t imageBase,
                                            const CNodeDefList* nodes) const {
    if (nodes == nullptr) return 0;
    return FillTree(tree, parent, imageBase,
                    [&](const sObsDef& d) { return d.sysId == sysId && nodes->FindById(d.nodeId) != nullptr; });
}

double CObsDefList::ApplyCorrectionById(double x, int32_t id) const {
    const sObsDef* def = FindById(id);
    return def != nullptr ? ApplyObsCorrection(x, def) : x;
}

double CObsDefList::ApplyScaleById(double x, int32_t id) const {
    const sObsDef* def = FindById(id);
    return def != nullptr ? ApplyObsScale(x, def) : x;
}

const sHdrEntry* GnssPositionHdrIterator::Next() {
    m_current = nullptr;
    if (m_headers == nullptr) return nullptr;
    while (const sHdrEntry* entry = m_headers->GetEntryAt(m_next)) {
        ++m_next;
        if (entry->recordId == kRecordGnssPosition && entry->Payload() != nullptr) {
            m_current = entry;
            break;
        }
    }
    return m_current;
}

double ApplyCorrection(double x, double c, double s, double q) {
    double y = x + c;
    if (s != 0.0) {
        y *= s;
        if (q != 0.0) y += q * x * x;
    }
    return y;
}

double ApplyObsCorrection(double x, const sObsDef* def) {
    if (def == nullptr) return x;
    return ApplyCorrection(x, def->correction1 + def->correction2, def->scale, def->quadratic);
}

double RemoveCorrection(double y, double c, double s, double q) {
    if (s == 0.0) return y - c;
    if (q == 0.0) return y / s - c;
    const double root = std::sqrt((y - c * s) * 4.0 * q + s * s);
    const double r1 = (-s + root) / (2.0 * q);
    const double r2 = -(s + root) / (2.0 * q);
    return std::fabs(r1 - y) < std::fabs(r2 - y) ? r1 : r2;
}

double RemoveObsCorrection(double y, const sObsDef* def) {
    if (def == nullptr) return y;
    return RemoveCorrection(y, def->correction1 + def->correction2, def->scale, def->quadratic);
}

double ApplyScale(double x, double s) {
    return s != 0.0 ? x * s : x;
}

double ApplyObsScale(double x, const sObsDef* def) {
    return def != nullptr ? ApplyScale(x, def->scale) : x;
}

double ApplyVelocityRatio(double x, const sObsDef* def) {
    if (def == nullptr || def->soundVelocity == 0.0 || def->velocity == 0.0) return x;
    return x * (def->soundVelocity / def->velocity);
}

double RemoveVelocityRatio(double x, const sObsDef* def) {
    if (def == nullptr || def->soundVelocity == 0.0 || def->velocity == 0.0) return x;
    return x * (def->velocity / def->soundVelocity);
}
