#include "platform/process_launch.h"

#include <poll.h>
#include <signal.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "platform/child_job.h"
#include "tests/support/file_helpers.h"
#include "tests/support/ipc_test_folder.h"
#include "tests/support/peer_process.h"

namespace {

using Vok::Process::CProcess;
using Vok::Process::Launch;
using Vok::Process::sLaunchOptions;
using Strings = std::vector<std::string>;

const std::string PEER = Vok::Test::PeerPath(VOK_BINARY_DIR, "link_peer");

CProcess Start(Strings arguments, int* error = nullptr) {
    sLaunchOptions options;
    options.arguments = std::move(arguments);
    return Launch(options, error);
}

// Whether the process behind pidFd ends within timeoutMs (a pidfd turns readable when it does,
// whoever its parent is).
bool EndsWithin(int pidFd, int timeoutMs) {
    pollfd p{pidFd, POLLIN, 0};
    return ::poll(&p, 1, timeoutMs) == 1;
}

// A process whose parent is gone and that nobody reaped shows as state Z.
bool IsGone(pid_t pid) {
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string line;
    if (!std::getline(stat, line)) return true;
    const size_t close = line.rfind(')');
    return close != std::string::npos && close + 2 < line.size() && line[close + 2] == 'Z';
}

TEST(ProcessLaunch, CommandLinesSplitByOneRule) {
    const std::vector<std::pair<std::string, Strings>> rows = {
        {"", {}},
        {" \t ", {}},
        {"a  b\tc", {"a", "b", "c"}},
        {"\"a b\" c", {"a b", "c"}},
        {"a\"b c\"d", {"ab cd"}},
        {"\"\" x", {"", "x"}},
        {"a\\\"b", {"a\"b"}},
        {"\"say \\\"hi\\\"\"", {"say \"hi\""}},
        {"C:\\dir\\ x\\\\y", {"C:\\dir\\", "x\\\\y"}},
        {"\"open", {"open"}},
    };
    for (const auto& [text, arguments] : rows) EXPECT_EQ(Vok::Process::SplitCommandLine(text), arguments) << text;

    const Strings tricky = {"plain", "", "two words", "q\"uote", "back\\", "blank and back\\\\", "\\\"", "tab\there"};
    EXPECT_EQ(Vok::Process::SplitCommandLine(Vok::Process::JoinCommandLine(tricky)), tricky);
}

TEST(ProcessLaunch, AChildThatCannotStartLeavesNothingRunning) {
    int error = 0;
    EXPECT_FALSE(Start({"no-such-program-anywhere"}, &error).IsValid());
    EXPECT_EQ(error, ENOENT);
    EXPECT_FALSE(Start({}, &error).IsValid());
    EXPECT_EQ(error, EINVAL);
    sLaunchOptions options;
    options.arguments = {PEER, "sleep"};
    options.workingFolder = "/no/such/folder";
    EXPECT_FALSE(Launch(options, &error).IsValid());
    EXPECT_EQ(error, ENOENT);
}

TEST(ProcessLaunch, ABareNameIsLookedUpInEveryFolderOfTheChildsOwnPath) {
    const Vok::Test::CTempFolder folder;
    ASSERT_EQ(::symlink(PEER.c_str(), (folder / "peer-in-path").c_str()), 0);
    sLaunchOptions options;
    options.arguments = {"peer-in-path", "unknown-mode"};
    options.environment = Strings{"PATH=/no/such/folder:" + folder.Path()};
    CProcess child = Launch(options);
    ASSERT_TRUE(child.IsValid());
    EXPECT_EQ(child.Wait(5000), 2);
}

TEST(ProcessLaunch, AChildIsWaitedForAndKilledThroughItsPidfd) {
    CProcess done = Start({PEER, "unknown-mode"});
    ASSERT_TRUE(done.IsValid());
    EXPECT_EQ(done.Wait(5000), 2);
    EXPECT_FALSE(done.Kill(SIGKILL));

    CProcess sleeper = Start({PEER, "sleep"});
    ASSERT_TRUE(sleeper.IsValid());
    EXPECT_EQ(sleeper.Wait(50), std::nullopt);
    EXPECT_EQ(::getpgid(sleeper.GetPid()), sleeper.GetPid());
    EXPECT_TRUE(sleeper.Kill(SIGKILL));
    EXPECT_EQ(sleeper.Wait(5000), 128 + SIGKILL);
}

TEST(ProcessLaunch, AChildThatWasLetGoIsReapedWhenItEnds) {
    pid_t pid = 0;
    {
        CProcess child = Start({PEER, "unknown-mode"});
        ASSERT_TRUE(child.IsValid());
        pid = child.GetPid();
    }
    for (int i = 0; i < 500 && ::access(("/proc/" + std::to_string(pid)).c_str(), F_OK) == 0; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    EXPECT_NE(::access(("/proc/" + std::to_string(pid)).c_str(), F_OK), 0) << "a zombie is left";
}

TEST(ChildJob, ClosingTheJobKillsItsChildren) {
    CProcess a = Start({PEER, "sleep"});
    CProcess b = Start({PEER, "sleep"});
    Vok::CKillOnCloseJob job;
    EXPECT_TRUE(job.Assign(a.GetPidFd()));
    EXPECT_TRUE(job.Assign(b.GetPidFd()));
    EXPECT_FALSE(job.Assign(-1));
    EXPECT_EQ(job.GetCount(), 2u);
    job.Close();
    EXPECT_EQ(job.GetCount(), 0u);
    EXPECT_EQ(a.Wait(5000), 128 + SIGKILL);
    EXPECT_EQ(b.Wait(5000), 128 + SIGKILL);
}

TEST(ChildJob, TheProcessJobIsMadeOnceForAllThreads) {
    std::vector<Vok::CKillOnCloseJob*> seen(8);
    std::vector<std::thread> threads;
    for (auto& job : seen) threads.emplace_back([&job] { job = GetKillOnCloseJob(); });
    for (auto& t : threads) t.join();
    ASSERT_NE(seen[0], nullptr);
    for (auto* job : seen) EXPECT_EQ(job, seen[0]);
}

TEST(ChildJob, AChildDiesWithItsKilledHostButNotWithTheThreadThatStartedIt) {
    Vok::Test::CPeerProcess host({PEER, "host"});
    const auto ready = host.WaitForLine("READY host ", Vok::Test::Milliseconds(5000));
    ASSERT_TRUE(ready);
    const pid_t sleeper = std::stoi(ready->substr(11));
    const int pidFd = Vok::Process::OpenProcessFd(sleeper);
    ASSERT_GE(pidFd, 0);
    // The host's starting thread has ended already.
    EXPECT_FALSE(EndsWithin(pidFd, 200));
    host.Kill(SIGKILL);
    EXPECT_TRUE(EndsWithin(pidFd, 2000));
    ::close(pidFd);
    for (int i = 0; i < 200 && !IsGone(sleeper); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(10));
    EXPECT_TRUE(IsGone(sleeper));
}

}  // namespace
