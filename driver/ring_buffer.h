// The base of the time-ordered sample rings: the last N samples of one observation with the
// settings that its definition gives them (gap limit, extrapolation, vertical delay, filter
// window, angular range, rotation order, lever arm). The store, the time index and every look-up
// that touches samples live in the sample ring (sample_ring.h). No operation throws; rings are
// not synchronised.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>

#include "compat/object.h"
#include "compat/windows_types.h"
#include "definitions/records/definition_records.h"
#include "foundation/time_value.h"
#include "platform/ipc_buffer_handle.h"

class CRingBuffer : public CObject {
public:
    // Modes of FindByTime.
    enum eFindMode : int {
        FIND_AT_OR_BEFORE = 0,
        FIND_AT_OR_AFTER = 1,
        FIND_BEFORE = 2,
        FIND_AFTER = 3,
    };
    // Results of FindByTime: nothing, found inside the span, or the nearest end outside it.
    static constexpr int FOUND_NONE = 0;
    static constexpr int FOUND_INSIDE = 2;
    static constexpr int FOUND_OUTSIDE = 3;
    // Flags of FindIndexRange. The extensions take effect only with their closed bound.
    static constexpr int RANGE_CLOSED_START = 1;
    static constexpr int RANGE_CLOSED_END = 2;
    static constexpr int RANGE_EXTEND_START = 4;
    static constexpr int RANGE_EXTEND_END = 8;
    static constexpr int RANGE_NO_FALLBACK = 16;
    // Filter flags: report samples without a valid value; accept only strictly newer samples.
    static constexpr int FILTER_QUALITY = 1;
    static constexpr int FILTER_TIME_ORDER = 2;
    // With the time-order filter, a sample more than this many seconds older than the newest is
    // refused and kept in mind. When the next one is that far behind too and not older than it, the
    // time stepped back for good (a clock set back, a time of another day after a stray one): the
    // samples ahead of the kept one go and both are stored, so that one wrong time never stops the
    // ring until that time comes again, and one outlier throws nothing away. Nearer ones are refused.
    static constexpr double TIME_ORDER_RESTART_SECONDS = 1.0;

    explicit CRingBuffer(DWORD capacity);
    CRingBuffer(DWORD capacity, const sObsDef* def, double interval, double maxExtrapolation,
                const sNodeDef* node);
    ~CRingBuffer() override;
    CRingBuffer(const CRingBuffer&) = delete;
    CRingBuffer& operator=(const CRingBuffer&) = delete;

    // A negative interval or maximum extrapolation takes the type's default. Without a
    // definition only the lever arm is set; without a node the lever arm stays.
    virtual void Init(const sObsDef* def, double interval, double maxExtrapolation,
                      const sNodeDef* node);
    // Settings and contents back to the start state (filter flags 3).
    virtual void Reset(DWORD capacity);
    virtual void Free();
    // Empties the ring and keeps the settings.
    virtual void Clear();
    // Finds the oldest slot of a store written from outside, then builds the index.
    virtual void FindHead() = 0;
    virtual void BuildIndex() = 0;
    virtual int Fill(DWORD systemId, IpcBufferHandle* handle) = 0;
    // Index counted from the oldest sample; FOUND_NONE, FOUND_INSIDE or FOUND_OUTSIDE.
    virtual int FindByTime(const CVOKTime& t, int& index, int mode) = 0;
    // Non-empty and oldest <= t <= newest.
    virtual bool IsInRange(const CVOKTime& t, int margin);

    void SetUpdateInterval(double seconds);
    void SetMaxExtrapolation(double seconds);
    void SetFilterWindow(double seconds);
    void SetVerticalDelay(double seconds);
    void SetRotationOrder(DWORD order);
    void SetAngularRange(double a, double b);
    void SetAngularRangeAround(double a, double b, double centre);
    void SetAngularRangeFromObsDef(const sObsDef* def);
    void SetAngularRangeFromObsDefAround(const sObsDef* def, double centre);
    // Keeps a lever arm only for a definition with a vertical sense and a non-zero offset.
    void SetLeverArm(double x, double y, double z, const sObsDef* def);
    void SetFilterFlags(int flags) { m_filterFlags = flags; }

    // Returns count; both times invalid and 0 when empty.
    int GetTimeSpan(CVOKTime& oldest, CVOKTime& newest) const;

