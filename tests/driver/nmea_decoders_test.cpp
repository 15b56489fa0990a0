// Decoders as behaviour tables: each row a sentence, the record it starts from and the whole
// record expected after it. Sentences with expected values from minmea's and SBG's documented
// cases where they exist.
#include "driver/nmea_decoders.h"

#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <cstring>
#include <functional>
#include <string>

#include "compat/unit_library.h"

namespace {

SYSTEMTIME Time(int year, int month, int day, int h, int m, int s, int ms) {
    return SYSTEMTIME{static_cast<WORD>(year), static_cast<WORD>(month), 0, static_cast<WORD>(day),
                      static_cast<WORD>(h),    static_cast<WORD>(m),     static_cast<WORD>(s), static_cast<WORD>(ms)};
}

// Whole records compared byte for byte, reporting the first offset that differs.
template <typename R>
void ExpectSameRecord(const R& actual, const R& expected) {
    const auto* a = reinterpret_cast<const uint8_t*>(&actual);
    const auto* e = reinterpret_cast<const uint8_t*>(&expected);
    for (size_t i = 0; i < sizeof(R); ++i) {
        if (a[i] != e[i]) {
            ADD_FAILURE() << "records differ from offset " << i;
            return;
        }
    }
}

// A record from an earlier cycle with a value of its own in every field, so that a decoder that
// touches a field it should not is seen.
PosRecord PreviousRecord() {
    PosRecord r{};
    r.stFixTime = Time(2011, 10, 24, 1, 2, 3, 4);
    r.lGpsWeek = 1659;
    r.dGpsSeconds = 86400.5;
    r.dwLatitudeId = 301;
    r.dLatitude = 1.5;
    r.dwLongitudeId = 311;
    r.dLongitude = 2.5;
    r.dwHeightId = 321;
    r.dHeight = 3.5;
    for (int i = 0; i < POS_PRN_COUNT; ++i) r.alPrn[i] = 40 + i;
    r.lStationId = 77;
    r.lQuality = 9;
    r.fSdLatitude = 0.25f;
    r.fSdLongitude = 0.5f;
    r.fSdHeight = 0.75f;
    for (int i = 0; i < POS_ACCURACY_SLOTS; ++i) {
        r.alAccuracyKind[i] = ACCURACY_EMPTY;
        r.afAccuracyValue[i] = 10.0f + static_cast<float>(i);
    }
    r.fSemiMajor = 1.25f;
    r.fSemiMinor = 1.5f;
    r.fOrientation = 45.0f;
    r.fRms = 2.25f;
    r.fCorrectionAge = 4.5f;
    r.lSatellites = 11;
    return r;
}

using Decoder = std::function<int(CString&, PosRecord*)>;
using Change = std::function<void(PosRecord&)>;

struct sPosRow {
    const char* name;
    Decoder decode;
    std::string sentence;
    int result;
    Change expect;          // from the starting record to the expected one
    Change before = nullptr;  // from the previous record to the starting one
};

void RunRows(std::initializer_list<sPosRow> rows) {
    for (const sPosRow& row : rows) {
        SCOPED_TRACE(row.name);
        PosRecord record = PreviousRecord();
        if (row.before) row.before(record);
        PosRecord expected = record;
        if (row.expect) row.expect(expected);
        CString text(row.sentence.c_str());
        EXPECT_EQ(row.decode(text, &record), row.result);
        ExpectSameRecord(record, expected);
    }
}

Decoder Gga(int mode) {
    return [mode](CString& t, PosRecord* r) { return DecodeGGA(t, r, mode); };
}
const Decoder kRmc = [](CString& t, PosRecord* r) { return DecodeRMC(t, r, 3); };
const Decoder kGgk = [](CString& t, PosRecord* r) { return DecodeGGK(t, r, 3); };
const Decoder kGll = [](CString& t, PosRecord* r) { return DecodeGLL(t, r, 3); };
const Decoder kGst = [](CString& t, PosRecord* r) { return DecodeGST(t, r); };
const Decoder kQual = [](CString& t, PosRecord* r) { return DecodeQUAL(t, r); };

void Prns(PosRecord& r, std::initializer_list<int> prns) {
    int i = 0;
    for (int& p : r.alPrn) p = 0;
    for (int p : prns) r.alPrn[i++] = p;
}

void Slot(PosRecord& r, int k, int kind, float value) {
    r.alAccuracyKind[k] = kind;
    r.afAccuracyValue[k] = value;
}

void Fix(PosRecord& r, double latitude, double longitude, double height, int quality) {
    r.dLatitude = latitude;
    r.dLongitude = longitude;
    r.dHeight = height;
    r.lQuality = quality;
}

const std::string kGga = "$GPGGA,123519,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,*47";

// What the public GGA sentence above stands for, with the height that the mode chose.
Change GgaFix(double height) {
    return [height](PosRecord& r) {
        r.stFixTime = Time(2011, 10, 24, 12, 35, 19, 0);
        Fix(r, 48 + 7.038 / 60, 11 + 31.0 / 60, height, 1);
        r.lSatellites = 8;
        r.fCorrectionAge = 0.0f;
        r.lStationId = 0;
        Prns(r, {1, 2, 3, 4, 5, 6, 7, 8});
        Slot(r, 0, ACCURACY_HDOP, 0.9f);
    };
}

Change Then(Change first, Change second) {
    return [first, second](PosRecord& r) {
        first(r);
        second(r);
    };
}

std::string GgaWith(const char* hdop, const char* satellites, const char* tail) {
    return std::string("$GPGGA,123519,4807.038,N,01131.000,E,1,") + satellites + "," + hdop + ",545.4,M,46.9,M" + tail;
}

std::string GgaAt(const char* time, const char* latitude = "4807.038", const char* longitude = "01131.000") {
    return std::string("$GPGGA,") + time + "," + latitude + ",N," + longitude + ",E,1,08,0.9,545.4,M,46.9,M,,*47";
}

Change GgaFixAt(SYSTEMTIME time) {
    return Then(GgaFix(545.4 + 46.9), [time](PosRecord& r) { r.stFixTime = time; });
}

TEST(PositionDecoders, Gga) {
    RunRows({
        {"mode 3: altitude plus separation", Gga(3), kGga, 1, GgaFix(545.4 + 46.9)},
        {"mode 1: altitude", Gga(1), kGga, 1, GgaFix(545.4)},
        {"mode 2: separation", Gga(2), kGga, 1, GgaFix(46.9)},
        {"age and station", Gga(3), GgaWith("0.9", "08", ",2.5,0031*47"), 1,
         Then(GgaFix(545.4 + 46.9), [](PosRecord& r) { r.fCorrectionAge = 2.5f, r.lStationId = 31; })},
        {"no age and station fields", Gga(3), GgaWith("0.9", "08", ""), 1, GgaFix(545.4 + 46.9)},
        {"no age and station fields before the checksum", Gga(3), GgaWith("0.9", "08", "*47"), 1,
         GgaFix(545.4 + 46.9)},
        {"HDOP 0.0 is unknown", Gga(3), GgaWith("0.0", "08", ",,*47"), 1,
         Then(GgaFix(545.4 + 46.9), [](PosRecord& r) { r.afAccuracyValue[0] = 999.0f; })},
        {"empty HDOP is unknown", Gga(3), GgaWith("", "08", ",,*47"), 1,
         Then(GgaFix(545.4 + 46.9), [](PosRecord& r) { r.afAccuracyValue[0] = 999.0f; })},
        {"14 satellites: the list holds 12", Gga(3), GgaWith("0.9", "14", ",,*47"), 1,
         Then(GgaFix(545.4 + 46.9), [](PosRecord& r) {
             r.lSatellites = 14;
             Prns(r, {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12});
         })},
        {"negative satellite count", Gga(3), GgaWith("0.9", "-5", ",,*47"), 1,
         Then(GgaFix(545.4 + 46.9), [](PosRecord& r) { r.lSatellites = -5, Prns(r, {}); })},
        {"HDOP joins merged GSA slots; unknown kinds cleared", Gga(3), kGga, 1,
         Then(GgaFix(545.4 + 46.9), [](PosRecord& r) { Slot(r, 0, 1, 10.0f), Slot(r, 1, 2, 0.9f), r.alAccuracyKind[5] = -1; }),
         [](PosRecord& r) { Slot(r, 0, 1, 10.0f), Slot(r, 1, 2, 1.3f), r.alAccuracyKind[5] = 17; }},
        {"no free slot for HDOP", Gga(3), kGga, 1,
         Then(GgaFix(545.4 + 46.9), [](PosRecord& r) {
             for (int k = 0; k < POS_ACCURACY_SLOTS; ++k) Slot(r, k, ACCURACY_GSA_MODE, 10.0f + k);
         }),
         [](PosRecord& r) {
             for (int& k : r.alAccuracyKind) k = ACCURACY_GSA_MODE;
         }},
        {"empty time: the time stays, never 00:00:00", Gga(3),
         "$GPGGA,,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,*47", 1,
         Then(GgaFix(545.4 + 46.9), [](PosRecord& r) { r.stFixTime = PreviousRecord().stFixTime; })},
        {"no fix: its quality, time, satellites and HDOP, the last coordinates stay", Gga(3),
         "$GPGGA,123519.50,,,,,0,00,99.99,,M,,M,,*7A", 1, [](PosRecord& r) {
             r.lQuality = 0, r.stFixTime = Time(2011, 10, 24, 12, 35, 19, 500), r.lSatellites = 0;
             Prns(r, {}), Slot(r, 0, ACCURACY_HDOP, 99.99f);
         }},
        {"minutes of 60", Gga(3), GgaAt("123519", "5160.5000"), 0, nullptr},
        {"longitude minutes of 75", Gga(3), GgaAt("123519", "4807.038", "00475.0000"), 0, nullptr},
        {"latitude of three degree digits", Gga(3), GgaAt("123519", "05158.8000", "01131.000"), 0, nullptr},
        {"hour 24 is no time: the time stays", Gga(3), GgaAt("245502.00"), 1, GgaFixAt(PreviousRecord().stFixTime)},
        {"minute 61 is no time", Gga(3), GgaAt("106102.00"), 1, GgaFixAt(PreviousRecord().stFixTime)},
        {"a leap second: after 23:59:59, before 00:00:00", Gga(3), GgaAt("235960.50"), 1,
         GgaFixAt(Time(2011, 10, 24, 23, 59, 59, 750))},
        {"a fix without coordinates", Gga(3), "$GPGGA,123519,,,,,1,08,0.9,545.4,M,46.9,M,,*47", 0, nullptr},
        {"a latitude that is no number", Gga(3), "$GPGGA,123519,nan,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,*47", 0,
         nullptr},
        {"latitude beyond 90", Gga(3), "$GPGGA,123519,9158.8,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,*47", 0, nullptr},
        {"longitude beyond 180", Gga(3), "$GPGGA,123519,4807.038,N,18100.0,E,1,08,0.9,545.4,M,46.9,M,,*47", 0, nullptr},
        {"the poles and the antimeridian", Gga(3), "$GPGGA,123519,9000.000,S,18000.000,W,1,08,0.9,545.4,M,46.9,M,,*47",
         1, Then(GgaFix(545.4 + 46.9), [](PosRecord& r) { r.dLatitude = -90.0, r.dLongitude = -180.0; })},
        {"HDOP, altitude and age that are no number read as empty", Gga(3),
         "$GPGGA,123519,4807.038,N,01131.000,E,1,08,inf,nan,M,46.9,M,1.2.3,*47", 1,
         Then(GgaFix(46.9), [](PosRecord& r) { r.afAccuracyValue[0] = 999.0f; })},
        {"empty longitude", Gga(3), "$GPGGA,123519,4807.038,N,,E,1,08,0.9,545.4,M,46.9,M,,*47", 0, nullptr},
        {"cut after the altitude", Gga(3), "$GPGGA,123519,4807.038,N,01131.000,E,1,08,0.9,545.4", 0, nullptr},
        {"cut after the token", Gga(3), "$GPGGA", 0, nullptr},
        {"another sentence", Gga(3), "$GPRMC,125106,V,3854.5087,N,07726.4523,W,0.0,0.0,241011,10.5,W,S*28", 0, nullptr},
        {"garbage", Gga(3), "\x01\xff GGA \x7f", 0, nullptr},
        {"null record", [](CString& t, PosRecord*) { return DecodeGGA(t, nullptr, 3); }, kGga, 0, nullptr},
    });
}

TEST(PositionDecoders, Rmc) {
    const std::string minmea = "$GPRMC,081836.75,A,3751.65,S,14507.36,E,000.0,360.0,130998,011.3,E";
    auto fix = [](int quality) {
        return [quality](PosRecord& r) {
            Fix(r, -(37 + 51.65 / 60), 145 + 7.36 / 60, 0.0, quality);
            r.stFixTime = Time(1998, 9, 13, 8, 18, 36, 750);
        };
    };
    RunRows({{"without a mode indicator", kRmc, minmea, 1, fix(0)},
             // The checksum after field 11 is no mode indicator.
             {"without a mode indicator before the checksum", kRmc, minmea + "*A0", 1, fix(0)},
             {"status V without a mode indicator", kRmc, "$GPRMC,081836.75,V" + minmea.substr(18) + "*A0", 1,
              fix(0)}});
    const char* modes = "NADEMSRFPX";
    for (int q = 0; modes[q] != '\0'; ++q) {
        RunRows({{"mode indicator", kRmc, minmea + "," + modes[q] + "*00", 1, fix(q < 9 ? q : 0)}});
    }
    auto dated = [](int quality, SYSTEMTIME time) {
        return [quality, time](PosRecord& r) {
            Fix(r, 48 + 52.13326 / 60, 2 + 9.49001 / 60, 0.0, quality);
            r.stFixTime = time;
        };
    };
    RunRows({
        {"status V with mode A", kRmc, "$GPRMC,125106,V,3854.5087,N,07726.4523,W,0.0,0.0,241011,10.5,W,A*28", 1,
         [](PosRecord& r) {
             Fix(r, 38 + 54.5087 / 60, -(77 + 26.4523 / 60), 0.0, -1);
             r.stFixTime = Time(2011, 10, 24, 12, 51, 6, 0);
         }},
        {"SBG example", kRmc, "$GPRMC,010802.26,A,4852.13326,N,00209.49001,E,0.2,195.49,290512,,,A*67", 1,
         dated(1, Time(2012, 5, 29, 1, 8, 2, 260))},
        {"empty date keeps the date", kRmc, "$GPRMC,010802.26,A,4852.13326,N,00209.49001,E,0.2,195.49,,,,A*67", 1,
         dated(1, Time(2011, 10, 24, 1, 8, 2, 260))},
        {"cut date keeps the date", kRmc, "$GPRMC,010802.26,A,4852.13326,N,00209.49001,E,0.2,195.49,2905", 1,
         dated(0, Time(2011, 10, 24, 1, 8, 2, 260))},
        {"no fix", kRmc, "$GPRMC,,V,,,,,,,,,,N,V*29", 1, [](PosRecord& r) { r.lQuality = 0; }},
        {"no fix with its time and date", kRmc, "$GPRMC,010802.26,V,,,,,,,290512,,,N*29", 1,
         [](PosRecord& r) { r.lQuality = 0, r.stFixTime = Time(2012, 5, 29, 1, 8, 2, 260); }},
        {"status A without coordinates", kRmc, "$GPRMC,010802.26,A,,,,,0.2,195.49,290512,,,A*67", 0, nullptr},
        {"cut before the date", kRmc, "$GPRMC,081836.75,A,3751.65,S,14507.36,E,000.0", 0, nullptr},
    });
}

TEST(PositionDecoders, GgkAndGll) {
    auto gll = [](int quality, double height, SYSTEMTIME time) {
        return [=](PosRecord& r) {
            Fix(r, 49 + 16.45 / 60, -(123 + 11.12 / 60), height, quality);
            r.stFixTime = time;
        };
    };
    const SYSTEMTIME kept = PreviousRecord().stFixTime;
    RunRows({
        {"GGK: the date field is not read", kGgk,
         "$PTNL,GGK,102939.00,051910,5000.97323841,N,00827.62010742,E,5,09,1.9,EHT150.790,M*73", 1,
         [](PosRecord& r) {
             r.stFixTime = Time(2011, 10, 24, 10, 29, 39, 0);
             Fix(r, 50 + 0.97323841 / 60, 8 + 27.62010742 / 60, 150.79, 5);
             r.lSatellites = 9;
             Prns(r, {1, 2, 3, 4, 5, 6, 7, 8, 9});
             Slot(r, 0, ACCURACY_PDOP, 1.9f);
         }},
        {"GGK with DOP 0 and a negative height clears slots 1 to 5", kGgk,
         "$PTNL,GGK,161159.00,013020,4854.61758182,S,00210.08881241,W,1,07,0.0,EHT-14.509,M*75", 1,
         [](PosRecord& r) {
             r.stFixTime = Time(2011, 10, 24, 16, 11, 59, 0);
             Fix(r, -(48 + 54.61758182 / 60), -(2 + 10.08881241 / 60), -14.509, 1);
             r.lSatellites = 7;
             Prns(r, {1, 2, 3, 4, 5, 6, 7});
             Slot(r, 0, ACCURACY_PDOP, 999.0f);
             r.alAccuracyKind[3] = ACCURACY_EMPTY;
         },
         [](PosRecord& r) { r.alAccuracyKind[3] = ACCURACY_GSA_MODE; }},
        {"GGK without a fix", kGgk, "$PTNL,GGK,,,,,,,0,00,,,M*30", 0, nullptr},
        {"GGK cut after its height", kGgk,
         "$PTNL,GGK,102939.00,051910,5000.97323841,N,00827.62010742,E,5,09,1.9,EHT150.790,M", 0, nullptr},
        {"GLL with time, status A and mode", kGll, "$GPGLL,3723.2475,N,12158.3416,W,161229.487,A,A*41", 1,
         [](PosRecord& r) {
             Fix(r, 37 + 23.2475 / 60, -(121 + 58.3416 / 60), 0.0, 7);
             r.stFixTime = Time(2011, 10, 24, 16, 12, 29, 487);
         }},
        {"GLL status V with mode A", kGll, "$GPGLL,4916.45,N,12311.12,W,225444,V,A*00", 1,
         gll(0, 0.0, Time(2011, 10, 24, 22, 54, 44, 0))},
        {"GLL status V with an empty time", kGll, "$GPGLL,4916.45,N,12311.12,W,,V,N*00", 1, gll(0, 0.0, kept)},
        {"GLL without a time (NMEA 1.5)", kGll, "$GPGLL,4916.45,N,12311.12,W*00", 1, gll(7, 0.0, kept)},
        {"GLL status V, an A in the checksum", kGll, "$GPGLL,4916.45,N,12311.12,W,225448,V*2A", 1,
         gll(0, 0.0, Time(2011, 10, 24, 22, 54, 48, 0))},
        // The mode indicator M (manual input) is no height unit.
        {"GLL status A with mode M", kGll, "$GPGLL,4916.45,N,12311.12,W,225444,A,M*50", 1,
         gll(7, 0.0, Time(2011, 10, 24, 22, 54, 44, 0))},
        {"GLL status V with mode M", kGll, "$GPGLL,4916.45,N,12311.12,W,225444,V,M*47", 1,
         gll(0, 0.0, Time(2011, 10, 24, 22, 54, 44, 0))},
        {"GLL status V", kGll, "$GPGLL,4916.45,N,12311.12,W,225444,V*00", 1, gll(0, 0.0, Time(2011, 10, 24, 22, 54, 44, 0))},
        {"GLL with a height", kGll, "$GPGLL,4916.45,N,12311.12,W,12.5,M*00", 1, gll(1, 12.5, kept)},
        {"GLL without a status", kGll, "$GPGLL,4916.45,N,12311.12,W,225444*00", 1,
         gll(7, 0.0, Time(2011, 10, 24, 22, 54, 44, 0))},
        {"GLL with a time cut to five digits keeps the time", kGll, "$GPGLL,4916.45,N,12311.12,W,22544,A*00", 1,
         gll(7, 0.0, kept)},
        {"GLL without a fix", kGll, "$GPGLL,,,,,225444,V,N*64", 1,
         [](PosRecord& r) { r.lQuality = 0, r.stFixTime = Time(2011, 10, 24, 22, 54, 44, 0); }},
        {"GLL status A without coordinates", kGll, "$GPGLL,,,,,225444,A,A*64", 0, nullptr},
        {"GLL cut after the longitude", kGll, "$GPGLL,4916.45,N,12311.12,W", 0, nullptr},
    });
}

Change At(int h, int m, int s) {
    return [=](PosRecord& r) { r.stFixTime = Time(2011, 10, 24, h, m, s, 500); };
}

void GstValues(PosRecord& r) {
    r.fRms = 3.2f, r.fSemiMajor = 6.6f, r.fSemiMinor = 4.7f, r.fOrientation = 47.3f;
    r.fSdLatitude = 5.8f, r.fSdLongitude = 5.6f, r.fSdHeight = 22.0f;
}

std::string GstAt(const char* time) { return std::string("$GPGST,") + time + ",3.2,6.6,4.7,47.3,5.8,5.6,22.0*58"; }

TEST(AccuracyDecoders, GstRefusedOnlyWhenEarlierInTheDay) {
    RunRows({
        {"same time", kGst, GstAt("024603.00"), 1, GstValues, At(2, 46, 3)},
        {"the next full hour", kGst, GstAt("110000.00"), 1, GstValues, At(10, 59, 59)},
        {"half an hour later", kGst, GstAt("103000.00"), 1, GstValues, At(10, 0, 0)},
        {"one second earlier", kGst, GstAt("105958.00"), 0, nullptr, At(10, 59, 59)},
        {"an hour earlier with larger minutes", kGst, GstAt("095959.00"), 0, nullptr, At(10, 0, 0)},
        {"after midnight", kGst, GstAt("000001.00"), 1, GstValues, At(23, 59, 59)},
        {"before midnight, record after it", kGst, GstAt("235959.00"), 0, nullptr, At(0, 0, 1)},
        {"a day and a second back is earlier", kGst, GstAt("000000.00"), 0, nullptr, At(24, 0, 1)},
        {"values beyond f32 become infinite, not the largest f32", kGst,
         "$GPGST,024603.00,3.40282347e38,-3.40282347e38,4.7,47.3,5.8,5.6,22.0*58", 1,
         [](PosRecord& r) { GstValues(r), r.fRms = INFINITY, r.fSemiMajor = -INFINITY; }, At(2, 46, 3)},
        {"cut: the values read stay", kGst, "$GPGST,024603.00,3.2,6.6,4.7", 0,
         [](PosRecord& r) { r.fRms = 3.2f, r.fSemiMajor = 6.6f, r.fSemiMinor = 4.7f; }, At(2, 46, 3)},
        {"SBG example with an empty RMS: not known", kGst, "$GPGST,172814.00,,0.023,0.020,273.62,0.023,0.015,0.031*46", 1,
         [](PosRecord& r) {
             r.fRms = 999.0f, r.fSemiMajor = 0.023f, r.fSemiMinor = 0.020f, r.fOrientation = 273.62f;
             r.fSdLatitude = 0.023f, r.fSdLongitude = 0.015f, r.fSdHeight = 0.031f;
         },
         At(17, 28, 14)},
        {"no estimate; fields that are no number", kGst, "$GPGST,172814.00,,,,nan,0.0,abc,*46", 1, [](PosRecord& r) {
             r.fRms = r.fSemiMajor = r.fSemiMinor = r.fOrientation = r.fSdLongitude = r.fSdHeight = 999.0f;
             r.fSdLatitude = 0.0f;
         }, At(17, 28, 14)},
    });
}

TEST(AccuracyDecoders, Qual) {
    auto qual = [](int quality) {
        return [quality](PosRecord& r) {
            r.fSdLatitude = 0.3f, r.fSdLongitude = 0.4f, r.fSdHeight = 1.2f;
            r.fRms = static_cast<float>(std::sqrt(0.3 * 0.3 + 0.4 * 0.4 + 1.2 * 1.2));
            r.lQuality = quality;
        };
    };
    RunRows({
        {"three deviations and a quality", kQual, "$PXXX,QUAL,0.3,0.4,1.2,4*00", 1, qual(4)},
        {"empty quality", kQual, "$PXXX,QUAL,0.3,0.4,1.2,*00", 1, qual(0)},
        {"no quality field: nothing stored", kQual, "$PXXX,QUAL,0.3,0.4,1.2", 1, nullptr},
        {"no quality field before the checksum: nothing stored", kQual, "$PXXX,QUAL,0.3,0.4,1.0*29", 1, nullptr},
        {"cut after two values", kQual, "$PXXX,QUAL,0.3,0.4", 0, nullptr},
    });
}

TEST(AccuracyDecoders, GsaStoreAndParts) {
    int number = -1;
    int count = -1;
    PosRecord store = PreviousRecord();
    CString text("$GPGSA,A,3,04,05,,09,12,,,24,,,,,2.5,1.3,2.1*39");
    EXPECT_EQ(DecodeGSA(text, &store, &number, &count), 1);
    PosRecord expected = PreviousRecord();
    Prns(expected, {4, 5, 9, 12, 24});
    expected.lSatellites = 5;
    Slot(expected, 0, ACCURACY_PDOP, 2.5f);
    Slot(expected, 1, ACCURACY_HDOP, 1.3f);
    Slot(expected, 2, ACCURACY_VDOP, 2.1f);
    Slot(expected, 3, ACCURACY_GSA_MODE, 2.0f);
    Slot(expected, 4, ACCURACY_GSA_MODE, 3.0f);
    ExpectSameRecord(store, expected);
    EXPECT_EQ(number, 1);
    EXPECT_EQ(count, 1);

    text = "$GNGSA,M,3,80,71,73,79,69,,,,,,,,1.83,1.09,1.47*17";
    EXPECT_EQ(DecodeGSA(text, &store, &number, &count), 1);
    EXPECT_EQ(number, 2);
    EXPECT_EQ(count, 2);
    EXPECT_FLOAT_EQ(store.afAccuracyValue[3], 1.0f);

    // A count set to 0 by an interrupted run is raised again; a cut sentence still counts.
    count = 0;
    text = "$GPGSA,A";
    EXPECT_EQ(DecodeGSA(text, &store, &number, &count), 1);
    EXPECT_EQ(count, 3);
    EXPECT_EQ(store.alAccuracyKind[3], ACCURACY_GSA_MODE);
    EXPECT_EQ(store.alAccuracyKind[4], ACCURACY_EMPTY);
    text = "$GPGSA,A,3,04,05";
    EXPECT_EQ(DecodeGSA(text, &store, &number, &count), 0);
    EXPECT_EQ(store.lSatellites, 0);
    text = "$GPGSA,A,3,04,05,,09,12,,,24,,,,,2.5";
    EXPECT_EQ(DecodeGSA(text, &store, &number, &count), 1);
    EXPECT_EQ(store.lSatellites, 5);
    EXPECT_EQ(store.alAccuracyKind[1], ACCURACY_EMPTY);
    // Without a VDOP field, the checksum is no VDOP.
    text = "$GPGSA,A,3,04,05,,09,12,,,24,,,,,2.5,1.3*38";
    EXPECT_EQ(DecodeGSA(text, &store, &number, &count), 1);
    EXPECT_FLOAT_EQ(store.afAccuracyValue[1], 1.3f);
    EXPECT_EQ(store.alAccuracyKind[2], ACCURACY_EMPTY);
    // The part counter saturates instead of overflowing.
    number = INT_MAX;
    text = "$GPGSA,A";
    EXPECT_EQ(DecodeGSA(text, &store, &number, &count), 1);
    EXPECT_EQ(number, INT_MAX);
    text = "$GPGSA,A";
    EXPECT_EQ(DecodeGSA(text, &store, &number, nullptr), 0);
}

TEST(AccuracyDecoders, GsvKeepsTrackedSatellites) {
    const struct {
        const char* sentence;
        int result, count, number, inView;
        std::initializer_list<int> prns;
    } rows[] = {
        {"$GPGSV,3,3,11,22,42,067,42,24,14,311,43,27,05,244,00,,,,*4D", 1, 3, 3, 11, {22, 24, 27}},
        {"$GPGSV,4,2,11,08,51,203,30,09,45,215,28*75", 1, 4, 2, 11, {8, 9}},
        // The last satellite has no signal-to-noise value: not kept.
        {"$GPGSV,4,1,13,02,28,259,33,04,12,212,27,05,34,305,30,07,79,138,*7F", 1, 4, 1, 13, {2, 4, 5}},
        // Signal id after the satellites, empty values between.
        {"$GPGSV,3,1,11,09,57,333,29.0,07,54,227,,04,49,043,24.5,03,43,129,,1*67", 1, 3, 1, 11, {9, 4}},
        // No satellite fields: the checksum is no satellite.
        {"$GPGSV,4,4,13*7B", 1, 4, 4, 13, {}},
        // The last part of NMEA 4.10 with fewer than four satellites: the signal id ends it.
        {"$GPGSV,3,3,09,32,40,200,38,1*6E", 1, 3, 3, 9, {32}},
        {"$GPGSV,3,3,10,32,40,200,38,01,20,100,5,1*60", 1, 3, 3, 10, {32, 1}},
        {"$GPGSV,1,1,00,1*64", 1, 1, 1, 0, {}},
        // A signal-to-noise value of one digit before the checksum: the checksum is no satellite.
        {"$GPGSV,3,3,09,32,40,200,5*5A", 1, 3, 3, 9, {32}},
        {"$GPGSV,4,4", 0, 4, 4, 9 /* kept */, {}},
        {"$GPGSV,3,1,11,09,57,333", 0, 3, 1, 11, {9}},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.sentence);
        int number = -1;
        int count = -1;
        PosRecord store = PreviousRecord();
        CString text(row.sentence);
        EXPECT_EQ(DecodeGSV(text, &store, &number, &count), row.result);
        PosRecord expected = PreviousRecord();
        Prns(expected, row.prns);
        expected.lSatellites = row.result == 1 ? static_cast<int>(row.prns.size()) : 0;
        expected.lQuality = row.inView;
        ExpectSameRecord(store, expected);
        EXPECT_EQ(count, row.count);
        EXPECT_EQ(number, row.number);
    }
}

