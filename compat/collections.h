// The class library's containers: arrays (an index outside the array raises
// CInvalidArgException), doubly linked lists walked by POSITION, and the pointer map.
#pragma once

#include <cstddef>
#include <type_traits>
#include <utility>
#include <vector>

#include "compat/cstring.h"
#include "compat/object.h"
#include "compat/windows_types.h"

// An opaque place in a list or map; nullptr marks the end.
struct __POSITION {};
using POSITION = __POSITION*;

template <typename TYPE, typename ARG_TYPE = const TYPE&>
class CArray : public CObject {
public:
    INT_PTR GetSize() const { return static_cast<INT_PTR>(m_data.size()); }
    INT_PTR GetCount() const { return GetSize(); }
    INT_PTR GetUpperBound() const { return GetSize() - 1; }
    bool IsEmpty() const { return m_data.empty(); }

    // New elements are value-initialised; growBy is accepted for compatibility.
    void SetSize(INT_PTR newSize, INT_PTR growBy = -1) {
        (void)growBy;
        if (newSize < 0) throw CInvalidArgException();
        m_data.resize(static_cast<size_t>(newSize));
    }
    void RemoveAll() { m_data.clear(); }
    void FreeExtra() { m_data.shrink_to_fit(); }

    const TYPE& GetAt(INT_PTR index) const { return m_data[Checked(index)]; }
    TYPE& GetAt(INT_PTR index) { return m_data[Checked(index)]; }
    TYPE& ElementAt(INT_PTR index) { return m_data[Checked(index)]; }
    void SetAt(INT_PTR index, ARG_TYPE value) { m_data[Checked(index)] = value; }
    const TYPE& operator[](INT_PTR index) const { return GetAt(index); }
    TYPE& operator[](INT_PTR index) { return GetAt(index); }

    const TYPE* GetData() const { return m_data.empty() ? nullptr : m_data.data(); }
    TYPE* GetData() { return m_data.empty() ? nullptr : m_data.data(); }

    void SetAtGrow(INT_PTR index, ARG_TYPE value) {
        if (index < 0) throw CInvalidArgException();
        if (index >= GetSize()) m_data.resize(static_cast<size_t>(index) + 1);
        m_data[static_cast<size_t>(index)] = value;
    }
    INT_PTR Add(ARG_TYPE value) {
        m_data.push_back(value);
        return GetUpperBound();
    }
    INT_PTR Append(const CArray& other) {
        const INT_PTR old = GetSize();
        m_data.insert(m_data.end(), other.m_data.begin(), other.m_data.end());
        return old;
    }
    void Copy(const CArray& other) {
        if (this != &other) m_data = other.m_data;
    }
    // An index past the end grows the array first, as the class library does.
    void InsertAt(INT_PTR index, ARG_TYPE value, INT_PTR count = 1) {
        if (index < 0 || count < 0) throw CInvalidArgException();
        if (index > GetSize()) m_data.resize(static_cast<size_t>(index));
        m_data.insert(m_data.begin() + index, static_cast<size_t>(count), value);
    }
    void RemoveAt(INT_PTR index, INT_PTR count = 1) {
        if (index < 0 || count < 0 || index + count > GetSize()) throw CInvalidArgException();
        m_data.erase(m_data.begin() + index, m_data.begin() + index + count);
    }

    // Standard iteration for code of our own.
    auto begin() { return m_data.begin(); }
    auto end() { return m_data.end(); }
    auto begin() const { return m_data.begin(); }
    auto end() const { return m_data.end(); }

protected:
    size_t Checked(INT_PTR index) const {
        if (index < 0 || index >= GetSize()) throw CInvalidArgException();
        return static_cast<size_t>(index);
    }

    std::vector<TYPE> m_data;
};

class CByteArray : public CArray<BYTE, BYTE> {};
class CWordArray : public CArray<WORD, WORD> {};
class CDWordArray : public CArray<DWORD, DWORD> {};
class CUIntArray : public CArray<UINT, UINT> {};
class CPtrArray : public CArray<void*, void*> {};
class CObArray : public CArray<CObject*, CObject*> {};
class CStringArray : public CArray<CString, const CString&> {
public:
    INT_PTR Add(const char* text) { return CArray::Add(CString(text)); }
    INT_PTR Add(const CString& text) { return CArray::Add(text); }
};

template <typename TYPE, typename ARG_TYPE = const TYPE&>
class CList : public CObject {
    struct Node : __POSITION {
        Node* prev = nullptr;
        Node* next = nullptr;
        TYPE data{};
    };
    static Node* N(POSITION p) { return static_cast<Node*>(p); }

public:
    CList() = default;
    CList(const CList&) = delete;
    CList& operator=(const CList&) = delete;
    ~CList() override { RemoveAll(); }

    INT_PTR GetCount() const { return m_count; }
    INT_PTR GetSize() const { return m_count; }
    bool IsEmpty() const { return m_count == 0; }

    // Head and tail of an empty list: CInvalidArgException.
    TYPE& GetHead() { return NonEmpty(m_head)->data; }
    const TYPE& GetHead() const { return NonEmpty(m_head)->data; }
    TYPE& GetTail() { return NonEmpty(m_tail)->data; }
    const TYPE& GetTail() const { return NonEmpty(m_tail)->data; }

