// The conversions of old header records into current ones that work on the records alone.
#include "definitions/header/hdr_list.h"

#include <algorithm>
#include <array>
#include <span>

#include "compat/unit_library.h"
#include "definitions/records/datum_ref.h"
#include "definitions/records/ellipsoid_checks.h"
#include "definitions/project/hdr_upgrade_support.h"
#include "definitions/lists/obs_type_properties.h"
#include "foundation/unit_types.h"

using Vok::HdrUpgrade::CNewRecord;
using Vok::HdrUpgrade::ConvertRecords;
using Vok::HdrUpgrade::DmsToDegrees;
using Vok::HdrUpgrade::EntriesOf;
using Vok::HdrUpgrade::MarkUnlinked;
using Vok::HdrUpgrade::OldLinks;
using Vok::HdrUpgrade::sOldLinks;
using Vok::HdrUpgrade::OldValue;

namespace {

// A run of bytes that goes from an old offset to a new one unchanged.
struct sMove {
    size_t to;
    size_t from;
    size_t length;
};

// A text of at most chars characters from an old offset into a new field.
struct sTextMove {
    size_t to;
    size_t from;
    size_t chars;
};

void Apply(CNewRecord& record, const sHdrEntry& old, std::span<const sMove> moves) {
    for (const sMove& m : moves) record.Copy(m.to, old, m.from, m.length);
}

void Apply(CNewRecord& record, const sHdrEntry& old, std::span<const sTextMove> texts) {
    for (const sTextMove& t : texts) record.Text(t.to, old, t.from, t.chars);
}

// length bytes from an old offset to the same new one, without the old text at textAt: an old
// text longer than its new field leaves nothing of its tail behind the cut.
void CopyAfterText(CNewRecord& record, const sHdrEntry& old, size_t textAt, size_t from, size_t length) {
    size_t textEnd = textAt;
    if (old.Payload() != nullptr && textAt < old.payloadSize)
        textEnd += strnlen(reinterpret_cast<const char*>(old.Payload() + textAt), old.payloadSize - textAt);
    const size_t start = std::max(from, textEnd);
    if (start < from + length) record.Copy(start, old, start, from + length - start);
}

// The object family: an old record with a table of 100 items becomes the current one with room
// for 1000; both share the head up to and including the item count.
struct sObjectFamily {
    int32_t oldId;
    int32_t newId;
    size_t countAt;  // the items follow the count
};
constexpr size_t kItemSize = 28;
constexpr uint32_t kOldItems = 100;
constexpr size_t kObjectName = 4;
constexpr size_t kObjectNameChars = 35;
constexpr size_t kObjectHead = 40;

void UpgradeObjectFamily(CHdrList& list, const sObjectFamily& family) {
    ConvertRecords(list, family.oldId, family.newId, false, [&](const sHdrEntry& old, CNewRecord& record) {
        record.Copy(0, old, 0, 4);
        record.Text(kObjectName, old, kObjectName, kObjectNameChars);
        // The old table has room for 100 items: a larger count would read past it.
        const uint32_t count = std::min(OldValue<uint32_t>(old, family.countAt), kOldItems);
        record.Copy(kObjectHead, old, kObjectHead, family.countAt - kObjectHead);
        record.Put(family.countAt, count);
        record.Copy(family.countAt + 4, old, family.countAt + 4, count * kItemSize);
    });
}

// Datum references made from a packed code and up to two values.
constexpr size_t kDatumRefSize = sizeof(sDatumRef);

void PutDatumRef(CNewRecord& record, size_t at, int32_t id, int32_t code, double value1, double value2) {
    sDatumRef ref{};
    InitDatumRef(&ref, id, code, value1, value2);
    std::memcpy(record.Data() + at, &ref, kDatumRefSize);
}

// The datum id of an old GNSS position record: its GNSS system number - 4, 0 when negative.
int32_t GnssDatumId(const sHdrEntry& old) {
    const auto number = OldValue<int32_t>(old, 0);
    return number > 4 ? number - 4 : 0;
}

// The GNSS position records take the a-priori standard deviations of these observation types.
constexpr std::array<int32_t, 3> kGnssSigmaTypes = {30, 31, 32};

void PutDefaultSigmas(CNewRecord& record, size_t at, std::span<const int32_t> types, int32_t unitType) {
    for (size_t k = 0; k < types.size(); ++k)
        record.Put(at + 4 * k, GetObsTypeDefaultSigmaInUnits(types[k], unitType, 0.0));
}

// Record 157 into 238 and 177 into 254: a raw data or eventing system, selected by the event link.
void UpgradeSystemWord(CHdrList& list, int32_t oldId, int32_t newId) {
    const std::vector<sHdrEntry*> olds = EntriesOf(list, oldId);
    if (olds.empty()) return;
    // Only the records that were there before: two old records of one word give two new ones.
    const std::vector<sHdrEntry*> existing = EntriesOf(list, newId);
    for (sHdrEntry* entry : existing) {
        if (entry->Word(0) == 0 && entry->eventLink == -1) entry->Store<int32_t>(0, 1);
    }
    const uint32_t size = GetRecordSize(newId);
    for (const sHdrEntry* old : olds) {
        const int32_t word = OldValue<int32_t>(*old, 0);
        if (std::any_of(existing.begin(), existing.end(), [&](const sHdrEntry* e) { return e->Word(4) == word; }))
            continue;
        CNewRecord record(size);
        record.Put<int32_t>(0, old->eventLink == -1 ? 1 : 0);
        record.Put(4, word);
        list.AddRecord(newId, size, record.Data(), old->eventLink);
    }
    list.DeleteRecordsByKey(oldId, 0);
}

}  // namespace

