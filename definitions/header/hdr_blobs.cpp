// Byte strings of any length kept inside the header list as a blob header (269) and its chunks
// (270), and the two kinds of blob in use: vessel shapes and WKT texts. A blob's bytes are its MIME
// text, then the u32 length and the bytes of its content, as the archive writes them.
#include "definitions/header/hdr_list.h"

#include <algorithm>
#include <cstring>
#include <limits>

#include "definitions/header/hdr_record_layouts.h"
#include "definitions/header/hdr_search.h"

namespace R = HdrRecord;
using namespace Vok::HdrSearch;
using Vok::Definitions::LoadAt;
using Vok::Definitions::StoreAt;

namespace {

sHdrEntry* FindBlobHeader(const CHdrList& list, int32_t id) {
    return FindFirst(list, R::BlobHeader::kId, [&](const sHdrEntry& e) { return WordIs(e, R::BlobHeader::kBlobId, id); });
}

// Collects the data bytes of a blob's chunks; false when a chunk is missing or malformed or the
// chunks do not add up to the header's length.
bool CollectChunks(const CHdrList& list, const sHdrEntry& header, Vok::ByteVector& bytes) {
    const auto count = header.Word(R::BlobHeader::kChunkCount);
    const auto length = header.Word(R::BlobHeader::kLength);
    if (!count || !length || *count < 0 || *length < 0) return false;
    const int32_t id = WordOr(header, R::BlobHeader::kBlobId, 0);
    for (int32_t k = 0; k < *count; ++k) {
        const sHdrEntry* chunk = FindFirst(list, R::BlobChunk::kId, [&](const sHdrEntry& e) {
            return WordIs(e, R::BlobChunk::kBlobId, id) && WordIs(e, R::BlobChunk::kIndex, k);
        });
        if (chunk == nullptr) return false;
        const int32_t size = WordOr(*chunk, R::BlobChunk::kLength, 0);
        if (size < 1 || size > static_cast<int32_t>(R::BlobChunk::kCapacity) ||
            chunk->payloadSize < R::BlobChunk::kData + static_cast<uint32_t>(size) ||
            bytes.size() + static_cast<size_t>(size) > static_cast<size_t>(*length))
            return false;
        bytes.Append(chunk->Payload() + R::BlobChunk::kData, static_cast<uint32_t>(size));
    }
    return bytes.size() == static_cast<size_t>(*length);
}

// The WKT blob id of a record, when the record holds the whole word.
std::optional<int32_t> RecordWktId(const uint8_t* payload, uint32_t size) {
    return LoadAt<int32_t>(payload, size, R::kRecordWktBlobId);
}

}  // namespace

int32_t CHdrList::NextBlobId() const {
    // A chunk left without its header still claims its id: a new blob under it would read the
    // stray chunk in place of its own.
    auto used = [&](int32_t id) {
        return FindBlobHeader(*this, id) != nullptr ||
               FindFirst(*this, R::BlobChunk::kId, [&](const sHdrEntry& e) { return WordIs(e, R::BlobChunk::kBlobId, id); });
    };
    int32_t id = 1;
    while (used(id)) ++id;
    return id;
}

void CHdrList::WriteBlob(int32_t id, const std::string& mime, const Vok::ByteVector& content) {
    Vok::ByteVector bytes;
    Vok::ByteVectorArchive archive(bytes);
    archive.WriteString(mime);
    archive.WriteUInt32(static_cast<uint32_t>(content.size()));
    archive.WriteBytes(content.ConstData(), static_cast<uint32_t>(content.size()));

    const auto length = static_cast<uint32_t>(bytes.size());
    const uint32_t capacity = R::BlobChunk::kCapacity;
    const uint32_t chunks = length / capacity + (length % capacity != 0 ? 1 : 0);
    uint8_t header[R::BlobHeader::kSize] = {};
    StoreAt(header, R::BlobHeader::kBlobId, id);
    StoreAt(header, R::BlobHeader::kChunkCount, static_cast<int32_t>(chunks));
    StoreAt(header, R::BlobHeader::kLength, static_cast<int32_t>(length));
    AddRecord(R::BlobHeader::kId, R::BlobHeader::kSize, header, -1);
    for (uint32_t k = 0; k < chunks; ++k) {
        // A new payload is zeroed, so the unused tail of the last chunk is written as zeros.
        uint8_t* chunk = AddRecord(R::BlobChunk::kId, R::BlobChunk::kSize, nullptr, -1);
        const uint32_t size = std::min(capacity, length - capacity * k);
        StoreAt(chunk, R::BlobChunk::kBlobId, id);
        StoreAt(chunk, R::BlobChunk::kIndex, static_cast<int32_t>(k));
        StoreAt(chunk, R::BlobChunk::kLength, static_cast<int32_t>(size));
        std::memcpy(chunk + R::BlobChunk::kData, bytes.data() + capacity * k, size);
    }
}

