// The height definitions list: block 31 of the block file and its shared-buffer image.
#include "definitions/lists/height_def_list.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "definitions/file/vok_file.h"
#include "platform/ipc_buffer_handle.h"
#include "tests/support/block_file_samples.h"
#include "tests/support/file_helpers.h"
#include "tests/support/ipc_test_folder.h"

namespace {

using Vok::Test::CLeBytes;

sHeightDef Def(int32_t id, int32_t value) {
    sHeightDef d{};
    d.id = id;
    d.value = value;
    return d;
}

std::vector<uint8_t> Image(int32_t id, int32_t value) { return CLeBytes().U32(16).U8(1).Zeros(3).I32(id).I32(value); }

TEST(HeightDefList, Block31RoundTripStampsTheRecords) {
    Vok::Test::CTempFolder folder;
    const std::string path = folder / "h.vok";
    Vok::Test::WriteFileBytes(path, CLeBytes().I32(1));
    CVOKFile file;
    ASSERT_TRUE(file.Open(path.c_str(), CFile::modeReadWrite));
    file.SeekToEnd();
    CHeightDefList list;
    list.Add(Def(4, -2));
    list.Add(Def(9, 300));
    EXPECT_EQ(list.WriteBlock(file), 1);
    file.Close();
    EXPECT_EQ(Vok::Test::ReadFileBytes(path),
              CLeBytes().I32(1).Block(31, CLeBytes().Append(Image(4, -2)).Append(Image(9, 300))).Bytes());

    ASSERT_TRUE(file.Open(path.c_str(), CFile::modeRead));
    ASSERT_EQ(file.FindBlock(31), 1);
    CHeightDefList back;
    EXPECT_EQ(back.ReadBlock(file), 1);
    EXPECT_EQ(back.Compare(list), 0);
    ASSERT_NE(back.FindById(9), nullptr);
    EXPECT_EQ(back.FindById(9)->version, 1);
    EXPECT_EQ(back.FindById(0), nullptr);
}

TEST(HeightDefList, ABlockCutShortOrOfAnotherIdKeepsOnlyWholeRecords) {
    Vok::Test::CTempFolder folder;
    const std::string path = folder / "h.vok";
    struct Row {
        std::vector<uint8_t> bytes;
        int result;
        int count;
    };
    const std::vector<uint8_t> image = Image(4, 8);
    const Row rows[] = {
        // The header promises two records; the file holds one and a half.
        {CLeBytes().I32(1).I32(31).I32(32).Append(image).Append({image.begin(), image.begin() + 8}), 0, 1},
        {CLeBytes().I32(1).Block(31, CLeBytes().Append(image).Zeros(4)), 0, 1},
        {CLeBytes().I32(1).Block(24, image), 0, 0},
    };
    for (const Row& row : rows) {
        Vok::Test::WriteFileBytes(path, row.bytes);
        CVOKFile file;
        ASSERT_TRUE(file.Open(path.c_str(), CFile::modeRead));
        file.Seek(4, CFile::begin);
        CHeightDefList list;
        EXPECT_EQ(list.ReadBlock(file), row.result);
        EXPECT_EQ(list.GetCount(), row.count);
    }
}

class HeightDefListIpcTest : public Vok::Test::IpcTest {};

TEST_F(HeightDefListIpcTest, TheListGoesThroughABlockWhole) {
    IpcBufferHandle host("H", 1);
    ASSERT_TRUE(host.Lock());
    host.buffer.AddBlock(31, 4 * sizeof(sHeightDef), sizeof(sHeightDef));
    CHeightDefList list;
    sHeightDef initial;
    std::memset(&initial, 0xAB, sizeof initial);
    list.Add(*InitHeightDef(&initial));
    list.Add(Def(7, 70));
    EXPECT_EQ(list.WriteToIpc(host, 1), 1);
    EXPECT_EQ(host.buffer.GetRecordCount(0), 2u);
    EXPECT_EQ(std::memcmp(host.buffer.GetRecord(0, 0), Image(0, 0).data(), 16), 0);
    EXPECT_EQ(std::memcmp(host.buffer.GetRecord(0, 1), CLeBytes().Zeros(8).I32(7).I32(70).Bytes().data(), 16), 0);
    host.Unlock();

    IpcBufferHandle reader("H", 0);
    ASSERT_TRUE(reader.Lock());
    CHeightDefList back;
    EXPECT_EQ(back.ReadFromIpc(reader, 1), 1);
    reader.Unlock();
    ASSERT_EQ(back.GetCount(), 2);
    EXPECT_EQ(std::memcmp(back.GetAt(0), Image(0, 0).data(), 16), 0);
    EXPECT_EQ(back.GetAt(1)->value, 70);
}

}  // namespace
