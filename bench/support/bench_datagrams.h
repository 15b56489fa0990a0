// The datagrams that the end-to-end benchmarks send and how a reader tells them apart.
// Datagram n is a GGA, GST and HDT cycle behind a 16-byte binary time tag: its tag time and the
// sentences' time are n centiseconds after a base time, its heading is n modulo 360 degrees in
// hundredths. So every update has a time of its own, and its mark (n modulo 36000) can be read
// back from the heading record or from the tag bytes.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "compat/windows_types.h"

namespace Vok::Bench {

constexpr uint64_t kMarks = 36000;

std::string Datagram(uint64_t n);
uint64_t MarkOf(uint64_t n);
// The mark of the datagram whose first 16 bytes these are; nothing when they are not a tag.
std::optional<uint64_t> MarkOfTag(const void* tag, size_t length);
// The mark of a heading in degrees, as the driver writes it.
uint64_t MarkOfHeading(double degrees);

// A UDP socket on loopback connected to a port.
class CSender {
public:
    explicit CSender(UINT port);
    ~CSender();
    CSender(const CSender&) = delete;
    CSender& operator=(const CSender&) = delete;
    bool Send(const std::string& bytes) const;
    // A datagram sent back to this socket, waiting a second at most; its length, or -1.
    int Receive(void* buffer, size_t size) const;

private:
    int m_socket;
};

// Datagrams the kernel dropped at the IPv4 UDP socket bound to this port because its queue was
// full (the last column of /proc/net/udp); -1 when no such socket is there.
long long SocketDrops(UINT port);

}  // namespace Vok::Bench
