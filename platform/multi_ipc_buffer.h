// The buffer of blocks that the suite's processes share: one growable named segment holding a header,
// a descriptor per block and the blocks' bytes. Each block is a plain array of fixed-size records or a
// ring of them. Writers work under the exclusive hold of the buffer's lock, readers under a shared hold;
// pointers handed out are valid only while the hold lasts.
//
// Everything in the segment may have been written by another process, so each descriptor is checked
// against the mapping before it is used: a bad block or record index, or a descriptor that points
// outside the data area, throws std::out_of_range and nothing outside the mapping is ever touched.
#pragma once

#include <cstddef>
#include <cstdint>
#include <exception>
#include <string>

#include "compat/windows_types.h"
#include "foundation/time_value.h"
#include "platform/resizable_ipc_buffer.h"

namespace Vok {

// At offset 0 of every data generation. Shared format, little-endian.
struct IpcBufferHeader {
    uint32_t blockCount;
    uint32_t version;  // +1 per AddBlock and per release of an exclusive hold that wrote
    sMjdTime time;     // the newest block time; (0, -1.0) until one is set
};
static_assert(sizeof(IpcBufferHeader) == 24);
static_assert(offsetof(IpcBufferHeader, blockCount) == 0);
static_assert(offsetof(IpcBufferHeader, version) == 4);
static_assert(offsetof(IpcBufferHeader, time) == 8);

// Descriptor i lies at 24 + 56 * i. Shared format, little-endian.
struct IpcBlockDescriptor {
    uint32_t id;
    uint32_t size;           // bytes of the block
    uint32_t changeCounter;  // +1 per writable access under an exclusive hold
    uint32_t reserved1;
    sMjdTime time;           // (0, -1.0) until set
    uint32_t recordCount;
    uint32_t nextIndex;      // rings: the slot the next record goes into
    uint32_t recordSize;
    uint32_t flags;          // IPC_BLOCK_RING
    uint32_t offset;         // of the block's bytes from the start of the data area
    uint32_t reserved2;
};
static_assert(sizeof(IpcBlockDescriptor) == 56);
static_assert(offsetof(IpcBlockDescriptor, id) == 0);
static_assert(offsetof(IpcBlockDescriptor, size) == 4);
static_assert(offsetof(IpcBlockDescriptor, changeCounter) == 8);
static_assert(offsetof(IpcBlockDescriptor, reserved1) == 12);
static_assert(offsetof(IpcBlockDescriptor, time) == 16);
static_assert(offsetof(IpcBlockDescriptor, recordCount) == 32);
static_assert(offsetof(IpcBlockDescriptor, nextIndex) == 36);
static_assert(offsetof(IpcBlockDescriptor, recordSize) == 40);
static_assert(offsetof(IpcBlockDescriptor, flags) == 44);
static_assert(offsetof(IpcBlockDescriptor, offset) == 48);
static_assert(offsetof(IpcBlockDescriptor, reserved2) == 52);

constexpr uint32_t IPC_BLOCK_RING = 1;

// How long opening a buffer waits for its lock.
constexpr DWORD OPEN_TIMEOUT_MS = 2000;

namespace IpcBuffer {

// A block or a ring record could not be added because the buffer could not grow.
class AddError : public std::exception {
public:
    explicit AddError(std::string message) : m_message(std::move(message)) {}
    AddError(const AddError&) = default;
    AddError& operator=(const AddError&) = default;
    const char* what() const noexcept override { return m_message.c_str(); }

private:
    std::string m_message;
};

}  // namespace IpcBuffer

class MultiIPCBuffer : public ResizableIPCBuffer {
public:
    // Opens the buffer of that name, setting up an empty one (generation 1) when nobody has yet. Takes
    // and releases the exclusive hold, waiting openTimeoutMs at most: a buffer already set up is
    // then opened without it (its first hold maps it); one that is not throws std::runtime_error. The
    // exceptions of the segments and the lock pass, and leave no hold behind.
    explicit MultiIPCBuffer(const std::string& name, DWORD openTimeoutMs = OPEN_TIMEOUT_MS);
    ~MultiIPCBuffer() override;
    // Whether the opening waited for the lock in vain: a hold taken at once after it would wait again
    // for what has kept it.
    bool WasOpenedWithoutHold() const { return m_openedWithoutHold; }

    // Indices are 0-based. Every operation that takes a block index i throws std::out_of_range
    // "IPCBuffer: Invalid block index" when i is not below the block count or block i's descriptor does
    // not lie within the mapping, and "IPCBuffer: Invalid record index" for a record index that is not
    // below the block's capacity. None of them takes the lock.

    // 0 when the mapping holds no header.
    DWORD GetBlockCount() const;
    DWORD GetVersion() const;
    const sMjdTime* GetTime() const;

