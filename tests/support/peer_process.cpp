#include "tests/support/peer_process.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <string_view>
#include <thread>

extern char** environ;

namespace Vok::Test {

namespace {

using Clock = std::chrono::steady_clock;

void IgnoreBrokenPipes() {
    // A peer that died must make a write fail, not end the test process.
    static const bool once = [] {
        ::signal(SIGPIPE, SIG_IGN);
        return true;
    }();
    (void)once;
}

// This process's environment without gtest's sharding variables: a test binary run again as a
// peer would otherwise run only its shard's part of the filter, nothing at all in most shards.
std::vector<char*> PeerEnvironment() {
    std::vector<char*> env;
    for (char** v = environ; *v != nullptr; ++v) {
        const std::string_view entry(*v);
        if (entry.starts_with("GTEST_SHARD_") || entry.starts_with("GTEST_TOTAL_SHARDS=")) continue;
        env.push_back(*v);
    }
    env.push_back(nullptr);
    return env;
}

}  // namespace

CPeerProcess::CPeerProcess(const std::vector<std::string>& args) {
    IgnoreBrokenPipes();
    int in[2];
    int out[2];
    if (::pipe2(in, O_CLOEXEC) != 0) throw std::runtime_error("pipe");
    if (::pipe2(out, O_CLOEXEC) != 0) {
        ::close(in[0]);
        ::close(in[1]);
        throw std::runtime_error("pipe");
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, in[0], STDIN_FILENO);
    posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
    std::vector<char*> argv;
    for (const std::string& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);
    std::vector<char*> env = PeerEnvironment();
    const int error = ::posix_spawn(&m_pid, argv[0], &actions, nullptr, argv.data(), env.data());
    posix_spawn_file_actions_destroy(&actions);
    ::close(in[0]);
    ::close(out[1]);
    m_input = in[1];
    m_output = out[0];
    if (error != 0) {
        ::close(m_input);
        ::close(m_output);
        throw std::runtime_error("cannot start " + args.front());
    }
}

CPeerProcess::~CPeerProcess() {
    CloseInput();
    if (!Wait(Milliseconds(2000))) {
        Kill(SIGKILL);
        Wait(Milliseconds(5000));
    }
    if (m_output >= 0) ::close(m_output);
}

std::optional<std::string> CPeerProcess::ReadLine(Milliseconds timeout) {
    const auto deadline = Clock::now() + timeout;
    for (;;) {
        if (const auto end = m_pending.find('\n'); end != std::string::npos) {
            std::string line = m_pending.substr(0, end);
            m_pending.erase(0, end + 1);
            return line;
        }
        const auto left = std::chrono::duration_cast<Milliseconds>(deadline - Clock::now()).count();
        if (left <= 0) return std::nullopt;
        pollfd p{m_output, POLLIN, 0};
        const int ready = ::poll(&p, 1, static_cast<int>(left));
        if (ready < 0 && errno == EINTR) continue;
        if (ready <= 0) return std::nullopt;
        char chunk[512];
        const ssize_t n = ::read(m_output, chunk, sizeof chunk);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return std::nullopt;
        m_pending.append(chunk, static_cast<size_t>(n));
    }
}

std::optional<std::string> CPeerProcess::WaitForLine(const std::string& prefix, Milliseconds timeout) {
    const auto deadline = Clock::now() + timeout;
    for (;;) {
        const auto left = std::chrono::duration_cast<Milliseconds>(deadline - Clock::now());
        if (left.count() <= 0) return std::nullopt;
        auto line = ReadLine(left);
        if (!line) return std::nullopt;
        if (line->compare(0, prefix.size(), prefix) == 0) return line;
    }
}

bool CPeerProcess::WriteLine(const std::string& line) {
    if (m_input < 0) return false;
    const std::string text = line + "\n";
    return ::write(m_input, text.data(), text.size()) == static_cast<ssize_t>(text.size());
}

void CPeerProcess::CloseInput() {
    if (m_input < 0) return;
    ::close(m_input);
    m_input = -1;
}

void CPeerProcess::Kill(int signal) {
    if (!m_reaped && m_pid > 0) ::kill(m_pid, signal);
}

std::optional<int> CPeerProcess::Wait(Milliseconds timeout) {
    const auto deadline = Clock::now() + timeout;
    while (!m_reaped) {
        const pid_t r = ::waitpid(m_pid, &m_status, WNOHANG);
        if (r == m_pid || (r < 0 && errno != EINTR)) {
            m_reaped = true;
            break;
        }
        if (Clock::now() >= deadline) return std::nullopt;
        std::this_thread::sleep_for(Milliseconds(1));
    }
    if (WIFEXITED(m_status)) return WEXITSTATUS(m_status);
    if (WIFSIGNALED(m_status)) return 128 + WTERMSIG(m_status);
    return -1;
}

long ContextSwitches(pid_t pid) {
    long switches = 0;
    const std::string tasks = "/proc/" + std::to_string(pid) + "/task";
    for (const auto& task : std::filesystem::directory_iterator(tasks)) {
        std::ifstream status(task.path() / "status");
        std::string line;
        while (std::getline(status, line))
            // The process's own waits; a busy machine's preemptions are not its doing.
            if (line.rfind("voluntary_ctxt_switches:", 0) == 0) switches += std::stol(line.substr(line.find(':') + 1));
    }
    return switches;
}

int WaitForForkedChild(pid_t pid) {
    int status = 0;
    for (int waited = 0; waited < 500; ++waited) {
        if (::waitpid(pid, &status, WNOHANG) == pid) return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    ::kill(pid, SIGKILL);
    ::waitpid(pid, &status, 0);
    return -1;
}

}  // namespace Vok::Test
