#include "definitions/lists/obj_def_list.h"

#include <algorithm>
#include <climits>
#include <cstring>
#include <optional>
#include <set>
#include <vector>

#include "compat/file.h"
#include "definitions/records/definition_predicates.h"
#include "definitions/header/hdr_list.h"
#include "definitions/lists/height_def_upgrader.h"
#include "definitions/lists/node_def_list.h"
#include "definitions/lists/obs_def_list.h"
#include "definitions/records/payload_bytes.h"
#include "definitions/file/vok_file.h"

using Vok::Definitions::LoadAt;
using Vok::Definitions::StoreAt;

namespace {

constexpr int32_t kVesselType = 0;
constexpr int32_t kSurveyVesselType = 10;
constexpr int32_t kPipeBundleType = 13;
constexpr int32_t kReferencePointRecord = 197;
constexpr int32_t kSquatModelRecord = 213;
constexpr int32_t kNodeLinkRecord = 230;
constexpr int32_t kNoStrategy = -1;

uint8_t* Bytes(sObjDef& def) { return reinterpret_cast<uint8_t*>(&def); }
const uint8_t* Bytes(const sObjDef& def) { return reinterpret_cast<const uint8_t*>(&def); }

bool IsVesselType(int32_t objType) { return objType == kVesselType || objType == kSurveyVesselType; }

// --- old stored layouts -----------------------------------------------------------------------

struct sMove {
    size_t to;
    size_t from;
    size_t count;
};

struct sOldLayout {
    size_t size;
    std::vector<sMove> moves;
    size_t envByte;          // the zero-extended byte that becomes the word at 324; 0: none
    std::vector<sMove> legacy;
    bool legacyReferenceIdUnset;  // the legacy reference id is -1, not stored
};

constexpr size_t kNameOffset = 12;
constexpr size_t kNameSize = 36;

const sOldLayout& OldLayout(int layout) {
    static const sOldLayout layouts[] = {
        {},
        {29288,
         {{8, 8, 4}, {48, 48, 4}, {52, 28056, 120}, {212, 29256, 16}, {232, 29272, 16}},
         0,
         {{0, 28176, 4}, {8, 28184, 4}, {12, 28192, 4}, {16, 28196, 16}, {32, 28212, 1044}},
         true},
        {29296,
         {{8, 8, 4}, {48, 48, 4}, {52, 28056, 120}, {212, 29256, 16}, {232, 29272, 16}, {248, 29288, 8}},
         0,
         {{0, 28176, 4}, {8, 28184, 4}, {12, 28192, 4}, {16, 28196, 16}, {32, 28212, 1044}},
         true},
        {29432,
         {{6, 6, 2}, {8, 8, 4}, {48, 48, 4}, {52, 28056, 120}, {212, 29252, 16}, {232, 29272, 16}, {248, 29288, 8},
          {256, 29296, 52}, {308, 29348, 44}},
         29348 + 16,
         {{0, 28176, 16}, {16, 28192, 16}, {32, 28208, 1044}},
         false},
        {1424,
         {{6, 6, 2}, {8, 8, 4}, {48, 48, 4}, {52, 52, 120}, {212, 1248, 16}, {232, 1264, 16}, {248, 1280, 8},
          {256, 1288, 52}, {308, 1340, 44}},
         1340 + 16,
         {{0, 172, 16}, {16, 188, 16}, {32, 204, 1044}, {1076, 1384, 12}},
         false},
    };
    return layouts[layout];
}

// The oldest form: id, name and reference node, and two codes far behind them.
constexpr size_t kOldestSize = 28060;

// A zeroed record with the defaults under the fields that a stored record brings.
sObjDef NewRecord() {
    sObjDef def{};
    def.Init();
    return def;
}

void CopyName(sObjDef& def, const uint8_t* old, size_t offset) {
    SetFieldText(def.name, FieldText(reinterpret_cast<const char*>(old + offset), kNameSize));
}

void MoveFields(const sOldLayout& layout, const uint8_t* old, sObjDef& def) {
    for (const sMove& m : layout.moves) std::memcpy(Bytes(def) + m.to, old + m.from, m.count);
    CopyName(def, old, kNameOffset);
    if (layout.envByte != 0) def.environment2 = old[layout.envByte];
}

void FillLegacy(const sOldLayout& layout, const uint8_t* old, sLegacyHeightDef& legacy) {
    std::memset(&legacy, 0, sizeof legacy);
    auto* bytes = reinterpret_cast<uint8_t*>(&legacy);
    for (const sMove& m : layout.legacy) std::memcpy(bytes + m.to, old + m.from, m.count);
    if (layout.legacyReferenceIdUnset) legacy.referenceId = -1;
}

// An old-form code in the current form: 2 higher. A stored value whose successor does not fit
// in 32 bits is no code that the old form could hold, and gives none.
std::optional<int32_t> CurrentCode(int32_t oldCode) {
    if (oldCode > INT32_MAX - 2) return std::nullopt;
    return oldCode + 2;
}

void ConvertOldest(const uint8_t* old, sObjDef& def) {
    def.objectId = LoadAt<int32_t>(old, 0);
    CopyName(def, old, 4);
    def.refNodeId = LoadAt<int32_t>(old, 40);
    def.settings1[0] = LoadAt<int32_t>(old, 28048);
    def.settings2[0] = LoadAt<int32_t>(old, 28056);
    def.codeTable[0] = CurrentCode(def.settings2[0]).value_or(0);
}

// --- the settings stream ----------------------------------------------------------------------

// Reads from a file and remembers the first short read.
class CStreamReader {
public:
    explicit CStreamReader(CFile& file) : m_file(file) {}
    bool Read(void* destination, size_t count) {
        m_ok = m_ok && m_file.Read(destination, static_cast<UINT>(count)) == count;
        return m_ok;
    }
    bool Skip(size_t count) {
        uint8_t scratch[64];
        while (m_ok && count > 0) {
            const size_t n = std::min(count, sizeof scratch);
            Read(scratch, n);
            count -= n;
        }
        return m_ok;
    }
    bool Ok() const { return m_ok; }

private:
    CFile& m_file;
    bool m_ok = true;
};

// The stream fields that version 5 writes, as ranges of the record.
constexpr sMove kStreamRanges[] = {{52, 52, 176}, {232, 232, 152}};

// Reads one entry's fields after its id into def; the legacy height definition of versions 1 to
// 4 into legacy. false when the stream was cut.
bool ReadStreamEntry(CStreamReader& in, uint8_t version, sObjDef& def, sLegacyHeightDef& legacy) {
    uint8_t* d = Bytes(def);
    auto* l = reinterpret_cast<uint8_t*>(&legacy);
    auto at = [&](size_t offset, size_t count) { in.Read(d + offset, count); };
    if (version == 0) return in.Skip(12);
    if (version == 5) {
        at(52, 160);
        at(212, 12);
        in.Skip(4 + 8);  // the word at 224 and the value at 232
        at(240, 8);
        at(248, 20);
        at(268, 40);
        in.Skip(8);  // the object type and the word after it
        at(316, 16);
        in.Skip(20);  // the five words at 332
        at(352, 32);
        return in.Ok();
    }
    // Versions 1 to 4.
    std::memset(&legacy, 0, sizeof legacy);
    at(52, 120);
    in.Read(l, 16 + 16 + 1044);
    at(212, 12);
    in.Skip(4 + 8);
    at(240, 8);
    if (version >= 2) at(248, 8);
    if (version >= 3) {
        uint8_t environment2 = 0;
        at(256, 12);
        at(268, 40);
        in.Skip(8);
        at(316, 8);
        in.Read(&environment2, 1);
        at(328, 4);
        in.Skip(20);
        def.environment2 = environment2;
        if (version == 4) in.Read(l + 1076, 12);
        in.Skip(version == 3 ? 3 + 36 : 3 + 24);
    }
    return in.Ok();
}

// The first header record of the type whose first word is the object's id.
const sHdrEntry* FindObjectRecord(const CHdrList& headers, int32_t recordId, int32_t objectId) {
    for (const sHdrEntry& e : headers) {
        if (e.recordId == recordId && e.Word(0) == objectId) return &e;
    }
    return nullptr;
}

}  // namespace