    DWORD GetBlockId(DWORD i) const;
    DWORD GetBlockSize(DWORD i) const;
    const sMjdTime* GetBlockTime(DWORD i) const;
    // Stamps block i (an invalid time as (0, 0.0)) and raises the buffer time to it when it is later.
    void SetBlockTime(DWORD i, const CVOKTime& time);
    DWORD GetBlockChangeCounter(DWORD i) const;
    // The block's bytes; GetBlockData counts as a write.
    BYTE* GetBlockData(DWORD i);
    const BYTE* GetConstBlockData(DWORD i) const;
    bool IsRingBlock(DWORD i) const;
    DWORD GetRecordSize(DWORD i) const;
    void SetRecordSize(DWORD i, DWORD recordSize);
    DWORD GetRecordCount(DWORD i) const;
    void SetRecordCount(DWORD i, DWORD recordCount);
    // Record k of block i; the records are not aligned, copy them with memcpy. GetRecord counts as a
    // write (twice, as it always has: the change counter moves by 2).
    BYTE* GetRecord(DWORD i, DWORD k);
    const BYTE* GetConstRecord(DWORD i, DWORD k) const;
    // size / recordSize; 0 for a record size of 0.
    DWORD GetRecordCapacity(DWORD i) const;
    // Index of the first block with that id; the block count when there is none. Never throws.
    DWORD FindBlock(DWORD id) const;
    // Under this object's exclusive hold the descriptor's change counter advances and the hold's
    // release will raise the version; without it nothing is counted.
    IpcBlockDescriptor* GetWritableBlock(DWORD i);
    const IpcBlockDescriptor* GetBlockDescriptor(DWORD i) const;
    // 24 + 56 * block count (saturated at 0xFFFFFFFF). Never throws.
    DWORD GetDataAreaOffset() const;

    // A copy of checked descriptor i and where its bytes start in the view, taken once: an operation
    // that uses only this copy cannot be led outside the block by a peer that rewrites the descriptor
    // meanwhile. bytes + descriptor.size lies within the mapping.
    struct sBlockView {
        DWORD index;
        IpcBlockDescriptor descriptor;
        BYTE* bytes;
    };
    sBlockView LoadBlock(DWORD i) const;
    // Counts count writes of the loaded block, as GetWritableBlock does, without reading its
    // descriptor again.
    void CountBlockWrite(const sBlockView& block, DWORD count);
    // For a block loaded under the hold that is still held (its descriptor's place was checked then
    // and only a structural change moves it): counts writes, then stamps it with time as
    // SetBlockTime does and sets its record count, each counted as a write.
    void CompleteBlockWrite(const sBlockView& block, DWORD writes, const sMjdTime& time, DWORD recordCount);

    // Structural changes, under the exclusive hold: each creates the next generation, fills it with the
    // change made and only then publishes it, so that a writer killed half-way leaves the buffer as it
    // was; this process's mapping of the old generation is dropped. A generation that cannot be
    // created throws IpcBuffer::ResizeError, and a current generation whose file another process cut
    // short std::runtime_error; either leaves the buffer as it was.
    // A record size of 0 means the block size (one record).
    DWORD AddBlock(DWORD id, DWORD size, DWORD recordSize);
    // As AddBlock, marked as a ring; a failed growth throws IpcBuffer::AddError.
    DWORD AddRingBlock(DWORD id, DWORD size, DWORD recordSize);
    void RemoveBlock(DWORD i);
    // Keeps min(old, new capacity) records. A ring, or keepRecordSize clear, keeps the capacity and
    // scales the record size; a plain block with keepRecordSize keeps its record size (at most the
    // new size). recordCount and nextIndex stay as they are.
    void ResizeBlock(DWORD i, DWORD newSize, bool keepRecordSize);

    // Ring blocks only: copies data and then extra into the next slot, widening the ring's records
    // when they are too short (IpcBuffer::AddError when that fails). A plain block throws "IPCBuffer:
    // Invalid block index", a ring without a slot "IPCBuffer: Invalid record index". Nothing happens
    // for empty data.
    void WriteRecord(DWORD i, const void* data, DWORD length, const void* extra, DWORD extraLength);
    void WriteRecord(DWORD i, const void* data, DWORD length);
    // The newest record's index; the capacity when there is none.
    DWORD GetLatestRecordIndex(DWORD i) const;
    // Makes record r the newest; r above the capacity throws "IPCBuffer: Invalid record index".
    void SetLatestRecordIndex(DWORD i, DWORD r);

    // The hold is taken and the current generation mapped; a generation without a header, or with more
    // descriptors than it holds, is refused as ResizableIPCBuffer refuses damaged files.
    bool LockExclusive(DWORD timeoutMs) override;
    bool LockShared(DWORD timeoutMs) override;
    // Releases the hold; an exclusive hold during which something was written first raises the version.
    // false without a hold.
    bool Unlock() override;

private:
    // The mapped bytes; null and 0 when nothing is mapped.
    BYTE* View() const;
    uint64_t ViewSize() const;
    // Null when the mapping is too short for a header.
    IpcBufferHeader* Header() const;
    // The block count, checked to fit the mapping with its descriptors.
    DWORD CheckedBlockCount() const;
    // Descriptor i, checked: i below the count, and the block within the data area.
    IpcBlockDescriptor* Descriptor(DWORD i) const;
    // Counts a write when this object holds the exclusive hold.
    void CountWrite(IpcBlockDescriptor& d);
    // The current generation's bytes for a structural change to copy from; throws std::runtime_error
    // when its file no longer covers them.
    const BYTE* SourceForCopy() const;
    // Refuses a hold whose generation holds no header, more descriptors than it has room for, or whose
    // header lay beyond the end of its file.
    bool CheckLayout();

    bool m_dirty = false;
    bool m_openedWithoutHold = false;
};

}  // namespace Vok
