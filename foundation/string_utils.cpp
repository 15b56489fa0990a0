#include "foundation/string_utils.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cwchar>
#include <locale>

#include <boost/algorithm/string/classification.hpp>
#include <boost/algorithm/string/predicate.hpp>
#include <boost/algorithm/string/split.hpp>

#include "foundation/utf_conversion.h"

std::string FormatV(const char* format, va_list args) {
    if (format == nullptr) return {};
    va_list count_args;
    va_copy(count_args, args);
    const int n = std::vsnprintf(nullptr, 0, format, count_args);
    va_end(count_args);
    if (n <= 0) return {};
    std::string out(static_cast<size_t>(n) + 1, '\0');
    va_list write_args;
    va_copy(write_args, args);
    std::vsnprintf(out.data(), out.size(), format, write_args);
    va_end(write_args);
    out.resize(static_cast<size_t>(n));
    return out;
}

std::wstring FormatVW(const wchar_t* format, va_list args) {
    if (format == nullptr) return {};
    // The wide library has no counting call; a memory stream grows as the text is written,
    // and tells a format error (-1) from a long text.
    wchar_t* buffer = nullptr;
    size_t size = 0;
    FILE* stream = open_wmemstream(&buffer, &size);
    if (stream == nullptr) return {};
    va_list write_args;
    va_copy(write_args, args);
    const int n = std::vfwprintf(stream, format, write_args);
    va_end(write_args);
    std::fclose(stream);
    std::wstring out;
    if (n > 0 && buffer != nullptr) out.assign(buffer, size);
    std::free(buffer);
    return out;
}

namespace Vok::detail {

std::string FormatRaw(const char* format, ...) {
    va_list args;
    va_start(args, format);
    std::string out = FormatV(format, args);
    va_end(args);
    return out;
}

std::wstring FormatRawW(const wchar_t* format, ...) {
    va_list args;
    va_start(args, format);
    std::wstring out = FormatVW(format, args);
    va_end(args);
    return out;
}

}  // namespace Vok::detail

namespace {

// The classic locale lowers and raises A-Z only, so case folding never depends on the
// process's locale, and wide values are never looked up in narrow tables.
template <typename Char>
Char AsciiLower(Char c) {
    return (c >= Char('A') && c <= Char('Z')) ? Char(c - Char('A') + Char('a')) : c;
}

template <typename Char>
bool IsAsciiSpace(Char c) {
    return c == Char(' ') || (c >= Char('\t') && c <= Char('\r'));
}

template <typename Char>
bool IsAsciiDigit(Char c) {
    return c >= Char('0') && c <= Char('9');
}

template <typename Char>
bool IsAsciiAlpha(Char c) {
    return (c >= Char('A') && c <= Char('Z')) || (c >= Char('a') && c <= Char('z'));
}

struct AsciiIEqual {
    template <typename Char>
    bool operator()(Char a, Char b) const {
        return AsciiLower(a) == AsciiLower(b);
    }
};

bool EndsWithNoCase(const std::string& text, const std::string& suffix) {
    return boost::algorithm::iends_with(text, suffix, std::locale::classic());
}

bool EndsWithNoCase(const std::wstring& text, const std::wstring& suffix) {
    return boost::algorithm::ends_with(text, suffix, AsciiIEqual{});
}

template <typename Str>
void ReplaceAllImpl(Str& text, const Str& from, const Str& to) {
    if (from.empty()) return;
    for (auto pos = text.find(from); pos != Str::npos; pos = text.find(from, pos + to.size())) {
        text.replace(pos, from.size(), to);
    }
}

template <typename Str>
bool ReplaceSuffixImpl(Str& text, const Str& suffix, const Str& replacement) {
    if (!EndsWithNoCase(text, suffix)) return false;
    if (!suffix.empty()) text.replace(text.size() - suffix.size(), suffix.size(), replacement);
    return true;
}

template <typename Str>
Str NormalizeFolderImpl(const Str& folder, bool trailingSlash) {
    using Char = typename Str::value_type;
    auto end = folder.size();
    while (end > 0 && IsAsciiSpace(folder[end - 1])) --end;
    if (end == 0) return {};
    Str out = folder.substr(0, end);
    std::replace(out.begin(), out.end(), Char('\\'), Char('/'));
    const bool endsWithSlash = out.back() == Char('/');
    if (!trailingSlash && endsWithSlash) {
        out.pop_back();
    } else if (trailingSlash && !endsWithSlash) {
        out.push_back(Char('/'));
    }
    return out;
}

template <typename Str>
Str JoinPathImpl(const Str& base, const Str& tail) {
    using Char = typename Str::value_type;
    if (base.empty()) return tail;
    if (EndsWithNoCase(base, tail)) return base;
    if (base.back() == Char('/') || base.back() == Char('\\')) return base + tail;
    const Char separator = base.find(Char('\\')) != Str::npos ? Char('\\') : Char('/');
    Str out;
    out.reserve(base.size() + 1 + tail.size());
    out.append(base).push_back(separator);
    out.append(tail);
    return out;
}

template <typename Str>
Str ToLowerImpl(const Str& text) {
    Str out(text);
    for (auto& c : out) c = AsciiLower(c);
    return out;
}

const std::ctype<char>& ClassicCtype() {
    static const std::ctype<char>& facet = std::use_facet<std::ctype<char>>(std::locale::classic());
    return facet;
}

}  // namespace

