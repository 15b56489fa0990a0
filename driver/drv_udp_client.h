// The layer between the run loop and the driver class: the command loop itself, the UDP socket
// with its receive state machine (one receive outstanding at a time), the sender filter, and the
// road of every accepted datagram: time stamps, time tag, decoding, time block and the host's
// events.
#pragma once

#include <signal.h>

#include <memory>

#include "compat/cstring.h"
#include "compat/windows_types.h"
#include "driver/command_wake.h"
#include "driver/drv_base_socket.h"
#include "driver/vok_socket.h"

enum eUdpState : DWORD {
    UDP_STATE_CONSTRUCTED = 0,  // before the first INIT: the receive step does nothing
    UDP_STATE_WAIT = 8,         // a receive is pending
    UDP_STATE_RECEIVE = 9,      // start a receive on the next step
    UDP_STATE_BIND = 13,        // (re)create and bind the socket on the next step
};

constexpr DWORD UDP_SOCKET_BUFFER_SIZE = 0x40000;
constexpr DWORD UDP_WAIT_MS = 10;
// How often a command that waits on the settings buffer is tried again while nothing else comes.
constexpr DWORD COMMAND_RETRY_MS = 250;
// How long the driver waits after EXIT for its host to take the acknowledgement or to be seen ending.
constexpr DWORD EXIT_TAKEN_WAIT_MS = 1000;

class CDrvUdpClient : public CDrvBaseSocket {
public:
    CDrvUdpClient();
    ~CDrvUdpClient() override;

    // Alternates between the host's commands and the receive state machine until EXIT, or until
    // the host that started the process is gone (HasLostHost, said on standard error).
    void Run() override;
    bool HasLostHost() const { return m_lostHost; }
    // Also after EXIT, when the host did not take the acknowledgement within EXIT_TAKEN_WAIT_MS but
    // may be gone (MayHostBeGone): killed, or ended without waiting for it, while its files may still
    // be held by its end. The driver's end then waits for them to be let go, so that it removes them.
    bool MayHaveLostHost() const { return m_lostHost || m_hostLeft; }
    // Reads the settings, opens the output buffer and makes the socket be bound afresh.
    int OnCmdInit() override;
    void OnCmdExit() override;
    // Decodes the datagram in the receive buffer (1: something was written), or with reset
    // clears the decoder.
    virtual int DecodeData(bool reset) = 0;
    // Clears the decoder and binds a new socket.
    virtual void OnCmdReset();
    virtual int OnCmdSettings() { return 1; }
    virtual int OnCmdRecord() { return 1; }
    virtual int OnCmdPause() { return 1; }
    virtual int OnCmdStop() { return 1; }
    virtual int OnCmdSplit() { return 1; }
    virtual int OnCmdDeviceSettings() { return 1; }
    virtual void OnIdle(int /*reason*/) {}
    int OnCmdFixUpdate() { return 1; }

    // One poll of the host's command and its dispatch and acknowledgement: 1 after EXIT. The
    // event is reset before the command is read, so a command written while this one is handled
    // is seen on the next poll; every command read is acknowledged once. A command that cannot be
    // read (the settings buffer held by another process for COMMAND_READ_TIMEOUT_MS, or refused),
    // or whose settings cannot, is neither carried out nor acknowledged: it is tried again, without
    // waiting, at the next datagram or command, else every COMMAND_RETRY_MS, until it is read, and
    // the trouble is said once per episode. An INIT (or a first SETTINGS) whose settings name an
    // output buffer longer than its item is refused: said, not carried out, not acknowledged, and
    // not tried again. A record of code 0 holds no command: said, neither carried out nor
    // acknowledged.
    int DoCommandStep();
    // One step of the receive state machine; stores and returns the new state.
    eUdpState DoReceiveStep();
    // Creates and binds the socket; the next state. A bind that fails is said once (with the port
    // and the reason) and tried again on the next step, after a pause of one receive wait; the
    // bind that then succeeds is said too. Port 0 and ports beyond 65535 are never bound: the step stays
    // idle.
    eUdpState OnIssueBind();
    // Starts a receive, or waits for the pending one; the next state, not stored.
    eUdpState OnIssueReceive();
    eUdpState OnWaitForReceive();

    // The sender filter: with the settings' filter flag set and an interface address other
    // than 0.0.0.0, only datagrams from that address are taken.
    bool IsAcceptedSender() const;
    // The road of one accepted datagram. Always 1.
    int ProcessData();

    eUdpState GetState() const { return m_state; }
    CVOKSocket* GetSocket() { return m_socket.get(); }
    const CString& GetInterfaceAddress() const { return m_interfaceAddress; }
    UINT GetPort() const { return m_port; }
    // The datagrams with data received since the start, from any sender.
    uint64_t GetDatagramsReceived() const { return m_datagramsReceived; }

protected:
    // The group joined on the interface address at each bind. No setting of this driver fills
    // it; a derived driver may, before a bind.
    CString m_multicastGroup;

private:
    // The next state after a receive result.
    eUdpState OnReceiveResult(int result);
    // Says on standard error the first datagram of an episode that the receive buffer cut, and
    // how many were cut when one fits again, as a problem episode is said.
    void SayCutDatagram();
    void CloseSocket();
    // Sleeps until there is something to do: a datagram on the socket (true: the receive step is to
    // run), a command (commandWoke), a signal, a problem line that may be said now, a command to try
    // again; without a wait when a bind is due (true).
    bool WaitForWork(const CCommandWake& commands, bool& commandWoke);
    // A port that a sender can reach: 1 to 65535.
    static bool IsListeningPort(UINT port);
    // After the acknowledgement of EXIT: waits, EXIT_TAKEN_WAIT_MS at most, until the host has taken
    // it or may be gone; true when it may be gone.
    bool IsHostLeavingAfterExit();

    std::unique_ptr<CVOKSocket> m_socket;
    eUdpState m_state = UDP_STATE_CONSTRUCTED;
    CString m_interfaceAddress;
    UINT m_port = 0;
    double m_receiveTimeout = 0.0;
    CString m_senderAddress;
    UINT m_senderPort = 0;
    DWORD m_socketBufferSize = UDP_SOCKET_BUFFER_SIZE;
    // A bind has failed since the last one that succeeded.
    // The signal mask of the loop's wait: the host's death signal gets in there only.
    sigset_t m_waitMask{};
    bool m_bindFailing = false;
    bool m_lostHost = false;
    bool m_hostLeft = false;
    // A command was announced and not yet read (or its settings not yet read): tried on every turn.
    bool m_commandPending = false;
    // The command in hand could not read its settings, or refused them.
    bool m_settingsUnread = false;
    bool m_commandRefused = false;
    uint64_t m_datagramsReceived = 0;
    // The cut datagrams since the last end said and the longest of them.
    CProblemEpisode m_cutProblem;
    // Commands posted over a record of code 0.
    CProblemEpisode m_noCommand;
    DWORD m_cutDatagrams = 0;
    DWORD m_longestCut = 0;
};
