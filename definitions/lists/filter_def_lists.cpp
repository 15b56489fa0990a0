#include "definitions/lists/filter_def_lists.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "compat/unit_library.h"
#include "definitions/lists/node_def_list.h"
#include "definitions/records/payload_bytes.h"
#include "definitions/file/vok_file.h"

using Vok::Definitions::LoadAt;

namespace {

// Record versions as major x 256 + minor.
constexpr int kVersion0 = 0;
constexpr int kVersion10 = 0x100;
constexpr int kVersion20 = 0x200;
constexpr int kVersion30 = 0x300;
constexpr int kVersion31 = 0x301;

constexpr size_t kHeadSize = 8;
constexpr size_t kOldestSize = 136;
constexpr size_t kOldSize = 152;
constexpr uint32_t kDefaultSelectors = 0x1100u;

// The version of the record whose 8-byte head is given; a major below 3 has minor 0, and major 3
// with a minor above 1 counts as 3.0.
int RecordVersion(const uint8_t* head) {
    const auto version = LoadAt<uint16_t>(head, 4);
    const int major = version & 0xFF;
    int minor = version >> 8;
    if (major < 3 || (major == 3 && minor > 1)) minor = 0;
    return major * 256 + minor;
}

uint32_t FlagIf(bool set, unsigned bit) { return set ? 1u << bit : 0u; }

int32_t I32(const uint8_t* old, size_t offset) { return LoadAt<int32_t>(old, offset); }
double F64(const uint8_t* old, size_t offset) { return LoadAt<double>(old, offset); }

// Version 0, 136 bytes, the keys at the start.
void MapOldest(const uint8_t* old, sFiltDef& d) {
    d.setupId = I32(old, 0);
    d.objectId = I32(old, 4);
    d.mode = I32(old, 8);
    d.length24 = F64(old, 16);
    const bool slots = I32(old, 40) == 1;
    d.flags = kDefaultSelectors | FlagIf(I32(old, 24) == 1, 0) | FlagIf(slots, 1) | FlagIf(slots, 2) | FlagIf(slots, 3);
    d.factor48 = d.factor56 = F64(old, 64);
    d.length64 = d.length72 = F64(old, 48);
    if (I32(old, 40) != 0) {
        const size_t refs[] = {72, 80, 132};
        for (int slot = 0; slot < 3; ++slot) {
            const int32_t ref = I32(old, refs[slot]);
            if (ref >= 1 || ref == sFiltDef::kNoReference) d.refIds[slot] = ref;
        }
    }
    if (I32(old, 76) != 0) d.slotWords[0] = LoadAt<uint32_t>(old, 72);
    if (I32(old, 84) != 0) d.slotWords[1] = LoadAt<uint32_t>(old, 80);
    if (I32(old, 132) >= 1) d.slotWords[2] = LoadAt<uint32_t>(old, 132);
    d.count196 = I32(old, 96);
    d.length200 = F64(old, 88);
    d.count216 = I32(old, 96) / 2;
    d.flags2 = 1;
    d.filterInterval = F64(old, 104);
    d.secondInterval = F64(old, 112);
    d.value240 = F64(old, 120);
}

// Versions 1.x and 2.x, 152 bytes.
void Map152(const uint8_t* old, sFiltDef& d, bool version10) {
    d.setupId = I32(old, 8);
    d.objectId = I32(old, 12);
    d.mode = I32(old, 16);
    d.length24 = F64(old, 24);
    d.flags = kDefaultSelectors | FlagIf(I32(old, 32) == 1, 0) | FlagIf(I32(old, 64) == 1, 1) |
              FlagIf(I32(old, 48) == 1, 2);
    d.factor48 = F64(old, 40);
    d.factor56 = F64(old, 72);
    d.length64 = F64(old, 56);
    d.refIds[0] = I32(old, 80);
    d.refIds[1] = I32(old, 84);
    d.length144 = d.length152 = F64(old, 88);
    d.slotWords[0] = LoadAt<uint32_t>(old, 96);
    d.slotWords[1] = LoadAt<uint32_t>(old, 100);
    d.count196 = I32(old, 112);
    d.length200 = F64(old, 104);
    d.count216 = I32(old, 112) / 2;
    d.flags2 = I32(old, 116) == 1 ? 1u : 0u;
    d.filterInterval = F64(old, 120);
    d.secondInterval = F64(old, 128);
    d.value240 = F64(old, 136);
    if (version10) {
        d.factor48 = F64(old, 72);
        d.flags = (d.flags & ~2u) | FlagIf(I32(old, 48) == 1, 1);
        if (d.mode == 2) d.mode = 4;
    }
}

// Version 3.0: the 264 bytes are taken, then the fields whose places changed are rebuilt from
// the first 120 bytes as that version had them.
void Rebuild30(const uint8_t* old, sFiltDef& d) {
    d.flags = kDefaultSelectors | FlagIf(I32(old, 44) == 1, 0) | FlagIf(I32(old, 72) == 1, 1) |
              FlagIf(I32(old, 56) == 1, 2) | FlagIf(I32(old, 88) == 1, 3) | FlagIf(I32(old, 104) == 1, 4);
    d.factor48 = F64(old, 48);
    d.factor56 = F64(old, 80);
    d.length64 = F64(old, 64);
    d.length72 = F64(old, 96);
    d.length80 = F64(old, 112);
    d.factor88 = d.factor104 = 1.0;
    d.length96 = d.length112 = MetersToUnits(1.0);
}

}  // namespace

CFiltDefList::CFiltDefList(const CFiltDefList* other) {
    if (other != nullptr) AppendCopies(*other);
}

