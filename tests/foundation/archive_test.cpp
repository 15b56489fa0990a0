#include "foundation/archive.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstring>
#include <limits>
#include <stdexcept>

namespace {

using Vok::ByteVector;
using Vok::ByteVectorArchive;
using Vok::IArchiveException;

ByteVector Bytes(std::initializer_list<unsigned char> list) { return ByteVector(list); }

// Runs f and returns the archive error code it raised, or -1 when it raised none.
template <typename F>
int ArchiveErrorCode(F&& f) {
    try {
        f();
    } catch (const IArchiveException& e) {
        return e.code();
    }
    return -1;
}

TEST(ByteVectorArchive, WritesRawLittleEndianValuesInOrder) {
    ByteVector bytes;
    ByteVectorArchive ar(bytes);
    ar.WriteString("abc").WriteBool(true).WriteInt16(-2).WriteUInt32(0x01020304u).WriteInt8(-1);
    ar.WriteBytes("\x10\x20", 2);
    EXPECT_EQ(bytes, Bytes({3, 0, 0, 0, 'a', 'b', 'c', 1, 0xFE, 0xFF, 4, 3, 2, 1, 0xFF, 0x10, 0x20}));
}

TEST(ByteVectorArchive, EveryKindRoundTrips) {
    ByteVector bytes;
    ByteVectorArchive out(bytes);
    const std::string withZero("a\0b", 3);
    out.WriteString(withZero).WriteString("").WriteBool(false).WriteDouble(-1.25).WriteFloat(3.5f);
    out.WriteInt64(std::numeric_limits<int64_t>::min()).WriteUInt64(~0ull).WriteInt32(-7);
    out.WriteUInt32(7).WriteInt16(-300).WriteUInt16(65000).WriteInt8(-100).WriteUInt8(200);
    out.WriteBytes("xyz", 3);

    ByteVectorArchive in(bytes);
    std::string s1, s2 = "old";
    bool b = true;
    double d = 0;
    float f = 0;
    int64_t i64 = 0;
    uint64_t u64 = 0;
    int32_t i32 = 0;
    uint32_t u32 = 0;
    int16_t i16 = 0;
    uint16_t u16 = 0;
    int8_t i8 = 0;
    uint8_t u8 = 0;
    char raw[3] = {};
    in.ReadString(s1).ReadString(s2).ReadBool(b).ReadDouble(d).ReadFloat(f).ReadInt64(i64).ReadUInt64(u64);
    in.ReadInt32(i32).ReadUInt32(u32).ReadInt16(i16).ReadUInt16(u16).ReadInt8(i8).ReadUInt8(u8);
    in.ReadBytes(raw, 3);
    EXPECT_EQ(s1, withZero);
    EXPECT_EQ(s2, "");
    EXPECT_FALSE(b);
    EXPECT_EQ(d, -1.25);
    EXPECT_EQ(f, 3.5f);
    EXPECT_EQ(i64, std::numeric_limits<int64_t>::min());
    EXPECT_EQ(u64, ~0ull);
    EXPECT_EQ(i32, -7);
    EXPECT_EQ(u32, 7u);
    EXPECT_EQ(i16, -300);
    EXPECT_EQ(u16, 65000);
    EXPECT_EQ(i8, -100);
    EXPECT_EQ(u8, 200);
    EXPECT_EQ(std::string(raw, 3), "xyz");
    EXPECT_EQ(ArchiveErrorCode([&] { in.ReadUInt8(u8); }), 7);
}

TEST(ByteVectorArchive, ReadingPastTheEndRaisesCode7AndKeepsTheDestination) {
    ByteVector three = Bytes({1, 2, 3});
    ByteVectorArchive ar(three);
    uint32_t value = 99;
    EXPECT_EQ(ArchiveErrorCode([&] { ar.ReadUInt32(value); }), 7);
    EXPECT_EQ(value, 99u);
    // The failed read did not move the position: the three bytes are still there.
    uint16_t first = 0;
    ar.ReadUInt16(first);
    EXPECT_EQ(first, 0x0201);

    ByteVector empty;
    ByteVectorArchive none(empty);
    int32_t i = 5;
    EXPECT_EQ(ArchiveErrorCode([&] { none.ReadInt32(i); }), 7);
    EXPECT_EQ(ArchiveErrorCode([&] { none.ReadUInt32Impl(value); }), 7);

    try {
        none.ReadInt32(i);
        FAIL();
    } catch (const IArchiveException& e) {
        EXPECT_STREQ(e.what(), "Vok archive exception: Tried to serialize outside block - code: \"7\"");
    }
}

TEST(ByteVectorArchive, StringLengthIsCheckedBeforeAnyCopy) {
    // Length 10 with 5 bytes left.
    ByteVector shortText = Bytes({10, 0, 0, 0, 'a', 'b', 'c', 'd', 'e'});
    ByteVectorArchive ar(shortText);
    std::string s = "old";
    EXPECT_EQ(ArchiveErrorCode([&] { ar.ReadString(s); }), 7);
    EXPECT_EQ(s, "");

    // Lengths at or above 2^31 are corrupt, whatever would follow; so are lengths that make
    // position + length wrap around in 32 bits.
    for (uint32_t length : {0x80000000u, 0xFFFFFFFFu, 0xFFFFFFFEu}) {
        ByteVector bytes = Bytes({0, 0, 0, 0});
        std::memcpy(bytes.data(), &length, 4);
        bytes.insert(bytes.end(), 16, 'x');
        ByteVectorArchive bad(bytes);
        std::string out = "old";
        EXPECT_EQ(ArchiveErrorCode([&] { bad.ReadString(out); }), 7) << length;
        EXPECT_EQ(out, "");
    }
}

TEST(ByteVectorArchive, ReadBytesChecksCountAndIgnoresNonPositiveCounts) {
    ByteVector bytes = Bytes({1, 2, 3});
    ByteVectorArchive ar(bytes);
    unsigned char out[4] = {9, 9, 9, 9};
    ar.ReadBytes(out, 0);
    ar.ReadBytes(out, -5);
    ar.ReadBytes(out, std::numeric_limits<int32_t>::min());
    EXPECT_EQ(out[0], 9);
    EXPECT_EQ(ArchiveErrorCode([&] { ar.ReadBytes(out, 4); }), 7);
    EXPECT_EQ(ArchiveErrorCode([&] { ar.ReadBytes(out, std::numeric_limits<int32_t>::max()); }), 7);
    EXPECT_EQ(out[0], 9);
    ar.ReadBytes(out, 3);
    EXPECT_EQ(out[2], 3);
}

TEST(ByteVectorArchive, AnyNonZeroByteReadsAsTrue) {
    ByteVector bytes = Bytes({0, 1, 2, 0xFF});
    ByteVectorArchive ar(bytes);
    bool v[4] = {true, false, false, false};
    for (bool& b : v) ar.ReadBool(b);
    EXPECT_FALSE(v[0]);
    EXPECT_TRUE(v[1]);
    EXPECT_TRUE(v[2]);
    EXPECT_TRUE(v[3]);
}

TEST(ArchiveException, TextCarriesMessageAndCode) {
    const IArchiveException e(1, "Tides");
    EXPECT_STREQ(e.what(), "Vok archive exception: Tides - code: \"1\"");
    EXPECT_EQ(e.code(), 1);
    const IArchiveException copy(e);
    EXPECT_STREQ(copy.what(), e.what());
    EXPECT_EQ(copy.code(), 1);
}

struct CompactCase {
    uint32_t n;
    std::vector<unsigned char> bytes;
};

TEST(CompactLength, EncodesEachRangeAndReadsItBack) {
    const CompactCase cases[] = {
        {0, {0x00}},
        {254, {0xFE}},
        {255, {0xFF, 0xFF, 0x00}},
        {65533, {0xFF, 0xFD, 0xFF}},
        {65534, {0xFF, 0xFF, 0xFF, 0xFE, 0xFF, 0x00, 0x00}},
        {70000, {0xFF, 0xFF, 0xFF, 0x70, 0x11, 0x01, 0x00}},
    };
    for (const auto& c : cases) {
        ByteVector bytes;
        ByteVectorArchive out(bytes);
        Vok::WriteCompactLength(out, c.n);
        EXPECT_EQ(bytes, ByteVector(c.bytes.begin(), c.bytes.end())) << c.n;
        ByteVectorArchive in(bytes);
        EXPECT_EQ(Vok::ReadCompactLength(in), c.n);
    }
    ByteVector shortForm = Bytes({0xFF, 0xFE, 0xFF});
    ByteVectorArchive in(shortForm);
    EXPECT_EQ(Vok::ReadCompactLength(in), 65534u);
}

TEST(CompactLength, SixteenBitForm) {
    for (uint32_t n : {0u, 65534u, 65535u, 100000u}) {
        ByteVector bytes;
        ByteVectorArchive out(bytes);
        Vok::WriteCompactLength16(out, n);
        EXPECT_EQ(bytes.size(), n < 65535 ? 2u : 6u);
        ByteVectorArchive in(bytes);
        EXPECT_EQ(Vok::ReadCompactLength16(in), n);
    }
}

TEST(CompactString, WritesAndReadsStrings) {
    ByteVector bytes;
    ByteVectorArchive out(bytes);
    Vok::WriteCompactString(out, "abc");
    EXPECT_EQ(bytes, Bytes({3, 'a', 'b', 'c'}));

    ByteVector fixed;
    ByteVectorArchive f(fixed);
    Vok::WriteFixedString(f, "ab", 4);
    EXPECT_EQ(fixed, Bytes({4, 'a', 'b', 0, 0}));
    Vok::WriteFixedString(f, "abcdef", 4);
    Vok::WriteFixedString(f, "ignored", 0);
    EXPECT_EQ(fixed, Bytes({4, 'a', 'b', 0, 0, 4, 'a', 'b', 'c', 'd'}));

    ByteVectorArchive in(fixed);
    std::string s = "old";
    Vok::ReadCompactString(in, s);
    EXPECT_EQ(s, "ab");
    Vok::ReadCompactString(in, s);
    EXPECT_EQ(s, "abcd");
}

TEST(CompactString, CorruptLengthFailsBeforeReading) {
    // Claims 0xFFFFFFFF bytes with 3 present.
    ByteVector bytes = Bytes({0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 'a', 'b', 'c'});
    ByteVectorArchive in(bytes);
    std::string s = "old";
    EXPECT_EQ(ArchiveErrorCode([&] { Vok::ReadCompactString(in, s); }), 7);
    EXPECT_EQ(s, "");
    EXPECT_EQ(in.Remaining(), 3u);  // the text bytes were not consumed
}

// An archive of another kind: it forwards to a byte-vector archive without telling what is left.
class Forwarding : public Vok::IArchive {
public:
    explicit Forwarding(ByteVectorArchive& inner) : m_inner(inner) {}
    IArchive& WriteString(const std::string& v) override { m_inner.WriteString(v); return *this; }
    IArchive& WriteBool(bool v) override { m_inner.WriteBool(v); return *this; }
    IArchive& WriteDouble(double v) override { m_inner.WriteDouble(v); return *this; }
    IArchive& WriteFloat(float v) override { m_inner.WriteFloat(v); return *this; }
    IArchive& WriteInt64(int64_t v) override { m_inner.WriteInt64(v); return *this; }
    IArchive& WriteUInt64(uint64_t v) override { m_inner.WriteUInt64(v); return *this; }
    IArchive& WriteInt32(int32_t v) override { m_inner.WriteInt32(v); return *this; }
    IArchive& WriteUInt32(uint32_t v) override { m_inner.WriteUInt32(v); return *this; }
    IArchive& WriteInt16(int16_t v) override { m_inner.WriteInt16(v); return *this; }
    IArchive& WriteUInt16(uint16_t v) override { m_inner.WriteUInt16(v); return *this; }
    IArchive& WriteInt8(int8_t v) override { m_inner.WriteInt8(v); return *this; }
    IArchive& WriteUInt8(uint8_t v) override { m_inner.WriteUInt8(v); return *this; }
    void WriteBytes(const void* d, uint32_t n) override { m_inner.WriteBytes(d, n); }
    IArchive& ReadString(std::string& v) override { m_inner.ReadString(v); return *this; }
    IArchive& ReadBool(bool& v) override { m_inner.ReadBool(v); return *this; }
    IArchive& ReadDouble(double& v) override { m_inner.ReadDouble(v); return *this; }
    IArchive& ReadFloat(float& v) override { m_inner.ReadFloat(v); return *this; }
    IArchive& ReadInt64(int64_t& v) override { m_inner.ReadInt64(v); return *this; }
    IArchive& ReadUInt64(uint64_t& v) override { m_inner.ReadUInt64(v); return *this; }
    IArchive& ReadInt32(int32_t& v) override { m_inner.ReadInt32(v); return *this; }
    IArchive& ReadUInt32(uint32_t& v) override { m_inner.ReadUInt32(v); return *this; }
    IArchive& ReadInt16(int16_t& v) override { m_inner.ReadInt16(v); return *this; }
    IArchive& ReadUInt16(uint16_t& v) override { m_inner.ReadUInt16(v); return *this; }
    IArchive& ReadInt8(int8_t& v) override { m_inner.ReadInt8(v); return *this; }
    IArchive& ReadUInt8(uint8_t& v) override { m_inner.ReadUInt8(v); return *this; }
    void ReadBytes(void* d, int32_t n) override { m_inner.ReadBytes(d, n); }

private:
    ByteVectorArchive& m_inner;
};

TEST(CompactString, OtherArchivesReadLongAndCorruptStrings) {
    ByteVector bytes;
    ByteVectorArchive out(bytes);
    const std::string longText(200000, 'q');
    Vok::WriteCompactString(out, longText);
    ByteVectorArchive inner(bytes);
    Forwarding in(inner);
    std::string s;
    Vok::ReadCompactString(in, s);
    EXPECT_EQ(s, longText);

    ByteVector corrupt = Bytes({0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 'a', 'b', 'c'});
    ByteVectorArchive corruptInner(corrupt);
    Forwarding corruptIn(corruptInner);
    s = "old";
    EXPECT_EQ(ArchiveErrorCode([&] { Vok::ReadCompactString(corruptIn, s); }), 7);
    EXPECT_EQ(s, "");
}

TEST(ByteVectorArchive, RandomBytesNeverReadOutsideTheData) {
    // Run under the sanitizers, this catches any read past the vector or oversized allocation.
    uint32_t seed = 12345;
    const auto next = [&] { return seed = seed * 1664525u + 1013904223u; };
    for (int round = 0; round < 2000; ++round) {
        ByteVector bytes;
        const uint32_t size = next() % 24;
        for (uint32_t i = 0; i < size; ++i) bytes.push_back(static_cast<unsigned char>(next() >> 24));
        ByteVectorArchive ar(bytes);
        try {
            std::string s;
            uint32_t n = 0;
            double d = 0;
            switch (round % 4) {
                case 0: ar.ReadString(s).ReadString(s); break;
                case 1: Vok::ReadCompactString(ar, s); Vok::ReadCompactString(ar, s); break;
                case 2: n = Vok::ReadCompactLength16(ar); ar.ReadDouble(d).ReadBytes(&n, static_cast<int32_t>(n % 5)); break;
                default: n = Vok::ReadCompactLength(ar); ar.ReadUInt32(n); break;
            }
            EXPECT_LE(s.size(), bytes.size());
        } catch (const IArchiveException& e) {
            EXPECT_EQ(e.code(), 7);
        }
    }
}

class Pair : public Vok::ISerializable {
public:
    int32_t a = 0;
    std::string b;
    void serialize_to(Vok::IArchive& ar, uint32_t version) const override {
        lastVersion = version;
        ar.WriteInt32(a).WriteString(b);
    }
    void serialize_from(Vok::IArchive& ar) override { ar.ReadInt32(a).ReadString(b); }
    mutable uint32_t lastVersion = 99;
};

TEST(ObjectBytes, RoundTripAndEmptyInput) {
    Pair p;
    p.a = 42;
    p.b = "x";
    ByteVector bytes = Bytes({1, 2, 3});
    EXPECT_TRUE(Vok::WriteObjectToBytes(bytes, p, 64));
    EXPECT_EQ(p.lastVersion, 0u);
    EXPECT_EQ(bytes, Bytes({42, 0, 0, 0, 1, 0, 0, 0, 'x'}));
    EXPECT_GE(bytes.capacity(), 64u);

    Pair q;
    EXPECT_TRUE(Vok::ReadObjectFromBytes(q, bytes));
    EXPECT_EQ(q.a, 42);
    EXPECT_EQ(q.b, "x");

    Pair untouched;
    untouched.a = 7;
    EXPECT_TRUE(Vok::ReadObjectFromBytes(untouched, ByteVector()));
    EXPECT_EQ(untouched.a, 7);

    EXPECT_THROW(Vok::WriteObjectToBytes(bytes, p, 0x80000000u), std::length_error);
    EXPECT_EQ(ArchiveErrorCode([&] { Vok::ReadObjectFromBytes(q, Bytes({1, 0})); }), 7);
}

TEST(ByteVector, EditAndSearch) {
    ByteVector v(nullptr, 5);
    EXPECT_TRUE(v.empty());
    EXPECT_EQ(v.Data(), nullptr);
    v = ByteVector("abcdef", 6);
    EXPECT_EQ(v.Find('c'), 2);
    EXPECT_EQ(v.Find('a', 1), -1);
    EXPECT_EQ(v.Find('a', 6), -1);
    EXPECT_EQ(v.FindFirstOf({'x', 'e', 'd'}, 1), 3);
    EXPECT_EQ(v.FindFirstOf({}, 0), -1);
    EXPECT_EQ(v.Remove(2, 5), 0u);
    EXPECT_EQ(v.size(), 6u);
    EXPECT_EQ(v.Remove(1, 2), 2u);
    EXPECT_TRUE(v.Equals(ByteVector("adef", 4)));
    EXPECT_EQ(v.RemoveFrom(4), 0u);
    EXPECT_EQ(v.RemoveFrom(2), 2u);
    v.Append(nullptr, 3);
    v.Append("zz", 0);
    EXPECT_TRUE(v.Equals(ByteVector("ad", 2)));
    v.AppendFrom(v, 0, 2);
    EXPECT_TRUE(v.Equals(ByteVector("adad", 4)));
    // A range beyond the source takes only what is there.
    v.AppendFrom(ByteVector("xy", 2), 1, 10);
    EXPECT_TRUE(v.Equals(ByteVector("adady", 5)));
    EXPECT_FALSE(v.Equals(ByteVector("adadz", 5)));
}

}  // namespace
