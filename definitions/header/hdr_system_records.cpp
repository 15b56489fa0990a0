// The header records that carry the set-up of a system definition, found by the system's id or
// key words, with the record type of their companion data records.
#include "definitions/header/hdr_list.h"

#include "definitions/records/definition_records.h"
#include "definitions/header/hdr_record_layouts.h"
#include "definitions/header/hdr_search.h"

namespace R = HdrRecord;
using namespace Vok::HdrSearch;

namespace {

// System types.
constexpr int32_t kEchosounder = 1;
constexpr int32_t kUsbl = 2;
constexpr int32_t kPrhSensor = 3;
constexpr int32_t kPositionNavigation = 12;
constexpr int32_t kMultibeam = 20;
constexpr int32_t kMultitransducer = 26;
constexpr int32_t kSidescan = 27;
constexpr int32_t kMagnetometer = 35;

// Companion data record types.
constexpr int32_t kDataGnssOld = 98;
constexpr int32_t kDataGnss = 165;
constexpr int32_t kDataGnssQc = 259;
constexpr int32_t kDataUsbl = 86;
constexpr int32_t kDataUsblQc = 261;
constexpr int32_t kDataPrh = 87;
constexpr int32_t kDataPrhQc = 227;
constexpr int32_t kDataSinglebeam = 85;
constexpr int32_t kDataSinglebeamQc = 222;
constexpr int32_t kDataSidescan = 175;

bool HasType(const sSysDef* sysDef, int32_t sysType) {
    return sysDef != nullptr && sysDef->sysType == sysType;
}

// A selector of 1 or more picks the newer data record, else the older one.
int32_t BySelector(const sHdrEntry& entry, size_t selector, int32_t newer, int32_t older) {
    return WordOr(entry, selector, 0) >= 1 ? newer : older;
}

int32_t GnssDataType(const sHdrEntry& entry) {
    if (entry.recordId != R::GnssPosition258::kId) return kDataGnss;
    const int32_t selector = WordOr(entry, R::GnssPosition258::kSelector, 0);
    return selector >= 1 ? kDataGnssQc : selector == 0 ? kDataGnss : kDataGnssOld;
}

bool Has258Keys(const sHdrEntry& e, const sSysDef& s) {
    return WordIs(e, R::GnssPosition258::kGnssSystem, s.key1) && WordIs(e, R::GnssPosition258::kNode, s.key2) &&
           WordIs(e, R::GnssPosition258::kSecond, s.key3);
}

bool Has205Keys(const sHdrEntry& e, const sSysDef& s) {
    return WordIs(e, R::GnssPosition205::kGnssSystem, s.key1) && WordIs(e, R::GnssPosition205::kNode, s.key2) &&
           WordIs(e, R::GnssPosition205::kSecond, s.key3);
}

// Hands out the entry's payload, event link and data type; null without an entry.
uint8_t* Found(sHdrEntry* entry, int32_t dataType, int32_t* eventLink, int32_t* dataTypeOut) {
    if (entry == nullptr) return nullptr;
    if (eventLink != nullptr) *eventLink = entry->eventLink;
    if (dataTypeOut != nullptr) *dataTypeOut = dataType;
    return entry->Payload();
}

// The USBL QC record (260) of a transceiver or beacon, by that record's two keys.
sHdrEntry* UsblQcOf(const CHdrList& list, const sHdrEntry& record) {
    const int32_t key1 = WordOr(record, R::UsblTransceiver::kKey1, 0);
    const int32_t key2 = WordOr(record, R::UsblTransceiver::kKey2, 0);
    return FindFirst(list, R::Usbl260::kId, [&](const sHdrEntry& e) {
        return WordIs(e, R::Usbl260::kKey1, key1) && WordIs(e, R::Usbl260::kKey2, key2);
    });
}

int32_t UsblDataTypeOf(const CHdrList& list, const sHdrEntry& record) {
    const sHdrEntry* qc = UsblQcOf(list, record);
    return qc != nullptr ? BySelector(*qc, R::Usbl260::kSelector, kDataUsblQc, kDataUsbl) : kDataUsbl;
}

// A USBL transceiver (202) or beacon (195) of the system's first two key words.
sHdrEntry* UsblPart(const CHdrList& list, int32_t recordId, const sSysDef& s) {
    return FindFirst(list, recordId, [&](const sHdrEntry& e) {
        return WordIs(e, R::UsblTransceiver::kKey1, s.key1) && WordIs(e, R::UsblTransceiver::kKey2, s.key2);
    });
}

}  // namespace

