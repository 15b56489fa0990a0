// The position filter definitions list (block 32, with the older record versions upgraded on
// reading) and the observation filter definitions list (block 19), each with its shared-buffer
// image.
#pragma once

#include <cstdint>

#include "definitions/lists/definition_list.h"
#include "definitions/records/filter_defs.h"

class CNodeDefList;

class CFiltDefList : public CDefinitionList<sFiltDef> {
public:
    CFiltDefList() = default;
    // Deep copies of the other list's records; empty for null.
    explicit CFiltDefList(const CFiltDefList* other);
    // Null: nothing; else the list is emptied and refilled with deep copies.
    void CopyFrom(const CFiltDefList* other);

    // The first record of the set-up and object; null when a key is below 1 or none matches.
    sFiltDef* FindByKeys(int32_t setupId, int32_t objectId) const;
    // FindByKeys with the object of the node; null when the node is missing.
    sFiltDef* FindByNode(int32_t setupId, int32_t nodeId, const CNodeDefList& nodes) const;
    // Removes and frees the record; a record that is not in the list changes nothing.
    void Delete(const sFiltDef* def);
    // Counts, then records matched by both keys, then their bytes.
    int Compare(const CFiltDefList& other) const;

    // Block 32; every record is stamped with its size and version first (in the list too).
    int WriteBlock(CVOKFile& file);
    // Reads the block whose header is at the file's position. Records of the versions 0 (also every
    // record when recordsHaveHeaders is false), 1.x, 2.x, 3.0 and 3.1 are upgraded and validated,
    // a minor version above 1 of major 3 counting as 3.0. Records are appended. 1 when the block
    // was read whole; 0 at a record of another version, a record that runs past the block or a
    // short read, after appending the records before it.
    int ReadBlock(CVOKFile& file, bool recordsHaveHeaders);

    int WriteToIpc(IpcBufferHandle& handle, int block) const;
    int ReadFromIpc(IpcBufferHandle& handle, int block);
};

class CObsFiltDefList : public CDefinitionList<sObsFiltDef> {
public:
    CObsFiltDefList() = default;
    explicit CObsFiltDefList(const CObsFiltDefList* other);
    void CopyFrom(const CObsFiltDefList* other);

    // Null when the id is below 1 or none matches.
    sObsFiltDef* FindByObservation(int32_t obsId) const;
    sObsFiltDef* FindByKeys(int32_t key, int32_t obsId) const;
    // Sets or clears the enabled bit of every record of the observation.
    void SetEnabled(int32_t obsId, bool enabled);
    int Compare(const CObsFiltDefList& other) const;

    // Block 19 of whole records.
    int WriteBlock(CVOKFile& file) const;
    // Appends the 72-byte records of the block whose header is at the file's position; 1 when it
    // was read whole, 0 for a block cut short (after the whole records before the cut).
    int ReadBlock(CVOKFile& file);

    int WriteToIpc(IpcBufferHandle& handle, int block) const;
    int ReadFromIpc(IpcBufferHandle& handle, int block);
};
