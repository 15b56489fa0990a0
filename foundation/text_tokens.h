// Cutting texts into fields, counting, comparing without regard to case, fitting a text to a
// width, and converting lists of texts; over CString and std::string alike.
#pragma once

#include <string>
#include <vector>

#include "compat/collections.h"
#include "compat/cstring.h"
#include "compat/font_types.h"
#include "compat/windows_types.h"

// The characters after the first opening character up to the first closing character of the text.
CString GetTextBetween(const CString& text, char opening, char closing);
// Field n (0 is the first) between delimiters; the last field runs to the end of the text.
CString GetField(const CString& text, int n, char delimiter);
int CountChar(const CString& text, char ch);
int CountChar(const std::string& text, char ch);

// Returns the number of elements put into out. Without merging every delimiter ends an element
// (empty ones included); with it a run of delimiters is one boundary and no element is empty.
int SplitToStringArray(const char* text, CStringArray& out, char delimiter, BOOL mergeAdjacent);
int SplitToStringArrayAnyOf(const char* text, CStringArray& out, const CString& delimiters, BOOL keepEmpty,
                            BOOL trim);
// n delimiters give n + 1 elements; an empty text gives none.
std::vector<std::string> SplitToVector(const std::string& text, char delimiter);
std::vector<std::string> SplitToVectorAnyOf(const std::string& text, const std::string& delimiters);
// The character that separates the numbers of a line of text.
bool DetectSeparator(char& out, const CString& text);

// Hex digits without validation; any character yields some digit value.
int HexTextToInt(const CString& text);
int UpperHexTextToInt(const CString& text);
int CompareNoCase(const std::string& a, const std::string& b);
int CompareNoCase(const CString& a, const CString& b);
int FindNoCase(const CString& text, const CString& pattern);
CString FitToWidth(const char* text, int width, BOOL exact, BOOL alignRight);
CString TruncateAtWord(const char* text, int maxLength);
CString MakeUniqueName(const CStringArray& names, BOOL caseSensitive, const CString& base);

std::vector<std::string> ToStringVector(const CStringArray& array);
void ToStringArray(const std::vector<std::string>& list, CStringArray& out);

// The names that the two font callbacks collect: the fonts whose type bits all lie in fontTypes.
class FontNameCollector : public CStringArray {
public:
    DWORD fontTypes = 0;
};
// Callbacks of the font-family enumeration's shape (metrics are not read): each appends the
// font's face name (lfFaceName) or full name (elfFullName), read no further than its field, to
// the collector when the font's type bits are all in its mask. Always TRUE, so that the
// enumeration goes on; a null font or collector adds nothing.
BOOL CollectFontFaceName(const ENUMLOGFONTEXA* font, const void* metrics, DWORD fontType,
                         FontNameCollector* collector);
BOOL CollectFontFullName(const ENUMLOGFONTEXA* font, const void* metrics, DWORD fontType,
                         FontNameCollector* collector);
