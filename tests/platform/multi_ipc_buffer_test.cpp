#include "platform/multi_ipc_buffer.h"

#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "foundation/system_time.h"
#include "platform/ipc_buffer_handle.h"
#include "tests/support/ipc_test_folder.h"

namespace {

using Vok::MultiIPCBuffer;
using Vok::Test::IpcTest;

class MultiIpcBufferTest : public IpcTest {
protected:
    // The raw bytes of a file in the test's folder, in upper-case hex.
    std::string FileHex(const std::string& fileName) const {
        std::ifstream file(m_folder.GetPath() + "/" + fileName, std::ios::binary);
        std::string text;
        for (std::istreambuf_iterator<char> it(file), end; it != end; ++it) {
            text += "0123456789ABCDEF"[static_cast<unsigned char>(*it) >> 4];
            text += "0123456789ABCDEF"[static_cast<unsigned char>(*it) & 15];
        }
        return text;
    }
};

template <typename F>
std::string OutOfRangeText(F&& operation) {
    try {
        operation();
    } catch (const std::out_of_range& e) {
        return e.what();
    }
    return "no exception";
}

const std::string BAD_BLOCK = "IPCBuffer: Invalid block index";
const std::string BAD_RECORD = "IPCBuffer: Invalid record index";

TEST_F(MultiIpcBufferTest, AFreshNameGetsAnEmptyBufferOfGenerationOne) {
    MultiIPCBuffer buffer("B");
    EXPECT_EQ(buffer.GetGeneration(), 1u);
    EXPECT_FALSE(buffer.IsLocked());
    EXPECT_EQ(FileHex("m.B_1"), "0000000000000000" "0000000000000000" "000000000000F0BF");
}

// The shared format, byte for byte, after adding, writing, removing and resizing blocks.
TEST_F(MultiIpcBufferTest, LayoutAfterAddRemoveAndResizeIsPinned) {
    IpcBufferHandle writer("G", 1);
    MultiIPCBuffer& b = writer.buffer;
    ASSERT_TRUE(writer.Lock());
    EXPECT_EQ(b.AddBlock(0x11, 8, 4), 0u);
    EXPECT_EQ(b.AddBlock(0x22, 6, 0), 1u);
    EXPECT_EQ(b.AddRingBlock(0x33, 12, 4), 2u);
    const BYTE counting[8] = {1, 2, 3, 4, 5, 6, 7, 8};
    writer.WriteBlock(1, counting, sizeof counting);
    writer.WriteBlock(2, std::vector<BYTE>(6, 0xAA).data(), 6);
    b.WriteRecord(2, "\xB1\xB2\xB3\xB4", 4);
    b.SetRecordCount(0, 2);
    CVOKTime stamp;
    stamp.day = 60000;
    stamp.seconds = 3600.5;
    b.SetBlockTime(0, stamp);
    b.RemoveBlock(1);
    b.ResizeBlock(0, 12, true);
    ASSERT_TRUE(writer.Unlock());
    EXPECT_EQ(b.GetGeneration(), 6u);
    EXPECT_EQ(FileHex("m.G_6"),
              // header: 2 blocks, version 4, time (60000, 3600.5)
              "0200000004000000" "60EA000000000000" "000000000021AC40"
              // block 0: id 0x11, size 12, changed 4 times, time, 2 records of 4 bytes at offset 0
              "110000000C000000" "0400000000000000" "60EA000000000000" "000000000021AC40"
              "0200000000000000" "0400000000000000" "0000000000000000"
              // block 1: ring id 0x33, size 12, changed 4 times, no time, 1 record, next 1, offset 12
              "330000000C000000" "0400000000000000" "0000000000000000" "000000000000F0BF"
              "0100000001000000" "0400000001000000" "0C00000000000000"
              // data: block 0 keeps its two records and grows by zeros; the ring's first record
              "0102030405060708" "00000000B1B2B3B4" "0000000000000000");
}

// Far beyond one page, so that a copy that runs past either generation's end cannot pass unnoticed.
TEST_F(MultiIpcBufferTest, RemovingABlockOfALargeBufferKeepsEveryOtherBlock) {
    IpcBufferHandle writer("L", 1);
    MultiIPCBuffer& b = writer.buffer;
    ASSERT_TRUE(writer.Lock());
    constexpr DWORD kBlocks = 200;
    for (DWORD k = 0; k < kBlocks; ++k) {
        b.AddBlock(k, 64, 0);
        std::memset(b.GetBlockData(k), static_cast<int>(k), 64);
    }
    b.RemoveBlock(kBlocks - 2);
    b.RemoveBlock(1);
    ASSERT_EQ(b.GetBlockCount(), kBlocks - 2);
    for (DWORD j = 0; j < kBlocks - 2; ++j) {
        const DWORD k = j == 0 ? 0 : (j < kBlocks - 3 ? j + 1 : kBlocks - 1);
        ASSERT_EQ(b.GetBlockId(j), k);
        ASSERT_EQ(std::vector<BYTE>(b.GetConstBlockData(j), b.GetConstBlockData(j) + 64),
                  std::vector<BYTE>(64, static_cast<BYTE>(k))) << j;
    }
    ASSERT_TRUE(writer.Unlock());
}

TEST_F(MultiIpcBufferTest, ARingOfThreeAfterFourWritesHoldsThreeAndTheNewestAtZero) {
    IpcBufferHandle writer("B", 1);
    MultiIPCBuffer& b = writer.buffer;
    ASSERT_TRUE(writer.Lock());
    b.AddRingBlock(1, 12, 4);
    EXPECT_EQ(b.GetLatestRecordIndex(0), 3u);  // none yet: the capacity
    for (const char* r : {"AAAA", "BBBB", "CCCC", "DDDD"}) b.WriteRecord(0, r, 4);
    EXPECT_EQ(b.GetRecordCount(0), 3u);
    EXPECT_EQ(b.GetBlockDescriptor(0)->nextIndex, 1u);
    EXPECT_EQ(b.GetLatestRecordIndex(0), 0u);
    EXPECT_EQ(writer.GetLastRecord(1), 1u);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(b.GetConstBlockData(0)), 12), "DDDDBBBBCCCC");
    b.SetLatestRecordIndex(0, 2);
    EXPECT_EQ(b.GetBlockDescriptor(0)->nextIndex, 0u);
    EXPECT_EQ(b.GetLatestRecordIndex(0), 2u);  // the next write wraps to slot 0
    b.SetLatestRecordIndex(0, 1);
    EXPECT_EQ(b.GetBlockDescriptor(0)->nextIndex, 2u);
    EXPECT_EQ(b.GetLatestRecordIndex(0), 1u);
    EXPECT_EQ(OutOfRangeText([&] { b.SetLatestRecordIndex(0, 4); }), BAD_RECORD);
    EXPECT_TRUE(writer.Unlock());
}