// ---- Entry operations.

bool CHdrList::RemoveEntryAt(int index) {
    if (index < 0 || index >= GetCount()) return false;
    m_entries.erase(m_entries.begin() + index);
    return true;
}

sHdrEntry* CHdrList::AppendEntry(std::unique_ptr<sHdrEntry> entry) {
    return entry != nullptr ? Append(std::move(entry)) : nullptr;
}

void CHdrList::CopyPayload(sHdrEntry& entry, size_t offset, const void* source, size_t length) {
    if (source == nullptr || entry.Payload() == nullptr || offset >= entry.payloadSize) return;
    std::memcpy(entry.Payload() + offset, source, std::min<size_t>(length, entry.payloadSize - offset));
    RefreshCache(entry);
}

// ---- Conversions.

void CHdrList::UpgradeLineNameRecords() {
    ConvertRecords(*this, 1, 176, false, [](const sHdrEntry& old, CNewRecord& record) {
        record.Text(0, old, 0, 16);
        record.Copy(84, old, 20, 4);
        record.Text(88, old, 24, 31);
    });
}

void CHdrList::UpgradeObjectRecords() {
    UpgradeObjectFamily(*this, {25, 166, 76});
}

void CHdrList::UpgradeStreamerRecords() {
    UpgradeObjectFamily(*this, {26, 167, 68});
}

void CHdrList::UpgradeGunArrayRecords() {
    UpgradeObjectFamily(*this, {27, 168, 64});
}

void CHdrList::UpgradeTowedBuoyRecords() {
    UpgradeObjectFamily(*this, {28, 169, 60});
}

void CHdrList::UpgradeDatumShiftRecords() {
    ConvertRecords(*this, 14, 206, false, [](const sHdrEntry& old, CNewRecord& record) {
        record.Copy(0, old, 0, 8);
        const auto packed = OldValue<uint32_t>(old, 8);
        record.Put<uint32_t>(8, packed & 1u);
        record.Put<uint32_t>(16, (packed >> 1) & 0x7Fu);
        record.Put<uint32_t>(20, (packed >> 8) & 0xFFu);
        record.Copy(32, old, 16, 56);
    });
}

