#include "driver/drv_udp_client.h"

#include <netinet/in.h>
#include <poll.h>
#include <pthread.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <thread>

#include "driver/host_watch.h"
#include "foundation/debug_trace.h"
#include "foundation/error_text.h"

CDrvUdpClient::CDrvUdpClient() = default;

CDrvUdpClient::~CDrvUdpClient() { CloseSocket(); }

void CDrvUdpClient::Run() {
    if (GetLink() == nullptr) return;
    CCommandWake commands(GetLink()->GetWaitableEvent(EVT_NEW_SETTINGS));
    // The host's death signal gets in only while the loop waits, so it always ends the wait.
    sigset_t watch, before;
    ::sigemptyset(&watch);
    ::sigaddset(&watch, GetHostWatchSignal());
    ::pthread_sigmask(SIG_BLOCK, &watch, &before);
    m_waitMask = before;
    ::sigdelset(&m_waitMask, GetHostWatchSignal());
    bool commandWoke = false;
    for (;;) {
        if (IsHostGone()) {
            CString text;
            text.Format("the host (process %d) is gone; the driver ends", static_cast<int>(GetHostProcessId()));
            ReportDriverProblem(text);
            m_lostHost = true;
            break;
        }
        if (DoCommandStep() != 0) {
            m_hostLeft = IsHostLeavingAfterExit();
            break;
        }
        if (IsOutOfDescriptors()) break;
        // The command that woke the loop has been handled and its event reset.
        if (commandWoke) commands.Rearm();
        SayDueProblems();
        m_cutProblem.SayDue();
        m_noCommand.SayDue();
        if (WaitForWork(commands, commandWoke)) DoReceiveStep();
        if (IsOutOfDescriptors()) break;
        OnIdle(0);
    }
    ::pthread_sigmask(SIG_SETMASK, &before, nullptr);
    CloseSocket();
}

bool CDrvUdpClient::IsHostLeavingAfterExit() {
    // A host that lives on resets "_SETTINGS_READ" once it has seen it, within microseconds; a host
    // that dies meanwhile never does, and is seen ending instead. Looked at with short pauses: this
    // is the process's end, not its idle time.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(EXIT_TAKEN_WAIT_MS);
    for (auto pause = std::chrono::microseconds(50);; pause = std::min(pause * 2, std::chrono::microseconds(2000))) {
        const bool taken = !GetLink()->IsEventSignalled(EVT_SETTINGS_READ);
        if (MayHostBeGone()) return true;
        if (taken || std::chrono::steady_clock::now() >= deadline) return false;
        std::this_thread::sleep_for(pause);
    }
}

bool CDrvUdpClient::WaitForWork(const CCommandWake& commands, bool& commandWoke) {
    commandWoke = false;
    IpcBufferHandle* output = GetOutputBuffer();
    pollfd waits[3] = {{commands.GetFd(), POLLIN, 0}, {-1, POLLIN, 0},
                       {output != nullptr ? output->buffer.GetSizeWatch() : -1, POLLIN, 0}};
    switch (m_state) {
    case UDP_STATE_RECEIVE:
    case UDP_STATE_WAIT:
        // A receive is issued once the socket has a datagram, so that it completes at once.
        if (m_socket == nullptr) return true;
        waits[1].fd = m_socket->GetEvent().fd;
        break;
    case UDP_STATE_CONSTRUCTED: break;  // nothing to receive before INIT, or with a refused port
    default: return true;               // a bind to do
    }
    // Without the command thread the loop looks at the command event itself, as often as a
    // receive wait of old; a command not read yet is tried again at a slower pace.
    int ms = !commands.IsRunning() ? static_cast<int>(UDP_WAIT_MS)
             : m_commandPending    ? static_cast<int>(COMMAND_RETRY_MS)
                                   : -1;
    for (const int due : {GetMsUntilProblemDue(), m_cutProblem.GetMsUntilDue(), m_noCommand.GetMsUntilDue()})
        if (due >= 0 && (ms < 0 || due < ms)) ms = due;
    const timespec pace{ms / 1000, static_cast<long>(ms % 1000) * 1000000};
    if (::ppoll(waits, 3, ms >= 0 ? &pace : nullptr, &m_waitMask) <= 0)
        return false;  // a signal (the host's death?) or the time-out
    // A file of the output buffer changed (cut short?): its next hold reads the sizes again.
    if (waits[2].revents != 0) output->buffer.TakeFileChanges();
    commandWoke = waits[0].revents != 0;
    return waits[1].revents != 0;
}

