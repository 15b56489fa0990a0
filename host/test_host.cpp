#include "host/test_host.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <cstring>

#include "platform/process_launch.h"

namespace Vok::Test {

namespace {

constexpr DWORD kGapRecordSize = 4;

// Block 1 of a settings buffer, under its held lock.
void AddCommandBlock(IpcBufferHandle& settings) {
    const DWORD id = 1;
    const DWORD size = sizeof(IpcCommandRecord);
    settings.AddBlocks(1, &id, &size, &size);
}

}  // namespace

sSettingsItem MakeItem(const void* record, DWORD size) {
    const BYTE* bytes = static_cast<const BYTE*>(record);
    return sSettingsItem{size, 1, std::vector<BYTE>(bytes, bytes + size)};
}

CTestHost::sErrorRedirect::sErrorRedirect(const std::string& path) {
    if (path.empty()) return;
    const int file = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (file < 0) return;
    std::fflush(stderr);
    saved = ::fcntl(2, F_DUPFD_CLOEXEC, 3);
    // Without a copy to go back to (no descriptor left), standard error stays as it is, and the
    // child's goes there too.
    if (saved >= 0) ::dup2(file, 2);
    ::close(file);
}

void CTestHost::sErrorRedirect::Restore() {
    if (saved < 0) return;
    ::dup2(saved, 2);
    ::close(saved);
    saved = -1;
}

CHostLinkObjects::CHostLinkObjects(const std::string& prefix)
    : m_settings(std::make_unique<IpcBufferHandle>((prefix + "_SETTINGS").c_str(), 1)) {
    for (const char* suffix :
         {"_UPDATE_READY", "_TRIGGER_DSP", "_NEW_SETTINGS", "_SETTINGS_READ", "_CLOSE", "_FIX_READY"})
        m_events.push_back(std::make_unique<CIpcEvent>((prefix + suffix).c_str()));
}

CTestHost::CTestHost(const std::string& commandLine, int number, const std::string& standardErrorPath)
    : m_redirect(standardErrorPath),
      m_link(CString(commandLine.c_str()), static_cast<DWORD>(::getpid()), number, 0, NORMAL_PRIORITY_CLASS,
             THREAD_PRIORITY_NORMAL, nullptr) {
    m_redirect.Restore();
    IpcBufferHandle* settings = m_link.GetSettings();
    if (settings != nullptr && settings->Lock()) {
        // A buffer that cannot grow (no descriptor to spare) is left without it: publishing the
        // settings adds it, or says that they could not be written.
        try {
            AddCommandBlock(*settings);
        } catch (const std::exception&) {
        }
        settings->Unlock();
    }
}

CTestHost::~CTestHost() {
    if (!m_exitCode && m_link.Terminate()) WaitForExit(5000);
}

bool CTestHost::SendCommand(DWORD code, DWORD timeoutMs) {
    return m_link.WriteCommand(code) && m_link.PostSettingsAndWait(timeoutMs);
}

bool CTestHost::SendCommandWhileRunning(DWORD code, DWORD timeoutMs) {
    if (!m_link.WriteCommand(code)) return false;
    if (m_link.PostSettingsAndWait(0)) return true;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        // Looked at once more after the end: an acknowledged EXIT ends the child too.
        const bool ended = WaitForExit(0).has_value();
        if (m_link.IsEventSet(EVT_SETTINGS_READ, ended ? 0 : 20)) {
            m_link.ResetEvent(EVT_SETTINGS_READ);
            return true;
        }
        if (ended || std::chrono::steady_clock::now() >= deadline) return false;
    }
}

std::optional<int> CTestHost::WaitForExit(DWORD timeoutMs) {
    // A reaped child answers no second wait: its code is kept.
    if (!m_exitCode) m_exitCode = Vok::Process::WaitForExit(m_link.GetProcessHandle(), timeoutMs);
    return m_exitCode;
}

bool CTestHost::Signal(int signal) { return Vok::Process::SendSignal(m_link.GetProcessHandle(), signal); }

bool CTestHost::PublishSettings(const SettingsItems& items) {
    return m_link.GetSettings() != nullptr && Vok::Test::PublishSettings(*m_link.GetSettings(), items);
}

bool CTestHost::PublishSettings(const sDriverSettings& s) {
    return m_link.GetSettings() != nullptr && Vok::Test::PublishSettings(*m_link.GetSettings(), s);
}

int BoundUdpSocket(const char* address, UINT port, bool reuseAddress) {
    const int s = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (s < 0) return -1;
    const int reuse = 1;
    if (reuseAddress) ::setsockopt(s, SOL_SOCKET, SO_REUSEADDR, &reuse, sizeof reuse);
    sockaddr_in local{};
    local.sin_family = AF_INET;
    local.sin_port = htons(static_cast<uint16_t>(port));
    int error = EINVAL;
    if (::inet_pton(AF_INET, address, &local.sin_addr) == 1) {
        if (::bind(s, reinterpret_cast<const sockaddr*>(&local), sizeof local) == 0) return s;
        error = errno;
    }
    ::close(s);
    errno = error;
    return -1;
}

