#include "definitions/records/ellipsoid_checks.h"

#include <cmath>
#include <cstring>
#include <vector>

#include "definitions/records/payload_bytes.h"
#include "foundation/string_utils.h"

namespace {

using Vok::Definitions::LoadAt;
using Vok::Definitions::StoreAt;

constexpr double kAxisTolerance = 1e-4;
constexpr double kFlatteningTolerance = 1e-6;
constexpr double kWgs84Axis = 6378137.0;
constexpr double kWgs84InverseFlattening = 298.257223563;
constexpr double kGrs80Axis = 6378137.0;
constexpr double kGrs80InverseFlattening = 298.257222101;

std::string Text(const uint8_t* record, size_t offset, size_t field) {
    const char* text = reinterpret_cast<const char*>(record + offset);
    return std::string(text, strnlen(text, field));
}

std::string DatumName(const uint8_t* r) { return Text(r, DatumRecord::kDatumName, DatumRecord::kDatumNameField); }

std::string EllipsoidName(const uint8_t* r) {
    return Text(r, DatumRecord::kEllipsoidName, DatumRecord::kEllipsoidNameField);
}

double Axis(const uint8_t* r) { return LoadAt<double>(r, DatumRecord::kAxis); }
double Scale(const uint8_t* r) { return LoadAt<double>(r, DatumRecord::kAxisScale); }
double InverseFlattening(const uint8_t* r) { return LoadAt<double>(r, DatumRecord::kInverseFlattening); }

// A difference equal to the tolerance still matches; a value that is not a number never does.
bool Within(double a, double b, double tolerance) { return std::fabs(a - b) <= tolerance; }

bool HasEllipsoid(const uint8_t* r, double axis, double inverseFlattening) {
    return Within(Axis(r) * Scale(r), axis, kAxisTolerance) &&
           Within(InverseFlattening(r), inverseFlattening, kFlatteningTolerance);
}

// Every word of `words` is a substring of `text`, ignoring case.
bool AllWordsIn(const std::string& words, const std::string& text) {
    return ContainsAnyOrAll(text, SplitWords(words), true, true);
}

bool Begins(const std::string& text, const char* prefix) { return StartsWith(text, prefix, false); }

bool Has(const std::string& text, const char* part) { return text.find(part) != std::string::npos; }

bool IsGrs80Ellipsoid(const uint8_t* r) {
    const std::string name = EllipsoidName(r);
    return Begins(name, "GRS") && Has(name, "80");
}

}  // namespace

bool IsPlausibleSemiMajorAxis(const uint8_t* record, bool strict) {
    if (record == nullptr) return false;
    const double a = Axis(record);
    return strict ? a >= 6.37e6 && a <= 6.38e6 : a >= 6.3e6 && a <= 6.4e6;
}

bool NormalizeEllipsoidScale(uint8_t* record) {
    if (record == nullptr) return false;
    if (Scale(record) == 1.0) return true;
    const double a = Axis(record);
    if (a >= 6.3e6 && a <= 6.4e6) StoreAt(record, DatumRecord::kAxisScale, 1.0);
    return true;
}

bool IsSameEllipsoid(const uint8_t* a, const uint8_t* b) {
    if (a == nullptr || b == nullptr) return false;
    return Within(Axis(a) * Scale(a), Axis(b) * Scale(b), kAxisTolerance) &&
           Within(InverseFlattening(a), InverseFlattening(b), kFlatteningTolerance);
}

bool IsSameDatum(const uint8_t* a, const uint8_t* b) { return IsSameEllipsoid(a, b) && HasSimilarDatumNames(a, b); }

bool HasSimilarDatumNames(const uint8_t* a, const uint8_t* b) {
    if (a == nullptr || b == nullptr) return false;
    const auto within = [](const uint8_t* x, const uint8_t* y) {
        return AllWordsIn(EllipsoidName(x), EllipsoidName(y)) && AllWordsIn(DatumName(x), DatumName(y));
    };
    return within(a, b) || within(b, a);
}

bool IsSimilarName(const uint8_t* a, const uint8_t* b, size_t nameField) {
    if (a == nullptr || b == nullptr) return false;
    const std::string datum = DatumName(a);
    const std::string other = Text(b, DatumRecord::kDatumName, nameField);
    return AllWordsIn(datum, other) || AllWordsIn(other, datum);
}

