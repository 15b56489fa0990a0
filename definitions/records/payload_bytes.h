// Values at byte offsets of record payloads. Payloads are unaligned byte arrays, so values are
// copied in and out, never reached through struct casts. The raw forms trust the caller to stay
// within the payload; the sized forms check offset + width against the payload's size first.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <optional>
#include <type_traits>

#include "compat/cstring.h"

namespace Vok::Definitions {

template <typename T>
T LoadAt(const uint8_t* payload, size_t offset) {
    static_assert(std::is_trivially_copyable_v<T>);
    T value;
    std::memcpy(&value, payload + offset, sizeof(T));
    return value;
}

template <typename T>
void StoreAt(uint8_t* payload, size_t offset, const T& value) {
    static_assert(std::is_trivially_copyable_v<T>);
    std::memcpy(payload + offset, &value, sizeof(T));
}

// Empty when the payload is null or the value does not lie within its size.
template <typename T>
std::optional<T> LoadAt(const uint8_t* payload, size_t size, size_t offset) {
    if (payload == nullptr || offset > size || size - offset < sizeof(T)) return std::nullopt;
    return LoadAt<T>(payload, offset);
}

// false, and nothing written, when the value does not lie within the payload.
template <typename T>
bool StoreAt(uint8_t* payload, size_t size, size_t offset, const T& value) {
    if (payload == nullptr || offset > size || size - offset < sizeof(T)) return false;
    StoreAt(payload, offset, value);
    return true;
}

// The zero-terminated text at an offset, cut at the end of the payload; empty outside it.
inline CString TextAt(const uint8_t* payload, size_t size, size_t offset) {
    if (payload == nullptr || offset >= size) return CString();
    const char* text = reinterpret_cast<const char*>(payload + offset);
    return CString(text, static_cast<int>(strnlen(text, size - offset)));
}

}  // namespace Vok::Definitions
