// Arbitrary bytes as a project's block file, read by every reader of the block file: the block
// walks, the definitions lists, the history, the event chains and the output definitions stream.
// Nothing may crash, hang or read past what the file holds; what a list reads it writes back and
// reads back the same.
#include <stdlib.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "definitions/lists/anchor_def_list.h"
#include "definitions/lists/es_dtm_def_list.h"
#include "definitions/project/event_chains.h"
#include "definitions/lists/filter_def_lists.h"
#include "definitions/header/hdr_list.h"
#include "definitions/lists/adj_def_list.h"
#include "definitions/lists/height_def_list.h"
#include "definitions/lists/height_def_upgrader.h"
#include "definitions/file/his_list.h"
#include "definitions/lists/node_def_list.h"
#include "definitions/lists/obj_def_list.h"
#include "definitions/lists/obs_def_list.h"
#include "definitions/lists/output_def_list.h"
#include "definitions/lists/sys_def_list.h"
#include "definitions/tide/tide_settings.h"
#include "definitions/file/vok_file.h"
#include "tests/fuzz/fuzz_support.h"
#include "tests/support/block_file_samples.h"
#include "host/definition_samples.h"

namespace {

using Vok::Test::CLeBytes;

void Check(bool condition) {
    if (!condition) __builtin_trap();
}

constexpr size_t kMaxInput = 65536;

// A private folder on tmpfs for the input file and the copies, removed at exit. Kept in a plain
// array, which outlives every exit handler.
char g_folder[] = "/dev/shm/vok-fuzz-blocks-XXXXXX";

const std::string& Folder() {
    static const std::string folder = [] {
        if (::mkdtemp(g_folder) == nullptr) {
            std::perror("mkdtemp");
            std::abort();
        }
        std::atexit([] {
            std::error_code ignored;
            std::filesystem::remove_all(g_folder, ignored);
        });
        return std::string(g_folder);
    }();
    return folder;
}

void WriteInput(const std::string& path, const uint8_t* data, size_t size) {
    Vok::Test::WriteFileBytes(path, std::vector<uint8_t>(data, data + size));
}

template <typename List>
bool SameRecords(const List& a, const List& b) {
    if (a.GetCount() != b.GetCount()) return false;
    for (int k = 0; k < a.GetCount(); ++k) {
        if (std::memcmp(a.GetAt(k), b.GetAt(k), sizeof *a.GetAt(k)) != 0) return false;
    }
    return true;
}

template <typename List>
int ReadFound(CVOKFile& file, int id, List& list) {
    return file.FindBlock(id) != 0 ? list.ReadBlock(file) : 0;
}

// Writes the lists into a fresh file and reads them back.
void RoundTrip(CObsDefList& obs, const CNodeDefList& nodes, CSysDefList& systems, const CAnchorDefList& anchors,
               CHdrList& headers, const CHisList& history) {
    const std::string path = Folder() + "/written.vok";
    CVOKFile out;
    Check(out.Open(path.c_str(), CFile::modeReadWrite | CFile::modeCreate));
    const int32_t count = 6;
    out.Write(&count, sizeof count);
    obs.WriteBlock(out);
    nodes.WriteBlock(out);
    systems.WriteBlock(out);
    anchors.WriteBlock(out);
    headers.WriteBlock(out, 0);
    history.WriteBlock(out);
    CObsDefList obs2;
    CNodeDefList nodes2;
    CSysDefList systems2;
    CAnchorDefList anchors2;
    CHdrList headers2;
    CHisList history2;
    Check(ReadFound(out, BLOCK_OBS_DEFS, obs2) == 1);
    Check(ReadFound(out, BLOCK_NODE_DEFS, nodes2) == 1);
    Check(systems2.ReadBlock(out) == 1);
    Check(ReadFound(out, BLOCK_ANCHOR_DEFS, anchors2) == 1);
    Check(headers2.ReadBlock(out, 0, 0) == 1);
    Check(history2.ReadBlock(out) == BLOCK_HISTORY);
    Check(SameRecords(obs, obs2) && SameRecords(nodes, nodes2) && SameRecords(systems, systems2));
    Check(anchors.Equals(anchors2) == 1);
    Check(headers2.GetCount() == headers.GetCount());
    Check(std::memcmp(history.GetData(), history2.GetData(), sizeof(sHisEntry) * CHisList::kEntries) == 0);
    headers2.RemoveAll();
}

// The filter, echosounder DTM and object lists in every layout their readers know, and the
// objects' settings stream from the start of the file; the objects take what the file's header
// records say of them; what the lists read goes round a fresh file.
class CCountingConverter : public ILegacyHeightDefConverter {
public:
    int32_t ConvertHeightDef(const sLegacyHeightDef&) override { return ++calls; }
    int32_t calls = 0;
};

void ReadFilterDtmAndObjectBlocks(CVOKFile& file, size_t size, const CHdrList& headers) {
    CFiltDefList filters;
    CObsFiltDefList obsFilters;
    CEsDtmDefList dtms;
    CObjDefList objects;
    for (const bool stamped : {true, false}) {
        if (file.FindBlock(BLOCK_FILTER_DEFS) != 0) filters.ReadBlock(file, stamped);
        if (file.FindBlock(BLOCK_OBJECT_DEFS) != 0) objects.ReadBlock(file, stamped);
    }
    ReadFound(file, BLOCK_OBS_FILTER_DEFS, obsFilters);
    for (const int version : {14, 15}) {
        if (file.FindBlock(BLOCK_ES_DTM_DEFS) != 0) dtms.ReadBlock(file, version);
    }
    // Whole records only.
    Check(static_cast<size_t>(filters.GetCount()) * 136 <= 2 * size);
    Check(static_cast<size_t>(objects.GetCount()) * 384 <= 2 * size);
    Check(static_cast<size_t>(obsFilters.GetCount()) * 72 <= size);
    Check(static_cast<size_t>(dtms.GetCount()) * 568 <= 2 * size);
    CCountingConverter converter;
    for (const bool versionByte : {true, false}) {
        file.SeekToBegin();
        objects.ReadSettingsStream(&file, &converter, versionByte);
        Check(static_cast<size_t>(converter.calls) * 1000 <= 2 * size);
    }
    dtms.Validate(nullptr);
    objects.UpdateFromHeaderRecords(&headers);
    objects.NormalizeDisplayOrder();
    objects.CopyHeightAreaToAll(nullptr);
    objects.CopyEnvironmentToAll(nullptr);

    const std::string path = Folder() + "/written-more.vok";
    CVOKFile out;
    Check(out.Open(path.c_str(), CFile::modeReadWrite | CFile::modeCreate));
    const int32_t count = 4;
    out.Write(&count, sizeof count);
    filters.WriteBlock(out);
    obsFilters.WriteBlock(out);
    dtms.WriteBlock(out, 15);
    objects.WriteBlock(out);
    CFiltDefList filters2;
    CObsFiltDefList obsFilters2;
    CEsDtmDefList dtms2;
    CObjDefList objects2;
    Check(out.FindBlock(BLOCK_FILTER_DEFS) == 1 && filters2.ReadBlock(out, true) == 1);
    Check(ReadFound(out, BLOCK_OBS_FILTER_DEFS, obsFilters2) == 1);
    Check(out.FindBlock(BLOCK_ES_DTM_DEFS) == 1 && dtms2.ReadBlock(out, 15) == 1);
    Check(out.FindBlock(BLOCK_OBJECT_DEFS) == 1 && objects2.ReadBlock(out, true) == 1);
    Check(SameRecords(filters, filters2) && SameRecords(obsFilters, obsFilters2));
    Check(SameRecords(dtms, dtms2) && SameRecords(objects, objects2));
}

// The height definition blocks, old and current, onto the objects of block 5 and into one set of
// tide settings, and the objects' settings stream converted into the same settings; the height
// definitions and the tide settings go round a fresh file and an archive.
void ReadHeightBlocks(CVOKFile& file, size_t size, const CNodeDefList& nodes, const CObsDefList& obs) {
    CObjDefList objects;
    if (file.FindBlock(BLOCK_OBJECT_DEFS) != 0) objects.ReadBlock(file, true);
    const CAdjDefList setUps;
    Vok::Tides::CTideSettingsContainer tides;
    CHeightDefList heights;
    for (const int id : {BLOCK_HEIGHT_DEFS_OLD_24, BLOCK_HEIGHT_DEFS_OLD_25, BLOCK_HEIGHT_DEFS_OLD_28,
                         BLOCK_HEIGHT_DEFS_OLD_30, BLOCK_HEIGHT_DEFS}) {
        if (file.FindBlock(id) != 0) heights.ReadLegacyBlock(file, id, &objects, &obs, &nodes, &setUps, &tides);
    }
    Check(static_cast<size_t>(heights.GetCount()) * 16 <= size);
    for (const bool versionByte : {true, false}) {
        file.SeekToBegin();
        objects.ReadSettingsStream(&file, &nodes, &obs, &setUps, &tides, versionByte);
    }
    // Each source serves its own observation or node.
    Check(tides.get_strategies().size() * 1000 <= 2 * size &&
          tides.get_sources().size() <= static_cast<size_t>(obs.GetCount() + nodes.GetCount()));

    Vok::ByteVector image;
    Vok::ByteVectorArchive archive(image);
    tides.serialize_to(archive, 0);
    Vok::Tides::CTideSettingsContainer tides2;
    Vok::ByteVectorArchive reader(image);
    tides2.serialize_from(reader);
    Check(tides2 == tides);

    const std::string path = Folder() + "/written-heights.vok";
    CVOKFile out;
    Check(out.Open(path.c_str(), CFile::modeReadWrite | CFile::modeCreate));
    const int32_t count = 1;
    out.Write(&count, sizeof count);
    heights.WriteBlock(out);
    CHeightDefList heights2;
    Check(out.FindBlock(BLOCK_HEIGHT_DEFS) == 1 && heights2.ReadBlock(out) == 1 && SameRecords(heights, heights2));
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    if (Vok::Fuzz::SeedFolder() == nullptr) return 0;
    const std::string path = Folder() + "/sample.vok";
    {
        CVOKFile file;
        if (!file.Open(path.c_str(), CFile::modeReadWrite | CFile::modeCreate)) std::abort();
        Vok::Test::WriteSampleProject(file);
    }
    const std::vector<uint8_t> sample = Vok::Test::ReadFileBytes(path);
    Vok::Fuzz::WriteSeed("sample-project", sample.data(), sample.size());
    const std::vector<uint8_t> old = CLeBytes()
                                         .I32(4)
                                         .Block(1, CLeBytes().I32(139).F32(15.0f).I32(-1).I32(-1))
                                         .Block(8, CLeBytes().I32(4).Zeros(16).U32(7).Text("old", 80))
                                         .Block(29, CLeBytes().Text("anchor", 76).I32(1).Zeros(88))
                                         .Block(6, CLeBytes().I32(1).I32(2).I32(0).Text("node", 61).Zeros(39));
    Vok::Fuzz::WriteSeed("old-blocks", old.data(), old.size());
    const std::vector<uint8_t> outputs = CLeBytes().U8(2).U32(1).U8(1).I32(1).I32(2).I32(3).I32(4);
    Vok::Fuzz::WriteSeed("output-defs", outputs.data(), outputs.size());
    {
        const std::string listsPath = Folder() + "/lists.vok";
        CVOKFile file;
        if (!file.Open(listsPath.c_str(), CFile::modeReadWrite | CFile::modeCreate)) std::abort();
        const int32_t count = 6;
        file.Write(&count, sizeof count);
        CFiltDefList filters;
        sFiltDef filter;
        InitFiltDef(&filter);
        filter.setupId = filter.objectId = 1;
        filters.Add(filter);
        filters.WriteBlock(file);
        CObsFiltDefList obsFilters;
        obsFilters.Add(sObsFiltDef{1, 2, 0, 1, {}});
        obsFilters.WriteBlock(file);
        CEsDtmDefList dtms;
        dtms.Add(sEsDtmDef())->id = 1;
        dtms.WriteBlock(file, 14);
        CObjDefList objects;
        sObjDef object{};
        object.objectId = 1;
        object.Init();
        object.settings2[0] = 1000001;  // the old code form
        objects.Add(object);
        objects.WriteBlock(file);
        // The object's reference point and squat model.
        CHdrList headers;
        const std::vector<uint8_t> point = CLeBytes().I32(1).I32(10).I32(0).F32(2.5f).Zeros(88);
        headers.AddRecord(197, static_cast<uint32_t>(point.size()), point.data(), -1);
        const std::vector<uint8_t> squat = CLeBytes().I32(1).Zeros(24).I32(7);
        headers.AddRecord(213, static_cast<uint32_t>(squat.size()), squat.data(), -1);
        headers.WriteBlock(file, 0);
        headers.RemoveAll();
        file.Close();
        const std::vector<uint8_t> lists = Vok::Test::ReadFileBytes(listsPath);
        Vok::Fuzz::WriteSeed("filter-dtm-object-blocks", lists.data(), lists.size());
    }
    {
        // Object 1 carries system 5 through node 1; observation 2 is a tide observation.
        const std::string heightsPath = Folder() + "/heights.vok";
        CVOKFile file;
        if (!file.Open(heightsPath.c_str(), CFile::modeReadWrite | CFile::modeCreate)) std::abort();
        const int32_t count = 5;
        file.Write(&count, sizeof count);
        CObjDefList objects;
        sObjDef object{};
        object.Init();
        object.objectId = 1;
        objects.Add(object);
        objects.WriteBlock(file);
        CNodeDefList nodes;
        nodes.Add(Vok::Test::MakeNodeDef(1, 1, 1, 0, 0.0, 0.0, 0.0));
        nodes.WriteBlock(file);
        CObsDefList obs;
        obs.Add(Vok::Test::MakeObsDef(1, 11, 5, 1, 0, 0));
        obs.Add(Vok::Test::MakeObsDef(2, 59, 6, 1, 0, 0));
        obs.WriteBlock(file);
        std::vector<uint8_t> old30(3456, 0), old24(336, 0);
        for (std::vector<uint8_t>* record : {&old30, &old24}) {
            const int32_t words[][2] = {{0, 5}, {16, 1000005}, {320, 1}};
            for (const auto& w : words) std::memcpy(record->data() + w[0], &w[1], 4);
        }
        const int32_t gauge[][2] = {{8, 2}, {324, 1}, {336, 2}};
        for (const auto& w : gauge) std::memcpy(old30.data() + w[0], &w[1], 4);
        const std::vector<uint8_t> blocks = CLeBytes().Block(30, old30).Block(24, old24);
        file.Write(blocks.data(), static_cast<UINT>(blocks.size()));
        file.Close();
        const std::vector<uint8_t> heights = Vok::Test::ReadFileBytes(heightsPath);
        Vok::Fuzz::WriteSeed("height-blocks", heights.data(), heights.size());
    }
    std::exit(0);
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > kMaxInput) return 0;
    const std::string path = Folder() + "/input.vok";
    WriteInput(path, data, size);
    CVOKFile file;
    Check(file.Open(path.c_str(), CFile::modeReadWrite));

