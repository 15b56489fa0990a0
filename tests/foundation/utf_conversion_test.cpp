#include "foundation/utf_conversion.h"

#include <gtest/gtest.h>

#include <cstdint>

namespace {

using Vok::unicode_plane_error;
using Vok::utf_encoding_error;

// Windows-1252 bytes 0x80 to 0x9F with their code points and UTF-8 bytes, from Python's cp1252
// codec. Python refuses 0x81, 0x8D, 0x8F, 0x90 and 0x9D; those map to their own code point.
struct sCp1252Row {
    unsigned char byte;
    uint32_t unit;
    const char* utf8;
};
constexpr sCp1252Row kCp1252[] = {
    {0x80, 0x20AC, "\xE2\x82\xAC"}, {0x82, 0x201A, "\xE2\x80\x9A"}, {0x83, 0x0192, "\xC6\x92"},
    {0x84, 0x201E, "\xE2\x80\x9E"}, {0x85, 0x2026, "\xE2\x80\xA6"}, {0x86, 0x2020, "\xE2\x80\xA0"},
    {0x87, 0x2021, "\xE2\x80\xA1"}, {0x88, 0x02C6, "\xCB\x86"},     {0x89, 0x2030, "\xE2\x80\xB0"},
    {0x8A, 0x0160, "\xC5\xA0"},     {0x8B, 0x2039, "\xE2\x80\xB9"}, {0x8C, 0x0152, "\xC5\x92"},
    {0x8E, 0x017D, "\xC5\xBD"},     {0x91, 0x2018, "\xE2\x80\x98"}, {0x92, 0x2019, "\xE2\x80\x99"},
    {0x93, 0x201C, "\xE2\x80\x9C"}, {0x94, 0x201D, "\xE2\x80\x9D"}, {0x95, 0x2022, "\xE2\x80\xA2"},
    {0x96, 0x2013, "\xE2\x80\x93"}, {0x97, 0x2014, "\xE2\x80\x94"}, {0x98, 0x02DC, "\xCB\x9C"},
    {0x99, 0x2122, "\xE2\x84\xA2"}, {0x9A, 0x0161, "\xC5\xA1"},     {0x9B, 0x203A, "\xE2\x80\xBA"},
    {0x9C, 0x0153, "\xC5\x93"},     {0x9E, 0x017E, "\xC5\xBE"},     {0x9F, 0x0178, "\xC5\xB8"},
};
constexpr unsigned char kCp1252Undefined[] = {0x81, 0x8D, 0x8F, 0x90, 0x9D};

std::string Bytes(std::initializer_list<unsigned char> bytes) { return std::string(bytes.begin(), bytes.end()); }

TEST(Windows1252, MatchesIndependentTableBothWays) {
    for (const auto& row : kCp1252) {
        SCOPED_TRACE(static_cast<int>(row.byte));
        const std::string byte(1, static_cast<char>(row.byte));
        EXPECT_EQ(Cp1252ToUtf16(byte), std::wstring(1, static_cast<wchar_t>(row.unit)));
        EXPECT_EQ(Cp1252ToUtf8(byte), row.utf8);
        EXPECT_EQ(AnsiToUtf8(byte), row.utf8);
        EXPECT_EQ(Utf8ToCp1252(row.utf8), byte);
        EXPECT_EQ(Utf8ToAnsi(row.utf8).Str(), byte);
    }
    for (const unsigned char b : kCp1252Undefined) {
        const std::string byte(1, static_cast<char>(b));
        EXPECT_EQ(Cp1252ToUtf16(byte), std::wstring(1, static_cast<wchar_t>(b)));
        EXPECT_EQ(Utf8ToCp1252(Cp1252ToUtf8(byte)), byte);
    }
    for (int b = 0; b < 256; ++b) {
        if (b >= 0x80 && b <= 0x9F) continue;
        EXPECT_EQ(AnsiToUtf16(std::string(1, static_cast<char>(b))), std::wstring(1, static_cast<wchar_t>(b)));
    }
}

TEST(Windows1252, DropsWhatItCannotHold) {
    EXPECT_EQ(Utf8ToCp1252("a\xC2\x80" "b\xE4\xB8\xAD" "c\xF0\x9F\x98\x80"), "abc");
    EXPECT_THROW(Utf8ToCp1252("\xC0\x80"), utf_encoding_error);
    EXPECT_THROW(Utf8ToCp1252("\xF4\x90\x80\x80"), unicode_plane_error);
}

TEST(Utf8ToUtf16, DecodesAndDropsNul) {
    EXPECT_EQ(Utf8ToUtf16(Bytes({0x41, 0x00, 0x42})), L"AB");
    EXPECT_EQ(Utf8ToUtf16("\xEF\xBB\xBF" "A"), std::wstring({0xFEFF, L'A'}));
    EXPECT_EQ(Utf8ToUtf16("\xC3\xA9\xE2\x82\xAC"), std::wstring({0xE9, 0x20AC}));
    EXPECT_EQ(Utf8ToWide("\xF0\x90\x80\x80"), std::wstring({0xD800, 0xDC00}));
    EXPECT_EQ(Utf8ToUtf16("\xF0\x9F\x98\x80"), std::wstring({0xD83D, 0xDE00}));
    EXPECT_EQ(Utf8ToUtf16("\xF4\x8F\xBF\xBF"), std::wstring({0xDBFF, 0xDFFF}));
    EXPECT_EQ(Utf8ToUtf16(""), L"");
}

TEST(Utf8ToUtf16, MalformedInputIsEncodingErrorAndInvalid) {
    const std::string malformed[] = {
        "\xC0\x80", "\xC1\xBF", "\x80", "\xBF", "\xC3", "\xC3\x41", "\xE2\x82", "\xED\xA0\x80", "\xED\xBF\xBF",
        // Over-long three- and four-byte forms.
        "\xE0\x80\x81", "\xE0\x80\x80", "\xE0\x80\xAF", "\xE0\x9F\xBF", "\xF0\x80\x80\x80", "\xF0\x8F\xBF\xBF",
        // FE and FF leads, complete or cut short.
        "\xFE\x80\x80\x80\x80\x80", "\xFF\x80\x80\x80\x80\x80", "\xFE",
        // A five-byte lead whose fifth byte is missing.
        "\xF8\x88\x80\x80",
    };
    for (const auto& text : malformed) {
        SCOPED_TRACE(testing::PrintToString(text));
        EXPECT_THROW(Utf8ToUtf16(text), utf_encoding_error);
        EXPECT_THROW(Utf8ToLatin1(text), utf_encoding_error);
        EXPECT_THROW(Utf8ToAnsi(text), utf_encoding_error);
        EXPECT_FALSE(IsValidUtf8(text));
    }
    EXPECT_EQ(Utf8ToUtf16("\xE0\xA0\x80"), std::wstring(1, 0x800));  // least three-byte value
}

TEST(Utf8ToUtf16, BeyondUnicodeIsPlaneError) {
    for (const std::string text : {"\xF4\x90\x80\x80", "\xF7\xBF\xBF\xBF", "\xF8\x88\x80\x80\x80",
                                   "\xFC\x84\x80\x80\x80\x80", "\xFD\xBF\xBF\xBF\xBF\xBF"}) {
        SCOPED_TRACE(testing::PrintToString(text));
        EXPECT_THROW(Utf8ToWide(text), unicode_plane_error);
        EXPECT_FALSE(IsValidUtf8(text));
    }
    EXPECT_TRUE(IsValidUtf8("plain ASCII"));
    EXPECT_TRUE(IsValidUtf8(""));
}

TEST(LenientConversions, ReplaceEachMaximalIllFormedPart) {
    const struct {
        std::string utf8;
        std::wstring utf16;
    } rows[] = {
        // The Unicode Standard's example of maximal subparts.
        {"\x61\xF1\x80\x80\xE1\x80\xC2\x62\x80\x63\x80\xBF\x64",
         {0x61, 0xFFFD, 0xFFFD, 0xFFFD, 0x62, 0xFFFD, 0x63, 0xFFFD, 0xFFFD, 0x64}},
        {"", {}},
        {"\xC3\xA9", {0xE9}},
        {"\xF0\x9F\x98\x80", {0xD83D, 0xDE00}},
        {"\xE0\x80\xAF", {0xFFFD, 0xFFFD, 0xFFFD}},
        {"\xED\xA0\x80", {0xFFFD, 0xFFFD, 0xFFFD}},
        {"\xF4\x90\x80\x80", {0xFFFD, 0xFFFD, 0xFFFD, 0xFFFD}},
        {"\xC0\xAF", {0xFFFD, 0xFFFD}},
        {"\xF0\x9F\x98", {0xFFFD}},
        {std::string("a\0b", 3), {L'a', 0, L'b'}},
    };
    for (const auto& row : rows) EXPECT_EQ(Utf8ToUtf16Lenient(row.utf8), row.utf16) << row.utf8;

    const struct {
        std::wstring utf16;
        std::string utf8;
    } back[] = {
        {{0xD800}, "\xEF\xBF\xBD"},
        {{0xDC00, 0x41}, "\xEF\xBF\xBD" "A"},
        {{0xD83D, 0xDE00}, "\xF0\x9F\x98\x80"},
        {{0xD83D, 0xD83D, 0xDE00}, "\xEF\xBF\xBD\xF0\x9F\x98\x80"},
        {{static_cast<wchar_t>(0x110000)}, "\xEF\xBF\xBD"},
        {{0xE9, 0}, std::string("\xC3\xA9\0", 3)},
    };
    for (const auto& row : back) EXPECT_EQ(Utf16ToUtf8Lenient(row.utf16), row.utf8);
}

TEST(Utf16ToUtf8, EncodesPairsAndRefusesLoneSurrogates) {
    EXPECT_EQ(Utf16ToUtf8(std::wstring({0xD83D, 0xDE00})), "\xF0\x9F\x98\x80");
    EXPECT_EQ(WideToUtf8(std::wstring({0xD800, 0xDC00})), "\xF0\x90\x80\x80");
    EXPECT_EQ(Utf16ToUtf8(std::wstring({0xDBFF, 0xDFFF})), "\xF4\x8F\xBF\xBF");
    EXPECT_EQ(Utf16ToUtf8(std::wstring(1, L'\0')), std::string(1, '\0'));
    EXPECT_EQ(Utf16ToUtf8(std::wstring(1, 0xFFFF)), "\xEF\xBF\xBF");
    for (const std::wstring& text : {std::wstring({0xD83D}), std::wstring({0xD83D, 0x41}), std::wstring({0xDC00}),
                                    std::wstring({0xDFFF}), std::wstring({0x41, 0xDE00, 0xD83D}),
                                    std::wstring({0x10000})}) {
        EXPECT_THROW(Utf16ToUtf8(text), utf_encoding_error);
        EXPECT_THROW(Utf16ToUtf32(text), utf_encoding_error);
    }
}

TEST(Utf16ToUtf8, EveryBmpCharacterRoundTrips) {
    for (uint32_t c = 1; c <= 0xFFFF; ++c) {
        if (c >= 0xD800 && c <= 0xDFFF) continue;
        const std::wstring one(1, static_cast<wchar_t>(c));
        const std::string utf8 = Utf16ToUtf8(one);
        ASSERT_EQ(utf8.size(), c < 0x80 ? 1u : c < 0x800 ? 2u : 3u) << c;
        ASSERT_EQ(Utf8ToUtf16(utf8), one) << c;
    }
}

TEST(Utf32, ConvertsToAndFromUtf16AndUtf8) {
    EXPECT_EQ(Utf16ToUtf32(std::wstring({0x41, 0xD83D, 0xDE00, 0})), std::u32string({0x41, 0x1F600, 0}));
    EXPECT_EQ(Utf16ToUtf32(std::u16string({0xDBFF, 0xDFFF})), std::u32string({0x10FFFF}));
    EXPECT_THROW(Utf16ToUtf32(std::u16string({0xDC00})), utf_encoding_error);
    EXPECT_EQ(Utf32ToUtf16({0x1F600, 0, 0x10000}), std::wstring({0xD83D, 0xDE00, 0, 0xD800, 0xDC00}));
    EXPECT_THROW(Utf32ToUtf16({0xD800}), unicode_plane_error);
    EXPECT_THROW(Utf32ToUtf16({0x110000}), unicode_plane_error);
    EXPECT_EQ(Utf32ToUtf8({0x10FFFF}), "\xF4\x8F\xBF\xBF");
    EXPECT_THROW(Utf32ToUtf8({0xD800}), unicode_plane_error);
    EXPECT_THROW(Utf32ToUtf8({0x41, 0xDFFF}), unicode_plane_error);
    EXPECT_THROW(Utf32ToUtf8({0x110000}), unicode_plane_error);
}

TEST(Utf32, Utf8DecoderTakesWideValuesButNoOverlongForms) {
    EXPECT_EQ(Utf8ToUtf32("\xF8\x88\x80\x80\x80"), std::u32string({0x200000}));
    EXPECT_EQ(Utf8ToUtf32("\xED\xA0\x80" "\xF4\x90\x80\x80"), std::u32string({0xD800, 0x110000}));
    EXPECT_EQ(Utf8ToUtf32("\xFD\xBF\xBF\xBF\xBF\xBF"), std::u32string({0x7FFFFFFF}));
    EXPECT_EQ(Utf8ToUtf32(Bytes({0x41, 0x00, 0x42})), U"AB");
    for (const std::string text : {"\xE0\x80\x81", "\xF0\x8F\xBF\xBF", "\xF8\x87\xBF\xBF\xBF",
                                   "\xFC\x83\xBF\xBF\xBF\xBF", "\xC0\x80", "\xFE\x80\x80\x80\x80\x80", "\xF8\x88"}) {
        SCOPED_TRACE(testing::PrintToString(text));
        EXPECT_THROW(Utf8ToUtf32(text), utf_encoding_error);
    }
}

TEST(Latin1, ConvertsBytesAndRefusesWiderCharacters) {
    EXPECT_EQ(Latin1ToUtf8("\xE9\xA0" "a\xFF"), "\xC3\xA9\xC2\xA0" "a\xC3\xBF");
    EXPECT_EQ(Utf8ToLatin1("\xC3\xA9\xC2\x80" "a"), "\xE9\x80" "a");
    EXPECT_THROW(Utf8ToLatin1("\xE2\x82\xAC"), utf_encoding_error);
}

TEST(AnsiAndCString, ConvertsThroughWindows1252) {
    EXPECT_EQ(AnsiToUtf16(""), L"");
    EXPECT_EQ(AnsiToUtf8(std::string()), "");
    EXPECT_EQ(AnsiToUtf8(CString("caf\xE9 \x80")), "caf\xC3\xA9 \xE2\x82\xAC");
    EXPECT_EQ(Utf8ToAnsi("\xE4\xB8\xAD\xF0\x9F\x98\x80" "a").Str(), "??a");
    EXPECT_TRUE(Utf8ToAnsi("").IsEmpty());
    EXPECT_THROW(Utf8ToAnsi("\xF4\x90\x80\x80"), unicode_plane_error);

    const CString withNul("ab\0cd", 5);
    EXPECT_EQ(CStringToStd(withNul), std::string("ab\0cd", 5));
    EXPECT_EQ(StdToCString(std::string("ab\0cd", 5)).Str(), "ab");
    EXPECT_EQ(AnsiToUtf8(withNul), std::string("ab\0cd", 5));
}

TEST(AnsiAndCString, CodePageConversionsStopAtNul) {
    const CString ansi("\x80\xE9\0x", 4);
    for (const UINT codePage : {0u, 1252u}) {
        EXPECT_EQ(CStringToWide(ansi, codePage), std::wstring({0x20AC, 0xE9}));
        EXPECT_EQ(WideToCString(std::wstring({0x20AC, 0xE9, 0, 0x41}), codePage).Str(), "\x80\xE9");
        EXPECT_EQ(WideToCString(L"\x4E2D", codePage).Str(), "?");
    }
    EXPECT_EQ(CStringToWide(CString("\xE2\x82\xAC"), 65001), std::wstring(1, 0x20AC));
    EXPECT_EQ(WideToCString(std::wstring({0xD83D, 0xDE00}), 65001).Str(), "\xF0\x9F\x98\x80");
    // Malformed text is substituted, as the platform's conversion does, never thrown.
    EXPECT_EQ(CStringToWide(CString("\xE9"), 65001), std::wstring(1, 0xFFFD));
    EXPECT_EQ(CStringToWide(CString("a\xE2\x82" "b"), 65001), std::wstring({L'a', 0xFFFD, L'b'}));
    EXPECT_EQ(WideToCString(std::wstring({0xD800, 0x41}), 65001).Str(), "\xEF\xBF\xBD" "A");
    EXPECT_TRUE(CStringToWide(CString(), 0).empty());
    EXPECT_TRUE(WideToCString(L"", 0).IsEmpty());
}

TEST(UtfErrors, CarryTheirTexts) {
    EXPECT_STREQ(utf_encoding_error().what(), "invalid UTF encoding");
    EXPECT_STREQ(unicode_plane_error().what(), "character value is outside the Unicode plane");
    EXPECT_THROW(Utf8ToUtf16("\x80"), std::runtime_error);
}

}  // namespace
