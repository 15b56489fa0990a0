// Roads that a datagram sent over loopback UDP takes to a reader in this process, each in a
// process of its own at the far end, so that the driver's cost can be stated against what the
// kernel alone and a driver that does nothing but the necessary cost in the same run:
// - "udp_echo": the far end sends the datagram's tag back (UDP ping-pong);
// - "udp_wake": the far end receives and wakes the reader through a futex shared between the two
//   processes (the kernel's share of the driver's road);
// - "null_driver": the far end receives, writes one record under the exclusive hold of a real
//   shared buffer and sets a named event; the reader waits for the event and reads the record
//   under the shared hold;
// - "driver": the real pelorad under the demo host, which reads its records after each update.
// Every far end but the driver is forked from this process, so make them before this process opens
// any named object (a forked child would share the open file descriptions of its parent's locks).
#pragma once

#include <sys/types.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "bench/support/bench_datagrams.h"
#include "bench/support/cpu_pinning.h"
#include "compat/windows_types.h"
#include "host/demo_host.h"

namespace Vok::Bench {

using Clock = std::chrono::steady_clock;

class CPacketRoad {
public:
    virtual ~CPacketRoad() = default;
    // Empty when the road is ready; otherwise why it is not.
    const std::string& GetError() const { return m_error; }
    virtual const char* Name() const = 0;
    // The far end's UDP port on loopback, and a datagram sent to it.
    UINT Port() const { return m_port; }
    bool Send(const std::string& bytes) const;
    // The process at the far end.
    virtual pid_t FarProcess() const = 0;
    // Waits up to timeoutMs for an update and reads it: the mark of the datagram it came from.
    virtual std::optional<uint64_t> ReadUpdate(DWORD timeoutMs) = 0;
    // Reads updates until one of datagram n; false when none came by the deadline.
    bool Await(uint64_t n, Clock::time_point deadline);
    // Sends datagram n, and the next ones, until what came of one is read (an INIT makes the
    // driver bind afresh: the first datagrams may find no socket yet); n is then the next number.
    bool Prime(uint64_t& n);

protected:
    // Connects the sender to the far end's port.
    void Connect(UINT port);
    const CSender& Sender() const { return *m_sender; }
    std::string m_error;

private:
    UINT m_port = 0;
    std::unique_ptr<CSender> m_sender;
};

// A host on a thread of its own: woken by each update of a road, it reads it, as every real host
// does, until this object goes. The road is read by nothing else meanwhile.
class CUpdateReader {
public:
    explicit CUpdateReader(CPacketRoad& road);
    ~CUpdateReader();
    CUpdateReader(const CUpdateReader&) = delete;
    CUpdateReader& operator=(const CUpdateReader&) = delete;
    // Waits until the last update read is the one of datagram n (the last one sent); false when it
    // is not by the deadline.
    bool WaitFor(uint64_t n, Clock::time_point deadline) const;

private:
    std::atomic<bool> m_done{false};
    std::atomic<uint64_t> m_lastSeen{kMarks};
    std::thread m_thread;
};

// Checks that each road is ready, pins its far end to cpu and primes it; empty, or what failed.
std::string PrepareRoads(const std::vector<CPacketRoad*>& roads, int cpu, uint64_t& n);

std::unique_ptr<CPacketRoad> MakeUdpEchoRoad();
std::unique_ptr<CPacketRoad> MakeUdpWakeRoad();
std::unique_ptr<CPacketRoad> MakeNullDriverRoad();
// pelorad found beside or above this program, with its command-line arguments.
std::unique_ptr<CPacketRoad> MakeDriverRoad(const std::string& arguments = {});

// The null driver and the driver, primed, in a folder of named objects of their own, with this
// process on the host's CPU and their far ends on the driver's (ChooseCpus).
struct sNullAndDriver {
    sNullAndDriver();
    sCpuChoice cpus;
    CScopedPin pin;
    Vok::Test::CPrivateIpcFolder folder;
    std::unique_ptr<CPacketRoad> roads[2];  // the null driver, the driver
    uint64_t n = 1;                         // the next datagram's number
    std::string error;                      // empty when both are ready
};

}  // namespace Vok::Bench
