#include "driver/host_watch.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/prctl.h>
#include <unistd.h>

#include <cctype>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>

namespace {

pid_t g_host = 0;
// Set by the signal: the parent may have changed since the run loop last looked.
volatile sig_atomic_t g_parentChanged = 0;
bool g_gone = false;

// Async-signal-safe: only notes the signal. It also cuts short a wait that is not restarted (the
// run loop's poll); the loop looks at the parent itself on its next turn.
void OnParentDeath(int) { g_parentChanged = 1; }

// The host's process number as the host sees it: the link's prefix begins with it, in eight hex
// digits. 0 when there is no such prefix.
pid_t HostNamedByPrefix() {
    const char* prefix = std::getenv("Prefix");
    if (prefix == nullptr || std::isxdigit(static_cast<unsigned char>(prefix[0])) == 0) return 0;
    char* end = nullptr;
    const unsigned long number = std::strtoul(prefix, &end, 16);
    return end == prefix + 8 && *end == '_' ? static_cast<pid_t>(number) : 0;
}

// Whether 200 ms have passed since the last look at the pending signals.
bool IsLookDue() {
    static int64_t s_next = 0;
    timespec now{};
    ::clock_gettime(CLOCK_MONOTONIC_COARSE, &now);
    const int64_t ms = int64_t{now.tv_sec} * 1000 + now.tv_nsec / 1000000;
    if (ms < s_next) return false;
    s_next = ms + 200;
    return true;
}

}  // namespace

bool StartHostWatch() {
    g_host = ::getppid();
    struct sigaction action {};
    action.sa_handler = &OnParentDeath;
    action.sa_flags = SA_RESTART;
    ::sigemptyset(&action.sa_mask);
    // SIGURG, which is otherwise ignored: the host's death must not kill the driver in the middle
    // of a record, but let the loop end it in order.
    ::sigaction(GetHostWatchSignal(), &action, nullptr);
    ::prctl(PR_SET_PDEATHSIG, GetHostWatchSignal());
    // A host that ended before the request was made sends nothing: the parent has changed already,
    // or the driver was handed to init from the start. A parent of 1 is the host only when the
    // prefix names it: the first process of a PID namespace (a container's entry point), whose end
    // ends the whole namespace.
    return g_host > 0 && ::getppid() == g_host && (g_host != 1 || HostNamedByPrefix() == 1);
}

bool IsHostGone() {
    if (g_host == 0 || g_gone) return g_gone;
    // A loop that blocks the signal lets it in only when it sleeps, and ppoll does not sleep when a
    // datagram waits already: a signal pending meanwhile is taken here, looked for at most every
    // 200 ms (the coarse clock costs no system call), so that a flood costs no call per datagram.
    if (g_parentChanged == 0 && IsLookDue()) {
        sigset_t watch;
        ::sigemptyset(&watch);
        ::sigaddset(&watch, GetHostWatchSignal());
        const timespec now{};
        if (::sigtimedwait(&watch, nullptr, &now) == GetHostWatchSignal()) g_parentChanged = 1;
    }
    // Only a signal tells of a new parent, so the parent is asked only after one came.
    if (g_parentChanged == 0) return false;
    g_parentChanged = 0;
    g_gone = ::getppid() != g_host;
    return g_gone;
}

bool MayHostBeGone() {
    if (g_host == 0) return false;
    // The kernel's flag of a task in its end (PF_EXITING), set before it lets go of anything.
    constexpr unsigned long ENDING = 0x4;
    bool ending = false;
    char path[32];
    std::snprintf(path, sizeof path, "/proc/%d/stat", static_cast<int>(g_host));
    if (const int fd = ::open(path, O_RDONLY | O_CLOEXEC); fd >= 0) {
        char stat[512] = {};
        const ssize_t got = ::read(fd, stat, sizeof stat - 1);
        ::close(fd);
        // "pid (name) state ppid pgrp session tty tpgid flags ...": the name may hold anything, so
        // the fields are counted from the last ')'.
        const char* fields = got > 0 ? std::strrchr(stat, ')') : nullptr;
        char state = 0;
        unsigned long flags = 0;
        if (fields != nullptr && std::sscanf(fields + 1, " %c %*d %*d %*d %*d %*d %lu", &state, &flags) == 2)
            ending = state == 'Z' || state == 'X' || (flags & ENDING) != 0;
    }
    // Asked after the look: a host that ended meanwhile, and whose number another process took, has
    // left the driver another parent by then.
    return ending || ::getppid() != g_host;
}

pid_t GetHostProcessId() { return g_host; }

int GetHostWatchSignal() { return SIGURG; }
