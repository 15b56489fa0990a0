// Object definitions made from the header list's object records.
#include "definitions/header/hdr_list.h"

#include <algorithm>
#include <cstring>

#include "definitions/header/hdr_record_layouts.h"
#include "definitions/header/hdr_search.h"
#include "definitions/lists/obj_def_list.h"
#include "definitions/records/packed_ids.h"

namespace R = HdrRecord;
using namespace Vok::HdrSearch;

namespace {

// The records that become object definitions, in this order, with the offset of their id.
struct sObjectSource {
    int32_t recordId;
    size_t idOffset;
};
constexpr sObjectSource kObjectSources[] = {
    {R::Object::kId, R::Object::kObjectId},   {R::Object::kIdM, R::Object::kObjectId},
    {R::Streamer::kId, R::Object::kObjectId}, {R::GunArray::kId, R::Object::kObjectId},
    {R::TowedBuoy::kId, R::Object::kObjectId}, {R::PipeBundle::kId, R::PipeBundle::kObjectId},
};

constexpr size_t kNameCharacters = sizeof(sObjDef::name) - 1;

}  // namespace

void CHdrList::BuildObjectDefinitions(CObjDefList* list) const {
    if (list == nullptr) return;
    list->RemoveAll();
    for (const sObjectSource& source : kObjectSources) {
        ForEach(*this, source.recordId, [&](const sHdrEntry& record) {
            const auto id = record.Word(source.idOffset);
            if (!id.has_value()) return;
            auto def = std::make_unique<sObjDef>();
            std::memset(def.get(), 0, sizeof(sObjDef));
            def->objectId = *id;
            const size_t end = std::min<size_t>(record.payloadSize, R::Object::kName + R::Object::kNameField);
            const CString name = Vok::Definitions::TextAt(record.Payload(), end, R::Object::kName);
            std::memcpy(def->name, name.GetString(), std::min<size_t>(static_cast<size_t>(name.GetLength()), kNameCharacters));
            CompleteObjectDefinition(def.get());
            list->Add(*def);
        });
    }
}

void CHdrList::CompleteObjectDefinition(sObjDef* def) const {
    if (def == nullptr) return;
    def->Init();
    if (const sHdrEntry* chart = GetEntry(R::ChartDatum::kId, 1)) {
        const auto local = chart->Word(R::ChartDatum::kPackedLocal);
        const auto owner = chart->Word(R::ChartDatum::kPackedOwner);
        if (local.has_value() && owner.has_value()) def->settings216[2] = MakePackedId(*local, *owner);
    }
    const sHdrEntry* point = FindFirst(*this, R::ReferencePoint::kId, [&](const sHdrEntry& e) {
        return WordIs(e, R::ReferencePoint::kNumber, def->objectId);
    });
    const auto value = point != nullptr ? point->Load<float>(R::ReferencePoint::kValue) : std::nullopt;
    if (value.has_value()) {
        def->refPointFlag = 0;
        def->refPointValue = *value;
        def->value240 = 0.0;
        def->objType = WordOr(*point, R::ReferencePoint::kObjectClass, def->objType);
    }
}
