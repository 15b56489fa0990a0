// Pure tests on the datum records of the header definitions (record 13, "Datum Ellipsoid", 72
// bytes): plausible axes, same ellipsoid and datum, similar names, and whether a datum is WGS84, a
// GRS80 datum or a given ITRF realization. Records are payloads of at least 72 bytes (84 for the
// GNSS system record 71); their texts are read within their fields.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace DatumRecord {
constexpr size_t kSize = 72;
constexpr size_t kNumber = 0;
constexpr size_t kDatumName = 4;       // up to offset 22
constexpr size_t kDatumNameField = 19;
constexpr size_t kEllipsoidName = 23;  // up to offset 47
constexpr size_t kEllipsoidNameField = 25;
constexpr size_t kAxis = 48;
constexpr size_t kAxisScale = 56;
constexpr size_t kInverseFlattening = 64;
}  // namespace DatumRecord

namespace GnssSystemRecord {
constexpr size_t kName = 4;
constexpr size_t kNameField = 9;
constexpr size_t kDatumNumber = 16;
}  // namespace GnssSystemRecord

// Results of the datum tests.
enum eDatumMatch : int32_t {
    DATUM_MATCH_NO_RECORD = -1,
    DATUM_MATCH_ELLIPSOID_DIFFERS = 1,
    DATUM_MATCH_NAMES_DIFFER = 3,
    DATUM_MATCH = 4,
};

struct sEllipsoidPattern {
    double axis;
    double inverseFlattening;
    std::string text1;
    std::string text2;
};

// The stored axis (not scaled): strict 6.37e6..6.38e6, else 6.3e6..6.4e6.
bool IsPlausibleSemiMajorAxis(const uint8_t* record, bool strict);
// A scale other than 1.0 becomes 1.0 when the axis is already in metres; false only for null.
bool NormalizeEllipsoidScale(uint8_t* record);
bool IsSameEllipsoid(const uint8_t* a, const uint8_t* b);
bool IsSameDatum(const uint8_t* a, const uint8_t* b);
bool HasSimilarDatumNames(const uint8_t* a, const uint8_t* b);
// All words of one datum name occur in the other record's name at offset 4, either way; that
// name is read within nameField bytes (the datum record's field, or the GNSS system's).
bool IsSimilarName(const uint8_t* a, const uint8_t* b, size_t nameField = DatumRecord::kDatumNameField);
// e a datum record, g a GNSS system record (71).
bool IsSameTypeAndSimilarName(const uint8_t* e, const uint8_t* g);
int32_t MatchWgs84Datum(const uint8_t* record, int32_t mode);
int32_t MatchGrs80Datum(const uint8_t* record, int32_t mode);
int32_t MatchGrs80LocalDatum(const uint8_t* record, int32_t mode);
int32_t MatchItrfRealization(const uint8_t* record, const std::string& realization);
int32_t MatchEllipsoidPattern(sEllipsoidPattern values, sEllipsoidPattern pattern);
