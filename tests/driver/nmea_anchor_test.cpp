// The decoders against public data: real sentences from many receivers with the values that other
// decoders read from them (pynmea2 columns of the GPSD regression logs and of the SBG and Trimble
// examples), and every sentence of the GPSD corpus through every decoder. The files and their
// licences are in tests/data.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <map>
#include <random>
#include <regex>
#include <string>
#include <vector>

#include "driver/nmea_codec.h"
#include "driver/nmea_decoders.h"

namespace {

struct sTable {
    std::vector<std::string> header;
    std::vector<std::vector<std::string>> rows;

    // The named column of a row; names match with or without the "pynmea2_" prefix.
    std::string Get(const std::vector<std::string>& row, const std::string& name) const {
        for (size_t i = 0; i < header.size() && i < row.size(); ++i) {
            if (header[i] == name || header[i] == "pynmea2_" + name) return row[i];
        }
        return {};
    }
};

std::vector<std::string> SplitTabs(const std::string& line) {
    std::vector<std::string> out(1);
    for (char c : line) {
        if (c == '\t') {
            out.emplace_back();
        } else if (c != '\r') {
            out.back() += c;
        }
    }
    return out;
}

sTable ReadTable(const std::string& name) {
    std::ifstream in(std::string(VOK_SOURCE_DIR "/tests/data/") + name);
    EXPECT_TRUE(in.good()) << name;
    sTable table;
    std::string line;
    while (std::getline(in, line)) {
        if (line.empty() || line[0] == '#') continue;
        if (table.header.empty()) {
            table.header = SplitTabs(line);
        } else {
            table.rows.push_back(SplitTabs(line));
        }
    }
    return table;
}

double Number(const std::string& s) { return std::strtod(s.c_str(), nullptr); }

// "12:35:19" or "01:08:02.260000".
void ExpectTimeOfDay(const SYSTEMTIME& st, const std::string& text) {
    if (text.size() < 8) {
        EXPECT_EQ(st.wHour * 3600 + st.wMinute * 60 + st.wSecond, 0);
        return;
    }
    EXPECT_EQ(st.wHour, std::atoi(text.substr(0, 2).c_str()));
    EXPECT_EQ(st.wMinute, std::atoi(text.substr(3, 2).c_str()));
    EXPECT_EQ(st.wSecond, std::atoi(text.substr(6, 2).c_str()));
    const double fraction = text.size() > 8 ? Number("0" + text.substr(8)) : 0.0;
    EXPECT_NEAR(st.wMilliseconds, fraction * 1000.0, 0.51);
}

// "2011-10-24" or "2002-7-4"; "None-None-None" and "" give nothing to compare.
bool ExpectDate(const SYSTEMTIME& st, const std::string& text, bool twoDigitYear) {
    const size_t a = text.find('-');
    const size_t b = text.find('-', a == std::string::npos ? 0 : a + 1);
    if (a == std::string::npos || b == std::string::npos || text.find("None") != std::string::npos) return false;
    const int year = std::atoi(text.substr(0, a).c_str());
    EXPECT_EQ(twoDigitYear ? st.wYear % 100 : st.wYear, twoDigitYear ? year % 100 : year);
    EXPECT_EQ(st.wMonth, std::atoi(text.substr(a + 1, b - a - 1).c_str()));
    EXPECT_EQ(st.wDay, std::atoi(text.substr(b + 1).c_str()));
    return true;
}

// "1.3E" or "2.0W" as signed degrees, west negative.
double SignedEW(const std::string& text) {
    const double v = Number(text);
    return !text.empty() && text.back() == 'W' ? -v : v;
}

double NumberAfterPrefix(const std::string& text) {
    const size_t p = text.find_first_of("-0123456789.");
    return p == std::string::npos ? 0.0 : Number(text.substr(p));
}

PosRecord StartRecord() {
    PosRecord r{};
    r.stFixTime.wYear = 1999;
    r.stFixTime.wMonth = 8;
    r.stFixTime.wDay = 21;
    for (int32_t& kind : r.alAccuracyKind) kind = ACCURACY_EMPTY;
    return r;
}

std::vector<std::string> Fields(const std::string& sentence) {
    std::vector<std::string> out(1);
    for (char c : sentence.substr(0, sentence.find('*'))) {
        if (c == ',') {
            out.emplace_back();
        } else {
            out.back() += c;
        }
    }
    return out;
}

// Rows that the two decoders may read differently by design are left out: damaged lines (bad or
// missing checksum, stray characters), coordinates that are not ddmm.mmm / dddmm.mmm with minutes
// below 60 (pynmea2 takes every digit before the minutes as degrees, and minutes of 60; ours
// refuses them), and GSA
// sentences without their twelve PRN fields (which ours refuses).
bool IsComparable(const std::string& type, const std::string& sentence, const std::string& checksum) {
    static const std::regex printable("[$A-Z][A-Za-z0-9$,.*+-]*");
    if (checksum == "bad" || checksum == "none" || !std::regex_match(sentence, printable)) return false;
    const std::vector<std::string> f = Fields(sentence);
    static const std::regex latitude("(\\d{2}[0-5]\\d\\.\\d*)?");
    static const std::regex longitude("(\\d{3}[0-5]\\d\\.\\d*)?");
    const size_t first = type == "TNLGGK" ? 4 : type == "GGA" ? 2 : type == "RMC" ? 3 : type == "GLL" ? 1 : 0;
    if (first > 0) {
        return f.size() > first + 2 && std::regex_match(f[first], latitude) && std::regex_match(f[first + 2], longitude);
    }
    if (type == "GSA") return f.size() >= 18;
    return true;
}

// Compares one oracle row with our decoder; returns whether the row's type was one of ours.
bool CheckRow(const sTable& table, const std::vector<std::string>& row) {
    const std::string type = table.Get(row, "type");
    const std::string sentence = table.Get(row, "sentence");
    if (table.Get(row, "result") != "ok" || sentence.empty()) return false;
    if (!IsComparable(type, sentence, table.Get(row, "checksum"))) return false;
    SCOPED_TRACE(sentence);
    const std::string lat = table.Get(row, "lat_deg");
    const std::string time = table.Get(row, "time");
    CString text(sentence.c_str());
    PosRecord record = StartRecord();

    if (type == "GGA" || type == "RMC" || type == "GLL" || type == "TNLGGK") {
        int result = 0;
        if (type == "GGA") result = DecodeGGA(text, &record, 1);
        if (type == "RMC") result = DecodeRMC(text, &record, 3);
        if (type == "GLL") result = DecodeGLL(text, &record, 3);
        if (type == "TNLGGK") result = DecodeGGK(text, &record, 3);
        const std::string lon = table.Get(row, "lon_deg");
        // A sentence that reports no fix and has no coordinates is written as no fix.
        const bool located = !lat.empty() && !lon.empty();
        const bool noFix = type == "GGA" ? std::atoi(table.Get(row, "quality").c_str()) == 0
                                         : type != "TNLGGK" && table.Get(row, "status") == "V";
        EXPECT_EQ(result, located || noFix ? 1 : 0);
        if (result != 0 && !located) {
            EXPECT_TRUE(record.lQuality == 0 && record.dLatitude == 0.0);
        }
        if (result == 0 || !located) return true;
        EXPECT_NEAR(record.dLatitude, Number(lat), 1e-8);
        EXPECT_NEAR(record.dLongitude, Number(lon), 1e-8);
        if (type != "GLL" || !time.empty()) ExpectTimeOfDay(record.stFixTime, time);
        if (type == "GGA" || type == "TNLGGK") {
            EXPECT_EQ(record.lQuality, std::atoi(table.Get(row, "quality").c_str()));
            EXPECT_EQ(record.lSatellites, std::atoi(table.Get(row, "nsat").c_str()));
            const double dop = Number(table.Get(row, "hdop"));
            EXPECT_FLOAT_EQ(record.afAccuracyValue[0], dop > 0.0 ? static_cast<float>(dop) : 999.0f);
        }
        if (type == "GGA") {
            const double altitude = Number(table.Get(row, "alt_msl_m"));
            const double separation = Number(table.Get(row, "geoid_sep_m"));
            EXPECT_NEAR(record.dHeight, altitude, 1e-9);
            for (int mode : {2, 3}) {
                PosRecord other = StartRecord();
                CString again(sentence.c_str());
                EXPECT_EQ(DecodeGGA(again, &other, mode), 1);
                EXPECT_NEAR(other.dHeight, mode == 2 ? separation : altitude + separation, 1e-9);
            }
        }
        if (type == "TNLGGK") {
            EXPECT_NEAR(record.dHeight, NumberAfterPrefix(table.Get(row, "ellipsoid_height")), 1e-9);
        }
        if (type == "RMC") {
            if (!ExpectDate(record.stFixTime, table.Get(row, "date"), true)) {
                EXPECT_EQ(record.stFixTime.wYear, 1999);
            }
            // The mode indicator (NMEA 2.3) is field 12; older receivers send none, and the
            // checksum after field 11 is no mode.
            const std::vector<std::string> f = Fields(sentence);
            static const std::string modes = "NADEMSRFP";
            const size_t mode = f.size() > 12 && !f[12].empty() ? modes.find(f[12][0]) : std::string::npos;
            const int quality = mode == std::string::npos ? 0 : static_cast<int>(mode);
            EXPECT_EQ(record.lQuality, table.Get(row, "status") == "A" ? quality : -quality);
        }
        return true;
    }
    if (type == "GST") {
        ParseTime(CString(time.size() >= 8 ? (time.substr(0, 2) + time.substr(3, 2) + time.substr(6)).c_str() : ""),
                  &record.stFixTime);
        EXPECT_EQ(DecodeGST(text, &record), 1);
        for (const auto& [value, column] : std::initializer_list<std::pair<float PosRecord::*, const char*>>{
                 {&PosRecord::fRms, "gst_rms"}, {&PosRecord::fSemiMajor, "gst_major"}, {&PosRecord::fSemiMinor, "gst_minor"},
                 {&PosRecord::fOrientation, "gst_orient"}, {&PosRecord::fSdLatitude, "sd_lat_m"},
                 {&PosRecord::fSdLongitude, "sd_lon_m"}, {&PosRecord::fSdHeight, "sd_alt_m"}}) {
            const std::string v = table.Get(row, column);  // an empty field is not known
            EXPECT_FLOAT_EQ(record.*value, v.empty() ? 999.0f : static_cast<float>(Number(v))) << column;
        }
        return true;
    }
    if (type == "GSA") {
        int number = -1;
        int count = -1;
        EXPECT_EQ(DecodeGSA(text, &record, &number, &count), 1);
        EXPECT_EQ(number, 1);
        EXPECT_FLOAT_EQ(record.afAccuracyValue[4], static_cast<float>(Number(table.Get(row, "fix_type"))));
        EXPECT_FLOAT_EQ(record.afAccuracyValue[0], static_cast<float>(Number(table.Get(row, "pdop"))));
        EXPECT_FLOAT_EQ(record.afAccuracyValue[1], static_cast<float>(Number(table.Get(row, "hdop"))));
        EXPECT_FLOAT_EQ(record.afAccuracyValue[2], static_cast<float>(Number(table.Get(row, "vdop"))));
        return true;
    }
    if (type == "GSV") {
        int number = -1;
        int count = -1;
        // Fields 4 on are satellites of four fields each; one more field (NMEA 4.10) is the
        // signal id. A satellite is kept when it has a PRN and a signal-to-noise field.
        const std::vector<std::string> f = Fields(sentence);
        const size_t satelliteFields = f.size() > 4 ? f.size() - 4 : 0;
        std::vector<int> kept;
        for (size_t k = 4; k + 3 < f.size() && kept.size() < 4; k += 4) {
            if (std::atoi(f[k].c_str()) > 0 && !f[k + 3].empty()) kept.push_back(std::atoi(f[k].c_str()));
        }
        const bool whole = satelliteFields % 4 == 0 || satelliteFields % 4 == 1;
        EXPECT_EQ(DecodeGSV(text, &record, &number, &count), whole ? 1 : 0);
        if (whole) {
            EXPECT_EQ(record.lSatellites, static_cast<int>(kept.size()));
            for (size_t k = 0; k < kept.size(); ++k) EXPECT_EQ(record.alPrn[k], kept[k]) << k;
        }
        EXPECT_EQ(count, std::atoi(table.Get(row, "gsv_total").c_str()));
        EXPECT_EQ(number, std::atoi(table.Get(row, "gsv_num").c_str()));
        EXPECT_EQ(record.lQuality, std::atoi(table.Get(row, "sv_in_view").c_str()));
        return true;
    }
    if (type == "HDT" || type == "HDG" || type == "HDM" || type == "ROT") {
        NavRecord nav{};
        RotRecord rot{};
        double variation = 0.0;
        const std::string heading = table.Get(row, "heading");
        if (type == "HDT") {
            EXPECT_EQ(DecodeHDT(text, &nav, &variation), 1);
            EXPECT_DOUBLE_EQ(nav.dHeading, Number(heading));
            EXPECT_EQ(nav.fStatus, heading.empty() || table.Get(row, "heading_ref") != "T" ? STATUS_NEW_INVALID
                                                                                              : STATUS_NEW);
        } else if (type == "HDG") {
            EXPECT_EQ(DecodeHDG(text, &nav, &variation), 1);
            const double east = SignedEW(table.Get(row, "variation"));
            EXPECT_NEAR(nav.dHeading, Number(heading) + SignedEW(table.Get(row, "deviation")) + east, 1e-9);
            EXPECT_DOUBLE_EQ(variation, east);
        } else if (type == "HDM") {
            variation = 1.5;
            EXPECT_EQ(DecodeHDM(text, &nav, &variation), 1);
            EXPECT_DOUBLE_EQ(nav.dHeading, Number(heading) + 1.5);
        } else {
            EXPECT_EQ(DecodeROT(text, &rot), 1);
            EXPECT_DOUBLE_EQ(rot.dRate, Number(table.Get(row, "rot_deg_per_min")));
            EXPECT_EQ(rot.fStatus, table.Get(row, "status") == "A" ? STATUS_NEW : STATUS_NONE);
        }
        return true;
    }
    if (type == "ZDA") {
        SYSTEMTIME st{};
        EXPECT_EQ(DecodeZDA(text, &st), 1);
        ExpectTimeOfDay(st, time);
        if (!ExpectDate(st, table.Get(row, "date"), false)) {
            EXPECT_EQ(st.wYear + st.wMonth + st.wDay, 0);
        }
        return true;
    }
    return false;
}

int CheckTable(const std::string& name) {
    const sTable table = ReadTable(name);
    int checked = 0;
    for (const auto& row : table.rows) checked += CheckRow(table, row) ? 1 : 0;
    return checked;
}

TEST(NmeaAnchors, GpsdLogsAgreeWithPynmea2) {
    EXPECT_GT(CheckTable("gpsd/expected-position-sample.tsv"), 2000);
    EXPECT_GT(CheckTable("gpsd/expected-quality-sample.tsv"), 2000);
    EXPECT_GT(CheckTable("gpsd/expected-heading.tsv"), 1700);
    EXPECT_GT(CheckTable("gpsd/expected-time.tsv"), 1200);
}

TEST(NmeaAnchors, DocumentedInsAndTrimbleExamples) {
    EXPECT_EQ(CheckTable("peers/ggk-samples.tsv"), 3);
    EXPECT_GE(CheckTable("peers/sbgecom-doc-examples.tsv"), 15);
}

std::vector<std::string> Sentences(const std::string& name) {
    const sTable table = ReadTable(name);
    std::vector<std::string> out;
    for (const auto& row : table.rows) out.push_back(table.Get(row, "sentence"));
    return out;
}

// Every decoder and parser on one text; the record's fields that no decoder writes must stay
// untouched, so a write outside its field would be seen even where the sanitizer cannot see it.
struct sRobustRun {
    PosRecord pos = StartRecord();
    PosRecord gsa = StartRecord();
    PosRecord gsv = StartRecord();
    NavRecord nav{};
    RotRecord rot{};
    SYSTEMTIME zda{};
    double variation = 0.0;
    double value = 0.0;
    int gsaNumber = -1;
    int gsaCount = -1;
    int gsvNumber = -1;
    int gsvCount = -1;

