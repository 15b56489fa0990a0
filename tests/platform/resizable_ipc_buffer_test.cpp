#include "platform/resizable_ipc_buffer.h"

#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <stdexcept>
#include <system_error>
#include <string>
#include <vector>

#include "tests/support/ipc_test_folder.h"
#include "tests/support/peer_process.h"

namespace {

using Vok::Test::CPeerProcess;
using Vok::Test::IpcTest;
using Vok::Test::Milliseconds;

class ResizableIpcBufferTest : public IpcTest {};

const std::string PEER = Vok::Test::PeerPath(VOK_BINARY_DIR, "ipc_peer");
constexpr Milliseconds DEADLINE(5000);

class CTestBuffer : public Vok::ResizableIPCBuffer {
public:
    using ResizableIPCBuffer::ResizableIPCBuffer;
    unsigned char* Data() { return m_dataSegment ? static_cast<unsigned char*>(m_dataSegment->GetView()) : nullptr; }
    uint64_t MappedSize() const { return m_dataSegment ? m_dataSegment->GetSize() : 0; }
    DWORD MappedGeneration() const { return m_mappedGeneration; }
};

std::vector<unsigned char> Bytes(CTestBuffer& buffer) {
    return {buffer.Data(), buffer.Data() + buffer.MappedSize()};
}

TEST_F(ResizableIpcBufferTest, AFreshBufferHasNoGenerationAndMapsNothing) {
    CTestBuffer buffer("B");
    EXPECT_FALSE(buffer.Remap());
    EXPECT_EQ(buffer.Data(), nullptr);
    EXPECT_EQ(buffer.GetDataSize(), 0u);
    EXPECT_EQ(buffer.GetGeneration(), 0u);
    EXPECT_EQ(buffer.GetSegmentName(), "B_0");
    EXPECT_EQ(buffer.GetNextSegmentName(), "B_1");
    EXPECT_FALSE(buffer.IsLocked());
    EXPECT_FALSE(buffer.Unlock());
    EXPECT_EQ(m_folder.ListFiles(), (std::vector<std::string>{"l.B", "m.B_MNGT"}));
}

TEST_F(ResizableIpcBufferTest, ResizingCreatesTheNextGenerationAndDropsTheOldName) {
    CTestBuffer buffer("B");
    ASSERT_TRUE(buffer.LockExclusive(0));
    buffer.ResizeAndCopy(24);
    EXPECT_EQ(buffer.GetGeneration(), 1u);
    EXPECT_EQ(Bytes(buffer), std::vector<unsigned char>(24, 0));
    std::memset(buffer.Data(), 5, 24);
    buffer.ResizeAndCopy(24);  // same size: nothing happens
    EXPECT_EQ(buffer.GetGeneration(), 1u);

    buffer.ResizeAndCopy(30);
    std::vector<unsigned char> expected(30, 0);
    std::fill(expected.begin(), expected.begin() + 24, 5);
    EXPECT_EQ(Bytes(buffer), expected);

    const auto previous = buffer.Resize(10);
    ASSERT_NE(previous, nullptr);
    EXPECT_EQ(std::memcmp(previous->GetConstView(), expected.data(), 30), 0);  // still mapped
    EXPECT_EQ(Bytes(buffer), std::vector<unsigned char>(10, 0));
    EXPECT_EQ(buffer.GetGeneration(), 3u);
    EXPECT_EQ(buffer.GetDataSize(), 10u);
    EXPECT_EQ(buffer.MappedGeneration(), 3u);
    EXPECT_EQ(m_folder.ListFiles(), (std::vector<std::string>{"l.B", "m.B_3", "m.B_MNGT"}));
    EXPECT_TRUE(buffer.Unlock());
}

TEST_F(ResizableIpcBufferTest, SizesBeyond32BitsAreRefused) {
    CTestBuffer buffer("B");
    ASSERT_TRUE(buffer.LockExclusive(0));
    try {
        buffer.Resize(0x100000000ull);
        ADD_FAILURE() << "no ResizeError";
    } catch (const Vok::IpcBuffer::ResizeError& e) {
        EXPECT_EQ(std::string(e.what()).rfind("Failed to create shared memory with size 4294967296: ", 0), 0u) << e.what();
    }
    EXPECT_THROW(buffer.ResizeAndCopy(0x100000018ull), Vok::IpcBuffer::ResizeError);
    EXPECT_EQ(buffer.GetGeneration(), 0u);
    EXPECT_EQ(buffer.GetDataSize(), 0u);
}

TEST_F(ResizableIpcBufferTest, AGenerationThatCannotBeCreatedChangesNothing) {
    CTestBuffer buffer("B");
    ASSERT_TRUE(buffer.LockExclusive(0));
    buffer.ResizeAndCopy(16);
    std::memset(buffer.Data(), 9, 16);
    // A directory in the way of the next generation's file.
    const std::string blocker = m_folder.GetPath() + "/m.B_2";
    ASSERT_EQ(::mkdir(blocker.c_str(), 0700), 0);
    try {
        Vok::Ipc::CNamedFile::CreateExclusive(Vok::Ipc::KIND_SEGMENT, "B_2", 100);
        ADD_FAILURE() << "a folder was taken for a stale file";
    } catch (const std::system_error& e) {
        EXPECT_EQ(e.code().value(), EISDIR);  // its removal failed; no further tries
    }
    try {
        buffer.Resize(100);
        ADD_FAILURE() << "no ResizeError";
    } catch (const Vok::IpcBuffer::ResizeError& e) {
        EXPECT_EQ(std::string(e.what()), "Failed to create shared memory with size 100: Could not create shared memory: B_2: Is a directory");
    }
    try {
        buffer.ResizeAndCopy(100);
        ADD_FAILURE() << "no exception";
    } catch (const std::runtime_error& e) {
        EXPECT_EQ(std::string(e.what()), "Could not create shared memory: B_2: Is a directory");
    }
    EXPECT_EQ(buffer.GetGeneration(), 1u);
    EXPECT_EQ(buffer.GetDataSize(), 16u);
    EXPECT_EQ(Bytes(buffer), std::vector<unsigned char>(16, 9));
    ASSERT_EQ(::rmdir(blocker.c_str()), 0);
    EXPECT_TRUE(buffer.Unlock());
}

TEST_F(ResizableIpcBufferTest, AFailedRemapKeepsTheOldMappingAndReleasesTheHold) {
    CTestBuffer reader("B");
    {
        CTestBuffer writer("B");
        ASSERT_TRUE(writer.LockExclusive(0));
        writer.ResizeAndCopy(8);
        std::memset(writer.Data(), 3, 8);
        ASSERT_TRUE(writer.Unlock());
    }
    ASSERT_TRUE(reader.LockShared(0));
    ASSERT_TRUE(reader.Unlock());

    // Another program makes N_MNGT name a generation that does not exist, then one that is too short.
    SharedMemorySegment management("B_MNGT", 8, 0, nullptr);
    auto* fields = static_cast<Vok::sIpcManagement*>(management.GetView());
    NamedReadWriteLock probe("B");
    fields->generation = 3;
    EXPECT_FALSE(reader.LockShared(0));
    EXPECT_EQ(reader.GetRefusal(), "Could not create shared memory: B_3: No such file or directory");
    EXPECT_FALSE(reader.IsLocked());
    EXPECT_EQ(reader.MappedGeneration(), 1u);
    EXPECT_EQ(Bytes(reader), std::vector<unsigned char>(8, 3));
    ASSERT_TRUE(probe.LockExclusive(0));  // the failed call left no hold
    ASSERT_TRUE(probe.UnlockExclusive());

    auto shortFile = Vok::Ipc::CNamedFile::CreateExclusive(Vok::Ipc::KIND_SEGMENT, "B_4", 4);
    EXPECT_TRUE(shortFile.WasCreated());
    *fields = {64, 4};
    EXPECT_FALSE(reader.LockExclusive(0));
    EXPECT_EQ(reader.GetRefusal(), "Could not create view of shared memory: B_4 (cut short to 4 of its 64 bytes)");
    EXPECT_FALSE(reader.IsLocked());
    EXPECT_EQ(Bytes(reader), std::vector<unsigned char>(8, 3));
    ASSERT_TRUE(probe.LockExclusive(0));
    // Refused next because another holds it: the damage's text is not said again.
    EXPECT_FALSE(reader.LockExclusive(0));
    EXPECT_EQ(reader.GetRefusal(), "");

    *fields = {8, 1};
    Vok::Ipc::CIpcFolder::Open().RemoveFile(Vok::Ipc::KIND_SEGMENT, "B_4");
}

TEST_F(ResizableIpcBufferTest, AGrowthByAPeerThatLeftAtOnceIsSeenAtTheNextLock) {
    CTestBuffer reader("B");
    {
        CPeerProcess peer({PEER, "buffer", "B", "grow", "B", "100", "7"});
        ASSERT_TRUE(peer.WaitForLine("READY grow 1", DEADLINE));
        ASSERT_EQ(peer.Wait(DEADLINE), 0);
    }
    ASSERT_TRUE(reader.LockShared(0));
    EXPECT_EQ(reader.MappedGeneration(), 1u);
    EXPECT_EQ(Bytes(reader), std::vector<unsigned char>(100, 7));
    ASSERT_TRUE(reader.Unlock());

    // The old view stays readable while a peer grows the buffer twice and leaves.
    unsigned char* old = reader.Data();
    {
        CPeerProcess peer({PEER, "buffer", "B", "grow", "B", "200", "8", "grow", "B", "300", "9"});
        ASSERT_TRUE(peer.WaitForLine("READY grow 3", DEADLINE));
        ASSERT_EQ(peer.Wait(DEADLINE), 0);
    }
    EXPECT_EQ(old[99], 7);
    EXPECT_EQ(m_folder.ListFiles(), (std::vector<std::string>{"l.B", "m.B_3", "m.B_MNGT"}));
    ASSERT_TRUE(reader.LockShared(0));
    EXPECT_EQ(Bytes(reader), std::vector<unsigned char>(300, 9));
    ASSERT_TRUE(reader.Unlock());
}

TEST_F(ResizableIpcBufferTest, ABufferLeftByAKilledPeerStartsAfresh) {
    {
        CPeerProcess peer({PEER, "buffer", "B", "grow", "B", "50", "1", "grow", "B", "60", "2", "pause"});
        ASSERT_TRUE(peer.WaitForLine("READY pause", DEADLINE));
        peer.Kill(SIGKILL);
        ASSERT_EQ(peer.Wait(DEADLINE), 128 + SIGKILL);
    }
    EXPECT_EQ(m_folder.ListFiles(), (std::vector<std::string>{"l.B", "m.B_2", "m.B_MNGT"}));
    CTestBuffer buffer("B");
    EXPECT_EQ(buffer.GetGeneration(), 0u);
    EXPECT_EQ(buffer.GetDataSize(), 0u);
    EXPECT_EQ(m_folder.ListFiles(), (std::vector<std::string>{"l.B", "m.B_MNGT"}));
}

}  // namespace
