// The anchor definitions list: owned 284-byte records with their block-file image (block 39, and
// the old block 29 upgraded on reading) and their shared-buffer image.
#pragma once

#include <cstddef>
#include <cstdint>

#include "definitions/lists/definition_list.h"

class CVOKFile;

// An anchor definition, 284 bytes, packed: the values at 116 are not aligned. A shared-buffer and
// file format (little-endian); bytes without a meaning here are kept as they are.
#pragma pack(push, 1)
struct sAnchorDef {
    char name[50];            // zero-terminated
    uint8_t reserved50[26];
    int32_t id;               // from 1
    uint8_t reserved80[4];
    int32_t settings[8];
    double values[6];
    int32_t references1[5];   // references 1 to 5; 1 or more: set
    uint8_t reserved184[32];
    int32_t references6[7];   // references 6 to 12
    uint8_t reserved244[40];
};
#pragma pack(pop)
static_assert(sizeof(sAnchorDef) == 284);
static_assert(offsetof(sAnchorDef, id) == 76);
static_assert(offsetof(sAnchorDef, settings) == 84);
static_assert(offsetof(sAnchorDef, values) == 116);
static_assert(offsetof(sAnchorDef, references1) == 164);
static_assert(offsetof(sAnchorDef, reserved184) == 184);
static_assert(offsetof(sAnchorDef, references6) == 216);
static_assert(offsetof(sAnchorDef, reserved244) == 244);

class CAnchorDefList : public CDefinitionList<sAnchorDef> {
public:
    CAnchorDefList() = default;
    // Deep copies of the other list's records; empty for null.
    explicit CAnchorDefList(const CAnchorDefList* other);
    // Null: nothing; else the list is emptied and refilled with deep copies (itself: kept).
    void CopyFrom(const CAnchorDefList* other);
    // Same count and every record equal in all its bytes at the same place.
    int Equals(const CAnchorDefList& other) const;
    int NotEquals(const CAnchorDefList& other) const { return Equals(other) ? 0 : 1; }
    sAnchorDef* FindById(int32_t id) const;
    sAnchorDef* GetById(int32_t id) const { return FindById(id); }

    // Block 39 of whole records.
    void WriteBlock(CVOKFile& file) const;
    // Reads the block whose header is at the file's position: block 39, or the old block 29 whose
    // 168-byte records are upgraded. Records are appended. 1 when the block was read whole; 0 for
    // another id, or a block cut short (after appending the whole records before the cut).
    int ReadBlock(CVOKFile& file);

    int WriteToIpc(IpcBufferHandle& handle, int block) const;
    int ReadFromIpc(IpcBufferHandle& handle, int block);
};

// 1 when any of the twelve references is 1 or more.
int AnchorDefHasReferences(const sAnchorDef* def);
