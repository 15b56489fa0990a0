// The header definitions list: an ordered list of typed byte records (sHdrEntry), addressed by
// (record id, n) with n counting from 1 over the entries of that id. It caches the UTC-to-GPS
// offset (record 139) and the survey-unit factor (record 153), and has an image in the settings
// buffer: the entries back to back, each a 28-byte image followed at once by its payload.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include <boost/iterator/indirect_iterator.hpp>

#include "compat/collections.h"
#include "compat/object.h"
#include "definitions/header/byte_vector_codecs.h"
#include "definitions/records/payload_bytes.h"
#include "definitions/header/record_types.h"

class CHdrSubList;
class CObjDefList;
class CVOKFile;
class IpcBufferHandle;
struct sObjDef;
struct sSysDef;

// One header record. The payload belongs to the entry.
struct sHdrEntry {
    std::unique_ptr<uint8_t[]> payload;  // at least the record type's fixed size, zero past payloadSize
    int32_t recordId = 0;              // record type 0..275
    uint32_t payloadSize = 0;          // bytes in the payload, as stated
    int32_t eventLink = -1;            // offset of the record's first event in block 7; -1 none
    int32_t secondLink = -1;           // kept only by old block-1 files
    uint32_t filePosition = 0xFFFFFFFFu;  // of the stored event link word; -1 for entries made in memory
    uint8_t flag = 0;

    const uint8_t* Payload() const { return payload.get(); }
    uint8_t* Payload() { return payload.get(); }
    // A value of the payload; empty when it does not lie within the payload.
    template <typename T>
    std::optional<T> Load(size_t offset) const {
        return Vok::Definitions::LoadAt<T>(payload.get(), payloadSize, offset);
    }
    std::optional<int32_t> Word(size_t offset) const { return Load<int32_t>(offset); }
    // false, and nothing written, outside the payload.
    template <typename T>
    bool Store(size_t offset, const T& value) {
        return Vok::Definitions::StoreAt<T>(payload.get(), payloadSize, offset, value);
    }
};

// The 28-byte image of an entry in the settings item; a cross-process format (little-endian).
namespace HdrEntryImage {
constexpr size_t kSize = 28;
constexpr size_t kPayloadRef = 0;  // not interpreted; written as 0
constexpr size_t kRecordId = 4;
constexpr size_t kPayloadSize = 8;
constexpr size_t kEventLink = 12;
constexpr size_t kSecondLink = 16;
constexpr size_t kFilePosition = 20;
constexpr size_t kFlag = 24;
}  // namespace HdrEntryImage

class CSysDefList;
struct sSysDef;

class CHdrList : public CObject {
    using Entries = std::vector<std::unique_ptr<sHdrEntry>>;

public:
    static constexpr double kDefaultUtcToGpsOffset = 18.0;
    static constexpr double kDefaultSurveyUnitFactor = 1.0;

    CHdrList() = default;
    // Deep copies; assignment empties this list first and keeps it unchanged when copied into itself.
    CHdrList(const CHdrList& other);
    CHdrList& operator=(const CHdrList& other);
    ~CHdrList() override = default;

    // Deletes every entry with its payload. The cached values stay.
    void RemoveAll();
    int GetCount() const { return static_cast<int>(m_entries.size()); }
    bool IsEmpty() const { return m_entries.empty(); }
    auto begin() const { return boost::make_indirect_iterator(m_entries.cbegin()); }
    auto end() const { return boost::make_indirect_iterator(m_entries.cend()); }
    // The entry at a 0-based position; null outside the list.
    sHdrEntry* GetEntryAt(int index) const {
        return index >= 0 && index < GetCount() ? m_entries[static_cast<size_t>(index)].get() : nullptr;
    }

    double GetUtcToGpsOffset() const { return m_utcToGpsOffset; }
    double GetSurveyUnitFactor() const { return m_surveyUnitFactor; }

