// The real driver process under a test host: commands, settings, the output buffer's time block
// and datagrams over loopback UDP.
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <initializer_list>
#include <string>

#include "driver/drv_base_socket.h"
#include "foundation/sentence_checksum.h"
#include "foundation/system_time.h"
#include "platform/process_launch.h"
#include "tests/support/file_helpers.h"
#include "tests/support/ipc_test_folder.h"
#include "tests/support/peer_process.h"
#include "tests/support/test_host.h"

namespace {

using namespace Vok::Test;

const std::string PELORAD = VOK_BINARY_DIR "/pelorad";
constexpr uint32_t kSeconds = 1000000000;  // 2001-09-09 01:46:40 UTC

// A datagram: a 16-byte binary time tag (seconds and microseconds since 1970), then sentences.
std::string Tagged(uint32_t seconds, uint32_t microseconds, const std::string& text) {
    std::string tag(16, '\0');
    tag[0] = 2;
    std::memcpy(tag.data() + 8, &seconds, 4);
    std::memcpy(tag.data() + 12, &microseconds, 4);
    return tag + text;
}

std::string Sentence(const std::string& body) {
    std::string s = "$" + body;
    AppendChecksum(s, 1, CHECKSUM_XOR);
    return s + "\r\n";
}

const std::string HDT = Sentence("HEHDT,123.4,T");
const std::string BAD_CHECKSUM = "$HEHDT,123.4,T*00\r\n";

SYSTEMTIME UnixTime(double seconds) { return TimeToSystemTime(CVOKTime(seconds)); }

bool SameTime(const SYSTEMTIME& a, const SYSTEMTIME& b) {
    return a.wYear == b.wYear && a.wMonth == b.wMonth && a.wDay == b.wDay && a.wHour == b.wHour &&
           a.wMinute == b.wMinute && a.wSecond == b.wSecond && a.wMilliseconds == b.wMilliseconds;
}

class PeloradProcess : public IpcTest {
protected:
    sDriverSettings Settings(UINT port, const char* output) {
        sDriverSettings s;
        s.system.sysId = 7;
        s.system.port = port;
        const BYTE loopback[4] = {127, 0, 0, 1};
        std::memcpy(s.system.address, loopback, 4);
        s.system.timeTagType = 4;
        s.system.timeSource = 4;
        s.outputName = output;
        return s;
    }

    // The record of time block `block` (from 1) and its record count; false when unreadable.
    static bool ReadTimeBlock(IpcBufferHandle& out, DWORD block, TimeBlockRecord& record, DWORD& count) {
        const CBufferHold hold(out);
        if (!hold || out.ReadRecord(block, 1, &record, sizeof record) == 0) return false;
        count = out.buffer.GetRecordCount(block - 1);
        return true;
    }

    // Waits, update after update, until the time block holds that time.
    static bool WaitForTime(CTestHost& host, IpcBufferHandle& out, DWORD block, const SYSTEMTIME& expected) {
        const CStopwatch watch;
        while (watch.Elapsed() < Milliseconds(5000)) {
            host.WaitForUpdate(200);
            TimeBlockRecord record{};
            DWORD count = 0;
            if (ReadTimeBlock(out, block, record, count) && count == 1 && SameTime(record.stTime, expected)) return true;
        }
        return false;
    }

    // As WaitForTime, sending the datagram again while it does not arrive: after an INIT the
    // driver binds a new socket, and what reached the old one is gone.
    static bool SendUntilTime(CTestHost& host, IpcBufferHandle& out, DWORD block, UINT port,
                              const std::string& datagram, const SYSTEMTIME& expected, const char* from = "127.0.0.1") {
        const CStopwatch watch;
        while (watch.Elapsed() < Milliseconds(5000)) {
            if (!SendDatagram(port, datagram, from)) return false;
            host.WaitForUpdate(200);
            TimeBlockRecord record{};
            DWORD count = 0;
            if (ReadTimeBlock(out, block, record, count) && count == 1 && SameTime(record.stTime, expected)) return true;
        }
        return false;
    }

    static std::vector<DWORD> TimeBlocks(IpcBufferHandle& out) {
        const CBufferHold hold(out);
        return hold ? FindBlocks(out, TIME_BLOCK_TYPE) : std::vector<DWORD>{};
    }