int32_t CHdrList::GetPositionSystemRecord(const sSysDef* sysDef, uint8_t** record258, uint8_t** record205,
                                          int32_t* eventLink, int32_t* dataType) const {
    if (record258 != nullptr) *record258 = nullptr;
    if (record205 != nullptr) *record205 = nullptr;
    if (!HasType(sysDef, kPositionNavigation)) return 0;
    sHdrEntry* found = nullptr;
    for (int k = 0; k < GetCount() && found == nullptr; ++k) {
        sHdrEntry* e = GetEntryAt(k);
        if ((e->recordId == R::GnssPosition258::kId && Has258Keys(*e, *sysDef)) ||
            (e->recordId == R::GnssPosition205::kId && Has205Keys(*e, *sysDef)))
            found = e;
    }
    if (found == nullptr) return 0;
    if (found->recordId == R::GnssPosition258::kId) {
        found->Store(R::GnssPosition258::kSystem, sysDef->sysId);
        if (record258 != nullptr) *record258 = found->Payload();
    } else if (record205 != nullptr) {
        *record205 = found->Payload();
    }
    Found(found, GnssDataType(*found), eventLink, dataType);
    return found->recordId;
}

uint8_t* CHdrList::GetGnssPositionRecord(const sSysDef* sysDef, int32_t* eventLink, int32_t* dataType) const {
    if (!HasType(sysDef, kPositionNavigation)) return nullptr;
    sHdrEntry* found = FindFirst(*this, R::GnssPosition258::kId, [&](const sHdrEntry& e) { return Has258Keys(e, *sysDef); });
    if (found == nullptr) return nullptr;
    found->Store(R::GnssPosition258::kSystem, sysDef->sysId);
    return Found(found, GnssDataType(*found), eventLink, dataType);
}

uint8_t* CHdrList::GetUsblSystemRecord(const sSysDef* sysDef, int32_t* eventLink, int32_t* dataType) const {
    if (!HasType(sysDef, kUsbl)) return nullptr;
    for (int k = 0; k < GetCount(); ++k) {
        sHdrEntry* e = GetEntryAt(k);
        if (e->recordId == R::Usbl260::kId && WordIs(*e, R::Usbl260::kKey1, sysDef->key1) &&
            WordIs(*e, R::Usbl260::kKey2, sysDef->key2))
            return Found(e, BySelector(*e, R::Usbl260::kSelector, kDataUsblQc, kDataUsbl), eventLink, dataType);
        if (e->recordId == R::Usbl128::kId && WordIs(*e, R::Usbl128::kKey1, sysDef->key1) &&
            WordIs(*e, R::Usbl128::kKey2, sysDef->key2))
            return Found(e, kDataUsbl, eventLink, dataType);
    }
    return nullptr;
}

int32_t CHdrList::GetUsblSystemRecords(const sSysDef* sysDef, uint8_t** record202, uint8_t** record195,
                                       int32_t* eventLink, int32_t* dataType) const {
    if (!HasType(sysDef, kUsbl)) return 0;
    sHdrEntry* transceiver = UsblPart(*this, R::UsblTransceiver::kId, *sysDef);
    sHdrEntry* beacon = UsblPart(*this, R::UsblBeacon::kId, *sysDef);
    if (transceiver == nullptr || beacon == nullptr) return 0;
    if (record202 != nullptr) *record202 = transceiver->Payload();
    if (record195 != nullptr) *record195 = beacon->Payload();
    int later = 0;
    for (int k = 0; k < GetCount(); ++k) {
        if (GetEntryAt(k) == transceiver || GetEntryAt(k) == beacon) later = k;
    }
    Found(GetEntryAt(later), UsblDataTypeOf(*this, *transceiver), eventLink, dataType);
    return UsblQcOf(*this, *transceiver) != nullptr ? R::Usbl260::kId : R::Usbl128::kId;
}

