#include "driver/command_wake.h"

#include <pthread.h>
#include <signal.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <chrono>
#include <system_error>

#include "driver/host_watch.h"
#include "platform/ipc_event.h"

CCommandWake::CCommandWake(CIpcEvent* event) : m_event(event) {
    if (m_event == nullptr || !m_event->IsValid()) return;
    m_fd = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (m_fd < 0) return;
    // The host's death signal is the run loop's: it must cut the loop's wait short, not this one's.
    sigset_t watch, before;
    ::sigemptyset(&watch);
    ::sigaddset(&watch, GetHostWatchSignal());
    ::pthread_sigmask(SIG_BLOCK, &watch, &before);
    m_running = true;
    try {
        m_thread = std::thread(&CCommandWake::Watch, this);
    } catch (const std::system_error&) {
        m_running = false;
    }
    ::pthread_sigmask(SIG_SETMASK, &before, nullptr);
}

CCommandWake::~CCommandWake() {
    if (m_thread.joinable()) {
        m_stop = true;
        // Wakes the thread wherever it waits: on the event (its word does not change, so every other
        // waiter of it waits on) or for Rearm. A wake that comes just before the thread goes to
        // sleep finds nobody, so it is repeated until the thread has ended.
        while (m_running) {
            m_event->WakeWaiters();
            {
                const std::lock_guard<std::mutex> lock(m_mutex);
                m_announced = false;
            }
            m_rearmed.notify_one();
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
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

void CCommandWake::Watch() {
    while (!m_stop) {
        if (m_event->WaitUnlessCancelled(m_stop) != WAIT_OBJECT_0) break;
        std::unique_lock<std::mutex> lock(m_mutex);
        m_announced = true;
        ::eventfd_write(m_fd, 1);
        // The event stays set until the loop has handled the command; waiting on it meanwhile
        // would only spin.
        m_rearmed.wait(lock, [this] { return !m_announced || m_stop; });
    }
    m_running = false;
}
