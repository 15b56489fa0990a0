#include "foundation/text_tokens.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "foundation/container_copy.h"

namespace {

using V = std::vector<std::string>;

V Split(const char* text, char delimiter, BOOL merge) {
    CStringArray out;
    const int n = SplitToStringArray(text, out, delimiter, merge);
    EXPECT_EQ(n, out.GetSize());
    return ToStringVector(out);
}

TEST(SplitToStringArray, KeepsOrMergesEmptyElements) {
    EXPECT_EQ(Split(",a,,b,", ',', FALSE), (V{"", "a", "", "b", ""}));
    EXPECT_EQ(Split(",a,,b,", ',', TRUE), (V{"a", "b"}));
    EXPECT_EQ(Split(",", ',', FALSE), (V{"", ""}));
    EXPECT_EQ(Split(",", ',', TRUE), V{});
    EXPECT_EQ(Split("line1\n\nline2\n", '\n', TRUE), (V{"line1", "line2"}));
    EXPECT_EQ(Split("abc", ',', FALSE), (V{"abc"}));
    EXPECT_EQ(Split("", ',', FALSE), V{});
    EXPECT_EQ(Split(nullptr, ',', FALSE), V{});
}

TEST(SplitToStringArrayAnyOf, TrimsAndKeepsEmptyOnRequest) {
    CStringArray out;
    EXPECT_EQ(SplitToStringArrayAnyOf(" a , b ", out, ",", FALSE, TRUE), 2);
    EXPECT_EQ(ToStringVector(out), (V{"a ", "b"}));
    EXPECT_EQ(SplitToStringArrayAnyOf("a;,b", out, ",;", FALSE, FALSE), 2);
    EXPECT_EQ(SplitToStringArrayAnyOf("a;,b", out, ",;", TRUE, FALSE), 3);
    EXPECT_EQ(ToStringVector(out), (V{"a", "", "b"}));
    EXPECT_EQ(SplitToStringArrayAnyOf("   ", out, ",", TRUE, TRUE), 0);
}

TEST(SplitToVector, KeepsEveryField) {
    EXPECT_EQ(SplitToVector("1.2.3", '.'), (V{"1", "2", "3"}));
    EXPECT_EQ(SplitToVector("a..", '.'), (V{"a", "", ""}));
    EXPECT_TRUE(SplitToVector("", '.').empty());
    EXPECT_EQ(SplitToVectorAnyOf("a;b,c", ",;"), (V{"a", "b", "c"}));
    EXPECT_EQ(SplitToVectorAnyOf("a;b", ""), (V{"a;b"}));
}

TEST(TextFields, BetweenFieldAndSeparator) {
    EXPECT_EQ(GetTextBetween("x(abc)y", '(', ')'), "abc");
    EXPECT_EQ(GetTextBetween(")x(abc", '(', ')'), "");
    EXPECT_EQ(GetField("a,b,c", 2, ','), "c");
    EXPECT_EQ(GetField("a,b,c", 3, ','), "");
    EXPECT_EQ(CountChar(CString("a,b,,c"), ','), 3);
    char sep = 'x';
    EXPECT_TRUE(DetectSeparator(sep, "1.5;2.5;3"));
    EXPECT_EQ(sep, ';');
    EXPECT_TRUE(DetectSeparator(sep, "1,2;3"));  // a tie goes to the lower code
    EXPECT_EQ(sep, ',');
    EXPECT_FALSE(DetectSeparator(sep, "123"));
    EXPECT_FALSE(DetectSeparator(sep, ""));
    EXPECT_EQ(sep, 0);
}

TEST(TextFunctions, HexCompareWidthAndNames) {
    EXPECT_EQ(HexTextToInt("1f"), 31);
    EXPECT_EQ(UpperHexTextToInt("1f"), 16 + 47);  // 'f' - 55
    EXPECT_EQ(CompareNoCase(std::string("abc"), std::string("ABC")), 0);
    EXPECT_EQ(CompareNoCase(std::string("ab"), std::string("ABC")), -1);
    EXPECT_EQ(FindNoCase("Hello World", "WORLD"), 6);
    EXPECT_EQ(FitToWidth("abc", 5, FALSE, FALSE), "abc  ");
    EXPECT_EQ(FitToWidth("abc", 5, FALSE, TRUE), "  abc");
    EXPECT_EQ(FitToWidth("abcdef", 4, TRUE, TRUE), "cdef");
    EXPECT_EQ(FitToWidth("abcdef", 4, FALSE, TRUE), "abcdef");
    EXPECT_EQ(TruncateAtWord("hello world foo", 11), "hello world");
    EXPECT_EQ(TruncateAtWord("abcdefgh", 4), "abcd");
    CStringArray names;
    names.Add("Line");
    names.Add("line1");
    EXPECT_EQ(MakeUniqueName(names, FALSE, "LINE"), "LINE2");
    EXPECT_EQ(MakeUniqueName(names, TRUE, "Line"), "Line1");
}

TEST(ContainerCopy, CopiesBlocksAndBytes) {
    int a = 1;
    int b = 2;
    CPtrList list;
    list.AddTail(&a);
    list.AddTail(&b);
    CPtrList copy;
    EXPECT_FALSE(CopyPtrList(copy, list, 0));
    ASSERT_TRUE(CopyPtrList(copy, list, sizeof(int)));
    ASSERT_EQ(copy.GetCount(), 2);
    EXPECT_NE(copy.GetTail(), &b);
    EXPECT_EQ(*static_cast<int*>(copy.GetTail()), 2);
    for (POSITION pos = copy.GetHeadPosition(); pos != nullptr;) delete[] static_cast<BYTE*>(copy.GetNext(pos));

    const BYTE data[] = {1, 2, 3};
    CByteArray bytes;
    EXPECT_EQ(SetByteArray(bytes, nullptr, 3), 0);
    EXPECT_EQ(SetByteArray(bytes, data, 3), 3);
    EXPECT_EQ(AppendBytes(bytes, data, 2), 5);
    ReverseBytes(bytes);
    EXPECT_EQ(bytes[0], 2);
    EXPECT_EQ(bytes[4], 1);
}

// The names are copied without a terminator when they fill their fields.
ENUMLOGFONTEXA Font(const std::string& face, const std::string& full) {
    ENUMLOGFONTEXA font{};
    std::memcpy(font.elfLogFont.lfFaceName, face.data(), std::min(face.size(), sizeof font.elfLogFont.lfFaceName));
    std::memcpy(font.elfFullName, full.data(), std::min(full.size(), sizeof font.elfFullName));
    return font;
}

TEST(FontNames, TheCallbacksCollectTheFontsOfTheMask) {
    const std::string longFace(LF_FACESIZE, 'F');  // fills its field: no terminator
    const std::string longFull(LF_FULLFACESIZE, 'L');
    struct Row {
        ENUMLOGFONTEXA font;
        DWORD type;
        bool kept;  // with the mask TRUETYPE | DEVICE
    } rows[] = {
        {Font("Arial", "Arial Bold"), TRUETYPE_FONTTYPE, true},
        {Font("Courier", "Courier Regular"), TRUETYPE_FONTTYPE | DEVICE_FONTTYPE, true},
        {Font("Fixedsys", "Fixedsys"), RASTER_FONTTYPE, false},
        {Font("Mixed", "Mixed"), RASTER_FONTTYPE | TRUETYPE_FONTTYPE, false},
        {Font("Plain", "Plain Full"), 0, true},
        {Font(longFace, longFull), DEVICE_FONTTYPE, true},
    };
    FontNameCollector faces;
    FontNameCollector fulls;
    faces.fontTypes = fulls.fontTypes = TRUETYPE_FONTTYPE | DEVICE_FONTTYPE;
    for (const Row& row : rows) {
        EXPECT_EQ(CollectFontFaceName(&row.font, nullptr, row.type, &faces), TRUE);
        EXPECT_EQ(CollectFontFullName(&row.font, nullptr, row.type, &fulls), TRUE);
    }
    EXPECT_EQ(ToStringVector(faces), (std::vector<std::string>{"Arial", "Courier", "Plain", longFace}));
    EXPECT_EQ(ToStringVector(fulls),
              (std::vector<std::string>{"Arial Bold", "Courier Regular", "Plain Full", longFull}));
    EXPECT_EQ(CollectFontFaceName(nullptr, nullptr, 0, &faces), TRUE);
    EXPECT_EQ(CollectFontFullName(&rows[0].font, nullptr, 0, nullptr), TRUE);
    EXPECT_EQ(faces.GetSize(), 4);
}

}  // namespace
