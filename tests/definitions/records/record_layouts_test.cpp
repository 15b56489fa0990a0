#include "definitions/records/record_layouts.h"

#include <gtest/gtest.h>

#include <cstring>
#include <utility>
#include <vector>

namespace {

using Bytes = std::vector<uint8_t>;

Bytes Pattern(size_t size) {
    Bytes b(size);
    for (size_t i = 0; i < size; ++i) b[i] = static_cast<uint8_t>(1 + i % 251);
    return b;
}

template <typename T>
Bytes Image(const T& record) {
    Bytes b(sizeof(T));
    std::memcpy(b.data(), &record, sizeof(T));
    return b;
}

void Copy(Bytes& to, size_t toOffset, const Bytes& from, size_t fromOffset, size_t count) {
    std::memcpy(to.data() + toOffset, from.data() + fromOffset, count);
}

void Put32(Bytes& b, size_t offset, uint32_t value) { std::memcpy(b.data() + offset, &value, 4); }

Bytes CurrentHead() {
    Bytes expected(776, 0);
    Put32(expected, 0, 776);
    expected[4] = 2;
    return expected;
}

TEST(RecordLayouts, SystemDefinitionFrom148Bytes) {
    const Bytes old = Pattern(148);  // its name (old 72..147) fills the field without a terminator
    sSysDef def;
    std::memset(static_cast<void*>(&def), 0xEE, sizeof def);
    ConvertSysDefLayout148(old.data(), def);
    Bytes expected = CurrentHead();
    Copy(expected, 8, old, 0, 147);
    EXPECT_EQ(Image(def), expected);
    EXPECT_EQ(FieldText(def.name).GetLength(), 75);

    Bytes back(148, 0xEE);
    SysDefToLayout148(back.data(), def);
    Bytes expectedBack = old;
    expectedBack[147] = 0;
    EXPECT_EQ(back, expectedBack);
}

TEST(RecordLayouts, SystemDefinitionFrom436Bytes) {
    const Bytes old = Pattern(436);
    sSysDef def;
    std::memset(static_cast<void*>(&def), 0xEE, sizeof def);
    ConvertSysDefLayout436(old.data(), def);
    Bytes expected = CurrentHead();
    Copy(expected, 8, old, 0, 147);
    Copy(expected, 156, old, 148, 260);
    Copy(expected, 680, old, 416, 16);
    expected[696] = old[432];
    EXPECT_EQ(Image(def), expected);

    // Back again: every mapped byte returns, the gaps are zero and the word at 412 is 1.
    Bytes back(436, 0xEE);
    SysDefToLayout436(back.data(), def);
    Bytes expectedBack(436, 0);
    Copy(expectedBack, 0, old, 0, 147);
    Copy(expectedBack, 148, old, 148, 260);
    Put32(expectedBack, 412, 1);
    Copy(expectedBack, 416, old, 416, 17);
    EXPECT_EQ(back, expectedBack);
}

TEST(RecordLayouts, SystemDefinitionTo436Bytes) {
    sSysDef def;
    const Bytes pattern = Pattern(sizeof def);
    std::memcpy(static_cast<void*>(&def), pattern.data(), sizeof def);
    Bytes old(436, 0xEE);
    SysDefToLayout436(old.data(), def);
    Bytes expected(436, 0);
    Copy(expected, 0, pattern, 8, 147);
    Copy(expected, 148, pattern, 156, 260);
    Put32(expected, 412, 1);
    Copy(expected, 416, pattern, 680, 16);
    expected[432] = pattern[696];
    EXPECT_EQ(old, expected);
}

// Old offsets of the i32 flag fields, by the bit of the current flag word they carry.
const std::pair<unsigned, size_t> kFlagFields[] = {
    {12, 8}, {13, 16}, {14, 40}, {2, 308}, {3, 328}, {4, 352}, {5, 376}, {6, 392}, {15, 460}, {7, 500}, {8, 532},
};

TEST(RecordLayouts, EchosounderFlagsToOldLayout) {
    for (const auto& [bit, offset] : kFlagFields) {
        sEsDtmDef def;
        def.flags = 1u << bit;
        Bytes old(568, 0xEE);
        ASSERT_TRUE(EsDtmDefToOldLayout(def, old.data()));
        Bytes expected(568, 0);
        Put32(expected, 0, 568);
        Put32(expected, offset, 1);
        EXPECT_EQ(old, expected) << bit;
    }
    sEsDtmDef def;
    def.flags = 0x30003u | (1u << 18);
    Bytes old(568, 0);
    ASSERT_TRUE(EsDtmDefToOldLayout(def, old.data()));
    uint32_t word = 0;
    std::memcpy(&word, old.data() + 12, 4);
    EXPECT_EQ(word, 0x30003u);
    EXPECT_EQ(old[332], 1);
    EXPECT_EQ(old[333], 0);

    def.version = 2;
    Bytes refused(568, 0xEE);
    EXPECT_FALSE(EsDtmDefToOldLayout(def, refused.data()));
    EXPECT_EQ(refused, Bytes(568, 0));
}

TEST(RecordLayouts, EchosounderFlagsFromOldLayout) {
    for (const auto& [bit, offset] : kFlagFields) {
        Bytes old(568, 0);
        Put32(old, offset, 7);
        sEsDtmDef def;
        EsDtmDefFromOldLayout(old.data(), def);
        EXPECT_EQ(def.flags, 1u << bit) << bit;
        Put32(old, offset, static_cast<uint32_t>(-1));
        EsDtmDefFromOldLayout(old.data(), def);
        EXPECT_EQ(def.flags, 0u) << bit;
    }
    Bytes old(568, 0);
    Put32(old, 12, 0xFFFFFFFFu);
    sEsDtmDef def;
    EsDtmDefFromOldLayout(old.data(), def);
    EXPECT_EQ(def.flags, 0x30003u);
    // Bit 18 comes from byte 332 alone; bytes 333..335 belong to other fields.
    Bytes other(568, 0);
    other[333] = 5;
    EsDtmDefFromOldLayout(other.data(), def);
    EXPECT_EQ(def.flags, 0u);
    EXPECT_EQ(def.settings464[1], 5);
    other[332] = 1;
    EsDtmDefFromOldLayout(other.data(), def);
    EXPECT_EQ(def.flags, 1u << 18);
    EXPECT_EQ(def.recordSize, 768u);
    EXPECT_EQ(def.version, 1);
}

// Current fields that the old layout has no room for (and the terminators it forces).
const std::pair<size_t, size_t> kNotCarried[] = {
    {6, 8}, {247, 248}, {256, 264}, {350, 352}, {356, 360}, {420, 424}, {492, 496}, {520, 760}, {764, 768},
};
constexpr uint32_t kCarriedFlags = 0x30003u | 0x1FCu | 0xF000u | (1u << 18);

TEST(RecordLayouts, EchosounderRoundTripKeepsEveryMappedField) {
    sEsDtmDef def;
    Bytes pattern = Pattern(sizeof def);
    std::memcpy(static_cast<void*>(&def), pattern.data(), sizeof def);
    def.recordSize = 768;
    def.version = 1;
    def.flags = 0xFFFFFFFFu;
    Bytes old(568, 0);
    ASSERT_TRUE(EsDtmDefToOldLayout(def, old.data()));
    sEsDtmDef back;
    EsDtmDefFromOldLayout(old.data(), back);

    Bytes expected = Image(def);
    for (const auto& [from, to] : kNotCarried) std::fill(expected.begin() + static_cast<long>(from), expected.begin() + static_cast<long>(to), 0);
    Put32(expected, 760, kCarriedFlags);
    EXPECT_EQ(Image(back), expected);
}

TEST(RecordLayouts, RecordVersion1) {
    const Bytes s = Pattern(80);
    Bytes t(128, 0xEE);
    ConvertRecordVersion1(s.data(), t.data());
    Bytes expected(128, 0);
    expected[0] = 1;
    Copy(expected, 2, s, 2, 16);
    Copy(expected, 20, s, 20, 4);
    Copy(expected, 24, s, 24, 4);
    Copy(expected, 32, s, 32, 8);
    Copy(expected, 40, s, 40, 16);
    Copy(expected, 96, s, 56, 8);
    Copy(expected, 112, s, 64, 16);
    EXPECT_EQ(t, expected);
}

}  // namespace
