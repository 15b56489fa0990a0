// Starting child processes without a shell: fork + execve with an explicit argument list and
// environment. Every child runs in its own process group and is killed (PR_SET_PDEATHSIG) when
// this process ends, however it ends. A started child is held through a pidfd, so a signal or a
// wait can never reach a recycled process id.
#pragma once

#include <sys/types.h>

#include <optional>
#include <string>
#include <vector>

#include "compat/windows_types.h"

namespace Vok::Process {

// The one rule that turns a command-line text into arguments: blanks (spaces and tabs) separate
// arguments; double quotes group, and may start and end inside an argument ("a b"c is one argument
// a bc); a backslash right before a double quote makes it a literal quote; every other backslash
// is kept as it is. An empty pair of quotes gives an empty argument. Nothing else is special.
std::vector<std::string> SplitCommandLine(const std::string& text);
// One argument written so that SplitCommandLine gives it back: as it is, or, when it is empty or
// holds a blank or a quote, enclosed in double quotes with each quote escaped (trailing
// backslashes follow the closing quote).
std::string QuoteArgument(const std::string& argument);
// The arguments joined by one blank, each as QuoteArgument writes it.
std::string JoinCommandLine(const std::vector<std::string>& arguments);

// This process's environment as "NAME=value" entries, with name set to value (added, or replacing
// the entry of that name). The process's own environment is not changed.
std::vector<std::string> EnvironmentWith(const std::string& name, const std::string& value);
// The value of name in an environment of "NAME=value" entries; nothing when it is absent.
std::optional<std::string> FindInEnvironment(const std::vector<std::string>& environment, const std::string& name);
// program itself when it holds a '/'; otherwise the first executable regular file of that name in
// the folders of pathVariable (an empty element is the current folder). Empty when none.
std::string FindProgram(const std::string& program, const std::string& pathVariable);

struct sLaunchOptions {
    // The program (a path, or a name searched in the PATH of the child's environment) and its
    // arguments; arguments[0] is what the child sees as its name.
    std::vector<std::string> arguments;
    // "NAME=value" entries; nothing gives the child this process's environment.
    std::optional<std::vector<std::string>> environment;
    // The child's current folder; empty keeps this process's.
    std::string workingFolder;
    // Descriptors for the child's standard input, output and error; -1 keeps this process's.
    // No other descriptor reaches the child.
    int standardInput = -1;
    int standardOutput = -1;
    int standardError = -1;
    // The child's nice value; nothing keeps this process's. A value the child may not take (a
    // higher priority without the right) is ignored, and the child starts anyway.
    std::optional<int> niceness;
};

// A started child. Destroying it (or Release) lets go of the child, which keeps running; it is
// reaped in the background when it ends, so it never lingers as a zombie.
class CProcess {
public:
    CProcess() = default;
    CProcess(pid_t pid, int pidFd) : m_pid(pid), m_pidFd(pidFd) {}
    CProcess(CProcess&& other) noexcept;
    CProcess& operator=(CProcess&& other) noexcept;
    CProcess(const CProcess&) = delete;
    CProcess& operator=(const CProcess&) = delete;
    ~CProcess() { Release(); }

    bool IsValid() const { return m_pidFd >= 0; }
    pid_t GetPid() const { return m_pid; }
    // The pidfd; -1 when there is no child. It stays owned by this object.
    int GetPidFd() const { return m_pidFd; }

    // The exit code, or 128 + the number of the signal that ended it; nothing when it still runs
    // after timeoutMs (INFINITE waits for ever) or cannot be waited for. Reaps the child.
    std::optional<int> Wait(DWORD timeoutMs);
    // Sends signal to the child; false when it has ended and was reaped, or on failure.
    bool Kill(int signal) const;
    // Lets go of the child without ending it.
    void Release();

private:
    pid_t m_pid = 0;
    int m_pidFd = -1;
    std::optional<int> m_exitCode;
};

// Starts a child as options say. Invalid (with *error set to the errno of the step that failed:
// ENOENT for a program that cannot be found, the errno of a failed chdir or execve in the child)
// when it could not be started; nothing is left running then.
CProcess Launch(const sLaunchOptions& options, int* error = nullptr);

// Starts the thread that forks every child and lives as long as this process (Launch starts it on
// first use); false when it cannot be started.
bool StartLauncher();

// Waits for the process behind pidFd to end and reaps it when it is this process's child: its exit
// code, or 128 + the signal that ended it. Nothing when it still runs after timeoutMs, or when the
// status cannot be had (it is no child, or another waiter reaped it first).
std::optional<int> WaitForExit(int pidFd, DWORD timeoutMs);
// A new pidfd for process id pid (the caller closes it); -1 when there is no such process.
int OpenProcessFd(pid_t pid);
// Sends signal through pidFd; false when the process has been reaped or on failure.
bool SendSignal(int pidFd, int signal);

}  // namespace Vok::Process
