#include "platform/read_write_lock.h"

#include <fcntl.h>

#include <chrono>
#include <stdexcept>
#include <system_error>

// The lock file holds no data; its bytes 0 and 1 carry record locks of open file descriptions, so
// two lock objects of one process exclude each other just as two processes do.
//   byte 1, the turnstile: every locker passes it with a write lock; a writer keeps it while it waits
//           for byte 0 and while it holds, so readers arriving after a waiting writer queue behind it.
//   byte 0, the hold: a read lock per shared holder, the write lock for the exclusive holder.

namespace {

using Clock = std::chrono::steady_clock;

constexpr uint64_t LOCK_FILE_SIZE = 8;
constexpr off_t HOLD_BYTE = 0;
constexpr off_t TURNSTILE_BYTE = 1;

// One deadline for the whole of a lock call, however many bytes it has to take.
class CDeadline {
public:
    explicit CDeadline(DWORD timeoutMs)
        : m_infinite(timeoutMs == INFINITE), m_end(Clock::now() + std::chrono::milliseconds(timeoutMs)) {}
    bool IsInfinite() const { return m_infinite; }
    Clock::time_point End() const { return m_end; }

private:
    bool m_infinite;
    Clock::time_point m_end;
};

// Takes one byte; an infinite wait blocks in the kernel, a finite one polls until the deadline.
bool TakeByte(int fd, short type, off_t byte, const CDeadline& deadline) {
    if (deadline.IsInfinite()) return Vok::Ipc::SetRecordLock(fd, type, byte, 1, true) == 0;
    return Vok::Ipc::SetRecordLockUntil(fd, type, byte, 1, deadline.End()) == 0;
}

bool ReleaseBytes(int fd, off_t start, off_t length) {
    return Vok::Ipc::SetRecordLock(fd, F_UNLCK, start, length, false) == 0;
}

}  // namespace

NamedReadWriteLock::NamedReadWriteLock(const std::string& name) : m_name(name) {
    try {
        m_file = Vok::Ipc::CNamedFile::Open(Vok::Ipc::KIND_LOCK, name, LOCK_FILE_SIZE);
    } catch (const std::system_error& e) {
        // With the system's cause (": Too many open files"), for a caller that acts on it.
        throw std::system_error(e.code(), "Could not create lock: " + name);
    } catch (const std::exception&) {
        throw std::runtime_error("Could not create lock: " + name);
    }
}

NamedReadWriteLock::~NamedReadWriteLock() {
    if (IsExclusive()) UnlockExclusive();
    if (IsShared()) UnlockShared();
}

bool NamedReadWriteLock::LockShared(DWORD timeoutMs) {
    if (m_state != STATE_NONE || !m_file.IsOpen()) return false;
    const CDeadline deadline(timeoutMs);
    const int fd = m_file.GetFd();
    if (!TakeByte(fd, F_WRLCK, TURNSTILE_BYTE, deadline)) return false;
    const bool held = TakeByte(fd, F_RDLCK, HOLD_BYTE, deadline);
    ReleaseBytes(fd, TURNSTILE_BYTE, 1);
    if (!held) return false;
    m_state = STATE_SHARED;
    return true;
}

bool NamedReadWriteLock::LockExclusive(DWORD timeoutMs) {
    if (m_state != STATE_NONE || !m_file.IsOpen()) return false;
    const int fd = m_file.GetFd();
    // Nobody in the way: both bytes at once, which ends where the two steps below end, in one call.
    if (Vok::Ipc::SetRecordLock(fd, F_WRLCK, HOLD_BYTE, 2, false) == 0) {
        m_state = STATE_EXCLUSIVE;
        return true;
    }
    const CDeadline deadline(timeoutMs);
    if (!TakeByte(fd, F_WRLCK, TURNSTILE_BYTE, deadline)) return false;
    // Keeping the turnstile while waiting for the readers inside to leave gives the writer priority.
    if (!TakeByte(fd, F_WRLCK, HOLD_BYTE, deadline)) {
        ReleaseBytes(fd, TURNSTILE_BYTE, 1);
        return false;
    }
    m_state = STATE_EXCLUSIVE;
    return true;
}

bool NamedReadWriteLock::UnlockShared() {
    if (m_state != STATE_SHARED) return false;
    m_state = STATE_NONE;
    return ReleaseBytes(m_file.GetFd(), HOLD_BYTE, 1);
}

bool NamedReadWriteLock::UnlockExclusive() {
    if (m_state != STATE_EXCLUSIVE) return false;
    m_state = STATE_NONE;
    return ReleaseBytes(m_file.GetFd(), HOLD_BYTE, 2);
}

namespace Vok {

SharedLockGuard::SharedLockGuard(NamedReadWriteLock& lock, DWORD timeoutMs)
    : m_lock(&lock), m_locked(lock.LockShared(timeoutMs)) {}

SharedLockGuard::~SharedLockGuard() {
    if (m_locked) m_lock->UnlockShared();
}

ExclusiveLockGuard::ExclusiveLockGuard(NamedReadWriteLock& lock, DWORD timeoutMs)
    : m_lock(&lock), m_locked(lock.LockExclusive(timeoutMs)) {}

ExclusiveLockGuard::~ExclusiveLockGuard() {
    if (m_locked) m_lock->UnlockExclusive();
}

}  // namespace Vok
