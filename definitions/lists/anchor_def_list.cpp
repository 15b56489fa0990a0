#include "definitions/lists/anchor_def_list.h"

#include <algorithm>
#include <cstring>

#include "definitions/records/definition_records.h"
#include "definitions/records/payload_bytes.h"
#include "definitions/file/vok_file.h"

using Vok::Definitions::LoadAt;

namespace {

// The old block 29 record, 168 bytes.
constexpr size_t kOldSize = 168;
constexpr size_t kOldNameField = 76;  // everything before the id
constexpr size_t kOldId = 76;
constexpr size_t kOldSettings = 84;
constexpr size_t kOldValues = 120;

sAnchorDef UpgradeOld(const uint8_t* old) {
    sAnchorDef def{};
    // A longer old name keeps its first 49 characters.
    SetFieldText(def.name, FieldText(reinterpret_cast<const char*>(old), kOldNameField));
    def.id = LoadAt<int32_t>(old, kOldId);
    std::memcpy(def.settings, old + kOldSettings, sizeof def.settings);
    std::memcpy(def.values, old + kOldValues, sizeof def.values);
    return def;
}

}  // namespace

CAnchorDefList::CAnchorDefList(const CAnchorDefList* other) {
    if (other != nullptr) AppendCopies(*other);
}

void CAnchorDefList::CopyFrom(const CAnchorDefList* other) {
    if (other != nullptr) *this = *other;
}

int CAnchorDefList::Equals(const CAnchorDefList& other) const {
    if (GetCount() != other.GetCount()) return 0;
    for (int k = 0; k < GetCount(); ++k) {
        const sAnchorDef* a = GetAt(k);
        const sAnchorDef* b = other.GetAt(k);
        if (a == nullptr || b == nullptr || std::memcmp(a, b, sizeof *a) != 0) return 0;
    }
    return 1;
}

sAnchorDef* CAnchorDefList::FindById(int32_t id) const {
    if (id < 1) return nullptr;
    return FindFirst([&](const sAnchorDef& d) { return d.id == id; });
}

void CAnchorDefList::WriteBlock(CVOKFile& file) const {
    WriteRecordsBlock(file, BLOCK_ANCHOR_DEFS, [](const sAnchorDef&) {});
}

int CAnchorDefList::ReadBlock(CVOKFile& file) {
    sBlockHeader header;
    if (!file.ReadBlockHeader(header)) return 0;
    if (header.id == BLOCK_ANCHOR_DEFS_OLD) return AppendBlockRecords(file, header, kOldSize, UpgradeOld);
    if (header.id != BLOCK_ANCHOR_DEFS) return 0;
    return AppendBlockRecords(file, header);
}

int CAnchorDefList::WriteToIpc(IpcBufferHandle& handle, int block) const {
    return WriteRecordsToIpc(handle, block, [](const sAnchorDef&) {});
}

int CAnchorDefList::ReadFromIpc(IpcBufferHandle& handle, int block) {
    return ReadRecordsFromIpc(handle, block);
}

int AnchorDefHasReferences(const sAnchorDef* def) {
    if (def == nullptr) return 0;
    auto set = [](int32_t r) { return r >= 1; };
    return std::any_of(std::begin(def->references1), std::end(def->references1), set) ||
                   std::any_of(std::begin(def->references6), std::end(def->references6), set)
               ? 1
               : 0;
}
