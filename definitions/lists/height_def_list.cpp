#include "definitions/lists/height_def_list.h"

#include <cstring>
#include <memory>

#include "definitions/records/definition_predicates.h"
#include "definitions/lists/height_def_upgrader.h"
#include "definitions/lists/node_def_list.h"
#include "definitions/lists/obj_def_list.h"
#include "definitions/lists/obs_def_list.h"
#include "definitions/records/payload_bytes.h"
#include "definitions/file/vok_file.h"

using Vok::Definitions::LoadAt;

namespace {

// Offsets in the old records: codes and their flags are where every old form keeps them.
constexpr size_t kCodeA = 16;
constexpr size_t kCodeB = 24;
constexpr size_t kFlagA = 320;
constexpr size_t kFlagB = 328;
// Block 30 only.
constexpr size_t kMode = 8;
constexpr size_t kSetting224 = 12;
constexpr size_t kClosestValue = 20;
constexpr size_t kReferenceValue = 32;
constexpr size_t kModeFlag = 324;
constexpr size_t kSourceIds = 336;
constexpr size_t kPaths = 352;
constexpr size_t kSquatFlag = 1396;
constexpr size_t kSetting216Flag = 1400;
constexpr size_t kSetting216 = 1404;
constexpr size_t kSetting220 = 1408;

size_t OldRecordSize(int id) {
    switch (id) {
        case BLOCK_HEIGHT_DEFS_OLD_24: return 336;
        case BLOCK_HEIGHT_DEFS_OLD_25: return 400;
        case BLOCK_HEIGHT_DEFS_OLD_28: return 2368;
        case BLOCK_HEIGHT_DEFS_OLD_30: return 3456;
        default: return 0;
    }
}

// The object of the first observation of the system whose node exists and is not fixed.
sObjDef* FindCarryingObject(int32_t sysId, const CObjDefList& objects, const CObsDefList& observations,
                            const CNodeDefList& nodes) {
    for (const sObsDef& obs : observations) {
        if (obs.sysId != sysId || obs.nodeId < 1) continue;
        const sNodeDef* node = nodes.FindById(obs.nodeId);
        if (node == nullptr || IsFixedNode(node) != 0) continue;
        return objects.GetById(node->objectId);
    }
    return nullptr;
}

// Code B, then code A, each when its flag is set, from the first slot of the code table on.
void MoveCodes(const uint8_t* old, sObjDef& object) {
    object.codeTable[0] = 0;
    object.codeTable[1] = 0;
    size_t slot = 0;
    if (LoadAt<int32_t>(old, kFlagB) != 0) object.codeTable[slot++] = LoadAt<int32_t>(old, kCodeB);
    if (LoadAt<int32_t>(old, kFlagA) != 0) object.codeTable[slot] = LoadAt<int32_t>(old, kCodeA);
}

// The tide settings of a block-30 record: with the mode flag set, mode 1 was a tide file and
// mode 2 a gauge; anything else had none.
sLegacyHeightDef LegacyFromBlock30(const uint8_t* old) {
    sLegacyHeightDef legacy;
    std::memset(&legacy, 0, sizeof legacy);
    legacy.model = -1;
    if (LoadAt<int32_t>(old, kModeFlag) != 0) {
        const int32_t mode = LoadAt<int32_t>(old, kMode);
        if (mode == 1) legacy.model = -2;
        if (mode == 2) legacy.model = 1;
    }
    legacy.referenceId = -1;
    legacy.referenceValue = static_cast<float>(LoadAt<double>(old, kReferenceValue));
    legacy.closestValue = LoadAt<uint32_t>(old, kClosestValue);
    std::memcpy(legacy.sourceIds, old + kSourceIds, sizeof legacy.sourceIds);
    std::memcpy(legacy.paths, old + kPaths, sizeof legacy.paths);
    return legacy;
}

void MoveBlock30Settings(const uint8_t* old, sObjDef& object, CHeightDefUpgrader& upgrader) {
    object.heightArea[0] = upgrader.ConvertHeightDef(LegacyFromBlock30(old));
    if (LoadAt<int32_t>(old, kSquatFlag) == 0) object.squatModel = -1;
    object.settings216[1] = LoadAt<int32_t>(old, kSetting220);
    object.settings216[0] = LoadAt<int32_t>(old, kSetting216Flag) != 0 ? LoadAt<int32_t>(old, kSetting216) : 0;
    object.settings216[2] = LoadAt<int32_t>(old, kSetting224);
}

}  // namespace

sHeightDef* InitHeightDef(sHeightDef* def) {
    if (def == nullptr) return nullptr;
    *def = sHeightDef{};
    def->recordSize = sHeightDef::kSize;
    def->version = sHeightDef::kVersion;
    return def;
}

CHeightDefList::CHeightDefList(const CHeightDefList* other) {
    if (other != nullptr) AppendCopies(*other);
}

void CHeightDefList::CopyFrom(const CHeightDefList* other) {
    if (other != nullptr) *this = *other;
}

sHeightDef* CHeightDefList::FindById(int32_t id) const {
    if (id < 1) return nullptr;
    return FindFirst([id](const sHeightDef& d) { return d.id == id; });
}

int CHeightDefList::Compare(const CHeightDefList& other) const {
    return CompareRecords(other, [](const sHeightDef& d) { return d.id; });
}

int CHeightDefList::WriteBlock(CVOKFile& file) const {
    WriteRecordsBlock(file, BLOCK_HEIGHT_DEFS, [](sHeightDef& d) {
        d.recordSize = sHeightDef::kSize;
        d.version = sHeightDef::kVersion;
    });
    return 1;
}

int CHeightDefList::ReadBlock(CVOKFile& file) {
    sBlockHeader header;
    if (!file.ReadBlockHeader(header) || header.id != BLOCK_HEIGHT_DEFS) return 0;
    return AppendBlockRecords(file, header);
}

int CHeightDefList::ReadLegacyBlock(CVOKFile& file, int id, CObjDefList* objects, const CObsDefList* observations,
                                    const CNodeDefList* nodes, const CAdjDefList* adjustments,
                                    Vok::Tides::CTideSettingsContainer* tides) {
    sBlockHeader header;
    if (!file.ReadBlockHeader(header)) return 0;
    if (id == BLOCK_HEIGHT_DEFS) return AppendBlockRecords(file, header);
    const size_t size = OldRecordSize(id);
    if (size == 0) return 1;
    // One upgrader for the block, so that records of the same tide settings share one strategy.
    CHeightDefUpgrader upgrader(nodes, observations, adjustments, tides);
    const bool listsGiven = objects != nullptr && observations != nullptr && nodes != nullptr;
    return file.ReadRecords(header, size, [&](const uint8_t* old) {
        sHeightDef def;
        InitHeightDef(&def);
        def.id = LoadAt<int32_t>(old, 0);
        def.value = LoadAt<int32_t>(old, 4);
        m_records.push_back(std::make_unique<sHeightDef>(def));
        sObjDef* object =
            def.id >= 1 && listsGiven ? FindCarryingObject(def.id, *objects, *observations, *nodes) : nullptr;
        if (object != nullptr) {
            MoveCodes(old, *object);
            if (id == BLOCK_HEIGHT_DEFS_OLD_30) MoveBlock30Settings(old, *object, upgrader);
        }
        return true;
    });
}

int CHeightDefList::WriteToIpc(IpcBufferHandle& handle, int block) const {
    return WriteRecordsToIpc(handle, block, [](const sHeightDef&) {});
}

int CHeightDefList::ReadFromIpc(IpcBufferHandle& handle, int block) { return ReadRecordsFromIpc(handle, block); }
