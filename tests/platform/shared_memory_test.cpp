#include "platform/shared_memory.h"

#include <signal.h>

#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <memory>
#include <set>
#include <stdexcept>
#include <system_error>
#include <vector>

#include "platform/ipc_event.h"
#include "tests/support/ipc_test_folder.h"
#include "tests/support/peer_process.h"

namespace {

using Vok::Test::CPeerProcess;
using Vok::Test::IpcTest;
using Vok::Test::Milliseconds;

class SharedMemoryTest : public IpcTest {};

const std::string PEER = Vok::Test::PeerPath(VOK_BINARY_DIR, "ipc_peer");
constexpr Milliseconds DEADLINE(5000);

TEST_F(SharedMemoryTest, SizeZeroMapsNothing) {
    SharedMemorySegment segment("EMPTY", 0, 0, "abc");
    EXPECT_EQ(segment.GetView(), nullptr);
    EXPECT_EQ(segment.GetConstView(), nullptr);
    EXPECT_EQ(segment.GetSize(), 0u);
    EXPECT_TRUE(m_folder.ListFiles().empty());
}

TEST_F(SharedMemoryTest, CreatorFillsAndLaterOpenersKeepTheContents) {
    const char first[8] = {1, 2, 3, 4, 5, 6, 7, 8};
    const char other[32] = {9};
    SharedMemorySegment created("S", 8, 0, first);
    SharedMemorySegment opened("S", 32, 0, other);
    SharedMemorySegment zeroed("Z", 8, 0, nullptr);
    EXPECT_TRUE(created.WasCreated());
    EXPECT_FALSE(opened.WasCreated());
    EXPECT_EQ(opened.GetSize(), 8u);  // the segment's own size, not the one asked for
    EXPECT_EQ(std::memcmp(opened.GetConstView(), first, 8), 0);
    static_cast<char*>(created.GetView())[7] = 42;
    EXPECT_EQ(static_cast<const char*>(opened.GetConstView())[7], 42);
    EXPECT_EQ(std::memcmp(zeroed.GetConstView(), std::vector<char>(8, 0).data(), 8), 0);
}

TEST_F(SharedMemoryTest, FailuresHaveTheirTextsAndLeaveNothing) {
    // tmpfs refuses to allocate a terabyte at once; the creator reports it instead of a later SIGBUS.
    try {
        SharedMemorySegment huge("HUGE", 0, 0x100, nullptr);
        ADD_FAILURE() << "a 1 TiB segment was created";
    } catch (const std::runtime_error& e) {
        EXPECT_EQ(std::string(e.what()), "Could not create shared memory: HUGE: No space left on device");
    }
    EXPECT_TRUE(m_folder.ListFiles().empty());

    // A holder with an empty file: the opener finds nothing it can map.
    auto empty = Vok::Ipc::CNamedFile::Open(Vok::Ipc::KIND_SEGMENT, "V", 0);
    try {
        SharedMemorySegment view("V", 16, 0, nullptr);
        ADD_FAILURE() << "an empty file was mapped";
    } catch (const std::runtime_error& e) {
        EXPECT_EQ(std::string(e.what()), "Could not create view of shared memory: V: Invalid argument");
    }
    // A size no address space holds is refused as invalid before any mapping is tried.
    try {
        Vok::Ipc::CMappedView::Map(empty.GetFd(), uint64_t{1} << 63);
        ADD_FAILURE() << "a view of 2^63 bytes was mapped";
    } catch (const std::system_error& e) {
        EXPECT_EQ(e.code().value(), EINVAL);
    }
    EXPECT_TRUE(empty.Covers(0));
    empty.Close();
    EXPECT_FALSE(empty.Covers(0));  // a closed file covers nothing
}

TEST_F(SharedMemoryTest, CreationRaceHasOneCreatorAndOneContent) {
    constexpr int PEERS = 8;
    std::vector<std::unique_ptr<CPeerProcess>> peers;
    for (int i = 0; i < PEERS; ++i)
        peers.push_back(std::make_unique<CPeerProcess>(
            std::vector<std::string>{PEER, "pause", "segment", "RACE", "64", std::to_string(i + 1), "pause"}));
    for (auto& peer : peers) ASSERT_TRUE(peer->WaitForLine("READY pause", DEADLINE));
    for (auto& peer : peers) peer->WriteLine("go");

    int created = 0;
    std::set<std::string> contents;
    for (auto& peer : peers) {
        const auto line = peer->WaitForLine("READY segment", DEADLINE);
        ASSERT_TRUE(line);
        created += line->find(" created ") != std::string::npos;
        contents.insert(line->substr(line->rfind(' ') + 1));
    }
    EXPECT_EQ(created, 1);
    ASSERT_EQ(contents.size(), 1u);
    const std::string bytes = *contents.begin();
    EXPECT_EQ(bytes.size(), 128u);
    EXPECT_TRUE(bytes[0] == '0' && bytes[1] >= '1' && bytes[1] <= '8') << bytes;
    for (size_t k = 2; k < bytes.size(); k += 2) EXPECT_EQ(bytes.substr(k, 2), bytes.substr(0, 2));
    for (auto& peer : peers) EXPECT_EQ(peer->Wait(Milliseconds(0)), std::nullopt);  // all still hold it
}

TEST_F(SharedMemoryTest, StateOfAKilledSoleHolderIsNeverTrusted) {
    {
        CPeerProcess peer({PEER, "segment", "STALE", "16", "171", "event", "STALE_EVT", "set", "STALE_EVT", "pause"});
        ASSERT_TRUE(peer.WaitForLine("READY pause", DEADLINE));
        peer.Kill(SIGKILL);
        EXPECT_EQ(peer.Wait(DEADLINE), 128 + SIGKILL);
    }
    EXPECT_EQ(m_folder.ListFiles(), (std::vector<std::string>{"e.STALE_EVT", "m.STALE"}));

    const std::vector<char> fresh(16, 0x11);
    SharedMemorySegment segment("STALE", 16, 0, fresh.data());
    CIpcEvent event("STALE_EVT");
    EXPECT_TRUE(segment.WasCreated());
    EXPECT_EQ(std::memcmp(segment.GetConstView(), fresh.data(), fresh.size()), 0);
    EXPECT_EQ(event.Wait(0), WAIT_TIMEOUT);
}

}  // namespace
