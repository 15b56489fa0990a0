// The header list's finders by key words, the finders over sub-lists, node links, PPS and sonar
// records of a system, the line name, single-record setters, the chart datum, the survey unit and
// the driver settings.
#include "definitions/header/hdr_list.h"

#include <algorithm>
#include <cstring>

#include "compat/unit_library.h"
#include "definitions/records/definition_records.h"
#include "definitions/records/definition_types.h"
#include "definitions/header/hdr_record_layouts.h"
#include "definitions/header/hdr_search.h"
#include "definitions/header/hdr_sub_list.h"
#include "foundation/unit_types.h"

namespace R = HdrRecord;
using namespace Vok::HdrSearch;
using Vok::Definitions::LoadAt;
using Vok::Definitions::TextAt;

namespace {

// A text field of an entry: bounded by the field and by the payload.
CString FieldText(const sHdrEntry& entry, size_t offset, size_t field) {
    const size_t end = std::min<size_t>(entry.payloadSize, offset + field);
    return TextAt(entry.Payload(), end, offset);
}

uint8_t* FindByWordAt(const CHdrList& list, int32_t recordId, size_t offset, int32_t value) {
    return PayloadOf(FindFirst(list, recordId, [&](const sHdrEntry& e) { return WordIs(e, offset, value); }));
}

// A negative id gives the first record of the type.
uint8_t* FindByIdOrFirst(const CHdrList& list, int32_t recordId, size_t offset, int32_t id) {
    return PayloadOf(FindFirst(list, recordId, [&](const sHdrEntry& e) { return id < 0 || WordIs(e, offset, id); }));
}

uint8_t* FindSystemRecord(const CHdrList& list, int32_t recordId, int32_t systemId, int32_t* eventLink) {
    sHdrEntry* found = FindFirst(list, recordId, [&](const sHdrEntry& e) { return WordIs(e, R::SystemAt4::kSystem, systemId); });
    if (found == nullptr) return nullptr;
    if (eventLink != nullptr) *eventLink = found->eventLink;
    return found->Payload();
}

// A record of the type whose +4 and +8 equal the two keys.
uint8_t* FindByKeys48(const CHdrList& list, int32_t recordId, int32_t key1, int32_t key2) {
    return PayloadOf(FindFirst(list, recordId, [&](const sHdrEntry& e) { return WordIs(e, 4, key1) && WordIs(e, 8, key2); }));
}

// An element of a sub-list, read no further than the size the sub-list knows for it.
struct sElement {
    const CHdrSubList& list;
    const void* bytes;

    // Word k; empty beyond the element.
    std::optional<int32_t> At(size_t k) const {
        return LoadAt<int32_t>(static_cast<const uint8_t*>(bytes), list.GetElementSize(bytes), 4 * k);
    }
    bool Is(size_t k, int32_t value) const {
        const auto word = At(k);
        return word.has_value() && *word == value;
    }
};

template <typename F>
uint8_t* FindElement(const CHdrSubList* subList, F&& match) {
    if (subList == nullptr) return nullptr;
    POSITION pos = subList->GetHeadPosition();
    while (pos != nullptr) {
        void* element = subList->GetNext(pos);
        if (match(sElement{*subList, element})) return static_cast<uint8_t*>(element);
    }
    return nullptr;
}

// Copies a record into a buffer of size bytes: as much as the payload holds, zeros after it.
void CopyZeroPadded(uint8_t* out, uint32_t size, const sHdrEntry& entry) {
    std::memset(out, 0, size);
    if (entry.Payload() != nullptr) std::memcpy(out, entry.Payload(), std::min(size, entry.payloadSize));
}

bool LinkNames(const sHdrEntry& e, int32_t node) {
    return WordIs(e, R::NodeLink::kFirst, node) || WordIs(e, R::NodeLink::kSecond, node);
}

// Makes the unit of a Survey Unit payload of size bytes current: 1. Without one, or with a factor that
// the library refuses (0, negative, NaN), metres: 0; a refused unit must not leave the previous
// project's unit in force for every later conversion.
int ApplyUnit(const uint8_t* payload, uint32_t size, int mode) {
    const auto factor = LoadAt<double>(payload, size, R::SurveyUnit::kFactor);
    int applied = 0;
    if (factor.has_value()) {
        const CString name = TextAt(payload, std::min<size_t>(size, R::SurveyUnit::kNameField), R::SurveyUnit::kName);
        applied = SetUnit(name.GetString(), *factor, mode);
    }
    if (applied == 0) SetUnit(UNIT_METERS);
    SetAngUnit(ANGUNIT_DEGREES);
    return applied != 0 ? 1 : 0;
}

}  // namespace

