#include "definitions/file/vok_file.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "definitions/records/definition_records.h"
#include "definitions/header/hdr_list.h"
#include "definitions/file/his_list.h"
#include "definitions/lists/node_def_list.h"
#include "tests/support/block_file_samples.h"
#include "tests/support/file_helpers.h"

namespace {

using Vok::Test::CLeBytes;
using Vok::Test::CTempFolder;
using Vok::Test::ReadFileBytes;
using Vok::Test::WriteFileBytes;

// A block file in a folder of its own, written from bytes and opened for reading and writing.
class CBlockFileTest : public ::testing::Test {
protected:
    CVOKFile& OpenWith(const std::vector<uint8_t>& bytes) {
        WriteFileBytes(m_path, bytes);
        m_file.Abort();
        EXPECT_TRUE(m_file.Open(m_path.c_str(), CFile::modeReadWrite));
        return m_file;
    }
    std::vector<uint8_t> Bytes() { return ReadFileBytes(m_path); }

    CTempFolder m_folder;
    std::string m_path = m_folder / "project.vok";
    CVOKFile m_file;
};

TEST_F(CBlockFileTest, WritesASmallProjectByteForByte) {
    CVOKFile& file = OpenWith({});
    const int32_t count = 3;
    file.Write(&count, sizeof count);
    const ULONGLONG start = file.BeginBlock();
    EXPECT_EQ(start, 12u);
    const int32_t version = 7;
    file.Write(&version, sizeof version);
    file.EndBlock(start, file.GetPosition() - start, BLOCK_VERSION);
    EXPECT_EQ(file.GetPosition(), 16u);

    CNodeDefList nodes;
    sNodeDef node{};
    node.id = 5;
    node.number = 12;
    SetFieldText(node.name, "N1");
    node.nodeType = 2;
    node.objectId = 3;
    node.x = 1.5;
    node.y = -2.0;
    node.z = 0.25;
    nodes.Add(node);
    nodes.WriteBlock(file);

    CHdrList headers;
    const float offset = 16.0f;
    headers.AddRecord(139, sizeof offset, &offset, 99);
    headers.GetEntryAt(0)->flag = 2;
    EXPECT_EQ(headers.WriteBlock(file, 1), 1);
    file.Close();

    const std::vector<uint8_t> expected =
        CLeBytes()
            .I32(3)
            .I32(26).I32(4).I32(7)
            .I32(38).I32(128)
            .I32(5).I32(12).I32(0).Text("N1", 61).U8(0).U8(0).U8(0).U32(2).I32(3).I32(0)
            .F64(1.5).F64(-2.0).F64(0.25).F32(0).F32(0).F32(0).U32(0)
            .I32(33).I32(17)
            .I32(4).U8(2).I32(139).F32(16.0f).I32(-1);
    EXPECT_EQ(Bytes(), expected);
    // The entry knows where its event link word lies: count, two blocks, the block header and 13 bytes.
    EXPECT_EQ(headers.GetEntryAt(0)->filePosition, 4u + 12u + 136u + 8u + 13u);
    EXPECT_EQ(headers.GetEntryAt(0)->eventLink, -1);
}

TEST_F(CBlockFileTest, EmptyAndZeroCountFilesHoldNoBlocks) {
    for (const std::vector<uint8_t>& bytes : {std::vector<uint8_t>{}, std::vector<uint8_t>(4, 0)}) {
        CVOKFile& file = OpenWith(bytes);
        EXPECT_EQ(file.FindBlock(26), 0);
        EXPECT_EQ(file.GetPosition(), 0u);
        EXPECT_EQ(file.GetBlockCount(), 0);
        sBlockHeader header{1, 1};
        EXPECT_FALSE(file.ReadFirstBlockHeader(header));
        EXPECT_EQ(file.ReadVersionBlock(), 0);
        EXPECT_TRUE(file.SeekPastBlocks());
        file.ClearAllBlockIds();
        file.ClearBlockId(0);
        file.RecountBlocks();
        file.Close();
        EXPECT_EQ(Bytes(), bytes);
    }
}

TEST_F(CBlockFileTest, CountsUpTo10000AreSearched) {
    const std::vector<uint8_t> blocks = CLeBytes().Block(5, {1, 2}).Block(26, CLeBytes().I32(3));
    CVOKFile& file = OpenWith(CLeBytes().I32(10000).Append(blocks));
    EXPECT_EQ(file.FindBlock(26), 1);
    EXPECT_EQ(file.GetPosition(), 14u);
    EXPECT_EQ(file.ReadVersionBlock(), 3);
    // A count that promises more blocks than there are ends at the file's end.
    EXPECT_EQ(file.FindBlock(9), 0);
    EXPECT_EQ(file.GetPosition(), 0u);
    EXPECT_FALSE(file.SeekPastBlocks());

    CVOKFile& refused = OpenWith(CLeBytes().I32(10001).Append(blocks));
    EXPECT_EQ(refused.FindBlock(5), 0);
    EXPECT_EQ(refused.GetPosition(), 4u);
    EXPECT_EQ(refused.ReadVersionBlock(), 0);
}

TEST_F(CBlockFileTest, DuplicateIdsFindTheFirstAndClearAll) {
    CVOKFile& file = OpenWith(CLeBytes().I32(3).Block(9, {1}).Block(7, {}).Block(9, {2, 3}));
    EXPECT_EQ(file.FindBlock(9), 1);
    EXPECT_EQ(file.GetPosition(), 4u);
    sBlockHeader header;
    ASSERT_TRUE(file.ReadBlockHeader(header));
    EXPECT_EQ(header.size, 1);
    EXPECT_EQ(file.SkipBlockById(7), 1);
    EXPECT_EQ(file.GetPosition(), 21u);
    file.ClearBlockId(9);
    EXPECT_EQ(file.GetPosition(), 21u);
    EXPECT_EQ(file.FindBlock(9), 0);
    file.Close();
    EXPECT_EQ(Bytes(), CLeBytes().I32(3).Block(0, {1}).Block(7, {}).Block(0, {2, 3}).Bytes());
}

TEST_F(CBlockFileTest, ClearingAllKeepsTheEventBlocksAndTheSizes) {
    CVOKFile& file = OpenWith(CLeBytes().I32(4).Block(5, {1, 2}).Block(7, {3}).Block(15, {}).Block(40, {4}));
    file.Seek(6, CFile::begin);
    file.ClearAllBlockIds();
    EXPECT_EQ(file.GetPosition(), 6u);
    CStringArray lines;
    file.Dump(lines);
    const std::vector<std::string> expected = {
        "---------- VOK File contains 4 blocks ----------",
        " Block Id 0 'Unused block type' Offset 12 Size 2",
        " Block Id 7 'Observation Events' Offset 22 Size 1",
        " Block Id 15 'Observation Events' Offset 31 Size 0",
        " Block Id 0 'Unused block type' Offset 39 Size 1",
        "---------- History list -------------------------",
        "---------- VOK File end -------------------------",
    };
    ASSERT_EQ(lines.GetSize(), static_cast<INT_PTR>(expected.size()));
    for (size_t k = 0; k < expected.size(); ++k) EXPECT_EQ(std::string(lines[static_cast<INT_PTR>(k)]), expected[k]);
}

TEST_F(CBlockFileTest, ARecountRepairsAStaleCount) {
    CVOKFile& file = OpenWith(CLeBytes().I32(1).Block(5, {1}).Block(26, CLeBytes().I32(9)));
    EXPECT_EQ(file.FindBlock(26), 0);
    EXPECT_EQ(file.ReadVersionBlock(), 0);
    CStringArray lines;
    file.Dump(lines);
    ASSERT_EQ(lines.GetSize(), 5);
    EXPECT_EQ(std::string(lines[2]), " Block Id 26 'Version Information' Offset 21 Size 4");
    file.Seek(3, CFile::begin);
    file.RecountBlocks();
    EXPECT_EQ(file.GetPosition(), 3u);
    EXPECT_EQ(file.GetBlockCount(), 2);
    EXPECT_EQ(file.ReadVersionBlock(), 9);
    EXPECT_TRUE(file.SeekPastBlocks());
    EXPECT_EQ(file.GetPosition(), file.GetLength());
}

TEST_F(CBlockFileTest, WalksStepOverPayloads) {
    CVOKFile& file = OpenWith(CLeBytes().I32(2).Block(5, {1, 2, 3}).Block(6, {4}).Zeros(3));
    sBlockHeader header;
    ASSERT_TRUE(file.ReadFirstBlockHeader(header));
    EXPECT_EQ(header.id, 5);
    ASSERT_TRUE(file.ReadNextBlockHeader(header));
    EXPECT_EQ(header.id, 6);
    EXPECT_EQ(header.size, 1);
    // Three bytes after the last block are no header.
    EXPECT_FALSE(file.ReadNextBlockHeader(header));
    EXPECT_EQ(header.size, 0);  // a header cut short reads as zero
    file.Seek(4, CFile::begin);
    EXPECT_TRUE(file.SkipBlock());
    EXPECT_EQ(file.GetPosition(), 15u);
    EXPECT_TRUE(file.SeekPastBlocks());
    EXPECT_EQ(file.GetPosition(), 24u);
    EXPECT_EQ(file.GetRemainingLength(), 3u);
    file.SeekToEnd();
    EXPECT_EQ(file.GetRemainingLength(), 0u);
    file.Seek(40, CFile::begin);
    EXPECT_EQ(file.GetRemainingLength(), 0u);
}

TEST_F(CBlockFileTest, BlocksRunningPastTheEndAreNotFound) {
    // Block 26 claims 100 bytes of which 4 exist; block 5 lies behind it.
    CVOKFile& file = OpenWith(CLeBytes().I32(2).I32(26).I32(100).I32(1).Block(5, {}));
    EXPECT_EQ(file.FindBlock(26), 0);
    EXPECT_EQ(file.FindBlock(5), 0);
    EXPECT_EQ(file.ReadVersionBlock(), 0);
    EXPECT_FALSE(file.SeekPastBlocks());
    CVOKFile& negative = OpenWith(CLeBytes().I32(-1).Block(5, {}));
    EXPECT_FALSE(negative.SeekPastBlocks());
    EXPECT_EQ(negative.FindBlock(5), 0);
}

TEST_F(CBlockFileTest, AVersionPayloadShorterThanAWordReadsNothing) {
    CVOKFile& file = OpenWith(CLeBytes().I32(2).Block(26, {5, 0}).Block(9, {9, 9, 9, 9}));
    EXPECT_EQ(file.ReadVersionBlock(), 0);
}

TEST_F(CBlockFileTest, CopiesOneBlockWithItsHeader) {
    CVOKFile& file = OpenWith(CLeBytes().I32(3).Block(5, {}).Block(9, {1, 2, 3}).Block(5, {7}));
    const std::string targetPath = m_folder / "target.vok";
    CVOKFile target;
    ASSERT_TRUE(target.Open(targetPath.c_str(), CFile::modeReadWrite | CFile::modeCreate));
    EXPECT_EQ(file.CopyBlock(&target, 5), 1);
    EXPECT_EQ(target.GetLength(), 8u);
    EXPECT_EQ(file.CopyBlock(&target, 9), 1);
    EXPECT_EQ(file.CopyBlock(&target, 12), 0);
    EXPECT_EQ(file.CopyBlock(nullptr, 9), 0);
    target.Close();
    EXPECT_EQ(ReadFileBytes(targetPath), CLeBytes().Block(5, {}).Block(9, {1, 2, 3}).Bytes());
}

TEST_F(CBlockFileTest, CollectsTheBlocksAfterTheFirstEventBlock) {
    CVOKFile& file = OpenWith(CLeBytes().I32(4).Block(5, {1}).Block(7, {2}).Block(9, {3, 4, 5}).Block(7, {6}));
    CByteArray out;
    out.Add(0xEE);
    EXPECT_TRUE(file.CollectBlocksAfterEvents(out));
    const std::vector<uint8_t> expected = CLeBytes().Block(9, {3, 4, 5}).Block(7, {6});
    EXPECT_EQ(std::vector<uint8_t>(out.begin(), out.end()), expected);

    CVOKFile& without = OpenWith(CLeBytes().I32(1).Block(5, {1}));
    EXPECT_FALSE(without.CollectBlocksAfterEvents(out));
    EXPECT_TRUE(out.IsEmpty());
    // A block after the events that the file cuts off, or a count above the blocks there, ends
    // the collection after the whole blocks.
    CVOKFile& cut = OpenWith(CLeBytes().I32(3).Block(7, {}).Block(9, {1}).I32(9).I32(50).I32(1));
    EXPECT_TRUE(cut.CollectBlocksAfterEvents(out));
    EXPECT_EQ(std::vector<uint8_t>(out.begin(), out.end()), CLeBytes().Block(9, {1}).Bytes());
    CVOKFile& high = OpenWith(CLeBytes().I32(5).Block(7, {}).Block(9, {1}));
    EXPECT_TRUE(high.CollectBlocksAfterEvents(out));
    EXPECT_EQ(out.GetSize(), 9);
}

TEST_F(CBlockFileTest, DumpListsBlocksAndHistory) {
    CVOKFile& file = OpenWith(CLeBytes().I32(1));
    CHisList history;
    Vok::Test::FillSampleHistory(history);
    file.SeekToEnd();
    history.WriteBlock(file);
    CStringArray lines;
    file.Dump(lines);
    const std::vector<std::string> expected = {
        "---------- VOK File contains 1 blocks ----------",
        " Block Id 35 'History Information' Offset 12 Size 11280",
        "---------- History list -------------------------",
        "[2]: version 1, action 1, value 42, start time 12:34:56.789",
        "       end time 13:00:00.005, user ann, comment first",
    };
    ASSERT_EQ(lines.GetSize(), 8);
    for (size_t k = 0; k < 5; ++k) EXPECT_EQ(std::string(lines[static_cast<INT_PTR>(k)]), expected[k]);
    // Entry 19 has only a start time; its end time and texts are empty.
    EXPECT_EQ(std::string(lines[5]), "[20]: version 1, action 19, value 7, start time 13:00:00.005");
    EXPECT_EQ(std::string(lines[6]), "       end time Invalid, user , comment ");
    EXPECT_EQ(std::string(lines[7]), "---------- VOK File end -------------------------");
    file.Dump(lines);
    EXPECT_EQ(lines.GetSize(), 8);  // the lines of the dump before are gone
}

TEST(BlockNames, EveryIdHasItsName) {
    struct sRow {
        int id;
        const char* name;
    } const rows[] = {
        {-1, "Unknown block type"}, {0, "Unused block type"}, {1, "Header Definitions (old)"},
        {7, "Observation Events"}, {15, "Observation Events"}, {21, "Echosounder Adjustment id (old)"},
        {26, "Version Information"}, {29, "Anchor Definitions (old)"}, {33, "Header Definitions"},
        {35, "History Information"}, {39, "Anchor Definitions"}, {43, "System Definitions"},
        {45, "FLS Definitions"}, {46, "Unknown block type"},
    };
    for (const sRow& r : rows) EXPECT_EQ(std::string(CVOKFile::GetBlockName(r.id)), r.name) << r.id;
    EXPECT_FALSE(CVOKFile::IsKnownBlockId(0));  // named, but no kind of block
    EXPECT_TRUE(CVOKFile::IsKnownBlockId(1));
}

}  // namespace
