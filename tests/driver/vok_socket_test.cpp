#include "driver/vok_socket.h"

#include <arpa/inet.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "foundation/system_time.h"
#include "platform/log.h"

namespace {

// Repeats a 10 ms wait while it is pending, for 5 s at most.
int WaitDone(const std::function<int(DWORD)>& wait) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    int result = RECEIVE_PENDING;
    while ((result = wait(10)) == RECEIVE_PENDING && std::chrono::steady_clock::now() < end) {}
    return result;
}

bool Readable(const CVOKSocket& s) {
    pollfd p = s.GetEvent();
    return poll(&p, 1, 5000) == 1;
}

UINT LocalPort(CVOKSocket& s) {
    CString address;
    UINT port = 0;
    EXPECT_TRUE(s.GetSockName(address, port));
    return port;
}

// Logs every entry into `logged`; a UDP receiver on 127.0.0.1 and a sender on 127.0.0.2.
class SocketTest : public ::testing::Test {
protected:
    void SetUp() override {
        ZLog::Init(3, ZLog::OPTION_SIGNAL, ZLog::FLAG_NO_FILE | ZLog::FLAG_NO_DEBUGGER, nullptr, false, 0, false,
                   false);
        m_connection = ZLog::LogSignal().connect([this](const CVOKTime&, ZLog::eSeverity s, const std::string& t) {
            logged.push_back((s == ZLog::Error ? "E " : "? ") + t);
        });
        ASSERT_TRUE(receiver.Socket(SOCK_DGRAM, FD_READ, IPPROTO_UDP, AF_INET));
        ASSERT_TRUE(receiver.Bind(0, "127.0.0.1"));
        ASSERT_TRUE(sender.Socket(SOCK_DGRAM, 0, IPPROTO_UDP, AF_INET));
        ASSERT_TRUE(sender.Bind(0, "127.0.0.2"));
    }
    void TearDown() override {
        m_connection.disconnect();
        ZLog::Shutdown();
    }
    void Send(const std::string& bytes) {
        ASSERT_EQ(sender.SendTo(bytes.data(), static_cast<DWORD>(bytes.size()), LocalPort(receiver), "localhost", 0),
                  RECEIVE_COMPLETE);
    }
    // The next datagram, from a receive started before it was sent (pending) or after it arrived.
    int ReceiveNext(const std::string& bytes, bool pending) {
        if (pending) {
            EXPECT_EQ(receiver.ReceiveFrom(buffer, sizeof buffer, 0), RECEIVE_PENDING);
            EXPECT_EQ(receiver.WaitForReceive(10), RECEIVE_PENDING);
        }
        Send(bytes);
        if (pending) return WaitDone([&](DWORD ms) { return receiver.WaitForReceive(ms); });
        EXPECT_TRUE(Readable(receiver));
        CString from;
        UINT fromPort = 0;
        const int result = receiver.ReceiveFrom(buffer, sizeof buffer, from, fromPort, 0);
        EXPECT_EQ(from, receiver.GetSenderAddress());
        EXPECT_EQ(fromPort, receiver.GetSenderPort());
        return result;
    }

    CVOKSocket receiver{TRUE};
    CVOKSocket sender{TRUE};
    char buffer[16] = {};
    std::vector<std::string> logged;

private:
    boost::signals2::connection m_connection;
};

