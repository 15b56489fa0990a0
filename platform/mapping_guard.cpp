#include "platform/mapping_guard.h"

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

constexpr uintptr_t RESERVED = 1;

struct sSlot {
    std::atomic<uintptr_t> start{0};  // 0: free, RESERVED: being filled
    std::atomic<uintptr_t> end{0};
    std::atomic<bool> broken{false};
};

sSlot g_slots[SLOT_COUNT];
// Slots at and above this were never used: the handler looks no further.
std::atomic<int> g_used{0};

std::mutex g_installMutex;
struct sigaction g_previous {};
std::atomic<bool> g_hasPrevious{false};
// Install has run once; a handler installed after it calls Install again itself.
std::atomic<bool> g_installed{false};

static_assert(std::atomic<uintptr_t>::is_always_lock_free && std::atomic<bool>::is_always_lock_free,
              "the handler reads the slots");

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
        // Reserved first, so that no other thread fills the slot meanwhile, and published last, so that
        // the handler never sees a start without its end.
        uintptr_t free = 0;
        if (!g_slots[i].start.compare_exchange_strong(free, RESERVED, std::memory_order_acquire)) continue;
        g_slots[i].end.store(start + size, std::memory_order_relaxed);
        g_slots[i].broken.store(false, std::memory_order_relaxed);
        g_slots[i].start.store(start, std::memory_order_release);
        int used = g_used.load(std::memory_order_relaxed);
        while (used <= i && !g_used.compare_exchange_weak(used, i + 1, std::memory_order_release)) {
        }
        return i;
    }
    return -1;
}

void Unregister(int slot) {
    if (slot < 0 || slot >= SLOT_COUNT) return;
    g_slots[slot].start.store(0, std::memory_order_release);
}

bool IsBroken(int slot) {
    return slot >= 0 && slot < SLOT_COUNT && g_slots[slot].broken.load(std::memory_order_acquire);
}

void ClearBroken(int slot) {
    if (slot >= 0 && slot < SLOT_COUNT) g_slots[slot].broken.store(false, std::memory_order_release);
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
        const uintptr_t start = g_slots[i].start.load(std::memory_order_acquire);
        const uintptr_t end = g_slots[i].end.load(std::memory_order_relaxed);
        if (start <= RESERVED || address < start || address >= end) continue;
        // A raw system call: no lock, no allocation, nothing a sanitizer's wrapper adds.
        const long mapped = ::syscall(SYS_mmap, start, end - start, PROT_READ | PROT_WRITE,
                                      MAP_PRIVATE | MAP_ANONYMOUS | MAP_FIXED, -1, 0);
        if (mapped == -1) return false;
        g_slots[i].broken.store(true, std::memory_order_release);
        return true;
    }
    return false;
}

}  // namespace Vok::MappingGuard
