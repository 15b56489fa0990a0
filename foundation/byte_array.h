// Byte buffers on top of the class library's CByteArray: search, compare, hex text, splitting
// one buffer into pieces, and queues of buffers (one of them guarded for use by several threads).
#pragma once

#include "compat/collections.h"
#include "compat/cstring.h"
#include "compat/sync.h"
#include "compat/windows_types.h"

class CByteArrayEx : public CByteArray {
public:
    CByteArrayEx() = default;
    CByteArrayEx(const void* data, int count);
    explicit CByteArrayEx(const CByteArray& src);
    explicit CByteArrayEx(const CString& text);

    void Assign(const CByteArray& src);
    void Assign(const void* data, int count);
    // Returns the new size.
    int Append(const void* data, int count);

    bool operator==(const CByteArray& other) const;
    bool operator!=(const CByteArray& other) const { return !(*this == other); }

    // Searches return a 0-based index or -1.
    int Find(BYTE value, int start = 0, bool reverse = false) const;
    int FindOneOf(const CByteArray& set, int start = 0) const;
    // Forward: the index of the match's LAST byte, accepted only when it lies at least minSpan
    // behind start (-1: no limit). Reverse: the index of the match's first byte.
    int Find(const CByteArray& pattern, int start = 0, int minSpan = -1, bool reverse = false) const;

    void FromHex(const CString& hex);
    void ToHex(CString& out, int bytesPerLine = 0, bool withOffsets = false) const;
};

class CByteArrayExArray : public CArray<CByteArrayEx, CByteArrayEx&> {
public:
    // Each returns the number of pieces, or -1 for an empty source (or delimiter set or separator).
    // The array is emptied first in every case.
    int Split(const CByteArray& src, BYTE delimiter);
    int SplitAny(const CByteArray& src, const CByteArray& delimiters);
    // Pieces between occurrences of a multi-byte separator; a separator found less than minSpan
    // bytes behind the start of the current piece does not end it (-1: no limit).
    int SplitSequence(const CByteArray& src, const CByteArray& separator, int minSpan = -1);
};

class CByteArrayFifo : public CList<CByteArrayEx, CByteArrayEx&> {
public:
    POSITION AddHead(const CByteArrayEx& item);
    POSITION AddTail(const CByteArrayEx& item);
    // An empty queue raises CInvalidArgException; test IsEmpty first.
    CByteArrayEx RemoveHead();
    CByteArrayEx RemoveTail();
};

// The queue operations run under the object's own (recursive) critical section; the inherited
// list operations (GetCount, IsEmpty, iteration) do not lock.
class CByteArrayFifoSync : public CByteArrayFifo, public CCriticalSection {
public:
    POSITION AddHead(const CByteArrayEx& item);
    POSITION AddTail(const CByteArrayEx& item);
    CByteArrayEx RemoveHead();
    CByteArrayEx RemoveTail();
};
