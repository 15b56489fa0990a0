// Datagrams as a sender of NMEA 0183 sentences with binary time tags makes them, for the driver's
// tests and benchmarks.
#pragma once

#include <cstdint>
#include <string>

#include "compat/windows_types.h"

namespace Vok::Test {

// "$", the body, "*", its checksum and CR LF.
std::string Sentence(const std::string& body);
// A 16-byte binary time tag (seconds and microseconds since 1970), then the text.
std::string Tagged(uint32_t seconds, const std::string& text, uint32_t microseconds = 0);
// The time as the driver writes it into its records.
SYSTEMTIME At(double unixSeconds);
bool SameTime(const SYSTEMTIME& a, const SYSTEMTIME& b);

}  // namespace Vok::Test