int CDrvUdpClient::DoCommandStep() {
    CChildProcess& link = *GetLink();
    DWORD waited = WAIT_FAILED;
    const bool posted = link.WaitEvent(EVT_NEW_SETTINGS, 0, waited) && waited == WAIT_OBJECT_0;
    SayEventProblem(EVT_NEW_SETTINGS, waited != WAIT_FAILED);
    if (!posted && !m_commandPending) return 0;
    // Reset before the record is read: a host that gave up waiting may write its next command
    // while this one is handled, and its event must then stay set for the next poll.
    if (posted) link.ResetEvent(EVT_NEW_SETTINGS);
    // The first try waits a little for a hold that another process has; a command still not read
    // is tried again on every turn, without a wait, so that datagrams go on being decoded.
    DWORD command = CMD_UNDEFINED;
    const eCommandRead read = link.ReadCommand(m_commandPending ? 0 : COMMAND_READ_TIMEOUT_MS, command);
    m_commandPending = true;
    m_settingsUnread = false;
    m_commandRefused = false;
    if (read != COMMAND_READ) {
        const int cause = link.GetSettings() != nullptr ? link.GetSettings()->buffer.GetRefusalError() : 0;
        if (read == COMMAND_REFUSED && IsDescriptorLimit(cause)) {
            EndForDescriptors("the settings buffer cannot be read", cause);
            return 0;
        }
        SaySettingsProblem(read);
        return 0;
    }
    // A record that holds no command was never written (or is zeros): nothing to carry out, and no
    // acknowledgement that would tell the host otherwise.
    if (command == CMD_UNDEFINED) {
        SaySettingsProblem(COMMAND_READ);
        m_commandPending = false;
        m_noCommand.Begin("the command record holds no command (code 0): nothing is carried out and it is not "
                          "acknowledged");
        return 0;
    }
    m_noCommand.End("");
    StartCommand();
    switch (command) {
    case CMD_INIT: OnCmdInit(); break;
    case CMD_RESET: OnCmdReset(); break;
    case CMD_SETTINGS:
        if (IsInitialised() == 0) OnCmdInit();
        if (!m_settingsUnread && !m_commandRefused && !IsOutOfDescriptors()) OnCmdSettings();
        break;
    case CMD_STOP: OnCmdStop(); break;
    case CMD_PAUSE: OnCmdPause(); break;
    case CMD_EXIT: OnCmdExit(); break;
    case CMD_RECORD: OnCmdRecord(); break;
    case CMD_SPLIT: OnCmdSplit(); break;
    case CMD_DEVICE_SETTINGS: OnCmdDeviceSettings(); break;
    default:
        // CMD_FIX_UPDATE and the other codes of the link: nothing to do but acknowledge.
        if (command > CMD_MONITOR_SETTINGS) {
            CString text;
            text.Format("unknown command code %u; acknowledged, nothing done", command);
            ReportDriverProblem(text);
        }
        break;
    }
    // A command that met the limit of open files was not carried out, and never can be: the driver
    // ends without acknowledging it.
    if (IsOutOfDescriptors()) return 0;
    // A command whose settings could not be read is tried again, not acknowledged: the host's wait
    // for "_SETTINGS_READ" tells it that the command was not carried out.
    if (m_settingsUnread) return 0;
    SaySettingsProblem(COMMAND_READ);
    m_commandPending = false;
    // A refused command is not acknowledged either, but not tried again: its settings would be
    // refused again until the host writes others and a new command.
    if (m_commandRefused) return 0;
    // Every command that was read is acknowledged, a failed or unknown one and EXIT included.
    link.SetEvent(EVT_SETTINGS_READ);
    return command == CMD_EXIT ? 1 : 0;
}

bool CDrvUdpClient::IsListeningPort(UINT port) { return port != 0 && port <= 0xFFFF; }

