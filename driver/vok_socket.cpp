#include "driver/vok_socket.h"

#include <arpa/inet.h>
#include <netdb.h>
#include <sys/time.h>
#include <sys/uio.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "foundation/debug_trace.h"
#include "foundation/system_time.h"
#include "foundation/text_tokens.h"
#include "platform/log.h"
#include "platform/posix_call.h"

using Vok::Posix::Call;

namespace {

bool IsWouldBlock(int code) { return code == EAGAIN || code == EWOULDBLOCK || code == EINPROGRESS; }

// A dotted address; false for any other text.
bool ParseDotted(const char* text, in_addr& out) {
    return text != nullptr && inet_pton(AF_INET, text, &out) == 1;
}

// An empty text is any address; text that is no address gives INADDR_NONE, which the kernel
// refuses, so the caller's failure is reported where it happens.
in_addr AddressOrAny(const char* text) {
    in_addr a{};
    a.s_addr = htonl(INADDR_ANY);
    if (text == nullptr || *text == '\0') return a;
    if (!ParseDotted(text, a)) a.s_addr = htonl(INADDR_NONE);
    return a;
}

// A dotted address, else the first IPv4 address of the host name.
bool ResolveHost(const char* host, in_addr& out) {
    if (ParseDotted(host, out)) return true;
    addrinfo hints{};
    hints.ai_family = AF_INET;
    addrinfo* found = nullptr;
    if (host == nullptr || getaddrinfo(host, nullptr, &hints, &found) != 0 || found == nullptr) return false;
    out = reinterpret_cast<const sockaddr_in*>(found->ai_addr)->sin_addr;
    freeaddrinfo(found);
    return true;
}

CString DottedText(const in_addr& a) {
    char text[INET_ADDRSTRLEN] = {};
    inet_ntop(AF_INET, &a, text, sizeof text);
    return CString(text);
}

int PollTimeout(DWORD milliseconds) {
    if (milliseconds == INFINITE) return -1;
    return milliseconds > static_cast<DWORD>(INT_MAX) ? INT_MAX : static_cast<int>(milliseconds);
}

short PollEventsOf(LONG events) {
    short p = 0;
    if ((events & (FD_READ | FD_ACCEPT | FD_CLOSE)) != 0) p |= POLLIN;
    if ((events & (FD_WRITE | FD_CONNECT)) != 0) p |= POLLOUT;
    if ((events & FD_OOB) != 0) p |= POLLPRI;
    return p;
}

}  // namespace

CVOKSocket::CVOKSocket(BOOL verbose) : m_verbose(verbose != 0 ? 1u : 0u) {}

CVOKSocket::~CVOKSocket() {
    if (IsOpen()) Close();
}

int CVOKSocket::Initialize() { return 1; }

int CVOKSocket::Deinitialize() { return 1; }

void CVOKSocket::ReportErrorCode(const char* label, int code) {
    m_lastError = static_cast<DWORD>(code);
    if (IsWouldBlock(code)) return;
    DebugTrace("E: %s returned %d", label, code);
    if (m_verbose != 0) ZLog::Log(ZLog::Error, "%s returned %d", label, code);
}

void CVOKSocket::ReportError(const char* label) {
    ReportErrorCode(label, errno);
    errno = 0;
}

bool CVOKSocket::IsStream() const {
    int type = 0;
    socklen_t length = sizeof type;
    return getsockopt(m_socket, SOL_SOCKET, SO_TYPE, &type, &length) == 0 && type == SOCK_STREAM;
}

BOOL CVOKSocket::Socket(int type, LONG events, int protocol, int family) {
    if (IsOpen()) Close();
    const auto made = Call(::socket, family, type | SOCK_NONBLOCK | SOCK_CLOEXEC, protocol);
    if (!made) {
        errno = made.error;
        ReportError("WSASocket");
        return FALSE;
    }
    m_socket = made.value;
    m_datagram = (type & 0xF) == SOCK_DGRAM;
    if (events == 0) return TRUE;
    return EventSelect(events);
}

BOOL CVOKSocket::Create(UINT port, int type, LONG events, const char* address) {
    if (!Socket(type, events, IPPROTO_TCP, AF_INET)) return FALSE;
    if (Bind(port, address)) return TRUE;
    Close();
    return FALSE;
}

