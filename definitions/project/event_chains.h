// The event chains of a recorded project's block file: fixed-size records inside one block, each
// beginning with the int32 offset (from the payload start) of the next record of its chain, -1
// at the end. The header list says where a chain starts; CVOKFile walks and writes them. The
// record layouts here are those that the walks read; other bytes are the writers' own.
#pragma once

#include <cstddef>
#include <cstdint>

class CHdrList;

namespace Vok::EventChains {

constexpr int32_t kEnd = -1;

// Record layouts: size and the offsets of what is read (kNone: not held).
struct sChainLayout {
    size_t size;
    size_t idOffset;
    size_t timeOffset;  // an sMjdTime, or a SYSTEMTIME in the oldest forms
};
constexpr size_t kNone = static_cast<size_t>(-1);
constexpr sChainLayout kFixEvent{56, 4, 32};
constexpr sChainLayout kOldFixEvent{64, 4, 48};
constexpr sChainLayout kHeartbeat{24, kNone, 8};
constexpr sChainLayout kOldestFix{24, 20, 4};
constexpr sChainLayout kNodeEvent{152, kNone, 4};

// Header record types that locate the chains in block 7, and the meta-data record.
constexpr int32_t kRecordFix = 215;
constexpr int32_t kRecordOldFix = 125;
constexpr int32_t kRecordHeartbeat = 149;
constexpr int32_t kRecordMetaData = 233;
constexpr size_t kMetaDataStart = 16;
constexpr size_t kMetaDataEnd = 56;

// Chain heads: block 9 {first, last, pointer word}; block 12 holds the first offset at 8.
constexpr size_t kFixHeadSize = 12;
constexpr size_t kNodeHeadSize = 20;
constexpr size_t kNodeHeadFirst = 8;

}  // namespace Vok::EventChains

// The recording's duration in seconds from the meta-data record (233); 0.0 without it, or when
// its start or end time has no day.
double GetMetaDataDuration(const CHdrList* headers);
