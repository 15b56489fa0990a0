#include "definitions/lists/sys_def_list.h"

#include <algorithm>
#include <cstring>
#include <optional>
#include <unordered_set>

#include "definitions/header/hdr_list.h"
#include "definitions/records/record_layouts.h"
#include "definitions/lists/system_type_upgrade.h"
#include "definitions/file/vok_file.h"

namespace {

constexpr int32_t kMaxSystemId = 999999;
// Records of block 27 hold the 436-byte layout in 512 bytes each.
constexpr size_t kOldRecordSize = 512;

sSysDef Upgraded(sSysDef def) {
    UpgradeSystemType(&def);
    return def;
}

// A record converted from an old layout carries the current version, yet still its old driver id:
// it is upgraded as a record still to upgrade would be.
sSysDef UpgradedOld(sSysDef def) {
    def.version = 0;
    UpgradeSystemType(&def);
    def.version = sSysDef::kVersion;
    return def;
}

bool HasType(const sSysDef& def, std::initializer_list<int32_t> types) {
    return std::find(types.begin(), types.end(), def.sysType) != types.end();
}

}  // namespace

CSysDefList::CSysDefList(const CSysDefList* other) {
    if (other != nullptr) AppendCopies(*other);
}

void CSysDefList::CopyFrom(const CSysDefList* other) {
    if (other != nullptr) *this = *other;
}

void CSysDefList::AssignFrom(const CSysDefList& other) {
    if (this == &other) return;
    // Surplus records go from the head; missing ones are appended as default records.
    while (m_records.size() > other.m_records.size()) m_records.erase(m_records.begin());
    while (m_records.size() < other.m_records.size()) m_records.push_back(std::make_unique<sSysDef>());
    for (size_t k = 0; k < m_records.size(); ++k) *m_records[k] = *other.m_records[k];
}

sSysDef* CSysDefList::FindById(int32_t sysId) const {
    if (sysId < 1) return nullptr;
    return FindFirst([&](const sSysDef& d) { return d.sysId == sysId; });
}

int32_t CSysDefList::GetSystemType(int32_t sysId) const {
    const sSysDef* def = FindById(sysId);
    return def != nullptr ? def->sysType : 0;
}

sSysDef* CSysDefList::FindByType(int32_t sysType) const {
    if (sysType < 1) return nullptr;
    return FindFirst([&](const sSysDef& d) { return d.sysType == sysType; });
}

int CSysDefList::HasSystemType(int32_t sysType) const {
    return FindFirst([&](const sSysDef& d) { return d.sysType == sysType; }) != nullptr ? 1 : 0;
}

sSysDef* CSysDefList::FindByTypeAndKey(int32_t sysType, int32_t key) const {
    if (key < 1) return nullptr;
    return FindFirst([&](const sSysDef& d) { return d.sysType == sysType && d.key1 == key; });
}

int CSysDefList::HasSatelliteNavigationSystem() const {
    return HasSystemType(11);
}

void CSysDefList::ReplaceKey(int32_t oldKey, int32_t newKey) {
    for (auto& r : m_records) {
        if (r->sysType == 12 && r->key1 == oldKey) r->key1 = newKey;
    }
}

int32_t CSysDefList::FindFreeSystemId() const {
    std::unordered_set<int32_t> used;
    for (const auto& r : m_records) used.insert(r->sysId);
    for (int32_t id = 1; id <= kMaxSystemId; ++id) {
        if (used.count(id) == 0) return id;
    }
    return 0;
}

int32_t CSysDefList::GetSystemIdByName(const char* name) const {
    if (name == nullptr) return -1;
    const sSysDef* def = FindFirst([&](const sSysDef& d) { return FieldText(d.name) == name; });
    return def != nullptr ? def->sysId : -1;
}

int32_t CSysDefList::GetSystemIdByType(int32_t sysType) const {
    const sSysDef* def = FindFirst([&](const sSysDef& d) { return d.sysType == sysType; });
    return def != nullptr ? def->sysId : -1;
}

int32_t CSysDefList::FindSystemIdOfType(int32_t sysId, int32_t sysType) const {
    const sSysDef* def = FindFirst([&](const sSysDef& d) { return d.sysId == sysId && (sysType == 0 || d.sysType == sysType); });
    return def != nullptr ? sysId : -1;
}

