// A named manual-reset event between processes: set, it stays set (waking every waiter) until reset.
#pragma once

#include <atomic>
#include <cstdint>

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
    // WAIT_FAILED (0xFFFFFFFF) when the event is not valid or the wait fails.
    DWORD Wait(DWORD timeoutMs);
    // Wait without a time limit that also ends, with WAIT_TIMEOUT, when cancel is true once
    // WakeWaiters (of any process) wakes it.
    DWORD WaitUnlessCancelled(const std::atomic<bool>& cancel);

    bool IsValid() const { return m_word != nullptr; }
    const CString& GetName() const { return m_name; }

private:
    DWORD WaitFor(DWORD timeoutMs, const std::atomic<bool>* cancel);
    // Whether the word can be used: valid, and not found beyond the end of its file (which another
    // process may have cut short; the view is mapped again once the file holds the word again).
    bool IsUsable();

    CString m_name;
    Vok::Ipc::CNamedFile m_file;
    Vok::Ipc::CMappedView m_view;
    // The event word in the shared mapping; null when creation failed.
    uint32_t* m_word = nullptr;
};
