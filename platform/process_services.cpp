#include "platform/process_services.h"

#include <grp.h>
#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <optional>
#include <sys/stat.h>

#include "compat/file_names.h"
#include "platform/child_job.h"
#include "platform/file_ops.h"
#include "platform/ipc_event.h"
#include "platform/process_launch.h"
#include "platform/version_info.h"

class CHandleObject {
public:
    explicit CHandleObject(Vok::Process::CProcess process) : m_process(std::move(process)) {}
    explicit CHandleObject(CIpcEvent& event) : m_event(&event) {}

    Vok::Process::CProcess m_process;
    CIpcEvent* m_event = nullptr;
};

namespace {

using Clock = std::chrono::steady_clock;
using Vok::FileNames::AnsiToFileSystem;

bool IsValid(HANDLE handle) {
    return handle != nullptr && handle != INVALID_HANDLE_VALUE &&
           (handle->m_event != nullptr || handle->m_process.IsValid());
}

std::optional<std::vector<std::string>> EnvironmentBlock(const char* block) {
    if (block == nullptr) return std::nullopt;
    std::vector<std::string> entries;
    for (const char* entry = block; *entry != '\0'; entry += std::strlen(entry) + 1) entries.emplace_back(entry);
    return entries;
}

HANDLE Launch(std::vector<std::string> arguments, const char* environment, const STARTUPINFOA* startup) {
    Vok::Process::sLaunchOptions options;
    options.arguments = std::move(arguments);
    options.environment = EnvironmentBlock(environment);
    if (startup != nullptr) {
        options.standardInput = startup->hStdInput;
        options.standardOutput = startup->hStdOutput;
        options.standardError = startup->hStdError;
    }
    Vok::Process::CProcess process = Vok::Process::Launch(options);
    if (!process.IsValid()) return INVALID_HANDLE_VALUE;
    return new CHandleObject(std::move(process));
}

std::vector<std::string> Arguments(const CString& file, const CStringArray& arguments) {
    std::vector<std::string> out{AnsiToFileSystem(file.Str())};
    for (const CString& a : arguments) out.push_back(AnsiToFileSystem(a.Str()));
    return out;
}

// A capability set ("CapPrm", "CapEff") of this process from /proc/self/status.
uint64_t CapabilitySet(const std::string& name) {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.compare(0, name.size() + 1, name + ":") == 0) return std::strtoull(line.c_str() + name.size() + 1, nullptr, 16);
    return 0;
}

int CapabilityNumber(std::string name) {
    static const char* const kNames[] = {
        "chown",          "dac_override",   "dac_read_search", "fowner",        "fsetid",
        "kill",           "setgid",         "setuid",          "setpcap",       "linux_immutable",
        "net_bind_service", "net_broadcast", "net_admin",      "net_raw",       "ipc_lock",
        "ipc_owner",      "sys_module",     "sys_rawio",       "sys_chroot",    "sys_ptrace",
        "sys_pacct",      "sys_admin",      "sys_boot",        "sys_nice",      "sys_resource",
        "sys_time",       "sys_tty_config", "mknod",           "lease",         "audit_write",
        "audit_control",  "setfcap",        "mac_override",    "mac_admin",     "syslog",
        "wake_alarm",     "block_suspend",  "audit_read",      "perfmon",       "bpf",
        "checkpoint_restore",
    };
    for (char& c : name) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
    if (name.compare(0, 4, "cap_") != 0) return -1;
    for (int i = 0; i < static_cast<int>(std::size(kNames)); ++i)
        if (name.compare(4, std::string::npos, kNames[i]) == 0) return i;
    return -1;
}

constexpr int kCapDacOverride = 1;

std::size_t StreamSize(std::istream& stream) {
    stream.clear();
    stream.seekg(0, std::ios::end);
    const std::streamoff size = stream.tellg();
    return size > 0 ? static_cast<std::size_t>(size) : 0;
}

