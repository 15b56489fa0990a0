#include "definitions/lists/adjust_results.h"

#include <cstring>
#include <exception>
#include <initializer_list>

#include "platform/ipc_buffer_handle.h"

namespace {

template <typename T>
void Zero(T& record) {
    std::memset(static_cast<void*>(&record), 0, sizeof(T));
}

// The record count of a block; 0 for a block that the buffer does not hold, capped at what the
// block can hold.
DWORD ReadableRecords(IpcBufferHandle& handle, DWORD block) {
    try {
        const DWORD count = handle.buffer.GetRecordCount(block - 1);
        const DWORD capacity = handle.buffer.GetRecordCapacity(block - 1);
        return count < capacity ? count : capacity;
    } catch (const std::exception&) {
        return 0;
    }
}

DWORD BlockCount(IpcBufferHandle& handle) {
    try {
        return handle.buffer.GetBlockCount();
    } catch (const std::exception&) {
        return 0;
    }
}

template <typename Header>
int FindResultWith(IpcBufferHandle& handle, int32_t setupId, uint32_t nodeId, Header* headerOut,
                   sAdjustResult* resultOut, int strictness) {
    Header header;
    header.Clear();
    sAdjustResult result;
    result.Init();
    const DWORD blocks = BlockCount(handle);
    for (DWORD h = 1; h <= blocks; h += 2) {
        if (handle.ReadRecord(h, 1, &header, sizeof(header)) == 0 || header.setupId != setupId) continue;
        if (h + 1 > blocks) break;  // a header without its results block: no results
        const DWORD records = ReadableRecords(handle, h + 1);
        bool found = false;
        for (DWORD r = 1; r <= records && !found; ++r) {
            found = handle.ReadRecord(h + 1, r, &result, sizeof(result)) != 0 && result.nodeId == nodeId;
        }
        if (!found || IsResultAccepted(strictness, result.status) == 0) continue;
        if (headerOut != nullptr) *headerOut = header;
        if (resultOut != nullptr) *resultOut = result;
        return 1;
    }
    return 0;
}

struct sBitText {
    int bit;
    const char* text;
};

// The texts of the bits that are set, in table order, joined by the separator.
CString JoinBits(uint32_t status, std::initializer_list<sBitText> table, const char* separator, CString text) {
    for (const sBitText& b : table) {
        if ((status & (1u << b.bit)) == 0) continue;
        if (!text.IsEmpty() && separator != nullptr) text += separator;
        text += b.text;
    }
    return text;
}

}  // namespace

uint16_t sAdjustResult::Init() {
    Zero(*this);
    recordSize = kSize;
    version = kVersion;
    status = kNoData;
    factor344 = 1.0;
    factor352 = 1.0;
    return version;
}

void sAdjustResultHeader::Clear() { Zero(*this); }

void sAdjustResultHeaderShort::Clear() { Zero(*this); }

uint16_t sAdjustResultRecord::Init() {
    header.Clear();
    std::memset(zero520, 0, sizeof(zero520));
    return result.Init();
}

uint16_t sAdjustResultRecordEx::Init() {
    std::memset(zero552, 0, sizeof(zero552));
    return record.Init();
}

uint16_t sAdjustAuxRecord::Init() {
    Zero(*this);
    recordSize = kSize;
    version = kVersion;
    word32 = 2;
    value48 = -1.0;
    refs192[0] = refs192[1] = refs192[2] = -1;
    return version;
}

void sAdjustAuxRecord::Reset() {
    word32 = 2;
    byte7 = 0;
    value48 = -1.0;
}

int IsResultAccepted(int strictness, uint32_t status) {
    if (strictness < 1) return 1;
    if (status == 0 || status == 1 || (status & ADJ_NODE_PREDICTED) != 0) return 1;
    return strictness >= 2 && status == ADJ_NODE_NO_ROTATION ? 1 : 0;
}

int FindResult(IpcBufferHandle& handle, int32_t setupId, uint32_t nodeId, sAdjustResultHeader* header,
               sAdjustResult* result, int strictness) {
    return FindResultWith(handle, setupId, nodeId, header, result, strictness);
}

int FindResultShort(IpcBufferHandle& handle, int32_t setupId, uint32_t nodeId, sAdjustResultHeaderShort* header,
                    sAdjustResult* result, int strictness) {
    return FindResultWith(handle, setupId, nodeId, header, result, strictness);
}

CString GetAdjustStatusText(uint32_t status, int32_t nodeNumber, float limit, const char* separator) {
    if (status == 0) return "OK";
    CString singular;
    singular.Format("LSA singular at node %d", nodeNumber);
    CString convergence;
    convergence.Format("No convergence below %2.2G", static_cast<double>(limit));
    return JoinBits(status,
                    {{0, "No degrees of freedom"},
                     {1, "No unknowns"},
                     {2, "No observations"},
                     {3, "No solution"},
                     {4, singular.GetString()},
                     {5, convergence.GetString()},
                     {6, "No reference time"},
                     {7, "F-test failure"},
                     {8, "Large shift"}},
                    separator, CString());
}

CString GetAdjustNodeStatusText(uint32_t status, const char* separator) {
    if (status == 0) return "OK";
    CString text;
    if ((status & (1u << 28)) != 0)
        text = "[Predicted]";
    else if ((status & (1u << 29)) != 0)
        text = "[Old]";
    else if ((status & (1u << 30)) != 0)
        text = "[Invalid]";
    else if ((status & (1u << 31)) != 0)
        text = "[Reset]";
    return JoinBits(status,
                    {{20, "Old data"},      {21, "No rotation"},   {22, "No WLRM"},       {23, "Outside WLRM"},
                     {0, "No check"},       {1, "No data"},        {2, "Disabled"},       {3, "Standby"},
                     {4, "Stale"},          {5, "Blocked"},        {6, "Unlinked"},       {7, "Unknown node"},
                     {8, "Bad data"},       {19, "Disconnected"},  {9, "Snooped"},        {10, "W-test failure"},
                     {11, "F-test failure"}, {12, "No range"},     {13, "No correction"}, {14, "Wrong IODE"},
                     {15, "No ephemeris"},  {16, "Bad ephemeris"}, {17, "Unhealthy"},     {18, "Below mask"}},
                    separator, text);
}

CString GetAdjustNodeStateText(uint32_t status) {
    if (status == 0) return "OK";
    if ((status & (1u << 28)) != 0) return "Predicted";
    if ((status & (1u << 29)) != 0) return "Old";
    if ((status & (1u << 30)) != 0) return "Invalid";
    if ((status & (1u << 31)) != 0) return "Reset";
    return CString();
}

CString GetDopName(int32_t kind) {
    static const char* const kNames[] = {"GDOP", "PDOP", "HDOP", "TDOP", "VDOP", "user", "RTCM"};
    return kind >= 0 && kind < 7 ? CString(kNames[kind]) : CString("N/A");
}

void SetAdjustStatus(sAdjustStatus& record, uint32_t status, int32_t nodeNumber, float limit) {
    record.status = status;
    record.parameter = 0;  // 0.0f
    if ((status & ADJ_STATUS_SINGULAR) != 0) {
        record.status &= ~ADJ_STATUS_NO_CONVERGENCE;
        std::memcpy(&record.parameter, &nodeNumber, sizeof(record.parameter));
    } else if ((status & ADJ_STATUS_NO_CONVERGENCE) != 0) {
        std::memcpy(&record.parameter, &limit, sizeof(record.parameter));
    }
}
