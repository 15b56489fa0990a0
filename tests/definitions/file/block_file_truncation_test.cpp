// Every reader of the block file on a sample project cut at every byte offset: each ends, and a
// list holds only whole records that the full file holds too. The cuts are shared out over several
// tests, each taking every kSlices-th length, so that each test stays short on a loaded machine.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "definitions/lists/anchor_def_list.h"
#include "definitions/header/hdr_list.h"
#include "definitions/file/his_list.h"
#include "definitions/lists/node_def_list.h"
#include "definitions/lists/obs_def_list.h"
#include "definitions/lists/sys_def_list.h"
#include "definitions/file/vok_file.h"
#include "tests/support/block_file_samples.h"
#include "tests/support/file_helpers.h"

namespace {

struct sLists {
    CSysDefList systems;
    CNodeDefList nodes;
    CObsDefList obs;
    CAnchorDefList anchors;
    CHdrList headers;
    CHisList history;
    int results[6] = {};

    ~sLists() { headers.RemoveAll(); }
};

template <typename List>
int ReadFound(CVOKFile& file, int id, List& list) {
    return file.FindBlock(id) != 0 ? list.ReadBlock(file) : 0;
}

void ReadAll(CVOKFile& file, sLists& l) {
    l.results[0] = l.systems.ReadBlock(file);
    l.results[1] = ReadFound(file, BLOCK_NODE_DEFS, l.nodes);
    l.results[2] = ReadFound(file, BLOCK_OBS_DEFS, l.obs);
    l.results[3] = ReadFound(file, BLOCK_ANCHOR_DEFS, l.anchors);
    l.results[4] = l.headers.ReadBlock(file, 0, 0);
    l.results[5] = l.history.ReadBlock(file);
}

// The records of part are the first records of whole, byte for byte.
template <typename List>
bool IsPrefix(const List& part, const List& whole) {
    if (part.GetCount() > whole.GetCount()) return false;
    for (int k = 0; k < part.GetCount(); ++k) {
        if (std::memcmp(part.GetAt(k), whole.GetAt(k), sizeof *part.GetAt(k)) != 0) return false;
    }
    return true;
}

bool IsPrefix(const CHdrList& part, const CHdrList& whole) {
    if (part.GetCount() > whole.GetCount()) return false;
    for (int k = 0; k < part.GetCount(); ++k) {
        const sHdrEntry& a = *part.GetEntryAt(k);
        const sHdrEntry& b = *whole.GetEntryAt(k);
        if (a.recordId != b.recordId || a.payloadSize != b.payloadSize || a.flag != b.flag ||
            a.filePosition != b.filePosition || std::memcmp(a.Payload(), b.Payload(), a.payloadSize) != 0)
            return false;
    }
    return true;
}

constexpr int kSlices = 8;

class BlockFileTruncation : public ::testing::TestWithParam<int> {};

TEST_P(BlockFileTruncation, EveryReaderEndsOnEveryCut) {
    Vok::Test::CTempFolder folder;
    const std::string path = folder / "cut.vok";
    const std::string targetPath = folder / "target.vok";
    CVOKFile file;
    ASSERT_TRUE(file.Open(path.c_str(), CFile::modeReadWrite | CFile::modeCreate));
    Vok::Test::WriteSampleProject(file);
    const ULONGLONG full = file.GetLength();

    sLists whole;
    ReadAll(file, whole);
    for (int r : whole.results) ASSERT_NE(r, 0);
    CFile target;
    ASSERT_TRUE(target.Open(targetPath.c_str(), CFile::modeReadWrite | CFile::modeCreate));

    // This test's lengths: full - slice, then every kSlices-th one below it, to the last one
    // that is not negative.
    ASSERT_GE(full, static_cast<ULONGLONG>(kSlices));
    for (ULONGLONG length = full - static_cast<ULONGLONG>(GetParam());; length -= kSlices) {
        SCOPED_TRACE(length);
        file.SetLength(length);
        sLists cut;
        ReadAll(file, cut);
        EXPECT_TRUE(IsPrefix(cut.systems, whole.systems));
        EXPECT_TRUE(IsPrefix(cut.nodes, whole.nodes));
        EXPECT_TRUE(IsPrefix(cut.obs, whole.obs));
        EXPECT_TRUE(IsPrefix(cut.anchors, whole.anchors));
        EXPECT_TRUE(IsPrefix(cut.headers, whole.headers));
        // A history entry comes whole or not at all.
        for (const sHisEntry& e : cut.history) {
            if (e.action != 0) {
                EXPECT_EQ(std::memcmp(&e, &whole.history[e.action], sizeof e), 0);
            }
        }

        CByteArray after;
        file.CollectBlocksAfterEvents(after);
        EXPECT_LE(static_cast<ULONGLONG>(after.GetSize()), length);
        target.SetLength(0);
        target.SeekToBegin();
        for (int id : {26, 7, 35, 14, 30}) {
            file.CopyBlock(&target, id);
            file.SkipBlockById(id);
        }
        file.ReadVersionBlock();
        file.SeekPastBlocks();
        sBlockHeader header;
        for (bool more = file.ReadFirstBlockHeader(header); more;) more = file.ReadNextBlockHeader(header);
        CStringArray lines;
        file.Dump(lines);

        int firstId = 0, lastId = 0;
        SYSTEMTIME first{}, last{};
        file.GetFixEventRange(&whole.headers, &firstId, &first, &lastId, &last);
        file.GetHeartbeatTimeRange(&whole.headers, &first, &last);
        file.GetFixRange(&firstId, &first, &lastId, &last);
        file.GetNodeEventTimeRange(&first, &last);
        if (length < kSlices) break;
    }
}

INSTANTIATE_TEST_SUITE_P(EveryCut, BlockFileTruncation, ::testing::Range(0, kSlices));

}  // namespace