std::wstring ReadUnits(std::istream& stream, std::size_t offset, std::size_t bytes) {
    std::string raw(bytes / 2 * 2, '\0');
    stream.clear();
    stream.seekg(static_cast<std::streamoff>(offset));
    stream.read(raw.data(), static_cast<std::streamsize>(raw.size()));
    raw.resize(static_cast<std::size_t>(stream.gcount()) / 2 * 2);
    std::wstring units(raw.size() / 2, L'\0');
    for (std::size_t i = 0; i < units.size(); ++i)
        units[i] = static_cast<wchar_t>(static_cast<unsigned char>(raw[2 * i]) |
                                        static_cast<unsigned char>(raw[2 * i + 1]) << 8);
    return units;
}

}  // namespace

HANDLE EventHandle(CIpcEvent& event) {
    return new CHandleObject(event);
}

BOOL CloseHandle(HANDLE handle) {
    if (handle == nullptr || handle == INVALID_HANDLE_VALUE) return FALSE;
    delete handle;
    return TRUE;
}

HANDLE LaunchProcess(const char* file, const char* arguments, const char* environment) {
    if (file == nullptr) return INVALID_HANDLE_VALUE;
    std::vector<std::string> argv{AnsiToFileSystem(file)};
    if (arguments != nullptr && *arguments != '\0') argv.push_back(AnsiToFileSystem(arguments));
    return Launch(std::move(argv), environment, nullptr);
}

HANDLE LaunchProcessWithArgs(const CString& file, const CStringArray& arguments, STARTUPINFOA* startup,
                             const char* environment) {
    if (startup != nullptr) {
        startup->cb = sizeof(STARTUPINFOA);
        if (startup->hStdInput >= 0 || startup->hStdOutput >= 0 || startup->hStdError >= 0)
            startup->dwFlags |= STARTF_USESTDHANDLES;
    }
    return Launch(Arguments(file, arguments), environment, startup);
}

HANDLE LaunchProcessWithHandles(const CString& file, const CStringArray& arguments, const char* environment,
                                int standardOutput, int standardInput, int standardError) {
    STARTUPINFOA startup;
    startup.hStdOutput = standardOutput;
    startup.hStdInput = standardInput;
    startup.hStdError = standardError;
    return LaunchProcessWithArgs(file, arguments, &startup, environment);
}

bool AssignToKillOnCloseJob(HANDLE process) {
    if (!IsValid(process) || process->m_event != nullptr) return false;
    Vok::CKillOnCloseJob* job = GetKillOnCloseJob();
    return job != nullptr && job->Assign(process->m_process.GetPidFd());
}

DWORD WaitForManyObjects(DWORD count, const HANDLE* handles, DWORD timeoutMs) {
    if (count == 0 || handles == nullptr) return WAIT_FAILED;
    std::vector<pollfd> processes;
    std::vector<DWORD> processIndex;
    std::vector<DWORD> events;
    for (DWORD i = 0; i < count; ++i) {
        if (!IsValid(handles[i])) return WAIT_FAILED;
        if (handles[i]->m_event != nullptr) {
            events.push_back(i);
        } else {
            processes.push_back({handles[i]->m_process.GetPidFd(), POLLIN, 0});
            processIndex.push_back(i);
        }
    }
    // Events have no descriptor to poll: between looks at them, the processes are polled (or the
    // one event waited for) in short slices, all under one deadline.
    constexpr int kSliceMs = 5;
    const bool infinite = timeoutMs == INFINITE;
    const auto deadline = Clock::now() + std::chrono::milliseconds(infinite ? 0 : timeoutMs);
    for (;;) {
        DWORD first = count;
        if (!processes.empty() && ::poll(processes.data(), processes.size(), 0) < 0 && errno != EINTR)
            return WAIT_FAILED;
        for (std::size_t p = 0; p < processes.size(); ++p)
            if (processes[p].revents != 0) first = std::min(first, processIndex[p]);
        for (const DWORD e : events) {
            if (e >= first) break;
            const DWORD r = handles[e]->m_event->Wait(0);
            if (r == WAIT_OBJECT_0) first = e;
            else if (r != WAIT_TIMEOUT) return WAIT_FAILED;
        }
        if (first < count) return WAIT_OBJECT_0 + first;

        long long left = infinite ? -1 : std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now()).count();
        if (!infinite && left <= 0) return WAIT_TIMEOUT;
        if (!events.empty()) left = infinite ? kSliceMs : std::min<long long>(left, kSliceMs);
        const int wait = static_cast<int>(std::min<long long>(left, 1 << 30));
        if (!processes.empty()) {
            if (::poll(processes.data(), processes.size(), wait) < 0 && errno != EINTR) return WAIT_FAILED;
        } else if (events.size() == 1) {
            if (handles[events.front()]->m_event->Wait(static_cast<DWORD>(wait)) == WAIT_FAILED) return WAIT_FAILED;
        } else {
            ::usleep(static_cast<useconds_t>(wait) * 1000);
        }
    }
}

