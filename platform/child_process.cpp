#include "platform/child_process.h"

#include <fcntl.h>
#include <sched.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <exception>
#include <system_error>

#include "compat/file_names.h"
#include "platform/named_object.h"
#include "platform/posix_call.h"

using Vok::FileNames::AnsiToFileSystem;

namespace {

struct sEventName {
    const char* suffix;
    const char* text;
};

const sEventName EVENT_NAMES[IPC_EVENT_COUNT] = {
    {"_UPDATE_READY", "EVT_UPDATE_READY"}, {"_TRIGGER_DSP", "EVT_TRIGGER_DSP"}, {"_NEW_SETTINGS", "EVT_NEW_SETTINGS"},
    {"_SETTINGS_READ", "EVT_SETTINGS_READ"}, {"_CLOSE", "EVT_CLOSE"},        {"_FIX_READY", "EVT_FIX_READY"},
};

const char* const COMMAND_TEXTS[] = {
    "CMD_UNDEFINED", "CMD_INIT",       "CMD_PLAY",       "CMD_TRIGGER",   "CMD_RESET",     "CMD_SETTINGS",
    "CMD_STOP",      "CMD_PAUSE",      "CMD_EXIT",       "CMD_RES_UPDATE", "CMD_RAW_UPDATE", "CMD_RECORD",
    "CMD_FIX_UPDATE", "CMD_SPLIT",     "CMD_HEARTBEAT",  "CMD_DEVICE_SETTINGS", "CMD_MONITOR_SETTINGS",
};

// The child's nice value for a priority class and a thread priority.
int Niceness(DWORD priorityClass, int threadPriority) {
    int nice = 0;
    switch (priorityClass) {
        case IDLE_PRIORITY_CLASS: nice = 19; break;
        case BELOW_NORMAL_PRIORITY_CLASS: nice = 10; break;
        case ABOVE_NORMAL_PRIORITY_CLASS: nice = -5; break;
        case HIGH_PRIORITY_CLASS: nice = -10; break;
        case REALTIME_PRIORITY_CLASS: nice = -20; break;
        default: break;
    }
    return std::clamp(nice - std::clamp(threadPriority, -2, 2), -20, 19);
}

CString ErrorText(int error) { return CString(std::generic_category().message(error).c_str()); }

// Why the folder of named objects cannot hold a host's link; empty when it can. Looked at, never
// made: a folder that is missing means that no host has made anything in it.
CString RefusedFolder(const std::string& path) {
    CString why;
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0) {
        const int error = errno;
        if (error == ENOENT) {
            why.Format("the folder %s does not exist", path);
        } else {
            why.Format("the folder %s cannot be examined: %s", path, ErrorText(error));
        }
    } else if (S_ISLNK(st.st_mode)) {
        why.Format("the folder %s is refused: it is a symbolic link", path);
    } else if (!S_ISDIR(st.st_mode)) {
        why.Format("the folder %s is refused: it is not a folder", path);
    } else if (st.st_uid != ::geteuid()) {
        why.Format("the folder %s is refused: it is owned by another user (uid %u)", path,
                   static_cast<unsigned>(st.st_uid));
    } else if ((st.st_mode & (S_IWGRP | S_IWOTH)) != 0) {
        why.Format("the folder %s is refused: it is writable by group or others (mode %03o)", path,
                   static_cast<unsigned>(st.st_mode & 0777));
    }
    return why;
}

// Why the file of one link object is not there to be opened; empty when it is.
CString MissingObject(const std::string& folder, char kind, const CString& name, const char* what,
                      const CString& shown) {
    CString why;
    try {
        const std::string path = folder + "/" + Vok::Ipc::MakeFileName(kind, name.Str());
        struct stat st {};
        if (::lstat(path.c_str(), &st) != 0) {
            why.Format("%s %s does not exist", what, shown);
        } else if (!S_ISREG(st.st_mode)) {
            why.Format("%s %s is not a file", what, shown);
        }
    } catch (const std::exception& e) {
        why.Format("%s %s cannot be named: %s", what, shown, e.what());
    }
    return why;
}

}  // namespace

CChildProcess::CChildProcess() = default;

CChildProcess::CChildProcess(const CString& prefix) : m_prefix(prefix), m_side(0) {
    // The driver end opens what its host made and makes nothing itself: with a wrong prefix, or a
    // host that is gone, it would otherwise wait for ever on objects that nobody else holds.
    m_startError = FindMissingLinkObject();
    if (!m_startError.IsEmpty()) return;
    OpenLinkObjects(0);
    // Started only when everything opened: a driver end without its events would poll for ever.
    m_started = m_startError.IsEmpty() ? TRUE : FALSE;
}

