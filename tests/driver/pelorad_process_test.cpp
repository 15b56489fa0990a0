// The real driver process under a test host: commands, settings, the output buffer's blocks and
// records, datagrams over loopback UDP.
#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <sched.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <initializer_list>
#include <iterator>
#include <limits>
#include <memory>
#include <sstream>
#include <string>
#include <thread>
#include <tuple>
#include <utility>
#include <vector>

#include "definitions/records/definition_types.h"
#include "driver/drv_base_socket.h"
#include "driver/drv_udp_client.h"
#include "driver/result_records.h"
#include "foundation/system_time.h"
#include "platform/ipc_event.h"
#include "platform/process_launch.h"
#include "host/definition_samples.h"
#include "host/driver_samples.h"
#include "tests/support/file_helpers.h"
#include "tests/support/ipc_test_folder.h"
#include "tests/support/peer_process.h"
#include "tests/support/vanishing_parent.h"
#include "host/test_host.h"

// Expected records name their fields; the ones not named are zero, as the formats want.
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"

namespace {

using namespace Vok::Test;

const std::string PELORAD = VOK_BINARY_DIR "/pelorad";
constexpr uint32_t kSeconds = 1000000000;  // 2001-09-09 01:46:40 UTC

const std::string HDT = Sentence("HEHDT,123.4,T");
const std::string BAD_CHECKSUM = "$HEHDT,123.4,T*00\r\n";

// A heading definition: the driver adds a heading block, and each heading datagram writes it.
sObsDef HeadingDef() { return MakeObsDef(1, OBS_BEARING_TRUE, 7, 1, 0, 0); }

class PeloradProcess : public IpcTest {
protected:
    void TearDown() override {
        m_out.reset();
        m_host.reset();
        IpcTest::TearDown();
    }

    sDriverSettings Settings(const char* output) {
        sDriverSettings s;
        s.system.sysId = 7;
        s.system.port = m_port;
        const BYTE loopback[4] = {127, 0, 0, 1};
        std::memcpy(s.system.address, loopback, 4);
        s.system.timeTagType = 4;
        s.system.timeSource = 4;
        s.outputName = output;
        s.observations.Add(HeadingDef());
        return s;
    }

    // Starts the driver, publishes the settings, sends the command and opens the output buffer.
    void Start(const sDriverSettings& settings, DWORD command = CMD_SETTINGS, const std::string& arguments = {}) {
        m_host = std::make_unique<CTestHost>(PELORAD + arguments, 1, ErrorFile());
        ASSERT_TRUE(m_host->PublishSettings(settings));
        ASSERT_TRUE(m_host->SendCommand(command));
        m_out = std::make_unique<IpcBufferHandle>(settings.outputName.c_str(), 0);
    }

    void Exit() {
        EXPECT_TRUE(m_host->SendCommand(CMD_EXIT));
        EXPECT_EQ(m_host->WaitForExit(5000), 0);
    }

    // Record 1 of a time block and its record count; false when unreadable.
    static bool ReadTimeBlock(IpcBufferHandle& out, DWORD block, TimeBlockRecord& record, DWORD& count) {
        const CBufferHold hold(out);
        if (!hold || out.ReadRecord(block, 1, &record, sizeof record) == 0) return false;
        count = out.buffer.GetRecordCount(block - 1);
        return true;
    }

    // Waits, update after update, until the time block holds that time. With a datagram it is sent
    // again while it does not arrive: after an INIT the driver binds a new socket, and what
    // reached the old one is gone.
    bool AwaitTime(DWORD block, double unixSeconds, const std::string& datagram = {}, IpcBufferHandle* out = nullptr,
                   const char* from = "127.0.0.1") {
        const CStopwatch watch;
        while (watch.Elapsed() < Milliseconds(5000)) {
            if (!datagram.empty() && !SendDatagram(m_port, datagram, from)) return false;
            m_host->WaitForUpdate(200);
            TimeBlockRecord record{};
            DWORD count = 0;
            if (ReadTimeBlock(out != nullptr ? *out : *m_out, block, record, count) && count == 1 &&
                SameTime(record.stTime, At(unixSeconds)))
                return true;
        }
        return false;
    }

    template <class Record>
    Record Read(DWORD block, DWORD record = 1) {
        Record r{};
        const CBufferHold hold(*m_out);
        EXPECT_EQ(m_out->ReadRecord(block, record, &r, sizeof r), 1) << block;
        return r;
    }

    std::vector<DWORD> TimeBlocks() {
        const CBufferHold hold(*m_out);
        return hold ? FindBlocks(*m_out, TIME_BLOCK_TYPE) : std::vector<DWORD>{};
    }

