#include "foundation/byte_order.h"

#include <algorithm>
#include <bit>
#include <cstring>

namespace {

// Unswapped access copies bytes as they are, which is little-endian only on such a machine.
static_assert(std::endian::native == std::endian::little);

// Copies the value's bytes, reversed when reverse is set.
template <typename T>
void Put(T value, void* destination, bool reverse) {
    unsigned char raw[sizeof(T)];
    std::memcpy(raw, &value, sizeof(T));
    if (reverse) std::reverse(raw, raw + sizeof(T));
    std::memcpy(destination, raw, sizeof(T));
}

template <typename T>
T Get(const void* source, bool reverse) {
    unsigned char raw[sizeof(T)];
    std::memcpy(raw, source, sizeof(T));
    if (reverse) std::reverse(raw, raw + sizeof(T));
    T value;
    std::memcpy(&value, raw, sizeof(T));
    return value;
}

const unsigned char* Bytes(const void* p) { return static_cast<const unsigned char*>(p); }

}  // namespace

void PutBigEndian(int16_t value, void* destination) { Put(value, destination, true); }
void PutBigEndian(uint16_t value, void* destination) { Put(value, destination, true); }
void PutBigEndian(int32_t value, void* destination) { Put(value, destination, true); }
void PutBigEndian(uint32_t value, void* destination) { Put(value, destination, true); }
void PutBigEndian(int64_t value, void* destination) { Put(value, destination, true); }
void PutBigEndian(uint64_t value, void* destination) { Put(value, destination, true); }
void PutBigEndian(float value, void* destination) { Put(value, destination, true); }
void PutBigEndian(double value, void* destination) { Put(value, destination, true); }

uint16_t GetBigEndianUInt16(const void* source) { return Get<uint16_t>(source, true); }
int32_t GetBigEndianInt32(const void* source) { return Get<int32_t>(source, true); }
int64_t GetBigEndianInt64(const void* source) { return Get<int64_t>(source, true); }
float GetBigEndianFloat(const void* source) { return Get<float>(source, true); }
double GetBigEndianDouble(const void* source) { return Get<double>(source, true); }

int32_t GetBigEndianIntN(const void* source, uint32_t n) {
    const uint32_t k = std::min<uint32_t>(n, 4);
    if (k == 0) return 0;
    const unsigned char* p = Bytes(source);
    uint32_t value = (p[0] & 0x80) ? 0xFFFFFFFFu : 0u;
    for (uint32_t i = 0; i < k; ++i) value = (value << 8) | p[i];
    return static_cast<int32_t>(value);
}

int16_t ByteSwapper::GetInt16(const void* source) const { return Get<int16_t>(source, m_swap != 0); }
uint16_t ByteSwapper::GetUInt16(const void* source) const { return Get<uint16_t>(source, m_swap != 0); }

uint32_t ByteSwapper::GetUInt24(const void* source) const {
    const unsigned char* p = Bytes(source);
    if (m_swap == 1) return (uint32_t{p[0]} << 16) | (uint32_t{p[1]} << 8) | p[2];
    return (uint32_t{p[2]} << 16) | (uint32_t{p[1]} << 8) | p[0];
}

int32_t ByteSwapper::GetInt24(const void* source) const {
    uint32_t value = GetUInt24(source);
    if (value & 0x800000u) value |= 0xFF000000u;
    return static_cast<int32_t>(value);
}

int32_t ByteSwapper::GetInt32(const void* source) const { return Get<int32_t>(source, m_swap != 0); }
uint32_t ByteSwapper::GetUInt32(const void* source) const { return Get<uint32_t>(source, m_swap != 0); }
float ByteSwapper::GetFloat(const void* source) const { return Get<float>(source, m_swap != 0); }

uint64_t ByteSwapper::GetUInt48(const void* source) const {
    const unsigned char* p = Bytes(source);
    uint64_t value = 0;
    for (int i = 0; i < 6; ++i) {
        const unsigned char b = m_swap != 0 ? p[i] : p[5 - i];
        value = (value << 8) | b;
    }
    return value;
}

int64_t ByteSwapper::GetInt48(const void* source) const { return static_cast<int64_t>(GetUInt48(source)); }

int64_t ByteSwapper::GetInt64(const void* source) const { return Get<int64_t>(source, m_swap != 0); }
uint64_t ByteSwapper::GetUInt64(const void* source) const { return Get<uint64_t>(source, m_swap != 0); }
double ByteSwapper::GetDouble(const void* source) const { return Get<double>(source, m_swap != 0); }

void ByteSwapper::PutInt16(int16_t value, void* destination) const { Put(value, destination, m_swap != 0); }
void ByteSwapper::PutUInt16(uint16_t value, void* destination) const { Put(value, destination, m_swap != 0); }
void ByteSwapper::PutInt32(int32_t value, void* destination) const { Put(value, destination, m_swap != 0); }
void ByteSwapper::PutUInt32(uint32_t value, void* destination) const { Put(value, destination, m_swap != 0); }
void ByteSwapper::PutFloat(float value, void* destination) const { Put(value, destination, m_swap != 0); }
void ByteSwapper::PutDouble(double value, void* destination) const { Put(value, destination, m_swap != 0); }
