// Maintenance of the header list: the version record and its text, the records derived from
// others (the Summary, member counters of objects and gun arrays, Corrections, datum epochs) and
// the integrity dump.
#include "definitions/header/hdr_list.h"

#include <cstdio>
#include <string>

#include "compat/file.h"
#include "compat/unit_library.h"
#include "definitions/header/hdr_record_layouts.h"
#include "definitions/header/hdr_search.h"
#include "definitions/header/hdr_sub_list.h"
#include "foundation/system_time.h"
#include "foundation/text_tokens.h"

namespace R = HdrRecord;
using namespace Vok::HdrSearch;
using Vok::Definitions::StoreAt;

namespace {

constexpr uint32_t kCurrentVersion = 700;
constexpr uint32_t kCurrentBuild = 21;
constexpr uint32_t kOldVersionBuild = 2;  // the build of a record that holds major and minor
constexpr double kEarliestEpoch = 1900.0;

// The first version record that holds both its words.
const sHdrEntry* VersionEntry(const CHdrList& list) {
    return FindFirst(list, R::Version::kId, [](const sHdrEntry& e) { return e.Word(R::Version::kBuild).has_value(); });
}

uint32_t Word32(const sHdrEntry& e, size_t offset) {
    return e.Load<uint32_t>(offset).value_or(0);
}

// Whether a node (by its number) is a Variable Node of the owner; the first node of that number
// decides.
bool NodeBelongsTo(const CHdrList& list, int32_t node, int32_t owner) {
    if (node <= 0) return false;
    const sHdrEntry* variable = FindFirst(list, R::VariableNode::kId,
                                          [&](const sHdrEntry& e) { return WordIs(e, R::VariableNode::kNode, node); });
    return variable != nullptr && WordIs(*variable, R::VariableNode::kObject, owner);
}

// GNSS positions of the owner and GNSS observations (kind 20) whose first node belongs to it.
uint32_t CountGnssMembers(const CHdrList& list, int32_t owner) {
    uint32_t count = Count(list, R::GnssPosition73::kId, [&](const sHdrEntry& e) { return WordIs(e, R::GnssPosition73::kObject, owner); });
    count += Count(list, R::GnssPosition205::kId, [&](const sHdrEntry& e) { return WordIs(e, R::GnssPosition205::kObject, owner); });
    count += Count(list, R::GnssPosition258::kId, [&](const sHdrEntry& e) { return WordIs(e, R::GnssPosition258::kObject, owner); });
    count += Count(list, R::Observation::kId, [&](const sHdrEntry& e) {
        return WordIs(e, R::Observation::kKind, R::Observation::kKindGnss) &&
               NodeBelongsTo(list, WordOr(e, R::Observation::kFirstNode, 0), owner);
    });
    return count;
}

uint32_t CountOwned(const CHdrList& list, int32_t recordId, size_t offset, int32_t owner) {
    return Count(list, recordId, [&](const sHdrEntry& e) { return WordIs(e, offset, owner); });
}

// The eight member counters of an Object record (166 or 267).
void RecountObject(const CHdrList& list, sHdrEntry& object) {
    const auto id = object.Word(R::Object::kObjectId);
    if (!id.has_value()) return;
    const uint32_t sensors = CountOwned(list, R::Singlebeam::kId, R::Singlebeam::kKey1, *id) +
                             Count(list, R::Multibeam::kId, [&](const sHdrEntry& e) {
                                 return NodeBelongsTo(list, WordOr(e, R::Multibeam::kNode, 0), *id);
                             }) +
                             CountOwned(list, R::Multitransducer::kId, R::Multitransducer::kObject, *id);
    const uint32_t counters[R::Object::kCounterCount] = {
        CountOwned(list, R::Streamer::kId, R::Streamer::kOwner, *id),
        CountOwned(list, R::GunArray::kId, R::GunArray::kOwner, *id),
        CountOwned(list, R::TowedBuoy::kId, R::TowedBuoy::kOwner, *id),
        sensors,
        CountOwned(list, R::PrhSensor::kId, R::PrhSensor::kKey1, *id),
        CountOwned(list, R::UsblTransceiver::kId, R::UsblTransceiver::kKey1, *id),
        CountGnssMembers(list, *id),
        CountOwned(list, R::VariableNode::kId, R::VariableNode::kObject, *id)};
    for (size_t k = 0; k < R::Object::kCounterCount; ++k) object.Store(R::Object::kCounters + 4 * k, counters[k]);
}

}  // namespace

uint32_t CHdrList::GetVersionNumber() const {
    const sHdrEntry* version = VersionEntry(*this);
    if (version == nullptr) return IsEmpty() ? kCurrentVersion : 0;
    const uint32_t v = Word32(*version, R::Version::kVersion);
    return v >= 100 ? v : v * 100 + Word32(*version, R::Version::kBuild);
}

