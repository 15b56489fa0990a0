#include "platform/read_write_lock.h"

#include <fcntl.h>
#include <signal.h>

#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <future>
#include <memory>
#include <thread>
#include <vector>

#include "platform/shared_memory.h"
#include "tests/support/ipc_test_folder.h"
#include "tests/support/peer_process.h"

namespace {

using Vok::Test::CPeerProcess;
using Vok::Test::CStopwatch;
using Vok::Test::IpcTest;
using Vok::Test::Milliseconds;

class NamedReadWriteLockTest : public IpcTest {};

const std::string PEER = Vok::Test::PeerPath(VOK_BINARY_DIR, "ipc_peer");
constexpr Milliseconds DEADLINE(5000);

TEST_F(NamedReadWriteLockTest, StatesFollowTheObjectsOwnHold) {
    NamedReadWriteLock lock("L");
    EXPECT_FALSE(lock.IsLocked());
    EXPECT_FALSE(lock.IsExclusive());
    EXPECT_FALSE(lock.IsShared());
    EXPECT_FALSE(lock.UnlockShared());
    EXPECT_FALSE(lock.UnlockExclusive());

    ASSERT_TRUE(lock.LockShared(0));
    EXPECT_TRUE(lock.IsLocked() && lock.IsShared() && !lock.IsExclusive());
    EXPECT_FALSE(lock.LockShared(0));  // a second hold of one object is refused, not a deadlock
    EXPECT_FALSE(lock.LockExclusive(INFINITE));
    EXPECT_FALSE(lock.UnlockExclusive());
    EXPECT_TRUE(lock.UnlockShared());
    EXPECT_FALSE(lock.UnlockShared());

    ASSERT_TRUE(lock.LockExclusive(0));
    EXPECT_TRUE(lock.IsLocked() && lock.IsExclusive() && !lock.IsShared());
    EXPECT_FALSE(lock.LockShared(INFINITE));
    EXPECT_FALSE(lock.UnlockShared());
    EXPECT_TRUE(lock.UnlockExclusive());
    EXPECT_FALSE(lock.IsLocked());
}

TEST_F(NamedReadWriteLockTest, ReadersShareAndTheWriterIsAlone) {
    NamedReadWriteLock a("L"), b("L"), c("L");
    ASSERT_TRUE(a.LockShared(0));
    EXPECT_TRUE(b.LockShared(0));
    EXPECT_FALSE(c.LockExclusive(0));
    EXPECT_TRUE(a.UnlockShared());
    EXPECT_FALSE(c.LockExclusive(0));  // b still reads
    EXPECT_TRUE(b.UnlockShared());
    ASSERT_TRUE(c.LockExclusive(0));
    EXPECT_FALSE(a.LockShared(0));
    EXPECT_FALSE(b.LockExclusive(0));
}

TEST_F(NamedReadWriteLockTest, AWaitingWriterStopsNewReaders) {
    NamedReadWriteLock reader("L"), writer("L"), late("L");
    ASSERT_TRUE(reader.LockShared(0));
    auto written = std::async(std::launch::async, [&] { return writer.LockExclusive(5000); });
    // Once the writer holds the turnstile a late reader cannot pass, although only a reader holds.
    CStopwatch clock;
    while (late.LockShared(0)) {
        late.UnlockShared();
        ASSERT_LT(clock.Elapsed(), DEADLINE);
        std::this_thread::sleep_for(Milliseconds(1));
    }
    EXPECT_FALSE(late.LockShared(50));
    EXPECT_TRUE(reader.UnlockShared());
    ASSERT_EQ(written.wait_for(DEADLINE), std::future_status::ready);
    EXPECT_TRUE(written.get());
    EXPECT_TRUE(writer.UnlockExclusive());
    EXPECT_TRUE(late.LockShared(0));
}

TEST_F(NamedReadWriteLockTest, AFiniteTimeoutIsOneDeadlineForTheWholeCall) {
    NamedReadWriteLock lock("L");
    // Hold the turnstile for 200 ms and the hold byte throughout, through the lock file's own bytes.
    auto turnstile = Vok::Ipc::CNamedFile::Open(Vok::Ipc::KIND_LOCK, "L", 8);
    auto hold = Vok::Ipc::CNamedFile::Open(Vok::Ipc::KIND_LOCK, "L", 8);
    ASSERT_EQ(Vok::Ipc::SetRecordLock(turnstile.GetFd(), F_WRLCK, 1, 1, false), 0);
    ASSERT_EQ(Vok::Ipc::SetRecordLock(hold.GetFd(), F_WRLCK, 0, 1, false), 0);
    std::thread release([&] {
        std::this_thread::sleep_for(Milliseconds(200));
        Vok::Ipc::SetRecordLock(turnstile.GetFd(), F_UNLCK, 1, 1, false);
    });
    CStopwatch clock;
    EXPECT_FALSE(lock.LockExclusive(300));
    const auto elapsed = clock.Elapsed();
    release.join();
    EXPECT_GE(elapsed, Milliseconds(300));
    EXPECT_LT(elapsed, Milliseconds(450));  // a full 300 ms for the second step would end at 500 ms
    // The failed call gave the turnstile back.
    EXPECT_EQ(Vok::Ipc::SetRecordLock(turnstile.GetFd(), F_WRLCK, 1, 1, false), 0);
    // An error other than a holder's is no reason to wait: said at once.
    clock = CStopwatch();
    EXPECT_EQ(Vok::Ipc::SetRecordLockUntil(-1, F_WRLCK, 1, 1, std::chrono::steady_clock::now() + Milliseconds(2000)), EBADF);
    EXPECT_LT(clock.Elapsed(), Milliseconds(1000));
}

TEST_F(NamedReadWriteLockTest, AnExclusiveHoldTakesBothBytesAtOnceOnlyWhenNobodyIsInTheWay) {
    NamedReadWriteLock lock("L");
    auto bytes = Vok::Ipc::CNamedFile::Open(Vok::Ipc::KIND_LOCK, "L", 8);
    const int fd = bytes.GetFd();
    // A writer that waits for readers holds the turnstile alone; a reader holds the hold byte alone.
    // Either way the new writer waits its turn and gets nothing.
    for (const auto& [type, byte] : {std::pair<short, off_t>{F_WRLCK, 1}, {F_RDLCK, 0}}) {
        ASSERT_EQ(Vok::Ipc::SetRecordLock(fd, type, byte, 1, false), 0);
        EXPECT_FALSE(lock.LockExclusive(30)) << byte;
        EXPECT_FALSE(lock.IsLocked()) << byte;
        ASSERT_EQ(Vok::Ipc::SetRecordLock(fd, F_UNLCK, byte, 1, false), 0);
    }
    // Nobody in the way: held with both bytes, as the two steps would have left them.
    ASSERT_TRUE(lock.LockExclusive(0));
    EXPECT_EQ(Vok::Ipc::SetRecordLock(fd, F_RDLCK, 0, 1, false), EAGAIN);
    EXPECT_EQ(Vok::Ipc::SetRecordLock(fd, F_WRLCK, 1, 1, false), EAGAIN);
    ASSERT_TRUE(lock.UnlockExclusive());
    EXPECT_EQ(Vok::Ipc::SetRecordLock(fd, F_WRLCK, 0, 2, false), 0);
}

TEST_F(NamedReadWriteLockTest, DestroyingALockReleasesItsHold) {
    NamedReadWriteLock other("L");
    {
        NamedReadWriteLock holder("L");
        ASSERT_TRUE(holder.LockExclusive(0));
        EXPECT_FALSE(other.LockShared(0));
    }
    EXPECT_TRUE(other.LockExclusive(0));
}

TEST_F(NamedReadWriteLockTest, GuardsHoldForTheirScopeOnly) {
    NamedReadWriteLock lock("L"), other("L");
    {
        Vok::SharedLockGuard guard(lock, 0);
        EXPECT_TRUE(guard.IsLocked());
        EXPECT_TRUE(lock.IsShared());
        EXPECT_FALSE(other.LockExclusive(0));
    }
    EXPECT_FALSE(lock.IsLocked());
    {
        Vok::ExclusiveLockGuard guard(lock, 0);
        EXPECT_TRUE(guard.IsLocked());
        Vok::SharedLockGuard refused(other, 20);
        EXPECT_FALSE(refused.IsLocked());
    }
    EXPECT_TRUE(other.LockExclusive(0));
    {
        Vok::ExclusiveLockGuard refused(lock, 0);
        EXPECT_FALSE(refused.IsLocked());
    }
    EXPECT_TRUE(other.IsExclusive());  // the refused guard released nothing
}

// A peer holds the lock and dies: its hold goes with it, and the data stays.
void KilledHolder(const char* kind) {
    SharedMemorySegment data("DATA", 4, 0, nullptr);
    NamedReadWriteLock lock("L");
    CPeerProcess peer({PEER, "segment", "DATA", "4", "0", "lock", "L", kind, "L", "INFINITE", "write", "DATA", "2",
                       "77", "pause"});
    ASSERT_TRUE(peer.WaitForLine("READY pause", DEADLINE));

    CStopwatch clock;
    EXPECT_FALSE(lock.LockExclusive(100));
    EXPECT_GE(clock.Elapsed(), Milliseconds(100));
    EXPECT_LT(clock.Elapsed(), Milliseconds(1000));

    peer.Kill(SIGKILL);
    ASSERT_EQ(peer.Wait(DEADLINE), 128 + SIGKILL);
    CStopwatch after;
    ASSERT_TRUE(lock.LockExclusive(2000));
    EXPECT_LT(after.Elapsed(), Milliseconds(500));
    EXPECT_EQ(static_cast<const unsigned char*>(data.GetConstView())[2], 77);
    EXPECT_TRUE(lock.UnlockExclusive());
}

TEST_F(NamedReadWriteLockTest, AKilledExclusiveHolderBlocksNoOne) { KilledHolder("exclusive"); }

TEST_F(NamedReadWriteLockTest, AKilledSharedHolderBlocksNoOne) { KilledHolder("shared"); }

TEST_F(NamedReadWriteLockTest, WritersAndReadersInManyProcessesExcludeEachOther) {
    constexpr int WRITERS = 3, READERS = 3, ROUNDS = 3000;
    SharedMemorySegment pair("PAIR", 16, 0, nullptr);
    std::vector<std::unique_ptr<CPeerProcess>> peers;
    for (int i = 0; i < WRITERS + READERS; ++i) {
        const char* role = i < WRITERS ? "writers" : "readers";
        peers.push_back(std::make_unique<CPeerProcess>(std::vector<std::string>{
            PEER, "segment", "PAIR", "16", "0", "lock", "PAIRLOCK", "pause", role, "PAIRLOCK", "PAIR",
            std::to_string(ROUNDS), "pause"}));
    }
    for (auto& peer : peers) ASSERT_TRUE(peer->WaitForLine("READY pause", DEADLINE));
    for (auto& peer : peers) peer->WriteLine("go");
    for (int i = 0; i < WRITERS + READERS; ++i) {
        const auto line = peers[i]->WaitForLine(i < WRITERS ? "READY writers" : "READY readers", Milliseconds(60000));
        ASSERT_TRUE(line) << "peer " << i << " failed or hung";
    }
    const auto* counts = static_cast<const uint64_t*>(pair.GetConstView());
    EXPECT_EQ(counts[0], uint64_t{WRITERS * ROUNDS});
    EXPECT_EQ(counts[1], uint64_t{WRITERS * ROUNDS});
}

}  // namespace