TEST_F(MultiIpcBufferTest, ALongerRecordWidensTheRingAndKeepsEarlierRecords) {
    IpcBufferHandle writer("B", 1);
    MultiIPCBuffer& b = writer.buffer;
    ASSERT_TRUE(writer.Lock());
    b.AddBlock(9, 5, 5);
    b.AddRingBlock(1, 12, 4);
    b.WriteRecord(1, "AAAA", 4);
    b.WriteRecord(1, "BBBBBBBB", 8, "cc", 2);  // 10 bytes: records of 11
    EXPECT_EQ(b.GetRecordSize(1), 11u);
    EXPECT_EQ(b.GetRecordCapacity(1), 3u);
    EXPECT_EQ(b.GetRecordCount(1), 2u);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(b.GetConstBlockData(1)), 22),
              std::string("AAAA\0\0\0\0\0\0\0BBBBBBBBcc\0", 22));
    EXPECT_EQ(b.GetBlockSize(0), 5u);  // the block before it is untouched
    b.WriteRecord(1, "CC", 2, nullptr, 18);  // room for 18 extra bytes, though none are given
    EXPECT_EQ(b.GetRecordSize(1), 22u);
    EXPECT_EQ(b.GetRecordCount(1), 3u);
    EXPECT_TRUE(writer.Unlock());
}

