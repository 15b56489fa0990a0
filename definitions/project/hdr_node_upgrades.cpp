// The conversions of old header records that resolve the Variable Nodes (201) and Reference
// Points (197) that the records name.
#include "definitions/header/hdr_list.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <optional>

#include "compat/cstring.h"
#include "definitions/project/hdr_upgrade_support.h"
#include "platform/log.h"

using Vok::HdrUpgrade::CNewRecord;
using Vok::HdrUpgrade::ConvertRecords;
using Vok::HdrUpgrade::EntriesOf;
using Vok::HdrUpgrade::EntryOfPayload;
using Vok::HdrUpgrade::MarkUnlinked;
using Vok::HdrUpgrade::OldLinks;
using Vok::HdrUpgrade::OldValue;
using Vok::HdrUpgrade::sOldLinks;

namespace {

constexpr size_t kNodeNumber = 4;
constexpr size_t kNodeName = 8;

// The node number of the Variable Node of an object at the given offsets; 0 when there is none.
int32_t NodeNumberAt(const CHdrList& list, int32_t object, float x, float y, float z) {
    const sHdrEntry* node = EntryOfPayload(list, list.GetVariableNodeAt(object, x, y, z));
    return node != nullptr ? node->Word(kNodeNumber).value_or(0) : 0;
}

// Where an old Singlebeam record keeps what the current record 219 takes; -1: not held.
struct sSinglebeamLayout {
    int32_t oldId;
    int node;        // the node number itself; -1: found from the offsets at 8, 12 and 16
    size_t words16;  // two words to 16 and 20
    size_t words24;  // two words to 24 and 28
    size_t name;     // 31 characters to 32
    int text;        // 10 characters to 64
    int words76;     // four words to 76..88
    size_t word92;
    int words96;     // two words, to 96 and 100
    int word104;
};

constexpr sSinglebeamLayout kSinglebeamLayouts[] = {
    {34, -1, 20, 28, 40, -1, -1, 36, -1, -1},
    {183, -1, 20, 28, 40, 72, 88, 36, -1, -1},
    {190, 8, 12, 20, 28, 60, 72, 88, 92, 100},
};

}  // namespace

void CHdrList::SplitObjectShapes() {
    struct sObject {
        std::array<uint8_t, 76> head{};
        std::vector<sShapeItem> items;
    };
    constexpr size_t kCount = 76;
    constexpr size_t kItems = 80;
    constexpr uint32_t kMaxItems = 1000;
    std::vector<sObject> objects;
    for (const sHdrEntry* entry : EntriesOf(*this, 166)) {
        sObject object;
        std::memcpy(object.head.data(), entry->Payload(), std::min<size_t>(object.head.size(), entry->payloadSize));
        const uint32_t room = entry->payloadSize > kItems ? (entry->payloadSize - kItems) / sShapeItem::kSize : 0;
        const uint32_t count = std::min({OldValue<uint32_t>(*entry, kCount), kMaxItems, room});
        object.items.resize(count);
        for (uint32_t k = 0; k < count; ++k)
            std::memcpy(object.items[k].bytes, entry->Payload() + kItems + k * sShapeItem::kSize, sShapeItem::kSize);
        objects.push_back(std::move(object));
    }
    DeleteRecordsByKey(166, 0);
    for (const sObject& object : objects) {
        CNewRecord record(GetRecordSize(267));
        std::memcpy(record.Data(), object.head.data(), 4);
        record.Text(4, reinterpret_cast<const char*>(object.head.data() + 4), 35);
        std::memcpy(record.Data() + 40, object.head.data() + 40, 36);
        AddRecord(267, record.Size(), record.Data(), -1);
        // The shape is filed under the object id, the key by which the object is found again.
        const int32_t objectId = record.Get<int32_t>(40);
        const int32_t first = record.Get<int32_t>(0);
        if (first != objectId)
            ZLog::LogTo(1, ZLog::Warning, "Object record %d holds object id %d; its shape is kept under object %d",
                        first, objectId, objectId);
        SetVesselShape(objectId, object.items);
    }
}

void CHdrList::UpgradeUsblRecords() {
    ConvertRecords(*this, 37, 202, true, [&](const sHdrEntry& old, CNewRecord& record) {
        record.Copy(0, old, 0, 36);
        const int32_t node = OldValue<int32_t>(old, 36) == 1
                                 ? NodeNumberAt(*this, OldValue<int32_t>(old, 0), 0.0f, 0.0f, 0.0f) : 0;
        record.Put(48, node);
    });
    ConvertRecords(*this, 38, 195, false, [](const sHdrEntry& old, CNewRecord& record) {
        record.Copy(0, old, 0, 56);
    });
}

