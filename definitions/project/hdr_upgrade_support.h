// Building blocks of the header record upgrades: a new payload that is filled from an old entry
// without ever reading past the old payload, and the walk that turns every entry of an old record
// id into a new record and then removes the old ones.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <initializer_list>
#include <vector>

#include "definitions/header/hdr_list.h"
#include "definitions/records/payload_bytes.h"

namespace Vok::HdrUpgrade {

// Angles stored as degrees (i32), minutes (i32), seconds (f32) and a hemisphere byte.
double DmsToDegrees(const sHdrEntry& old, size_t offset);

class CNewRecord {
public:
    explicit CNewRecord(uint32_t size) : m_bytes(size, 0) {}

    uint8_t* Data() { return m_bytes.data(); }
    uint32_t Size() const { return static_cast<uint32_t>(m_bytes.size()); }

    template <typename T>
    void Put(size_t offset, const T& value) {
        Vok::Definitions::StoreAt<T>(m_bytes.data(), m_bytes.size(), offset, value);
    }
    template <typename T>
    T Get(size_t offset) const {
        return Vok::Definitions::LoadAt<T>(m_bytes.data(), m_bytes.size(), offset).value_or(T{});
    }
    // length bytes of the old payload from offset from, as far as the old payload reaches.
    void Copy(size_t to, const sHdrEntry& old, size_t from, size_t length);
    // At most chars characters of the old text, then a zero; the new field is zero-filled already.
    void Text(size_t to, const sHdrEntry& old, size_t from, size_t chars);
    void Text(size_t to, const char* text, size_t chars);
    void Fill(size_t to, uint8_t value, size_t length);

private:
    std::vector<uint8_t> m_bytes;
};

template <typename T>
T OldValue(const sHdrEntry& old, size_t offset) {
    return old.Load<T>(offset).value_or(T{});
}

// The entries of a record id that carry a payload, in list order. Appending to the list keeps the
// entries where they are, so the pointers stay valid until the entries are removed.
std::vector<sHdrEntry*> EntriesOf(const CHdrList& list, int32_t recordId);

// The entry that holds a payload that a look-up returned; null for null.
sHdrEntry* EntryOfPayload(const CHdrList& list, const uint8_t* payload);

// The old entries of some ids: whether there are any, and whether one of them has an event link.
struct sOldLinks {
    bool any = false;
    bool linked = false;
};
sOldLinks OldLinks(const CHdrList& list, std::initializer_list<int32_t> ids);

// When old records were converted and none of them had an event link, every record of newId
// without one gets the selector that pairs it with its current data record.
void MarkUnlinked(CHdrList& list, const sOldLinks& links, int32_t newId, int32_t selector);

// Every entry of oldId becomes a record of newId (its fixed size), built by build(old, record);
// the new entry takes the old entry's event link when keepLink is set, else -1. Then every entry
// of oldId is removed. Returns the number of records made.
template <typename F>
int ConvertRecords(CHdrList& list, int32_t oldId, int32_t newId, bool keepLink, F&& build) {
    const std::vector<sHdrEntry*> olds = EntriesOf(list, oldId);
    if (olds.empty() && !list.HasRecord(oldId)) return 0;
    const uint32_t size = GetRecordSize(static_cast<RecordType>(newId));
    for (sHdrEntry* old : olds) {
        CNewRecord record(size);
        build(*old, record);
        list.AddRecord(newId, record.Size(), record.Data(), keepLink ? old->eventLink : -1);
    }
    list.DeleteRecordsByKey(oldId, 0);
    return static_cast<int>(olds.size());
}

}  // namespace Vok::HdrUpgrade
