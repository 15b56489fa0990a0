#include "driver/ring_buffer.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <exception>
#include <vector>

#include "definitions/lists/obs_type_properties.h"
#include "foundation/attitude.h"

namespace {

// Pitch, roll and heave carry a filter window and a vertical delay.
bool HasAttitudeSettings(const sObsDef& def) { return def.obsType >= 46 && def.obsType <= 48; }

// 1 / scale, the fraction of the circle that one unit of the definition's values is.
double CircleFactor(const sObsDef& def) { return def.scale != 0.0 ? 1.0 / def.scale : 1.0; }

}  // namespace

CRingBuffer::CRingBuffer(DWORD capacity) { ResetSettings(capacity); }

CRingBuffer::CRingBuffer(DWORD capacity, const sObsDef* def, double interval,
                         double maxExtrapolation, const sNodeDef* node) {
    ResetSettings(capacity);
    Init(def, interval, maxExtrapolation, node);
}

CRingBuffer::~CRingBuffer() = default;

void CRingBuffer::Init(const sObsDef* def, double interval, double maxExtrapolation,
                       const sNodeDef* node) {
    if (def != nullptr) {
        SetUpdateInterval(interval < 0.0 ? GetObsTypeDefaultInterval(def->obsType) : interval);
        SetMaxExtrapolation(maxExtrapolation < 0.0 ? GetObsTypeDefaultMaxExtrapolation()
                                                   : maxExtrapolation);
        if (HasAttitudeSettings(*def)) {
            SetFilterWindow(def->velocity);
            SetVerticalDelay(def->verticalDelay);
        }
        m_rotationOrder = def->rotationOrder;
        SetAngularRangeFromObsDef(def);
    }
    if (node != nullptr) SetLeverArm(node->x, node->y, node->z, def);
}

void CRingBuffer::ResetSettings(DWORD capacity) {
    m_capacity = capacity;
    m_writePosition = 0;
    m_count = 0;
    m_rotationOrder = 0;
    m_verticalDelay = 0.0;
    m_filterWindow = 0.0;
    m_updateInterval = 0.0;
    m_maxExtrapolation = 0.0;
    m_angleLow = m_angleHigh = m_angleSpan = 0.0;
    m_filterFlags = FILTER_QUALITY | FILTER_TIME_ORDER;
    m_oldest = CVOKTime();
    m_newest = CVOKTime();
    m_leverArm.reset();
}

void CRingBuffer::Reset(DWORD capacity) { ResetSettings(capacity); }

void CRingBuffer::Free() {
    m_oldest = CVOKTime();
    m_newest = CVOKTime();
    m_capacity = 0;
    m_writePosition = 0;
    m_count = 0;
    m_rotationOrder = 0;
    m_verticalDelay = 0.0;
    m_filterWindow = 0.0;
    m_leverArm.reset();
}

void CRingBuffer::Clear() {
    m_writePosition = 0;
    m_count = 0;
    m_oldest = CVOKTime();
    m_newest = CVOKTime();
}

bool CRingBuffer::IsInRange(const CVOKTime& t, int /*margin*/) {
    return m_count >= 1 && m_oldest <= t && t <= m_newest;
}

// The comparisons are written so that NaN falls to the default as well.
void CRingBuffer::SetUpdateInterval(double seconds) { m_updateInterval = seconds > 0.0 ? seconds : 0.0; }

void CRingBuffer::SetMaxExtrapolation(double seconds) {
    m_maxExtrapolation = seconds > 0.0 ? seconds : 0.0;
}

void CRingBuffer::SetFilterWindow(double seconds) {
    const double w = std::min(seconds, 60.0);
    m_filterWindow = w > 0.0 ? w : 0.0;
}

void CRingBuffer::SetVerticalDelay(double seconds) {
    const double d = std::min(seconds, 2.0);
    m_verticalDelay = d > -0.2 ? d : -0.2;
}

void CRingBuffer::SetRotationOrder(DWORD order) { m_rotationOrder = order; }

