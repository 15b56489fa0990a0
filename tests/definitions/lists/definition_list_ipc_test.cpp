// The definitions lists' images in a shared buffer, written by a host in another process and by
// hand with wrong sizes and counts.
#include <gtest/gtest.h>

#include <vector>

#include "definitions/lists/anchor_def_list.h"
#include "platform/ipc_buffer_handle.h"
#include "tests/support/block_file_samples.h"
#include "host/definition_samples.h"
#include "tests/support/ipc_test_folder.h"
#include "tests/support/peer_process.h"

namespace {

using namespace Vok::Test;

const std::string PEER = PeerPath(VOK_BINARY_DIR, "settings_host_peer");
constexpr Milliseconds DEADLINE(5000);

class DefinitionListIpcTest : public IpcTest {};

TEST_F(DefinitionListIpcTest, ListsPublishedByAHostProcessReadBackWhole) {
    CPeerProcess host({PEER, "SETTINGS"});
    ASSERT_TRUE(host.WaitForLine("READY published", DEADLINE));
    IpcBufferHandle reader("SETTINGS", 0);
    ASSERT_TRUE(reader.Lock());
    CObsDefList obs;
    CNodeDefList nodes;
    CSysDefList systems;
    CHdrList headers;
    EXPECT_EQ(obs.ReadFromIpc(reader, kObsItem), 1);
    EXPECT_EQ(nodes.ReadFromIpc(reader, kNodeItem), 1);
    EXPECT_EQ(systems.ReadFromIpc(reader, kSysItem), 1);
    EXPECT_EQ(headers.ReadFromIpc(reader, kHdrItem), 1);
    reader.Unlock();
    host.CloseInput();
    EXPECT_EQ(host.Wait(DEADLINE), 0);

    CObsDefList expectedObs;
    FillSampleObsDefs(expectedObs);
    expectedObs.FindById(3)->transient = 0;  // cleared on the way out
    CNodeDefList expectedNodes;
    FillSampleNodeDefs(expectedNodes);
    CSysDefList expectedSystems;
    FillSampleSysDefs(expectedSystems);
    CHdrList expectedHeaders;
    FillSampleHdrList(expectedHeaders);
    EXPECT_EQ(obs.Compare(expectedObs), 0);
    EXPECT_EQ(nodes.Compare(expectedNodes), 0);
    EXPECT_EQ(systems.Compare(expectedSystems), 0);
    ASSERT_EQ(headers.GetCount(), expectedHeaders.GetCount());
    EXPECT_EQ(headers.GetEntry(153, 1)->eventLink, 12);
    EXPECT_EQ(std::memcmp(headers.GetRecord(258, 1), expectedHeaders.GetRecord(258, 1), GetRecordSize(258)), 0);
    EXPECT_EQ(headers.GetUtcToGpsOffset(), 16.0);
    EXPECT_EQ(headers.GetSurveyUnitFactor(), 0.3048006096);
}

TEST_F(DefinitionListIpcTest, AnchorsGoThroughABlockWhole) {
    IpcBufferHandle host("A", 1);
    ASSERT_TRUE(host.Lock());
    host.buffer.AddBlock(39, 3 * sizeof(sAnchorDef), sizeof(sAnchorDef));
    CAnchorDefList anchors;
    FillSampleAnchorDefs(anchors);
    EXPECT_EQ(anchors.WriteToIpc(host, 1), 1);
    host.Unlock();
    IpcBufferHandle reader("A", 0);
    ASSERT_TRUE(reader.Lock());
    CAnchorDefList back;
    EXPECT_EQ(back.ReadFromIpc(reader, 1), 1);
    reader.Unlock();
    EXPECT_EQ(back.Equals(anchors), 1);
}

TEST_F(DefinitionListIpcTest, BlocksThatDoNotHoldTheRecordsAreRefused) {
    IpcBufferHandle host("S", 1);
    ASSERT_TRUE(host.Lock());
    host.buffer.AddBlock(4, 2 * 240, 240);  // room for two observation definitions
    host.buffer.AddBlock(4, 3 * 200, 200);  // an older record size
    host.buffer.AddBlock(5, 128, 128);
    host.buffer.AddBlock(19, 0, 0);  // an empty item
    CObsDefList obs;
    FillSampleObsDefs(obs);
    EXPECT_EQ(obs.WriteToIpc(host, 1), 0);  // three records, room for two: nothing written
    EXPECT_EQ(host.buffer.GetRecordCount(0), 0u);
    EXPECT_EQ(obs.FindById(3)->transient, 1);
    obs.RemoveAll();
    obs.Add(MakeObsDef(1, 30, 5, 1, 0, 0))->transient = 1;
    EXPECT_EQ(obs.WriteToIpc(host, 1), 1);
    EXPECT_EQ(obs.FindById(1)->transient, 0);  // in the list too
    host.buffer.SetRecordCount(1, 3);
    host.buffer.SetRecordCount(2, 2);  // more records than the block holds
    host.Unlock();

    IpcBufferHandle reader("S", 0);
    ASSERT_TRUE(reader.Lock());
    struct sCase {
        const char* what;
        int block;
    };
    for (const sCase& c : {sCase{"record size 200", 2}, sCase{"no such block", 9}, sCase{"block 0", 0}}) {
        SCOPED_TRACE(c.what);
        CObsDefList read;
        EXPECT_EQ(read.ReadFromIpc(reader, c.block), 0);
        EXPECT_EQ(read.GetCount(), 0);
    }
    CNodeDefList nodes;
    EXPECT_EQ(nodes.ReadFromIpc(reader, 3), 0);
    EXPECT_EQ(nodes.GetCount(), 0);
    CObsDefList read;
    EXPECT_EQ(read.ReadFromIpc(reader, 1), 1);
    EXPECT_EQ(read.Compare(obs), 0);
    CSysDefList systems;
    EXPECT_EQ(systems.ReadFromIpc(reader, 4), 1);  // nothing to read, whatever the record size
    EXPECT_EQ(systems.GetCount(), 0);
    EXPECT_EQ(systems.WriteToIpc(reader, 9), 0);
    reader.Unlock();
}

}  // namespace
