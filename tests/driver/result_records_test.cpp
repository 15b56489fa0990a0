#include "driver/result_records.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

namespace {

template <typename T>
void Put(std::vector<uint8_t>& bytes, size_t offset, T value) {
    std::memcpy(bytes.data() + offset, &value, sizeof(T));
}

// The host reads the records byte for byte: little-endian fields at their offsets, zero elsewhere.
TEST(ResultRecords, GoldenBytes) {
    PosRecord pos{};
    pos.stFixTime = SYSTEMTIME{2004, 3, 0, 11, 16, 0, 12, 710};
    pos.lGpsWeek = 1261;
    pos.dGpsSeconds = 403225.71;
    pos.dwHeightId = 0x321;
    pos.dLatitude = 48.1173;
    pos.alPrn[11] = 12;
    pos.lStationId = 31;
    pos.alAccuracyKind[5] = ACCURACY_EMPTY;
    pos.afAccuracyValue[0] = 0.9f;
    pos.fCorrectionAge = 2.5f;
    pos.lSatellites = 14;
    std::vector<uint8_t> golden(256, 0);
    const uint8_t time[16] = {0xD4, 0x07, 3, 0, 0, 0, 11, 0, 16, 0, 0, 0, 12, 0, 0xC6, 0x02};
    std::memcpy(golden.data(), time, sizeof(time));
    Put<int32_t>(golden, 16, 1261);
    Put<double>(golden, 24, 403225.71);
    Put<uint32_t>(golden, 64, 0x321);
    Put<double>(golden, 40, 48.1173);
    Put<int32_t>(golden, 128, 12);
    Put<int32_t>(golden, 132, 31);
    Put<int32_t>(golden, 204, -1);
    Put<float>(golden, 208, 0.9f);
    Put<float>(golden, 248, 2.5f);
    Put<int32_t>(golden, 252, 14);
    EXPECT_EQ(std::memcmp(&pos, golden.data(), golden.size()), 0);

    NavRecord nav{};
    nav.stTime = pos.stFixTime;
    nav.dwObsId = 0x11;
    nav.dHeading = 123.4;
    nav.fStatus = STATUS_NEW_INVALID;
    golden.assign(56, 0);
    std::memcpy(golden.data(), time, sizeof(time));
    Put<uint32_t>(golden, 16, 0x11);
    Put<double>(golden, 24, 123.4);
    Put<float>(golden, 32, -2.0f);
    EXPECT_EQ(std::memcmp(&nav, golden.data(), golden.size()), 0);

    TimetagRecord tag{};
    tag.dwObsId = 0x110;
    tag.stFixTime = pos.stFixTime;
    tag.llNowCounter = -2;
    std::strcpy(tag.szSentence, "$GPZDA,160012.71,11,03,2004,-1,00*7D\r\n");
    golden.assign(176, 0);
    Put<uint32_t>(golden, 4, 0x110);
    std::memcpy(golden.data() + 8, time, sizeof(time));
    Put<int64_t>(golden, 32, -2);
    std::memcpy(golden.data() + 72, "$GPZDA,160012.71,11,03,2004,-1,00*7D\r\n", 38);
    EXPECT_EQ(std::memcmp(&tag, golden.data(), golden.size()), 0);
}

}  // namespace