TEST(AccuracyDecoders, MergeKeepsTheListInBounds) {
    PosRecord gsa = PreviousRecord();
    Prns(gsa, {4, 5, 9, 12, 24});
    gsa.lSatellites = 5;
    Slot(gsa, 0, ACCURACY_PDOP, 2.5f);

    PosRecord record = PreviousRecord();
    EXPECT_EQ(MergePartStore(&record, &gsa, 1, TRUE), 1);
    EXPECT_EQ(MergePartStore(&record, &gsa, 2, TRUE), 1);
    EXPECT_EQ(MergePartStore(&record, &gsa, 3, TRUE), 1);
    PosRecord expected = PreviousRecord();
    Prns(expected, {4, 5, 9, 12, 24, 4, 5, 9, 12, 24, 4, 5});
    expected.lSatellites = 15;
    Slot(expected, 0, ACCURACY_PDOP, 2.5f);
    ExpectSameRecord(record, expected);

    // A GSV part 1 takes the list but not the accuracy slots.
    record = PreviousRecord();
    EXPECT_EQ(MergePartStore(&record, &gsa, 1, FALSE), 1);
    EXPECT_EQ(record.alAccuracyKind[0], ACCURACY_EMPTY);
    EXPECT_EQ(record.alPrn[4], 24);

    // Counts stored by GGA or GGK may lie anywhere; the list index stays within the list.
    const struct {
        int count, firstIndex, mergedCount;
    } counts[] = {{-1000000, 0, -1000000 + 5}, {-1, 0, 4}, {12, 12, 17}, {14, 12, 19}, {INT_MAX, 12, INT_MAX},
                  {INT_MIN, 0, INT_MIN + 5}};
    for (const auto& c : counts) {
        SCOPED_TRACE(c.count);
        record = PreviousRecord();
        record.lSatellites = c.count;
        EXPECT_EQ(MergePartStore(&record, &gsa, 2, TRUE), 1);
        expected = PreviousRecord();
        expected.lSatellites = c.mergedCount;
        for (int i = c.firstIndex, j = 0; i < POS_PRN_COUNT && j < 5; ++i, ++j) expected.alPrn[i] = gsa.alPrn[j];
        ExpectSameRecord(record, expected);
    }
    record = PreviousRecord();
    EXPECT_EQ(MergePartStore(&record, &gsa, 0, TRUE), 0);
    ExpectSameRecord(record, PreviousRecord());
}

