// A recorded NMEA 0183 stream cut into the datagrams a device would have sent: the sentences of
// one moment (one time of day) go together, and each datagram is due when its time has come.
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <istream>
#include <optional>
#include <string>
#include <vector>

namespace Vok::Test {

struct sReplayDatagram {
    double at = 0.0;  // seconds after the first datagram
    std::string bytes;
    unsigned kinds = 0;      // the record kinds of its sentences (SentenceKinds)
    unsigned validKinds = 0;  // those of its sentences whose checksum holds: the records it can make
    uint64_t sentences = 0;  // its sentences as the driver counts them (CountDriverSentences)
};

// The kinds of record that a line's sentences make, as bits: one for each position format and
// one each for heading and rate of turn. The driver keeps one record of a kind per millisecond
// of receipt, so two sentences of a kind never share a datagram. With checkedOnly, the kinds of
// the sentences whose checksum holds as the driver tests it.
unsigned SentenceKinds(const std::string& line, bool checkedOnly = false);

// The sentences of a datagram as the driver counts them at its end (decoded or not): on each
// line, from each "$" that has at least three characters after it, skipping as the driver skips.
uint64_t CountDriverSentences(const std::string& bytes);

// The time of day (seconds) that a sentence carries, for the sentences that carry one (GGA, GNS,
// GST, RMC, ZDA, GLL, GBS, and GGK also behind a proprietary address such as $PTNL,GGK); nothing
// for the others or when the field is empty.
std::optional<double> SentenceTimeOfDay(const std::string& sentence);

// The pace of a recording whose sentences carry no time of day: one line a datagram, this many
// seconds apart.
constexpr double kUntimedPace = 0.1;
// How far the replay reads ahead for a time of day before it takes the untimed pace: this many
// sentences, and at most this many bytes from the first sentence on, so that memory stays flat
// whatever comes before the first time. The lines before the first sentence are skipped.
constexpr size_t kTimeLookAhead = 100;
constexpr size_t kTimeLookAheadBytes = 64 * 1024;

// A recording read as it is replayed, a piece at a time, each read taking what the stream has:
// memory stays flat whatever its size, and a pipe's lines go as they come. A sentence is a line that
// holds a "$", wherever it stands (behind a logger's prefix or a byte-order mark), as the driver
// finds one. A sentence with a time of day other than the current one starts a new datagram; lines
// without a time join the current one. Before the first time, in a recording that has none within
// the look-ahead, each line goes alone, kUntimedPace after the one before. A line ends at LF, CR
// LF or CR; it is sent with a CR LF ending, and not at all when that makes it longer than maxBytes
// (SetLongLineCall hears of it); blank lines are dropped. Times run on across midnight; a
// step back or a gap of more than maxGap seconds counts as one second, so that a recording with
// holes replays without stalling. A datagram is kept under maxBytes, and at one sentence of each
// record kind, by starting another at the same time; so does the first time after lines without one.
class CRecordingReplay {
public:
    explicit CRecordingReplay(std::istream& in, double maxGap = 10.0, size_t maxBytes = 8192);

    // Reads ahead to the first sentence and looks for a time of day; false when the recording
    // holds no sentence (or the stream ended early, as a stream stopped from outside does).
    bool Start();
    // Whether the pace comes from the recording's times.
    bool IsTimed() const { return m_timed; }
    // The next datagram; nothing at the end of the recording.
    std::optional<sReplayDatagram> Next();
    // Called with the number (from 1) of each line that is too long to send, and its sentences as
    // CountDriverSentences counts them.
    void SetLongLineCall(std::function<void(uint64_t line, uint64_t sentences)> call) {
        m_onLongLine = std::move(call);
    }

private:
    // The next non-blank line of the stream with its CR LF; false at the end.
    bool ReadStreamLine(std::string& line);
    // The same, the lines read ahead first.
    bool ReadLine(std::string& line);

    std::istream& m_in;
    double m_maxGap;
    size_t m_maxBytes;
    std::vector<char> m_chunk;
    size_t m_chunkPos = 0, m_chunkEnd = 0;
    std::deque<std::string> m_ahead;
    bool m_timed = false;
    std::optional<double> m_current;  // time of day of the open datagram
    double m_at = 0.0;
    uint64_t m_lines = 0;
    uint64_t m_lineNumber = 0;
    bool m_afterCr = false;  // the last line ended with a CR: an LF next ends no other
    std::function<void(uint64_t, uint64_t)> m_onLongLine;
    std::optional<sReplayDatagram> m_next;
};

// The whole of a recording in hand, split as CRecordingReplay does.
std::vector<sReplayDatagram> SplitRecording(const std::string& text, double maxGap = 10.0, size_t maxBytes = 8192);

}  // namespace Vok::Test
