#include "definitions/lists/es_dtm_def_list.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "definitions/header/hdr_list.h"
#include "definitions/records/payload_bytes.h"
#include "definitions/records/record_layouts.h"
#include "definitions/file/vok_file.h"

using Vok::Definitions::LoadAt;
using Vok::Definitions::StoreAt;

namespace {

constexpr int32_t kSoundVelocityRecord = 193;
constexpr uint32_t kSoundVelocityFlag = 0x8000u;
constexpr uint32_t kOptionFlag = 0x80u;

// Where the old layout keeps what reading it must tidy first.
constexpr size_t kOldSwitch = 8;
constexpr size_t kOldFlags = 12;
constexpr uint32_t kOldFlagsLimit = 1000000;
constexpr size_t kOldTextEnd1 = 60;
constexpr size_t kOldTextEnd2 = 426;

sEsDtmDef FromOldLayout(uint8_t* old) {
    if (LoadAt<uint32_t>(old, kOldFlags) > kOldFlagsLimit) StoreAt<uint32_t>(old, kOldFlags, 0);
    if (LoadAt<int32_t>(old, kOldSwitch) != 0) StoreAt<int32_t>(old, kOldSwitch, 1);
    old[kOldTextEnd1] = 0;
    old[kOldTextEnd2] = 0;
    sEsDtmDef def;
    def.CopyFromOldLayout(old);
    def.recordSize = sEsDtmDef::kSize;
    return def;
}

bool OutOfRange(double v, double upper) { return !(v > 0.0 && v <= upper); }

}  // namespace

CEsDtmDefList::CEsDtmDefList(const CEsDtmDefList* other) {
    if (other != nullptr) AppendCopies(*other);
}

void CEsDtmDefList::CopyFrom(const CEsDtmDefList* other) {
    if (other != nullptr) *this = *other;
}

sEsDtmDef* CEsDtmDefList::FindById(int32_t id) const {
    if (id < 1) return nullptr;
    return FindFirst([&](const sEsDtmDef& d) { return d.id == id; });
}

void CEsDtmDefList::Validate(const CHdrList* headers) {
    const bool soundVelocity = headers != nullptr && headers->HasRecord(kSoundVelocityRecord);
    for (const auto& r : m_records) {
        if (!soundVelocity) r->flags &= ~kSoundVelocityFlag;
        if (std::any_of(std::begin(r->values408), std::end(r->values408), [](int32_t v) { return v > 255; }))
            std::fill(std::begin(r->values408), std::end(r->values408), 0);
        // A value that is not a number is out of range too.
        if (OutOfRange(r->value424, 10000.0)) r->value424 = 1.0;
        if (OutOfRange(r->value432, 1000.0)) r->value432 = 0.5;
    }
}

int CEsDtmDefList::Compare(const CEsDtmDefList& other) const {
    return CompareRecords(other, [](const sEsDtmDef& d) { return d.id; });
}

int CEsDtmDefList::WriteBlock(CVOKFile& file, int fileVersion) {
    if (fileVersion >= kFirstFullLayoutVersion) {
        WriteRecordsBlock(file, BLOCK_ES_DTM_DEFS, [](sEsDtmDef& d) { d.recordSize = sEsDtmDef::kSize; });
        return 1;
    }
    const ULONGLONG start = file.BeginBlock();
    std::vector<uint8_t> old(sEsDtmDef::kOldSize);
    for (const auto& r : m_records) {
        EsDtmDefToOldLayout(*r, old.data());
        StoreAt<uint32_t>(old.data(), 0, static_cast<uint32_t>(sEsDtmDef::kOldSize));
        file.Write(old.data(), static_cast<UINT>(old.size()));
    }
    file.EndBlock(start, file.GetPosition() - start, BLOCK_ES_DTM_DEFS);
    return 1;
}

int CEsDtmDefList::ReadBlock(CVOKFile& file, int fileVersion) {
    sBlockHeader header;
    if (!file.ReadBlockHeader(header)) return 0;
    if (fileVersion >= kFirstFullLayoutVersion) return AppendBlockRecords(file, header);
    // Only whole records are read, so every old byte comes from the file.
    return AppendBlockRecords(file, header, sEsDtmDef::kOldSize, [](const uint8_t* bytes) {
        std::vector<uint8_t> old(bytes, bytes + sEsDtmDef::kOldSize);
        return FromOldLayout(old.data());
    });
}

int CEsDtmDefList::WriteToIpc(IpcBufferHandle& handle, int block) const {
    return WriteRecordsToIpc(handle, block, [](const sEsDtmDef&) {});
}

int CEsDtmDefList::ReadFromIpc(IpcBufferHandle& handle, int block) { return ReadRecordsFromIpc(handle, block); }

void ClearOptionBits(sEsDtmDef* def, int keepFlag, int keepBit0, int keepBit1) {
    if (def == nullptr) return;
    if (keepFlag == 0) def->flags &= ~kOptionFlag;
    if (keepBit0 == 0) def->optionBits &= ~1;
    if (keepBit1 == 0) def->optionBits &= ~2;
}

void ResetDtmSlots(sEsDtmDef* def, int force) {
    if (def == nullptr) return;
    if (force != 0) {
        def->setting468 = 0;
        std::fill(std::begin(def->dtmSlots), std::end(def->dtmSlots), -1);
    } else if (std::all_of(std::begin(def->dtmSlots), std::end(def->dtmSlots), [](int32_t s) { return s == 0; })) {
        std::fill(std::begin(def->dtmSlots), std::end(def->dtmSlots), -1);
    }
}
