#include "platform/ipc_buffer_handle.h"

#include <algorithm>
#include <cstring>
#include <stdexcept>

#include <boost/format.hpp>

#include "foundation/system_time.h"

namespace {

// A block of this id is read whole, whatever its records say.
constexpr DWORD WHOLE_BLOCK_ID = 85;

// 1-based numbers to 0-based indices; 0 becomes an index no block or record has.
DWORD Index(DWORD number) { return number - 1; }

DWORD Capacity(const Vok::IpcBlockDescriptor& d) { return d.recordSize == 0 ? 0 : d.size / d.recordSize; }

// The bytes of GetBlockDataSize for a loaded block.
DWORD DataSize(const Vok::IpcBlockDescriptor& d) {
    if (d.id == WHOLE_BLOCK_ID) return d.size;
    return static_cast<DWORD>(std::min<uint64_t>(uint64_t{d.recordCount} * d.recordSize, d.size));
}

}  // namespace

IpcBufferHandle::IpcBufferHandle(const CString& name, int mode, DWORD openTimeoutMs)
    : buffer(name.Str(), openTimeoutMs), m_writer(mode == 1), m_name(name) {}

IpcBufferHandle::~IpcBufferHandle() = default;

bool IpcBufferHandle::Lock(DWORD timeoutMs) {
    if (m_writer) return buffer.LockExclusive(timeoutMs);
    if (!buffer.LockShared(timeoutMs)) return false;
    if (buffer.GetBlockCount() == 0) {
        buffer.Unlock();
        return false;
    }
    return true;
}

bool IpcBufferHandle::Unlock() {
    buffer.Unlock();
    return true;
}

bool IpcBufferHandle::ContainsBlocks() {
    if (buffer.IsLocked()) return buffer.GetBlockCount() > 0;
    if (!Lock()) return false;
    const bool contains = buffer.GetBlockCount() > 0;
    Unlock();
    return contains;
}

bool IpcBufferHandle::HasBlocks(const CString& name) {
    Vok::MultiIPCBuffer probe(name.Str());
    probe.LockShared(1000);
    const bool has = probe.IsLocked() && probe.GetBlockCount() > 0;
    if (probe.IsLocked()) probe.Unlock();
    return has;
}

int IpcBufferHandle::ReadRecord(DWORD i, DWORD j, void* destination, DWORD destinationSize) {
    try {
        const Vok::MultiIPCBuffer::sBlockView block = buffer.LoadBlock(Index(i));
        const DWORD size = block.descriptor.recordSize;
        // Another process chose the record size; it must not overrun this caller's record.
        if (size > destinationSize || Index(j) >= Capacity(block.descriptor)) return 0;
        std::memcpy(destination, block.bytes + uint64_t{size} * Index(j), size);
        std::memset(static_cast<BYTE*>(destination) + size, 0, destinationSize - size);
        if (buffer.IsIntact()) return 1;
        std::memset(destination, 0, destinationSize);
        return 0;
    } catch (...) {
        return 0;
    }
}

int IpcBufferHandle::WriteRecord(DWORD i, DWORD j, const void* source, DWORD sourceSize) {
    try {
        const Vok::MultiIPCBuffer::sBlockView block = buffer.LoadBlock(Index(i));
        const DWORD size = block.descriptor.recordSize;
        if (size > sourceSize || Index(j) >= Capacity(block.descriptor)) return 0;
        // Counted as GetRecord counts a record write: twice.
        buffer.CountBlockWrite(block, 2);
        std::memcpy(block.bytes + uint64_t{size} * Index(j), source, size);
        return buffer.IsIntact() ? 1 : 0;
    } catch (...) {
        return 0;
    }
}

int IpcBufferHandle::SetBlockTime(DWORD i, const SYSTEMTIME& time) {
    buffer.SetBlockTime(Index(i), CVOKTime(SystemTimeToMjdTime(time)));
    return 1;
}

int IpcBufferHandle::WriteBlock(DWORD i, const void* source, DWORD length) {
    const Vok::MultiIPCBuffer::sBlockView block = buffer.LoadBlock(Index(i));
    const DWORD size = std::min(length, block.descriptor.size);
    buffer.CountBlockWrite(block, 1);
    if (size != 0) std::memcpy(block.bytes, source, size);
    return 1;
}

int IpcBufferHandle::WriteBlockAt(DWORD i, DWORD offset, const void* source, DWORD length) {
    const Vok::MultiIPCBuffer::sBlockView block = buffer.LoadBlock(Index(i));
    if (uint64_t{offset} + length > block.descriptor.size) throw std::out_of_range("IPCBuffer: Invalid record index");
    buffer.CountBlockWrite(block, 1);
    if (length != 0) std::memcpy(block.bytes + offset, source, length);
    return 1;
}

int IpcBufferHandle::WriteBlockConst(DWORD i, const void* source, DWORD length) { return WriteBlock(i, source, length); }

int IpcBufferHandle::CopyBytes(DWORD /*i*/, void* destination, const void* source, DWORD length) {
    if (length != 0) std::memcpy(destination, source, length);
    return 1;
}

