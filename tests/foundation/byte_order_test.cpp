#include "foundation/byte_order.h"

#include <gtest/gtest.h>

#include <array>
#include <vector>

namespace {

using Bytes = std::vector<unsigned char>;

template <typename T>
Bytes PutBE(T value) {
    Bytes out(sizeof(T) + 2, 0xAA);
    PutBigEndian(value, out.data() + 1);  // unaligned on purpose
    return Bytes(out.begin() + 1, out.end() - 1);
}

TEST(BigEndian, PutWritesMostSignificantByteFirst) {
    EXPECT_EQ(PutBE(int32_t{0x01020304}), (Bytes{1, 2, 3, 4}));
    EXPECT_EQ(PutBE(int16_t{-2}), (Bytes{0xFF, 0xFE}));
    EXPECT_EQ(PutBE(uint16_t{0x1234}), (Bytes{0x12, 0x34}));
    EXPECT_EQ(PutBE(uint32_t{0xDEADBEEF}), (Bytes{0xDE, 0xAD, 0xBE, 0xEF}));
    EXPECT_EQ(PutBE(int64_t{-2}), (Bytes{0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFE}));
    EXPECT_EQ(PutBE(uint64_t{0x0102030405060708}), (Bytes{1, 2, 3, 4, 5, 6, 7, 8}));
    EXPECT_EQ(PutBE(1.0), (Bytes{0x3F, 0xF0, 0, 0, 0, 0, 0, 0}));
    EXPECT_EQ(PutBE(1.0f), (Bytes{0x3F, 0x80, 0, 0}));
}

TEST(BigEndian, GetReadsBack) {
    const Bytes b{0x12, 0x34, 0x56, 0x78, 0x9A, 0xBC, 0xDE, 0xF0};
    EXPECT_EQ(GetBigEndianUInt16(b.data()), 0x1234);
    EXPECT_EQ(GetBigEndianInt32(b.data()), 0x12345678);
    EXPECT_EQ(GetBigEndianInt64(b.data()), 0x123456789ABCDEF0);
    EXPECT_EQ(GetBigEndianDouble(PutBE(-3.75).data()), -3.75);
    EXPECT_EQ(GetBigEndianFloat(PutBE(0.5f).data()), 0.5f);
}

TEST(BigEndian, IntNSignExtendsFromTheFirstByte) {
    const Bytes ffe{0xFF, 0xFE}, oneTwo{0x01, 0x02}, min{0x80, 0, 0, 0, 0x55, 0x66};
    EXPECT_EQ(GetBigEndianIntN(ffe.data(), 2), -2);
    EXPECT_EQ(GetBigEndianIntN(oneTwo.data(), 2), 258);
    EXPECT_EQ(GetBigEndianIntN(min.data(), 4), -2147483647 - 1);
    EXPECT_EQ(GetBigEndianIntN(min.data(), 6), -2147483647 - 1);
    EXPECT_EQ(GetBigEndianIntN(oneTwo.data(), 1), 1);
    EXPECT_EQ(GetBigEndianIntN(ffe.data(), 1), -1);
    EXPECT_EQ(GetBigEndianIntN(ffe.data(), 0), 0);
}

TEST(ByteSwapper, FlagSelectsOrder) {
    const Bytes b{0x34, 0x12, 0x56, 0x78, 1, 2, 3, 4};
    EXPECT_EQ(ByteSwapper().GetUInt16(b.data()), 0x1234);
    EXPECT_EQ(ByteSwapper(false).GetUInt16(b.data()), 0x1234);
    EXPECT_EQ(ByteSwapper(true).GetUInt16(b.data()), 0x3412);
    EXPECT_EQ(ByteSwapper(uint32_t{0}).GetUInt32(b.data()), 0x78561234u);
    EXPECT_EQ(ByteSwapper(true).GetUInt32(b.data()), 0x34125678u);
    EXPECT_EQ(ByteSwapper(true).GetUInt64(b.data()), 0x3412567801020304u);
    EXPECT_EQ(ByteSwapper(true).GetInt16(Bytes{0xFF, 0xFE}.data()), -2);
}

TEST(ByteSwapper, PlainIntegerFlags) {
    const Bytes b{0x01, 0x02, 0x03, 0x04};
    EXPECT_EQ(ByteSwapper(0).GetUInt16(b.data()), 0x0201);
    EXPECT_EQ(ByteSwapper(2).GetUInt16(b.data()), 0x0102);
    EXPECT_EQ(ByteSwapper(2).GetUInt24(b.data()), 0x030201u);
    EXPECT_EQ(ByteSwapper(1).GetUInt24(b.data()), 0x010203u);
    EXPECT_EQ(ByteSwapper(1L).GetUInt32(b.data()), 0x01020304u);
    EXPECT_EQ(ByteSwapper(uint16_t{0}).GetUInt32(b.data()), 0x04030201u);
}

TEST(ByteSwapper, TwentyFourBitReadsSwapOnlyForFlagOne) {
    const Bytes b{0x01, 0x02, 0x03};
    const ByteSwapper two(uint32_t{2});
    EXPECT_EQ(two.GetUInt16(b.data()), 0x0102);        // other widths reverse
    EXPECT_EQ(two.GetUInt24(b.data()), 0x030201u);     // 24-bit stays little-endian
    EXPECT_EQ(ByteSwapper(uint32_t{1}).GetUInt24(b.data()), 0x010203u);
    EXPECT_EQ(ByteSwapper(uint32_t{1}).GetInt24(Bytes{0xFF, 0xFF, 0xFE}.data()), -2);
    EXPECT_EQ(ByteSwapper(uint32_t{0}).GetInt24(Bytes{0xFE, 0xFF, 0xFF}.data()), -2);
    EXPECT_EQ(ByteSwapper(uint32_t{0}).GetUInt24(Bytes{0xFE, 0xFF, 0xFF}.data()), 0xFFFFFEu);
    EXPECT_EQ(ByteSwapper(uint32_t{0}).GetInt24(Bytes{0xFF, 0xFF, 0x7F}.data()), 0x7FFFFF);
}

TEST(ByteSwapper, FortyEightBitReads) {
    const Bytes b{1, 2, 3, 4, 5, 0x86};
    EXPECT_EQ(ByteSwapper().GetUInt48(b.data()), 0x860504030201u);
    EXPECT_EQ(ByteSwapper().GetInt48(b.data()), 0x860504030201);
    EXPECT_EQ(ByteSwapper(true).GetUInt48(b.data()), 0x010203040586u);
}

TEST(ByteSwapper, PutsRoundTripInBothOrders) {
    for (bool swap : {false, true}) {
        const ByteSwapper s(swap);
        std::array<unsigned char, 9> buf{};
        s.PutInt16(-300, buf.data() + 1);
        EXPECT_EQ(s.GetInt16(buf.data() + 1), -300);
        s.PutUInt16(0xBEEF, buf.data() + 1);
        EXPECT_EQ(buf[1], swap ? 0xBE : 0xEF);
        s.PutInt32(-123456, buf.data() + 1);
        EXPECT_EQ(s.GetInt32(buf.data() + 1), -123456);
        s.PutUInt32(0x01020304, buf.data() + 1);
        EXPECT_EQ(buf[1], swap ? 1 : 4);
        s.PutFloat(2.5f, buf.data() + 1);
        EXPECT_EQ(s.GetFloat(buf.data() + 1), 2.5f);
        s.PutDouble(-0.125, buf.data() + 1);
        EXPECT_EQ(s.GetDouble(buf.data() + 1), -0.125);
        EXPECT_EQ(buf[1], swap ? 0xBF : 0x00);
    }
}

}  // namespace
