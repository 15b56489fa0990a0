#include "foundation/text_tokens.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "foundation/container_copy.h"

namespace {

using V = std::vector<std::string>;

V Elements(const CStringArray& a) { return ToStringVector(a); }

TEST(SplitToStringArray, KeepsOrMergesEmptyElements) {
    CStringArray out;
    EXPECT_EQ(SplitToStringArray(",a,,b,", out, ',', FALSE), 5);
    EXPECT_EQ(Elements(out), (V{"", "a", "", "b", ""}));
    EXPECT_EQ(SplitToStringArray(",a,,b,", out, ',', TRUE), 2);
    EXPECT_EQ(Elements(out), (V{"a", "b"}));
    EXPECT_EQ(SplitToStringArray(",", out, ',', FALSE), 2);
    EXPECT_EQ(Elements(out), (V{"", ""}));
    EXPECT_EQ(SplitToStringArray(",", out, ',', TRUE), 0);
    EXPECT_EQ(SplitToStringArray("192.168.0.1", out, '.', FALSE), 4);
    EXPECT_EQ(SplitToStringArray("line1\n\nline2\n", out, '\n', TRUE), 2);
    EXPECT_EQ(Elements(out), (V{"line1", "line2"}));
    EXPECT_EQ(SplitToStringArray("abc", out, ',', FALSE), 1);
    EXPECT_EQ(SplitToStringArray("", out, ',', FALSE), 0);
    EXPECT_EQ(SplitToStringArray(nullptr, out, ',', FALSE), 0);
    EXPECT_EQ(out.GetSize(), 0);
}

TEST(SplitToStringArrayAnyOf, TrimsAndKeepsEmptyOnRequest) {
    CStringArray out;
    EXPECT_EQ(SplitToStringArrayAnyOf(" a , b ", out, ",", FALSE, TRUE), 2);
    EXPECT_EQ(Elements(out), (V{"a ", "b"}));
    EXPECT_EQ(SplitToStringArrayAnyOf("a;,b", out, ",;", FALSE, FALSE), 2);
    EXPECT_EQ(SplitToStringArrayAnyOf("a;,b", out, ",;", TRUE, FALSE), 3);
    EXPECT_EQ(Elements(out), (V{"a", "", "b"}));
    EXPECT_EQ(SplitToStringArrayAnyOf("   ", out, ",", TRUE, TRUE), 0);
    EXPECT_EQ(SplitToStringArrayAnyOf("a,b", out, "", TRUE, FALSE), 1);
}

TEST(SplitToVector, KeepsEveryField) {
    EXPECT_EQ(SplitToVector("1.2.3", '.'), (V{"1", "2", "3"}));
    EXPECT_EQ(SplitToVector("a..", '.'), (V{"a", "", ""}));
    EXPECT_TRUE(SplitToVector("", '.').empty());
    EXPECT_EQ(SplitToVector("abc", '.'), (V{"abc"}));
    EXPECT_EQ(SplitToVectorAnyOf("a;b,c", ",;"), (V{"a", "b", "c"}));
    EXPECT_EQ(SplitToVectorAnyOf("a;b", ""), (V{"a;b"}));
}

TEST(TextFields, BetweenAndField) {
    EXPECT_EQ(GetTextBetween("x(abc)y", '(', ')'), "abc");
    EXPECT_EQ(GetTextBetween("x()y", '(', ')'), "");
    EXPECT_EQ(GetTextBetween(")x(abc", '(', ')'), "");
    EXPECT_EQ(GetTextBetween("abc)", '(', ')'), "");
    EXPECT_EQ(GetField("a,b,c", 0, ','), "a");
    EXPECT_EQ(GetField("a,b,c", 2, ','), "c");
    EXPECT_EQ(GetField("a,b,c", 3, ','), "");
    EXPECT_EQ(GetField(",b", 0, ','), "");
    EXPECT_EQ(CountChar(CString("a,b,,c"), ','), 3);
    EXPECT_EQ(CountChar(std::string("aaa"), 'a'), 3);
}

TEST(TextFields, DetectSeparator) {
    char sep = 'x';
    EXPECT_TRUE(DetectSeparator(sep, "1.5;2.5;3"));
    EXPECT_EQ(sep, ';');
    EXPECT_FALSE(DetectSeparator(sep, "123"));
    EXPECT_FALSE(DetectSeparator(sep, ""));
    EXPECT_EQ(sep, 0);
    EXPECT_TRUE(DetectSeparator(sep, "1,2;3"));  // a tie goes to the lower code
    EXPECT_EQ(sep, ',');
    EXPECT_FALSE(DetectSeparator(sep, "1\xe9" "2"));
}

TEST(TextFunctions, HexAndCompare) {
    EXPECT_EQ(HexTextToInt("1f"), 31);
    EXPECT_EQ(HexTextToInt(""), 0);
    EXPECT_EQ(UpperHexTextToInt("1F"), 31);
    EXPECT_EQ(UpperHexTextToInt("1f"), 16 + 47);  // 'f' - 55
    EXPECT_EQ(CompareNoCase(std::string("abc"), std::string("ABC")), 0);
    EXPECT_EQ(CompareNoCase(std::string("ab"), std::string("ABC")), -1);
    EXPECT_EQ(CompareNoCase(std::string("b"), std::string("A")), 1);
    EXPECT_EQ(CompareNoCase(CString("x"), CString("X")), 0);
    EXPECT_EQ(FindNoCase("Hello World", "WORLD"), 6);
    EXPECT_EQ(FindNoCase("Hello", "xyz"), -1);
}

TEST(TextFunctions, WidthWordsAndUniqueNames) {
    EXPECT_EQ(FitToWidth("abc", 5, FALSE, FALSE), "abc  ");
    EXPECT_EQ(FitToWidth("abc", 5, FALSE, TRUE), "  abc");
    EXPECT_EQ(FitToWidth("abcdef", 4, TRUE, FALSE), "abcd");
    EXPECT_EQ(FitToWidth("abcdef", 4, TRUE, TRUE), "cdef");
    EXPECT_EQ(FitToWidth("abcdef", 4, FALSE, TRUE), "abcdef");
    EXPECT_EQ(TruncateAtWord("hello world foo", 11), "hello world");
    EXPECT_EQ(TruncateAtWord("abcdefgh", 4), "abcd");
    EXPECT_EQ(TruncateAtWord("short", 11), "short");
    CStringArray names;
    names.Add("Line");
    names.Add("line1");
    EXPECT_EQ(MakeUniqueName(names, FALSE, "LINE"), "LINE2");
    EXPECT_EQ(MakeUniqueName(names, TRUE, "LINE"), "LINE");
    EXPECT_EQ(MakeUniqueName(names, TRUE, "line"), "line");
    EXPECT_EQ(MakeUniqueName(names, TRUE, "Line"), "Line1");
}

TEST(TextLists, RoundTrip) {
    CStringArray out;
    out.Add("stale");
    ToStringArray({"a", "", "c"}, out);
    EXPECT_EQ(Elements(out), (V{"a", "", "c"}));
}

TEST(ContainerCopy, PointerContainersCopyTheirBlocks) {
    int a = 1;
    int b = 2;
    CPtrList list;
    list.AddTail(&a);
    list.AddTail(&b);
    CPtrList listCopy;
    EXPECT_FALSE(CopyPtrList(listCopy, list, 0));
    ASSERT_TRUE(CopyPtrList(listCopy, list, sizeof(int)));
    ASSERT_EQ(listCopy.GetCount(), 2);
    EXPECT_NE(listCopy.GetHead(), &a);
    EXPECT_EQ(*static_cast<int*>(listCopy.GetTail()), 2);

    CPtrArray arr;
    arr.Add(&b);
    CPtrArray arrCopy;
    ASSERT_TRUE(CopyPtrArray(arrCopy, arr, sizeof(int)));
    EXPECT_EQ(*static_cast<int*>(arrCopy[0]), 2);

    CMapPtrToPtr map;
    map[&a] = &b;
    CMapPtrToPtr mapCopy;
    ASSERT_TRUE(CopyPtrMap(mapCopy, map, sizeof(int)));
    void* value = nullptr;
    ASSERT_TRUE(mapCopy.Lookup(&a, value));
    EXPECT_EQ(*static_cast<int*>(value), 2);

    for (POSITION pos = listCopy.GetHeadPosition(); pos != nullptr;) delete[] static_cast<BYTE*>(listCopy.GetNext(pos));
    delete[] static_cast<BYTE*>(arrCopy[0]);
    delete[] static_cast<BYTE*>(value);
}

TEST(ContainerCopy, ByteArrays) {
    const BYTE data[] = {1, 2, 3};
    CByteArray bytes;
    EXPECT_EQ(SetByteArray(bytes, nullptr, 3), 0);
    EXPECT_EQ(SetByteArray(bytes, data, 3), 3);
    EXPECT_EQ(AppendBytes(bytes, data, 2), 5);
    EXPECT_EQ(AppendBytes(bytes, nullptr, 2), 5);
    ReverseBytes(bytes);
    EXPECT_EQ(bytes[0], 2);
    EXPECT_EQ(bytes[4], 1);
    CByteArray copy;
    EXPECT_EQ(CopyByteArray(copy, bytes), 5);
    EXPECT_EQ(copy[0], 2);
    BYTE one = 7;
    ReverseBytes(&one, 1);
    ReverseBytes(nullptr, 4);
    EXPECT_EQ(one, 7);
    CDWordArray words;
    words.Add(9);
    CDWordArray wordsCopy;
    EXPECT_TRUE(CopyDWordArray(wordsCopy, words));
    EXPECT_EQ(wordsCopy[0], 9u);
}

}  // namespace
