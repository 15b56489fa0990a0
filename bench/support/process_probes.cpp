#include "bench/support/process_probes.h"

#include <dirent.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <sstream>

namespace Vok::Bench {

std::string FindOnPath(const std::string& program) {
    const char* path = std::getenv("PATH");
    std::istringstream folders(path != nullptr ? path : "/usr/bin:/bin");
    std::string folder;
    while (std::getline(folders, folder, ':'))
        if (!folder.empty() && ::access((folder + "/" + program).c_str(), X_OK) == 0) return folder + "/" + program;
    return {};
}

std::vector<pid_t> ThreadsOf(pid_t pid) {
    std::vector<pid_t> threads;
    const std::string folder = pid == 0 ? "/proc/self/task" : "/proc/" + std::to_string(pid) + "/task";
    if (DIR* d = ::opendir(folder.c_str())) {
        while (const dirent* e = ::readdir(d))
            if (e->d_name[0] != '.') threads.push_back(static_cast<pid_t>(std::atoi(e->d_name)));
        ::closedir(d);
    }
    return threads;
}

sActivity ActivityOf(pid_t pid) {
    sActivity a;
    const std::string process = "/proc/" + std::to_string(pid);
    for (const pid_t tid : ThreadsOf(pid)) {
        std::ifstream status(process + "/task/" + std::to_string(tid) + "/status");
        std::string line;
        while (std::getline(status, line)) {
            if (line.rfind("voluntary_ctxt_switches:", 0) == 0 || line.rfind("nonvoluntary_ctxt_switches:", 0) == 0)
                a.switches += std::atol(line.substr(line.find(':') + 1).c_str());
        }
    }
    // Fields 14 and 15 of stat, counted after the command's closing parenthesis: user and system
    // time in clock ticks.
    std::ifstream stat(process + "/stat");
    const std::string all((std::istreambuf_iterator<char>(stat)), std::istreambuf_iterator<char>());
    const size_t close = all.rfind(')');
    if (close == std::string::npos) return a;
    std::istringstream fields(all.substr(close + 2));
    std::string field;
    long ticks = 0;
    for (int i = 3; i <= 15 && fields >> field; ++i)
        if (i >= 14) ticks += std::atol(field.c_str());
    a.cpuSeconds = static_cast<double>(ticks) / static_cast<double>(::sysconf(_SC_CLK_TCK));
    return a;
}

}  // namespace Vok::Bench