std::string Left(const std::string& text, std::size_t count) {
    return count < text.size() ? text.substr(0, count) : text;
}

std::string Right(const std::string& text, std::size_t count) {
    return count < text.size() ? text.substr(text.size() - count) : text;
}

std::string Mid(const std::string& text, std::size_t start, std::size_t count) {
    return start < text.size() ? text.substr(start, count) : std::string();
}

std::string Mid(const std::string& text, std::size_t start) {
    return start < text.size() ? text.substr(start) : std::string();
}

bool Equals(const std::string& a, const std::string& b, bool ignoreCase) {
    return ignoreCase ? boost::algorithm::iequals(a, b, std::locale::classic()) : a == b;
}

bool Equals(const std::string& a, const std::string& b, bool ignoreCase, bool ignoreSpaces,
            bool ignorePunctuation) {
    std::string x(a);
    std::string y(b);
    if (ignoreSpaces) {
        std::erase_if(x, IsSpaceChar);
        std::erase_if(y, IsSpaceChar);
    }
    if (ignorePunctuation) {
        std::erase_if(x, IsPunctChar);
        std::erase_if(y, IsPunctChar);
    }
    return Equals(x, y, ignoreCase);
}

bool Contains(const std::string& text, const std::string& what, bool ignoreCase) {
    return ignoreCase ? boost::algorithm::icontains(text, what, std::locale::classic())
                      : boost::algorithm::contains(text, what);
}

bool ContainsAnyOrAll(const std::string& text, const std::vector<std::string>& list, bool all,
                      bool ignoreCase) {
    const auto contained = [&](const std::string& entry) { return Contains(text, entry, ignoreCase); };
    return all ? std::all_of(list.begin(), list.end(), contained)
               : std::any_of(list.begin(), list.end(), contained);
}

bool StartsWith(const std::string& text, const std::string& prefix, bool ignoreCase) {
    return ignoreCase ? boost::algorithm::istarts_with(text, prefix, std::locale::classic())
                      : boost::algorithm::starts_with(text, prefix);
}

bool StartsWithAny(const std::string& text, const std::vector<std::string>& list, bool ignoreCase) {
    return std::any_of(list.begin(), list.end(),
                       [&](const std::string& prefix) { return StartsWith(text, prefix, ignoreCase); });
}

bool EndsWith(const std::string& text, const std::string& suffix, bool ignoreCase) {
    return ignoreCase ? EndsWithNoCase(text, suffix) : boost::algorithm::ends_with(text, suffix);
}

bool EndsWithAny(const std::string& text, const std::vector<std::string>& list, bool ignoreCase) {
    return std::any_of(list.begin(), list.end(),
                       [&](const std::string& suffix) { return EndsWith(text, suffix, ignoreCase); });
}

void ReplaceAll(std::string& text, const std::string& from, const std::string& to) {
    ReplaceAllImpl(text, from, to);
}

void ReplaceAll(std::wstring& text, const std::wstring& from, const std::wstring& to) {
    ReplaceAllImpl(text, from, to);
}

bool ReplaceSuffix(std::string& text, const std::string& suffix, const std::string& replacement) {
    return ReplaceSuffixImpl(text, suffix, replacement);
}

bool ReplaceSuffix(std::wstring& text, const std::wstring& suffix, const std::wstring& replacement) {
    return ReplaceSuffixImpl(text, suffix, replacement);
}

std::string NormalizeFolder(const std::string& folder, bool trailingSlash) {
    return NormalizeFolderImpl(folder, trailingSlash);
}

std::wstring NormalizeFolder(const std::wstring& folder, bool trailingSlash) {
    return NormalizeFolderImpl(folder, trailingSlash);
}

std::string JoinPath(const std::string& base, const std::string& tail) {
    return JoinPathImpl(base, tail);
}

std::wstring JoinPath(const std::wstring& base, const std::wstring& tail) {
    return JoinPathImpl(base, tail);
}

std::string ToLower(const std::string& text) {
    return ToLowerImpl(text);
}

std::wstring ToLower(const std::wstring& text) {
    return ToLowerImpl(text);
}

std::string ToNarrowString(const std::wstring& text) {
    return WideToUtf8(text);
}

std::wstring ToWideString(const std::string& text) {
    return Utf8ToWide(text);
}

std::vector<std::string> SplitWords(const std::string& text) {
    const std::string separated = SeparateLettersAndDigits(text);
    std::vector<std::string> words;
    boost::algorithm::split(words, separated, boost::algorithm::is_any_of(" _-"),
                            boost::algorithm::token_compress_on);
    return words;
}

std::string SeparateLettersAndDigits(const std::string& text) {
    enum class Kind { None, Letter, Digit };
    std::string out;
    out.reserve(text.size() + text.size() / 2);
    Kind previous = Kind::None;
    for (const char c : text) {
        const Kind kind = IsAsciiAlpha(c) ? Kind::Letter : IsAsciiDigit(c) ? Kind::Digit : Kind::None;
        if (kind != Kind::None && previous != Kind::None && kind != previous) out.push_back(' ');
        out.push_back(c);
        previous = kind;
    }
    return out;
}

bool IsSpaceChar(char c) {
    return ClassicCtype().is(std::ctype_base::space, c);
}

bool IsPunctChar(char c) {
    return ClassicCtype().is(std::ctype_base::punct, c);
}
