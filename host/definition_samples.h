// Small definitions lists that the demo host sets the driver up with and that the tests and the
// settings-host peer build alike, so that a list written in one process can be compared with the one
// read in another.
#pragma once

#include "definitions/header/hdr_list.h"
#include "definitions/lists/node_def_list.h"
#include "definitions/lists/obs_def_list.h"
#include "definitions/lists/sys_def_list.h"

namespace Vok::Test {

// Settings items of the sample settings buffer, each sized for the sample lists.
constexpr int kObsItem = 1;
constexpr int kNodeItem = 2;
constexpr int kSysItem = 3;
constexpr int kHdrItem = 4;

sObsDef MakeObsDef(int32_t id, int32_t obsType, int32_t sysId, int32_t nodeId, int32_t toNodeId, int32_t link);
sNodeDef MakeNodeDef(int32_t id, int32_t number, int32_t objectId, uint32_t nodeType, double x, double y, double z);
sSysDef MakeSysDef(int32_t sysId, int32_t sysType, int32_t key1, int32_t key2, int32_t key3);

void FillSampleObsDefs(CObsDefList& list);
void FillSampleNodeDefs(CNodeDefList& list);
void FillSampleSysDefs(CSysDefList& list);
void FillSampleHdrList(CHdrList& list);

// Adds the four item blocks to a buffer under its exclusive lock and writes the sample lists.
// 1 when every list was written.
int PublishSampleSettings(IpcBufferHandle& writer);

}  // namespace Vok::Test
