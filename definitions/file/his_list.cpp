#include "definitions/file/his_list.h"

#include <cstring>

#include "compat/clock.h"
#include "definitions/records/definition_records.h"
#include "definitions/records/payload_bytes.h"
#include "definitions/file/vok_file.h"

using Vok::Definitions::LoadAt;

namespace {

// The old block 8 entry, 104 bytes.
constexpr size_t kOldEntrySize = 104;
constexpr size_t kOldAction = 0;
constexpr size_t kOldTime = 4;
constexpr size_t kOldValue = 20;
constexpr size_t kOldComment = 24;
constexpr size_t kOldCommentSize = 80;
constexpr size_t kOldCommentChars = 76;

bool IsAction(int action) {
    return action >= 1 && action <= CHisList::kMaxAction;
}

}  // namespace

CHisList::CHisList() {
    SetSize(kEntries);
    Reset();
}

CHisList::CHisList(const CHisList& other) : CHisList() {
    Copy(other);
}

CHisList& CHisList::operator=(const CHisList& other) {
    if (this != &other) Copy(other);
    return *this;
}

void CHisList::Copy(const CHisList& other) {
    if (this == &other) return;
    Reset();
    for (const sHisEntry& entry : other) {
        if (!IsAction(entry.action)) continue;
        const sHisEntry copy = entry;
        Use(entry.action) = copy;
    }
}

void CHisList::Reset() {
    for (INT_PTR k = 1; k < kEntries; ++k) ElementAt(k) = sHisEntry{};
    ElementAt(0).value = 0;
}

sHisEntry& CHisList::Use(int action) {
    sHisEntry& entry = ElementAt(action);
    if (entry.action == 0) ++ElementAt(0).value;
    entry.version = 1;
    entry.action = action;
    return entry;
}

void CHisList::Recount() {
    uint32_t used = 0;
    for (INT_PTR k = 1; k < kEntries; ++k) used += GetAt(k).action != 0 ? 1 : 0;
    ElementAt(0).value = used;
}

void CHisList::SetEntry(int action, uint32_t value, const SYSTEMTIME* time, BOOL end) {
    if (!IsAction(action)) return;
    sHisEntry& entry = Use(action);
    entry.value = value;
    if (time != nullptr) {
        (end ? entry.end : entry.start) = *time;
    } else {
        GetSystemTime(&entry.start);
        entry.end = entry.start;
    }
}

void CHisList::SetEntryTexts(int action, const char* user, const char* comment) {
    if (user == nullptr || !IsAction(action)) return;
    sHisEntry& entry = Use(action);
    SetFieldText(entry.user, user);
    if (comment != nullptr) SetFieldText(entry.comment, comment);
}

void CHisList::ClearEntry(int action) {
    if (!IsAction(action)) return;
    sHisEntry& entry = ElementAt(action);
    if (entry.action != 0) --ElementAt(0).value;
    entry = sHisEntry{};
}

int CHisList::ReadBlock(CVOKFile& file) {
    Reset();
    int id = BLOCK_HISTORY;
    if (file.FindBlock(BLOCK_HISTORY) == 0) {
        if (file.FindBlock(BLOCK_HISTORY_OLD) == 0) return 0;
        id = BLOCK_HISTORY_OLD;
    }
    sBlockHeader header;
    file.ReadBlockHeader(header);
    auto store = [&](const sHisEntry& entry) {
        if (IsAction(entry.action)) ElementAt(entry.action) = entry;
        return true;
    };
    if (id == BLOCK_HISTORY) {
        file.ReadRecords(header, sizeof(sHisEntry), [&](const uint8_t* bytes) {
            sHisEntry entry;
            std::memcpy(&entry, bytes, sizeof entry);
            entry.user[sizeof entry.user - 1] = '\0';
            entry.comment[sizeof entry.comment - 1] = '\0';
            return store(entry);
        });
    } else {
        file.ReadRecords(header, kOldEntrySize, [&](const uint8_t* bytes) {
            sHisEntry entry{};
            entry.action = LoadAt<int32_t>(bytes, kOldAction);
            entry.value = LoadAt<uint32_t>(bytes, kOldValue);
            entry.start = LoadAt<SYSTEMTIME>(bytes, kOldTime);
            entry.end = entry.start;
            const CString comment = FieldText(reinterpret_cast<const char*>(bytes + kOldComment), kOldCommentSize);
            SetFieldText(entry.comment, comment.Left(static_cast<int>(kOldCommentChars)));
            return store(entry);
        });
    }
    // Counted from what is there, so that a file repeating an action does not inflate the count.
    Recount();
    return id;
}

int CHisList::WriteBlock(CVOKFile& file) const {
    const ULONGLONG start = file.BeginBlock();
    for (const sHisEntry& entry : *this) file.Write(&entry, sizeof entry);
    file.EndBlock(start, file.GetPosition() - start, BLOCK_HISTORY);
    return BLOCK_HISTORY;
}
