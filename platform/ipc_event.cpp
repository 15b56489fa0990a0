#include "platform/ipc_event.h"

#include <linux/futex.h>
#include <signal.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <atomic>
#include <bit>
#include <cerrno>
#include <chrono>
#include <climits>
#include <cstdint>
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
// How long Cancel lets a thread on the second road take its signal before it sends it again.
constexpr long CANCEL_RESEND_NS = 1000000;

uint32_t SetCount(uint32_t word) { return word >> 1; }

// The count has 31 bits and wraps: it is behind when going forward from start to count would take
// more than half its range, more sets than a wait can ever see.
bool IsCountBehind(uint32_t count, uint32_t start) { return ((count - start) & 0x7FFFFFFFu) >= 0x40000000u; }

long FutexWait(uint32_t* word, uint32_t expected, const timespec* relative) {
    return ::syscall(SYS_futex, word, FUTEX_WAIT, expected, relative, nullptr, 0);
}

long FutexWakeAll(uint32_t* word) { return ::syscall(SYS_futex, word, FUTEX_WAKE, INT_MAX, nullptr, nullptr, 0); }

uint32_t* CancelWord(std::atomic<uint32_t>& cancel) { return reinterpret_cast<uint32_t*>(&cancel); }

static_assert(sizeof(std::atomic<uint32_t>) == sizeof(uint32_t) && std::atomic<uint32_t>::is_always_lock_free,
              "a cancel word is a futex word");

// Sleeps while *word holds expected or until *cancel leaves 0: the event word shared between
// processes, the cancel word private. -1 with errno as the call set it.
long WaitOnTwoWords(uint32_t* word, uint32_t expected, uint32_t* cancel) {
    futex_waitv waiters[2] = {};
    waiters[0].val = expected;
    waiters[0].uaddr = reinterpret_cast<uintptr_t>(word);
    waiters[0].flags = FUTEX_32;  // shared between processes
    waiters[1].val = 0;
    waiters[1].uaddr = reinterpret_cast<uintptr_t>(cancel);
    waiters[1].flags = FUTEX_32 | FUTEX_PRIVATE_FLAG;
    return ::syscall(SYS_futex_waitv, waiters, 2, 0, nullptr, CLOCK_MONOTONIC);
}

// Async-signal-safe: it does nothing and touches no errno. Its only work is to be a handler, installed
// without SA_RESTART, so that the signal ends a FUTEX_WAIT with EINTR instead of killing the process.
extern "C" void TakeCancelSignal(int) {}

struct sRoad {
    bool twoWords;
    int refusal;  // what futex_waitv answered on the second road
};

// Asks the system once: a wait on two words that no longer hold the values expected answers EAGAIN
// where the call works. Anything else (ENOSYS before 5.16, EPERM from a seccomp profile, EINVAL)
// leaves it out for good.
const sRoad& Road() {
    static const sRoad road = [] {
        uint32_t words[2] = {1, 1};
        if (WaitOnTwoWords(&words[0], 0, &words[1]) == -1 && errno == EAGAIN) return sRoad{true, 0};
        const int refusal = errno;
        struct sigaction action {};
        action.sa_handler = &TakeCancelSignal;
        ::sigemptyset(&action.sa_mask);
        action.sa_flags = 0;
        ::sigaction(CIpcEventWatch::GetCancelSignal(), &action, nullptr);
        return sRoad{false, refusal};
    }();
    return road;
}

// The wait of an event whose word lies in view: see CIpcEvent::Wait. sleep(seen, relative) sleeps
// while the word holds seen (relative null: without a limit) and answers 0 or the errno of the sleep:
// EAGAIN (the word changed first), ETIMEDOUT, EINTR, EFAULT (the word lies beyond the end of a file cut
// short). With a cancel word (only for INFINITE), the wait also ends, with WAIT_TIMEOUT, once that word
// leaves 0.
template <typename SleepFn>
DWORD WaitOnWord(const Vok::Ipc::CMappedView& view, uint32_t* word, DWORD timeoutMs,
                 const std::atomic<uint32_t>* cancel, SleepFn sleep) {
    std::atomic_ref<uint32_t> shared(*word);
    uint32_t seen = shared.load(std::memory_order_acquire);
    if (view.IsBroken()) return WAIT_FAILED;
    if ((seen & SIGNALLED) != 0) return WAIT_OBJECT_0;
    if (timeoutMs == 0) return WAIT_TIMEOUT;

    const uint32_t startCount = SetCount(seen);
    const bool infinite = timeoutMs == INFINITE;
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    if (cancel != nullptr && cancel->load(std::memory_order_acquire) != 0) return WAIT_TIMEOUT;
    for (;;) {
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
        const int error = sleep(seen, infinite ? nullptr : &remaining);
        if (cancel != nullptr && cancel->load(std::memory_order_acquire) != 0) return WAIT_TIMEOUT;
        if (error != 0 && error != EAGAIN && error != EINTR && error != ETIMEDOUT) return WAIT_FAILED;
        seen = shared.load(std::memory_order_acquire);
        if (view.IsBroken()) return WAIT_FAILED;
        if ((seen & SIGNALLED) != 0) return WAIT_OBJECT_0;
        if (SetCount(seen) == startCount) continue;
        // A set that a reset followed moved the count on (at its wrap, to a word of 0); a count that
        // went back (another process rewrote the file) is no set, and no state to wait on either.
        return IsCountBehind(SetCount(seen), startCount) ? WAIT_FAILED : WAIT_OBJECT_0;
    }
}

}  // namespace

