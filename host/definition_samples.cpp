#include "host/definition_samples.h"

#include <cstring>

namespace Vok::Test {

sObsDef MakeObsDef(int32_t id, int32_t obsType, int32_t sysId, int32_t nodeId, int32_t toNodeId, int32_t link) {
    sObsDef d{};
    d.id = id;
    d.obsType = obsType;
    d.sysId = sysId;
    d.nodeId = nodeId;
    d.toNodeId = toNodeId;
    d.link = link;
    SetFieldText(d.name, ("Obs " + std::to_string(id)).c_str());
    return d;
}

sNodeDef MakeNodeDef(int32_t id, int32_t number, int32_t objectId, uint32_t nodeType, double x, double y, double z) {
    sNodeDef n{};
    n.id = id;
    n.number = number;
    n.objectId = objectId;
    n.nodeType = nodeType;
    n.x = x;
    n.y = y;
    n.z = z;
    SetFieldText(n.name, ("Node " + std::to_string(id)).c_str());
    return n;
}

sSysDef MakeSysDef(int32_t sysId, int32_t sysType, int32_t key1, int32_t key2, int32_t key3) {
    sSysDef s;
    s.sysId = sysId;
    s.sysType = sysType;
    s.key1 = key1;
    s.key2 = key2;
    s.key3 = key3;
    SetFieldText(s.name, ("System " + std::to_string(sysId)).c_str());
    return s;
}

void FillSampleObsDefs(CObsDefList& list) {
    list.Add(MakeObsDef(1, 30, 5, 1, 0, 0));
    list.Add(MakeObsDef(2, 11, 5, 1, 0, 7));
    sObsDef* pps = list.Add(MakeObsDef(3, 110, 6, 2, 0, -7));
    pps->transient = 1;
    pps->interval = -1.0f;
    SetFieldText(pps->tag, "PPS");
}

void FillSampleNodeDefs(CNodeDefList& list) {
    list.Add(MakeNodeDef(1, 11, 1, 2, 1.0, 2.0, 5.0));
    list.Add(MakeNodeDef(2, 12, 1, 4, 7.0, 2.0, 5.0));
    list.Add(MakeNodeDef(3, 13, 2, 5, 0.0, 0.0, 0.0));
}

void FillSampleSysDefs(CSysDefList& list) {
    list.Add(MakeSysDef(5, 12, 1, 2, 3));
    sSysDef* pps = list.Add(MakeSysDef(6, 43, 0, 0, 0));
    pps->port = 4001;
    pps->timeOffset = 2.5f;
}

void FillSampleHdrList(CHdrList& list) {
    const float offset = 16.0f;
    list.AddRecord(139, sizeof offset, &offset, -1);
    uint8_t unit[48] = "Survey Foot";
    const double factor = 0.3048006096;
    std::memcpy(unit + 40, &factor, sizeof factor);
    list.AddRecord(153, sizeof unit, unit, 12);
    uint8_t* gnss = list.AddRecord(258, GetRecordSize(258), nullptr, -1);
    const int32_t words[] = {1, 0, 1, 2, 3};
    std::memcpy(gnss, words, sizeof words);
    list.AddRecord(65, GetRecordSize(65), nullptr, -1)[0] = 60;
}

int PublishSampleSettings(IpcBufferHandle& writer) {
    CObsDefList obs;
    CNodeDefList nodes;
    CSysDefList systems;
    CHdrList headers;
    FillSampleObsDefs(obs);
    FillSampleNodeDefs(nodes);
    FillSampleSysDefs(systems);
    FillSampleHdrList(headers);
    if (!writer.Lock()) return 0;
    writer.buffer.AddBlock(kObsItem, 4 * sizeof(sObsDef), sizeof(sObsDef));
    writer.buffer.AddBlock(kNodeItem, 4 * sizeof(sNodeDef), sizeof(sNodeDef));
    writer.buffer.AddBlock(kSysItem, 4 * sizeof(sSysDef), sizeof(sSysDef));
    writer.buffer.AddBlock(kHdrItem, 0, 0);
    const int written = obs.WriteToIpc(writer, kObsItem) & nodes.WriteToIpc(writer, kNodeItem) &
                        systems.WriteToIpc(writer, kSysItem) & headers.WriteToIpc(writer, kHdrItem);
    writer.Unlock();
    return written;
}

}  // namespace Vok::Test
