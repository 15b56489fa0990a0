#include "driver/sample_ring.h"

#include <algorithm>
#include <cstring>
#include <exception>
#include <functional>

#include "foundation/system_time.h"

template <class TSample>
CSampleRing<TSample>::CSampleRing() : CRingBuffer(0) {}

template <class TSample>
CSampleRing<TSample>::CSampleRing(DWORD capacity) : CRingBuffer(capacity) {
    CSampleRing::Reset(capacity);
}

template <class TSample>
CSampleRing<TSample>::CSampleRing(DWORD capacity, const sObsDef* def, double interval,
                                  double maxExtrapolation, const sNodeDef* node)
    : CRingBuffer(capacity) {
    CSampleRing::Reset(capacity);
    Init(def, interval, maxExtrapolation, node);
}

template <class TSample>
CVOKTime CSampleRing<TSample>::SampleTime(const TSample& sample) {
    return CVOKTime(SystemTimeToMjdTime(sample.stTime));
}

template <class TSample>
void CSampleRing<TSample>::Reset(DWORD capacity) {
    CRingBuffer::Reset(capacity);
    m_holdsOutlier = false;
    try {
        m_store.assign(capacity, TSample{});
        m_indexHead = 0;
    } catch (const std::exception&) {
        Free();
    }
}

template <class TSample>
void CSampleRing<TSample>::Free() {
    CRingBuffer::Free();
    m_holdsOutlier = false;
    std::vector<TSample>().swap(m_store);
    m_indexHead = 0;
}

template <class TSample>
void CSampleRing<TSample>::Clear() {
    CRingBuffer::Clear();
    m_holdsOutlier = false;
    std::fill(m_store.begin(), m_store.end(), TSample{});
    m_indexHead = 0;
}

template <class TSample>
void CSampleRing<TSample>::FindHead() {
    m_holdsOutlier = false;
    m_writePosition = -1;
    if (m_count > 0) {
        // Every slot is compared with slot 0: the first older one is where the writer wrapped.
        const CVOKTime t0 = SampleTime(m_store[0]);
        for (int i = 1; i < m_count; ++i) {
            if (SampleTime(m_store[static_cast<size_t>(i)]) < t0) {
                m_writePosition = i;
                break;
            }
        }
    }
    if (m_writePosition < 0) {
        m_writePosition = m_count;
        if (static_cast<DWORD>(m_writePosition) == m_capacity) m_writePosition = 0;
    }
    BuildIndex();
}

template <class TSample>
void CSampleRing<TSample>::BuildIndex() {
    if (m_count < 1) {
        m_oldest = CVOKTime();
        m_newest = CVOKTime();
        return;
    }
    m_indexHead = std::clamp(m_writePosition, 0, m_count);
    m_oldest = TimeAt(0);
    m_newest = TimeAt(m_count - 1);
}

template <class TSample>
bool CSampleRing<TSample>::Bracket(const CVOKTime& t, int& lo, int& hi) const {
    lo = 0;
    hi = m_count - 1;
    do {
        const int mid = lo + (hi - lo) / 2;
        const CVOKTime tm = TimeAt(mid);
        if (t > tm) {
            lo = mid;
        } else if (t < tm) {
            hi = mid;
        } else {
            lo = hi = mid;
            return true;
        }
    } while (hi - lo >= 2);
    return false;
}

template <class TSample>
int CSampleRing<TSample>::FindByTime(const CVOKTime& t, int& index, int mode) {
    if (m_count < 1) return FOUND_NONE;
    if (t > m_newest) {
        index = m_count - 1;
        return mode == FIND_AT_OR_BEFORE || mode == FIND_BEFORE ? FOUND_OUTSIDE : FOUND_NONE;
    }
    if (t < m_oldest) {
        index = 0;
        return mode == FIND_AT_OR_AFTER || mode == FIND_AFTER ? FOUND_OUTSIDE : FOUND_NONE;
    }
    int lo = 0;
    int hi = 0;
    Bracket(t, lo, hi);
    const CVOKTime tLo = TimeAt(lo);
    const CVOKTime tHi = TimeAt(hi);
    int pick = -1;
    switch (mode) {
    case FIND_AT_OR_BEFORE: pick = (t == tHi && t != tLo) ? hi : lo; break;
    case FIND_AT_OR_AFTER: pick = t == tLo ? lo : hi; break;
    case FIND_BEFORE: pick = t != tLo ? lo : lo - 1; break;
    case FIND_AFTER: pick = t != tHi ? hi : (hi == m_count - 1 ? -1 : hi + 1); break;
    default: break;
    }
    if (pick < 0) return FOUND_NONE;
    index = pick;
    return FOUND_INSIDE;
}

