#include "bench/support/bench_datagrams.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>
#include <vector>

#include "host/driver_samples.h"

namespace Vok::Bench {

namespace {

constexpr uint32_t kBaseSeconds = 1700000000;  // 2023-11-14 22:13:20 UTC

}  // namespace

uint64_t MarkOf(uint64_t n) { return n % kMarks; }

std::string Datagram(uint64_t n) {
    const uint32_t seconds = kBaseSeconds + static_cast<uint32_t>(n / 100);
    const uint32_t microseconds = static_cast<uint32_t>(n % 100) * 10000;
    const uint32_t ofDay = seconds % 86400;
    char time[16];
    std::snprintf(time, sizeof time, "%02u%02u%02u.%02u", ofDay / 3600, ofDay / 60 % 60, ofDay % 60,
                  static_cast<unsigned>(n % 100));
    char heading[16];
    std::snprintf(heading, sizeof heading, "%d.%02d", static_cast<int>(MarkOf(n)) / 100,
                  static_cast<int>(MarkOf(n)) % 100);
    using Vok::Test::Sentence;
    return Vok::Test::Tagged(
        seconds,
        Sentence(std::string("GPGGA,") + time + ",5158.80000,N,00403.00000,E,4,14,0.8,3.12,M,45.20,M,1.2,0101") +
            Sentence(std::string("GPGST,") + time + ",0.012,0.018,0.011,37.5,0.014,0.012,0.025") +
            Sentence(std::string("HEHDT,") + heading + ",T"),
        microseconds);
}

std::optional<uint64_t> MarkOfTag(const void* tag, size_t length) {
    if (length < 16) return std::nullopt;
    uint32_t seconds = 0, microseconds = 0;
    std::memcpy(&seconds, static_cast<const char*>(tag) + 8, 4);
    std::memcpy(&microseconds, static_cast<const char*>(tag) + 12, 4);
    if (seconds < kBaseSeconds) return std::nullopt;
    return MarkOf(static_cast<uint64_t>(seconds - kBaseSeconds) * 100 + microseconds / 10000);
}

uint64_t MarkOfHeading(double degrees) { return static_cast<uint64_t>(std::lround(degrees * 100.0)) % kMarks; }

CSender::CSender(UINT port) : m_socket(::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0)) {
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(static_cast<uint16_t>(port));
    to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (m_socket >= 0 && ::connect(m_socket, reinterpret_cast<const sockaddr*>(&to), sizeof to) != 0) {
        ::close(m_socket);
        m_socket = -1;
    }
    const timeval second{1, 0};
    if (m_socket >= 0) ::setsockopt(m_socket, SOL_SOCKET, SO_RCVTIMEO, &second, sizeof second);
}

CSender::~CSender() {
    if (m_socket >= 0) ::close(m_socket);
}

bool CSender::Send(const std::string& bytes) const {
    return m_socket >= 0 && ::send(m_socket, bytes.data(), bytes.size(), 0) == static_cast<ssize_t>(bytes.size());
}

int CSender::Receive(void* buffer, size_t size) const {
    return m_socket >= 0 ? static_cast<int>(::recv(m_socket, buffer, size, 0)) : -1;
}

long long SocketDrops(UINT port) {
    std::ifstream table("/proc/net/udp");
    std::string line;
    std::getline(table, line);  // heading
    while (std::getline(table, line)) {
        std::istringstream fields(line);
        std::string slot, local, column;
        fields >> slot >> local;
        const size_t colon = local.find(':');
        if (colon == std::string::npos || std::stoul(local.substr(colon + 1), nullptr, 16) != port) continue;
        std::vector<std::string> rest;
        while (fields >> column) rest.push_back(column);
        return rest.empty() ? -1 : std::stoll(rest.back());
    }
    return -1;
}

}  // namespace Vok::Bench
