#include "definitions/project/event_chains.h"

#include <vector>

#include "definitions/header/hdr_list.h"
#include "definitions/records/payload_bytes.h"
#include "definitions/file/vok_file.h"
#include "foundation/system_time.h"

using Vok::Definitions::LoadAt;
namespace Chains = Vok::EventChains;

namespace {

// One block's payload as the home of a chain: records are read only where they lie whole inside it.
class CChainBlock {
public:
    CChainBlock(CVOKFile& file, const sBlockHeader& header, size_t recordSize)
        : m_file(file), m_base(file.GetPosition()), m_size(static_cast<uint32_t>(header.size)), m_record(recordSize) {}

    bool ReadAt(int64_t offset) {
        if (offset < 0 || static_cast<uint64_t>(offset) + m_record.size() > m_size) return false;
        m_file.Seek(static_cast<LONGLONG>(m_base + static_cast<uint64_t>(offset)), CFile::begin);
        return m_file.Read(m_record.data(), static_cast<UINT>(m_record.size())) == m_record.size();
    }
    int32_t Word(size_t offset) const { return LoadAt<int32_t>(m_record.data(), offset); }
    int32_t Next() const { return Word(0); }
    uint32_t Size() const { return m_size; }
    SYSTEMTIME SystemTime(size_t offset) const { return LoadAt<SYSTEMTIME>(m_record.data(), offset); }
    // The sMjdTime at the offset as calendar time.
    SYSTEMTIME MjdSystemTime(size_t offset) const {
        return TimeToSystemTime(CVOKTime(LoadAt<sMjdTime>(m_record.data(), offset)));
    }

private:
    CVOKFile& m_file;
    uint64_t m_base;
    uint32_t m_size;
    std::vector<uint8_t> m_record;
};

// Positions the file at the payload of the first block with the id; false when there is none.
bool EnterBlock(CVOKFile& file, int id, sBlockHeader& header) {
    return file.FindBlock(id) != 0 && file.ReadBlockHeader(header);
}

// Reads the first bytes of the first block with the id into head; false when it is missing or shorter.
bool ReadHead(CVOKFile& file, int id, uint8_t* head, size_t size) {
    sBlockHeader header;
    if (!EnterBlock(file, id, header) || static_cast<uint32_t>(header.size) < size) return false;
    return file.Read(head, static_cast<UINT>(size)) == size;
}

struct sChainEnd {
    int* id;
    SYSTEMTIME* time;
    void Clear() const {
        if (id != nullptr) *id = 0;
        if (time != nullptr) *time = SYSTEMTIME{};
    }
    void Take(const CChainBlock& block, const Chains::sChainLayout& layout) const {
        if (id != nullptr && layout.idOffset != Chains::kNone) *id = block.Word(layout.idOffset);
        if (time != nullptr) *time = block.MjdSystemTime(layout.timeOffset);
    }
};

// Walks a chain of block 7 from its first offset: 1 when it ends with -1, else 0 with what was
// gathered. A link must lead past the end of the record it comes from, so no walk loops. A fix
// chain keeps a record whose own link is broken as its last; a heartbeat chain does not.
int WalkEventChain(CVOKFile& file, const Chains::sChainLayout& layout, bool keepBrokenLast, int firstOffset,
                   const sChainEnd& first, const sChainEnd& last) {
    first.Clear();
    last.Clear();
    if (firstOffset == Chains::kEnd) return 0;
    sBlockHeader header;
    if (!EnterBlock(file, BLOCK_OBS_EVENTS, header)) return 0;
    CChainBlock block(file, header, layout.size);
    if (!block.ReadAt(firstOffset)) return 0;
    first.Take(block, layout);
    int64_t end = int64_t{firstOffset} + static_cast<int64_t>(layout.size);
    for (int32_t next = block.Next(); next != Chains::kEnd;) {
        if (next < end || !block.ReadAt(next)) return 0;
        end = int64_t{next} + static_cast<int64_t>(layout.size);
        const int32_t own = block.Next();
        const bool usable = own == Chains::kEnd || (own >= 1 && static_cast<uint32_t>(own) <= block.Size());
        if (usable || (keepBrokenLast && own != 0)) last.Take(block, layout);
        if (own == Chains::kEnd) return 1;
        if (!usable) return 0;
        next = own;
    }
    return 1;
}

}  // namespace

int CVOKFile::WriteChainedRecord(const void* record, UINT length, int* first, int* last, int base) {
    if (first == nullptr || last == nullptr) throw CInvalidArgException();
    const auto offset = static_cast<int32_t>(static_cast<uint32_t>(GetPosition()) - static_cast<uint32_t>(base));
    Write(record, length);
    if (*first != Chains::kEnd) {
        // The previous last record's link now leads here.
        const ULONGLONG position = GetPosition();
        Seek(int64_t{base} + *last, begin);
        Write(&offset, sizeof offset);
        Seek(static_cast<LONGLONG>(position), begin);
    }
    *last = offset;
    if (*first == Chains::kEnd) *first = offset;
    return 1;
}

int CVOKFile::ReadFixEventChain(int* firstId, SYSTEMTIME* firstTime, int* lastId, SYSTEMTIME* lastTime,
                                int firstOffset) {
    return WalkEventChain(*this, Chains::kFixEvent, true, firstOffset, {firstId, firstTime}, {lastId, lastTime});
}