template <class TSample>
bool CSampleRing<TSample>::IsInRange(const CVOKTime& t, int margin) {
    if (m_count < 1 || t > m_newest || t < m_oldest) return false;
    // A margin of 1 is the span itself, which holds by now.
    if (m_count < margin || margin <= 1) return true;
    return t <= TimeAt(m_count - margin) && t >= TimeAt(margin - 1);
}

template <class TSample>
bool CSampleRing<TSample>::FindIndexRange(const CVOKTime& t1, const CVOKTime& t2, int& first,
                                          int& last, int flags) {
    if (t2 - t1 < 0.0) return false;
    first = last = 0;
    const bool noFallback = (flags & RANGE_NO_FALLBACK) != 0;
    int found;
    if ((flags & RANGE_CLOSED_START) != 0 && (flags & RANGE_EXTEND_START) != 0) {
        found = FindByTime(t1, first, FIND_BEFORE);
        if (found == FOUND_NONE) {
            if (noFallback) return false;
            found = FindByTime(t1, first, FIND_AT_OR_AFTER);
        }
    } else {
        found = FindByTime(t1, first, (flags & RANGE_CLOSED_START) != 0 ? FIND_AT_OR_AFTER : FIND_AFTER);
    }
    if (found == FOUND_NONE) return false;
    if ((flags & RANGE_CLOSED_END) != 0 && (flags & RANGE_EXTEND_END) != 0) {
        found = FindByTime(t2, last, FIND_AFTER);
        if (found == FOUND_NONE) {
            if (noFallback) return false;
            found = FindByTime(t2, last, FIND_AT_OR_BEFORE);
        }
    } else {
        found = FindByTime(t2, last, (flags & RANGE_CLOSED_END) != 0 ? FIND_AT_OR_BEFORE : FIND_BEFORE);
    }
    if (found == FOUND_NONE) return false;
    return first <= last;
}

template <class TSample>
bool CSampleRing<TSample>::GetSample(TSample& sample, int k) const {
    if (k < 0 || k >= m_count) return false;
    sample = At(k);
    return true;
}

template <class TSample>
bool CSampleRing<TSample>::GetNewest(TSample& sample) const {
    return GetSample(sample, m_count - 1);
}

template <class TSample>
bool CSampleRing<TSample>::GetOldest(TSample& sample) const {
    return GetSample(sample, 0);
}

template <class TSample>
bool CSampleRing<TSample>::FindLastAtOrBefore(TSample& sample, CVOKTime& t) const {
    if (m_count < 1) return false;
    int k = m_count - 1;
    while (k > 0 && !(TimeAt(k) <= t)) --k;
    sample = At(k);
    t = TimeAt(k);
    return true;
}

template <class TSample>
int CSampleRing<TSample>::GetTimeSpanByScan(CVOKTime& oldest, CVOKTime& newest) const {
    oldest = CVOKTime();
    newest = CVOKTime();
    for (int slot = 0; slot < m_count; ++slot) {
        const CVOKTime t = SampleTime(m_store[static_cast<size_t>(slot)]);
        if (slot == 0 || t < oldest) oldest = t;
        if (slot == 0 || t > newest) newest = t;
    }
    return m_count;
}

template <class TSample>
int CSampleRing<TSample>::GetSamplesBetween(const CVOKTime& t1, const CVOKTime& t2,
                                            std::vector<const TSample*>& samples, int flags) {
    samples.clear();
    int first = 0;
    int last = 0;
    if (!FindIndexRange(t1, t2, first, last, flags)) return 0;
    for (int k = first; k <= last; ++k) samples.push_back(&At(k));
    return static_cast<int>(samples.size());
}

template <class TSample>
int CSampleRing<TSample>::GetAllSamples(std::vector<const TSample*>& samples) const {
    samples.clear();
    for (int k = 0; k < m_count; ++k) samples.push_back(&At(k));
    return m_count;
}

template <class TSample>
int CSampleRing<TSample>::GetSlotOfSample(const TSample* sample) const {
    const auto less = std::less<const TSample*>();
    if (m_store.empty() || less(sample, m_store.data()) ||
        !less(sample, m_store.data() + m_store.size()))
        return -1;
    return static_cast<int>(sample - m_store.data());
}