void CHdrList::UpgradeChartDatumRecords() {
    // Where each old chart datum record keeps its keys and the codes and values of its two
    // references; -1 for a key that the old record lacks.
    struct sRefSource {
        size_t code, value1, value2;  // value2 0: none
    };
    struct sChartDatumLayout {
        int32_t oldId;
        int key1, key2, key3;  // offsets, -1: none
        sRefSource first, second;
        bool copiesRefs;       // the references are stored whole at 8 and 584
    };
    static constexpr sChartDatumLayout kLayouts[] = {
        {160, -1, -1, -1, {0, 8, 0}, {0, 8, 0}, false},
        {179, 0, 4, 28, {8, 16, 0}, {24, 16, 0}, false},
        {184, 0, 4, 40, {8, 16, 0}, {24, 32, 0}, false},
        {198, 0, 4, 48, {8, 16, 0}, {28, 32, 40}, false},
        {203, 0, 4, 1160, {}, {}, true},
    };
    for (const sChartDatumLayout& layout : kLayouts) {
        ConvertRecords(*this, layout.oldId, 228, false, [&](const sHdrEntry& old, CNewRecord& record) {
            auto key = [&](int offset, int32_t none) {
                return offset < 0 ? none : OldValue<int32_t>(old, static_cast<size_t>(offset));
            };
            record.Put<int32_t>(4, key(layout.key1, 0));
            record.Put<int32_t>(8, key(layout.key2, -999));
            record.Put<int32_t>(1168, key(layout.key3, 0));
            if (layout.copiesRefs) {
                record.Copy(ChartDatum::kFirstRef, old, 8, kDatumRefSize);
                record.Copy(ChartDatum::kSecondRef, old, 584, kDatumRefSize);
                return;
            }
            auto ref = [&](size_t at, const sRefSource& s) {
                PutDatumRef(record, at, 0, OldValue<int32_t>(old, s.code), OldValue<double>(old, s.value1),
                            s.value2 != 0 ? OldValue<double>(old, s.value2) : 0.0);
            };
            ref(ChartDatum::kFirstRef, layout.first);
            ref(ChartDatum::kSecondRef, layout.second);
        });
    }
}

void CHdrList::UpgradeFixRecord() {
    const sHdrEntry* fix = GetEntry(125, 1);
    if (fix == nullptr || fix->Payload() == nullptr || fix->eventLink != -1) return;
    const int32_t zero = 0;
    AddRecord(215, sizeof zero, &zero, -1);
    DeleteRecordsByKey(125, 0);
}

void CHdrList::UpgradeReferencePointRecords() {
    ConvertRecords(*this, 29, 197, false, [](const sHdrEntry& old, CNewRecord& record) {
        record.Copy(0, old, 0, 4);
        record.Copy(12, old, 4, 4);
        record.Text(32, old, 8, 69);
    });
    ConvertRecords(*this, 182, 197, false, [](const sHdrEntry& old, CNewRecord& record) {
        record.Copy(0, old, 0, 8);
        record.Copy(12, old, 12, 4);
        record.Text(32, old, 16, 69);
    });
}

void CHdrList::UpgradeSquatModelRecords() {
    ConvertRecords(*this, 162, 213, false, [](const sHdrEntry& old, CNewRecord& record) {
        record.Copy(0, old, 0, 32);
        static constexpr int32_t kModels[] = {1, 101, 2, 102, 3};
        const auto model = OldValue<int32_t>(old, 28);
        record.Put<int32_t>(28, model >= 0 && model < 5 ? kModels[model] : 0);
    });
    ConvertRecords(*this, 163, 214, false, [](const sHdrEntry& old, CNewRecord& record) {
        record.Copy(0, old, 0, 4);
        record.Copy(8, old, 8, 16);
        record.Put<int32_t>(40, 1);
    });
}

void CHdrList::UpgradeSoundVelocityRecords() {
    ConvertRecords(*this, 35, 193, false, [](const sHdrEntry& old, CNewRecord& record) {
        // The words between the stated fields keep their places.
        static constexpr sMove kMoves[] = {{0, 0, 4}, {12, 12, 64}};
        Apply(record, old, kMoves);
        const auto profile = OldValue<int32_t>(old, 76);
        record.Put<int32_t>(80, profile >= 1 ? profile : -1);
        record.Fill(84, 0xFF, 8);
        record.Text(100, old, 4, 28);
    });
    ConvertRecords(*this, 36, 194, false, [](const sHdrEntry& old, CNewRecord& record) {
        record.Copy(0, old, 0, 20);
    });
}

