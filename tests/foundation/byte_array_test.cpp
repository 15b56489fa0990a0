#include "foundation/byte_array.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

namespace {

using V = std::vector<std::string>;

CByteArrayEx Bytes(const std::string& s) { return CByteArrayEx(s.data(), static_cast<int>(s.size())); }

std::string Text(const CByteArray& a) {
    return a.GetSize() == 0 ? std::string() : std::string(reinterpret_cast<const char*>(a.GetData()), a.GetSize());
}

V Pieces(const CByteArrayExArray& arr) {
    V out;
    for (const CByteArrayEx& piece : arr) out.push_back(Text(piece));
    return out;
}

TEST(ByteArraySplit, PiecesBetweenDelimitersWithoutEmptyOnes) {
    const struct {
        std::string src;
        int count;
        V pieces;
    } rows[] = {
        {"$A*1\r\n$B*2\r\n", 2, {"$A*1\r", "$B*2\r"}},
        {"\n\n$A\n\n\n$B", 2, {"$A", "$B"}},
        {"abc", 1, {"abc"}},  // no delimiter: the whole source
        {"\n", 0, {}},
        {"\n\n\n", 0, {}},
        {std::string("a\0b\nc", 5), 2, {std::string("a\0b", 3), "c"}},
    };
    CByteArrayExArray arr;
    for (const auto& row : rows) {
        EXPECT_EQ(arr.Split(Bytes(row.src), '\n'), row.count) << row.src;
        EXPECT_EQ(Pieces(arr), row.pieces) << row.src;
    }
    // An empty source fails and still empties the array.
    EXPECT_EQ(arr.Split(CByteArrayEx(), '\n'), -1);
    EXPECT_EQ(arr.GetSize(), 0);
    EXPECT_EQ(arr.SplitAny(Bytes("a\r\nb;c\n"), Bytes("\r\n;")), 3);
    EXPECT_EQ(Pieces(arr), (V{"a", "b", "c"}));
    EXPECT_EQ(arr.SplitAny(Bytes("a"), CByteArrayEx()), -1);
}

TEST(ByteArraySplit, SequencePiecesHoldNoPartOfTheSeparator) {
    CByteArrayExArray arr;
    EXPECT_EQ(arr.SplitSequence(Bytes("one\r\ntwo\r\n\r\nthree"), Bytes("\r\n")), 3);
    EXPECT_EQ(Pieces(arr), (V{"one", "two", "three"}));
    EXPECT_EQ(arr.SplitSequence(Bytes(",a,,b,"), Bytes(",")), 2);
    EXPECT_EQ(Pieces(arr), (V{"a", "b"}));
    // A separator less than minSpan behind the piece's start does not end it; the source's
    // end always does, so the short tail is kept.
    EXPECT_EQ(arr.SplitSequence(Bytes("ab--cdef--gh"), Bytes("--"), 3), 2);
    EXPECT_EQ(Pieces(arr), (V{"ab--cdef", "gh"}));
    // The source's last bytes and the closing separator together do not make a separator.
    EXPECT_EQ(arr.SplitSequence(Bytes("x--ab-"), Bytes("--")), 2);
    EXPECT_EQ(Pieces(arr), (V{"x", "ab-"}));
    EXPECT_EQ(arr.SplitSequence(Bytes("a"), Bytes("aa")), 1);
    EXPECT_EQ(Pieces(arr), (V{"a"}));
    EXPECT_EQ(arr.SplitSequence(Bytes("ab"), CByteArrayEx()), -1);
}

TEST(ByteArrayEx, CompareAndSearch) {
    EXPECT_TRUE(CByteArrayEx() == CByteArrayEx());
    EXPECT_TRUE(Bytes("ab") != Bytes("abc"));
    EXPECT_TRUE(Bytes("ab") != Bytes("ac"));
    EXPECT_EQ(Bytes("ab").Append("cd", 2), 4);
    const CByteArrayEx a = Bytes("abcabc");
    EXPECT_EQ(a.Find('b', 2, false), 4);
    EXPECT_EQ(a.Find('b', 0, true), 4);
    EXPECT_EQ(a.Find('a', 6, false), -1);
    EXPECT_EQ(a.Find('a', 6, true), -1);
    EXPECT_EQ(a.FindOneOf(Bytes("xc"), 3), 5);
    const CByteArrayEx abcd = Bytes("ABCD");
    EXPECT_EQ(abcd.Find(Bytes("BC"), 0, -1, false), 2);  // the match's last byte
    EXPECT_EQ(abcd.Find(Bytes("BC"), 0, 3, false), -1);
    EXPECT_EQ(abcd.Find(Bytes("BC"), 0, -1, true), 1);  // the match's first byte
    EXPECT_EQ(abcd.Find(Bytes("ABCDE"), 0, -1, false), -1);
    EXPECT_EQ(Bytes("xyxy").Find(Bytes("xy"), 0, -1, true), 2);
}

TEST(ByteArrayEx, HexText) {
    CByteArrayEx a;
    a.FromHex("0aFF1");
    EXPECT_EQ(Text(a), "\x0a\xff");
    a.FromHex("zz");
    EXPECT_EQ(Text(a), std::string(1, '\0'));
    const BYTE raw[] = {1, 2, 255};
    CString out;
    CByteArrayEx(raw, 3).ToHex(out, 0, false);
    EXPECT_EQ(out, "0102FF");
    CByteArrayEx(raw, 3).ToHex(out, 2, false);
    EXPECT_EQ(out, "01 02 \nFF \n");
    CByteArrayEx(raw, 3).ToHex(out, 2, true);
    EXPECT_EQ(out, "0 0: 01 02 \n2 2: FF \n");
    CByteArrayEx big;
    big.SetSize(300);
    big.ToHex(out, 16, true);
    EXPECT_NE(out.Find("\n 16 010: "), -1);
}

TEST(ByteArrayFifo, QueueOrderAndEmptyRemoval) {
    CByteArrayFifo q;
    q.AddTail(Bytes("b"));
    q.AddTail(Bytes("c"));
    q.AddHead(Bytes("a"));
    EXPECT_EQ(Text(q.RemoveHead()), "a");
    EXPECT_EQ(Text(q.RemoveTail()), "c");
    EXPECT_EQ(Text(q.RemoveHead()), "b");
    EXPECT_THROW(q.RemoveHead(), CInvalidArgException);
}

TEST(ByteArrayFifoSync, ConcurrentThreadsLoseNothing) {
    CByteArrayFifoSync q;
    EXPECT_THROW(q.RemoveTail(), CInvalidArgException);
    constexpr int kThreads = 4;
    constexpr int kEach = 2000;
    std::atomic<long> sum{0};
    std::vector<std::thread> threads;
    // Each thread removes only after adding as many, so the queue is never empty for it.
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&q, &sum, t] {
            for (int i = 0; i < kEach; ++i) {
                const int v = t * kEach + i;
                q.AddTail(CByteArrayEx(&v, sizeof v));
            }
            for (int i = 0; i < kEach; ++i) {
                const CByteArrayEx item = (i % 2) != 0 ? q.RemoveHead() : q.RemoveTail();
                int v = 0;
                if (item.GetSize() == static_cast<INT_PTR>(sizeof v)) std::memcpy(&v, item.GetData(), sizeof v);
                sum += v;
            }
        });
    }
    for (auto& th : threads) th.join();
    constexpr long n = long{kThreads} * kEach;
    EXPECT_EQ(sum.load(), n * (n - 1) / 2);
    EXPECT_TRUE(q.IsEmpty());
}

}  // namespace
