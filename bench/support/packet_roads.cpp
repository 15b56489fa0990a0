#include "bench/support/packet_roads.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <linux/futex.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <sys/mman.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <climits>
#include <cstring>
#include <functional>
#include <thread>

#include "bench/support/bench_datagrams.h"
#include "bench/support/cpu_pinning.h"
#include "platform/ipc_buffer_handle.h"
#include "platform/ipc_event.h"
#include "host/demo_host.h"

namespace Vok::Bench {

namespace {

constexpr char kQuit[] = "QUIT";
constexpr int kSocketBuffer = 0x40000;  // as the driver's
constexpr DWORD kRecordSize = 20;       // the tag and the datagram's length, as big as a time record

// A UDP socket bound to an ephemeral port on loopback; -1 on failure.
int BindLoopback(uint16_t& port) {
    const int s = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (s < 0) return -1;
    ::setsockopt(s, SOL_SOCKET, SO_RCVBUF, &kSocketBuffer, sizeof kSocketBuffer);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (::bind(s, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0 ||
        ::getsockname(s, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        ::close(s);
        return -1;
    }
    port = ntohs(address.sin_port);
    return s;
}

// The far end: a forked child that receives on its own socket and hands each datagram to its
// body until "QUIT" comes. It says its port when it is ready.
class CForkedEnd {
public:
    using Setup = std::function<bool()>;
    using Body = std::function<void(int socket, const char* bytes, ssize_t length, const sockaddr_in& from)>;

    // setup runs in the child before it is ready (it opens what the body uses), teardown after the
    // last datagram.
    bool Start(const Setup& setup, const Body& body, std::string& error, const Setup& teardown = {}) {
        int ready[2];
        if (::pipe2(ready, O_CLOEXEC) != 0) {
            error = "no pipe";
            return false;
        }
        const pid_t pid = ::fork();
        if (pid < 0) {
            error = "fork failed";
            return false;
        }
        if (pid == 0) {
            ::prctl(PR_SET_PDEATHSIG, SIGKILL);
            ::close(ready[0]);
            Serve(ready[1], setup, body);
            if (teardown) teardown();
            ::_exit(0);
        }
        ::close(ready[1]);
        m_pid = pid;
        pollfd p{ready[0], POLLIN, 0};
        if (::poll(&p, 1, 5000) != 1 || ::read(ready[0], &m_port, sizeof m_port) != sizeof m_port || m_port == 0) {
            error = "the far end did not get ready";
            ::close(ready[0]);
            return false;
        }
        ::close(ready[0]);
        return true;
    }

    // Asks the child to end, and kills it when it does not within two seconds.
    ~CForkedEnd() {
        if (m_pid <= 0) return;
        if (m_port != 0) {
            const CSender quit(m_port);
            quit.Send(kQuit);
        }
        for (int i = 0; i < 200; ++i) {
            if (::waitpid(m_pid, nullptr, WNOHANG) == m_pid) return;
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        ::kill(m_pid, SIGKILL);
        ::waitpid(m_pid, nullptr, 0);
    }

    pid_t Pid() const { return m_pid; }
    UINT Port() const { return m_port; }

private:
    static void Serve(int readyFd, const Setup& setup, const Body& body) {
        uint16_t port = 0;
        const int s = BindLoopback(port);
        if (s < 0 || !setup()) return;
        if (::write(readyFd, &port, sizeof port) != sizeof port) return;
        ::close(readyFd);
        static char bytes[16384];
        for (;;) {
            sockaddr_in from{};
            socklen_t length = sizeof from;
            const ssize_t n = ::recvfrom(s, bytes, sizeof bytes, 0, reinterpret_cast<sockaddr*>(&from), &length);
            if (n < 0 && errno == EINTR) continue;
            if (n < 0 || (n == sizeof kQuit - 1 && std::memcmp(bytes, kQuit, n) == 0)) break;
            body(s, bytes, n, from);
        }
        ::close(s);
    }

    pid_t m_pid = -1;
    uint16_t m_port = 0;
};

class CUdpEchoRoad : public CPacketRoad {
public:
    CUdpEchoRoad() {
        if (m_end.Start([] { return true; },
                        [](int s, const char* bytes, ssize_t n, const sockaddr_in& from) {
                            ::sendto(s, bytes, static_cast<size_t>(std::min<ssize_t>(n, 16)), 0,
                                     reinterpret_cast<const sockaddr*>(&from), sizeof from);
                        },
                        m_error))
            Connect(m_end.Port());
    }
    const char* Name() const override { return "udp_echo"; }
    pid_t FarProcess() const override { return m_end.Pid(); }
    // The reply comes back to the socket that sent the datagram.
    std::optional<uint64_t> ReadUpdate(DWORD) override {
        char tag[16];
        const int n = Sender().Receive(tag, sizeof tag);
        return n > 0 ? MarkOfTag(tag, static_cast<size_t>(n)) : std::nullopt;
    }

private:
    CForkedEnd m_end;
};

// The word the far end counts its datagrams in and wakes the reader on, and the mark of the last.
struct sWakeWords {
    std::atomic<uint32_t> count;
    std::atomic<uint64_t> mark;
};

class CUdpWakeRoad : public CPacketRoad {
public:
    CUdpWakeRoad() {
        void* shared = ::mmap(nullptr, sizeof(sWakeWords), PROT_READ | PROT_WRITE, MAP_SHARED | MAP_ANONYMOUS, -1, 0);
        if (shared == MAP_FAILED) {
            m_error = "no shared page";
            return;
        }
        m_words = new (shared) sWakeWords{};
        sWakeWords* words = m_words;
        if (m_end.Start([] { return true; },
                        [words](int, const char* bytes, ssize_t n, const sockaddr_in&) {
                            words->mark.store(MarkOfTag(bytes, static_cast<size_t>(n)).value_or(0),
                                              std::memory_order_relaxed);
                            words->count.fetch_add(1, std::memory_order_release);
                            ::syscall(SYS_futex, &words->count, FUTEX_WAKE, INT_MAX, nullptr, nullptr, 0);
                        },
                        m_error))
            Connect(m_end.Port());
    }
    ~CUdpWakeRoad() override {
        if (m_words != nullptr) ::munmap(m_words, sizeof(sWakeWords));
    }
    const char* Name() const override { return "udp_wake"; }
    pid_t FarProcess() const override { return m_end.Pid(); }
    std::optional<uint64_t> ReadUpdate(DWORD timeoutMs) override {
        const timespec timeout{static_cast<time_t>(timeoutMs / 1000), static_cast<long>(timeoutMs % 1000) * 1000000};
        uint32_t count = m_words->count.load(std::memory_order_acquire);
        if (count == m_seen) {
            ::syscall(SYS_futex, &m_words->count, FUTEX_WAIT, count, &timeout, nullptr, 0);
            count = m_words->count.load(std::memory_order_acquire);
            if (count == m_seen) return std::nullopt;
        }
        m_seen = count;
        return m_words->mark.load(std::memory_order_relaxed);
    }

private:
    sWakeWords* m_words = nullptr;
    CForkedEnd m_end;  // destroyed before the words are unmapped
    uint32_t m_seen = 0;
};

const char kNullBuffer[] = "NULL_OUT";
const char kNullEvent[] = "NULL_UPDATE";

class CNullDriverRoad : public CPacketRoad {
public:
    CNullDriverRoad() {
        // Made in the child, used by its body; empty in this process.
        struct sFarEnd {
            std::unique_ptr<IpcBufferHandle> out;
            std::unique_ptr<CIpcEvent> update;
        };
        const auto far = std::make_shared<sFarEnd>();
        const bool started = m_end.Start(
            [far] {
                far->out = std::make_unique<IpcBufferHandle>(kNullBuffer, 1);
                far->update = std::make_unique<CIpcEvent>(kNullEvent);
                if (!far->out->Lock()) return false;
                far->out->buffer.AddBlock(26, kRecordSize, kRecordSize);
                far->out->Unlock();
                return far->update->IsValid();
            },
            [far](int, const char* bytes, ssize_t n, const sockaddr_in&) {
                BYTE record[kRecordSize] = {};
                std::memcpy(record, bytes, static_cast<size_t>(std::min<ssize_t>(n, 16)));
                const auto length = static_cast<uint32_t>(n);
                std::memcpy(record + 16, &length, 4);
                if (far->out->Lock()) {
                    far->out->WriteRecord(1, 1, record, sizeof record);
                    far->out->buffer.SetRecordCount(0, 1);
                    far->out->Unlock();
                }
                far->update->Set();
            },
            m_error,
            [far] {
                far->out.reset();
                far->update.reset();
                return true;
            });
        if (!started) return;
        m_out = std::make_unique<IpcBufferHandle>(kNullBuffer, 0);
        m_update = std::make_unique<CIpcEvent>(kNullEvent);
        Connect(m_end.Port());
    }
    const char* Name() const override { return "null_driver"; }
    pid_t FarProcess() const override { return m_end.Pid(); }
    std::optional<uint64_t> ReadUpdate(DWORD timeoutMs) override {
        if (m_update->Wait(timeoutMs) != WAIT_OBJECT_0) return std::nullopt;
        m_update->Reset();
        BYTE record[kRecordSize] = {};
        if (!m_out->Lock()) return std::nullopt;
        const int read = m_out->ReadRecord(1, 1, record, sizeof record);
        m_out->Unlock();
        return read != 0 ? MarkOfTag(record, sizeof record) : std::nullopt;
    }

private:
    CForkedEnd m_end;
    std::unique_ptr<IpcBufferHandle> m_out;
    std::unique_ptr<CIpcEvent> m_update;
};

class CDriverRoad : public CPacketRoad {
public:
    explicit CDriverRoad(const std::string& arguments) {
        const std::string driver = Vok::Test::FindNearProgram("pelorad");
        if (driver.empty()) {
            m_error = "pelorad was not found beside or above this program";
            return;
        }
        const UINT port = Vok::Test::FindFreeUdpPort();
        m_host = std::make_unique<Vok::Test::CDemoHost>("\"" + driver + "\" " + arguments, port, std::string(), 4);
        if (!m_host->Start()) {
            m_error = m_host->GetError();
            return;
        }
        Connect(port);
    }
    ~CDriverRoad() override {
        if (m_host) m_host->Exit();
    }
    const char* Name() const override { return "driver"; }
    pid_t FarProcess() const override { return static_cast<pid_t>(m_host->GetDriverProcessId()); }
    std::optional<uint64_t> ReadUpdate(DWORD timeoutMs) override {
        if (!m_host->WaitForUpdate(timeoutMs)) return std::nullopt;
        const Vok::Test::sDemoRecords r = m_host->Read();
        return r.heading ? std::optional<uint64_t>(MarkOfHeading(r.heading->dHeading)) : std::nullopt;
    }

private:
    std::unique_ptr<Vok::Test::CDemoHost> m_host;
};

}  // namespace

void CPacketRoad::Connect(UINT port) {
    m_port = port;
    m_sender = std::make_unique<CSender>(port);
}

bool CPacketRoad::Send(const std::string& bytes) const { return m_sender != nullptr && m_sender->Send(bytes); }

bool CPacketRoad::Await(uint64_t n, Clock::time_point deadline) {
    for (;;) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
        if (left <= 0) return false;
        if (ReadUpdate(static_cast<DWORD>(left)) == MarkOf(n)) return true;
    }
}

CUpdateReader::CUpdateReader(CPacketRoad& road)
    : m_thread([this, &road] {
          while (!m_done)
              if (const auto mark = road.ReadUpdate(20)) m_lastSeen = *mark;
      }) {}

CUpdateReader::~CUpdateReader() {
    m_done = true;
    m_thread.join();
}

bool CUpdateReader::WaitFor(uint64_t n, Clock::time_point deadline) const {
    while (m_lastSeen != MarkOf(n)) {
        if (Clock::now() >= deadline) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return true;
}

bool CPacketRoad::Prime(uint64_t& n) {
    for (int attempt = 0; attempt < 50; ++attempt) {
        if (!Send(Datagram(n))) return false;
        const bool read = Await(n, Clock::now() + std::chrono::milliseconds(100));
        ++n;
        if (read) return true;
    }
    return false;
}

std::string PrepareRoads(const std::vector<CPacketRoad*>& roads, int cpu, uint64_t& n) {
    for (CPacketRoad* road : roads) {
        const std::string name = road->Name();
        if (!road->GetError().empty()) return name + ": " + road->GetError();
        if (!PinProcess(road->FarProcess(), cpu)) return name + ": its far end could not be pinned";
        if (!road->Prime(n)) return name + ": nothing came of the first datagrams";
    }
    return {};
}

sNullAndDriver::sNullAndDriver()
    : cpus(ChooseCpus()), pin(cpus.host), roads{MakeNullDriverRoad(), MakeDriverRoad()} {
    error = pin.Pinned() ? PrepareRoads({roads[0].get(), roads[1].get()}, cpus.driver, n)
                         : "this process could not be pinned";
}

std::unique_ptr<CPacketRoad> MakeUdpEchoRoad() { return std::make_unique<CUdpEchoRoad>(); }
std::unique_ptr<CPacketRoad> MakeUdpWakeRoad() { return std::make_unique<CUdpWakeRoad>(); }
std::unique_ptr<CPacketRoad> MakeNullDriverRoad() { return std::make_unique<CNullDriverRoad>(); }
std::unique_ptr<CPacketRoad> MakeDriverRoad(const std::string& arguments) {
    return std::make_unique<CDriverRoad>(arguments);
}

}  // namespace Vok::Bench
