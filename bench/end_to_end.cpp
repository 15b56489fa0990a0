// The driver from the host's side: the real `pelorad` under the demo host, datagrams sent to it
// over loopback UDP.
// - Latency: from sending a datagram until the host has been woken by the update events and has
//   read the record it produced; median and 99th percentile.
// - Sustained rate: the highest datagram rate that the driver takes for ten seconds without
//   losing one, while the host reads the records of every update it is woken for.
// Each datagram is a GGA, GST and HDT cycle behind a 16-byte time tag; the tag makes each update's
// time distinct and the heading tells which datagram a record came from.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "tests/support/demo_host.h"
#include "tests/support/driver_samples.h"

namespace {

using namespace Vok::Test;
using Clock = std::chrono::steady_clock;

constexpr uint32_t kBaseSeconds = 1700000000;  // 2023-11-14 22:13:20 UTC
constexpr int kHeadings = 36000;               // headings 0.00 .. 359.99 tell datagrams apart

// Datagram n: its tag time and the sentences' time are n centiseconds after the base; its heading
// is n modulo 360 degrees in hundredths.
std::string Datagram(uint64_t n) {
    const uint64_t centiseconds = n;
    const uint32_t seconds = kBaseSeconds + static_cast<uint32_t>(centiseconds / 100);
    const uint32_t microseconds = static_cast<uint32_t>(centiseconds % 100) * 10000;
    const uint32_t ofDay = seconds % 86400;
    char time[16];
    std::snprintf(time, sizeof time, "%02u%02u%02u.%02u", ofDay / 3600, ofDay / 60 % 60, ofDay % 60,
                  static_cast<unsigned>(centiseconds % 100));
    char heading[16];
    std::snprintf(heading, sizeof heading, "%d.%02d", static_cast<int>(n % kHeadings) / 100,
                  static_cast<int>(n % kHeadings) % 100);
    return Tagged(seconds,
                  Sentence(std::string("GPGGA,") + time + ",5158.80000,N,00403.00000,E,4,14,0.8,3.12,M,45.20,M,1.2,0101") +
                      Sentence(std::string("GPGST,") + time + ",0.012,0.018,0.011,37.5,0.014,0.012,0.025") +
                      Sentence(std::string("HEHDT,") + heading + ",T"),
                  microseconds);
}

bool IsRecordOf(const sDemoRecords& r, uint64_t n) {
    return r.heading && std::lround(r.heading->dHeading * 100.0) == static_cast<long>(n % kHeadings);
}

// A UDP socket connected to the driver's port on loopback.
class CSender {
public:
    explicit CSender(UINT port) : m_socket(::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0)) {
        sockaddr_in to{};
        to.sin_family = AF_INET;
        to.sin_port = htons(static_cast<uint16_t>(port));
        to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        if (m_socket >= 0 && ::connect(m_socket, reinterpret_cast<const sockaddr*>(&to), sizeof to) != 0) {
            ::close(m_socket);
            m_socket = -1;
        }
    }
    ~CSender() {
        if (m_socket >= 0) ::close(m_socket);
    }
    CSender(const CSender&) = delete;
    CSender& operator=(const CSender&) = delete;
    bool Send(const std::string& bytes) const {
        return m_socket >= 0 && ::send(m_socket, bytes.data(), bytes.size(), 0) == static_cast<ssize_t>(bytes.size());
    }

private:
    int m_socket;
};

// Datagrams the kernel dropped at the IPv4 UDP socket bound to this port because its queue was
// full (the last column of /proc/net/udp); -1 when no such socket is there.
long long SocketDrops(UINT port) {
    std::ifstream table("/proc/net/udp");
    std::string line;
    std::getline(table, line);  // heading
    while (std::getline(table, line)) {
        std::istringstream fields(line);
        std::string slot, local, column;
        fields >> slot >> local;
        const size_t colon = local.find(':');
        if (colon == std::string::npos || std::stoul(local.substr(colon + 1), nullptr, 16) != port) continue;
        std::vector<std::string> rest;
        while (fields >> column) rest.push_back(column);
        return rest.empty() ? -1 : std::stoll(rest.back());
    }
    return -1;
}

// The driver under the demo host in a folder of named objects of its own, with records coming.
struct sDriverRun {
    CPrivateIpcFolder folder;
    UINT port = FindFreeUdpPort();
    std::unique_ptr<CDemoHost> host;
    std::string error;

    sDriverRun() {
        const std::string driver = FindNearProgram("pelorad");
        if (driver.empty()) {
            error = "pelorad was not found beside or above this program";
            return;
        }
        host = std::make_unique<CDemoHost>("\"" + driver + "\"", port, std::string(), 4);
        if (!host->Start()) error = host->GetError();
    }
    ~sDriverRun() {
        if (host) host->Exit();
        host.reset();
    }

    // Sends datagram n until its record is read (an INIT makes the driver bind afresh: the first
    // datagrams may find no socket yet).
    bool Prime(const CSender& sender, uint64_t n) {
        for (int attempt = 0; attempt < 50; ++attempt) {
            if (!sender.Send(Datagram(n))) return false;
            const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(100);
            while (Clock::now() < deadline)
                if (host->WaitForUpdate(20) && IsRecordOf(host->Read(), n)) return true;
        }
        return false;
    }
};

// Waits for updates and reads the records until one of datagram n is read; false after a second.
bool AwaitRecord(CDemoHost& host, uint64_t n, Clock::time_point sent) {
    const Clock::time_point deadline = sent + std::chrono::seconds(1);
    while (Clock::now() < deadline)
        if (host.WaitForUpdate(100) && IsRecordOf(host.Read(), n)) return true;
    return false;
}

