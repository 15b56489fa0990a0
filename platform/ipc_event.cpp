#include "platform/ipc_event.h"

#include <linux/futex.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <atomic>
#include <bit>
#include <chrono>
#include <climits>
#include <ctime>
#include <stdexcept>

// The event file holds one little-endian u32: bit 0 is the signalled state, bits 1 to 31 count the
// sets. A waiter sleeps on the word as a futex that is shared between processes (not private), so
// every process mapping the file wakes on FUTEX_WAKE. Counting sets lets a waiter notice a set that a
// reset undid before it looked.

static_assert(std::endian::native == std::endian::little, "the event word is little-endian");

namespace {

using Clock = std::chrono::steady_clock;

constexpr uint64_t EVENT_FILE_SIZE = 4;
constexpr uint32_t SIGNALLED = 1;

uint32_t SetCount(uint32_t word) { return word >> 1; }

long FutexWait(uint32_t* word, uint32_t expected, const timespec* relative) {
    return ::syscall(SYS_futex, word, FUTEX_WAIT, expected, relative, nullptr, 0);
}

long FutexWakeAll(uint32_t* word) { return ::syscall(SYS_futex, word, FUTEX_WAKE, INT_MAX, nullptr, nullptr, 0); }

}  // namespace

CIpcEvent::CIpcEvent(const CString& name) : m_name(name) {
    try {
        m_file = Vok::Ipc::CNamedFile::Open(Vok::Ipc::KIND_EVENT, name.Str(), EVENT_FILE_SIZE);
        if (m_file.GetFileSize() < EVENT_FILE_SIZE) throw std::runtime_error("event file too short");
        m_view = Vok::Ipc::CMappedView::Map(m_file.GetFd(), EVENT_FILE_SIZE);
        m_word = static_cast<uint32_t*>(m_view.Get());
    } catch (const std::exception&) {
        // Not valid: every later call fails.
        m_view.Reset();
        m_file.Close();
    }
}

CIpcEvent::~CIpcEvent() {
    m_word = nullptr;
    m_view.Reset();
    m_file.Close();
}

bool CIpcEvent::Set() {
    bool wake = false;
    if (!Signal(wake)) return false;
    if (wake) WakeWaiters();
    return true;
}

bool CIpcEvent::IsUsable() {
    if (m_word == nullptr) return false;
    if (!m_view.IsBroken()) return true;
    // Cut short by another process: usable again once its file holds the word again.
    return m_file.Covers(EVENT_FILE_SIZE) && m_view.Restore(m_file.GetFd());
}

bool CIpcEvent::Signal(bool& wake) {
    wake = false;
    if (!IsUsable()) return false;
    std::atomic_ref<uint32_t> word(*m_word);
    uint32_t current = word.load(std::memory_order_relaxed);
    while (!word.compare_exchange_weak(current, ((SetCount(current) + 1) << 1) | SIGNALLED, std::memory_order_acq_rel,
                                       std::memory_order_relaxed)) {
    }
    // A waiter sleeps only on a word that is not signalled, and the set that signalled it woke every
    // waiter after its compare-and-swap: with the signal already there, nobody sleeps to be woken.
    wake = (current & SIGNALLED) == 0 && !m_view.IsBroken();
    return !m_view.IsBroken();
}

void CIpcEvent::WakeWaiters() {
    if (m_word != nullptr) FutexWakeAll(m_word);
}

bool CIpcEvent::Reset() {
    if (!IsUsable()) return false;
    std::atomic_ref<uint32_t>(*m_word).fetch_and(~SIGNALLED, std::memory_order_acq_rel);
    return !m_view.IsBroken();
}

DWORD CIpcEvent::Wait(DWORD timeoutMs) { return WaitFor(timeoutMs, nullptr); }

DWORD CIpcEvent::WaitUnlessCancelled(const std::atomic<bool>& cancel) { return WaitFor(INFINITE, &cancel); }

DWORD CIpcEvent::WaitFor(DWORD timeoutMs, const std::atomic<bool>* cancel) {
    if (!IsUsable()) return WAIT_FAILED;
    std::atomic_ref<uint32_t> word(*m_word);
    uint32_t seen = word.load(std::memory_order_acquire);
    if (m_view.IsBroken()) return WAIT_FAILED;
    if ((seen & SIGNALLED) != 0) return WAIT_OBJECT_0;
    if (timeoutMs == 0) return WAIT_TIMEOUT;

    const uint32_t startCount = SetCount(seen);
    const bool infinite = timeoutMs == INFINITE;
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        if (cancel != nullptr && cancel->load(std::memory_order_acquire)) return WAIT_TIMEOUT;
        timespec remaining{};
        if (!infinite) {
            const auto left = deadline - Clock::now();
            if (left <= Clock::duration::zero()) return WAIT_TIMEOUT;
            const auto ns = std::chrono::duration_cast<std::chrono::nanoseconds>(left).count();
            remaining.tv_sec = static_cast<time_t>(ns / 1000000000);
            remaining.tv_nsec = static_cast<long>(ns % 1000000000);
        }
        // Sleeps only while the word still holds the value seen, so a set in between is never missed.
        // A word beyond the end of a file cut short fails with EFAULT, never a signal.
        const long r = FutexWait(m_word, seen, infinite ? nullptr : &remaining);
        const int error = r == -1 ? errno : 0;
        if (error != 0 && error != EAGAIN && error != EINTR && error != ETIMEDOUT) return WAIT_FAILED;
        seen = word.load(std::memory_order_acquire);
        if (m_view.IsBroken()) return WAIT_FAILED;
        if ((seen & SIGNALLED) != 0 || SetCount(seen) != startCount) return WAIT_OBJECT_0;
    }
}