    bool HasRecord(int32_t recordId) const;
    uint32_t GetRecordCount(int32_t recordId) const;
    // Counts per id in one pass; an entry counts for the first id it equals. Returns the total.
    uint32_t CountRecordsOf(int32_t a, int32_t b, uint32_t& countA, uint32_t& countB) const;
    uint32_t CountRecordsOf(int32_t a, int32_t b, int32_t c, uint32_t& countA, uint32_t& countB,
                            uint32_t& countC) const;
    // The payload of the n-th entry of the id (n from 1); null when there are fewer.
    uint8_t* GetRecord(int32_t recordId, int32_t n) const;
    uintptr_t GetRecordAddress(int32_t recordId, int32_t n) const;
    // Also yields the entry's event link; eventLink is left alone when there is no such entry.
    uint8_t* GetRecordEx(int32_t recordId, int32_t n, int32_t& eventLink) const;
    sHdrEntry* GetEntry(int32_t recordId, int32_t n) const;

    // Appends an entry with a new payload of size bytes, copied from source when it is given
    // (zeroed otherwise); returns the payload.
    uint8_t* AddRecord(int32_t recordId, uint32_t size, const void* source, int32_t eventLink);
    // 1, or 0 when there are fewer than n entries of the id.
    int DeleteRecord(int32_t recordId, int32_t n);
    // Record 210: the entries whose word at 4 equals the key; 269 and 270: word at 0; any other id:
    // all of its entries. Returns the number removed.
    int DeleteRecordsByKey(int32_t recordId, int32_t key);
    // Makes the list hold exactly one entry of the id per source element, in order, and copies size
    // bytes of each element (which holds at least that many) into them. A payload shorter than size
    // is replaced by one of size bytes. Null source: 0.
    int SetRecords(const CPtrList* source, int32_t recordId, uint32_t size);
    // As SetRecords with the preferred id when the list already holds an entry of it.
    int SetRecordsPreferring(const CPtrList* source, int32_t recordId, int32_t preferredId, uint32_t size);

    // Byte 1045 of the first record 233; 0 when there is none.
    uint8_t GetMetaDataFlag() const;
    void SetMetaDataFlag();
    // First word of the first record 16 / 236; -1 when none.
    int32_t GetProjectionNumber() const;
    int32_t GetLocalGridNumber() const;
    // Fills 80, 176 and 64 bytes from the projection records; 1 when a projection and its
    // parameters were found, else 0.
    int GetProjectionParameters(uint8_t* projection, uint8_t* localGrid, uint8_t* parameters) const;
    void RenumberDatum(int32_t oldNumber, int32_t newNumber);
    void RenumberGnssSystem(int32_t oldNumber, int32_t newNumber);
    // Maps the numbers of other datum records (72-byte payloads) onto this list's datums and
    // renumbers the references of the GNSS, DGPS and position records; false when nothing maps.
    bool MergeDatums(const std::vector<const uint8_t*>& datums);

    // ---- Upgrades of the records of older projects. Each conversion turns every record of its
    // old ids into current records appended at the end and removes the old ones; a list without
    // them is left as it is. Old payloads are read within their size; a null payload is skipped.
    void UpgradeLineNameRecords();
    void UpgradeObjectRecords();
    void SplitObjectShapes();
    void UpgradeStreamerRecords();
    void UpgradeGunArrayRecords();
    void UpgradeTowedBuoyRecords();
    void UpgradeDatumShiftRecords();
    void UpgradeChartDatumRecords();
    void UpgradeFixRecord();
    void UpgradeReferencePointRecords();
    void UpgradeSquatModelRecords();
    void UpgradeSoundVelocityRecords();
    void UpgradeFixedNodeRecords();
    void UpgradeVariableNodeRecords();
    void UpgradeDgpsSourceRecords();
    void UpgradeUsblRecords();
    void UpgradeUsblQcRecords();
    void UpgradeGnssPosition73Records();
    void UpgradeGnssPositionRecords();
    void UpgradeGnssPositionUnits();
    void UpgradeSinglebeamRecords();
    void UpgradePrhSensorRecords();
    void UpgradeMultibeamRecords();
    void UpgradeMultitransducerRecords();
    void UpgradeRecord157();
    void UpgradeEventingRecords();
    void UpgradeRecord257();
    void UpgradePpsTimetagRecords();
    void UpgradeDredgingSystems();
    void UpgradeObservationLinks();
    void UpgradeObservationKinds();
    void NormalizeEllipsoids();
    void CompleteDatumShiftRecords();
    void UpgradeProjectionRecords();
    void UpgradeAllFilePaths();
    void ResetEventLinks();
    void MoveRecord129();
    // New payloads of the current GNSS position and USBL records (712 and 72 bytes) from old ones.
    static void MakeGnssPosition258From73(const sHdrEntry& old, uint8_t* record);
    static void MakeGnssPosition258From205(const sHdrEntry& old, uint8_t* record);
    static void MakeUsblQcRecord(const sHdrEntry& old, uint8_t* record);
    // Entry operations of the upgrades: remove the entry at a 0-based position (false outside the
    // list), append an entry, copy bytes into an entry's payload within its size.
    bool RemoveEntryAt(int index);
    sHdrEntry* AppendEntry(std::unique_ptr<sHdrEntry> entry);
    void CopyPayload(sHdrEntry& entry, size_t offset, const void* source, size_t length);