TEST(SocketAddress, Texts) {
    for (const char* t : {"224.0.0.1", "239.255.255.255"}) EXPECT_TRUE(IsMulticastAddress(t)) << t;
    for (const char* t : {"223.255.255.255", "240.0.0.1", "224", ".224", "", static_cast<const char*>(nullptr),
                          "4294967520.0.0.1"})
        EXPECT_FALSE(IsMulticastAddress(t));
    EXPECT_EQ(CIPv4Address("10.0.0.1").GetValue(), 0x0A000001u);
    EXPECT_STREQ(CIPv4Address("10.0.0.1").ToString(), "10.0.0.1");
    EXPECT_STREQ(CIPv4Address("255.1.2.3").ToString(), "255.1.2.3");
    EXPECT_STREQ(CIPv4Address(0xFFFFFFFFu).ToString(), "255.255.255.255");
    for (const char* t : {"10.0.0", "10.0.0.256", "1.2.3.-1", "1.2.3.4.5", "", static_cast<const char*>(nullptr),
                          "4294967297.0.0.1", "1.2.3.x", "1.2..4"})
        EXPECT_EQ(CIPv4Address(t).GetValue(), 0u);
    const ip_mreq request = CIPv4Address::MakeMembershipRequest("239.1.2.3", "");
    const BYTE expected[8] = {239, 1, 2, 3, 0, 0, 0, 0};
    EXPECT_EQ(std::memcmp(&request, expected, sizeof expected), 0);
    const std::pair<int, const char*> states[] = {{1, "Connecting (1)"}, {18, "Connecting (18)"}, {6, "Sending (6)"},
                                                  {16, "Sending (16)"},  {7, "Receiving (7)"},    {15, "Receiving (15)"},
                                                  {14, "Closed"},        {99, "Unknown (99)"},    {5, "Unknown (5)"}};
    for (const auto& [code, text] : states) EXPECT_STREQ(CVOKSocket::GetStateText(code), text);
}

TEST_F(SocketTest, BindAddressesSharedPortsAndFailureReports) {
    CVOKSocket other(TRUE), quiet(FALSE);
    ASSERT_TRUE(other.Socket(SOCK_DGRAM, 0, IPPROTO_UDP, AF_INET));
    EXPECT_FALSE(other.Bind(0, "abc"));
    EXPECT_FALSE(other.Bind(0, "255.255.255.255"));
    EXPECT_TRUE(logged.empty());
    EXPECT_FALSE(other.Bind(LocalPort(receiver), "127.0.0.1"));
    EXPECT_EQ(other.GetLastError(), static_cast<DWORD>(EADDRINUSE));
    EXPECT_EQ(quiet.ReceiveFrom(buffer, sizeof buffer, 0), RECEIVE_FAILED);
    EXPECT_EQ(quiet.GetLastError(), static_cast<DWORD>(EBADF));
    EXPECT_EQ(logged, std::vector<std::string>{"E bind returned " + std::to_string(EADDRINUSE)});

    // With SO_REUSEADDR on both, two sockets share a port on all local addresses.
    CVOKSocket first(TRUE), second(TRUE);
    const int on = 1, size = 262144;
    for (CVOKSocket* s : {&first, &second}) {
        ASSERT_TRUE(s->Socket(SOCK_DGRAM, 0, IPPROTO_UDP, AF_INET));
        ASSERT_TRUE(s->SetSockOpt(SO_REUSEADDR, &on, sizeof on, SOL_SOCKET));
        ASSERT_TRUE(s->SetSockOpt(SO_RCVBUF, &size, sizeof size, SOL_SOCKET));
    }
    ASSERT_TRUE(first.Bind(0, ""));
    EXPECT_TRUE(second.Bind(LocalPort(first), nullptr));
}

TEST_F(SocketTest, DatagramsOfEverySizeKeepTheSocket) {
    const struct {
        std::string bytes;
        DWORD received;
        bool truncated;
    } rows[] = {{"hello", 5, false}, {"", 0, false}, {"0123456789abcdefXYZ", 16, true}, {"0123456789abcdef", 16, false}};
    for (bool pending : {true, false}) {
        for (const auto& r : rows) {
            SCOPED_TRACE(r.bytes + (pending ? " after a wait" : " at once"));
            logged.clear();
            ASSERT_EQ(ReceiveNext(r.bytes, pending), RECEIVE_COMPLETE);
            EXPECT_EQ(std::string(buffer, receiver.GetBytesReceived()), r.bytes.substr(0, r.received));
            EXPECT_EQ(receiver.IsReceiveTruncated(), r.truncated);
            EXPECT_FALSE(receiver.IsReceivePending());
            EXPECT_STREQ(receiver.GetSenderAddress(), "127.0.0.2");
            EXPECT_EQ(receiver.GetSenderPort(), LocalPort(sender));
            const std::string cut = std::string("E ") + (pending ? "GetOverlappedResult" : "WSARecvFrom") +
                                    " returned " + std::to_string(EMSGSIZE);
            EXPECT_EQ(logged, r.truncated ? std::vector<std::string>{cut} : std::vector<std::string>{});
        }
    }
}

