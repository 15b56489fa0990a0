// The history of a project file: per kind of action (1..19) the last time it was done, with the
// user and a comment. A fixed array of 20 entries; entry 0 only counts the entries in use. The
// block file keeps all 20 entries in block 35; older files have block 8 with shorter entries.
#pragma once

#include <cstddef>
#include <cstdint>

#include "compat/collections.h"
#include "compat/windows_types.h"

class CVOKFile;

// 564 bytes, the same in memory and in block 35 (little-endian).
struct sHisEntry {
    int32_t version;     // 1 when set by the list; 0 when converted from block 8
    int32_t action;      // 1..19, the entry's index; 0: not in use
    uint32_t value;      // the caller's word; in entry 0 the number of entries in use
    SYSTEMTIME start;
    SYSTEMTIME end;
    char user[260];      // zero-terminated
    char comment[260];   // zero-terminated
};
static_assert(sizeof(sHisEntry) == 564);
static_assert(offsetof(sHisEntry, action) == 4);
static_assert(offsetof(sHisEntry, value) == 8);
static_assert(offsetof(sHisEntry, start) == 12);
static_assert(offsetof(sHisEntry, end) == 28);
static_assert(offsetof(sHisEntry, user) == 44);
static_assert(offsetof(sHisEntry, comment) == 304);

class CHisList : public CArray<sHisEntry, const sHisEntry&> {
public:
    static constexpr int kEntries = 20;
    static constexpr int kMaxAction = 19;

    CHisList();
    CHisList(const CHisList& other);
    CHisList& operator=(const CHisList& other);
    // Reset, then every entry of the other whose action is 1..19 goes to the index of its action.
    void Copy(const CHisList& other);
    // Entries 1..19 zeroed and the count 0.
    void Reset();
    // Actions outside 1..19 change nothing. Stamps version 1, the action and the value; a given
    // time becomes the end (end set) or the start time, without one the current UTC time becomes
    // both.
    void SetEntry(int action, uint32_t value, const SYSTEMTIME* time, BOOL end);
    // Nothing for a null user or an action outside 1..19; texts are cut to 259 characters.
    void SetEntryTexts(int action, const char* user, const char* comment);
    void ClearEntry(int action);
    // The number of entries in use (entry 0's count).
    uint32_t GetUsedCount() const { return GetAt(0).value; }

    // Reads block 35, else the old block 8: the id of the block read, 0 when neither is there.
    // The count is that of the distinct actions read; a block cut short ends the reading.
    int ReadBlock(CVOKFile& file);
    // Writes the 20 entries as block 35; returns 35.
    int WriteBlock(CVOKFile& file) const;

private:
    // Marks the entry of the action in use, counting it when it was not.
    sHisEntry& Use(int action);
    void Recount();
};
