#include "definitions/file/vok_file.h"

#include <algorithm>
#include <array>
#include <vector>

#include "definitions/records/definition_records.h"
#include "definitions/file/his_list.h"
#include "foundation/system_time.h"
#include "foundation/time_text.h"

namespace {

constexpr std::array<const char*, 46> kBlockNames = {
    "Unused block type",
    "Header Definitions (old)",
    "System Definitions (old)",
    "Adjustment Definitions (old)",
    "Observation Definitions (old)",
    "Object Definitions",
    "Node Definitions (old)",
    "Observation Events",
    "History Information (old)",
    "Fix Definition",
    "Adjustment Definitions",
    "Observation Definitions",
    "Node Definitions",
    "Fix Events",
    "Adjustment Events",
    "Observation Events",
    "Node Events",
    "Filter Definitions (old)",
    "Filter Definitions (old)",
    "Observation Filter Definitions",
    "Position Filter Definitions (old)",
    "Echosounder Adjustment id (old)",
    "Echosounder Definitions (old)",
    "Echosounder Definitions",
    "Height Definitions (old)",
    "Height Definitions (old)",
    "Version Information",
    "System Definitions (old)",
    "Height Definitions (old)",
    "Anchor Definitions (old)",
    "Height Definitions (old)",
    "Height Definitions",
    "Position Filter Definitions",
    "Header Definitions",
    "Adjustment Definitions",
    "History Information",
    "Snippet Definitions",
    "Observation Definitions (old)",
    "Node Definitions",
    "Anchor Definitions",
    "Observation Definitions",
    "ADCP Definitions",
    "Monitor Definitions",
    "System Definitions",
    "Tide Definitions",
    "FLS Definitions",
};

constexpr size_t kCopyChunk = 65536;

}  // namespace

int32_t CVOKFile::ReadCount() {
    SeekToBegin();
    int32_t count = 0;
    if (Read(&count, sizeof count) != sizeof count) return 0;
    return count;
}

bool CVOKFile::ReadBlockHeader(sBlockHeader& header) {
    if (Read(&header, sizeof header) == sizeof header) return true;
    header = {};
    return false;
}

ULONGLONG CVOKFile::GetRemainingLength() {
    const ULONGLONG length = GetLength();
    const ULONGLONG position = GetPosition();
    return position < length ? length - position : 0;
}

void CVOKFile::WriteHeaderAt(ULONGLONG headerPosition, const sBlockHeader& header) {
    Seek(static_cast<LONGLONG>(headerPosition), begin);
    Write(&header, sizeof header);
}

int CVOKFile::FindBlock(int id) {
    const int32_t count = ReadCount();
    if (count > kMaxBlockCount) return 0;
    const ULONGLONG length = GetLength();
    for (int32_t i = 0; i < count; ++i) {
        const ULONGLONG at = GetPosition();
        sBlockHeader header;
        if (!ReadBlockHeader(header)) break;
        const ULONGLONG payloadEnd = at + sizeof header + static_cast<uint32_t>(header.size);
        // Nothing after a block that runs past the end can be reached either.
        if (payloadEnd > length) break;
        if (header.id == id) {
            Seek(static_cast<LONGLONG>(at), begin);
            return 1;
        }
        Seek(static_cast<LONGLONG>(payloadEnd), begin);
    }
    SeekToBegin();
    return 0;
}

int CVOKFile::SkipBlockById(int id) {
    if (FindBlock(id) == 0) return 0;
    SkipBlock();
    return 1;
}

ULONGLONG CVOKFile::BeginBlock() {
    const sBlockHeader placeholder{0, 0};
    Write(&placeholder, sizeof placeholder);
    return GetPosition();
}

void CVOKFile::EndBlock(ULONGLONG payloadStart, ULONGLONG size, int id) {
    WriteHeaderAt(payloadStart - sizeof(sBlockHeader), {id, static_cast<int32_t>(static_cast<uint32_t>(size))});
    Seek(static_cast<LONGLONG>(payloadStart + size), begin);
}

int CVOKFile::GetBlockCount() {
    return ReadCount();
}

bool CVOKFile::ReadFirstBlockHeader(sBlockHeader& header) {
    if (ReadCount() <= 0) return false;
    return ReadBlockHeader(header);
}

bool CVOKFile::ReadNextBlockHeader(sBlockHeader& header) {
    Seek(static_cast<uint32_t>(header.size), current);
    return ReadBlockHeader(header);
}

bool CVOKFile::SkipBlock() {
    sBlockHeader header;
    if (!ReadBlockHeader(header)) return false;
    Seek(static_cast<uint32_t>(header.size), current);
    return true;
}

bool CVOKFile::SeekPastBlocks() {
    const int32_t count = ReadCount();
    if (count < 0) return false;
    const ULONGLONG length = GetLength();
    for (int32_t i = 0; i < count; ++i) {
        sBlockHeader header;
        if (!ReadBlockHeader(header)) return false;
        if (static_cast<uint32_t>(header.size) > GetRemainingLength()) return false;
        Seek(static_cast<uint32_t>(header.size), current);
    }
    return GetPosition() <= length;
}

int CVOKFile::ReadVersionBlock() {
    if (FindBlock(BLOCK_VERSION) == 0) return 0;
    sBlockHeader header;
    ReadBlockHeader(header);
    int32_t version = 0;
    if (static_cast<uint32_t>(header.size) < sizeof version) return 0;
    if (Read(&version, sizeof version) != sizeof version) return 0;
    return version;
}

