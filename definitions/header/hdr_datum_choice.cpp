// The choice of a datum of the header list by its reference ellipsoid and its name: WGS84, GRS80
// and ITRF datums, a datum equal to another project's, and the datum of a GNSS system.
#include "definitions/header/hdr_list.h"

#include "definitions/records/ellipsoid_checks.h"
#include "definitions/header/hdr_record_layouts.h"
#include "definitions/header/hdr_search.h"
#include "definitions/header/hdr_sub_list.h"

namespace R = HdrRecord;
using namespace Vok::HdrSearch;

namespace {

// The lowest datum number among candidates; 0 means none, and a number below 1 never counts.
class CLowest {
public:
    void Offer(int32_t number) {
        if (number >= 1 && (m_number == 0 || number < m_number)) m_number = number;
    }
    int32_t Get() const { return m_number; }

private:
    int32_t m_number = 0;
};

int32_t NumberOf(const void* record) {
    return Vok::Definitions::LoadAt<int32_t>(static_cast<const uint8_t*>(record), R::DatumEllipsoid::kNumber);
}

// Calls visit with every datum record as a copy of its full 72 bytes (a shorter payload zero-padded).
template <typename F>
void ForEachDatum(const CHdrList& list, F&& visit) {
    const CHdrSubList datums(R::DatumEllipsoid::kId, &list, R::DatumEllipsoid::kSize);
    POSITION pos = datums.GetHeadPosition();
    while (pos != nullptr) visit(static_cast<const uint8_t*>(datums.GetNext(pos)));
}

// The WGS84 candidates, then the full and the partial GRS80 candidates, in that preference.
int32_t PreferredWgs84Number(const CHdrList& list, int allowGrs80) {
    CLowest wgs84, fullGrs80, partialGrs80;
    bool seenWgs84 = false;
    ForEachDatum(list, [&](const uint8_t* record) {
        if (MatchWgs84Datum(record, 2) >= DATUM_MATCH) {
            wgs84.Offer(NumberOf(record));
            seenWgs84 = true;
        } else if (!seenWgs84 && allowGrs80 != 0) {
            const int32_t grs80 = MatchGrs80Datum(record, 1);
            if (grs80 >= DATUM_MATCH) fullGrs80.Offer(NumberOf(record));
            else if (grs80 == DATUM_MATCH_NAMES_DIFFER) partialGrs80.Offer(NumberOf(record));
        }
    });
    if (wgs84.Get() > 0) return wgs84.Get();
    if (fullGrs80.Get() > 0) return fullGrs80.Get();
    return partialGrs80.Get();
}

// Datum records that hold their whole 72 bytes, in list order.
template <typename F>
sHdrEntry* FindDatum(const CHdrList& list, bool last, F&& match) {
    auto whole = [&](const sHdrEntry& e) { return e.payloadSize >= R::DatumEllipsoid::kSize && match(e.Payload()); };
    return last ? FindLast(list, R::DatumEllipsoid::kId, whole) : FindFirst(list, R::DatumEllipsoid::kId, whole);
}

}  // namespace

int32_t CHdrList::FindWgs84DatumIndex(int allowGrs80) const {
    const int32_t number = PreferredWgs84Number(*this, allowGrs80);
    return number > 0 ? number - 1 : -1;
}

bool CHdrList::FindWgs84Datum(int32_t& number, int allowGrs80) const {
    number = PreferredWgs84Number(*this, allowGrs80);
    return number > 0;
}

bool CHdrList::FindGrs80LocalDatum(int32_t& number, int allowGrs80) const {
    CLowest local, fallback;
    ForEachDatum(*this, [&](const uint8_t* record) {
        if (MatchGrs80LocalDatum(record, 3) >= DATUM_MATCH) local.Offer(NumberOf(record));
        else if (local.Get() == 0 && allowGrs80 != 0 && MatchGrs80Datum(record, 1) >= DATUM_MATCH)
            fallback.Offer(NumberOf(record));
    });
    number = local.Get() > 0 ? local.Get() : fallback.Get();
    return number > 0;
}

bool CHdrList::FindItrfDatum(int32_t& number, const char* realization) const {
    const std::string wanted = realization != nullptr ? realization : "";
    CLowest itrf;
    ForEachDatum(*this, [&](const uint8_t* record) {
        if (MatchItrfRealization(record, wanted) >= DATUM_MATCH) itrf.Offer(NumberOf(record));
    });
    number = itrf.Get();
    return number > 0;
}

uint8_t* CHdrList::FindSameDatum(const uint8_t* datum) const {
    if (datum == nullptr) return nullptr;
    if (sHdrEntry* same = FindDatum(*this, false, [&](const uint8_t* e) { return IsSameDatum(e, datum); }))
        return same->Payload();
    return PayloadOf(FindDatum(*this, true, [&](const uint8_t* e) { return IsSameEllipsoid(e, datum); }));
}

uint8_t* CHdrList::FindDatumOfGnssSystem(const uint8_t* gnssSystem) const {
    if (gnssSystem == nullptr) return nullptr;
    if (sHdrEntry* same = FindDatum(*this, false, [&](const uint8_t* e) { return IsSameTypeAndSimilarName(e, gnssSystem); }))
        return same->Payload();
    return PayloadOf(FindDatum(*this, true, [&](const uint8_t* e) {
        return IsSimilarName(e, gnssSystem, GnssSystemRecord::kNameField);
    }));
}
