// Copies between the class library's pointer, word and byte containers. The pointed-to blocks of
// a pointer container are copied with new[] and belong to whoever owns the destination.
#pragma once

#include "compat/collections.h"
#include "compat/windows_types.h"

// Appends a copy of every source block at the tail; the destination is not emptied first.
// 0 for a block size that is not positive.
BOOL CopyPtrList(CPtrList& dst, const CPtrList& src, int blockSize);
// Stores a copy of every value block under its key.
BOOL CopyPtrMap(CMapPtrToPtr& dst, const CMapPtrToPtr& src, int blockSize);
// The destination takes the source's size; element i is a copy of source block i.
BOOL CopyPtrArray(CPtrArray& dst, const CPtrArray& src, int blockSize);
BOOL CopyDWordArray(CDWordArray& dst, const CDWordArray& src);
// Returns the number of bytes.
int CopyByteArray(CByteArray& dst, const CByteArray& src);
// Returns count, or 0 with the array untouched for null data.
int SetByteArray(CByteArray& array, const BYTE* data, int count);
// Returns the new size; null data or a count of 0 leaves the array as it is.
int AppendBytes(CByteArray& array, const BYTE* data, int count);
void ReverseBytes(CByteArray& array);
void ReverseBytes(BYTE* data, int count);
