#include "driver/vok_socket.h"

#include <arpa/inet.h>
#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "foundation/system_time.h"
#include "platform/log.h"

namespace {

using Clock = std::chrono::steady_clock;

// Repeats a 10 ms wait until it is no longer pending, for 5 s at most.
int WaitDone(const std::function<int(DWORD)>& wait) {
    const auto end = Clock::now() + std::chrono::seconds(5);
    int result = RECEIVE_PENDING;
    while ((result = wait(10)) == RECEIVE_PENDING && Clock::now() < end) {}
    return result;
}

// Until the socket has something to read, for 5 s at most.
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

struct sEntry {
    ZLog::eSeverity severity;
    std::string text;
};

// Every test logs at all levels into entries, and has a UDP receiver on 127.0.0.1 and a sender
// on 127.0.0.2.
class SocketTest : public ::testing::Test {
protected:
    void SetUp() override {
        ZLog::Init(3, ZLog::OPTION_SIGNAL, ZLog::FLAG_NO_FILE | ZLog::FLAG_NO_DEBUGGER, nullptr, false, 0, false,
                   false);
        m_connection = ZLog::LogSignal().connect(
            [this](const CVOKTime&, ZLog::eSeverity s, const std::string& text) { entries.push_back({s, text}); });
        ASSERT_TRUE(receiver.Socket(SOCK_DGRAM, FD_READ, IPPROTO_UDP, AF_INET));
        ASSERT_TRUE(receiver.Bind(0, "127.0.0.1"));
        port = LocalPort(receiver);
        ASSERT_TRUE(sender.Socket(SOCK_DGRAM, 0, IPPROTO_UDP, AF_INET));
        ASSERT_TRUE(sender.Bind(0, "127.0.0.2"));
    }
    void TearDown() override {
        m_connection.disconnect();
        ZLog::Shutdown();
    }
    void Send(const std::string& bytes) {
        ASSERT_EQ(sender.SendTo(bytes.data(), static_cast<DWORD>(bytes.size()), port, "127.0.0.1", 0),
                  RECEIVE_COMPLETE);
    }
    bool Logged(ZLog::eSeverity severity, const std::string& text) const {
        for (const auto& e : entries)
            if (e.severity == severity && e.text == text) return true;
        return false;
    }

