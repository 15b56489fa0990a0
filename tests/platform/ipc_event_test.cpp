#include "platform/ipc_event.h"

#include <gtest/gtest.h>
#include <pthread.h>
#include <signal.h>

#include <atomic>
#include <future>
#include <memory>
#include <string>
#include <thread>
#include <utility>

#include "platform/named_object.h"
#include "tests/support/ipc_test_folder.h"
#include "tests/support/peer_process.h"

namespace {

using Vok::Test::CPeerProcess;
using Vok::Test::CStopwatch;
using Vok::Test::IpcTest;
using Vok::Test::Milliseconds;

class IpcEventTest : public IpcTest {};

const std::string PEER = Vok::Test::PeerPath(VOK_BINARY_DIR, "ipc_peer");
const std::string BUFFER_PEER = Vok::Test::PeerPath(VOK_BINARY_DIR, "buffer_peer");
constexpr Milliseconds DEADLINE(5000);

// Leaves ones on the stack below the caller, where the frames of its next calls will lie.
[[gnu::noinline]] void FillStackBelow() {
    volatile unsigned char bytes[16384];
    for (auto& b : bytes) b = 0xFF;
}

// "READY wait <code> <ms>" -> code.
unsigned long Code(const std::optional<std::string>& line) {
    return line ? std::stoul(line->substr(std::string("READY wait ").size())) : 1;
}

TEST_F(IpcEventTest, AnEventStaysSetUntilReset) {
    CIpcEvent event("E");
    ASSERT_TRUE(event.IsValid());
    EXPECT_EQ(event.GetName(), CString("E"));
    EXPECT_EQ(event.Wait(0), WAIT_TIMEOUT);
    EXPECT_TRUE(event.Set());
    EXPECT_EQ(event.Wait(0), WAIT_OBJECT_0);
    EXPECT_EQ(event.Wait(INFINITE), WAIT_OBJECT_0);
    EXPECT_TRUE(event.Reset());
    CStopwatch clock;
    EXPECT_EQ(event.Wait(80), WAIT_TIMEOUT);
    EXPECT_GE(clock.Elapsed(), Milliseconds(80));
    // A signal that a handler takes does not end a wait.
    struct sigaction action {}, before {};
    action.sa_handler = [](int) {};
    ASSERT_EQ(::sigaction(SIGUSR1, &action, &before), 0);
    const pthread_t self = ::pthread_self();
    auto signals = std::async(std::launch::async, [self] {
        for (int k = 0; k < 5; ++k) {
            std::this_thread::sleep_for(Milliseconds(20));
            ::pthread_kill(self, SIGUSR1);
        }
    });
    EXPECT_EQ(event.Wait(300), WAIT_TIMEOUT);
    signals.get();
    ::sigaction(SIGUSR1, &before, nullptr);
}

TEST_F(IpcEventTest, AnEventThatCouldNotBeMadeFails) {
    CIpcEvent event(std::string(5000, 'e').c_str());
    EXPECT_FALSE(event.IsValid());
    EXPECT_FALSE(event.Set());
    EXPECT_FALSE(event.Reset());
    EXPECT_EQ(event.Wait(0), WAIT_FAILED);
    EXPECT_EQ(event.Wait(INFINITE), WAIT_FAILED);
    bool wake = true;
    EXPECT_FALSE(event.Signal(wake));
    EXPECT_FALSE(wake);
    CIpcEventWatch watch(event);
    EXPECT_FALSE(watch.IsValid());
    EXPECT_EQ(watch.Wait(), WAIT_FAILED);
    // One on a file that another process cut short holds no share of it: the last real holder still
    // removes the file, and the next opener makes a whole event again.
    auto first = std::make_unique<CIpcEvent>("CUT_EVT");
    ASSERT_EQ(CPeerProcess({BUFFER_PEER, "truncate", "e.CUT_EVT", "0"}).Wait(DEADLINE), 0);
    CIpcEvent late("CUT_EVT");
    EXPECT_FALSE(late.IsValid());
    first.reset();
    EXPECT_TRUE(CIpcEvent("CUT_EVT").IsValid());
}

TEST_F(IpcEventTest, ASetThatAResetFollowedStillWakesAWaiter) {
    CIpcEvent waiter("E"), setter("E");
    // Also after many sets: each moves the count on by one.
    for (int k = 0; k < 40; ++k) ASSERT_TRUE(setter.Set() && setter.Reset());
    auto result = std::async(std::launch::async, [&] { return waiter.Wait(5000); });
    std::this_thread::sleep_for(Milliseconds(50));
    setter.Set();
    setter.Reset();
    ASSERT_EQ(result.wait_for(DEADLINE), std::future_status::ready);
    EXPECT_EQ(result.get(), WAIT_OBJECT_0);
}

TEST_F(IpcEventTest, EventsWorkAcrossProcesses) {
    CIpcEvent event("HOST_EVT");
    ASSERT_TRUE(event.Set());
    CPeerProcess peer({PEER, "event", "HOST_EVT", "wait", "HOST_EVT", "0", "wait", "HOST_EVT", "0", "pause",
                       "wait", "HOST_EVT", "200", "wait", "HOST_EVT", "INFINITE", "pause"});
    // Set before the peer opened it, and still set for its second wait.
    EXPECT_EQ(Code(peer.WaitForLine("READY wait ", DEADLINE)), WAIT_OBJECT_0);
    EXPECT_EQ(Code(peer.WaitForLine("READY wait ", DEADLINE)), WAIT_OBJECT_0);
    ASSERT_TRUE(peer.WaitForLine("READY pause", DEADLINE));

    ASSERT_TRUE(event.Reset());
    peer.WriteLine("go");
    const auto timed = peer.WaitForLine("READY wait ", DEADLINE);
    ASSERT_TRUE(timed);
    EXPECT_EQ(Code(timed), WAIT_TIMEOUT);
    const long elapsed = std::stol(timed->substr(timed->rfind(' ') + 1));
    EXPECT_GE(elapsed, 200);
    EXPECT_LT(elapsed, 700);

    ASSERT_TRUE(peer.WaitForLine("READY waiting", DEADLINE));
    std::this_thread::sleep_for(Milliseconds(50));
    CStopwatch clock;
    ASSERT_TRUE(event.Set());
    EXPECT_EQ(Code(peer.WaitForLine("READY wait ", DEADLINE)), WAIT_OBJECT_0);
    EXPECT_LT(clock.Elapsed(), Milliseconds(500));
}

TEST_F(IpcEventTest, APeerSetWakesThisProcess) {
    CIpcEvent event("PEER_EVT");
    auto result = std::async(std::launch::async, [&] { return event.Wait(5000); });
    CPeerProcess peer({PEER, "event", "PEER_EVT", "set", "PEER_EVT", "pause"});
    ASSERT_EQ(result.wait_for(DEADLINE), std::future_status::ready);
    EXPECT_EQ(result.get(), WAIT_OBJECT_0);
}

TEST_F(IpcEventTest, ASignalAsksForAWakeOnlyWhenTheEventWasNotSetAlready) {
    CIpcEvent event("E"), waiter("E");
    bool wake = false;
    ASSERT_TRUE(event.Signal(wake));
    EXPECT_TRUE(wake);
    // Set before anybody was woken: a look sees it.
    EXPECT_EQ(waiter.Wait(0), WAIT_OBJECT_0);
    ASSERT_TRUE(event.Signal(wake));
    EXPECT_FALSE(wake);
    ASSERT_TRUE(event.Reset());
    ASSERT_TRUE(event.Signal(wake));
    EXPECT_TRUE(wake);
}

// A watch ends on a set or on Cancel, never on a wake without a set; a watch of a file that another
// process cut short fails at once until the file holds its word again.
TEST_F(IpcEventTest, AWatchEndsOnASetOrACancelAndFailsOnACutFile) {
    CIpcEvent event("CANCEL_EVT");
    // A waiter in another process is woken too, and waits on: the event is not set.
    CPeerProcess peer({PEER, "event", "CANCEL_EVT", "wait", "CANCEL_EVT", "400", "pause"});
    ASSERT_TRUE(peer.WaitForLine("READY waiting", DEADLINE));
    {
        CIpcEventWatch watch(event);
        auto waited = std::async(std::launch::async, [&] { return watch.Wait(); });
        std::this_thread::sleep_for(Milliseconds(50));
        event.WakeWaiters();
        EXPECT_EQ(waited.wait_for(Milliseconds(100)), std::future_status::timeout);
        watch.Cancel();
        ASSERT_EQ(waited.wait_for(DEADLINE), std::future_status::ready);
        EXPECT_EQ(waited.get(), WAIT_TIMEOUT);
        EXPECT_EQ(watch.Wait(), WAIT_TIMEOUT);
        EXPECT_FALSE(watch.Pause(5000));
    }
    EXPECT_EQ(Code(peer.WaitForLine("READY wait ", DEADLINE)), WAIT_TIMEOUT);
    const auto cut = [](const char* size) { return CPeerProcess({BUFFER_PEER, "truncate", "e.CANCEL_EVT", size}).Wait(DEADLINE); };
    ASSERT_EQ(cut("0"), 0);
    CIpcEventWatch watch(event);
    EXPECT_EQ(watch.Wait(), WAIT_FAILED);
    EXPECT_FALSE(watch.IsUsable());
    ASSERT_EQ(cut("4"), 0);
    EXPECT_TRUE(watch.IsUsable());
    // A set ends it as any wait.
    auto waited = std::async(std::launch::async, [&] { return watch.Wait(); });
    ASSERT_TRUE(event.Set());
    ASSERT_EQ(waited.wait_for(DEADLINE), std::future_status::ready);
    EXPECT_EQ(waited.get(), WAIT_OBJECT_0);
    // A wait lets in no other signal of its thread than the cancel signal (on the second road).
    ASSERT_TRUE(event.Reset());
    auto letIn = std::async(std::launch::async, [&] {
        sigset_t all, before, after;
        ::sigfillset(&all);
        ::pthread_sigmask(SIG_BLOCK, &all, nullptr);
        ::pthread_sigmask(SIG_BLOCK, nullptr, &before);
        FillStackBelow();
        const DWORD woke = watch.Wait();
        ::pthread_sigmask(SIG_BLOCK, nullptr, &after);
        int opened = 0;
        for (int s = 1; s <= SIGRTMAX; ++s) {
            if (s == CIpcEventWatch::GetCancelSignal()) continue;
            opened += ::sigismember(&before, s) == 1 && ::sigismember(&after, s) == 0;
        }
        return std::make_pair(woke, opened);
    });
    std::this_thread::sleep_for(Milliseconds(50));
    ASSERT_TRUE(event.Set());
    ASSERT_EQ(letIn.wait_for(DEADLINE), std::future_status::ready);
    EXPECT_EQ(letIn.get(), std::make_pair(WAIT_OBJECT_0, 0));
    // Cancel ends a wait whose file is cut short while it sleeps, in a thread that blocks signals.
    ASSERT_TRUE(event.Reset());
    CIpcEventWatch sleeper(event);
    auto asleep = std::async(std::launch::async, [&] {
        sigset_t all;
        ::sigfillset(&all);
        ::pthread_sigmask(SIG_BLOCK, &all, nullptr);
        return sleeper.Wait();
    });
    std::this_thread::sleep_for(Milliseconds(50));
    ASSERT_EQ(cut("0"), 0);
    sleeper.Cancel();
    ASSERT_EQ(asleep.wait_for(DEADLINE), std::future_status::ready);
    EXPECT_EQ(asleep.get(), WAIT_TIMEOUT);
    ASSERT_EQ(cut("4"), 0);
    // A plain wait whose file is cut while it sleeps fails when it wakes, here at its time-out.
    auto timed = std::async(std::launch::async, [&] { return event.Wait(1500); });
    std::this_thread::sleep_for(Milliseconds(50));
    ASSERT_EQ(cut("0"), 0);
    ASSERT_EQ(timed.wait_for(DEADLINE), std::future_status::ready);
    EXPECT_EQ(timed.get(), WAIT_FAILED);
    ASSERT_EQ(cut("4"), 0);
    // A word that another process gives back at 0 (cut short and given its bytes again), or rewrites to
    // a count behind the one the wait began at, is no set either: the wait fails.
    const std::string file = Vok::Ipc::GetFolderPath() + "/e.CANCEL_EVT";
    for (const char* word : {"", "\\002\\000\\000\\000"}) {
        ASSERT_TRUE(event.Set() && event.Reset() && event.Set() && event.Reset());
        auto damaged = std::async(std::launch::async, [&] { return event.Wait(1500); });
        std::this_thread::sleep_for(Milliseconds(50));
        ASSERT_TRUE(*word != '\0' || (cut("0") == 0 && cut("4") == 0));
        const std::string write = std::string("printf '") + word + "' | dd of=" + file + " conv=notrunc status=none";
        ASSERT_EQ(CPeerProcess({"/bin/sh", "-c", write}).Wait(DEADLINE), 0);
        ASSERT_EQ(damaged.wait_for(DEADLINE), std::future_status::ready);
        EXPECT_EQ(damaged.get(), WAIT_FAILED) << word;
    }
    // At the count's wrap, a set and a reset leave the word at 0: a set like any other.
    const std::string wrap = "printf '\\376\\377\\377\\377' | dd of=" + file + " conv=notrunc status=none";
    ASSERT_EQ(CPeerProcess({"/bin/sh", "-c", wrap}).Wait(DEADLINE), 0);
    auto wrapped = std::async(std::launch::async, [&] { return event.Wait(1500); });
    std::this_thread::sleep_for(Milliseconds(50));
    ASSERT_TRUE(event.Set() && event.Reset());
    ASSERT_EQ(wrapped.wait_for(DEADLINE), std::future_status::ready);
    EXPECT_EQ(wrapped.get(), WAIT_OBJECT_0);
}

}  // namespace