uint8_t* CHdrList::GetSquatModel(const uint8_t* record) const {
    if (record == nullptr) return nullptr;
    return FindByWordAt(*this, R::SquatModel::kId, R::SquatModel::kKey, LoadAt<int32_t>(record, 8));
}

uint8_t* CHdrList::GetReferencePointOf(const uint8_t* record) const {
    if (record == nullptr) return nullptr;
    return GetReferencePoint(LoadAt<int32_t>(record, 8));
}

uint8_t* CHdrList::GetReferencePoint(int32_t number) const {
    return FindByWordAt(*this, R::ReferencePoint::kId, R::ReferencePoint::kNumber, number);
}

uint8_t* CHdrList::GetPpsRecord(int32_t systemId) const {
    return FindByWordAt(*this, R::SystemAt4::kPps, R::SystemAt4::kSystem, systemId);
}

uint8_t* CHdrList::GetPpsTimetagRecord(int32_t systemId) const {
    return FindByWordAt(*this, R::SystemAt4::kPpsTimetag, R::SystemAt4::kSystem, systemId);
}

uint8_t* CHdrList::GetObject(int32_t id) const {
    return FindByIdOrFirst(*this, R::Object::kId, R::Object::kObjectId, id);
}

uint8_t* CHdrList::GetObjectM(int32_t id) const {
    return FindByIdOrFirst(*this, R::Object::kIdM, R::Object::kObjectId, id);
}

uint8_t* CHdrList::GetStreamer(int32_t id) const {
    return FindByIdOrFirst(*this, R::Streamer::kId, R::Object::kObjectId, id);
}

uint8_t* CHdrList::GetGunArray(int32_t id) const {
    return FindByIdOrFirst(*this, R::GunArray::kId, R::Object::kObjectId, id);
}

uint8_t* CHdrList::GetTowedBuoy(int32_t id) const {
    return FindByIdOrFirst(*this, R::TowedBuoy::kId, R::Object::kObjectId, id);
}

uint8_t* CHdrList::GetPipeBundle(int32_t id) const {
    return FindByIdOrFirst(*this, R::PipeBundle::kId, R::PipeBundle::kObjectId, id);
}

uint8_t* CHdrList::GetShape(int32_t id, int32_t second) const {
    return PayloadOf(FindFirst(*this, R::Shape::kId, [&](const sHdrEntry& e) {
        return id < 0 || (WordIs(e, R::Shape::kObjectId, id) && WordIs(e, R::Shape::kKind, second));
    }));
}

uint8_t* CHdrList::GetVariableNodeAt(int32_t object, float x, float y, float z) const {
    return PayloadOf(FindFirst(*this, R::VariableNode::kId, [&](const sHdrEntry& e) {
        return WordIs(e, R::VariableNode::kObject, object) && e.Load<float>(R::VariableNode::kOffsetX) == x &&
               e.Load<float>(R::VariableNode::kOffsetY) == y && e.Load<float>(R::VariableNode::kOffsetZ) == z;
    }));
}

uint8_t* CHdrList::GetVariableNode(int32_t node) const {
    return FindByWordAt(*this, R::VariableNode::kId, R::VariableNode::kNode, ReduceNode(node));
}

