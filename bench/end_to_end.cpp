// The driver from the host's side, against baselines measured in the same run on the same CPUs:
// the kernel alone (UDP ping-pong, and a UDP receive that wakes the reader through a futex) and a
// null driver (receive, one record written under the lock of a real shared buffer, one event).
// - Latency: from sending a datagram until the reader has been woken and has read what came of it;
//   median and 99th percentile per road, the roads interleaved in rounds, and the driver's median
//   as a ratio to the null driver's and to the kernel's. Once with every process on one CPU, once
//   with the host and the far end on two. The reader's wake-ups per datagram are counted too.
// - Sustained rate: the highest datagram rate that the null driver and the driver each take for
//   ten seconds without losing one, while a reader reads after every update it is woken for; the
//   search is repeated, the two roads alternating, and the spread of its results is shown.
// Each prints a table (bench/support/bench_table.h).
// VOK_BENCH_CPUS names the CPUs ("host,driver" or one for both); else the two highest are used.
#include <sys/resource.h>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "bench/support/bench_datagrams.h"
#include "bench/support/bench_table.h"
#include "bench/support/cpu_pinning.h"
#include "bench/support/packet_roads.h"
#include "host/demo_host.h"

namespace {

using namespace Vok::Bench;

constexpr int kRounds = 10;
constexpr int kWarmUp = 50;
// Reader wake-ups per datagram below this are not divided.
constexpr double kNearZeroWakes = 0.1;
// The sustained-rate search's first rate, in datagrams per second.
constexpr double kFirstRate = 2000.0;

long VoluntarySwitches() {
    rusage usage{};
    ::getrusage(RUSAGE_THREAD, &usage);
    return usage.ru_nvcsw;
}

double Quantile(std::vector<double> values, double q) {
    if (values.empty()) return 0.0;
    std::sort(values.begin(), values.end());
    return values[std::min(values.size() - 1, static_cast<size_t>(q * static_cast<double>(values.size())))];
}

struct sRoadSamples {
    std::unique_ptr<CPacketRoad> road;
    std::vector<double> latencies;
    long wakes = 0;
    long datagrams = 0;
};

// count datagrams one after the other, each read before the next is sent; false when one was not
// read within a second.
bool Sample(sRoadSamples& s, uint64_t& n, int count, bool record) {
    const long before = VoluntarySwitches();
    for (int i = 0; i < count; ++i, ++n) {
        const std::string datagram = Datagram(n);
        const Clock::time_point sent = Clock::now();
        if (!s.road->Send(datagram) || !s.road->Await(n, sent + std::chrono::seconds(1))) return false;
        if (record) s.latencies.push_back(std::chrono::duration<double, std::micro>(Clock::now() - sent).count());
    }
    if (record) {
        s.wakes += VoluntarySwitches() - before;
        s.datagrams += count;
    }
    return true;
}

// The forked far ends are made before anything of this process opens a named object.
std::vector<sRoadSamples> MakeRoads() {
    std::vector<sRoadSamples> roads;
    for (auto make : {MakeUdpEchoRoad, MakeUdpWakeRoad, MakeNullDriverRoad}) roads.push_back({make(), {}, 0, 0});
    roads.push_back({MakeDriverRoad(), {}, 0, 0});
    return roads;
}

void BM_DatagramToHostRead(benchmark::State& state) {
    const sCpuChoice cpus = ChooseCpus();
    const int hostCpu = state.range(0) == 1 ? cpus.driver : cpus.host;
    const CScopedPin pin(hostCpu);
    if (!pin.Pinned()) return state.SkipWithError("this process could not be pinned");
    const Vok::Test::CPrivateIpcFolder folder;
    std::vector<sRoadSamples> roads = MakeRoads();
    std::vector<CPacketRoad*> all;
    for (const sRoadSamples& s : roads) all.push_back(s.road.get());
    uint64_t n = 1;
    if (const std::string error = PrepareRoads(all, cpus.driver, n); !error.empty())
        return state.SkipWithError(error.c_str());
    const int samples = static_cast<int>(state.range(1));
    for (auto _ : state) {
        // Interleaved, each round in another order, so that a drift of the machine spreads evenly.
        for (int round = 0; round < kRounds; ++round) {
            for (size_t k = 0; k < roads.size(); ++k) {
                sRoadSamples& s = roads[(k + static_cast<size_t>(round)) % roads.size()];
                if (!Sample(s, n, kWarmUp, false) || !Sample(s, n, samples / kRounds, true))
                    return state.SkipWithError(
                        (std::string(s.road->Name()) + ": a datagram was not read within a second").c_str());
            }
        }
    }
    // Roads in the order MakeRoads made them: echo, wake, null driver, driver.
    const auto figure = [&](size_t k, auto of) { return sFigure(of(roads[k])); };
    const auto median = [](const sRoadSamples& s) { return Quantile(s.latencies, 0.5); };
    const auto p99 = [](const sRoadSamples& s) { return Quantile(s.latencies, 0.99); };
    const auto wakes = [](const sRoadSamples& s) {
        return static_cast<double>(s.wakes) / static_cast<double>(std::max(1L, s.datagrams));
    };
    CBenchTable table(std::string("Datagram to host read, ") +
                          (state.range(0) == 1 ? "every process on one CPU" : "host and far end on two CPUs"),
                      hostCpu, cpus.driver);
    table.Add("latency, median (us)", figure(3, median), figure(2, median), figure(1, median));
    table.Add("latency, 99th percentile (us)", figure(3, p99), figure(2, p99), figure(1, p99));
    // A reader that finds its update already come does not sleep: on one CPU the counts lie near
    // zero, and a ratio of two of them says nothing.
    const bool nearZero = std::min({wakes(roads[3]), wakes(roads[2]), wakes(roads[1])}) < kNearZeroWakes;
    table.Add("reader wake-ups per datagram", figure(3, wakes), figure(2, wakes), figure(1, wakes), !nearZero);
    table.Add("UDP echo round trip, median (us)", {}, {}, figure(0, median));
    if (nearZero) {
        char note[200];
        std::snprintf(note, sizeof note, "Wake-ups are not divided: a count under %.2f per datagram lies near zero "
                      "(the reader mostly finds its update already come), and a ratio of such counts says nothing.",
                      kNearZeroWakes);
        table.Note(note);
    }
    table.Print();
    state.SetLabel(DescribeCpus(hostCpu, cpus.driver));
}
// Arguments: 1 = every process on the driver's CPU, 2 = host and far end on two CPUs; samples per road.
BENCHMARK(BM_DatagramToHostRead)->ArgNames({"cpus", "samples"})->Args({1, 5000})->Args({2, 5000})
    ->Iterations(1)->Unit(benchmark::kMillisecond);

struct sTrial {
    double target = 0.0;    // datagrams per second asked for
    double achieved = 0.0;  // datagrams per second sent
    long long sent = 0;
    long long dropped = 0;  // by the kernel at the far end's socket
    bool lastRead = false;  // the reader read what came of the last datagram
    bool Lossless() const { return dropped == 0 && lastRead; }
};

// Sends at the rate for the seconds while a second thread plays the host: woken by each update,
// it reads.
sTrial RunTrial(CPacketRoad& road, uint64_t& n, double rate, double seconds) {
    sTrial trial;
    trial.target = rate;
    std::optional<CUpdateReader> host(road);
    const long long dropsBefore = SocketDrops(road.Port());
    const Clock::time_point start = Clock::now();
    const auto length = std::chrono::duration<double>(seconds);
    for (;;) {
        const std::chrono::duration<double> elapsed = Clock::now() - start;
        if (elapsed >= length) break;
        const long long due = static_cast<long long>(rate * elapsed.count()) + 1;
        if (trial.sent >= due) {
            std::this_thread::sleep_for(std::chrono::microseconds(50));
            continue;
        }
        while (trial.sent < due && road.Send(Datagram(n))) {
            ++trial.sent;
            ++n;
        }
    }
    trial.achieved = static_cast<double>(trial.sent) / std::chrono::duration<double>(Clock::now() - start).count();
    // The queue drains; what came of the last datagram shows that the far end got there.
    trial.lastRead = host->WaitFor(n - 1, Clock::now() + std::chrono::seconds(2));
    host.reset();
    trial.dropped = SocketDrops(road.Port()) - dropsBefore;
    return trial;
}

struct sHeld {
    double rate = 0.0;
    int trials = 0;
    bool senderBound = false;
};

sHeld FindSustainedRate(CPacketRoad& road, uint64_t& n, double hold) {
    sHeld held;
    // Short trials find the edge: doubling, then halving the interval between good and bad.
    double good = 0.0, bad = 0.0;
    for (double rate = kFirstRate; rate <= 4e6; rate *= 2.0) {
        const sTrial t = RunTrial(road, n, rate, 1.0);
        ++held.trials;
        if (!t.Lossless()) {
            bad = rate;
            break;
        }
        good = rate;
        if (t.achieved < 0.9 * rate) {  // the sender is the limit
            good = t.achieved;
            held.senderBound = true;
            break;
        }
    }
    while (bad > 0.0 && good > 0.0 && bad / good > 1.05) {
        const double rate = std::sqrt(good * bad);
        const sTrial t = RunTrial(road, n, rate, 1.0);
        ++held.trials;
        (t.Lossless() ? good : bad) = rate;
    }
    // Not even the first rate went through.
    if (good == 0.0) return held;
    // Then the rate must hold for the whole time; a little less is tried when it does not.
    for (double rate = good; rate >= 0.5 * good && held.rate == 0.0; rate *= 0.9) {
        const sTrial t = RunTrial(road, n, rate, hold);
        ++held.trials;
        if (t.Lossless()) held.rate = t.achieved;
    }
    return held;
}

void BM_SustainedDatagramRate(benchmark::State& state) {
    sNullAndDriver run;
    if (!run.error.empty()) return state.SkipWithError(run.error.c_str());
    for (const auto& road : run.roads)
        if (SocketDrops(road->Port()) < 0) return state.SkipWithError("a far end's socket is not in /proc/net/udp");
    const auto& roads = run.roads;
    const sCpuChoice& cpus = run.cpus;
    const double hold = static_cast<double>(state.range(0));
    const int searches = static_cast<int>(state.range(1));
    // By road (null driver, driver): the rate of each search that held one, each search's trials,
    // and the searches that the sender limited or that held nothing.
    std::vector<double> rates[2], trials[2];
    int senderBound[2] = {}, heldNothing[2] = {};
    for (auto _ : state) {
        // Alternating, so that a change of the machine's load falls on both alike.
        for (int search = 0; search < searches; ++search) {
            for (int k = 0; k < 2; ++k) {
                const sHeld held = FindSustainedRate(*roads[k], run.n, hold);
                if (held.rate > 0.0) {
                    rates[k].push_back(held.rate);
                } else {
                    ++heldNothing[k];
                }
                trials[k].push_back(held.trials);
                if (held.senderBound) ++senderBound[k];
            }
        }
    }
    CBenchTable table("Highest datagram rate held " + std::to_string(static_cast<int>(hold)) +
                          " s without loss, " + std::to_string(searches) + " searches each: median (lowest..highest)",
                      cpus.host, cpus.driver);
    table.Add("datagrams per second", rates[1], rates[0]);
    table.Add("trials of a search", trials[1], trials[0], {}, false);
    table.Add("searches the sender limited", senderBound[1], senderBound[0], {}, false);
    table.Add("searches that held no rate", heldNothing[1], heldNothing[0], {}, false);
    if (heldNothing[0] + heldNothing[1] > 0) {
        table.Note("A search that held no rate lost datagrams at " + std::to_string(static_cast<int>(kFirstRate)) +
                   " per second already, or in every trial of " + std::to_string(static_cast<int>(hold)) +
                   " s, as a busy machine makes it.");
        table.Note("Such a search is left out of the rates above; with none left, a rate is \"-\".");
    }
    table.Print();
    state.SetLabel(DescribeCpus(cpus.host, cpus.driver));
}
// Arguments: seconds the rate must hold, searches per road.
BENCHMARK(BM_SustainedDatagramRate)->Args({10, 3})->Iterations(1)->Unit(benchmark::kSecond);

}  // namespace
