// The test host: the host end of the link with block 1 of the settings buffer set up for the
// command record, and the handshake of one command.
#pragma once

#include <optional>
#include <string>

#include "platform/child_process.h"

namespace Vok::Test {

class CTestHost {
public:
    // Starts commandLine as the child with the prefix of this process and number.
    explicit CTestHost(const std::string& commandLine, int number = 1);
    // Kills a child that is still running.
    ~CTestHost();
    CTestHost(const CTestHost&) = delete;
    CTestHost& operator=(const CTestHost&) = delete;

    CChildProcess& Link() { return m_link; }
    // WriteCommand, then PostSettingsAndWait: true when the child acknowledged within timeoutMs.
    bool SendCommand(DWORD code, DWORD timeoutMs = 5000);
    // The child's exit code (128 + signal when a signal ended it); nothing when it still runs.
    std::optional<int> WaitForExit(DWORD timeoutMs);

private:
    CChildProcess m_link;
    bool m_ended = false;
};

}  // namespace Vok::Test