int32_t CSysDefList::SystemIdByPayloadKeys(const sHdrEntry* entry, std::initializer_list<int32_t> types,
                                           std::initializer_list<int> words) const {
    if (entry == nullptr) return -1;
    std::optional<int32_t> values[3];
    size_t n = 0;
    for (int w : words) {
        values[n] = entry->Word(static_cast<size_t>(w) * 4);
        if (!values[n++]) return -1;
    }
    const sSysDef* def = FindFirst([&](const sSysDef& d) {
        const int32_t keys[3] = {d.key1, d.key2, d.key3};
        if (!HasType(d, types)) return false;
        for (size_t k = 0; k < n; ++k) {
            if (keys[k] != *values[k]) return false;
        }
        return true;
    });
    return def != nullptr ? def->sysId : -1;
}

int32_t CSysDefList::GetUsblSystemIdByKeys(int32_t key1, int32_t key2) const {
    const sSysDef* def = FindFirst([&](const sSysDef& d) { return d.sysType == 2 && d.key1 == key1 && d.key2 == key2; });
    return def != nullptr ? def->sysId : -1;
}

int32_t CSysDefList::GetUsblSystemIdByKey(const sHdrEntry* entry) const {
    return SystemIdByPayloadKeys(entry, {2}, {0, 1});
}

int32_t CSysDefList::GetUsblSystemIdOfRecord(const sHdrEntry* entry) const {
    return SystemIdByPayloadKeys(entry, {2}, {1, 2});
}

int32_t CSysDefList::GetPrhSystemIdOfRecord(const sHdrEntry* entry) const {
    return SystemIdByPayloadKeys(entry, {3}, {1, 2});
}

int32_t CSysDefList::GetEchosounderOrMagnetometerSystemId(const sHdrEntry* entry) const {
    return SystemIdByPayloadKeys(entry, {1, 35}, {1, 2});
}

int32_t CSysDefList::GetEchosounderSystemId(const sHdrEntry* entry) const {
    return SystemIdByPayloadKeys(entry, {1}, {1, 2});
}

int32_t CSysDefList::GetGnssSystemIdByKey(const sHdrEntry* entry) const {
    return SystemIdByPayloadKeys(entry, {12}, {0, 1, 2});
}

int32_t CSysDefList::GetGnssSystemIdOfRecord(const sHdrEntry* entry) const {
    return SystemIdByPayloadKeys(entry, {12}, {2, 3, 4});
}

int32_t CSysDefList::GetSystemIdOfHeaderEntry(const sHdrEntry* entry) const {
    if (entry == nullptr) return -1;
    auto word = [&](int index) { return entry->Word(static_cast<size_t>(index) * 4).value_or(-1); };
    switch (entry->recordId) {
        case 65: return word(11);
        case 69: case 77: case 126: case 138: case 140: case 141: case 143: case 147: case 155: case 157:
        case 171: case 173: case 177: case 185: case 187: case 189: case 200: case 207: case 248: case 253:
        case 256:
            return word(0);
        case 70: case 217: case 244: case 245: return word(2);
        case 78: return word(3);
        case 174: case 208: case 209: case 210: case 212: case 220: case 221: case 225: case 231: case 238:
        case 240: case 241: case 243: case 249: case 251: case 254: case 257: case 265: case 266:
            return word(1);
        case 73: case 205: return GetGnssSystemIdByKey(entry);
        case 258: return GetGnssSystemIdOfRecord(entry);
        case 128: case 195: case 202: return GetUsblSystemIdByKey(entry);
        case 219: return GetEchosounderOrMagnetometerSystemId(entry);
        case 226: return GetPrhSystemIdOfRecord(entry);
        case 234: return GetEchosounderSystemId(entry);
        case 260: return GetUsblSystemIdOfRecord(entry);
        case 262: return entry->Word(4) ? FindSystemIdOfType(word(1), 45) : -1;
        case 273: return entry->Word(4) ? FindSystemIdOfType(word(1), 47) : -1;
        default: return -1;
    }
}

int CSysDefList::Compare(const CSysDefList& other) const {
    return CompareRecords(other, [](const sSysDef& d) { return d.sysId; });
}

void CSysDefList::WriteBlock(CVOKFile& file) {
    WriteRecordsBlock(file, BLOCK_SYSTEM_DEFS, [](sSysDef& d) {
        d.recordSize = sSysDef::kSize;
        d.version = sSysDef::kVersion;
    });
}

