// What the driver asks of the kernel, against the null driver on the same CPUs:
// - system calls per datagram (strace -c on the far end; skipped without strace), once with each
//   datagram read before the next is sent and once for a steady stream whose every update a host
//   thread reads, with the calls that weigh most;
// - wake-ups of the far end per second while no datagram and no command comes, after INIT and
//   (driver only) before the first INIT, with the CPU it uses meanwhile (from /proc, no tracer);
// - how long a command takes from the host's write until its acknowledgement while the driver
//   waits for datagrams, over repeated runs, each with a driver of its own.
#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <map>
#include <memory>
#include <optional>
#include <random>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "bench/support/bench_datagrams.h"
#include "bench/support/bench_table.h"
#include "bench/support/cpu_pinning.h"
#include "bench/support/packet_roads.h"
#include "bench/support/process_probes.h"
#include "platform/child_process.h"
#include "host/demo_host.h"

namespace {

using namespace Vok::Bench;

constexpr int kDatagrams = 2000;

// strace -f -c attached to a process until Stop; the calls by name.
class CSyscallCount {
public:
    CSyscallCount(const std::string& strace, pid_t pid) : m_out("/tmp/vok-strace-" + std::to_string(::getpid())) {
        m_pid = ::fork();
        if (m_pid == 0) {
            // Its notes on attaching and detaching are not wanted.
            const int quiet = ::open("/dev/null", O_WRONLY);
            if (quiet >= 0) ::dup2(quiet, 2);
            const std::string target = std::to_string(pid);
            ::execl(strace.c_str(), "strace", "-f", "-c", "-U", "name,calls", "-o", m_out.c_str(), "-p",
                    target.c_str(), static_cast<char*>(nullptr));
            ::_exit(127);
        }
        // Attached when every thread of the process names a tracer.
        for (int i = 0; i < 300 && !Traced(pid); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(10));
        m_attached = Traced(pid);
    }
    bool Attached() const { return m_attached; }

    std::map<std::string, long> Stop() {
        std::map<std::string, long> calls;
        if (m_pid <= 0) return calls;
        ::kill(m_pid, SIGINT);
        ::waitpid(m_pid, nullptr, 0);
        m_pid = -1;
        std::ifstream table(m_out);
        std::string line;
        while (std::getline(table, line)) {
            std::istringstream fields(line);
            std::string name;
            long count = 0;
            if (fields >> name >> count && name.find('-') == std::string::npos) calls[name] = count;
        }
        std::remove(m_out.c_str());
        return calls;
    }
    ~CSyscallCount() { Stop(); }

private:
    static bool Traced(pid_t pid) {
        const std::vector<pid_t> threads = ThreadsOf(pid);
        for (const pid_t tid : threads) {
            std::ifstream status("/proc/" + std::to_string(pid) + "/task/" + std::to_string(tid) + "/status");
            std::string line;
            while (std::getline(status, line))
                if (line.rfind("TracerPid:", 0) == 0 && std::atol(line.substr(10).c_str()) == 0) return false;
        }
        return !threads.empty();
    }

