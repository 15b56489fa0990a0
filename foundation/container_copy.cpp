#include "foundation/container_copy.h"

#include <algorithm>
#include <cstring>

namespace {

// A null block stays null.
void* CopyBlock(const void* block, int blockSize) {
    if (block == nullptr) return nullptr;
    auto* copy = new BYTE[static_cast<size_t>(blockSize)];
    std::memcpy(copy, block, static_cast<size_t>(blockSize));
    return copy;
}

}  // namespace

BOOL CopyPtrList(CPtrList& dst, const CPtrList& src, int blockSize) {
    if (blockSize <= 0) return FALSE;
    for (POSITION pos = src.GetHeadPosition(); pos != nullptr;) dst.AddTail(CopyBlock(src.GetNext(pos), blockSize));
    return TRUE;
}

BOOL CopyPtrMap(CMapPtrToPtr& dst, const CMapPtrToPtr& src, int blockSize) {
    if (blockSize <= 0) return FALSE;
    for (POSITION pos = src.GetStartPosition(); pos != nullptr;) {
        void* key = nullptr;
        void* value = nullptr;
        src.GetNextAssoc(pos, key, value);
        dst[key] = CopyBlock(value, blockSize);
    }
    return TRUE;
}

BOOL CopyPtrArray(CPtrArray& dst, const CPtrArray& src, int blockSize) {
    if (blockSize <= 0) return FALSE;
    dst.SetSize(src.GetSize());
    for (INT_PTR i = 0; i < src.GetSize(); ++i) dst.SetAt(i, CopyBlock(src.GetAt(i), blockSize));
    return TRUE;
}

BOOL CopyDWordArray(CDWordArray& dst, const CDWordArray& src) {
    dst.Copy(src);
    return TRUE;
}

int CopyByteArray(CByteArray& dst, const CByteArray& src) {
    dst.Copy(src);
    return static_cast<int>(dst.GetSize());
}

int SetByteArray(CByteArray& array, const BYTE* data, int count) {
    if (data == nullptr || count < 0) return 0;
    array.SetSize(count);
    if (count > 0) std::memcpy(array.GetData(), data, static_cast<size_t>(count));
    return count;
}

int AppendBytes(CByteArray& array, const BYTE* data, int count) {
    if (data == nullptr || count <= 0) return static_cast<int>(array.GetSize());
    const INT_PTR old = array.GetSize();
    array.SetSize(old + count);
    std::memcpy(array.GetData() + old, data, static_cast<size_t>(count));
    return static_cast<int>(array.GetSize());
}

void ReverseBytes(CByteArray& array) {
    if (array.GetSize() < 2) return;
    ReverseBytes(array.GetData(), static_cast<int>(array.GetSize()));
}

void ReverseBytes(BYTE* data, int count) {
    if (data == nullptr || count < 2) return;
    std::reverse(data, data + count);
}