int32_t CHdrList::AddBlob(const std::string& mime, const Vok::ByteVector& content) {
    const int32_t id = NextBlobId();
    WriteBlob(id, mime, content);
    return id;
}

void CHdrList::GetBlob(int32_t id, std::string& mime, Vok::ByteVector& content) const {
    mime.clear();
    content.clear();
    if (!HasRecord(R::BlobHeader::kId) || !HasRecord(R::BlobChunk::kId)) return;
    const sHdrEntry* header = FindBlobHeader(*this, id);
    if (header == nullptr) return;
    Vok::ByteVector bytes;
    if (!CollectChunks(*this, *header, bytes)) return;
    try {
        Vok::ByteVectorArchive archive(bytes);
        archive.ReadString(mime);
        uint32_t n = 0;
        archive.ReadUInt32Impl(n);
        if (n > archive.Remaining()) throw Vok::IArchiveException(7, "Tried to serialize outside block");
        content.resize(n);
        archive.ReadBytes(content.data(), static_cast<int32_t>(n));
    } catch (const Vok::IArchiveException&) {
        // A blob whose image is cut short is no blob.
        mime.clear();
        content.clear();
    }
}

void CHdrList::RemoveBlob(int32_t id) {
    DeleteRecordsByKey(R::BlobHeader::kId, id);
    DeleteRecordsByKey(R::BlobChunk::kId, id);
}

bool CHdrList::ReadWktBlob(int32_t id, std::string& text) const {
    text.clear();
    if (id < 1) return false;
    std::string mime;
    Vok::ByteVector content;
    GetBlob(id, mime, content);
    if (mime != kWktMime || content.empty()) return false;
    return BytesToText(content, text) && !text.empty();
}

bool CHdrList::WriteWktBlob(int32_t& idField, const std::string& text, int32_t forcedId) {
    if (text.empty()) return false;
    Vok::ByteVector content;
    TextToBytes(text, content);
    if (idField > 0) RemoveBlob(idField);
    if (forcedId != -1) {
        idField = forcedId;
        // The forced id now names this text alone.
        if (idField > 0) RemoveBlob(idField);
    }
    if (idField < 1) idField = NextBlobId();
    WriteBlob(idField, kWktMime, content);
    return idField > 0;
}

bool CHdrList::GetVesselShape(int32_t objectId, std::vector<sShapeItem>& items) const {
    items.clear();
    if (const sHdrEntry* object = FindFirst(*this, R::Object::kId, [&](const sHdrEntry& e) {
            return objectId < 0 || WordIs(e, R::Object::kObjectId, objectId);
        })) {
        const auto stored = object->Load<uint32_t>(R::Object::kShapeCount).value_or(0);
        const uint32_t room = object->payloadSize > R::Object::kShapeItems
                                  ? (object->payloadSize - R::Object::kShapeItems) / sShapeItem::kSize : 0;
        items.resize(std::min({stored, R::Object::kMaxShapeItems, room}));
        for (size_t k = 0; k < items.size(); ++k)
            std::memcpy(items[k].bytes, object->Payload() + R::Object::kShapeItems + k * sShapeItem::kSize, sShapeItem::kSize);
        return true;
    }
    const uint8_t* shape = GetShape(objectId, R::Shape::kKindVessel);
    if (shape == nullptr) return false;
    const sHdrEntry* entry = FindFirst(*this, R::Shape::kId, [&](const sHdrEntry& e) { return e.Payload() == shape; });
    const auto blobId = entry->Word(R::Shape::kBlobId);
    if (!blobId.has_value()) return false;
    std::string mime;
    Vok::ByteVector content;
    GetBlob(*blobId, mime, content);
    if (mime != kVesselShapeMime || content.empty()) return false;
    return BytesToShapeItems(content, items);
}

