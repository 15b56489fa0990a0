#include "definitions/header/hdr_list.h"

#include <algorithm>
#include <cstring>
#include <exception>
#include <limits>

#include "compat/code_page.h"
#include "compat/resource_strings.h"
#include "foundation/error_text.h"
#include "definitions/file/vok_file.h"
#include "platform/ipc_buffer_handle.h"
#include "platform/log.h"

using Vok::Definitions::LoadAt;
using Vok::Definitions::StoreAt;

namespace {

constexpr int32_t kRecordUtcToGps = 139;
constexpr int32_t kRecordSurveyUnit = 153;
constexpr int32_t kRecordMetaData = 233;
constexpr size_t kMetaDataFlagOffset = 1045;
constexpr int32_t kRecordProjection = 16;
constexpr int32_t kRecordLocalGrid = 236;
constexpr size_t kSurveyUnitFactorOffset = 40;

// Zeroed payload storage of at least the record type's fixed size. The record-type functions read a
// payload up to that size, so an entry stated shorter (by a host's image, a file or a caller) is padded
// with zeros rather than refused: an image accepted before is still accepted whole, and payloadSize
// keeps the stated size, so the image is written back byte for byte.
std::unique_ptr<uint8_t[]> NewPayload(int32_t recordId, uint32_t size) {
    return std::make_unique<uint8_t[]>(std::max<size_t>(size, GetRecordSize(recordId)));
}

std::unique_ptr<sHdrEntry> NewEntry(int32_t recordId, uint32_t size) {
    auto entry = std::make_unique<sHdrEntry>();
    entry->recordId = recordId;
    entry->payloadSize = size;
    entry->payload = NewPayload(recordId, size);
    return entry;
}

std::unique_ptr<sHdrEntry> CopyEntry(const sHdrEntry& from) {
    auto entry = NewEntry(from.recordId, from.payloadSize);
    if (from.payloadSize > 0 && from.payload) std::memcpy(entry->payload.get(), from.payload.get(), from.payloadSize);
    entry->eventLink = from.eventLink;
    entry->secondLink = from.secondLink;
    entry->filePosition = from.filePosition;
    entry->flag = from.flag;
    return entry;
}

// Replaces a word equal to old by new; nothing outside the payload.
void RenumberWord(sHdrEntry& entry, size_t offset, int32_t oldValue, int32_t newValue) {
    if (entry.Word(offset) == oldValue) entry.Store(offset, newValue);
}

}  // namespace

CHdrList::CHdrList(const CHdrList& other) : CObject() {
    CopyEntriesFrom(other);
}

CHdrList& CHdrList::operator=(const CHdrList& other) {
    if (this != &other) {
        RemoveAll();
        CopyEntriesFrom(other);
    }
    return *this;
}

void CHdrList::CopyEntriesFrom(const CHdrList& other) {
    for (const auto& entry : other.m_entries) Append(CopyEntry(*entry));
}

void CHdrList::RemoveAll() {
    m_entries.clear();
}

sHdrEntry* CHdrList::Append(std::unique_ptr<sHdrEntry> entry) {
    RefreshCache(*entry);
    m_entries.push_back(std::move(entry));
    return m_entries.back().get();
}

void CHdrList::RefreshCache(const sHdrEntry& entry) {
    if (entry.recordId == kRecordUtcToGps) {
        if (const auto offset = entry.Load<float>(0)) m_utcToGpsOffset = *offset;
    } else if (entry.recordId == kRecordSurveyUnit) {
        if (const auto factor = entry.Load<double>(kSurveyUnitFactorOffset)) m_surveyUnitFactor = *factor;
    }
}

template <typename F>
sHdrEntry* CHdrList::FindNth(int32_t recordId, int32_t n, F&& match) const {
    if (n < 1) return nullptr;
    for (const auto& entry : m_entries) {
        if (entry->recordId == recordId && match(*entry) && --n == 0) return entry.get();
    }
    return nullptr;
}

bool CHdrList::HasRecord(int32_t recordId) const {
    return GetEntry(recordId, 1) != nullptr;
}

uint32_t CHdrList::GetRecordCount(int32_t recordId) const {
    return static_cast<uint32_t>(std::count_if(m_entries.begin(), m_entries.end(),
                                               [&](const auto& e) { return e->recordId == recordId; }));
}

