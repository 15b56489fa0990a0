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
#include <limits>
#include <memory>
#include <string>

#include "definitions/definition_types.h"
#include "driver/drv_base_socket.h"
#include "foundation/system_time.h"
#include "platform/process_launch.h"
#include "tests/support/file_helpers.h"
#include "tests/support/definition_samples.h"
#include "tests/support/ipc_test_folder.h"
#include "tests/support/driver_samples.h"
#include "tests/support/peer_process.h"
#include "tests/support/test_host.h"

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
    bool AwaitTime(DWORD block, double unixSeconds, const std::string& datagram = {}, IpcBufferHandle* out = nullptr) {
        const CStopwatch watch;
        while (watch.Elapsed() < Milliseconds(5000)) {
            if (!datagram.empty() && !SendDatagram(m_port, datagram)) return false;
            m_host->WaitForUpdate(200);
            TimeBlockRecord record{};
            DWORD count = 0;
            if (ReadTimeBlock(out != nullptr ? *out : *m_out, block, record, count) && count == 1 &&
                SameTime(record.stTime, At(unixSeconds)))
                return true;
        }
        return false;
    }

    std::vector<DWORD> TimeBlocks() {
        const CBufferHold hold(*m_out);
        return hold ? FindBlocks(*m_out, TIME_BLOCK_TYPE) : std::vector<DWORD>{};
    }

    std::string ErrorFile() const { return m_folder.GetRoot() + "/stderr.txt"; }
    std::string Errors() const { return ReadTextFile(ErrorFile()).value_or(""); }

    UINT m_port = FindFreeUdpPort();
    std::unique_ptr<CTestHost> m_host;
    std::unique_ptr<IpcBufferHandle> m_out;
};

TEST_F(PeloradProcess, EveryCommandIsAcknowledgedAndExitEndsWithZero) {
    {
        CTestHost host(PELORAD);
        ASSERT_TRUE(host.SendCommand(CMD_EXIT));
        EXPECT_EQ(host.WaitForExit(5000), 0);
    }
    // SETTINGS as the first command runs INIT first; the INIT after it adds a second time block.
    Start(Settings("OUT_CMD"), CMD_SETTINGS);
    for (const DWORD code : std::initializer_list<DWORD>{CMD_INIT, CMD_SETTINGS, CMD_RESET, CMD_STOP, CMD_PAUSE,
                                                         CMD_RECORD, CMD_FIX_UPDATE, CMD_SPLIT, CMD_DEVICE_SETTINGS,
                                                         CMD_PLAY, CMD_TRIGGER, CMD_HEARTBEAT, CMD_UNDEFINED, 99})
        EXPECT_TRUE(m_host->SendCommand(code)) << code;
    EXPECT_EQ(TimeBlocks().size(), 2u);
    Exit();
}

TEST_F(PeloradProcess, NoChecksumArgumentTakesEverySentence) {
    sDriverSettings settings = Settings("OUT_NOCS");
    settings.system.timeOffset = std::numeric_limits<float>::quiet_NaN();  // counts as 0
    Start(settings, CMD_SETTINGS, " NOCS 2");
    EXPECT_TRUE(AwaitTime(1, kSeconds, Tagged(kSeconds, BAD_CHECKSUM)));
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
    sDriverSettings settings = Settings("OUT_FILTER");
    settings.system.sourceFilter = 1;
    Start(settings);
    ASSERT_TRUE(AwaitTime(1, kSeconds + 1, Tagged(kSeconds + 1, HDT)));
    ASSERT_TRUE(SendDatagram(m_port, Tagged(kSeconds + 2, HDT), "127.0.0.2"));
    EXPECT_FALSE(m_host->WaitForUpdate(500));
    // The next one from the interface address is taken: the other had its turn before it.
    ASSERT_TRUE(SendDatagram(m_port, Tagged(kSeconds + 3, HDT), "127.0.0.1"));
    EXPECT_TRUE(AwaitTime(1, kSeconds + 3));
    Exit();
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
    EXPECT_TRUE(m_host->SendCommand(CMD_INIT));
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
    // time block there, and must not take block 1 for its own.
    // Its block 2 has the shape of the driver's heading block, which is written there.
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
    // The events are raised all the same.
    bool updated = false;
    for (int i = 0; i < 25 && !updated; ++i)
        updated = SendDatagram(m_port, Tagged(kSeconds + 1, HDT)) && m_host->WaitForUpdate(200);
    EXPECT_TRUE(updated);
    BYTE record[20];
    {
        const CBufferHold hold(b);
        ASSERT_EQ(b.buffer.GetBlockCount(), 2u);
        ASSERT_EQ(b.ReadRecord(1, 1, record, sizeof record), 1);
    }
    EXPECT_EQ(std::count(record, record + 20, 0), 20);
    EXPECT_TRUE(AwaitTime(1, kSeconds));  // and buffer A keeps its last update
    Exit();
    ::rmdir(next.c_str());
    EXPECT_NE(Errors().find("no time block could be added"), std::string::npos);
}

TEST_F(PeloradProcess, WithoutItsHostLinkTheDriverSaysWhyAndFails) {
    const std::string file = m_folder.GetRoot() + "/not-a-folder";
    WriteTextFile(file, "");
    const struct {
        std::optional<std::string> prefix;
        std::string folder;
        const char* said;
    } cases[] = {{std::nullopt, m_folder.GetPath(), "\"Prefix\" is not set"},
                 {"P1", file, "no host link for prefix \"P1\": cannot open event P1_UPDATE_READY"}};
    for (const auto& c : cases) {
        const CScopedEnvironment prefix("Prefix", c.prefix);
        const CScopedEnvironment folder("VOK_IPC_DIR", c.folder);
        Vok::Process::sLaunchOptions options;
        options.arguments = {PELORAD};
        const int fd = ::open(ErrorFile().c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
        options.standardError = fd;
        Vok::Process::CProcess driver = Vok::Process::Launch(options);
        ::close(fd);
        ASSERT_TRUE(driver.IsValid());
        const std::optional<int> code = driver.Wait(5000);
        if (!code) driver.Kill(SIGKILL);
        EXPECT_EQ(code, 1);
        EXPECT_NE(Errors().find(c.said), std::string::npos) << c.said << "\n" << Errors();
    }
}

}  // namespace
