#include "bench/support/cpu_pinning.h"

#include "bench/support/process_probes.h"

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>

namespace Vok::Bench {

namespace {

bool PinTask(pid_t tid, int cpu) {
    cpu_set_t set;
    CPU_ZERO(&set);
    CPU_SET(cpu, &set);
    return ::sched_setaffinity(tid, sizeof set, &set) == 0;
}

}  // namespace

std::vector<int> AllowedCpus() {
    cpu_set_t set;
    CPU_ZERO(&set);
    std::vector<int> cpus;
    if (::sched_getaffinity(0, sizeof set, &set) != 0) return cpus;
    for (int cpu = 0; cpu < CPU_SETSIZE; ++cpu)
        if (CPU_ISSET(cpu, &set)) cpus.push_back(cpu);
    return cpus;
}

sCpuChoice ChooseCpus() {
    sCpuChoice choice;
    if (const char* text = std::getenv("VOK_BENCH_CPUS"); text != nullptr && *text != '\0') {
        int host = -1, driver = -1;
        const int n = std::sscanf(text, "%d,%d", &host, &driver);
        if (n >= 1 && host >= 0) {
            choice.host = host;
            choice.driver = n == 2 && driver >= 0 ? driver : host;
            return choice;
        }
    }
    const std::vector<int> cpus = AllowedCpus();
    if (cpus.empty()) return choice;
    choice.driver = cpus.back();
    choice.host = cpus.size() > 1 ? cpus[cpus.size() - 2] : cpus.back();
    return choice;
}

bool PinProcess(pid_t pid, int cpu) {
    const std::vector<pid_t> threads = ThreadsOf(pid);
    if (threads.empty()) return PinTask(pid, cpu);
    bool all = true;
    for (const pid_t tid : threads) all = PinTask(tid, cpu) && all;
    return all;
}

CScopedPin::CScopedPin(int cpu) {
    if (::sched_getaffinity(0, sizeof m_before, &m_before) != 0) return;
    m_pinned = PinProcess(0, cpu);
}

CScopedPin::~CScopedPin() {
    if (CPU_COUNT(&m_before) > 0) ::sched_setaffinity(0, sizeof m_before, &m_before);
}

std::string DescribeCpus(int hostCpu, int driverCpu) {
    std::string text = hostCpu == driverCpu ? "all on cpu " + std::to_string(hostCpu)
                                            : "host cpu " + std::to_string(hostCpu) + ", driver cpu " +
                                                  std::to_string(driverCpu);
    std::ifstream load("/proc/loadavg");
    std::string one;
    if (load >> one) text += ", load " + one;
    return text;
}

}  // namespace Vok::Bench