uint32_t CHdrList::GetBuildNumber() const {
    const sHdrEntry* version = VersionEntry(*this);
    if (version == nullptr) return IsEmpty() ? kCurrentBuild : 0;
    return Word32(*version, R::Version::kVersion) >= 100 ? Word32(*version, R::Version::kBuild) : kOldVersionBuild;
}

CString CHdrList::GetVersionString() const {
    CString text;
    if (VersionEntry(*this) == nullptr && !IsEmpty()) return CString("< 6.20.0000");
    // The version is divided in single precision, as it always was.
    const float version = static_cast<float>(GetVersionNumber()) / 100.0f;
    text.Format("%.2f.%04d", static_cast<double>(version), static_cast<int>(GetBuildNumber()));
    return text;
}

int CHdrList::SetCurrentVersion(int update) {
    const sHdrEntry* version = VersionEntry(*this);
    if (version != nullptr && update == 0) return 0;
    return SetVersion(kCurrentVersion, kCurrentBuild);
}

int CHdrList::SetVersion(uint32_t version, uint32_t build) {
    auto* entry = const_cast<sHdrEntry*>(VersionEntry(*this));
    if (entry == nullptr) {
        uint8_t payload[R::Version::kSize] = {};
        StoreAt(payload, R::Version::kVersion, version);
        StoreAt(payload, R::Version::kBuild, build);
        AddRecord(R::Version::kId, R::Version::kSize, payload, -1);
        return 1;
    }
    if (Word32(*entry, R::Version::kVersion) == version && Word32(*entry, R::Version::kBuild) == build) return 0;
    entry->Store(R::Version::kVersion, version);
    entry->Store(R::Version::kBuild, build);
    return 1;
}

double CHdrList::GetMetaDataVersion() const {
    const sHdrEntry* meta = GetEntry(R::MetaData::kId, 1);
    std::string text;
    if (meta != nullptr) {
        const size_t end = std::min<size_t>(meta->payloadSize, R::MetaData::kVersionText + R::MetaData::kVersionTextField);
        text = Vok::Definitions::TextAt(meta->Payload(), end, R::MetaData::kVersionText).Str();
    }
    const std::vector<std::string> parts = SplitToVector(text, '.');
    if (parts.size() < 2) return 0.0;
    return std::stod(parts[0] + "." + parts[1]);
}

void CHdrList::UpdateSummary() {
    CHdrSubList summaries(R::Summary::kId, this, R::Summary::kSize);
    uint8_t* summary = nullptr;
    if (summaries.IsEmpty()) {
        summary = summaries.AddCopy(R::Summary::kSize, nullptr, 0);
        StoreAt(summary, R::Summary::kWord16, uint32_t{1});
    } else {
        summary = static_cast<uint8_t*>(summaries.GetHead());
    }

    uint32_t unitCode = 0;
    const sHdrEntry* unit = GetEntry(R::SurveyUnit::kId, 1);
    if (const auto factor = unit != nullptr ? unit->Load<double>(R::SurveyUnit::kFactor) : std::nullopt) {
        unitCode = *factor == GetConvToMeters(UNIT_METERS) ? 0 : *factor == GetConvToMeters(UNIT_FEET) ? 1 : 25;
    }
    uint32_t small = 0;
    uint32_t large = 0;
    for (const int32_t recordId : {R::Object::kId, R::Object::kIdM}) {
        ForEach(*this, recordId, [&](const sHdrEntry& e) {
            if (const auto id = e.Word(R::Object::kObjectId)) ++(*id < 10 ? small : large);
        });
    }
    const uint32_t nodes = Count(*this, R::VariableNode::kId, [](const sHdrEntry& e) {
        const auto owner = e.Word(R::VariableNode::kObject);
        return owner.has_value() && *owner >= 10 && *owner <= 99;
    }) + GetRecordCount(R::FixedNode::kId);

    StoreAt(summary, R::Summary::kUnitCode, unitCode);
    StoreAt(summary, R::Summary::kSmallObjects, small);
    StoreAt(summary, R::Summary::kLargeObjects, large);
    StoreAt(summary, R::Summary::kNodes, nodes);
    StoreAt(summary, R::Summary::kDatums, GetRecordCount(R::DatumEllipsoid::kId));
    SetRecords(&summaries, R::Summary::kId, R::Summary::kSize);
}

void CHdrList::RecountObjectMembers() {
    for (const int32_t recordId : {R::Object::kId, R::Object::kIdM})
        ForEach(*this, recordId, [&](sHdrEntry& object) { RecountObject(*this, object); });
}

