// A list of payload copies of one or two header record types, taken out of a header list, worked
// on, and put back with CHdrList::SetRecords. Every element is a plain byte array (new uint8_t[]),
// so that the pointer list's own operations stay sound on it: an element taken out with RemoveHead
// or RemoveAt is the caller's to delete[], and a buffer added with AddTail is the sub-list's. The
// sub-list keeps the size of each element it made beside the list; an element it did not make has
// no known size and reads as empty, so that a reader of an element never runs past it. Adding
// another sub-list (AddTail or AddHead of a list) adds copies of its elements with their sizes;
// the elements of any other pointer list are taken over as AddTail of each would.
#pragma once

#include <cstdint>
#include <memory>
#include <unordered_map>

#include "compat/collections.h"

class CHdrList;
class IpcBufferHandle;

class CHdrSubList : public CPtrList {
public:
    CHdrSubList() = default;
    // Copies size bytes of every element of the other list; an element of a CHdrSubList that is
    // shorter is copied as far as it goes and the rest zeroed. Elements of any other pointer list
    // must hold size bytes.
    CHdrSubList(const CPtrList& other, uint32_t size);
    CHdrSubList(int32_t recordId, const CHdrList* list, uint32_t size);
    CHdrSubList(int32_t recordIdA, int32_t recordIdB, const CHdrList* list, uint32_t size);
    ~CHdrSubList() override;
    CHdrSubList(const CHdrSubList&) = delete;
    CHdrSubList& operator=(const CHdrSubList&) = delete;

    // Empties the sub-list, then appends a copy of size bytes of the payload of every entry of the
    // id (or of either id), in list order. A shorter payload is copied as far as it goes and the
    // rest zeroed. A null list leaves the sub-list empty.
    void CopyRecords(int32_t recordId, const CHdrList* list, uint32_t size);
    void CopyRecords(int32_t recordIdA, int32_t recordIdB, const CHdrList* list, uint32_t size);
    // Deletes every element.
    void RemoveAll();
    // Removes the element at pos and deletes it.
    void DeleteAt(POSITION pos);

    // Appends a new element of size bytes holding the first min(size, sourceSize) bytes of source
    // (none for a null source) and zeros after them; returns it.
    uint8_t* AddCopy(uint32_t size, const void* source, uint32_t sourceSize);
    // The size of an element that this sub-list made and still holds; 0 for any other pointer.
    uint32_t GetElementSize(const void* element) const;

    // Writes element k as record k (k from 1) of the item, padded with zeros when the item's records
    // are longer than the element, then sets the item's record count to the number of records written;
    // elements beyond the item's capacity are not written. Returns 1.
    int WriteToIpc(IpcBufferHandle& handle, int item) const;
    // Appends one element of the item's record size per record of the item. Returns 1.
    int ReadFromIpc(IpcBufferHandle& handle, int item);

protected:
    void OnElementLeaving(POSITION pos) override;
    void AddList(const CList* other, bool atHead) override;

private:
    uint8_t* Adopt(std::unique_ptr<uint8_t[]> element, uint32_t size, bool atHead);
    void CopyMatching(const CHdrList* list, uint32_t size, int32_t recordIdA, int32_t recordIdB);

    struct sMade {
        POSITION pos;  // the place it was added at; a copy of the pointer elsewhere is not known
        uint32_t size;
    };
    std::unordered_map<const void*, sMade> m_made;
};
