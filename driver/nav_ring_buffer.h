// The navigation ring: 56-byte samples of one value with a quality or status (a heading, say),
// added one by one or taken from the host's navigation ring blocks, and interpolated at a time.
#pragma once

#include "driver/result_records.h"
#include "driver/sample_ring.h"

// Block types of the host's buffer that hold navigation samples or records that convert to them.
constexpr DWORD NAV_BLOCK_SAMPLE = 11;     // single 56-byte samples
constexpr DWORD NAV_BLOCK_POSITION = 35;   // 256-byte position records
constexpr DWORD NAV_BLOCK_TYPE48 = 48;     // 80-byte records
constexpr DWORD NAV_BLOCK_RING = 86;       // a navigation ring's store
constexpr DWORD NAV_TYPE48_RECORD_SIZE = 80;

class CNavRingBuffer : public CSampleRing<NavRecord> {
public:
    CNavRingBuffer() = default;
    explicit CNavRingBuffer(DWORD capacity);
    CNavRingBuffer(DWORD capacity, const sObsDef* def, double interval, double maxExtrapolation,
                   const sNodeDef* node);

    // 1, or 0 for a sample without a valid value (still stored) and for a refused one: with the
    // time-order filter only samples strictly newer than the newest go in. A sample older than
    // the oldest empties the ring first.
    int AddSample(const NavRecord& sample);
    int Fill(DWORD systemId, IpcBufferHandle* handle) override;
    // Takes the first navigation ring block whose first sample carries systemId; the buffer's
    // lock is released before returning, also when the caller had taken it.
    int FillEx(DWORD systemId, IpcBufferHandle* handle, bool alreadyLocked);
    // The first record of id in blocks of blockType (NAV_BLOCK_SAMPLE, NAV_BLOCK_POSITION or
    // NAV_BLOCK_TYPE48) as a navigation sample.
    bool ReadLatestRecord(DWORD id, IpcBufferHandle* handle, NavRecord& sample,
                          DWORD blockType = NAV_BLOCK_SAMPLE);
    // The first position record with id among its three definition ids.
    bool ReadLatestPositionRecord(DWORD id, IpcBufferHandle* handle, PosRecord& record);
    // ReadLatestRecord, then AddSample; a sample without a valid value is refused under the
    // quality filter.
    int AddLatestFromHost(DWORD id, IpcBufferHandle* handle, NavRecord& sample,
                          DWORD blockType = NAV_BLOCK_SAMPLE);
    // The value at t, wrapped into the angular range and with the definition's corrections,
    // scale and lever-arm reduction (order >= 0). 0 for an invalid time, no neighbours or a
    // value that is not finite.
    int InterpolateValue(const CVOKTime& t, const sObsDef* def, double& value, double roll,
                         double pitch, int order);

    static bool HasValue(const NavRecord& sample) { return sample.fStatus >= 0.0f; }
};

// The navigation sample of a position record (its height) and of an 80-byte type 48 record.
NavRecord NavSampleFromPositionRecord(const PosRecord& record);
NavRecord NavSampleFromType48Record(const BYTE* record);