size_t GetObjDefLayoutSize(int layout) {
    if (layout == OBJDEF_LAYOUT_OLDEST) return kOldestSize;
    return layout >= OBJDEF_LAYOUT_1 && layout <= OBJDEF_LAYOUT_4 ? OldLayout(layout).size : 0;
}

bool ConvertObjDefLayout(int layout, const uint8_t* old, sObjDef& def, sLegacyHeightDef* legacy) {
    if (layout < OBJDEF_LAYOUT_OLDEST || layout > OBJDEF_LAYOUT_4) return false;
    def = NewRecord();
    if (layout == OBJDEF_LAYOUT_OLDEST) {
        ConvertOldest(old, def);
    } else {
        MoveFields(OldLayout(layout), old, def);
        if (legacy != nullptr) FillLegacy(OldLayout(layout), old, *legacy);
    }
    def.UpdateStamp();
    return true;
}

// --- the list ---------------------------------------------------------------------------------

CObjDefList::CObjDefList(const CObjDefList* other) {
    if (other != nullptr) AppendCopies(*other);
}

void CObjDefList::CopyFrom(const CObjDefList* other) {
    if (other != nullptr) *this = *other;
}

sObjDef* CObjDefList::FindById(int32_t id) const {
    if (id < 1) return nullptr;
    return FindFirst([&](const sObjDef& d) { return d.objectId == id; });
}

