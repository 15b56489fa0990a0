#include "platform/resizable_ipc_buffer.h"

#include <sys/inotify.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <limits>
#include <locale>
#include <sstream>
#include <stdexcept>
#include <system_error>

#include <boost/format.hpp>

namespace Vok {

namespace {

const char* const RESIZE_FAILED = "Failed to create shared memory with size %1%: %2%";
const std::string VIEW_FAILED = "Could not create view of shared memory: ";
constexpr DWORD MAX_SIZE = std::numeric_limits<DWORD>::max();

std::string SegmentName(const std::string& name, DWORD generation) {
    std::ostringstream text;
    text.imbue(std::locale::classic());
    text << name << '_' << generation;
    return text.str();
}

// A file shorter than N_MNGT says.
std::string CutShort(const std::string& name, uint64_t size, uint64_t promised) {
    return (boost::format("%1%%2% (cut short to %3% of its %4% bytes)") % VIEW_FAILED % name % size % promised).str();
}

// A view that met the end of its file: with the file's size as the cause, unless the file has
// grown back since.
std::string BrokenView(const std::string& name, const SharedMemorySegment& segment, uint64_t promised) {
    const uint64_t size = segment.GetFileSize();
    return size < promised ? CutShort(name, size, promised) : VIEW_FAILED + name;
}

IpcBuffer::ResizeError MakeResizeError(uint64_t size, const char* reason, int systemError = 0) {
    return IpcBuffer::ResizeError((boost::format(RESIZE_FAILED) % size % reason).str(), systemError);
}

// The data generations belong to the buffer, not to the lifetime rule of their files: the creator of
// a fresh N_MNGT clears generations that dead processes left, and the last holder of N_MNGT takes every
// generation with it: the current one, an old one whose name a killed writer did not remove, and a
// next one that it never published. The last holder reads nothing of N_MNGT for this, so a damaged
// N_MNGT cannot make it remove a file of another buffer.
sSegmentHooks ManagementHooks(const std::string& name) {
    sSegmentHooks hooks;
    hooks.onCreate = [name](const Ipc::CIpcFolder& folder) { folder.RemoveGenerationFiles(name); };
    hooks.onLast = [name](const Ipc::CIpcFolder& folder, const void*) { folder.RemoveGenerationFiles(name); };
    return hooks;
}

}  // namespace

BaseIPCBuffer::BaseIPCBuffer(const std::string& name) : m_lock(name) {}

BaseIPCBuffer::~BaseIPCBuffer() = default;

ResizableIPCBuffer::ResizableIPCBuffer(const std::string& name)
    : BaseIPCBuffer(name),
      m_managementSegment(name + "_MNGT", sizeof(sIpcManagement), 0, nullptr, ManagementHooks(name)),
      m_name(name) {
    // Another program may have made a file of that name with another size.
    if (m_managementSegment.GetSize() < sizeof(sIpcManagement))
        throw std::runtime_error(CutShort(name + "_MNGT", m_managementSegment.GetSize(), sizeof(sIpcManagement)));
}

ResizableIPCBuffer::~ResizableIPCBuffer() = default;

std::string ResizableIPCBuffer::ManagementRefusal() const {
    return BrokenView(m_name + "_MNGT", m_managementSegment, sizeof(sIpcManagement));
}

sIpcManagement ResizableIPCBuffer::ReadManagement() const {
    sIpcManagement management{0, 0};
    std::memcpy(&management, m_managementSegment.GetConstView(), sizeof management);
    // A file cut short reads as zero through the guard's pages, as it reads when looked at again.
    return m_managementSegment.IsBroken() ? sIpcManagement{0, 0} : management;
}

void ResizableIPCBuffer::WriteManagement(const sIpcManagement& management) {
    if (m_managementSegment.IsBroken()) throw std::runtime_error(ManagementRefusal());
    std::memcpy(m_managementSegment.GetView(), &management, sizeof management);
    if (m_managementSegment.IsBroken()) throw std::runtime_error(ManagementRefusal());
}

DWORD ResizableIPCBuffer::GetDataSize() const { return ReadManagement().dataSize; }

void ResizableIPCBuffer::SetDataSize(DWORD size) {
    sIpcManagement management = ReadManagement();
    management.dataSize = size;
    WriteManagement(management);
}

DWORD ResizableIPCBuffer::GetGeneration() const { return ReadManagement().generation; }

void ResizableIPCBuffer::IncrementGeneration() {
    sIpcManagement management = ReadManagement();
    ++management.generation;
    WriteManagement(management);
}

std::string ResizableIPCBuffer::GetSegmentName() const { return SegmentName(m_name, GetGeneration()); }

std::string ResizableIPCBuffer::GetNextSegmentName() const { return SegmentName(m_name, GetGeneration() + 1); }

bool ResizableIPCBuffer::Remap() { return Remap(ReadManagement()); }

bool ResizableIPCBuffer::Remap(const sIpcManagement& management) {
    if (management.generation == m_mappedGeneration) return false;
    const std::string name = SegmentName(m_name, management.generation);
    std::unique_ptr<SharedMemorySegment> segment;
    if (management.dataSize == 0) {
        segment = SharedMemorySegment::CreateGeneration(name, 0);  // maps nothing
    } else {
        segment = SharedMemorySegment::OpenGeneration(name);
        // Never hand out a view shorter than the size that N_MNGT promises.
        if (segment->GetSize() < management.dataSize) throw std::runtime_error(CutShort(name, segment->GetSize(), management.dataSize));
    }
    m_dataSegment = std::move(segment);
    m_mappedGeneration = management.generation;
    m_mappedSize = management.dataSize;
    WatchMappedGeneration();
    return true;
}

std::unique_ptr<SharedMemorySegment> ResizableIPCBuffer::CreateNextGeneration(uint64_t newSize) {
    if (newSize > MAX_SIZE) throw MakeResizeError(newSize, "the size does not fit in 32 bits");
    if (GetGeneration() == MAX_SIZE) throw MakeResizeError(newSize, "no generation number is left");
    try {
        return SharedMemorySegment::CreateGeneration(GetNextSegmentName(), newSize);
    } catch (const std::system_error& e) {
        throw MakeResizeError(newSize, e.what(), e.code().value());
    } catch (const std::exception& e) {
        throw MakeResizeError(newSize, e.what());
    }
}

std::unique_ptr<SharedMemorySegment> ResizableIPCBuffer::Resize(uint64_t newSize) {
    std::unique_ptr<SharedMemorySegment> next = CreateNextGeneration(newSize);
    return Publish(std::move(next), static_cast<DWORD>(newSize));
}

void ResizableIPCBuffer::ResizeAndCopy(uint64_t newSize) {
    if (newSize > MAX_SIZE) throw MakeResizeError(newSize, "the size does not fit in 32 bits");
    const DWORD oldSize = GetDataSize();
    if (newSize == oldSize) return;
    if (GetGeneration() == MAX_SIZE) throw MakeResizeError(newSize, "no generation number is left");
    // Created and filled before it is published, so N_MNGT never names a generation that does not
    // exist or that lacks its contents.
    std::unique_ptr<SharedMemorySegment> next = SharedMemorySegment::CreateGeneration(GetNextSegmentName(), newSize);
    if (m_dataSegment != nullptr && m_dataSegment->GetConstView() != nullptr && next->GetView() != nullptr) {
        const uint64_t count = std::min<uint64_t>({oldSize, m_dataSegment->GetSize(), newSize});
        std::memcpy(next->GetView(), m_dataSegment->GetConstView(), static_cast<size_t>(count));
    }
    Publish(std::move(next), static_cast<DWORD>(newSize));
}

std::unique_ptr<SharedMemorySegment> ResizableIPCBuffer::Publish(std::unique_ptr<SharedMemorySegment> next, DWORD size) {
    const DWORD oldGeneration = GetGeneration();
    sIpcManagement management = ReadManagement();
    management.generation = oldGeneration + 1;
    management.dataSize = size;
    // A generation that met the end of a file while it was filled, or copied from, holds zeros.
    const bool nextBroken = next != nullptr && next->IsBroken();
    if (nextBroken || (m_dataSegment != nullptr && m_dataSegment->IsBroken()))
        throw std::runtime_error(VIEW_FAILED + SegmentName(m_name, nextBroken ? oldGeneration + 1 : oldGeneration));
    // First, so that a management segment found cut short leaves this process's mapping as it was.
    WriteManagement(management);
    std::unique_ptr<SharedMemorySegment> previous = std::move(m_dataSegment);
    m_dataSegment = std::move(next);
    m_mappedGeneration = management.generation;
    m_mappedSize = management.dataSize;
    WatchMappedGeneration();
    // Processes that still map the old generation keep it until they re-map; only its name goes.
    if (oldGeneration != 0) {
        try {
            Ipc::CIpcFolder::Open().RemoveFile(Ipc::KIND_SEGMENT, SegmentName(m_name, oldGeneration));
        } catch (const std::exception&) {
            // A name left behind is removed when N_MNGT is next created afresh.
        }
    }
    return previous;
}

bool ResizableIPCBuffer::Refuse(std::string reason) {
    m_refusal = std::move(reason);
    m_refusalError = 0;
    return false;
}

bool ResizableIPCBuffer::CheckHold() {
    // No file size is looked up at a hold: an access beyond the end of a file that another process cut
    // short meets the mapping guard's zero pages, and the view is then found broken, here or by
    // IsIntact. A view broken at an earlier hold is mapped from its file again first.
    m_managementSegment.Restore();
    if (m_dataSegment != nullptr) m_dataSegment->Restore();
    const sIpcManagement management = ReadManagement();
    if (m_managementSegment.IsBroken()) return Refuse(ManagementRefusal());
    try {
        Remap(management);
    } catch (const std::system_error& e) {
        Refuse(e.what());
        m_refusalError = e.code().value();
        return false;
    } catch (const std::exception& e) {
        return Refuse(e.what());
    }
    // A file cut inside its last page reads as zeros without a fault: only its size tells.
    return CheckFileSizes();
}

bool ResizableIPCBuffer::CheckFileSizes() {
    if (m_sizesKnown) return true;
    const auto cut = [this](const std::string& name, uint64_t size, uint64_t promised) {
        return Refuse(CutShort(name, size, promised));
    };
    if (const uint64_t size = m_managementSegment.GetFileSize(); size < sizeof(sIpcManagement))
        return cut(m_name + "_MNGT", size, sizeof(sIpcManagement));
    if (m_dataSegment != nullptr && m_mappedSize != 0) {
        const uint64_t size = m_dataSegment->GetFileSize();
        if (size < m_mappedSize) return cut(SegmentName(m_name, m_mappedGeneration), size, m_mappedSize);
    }
    // Trusted from now on only while the watch tells of no change.
    m_sizesKnown = m_sizeWatch.IsOpen();
    return true;
}

void ResizableIPCBuffer::WatchMappedGeneration() {
    m_sizesKnown = false;
    if (!m_sizeWatch.IsOpen()) return;
    if (m_dataWatch >= 0) ::inotify_rm_watch(m_sizeWatch.Get(), m_dataWatch);
    m_dataWatch = -1;
    const int fd = m_dataSegment != nullptr ? m_dataSegment->GetFd() : -1;
    if (fd < 0) return;
    // The file this process maps, whatever is at its name now.
    const std::string path = "/proc/self/fd/" + std::to_string(fd);
    m_dataWatch = ::inotify_add_watch(m_sizeWatch.Get(), path.c_str(), IN_MODIFY | IN_ATTRIB);
    // Unwatched, the sizes are read at every hold.
    if (m_dataWatch < 0) m_sizeWatch.Reset();
}

int ResizableIPCBuffer::WatchFileSizes() {
    if (m_sizeWatch.IsOpen()) return m_sizeWatch.Get();
    m_sizeWatch = Posix::CUniqueFd(::inotify_init1(IN_NONBLOCK | IN_CLOEXEC));
    const int fd = m_managementSegment.GetFd();
    const std::string path = "/proc/self/fd/" + std::to_string(fd);
    if (!m_sizeWatch.IsOpen() || fd < 0 ||
        ::inotify_add_watch(m_sizeWatch.Get(), path.c_str(), IN_MODIFY | IN_ATTRIB) < 0) {
        m_sizeWatch.Reset();
        return -1;
    }
    WatchMappedGeneration();
    return m_sizeWatch.Get();
}

void ResizableIPCBuffer::TakeFileChanges() {
    m_sizesKnown = false;
    if (!m_sizeWatch.IsOpen()) return;
    alignas(inotify_event) char events[4096];
    while (::read(m_sizeWatch.Get(), events, sizeof events) > 0) {
    }
}

bool ResizableIPCBuffer::IsIntact() {
    if (m_managementSegment.IsBroken()) return Refuse(ManagementRefusal());
    return IsDataIntact() && CheckFileSizes();
}

bool ResizableIPCBuffer::IsDataIntact() {
    if (m_dataSegment != nullptr && m_dataSegment->IsBroken())
        return Refuse(BrokenView(SegmentName(m_name, m_mappedGeneration), *m_dataSegment, m_mappedSize));
    return true;
}

bool ResizableIPCBuffer::LockExclusive(DWORD timeoutMs) {
    m_refusal.clear();
    m_refusalError = 0;
    if (!m_lock.LockExclusive(timeoutMs)) return false;
    if (CheckHold()) return true;
    m_lock.UnlockExclusive();
    return false;
}

bool ResizableIPCBuffer::LockShared(DWORD timeoutMs) {
    m_refusal.clear();
    m_refusalError = 0;
    if (!m_lock.LockShared(timeoutMs)) return false;
    if (CheckHold()) return true;
    m_lock.UnlockShared();
    return false;
}

bool ResizableIPCBuffer::Unlock() {
    if (m_lock.IsShared()) return m_lock.UnlockShared();
    if (m_lock.IsExclusive()) return m_lock.UnlockExclusive();
    return false;
}

bool ResizableIPCBuffer::IsLocked() const { return m_lock.IsLocked(); }

}  // namespace Vok