CIpcEvent::CIpcEvent(const CString& name) : m_name(name) {
    try {
        m_file = Vok::Ipc::CNamedFile::Open(Vok::Ipc::KIND_EVENT, name.Str(), EVENT_FILE_SIZE);
        if (m_file.GetFileSize() < EVENT_FILE_SIZE) throw std::runtime_error("event file too short");
        m_view = Vok::Ipc::CMappedView::Map(m_file.GetFd(), EVENT_FILE_SIZE);
        m_word = static_cast<uint32_t*>(m_view.Get());
    } catch (const std::exception& e) {
        m_openError = Vok::Posix::ErrorOf(e);
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

DWORD CIpcEvent::Wait(DWORD timeoutMs) {
    if (!IsUsable()) return WAIT_FAILED;
    return WaitOnWord(m_view, m_word, timeoutMs, nullptr, [this](uint32_t seen, const timespec* relative) {
        return FutexWait(m_word, seen, relative) == -1 ? errno : 0;
    });
}

CIpcEventWatch::CIpcEventWatch(CIpcEvent& event) : m_event(event) {
    if (!event.IsValid()) return;
    try {
        // The event's file, mapped once more: a mapping does not ask for the file's size, so this works
        // on a file cut short too, whose word is then found beyond its end at the first look.
        m_view = Vok::Ipc::CMappedView::Map(event.m_file.GetFd(), EVENT_FILE_SIZE);
        m_word = static_cast<uint32_t*>(m_view.Get());
    } catch (const std::exception&) {
        m_view.Reset();
    }
}

CIpcEventWatch::~CIpcEventWatch() {
    m_word = nullptr;
    m_view.Reset();
}

bool CIpcEventWatch::IsUsable() {
    if (m_word == nullptr) return false;
    if (!m_view.IsBroken()) return true;
    return m_event.m_file.Covers(EVENT_FILE_SIZE) && m_view.Restore(m_event.m_file.GetFd());
}

DWORD CIpcEventWatch::Wait() {
    if (IsCancelled()) return WAIT_TIMEOUT;
    if (!IsUsable()) return WAIT_FAILED;
    return WaitOnWord(m_view, m_word, INFINITE, &m_cancel,
                      [this](uint32_t seen, const timespec*) { return Sleep(seen); });
}

bool CIpcEventWatch::WaitsOnTwoWords(int* refusal) {
    if (refusal != nullptr) *refusal = Road().refusal;
    return Road().twoWords;
}

int CIpcEventWatch::GetCancelSignal() { return SIGWINCH; }

int CIpcEventWatch::Sleep(uint32_t expected) {
    if (Road().twoWords) return WaitOnTwoWords(m_word, expected, CancelWord(m_cancel)) == -1 ? errno : 0;
    sigset_t cancelSignal;
    ::sigemptyset(&cancelSignal);
    ::sigaddset(&cancelSignal, GetCancelSignal());
    ::pthread_sigmask(SIG_UNBLOCK, &cancelSignal, nullptr);
    {
        const std::lock_guard<std::mutex> lock(m_sleeperLock);
        m_sleeping = true;
        m_sleeper = ::pthread_self();
    }
    // A Cancel from here on signals this thread until it has left the sleep, so a signal that comes
    // before the FUTEX_WAIT begins (its handler runs, and the wait would sleep on) is sent again.
    int error = 0;
    if (!IsCancelled()) error = FutexWait(m_word, expected, nullptr) == -1 ? errno : 0;
    const std::lock_guard<std::mutex> lock(m_sleeperLock);
    m_sleeping = false;
    return error;
}

bool CIpcEventWatch::Pause(DWORD timeoutMs) {
    if (IsCancelled()) return false;
    const timespec pause{static_cast<time_t>(timeoutMs / 1000), static_cast<long>(timeoutMs % 1000) * 1000000};
    ::syscall(SYS_futex, CancelWord(m_cancel), FUTEX_WAIT_PRIVATE, 0u, &pause, nullptr, 0);
    return !IsCancelled();
}

void CIpcEventWatch::Cancel() {
    m_cancel.store(1, std::memory_order_release);
    ::syscall(SYS_futex, CancelWord(m_cancel), FUTEX_WAKE_PRIVATE, INT_MAX, nullptr, nullptr, 0);
    // The second road: the sleeper's wait on the event word ends only by the signal (a wake through a
    // view of a file cut short cannot reach it). Sent while the sleeper is marked, so it never lands
    // in a thread that has left the sleep, nor in one already joined.
    for (;;) {
        {
            const std::lock_guard<std::mutex> lock(m_sleeperLock);
            if (!m_sleeping) return;
            ::pthread_kill(m_sleeper, GetCancelSignal());
        }
        const timespec resend{0, CANCEL_RESEND_NS};
        ::nanosleep(&resend, nullptr);
    }
}
