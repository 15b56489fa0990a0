// Whole-record comparison for the decoder tests: every field, reserved bytes included.
#pragma once

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

#include "driver/result_records.h"

namespace nmea_test {

inline void ExpectSameTime(const SYSTEMTIME& a, const SYSTEMTIME& e) {
    EXPECT_EQ(a.wYear, e.wYear);
    EXPECT_EQ(a.wMonth, e.wMonth);
    EXPECT_EQ(a.wDayOfWeek, e.wDayOfWeek);
    EXPECT_EQ(a.wDay, e.wDay);
    EXPECT_EQ(a.wHour, e.wHour);
    EXPECT_EQ(a.wMinute, e.wMinute);
    EXPECT_EQ(a.wSecond, e.wSecond);
    EXPECT_EQ(a.wMilliseconds, e.wMilliseconds);
}

#define NMEA_EXPECT_BYTES(a, e, field) EXPECT_EQ(std::memcmp(&(a).field, &(e).field, sizeof((e).field)), 0) << #field

inline void ExpectSameRecord(const PosRecord& a, const PosRecord& e) {
    ExpectSameTime(a.stFixTime, e.stFixTime);
    EXPECT_EQ(a.lGpsWeek, e.lGpsWeek);
    EXPECT_DOUBLE_EQ(a.dGpsSeconds, e.dGpsSeconds);
    EXPECT_EQ(a.dwLatitudeId, e.dwLatitudeId);
    EXPECT_DOUBLE_EQ(a.dLatitude, e.dLatitude);
    EXPECT_EQ(a.dwLongitudeId, e.dwLongitudeId);
    EXPECT_DOUBLE_EQ(a.dLongitude, e.dLongitude);
    EXPECT_EQ(a.dwHeightId, e.dwHeightId);
    EXPECT_DOUBLE_EQ(a.dHeight, e.dHeight);
    EXPECT_EQ(a.dwZero80, e.dwZero80);
    for (int i = 0; i < POS_PRN_COUNT; ++i) EXPECT_EQ(a.alPrn[i], e.alPrn[i]) << "PRN " << i;
    EXPECT_EQ(a.lStationId, e.lStationId);
    EXPECT_EQ(a.lQuality, e.lQuality);
    EXPECT_FLOAT_EQ(a.fSdLatitude, e.fSdLatitude);
    EXPECT_FLOAT_EQ(a.fSdLongitude, e.fSdLongitude);
    EXPECT_FLOAT_EQ(a.fSdHeight, e.fSdHeight);
    for (int i = 0; i < POS_ACCURACY_SLOTS; ++i) {
        EXPECT_EQ(a.alAccuracyKind[i], e.alAccuracyKind[i]) << "slot " << i;
        EXPECT_FLOAT_EQ(a.afAccuracyValue[i], e.afAccuracyValue[i]) << "slot " << i;
    }
    EXPECT_FLOAT_EQ(a.fSemiMajor, e.fSemiMajor);
    EXPECT_FLOAT_EQ(a.fSemiMinor, e.fSemiMinor);
    EXPECT_FLOAT_EQ(a.fOrientation, e.fOrientation);
    EXPECT_FLOAT_EQ(a.fRms, e.fRms);
    EXPECT_FLOAT_EQ(a.fCorrectionAge, e.fCorrectionAge);
    EXPECT_EQ(a.lSatellites, e.lSatellites);
    NMEA_EXPECT_BYTES(a, e, dwReserved20);
    NMEA_EXPECT_BYTES(a, e, dwReserved36);
    NMEA_EXPECT_BYTES(a, e, dwReserved52);
    NMEA_EXPECT_BYTES(a, e, dwReserved68);
    NMEA_EXPECT_BYTES(a, e, abReserved136);
}

template <typename R>
void ExpectSameHeadingRecord(const R& a, const R& e) {
    EXPECT_EQ(std::memcmp(&a, &e, sizeof(R)), 0) << "records differ";
}

}  // namespace nmea_test