void CHdrList::UpgradeFixedNodeRecords() {
    const std::vector<sHdrEntry*> companions = EntriesOf(*this, 142);
    auto head = [](const sHdrEntry& old, CNewRecord& record) {
        record.Copy(0, old, 0, 4);
        record.Text(4, old, 4, 16);
        record.Copy(24, old, 24, 4);
    };
    ConvertRecords(*this, 63, 204, false, [&](const sHdrEntry& old, CNewRecord& record) {
        head(old, record);
        record.Copy(640, old, 64, 8);
        record.Copy(680, old, 84, 8);
        const auto node = OldValue<int32_t>(old, 0);
        for (const sHdrEntry* c : companions) {
            if (c->Word(0) == node) {
                record.Put<double>(672, OldValue<float>(*c, 4));
                break;
            }
        }
        PutDatumRef(record, 32, 0, 0, 0.0, 0.0);
    });
    ConvertRecords(*this, 180, 204, false, [&](const sHdrEntry& old, CNewRecord& record) {
        head(old, record);
        static constexpr sMove kMoves[] = {{640, 64, 8}, {648, 72, 8}, {656, 80, 8},
                                           {664, 96, 8}, {672, 104, 8}, {680, 120, 8}};
        Apply(record, old, kMoves);
        PutDatumRef(record, 32, OldValue<int32_t>(old, 28), OldValue<int32_t>(old, 88), OldValue<double>(old, 112),
                    0.0);
    });
}

void CHdrList::UpgradeVariableNodeRecords() {
    const std::vector<sHdrEntry*> summaries = EntriesOf(*this, 24);
    const bool angular =
        std::any_of(summaries.begin(), summaries.end(), [](const sHdrEntry* e) { return e->Word(16) == 0; });
    ConvertRecords(*this, 64, 201, false, [&](const sHdrEntry& old, CNewRecord& record) {
        record.Copy(0, old, 0, 8);
        record.Text(8, old, 8, 16);
        record.Copy(28, old, 28, 16);
        record.Put(44, GetObsTypeDefaultSigmaInUnits(37, UT_SURVEY_UNIT, 0.0));
        record.Put(48, angular ? GetObsTypeDefaultSigmaInUnits(8, UT_DEGREES, 0.0)
                               : GetObsTypeDefaultSigmaInUnits(38, UT_SURVEY_UNIT, 0.0));
        record.Put(52, GetObsTypeDefaultSigmaInUnits(39, UT_SURVEY_UNIT, 0.0));
    });
}

void CHdrList::UpgradeDgpsSourceRecords() {
    ConvertRecords(*this, 76, 200, false, [](const sHdrEntry& old, CNewRecord& record) {
        // The old fields keep their places up to the new standard deviation; the texts are bound
        // by their fields.
        static constexpr sMove kMoves[] = {{0, 0, 8}, {20, 20, 4}};
        static constexpr sTextMove kTexts[] = {{8, 8, 8}, {24, 24, 10}, {88, 84, 17}};
        Apply(record, old, kMoves);
        CopyAfterText(record, old, 24, 35, 49);
        Apply(record, old, kTexts);
        record.Put(84, GetObsTypeDefaultSigmaInUnits(33, UT_METERS, 0.0));
    });
}

void CHdrList::UpgradeUsblQcRecords() {
    ConvertRecords(*this, 128, 260, false, [](const sHdrEntry& old, CNewRecord& record) {
        MakeUsblQcRecord(old, record.Data());
    });
}

void CHdrList::MakeUsblQcRecord(const sHdrEntry& old, uint8_t* out) {
    CNewRecord record(72);
    record.Copy(4, old, 0, 12);
    record.Text(16, old, 12, 10);
    record.Text(27, old, 23, 10);
    std::memcpy(out, record.Data(), record.Size());
}

void CHdrList::UpgradeGnssPosition73Records() {
    ConvertRecords(*this, 73, 205, true, [](const sHdrEntry& old, CNewRecord& record) {
        record.Copy(0, old, 0, 16);
        record.Copy(592, old, 16, 12);
        PutDefaultSigmas(record, 604, kGnssSigmaTypes, UT_SURVEY_UNIT);
        record.Text(616, old, 28, 36);
        PutDatumRef(record, 16, GnssDatumId(old), 0, 0.0, 0.0);
    });
}

