// Small groupings of definitions and header entries: the object of a system, header payloads by
// record id, the GNSS position systems of the header list, and a time-span test.
#pragma once

#include <cstdint>
#include <map>
#include <utility>
#include <vector>

#include "definitions/records/definition_records.h"
#include "foundation/time_value.h"

class CHdrList;
class CNodeDefList;
class CObsDefList;
class CSysDefList;

// The object id of the node of the system's first observation whose node is found; 0 when none,
// -1 when an argument is null.
int32_t GetSysDefObjectId(const sSysDef* def, const CObsDefList* observations, const CNodeDefList* nodes);
// Record id to the payloads of its entries, in list order; empty for a null list.
std::map<int32_t, std::vector<const uint8_t*>> GroupHdrEntriesByRecordId(const CHdrList* headers);
// The same over the geodetic record types only.
std::map<int32_t, std::vector<const uint8_t*>> GroupGeodeticHdrEntriesByRecordId(const CHdrList* headers);
// For each GNSS position record (258) whose payload holds a 0 at offset 680: the word at offset
// 20 and the GNSS system that the systems list finds for it; records without a system are left
// out, and so is a payload too short for offset 680.
std::vector<std::pair<uint32_t, int32_t>> CollectGnssPositionSystems(const CHdrList* headers,
                                                                     const CSysDefList* systems);
// All three day numbers non-zero and the third time strictly after the first and before the second.
bool IsTimeWithinRecordSpan(const sMjdTime& first, const sMjdTime& second, const sMjdTime& third);
