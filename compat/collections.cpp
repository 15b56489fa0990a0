#include "compat/collections.h"

#include <cstdint>

namespace {
// Positions in the map are 1-based entry indices disguised as pointers.
POSITION ToPosition(size_t index) { return reinterpret_cast<POSITION>(static_cast<uintptr_t>(index + 1)); }
size_t FromPosition(POSITION pos) { return static_cast<size_t>(reinterpret_cast<uintptr_t>(pos)) - 1; }
}  // namespace

size_t CMapPtrToPtr::IndexOf(void* key) const {
    for (size_t i = 0; i < m_entries.size(); ++i) {
        if (m_entries[i].first == key) return i;
    }
    return m_entries.size();
}

bool CMapPtrToPtr::Lookup(void* key, void*& value) const {
    const size_t i = IndexOf(key);
    if (i == m_entries.size()) return false;
    value = m_entries[i].second;
    return true;
}

void*& CMapPtrToPtr::operator[](void* key) {
    const size_t i = IndexOf(key);
    if (i < m_entries.size()) return m_entries[i].second;
    m_entries.emplace_back(key, nullptr);
    return m_entries.back().second;
}

bool CMapPtrToPtr::RemoveKey(void* key) {
    const size_t i = IndexOf(key);
    if (i == m_entries.size()) return false;
    m_entries.erase(m_entries.begin() + static_cast<std::ptrdiff_t>(i));
    return true;
}

POSITION CMapPtrToPtr::GetStartPosition() const { return m_entries.empty() ? nullptr : ToPosition(0); }

void CMapPtrToPtr::GetNextAssoc(POSITION& pos, void*& key, void*& value) const {
    const size_t i = FromPosition(pos);
    if (pos == nullptr || i >= m_entries.size()) throw CInvalidArgException();
    key = m_entries[i].first;
    value = m_entries[i].second;
    pos = i + 1 < m_entries.size() ? ToPosition(i + 1) : nullptr;
}