BOOL CVOKSocket::EventSelect(LONG events) {
    if (!IsOpen()) {
        errno = EBADF;
        ReportError("WSAEventSelect");
        return FALSE;
    }
    m_events = events;
    return TRUE;
}

pollfd CVOKSocket::GetEvent() const { return pollfd{m_socket, PollEventsOf(m_events), 0}; }

BOOL CVOKSocket::SetSockOpt(int name, const void* value, int length, int level) {
    if (length < 0 || setsockopt(m_socket, level, name, value, static_cast<socklen_t>(length)) != 0) {
        if (length < 0) errno = EINVAL;
        ReportError("SetSockOpt");
        return FALSE;
    }
    return TRUE;
}

bool CVOKSocket::EnableArrivalStamps() {
    const int on = 1;
    // Quietly: a kernel without nanosecond stamps is asked for microseconds.
    if (setsockopt(m_socket, SOL_SOCKET, SO_TIMESTAMPNS, &on, sizeof on) == 0) return true;
    return SetSockOpt(SO_TIMESTAMP, &on, sizeof on, SOL_SOCKET) != FALSE;
}

BOOL CVOKSocket::GetSockOpt(int name, void* value, socklen_t* length, int level) {
    if (getsockopt(m_socket, level, name, value, length) != 0) {
        ReportError("GetSockOpt");
        return FALSE;
    }
    return TRUE;
}

BOOL CVOKSocket::SetSockOptAddress(BYTE loop, BYTE ttl, const char* interfaceAddress) {
    const in_addr local = AddressOrAny(interfaceAddress);
    return SetSockOpt(IP_MULTICAST_IF, &local, sizeof local, IPPROTO_IP) &&
           SetSockOpt(IP_MULTICAST_TTL, &ttl, 1, IPPROTO_IP) &&
           SetSockOpt(IP_MULTICAST_LOOP, &loop, 1, IPPROTO_IP);
}

BOOL CVOKSocket::Bind(UINT port, const char* address) {
    sockaddr_in local{};
    local.sin_family = AF_INET;
    local.sin_port = htons(static_cast<uint16_t>(port));
    local.sin_addr.s_addr = htonl(INADDR_ANY);
    if (address != nullptr && *address != '\0') {
        if (!ParseDotted(address, local.sin_addr) || local.sin_addr.s_addr == htonl(INADDR_NONE)) {
            DebugTrace("E: bind: %s is no address", address);
            return FALSE;
        }
    }
    if (bind(m_socket, reinterpret_cast<const sockaddr*>(&local), sizeof local) != 0) {
        ReportError("bind");
        return FALSE;
    }
    return TRUE;
}

bool CVOKSocket::AddMulticastGroupMembership(const char* group, const char* interfaceAddress) {
    ip_mreq request{AddressOrAny(group), AddressOrAny(interfaceAddress)};
    if (group == nullptr || *group == '\0') request.imr_multiaddr.s_addr = htonl(INADDR_NONE);
    return SetSockOpt(IP_ADD_MEMBERSHIP, &request, sizeof request, IPPROTO_IP) != 0;
}

bool CVOKSocket::DropMulticastGroupMembership(const char* group, const char* interfaceAddress) {
    ip_mreq request{AddressOrAny(group), AddressOrAny(interfaceAddress)};
    if (group == nullptr || *group == '\0') request.imr_multiaddr.s_addr = htonl(INADDR_NONE);
    return SetSockOpt(IP_DROP_MEMBERSHIP, &request, sizeof request, IPPROTO_IP) != 0;
}

int CVOKSocket::Connect(const char* host, UINT port) {
    m_connectStart = CurrentUtcTime();
    sockaddr_in remote{};
    remote.sin_family = AF_INET;
    remote.sin_port = htons(static_cast<uint16_t>(port));
    if (!ResolveHost(host, remote.sin_addr)) {
        DebugTrace("E: connect: host %s not found", host != nullptr ? host : "");
        return RECEIVE_FAILED;
    }
    // A non-blocking connect is never repeated after EINTR: it carries on in the kernel.
    if (connect(m_socket, reinterpret_cast<const sockaddr*>(&remote), sizeof remote) == 0) return RECEIVE_COMPLETE;
    const int code = errno;
    ReportError("connect");
    if (IsWouldBlock(code) || code == EINTR) {
        m_connectPending = 1;
        return RECEIVE_PENDING;
    }
    return RECEIVE_FAILED;
}