    // ---- Consistency of the geodetic records (datums 13, GNSS systems 71, positions 73, 205,
    // 258, datum shifts and epochs 188, 206, 246, 247). A datum index is valid up to the largest
    // datum number - 1.
    void EnsureDatumTransformRecords();
    bool SyncGnssSystemsWithDatums();
    bool FixGnssPositionRefs(CSysDefList* systems);
    bool FixGnssPositionRefsOld(CSysDefList* systems);
    bool FixGnssPositionSystems(CSysDefList* systems);
    // Steps 4 to 6 for one record of the 258, 205 or 73 layout (the 73 layout: the number and the
    // system's key only); gnssNumber is that of the GNSS system record chosen for it, below 1 when
    // there is none.
    static bool FixGnssPositionRef(sHdrEntry& record, sSysDef* system, int32_t gnssNumber, int32_t maxIndex,
                                   int32_t nextGnssNumber);
    // Datum indexes of a 258 layout above maxIndex become 0; a first index then not 0 with the kind
    // word 1 or 9 sets the kind word 0 and clears the bytes at 640..655 that the name does not use.
    static bool ResetGnssPositionDatumIndexes(sHdrEntry& record, int32_t maxIndex);
    // The largest datum number - 1 (at least the smallest a word holds); -1 without datum records.
    int32_t GetMaxDatumIndex() const;

    // The settings item image. The caller holds the buffer's lock: exclusive for writing, shared
    // for reading. Items count from 1.
    // 1, or 0 when the block is missing or cannot take the image.
    int WriteToIpc(IpcBufferHandle& handle, int item) const;
    // Appends the entries of the image (the caller empties the list first). A missing block or an
    // image that does not fit its block appends nothing and gives 0.
    int ReadFromIpc(IpcBufferHandle& handle, int item);

    // The image as bytes: its size, and its entries written back to back.
    uint64_t GetImageSize() const;
    void WriteImage(uint8_t* destination) const;
    // Appends the count entries of an image of size bytes; all or nothing: 0 when an entry or its
    // payload would run past the end.
    int ReadImage(const uint8_t* source, size_t size, uint32_t count);

    // Block 33: per entry i32 payload size, u8 flag, i32 record id, the payload, i32 event link.
    // Each entry's file position becomes that of its stored event link; mode 1 stores -1 as every
    // entry's event link (and sets it so in the list). Returns 1.
    int WriteBlock(CVOKFile& file, int mode);
    // Appends the entries of block 33, else of the old block 1 (payload sizes from the record
    // types). 0 without either block, for an entry whose size its type does not allow, or for an
    // entry cut short by its block or the file; the entries before it stay. With report set, the
    // failure is logged as a warning naming the file. Without block 7 every event link becomes -1.
    // An upgrade mode of 1 or more then runs the header upgrade stage.
    int ReadBlock(CVOKFile& file, int report, int upgradeMode);

    // ---- Look-ups. A payload result points into the entry's own payload; null (or 0) when
    // nothing matches. Searches run in list order and the first match wins unless stated. A field
    // that does not lie within a payload matches nothing. Node numbers of 10000 and above are
    // reduced modulo 10000 where a node is looked up. Record arguments passed by pointer alone
    // hold at least the fixed size of their type.

