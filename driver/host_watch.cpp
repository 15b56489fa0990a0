#include "driver/host_watch.h"

#include <signal.h>
#include <sys/prctl.h>
#include <unistd.h>

namespace {

pid_t g_host = 0;
// Set by the signal: the parent may have changed since the run loop last looked.
volatile sig_atomic_t g_parentChanged = 0;
bool g_gone = false;

// Async-signal-safe: only notes the signal. It also cuts short a wait that is not restarted (the
// run loop's poll); the loop looks at the parent itself on its next turn.
void OnParentDeath(int) { g_parentChanged = 1; }

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
    // or the driver was handed to init from the start.
    return g_host > 1 && ::getppid() == g_host;
}

bool IsHostGone() {
    // Only a signal tells of a new parent, so the parent is asked only after one came.
    if (g_host == 0 || g_gone || g_parentChanged == 0) return g_gone;
    g_parentChanged = 0;
    g_gone = ::getppid() != g_host;
    return g_gone;
}

pid_t GetHostProcessId() { return g_host; }

int GetHostWatchSignal() { return SIGURG; }
