// Walks over the entries of a header list used by its look-ups and maintenance: the first, last
// or n-th entry of a record id that matches, and word tests that treat a word beyond the payload
// as no match.
#pragma once

#include <cstddef>
#include <cstdint>

#include "definitions/header/hdr_list.h"

namespace Vok::HdrSearch {

// Node numbers of 10000 and above carry a category in their higher digits.
inline int32_t ReduceNode(int32_t node) {
    return node >= 10000 ? node % 10000 : node;
}

inline bool WordIs(const sHdrEntry& entry, size_t offset, int32_t value) {
    const auto word = entry.Word(offset);
    return word.has_value() && *word == value;
}

// -1 accepts every value.
inline bool WordIsAny(const sHdrEntry& entry, size_t offset, int32_t value) {
    return value == -1 || WordIs(entry, offset, value);
}

inline int32_t WordOr(const sHdrEntry& entry, size_t offset, int32_t fallback) {
    return entry.Word(offset).value_or(fallback);
}

inline uint8_t* PayloadOf(sHdrEntry* entry) {
    return entry != nullptr ? entry->Payload() : nullptr;
}

template <typename F>
void ForEach(const CHdrList& list, int32_t recordId, F&& visit) {
    for (int k = 0; k < list.GetCount(); ++k) {
        sHdrEntry* entry = list.GetEntryAt(k);
        if (entry->recordId == recordId) visit(*entry);
    }
}

// The n-th entry of the id that matches (n from 1).
template <typename F>
sHdrEntry* FindNthMatch(const CHdrList& list, int32_t recordId, int32_t n, F&& match) {
    if (n < 1) return nullptr;
    for (int k = 0; k < list.GetCount(); ++k) {
        sHdrEntry* entry = list.GetEntryAt(k);
        if (entry->recordId == recordId && match(*entry) && --n == 0) return entry;
    }
    return nullptr;
}

template <typename F>
sHdrEntry* FindFirst(const CHdrList& list, int32_t recordId, F&& match) {
    return FindNthMatch(list, recordId, 1, match);
}

template <typename F>
sHdrEntry* FindLast(const CHdrList& list, int32_t recordId, F&& match) {
    sHdrEntry* found = nullptr;
    ForEach(list, recordId, [&](sHdrEntry& entry) {
        if (match(entry)) found = &entry;
    });
    return found;
}

template <typename F>
uint32_t Count(const CHdrList& list, int32_t recordId, F&& match) {
    uint32_t count = 0;
    ForEach(list, recordId, [&](sHdrEntry& entry) {
        if (match(entry)) ++count;
    });
    return count;
}

}  // namespace Vok::HdrSearch
