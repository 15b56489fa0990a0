#include "compat/file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <limits>
#include <string>

#include "compat/file_names.h"

namespace {

// Share locks are open-file-description locks on bytes far beyond any data: every opener that
// writes holds a read lock on the writers' byte, every opener that denies writing holds one on
// the deniers' byte. Each takes its own lock first and then looks for the other kind, so of two
// openers racing at least one sees the other. The kernel drops the locks of a dead process.
constexpr off_t kWritersByte = off_t{1} << 62;
constexpr off_t kDeniersByte = kWritersByte + 1;

bool LockByte(int fd, off_t byte) {
    struct flock lock {};
    lock.l_type = F_RDLCK;
    lock.l_whence = SEEK_SET;
    lock.l_start = byte;
    lock.l_len = 1;
    int result;
    do {
        result = ::fcntl(fd, F_OFD_SETLK, &lock);
    } while (result < 0 && errno == EINTR);
    return result == 0;
}

// True when another open file description holds a lock on the byte.
bool OthersHold(int fd, off_t byte) {
    struct flock lock {};
    lock.l_type = F_WRLCK;
    lock.l_whence = SEEK_SET;
    lock.l_start = byte;
    lock.l_len = 1;
    if (::fcntl(fd, F_OFD_GETLK, &lock) != 0) return true;
    return lock.l_type != F_UNLCK;
}

void CloseFd(int& fd) {
    if (fd >= 0) ::close(fd);
    fd = -1;
}

}  // namespace

CFile::CFile(const char* fileName, UINT openFlags) {
    CFileException error;
    if (!Open(fileName, openFlags, &error)) throw error;
}

CFile::~CFile() {
    Abort();
}

BOOL CFile::Open(const char* fileName, UINT openFlags, CFileException* error) {
    Abort();
    auto fail = [&](int osError) {
        CloseHandles();
        if (error != nullptr) {
            error->m_cause = CFileException::OsErrorToException(osError);
            error->m_lOsError = osError;
            error->m_strFileName = fileName != nullptr ? fileName : "";
        }
        return FALSE;
    };
    if (fileName == nullptr || *fileName == '\0') return fail(ENOENT);

    const UINT access = openFlags & 3;
    const bool writes = access == modeWrite || access == modeReadWrite;
    // Opening never waits for the other end of a FIFO; only regular files are accepted below.
    int flags = O_CLOEXEC | O_NONBLOCK;
    flags |= access == modeWrite ? O_WRONLY : access == modeReadWrite ? O_RDWR : O_RDONLY;
    // Truncation waits until the share locks are held, so that a refused opener never empties a
    // file that another one denies writing to.
    const bool truncate = (openFlags & modeCreate) != 0 && (openFlags & modeNoTruncate) == 0;
    if ((openFlags & modeCreate) != 0) flags |= O_CREAT;
    const std::string path = Vok::FileNames::AnsiToFileSystem(fileName);
    do {
        m_fd = ::open(path.c_str(), flags, 0666);
    } while (m_fd < 0 && errno == EINTR);
    if (m_fd < 0) return fail(errno);
    struct stat st {};
    if (::fstat(m_fd, &st) != 0) return fail(errno);
    if (!S_ISREG(st.st_mode)) return fail(S_ISDIR(st.st_mode) ? EISDIR : EACCES);
    ::fcntl(m_fd, F_SETFL, ::fcntl(m_fd, F_GETFL) & ~O_NONBLOCK);

    const UINT share = openFlags & 0x70;
    const bool deniesWrite = share == shareDenyWrite || share == shareExclusive;
    if (writes || deniesWrite) {
        // A read lock needs a readable description; a write-only file gets one of its own.
        int lockFd = m_fd;
        if (access == modeWrite) {
            const std::string self = "/proc/self/fd/" + std::to_string(m_fd);
            m_lockFd = ::open(self.c_str(), O_RDONLY | O_CLOEXEC);
            if (m_lockFd < 0) return fail(errno);
            lockFd = m_lockFd;
        }
        if (writes && !LockByte(lockFd, kWritersByte)) return fail(EWOULDBLOCK);
        if (deniesWrite && !LockByte(lockFd, kDeniersByte)) return fail(EWOULDBLOCK);
        if ((writes && OthersHold(lockFd, kDeniersByte)) || (deniesWrite && OthersHold(lockFd, kWritersByte)))
            return fail(EWOULDBLOCK);
    }
    if (truncate) {
        int result;
        do {
            result = ::ftruncate(m_fd, 0);
        } while (result != 0 && errno == EINTR);
        if (result != 0) return fail(errno);
    }
    m_path = fileName;
    return TRUE;
}

void CFile::CloseHandles() {
    // Closing the descriptions releases their locks.
    CloseFd(m_lockFd);
    CloseFd(m_fd);
}

