#include "definitions/project/event_chains.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "definitions/header/hdr_list.h"
#include "definitions/file/vok_file.h"
#include "tests/support/block_file_samples.h"
#include "tests/support/file_helpers.h"

namespace {

using Vok::Test::CLeBytes;
using Vok::Test::CTempFolder;

bool SameTime(const SYSTEMTIME& a, const SYSTEMTIME& b) {
    return std::memcmp(&a, &b, sizeof a) == 0;
}

std::string Text(const SYSTEMTIME& t) {
    return std::to_string(t.wYear) + "-" + std::to_string(t.wMonth) + "-" + std::to_string(t.wDay) + " dow " +
           std::to_string(t.wDayOfWeek) + " " + std::to_string(t.wHour) + ":" + std::to_string(t.wMinute) + ":" +
           std::to_string(t.wSecond) + "." + std::to_string(t.wMilliseconds);
}

constexpr SYSTEMTIME kZero{};

class CEventChainsTest : public ::testing::Test {
protected:
    CVOKFile& OpenWith(const std::vector<uint8_t>& bytes) {
        Vok::Test::WriteFileBytes(m_path, bytes);
        m_file.Abort();
        EXPECT_TRUE(m_file.Open(m_path.c_str(), CFile::modeReadWrite));
        return m_file;
    }
    // A file whose only block is block 7 with the payload.
    CVOKFile& OpenEvents(const std::vector<uint8_t>& payload) { return OpenWith(CLeBytes().I32(1).Block(7, payload)); }