sObjDef* CObjDefList::FindByNode(int32_t nodeId, const CNodeDefList* nodes) const {
    if (nodes == nullptr) return nullptr;
    const sNodeDef* node = nodes->FindById(nodeId);
    return node == nullptr ? nullptr : FindById(node->objectId);
}

sObjDef* CObjDefList::FindBySystem(int32_t sysId, const CObsDefList* obs, const CNodeDefList* nodes) const {
    if (sysId < 1 || obs == nullptr || nodes == nullptr) return nullptr;
    for (const sObsDef& o : *obs) {
        if (o.sysId != sysId || o.nodeId < 1) continue;
        const sNodeDef* node = nodes->FindById(o.nodeId);
        if (node != nullptr && IsFixedNode(node) == 0) return FindById(node->objectId);
    }
    return nullptr;
}

sObjDef* CObjDefList::FindBySystemDef(const sSysDef* sys, const CObsDefList* obs, const CNodeDefList* nodes) const {
    return sys == nullptr ? nullptr : FindBySystem(sys->sysId, obs, nodes);
}

sObjDef* CObjDefList::GetMainVessel() const {
    if (sObjDef* v = FindFirst([](const sObjDef& d) { return IsVesselType(d.objType) && d.objectId == 1; })) return v;
    if (sObjDef* v = FindFirst([](const sObjDef& d) { return IsVesselType(d.objType); })) return v;
    return GetAt(0);
}

sObjDef* CObjDefList::FindPipeBundle() const {
    return FindFirst([](const sObjDef& d) { return d.objType == kPipeBundleType; });
}

sObjDef* CObjDefList::FindByDisplayOrder(int32_t order) const {
    if (order < 0) return nullptr;
    return FindFirst([&](const sObjDef& d) { return d.displayOrder == order; });
}

int32_t CObjDefList::GetMaxDisplayOrder() const {
    int32_t largest = INT_MIN;
    for (const sObjDef& d : *this) largest = std::max(largest, d.displayOrder);
    return largest;
}

int32_t CObjDefList::GetMinDisplayOrder() const {
    bool found = false;
    int32_t smallest = -1;
    for (const sObjDef& d : *this) {
        if (d.displayOrder == -1) continue;
        smallest = found ? std::min(smallest, d.displayOrder) : d.displayOrder;
        found = true;
    }
    return smallest;
}

int CObjDefList::CountByType(int32_t objType) const {
    return CountIf([&](const sObjDef& d) { return d.objType == objType; });
}

bool CObjDefList::HasReferenceNode(int32_t nodeId) const {
    return nodeId >= 0 && FindFirst([&](const sObjDef& d) { return d.refNodeId == nodeId; }) != nullptr;
}

sNodeDef* CObjDefList::GetReferenceNode(int32_t objectId, const CNodeDefList* nodes) const {
    if (nodes == nullptr || nodes->IsEmpty()) return nullptr;
    const sObjDef* def = FindById(objectId);
    return def == nullptr ? nullptr : nodes->FindById(def->refNodeId);
}

int32_t CObjDefList::GetReferenceNodeId(int32_t objectId) const {
    const sObjDef* def = FindById(objectId);
    return def == nullptr ? -1 : def->refNodeId;
}

int32_t CObjDefList::GetObjectType(int32_t objectId) const {
    const sObjDef* def = FindById(objectId);
    return def == nullptr ? -1 : def->objType;
}

