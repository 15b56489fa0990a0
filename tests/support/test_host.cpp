#include "tests/support/test_host.h"

#include <unistd.h>

namespace Vok::Test {

CTestHost::CTestHost(const std::string& commandLine, int number)
    : m_link(CString(commandLine.c_str()), static_cast<DWORD>(::getpid()), number, 0, NORMAL_PRIORITY_CLASS,
             THREAD_PRIORITY_NORMAL, nullptr) {
    IpcBufferHandle* settings = m_link.GetSettings();
    if (settings != nullptr && settings->Lock()) {
        const DWORD id = 1;
        const DWORD size = sizeof(IpcCommandRecord);
        settings->AddBlocks(1, &id, &size, &size);
        settings->Unlock();
    }
}

CTestHost::~CTestHost() {
    if (!m_ended && m_link.Terminate()) WaitForExit(5000);
}

bool CTestHost::SendCommand(DWORD code, DWORD timeoutMs) {
    return m_link.WriteCommand(code) && m_link.PostSettingsAndWait(timeoutMs);
}

std::optional<int> CTestHost::WaitForExit(DWORD timeoutMs) {
    const std::optional<int> code = Vok::Process::WaitForExit(m_link.GetProcessHandle(), timeoutMs);
    if (code) m_ended = true;
    return code;
}

}  // namespace Vok::Test
