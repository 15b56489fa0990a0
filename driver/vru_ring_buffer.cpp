#include "driver/vru_ring_buffer.h"

#include <cmath>
#include <cstring>

#include "definitions/lists/obs_def_list.h"
#include "foundation/attitude.h"

namespace {

// A scale of 0.0 means none, as in the value corrections.
double SdFactor(const sObsDef* def) { return def->scale != 0.0 ? std::fabs(def->scale) : 1.0; }

struct sComponent {
    double value = 0.0;
    double mean = 0.0;
    double sd = 0.0;
};

// One component between two samples: the value and, with a window, the mean through the
// definition's corrections; the standard deviation from the qualities qA and qB.
sComponent Blend(const sObsDef* def, double wA, double wB, double vA, double vB, double mA,
                 double mB, float qA, float qB, bool withMean) {
    sComponent c;
    c.value = ApplyObsCorrection(wA * vA + wB * vB, def);
    if (withMean) c.mean = ApplyObsCorrection(wA * mA + wB * mB, def);
    c.sd = SdFactor(def) * (wA * qA + wB * qB);
    return c;
}

void Put(double* out, double value) {
    if (out != nullptr) *out = value;
}

}  // namespace

CVRURingBuffer::CVRURingBuffer(DWORD capacity) : CSampleRing(capacity) {}

CVRURingBuffer::CVRURingBuffer(DWORD capacity, const sObsDef* def, double interval,
                               double maxExtrapolation, const sNodeDef* node)
    : CSampleRing(capacity, def, interval, maxExtrapolation, node) {}

bool CVRURingBuffer::IsRollValid(const sVruSample& s) {
    return (s.dwValidFlags & VRU_ROLL_VALID) != 0 && s.fRollQuality >= 0.0f;
}

bool CVRURingBuffer::IsPitchValid(const sVruSample& s) {
    return (s.dwValidFlags & VRU_PITCH_VALID) != 0 && s.fPitchQuality >= 0.0f;
}

bool CVRURingBuffer::IsHeaveValid(const sVruSample& s) {
    return (s.dwValidFlags & VRU_HEAVE_VALID) != 0 && s.fHeaveQuality >= 0.0f;
}

bool CVRURingBuffer::IsRollAndPitchValid(const sVruSample& s) {
    return IsRollValid(s) && IsPitchValid(s);
}

bool CVRURingBuffer::HasValue(const sVruSample& s) {
    return IsRollValid(s) || IsPitchValid(s) || IsHeaveValid(s);
}

int CVRURingBuffer::AddSample(sVruSample& sample) {
    bool stored = false;
    const int result = StoreSample(sample, HasValue(sample), stored);
    if (stored) {
        const sVruSample& newest = At(m_count - 1);
        sample.dRollMean = newest.dRollMean;
        sample.dPitchMean = newest.dPitchMean;
        sample.dHeaveMean = newest.dHeaveMean;
        sample.dWindow = newest.dWindow;
    }
    return result;
}

void CVRURingBuffer::OnStored() {
    sVruSample& newest = m_store[static_cast<size_t>(SlotAt(m_count - 1))];
    const double window = m_filterWindow;
    if (!(window > 0.0)) {
        newest.dRollMean = newest.dPitchMean = newest.dHeaveMean = newest.dWindow = 0.0;
        return;
    }
    const CVOKTime start = m_newest - window;
    double roll = newest.dRoll;
    double pitch = newest.dPitch;
    double heave = newest.dHeave;
    int n = 1;
    for (int k = m_count - 2; k >= 0 && !(TimeAt(k) < start); --k) {
        const sVruSample& s = At(k);
        roll += s.dRoll;
        pitch += s.dPitch;
        heave += s.dHeave;
        ++n;
    }
    newest.dRollMean = roll / n;
    newest.dPitchMean = pitch / n;
    // The heave mean fades in with the fill level and is 0.0 once the ring is full.
    const double fill = m_capacity > 1 ? static_cast<double>(m_count - 1) / (m_capacity - 1) : 1.0;
    newest.dHeaveMean = static_cast<DWORD>(m_count) < m_capacity ? (1.0 - fill) * heave / n : 0.0;
    newest.dWindow = window;
}

int CVRURingBuffer::Fill(DWORD systemId, IpcBufferHandle* handle) {
    return FillEx(systemId, handle, false);
}

int CVRURingBuffer::FillEx(DWORD systemId, IpcBufferHandle* handle, bool alreadyLocked) {
    return FillFromHost(systemId, handle, alreadyLocked, VRU_BLOCK_RING, &HasValue);
}

