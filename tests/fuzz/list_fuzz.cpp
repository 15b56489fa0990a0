// Arbitrary block contents read back by the definitions lists. The input describes the four items
// of a settings buffer (observations, nodes, systems, header records), each as
//   u8 shape      bit 0: the list's own record size; bit 1: descriptor words follow the bytes
//   u32 record size, u32 record count, u16 length, then length bytes
//   [u32 size, u32 offset, u32 flags, u32 next index]   with shape bit 1
// and is written into a real shared buffer whose descriptors are then as another process left
// them. The lists read the items, are used, written back and read again.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <exception>
#include <memory>
#include <vector>

#include "definitions/records/definition_types.h"
#include "definitions/header/hdr_list.h"
#include "definitions/lists/node_def_list.h"
#include "definitions/lists/obs_def_list.h"
#include "definitions/lists/sys_def_list.h"
#include "platform/ipc_buffer_handle.h"
#include "tests/fuzz/fuzz_support.h"
#include "host/definition_samples.h"

namespace {

using Vok::Fuzz::CInputReader;
using Vok::Fuzz::CInputWriter;

constexpr DWORD kItems = 4;
constexpr DWORD kOwnSizes[kItems] = {sizeof(sObsDef), sizeof(sNodeDef), sizeof(sSysDef), 1};
constexpr uint8_t kOwnSize = 1, kDescriptor = 2;

void Check(bool condition) {
    if (!condition) __builtin_trap();
}

// Blocks 1..4 hold the items, 5..7 take the record lists written back, 8 the header image.
constexpr size_t kMaxInput = 32768;
constexpr DWORD kBlockRoom = kMaxInput;

struct sBuffers {
    std::unique_ptr<IpcBufferHandle> writer, reader;
};

sBuffers& Buffers() {
    static sBuffers b = [] {
        Vok::Fuzz::UsePrivateIpcFolder();
        sBuffers made;
        made.writer = std::make_unique<IpcBufferHandle>("FUZZ_LISTS", 1);
        made.reader = std::make_unique<IpcBufferHandle>("FUZZ_LISTS", 0);
        IpcBufferHandle& w = *made.writer;
        if (!w.Lock()) std::abort();
        for (DWORD item = 0; item < kItems; ++item) w.buffer.AddBlock(item + 1, kBlockRoom, kBlockRoom);
        for (DWORD item = 0; item < kItems - 1; ++item)
            w.buffer.AddBlock(kItems + item + 1, kBlockRoom, kOwnSizes[item]);
        w.buffer.AddBlock(2 * kItems, 0, 0);
        w.Unlock();
        return made;
    }();
    return b;
}

// The item blocks' descriptors as they were before the input was written, to be put back.
struct sDescriptorEdit {
    Vok::IpcBlockDescriptor* at;
    Vok::IpcBlockDescriptor was;
};

// Items 1..4 from the input, in blocks with room for any of them: the descriptor says how much of
// the room the item takes. Blocks 5..8 are emptied for the lists to write back into.
std::vector<sDescriptorEdit> WriteItems(IpcBufferHandle& w, CInputReader& in) {
    std::vector<sDescriptorEdit> edits;
    for (DWORD i = 0; i < kItems; ++i) {
        const uint8_t shape = in.U8();
        const uint32_t recordSize = in.U32();
        const uint32_t count = in.U32();
        const std::vector<uint8_t> bytes = in.Bytes(in.U16());
        const auto size = static_cast<DWORD>(bytes.size());
        if (size > 0) std::memcpy(w.buffer.GetBlockData(i), bytes.data(), size);
        Vok::IpcBlockDescriptor* d = w.buffer.GetWritableBlock(i);
        edits.push_back({d, *d});
        d->size = size;
        d->recordSize = (shape & kOwnSize) != 0 ? kOwnSizes[i] : recordSize;
        d->recordCount = count;
        if ((shape & kDescriptor) != 0) {
            d->size = in.U32();
            d->offset = in.U32();
            d->flags = in.U32();
            d->nextIndex = in.U32();
        }
    }
    for (DWORD i = kItems; i < 2 * kItems; ++i) w.buffer.SetRecordCount(i, 0);
    return edits;
}

// The records in order, byte for byte.
template <typename List>
bool SameRecords(const List& a, const List& b) {
    if (a.GetCount() != b.GetCount()) return false;
    for (int k = 0; k < a.GetCount(); ++k)
        if (std::memcmp(a.GetAt(k), b.GetAt(k), sizeof *a.GetAt(k)) != 0) return false;
    return true;
}

bool SameEntries(const CHdrList& a, const CHdrList& b) {
    if (a.GetCount() != b.GetCount()) return false;
    for (int k = 0; k < a.GetCount(); ++k) {
        const sHdrEntry& x = *a.GetEntryAt(k);
        const sHdrEntry& y = *b.GetEntryAt(k);
        if (x.recordId != y.recordId || x.payloadSize != y.payloadSize || x.eventLink != y.eventLink ||
            x.secondLink != y.secondLink || x.filePosition != y.filePosition || x.flag != y.flag)
            return false;
        if (x.payloadSize > 0 && std::memcmp(x.Payload(), y.Payload(), x.payloadSize) != 0) return false;
    }
    return true;
}

// What the driver and the host do with lists they have read.
void Use(CObsDefList& obs, CNodeDefList& nodes, CSysDefList& systems, CHdrList& headers) {
    for (const sObsDef& d : obs) {
        obs.FindAssociatedObs(&d);
        obs.FindLinkPartner(&d);
        obs.FindByNode(nodes.FindById(d.nodeId), 1, 1);
        obs.CountTextUses(d.sysId, "GPS", 0, 0, 0);
        GetObsDefName(&d);
        ApplyObsCorrection(1.0, &d);
        RemoveObsCorrection(1.0, &d);
        ApplyVelocityRatio(1.0, &d);
    }
    CObsDefList copy;
    obs.CopyFromObject(copy, &nodes, 1);
    for (const sNodeDef& n : nodes) {
        GetNodeDefName(&n);
        nodes.GetSatelliteNumber(n.id);
        nodes.FindCoincidentNode(n.id, 2);
        nodes.FindLinkedNodeId(n.objectId, &headers);
        nodes.CountLinks(n.objectId, &headers);
    }
    CNodeDefList linked;
    if (nodes.GetCount() > 0) linked.CopyLinkedNodes(nodes.GetAt(0)->number, &nodes, &headers, 0);
    nodes.CopyDredgingNodes(linked, -1, &headers);
    for (const sSysDef& s : systems) {
        GetSysDefName(&s);
        sSysDef d;
        CSysDefList::CopySysDefFields(d, s, 0xFFFFFFFFu);
        CSysDefList::CompareSysDefs(d, s);
    }
    systems.GetSystemIdByName("System 1");
    for (const sHdrEntry& e : headers) systems.GetSystemIdOfHeaderEntry(&e);
    GnssPositionHdrIterator gnss(&headers);
    while (gnss.Next() != nullptr) {
    }
    uint8_t projection[80], localGrid[176], parameters[64];
    headers.GetProjectionParameters(projection, localGrid, parameters);
    headers.GetMetaDataFlag();
    CHdrList copied(headers);
    copied.DeleteRecordsByKey(210, 1);
    // Sorting last: it reorders the nodes.
    nodes.SortByObjects({1, 2}, 0, 1);
}

void RoundTrip(IpcBufferHandle& w, IpcBufferHandle& r, CObsDefList& obs, const CNodeDefList& nodes,
               const CSysDefList& systems, const CHdrList& headers) {
    if (!w.Lock()) return;
    const int written[] = {obs.WriteToIpc(w, 5), nodes.WriteToIpc(w, 6), systems.WriteToIpc(w, 7),
                           headers.WriteToIpc(w, 8)};
    w.Unlock();
    if (!r.Lock()) return;
    CObsDefList obs2;
    CNodeDefList nodes2;
    CSysDefList systems2;
    CHdrList headers2;
    const int read[] = {obs2.ReadFromIpc(r, 5), nodes2.ReadFromIpc(r, 6), systems2.ReadFromIpc(r, 7),
                        headers2.ReadFromIpc(r, 8)};
    r.Unlock();
    // Only a list larger than its block's room may fail to go out.
    Check(written[3] == 1);
    Check(read[0] == 1 && read[1] == 1 && read[2] == 1 && read[3] == 1);
    Check(written[0] == 0 || SameRecords(obs, obs2));
    Check(written[1] == 0 || SameRecords(nodes, nodes2));
    Check(written[2] == 0 || SameRecords(systems, systems2));
    Check(SameEntries(headers, headers2));
}

// The sample lists as the input describes them: each item with the list's own record size.
std::vector<uint8_t> SampleInput(bool descriptors) {
    CObsDefList obs;
    CNodeDefList nodes;
    CSysDefList systems;
    CHdrList headers;
    Vok::Test::FillSampleObsDefs(obs);
    Vok::Test::FillSampleNodeDefs(nodes);
    Vok::Test::FillSampleSysDefs(systems);
    Vok::Test::FillSampleHdrList(headers);
    CInputWriter out;
    auto item = [&](const std::vector<uint8_t>& bytes, DWORD count, DWORD recordSize) {
        out.U8(kOwnSize | (descriptors ? kDescriptor : 0));
        out.U32(recordSize);
        out.U32(count);
        out.U16(static_cast<uint16_t>(bytes.size()));
        out.Bytes(bytes.data(), bytes.size());
        if (descriptors) {
            out.U32(static_cast<uint32_t>(bytes.size()));
            out.U32(0);
            out.U32(0);
            out.U32(0);
        }
    };
    auto records = [](const auto& list) {
        std::vector<uint8_t> bytes;
        for (const auto& r : list) {
            const auto* p = reinterpret_cast<const uint8_t*>(&r);
            bytes.insert(bytes.end(), p, p + sizeof r);
        }
        return bytes;
    };
    item(records(obs), static_cast<DWORD>(obs.GetCount()), sizeof(sObsDef));
    item(records(nodes), static_cast<DWORD>(nodes.GetCount()), sizeof(sNodeDef));
    item(records(systems), static_cast<DWORD>(systems.GetCount()), sizeof(sSysDef));
    std::vector<uint8_t> image(headers.GetImageSize());
    headers.WriteImage(image.data());
    item(image, static_cast<DWORD>(headers.GetCount()), 1);
    return out.Get();
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    if (Vok::Fuzz::SeedFolder() == nullptr) return 0;
    for (const bool descriptors : {false, true}) {
        const std::vector<uint8_t> seed = SampleInput(descriptors);
        Vok::Fuzz::WriteSeed(descriptors ? "samples-descriptors" : "samples", seed.data(), seed.size());
    }
    std::exit(0);
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > kMaxInput) return 0;
    sBuffers& b = Buffers();
    CInputReader in(data, size);
    if (!b.writer->Lock()) return 0;
    const std::vector<sDescriptorEdit> edits = WriteItems(*b.writer, in);
    b.writer->Unlock();

    CObsDefList obs;
    CNodeDefList nodes;
    CSysDefList systems;
    CHdrList headers;
    if (!b.reader->Lock()) return 0;
    const int read[] = {obs.ReadFromIpc(*b.reader, 1), nodes.ReadFromIpc(*b.reader, 2),
                        systems.ReadFromIpc(*b.reader, 3), headers.ReadFromIpc(*b.reader, 4)};
    b.reader->Unlock();
    if (!b.writer->Lock()) std::abort();
    for (const sDescriptorEdit& e : edits) *e.at = e.was;
    b.writer->Unlock();
    // All or nothing: a list that was refused holds no record.
    Check(read[0] == 1 || obs.IsEmpty());
    Check(read[1] == 1 || nodes.IsEmpty());
    Check(read[2] == 1 || systems.IsEmpty());
    Check(read[3] == 1 || headers.IsEmpty());
    Use(obs, nodes, systems, headers);
    RoundTrip(*b.writer, *b.reader, obs, nodes, systems, headers);
    return 0;
}