template <class TSample>
const TSample* CSampleRing<TSample>::NextSample(int& iterator) const {
    if (iterator < 0 || iterator >= m_count) return nullptr;
    // Just after the ring filled up, the next write goes to slot 0; stopping there keeps a walk
    // over a full ring finite.
    const int stop = static_cast<DWORD>(m_writePosition) == m_capacity ? 0 : m_writePosition;
    if (iterator == stop) return nullptr;
    const TSample* sample = &m_store[static_cast<size_t>(iterator)];
    if (static_cast<DWORD>(++iterator) >= m_capacity) iterator = 0;
    return sample;
}

template <class TSample>
void CSampleRing<TSample>::CopyFrom(const CSampleRing& other) {
    if (&other == this) return;
    if (other.m_capacity == m_capacity && other.m_store.size() == m_store.size()) {
        m_store = other.m_store;
        m_count = other.m_count;
    } else {
        // Another capacity: its newest samples that fit, in time order from slot 0.
        const int n = std::min(other.m_count, static_cast<int>(m_store.size()));
        std::fill(m_store.begin(), m_store.end(), TSample{});
        for (int k = 0; k < n; ++k) m_store[static_cast<size_t>(k)] = other.At(other.m_count - n + k);
        m_count = n;
    }
    FindHead();
}

template <class TSample>
int CSampleRing<TSample>::FindNeighbours(const CVOKTime& t, CVOKTime& timeA, CVOKTime& timeB,
                                         const TSample*& a, const TSample*& b) const {
    if (!t.IsValid() || m_count < 1) return 0;
    int ia = -1;
    int ib = -1;
    int result = 0;
    const double gap = m_updateInterval;
    if (t == m_newest || t == m_oldest) {
        ia = ib = t == m_newest ? m_count - 1 : 0;
        result = 1;
    } else if (t > m_newest) {
        if (gap != 0.0 && t - m_newest > gap) return 0;
        ib = m_count - 1;
        ia = m_count == 1 ? ib : ib - 1;
        result = m_count == 1 ? 1 : 3;
    } else if (t < m_oldest) {
        if (gap != 0.0 && m_oldest - t > gap) return 0;
        ia = 0;
        ib = m_count == 1 ? 0 : 1;
        result = m_count == 1 ? 1 : 3;
    } else {
        int lo = 0;
        int hi = 0;
        if (Bracket(t, lo, hi)) {
            ia = ib = lo;
            result = 1;
        } else {
            hi = std::min(lo + 1, m_count - 1);
            if (t == TimeAt(hi) || t == TimeAt(lo)) {
                ia = ib = t == TimeAt(hi) ? hi : lo;
                result = 1;
            } else {
                ia = lo;
                ib = hi;
                result = 2;
                if (gap != 0.0) {
                    // Move away from a neighbour farther from t than the gap limit.
                    if (TimeAt(hi) - t > gap) {
                        if (t - TimeAt(lo) > gap) return 0;
                        ia = lo == 0 ? lo : lo - 1;
                        ib = lo;
                        result = 3;
                    }
                    if (t - TimeAt(ia) > gap) {
                        if (ia + 1 > m_count - 1) return 0;
                        ++ia;
                        ib = ib + 1 <= m_count - 1 ? ib + 1 : ia;
                        result = 3;
                    }
                }
            }
        }
    }
    a = &At(ia);
    b = &At(ib);
    timeA = TimeAt(ia);
    timeB = TimeAt(ib);
    return result;
}

template <class TSample>
int CSampleRing<TSample>::StoreSample(const TSample& sample, bool hasValue, bool& stored) {
    stored = false;
    m_restartStep = 0.0;
    if (m_store.empty()) return 0;
    const CVOKTime t = SampleTime(sample);
    int result = 1;
    if (m_filterFlags > 0) {
        if ((m_filterFlags & FILTER_QUALITY) != 0 && !hasValue) result = 0;
        if ((m_filterFlags & FILTER_TIME_ORDER) != 0 && (!t.IsValid() || t <= m_newest)) {
            // Only the very next add can confirm an outlier.
            const bool confirms = m_holdsOutlier && !(t < m_outlierTime);
            m_holdsOutlier = false;
            if (!t.IsValid() || !(m_newest - t > TIME_ORDER_RESTART_SECONDS)) return 0;
            if (!confirms) {
                m_outlier = sample;
                m_outlierTime = t;
                m_holdsOutlier = true;
                ++m_refusedOutliers;
                return 0;
            }
            // Two in a row agree: the time line moved back to the first of them.
            --m_refusedOutliers;
            m_restartStep = m_newest - m_outlierTime;
            DropFrom(m_outlierTime);
            Insert(m_outlier, m_outlierTime);
            // The same time as the kept one is no newer than it.
            if (!(t > m_newest)) return 0;
        }
    }
    m_holdsOutlier = false;
    Insert(sample, t);
    stored = true;
    return result;
}

