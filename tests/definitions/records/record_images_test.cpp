// The stored images of the definition records, byte by byte, against layouts written out from the
// record tables; and where every data record type keeps its time.
#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <vector>

#include "definitions/records/definition_records.h"
#include "definitions/header/record_types.h"
#include "foundation/system_time.h"

namespace {

using Bytes = std::vector<uint8_t>;

class Image {
public:
    explicit Image(size_t size) : m_bytes(size, 0) {}
    template <typename T>
    Image& At(size_t offset, T value) {
        std::memcpy(m_bytes.data() + offset, &value, sizeof value);
        return *this;
    }
    Image& Text(size_t offset, const char* text) {
        std::memcpy(m_bytes.data() + offset, text, std::strlen(text));
        return *this;
    }
    const Bytes& bytes() const { return m_bytes; }

private:
    Bytes m_bytes;
};

template <typename T>
Bytes BytesOf(const T& record) {
    Bytes b(sizeof(T));
    std::memcpy(b.data(), &record, sizeof(T));
    return b;
}

TEST(RecordImages, ObservationDefinition) {
    sObsDef d{};
    d.id = 1;
    d.link = -2;
    d.sysId = 3;
    SetFieldText(d.name, "Gyro");
    d.transient = 4;
    d.flag74 = 5;
    d.flag75 = 6;
    d.nodeId = 7;
    d.toNodeId = 8;
    d.obsType = 11;
    d.unitType = 3;
    d.rotationOrder = 1;
    d.displayNodeId = 9;
    d.verticalDelay = 0.5;
    d.velocity = 1.5;
    d.soundVelocity = 1500.0;
    d.correction1 = 0.25;
    d.correction2 = -0.25;
    d.scale = 2.0;
    d.quadratic = 0.125;
    d.sigma = 0.75f;
    d.setting164 = 1.25f;
    SetFieldText(d.refName1, "REF1");
    SetFieldText(d.refName2, "REF2");
    SetFieldText(d.tag, "HDT");
    d.interval = -1.0f;
    d.reserved208[31] = 0x99;
    const Bytes expected = Image(240)
                               .At<int32_t>(0, 1).At<int32_t>(4, -2).At<int32_t>(8, 3).Text(12, "Gyro")
                               .At<uint8_t>(73, 4).At<uint8_t>(74, 5).At<uint8_t>(75, 6)
                               .At<int32_t>(76, 7).At<int32_t>(80, 8).At<int32_t>(84, 11).At<uint32_t>(88, 3)
                               .At<uint32_t>(92, 1).At<int32_t>(96, 9)
                               .At(104, 0.5).At(112, 1.5).At(120, 1500.0).At(128, 0.25).At(136, -0.25)
                               .At(144, 2.0).At(152, 0.125).At(160, 0.75f).At(164, 1.25f)
                               .Text(168, "REF1").Text(179, "REF2").Text(190, "HDT").At(204, -1.0f)
                               .At<uint8_t>(239, 0x99)
                               .bytes();
    EXPECT_EQ(BytesOf(d), expected);
}

TEST(RecordImages, NodeDefinition) {
    sNodeDef n{};
    n.id = 1;
    n.number = 12;
    n.satelliteNumber = 31;
    SetFieldText(n.name, "Antenna");
    n.defaultsApplied = 1;
    n.unitCode = 25;
    n.coordKind = 2;
    n.nodeType = 4;
    n.objectId = 3;
    n.reserved84 = -1;
    n.x = 1.5;
    n.y = -2.5;
    n.z = 10.0;
    n.sdX = 0.5f;
    n.sdY = 0.25f;
    n.sdZ = 2.0f;
    n.reserved124 = 0xA1B2C3D4u;
    const Bytes expected = Image(128)
                               .At<int32_t>(0, 1).At<int32_t>(4, 12).At<int32_t>(8, 31).Text(12, "Antenna")
                               .At<uint8_t>(73, 1).At<uint8_t>(74, 25).At<uint8_t>(75, 2)
                               .At<uint32_t>(76, 4).At<int32_t>(80, 3).At<int32_t>(84, -1)
                               .At(88, 1.5).At(96, -2.5).At(104, 10.0).At(112, 0.5f).At(116, 0.25f).At(120, 2.0f)
                               .At<uint32_t>(124, 0xA1B2C3D4u)
                               .bytes();
    EXPECT_EQ(BytesOf(n), expected);
}

TEST(RecordImages, SystemDefinition) {
    sSysDef s;
    s.version = 2;
    const uint8_t address[4] = {192, 168, 1, 20};
    std::memcpy(s.address, address, 4);
    s.connection12 = 12;
    s.connection16 = 16;
    s.connection20 = -1;
    s.port = 4001;
    s.sysType = 12;
    s.driverId = 120005;
    s.reserved36 = 36;
    s.interval = 0.5f;
    s.timeOffset = -0.25f;
    s.reserved48[15] = 63;
    s.sysId = 7;
    s.key1 = 1;
    s.key2 = 2;
    s.key3 = 3;
    SetFieldText(s.name, "GNSS");
    SetFieldText(s.text156, "first");
    SetFieldText(s.text417, "second");
    s.reserved680 = 680;
    s.timeSource = 4;
    s.timeTagType = 2;
    s.output = 1;
    s.sourceFilter = 1;
    s.reserved697[78] = 0x77;
    const Bytes expected = Image(776)
                               .At<uint32_t>(0, 776).At<uint16_t>(4, 2)
                               .At<uint8_t>(8, 192).At<uint8_t>(9, 168).At<uint8_t>(10, 1).At<uint8_t>(11, 20)
                               .At<uint32_t>(12, 12).At<uint32_t>(16, 16).At<int32_t>(20, -1).At<uint32_t>(24, 4001)
                               .At<int32_t>(28, 12).At<int32_t>(32, 120005).At<uint32_t>(36, 36)
                               .At(40, 0.5f).At(44, -0.25f).At<uint8_t>(63, 63)
                               .At<int32_t>(64, 7).At<int32_t>(68, 1).At<int32_t>(72, 2).At<int32_t>(76, 3)
                               .Text(80, "GNSS").Text(156, "first").Text(417, "second")
                               .At<uint32_t>(680, 680).At<uint32_t>(684, 4).At<uint32_t>(688, 2).At<uint32_t>(692, 1)
                               .At<uint8_t>(696, 1).At<uint8_t>(775, 0x77)
                               .bytes();
    EXPECT_EQ(BytesOf(s), expected);
}

// Data record types with a time: the offset of their sMjdTime and of the calendar copy that
// SetDataRecordTime also writes (-1: none).
struct sTimeRow {
    int32_t mjd;
    int32_t calendar;
};

std::map<RecordType, sTimeRow> ExpectedTimeFields() {
    std::map<RecordType, sTimeRow> rows;
    for (RecordType t : {83, 85, 104, 150, 156, 158, 175, 186, 232, 239, 255}) rows[t] = {8, -1};
    rows[148] = {8, 24};
    for (RecordType t : {211, 222, 223, 224, 263, 275, 274}) rows[t] = {8, 34};
    for (RecordType t : {227, 259, 261}) rows[t] = {8, 32};
    rows[235] = {8, 42};
    for (RecordType t : {94, 117, 145, 172, 252}) rows[t] = {24, -1};
    for (RecordType t : {152, 216}) rows[t] = {32, -1};
    rows[250] = {40, -1};
    for (RecordType t : {86, 87, 96, 242}) rows[t] = {48, -1};
    rows[102] = {56, -1};
    rows[98] = {72, -1};
    rows[116] = {104, -1};
    rows[165] = {128, -1};
    rows[146] = {200, -1};
    rows[115] = {240, -1};
    rows[178] = {296, -1};
    return rows;
}

TEST(RecordImages, TimeFieldOfEveryDataRecordType) {
    const auto expected = ExpectedTimeFields();
    const CVOKTime time(2025, 6, 30, 23, 59, 30.5);
    const sMjdTime mjd = time.GetMjdTime();
    const SYSTEMTIME calendar = TimeToSystemTime(time);
    constexpr size_t kSize = 512;
    for (RecordType t = 0; t <= RECORD_TYPE_LAST + 1; ++t) {
        Bytes payload(kSize, 0);
        payload[4] = 1;  // record 242 in its current form
        const Bytes before = payload;
        SetDataRecordTime(t, payload.data(), time);
        const auto row = expected.find(t);
        if (row == expected.end()) {
            EXPECT_EQ(payload, before) << t;
            EXPECT_FALSE(GetDataRecordTime(t, payload.data()).IsValid()) << t;
            continue;
        }
        Bytes wanted = before;
        std::memcpy(wanted.data() + row->second.mjd, &mjd, sizeof mjd);
        if (row->second.calendar >= 0) std::memcpy(wanted.data() + row->second.calendar, &calendar, sizeof calendar);
        EXPECT_EQ(payload, wanted) << t;
        const CVOKTime read = GetDataRecordTime(t, payload.data());
        EXPECT_EQ(read.day, time.day) << t;
        EXPECT_EQ(read.seconds, time.seconds) << t;
    }
    // Record 274 also keeps a copy at 200 once its stated size (32 + the word at 28) reaches it.
    Bytes multibeam(kSize, 0);
    const uint32_t tail = 184;
    std::memcpy(multibeam.data() + 28, &tail, 4);
    SetDataRecordTime(274, multibeam.data(), time);
    EXPECT_EQ(std::memcmp(multibeam.data() + 200, &mjd, sizeof mjd), 0);
}

}  // namespace
