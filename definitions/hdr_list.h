// The header definitions list: an ordered list of typed byte records (sHdrEntry), addressed by
// (record id, n) with n counting from 1 over the entries of that id. It caches the UTC-to-GPS
// offset (record 139) and the survey-unit factor (record 153), and has an image in the settings
// buffer: the entries back to back, each a 28-byte image followed at once by its payload.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

#include <boost/iterator/indirect_iterator.hpp>

#include "compat/collections.h"
#include "compat/object.h"
#include "definitions/payload_bytes.h"
#include "definitions/record_types.h"

class CVOKFile;
class IpcBufferHandle;

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
