#include "definitions/header/record_types.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <set>
#include <utility>
#include <vector>

#include "compat/windows_types.h"
#include "definitions/header/hdr_list.h"
#include "foundation/system_time.h"

namespace {

TEST(RecordTypes, CodesAndCaptions) {
    std::set<std::pair<std::string, std::string>> seen;
    for (int32_t t = 0; t <= RECORD_TYPE_LAST; ++t) {
        if (t == 263) continue;
        const CString code = GetRecordHeaderCode(t, 1, nullptr);
        EXPECT_TRUE(code.Left(1) == "i" || t == 0) << t;
        EXPECT_TRUE(seen.insert({code.Str(), GetRecordHeaderCode(t, 0, nullptr).Str()}).second) << t;
    }
    EXPECT_STREQ(GetRecordHeaderCode(0, 0, nullptr), "Undefined");
    EXPECT_STREQ(GetRecordHeaderCode(0, 1, nullptr), "undef");
    EXPECT_STREQ(GetRecordHeaderCode(14, 0, nullptr), "Datum Shift");
    EXPECT_STREQ(GetRecordHeaderCode(188, 0, nullptr), "Datum Shift");
    for (int32_t t : {263, 276, -1}) {
        EXPECT_STREQ(GetRecordHeaderCode(t, 0, nullptr), CString("Unsupported (") + std::to_string(t).c_str() + ")");
        EXPECT_STREQ(GetRecordHeaderCode(t, 1, nullptr), GetRecordHeaderCode(t, 0, nullptr));
    }
    uint8_t unit[48] = {};
    EXPECT_STREQ(GetRecordHeaderCode(153, 0, unit), "Survey Unit");
    std::strcpy(reinterpret_cast<char*>(unit), "US Survey Foot");
    EXPECT_STREQ(GetRecordHeaderCode(153, 0, unit), "US Survey Foot");
    EXPECT_STREQ(GetRecordHeaderCode(153, 1, unit), "iH0021");
}

// Every offset the look-ups read lies within the type's fixed size: exact-size payloads without
// any terminator (checked by the sanitizer build).
TEST(RecordTypes, LookUpsStayWithinFixedSizes) {
    for (int32_t t = 0; t <= RECORD_TYPE_LAST + 1; ++t) {
        if (const uint32_t size = GetRecordSize(t)) {
            auto payload = std::make_unique<uint8_t[]>(size);
            std::memset(payload.get(), 'A', size);
            EXPECT_FALSE(GetRecordHeaderCode(t, 0, payload.get()).IsEmpty());
            EXPECT_FALSE(GetRecordDisplayName(t, payload.get()).IsEmpty());
            int32_t keys[3];
            GetRecordKeys(t, payload.get(), &keys[0], &keys[1], &keys[2]);
        }
        if (const uint32_t size = GetDataRecordFixedSize(t)) {
            auto payload = std::make_unique<uint8_t[]>(size);
            SetDataRecordTime(t, payload.get(), CVOKTime(1.7e9));
            GetDataRecordTime(t, payload.get());
            ClearDataRecordExtraTime(t, payload.get());
            GetDataRecordSize(t, payload.get());
        }
    }
}

TEST(RecordTypes, SizesCompanionsAndVariants) {
    // Every header type's fixed size, as stored projects hold them; the types not listed have none.
    const std::vector<std::pair<uint32_t, std::vector<int32_t>>> sizes = {
        {1, {135, 136, 137}}, {3, {74}}, {4, {125, 126, 132, 133, 139, 143, 147, 149, 155, 157, 177, 187, 215, 272}},
        {8, {129, 131, 151}}, {12, {67, 127, 130, 134, 142, 154, 231, 269}}, {16, {33, 141, 160}},
        {20, {36, 75, 159, 161}}, {24, {81, 163, 185, 266}}, {28, {24, 48, 50, 55, 60}},
        {32, {53, 162, 171, 179, 189, 194, 213, 271}}, {36, {57, 128}}, {40, {37, 42, 46, 140, 173, 188, 247}},
        {44, {64}}, {48, {51, 153, 214, 253}}, {52, {174, 202}}, {53, {3, 5, 6, 7, 8}},
        {56, {1, 4, 10, 18, 38, 54, 62, 184, 201}}, {60, {2, 43}}, {64, {12, 17, 68, 210}},
        {72, {13, 14, 21, 22, 34, 66, 73, 164, 195, 198, 241, 248, 260, 264}}, {75, {47}}, {76, {56, 69, 79, 82, 267}},
        {80, {9, 16, 23, 29, 30, 31, 32, 44, 45, 49, 52, 58, 61, 70, 80, 249, 251}},
        {84, {11, 15, 39, 41, 71, 72, 77}}, {88, {19, 181, 182, 206, 229, 238, 240, 246, 254}},
        {96, {40, 63, 144, 257, 265}}, {100, {59, 138}}, {104, {20, 65, 76, 78, 170, 197, 199, 237}},
        {108, {183, 273}}, {112, {35, 200, 208, 212, 230, 262}}, {120, {176, 196}}, {128, {180}}, {136, {193}},
        {152, {256}}, {160, {192}}, {176, {234, 236}}, {180, {191}}, {184, {190}}, {200, {217}}, {208, {243}},
        {248, {218}}, {296, {209}}, {312, {226}}, {336, {221}}, {352, {219}}, {360, {220}}, {368, {225}},
        {376, {244}}, {400, {268}}, {552, {207}}, {664, {205}}, {688, {204}}, {712, {258}}, {1184, {203}},
        {1192, {228}}, {1280, {233}}, {1608, {245}}, {2060, {270}}, {2864, {28}}, {2868, {27}}, {2872, {26}},
        {2880, {25}}, {28064, {169}}, {28068, {168}}, {28072, {167}}, {28080, {166}}};
    std::vector<uint32_t> expected(RECORD_TYPE_LAST + 2, 0);
    for (const auto& [size, types] : sizes)
        for (int32_t t : types) expected[static_cast<size_t>(t)] = size;
    for (int32_t t = 0; t <= RECORD_TYPE_LAST + 1; ++t) EXPECT_EQ(GetRecordSize(t), expected[static_cast<size_t>(t)]) << t;
    EXPECT_EQ(GetRecordSize(-1), 0u);
    EXPECT_EQ(GetDataRecordType(258, -1), 98);
    EXPECT_EQ(GetDataRecordType(258, 0), 165);
    EXPECT_EQ(GetDataRecordType(220, 5), 274);
    EXPECT_EQ(GetDataRecordType(68, 60), 0);
    EXPECT_STREQ(GetRecordVariantText(249, 2, 1), "2 (Unknown Version)");
    EXPECT_STREQ(GetRecordVariantText(258, -1, -1), "E620n (-1)");
    EXPECT_STREQ(GetRecordVariantText(100, 7, 0), "7");
    EXPECT_EQ(GetDataRecordSize(145, nullptr), 40u);
    const uint16_t beams = 3;
    uint8_t head[40] = {};
    std::memcpy(head + 20, &beams, sizeof beams);
    EXPECT_EQ(GetDataRecordSize(145, head), 136u);

    CHdrList headers;
    const int32_t variant = 2;
    headers.AddRecord(220, sizeof variant, &variant, -1);
    headers.AddRecord(220, 0, nullptr, -1);  // no payload: no variant
    EXPECT_EQ(GetDataRecordTypeOfEntry(headers.GetEntry(220, 1)), 274);
    EXPECT_EQ(GetDataRecordTypeOfEntry(headers.GetEntry(220, 2)), 145);
}

TEST(RecordTypes, DataRecordTimes) {
    const CVOKTime t(2024, 3, 1, 12, 30, 15.25);
    uint8_t record[152] = {};
    SetDataRecordTime(148, record, t);
    EXPECT_EQ(GetDataRecordTime(148, record).day, t.day);
    EXPECT_DOUBLE_EQ(GetDataRecordTime(148, record).seconds, t.seconds);
    SYSTEMTIME st;
    std::memcpy(&st, record + 24, sizeof st);
    EXPECT_EQ(st.wMilliseconds, 250);
    EXPECT_TRUE(ClearDataRecordExtraTime(148, record));
    EXPECT_FALSE(ClearDataRecordExtraTime(83, record));
    EXPECT_FALSE(GetDataRecordTime(84, record).IsValid());

    uint8_t pps[152] = {};  // the older form of record 242: second word 0, a calendar time at 48
    std::memcpy(pps + 48, &st, sizeof st);
    EXPECT_EQ(GetDataRecordTime(242, pps).day, t.day);
    EXPECT_DOUBLE_EQ(GetDataRecordTime(242, pps).seconds, t.seconds);
}

// Where each data type keeps its time, and its calendar copy: the time is written there and
// nowhere else, and read back from there.
TEST(RecordTypes, EveryDataTypeKeepsItsTimeAtItsOffset) {
    const struct {
        std::vector<int32_t> types;
        size_t offset;
        int calendar;  // offset of the SYSTEMTIME copy; -1 none
    } rows[] = {
        {{83, 85, 104, 150, 156, 158, 175, 186, 232, 239, 255}, 8, -1},
        {{148}, 8, 24},
        {{211, 222, 223, 224, 263, 275}, 8, 34},
        {{227, 259, 261}, 8, 32},
        {{235}, 8, 42},
        {{94, 117, 145, 172, 252}, 24, -1},
        {{152, 216}, 32, -1},
        {{250}, 40, -1},
        {{86, 87, 96, 242}, 48, -1},
        {{102}, 56, -1},
        {{98}, 72, -1},
        {{116}, 104, -1},
        {{165}, 128, -1},
        {{146}, 200, -1},
        {{115}, 240, -1},
        {{178}, 296, -1},
    };
    const CVOKTime t(2024, 3, 1, 12, 30, 15.25);
    const sMjdTime mjd = t.GetMjdTime();
    const SYSTEMTIME calendar{2024, 3, 5, 1, 12, 30, 15, 250};
    for (const auto& row : rows) {
        for (const int32_t type : row.types) {
            SCOPED_TRACE(type);
            std::vector<uint8_t> payload(400, 0);
            payload[4] = 1;  // record 242 in its current form
            std::vector<uint8_t> expected = payload;
            std::memcpy(expected.data() + row.offset, &mjd, sizeof mjd);
            if (row.calendar >= 0) std::memcpy(expected.data() + row.calendar, &calendar, sizeof calendar);
            SetDataRecordTime(type, payload.data(), t);
            EXPECT_EQ(payload, expected);
            const CVOKTime back = GetDataRecordTime(type, payload.data());
            EXPECT_EQ(back.day, t.day);
            EXPECT_DOUBLE_EQ(back.seconds, t.seconds);
        }
    }
    // Record 274 writes its time twice when its size reaches the second place.
    std::vector<uint8_t> payload(400, 0);
    const uint32_t variable = 200;  // 32 + 200 bytes
    std::memcpy(payload.data() + 28, &variable, sizeof variable);
    std::vector<uint8_t> expected = payload;
    std::memcpy(expected.data() + 8, &mjd, sizeof mjd);
    std::memcpy(expected.data() + 34, &calendar, sizeof calendar);
    std::memcpy(expected.data() + 200, &mjd, sizeof mjd);
    SetDataRecordTime(274, payload.data(), t);
    EXPECT_EQ(payload, expected);
}

TEST(RecordTypes, DisplayNamesKeysAndPredicates) {
    uint8_t pps[80] = {};
    pps[4] = 3;
    EXPECT_STREQ(GetRecordDisplayName(249, pps), "PPS timetag 3");
    EXPECT_STREQ(GetRecordDisplayName(215, nullptr), "--- Fix Info");
    uint8_t fixed[688] = {};
    const int32_t words[] = {4, 0, 0, 0, 0, 0, 0, 0, 6};
    std::memcpy(fixed, words, sizeof words);
    int32_t k1 = 0, k2 = 0, k3 = 0;
    GetRecordKeys(204, fixed, &k1, &k2, &k3);
    EXPECT_EQ(k1, 4);
    EXPECT_EQ(k2, 7);
    EXPECT_EQ(k3, -1);
    GetRecordKeys(100, fixed, &k1, nullptr, nullptr);
    EXPECT_EQ(k1, -1);
    EXPECT_FALSE(IsGeodeticRecordType(14));
}

}  // namespace
