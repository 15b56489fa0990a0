#include "host/nmea_replay.h"

#include <cctype>
#include <cstdlib>
#include <cstring>

namespace Vok::Test {

namespace {

// Sentence formats whose time of day is in field 1, and GLL's in field 5.
constexpr struct {
    const char* format;
    int field;
} kTimedFormats[] = {{"GGA", 1}, {"GNS", 1}, {"GST", 1}, {"RMC", 1}, {"ZDA", 1}, {"GBS", 1}, {"GLL", 5}};

}  // namespace

std::optional<double> SentenceTimeOfDay(const std::string& sentence) {
    const size_t dollar = sentence.find('$');
    if (dollar == std::string::npos) return std::nullopt;
    const size_t comma = sentence.find(',', dollar);
    // The address field: a talker (2 characters) and the format (3).
    if (comma == std::string::npos || comma - dollar != 6) return std::nullopt;
    const std::string format = sentence.substr(dollar + 3, 3);
    int field = 0;
    for (const auto& f : kTimedFormats)
        if (format == f.format) field = f.field;
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

std::vector<sReplayDatagram> SplitRecording(const std::string& text, double maxGap, size_t maxBytes) {
    std::vector<sReplayDatagram> datagrams;
    std::optional<double> current;  // time of day of the open datagram
    double at = 0.0;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        std::string line = text.substr(start, end - start);
        start = end + 1;
        while (!line.empty() && (line.back() == '\r' || line.back() == ' ' || line.back() == '\t')) line.pop_back();
        if (line.empty()) continue;
        line += "\r\n";

        const std::optional<double> time = SentenceTimeOfDay(line);
        bool open = datagrams.empty();
        if (time && current && *time != *current) {
            double step = *time - *current;
            if (step < -43200.0) step += 86400.0;  // past midnight
            at += step > 0.0 && step <= maxGap ? step : 1.0;
            open = true;
        }
        if (time) current = time;
        if (!open && datagrams.back().bytes.size() + line.size() > maxBytes) open = true;
        if (open) datagrams.push_back(sReplayDatagram{at, {}});
        datagrams.back().bytes += line;
    }
    return datagrams;
}

}  // namespace Vok::Test
