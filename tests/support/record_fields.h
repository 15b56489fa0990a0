// Fields of stored records as behaviour-table rows: where a value sits in an old record image,
// where its upgrade puts it, and what it holds there.
#pragma once

#include <gtest/gtest.h>

#include <cstddef>
#include <cstdint>
#include <vector>

#include "definitions/records/payload_bytes.h"

namespace Vok::Test {

// type: 'i' int32, 'u' uint32, 'f' float32, 'd' float64, 'b' byte. kNone as the old offset
// checks the new record only; as the new offset it fills the old image only.
struct sRecordField {
    static constexpr size_t kNone = static_cast<size_t>(-1);
    size_t old;
    size_t now;
    char type;
    double put;
    double expected;
};

inline void PutFields(std::vector<uint8_t>& image, const std::vector<sRecordField>& fields) {
    using Vok::Definitions::StoreAt;
    for (const sRecordField& f : fields) {
        if (f.old == sRecordField::kNone) continue;
        uint8_t* at = image.data();
        switch (f.type) {
            case 'i': StoreAt(at, f.old, static_cast<int32_t>(f.put)); break;
            case 'u': StoreAt(at, f.old, static_cast<uint32_t>(f.put)); break;
            case 'f': StoreAt(at, f.old, static_cast<float>(f.put)); break;
            case 'd': StoreAt(at, f.old, f.put); break;
            default: image[f.old] = static_cast<uint8_t>(f.put); break;
        }
    }
}

inline void ExpectFields(const void* record, const std::vector<sRecordField>& fields) {
    using Vok::Definitions::LoadAt;
    const auto* at = static_cast<const uint8_t*>(record);
    for (const sRecordField& f : fields) {
        if (f.now == sRecordField::kNone) continue;
        double value = 0.0;
        switch (f.type) {
            case 'i': value = LoadAt<int32_t>(at, f.now); break;
            case 'u': value = LoadAt<uint32_t>(at, f.now); break;
            case 'f': value = LoadAt<float>(at, f.now); break;
            case 'd': value = LoadAt<double>(at, f.now); break;
            default: value = at[f.now]; break;
        }
        EXPECT_EQ(value, f.type == 'f' ? static_cast<float>(f.expected) : f.expected) << "at " << f.now;
    }
}

}  // namespace Vok::Test
