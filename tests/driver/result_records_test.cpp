#include "driver/result_records.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

namespace {

template <typename T>
void Put(std::vector<uint8_t>& bytes, size_t offset, T value) {
    ASSERT_LE(offset + sizeof(T), bytes.size());
    std::memcpy(bytes.data() + offset, &value, sizeof(T));
}

SYSTEMTIME Time(int year, int month, int day, int h, int m, int s, int ms) {
    return SYSTEMTIME{static_cast<WORD>(year), static_cast<WORD>(month), 0,
                      static_cast<WORD>(day),  static_cast<WORD>(h),     static_cast<WORD>(m),
                      static_cast<WORD>(s),    static_cast<WORD>(ms)};
}

// The host reads these records byte for byte: each field must land at its offset, little-endian.
TEST(ResultRecords, PositionRecordGoldenBytes) {
    PosRecord r{};
    r.stFixTime = Time(2004, 3, 11, 16, 0, 12, 710);
    r.lGpsWeek = 1261;
    r.dGpsSeconds = 403225.71;
    r.dwLatitudeId = 0x301;
    r.dLatitude = 48.1173;
    r.dwLongitudeId = 0x311;
    r.dLongitude = 11.5;
    r.dwHeightId = 0x321;
    r.dHeight = 592.3;
    for (int i = 0; i < POS_PRN_COUNT; ++i) r.alPrn[i] = i + 1;
    r.lStationId = 31;
    r.lQuality = 2;
    r.fSdLatitude = 0.5f;
    r.fSdLongitude = 0.25f;
    r.fSdHeight = 1.5f;
    for (int i = 0; i < POS_ACCURACY_SLOTS; ++i) {
        r.alAccuracyKind[i] = i == 0 ? ACCURACY_HDOP : ACCURACY_EMPTY;
        r.afAccuracyValue[i] = 0.9f + static_cast<float>(i);
    }
    r.fSemiMajor = 6.6f;
    r.fSemiMinor = 4.7f;
    r.fOrientation = 47.3f;
    r.fRms = 3.2f;
    r.fCorrectionAge = 2.5f;
    r.lSatellites = 14;

    std::vector<uint8_t> golden(256, 0);
    const uint8_t time[16] = {0xD4, 0x07, 3, 0, 0, 0, 11, 0, 16, 0, 0, 0, 12, 0, 0xC6, 0x02};
    std::memcpy(golden.data(), time, sizeof(time));
    Put<int32_t>(golden, 16, 1261);
    Put<double>(golden, 24, 403225.71);
    Put<uint32_t>(golden, 32, 0x301);
    Put<double>(golden, 40, 48.1173);
    Put<uint32_t>(golden, 48, 0x311);
    Put<double>(golden, 56, 11.5);
    Put<uint32_t>(golden, 64, 0x321);
    Put<double>(golden, 72, 592.3);
    for (int i = 0; i < 12; ++i) Put<int32_t>(golden, 84 + 4 * i, i + 1);
    Put<int32_t>(golden, 132, 31);
    Put<int32_t>(golden, 168, 2);
    Put<float>(golden, 172, 0.5f);
    Put<float>(golden, 176, 0.25f);
    Put<float>(golden, 180, 1.5f);
    for (int i = 0; i < 6; ++i) {
        Put<int32_t>(golden, 184 + 4 * i, i == 0 ? 2 : -1);
        Put<float>(golden, 208 + 4 * i, 0.9f + static_cast<float>(i));
    }
    Put<float>(golden, 232, 6.6f);
    Put<float>(golden, 236, 4.7f);
    Put<float>(golden, 240, 47.3f);
    Put<float>(golden, 244, 3.2f);
    Put<float>(golden, 248, 2.5f);
    Put<int32_t>(golden, 252, 14);
    EXPECT_EQ(std::memcmp(&r, golden.data(), 256), 0);
}

TEST(ResultRecords, HeadingRateAndTimeTagGoldenBytes) {
    NavRecord nav{};
    nav.stTime = Time(2004, 3, 11, 16, 0, 12, 710);
    nav.dwObsId = 0x11;
    nav.dHeading = 123.4;
    nav.fStatus = STATUS_NEW_INVALID;
    std::vector<uint8_t> golden(56, 0);
    std::memcpy(golden.data(), &nav.stTime, 16);
    Put<uint32_t>(golden, 16, 0x11);
    Put<double>(golden, 24, 123.4);
    Put<float>(golden, 32, -2.0f);
    EXPECT_EQ(std::memcmp(&nav, golden.data(), 56), 0);

    RotRecord rot{};
    rot.stTime = nav.stTime;
    rot.dwObsId = 0x11;
    rot.dRate = 123.4;
    rot.fStatus = STATUS_NEW_INVALID;
    EXPECT_EQ(std::memcmp(&rot, golden.data(), 56), 0);

    TimetagRecord tag{};
    tag.dwSystemId = 7;
    tag.dwObsId = 0x110;
    tag.stFixTime = nav.stTime;
    tag.llPulseCounter = 0x0102030405060708;
    tag.llNowCounter = -2;
    tag.stPulseTime = Time(2004, 3, 11, 16, 0, 12, 0);
    tag.stNowTime = Time(2004, 3, 11, 16, 0, 12, 999);
    std::strcpy(tag.szSentence, "$GPZDA,160012.71,11,03,2004,-1,00*7D\r\n");
    std::vector<uint8_t> tagGolden(176, 0);
    Put<uint32_t>(tagGolden, 0, 7);
    Put<uint32_t>(tagGolden, 4, 0x110);
    std::memcpy(tagGolden.data() + 8, &nav.stTime, 16);
    Put<int64_t>(tagGolden, 24, 0x0102030405060708);
    Put<int64_t>(tagGolden, 32, -2);
    Put<SYSTEMTIME>(tagGolden, 40, tag.stPulseTime);
    Put<SYSTEMTIME>(tagGolden, 56, tag.stNowTime);
    std::memcpy(tagGolden.data() + 72, "$GPZDA,160012.71,11,03,2004,-1,00*7D\r\n", 38);
    EXPECT_EQ(std::memcmp(&tag, tagGolden.data(), 176), 0);
}

}  // namespace
