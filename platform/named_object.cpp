#include "platform/named_object.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstddef>
#include <cstdlib>
#include <limits>
#include <memory>
#include <system_error>
#include <thread>
#include <vector>

#include "platform/mapping_guard.h"

namespace Vok::Ipc {

namespace {

using Posix::Call;
using Posix::CUniqueFd;
using Posix::ThrowError;

// Longest file name a Linux file system takes.
constexpr size_t MAX_FILE_NAME = 255;
// Openers that keep finding their file replaced give up after this many tries.
constexpr int MAX_OPEN_ATTEMPTS = 1000;

// open, openat and fcntl take variable arguments; these give them fixed ones for Call.
int OpenAt(int folderFd, const char* fileName, int flags) { return ::openat(folderFd, fileName, flags, mode_t{0600}); }
int OpenPath(const char* path, int flags) { return ::open(path, flags); }
int FcntlLock(int fd, int command, struct flock* lock) { return ::fcntl(fd, command, lock); }
int FcntlDup(int fd) { return ::fcntl(fd, F_DUPFD_CLOEXEC, 0); }

bool IsNameByte(unsigned char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_' || c == '-';
}

struct stat StatFd(int fd, const std::string& what) {
    struct stat st {};
    if (auto r = Call(::fstat, fd, &st); !r) ThrowError(r.error, what);
    return st;
}

// Refuses anything but a regular file of our own (a FIFO or device planted in the folder, say), and a
// file with a second name: a hard link planted at our name would make us empty and overwrite a file
// outside the folder.
void CheckRegularFile(int fd, const std::string& fileName) {
    const struct stat st = StatFd(fd, fileName);
    if (!S_ISREG(st.st_mode) || st.st_uid != ::geteuid()) ThrowError(EPERM, "not a regular file of this user: " + fileName);
    if (st.st_nlink != 1) ThrowError(EPERM, "a file with more than one link: " + fileName);
}

// The read lock on the lifetime byte that every holder keeps, waited for at most OPEN_WAIT: 0 or the errno.
int TakeLifetimeReadLock(int fd) {
    return SetRecordLockUntil(fd, F_RDLCK, LIFETIME_BYTE, 1, std::chrono::steady_clock::now() + OPEN_WAIT);
}

// Empties the file, then gives it `size` zero bytes that are really allocated: a full file system
// fails here, not with SIGBUS at the first touch of the mapping.
void InitialiseFile(int fd, uint64_t size, const std::string& fileName) {
    if (size > static_cast<uint64_t>(std::numeric_limits<off_t>::max())) ThrowError(EFBIG, fileName);
    const off_t length = static_cast<off_t>(size);
    if (auto r = Call(::ftruncate, fd, off_t{0}); !r) ThrowError(r.error, fileName);
    if (auto r = Call(::ftruncate, fd, length); !r) ThrowError(r.error, fileName);
    if (length > 0) {
        if (int error = Posix::CallReturningError(::posix_fallocate, fd, off_t{0}, length); error != 0)
            ThrowError(error, fileName);
    }
}

bool SameFile(const struct stat& a, const struct stat& b) { return a.st_dev == b.st_dev && a.st_ino == b.st_ino; }

// WaitForOtherHoldersUntil's deadline, in steady clock ticks; the clock's beginning while the process
// has not asked.
using SteadyTicks = std::chrono::steady_clock::rep;
std::atomic<SteadyTicks> g_otherHoldersDeadline{std::numeric_limits<SteadyTicks>::min()};

// The write lock on the lifetime byte, which only the last holder gets: 0 or the errno. Tried once
// when the deadline has passed, as it has unless the process asked for a wait.
int TakeLastHolderLock(int fd) {
    using Clock = std::chrono::steady_clock;
    const Clock::time_point deadline{Clock::duration{g_otherHoldersDeadline.load()}};
    return SetRecordLockUntil(fd, F_WRLCK, LIFETIME_BYTE, 1, deadline);
}

}  // namespace

std::string GetFolderPath() {
    const char* dir = std::getenv("VOK_IPC_DIR");
    if (dir != nullptr && *dir != '\0') return dir;
    return "/dev/shm/vok-" + std::to_string(::geteuid());
}

std::string EncodeName(std::string_view name) {
    static const char HEX[] = "0123456789ABCDEF";
    std::string encoded;
    encoded.reserve(name.size());
    for (char ch : name) {
        const auto c = static_cast<unsigned char>(ch);
        if (IsNameByte(c)) {
            encoded.push_back(ch);
        } else {
            encoded.push_back('%');
            encoded.push_back(HEX[c >> 4]);
            encoded.push_back(HEX[c & 0x0F]);
        }
    }
    return encoded;
}

std::string MakeFileName(char kind, std::string_view name) {
    std::string fileName{kind, '.'};
    fileName += EncodeName(name);
    if (fileName.size() > MAX_FILE_NAME) ThrowError(ENAMETOOLONG, "named object file name");
    return fileName;
}

int SetRecordLock(int fd, short type, off_t start, off_t length, bool wait) {
    struct flock lock {};
    lock.l_type = type;
    lock.l_whence = SEEK_SET;
    lock.l_start = start;
    lock.l_len = length;
    lock.l_pid = 0;  // required for open-file-description locks
    const auto r = Call(FcntlLock, fd, wait ? F_OFD_SETLKW : F_OFD_SETLK, &lock);
    if (r) return 0;
    return r.error == EACCES ? EAGAIN : r.error;
}

int SetRecordLockUntil(int fd, short type, off_t start, off_t length, std::chrono::steady_clock::time_point deadline) {
    using Clock = std::chrono::steady_clock;
    // A holder mostly lets go within microseconds, and the shortest sleep lasts far longer than that
    // on a busy machine: the first tries only give the processor away; then the pauses grow.
    const auto yieldUntil = Clock::now() + std::chrono::microseconds(200);
    auto pause = std::chrono::microseconds(50);
    for (;;) {
        const int error = SetRecordLock(fd, type, start, length, false);
        if (error != EAGAIN) return error;
        const auto now = Clock::now();
        if (now >= deadline) return ETIMEDOUT;
        if (now < yieldUntil) {
            std::this_thread::yield();
            continue;
        }
        std::this_thread::sleep_for(std::min<Clock::duration>(pause, deadline - now));
        pause = std::min(pause * 2, std::chrono::microseconds(2000));
    }
}

void WaitForOtherHoldersUntil(std::chrono::steady_clock::time_point deadline) {
    g_otherHoldersDeadline.store(deadline.time_since_epoch().count());
}

// ---------------------------------------------------------------------------------------------------

CIpcFolder CIpcFolder::Open() {
    CIpcFolder folder;
    folder.m_path = GetFolderPath();
    if (auto r = Call(::mkdir, folder.m_path.c_str(), mode_t{0700}); !r && r.error != EEXIST)
        ThrowError(r.error, "cannot create IPC folder " + folder.m_path);
    // O_NOFOLLOW refuses a symbolic link in place of the folder.
    const auto opened = Call(OpenPath, folder.m_path.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (!opened) ThrowError(opened.error, "cannot open IPC folder " + folder.m_path);
    folder.m_fd = CUniqueFd(opened.value);
    const struct stat st = StatFd(folder.m_fd.Get(), folder.m_path);
    if (!S_ISDIR(st.st_mode)) ThrowError(ENOTDIR, "IPC folder " + folder.m_path);
    if (st.st_uid != ::geteuid()) ThrowError(EPERM, "IPC folder owned by another user: " + folder.m_path);
    if ((st.st_mode & (S_IWGRP | S_IWOTH)) != 0)
        ThrowError(EPERM, "IPC folder writable by group or others: " + folder.m_path);
    return folder;
}

void CIpcFolder::RemoveFile(char kind, std::string_view name) const {
    const std::string fileName = MakeFileName(kind, name);
    Call(::unlinkat, m_fd.Get(), fileName.c_str(), 0);
}

void CIpcFolder::RemoveGenerationFiles(std::string_view bufferName) const {
    const std::string prefix = MakeFileName(KIND_SEGMENT, bufferName) + "_";
    // The directory stream takes its own descriptor, so the folder's stays open.
    const auto dup = Call(FcntlDup, m_fd.Get());
    if (!dup) ThrowError(dup.error, "cannot read IPC folder " + m_path);
    std::unique_ptr<DIR, int (*)(DIR*)> dir(::fdopendir(dup.value), ::closedir);
    if (!dir) {
        const int error = errno;
        ::close(dup.value);
        ThrowError(error, "cannot read IPC folder " + m_path);
    }
    ::rewinddir(dir.get());
    std::vector<std::string> stale;
    while (const dirent* entry = ::readdir(dir.get())) {
        const std::string_view fileName(entry->d_name);
        if (fileName.size() <= prefix.size() || fileName.substr(0, prefix.size()) != prefix) continue;
        const std::string_view generation = fileName.substr(prefix.size());
        if (generation.find_first_not_of("0123456789") == std::string_view::npos) stale.emplace_back(fileName);
    }
    for (const std::string& fileName : stale) Call(::unlinkat, m_fd.Get(), fileName.c_str(), 0);
}

// ---------------------------------------------------------------------------------------------------

CNamedFile& CNamedFile::operator=(CNamedFile&& other) noexcept {
    if (this != &other) {
        Close();
        m_folder = std::move(other.m_folder);
        m_file = std::move(other.m_file);
        m_fileName = std::move(other.m_fileName);
        m_managed = other.m_managed;
        m_created = other.m_created;
    }
    return *this;
}

CNamedFile CNamedFile::Open(char kind, std::string_view name, uint64_t size, const FillFunction& fill) {
    CNamedFile file;
    file.m_fileName = MakeFileName(kind, name);
    file.m_folder = CIpcFolder::Open();
    const int folderFd = file.m_folder.GetFd();
    const char* fileName = file.m_fileName.c_str();

    for (int attempt = 0; attempt < MAX_OPEN_ATTEMPTS; ++attempt) {
        const auto opened = Call(OpenAt, folderFd, fileName, O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC);
        if (!opened) ThrowError(opened.error, file.m_fileName);
        file.m_file = CUniqueFd(opened.value);
        const int fd = opened.value;
        CheckRegularFile(fd, file.m_fileName);

        // The write lock is granted only when no one else holds the file: then this opener is alone and
        // (re)initialises it; stale contents of a file whose holders died are never trusted.
        const int alone = SetRecordLock(fd, F_WRLCK, LIFETIME_BYTE, 1, false);
        if (alone == 0) {
            try {
                InitialiseFile(fd, size, file.m_fileName);
                if (fill) fill(fd, file.m_folder);
            } catch (...) {
                // Undo the half-made file: waiting openers then find it gone and start over.
                if (file.IsAtPath()) Call(::unlinkat, folderFd, fileName, 0);
                file.m_file.Reset();
                throw;
            }
            // Converting a record lock is atomic, so no third process can slip in and re-initialise the
            // file between this creator's fill and its read lock.
            if (int error = SetRecordLock(fd, F_RDLCK, LIFETIME_BYTE, 1, false); error != 0) {
                file.m_file.Reset();
                ThrowError(error, file.m_fileName);
            }
            file.m_created = true;
        } else if (alone == EAGAIN) {
            // Granted once a creator has converted its write lock (or a last holder has let go).
            if (int error = TakeLifetimeReadLock(fd); error != 0) {
                file.m_file.Reset();
                ThrowError(error, file.m_fileName);
            }
            file.m_created = false;
        } else {
            file.m_file.Reset();
            ThrowError(alone, file.m_fileName);
        }
        // A last holder may have removed the file while we waited; then ours is an orphan.
        if (file.IsAtPath()) {
            file.m_managed = true;
            return file;
        }
        file.m_file.Reset();
    }
    ThrowError(EAGAIN, file.m_fileName);
}

CNamedFile CNamedFile::CreateExclusive(char kind, std::string_view name, uint64_t size) {
    CNamedFile file;
    file.m_fileName = MakeFileName(kind, name);
    file.m_folder = CIpcFolder::Open();
    const int folderFd = file.m_folder.GetFd();
    const char* fileName = file.m_fileName.c_str();

    for (int attempt = 0;; ++attempt) {
        const auto opened =
            Call(OpenAt, folderFd, fileName, O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC);
        if (opened) {
            file.m_file = CUniqueFd(opened.value);
            break;
        }
        if (opened.error != EEXIST || attempt >= 2) ThrowError(opened.error, file.m_fileName);
        // Left by a process that died before it published this generation.
        if (auto r = Call(::unlinkat, folderFd, fileName, 0); !r && r.error != ENOENT)
            ThrowError(r.error, file.m_fileName);
    }
    try {
        if (int error = SetRecordLock(file.m_file.Get(), F_RDLCK, LIFETIME_BYTE, 1, true); error != 0)
            ThrowError(error, file.m_fileName);
        InitialiseFile(file.m_file.Get(), size, file.m_fileName);
    } catch (...) {
        Call(::unlinkat, folderFd, fileName, 0);
        file.m_file.Reset();
        throw;
    }
    file.m_created = true;
    return file;
}

CNamedFile CNamedFile::OpenExisting(char kind, std::string_view name) {
    CNamedFile file;
    file.m_fileName = MakeFileName(kind, name);
    file.m_folder = CIpcFolder::Open();
    const auto opened = Call(OpenAt, file.m_folder.GetFd(), file.m_fileName.c_str(), O_RDWR | O_NOFOLLOW | O_CLOEXEC);
    if (!opened) ThrowError(opened.error, file.m_fileName);
    file.m_file = CUniqueFd(opened.value);
    CheckRegularFile(opened.value, file.m_fileName);
    if (int error = TakeLifetimeReadLock(opened.value); error != 0) {
        file.m_file.Reset();
        ThrowError(error, file.m_fileName);
    }
    return file;
}

void CNamedFile::Close(const LastFunction& onLast) {
    if (!m_file.IsOpen()) return;
    const int fd = m_file.Get();
    SetRecordLock(fd, F_UNLCK, LIFETIME_BYTE, 1, false);
    if (m_managed && TakeLastHolderLock(fd) == 0 && IsAtPath()) {
        // The last holder: nobody can open this file now without first waiting for our lock to go.
        if (onLast) {
            try {
                onLast(m_folder);
            } catch (...) {
                // Removal of a buffer's data file is best effort; the file itself still goes.
            }
        }
        Call(::unlinkat, m_folder.GetFd(), m_fileName.c_str(), 0);
    }
    // Closing the description drops every record lock it holds.
    m_file.Reset();
}

uint64_t CNamedFile::GetFileSize() const {
    const struct stat st = StatFd(m_file.Get(), m_fileName);
    return static_cast<uint64_t>(st.st_size);
}

bool CNamedFile::Covers(uint64_t size) const {
    struct stat st {};
    if (!m_file.IsOpen() || !Call(::fstat, m_file.Get(), &st)) return false;
    return static_cast<uint64_t>(st.st_size) >= size;
}

bool CNamedFile::IsAtPath() const {
    struct stat held {};
    struct stat atPath {};
    if (!Call(::fstat, m_file.Get(), &held)) return false;
    if (!Call(::fstatat, m_folder.GetFd(), m_fileName.c_str(), &atPath, AT_SYMLINK_NOFOLLOW)) return false;
    return SameFile(held, atPath);
}

// ---------------------------------------------------------------------------------------------------

CMappedView::CMappedView(CMappedView&& other) noexcept
    : m_address(std::exchange(other.m_address, nullptr)),
      m_size(std::exchange(other.m_size, 0)),
      m_guardSlot(std::exchange(other.m_guardSlot, -1)) {}

CMappedView& CMappedView::operator=(CMappedView&& other) noexcept {
    if (this != &other) {
        Reset();
        m_address = std::exchange(other.m_address, nullptr);
        m_size = std::exchange(other.m_size, 0);
        m_guardSlot = std::exchange(other.m_guardSlot, -1);
    }
    return *this;
}

CMappedView CMappedView::Map(int fd, uint64_t size) {
    if (size == 0 || size > static_cast<uint64_t>(std::numeric_limits<ptrdiff_t>::max())) ThrowError(EINVAL, "mmap");
    const auto r = Call(::mmap, nullptr, static_cast<size_t>(size), PROT_READ | PROT_WRITE, MAP_SHARED, fd, off_t{0});
    if (!r) ThrowError(r.error, "mmap");
    CMappedView view;
    view.m_address = r.value;
    view.m_size = size;
    view.m_guardSlot = MappingGuard::Register(r.value, size);
    return view;
}

bool CMappedView::IsBroken() const { return MappingGuard::IsBroken(m_guardSlot); }

bool CMappedView::Restore(int fd) { return MappingGuard::Restore(m_guardSlot, fd); }

void CMappedView::Reset() {
    if (m_address == nullptr) return;
    MappingGuard::Unregister(std::exchange(m_guardSlot, -1));
    ::munmap(m_address, static_cast<size_t>(m_size));
    m_address = nullptr;
    m_size = 0;
}

}  // namespace Vok::Ipc