    std::string ErrorFile() const { return m_folder.GetRoot() + "/stderr.txt"; }
};

TEST_F(PeloradProcess, EveryCommandIsAcknowledgedAndExitEndsWithZero) {
    {
        CTestHost host(PELORAD);
        ASSERT_TRUE(host.SendCommand(CMD_EXIT));
        EXPECT_EQ(host.WaitForExit(5000), 0);
    }
    {
        // "NOCS": a sentence counts whatever its checksum.
        const UINT port = FindFreeUdpPort();
        CTestHost host(PELORAD + " NOCS 2");
        ASSERT_TRUE(host.PublishSettings(Settings(port, "OUT_NOCS")));
        ASSERT_TRUE(host.SendCommand(CMD_SETTINGS));
        IpcBufferHandle out("OUT_NOCS", 0);
        EXPECT_TRUE(SendUntilTime(host, out, 1, port, Tagged(kSeconds, 0, BAD_CHECKSUM), UnixTime(kSeconds)));
        ASSERT_TRUE(host.SendCommand(CMD_EXIT));
        EXPECT_EQ(host.WaitForExit(5000), 0);
    }
    CTestHost host(PELORAD);
    ASSERT_TRUE(host.PublishSettings(Settings(FindFreeUdpPort(), "OUT_CMD")));
    IpcBufferHandle out("OUT_CMD", 0);
    // SETTINGS as the first command runs INIT first; the INIT after it adds a second time block.
    for (const DWORD code : std::initializer_list<DWORD>{CMD_SETTINGS, CMD_INIT, CMD_SETTINGS, CMD_RESET, CMD_STOP, CMD_PAUSE, CMD_RECORD,
                             CMD_FIX_UPDATE, CMD_SPLIT, CMD_DEVICE_SETTINGS, CMD_PLAY, CMD_TRIGGER, CMD_HEARTBEAT,
                             CMD_UNDEFINED, 99})
        EXPECT_TRUE(host.SendCommand(code)) << code;
    EXPECT_EQ(TimeBlocks(out).size(), 2u);
    EXPECT_TRUE(host.SendCommand(CMD_EXIT));
    EXPECT_EQ(host.WaitForExit(5000), 0);
}

TEST_F(PeloradProcess, TimeBlockTakesTheTagTimeOfEachDecodedDatagram) {
    const UINT port = FindFreeUdpPort();
    CTestHost host(PELORAD);
    sDriverSettings settings = Settings(port, "OUT_TIME");
    ASSERT_TRUE(host.PublishSettings(settings));
    ASSERT_TRUE(host.SendCommand(CMD_INIT));
    IpcBufferHandle out("OUT_TIME", 0);
    std::vector<DWORD> blocks = TimeBlocks(out);
    ASSERT_EQ(blocks.size(), 1u);
    {
        const CBufferHold hold(out);
        EXPECT_EQ(out.buffer.GetBlockSize(blocks[0] - 1), 20u);
        EXPECT_EQ(out.buffer.GetRecordSize(blocks[0] - 1), 20u);
        EXPECT_EQ(out.buffer.GetRecordCount(blocks[0] - 1), 0u);
    }
    // Before SETTINGS the driver decodes nothing.
    ASSERT_TRUE(SendDatagram(port, Tagged(kSeconds, 0, HDT)));
    EXPECT_FALSE(host.WaitForUpdate(300));

    ASSERT_TRUE(host.SendCommand(CMD_SETTINGS));
    ASSERT_TRUE(SendUntilTime(host, out, blocks[0], port, Tagged(kSeconds, 500000, HDT), UnixTime(kSeconds + 0.5)));
    TimeBlockRecord record{};
    DWORD count = 0;
    ASSERT_TRUE(ReadTimeBlock(out, blocks[0], record, count));
    EXPECT_EQ(count, 1u);
    EXPECT_TRUE(SameTime(record.stTime, UnixTime(kSeconds + 0.5)));
    EXPECT_EQ(record.lSystem, -7);
    const double age = CurrentUtcTime() - out.GetBlockTime(blocks[0]);
    EXPECT_TRUE(age >= 0.0 && age < 60.0) << age;  // stamped with the time of receipt

    // A datagram that is only a tag, holds no known sentence or fails its checksum is no update.
    ASSERT_TRUE(SendDatagram(port, Tagged(kSeconds + 50, 0, "")));
    ASSERT_TRUE(SendDatagram(port, Tagged(kSeconds + 70, 0, BAD_CHECKSUM)));
    ASSERT_TRUE(SendDatagram(port, Tagged(kSeconds + 60, 0, Sentence("GPXXX,1"))));
    EXPECT_FALSE(host.WaitForUpdate(300));

    // A second INIT adds a second time block, which takes the updates from then on. Two headings
    // in one datagram take the time offset away once.
    settings.system.timeOffset = 2.5f;
    ASSERT_TRUE(host.PublishSettings(settings));
    ASSERT_TRUE(host.SendCommand(CMD_INIT));
    blocks = TimeBlocks(out);
    ASSERT_EQ(blocks.size(), 2u);
    EXPECT_TRUE(SendUntilTime(host, out, blocks[1], port, Tagged(kSeconds + 100, 0, HDT + HDT), UnixTime(kSeconds + 97.5)));
    ASSERT_TRUE(ReadTimeBlock(out, blocks[0], record, count));
    EXPECT_TRUE(SameTime(record.stTime, UnixTime(kSeconds + 0.5)));

    EXPECT_TRUE(host.SendCommand(CMD_EXIT));
    EXPECT_EQ(host.WaitForExit(5000), 0);
}

TEST_F(PeloradProcess, SenderFilterTakesOnlyTheInterfaceAddress) {
    const UINT port = FindFreeUdpPort();
    CTestHost host(PELORAD);
    sDriverSettings settings = Settings(port, "OUT_FILTER");
    settings.system.sourceFilter = 1;
    ASSERT_TRUE(host.PublishSettings(settings));
    ASSERT_TRUE(host.SendCommand(CMD_SETTINGS));
    IpcBufferHandle out("OUT_FILTER", 0);
    const DWORD block = TimeBlocks(out).at(0);

    ASSERT_TRUE(SendUntilTime(host, out, block, port, Tagged(kSeconds + 1, 0, HDT), UnixTime(kSeconds + 1)));
    ASSERT_TRUE(SendDatagram(port, Tagged(kSeconds + 2, 0, HDT), "127.0.0.2"));
    EXPECT_FALSE(host.WaitForUpdate(500));
    // The next one from the interface address is taken: the other had its turn before it.
    ASSERT_TRUE(SendDatagram(port, Tagged(kSeconds + 3, 0, HDT), "127.0.0.1"));
    EXPECT_TRUE(WaitForTime(host, out, block, UnixTime(kSeconds + 3)));

    // The address 0.0.0.0 takes every sender.
    std::memset(settings.system.address, 0, 4);
    ASSERT_TRUE(host.PublishSettings(settings));
    ASSERT_TRUE(host.SendCommand(CMD_INIT));
    EXPECT_TRUE(SendUntilTime(host, out, TimeBlocks(out).at(1), port, Tagged(kSeconds + 4, 0, HDT),
                              UnixTime(kSeconds + 4), "127.0.0.2"));
    EXPECT_TRUE(host.SendCommand(CMD_EXIT));
    EXPECT_EQ(host.WaitForExit(5000), 0);
}

TEST_F(PeloradProcess, EmptyAndOversizedDatagramsKeepTheSocket) {
    const UINT port = FindFreeUdpPort();
    CTestHost host(PELORAD);
    ASSERT_TRUE(host.PublishSettings(Settings(port, "OUT_SIZES")));
    ASSERT_TRUE(host.SendCommand(CMD_SETTINGS));
    IpcBufferHandle out("OUT_SIZES", 0);
    const DWORD block = TimeBlocks(out).at(0);
    ASSERT_TRUE(SendUntilTime(host, out, block, port, Tagged(kSeconds, 0, HDT), UnixTime(kSeconds)));

    // Held while they queue up, so that the first completes the pending receive and the others
    // arrive at once. A rebind after any of them would lose those behind it.
    ASSERT_TRUE(host.Signal(SIGSTOP));
    for (const std::string& d : {std::string(), Tagged(kSeconds + 1, 0, HDT), std::string(), Tagged(kSeconds + 2, 0, HDT)})
        ASSERT_TRUE(SendDatagram(port, d));
    ASSERT_TRUE(host.Signal(SIGCONT));
    EXPECT_TRUE(WaitForTime(host, out, block, UnixTime(kSeconds + 2)));

    // Longer than the receive buffer: used cut to it, after the wait and at once.
    const auto oversized = [](uint32_t seconds) { return Tagged(seconds, 0, HDT) + std::string(20000, 'x'); };
    ASSERT_TRUE(SendDatagram(port, oversized(kSeconds + 3)));
    EXPECT_TRUE(WaitForTime(host, out, block, UnixTime(kSeconds + 3)));
    ASSERT_TRUE(host.Signal(SIGSTOP));
    ASSERT_TRUE(SendDatagram(port, oversized(kSeconds + 4)));
    ASSERT_TRUE(SendDatagram(port, oversized(kSeconds + 5)));
    ASSERT_TRUE(host.Signal(SIGCONT));
    EXPECT_TRUE(WaitForTime(host, out, block, UnixTime(kSeconds + 5)));
    EXPECT_TRUE(host.SendCommand(CMD_EXIT));
    EXPECT_EQ(host.WaitForExit(5000), 0);
}

TEST_F(PeloradProcess, OversizedAndMissingSettingsItemsAreRefused) {
    const UINT port = FindFreeUdpPort();
    CTestHost host(PELORAD, 1, ErrorFile());
    ASSERT_TRUE(host.PublishSettings(Settings(port, "OUT_ITEMS")));
    ASSERT_TRUE(host.SendCommand(CMD_SETTINGS));

    // Item 2 too long (the driver keeps its system, port and id 7), a 16-byte name without a
    // terminator, item 9 too long, the lists malformed (4, 5) or missing, and item 18 missing.
    sSysDef other = Settings(port + 1, "").system;
    other.sysId = 9;
    sSettingsItem system = MakeItem(&other, sizeof other);
    system.recordSize = 1000;
    const std::string name = "OUT_SIXTEEN_BYTE";
    SettingsItems items{{2, system},
                        {3, MakeItem(name.data(), 16)},
                        {9, sSettingsItem{4000, 1, {}}}};
    ASSERT_TRUE(host.PublishSettings(items));
    ASSERT_TRUE(host.SendCommand(CMD_INIT));
    IpcBufferHandle out(name.c_str(), 0);
    const std::vector<DWORD> blocks = TimeBlocks(out);
    ASSERT_EQ(blocks.size(), 1u);
    ASSERT_TRUE(SendUntilTime(host, out, blocks[0], port, Tagged(kSeconds, 0, HDT), UnixTime(kSeconds)));
    TimeBlockRecord record{};
    DWORD count = 0;
    ASSERT_TRUE(ReadTimeBlock(out, blocks[0], record, count));
    EXPECT_EQ(record.lSystem, -7);

    // A name longer than 16 bytes is refused too.
    items[3] = MakeItem("OUT_SEVENTEEN_BYTES", 20);
    ASSERT_TRUE(host.PublishSettings(items));
    EXPECT_TRUE(host.SendCommand(CMD_INIT));
    EXPECT_TRUE(host.SendCommand(CMD_EXIT));
    EXPECT_EQ(host.WaitForExit(5000), 0);
    const std::string errors = ReadTextFile(ErrorFile()).value_or("");
    for (const char* text : {"settings item 2 holds a record of 1000 bytes, more than 776",
                             "settings item 9 holds a record of 4000 bytes, more than 3080",
                             "settings item 3 holds a record of 20 bytes, more than 16", "settings item 18 is missing"})
        EXPECT_NE(errors.find(text), std::string::npos) << text << "\n" << errors;
}

TEST_F(PeloradProcess, BlockNumberOfAnEarlierOutputBufferIsNotWritten) {
    const UINT port = FindFreeUdpPort();
    CTestHost host(PELORAD, 1, ErrorFile());
    sDriverSettings settings = Settings(port, "OUT_A");
    ASSERT_TRUE(host.PublishSettings(settings));
    ASSERT_TRUE(host.SendCommand(CMD_SETTINGS));
    IpcBufferHandle a("OUT_A", 0);
    ASSERT_TRUE(SendUntilTime(host, a, 1, port, Tagged(kSeconds, 0, HDT), UnixTime(kSeconds)));

    // Buffer B holds a block of its own at number 1, and cannot grow: the driver's INIT adds no
    // time block there and must not take block 1 for its own.
    IpcBufferHandle b("OUT_B", 1);
    {
        const CBufferHold hold(b);
        ASSERT_TRUE(hold);
        b.buffer.AddBlock(99, 20, 20);
    }
    std::string next;
    for (const std::string& file : m_folder.ListFiles())
        if (file.rfind("m.OUT_B_", 0) == 0 && file != "m.OUT_B_MNGT")
            next = m_folder.GetPath() + "/m.OUT_B_" + std::to_string(std::stoi(file.substr(8)) + 1);
    ASSERT_FALSE(next.empty());
    ASSERT_EQ(::mkdir(next.c_str(), 0700), 0);
    settings.outputName = "OUT_B";
    ASSERT_TRUE(host.PublishSettings(settings));
    ASSERT_TRUE(host.SendCommand(CMD_INIT));
    // The events are raised even without a time block.
    bool updated = false;
    for (int i = 0; i < 25 && !updated; ++i)
        updated = SendDatagram(port, Tagged(kSeconds + 1, 0, HDT)) && host.WaitForUpdate(200);
    EXPECT_TRUE(updated);
    BYTE record[20];
    {
        const CBufferHold hold(b);
        ASSERT_EQ(b.buffer.GetBlockCount(), 1u);
        ASSERT_EQ(b.ReadRecord(1, 1, record, sizeof record), 1);
    }
    EXPECT_EQ(std::count(record, record + 20, 0), 20);
    TimeBlockRecord onA{};
    DWORD count = 0;
    ASSERT_TRUE(ReadTimeBlock(a, 1, onA, count));
    EXPECT_TRUE(SameTime(onA.stTime, UnixTime(kSeconds)));
    EXPECT_TRUE(host.SendCommand(CMD_EXIT));
    EXPECT_EQ(host.WaitForExit(5000), 0);
    ::rmdir(next.c_str());
    EXPECT_NE(ReadTextFile(ErrorFile()).value_or("").find("no time block could be added"), std::string::npos);
}

TEST_F(PeloradProcess, WithoutItsHostLinkTheDriverSaysWhyAndFails) {
    const std::string file = m_folder.GetRoot() + "/not-a-folder";
    WriteTextFile(file, "");
    const struct {
        std::vector<std::string> extra;
        const char* said;
    } cases[] = {{{}, "\"Prefix\" is not set"}, {{"Prefix=P1", "VOK_IPC_DIR=" + file}, "no host link for prefix \"P1\""}};
    for (const auto& c : cases) {
        Vok::Process::sLaunchOptions options;
        options.arguments = {PELORAD};
        options.environment = Vok::Process::EnvironmentWith("Prefix", "");
        // No "Prefix" at all, and the given variables in place of this process's.
        std::erase_if(*options.environment, [&](const std::string& e) {
            return e.rfind("Prefix=", 0) == 0 ||
                   std::any_of(c.extra.begin(), c.extra.end(),
                               [&](const std::string& x) { return e.substr(0, e.find('=')) == x.substr(0, x.find('=')); });
        });
        options.environment->insert(options.environment->end(), c.extra.begin(), c.extra.end());
        const std::string errors = m_folder.GetRoot() + "/errors.txt";
        const int fd = ::open(errors.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
        options.standardError = fd;
        Vok::Process::CProcess driver = Vok::Process::Launch(options);
        ::close(fd);
        ASSERT_TRUE(driver.IsValid());
        const std::optional<int> code = driver.Wait(5000);
        if (!code) driver.Kill(SIGKILL);
        EXPECT_EQ(code, 1);
        EXPECT_NE(ReadTextFile(errors).value_or("").find(c.said), std::string::npos) << c.said;
    }
}

}  // namespace