int CSysDefList::ReadBlock(CVOKFile& file) {
    sBlockHeader header;
    if (file.FindBlock(BLOCK_SYSTEM_DEFS) != 0) {
        if (!file.ReadBlockHeader(header)) return 0;
        const int result = AppendBlockRecords(file, header, sizeof(sSysDef), [](const uint8_t* bytes) {
            return Upgraded(Vok::Definitions::LoadAt<sSysDef>(bytes, 0));
        });
        RemapSystemTypeIds(*this);
        return result;
    }
    if (file.FindBlock(BLOCK_SYSTEM_DEFS_OLD) != 0) {
        if (!file.ReadBlockHeader(header)) return 0;
        return AppendBlockRecords(file, header, kOldRecordSize, [](const uint8_t* bytes) {
            sSysDef def;
            ConvertSysDefLayout436(bytes, def);
            return UpgradedOld(def);
        });
    }
    if (file.FindBlock(BLOCK_SYSTEM_DEFS_OLDEST) != 0) {
        if (!file.ReadBlockHeader(header)) return 0;
        return AppendBlockRecords(file, header, OldSysDefLayout::kSize148, [](const uint8_t* bytes) {
            sSysDef def;
            ConvertSysDefLayout148(bytes, def);
            return UpgradedOld(def);
        });
    }
    return 1;
}

int CSysDefList::WriteToIpc(IpcBufferHandle& handle, int block) const {
    return WriteRecordsToIpc(handle, block, [](sSysDef&) {});
}

int CSysDefList::ReadFromIpc(IpcBufferHandle& handle, int block) {
    return ReadRecordsFromIpc(handle, block);
}

uint32_t CSysDefList::CompareSysDefs(const sSysDef& a, const sSysDef& b) {
    uint32_t changes = 0;
    if (a.sysType != b.sysType || a.sysId != b.sysId || a.key1 != b.key1 || a.key2 != b.key2 || a.key3 != b.key3)
        changes |= SYSDEF_CHANGE_IDENTITY;
    if (a.driverId != b.driverId) changes |= SYSDEF_CHANGE_DRIVER;
    if (a.port != b.port) changes |= SYSDEF_CHANGE_PORT;
    if (a.sourceFilter != b.sourceFilter) changes |= SYSDEF_CHANGE_SOURCE_FILTER;
    const bool sameConnection = a.port == b.port && std::memcmp(a.address, b.address, sizeof(a.address)) == 0 &&
                                a.connection12 == b.connection12 && a.connection16 == b.connection16 &&
                                (a.connection20 == b.connection20 || a.connection20 == -1 || b.connection20 == -1);
    if (!sameConnection) changes |= SYSDEF_CHANGE_CONNECTION;
    // Unequal also when one is not a number.
    if (!(a.interval == b.interval)) changes |= SYSDEF_CHANGE_INTERVAL;
    if (!(a.timeOffset == b.timeOffset)) changes |= SYSDEF_CHANGE_TIME_OFFSET;
    if (FieldText(a.name) != FieldText(b.name)) changes |= SYSDEF_CHANGE_NAME;
    if (a.timeSource != b.timeSource || a.timeTagType != b.timeTagType) changes |= SYSDEF_CHANGE_TIME_TAGGING;
    if (a.output != b.output) changes |= SYSDEF_CHANGE_OUTPUT;
    return changes;
}

void CSysDefList::CopySysDefFields(sSysDef& destination, const sSysDef& source, uint32_t mask) {
    sSysDef& d = destination;
    const sSysDef& s = source;
    if ((mask & SYSDEF_CHANGE_IDENTITY) != 0) {
        d.sysType = s.sysType;
        d.sysId = s.sysId;
        d.key1 = s.key1;
        d.key2 = s.key2;
        d.key3 = s.key3;
    }
    if ((mask & SYSDEF_CHANGE_DRIVER) != 0) d.driverId = s.driverId;
    if ((mask & SYSDEF_CHANGE_PORT) != 0) d.port = s.port;
    if ((mask & SYSDEF_CHANGE_CONNECTION) != 0) {
        std::memcpy(d.address, s.address, sizeof(d.address));
        d.connection12 = s.connection12;
        d.connection16 = s.connection16;
        d.connection20 = s.connection20;
        d.port = s.port;
    }
    if ((mask & SYSDEF_CHANGE_TIME_TAGGING) != 0) {
        d.timeSource = s.timeSource;
        d.timeTagType = s.timeTagType;
    }
    if ((mask & SYSDEF_CHANGE_TIME_OFFSET) != 0) d.timeOffset = s.timeOffset;
    if ((mask & SYSDEF_CHANGE_INTERVAL) != 0) d.interval = s.interval;
    if ((mask & SYSDEF_CHANGE_NAME) != 0) SetFieldText(d.name, FieldText(s.name));
    if ((mask & SYSDEF_CHANGE_OUTPUT) != 0) d.output = s.output;
    if ((mask & SYSDEF_CHANGE_SOURCE_FILTER) != 0) d.sourceFilter = s.sourceFilter;
}
