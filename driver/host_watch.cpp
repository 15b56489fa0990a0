#include "driver/host_watch.h"

#include <signal.h>
#include <sys/prctl.h>
#include <unistd.h>

namespace {

pid_t g_host = 0;

// Async-signal-safe: does nothing. The signal only cuts short a wait that is not restarted (the
// receive wait); the run loop looks at the parent itself on its next turn.
void OnParentDeath(int) {}

}  // namespace

bool StartHostWatch() {
    g_host = ::getppid();
    struct sigaction action {};
    action.sa_handler = &OnParentDeath;
    action.sa_flags = SA_RESTART;
    ::sigemptyset(&action.sa_mask);
    // SIGURG, which is otherwise ignored: the host's death must not kill the driver in the middle
    // of a record, but let the loop end it in order.
    ::sigaction(SIGURG, &action, nullptr);
    ::prctl(PR_SET_PDEATHSIG, SIGURG);
    // A host that ended before the request was made sends nothing: the parent has changed already,
    // or the driver was handed to init from the start.
    return g_host > 1 && ::getppid() == g_host;
}

bool IsHostGone() { return g_host != 0 && ::getppid() != g_host; }

pid_t GetHostProcessId() { return g_host; }
