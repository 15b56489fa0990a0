// Lets the run loop sleep until a datagram or a host command comes. A command is announced by the
// host's event "_NEW_SETTINGS", a futex word that poll cannot watch; a thread of its own waits on
// that event and makes an eventfd readable, which the loop polls together with its socket. The
// loop itself still reads and handles every command, on its own thread.
//
// The event's file is the host's, and another process may cut it short: the thread then tells the
// loop (which looks at the event and says that it is refused), looks again every
// REFUSED_EVENT_RETRY_MS, and tells the loop once more when the event is whole again, and once a
// second meanwhile. It never ends before the loop does, and the loop stops it through this process
// alone (a word of its own, or a signal where the system has no wait on two words), whatever the
// event's file holds.
#pragma once

#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>

#include "compat/windows_types.h"

class CIpcEvent;
class CIpcEventWatch;

constexpr DWORD REFUSED_EVENT_RETRY_MS = 100;

class CCommandWake {
public:
    // Starts the thread waiting on event; without an event (null) nothing is started and IsRunning
    // answers false.
    explicit CCommandWake(CIpcEvent* event);
    // Stops the thread and waits for it.
    ~CCommandWake();
    CCommandWake(const CCommandWake&) = delete;
    CCommandWake& operator=(const CCommandWake&) = delete;

    // False when no thread waits for commands (no event, or no eventfd or thread could be made):
    // the loop must then look at the event on its own, at least every few milliseconds.
    bool IsRunning() const { return m_thread.joinable(); }
    // Readable from the moment the event is set (or found refused, or whole again) until Rearm.
    int GetFd() const { return m_fd; }
    // Called once the loop has handled what the event announced (and reset it): empties the fd and
    // lets the thread wait for the next set. A set that came meanwhile makes the fd readable again
    // at once.
    void Rearm();

private:
    void Watch();
    // Makes the fd readable and waits for Rearm; false when the thread is to stop.
    bool Announce();

    std::unique_ptr<CIpcEventWatch> m_watch;
    int m_fd = -1;
    std::mutex m_mutex;
    std::condition_variable m_rearmed;
    bool m_announced = false;  // the fd was made readable and not yet rearmed
    bool m_stop = false;
    std::thread m_thread;
};
