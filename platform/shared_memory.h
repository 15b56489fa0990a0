// A named segment of shared memory that any process of this user can open by name.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "compat/windows_types.h"
#include "platform/named_object.h"

// Steps that an owner of a segment adds to its lifetime (a growable buffer cleans up its generations).
struct sSegmentHooks {
    // Runs in a creator, alone, before the initial bytes are written.
    std::function<void(const Vok::Ipc::CIpcFolder& folder)> onCreate;
    // Runs in the last holder, alone, with the view still mapped, before the segment's file is removed.
    std::function<void(const Vok::Ipc::CIpcFolder& folder, const void* view)> onLast;
};

class SharedMemorySegment {
public:
    // Creates the segment of size sizeHigh:sizeLow with initialBytes (zero when null), or opens it as it
    // stands when another process holds it (its own size is mapped). Size 0 maps nothing. Throws
    // std::runtime_error "Could not create shared memory: <name>" or
    // "Could not create view of shared memory: <name>".
    SharedMemorySegment(const std::string& name, DWORD sizeLow, DWORD sizeHigh, const void* initialBytes);
    SharedMemorySegment(const std::string& name, DWORD sizeLow, DWORD sizeHigh, const void* initialBytes,
                        sSegmentHooks hooks);
    ~SharedMemorySegment();
    SharedMemorySegment(const SharedMemorySegment&) = delete;
    SharedMemorySegment& operator=(const SharedMemorySegment&) = delete;

    // A growable buffer's data generations, which the buffer removes itself: a new one of size zero
    // bytes (nothing mapped for size 0), or the existing one as it is. Same exceptions as above.
    static std::unique_ptr<SharedMemorySegment> CreateGeneration(const std::string& name, uint64_t size);
    static std::unique_ptr<SharedMemorySegment> OpenGeneration(const std::string& name);

    void* GetView() { return m_view.Get(); }
    const void* GetConstView() const { return m_view.Get(); }
    // Bytes mapped; 0 when nothing is.
    uint64_t GetSize() const { return m_view.GetSize(); }
    // Whether the segment's file still holds every mapped byte: another process may have truncated it,
    // and touching a page beyond its end would end this process with SIGBUS. True when nothing is mapped.
    bool CoversView() const { return m_view.Get() == nullptr || m_mapping.Covers(m_view.GetSize()); }
    // The file's size now (a system call); 0 when nothing is open or it cannot be read.
    uint64_t GetFileSize() const;
    // The open file's descriptor; -1 when nothing is mapped.
    int GetFd() const { return m_mapping.IsOpen() ? m_mapping.GetFd() : -1; }
    // Whether an access met the end of the file that another process cut short: the view then holds
    // zero pages of its own, and what was read or written there is not the segment's.
    bool IsBroken() const { return m_view.IsBroken(); }
    // Maps the file again in place of a broken view; true when the view is not broken (any more).
    bool Restore() { return m_view.Restore(m_mapping.GetFd()); }
    // Whether this opener created (or re-initialised) the segment rather than finding it.
    bool WasCreated() const { return m_mapping.WasCreated(); }

private:
    SharedMemorySegment() = default;
    void MapView(const std::string& name);

    Vok::Ipc::CNamedFile m_mapping;
    Vok::Ipc::CMappedView m_view;
    std::function<void(const Vok::Ipc::CIpcFolder&, const void*)> m_onLast;
};