    std::string ErrorFile() const { return m_folder.GetRoot() + "/stderr.txt"; }
    std::string Errors() const { return ReadTextFile(ErrorFile()).value_or(""); }
    // Runs a command without a host, its standard error in ErrorFile(): its exit code, if it ended in time.
    std::optional<int> RunAlone(std::vector<std::string> arguments) const {
        Vok::Process::sLaunchOptions options;
        options.arguments = std::move(arguments);
        const int fd = ::open(ErrorFile().c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
        options.standardError = fd;
        Vok::Process::CProcess process = Vok::Process::Launch(options);
        ::close(fd);
        if (!process.IsValid()) return std::nullopt;
        const std::optional<int> code = process.Wait(5000);
        if (!code) process.Kill(SIGKILL);
        return code;
    }
    // Waits until the driver has said text on standard error.
    bool AwaitError(const std::string& text) const {
        const CStopwatch watch;
        while (Errors().find(text) == std::string::npos) {
            if (watch.Elapsed() > Milliseconds(5000)) return false;
            ::usleep(10000);
        }
        return true;
    }
    size_t CountErrors(const std::string& text) const {
        const std::string errors = Errors();
        size_t n = 0;
        for (size_t p = errors.find(text); p != std::string::npos; p = errors.find(text, p + 1)) ++n;
        return n;
    }

    UINT m_port = FindFreeUdpPort();
    std::unique_ptr<CTestHost> m_host;
    std::unique_ptr<IpcBufferHandle> m_out;
};

TEST_F(PeloradProcess, EveryCommandIsAcknowledgedAndExitEndsWithZero) {
    {
        CTestHost host(PELORAD);
        ASSERT_TRUE(host.SendCommand(CMD_EXIT));
        const CStopwatch watch;  // a host that took the acknowledgement and holds its files is not waited for
        EXPECT_EQ(host.WaitForExit(5000), 0);
        EXPECT_LT(watch.Elapsed(), Milliseconds(EXIT_TAKEN_WAIT_MS));
    }
    {
        // A standard error that nobody reads any more: what the driver says there ends nothing.
        const std::string fifo = m_folder.GetRoot() + "/unread-stderr";
        ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
        const int reader = ::open(fifo.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
        ASSERT_GE(reader, 0);
        CTestHost host(PELORAD, 1, fifo);
        ::close(reader);
        EXPECT_TRUE(host.SendCommand(99));
        EXPECT_TRUE(host.SendCommand(CMD_EXIT));
        EXPECT_EQ(host.WaitForExit(5000), 0);
        ::unlink(fifo.c_str());
    }
    // SETTINGS as the first command runs INIT first; the INIT after it adds a second time block.
    Start(Settings("OUT_CMD"), CMD_SETTINGS);
    for (const DWORD code : std::initializer_list<DWORD>{CMD_INIT, CMD_SETTINGS, CMD_RESET, CMD_STOP, CMD_PAUSE,
                                                         CMD_RECORD, CMD_FIX_UPDATE, CMD_SPLIT, CMD_DEVICE_SETTINGS,
                                                         CMD_PLAY, CMD_TRIGGER, CMD_HEARTBEAT, 99})
        EXPECT_TRUE(m_host->SendCommand(code)) << code;
    // Code 0 is a record never written: no command, nothing acknowledged.
    EXPECT_FALSE(m_host->SendCommand(CMD_UNDEFINED, 300));
    EXPECT_EQ(TimeBlocks().size(), 2u);
    Exit();
    EXPECT_EQ(CountErrors("the command record holds no command (code 0)"), 1u) << Errors();
    // A code that no command has is named; the known ones that do nothing are not.
    EXPECT_EQ(CountErrors("unknown command code 99; acknowledged, nothing done"), 1u) << Errors();
    EXPECT_EQ(CountErrors("unknown command code"), 1u) << Errors();
}

// User and system time of a process, in clock ticks.
long CpuTicks(pid_t pid) {
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string text((std::istreambuf_iterator<char>(stat)), std::istreambuf_iterator<char>());
    std::istringstream fields(text.substr(text.rfind(')') + 2));  // from the third field, the state
    std::string skipped;
    for (int i = 3; i < 14; ++i) fields >> skipped;
    long user = 0, system = 0;
    fields >> user >> system;
    return user + system;
}

// The driver sleeps while nothing comes: before the first INIT, and after it with its socket bound.
// A command and a datagram are still seen at once.
TEST_F(PeloradProcess, NothingWakesTheDriverWhileNothingComes) {
    m_host = std::make_unique<CTestHost>(PELORAD, 1, ErrorFile());
    const auto pid = static_cast<pid_t>(m_host->Link().GetProcessId());
    const auto quiet = [pid] {
        std::this_thread::sleep_for(Milliseconds(100));
        const long before = ContextSwitches(pid), ticks = CpuTicks(pid);
        std::this_thread::sleep_for(Milliseconds(1000));
        // A loop that spun on a wake it never took would take a good share of a core even on a
        // loaded machine; an idle driver takes no tick.
        EXPECT_LT(CpuTicks(pid) - ticks, ::sysconf(_SC_CLK_TCK) / 10);
        return ContextSwitches(pid) - before;
    };
    // Running its loop (a command that is no INIT is answered there), however slowly it started.
    ASSERT_TRUE(m_host->SendCommand(CMD_HEARTBEAT, 5000));
    // A driver that looked for work every few milliseconds would switch a hundred times or more.
    EXPECT_LE(quiet(), 2);
    ASSERT_TRUE(m_host->PublishSettings(Settings("OUT_IDLE")));
    ASSERT_TRUE(m_host->SendCommand(CMD_SETTINGS, 1000));
    m_out = std::make_unique<IpcBufferHandle>("OUT_IDLE", 0);
    ASSERT_TRUE(AwaitTime(1, kSeconds, Tagged(kSeconds, HDT)));
    EXPECT_LE(quiet(), 2);
    ASSERT_TRUE(AwaitTime(1, kSeconds + 1, Tagged(kSeconds + 1, HDT)));
    Exit();
    // The driver has this process's road (a denial of futex_waitv reaches it too): only the other
    // road is said, with why and the signal that ends the watch.
    int refusal = 0;
    if (CIpcEventWatch::WaitsOnTwoWords(&refusal)) {
        EXPECT_EQ(CountErrors("futex_waitv"), 0u) << Errors();
    } else {
        EXPECT_EQ(CountErrors("pelorad: futex_waitv is not available (" + std::string(std::strerror(refusal)) +
                              "); the command watch sleeps on its event alone and is ended by signal " +
                              std::to_string(CIpcEventWatch::GetCancelSignal()) + "\n"),
                  1u)
            << Errors();
    }
}

TEST_F(PeloradProcess, ACommandWrittenWhileAnotherIsHandledIsNotLost) {
    // The output buffer's lock, held here, keeps the driver in its INIT.
    sDriverSettings settings = Settings("OUT_SLOW");
    IpcBufferHandle out("OUT_SLOW", 1);
    m_host = std::make_unique<CTestHost>(PELORAD, 1, ErrorFile());
    ASSERT_TRUE(m_host->PublishSettings(settings));
    ASSERT_TRUE(m_host->SendCommand(CMD_HEARTBEAT));  // the driver runs its loop
    CIpcEvent newSettings(m_host->Link().GetPrefix() + "_NEW_SETTINGS");
    ASSERT_TRUE(out.Lock());
    ASSERT_TRUE(m_host->Link().WriteCommand(CMD_INIT));
    EXPECT_FALSE(m_host->Link().PostSettingsAndWait(0));
    // Once the driver has taken the command (and is held in it), a host that gave up waiting goes
    // on with its next command.
    for (const CStopwatch watch; newSettings.Wait(0) == WAIT_OBJECT_0 && watch.Elapsed() < Milliseconds(2000);)
        ::usleep(1000);
    ASSERT_TRUE(m_host->Link().WriteCommand(CMD_EXIT));
    EXPECT_FALSE(m_host->Link().PostSettingsAndWait(0));
    // The command that waits for its turn does not keep the driver busy meanwhile.
    const auto pid = static_cast<pid_t>(m_host->Link().GetProcessId());
    const long ticks = CpuTicks(pid);
    ::usleep(300000);
    EXPECT_LT(CpuTicks(pid) - ticks, ::sysconf(_SC_CLK_TCK) / 10);
    out.Unlock();
    EXPECT_EQ(m_host->WaitForExit(5000), 0);
}

TEST_F(PeloradProcess, AFailedBindIsSaidOnceAndTriedUntilThePortIsFree) {
    // Another program holds the port without sharing it.
    const int holder = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    ASSERT_GE(holder, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<uint16_t>(m_port));
    address.sin_addr.s_addr = htonl(INADDR_ANY);
    ASSERT_EQ(::bind(holder, reinterpret_cast<const sockaddr*>(&address), sizeof address), 0);
    Start(Settings("OUT_BIND"));
    const std::string failed = "cannot bind UDP port " + std::to_string(m_port) + ": Address already in use";
    EXPECT_TRUE(AwaitError(failed)) << Errors();
    ::usleep(200000);  // many more tries
    ::close(holder);
    EXPECT_TRUE(AwaitTime(1, kSeconds + 1, Tagged(kSeconds + 1, HDT)));
    // A rebind that succeeds at once has nothing to say.
    EXPECT_TRUE(m_host->SendCommand(CMD_RESET));
    EXPECT_TRUE(AwaitTime(1, kSeconds + 2, Tagged(kSeconds + 2, HDT)));
    Exit();
    EXPECT_EQ(CountErrors("cannot bind UDP port"), 1u) << Errors();
    EXPECT_EQ(CountErrors("UDP port " + std::to_string(m_port) + " is bound now"), 1u) << Errors();
}

// Under a limit of open files too low for it, wherever the driver meets it (the link's events and
// buffer, the output buffer and its blocks, the socket), it ends and says why: no limit leaves it
// running with its commands unanswered, or answered and nothing written.
TEST_F(PeloradProcess, ADescriptorLimitItCannotWorkUnderEndsTheDriverWithItsCause) {
#if defined(__SANITIZE_ADDRESS__)
    // UBSan's vptr check needs a descriptor of its own to look at an object, and aborts without one
    // ("object has invalid vptr"); a driver built without that check runs every limit here clean.
    GTEST_SKIP() << "the sanitizers' runtime needs descriptors of its own";
#endif
    int ended = 0, worked = 0;
    for (int limit = 7; limit <= 40; ++limit) {
        SCOPED_TRACE(limit);
        m_host = std::make_unique<CTestHost>("prlimit --nofile=" + std::to_string(limit) + " " + PELORAD, 1, ErrorFile());
        ASSERT_TRUE(m_host->PublishSettings(Settings("OUT_FDS")));
        // An acknowledged SETTINGS was carried out: its heading is written, unless the socket it
        // binds next cannot be made, which ends the driver.
        std::optional<int> status;
        bool updated = false;
        const bool answered = m_host->SendCommandWhileRunning(CMD_SETTINGS, 3000);
        for (const CStopwatch watch; answered && !updated && !status && watch.Elapsed() < Milliseconds(3000);
             status = m_host->WaitForExit(0))
            updated = SendDatagram(m_port, Tagged(kSeconds, HDT)) && m_host->WaitForUpdate(100);
        if (updated) {
            EXPECT_TRUE(m_host->SendCommand(CMD_EXIT, 1000));
        }
        if (!status) status = m_host->WaitForExit(5000);
        ASSERT_TRUE(status.has_value()) << Errors();
        EXPECT_EQ(*status, updated ? 0 : 3) << Errors();
        if (!updated) {
            EXPECT_NE(Errors().find("Too many open files (the limit of open files leaves the driver too few to work); "
                                    "the driver ends"),
                      std::string::npos) << Errors();
            EXPECT_TRUE(!answered || Errors().find("no UDP socket can be made") != std::string::npos) << Errors();
        }
        ++(updated ? worked : ended);
        m_host.reset();
        ::truncate(ErrorFile().c_str(), 0);
    }
    EXPECT_GT(ended, 0);
    EXPECT_GT(worked, 0);
}

TEST_F(PeloradProcess, ADriverWhoseHostIsGoneEnds) {
    // A host that starts the driver through a shell and ends without asking for its end; also while
    // a flood keeps a datagram waiting at every turn of the driver's loop.
    std::string batch;
    while (batch.size() < 16000 - HDT.size()) batch += HDT;
    batch = Tagged(kSeconds, batch);
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(static_cast<uint16_t>(m_port));
    to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    // Twice with a flood: a busy machine may yet leave the queue empty for a moment.
    for (const bool flood : {false, true, true}) {
        m_host.reset();
        CVanishingParent parent(m_folder.GetRoot());
        m_host = std::make_unique<CTestHost>(parent.CommandLine(PELORAD), 1, ErrorFile());
        ASSERT_TRUE(m_host->PublishSettings(Settings("OUT_GONE")));
        ASSERT_TRUE(m_host->SendCommand(flood ? CMD_SETTINGS : CMD_HEARTBEAT));  // the driver runs its loop
        // Senders on any CPU, each many times faster than the driver decodes, keep its full receive
        // queue from emptying however busy the machine is: its poll never sleeps, and the host's death
        // is seen only by the loop's look at the pending signal. They stop once it has ended (or outlived the wait).
        // Three are enough for that; more would only starve the driver at its priority, and two rows
        // of this kind run side by side.
        std::atomic<bool> stop{false};
        std::vector<std::thread> senders;
        for (int k = 0; flood && k < 3; ++k)
            senders.emplace_back([&] {
                const int s = BoundUdpSocket("127.0.0.1", 0);
                while (!stop)
                    ::sendto(s, batch.data(), batch.size(), 0, reinterpret_cast<const sockaddr*>(&to), sizeof to);
                ::close(s);
            });
        EXPECT_TRUE(!flood || m_host->WaitForUpdate(5000));
        // Stopped while its queue fills, the driver meets a full one when the host is gone; at the
        // lowest priority it takes its datagrams slower still, busy machine or not.
        if (flood) {
            const auto driver = static_cast<pid_t>(parent.GetDriverProcessId());
            ASSERT_EQ(::setpriority(PRIO_PROCESS, static_cast<id_t>(driver), 19), 0);
            ::kill(driver, SIGSTOP);
            std::this_thread::sleep_for(Milliseconds(100));
            ::kill(driver, SIGCONT);
        }
        // At the lowest priority beside a busy machine's loops the driver takes a few seconds of the
        // clock to finish the datagram in hand; missing the death, it never ends while the flood lasts.
        const std::optional<int> status = parent.EndAndReap(20000);
        stop = true;
        for (std::thread& sender : senders) sender.join();
        EXPECT_EQ(m_host->WaitForExit(10000), 0);
        ASSERT_TRUE(status.has_value()) << "the driver outlived its host; flood " << flood;
        EXPECT_TRUE(WIFEXITED(*status) && WEXITSTATUS(*status) == 1) << *status;
        EXPECT_NE(Errors().find("is gone; the driver ends"), std::string::npos) << Errors();
    }
}

// A host that ends while the loop is busy with a command (here in its write to a standard error
// that nobody empties) still ends the driver: no other thread takes the death signal away from the
// loop's next wait.
TEST_F(PeloradProcess, AHostThatEndsWhileTheDriverIsBusyEndsItAsWell) {
    const std::string fifo = m_folder.GetRoot() + "/full-stderr";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    const int reader = ::open(fifo.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    ASSERT_GE(reader, 0);
    char bytes[4096];
    const auto drain = [&] { while (::read(reader, bytes, sizeof bytes) > 0) {} };
    CVanishingParent parent(m_folder.GetRoot());
    m_host = std::make_unique<CTestHost>(parent.CommandLine(PELORAD), 1, fifo);
    ASSERT_TRUE(m_host->SendCommand(CMD_HEARTBEAT));  // the driver runs its loop
    drain();
    const int filler = ::open(fifo.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
    ASSERT_GE(filler, 0);
    while (::write(filler, "x", 1) == 1) {}
    // An unknown code is said on standard error, where the driver now waits, past its look at the host.
    CIpcEvent newSettings(m_host->Link().GetPrefix() + "_NEW_SETTINGS");
    ASSERT_TRUE(m_host->Link().WriteCommand(99));
    EXPECT_FALSE(m_host->Link().PostSettingsAndWait(0));
    for (const CStopwatch watch; newSettings.Wait(0) == WAIT_OBJECT_0 && watch.Elapsed() < Milliseconds(2000);)
        ::usleep(1000);
    std::thread emptier([&] {
        m_host->WaitForExit(5000);  // the shell, the driver's host, has ended
        std::this_thread::sleep_for(Milliseconds(300));
        drain();
    });
    const std::optional<int> status = parent.EndAndReap(5000);
    emptier.join();
    ::close(filler);
    ::close(reader);
    ASSERT_TRUE(status.has_value()) << "the driver outlived its host";
    EXPECT_TRUE(WIFEXITED(*status) && WEXITSTATUS(*status) == 1) << *status;
}

TEST_F(PeloradProcess, ADriverStartedWithoutAHostEndsWithOne) {
    // The first process of a PID namespace of its own, whose parent lies outside it; a child of
    // process 1 of its namespace, which the prefix does not name, or without a prefix.
    if (RunAlone({"unshare", "--user", "--pid", "--fork", "true"}) != 0)
        GTEST_SKIP() << "no user and PID namespaces here: " << Errors();
    for (const std::string& start : {std::string("exec \"$0\""), std::string("Prefix=0000ABCD_0001 \"$0\"; exit $?"),
                                     std::string("\"$0\"; exit $?")}) {
        EXPECT_EQ(RunAlone({"unshare", "--user", "--pid", "--fork", "/bin/sh", "-c", start, PELORAD}), 1) << start;
        EXPECT_NE(Errors().find("the host that started the driver is gone; the driver ends"), std::string::npos)
            << start << Errors();
    }
}

// A host killed while another of its tasks holds its files, and hosts that die right after sending
// EXIT, killed or by _exit(0): the driver, last to hold the link's and the output buffer's files,
// removes them.
TEST_F(PeloradProcess, AHostKilledWhileAnotherOfItsTasksHoldsItsFilesLeavesNothing) {
    ::prctl(PR_SET_CHILD_SUBREAPER, 1);  // the host's driver and task are handed to this process
    const struct {
        const char* mode;
        const char* how;
        int tries, hostEnd;
    } rows[] = {{"lingering-host", "", 1, 128 + SIGKILL}, {"leaving-host", "kill", 20, 128 + SIGKILL}, {"leaving-host", "exit", 20, 0}};
    for (const auto& row : rows) {
        for (int t = 0; t < row.tries; ++t) {
            CPeerProcess host({PeerPath(VOK_BINARY_DIR, "link_peer"), row.mode, PELORAD, ErrorFile(), row.how});
            const int orphans = row.tries == 1 ? 2 : 1;  // the driver, and the lingering task
            if (orphans == 2 && host.WaitForLine("READY host", Milliseconds(5000))) host.Kill(SIGKILL);
            EXPECT_EQ(host.Wait(Milliseconds(5000)), row.hostEnd) << row.how << t;
            // They end by themselves; what the driver left in the folder fails the row.
            int ended = 0;
            for (const CStopwatch watch; ended < orphans && watch.Elapsed() < Milliseconds(5000); ::usleep(5000))
                ended += ::waitpid(-1, nullptr, WNOHANG) > 0 ? 1 : 0;
            EXPECT_EQ(ended, orphans);
            EXPECT_EQ(m_folder.ListFiles(), std::vector<std::string>{}) << row.how << t;
        }
    }
    ::prctl(PR_SET_CHILD_SUBREAPER, 0);
}

TEST_F(PeloradProcess, RefusedAndShortenedSettingsItemsAreSaid) {
    sDriverSettings settings = Settings("OUT_SAID");
    Start(settings, CMD_INIT);
    // A port of 0, or beyond 65535, is refused: the driver says so and listens nowhere.
    settings.system.port = 0;
    ASSERT_TRUE(m_host->PublishSettings(settings));
    ASSERT_TRUE(m_host->SendCommand(CMD_INIT));
    // A system definition of 500 bytes (the rest taken as zero), observations of 200 bytes, systems
    // of 100 bytes, no header records.
    sSettingsItem system = MakeItem(&settings.system, 500);
    const sObsDef heading = HeadingDef();
    sSettingsItem observations = MakeItem(&heading, 200);
    const SettingsItems items{{2, system},
                              {3, MakeItem("OUT_SAID", 9)},
                              {4, observations},
                              {19, sSettingsItem{100, 1, {}}}};
    ASSERT_TRUE(m_host->PublishSettings(items));
    ASSERT_TRUE(m_host->SendCommand(CMD_INIT));
    // The port of these settings is bound now; beyond 65535 its socket goes, and none is bound to the
    // port's low 16 bits in its place.
    settings.system.port = 0x10000 + m_port;
    ASSERT_TRUE(m_host->PublishSettings(settings));
    ASSERT_TRUE(m_host->SendCommand(CMD_INIT));
    int probe = -1;
    for (const CStopwatch watch; probe < 0 && watch.Elapsed() < Milliseconds(2000); ::usleep(5000))
        probe = BoundUdpSocket("0.0.0.0", m_port);
    EXPECT_GE(probe, 0) << "port " << m_port << " is still bound";
    if (probe >= 0) ::close(probe);
    Exit();
    for (const char* text : {"settings item 2 holds a record of 500 bytes, fewer than 776; the rest is taken as zero",
                             "settings item 4 holds records of 200 bytes, not 240; its list is empty",
                             "settings item 23 is missing; its list is empty",
                             "settings item 19 holds records of 100 bytes, not 776; its list is empty",
                             "settings item 2 gives UDP port 0, which no sender can reach; the driver does not listen",
                             "beyond 65535; the driver does not listen"})
        EXPECT_NE(Errors().find(text), std::string::npos) << text << "\n" << Errors();
    EXPECT_NE(Errors().find("UDP port " + std::to_string(0x10000 + m_port) + ", beyond"), std::string::npos) << Errors();
    // Each of them a line of its own.
    std::istringstream lines(Errors());
    for (std::string line; std::getline(lines, line);) EXPECT_NE(line.find("pelorad: "), std::string::npos) << line;
}

TEST_F(PeloradProcess, ARefusedOutputNameOpensNoBufferOfAnotherName) {
    // A name longer than its item refuses the command, said and not acknowledged, so that the host
    // does not wait for updates for ever: no output buffer.
    sDriverSettings settings = Settings("OUT_NAMED");
    settings.outputName = "OUT_SEVENTEEN_BYTES";
    m_host = std::make_unique<CTestHost>(PELORAD, 1, ErrorFile());
    ASSERT_TRUE(m_host->PublishSettings(settings));
    EXPECT_FALSE(m_host->SendCommand(CMD_SETTINGS, 1000));
    for (const std::string& file : m_folder.ListFiles()) EXPECT_EQ(file.rfind("m._", 0), std::string::npos) << file;
    EXPECT_NE(Errors().find("more than 16: the output buffer's name has at most 15 characters and its terminating "
                            "zero; the command is refused and not acknowledged"),
              std::string::npos)
        << Errors();
    // After a good name, a refused one changes nothing: no second time block.
    settings.outputName = "OUT_NAMED";
    ASSERT_TRUE(m_host->PublishSettings(settings));
    ASSERT_TRUE(m_host->SendCommand(CMD_INIT));
    ASSERT_TRUE(m_host->SendCommand(CMD_SETTINGS));
    m_out = std::make_unique<IpcBufferHandle>("OUT_NAMED", 0);
    settings.outputName = "OUT_SEVENTEEN_BYTES";
    ASSERT_TRUE(m_host->PublishSettings(settings));
    EXPECT_FALSE(m_host->SendCommand(CMD_INIT, 1000));
    ASSERT_EQ(TimeBlocks().size(), 1u);
    EXPECT_TRUE(AwaitTime(TimeBlocks()[0], kSeconds, Tagged(kSeconds, HDT)));
    Exit();
}

// A datagram whose records were dropped while another process held the output buffer does not keep
// the next INIT into that buffer from finding the result blocks again.
TEST_F(PeloradProcess, AnInitAfterDroppedRecordsFindsTheResultBlocksAgain) {
    Start(Settings("OUT_DROP"));
    ASSERT_TRUE(AwaitTime(1, kSeconds, Tagged(kSeconds, HDT)));
    ASSERT_TRUE(m_out->Lock(5000));
    ASSERT_TRUE(SendDatagram(m_port, Tagged(kSeconds + 1, HDT)));
    EXPECT_TRUE(AwaitError("the output buffer \"OUT_DROP\" stayed locked for 1000 ms"));
    std::this_thread::sleep_for(Milliseconds(1200));  // a datagram queued before it has waited in vain too
    m_out->Unlock();
    ASSERT_TRUE(m_host->SendCommand(CMD_INIT));
    // Before any SETTINGS the heading block takes records again: an update in the INIT's time block.
    EXPECT_TRUE(AwaitTime(4, kSeconds + 2, Tagged(kSeconds + 2, Sentence("HEHDT,300.5,T"))));
    EXPECT_EQ(Read<NavRecord>(2).dHeading, 300.5);
    Exit();
}

TEST_F(PeloradProcess, EachOutputBufferGetsTheResultBlocksOnce) {
    sDriverSettings settings = Settings("OUT_FIRST");
    Start(settings);
    ASSERT_TRUE(AwaitTime(1, kSeconds, Tagged(kSeconds, HDT)));
    const auto types = [](IpcBufferHandle& out) {
        const CBufferHold hold(out);
        std::vector<DWORD> ids;
        for (DWORD i = 0; i < out.buffer.GetBlockCount(); ++i) ids.push_back(out.buffer.GetBlockId(i));
        return ids;
    };
    // Another buffer gets its blocks at the next SETTINGS, and the records from then on.
    settings.outputName = "OUT_SECOND";
    ASSERT_TRUE(m_host->PublishSettings(settings));
    ASSERT_TRUE(m_host->SendCommand(CMD_INIT));
    ASSERT_TRUE(m_host->SendCommand(CMD_SETTINGS));
    IpcBufferHandle second("OUT_SECOND", 0);
    EXPECT_EQ(types(second), (std::vector<DWORD>{26, 11, 86}));
    ASSERT_TRUE(AwaitTime(1, kSeconds + 1, Tagged(kSeconds + 1, Sentence("HEHDT,200.5,T")), &second));
    NavRecord nav{};
    {
        const CBufferHold hold(second);
        ASSERT_EQ(second.ReadRecord(2, 1, &nav, sizeof nav), 1);
    }
    EXPECT_EQ(nav.dHeading, 200.5);
    EXPECT_TRUE(SameTime(nav.stTime, At(kSeconds + 1)));
    // Back to the first buffer: its blocks take the records again, without a SETTINGS, and a
    // SETTINGS adds none there.
    settings.outputName = "OUT_FIRST";
    ASSERT_TRUE(m_host->PublishSettings(settings));
    ASSERT_TRUE(m_host->SendCommand(CMD_INIT));
    ASSERT_TRUE(AwaitTime(4, kSeconds + 2, Tagged(kSeconds + 2, Sentence("HEHDT,300.5,T"))));
    EXPECT_EQ(Read<NavRecord>(2).dHeading, 300.5);
    ASSERT_TRUE(m_host->SendCommand(CMD_SETTINGS));
    EXPECT_EQ(types(*m_out), (std::vector<DWORD>{26, 11, 86, 26}));
    Exit();
}

TEST_F(PeloradProcess, ArgumentsTurnOffTheChecksumTestAndTheHeadingTrigger) {
    sDriverSettings settings = Settings("OUT_NOCS");
    settings.system.timeOffset = std::numeric_limits<float>::quiet_NaN();  // counts as 0
    Start(settings, CMD_SETTINGS, " NOCS NOHT 2");
    EXPECT_TRUE(AwaitTime(1, kSeconds, Tagged(kSeconds, BAD_CHECKSUM)));
    Exit();
    // A slip for a keyword is read as a number, and said; a number is not.
    EXPECT_EQ(CountErrors("ERROR  : pelorad: the argument \"NOHT\" is neither NOCS, NOTH, CS nor a decimal number: "
                          "it sets the decoding mode to 0\n"), 1u) << Errors();
    EXPECT_EQ(CountErrors("argument"), 1u) << Errors();

    // "NOTH": with GGA, GST and HDT in datagrams of their own, the second GST closes the cycle and
    // writes the position, not the heading after it. "CS" changes nothing; mode 2 takes the GGA's
    // geoid separation alone as the height.
    const CScopedEnvironment pps("VOK_PPS_VALID", std::string("1"));
    const double noon = kSeconds - 6400 + 43200;  // 12:00:00, the sentences' day and hour
    const auto send = [this, noon](double t, const std::string& text) {
        const double whole = std::floor(noon + t);
        return SendDatagram(m_port, Tagged(static_cast<uint32_t>(whole), text, std::lround((noon + t - whole) * 1e6)));
    };
    const auto at = [](const char* seconds, const char* sentence, const char* rest) {
        return Sentence(std::string("GP") + sentence + ",1200" + seconds + rest);
    };
    const char* const gga = ",4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,";
    const char* const gst = ",0.5,1.2,0.8,35.0,1.1,0.9,2.1";
    settings = Settings("OUT_NOTH");
    settings.observations.RemoveAll();
    FillResultObsDefs(settings.observations, 7);
    Start(settings, CMD_SETTINGS, " NOTH CS 2");
    ASSERT_TRUE(AwaitTime(1, noon - 10, Tagged(static_cast<uint32_t>(noon - 10), Sentence("TIROT,-12.5,A"))));
    ASSERT_TRUE(send(0, at("00.00", "GGA", gga)) && send(0.1, at("00.00", "GST", gst)) && send(0.2, HDT));
    ASSERT_TRUE(AwaitTime(1, noon + 0.2));
    ASSERT_TRUE(send(1, at("01.00", "GGA", gga)));
    ASSERT_TRUE(AwaitTime(1, noon + 1));
    ASSERT_TRUE(send(1.1, at("01.00", "GST", gst)));
    PosRecord position{};
    const auto positionWritten = [this, noon, &position] {
        for (const CStopwatch watch; watch.Elapsed() < Milliseconds(5000); ::usleep(10000)) {
            const CBufferHold hold(*m_out);
            if (hold && m_out->ReadRecord(2, 1, &position, sizeof position) == 1 &&
                SameTime(position.stFixTime, At(noon + 1)))
                return true;
        }
        return false;
    };
    EXPECT_TRUE(positionWritten());
    EXPECT_EQ(position.dHeight, 46.9);
    Exit();
}

TEST_F(PeloradProcess, TimeBlockTakesTheTagTimeOfEachDecodedDatagram) {
    sDriverSettings settings = Settings("OUT_TIME");
    Start(settings, CMD_INIT);
    std::vector<DWORD> blocks = TimeBlocks();
    ASSERT_EQ(blocks.size(), 1u);
    {
        const CBufferHold hold(*m_out);
        EXPECT_EQ(m_out->buffer.GetBlockSize(blocks[0] - 1), 20u);
        EXPECT_EQ(m_out->buffer.GetRecordSize(blocks[0] - 1), 20u);
    }
    // Nothing is decoded before SETTINGS.
    ASSERT_TRUE(SendDatagram(m_port, Tagged(kSeconds, HDT)));
    EXPECT_FALSE(m_host->WaitForUpdate(300));

    ASSERT_TRUE(m_host->SendCommand(CMD_SETTINGS));
    ASSERT_TRUE(AwaitTime(blocks[0], kSeconds + 0.5, Tagged(kSeconds, HDT, 500000)));
    TimeBlockRecord record{};
    DWORD count = 0;
    ASSERT_TRUE(ReadTimeBlock(*m_out, blocks[0], record, count));
    EXPECT_EQ(record.lSystem, -7);
    const double age = CurrentUtcTime() - m_out->GetBlockTime(blocks[0]);
    EXPECT_TRUE(age >= 0.0 && age < 60.0) << age;  // stamped with the time of receipt

    // Only a tag, no known sentence, or a failed checksum: no update.
    for (const std::string& text : {std::string(), Sentence("GPXXX,1"), BAD_CHECKSUM})
        ASSERT_TRUE(SendDatagram(m_port, Tagged(kSeconds + 50, text)));
    EXPECT_FALSE(m_host->WaitForUpdate(300));

    // A second INIT adds a second time block, which takes the updates from then on. Two headings
    // in one datagram take the time offset away once.
    settings.system.timeOffset = 2.5f;
    ASSERT_TRUE(m_host->PublishSettings(settings));
    ASSERT_TRUE(m_host->SendCommand(CMD_INIT));
    blocks = TimeBlocks();
    ASSERT_EQ(blocks.size(), 2u);
    EXPECT_TRUE(AwaitTime(blocks[1], kSeconds + 97.5, Tagged(kSeconds + 100, HDT + HDT)));
    EXPECT_TRUE(AwaitTime(blocks[0], kSeconds + 0.5));
    Exit();
}

TEST_F(PeloradProcess, SenderFilterTakesOnlyTheInterfaceAddress) {
    // The interface 0.0.0.0 names no one sender: any is taken.
    const struct {
        BYTE address[4];
        const char* self;  // a sender at the interface's address
        bool otherTaken;
    } rows[] = {{{127, 0, 0, 1}, "127.0.0.1", false},
                {{0, 0, 0, 0}, "127.0.0.1", true},
                {{127, 1, 2, 3}, "127.1.2.3", false}};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.self);
        SCOPED_TRACE(row.otherTaken);
        sDriverSettings settings = Settings("OUT_FILTER");
        settings.system.sourceFilter = 1;
        std::memcpy(settings.system.address, row.address, 4);
        Start(settings);
        ASSERT_TRUE(AwaitTime(1, kSeconds + 1, Tagged(kSeconds + 1, HDT), nullptr, row.self));
        ASSERT_TRUE(SendDatagram(m_port, Tagged(kSeconds + 2, HDT), "127.0.0.2"));
        if (row.otherTaken) {
            EXPECT_TRUE(AwaitTime(1, kSeconds + 2));
        } else {
            EXPECT_FALSE(m_host->WaitForUpdate(500));
        }
        // The next one from the interface address is taken: the other had its turn before it.
        ASSERT_TRUE(SendDatagram(m_port, Tagged(kSeconds + 3, HDT), row.self));
        EXPECT_TRUE(AwaitTime(1, kSeconds + 3));
        Exit();
        m_out.reset();
        m_host.reset();
    }
}

TEST_F(PeloradProcess, EmptyAndOversizedDatagramsKeepTheSocket) {
    Start(Settings("OUT_SIZES"));
    ASSERT_TRUE(AwaitTime(1, kSeconds, Tagged(kSeconds, HDT)));
    const auto oversized = [](uint32_t seconds) { return Tagged(seconds, HDT) + std::string(20000, 'x'); };
    // Held while they queue up, so that the first completes the pending receive and the others
    // arrive at once. A rebind after any of them would lose those behind it.
    const std::initializer_list<std::string> runs[] = {
        {std::string(), Tagged(kSeconds + 1, HDT), std::string(), Tagged(kSeconds + 2, HDT)},
        {oversized(kSeconds + 3), oversized(kSeconds + 4)}};
    for (const auto& run : runs) {
        ASSERT_TRUE(m_host->Signal(SIGSTOP));
        for (const std::string& d : run) ASSERT_TRUE(SendDatagram(m_port, d));
        ASSERT_TRUE(m_host->Signal(SIGCONT));
    }
    EXPECT_TRUE(AwaitTime(1, kSeconds + 4));
    // One alone, completing the pending receive, is used cut to the buffer too.
    ASSERT_TRUE(SendDatagram(m_port, oversized(kSeconds + 5)));
    EXPECT_TRUE(AwaitTime(1, kSeconds + 5));
    // The cut is said once for the three, with the length, and its end once one fits.
    EXPECT_TRUE(AwaitTime(1, kSeconds + 6, Tagged(kSeconds + 6, HDT)));
    Exit();
    const std::string cut = "a datagram of " + std::to_string(oversized(kSeconds + 3).size()) +
                            " bytes was cut to the receive buffer's 16384";
    EXPECT_NE(Errors().find(cut), std::string::npos) << Errors();
    EXPECT_NE(Errors().find(cut + ": the sentences in its last " + std::to_string(oversized(kSeconds + 3).size() - 16384) +
                            " bytes are lost"),
              std::string::npos)
        << Errors();
    EXPECT_EQ(Errors().find("was cut", Errors().find(cut) + cut.size()), std::string::npos) << Errors();
    EXPECT_NE(Errors().find("datagrams fit the receive buffer again; 3 were cut"), std::string::npos) << Errors();
}

// Datagrams that wait in the socket while the driver is stopped keep the time of their arrival:
// every heading reaches the ring, each at the time it was sent, 100 ms apart.
TEST_F(PeloradProcess, HeadingsThatWaitForAStoppedDriverKeepTheTimeOfTheirArrival) {
    sDriverSettings settings = Settings("OUT_ARRIVAL");
    settings.system.timeTagType = settings.system.timeSource = 0;  // the time of receipt
    Start(settings);
    for (const CStopwatch watch; !m_host->WaitForUpdate(200) && watch.Elapsed() < Milliseconds(5000);)
        ASSERT_TRUE(SendDatagram(m_port, HDT));
    std::vector<std::pair<CVOKTime, CVOKTime>> sent;  // the clock before and after each send
    for (int i = 0; i < 12; ++i, ::usleep(100000)) {
        EXPECT_TRUE((i != 3 && i != 8) || m_host->Signal(i == 3 ? SIGSTOP : SIGCONT));  // stopped for 0.5 s
        sent.emplace_back(CurrentUtcTime(), CVOKTime());
        EXPECT_TRUE(SendDatagram(m_port, HDT));
        sent.back().second = CurrentUtcTime();
    }
    const auto time = [](const NavRecord& r) { return CVOKTime(SystemTimeToMjdTime(r.stTime)); };
    std::vector<NavRecord> ring;
    for (const CStopwatch watch; ring.size() < sent.size() || time(ring.back()) < sent.back().first;) {
        ASSERT_LT(watch.Elapsed(), Milliseconds(5000));
        m_host->WaitForUpdate(200);
        const CBufferHold hold(*m_out);
        ring.resize(m_out->buffer.GetRecordCount(2));
        for (DWORD k = 0; k < ring.size(); ++k) m_out->ReadRecord(3, k + 1, &ring[k], sizeof ring[k]);
    }
    for (size_t k = 0, first = ring.size() - sent.size(); k < sent.size(); ++k)
        EXPECT_TRUE(time(ring[first + k]) >= sent[k].first && time(ring[first + k]) <= sent[k].second) << k;
    Exit();
}

// An episode of cut datagrams after one whose end was said counts afresh: its longest is its own.
TEST_F(PeloradProcess, ALaterEpisodeOfCutDatagramsNamesItsOwnLongest) {
    Start(Settings("OUT_CUTS"));
    ASSERT_TRUE(AwaitTime(1, kSeconds, Tagged(kSeconds, HDT)));
    const auto episode = [this](uint32_t seconds, size_t extra) {
        const std::string cut = Tagged(seconds, HDT) + std::string(extra, 'x');
        EXPECT_TRUE(SendDatagram(m_port, cut));
        EXPECT_TRUE(AwaitError("a datagram of " + std::to_string(cut.size()) + " bytes was cut")) << Errors();
        EXPECT_TRUE(AwaitTime(1, seconds + 1, Tagged(seconds + 1, HDT)));
        EXPECT_TRUE(AwaitError("datagrams fit the receive buffer again; 1 were cut, the longest of " +
                               std::to_string(cut.size()) + " bytes"))
            << Errors();
    };
    episode(kSeconds + 1, 20000);
    episode(kSeconds + 3, 17000);
    Exit();
}

TEST_F(PeloradProcess, OversizedAndMissingSettingsItemsAreRefused) {
    // INIT only: the result blocks go into the buffer that the first SETTINGS finds.
    Start(Settings("OUT_ITEMS"), CMD_INIT);
    // Item 2 too long (the driver keeps its port and id 7), a 16-byte name without a terminator,
    // item 9 too long, the lists other than 4 missing, and item 18 missing.
    sSysDef other;
    other.sysId = 9;
    sSettingsItem system = MakeItem(&other, sizeof other);
    system.recordSize = 1000;
    const std::string name = "OUT_SIXTEEN_BYTE";
    const sObsDef heading = HeadingDef();
    SettingsItems items{{2, system},
                        {3, MakeItem(name.data(), 16)},
                        {4, MakeItem(&heading, sizeof heading)},
                        {9, sSettingsItem{4000, 1, {}}}};
    ASSERT_TRUE(m_host->PublishSettings(items));
    ASSERT_TRUE(m_host->SendCommand(CMD_INIT));
    ASSERT_TRUE(m_host->SendCommand(CMD_SETTINGS));
    IpcBufferHandle sixteen(name.c_str(), 0);
    ASSERT_TRUE(AwaitTime(1, kSeconds, Tagged(kSeconds, HDT), &sixteen));
    TimeBlockRecord record{};
    DWORD count = 0;
    ASSERT_TRUE(ReadTimeBlock(sixteen, 1, record, count));
    EXPECT_EQ(record.lSystem, -7);

    items[3] = MakeItem("OUT_SEVENTEEN_BYTES", 20);
    ASSERT_TRUE(m_host->PublishSettings(items));
    EXPECT_FALSE(m_host->SendCommand(CMD_INIT, 1000));
    Exit();
    for (const char* text : {"settings item 2 holds a record of 1000 bytes, more than 776",
                             "settings item 9 holds a record of 4000 bytes, more than 3080",
                             "settings item 3 holds a record of 20 bytes, more than 16", "settings item 18 is missing"})
        EXPECT_NE(Errors().find(text), std::string::npos) << text << "\n" << Errors();
}

TEST_F(PeloradProcess, BlockNumberOfAnEarlierOutputBufferIsNotWritten) {
    sDriverSettings settings = Settings("OUT_A");
    Start(settings);
    ASSERT_TRUE(AwaitTime(1, kSeconds, Tagged(kSeconds, HDT)));
    // Buffer B holds a block of its own at number 1 and cannot grow: the driver's INIT adds no
    // time block there, and must not take block 1 for its own. Nor block 2, which has the shape of
    // the driver's heading block: B gets records only into blocks that a SETTINGS added to it.
    IpcBufferHandle b("OUT_B", 1);
    {
        const CBufferHold hold(b);
        b.buffer.AddBlock(99, 20, 20);
        b.buffer.AddBlock(11, 56, 56);
    }
    std::string next;
    for (const std::string& file : m_folder.ListFiles())
        if (file.rfind("m.OUT_B_", 0) == 0 && file != "m.OUT_B_MNGT")
            next = m_folder.GetPath() + "/m.OUT_B_" + std::to_string(std::stoi(file.substr(8)) + 1);
    ASSERT_EQ(::mkdir(next.c_str(), 0700), 0);
    settings.outputName = "OUT_B";
    ASSERT_TRUE(m_host->PublishSettings(settings));
    ASSERT_TRUE(m_host->SendCommand(CMD_INIT));
    ASSERT_TRUE(m_host->SendCommand(CMD_SETTINGS));
    bool updated = false;
    for (int i = 0; i < 5 && !updated; ++i)
        updated = SendDatagram(m_port, Tagged(kSeconds + 1, HDT)) && m_host->WaitForUpdate(200);
    EXPECT_FALSE(updated);
    BYTE record[56];
    {
        const CBufferHold hold(b);
        ASSERT_EQ(b.buffer.GetBlockCount(), 2u);
        for (const DWORD block : {1u, 2u}) {
            ASSERT_EQ(b.ReadRecord(block, 1, record, b.buffer.GetRecordSize(block - 1)), 1);
            EXPECT_EQ(std::count(record, record + b.buffer.GetRecordSize(block - 1), 0),
                      static_cast<long>(b.buffer.GetRecordSize(block - 1)));
        }
    }
    EXPECT_TRUE(AwaitTime(1, kSeconds));  // and buffer A keeps its last update
    Exit();
    ::rmdir(next.c_str());
    EXPECT_NE(Errors().find("no block of type 11 could be added to the output buffer \"OUT_B\""), std::string::npos);
    EXPECT_NE(Errors().find("no time block could be added"), std::string::npos);
}

TEST_F(PeloradProcess, WithoutItsHostLinkTheDriverSaysWhyAndFails) {
    const std::string file = m_folder.GetRoot() + "/not-a-folder";
    WriteTextFile(file, "");
    const struct {
        std::optional<std::string> prefix;
        std::string folder;
        std::string said;
    } cases[] = {{std::nullopt, m_folder.GetPath(), "\"Prefix\" is not set"},
                 {"", m_folder.GetPath(), "\"Prefix\" is empty"},
                 {"P1", file, "no host link for prefix \"P1\": the folder " + file + " is refused: it is not a folder"},
                 {"WRONG", m_folder.GetPath(),
                  "no host link for prefix \"WRONG\": event WRONG_UPDATE_READY does not exist"}};
    // A host is there, under another prefix: the driver makes nothing of its own.
    const CTestHost host("true");
    const std::vector<std::string> before = m_folder.ListFiles();
    for (const auto& c : cases) {
        const CScopedEnvironment prefix("Prefix", c.prefix);
        const CScopedEnvironment folder("VOK_IPC_DIR", c.folder);
        EXPECT_EQ(RunAlone({PELORAD}), 1);
        EXPECT_NE(Errors().find(c.said), std::string::npos) << c.said << "\n" << Errors();
    }
    EXPECT_EQ(m_folder.ListFiles(), before);
}

// Offset of the first byte that differs; -1 when none does.
template <class Record>
long FirstDifference(const Record& a, const Record& b) {
    const auto* x = reinterpret_cast<const unsigned char*>(&a);
    const auto* y = reinterpret_cast<const unsigned char*>(&b);
    const auto [p, q] = std::mismatch(x, x + sizeof(Record), y);
    return p == x + sizeof(Record) ? -1 : p - x;
}

TEST_F(PeloradProcess, RecordsOfACycleWithAndWithoutAValidPpsClock) {
    // Cycles of 12:35:19 and 12:35:20 on the day of kSeconds, each datagram tagged 1.25 s later.
    const double s2 = kSeconds - 6400 + 45320, t1 = s2 + 0.25, t2 = s2 + 1.25;
    const auto cycle = [](const char* time) {
        return Sentence(std::string("GPGGA,") + time + ",4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,") +
               Sentence(std::string("GPGST,") + time + ",0.5,1.2,0.8,35.0,1.1,0.9,2.1") + HDT;
    };
    const auto heading = [](double t) {
        return NavRecord{.stTime = At(t - 2.5), .dwObsId = DEF_HEADING, .dHeading = 123.4, .fStatus = 1.0f};
    };
    // The position's time: the sentence's on the PPS day, or the datagram's less the offset.
    for (const auto& [valid, output, positionTime] : {std::tuple{"1", "OUT_PPS", s2}, {"0", "OUT_NO_PPS", t2 - 2.5}}) {
        SCOPED_TRACE(output);
        const CScopedEnvironment pps("VOK_PPS_VALID", std::string(valid));
        sDriverSettings settings = Settings(output);
        settings.system.timeOffset = 2.5f;
        settings.observations.RemoveAll();
        FillResultObsDefs(settings.observations, 7);
        Start(settings);
        {
            const CBufferHold hold(*m_out);
            std::vector<DWORD> types;
            for (DWORD i = 0; i < m_out->buffer.GetBlockCount(); ++i) types.push_back(m_out->buffer.GetBlockId(i));
            EXPECT_EQ(types, (std::vector<DWORD>{26, 35, 11, 86, 11, 115}));
        }
        ASSERT_TRUE(AwaitTime(1, kSeconds - 2.5, Tagged(kSeconds, Sentence("TIROT,-12.5,A"))));
        for (const auto& [t, time] : {std::pair{t1, "123519"}, {t2, "123520"}})
            ASSERT_TRUE(SendDatagram(m_port, Tagged(static_cast<uint32_t>(t), cycle(time), 250000)) &&
                        m_host->WaitForUpdate(5000));

        const double gps = s2 + 18 - 315964800.0;  // GPS time of the sentence's own time on both paths
        const auto week = static_cast<int32_t>(gps / 604800);
        const PosRecord pos{.stFixTime = At(positionTime), .lGpsWeek = week, .dGpsSeconds = gps - week * 604800.0,
                            .dwLatitudeId = DEF_LATITUDE, .dLatitude = 48 + 7.038 / 60.0,
                            .dwLongitudeId = DEF_LONGITUDE, .dLongitude = 11 + 31.000 / 60.0,
                            .dwHeightId = DEF_HEIGHT, .dHeight = 545.4 + 46.9, .alPrn = {1, 2, 3, 4, 5, 6, 7, 8},
                            .lQuality = 1, .fSdLatitude = static_cast<float>(1.1),
                            .fSdLongitude = static_cast<float>(0.9), .fSdHeight = static_cast<float>(2.1),
                            .alAccuracyKind = {2, -1, -1, -1, -1, -1}, .afAccuracyValue = {static_cast<float>(0.9)},
                            .fSemiMajor = static_cast<float>(1.2), .fSemiMinor = static_cast<float>(0.8),
                            .fOrientation = 35.0f, .fRms = 0.5f, .lSatellites = 8};
        EXPECT_EQ(FirstDifference(Read<PosRecord>(2), pos), -1);
        EXPECT_EQ(FirstDifference(Read<NavRecord>(3), heading(t2)), -1);
        EXPECT_EQ(FirstDifference(Read<NavRecord>(4, 1), heading(t1)), -1);
        EXPECT_EQ(FirstDifference(Read<NavRecord>(4, 2), heading(t2)), -1);
        const RotRecord rot{.stTime = At(kSeconds - 2.5), .dwObsId = DEF_RATE, .dRate = -12.5, .fStatus = 1.0f};
        EXPECT_EQ(FirstDifference(Read<RotRecord>(5), rot), -1);

        // The PPS library's times and counters are the clocks'; the rest is exact.
        const TimetagRecord tag = Read<TimetagRecord>(6);
        const double sincePulse =
            CVOKTime(SystemTimeToMjdTime(tag.stNowTime)) - CVOKTime(SystemTimeToMjdTime(tag.stPulseTime));
        EXPECT_EQ(tag.stPulseTime.wMilliseconds, 0);
        EXPECT_NEAR((tag.llNowCounter - tag.llPulseCounter) * 1e-9, sincePulse, 0.002);
        TimetagRecord expected{.dwSystemId = 7, .dwObsId = DEF_TIMETAG, .stFixTime = At(s2),
                               .llPulseCounter = tag.llPulseCounter, .llNowCounter = tag.llNowCounter,
                               .stPulseTime = tag.stPulseTime, .stNowTime = tag.stNowTime};
        const std::string text = cycle("123520").substr(0, cycle("123520").find('\n'));
        std::memcpy(expected.szSentence, text.data(), text.size());
        EXPECT_EQ(FirstDifference(tag, expected), -1);
        EXPECT_TRUE(SameTime(Read<TimeBlockRecord>(1).stTime, At(positionTime)));
        Exit();
    }
}

TEST_F(PeloradProcess, EveryCorpusSentencePassesThroughTheDriver) {
    std::ifstream in(VOK_SOURCE_DIR "/tests/data/gpsd/nmea-corpus.tsv", std::ios::binary);
    std::vector<std::string> corpus;
    for (std::string line; std::getline(in, line);) {
        size_t sentence = 0;  // the fifth column
        for (int i = 0; i < 4; ++i) sentence = line.find('\t', sentence) + 1;
        corpus.push_back(line.substr(sentence));
    }
    ASSERT_GT(corpus.size(), 38000u);
    // Without the checksum test every sentence reaches its decoder.
    const CScopedEnvironment pps("VOK_PPS_VALID", std::string("1"));
    sDriverSettings settings = Settings("OUT_CORPUS");
    FillResultObsDefs(settings.observations, 7);
    Start(settings, CMD_SETTINGS, " NOCS");
    // Batches of 30 datagrams of 6 lines, each batch closed by a rate of turn at a time of its own:
    // once the time block holds it, the batch is through, and the socket's buffer never overflows.
    for (size_t next = 0, batch = 0; next < corpus.size(); ++batch) {
        for (int d = 0; d < 30 && next < corpus.size(); ++d) {
            std::string text;
            for (int i = 0; i < 6 && next < corpus.size(); ++i) text += corpus[next++] + "\r\n";
            ASSERT_TRUE(SendDatagram(m_port, Tagged(static_cast<uint32_t>(kSeconds + next), text)));
        }
        const double sync = kSeconds + 100000 + batch;
        ASSERT_TRUE(AwaitTime(1, sync, Tagged(static_cast<uint32_t>(sync), Sentence("TIROT,1.0,A")))) << batch;
    }
    EXPECT_EQ(Read<PosRecord>(2).dwLatitudeId, static_cast<uint32_t>(DEF_LATITUDE));  // decoded, not only received
    Exit();
}

}  // namespace