uint8_t* CHdrList::GetObservation(int32_t key) const {
    return FindByWordAt(*this, R::Observation::kId, R::Observation::kKey, key);
}

uint8_t* CHdrList::GetObservationQc(int32_t key) const {
    return FindByWordAt(*this, R::ObservationQc::kId, R::ObservationQc::kKey, key);
}

uint8_t* CHdrList::GetSimplifiedAtt(int32_t key, int32_t second) const {
    return PayloadOf(FindFirst(*this, R::Att::kSimplified, [&](const sHdrEntry& e) {
        return WordIs(e, R::Att::kKey, key) && WordIsAny(e, R::Att::kSecond, second);
    }));
}

uint8_t* CHdrList::GetFullHarmonicsAtt(int32_t key, int32_t second) const {
    return PayloadOf(FindFirst(*this, R::Att::kFullHarmonics, [&](const sHdrEntry& e) {
        return WordIs(e, R::Att::kKey, key) && WordIsAny(e, R::Att::kSecond, second);
    }));
}

uint8_t* CHdrList::GetGnssPosition73(int32_t node, int32_t second) const {
    const int32_t reduced = ReduceNode(node);
    return PayloadOf(FindFirst(*this, R::GnssPosition73::kId, [&](const sHdrEntry& e) {
        return WordIs(e, R::GnssPosition73::kNode, reduced) && WordIsAny(e, R::GnssPosition73::kSecond, second);
    }));
}

uint8_t* CHdrList::GetGnssPosition205(int32_t node, int32_t second) const {
    const int32_t reduced = ReduceNode(node);
    return PayloadOf(FindFirst(*this, R::GnssPosition205::kId, [&](const sHdrEntry& e) {
        return WordIs(e, R::GnssPosition205::kNode, reduced) && WordIsAny(e, R::GnssPosition205::kSecond, second);
    }));
}

uint8_t* CHdrList::GetGnssPosition258(int32_t node, int32_t second) const {
    const int32_t reduced = ReduceNode(node);
    return PayloadOf(FindFirst(*this, R::GnssPosition258::kId, [&](const sHdrEntry& e) {
        return WordIs(e, R::GnssPosition258::kNode, reduced) && WordIsAny(e, R::GnssPosition258::kSecond, second);
    }));
}

uint8_t* CHdrList::GetNodeLink(int32_t node, int32_t n) const {
    const int32_t reduced = ReduceNode(node);
    return PayloadOf(FindNthMatch(*this, R::NodeLink::kId, n == -1 ? 1 : n,
                             [&](const sHdrEntry& e) { return LinkNames(e, reduced); }));
}

uint8_t* CHdrList::GetGnssSystemOfDatum(int32_t datum) const {
    return FindByWordAt(*this, R::GnssSystem::kId, R::GnssSystem::kDatumNumber, datum);
}

uint8_t* CHdrList::GetGnssSystem(int32_t number, int32_t datum) const {
    if (uint8_t* byNumber = FindByWordAt(*this, R::GnssSystem::kId, R::GnssSystem::kNumber, number)) return byNumber;
    return PayloadOf(FindLast(*this, R::GnssSystem::kId,
                              [&](const sHdrEntry& e) { return WordIs(e, R::GnssSystem::kDatumNumber, datum); }));
}

uint8_t* CHdrList::GetDredging(int32_t key) const {
    return PayloadOf(FindFirst(*this, R::Dredging::kId, [&](const sHdrEntry& e) { return WordIsAny(e, R::Dredging::kKey, key); }));
}

uint8_t* CHdrList::GetDredging9510(int32_t key) const {
    return FindByWordAt(*this, R::KeyAt4::kDredging9510, R::KeyAt4::kKey, key);
}

uint8_t* CHdrList::GetDredging9511(int32_t key) const {
    return FindByWordAt(*this, R::KeyAt4::kDredging9511, R::KeyAt4::kKey, key);
}

uint8_t* CHdrList::GetDredging9512(int32_t key) const {
    return FindByWordAt(*this, R::KeyAt4::kDredging9512, R::KeyAt4::kKey, key);
}

