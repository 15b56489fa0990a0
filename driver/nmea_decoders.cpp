#include "driver/nmea_decoders.h"

#include <algorithm>
#include <cfloat>
#include <climits>
#include <cmath>
#include <cstring>
#include <limits>

#include "compat/unit_library.h"
#include "driver/nmea_codec.h"

namespace {

// The accuracy that a receiver does not know.
constexpr float kNotKnown = 999.0f;

// Record fields are f32; a value beyond that range becomes infinite instead of an undefined conversion.
float ToFloatField(double v) {
    if (v > FLT_MAX) return std::numeric_limits<float>::infinity();
    if (v < -FLT_MAX) return -std::numeric_limits<float>::infinity();
    return static_cast<float>(v);
}

// A field that holds no number reads as an empty one: 0.
double Number(const CNmeaText& text, size_t* scanned = nullptr) {
    double value = 0.0;
    ParseNumberField(text, &value, scanned);
    return value;
}

// Past count fields, the first of which a reader has passed for scanned characters without a
// delimiter: those are not looked at again, and the result is SkipFields' own.
int SkipRead(CNmeaText& text, size_t scanned, int count) {
    text.DropFront(static_cast<int>(scanned));
    return SkipFields(text, count);
}

float FloatField(const CNmeaText& text, size_t* scanned = nullptr) { return ToFloatField(Number(text, scanned)); }

char Lead(const CNmeaText& text) { return text.IsEmpty() ? '\0' : text[0]; }

bool IsEmptyField(const CNmeaText& text) { return IsFieldDelimiter(text, 0) != 0; }

int SaturatedAdd(int a, int b) {
    const long long sum = static_cast<long long>(a) + b;
    return static_cast<int>(std::clamp<long long>(sum, INT_MIN, INT_MAX));
}

// Placeholder PRNs 1..n for a satellite count n that may be negative or beyond the list.
void SetPrnPlaceholders(PosRecord* record, int satellites) {
    const int n = std::clamp(satellites, 0, POS_PRN_COUNT);
    for (int i = 0; i < POS_PRN_COUNT; ++i) record->alPrn[i] = i < n ? i + 1 : 0;
}

void StoreFix(PosRecord* record, double latitude, double longitude, double height, int quality) {
    record->dLatitude = latitude;
    record->dLongitude = longitude;
    record->dHeight = height;
    record->dwZero80 = 0;
    record->lQuality = quality;
}

// Whether a decoded position carried a time of its own; the caller may not ask.
int Decoded(bool* timed, bool ownTime) {
    if (timed != nullptr) *timed = ownTime;
    return 1;
}

// The latitude and longitude fields at the front with their hemispheres, the text left at the
// field after them. 1 with both; -1 when either is empty or holds no plain number (digits and at
// most one point); 0 when the sentence is cut there or a field is no coordinate (minutes of 60 or
// more, other than two or three degree digits, beyond 90 or 180 degrees).
int ReadCoordinates(CNmeaText& text, double& latitude, double& longitude) {
    size_t scanned = 0;
    const int withLatitude = ReadLatitude(text, &latitude, &scanned);
    if (!SkipRead(text, scanned, 2)) return 0;
    const int withLongitude = ReadLongitude(text, &longitude, &scanned);
    if (!SkipRead(text, scanned, 2)) return 0;
    if (withLatitude < 0 || withLongitude < 0) return -1;
    return withLatitude > 0 && withLongitude > 0 ? 1 : 0;
}

// A sentence that reports no fix and has no coordinates: the last fix's coordinates stay, marked
// as no fix, with the sentence's time.
int StoreNoFix(PosRecord* record, const SYSTEMTIME& time, bool* timed, bool ownTime) {
    record->lQuality = 0;
    record->stFixTime = time;
    return Decoded(timed, ownTime);
}

int SecondOfDay(const SYSTEMTIME& t) { return t.wHour * 3600 + t.wMinute * 60 + t.wSecond; }

// Whole seconds of the day; a step of more than half a day back counts as a crossed midnight.
bool IsEarlierTimeOfDay(const SYSTEMTIME& time, const SYSTEMTIME& reference) {
    int d = SecondOfDay(time) - SecondOfDay(reference);
    if (d < -43200) d += 86400;
    if (d > 43200) d -= 86400;
    return d < 0;
}

// A heading field from 0 to 360 degrees. An empty one, one that holds no number and one beyond
// that range give no heading: 0, and the record is written marked invalid.
bool ReadHeading(const CNmeaText& field, double& heading) {
    const bool valid = ParseNumberField(field, &heading) && heading >= 0.0 && heading <= 360.0;
    if (!valid) heading = 0.0;
    return valid;
}

// The heading brought into [0, 360), as corrections may take it out.
void StoreHeading(NavRecord* record, double heading, bool valid) {
    double wrapped = std::fmod(heading, 360.0);
    if (wrapped < 0.0) wrapped += 360.0;
    // A sum beyond every double has no direction; a tiny negative one rounds up to 360.
    if (!(wrapped < 360.0) || wrapped == 0.0) wrapped = 0.0;
    record->dHeading = wrapped;
    record->fStatus = valid && std::isfinite(heading) ? STATUS_NEW : STATUS_NEW_INVALID;
}

int DecodeMagneticHeading(CNmeaText& text, NavRecord* record, const double* variation, const char* token) {
    if (record == nullptr || !SkipPastToken(text, token)) return 0;
    double heading = 0.0;
    const bool valid = ReadHeading(text, heading);
    if (!SkipFields(text, 1) || Lead(text) != 'M') return 0;
    if (variation != nullptr) heading += *variation;
    StoreHeading(record, heading, valid && variation != nullptr);
    return 1;
}

int DecodeVariation(CNmeaText& text, double* variation, const char* token) {
    if (variation == nullptr || !SkipPastToken(text, token)) return 0;
    *variation = ParseSignedValueEW(text);
    return 1;
}

}  // namespace

