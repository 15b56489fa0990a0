#include "platform/process_launch.h"

#include <fcntl.h>
#include <linux/close_range.h>
#include <poll.h>
#include <signal.h>
#include <sys/eventfd.h>
#include <sys/syscall.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <deque>
#include <functional>
#include <future>
#include <mutex>
#include <system_error>
#include <thread>

#include "platform/posix_call.h"

extern char** environ;

namespace Vok::Process {

namespace {

using Clock = std::chrono::steady_clock;

// Called through syscall: the C library's declarations of these lack C linkage for C++.
int PidFdOpen(pid_t pid) { return static_cast<int>(::syscall(SYS_pidfd_open, pid, 0)); }
int PidFdSendSignal(int pidFd, int signal) {
    return static_cast<int>(::syscall(SYS_pidfd_send_signal, pidFd, signal, nullptr, 0));
}

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

// Everything the child needs, built before fork: between fork and execve the child of a
// multi-threaded process may only make async-signal-safe calls, so it must not allocate.
struct sChildPlan {
    std::string path;
    std::vector<std::string> arguments;
    std::vector<std::string> environment;
    std::vector<char*> argv;
    std::vector<char*> envp;
    std::string workingFolder;
    int stdio[3] = {-1, -1, -1};
    bool setNice = false;
    int nice = 0;
    pid_t parent = 0;

    void Seal() {
        for (std::string& a : arguments) argv.push_back(a.data());
        argv.push_back(nullptr);
        for (std::string& e : environment) envp.push_back(e.data());
        envp.push_back(nullptr);
    }
};

struct sLaunchResult {
    pid_t pid = 0;
    int pidFd = -1;
    int error = 0;
};

// Async-signal-safe: tells the parent errno and ends the child.
[[noreturn]] void FailChild(int errorPipe) {
    const int error = errno;
    (void)!::write(errorPipe, &error, sizeof error);
    ::_exit(127);
}

// Async-signal-safe: runs in the child between fork and execve.
[[noreturn]] void ExecChild(const sChildPlan& plan, int errorPipe) {
    auto fail = [errorPipe]() { FailChild(errorPipe); };
    // Ignored signals would stay ignored across execve; the launcher thread blocks every signal.
    struct sigaction defaultAction {};
    defaultAction.sa_handler = SIG_DFL;
    for (int sig = 1; sig < NSIG; ++sig) ::sigaction(sig, &defaultAction, nullptr);
    sigset_t none;
    ::sigemptyset(&none);
    ::sigprocmask(SIG_SETMASK, &none, nullptr);

    ::setpgid(0, 0);
    // The death signal follows the thread that forked, which lives as long as this process. The
    // parent may have ended before the signal was armed: then nobody would send it.
    if (::prctl(PR_SET_PDEATHSIG, SIGKILL) != 0) fail();
    if (::getppid() != plan.parent) ::_exit(127);

    // Moved above 2 first, so that one target can never overwrite another's source.
    int moved[3] = {-1, -1, -1};
    for (int i = 0; i < 3; ++i)
        if (plan.stdio[i] >= 0 && (moved[i] = ::fcntl(plan.stdio[i], F_DUPFD_CLOEXEC, 3)) < 0) fail();
    for (int i = 0; i < 3; ++i)
        if (moved[i] >= 0 && ::dup2(moved[i], i) < 0) fail();
    // No other descriptor of the host reaches the child (the error pipe closes on exec as well).
    ::close_range(3, ~0U, CLOSE_RANGE_CLOEXEC);

    if (plan.setNice) ::setpriority(PRIO_PROCESS, 0, plan.nice);
    if (!plan.workingFolder.empty() && ::chdir(plan.workingFolder.c_str()) != 0) fail();
    ::execve(plan.path.c_str(), plan.argv.data(), plan.envp.data());
    FailChild(errorPipe);
}

sLaunchResult ForkExec(const sChildPlan& plan) {
    sLaunchResult result;
    int pipeFds[2];
    if (::pipe2(pipeFds, O_CLOEXEC) != 0) return {0, -1, errno};
    Posix::CUniqueFd readEnd(pipeFds[0]);
    Posix::CUniqueFd writeEnd(pipeFds[1]);

    const pid_t pid = ::fork();
    if (pid < 0) return {0, -1, errno};
    if (pid == 0) ExecChild(plan, writeEnd.Get());

    writeEnd.Reset();
    ::setpgid(pid, pid);  // also here, so that the group exists when Launch returns
    int childError = 0;
    const auto got = Posix::Call(::read, readEnd.Get(), &childError, sizeof childError);
    if (got && got.value == static_cast<ssize_t>(sizeof childError)) {
        int status = 0;
        Posix::Call(::waitpid, pid, &status, 0);
        return {0, -1, childError};
    }
    // A child that is not reaped keeps its pid, so the pidfd cannot name another process.
    const int fd = PidFdOpen(pid);
    if (fd < 0) {
        const int error = errno;
        ::kill(pid, SIGKILL);
        int status = 0;
        Posix::Call(::waitpid, pid, &status, 0);
        return {0, -1, error};
    }
    result.pid = pid;
    result.pidFd = fd;
    return result;
}

// A thread that lives as long as the process: it forks every child, so that PR_SET_PDEATHSIG
// (which fires when the forking thread ends, not the process) kills children only when the process
// itself ends. It also reaps the children that their owners let go.
class CLauncher {
public:
    static CLauncher* Get() {
        static std::mutex creation;
        static CLauncher* instance = nullptr;  // never destroyed: it must outlive every caller
        std::lock_guard<std::mutex> guard(creation);
        if (instance == nullptr) {
            try {
                instance = new CLauncher();
            } catch (const std::exception&) {
                return nullptr;  // a later call tries again
            }
        }
        return instance;
    }

