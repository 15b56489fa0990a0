#include "compat/collections.h"

#include <gtest/gtest.h>

namespace {

TEST(CArray, GrowsInsertsAndRemoves) {
    CDWordArray a;
    EXPECT_EQ(a.Add(5), 0);
    a.InsertAt(0, 1, 2);
    a.SetAtGrow(5, 9);
    ASSERT_EQ(a.GetSize(), 6);
    EXPECT_EQ(a[0], 1u);
    EXPECT_EQ(a[2], 5u);
    EXPECT_EQ(a[4], 0u);
    a.RemoveAt(1, 2);
    EXPECT_EQ(a.GetSize(), 4);
    EXPECT_EQ(a.GetUpperBound(), 3);
}

TEST(CArray, IndexOutsideThrowsInvalidArgument) {
    CByteArray a;
    a.SetSize(2);
    EXPECT_THROW(a.GetAt(2), CInvalidArgException);
    EXPECT_THROW(a[-1], CInvalidArgException);
    EXPECT_THROW(a.RemoveAt(1, 2), CInvalidArgException);
    EXPECT_EQ(CByteArray().GetData(), nullptr);
}

TEST(CStringArray, HoldsCopies) {
    CStringArray a;
    a.Add("x");
    CString s("y");
    a.Add(s);
    s = "z";
    EXPECT_EQ(a[1], "y");
    CStringArray b;
    b.Copy(a);
    b.Append(a);
    EXPECT_EQ(b.GetSize(), 4);
}

TEST(CList, WalksBothWaysAndEditsByPosition) {
    CList<int, int> l;
    l.AddTail(2);
    l.AddHead(1);
    POSITION p3 = l.AddTail(3);
    l.InsertBefore(p3, 25);
    std::vector<int> seen;
    for (POSITION p = l.GetHeadPosition(); p != nullptr;) seen.push_back(l.GetNext(p));
    EXPECT_EQ(seen, (std::vector<int>{1, 2, 25, 3}));
    seen.clear();
    for (POSITION p = l.GetTailPosition(); p != nullptr;) seen.push_back(l.GetPrev(p));
    EXPECT_EQ(seen, (std::vector<int>{3, 25, 2, 1}));
    l.RemoveAt(l.Find(25));
    EXPECT_EQ(l.GetAt(l.FindIndex(2)), 3);
    EXPECT_EQ(l.FindIndex(3), nullptr);
    EXPECT_EQ(l.RemoveHead(), 1);
    EXPECT_EQ(l.RemoveTail(), 3);
    EXPECT_EQ(l.GetCount(), 1);
    l.RemoveAll();
    EXPECT_TRUE(l.IsEmpty());
    EXPECT_THROW(l.GetHead(), CInvalidArgException);
}

TEST(CMapPtrToPtr, LooksUpReplacesAndIterates) {
    CMapPtrToPtr m;
    int a = 0, b = 0;
    m.SetAt(&a, &b);
    m[&b] = &a;
    m.SetAt(&a, &a);
    EXPECT_EQ(m.GetCount(), 2);
    void* v = nullptr;
    ASSERT_TRUE(m.Lookup(&a, v));
    EXPECT_EQ(v, &a);
    int n = 0;
    for (POSITION p = m.GetStartPosition(); p != nullptr; ++n) {
        void* k;
        m.GetNextAssoc(p, k, v);
    }
    EXPECT_EQ(n, 2);
    EXPECT_TRUE(m.RemoveKey(&a));
    EXPECT_FALSE(m.RemoveKey(&a));
    EXPECT_FALSE(m.Lookup(&a, v));
}

}  // namespace