void CFiltDefList::CopyFrom(const CFiltDefList* other) {
    if (other != nullptr) *this = *other;
}

sFiltDef* CFiltDefList::FindByKeys(int32_t setupId, int32_t objectId) const {
    if (setupId < 1 || objectId < 1) return nullptr;
    return FindFirst([&](const sFiltDef& d) { return d.setupId == setupId && d.objectId == objectId; });
}

sFiltDef* CFiltDefList::FindByNode(int32_t setupId, int32_t nodeId, const CNodeDefList& nodes) const {
    if (setupId < 1 || nodeId < 1) return nullptr;
    const sNodeDef* node = nodes.FindById(nodeId);
    return node == nullptr ? nullptr : FindByKeys(setupId, node->objectId);
}

void CFiltDefList::Delete(const sFiltDef* def) {
    const auto it = std::find_if(m_records.begin(), m_records.end(), [&](const auto& r) { return r.get() == def; });
    if (def != nullptr && it != m_records.end()) m_records.erase(it);
}

int CFiltDefList::Compare(const CFiltDefList& other) const {
    return CompareRecordsMatching(
        other, [](const sFiltDef& r) { return r.setupId >= 1 && r.objectId >= 1; },
        [](const sFiltDef& r, const sFiltDef& o) { return r.setupId == o.setupId && r.objectId == o.objectId; });
}

int CFiltDefList::WriteBlock(CVOKFile& file) {
    WriteRecordsBlock(file, BLOCK_FILTER_DEFS, [](sFiltDef& d) {
        d.recordSize = sFiltDef::kSize;
        d.version = sFiltDef::kVersion;
    });
    return 1;
}

int CFiltDefList::ReadBlock(CVOKFile& file, bool recordsHaveHeaders) {
    sBlockHeader header;
    if (!file.ReadBlockHeader(header)) return 0;
    const ULONGLONG end = file.GetPosition() + static_cast<uint32_t>(header.size);
    std::vector<uint8_t> bytes(sFiltDef::kSize);
    // A read that the block or the file cannot give whole ends the block.
    auto read = [&](size_t count) {
        return end - file.GetPosition() >= count && file.Read(bytes.data(), static_cast<UINT>(count)) == count;
    };
    while (file.GetPosition() < end) {
        sFiltDef def;
        InitFiltDef(&def);
        int version = kVersion0;
        if (recordsHaveHeaders) {
            if (!read(kHeadSize)) return 0;
            file.Seek(-static_cast<LONGLONG>(kHeadSize), CFile::current);
            version = RecordVersion(bytes.data());
        }
        switch (version) {
            case kVersion0:
                if (!read(kOldestSize)) return 0;
                MapOldest(bytes.data(), def);
                break;
            case kVersion10:
            case kVersion20:
                if (!read(kOldSize)) return 0;
                Map152(bytes.data(), def, version == kVersion10);
                break;
            case kVersion30:
            case kVersion31:
                if (!read(sFiltDef::kSize)) return 0;
                std::memcpy(&def, bytes.data(), sizeof def);
                if (version == kVersion30) Rebuild30(bytes.data(), def);
                break;
            default:
                return 0;
        }
        ValidateFiltDef(&def);
        Add(def);
    }
    return 1;
}

int CFiltDefList::WriteToIpc(IpcBufferHandle& handle, int block) const {
    return WriteRecordsToIpc(handle, block, [](const sFiltDef&) {});
}

int CFiltDefList::ReadFromIpc(IpcBufferHandle& handle, int block) { return ReadRecordsFromIpc(handle, block); }

CObsFiltDefList::CObsFiltDefList(const CObsFiltDefList* other) {
    if (other != nullptr) AppendCopies(*other);
}

void CObsFiltDefList::CopyFrom(const CObsFiltDefList* other) {
    if (other != nullptr) *this = *other;
}

sObsFiltDef* CObsFiltDefList::FindByObservation(int32_t obsId) const {
    if (obsId < 1) return nullptr;
    return FindFirst([&](const sObsFiltDef& d) { return d.obsId == obsId; });
}

sObsFiltDef* CObsFiltDefList::FindByKeys(int32_t key, int32_t obsId) const {
    if (key < 1 || obsId < 1) return nullptr;
    return FindFirst([&](const sObsFiltDef& d) { return d.key == key && d.obsId == obsId; });
}

void CObsFiltDefList::SetEnabled(int32_t obsId, bool enabled) {
    for (const auto& r : m_records) {
        if (r->obsId != obsId) continue;
        r->flags = enabled ? (r->flags | 1u) : (r->flags & ~1u);
    }
}

int CObsFiltDefList::Compare(const CObsFiltDefList& other) const {
    return CompareRecordsMatching(
        other, [](const sObsFiltDef& r) { return r.key >= 1 && r.obsId >= 1; },
        [](const sObsFiltDef& r, const sObsFiltDef& o) { return r.key == o.key && r.obsId == o.obsId; });
}

int CObsFiltDefList::WriteBlock(CVOKFile& file) const {
    WriteRecordsBlock(file, BLOCK_OBS_FILTER_DEFS, [](const sObsFiltDef&) {});
    return 1;
}

int CObsFiltDefList::ReadBlock(CVOKFile& file) {
    sBlockHeader header;
    if (!file.ReadBlockHeader(header)) return 0;
    return AppendBlockRecords(file, header);
}

int CObsFiltDefList::WriteToIpc(IpcBufferHandle& handle, int block) const {
    return WriteRecordsToIpc(handle, block, [](const sObsFiltDef&) {});
}

int CObsFiltDefList::ReadFromIpc(IpcBufferHandle& handle, int block) { return ReadRecordsFromIpc(handle, block); }