uint32_t CHdrList::CountRecordsOf(int32_t a, int32_t b, uint32_t& countA, uint32_t& countB) const {
    uint32_t countC = 0;
    // An id that no record type uses stands in for the missing third.
    return CountRecordsOf(a, b, std::numeric_limits<int32_t>::min(), countA, countB, countC);
}

uint32_t CHdrList::CountRecordsOf(int32_t a, int32_t b, int32_t c, uint32_t& countA, uint32_t& countB,
                                  uint32_t& countC) const {
    countA = countB = countC = 0;
    for (const auto& entry : m_entries) {
        if (entry->recordId == a) ++countA;
        else if (entry->recordId == b) ++countB;
        else if (entry->recordId == c) ++countC;
    }
    return countA + countB + countC;
}

uint8_t* CHdrList::GetRecord(int32_t recordId, int32_t n) const {
    sHdrEntry* entry = GetEntry(recordId, n);
    return entry != nullptr ? entry->payload.get() : nullptr;
}

uintptr_t CHdrList::GetRecordAddress(int32_t recordId, int32_t n) const {
    return reinterpret_cast<uintptr_t>(GetRecord(recordId, n));
}

uint8_t* CHdrList::GetRecordEx(int32_t recordId, int32_t n, int32_t& eventLink) const {
    sHdrEntry* entry = GetEntry(recordId, n);
    if (entry == nullptr) return nullptr;
    eventLink = entry->eventLink;
    return entry->payload.get();
}

sHdrEntry* CHdrList::GetEntry(int32_t recordId, int32_t n) const {
    return FindNth(recordId, n, [](const sHdrEntry&) { return true; });
}

uint8_t* CHdrList::AddRecord(int32_t recordId, uint32_t size, const void* source, int32_t eventLink) {
    auto entry = NewEntry(recordId, size);
    if (source != nullptr && size > 0) std::memcpy(entry->payload.get(), source, size);
    entry->eventLink = eventLink;
    return Append(std::move(entry))->payload.get();
}

int CHdrList::DeleteRecord(int32_t recordId, int32_t n) {
    sHdrEntry* entry = GetEntry(recordId, n);
    if (entry == nullptr) return 0;
    m_entries.erase(std::find_if(m_entries.begin(), m_entries.end(), [&](const auto& e) { return e.get() == entry; }));
    return 1;
}

int CHdrList::DeleteRecordsByKey(int32_t recordId, int32_t key) {
    int keyOffset = -1;
    if (recordId == 210) keyOffset = 4;
    else if (recordId == 269 || recordId == 270) keyOffset = 0;
    const auto removed = std::erase_if(m_entries, [&](const auto& e) {
        return e->recordId == recordId && (keyOffset < 0 || e->Word(static_cast<size_t>(keyOffset)) == key);
    });
    return static_cast<int>(removed);
}

int CHdrList::SetRecords(const CPtrList* source, int32_t recordId, uint32_t size) {
    if (source == nullptr) return 0;
    const auto m = static_cast<uint32_t>(source->GetCount());
    uint32_t n = GetRecordCount(recordId);
    for (; n > m; --n) {
        if (DeleteRecord(recordId, 1) == 0) return 0;
    }
    for (; n < m; ++n) Append(NewEntry(recordId, size));
    POSITION pos = source->GetHeadPosition();
    int32_t k = 1;
    while (pos != nullptr) {
        const auto* bytes = static_cast<const uint8_t*>(source->GetNext(pos));
        sHdrEntry* entry = GetEntry(recordId, k++);
        // Never write past an entry's payload: a short one is replaced first.
        if (entry->payloadSize < size) {
            entry->payload = NewPayload(entry->recordId, size);
            entry->payloadSize = size;
        }
        if (bytes != nullptr && size > 0) std::memcpy(entry->payload.get(), bytes, size);
        RefreshCache(*entry);
    }
    return 1;
}

int CHdrList::SetRecordsPreferring(const CPtrList* source, int32_t recordId, int32_t preferredId, uint32_t size) {
    return SetRecords(source, HasRecord(preferredId) ? preferredId : recordId, size);
}

