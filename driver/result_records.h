// The result records that the driver writes into the host's output buffer. The host reads them
// byte for byte, so every size and offset is fixed; reserved bytes are written as zero.
#pragma once

#include <cstddef>
#include <cstdint>

#include "compat/windows_types.h"

// Kinds of the six accuracy slots of PosRecord.
constexpr int32_t ACCURACY_EMPTY = -1;
constexpr int32_t ACCURACY_PDOP = 1;
constexpr int32_t ACCURACY_HDOP = 2;
constexpr int32_t ACCURACY_VDOP = 4;
constexpr int32_t ACCURACY_GSA_MODE = 5;
// An accuracy value that no sentence has given.
constexpr float ACCURACY_NOT_KNOWN = 999.0f;

constexpr int POS_PRN_COUNT = 12;
constexpr int POS_ACCURACY_SLOTS = 6;

// One position fix; the GSA and GSV part stores use the same layout.
struct PosRecord {
    SYSTEMTIME stFixTime;
    // GPS week time of the fix (the shape of sGpsWeekTime).
    int32_t lGpsWeek;
    uint32_t dwReserved20;
    double dGpsSeconds;
    uint32_t dwLatitudeId;
    uint32_t dwReserved36;
    double dLatitude;
    uint32_t dwLongitudeId;
    uint32_t dwReserved52;
    double dLongitude;
    uint32_t dwHeightId;
    uint32_t dwReserved68;
    double dHeight;
    uint32_t dwZero80;
    int32_t alPrn[POS_PRN_COUNT];
    int32_t lStationId;
    uint8_t abReserved136[32];
    // Fix quality; in the GSV store the satellites in view.
    int32_t lQuality;
    float fSdLatitude;
    float fSdLongitude;
    float fSdHeight;
    int32_t alAccuracyKind[POS_ACCURACY_SLOTS];
    float afAccuracyValue[POS_ACCURACY_SLOTS];
    float fSemiMajor;
    float fSemiMinor;
    float fOrientation;
    float fRms;
    float fCorrectionAge;
    // Not capped at the size of the PRN list.
    int32_t lSatellites;
};
static_assert(sizeof(PosRecord) == 256);
static_assert(offsetof(PosRecord, stFixTime) == 0);
static_assert(offsetof(PosRecord, lGpsWeek) == 16);
static_assert(offsetof(PosRecord, dwReserved20) == 20);
static_assert(offsetof(PosRecord, dGpsSeconds) == 24);
static_assert(offsetof(PosRecord, dwLatitudeId) == 32);
static_assert(offsetof(PosRecord, dwReserved36) == 36);
static_assert(offsetof(PosRecord, dLatitude) == 40);
static_assert(offsetof(PosRecord, dwLongitudeId) == 48);
static_assert(offsetof(PosRecord, dwReserved52) == 52);
static_assert(offsetof(PosRecord, dLongitude) == 56);
static_assert(offsetof(PosRecord, dwHeightId) == 64);
static_assert(offsetof(PosRecord, dwReserved68) == 68);
static_assert(offsetof(PosRecord, dHeight) == 72);
static_assert(offsetof(PosRecord, dwZero80) == 80);
static_assert(offsetof(PosRecord, alPrn) == 84);
static_assert(offsetof(PosRecord, lStationId) == 132);
static_assert(offsetof(PosRecord, abReserved136) == 136);
static_assert(offsetof(PosRecord, lQuality) == 168);
static_assert(offsetof(PosRecord, fSdLatitude) == 172);
static_assert(offsetof(PosRecord, fSdLongitude) == 176);
static_assert(offsetof(PosRecord, fSdHeight) == 180);
static_assert(offsetof(PosRecord, alAccuracyKind) == 184);
static_assert(offsetof(PosRecord, afAccuracyValue) == 208);
static_assert(offsetof(PosRecord, fSemiMajor) == 232);
static_assert(offsetof(PosRecord, fSemiMinor) == 236);
static_assert(offsetof(PosRecord, fOrientation) == 240);
static_assert(offsetof(PosRecord, fRms) == 244);
static_assert(offsetof(PosRecord, fCorrectionAge) == 248);
static_assert(offsetof(PosRecord, lSatellites) == 252);

// Status values of NavRecord and RotRecord.
constexpr float STATUS_NEW = 1.0f;
constexpr float STATUS_NONE = -1.0f;
constexpr float STATUS_NEW_INVALID = -2.0f;