TEST_F(MultiIpcBufferTest, TheVersionCountsAdditionsAndHoldsThatWroteAndNothingElse) {
    IpcBufferHandle writer("B", 1);
    MultiIPCBuffer& b = writer.buffer;
    ASSERT_TRUE(writer.Lock());
    b.AddBlock(1, 8, 0);  // record size 0: one record of the whole block
    EXPECT_EQ(b.GetRecordCapacity(0), 1u);
    EXPECT_EQ(b.GetVersion(), 1u);
    ASSERT_TRUE(writer.Unlock());
    EXPECT_EQ(b.GetVersion(), 2u);

    ASSERT_TRUE(writer.Lock());
    std::memcpy(b.GetRecord(0, 0), "12345678", 8);  // reaches the descriptor twice
    ASSERT_TRUE(writer.Unlock());
    EXPECT_EQ(b.GetBlockChangeCounter(0), 2u);
    EXPECT_EQ(b.GetVersion(), 3u);

    const auto writeAll = [&] {
        b.GetRecord(0, 0);
        b.GetBlockData(0);
        b.SetRecordCount(0, 1);
        b.SetBlockTime(0, CurrentUtcTime());
    };
    writeAll();  // without any hold
    EXPECT_FALSE(b.Unlock());
    ASSERT_TRUE(b.LockShared(0));
    writeAll();
    ASSERT_TRUE(b.Unlock());
    ASSERT_TRUE(writer.Lock());  // a hold that only reads
    b.GetConstRecord(0, 0);
    ASSERT_TRUE(writer.Unlock());
    EXPECT_EQ(b.GetBlockChangeCounter(0), 2u);
    EXPECT_EQ(b.GetVersion(), 3u);
    EXPECT_TRUE(CVOKTime(*b.GetBlockTime(0)).IsValid());

    // Block copies and stamped block writes are writes too.
    ASSERT_TRUE(writer.Lock());
    writer.WriteBlock(1, "abcdefgh", 8);
    ASSERT_TRUE(writer.Unlock());
    EXPECT_EQ(b.GetVersion(), 4u);
    ASSERT_TRUE(writer.Lock());
    b.CompleteBlockWrite(b.LoadBlock(0), 1, sMjdTime{60000, 0, 1.0}, 1);
    ASSERT_TRUE(writer.Unlock());
    EXPECT_EQ(b.GetVersion(), 5u);
    // Handing out a block's bytes under the hold is a write as well.
    const DWORD changes = b.GetBlockChangeCounter(0);
    ASSERT_TRUE(writer.Lock());
    b.GetBlockData(0);
    ASSERT_TRUE(writer.Unlock());
    EXPECT_EQ(b.GetBlockChangeCounter(0), changes + 1);
    EXPECT_EQ(b.GetVersion(), 6u);
}

TEST_F(MultiIpcBufferTest, TheBufferTimeIsTheNewestBlockTimeAndNeverGoesBack) {
    IpcBufferHandle writer("B", 1);
    MultiIPCBuffer& b = writer.buffer;
    ASSERT_TRUE(writer.Lock());
    b.AddBlock(1, 8, 4);
    b.AddBlock(2, 8, 4);
    const auto at = [](int day, double seconds) {
        CVOKTime t;
        t.day = day;
        t.seconds = seconds;
        return t;
    };
    const auto bufferTime = [&] { return std::make_pair(b.GetTime()->day, b.GetTime()->seconds); };
    using Time = std::pair<int, double>;

    b.SetBlockTime(0, at(60000, 3600.5));
    EXPECT_EQ(bufferTime(), Time(60000, 3600.5));
    // Older: earlier on the same day, and later in the day of the day before.
    b.SetBlockTime(1, at(60000, 3600.0));
    EXPECT_EQ(bufferTime(), Time(60000, 3600.5));
    b.SetBlockTime(1, at(59999, 80000.0));
    EXPECT_EQ(bufferTime(), Time(60000, 3600.5));
    EXPECT_EQ(b.GetBlockTime(1)->day, 59999);
    b.SetBlockTime(1, at(60001, 10.0));
    EXPECT_EQ(bufferTime(), Time(60001, 10.0));

    // A block write stamped with its update's time raises the buffer time the same way.
    b.CompleteBlockWrite(b.LoadBlock(0), 1, sMjdTime{60001, 0, 5.0}, 1);
    EXPECT_EQ(bufferTime(), Time(60001, 10.0));
    EXPECT_EQ(b.GetBlockTime(0)->seconds, 5.0);
    b.CompleteBlockWrite(b.LoadBlock(0), 1, sMjdTime{60000, 0, 86000.0}, 1);
    EXPECT_EQ(bufferTime(), Time(60001, 10.0));
    b.CompleteBlockWrite(b.LoadBlock(0), 1, sMjdTime{60001, 0, 10.25}, 1);
    EXPECT_EQ(bufferTime(), Time(60001, 10.25));
    b.CompleteBlockWrite(b.LoadBlock(1), 1, sMjdTime{60002, 0, 0.0}, 1);
    EXPECT_EQ(bufferTime(), Time(60002, 0.0));
    ASSERT_TRUE(writer.Unlock());
}