uint8_t CHdrList::GetMetaDataFlag() const {
    const sHdrEntry* entry = GetEntry(kRecordMetaData, 1);
    return entry != nullptr ? entry->Load<uint8_t>(kMetaDataFlagOffset).value_or(0) : 0;
}

void CHdrList::SetMetaDataFlag() {
    if (sHdrEntry* entry = GetEntry(kRecordMetaData, 1)) entry->Store<uint8_t>(kMetaDataFlagOffset, 1);
}

int32_t CHdrList::GetProjectionNumber() const {
    const sHdrEntry* entry = GetEntry(kRecordProjection, 1);
    return entry != nullptr ? entry->Word(0).value_or(-1) : -1;
}

int32_t CHdrList::GetLocalGridNumber() const {
    const sHdrEntry* entry = GetEntry(kRecordLocalGrid, 1);
    return entry != nullptr ? entry->Word(0).value_or(-1) : -1;
}

int CHdrList::GetProjectionParameters(uint8_t* projection, uint8_t* localGrid, uint8_t* parameters) const {
    if (projection == nullptr || localGrid == nullptr || parameters == nullptr) return 0;
    std::memset(projection, 0, 80);
    std::memset(localGrid, 0, 176);
    std::memset(parameters, 0, 64);
    // Copies what lies within the entry's payload; the rest stays zero.
    auto copy = [](uint8_t* to, size_t toOffset, const sHdrEntry* from, size_t fromOffset, size_t length) {
        if (fromOffset >= from->payloadSize) return;
        length = std::min<size_t>(length, from->payloadSize - fromOffset);
        std::memcpy(to + toOffset, from->payload.get() + fromOffset, length);
    };
    const sHdrEntry* proj = GetEntry(kRecordProjection, 1);
    if (proj != nullptr) copy(projection, 0, proj, 0, 80);
    if (const sHdrEntry* grid = GetEntry(kRecordLocalGrid, 1)) copy(localGrid, 0, grid, 0, 176);
    if (proj == nullptr) return 0;

    struct sParameterLayout {
        int32_t recordId;
        size_t text;           // 32 bytes to offset 4
        size_t doubles[3];     // to offsets 40, 48, 56
    };
    static const sParameterLayout kLayouts[] = {
        {18, 0, {32, 40, 48}},  {19, 32, {64, 72, 80}}, {20, 0, {80, 88, 96}},
        {21, 0, {48, 56, 64}},  {22, 0, {32, 40, 48}},  {237, 0, {32, 40, 48}}};
    if (const sHdrEntry* tm = GetEntry(17, 1)) {
        copy(parameters, 0, tm, 0, 64);
        return 1;
    }
    for (const sParameterLayout& layout : kLayouts) {
        const sHdrEntry* entry = GetEntry(layout.recordId, 1);
        if (entry == nullptr) continue;
        copy(parameters, 4, entry, layout.text, 32);
        for (size_t k = 0; k < 3; ++k) copy(parameters, 40 + 8 * k, entry, layout.doubles[k], 8);
        return 1;
    }
    return 0;
}

void CHdrList::RenumberDatum(int32_t oldNumber, int32_t newNumber) {
    const auto oldIndex = static_cast<int32_t>(static_cast<uint32_t>(oldNumber) - 1u);
    const auto newIndex = static_cast<int32_t>(static_cast<uint32_t>(newNumber) - 1u);
    for (auto& e : m_entries) {
        sHdrEntry& entry = *e;
        switch (entry.recordId) {
            case 13: RenumberWord(entry, 0, oldNumber, newNumber); break;
            case 71: RenumberWord(entry, 16, oldNumber, newNumber); break;
            case 188: case 206: case 246: case 247:
                RenumberWord(entry, 0, oldNumber, newNumber);
                RenumberWord(entry, 4, oldNumber, newNumber);
                break;
            case 200: RenumberWord(entry, 20, oldNumber, newNumber); break;
            case 204: case 258:
                for (size_t offset : {32u, 36u, 308u}) RenumberWord(entry, offset, oldIndex, newIndex);
                break;
            case 205:
                for (size_t offset : {16u, 20u, 292u}) RenumberWord(entry, offset, oldIndex, newIndex);
                break;
            default: break;
        }
    }
}

