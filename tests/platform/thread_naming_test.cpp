#include "platform/thread_naming.h"

#include <pthread.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <thread>

namespace {

std::string KernelName() {
    char name[64] = {};
    pthread_getname_np(pthread_self(), name, sizeof name);
    return name;
}

TEST(ThreadNaming, AThreadCarriesItsDescriptionAndAShortKernelName) {
    std::string named;
    std::thread([&named] {
        const DWORD self = static_cast<DWORD>(::gettid());
        named = GetThreadName(self).empty() && SetDriverThreadName() ? GetThreadName(self) + "|" + KernelName() : "";
    }).join();
    EXPECT_EQ(named, "VOK.Zelfo.test_platform.Driver|test_pla.Driver");
}

TEST(ThreadNaming, AnotherThreadOfThisProcessCanBeNamedAndRead) {
    DWORD worker = 0;
    bool named = false;
    std::string seen;
    std::thread([&] {
        worker = static_cast<DWORD>(::gettid());
        std::thread([&] { named = SetThreadName(worker, "VOK.Zelfo.x.Worker"); }).join();
        seen = GetThreadName(worker) + "|" + KernelName();
    }).join();
    EXPECT_TRUE(named);
    EXPECT_EQ(seen, "VOK.Zelfo.x.Worker|x.Worker");
    // The thread has ended: once the kernel has let it go, its id names nothing, or a thread that
    // carries no description. A joined thread may still be on its way out for a moment.
    const std::string task = "/proc/self/task/" + std::to_string(worker);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (::access(task.c_str(), F_OK) == 0 && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    EXPECT_EQ(GetThreadName(worker), "");
}

TEST(ThreadNaming, ThreadsOutsideThisProcessAndBadTextsAreRefused) {
    EXPECT_FALSE(SetThreadName(1, "VOK.Zelfo.x.Worker"));
    EXPECT_EQ(GetThreadName(1), "");
    EXPECT_FALSE(SetThreadName(0x7FFFFFF0, "x"));
    EXPECT_EQ(GetThreadName(0x7FFFFFF0), "");
    EXPECT_FALSE(SetThreadName(static_cast<DWORD>(::gettid()), "bad \xFF text"));
}

TEST(ThreadNaming, KernelNamesKeepTheRoleWithinFifteenBytes) {
    const std::pair<std::string, std::string> rows[] = {
        {"VOK.Zelfo.Pelorad.Driver", "Pelorad.Driver"},
        {"VOK.Zelfo.test_platform.Application", "tes.Application"},
        {"VOK.Zelfo.\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9.Driver", "\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9.Driver"},
        {"VOK.Zelfo.\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9.Driver", "\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9.Driver"},
        {"a thread of mine", "a thread of min"},
        {"VOK.Zelfo.", "VOK.Zelfo."},
    };
    for (const auto& [description, kernel] : rows) EXPECT_EQ(ShortThreadName(description), kernel) << description;
}

}  // namespace