TEST(HeadingDecoders, Table) {
    const struct {
        const char* sentence;
        int (*decode)(CString&, NavRecord*, double*);
        double variationIn;
        int result;
        double heading;
        float status;
        double variationOut;
    } rows[] = {
        {"$GPHDT,123.4,T*00", DecodeHDT, 0.0, 1, 123.4, STATUS_NEW, 0.0},
        {"$GPHDT,,T*1B", DecodeHDT, 0.0, 1, 0.0, STATUS_NEW_INVALID, 0.0},
        {"$GPHDT,123.4,M*00", DecodeHDT, 0.0, 1, 123.4, STATUS_NEW_INVALID, 0.0},
        {"$GPHDT,123.4", DecodeHDT, 0.0, 0, 7.5, STATUS_NONE, 0.0},
        {"$HCHDG,100.0,2.0,W,3.5,E*00", DecodeHDG, 0.0, 1, 101.5, STATUS_NEW, 3.5},
        {"$HCHDG,100.0,2.0,E,3.5,W*00", DecodeHDG, 0.0, 1, 98.5, STATUS_NEW, -3.5},
        {"$SDHDG,229.8,,,1.3,E*36", DecodeHDG, 0.0, 1, 229.8 + 1.3, STATUS_NEW, 1.3},
        {"$HCHDG,100.0,2.0,W,3.5", DecodeHDG, 9.0, 0, 7.5, STATUS_NONE, 9.0},
        {"$HCHDG,,,,,*6C", DecodeHDG, 0.0, 1, 0.0, STATUS_NEW_INVALID, 0.0},
        {"$HCHDM,,M*00", DecodeHDM, 3.5, 1, 3.5, STATUS_NEW_INVALID, 3.5},
        {"$HCHDM,100.0,M*00", DecodeHDM, 3.5, 1, 103.5, STATUS_NEW, 3.5},
        {"$HCHDM,100.0,T*00", DecodeHDM, 3.5, 0, 7.5, STATUS_NONE, 3.5},
        {"$HCHCD,100.0,M*00", DecodeHCD, -3.5, 1, 96.5, STATUS_NEW, -3.5},
        {"$HCHCD,100.0,,*00", DecodeHCD, -3.5, 0, 7.5, STATUS_NONE, -3.5},
        {"$HCHCC,100.0*00", DecodeHCC, 2.0, 1, 102.0, STATUS_NEW, 2.0},
        {"$HCHCC,*00", DecodeHCC, 2.0, 1, 2.0, STATUS_NEW_INVALID, 2.0},
        {"$HCHCC", DecodeHCC, 2.0, 0, 7.5, STATUS_NONE, 2.0},
        // Headings are brought into [0, 360); a heading field beyond [0, 360] or that holds no
        // number is empty.
        {"$HCHDG,358.0,,,3.5,E*00", DecodeHDG, 0.0, 1, 1.5, STATUS_NEW, 3.5},
        {"$HCHDG,1.0,2.0,W,1.0,W*00", DecodeHDG, 0.0, 1, 358.0, STATUS_NEW, -1.0},
        {"$HCHDG,100.0,abc,W,-,E*00", DecodeHDG, 9.0, 1, 109.0, STATUS_NEW, 9.0},
        {"$HCHDM,100.0,M*00", DecodeHDM, -103.5, 1, 356.5, STATUS_NEW, -103.5},
        {"$HCHDM,-5.0,M*00", DecodeHDM, 3.5, 1, 3.5, STATUS_NEW_INVALID, 3.5},
        {"$HCHCC,360.0*00", DecodeHCC, 0.0, 1, 0.0, STATUS_NEW, 0.0},
        {"$GPHDT,361.5,T*00", DecodeHDT, 0.0, 1, 0.0, STATUS_NEW_INVALID, 0.0},
        {"$GPHDT,abc,T*00", DecodeHDT, 0.0, 1, 0.0, STATUS_NEW_INVALID, 0.0},
        {"$GPHDT,nan,T*00", DecodeHDT, 0.0, 1, 0.0, STATUS_NEW_INVALID, 0.0},
        {"$GPHDT,inf,T*00", DecodeHDT, 0.0, 1, 0.0, STATUS_NEW_INVALID, 0.0},
        {"$GPHDT,-,T*00", DecodeHDT, 0.0, 1, 0.0, STATUS_NEW_INVALID, 0.0},
        {"$GPHDT,1.2.3,T*00", DecodeHDT, 0.0, 1, 0.0, STATUS_NEW_INVALID, 0.0},
        {"$GPHDT,1e999,T*00", DecodeHDT, 0.0, 1, 0.0, STATUS_NEW_INVALID, 0.0},
        {"$GPHDT,123.4,T*00", DecodeHDM, 0.0, 0, 7.5, STATUS_NONE, 0.0},
        // Without a variation (NaN: none given) a magnetic heading is taken as read, not valid.
        {"$HCHDM,100.0,M*00", DecodeHDM, NAN, 1, 100.0, STATUS_NEW_INVALID, NAN},
        {"$HCHCD,100.0,M*00", DecodeHCD, NAN, 1, 100.0, STATUS_NEW_INVALID, NAN},
        {"$HCHCC,100.0*00", DecodeHCC, NAN, 1, 100.0, STATUS_NEW_INVALID, NAN},
        // An HDG without its variation is magnetic: corrected by the one given, which stays.
        {"$HCHDG,10.0,1.0,E,,*00", DecodeHDG, NAN, 1, 11.0, STATUS_NEW_INVALID, NAN},
        {"$HCHDG,10.0,,,,*73", DecodeHDG, 3.5, 1, 13.5, STATUS_NEW, 3.5},
        {"$HCHDG,10.0,,,0.0,E*00", DecodeHDG, 3.5, 1, 10.0, STATUS_NEW, 0.0},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.sentence);
        NavRecord record{};
        record.stTime = Time(2011, 10, 24, 1, 2, 3, 4);
        record.dwObsId = 111;
        record.dHeading = 7.5;
        record.fStatus = STATUS_NONE;
        NavRecord expected = record;
        expected.dHeading = row.heading;
        expected.fStatus = row.status;
        double variation = row.variationIn;
        CString text(row.sentence);
        EXPECT_EQ(row.decode(text, &record, std::isnan(variation) ? nullptr : &variation), row.result);
        ExpectSameRecord(record, expected);
        if (!std::isnan(variation)) {
            EXPECT_DOUBLE_EQ(variation, row.variationOut);
        }
    }
    CString text("$GPHDT,1,T");
    EXPECT_EQ(DecodeHDT(text, nullptr, nullptr), 0);
}

