// A shared segment that grows and shrinks while other processes have it open. The data lives in a
// segment per generation (N_1, N_2, ...); the management segment N_MNGT names the current one, and
// every process re-maps to it whenever it takes the buffer's lock.
#pragma once

#include <cstddef>
#include <cstdint>
#include <exception>
#include <memory>
#include <string>

#include "compat/windows_types.h"
#include "platform/lockable.h"
#include "platform/read_write_lock.h"
#include "platform/shared_memory.h"

namespace Vok {

namespace IpcBuffer {

// A new generation could not be created: "Failed to create shared memory with size %1%: %2%".
class ResizeError : public std::exception {
public:
    // systemError: the errno when the system refused the file (EMFILE when no descriptor was left).
    explicit ResizeError(std::string message, int systemError = 0)
        : m_message(std::move(message)), m_systemError(systemError) {}
    ResizeError(const ResizeError&) = default;
    ResizeError& operator=(const ResizeError&) = default;
    const char* what() const noexcept override { return m_message.c_str(); }
    int GetSystemError() const { return m_systemError; }

private:
    std::string m_message;
    int m_systemError;
};

}  // namespace IpcBuffer

// The management segment N_MNGT: shared format, little-endian.
struct sIpcManagement {
    uint32_t dataSize;    // bytes of the current data segment; 0 while nothing is set up
    uint32_t generation;  // number of the current data segment; 0 at first, only grows
};
static_assert(sizeof(sIpcManagement) == 8);
static_assert(offsetof(sIpcManagement, dataSize) == 0);
static_assert(offsetof(sIpcManagement, generation) == 4);

class BaseIPCBuffer {
public:
    // Opens or creates the lock named name.
    explicit BaseIPCBuffer(const std::string& name);
    virtual ~BaseIPCBuffer();
    BaseIPCBuffer(const BaseIPCBuffer&) = delete;
    BaseIPCBuffer& operator=(const BaseIPCBuffer&) = delete;

protected:
    // The mapped data generation; null until the first is mapped.
    std::unique_ptr<SharedMemorySegment> m_dataSegment;
    NamedReadWriteLock m_lock;
};

class ResizableIPCBuffer : public BaseIPCBuffer, public virtual ILockable {
public:
    // Opens or creates the lock and N_MNGT (zero when new); maps no data segment yet. The exceptions of
    // the segment and the lock pass.
    explicit ResizableIPCBuffer(const std::string& name);
    // Releases a hold this object still has. The last holder of N_MNGT also removes every data
    // generation of the buffer (an unpublished one that a killed writer left included), so that they
    // live exactly as long as the buffer.
    ~ResizableIPCBuffer() override;

    // Maps the generation that N_MNGT names when this process has another one mapped; false when it
    // already had it. The old mapping is dropped only once the new one is open; a failure leaves it
    // and throws the segment's std::runtime_error.
    bool Remap();
    // Creates the next generation of newSize zero bytes, then publishes it in N_MNGT and makes it
    // current. Returns the previous segment, still mapped, for the caller to copy from. Throws
    // IpcBuffer::ResizeError, changing nothing, when the segment cannot be created or the size does
    // not fit in 32 bits.
    std::unique_ptr<SharedMemorySegment> Resize(uint64_t newSize);
    // As Resize, keeping the first min(old, new) bytes; nothing when the size stays. A creation failure
    // throws the segment's std::runtime_error, a size beyond 32 bits IpcBuffer::ResizeError.
    void ResizeAndCopy(uint64_t newSize);

    DWORD GetDataSize() const;
    void SetDataSize(DWORD size);
    DWORD GetGeneration() const;
    void IncrementGeneration();
    // N, an underscore and the current (next) generation in decimal.
    std::string GetSegmentName() const;
    std::string GetNextSegmentName() const;

