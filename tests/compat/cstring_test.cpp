#include "compat/cstring.h"

#include <gtest/gtest.h>

#include "compat/object.h"

namespace {

TEST(CString, CutsClampLikeTheClassLibrary) {
    const CString s("ABCDEF");
    EXPECT_EQ(s.Left(2), "AB");
    EXPECT_EQ(s.Left(99), "ABCDEF");
    EXPECT_EQ(s.Left(-1), "");
    EXPECT_EQ(s.Right(2), "EF");
    EXPECT_EQ(s.Right(99), "ABCDEF");
    EXPECT_EQ(s.Mid(2, 2), "CD");
    EXPECT_EQ(s.Mid(4, 99), "EF");
    EXPECT_EQ(s.Mid(6), "");
    EXPECT_EQ(s.Mid(-3, 2), "AB");
    // A negative length is no length.
    EXPECT_NO_THROW(EXPECT_EQ(CString("AB", -1), ""));
}

TEST(CString, SearchesReportPositionOrMinusOne) {
    const CString s("a,b,,c");
    EXPECT_EQ(s.Find(','), 1);
    EXPECT_EQ(s.Find(',', 2), 3);
    EXPECT_EQ(s.Find(',', 99), -1);
    EXPECT_EQ(s.Find(",,"), 3);
    EXPECT_EQ(s.Find("x"), -1);
    EXPECT_EQ(s.Find(static_cast<const char*>(nullptr)), -1);
    EXPECT_EQ(s.ReverseFind(','), 4);
    EXPECT_EQ(s.FindOneOf("cb"), 2);
    EXPECT_EQ(s.FindOneOf(""), -1);
}

TEST(CString, TokenizeSkipsRunsOfDelimiters) {
    const CString s(",a,,bc,");
    int pos = 0;
    EXPECT_EQ(s.Tokenize(",", pos), "a");
    EXPECT_EQ(s.Tokenize(",", pos), "bc");
    EXPECT_EQ(s.Tokenize(",", pos), "");
    EXPECT_EQ(pos, -1);
    EXPECT_EQ(s.Tokenize(",", pos), "");
    EXPECT_EQ(pos, -1);
    // Nothing but delimiters after the last token ends the walk at once.
    const CString t("a,,");
    pos = 0;
    EXPECT_EQ(t.Tokenize(",", pos), "a");
    EXPECT_EQ(t.Tokenize(",", pos), "");
    EXPECT_EQ(pos, -1);
    // Without delimiters the rest is one token; at the end the walk is over.
    pos = 1;
    EXPECT_EQ(t.Tokenize("", pos), ",,");
    pos = 3;
    EXPECT_EQ(t.Tokenize("", pos), "");
    EXPECT_EQ(pos, -1);
}

TEST(CString, EditsInPlace) {
    CString s("  Hello World \t");
    s.Trim();
    EXPECT_EQ(s, "Hello World");
    EXPECT_EQ(s.Replace("o", "00"), 2);
    EXPECT_EQ(s, "Hell00 W00rld");
    EXPECT_EQ(s.Replace("", "x"), 0);
    EXPECT_EQ(s.Remove('0'), 4);
    EXPECT_EQ(s.Insert(4, '-'), 10);
    EXPECT_EQ(s, "Hell- Wrld");
    EXPECT_EQ(s.Delete(4, 100), 4);
    EXPECT_EQ(s, "Hell");
    s.MakeUpper();
    EXPECT_EQ(s, "HELL");
    EXPECT_EQ(s.Replace('L', 'l'), 2);
    EXPECT_EQ(s, "HEll");
    // Text goes in at a clamped place: before the start, after the end.
    EXPECT_NO_THROW(s.Insert(-1, "<"));
    EXPECT_NO_THROW(s.Insert(99, ">>"));
    EXPECT_EQ(s, "<HEll>>");
    CString t("xxabcxx");
    t.Trim('x');
    EXPECT_EQ(t, "abc");
    t = ";,ab;c,;";
    t.Trim(";,");
    EXPECT_EQ(t, "ab;c");
    t.Trim(static_cast<const char*>(nullptr));  // no set trims nothing
    EXPECT_EQ(t, "ab;c");
    t = 'z';
    EXPECT_EQ(t, "z");
    t += "y";
    EXPECT_EQ(t, "zy");
    EXPECT_EQ(t + "!", "zy!");
    EXPECT_EQ("<" + t, "<zy");
    // Vertical tab and form feed are white space too.
    CString w("\v\fx\f\v");
    w.Trim();
    EXPECT_EQ(w, "x");
}

TEST(CString, CaseInsensitiveComparisonIsAsciiOnly) {
    CString s("\xC4" "bc");  // A with diaeresis in Windows-1252
    EXPECT_EQ(s.CompareNoCase("\xC4" "BC"), 0);
    EXPECT_NE(s.CompareNoCase("\xE4" "bc"), 0);
    s.MakeLower();
    EXPECT_EQ(s, "\xC4" "bc");
    EXPECT_LT(CString("a").Compare("b"), 0);
    EXPECT_TRUE(CString("a") != CString("b"));
    EXPECT_FALSE(CString("a") != CString("a"));
    EXPECT_TRUE("a" == CString("a"));
    EXPECT_FALSE("a" == CString("b"));
    EXPECT_TRUE(CString("a") <= CString("a"));
    EXPECT_FALSE(CString("b") <= CString("a"));

    // Order, not only equality; the shorter text is the smaller.
    EXPECT_LT(CString("a").CompareNoCase("B"), 0);
    EXPECT_GT(CString("B").CompareNoCase("a"), 0);
    EXPECT_LT(CString("ab").CompareNoCase("ABC"), 0);
    EXPECT_GT(CString("ABC").CompareNoCase("ab"), 0);
    // The class library lowers before comparing: '[' lies below 'a', though above 'A'.
    EXPECT_LT(CString("[").CompareNoCase("A"), 0);
    // Lowering ends exactly at 'A' and 'Z': '@' and '[' are no letters.
    EXPECT_EQ(CString("Az").CompareNoCase("aZ"), 0);
    EXPECT_NE(CString("@").CompareNoCase("`"), 0);
    EXPECT_NE(CString("[").CompareNoCase("{"), 0);
    CString edges("@AZ[`az{");
    edges.MakeLower();
    EXPECT_EQ(edges, "@az[`az{");
    edges.MakeUpper();
    EXPECT_EQ(edges, "@AZ[`AZ{");
}

TEST(CString, FormatAcceptsStringsOfEveryKind) {
    CString s;
    s.Format("%s/%s/%d/%.1f", CString("a"), std::string("b"), 3, 2.25f);
    EXPECT_EQ(s, "a/b/3/2.2");
    s.AppendFormat("+%02d", 5);
    EXPECT_EQ(s, "a/b/3/2.2+05");
    s.Format("");
    EXPECT_TRUE(s.IsEmpty());
}

TEST(CString, BufferReleaseSetsTheLength) {
    CString s;
    char* p = s.GetBuffer(10);
    std::snprintf(p, 11, "abc");
    s.ReleaseBuffer();
    EXPECT_EQ(s.GetLength(), 3);
    p = s.GetBuffer(5);
    p[0] = 'x';
    p[1] = '\0';
    p[2] = 'y';
    s.ReleaseBuffer(3);
    EXPECT_EQ(s.GetLength(), 3);
    EXPECT_EQ(s.Str(), std::string("x\0y", 3));
}

TEST(CString, IndexOutsideTheTextThrows) {
    CString s("ab");
    EXPECT_EQ(s.GetAt(0), 'a');
    EXPECT_EQ(s.GetAt(1), 'b');
    EXPECT_THROW(s.GetAt(2), CInvalidArgException);
    EXPECT_THROW(s.SetAt(-1, 'x'), CInvalidArgException);
    EXPECT_THROW(s.SetAt(2, 'x'), CInvalidArgException);
    s.SetAt(0, 'x');
    EXPECT_EQ(s, "xb");
    EXPECT_THROW(s.Truncate(3), CInvalidArgException);
    EXPECT_EQ(s, "xb");
}

TEST(CString, WideTextGoesToTheAnsiCodePage) {
    const wchar_t euro_e[] = {0x20AC, 0xE9, 0x4E2D, 0xD83D, 0xDE00, 0};
    EXPECT_EQ(CString(euro_e), "\x80\xE9??");
}

}  // namespace