void CHdrList::UpgradeSinglebeamRecords() {
    const sOldLinks links = OldLinks(*this, {34, 183, 190});
    for (const sSinglebeamLayout& layout : kSinglebeamLayouts) {
        ConvertRecords(*this, layout.oldId, 219, true, [&](const sHdrEntry& old, CNewRecord& record) {
            record.Copy(4, old, 0, 8);
            if (layout.node >= 0) {
                record.Copy(12, old, static_cast<size_t>(layout.node), 4);
            } else {
                record.Put(12, NodeNumberAt(*this, OldValue<int32_t>(old, 0), OldValue<float>(old, 8),
                                            OldValue<float>(old, 12), OldValue<float>(old, 16)));
            }
            record.Copy(16, old, layout.words16, 8);
            record.Copy(24, old, layout.words24, 8);
            record.Text(32, old, layout.name, 31);
            if (layout.text >= 0) record.Text(64, old, static_cast<size_t>(layout.text), 10);
            if (layout.words76 >= 0) record.Copy(76, old, static_cast<size_t>(layout.words76), 16);
            record.Copy(92, old, layout.word92, 4);
            if (layout.oldId == 183) {
                record.Copy(96, old, 84, 4);
                record.Copy(100, old, 104, 4);
            } else if (layout.words96 >= 0) {
                record.Copy(96, old, static_cast<size_t>(layout.words96), 8);
            }
            if (layout.word104 >= 0) record.Copy(104, old, static_cast<size_t>(layout.word104), 4);
        });
    }
    MarkUnlinked(*this, links, 219, 1);
}

void CHdrList::UpgradeDredgingSystems() {
    constexpr int32_t kReferencePoint = 197;
    constexpr size_t kSystemName = 28;
    constexpr size_t kSystemNameChars = 31;
    // The Reference Points at the Variable Node with that number; the first of them leads.
    auto pointsOfNode = [&](int32_t nodeNumber) {
        std::vector<sHdrEntry*> points;
        const sHdrEntry* node = EntryOfPayload(*this, GetVariableNode(nodeNumber));
        const auto word = node != nullptr ? node->Word(0) : std::nullopt;
        if (!word) return points;
        for (sHdrEntry* point : EntriesOf(*this, kReferencePoint)) {
            if (point->Word(0) == *word) points.push_back(point);
        }
        return points;
    };
    for (sHdrEntry* dredging : EntriesOf(*this, 207)) {
        if (dredging->Word(4) != 0) continue;
        dredging->Store<int32_t>(4, 1);
        const int32_t key = dredging->Word(0).value_or(0);
        const auto first = pointsOfNode(dredging->Word(8).value_or(-1));
        const auto second = pointsOfNode(dredging->Word(12).value_or(-1));
        for (const auto* points : {&first, &second}) {
            for (sHdrEntry* point : *points) point->Store<int32_t>(4, 12);
        }
        CString name;
        name.Format("Upgraded System %d", key);
        // The records that refer to the dredging record, found before any of them changes.
        std::vector<sHdrEntry*> members;
        for (int32_t id : {208, 210}) {
            for (sHdrEntry* member : EntriesOf(*this, id)) {
                if (member->Word(4) == key) members.push_back(member);
            }
        }
        std::vector<std::unique_ptr<sHdrEntry>> copies;
        for (sHdrEntry* member : members) {
            if (!first.empty()) member->Store<int32_t>(4, first.front()->Word(0).value_or(0));
            if (member->recordId == 208) {
                CNewRecord text(kSystemNameChars + 1);
                text.Text(0, name.GetString(), kSystemNameChars);
                CopyPayload(*member, kSystemName, text.Data(), text.Size());
            }
            if (second.empty()) continue;
            auto copy = std::make_unique<sHdrEntry>();
            copy->recordId = member->recordId;
            copy->payloadSize = GetRecordSize(member->recordId);
            copy->payload = std::make_unique<uint8_t[]>(copy->payloadSize);
            std::memcpy(copy->Payload(), member->Payload(), std::min(copy->payloadSize, member->payloadSize));
            copy->Store<int32_t>(4, second.front()->Word(0).value_or(0));
            if (copy->recordId == 208) {
                CNewRecord text(kSystemNameChars + 1);
                text.Text(0, (name + "(2)").GetString(), kSystemNameChars);
                CopyPayload(*copy, kSystemName, text.Data(), text.Size());
            }
            copies.push_back(std::move(copy));
        }
        for (auto& copy : copies) AppendEntry(std::move(copy));
    }
}

void CHdrList::UpgradeObservationLinks() {
    constexpr int32_t kManualLayback = 60;
    constexpr int32_t kGnssHeight = 97;
    const auto observations = EntriesOf(*this, 65);
    auto isLayback = [&](const sHdrEntry* e) { return e->Word(0) == kManualLayback; };
    if (std::any_of(observations.begin(), observations.end(),
                    [&](const sHdrEntry* e) { return isLayback(e) && e->eventLink != -1; }))
        return;
    for (sHdrEntry* observation : observations) {
        if (!isLayback(observation)) continue;
        if (const sHdrEntry* node = EntryOfPayload(*this, GetVariableNode(observation->Word(32).value_or(-1)))) {
            CNewRecord height(GetRecordSize(78));
            height.Put<int32_t>(4, node->Word(0).value_or(0));
            height.Put<int32_t>(8, node->Word(4).value_or(0));
            height.Put<int32_t>(12, observation->Word(44).value_or(0));
            height.Text(24, *node, kNodeName, 16);
            AddRecord(78, height.Size(), height.Data(), -1);
        }
        observation->Store<int32_t>(0, kGnssHeight);
        const auto key = observation->Word(4);
        for (sHdrEntry* qc : EntriesOf(*this, 68)) {
            if (key && qc->Word(4) == key) {
                qc->Store<int32_t>(0, kGnssHeight);
                break;
            }
        }
    }
}