    CSysDefList systems;
    CNodeDefList nodes;
    CObsDefList obs;
    CAnchorDefList anchors;
    CHdrList headers;
    CHisList history;
    systems.ReadBlock(file);
    ReadFound(file, BLOCK_NODE_DEFS, nodes);
    ReadFound(file, BLOCK_NODE_DEFS_OLD, nodes);
    ReadFound(file, BLOCK_OBS_DEFS, obs);
    ReadFound(file, BLOCK_OBS_DEFS_OLD, obs);
    ReadFound(file, BLOCK_OBS_DEFS_OLDEST, obs);
    ReadFound(file, BLOCK_ANCHOR_DEFS, anchors);
    ReadFound(file, BLOCK_ANCHOR_DEFS_OLD, anchors);
    headers.ReadBlock(file, 1, 1);
    history.ReadBlock(file);
    ReadFilterDtmAndObjectBlocks(file, size, headers);
    ReadHeightBlocks(file, size, nodes, obs);
    // Whole records only: never more than the file's bytes could hold in the smallest layout of
    // each (the oldest system records are 148 bytes).
    Check(static_cast<size_t>(obs.GetCount()) * 192 <= size && static_cast<size_t>(nodes.GetCount()) * 112 <= size);
    Check(static_cast<size_t>(anchors.GetCount()) * 168 <= size && static_cast<size_t>(systems.GetCount()) * 148 <= size);
    Check(history.GetUsedCount() <= CHisList::kMaxAction);

