#include "tests/support/block_file_samples.h"

#include <fstream>
#include <iterator>

#include "definitions/header/hdr_list.h"
#include "definitions/lists/node_def_list.h"
#include "definitions/lists/obs_def_list.h"
#include "definitions/lists/sys_def_list.h"
#include "host/definition_samples.h"

namespace Vok::Test {

void WriteFileBytes(const std::string& path, const std::vector<uint8_t>& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

std::vector<uint8_t> ReadFileBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void FillSampleAnchorDefs(CAnchorDefList& list) {
    for (int32_t id : {1, 2}) {
        sAnchorDef a{};
        SetFieldText(a.name, ("Anchor " + std::to_string(id)).c_str());
        a.id = id;
        for (int k = 0; k < 8; ++k) a.settings[k] = id * 10 + k;
        for (int k = 0; k < 6; ++k) a.values[k] = id + k * 0.5;
        a.references6[id] = id;
        a.reserved244[0] = 0xA5;
        list.Add(a);
    }
}

void FillSampleHistory(CHisList& list) {
    const SYSTEMTIME start{2020, 5, 0, 31, 12, 34, 56, 789};
    const SYSTEMTIME end{2020, 5, 0, 31, 13, 0, 0, 5};
    list.SetEntry(1, 42, &start, FALSE);
    list.SetEntry(1, 42, &end, TRUE);
    list.SetEntryTexts(1, "ann", "first");
    list.SetEntry(19, 7, &end, FALSE);
}

namespace {

// Fix events (56 bytes: next, id, time at 32) and heartbeats (24 bytes: next, time at 8),
// interleaved in one block 7 as a recorder writes them.
void WriteEventBlock(CVOKFile& file, int& fixFirst, int& heartbeatFirst) {
    const ULONGLONG start = file.BeginBlock();
    const int base = static_cast<int>(start);
    int fixLast = -1, heartbeatLast = -1;
    fixFirst = heartbeatFirst = -1;
    for (int32_t k = 0; k < 3; ++k) {
        const CLeBytes fix = CLeBytes().I32(-1).I32(101 + k).Zeros(24).MjdTime(59000, 3600.5 + k).Zeros(8);
        file.WriteChainedRecord(fix.Bytes().data(), 56, &fixFirst, &fixLast, base);
        if (k < 2) {
            const CLeBytes beat = CLeBytes().I32(-1).Zeros(4).MjdTime(59000, 60.0 * (k + 1));
            file.WriteChainedRecord(beat.Bytes().data(), 24, &heartbeatFirst, &heartbeatLast, base);
        }
    }
    file.EndBlock(start, file.GetPosition() - start, BLOCK_OBS_EVENTS);
}

}  // namespace

int WriteSampleProject(CVOKFile& file) {
    int blocks = 0;
    const int32_t placeholder = 0;
    file.SeekToBegin();
    file.Write(&placeholder, sizeof placeholder);
    auto block = [&](int32_t id, const std::vector<uint8_t>& payload) {
        file.Write(CLeBytes().Block(id, payload).Bytes().data(), static_cast<UINT>(8 + payload.size()));
        ++blocks;
    };
    block(BLOCK_VERSION, CLeBytes().I32(7));

    CSysDefList systems;
    CNodeDefList nodes;
    CObsDefList obs;
    CAnchorDefList anchors;
    CHdrList headers;
    CHisList history;
    FillSampleSysDefs(systems);
    FillSampleNodeDefs(nodes);
    FillSampleObsDefs(obs);
    FillSampleAnchorDefs(anchors);
    FillSampleHdrList(headers);
    FillSampleHistory(history);
    systems.WriteBlock(file);
    nodes.WriteBlock(file);
    obs.WriteBlock(file);
    anchors.WriteBlock(file);
    int fixFirst = -1, heartbeatFirst = -1;
    WriteEventBlock(file, fixFirst, heartbeatFirst);
    headers.AddRecord(215, 4, nullptr, fixFirst);
    headers.AddRecord(149, 4, nullptr, heartbeatFirst);
    uint8_t* meta = headers.AddRecord(233, 1280, nullptr, -1);
    const std::vector<uint8_t> times = CLeBytes().MjdTime(59000, 100.0).Zeros(24).MjdTime(59001, 50.0);
    std::memcpy(meta + 16, times.data(), times.size());
    headers.WriteBlock(file, 0);
    history.WriteBlock(file);
    blocks += 7;

    // The oldest fixes: head {first, last, pointer word}, then 24-byte records {next, time, number}.
    block(BLOCK_FIX_DEFINITION, CLeBytes().I32(0).I32(48).I32(0));
    block(BLOCK_FIX_EVENTS, CLeBytes()
                                .I32(24).Time(0, 0, 0, 0, 0, 0, 0).I32(0)
                                .I32(48).Time(2019, 1, 2, 3, 4, 5, 6).I32(11)
                                .I32(-1).Time(2019, 1, 2, 4, 0, 0, 0).I32(12));
    // Node events live in the block after block 16: 152-byte records {next, time, ...}.
    block(BLOCK_NODE_EVENT_HEAD, CLeBytes().I32(1).I32(2).I32(0).I32(3).I32(0));
    block(BLOCK_NODE_EVENTS, {});
    block(14, CLeBytes()
                  .I32(152).Time(2018, 7, 8, 9, 10, 11, 12).Zeros(132)
                  .I32(-1).Time(2018, 7, 8, 10, 0, 0, 0).Zeros(132));
    file.SeekToBegin();
    file.Write(&blocks, sizeof blocks);
    file.SeekToEnd();
    return blocks;
}

}  // namespace Vok::Test