void CObjDefList::GetNamesAndIds(CStringArray& names, CDWordArray& ids) const {
    names.RemoveAll();
    ids.RemoveAll();
    for (const sObjDef& d : *this) {
        if (d.objectId < 1) continue;
        names.Add(FieldText(d.name));
        ids.Add(static_cast<DWORD>(d.objectId));
    }
}

int CObjDefList::Compare(const CObjDefList& other) const {
    return CompareRecords(other, [](const sObjDef& d) { return d.objectId; });
}

int CObjDefList::WriteBlock(CVOKFile& file) {
    WriteRecordsBlock(file, BLOCK_OBJECT_DEFS, [](sObjDef& d) {
        d.recordSize = sObjDef::kSize;
        d.version = sObjDef::kVersion;
    });
    return 1;
}

int CObjDefList::ReadBlock(CVOKFile& file, bool stamped) {
    sBlockHeader header;
    if (!file.ReadBlockHeader(header)) return 0;
    const ULONGLONG end = file.GetPosition() + static_cast<uint32_t>(header.size);
    std::vector<uint8_t> bytes;
    // A read that the block or the file cannot give whole ends the block.
    auto read = [&](size_t count) {
        bytes.resize(count);
        return end - file.GetPosition() >= count && file.Read(bytes.data(), static_cast<UINT>(count)) == count;
    };
    while (file.GetPosition() < end) {
        int layout = OBJDEF_LAYOUT_2;
        if (stamped) {
            if (!read(8)) return 0;
            file.Seek(-8, CFile::current);
            const auto size = LoadAt<uint32_t>(bytes.data(), 0);
            const uint8_t version = bytes[4];
            const uint8_t subVersion = version < 4 ? 0 : bytes[5];
            if ((version == 4 || version == 5) && subVersion != 0) return 0;
            if (version == 5 && size == sObjDef::kSize) {
                layout = 5;
            } else if (version == 4 && size == OldLayout(OBJDEF_LAYOUT_4).size) {
                layout = OBJDEF_LAYOUT_4;
            } else if (version == 3 && size == OldLayout(OBJDEF_LAYOUT_3).size) {
                layout = OBJDEF_LAYOUT_3;
            }
        }
        sObjDef def = NewRecord();
        if (layout == 5) {
            if (!read(sObjDef::kSize)) return 0;
            std::memcpy(&def, bytes.data(), sizeof def);
        } else {
            if (!read(OldLayout(layout).size)) return 0;
            MoveFields(OldLayout(layout), bytes.data(), def);
        }
        def.UpdateStamp();
        Add(def);
    }
    return 1;
}

void CObjDefList::WriteSettingsStream(CFile* file) const {
    if (file == nullptr) return;
    file->Write(&kStreamVersion, 1);
    const int32_t count = GetCount();
    file->Write(&count, sizeof count);
    for (const sObjDef& d : *this) {
        file->Write(&d.objectId, sizeof d.objectId);
        for (const sMove& range : kStreamRanges) file->Write(Bytes(d) + range.from, static_cast<UINT>(range.count));
    }
}

int CObjDefList::ReadSettingsStream(CFile* file, ILegacyHeightDefConverter* converter, bool hasVersionByte) {
    if (file == nullptr) return 0;
    CStreamReader in(*file);
    uint8_t version = 0;
    int32_t count = 0;
    if (hasVersionByte && !in.Read(&version, 1)) return 0;
    if (version > kStreamVersion) return 0;
    if (!in.Read(&count, sizeof count)) return 0;
    for (int32_t k = 0; k < count; ++k) {
        int32_t id = 0;
        if (!in.Read(&id, sizeof id)) return 0;
        sObjDef* target = FindById(id);
        // The entry is read into a copy, so that a cut entry leaves its object as it was.
        sObjDef entry = target != nullptr ? *target : NewRecord();
        sLegacyHeightDef legacy;
        if (!ReadStreamEntry(in, version, entry, legacy)) return 0;
        if (version >= 1 && version <= 4)
            entry.heightArea[0] = converter != nullptr ? converter->ConvertHeightDef(legacy) : 0;
        if (target != nullptr) *target = entry;
    }
    return 1;
}

int CObjDefList::ReadSettingsStream(CFile* file, const CNodeDefList* nodes, const CObsDefList* obs,
                                    const CAdjDefList* adjustments, Vok::Tides::CTideSettingsContainer* tides,
                                    bool hasVersionByte) {
    CHeightDefUpgrader upgrader(nodes, obs, adjustments, tides);
    return ReadSettingsStream(file, &upgrader, hasVersionByte);
}