void CRingBuffer::SetAngularRange(double a, double b) {
    if (a == b) return;
    m_angleLow = std::min(a, b);
    m_angleHigh = std::max(a, b);
    m_angleSpan = m_angleHigh - m_angleLow;
}

void CRingBuffer::SetAngularRangeAround(double a, double b, double centre) {
    if (a == b) return;
    m_angleSpan = std::fabs(b - a);
    m_angleLow = centre - m_angleSpan / 2.0;
    m_angleHigh = centre + m_angleSpan / 2.0;
}

void CRingBuffer::SetAngularRangeFromObsDef(const sObsDef* def) {
    if (def == nullptr) return;
    const double f = CircleFactor(*def);
    if (IsCircularObs(def) != 0) {
        SetAngularRange(0.0, 360.0 * f);
    } else if (IsSignedAngleObs(def) != 0) {
        SetAngularRange(-180.0 * f, 180.0 * f);
    } else {
        m_angleLow = m_angleHigh = m_angleSpan = 0.0;
    }
}

void CRingBuffer::SetAngularRangeFromObsDefAround(const sObsDef* def, double centre) {
    if (IsCircularObs(def) != 0 || IsSignedAngleObs(def) != 0) {
        SetAngularRangeAround(0.0, 360.0 * CircleFactor(*def), centre);
    } else {
        m_angleLow = m_angleHigh = m_angleSpan = 0.0;
    }
}

void CRingBuffer::SetLeverArm(double x, double y, double z, const sObsDef* def) {
    m_leverArm.reset();
    if (GetObsTypeVerticalSense(def) == 0 || (x == 0.0 && y == 0.0 && z == 0.0)) return;
    m_leverArm = std::make_unique<double[]>(3);
    m_leverArm[0] = x;
    m_leverArm[1] = y;
    m_leverArm[2] = z;
}

int CRingBuffer::GetTimeSpan(CVOKTime& oldest, CVOKTime& newest) const {
    if (m_count < 1) {
        oldest = CVOKTime();
        newest = CVOKTime();
        return 0;
    }
    oldest = m_oldest;
    newest = m_newest;
    return m_count;
}

int CRingBuffer::ResolveOrder(int order) const {
    return order < 0 ? order : static_cast<int>(m_rotationOrder);
}

double CRingBuffer::GetLeverArmDeltaZ(double roll, double pitch, int order) const {
    return ::GetLeverArmDeltaZ(m_leverArm.get(), roll, pitch, ResolveOrder(order));
}

double CRingBuffer::GetLeverArmDeltaZChange(double roll1, double pitch1, double roll2,
                                            double pitch2, int order) const {
    return ::GetLeverArmDeltaZChange(m_leverArm.get(), roll1, pitch1, roll2, pitch2,
                                     ResolveOrder(order));
}

double CRingBuffer::CorrectHeightForAttitude(double roll1, double pitch1, double height,
                                             double roll2, double pitch2, double offset,
                                             int order) const {
    return ::CorrectHeightForAttitude(m_leverArm.get(), roll1, pitch1, height, roll2, pitch2,
                                      offset, ResolveOrder(order));
}

double CRingBuffer::AddLeverArmDeltaZ(double roll1, double pitch1, double value, double roll2,
                                      double pitch2, double unused, int order) const {
    return ::AddLeverArmDeltaZ(m_leverArm.get(), roll1, pitch1, value, roll2, pitch2, unused,
                               ResolveOrder(order));
}

double CRingBuffer::ReduceHeight(double height, const sObsDef* def, double roll, double pitch,
                                 int order) const {
    return ::ReduceHeight(m_leverArm.get(), height, def, roll, pitch, ResolveOrder(order));
}

double CRingBuffer::ExtendHeight(double height, const sObsDef* def, double roll, double pitch,
                                 int order) const {
    return ::ExtendHeight(m_leverArm.get(), height, def, roll, pitch, ResolveOrder(order));
}

