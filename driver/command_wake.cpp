#include "driver/command_wake.h"

#include <pthread.h>
#include <signal.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <system_error>

#include "driver/host_watch.h"
#include "platform/ipc_event.h"

namespace {

// While the event is refused, the loop is told again this often, so that it can say what it held back.
constexpr DWORD REFUSED_EVENT_REMINDER_MS = 1000;

}  // namespace

CCommandWake::CCommandWake(CIpcEvent* event) {
    if (event == nullptr || !event->IsValid()) return;
    m_watch = std::make_unique<CIpcEventWatch>(*event);
    if (!m_watch->IsValid()) return;
    m_fd = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (m_fd < 0) return;
    // The host's death signal is the run loop's: it must cut the loop's wait short, not this one's.
    sigset_t watch, before;
    ::sigemptyset(&watch);
    ::sigaddset(&watch, GetHostWatchSignal());
    ::pthread_sigmask(SIG_BLOCK, &watch, &before);
    try {
        m_thread = std::thread(&CCommandWake::Watch, this);
    } catch (const std::system_error&) {
        // IsRunning answers false: the loop looks at the event itself.
    }
    ::pthread_sigmask(SIG_SETMASK, &before, nullptr);
}

CCommandWake::~CCommandWake() {
    if (m_thread.joinable()) {
        {
            const std::lock_guard<std::mutex> lock(m_mutex);
            m_stop = true;
        }
        m_rearmed.notify_one();
        // Ends a wait on the event through this process alone: a wake on the event's own word cannot
        // reach it when another process has cut the file short.
        m_watch->Cancel();
        m_thread.join();
    }
    if (m_fd >= 0) ::close(m_fd);
}

void CCommandWake::Rearm() {
    eventfd_t value = 0;
    ::eventfd_read(m_fd, &value);
    {
        const std::lock_guard<std::mutex> lock(m_mutex);
        m_announced = false;
    }
    m_rearmed.notify_one();
}

bool CCommandWake::Announce() {
    std::unique_lock<std::mutex> lock(m_mutex);
    if (m_stop) return false;
    m_announced = true;
    ::eventfd_write(m_fd, 1);
    // The event stays set until the loop has handled the command; waiting on it meanwhile would only
    // spin.
    m_rearmed.wait(lock, [this] { return !m_announced || m_stop; });
    return !m_stop;
}

void CCommandWake::Watch() {
    bool refused = false;
    DWORD refusedUntold = 0;
    for (;;) {
        if (!m_watch->IsUsable()) {
            // Cut short: the loop looks at the event and says that it is refused. Nothing wakes a
            // waiter when the file is given back its word, so it is looked at again now and then.
            if (!refused || refusedUntold >= REFUSED_EVENT_REMINDER_MS) {
                if (!Announce()) return;
                refusedUntold = 0;
            }
            refused = true;
            if (!m_watch->Pause(REFUSED_EVENT_RETRY_MS)) return;
            refusedUntold += REFUSED_EVENT_RETRY_MS;
            continue;
        }
        if (refused) {
            // Whole again: the loop says so, and the thread sleeps on the event once more.
            refused = false;
            if (!Announce()) return;
        }
        const DWORD result = m_watch->Wait();
        if (result == WAIT_TIMEOUT) return;  // cancelled
        if (result == WAIT_OBJECT_0 && !Announce()) return;
        // Cut short meanwhile, which the next turn finds; whatever else failed, never a spin.
        if (result == WAIT_FAILED && !m_watch->Pause(REFUSED_EVENT_RETRY_MS)) return;
    }
}