int IpcBufferHandle::ReadBlock(DWORD i, void* destination, DWORD destinationSize) {
    const Vok::MultiIPCBuffer::sBlockView block = LoadIntactBlock(i);
    if (block.bytes == nullptr) return 0;
    // Without a hold the size is 0, as GetBlockDataSize answers: nothing is copied.
    const DWORD size = buffer.IsLocked() ? DataSize(block.descriptor) : 0;
    // Another process may have grown the block's records since the caller asked for their size.
    if (size > destinationSize) return 0;
    if (size != 0) std::memcpy(destination, block.bytes, size);
    if (buffer.IsIntact()) return 1;
    // The copy met the end of the file: what it took is zeros, not the block.
    if (size != 0) std::memset(destination, 0, size);
    return 0;
}

DWORD IpcBufferHandle::GetBlockDataSize(DWORD i) {
    if (!buffer.IsLocked()) return 0;
    const Vok::MultiIPCBuffer::sBlockView block = LoadIntactBlock(i);
    return block.bytes != nullptr && buffer.IsIntact() ? DataSize(block.descriptor) : 0;
}

Vok::MultiIPCBuffer::sBlockView IpcBufferHandle::LoadIntactBlock(DWORD i) {
    try {
        Vok::MultiIPCBuffer::sBlockView block = buffer.LoadBlock(Index(i));
        if (buffer.IsIntact()) return block;
    } catch (const std::out_of_range&) {
        // A file cut short reads as zeros, which hold no block: refused, not a bad number.
        if (buffer.IsIntact()) throw;
    }
    return {Index(i), {}, nullptr};
}

BYTE* IpcBufferHandle::WriteRecordResize(DWORD i, DWORD j, const void* source, DWORD length) {
    const DWORD capacity = buffer.GetRecordCapacity(Index(i));
    // Checked before the block is widened, which keeps the capacity, so a bad number changes nothing.
    if (Index(j) >= capacity) throw std::out_of_range("IPCBuffer: Invalid record index");
    if (length > buffer.GetRecordSize(Index(i))) {
        const uint64_t newSize = uint64_t{capacity} * length;
        if (newSize > 0xFFFFFFFFu)
            throw Vok::IpcBuffer::ResizeError(
                (boost::format("Failed to create shared memory with size %1%: the size does not fit in 32 bits") %
                 newSize).str());
        buffer.ResizeBlock(Index(i), static_cast<DWORD>(newSize), false);
        buffer.SetRecordSize(Index(i), length);
    }
    BYTE* record = buffer.GetRecord(Index(i), Index(j));
    if (length != 0) std::memcpy(record, source, length);
    return record;
}

DWORD IpcBufferHandle::GetLastRecord(DWORD i) {
    const Vok::MultiIPCBuffer::sBlockView block = LoadIntactBlock(i);
    const Vok::IpcBlockDescriptor& d = block.descriptor;
    if (block.bytes == nullptr || d.recordCount == 0) return 0;
    if ((d.flags & Vok::IPC_BLOCK_RING) == 0) return d.recordCount;
    return d.nextIndex != 0 ? d.nextIndex : d.recordCount;
}

int IpcBufferHandle::SetLastRecord(DWORD i, DWORD j) {
    if (!buffer.IsRingBlock(Index(i))) return 0;
    buffer.SetLatestRecordIndex(Index(i), Index(j));
    return 1;
}

DWORD IpcBufferHandle::AddBlocks(DWORD n, const DWORD* ids, const DWORD* sizes, const DWORD* recordSizes) {
    for (DWORD k = 0; k < n; ++k) buffer.AddBlock(ids[k], sizes[k], recordSizes[k]);
    return buffer.GetBlockCount();
}

int IpcBufferHandle::RemoveBlocksFrom(DWORD i) {
    if (i == 0) throw std::out_of_range("IPCBuffer: Invalid block index");
    while (buffer.GetBlockCount() >= i) buffer.RemoveBlock(Index(i));
    return 1;
}

DWORD IpcBufferHandle::ClearBlocks() {
    const DWORD count = buffer.GetBlockCount();
    for (DWORD k = 0; k < count; ++k) {
        const Vok::MultiIPCBuffer::sBlockView block = buffer.LoadBlock(k);
        buffer.CountBlockWrite(block, 1);
        if (block.descriptor.size != 0) std::memset(block.bytes, 0, block.descriptor.size);
    }
    return count;
}

CVOKTime IpcBufferHandle::GetBufferTime() {
    const sMjdTime time = *buffer.GetTime();
    return buffer.IsIntact() ? CVOKTime(time) : CVOKTime();
}

int IpcBufferHandle::GetBufferTime(SYSTEMTIME& time) {
    const CVOKTime value = GetBufferTime();
    time = TimeToSystemTime(value);
    return buffer.IsIntact() ? 1 : 0;
}

CVOKTime IpcBufferHandle::GetBlockTime(DWORD i) {
    const Vok::MultiIPCBuffer::sBlockView block = LoadIntactBlock(i);
    return block.bytes != nullptr ? CVOKTime(block.descriptor.time) : CVOKTime();
}

int IpcBufferHandle::GetBlockTime(DWORD i, SYSTEMTIME& time) {
    const CVOKTime value = GetBlockTime(i);
    time = TimeToSystemTime(value);
    return buffer.IsIntact() ? 1 : 0;
}

int IpcBufferHandle::SetBlockTimeNow(DWORD i) {
    buffer.SetBlockTime(Index(i), CurrentUtcTime());
    return 1;
}

bool UnlockIfLocked(Vok::ILockable* lockable) {
    if (lockable == nullptr || !lockable->IsLocked()) return false;
    return lockable->Unlock();
}