uint8_t* CHdrList::GetDumping(int32_t key) const {
    return FindByWordAt(*this, R::KeyAt4::kDumping, R::KeyAt4::kKey, key);
}

uint8_t* CHdrList::GetControl(int32_t key) const {
    return FindByWordAt(*this, R::KeyAt4::kControl, R::KeyAt4::kKey, key);
}

uint8_t* CHdrList::GetDredging9501(int32_t a, int32_t b) const {
    return PayloadOf(FindFirst(*this, R::Dredging9501::kId, [&](const sHdrEntry& e) {
        return WordIs(e, R::Dredging9501::kKeyA, a) && WordIs(e, R::Dredging9501::kKeyB, b);
    }));
}

uint8_t* CHdrList::GetFirstDredging() const {
    return GetRecord(R::Dredging::kId, 1);
}

uint8_t* CHdrList::GetTopDredging() const {
    sHdrEntry* top = nullptr;
    int32_t best = 0;
    ForEach(*this, R::Dredging::kId, [&](sHdrEntry& e) {
        const auto rank = e.Word(R::Dredging::kRank);
        if (rank.has_value() && (top == nullptr || *rank > best)) {
            top = &e;
            best = *rank;
        }
    });
    return PayloadOf(top);
}

uint8_t* CHdrList::GetWaterColumn(int32_t systemId, int32_t* eventLink) const {
    return FindSystemRecord(*this, R::SystemAt4::kWaterColumn, systemId, eventLink);
}

uint8_t* CHdrList::GetSnippets(int32_t systemId, int32_t* eventLink) const {
    return FindSystemRecord(*this, R::SystemAt4::kSnippets, systemId, eventLink);
}

uint8_t* CHdrList::GetMultibeamById(int32_t systemId, int32_t* eventLink) const {
    return FindSystemRecord(*this, R::Multibeam::kId, systemId, eventLink);
}

uint8_t* CHdrList::GetAdcp(int32_t systemId, int32_t* eventLink) const {
    return FindSystemRecord(*this, R::SystemAt4::kAdcp, systemId, eventLink);
}

uint8_t* CHdrList::GetFls(int32_t systemId, int32_t* eventLink) const {
    return FindSystemRecord(*this, R::SystemAt4::kFls, systemId, eventLink);
}

uint8_t* CHdrList::GetRawDataOfSystem(const sSysDef* sysDef) const {
    if (sysDef == nullptr) return nullptr;
    return FindByKeys48(*this, R::RawData::kId, sysDef->key1, sysDef->key2);
}

uint8_t* CHdrList::GetRawDataLike(const uint8_t* record) const {
    if (record == nullptr) return nullptr;
    return FindByKeys48(*this, R::RawData::kId, LoadAt<int32_t>(record, R::RawData::kKey1),
                        LoadAt<int32_t>(record, R::RawData::kKey2));
}

uint8_t* CHdrList::GetSinglebeamLike(const uint8_t* record) const {
    if (record == nullptr) return nullptr;
    return FindByKeys48(*this, R::Singlebeam::kId, LoadAt<int32_t>(record, R::Singlebeam::kKey1),
                        LoadAt<int32_t>(record, R::Singlebeam::kKey2));
}

void CHdrList::GetDredgingRecords(int32_t key, CHdrSubList& subList) const {
    subList.CopyRecords(R::KeyAt4::kDredgingList, this, R::KeyAt4::kDredgingListSize);
    POSITION pos = subList.GetHeadPosition();
    while (pos != nullptr) {
        const POSITION at = pos;
        if (!sElement{subList, subList.GetNext(pos)}.Is(1, key)) subList.DeleteAt(at);
    }
}

uint8_t* CHdrList::FindSubRecord0(int32_t a, const CHdrSubList* subList) {
    return FindElement(subList, [&](const sElement& p) { return p.Is(0, a); });
}

