#include "foundation/text_tokens.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <cstring>
#include <set>

#include <boost/algorithm/string/classification.hpp>
#include <boost/algorithm/string/split.hpp>

#include "compat/regional.h"

namespace {

CString FromPointer(const char* text) { return CString(text != nullptr ? text : ""); }

std::string Upper(std::string s) {
    for (char& c : s) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return s;
}

int HexDigitsToInt(const CString& text) {
    // Unsigned arithmetic: a long text wraps instead of overflowing.
    unsigned int value = 0;
    for (char c : text.Str()) {
        const int code = static_cast<unsigned char>(c);
        const int d = (c >= '0' && c <= '9') ? code - 48 : code - 55;
        value = value * 16u + static_cast<BYTE>(d);
    }
    return static_cast<int>(value);
}

}  // namespace

CString GetTextBetween(const CString& text, char opening, char closing) {
    const int open = text.Find(opening);
    const int close = text.Find(closing);
    if (open < 0 || close < 0 || close <= open + 1) return CString();
    return text.Mid(open + 1, close - open - 1);
}

CString GetField(const CString& text, int n, char delimiter) {
    if (n < 0) return CString();
    int start = 0;
    for (int i = 0; i < n; ++i) {
        const int at = text.Find(delimiter, start);
        if (at < 0) return CString();
        start = at + 1;
    }
    const int end = text.Find(delimiter, start);
    return end < 0 ? text.Mid(start) : text.Mid(start, end - start);
}

int CountChar(const CString& text, char ch) { return CountChar(text.Str(), ch); }

int CountChar(const std::string& text, char ch) {
    return static_cast<int>(std::count(text.begin(), text.end(), ch));
}

int SplitToStringArray(const char* text, CStringArray& out, char delimiter, BOOL mergeAdjacent) {
    out.RemoveAll();
    const std::string s = FromPointer(text).Str();
    if (s.empty()) return 0;
    size_t first = 0;
    for (size_t i = 0; i <= s.size(); ++i) {
        if (i < s.size() && s[i] != delimiter) continue;
        if (!mergeAdjacent || i > first) out.Add(CString(s.data() + first, static_cast<int>(i - first)));
        first = i + 1;
    }
    return static_cast<int>(out.GetSize());
}

int SplitToStringArrayAnyOf(const char* text, CStringArray& out, const CString& delimiters, BOOL keepEmpty,
                            BOOL trim) {
    out.RemoveAll();
    CString rest = FromPointer(text);
    if (trim) rest.Trim();
    if (rest.IsEmpty()) return 0;
    if (delimiters.IsEmpty()) {
        out.Add(rest);
        return 1;
    }
    // The extra delimiter ends the last part.
    rest += delimiters.GetAt(0);
    for (;;) {
        const int at = rest.FindOneOf(delimiters);
        if (at < 0) break;
        const CString part = rest.Left(at);
        if (!part.IsEmpty() || keepEmpty) out.Add(part);
        if (at == rest.GetLength() - 1) break;
        rest = rest.Mid(at + 1);
        if (trim) rest.TrimLeft();
    }
    return static_cast<int>(out.GetSize());
}

std::vector<std::string> SplitToVector(const std::string& text, char delimiter) {
    return SplitToVectorAnyOf(text, std::string(1, delimiter));
}

std::vector<std::string> SplitToVectorAnyOf(const std::string& text, const std::string& delimiters) {
    std::vector<std::string> parts;
    if (text.empty()) return parts;
    if (delimiters.empty()) return {text};
    boost::split(parts, text, boost::is_any_of(delimiters), boost::token_compress_off);
    return parts;
}

bool DetectSeparator(char& out, const CString& text) {
    if (text.IsEmpty()) {
        out = 0;
        return false;
    }
    CString numberChars;
    numberChars.Format("%c0123456789-+", Vok::Regional::kDecimalSeparator);
    std::array<int, 128> counts{};
    for (char c : text.Str()) {
        const auto code = static_cast<unsigned char>(c);
        if (code > 127 || numberChars.Find(c) >= 0) continue;
        ++counts[code];
    }
    // max_element keeps the first of equal counts, which is the lowest code.
    const auto best = std::max_element(counts.begin(), counts.end());
    if (*best == 0) return false;
    out = static_cast<char>(best - counts.begin());
    return true;
}