void CHdrList::UpgradeGnssPositionRecords() {
    struct sGnssLayout {
        int32_t oldId;
        size_t name;
        size_t words;   // the three words that go to 592
        bool sigmas;    // the old record has its own standard deviations at 44
        bool datumRef;  // id, code and value at 16, 20 and 24
    };
    static constexpr sGnssLayout kLayouts[] = {
        {164, 28, 16, false, false}, {181, 4, 32, false, true}, {199, 56, 32, true, true}};
    for (const sGnssLayout& layout : kLayouts) {
        ConvertRecords(*this, layout.oldId, 205, true, [&](const sHdrEntry& old, CNewRecord& record) {
            record.Copy(0, old, 0, 16);
            record.Copy(592, old, layout.words, 12);
            if (layout.sigmas) record.Copy(604, old, 44, 12);
            else PutDefaultSigmas(record, 604, kGnssSigmaTypes, UT_SURVEY_UNIT);
            record.Text(616, old, layout.name, 36);
            if (layout.datumRef)
                PutDatumRef(record, 16, OldValue<int32_t>(old, 16), OldValue<int32_t>(old, 20),
                            OldValue<double>(old, 24), 0.0);
            else
                PutDatumRef(record, 16, GnssDatumId(old), 0, 0.0, 0.0);
        });
    }
}

void CHdrList::MakeGnssPosition258From73(const sHdrEntry& old, uint8_t* out) {
    CNewRecord record(712);
    record.Put<int32_t>(0, -1);
    record.Copy(8, old, 0, 16);
    record.Copy(608, old, 16, 12);
    PutDefaultSigmas(record, 620, kGnssSigmaTypes, UT_METERS);
    record.Text(632, old, 28, 36);
    PutDatumRef(record, 32, GnssDatumId(old), 0, 0.0, 0.0);
    std::memcpy(out, record.Data(), record.Size());
}

void CHdrList::MakeGnssPosition258From205(const sHdrEntry& old, uint8_t* out) {
    CNewRecord record(712);
    record.Copy(8, old, 0, 16);
    record.Copy(608, old, 592, 12);
    for (size_t k = 0; k < 3; ++k)
        record.Put(620 + 4 * k, static_cast<float>(UnitsToMeters(OldValue<float>(old, 604 + 4 * k))));
    record.Text(632, old, 616, 36);
    record.Copy(32, old, 16, kDatumRefSize);
    std::memcpy(out, record.Data(), record.Size());
}

void CHdrList::UpgradeGnssPositionUnits() {
    ConvertRecords(*this, 73, 258, false, [](const sHdrEntry& old, CNewRecord& record) {
        MakeGnssPosition258From73(old, record.Data());
    });
    ConvertRecords(*this, 205, 258, false, [](const sHdrEntry& old, CNewRecord& record) {
        MakeGnssPosition258From205(old, record.Data());
    });
}

void CHdrList::UpgradePrhSensorRecords() {
    // The name moves to where the current record keeps it; the head keeps its place, its text
    // bound by its field. The companions 41 and 154 have no place in the current record.
    struct sPrhLayout {
        int32_t oldId;
        size_t name;
    };
    static constexpr sPrhLayout kLayouts[] = {{40, 68}, {196, 96}, {218, 152}};
    for (const sPrhLayout& layout : kLayouts) {
        ConvertRecords(*this, layout.oldId, 226, true, [&](const sHdrEntry& old, CNewRecord& record) {
            record.Copy(0, old, 0, 12);
            record.Text(12, old, 12, 21);
            CopyAfterText(record, old, 12, 34, 14);
            record.Put(48, 20.0f);
            record.Put<int32_t>(52, 0);
            record.Text(72, old, layout.name, 72);
        });
    }
    DeleteRecordsByKey(41, 0);
    DeleteRecordsByKey(154, 0);
}

void CHdrList::UpgradeMultibeamRecords() {
    const sOldLinks links = OldLinks(*this, {144, 191});
    ConvertRecords(*this, 144, 220, true, [](const sHdrEntry& old, CNewRecord& record) {
        record.Copy(4, old, 4, 88);
        record.Put(92, 180.0f);
    });
    ConvertRecords(*this, 191, 220, true, [](const sHdrEntry& old, CNewRecord& record) {
        record.Copy(4, old, 4, 176);
    });
    MarkUnlinked(*this, links, 220, 2);
}

