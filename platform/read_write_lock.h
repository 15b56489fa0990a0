// A reader/writer lock between processes, named like the shared buffer it guards, with writer
// priority. A process that dies while it holds the lock loses its hold at once: the kernel drops its
// record locks, so a crashed holder never blocks the others.
#pragma once

#include <cstdint>
#include <string>

#include "compat/windows_types.h"
#include "platform/named_object.h"

class NamedReadWriteLock {
public:
    // Opens or creates the lock's file. Throws std::runtime_error "Could not create lock: <name>".
    explicit NamedReadWriteLock(const std::string& name);
    // Releases a hold this object still has.
    ~NamedReadWriteLock();
    NamedReadWriteLock(const NamedReadWriteLock&) = delete;
    NamedReadWriteLock& operator=(const NamedReadWriteLock&) = delete;

    // Each waits at most timeoutMs in all (INFINITE: for ever). false when the time ran out, on a
    // failure, or when this object already holds the lock; then nothing is held by the call.
    bool LockShared(DWORD timeoutMs);
    bool LockExclusive(DWORD timeoutMs);
    // false, doing nothing, when this object has no hold of that kind.
    bool UnlockShared();
    bool UnlockExclusive();

    bool IsLocked() const { return m_state != STATE_NONE; }
    bool IsExclusive() const { return m_state == STATE_EXCLUSIVE; }
    bool IsShared() const { return m_state == STATE_SHARED; }

private:
    enum : int32_t { STATE_NONE = 0, STATE_EXCLUSIVE = 1, STATE_SHARED = 2 };

    std::string m_name;
    int32_t m_state = STATE_NONE;
    Vok::Ipc::CNamedFile m_file;
};

namespace Vok {

// Holds a lock's shared hold for the life of a scope, when it could be taken within the time-out.
class SharedLockGuard {
public:
    SharedLockGuard(NamedReadWriteLock& lock, DWORD timeoutMs);
    virtual ~SharedLockGuard();
    SharedLockGuard(const SharedLockGuard&) = delete;
    SharedLockGuard& operator=(const SharedLockGuard&) = delete;
    bool IsLocked() const { return m_locked; }

private:
    NamedReadWriteLock* m_lock;
    bool m_locked;
};

// Holds a lock's exclusive hold for the life of a scope, when it could be taken within the time-out.
class ExclusiveLockGuard {
public:
    ExclusiveLockGuard(NamedReadWriteLock& lock, DWORD timeoutMs);
    virtual ~ExclusiveLockGuard();
    ExclusiveLockGuard(const ExclusiveLockGuard&) = delete;
    ExclusiveLockGuard& operator=(const ExclusiveLockGuard&) = delete;
    bool IsLocked() const { return m_locked; }

private:
    NamedReadWriteLock* m_lock;
    bool m_locked;
};

}  // namespace Vok
