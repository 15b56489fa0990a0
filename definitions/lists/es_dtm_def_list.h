// The echosounder DTM definitions list: owned 768-byte records, their block-file image (block 23,
// in the 568-byte layout below file version 15) and their shared-buffer image, and the small
// edits of a record's options and DTM slots.
#pragma once

#include <cstdint>

#include "definitions/lists/definition_list.h"
#include "definitions/records/es_dtm_def_record.h"

class CHdrList;

class CEsDtmDefList : public CDefinitionList<sEsDtmDef> {
public:
    static constexpr int kFirstFullLayoutVersion = 15;

    CEsDtmDefList() = default;
    // Deep copies of the other list's records; empty for null.
    explicit CEsDtmDefList(const CEsDtmDefList* other);
    // Null: nothing; else the list is emptied and refilled with deep copies.
    void CopyFrom(const CEsDtmDefList* other);

    sEsDtmDef* FindById(int32_t id) const;
    sEsDtmDef* GetById(int32_t id) const { return FindById(id); }
    // Without a sound velocity record (193) in the header list (or without a list) flag 0x8000 is
    // cleared in every record; the three values at 408 and the values at 424 and 432 are brought
    // within their ranges.
    void Validate(const CHdrList* headers);
    // Counts, then records by id, then their bytes.
    int Compare(const CEsDtmDefList& other) const;

    // Block 23: whole records from file version 15 on (each stamped with size 768 first), else
    // each in the old 568-byte layout. Returns 1.
    int WriteBlock(CVOKFile& file, int fileVersion);
    // Reads the block whose header is at the file's position in the layout of the file version and
    // appends the records. 1 when the block was read whole; 0 for a record that runs past the
    // block or the file, after appending the records before it.
    int ReadBlock(CVOKFile& file, int fileVersion);

    int WriteToIpc(IpcBufferHandle& handle, int block) const;
    int ReadFromIpc(IpcBufferHandle& handle, int block);
};

// A 0 in keepFlag clears flag 0x80 of the option flags, in keepBit0 / keepBit1 bit 0 / bit 1 of
// the option bits. Null does nothing.
void ClearOptionBits(sEsDtmDef* def, int keepFlag, int keepBit0, int keepBit1);
// force 0: four DTM slots that are all 0 become -1. force set: the setting at 468 becomes 0 and
// the four slots -1. Null does nothing.
void ResetDtmSlots(sEsDtmDef* def, int force);
