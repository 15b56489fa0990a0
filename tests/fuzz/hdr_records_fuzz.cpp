// Arbitrary header records through the header list's look-ups, blobs and maintenance. The input is
//   u32 entry count, six u32 arguments, then a settings-item image of the header list
// (28-byte entry images, each followed by its payload). Every look-up is asked with the arguments,
// every blob is read, datums are merged and made consistent, the derived records are rebuilt;
// nothing may read past a payload.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <exception>
#include <stdexcept>
#include <string>
#include <vector>

#include "definitions/records/definition_records.h"
#include "definitions/header/hdr_list.h"
#include "definitions/header/hdr_sub_list.h"
#include "definitions/lists/obj_def_list.h"
#include "tests/fuzz/fuzz_support.h"

namespace {

using Vok::Fuzz::CInputReader;
using Vok::Fuzz::CInputWriter;

constexpr size_t kMaxInput = 65536;

void Check(bool condition) {
    if (!condition) __builtin_trap();
}

sSysDef SysDef(int32_t sysType, const int32_t* a) {
    sSysDef def;
    def.sysType = sysType;
    def.sysId = a[0];
    def.key1 = a[1];
    def.key2 = a[2];
    def.key3 = a[3];
    return def;
}

void AskLookUps(CHdrList& list, const int32_t* a) {
    for (int32_t sysType : {1, 2, 3, 12, 20, 26, 27, 35}) {
        const sSysDef def = SysDef(sysType, a);
        int32_t link = 0, type = 0;
        uint8_t *p = nullptr, *q = nullptr;
        list.GetPositionSystemRecord(&def, &p, &q, &link, &type);
        list.GetGnssPositionRecord(&def, &link, &type);
        list.GetUsblSystemRecord(&def, &link, &type);
        list.GetUsblSystemRecords(&def, &p, &q, &link, &type);
        list.GetUsblTransceiverRecord(&def, &link, &type);
        list.GetUsblBeaconRecord(&def, &link, &type);
        list.GetPrhSensorRecord(&def, &link, &type);
        list.GetSinglebeamRecord(&def, &link, &type);
        list.GetMultibeamRecord(&def, &link, &type);
        list.GetMultitransducerRecord(&def, &link, &type);
        list.GetSidescanRecord(&def, &link, &type);
        list.GetRawDataOfSystem(&def);
        list.GetDatumOfSystem(&def);
        list.GetDatumIndexOfSystem(&def);
        std::vector<uint8_t> ref(576);
        list.GetSystemDatumRef(ref.data(), &def);
    }
    std::vector<uint8_t> ref(576), a241(72), a249(80), a251(80), unit(48);
    list.GetGnssDatumRef(ref.data(), a[0], a[1]);
    list.GetChartDatumRef(ref.data(), a[2]);
    list.GetSurveyUnit(unit.data());
    list.GetPpsRecords(a[0], a241.data(), a249.data(), a251.data(), nullptr, nullptr, nullptr);
    list.GetDatum(a[0]);
    list.GetDatumShift(a[0], a[1]);
    list.GetQcDatumShift(a[0], a[1]);
    list.GetDatumEpoch(a[0], a[1]);
    list.GetQcDatumEpoch(a[0], a[1]);
    list.GetDatumName(a[0]);
    int32_t number = 0;
    list.FindWgs84DatumIndex(1);
    list.FindGrs80LocalDatum(number, 1);
    list.FindItrfDatum(number, "ITRF2014");
    for (int k = 0; k < list.GetCount(); ++k) {
        const sHdrEntry& entry = *list.GetEntryAt(k);
        if (entry.recordId == 13 && entry.payloadSize >= 72) list.FindSameDatum(entry.Payload());
        if (entry.recordId == 71 && entry.payloadSize >= 84) list.FindDatumOfGnssSystem(entry.Payload());
    }
    CObjDefList defs;
    list.BuildObjectDefinitions(&defs);
    list.GetNextDatumNumber();
    list.GetNextGnssSystemNumber();
    list.GetGnssSystemNumberOfDatum(a[0]);
    list.GetDatumNumberOfGnssSystem(a[0]);
    list.GetReferencePoint(a[0]);
    list.GetPpsRecord(a[0]);
    list.GetPpsTimetagRecord(a[0]);
    for (int32_t id : {a[0], -1}) {
        list.GetObject(id);
        list.GetObjectM(id);
        list.GetStreamer(id);
        list.GetGunArray(id);
        list.GetTowedBuoy(id);
        list.GetPipeBundle(id);
        list.GetShape(id, a[1]);
    }
    list.GetVariableNodeAt(a[0], 0.0f, 0.0f, 0.0f);
    list.GetVariableNode(a[0]);
    list.GetObservation(a[0]);
    list.GetObservationQc(a[0]);
    list.GetSimplifiedAtt(a[0], a[1]);
    list.GetFullHarmonicsAtt(a[0], a[1]);
    list.GetGnssPosition73(a[0], a[1]);
    list.GetGnssPosition205(a[0], a[1]);
    list.GetGnssPosition258(a[0], a[1]);
    list.GetNodeLink(a[0], a[1]);
    list.GetLinkedNode(a[0], a[1]);
    list.HasNodeLink(a[0], a[1], nullptr);
    list.GetGnssSystem(a[0], a[1]);
    list.GetDredging(a[0]);
    list.GetDredging9501(a[0], a[1]);
    list.GetTopDredging();
    list.GetWaterColumn(a[0]);
    list.GetSonarSystemValue(a[0], 0.0);
    list.GetLineNumber();
    list.GetLineName();
    list.GetSurveyUnitName();
    list.GetDriverSettingNames(static_cast<uint32_t>(a[0]));
    list.GetDriverSetting(static_cast<uint32_t>(a[0]), "Port");
    CHdrSubList sub;
    list.GetDredgingRecords(a[0], sub);
    for (uint32_t size : {0u, 8u, 16u}) {
        const CHdrSubList part(static_cast<int32_t>(a[4] & 0x1FF), &list, size);
        CHdrList::FindSubRecord123(a[0], a[1], a[2], &part);
        CHdrList::FindSubRecord32(a[0], a[1], &part);
        CHdrList::FindSubRecord21(a[0], a[1], &part);
    }
}

void UseBlobs(CHdrList& list, const int32_t* a) {
    for (int k = 0; k < list.GetCount(); ++k) {
        const sHdrEntry& entry = *list.GetEntryAt(k);
        const auto id = entry.Word(0);
        if (entry.recordId != 269 || !id.has_value()) continue;
        std::string mime;
        Vok::ByteVector content;
        list.GetBlob(*id, mime, content);
        if (mime.empty()) continue;
        // A blob that was read whole writes and reads back the same.
        CHdrList copy;
        copy.WriteBlob(1, mime, content);
        std::string mime2;
        Vok::ByteVector content2;
        copy.GetBlob(1, mime2, content2);
        Check(mime2 == mime && content2 == content);
    }
    std::vector<sShapeItem> items;
    list.GetVesselShape(a[0], items);
    list.GetVesselShape(-1, items);
    std::string text;
    list.GetProjectWkt(text);
    list.GetProjectWktBlobId();
    list.SetVesselShape(-1, items);
    const sHdrEntry* wkt = list.GetEntry(272, 1);
    const bool writable = wkt == nullptr || wkt->Word(0).has_value();
    list.SetProjectWkt("GEOGCS[]", a[5]);
    Check(!writable || list.GetProjectWkt(text) == "GEOGCS[]");
}

void Maintain(CHdrList& list) {
    list.GetVersionString();
    try {
        list.GetMetaDataVersion();
    } catch (const std::invalid_argument&) {
    } catch (const std::out_of_range&) {
    }
    list.UpdateSummary();
    list.RecountObjectMembers();
    list.RecountGunArrayMembers();
    list.UpdateCorrections();
    list.SetDatumEpochs(2024.5, 1);
    list.SetCurrentVersion(1);
    Check(list.GetVersionNumber() == 700 && list.GetBuildNumber() == 21);
}

// The datums of another project merged in (the list's own under another number, and one that
// matches none), then the geodetic records made consistent.
void KeepDatumsConsistent(CHdrList& list, const int32_t* a) {
    std::vector<std::vector<uint8_t>> copies;
    for (int k = 0; k < list.GetCount(); ++k) {
        const sHdrEntry& entry = *list.GetEntryAt(k);
        if (entry.recordId != 13 || entry.payloadSize < 72) continue;
        copies.emplace_back(entry.Payload(), entry.Payload() + 72);
        std::memcpy(copies.back().data(), &a[2], 4);
    }
    copies.emplace_back(72, 0);
    std::memcpy(copies.back().data(), &a[3], 4);
    std::vector<const uint8_t*> datums;
    for (const auto& c : copies) datums.push_back(c.data());
    list.MergeDatums(datums);
    list.GetMaxDatumIndex();
    list.SyncGnssSystemsWithDatums();
    list.FixGnssPositionRefs(nullptr);
    list.FixGnssPositionRefsOld(nullptr);
    list.FixGnssPositionSystems(nullptr);
    list.EnsureDatumTransformRecords();
    list.CompleteDatumShiftRecords();
}

// A list with a version, a shape blob, a WKT blob and a few records of each kind.
std::vector<uint8_t> SeedImage(CHdrList& list) {
    const uint64_t size = list.GetImageSize();
    std::vector<uint8_t> image(size);
    list.WriteImage(image.data());
    CInputWriter w;
    w.U32(static_cast<uint32_t>(list.GetCount()));
    for (uint32_t arg : {1u, 2u, 3u, 4u, 269u, 0xFFFFFFFFu}) w.U32(arg);
    w.Bytes(image.data(), image.size());
    return w.Get();
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    if (Vok::Fuzz::SeedFolder() == nullptr) return 0;
    CHdrList list;
    list.SetCurrentVersion(1);
    std::vector<uint8_t> object(76, 0);
    object[40] = 1;
    list.AddRecord(267, 76, object.data(), -1);
    list.SetVesselShape(1, std::vector<sShapeItem>(3));
    list.SetProjectWkt(std::string(3000, 'w'), -1);
    for (int32_t id : {13, 71, 201, 230, 258, 205, 241}) list.AddRecord(id, GetRecordSize(id), nullptr, -1);
    const std::vector<uint8_t> seed = SeedImage(list);
    Vok::Fuzz::WriteSeed("blobs-and-records", seed.data(), seed.size());
    std::exit(0);
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > kMaxInput) return 0;
    CInputReader in(data, size);
    const uint32_t count = in.U32();
    int32_t a[6];
    for (int32_t& arg : a) arg = static_cast<int32_t>(in.U32());
    const std::vector<uint8_t> image = in.Rest();
    CHdrList list;
    if (list.ReadImage(image.data(), image.size(), count) == 0) return 0;
    AskLookUps(list, a);
    UseBlobs(list, a);
    KeepDatumsConsistent(list, a);
    Maintain(list);
    return 0;
}