    sLaunchResult Launch(const sChildPlan& plan) {
        std::promise<sLaunchResult> done;
        std::future<sLaunchResult> result = done.get_future();
        Post([&plan, &done] { done.set_value(ForkExec(plan)); });
        return result.get();
    }

    void Adopt(pid_t pid, int pidFd) {
        {
            std::lock_guard<std::mutex> guard(m_mutex);
            m_adopted.push_back({pid, pidFd});
        }
        Wake();
    }

private:
    struct sAdopted {
        pid_t pid;
        int pidFd;
    };

    CLauncher() {
        m_wake = ::eventfd(0, EFD_CLOEXEC);
        if (m_wake < 0) throw std::system_error(errno, std::generic_category(), "eventfd");
        // The thread takes no signal meant for the process's other threads.
        sigset_t all;
        sigset_t previous;
        ::sigfillset(&all);
        ::pthread_sigmask(SIG_SETMASK, &all, &previous);
        try {
            std::thread(&CLauncher::Loop, this).detach();
        } catch (...) {
            ::pthread_sigmask(SIG_SETMASK, &previous, nullptr);
            ::close(m_wake);
            throw;
        }
        ::pthread_sigmask(SIG_SETMASK, &previous, nullptr);
    }

    void Post(std::function<void()> task) {
        {
            std::lock_guard<std::mutex> guard(m_mutex);
            m_tasks.push_back(std::move(task));
        }
        Wake();
    }

    void Wake() {
        const uint64_t one = 1;
        Posix::Call(::write, m_wake, &one, sizeof one);
    }

    [[noreturn]] void Loop() {
        std::vector<pollfd> fds;
        for (;;) {
            std::vector<sAdopted> adopted;
            {
                std::lock_guard<std::mutex> guard(m_mutex);
                adopted = m_adopted;
            }
            fds.assign(1, pollfd{m_wake, POLLIN, 0});
            for (const sAdopted& a : adopted) fds.push_back({a.pidFd, POLLIN, 0});
            if (::poll(fds.data(), fds.size(), -1) < 0) continue;

            if (fds[0].revents != 0) {
                uint64_t count = 0;
                Posix::Call(::read, m_wake, &count, sizeof count);
                std::deque<std::function<void()>> tasks;
                {
                    std::lock_guard<std::mutex> guard(m_mutex);
                    tasks.swap(m_tasks);
                }
                for (auto& task : tasks) task();
            }
            for (size_t i = 1; i < fds.size(); ++i) {
                if (fds[i].revents == 0) continue;
                siginfo_t info{};
                const auto r = Posix::Call(::waitid, P_PIDFD, static_cast<id_t>(fds[i].fd), &info, WEXITED | WNOHANG);
                if (r && info.si_pid == 0) continue;  // not ended after all
                std::lock_guard<std::mutex> guard(m_mutex);
                for (auto it = m_adopted.begin(); it != m_adopted.end(); ++it) {
                    if (it->pidFd == fds[i].fd) {
                        ::close(it->pidFd);
                        m_adopted.erase(it);
                        break;
                    }
                }
            }
        }
    }