bool PublishSettings(IpcBufferHandle& settings, const SettingsItems& items) {
    if (!settings.Lock()) return false;
    bool done = true;
    try {
        if (settings.buffer.GetBlockCount() == 0) AddCommandBlock(settings);
        if (settings.buffer.GetBlockCount() > 1) settings.RemoveBlocksFrom(2);
        const DWORD last = items.empty() ? 1 : items.rbegin()->first;
        for (DWORD item = 2; item <= last; ++item) {
            const auto it = items.find(item);
            if (it == items.end()) {
                settings.buffer.AddBlock(item, kGapRecordSize, kGapRecordSize);
                continue;
            }
            const sSettingsItem& s = it->second;
            const DWORD recordSize = std::max<DWORD>(s.recordSize, 1);
            const DWORD records = std::max<DWORD>(s.recordCount, 1);
            const DWORD size = std::max<DWORD>(recordSize * records, static_cast<DWORD>(s.bytes.size()));
            const DWORD index = settings.buffer.AddBlock(item, size, recordSize);
            if (!s.bytes.empty()) std::memcpy(settings.buffer.GetBlockData(index), s.bytes.data(), s.bytes.size());
            settings.buffer.SetRecordCount(index, s.recordCount);
        }
    } catch (const std::exception&) {
        done = false;
    }
    settings.Unlock();
    return done;
}

bool PublishSettings(IpcBufferHandle& settings, const sDriverSettings& s) {
    SettingsItems items;
    items[2] = MakeItem(&s.system, sizeof s.system);
    std::vector<BYTE> name(s.outputName.begin(), s.outputName.end());
    if (name.size() < 16) name.push_back(0);
    items[3] = sSettingsItem{static_cast<DWORD>(name.size()), 1, name};
    // The lists' own writers fill their blocks, sized for them here.
    items[4] = sSettingsItem{sizeof(sObsDef), static_cast<DWORD>(std::max(s.observations.GetCount(), 1)), {}};
    items[5] = sSettingsItem{sizeof(sNodeDef), static_cast<DWORD>(std::max(s.nodes.GetCount(), 1)), {}};
    items[9] = sSettingsItem{3080, 1, {}};
    const int32_t value = -1;
    items[18] = MakeItem(&value, sizeof value);
    items[19] = sSettingsItem{sizeof(sSysDef), static_cast<DWORD>(std::max(s.systems.GetCount(), 1)), {}};
    items[23] = sSettingsItem{kGapRecordSize, 0, {}};
    if (!PublishSettings(settings, items)) return false;
    if (!settings.Lock()) return false;
    const int written = CObsDefList(s.observations).WriteToIpc(settings, 4) & s.nodes.WriteToIpc(settings, 5) &
                        s.systems.WriteToIpc(settings, 19) & s.headers.WriteToIpc(settings, 23);
    settings.Unlock();
    return written == 1;
}

bool CTestHost::WaitForUpdate(DWORD timeoutMs) {
    const bool update = m_link.IsEventSet(EVT_UPDATE_READY, timeoutMs) != 0;
    const bool trigger = m_link.IsEventSet(EVT_TRIGGER_DSP, update ? 1000 : 0) != 0;
    m_link.ResetEvent(EVT_UPDATE_READY);
    m_link.ResetEvent(EVT_TRIGGER_DSP);
    return update && trigger;
}

UINT FindFreeUdpPort() {
    const int s = BoundUdpSocket("127.0.0.1", 0);
    if (s < 0) return 0;
    sockaddr_in bound{};
    socklen_t length = sizeof bound;
    const int got = ::getsockname(s, reinterpret_cast<sockaddr*>(&bound), &length);
    ::close(s);
    return got == 0 ? ntohs(bound.sin_port) : 0;
}

bool SendDatagram(UINT port, const std::string& bytes, const char* fromAddress) {
    const int s = BoundUdpSocket(fromAddress, 0);
    if (s < 0) return false;
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(static_cast<uint16_t>(port));
    to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    const ssize_t sent =
        ::sendto(s, bytes.data(), bytes.size(), 0, reinterpret_cast<const sockaddr*>(&to), sizeof to);
    ::close(s);
    return sent == static_cast<ssize_t>(bytes.size());
}

std::vector<DWORD> FindBlocks(IpcBufferHandle& buffer, DWORD type) {
    std::vector<DWORD> blocks;
    for (DWORD i = 0; i < buffer.buffer.GetBlockCount(); ++i)
        if (buffer.buffer.GetBlockId(i) == type) blocks.push_back(i + 1);
    return blocks;
}

}  // namespace Vok::Test