TEST(RateTimeAndCourseDecoders, Rot) {
    const struct {
        const char* sentence;
        int result;
        double rate;
        float status;
    } rows[] = {
        {"$HEROT,-12.5,A*00", 1, -12.5, STATUS_NEW},
        {"$HEROT,-12.5,V*00", 1, -12.5, STATUS_NONE},
        {"$HEROT,,A*00", 1, 0.0, STATUS_NEW_INVALID},
        {"$HEROT,-1.5e,A*00", 1, 0.0, STATUS_NEW_INVALID},
        {"$HEROT,3.0", 0, 9.0, STATUS_NEW_INVALID},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.sentence);
        RotRecord record{};
        record.dwObsId = 611;
        record.dRate = 9.0;
        record.fStatus = STATUS_NEW_INVALID;
        RotRecord expected = record;
        expected.dRate = row.rate;
        expected.fStatus = row.status;
        CString text(row.sentence);
        EXPECT_EQ(DecodeROT(text, &record), row.result);
        ExpectSameRecord(record, expected);
    }
}

TEST(RateTimeAndCourseDecoders, ZdaAndVariation) {
    SYSTEMTIME st = Time(1999, 1, 1, 1, 1, 1, 1);
    st.wDayOfWeek = 5;
    CString text("$GPZDA,160012.71,11,03,2004,-1,00*7D");
    EXPECT_EQ(DecodeZDA(text, &st), 1);
    ExpectSameRecord(st, Time(2004, 3, 11, 16, 0, 12, 710));
    text = "$GPZDA,,,,,,*48";
    EXPECT_EQ(DecodeZDA(text, &st), 1);
    ExpectSameRecord(st, SYSTEMTIME{});
    text = "$GPZDA,160012.71,11";
    EXPECT_EQ(DecodeZDA(text, &st), 0);
    ExpectSameRecord(st, Time(0, 0, 11, 16, 0, 12, 710));

    double variation = 1.0;
    text = "$HCHVD,3.5,W*00";
    EXPECT_EQ(DecodeHVD(text, &variation), 1);
    EXPECT_DOUBLE_EQ(variation, -3.5);
    text = "$HCHVM,2.25,E*00";
    EXPECT_EQ(DecodeHVM(text, &variation), 1);
    EXPECT_DOUBLE_EQ(variation, 2.25);
    text = "$HCHVM";
    EXPECT_EQ(DecodeHVM(text, &variation), 0);
}