int CObjDefList::WriteToIpc(IpcBufferHandle& handle, int block) const {
    return WriteRecordsToIpc(handle, block, [](const sObjDef&) {});
}

int CObjDefList::ReadFromIpc(IpcBufferHandle& handle, int block) { return ReadRecordsFromIpc(handle, block); }

void CObjDefList::UpdateFromHeaderRecords(const CHdrList* headers) {
    if (headers == nullptr) return;
    for (const auto& r : m_records) {
        sObjDef& d = *r;
        const sHdrEntry* point = FindObjectRecord(*headers, kReferencePointRecord, d.objectId);
        const sHdrEntry* squat = FindObjectRecord(*headers, kSquatModelRecord, d.objectId);
        const int32_t pointType = point != nullptr ? point->Word(4).value_or(0) : 0;
        if (pointType != 0) {
            d.objType = pointType;
        } else {
            d.ClassifyType();
        }
        const bool vessel = IsVesselType(d.objType);
        if (vessel && point != nullptr) {
            if (d.refPointFlag == -1) d.refPointFlag = 0;
            if (const auto value = point->Load<float>(12)) d.refPointValue = *value;
        } else {
            d.refPointFlag = -1;
        }
        if (vessel && squat != nullptr) {
            if (d.squatModel != -1) d.squatModel = squat->Word(28).value_or(d.squatModel);
        } else {
            d.squatModel = -1;
        }
        // The old form kept the codes in the second settings area.
        if (Bytes(d)[102] == 0) {
            size_t slot = 0;
            for (int32_t code : d.settings2) {
                const std::optional<int32_t> current = code >= 1000001 ? CurrentCode(code) : std::nullopt;
                if (current) d.codeTable[slot++] = *current;
            }
        }
        if (d.density == 0.0f) d.density = sObjDef::kDefaultDensity;
    }
}

int CObjDefList::CopyHeightAreaToAll(const sObjDef* source) {
    if (IsEmpty()) return 0;
    if (source == nullptr) source = FindFirst([](const sObjDef& d) { return d.heightArea[0] != kNoStrategy; });
    if (source == nullptr) source = GetAt(GetCount() - 1);
    int32_t area[sObjDef::kCodeCount];
    std::memcpy(area, source->heightArea, sizeof area);
    for (const auto& r : m_records) {
        if (r.get() != source) std::memcpy(r->heightArea, area, sizeof area);
    }
    return 1;
}

int CObjDefList::CopyEnvironmentToAll(const sObjDef* source) {
    if (IsEmpty()) return 0;
    if (source == nullptr) source = FindFirst([](const sObjDef& d) { return !d.HasDefaultPressureAndDensity(); });
    if (source == nullptr) return 0;
    const sObjDef environment = *source;
    for (const auto& r : m_records) {
        if (r.get() == source) continue;
        r->environment1 = environment.environment1;
        r->pressure = environment.pressure;
        r->environment2 = environment.environment2;
        r->density = environment.density;
    }
    return 1;
}

void CObjDefList::NormalizeDisplayOrder() {
    const int count = GetCount();
    if (count == 0) return;
    if (count == 1) {
        m_records[0]->displayOrder = 0;
        return;
    }
    std::vector<bool> taken(static_cast<size_t>(count), false);
    bool anyValid = false;
    for (const auto& r : m_records) {
        const int32_t order = r->displayOrder;
        if (order < 0 || order >= count || taken[static_cast<size_t>(order)]) {
            r->displayOrder = -1;
        } else {
            taken[static_cast<size_t>(order)] = true;
            anyValid = true;
        }
    }
    if (anyValid) return;
    sObjDef* main = GetMainVessel();
    main->displayOrder = 0;
    int32_t next = 1;
    for (const auto& r : m_records) {
        if (r.get() != main) r->displayOrder = next++;
    }
}

template <typename F>
void CObjDefList::ForEachLinkedObject(int32_t objectId, const CNodeDefList* nodes, const CHdrList* headers,
                                      F f) const {
    if (nodes == nullptr || headers == nullptr || objectId < 1) return;
    auto node = [&](int32_t number) { return nodes->FindById(nodes->FindIdByNumber(number)); };
    for (const sHdrEntry& e : *headers) {
        if (e.recordId != kNodeLinkRecord) continue;
        const sNodeDef* a = node(e.Word(0).value_or(0));
        const sNodeDef* b = node(e.Word(4).value_or(0));
        if (a == nullptr || b == nullptr || a->objectId == b->objectId) continue;
        if (a->objectId == objectId) f(b->objectId);
        if (b->objectId == objectId) f(a->objectId);
    }
}