int CVOKFile::ReadOldFixEventChain(int* firstId, SYSTEMTIME* firstTime, int* lastId, SYSTEMTIME* lastTime,
                                   int firstOffset) {
    return WalkEventChain(*this, Chains::kOldFixEvent, true, firstOffset, {firstId, firstTime}, {lastId, lastTime});
}

int CVOKFile::ReadHeartbeatChain(SYSTEMTIME* first, SYSTEMTIME* last, int firstOffset) {
    return WalkEventChain(*this, Chains::kHeartbeat, false, firstOffset, {nullptr, first}, {nullptr, last});
}

int CVOKFile::GetFixEventRange(const CHdrList* headers, int* firstId, SYSTEMTIME* firstTime, int* lastId,
                               SYSTEMTIME* lastTime) {
    if (headers == nullptr) return 0;
    int32_t link = Chains::kEnd;
    if (headers->GetRecordEx(Chains::kRecordFix, 1, link) != nullptr) {
        return link == Chains::kEnd ? 0 : ReadFixEventChain(firstId, firstTime, lastId, lastTime, link);
    }
    if (headers->GetRecordEx(Chains::kRecordOldFix, 1, link) != nullptr) {
        return link == Chains::kEnd ? 0 : ReadOldFixEventChain(firstId, firstTime, lastId, lastTime, link);
    }
    return 0;
}

int CVOKFile::GetHeartbeatTimeRange(const CHdrList* headers, SYSTEMTIME* first, SYSTEMTIME* last) {
    if (headers == nullptr) return 0;
    int32_t link = Chains::kEnd;
    if (headers->GetRecordEx(Chains::kRecordHeartbeat, 1, link) == nullptr || link == Chains::kEnd) return 0;
    return ReadHeartbeatChain(first, last, link);
}

int CVOKFile::GetFixRange(int* firstFix, SYSTEMTIME* firstTime, int* lastFix, SYSTEMTIME* lastTime) {
    const Chains::sChainLayout& layout = Chains::kOldestFix;
    const sChainEnd first{firstFix, firstTime}, last{lastFix, lastTime};
    first.Clear();
    last.Clear();
    uint8_t head[Chains::kFixHeadSize];
    if (!ReadHead(*this, BLOCK_FIX_DEFINITION, head, sizeof head)) return 0;
    const auto firstOffset = LoadAt<int32_t>(head, 0);
    const auto lastOffset = LoadAt<int32_t>(head, 4);
    if (firstOffset == Chains::kEnd) return 0;
    sBlockHeader header;
    if (!EnterBlock(*this, BLOCK_FIX_EVENTS, header)) return 0;
    CChainBlock block(*this, header, layout.size);
    auto take = [&](const sChainEnd& to) {
        if (to.id != nullptr) *to.id = block.Word(layout.idOffset);
        if (to.time != nullptr) *to.time = block.SystemTime(layout.timeOffset);
    };
    if (!block.ReadAt(firstOffset)) return 0;
    bool haveFirst = true;
    if (!CVOKTime(SystemTimeToMjdTime(block.SystemTime(layout.timeOffset))).IsValid()) {
        // An empty first record stands for its successor; alone, the chain has no first fix.
        const int32_t next = block.Next();
        haveFirst = next != Chains::kEnd;
        if (haveFirst && !block.ReadAt(next)) return 0;
    }
    if (haveFirst) take(first);
    if (!block.ReadAt(lastOffset)) return 0;
    take(last);
    return haveFirst ? 1 : 0;
}

int CVOKFile::GetNodeEventTimeRange(SYSTEMTIME* first, SYSTEMTIME* last) {
    const Chains::sChainLayout& layout = Chains::kNodeEvent;
    uint8_t head[Chains::kNodeHeadSize];
    if (!ReadHead(*this, BLOCK_NODE_EVENT_HEAD, head, sizeof head)) return 0;
    const auto firstOffset = LoadAt<int32_t>(head, Chains::kNodeHeadFirst);
    if (firstOffset == Chains::kEnd) return 0;
    if (SkipBlockById(BLOCK_NODE_EVENTS) == 0) return 0;
    if (first != nullptr) *first = SYSTEMTIME{};
    if (last != nullptr) *last = SYSTEMTIME{};
    // The records live in the block after block 16.
    sBlockHeader header;
    if (!ReadBlockHeader(header)) return 0;
    CChainBlock block(*this, header, layout.size);
    CVOKTime firstTime;
    bool haveFirst = false;
    int64_t end = 0;
    for (int32_t offset = firstOffset; offset >= end && block.ReadAt(offset);) {
        const SYSTEMTIME time = block.SystemTime(layout.timeOffset);
        if (!haveFirst) {
            firstTime = CVOKTime(SystemTimeToMjdTime(time));
            haveFirst = firstTime.IsValid();
        }
        if (last != nullptr) *last = time;
        end = int64_t{offset} + static_cast<int64_t>(layout.size);
        offset = block.Next();
        if (offset == Chains::kEnd) break;
    }
    if (haveFirst && first != nullptr) *first = TimeToSystemTime(firstTime);
    return 1;
}

double GetMetaDataDuration(const CHdrList* headers) {
    const sHdrEntry* entry = headers != nullptr ? headers->GetEntry(Chains::kRecordMetaData, 1) : nullptr;
    if (entry == nullptr) return 0.0;
    const auto start = entry->Load<sMjdTime>(Chains::kMetaDataStart);
    const auto end = entry->Load<sMjdTime>(Chains::kMetaDataEnd);
    if (!start || !end || start->day == 0 || end->day == 0) return 0.0;
    return CVOKTime(*end) - CVOKTime(*start);
}
