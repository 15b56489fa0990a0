#include "platform/thread_naming.h"

#include <pthread.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <thread>

namespace {

// Runs fn on a thread of its own and returns what it returned.
template <typename T>
T OnNewThread(std::function<T()> fn) {
    T result{};
    std::thread([&] { result = fn(); }).join();
    return result;
}

std::string KernelName() {
    char name[64] = {};
    pthread_getname_np(pthread_self(), name, sizeof name);
    return name;
}

TEST(ThreadNaming, AThreadCarriesItsDescriptionAndAShortKernelName) {
    const auto named = OnNewThread<std::string>([] {
        const DWORD self = static_cast<DWORD>(::gettid());
        if (!GetThreadName(self).empty() || !SetDriverThreadName()) return std::string("not named");
        return GetThreadName(self) + "|" + KernelName();
    });
    EXPECT_EQ(named, "VOK.Zelfo.test_platform.Driver|test_pla.Driver");
    EXPECT_EQ(OnNewThread<std::string>([] {
                  SetWorkerThreadName();
                  return GetThreadName(static_cast<DWORD>(::gettid()));
              }),
              "VOK.Zelfo.test_platform.Worker");
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
    // The thread has ended: its id names nothing now, or a thread that carries no description.
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
