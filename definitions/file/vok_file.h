// The project database's block file: an int32 block count, then blocks back to back, each an
// 8-byte header {int32 id, int32 payload size} and its payload (little-endian, no signature).
// CVOKFile is the file class with the block operations; the definitions lists write their blocks
// through BeginBlock / EndBlock and read them after FindBlock. Every reader trusts nothing in the
// file: it stops at the first header or record that does not come whole and checks stored sizes
// against the bytes that remain. File exceptions of failing seeks and writes pass to the caller.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "compat/collections.h"
#include "compat/cstring.h"
#include "compat/file.h"

class CHdrList;

struct sBlockHeader {
    int32_t id;
    int32_t size;  // payload bytes; an unsigned distance when stepping over the payload
};
static_assert(sizeof(sBlockHeader) == 8);

// Block ids that the code of this system reads or writes (GetBlockName has them all).
enum eBlockId : int32_t {
    BLOCK_UNUSED = 0,
    BLOCK_HEADER_DEFS_OLD = 1,
    BLOCK_SYSTEM_DEFS_OLDEST = 2,
    BLOCK_OBS_DEFS_OLDEST = 4,
    BLOCK_OBJECT_DEFS = 5,
    BLOCK_NODE_DEFS_OLD = 6,
    BLOCK_OBS_EVENTS = 7,
    BLOCK_HISTORY_OLD = 8,
    BLOCK_FIX_DEFINITION = 9,
    BLOCK_NODE_EVENT_HEAD = 12,
    BLOCK_FIX_EVENTS = 13,
    BLOCK_OBS_EVENTS_LATER = 15,
    BLOCK_NODE_EVENTS = 16,
    BLOCK_OBS_FILTER_DEFS = 19,
    BLOCK_ES_DTM_DEFS = 23,
    BLOCK_HEIGHT_DEFS_OLD_24 = 24,
    BLOCK_HEIGHT_DEFS_OLD_25 = 25,
    BLOCK_VERSION = 26,
    BLOCK_SYSTEM_DEFS_OLD = 27,
    BLOCK_HEIGHT_DEFS_OLD_28 = 28,
    BLOCK_ANCHOR_DEFS_OLD = 29,
    BLOCK_HEIGHT_DEFS_OLD_30 = 30,
    BLOCK_HEIGHT_DEFS = 31,
    BLOCK_FILTER_DEFS = 32,
    BLOCK_HEADER_DEFS = 33,
    BLOCK_HISTORY = 35,
    BLOCK_OBS_DEFS_OLD = 37,
    BLOCK_NODE_DEFS = 38,
    BLOCK_ANCHOR_DEFS = 39,
    BLOCK_OBS_DEFS = 40,
    BLOCK_SYSTEM_DEFS = 43,
};

class CVOKFile : public CFile {
public:
    static constexpr int kMaxBlockCount = 10000;  // a larger count is refused by FindBlock

    // Positions the file at the header of the first block with that id whose payload lies within
    // the file: 1. Otherwise 0, at position 0 (just after the count when it is above 10000). The
    // walk trusts the count but stops at a short header or a block that runs past the end.
    int FindBlock(int id);
    // FindBlock, then steps over that block; 0 when not found.
    int SkipBlockById(int id);
    // An 8-byte zero placeholder header; returns the payload start.
    ULONGLONG BeginBlock();
    // Writes {id, low 32 bits of size} before the payload and leaves the file at its end.
    void EndBlock(ULONGLONG payloadStart, ULONGLONG size, int id);
    // The stored count; 0 when the file is shorter than 4 bytes.
    int GetBlockCount();
    // From the start: false when the count is 0 or less or the first header is not whole.
    bool ReadFirstBlockHeader(sBlockHeader& header);
    // Steps over the payload of header and reads the next header; true when it came whole.
    bool ReadNextBlockHeader(sBlockHeader& header);
    // Reads a header here and steps over its payload; true when the header was whole.
    bool SkipBlock();
    // Steps over the counted blocks from the start. True when every counted block lies whole in
    // the file (a count of 0 too); false for a negative count or a file that ends early.
    bool SeekPastBlocks();
    // The first int32 of block 26's payload; 0 without block 26 or with a shorter payload.
    int ReadVersionBlock();
    // Every block after the first block 7, header and payload, appended to out (emptied first);
    // the first block that the file does not hold whole ends the walk. True when block 7 was met.
    bool CollectBlocksAfterEvents(CByteArray& out);
    // Appends the first block with that id, header and payload, at the target's position; 1, or 0
    // for a null target, a missing block or a payload that could not be read whole.
    int CopyBlock(CFile* target, int id);
    // Set the id of every block but 7 and 15, or of every block with that id, to 0; the position
    // is kept. A file of 4 bytes or less is left alone.
    void ClearAllBlockIds();
    void ClearBlockId(int id);
    // Writes the number of blocks really there as the count (a count of 0 or less stays).
    void RecountBlocks();
    // The blocks and the history as text lines (the array is emptied first).
    void Dump(CStringArray& lines);
    void Dump();
    static CString GetBlockName(int id);
    // Ids that the file format gives to blocks: those GetBlockName names, the unused 0 apart.
    static bool IsKnownBlockId(int id);

