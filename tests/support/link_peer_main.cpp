// Peer process for the tests of the host-driver link, processes and the environment:
//   driver LOG     plays the driver end with the prefix of its environment: appends "Prefix=<value>"
//                  and, for each command, "CMD <code> <text>" to LOG, acknowledges it, and ends
//                  with 0 after EXIT (4 when none came within 20 s). An end that cannot be started
//                  says why on standard error and ends with 3.
//   args LOG       writes each of its arguments after LOG as "[<argument>]" lines to LOG.
//   host           starts "link_peer sleep" from a thread that ends at once, ties it to the
//                  kill-on-close job, prints "READY host <pid>" and waits for its input to end.
//   sleep          sleeps (60 s at most).
//   lingering-host DRIVER ERRORS
//                  a test host of DRIVER (its standard error to ERRORS) with a second task that shares
//                  its files, as its threads do, and keeps them until 300 ms after the host has gone
//                  (SIGKILL, say); prints "READY host" once the driver has acknowledged a command,
//                  and waits for its input to end.
//   leaving-host DRIVER ERRORS HOW
//                  a test host of DRIVER that holds the output buffer "OUT_LEFT" too: after INIT it
//                  sends EXIT and ends without waiting for the acknowledgement, by SIGKILL (HOW "kill")
//                  or by _exit(0).
//   module         prints its file title without and with extension, its folder, its argument
//                  text and its arguments joined by '|', one per line.
#include <sched.h>
#include <signal.h>
#include <sys/syscall.h>
#include <time.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <string>
#include <thread>

#include "platform/child_job.h"
#include "platform/child_process.h"
#include "platform/environment.h"
#include "platform/ipc_buffer_handle.h"
#include "platform/process_launch.h"
#include "host/test_host.h"

namespace {

int RunDriver(const std::string& logPath) {
    CChildProcess link(GetEnvVariable("Prefix"));
    if (!link.IsStarted()) {
        std::fprintf(stderr, "driver: %s\n", link.GetStartError().c_str());
        return 3;
    }
    std::ofstream log(logPath, std::ios::app);
    log << "Prefix=" << link.GetPrefix().c_str() << std::endl;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (std::chrono::steady_clock::now() < deadline) {
        if (!link.IsEventSet(EVT_NEW_SETTINGS, 100)) continue;
        const DWORD code = link.ReadCommand();
        log << "CMD " << code << " " << CChildProcess::CommandToText(code).c_str() << std::endl;
        link.ResetEvent(EVT_NEW_SETTINGS);
        link.SetEvent(EVT_SETTINGS_READ);
        if (code == CMD_EXIT) return 0;
    }
    return 4;
}

int RunHost() {
    Vok::Process::CProcess sleeper;
    // The starting thread ends at once: the child must live on regardless.
    std::thread([&sleeper] {
        Vok::Process::sLaunchOptions options;
        options.arguments = {GetModulePath(false).c_str(), "sleep"};
        sleeper = Vok::Process::Launch(options);
    }).join();
    Vok::CKillOnCloseJob* job = GetKillOnCloseJob();
    if (!sleeper.IsValid() || job == nullptr || !job->Assign(sleeper.GetPidFd())) {
        std::cout << "FAIL host" << std::endl;
        return 2;
    }
    std::cout << "READY host " << sleeper.GetPid() << std::endl;
    std::string line;
    std::getline(std::cin, line);
    return 0;
}

int RunLingeringHost(const std::string& driver, const std::string& errors) {
    Vok::Test::CTestHost host(driver, 1, errors);
    const pid_t self = ::getpid();
    // As fork, but with the file table shared; the task makes nothing but system calls (20 s at most).
    const long task = host.SendCommand(CMD_HEARTBEAT) ? ::syscall(SYS_clone, CLONE_FILES | SIGCHLD, 0, 0, 0, 0) : -1;
    if (task == 0) {
        const timespec tick{0, 10000000}, linger{0, 300000000};
        for (int i = 0; i < 2000 && ::syscall(SYS_getppid) == self; ++i) ::syscall(SYS_nanosleep, &tick, nullptr);
        ::syscall(SYS_nanosleep, &linger, nullptr);
        ::syscall(SYS_exit_group, 0);
    }
    std::cout << (task > 0 ? "READY host" : "FAIL host") << std::endl;
    std::string line;
    std::getline(std::cin, line);
    return 0;
}

int RunLeavingHost(const std::string& driver, const std::string& errors, const std::string& how) {
    Vok::Test::CTestHost host(driver, 1, errors);
    Vok::Test::sDriverSettings settings;
    settings.outputName = "OUT_LEFT";
    if (!host.PublishSettings(settings) || !host.SendCommand(CMD_INIT) || !host.Link().WriteCommand(CMD_EXIT)) return 2;
    const IpcBufferHandle output("OUT_LEFT", 0);
    // Posted without a look at the acknowledgement: a host that took it lives on as far as the
    // driver can tell, and removes the files itself.
    host.Link().SetEvent(EVT_NEW_SETTINGS);
    if (how == "kill") ::kill(::getpid(), SIGKILL);
    ::_exit(0);
}

int RunModule() {
    CStringArray arguments;
    GetCommandLineArgs(arguments);
    std::string joined;
    for (INT_PTR i = 0; i < arguments.GetSize(); ++i) joined += (i > 0 ? "|" : "") + arguments[i].Str();
    std::cout << GetModuleFileTitle(false).c_str() << "\n"
              << GetModuleFileTitle(true).c_str() << "\n"
              << GetModulePath(true).c_str() << "\n"
              << GetCommandLineArguments().c_str() << "\n"
              << joined << std::endl;
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    const std::string mode = argc > 1 ? argv[1] : "";
    if (mode == "driver" && argc > 2) return RunDriver(argv[2]);
    if (mode == "args" && argc > 2) {
        std::ofstream log(argv[2]);
        for (int i = 3; i < argc; ++i) log << "[" << argv[i] << "]\n";
        return 0;
    }
    if (mode == "host") return RunHost();
    if (mode == "lingering-host" && argc > 3) return RunLingeringHost(argv[2], argv[3]);
    if (mode == "sleep") {
        ::alarm(60);  // nothing is left running for long, whatever happens to the test
        for (;;) ::pause();
    }
    if (mode == "leaving-host" && argc > 4) return RunLeavingHost(argv[2], argv[3], argv[4]);
    if (mode == "module") return RunModule();
    std::fprintf(stderr, "link_peer: unknown mode\n");
    return 2;
}
