#include "driver/vru_ring_buffer.h"

#include <gtest/gtest.h>

#include "foundation/system_time.h"

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
    EXPECT_EQ(window, 10.0);

    CVRURingBuffer empty(5);
    EXPECT_EQ(empty.GetLatestMeans(roll, pitch, heave, window), 0);
    EXPECT_EQ(roll, 0.0);
    EXPECT_EQ(window, 10.0);  // untouched
}

TEST(VruRing, InterpolatesEachValidComponentThroughItsDefinition) {
    CVRURingBuffer ring(8);
    sVruSample a = Vru(0, 0.0, 4.0, 1.0, 7, 0.1f), b = Vru(2, 2.0, 6.0, 3.0, 5, 0.3f);
    ring.AddSample(a);
    ring.AddSample(b);
    sObsDef rollDef{}, pitchDef{}, heaveDef{};
    heaveDef.correction1 = 0.5;
    double roll = -1, pitch = -1, heave = -1, rollSd = -1;
    DWORD mask = 99, order = 99;
    EXPECT_EQ(ring.InterpolateAttitude(At(1), &rollDef, &pitchDef, &heaveDef, &roll, &pitch, &heave,
                                       nullptr, nullptr, nullptr, &order, &mask, &rollSd, nullptr,
                                       nullptr),
              1);
    EXPECT_DOUBLE_EQ(roll, 1.0);
    EXPECT_EQ(pitch, 0.0);  // not valid in the second sample
    EXPECT_DOUBLE_EQ(heave, 2.5);
    EXPECT_NEAR(rollSd, 0.2, 1e-7);  // an unscaled definition keeps the qualities
    EXPECT_EQ(mask, VRU_ROLL_VALID | VRU_HEAVE_VALID);
    EXPECT_EQ(order, 0u);
    // A quality of exactly 0 is valid; a component without its flag is not.
    const struct { DWORD flags; float quality; DWORD mask; } validity[] = {
        {7, 0.0f, 7}, {1, 0.0f, 1}, {6, 0.0f, 6}, {7, -0.001f, 0}, {3, 0.5f, 3}};
    for (const auto& row : validity) {
        CVRURingBuffer v(4);
        sVruSample s0 = Vru(0, 1.0, 2.0, 3.0, row.flags, row.quality);
        sVruSample s1 = Vru(1, 1.0, 2.0, 3.0, row.flags, row.quality);
        v.AddSample(s0);
        v.AddSample(s1);
        EXPECT_EQ(v.InterpolateAttitude(At(0.5), &rollDef, &pitchDef, &heaveDef, nullptr, nullptr,
                                        &heave, nullptr, nullptr, nullptr, nullptr, &mask, nullptr,
                                        nullptr, nullptr),
                  1);
        EXPECT_EQ(mask, row.mask) << row.flags << " " << row.quality;
        EXPECT_DOUBLE_EQ(heave, (row.mask & VRU_HEAVE_VALID) != 0 ? 3.5 : 0.0) << row.flags;
    }
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

}  // namespace