BOOL CVOKSocket::Listen(int backlog) {
    if (listen(m_socket, backlog) != 0) {
        ReportError("listen");
        return FALSE;
    }
    return TRUE;
}

int CVOKSocket::Accept(CVOKSocket& target, sockaddr* address, socklen_t* length) {
    m_acceptStart = CurrentUtcTime();
    const auto accepted = Call(::accept4, m_socket, address, length, SOCK_NONBLOCK | SOCK_CLOEXEC);
    if (accepted) {
        m_acceptPending = 0;
        if (target.IsOpen()) target.Close();
        target.m_socket = accepted.value;
        target.m_datagram = false;
        return RECEIVE_COMPLETE;
    }
    errno = accepted.error;
    ReportError("accept");
    if (IsWouldBlock(accepted.error)) {
        m_acceptPending = 1;
        return RECEIVE_PENDING;
    }
    return RECEIVE_FAILED;
}

BOOL CVOKSocket::CancelIo() {
    m_sendPending = m_receivePending = m_connectPending = m_acceptPending = 0;
    m_receiveBuffer = nullptr;
    m_sendRest = nullptr;
    return TRUE;
}

CVOKSocket::eWait CVOKSocket::Poll(short events, DWORD milliseconds, short& revents) {
    pollfd p{m_socket, events, 0};
    const int n = poll(&p, 1, PollTimeout(milliseconds));
    revents = p.revents;
    if (n > 0 && (p.revents & POLLNVAL) != 0) {
        errno = EBADF;
        return eWait::Failed;
    }
    if (n > 0) return eWait::Ready;
    // An interrupted wait counts as a short one: the caller waits again on its next turn.
    if (n == 0 || errno == EINTR) return eWait::TimedOut;
    return eWait::Failed;
}

int CVOKSocket::TimedOutResult(const CVOKTime& start, double timeout, DWORD& pending) {
    if (!IsTimedOut(start, timeout)) return RECEIVE_PENDING;
    pending = 0;
    return RECEIVE_FAILED;
}

// ---- Receiving ----

int CVOKSocket::StartReceive(void* buffer, DWORD length, int flags, bool withSender, const char* label) {
    m_bytesReceived = 0;
    m_datagramLength = 0;
    m_receiveTruncated = false;
    m_receiveStart = CurrentUtcTime();
    m_receiveBuffer = static_cast<BYTE*>(buffer);
    m_receiveLength = length;
    m_receiveFlags = flags;
    m_receiveWithSender = withSender;
    m_receiveLabel = label;
    m_receivePending = 1;
    if (withSender) std::memset(&m_senderAddress, 0, sizeof m_senderAddress);
    const int result = ReadPending(label);
    if (result != RECEIVE_PENDING) m_receivePending = 0;
    return result;
}

int CVOKSocket::ReadPending(const char* label) {
    m_receivedFlags = 0;
    iovec part{m_receiveBuffer, m_receiveLength};
    msghdr message{};
    sockaddr_in sender{};
    if (m_receiveWithSender) {
        message.msg_name = &sender;
        message.msg_namelen = sizeof sender;
    }
    message.msg_iov = &part;
    message.msg_iovlen = 1;
    // Room for the arrival stamp, in either form.
    alignas(cmsghdr) char control[CMSG_SPACE(sizeof(timespec))];
    message.msg_control = control;
    message.msg_controllen = sizeof control;
    m_hasArrival = false;
    // MSG_TRUNC makes a datagram socket answer the datagram's whole length (on a stream it would
    // drop the data).
    const int trunc = m_datagram ? MSG_TRUNC : 0;
    const auto got = Call(::recvmsg, m_socket, &message, m_receiveFlags | MSG_DONTWAIT | trunc);
    if (!got) {
        errno = got.error;
        ReportError(label);
        return IsWouldBlock(got.error) ? RECEIVE_PENDING : RECEIVE_FAILED;
    }
    m_datagramLength = static_cast<DWORD>(got.value);
    m_bytesReceived = std::min(m_datagramLength, m_receiveLength);
    m_receivedFlags = message.msg_flags;
    ReadArrival(message);
    if (got.value == 0 && IsStream()) {
        // An empty read of a stream is the peer's orderly shut-down, not data.
        if (m_verbose != 0) ZLog::Log(ZLog::Error, "CVOKSocket::Receive Graceful closure.");
        return RECEIVE_FAILED;
    }
    if (m_receiveWithSender) {
        m_senderAddress = sender;
        m_senderPort = ntohs(sender.sin_port);
        m_senderAddressText = DottedText(sender.sin_addr);
    }
    // A datagram longer than the buffer keeps its first bytes; the rest is gone, but the socket is
    // as good as before. Its owner says so (IsReceiveTruncated, GetDatagramLength).
    if ((message.msg_flags & MSG_TRUNC) != 0) {
        m_receiveTruncated = true;
        ReportErrorCode(label, EMSGSIZE);
    }
    return RECEIVE_COMPLETE;
}