    CTempFolder m_folder;
    std::string m_path = m_folder / "events.vok";
    CVOKFile m_file;
};

// A 56-byte fix event: next, id, the time (MJD 59000 = 2020-05-31, a Sunday) at 32.
std::vector<uint8_t> Fix(int32_t next, int32_t id, double seconds) {
    return CLeBytes().I32(next).I32(id).Zeros(24).MjdTime(59000, seconds).Zeros(8);
}

TEST_F(CEventChainsTest, ASampleProjectGivesItsTimeSpan) {
    CVOKFile& file = OpenWith({});
    Vok::Test::WriteSampleProject(file);
    CHdrList headers;
    ASSERT_EQ(headers.ReadBlock(file, 0, 0), 1);

    int firstId = -9, lastId = -9;
    SYSTEMTIME first{}, last{};
    EXPECT_EQ(file.GetFixEventRange(&headers, &firstId, &first, &lastId, &last), 1);
    EXPECT_EQ(firstId, 101);
    EXPECT_EQ(lastId, 103);
    EXPECT_TRUE(SameTime(first, {2020, 5, 0, 31, 1, 0, 0, 500})) << Text(first);
    EXPECT_TRUE(SameTime(last, {2020, 5, 0, 31, 1, 0, 2, 500})) << Text(last);

    EXPECT_EQ(file.GetHeartbeatTimeRange(&headers, &first, &last), 1);
    EXPECT_TRUE(SameTime(first, {2020, 5, 0, 31, 0, 1, 0, 0})) << Text(first);
    EXPECT_TRUE(SameTime(last, {2020, 5, 0, 31, 0, 2, 0, 0})) << Text(last);

    // The oldest form: the empty first record stands for the one after it.
    EXPECT_EQ(file.GetFixRange(&firstId, &first, &lastId, &last), 1);
    EXPECT_EQ(firstId, 11);
    EXPECT_EQ(lastId, 12);
    EXPECT_TRUE(SameTime(first, {2019, 1, 0, 2, 3, 4, 5, 6})) << Text(first);
    EXPECT_TRUE(SameTime(last, {2019, 1, 0, 2, 4, 0, 0, 0})) << Text(last);

    // Node events: the first time goes through the time value (2018-07-08 is a Sunday), the
    // last is copied as stored.
    EXPECT_EQ(file.GetNodeEventTimeRange(&first, &last), 1);
    EXPECT_TRUE(SameTime(first, {2018, 7, 0, 8, 9, 10, 11, 12})) << Text(first);
    EXPECT_TRUE(SameTime(last, {2018, 7, 0, 8, 10, 0, 0, 0})) << Text(last);

    EXPECT_DOUBLE_EQ(GetMetaDataDuration(&headers), 86400.0 - 50.0);
    headers.RemoveAll();
}

TEST_F(CEventChainsTest, WrittenRecordsAreLinkedInFileOrder) {
    CVOKFile& file = OpenWith(CLeBytes().I32(1));
    file.SeekToEnd();
    const ULONGLONG start = file.BeginBlock();
    const int base = static_cast<int>(start);
    int first = -1, last = -1, otherFirst = -1, otherLast = -1;
    const std::vector<uint8_t> record = CLeBytes().I32(-1).I32(0x11);
    const std::vector<uint8_t> other = CLeBytes().I32(-1).I32(0x22).I32(0x33);
    EXPECT_EQ(file.WriteChainedRecord(record.data(), 8, &first, &last, base), 1);
    EXPECT_EQ(first, 0);
    EXPECT_EQ(last, 0);
    file.WriteChainedRecord(other.data(), 12, &otherFirst, &otherLast, base);
    file.WriteChainedRecord(record.data(), 8, &first, &last, base);
    file.WriteChainedRecord(record.data(), 8, &first, &last, base);
    EXPECT_EQ(first, 0);
    EXPECT_EQ(last, 28);
    EXPECT_EQ(otherFirst, 8);
    EXPECT_EQ(otherLast, 8);
    file.EndBlock(start, file.GetPosition() - start, 7);
    file.Close();
    const std::vector<uint8_t> expected = CLeBytes()
                                              .I32(1).I32(7).I32(36)
                                              .I32(20).I32(0x11)
                                              .I32(-1).I32(0x22).I32(0x33)
                                              .I32(28).I32(0x11)
                                              .I32(-1).I32(0x11);
    EXPECT_EQ(Vok::Test::ReadFileBytes(m_path), expected);
    EXPECT_THROW(file.WriteChainedRecord(record.data(), 8, nullptr, &last, base), CInvalidArgException);
}

TEST_F(CEventChainsTest, FixChainWalks) {
    struct sRow {
        const char* what;
        std::vector<uint8_t> block;
        int firstOffset;
        int result;
        int32_t firstId;
        int32_t lastId;
    } const rows[] = {
        {"one record", Fix(-1, 5, 0.0), 0, 1, 5, 0},
        {"three records", CLeBytes().Append(Fix(56, 1, 0.0)).Append(Fix(112, 2, 0.0)).Append(Fix(-1, 9, 0.0)), 0, 1, 1, 9},
        {"a link backwards", CLeBytes().Append(Fix(112, 1, 0.0)).Append(Fix(-1, 9, 0.0)).Append(Fix(56, 2, 0.0)), 0, 0, 1, 2},
        {"second links back to the first", CLeBytes().Append(Fix(56, 1, 0.0)).Append(Fix(0, 2, 0.0)), 0, 0, 1, 0},
        {"first links to itself", Fix(0, 3, 0.0), 0, 0, 3, 0},
        {"link past the block is kept as last", CLeBytes().Append(Fix(56, 1, 0.0)).Append(Fix(500, 2, 0.0)), 0, 0, 1, 2},
        {"negative link is kept as last", CLeBytes().Append(Fix(56, 1, 0.0)).Append(Fix(-5, 2, 0.0)), 0, 0, 1, 2},
        {"link into a cut record", CLeBytes().Append(Fix(56, 1, 0.0)).Zeros(20), 0, 0, 1, 0},
        {"no chain", Fix(-1, 5, 0.0), -1, 0, 0, 0},
        {"first offset past the block", Fix(-1, 5, 0.0), 8, 0, 0, 0},
        {"negative first offset", Fix(-1, 5, 0.0), -8, 0, 0, 0},
    };
    for (const sRow& r : rows) {
        CVOKFile& file = OpenEvents(r.block);
        int firstId = -9, lastId = -9;
        SYSTEMTIME first{}, last{};
        EXPECT_EQ(file.ReadFixEventChain(&firstId, &first, &lastId, &last, r.firstOffset), r.result) << r.what;
        EXPECT_EQ(firstId, r.firstId) << r.what;
        EXPECT_EQ(lastId, r.lastId) << r.what;
        EXPECT_EQ(SameTime(last, kZero), r.lastId == 0) << r.what;
    }
    // The old layout (64-byte records, the time at 48) keeps such a last record too.
    auto old = [](int32_t next, int32_t id) { return CLeBytes().I32(next).I32(id).Zeros(40).MjdTime(59000, 1.0).Bytes(); };
    CVOKFile& file = OpenEvents(CLeBytes().Append(old(64, 1)).Append(old(500, 2)));
    int firstId = -9, lastId = -9;
    SYSTEMTIME first{}, last{};
    EXPECT_EQ(file.ReadOldFixEventChain(&firstId, &first, &lastId, &last, 0), 0);
    EXPECT_EQ(lastId, 2);
    EXPECT_TRUE(SameTime(last, {2020, 5, 0, 31, 0, 0, 1, 0})) << Text(last);
}

TEST_F(CEventChainsTest, HeartbeatChainsDropABrokenLast) {
    auto beat = [](int32_t next, double seconds) { return CLeBytes().I32(next).Zeros(4).MjdTime(59000, seconds).Bytes(); };
    struct sRow {
        const char* what;
        std::vector<uint8_t> block;
        int result;
        bool lastSet;
    } const rows[] = {
        {"two beats", CLeBytes().Append(beat(24, 1.0)).Append(beat(-1, 2.0)), 1, true},
        {"one beat", beat(-1, 1.0), 1, false},
        {"link past the block", CLeBytes().Append(beat(24, 1.0)).Append(beat(49, 2.0)), 0, false},
        {"negative link", CLeBytes().Append(beat(24, 1.0)).Append(beat(-3, 2.0)), 0, false},
    };
    for (const sRow& r : rows) {
        CVOKFile& file = OpenEvents(r.block);
        SYSTEMTIME first{}, last{};
        EXPECT_EQ(file.ReadHeartbeatChain(&first, &last, 0), r.result) << r.what;
        EXPECT_TRUE(SameTime(first, {2020, 5, 0, 31, 0, 0, 1, 0})) << r.what << " " << Text(first);
        EXPECT_EQ(!SameTime(last, kZero), r.lastSet) << r.what;
    }
}

TEST_F(CEventChainsTest, TheHeaderRecordChoosesTheChain) {
    // An old fix chain: 64-byte records with the time at 48.
    const std::vector<uint8_t> old = CLeBytes().I32(-1).I32(77).Zeros(40).MjdTime(59000, 0.25);
    CVOKFile& file = OpenEvents(old);
    int firstId = 0, lastId = 0;
    SYSTEMTIME first{}, last{};
    CHdrList headers;
    EXPECT_EQ(file.GetFixEventRange(&headers, &firstId, &first, &lastId, &last), 0);
    EXPECT_EQ(file.GetHeartbeatTimeRange(&headers, &first, &last), 0);
    headers.AddRecord(125, 4, nullptr, 0);
    EXPECT_EQ(file.GetFixEventRange(&headers, &firstId, &first, &lastId, &last), 1);
    EXPECT_EQ(firstId, 77);
    EXPECT_TRUE(SameTime(first, {2020, 5, 0, 31, 0, 0, 0, 250})) << Text(first);
    // A current record without a chain wins over the old one.
    headers.AddRecord(215, 4, nullptr, -1);
    firstId = 5;
    EXPECT_EQ(file.GetFixEventRange(&headers, &firstId, &first, &lastId, &last), 0);
    EXPECT_EQ(firstId, 5);
    EXPECT_EQ(file.GetFixEventRange(nullptr, &firstId, &first, &lastId, &last), 0);
    headers.AddRecord(149, 4, nullptr, -1);
    EXPECT_EQ(file.GetHeartbeatTimeRange(&headers, &first, &last), 0);
    headers.RemoveAll();
}

TEST(MetaDataDuration, NeedsBothDays) {
    CHdrList headers;
    EXPECT_EQ(GetMetaDataDuration(&headers), 0.0);
    EXPECT_EQ(GetMetaDataDuration(nullptr), 0.0);
    uint8_t* meta = headers.AddRecord(233, 1280, nullptr, -1);
    const std::vector<uint8_t> times = CLeBytes().MjdTime(59000, 10.0).Zeros(24).MjdTime(0, 20.0);
    std::memcpy(meta + 16, times.data(), times.size());
    EXPECT_EQ(GetMetaDataDuration(&headers), 0.0);
    const std::vector<uint8_t> end = CLeBytes().MjdTime(59000, 70.5);
    std::memcpy(meta + 56, end.data(), end.size());
    EXPECT_EQ(GetMetaDataDuration(&headers), 60.5);
    headers.RemoveAll();
}

TEST_F(CEventChainsTest, OldestFixesCheckTheirOffsets) {
    auto fix = [](int32_t next, WORD hour, int32_t number) {
        return CLeBytes().I32(next).Time(hour == 0 ? 0 : 2019, hour == 0 ? 0 : 1, hour == 0 ? 0 : 2, hour, 0, 0, 0)
            .I32(number).Bytes();
    };
    struct sRow {
        const char* what;
        std::vector<uint8_t> head;
        std::vector<uint8_t> records;
        int result;
        int32_t firstFix;
        int32_t lastFix;
    } const rows[] = {
        {"empty first alone", CLeBytes().I32(0).I32(24).I32(0), CLeBytes().Append(fix(-1, 0, 1)).Append(fix(-1, 5, 2)), 0, 0, 2},
        {"first", CLeBytes().I32(24).I32(0).I32(0), CLeBytes().Append(fix(-1, 3, 1)).Append(fix(-1, 5, 2)), 1, 2, 1},
        {"first past the block", CLeBytes().I32(48).I32(0).I32(0), fix(-1, 3, 1), 0, 0, 0},
        {"last past the block", CLeBytes().I32(0).I32(-24).I32(0), fix(-1, 3, 1), 0, 1, 0},
        {"successor past the block", CLeBytes().I32(0).I32(0).I32(0), fix(4000, 0, 1), 0, 0, 0},
        {"no chain", CLeBytes().I32(-1).I32(0).I32(0), fix(-1, 3, 1), 0, 0, 0},
        {"short head", CLeBytes().I32(0).I32(0), fix(-1, 3, 1), 0, 0, 0},
    };
    for (const sRow& r : rows) {
        CVOKFile& file = OpenWith(CLeBytes().I32(2).Block(9, r.head).Block(13, r.records));
        int firstFix = -9, lastFix = -9;
        SYSTEMTIME first{}, last{};
        EXPECT_EQ(file.GetFixRange(&firstFix, &first, &lastFix, &last), r.result) << r.what;
        EXPECT_EQ(firstFix, r.firstFix) << r.what;
        EXPECT_EQ(lastFix, r.lastFix) << r.what;
    }
}

TEST_F(CEventChainsTest, NodeEventsNeedTheBlockAfterBlock16) {
    const std::vector<uint8_t> head = CLeBytes().Zeros(8).I32(0).Zeros(8);
    const std::vector<uint8_t> record = CLeBytes().I32(-1).Time(2018, 7, 8, 9, 0, 0, 0).Zeros(132);
    SYSTEMTIME first{1, 1, 0, 1, 0, 0, 0, 0}, last = first;
    CVOKFile& alone = OpenWith(CLeBytes().I32(2).Block(12, head).Block(16, {}));
    EXPECT_EQ(alone.GetNodeEventTimeRange(&first, &last), 0);
    EXPECT_TRUE(SameTime(first, kZero));
    CVOKFile& without12 = OpenWith(CLeBytes().I32(2).Block(16, {}).Block(5, record));
    EXPECT_EQ(without12.GetNodeEventTimeRange(&first, &last), 0);
    // A link that does not lead forward ends the walk.
    const std::vector<uint8_t> looping = CLeBytes().I32(0).Time(2018, 7, 8, 9, 0, 0, 0).Zeros(132);
    CVOKFile& loop = OpenWith(CLeBytes().I32(3).Block(12, head).Block(16, {}).Block(5, looping));
    EXPECT_EQ(loop.GetNodeEventTimeRange(&first, &last), 1);
    EXPECT_TRUE(SameTime(first, {2018, 7, 0, 8, 9, 0, 0, 0})) << Text(first);
    EXPECT_TRUE(SameTime(last, {2018, 7, 0, 8, 9, 0, 0, 0})) << Text(last);
}

}  // namespace