int HexTextToInt(const CString& text) {
    CString upper(text);
    upper.MakeUpper();
    return HexDigitsToInt(upper);
}

int UpperHexTextToInt(const CString& text) { return HexDigitsToInt(text); }

int CompareNoCase(const std::string& a, const std::string& b) {
    const size_t n = std::min(a.size(), b.size());
    for (size_t i = 0; i < n; ++i) {
        const int ca = std::toupper(static_cast<unsigned char>(a[i]));
        const int cb = std::toupper(static_cast<unsigned char>(b[i]));
        if (ca != cb) return ca < cb ? -1 : 1;
    }
    if (a.size() == b.size()) return 0;
    return a.size() < b.size() ? -1 : 1;
}

int CompareNoCase(const CString& a, const CString& b) { return a.CompareNoCase(b); }

int FindNoCase(const CString& text, const CString& pattern) {
    CString t(text);
    CString p(pattern);
    return t.MakeLower().Find(p.MakeLower());
}

CString FitToWidth(const char* text, int width, BOOL exact, BOOL alignRight) {
    const CString s = FromPointer(text);
    if (!exact && s.GetLength() >= width) return s;
    const CString pad(' ', width);
    return alignRight ? (pad + s).Right(width) : (s + pad).Left(width);
}

CString TruncateAtWord(const char* text, int maxLength) {
    CString s = FromPointer(text).Left(maxLength + 1);
    while (s.GetLength() > maxLength) {
        const int space = s.ReverseFind(' ');
        if (space < 1) break;
        s = s.Left(space);
    }
    if (s.GetLength() > maxLength) s = s.Left(maxLength);
    return s;
}

CString MakeUniqueName(const CStringArray& names, BOOL caseSensitive, const CString& base) {
    auto key = [caseSensitive](const CString& s) { return caseSensitive ? s.Str() : Upper(s.Str()); };
    std::set<std::string> taken;
    for (const CString& name : names) taken.insert(key(name));
    CString candidate = base;
    for (int i = 1; taken.count(key(candidate)) != 0; ++i) candidate.Format("%s%d", base, i);
    return candidate;
}

std::vector<std::string> ToStringVector(const CStringArray& array) {
    std::vector<std::string> out;
    out.reserve(static_cast<size_t>(array.GetSize()));
    for (const CString& s : array) out.push_back(s.Str());
    return out;
}

void ToStringArray(const std::vector<std::string>& list, CStringArray& out) {
    out.RemoveAll();
    for (const std::string& s : list) out.Add(CString(s.data(), static_cast<int>(s.size())));
}

namespace {

// A text field that may fill its whole width without a terminator.
CString FieldText(const void* field, std::size_t width) {
    const char* text = static_cast<const char*>(field);
    const void* end = std::memchr(text, '\0', width);
    return CString(text, static_cast<int>(end != nullptr ? static_cast<const char*>(end) - text : width));
}

bool Wanted(const ENUMLOGFONTEXA* font, DWORD fontType, const FontNameCollector* collector) {
    return font != nullptr && collector != nullptr && (fontType & ~collector->fontTypes) == 0;
}

}  // namespace

BOOL CollectFontFaceName(const ENUMLOGFONTEXA* font, const void* metrics, DWORD fontType,
                         FontNameCollector* collector) {
    (void)metrics;
    if (Wanted(font, fontType, collector))
        collector->Add(FieldText(font->elfLogFont.lfFaceName, sizeof font->elfLogFont.lfFaceName));
    return TRUE;
}

BOOL CollectFontFullName(const ENUMLOGFONTEXA* font, const void* metrics, DWORD fontType,
                         FontNameCollector* collector) {
    (void)metrics;
    if (Wanted(font, fontType, collector)) collector->Add(FieldText(font->elfFullName, sizeof font->elfFullName));
    return TRUE;
}
