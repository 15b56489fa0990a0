#include "compat/cstring.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <cwchar>

#include "compat/code_page.h"
#include "compat/object.h"

namespace {

bool IsAsciiSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

char AsciiUpper(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }
char AsciiLower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

const char* OrEmpty(const char* text) { return text != nullptr ? text : ""; }

int Sign(int v) { return (v > 0) - (v < 0); }

}  // namespace

CString::CString(const char* text) : m_s(OrEmpty(text)) {}

CString::CString(const char* text, int length) {
    if (text != nullptr && length > 0) m_s.assign(text, static_cast<size_t>(length));
}

CString::CString(char ch, int repeat) {
    if (repeat > 0) m_s.assign(static_cast<size_t>(repeat), ch);
}

CString::CString(const wchar_t* text) {
    if (text != nullptr) m_s = Vok::CodePage::WideToAnsi(text, std::wcslen(text));
}

CString& CString::operator=(const char* text) {
    m_s = OrEmpty(text);
    return *this;
}

CString& CString::operator=(char ch) {
    m_s.assign(1, ch);
    return *this;
}

char CString::GetAt(int index) const {
    if (index < 0 || index >= GetLength()) throw CInvalidArgException();
    return m_s[static_cast<size_t>(index)];
}

void CString::SetAt(int index, char ch) {
    if (index < 0 || index >= GetLength()) throw CInvalidArgException();
    m_s[static_cast<size_t>(index)] = ch;
}

CString& CString::operator+=(const CString& other) {
    m_s += other.m_s;
    return *this;
}

CString& CString::operator+=(const char* text) {
    m_s += OrEmpty(text);
    return *this;
}

CString& CString::operator+=(char ch) {
    m_s.push_back(ch);
    return *this;
}

void CString::Append(const char* text, int length) {
    if (text != nullptr && length > 0) m_s.append(text, static_cast<size_t>(length));
}

int CString::Compare(const char* other) const { return Sign(std::strcmp(m_s.c_str(), OrEmpty(other))); }

int CString::CompareNoCase(const char* other) const {
    const char* a = m_s.c_str();
    const char* b = OrEmpty(other);
    for (;; ++a, ++b) {
        const auto ca = static_cast<unsigned char>(AsciiLower(*a));
        const auto cb = static_cast<unsigned char>(AsciiLower(*b));
        if (ca != cb) return ca < cb ? -1 : 1;
        if (ca == 0) return 0;
    }
}

CString CString::Left(int count) const {
    count = std::clamp(count, 0, GetLength());
    return CString(m_s.data(), count);
}

CString CString::Right(int count) const {
    count = std::clamp(count, 0, GetLength());
    return CString(m_s.data() + (m_s.size() - static_cast<size_t>(count)), count);
}

CString CString::Mid(int first) const { return Mid(first, GetLength()); }

CString CString::Mid(int first, int count) const {
    first = std::clamp(first, 0, GetLength());
    count = std::clamp(count, 0, GetLength() - first);
    return CString(m_s.data() + first, count);
}

CString CString::SpanIncluding(const char* set) const {
    return Left(static_cast<int>(std::strspn(m_s.c_str(), OrEmpty(set))));
}

CString CString::SpanExcluding(const char* set) const {
    return Left(static_cast<int>(std::strcspn(m_s.c_str(), OrEmpty(set))));
}

CString CString::Tokenize(const char* delimiters, int& start) const {
    if (start < 0) {
        start = -1;
        return {};
    }
    if (delimiters == nullptr || *delimiters == '\0') {
        if (start < GetLength()) return Mid(start);
    } else if (start < GetLength()) {
        const char* place = m_s.c_str() + start;
        const int including = static_cast<int>(std::strspn(place, delimiters));
        if (start + including < GetLength()) {
            const int from = start + including;
            const int until = static_cast<int>(std::strcspn(m_s.c_str() + from, delimiters));
            start = from + until + 1;
            return Mid(from, until);
        }
    }
    start = -1;
    return {};
}

int CString::Find(char ch, int start) const {
    if (start < 0 || start >= GetLength()) return -1;
    const auto pos = m_s.find(ch, static_cast<size_t>(start));
    return pos == std::string::npos ? -1 : static_cast<int>(pos);
}

int CString::Find(const char* sub, int start) const {
    if (sub == nullptr || start < 0 || start > GetLength()) return -1;
    const auto pos = m_s.find(sub, static_cast<size_t>(start));
    return pos == std::string::npos ? -1 : static_cast<int>(pos);
}

int CString::ReverseFind(char ch) const {
    const auto pos = m_s.rfind(ch);
    return pos == std::string::npos ? -1 : static_cast<int>(pos);
}

int CString::FindOneOf(const char* set) const {
    if (set == nullptr || *set == '\0') return -1;
    const auto pos = m_s.find_first_of(set);
    return pos == std::string::npos ? -1 : static_cast<int>(pos);
}

CString& CString::MakeUpper() {
    std::transform(m_s.begin(), m_s.end(), m_s.begin(), AsciiUpper);
    return *this;
}

CString& CString::MakeLower() {
    std::transform(m_s.begin(), m_s.end(), m_s.begin(), AsciiLower);
    return *this;
}

CString& CString::MakeReverse() {
    std::reverse(m_s.begin(), m_s.end());
    return *this;
}

CString& CString::Trim() { return TrimRight().TrimLeft(); }
CString& CString::Trim(char ch) { return TrimRight(ch).TrimLeft(ch); }
CString& CString::Trim(const char* set) { return TrimRight(set).TrimLeft(set); }

