#include "foundation/byte_array.h"

#include <cmath>
#include <cstdio>
#include <cstring>

namespace {

int SizeOf(const CByteArray& a) { return static_cast<int>(a.GetSize()); }

// Appends w[first .. last] (inclusive) as a new piece.
void AddPiece(CByteArrayExArray& out, const CByteArrayEx& w, int first, int last) {
    CByteArrayEx piece(w.GetData() + first, last - first + 1);
    out.Add(piece);
}

}  // namespace

CByteArrayEx::CByteArrayEx(const void* data, int count) { Assign(data, count); }

CByteArrayEx::CByteArrayEx(const CByteArray& src) { Assign(src); }

CByteArrayEx::CByteArrayEx(const CString& text) { Assign(text.Str().data(), text.GetLength()); }

void CByteArrayEx::Assign(const CByteArray& src) {
    Copy(src);
    FreeExtra();
}

void CByteArrayEx::Assign(const void* data, int count) {
    if (data == nullptr || count <= 0) {
        RemoveAll();
        FreeExtra();
        return;
    }
    const auto* bytes = static_cast<const BYTE*>(data);
    m_data.assign(bytes, bytes + count);
    FreeExtra();
}

int CByteArrayEx::Append(const void* data, int count) {
    if (data == nullptr || count <= 0) return SizeOf(*this);
    const auto* bytes = static_cast<const BYTE*>(data);
    m_data.insert(m_data.end(), bytes, bytes + count);
    return SizeOf(*this);
}

bool CByteArrayEx::operator==(const CByteArray& other) const {
    if (GetSize() != other.GetSize()) return false;
    if (GetSize() == 0) return true;
    return std::memcmp(GetData(), other.GetData(), static_cast<size_t>(GetSize())) == 0;
}

int CByteArrayEx::Find(BYTE value, int start, bool reverse) const {
    const int n = SizeOf(*this);
    if (n == 0 || start < 0 || start > n - 1) return -1;
    if (reverse) {
        for (int i = n - 1; i >= 0; --i) {
            if (m_data[static_cast<size_t>(i)] == value) return i;
        }
        return -1;
    }
    for (int i = start; i < n; ++i) {
        if (m_data[static_cast<size_t>(i)] == value) return i;
    }
    return -1;
}

int CByteArrayEx::FindOneOf(const CByteArray& set, int start) const {
    const int n = SizeOf(*this);
    if (n == 0 || set.GetSize() == 0 || start < 0 || start > n - 1) return -1;
    const BYTE* s = set.GetData();
    const size_t m = static_cast<size_t>(set.GetSize());
    for (int i = start; i < n; ++i) {
        if (std::memchr(s, m_data[static_cast<size_t>(i)], m) != nullptr) return i;
    }
    return -1;
}

int CByteArrayEx::Find(const CByteArray& pattern, int start, int minSpan, bool reverse) const {
    const int n = SizeOf(*this);
    const int m = SizeOf(pattern);
    if (n == 0 || m == 0 || start < 0 || start > n - 1) return -1;
    const BYTE* p = pattern.GetData();
    const BYTE* d = m_data.data();
    if (reverse) {
        for (int e = n - 1; e >= 0; --e) {
            const int s = e - (m - 1);
            if (s >= 0 && d[e] == p[m - 1] && std::memcmp(d + s, p, static_cast<size_t>(m)) == 0) return s;
        }
        return -1;
    }
    for (int pos = start; pos + m - 1 <= n - 1; ++pos) {
        if (std::memcmp(d + pos, p, static_cast<size_t>(m)) != 0) continue;
        const int e = pos + m - 1;
        if (minSpan == -1 || e - start >= minSpan) return e;
    }
    return -1;
}

void CByteArrayEx::FromHex(const CString& hex) {
    RemoveAll();
    const int n = hex.GetLength() / 2;
    if (n > 0) {
        SetSize(n);
        const char* text = hex.Str().data();
        for (int i = 0; i < n; ++i) {
            const char pair[3] = {text[2 * i], text[2 * i + 1], '\0'};
            unsigned int value = 0;
            if (std::sscanf(pair, "%2X", &value) == 1) m_data[static_cast<size_t>(i)] = static_cast<BYTE>(value);
        }
    }
    FreeExtra();
}