TEST(RateTimeAndCourseDecoders, Vtg) {
    ASSERT_EQ(SetUnit(UNIT_METERS), 1);
    const struct {
        const char* sentence;
        int result;
        double course, knots;
    } rows[] = {
        {"$GPVTG,054.7,T,034.4,M,005.5,N,010.2,K*48", 1, 54.7, 5.5},
        {"$GPVTG,188.36,T,,M,0.820,N,1.519,K,A*3F", 1, 188.36, 0.82},
        {"$GNVTG,,,,,,,,,N*2E", 0, -1.0, -1.0},
        {"$GPVTG,054.7,T,034.4,M,005.5,K,010.2,K*48", 0, -1.0, -1.0},
        {"$GPVTG,054.7,T,034.4,M,005.5", 0, -1.0, -1.0},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.sentence);
        double course = -1.0;
        double speed = -1.0;
        CString text(row.sentence);
        EXPECT_EQ(DecodeVTG(text, &course, &speed), row.result);
        EXPECT_DOUBLE_EQ(course, row.course);
        EXPECT_NEAR(speed, row.result ? row.knots * 1852.0 / 3600.0 : -1.0, 1e-12);
    }
    double course = 0.0;
    CString text("$GPVTG,054.7,T,034.4,M,005.5,N,010.2,K*48");
    EXPECT_EQ(DecodeVTG(text, &course, nullptr), 1);
    EXPECT_DOUBLE_EQ(course, 54.7);
}

}  // namespace
