// Text utilities over narrow (UTF-8 or ANSI) and wide (UTF-16) standard strings.
// Case-insensitive comparison and character classes are ASCII-only (the classic locale).
#pragma once

#include <cstdarg>
#include <cstddef>
#include <string>
#include <vector>

#include "compat/format_args.h"

// printf-style formatting; a format error or an empty output gives an empty string.
std::string FormatV(const char* format, va_list args);
std::wstring FormatVW(const wchar_t* format, va_list args);

namespace Vok::detail {
std::string FormatRaw(const char* format, ...);
std::wstring FormatRawW(const wchar_t* format, ...);
}  // namespace Vok::detail

template <typename... Args>
std::string Format(const char* format, const Args&... args) {
    return Vok::detail::FormatRaw(format, Vok::detail::FormatArg(args)...);
}

template <typename... Args>
std::wstring FormatW(const wchar_t* format, const Args&... args) {
    return Vok::detail::FormatRawW(format, Vok::detail::FormatArg(args)...);
}

// Cuts; a count or start beyond the text is clipped, never an error.
std::string Left(const std::string& text, std::size_t count);
std::string Right(const std::string& text, std::size_t count);
std::string Mid(const std::string& text, std::size_t start, std::size_t count);
std::string Mid(const std::string& text, std::size_t start);

bool Equals(const std::string& a, const std::string& b, bool ignoreCase);
// Spaces, then punctuation, are removed from both texts before they are compared.
bool Equals(const std::string& a, const std::string& b, bool ignoreCase, bool ignoreSpaces,
            bool ignorePunctuation);

// An empty what, prefix or suffix always matches.
bool Contains(const std::string& text, const std::string& what, bool ignoreCase);
// all clear: one entry contained (empty list: false); all set: every entry (empty list: true).
bool ContainsAnyOrAll(const std::string& text, const std::vector<std::string>& list, bool all,
                      bool ignoreCase);
bool StartsWith(const std::string& text, const std::string& prefix, bool ignoreCase);
bool StartsWithAny(const std::string& text, const std::vector<std::string>& list, bool ignoreCase);
bool EndsWith(const std::string& text, const std::string& suffix, bool ignoreCase);
bool EndsWithAny(const std::string& text, const std::vector<std::string>& list, bool ignoreCase);

// Replaces every occurrence of from; inserted text is not searched again. An empty from
// changes nothing.
void ReplaceAll(std::string& text, const std::string& from, const std::string& to);
void ReplaceAll(std::wstring& text, const std::wstring& from, const std::wstring& to);

// Replaces the suffix (compared ignoring case) that ends text; false and text unchanged when
// text does not end with it. An empty suffix changes nothing and gives true.
bool ReplaceSuffix(std::string& text, const std::string& suffix, const std::string& replacement);
bool ReplaceSuffix(std::wstring& text, const std::wstring& suffix, const std::wstring& replacement);

// Trailing white space dropped, backslashes made forward slashes, and the trailing slash
// added or removed (one only); a blank folder gives an empty text.
std::string NormalizeFolder(const std::string& folder, bool trailingSlash);
std::wstring NormalizeFolder(const std::wstring& folder, bool trailingSlash);

// Joins with the separator that base already uses; a base that ends with tail (ignoring
// case) is returned as it is.
std::string JoinPath(const std::string& base, const std::string& tail);
std::wstring JoinPath(const std::wstring& base, const std::wstring& tail);

// Lowers A-Z only; every other character is kept.
std::string ToLower(const std::string& text);
std::wstring ToLower(const std::wstring& text);

// The bridge between wide (UTF-16) and narrow (UTF-8) text; malformed input throws
// Vok::utf_encoding_error, a value outside Unicode Vok::unicode_plane_error.
std::string ToNarrowString(const std::wstring& text);
std::wstring ToWideString(const std::string& text);

// Words split at spaces, underscores and hyphens (runs count as one), letters and digits
// parted first: "Speed2Ground_over-water" gives Speed, 2, Ground, over, water.
std::vector<std::string> SplitWords(const std::string& text);
// One space between a letter and a digit that meet: "Abc12def" gives "Abc 12 def".
std::string SeparateLettersAndDigits(const std::string& text);

bool IsSpaceChar(char c);
bool IsPunctChar(char c);