    std::string m_out;
    pid_t m_pid = -1;
    bool m_attached = false;
};

// "fcntl 6.0 futex 2.0 ..." for the calls that weigh most, per datagram.
std::string Heaviest(const std::map<std::string, long>& calls, int datagrams) {
    std::vector<std::pair<long, std::string>> sorted;
    for (const auto& [name, count] : calls)
        if (name != "total") sorted.emplace_back(count, name);
    std::sort(sorted.rbegin(), sorted.rend());
    std::string text;
    char one[64];
    for (size_t i = 0; i < sorted.size() && i < 6; ++i) {
        std::snprintf(one, sizeof one, "%s%s %.2f", text.empty() ? "" : " ", sorted[i].second.c_str(),
                      static_cast<double>(sorted[i].first) / datagrams);
        text += one;
    }
    return text;
}

struct sDriven {
    int received = 0;  // by the far end: those sent less the kernel's drops
    int dropped = 0;
};

// Sends datagrams one after the other, each read before the next and followed by a pause in which
// the far end finishes and waits again (under strace it is many times slower than without), or
// (steady) at rate per second without waiting for them, while a host thread reads every update
// as a real host does, until the last one is read; nothing when one was not read.
std::optional<sDriven> Drive(CPacketRoad& road, uint64_t& n, int count, double steadyRate) {
    std::optional<CUpdateReader> host;
    if (steadyRate > 0.0) host.emplace(road);
    const long long dropsBefore = SocketDrops(road.Port());
    const Clock::time_point start = Clock::now();
    for (int i = 0; i < count; ++i, ++n) {
        if (!road.Send(Datagram(n))) return std::nullopt;
        if (steadyRate > 0.0) {
            std::this_thread::sleep_until(start + std::chrono::duration_cast<Clock::duration>(
                                                      std::chrono::duration<double>((i + 1) / steadyRate)));
        } else if (!road.Await(n, Clock::now() + std::chrono::seconds(1))) {
            return std::nullopt;
        } else {
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
    }
    // Slowed by the tracer on a busy machine, a far end can fall behind the steady stream, and the
    // kernel drops what its full queue has no room for, the last datagram perhaps among them: one
    // more then shows when the far end has worked through its queue.
    if (host && !host->WaitFor(n - 1, Clock::now() + std::chrono::seconds(5))) {
        if (!road.Send(Datagram(n++)) || !host->WaitFor(n - 1, Clock::now() + std::chrono::seconds(5)))
            return std::nullopt;
        ++count;
    }
    sDriven driven;
    driven.dropped = static_cast<int>(SocketDrops(road.Port()) - dropsBefore);
    driven.received = count - driven.dropped;
    return driven;
}

void BM_SyscallsPerDatagram(benchmark::State& state) {
    const std::string strace = FindOnPath("strace");
    if (strace.empty()) return state.SkipWithError("strace is not installed");
    sNullAndDriver run;
    if (!run.error.empty()) return state.SkipWithError(run.error.c_str());
    const sCpuChoice& cpus = run.cpus;
    const double steady = static_cast<double>(state.range(0));
    // By road (null driver, driver) and form (one by one, steady).
    double perDatagram[2][2] = {};
    int dropped[2][2] = {};
    for (auto _ : state) {
        for (int k = 0; k < 2; ++k) {
            const auto& road = run.roads[k];
            const std::string name = road->Name();
            for (int form = 0; form < 2; ++form) {
                const double rate = form == 0 ? 0.0 : steady;
                CSyscallCount count(strace, road->FarProcess());
                if (!count.Attached()) return state.SkipWithError("strace did not attach");
                const std::optional<sDriven> driven = Drive(*road, run.n, kDatagrams, rate);
                if (!driven || driven->received <= 0)
                    return state.SkipWithError((name + ": a datagram was lost").c_str());
                const std::map<std::string, long> calls = count.Stop();
                const auto total = calls.find("total");
                perDatagram[k][form] =
                    total != calls.end() ? static_cast<double>(total->second) / driven->received : 0.0;
                dropped[k][form] = driven->dropped;
                std::printf("%-12s %-11s syscalls per datagram: %s\n", name.c_str(),
                            form == 0 ? "one_by_one" : "steady", Heaviest(calls, driven->received).c_str());
            }
        }
    }
    CBenchTable table("System calls of the far end per datagram (strace -c)", cpus.host, cpus.driver);
    table.Add("each datagram read before the next", perDatagram[1][0], perDatagram[0][0]);
    table.Add("steady at " + std::to_string(static_cast<int>(steady)) + " per second, each update read",
              perDatagram[1][1], perDatagram[0][1]);
    if (dropped[0][1] + dropped[1][1] > 0) {
        table.Note("The kernel dropped " + std::to_string(dropped[1][1]) + " datagrams of the steady stream to the " +
                   "driver and " + std::to_string(dropped[0][1]) + " to the null driver: slowed by strace, the far " +
                   "end fell behind. The calls are divided by the datagrams received.");
    }
    table.Print();
    state.SetLabel(DescribeCpus(cpus.host, cpus.driver));
}
// The argument: datagrams per second of the steady stream.
BENCHMARK(BM_SyscallsPerDatagram)->Arg(1000)->Iterations(1)->Unit(benchmark::kSecond);

struct sQuiet {
    double wakeupsPerSecond = 0.0;
    double cpuShare = 0.0;
};

// Wake-ups per second and CPU share of a process over a second and a half of quiet.
sQuiet MeasureQuiet(pid_t pid) {
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    const sActivity before = ActivityOf(pid);
    const Clock::time_point start = Clock::now();
    std::this_thread::sleep_for(std::chrono::milliseconds(1500));
    const sActivity after = ActivityOf(pid);
    const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    return {static_cast<double>(after.switches - before.switches) / seconds,
            (after.cpuSeconds - before.cpuSeconds) / seconds};
}

void BM_IdleWakeups(benchmark::State& state) {
    sNullAndDriver run;
    if (!run.error.empty()) return state.SkipWithError(run.error.c_str());
    const sCpuChoice& cpus = run.cpus;
    sQuiet quiet[3];  // null driver, driver, driver before its first command
    for (auto _ : state) {
        for (int k = 0; k < 2; ++k) quiet[k] = MeasureQuiet(run.roads[k]->FarProcess());
        // A driver that has had no command yet.
        const std::string driver = Vok::Test::FindNearProgram("pelorad");
        Vok::Test::CDemoHost waiting("\"" + driver + "\"", Vok::Test::FindFreeUdpPort());
        const pid_t pid = static_cast<pid_t>(waiting.GetDriverProcessId());
        PinProcess(pid, cpus.driver);
        quiet[2] = MeasureQuiet(pid);
        waiting.Exit();
    }
    CBenchTable table("A far end while nothing comes, over 1.5 s", cpus.host, cpus.driver);
    table.Add("wake-ups per second, after INIT", quiet[1].wakeupsPerSecond, quiet[0].wakeupsPerSecond);
    table.Add("CPU share, after INIT", quiet[1].cpuShare, quiet[0].cpuShare);
    table.Add("wake-ups per second, before INIT", quiet[2].wakeupsPerSecond);
    table.Add("CPU share, before INIT", quiet[2].cpuShare);
    table.Print();
    state.SetLabel(DescribeCpus(cpus.host, cpus.driver));
}
BENCHMARK(BM_IdleWakeups)->Iterations(1)->Unit(benchmark::kSecond);

// Commands of one driver, each at a moment unrelated to the driver's own rhythm: the latencies in
// microseconds, sorted; empty when a command was not acknowledged.
std::vector<double> CommandLatencies(Vok::Test::CDemoHost& host, int commands, std::mt19937& random) {
    std::vector<double> latencies;
    for (int i = 0; i < commands; ++i) {
        std::this_thread::sleep_for(std::chrono::microseconds(random() % 5000));
        const Clock::time_point sent = Clock::now();
        if (!host.SendCommand(CMD_HEARTBEAT, 1000)) return {};
        latencies.push_back(std::chrono::duration<double, std::micro>(Clock::now() - sent).count());
    }
    std::sort(latencies.begin(), latencies.end());
    return latencies;
}

void BM_CommandLatency(benchmark::State& state) {
    const sCpuChoice cpus = ChooseCpus();
    const CScopedPin pin(cpus.host);
    const Vok::Test::CPrivateIpcFolder folder;
    const std::string driver = Vok::Test::FindNearProgram("pelorad");
    if (driver.empty()) return state.SkipWithError("pelorad was not found beside or above this program");
    const int runs = static_cast<int>(state.range(0)), commands = static_cast<int>(state.range(1));
    // By run, each with a driver of its own: median, 99th percentile, longest.
    std::vector<double> median, p99, longest;
    std::mt19937 random(7);
    for (auto _ : state) {
        for (int run = 0; run < runs; ++run) {
            Vok::Test::CDemoHost host("\"" + driver + "\"", Vok::Test::FindFreeUdpPort());
            if (!host.Start()) return state.SkipWithError(host.GetError().c_str());
            PinProcess(static_cast<pid_t>(host.GetDriverProcessId()), cpus.driver);
            const std::vector<double> latencies = CommandLatencies(host, commands, random);
            if (latencies.empty()) return state.SkipWithError("a command was not acknowledged");
            median.push_back(latencies[latencies.size() / 2]);
            p99.push_back(latencies[latencies.size() * 99 / 100]);
            longest.push_back(latencies.back());
            host.Exit();
        }
    }
    CBenchTable table("A command from the host's write to its acknowledgement, " + std::to_string(runs) + " runs of " +
                          std::to_string(commands) + " commands: median (lowest..highest) of the runs",
                      cpus.host, cpus.driver);
    table.Add("median (us)", median);
    table.Add("99th percentile (us)", p99);
    table.Add("longest (us)", longest);
    table.Print();
    state.SetLabel(DescribeCpus(cpus.host, cpus.driver));
}
// Arguments: runs, each with a driver of its own; commands per run.
BENCHMARK(BM_CommandLatency)->ArgNames({"runs", "commands"})->Args({7, 300})->Iterations(1)
    ->Unit(benchmark::kMillisecond);

}  // namespace