void CVOKSocket::ReadArrival(msghdr& message) {
    for (cmsghdr* c = CMSG_FIRSTHDR(&message); c != nullptr; c = CMSG_NXTHDR(&message, c)) {
        if (c->cmsg_level != SOL_SOCKET) continue;
        if (c->cmsg_type == SCM_TIMESTAMPNS && c->cmsg_len >= CMSG_LEN(sizeof(timespec))) {
            std::memcpy(&m_arrival, CMSG_DATA(c), sizeof m_arrival);
        } else if (c->cmsg_type == SCM_TIMESTAMP && c->cmsg_len >= CMSG_LEN(sizeof(timeval))) {
            timeval stamp{};
            std::memcpy(&stamp, CMSG_DATA(c), sizeof stamp);
            m_arrival = {stamp.tv_sec, stamp.tv_usec * 1000};
        } else {
            continue;
        }
        m_hasArrival = true;
    }
}

int CVOKSocket::Receive(void* buffer, DWORD length, int flags) {
    return StartReceive(buffer, length, flags, false, "WSARecv");
}

int CVOKSocket::ReceiveFrom(void* buffer, DWORD length, int flags) {
    return StartReceive(buffer, length, flags, true, "WSARecvFrom");
}

int CVOKSocket::ReceiveFrom(void* buffer, DWORD length, CString& senderAddress, UINT& senderPort, int flags) {
    const int result = ReceiveFrom(buffer, length, flags);
    if (result == RECEIVE_COMPLETE) {
        senderAddress = m_senderAddressText;
        senderPort = m_senderPort;
    }
    return result;
}

int CVOKSocket::WaitForReceive(DWORD milliseconds) {
    if (m_receivePending == 0) {
        DebugTrace("E: WaitForReceive without a pending receive");
        return RECEIVE_FAILED;
    }
    short revents = 0;
    const eWait waited = Poll(POLLIN, milliseconds, revents);
    if (waited == eWait::Failed) {
        ReportError("WaitForReceive");
        m_receivePending = 0;
        return RECEIVE_FAILED;
    }
    if (waited == eWait::Ready) {
        const int result = ReadPending("GetOverlappedResult");
        if (result != RECEIVE_PENDING) {
            m_receivePending = 0;
            if (m_verbose != 0 && (m_receiveFlags & MSG_PEEK) != 0)
                ZLog::Log(ZLog::Info, "E: WaitForReceive MSG_PEEK");
            if (m_verbose != 0 && (m_receivedFlags & MSG_OOB) != 0)
                ZLog::Log(ZLog::Info, "E: WaitForReceive MSG_OOB");
            return result;
        }
    }
    return TimedOutResult(m_receiveStart, m_receiveTimeout, m_receivePending);
}

// ---- Sending ----

int CVOKSocket::StartSend(const void* buffer, DWORD length, int flags, const sockaddr_in* to, const char* label) {
    m_bytesSent = 0;
    m_sendStart = CurrentUtcTime();
    m_sendRest = static_cast<const BYTE*>(buffer);
    m_sendRestLength = length;
    m_sendFlags = flags;
    m_sendToAddress = to != nullptr;
    if (to != nullptr) m_sendAddress = *to;
    m_sendLabel = label;
    m_sendPending = 1;
    const int result = WriteRest();
    if (result != RECEIVE_PENDING) m_sendPending = 0;
    return result;
}

