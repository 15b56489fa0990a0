// The byte images in which the header list keeps vessel shapes and texts inside its blobs: a
// little-endian u32 count followed by the items (28 bytes each) or by the text's bytes.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "foundation/archive.h"

// One item of a vessel outline; its fields belong to the drawing code and travel as they stand.
struct sShapeItem {
    static constexpr uint32_t kSize = 28;
    uint8_t bytes[kSize];
};
static_assert(sizeof(sShapeItem) == 28);

// Replace the bytes with the count and the items / the text's length and its bytes.
void ShapeItemsToBytes(const std::vector<sShapeItem>& items, Vok::ByteVector& bytes);
void TextToBytes(const std::string& text, Vok::ByteVector& bytes);
// Empty the output, then decode. Empty bytes decode to nothing and give true. A count or length
// that claims more than the bytes hold leaves the output empty and gives false.
bool BytesToShapeItems(const Vok::ByteVector& bytes, std::vector<sShapeItem>& items);
bool BytesToText(const Vok::ByteVector& bytes, std::string& text);