    // Datums (record 13) and datum shifts and epochs.
    int32_t GetSurveyDatumIndex() const;  // 0 when datum 1 exists, else -1
    int HasSurveyDatum() const;
    uint8_t* GetDatum(int32_t number) const;
    // A record 206 / 188 that joins a and b in either order.
    bool HasDatumShift(int32_t a, int32_t b) const;
    bool HasQcDatumShift(int32_t a, int32_t b) const;
    uint8_t* GetDatumShift(int32_t a, int32_t b) const;
    uint8_t* GetQcDatumShift(int32_t a, int32_t b) const;
    uint8_t* GetDatumEpoch(int32_t a, int32_t b) const;
    uint8_t* GetQcDatumEpoch(int32_t a, int32_t b) const;
    // The highest datum number + 1; 1 without datums; the smallest free number when the highest is
    // the largest that a word holds.
    int32_t GetNextDatumNumber() const;
    // The datum's name without trailing blanks; "Survey Datum" when there is no such datum.
    CString GetDatumName(int32_t number) const;
    CString GetDatumNameByIndex(int32_t index) const;
    // Datums by their reference ellipsoid, preferring the lowest datum number (from 1) of each
    // rank: WGS84, then (allowGrs80 non-zero) a GRS80 datum named "ITRF..", then another GRS80
    // datum. The index is the number - 1, or -1; the others store the number (0 when none) and
    // tell whether there was one.
    int32_t FindWgs84DatumIndex(int allowGrs80) const;
    bool FindWgs84Datum(int32_t& number, int allowGrs80) const;
    // A GRS80 datum named neither "ITRF.." nor "WGS.."; else, allowed, any GRS80 datum.
    bool FindGrs80LocalDatum(int32_t& number, int allowGrs80) const;
    // A GRS80 datum named "ITRF.." of the given realization (null: any).
    bool FindItrfDatum(int32_t& number, const char* realization) const;
    // The first datum equal to the given 72-byte datum; else the last on the same ellipsoid.
    uint8_t* FindSameDatum(const uint8_t* datum) const;
    // The first datum of a GNSS system record (84 bytes) by number and name; else the last whose
    // name is similar.
    uint8_t* FindDatumOfGnssSystem(const uint8_t* gnssSystem) const;

    // GNSS systems (71) and positions (73, 205, 258).
    // The GNSS system number of a position navigation system (type 12); -1 when none.
    int32_t GetGnssSystemNumberOfSystem(const sSysDef* sysDef) const;
    int32_t GetDatumNumberOfSystem(const sSysDef* sysDef) const;
    int32_t GetDatumIndexOfSystem(const sSysDef* sysDef) const;
    uint8_t* GetDatumOfSystem(const sSysDef* sysDef) const;
    int32_t GetGnssSystemNumberOfDatum(int32_t datum) const;
    int32_t GetDatumNumberOfGnssSystem(int32_t gnss) const;
    // The highest GNSS system number + 1, at least 4; the smallest free number from 4 on when the
    // highest is the largest that a word holds.
    int32_t GetNextGnssSystemNumber() const;
    // Copy the 576-byte datum reference of a position record into out: 1, or 0 with out zeroed.
    int GetGnssDatumRef(uint8_t* out, int32_t node, int32_t second) const;
    // 0 and out untouched unless the system is of type 12.
    int GetSystemDatumRef(uint8_t* out, const sSysDef* sysDef) const;

