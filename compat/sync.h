// In-process synchronisation objects of the class library.
#pragma once

#include <mutex>

#include "compat/object.h"

// Recursive, like the platform's critical section.
class CCriticalSection : public CObject {
public:
    bool Lock() {
        m_mutex.lock();
        return true;
    }
    bool Unlock() {
        m_mutex.unlock();
        return true;
    }

private:
    std::recursive_mutex m_mutex;
};

// Holds a critical section for the lifetime of a scope.
class CSingleLock {
public:
    explicit CSingleLock(CCriticalSection* section, bool initialLock = false) : m_section(section) {
        if (initialLock) Lock();
    }
    ~CSingleLock() { Unlock(); }
    CSingleLock(const CSingleLock&) = delete;
    CSingleLock& operator=(const CSingleLock&) = delete;
    bool Lock() {
        if (m_section == nullptr || m_locked) return false;
        m_locked = m_section->Lock();
        return m_locked;
    }
    bool Unlock() {
        if (!m_locked) return false;
        m_locked = false;
        return m_section->Unlock();
    }
    bool IsLocked() const { return m_locked; }

private:
    CCriticalSection* m_section;
    bool m_locked = false;
};
