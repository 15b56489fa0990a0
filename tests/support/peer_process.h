// A peer executable run as a real child process: its standard input and output are pipes, every read
// has a deadline, and a peer still running at destruction is ended.
#pragma once

#include <sys/types.h>
#include <unistd.h>

#include <chrono>
#include <optional>
#include <string>
#include <vector>

namespace Vok::Test {

using Milliseconds = std::chrono::milliseconds;

// The exit code of forked child pid; -1 when it did not end on its own within five seconds (it is
// then killed) or ended by a signal.
int WaitForForkedChild(pid_t pid);

// Runs f in a forked child and returns its exit code (f's result), as WaitForForkedChild does.
template <typename F>
int InChild(F f) {
    const pid_t pid = ::fork();
    if (pid == 0) ::_exit(f());
    return WaitForForkedChild(pid);
}

class CPeerProcess {
public:
    // args[0] is the executable's path. The child inherits this process's environment but gtest's
    // sharding variables.
    explicit CPeerProcess(const std::vector<std::string>& args);
    // Closes the peer's input, lets it end for two seconds, then kills it.
    ~CPeerProcess();
    CPeerProcess(const CPeerProcess&) = delete;
    CPeerProcess& operator=(const CPeerProcess&) = delete;

    // The next output line without its newline; nothing on end of output or when the time runs out.
    std::optional<std::string> ReadLine(Milliseconds timeout);
    // Reads lines until one starts with prefix and returns it; nothing when the time runs out first.
    std::optional<std::string> WaitForLine(const std::string& prefix, Milliseconds timeout);
    bool WriteLine(const std::string& line);
    void CloseInput();
    void Kill(int signal);
    // The exit code, or 128 + the signal that ended it; nothing when it is still running at the deadline.
    std::optional<int> Wait(Milliseconds timeout);
    pid_t GetPid() const { return m_pid; }

private:
    pid_t m_pid = -1;
    int m_input = -1;
    int m_output = -1;
    std::string m_pending;
    bool m_reaped = false;
    int m_status = 0;
};

// Elapsed time of a scope, for checking how long a wait took.
class CStopwatch {
public:
    CStopwatch() : m_start(std::chrono::steady_clock::now()) {}
    Milliseconds Elapsed() const {
        return std::chrono::duration_cast<Milliseconds>(std::chrono::steady_clock::now() - m_start);
    }

private:
    std::chrono::steady_clock::time_point m_start;
};

// Voluntary context switches of every thread of process pid so far: each sleep that ends in a
// wake-up is one; preemptions, which a busy machine adds, are not counted.
long ContextSwitches(pid_t pid);

}  // namespace Vok::Test