    int firstId = 0, lastId = 0;
    SYSTEMTIME first{}, last{};
    file.GetFixEventRange(&headers, &firstId, &first, &lastId, &last);
    file.GetHeartbeatTimeRange(&headers, &first, &last);
    file.GetFixRange(&firstId, &first, &lastId, &last);
    file.GetNodeEventTimeRange(&first, &last);
    GetMetaDataDuration(&headers);

    CByteArray after;
    file.CollectBlocksAfterEvents(after);
    Check(static_cast<size_t>(after.GetSize()) <= size);
    file.ReadVersionBlock();
    file.SeekPastBlocks();
    sBlockHeader header;
    for (bool more = file.ReadFirstBlockHeader(header); more;) more = file.ReadNextBlockHeader(header);
    CStringArray lines;
    file.Dump(lines);
    {
        const std::string copyPath = Folder() + "/copy.vok";
        CFile copy;
        Check(copy.Open(copyPath.c_str(), CFile::modeReadWrite | CFile::modeCreate));
        for (int id = 0; id <= 45; ++id) file.CopyBlock(&copy, id);
        Check(copy.GetLength() <= static_cast<ULONGLONG>(size) * 46);
    }
    // The walkers that write change ids and the count in place, never the length.
    file.ClearBlockId(9);
    file.RecountBlocks();
    file.ClearAllBlockIds();
    Check(file.GetLength() == size);

    file.SeekToBegin();
    COutputDefList outputs;
    if (outputs.Read(file, TRUE)) Check(static_cast<size_t>(outputs.GetSize()) * 12 <= size);
    file.Close();

    RoundTrip(obs, nodes, systems, anchors, headers, history);
    headers.RemoveAll();
    return 0;
}
