// One IPv4 socket (UDP or TCP) driven without blocking: every step that could block is a start
// call and a wait call. A start returns 2 when done at once, 1 when it must be waited for, 3 when
// it failed; the wait takes milliseconds and returns the same codes. Only one receive and one send
// are outstanding at a time; the buffer of a pending operation must stay valid until it completes.
// Failures are reported in one place with the name of the failing operation: to the trace sink,
// and with verbose on to the log with severity Error.
#pragma once

#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>

#include <cstdint>
#include <ctime>

#include "compat/cstring.h"
#include "compat/object.h"
#include "compat/windows_types.h"
#include "foundation/time_value.h"

using SOCKET = int;
constexpr SOCKET INVALID_SOCKET = -1;

// Network events a socket can be selected for.
constexpr LONG FD_READ = 0x01;
constexpr LONG FD_WRITE = 0x02;
constexpr LONG FD_OOB = 0x04;
constexpr LONG FD_ACCEPT = 0x08;
constexpr LONG FD_CONNECT = 0x10;
constexpr LONG FD_CLOSE = 0x20;

// Results of the start and wait operations.
enum eReceiveResult : int {
    RECEIVE_PENDING = 1,
    RECEIVE_COMPLETE = 2,
    RECEIVE_FAILED = 3,
};

class CVOKSocket : public CObject {
public:
    explicit CVOKSocket(BOOL verbose = FALSE);
    CVOKSocket(const CVOKSocket&) = delete;
    CVOKSocket& operator=(const CVOKSocket&) = delete;
    // Closes a socket the owner left open, so that no descriptor or port outlives the object.
    ~CVOKSocket() override;

    // Sockets need no library start-up here; kept for callers that pair them. Both return 1.
    static int Initialize();
    static int Deinitialize();

    // A socket still open is closed first. With events, the socket is selected for them.
    BOOL Socket(int type, LONG events, int protocol, int family);
    // A TCP socket of the given type bound to port and address; closed again when that fails.
    BOOL Create(UINT port, int type, LONG events, const char* address);
    BOOL EventSelect(LONG events);
    // The descriptor with the poll events of the selected network events.
    pollfd GetEvent() const;

    BOOL SetSockOpt(int name, const void* value, int length, int level);
    BOOL GetSockOpt(int name, void* value, socklen_t* length, int level);
    // IP_MULTICAST_IF (empty text: any interface), IP_MULTICAST_TTL and IP_MULTICAST_LOOP.
    BOOL SetSockOptAddress(BYTE loop, BYTE ttl, const char* interfaceAddress);
    // A null or empty address binds all local addresses; text that is no address (the broadcast
    // address included) gives 0 without binding.
    BOOL Bind(UINT port, const char* address);
    // Joins or leaves group on the interface (empty text: the system's choice).
    bool AddMulticastGroupMembership(const char* group, const char* interfaceAddress);
    bool DropMulticastGroupMembership(const char* group, const char* interfaceAddress);

    // Host as a dotted address or a host name.
    int Connect(const char* host, UINT port);
    BOOL Listen(int backlog);
    // The accepted connection goes into target (which closes any socket it had).
    int Accept(CVOKSocket& target, sockaddr* address, socklen_t* length);
    // Forgets every pending operation; nothing is left running in the kernel.
    BOOL CancelIo();

    // Receives. A datagram completes with its size, 0 for an empty one; a datagram longer than
    // the buffer completes cut to the buffer, with IsReceiveTruncated set and the cut reported.
    // On a stream 0 bytes is the peer's closure and fails.
    int Receive(void* buffer, DWORD length, int flags);
    int ReceiveFrom(void* buffer, DWORD length, int flags);
    int ReceiveFrom(void* buffer, DWORD length, CString& senderAddress, UINT& senderPort, int flags);
    // Asks the kernel to stamp each datagram's arrival (SO_TIMESTAMPNS, else SO_TIMESTAMP); false
    // when it does neither.
    bool EnableArrivalStamps();
    // The kernel's stamp (UTC) of the last datagram received; null when it gave none.
    const timespec* GetArrival() const { return m_hasArrival ? &m_arrival : nullptr; }
    // Completes a pending receive. Without a receive time-out it stays pending; with one it fails
    // once that many seconds have passed since the receive started.
    int WaitForReceive(DWORD milliseconds);

    // A send completes when all bytes are sent; what the socket cannot take at once is pending.
    int Send(const void* buffer, DWORD length, int flags);
    // No host: the broadcast address.
    int SendTo(const void* buffer, DWORD length, UINT port, const char* host, int flags);
    int WaitForSend(DWORD milliseconds);
    int WaitForConnect(DWORD milliseconds);
    // Completion means a connection is waiting: call Accept for it.
    int WaitForAccept(DWORD milliseconds);

