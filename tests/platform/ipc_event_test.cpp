#include "platform/ipc_event.h"

#include <gtest/gtest.h>
#include <pthread.h>
#include <signal.h>

#include <atomic>
#include <future>
#include <string>
#include <thread>

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
}

TEST_F(IpcEventTest, ASetThatAResetFollowedStillWakesAWaiter) {
    CIpcEvent waiter("E"), setter("E");
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
}

}  // namespace