void CByteArrayEx::ToHex(CString& out, int bytesPerLine, bool withOffsets) const {
    out.Empty();
    const int n = SizeOf(*this);
    if (n == 0) return;
    if (bytesPerLine <= 0) {
        for (int i = 0; i < n; ++i) out.AppendFormat("%02X", m_data[static_cast<size_t>(i)]);
        return;
    }
    const int width = static_cast<int>(std::floor(std::log10(static_cast<double>(n)))) + 1;
    CString prefix;
    prefix.Format("%%%dd %%0%dX: ", width, width);
    for (int o = 0; o < n; o += bytesPerLine) {
        if (withOffsets) out.AppendFormat(prefix.c_str(), o, o);
        for (int k = 0; k < bytesPerLine && o + k < n; ++k) out.AppendFormat("%02X ", m_data[static_cast<size_t>(o + k)]);
        out += '\n';
        if (o > n - bytesPerLine) break;  // the next offset would overflow or pass the end
    }
}

int CByteArrayExArray::Split(const CByteArray& src, BYTE delimiter) {
    const BYTE set[1] = {delimiter};
    return SplitAny(src, CByteArrayEx(set, 1));
}

int CByteArrayExArray::SplitAny(const CByteArray& src, const CByteArray& delimiters) {
    RemoveAll();
    if (src.GetSize() == 0 || delimiters.GetSize() == 0) return -1;
    const BYTE* set = delimiters.GetData();
    const size_t setSize = static_cast<size_t>(delimiters.GetSize());
    const BYTE* s = src.GetData();
    const int n = SizeOf(src);
    // The runs between delimiters; a delimiter at either end or two in a row make no piece.
    int first = 0;
    for (int i = 0; i <= n; ++i) {
        if (i < n && std::memchr(set, s[i], setSize) == nullptr) continue;
        if (i > first) {
            CByteArrayEx piece(s + first, i - first);
            Add(piece);
        }
        first = i + 1;
    }
    return static_cast<int>(GetSize());
}

int CByteArrayExArray::SplitSequence(const CByteArray& src, const CByteArray& separator, int minSpan) {
    RemoveAll();
    if (src.GetSize() == 0 || separator.GetSize() == 0) return -1;
    const int m = SizeOf(separator);
    CByteArrayEx w(separator);
    w.Append(src.GetData(), SizeOf(src));
    w.Append(separator.GetData(), m);
    // Find measures the span up to the match's last byte; a piece ends before the match's first
    // byte, so the limit is widened by the separator's other bytes.
    const int span = minSpan < 0 ? -1 : minSpan + m - 1;
    const int end = SizeOf(w) - 1;
    int p = m - 1;  // w starts with the separator
    while (p < end) {
        int q = w.Find(separator, p + 1, span, false);
        // The closing separator ends the last piece even when that piece is shorter than
        // minSpan; otherwise the tail of the source would be lost. A match that runs into the
        // closing separator is no separator: its first bytes belong to the source.
        if (q < 0 || q > end - m) q = end;
        const int last = q - m;  // the byte before the next separator
        if (last >= p + 1) AddPiece(*this, w, p + 1, last);
        p = q;
    }
    return static_cast<int>(GetSize());
}

POSITION CByteArrayFifo::AddHead(const CByteArrayEx& item) {
    CByteArrayEx copy(item);
    copy.FreeExtra();
    return CList::AddHead(copy);
}

POSITION CByteArrayFifo::AddTail(const CByteArrayEx& item) {
    CByteArrayEx copy(item);
    copy.FreeExtra();
    return CList::AddTail(copy);
}

CByteArrayEx CByteArrayFifo::RemoveHead() {
    CByteArrayEx item = CList::RemoveHead();
    item.FreeExtra();
    return item;
}

CByteArrayEx CByteArrayFifo::RemoveTail() {
    CByteArrayEx item = CList::RemoveTail();
    item.FreeExtra();
    return item;
}

POSITION CByteArrayFifoSync::AddHead(const CByteArrayEx& item) {
    CSingleLock lock(this, true);
    return CByteArrayFifo::AddHead(item);
}

POSITION CByteArrayFifoSync::AddTail(const CByteArrayEx& item) {
    CSingleLock lock(this, true);
    return CByteArrayFifo::AddTail(item);
}

CByteArrayEx CByteArrayFifoSync::RemoveHead() {
    CSingleLock lock(this, true);
    return CByteArrayFifo::RemoveHead();
}

CByteArrayEx CByteArrayFifoSync::RemoveTail() {
    CSingleLock lock(this, true);
    return CByteArrayFifo::RemoveTail();
}