uint8_t* CHdrList::FindSubRecord01(int32_t a, int32_t b, const CHdrSubList* subList) {
    return FindElement(subList, [&](const sElement& p) { return p.Is(0, a) && p.Is(1, b); });
}

uint8_t* CHdrList::FindSubRecord012(int32_t a, int32_t b, int32_t c, const CHdrSubList* subList) {
    const int32_t reduced = ReduceNode(c);
    return FindElement(subList, [&](const sElement& p) {
        return p.Is(0, a) && p.Is(1, b) && (c == -1 || p.Is(2, reduced));
    });
}

uint8_t* CHdrList::FindSubRecord123(int32_t a, int32_t b, int32_t c, const CHdrSubList* subList) {
    const int32_t reduced = ReduceNode(c);
    return FindElement(subList, [&](const sElement& p) {
        return p.Is(1, a) && p.Is(2, b) && (c == -1 || p.Is(3, reduced));
    });
}

uint8_t* CHdrList::FindSubRecord1(int32_t a, const CHdrSubList* subList) {
    if (a < 1) return nullptr;
    return FindElement(subList, [&](const sElement& p) { return p.Is(1, a); });
}

uint8_t* CHdrList::FindSubRecord12(int32_t a, int32_t b, const CHdrSubList* subList) {
    if (a < 1) return nullptr;
    return FindElement(subList, [&](const sElement& p) { return p.Is(1, a) && p.Is(2, b); });
}

uint8_t* CHdrList::FindSubRecord32(int32_t a, int32_t b, const CHdrSubList* subList) {
    if (a < 1) return nullptr;
    return FindElement(subList, [&](const sElement& p) {
        return p.Is(3, a) && (b == -1 || p.Is(2, b));
    });
}

uint8_t* CHdrList::FindSubRecordLocal0(int32_t a, const CHdrSubList* subList) {
    if (a < 1 || a > 9999) return nullptr;
    return FindSubRecord0(a, subList);
}

uint8_t* CHdrList::FindSubRecord2(int32_t a, const CHdrSubList* subList) {
    if (a == 0) return nullptr;
    return FindElement(subList, [&](const sElement& p) { return p.Is(2, a); });
}

uint8_t* CHdrList::FindSubRecord21(int32_t a, int32_t b, const CHdrSubList* subList) {
    return FindElement(subList, [&](const sElement& p) { return p.Is(2, a) && p.Is(1, b); });
}

bool CHdrList::HasNodeLink(int32_t node, int32_t mask, const CHdrSubList* subList) const {
    const int32_t reduced = ReduceNode(node);
    auto names = [&](std::optional<int32_t> first, std::optional<int32_t> second) {
        return ((mask & 1) != 0 && first == reduced) || ((mask & 2) != 0 && second == reduced);
    };
    if (subList != nullptr)
        return FindElement(subList, [&](const sElement& p) { return names(p.At(0), p.At(1)); }) != nullptr;
    return FindFirst(*this, R::NodeLink::kId, [&](const sHdrEntry& e) {
        return names(e.Word(R::NodeLink::kFirst), e.Word(R::NodeLink::kSecond));
    }) != nullptr;
}

int32_t CHdrList::GetLinkedNode(int32_t node, int32_t n) const {
    const int32_t reduced = ReduceNode(node);
    const sHdrEntry* link = FindNthMatch(*this, R::NodeLink::kId, n == -1 ? 1 : n,
                                    [&](const sHdrEntry& e) { return LinkNames(e, reduced); });
    if (link == nullptr) return -1;
    return WordIs(*link, R::NodeLink::kFirst, reduced) ? WordOr(*link, R::NodeLink::kSecond, -1)
                                                       : WordOr(*link, R::NodeLink::kFirst, -1);
}

