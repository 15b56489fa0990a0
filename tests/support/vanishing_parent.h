// A parent that goes away between a test and the driver it starts.
#pragma once

#include <sys/types.h>

#include <optional>
#include <string>

#include "compat/windows_types.h"

namespace Vok::Test {

// A parent between this process and the driver that it starts, which ends on request as a host that
// goes away does: the driver runs behind /bin/sh, and this process (a child subreaper while this
// object lives) is handed the driver when the shell ends.
class CVanishingParent {
public:
    // Its script and notes live in folder.
    explicit CVanishingParent(const std::string& folder);
    ~CVanishingParent();
    CVanishingParent(const CVanishingParent&) = delete;
    CVanishingParent& operator=(const CVanishingParent&) = delete;
    // The command line that starts program behind the shell.
    std::string CommandLine(const std::string& program) const;
    // The driver's process id once the shell has started it; 0 before.
    pid_t GetDriverProcessId() const;
    // Ends the shell, then waits up to timeoutMs for the driver to end: its wait status, or nothing
    // when it outlived the wait (it is then killed).
    std::optional<int> EndAndReap(DWORD timeoutMs);

private:
    std::string m_script, m_pid, m_go;
};

}  // namespace Vok::Test
