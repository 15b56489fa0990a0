#include "driver/nav_ring_buffer.h"

#include <cmath>
#include <cstring>

#include "definitions/lists/obs_type_properties.h"
#include "foundation/attitude.h"

namespace {

template <class T>
T ReadAt(const BYTE* record, size_t offset) {
    T value;
    std::memcpy(&value, record + offset, sizeof value);
    return value;
}

// v into [low, low + span) by whole spans, computed rather than stepped so that a huge value
// costs no more than a small one.
double WrapIntoRange(double v, double low, double span) {
    if (v >= low && v < low + span) return v;
    double r = std::fmod(v - low, span);
    if (r < 0.0) r += span;
    const double wrapped = low + r;
    return wrapped >= low + span ? low : wrapped;
}

bool PositionRecordHasId(const BYTE* record, DWORD id) {
    return ReadAt<DWORD>(record, offsetof(PosRecord, dwLatitudeId)) == id ||
           ReadAt<DWORD>(record, offsetof(PosRecord, dwLongitudeId)) == id ||
           ReadAt<DWORD>(record, offsetof(PosRecord, dwHeightId)) == id;
}

}  // namespace

CNavRingBuffer::CNavRingBuffer(DWORD capacity) : CSampleRing(capacity) {}

CNavRingBuffer::CNavRingBuffer(DWORD capacity, const sObsDef* def, double interval,
                               double maxExtrapolation, const sNodeDef* node)
    : CSampleRing(capacity, def, interval, maxExtrapolation, node) {}

int CNavRingBuffer::AddSample(const NavRecord& sample) {
    bool stored = false;
    return StoreSample(sample, HasValue(sample), stored);
}

int CNavRingBuffer::Fill(DWORD systemId, IpcBufferHandle* handle) {
    return FillEx(systemId, handle, false);
}

int CNavRingBuffer::FillEx(DWORD systemId, IpcBufferHandle* handle, bool alreadyLocked) {
    return FillFromHost(systemId, handle, alreadyLocked, NAV_BLOCK_RING, &HasValue);
}

bool CNavRingBuffer::ReadLatestRecord(DWORD id, IpcBufferHandle* handle, NavRecord& sample,
                                      DWORD blockType) {
    switch (blockType) {
    case NAV_BLOCK_SAMPLE:
        return ReadFirstHostRecord(handle, blockType, sizeof(NavRecord), &sample, [id](const BYTE* r) {
            return ReadAt<DWORD>(r, offsetof(NavRecord, dwObsId)) == id;
        });
    case NAV_BLOCK_POSITION: {
        PosRecord record;
        if (!ReadLatestPositionRecord(id, handle, record)) return false;
        sample = NavSampleFromPositionRecord(record);
        return true;
    }
    case NAV_BLOCK_TYPE48: {
        BYTE record[NAV_TYPE48_RECORD_SIZE];
        if (!ReadFirstHostRecord(handle, blockType, sizeof record, record, [id](const BYTE* r) {
                return ReadAt<DWORD>(r, 20) == id;
            }))
            return false;
        sample = NavSampleFromType48Record(record);
        return true;
    }
    default:
        return false;
    }
}

bool CNavRingBuffer::ReadLatestPositionRecord(DWORD id, IpcBufferHandle* handle, PosRecord& record) {
    return ReadFirstHostRecord(handle, NAV_BLOCK_POSITION, sizeof(PosRecord), &record,
                               [id](const BYTE* r) { return PositionRecordHasId(r, id); });
}

int CNavRingBuffer::AddLatestFromHost(DWORD id, IpcBufferHandle* handle, NavRecord& sample,
                                      DWORD blockType) {
    if (!ReadLatestRecord(id, handle, sample, blockType)) return 0;
    if ((m_filterFlags & FILTER_QUALITY) != 0 && !HasValue(sample)) return 0;
    return AddSample(sample);
}

int CNavRingBuffer::InterpolateValue(const CVOKTime& t, const sObsDef* def, double& value,
                                     double roll, double pitch, int order) {
    if (!t.IsValid()) return 0;
    CVOKTime timeA;
    CVOKTime timeB;
    const NavRecord* a = nullptr;
    const NavRecord* b = nullptr;
    const int found = FindNeighbours(t, timeA, timeB, a, b);
    if (found == 0 || a == nullptr || b == nullptr) return 0;
    double weightA = 0.0;
    double weightB = 1.0;
    if (found != 1) ComputeInterpolationWeights(t, timeA, timeB, weightA, weightB);

    const double valueA = a->dHeading;
    double valueB = b->dHeading;
    if (!std::isfinite(valueA) || !std::isfinite(valueB)) return 0;
    const bool wraps = m_angleSpan > 0.0 && std::isfinite(m_angleSpan) && std::isfinite(m_angleLow);
    if (wraps && std::fabs(valueB - valueA) > m_angleSpan / 2.0)
        valueB += valueB < valueA ? m_angleSpan : -m_angleSpan;
    double v = weightA * valueA + weightB * valueB;
    if (def != nullptr) v += def->correction1 + def->correction2;
    if (!std::isfinite(v)) return 0;
    // The top of the range is the bottom again: across north, 360 reads as 0.
    if (wraps) v = WrapIntoRange(v, m_angleLow, m_angleSpan);
    if (def != nullptr && def->scale != 0.0) v *= def->scale;
    if (def != nullptr && order >= 0 && m_leverArm != nullptr) {
        const int sense = GetObsTypeVerticalSense(def);
        if (sense != 0)
            v = ReduceHeightByLeverArm(m_leverArm.get(), v, sense >= 0, roll, pitch,
                                       static_cast<int>(m_rotationOrder));
    }
    value = v;
    return 1;
}

NavRecord NavSampleFromPositionRecord(const PosRecord& record) {
    const BYTE* bytes = reinterpret_cast<const BYTE*>(&record);
    NavRecord sample{};
    sample.stTime = record.stFixTime;
    sample.dwObsId = record.dwHeightId;
    sample.dHeading = record.dHeight;
    sample.fStatus = record.fSdHeight;
    sample.dValue2 = ReadAt<double>(bytes, 16);
    sample.dValue3 = ReadAt<double>(bytes, 24);
    return sample;
}

NavRecord NavSampleFromType48Record(const BYTE* record) {
    NavRecord sample{};
    std::memcpy(&sample.stTime, record + 2, sizeof sample.stTime);
    sample.dwObsId = ReadAt<DWORD>(record, 20);
    sample.dHeading = ReadAt<double>(record, 40);
    sample.fStatus = ReadAt<float>(record, 48);
    return sample;
}