void CHdrList::GetPpsRecords(int32_t systemId, uint8_t* out241, uint8_t* out249, uint8_t* out251, int* found241,
                             int* found249, int* found251) const {
    struct sKind {
        int32_t recordId;
        size_t systemOffset;
        uint32_t size;
        uint8_t* out;
        int* found;
    };
    const sKind kinds[] = {{R::SystemAt4::kPps, R::SystemAt4::kSystem, R::SystemAt4::kPpsSize, out241, found241},
                           {R::SystemAt4::kPpsTimetag, R::SystemAt4::kSystem, R::SystemAt4::kPpsTimetagSize, out249, found249},
                           {R::PpsPulse::kId, R::PpsPulse::kSystem, R::PpsPulse::kSize, out251, found251}};
    for (const sKind& kind : kinds) {
        if (kind.out != nullptr) std::memset(kind.out, 0, kind.size);
    }
    for (int k = 0; k < GetCount(); ++k) {
        const sHdrEntry& entry = *GetEntryAt(k);
        for (const sKind& kind : kinds) {
            if (entry.recordId != kind.recordId || !WordIs(entry, kind.systemOffset, systemId)) continue;
            if (kind.out != nullptr) CopyZeroPadded(kind.out, kind.size, entry);
            if (kind.found != nullptr) *kind.found = 1;
        }
    }
}

double CHdrList::GetSonarSystemValue(int32_t systemId, double defaultValue) const {
    if (const sHdrEntry* e = FindFirst(*this, R::Multibeam::kId,
                                       [&](const sHdrEntry& x) { return WordIs(x, R::Multibeam::kSystem, systemId); })) {
        const auto value = e->Load<float>(R::Multibeam::kValue);
        return WordOr(*e, R::Multibeam::kFlag, 0) != 0 && value ? *value : defaultValue;
    }
    if (const sHdrEntry* e = FindFirst(*this, R::Multitransducer::kId,
                                       [&](const sHdrEntry& x) { return WordIs(x, R::Multitransducer::kSystem, systemId); })) {
        const auto value = e->Load<double>(R::Multitransducer::kValue);
        return WordOr(*e, R::Multitransducer::kFlag, 0) != 0 && value ? *value : defaultValue;
    }
    if (const sHdrEntry* e = FindFirst(*this, R::SideScanSonar::kId,
                                       [&](const sHdrEntry& x) { return WordIs(x, R::SideScanSonar::kSystem, systemId); })) {
        const auto value = e->Load<float>(R::SideScanSonar::kValue);
        return WordOr(*e, R::SideScanSonar::kFlag, 0) != 0 && value ? *value : defaultValue;
    }
    return defaultValue;
}

int32_t CHdrList::GetLineNumber() const {
    const sHdrEntry* line = GetEntry(R::LineName::kId, 1);
    return line != nullptr ? WordOr(*line, R::LineName::kNumber, -1) : -1;
}

CString CHdrList::GetLineName() const {
    const sHdrEntry* line = GetEntry(R::LineName::kId, 1);
    return line != nullptr ? FieldText(*line, R::LineName::kName, R::LineName::kNameField) : CString();
}

int CHdrList::SetUsblRecord(const uint8_t* record) {
    if (record == nullptr) return 0;
    sHdrEntry* found = FindFirst(*this, R::Usbl128::kId, [&](const sHdrEntry& e) {
        return WordIs(e, R::Usbl128::kKey1, LoadAt<int32_t>(record, R::Usbl128::kKey1)) &&
               WordIs(e, R::Usbl128::kKey2, LoadAt<int32_t>(record, R::Usbl128::kKey2)) &&
               WordIs(e, R::Usbl128::kKey3, LoadAt<int32_t>(record, R::Usbl128::kKey3));
    });
    if (found == nullptr) return 0;
    std::memcpy(found->Payload(), record, std::min(found->payloadSize, R::Usbl128::kSize));
    return 1;
}