    // The records of a system definition. eventLink receives the entry's event link and
    // dataType the record type of its companion data record; either may be null.
    // 258 or 205 (the other pointer nulled), or 0. A record 258 gets the system id at +4.
    int32_t GetPositionSystemRecord(const sSysDef* sysDef, uint8_t** record258, uint8_t** record205,
                                    int32_t* eventLink, int32_t* dataType) const;
    uint8_t* GetGnssPositionRecord(const sSysDef* sysDef, int32_t* eventLink, int32_t* dataType) const;
    uint8_t* GetUsblSystemRecord(const sSysDef* sysDef, int32_t* eventLink, int32_t* dataType) const;
    // The transceiver (202) and the beacon (195) of the system: 260 when the transceiver's record
    // 260 exists, else 128; 0 when either is missing. The event link is that of the later entry.
    int32_t GetUsblSystemRecords(const sSysDef* sysDef, uint8_t** record202, uint8_t** record195,
                                 int32_t* eventLink, int32_t* dataType) const;
    uint8_t* GetUsblTransceiverRecord(const sSysDef* sysDef, int32_t* eventLink, int32_t* dataType) const;
    uint8_t* GetUsblBeaconRecord(const sSysDef* sysDef, int32_t* eventLink, int32_t* dataType) const;
    uint8_t* GetPrhSensorRecord(const sSysDef* sysDef, int32_t* eventLink, int32_t* dataType) const;
    uint8_t* GetSinglebeamRecord(const sSysDef* sysDef, int32_t* eventLink, int32_t* dataType) const;
    uint8_t* GetMultibeamRecord(const sSysDef* sysDef, int32_t* eventLink, int32_t* dataType) const;
    uint8_t* GetMultitransducerRecord(const sSysDef* sysDef, int32_t* eventLink, int32_t* dataType) const;
    uint8_t* GetSidescanRecord(const sSysDef* sysDef, int32_t* eventLink, int32_t* dataType) const;

    // Finders by key; -1 as an argument marked "any" accepts every value.
    uint8_t* GetSquatModel(const uint8_t* record) const;       // 213 by the record's +8
    uint8_t* GetReferencePointOf(const uint8_t* record) const; // 197 by the record's +8
    uint8_t* GetReferencePoint(int32_t number) const;
    uint8_t* GetPpsRecord(int32_t systemId) const;
    uint8_t* GetPpsTimetagRecord(int32_t systemId) const;
    // A negative id gives the first record of its type.
    uint8_t* GetObject(int32_t id) const;
    uint8_t* GetObjectM(int32_t id) const;
    uint8_t* GetStreamer(int32_t id) const;
    uint8_t* GetGunArray(int32_t id) const;
    uint8_t* GetTowedBuoy(int32_t id) const;
    uint8_t* GetPipeBundle(int32_t id) const;
    uint8_t* GetShape(int32_t id, int32_t second) const;
    uint8_t* GetVariableNodeAt(int32_t object, float x, float y, float z) const;
    uint8_t* GetVariableNode(int32_t node) const;
    uint8_t* GetObservation(int32_t key) const;
    uint8_t* GetObservationQc(int32_t key) const;
    uint8_t* GetSimplifiedAtt(int32_t key, int32_t second) const;      // second: any
    uint8_t* GetFullHarmonicsAtt(int32_t key, int32_t second) const;   // second: any
    uint8_t* GetGnssPosition73(int32_t node, int32_t second) const;    // second: any
    uint8_t* GetGnssPosition205(int32_t node, int32_t second) const;   // second: any
    uint8_t* GetGnssPosition258(int32_t node, int32_t second) const;   // second: any
    // The n-th link (from 1; -1 the first) that names the node at either end.
    uint8_t* GetNodeLink(int32_t node, int32_t n) const;
    uint8_t* GetGnssSystemOfDatum(int32_t datum) const;
    // By number; else the last whose datum is datum.
    uint8_t* GetGnssSystem(int32_t number, int32_t datum) const;
    uint8_t* GetDredging(int32_t key) const;  // key: any
    uint8_t* GetDredging9510(int32_t key) const;
    uint8_t* GetDredging9511(int32_t key) const;
    uint8_t* GetDredging9512(int32_t key) const;
    uint8_t* GetDumping(int32_t key) const;
    uint8_t* GetControl(int32_t key) const;
    uint8_t* GetDredging9501(int32_t a, int32_t b) const;
    uint8_t* GetFirstDredging() const;
    // The highest rank (+44); the first of equal highs.
    uint8_t* GetTopDredging() const;
    uint8_t* GetWaterColumn(int32_t systemId, int32_t* eventLink = nullptr) const;
    uint8_t* GetSnippets(int32_t systemId, int32_t* eventLink = nullptr) const;
    uint8_t* GetMultibeamById(int32_t systemId, int32_t* eventLink = nullptr) const;
    uint8_t* GetAdcp(int32_t systemId, int32_t* eventLink = nullptr) const;
    uint8_t* GetFls(int32_t systemId, int32_t* eventLink = nullptr) const;
    uint8_t* GetRawDataOfSystem(const sSysDef* sysDef) const;
    uint8_t* GetRawDataLike(const uint8_t* record) const;
    uint8_t* GetSinglebeamLike(const uint8_t* record) const;
    // Fills the sub-list with the records 210 whose +4 is key.
    void GetDredgingRecords(int32_t key, CHdrSubList& subList) const;