void CRingBuffer::ComputeInterpolationWeights(const CVOKTime& t, const CVOKTime& tA,
                                              const CVOKTime& tB, double& weightA,
                                              double& weightB) const {
    const double d = t - tA;
    const double span = tB - tA;
    const double e = m_maxExtrapolation;
    if (!(span > 0.0)) {
        weightB = 1.0;
    } else if (d <= 0.0) {
        weightB = e != 0.0 ? std::max(-e, d) / span : 0.0;
    } else if (d < span) {
        weightB = d / span;
    } else {
        weightB = e != 0.0 ? 1.0 + std::min(e, d - span) / span : 1.0;
    }
    weightA = 1.0 - weightB;
}

bool CRingBuffer::ReadFirstHostRecord(IpcBufferHandle* handle, DWORD blockType, DWORD recordSize,
                                      void* record,
                                      const std::function<bool(const BYTE*)>& match) {
    if (handle == nullptr || recordSize == 0) return false;
    struct sRelease {
        Vok::MultiIPCBuffer& buffer;
        ~sRelease() { UnlockIfLocked(&buffer); }
    } release{handle->buffer};
    try {
        if (!handle->Lock()) return false;
        Vok::MultiIPCBuffer& buffer = handle->buffer;
        std::vector<BYTE> bytes(recordSize);
        const DWORD blocks = buffer.GetBlockCount();
        for (DWORD b = 1; b <= blocks; ++b) {
            if (buffer.GetBlockId(b - 1) != blockType || buffer.GetRecordSize(b - 1) != recordSize)
                continue;
            const DWORD records =
                std::min(buffer.GetRecordCount(b - 1), buffer.GetRecordCapacity(b - 1));
            for (DWORD r = 1; r <= records; ++r) {
                if (handle->ReadRecord(b, r, bytes.data(), recordSize) == 1 && match(bytes.data())) {
                    std::memcpy(record, bytes.data(), recordSize);
                    return true;
                }
            }
        }
    } catch (const std::exception&) {
        // A buffer that changed shape or holds a bad descriptor has no record for us.
    }
    return false;
}

double GetLeverArmDeltaZ(const double* leverArm, double roll, double pitch, int order) {
    return leverArm != nullptr ? LeverArmDeltaZ(leverArm, roll, pitch, order) : 0.0;
}

double GetLeverArmDeltaZChange(const double* leverArm, double roll1, double pitch1, double roll2,
                               double pitch2, int order) {
    return leverArm != nullptr
               ? LeverArmDeltaZChange(leverArm, roll1, pitch1, roll2, pitch2, order)
               : 0.0;
}

double CorrectHeightForAttitude(const double* leverArm, double roll1, double pitch1, double height,
                                double roll2, double pitch2, double offset, int order) {
    if (leverArm == nullptr) return height;
    return CorrectHeightForAttitudeChange(leverArm, roll1, pitch1, height, roll2, pitch2, offset,
                                          order);
}

double AddLeverArmDeltaZ(const double* leverArm, double roll1, double pitch1, double value,
                         double roll2, double pitch2, double unused, int order) {
    if (leverArm == nullptr) return value;
    return AddLeverArmDeltaZChange(leverArm, roll1, pitch1, value, roll2, pitch2, unused, order);
}

double ReduceHeight(const double* leverArm, double height, const sObsDef* def, double roll,
                    double pitch, int order) {
    const int sense = GetObsTypeVerticalSense(def);
    if (leverArm == nullptr || sense == 0) return height;
    return ReduceHeightByLeverArm(leverArm, height, sense >= 0, roll, pitch, order);
}

double ExtendHeight(const double* leverArm, double height, const sObsDef* def, double roll,
                    double pitch, int order) {
    const int sense = GetObsTypeVerticalSense(def);
    if (leverArm == nullptr || sense == 0) return height;
    return ExtendHeightByLeverArm(leverArm, height, sense >= 0, roll, pitch, order);
}