int CDrvUdpClient::OnCmdInit() {
    // Nothing is changed before the settings are read: the command is tried again otherwise.
    if (!ReadSettingsBuffer()) {
        const IpcBufferHandle* settings = GetLink() != nullptr ? GetLink()->GetSettings() : nullptr;
        if (settings != nullptr && IsDescriptorLimit(settings->buffer.GetRefusalError())) {
            EndForDescriptors("the settings buffer cannot be read", settings->buffer.GetRefusalError());
            return 0;
        }
        (IsOutputNameRefused() ? m_commandRefused : m_settingsUnread) = true;
        return 0;
    }
    if (CDrvBaseSocket::OnCmdInit() == 0) return 0;
    const BYTE* a = GetSettings().address;
    m_interfaceAddress.Format("%d.%d.%d.%d", a[0], a[1], a[2], a[3]);
    m_port = GetSettings().port;
    if (!IsListeningPort(m_port)) {
        // Bound, port 0 would be a port of the system's choosing that no sender knows, and the low
        // 16 bits of a larger number a port that the host never asked for.
        CString text;
        text.Format("settings item 2 gives UDP port %u, %s; the driver does not listen", m_port,
                    m_port == 0 ? "which no sender can reach" : "beyond 65535");
        ReportDriverProblem(text);
    }
    m_state = UDP_STATE_BIND;
    DecodeData(true);
    return 1;
}

void CDrvUdpClient::OnCmdExit() { CDrvBaseSocket::OnCmdExit(); }

void CDrvUdpClient::OnCmdReset() {
    DecodeData(true);
    m_state = UDP_STATE_BIND;
}

eUdpState CDrvUdpClient::DoReceiveStep() {
    switch (m_state) {
    case UDP_STATE_BIND: m_state = OnIssueBind(); break;
    case UDP_STATE_RECEIVE: m_state = OnIssueReceive(); break;
    case UDP_STATE_WAIT: m_state = OnWaitForReceive(); break;
    default: break;
    }
    return m_state;
}

void CDrvUdpClient::CloseSocket() {
    if (m_socket == nullptr) return;
    if (!m_multicastGroup.IsEmpty() && IsMulticastAddress(m_multicastGroup))
        m_socket->DropMulticastGroupMembership(m_multicastGroup, m_interfaceAddress);
    m_socket->Close();
    m_socket.reset();
}

eUdpState CDrvUdpClient::OnIssueBind() {
    CloseSocket();
    if (!IsListeningPort(m_port)) return UDP_STATE_CONSTRUCTED;  // refused at INIT
    const UINT port = m_port;
    m_socket = std::make_unique<CVOKSocket>(TRUE);
    const bool made = m_socket->Socket(SOCK_DGRAM, 0, IPPROTO_UDP, AF_INET) != 0;
    // Kept before the options on no socket overwrite it.
    const DWORD socketError = made ? 0 : m_socket->GetLastError();
    if (IsDescriptorLimit(static_cast<int>(socketError))) {
        // No wait makes a descriptor free: retrying would receive nothing for ever.
        EndForDescriptors("no UDP socket can be made", static_cast<int>(socketError));
        CloseSocket();
        return UDP_STATE_CONSTRUCTED;
    }
    const int reuse = 1;
    m_socket->SetSockOpt(SO_REUSEADDR, &reuse, sizeof reuse, SOL_SOCKET);
    const int size = static_cast<int>(m_socketBufferSize);
    m_socket->SetSockOpt(SO_RCVBUF, &size, sizeof size, SOL_SOCKET);
    // A datagram's time is its arrival, however long it then waits for the driver.
    m_socket->EnableArrivalStamps();
    if (!made || m_socket->Bind(port, nullptr) == 0) {
        // Until the port is free (another program may hold it) the driver would receive nothing:
        // said once, tried again on each step, paced like a receive wait so as not to spin.
        if (!m_bindFailing) {
            CString text;
            text.Format("cannot bind UDP port %u: %s; trying again until it can", port,
                        GetSystemErrorText(made ? m_socket->GetLastError() : socketError, true));
            ReportDriverProblem(text);
        }
        m_bindFailing = true;
        CloseSocket();
        ::usleep(UDP_WAIT_MS * 1000);
        return UDP_STATE_BIND;
    }
    if (m_bindFailing) {
        CString text;
        text.Format("UDP port %u is bound now", port);
        ReportDriverProblem(text);
        m_bindFailing = false;
    }
    if (!m_multicastGroup.IsEmpty() && IsMulticastAddress(m_multicastGroup))
        m_socket->AddMulticastGroupMembership(m_multicastGroup, m_interfaceAddress);
    m_socket->SetReceiveTimeout(m_receiveTimeout);
    return UDP_STATE_RECEIVE;
}

