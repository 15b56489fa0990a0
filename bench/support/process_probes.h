// What the benchmarks learn about processes from outside: programs on the PATH, a process's
// threads, and its wake-ups and CPU time, all from /proc, without a tracer.
#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

namespace Vok::Bench {

// The program's path in a folder of PATH; empty when it is in none.
std::string FindOnPath(const std::string& program);

// The thread ids of a process (0: this one).
std::vector<pid_t> ThreadsOf(pid_t pid);

// Context switches of every thread of a process (each sleep that ends in a wake-up is one
// voluntary switch; a busy thread is switched out involuntarily) and its CPU time in seconds.
struct sActivity {
    long switches = 0;
    double cpuSeconds = 0.0;
};
sActivity ActivityOf(pid_t pid);

}  // namespace Vok::Bench