int MergePartStore(PosRecord* record, const PosRecord* store, int partNumber, BOOL withAccuracy) {
    if (record == nullptr || store == nullptr || partNumber <= 0) return 0;
    if (partNumber == 1) {
        if (withAccuracy) {
            std::copy(std::begin(store->alAccuracyKind), std::end(store->alAccuracyKind), record->alAccuracyKind);
            std::copy(std::begin(store->afAccuracyValue), std::end(store->afAccuracyValue), record->afAccuracyValue);
        }
        record->lSatellites = store->lSatellites;
        std::copy(std::begin(store->alPrn), std::end(store->alPrn), record->alPrn);
        return 1;
    }
    // The count that GGA or GGK stored is the sentence's and may lie anywhere; the list index may not.
    int k = std::clamp(record->lSatellites, 0, POS_PRN_COUNT);
    record->lSatellites = SaturatedAdd(record->lSatellites, store->lSatellites);
    for (int i = 0; i < POS_PRN_COUNT && k < POS_PRN_COUNT; ++i) {
        if (store->alPrn[i] > 0) record->alPrn[k++] = store->alPrn[i];
    }
    return 1;
}

int CGsvTalkers::Merge(PosRecord* record, const PosRecord* store, int partNumber, std::string_view talker) {
    if (record == nullptr || store == nullptr || partNumber <= 0) return 0;
    char name[2] = {talker.size() > 0 ? talker[0] : '\0', talker.size() > 1 ? talker[1] : '\0'};
    sTalker* t = std::find_if(m_talkers, m_talkers + m_count,
                              [&](const sTalker& k) { return std::memcmp(k.name, name, 2) == 0; });
    if (t == m_talkers + m_count) {
        // More talkers than any receiver has: the epoch starts again with this one.
        if (m_count == static_cast<int>(std::size(m_talkers))) m_count = 0;
        t = &m_talkers[m_count++];
        std::memcpy(t->name, name, 2);
        partNumber = 1;
    }
    if (partNumber == 1) t->satellites = t->prnCount = 0;
    t->satellites = SaturatedAdd(t->satellites, store->lSatellites);
    for (const int32_t prn : store->alPrn) {
        if (prn > 0 && t->prnCount < POS_PRN_COUNT) t->prns[t->prnCount++] = prn;
    }
    int satellites = 0, k = 0;
    for (const sTalker* each = m_talkers; each != m_talkers + m_count; ++each) {
        satellites = SaturatedAdd(satellites, each->satellites);
        for (int i = 0; i < each->prnCount && k < POS_PRN_COUNT; ++i) record->alPrn[k++] = each->prns[i];
    }
    std::fill(record->alPrn + k, std::end(record->alPrn), 0);
    record->lSatellites = satellites;
    return 1;
}

