#include "host/nmea_replay.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <cstring>
#include <sstream>
#include <string_view>

#include "driver/pelorad.h"
#include "foundation/sentence_checksum.h"

namespace Vok::Test {

namespace {

// Sentence formats and the field of their time of day, counted from the format's own field.
constexpr struct {
    const char* format;
    int field;
} kTimedFormats[] = {{"GGA", 1}, {"GNS", 1}, {"GST", 1}, {"RMC", 1}, {"ZDA", 1},
                     {"GBS", 1}, {"GLL", 5}, {"GGK", 1}};

constexpr size_t kChunkSize = 1 << 16;

// Counts the sentences of a line as CountDriverSentences does, a piece at a time and keeping none of
// it: a sentence starts at a "$" at least 3 characters after the start of the one before, and counts
// when 3 characters follow its "$".
class CSentenceTally {
public:
    void Add(std::string_view piece) {
        for (const char c : piece) {
            if (c == '$' && !m_started) {
                m_started = true;
                m_start = m_at;
            } else if (c == '$' && m_at >= m_start + 3) {
                ++m_count;
                m_start = m_at;
            }
            ++m_at;
        }
    }
    uint64_t Count() const { return m_count + (m_started && m_at - m_start >= 4 ? 1 : 0); }

private:
    uint64_t m_at = 0, m_start = 0, m_count = 0;
    bool m_started = false;
};

// Calls visit with each sentence of a line as the driver takes them apart: from a "$" to the next
// one (included), going on as after a sentence that it does not use; and with where it starts.
template <typename F>
void ForEachSentence(std::string_view line, F&& visit) {
    size_t start = line.find('$');
    while (start != std::string_view::npos && line.size() - start >= 4) {
        const size_t next = line.find('$', start + 1);
        visit(line.substr(start, (next == std::string_view::npos ? line.size() : next + 1) - start), start);
        start = SkipSentence(line, start, next);
    }
}

// The driver's line: without its line feed, with its CR.
std::string_view DriverLine(const std::string& line) {
    std::string_view view(line);
    if (!view.empty() && view.back() == '\n') view.remove_suffix(1);
    return view;
}

// The record kind of a sentence format: a bit for each position format, one for any heading, one
// for rate of turn; 0 for the others.
unsigned KindOf(eNmeaFormat format) {
    if (format >= NMEA_POS_GGA && format <= NMEA_POS_GLL) return 1u << (format - NMEA_POS_GGA);
    if (format >= NMEA_HDG_HDT && format <= NMEA_HDG_HCC) return 1u << 4;
    return format == NMEA_MSC_ROT ? 1u << 5 : 0;
}

int TimeField(const std::string& format) {
    for (const auto& f : kTimedFormats)
        if (format == f.format) return f.field;
    return 0;
}

// The driver looks for a sentence wherever a "$" stands on a line, behind a logger's prefix too.
bool IsSentenceLine(const std::string& line) { return line.find('$') != std::string::npos; }

}  // namespace

unsigned SentenceKinds(const std::string& line, bool checkedOnly) {
    const std::string_view view = DriverLine(line);
    CLineChecksum checksum(view);
    unsigned kinds = 0;
    ForEachSentence(view, [&](std::string_view sentence, size_t start) {
        if (!checkedOnly || checksum.Check(start)) kinds |= KindOf(FindSentenceFormat(sentence));
    });
    return kinds;
}

uint64_t CountDriverSentences(const std::string& bytes) {
    uint64_t n = 0;
    const std::string_view all(bytes);
    for (size_t start = 0; start < all.size();) {
        size_t end = all.find('\n', start);
        if (end == std::string_view::npos) end = all.size();
        ForEachSentence(all.substr(start, end - start), [&](std::string_view, size_t) { ++n; });
        start = end + 1;
    }
    return n;
}

std::optional<double> SentenceTimeOfDay(const std::string& sentence) {
    const size_t dollar = sentence.find('$');
    if (dollar == std::string::npos) return std::nullopt;
    size_t comma = sentence.find(',', dollar);
    if (comma == std::string::npos) return std::nullopt;
    // The address: a talker (2 characters) and the format (3); a proprietary one ("P" and the
    // maker) gives the format in the next field, as $PTNL,GGK does.
    int field = 0;
    if (sentence[dollar + 1] == 'P') {
        const size_t end = sentence.find(',', comma + 1);
        if (end == std::string::npos) return std::nullopt;
        field = TimeField(sentence.substr(comma + 1, end - comma - 1));
        comma = end;
    } else if (comma - dollar == 6) {
        field = TimeField(sentence.substr(dollar + 3, 3));
    }
    if (field == 0) return std::nullopt;
    size_t at = comma;
    for (int i = 1; i < field && at != std::string::npos; ++i) at = sentence.find(',', at + 1);
    if (at == std::string::npos) return std::nullopt;
    const char* text = sentence.c_str() + at + 1;
    // hhmmss with optional decimals.
    for (int i = 0; i < 6; ++i)
        if (!std::isdigit(static_cast<unsigned char>(text[i]))) return std::nullopt;
    const auto two = [&](int i) { return (text[i] - '0') * 10 + (text[i + 1] - '0'); };
    if (two(0) > 23 || two(2) > 59 || two(4) > 60) return std::nullopt;
    double fraction = 0.0;
    if (text[6] == '.') fraction = std::strtod(text + 6, nullptr);
    return two(0) * 3600.0 + two(2) * 60.0 + two(4) + fraction;
}

CRecordingReplay::CRecordingReplay(std::istream& in, double maxGap, size_t maxBytes)
    : m_in(in), m_maxGap(maxGap), m_maxBytes(maxBytes), m_chunk(kChunkSize) {}

bool CRecordingReplay::ReadStreamLine(std::string& line) {
    // Room for the CR LF that each line is sent with.
    const size_t limit = m_maxBytes > 2 ? m_maxBytes - 2 : 0;
    for (;;) {
        line.clear();
        bool ended = false, got = false, tooLong = false;
        CSentenceTally dropped;
        while (!ended) {
            if (m_chunkPos == m_chunkEnd) {
                // What the stream has now, not a whole chunk: a pipe's writer may send more later.
                std::streambuf* const buffer = m_in.rdbuf();
                m_chunkPos = m_chunkEnd = 0;
                if (buffer == nullptr || buffer->sgetc() == std::char_traits<char>::eof()) break;
                const std::streamsize there =
                    std::clamp<std::streamsize>(buffer->in_avail(), 1, static_cast<std::streamsize>(kChunkSize));
                m_chunkEnd = static_cast<size_t>(std::max<std::streamsize>(buffer->sgetn(m_chunk.data(), there), 0));
                if (m_chunkEnd == 0) break;
            }
            const char* from = m_chunk.data() + m_chunkPos;
            // The LF of a CR LF: the CR ended the line already, in this read or the one before.
            if (m_afterCr) {
                m_afterCr = false;
                if (*from == '\n') {
                    ++m_chunkPos;
                    continue;
                }
            }
            got = true;
            const char* const to = m_chunk.data() + m_chunkEnd;
            const char* const end = std::find_if(from, to, [](char c) { return c == '\n' || c == '\r'; });
            const std::string_view piece(from, static_cast<size_t>(end - from));
            // A line longer than a datagram takes is not sent; its sentences are counted as the
            // driver would count them, with memory as flat as for any line.
            if (!tooLong && line.size() + piece.size() > limit) {
                tooLong = true;
                dropped.Add(line);
                line.clear();
            }
            if (tooLong)
                dropped.Add(piece);
            else
                line += piece;
            m_chunkPos += piece.size();
            if (end != to) {
                ++m_chunkPos;
                m_afterCr = *end == '\r';
                ended = true;
            }
        }
        if (!got) return false;
        ++m_lineNumber;
        if (tooLong) {
            dropped.Add("\r");
            if (m_onLongLine) m_onLongLine(m_lineNumber, dropped.Count());
            continue;
        }
        while (!line.empty() && (line.back() == ' ' || line.back() == '\t')) line.pop_back();
        if (line.empty()) continue;
        line += "\r\n";
        return true;
    }
}

bool CRecordingReplay::ReadLine(std::string& line) {
    if (m_ahead.empty()) return ReadStreamLine(line);
    line = std::move(m_ahead.front());
    m_ahead.pop_front();
    return true;
}

bool CRecordingReplay::Start() {
    size_t sentences = 0, looked = 0;
    std::string line;
    while (!m_timed && sentences < kTimeLookAhead && looked < kTimeLookAheadBytes && ReadStreamLine(line)) {
        if (IsSentenceLine(line)) ++sentences;
        // What comes before the first sentence holds none for the driver: it is neither kept nor sent.
        if (sentences == 0) continue;
        looked += line.size();
        if (SentenceTimeOfDay(line)) m_timed = true;
        m_ahead.push_back(std::move(line));
    }
    return sentences > 0;
}

std::optional<sReplayDatagram> CRecordingReplay::Next() {
    std::optional<sReplayDatagram> open = std::move(m_next);
    m_next.reset();
    std::string line;
    while (ReadLine(line)) {
        const std::optional<double> time = SentenceTimeOfDay(line);
        const unsigned kinds = SentenceKinds(line), validKinds = SentenceKinds(line, true);
        // The first time after lines without one starts its own datagram, with its own epoch's records.
        bool starts = time && !m_current;
        if (time && m_current && *time != *m_current) {
            double step = *time - *m_current;
            if (step < -43200.0) step += 86400.0;  // past midnight
            m_at += step > 0.0 && step <= m_maxGap ? step : 1.0;
            starts = true;
        } else if (!m_current && !m_timed && m_lines > 0) {
            m_at += kUntimedPace;
            starts = true;
        }
        if (time) m_current = time;
        if (open && (open->bytes.size() + line.size() > m_maxBytes || (open->kinds & kinds) != 0)) starts = true;
        ++m_lines;
        const uint64_t sentences = CountDriverSentences(line);
        if (open && starts) {
            m_next = sReplayDatagram{m_at, std::move(line), kinds, validKinds, sentences};
            return open;
        }
        if (!open) open = sReplayDatagram{m_at, {}};
        open->bytes += line;
        open->kinds |= kinds;
        open->validKinds |= validKinds;
        open->sentences += sentences;
    }
    return open;
}

std::vector<sReplayDatagram> SplitRecording(const std::string& text, double maxGap, size_t maxBytes) {
    std::istringstream in(text);
    CRecordingReplay replay(in, maxGap, maxBytes);
    replay.Start();
    std::vector<sReplayDatagram> datagrams;
    while (std::optional<sReplayDatagram> d = replay.Next()) datagrams.push_back(std::move(*d));
    return datagrams;
}

}  // namespace Vok::Test