TEST_F(SocketTest, ReceiveTimeOutEndsAPendingReceive) {
    ASSERT_EQ(receiver.ReceiveFrom(buffer, sizeof buffer, 0), RECEIVE_PENDING);
    for (int i = 0; i < 5; ++i) EXPECT_EQ(receiver.WaitForReceive(10), RECEIVE_PENDING);
    receiver.SetReceiveTimeout(0.2);
    EXPECT_EQ(receiver.WaitForReceive(0), RECEIVE_PENDING);
    EXPECT_EQ(WaitDone([&](DWORD ms) { return receiver.WaitForReceive(ms); }), RECEIVE_FAILED);
    EXPECT_FALSE(receiver.IsReceivePending());
    EXPECT_EQ(receiver.WaitForReceive(0), RECEIVE_FAILED);
    EXPECT_TRUE(logged.empty());
}

TEST_F(SocketTest, MulticastGroupOnAnInterface) {
    CVOKSocket member(TRUE);
    ASSERT_TRUE(member.Socket(SOCK_DGRAM, FD_READ, IPPROTO_UDP, AF_INET));
    ASSERT_TRUE(member.Bind(0, ""));
    ASSERT_TRUE(member.AddMulticastGroupMembership("239.255.42.1", "127.0.0.1"));
    ASSERT_TRUE(sender.SetSockOptAddress(1, 1, "127.0.0.1"));
    ASSERT_EQ(sender.SendTo("group", 5, LocalPort(member), "239.255.42.1", 0), RECEIVE_COMPLETE);
    ASSERT_TRUE(Readable(member));
    EXPECT_EQ(member.ReceiveFrom(buffer, sizeof buffer, 0), RECEIVE_COMPLETE);
    EXPECT_EQ(std::string(buffer, member.GetBytesReceived()), "group");
    EXPECT_TRUE(member.DropMulticastGroupMembership("239.255.42.1", "127.0.0.1"));

    // Loop and time-to-live each go to their own option; no interface text means any interface.
    BYTE ttl = 0, loop = 1;
    socklen_t length = 1;
    ASSERT_TRUE(sender.SetSockOptAddress(0, 4, "127.0.0.1"));
    ASSERT_TRUE(sender.GetSockOpt(IP_MULTICAST_TTL, &ttl, &length, IPPROTO_IP));
    ASSERT_TRUE(sender.GetSockOpt(IP_MULTICAST_LOOP, &loop, &length, IPPROTO_IP));
    EXPECT_EQ(std::make_pair(ttl, loop), std::make_pair(BYTE{4}, BYTE{0}));
    EXPECT_TRUE(sender.SetSockOptAddress(1, 1, ""));
    EXPECT_TRUE(sender.SetSockOptAddress(1, 1, nullptr));
    // Any interface is the one of the kernel's route to the group: a host without one cannot join.
    const int probe = socket(AF_INET, SOCK_DGRAM, 0);
    sockaddr_in group{};
    group.sin_family = AF_INET;
    group.sin_port = htons(9);
    inet_pton(AF_INET, "239.255.42.7", &group.sin_addr);
    if (connect(probe, reinterpret_cast<const sockaddr*>(&group), sizeof group) == 0) {
        EXPECT_TRUE(member.AddMulticastGroupMembership("239.255.42.7", ""));
        EXPECT_TRUE(member.DropMulticastGroupMembership("239.255.42.7", nullptr));
    }
    close(probe);
    EXPECT_TRUE(logged.empty());
    EXPECT_FALSE(member.DropMulticastGroupMembership("239.255.42.1", "127.0.0.1"));
    EXPECT_FALSE(member.AddMulticastGroupMembership("not a group", ""));
    EXPECT_EQ(logged.size(), 2u);
}

