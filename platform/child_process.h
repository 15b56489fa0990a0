// One end of the link between a host and the driver it starts. The prefix names every shared object
// of the link: the settings buffer (prefix + "_SETTINGS"), through which the host passes settings and
// the command record, and six manual-reset events through which each side wakes the other.
#pragma once

#include <cstddef>
#include <memory>
#include <optional>
#include <vector>

#include "compat/cstring.h"
#include "compat/object.h"
#include "compat/windows_types.h"
#include "platform/ipc_buffer_handle.h"
#include "platform/ipc_event.h"
#include "platform/process_launch.h"

// Indices of the six events; the direction rule (who sets, who waits and resets) is enforced.
enum eIpcEvent {
    EVT_UPDATE_READY = 0,   // set by the driver
    EVT_TRIGGER_DSP = 1,    // set by the driver
    EVT_NEW_SETTINGS = 2,   // set by the host, waited for and reset by the driver
    EVT_SETTINGS_READ = 3,  // set by the driver
    EVT_CLOSE = 4,          // set by the driver
    EVT_FIX_READY = 5,      // set by the driver
};
constexpr int IPC_EVENT_COUNT = 6;

enum eIpcCommand : DWORD {
    CMD_UNDEFINED = 0,
    CMD_INIT = 1,
    CMD_PLAY = 2,
    CMD_TRIGGER = 3,
    CMD_RESET = 4,
    CMD_SETTINGS = 5,
    CMD_STOP = 6,
    CMD_PAUSE = 7,
    CMD_EXIT = 8,
    CMD_RES_UPDATE = 9,
    CMD_RAW_UPDATE = 10,
    CMD_RECORD = 11,
    CMD_FIX_UPDATE = 12,
    CMD_SPLIT = 13,
    CMD_HEARTBEAT = 14,
    CMD_DEVICE_SETTINGS = 15,
    CMD_MONITOR_SETTINGS = 16,
};

// Record 1 of block 1 of the settings buffer. The host makes that block's record size at most 40.
struct IpcCommandRecord {
    DWORD command;
    BYTE reserved[36];  // written as zero
};
static_assert(sizeof(IpcCommandRecord) == 40);
static_assert(offsetof(IpcCommandRecord, command) == 0);

// Priority classes and thread priorities of the host-end constructor; the child's nice value is
// derived from both (a priority above this process's needs the right to raise it, else it is kept).
constexpr DWORD IDLE_PRIORITY_CLASS = 0x40;
constexpr DWORD BELOW_NORMAL_PRIORITY_CLASS = 0x4000;
constexpr DWORD NORMAL_PRIORITY_CLASS = 0x20;
constexpr DWORD ABOVE_NORMAL_PRIORITY_CLASS = 0x8000;
constexpr DWORD HIGH_PRIORITY_CLASS = 0x80;
constexpr DWORD REALTIME_PRIORITY_CLASS = 0x100;
constexpr int THREAD_PRIORITY_LOWEST = -2;
constexpr int THREAD_PRIORITY_BELOW_NORMAL = -1;
constexpr int THREAD_PRIORITY_NORMAL = 0;
constexpr int THREAD_PRIORITY_ABOVE_NORMAL = 1;
constexpr int THREAD_PRIORITY_HIGHEST = 2;

// How long the host end waits for the settings buffer's lock.
constexpr DWORD HOST_LOCK_TIMEOUT_MS = 5000;
// How long the driver end waits for it to read a command.
constexpr DWORD COMMAND_READ_TIMEOUT_MS = 200;

// What became of an attempt to read the command record.
enum eCommandRead {
    COMMAND_READ = 0,     // read (CMD_UNDEFINED when there was nothing to read)
    COMMAND_HELD = 1,     // another process kept the settings buffer's hold for the whole wait
    COMMAND_REFUSED = 2,  // the buffer's files were found damaged; its GetRefusal says why
};

class CChildProcess : public CObject {
public:
    // No buffer, no events, no child.
    CChildProcess();
    // Driver end: opens the six events and the settings buffer (as a reader) of that prefix, which
    // its host has made; it makes none of them. It is started only when all seven exist and could be
    // opened; otherwise GetStartError says what failed (a folder refused for its owner, its mode or
    // as a link, or the first object that does not exist) and nothing is opened.
    explicit CChildProcess(const CString& prefix);
    // Host end: the prefix is "%08X_%04d" of processId and number; creates the settings buffer (as
    // its writer) and the six events, then starts the child when the settings buffer could be opened
    // and process processId exists. The command line is split into arguments as SplitCommandLine
    // says and the program is searched in PATH; no shell is involved. The child gets this process's
    // environment with "Prefix" set to the prefix (this process's own environment is not changed),
    // its standard input from /dev/null, currentDirectory (null or empty: this process's) as its
    // current folder, and runs in its own process group. showWindow has no meaning here.
    CChildProcess(const CString& commandLine, DWORD processId, int number, int showWindow, DWORD priorityClass,
                  int threadPriority, const char* currentDirectory);
    // Closes the events, the settings buffer and the handle of the child, which keeps running.
    ~CChildProcess() override;
    CChildProcess(const CChildProcess&) = delete;
    CChildProcess& operator=(const CChildProcess&) = delete;

