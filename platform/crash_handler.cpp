#include "platform/crash_handler.h"

#include <dirent.h>
#include <elf.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <ucontext.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdarg>
#include <cstring>
#include <ctime>
#include <exception>
#include <mutex>
#include <string>
#include <thread>

#include "compat/debug_output.h"
#include "compat/file_names.h"
#include "platform/environment.h"
#include "platform/file_ops.h"
#include "platform/mapping_guard.h"
#include "platform/minidump.h"
#include "platform/path_text.h"
#include "platform/signal_safe_io.h"
#include "platform/version_info.h"

MINIDUMP_EXCEPTION_INFORMATION CCrashHandler::s_ExceptionInfo = {};
std::atomic<bool> CCrashHandler::s_bArmed{true};
std::atomic<bool> CCrashHandler::s_bWriteFullDump{true};

namespace {

using Vok::SignalSafe::CopyText;
using Vok::SignalSafe::ForEachMapping;
using Vok::SignalSafe::Format;
using Vok::SignalSafe::ReadSmallFile;
using Vok::SignalSafe::SafeRead;
using Vok::SignalSafe::sMapping;
using Vok::SignalSafe::WriteAll;

// ---- Prepared at install -------------------------------------------------------------------

struct sPrepared {
    char folder[PATH_MAX];        // the crash folder, file-system encoding
    char title[NAME_MAX + 1];     // the program's file name without its extension
    char systemText[512];         // the operating system's name and version
    long processors;
};

sPrepared g_prepared{};
std::once_flag g_prepareOnce;
std::atomic<bool> g_installed{false};
std::mutex g_installMutex;

int g_wakePipe[2] = {-1, -1};
int g_donePipe[2] = {-1, -1};
DWORD g_deadlineMs = 10000;
std::atomic<pid_t> g_faultOwner{0};
std::atomic<bool> g_terminating{false};

EXCEPTION_RECORD g_record;
CONTEXT g_context;
EXCEPTION_POINTERS g_pointers;

const int kFaultSignals[] = {SIGSEGV, SIGBUS, SIGFPE, SIGILL, SIGABRT};

std::string ProgramPathFs() {
    char path[PATH_MAX];
    const ssize_t n = ::readlink("/proc/self/exe", path, sizeof path - 1);
    return n > 0 ? std::string(path, static_cast<std::size_t>(n)) : std::string();
}

std::string ProgramFileNameFs() {
    const std::string path = ProgramPathFs();
    return path.substr(path.rfind('/') + 1);
}

std::string CrashFolderFs() {
    const std::string name = ProgramFileNameFs();
    return GetCrashDumpFolderOf(name.empty() ? "Unknown" : name);
}

void Prepare() {
    std::call_once(g_prepareOnce, [] {
        ::tzset();  // so that the report's local times load no zone data
        CopyText(g_prepared.folder, sizeof g_prepared.folder, CrashFolderFs().c_str());
        std::string title = Vok::FileNames::AnsiToFileSystem(GetModuleTitleOrUnknown(true).Str());
        CopyText(g_prepared.title, sizeof g_prepared.title, title.c_str());
        const std::string system =
            Vok::FileNames::AnsiToFileSystem(GetWindowsVersionText().Str());
        CopyText(g_prepared.systemText, sizeof g_prepared.systemText, system.c_str());
        g_prepared.processors = ::sysconf(_SC_NPROCESSORS_ONLN);
        Vok::SignalSafe::PrepareSafeRead();
    });
}

// ---- Report helpers [no heap] --------------------------------------------------------------

constexpr std::size_t kFlushAt = 7168;
char g_report[kFlushAt + 1024 + 1];
std::size_t g_pending = 0;

void FlushReport(int file) {
    if (g_pending > 0) WriteAll(file, g_report, g_pending);
    g_pending = 0;
}

// Program's full path, or "Unknown".
void ProgramPath(char* out, std::size_t size) {
    const ssize_t n = ::readlink("/proc/self/exe", out, size - 1);
    if (n <= 0) {
        CopyText(out, size, "Unknown");
        return;
    }
    out[n] = '\0';
}

FILETIME ToFileTime(int64_t seconds, int64_t nanoseconds) {
    const uint64_t ticks = static_cast<uint64_t>(seconds + 11644473600LL) * 10000000ULL +
                           static_cast<uint64_t>(nanoseconds / 100);
    return {static_cast<DWORD>(ticks), static_cast<DWORD>(ticks >> 32)};
}

void CrashTimeStamp(char* out, std::size_t size) {
    const time_t now = ::time(nullptr);
    tm local{};
    ::localtime_r(&now, &local);
    Format(out, size, "%04d%02d%02d-%02d%02d%02d", local.tm_year + 1900, local.tm_mon + 1,
               local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec);
}

// Creates every missing folder of path.
void MakeFolders(char* path) {
    for (char* p = path + 1;; ++p) {
        if (*p != '/' && *p != '\0') continue;
        const char saved = *p;
        *p = '\0';
        ::mkdir(path, 0777);
        *p = saved;
        if (saved == '\0') return;
    }
}

// Exclusive creation, so that no earlier report is replaced; on a name already taken the
// process id, then the process id and a number, go before the extension.
int CreateReportFile(const char* path) {
    const int flags = O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW;
    int fd = ::open(path, flags, 0600);
    char other[PATH_MAX + 32];
    const char* name = FindFileNamePart(path);
    const char* dot = std::strrchr(name, '.');
    const std::size_t stem = dot != nullptr ? static_cast<std::size_t>(dot - path) : std::strlen(path);
    if (stem >= PATH_MAX) return -1;
    std::memcpy(other, path, stem);
    const int pid = static_cast<int>(::getpid());
    for (int n = 1; fd < 0 && errno == EEXIST && n <= 1000; ++n) {
        if (n == 1) Format(other + stem, sizeof other - stem, "_%d%s", pid, dot != nullptr ? dot : "");
        else Format(other + stem, sizeof other - stem, "_%d_%d%s", pid, n, dot != nullptr ? dot : "");
        fd = ::open(other, flags, 0600);
    }
    return fd;
}

struct sMemory {
    uint64_t total, available, swapTotal, swapFree, processSize;  // bytes
};

// "Key:   1234 kB" of a /proc file, in bytes; 0 when absent.
uint64_t ProcValue(const char* text, const char* key) {
    const char* p = std::strstr(text, key);
    if (p == nullptr) return 0;
    p += std::strlen(key);
    while (*p == ' ' || *p == '\t') ++p;
    uint64_t v = 0;
    for (; *p >= '0' && *p <= '9'; ++p) v = v * 10 + static_cast<uint64_t>(*p - '0');
    return v * 1024;
}

sMemory ReadMemory() {
    char text[8192];
    sMemory m{};
    ReadSmallFile("/proc/meminfo", text, sizeof text);
    m.total = ProcValue(text, "MemTotal:");
    m.available = ProcValue(text, "MemAvailable:");
    m.swapTotal = ProcValue(text, "SwapTotal:");
    m.swapFree = ProcValue(text, "SwapFree:");
    ReadSmallFile("/proc/self/status", text, sizeof text);
    m.processSize = ProcValue(text, "VmSize:");
    return m;
}

const char* SignalName(int signal) {
    switch (signal) {
    case SIGSEGV: return "SIGSEGV";
    case SIGBUS: return "SIGBUS";
    case SIGFPE: return "SIGFPE";
    case SIGILL: return "SIGILL";
    case SIGABRT: return "SIGABRT";
    default: return "fatal";
    }
}

int MBytes(uint64_t bytes) {
    return static_cast<int>((bytes + 0xFFFFF) >> 20);
}

void WriteCrashReportTo(const char* path, EXCEPTION_POINTERS* pointers, const char* handlerName);
void FillContext(CONTEXT& out, const ucontext_t* uc);

// A dump that cannot be created is skipped without a word. Unlike the log, a dump is not synced:
// it can be large, and what was written survives the process in the page cache.
// Without a faulting thread's context, the calling thread is the dump's thread.
void WriteDumpFileTo(const char* path, const MINIDUMP_EXCEPTION_INFORMATION* info, bool full) {
    const int file = CreateReportFile(path);
    if (file < 0) return;
    if (info == nullptr || info->ExceptionPointers == nullptr || info->ExceptionPointers->ContextRecord == nullptr) {
        static ucontext_t caller;
        static CONTEXT context;
        static EXCEPTION_POINTERS pointers;
        static MINIDUMP_EXCEPTION_INFORMATION self;
        ::getcontext(&caller);
        FillContext(context, &caller);
        pointers = {nullptr, &context};
        self = {static_cast<DWORD>(::gettid()), &pointers, FALSE};
        info = &self;
    }
    WriteMinidump(file, info, full);
    ::close(file);
}

// ---- Keeping the newest reports [no heap] --------------------------------------------------

constexpr int kKeptReports = 10;

// The report that a file of the crash folder belongs to: the text between its kind's prefix and
// extension (the title, the stamp and what made the name free); null for any other file.
const char* ReportKey(const char* name, std::size_t& length) {
    static constexpr struct {
        const char* prefix;
        const char* extension;
    } kKinds[] = {{"MiniDump_", ".dmp"}, {"CrashLog_", ".txt"}, {"FullDump_", ".dmp"}};
    const std::size_t size = std::strlen(name);
    for (const auto& k : kKinds) {
        const std::size_t p = std::strlen(k.prefix);
        const std::size_t e = std::strlen(k.extension);
        if (size > p + e && std::strncmp(name, k.prefix, p) == 0 && std::strcmp(name + size - e, k.extension) == 0) {
            length = size - p - e;
            return name + p;
        }
    }
    return nullptr;
}

// Calls visit(name) for each entry of the open folder; readdir would take the heap.
template <typename Visit>
void ForEachEntry(int folder, Visit&& visit) {
    alignas(dirent64) static char buffer[16384];
    ::lseek(folder, 0, SEEK_SET);
    for (;;) {
        const ssize_t n = ::getdents64(folder, buffer, sizeof buffer);
        if (n <= 0) return;
        for (ssize_t at = 0; at < n; at += reinterpret_cast<const dirent64*>(buffer + at)->d_reclen)
            visit(reinterpret_cast<const dirent64*>(buffer + at)->d_name);
    }
}

// Whether name is a regular file of a report's name (not a link, a FIFO, a folder or any other
// name) last written before start; its report's key.
bool IsOldReportFile(int dir, const char* name, int64_t start, const char*& key, std::size_t& length,
                     int64_t& time) {
    key = ReportKey(name, length);
    struct stat st {};
    if (key == nullptr || ::fstatat(dir, name, &st, AT_SYMLINK_NOFOLLOW) != 0 || !S_ISREG(st.st_mode)) return false;
    // A stamp centuries away is held at its bound, so that the product stays within 64 bits.
    constexpr int64_t kBound = 9000000000;
    const int64_t seconds = st.st_mtim.tv_sec < -kBound ? -kBound : (st.st_mtim.tv_sec > kBound ? kBound : st.st_mtim.tv_sec);
    time = seconds * 1000000000 + st.st_mtim.tv_nsec;
    return time < start;
}

// Removes the files of every report of folder but the newest keep ones; a report is as new as
// its newest file. Only regular files written before the cleanup began count: other files, and
// the reports that other processes write meanwhile, stay.
void RemoveOldReports(const char* folder, int keep) {
    struct sReport {
        char key[NAME_MAX + 1];
        int64_t time;
    };
    static sReport newest[kKeptReports];
    int count = 0;
    auto find = [&](const char* key, std::size_t length) {
        for (int i = 0; i < count; ++i)
            if (std::strncmp(newest[i].key, key, length) == 0 && newest[i].key[length] == '\0') return i;
        return -1;
    };
    // The clock that stamps files: what is written from now on is not older than this.
    struct timespec now {};
    if (::clock_gettime(CLOCK_REALTIME_COARSE, &now) != 0) return;
    const int64_t start = static_cast<int64_t>(now.tv_sec) * 1000000000 + now.tv_nsec;
    const int dir = ::open(folder, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir < 0) return;
    ForEachEntry(dir, [&](const char* name) {
        std::size_t length = 0;
        const char* key = nullptr;
        int64_t time = 0;
        if (!IsOldReportFile(dir, name, start, key, length, time)) return;
        int i = find(key, length);
        if (i < 0 && count < keep) {
            i = count++;
            newest[i].time = INT64_MIN;
        } else if (i < 0) {
            int oldest = 0;
            for (int j = 1; j < count; ++j)
                if (newest[j].time < newest[oldest].time) oldest = j;
            if (time <= newest[oldest].time) return;
            i = oldest;
            newest[i].time = INT64_MIN;
        }
        if (newest[i].time == INT64_MIN) {
            std::memcpy(newest[i].key, key, length);
            newest[i].key[length] = '\0';
        }
        if (time > newest[i].time) newest[i].time = time;
    });
    ForEachEntry(dir, [&](const char* name) {
        std::size_t length = 0;
        const char* key = nullptr;
        int64_t time = 0;
        if (IsOldReportFile(dir, name, start, key, length, time) && find(key, length) < 0) ::unlinkat(dir, name, 0);
    });
    ::close(dir);
}

// ---- The fault path [signal-safe] ----------------------------------------------------------

bool NearStackPointer(uintptr_t address, uintptr_t sp) {
    constexpr uintptr_t kReach = 64 * 1024;
    return address + kReach >= sp && address <= sp + kReach;
}

void FillContext(CONTEXT& out, const ucontext_t* uc) {
    out = CONTEXT{};
#if defined(__x86_64__)
    if (uc == nullptr) return;
    const greg_t* r = uc->uc_mcontext.gregs;
    out.Rax = r[REG_RAX];
    out.Rbx = r[REG_RBX];
    out.Rcx = r[REG_RCX];
    out.Rdx = r[REG_RDX];
    out.Rsi = r[REG_RSI];
    out.Rdi = r[REG_RDI];
    out.Rbp = r[REG_RBP];
    out.Rsp = r[REG_RSP];
    out.Rip = r[REG_RIP];
    out.R8 = r[REG_R8];
    out.R9 = r[REG_R9];
    out.R10 = r[REG_R10];
    out.R11 = r[REG_R11];
    out.R12 = r[REG_R12];
    out.R13 = r[REG_R13];
    out.R14 = r[REG_R14];
    out.R15 = r[REG_R15];
    out.EFlags = static_cast<DWORD>(r[REG_EFL]);
    if (uc->uc_mcontext.fpregs != nullptr) {
        static_assert(sizeof(*uc->uc_mcontext.fpregs) == sizeof out.FloatSave);
        std::memcpy(out.FloatSave, uc->uc_mcontext.fpregs, sizeof out.FloatSave);
        out.FloatSaved = true;
    }
    const uint64_t segments = static_cast<uint64_t>(r[REG_CSGSFS]);  // cs, gs, fs, ss
    out.SegCs = static_cast<WORD>(segments);
    out.SegSs = static_cast<WORD>(segments >> 48);
#else
    (void)uc;
#endif
}

DWORD ExceptionCode(int signal, const siginfo_t* info) {
    const int code = info != nullptr ? info->si_code : 0;
    switch (signal) {
    case SIGSEGV: {
        const uintptr_t address = info != nullptr ? reinterpret_cast<uintptr_t>(info->si_addr) : 0;
        return code > 0 && NearStackPointer(address, g_context.Rsp) ? EXCEPTION_STACK_OVERFLOW
                                                                    : EXCEPTION_ACCESS_VIOLATION;
    }
    case SIGBUS: return code == BUS_ADRALN ? EXCEPTION_DATATYPE_MISALIGNMENT : EXCEPTION_IN_PAGE_ERROR;
    case SIGILL:
        return code == ILL_PRVOPC || code == ILL_PRVREG ? EXCEPTION_PRIV_INSTRUCTION
                                                        : EXCEPTION_ILLEGAL_INSTRUCTION;
    case SIGFPE:
        switch (code) {
        case FPE_INTOVF: return EXCEPTION_INT_OVERFLOW;
        case FPE_FLTDIV: return EXCEPTION_FLT_DIVIDE_BY_ZERO;
        case FPE_FLTOVF: return EXCEPTION_FLT_OVERFLOW;
        case FPE_FLTUND: return EXCEPTION_FLT_UNDERFLOW;
        case FPE_FLTRES: return EXCEPTION_FLT_INEXACT_RESULT;
        case FPE_FLTINV: return EXCEPTION_FLT_INVALID_OPERATION;
        case FPE_FLTSUB: return EXCEPTION_ARRAY_BOUNDS_EXCEEDED;
        default: return EXCEPTION_INT_DIVIDE_BY_ZERO;
        }
    default: return g_terminating.load() ? EXCEPTION_CPP : STATUS_FATAL_APP_EXIT;
    }
}

void FillRecord(int signal, const siginfo_t* info, const ucontext_t* uc) {
    g_record = EXCEPTION_RECORD{};
    g_record.ExceptionCode = ExceptionCode(signal, info);
    g_record.ExceptionAddress = reinterpret_cast<void*>(g_context.Rip);
    g_record.Signal = signal;
    if (info != nullptr) {
        g_record.SignalCode = info->si_code;
        if (info->si_code <= 0) g_record.SenderPid = info->si_pid;
        else if (signal == SIGSEGV || signal == SIGBUS) g_record.FaultAddress = reinterpret_cast<uintptr_t>(info->si_addr);
    }
    // Only a fault that the kernel raised has an address; a signal that was sent has none.
    if (g_record.ExceptionCode != EXCEPTION_ACCESS_VIOLATION || info == nullptr || info->si_code <= 0)
        return;
    g_record.NumberParameters = 2;
    g_record.ExceptionInformation[1] = reinterpret_cast<uintptr_t>(info->si_addr);
#if defined(__x86_64__)
    constexpr greg_t kWriteFault = 2;  // bit of the page-fault error code
    if (uc != nullptr && (uc->uc_mcontext.gregs[REG_ERR] & kWriteFault) != 0)
        g_record.ExceptionInformation[0] = 1;
#else
    (void)uc;
#endif
}

[[noreturn]] void OnFatalSignal(int signal, siginfo_t* info, void* uc) {
    const pid_t self = ::gettid();
    pid_t owner = 0;
    if (!g_faultOwner.compare_exchange_strong(owner, self)) {
        // A fault inside this handler ends the process at once; a fault of another thread waits
        // here for the first one's report and exit.
        if (owner == self) ::_exit(128 + signal);
        for (;;) ::pause();
    }
    const auto* context = static_cast<const ucontext_t*>(uc);
    FillContext(g_context, context);
    FillRecord(signal, info, context);
    g_pointers = {&g_record, &g_context};
    CrashExceptionFilter(&g_pointers);
    // As a shell reports a death by signal.
    ::_exit(128 + signal);
}

[[noreturn]] void OnTerminate() {
    g_terminating = true;
    std::abort();
}

void ReportThread() {
    char c;
    for (;;) {
        const ssize_t n = ::read(g_wakePipe[0], &c, 1);
        if (n == 1) break;
        if (n < 0 && errno == EINTR) continue;
        return;
    }
    CCrashHandler::Handle(CCrashHandler::s_ExceptionInfo.ExceptionPointers);
    WriteAll(g_donePipe[1], "x", 1);
}

int64_t MonotonicMs() {
    timespec now{};
    ::clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<int64_t>(now.tv_sec) * 1000 + now.tv_nsec / 1000000;
}

bool StartReportThread() {
    // The thread takes no signal: one sent to the process must reach a thread that can wait for
    // the report. Its own fault, which it cannot report, ends the process by the signal's default.
    sigset_t all;
    sigset_t previous;
    ::sigfillset(&all);
    ::pthread_sigmask(SIG_BLOCK, &all, &previous);
    bool started = true;
    try {
        std::thread(ReportThread).detach();
    } catch (const std::system_error&) {
        started = false;
    }
    ::pthread_sigmask(SIG_SETMASK, &previous, nullptr);
    return started;
}

bool SetAlternateStack() {
    constexpr std::size_t kSize = 128 * 1024;
    void* stack = ::mmap(nullptr, kSize, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (stack == MAP_FAILED) return false;
    stack_t s{};
    s.ss_sp = stack;
    s.ss_size = kSize;
    if (::sigaltstack(&s, nullptr) == 0) return true;
    ::munmap(stack, kSize);
    return false;
}

}  // namespace

// ---- Public operations ---------------------------------------------------------------------

const char* GetExceptionDescription(DWORD code) {
    static constexpr struct {
        DWORD code;
        const char* text;
    } kTexts[] = {
        {0x40010005, "a Control-C"},
        {0x40010008, "a Control-Break"},
        {0x40000015, "an Abort"},
        {0x80000002, "a Datatype Misalignment"},
        {0x80000003, "a Breakpoint"},
        {0xC0000005, "an Access Violation"},
        {0xC0000006, "an In Page Error"},
        {0xC0000017, "a No Memory"},
        {0xC000001D, "an Illegal Instruction"},
        {0xC0000025, "a Noncontinuable Exception"},
        {0xC0000026, "an Invalid Disposition"},
        {0xC000008C, "a Array Bounds Exceeded"},
        {0xC000008D, "a Float Denormal Operand"},
        {0xC000008E, "a Float Divide by Zero"},
        {0xC000008F, "a Float Inexact Result"},
        {0xC0000090, "a Float Invalid Operation"},
        {0xC0000091, "a Float Overflow"},
        {0xC0000092, "a Float Stack Check"},
        {0xC0000093, "a Float Underflow"},
        {0xC0000094, "an Integer Divide by Zero"},
        {0xC0000095, "an Integer Overflow"},
        {0xC0000096, "a Privileged Instruction"},
        {0xC00000FD, "a Stack Overflow"},
        {0xC0000142, "a DLL Initialization Failed"},
        {0xE06D7363, "a Microsoft C++ Exception"},
    };
    for (const auto& t : kTexts)
        if (t.code == code) return t.text;
    return "an Unknown exception type";
}

LONG CrashExceptionFilter(EXCEPTION_POINTERS* pointers) {
    if (pointers != nullptr && pointers->ExceptionRecord != nullptr &&
        pointers->ExceptionRecord->ExceptionCode == EXCEPTION_STACK_OVERFLOW)
        OutputDebugStringA("A stack overflow occurred\n");
    CCrashHandler::s_ExceptionInfo = {static_cast<DWORD>(::gettid()), pointers, FALSE};
    if (!g_installed.load()) return 0;
    // Creating a thread here is not safe; the report thread waits for this byte.
    WriteAll(g_wakePipe[1], "x", 1);
    const int64_t deadline = MonotonicMs() + g_deadlineMs;
    for (;;) {
        const int64_t left = deadline - MonotonicMs();
        if (left <= 0) break;
        pollfd done{g_donePipe[0], POLLIN, 0};
        const int n = ::poll(&done, 1, static_cast<int>(left));
        if (n != 0 && !(n < 0 && errno == EINTR)) break;
    }
    return 0;
}

bool CCrashHandler::Install(DWORD reportDeadlineMs) {
    std::lock_guard<std::mutex> lock(g_installMutex);
    if (g_installed.load()) return true;
    Prepare();
    g_deadlineMs = reportDeadlineMs;
    if (g_wakePipe[0] < 0 && ::pipe2(g_wakePipe, O_CLOEXEC) != 0) return false;
    if (g_donePipe[0] < 0 && ::pipe2(g_donePipe, O_CLOEXEC) != 0) return false;
    if (!SetAlternateStack() || !StartReportThread()) return false;
    struct sigaction action{};
    action.sa_sigaction = OnFatalSignal;
    action.sa_flags = SA_SIGINFO | SA_ONSTACK;
    ::sigemptyset(&action.sa_mask);
    for (const int s : kFaultSignals)
        if (::sigaction(s, &action, nullptr) != 0) return false;
    // A shared file cut short by another process is no crash of ours: that guard stays in front.
    Vok::MappingGuard::Install();
    std::set_terminate(OnTerminate);
    g_installed = true;
    return true;
}

DWORD CCrashHandler::Handle(EXCEPTION_POINTERS* pointers) {
    if (!s_bArmed.exchange(false)) return 0;
    Prepare();
    char folder[PATH_MAX];
    CopyText(folder, sizeof folder, g_prepared.folder);
    if (folder[0] == '\0') return 0;
    MakeFolders(folder);
    // With the one about to be written, the newest ten.
    RemoveOldReports(folder, kKeptReports - 1);
    char stamp[32];
    CrashTimeStamp(stamp, sizeof stamp);
    char path[PATH_MAX];
    const MINIDUMP_EXCEPTION_INFORMATION* info = pointers != nullptr ? &s_ExceptionInfo : nullptr;
    Format(path, sizeof path, "%s/MiniDump_%s_%s.dmp", folder, g_prepared.title, stamp);
    WriteDumpFileTo(path, info, false);
    Format(path, sizeof path, "%s/CrashLog_%s_%s.txt", folder, g_prepared.title, stamp);
    WriteCrashReportTo(path, pointers, "CCrashHandler::Handle");
    if (s_bWriteFullDump.load()) {
        Format(path, sizeof path, "%s/FullDump_%s_%s.dmp", folder, g_prepared.title, stamp);
        WriteDumpFileTo(path, info, true);
    }
    return 0;
}

// ---- The report [no heap] ------------------------------------------------------------------

int ReportPrintf(int file, const char* format, ...) {
    if (g_pending > kFlushAt) FlushReport(file);
    va_list args;
    va_start(args, format);
    const std::size_t room = sizeof g_report - g_pending;
    const std::size_t n = Vok::SignalSafe::FormatV(g_report + g_pending, room < 1025 ? room : 1025, format, args);
    va_end(args);
    g_pending += n;
    return static_cast<int>(n);
}

void FormatFileTimeText(char* out, std::size_t size, const FILETIME& utc) {
    if (out == nullptr || size == 0) return;
    out[0] = '\0';
    const uint64_t ticks = (static_cast<uint64_t>(utc.dwHighDateTime) << 32) | utc.dwLowDateTime;
    const time_t seconds = static_cast<time_t>(ticks / 10000000ULL) - 11644473600LL;
    tm local{};
    if (::localtime_r(&seconds, &local) == nullptr) return;
    const int year = local.tm_year + 1900;
    if (year < 1980 || year > 2107) return;  // what a DOS date can hold
    Format(out, size, "%d/%d/%d %02d:%02d:%02d", local.tm_mon + 1, local.tm_mday, year,
               local.tm_hour, local.tm_min, local.tm_sec & ~1);
}

CString GetCrashTimeStamp() {
    char stamp[32];
    CrashTimeStamp(stamp, sizeof stamp);
    return stamp;
}

const char* FindFileNamePart(const char* path) {
    const char* slash = std::strrchr(path, '/');
    return slash != nullptr ? slash + 1 : path;
}

CString GetModuleTitleOrUnknown(bool stripExtension) {
    CString title = GetModuleFileTitle(true);
    if (stripExtension) title = RemoveExtension(title);
    return title.IsEmpty() ? CString("Unknown") : title;
}

std::string GetCrashDumpFolderOf(const std::string& programFileName) {
    const std::string base = Vok::GetLocalAppDataPath();
    return base.empty() ? std::string() : base + "/VOK/CrashDumps/" + programFileName;
}

CString GetCrashDumpFolder(bool create) {
    const std::string folder = CrashFolderFs();
    if (create) {
        CString made;
        GetSpecialFolderPath(CSIDL_LOCAL_APPDATA,
                             CString("VOK/CrashDumps/") + GetModuleTitleOrUnknown(false), made, true);
    }
    return CString(Vok::FileNames::FileSystemToAnsi(folder).c_str());
}

void WriteSystemInfo(int file) {
    timespec now{};
    ::clock_gettime(CLOCK_REALTIME, &now);
    char text[64];
    FormatFileTimeText(text, sizeof text, ToFileTime(now.tv_sec, now.tv_nsec));
    ReportPrintf(file, "Error occurred at %s.\r\n", text);
    char path[PATH_MAX];
    ProgramPath(path, sizeof path);
    ReportPrintf(file, "%s \r\n", path);
    ReportPrintf(file, "Operating system:  %s.\r\n",
                 g_prepared.systemText[0] != '\0' ? g_prepared.systemText : "Unknown");
#if defined(__x86_64__)
    constexpr int kProcessorType = 8664;  // PROCESSOR_AMD_X8664
#else
    constexpr int kProcessorType = 0;
#endif
    ReportPrintf(file, "%d processor(s), type %d.\r\n", static_cast<int>(g_prepared.processors),
                 kProcessorType);
    const sMemory m = ReadMemory();
    // The user part of a 47-bit address space.
    constexpr uint64_t kAddressSpace = (uint64_t{1} << 47) - 4096;
    const uint64_t used = m.total > m.available ? m.total - m.available : 0;
    ReportPrintf(file, "%d%% memory in use.\r\n", m.total > 0 ? static_cast<int>(used * 100 / m.total) : 0);
    ReportPrintf(file, "%d MBytes physical memory.\r\n", MBytes(m.total));
    ReportPrintf(file, "%d MBytes physical memory free.\r\n", MBytes(m.available));
    ReportPrintf(file, "%d MBytes paging file.\r\n", MBytes(m.swapTotal));
    ReportPrintf(file, "%d MBytes paging file free.\r\n", MBytes(m.swapFree));
    ReportPrintf(file, "%d MBytes user address space.\r\n", MBytes(kAddressSpace));
    ReportPrintf(file, "%d MBytes user address space free.\r\n",
                 MBytes(kAddressSpace > m.processSize ? kAddressSpace - m.processSize : 0));
}

void WriteStackDump(int file, uintptr_t sp) {
    ReportPrintf(file, "\r\n\r\nStack:\r\n");
    // The stack's own mapping bounds the walk, as the thread's stack base would. After a stack
    // overflow the pointer lies below that mapping: the walk starts where its words begin.
    constexpr uintptr_t kReach = 0x3000;
    uintptr_t top = sp + kReach;
    ForEachMapping([&](const sMapping& m) {
        if (m.end <= sp) return true;
        if (m.start > sp && m.start - sp < kReach) {
            sp = m.start;
            top = sp + kReach;
        }
        if (m.start <= sp && m.end < top) top = m.end;
        return false;
    });
    uint32_t line[4];
    unsigned words = 0;  // on the current line
    unsigned long total = 0;
    for (uintptr_t p = sp; p + 4 <= top; p += 4) {
        uint32_t word;
        if (!SafeRead(p, &word, sizeof word)) {
            ReportPrintf(file, "Exception encountered during stack dump.\r\n");
            return;
        }
        if (total % 4 == 0) {
            words = 0;
            ReportPrintf(file, "0x%08lx: ", static_cast<unsigned long>(p));
        }
        ++total;
        ReportPrintf(file, "%08x ", word);
        line[words++] = word;
        if (total % 4 != 0 && p + 8 <= top) continue;
        for (unsigned i = words; i < 4; ++i) ReportPrintf(file, "         ");
        for (unsigned i = 0; i < words; ++i)
            for (int b = 0; b < 4; ++b) {
                const unsigned char c = static_cast<unsigned char>(line[i] >> (8 * b));
                ReportPrintf(file, "%c", c >= 0x20 && c <= 0x7E ? c : '.');
            }
        ReportPrintf(file, "\r\n");
    }
    ReportPrintf(file, "\r\n");
}

bool WriteModuleReport(int file, uintptr_t base, int moduleNumber) {
    char path[PATH_MAX + 256];
    CopyText(path, sizeof path, "");
    ForEachMapping([&](const sMapping& m) {
        if (m.start < base) return true;
        if (m.start == base && m.offset == 0 && m.path[0] == '/') CopyText(path, sizeof path, m.path);
        return false;
    });
    if (path[0] == '\0') return false;
    Elf64_Ehdr header;
    if (!SafeRead(base, &header, sizeof header) || std::memcmp(header.e_ident, ELFMAG, SELFMAG) != 0 ||
        header.e_ident[EI_CLASS] != ELFCLASS64)
        return false;
    // The image's own (preferred) base and extent: its loadable segments.
    uint64_t low = UINT64_MAX;
    uint64_t high = 0;
    for (unsigned i = 0; i < header.e_phnum; ++i) {
        Elf64_Phdr segment;
        if (!SafeRead(base + header.e_phoff + i * static_cast<uint64_t>(header.e_phentsize), &segment,
                      sizeof segment))
            return false;
        if (segment.p_type != PT_LOAD) continue;
        if (segment.p_vaddr < low) low = segment.p_vaddr;
        if (segment.p_vaddr + segment.p_memsz > high) high = segment.p_vaddr + segment.p_memsz;
    }
    if (low > high) low = high = 0;
    low &= ~uint64_t{0xFFF};
    high = (high + 0xFFF) & ~uint64_t{0xFFF};
    struct stat st {};
    long long size = 0;
    char time[64] = "";
    uint32_t stamp = 0;
    if (::stat(path, &st) == 0) {
        size = st.st_size;
        stamp = static_cast<uint32_t>(st.st_mtim.tv_sec);
        FormatFileTimeText(time, sizeof time, ToFileTime(st.st_mtim.tv_sec, st.st_mtim.tv_nsec));
    }
    ReportPrintf(file, "Module %d\r\n", moduleNumber);
    ReportPrintf(file, "%s\r\n", path);
    ReportPrintf(file, "Image Base: 0x%08lx  Image Size: 0x%08lx\r\n", static_cast<unsigned long>(low),
                 static_cast<unsigned long>(high - low));
    // ELF images carry no checksum; the file's modification time stands for the link time.
    ReportPrintf(file, "Checksum:   0x%08x  Time Stamp: 0x%08x\r\n", 0u, stamp);
    ReportPrintf(file, "File Size:  %-10lld  File Time:  %s\r\n", size, time);
    ReportPrintf(file, "Version Information:\r\n");
    const CModuleVersionInfo info(path);
    char text[199];
    info.GetCompanyName(text, sizeof text);
    ReportPrintf(file, "   Company:    %s\r\n", text);
    info.GetProductName(text, sizeof text);
    ReportPrintf(file, "   Product:    %s\r\n", text);
    info.GetFileDescription(text, sizeof text);
    ReportPrintf(file, "   FileDesc:   %s\r\n", text);
    WORD v[4];
    info.GetFileVersion(v);
    ReportPrintf(file, "   FileVer:    %d.%d.%d.%d\r\n", v[0], v[1], v[2], v[3]);
    info.GetProductVersion(v);
    ReportPrintf(file, "   ProdVer:    %d.%d.%d.%d\r\n", v[0], v[1], v[2], v[3]);
    ReportPrintf(file, "\r\n");
    return true;
}

namespace {

void WriteCrashReportTo(const char* path, EXCEPTION_POINTERS* pointers, const char* handlerName) {
    const int file = CreateReportFile(path);
    if (file < 0) {
        OutputDebugStringA("Error creating exception report\r\n");
        return;
    }
    g_pending = 0;
    const EXCEPTION_RECORD* record = pointers != nullptr ? pointers->ExceptionRecord : nullptr;
    const CONTEXT* context = pointers != nullptr ? pointers->ContextRecord : nullptr;
    const uintptr_t ip = context != nullptr ? context->Rip : 0;
    if (record != nullptr) {
        char program[PATH_MAX];
        ProgramPath(program, sizeof program);
        char module[PATH_MAX + 256];
        Vok::SignalSafe::FindMappedFile(ip, module, sizeof module);
        char sent[128];
        const char* description = GetExceptionDescription(record->ExceptionCode);
        // What another process sends is no fault of this one, wherever the thread happened to be.
        if (record->Signal != 0 && record->SignalCode <= 0 && record->SenderPid != ::getpid()) {
            Format(sent, sizeof sent, "a %s signal sent by another process (pid %d)", SignalName(record->Signal),
                   static_cast<int>(record->SenderPid));
            description = sent;
        }
        ReportPrintf(file, "%s caused %s (0x%08x) \r\nin module %s at %04x:%08lx.\r\n\r\n",
                     FindFileNamePart(program), description,
                     record->ExceptionCode, module[0] != '\0' ? FindFileNamePart(module) : "Unknown",
                     context != nullptr ? context->SegCs : 0, static_cast<unsigned long>(ip));
    }
    ReportPrintf(file, "Exception handler called in %s.\r\n", handlerName);
    WriteSystemInfo(file);
    if (record != nullptr && record->ExceptionCode == EXCEPTION_ACCESS_VIOLATION &&
        record->NumberParameters >= 2)
        ReportPrintf(file, "%s location %08lx caused an access violation.\r\n",
                     record->ExceptionInformation[0] != 0 ? "Write to" : "Read from",
                     static_cast<unsigned long>(record->ExceptionInformation[1]));
    if (context != nullptr) {
        ReportPrintf(file, "\r\nContext:\r\n");
        ReportPrintf(file, "RDI:    0x%016lx  RSI: 0x%016lx  RAX:   0x%016lx\r\n", context->Rdi,
                     context->Rsi, context->Rax);
        ReportPrintf(file, "RBX:    0x%016lx  RCX: 0x%016lx  RDX:   0x%016lx\r\n", context->Rbx,
                     context->Rcx, context->Rdx);
        ReportPrintf(file, "RIP:    0x%016lx  RBP: 0x%016lx  SegCs: 0x%08x\r\n", context->Rip,
                     context->Rbp, context->SegCs);
        ReportPrintf(file, "EFlags: 0x%08x  RSP: 0x%016lx  SegSs: 0x%08x\r\n", context->EFlags,
                     context->Rsp, context->SegSs);
        ReportPrintf(file, "\r\nBytes at CS:RIP:\r\n");
        for (uintptr_t p = ip; p < ip + 16; ++p) {
            unsigned char byte;
            if (SafeRead(p, &byte, 1)) ReportPrintf(file, "%02x ", byte);
            else ReportPrintf(file, "?? ");
        }
        WriteStackDump(file, context->Rsp);
    }
    uintptr_t lastBase = 0;
    int module = 1;
    ForEachMapping([&](const sMapping& m) {
        if (m.offset == 0 && m.path[0] == '/' && m.start > lastBase) {
            lastBase = m.start;
            if (WriteModuleReport(file, m.start, module)) ++module;
        }
        return true;
    });
    ReportPrintf(file, "\r\n===== [end of %s] =====\r\n", "crash log");
    FlushReport(file);
    ::fsync(file);
    ::close(file);
}

}  // namespace

void WriteDumpFile(const CString& path, int exceptionFlag, bool full) {
    Prepare();
    WriteDumpFileTo(Vok::FileNames::AnsiToFileSystem(path.Str()).c_str(),
                    exceptionFlag != 0 ? &CCrashHandler::s_ExceptionInfo : nullptr, full);
}

LONG WriteCrashReport(const CString& path, EXCEPTION_POINTERS* pointers, const char* handlerName) {
    Prepare();
    WriteCrashReportTo(Vok::FileNames::AnsiToFileSystem(path.Str()).c_str(), pointers,
                       handlerName != nullptr ? handlerName : "");
    return 0;
}