void CHdrList::UpgradeMultitransducerRecords() {
    const sOldLinks links = OldLinks(*this, {170, 192});
    ConvertRecords(*this, 170, 221, true, [](const sHdrEntry& old, CNewRecord& record) {
        static constexpr sMove kMoves[] = {{4, 0, 12}, {48, 32, 8}, {56, 40, 8}};
        Apply(record, old, kMoves);
    });
    ConvertRecords(*this, 192, 221, true, [](const sHdrEntry& old, CNewRecord& record) {
        static constexpr sMove kMoves[] = {{4, 0, 4},   {48, 32, 8}, {60, 44, 4}, {68, 52, 4},
                                           {72, 56, 8}, {84, 68, 4}, {88, 72, 4}};
        Apply(record, old, kMoves);
    });
    MarkUnlinked(*this, links, 221, 2);
}

void CHdrList::UpgradeRecord157() {
    UpgradeSystemWord(*this, 157, 238);
}

void CHdrList::UpgradeEventingRecords() {
    UpgradeSystemWord(*this, 177, 254);
}

void CHdrList::UpgradeRecord257() {
    const std::vector<sHdrEntry*> olds = EntriesOf(*this, 257);
    // Only the records 265 that were there before the conversion.
    const std::vector<sHdrEntry*> existing = EntriesOf(*this, 265);
    for (const sHdrEntry* old : olds) {
        const auto key = OldValue<int32_t>(*old, 4);
        if (std::any_of(existing.begin(), existing.end(), [&](const sHdrEntry* e) { return e->Word(4) == key; }))
            continue;
        CNewRecord settings(GetRecordSize(265));
        settings.Put<int32_t>(0, 1);
        settings.Copy(4, *old, 4, 8);
        settings.Put<int32_t>(12, 1);
        AddRecord(265, settings.Size(), settings.Data(), old->eventLink);
        CNewRecord channel(GetRecordSize(266));
        channel.Copy(0, *old, 12, 4);
        channel.Put(4, key);
        AddRecord(266, channel.Size(), channel.Data(), -1);
    }
    DeleteRecordsByKey(257, 0);
}

void CHdrList::UpgradePpsTimetagRecords() {
    for (sHdrEntry* entry : EntriesOf(*this, 249)) {
        if (entry->Word(0) != 0) continue;
        entry->Store<int32_t>(0, 1);
        entry->Store<int32_t>(16, entry->Word(16) == 0 ? 1 : 0);
    }
}

void CHdrList::UpgradeObservationKinds() {
    for (const sHdrEntry* observation : EntriesOf(*this, 65)) {
        const auto kind = observation->Word(0);
        if (!kind) continue;
        const auto key = observation->Word(4);
        if (!key) continue;
        const auto qcs = EntriesOf(*this, 68);
        const auto qc = std::find_if(qcs.begin(), qcs.end(), [&](const sHdrEntry* e) { return e->Word(4) == key; });
        if (qc == qcs.end()) continue;
        sHdrEntry& q = **qc;
        q.Store<int32_t>(0, *kind);
        if (q.Word(24) == -1) q.Store<int32_t>(24, 25);
        if (q.Load<uint8_t>(62) == 0xFF) q.Store<uint8_t>(62, 0);
        if (*kind == 51 && q.Load<uint8_t>(62) == 0) q.Store<uint8_t>(62, 1);
    }
}

void CHdrList::NormalizeEllipsoids() {
    (void)GetConvToMeters();
    for (sHdrEntry* entry : EntriesOf(*this, 13)) {
        if (entry->payloadSize >= DatumRecord::kSize) NormalizeEllipsoidScale(entry->Payload());
    }
}

void CHdrList::UpgradeProjectionRecords() {
    const auto projections = EntriesOf(*this, 16);
    if (projections.empty()) return;
    const auto kind = projections.front()->Word(0);
    if (kind != 13 && kind != 12) return;
    sHdrEntry* lambert = GetEntry(19, 1);
    if (lambert == nullptr || lambert->Payload() == nullptr) return;
    const sHdrEntry old = [&] {
        sHdrEntry copy;
        copy.payloadSize = lambert->payloadSize;
        copy.payload = std::make_unique<uint8_t[]>(copy.payloadSize);
        std::memcpy(copy.payload.get(), lambert->Payload(), copy.payloadSize);
        return copy;
    }();
    DeleteRecord(19, 1);
    const double first = DmsToDegrees(old, 0);
    const double second = DmsToDegrees(old, 16);
    const int32_t newId = kind == 13 ? 20 : 21;
    CNewRecord record(GetRecordSize(newId));
    record.Copy(0, old, 32, 32);
    if (kind == 13) {
        record.Put(64, first);
        record.Put(72, second);
        record.Copy(80, old, 64, 16);
        record.Copy(96, old, 80, 8);
    } else {
        record.Put(32, first * 1000.0);
        record.Put(40, second);
        record.Copy(48, old, 64, 16);
        record.Copy(64, old, 80, 8);
    }
    AddRecord(newId, record.Size(), record.Data(), -1);
}

