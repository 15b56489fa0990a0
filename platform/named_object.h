// Named objects shared by the processes of one user: a private folder of flat files, one per segment,
// lock or event, whose lifetime follows its holders. Any process that follows the same rules (a host
// in another language included) shares these objects, so the folder, the file names, the lifetime
// byte and the order of steps below are a protocol and must not change.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "platform/posix_call.h"

namespace Vok::Ipc {

// Kind tags in front of the encoded name.
constexpr char KIND_SEGMENT = 'm';
constexpr char KIND_LOCK = 'l';
constexpr char KIND_EVENT = 'e';

// Every holder keeps a read lock on this byte. Record locks may lie beyond the end of a file, so it
// never meets data or the lock bytes of a lock file.
constexpr off_t LIFETIME_BYTE = off_t{1} << 62;

// $VOK_IPC_DIR when set and not empty, else /dev/shm/vok-<effective uid>.
std::string GetFolderPath();

// The name's bytes with every byte outside [A-Za-z0-9_-] written as %XX (upper-case hex).
std::string EncodeName(std::string_view name);

// Kind tag, a dot and the encoded name. Throws std::system_error (ENAMETOOLONG) beyond 255 bytes.
std::string MakeFileName(char kind, std::string_view name);

// Sets (F_RDLCK, F_WRLCK) or clears (F_UNLCK) an open-file-description record lock on [start,
// start + length). wait blocks until it is granted. Returns 0, or the errno: EAGAIN when another
// description holds a conflicting lock and wait is false.
int SetRecordLock(int fd, short type, off_t start, off_t length, bool wait);
// As SetRecordLock, waiting (by polling) until deadline at most: ETIMEDOUT when it passes first.
int SetRecordLockUntil(int fd, short type, off_t start, off_t length, std::chrono::steady_clock::time_point deadline);

// How long an opener waits for a creator or a last holder of a file to finish; one that stopped half-way
// must not hold every other opener for ever.
constexpr std::chrono::milliseconds OPEN_WAIT{5000};

// From now until deadline, a holder that closes a file under the lifetime rule and finds other holders
// still there waits (polling) for them to let go before it decides that it is not the last. For a
// process that has learnt that its peer died: the kernel may tell of the death (the end of the peer's
// launching thread) before the peer's other threads have let go of its files. One deadline for every
// close of the process, so the wait is bounded in all; until this is called, a close never waits.
void WaitForOtherHoldersUntil(std::chrono::steady_clock::time_point deadline);

// The folder, opened and checked: created 0700 when missing; refused when it is a symbolic link, not a
// directory, owned by another user, or writable by group or others.
class CIpcFolder {
public:
    // Throws std::system_error when the folder cannot be made or is refused.
    static CIpcFolder Open();

    int GetFd() const { return m_fd.Get(); }
    const std::string& GetPath() const { return m_path; }

    // Removes a file that the lifetime rule does not manage; a missing file is no error.
    void RemoveFile(char kind, std::string_view name) const;
    // Removes every data generation of a buffer: m.<name>_<digits>.
    void RemoveGenerationFiles(std::string_view bufferName) const;

private:
    Posix::CUniqueFd m_fd;
    std::string m_path;
};

// One holder's open file in the folder.
class CNamedFile {
public:
    // Fills a file that this opener has created (or found without holders) before anyone else may use it.
    using FillFunction = std::function<void(int fd, const CIpcFolder& folder)>;
    // Runs in the last holder, alone, right before the file is removed.
    using LastFunction = std::function<void(const CIpcFolder& folder)>;

    CNamedFile() = default;
    CNamedFile(CNamedFile&&) noexcept = default;
    CNamedFile& operator=(CNamedFile&& other) noexcept;
    CNamedFile(const CNamedFile&) = delete;
    CNamedFile& operator=(const CNamedFile&) = delete;
    ~CNamedFile() { Close(); }

    // Opens under the lifetime rule. An opener that finds no other holder empties the file, sizes it to
    // size bytes (allocated, zero), calls fill and counts as created; any other opener waits until the
    // creator has finished (OPEN_WAIT at most) and takes the file as it is. Only a regular file of this
    // user with one link is used. Throws std::system_error.
    static CNamedFile Open(char kind, std::string_view name, uint64_t size, const FillFunction& fill = {});
    // A file that only this process can know yet (a buffer's next generation): created with O_EXCL, a
    // stale file at that name replaced, size bytes allocated and zero. Not removed by the lifetime rule.
    static CNamedFile CreateExclusive(char kind, std::string_view name, uint64_t size);
    // An existing file taken as it is. Not removed by the lifetime rule.
    static CNamedFile OpenExisting(char kind, std::string_view name);

    // Ends this hold. Under the lifetime rule the last holder calls onLast and removes the file.
    void Close(const LastFunction& onLast = {});

    bool IsOpen() const { return m_file.IsOpen(); }
    int GetFd() const { return m_file.Get(); }
    bool WasCreated() const { return m_created; }
    // The file's size now; throws std::system_error when it cannot be read.
    uint64_t GetFileSize() const;
    // Whether the file still holds at least size bytes (another process may have truncated it).
    bool Covers(uint64_t size) const;

private:
    // Whether the folder entry of our name is still the file this object holds.
    bool IsAtPath() const;

    CIpcFolder m_folder;
    Posix::CUniqueFd m_file;
    std::string m_fileName;
    bool m_managed = false;
    bool m_created = false;
};

// A shared read/write mapping of a whole file, guarded against the file being cut short
// (platform/mapping_guard.h).
class CMappedView {
public:
    CMappedView() = default;
    CMappedView(CMappedView&& other) noexcept;
    CMappedView& operator=(CMappedView&& other) noexcept;
    CMappedView(const CMappedView&) = delete;
    CMappedView& operator=(const CMappedView&) = delete;
    ~CMappedView() { Reset(); }

    // Maps size bytes of fd from offset 0, MAP_SHARED. Throws std::system_error.
    static CMappedView Map(int fd, uint64_t size);

    void* Get() const { return m_address; }
    uint64_t GetSize() const { return m_size; }
    void Reset();
    // Whether an access met the end of the file since the view was mapped or restored: the view then
    // holds zero pages of its own, not the file.
    bool IsBroken() const;
    // Maps fd (the view's file) at the same address again when the view is broken; true when it is
    // not broken (any more). A file still too short breaks it again at the next access.
    bool Restore(int fd);

private:
    void* m_address = nullptr;
    uint64_t m_size = 0;
    int m_guardSlot = -1;
};

}  // namespace Vok::Ipc
