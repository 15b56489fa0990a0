// Consistency of the geodetic header records: datums (13), GNSS systems (71), GNSS positions (73,
// 205, 258) and the datum shifts and epochs (188, 206, 246, 247) that join two datums.
#include "definitions/header/hdr_list.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <map>
#include <optional>
#include <span>

#include "definitions/records/definition_records.h"
#include "definitions/records/ellipsoid_checks.h"
#include "definitions/project/hdr_upgrade_support.h"
#include "definitions/lists/sys_def_list.h"

using Vok::HdrUpgrade::CNewRecord;
using Vok::HdrUpgrade::EntriesOf;
using Vok::HdrUpgrade::EntryOfPayload;

namespace {

constexpr int32_t kDatum = 13;
constexpr int32_t kGnssSystem = 71;
constexpr int32_t kQcDatumShift = 188;
constexpr int32_t kDatumShift = 206;
constexpr int32_t kDatumEpoch = 246;
constexpr int32_t kQcDatumEpoch = 247;
constexpr size_t kGnssSystemDatum = 16;

// Where a GNSS position layout keeps its GNSS system number and its three datum indexes.
struct sPositionLayout {
    size_t gnssSystem;
    std::array<size_t, 3> indexes;
    bool hasIndexes;
};

sPositionLayout LayoutOf(int32_t recordId) {
    switch (recordId) {
        case 258: return {8, {32, 36, 308}, true};
        case 205: return {0, {16, 20, 292}, true};
        default: return {0, {}, false};
    }
}

// The datum indexes of the position records (datum number - 1) and where they lie.
struct sIndexWords {
    int32_t recordId;
    std::array<size_t, 3> offsets;
};
constexpr sIndexWords kIndexWords[] = {{204, {32, 36, 308}}, {258, {32, 36, 308}}, {205, {16, 20, 292}}};

constexpr size_t kName258 = 632;
constexpr size_t kName258Chars = 36;
constexpr size_t kKind258 = 24;
constexpr size_t kKindBytes258 = 640;
constexpr size_t kKindByteCount258 = 16;

bool SetWord(sHdrEntry& entry, size_t offset, int32_t value) {
    if (entry.Word(offset) == value) return false;
    return entry.Store(offset, value);
}

}  // namespace

int32_t CHdrList::GetMaxDatumIndex() const {
    int32_t largest = 0;
    bool any = false;
    for (const sHdrEntry* datum : EntriesOf(*this, kDatum)) {
        if (const auto number = datum->Word(0)) {
            largest = any ? std::max(largest, *number) : *number;
            any = true;
        }
    }
    if (!any) return -1;
    // Below the smallest number a word holds every index exceeds the largest one.
    return largest > INT32_MIN ? largest - 1 : INT32_MIN;
}

bool CHdrList::MergeDatums(const std::vector<const uint8_t*>& datums) {
    std::map<int32_t, int32_t> numbers;
    for (const uint8_t* datum : datums) {
        if (datum == nullptr) continue;
        const auto number = Vok::Definitions::LoadAt<int32_t>(datum, DatumRecord::kNumber);
        const uint8_t* same = FindSameDatum(datum);
        if (same == nullptr) {
            numbers[number] = -1;
        } else {
            const auto own = Vok::Definitions::LoadAt<int32_t>(same, DatumRecord::kNumber);
            if (own != number) numbers[number] = own;
        }
    }
    if (numbers.empty()) return false;
    auto mapped = [&](int32_t number) {
        const auto found = numbers.find(number);
        return found != numbers.end() ? found->second : 0;
    };
    std::vector<sHdrEntry*> dropped;
    for (auto& e : m_entries) {
        sHdrEntry& entry = *e;
        if (entry.recordId == kGnssSystem) {
            const auto number = entry.Word(kGnssSystemDatum);
            if (!number) continue;
            const int32_t to = mapped(*number);
            if (to == -1) dropped.push_back(&entry);
            else if (to > 0) entry.Store(kGnssSystemDatum, to);
        } else if (entry.recordId == 200) {
            const auto number = entry.Word(20);
            if (!number) continue;
            const int32_t to = mapped(*number);
            if (to >= 1) entry.Store(20, to);
            else if (to == -1) entry.Store<int32_t>(20, 1);
        } else {
            for (const sIndexWords& words : kIndexWords) {
                if (words.recordId != entry.recordId) continue;
                for (size_t offset : words.offsets) {
                    const auto index = entry.Word(offset);
                    if (!index) continue;
                    // No datum carries the number after the largest index.
                    const int32_t to = *index < INT32_MAX ? mapped(*index + 1) : 0;
                    if (to >= 1) entry.Store(offset, to - 1);
                    else if (to == -1) entry.Store<int32_t>(offset, 0);
                }
            }
        }
    }
    std::erase_if(m_entries, [&](const auto& e) {
        return std::find(dropped.begin(), dropped.end(), e.get()) != dropped.end();
    });
    return true;
}