TEST_F(MultiIpcBufferTest, BadIndicesAndRingWritesThatDoNotFitAreRefused) {
    IpcBufferHandle writer("B", 1);
    MultiIPCBuffer& b = writer.buffer;
    ASSERT_TRUE(writer.Lock());
    b.AddBlock(1, 8, 4);
    b.AddRingBlock(2, 0, 0);  // size 0, record size 0: capacity 0
    b.AddRingBlock(3, 8, 16);  // records longer than the block: capacity 0
    EXPECT_EQ(OutOfRangeText([&] { b.GetBlockSize(3); }), BAD_BLOCK);
    EXPECT_EQ(OutOfRangeText([&] { b.GetBlockTime(3); }), BAD_BLOCK);
    EXPECT_EQ(OutOfRangeText([&] { b.GetConstRecord(0, 2); }), BAD_RECORD);
    EXPECT_EQ(OutOfRangeText([&] { b.GetRecord(0, 2); }), BAD_RECORD);
    EXPECT_EQ(b.FindBlock(3), 2u);
    EXPECT_EQ(b.FindBlock(7), 3u);

    // A ring write on a plain block used to widen the block on every write.
    EXPECT_EQ(OutOfRangeText([&] { b.WriteRecord(0, "123456", 6); }), BAD_BLOCK);
    EXPECT_EQ(b.GetBlockSize(0), 8u);
    // A ring without a slot used to be written past its end.
    EXPECT_EQ(b.GetRecordCapacity(1), 0u);
    EXPECT_EQ(b.GetLatestRecordIndex(1), 0u);
    EXPECT_EQ(OutOfRangeText([&] { b.WriteRecord(1, "1", 1); }), BAD_RECORD);
    EXPECT_EQ(OutOfRangeText([&] { b.WriteRecord(2, "1", 1); }), BAD_RECORD);
    EXPECT_EQ(b.GetRecordCount(2), 0u);
    b.ResizeBlock(2, 8, true);  // the same size changes nothing, not even a ring's records
    EXPECT_EQ(b.GetRecordSize(2), 16u);
    // Opened while the hold is taken elsewhere: nothing is mapped yet, and nothing is found.
    MultiIPCBuffer late("B", 0);
    EXPECT_TRUE(late.WasOpenedWithoutHold());
    EXPECT_EQ(late.FindBlock(1), 0u);
    EXPECT_TRUE(writer.Unlock());
}

TEST_F(MultiIpcBufferTest, AConstructorThatFailsUnderTheHoldReleasesIt) {
    // A stale generation in the way of the first one: setting the buffer up fails under the hold.
    SharedMemorySegment management("C_MNGT", 8, 0, nullptr);
    const std::string blocker = m_folder.GetPath() + "/m.C_1";
    ASSERT_EQ(::mkdir(blocker.c_str(), 0700), 0);
    EXPECT_THROW(MultiIPCBuffer("C"), std::runtime_error);
    NamedReadWriteLock probe("C");
    EXPECT_TRUE(probe.LockExclusive(0));
    EXPECT_TRUE(probe.UnlockExclusive());
    ASSERT_EQ(::rmdir(blocker.c_str()), 0);
}

}  // namespace
