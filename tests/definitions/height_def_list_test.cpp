// The height definitions list: its records, block 31 of the block file and its shared-buffer image.
#include "definitions/height_def_list.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "definitions/vok_file.h"
#include "platform/ipc_buffer_handle.h"
#include "tests/support/block_file_samples.h"
#include "tests/support/file_helpers.h"
#include "tests/support/ipc_test_folder.h"

namespace {

using Vok::Test::CLeBytes;
using Vok::Test::CTempFolder;
using Vok::Test::ReadFileBytes;
using Vok::Test::WriteFileBytes;

sHeightDef Def(int32_t id, int32_t value) {
    sHeightDef d{};
    d.id = id;
    d.value = value;
    return d;
}

class CHeightDefListFileTest : public ::testing::Test {
protected:
    CVOKFile& OpenWith(const std::vector<uint8_t>& bytes) {
        WriteFileBytes(m_path, bytes);
        m_file.Abort();
        EXPECT_TRUE(m_file.Open(m_path.c_str(), CFile::modeReadWrite));
        return m_file;
    }

    CTempFolder m_folder;
    std::string m_path = m_folder / "h.vok";
    CVOKFile m_file;
};

TEST(HeightDef, InitGivesTheCurrentStampAndNothingElse) {
    sHeightDef d;
    std::memset(&d, 0xAB, sizeof d);
    EXPECT_EQ(InitHeightDef(&d), &d);
    const std::vector<uint8_t> expected = CLeBytes().U32(16).U8(1).Zeros(3).I32(0).I32(0);
    EXPECT_EQ(std::memcmp(&d, expected.data(), 16), 0);
    EXPECT_EQ(InitHeightDef(nullptr), nullptr);
}

TEST(HeightDefList, LookUpsCopiesAndComparison) {
    CHeightDefList list;
    list.Add(Def(0, 5));
    list.Add(Def(2, 6));
    list.Add(Def(3, 7));
    EXPECT_EQ(list.FindById(0), nullptr);
    EXPECT_EQ(list.FindById(-1), nullptr);
    ASSERT_NE(list.FindById(3), nullptr);
    EXPECT_EQ(list.FindById(3)->value, 7);

    CHeightDefList copy(&list);
    EXPECT_EQ(copy.GetCount(), 3);
    EXPECT_NE(copy.GetAt(1), list.GetAt(1));
    copy.CopyFrom(nullptr);
    EXPECT_EQ(copy.GetCount(), 3);

    CHeightDefList a, b;
    a.Add(Def(1, 5));
    a.Add(Def(2, 6));
    b.Add(Def(2, 6));
    b.Add(Def(1, 5));
    EXPECT_EQ(a.Compare(b), 0);  // order does not matter
    b.GetAt(0)->value = 9;
    EXPECT_EQ(a.Compare(b), -1);  // record 2 of a: 6 < 9
    b.Add(Def(4, 0));
    EXPECT_EQ(a.Compare(b), -1);  // one record fewer
    EXPECT_EQ(list.Compare(copy), 999);  // the record with id 0 finds no partner
}

TEST_F(CHeightDefListFileTest, Block31WrittenAndReadBackIsStamped) {
    CVOKFile& file = OpenWith({0, 0, 0, 0});
    file.SeekToEnd();
    CHeightDefList list;
    list.Add(Def(4, -2));
    list.Add(Def(9, 300));
    EXPECT_EQ(list.WriteBlock(file), 1);
    EXPECT_EQ(list.GetAt(0)->recordSize, 16u);  // stamped in the list too
    file.Close();

    const std::vector<uint8_t> expected = CLeBytes().I32(0).Block(
        31, CLeBytes().U32(16).U8(1).Zeros(3).I32(4).I32(-2).U32(16).U8(1).Zeros(3).I32(9).I32(300));
    EXPECT_EQ(ReadFileBytes(m_path), expected);

    CVOKFile& in = OpenWith(expected);
    in.Seek(4, CFile::begin);
    CHeightDefList back;
    EXPECT_EQ(back.ReadBlock(in), 1);
    ASSERT_EQ(back.GetCount(), 2);
    EXPECT_EQ(back.Compare(list), 0);
    EXPECT_EQ(back.GetAt(1)->version, 1);
}

TEST_F(CHeightDefListFileTest, ABlockCutShortKeepsItsWholeRecordsOnly) {
    // The header promises two records; the file holds one and a half.
    const std::vector<uint8_t> bytes =
        CLeBytes().I32(1).I32(31).I32(32).U32(16).U8(1).Zeros(3).I32(4).I32(8).U32(16).U8(1).Zeros(3);
    CVOKFile& file = OpenWith(bytes);
    file.Seek(4, CFile::begin);
    CHeightDefList list;
    EXPECT_EQ(list.ReadBlock(file), 0);
    ASSERT_EQ(list.GetCount(), 1);
    EXPECT_EQ(list.GetAt(0)->value, 8);

    CVOKFile& other = OpenWith(CLeBytes().I32(1).Block(24, CLeBytes().Zeros(16)));
    other.Seek(4, CFile::begin);
    CHeightDefList none;
    EXPECT_EQ(none.ReadBlock(other), 0);
    EXPECT_EQ(none.GetCount(), 0);
}

class HeightDefListIpcTest : public Vok::Test::IpcTest {};

TEST_F(HeightDefListIpcTest, TheListGoesThroughABlockWhole) {
    IpcBufferHandle host("H", 1);
    ASSERT_TRUE(host.Lock());
    host.buffer.AddBlock(31, 4 * sizeof(sHeightDef), sizeof(sHeightDef));
    CHeightDefList list;
    sHeightDef initial;
    list.Add(*InitHeightDef(&initial));
    list.Add(Def(7, 70));
    EXPECT_EQ(list.WriteToIpc(host, 1), 1);
    EXPECT_EQ(host.buffer.GetRecordCount(0), 2u);
    const std::vector<uint8_t> record2 = CLeBytes().U32(0).U8(0).Zeros(3).I32(7).I32(70);
    EXPECT_EQ(std::memcmp(host.buffer.GetRecord(0, 1), record2.data(), 16), 0);
    host.Unlock();

    IpcBufferHandle reader("H", 0);
    ASSERT_TRUE(reader.Lock());
    CHeightDefList back;
    EXPECT_EQ(back.ReadFromIpc(reader, 1), 1);
    reader.Unlock();
    EXPECT_EQ(back.Compare(list), 999);  // the first record has id 0
    ASSERT_EQ(back.GetCount(), 2);
    EXPECT_EQ(back.GetAt(0)->recordSize, 16u);
    EXPECT_EQ(back.GetAt(1)->value, 70);
}

}  // namespace