TEST_F(SocketTest, StreamConnectAcceptTransferAndClosure) {
    CVOKSocket listener(TRUE), client(TRUE), server(TRUE);
    ASSERT_TRUE(listener.Create(0, SOCK_STREAM, FD_ACCEPT, "127.0.0.1"));
    ASSERT_TRUE(listener.Listen(4));
    ASSERT_TRUE(client.Socket(SOCK_STREAM, 0, IPPROTO_TCP, AF_INET));
    int r = client.Connect("127.0.0.1", LocalPort(listener));
    if (r == RECEIVE_PENDING) r = WaitDone([&](DWORD ms) { return client.WaitForConnect(ms); });
    ASSERT_EQ(r, RECEIVE_COMPLETE);
    if (listener.Accept(server, nullptr, nullptr) == RECEIVE_PENDING) {
        ASSERT_EQ(WaitDone([&](DWORD ms) { return listener.WaitForAccept(ms); }), RECEIVE_COMPLETE);
        ASSERT_EQ(listener.Accept(server, nullptr, nullptr), RECEIVE_COMPLETE);
    }
    CString peer;
    UINT peerPort = 0;
    ASSERT_TRUE(server.GetPeerName(peer, peerPort));
    EXPECT_STREQ(peer, "127.0.0.1");
    EXPECT_EQ(peerPort, LocalPort(client));

    // More than the socket buffers hold: the send stays pending while the peer reads. Its time-out
    // runs from the send's start, not from any other operation's.
    std::vector<BYTE> out(32 << 20), in, chunk(65536);
    for (size_t i = 0; i < out.size(); ++i) out[i] = static_cast<BYTE>(i * 7 + i / 4096);
    int sent = client.Send(out.data(), static_cast<DWORD>(out.size()), 0);
    EXPECT_EQ(sent, RECEIVE_PENDING);
    client.SetSendTimeout(5);
    EXPECT_EQ(client.WaitForSend(0), RECEIVE_PENDING);
    client.SetSendTimeout(0);
    // Whenever the peer has read all that the kernel took, the socket has room: a wait writes more.
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (in.size() < out.size() && std::chrono::steady_clock::now() < end) {
        int got = server.Receive(chunk.data(), static_cast<DWORD>(chunk.size()), 0);
        if (got == RECEIVE_PENDING) got = server.WaitForReceive(10);
        ASSERT_NE(got, RECEIVE_FAILED);
        if (got == RECEIVE_COMPLETE) in.insert(in.end(), chunk.begin(), chunk.begin() + server.GetBytesReceived());
        if (sent == RECEIVE_PENDING && in.size() == client.GetBytesSent()) {
            const DWORD before = client.GetBytesSent();
            sent = client.WaitForSend(5000);
            ASSERT_GT(client.GetBytesSent(), before);
        }
    }
    EXPECT_EQ(sent, RECEIVE_COMPLETE);
    EXPECT_EQ(client.GetBytesSent(), out.size());
    EXPECT_TRUE(in == out);
    EXPECT_TRUE(logged.empty());

    // The peer's closure ends the stream; a connection to a closed port is refused.
    client.Close();
    r = server.Receive(chunk.data(), static_cast<DWORD>(chunk.size()), 0);
    if (r == RECEIVE_PENDING) r = WaitDone([&](DWORD ms) { return server.WaitForReceive(ms); });
    EXPECT_EQ(r, RECEIVE_FAILED);
    EXPECT_EQ(logged, std::vector<std::string>{"E CVOKSocket::Receive Graceful closure."});
    const UINT closedPort = LocalPort(listener);
    listener.Close();
    ASSERT_TRUE(client.Socket(SOCK_STREAM, 0, IPPROTO_TCP, AF_INET));
    r = client.Connect("127.0.0.1", closedPort);
    if (r == RECEIVE_PENDING) r = WaitDone([&](DWORD ms) { return client.WaitForConnect(ms); });
    EXPECT_EQ(r, RECEIVE_FAILED);
    EXPECT_EQ(client.GetLastError(), static_cast<DWORD>(ECONNREFUSED));
}

}  // namespace
