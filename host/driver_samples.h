// What a host gives the driver: datagrams as a sender of NMEA 0183 sentences with binary time tags
// makes them, and observation definitions for every result block.
#pragma once

#include <cstdint>
#include <string>

#include "compat/windows_types.h"
#include "definitions/lists/obs_def_list.h"

namespace Vok::Test {

// "$", the body, "*", its checksum and CR LF.
std::string Sentence(const std::string& body);
// A 16-byte binary time tag (seconds and microseconds since 1970), then the text.
std::string Tagged(uint32_t seconds, const std::string& text, uint32_t microseconds = 0);
// The time as the driver writes it into its records.
SYSTEMTIME At(double unixSeconds);
bool SameTime(const SYSTEMTIME& a, const SYSTEMTIME& b);

// Ids of the definitions that FillResultObsDefs adds. Their blocks follow the time block (1) in
// this order: position 2, heading 3 with its ring 4, rate of turn 5, time tag 6.
enum eResultDef : int32_t {
    DEF_LATITUDE = 11,
    DEF_LONGITUDE = 12,
    DEF_HEIGHT = 13,
    DEF_HEADING = 14,
    DEF_RATE = 15,
    DEF_TIMETAG = 16,
};
// Latitude, longitude, height, true bearing, generic and PPS time tag, all of system sysId.
void FillResultObsDefs(CObsDefList& list, int32_t sysId);

}  // namespace Vok::Test