int CVOKSocket::WriteRest() {
    // A datagram goes whole or not at all; a stream may take part of the bytes.
    const auto* to = m_sendToAddress ? reinterpret_cast<const sockaddr*>(&m_sendAddress) : nullptr;
    const socklen_t toLength = m_sendToAddress ? sizeof m_sendAddress : 0;
    do {
        const auto sent = Call(::sendto, m_socket, m_sendRest, m_sendRestLength,
                               m_sendFlags | MSG_DONTWAIT | MSG_NOSIGNAL, to, toLength);
        if (!sent) {
            errno = sent.error;
            ReportError(m_sendLabel);
            return IsWouldBlock(sent.error) ? RECEIVE_PENDING : RECEIVE_FAILED;
        }
        if (sent.value == 0 && m_sendRestLength > 0) return RECEIVE_PENDING;
        m_bytesSent += static_cast<DWORD>(sent.value);
        m_sendRest += sent.value;
        m_sendRestLength -= static_cast<DWORD>(sent.value);
    } while (m_sendRestLength > 0);
    return RECEIVE_COMPLETE;
}

int CVOKSocket::Send(const void* buffer, DWORD length, int flags) {
    return StartSend(buffer, length, flags, nullptr, "WSASend");
}

int CVOKSocket::SendTo(const void* buffer, DWORD length, UINT port, const char* host, int flags) {
    sockaddr_in remote{};
    remote.sin_family = AF_INET;
    remote.sin_port = htons(static_cast<uint16_t>(port));
    if (host == nullptr || *host == '\0') {
        remote.sin_addr.s_addr = htonl(INADDR_BROADCAST);
    } else if (!ResolveHost(host, remote.sin_addr)) {
        DebugTrace("E: WSASendTo: host %s not found", host);
        return RECEIVE_FAILED;
    }
    return StartSend(buffer, length, flags, &remote, "WSASendTo");
}

int CVOKSocket::WaitForSend(DWORD milliseconds) {
    if (m_sendPending == 0) {
        DebugTrace("E: WaitForSend without a pending send");
        return RECEIVE_FAILED;
    }
    short revents = 0;
    const eWait waited = Poll(POLLOUT, milliseconds, revents);
    if (waited == eWait::Failed) {
        ReportError("WaitForSend");
        m_sendPending = 0;
        return RECEIVE_FAILED;
    }
    if (waited == eWait::Ready) {
        const int result = WriteRest();
        if (result != RECEIVE_PENDING) {
            m_sendPending = 0;
            return result;
        }
    }
    return TimedOutResult(m_sendStart, m_sendTimeout, m_sendPending);
}

// ---- Connecting and accepting ----

int CVOKSocket::WaitForConnect(DWORD milliseconds) {
    short revents = 0;
    const eWait waited = Poll(POLLOUT, milliseconds, revents);
    if (waited == eWait::Failed) {
        ReportError("WaitForConnect");
        m_connectPending = 0;
        return RECEIVE_FAILED;
    }
    if (waited == eWait::TimedOut) return TimedOutResult(m_connectStart, m_connectTimeout, m_connectPending);
    m_connectPending = 0;
    int code = 0;
    socklen_t length = sizeof code;
    if (getsockopt(m_socket, SOL_SOCKET, SO_ERROR, &code, &length) != 0) {
        ReportError("WSAEnumNetworkEvents");
        return RECEIVE_FAILED;
    }
    if (code == 0) return RECEIVE_COMPLETE;
    ReportErrorCode("WaitForConnect", code);
    return RECEIVE_FAILED;
}

int CVOKSocket::WaitForAccept(DWORD milliseconds) {
    short revents = 0;
    const eWait waited = Poll(POLLIN, milliseconds, revents);
    if (waited == eWait::Failed) {
        ReportError("WaitForAccept");
        m_acceptPending = 0;
        return RECEIVE_FAILED;
    }
    if (waited == eWait::TimedOut) return TimedOutResult(m_acceptStart, m_acceptTimeout, m_acceptPending);
    if ((revents & POLLERR) == 0) return RECEIVE_COMPLETE;
    int code = 0;
    socklen_t length = sizeof code;
    if (getsockopt(m_socket, SOL_SOCKET, SO_ERROR, &code, &length) != 0) {
        ReportError("WSAEnumNetworkEvents");
        return RECEIVE_FAILED;
    }
    if (code == 0) return RECEIVE_COMPLETE;
    ReportErrorCode("WaitForAccept", code);
    return RECEIVE_FAILED;
}

// ---- Names ----

