#include "tests/support/vanishing_parent.h"

#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>

#include "tests/support/file_helpers.h"

namespace Vok::Test {

CVanishingParent::CVanishingParent(const std::string& folder)
    : m_script(folder + "/host.sh"), m_pid(folder + "/driver.pid"), m_go(folder + "/go") {
    ::prctl(PR_SET_CHILD_SUBREAPER, 1);
    WriteTextFile(m_script, "\"$3\" & echo $! > \"$1\"\nwhile [ ! -e \"$2\" ]; do sleep 0.02; done\n");
}

CVanishingParent::~CVanishingParent() {
    ::prctl(PR_SET_CHILD_SUBREAPER, 0);
    // The next parent in the same folder starts its driver afresh.
    std::remove(m_go.c_str());
    std::remove(m_pid.c_str());
}

std::string CVanishingParent::CommandLine(const std::string& program) const {
    return "/bin/sh " + m_script + " " + m_pid + " " + m_go + " " + program;
}

pid_t CVanishingParent::GetDriverProcessId() const {
    return static_cast<pid_t>(std::atoi(ReadTextFile(m_pid).value_or("0").c_str()));
}

std::optional<int> CVanishingParent::EndAndReap(DWORD timeoutMs) {
    const pid_t driver = GetDriverProcessId();
    WriteTextFile(m_go, "");
    if (driver <= 0) return std::nullopt;
    int status = 0;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (std::chrono::steady_clock::now() < deadline) {
        if (::waitpid(driver, &status, WNOHANG) == driver) return status;
        ::usleep(5000);
    }
    ::kill(driver, SIGKILL);
    ::waitpid(driver, &status, 0);
    return std::nullopt;
}

}  // namespace Vok::Test
