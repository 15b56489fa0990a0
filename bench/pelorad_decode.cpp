// Decode throughput of the driver: datagrams of NMEA sentences through the time-tag step, the
// sentence loop and its decoders into a real shared output buffer, in sentences per second, with
// the heap allocations counted per datagram.
#include <benchmark/benchmark.h>

#include <stdlib.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <new>
#include <string>
#include <vector>

#include "bench/support/bench_driver.h"
#include "host/driver_samples.h"

namespace {

std::atomic<long> g_allocations{0};

}  // namespace

// The counting replacements pair new with malloc and delete with free, which the compiler cannot
// see through once they are inlined into the library's own allocations.
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"

void* operator new(size_t size) {
    g_allocations.fetch_add(1, std::memory_order_relaxed);
    if (void* p = std::malloc(size == 0 ? 1 : size)) return p;
    throw std::bad_alloc();
}
void operator delete(void* p) noexcept { std::free(p); }
void operator delete(void* p, size_t) noexcept { std::free(p); }

namespace {

using Vok::Bench::CBenchDriver;
using Vok::Test::Sentence;
using Vok::Test::Tagged;

constexpr uint32_t kDay = 999993600;  // 2001-09-09 00:00:00 UTC
constexpr int kDatagrams = 1000;      // distinct times within a day, so that every cycle is due

std::string Hms(int seconds) {
    char text[16];
    std::snprintf(text, sizeof text, "%02d%02d%02d.00", seconds / 3600 % 24, seconds / 60 % 60, seconds % 60);
    return text;
}

// Datagrams of one update cycle each (GGA, GST, HDT, ROT), a second apart.
std::vector<std::string> CycleDatagrams(int& sentences) {
    std::vector<std::string> datagrams;
    for (int i = 0; i < kDatagrams; ++i) {
        const int t = 43200 + i;
        datagrams.push_back(Tagged(kDay + t, Sentence("GPGGA," + Hms(t) + ",4807.038,N,01131.000,E,1,08,0.9,545.4,M,"
                                                                         "46.9,M,,") +
                                                 Sentence("GPGST," + Hms(t) + ",0.5,1.2,0.8,35.0,1.1,0.9,2.1") +
                                                 Sentence("HEHDT,123.4,T") + Sentence("TIROT,-12.5,A")));
    }
    sentences = 4;
    return datagrams;
}

// The same with a satellite report per cycle: three GSA parts and three GSV sentences.
std::vector<std::string> SatelliteDatagrams(int& sentences) {
    int cycle = 0;
    std::vector<std::string> datagrams = CycleDatagrams(cycle);
    const std::string gsa = Sentence("GPGSA,A,3,04,05,09,12,24,,,,,,,,2.5,1.3,2.1");
    const std::string gsv = Sentence("GPGSV,3,1,11,03,03,111,00,04,15,270,00,06,01,010,00,13,06,292,00");
    for (std::string& d : datagrams) d += gsa + gsa + gsa + gsv + gsv + gsv;
    sentences = cycle + 6;
    return datagrams;
}

// Datagrams of the plain GGA, GST and HDT cycle, a second apart.
std::vector<std::string> GgaGstHdtDatagrams(int& sentences) {
    std::vector<std::string> datagrams;
    for (int i = 0; i < kDatagrams; ++i) {
        const int t = 43200 + i;
        datagrams.push_back(Tagged(kDay + t, Sentence("GPGGA," + Hms(t) + ",4807.038,N,01131.000,E,1,08,0.9,545.4,M,"
                                                                         "46.9,M,,") +
                                                 Sentence("GPGST," + Hms(t) + ",0.5,1.2,0.8,35.0,1.1,0.9,2.1") +
                                                 Sentence("HEHDT,123.4,T")));
    }
    sentences = 3;
    return datagrams;
}

// Every sentence of the receivers' logs in the test corpus as it was recorded (failed checksums,
// unknown formats and all), one per datagram, a second apart.
std::vector<std::string> CorpusDatagrams(int& sentences) {
    std::vector<std::string> datagrams;
    uint32_t t = 43200;
    for (const std::string& s : Vok::Bench::CorpusSentences()) datagrams.push_back(Tagged(kDay + t++, s));
    sentences = 1;
    return datagrams;
}

// Full datagrams of about 16 KB on one line: a hostile sender's repeated "$GPGGA," (no sentence
// is whole, so none counts), and valid GGA sentences glued together. Their costs should be alike,
// the loop being linear in the line's length: compare their bytes per second.
std::vector<std::string> LongLine(const std::string& piece, bool whole, int& sentences) {
    std::string text;
    sentences = 0;
    while (text.size() + piece.size() + 2 < PELORAD_RECEIVE_SIZE - 16) {
        text += piece;
        if (whole) ++sentences;
    }
    return {Tagged(kDay + 43200, text + "\r\n")};
}
std::vector<std::string> HostileDatagrams(int& sentences) { return LongLine("$GPGGA,", false, sentences); }
std::vector<std::string> GluedGgaDatagrams(int& sentences) {
    const std::string gga = Sentence("GPGGA,120000,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,");
    return LongLine(gga.substr(0, gga.size() - 2), true, sentences);
}

template <typename Make>
void RunDecode(benchmark::State& state, Make make, bool packetPath, bool countBytes = false) {
    CBenchDriver bench;
    CPelorad& driver = bench.Driver();
    int sentences = 0;
    const std::vector<std::string> datagrams = make(sentences);
    if (datagrams.empty()) return state.SkipWithError("no datagrams");
    size_t next = 0;
    uint32_t lap = 0;
    long written = 0;
    const long allocationsBefore = g_allocations.load();
    for (auto _ : state) {
        // What the receive does: the datagram into the receive buffer. Each lap a day later, so
        // that time never runs backwards.
        bench.Receive(datagrams[next], lap);
        if (++next == datagrams.size()) {
            next = 0;
            ++lap;
        }
        if (packetPath) {
            driver.ProcessData();
        } else {
            written += bench.Decode();
        }
    }
    const auto iterations = static_cast<double>(state.iterations());
    // Items are whole sentences only: a datagram of fragments shows none.
    if (sentences > 0) state.SetItemsProcessed(static_cast<int64_t>(state.iterations()) * sentences);
    if (countBytes) {
        double bytes = 0.0;
        for (const std::string& d : datagrams) bytes += static_cast<double>(d.size());
        // A datagram's bytes on average, each iteration.
        state.SetBytesProcessed(static_cast<int64_t>(bytes / static_cast<double>(datagrams.size()) * iterations));
    }
    // Scaled so that the console shows plain numbers, not unit prefixes ("13u").
    state.counters["allocs_per_million_datagrams"] =
        1e6 * static_cast<double>(g_allocations.load() - allocationsBefore) / iterations;
    if (!packetPath) state.counters["written_percent"] = 100.0 * static_cast<double>(written) / iterations;
}

// Sentences per second of the decoding alone: time tag, sentence loop, records.
void BM_DecodeCycle(benchmark::State& state) { RunDecode(state, CycleDatagrams, false); }
BENCHMARK(BM_DecodeCycle);

void BM_DecodeGgaGstHdt(benchmark::State& state) { RunDecode(state, GgaGstHdtDatagrams, false); }
BENCHMARK(BM_DecodeGgaGstHdt);

void BM_DecodeCorpus(benchmark::State& state) { RunDecode(state, CorpusDatagrams, false); }
BENCHMARK(BM_DecodeCorpus);

void BM_DecodeCycleWithSatellites(benchmark::State& state) { RunDecode(state, SatelliteDatagrams, false); }
BENCHMARK(BM_DecodeCycleWithSatellites);

void BM_DecodeHostileLine(benchmark::State& state) { RunDecode(state, HostileDatagrams, false, true); }
BENCHMARK(BM_DecodeHostileLine);

void BM_DecodeGluedGgaLine(benchmark::State& state) { RunDecode(state, GluedGgaDatagrams, false, true); }
BENCHMARK(BM_DecodeGluedGgaLine);

// The whole packet path of a datagram: its clock readings, decoding, the time block and the
// host's events.
void BM_PacketPath(benchmark::State& state) { RunDecode(state, CycleDatagrams, true); }
BENCHMARK(BM_PacketPath);

}  // namespace
