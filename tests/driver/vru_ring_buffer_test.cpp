#include "driver/vru_ring_buffer.h"

#include <gtest/gtest.h>

#include "foundation/system_time.h"
#include "tests/support/ipc_test_folder.h"
#include "tests/support/peer_process.h"

namespace {

CVOKTime At(double second) { return CVOKTime(2024, 5, 1, 1, 0, second); }

sVruSample Vru(double second, double roll, double pitch, double heave, DWORD flags = 7,
               float quality = 0.1f) {
    sVruSample s{};
    s.stTime = TimeToSystemTime(At(second));
    s.dRoll = roll;
    s.dPitch = pitch;
    s.dHeave = heave;
    s.fRollQuality = s.fPitchQuality = s.fHeaveQuality = quality;
    s.dwValidFlags = flags;
    return s;
}

TEST(VruRing, WindowMeansWithAHeaveMeanThatFadesAsTheRingFills) {
    CVRURingBuffer ring(5);
    ring.SetFilterWindow(10.0);
    // Integer arithmetic would leave the heave mean whole until the ring is full.
    const struct { double rollMean, pitchMean, heaveMean; } rows[] = {
        {0.0, 10.0, 1.0}, {0.5, 9.5, 0.75}, {1.0, 9.0, 0.5}, {1.5, 8.5, 0.25}, {2.0, 8.0, 0.0},
        {3.0, 7.0, 0.0}};
    int k = 0;
    for (const auto& row : rows) {
        sVruSample s = Vru(k, k, 10.0 - k, 1.0);
        ++k;
        EXPECT_EQ(ring.AddSample(s), 1);
        EXPECT_DOUBLE_EQ(s.dRollMean, row.rollMean) << k;
        EXPECT_DOUBLE_EQ(s.dPitchMean, row.pitchMean) << k;
        EXPECT_DOUBLE_EQ(s.dHeaveMean, row.heaveMean) << k;
        EXPECT_EQ(s.dWindow, 10.0);
    }
    double roll = -1, pitch = -1, heave = -1, window = -1;
    EXPECT_EQ(ring.GetLatestMeans(roll, pitch, heave, window), 5);
    EXPECT_EQ(roll, 3.0);
    EXPECT_EQ(pitch, 7.0);
    EXPECT_EQ(heave, 0.0);  // the full ring's heave mean
    EXPECT_EQ(window, 10.0);

    // Between two samples the means are interpolated like the values.
    const sObsDef plain{};
    double rollMean = -1, pitchMean = -1, heaveMean = -1;
    EXPECT_EQ(ring.InterpolateAttitude(At(2.5), &plain, &plain, &plain, nullptr, nullptr, nullptr,
                                       &rollMean, &pitchMean, &heaveMean, nullptr, nullptr,
                                       nullptr, nullptr, nullptr),
              1);
    EXPECT_DOUBLE_EQ(rollMean, 1.25);
    EXPECT_DOUBLE_EQ(pitchMean, 8.75);
    EXPECT_DOUBLE_EQ(heaveMean, 0.375);

    CVRURingBuffer empty(5);
    EXPECT_EQ(empty.GetLatestMeans(roll, pitch, heave, window), 0);
    EXPECT_EQ(roll, 0.0);
    EXPECT_EQ(window, 10.0);  // untouched

    // A ring of two starts with the whole heave mean as well.
    CVRURingBuffer two(2);
    two.SetFilterWindow(10.0);
    sVruSample first = Vru(0, 0.0, 0.0, 1.0);
    EXPECT_EQ(two.AddSample(first), 1);
    EXPECT_DOUBLE_EQ(first.dHeaveMean, 1.0);

    // A step back that lasts: its first sample is refused, then stored with its own means.
    sVruSample late = Vru(3, 7.0, 0.0, 1.0), later = Vru(3.5, 9.0, 0.0, 1.0), stored{};
    EXPECT_EQ(ring.AddSample(late), 0);
    EXPECT_EQ(ring.AddSample(later), 1);
    EXPECT_TRUE(ring.GetSample(stored, 2));
    EXPECT_EQ(std::make_pair(stored.dRollMean, later.dRollMean), std::make_pair(10.0 / 3, 4.75));  // 1, 2, 7 (and 9)
}

TEST(VruRing, InterpolatesEachValidComponentThroughItsDefinition) {
    CVRURingBuffer ring(8);
    sVruSample a = Vru(0, 0.0, 4.0, 1.0, 7, 0.1f), b = Vru(2, 2.0, 6.0, 3.0, 5, 0.3f);
    ring.AddSample(a);
    ring.AddSample(b);
    sObsDef rollDef{}, pitchDef{}, heaveDef{};
    heaveDef.correction1 = 0.5;
    double roll = -1, pitch = -1, heave = -1, rollSd = -1, heaveMean = -1;
    DWORD mask = 99, order = 99;
    EXPECT_EQ(ring.InterpolateAttitude(At(1), &rollDef, &pitchDef, &heaveDef, &roll, &pitch, &heave,
                                       nullptr, nullptr, &heaveMean, &order, &mask, &rollSd,
                                       nullptr, nullptr),
              1);
    EXPECT_EQ(heaveMean, 0.0);  // no window: no mean, not even the correction
    EXPECT_DOUBLE_EQ(roll, 1.0);
    EXPECT_EQ(pitch, 0.0);  // not valid in the second sample
    EXPECT_DOUBLE_EQ(heave, 2.5);
    EXPECT_NEAR(rollSd, 0.2, 1e-7);  // an unscaled definition keeps the qualities
    EXPECT_EQ(mask, VRU_ROLL_VALID | VRU_HEAVE_VALID);
    EXPECT_EQ(order, 0u);
    // A quality of exactly 0 is valid; a component without its flag in both samples is not.
    const struct { DWORD flagsA, flagsB; float quality; DWORD mask; } validity[] = {
        {7, 7, 0.0f, 7}, {1, 1, 0.0f, 1}, {6, 6, 0.0f, 6}, {7, 7, -0.001f, 0}, {3, 3, 0.5f, 3},
        {6, 7, 0.1f, 6}, {7, 1, 0.1f, 1}, {4, 4, 0.1f, 4}, {2, 2, 0.1f, 2}};
    for (const auto& row : validity) {
        CVRURingBuffer v(4);
        sVruSample s0 = Vru(0, 1.0, 2.0, 3.0, row.flagsA, row.quality);
        sVruSample s1 = Vru(1, 1.0, 2.0, 3.0, row.flagsB, row.quality);
        // Under the quality filter a sample counts as added only with some valid component.
        EXPECT_EQ(v.AddSample(s0), row.mask != 0 ? 1 : 0) << row.flagsA;
        EXPECT_EQ(v.AddSample(s1), row.mask != 0 ? 1 : 0) << row.flagsB;
        EXPECT_EQ(v.InterpolateAttitude(At(0.5), &rollDef, &pitchDef, &heaveDef, nullptr, nullptr,
                                        &heave, nullptr, nullptr, nullptr, nullptr, &mask, nullptr,
                                        nullptr, nullptr),
                  1);
        EXPECT_EQ(mask, row.mask) << row.flagsA << " " << row.flagsB << " " << row.quality;
        EXPECT_DOUBLE_EQ(heave, (row.mask & VRU_HEAVE_VALID) != 0 ? 3.5 : 0.0) << row.flagsA;
    }

    // A lever arm 2 m forward moves 2 sin(30 degrees) = 1 m vertically at that pitch, which the
    // heave takes out only when roll and pitch are valid together in both samples.
    sObsDef heaveType{};
    heaveType.obsType = 48;
    sNodeDef forward{};
    forward.x = 2.0;
    const struct { DWORD flagsB; double heave; } lever[] = {{7, 4.0}, {5, 3.0}, {3, 3.0}};
    for (const auto& row : lever) {
        CVRURingBuffer arm(4, &heaveType, 0.0, 0.0, &forward);
        sVruSample s0 = Vru(0, 0.0, 30.0, 3.0), s1 = Vru(1, 0.0, 30.0, 3.0, row.flagsB);
        arm.AddSample(s0);
        arm.AddSample(s1);
        EXPECT_EQ(arm.InterpolateAttitude(At(0.5), &rollDef, &pitchDef, &rollDef, nullptr, nullptr,
                                          &heave, nullptr, nullptr, nullptr, nullptr, nullptr,
                                          nullptr, nullptr, nullptr),
                  1);
        EXPECT_NEAR(heave, row.heave, 1e-12) << row.flagsB;
    }
    EXPECT_EQ(CVRURingBuffer(4).InterpolateAttitude(At(1), nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                                                    nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr),
              0);  // an empty ring has no neighbours
    EXPECT_EQ(ring.InterpolateAttitude(CVOKTime(), &rollDef, nullptr, nullptr, &roll, nullptr,
                                       nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                                       nullptr, nullptr, nullptr),
              0);

    // A delayed heave sensor: heave at t comes from t - delay, weighted where t - delay falls;
    // its sd takes the qualities of the pair around t.
    const struct { double delay, t, heave, heaveSd; } delays[] = {
        {1.0, 2.0, 10.0, 0.3}, {1.25, 1.75, 5.0, 0.25}};
    for (const auto& row : delays) {
        CVRURingBuffer delayed(8);
        delayed.SetVerticalDelay(row.delay);
        for (int k = 0; k < 3; ++k) {
            sVruSample s = Vru(k, 0.0, 0.0, 10.0 * k, 7, 0.1f * (k + 1));
            delayed.AddSample(s);
        }
        double heaveSd = -1;
        EXPECT_EQ(delayed.InterpolateAttitude(At(row.t), nullptr, nullptr, &rollDef, nullptr,
                                              nullptr, &heave, nullptr, nullptr, nullptr, nullptr,
                                              &mask, nullptr, nullptr, &heaveSd),
                  1);
        EXPECT_DOUBLE_EQ(heave, row.heave) << row.t;
        EXPECT_NEAR(heaveSd, row.heaveSd, 1e-7) << row.t;
        EXPECT_EQ(mask, VRU_HEAVE_VALID);
    }
}

class VruRingFillTest : public Vok::Test::IpcTest {};

TEST_F(VruRingFillTest, TakesTheHostsSamplesOfItsIdWithAValidComponent) {
    const Vok::Test::Milliseconds deadline(5000);
    Vok::Test::CPeerProcess host({Vok::Test::PeerPath(VOK_BINARY_DIR, "ring_peer"), "H", "7", "8", "3"});
    ASSERT_TRUE(host.WaitForLine("READY", deadline));
    {
        IpcBufferHandle reader("H", 0);
        // The ring block's middle sample has no valid component.
        const struct { int flags, count; } fills[] = {
            {CRingBuffer::FILTER_QUALITY | CRingBuffer::FILTER_TIME_ORDER, 2},
            {CRingBuffer::FILTER_TIME_ORDER, 3}};
        for (const auto& row : fills) {
            CVRURingBuffer ring(4);
            ring.SetFilterFlags(row.flags);
            EXPECT_EQ(ring.Fill(7, &reader), 1);
            EXPECT_FALSE(reader.buffer.IsLocked());
            EXPECT_EQ(ring.GetCount(), row.count) << row.flags;
            EXPECT_EQ(ring.GetNewestTime(), At(2));
        }
        EXPECT_EQ(CVRURingBuffer(4).Fill(8, &reader), 0);

        sVruSample sample{};
        CVRURingBuffer ring(4);
        EXPECT_TRUE(ring.ReadLatestRecord(7, &reader, sample));
        EXPECT_EQ(sample.dHeave, 2.5);
        EXPECT_EQ(CVRURingBuffer::SampleTime(sample), At(3));
        EXPECT_FALSE(ring.ReadLatestRecord(5, &reader, sample));
        EXPECT_EQ(ring.AddLatestFromHost(7, &reader, sample), 1);
        EXPECT_EQ(ring.GetCount(), 1);
        // Id 9's sample has no valid component: refused under the quality filter, else kept.
        CVRURingBuffer invalid(4);
        EXPECT_EQ(invalid.AddLatestFromHost(9, &reader, sample), 0);
        EXPECT_EQ(invalid.GetCount(), 0);
        invalid.SetFilterFlags(CRingBuffer::FILTER_TIME_ORDER);
        EXPECT_EQ(invalid.AddLatestFromHost(9, &reader, sample), 1);
        EXPECT_EQ(invalid.GetCount(), 1);
        EXPECT_FALSE(reader.buffer.IsLocked());
    }
    host.CloseInput();
    EXPECT_EQ(host.Wait(deadline), 0);
}

}  // namespace
