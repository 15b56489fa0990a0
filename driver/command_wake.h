// Lets the run loop sleep until a datagram or a host command comes. A command is announced by the
// host's event "_NEW_SETTINGS", a futex word that poll cannot watch; a thread of its own waits on
// that event and makes an eventfd readable, which the loop polls together with its socket. The
// loop itself still reads and handles every command, on its own thread.
#pragma once

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <thread>

class CIpcEvent;

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
    bool IsRunning() const { return m_running.load(); }
    // Readable from the moment the event is set until Rearm.
    int GetFd() const { return m_fd; }
    // Called once the loop has handled what the event announced (and reset it): empties the fd and
    // lets the thread wait for the next set. A set that came meanwhile makes the fd readable again
    // at once.
    void Rearm();

private:
    void Watch();

    CIpcEvent* m_event;
    int m_fd = -1;
    std::atomic<bool> m_stop{false};
    std::atomic<bool> m_running{false};
    std::mutex m_mutex;
    std::condition_variable m_rearmed;
    bool m_announced = false;  // the fd was made readable and not yet rearmed
    std::thread m_thread;
};
