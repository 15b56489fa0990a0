#include "platform/mapping_guard.h"

#include <sched.h>
#include <sys/mman.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <atomic>
#include <cstddef>
#include <mutex>

namespace Vok::MappingGuard {

namespace {

// The views of one process at a time; a test process holds a few hundred at most.
constexpr int SLOT_COUNT = 4096;

// A slot's states. Its range is written only while it is being filled, and handlers act only on a
// live slot that they have pinned.
constexpr uint32_t SLOT_FREE = 0;
constexpr uint32_t SLOT_FILLING = 1;
constexpr uint32_t SLOT_LIVE = 2;
constexpr uint32_t SLOT_LEAVING = 3;

struct sSlot {
    std::atomic<uint32_t> state{SLOT_FREE};
    std::atomic<uintptr_t> start{0};
    std::atomic<uintptr_t> end{0};
    // Breaks made by the handler, and their count when the view was last mapped from its file: the
    // view is broken while the two differ.
    std::atomic<uint32_t> breaks{0};
    std::atomic<uint32_t> restored{0};
    // Handlers at work on the view. A pinned slot is not given up, so its range stays the one read, and
    // is not mapped from its file again before their zeros are in place.
    std::atomic<uint32_t> pins{0};
};

sSlot g_slots[SLOT_COUNT];
// Slots at and above this were never used: the handler looks no further.
std::atomic<int> g_used{0};

std::mutex g_installMutex;
struct sigaction g_previous {};
std::atomic<bool> g_hasPrevious{false};
// Install has run once; a handler installed after it calls Install again itself.
std::atomic<bool> g_installed{false};

static_assert(std::atomic<uintptr_t>::is_always_lock_free && std::atomic<uint32_t>::is_always_lock_free,
              "the handler reads the slots");

bool IsValidSlot(int slot) { return slot >= 0 && slot < SLOT_COUNT; }

// Async-signal-safe.
bool Covers(const sSlot& slot, uintptr_t address) {
    return address >= slot.start.load(std::memory_order_relaxed) && address < slot.end.load(std::memory_order_relaxed);
}

// Until no handler has the slot pinned: a handler that pinned it ends within one system call.
void AwaitNoPins(const sSlot& slot) {
    while (slot.pins.load(std::memory_order_seq_cst) != 0) ::sched_yield();
}

// Async-signal-safe: what the kernel does for a fault that no handler takes.
void DefaultAction(const siginfo_t* info) {
    struct sigaction fallback {};
    fallback.sa_handler = SIG_DFL;
    ::sigemptyset(&fallback.sa_mask);
    ::sigaction(SIGBUS, &fallback, nullptr);
    // A fault recurs when the access runs again; a signal that was sent must be sent again.
    if (info == nullptr || info->si_code <= 0) ::raise(SIGBUS);
}

// Async-signal-safe.
void OnBusError(int signal, siginfo_t* info, void* context) {
    if (Absorb(info)) return;
    if (!g_hasPrevious.load(std::memory_order_acquire)) return DefaultAction(info);
    const struct sigaction& previous = g_previous;
    if ((previous.sa_flags & SA_SIGINFO) != 0 && previous.sa_sigaction != nullptr) {
        previous.sa_sigaction(signal, info, context);
    } else if (previous.sa_handler == SIG_DFL || previous.sa_handler == SIG_IGN) {
        DefaultAction(info);
    } else {
        previous.sa_handler(signal);
    }
}

}  // namespace

int Register(void* address, uint64_t size) {
    if (!g_installed.load(std::memory_order_acquire)) Install();
    const auto start = reinterpret_cast<uintptr_t>(address);
    for (int i = 0; i < SLOT_COUNT; ++i) {
        sSlot& slot = g_slots[i];
        uint32_t free = SLOT_FREE;
        if (!slot.state.compare_exchange_strong(free, SLOT_FILLING, std::memory_order_acq_rel)) continue;
        slot.start.store(start, std::memory_order_relaxed);
        slot.end.store(start + size, std::memory_order_relaxed);
        slot.restored.store(slot.breaks.load(std::memory_order_relaxed), std::memory_order_relaxed);
        int used = g_used.load(std::memory_order_relaxed);
        while (used <= i && !g_used.compare_exchange_weak(used, i + 1, std::memory_order_release)) {
        }
        // Published last: a handler that finds the slot live finds its whole range.
        slot.state.store(SLOT_LIVE, std::memory_order_release);
        return i;
    }
    return -1;
}

void Unregister(int slot) {
    if (!IsValidSlot(slot)) return;
    sSlot& s = g_slots[slot];
    uint32_t live = SLOT_LIVE;
    if (!s.state.compare_exchange_strong(live, SLOT_LEAVING, std::memory_order_seq_cst)) return;
    // A handler that pinned the slot before it left may still map zeros over the range: the caller
    // unmaps it only afterwards, and no handler pins it from now on.
    AwaitNoPins(s);
    s.state.store(SLOT_FREE, std::memory_order_release);
}

bool IsBroken(int slot) {
    if (!IsValidSlot(slot)) return false;
    const sSlot& s = g_slots[slot];
    return s.breaks.load(std::memory_order_seq_cst) != s.restored.load(std::memory_order_seq_cst);
}

bool Restore(int slot, int fd) {
    if (!IsBroken(slot)) return true;
    sSlot& s = g_slots[slot];
    // The breaks counted so far have their zeros in place once no handler has the slot pinned: mapped
    // after them, the file is not covered by them again.
    const uint32_t breaks = s.breaks.load(std::memory_order_seq_cst);
    AwaitNoPins(s);
    const uintptr_t start = s.start.load(std::memory_order_relaxed);
    const uintptr_t end = s.end.load(std::memory_order_relaxed);
    void* mapped = ::mmap(reinterpret_cast<void*>(start), end - start, PROT_READ | PROT_WRITE, MAP_SHARED | MAP_FIXED,
                          fd, 0);
    if (mapped == MAP_FAILED) return false;
    s.restored.store(breaks, std::memory_order_seq_cst);
    return !IsBroken(slot);
}

void Install() {
    const std::lock_guard<std::mutex> lock(g_installMutex);
    struct sigaction current {};
    if (::sigaction(SIGBUS, nullptr, &current) != 0) return;
    if ((current.sa_flags & SA_SIGINFO) != 0 && current.sa_sigaction == &OnBusError) {
        g_installed.store(true, std::memory_order_release);
        return;
    }
    // Not replaced while the handler may read it: the handler is not in place yet (first install),
    // or another one has taken its place since.
    g_previous = current;
    g_hasPrevious.store(true, std::memory_order_release);
    struct sigaction action {};
    action.sa_sigaction = &OnBusError;
    action.sa_flags = SA_SIGINFO | SA_ONSTACK;
    ::sigemptyset(&action.sa_mask);
    if (::sigaction(SIGBUS, &action, nullptr) == 0) g_installed.store(true, std::memory_order_release);
}

bool Absorb(const siginfo_t* info) {
    // A truncated file gives BUS_ADRERR; a misaligned access or a hardware error is no business of ours.
    if (info == nullptr || info->si_code != BUS_ADRERR) return false;
    const auto address = reinterpret_cast<uintptr_t>(info->si_addr);
    const int used = g_used.load(std::memory_order_acquire);
    for (int i = 0; i < used; ++i) {
        sSlot& slot = g_slots[i];
        if (slot.state.load(std::memory_order_acquire) != SLOT_LIVE || !Covers(slot, address)) continue;
        // Pinned, the slot is looked at again: live now, it stays so, with this range, until unpinned.
        slot.pins.fetch_add(1, std::memory_order_seq_cst);
        long mapped = -1;
        const bool ours = slot.state.load(std::memory_order_seq_cst) == SLOT_LIVE && Covers(slot, address);
        if (ours) {
            const uintptr_t start = slot.start.load(std::memory_order_relaxed);
            const uintptr_t end = slot.end.load(std::memory_order_relaxed);
            // Marked before the zeros are there, so that whoever reads them finds the view broken.
            slot.breaks.fetch_add(1, std::memory_order_seq_cst);
            // A raw system call: no lock, no allocation, nothing a sanitizer's wrapper adds.
            mapped = ::syscall(SYS_mmap, start, end - start, PROT_READ | PROT_WRITE,
                               MAP_PRIVATE | MAP_ANONYMOUS | MAP_FIXED, -1, 0);
        }
        slot.pins.fetch_sub(1, std::memory_order_seq_cst);
        if (ours) return mapped != -1;
    }
    return false;
}

}  // namespace Vok::MappingGuard