int CHdrList::SetUsblQcRecord(const uint8_t* record) {
    if (record == nullptr) return 0;
    sHdrEntry* found = FindFirst(*this, R::Usbl260::kId, [&](const sHdrEntry& e) {
        return WordIs(e, R::Usbl260::kKey1, LoadAt<int32_t>(record, R::Usbl260::kKey1)) &&
               WordIs(e, R::Usbl260::kKey2, LoadAt<int32_t>(record, R::Usbl260::kKey2)) &&
               WordIs(e, R::Usbl260::kKey3, LoadAt<int32_t>(record, R::Usbl260::kKey3));
    });
    if (found == nullptr) return 0;
    std::memcpy(found->Payload(), record, std::min(found->payloadSize, R::Usbl260::kSize));
    return 1;
}

int CHdrList::GetChartDatumRef(uint8_t* out, int second) const {
    if (out == nullptr) return 0;
    std::memset(out, 0, R::kDatumRefSize);
    const sHdrEntry* chart = GetEntry(R::ChartDatum::kId, 1);
    if (chart == nullptr) return 0;
    const size_t offset = second != 0 ? R::ChartDatum::kSecondRef : R::ChartDatum::kFirstRef;
    if (chart->payloadSize < offset + R::kDatumRefSize) return 0;
    std::memcpy(out, chart->Payload() + offset, R::kDatumRefSize);
    return 1;
}

int CHdrList::ApplySurveyUnit() const {
    const sHdrEntry* unit = GetEntry(R::SurveyUnit::kId, 1);
    return unit != nullptr ? ApplyUnit(unit->Payload(), unit->payloadSize, 1) : ApplyUnit(nullptr, 0, 1);
}

int CHdrList::ApplySurveyUnitRecord(const uint8_t* payload, int mode) {
    // A payload handed over alone holds the whole record.
    return ApplyUnit(payload, payload != nullptr ? R::SurveyUnit::kSize : 0, mode);
}

int CHdrList::GetSurveyUnit(uint8_t* out) const {
    if (out == nullptr) return 0;
    const sHdrEntry* unit = GetEntry(R::SurveyUnit::kId, 1);
    if (unit == nullptr) {
        std::memset(out, 0, R::SurveyUnit::kSize);
        return 0;
    }
    CopyZeroPadded(out, R::SurveyUnit::kSize, *unit);
    return 1;
}

CString CHdrList::GetSurveyUnitName() const {
    const sHdrEntry* unit = GetEntry(R::SurveyUnit::kId, 1);
    if (unit != nullptr && unit->Payload() != nullptr)
        return FieldText(*unit, R::SurveyUnit::kName, R::SurveyUnit::kNameField);
    return CString(GetUnitName(UNIT_METERS));
}

CString CHdrList::GetUnitText(int32_t unitType, int longForm) {
    const int constant = UnitTypeToUnitConstant(unitType);
    return CString(longForm != 0 ? GetUnitName(constant) : GetUnitShort(constant));
}

CString CHdrList::GetCoordKindCaption(uint32_t kind, int suffix) {
    CString caption = GetCoordKindName(kind, 0);
    if (suffix != 0) caption += " Coordinates";
    return caption;
}

std::set<std::string> CHdrList::GetDriverSettingNames(uint32_t driverId) const {
    std::set<std::string> names;
    ForEach(*this, R::DriverSetting::kId, [&](const sHdrEntry& e) {
        if (WordIs(e, R::DriverSetting::kDriver, static_cast<int32_t>(driverId)))
            names.insert(FieldText(e, R::DriverSetting::kName, R::DriverSetting::kNameField).Str());
    });
    return names;
}

CString CHdrList::GetDriverSetting(uint32_t driverId, const char* name) const {
    const std::string wanted = name != nullptr ? name : "";
    const sHdrEntry* found = FindFirst(*this, R::DriverSetting::kId, [&](const sHdrEntry& e) {
        return WordIs(e, R::DriverSetting::kDriver, static_cast<int32_t>(driverId)) &&
               FieldText(e, R::DriverSetting::kName, R::DriverSetting::kNameField).Str() == wanted;
    });
    return found != nullptr ? FieldText(*found, R::DriverSetting::kValue, R::DriverSetting::kValueField) : CString();
}
