// Header record payloads for tests, built field by field at the offsets the tests name.
#pragma once

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "definitions/header/hdr_list.h"

namespace Vok::Test {

class Payload {
public:
    explicit Payload(size_t size) : m_bytes(size, 0) {}
    Payload& I32(size_t offset, int32_t value) { return Put(offset, value); }
    Payload& F32(size_t offset, float value) { return Put(offset, value); }
    Payload& F64(size_t offset, double value) { return Put(offset, value); }
    Payload& Text(size_t offset, const std::string& text) {
        std::memcpy(m_bytes.data() + offset, text.data(), text.size());
        return *this;
    }
    // Cut to size bytes.
    Payload& Cut(size_t size) {
        m_bytes.resize(size);
        return *this;
    }
    uint8_t* Add(CHdrList& list, int32_t recordId, int32_t eventLink = -1) const {
        return list.AddRecord(recordId, static_cast<uint32_t>(m_bytes.size()), m_bytes.data(), eventLink);
    }
    const std::vector<uint8_t>& Bytes() const { return m_bytes; }
    const uint8_t* Data() const { return m_bytes.data(); }

private:
    template <typename T>
    Payload& Put(size_t offset, T value) {
        std::memcpy(m_bytes.data() + offset, &value, sizeof value);
        return *this;
    }
    std::vector<uint8_t> m_bytes;
};

template <typename T>
T ValueAt(const uint8_t* payload, size_t offset) {
    T value;
    std::memcpy(&value, payload + offset, sizeof value);
    return value;
}

}  // namespace Vok::Test