    // Finders over the elements of a sub-list, by their leading words (w0..w3): the first element
    // that matches; null for a null or empty sub-list.
    static uint8_t* FindSubRecord0(int32_t a, const CHdrSubList* subList);                        // w0 = a
    static uint8_t* FindSubRecord01(int32_t a, int32_t b, const CHdrSubList* subList);            // w0, w1
    static uint8_t* FindSubRecord012(int32_t a, int32_t b, int32_t c, const CHdrSubList* subList); // c any
    static uint8_t* FindSubRecord123(int32_t a, int32_t b, int32_t c, const CHdrSubList* subList); // c any
    static uint8_t* FindSubRecord1(int32_t a, const CHdrSubList* subList);             // a >= 1
    static uint8_t* FindSubRecord12(int32_t a, int32_t b, const CHdrSubList* subList); // a >= 1
    static uint8_t* FindSubRecord32(int32_t a, int32_t b, const CHdrSubList* subList); // a >= 1, b any
    static uint8_t* FindSubRecordLocal0(int32_t a, const CHdrSubList* subList);        // a in 1..9999
    static uint8_t* FindSubRecord2(int32_t a, const CHdrSubList* subList);             // a != 0
    static uint8_t* FindSubRecord21(int32_t a, int32_t b, const CHdrSubList* subList); // w2 = a, w1 = b

    // Node links (230). mask bit 1: the first end, bit 2: the second end. Without a sub-list the
    // list's own links are searched.
    bool HasNodeLink(int32_t node, int32_t mask, const CHdrSubList* subList) const;
    // The other end of the n-th link (from 1; -1 the first) that names the node; -1 when none.
    int32_t GetLinkedNode(int32_t node, int32_t n) const;

    // Zeroes each given buffer (72, 80, 80 bytes) and copies the last record 241, 249 and 251 of
    // the system into it; a found flag is set to 1 when given.
    void GetPpsRecords(int32_t systemId, uint8_t* out241, uint8_t* out249, uint8_t* out251, int* found241,
                       int* found249, int* found251) const;
    double GetSonarSystemValue(int32_t systemId, double defaultValue) const;

    int32_t GetLineNumber() const;
    CString GetLineName() const;

    // Overwrite the first record 128 / 260 with the same keys; 1, or 0 when none or null.
    int SetUsblRecord(const uint8_t* record);
    int SetUsblQcRecord(const uint8_t* record);
    // 576 bytes from the first record 228 (+16, or +592 when second is non-zero); 0 and zeros when none.
    int GetChartDatumRef(uint8_t* out, int second) const;

    // Survey unit (153). Applying makes the first record's unit current (1); without one, or with a
    // factor that the unit library refuses, metres (0).
    int ApplySurveyUnit() const;
    static int ApplySurveyUnitRecord(const uint8_t* payload, int mode);
    int GetSurveyUnit(uint8_t* out) const;  // 48 bytes
    CString GetSurveyUnitName() const;
    static CString GetUnitText(int32_t unitType, int longForm);
    static CString GetCoordKindCaption(uint32_t kind, int suffix);

    // Driver settings (256).
    std::set<std::string> GetDriverSettingNames(uint32_t driverId) const;
    CString GetDriverSetting(uint32_t driverId, const char* name) const;

