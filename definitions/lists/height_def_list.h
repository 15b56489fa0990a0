// The height definitions list: small versioned records in block 31 of the block file and in a
// block of the shared buffer, and the reading of the older, much larger height definitions of
// blocks 24, 25, 28 and 30, whose settings move onto the objects that carry the height sensor and,
// for block 30, into the project's tide settings.
#pragma once

#include <cstddef>
#include <cstdint>

#include "definitions/lists/definition_list.h"

class CAdjDefList;
class CNodeDefList;
class CObjDefList;
class CObsDefList;
namespace Vok::Tides {
class CTideSettingsContainer;
}

struct sHeightDef {
    static constexpr uint32_t kSize = 16;
    static constexpr uint8_t kVersion = 1;

    uint32_t recordSize;
    uint8_t version;
    uint8_t zero5[3];
    int32_t id;     // in records made from old blocks: the old definition's system id
    int32_t value;  // in records made from old blocks: their second word
};
static_assert(sizeof(sHeightDef) == 16);
static_assert(offsetof(sHeightDef, version) == 4);
static_assert(offsetof(sHeightDef, id) == 8);
static_assert(offsetof(sHeightDef, value) == 12);

// Size 16, version 1, id 0, value 0; returns def.
sHeightDef* InitHeightDef(sHeightDef* def);

class CHeightDefList : public CDefinitionList<sHeightDef> {
public:
    CHeightDefList() = default;
    // Deep copies of the other list's records; empty for null.
    explicit CHeightDefList(const CHeightDefList* other);
    // Null: nothing; else the list is emptied and refilled with deep copies.
    void CopyFrom(const CHeightDefList* other);

    // Ids below 1 find nothing.
    sHeightDef* FindById(int32_t id) const;
    // Counts, then records by id, then their bytes (as the other lists' Compare).
    int Compare(const CHeightDefList& other) const;

    // Block 31, every record stamped size 16 and version 1 first; returns 1.
    int WriteBlock(CVOKFile& file) const;
    // Reads block 31 whose header is at the file's position. 1 when it was read whole; 0 for
    // another id or a block cut short, after appending the whole records before the cut.
    int ReadBlock(CVOKFile& file);

    // Reads the block whose header is at the file's position as block `id`: 31 as ReadBlock; 24,
    // 25, 28 and 30 as old records, each appended as {16, 1, its system id, its second word}.
    // With the three definition lists given, the object that carries the record's system (the
    // object of the first observation of the system whose node exists and is not fixed) takes
    // the record's codes into the first two slots of its code table; a block-30 record also gives
    // it its tide strategy (converted into the tide settings by one upgrader for the whole block),
    // its squat link and the settings at 216 to 224. Another id reads nothing and gives 1. 1 when
    // the block was read whole; 0 for a block cut short, after the whole records before the cut.
    int ReadLegacyBlock(CVOKFile& file, int id, CObjDefList* objects, const CObsDefList* observations,
                        const CNodeDefList* nodes, const CAdjDefList* adjustments,
                        Vok::Tides::CTideSettingsContainer* tides);

    int WriteToIpc(IpcBufferHandle& handle, int block) const;
    int ReadFromIpc(IpcBufferHandle& handle, int block);
};