bool CVRURingBuffer::ReadLatestRecord(DWORD id, IpcBufferHandle* handle, sVruSample& sample) {
    return ReadFirstHostRecord(handle, VRU_BLOCK_SAMPLE, sizeof(sVruSample), &sample,
                               [id](const BYTE* r) {
                                   DWORD recordId;
                                   std::memcpy(&recordId, r + offsetof(sVruSample, dwSystemId),
                                               sizeof recordId);
                                   return recordId == id;
                               });
}

int CVRURingBuffer::AddLatestFromHost(DWORD id, IpcBufferHandle* handle, sVruSample& sample) {
    if (!ReadLatestRecord(id, handle, sample)) return 0;
    if ((m_filterFlags & FILTER_QUALITY) != 0 && !HasValue(sample)) return 0;
    return AddSample(sample);
}

int CVRURingBuffer::InterpolateAttitude(const CVOKTime& t, const sObsDef* rollDef,
                                        const sObsDef* pitchDef, const sObsDef* heaveDef,
                                        double* roll, double* pitch, double* heave,
                                        double* rollMean, double* pitchMean, double* heaveMean,
                                        DWORD* rotationOrder, DWORD* validMask, double* rollSd,
                                        double* pitchSd, double* heaveSd) {
    if (!t.IsValid()) return 0;
    CVOKTime timeA;
    CVOKTime timeB;
    const sVruSample* a = nullptr;
    const sVruSample* b = nullptr;
    const int found = FindNeighbours(t, timeA, timeB, a, b);
    if (found == 0 || a == nullptr || b == nullptr) return 0;
    double wA = 0.0;
    double wB = 1.0;
    if (found != 1) ComputeInterpolationWeights(t, timeA, timeB, wA, wB);

    const bool withMeans = m_filterWindow > 0.0;
    sComponent r;
    sComponent p;
    sComponent h;
    DWORD mask = 0;
    if (rollDef != nullptr && IsRollValid(*a) && IsRollValid(*b)) {
        r = Blend(rollDef, wA, wB, a->dRoll, b->dRoll, a->dRollMean, b->dRollMean, a->fRollQuality,
                  b->fRollQuality, withMeans);
        mask |= VRU_ROLL_VALID;
    }
    if (pitchDef != nullptr && IsPitchValid(*a) && IsPitchValid(*b)) {
        p = Blend(pitchDef, wA, wB, a->dPitch, b->dPitch, a->dPitchMean, b->dPitchMean,
                  a->fPitchQuality, b->fPitchQuality, withMeans);
        mask |= VRU_PITCH_VALID;
    }
    if (heaveDef != nullptr && IsHeaveValid(*a) && IsHeaveValid(*b)) {
        // The heave sensor lags: with a delay, heave comes from the pair around t - delay.
        const sVruSample* ha = a;
        const sVruSample* hb = b;
        double hA = wA;
        double hB = wB;
        if (m_verticalDelay != 0.0) {
            const CVOKTime delayed = t - m_verticalDelay;
            CVOKTime dA;
            CVOKTime dB;
            const sVruSample* da = nullptr;
            const sVruSample* db = nullptr;
            const int again = FindNeighbours(delayed, dA, dB, da, db);
            if (again != 0 && da != nullptr && db != nullptr) {
                ha = da;
                hb = db;
                hA = 0.0;
                hB = 1.0;
                if (again != 1) ComputeInterpolationWeights(delayed, dA, dB, hA, hB);
            }
        }
        h = Blend(heaveDef, hA, hB, ha->dHeave, hb->dHeave, ha->dHeaveMean, hb->dHeaveMean,
                  a->fHeaveQuality, b->fHeaveQuality, withMeans);
        if (m_leverArm != nullptr && rollDef != nullptr && pitchDef != nullptr &&
            IsRollAndPitchValid(*a) && IsRollAndPitchValid(*b))
            h.value = CorrectHeightForAttitudeChange(m_leverArm.get(), r.value, p.value, h.value,
                                                     r.mean, p.mean, h.mean, -1);
        mask |= VRU_HEAVE_VALID;
    }
    Put(roll, r.value);
    Put(pitch, p.value);
    Put(heave, h.value);
    Put(rollMean, r.mean);
    Put(pitchMean, p.mean);
    Put(heaveMean, h.mean);
    Put(rollSd, r.sd);
    Put(pitchSd, p.sd);
    Put(heaveSd, h.sd);
    if (rotationOrder != nullptr) *rotationOrder = m_rotationOrder;
    if (validMask != nullptr) *validMask = mask;
    return 1;
}

int CVRURingBuffer::GetLatestMeans(double& rollMean, double& pitchMean, double& heaveMean,
                                   double& window) const {
    if (m_count < 1) {
        rollMean = pitchMean = heaveMean = 0.0;
        return 0;
    }
    const sVruSample& newest = At(m_count - 1);
    rollMean = newest.dRollMean;
    pitchMean = newest.dPitchMean;
    heaveMean = newest.dHeaveMean;
    window = newest.dWindow;
    return m_count;
}