// A heading; also the sample of the navigation rings, where a negative status marks the sample
// invalid and the two further values are carried along for their writers.
struct NavRecord {
    SYSTEMTIME stTime;
    uint32_t dwObsId;
    uint32_t dwReserved20;
    double dHeading;
    float fStatus;
    uint32_t dwReserved36;
    double dValue2;
    double dValue3;
};
static_assert(sizeof(NavRecord) == 56);
static_assert(offsetof(NavRecord, stTime) == 0);
static_assert(offsetof(NavRecord, dwObsId) == 16);
static_assert(offsetof(NavRecord, dwReserved20) == 20);
static_assert(offsetof(NavRecord, dHeading) == 24);
static_assert(offsetof(NavRecord, fStatus) == 32);
static_assert(offsetof(NavRecord, dwReserved36) == 36);
static_assert(offsetof(NavRecord, dValue2) == 40);
static_assert(offsetof(NavRecord, dValue3) == 48);

// A rate of turn, in the sentence's degrees per minute (negative to port).
struct RotRecord {
    SYSTEMTIME stTime;
    uint32_t dwObsId;
    uint32_t dwReserved20;
    double dRate;
    float fStatus;
    uint8_t abReserved36[20];
};
static_assert(sizeof(RotRecord) == 56);
static_assert(offsetof(RotRecord, stTime) == 0);
static_assert(offsetof(RotRecord, dwObsId) == 16);
static_assert(offsetof(RotRecord, dwReserved20) == 20);
static_assert(offsetof(RotRecord, dRate) == 24);
static_assert(offsetof(RotRecord, fStatus) == 32);
static_assert(offsetof(RotRecord, abReserved36) == 36);

constexpr int TIMETAG_TEXT_SIZE = 100;

// A PPS time tag of a fix with the sentence that carried it.
struct TimetagRecord {
    uint32_t dwSystemId;
    uint32_t dwObsId;
    SYSTEMTIME stFixTime;
    int64_t llPulseCounter;
    int64_t llNowCounter;
    SYSTEMTIME stPulseTime;
    SYSTEMTIME stNowTime;
    // NUL-terminated, at most TIMETAG_TEXT_SIZE - 1 characters.
    char szSentence[TIMETAG_TEXT_SIZE];
    uint8_t abReserved172[4];
};
static_assert(sizeof(TimetagRecord) == 176);
static_assert(offsetof(TimetagRecord, dwSystemId) == 0);
static_assert(offsetof(TimetagRecord, dwObsId) == 4);
static_assert(offsetof(TimetagRecord, stFixTime) == 8);
static_assert(offsetof(TimetagRecord, llPulseCounter) == 24);
static_assert(offsetof(TimetagRecord, llNowCounter) == 32);
static_assert(offsetof(TimetagRecord, stPulseTime) == 40);
static_assert(offsetof(TimetagRecord, stNowTime) == 56);
static_assert(offsetof(TimetagRecord, szSentence) == 72);
static_assert(offsetof(TimetagRecord, abReserved172) == 172);

// Validity bits of sVruSample::dwValidFlags.
constexpr uint32_t VRU_HEAVE_VALID = 1;
constexpr uint32_t VRU_PITCH_VALID = 2;
constexpr uint32_t VRU_ROLL_VALID = 4;

// An attitude sample of the attitude rings and of the host's attitude blocks. A component is valid
// when its flag is set and its quality is 0 or more. The ring writes the window means.
struct sVruSample {
    SYSTEMTIME stTime;
    uint32_t dwSystemId;
    uint32_t dwCarried20;
    double dRoll;
    float fRollQuality;
    uint32_t dwCarried36;
    double dPitch;
    float fPitchQuality;
    uint32_t dwCarried52;
    double dHeave;
    float fHeaveQuality;
    uint32_t dwValidFlags;
    double dRollMean;
    double dPitchMean;
    // Faded by the ring's fill level.
    double dHeaveMean;
    double dWindow;
    uint8_t abCarried104[16];
};
static_assert(sizeof(sVruSample) == 120);
static_assert(offsetof(sVruSample, dwSystemId) == 16);
static_assert(offsetof(sVruSample, dwCarried20) == 20);
static_assert(offsetof(sVruSample, dRoll) == 24);
static_assert(offsetof(sVruSample, fRollQuality) == 32);
static_assert(offsetof(sVruSample, dwCarried36) == 36);
static_assert(offsetof(sVruSample, dPitch) == 40);
static_assert(offsetof(sVruSample, fPitchQuality) == 48);
static_assert(offsetof(sVruSample, dwCarried52) == 52);
static_assert(offsetof(sVruSample, dHeave) == 56);
static_assert(offsetof(sVruSample, fHeaveQuality) == 64);
static_assert(offsetof(sVruSample, dwValidFlags) == 68);
static_assert(offsetof(sVruSample, dRollMean) == 72);
static_assert(offsetof(sVruSample, dPitchMean) == 80);
static_assert(offsetof(sVruSample, dHeaveMean) == 88);
static_assert(offsetof(sVruSample, dWindow) == 96);
static_assert(offsetof(sVruSample, abCarried104) == 104);
