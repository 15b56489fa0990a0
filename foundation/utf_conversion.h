// Conversions between UTF-8, UTF-16, UTF-32, Latin-1, Windows-1252 and the ANSI code page,
// and the glue between CString and the standard strings.
//
// std::string is UTF-8 unless a function's name says otherwise; std::wstring holds UTF-16 code
// units, one per element. Malformed input throws Vok::utf_encoding_error, a value outside the
// Unicode range Vok::unicode_plane_error; a conversion that throws returns nothing partial.
// The UTF-8 decoders refuse over-long forms, so every character has exactly one spelling.
#pragma once

#include <stdexcept>
#include <string>

#include "compat/cstring.h"
#include "compat/windows_types.h"

namespace Vok {

class utf_encoding_error : public std::runtime_error {
public:
    utf_encoding_error() : std::runtime_error("invalid UTF encoding") {}
};

class unicode_plane_error : public std::runtime_error {
public:
    unicode_plane_error() : std::runtime_error("character value is outside the Unicode plane") {}
};

}  // namespace Vok

// NUL characters are dropped; a value above U+10FFFF is a plane error, an encoded surrogate an
// encoding error.
std::wstring Utf8ToUtf16(const std::string& text);
// A lone surrogate, or an element above 0xFFFF, is an encoding error; U+0000 is kept.
std::string Utf16ToUtf8(const std::wstring& text);
std::wstring Utf8ToWide(const std::string& text);
std::string WideToUtf8(const std::wstring& text);

// Also decodes surrogate values and the old five- and six-byte forms (up to 0x7FFFFFFF);
// never a plane error. NUL characters are dropped.
std::u32string Utf8ToUtf32(const std::string& text);
// For std::wstring and std::u16string; U+0000 is kept.
template <typename Unit16>
std::u32string Utf16ToUtf32(const std::basic_string<Unit16>& text);
extern template std::u32string Utf16ToUtf32(const std::wstring& text);
extern template std::u32string Utf16ToUtf32(const std::u16string& text);
// A surrogate value or one above U+10FFFF is a plane error.
std::wstring Utf32ToUtf16(const std::u32string& text);
// A value above U+10FFFF or a surrogate value is a plane error.
std::string Utf32ToUtf8(const std::u32string& text);
std::wstring Utf16ToUtf16(const std::wstring& text);

std::string Latin1ToUtf8(const std::string& text);
// A character above U+00FF is an encoding error.
std::string Utf8ToLatin1(const std::string& text);
std::wstring Cp1252ToUtf16(const std::string& text);
std::string Cp1252ToUtf8(const std::string& text);
// Characters that Windows-1252 cannot hold are dropped.
std::string Utf8ToCp1252(const std::string& text);

// The ANSI code page is Windows-1252.
std::wstring AnsiToUtf16(const std::string& text);
std::string AnsiToUtf8(const std::string& text);
std::string AnsiToUtf8(const CString& text);
// Characters that the ANSI code page cannot hold become '?'.
CString Utf8ToAnsi(const std::string& text);

// The text up to its first NUL. Code page 65001 is UTF-8, malformed parts replaced as the
// lenient conversions below do; every other code page, 0 included, is the ANSI code page.
std::wstring CStringToWide(const CString& text, UINT codePage);
CString WideToCString(const std::wstring& text, UINT codePage);

// The text up to its first NUL.
CString StdToCString(const std::string& text);
// All stored bytes, embedded NULs included.
std::string CStringToStd(const CString& text);

// The platform's substituting conversions: each maximal ill-formed part of the UTF-8 text, and
// each lone surrogate (or element above 0xFFFF) of the UTF-16 text, becomes U+FFFD. NUL is kept.
std::wstring Utf8ToUtf16Lenient(const std::string& text);
std::string Utf16ToUtf8Lenient(const std::wstring& text);

// True when Utf8ToUtf16 would accept the text.
bool IsValidUtf8(const std::string& text);