bool IsSameTypeAndSimilarName(const uint8_t* e, const uint8_t* g) {
    if (e == nullptr || g == nullptr) return false;
    return LoadAt<int32_t>(e, DatumRecord::kNumber) == LoadAt<int32_t>(g, GnssSystemRecord::kDatumNumber) &&
           IsSimilarName(e, g, GnssSystemRecord::kNameField);
}

int32_t MatchWgs84Datum(const uint8_t* r, int32_t mode) {
    if (r == nullptr) return DATUM_MATCH_NO_RECORD;
    if (!HasEllipsoid(r, kWgs84Axis, kWgs84InverseFlattening)) return DATUM_MATCH_ELLIPSOID_DIFFERS;
    const std::string ellipsoid = EllipsoidName(r);
    if (!Begins(ellipsoid, "WGS") || !Has(ellipsoid, "84")) return DATUM_MATCH_NAMES_DIFFER;
    if (mode == 0) return DATUM_MATCH;
    if (mode == 3) return DATUM_MATCH_NAMES_DIFFER;
    const std::string datum = DatumName(r);
    if (Begins(datum, "WGS") || (mode == 2 && Begins(datum, "ITRF"))) return DATUM_MATCH;
    return DATUM_MATCH_NAMES_DIFFER;
}

int32_t MatchGrs80Datum(const uint8_t* r, int32_t mode) {
    if (r == nullptr) return DATUM_MATCH_NO_RECORD;
    if (!HasEllipsoid(r, kGrs80Axis, kGrs80InverseFlattening)) return DATUM_MATCH_ELLIPSOID_DIFFERS;
    if (!IsGrs80Ellipsoid(r)) return DATUM_MATCH_NAMES_DIFFER;
    if (mode == 0) return DATUM_MATCH;
    if (mode == 3) return DATUM_MATCH_NAMES_DIFFER;
    const std::string datum = DatumName(r);
    if (Begins(datum, "ITRF") || (mode == 2 && Begins(datum, "WGS"))) return DATUM_MATCH;
    return DATUM_MATCH_NAMES_DIFFER;
}

int32_t MatchGrs80LocalDatum(const uint8_t* r, int32_t mode) {
    if (r == nullptr) return DATUM_MATCH_NO_RECORD;
    if (!HasEllipsoid(r, kGrs80Axis, kGrs80InverseFlattening)) return DATUM_MATCH_ELLIPSOID_DIFFERS;
    if (!IsGrs80Ellipsoid(r)) return DATUM_MATCH_NAMES_DIFFER;
    if (mode == 0) return DATUM_MATCH;
    const std::string datum = DatumName(r);
    return Begins(datum, "ITRF") || Begins(datum, "WGS") ? DATUM_MATCH_NAMES_DIFFER : DATUM_MATCH;
}

int32_t MatchItrfRealization(const uint8_t* r, const std::string& realization) {
    if (r == nullptr) return DATUM_MATCH_NO_RECORD;
    const std::string datum = DatumName(r);
    if (!HasEllipsoid(r, kGrs80Axis, kGrs80InverseFlattening) || !Begins(datum, "ITRF"))
        return DATUM_MATCH_ELLIPSOID_DIFFERS;
    const std::string tail = Right(realization, 2);
    return datum.find(tail) != std::string::npos ? DATUM_MATCH : DATUM_MATCH_NAMES_DIFFER;
}

int32_t MatchEllipsoidPattern(sEllipsoidPattern v, sEllipsoidPattern p) {
    if (v.axis == 0.0 || v.inverseFlattening == 0.0 || p.axis == 0.0 || p.inverseFlattening == 0.0)
        return DATUM_MATCH_NO_RECORD;
    if (!Within(v.axis, p.axis, kAxisTolerance) || !Within(v.inverseFlattening, p.inverseFlattening, kFlatteningTolerance))
        return DATUM_MATCH_ELLIPSOID_DIFFERS;
    if (!Begins(v.text1, p.text1.c_str()) || !Has(v.text2, p.text2.c_str())) return DATUM_MATCH_NAMES_DIFFER;
    return DATUM_MATCH;
}
