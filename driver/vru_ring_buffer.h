// The attitude ring: 120-byte roll, pitch and heave samples with their qualities and validity
// flags. After every add the newest sample gets the means of the filter window; the heave mean
// fades in as the ring fills, so that a heave filter settles before it is trusted.
#pragma once

#include "driver/result_records.h"
#include "driver/sample_ring.h"

constexpr DWORD VRU_BLOCK_SAMPLE = 40;  // single attitude samples
constexpr DWORD VRU_BLOCK_RING = 49;    // an attitude ring's store

class CVRURingBuffer : public CSampleRing<sVruSample> {
public:
    CVRURingBuffer() = default;
    explicit CVRURingBuffer(DWORD capacity);
    CVRURingBuffer(DWORD capacity, const sObsDef* def, double interval, double maxExtrapolation,
                   const sNodeDef* node);

    // As the navigation ring's; a stored sample also receives the window means of the newest
    // sample (offsets 72 to 96).
    int AddSample(sVruSample& sample);
    int Fill(DWORD systemId, IpcBufferHandle* handle) override;
    int FillEx(DWORD systemId, IpcBufferHandle* handle, bool alreadyLocked);
    // The first single attitude sample of id.
    bool ReadLatestRecord(DWORD id, IpcBufferHandle* handle, sVruSample& sample);
    int AddLatestFromHost(DWORD id, IpcBufferHandle* handle, sVruSample& sample);
    // Roll, pitch and heave at t with their means and standard deviations, each corrected by its
    // definition; a component without a definition or not valid in both neighbours is 0.0 and
    // has no bit in the mask (4 roll, 2 pitch, 1 heave). Outputs may be null. 0 when t is invalid
    // or has no neighbours.
    int InterpolateAttitude(const CVOKTime& t, const sObsDef* rollDef, const sObsDef* pitchDef,
                            const sObsDef* heaveDef, double* roll, double* pitch, double* heave,
                            double* rollMean, double* pitchMean, double* heaveMean,
                            DWORD* rotationOrder, DWORD* validMask, double* rollSd,
                            double* pitchSd, double* heaveSd);
    // The newest sample's means and window; returns count. Empty: means 0.0, window untouched.
    int GetLatestMeans(double& rollMean, double& pitchMean, double& heaveMean, double& window) const;

    static bool IsRollValid(const sVruSample& s);
    static bool IsPitchValid(const sVruSample& s);
    static bool IsHeaveValid(const sVruSample& s);
    static bool IsRollAndPitchValid(const sVruSample& s);
    static bool HasValue(const sVruSample& s);

private:
    // The window means of the newest sample.
    void OnStored() override;
};