namespace Vok::Nmea {

int DecodeGGA(CNmeaText& text, PosRecord* record, int mode, bool* timed) {
    if (record == nullptr || !SkipPastToken(text, "GGA")) return 0;
    SYSTEMTIME time = record->stFixTime;
    size_t scanned = 0;
    const bool ownTime = ReadTimeOfDay(text, &time, &scanned);
    double latitude = 0.0, longitude = 0.0;
    if (!SkipRead(text, scanned, 1)) return 0;
    const int coordinates = ReadCoordinates(text, latitude, longitude);
    if (coordinates == 0) return 0;
    const int quality = ParseInteger(text);
    if (!SkipFields(text, 1)) return 0;
    const int satellites = ParseInteger(text);
    if (!SkipFields(text, 1)) return 0;
    float hdop = FloatField(text, &scanned);
    if (!(hdop > 0.0f)) hdop = kNotKnown;
    if (!SkipRead(text, scanned, 1)) return 0;
    double height = 0.0;
    scanned = 0;
    if (mode != 2) height = Number(text, &scanned);
    if (!SkipRead(text, scanned, 2)) return 0;
    if (mode >= 2) height += Number(text);
    float age = 0.0f;
    int station = 0;
    // Both fields may be absent; the checksum is never one of them.
    if (SkipDataFields(text, 2)) age = FloatField(text);
    if (SkipDataFields(text, 1)) station = ParseInteger(text);
    if (coordinates < 0 && quality != 0) return 0;
    // A no fix tells its own satellites and HDOP too; only the coordinates and height stay.
    record->lSatellites = satellites;
    int slot = -1;
    if (record->alAccuracyKind[0] == ACCURACY_EMPTY) {
        slot = 0;
    } else {
        for (int k = 0; k < POS_ACCURACY_SLOTS && slot < 0; ++k) {
            const int kind = record->alAccuracyKind[k];
            if (kind == ACCURACY_HDOP || kind == ACCURACY_EMPTY) slot = k;
        }
    }
    if (slot >= 0) {
        record->alAccuracyKind[slot] = ACCURACY_HDOP;
        record->afAccuracyValue[slot] = hdop;
    }
    SetPrnPlaceholders(record, satellites);
    for (int32_t& kind : record->alAccuracyKind) {
        if (kind < 0 || kind > 5) kind = ACCURACY_EMPTY;
    }
    if (coordinates < 0) return StoreNoFix(record, time, timed, ownTime);

    StoreFix(record, latitude, longitude, height, quality);
    record->fCorrectionAge = age;
    record->lStationId = station;
    record->stFixTime = time;
    return Decoded(timed, ownTime);
}

int DecodeRMC(CNmeaText& text, PosRecord* record, int /*mode*/, bool* timed) {
    if (record == nullptr || !SkipPastToken(text, "RMC")) return 0;
    SYSTEMTIME time = record->stFixTime;
    const bool ownTime = ReadTimeOfDay(text, &time);
    if (!SkipFields(text, 1)) return 0;
    const bool valid = Lead(text) == 'A';
    double latitude = 0.0, longitude = 0.0;
    if (!SkipFields(text, 1)) return 0;
    const int coordinates = ReadCoordinates(text, latitude, longitude);
    if (coordinates == 0 || !SkipFields(text, 1) || !SkipFields(text, 1)) return 0;
    ParseDateDdMmYy(text, &time);
    if (coordinates < 0) return valid ? 0 : StoreNoFix(record, time, timed, ownTime);

    StoreFix(record, latitude, longitude, 0.0, 0);
    record->stFixTime = time;
    // Variation and mode indicator are absent in older sentences: a "*" ends them.
    if (!SkipDataFields(text, 1) || !SkipDataFields(text, 2)) return Decoded(timed, ownTime);
    // The quality is the mode's place here: N 0 (no fix) to S 5 (simulator), then the modes of
    // NMEA 4.10: R 6 (RTK fixed), F 7 (RTK float), P 8 (precise).
    static const char modes[] = "NADEMSRFP";
    const char* found = Lead(text) != '\0' ? std::strchr(modes, Lead(text)) : nullptr;
    const int quality = found != nullptr ? static_cast<int>(found - modes) : 0;
    record->lQuality = valid ? quality : -quality;
    return Decoded(timed, ownTime);
}

int DecodeGGK(CNmeaText& text, PosRecord* record, int /*mode*/, bool* timed) {
    if (record == nullptr || !SkipPastToken(text, "GGK")) return 0;
    SYSTEMTIME time = record->stFixTime;
    const bool ownTime = ReadTimeOfDay(text, &time);
    double latitude = 0.0, longitude = 0.0;
    if (!SkipFields(text, 2) || ReadCoordinates(text, latitude, longitude) <= 0) return 0;
    const int quality = ParseInteger(text);
    if (!SkipFields(text, 1)) return 0;
    const int satellites = ParseInteger(text);
    if (!SkipFields(text, 1)) return 0;
    float dop = FloatField(text);
    if (!(dop > 0.0f)) dop = kNotKnown;
    if (!SkipFields(text, 1)) return 0;
    double height = ParseNumberSkippingPrefix(text);
    if (!std::isfinite(height)) height = 0.0;
    if (!SkipFields(text, 2)) return 0;

    StoreFix(record, latitude, longitude, height, quality);
    record->lSatellites = satellites;
    record->alAccuracyKind[0] = ACCURACY_PDOP;
    record->afAccuracyValue[0] = dop;
    record->stFixTime = time;
    SetPrnPlaceholders(record, satellites);
    for (int k = 1; k < POS_ACCURACY_SLOTS; ++k) record->alAccuracyKind[k] = ACCURACY_EMPTY;
    return Decoded(timed, ownTime);
}

int DecodeGLL(CNmeaText& text, PosRecord* record, int /*mode*/, bool* timed) {
    if (record == nullptr || !SkipPastToken(text, "GLL")) return 0;
    SYSTEMTIME time = record->stFixTime;
    double latitude = 0.0, longitude = 0.0;
    const int coordinates = ReadCoordinates(text, latitude, longitude);
    if (coordinates == 0) return 0;

    // The rest is either a height and its unit "M", or a time (maybe empty, or none at all in
    // NMEA 1.5) with its status letter (and maybe a mode indicator, which may be "M" too). Only
    // the data counts, never the checksum.
    const std::string_view rest = text.View();
    const CNmeaText data(rest.substr(0, rest.find_first_of("*\r\n$")));
    CNmeaText second = data;
    const bool hasSecond = SkipDataFields(second, 1);
    const std::string_view status = second.View().substr(0, second.View().find(','));
    int quality = 7;
    double height = 0.0;
    bool ownTime = false;
    if (hasSecond && status == "M") {
        quality = 1;
        height = Number(data);
    } else {
        ownTime = ReadTimeOfDay(data, &time);
        if (hasSecond && Lead(second) == 'V') quality = 0;
    }
    if (coordinates < 0) return quality == 0 ? StoreNoFix(record, time, timed, ownTime) : 0;
    StoreFix(record, latitude, longitude, height, quality);
    record->stFixTime = time;
    return Decoded(timed, ownTime);
}

int DecodeGST(CNmeaText& text, PosRecord* record) {
    if (record == nullptr || !SkipPastToken(text, "GST")) return 0;
    SYSTEMTIME time{};
    ParseTime(text, &time);
    if (IsEarlierTimeOfDay(time, record->stFixTime)) return 0;
    float* const fields[] = {&record->fRms,         &record->fSemiMajor,   &record->fSemiMinor, &record->fOrientation,
                             &record->fSdLatitude, &record->fSdLongitude, &record->fSdHeight};
    size_t scanned = 0;
    for (float* field : fields) {
        if (!SkipRead(text, scanned, 1)) return 0;
        // An empty field is no estimate: not known, as an empty HDOP is, never a perfect 0.
        double value = 0.0;
        *field = ParseNumberField(text, &value, &scanned) ? ToFloatField(value) : kNotKnown;
    }
    return 1;
}

int DecodeQUAL(CNmeaText& text, PosRecord* record) {
    if (record == nullptr || !SkipPastToken(text, "QUAL")) return 0;
    const double a = Number(text);
    if (!SkipFields(text, 1)) return 0;
    const double b = Number(text);
    if (!SkipFields(text, 1)) return 0;
    const double c = Number(text);
    // Without field 4 (a "*" ends the data) nothing is stored, as at the end of the text.
    if (!SkipDataFields(text, 1)) return 1;
    record->fSdLatitude = ToFloatField(a);
    record->fSdLongitude = ToFloatField(b);
    record->fSdHeight = ToFloatField(c);
    record->fRms = ToFloatField(std::sqrt(a * a + b * b + c * c));
    const char lead = Lead(text);
    record->lQuality = lead >= '0' && lead <= '9' ? lead - '0' : 0;
    return 1;
}

int DecodeGSA(CNmeaText& text, PosRecord* store, int* partNumber, int* partCount) {
    if (store == nullptr || partNumber == nullptr || partCount == nullptr || !SkipPastToken(text, "GSA")) return 0;
    store->lSatellites = 0;
    std::fill(std::begin(store->alPrn), std::end(store->alPrn), 0);
    std::fill(std::begin(store->alAccuracyKind), std::end(store->alAccuracyKind), ACCURACY_EMPTY);
    *partNumber = *partNumber < 0 ? 1 : SaturatedAdd(*partNumber, 1);
    if (*partCount < *partNumber) *partCount = *partNumber;

    const char selection = Lead(text);
    store->alAccuracyKind[3] = ACCURACY_GSA_MODE;
    store->afAccuracyValue[3] = selection == 'M' ? 1.0f : selection == 'A' ? 2.0f : 0.0f;
    if (!SkipFields(text, 1)) return 1;
    store->alAccuracyKind[4] = ACCURACY_GSA_MODE;
    store->afAccuracyValue[4] = static_cast<float>(ParseInteger(text));
    if (!SkipFields(text, 1)) return 1;
    int count = 0;
    for (int i = 0; i < POS_PRN_COUNT; ++i) {
        const int prn = ParseInteger(text);
        if (prn > 0) store->alPrn[count++] = prn;
        if (!SkipFields(text, 1)) return 0;
    }
    store->lSatellites = count;
    store->alAccuracyKind[0] = ACCURACY_PDOP;
    store->afAccuracyValue[0] = FloatField(text);
    if (!SkipDataFields(text, 1)) return 1;
    store->alAccuracyKind[1] = ACCURACY_HDOP;
    store->afAccuracyValue[1] = FloatField(text);
    if (!SkipDataFields(text, 1)) return 1;
    store->alAccuracyKind[2] = ACCURACY_VDOP;
    store->afAccuracyValue[2] = FloatField(text);
    return 1;
}

int DecodeGSV(CNmeaText& text, PosRecord* store, int* partNumber, int* partCount) {
    if (store == nullptr || partNumber == nullptr || partCount == nullptr || !SkipPastToken(text, "GSV")) return 0;
    store->lSatellites = 0;
    std::fill(std::begin(store->alPrn), std::end(store->alPrn), 0);
    *partCount = ParseInteger(text);
    if (!SkipFields(text, 1)) return 0;
    *partNumber = ParseInteger(text);
    if (!SkipFields(text, 1)) return 0;
    store->lQuality = ParseInteger(text);  // satellites in view
    int count = 0;
    // Each satellite is four fields. What the data holds after the last one is not a satellite:
    // nothing, or the one field of the signal id of NMEA 4.10.
    bool more = SkipDataFields(text, 1);
    for (int i = 0; i < 4 && more; ++i) {
        const int fields = CountDataFields(text, 4);
        if (fields <= 1) break;
        const int prn = ParseInteger(text);
        if (prn > 0) store->alPrn[count++] = prn;
        if (fields < 4) return 0;  // a satellite cut short
        SkipDataFields(text, 3);
        // A satellite without a signal-to-noise value is not tracked.
        if (prn > 0 && IsEmptyField(text)) store->alPrn[--count] = 0;
        more = SkipDataFields(text, 1);
    }
    store->lSatellites = count;
    return 1;
}

int DecodeHDT(CNmeaText& text, NavRecord* record, double* /*variation*/) {
    if (record == nullptr || !SkipPastToken(text, "HDT")) return 0;
    double heading = 0.0;
    const bool valid = ReadHeading(text, heading);
    if (!SkipFields(text, 1)) return 0;
    StoreHeading(record, heading, valid && Lead(text) == 'T');
    return 1;
}

int DecodeHDG(CNmeaText& text, NavRecord* record, double* variation, bool* variationKnown) {
    if (record == nullptr || !SkipPastToken(text, "HDG")) return 0;
    double heading = 0.0;
    const bool valid = ReadHeading(text, heading);
    if (!SkipFields(text, 1)) return 0;
    double deviation = Number(text);
    if (!SkipFields(text, 1)) return 0;
    if (Lead(text) == 'W') deviation = -deviation;
    heading += deviation;
    if (!SkipFields(text, 1)) return 0;
    double east = 0.0;
    const bool given = ParseNumberField(text, &east);
    if (!SkipFields(text, 1)) return 0;
    if (Lead(text) == 'W') east = -east;
    // A compass that knows no variation sends the field empty: its heading is magnetic, not true
    // with a variation of 0.
    const bool known = variation != nullptr && (variationKnown == nullptr || *variationKnown);
    if (given) {
        if (variation != nullptr) *variation = east;
        if (variationKnown != nullptr) *variationKnown = true;
    } else if (known) {
        east = *variation;
    }
    StoreHeading(record, heading + east, valid && (given || known));
    return 1;
}

int DecodeHDG(CNmeaText& text, NavRecord* record, double* variation) {
    return DecodeHDG(text, record, variation, nullptr);
}

int DecodeHDM(CNmeaText& text, NavRecord* record, double* variation) {
    return DecodeMagneticHeading(text, record, variation, "HDM");
}

int DecodeHCD(CNmeaText& text, NavRecord* record, double* variation) {
    return DecodeMagneticHeading(text, record, variation, "HCD");
}

int DecodeHCC(CNmeaText& text, NavRecord* record, double* variation) {
    if (record == nullptr || !SkipPastToken(text, "HCC")) return 0;
    double heading = 0.0;
    const bool valid = ReadHeading(text, heading);
    if (variation != nullptr) heading += *variation;
    StoreHeading(record, heading, valid && variation != nullptr);
    return 1;
}

int DecodeROT(CNmeaText& text, RotRecord* record) {
    if (record == nullptr || !SkipPastToken(text, "ROT")) return 0;
    // An empty rate field, or one that holds no number, is no rate of 0: the record is written,
    // marked invalid.
    double rate = 0.0;
    const bool empty = !ParseNumberField(text, &rate);
    if (!SkipFields(text, 1)) return 0;
    record->dRate = rate;
    record->fStatus = empty ? STATUS_NEW_INVALID : Lead(text) == 'A' ? STATUS_NEW : STATUS_NONE;
    return 1;
}

int DecodeZDA(CNmeaText& text, SYSTEMTIME* time) {
    if (time == nullptr || !SkipPastToken(text, "ZDA")) return 0;
    *time = SYSTEMTIME{};
    ParseTime(text, time);
    if (!SkipFields(text, 1)) return 0;
    time->wDay = static_cast<WORD>(ParseInteger(text));
    if (!SkipFields(text, 1)) return 0;
    time->wMonth = static_cast<WORD>(ParseInteger(text));
    if (!SkipFields(text, 1)) return 0;
    time->wYear = static_cast<WORD>(ParseInteger(text));
    return 1;
}

int DecodeHVD(CNmeaText& text, double* variation) { return DecodeVariation(text, variation, "HVD"); }

int DecodeHVM(CNmeaText& text, double* variation) { return DecodeVariation(text, variation, "HVM"); }

int DecodeVTG(CNmeaText& text, double* course, double* speed) {
    if (!SkipPastToken(text, "VTG")) return 0;
    const double track = ParseDouble(text);
    if (!SkipFields(text, 1) || Lead(text) != 'T') return 0;
    if (!SkipFields(text, 3)) return 0;
    const double knots = ParseDouble(text);
    if (!SkipFields(text, 1) || Lead(text) != 'N') return 0;
    if (course != nullptr) *course = track;
    if (speed != nullptr) *speed = KnotsToUnits(knots);
    return 1;
}

}  // namespace Vok::Nmea