    BOOL GetPeerName(CString& address, UINT& port);
    BOOL GetSockName(CString& address, UINT& port);
    BOOL GetPeerNameAddr(sockaddr* address, socklen_t* length);
    BOOL GetSockNameAddr(sockaddr* address, socklen_t* length);

    void Close();
    // Records errno as the last error and reports it under label; a would-block code is not
    // logged. errno is 0 afterwards.
    void ReportError(const char* label);
    static bool IsTimedOut(const CVOKTime& start, double seconds);
    static CString GetStateText(int code);

    bool IsOpen() const { return m_socket != INVALID_SOCKET; }
    DWORD GetLastError() const { return m_lastError; }
    DWORD GetBytesReceived() const { return m_bytesReceived; }
    DWORD GetBytesSent() const { return m_bytesSent; }
    bool IsReceiveTruncated() const { return m_receiveTruncated; }
    // The last datagram's whole length, also when the buffer took only its first bytes.
    DWORD GetDatagramLength() const { return m_datagramLength; }
    bool IsReceivePending() const { return m_receivePending != 0; }
    UINT GetSenderPort() const { return m_senderPort; }
    const CString& GetSenderAddress() const { return m_senderAddressText; }
    void SetSendTimeout(double seconds) { m_sendTimeout = seconds; }
    void SetReceiveTimeout(double seconds) { m_receiveTimeout = seconds; }
    void SetConnectTimeout(double seconds) { m_connectTimeout = seconds; }
    void SetAcceptTimeout(double seconds) { m_acceptTimeout = seconds; }

private:
    enum class eWait { Ready, TimedOut, Failed };
    eWait Poll(short events, DWORD milliseconds, short& revents);
    void ReportErrorCode(const char* label, int code);
    int StartReceive(void* buffer, DWORD length, int flags, bool withSender, const char* label);
    // One read into the pending buffer: 2, 3, or 1 when nothing was there.
    int ReadPending(const char* label);
    // The arrival stamp among the control messages of a receive.
    void ReadArrival(msghdr& message);
    int StartSend(const void* buffer, DWORD length, int flags, const sockaddr_in* to, const char* label);
    int WriteRest();
    int TimedOutResult(const CVOKTime& start, double timeout, DWORD& pending);
    bool IsStream() const;

    DWORD m_lastError = 0;
    DWORD m_bytesReceived = 0;
    DWORD m_datagramLength = 0;
    DWORD m_bytesSent = 0;
    double m_sendTimeout = 0.0;
    double m_receiveTimeout = 0.0;
    double m_connectTimeout = 0.0;
    double m_acceptTimeout = 0.0;
    UINT m_senderPort = 0;
    CString m_senderAddressText;
    DWORD m_verbose = 0;
    SOCKET m_socket = INVALID_SOCKET;
    bool m_datagram = false;
    LONG m_events = 0;
    DWORD m_connectPending = 0;
    DWORD m_acceptPending = 0;
    DWORD m_receivePending = 0;
    DWORD m_sendPending = 0;
    sockaddr_in m_senderAddress{};

    // The pending receive.
    BYTE* m_receiveBuffer = nullptr;
    DWORD m_receiveLength = 0;
    int m_receiveFlags = 0;
    bool m_receiveWithSender = false;
    bool m_receiveTruncated = false;
    int m_receivedFlags = 0;
    timespec m_arrival{};
    bool m_hasArrival = false;
    const char* m_receiveLabel = "";

    // The pending send: what is left of it and where it goes.
    const BYTE* m_sendRest = nullptr;
    DWORD m_sendRestLength = 0;
    int m_sendFlags = 0;
    bool m_sendToAddress = false;
    sockaddr_in m_sendAddress{};
    const char* m_sendLabel = "";

    CVOKTime m_sendStart;
    CVOKTime m_receiveStart;
    CVOKTime m_connectStart;
    CVOKTime m_acceptStart;
};

// True when the number before the first "." is 224 to 239; a part that is not a number of up to 255
// (decimal digits alone) is none.
bool IsMulticastAddress(const char* text);

// An IPv4 address in host order, the first octet in the highest byte.
class CIPv4Address {
public:
    CIPv4Address() = default;
    explicit CIPv4Address(DWORD value) : m_value(value) {}
    explicit CIPv4Address(const char* text) { SetFromString(text); }

    // Exactly four parts of 0 to 255 in decimal digits, else the value is 0.
    void SetFromString(const char* text);
    DWORD GetValue() const { return m_value; }
    void SetValue(DWORD value) { m_value = value; }
    CString ToString() const;
    // Group address, then the interface address (any interface for an empty text).
    static ip_mreq MakeMembershipRequest(const char* group, const char* interfaceAddress);

private:
    DWORD m_value = 0;
};