    POSITION AddHead(ARG_TYPE value) { return InsertBefore(m_head, value); }
    POSITION AddTail(ARG_TYPE value) { return InsertAfter(m_tail, value); }
    // The other list's elements, in their order, after the last or before the first.
    void AddTail(const CList* other) { AddList(other, false); }
    void AddHead(const CList* other) { AddList(other, true); }
    TYPE RemoveHead() { return Take(NonEmpty(m_head)); }
    TYPE RemoveTail() { return Take(NonEmpty(m_tail)); }
    void RemoveAll() {
        while (m_head != nullptr) Unlink(m_head);
    }

    POSITION GetHeadPosition() const { return m_head; }
    POSITION GetTailPosition() const { return m_tail; }
    // Return the element at pos and move pos on (nullptr after the last).
    TYPE& GetNext(POSITION& pos) {
        Node* n = NonEmpty(N(pos));
        pos = n->next;
        return n->data;
    }
    const TYPE& GetNext(POSITION& pos) const {
        Node* n = NonEmpty(N(pos));
        pos = n->next;
        return n->data;
    }
    TYPE& GetPrev(POSITION& pos) {
        Node* n = NonEmpty(N(pos));
        pos = n->prev;
        return n->data;
    }
    const TYPE& GetPrev(POSITION& pos) const {
        Node* n = NonEmpty(N(pos));
        pos = n->prev;
        return n->data;
    }
    TYPE& GetAt(POSITION pos) { return NonEmpty(N(pos))->data; }
    const TYPE& GetAt(POSITION pos) const { return NonEmpty(N(pos))->data; }
    void SetAt(POSITION pos, ARG_TYPE value) {
        Node* n = NonEmpty(N(pos));
        // A pointer put back in its own place has not left.
        if constexpr (std::is_pointer_v<TYPE>) {
            if (n->data == value) return;
        }
        OnElementLeaving(n);
        n->data = value;
    }
    void RemoveAt(POSITION pos) { Unlink(NonEmpty(N(pos))); }

    // A null pos inserts at the head (InsertBefore) or the tail (InsertAfter).
    POSITION InsertBefore(POSITION pos, ARG_TYPE value) {
        Node* at = pos != nullptr ? N(pos) : m_head;
        Node* n = new Node;
        n->data = value;
        n->next = at;
        n->prev = at != nullptr ? at->prev : nullptr;
        Link(n);
        return n;
    }
    POSITION InsertAfter(POSITION pos, ARG_TYPE value) {
        Node* at = pos != nullptr ? N(pos) : m_tail;
        Node* n = new Node;
        n->data = value;
        n->prev = at;
        n->next = at != nullptr ? at->next : nullptr;
        Link(n);
        return n;
    }

    POSITION Find(ARG_TYPE value, POSITION startAfter = nullptr) const {
        Node* n = startAfter != nullptr ? N(startAfter)->next : m_head;
        for (; n != nullptr; n = n->next) {
            if (n->data == value) return n;
        }
        return nullptr;
    }
    POSITION FindIndex(INT_PTR index) const {
        if (index < 0 || index >= m_count) return nullptr;
        Node* n = m_head;
        while (index-- > 0) n = n->next;
        return n;
    }

protected:
    // Told before the element at pos leaves the list, whichever operation takes it out or
    // replaces it, so that a derived list can forget what it keeps beside its elements. The
    // list's own destructor no longer reaches a derived list's hook.
    virtual void OnElementLeaving(POSITION pos) { (void)pos; }
    // Adds the other list's elements; a derived list that owns its elements adds copies. Counted
    // first, so that a list added to itself ends.
    virtual void AddList(const CList* other, bool atHead) {
        INT_PTR left = other->m_count;
        if (atHead) {
            for (Node* n = other->m_tail; left-- > 0; n = n->prev) AddHead(n->data);
        } else {
            for (Node* n = other->m_head; left-- > 0; n = n->next) AddTail(n->data);
        }
    }

private:
    static Node* NonEmpty(Node* n) {
        if (n == nullptr) throw CInvalidArgException();
        return n;
    }
    void Link(Node* n) {
        if (n->prev != nullptr) n->prev->next = n; else m_head = n;
        if (n->next != nullptr) n->next->prev = n; else m_tail = n;
        ++m_count;
    }
    TYPE Take(Node* n) {
        OnElementLeaving(n);
        TYPE value = std::move(n->data);
        Drop(n);
        return value;
    }
    void Unlink(Node* n) {
        OnElementLeaving(n);
        Drop(n);
    }
    void Drop(Node* n) {
        if (n->prev != nullptr) n->prev->next = n->next; else m_head = n->next;
        if (n->next != nullptr) n->next->prev = n->prev; else m_tail = n->prev;
        --m_count;
        delete n;
    }

    Node* m_head = nullptr;
    Node* m_tail = nullptr;
    INT_PTR m_count = 0;
};

class CPtrList : public CList<void*, void*> {};
class CObList : public CList<CObject*, CObject*> {};
class CStringList : public CList<CString, const char*> {};

// Map from pointer to pointer; iteration order is insertion order while nothing is removed.
class CMapPtrToPtr : public CObject {
public:
    INT_PTR GetCount() const { return static_cast<INT_PTR>(m_entries.size()); }
    INT_PTR GetSize() const { return GetCount(); }
    bool IsEmpty() const { return m_entries.empty(); }

    bool Lookup(void* key, void*& value) const;
    void SetAt(void* key, void* value) { (*this)[key] = value; }
    void*& operator[](void* key);
    bool RemoveKey(void* key);
    void RemoveAll() { m_entries.clear(); }

    POSITION GetStartPosition() const;
    void GetNextAssoc(POSITION& pos, void*& key, void*& value) const;

private:
    size_t IndexOf(void* key) const;

    std::vector<std::pair<void*, void*>> m_entries;
};
