#include "foundation/string_utils.h"

#include <gtest/gtest.h>

#include "foundation/utf_conversion.h"

namespace {

TEST(Format, FormatsNumbersAndTexts) {
    EXPECT_EQ(Format("%d-%s", 7, "ab"), "7-ab");
    EXPECT_EQ(Format("%s|%s", std::string("x"), std::string()), "x|");
    EXPECT_EQ(FormatW(L"%d:%ls", 3, std::wstring(L"w")), L"3:w");
}

TEST(Format, EmptyOrRejectedFormatGivesEmptyText) {
    EXPECT_EQ(Format(""), "");
    EXPECT_EQ(Format(nullptr), "");
    EXPECT_EQ(FormatW(L""), L"");
    // A narrow argument the C locale cannot convert is a wide format error.
    EXPECT_EQ(FormatW(L"a%sb", "\xFF"), L"");
}

TEST(Format, LongOutputIsComplete) {
    const std::string big(5000, 'q');
    EXPECT_EQ(Format("<%s>", big).size(), 5002u);
    EXPECT_EQ(FormatW(L"%ls", std::wstring(70000, L'z')).size(), 70000u);
}

}  // namespace

namespace {

using Words = std::vector<std::string>;

TEST(Cuts, ClipAtTheEndsOfTheText) {
    EXPECT_EQ(Left("ABCDEF", 2), "AB");
    EXPECT_EQ(Left("ABCDEF", 6), "ABCDEF");
    EXPECT_EQ(Right("ABCDEF", 2), "EF");
    EXPECT_EQ(Right("ABCDEF", 6), "ABCDEF");
    EXPECT_EQ(Mid("ABCDEF", 1, 3), "BCD");
    EXPECT_EQ(Mid("ABCDEF", 4, 99), "EF");
    EXPECT_EQ(Mid("ABCDEF", 6, 1), "");
    EXPECT_EQ(Mid("ABCDEF", 2), "CDEF");
    EXPECT_EQ(Mid("ABCDEF", 6), "");
}

TEST(Compare, EqualsWithCaseSpacesAndPunctuation) {
    EXPECT_TRUE(Equals("abc", "ABC", true));
    EXPECT_FALSE(Equals("abc", "ABC", false));
    EXPECT_FALSE(Equals("abc", "abcd", true));
    // Case folding is ASCII-only: upper and lower A with diaeresis (Windows-1252) differ.
    EXPECT_FALSE(Equals("\xC4", "\xE4", true));
    EXPECT_TRUE(Equals("A b.", "ab", true, true, true));
    EXPECT_FALSE(Equals("A b.", "ab", true, false, true));
    EXPECT_FALSE(Equals("A b.", "ab", true, true, false));
    EXPECT_TRUE(Equals("a\tb\n", "ab", false, true, false));
}

TEST(Compare, SearchesWithAndWithoutCase) {
    EXPECT_TRUE(Contains("abc", "", false));
    EXPECT_TRUE(Contains("Speed", "EE", true));
    EXPECT_FALSE(Contains("Speed", "EE", false));
    EXPECT_TRUE(StartsWith("Speed", "sp", true));
    EXPECT_FALSE(StartsWith("Speed", "sp", false));
    EXPECT_FALSE(StartsWith("Sp", "Speed", true));
    EXPECT_TRUE(EndsWith("Name.PRO", ".pro", true));
    EXPECT_FALSE(EndsWith("Name.PRO", ".pro", false));
    EXPECT_FALSE(EndsWith("ro", "Name.pro", true));

    const Words list{"xyz", "SP", "ed"};
    EXPECT_TRUE(StartsWithAny("speed", list, true));
    EXPECT_FALSE(StartsWithAny("speed", list, false));
    EXPECT_TRUE(EndsWithAny("speed", list, false));
    EXPECT_FALSE(EndsWithAny("speed", {}, true));

    EXPECT_FALSE(ContainsAnyOrAll("speed", {}, false, true));
    EXPECT_TRUE(ContainsAnyOrAll("speed", {}, true, true));
    EXPECT_TRUE(ContainsAnyOrAll("speed", {"q", "PEE"}, false, true));
    EXPECT_FALSE(ContainsAnyOrAll("speed", {"q", "PEE"}, true, true));
    EXPECT_TRUE(ContainsAnyOrAll("speed", {"S", "PEE"}, true, true));
}

TEST(Replace, ReplaceAllDoesNotSearchInsertedText) {
    std::string text = "aaa";
    ReplaceAll(text, "a", "aa");
    EXPECT_EQ(text, "aaaaaa");
    std::wstring wide = L"x--y--";
    ReplaceAll(wide, L"--", L"-");
    EXPECT_EQ(wide, L"x-y-");
}

TEST(Replace, ReplaceAllWithEmptySearchTextChangesNothing) {
    std::string text = "abc";
    ReplaceAll(text, "", "x");
    EXPECT_EQ(text, "abc");
    std::wstring wide = L"abc";
    ReplaceAll(wide, L"", L"x");
    EXPECT_EQ(wide, L"abc");
}

TEST(Replace, ReplaceSuffixIgnoresCase) {
    std::string text = "Name.PRO";
    EXPECT_TRUE(ReplaceSuffix(text, ".pro", ".txt"));
    EXPECT_EQ(text, "Name.txt");
    text = "Name.pro";
    EXPECT_FALSE(ReplaceSuffix(text, ".txt", ".dat"));
    EXPECT_EQ(text, "Name.pro");
    EXPECT_TRUE(ReplaceSuffix(text, "", ".dat"));
    EXPECT_EQ(text, "Name.pro");
    text = ".pro.pro";
    EXPECT_TRUE(ReplaceSuffix(text, ".PRO", ".x"));
    EXPECT_EQ(text, ".pro.x");

    std::wstring wide = L"Name.PRO";
    EXPECT_TRUE(ReplaceSuffix(wide, L".pro", L".txt"));
    EXPECT_EQ(wide, L"Name.txt");
    wide = L"Name.\u00C4";
    EXPECT_FALSE(ReplaceSuffix(wide, L".\u00E4", L".x"));
}

TEST(PathText, NormalizeFolder) {
    EXPECT_EQ(NormalizeFolder("D:\\Data\\ ", false), "D:/Data");
    EXPECT_EQ(NormalizeFolder("D:\\Data", true), "D:/Data/");
    EXPECT_EQ(NormalizeFolder("   ", true), "");
    EXPECT_EQ(NormalizeFolder("/a//", false), "/a/");
    EXPECT_EQ(NormalizeFolder(" a\t\r\n", false), " a");
    EXPECT_EQ(NormalizeFolder(L"D:\\Data\\ ", false), L"D:/Data");
    EXPECT_EQ(NormalizeFolder(L" \t", true), L"");
}

TEST(PathText, JoinPath) {
    EXPECT_EQ(JoinPath("D:\\Data", "file"), "D:\\Data\\file");
    EXPECT_EQ(JoinPath("/data", "file"), "/data/file");
    EXPECT_EQ(JoinPath("D:\\Data\\", "file"), "D:\\Data\\file");
    EXPECT_EQ(JoinPath("/data/FILE", "file"), "/data/FILE");
    EXPECT_EQ(JoinPath("", "file"), "file");
    EXPECT_EQ(JoinPath("/datafile", "file"), "/datafile");
    EXPECT_EQ(JoinPath("/data", ""), "/data");
    EXPECT_EQ(JoinPath(L"D:\\Data", L"file"), L"D:\\Data\\file");
    EXPECT_EQ(JoinPath(L"/data/FILE", L"file"), L"/data/FILE");
}

TEST(CaseConversion, LowersAsciiLettersOnly) {
    EXPECT_EQ(ToLower("\xC4XY@[z"), "\xC4xy@[z");
    // Values above 255 must not reach a narrow table: U+0141 and U+FF21 would fold to 'a'
    // if cut to a byte.
    const std::wstring upper{0x00C4, 0x0141, 0xFF21, 0xD83D, 0xDE00, L'X', L'Y'};
    const std::wstring lower{0x00C4, 0x0141, 0xFF21, 0xD83D, 0xDE00, L'x', L'y'};
    EXPECT_EQ(ToLower(upper), lower);
}

TEST(Words, SplitAtSeparatorsAndBetweenLettersAndDigits) {
    EXPECT_EQ(SeparateLettersAndDigits("Abc12def"), "Abc 12 def");
    EXPECT_EQ(SeparateLettersAndDigits("a#1\xC4" "2b"), "a#1\xC4" "2 b");
    EXPECT_EQ(SplitWords("Speed2Ground_over-water"), (Words{"Speed", "2", "Ground", "over", "water"}));
    EXPECT_EQ(SplitWords("a  b"), (Words{"a", "b"}));
    EXPECT_EQ(SplitWords("_a"), (Words{"", "a"}));
    EXPECT_EQ(SplitWords("a-"), (Words{"a", ""}));
    EXPECT_EQ(SplitWords(""), (Words{""}));
}

TEST(CharClasses, AsciiSpaceAndPunctuation) {
    for (const char c : std::string(" \t\n\v\f\r")) EXPECT_TRUE(IsSpaceChar(c)) << int(c);
    for (const char c : std::string(".,;:!?-_()[]{}'\"/\\@#~")) EXPECT_TRUE(IsPunctChar(c)) << c;
    for (const char c : std::string("aZ09\xA0\xB7\xFF")) {
        EXPECT_FALSE(IsSpaceChar(c)) << int(c);
        EXPECT_FALSE(IsPunctChar(c)) << int(c);
    }
    EXPECT_FALSE(IsPunctChar(' '));
}

TEST(Bridge, ConvertsBetweenUtf8AndUtf16) {
    const std::string narrow = "A\xC3\x84\xF0\x9F\x98\x80";
    const std::wstring wide{L'A', 0x00C4, 0xD83D, 0xDE00};
    EXPECT_EQ(ToWideString(narrow), wide);
    EXPECT_EQ(ToNarrowString(wide), narrow);
    EXPECT_THROW(ToNarrowString(std::wstring(1, wchar_t(0xD800))), Vok::utf_encoding_error);
    EXPECT_THROW(ToWideString("\xED\xA0\x80"), Vok::utf_encoding_error);
}

}  // namespace
