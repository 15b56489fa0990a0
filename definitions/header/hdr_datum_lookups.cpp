// Datum and GNSS look-ups of the header list: datum records (13), datum shifts and epochs, GNSS
// systems (71) and the datum references of GNSS positions (205, 258).
#include "definitions/header/hdr_list.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <initializer_list>
#include <set>

#include "definitions/records/definition_records.h"
#include "definitions/header/hdr_record_layouts.h"
#include "definitions/header/hdr_search.h"

namespace R = HdrRecord;
using namespace Vok::HdrSearch;

namespace {

constexpr int32_t kPositionNavigationSystem = 12;
constexpr const char* kSurveyDatumName = "Survey Datum";

bool JoinsDatums(const sHdrEntry& entry, int32_t a, int32_t b) {
    return (WordIs(entry, 0, a) && WordIs(entry, 4, b)) || (WordIs(entry, 0, b) && WordIs(entry, 4, a));
}

// The first entry of any of the ids that matches, in list order.
template <typename F>
sHdrEntry* FindFirstOf(const CHdrList& list, std::initializer_list<int32_t> ids, F&& match) {
    for (int k = 0; k < list.GetCount(); ++k) {
        sHdrEntry* entry = list.GetEntryAt(k);
        if (std::find(ids.begin(), ids.end(), entry->recordId) != ids.end() && match(*entry)) return entry;
    }
    return nullptr;
}

// A GNSS position record (258, 205 or 73) whose keys are the system's three key words.
bool HasSystemKeys(const sHdrEntry& entry, const sSysDef& sysDef) {
    const size_t first = entry.recordId == R::GnssPosition258::kId ? R::GnssPosition258::kGnssSystem
                                                                   : R::GnssPosition205::kGnssSystem;
    return WordIs(entry, first, sysDef.key1) && WordIs(entry, first + 4, sysDef.key2) &&
           WordIs(entry, first + 8, sysDef.key3);
}

bool IsPositionSystem(const sSysDef* sysDef) {
    return sysDef != nullptr && sysDef->sysType == kPositionNavigationSystem;
}

// Copies the datum reference at offset; false when the payload does not hold all of it.
bool CopyDatumRef(uint8_t* out, const sHdrEntry& entry, size_t offset) {
    if (entry.Payload() == nullptr || entry.payloadSize < offset || entry.payloadSize - offset < R::kDatumRefSize)
        return false;
    std::memcpy(out, entry.Payload() + offset, R::kDatumRefSize);
    return true;
}

// The highest number of the records + 1, at least floor; lowest without records. When the highest
// is the largest that a word holds, no number follows it: the smallest free one from lowest on.
int32_t NextNumber(const CHdrList& list, int32_t recordId, size_t offset, int32_t floor, int32_t lowest) {
    std::set<int32_t> used;
    ForEach(list, recordId, [&](const sHdrEntry& e) {
        if (const auto number = e.Word(offset)) used.insert(*number);
    });
    if (used.empty()) return lowest;
    const int32_t highest = *used.rbegin();
    if (highest < INT32_MAX) return std::max(highest + 1, floor);
    int32_t free = lowest;
    while (used.count(free) != 0) ++free;  // fewer numbers are used than lie above lowest
    return free;
}

}  // namespace

int32_t CHdrList::GetSurveyDatumIndex() const {
    return GetDatum(1) != nullptr ? 0 : -1;
}

int CHdrList::HasSurveyDatum() const {
    return GetSurveyDatumIndex() == 0 ? 1 : 0;
}

uint8_t* CHdrList::GetDatum(int32_t number) const {
    return PayloadOf(FindFirst(*this, R::DatumEllipsoid::kId,
                               [&](const sHdrEntry& e) { return WordIs(e, R::DatumEllipsoid::kNumber, number); }));
}

bool CHdrList::HasDatumShift(int32_t a, int32_t b) const {
    return GetDatumShift(a, b) != nullptr;
}

bool CHdrList::HasQcDatumShift(int32_t a, int32_t b) const {
    return GetQcDatumShift(a, b) != nullptr;
}

uint8_t* CHdrList::GetDatumShift(int32_t a, int32_t b) const {
    return PayloadOf(FindFirst(*this, R::DatumShift::kId, [&](const sHdrEntry& e) { return JoinsDatums(e, a, b); }));
}

uint8_t* CHdrList::GetQcDatumShift(int32_t a, int32_t b) const {
    return PayloadOf(FindFirst(*this, R::QcDatumShift::kId, [&](const sHdrEntry& e) { return JoinsDatums(e, a, b); }));
}

uint8_t* CHdrList::GetDatumEpoch(int32_t a, int32_t b) const {
    return PayloadOf(FindFirst(*this, R::DatumEpoch::kId, [&](const sHdrEntry& e) { return JoinsDatums(e, a, b); }));
}

uint8_t* CHdrList::GetQcDatumEpoch(int32_t a, int32_t b) const {
    return PayloadOf(FindFirst(*this, R::DatumEpoch::kQcId, [&](const sHdrEntry& e) { return JoinsDatums(e, a, b); }));
}

int32_t CHdrList::GetNextDatumNumber() const {
    return NextNumber(*this, R::DatumEllipsoid::kId, R::DatumEllipsoid::kNumber, INT32_MIN, 1);
}