void BM_DatagramToHostRead(benchmark::State& state) {
    sDriverRun run;
    if (!run.error.empty()) return state.SkipWithError(run.error.c_str());
    const CSender sender(run.port);
    uint64_t n = 1;
    if (!run.Prime(sender, n++)) return state.SkipWithError("the driver wrote no record");
    const int samples = static_cast<int>(state.range(0));
    constexpr int kWarmUp = 100;
    std::vector<double> latencies;
    latencies.reserve(samples);
    for (auto _ : state) {
        for (int i = 0; i < samples + kWarmUp; ++i, ++n) {
            const std::string datagram = Datagram(n);
            const Clock::time_point sent = Clock::now();
            if (!sender.Send(datagram)) return state.SkipWithError("send failed");
            if (!AwaitRecord(*run.host, n, sent)) return state.SkipWithError("a record did not come within a second");
            if (i >= kWarmUp) latencies.push_back(std::chrono::duration<double, std::micro>(Clock::now() - sent).count());
        }
    }
    std::sort(latencies.begin(), latencies.end());
    const auto quantile = [&](double q) {
        return latencies[std::min(latencies.size() - 1, static_cast<size_t>(q * static_cast<double>(latencies.size())))];
    };
    state.counters["median_us"] = quantile(0.5);
    state.counters["p99_us"] = quantile(0.99);
    state.counters["max_us"] = latencies.back();
    state.counters["samples"] = static_cast<double>(latencies.size());
}
BENCHMARK(BM_DatagramToHostRead)->Arg(10000)->Iterations(1)->Unit(benchmark::kMillisecond);

struct sTrial {
    double target = 0.0;    // datagrams per second asked for
    double achieved = 0.0;  // datagrams per second sent
    long long sent = 0;
    long long dropped = 0;  // by the kernel at the driver's socket
    bool lastRead = false;  // the host read the record of the last datagram
    bool Lossless() const { return dropped == 0 && lastRead; }
};

// Sends at the rate for the seconds while a second thread plays the host: woken by each update,
// it reads the records.
sTrial RunTrial(sDriverRun& run, const CSender& sender, uint64_t& n, double rate, double seconds) {
    sTrial trial;
    trial.target = rate;
    std::atomic<bool> done{false};
    std::atomic<uint64_t> lastSeen{0};
    std::thread host([&] {
        while (!done) {
            run.host->WaitForUpdate(20);
            const sDemoRecords r = run.host->Read();
            if (r.heading) lastSeen = static_cast<uint64_t>(std::lround(r.heading->dHeading * 100.0));
        }
    });
    const long long dropsBefore = SocketDrops(run.port);
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
        while (trial.sent < due && sender.Send(Datagram(n))) {
            ++trial.sent;
            ++n;
        }
    }
    trial.achieved = static_cast<double>(trial.sent) / std::chrono::duration<double>(Clock::now() - start).count();
    // The queue drains; the record of the last datagram shows that the driver got there.
    const uint64_t last = (n - 1) % kHeadings;
    const Clock::time_point deadline = Clock::now() + std::chrono::seconds(2);
    while (Clock::now() < deadline && lastSeen != last) std::this_thread::sleep_for(std::chrono::milliseconds(5));
    trial.lastRead = lastSeen == last;
    done = true;
    host.join();
    trial.dropped = SocketDrops(run.port) - dropsBefore;
    return trial;
}

void BM_SustainedDatagramRate(benchmark::State& state) {
    sDriverRun run;
    if (!run.error.empty()) return state.SkipWithError(run.error.c_str());
    const CSender sender(run.port);
    uint64_t n = 1;
    if (!run.Prime(sender, n++)) return state.SkipWithError("the driver wrote no record");
    if (SocketDrops(run.port) < 0) return state.SkipWithError("the driver's socket is not in /proc/net/udp");
    const double hold = static_cast<double>(state.range(0));
    double held = 0.0;
    bool senderBound = false;
    int trials = 0;
    for (auto _ : state) {
        // Short trials find the edge: doubling, then halving the interval between good and bad.
        double good = 0.0, bad = 0.0;
        for (double rate = 2000.0; rate <= 4e6; rate *= 2.0) {
            const sTrial t = RunTrial(run, sender, n, rate, 1.0);
            ++trials;
            if (!t.Lossless()) {
                bad = rate;
                break;
            }
            good = rate;
            if (t.achieved < 0.9 * rate) {  // the sender is the limit
                good = t.achieved;
                senderBound = true;
                break;
            }
        }
        while (bad > 0.0 && good > 0.0 && bad / good > 1.05) {
            const double rate = std::sqrt(good * bad);
            const sTrial t = RunTrial(run, sender, n, rate, 1.0);
            ++trials;
            (t.Lossless() ? good : bad) = rate;
        }
        // Then the rate must hold for the whole time; a little less is tried when it does not.
        for (double rate = good; rate >= 0.5 * good && held == 0.0; rate *= 0.9) {
            const sTrial t = RunTrial(run, sender, n, rate, hold);
            ++trials;
            if (t.Lossless()) held = t.achieved;
        }
    }
    if (held == 0.0) return state.SkipWithError("no rate held without loss");
    state.counters["datagrams_per_s"] = held;
    state.counters["held_s"] = hold;
    state.counters["trials"] = trials;
    state.counters["sender_bound"] = senderBound ? 1 : 0;
}
BENCHMARK(BM_SustainedDatagramRate)->Arg(10)->Iterations(1)->Unit(benchmark::kSecond);

}  // namespace
