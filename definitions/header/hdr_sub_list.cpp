#include "definitions/header/hdr_sub_list.h"

#include <algorithm>
#include <cstring>
#include <exception>
#include <memory>
#include <unordered_set>
#include <vector>

#include "definitions/header/hdr_list.h"
#include "platform/ipc_buffer_handle.h"

namespace {

void DeleteElement(void* element) {
    delete[] static_cast<uint8_t*>(element);
}

}  // namespace

CHdrSubList::CHdrSubList(const CPtrList& other, uint32_t size) {
    const auto* subList = dynamic_cast<const CHdrSubList*>(&other);
    POSITION pos = other.GetHeadPosition();
    while (pos != nullptr) {
        const void* element = other.GetNext(pos);
        AddCopy(size, element, subList != nullptr ? subList->GetElementSize(element) : size);
    }
}

CHdrSubList::CHdrSubList(int32_t recordId, const CHdrList* list, uint32_t size) {
    CopyRecords(recordId, list, size);
}

CHdrSubList::CHdrSubList(int32_t recordIdA, int32_t recordIdB, const CHdrList* list, uint32_t size) {
    CopyRecords(recordIdA, recordIdB, list, size);
}

CHdrSubList::~CHdrSubList() {
    RemoveAll();
}

void CHdrSubList::RemoveAll() {
    // A pointer added twice through the pointer list's own operations is deleted once.
    std::unordered_set<void*> elements;
    POSITION pos = GetHeadPosition();
    while (pos != nullptr) elements.insert(GetNext(pos));
    CPtrList::RemoveAll();
    for (void* element : elements) DeleteElement(element);
}

void CHdrSubList::DeleteAt(POSITION pos) {
    void* element = GetAt(pos);
    RemoveAt(pos);
    DeleteElement(element);
}

uint8_t* CHdrSubList::AddCopy(uint32_t size, const void* source, uint32_t sourceSize) {
    auto element = std::make_unique<uint8_t[]>(size);
    if (source != nullptr) std::memcpy(element.get(), source, std::min(size, sourceSize));
    return Adopt(std::move(element), size, false);
}

uint8_t* CHdrSubList::Adopt(std::unique_ptr<uint8_t[]> element, uint32_t size, bool atHead) {
    sMade& made = m_made[element.get()];
    try {
        made = {atHead ? AddHead(element.get()) : AddTail(element.get()), size};
    } catch (...) {
        m_made.erase(element.get());
        throw;
    }
    return element.release();
}

void CHdrSubList::AddList(const CList* other, bool atHead) {
    const auto* subList = dynamic_cast<const CHdrSubList*>(other);
    if (subList == nullptr) return CPtrList::AddList(other, atHead);
    // Copies made before any is added, so that a sub-list added to itself ends and two lists never
    // own one buffer.
    std::vector<std::pair<std::unique_ptr<uint8_t[]>, uint32_t>> copies;
    POSITION pos = subList->GetHeadPosition();
    while (pos != nullptr) {
        const void* element = subList->GetNext(pos);
        const uint32_t size = subList->GetElementSize(element);
        auto copy = std::make_unique<uint8_t[]>(size);
        if (size != 0) std::memcpy(copy.get(), element, size);
        copies.emplace_back(std::move(copy), size);
    }
    if (atHead) {
        for (auto it = copies.rbegin(); it != copies.rend(); ++it) Adopt(std::move(it->first), it->second, true);
    } else {
        for (auto& [copy, size] : copies) Adopt(std::move(copy), size, false);
    }
}

uint32_t CHdrSubList::GetElementSize(const void* element) const {
    const auto made = m_made.find(element);
    return made != m_made.end() ? made->second.size : 0;
}

void CHdrSubList::OnElementLeaving(POSITION pos) {
    const auto made = m_made.find(GetAt(pos));
    if (made != m_made.end() && made->second.pos == pos) m_made.erase(made);
}

void CHdrSubList::CopyRecords(int32_t recordId, const CHdrList* list, uint32_t size) {
    CopyMatching(list, size, recordId, recordId);
}

void CHdrSubList::CopyRecords(int32_t recordIdA, int32_t recordIdB, const CHdrList* list, uint32_t size) {
    CopyMatching(list, size, recordIdA, recordIdB);
}

void CHdrSubList::CopyMatching(const CHdrList* list, uint32_t size, int32_t recordIdA, int32_t recordIdB) {
    RemoveAll();
    if (list == nullptr) return;
    for (const sHdrEntry& entry : *list) {
        if (entry.recordId == recordIdA || entry.recordId == recordIdB)
            AddCopy(size, entry.Payload(), entry.payloadSize);
    }
}

int CHdrSubList::WriteToIpc(IpcBufferHandle& handle, int item) const {
    if (item < 1) return 1;
    const auto block = static_cast<DWORD>(item);
    DWORD written = 0;
    try {
        const DWORD recordSize = handle.buffer.GetRecordSize(block - 1);
        std::vector<uint8_t> padded(recordSize);
        POSITION pos = GetHeadPosition();
        DWORD k = 0;
        while (pos != nullptr) {
            const void* element = GetNext(pos);
            const uint32_t size = GetElementSize(element);
            std::fill(padded.begin(), padded.end(), 0);
            std::memcpy(padded.data(), element, std::min<uint32_t>(size, recordSize));
            if (handle.WriteRecord(block, ++k, padded.data(), recordSize) != 0) ++written;
        }
        handle.buffer.SetRecordCount(block - 1, written);
    } catch (const std::exception&) {
        // A missing item: nothing to write into.
    }
    return 1;
}

int CHdrSubList::ReadFromIpc(IpcBufferHandle& handle, int item) {
    if (item < 1) return 1;
    const auto block = static_cast<DWORD>(item);
    try {
        const DWORD count = handle.buffer.GetRecordCount(block - 1);
        const DWORD recordSize = handle.buffer.GetRecordSize(block - 1);
        // A count beyond what the block can hold is the block's capacity.
        const DWORD capacity = handle.buffer.GetRecordCapacity(block - 1);
        for (DWORD j = 1; j <= std::min(count, capacity); ++j) {
            uint8_t* element = AddCopy(recordSize, nullptr, 0);
            handle.ReadRecord(block, j, element, recordSize);
        }
    } catch (const std::exception&) {
        // A missing item holds nothing to read.
    }
    return 1;
}

int CHdrList::SetRecords(const CHdrSubList* source, int32_t recordId, uint32_t size) {
    if (source == nullptr) return 0;
    POSITION pos = source->GetHeadPosition();
    bool whole = true;
    while (pos != nullptr && whole) whole = source->GetElementSize(source->GetNext(pos)) >= size;
    if (whole) return SetRecords(static_cast<const CPtrList*>(source), recordId, size);
    const CHdrSubList padded(*source, size);
    return SetRecords(static_cast<const CPtrList*>(&padded), recordId, size);
}

int CHdrList::SetRecordsPreferring(const CHdrSubList* source, int32_t recordId, int32_t preferredId, uint32_t size) {
    return SetRecords(source, HasRecord(preferredId) ? preferredId : recordId, size);
}