template <class TSample>
void CSampleRing<TSample>::Insert(const TSample& sample, const CVOKTime& t) {
    if (m_count > 0) {
        if (t < m_oldest) {
            Clear();
        } else if (static_cast<DWORD>(m_writePosition) >= m_capacity) {
            m_writePosition = 0;
        } else if (static_cast<DWORD>(m_count) < m_capacity && m_writePosition < m_count) {
            // A store filled from outside that wrapped without being full: line it up first, so
            // that the new sample takes a free slot instead of the oldest one.
            std::rotate(m_store.begin(), m_store.begin() + m_writePosition, m_store.begin() + m_count);
            m_writePosition = m_count;
        }
    }
    m_store[static_cast<size_t>(m_writePosition)] = sample;
    ++m_writePosition;
    if (static_cast<DWORD>(m_count) < m_capacity) ++m_count;
    // The new sample is the newest entry; the head follows the write position.
    m_indexHead = std::clamp(m_writePosition, 0, m_count);
    m_oldest = TimeAt(0);
    m_newest = t;
    OnStored();
}

template <class TSample>
void CSampleRing<TSample>::DropFrom(const CVOKTime& t) {
    int keep = m_count;
    while (keep > 0 && !(TimeAt(keep - 1) < t)) --keep;
    if (keep == 0) {
        Clear();
        return;
    }
    std::rotate(m_store.begin(), m_store.begin() + m_indexHead, m_store.begin() + m_count);
    std::fill(m_store.begin() + keep, m_store.end(), TSample{});
    m_count = keep;
    m_writePosition = keep;
    m_indexHead = 0;
    m_oldest = TimeAt(0);
    m_newest = TimeAt(keep - 1);
}

template <class TSample>
int CSampleRing<TSample>::FillFromHost(DWORD systemId, IpcBufferHandle* handle, bool alreadyLocked,
                                       DWORD blockType, bool (*hasValue)(const TSample&)) {
    if (handle == nullptr) return 0;
    Vok::MultiIPCBuffer& buffer = handle->buffer;
    struct sRelease {
        Vok::MultiIPCBuffer& buffer;
        ~sRelease() { UnlockIfLocked(&buffer); }
    } release{buffer};
    try {
        if (!alreadyLocked) handle->Lock();
        if (!buffer.IsLocked()) return 0;
        const DWORD blocks = buffer.GetBlockCount();
        DWORD block = blocks;
        for (DWORD i = 0; i < blocks && block == blocks; ++i) {
            if (buffer.GetBlockId(i) != blockType || buffer.GetRecordSize(i) != sizeof(TSample) ||
                buffer.GetRecordCount(i) < 1 || buffer.GetRecordCapacity(i) < 1)
                continue;
            DWORD id = 0;
            std::memcpy(&id, buffer.GetConstRecord(i, 0) + 16, sizeof id);
            if (id == systemId) block = i;
        }
        if (block == blocks) return 0;

        // Everything is read before the ring changes, so a failed read leaves it as it was.
        const DWORD records = std::min(buffer.GetRecordCount(block), buffer.GetRecordCapacity(block));
        const bool filter = (m_filterFlags & FILTER_QUALITY) != 0;
        std::vector<TSample> taken;
        taken.reserve(records);
        for (DWORD j = 0; j < records; ++j) {
            TSample sample;
            std::memcpy(&sample, buffer.GetConstRecord(block, j), sizeof sample);
            if (!filter || hasValue(sample)) taken.push_back(sample);
        }
        if (taken.size() > m_store.size()) {
            // More than the ring holds: keep the newest, in the time order of the block's ring.
            const CVOKTime t0 = SampleTime(taken.front());
            auto head = std::find_if(taken.begin() + 1, taken.end(),
                                     [&](const TSample& s) { return SampleTime(s) < t0; });
            if (head == taken.end()) head = taken.begin();
            std::rotate(taken.begin(), head, taken.end());
            taken.erase(taken.begin(), taken.end() - static_cast<std::ptrdiff_t>(m_store.size()));
        }
        std::copy(taken.begin(), taken.end(), m_store.begin());
        m_count = static_cast<int>(taken.size());
        FindHead();
        return 1;
    } catch (const std::exception&) {
        return 0;
    }
}

template class CSampleRing<NavRecord>;
template class CSampleRing<sVruSample>;