CString CHdrList::GetDatumName(int32_t number) const {
    const sHdrEntry* entry = number >= 1 ? FindFirst(*this, R::DatumEllipsoid::kId, [&](const sHdrEntry& e) {
        return WordIs(e, R::DatumEllipsoid::kNumber, number);
    }) : nullptr;
    if (entry == nullptr) return CString(kSurveyDatumName);
    const uint32_t end = std::min<uint32_t>(entry->payloadSize, R::DatumEllipsoid::kName + R::DatumEllipsoid::kNameField);
    CString name = Vok::Definitions::TextAt(entry->Payload(), end, R::DatumEllipsoid::kName);
    name.TrimRight(' ');
    return name;
}

CString CHdrList::GetDatumNameByIndex(int32_t index) const {
    // No datum carries the number after the largest index.
    return GetDatumName(index >= 0 && index < INT32_MAX ? index + 1 : -1);
}

int32_t CHdrList::GetGnssSystemNumberOfSystem(const sSysDef* sysDef) const {
    if (!IsPositionSystem(sysDef)) return -1;
    const sHdrEntry* entry = FindFirstOf(*this, {R::GnssPosition258::kId, R::GnssPosition205::kId, R::GnssPosition73::kId},
                                         [&](const sHdrEntry& e) { return HasSystemKeys(e, *sysDef); });
    if (entry == nullptr) return -1;
    return WordOr(*entry, entry->recordId == R::GnssPosition258::kId ? R::GnssPosition258::kGnssSystem
                                                                     : R::GnssPosition205::kGnssSystem, -1);
}

int32_t CHdrList::GetDatumNumberOfSystem(const sSysDef* sysDef) const {
    const int32_t gnss = GetGnssSystemNumberOfSystem(sysDef);
    if (gnss < 0) return -1;
    const sHdrEntry* system = FindFirst(*this, R::GnssSystem::kId,
                                        [&](const sHdrEntry& e) { return WordIs(e, R::GnssSystem::kNumber, gnss); });
    return system != nullptr ? WordOr(*system, R::GnssSystem::kDatumNumber, -1) : -1;
}

int32_t CHdrList::GetDatumIndexOfSystem(const sSysDef* sysDef) const {
    const int32_t number = GetDatumNumberOfSystem(sysDef);
    return number < 1 ? 0 : number - 1;
}

uint8_t* CHdrList::GetDatumOfSystem(const sSysDef* sysDef) const {
    const int32_t number = GetDatumNumberOfSystem(sysDef);
    return number < 0 ? nullptr : GetDatum(number);
}

int32_t CHdrList::GetGnssSystemNumberOfDatum(int32_t datum) const {
    if (datum < 1) return 4;
    const sHdrEntry* system = FindFirst(*this, R::GnssSystem::kId,
                                        [&](const sHdrEntry& e) { return WordIs(e, R::GnssSystem::kDatumNumber, datum); });
    return system != nullptr ? WordOr(*system, R::GnssSystem::kNumber, -1) : -1;
}

int32_t CHdrList::GetDatumNumberOfGnssSystem(int32_t gnss) const {
    if (gnss < 4) return 1;
    const sHdrEntry* system = FindFirst(*this, R::GnssSystem::kId,
                                        [&](const sHdrEntry& e) { return WordIs(e, R::GnssSystem::kNumber, gnss); });
    return system != nullptr ? WordOr(*system, R::GnssSystem::kDatumNumber, -1) : -1;
}

int32_t CHdrList::GetNextGnssSystemNumber() const {
    return NextNumber(*this, R::GnssSystem::kId, R::GnssSystem::kNumber, 4, 4);
}

int CHdrList::GetGnssDatumRef(uint8_t* out, int32_t node, int32_t second) const {
    if (out == nullptr) return 0;
    const int32_t reduced = ReduceNode(node);
    const sHdrEntry* found = nullptr;
    size_t offset = 0;
    if (HasRecord(R::GnssPosition258::kId)) {
        found = FindFirst(*this, R::GnssPosition258::kId, [&](const sHdrEntry& e) {
            return WordIs(e, R::GnssPosition258::kNode, reduced) && WordIsAny(e, R::GnssPosition258::kSecond, second);
        });
        offset = R::GnssPosition258::kDatumRef;
    } else {
        found = FindFirst(*this, R::GnssPosition205::kId, [&](const sHdrEntry& e) {
            return WordIs(e, R::GnssPosition205::kNode, reduced) && WordIsAny(e, R::GnssPosition205::kSecond, second);
        });
        offset = R::GnssPosition205::kDatumRef;
    }
    if (found != nullptr && CopyDatumRef(out, *found, offset)) return 1;
    std::memset(out, 0, R::kDatumRefSize);
    return 0;
}

int CHdrList::GetSystemDatumRef(uint8_t* out, const sSysDef* sysDef) const {
    if (out == nullptr || !IsPositionSystem(sysDef)) return 0;
    const sHdrEntry* found = FindFirstOf(*this, {R::GnssPosition258::kId, R::GnssPosition205::kId},
                                         [&](const sHdrEntry& e) { return HasSystemKeys(e, *sysDef); });
    if (found != nullptr) {
        const size_t offset = found->recordId == R::GnssPosition258::kId ? R::GnssPosition258::kDatumRef
                                                                         : R::GnssPosition205::kDatumRef;
        if (CopyDatumRef(out, *found, offset)) return 1;
    }
    std::memset(out, 0, R::kDatumRefSize);
    return 0;
}