void CFile::Close() {
    if (m_fd < 0) return;
    CloseFd(m_lockFd);
    const int result = ::close(m_fd);
    const int closeError = errno;
    m_fd = -1;
    // Linux frees the descriptor even when close reports EINTR; only a real failure is reported.
    if (result != 0 && closeError != EINTR) Throw(closeError);
    m_path.Empty();
}

void CFile::Abort() {
    CloseHandles();
    m_path.Empty();
}

UINT CFile::Read(void* buffer, UINT count) {
    if (m_fd < 0 || buffer == nullptr) return 0;
    auto* p = static_cast<uint8_t*>(buffer);
    UINT done = 0;
    while (done < count) {
        const ssize_t n = ::read(m_fd, p + done, count - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        done += static_cast<UINT>(n);
    }
    return done;
}

void CFile::Write(const void* buffer, UINT count) {
    if (m_fd < 0) Throw(EBADF);
    if (count == 0) return;
    if (buffer == nullptr) Throw(EINVAL);
    const auto* p = static_cast<const uint8_t*>(buffer);
    UINT done = 0;
    while (done < count) {
        const ssize_t n = ::write(m_fd, p + done, count - done);
        if (n < 0 && errno == EINTR) continue;
        // A description opened for reading only answers EBADF: access to write is denied.
        if (n < 0) Throw(errno == EBADF ? EACCES : errno);
        if (n == 0) Throw(ENOSPC);
        done += static_cast<UINT>(n);
    }
}

ULONGLONG CFile::Seek(LONGLONG offset, UINT from) {
    if (m_fd < 0) Throw(EBADF);
    const int whence = from == begin ? SEEK_SET : from == current ? SEEK_CUR : from == end ? SEEK_END : -1;
    if (whence < 0) Throw(EINVAL);
    const off_t result = ::lseek(m_fd, static_cast<off_t>(offset), whence);
    if (result < 0) Throw(errno == EINVAL ? ESPIPE : errno);
    return static_cast<ULONGLONG>(result);
}

ULONGLONG CFile::GetPosition() const {
    if (m_fd < 0) Throw(EBADF);
    const off_t result = ::lseek(m_fd, 0, SEEK_CUR);
    if (result < 0) Throw(errno);
    return static_cast<ULONGLONG>(result);
}

ULONGLONG CFile::GetLength() const {
    if (m_fd < 0) Throw(EBADF);
    struct stat st {};
    if (::fstat(m_fd, &st) != 0) Throw(errno);
    return static_cast<ULONGLONG>(st.st_size);
}

void CFile::SetLength(ULONGLONG length) {
    if (m_fd < 0) Throw(EBADF);
    if (length > static_cast<ULONGLONG>(std::numeric_limits<off_t>::max())) Throw(EFBIG);
    int result;
    do {
        result = ::ftruncate(m_fd, static_cast<off_t>(length));
    } while (result != 0 && errno == EINTR);
    if (result != 0) Throw(errno);
}

void CFile::Flush() {
    if (m_fd < 0) Throw(EBADF);
    if (::fsync(m_fd) != 0 && errno != EINVAL) Throw(errno);
}

CString CFile::GetFileName() const {
    const int slash = m_path.ReverseFind('/');
    return slash < 0 ? m_path : m_path.Mid(slash + 1);
}

CString CFile::GetFileTitle() const {
    CString name = GetFileName();
    const int dot = name.ReverseFind('.');
    return dot > 0 ? name.Left(dot) : name;
}

void CFile::Throw(int error) const {
    throw CFileException(CFileException::OsErrorToException(error), error, m_path.Str());
}

BOOL CFile::GetStatus(const char* fileName, CFileStatus& status) {
    if (fileName == nullptr || *fileName == '\0') return FALSE;
    struct stat st {};
    if (::stat(Vok::FileNames::AnsiToFileSystem(fileName).c_str(), &st) != 0) return FALSE;
    status.m_size = static_cast<ULONGLONG>(st.st_size);
    status.m_attribute = (st.st_mode & S_IWUSR) == 0 ? readOnly : normal;
    if (S_ISDIR(st.st_mode)) status.m_attribute |= directory;
    status.m_szFullName = fileName;
    return TRUE;
}

void CFile::SetStatus(const char* fileName, const CFileStatus& status) {
    auto fail = [&](int error) {
        throw CFileException(CFileException::OsErrorToException(error), error, fileName != nullptr ? fileName : "");
    };
    if (fileName == nullptr || *fileName == '\0') fail(ENOENT);
    const std::string path = Vok::FileNames::AnsiToFileSystem(fileName);
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) fail(errno);
    mode_t mode = st.st_mode & 07777;
    if ((status.m_attribute & readOnly) != 0) mode &= ~static_cast<mode_t>(S_IWUSR | S_IWGRP | S_IWOTH);
    else mode |= S_IWUSR;
    if (mode != (st.st_mode & 07777) && ::chmod(path.c_str(), mode) != 0) fail(errno);
}
