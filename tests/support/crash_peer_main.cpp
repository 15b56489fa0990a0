// Peer process for the crash handler's death tests: installs the handler, then faults as its one
// argument says:
//   null-write    writes through a null pointer
//   no-full-dump  as null-write, with the full dump switched off
//   divide        divides an integer by zero
//   exception     lets a C++ exception escape main
//   abort         calls abort()
//   wait          prints READY and waits for a signal from another process
//   recursion     recurses without end
//   bus           reads a page of a mapped file that it cut short itself (no named object's), without
//                 the full dump
//   two-threads   two threads write through a null pointer at once
//   stall         as null-write, but the report never finishes (its file sync blocks) and the
//                 handler waits only one second for it
//   cut           as null-write, but the process ends while the full dump is past its first
//                 megabyte, as when the report's deadline runs out
// After installing, the peer forbids operator new: a report path that used the heap would end
// the peer with code 3 instead of the fault's status.
#include <signal.h>
#include <sys/mman.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <new>
#include <string>
#include <thread>

#include "platform/crash_handler.h"

namespace {

std::atomic<bool> g_heapForbidden{false};
std::atomic<bool> g_stallSync{false};
std::atomic<bool> g_cutFullDump{false};
std::atomic<bool> g_logSynced{false};

// Read at run time, so the compiler cannot see the null pointer or the end of the recursion.
volatile uintptr_t g_zero = 0;
volatile bool g_deeper = true;

__attribute__((noinline, no_sanitize_address, no_sanitize_undefined)) void WriteNull() {
    *reinterpret_cast<volatile int*>(g_zero) = 1;
}

__attribute__((noinline, no_sanitize_undefined)) int Divide(int a, int b) {
    return a / b;
}

__attribute__((noinline, no_sanitize_address)) int ReadCutFile() {
    char path[] = "/tmp/crash_peer_XXXXXX";
    const int fd = ::mkstemp(path);
    if (fd < 0 || ::ftruncate(fd, 4096) != 0) return 2;
    ::unlink(path);
    auto* page = static_cast<volatile char*>(::mmap(nullptr, 4096, PROT_READ, MAP_SHARED, fd, 0));
    if (page == MAP_FAILED || ::ftruncate(fd, 0) != 0) return 2;
    return page[static_cast<int>(g_zero)];
}

__attribute__((noinline, no_sanitize_address)) int Recurse(int depth) {
    volatile char frame[512];
    frame[0] = static_cast<char>(depth);
    return (g_deeper ? Recurse(depth + 1) : 0) + frame[0];
}

}  // namespace

#if !defined(__SANITIZE_ADDRESS__)
// The sanitizer's allocator keeps its own books on every form of new and delete; there the heap
// is left alone.
void* operator new(std::size_t size) {
    if (g_heapForbidden) {
        const char text[] = "heap used on the report path\n";
        (void)!::write(STDERR_FILENO, text, sizeof text - 1);
        ::_exit(3);
    }
    if (void* p = std::malloc(size == 0 ? 1 : size)) return p;
    throw std::bad_alloc();
}
void* operator new[](std::size_t size) {
    return operator new(size);
}
void operator delete(void* p) noexcept {
    std::free(p);
}
void operator delete[](void* p) noexcept {
    std::free(p);
}
void operator delete(void* p, std::size_t) noexcept {
    std::free(p);
}
void operator delete[](void* p, std::size_t) noexcept {
    std::free(p);
}
#endif

// The report syncs its file before closing it; in the stall mode that never returns.
extern "C" int fsync(int) {
    while (g_stallSync) ::pause();
    g_logSynced = true;
    return 0;
}

// The full dump is written after the crash log; in the cut mode the process ends once that dump
// is past its first megabyte.
extern "C" ssize_t pwrite(int file, const void* data, size_t size, off_t offset) {
    if (g_cutFullDump && g_logSynced && offset >= (1 << 20)) ::_exit(128 + SIGSEGV);
    return ::syscall(SYS_pwrite64, file, data, size, offset);
}

int main(int argc, char** argv) {
    const std::string mode = argc > 1 ? argv[1] : "";
    const bool stall = mode == "stall";
    const bool cut = mode == "cut";
    if (!CCrashHandler::Install(stall ? 1000 : 10000)) return 2;
    g_stallSync = stall;
    g_cutFullDump = cut;
    if (mode == "two-threads") {
        std::atomic<int> ready{0};
        auto fault = [&ready] {
            ++ready;
            while (ready < 2) {
            }
            WriteNull();
        };
        std::thread a(fault);
        std::thread b(fault);
        g_heapForbidden = true;
        a.join();
        b.join();
        return 0;
    }
    g_heapForbidden = true;
    if (mode == "no-full-dump" || mode == "bus") CCrashHandler::s_bWriteFullDump = false;
    if (mode == "null-write" || mode == "no-full-dump" || stall || cut) WriteNull();
    if (mode == "divide") return Divide(argc, static_cast<int>(g_zero));
    if (mode == "exception") throw 42;
    if (mode == "abort") std::abort();
    if (mode == "wait") {
        (void)!::write(STDOUT_FILENO, "READY\n", 6);
        for (;;) ::pause();
    }
    if (mode == "recursion") return Recurse(0);
    if (mode == "bus") return ReadCutFile();
    return 2;
}
