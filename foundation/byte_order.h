// Binary numbers at raw memory positions: always big-endian (the free functions), or either
// order by a swap flag (ByteSwapper). No alignment is required anywhere.
#pragma once

#include <concepts>
#include <cstdint>

void PutBigEndian(int16_t value, void* destination);
void PutBigEndian(uint16_t value, void* destination);
void PutBigEndian(int32_t value, void* destination);
void PutBigEndian(uint32_t value, void* destination);
void PutBigEndian(int64_t value, void* destination);
void PutBigEndian(uint64_t value, void* destination);
void PutBigEndian(float value, void* destination);
void PutBigEndian(double value, void* destination);

uint16_t GetBigEndianUInt16(const void* source);
int32_t GetBigEndianInt32(const void* source);
int64_t GetBigEndianInt64(const void* source);
float GetBigEndianFloat(const void* source);
double GetBigEndianDouble(const void* source);
// The first min(n, 4) bytes as a big-endian two's-complement number, sign-extended from the top
// bit of the first byte; n = 0 gives 0.
int32_t GetBigEndianIntN(const void* source, uint32_t n);

// Reads and writes in the machine's little-endian order when the flag is 0, byte-reversed
// (big-endian) otherwise. The 24-bit reads reverse only for the flag value 1.
class ByteSwapper {
public:
    ByteSwapper() = default;
    // Any integer flag is stored as its 32-bit unsigned value; a bool as 0 or 1.
    template <std::integral Flag>
    explicit ByteSwapper(Flag swap) : m_swap(static_cast<uint32_t>(swap)) {}

    int16_t GetInt16(const void* source) const;
    uint16_t GetUInt16(const void* source) const;
    int32_t GetInt24(const void* source) const;
    uint32_t GetUInt24(const void* source) const;
    int32_t GetInt32(const void* source) const;
    uint32_t GetUInt32(const void* source) const;
    float GetFloat(const void* source) const;
    // Six bytes in the low 48 bits; the top 16 bits are 0 (also for the signed read).
    int64_t GetInt48(const void* source) const;
    uint64_t GetUInt48(const void* source) const;
    int64_t GetInt64(const void* source) const;
    uint64_t GetUInt64(const void* source) const;
    double GetDouble(const void* source) const;

    void PutInt16(int16_t value, void* destination) const;
    void PutUInt16(uint16_t value, void* destination) const;
    void PutInt32(int32_t value, void* destination) const;
    void PutUInt32(uint32_t value, void* destination) const;
    void PutFloat(float value, void* destination) const;
    void PutDouble(double value, void* destination) const;

private:
    uint32_t m_swap = 0;
};