CChildProcess::CChildProcess(const CString& commandLine, DWORD processId, int number, int /*showWindow*/,
                             DWORD priorityClass, int threadPriority, const char* currentDirectory)
    : m_commandLine(commandLine), m_side(1) {
    m_prefix.Format("%08X_%04d", processId, number);
    OpenLinkObjects(1);
    // Without its settings buffer the link cannot carry a command: no child is started.
    if (m_settings == nullptr) return;

    const int host = Vok::Process::OpenProcessFd(static_cast<pid_t>(processId));
    if (host < 0) {
        m_startError.Format("process %u does not exist", processId);
        return;
    }
    ::close(host);

    Vok::Process::sLaunchOptions options;
    options.arguments = Vok::Process::SplitCommandLine(AnsiToFileSystem(commandLine.Str()));
    // The child gets the prefix in its own environment; changing this process's environment
    // around the start would race with other threads and lose a "Prefix" the host has itself.
    options.environment = Vok::Process::EnvironmentWith("Prefix", AnsiToFileSystem(m_prefix.Str()));
    if (currentDirectory != nullptr) options.workingFolder = AnsiToFileSystem(currentDirectory);
    options.niceness = Niceness(priorityClass, threadPriority);
    // In place of a console of its own, the child reads nothing of the host's input.
    Vok::Posix::CUniqueFd nothing(::open("/dev/null", O_RDONLY | O_CLOEXEC));
    options.standardInput = nothing.Get();

    int error = 0;
    m_process = Vok::Process::Launch(options, &error);
    if (!m_process.IsValid()) {
        m_startErrno = error;
        m_startError.Format("cannot start \"%s\": %s", commandLine, ErrorText(error));
        return;
    }
    m_processId = static_cast<DWORD>(m_process.GetPid());
    m_threadId = m_processId;
    m_started = TRUE;
}

CChildProcess::~CChildProcess() {
    m_events.clear();
    m_settings.reset();
}

void CChildProcess::OpenLinkObjects(int mode) {
    for (const sEventName& name : EVENT_NAMES) {
        auto event = std::make_unique<CIpcEvent>(m_prefix + name.suffix);
        if (!event->IsValid() && m_startError.IsEmpty()) {
            m_startErrno = event->GetOpenError();
            m_startError.Format("cannot open event %s", event->GetName());
            if (m_startErrno != 0) m_startError += ": " + ErrorText(m_startErrno);
        }
        m_events.push_back(std::move(event));
    }
    const CString settings = m_prefix + "_SETTINGS";
    try {
        m_settings = std::make_unique<IpcBufferHandle>(settings, mode);
    } catch (const std::exception& e) {
        if (m_startError.IsEmpty()) {
            m_startErrno = Vok::Posix::ErrorOf(e);
            m_startError.Format("cannot open buffer %s: %s", settings, e.what());
        }
    }
}

CString CChildProcess::FindMissingLinkObject() const {
    const std::string folder = Vok::Ipc::GetFolderPath();
    CString why = RefusedFolder(folder);
    for (const sEventName& name : EVENT_NAMES) {
        if (!why.IsEmpty()) break;
        const CString event = m_prefix + name.suffix;
        why = MissingObject(folder, Vok::Ipc::KIND_EVENT, event, "event", event);
    }
    // A buffer is there when its management segment is.
    const CString settings = m_prefix + "_SETTINGS";
    if (why.IsEmpty()) why = MissingObject(folder, Vok::Ipc::KIND_SEGMENT, settings + "_MNGT", "buffer", settings);
    return why;
}

bool CChildProcess::MayUse(int index, bool set) const {
    if (index < 0 || index >= static_cast<int>(m_events.size())) return false;
    // Only "_NEW_SETTINGS" goes from the host to the driver; every other event goes the other way.
    const bool hostSets = index == EVT_NEW_SETTINGS;
    return set == (hostSets == IsHostEnd());
}

BOOL CChildProcess::SetEvent(int index) {
    if (!MayUse(index, true)) return FALSE;
    const bool done = m_events[index]->Set();
    ::sched_yield();
    return done ? TRUE : FALSE;
}

BOOL CChildProcess::SetEvents(int first, int second) {
    if (!MayUse(first, true) || !MayUse(second, true)) return FALSE;
    bool wakeFirst = false, wakeSecond = false;
    const bool done = m_events[first]->Signal(wakeFirst) && m_events[second]->Signal(wakeSecond);
    if (wakeFirst) m_events[first]->WakeWaiters();
    if (wakeSecond) m_events[second]->WakeWaiters();
    return done ? TRUE : FALSE;
}