void CHdrList::RenumberGnssSystem(int32_t oldNumber, int32_t newNumber) {
    for (auto& e : m_entries) {
        switch (e->recordId) {
            case 71: case 72: case 73: case 130: case 205: RenumberWord(*e, 0, oldNumber, newNumber); break;
            case 258: RenumberWord(*e, 8, oldNumber, newNumber); break;
            default: break;
        }
    }
}

uint64_t CHdrList::GetImageSize() const {
    uint64_t total = 0;
    for (const auto& entry : m_entries) total += HdrEntryImage::kSize + entry->payloadSize;
    return total;
}

void CHdrList::WriteImage(uint8_t* destination) const {
    namespace I = HdrEntryImage;
    uint8_t* p = destination;
    for (const auto& entry : m_entries) {
        // The reference word has no meaning outside this process, so none is handed out.
        std::memset(p, 0, I::kSize);
        StoreAt(p, I::kRecordId, entry->recordId);
        StoreAt(p, I::kPayloadSize, entry->payloadSize);
        StoreAt(p, I::kEventLink, entry->eventLink);
        StoreAt(p, I::kSecondLink, entry->secondLink);
        StoreAt(p, I::kFilePosition, entry->filePosition);
        StoreAt(p, I::kFlag, entry->flag);
        if (entry->payloadSize > 0) std::memcpy(p + I::kSize, entry->payload.get(), entry->payloadSize);
        p += I::kSize + entry->payloadSize;
    }
}

int CHdrList::ReadImage(const uint8_t* source, size_t size, uint32_t count) {
    namespace I = HdrEntryImage;
    if (count == 0) return 1;
    if (source == nullptr) return 0;
    Entries read;
    size_t at = 0;
    for (uint32_t k = 0; k < count; ++k) {
        if (size - at < I::kSize) return 0;
        const uint8_t* p = source + at;
        const auto payloadSize = LoadAt<uint32_t>(p, I::kPayloadSize);
        if (size - at - I::kSize < payloadSize) return 0;
        auto entry = NewEntry(LoadAt<int32_t>(p, I::kRecordId), payloadSize);
        entry->eventLink = LoadAt<int32_t>(p, I::kEventLink);
        entry->secondLink = LoadAt<int32_t>(p, I::kSecondLink);
        entry->filePosition = LoadAt<uint32_t>(p, I::kFilePosition);
        entry->flag = LoadAt<uint8_t>(p, I::kFlag);
        if (payloadSize > 0) std::memcpy(entry->payload.get(), p + I::kSize, payloadSize);
        at += I::kSize + payloadSize;
        read.push_back(std::move(entry));
    }
    for (auto& entry : read) Append(std::move(entry));
    return 1;
}

int CHdrList::WriteToIpc(IpcBufferHandle& handle, int item) const {
    try {
        if (item < 1) return 0;
        const auto i = static_cast<DWORD>(item - 1);
        const uint64_t total = GetImageSize();
        if (total > std::numeric_limits<DWORD>::max()) return 0;
        handle.buffer.ResizeBlock(i, static_cast<DWORD>(total), true);
        if (total > 0) WriteImage(handle.buffer.GetBlockData(i));
        handle.buffer.SetRecordCount(i, static_cast<DWORD>(m_entries.size()));
        return 1;
    } catch (const std::exception&) {
        return 0;
    }
}

int CHdrList::ReadFromIpc(IpcBufferHandle& handle, int item) {
    try {
        if (item < 1) return 0;
        const auto i = static_cast<DWORD>(item - 1);
        const DWORD count = handle.buffer.GetRecordCount(i);
        if (count == 0) return 1;
        return ReadImage(handle.buffer.GetConstBlockData(i), handle.buffer.GetBlockSize(i), count);
    } catch (const std::exception&) {
        return 0;
    }
}