uint8_t* CHdrList::GetUsblTransceiverRecord(const sSysDef* sysDef, int32_t* eventLink, int32_t* dataType) const {
    if (!HasType(sysDef, kUsbl)) return nullptr;
    sHdrEntry* found = UsblPart(*this, R::UsblTransceiver::kId, *sysDef);
    return found != nullptr ? Found(found, UsblDataTypeOf(*this, *found), eventLink, dataType) : nullptr;
}

uint8_t* CHdrList::GetUsblBeaconRecord(const sSysDef* sysDef, int32_t* eventLink, int32_t* dataType) const {
    if (!HasType(sysDef, kUsbl)) return nullptr;
    sHdrEntry* found = UsblPart(*this, R::UsblBeacon::kId, *sysDef);
    return found != nullptr ? Found(found, UsblDataTypeOf(*this, *found), eventLink, dataType) : nullptr;
}

uint8_t* CHdrList::GetPrhSensorRecord(const sSysDef* sysDef, int32_t* eventLink, int32_t* dataType) const {
    if (!HasType(sysDef, kPrhSensor)) return nullptr;
    sHdrEntry* found = FindFirst(*this, R::PrhSensor::kId, [&](const sHdrEntry& e) {
        return WordIs(e, R::PrhSensor::kKey1, sysDef->key1) && WordIs(e, R::PrhSensor::kKey2, sysDef->key2);
    });
    if (found == nullptr) return nullptr;
    return Found(found, BySelector(*found, R::PrhSensor::kSelector, kDataPrhQc, kDataPrh), eventLink, dataType);
}

uint8_t* CHdrList::GetSinglebeamRecord(const sSysDef* sysDef, int32_t* eventLink, int32_t* dataType) const {
    if (!HasType(sysDef, kEchosounder) && !HasType(sysDef, kMagnetometer)) return nullptr;
    sHdrEntry* found = FindFirst(*this, R::Singlebeam::kId, [&](const sHdrEntry& e) {
        return WordIs(e, R::Singlebeam::kKey1, sysDef->key1) && WordIs(e, R::Singlebeam::kKey2, sysDef->key2);
    });
    if (found == nullptr) return nullptr;
    return Found(found, BySelector(*found, R::Singlebeam::kSelector, kDataSinglebeamQc, kDataSinglebeam), eventLink,
                 dataType);
}

uint8_t* CHdrList::GetMultibeamRecord(const sSysDef* sysDef, int32_t* eventLink, int32_t* dataType) const {
    if (!HasType(sysDef, kMultibeam)) return nullptr;
    sHdrEntry* found = FindFirst(*this, R::Multibeam::kId,
                                 [&](const sHdrEntry& e) { return WordIs(e, R::Multibeam::kSystem, sysDef->sysId); });
    if (found == nullptr) return nullptr;
    return Found(found, GetDataRecordType(R::Multibeam::kId, WordOr(*found, R::Multibeam::kVariant, 0)), eventLink,
                 dataType);
}

uint8_t* CHdrList::GetMultitransducerRecord(const sSysDef* sysDef, int32_t* eventLink, int32_t* dataType) const {
    if (!HasType(sysDef, kMultitransducer)) return nullptr;
    sHdrEntry* found = FindFirst(*this, R::Multitransducer::kId, [&](const sHdrEntry& e) {
        return WordIs(e, R::Multitransducer::kSystem, sysDef->sysId);
    });
    if (found == nullptr) return nullptr;
    return Found(found, GetDataRecordType(R::Multitransducer::kId, WordOr(*found, R::Multitransducer::kVariant, 0)),
                 eventLink, dataType);
}

uint8_t* CHdrList::GetSidescanRecord(const sSysDef* sysDef, int32_t* eventLink, int32_t* dataType) const {
    if (!HasType(sysDef, kSidescan)) return nullptr;
    sHdrEntry* found = FindFirst(*this, R::SideScanSonar::kId,
                                 [&](const sHdrEntry& e) { return WordIs(e, R::SideScanSonar::kSystem, sysDef->sysId); });
    return Found(found, kDataSidescan, eventLink, dataType);
}
