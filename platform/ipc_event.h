// A named manual-reset event between processes: set, it stays set (waking every waiter) until reset.
#pragma once

#include <pthread.h>

#include <atomic>
#include <cstdint>
#include <mutex>

#include "compat/cstring.h"
#include "compat/object.h"
#include "compat/windows_types.h"
#include "platform/named_object.h"

class CIpcEvent : public CObject {
public:
    // Creates the event, not signalled, or opens it as it stands. A failure is not reported here: the
    // event is then not valid, and Set, Reset and Wait fail.
    explicit CIpcEvent(const CString& name);
    ~CIpcEvent() override;
    CIpcEvent(const CIpcEvent&) = delete;
    CIpcEvent& operator=(const CIpcEvent&) = delete;

    // An event whose file another process cut short fails (false, WAIT_FAILED) until the file holds
    // its word again; it never ends the process.
    // Signals the event and wakes every waiter; false when the event is not valid.
    bool Set();
    // Set in two steps, so that several events can be signalled before the waiters of any of them
    // run: Signal signals the event and says whether its waiters are to be woken (not when it was
    // signalled already); WakeWaiters wakes them. A waiter whose event is not signalled and whose
    // set count did not change goes on waiting.
    bool Signal(bool& wake);
    void WakeWaiters();
    // Clears the signal; false when the event is not valid.
    bool Reset();
    // WAIT_OBJECT_0 (0) when signalled, also by a set that a reset followed before this waiter ran;
    // WAIT_TIMEOUT (258) when timeoutMs passed first (INFINITE waits for ever, 0 only looks);
    // WAIT_FAILED (0xFFFFFFFF) when the event is not valid or the wait fails, also when it finds the
    // word damaged: its count gone back (another process rewrote the file), which no set makes and
    // which is never taken for one (a word at 0 is the count's wrap). A wait sleeps on the word
    // in the event's file: one that another process cuts short meanwhile keeps it asleep until a set
    // or the time-out (for a wait that must end on this process's word, see CIpcEventWatch).
    DWORD Wait(DWORD timeoutMs);

    bool IsValid() const { return m_word != nullptr; }
    // Why an event that is not valid could not be made: the errno that the system gave (EMFILE when
    // no descriptor was left), 0 when it gave none.
    int GetOpenError() const { return m_openError; }
    const CString& GetName() const { return m_name; }

private:
    friend class CIpcEventWatch;

    // Whether the word can be used: valid, and not found beyond the end of its file (which another
    // process may have cut short; the view is mapped again once the file holds the word again).
    bool IsUsable();

    CString m_name;
    Vok::Ipc::CNamedFile m_file;
    Vok::Ipc::CMappedView m_view;
    // The event word in the shared mapping; null when creation failed.
    uint32_t* m_word = nullptr;
    int m_openError = 0;
};

// A thread's own watch of an event, for a thread that sleeps until the event is set and that this
// process must be able to stop. It waits on a view of the event's file of its own, so that no access
// of another thread to a file cut short changes what it sleeps on; and Cancel ends the wait through
// this process alone, so that a file that another process cut short cannot keep it asleep.
//
// Two roads, chosen once per process at the first use: where the system has futex_waitv (Linux 5.16
// on), the watch sleeps on the event word and a cancel word of this process at once. Where that call
// is missing or refused (ENOSYS, EPERM from a container's profile, EINVAL), it sleeps on the event
// word alone, and Cancel interrupts the sleep with GetCancelSignal(), sent to the waiting thread: this
// process then owns that signal (its handler is installed at the choice), and a thread that waits
// takes it in while it waits. Neither road wakes while nothing comes.
//
// The cancel signal is SIGWINCH, a standard signal, not a real-time one: the kernel never refuses it.
// A real-time signal sent to a thread needs an entry in the queue of pending signals that
// RLIMIT_SIGPENDING bounds over all of the user's processes, and is refused (EAGAIN) when the queue is
// full, so a cancel could be lost for good; a standard signal needs no entry (one already pending
// merges with it). Its default action is to be ignored, so one that reaches another thread, or a
// process that never chose this road, does nothing.
class CIpcEventWatch {
public:
    // Watches event, which must outlive the watch. Every wait fails when the event is not valid or its
    // file cannot be mapped once more.
    explicit CIpcEventWatch(CIpcEvent& event);
    ~CIpcEventWatch();
    CIpcEventWatch(const CIpcEventWatch&) = delete;
    CIpcEventWatch& operator=(const CIpcEventWatch&) = delete;

    // Chooses the road now, when not done yet (best before other threads start): true when watches
    // sleep on two words at once; otherwise refusal holds the errno that futex_waitv answered.
    static bool WaitsOnTwoWords(int* refusal = nullptr);
    // The real-time signal that ends a sleep on the second road.
    static int GetCancelSignal();

    // False when the event was not valid or its file could not be mapped once more.
    bool IsValid() const { return m_word != nullptr; }
    // Whether the event can be waited for: its file holds the word (a view broken by a cut is mapped
    // again first).
    bool IsUsable();
    // Sleeps, without a time limit and without waking otherwise, until the event is set
    // (WAIT_OBJECT_0, also for a set that a reset followed) or Cancel is called (WAIT_TIMEOUT).
    // WAIT_FAILED when the event cannot be waited for: its file found cut short at a look (a cut
    // while the wait sleeps does not wake it; Cancel does), or its word found damaged as Wait of the
    // event says. One thread at a time; on the second road it unblocks GetCancelSignal() in that
    // thread.
    DWORD Wait();
    // Sleeps timeoutMs unless Cancel is called; false once it is.
    bool Pause(DWORD timeoutMs);
    // From any thread (not from a signal handler), before the waiting thread is joined: ends the wait
    // or pause under way and makes every later one end at once.
    void Cancel();
    bool IsCancelled() const { return m_cancel.load(std::memory_order_acquire) != 0; }

private:
    // Sleeps while *m_word holds expected, until woken or cancelled: 0 or the errno of the sleep.
    int Sleep(uint32_t expected);

    CIpcEvent& m_event;
    Vok::Ipc::CMappedView m_view;
    uint32_t* m_word = nullptr;
    // Becomes 1 at Cancel; a futex word of this process.
    std::atomic<uint32_t> m_cancel{0};
    // On the second road, the thread that is between its last look at m_cancel and the end of its
    // sleep, for Cancel to interrupt.
    std::mutex m_sleeperLock;
    bool m_sleeping = false;
    pthread_t m_sleeper{};
};