    // Corrections with the ring's lever arm; an order of 0 or more is replaced by the ring's.
    double GetLeverArmDeltaZ(double roll, double pitch, int order) const;
    double GetLeverArmDeltaZChange(double roll1, double pitch1, double roll2, double pitch2,
                                   int order) const;
    double CorrectHeightForAttitude(double roll1, double pitch1, double height, double roll2,
                                    double pitch2, double offset, int order) const;
    double AddLeverArmDeltaZ(double roll1, double pitch1, double value, double roll2,
                             double pitch2, double unused, int order) const;
    double ReduceHeight(double height, const sObsDef* def, double roll, double pitch,
                        int order) const;
    double ExtendHeight(double height, const sObsDef* def, double roll, double pitch,
                        int order) const;

    // Weights of the samples at tA and tB for a value at t; beyond either end the ring
    // extrapolates at most its maximum extrapolation, and with none holds the end sample.
    void ComputeInterpolationWeights(const CVOKTime& t, const CVOKTime& tA, const CVOKTime& tB,
                                     double& weightA, double& weightB) const;

    DWORD GetCapacity() const { return m_capacity; }
    int GetCount() const { return m_count; }
    int GetWritePosition() const { return m_writePosition; }
    DWORD GetRotationOrder() const { return m_rotationOrder; }
    double GetVerticalDelay() const { return m_verticalDelay; }
    double GetFilterWindow() const { return m_filterWindow; }
    double GetUpdateInterval() const { return m_updateInterval; }
    double GetMaxExtrapolation() const { return m_maxExtrapolation; }
    double GetAngleLow() const { return m_angleLow; }
    double GetAngleHigh() const { return m_angleHigh; }
    double GetAngleSpan() const { return m_angleSpan; }
    // x, y, z, or null.
    const double* GetLeverArm() const { return m_leverArm.get(); }
    int GetFilterFlags() const { return m_filterFlags; }
    const CVOKTime& GetOldestTime() const { return m_oldest; }
    const CVOKTime& GetNewestTime() const { return m_newest; }
    // How far the sample kept in mind lay before the newest when the last add started the ring
    // again from it; 0.0 when it did not.
    double GetRestartStep() const { return m_restartStep; }
    // Samples refused as outliers (more than TIME_ORDER_RESTART_SECONDS behind the newest) that no
    // later one confirmed, since the ring was made.
    uint64_t GetRefusedOutliers() const { return m_refusedOutliers; }

protected:
    // Under the handle's lock (released before returning), walks the blocks of blockType whose
    // records are recordSize bytes, and their records, in order; the first record that match
    // accepts is copied to record. False, record untouched, when none does or the lock fails.
    static bool ReadFirstHostRecord(IpcBufferHandle* handle, DWORD blockType, DWORD recordSize,
                                    void* record, const std::function<bool(const BYTE*)>& match);

    DWORD m_capacity = 0;
    int m_writePosition = 0;
    int m_count = 0;
    DWORD m_rotationOrder = 0;
    double m_verticalDelay = 0.0;
    double m_filterWindow = 0.0;
    double m_updateInterval = 0.0;
    double m_maxExtrapolation = 0.0;
    double m_angleLow = 0.0;
    double m_angleHigh = 0.0;
    double m_angleSpan = 0.0;
    std::unique_ptr<double[]> m_leverArm;
    int m_filterFlags = FILTER_QUALITY | FILTER_TIME_ORDER;
    CVOKTime m_oldest;
    CVOKTime m_newest;
    double m_restartStep = 0.0;
    uint64_t m_refusedOutliers = 0;

private:
    void ResetSettings(DWORD capacity);
    int ResolveOrder(int order) const;
};

// The same corrections with a given lever arm (null: none), the order passed as it is.
double GetLeverArmDeltaZ(const double* leverArm, double roll, double pitch, int order);
double GetLeverArmDeltaZChange(const double* leverArm, double roll1, double pitch1, double roll2,
                               double pitch2, int order);
double CorrectHeightForAttitude(const double* leverArm, double roll1, double pitch1, double height,
                                double roll2, double pitch2, double offset, int order);
double AddLeverArmDeltaZ(const double* leverArm, double roll1, double pitch1, double value,
                         double roll2, double pitch2, double unused, int order);
// Unchanged for a definition without a vertical sense.
double ReduceHeight(const double* leverArm, double height, const sObsDef* def, double roll,
                    double pitch, int order);
double ExtendHeight(const double* leverArm, double height, const sObsDef* def, double roll,
                    double pitch, int order);