    sRobustRun() {
        for (PosRecord* r : {&pos, &gsa, &gsv}) {
            r->dwLatitudeId = 30;
            r->dwLongitudeId = 31;
            r->dwHeightId = 32;
        }
        nav.dwObsId = 11;
        rot.dwObsId = 61;
    }

    void Run(const std::string& sentence) {
        const auto fresh = [&sentence] { return CString(sentence.c_str(), static_cast<int>(sentence.size())); };
        CString t;
        for (auto d : {DecodeGGA, DecodeRMC, DecodeGGK, DecodeGLL}) {
            for (int mode : {0, 2, 3}) d(t = fresh(), &pos, mode, nullptr);
        }
        DecodeGST(t = fresh(), &pos);
        DecodeQUAL(t = fresh(), &pos);
        if (DecodeGSA(t = fresh(), &gsa, &gsaNumber, &gsaCount)) MergePartStore(&pos, &gsa, gsaNumber, TRUE);
        if (DecodeGSV(t = fresh(), &gsv, &gsvNumber, &gsvCount)) MergePartStore(&pos, &gsv, gsvNumber, FALSE);
        for (auto d : {DecodeHDT, DecodeHDG, DecodeHDM, DecodeHCD, DecodeHCC}) d(t = fresh(), &nav, &variation);
        DecodeROT(t = fresh(), &rot);
        DecodeZDA(t = fresh(), &zda);
        DecodeHVD(t = fresh(), &value);
        DecodeHVM(t = fresh(), &value);
        DecodeVTG(t = fresh(), &value, &value);

        // Each parser at the start of every field.
        t = fresh();
        SYSTEMTIME st{};
        do {
            value += ParseLatitude(t) + ParseLongitude(t) + ParseNumberSkippingPrefix(t) + ParseSignedValueEW(t);
            ParseTime(t, &st);
            ParseDateDdMmYy(t, &st);
            ParseDateMmDdYy(t, &st);
            ParseDateDdMmYyyy(t, &st);
            value += static_cast<double>(ParseInteger(t)) + GetFieldLength(t);
        } while (SkipFields(t, 1));

        for (const PosRecord* r : {&pos, &gsa, &gsv}) {
            ASSERT_EQ(r->dwLatitudeId, 30u);
            ASSERT_EQ(r->dwLongitudeId, 31u);
            ASSERT_EQ(r->dwHeightId, 32u);
            ASSERT_EQ(r->dwReserved20 | r->dwReserved36 | r->dwReserved52 | r->dwReserved68, 0u);
            for (uint8_t b : r->abReserved136) ASSERT_EQ(b, 0);
            ASSERT_EQ(r->dwZero80, 0u);
        }
        ASSERT_EQ(nav.dwObsId, 11u);
        ASSERT_EQ(rot.dwObsId, 61u);
    }
};

TEST(NmeaAnchors, EveryCorpusSentenceThroughEveryDecoder) {
    const std::vector<std::string> corpus = Sentences("gpsd/nmea-corpus.tsv");
    ASSERT_GT(corpus.size(), 38000u);
    sRobustRun run;
    for (const std::string& s : corpus) {
        run.Run(s);
        if (HasFatalFailure()) FAIL() << s;
    }
}

TEST(NmeaAnchors, PeerTestSentencesThroughEveryDecoder) {
    sRobustRun run;
    for (const char* file : {"peers/go-nmea-cases.tsv", "peers/sbgecom-doc-examples.tsv", "peers/ggk-samples.tsv",
                             "peers/minmea-check.tsv"}) {
        for (const std::string& s : Sentences(file)) {
            run.Run(s);
            if (HasFatalFailure()) FAIL() << s;
        }
    }
}

TEST(NmeaAnchors, CutGarbageAndOverlongSentences) {
    const std::vector<std::string> samples = {
        "$GPGGA,123519,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,*47\r",
        "$GPRMC,081836.75,A,3751.65,S,14507.36,E,000.0,360.0,130998,011.3,E,A*00",
        "$PTNL,GGK,102939.00,051910,5000.97323841,N,00827.62010742,E,5,09,1.9,EHT150.790,M*73",
        "$GPGLL,3723.2475,N,12158.3416,W,161229.487,A,A*41",
        "$GPGST,024603.00,3.2,6.6,4.7,47.3,5.8,5.6,22.0*58",
        "$GPGSA,A,3,04,05,,09,12,,,24,,,,,2.5,1.3,2.1*39",
        "$GPGSV,3,1,11,09,57,333,29.0,07,54,227,,04,49,043,24.5,03,43,129,,1*67",
        "$PXXX,QUAL,0.3,0.4,1.2,4*00",
        "$HCHDG,100.0,2.0,W,3.5,E*00",
        "$GPZDA,160012.71,11,03,2004,-1,00*7D",
        "$HEROT,-12.5,A*00",
    };
    sRobustRun run;
    for (const std::string& s : samples) {
        for (size_t n = 0; n <= s.size(); ++n) run.Run(s.substr(0, n));
        for (size_t n = 0; n <= s.size(); ++n) run.Run(s.substr(n));
        // Every field stretched far beyond any receiver's width.
        std::string wide;
        for (char c : s) wide += (c == ',' ? std::string(",") + std::string(5000, '9') + "." : std::string(1, c));
        run.Run(wide);
        std::string signs = s;
        for (char& c : signs) c = c == ',' ? ',' : c == '*' ? '*' : '-';
        run.Run(signs);
    }
    std::mt19937 random(12345);
    for (int i = 0; i < 20000; ++i) {
        std::string s = "$GP" + samples[i % samples.size()].substr(3, 3) + ",";
        const int length = static_cast<int>(random() % 80);
        for (int k = 0; k < length; ++k) {
            const char pool[] = ",,,,*$\r\n0123456789.-+eENSWTMAV\x01\xff ";
            s += pool[random() % (sizeof(pool) - 1)];
        }
        run.Run(s);
        if (HasFatalFailure()) FAIL() << s;
    }
    run.Run(std::string(1 << 16, ','));
    run.Run(std::string("$GPGGA,") + std::string(1 << 16, '1'));
    run.Run(std::string("$GPGSV\0,1,1,\0,01", 17));
}

}  // namespace