eUdpState CDrvUdpClient::OnIssueReceive() {
    if (m_socket == nullptr) return UDP_STATE_BIND;
    // Never more than the buffer holds.
    const DWORD length = GetReceiveLength() < GetReceiveBufferSize() ? GetReceiveLength() : GetReceiveBufferSize();
    return OnReceiveResult(m_socket->ReceiveFrom(GetReceiveBuffer(), length, m_senderAddress, m_senderPort, 0));
}

eUdpState CDrvUdpClient::OnWaitForReceive() {
    if (m_socket == nullptr) return UDP_STATE_BIND;
    return OnReceiveResult(m_socket->WaitForReceive(UDP_WAIT_MS));
}

eUdpState CDrvUdpClient::OnReceiveResult(int result) {
    switch (result) {
    case RECEIVE_PENDING: return UDP_STATE_WAIT;
    case RECEIVE_COMPLETE:
        // An empty datagram is dropped and the socket kept: rebinding would lose every datagram
        // queued behind it. One longer than the buffer arrives cut to it and is used as it is.
        if (m_socket->GetBytesReceived() == 0) {
            DebugTrace("E: %s empty datagram dropped\n", "CDrvUdpClient::OnReceiveResult");
        } else {
            ++m_datagramsReceived;
            if (IsAcceptedSender()) {
                SayCutDatagram();
                SetReceivedLength(m_socket->GetBytesReceived());
                ProcessData();
            }
        }
        return UDP_STATE_RECEIVE;
    default: return UDP_STATE_BIND;
    }
}

void CDrvUdpClient::SayCutDatagram() {
    const DWORD length = m_socket->GetDatagramLength();
    if (!m_socket->IsReceiveTruncated()) {
        if (!m_cutProblem.IsOpen()) return;
        CString text;
        text.Format("datagrams fit the receive buffer again; %u were cut, the longest of %u bytes", m_cutDatagrams,
                    m_longestCut);
        m_cutProblem.End(text);
        return;
    }
    // Once per episode: a sender of long datagrams would otherwise fill standard error.
    if (!m_cutProblem.IsOpen()) {
        CString text;
        text.Format("a datagram of %u bytes was cut to the receive buffer's %u: the sentences in its last %u bytes "
                    "are lost (said once until datagrams fit again)",
                    length, m_socket->GetBytesReceived(), length - m_socket->GetBytesReceived());
        // The count goes on while the last end is not said and this episode takes its place.
        if (m_cutProblem.Begin(text)) {
            m_cutDatagrams = 0;
            m_longestCut = 0;
        }
    }
    ++m_cutDatagrams;
    m_longestCut = std::max(m_longestCut, length);
}

bool CDrvUdpClient::IsAcceptedSender() const {
    if (GetSettings().sourceFilter == 0) return true;
    if (m_interfaceAddress == "0.0.0.0") return true;
    return m_socket != nullptr && m_socket->GetSenderAddress() == m_interfaceAddress;
}

int CDrvUdpClient::ProcessData() {
    StampDatagram(m_socket != nullptr ? m_socket->GetArrival() : nullptr);
    if (DecodeTimeTag() == 0) return 1;
    const uint64_t refused = GetRefusedHolds();
    {
        // The records and the time block under one hold, released before the host is woken. The
        // end of the hold asks once whether they reached the file.
        const COutputHold hold(*this);
        if (DecodeData(false) == 0) return 1;
        WriteTimeBlock();
        EndRefusedBlocks();
    }
    // What met a file cut short was written nowhere: the host is not told of it.
    if (GetRefusedHolds() != refused) return 1;
    // Raised also when the time block could not be written.
    SignalUpdate();
    return 1;
}