int RunElevated(const CString& file, const CString& parameters, HANDLE* process) {
    if (process != nullptr) *process = INVALID_HANDLE_VALUE;
    OSVERSIONINFOEXA version;
    GetVersionInfoEx(version);
    const int code = GetWindowsVersionCode(version.dwPlatformId, version.wProductType, version.dwMajorVersion,
                                           version.dwMinorVersion, version.dwBuildNumber);
    // A version that could not be read is no system to start anything on.
    if (code == 0) return -1;
    if (code <= 510) {
        const HANDLE started = LaunchProcess(file, parameters, nullptr);
        if (started == INVALID_HANDLE_VALUE) return -1;
        if (process != nullptr) *process = started;
        else CloseHandle(started);
        return 0;
    }
    return -1;  // the "runas" verb needs a shell that asks for consent; there is none here
}

int LoadResourceBytes(CByteArray&, const CString&, WORD, const CString&) {
    return 0;
}

int LoadResourceText(CString&, const CString&, WORD) {
    return 0;
}

CString GetCommonFilesFolder() {
    return IsExistingFolder("/usr/share") ? CString("/usr/share") : CString();
}

CString GetDocumentsFolder() {
    CString folder;
    return GetSpecialFolderPath(CSIDL_PERSONAL, "", folder, false) ? folder : CString();
}

CString GetLocalAppDataFolder(bool withMaker) {
    CString folder;
    if (!GetSpecialFolderPath(CSIDL_LOCAL_APPDATA, "", folder, false)) return {};
    if (!withMaker) return folder;
    folder += "/VOK";
    if (!IsExistingFolder(folder)) ::mkdir(AnsiToFileSystem(folder.Str()).c_str(), 0777);
    return folder;
}

bool IsUserAdministrator() {
    if (::getuid() == 0 || ::geteuid() == 0) return true;
    const int count = ::getgroups(0, nullptr);
    if (count < 0) return false;
    std::vector<gid_t> groups(static_cast<std::size_t>(count) + 1);
    const int got = ::getgroups(count, groups.data());
    if (got < 0) return false;
    groups[static_cast<std::size_t>(got)] = ::getegid();
    for (const char* admins : {"sudo", "wheel", "admin"}) {
        const group* g = ::getgrnam(admins);
        if (g != nullptr && std::find(groups.begin(), groups.begin() + got + 1, g->gr_gid) != groups.begin() + got + 1)
            return true;
    }
    return false;
}

bool IsProcessElevated() {
    return ::geteuid() == 0;
}

bool TokenHoldsPrivileges(std::vector<std::string> names) {
    const uint64_t permitted = CapabilitySet("CapPrm");
    for (const std::string& name : names) {
        const int number = CapabilityNumber(name);
        if (number < 0 || (permitted & (uint64_t{1} << number)) == 0) return false;
    }
    return true;
}

bool IsAdminByAccessCheck() {
    return ::geteuid() == 0 || (CapabilitySet("CapEff") & (uint64_t{1} << kCapDacOverride)) != 0;
}

std::wstring ReadStreamAsWide(std::istream& stream, std::size_t byteLimit) {
    const std::size_t size = std::min(StreamSize(stream), byteLimit);
    if (size < 2) return {};
    return ReadUnits(stream, 0, size);
}

bool ReadStreamRangeAsWide(std::istream& stream, std::wstring& out, std::size_t byteCount, std::size_t byteOffset) {
    const std::size_t size = StreamSize(stream);
    out.clear();
    if (byteOffset > size) return false;
    const bool whole = byteCount <= size - byteOffset;
    out = ReadUnits(stream, byteOffset, whole ? byteCount : size - byteOffset);
    return whole;
}