namespace {

// The CString form of a decoder: the same decoding, and the text keeps what the decoder left of it.
template <typename... Params, typename... Args>
int OnCString(int (*decode)(CNmeaText&, Params...), CString& text, Args... args) {
    CNmeaText rest(text);
    const int result = decode(rest, args...);
    rest.LeaveRestIn(text);
    return result;
}

}  // namespace

namespace Nmea = Vok::Nmea;

int DecodeGGA(CString& text, PosRecord* record, int mode, bool* timed) {
    return OnCString(Nmea::DecodeGGA, text, record, mode, timed);
}
int DecodeRMC(CString& text, PosRecord* record, int mode, bool* timed) {
    return OnCString(Nmea::DecodeRMC, text, record, mode, timed);
}
int DecodeGGK(CString& text, PosRecord* record, int mode, bool* timed) {
    return OnCString(Nmea::DecodeGGK, text, record, mode, timed);
}
int DecodeGLL(CString& text, PosRecord* record, int mode, bool* timed) {
    return OnCString(Nmea::DecodeGLL, text, record, mode, timed);
}
int DecodeGST(CString& text, PosRecord* record) { return OnCString(Nmea::DecodeGST, text, record); }
int DecodeQUAL(CString& text, PosRecord* record) { return OnCString(Nmea::DecodeQUAL, text, record); }
int DecodeGSA(CString& text, PosRecord* store, int* partNumber, int* partCount) {
    return OnCString(Nmea::DecodeGSA, text, store, partNumber, partCount);
}
int DecodeGSV(CString& text, PosRecord* store, int* partNumber, int* partCount) {
    return OnCString(Nmea::DecodeGSV, text, store, partNumber, partCount);
}
int DecodeHDT(CString& text, NavRecord* record, double* variation) {
    return OnCString(Nmea::DecodeHDT, text, record, variation);
}
int DecodeHDG(CString& text, NavRecord* record, double* variation) {
    return OnCString<NavRecord*, double*>(Nmea::DecodeHDG, text, record, variation);
}
int DecodeHDM(CString& text, NavRecord* record, double* variation) {
    return OnCString(Nmea::DecodeHDM, text, record, variation);
}
int DecodeHCD(CString& text, NavRecord* record, double* variation) {
    return OnCString(Nmea::DecodeHCD, text, record, variation);
}
int DecodeHCC(CString& text, NavRecord* record, double* variation) {
    return OnCString(Nmea::DecodeHCC, text, record, variation);
}
int DecodeROT(CString& text, RotRecord* record) { return OnCString(Nmea::DecodeROT, text, record); }
int DecodeZDA(CString& text, SYSTEMTIME* time) { return OnCString(Nmea::DecodeZDA, text, time); }
int DecodeHVD(CString& text, double* variation) { return OnCString(Nmea::DecodeHVD, text, variation); }
int DecodeHVM(CString& text, double* variation) { return OnCString(Nmea::DecodeHVM, text, variation); }
int DecodeVTG(CString& text, double* course, double* speed) { return OnCString(Nmea::DecodeVTG, text, course, speed); }