bool CVOKFile::CollectBlocksAfterEvents(CByteArray& out) {
    out.RemoveAll();
    const int32_t count = ReadCount();
    bool eventsMet = false;
    std::vector<uint8_t> bytes;
    for (int32_t i = 0; i < count; ++i) {
        sBlockHeader header;
        if (!ReadBlockHeader(header)) break;
        const auto size = static_cast<uint32_t>(header.size);
        if (!eventsMet) {
            eventsMet = header.id == BLOCK_OBS_EVENTS;
            Seek(size, current);
            continue;
        }
        if (size > GetRemainingLength()) break;
        bytes.resize(sizeof header + size);
        std::copy_n(reinterpret_cast<const uint8_t*>(&header), sizeof header, bytes.begin());
        if (Read(bytes.data() + sizeof header, size) != size) break;
        for (uint8_t b : bytes) out.Add(b);
    }
    return eventsMet;
}

int CVOKFile::CopyBlock(CFile* target, int id) {
    if (target == nullptr || FindBlock(id) == 0) return 0;
    sBlockHeader header;
    if (!ReadBlockHeader(header)) return 0;
    target->Write(&header, sizeof header);
    // In pieces: the size is the file's word, not a reason to allocate.
    std::vector<uint8_t> chunk;
    for (uint32_t left = static_cast<uint32_t>(header.size); left > 0;) {
        const auto n = static_cast<UINT>(std::min<size_t>(left, kCopyChunk));
        chunk.resize(n);
        if (Read(chunk.data(), n) != n) return 0;
        target->Write(chunk.data(), n);
        left -= n;
    }
    return 1;
}

template <typename F>
bool CVOKFile::WalkAllBlocks(F visit) {
    if (ReadCount() <= 0) return false;
    sBlockHeader header;
    while (true) {
        const ULONGLONG at = GetPosition();
        if (!ReadBlockHeader(header)) return true;
        visit(at, header);
        Seek(static_cast<LONGLONG>(at + sizeof header + static_cast<uint32_t>(header.size)), begin);
    }
}

void CVOKFile::ClearAllBlockIds() {
    if (GetLength() <= sizeof(int32_t)) return;
    const ULONGLONG position = GetPosition();
    WalkAllBlocks([&](ULONGLONG at, const sBlockHeader& header) {
        if (header.id != BLOCK_OBS_EVENTS && header.id != BLOCK_OBS_EVENTS_LATER)
            WriteHeaderAt(at, {BLOCK_UNUSED, header.size});
    });
    Seek(static_cast<LONGLONG>(position), begin);
}

void CVOKFile::ClearBlockId(int id) {
    if (GetLength() <= sizeof(int32_t)) return;
    const ULONGLONG position = GetPosition();
    WalkAllBlocks([&](ULONGLONG at, const sBlockHeader& header) {
        if (header.id == id) WriteHeaderAt(at, {BLOCK_UNUSED, header.size});
    });
    Seek(static_cast<LONGLONG>(position), begin);
}

void CVOKFile::RecountBlocks() {
    const ULONGLONG position = GetPosition();
    int32_t count = 0;
    if (WalkAllBlocks([&](ULONGLONG, const sBlockHeader&) { ++count; })) {
        SeekToBegin();
        Write(&count, sizeof count);
    }
    Seek(static_cast<LONGLONG>(position), begin);
}

void CVOKFile::Dump(CStringArray& lines) {
    lines.RemoveAll();
    CString line;
    line.Format("---------- VOK File contains %d blocks ----------", GetBlockCount());
    lines.Add(line);
    WalkAllBlocks([&](ULONGLONG at, const sBlockHeader& header) {
        line.Format(" Block Id %d '%s' Offset %llu Size %d", header.id, GetBlockName(header.id),
                    static_cast<unsigned long long>(at + sizeof header), header.size);
        lines.Add(line);
    });
    CHisList history;
    history.ReadBlock(*this);
    lines.Add("---------- History list -------------------------");
    auto timeText = [](const SYSTEMTIME& st) {
        return FormatTimeOfDay(CVOKTime(SystemTimeToMjdTime(st)), 3, ':');
    };
    for (INT_PTR k = 0; k < history.GetSize(); ++k) {
        const sHisEntry& entry = history[k];
        if (entry.version == 0) continue;
        line.Format("[%0d]: version %d, action %d, value %d, start time %s", static_cast<int>(k + 1), entry.version,
                    entry.action, static_cast<int32_t>(entry.value), timeText(entry.start));
        lines.Add(line);
        line.Format("       end time %s, user %s, comment %s", timeText(entry.end), FieldText(entry.user),
                    FieldText(entry.comment));
        lines.Add(line);
    }
    lines.Add("---------- VOK File end -------------------------");
}

void CVOKFile::Dump() {
    CStringArray lines;
    Dump(lines);
}

bool CVOKFile::IsKnownBlockId(int id) {
    return id > BLOCK_UNUSED && static_cast<size_t>(id) < kBlockNames.size();
}

CString CVOKFile::GetBlockName(int id) {
    if (id < 0 || static_cast<size_t>(id) >= kBlockNames.size()) return "Unknown block type";
    return kBlockNames[static_cast<size_t>(id)];
}