BOOL CVOKSocket::GetPeerNameAddr(sockaddr* address, socklen_t* length) {
    if (getpeername(m_socket, address, length) != 0) {
        ReportError("GetPeerName");
        return FALSE;
    }
    return TRUE;
}

BOOL CVOKSocket::GetSockNameAddr(sockaddr* address, socklen_t* length) {
    if (getsockname(m_socket, address, length) != 0) {
        ReportError("GetSockName");
        return FALSE;
    }
    return TRUE;
}

BOOL CVOKSocket::GetPeerName(CString& address, UINT& port) {
    sockaddr_in a{};
    socklen_t length = sizeof a;
    if (!GetPeerNameAddr(reinterpret_cast<sockaddr*>(&a), &length)) return FALSE;
    address = DottedText(a.sin_addr);
    port = ntohs(a.sin_port);
    return TRUE;
}

BOOL CVOKSocket::GetSockName(CString& address, UINT& port) {
    sockaddr_in a{};
    socklen_t length = sizeof a;
    if (!GetSockNameAddr(reinterpret_cast<sockaddr*>(&a), &length)) return FALSE;
    address = DottedText(a.sin_addr);
    port = ntohs(a.sin_port);
    return TRUE;
}

void CVOKSocket::Close() {
    CancelIo();
    if (!IsOpen()) return;
    // close is never repeated: the descriptor is gone even when it reports EINTR.
    if (close(m_socket) != 0 && errno != EINTR) ReportError("Close");
    m_socket = INVALID_SOCKET;
    m_datagram = false;
    m_events = 0;
}

bool CVOKSocket::IsTimedOut(const CVOKTime& start, double seconds) {
    if (seconds == 0.0) return false;
    return CurrentUtcTime() - start > seconds;
}

CString CVOKSocket::GetStateText(int code) {
    CString text;
    switch (code) {
        case 1: case 2: case 3: case 4: case 13: case 17: case 18:
            text.Format("Connecting (%d)", code);
            break;
        case 6: case 11: case 12: case 16:
            text.Format("Sending (%d)", code);
            break;
        case 7: case 8: case 9: case 10: case 15:
            text.Format("Receiving (%d)", code);
            break;
        case 14:
            text = "Closed";
            break;
        default:
            text.Format("Unknown (%d)", code);
    }
    return text;
}

// ---- Addresses ----

namespace {

// An address part: decimal digits of a value up to 255; -1 for anything else (no digits, a sign, a
// blank, a value that atoi would wrap round into range).
int AddressPart(std::string_view part) {
    if (part.empty() || part.find_first_not_of("0123456789") != std::string_view::npos) return -1;
    int value = 0;
    for (const char c : part) {
        value = value * 10 + (c - '0');
        if (value > 255) return -1;
    }
    return value;
}

}  // namespace

bool IsMulticastAddress(const char* text) {
    if (text == nullptr) return false;
    const char* dot = std::strchr(text, '.');
    if (dot == nullptr || dot == text) return false;
    const int first = AddressPart(std::string_view(text, static_cast<size_t>(dot - text)));
    return first >= 224 && first <= 239;
}

void CIPv4Address::SetFromString(const char* text) {
    m_value = 0;
    const std::vector<std::string> parts = SplitToVector(text != nullptr ? text : "", '.');
    if (parts.size() != 4) return;
    DWORD value = 0;
    for (const std::string& part : parts) {
        const int octet = AddressPart(part);
        if (octet < 0) return;
        value = (value << 8) + static_cast<DWORD>(octet);
    }
    m_value = value;
}

CString CIPv4Address::ToString() const {
    CString text;
    text.Format("%d.%d.%d.%d", static_cast<int>(m_value >> 24), static_cast<int>((m_value >> 16) & 0xFF),
                static_cast<int>((m_value >> 8) & 0xFF), static_cast<int>(m_value & 0xFF));
    return text;
}

ip_mreq CIPv4Address::MakeMembershipRequest(const char* group, const char* interfaceAddress) {
    ip_mreq request{};
    request.imr_multiaddr.s_addr = htonl(CIPv4Address(group).GetValue());
    request.imr_interface.s_addr =
        htonl(interfaceAddress == nullptr || *interfaceAddress == '\0' ? INADDR_ANY
                                                                       : CIPv4Address(interfaceAddress).GetValue());
    return request;
}
