#include "platform/multi_ipc_buffer.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <memory>
#include <stdexcept>
#include <system_error>

#include <boost/format.hpp>

namespace Vok {

namespace {

const char* const INVALID_BLOCK = "IPCBuffer: Invalid block index";
const char* const INVALID_RECORD = "IPCBuffer: Invalid record index";
const char* const RING_BLOCK_FAILED = "Failed to add ring block because resizing of the block failed: %1%";
const char* const RING_RECORD_FAILED = "Failed to add ring record because resizing of the block failed: %1%";
const char* const RESIZE_FAILED = "Failed to create shared memory with size %1%: %2%";

constexpr uint64_t HEADER_SIZE = sizeof(IpcBufferHeader);
constexpr uint64_t DESCRIPTOR_SIZE = sizeof(IpcBlockDescriptor);
constexpr uint64_t MAX_DWORD = std::numeric_limits<DWORD>::max();

constexpr sMjdTime NO_TIME{0, 0, -1.0};

uint64_t HeadLength(uint64_t blockCount) { return HEADER_SIZE + DESCRIPTOR_SIZE * blockCount; }

uint64_t DescriptorOffset(DWORD i) { return HEADER_SIZE + DESCRIPTOR_SIZE * i; }

DWORD Capacity(const IpcBlockDescriptor& d) { return d.recordSize == 0 ? 0 : d.size / d.recordSize; }

// Bytes of the next generation that a structural change fills before it publishes it.
BYTE* Bytes(const std::unique_ptr<SharedMemorySegment>& segment) {
    return segment ? static_cast<BYTE*>(segment->GetView()) : nullptr;
}

void Copy(BYTE* destination, const BYTE* source, uint64_t length) {
    if (length != 0) std::memcpy(destination, source, static_cast<size_t>(length));
}

}  // namespace

MultiIPCBuffer::MultiIPCBuffer(const std::string& name, DWORD openTimeoutMs) : ResizableIPCBuffer(name) {
    if (!ResizableIPCBuffer::LockExclusive(openTimeoutMs)) {
        // A peer that stopped while it holds the lock must not stop this opener too.
        m_openedWithoutHold = true;
        if (GetDataSize() != 0) return;
        if (GetRefusalError() != 0)
            throw std::system_error(GetRefusalError(), std::generic_category(), "Could not create lock: " + name);
        throw std::runtime_error("Could not create lock: " + name + (GetRefusal().empty() ? "" : ": " + GetRefusal()));
    }
    // Whatever fails below, the hold goes with it.
    struct sRelease {
        ResizableIPCBuffer* buffer;
        ~sRelease() { buffer->ResizableIPCBuffer::Unlock(); }
    } release{this};
    if (GetDataSize() == 0) {
        ResizeAndCopy(HEADER_SIZE);
        const IpcBufferHeader empty{0, 0, NO_TIME};
        std::memcpy(View(), &empty, sizeof empty);
    }
    m_dirty = false;
}

MultiIPCBuffer::~MultiIPCBuffer() = default;

// ---------------------------------------------------------------------------------------------------
// The mapping and the checks of what other processes wrote into it.

BYTE* MultiIPCBuffer::View() const {
    return m_dataSegment ? static_cast<BYTE*>(m_dataSegment->GetView()) : nullptr;
}

uint64_t MultiIPCBuffer::ViewSize() const { return View() != nullptr ? m_dataSegment->GetSize() : 0; }

IpcBufferHeader* MultiIPCBuffer::Header() const {
    // Generations start at 0 of a page-aligned mapping, so the header and the descriptors (at multiples
    // of 8) are aligned; only the blocks' bytes are not.
    return ViewSize() >= HEADER_SIZE ? reinterpret_cast<IpcBufferHeader*>(View()) : nullptr;
}

DWORD MultiIPCBuffer::CheckedBlockCount() const {
    const IpcBufferHeader* header = Header();
    if (header == nullptr) throw std::out_of_range(INVALID_BLOCK);
    const DWORD count = header->blockCount;
    if (HeadLength(count) > ViewSize()) throw std::out_of_range(INVALID_BLOCK);
    return count;
}

MultiIPCBuffer::sBlockView MultiIPCBuffer::LoadBlock(DWORD i) const {
    const DWORD count = CheckedBlockCount();
    if (i >= count) throw std::out_of_range(INVALID_BLOCK);
    sBlockView block;
    block.index = i;
    std::memcpy(&block.descriptor, View() + DescriptorOffset(i), sizeof block.descriptor);
    const uint64_t start = HeadLength(count) + block.descriptor.offset;
    if (start + block.descriptor.size > ViewSize()) throw std::out_of_range(INVALID_BLOCK);
    block.bytes = View() + start;
    return block;
}

IpcBlockDescriptor* MultiIPCBuffer::Descriptor(DWORD i) const {
    LoadBlock(i);
    return reinterpret_cast<IpcBlockDescriptor*>(View() + DescriptorOffset(i));
}

void MultiIPCBuffer::CountWrite(IpcBlockDescriptor& d) {
    if (!m_lock.IsExclusive()) return;
    ++d.changeCounter;
    m_dirty = true;
}

void MultiIPCBuffer::CountBlockWrite(const sBlockView& block, DWORD count) {
    if (!m_lock.IsExclusive() || count == 0) return;
    // LoadBlock found the descriptor within this mapping, and only a structural change replaces it.
    BYTE* counter = View() + DescriptorOffset(block.index) + offsetof(IpcBlockDescriptor, changeCounter);
    DWORD value;
    std::memcpy(&value, counter, sizeof value);
    value += count;
    std::memcpy(counter, &value, sizeof value);
    m_dirty = true;
}

void MultiIPCBuffer::CompleteBlockWrite(const sBlockView& block, DWORD writes, const sMjdTime& time,
                                        DWORD recordCount) {
    auto* d = reinterpret_cast<IpcBlockDescriptor*>(View() + DescriptorOffset(block.index));
    if (m_lock.IsExclusive()) {
        d->changeCounter += writes + 2;
        m_dirty = true;
    }
    d->time = sMjdTime{time.day, 0, time.seconds};
    IpcBufferHeader* header = Header();
    // The blocks of one update share its time: the buffer's time is then that time already. Else
    // it is raised as SetBlockTime raises it, by the difference of the two CVOKTime values.
    if (std::memcmp(&header->time, &d->time, sizeof d->time) != 0) {
        const sMjdTime& h = header->time;
        const double difference = (static_cast<double>(h.day) - static_cast<double>(time.day)) * CVOKTime::kSecondsPerDay +
                                  (h.seconds - time.seconds);
        if (difference < 0.0) header->time = d->time;
    }
    d->recordCount = recordCount;
}

const BYTE* MultiIPCBuffer::SourceForCopy() const {
    if (m_dataSegment == nullptr || !m_dataSegment->CoversView())
        throw std::runtime_error("Could not create view of shared memory: " + GetSegmentName());
    return View();
}

bool MultiIPCBuffer::CheckLayout() {
    const IpcBufferHeader* header = Header();
    if (header == nullptr) return Refuse("IPCBuffer: " + GetSegmentName() + " holds no header");
    const DWORD count = header->blockCount;
    // The hold's check found N_MNGT whole after reading it; only the header was read since.
    if (!IsDataIntact()) return false;
    if (HeadLength(count) > ViewSize()) {
        return Refuse((boost::format("IPCBuffer: %1% holds %2% block descriptors in %3% bytes") % GetSegmentName() %
                       count % ViewSize()).str());
    }
    return true;
}

// ---------------------------------------------------------------------------------------------------
// Header and descriptors.

DWORD MultiIPCBuffer::GetBlockCount() const {
    const IpcBufferHeader* header = Header();
    return header != nullptr ? header->blockCount : 0;
}

DWORD MultiIPCBuffer::GetVersion() const {
    const IpcBufferHeader* header = Header();
    return header != nullptr ? header->version : 0;
}

const sMjdTime* MultiIPCBuffer::GetTime() const {
    const IpcBufferHeader* header = Header();
    return header != nullptr ? &header->time : &NO_TIME;
}

DWORD MultiIPCBuffer::GetBlockId(DWORD i) const { return LoadBlock(i).descriptor.id; }

DWORD MultiIPCBuffer::GetBlockSize(DWORD i) const { return LoadBlock(i).descriptor.size; }

const sMjdTime* MultiIPCBuffer::GetBlockTime(DWORD i) const { return &Descriptor(i)->time; }

void MultiIPCBuffer::SetBlockTime(DWORD i, const CVOKTime& time) {
    const sMjdTime stamp = time.GetMjdTime();  // the padding is written as zero
    IpcBlockDescriptor* d = GetWritableBlock(i);
    d->time = stamp;
    IpcBufferHeader* header = Header();
    if (CVOKTime(header->time) < time) header->time = stamp;
}

DWORD MultiIPCBuffer::GetBlockChangeCounter(DWORD i) const { return LoadBlock(i).descriptor.changeCounter; }

BYTE* MultiIPCBuffer::GetBlockData(DWORD i) {
    const sBlockView block = LoadBlock(i);
    GetWritableBlock(i);
    return block.bytes;
}

const BYTE* MultiIPCBuffer::GetConstBlockData(DWORD i) const { return LoadBlock(i).bytes; }

bool MultiIPCBuffer::IsRingBlock(DWORD i) const { return (LoadBlock(i).descriptor.flags & IPC_BLOCK_RING) != 0; }

DWORD MultiIPCBuffer::GetRecordSize(DWORD i) const { return LoadBlock(i).descriptor.recordSize; }

void MultiIPCBuffer::SetRecordSize(DWORD i, DWORD recordSize) { GetWritableBlock(i)->recordSize = recordSize; }

DWORD MultiIPCBuffer::GetRecordCount(DWORD i) const { return LoadBlock(i).descriptor.recordCount; }

void MultiIPCBuffer::SetRecordCount(DWORD i, DWORD recordCount) { GetWritableBlock(i)->recordCount = recordCount; }

BYTE* MultiIPCBuffer::GetRecord(DWORD i, DWORD k) {
    const sBlockView block = LoadBlock(i);
    if (k >= Capacity(block.descriptor)) throw std::out_of_range(INVALID_RECORD);
    GetWritableBlock(i);
    GetWritableBlock(i);
    return block.bytes + uint64_t{block.descriptor.recordSize} * k;
}

const BYTE* MultiIPCBuffer::GetConstRecord(DWORD i, DWORD k) const {
    const sBlockView block = LoadBlock(i);
    if (k >= Capacity(block.descriptor)) throw std::out_of_range(INVALID_RECORD);
    return block.bytes + uint64_t{block.descriptor.recordSize} * k;
}

DWORD MultiIPCBuffer::GetRecordCapacity(DWORD i) const { return Capacity(LoadBlock(i).descriptor); }

DWORD MultiIPCBuffer::FindBlock(DWORD id) const {
    const IpcBufferHeader* header = Header();
    if (header == nullptr) return 0;
    const DWORD count = header->blockCount;
    // Only the descriptors that lie within the mapping are looked at.
    const uint64_t fitting = std::min<uint64_t>(count, (ViewSize() - HEADER_SIZE) / DESCRIPTOR_SIZE);
    for (DWORD i = 0; i < fitting; ++i) {
        DWORD blockId;
        std::memcpy(&blockId, View() + DescriptorOffset(i) + offsetof(IpcBlockDescriptor, id), sizeof blockId);
        if (blockId == id) return i;
    }
    return count;
}

IpcBlockDescriptor* MultiIPCBuffer::GetWritableBlock(DWORD i) {
    IpcBlockDescriptor* d = Descriptor(i);
    CountWrite(*d);
    return d;
}

const IpcBlockDescriptor* MultiIPCBuffer::GetBlockDescriptor(DWORD i) const { return Descriptor(i); }

DWORD MultiIPCBuffer::GetDataAreaOffset() const {
    return static_cast<DWORD>(std::min(HeadLength(GetBlockCount()), MAX_DWORD));
}

// ---------------------------------------------------------------------------------------------------
// Structural changes. Each creates the next generation, copies the current one into it with the change
// made, and only then publishes it: until then every other process, and this one after a failure, keeps
// the current generation as it was.

DWORD MultiIPCBuffer::AddBlock(DWORD id, DWORD size, DWORD recordSize) {
    const DWORD n = CheckedBlockCount();
    const uint64_t total = ViewSize();
    const uint64_t headLength = HeadLength(n);
    const uint64_t areaLength = total - headLength;
    if (areaLength > MAX_DWORD) throw std::out_of_range(INVALID_BLOCK);  // the offset must fit its field
    const uint64_t newTotal = total + DESCRIPTOR_SIZE + size;
    std::unique_ptr<SharedMemorySegment> next = CreateNextGeneration(newTotal);
    const BYTE* old = SourceForCopy();
    BYTE* view = Bytes(next);
    Copy(view, old, headLength);

    IpcBlockDescriptor d{};
    d.id = id;
    d.size = size;
    d.time = NO_TIME;
    d.recordSize = recordSize != 0 ? recordSize : size;
    d.offset = static_cast<DWORD>(areaLength);
    std::memcpy(view + headLength, &d, sizeof d);
    // The new block's bytes, at the end, stay zero.
    Copy(view + headLength + DESCRIPTOR_SIZE, old + headLength, areaLength);

    auto* header = reinterpret_cast<IpcBufferHeader*>(view);
    header->blockCount = n + 1;
    ++header->version;
    Publish(std::move(next), static_cast<DWORD>(newTotal));
    if (m_lock.IsExclusive()) m_dirty = true;
    return n;
}

DWORD MultiIPCBuffer::AddRingBlock(DWORD id, DWORD size, DWORD recordSize) {
    DWORD index;
    try {
        index = AddBlock(id, size, recordSize);
    } catch (const IpcBuffer::ResizeError& e) {
        throw IpcBuffer::AddError((boost::format(RING_BLOCK_FAILED) % e.what()).str());
    }
    GetWritableBlock(index)->flags = IPC_BLOCK_RING;
    return index;
}

void MultiIPCBuffer::RemoveBlock(DWORD i) {
    const DWORD n = CheckedBlockCount();
    const IpcBlockDescriptor removed = LoadBlock(i).descriptor;
    GetWritableBlock(i);
    const uint64_t total = ViewSize();
    const uint64_t start = HeadLength(n) + removed.offset;
    const uint64_t size = removed.size;
    const uint64_t newTotal = total - size - DESCRIPTOR_SIZE;
    std::unique_ptr<SharedMemorySegment> next = CreateNextGeneration(newTotal);
    const BYTE* old = SourceForCopy();
    BYTE* view = Bytes(next);
    // The header and the descriptors before i; then the later descriptors and the data area up to
    // block i, one descriptor lower; then everything after block i.
    Copy(view, old, DescriptorOffset(i));
    Copy(view + DescriptorOffset(i), old + DescriptorOffset(i) + DESCRIPTOR_SIZE,
         start - DescriptorOffset(i) - DESCRIPTOR_SIZE);
    Copy(view + start - DESCRIPTOR_SIZE, old + start + size, total - start - size);

    reinterpret_cast<IpcBufferHeader*>(view)->blockCount = n - 1;
    for (DWORD j = i; j < n - 1; ++j) {
        auto* d = reinterpret_cast<IpcBlockDescriptor*>(view + DescriptorOffset(j));
        d->offset -= removed.size;
        CountWrite(*d);
    }
    Publish(std::move(next), static_cast<DWORD>(newTotal));
}

void MultiIPCBuffer::ResizeBlock(DWORD i, DWORD newSize, bool keepRecordSize) {
    const DWORD n = CheckedBlockCount();
    const IpcBlockDescriptor before = LoadBlock(i).descriptor;
    GetWritableBlock(i);
    const uint64_t oldSize = before.size;
    if (newSize == oldSize) return;
    const uint64_t headLength = HeadLength(n);
    const DWORD oldCapacity = Capacity(before);
    const uint64_t total = ViewSize();
    const uint64_t newTotal = total - oldSize + newSize;
    std::unique_ptr<SharedMemorySegment> next = CreateNextGeneration(newTotal);
    const BYTE* old = SourceForCopy();
    BYTE* view = Bytes(next);
    // Header, descriptors (with the change counter just advanced), the blocks before i and those after.
    Copy(view, old, headLength);
    Copy(view + headLength, old + headLength, before.offset);
    const uint64_t after = headLength + before.offset + oldSize;
    Copy(view + headLength + before.offset + newSize, old + after, total - after);

    auto* d = reinterpret_cast<IpcBlockDescriptor*>(view + DescriptorOffset(i));
    const bool ring = (before.flags & IPC_BLOCK_RING) != 0;
    if (!ring && keepRecordSize)
        d->recordSize = std::min(before.recordSize, newSize);
    else
        d->recordSize = oldCapacity != 0 ? newSize / oldCapacity : newSize;
    d->size = newSize;
    const DWORD newRecordSize = d->recordSize;

    // The new generation's block starts zero; the records are copied one by one.
    BYTE* block = view + headLength + before.offset;
    if (before.recordSize != 0 && before.recordCount > 0) {
        const DWORD newCapacity = newRecordSize != 0 ? newSize / newRecordSize : 0;
        const DWORD count = std::min(oldCapacity, newCapacity);
        const DWORD length = std::min(before.recordSize, newRecordSize);
        const BYTE* oldBlock = old + headLength + before.offset;
        for (DWORD k = 0; k < count; ++k)
            Copy(block + uint64_t{newRecordSize} * k, oldBlock + uint64_t{before.recordSize} * k, length);
    }

    for (DWORD j = i + 1; j < n; ++j) {
        auto* later = reinterpret_cast<IpcBlockDescriptor*>(view + DescriptorOffset(j));
        later->offset += newSize - before.size;
        CountWrite(*later);
    }
    Publish(std::move(next), static_cast<DWORD>(newTotal));
}

// ---------------------------------------------------------------------------------------------------
// Rings.

void MultiIPCBuffer::WriteRecord(DWORD i, const void* data, DWORD length, const void* extra, DWORD extraLength) {
    if (data == nullptr || length == 0) return;
    // The slot is sized for the extra bytes even when none are given.
    const uint64_t total = uint64_t{length} + extraLength;
    if (extra == nullptr) extraLength = 0;
    sBlockView block = LoadBlock(i);
    // A plain block is no ring: growing it here would widen it on every write.
    if ((block.descriptor.flags & IPC_BLOCK_RING) == 0) throw std::out_of_range(INVALID_BLOCK);
    const DWORD capacity = Capacity(block.descriptor);
    if (capacity == 0 || block.descriptor.nextIndex >= capacity) throw std::out_of_range(INVALID_RECORD);
    if (total > block.descriptor.recordSize) {
        // A ring keeps its capacity and widens its records by a tenth more than asked.
        const uint64_t newSize = (total + total / 10) * capacity;
        try {
            if (newSize > MAX_DWORD)
                throw IpcBuffer::ResizeError(
                    (boost::format(RESIZE_FAILED) % newSize % "the size does not fit in 32 bits").str());
            ResizeBlock(i, static_cast<DWORD>(newSize), true);
        } catch (const IpcBuffer::ResizeError& e) {
            throw IpcBuffer::AddError((boost::format(RING_RECORD_FAILED) % e.what()).str());
        }
        block = LoadBlock(i);
        if (total > block.descriptor.recordSize || block.descriptor.nextIndex >= Capacity(block.descriptor))
            throw std::out_of_range(INVALID_RECORD);
    }
    const IpcBlockDescriptor& d = block.descriptor;
    IpcBlockDescriptor* shared = GetWritableBlock(i);
    BYTE* slot = block.bytes + uint64_t{d.recordSize} * d.nextIndex;
    std::memcpy(slot, data, length);
    if (extraLength != 0) std::memcpy(slot + length, extra, extraLength);
    shared->nextIndex = d.nextIndex + 1 == capacity ? 0 : d.nextIndex + 1;
    if (d.recordCount < capacity) shared->recordCount = d.recordCount + 1;
}

void MultiIPCBuffer::WriteRecord(DWORD i, const void* data, DWORD length) { WriteRecord(i, data, length, nullptr, 0); }

DWORD MultiIPCBuffer::GetLatestRecordIndex(DWORD i) const {
    const IpcBlockDescriptor d = LoadBlock(i).descriptor;
    if (d.recordCount == 0) return Capacity(d);
    return d.nextIndex != 0 ? d.nextIndex - 1 : d.recordCount - 1;
}

void MultiIPCBuffer::SetLatestRecordIndex(DWORD i, DWORD r) {
    const DWORD capacity = GetRecordCapacity(i);
    if (r > capacity) throw std::out_of_range(INVALID_RECORD);
    GetWritableBlock(i)->nextIndex = (r + 1 == capacity || r == capacity) ? 0 : r + 1;
}

// ---------------------------------------------------------------------------------------------------
// The lock.

bool MultiIPCBuffer::LockExclusive(DWORD timeoutMs) {
    if (!ResizableIPCBuffer::LockExclusive(timeoutMs)) return false;
    m_dirty = false;
    if (CheckLayout()) return true;
    ResizableIPCBuffer::Unlock();
    return false;
}

bool MultiIPCBuffer::LockShared(DWORD timeoutMs) {
    if (!ResizableIPCBuffer::LockShared(timeoutMs)) return false;
    m_dirty = false;
    if (CheckLayout()) return true;
    ResizableIPCBuffer::Unlock();
    return false;
}

bool MultiIPCBuffer::Unlock() {
    // The version is raised before the release, so no reader sees the writes without it.
    if (m_dirty && m_lock.IsExclusive()) {
        if (IpcBufferHeader* header = Header()) ++header->version;
    }
    m_dirty = false;
    return ResizableIPCBuffer::Unlock();
}

}  // namespace Vok