void CHdrList::UpgradeAllFilePaths() {
    static constexpr std::pair<int32_t, size_t> kReferences[] = {
        {228, ChartDatum::kFirstRef}, {228, ChartDatum::kSecondRef}, {204, 32}, {258, 32}, {205, 16}};
    for (const auto& [recordId, offset] : kReferences) {
        for (sHdrEntry* entry : EntriesOf(*this, recordId)) {
            if (entry->payloadSize < offset + kDatumRefSize) continue;
            // The reference lies unaligned in the payload, so it is worked on as a copy.
            sDatumRef ref;
            std::memcpy(&ref, entry->Payload() + offset, sizeof ref);
            UpgradeFilePaths(&ref, false);
            std::memcpy(entry->Payload() + offset, &ref, sizeof ref);
        }
    }
}

void CHdrList::ResetEventLinks() {
    for (auto& entry : m_entries) entry->eventLink = -1;
}

void CHdrList::MoveRecord129() {
    const auto qualities = EntriesOf(*this, 129);
    const auto found = std::find_if(qualities.begin(), qualities.end(), [](const sHdrEntry* e) { return e->Word(4) == 33; });
    if (found == qualities.end()) return;
    constexpr uint32_t kSize = 8;
    std::vector<std::array<uint8_t, kSize>> payloads;
    std::array<uint8_t, kSize> moved{};
    for (const sHdrEntry* e : qualities) {
        std::array<uint8_t, kSize> bytes{};
        std::memcpy(bytes.data(), e->Payload(), std::min<size_t>(kSize, e->payloadSize));
        if (e == *found) moved = bytes;
        else payloads.push_back(bytes);
    }
    const int32_t one = 1;
    std::memcpy(moved.data() + 4, &one, sizeof one);
    payloads.push_back(moved);
    CPtrList source;
    for (auto& bytes : payloads) source.AddTail(bytes.data());
    SetRecords(&source, 129, kSize);
}

// ---- The upgrade stage after a block read, in its fixed order.

int CHdrList::UpgradeAfterRead(bool hasEvents, int upgradeMode) {
    // Some conversions only suit files whose event offsets they would otherwise break.
    const bool oldFile = !hasEvents || upgradeMode == 2;
    ApplySurveyUnit();
    UpgradeLineNameRecords();
    UpgradeObjectRecords();
    if (oldFile) SplitObjectShapes();
    UpgradeStreamerRecords();
    UpgradeGunArrayRecords();
    UpgradeTowedBuoyRecords();
    UpgradeDatumShiftRecords();
    UpgradeChartDatumRecords();
    UpgradeFixRecord();
    UpgradeReferencePointRecords();
    UpgradeSquatModelRecords();
    UpgradeSoundVelocityRecords();
    UpgradeFixedNodeRecords();
    UpgradeVariableNodeRecords();
    UpgradeDgpsSourceRecords();
    UpgradeUsblRecords();
    if (oldFile) UpgradeUsblQcRecords();
    UpgradeGnssPosition73Records();
    UpgradeGnssPositionRecords();
    if (oldFile) UpgradeGnssPositionUnits();
    UpgradeSinglebeamRecords();
    UpgradePrhSensorRecords();
    UpgradeMultibeamRecords();
    UpgradeMultitransducerRecords();
    UpgradeRecord157();
    UpgradeEventingRecords();
    UpgradeRecord257();
    UpgradePpsTimetagRecords();
    UpgradeDredgingSystems();
    UpgradeObservationLinks();
    UpgradeObservationKinds();
    NormalizeEllipsoids();
    EnsureDatumTransformRecords();
    CompleteDatumShiftRecords();
    UpgradeProjectionRecords();
    UpgradeAllFilePaths();
    MoveRecord129();
    return 1;
}