void CHdrList::EnsureDatumTransformRecords() {
    const auto shifts = EntriesOf(*this, kDatumShift);
    const auto datums = EntriesOf(*this, kDatum);
    if (shifts.size() == 1) {
        sHdrEntry& shift = *shifts.front();
        if (shift.Word(20) != 0) return;
        const int32_t a = shift.Word(0).value_or(0);
        const int32_t b = shift.Word(4).value_or(0);
        sHdrEntry* epoch = EntryOfPayload(*this, GetDatumEpoch(a, b));
        const sHdrEntry* qcEpoch = EntryOfPayload(*this, GetQcDatumEpoch(a, b));
        if (epoch == nullptr || qcEpoch == nullptr) return;
        const auto kind = qcEpoch->Word(8);
        auto atLeast1900 = [&](size_t offset) { return qcEpoch->Load<double>(offset).value_or(0.0) >= 1900.0; };
        if ((kind == 1 || kind == 2) && atLeast1900(16) && (atLeast1900(24) || atLeast1900(32))) {
            for (sHdrEntry* record : {&shift, epoch}) {
                record->Store<int32_t>(16, 60);
                record->Store<int32_t>(20, 20);
            }
        }
        return;
    }
    if (!shifts.empty() || datums.size() < 2) return;
    const int32_t pair[2] = {datums[0]->Word(0).value_or(0), datums[1]->Word(0).value_or(0)};
    for (int32_t recordId : {kDatumShift, kQcDatumShift, kDatumEpoch, kQcDatumEpoch}) {
        CNewRecord record(GetRecordSize(recordId));
        record.Put(0, pair[0]);
        record.Put(4, pair[1]);
        AddRecord(recordId, record.Size(), record.Data(), -1);
    }
}

void CHdrList::CompleteDatumShiftRecords() {
    const auto shifts = EntriesOf(*this, kDatumShift);
    if (shifts.empty()) {
        for (int32_t recordId : {kQcDatumShift, kDatumEpoch, kQcDatumEpoch}) DeleteRecordsByKey(recordId, 0);
        return;
    }
    // The tests look at the list as it was; the records they call for are added afterwards.
    std::vector<std::pair<int32_t, CNewRecord>> added;
    for (const sHdrEntry* shift : shifts) {
        const int32_t a = shift->Word(0).value_or(0);
        const int32_t b = shift->Word(4).value_or(0);
        auto make = [&](int32_t recordId) {
            CNewRecord record(GetRecordSize(recordId));
            record.Put(0, a);
            record.Put(4, b);
            return record;
        };
        if (!HasQcDatumShift(a, b)) added.emplace_back(kQcDatumShift, make(kQcDatumShift));
        if (GetDatumEpoch(a, b) == nullptr) {
            CNewRecord epoch = make(kDatumEpoch);
            epoch.Copy(8, *shift, 8, 24);
            added.emplace_back(kDatumEpoch, std::move(epoch));
        }
        if (GetQcDatumEpoch(a, b) == nullptr) added.emplace_back(kQcDatumEpoch, make(kQcDatumEpoch));
    }
    // Appending after the records of their ids is what putting each id's collection back does.
    for (int32_t recordId : {kQcDatumShift, kDatumEpoch, kQcDatumEpoch}) {
        for (auto& [id, record] : added) {
            if (id == recordId) AddRecord(id, record.Size(), record.Data(), -1);
        }
    }
}

bool CHdrList::SyncGnssSystemsWithDatums() {
    bool changed = false;
    std::vector<sHdrEntry*> dropped;
    for (sHdrEntry* system : EntriesOf(*this, kGnssSystem)) {
        const uint8_t* datum =
            system->payloadSize >= GetRecordSize(kGnssSystem) ? FindDatumOfGnssSystem(system->Payload()) : nullptr;
        if (datum == nullptr) {
            dropped.push_back(system);
            continue;
        }
        changed |= SetWord(*system, kGnssSystemDatum, Vok::Definitions::LoadAt<int32_t>(datum, DatumRecord::kNumber));
    }
    if (!dropped.empty()) {
        std::erase_if(m_entries, [&](const auto& e) {
            return std::find(dropped.begin(), dropped.end(), e.get()) != dropped.end();
        });
        changed = true;
    }
    for (const sHdrEntry* datum : EntriesOf(*this, kDatum)) {
        const auto number = datum->Word(0);
        if (!number) continue;
        const auto systems = EntriesOf(*this, kGnssSystem);
        if (std::any_of(systems.begin(), systems.end(),
                        [&](const sHdrEntry* g) { return g->Word(kGnssSystemDatum) == number; }))
            continue;
        CNewRecord record(GetRecordSize(kGnssSystem));
        record.Put(0, GetNextGnssSystemNumber());
        record.Text(GnssSystemRecord::kName, *datum, DatumRecord::kDatumName, 8);
        record.Put(kGnssSystemDatum, *number);
        AddRecord(kGnssSystem, record.Size(), record.Data(), -1);
        changed = true;
    }
    return changed;
}

