#include "definitions/header/byte_vector_codecs.h"

#include <cstring>
#include <limits>

namespace {

// Reads the leading count and checks that count items of itemSize bytes follow; false (the
// archive error swallowed) when the bytes cannot hold them.
bool ReadCount(Vok::ByteVectorArchive& archive, uint32_t itemSize, uint32_t& count) {
    try {
        archive.ReadUInt32Impl(count);
    } catch (const Vok::IArchiveException&) {
        return false;
    }
    return static_cast<uint64_t>(count) * itemSize <= archive.Remaining();
}

}  // namespace

void ShapeItemsToBytes(const std::vector<sShapeItem>& items, Vok::ByteVector& bytes) {
    bytes.clear();
    Vok::ByteVectorArchive archive(bytes);
    archive.WriteUInt32(static_cast<uint32_t>(items.size()));
    for (const sShapeItem& item : items) archive.WriteBytes(item.bytes, sShapeItem::kSize);
}

void TextToBytes(const std::string& text, Vok::ByteVector& bytes) {
    bytes.clear();
    Vok::ByteVectorArchive archive(bytes);
    archive.WriteUInt32(static_cast<uint32_t>(text.size()));
    archive.WriteBytes(text.data(), static_cast<uint32_t>(text.size()));
}

bool BytesToShapeItems(const Vok::ByteVector& bytes, std::vector<sShapeItem>& items) {
    items.clear();
    if (bytes.empty()) return true;
    Vok::ByteVector copy(bytes);  // the archive reads through a non-const vector
    Vok::ByteVectorArchive archive(copy);
    uint32_t count = 0;
    if (!ReadCount(archive, sShapeItem::kSize, count)) return false;
    items.resize(count);
    for (sShapeItem& item : items) archive.ReadBytes(item.bytes, static_cast<int32_t>(sShapeItem::kSize));
    return true;
}

bool BytesToText(const Vok::ByteVector& bytes, std::string& text) {
    text.clear();
    if (bytes.empty()) return true;
    Vok::ByteVector copy(bytes);
    Vok::ByteVectorArchive archive(copy);
    uint32_t length = 0;
    if (!ReadCount(archive, 1, length) || length > static_cast<uint32_t>(std::numeric_limits<int32_t>::max()))
        return false;
    text.resize(length);
    archive.ReadBytes(text.data(), static_cast<int32_t>(length));
    return true;
}