    std::mutex m_mutex;
    std::deque<std::function<void()>> m_tasks;
    std::vector<sAdopted> m_adopted;
    int m_wake = -1;
};

int ExitCode(const siginfo_t& info) {
    if (info.si_code == CLD_EXITED) return info.si_status;
    return 128 + info.si_status;
}

}  // namespace

std::vector<std::string> SplitCommandLine(const std::string& text) {
    std::vector<std::string> arguments;
    std::string current;
    bool inArgument = false;
    bool quoted = false;
    for (size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '\\' && i + 1 < text.size() && text[i + 1] == '"') {
            current += '"';
            inArgument = true;
            ++i;
        } else if (c == '"') {
            quoted = !quoted;
            inArgument = true;
        } else if (IsBlank(c) && !quoted) {
            if (inArgument) arguments.push_back(current);
            current.clear();
            inArgument = false;
        } else {
            current += c;
            inArgument = true;
        }
    }
    if (inArgument) arguments.push_back(current);
    return arguments;
}

std::string QuoteArgument(const std::string& argument) {
    if (!argument.empty() && argument.find_first_of(" \t\"") == std::string::npos) return argument;
    // Trailing backslashes go after the closing quote: inside it the last would escape that quote.
    const size_t bodyEnd = argument.find_last_not_of('\\') + 1;
    std::string out = "\"";
    for (size_t i = 0; i < bodyEnd; ++i) {
        if (argument[i] == '"') out += '\\';
        out += argument[i];
    }
    out += '"';
    out.append(argument, bodyEnd, std::string::npos);
    return out;
}

std::string JoinCommandLine(const std::vector<std::string>& arguments) {
    std::string out;
    for (const std::string& a : arguments) {
        if (!out.empty()) out += ' ';
        out += QuoteArgument(a);
    }
    return out;
}

std::vector<std::string> EnvironmentWith(const std::string& name, const std::string& value) {
    std::vector<std::string> out;
    const std::string key = name + "=";
    bool replaced = false;
    for (char** entry = environ; entry != nullptr && *entry != nullptr; ++entry) {
        std::string text(*entry);
        if (text.compare(0, key.size(), key) == 0) {
            if (replaced) continue;
            text = key + value;
            replaced = true;
        }
        out.push_back(std::move(text));
    }
    if (!replaced) out.push_back(key + value);
    return out;
}

std::optional<std::string> FindInEnvironment(const std::vector<std::string>& environment, const std::string& name) {
    const std::string key = name + "=";
    for (const std::string& entry : environment)
        if (entry.compare(0, key.size(), key) == 0) return entry.substr(key.size());
    return std::nullopt;
}

std::string FindProgram(const std::string& program, const std::string& pathVariable) {
    if (program.empty()) return {};
    if (program.find('/') != std::string::npos) return program;
    size_t start = 0;
    for (;;) {
        const size_t end = pathVariable.find(':', start);
        std::string folder = pathVariable.substr(start, end == std::string::npos ? std::string::npos : end - start);
        const std::string candidate = folder.empty() ? program : folder + "/" + program;
        struct stat st {};
        if (::stat(candidate.c_str(), &st) == 0 && S_ISREG(st.st_mode) && ::access(candidate.c_str(), X_OK) == 0)
            return folder.empty() ? "./" + program : candidate;
        if (end == std::string::npos) return {};
        start = end + 1;
    }
}