    // Each end may only set, reset or wait for the events that the direction rule gives it; on the
    // wrong end, and for an index outside 0..5, the result is false and nothing is touched.
    // SetEvent yields the processor after signalling, so that a waiting process can run.
    BOOL SetEvent(int index);
    // Sets two events without yielding: both are signalled, first then second, before the waiters
    // of either are woken, so that a waiter woken by the first finds the second set too.
    BOOL SetEvents(int first, int second);
    BOOL ResetEvent(int index);
    // The event at index for a waiter of this end's own that must be able to stop waiting
    // (CIpcEventWatch); null on the wrong end and for an index outside 0..5.
    CIpcEvent* GetWaitableEvent(int index);
    // Throws CInvalidArgException for an index outside the events this end holds; otherwise, on the
    // right end, waits up to timeoutMs, stores the wait's result (WAIT_OBJECT_0, WAIT_TIMEOUT,
    // WAIT_FAILED) and returns true.
    BOOL WaitEvent(int index, DWORD timeoutMs, DWORD& result);
    // True when WaitEvent returned true with WAIT_OBJECT_0.
    BOOL IsEventSet(int index, DWORD timeoutMs);
    // Whether the event at index is set now, on either end: a look that changes nothing, for the end
    // that sets an event to see whether the other has taken it (reset it). False for an index outside
    // 0..5 and for an event that cannot be used.
    bool IsEventSignalled(int index);

    // Host end: writes the command record under the buffer's exclusive hold, waiting
    // HOST_LOCK_TIMEOUT_MS at most for it (a stopped driver holding a shared hold must not freeze the
    // host). True only when the record was written and the hold released.
    BOOL WriteCommand(DWORD code);
    // Host end: resets "_SETTINGS_READ", sets "_NEW_SETTINGS" and waits up to timeoutMs for the
    // driver's acknowledgement, which it resets. False when none came (and on the driver end).
    BOOL PostSettingsAndWait(DWORD timeoutMs);
    // Driver end: the command code of the record, read under the shared hold, waiting timeoutMs at
    // most for it. COMMAND_READ with CMD_UNDEFINED when there was nothing to read (no block yet, or a
    // record longer than 40 bytes); command is left as it is unless the result is COMMAND_READ.
    eCommandRead ReadCommand(DWORD timeoutMs, DWORD& command);
    // The same, waiting COMMAND_READ_TIMEOUT_MS; CMD_UNDEFINED unless read.
    DWORD ReadCommand();

    // Host end: kills the child; false on the driver end, without a child, or when the child has
    // already ended (it keeps the status it ended with).
    BOOL Terminate();
    // Host end: the child's exit code once it has ended, waiting up to timeoutMs; 128 + the signal
    // that ended it, except 0 for a child that Terminate ended (as ending it with exit code 0
    // asks). Nothing while it still runs, on the driver end, or without a child. Reaps the child.
    std::optional<int> WaitForExit(DWORD timeoutMs);
    DWORD GetProcessId() const { return m_processId; }
    // The child's main thread has the child's process id as its thread id.
    DWORD GetThreadId() const { return m_threadId; }
    // The child's pidfd, owned by this object; -1 on the driver end or without a child.
    int GetProcessHandle() const { return m_process.GetPidFd(); }
    // There are no windows here: null.
    void* FindMainWindow() const { return nullptr; }
    // Host end: a new pidfd for the child, which the caller closes; -1 on the driver end or when
    // there is no such process.
    int OpenChildProcess() const;

    BOOL IsStarted() const { return m_started; }
    // The first thing that failed while opening the link objects or starting the child; empty when
    // nothing did.
    const CString& GetStartError() const { return m_startError; }
    // The errno of that failure when the system gave one (EMFILE when no descriptor was left), else 0.
    int GetStartErrno() const { return m_startErrno; }
    const CString& GetPrefix() const { return m_prefix; }
    const CString& GetCommandLine() const { return m_commandLine; }
    bool IsHostEnd() const { return m_side == 1; }
    // The settings buffer, through which the host sets up block 1 and the settings; null when it
    // could not be opened or for a default-constructed end.
    IpcBufferHandle* GetSettings() { return m_settings.get(); }

    // "EVT_UPDATE_READY" .. "EVT_FIX_READY", else "EVT unknown".
    static CString EventToText(int index);
    // "CMD_UNDEFINED" .. "CMD_MONITOR_SETTINGS", else "CMD unknown".
    static CString CommandToText(DWORD code);

private:
    // Opens the buffer and the events of the prefix; notes the first failure.
    void OpenLinkObjects(int mode);
    // Why the driver end cannot open its host's objects; empty when all of them are there.
    CString FindMissingLinkObject() const;
    bool MayUse(int index, bool set) const;

    std::unique_ptr<IpcBufferHandle> m_settings;
    std::vector<std::unique_ptr<CIpcEvent>> m_events;
    CString m_commandLine;
    CString m_prefix;
    int m_side = 0;
    DWORD m_processId = 0;
    Vok::Process::CProcess m_process;
    BOOL m_started = FALSE;
    bool m_terminated = false;
    DWORD m_threadId = 0;
    CString m_startError;
    int m_startErrno = 0;
};
