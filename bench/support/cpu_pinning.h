// Which CPUs a benchmark's processes run on. A wake-up across CPUs costs far more than one on the
// same CPU on a virtual machine, so a latency that is not pinned mostly measures where the
// scheduler put the processes: every figure is measured on named CPUs.
#pragma once

#include <sched.h>
#include <sys/types.h>

#include <string>
#include <vector>

namespace Vok::Bench {

// The CPUs this process may run on, in ascending order.
std::vector<int> AllowedCpus();

// The two CPUs a benchmark uses: the host's (sender and reader) and the driver's. From
// VOK_BENCH_CPUS ("6,7", or "7" for both), else the two highest CPUs this process may run on.
struct sCpuChoice {
    int host = 0;
    int driver = 0;
};
sCpuChoice ChooseCpus();

// Pins every thread of a process (this one with pid 0) to one CPU; false when one could not be.
bool PinProcess(pid_t pid, int cpu);

// Pins this process for its life and gives it its former CPUs back at the end.
class CScopedPin {
public:
    explicit CScopedPin(int cpu);
    ~CScopedPin();
    CScopedPin(const CScopedPin&) = delete;
    CScopedPin& operator=(const CScopedPin&) = delete;
    bool Pinned() const { return m_pinned; }

private:
    cpu_set_t m_before{};
    bool m_pinned = false;
};

// "host cpu 6, driver cpu 7" or "all on cpu 7", with the load average of the moment.
std::string DescribeCpus(int hostCpu, int driverCpu);

}  // namespace Vok::Bench