CProcess::CProcess(CProcess&& other) noexcept
    : m_pid(std::exchange(other.m_pid, 0)), m_pidFd(std::exchange(other.m_pidFd, -1)),
      m_exitCode(std::exchange(other.m_exitCode, std::nullopt)) {}

CProcess& CProcess::operator=(CProcess&& other) noexcept {
    if (this != &other) {
        Release();
        m_pid = std::exchange(other.m_pid, 0);
        m_pidFd = std::exchange(other.m_pidFd, -1);
        m_exitCode = std::exchange(other.m_exitCode, std::nullopt);
    }
    return *this;
}

std::optional<int> CProcess::Wait(DWORD timeoutMs) {
    if (!m_exitCode && m_pidFd >= 0) m_exitCode = WaitForExit(m_pidFd, timeoutMs);
    return m_exitCode;
}

bool CProcess::Kill(int signal) const { return !m_exitCode && m_pidFd >= 0 && SendSignal(m_pidFd, signal); }

void CProcess::Release() {
    if (m_pidFd < 0) return;
    CLauncher* launcher = m_exitCode ? nullptr : CLauncher::Get();
    if (launcher != nullptr)
        launcher->Adopt(m_pid, m_pidFd);
    else
        ::close(m_pidFd);
    m_pidFd = -1;
    m_pid = 0;
    m_exitCode.reset();
}

CProcess Launch(const sLaunchOptions& options, int* error) {
    auto failed = [error](int code) {
        if (error != nullptr) *error = code;
        return CProcess();
    };
    if (options.arguments.empty() || options.arguments.front().empty()) return failed(EINVAL);

    sChildPlan plan;
    plan.arguments = options.arguments;
    if (options.environment) {
        plan.environment = *options.environment;
    } else {
        for (char** entry = environ; entry != nullptr && *entry != nullptr; ++entry) plan.environment.emplace_back(*entry);
    }
    std::optional<std::string> path = FindInEnvironment(plan.environment, "PATH");
    if (!path) {
        const char* own = ::getenv("PATH");
        path = own != nullptr ? own : "/usr/local/bin:/usr/bin:/bin";
    }
    plan.path = FindProgram(options.arguments.front(), *path);
    if (plan.path.empty()) return failed(ENOENT);
    plan.workingFolder = options.workingFolder;
    plan.stdio[0] = options.standardInput;
    plan.stdio[1] = options.standardOutput;
    plan.stdio[2] = options.standardError;
    plan.setNice = options.niceness.has_value();
    plan.nice = options.niceness.value_or(0);
    plan.parent = ::getpid();
    plan.Seal();

    CLauncher* launcher = CLauncher::Get();
    if (launcher == nullptr) return failed(EAGAIN);
    const sLaunchResult result = launcher->Launch(plan);
    if (result.error != 0) return failed(result.error);
    if (error != nullptr) *error = 0;
    return CProcess(result.pid, result.pidFd);
}

bool StartLauncher() { return CLauncher::Get() != nullptr; }

std::optional<int> WaitForExit(int pidFd, DWORD timeoutMs) {
    if (pidFd < 0) return std::nullopt;
    const bool infinite = timeoutMs == INFINITE;
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        int wait = -1;
        if (!infinite) {
            const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now()).count();
            wait = static_cast<int>(std::max<long long>(0, std::min<long long>(left, 1 << 30)));
        }
        pollfd p{pidFd, POLLIN, 0};
        const int ready = ::poll(&p, 1, wait);
        if (ready < 0 && errno == EINTR) continue;
        if (ready < 0) return std::nullopt;
        if (ready == 0) {
            if (infinite || Clock::now() < deadline) continue;
            return std::nullopt;
        }
        siginfo_t info{};
        if (!Posix::Call(::waitid, P_PIDFD, static_cast<id_t>(pidFd), &info, WEXITED)) return std::nullopt;
        return ExitCode(info);
    }
}

int OpenProcessFd(pid_t pid) {
    if (pid <= 0) return -1;
    return PidFdOpen(pid);
}

bool SendSignal(int pidFd, int signal) { return pidFd >= 0 && PidFdSendSignal(pidFd, signal) == 0; }

}  // namespace Vok::Process
