#include "platform/ipc_buffer_handle.h"

#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <stdexcept>
#include <string>
#include <vector>

#include "tests/support/ipc_test_folder.h"
#include "tests/support/peer_process.h"

namespace {

using Vok::Test::CPeerProcess;
using Vok::Test::IpcTest;
using Vok::Test::Milliseconds;

class IpcBufferHandleTest : public IpcTest {};

const std::string PEER = Vok::Test::PeerPath(VOK_BINARY_DIR, "buffer_peer");
constexpr Milliseconds DEADLINE(5000);

TEST_F(IpcBufferHandleTest, AReaderTreatsAnEmptyBufferAsNotYetPublished) {
    IpcBufferHandle reader("B", 0);
    EXPECT_FALSE(reader.Lock());
    EXPECT_FALSE(reader.buffer.IsLocked());
    EXPECT_FALSE(reader.ContainsBlocks());
    EXPECT_FALSE(IpcBufferHandle::HasBlocks("B"));

    IpcBufferHandle writer("B", 1);
    ASSERT_TRUE(writer.Lock());
    EXPECT_FALSE(writer.ContainsBlocks());
    writer.buffer.AddBlock(1, 4, 0);
    EXPECT_TRUE(UnlockIfLocked(&writer.buffer));
    EXPECT_FALSE(UnlockIfLocked(&writer.buffer));
    EXPECT_EQ(writer.buffer.GetVersion(), 2u);

    EXPECT_TRUE(IpcBufferHandle::HasBlocks("B"));
    EXPECT_TRUE(reader.ContainsBlocks());
    EXPECT_TRUE(reader.Lock());
    EXPECT_TRUE(reader.buffer.IsLocked());
    EXPECT_TRUE(reader.Unlock());
}

TEST_F(IpcBufferHandleTest, RecordCopiesNeverOverrunEitherSide) {
    IpcBufferHandle writer("B", 1);
    ASSERT_TRUE(writer.Lock());
    const DWORD ids[] = {1, 2}, sizes[] = {128, 12}, recordSizes[] = {64, 4};
    EXPECT_EQ(writer.AddBlocks(2, ids, sizes, recordSizes), 2u);
    const std::vector<BYTE> command(64, 0x5A);
    EXPECT_EQ(writer.WriteRecord(1, 2, command.data(), 64), 1);
    EXPECT_EQ(writer.WriteRecord(1, 1, command.data(), 40), 0);  // the source is shorter than a record
    EXPECT_EQ(writer.WriteRecord(1, 3, command.data(), 64), 0);  // beyond the capacity
    ASSERT_TRUE(writer.Unlock());

    IpcBufferHandle reader("B", 0);
    ASSERT_TRUE(reader.Lock());
    std::array<BYTE, 40> small{};
    EXPECT_EQ(reader.ReadRecord(1, 2, small.data(), 40), 0);  // a 64-byte record into 40 bytes
    EXPECT_EQ(small, (std::array<BYTE, 40>{}));
    std::array<BYTE, 70> large;
    large.fill(0xEE);
    ASSERT_EQ(reader.ReadRecord(1, 2, large.data(), 70), 1);
    EXPECT_EQ(std::vector<BYTE>(large.begin(), large.begin() + 64), command);
    EXPECT_EQ(std::vector<BYTE>(large.begin() + 64, large.end()), std::vector<BYTE>(6, 0));
    EXPECT_EQ(reader.ReadRecord(1, 1, large.data(), 70), 1);
    EXPECT_EQ(reader.ReadRecord(0, 1, large.data(), 70), 0);
    EXPECT_EQ(reader.ReadRecord(3, 1, large.data(), 70), 0);
    EXPECT_EQ(reader.ReadRecord(2, 4, large.data(), 70), 0);
    EXPECT_TRUE(reader.Unlock());
}

TEST_F(IpcBufferHandleTest, BlockCopiesStayInsideTheBlock) {
    IpcBufferHandle writer("B", 1);
    ASSERT_TRUE(writer.Lock());
    writer.buffer.AddBlock(1, 8, 2);
    writer.buffer.AddBlock(85, 6, 2);
    writer.WriteBlock(1, "0123456789", 10);
    writer.WriteBlockAt(2, 4, "xy", 2);
    EXPECT_THROW(writer.WriteBlockAt(2, 5, "xy", 2), std::out_of_range);
    EXPECT_THROW(writer.WriteBlockAt(1, 0xFFFFFFF8, "0123456789abcdef", 16), std::out_of_range);  // no wrap at 2^32
    EXPECT_THROW(writer.WriteBlock(3, "x", 1), std::out_of_range);

    writer.buffer.SetRecordCount(0, 3);
    EXPECT_EQ(writer.GetBlockDataSize(1), 6u);
    EXPECT_EQ(writer.GetBlockDataSize(2), 6u);  // id 85: the whole block
    writer.buffer.SetRecordCount(0, 0x80000001);  // as another process might leave it
    EXPECT_EQ(writer.GetBlockDataSize(1), 8u);
    std::array<char, 8> block{};
    EXPECT_EQ(writer.ReadBlock(1, block.data(), 8), 1);
    EXPECT_EQ(std::string(block.data(), 8), "01234567");
    std::array<char, 4> small{};  // the size of 2 records, which another process made 4 since
    EXPECT_EQ(writer.ReadBlock(1, small.data(), 4), 0);
    EXPECT_EQ(small, (std::array<char, 4>{}));
    std::vector<char> shorter(7);  // one byte short, on the heap: a byte written past it is told
    EXPECT_EQ(writer.ReadBlock(1, shorter.data(), 7), 0);
    EXPECT_EQ(shorter, std::vector<char>(7));
    ASSERT_TRUE(writer.Unlock());
    EXPECT_EQ(writer.GetBlockDataSize(1), 0u);  // no hold

    ASSERT_TRUE(writer.Lock());
    writer.WriteRecordResize(1, 2, "ABC", 3);  // records of 3, capacity kept
    EXPECT_EQ(std::memcmp(writer.buffer.GetConstBlockData(0), "01\0ABC", 6), 0);
    EXPECT_THROW(writer.WriteRecordResize(1, 5, "ABCD", 4), std::out_of_range);
    EXPECT_EQ(writer.buffer.GetRecordSize(0), 3u);  // checked before the block was widened
    ASSERT_TRUE(writer.Unlock());
}

// A peer adds a block and records; the reader maps that generation; the peer adds five blocks and
// leaves. The reader's old view still reads until it locks again, then it sees all six blocks.
TEST_F(IpcBufferHandleTest, GrowthByAnotherProcessIsSeenAtTheNextLock) {
    const BYTE* oldRecord = nullptr;
    {
        IpcBufferHandle reader("B", 0);
        DWORD generation = 0;
        {
            CPeerProcess peer({PEER, "open", "B", "1", "lock", "B", "add", "B", "7", "8", "4", "record", "B", "1", "1",
                               "17", "record", "B", "1", "2", "34", "unlock", "B", "pause", "lock", "B", "add", "B",
                               "8", "4", "0", "add", "B", "9", "4", "0", "add", "B", "10", "4", "0", "add", "B", "11",
                               "4", "0", "ring", "B", "12", "8", "4", "unlock", "B", "generation", "B"});
            ASSERT_TRUE(peer.WaitForLine("READY pause", DEADLINE));
            ASSERT_TRUE(reader.Lock());
            generation = reader.buffer.GetGeneration();
            EXPECT_EQ(reader.buffer.GetBlockCount(), 1u);
            oldRecord = reader.buffer.GetConstRecord(0, 1);
            ASSERT_TRUE(reader.Unlock());
            ASSERT_TRUE(peer.WriteLine("go"));
            EXPECT_TRUE(peer.WaitForLine("READY generation " + std::to_string(generation + 5), DEADLINE));
            ASSERT_EQ(peer.Wait(DEADLINE), 0);
        }
        // The old generation's name is gone, but this process still maps it.
        EXPECT_EQ(m_folder.ListFiles(),
                  (std::vector<std::string>{"l.B", "m.B_" + std::to_string(generation + 5), "m.B_MNGT"}));
        EXPECT_EQ(reader.buffer.GetBlockCount(), 1u);
        EXPECT_EQ(oldRecord[0], 34);
        std::array<BYTE, 4> record{};
        EXPECT_EQ(reader.ReadRecord(1, 1, record.data(), 4), 1);
        EXPECT_EQ(record, (std::array<BYTE, 4>{17, 17, 17, 17}));

        ASSERT_TRUE(reader.Lock());
        EXPECT_EQ(reader.buffer.GetGeneration(), generation + 5);
        EXPECT_EQ(reader.buffer.GetBlockCount(), 6u);
        EXPECT_EQ(reader.buffer.FindBlock(12), 5u);
        EXPECT_TRUE(reader.buffer.IsRingBlock(5));
        EXPECT_EQ(reader.buffer.GetRecordCount(0), 2u);
        EXPECT_EQ(reader.ReadRecord(1, 2, record.data(), 4), 1);
        EXPECT_EQ(record, (std::array<BYTE, 4>{34, 34, 34, 34}));
        EXPECT_EQ(reader.buffer.GetVersion(), 8u);  // 6 additions and 2 holds that wrote
        ASSERT_TRUE(reader.Unlock());
    }
    EXPECT_TRUE(m_folder.ListFiles().empty());
}

// Descriptors written by a misbehaving peer: every read answers 0 or std::out_of_range, none leaves the
// mapping. Descriptors: block 0 plain (128 bytes, records of 64) at 24, block 1 ring (12 bytes,
// records of 4) at 80.
TEST_F(IpcBufferHandleTest, CorruptDescriptorsFromAPeerAreRefused) {
    struct sCase {
        const char* offset;  // of the u32 in the segment
        const char* value;
        bool countBad;       // the descriptors no longer fit: every hold is refused
        bool block0Bad;      // block 0 lies outside the data area
        bool record1Readable;
        bool ringWritable;
    };
    const sCase cases[] = {
        {"0", "1000", true, true, false, false},          // block count
        {"0", "0xFFFFFFFF", true, true, false, false},
        {"72", "0xFFFFFFF0", false, true, false, true},   // block 0's offset
        {"28", "4000", false, true, false, true},         // block 0's size
        {"72", "0xFFFFFFFF", false, true, false, true},   // offset + size beyond 32 bits
        {"64", "100", false, false, false, true},         // record size above the reader's 64 bytes
        {"120", "0", false, false, true, false},          // the ring's record size 0: capacity 0
        {"116", "7", false, false, true, false},          // the ring's next index beyond its capacity
    };
    for (const sCase& c : cases) {
        SCOPED_TRACE(std::string(c.offset) + " = " + c.value);
        CPeerProcess peer({PEER, "open", "B", "1", "lock", "B", "add", "B", "1", "128", "64", "record", "B", "1", "1",
                           "9", "ring", "B", "2", "12", "4", "poke", "B", c.offset, c.value, "unlock", "B", "pause"});
        ASSERT_TRUE(peer.WaitForLine("READY pause", DEADLINE));
        if (c.countBad) {
            // A block count that does not fit the generation is refused at the hold, by readers and writers.
            IpcBufferHandle reader("B", 0);
            EXPECT_FALSE(reader.Lock(0));
            EXPECT_EQ(reader.buffer.GetRefusal().rfind("IPCBuffer: B_3 holds ", 0), 0u) << reader.buffer.GetRefusal();
            EXPECT_FALSE(reader.buffer.IsLocked());
            IpcBufferHandle writer("B", 1);
            EXPECT_FALSE(writer.Lock(0));
            EXPECT_FALSE(writer.buffer.IsLocked());
        } else {
            IpcBufferHandle reader("B", 0);
            ASSERT_TRUE(reader.Lock());
            std::array<BYTE, 64> record{};
            EXPECT_EQ(reader.ReadRecord(1, 1, record.data(), 64), c.record1Readable ? 1 : 0);
            EXPECT_EQ(record[63], c.record1Readable ? 9 : 0);
            if (c.block0Bad) {
                EXPECT_THROW(reader.ReadBlock(1, record.data(), 64), std::out_of_range);
            } else {
                EXPECT_LE(reader.GetBlockDataSize(1), 128u);
            }
            EXPECT_EQ(reader.buffer.FindBlock(2), 1u);
            ASSERT_TRUE(reader.Unlock());

            IpcBufferHandle writer("B", 1);
            ASSERT_TRUE(writer.Lock());
            if (c.ringWritable) {
                EXPECT_NO_THROW(writer.buffer.WriteRecord(1, "abcd", 4));
            } else {
                EXPECT_THROW(writer.buffer.WriteRecord(1, "abcd", 4), std::out_of_range);
            }
            ASSERT_TRUE(writer.Unlock());
        }
        ASSERT_TRUE(peer.WriteLine("end"));
        ASSERT_EQ(peer.Wait(DEADLINE), 0);
    }
}

}  // namespace