    // The hold is taken, then N_MNGT is read and the current generation mapped. What another process
    // wrote there is not trusted: a management segment cut short, or a generation that cannot be
    // opened at the size N_MNGT gives, is refused: the hold is released again, the call returns false
    // and GetRefusal says why. Nothing throws.
    bool LockExclusive(DWORD timeoutMs) override;
    bool LockShared(DWORD timeoutMs) override;
    // Releases a shared hold, else an exclusive hold; false when there is none.
    bool Unlock() override;
    bool IsLocked() const override;
    // Instead of reading both files' sizes at every hold and IsIntact (a system call each), reads
    // them only after the kernel has told of a change to either file (a cut is one): the returned
    // descriptor (inotify) becomes readable then, and its owner, who polls it, calls
    // TakeFileChanges. -1 when the kernel refuses it: the sizes are then read every time.
    int WatchFileSizes();
    // Drains the watch; the next hold or IsIntact reads the sizes again.
    void TakeFileChanges();
    // The watch's descriptor now; -1 without one (it may end when a new generation cannot be watched).
    int GetSizeWatch() const { return m_sizeWatch.Get(); }

    // Why the last lock call was refused; empty when it succeeded or only ran out of time. Also why
    // IsIntact last answered false.
    const std::string& GetRefusal() const { return m_refusal; }
    // The errno of a refusal that the system gave (EMFILE when no descriptor was left); 0 otherwise.
    int GetRefusalError() const { return m_refusalError; }
    // False once an access of this hold met the end of a file that another process cut short (N_MNGT
    // or the mapped generation), or the generation's file is shorter than N_MNGT says (a cut inside
    // its last page faults nowhere): what it read was zeros, what it wrote went nowhere, and the
    // hold's work is to be refused as damage. GetRefusal then says which file.
    bool IsIntact();

protected:
    // The next generation of newSize zero bytes, created but not yet published: the caller fills it and
    // then publishes it, so that no other process ever sees it half-filled. Throws
    // IpcBuffer::ResizeError, changing nothing, when it cannot be created or the size does not fit.
    std::unique_ptr<SharedMemorySegment> CreateNextGeneration(uint64_t newSize);
    // Makes next (of size bytes) the published, current generation, then removes the old one's name.
    // Returns the previous segment, still mapped. Throws std::runtime_error, changing nothing, when
    // next or the current generation met the end of its file (cut short by another process).
    std::unique_ptr<SharedMemorySegment> Publish(std::unique_ptr<SharedMemorySegment> next, DWORD size);
    // Records why a hold is refused; returns false.
    bool Refuse(std::string reason);
    // IsIntact of the data generation alone, for a hold whose N_MNGT was found whole after its
    // last access.
    bool IsDataIntact();

    SharedMemorySegment m_managementSegment;
    std::string m_name;
    DWORD m_mappedGeneration = 0;

private:
    // Why N_MNGT is refused once its view met the end of its file.
    std::string ManagementRefusal() const;
    // N_MNGT as it stands; zero when its file no longer covers it.
    sIpcManagement ReadManagement() const;
    bool Remap(const sIpcManagement& management);
    // Throws std::runtime_error when the file no longer covers N_MNGT (before or during the write).
    void WriteManagement(const sIpcManagement& management);
    // Checks N_MNGT and maps the current generation under a hold just taken; false when refused.
    bool CheckHold();
    // Whether both files are as long as N_MNGT says; refuses otherwise. Without a system call while
    // a watch has told of no change since they were found whole.
    bool CheckFileSizes();
    // Points the watch at the mapped generation's file; its sizes are to be read again.
    void WatchMappedGeneration();

    std::string m_refusal;
    int m_refusalError = 0;
    // dataSize of the mapped generation as N_MNGT gave it.
    DWORD m_mappedSize = 0;
    Posix::CUniqueFd m_sizeWatch;
    int m_dataWatch = -1;
    bool m_sizesKnown = false;
};

}  // namespace Vok