bool CHdrList::FixGnssPositionRef(sHdrEntry& record, sSysDef* system, int32_t gnss, int32_t maxIndex,
                                  int32_t nextGnssNumber) {
    const sPositionLayout layout = LayoutOf(record.recordId);
    bool changed = false;
    const auto gnssNumber = gnss >= 1 ? std::optional<int32_t>(gnss) : std::nullopt;
    const auto index = layout.hasIndexes ? record.Word(layout.indexes[0]) : std::nullopt;
    if (index && *index > maxIndex) {
        changed |= SetWord(record, layout.indexes[0], 0);
        changed |= SetWord(record, layout.gnssSystem, gnssNumber.value_or(nextGnssNumber));
    } else if (gnssNumber) {
        changed |= SetWord(record, layout.gnssSystem, *gnssNumber);
    }
    if (system != nullptr) {
        if (const auto number = record.Word(layout.gnssSystem); number && system->key1 != *number) {
            system->key1 = *number;
            changed = true;
        }
    }
    if (layout.hasIndexes) {
        for (size_t k = 1; k < 3; ++k) {
            if (const auto other = record.Word(layout.indexes[k]); other && *other > maxIndex)
                changed |= SetWord(record, layout.indexes[k], 0);
        }
    }
    return changed;
}

bool CHdrList::ResetGnssPositionDatumIndexes(sHdrEntry& record, int32_t maxIndex) {
    const sPositionLayout layout = LayoutOf(258);
    bool changed = false;
    for (size_t offset : layout.indexes) {
        if (const auto index = record.Word(offset); index && *index > maxIndex) changed |= SetWord(record, offset, 0);
    }
    const auto kind = record.Word(kKind258);
    if (record.Word(layout.indexes[0]).value_or(0) != 0 && (kind == 1 || kind == 9)) {
        changed |= SetWord(record, kKind258, 0);
        // The bytes tied to the kind lie inside the name's field: the name stays whole and only the
        // bytes after its end are cleared.
        if (record.payloadSize >= kKindBytes258 + kKindByteCount258) {
            uint8_t* bytes = record.Payload();
            const size_t nameEnd = kName258 + strnlen(reinterpret_cast<const char*>(bytes + kName258),
                                                      record.payloadSize - kName258);
            for (size_t k = std::max(kKindBytes258, nameEnd + 1); k < kKindBytes258 + kKindByteCount258; ++k) {
                changed |= bytes[k] != 0;
                bytes[k] = 0;
            }
        }
    }
    return changed;
}

namespace {

// The walk shared by the three forms: each record of the id gets its system definition, its
// GNSS system record and the fixes of FixGnssPositionRef.
template <typename SystemOf, typename Before>
bool FixPositions(CHdrList& list, int32_t recordId, int32_t maxIndex, int32_t next, SystemOf systemOf,
                  Before before) {
    bool changed = false;
    for (sHdrEntry* record : EntriesOf(list, recordId)) {
        sSysDef* system = systemOf(*record);
        changed |= before(*record, system);
        const size_t numberAt = LayoutOf(recordId).gnssSystem;
        const uint8_t* gnss = list.GetGnssSystem(record->Word(numberAt).value_or(-1), 1);
        const int32_t gnssNumber = gnss != nullptr ? Vok::Definitions::LoadAt<int32_t>(gnss, 0) : 0;
        changed |= CHdrList::FixGnssPositionRef(*record, system, gnssNumber, maxIndex, next);
    }
    return changed;
}

sSysDef* SystemById(CSysDefList* systems, int32_t id) {
    return systems != nullptr && id > 0 ? systems->GetById(id) : nullptr;
}

}  // namespace

bool CHdrList::FixGnssPositionRefs(CSysDefList* systems) {
    if (!HasRecord(kDatum)) return false;
    auto nameFromSystem = [this](sHdrEntry& record, sSysDef* system) {
        if (system == nullptr || system->name[0] == '\0' || record.payloadSize <= kName258) return false;
        if (record.Payload()[kName258] != '\0') return false;
        CNewRecord name(kName258Chars + 1);
        name.Text(0, FieldText(system->name).GetString(), kName258Chars);
        CopyPayload(record, kName258, name.Data(), name.Size());
        return true;
    };
    return FixPositions(
        *this, 258, GetMaxDatumIndex(), GetNextGnssSystemNumber(),
        [&](const sHdrEntry& r) {
            return SystemById(systems, systems != nullptr ? systems->GetGnssSystemIdOfRecord(&r) : -1);
        },
        nameFromSystem);
}

bool CHdrList::FixGnssPositionRefsOld(CSysDefList* systems) {
    if (!HasRecord(kDatum)) return false;
    return FixPositions(
        *this, 205, GetMaxDatumIndex(), GetNextGnssSystemNumber(),
        [&](const sHdrEntry& r) {
            return SystemById(systems, systems != nullptr ? systems->GetGnssSystemIdByKey(&r) : -1);
        },
        [](sHdrEntry&, sSysDef*) { return false; });
}

bool CHdrList::FixGnssPositionSystems(CSysDefList* systems) {
    return FixPositions(
        *this, 73, GetMaxDatumIndex(), GetNextGnssSystemNumber(),
        [&](const sHdrEntry& r) {
            return SystemById(systems, systems != nullptr ? systems->GetGnssSystemIdByKey(&r) : -1);
        },
        [](sHdrEntry&, sSysDef*) { return false; });
}
