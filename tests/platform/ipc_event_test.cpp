#include "platform/ipc_event.h"

#include <gtest/gtest.h>

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

}  // namespace
