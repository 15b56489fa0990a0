// The records that the position computation publishes per set-up in a shared buffer of blocks,
// the look-up of a node's result, the rule that accepts a result, and the texts of the
// computation's and a node's status bits. The buffer holds pairs of blocks: block 2k-1 a header
// record naming the set-up, block 2k that set-up's result records.
#pragma once

#include <cstddef>
#include <cstdint>

#include "compat/cstring.h"
#include "compat/windows_types.h"

class IpcBufferHandle;

// The result of one node in one set-up, 496 bytes.
struct sAdjustResult {
    static constexpr uint32_t kSize = 496;
    static constexpr uint16_t kVersion = 258;
    static constexpr uint32_t kNoData = 2;

    uint32_t recordSize;
    uint16_t version;
    uint16_t zero6;
    uint32_t nodeId;        // the look-up key
    uint32_t status;        // node status bits
    uint8_t values16[328];
    double factor344;
    double factor352;
    uint8_t values360[136];

    // Zeros, size, version, status "No data", both factors 1.0; returns the version.
    uint16_t Init();
    void SetNoData() { status = kNoData; }
};
static_assert(sizeof(sAdjustResult) == 496);
static_assert(offsetof(sAdjustResult, version) == 4);
static_assert(offsetof(sAdjustResult, nodeId) == 8);
static_assert(offsetof(sAdjustResult, status) == 12);
static_assert(offsetof(sAdjustResult, values16) == 16);
static_assert(offsetof(sAdjustResult, factor344) == 344);
static_assert(offsetof(sAdjustResult, factor352) == 352);
static_assert(offsetof(sAdjustResult, values360) == 360);

// Record 1 of a header block, 40 bytes: the set-up id at 32, the rest carried unread.
struct sAdjustResultHeader {
    uint8_t bytes0[32];
    int32_t setupId;
    uint32_t word36;

    void Clear();
};
static_assert(sizeof(sAdjustResultHeader) == 40);
static_assert(offsetof(sAdjustResultHeader, setupId) == 32);

// The short header form, 24 bytes: the set-up id at 20.
struct sAdjustResultHeaderShort {
    uint8_t bytes0[20];
    int32_t setupId;

    void Clear();
};
static_assert(sizeof(sAdjustResultHeaderShort) == 24);
static_assert(offsetof(sAdjustResultHeaderShort, setupId) == 20);

// A short header, a result and 32 zero bytes, 552 bytes.
struct sAdjustResultRecord {
    sAdjustResultHeaderShort header;
    sAdjustResult result;
    uint8_t zero520[32];

    // Returns the version 258.
    uint16_t Init();
};
static_assert(sizeof(sAdjustResultRecord) == 552);
static_assert(offsetof(sAdjustResultRecord, result) == 24);
static_assert(offsetof(sAdjustResultRecord, zero520) == 520);

// The same followed by 16 zero bytes, 568 bytes.
struct sAdjustResultRecordEx {
    sAdjustResultRecord record;
    uint8_t zero552[16];

    uint16_t Init();
};
static_assert(sizeof(sAdjustResultRecordEx) == 568);
static_assert(offsetof(sAdjustResultRecordEx, zero552) == 552);

// A versioned record of the same family, 232 bytes.
struct sAdjustAuxRecord {
    static constexpr uint32_t kSize = 232;
    static constexpr uint16_t kVersion = 2;

    uint32_t recordSize;
    uint16_t version;
    uint8_t byte6;
    uint8_t byte7;
    uint8_t bytes8[24];
    uint32_t word32;
    uint8_t bytes36[12];
    double value48;
    uint8_t bytes56[136];
    int32_t refs192[3];
    uint8_t bytes204[28];

    // Zeros, size, version, 2 at 32, -1.0 at 48, -1 at 192, 196, 200; returns the version 2.
    uint16_t Init();
    // Only the word at 32 (2), the byte at 7 (0) and the value at 48 (-1.0).
    void Reset();
};
static_assert(sizeof(sAdjustAuxRecord) == 232);
static_assert(offsetof(sAdjustAuxRecord, byte7) == 7);
static_assert(offsetof(sAdjustAuxRecord, word32) == 32);
static_assert(offsetof(sAdjustAuxRecord, value48) == 48);
static_assert(offsetof(sAdjustAuxRecord, refs192) == 192);
static_assert(offsetof(sAdjustAuxRecord, bytes204) == 204);

// A computation status and its parameter, two 32-bit words wherever a record keeps them.
struct sAdjustStatus {
    uint32_t status;
    uint32_t parameter;  // the node number (i32) for bit 4, the limit (f32) for bit 5, else 0.0
};
static_assert(sizeof(sAdjustStatus) == 8);

// Computation status bits with a parameter.
constexpr uint32_t ADJ_STATUS_SINGULAR = 0x10;
constexpr uint32_t ADJ_STATUS_NO_CONVERGENCE = 0x20;
// Node status bits that the acceptance rule knows.
constexpr uint32_t ADJ_NODE_PREDICTED = 0x10000000;
constexpr uint32_t ADJ_NODE_NO_ROTATION = 0x200000;

// Strictness below 1 accepts any result; otherwise status 0, exactly 1 or "Predicted"; from 2 on
// also exactly "No rotation". 1 or 0.
int IsResultAccepted(int strictness, uint32_t status);

// The first accepted result of the node among the pairs of the set-up; 1 when found. The outputs
// that are given get the header and the result. A block that is missing reads as empty, a record
// that cannot be read or is larger than its destination is not found. The caller holds the
// buffer's lock.
int FindResult(IpcBufferHandle& handle, int32_t setupId, uint32_t nodeId, sAdjustResultHeader* header,
               sAdjustResult* result, int strictness);
// The same for a buffer of short headers.
int FindResultShort(IpcBufferHandle& handle, int32_t setupId, uint32_t nodeId, sAdjustResultHeaderShort* header,
                    sAdjustResult* result, int strictness);

// "OK" for 0, else the texts of the set bits joined by the separator.
CString GetAdjustStatusText(uint32_t status, int32_t nodeNumber, float limit, const char* separator);
CString GetAdjustNodeStatusText(uint32_t status, const char* separator);
// "OK", or the state of the highest-ranking state bit; empty for any other status.
CString GetAdjustNodeStateText(uint32_t status);
// The dilution-of-precision kinds 0 to 6; "N/A" for any other.
CString GetDopName(int32_t kind);
// The status and its parameter; at most one of the bits 4 and 5 stays set (bit 4 wins).
void SetAdjustStatus(sAdjustStatus& record, uint32_t status, int32_t nodeNumber, float limit);
