#include "driver/nav_ring_buffer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

#include "foundation/system_time.h"
#include "tests/support/ipc_test_folder.h"
#include "tests/support/peer_process.h"

namespace {

using Vok::Test::CPeerProcess;
using Vok::Test::Milliseconds;

CVOKTime At(double second) { return CVOKTime(2024, 5, 1, 1, 0, 0.0) + second; }

NavRecord Nav(double second, double heading = 0.0, float status = STATUS_NEW) {
    NavRecord r{};
    r.stTime = TimeToSystemTime(At(second));
    r.dwObsId = 7;
    r.dHeading = heading;
    r.fStatus = status;
    return r;
}

// The headings in time order.
std::vector<double> Headings(const CNavRingBuffer& ring) {
    std::vector<double> out;
    NavRecord s;
    for (int k = 0; ring.GetSample(s, k); ++k) out.push_back(s.dHeading);
    return out;
}

std::vector<double> Range(double from, double to) {
    std::vector<double> out;
    for (double v = from; v <= to; v += 1.0) out.push_back(v);
    return out;
}

// Capacity 5 after samples at 0 .. 7 s (heading = second): it holds 3 .. 7, wrapped in its store.
struct CWrapped : CNavRingBuffer {
    CWrapped() : CNavRingBuffer(5) {
        for (int k = 0; k < 8; ++k) AddSample(Nav(k, k));
    }
};

TEST(NavRingAdd, TimeOrderAndQualityRules) {
    CNavRingBuffer ring(500);
    EXPECT_EQ(ring.AddSample(Nav(1)), 1);
    EXPECT_EQ(ring.AddSample(Nav(1)), 0);  // the same time again
    EXPECT_EQ(ring.GetCount(), 1);
    EXPECT_EQ(ring.AddSample(Nav(2, 0.0, STATUS_NONE)), 0);  // kept, but reported
    EXPECT_EQ(ring.GetCount(), 2);
    CVOKTime oldest, newest;
    EXPECT_EQ(ring.GetTimeSpan(oldest, newest), 2);
    EXPECT_EQ(std::make_pair(oldest, newest), std::make_pair(At(1), At(2)));
    EXPECT_EQ(ring.AddSample(Nav(1.5)), 0);  // within a second of the newest
    EXPECT_EQ(ring.GetCount(), 2);

    ring.SetFilterFlags(CRingBuffer::FILTER_QUALITY);
    EXPECT_EQ(ring.AddSample(Nav(0.5, 9.0)), 1);  // older than the oldest: the ring starts again
    EXPECT_EQ(Headings(ring), std::vector<double>{9.0});
    EXPECT_EQ(ring.GetOldestTime(), At(0.5));

    ring.Clear();  // the samples go, the settings stay
    EXPECT_EQ(ring.GetTimeSpan(oldest, newest), 0);
    EXPECT_FALSE(oldest.IsValid() || newest.IsValid());
    EXPECT_FALSE(ring.GetOldestTime().IsValid() || ring.GetNewestTime().IsValid());
    NavRecord kept = Nav(9, 9.0);
    const NavRecord before = kept;
    EXPECT_FALSE(ring.GetNewest(kept));
    EXPECT_FALSE(ring.GetOldest(kept));
    EXPECT_EQ(std::memcmp(&kept, &before, sizeof kept), 0);  // nothing copied from an empty ring
    EXPECT_EQ(ring.GetFilterFlags(), CRingBuffer::FILTER_QUALITY);
    ring.SetFilterFlags(CRingBuffer::FILTER_QUALITY | CRingBuffer::FILTER_TIME_ORDER);
    EXPECT_EQ(ring.AddSample(Nav(0.25, 3.0)), 1);
    EXPECT_EQ(Headings(ring), std::vector<double>{3.0});

    EXPECT_EQ(CNavRingBuffer().AddSample(Nav(1)), 0);  // no store
}

// Samples 0.1 s apart, the k-th at second(k) with heading k: one time more than a second behind the
// newest is refused and counted; the next one that far behind and not older starts the ring again
// from the first of them (the step said), dropping the samples at or after it.
TEST(NavRingAdd, OneOutlierIsRefusedAStepThatLastsStartsTheRingAgain) {
    const struct { double (*second)(int); bool (*kept)(int); double step; uint64_t refused; } rows[] = {
        {[](int k) { return k * 0.1 - k % 2 * 2.0; }, [](int k) { return k % 2 == 0; }, 0, 20},  // two sources 2 s apart
        {[](int k) { return k * 0.1 - (k % 7 == 6) * 1.15; }, [](int k) { return k % 7 != 6; }, 0, 5},  // one in seven late
        {[](int k) { return k * 0.1 - (k == 20) * 2.0 - (k == 21) * 3.0; }, [](int k) { return k != 20 && k != 21; }, 0, 2},
        {[](int k) { return k * 0.1 + (k == 30) * 86400.0; }, [](int k) { return k != 30; }, 86399.9, 0},  // a day ahead
        {[](int k) { return k * 0.1 - (k >= 20) * 600.1; }, [](int k) { return k >= 20; }, 600, 0},  // set back 10 min
        {[](int k) { return k * 0.1 - (k >= 30) * 2.5; }, [](int k) { return k < 5 || k >= 30; }, 2.4, 0},
        {[](int k) { return k < 20 ? k : 18.0; }, [](int k) { return k < 20; }, 0, 0}};  // one second back: no outlier
    for (const auto& r : rows) {
        CNavRingBuffer ring(500);
        std::vector<double> kept;
        double step = 0.0;
        for (int k = 0; k < 40; ++k, step += ring.GetRestartStep()) {
            ring.AddSample(Nav(r.second(k), k));
            if (r.kept(k)) kept.push_back(k);
        }
        EXPECT_EQ(Headings(ring), kept) << r.step;
        EXPECT_NEAR(step, r.step, 1e-6);
        EXPECT_EQ(ring.GetRefusedOutliers(), r.refused) << r.step;
    }
}

TEST(NavRingAdd, AFullRingKeepsTheNewestInOrder) {
    CNavRingBuffer ring(500);
    for (int k = 0; k <= 500; ++k) ASSERT_EQ(ring.AddSample(Nav(k, k)), 1);
    EXPECT_EQ(ring.GetCount(), 500);
    EXPECT_EQ(Headings(ring), Range(1, 500));
    EXPECT_EQ(ring.GetStore()[0].dHeading, 500.0);  // the newest took the oldest's slot
    std::vector<const NavRecord*> all;
    EXPECT_EQ(ring.GetAllSamples(all), 500);
    ASSERT_EQ(all.size(), 500u);
    EXPECT_EQ(std::make_pair(all.front()->dHeading, all.back()->dHeading), std::make_pair(1.0, 500.0));

    // The index that each add keeps, twice round a small ring, is the one built anew from the store.
    CNavRingBuffer small(5), rebuilt(5);
    for (int k = 0; k < 12; ++k) {
        ASSERT_EQ(small.AddSample(Nav(k, k)), 1);
        ASSERT_EQ(rebuilt.AddSample(Nav(k, k)), 1);
        rebuilt.BuildIndex();
        EXPECT_EQ(Headings(small), Range(std::max(0, k - 4), k)) << k;
        EXPECT_EQ(Headings(small), Headings(rebuilt)) << k;
        EXPECT_EQ(small.GetOldestTime(), rebuilt.GetOldestTime()) << k;
        EXPECT_EQ(small.GetNewestTime(), At(k)) << k;
    }
}

TEST(NavRingSearch, FindByTimeAtBothEndsAndAcrossTheWrap) {
    CWrapped ring;
    struct { double t; int mode, result, index; } rows[] = {
        {3, 2, 0, -1},   {3, 0, 2, 0},   {2, 1, 3, 0},   {2, 0, 0, 0},   {8, 1, 0, 4},
        {8, 0, 3, 4},    {5.5, 0, 2, 2}, {5.5, 1, 2, 3}, {5.5, 2, 2, 2}, {5.5, 3, 2, 3},
        {5, 2, 2, 1},    {5, 3, 2, 3},   {5, 0, 2, 2},   {7, 3, 0, -1},  {7, 0, 2, 4},
        {4.5, 9, 0, -1},
    };
    for (const auto& row : rows) {
        int index = -1;
        const int result = ring.FindByTime(At(row.t), index, row.mode);
        EXPECT_EQ(std::make_pair(result, index), std::make_pair(row.result, row.index))
            << row.t << " " << row.mode;
    }
    int index = -1;
    EXPECT_EQ(CNavRingBuffer(5).FindByTime(At(3), index, 0), 0);

    // The last sample at or before t, else the oldest; t becomes its time.
    const struct { double t, found; } lasts[] = {{5.5, 5}, {5, 5}, {9, 7}, {2, 3}};
    for (const auto& row : lasts) {
        NavRecord sample{};
        CVOKTime t = At(row.t);
        EXPECT_TRUE(ring.FindLastAtOrBefore(sample, t));
        EXPECT_EQ(sample.dHeading, row.found) << row.t;
        EXPECT_EQ(t, At(row.found)) << row.t;
    }
    CVOKTime oldest, newest;
    EXPECT_EQ(ring.GetTimeSpanByScan(oldest, newest), 5);
    EXPECT_EQ(std::make_pair(oldest, newest), std::make_pair(At(3), At(7)));
}

TEST(NavRingSearch, IndexRanges) {
    CWrapped ring;
    struct { double t1, t2; int flags; bool found; int first, last; } rows[] = {
        {4, 6, 3, true, 1, 3},      {4, 6, 0, true, 2, 2},   {4.5, 5.5, 15, true, 1, 3},
        {1, 2, 3, false, 0, 0},     {6, 4, 3, false, 0, 0},  {7, 7, 31, false, 0, 0},
        {7, 7, 15, true, 3, 4},
    };
    for (const auto& row : rows) {
        int first = -1, last = -1;
        EXPECT_EQ(ring.FindIndexRange(At(row.t1), At(row.t2), first, last, row.flags), row.found)
            << row.t1 << " " << row.flags;
        if (row.found) {
            EXPECT_EQ(std::make_pair(first, last), std::make_pair(row.first, row.last));
        }
        std::vector<const NavRecord*> between;
        EXPECT_EQ(ring.GetSamplesBetween(At(row.t1), At(row.t2), between, row.flags),
                  row.found ? row.last - row.first + 1 : 0);
        if (row.found) {
            ASSERT_FALSE(between.empty());
            EXPECT_EQ(between.front()->dHeading, 3.0 + row.first) << row.t1;
            EXPECT_EQ(between.back()->dHeading, 3.0 + row.last) << row.t1;
        }
    }
}

TEST(NavRingSearch, IsInRangeKeepsItsMarginInsideTheRing) {
    CWrapped ring;
    struct { double t; int margin; bool inRange; } rows[] = {
        {3, 0, true},  {7, 0, true},    {3, -1, true}, {3, 1, true},  {3, 2, false},
        {4, 2, true},  {6, 2, true},    {6.5, 2, false}, {5, 3, true}, {4, 3, false},
        {3, 6, true},  {2, 0, false},   {7.5, 1, false},
    };
    for (const auto& row : rows)
        EXPECT_EQ(ring.IsInRange(At(row.t), row.margin), row.inRange) << row.t << " " << row.margin;
    EXPECT_FALSE(CNavRingBuffer(5).IsInRange(At(3), 0));
}

TEST(NavRingInterpolation, HeadingsAcrossNorth) {
    sObsDef heading{};
    heading.obsType = 11;
    CNavRingBuffer ring(10, &heading, 0.0, 0.0, nullptr);
    ring.AddSample(Nav(0, 359.0));
    ring.AddSample(Nav(2, 1.0));
    struct { double t, value; } rows[] = {{1, 0.0},   {0.5, 359.5}, {1.5, 0.5},
                                          {2, 1.0},   {3, 1.0},     {-1, 359.0}};
    for (const auto& row : rows) {
        double value = -1.0;
        EXPECT_EQ(ring.InterpolateValue(At(row.t), &heading, value, 0.0, 0.0, 0), 1) << row.t;
        EXPECT_NEAR(value, row.value, 1e-9) << row.t;
    }
    // Both corrections, added before the value is brought back into the circle.
    const struct { double correction1, correction2, value; } corrections[] = {
        {2.5, 0.0, 2.5}, {2.5, 0.75, 3.25}, {2.5, -3.0, 359.5}};
    double value = -1.0;
    for (const auto& row : corrections) {
        heading.correction1 = row.correction1;
        heading.correction2 = row.correction2;
        EXPECT_EQ(ring.InterpolateValue(At(1), &heading, value, 0.0, 0.0, 0), 1);
        EXPECT_NEAR(value, row.value, 1e-9) << row.correction2;
    }
    EXPECT_EQ(ring.InterpolateValue(CVOKTime(), &heading, value, 0.0, 0.0, 0), 0);

    // Half a circle apart neither way round is shorter: the plain mean.
    CNavRingBuffer half(4, &heading, 0.0, 0.0, nullptr);
    half.AddSample(Nav(0, 0.0));
    half.AddSample(Nav(2, 180.0));
    EXPECT_EQ(half.InterpolateValue(At(1), nullptr, value, 0.0, 0.0, 0), 1);
    EXPECT_NEAR(value, 90.0, 1e-9);

    // A value inside its range comes back as it was, to the last bit.
    sObsDef roll{};
    roll.obsType = 92;
    CNavRingBuffer signedRing(4, &roll, 0.0, 0.0, nullptr);
    signedRing.AddSample(Nav(0, 0.1));
    EXPECT_EQ(signedRing.InterpolateValue(At(0), nullptr, value, 0.0, 0.0, 0), 1);
    EXPECT_EQ(value, 0.1);
}

TEST(NavRingInterpolation, HugeOrNonFiniteValuesNeitherHangNorPass) {
    sObsDef heading{};
    heading.obsType = 11;
    const double inf = std::numeric_limits<double>::infinity();
    const double nan = std::numeric_limits<double>::quiet_NaN();
    struct { double first; int result; } rows[] = {{1e300, 1}, {-1e300, 1}, {7.2e6 + 10.0, 1},
                                                   {inf, 0},   {-inf, 0},   {nan, 0},
                                                   {-1e-14, 1}};  // rounds to the top: 0, not 360
    for (const auto& row : rows) {
        CNavRingBuffer ring(4, &heading, 0.0, 0.0, nullptr);
        ring.AddSample(Nav(0, row.first));
        double value = -1.0;
        EXPECT_EQ(ring.InterpolateValue(At(0), &heading, value, 0.0, 0.0, 0), row.result) << row.first;
        if (row.result == 1) {
            EXPECT_GE(value, 0.0);
            EXPECT_LT(value, 360.0);
        }
    }
    heading.correction1 = 1e308;  // finite, but not with its correction
    CNavRingBuffer ring(4, &heading, 0.0, 0.0, nullptr);
    ring.AddSample(Nav(0, 1e308));
    double value = -1.0;
    EXPECT_EQ(ring.InterpolateValue(At(0), &heading, value, 0.0, 0.0, 0), 0);
}

TEST(NavRingInterpolation, TheGapLimitRefusesFarNeighbours) {
    CNavRingBuffer ring(4);
    ring.SetUpdateInterval(1.0);
    ring.AddSample(Nav(0, 10.0));
    ring.AddSample(Nav(5, 20.0));
    struct { double t; int result; double value; } rows[] = {
        {2.5, 0, 0}, {0.5, 1, 10.0}, {4.5, 1, 20.0}, {10, 0, 0}, {5.5, 1, 20.0},
        {6, 1, 20.0},  {6.5, 0, 0},  {-1, 1, 10.0},  {-1.5, 0, 0}, {-0.5, 1, 10.0}};
    for (const auto& row : rows) {
        double value = -1.0;
        EXPECT_EQ(ring.InterpolateValue(At(row.t), nullptr, value, 0.0, 0.0, 0), row.result) << row.t;
        if (row.result == 1) {
            EXPECT_DOUBLE_EQ(value, row.value) << row.t;
        }
    }
    // The sample before t is too far: the two after it stand in, held at the nearer.
    ring.AddSample(Nav(5.5, 30.0));
    double value = -1.0;
    EXPECT_EQ(ring.InterpolateValue(At(4.5), nullptr, value, 0.0, 0.0, 0), 1);
    EXPECT_DOUBLE_EQ(value, 20.0);
}

TEST(NavRingInterpolation, ExtrapolatesFromTheTwoSamplesAtTheNearerEnd) {
    CNavRingBuffer ring(5);
    ring.SetMaxExtrapolation(2.0);
    ring.AddSample(Nav(0, 10.0));
    ring.AddSample(Nav(1, 20.0));
    ring.AddSample(Nav(2, 40.0));
    struct { double t, value; } rows[] = {{-1, 0.0}, {-4, -10.0}, {1.5, 30.0}, {3, 60.0}, {5, 80.0}};
    for (const auto& row : rows) {
        double value = -1.0;
        EXPECT_EQ(ring.InterpolateValue(At(row.t), nullptr, value, 0.0, 0.0, 0), 1) << row.t;
        EXPECT_DOUBLE_EQ(value, row.value) << row.t;
    }
}

TEST(NavRingCopy, CopiesBetweenCapacitiesStayInsideTheRing) {
    CNavRingBuffer big(10);
    for (int k = 0; k < 6; ++k) big.AddSample(Nav(k, k));
    CNavRingBuffer small(3);
    small.CopyFrom(big);
    EXPECT_EQ(Headings(small), Range(3, 5));
    CNavRingBuffer back(10);
    back.CopyFrom(small);
    EXPECT_EQ(Headings(back), Range(3, 5));
    EXPECT_EQ(back.AddSample(Nav(6, 6)), 1);
    EXPECT_EQ(Headings(back), Range(3, 6));

    CNavRingBuffer same(5);
    same.CopyFrom(CWrapped());
    EXPECT_EQ(Headings(same), Range(3, 7));
    EXPECT_EQ(same.GetWritePosition(), 3);  // the wrap found again
    const NavRecord outside{};
    EXPECT_EQ(same.GetSlotOfSample(same.GetStore() + 4), 4);
    EXPECT_EQ(same.GetSlotOfSample(&outside), -1);
}

TEST(NavRingCopy, WalksThroughTheStoreEnd) {
    struct { int capacity, samples, start, walked; } rows[] = {
        {5, 3, 0, 3}, {3, 3, 1, 2}, {3, 4, 2, 2}, {3, 3, 3, 0}, {5, 3, 4, 0}};
    for (const auto& row : rows) {
        CNavRingBuffer ring(row.capacity);
        for (int k = 0; k < row.samples; ++k) ring.AddSample(Nav(k, k));
        int walked = 0;
        for (int it = row.start; ring.NextSample(it) != nullptr && walked < 10;) ++walked;
        EXPECT_EQ(walked, row.walked) << row.capacity << " " << row.samples;
    }
}

class NavRingFillTest : public Vok::Test::IpcTest {};

const std::string RING_PEER = Vok::Test::PeerPath(VOK_BINARY_DIR, "ring_peer");
const std::string BUFFER_PEER = Vok::Test::PeerPath(VOK_BINARY_DIR, "buffer_peer");
constexpr Milliseconds DEADLINE(5000);

TEST_F(NavRingFillTest, FillsFromACyclicHostBlockAndAlwaysReleasesTheLock) {
    CPeerProcess host({RING_PEER, "H", "7", "8", "13"});
    ASSERT_TRUE(host.WaitForLine("READY", DEADLINE));
    {
        IpcBufferHandle reader("H", 0);
        CNavRingBuffer ring(8);
        EXPECT_EQ(ring.Fill(7, &reader), 1);
        EXPECT_FALSE(reader.buffer.IsLocked());
        EXPECT_EQ(Headings(ring), Range(5, 12));
        EXPECT_EQ(ring.GetWritePosition(), 5);
        CNavRingBuffer wide(10);  // wrapped but not full: a new sample must not take the oldest's slot
        EXPECT_EQ(wide.Fill(7, &reader), 1);
        EXPECT_EQ(wide.AddSample(Nav(13, 13)), 1);
        EXPECT_EQ(Headings(wide), Range(5, 13));

        ASSERT_TRUE(reader.Lock());
        CNavRingBuffer small(5);  // fewer slots than the block's records: the newest ones
        EXPECT_EQ(small.FillEx(7, &reader, true), 1);
        EXPECT_FALSE(reader.buffer.IsLocked());
        EXPECT_EQ(Headings(small), Range(8, 12));

        EXPECT_EQ(small.Fill(8, &reader), 1);  // the first block, of the other id
        EXPECT_EQ(Headings(small), std::vector<double>{7.0});
        EXPECT_EQ(ring.Fill(3, &reader), 0);
        EXPECT_FALSE(reader.buffer.IsLocked());
        EXPECT_EQ(ring.GetCount(), 8);

        NavRecord sample{};
        EXPECT_TRUE(ring.ReadLatestRecord(7, &reader, sample));
        EXPECT_EQ(sample.dHeading, 42.5);
        EXPECT_FALSE(ring.ReadLatestRecord(5, &reader, sample));
        EXPECT_FALSE(ring.ReadLatestRecord(7, nullptr, sample));
        EXPECT_EQ(ring.Fill(7, nullptr), 0);
        IpcBufferHandle absent("Absent", 0, 100);
        EXPECT_FALSE(ring.ReadLatestRecord(7, &absent, sample));
        // Each block type converts its own layout; a position record gives its height and height
        // id whichever of its three ids matched.
        const struct {
            DWORD blockType, id;
            bool found;
            DWORD obsId;
            double second, value;
            float status;
            double value2, value3;
        } reads[] = {
            {NAV_BLOCK_TYPE48, 7, true, 7, 3, 48.75, 0.25f, 0.0, 0.0},
            {NAV_BLOCK_TYPE48, 98, false, 0, 0, 0, 0, 0, 0},
            {NAV_BLOCK_POSITION, 7, true, 94, 4, 12.25, 0.5f, 16.5, 24.5},
            {NAV_BLOCK_POSITION, 90, true, 92, 5, 1.5, 0.0f, 0.0, 0.0},
            {NAV_BLOCK_POSITION, 92, true, 92, 5, 1.5, 0.0f, 0.0, 0.0},
            {NAV_BLOCK_POSITION, 95, false, 0, 0, 0, 0, 0, 0},
        };
        for (const auto& row : reads) {
            SCOPED_TRACE(testing::Message() << row.blockType << " " << row.id);
            NavRecord read{};
            ASSERT_EQ(ring.ReadLatestRecord(row.id, &reader, read, row.blockType), row.found);
            EXPECT_FALSE(reader.buffer.IsLocked());
            if (!row.found) continue;
            EXPECT_EQ(CNavRingBuffer::SampleTime(read), At(row.second));
            EXPECT_EQ(read.dwObsId, row.obsId);
            EXPECT_EQ(read.dHeading, row.value);
            EXPECT_EQ(read.fStatus, row.status);
            EXPECT_EQ(read.dValue2, row.value2);
            EXPECT_EQ(read.dValue3, row.value3);
            EXPECT_EQ(read.dwReserved20 | read.dwReserved36, 0u);
        }
        EXPECT_EQ(ring.AddLatestFromHost(7, &reader, sample), 0);  // far older than the newest, once
        CNavRingBuffer fresh(4);
        EXPECT_EQ(fresh.AddLatestFromHost(7, &reader, sample), 1);
        EXPECT_FALSE(reader.buffer.IsLocked());
        EXPECT_EQ(CNavRingBuffer(4).AddLatestFromHost(5, &reader, sample), 0);  // no record of 5
        CNavRingBuffer invalid(4);  // id 98's sample has no valid value: refused under the quality filter
        EXPECT_EQ(invalid.AddLatestFromHost(98, &reader, sample), 0);
        EXPECT_EQ(invalid.GetCount(), 0);
        invalid.SetFilterFlags(CRingBuffer::FILTER_TIME_ORDER);
        EXPECT_EQ(invalid.AddLatestFromHost(98, &reader, sample), 1);
        EXPECT_EQ(invalid.GetCount(), 1);

        CPeerProcess writer({BUFFER_PEER, "open", "H", "1", "lock", "H", "unlock", "H"});
        EXPECT_TRUE(writer.WaitForLine("READY lock 1", DEADLINE).has_value());
        EXPECT_EQ(writer.Wait(DEADLINE), 0);
    }
    host.CloseInput();
    EXPECT_EQ(host.Wait(DEADLINE), 0);
}

}  // namespace
