// The class library's narrow string: bytes in the ANSI code page (Windows-1252), with the
// index, search and edit operations of the original. Comparisons without case are ASCII-only.
#pragma once

#include <cstdarg>
#include <string>
#include <string_view>

#include "compat/format_args.h"
#include "compat/windows_types.h"

class CString {
public:
    CString() = default;
    CString(const char* text);  // NOLINT: implicit, as in the class library
    CString(const char* text, int length);
    CString(char ch, int repeat = 1);
    // UTF-16 text, converted to the ANSI code page ('?' where it has no character).
    CString(const wchar_t* text);  // NOLINT
    CString(const CString&) = default;
    CString(CString&&) noexcept = default;
    CString& operator=(const CString&) = default;
    CString& operator=(CString&&) noexcept = default;
    CString& operator=(const char* text);
    CString& operator=(char ch);

    int GetLength() const { return static_cast<int>(m_s.size()); }
    bool IsEmpty() const { return m_s.empty(); }
    void Empty() { m_s.clear(); }
    const char* GetString() const { return m_s.c_str(); }
    const char* c_str() const { return m_s.c_str(); }
    operator const char*() const { return m_s.c_str(); }  // NOLINT
    // The bytes as they are held, embedded NULs included.
    const std::string& Str() const { return m_s; }

    // Index outside the text: CInvalidArgException.
    char GetAt(int index) const;
    void SetAt(int index, char ch);
    char operator[](int index) const { return GetAt(index); }

    CString& operator+=(const CString& other);
    CString& operator+=(const char* text);
    CString& operator+=(char ch);
    void Append(const char* text, int length);
    void AppendChar(char ch) { m_s.push_back(ch); }

    int Compare(const char* other) const;
    int CompareNoCase(const char* other) const;

    CString Left(int count) const;
    CString Right(int count) const;
    CString Mid(int first) const;
    CString Mid(int first, int count) const;
    CString SpanIncluding(const char* set) const;
    CString SpanExcluding(const char* set) const;
    // Next token after skipping delimiters from start; start becomes -1 when none is left.
    CString Tokenize(const char* delimiters, int& start) const;

    // Searches return the 0-based position or -1.
    int Find(char ch, int start = 0) const;
    int Find(const char* sub, int start = 0) const;
    int ReverseFind(char ch) const;
    int FindOneOf(const char* set) const;

    CString& MakeUpper();
    CString& MakeLower();
    CString& MakeReverse();
    CString& Trim();
    CString& Trim(char ch);
    CString& Trim(const char* set);
    CString& TrimLeft();
    CString& TrimLeft(char ch);
    CString& TrimLeft(const char* set);
    CString& TrimRight();
    CString& TrimRight(char ch);
    CString& TrimRight(const char* set);
    void Truncate(int length);

    // Number of replacements made.
    int Replace(char from, char to);
    int Replace(const char* from, const char* to);
    int Remove(char ch);
    // New length.
    int Insert(int index, char ch);
    int Insert(int index, const char* text);
    int Delete(int index, int count = 1);

    // A writable buffer of at least minLength bytes (plus a terminator); ReleaseBuffer fixes the
    // length: at the first NUL for -1, otherwise the given length (at most the buffer's size).
    char* GetBuffer(int minLength = 0);
    char* GetBufferSetLength(int length);
    void ReleaseBuffer(int newLength = -1);
    void ReleaseBufferSetLength(int newLength) { ReleaseBuffer(newLength); }

    void FormatV(const char* format, va_list args);
    void AppendFormatV(const char* format, va_list args);
    template <typename... Args>
    void Format(const char* format, const Args&... args) {
        FormatRaw(format, Vok::detail::FormatArg(args)...);
    }
    template <typename... Args>
    void AppendFormat(const char* format, const Args&... args) {
        AppendFormatRaw(format, Vok::detail::FormatArg(args)...);
    }

private:
    void FormatRaw(const char* format, ...);
    void AppendFormatRaw(const char* format, ...);

    std::string m_s;
};

CString operator+(const CString& a, const CString& b);
CString operator+(const CString& a, const char* b);
CString operator+(const char* a, const CString& b);
CString operator+(const CString& a, char b);
CString operator+(char a, const CString& b);

bool operator==(const CString& a, const CString& b);
bool operator==(const CString& a, const char* b);
bool operator==(const char* a, const CString& b);
bool operator!=(const CString& a, const CString& b);
bool operator!=(const CString& a, const char* b);
bool operator!=(const char* a, const CString& b);
bool operator<(const CString& a, const CString& b);
bool operator>(const CString& a, const CString& b);
bool operator<=(const CString& a, const CString& b);
bool operator>=(const CString& a, const CString& b);