int CHdrList::WriteBlock(CVOKFile& file, int mode) {
    const ULONGLONG start = file.BeginBlock();
    for (auto& entry : m_entries) {
        const auto size = static_cast<int32_t>(entry->payloadSize);
        file.Write(&size, sizeof size);
        file.Write(&entry->flag, sizeof entry->flag);
        file.Write(&entry->recordId, sizeof entry->recordId);
        if (entry->payloadSize > 0) file.Write(entry->payload.get(), entry->payloadSize);
        entry->filePosition = static_cast<uint32_t>(file.GetPosition());
        if (mode == 1) entry->eventLink = -1;
        file.Write(&entry->eventLink, sizeof entry->eventLink);
    }
    file.EndBlock(start, file.GetPosition() - start, BLOCK_HEADER_DEFS);
    return 1;
}

// Reads the entries of the block whose header is at the file's position. Every size is checked
// against what is left of the block before anything is allocated, so a corrupt block ends the
// reading instead of running into the next block or past the file.
int CHdrList::ReadEntries(CVOKFile& file, bool oldBlock) {
    sBlockHeader header;
    if (!file.ReadBlockHeader(header)) return 0;
    const uint64_t size = static_cast<uint32_t>(header.size);
    const ULONGLONG p0 = file.GetPosition();
    auto left = [&] { return size - std::min<uint64_t>(size, file.GetPosition() - p0); };
    auto read = [&](void* to, uint64_t n) {
        return n <= left() && file.Read(to, static_cast<UINT>(n)) == n;
    };
    while (file.GetPosition() - p0 + 4 <= size) {
        int32_t recordId = 0;
        uint32_t payloadSize = 0;
        uint8_t flag = 0;
        if (oldBlock) {
            if (!read(&recordId, sizeof recordId)) return 0;
            payloadSize = GetRecordSize(recordId);
            if (payloadSize == 0) return 0;
        } else {
            if (!read(&payloadSize, sizeof payloadSize) || !read(&flag, sizeof flag) ||
                !read(&recordId, sizeof recordId))
                return 0;
            const uint32_t expected = GetRecordSize(recordId);
            if (expected != 0 && payloadSize != expected) return 0;
        }
        if (uint64_t{payloadSize} + (oldBlock ? 8u : 0u) > left()) return 0;
        auto entry = NewEntry(recordId, payloadSize);
        entry->flag = flag;
        if (!read(entry->payload.get(), payloadSize)) return 0;
        entry->filePosition = static_cast<uint32_t>(file.GetPosition());
        if (oldBlock) {
            if (!read(&entry->eventLink, sizeof entry->eventLink)) return 0;
            if (!read(&entry->secondLink, sizeof entry->secondLink)) return 0;
        } else {
            // A block that ends right before its last link word still holds that entry, which keeps
            // the link -1 (no events); a link word cut part-way is a damaged block.
            const auto wanted = static_cast<UINT>(std::min<uint64_t>(sizeof entry->eventLink, left()));
            const UINT got = file.Read(&entry->eventLink, wanted);
            if (got == 0) {
                Append(std::move(entry));
                return 1;
            }
            if (got != sizeof entry->eventLink) return 0;
        }
        Append(std::move(entry));
    }
    return 1;
}

int CHdrList::ReadBlock(CVOKFile& file, int report, int upgradeMode) {
    const bool hasEvents = file.FindBlock(BLOCK_OBS_EVENTS) != 0;
    UINT failure = IDS_UNSUPPORTED_HEADER_RECORD;
    int result = 0;
    if (file.FindBlock(BLOCK_HEADER_DEFS) != 0) {
        result = ReadEntries(file, false);
    } else if (file.FindBlock(BLOCK_HEADER_DEFS_OLD) != 0) {
        result = ReadEntries(file, true);
    } else {
        failure = IDS_NO_HEADER_RECORDS;
    }
    if (result == 0) {
        if (report != 0) {
            CString text;
            text.Format(LoadResourceString(failure), file.GetFileTitle());
            // Through UTF-16, so that the name's ANSI bytes reach the log as their characters.
            const std::wstring wide = Vok::CodePage::AnsiToWide(text.GetString(), static_cast<size_t>(text.GetLength()));
            ZLog::LogTo(1, ZLog::Warning, wide.c_str());
        }
        return 0;
    }
    if (!hasEvents) {
        for (auto& entry : m_entries) entry->eventLink = -1;
    }
    if (upgradeMode < 1) return 1;
    return UpgradeAfterRead(hasEvents, upgradeMode);
}