int CObjDefList::CountLinkedObjects(int32_t objectId, const CNodeDefList* nodes, const CHdrList* headers) const {
    if (GetCount() < 2) return 0;
    std::set<int32_t> linked;
    ForEachLinkedObject(objectId, nodes, headers, [&](int32_t other) {
        if (FindById(other) != nullptr) linked.insert(other);
    });
    return static_cast<int>(linked.size());
}

template <typename Pred>
int CObjDefList::CollectFrom(const CObjDefList* source, bool append, Pred match) {
    // A copy of the source first: it may be this list, which is emptied.
    const CObjDefList from(source);
    if (!append) RemoveAll();
    int added = 0;
    for (const sObjDef& d : from) {
        if (match(d) && FindById(d.objectId) == nullptr) {
            Add(d);
            added = 1;
        }
    }
    return added;
}

int CObjDefList::CollectLinkedObjects(int32_t objectId, const CObjDefList* source, const CNodeDefList* nodes,
                                      const CHdrList* headers, bool append) {
    if (source == nullptr || source->FindById(objectId) == nullptr) return 0;
    std::set<int32_t> linked;
    source->ForEachLinkedObject(objectId, nodes, headers, [&](int32_t other) { linked.insert(other); });
    return CollectFrom(source, append, [&](const sObjDef& d) { return linked.count(d.objectId) != 0; });
}

template <typename F>
void CObjDefList::ForEachTowingNode(int32_t objectId, const CNodeDefList* nodes, const CObsDefList* obs, F f) const {
    if (nodes == nullptr || obs == nullptr) return;
    for (const sObsDef& o : *obs) {
        if (o.nodeId < 1 || o.toNodeId < 1) continue;
        const sNodeDef* from = nodes->FindById(o.nodeId);
        const sNodeDef* to = nodes->FindById(o.toNodeId);
        if (from == nullptr || to == nullptr) continue;
        if (to->objectId == objectId && IsVariableNode(from) != 0 && from->objectId != objectId) f(*from);
    }
}

int CObjDefList::CollectTowingObjects(int32_t objectId, const CObjDefList* source, const CNodeDefList* nodes,
                                      const CObsDefList* obs, bool append) {
    if (source == nullptr || source->GetCount() < 2) return 0;
    std::set<int32_t> towing;
    ForEachTowingNode(objectId, nodes, obs, [&](const sNodeDef& from) { towing.insert(from.objectId); });
    return CollectFrom(source, append, [&](const sObjDef& d) { return towing.count(d.objectId) != 0; });
}

int CObjDefList::CollectPipeBundles(const CObjDefList* source, const CNodeDefList* nodes, const CHdrList* headers,
                                    bool append) {
    if (source == nullptr) return 0;
    std::set<int32_t> wanted;
    for (const sObjDef& d : *source) {
        if (d.objType != kPipeBundleType) continue;
        wanted.insert(d.objectId);
        source->ForEachLinkedObject(d.objectId, nodes, headers, [&](int32_t other) { wanted.insert(other); });
    }
    // Bundles first, then the linked objects, each in the source's order.
    const CObjDefList from(source);
    int added = CollectFrom(&from, append, [](const sObjDef& d) { return d.objType == kPipeBundleType; });
    added |= CollectFrom(&from, true, [&](const sObjDef& d) { return wanted.count(d.objectId) != 0; });
    return added;
}

int CObjDefList::CollectByType(int32_t objType, const CObjDefList* source, bool append) {
    if (source == nullptr) return 0;
    return CollectFrom(source, append, [&](const sObjDef& d) { return d.objType == objType; });
}

int32_t CObjDefList::FindVariableNodeTowing(int32_t objectId, int32_t towingObjectId, const CNodeDefList* nodes,
                                            const CObsDefList* obs) const {
    if (IsEmpty() || (objectId > 0 && FindById(objectId) != nullptr)) return 0;
    if (towingObjectId > 0 && FindById(towingObjectId) == nullptr) return 0;
    int32_t found = -1;
    ForEachTowingNode(objectId, nodes, obs, [&](const sNodeDef& from) {
        if (found == -1 && (towingObjectId < 1 || from.objectId == towingObjectId)) found = from.id;
    });
    return found;
}