    // Project file operations (the file open unless said otherwise).
    // The version text and build number of the header definitions (read with the upgrade, which
    // also sets the unit library's current units from them).
    void GetVersionString(CString& out);
    int GetBuildNumber();
    // Opens the project at path for reading (this object closed before) and reads the name of its
    // survey unit, the unit library's name of unit 1 when it has none; empty when the file cannot
    // be opened or read. The file's read-only state is not touched.
    void GetSurveyUnitName(CString& out, const char* path);
    // Stamps the history entry of the action with the value in its third word and the current
    // time, rewriting block 35 in place, or else appending a new block 35 after the last whole
    // block (an old block 8 is marked unused). A read-only file is made writable for the time and
    // is read-only again afterwards, whatever happens. 1 done, 0 failed (a failed write is logged).
    int AddHistoryEntry(const char* path, int action, int value);
    // Writes the header definitions, the system definitions and a fresh history (entry 2 stamped)
    // of this file at the target's position; the caller adds the 3 blocks to the target's count.
    // 3, or 0 for a null target.
    int CopyHeaderAndSystems(CVOKFile* target, int report, int upgradeMode, int writeMode);

    // Steps over the counted blocks that lie whole in the file, then over every further block
    // whose id is known (IsKnownBlockId) and whose payload lies within the file, and over unused
    // blocks between them; stays after the last one and returns their number.
    int SeekPastRealBlocks();

    // Reads one header here; false, and the header zeroed, when it did not come whole.
    bool ReadBlockHeader(sBlockHeader& header);
    // Bytes between the position and the end of the file (0 past the end).
    ULONGLONG GetRemainingLength();
    // Reads the payload of the block whose header was just read as records of recordSize bytes
    // and hands each to take (const uint8_t*), which returns false to stop. 1 when the payload
    // was read whole as whole records and take accepted each; otherwise 0, after the whole
    // records that came before. Nothing is read past the payload.
    template <typename F>
    int ReadRecords(const sBlockHeader& header, size_t recordSize, F take);

    // Event chains: records of one size inside a block, each beginning with the int32 offset
    // (from the payload start) of the next record; -1 ends a chain.
    // Writes the record here as the chain's newest and links the previous last record to it.
    // first and last are the chain's offsets (-1 for an empty chain); base is the payload start.
    int WriteChainedRecord(const void* record, UINT length, int* first, int* last, int base);
    // The first and last fix events of block 7's chain that the header list's record 215 (or an
    // old 125) locates; 1 when the chain was read whole.
    int GetFixEventRange(const CHdrList* headers, int* firstId, SYSTEMTIME* firstTime, int* lastId,
                         SYSTEMTIME* lastTime);
    int ReadFixEventChain(int* firstId, SYSTEMTIME* firstTime, int* lastId, SYSTEMTIME* lastTime, int firstOffset);
    int ReadOldFixEventChain(int* firstId, SYSTEMTIME* firstTime, int* lastId, SYSTEMTIME* lastTime,
                             int firstOffset);
    // The first and last heartbeats (record 149).
    int GetHeartbeatTimeRange(const CHdrList* headers, SYSTEMTIME* first, SYSTEMTIME* last);
    int ReadHeartbeatChain(SYSTEMTIME* first, SYSTEMTIME* last, int firstOffset);
    // The oldest form: blocks 9 and 13. 1 when the first and the last fix were read.
    int GetFixRange(int* firstFix, SYSTEMTIME* firstTime, int* lastFix, SYSTEMTIME* lastTime);
    // Blocks 12 and 16; 0 when the blocks or the block after block 16 are missing.
    int GetNodeEventTimeRange(SYSTEMTIME* first, SYSTEMTIME* last);

private:
    // Walks from the start over whole headers, to the end of the file whatever the count says;
    // false when the count is 0 or less and nothing was walked.
    template <typename F>
    bool WalkAllBlocks(F visit);
    int32_t ReadCount();
    void WriteHeaderAt(ULONGLONG headerPosition, const sBlockHeader& header);
};

template <typename F>
int CVOKFile::ReadRecords(const sBlockHeader& header, size_t recordSize, F take) {
    if (recordSize == 0) return 0;
    const auto size = static_cast<uint32_t>(header.size);
    std::vector<uint8_t> record(recordSize);
    uint64_t done = 0;
    while (size - done >= recordSize) {
        if (Read(record.data(), static_cast<UINT>(recordSize)) != recordSize) return 0;
        done += recordSize;
        if (!take(static_cast<const uint8_t*>(record.data()))) return 0;
    }
    return done == size ? 1 : 0;
}