void CHdrList::SetVesselShape(int32_t objectId, const std::vector<sShapeItem>& items) {
    if (sHdrEntry* object = FindFirst(*this, R::Object::kId, [&](const sHdrEntry& e) {
            return objectId < 0 || WordIs(e, R::Object::kObjectId, objectId);
        })) {
        const uint32_t room = object->payloadSize > R::Object::kShapeItems
                                  ? (object->payloadSize - R::Object::kShapeItems) / sShapeItem::kSize : 0;
        const auto count = static_cast<uint32_t>(std::min<size_t>({items.size(), R::Object::kMaxShapeItems, room}));
        if (!object->Store(R::Object::kShapeCount, count)) return;
        for (uint32_t k = 0; k < count; ++k)
            std::memcpy(object->Payload() + R::Object::kShapeItems + k * sShapeItem::kSize, items[k].bytes, sShapeItem::kSize);
        return;
    }
    const sHdrEntry* objectM = FindFirst(*this, R::Object::kIdM, [&](const sHdrEntry& e) {
        return objectId < 0 || WordIs(e, R::Object::kObjectId, objectId);
    });
    if (objectM == nullptr) return;
    // A negative id stands for the first object; the shape is filed under that object's id.
    const int32_t id = WordOr(*objectM, R::Object::kObjectId, objectId);
    Vok::ByteVector content;
    ShapeItemsToBytes(items, content);
    sHdrEntry* shape = FindFirst(*this, R::Shape::kId, [&](const sHdrEntry& e) {
        return WordIs(e, R::Shape::kObjectId, id) && WordIs(e, R::Shape::kKind, R::Shape::kKindVessel);
    });
    if (shape != nullptr) {
        if (const auto blobId = shape->Word(R::Shape::kBlobId)) {
            RemoveBlob(*blobId);
            WriteBlob(*blobId, kVesselShapeMime, content);
            return;
        }
    }
    const int32_t blobId = NextBlobId();
    WriteBlob(blobId, kVesselShapeMime, content);
    uint8_t record[R::Shape::kSize] = {};
    StoreAt(record, R::Shape::kObjectId, id);
    StoreAt(record, R::Shape::kKind, R::Shape::kKindVessel);
    StoreAt(record, R::Shape::kBlobId, blobId);
    StoreAt(record, R::Shape::kWord288, int32_t{63});
    for (size_t k = 0; k < 3; ++k) StoreAt(record, R::Shape::kScales + 8 * k, 1.0);
    AddRecord(R::Shape::kId, R::Shape::kSize, record, -1);
}

std::string CHdrList::GetProjectWkt(std::string& text) const {
    text.clear();
    if (const sHdrEntry* wkt = GetEntry(R::ProjectWkt::kId, 1)) {
        if (const auto id = wkt->Word(R::ProjectWkt::kBlobId)) ReadWktBlob(*id, text);
    }
    return text;
}

int32_t CHdrList::GetProjectWktBlobId() const {
    const sHdrEntry* wkt = GetEntry(R::ProjectWkt::kId, 1);
    if (wkt == nullptr) return -1;
    const auto id = wkt->Word(R::ProjectWkt::kBlobId);
    std::string text;
    return id.has_value() && ReadWktBlob(*id, text) ? *id : -1;
}

void CHdrList::SetProjectWkt(const std::string& text, int32_t forcedId) {
    if (text.empty()) return;
    if (sHdrEntry* wkt = GetEntry(R::ProjectWkt::kId, 1)) {
        auto id = wkt->Word(R::ProjectWkt::kBlobId);
        if (!id.has_value()) return;
        WriteWktBlob(*id, text, forcedId);
        wkt->Store(R::ProjectWkt::kBlobId, *id);
        return;
    }
    int32_t id = 0;
    WriteWktBlob(id, text, forcedId);
    AddRecord(R::ProjectWkt::kId, R::ProjectWkt::kSize, &id, -1);
}

std::string CHdrList::GetRecordWkt(const uint8_t* payload, uint32_t size, std::string& text) const {
    text.clear();
    if (const auto id = RecordWktId(payload, size)) ReadWktBlob(*id, text);
    return text;
}

int32_t CHdrList::GetRecordWktBlobId(const uint8_t* payload, uint32_t size) const {
    const auto id = RecordWktId(payload, size);
    std::string text;
    return id.has_value() && ReadWktBlob(*id, text) ? *id : -1;
}

void CHdrList::SetRecordWkt(uint8_t* payload, uint32_t size, const std::string& text) {
    auto id = RecordWktId(payload, size);
    if (!id.has_value()) return;
    if (WriteWktBlob(*id, text, -1)) StoreAt(payload, size, R::kRecordWktBlobId, *id);
}
