// A recorded NMEA 0183 stream cut into the datagrams a device would have sent: the sentences of
// one moment (one time of day) go together, and each datagram is due when its time has come.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace Vok::Test {

struct sReplayDatagram {
    double at = 0.0;  // seconds after the first datagram
    std::string bytes;
};

// The time of day (seconds) that a sentence carries, for the sentences that carry one (GGA, GNS,
// GST, RMC, ZDA, GLL, GBS); nothing for the others or when the field is empty.
std::optional<double> SentenceTimeOfDay(const std::string& sentence);

// Splits a recording into datagrams. A sentence with a time of day other than the current one
// starts a new datagram; sentences without a time join the current one. Each line is sent with a
// CR LF ending; blank lines are dropped. Times run on across midnight; a step back or a gap of
// more than maxGap seconds counts as one second, so that a recording with holes replays without
// stalling. A datagram is kept under maxBytes by starting another at the same time.
std::vector<sReplayDatagram> SplitRecording(const std::string& text, double maxGap = 10.0, size_t maxBytes = 8192);

}  // namespace Vok::Test