CString& CString::TrimLeft() {
    const auto it = std::find_if_not(m_s.begin(), m_s.end(), IsAsciiSpace);
    m_s.erase(m_s.begin(), it);
    return *this;
}

CString& CString::TrimLeft(char ch) {
    m_s.erase(0, std::min(m_s.find_first_not_of(ch), m_s.size()));
    return *this;
}

CString& CString::TrimLeft(const char* set) {
    if (set == nullptr || *set == '\0') return *this;
    m_s.erase(0, std::min(m_s.find_first_not_of(set), m_s.size()));
    return *this;
}

CString& CString::TrimRight() {
    while (!m_s.empty() && IsAsciiSpace(m_s.back())) m_s.pop_back();
    return *this;
}

CString& CString::TrimRight(char ch) {
    while (!m_s.empty() && m_s.back() == ch) m_s.pop_back();
    return *this;
}

CString& CString::TrimRight(const char* set) {
    if (set == nullptr || *set == '\0') return *this;
    const auto pos = m_s.find_last_not_of(set);
    m_s.erase(pos == std::string::npos ? 0 : pos + 1);
    return *this;
}

void CString::Truncate(int length) {
    if (length < 0 || length > GetLength()) throw CInvalidArgException();
    m_s.resize(static_cast<size_t>(length));
}

int CString::Replace(char from, char to) {
    int n = 0;
    if (from == to) return 0;
    for (char& c : m_s) {
        if (c == from) {
            c = to;
            ++n;
        }
    }
    return n;
}

int CString::Replace(const char* from, const char* to) {
    if (from == nullptr || *from == '\0') return 0;
    const std::string_view needle(from);
    const std::string_view replacement(OrEmpty(to));
    int n = 0;
    size_t pos = 0;
    while ((pos = m_s.find(needle, pos)) != std::string::npos) {
        m_s.replace(pos, needle.size(), replacement);
        pos += replacement.size();
        ++n;
    }
    return n;
}

int CString::Remove(char ch) {
    const auto before = m_s.size();
    m_s.erase(std::remove(m_s.begin(), m_s.end(), ch), m_s.end());
    return static_cast<int>(before - m_s.size());
}

int CString::Insert(int index, char ch) {
    index = std::clamp(index, 0, GetLength());
    m_s.insert(static_cast<size_t>(index), 1, ch);
    return GetLength();
}

int CString::Insert(int index, const char* text) {
    index = std::clamp(index, 0, GetLength());
    m_s.insert(static_cast<size_t>(index), OrEmpty(text));
    return GetLength();
}

int CString::Delete(int index, int count) {
    index = std::max(index, 0);
    if (count > 0 && index < GetLength()) {
        m_s.erase(static_cast<size_t>(index), static_cast<size_t>(count));
    }
    return GetLength();
}

char* CString::GetBuffer(int minLength) {
    if (minLength > GetLength()) m_s.resize(static_cast<size_t>(minLength));
    return m_s.data();
}

char* CString::GetBufferSetLength(int length) {
    m_s.resize(static_cast<size_t>(std::max(length, 0)));
    return m_s.data();
}

void CString::ReleaseBuffer(int newLength) {
    if (newLength < 0) {
        newLength = static_cast<int>(::strnlen(m_s.data(), m_s.size()));
    }
    m_s.resize(std::min(static_cast<size_t>(newLength), m_s.size()));
}

void CString::FormatV(const char* format, va_list args) {
    m_s.clear();
    AppendFormatV(format, args);
}

void CString::AppendFormatV(const char* format, va_list args) {
    if (format == nullptr) return;
    va_list count_args;
    va_copy(count_args, args);
    const int n = std::vsnprintf(nullptr, 0, format, count_args);
    va_end(count_args);
    if (n <= 0) return;
    const size_t old = m_s.size();
    m_s.resize(old + static_cast<size_t>(n) + 1);
    va_list write_args;
    va_copy(write_args, args);
    std::vsnprintf(m_s.data() + old, static_cast<size_t>(n) + 1, format, write_args);
    va_end(write_args);
    m_s.resize(old + static_cast<size_t>(n));
}

void CString::FormatRaw(const char* format, ...) {
    va_list args;
    va_start(args, format);
    FormatV(format, args);
    va_end(args);
}

void CString::AppendFormatRaw(const char* format, ...) {
    va_list args;
    va_start(args, format);
    AppendFormatV(format, args);
    va_end(args);
}

CString operator+(const CString& a, const CString& b) {
    CString r(a);
    r += b;
    return r;
}
CString operator+(const CString& a, const char* b) {
    CString r(a);
    r += b;
    return r;
}
CString operator+(const char* a, const CString& b) {
    CString r(a);
    r += b;
    return r;
}
CString operator+(const CString& a, char b) {
    CString r(a);
    r += b;
    return r;
}
CString operator+(char a, const CString& b) {
    CString r(a);
    r += b;
    return r;
}

bool operator==(const CString& a, const CString& b) { return a.Str() == b.Str(); }
bool operator==(const CString& a, const char* b) { return a.Compare(b) == 0; }
bool operator==(const char* a, const CString& b) { return b.Compare(a) == 0; }
bool operator!=(const CString& a, const CString& b) { return !(a == b); }
bool operator!=(const CString& a, const char* b) { return !(a == b); }
bool operator!=(const char* a, const CString& b) { return !(a == b); }
bool operator<(const CString& a, const CString& b) { return a.Compare(b) < 0; }
bool operator>(const CString& a, const CString& b) { return a.Compare(b) > 0; }
bool operator<=(const CString& a, const CString& b) { return a.Compare(b) <= 0; }
bool operator>=(const CString& a, const CString& b) { return a.Compare(b) >= 0; }
