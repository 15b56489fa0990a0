#include "definitions/lists/output_def_list.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/support/block_file_samples.h"
#include "tests/support/file_helpers.h"

namespace {

using Vok::Test::CLeBytes;

class COutputDefStreamTest : public ::testing::Test {
protected:
    CFile& OpenWith(const std::vector<uint8_t>& bytes) {
        Vok::Test::WriteFileBytes(m_path, bytes);
        m_file.Abort();
        EXPECT_TRUE(m_file.Open(m_path.c_str(), CFile::modeReadWrite));
        return m_file;
    }
    std::vector<uint8_t> Written() {
        m_file.Close();
        return Vok::Test::ReadFileBytes(m_path);
    }

    Vok::Test::CTempFolder m_folder;
    std::string m_path = m_folder / "outputs.bin";
    CFile m_file;
};

TEST_F(COutputDefStreamTest, AListOfTwoIs39Bytes) {
    COutputDefList list;
    list.Add(COutputDef(7, 1, 2, 3));
    list.Add(COutputDef(-1, 0, 0x01020304, -2));
    list.Write(OpenWith({}));
    const std::vector<uint8_t> expected = CLeBytes()
                                              .U8(2).U32(2)
                                              .U8(1).I32(7).I32(1).I32(2).I32(3)
                                              .U8(1).I32(-1).I32(0).I32(0x01020304).I32(-2);
    ASSERT_EQ(expected.size(), 39u);
    EXPECT_EQ(Written(), expected);

    COutputDefList back;
    back.Add(COutputDef(9, 9, 9, 9));
    EXPECT_TRUE(back.Read(OpenWith(expected), TRUE));
    EXPECT_TRUE(back == list);
    EXPECT_FALSE(back != list);
    EXPECT_EQ(back.FindById(-1), &back[1]);
    EXPECT_EQ(back.FindById(8), nullptr);
}

TEST_F(COutputDefStreamTest, ElementVersions) {
    struct sRow {
        const char* what;
        std::vector<uint8_t> bytes;
        BOOL flag;
        BOOL result;
        COutputDef expected;
    } const rows[] = {
        {"version 0: three words, the fourth cleared", CLeBytes().U8(0).I32(1).I32(2).I32(3), TRUE, TRUE, {1, 2, 3, 0}},
        {"version 1: four words", CLeBytes().U8(1).I32(1).I32(2).I32(3).I32(4), TRUE, TRUE, {1, 2, 3, 4}},
        {"no version byte", CLeBytes().I32(5).I32(6).I32(7).I32(8), FALSE, TRUE, {5, 6, 7, 0}},
        {"version 7: nothing read", CLeBytes().U8(7).I32(1).I32(2).I32(3).I32(4), TRUE, FALSE, {9, 9, 9, 9}},
        {"cut short", CLeBytes().U8(1).I32(1).I32(2).I32(3), TRUE, FALSE, {9, 9, 9, 9}},
    };
    for (const sRow& r : rows) {
        COutputDef def(9, 9, 9, 9);
        EXPECT_EQ(def.Read(OpenWith(r.bytes), r.flag), r.result) << r.what;
        EXPECT_TRUE(def == r.expected) << r.what;
    }
    COutputDef def(1, 2, 3, 4);
    def.Clear();
    EXPECT_TRUE(def == COutputDef());
}

TEST_F(COutputDefStreamTest, ListVersions) {
    COutputDefList before;
    before.Add(COutputDef(4, 4, 4, 4));
    struct sRow {
        const char* what;
        std::vector<uint8_t> bytes;
        BOOL flag;
        BOOL result;
        std::vector<COutputDef> expected;
    } const rows[] = {
        {"list version 1 reads three words", CLeBytes().U8(1).U32(2).I32(1).I32(2).I32(3).I32(4).I32(5).I32(6), TRUE,
         TRUE, {{1, 2, 3, 0}, {4, 5, 6, 0}}},
        {"no version byte", CLeBytes().U32(1).I32(1).I32(2).I32(3), FALSE, TRUE, {{1, 2, 3, 0}}},
        {"empty", CLeBytes().U8(2).U32(0), TRUE, TRUE, {}},
        {"mixed element versions", CLeBytes().U8(2).U32(2).U8(0).I32(1).I32(2).I32(3).U8(1).I32(4).I32(5).I32(6).I32(7),
         TRUE, TRUE, {{1, 2, 3, 0}, {4, 5, 6, 7}}},
        {"unknown element version", CLeBytes().U8(2).U32(1).U8(3).I32(1).I32(2).I32(3).I32(4), TRUE, FALSE, {{4, 4, 4, 4}}},
        {"count beyond the bytes left", CLeBytes().U8(2).U32(0x7FFFFFFF).U8(1).I32(1).I32(2).I32(3).I32(4), TRUE, FALSE,
         {{4, 4, 4, 4}}},
        {"cut in an element", CLeBytes().U8(2).U32(2).U8(1).I32(1).I32(2).I32(3).I32(4).U8(1).I32(5).I32(6).I32(7),
         TRUE, FALSE, {{4, 4, 4, 4}}},
        {"no count", CLeBytes().U8(2).U8(1), TRUE, FALSE, {{4, 4, 4, 4}}},
    };
    for (const sRow& r : rows) {
        COutputDefList list = before;
        EXPECT_EQ(list.Read(OpenWith(r.bytes), r.flag), r.result) << r.what;
        COutputDefList expected;
        for (const COutputDef& d : r.expected) expected.Add(d);
        EXPECT_TRUE(list == expected) << r.what;
    }
    COutputDefList empty;
    EXPECT_EQ(empty.FindById(0), nullptr);
}

}  // namespace
