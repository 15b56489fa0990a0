// A ring of fixed-size samples: the cyclic store, the index of its slots in time order and every
// look-up by time, neighbour search and copy. A sample's time is the SYSTEMTIME `stTime` in its
// first 16 bytes. Index entries k count from the oldest sample (0) to the newest (count - 1).
// Instantiated for the navigation and the attitude samples (result_records.h).
#pragma once

#include <vector>

#include "driver/result_records.h"
#include "driver/ring_buffer.h"

template <class TSample>
class CSampleRing : public CRingBuffer {
public:
    // Capacity 0: no store.
    CSampleRing();
    explicit CSampleRing(DWORD capacity);
    CSampleRing(DWORD capacity, const sObsDef* def, double interval, double maxExtrapolation,
                const sNodeDef* node);

    // A zeroed store of capacity samples; a capacity that cannot be had leaves none.
    void Reset(DWORD capacity) override;
    void Free() override;
    void Clear() override;
    void FindHead() override;
    void BuildIndex() override;
    int FindByTime(const CVOKTime& t, int& index, int mode) override;
    // In the span, and not beyond the margin-th sample from either end; a margin above the count
    // asks only for the span, one below 1 counts as 1.
    bool IsInRange(const CVOKTime& t, int margin) override;

    // True when both ends are found and first <= last.
    bool FindIndexRange(const CVOKTime& t1, const CVOKTime& t2, int& first, int& last, int flags);
    bool GetSample(TSample& sample, int k) const;
    bool GetNewest(TSample& sample) const;
    bool GetOldest(TSample& sample) const;
    // The newest sample at or before t, else the oldest; t becomes its time. False when empty.
    bool FindLastAtOrBefore(TSample& sample, CVOKTime& t) const;
    // Smallest and largest time over the used slots; returns the count (0: both invalid).
    int GetTimeSpanByScan(CVOKTime& oldest, CVOKTime& newest) const;
    // The samples of FindIndexRange in time order; returns their number, 0 on failure.
    int GetSamplesBetween(const CVOKTime& t1, const CVOKTime& t2,
                          std::vector<const TSample*>& samples, int flags);
    int GetAllSamples(std::vector<const TSample*>& samples) const;
    // -1 for a pointer that is not into the store.
    int GetSlotOfSample(const TSample* sample) const;
    // The sample at slot `iterator`, which then moves on (wrapping at the capacity); null at the
    // write position, at a slot that holds no sample, or on an empty ring.
    const TSample* NextSample(int& iterator) const;
    // The other ring's samples; from a ring of another capacity its newest ones that fit.
    void CopyFrom(const CSampleRing& other);
    // The two samples to interpolate or extrapolate t from: 0 none, 1 one sample (a == b),
    // 2 a before and b after t, 3 both on one side of t.
    int FindNeighbours(const CVOKTime& t, CVOKTime& timeA, CVOKTime& timeB, const TSample*& a,
                       const TSample*& b) const;

    // The store in slot order: capacity samples, of which GetCount () are in use.
    const TSample* GetStore() const { return m_store.data(); }

    static CVOKTime SampleTime(const TSample& sample);

protected:
    // The add rules shared by both rings; stored tells whether the sample went in.
    int StoreSample(const TSample& sample, bool hasValue, bool& stored);
    // Called after each sample that goes in, the newest then; also for a kept outlier stored late.
    virtual void OnStored() {}
    // Copies the first block of blockType whose first record carries systemId (offset 16) into
    // the store; the lock is released before returning, also when the caller had taken it.
    int FillFromHost(DWORD systemId, IpcBufferHandle* handle, bool alreadyLocked, DWORD blockType,
                     bool (*hasValue)(const TSample&));
    // The slot of index entry k (0 <= k < count).
    int SlotAt(int k) const {
        const int slot = m_indexHead + k;
        return slot < m_count ? slot : slot - m_count;
    }
    const TSample& At(int k) const { return m_store[static_cast<size_t>(SlotAt(k))]; }
    CVOKTime TimeAt(int k) const { return SampleTime(At(k)); }
    // Index entries lo <= hi that bracket t (oldest <= t <= newest); true with lo == hi when a
    // search step met t exactly.
    bool Bracket(const CVOKTime& t, int& lo, int& hi) const;

    std::vector<TSample> m_store;
    // The last sample refused as an outlier, while the next add may confirm it.
    TSample m_outlier{};
    CVOKTime m_outlierTime;
    bool m_holdsOutlier = false;
    // The index in time order: slots head .. count - 1, then 0 .. head - 1. It is always that
    // rotation of the slots, so its head says all of it, and an add moves the head instead of
    // writing the index anew.
    int m_indexHead = 0;

private:
    // Puts a sample newer than the newest (or, without the time-order filter, any) into the store.
    void Insert(const TSample& sample, const CVOKTime& t);
    // Drops the samples at or after t; the rest lie in time order from slot 0.
    void DropFrom(const CVOKTime& t);
};

extern template class CSampleRing<NavRecord>;
extern template class CSampleRing<sVruSample>;
