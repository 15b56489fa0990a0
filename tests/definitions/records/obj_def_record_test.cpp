#include "definitions/records/obj_def_record.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "definitions/records/packed_ids.h"
#include "foundation/archive.h"

namespace {

void Put32(std::vector<uint8_t>& image, size_t offset, uint32_t value) {
    for (int i = 0; i < 4; ++i) image[offset + i] = static_cast<uint8_t>(value >> (8 * i));
}

sObjDef Filled(uint8_t byte) {
    sObjDef def;
    std::memset(&def, byte, sizeof def);
    return def;
}

// The defaults, byte by byte: size, version, bytes 6..51 untouched, then the table of defaults.
TEST(ObjDefRecord, InitWritesTheDefaultImage) {
    sObjDef def = Filled(0x5A);  // object id 0x5A5A5A5A classifies as nothing
    def.Init();
    std::vector<uint8_t> expected(384, 0);
    Put32(expected, 0, 384);
    expected[4] = 5;
    std::memset(expected.data() + 6, 0x5A, 46);
    std::memset(expected.data() + 212, 0xFF, 16);     // squat model and the three settings
    std::memset(expected.data() + 248, 0xFF, 8);      // display order and the setting after it
    Put32(expected, 260, 5);
    Put32(expected, 320, 0x3F81B22D);                 // 1.01325f
    Put32(expected, 328, 0x447A0000);                 // 1000.0f
    std::vector<uint8_t> actual(384);
    std::memcpy(actual.data(), &def, 384);
    EXPECT_EQ(actual, expected);
}

TEST(ObjDefRecord, TypeClassification) {
    struct sRow {
        int32_t objectId;
        int32_t objType;
        int32_t expected;
    };
    const sRow rows[] = {
        {250, 0, 1}, {250, 13, 13}, {-1, 0, 102}, {-2, 0, 101}, {200, 0, 1},  {299, 0, 1},
        {300, 0, 2}, {399, 0, 2},   {400, 0, 3},  {499, 0, 3},  {500, 0, 0},  {199, 0, 0},
        {1, 0, 0},   {-3, 0, 0},
    };
    for (const sRow& row : rows) {
        sObjDef def{};
        def.objectId = row.objectId;
        def.objType = row.objType;
        def.UpdateStamp();
        EXPECT_EQ(def.objType, row.expected) << row.objectId;
        EXPECT_EQ(def.recordSize, 384u);
        EXPECT_EQ(def.version, 5);
    }
    sObjDef fresh{};
    fresh.objectId = 250;
    fresh.Init();
    EXPECT_EQ(fresh.objType, 1);
}

TEST(ObjDefRecord, EnvironmentDefaults) {
    sObjDef def{};
    def.Init();
    EXPECT_TRUE(def.HasDefaultPressureAndDensity());
    struct sRow {
        float pressure;
        float density;
        int32_t env1;
        int32_t env2;
        bool expected;
    };
    const sRow rows[] = {
        {0.0f, 0.0f, 0, 0, true},     {1.01325f, 1.0f, 0, 0, true}, {1.01325f, 1000.0f, 0, 0, true},
        {1.0f, 1000.0f, 0, 0, false}, {1.01325f, 1025.0f, 0, 0, false}, {0.0f, 0.0f, 1, 0, false},
        {0.0f, 0.0f, 0, 2, false},
    };
    for (const sRow& row : rows) {
        def.pressure = row.pressure;
        def.density = row.density;
        def.environment1 = row.env1;
        def.environment2 = row.env2;
        EXPECT_EQ(def.HasDefaultPressureAndDensity(), row.expected) << row.pressure << " " << row.density;
    }
    def.ResetEnvironment();
    EXPECT_TRUE(def.HasDefaultPressureAndDensity());
    EXPECT_EQ(def.pressure, 1.01325f);
    EXPECT_EQ(def.density, 1000.0f);
}

TEST(ObjDefRecord, CodesByKind) {
    EXPECT_EQ(GetCodeKind(31000000), 31);
    EXPECT_EQ(GetCodeKind(30000001), 31);   // latitude group, second component
    EXPECT_EQ(GetCodeKind(30000002), 32);
    EXPECT_EQ(GetCodeKind(46000002), 48);
    EXPECT_EQ(GetCodeKind(51000007), 51);   // no group: the last digit does not count
    EXPECT_EQ(GetCodeKind(1000000), 0);
    EXPECT_EQ(GetCodeKind(31), 0);

    sObjDef def{};
    const int32_t table[10] = {31, 5, 30000001, 31000000, 0, 0, 0, 0, 0, 51000003};
    std::memcpy(def.codeTable, table, sizeof table);
    struct sRow {
        int32_t kind;
        int32_t expected;
    };
    const sRow rows[] = {{31, 30000001}, {51, 51000003}, {30, 0}, {0, 0}, {5, 0}};
    for (const sRow& row : rows) EXPECT_EQ(FindCodeOfKind(&def, row.kind), row.expected) << row.kind;
    EXPECT_EQ(FindCodeInFirstTable(&def, 31), 0);
    def.settings2[9] = 68000001;
    EXPECT_EQ(FindCodeInSecondTable(&def, 69), 68000001);
    EXPECT_EQ(FindCodeOfKind(nullptr, 31), 0);
    EXPECT_EQ(FindCodeInTable(nullptr, 31), 0);
}

TEST(ObjDefRecord, Equality) {
    sObjDef a{};
    a.Init();
    std::strcpy(a.name, "Vessel");
    sObjDef b = a;
    b.name[10] = 'x';  // after the terminator
    b.byte6 = 9;
    b.pad228[0] = 1;
    EXPECT_TRUE(a == b);
    const auto differs = [&](auto change) {
        sObjDef c = a;
        change(c);
        return c != a;
    };
    EXPECT_TRUE(differs([](sObjDef& c) { c.name[6] = 'X'; }));
    EXPECT_TRUE(differs([](sObjDef& c) { c.version = 0x105; }));
    EXPECT_TRUE(differs([](sObjDef& c) { c.heightArea[9] = 1; }));
    EXPECT_TRUE(differs([](sObjDef& c) { c.value240 = -0.5; }));
    EXPECT_TRUE(differs([](sObjDef& c) { c.settings260[1] = 1; }));
    EXPECT_TRUE(differs([](sObjDef& c) { c.density = 1025.0f; }));
    EXPECT_TRUE(differs([](sObjDef& c) { c.values352[3] = 1.0; }));
}

sObjDef Sample() {
    sObjDef def{};
    def.Init();
    def.objectId = 7;
    for (int i = 0; i < 10; ++i) {
        def.settings1[i] = 100 + i;
        def.settings2[i] = 200 + i;
        def.codeTable[i] = 300 + i;
        def.heightArea[i] = 400 + i;
        def.settings5[i] = 500 + i;
    }
    def.squatModel = 3;
    def.refPointValue = 1.5;
    def.value240 = 2.5;
    def.displayOrder = 4;
    def.objType = 11;
    def.subtype = 2;
    def.environment1 = 6;
    def.pressure = 1.2f;
    def.environment2 = 8;
    def.density = 1025.0f;
    def.settings332[4] = 9;
    def.values352[0] = 3.25;
    return def;
}

TEST(ObjDefRecord, ArchiveRoundTripOfVersion5) {
    const sObjDef original = Sample();
    Vok::ByteVector bytes;
    Vok::ByteVectorArchive writer(bytes);
    WriteObjDefToArchive(writer, original);
    ASSERT_EQ(bytes.size(), 332u);
    uint32_t firstWord = 0;
    std::memcpy(&firstWord, bytes.data(), 4);
    EXPECT_EQ(firstWord, 7u);  // no size or version of its own

    sObjDef read{};
    read.Init();
    std::strcpy(read.name, "Kept");
    read.refNodeId = 12;
    Vok::ByteVectorArchive reader(bytes);
    ReadObjDefFromArchive(reader, read, 5, 0);
    EXPECT_EQ(reader.Remaining(), 0u);
    EXPECT_STREQ(read.name, "Kept");
    EXPECT_EQ(read.refNodeId, 12);
    std::memcpy(read.name, original.name, sizeof read.name);
    read.refNodeId = original.refNodeId;
    EXPECT_TRUE(read == original);
}

// Old streams written by hand: the old rows are consumed to their last byte.
std::vector<uint8_t> OldStream(int major) {
    std::vector<uint8_t> s;
    auto i32 = [&](int32_t v) { for (int i = 0; i < 4; ++i) s.push_back(static_cast<uint8_t>(static_cast<uint32_t>(v) >> (8 * i))); };
    auto f32 = [&](float v) { uint32_t u; std::memcpy(&u, &v, 4); i32(static_cast<int32_t>(u)); };
    auto f64 = [&](double v) { uint8_t b[8]; std::memcpy(b, &v, 8); s.insert(s.end(), b, b + 8); };
    auto bytes = [&](size_t n, uint8_t value) { s.insert(s.end(), n, value); };
    i32(21);                                   // object id
    for (int i = 0; i < 30; ++i) i32(i + 1);   // areas 1, 2 and the code table
    i32(77);                                   // into the first word of the height area
    i32(1);
    f32(2.0f);
    i32(3);
    bytes(16, 0xAB);
    bytes(1044, 0xCD);
    for (int i = 0; i < 4; ++i) i32(-7);       // the words at 212
    f64(4.5);
    f64(5.5);
    for (int i = 0; i < 5; ++i) i32(60 + i);   // the words at 248 to 264
    bytes(40, 0);
    i32(2);                                    // object type
    i32(0);
    i32(0);
    f32(1.01325f);
    s.push_back(3);                            // second environment setting, one byte
    f32(1000.0f);
    for (int i = 0; i < 5; ++i) i32(0);
    if (major == 3) {
        bytes(3, 0xEE);
        bytes(36, 0xEE);
    } else {
        f32(9.0f);
        i32(9);
        i32(9);
        bytes(3, 0xEE);
        bytes(24, 0xEE);
    }
    return s;
}

TEST(ObjDefRecord, OldArchiveVersions) {
    for (int major : {3, 4}) {
        std::vector<uint8_t> stream = OldStream(major);
        EXPECT_EQ(stream.size(), 1372u);
        Vok::ByteVector bytes(stream.begin(), stream.end());
        Vok::ByteVectorArchive reader(bytes);
        sObjDef def{};
        def.Init();
        def.heightArea[1] = 55;
        ReadObjDefFromArchive(reader, def, static_cast<uint8_t>(major), 0);
        EXPECT_EQ(reader.Remaining(), 0u) << major;
        EXPECT_EQ(def.objectId, 21);
        EXPECT_EQ(def.codeTable[9], 30);
        EXPECT_EQ(def.heightArea[0], 77);
        EXPECT_EQ(def.heightArea[1], 55);
        EXPECT_EQ(def.settings216[2], -7);
        EXPECT_EQ(def.value240, 5.5);
        EXPECT_EQ(def.settings260[1], 64);
        EXPECT_EQ(def.objType, 2);
        EXPECT_EQ(def.environment2, 3);
        EXPECT_EQ(def.density, 1000.0f);
        EXPECT_EQ(def.values352[0], 0.0);
    }
}

TEST(ObjDefRecord, UnsupportedOrShortArchiveFails) {
    const sObjDef original = Sample();
    Vok::ByteVector bytes;
    Vok::ByteVectorArchive writer(bytes);
    WriteObjDefToArchive(writer, original);
    for (auto [major, minor] : {std::pair{6, 0}, std::pair{5, 1}, std::pair{2, 0}}) {
        Vok::ByteVectorArchive reader(bytes);
        sObjDef def{};
        try {
            ReadObjDefFromArchive(reader, def, static_cast<uint8_t>(major), static_cast<uint8_t>(minor));
            ADD_FAILURE() << "version " << major << "." << minor << " was read";
        } catch (const Vok::IArchiveException& e) {
            EXPECT_EQ(e.code(), 7);
        }
        EXPECT_EQ(reader.Remaining(), bytes.size());
    }
    Vok::ByteVector shortBytes(bytes.begin(), bytes.end() - 1);
    Vok::ByteVectorArchive reader(shortBytes);
    sObjDef def{};
    def.Init();
    const sObjDef before = def;
    EXPECT_THROW(ReadObjDefFromArchive(reader, def, 5, 0), Vok::IArchiveException);
    EXPECT_TRUE(def == before);
}

TEST(PackedIds, Functions) {
    struct sPack {
        int32_t local;
        int32_t owner;
        int32_t expected;
    };
    const sPack packs[] = {
        {5, 0, 65536005}, {5, 1002, 1002 * 65536 + 5}, {-3, 1002, -3}, {0, 1500, 0},
        {5, 1000, 65536005}, {998, 1998, 1998 * 65536 + 998}, {0x12345, 1001, 1001 * 65536 + 0x2345},
        {5, 40000, static_cast<int32_t>(40000u << 16 | 5u)},
    };
    for (const sPack& p : packs) EXPECT_EQ(MakePackedId(p.local, p.owner), p.expected) << p.local << " " << p.owner;

    struct sPart {
        int32_t value;
        int32_t local;
        int32_t owner;
    };
    const sPart parts[] = {
        {1500, 1500 & 0xFFFF, 1500}, {500, 500, 1000}, {-3, -3, 1000}, {0, 0, 1000},
        {1002 * 65536 + 5, 5, 1002}, {1999, 1999, 1999}, {2000, 2000, 0}, {-65536, -65536, 1000},
    };
    for (const sPart& p : parts) {
        EXPECT_EQ(GetLocalIdPart(p.value), p.local) << p.value;
        EXPECT_EQ(GetOwnerIdPart(p.value), p.owner) << p.value;
    }
    EXPECT_EQ(MakeOwnerIdHigh(0), 65536000);
    EXPECT_EQ(MakeOwnerIdHigh(1002), 1002 * 65536);
    EXPECT_EQ(MakeOwnerIdHigh(40000), static_cast<int32_t>(40000u << 16));

    for (int32_t v : {0, 1, 900, 1000, 1900}) EXPECT_TRUE(IsSpecialId(v)) << v;
    for (int32_t v : {2, 899, 999, 1901, -1}) EXPECT_FALSE(IsSpecialId(v)) << v;
    EXPECT_TRUE(IsLocalId(2));
    EXPECT_TRUE(IsLocalId(998));
    EXPECT_FALSE(IsLocalId(999));
    EXPECT_FALSE(IsLocalId(1));
    EXPECT_TRUE(IsOwnerId(1001));
    EXPECT_TRUE(IsOwnerId(1998));
    EXPECT_FALSE(IsOwnerId(1000));
    EXPECT_FALSE(IsOwnerId(1999));
    EXPECT_TRUE(IsId900(900));
    EXPECT_FALSE(IsId900(1900));
    EXPECT_TRUE(IsId1900(1900));
    EXPECT_EQ(IdentityId(-17), -17);
}

}  // namespace
