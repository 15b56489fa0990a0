// The face of a shared buffer of blocks that its users hold: opened as the writer or as a reader, with
// a lock call that takes the right kind of hold, and block and record access by 1-based numbers.
#pragma once

#include "compat/cstring.h"
#include "compat/windows_types.h"
#include "foundation/time_value.h"
#include "platform/lockable.h"
#include "platform/multi_ipc_buffer.h"

class IpcBufferHandle {
public:
    // Opens (or sets up, empty) the buffer of that name; mode 1 opens it as its writer, anything else
    // as a reader. The opening waits openTimeoutMs at most for the lock (MultiIPCBuffer). The
    // buffer's exceptions pass.
    IpcBufferHandle(const CString& name, int mode, DWORD openTimeoutMs = Vok::OPEN_TIMEOUT_MS);
    // Closes the buffer; releases no hold.
    ~IpcBufferHandle();
    IpcBufferHandle(const IpcBufferHandle&) = delete;
    IpcBufferHandle& operator=(const IpcBufferHandle&) = delete;

    // A writer takes the exclusive hold, a reader the shared hold, both waiting timeoutMs at most
    // (INFINITE: for ever). A reader keeps its hold only when the buffer holds a block: its writer has
    // not published it otherwise. false also when the buffer's files were found damaged
    // (buffer.GetRefusal says why).
    bool Lock(DWORD timeoutMs = INFINITE);
    // Releases the hold (raising the version when an exclusive hold wrote). Always true.
    bool Unlock();
    // Whether the buffer holds a block; without a hold, the hold is taken for the question.
    bool ContainsBlocks();
    // Opens the buffer of that name and answers whether a shared hold could be had within a second on a
    // buffer that holds a block.
    static bool HasBlocks(const CString& name);

    // Block numbers i and record numbers j are 1-based. Block numbers of 0 or above the count, and
    // record numbers of 0 or above the block's capacity, throw std::out_of_range from every operation
    // but ReadRecord and WriteRecord, which answer 0 instead. None of them locks. Each reads a block's
    // descriptor once and works from that copy, so a peer that rewrites it meanwhile cannot move a copy
    // outside the block.
    //
    // A read that meets the end of a file that another process cut short (buffer.IsIntact) reads
    // zeros, which are no answer: the reads below then refuse, never throw and never answer 1: 0 for
    // a result or a size, the invalid time for a time, a zero SYSTEMTIME for its form.

    // Copies block i's record size of bytes of record j into destination, zeroing the rest of it. 0
    // (nothing copied) on any failure, also when the record size exceeds destinationSize or the copy
    // met the end of a file that another process cut short (buffer.IsIntact).
    int ReadRecord(DWORD i, DWORD j, void* destination, DWORD destinationSize);
    // Copies block i's record size of bytes from source into record j. 0 (nothing copied) on any
    // failure, also when the record size exceeds sourceSize or the copy met the end of a file that
    // another process cut short.
    int WriteRecord(DWORD i, DWORD j, const void* source, DWORD sourceSize);
    // Stamps block i, which also raises the buffer time.
    int SetBlockTime(DWORD i, const SYSTEMTIME& time);
    // Copies min(length, block size) bytes to the start of block i.
    int WriteBlock(DWORD i, const void* source, DWORD length);
    // Copies length bytes to block i at offset; std::out_of_range "IPCBuffer: Invalid record index" when
    // they would not fit in the block.
    int WriteBlockAt(DWORD i, DWORD offset, const void* source, DWORD length);
    int WriteBlockConst(DWORD i, const void* source, DWORD length);
    // Copies length bytes; i is not used.
    int CopyBytes(DWORD i, void* destination, const void* source, DWORD length);
    // Copies GetBlockDataSize (i) bytes of block i into destination; nothing without a hold. The block
    // number is checked in either case. 0, with those bytes zero, when the view was found broken; 0,
    // with nothing copied, when those bytes exceed destinationSize (another process may change the
    // block's records between a caller's GetBlockDataSize and this read).
    int ReadBlock(DWORD i, void* destination, DWORD destinationSize);
    // 0 without a hold and on a broken view; the whole block for id 85; else the bytes of its
    // records, at most the block.
    DWORD GetBlockDataSize(DWORD i);
    // Widens block i's records to length first when they are shorter (keeping the capacity), then
    // copies length bytes into record j and returns it.
    BYTE* WriteRecordResize(DWORD i, DWORD j, const void* source, DWORD length);
    // 0 without records (and on a broken view); a plain block's record count; a ring's newest record
    // number.
    DWORD GetLastRecord(DWORD i);
    // Rings only: makes record j the newest. 0 for a plain block.
    int SetLastRecord(DWORD i, DWORD j);
    // Adds n blocks; returns the block count.
    DWORD AddBlocks(DWORD n, const DWORD* ids, const DWORD* sizes, const DWORD* recordSizes);
    // Removes block i and every later block.
    int RemoveBlocksFrom(DWORD i);
    // Fills every block with zero bytes; returns the block count.
    DWORD ClearBlocks();
    // The times, or the invalid time on a broken view; the SYSTEMTIME forms answer 1, or 0 on a broken
    // view.
    CVOKTime GetBufferTime();
    int GetBufferTime(SYSTEMTIME& time);
    CVOKTime GetBlockTime(DWORD i);
    int GetBlockTime(DWORD i, SYSTEMTIME& time);
    int SetBlockTimeNow(DWORD i);

    const CString& GetName() const { return m_name; }

    // The open buffer, for direct 0-based access between Lock and Unlock.
    Vok::MultiIPCBuffer buffer;

private:
    // Block i loaded from an intact view; bytes null when the view was found broken. A bad block number
    // on an intact view throws std::out_of_range.
    Vok::MultiIPCBuffer::sBlockView LoadIntactBlock(DWORD i);

    bool m_writer;
    CString m_name;
};

// Releases lockable's hold when it has one; returns whether it had one and, if so, what the release
// answered.
bool UnlockIfLocked(Vok::ILockable* lockable);
