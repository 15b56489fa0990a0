// The system definitions list: look-ups by id, type, name and key words, the system that a header
// record belongs to, and the field-group comparison and copy of two definitions.
#pragma once

#include <cstdint>

#include "compat/collections.h"
#include "definitions/lists/definition_list.h"
#include "definitions/records/definition_records.h"

struct sHdrEntry;

// Field groups of a system definition, a bit mask.
enum eSysDefChange : uint32_t {
    SYSDEF_CHANGE_IDENTITY = 1,     // system type, system id, the three key words
    SYSDEF_CHANGE_DRIVER = 2,
    SYSDEF_CHANGE_PORT = 4,
    SYSDEF_CHANGE_CONNECTION = 8,   // the words at 8, 12, 16, 20 and 24
    SYSDEF_CHANGE_TIME_TAGGING = 16,
    SYSDEF_CHANGE_TIME_OFFSET = 32,
    SYSDEF_CHANGE_INTERVAL = 64,
    SYSDEF_CHANGE_NAME = 128,
    SYSDEF_CHANGE_OUTPUT = 256,
    SYSDEF_CHANGE_SOURCE_FILTER = 512,
};

class CSysDefList : public CDefinitionList<sSysDef> {
public:
    CSysDefList() = default;
    // Deep copies of the other list's records; empty for null.
    explicit CSysDefList(const CSysDefList* other);
    // Null: nothing; else the list is emptied and refilled with deep copies.
    void CopyFrom(const CSysDefList* other);
    // Makes the list as long as the other and copies the other's records in order.
    void AssignFrom(const CSysDefList& other);

    sSysDef* FindById(int32_t sysId) const;
    sSysDef* GetById(int32_t sysId) const { return FindById(sysId); }
    // 0 when there is none.
    int32_t GetSystemType(int32_t sysId) const;
    sSysDef* FindByType(int32_t sysType) const;
    int HasSystemType(int32_t sysType) const;
    // The first record of the type whose first key word is the key; null when the key is below 1.
    sSysDef* FindByTypeAndKey(int32_t sysType, int32_t key) const;
    int HasSatelliteNavigationSystem() const;
    // In position navigation systems (type 12), a first key word equal to oldKey becomes newKey.
    void ReplaceKey(int32_t oldKey, int32_t newKey);
    // The smallest unused id from 1 to 999999; 0 when all are used.
    int32_t FindFreeSystemId() const;
    // -1 when none.
    int32_t GetSystemIdByName(const char* name) const;
    int32_t GetSystemIdByType(int32_t sysType) const;
    // sysId when a system of that type (0: any type) has that id, else -1.
    int32_t FindSystemIdOfType(int32_t sysId, int32_t sysType) const;

    // Key-word look-ups against a header record's payload words; -1 when none matches or the words
    // do not lie within the payload.
    // USBL systems (type 2): key words equal two given words / payload words 0, 1 / words 1, 2.
    int32_t GetUsblSystemIdByKeys(int32_t key1, int32_t key2) const;
    int32_t GetUsblSystemIdByKey(const sHdrEntry* entry) const;
    int32_t GetUsblSystemIdOfRecord(const sHdrEntry* entry) const;
    // Pitch-roll-heave sensors (type 3): words 1, 2.
    int32_t GetPrhSystemIdOfRecord(const sHdrEntry* entry) const;
    // Echosounders or magnetometers (type 1 or 35), and echosounders alone: words 1, 2.
    int32_t GetEchosounderOrMagnetometerSystemId(const sHdrEntry* entry) const;
    int32_t GetEchosounderSystemId(const sHdrEntry* entry) const;
    // Position navigation systems (type 12), three key words: words 0, 1, 2 / words 2, 3, 4.
    int32_t GetGnssSystemIdByKey(const sHdrEntry* entry) const;
    int32_t GetGnssSystemIdOfRecord(const sHdrEntry* entry) const;
    // The system that a header record belongs to; -1 when none.
    int32_t GetSystemIdOfHeaderEntry(const sHdrEntry* entry) const;

    // As the observation list's Compare, records matched by system id.
    int Compare(const CSysDefList& other) const;

    // Block 43; every record gets its size 776 and version 2 first (in the list too).
    void WriteBlock(CVOKFile& file);
    // Appends the records of block 43, or else of the older blocks 27 (512-byte records) or 2
    // (148-byte records) converted to the current layout, each with its system type upgraded;
    // after block 43 the obsolete driver ids are replaced. 1 when the block was read whole (or the
    // file holds no system block), 0 for a block cut short.
    int ReadBlock(CVOKFile& file);

    // The shared-buffer image; 1, or 0 on failure (see CDefinitionList).
    int WriteToIpc(IpcBufferHandle& handle, int block) const;
    int ReadFromIpc(IpcBufferHandle& handle, int block);

    // The eSysDefChange bits of the groups in which a and b differ.
    static uint32_t CompareSysDefs(const sSysDef& a, const sSysDef& b);
    // Copies the groups whose bits are set; the name at most 75 characters.
    static void CopySysDefFields(sSysDef& destination, const sSysDef& source, uint32_t mask);

private:
    // The first system of one of the types whose key words equal the payload words at the given
    // word indices.
    int32_t SystemIdByPayloadKeys(const sHdrEntry* entry, std::initializer_list<int32_t> types,
                                  std::initializer_list<int> words) const;
};
