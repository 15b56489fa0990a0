#include "foundation/byte_array.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

namespace {

CByteArrayEx Bytes(const std::string& s) { return CByteArrayEx(s.data(), static_cast<int>(s.size())); }

std::string Text(const CByteArray& a) {
    return a.GetSize() == 0 ? std::string() : std::string(reinterpret_cast<const char*>(a.GetData()), a.GetSize());
}

std::vector<std::string> Pieces(const CByteArrayExArray& arr) {
    std::vector<std::string> out;
    for (const CByteArrayEx& piece : arr) out.push_back(Text(piece));
    return out;
}

using V = std::vector<std::string>;

TEST(ByteArraySplit, CutsAtLineFeedAndSkipsEmptyPieces) {
    CByteArrayExArray arr;
    EXPECT_EQ(arr.Split(Bytes("$A*1\r\n$B*2\r\n"), '\n'), 2);
    EXPECT_EQ(Pieces(arr), (V{"$A*1\r", "$B*2\r"}));
    EXPECT_EQ(arr.Split(Bytes("\n\n$A\n\n\n$B\n"), '\n'), 2);
    EXPECT_EQ(Pieces(arr), (V{"$A", "$B"}));
    EXPECT_EQ(arr.Split(Bytes(",a,,b,"), ','), 2);
    EXPECT_EQ(Pieces(arr), (V{"a", "b"}));
}

TEST(ByteArraySplit, SourceWithoutDelimiterIsOnePiece) {
    CByteArrayExArray arr;
    EXPECT_EQ(arr.Split(Bytes("abc"), ','), 1);
    EXPECT_EQ(Pieces(arr), (V{"abc"}));
    EXPECT_EQ(arr.Split(Bytes("x"), ','), 1);
    EXPECT_EQ(arr.Split(Bytes(","), ','), 0);
    EXPECT_EQ(arr.Split(Bytes(",,,"), ','), 0);
    // Zero bytes are data like any other.
    EXPECT_EQ(arr.Split(Bytes(std::string("a\0b\nc", 5)), '\n'), 2);
    EXPECT_EQ(Pieces(arr), (V{std::string("a\0b", 3), "c"}));
}

TEST(ByteArraySplit, EmptySourceGivesMinusOneAndEmptiesTheArray) {
    CByteArrayExArray arr;
    ASSERT_EQ(arr.Split(Bytes("a,b"), ','), 2);
    EXPECT_EQ(arr.Split(CByteArrayEx(), ','), -1);
    EXPECT_EQ(arr.GetSize(), 0);
    EXPECT_EQ(arr.SplitAny(Bytes("a"), CByteArrayEx()), -1);
    EXPECT_EQ(arr.SplitSequence(CByteArrayEx(), Bytes("ab")), -1);
    EXPECT_EQ(arr.SplitSequence(Bytes("ab"), CByteArrayEx()), -1);
}

TEST(ByteArraySplit, AnyOfSeveralDelimiters) {
    CByteArrayExArray arr;
    EXPECT_EQ(arr.SplitAny(Bytes("a\r\nb;c\n"), Bytes("\r\n;")), 3);
    EXPECT_EQ(Pieces(arr), (V{"a", "b", "c"}));
}

TEST(ByteArraySplit, SequencePiecesHoldNoPartOfTheSeparator) {
    CByteArrayExArray arr;
    EXPECT_EQ(arr.SplitSequence(Bytes("one\r\ntwo\r\n\r\nthree"), Bytes("\r\n")), 3);
    EXPECT_EQ(Pieces(arr), (V{"one", "two", "three"}));
    EXPECT_EQ(arr.SplitSequence(Bytes("abcXYZdefXYZ"), Bytes("XYZ")), 2);
    EXPECT_EQ(Pieces(arr), (V{"abc", "def"}));
    // A one-byte separator behaves as Split.
    EXPECT_EQ(arr.SplitSequence(Bytes(",a,,b,"), Bytes(",")), 2);
    EXPECT_EQ(Pieces(arr), (V{"a", "b"}));
}

TEST(ByteArraySplit, SequenceMinSpanKeepsShortPiecesTogether) {
    CByteArrayExArray arr;
    // "ab" is shorter than 3, so the separator after it does not end the piece.
    EXPECT_EQ(arr.SplitSequence(Bytes("ab--cdef--gh"), Bytes("--"), 3), 2);
    EXPECT_EQ(Pieces(arr), (V{"ab--cdef", "gh"}));
}

TEST(ByteArrayEx, ConstructionAndAppend) {
    EXPECT_EQ(Text(CByteArrayEx(CString("abc"))), "abc");
    CByteArrayEx a = Bytes("ab");
    EXPECT_EQ(a.Append("cd", 2), 4);
    EXPECT_EQ(a.Append("zz", 0), 4);
    EXPECT_EQ(a.Append(nullptr, 3), 4);
    EXPECT_EQ(Text(a), "abcd");
    CByteArrayEx b;
    b.Assign(a);
    EXPECT_TRUE(b == a);
    b.Assign("x", 1);
    EXPECT_EQ(Text(b), "x");
    EXPECT_THROW(b.GetAt(1), CInvalidArgException);
}

TEST(ByteArrayEx, Compare) {
    EXPECT_TRUE(CByteArrayEx() == CByteArrayEx());
    EXPECT_TRUE(Bytes("ab") == Bytes("ab"));
    EXPECT_TRUE(Bytes("ab") != Bytes("abc"));
    EXPECT_TRUE(Bytes("ab") != Bytes("ac"));
}

TEST(ByteArrayEx, FindByteAndSet) {
    const CByteArrayEx a = Bytes("abcabc");
    EXPECT_EQ(a.Find('b', 0, false), 1);
    EXPECT_EQ(a.Find('b', 2, false), 4);
    EXPECT_EQ(a.Find('b', 0, true), 4);
    EXPECT_EQ(a.Find('z', 0, false), -1);
    EXPECT_EQ(a.Find('a', 6, false), -1);
    EXPECT_EQ(a.Find('a', 6, true), -1);
    EXPECT_EQ(a.Find('a', -1, false), -1);
    EXPECT_EQ(CByteArrayEx().Find('a', 0, false), -1);
    EXPECT_EQ(a.FindOneOf(Bytes("xc"), 0), 2);
    EXPECT_EQ(a.FindOneOf(Bytes("xc"), 3), 5);
    EXPECT_EQ(a.FindOneOf(CByteArrayEx(), 0), -1);
}

TEST(ByteArrayEx, FindPattern) {
    const CByteArrayEx a = Bytes("ABCD");
    EXPECT_EQ(a.Find(Bytes("BC"), 0, -1, false), 2);  // the match's last byte
    EXPECT_EQ(a.Find(Bytes("BC"), 0, 3, false), -1);
    EXPECT_EQ(a.Find(Bytes("BC"), 0, 2, false), 2);
    EXPECT_EQ(a.Find(Bytes("BC"), 0, -1, true), 1);   // the match's first byte
    EXPECT_EQ(a.Find(Bytes("ABCDE"), 0, -1, false), -1);
    EXPECT_EQ(a.Find(Bytes("ABCDE"), 0, -1, true), -1);
    EXPECT_EQ(a.Find(Bytes("CD"), 3, -1, false), -1);
    EXPECT_EQ(Bytes("xyxy").Find(Bytes("xy"), 0, -1, true), 2);
}

TEST(ByteArrayEx, HexText) {
    CByteArrayEx a;
    a.FromHex("0aFF1");
    EXPECT_EQ(Text(a), "\x0a\xff");
    a.FromHex("zz");
    EXPECT_EQ(Text(a), std::string(1, '\0'));
    a.FromHex("");
    EXPECT_EQ(a.GetSize(), 0);

    const BYTE raw[] = {1, 2, 255};
    const CByteArrayEx b(raw, 3);
    CString out("old");
    b.ToHex(out, 0, false);
    EXPECT_EQ(out, "0102FF");
    b.ToHex(out, 2, false);
    EXPECT_EQ(out, "01 02 \nFF \n");
    b.ToHex(out, 2, true);
    EXPECT_EQ(out, "0 0: 01 02 \n2 2: FF \n");
    CByteArrayEx big;
    big.SetSize(300);
    big.ToHex(out, 16, true);
    EXPECT_EQ(out.Mid(0, 9), "  0 000: ");
    EXPECT_NE(out.Find(" 16 010: "), -1);
    CByteArrayEx().ToHex(out, 2, true);
    EXPECT_TRUE(out.IsEmpty());
}

TEST(ByteArrayFifo, QueueOrderAndEmptyRemoval) {
    CByteArrayFifo q;
    q.AddTail(Bytes("b"));
    q.AddTail(Bytes("c"));
    q.AddHead(Bytes("a"));
    EXPECT_EQ(q.GetCount(), 3);
    EXPECT_EQ(Text(q.RemoveHead()), "a");
    EXPECT_EQ(Text(q.RemoveTail()), "c");
    EXPECT_EQ(Text(q.RemoveHead()), "b");
    EXPECT_TRUE(q.IsEmpty());
    EXPECT_THROW(q.RemoveHead(), CInvalidArgException);
    EXPECT_THROW(q.RemoveTail(), CInvalidArgException);
}

TEST(ByteArrayFifoSync, ThreadsLoseNothing) {
    CByteArrayFifoSync q;
    EXPECT_THROW(q.RemoveHead(), CInvalidArgException);
    q.AddTail(Bytes("x"));  // the lock was released after the failure
    EXPECT_EQ(Text(q.RemoveHead()), "x");

    constexpr int kPerThread = 2000;
    std::atomic<int> taken{0};
    std::atomic<long> sum{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&q, t] {
            for (int i = 0; i < kPerThread; ++i) {
                const int v = t * kPerThread + i;
                q.AddTail(CByteArrayEx(&v, sizeof v));
            }
        });
        threads.emplace_back([&] {
            while (taken.load() < 4 * kPerThread) {
                q.Lock();
                if (q.IsEmpty()) {
                    q.Unlock();
                    std::this_thread::yield();
                    continue;
                }
                const CByteArrayEx item = q.RemoveHead();  // recursive: already held
                q.Unlock();
                int v = 0;
                EXPECT_EQ(item.GetSize(), static_cast<INT_PTR>(sizeof v));
                if (item.GetSize() == static_cast<INT_PTR>(sizeof v)) std::memcpy(&v, item.GetData(), sizeof v);
                sum += v;
                ++taken;
            }
        });
    }
    for (auto& th : threads) th.join();
    const long n = 4L * kPerThread;
    EXPECT_EQ(sum.load(), n * (n - 1) / 2);
    EXPECT_TRUE(q.IsEmpty());
}

}  // namespace
