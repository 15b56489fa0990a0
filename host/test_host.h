// The test host: the host end of the link with block 1 of the settings buffer set up for the
// command record, the handshake of one command, the settings items that a driver reads at INIT,
// the driver's update events, and datagrams sent to it over loopback UDP.
#pragma once

#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "definitions/header/hdr_list.h"
#include "definitions/lists/node_def_list.h"
#include "definitions/lists/obs_def_list.h"
#include "definitions/lists/sys_def_list.h"
#include "platform/child_process.h"

namespace Vok::Test {

// One settings item as the host writes it: a block of recordCount records of recordSize bytes,
// filled from bytes (the rest zero). The block has room for at least one record.
struct sSettingsItem {
    DWORD recordSize = 0;
    DWORD recordCount = 1;
    std::vector<BYTE> bytes;
};
// Settings items by number (from 2; item 1 is the command record).
using SettingsItems = std::map<DWORD, sSettingsItem>;

sSettingsItem MakeItem(const void* record, DWORD size);

// What a host gives its driver: its system definition (item 2), the output buffer's name (item
// 3, with its terminating zero when that fits in 16 bytes, else as long as it is), and the four
// definitions lists (items 4, 5, 19 and 23). Items 9 and 18 are written as zero and -1.
struct sDriverSettings {
    sSysDef system;
    std::string outputName;
    CObsDefList observations;
    CNodeDefList nodes;
    CSysDefList systems;
    CHdrList headers;
};

class CTestHost {
public:
    // Starts commandLine as the child with the prefix of this process and number. With
    // standardErrorPath, the child's standard error goes to that file, unless this process's own
    // cannot be kept meanwhile (no descriptor to spare): then it goes where this process's goes.
    explicit CTestHost(const std::string& commandLine, int number = 1, const std::string& standardErrorPath = {});
    // Kills a child that is still running.
    ~CTestHost();
    CTestHost(const CTestHost&) = delete;
    CTestHost& operator=(const CTestHost&) = delete;

    CChildProcess& Link() { return m_link; }
    // WriteCommand, then PostSettingsAndWait: true when the child acknowledged within timeoutMs.
    bool SendCommand(DWORD code, DWORD timeoutMs = 5000);
    // The same, but no longer waiting once the child has ended: a driver that cannot carry a command
    // out (too few descriptors) ends without acknowledging it, and says why. Only for a child that is
    // the driver itself, not a shell that started it.
    bool SendCommandWhileRunning(DWORD code, DWORD timeoutMs = 5000);
    // The child's exit code (128 + signal when a signal ended it), also when asked again; nothing
    // when it still runs.
    std::optional<int> WaitForExit(DWORD timeoutMs);
    // Sends a signal to the child (SIGSTOP and SIGCONT hold it while datagrams queue up).
    bool Signal(int signal);

    // Replaces items 2 and after: blocks 2 up to the highest item, each item as given, every
    // other block empty (4-byte records, none written). False when the buffer refused it.
    bool PublishSettings(const SettingsItems& items);
    bool PublishSettings(const sDriverSettings& settings);

    // Waits for both "_UPDATE_READY" and "_TRIGGER_DSP" and resets them; false when either did not
    // come within timeoutMs.
    bool WaitForUpdate(DWORD timeoutMs);

private:
    // Points this process's standard error at a file while the child starts, then back.
    struct sErrorRedirect {
        explicit sErrorRedirect(const std::string& path);
        void Restore();
        int saved = -1;
    };
    sErrorRedirect m_redirect;
    CChildProcess m_link;
    std::optional<int> m_exitCode;
};

// The host's objects of a link, made in this process for a driver object that runs here: the
// settings buffer (held as its writer) and the six events of prefix. A driver end opens only what
// a host has made.
class CHostLinkObjects {
public:
    explicit CHostLinkObjects(const std::string& prefix);
    IpcBufferHandle& Settings() { return *m_settings; }

private:
    std::unique_ptr<IpcBufferHandle> m_settings;
    std::vector<std::unique_ptr<CIpcEvent>> m_events;
};

// The same into any settings buffer held as its writer, such as one that a driver object of this
// process reads; block 1, the command record, is added when the buffer has none.
bool PublishSettings(IpcBufferHandle& settings, const SettingsItems& items);
bool PublishSettings(IpcBufferHandle& settings, const sDriverSettings& driverSettings);

// A UDP socket bound to address:port (port 0: any), with SO_REUSEADDR when asked; -1 on failure,
// with errno saying why.
int BoundUdpSocket(const char* address, UINT port, bool reuseAddress = false);
// A UDP port on loopback that nothing was bound to a moment ago.
UINT FindFreeUdpPort();
// Sends one datagram to 127.0.0.1:port from a socket bound to fromAddress; true when all of it
// went.
bool SendDatagram(UINT port, const std::string& bytes, const char* fromAddress = "127.0.0.1");
// The numbers (from 1) of the blocks of that type, in order. The caller holds the lock.
std::vector<DWORD> FindBlocks(IpcBufferHandle& buffer, DWORD type);

}  // namespace Vok::Test
