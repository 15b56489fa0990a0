#include "definitions/project/hdr_upgrade_support.h"

#include <algorithm>

namespace Vok::HdrUpgrade {

double DmsToDegrees(const sHdrEntry& old, size_t offset) {
    const double degrees = OldValue<int32_t>(old, offset) + OldValue<int32_t>(old, offset + 4) / 60.0 +
                           OldValue<float>(old, offset + 8) / 3600.0;
    const auto hemisphere = OldValue<uint8_t>(old, offset + 12);
    return hemisphere == 's' || hemisphere == 'S' ? -degrees : degrees;
}

void CNewRecord::Copy(size_t to, const sHdrEntry& old, size_t from, size_t length) {
    if (old.Payload() == nullptr || from >= old.payloadSize || to >= m_bytes.size()) return;
    length = std::min({length, old.payloadSize - from, m_bytes.size() - to});
    std::memcpy(m_bytes.data() + to, old.Payload() + from, length);
}

void CNewRecord::Text(size_t to, const sHdrEntry& old, size_t from, size_t chars) {
    if (old.Payload() == nullptr || from >= old.payloadSize) return;
    const auto* text = reinterpret_cast<const char*>(old.Payload() + from);
    Text(to, text, strnlen(text, std::min<size_t>(chars, old.payloadSize - from)));
}

void CNewRecord::Text(size_t to, const char* text, size_t chars) {
    if (to >= m_bytes.size()) return;
    // The terminating zero needs a byte of its own within the record.
    const size_t length = std::min(strnlen(text, chars), m_bytes.size() - to - 1);
    std::memcpy(m_bytes.data() + to, text, length);
    m_bytes[to + length] = 0;
}

void CNewRecord::Fill(size_t to, uint8_t value, size_t length) {
    if (to >= m_bytes.size()) return;
    std::memset(m_bytes.data() + to, value, std::min(length, m_bytes.size() - to));
}

std::vector<sHdrEntry*> EntriesOf(const CHdrList& list, int32_t recordId) {
    std::vector<sHdrEntry*> entries;
    for (int k = 0; k < list.GetCount(); ++k) {
        sHdrEntry* entry = list.GetEntryAt(k);
        if (entry->recordId == recordId && entry->Payload() != nullptr) entries.push_back(entry);
    }
    return entries;
}

sOldLinks OldLinks(const CHdrList& list, std::initializer_list<int32_t> ids) {
    sOldLinks links;
    for (int32_t id : ids) {
        for (const sHdrEntry* e : EntriesOf(list, id)) {
            links.any = true;
            links.linked = links.linked || e->eventLink != -1;
        }
    }
    return links;
}

void MarkUnlinked(CHdrList& list, const sOldLinks& links, int32_t newId, int32_t selector) {
    if (!links.any || links.linked) return;
    for (sHdrEntry* entry : EntriesOf(list, newId)) {
        if (entry->eventLink == -1) entry->Store<int32_t>(0, selector);
    }
}

sHdrEntry* EntryOfPayload(const CHdrList& list, const uint8_t* payload) {
    if (payload == nullptr) return nullptr;
    for (int k = 0; k < list.GetCount(); ++k) {
        sHdrEntry* entry = list.GetEntryAt(k);
        if (entry->Payload() == payload) return entry;
    }
    return nullptr;
}

}  // namespace Vok::HdrUpgrade