void CHdrList::RecountGunArrayMembers() {
    ForEach(*this, R::GunArray::kId, [&](sHdrEntry& gunArray) {
        const auto id = gunArray.Word(R::Object::kObjectId);
        if (!id.has_value()) return;
        const uint32_t counters[R::GunArray::kCounterCount] = {
            CountOwned(*this, R::TowedBuoy::kId, R::TowedBuoy::kOwner, *id), CountGnssMembers(*this, *id),
            CountOwned(*this, R::VariableNode::kId, R::VariableNode::kObject, *id),
            CountOwned(*this, R::GunArrayDepth::kId, R::GunArrayDepth::kGunArray, *id)};
        for (size_t k = 0; k < R::GunArray::kCounterCount; ++k) gunArray.Store(R::GunArray::kCounters + 4 * k, counters[k]);
    });
}

void CHdrList::UpdateCorrections() {
    const bool sources = HasRecord(R::CorrectionsNode::kId) || HasRecord(R::FixedNode::kId);
    ForEach(*this, R::Corrections::kId, [&](sHdrEntry& corrections) {
        corrections.Store(R::Corrections::kFixedNodeValue, 0.0f);
        corrections.Store(R::Corrections::kWord32, uint32_t{0});
        corrections.Store(R::Corrections::kWord36, uint32_t{0});
        const auto number = corrections.Word(R::Corrections::kNumber);
        if (!sources || !number.has_value()) return;
        const sHdrEntry* observation = FindFirst(*this, R::Observation::kId, [&](const sHdrEntry& e) {
            return WordIs(e, R::Observation::kCorrections, *number) &&
                   WordIs(e, R::Observation::kKind, R::Observation::kKindFixedNode);
        });
        if (observation == nullptr) return;
        const auto first = observation->Word(R::Observation::kFirstNode);
        const auto second = observation->Word(R::Observation::kSecondNode);
        if (first.has_value()) {
            const sHdrEntry* fixed = FindFirst(*this, R::FixedNode::kId,
                                               [&](const sHdrEntry& e) { return WordIs(e, R::FixedNode::kNumber, *first); });
            if (const auto value = fixed != nullptr ? fixed->Load<double>(R::FixedNode::kValue) : std::nullopt)
                corrections.Store(R::Corrections::kFixedNodeValue, static_cast<float>(*value));
        }
        if (second.has_value()) {
            const sHdrEntry* node = FindFirst(*this, R::CorrectionsNode::kId, [&](const sHdrEntry& e) {
                return WordIs(e, R::CorrectionsNode::kNode, *second) && WordOr(e, R::CorrectionsNode::kUsed, 0) > 0;
            });
            if (node != nullptr && node->Word(R::CorrectionsNode::kWord12).has_value()) {
                corrections.Store(R::Corrections::kWord32, Word32(*node, R::CorrectionsNode::kWord8));
                corrections.Store(R::Corrections::kWord36, Word32(*node, R::CorrectionsNode::kWord12));
            }
        }
    });
}

int CHdrList::UpdateDatumEpochs(int force) {
    return SetDatumEpochs(GetCurrentDecimalYear(), force);
}

int CHdrList::SetDatumEpochs(double epoch, int force) {
    if (!(epoch >= kEarliestEpoch)) return 0;
    bool changed = false;
    ForEach(*this, R::DatumEpoch::kQcId, [&](sHdrEntry& e) {
        const auto own = e.Load<double>(R::DatumEpoch::kEpoch);
        if (!own.has_value() || !WordIs(e, R::DatumEpoch::kKind, R::DatumEpoch::kKindCurrentDate)) return;
        if (force != 0 || *own < kEarliestEpoch) changed = e.Store(R::DatumEpoch::kEpoch, epoch) || changed;
    });
    return changed ? 1 : 0;
}

int CHdrList::CheckIntegrity(const char* fileName) const {
    CFile file;
    if (fileName == nullptr || !file.Open(fileName, CFile::modeCreate | CFile::modeWrite | CFile::typeText)) return 0;
    int result = 1;
    try {
        for (int k = 0; k < GetCount(); ++k) {
            const sHdrEntry& entry = *GetEntryAt(k);
            if (entry.recordId > 0 && entry.payloadSize != 0) continue;
            char line[96];
            const int length = std::snprintf(line, sizeof line, "pHdrEntry %d Size %d RecId %d \n", k,
                                             static_cast<int>(entry.payloadSize), static_cast<int>(entry.recordId));
            file.Write(line, static_cast<UINT>(length));
            result = 0;
        }
        file.Close();
    } catch (const CFileException&) {
        file.Abort();
        return 0;
    }
    return result;
}