    CVOKSocket receiver{TRUE};
    CVOKSocket sender{TRUE};
    UINT port = 0;
    char buffer[16] = {};
    std::vector<sEntry> entries;

private:
    boost::signals2::connection m_connection;
};

TEST(SocketAddress, MulticastTexts) {
    const struct {
        const char* text;
        bool multicast;
    } rows[] = {{"224.0.0.1", true},        {"239.255.255.255", true}, {"223.255.255.255", false},
                {"240.0.0.1", false},       {"224", false},            {".224", false},
                {"", false},                {nullptr, false}};
    for (const auto& r : rows) EXPECT_EQ(IsMulticastAddress(r.text), r.multicast) << (r.text ? r.text : "null");
}

TEST(SocketAddress, IPv4TextsAndMembershipRequest) {
    const struct {
        const char* text;
        DWORD value;
    } rows[] = {{"10.0.0.1", 0x0A000001}, {"255.255.255.255", 0xFFFFFFFF}, {"10.0.0", 0},
                {"10.0.0.256", 0},        {"1.2.3.-1", 0},                 {"1.2.3.4.5", 0},
                {"", 0},                  {nullptr, 0}};
    for (const auto& r : rows) {
        const CIPv4Address a(r.text);
        EXPECT_EQ(a.GetValue(), r.value) << (r.text ? r.text : "null");
        if (r.value != 0) {
            EXPECT_STREQ(a.ToString(), r.text);
        }
    }
    const ip_mreq request = CIPv4Address::MakeMembershipRequest("239.1.2.3", "");
    const BYTE expected[8] = {239, 1, 2, 3, 0, 0, 0, 0};
    EXPECT_EQ(std::memcmp(&request, expected, sizeof expected), 0);
}

TEST(SocketAddress, StateTexts) {
    const struct {
        int code;
        const char* text;
    } rows[] = {{1, "Connecting (1)"}, {18, "Connecting (18)"}, {6, "Sending (6)"}, {16, "Sending (16)"},
                {7, "Receiving (7)"},  {15, "Receiving (15)"},  {14, "Closed"},     {99, "Unknown (99)"},
                {5, "Unknown (5)"}};
    for (const auto& r : rows) EXPECT_STREQ(CVOKSocket::GetStateText(r.code), r.text);
}

TEST_F(SocketTest, BindAddressesAndSharedPorts) {
    CVOKSocket other(TRUE);
    ASSERT_TRUE(other.Socket(SOCK_DGRAM, 0, IPPROTO_UDP, AF_INET));
    EXPECT_FALSE(other.Bind(port, "abc"));
    EXPECT_FALSE(other.Bind(port, "255.255.255.255"));
    EXPECT_TRUE(entries.empty());
    EXPECT_FALSE(other.Bind(port, "127.0.0.1"));
    EXPECT_EQ(other.GetLastError(), static_cast<DWORD>(EADDRINUSE));
    EXPECT_TRUE(Logged(ZLog::Error, "bind returned " + std::to_string(EADDRINUSE)));

    // With SO_REUSEADDR on both, two sockets share a port on all local addresses.
    CVOKSocket first(TRUE), second(TRUE);
    const int on = 1;
    for (CVOKSocket* s : {&first, &second}) {
        ASSERT_TRUE(s->Socket(SOCK_DGRAM, 0, IPPROTO_UDP, AF_INET));
        ASSERT_TRUE(s->SetSockOpt(SO_REUSEADDR, &on, sizeof on, SOL_SOCKET));
        const int size = 262144;
        ASSERT_TRUE(s->SetSockOpt(SO_RCVBUF, &size, sizeof size, SOL_SOCKET));
    }
    ASSERT_TRUE(first.Bind(0, ""));
    EXPECT_TRUE(second.Bind(LocalPort(first), nullptr));
    int value = 0;
    socklen_t length = sizeof value;
    EXPECT_TRUE(second.GetSockOpt(SO_REUSEADDR, &value, &length, SOL_SOCKET));
    EXPECT_EQ(value, 1);
}

TEST_F(SocketTest, DatagramCompletesAtOnceOrAfterWait) {
    CString from;
    UINT fromPort = 0;
    ASSERT_EQ(receiver.ReceiveFrom(buffer, sizeof buffer, from, fromPort, 0), RECEIVE_PENDING);
    EXPECT_TRUE(receiver.IsReceivePending());
    EXPECT_EQ(receiver.WaitForReceive(10), RECEIVE_PENDING);
    Send("hello");
    ASSERT_EQ(WaitDone([&](DWORD ms) { return receiver.WaitForReceive(ms); }), RECEIVE_COMPLETE);
    EXPECT_EQ(std::string(buffer, receiver.GetBytesReceived()), "hello");
    EXPECT_STREQ(receiver.GetSenderAddress(), "127.0.0.2");
    EXPECT_EQ(receiver.GetSenderPort(), LocalPort(sender));
    EXPECT_FALSE(receiver.IsReceivePending());

    // Already there: done at once, sender into the caller's outputs too. A host name resolves.
    ASSERT_EQ(sender.SendTo("world", 5, port, "localhost", 0), RECEIVE_COMPLETE);
    ASSERT_TRUE(Readable(receiver));
    ASSERT_EQ(receiver.ReceiveFrom(buffer, sizeof buffer, from, fromPort, 0), RECEIVE_COMPLETE);
    EXPECT_EQ(std::string(buffer, receiver.GetBytesReceived()), "world");
    EXPECT_STREQ(from, "127.0.0.2");
    EXPECT_EQ(fromPort, LocalPort(sender));
    EXPECT_TRUE(entries.empty());
}

TEST_F(SocketTest, EmptyDatagramCompletesWithNoBytesAndKeepsTheSocket) {
    ASSERT_EQ(receiver.ReceiveFrom(buffer, sizeof buffer, 0), RECEIVE_PENDING);
    Send("");
    EXPECT_EQ(WaitDone([&](DWORD ms) { return receiver.WaitForReceive(ms); }), RECEIVE_COMPLETE);
    EXPECT_EQ(receiver.GetBytesReceived(), 0u);
    Send("");
    ASSERT_TRUE(Readable(receiver));
    EXPECT_EQ(receiver.ReceiveFrom(buffer, sizeof buffer, 0), RECEIVE_COMPLETE);
    EXPECT_EQ(receiver.GetBytesReceived(), 0u);
    Send("next");
    ASSERT_TRUE(Readable(receiver));
    EXPECT_EQ(receiver.ReceiveFrom(buffer, sizeof buffer, 0), RECEIVE_COMPLETE);
    EXPECT_EQ(receiver.GetBytesReceived(), 4u);
    EXPECT_TRUE(entries.empty());
}

TEST_F(SocketTest, LongDatagramIsCutToTheBufferAndReported) {
    const std::string longer = "0123456789abcdefXYZ";
    Send(longer);
    ASSERT_TRUE(Readable(receiver));
    EXPECT_EQ(receiver.ReceiveFrom(buffer, sizeof buffer, 0), RECEIVE_COMPLETE);
    EXPECT_EQ(std::string(buffer, receiver.GetBytesReceived()), longer.substr(0, sizeof buffer));
    EXPECT_TRUE(receiver.IsReceiveTruncated());
    EXPECT_TRUE(Logged(ZLog::Error, "WSARecvFrom returned " + std::to_string(EMSGSIZE)));

    ASSERT_EQ(receiver.ReceiveFrom(buffer, sizeof buffer, 0), RECEIVE_PENDING);
    Send(longer);
    EXPECT_EQ(WaitDone([&](DWORD ms) { return receiver.WaitForReceive(ms); }), RECEIVE_COMPLETE);
    EXPECT_EQ(receiver.GetBytesReceived(), sizeof buffer);
    EXPECT_TRUE(receiver.IsReceiveTruncated());
    EXPECT_TRUE(Logged(ZLog::Error, "GetOverlappedResult returned " + std::to_string(EMSGSIZE)));

    Send("short");
    ASSERT_TRUE(Readable(receiver));
    EXPECT_EQ(receiver.ReceiveFrom(buffer, sizeof buffer, 0), RECEIVE_COMPLETE);
    EXPECT_FALSE(receiver.IsReceiveTruncated());
}

TEST_F(SocketTest, ReceiveTimeOutEndsAPendingReceive) {
    ASSERT_EQ(receiver.ReceiveFrom(buffer, sizeof buffer, 0), RECEIVE_PENDING);
    for (int i = 0; i < 5; ++i) EXPECT_EQ(receiver.WaitForReceive(10), RECEIVE_PENDING);
    receiver.SetReceiveTimeout(0.2);
    EXPECT_EQ(receiver.WaitForReceive(0), RECEIVE_PENDING);
    EXPECT_EQ(WaitDone([&](DWORD ms) { return receiver.WaitForReceive(ms); }), RECEIVE_FAILED);
    EXPECT_FALSE(receiver.IsReceivePending());
    EXPECT_TRUE(CVOKSocket::IsTimedOut(CurrentUtcTime() - 2.0, 1.0));
    EXPECT_FALSE(CVOKSocket::IsTimedOut(CurrentUtcTime() - 2.0, 0.0));
}

TEST_F(SocketTest, FailuresAreLoggedOnlyWhenVerbose) {
    CVOKSocket loud(TRUE), quiet(FALSE);
    for (CVOKSocket* s : {&loud, &quiet}) {
        EXPECT_EQ(s->ReceiveFrom(buffer, sizeof buffer, 0), RECEIVE_FAILED);
        EXPECT_EQ(s->GetLastError(), static_cast<DWORD>(EBADF));
        EXPECT_EQ(s->WaitForReceive(10), RECEIVE_FAILED);
    }
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_TRUE(Logged(ZLog::Error, "WSARecvFrom returned " + std::to_string(EBADF)));
}

TEST_F(SocketTest, MulticastGroupOnAnInterface) {
    CVOKSocket member(TRUE);
    const int on = 1;
    ASSERT_TRUE(member.Socket(SOCK_DGRAM, FD_READ, IPPROTO_UDP, AF_INET));
    ASSERT_TRUE(member.SetSockOpt(SO_REUSEADDR, &on, sizeof on, SOL_SOCKET));
    ASSERT_TRUE(member.Bind(0, ""));
    ASSERT_TRUE(member.AddMulticastGroupMembership("239.255.42.1", "127.0.0.1"));
    ASSERT_TRUE(sender.SetSockOptAddress(1, 1, "127.0.0.1"));
    ASSERT_EQ(sender.SendTo("group", 5, LocalPort(member), "239.255.42.1", 0), RECEIVE_COMPLETE);
    ASSERT_TRUE(Readable(member));
    EXPECT_EQ(member.ReceiveFrom(buffer, sizeof buffer, 0), RECEIVE_COMPLETE);
    EXPECT_EQ(std::string(buffer, member.GetBytesReceived()), "group");
    EXPECT_TRUE(member.DropMulticastGroupMembership("239.255.42.1", "127.0.0.1"));
    EXPECT_TRUE(entries.empty());
    EXPECT_FALSE(member.DropMulticastGroupMembership("239.255.42.1", "127.0.0.1"));
    EXPECT_FALSE(member.AddMulticastGroupMembership("not a group", ""));
    EXPECT_EQ(entries.size(), 2u);
}

TEST_F(SocketTest, StreamConnectAcceptTransferAndClosure) {
    CVOKSocket listener(TRUE), client(TRUE), server(TRUE);
    ASSERT_TRUE(listener.Create(0, SOCK_STREAM, FD_ACCEPT, "127.0.0.1"));
    ASSERT_TRUE(listener.Listen(4));
    ASSERT_TRUE(client.Socket(SOCK_STREAM, 0, IPPROTO_TCP, AF_INET));
    int r = client.Connect("127.0.0.1", LocalPort(listener));
    if (r == RECEIVE_PENDING) r = WaitDone([&](DWORD ms) { return client.WaitForConnect(ms); });
    ASSERT_EQ(r, RECEIVE_COMPLETE);
    r = listener.Accept(server, nullptr, nullptr);
    if (r == RECEIVE_PENDING) {
        ASSERT_EQ(WaitDone([&](DWORD ms) { return listener.WaitForAccept(ms); }), RECEIVE_COMPLETE);
        r = listener.Accept(server, nullptr, nullptr);
    }
    ASSERT_EQ(r, RECEIVE_COMPLETE);
    CString peer;
    UINT peerPort = 0;
    ASSERT_TRUE(server.GetPeerName(peer, peerPort));
    EXPECT_STREQ(peer, "127.0.0.1");
    EXPECT_EQ(peerPort, LocalPort(client));

    // More than the socket buffers hold: the send stays pending while the peer reads.
    std::vector<BYTE> out(32 << 20), in;
    for (size_t i = 0; i < out.size(); ++i) out[i] = static_cast<BYTE>(i * 7 + i / 4096);
    int sent = client.Send(out.data(), static_cast<DWORD>(out.size()), 0);
    EXPECT_EQ(sent, RECEIVE_PENDING);
    std::vector<BYTE> chunk(65536);
    const auto end = Clock::now() + std::chrono::seconds(10);
    while (in.size() < out.size() && Clock::now() < end) {
        if (sent == RECEIVE_PENDING) sent = client.WaitForSend(0);
        int got = server.Receive(chunk.data(), static_cast<DWORD>(chunk.size()), 0);
        if (got == RECEIVE_PENDING) got = server.WaitForReceive(10);
        if (got == RECEIVE_COMPLETE) in.insert(in.end(), chunk.begin(), chunk.begin() + server.GetBytesReceived());
        ASSERT_NE(got, RECEIVE_FAILED);
    }
    EXPECT_EQ(sent, RECEIVE_COMPLETE);
    EXPECT_EQ(client.GetBytesSent(), out.size());
    EXPECT_TRUE(in == out);
    EXPECT_TRUE(entries.empty());

    // The peer's closure ends the stream.
    client.Close();
    r = server.Receive(chunk.data(), static_cast<DWORD>(chunk.size()), 0);
    if (r == RECEIVE_PENDING) r = WaitDone([&](DWORD ms) { return server.WaitForReceive(ms); });
    EXPECT_EQ(r, RECEIVE_FAILED);
    EXPECT_TRUE(Logged(ZLog::Error, "CVOKSocket::Receive Graceful closure."));
}

TEST_F(SocketTest, RefusedConnectionFails) {
    CVOKSocket closed(FALSE), client(TRUE);
    ASSERT_TRUE(closed.Create(0, SOCK_STREAM, 0, "127.0.0.1"));
    const UINT unused = LocalPort(closed);
    closed.Close();
    ASSERT_TRUE(client.Socket(SOCK_STREAM, 0, IPPROTO_TCP, AF_INET));
    int r = client.Connect("127.0.0.1", unused);
    if (r == RECEIVE_PENDING) r = WaitDone([&](DWORD ms) { return client.WaitForConnect(ms); });
    EXPECT_EQ(r, RECEIVE_FAILED);
    EXPECT_EQ(client.GetLastError(), static_cast<DWORD>(ECONNREFUSED));
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_NE(entries[0].text.find("returned " + std::to_string(ECONNREFUSED)), std::string::npos);
}

}  // namespace