    // ---- Blobs: byte strings kept as a header record 269 and chunk records 270.
    static constexpr const char* kVesselShapeMime = "application/vnd.vok.vessel_shape";
    static constexpr const char* kWktMime = "application/vnd.vok.wkt1";
    // The smallest id from 1 that no blob header, nor a chunk left without its header, uses.
    int32_t NextBlobId() const;
    void WriteBlob(int32_t id, const std::string& mime, const Vok::ByteVector& content);
    int32_t AddBlob(const std::string& mime, const Vok::ByteVector& content);
    // Both outputs empty unless the blob is whole: every chunk present with a length of 1..2048,
    // their lengths adding up to the header's, and its bytes a well-formed blob image.
    void GetBlob(int32_t id, std::string& mime, Vok::ByteVector& content) const;
    void RemoveBlob(int32_t id);
    bool ReadWktBlob(int32_t id, std::string& text) const;
    // Replaces the blob named by idField with the text; forcedId (unless -1) becomes its id, and
    // a blob that already holds that id is removed.
    bool WriteWktBlob(int32_t& idField, const std::string& text, int32_t forcedId);
    bool GetVesselShape(int32_t objectId, std::vector<sShapeItem>& items) const;
    void SetVesselShape(int32_t objectId, const std::vector<sShapeItem>& items);
    std::string GetProjectWkt(std::string& text) const;
    int32_t GetProjectWktBlobId() const;
    void SetProjectWkt(const std::string& text, int32_t forcedId);
    // The WKT blob id at +680 of a record of size bytes; a null or shorter record has none.
    std::string GetRecordWkt(const uint8_t* payload, uint32_t size, std::string& text) const;
    int32_t GetRecordWktBlobId(const uint8_t* payload, uint32_t size) const;
    void SetRecordWkt(uint8_t* payload, uint32_t size, const std::string& text);

    // As above, for a sub-list whose elements may be shorter than size (zero-padded).
    int SetRecords(const CHdrSubList* source, int32_t recordId, uint32_t size);
    int SetRecordsPreferring(const CHdrSubList* source, int32_t recordId, int32_t preferredId, uint32_t size);

    // ---- Maintenance.
    // Version (151) and meta data (233).
    CString GetVersionString() const;
    uint32_t GetBuildNumber() const;
    uint32_t GetVersionNumber() const;
    int SetCurrentVersion(int update);
    int SetVersion(uint32_t version, uint32_t build);
    // Throws std::invalid_argument / std::out_of_range for a version text that is no number.
    double GetMetaDataVersion() const;
    // Derived records.
    void UpdateSummary();
    void RecountObjectMembers();
    void RecountGunArrayMembers();
    void UpdateCorrections();
    int UpdateDatumEpochs(int force);
    int SetDatumEpochs(double epoch, int force);
    // Object definitions: the list is emptied, then gets one definition per record 166, 267, 167,
    // 168, 169 and 229 (in that order of types) with the record's id and name, completed.
    void BuildObjectDefinitions(CObjDefList* list) const;
    // Defaults, the chart datum's packed id and the object's reference point; nothing for null.
    void CompleteObjectDefinition(sObjDef* def) const;
    // Writes one line per entry without a record id or a payload, naming its position in the
    // list; 1 when there is none (the file then stays empty), 0 otherwise or when the file cannot
    // be created.
    int CheckIntegrity(const char* fileName) const;

private:
    int ReadEntries(CVOKFile& file, bool oldBlock);
    // The conversions that bring the records of an older project up to date.
    int UpgradeAfterRead(bool hasEvents, int upgradeMode);
    template <typename F>
    sHdrEntry* FindNth(int32_t recordId, int32_t n, F&& match) const;
    sHdrEntry* Append(std::unique_ptr<sHdrEntry> entry);
    void RefreshCache(const sHdrEntry& entry);
    void CopyEntriesFrom(const CHdrList& other);
    void EraseWhere(int32_t recordId, int32_t maxCount, int32_t keyOffset, int32_t key, int& removed);

    Entries m_entries;
    double m_utcToGpsOffset = kDefaultUtcToGpsOffset;
    double m_surveyUnitFactor = kDefaultSurveyUnitFactor;
};