CIpcEvent* CChildProcess::GetWaitableEvent(int index) { return MayUse(index, false) ? m_events[index].get() : nullptr; }

BOOL CChildProcess::ResetEvent(int index) {
    if (!MayUse(index, false)) return FALSE;
    return m_events[index]->Reset() ? TRUE : FALSE;
}

BOOL CChildProcess::WaitEvent(int index, DWORD timeoutMs, DWORD& result) {
    if (index < 0 || index >= static_cast<int>(m_events.size())) throw CInvalidArgException();
    if (!MayUse(index, false)) return FALSE;
    result = m_events[index]->Wait(timeoutMs);
    return TRUE;
}

BOOL CChildProcess::IsEventSet(int index, DWORD timeoutMs) {
    DWORD result = WAIT_FAILED;
    return WaitEvent(index, timeoutMs, result) && result == WAIT_OBJECT_0 ? TRUE : FALSE;
}

bool CChildProcess::IsEventSignalled(int index) {
    if (index < 0 || index >= static_cast<int>(m_events.size())) return false;
    return m_events[index]->Wait(0) == WAIT_OBJECT_0;
}

BOOL CChildProcess::WriteCommand(DWORD code) {
    if (m_settings == nullptr || !m_settings->Lock(HOST_LOCK_TIMEOUT_MS)) return FALSE;
    IpcCommandRecord record{};
    record.command = code;
    const int written = m_settings->WriteRecord(1, 1, &record, sizeof record);
    const bool released = m_settings->Unlock();
    return written == 1 && released ? TRUE : FALSE;
}

BOOL CChildProcess::PostSettingsAndWait(DWORD timeoutMs) {
    if (!IsHostEnd()) return FALSE;
    ResetEvent(EVT_SETTINGS_READ);
    SetEvent(EVT_NEW_SETTINGS);
    DWORD result = WAIT_FAILED;
    if (!WaitEvent(EVT_SETTINGS_READ, timeoutMs, result) || result != WAIT_OBJECT_0) return FALSE;
    ResetEvent(EVT_SETTINGS_READ);
    return TRUE;
}

eCommandRead CChildProcess::ReadCommand(DWORD timeoutMs, DWORD& command) {
    if (m_settings == nullptr) return COMMAND_REFUSED;
    Vok::MultiIPCBuffer& buffer = m_settings->buffer;
    if (!buffer.LockShared(timeoutMs)) return buffer.GetRefusal().empty() ? COMMAND_HELD : COMMAND_REFUSED;
    IpcCommandRecord record{};
    if (buffer.GetBlockCount() != 0) m_settings->ReadRecord(1, 1, &record, sizeof record);
    const bool intact = buffer.IsIntact();
    buffer.Unlock();
    if (!intact) return COMMAND_REFUSED;
    command = record.command;
    return COMMAND_READ;
}

DWORD CChildProcess::ReadCommand() {
    DWORD command = CMD_UNDEFINED;
    ReadCommand(COMMAND_READ_TIMEOUT_MS, command);
    return command;
}

BOOL CChildProcess::Terminate() {
    // A child that has already ended (killed from outside, say) keeps the status it ended with:
    // it is reaped here, and there is nothing left to kill.
    if (!IsHostEnd() || m_process.Wait(0) || !m_process.Kill(SIGKILL)) return FALSE;
    m_terminated = true;
    return TRUE;
}

std::optional<int> CChildProcess::WaitForExit(DWORD timeoutMs) {
    if (!IsHostEnd() || !m_process.IsValid()) return std::nullopt;
    const std::optional<int> code = m_process.Wait(timeoutMs);
    // The kernel reports the kill; this end knows that it asked for exit code 0.
    if (code == 128 + SIGKILL && m_terminated) return 0;
    return code;
}

int CChildProcess::OpenChildProcess() const {
    if (!IsHostEnd() || m_processId == 0) return -1;
    return Vok::Process::OpenProcessFd(static_cast<pid_t>(m_processId));
}

CString CChildProcess::EventToText(int index) {
    if (index < 0 || index >= IPC_EVENT_COUNT) return "EVT unknown";
    return EVENT_NAMES[index].text;
}

CString CChildProcess::CommandToText(DWORD code) {
    if (code >= std::size(COMMAND_TEXTS)) return "CMD unknown";
    return COMMAND_TEXTS[code];
}
