// The real driver against other processes that misuse its output buffer: a reader stopped while it
// holds the buffer, and files of the buffer rewritten or truncated. The driver drops the records it
// cannot write, says so once on standard error, and keeps answering its host.
#include <signal.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <regex>
#include <string>
#include <vector>

#include "definitions/definition_types.h"
#include "driver/drv_base_socket.h"
#include "tests/support/definition_samples.h"
#include "tests/support/driver_samples.h"
#include "tests/support/file_helpers.h"
#include "tests/support/ipc_test_folder.h"
#include "tests/support/peer_process.h"
#include "tests/support/test_host.h"

namespace {

using namespace Vok::Test;

const std::string PELORAD = VOK_BINARY_DIR "/pelorad";
const std::string PEER = PeerPath(VOK_BINARY_DIR, "buffer_peer");
constexpr Milliseconds DEADLINE(5000);
constexpr uint32_t kSeconds = 1000000000;

size_t CountOf(const std::string& text, const std::string& part) {
    size_t count = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + part.size())) ++count;
    return count;
}

class PeloradPeerFault : public IpcTest {
protected:
    void TearDown() override {
        m_host.reset();
        IpcTest::TearDown();
    }

    // The driver with a heading definition, after SETTINGS, writing into the output buffer output.
    void Start(const std::string& output) {
        sDriverSettings s;
        s.system.sysId = 7;
        s.system.port = m_port;
        const BYTE loopback[4] = {127, 0, 0, 1};
        std::copy(loopback, loopback + 4, s.system.address);
        s.system.timeTagType = 4;
        s.system.timeSource = 4;
        s.outputName = output;
        s.observations.Add(MakeObsDef(1, OBS_BEARING_TRUE, 7, 1, 0, 0));
        m_host = std::make_unique<CTestHost>(PELORAD, 1, ErrorFile());
        ASSERT_TRUE(m_host->PublishSettings(s));
        ASSERT_TRUE(m_host->SendCommand(CMD_SETTINGS));
    }

    bool SendHeading() { return SendDatagram(m_port, Tagged(kSeconds + ++m_second, Sentence("HEHDT,123.4,T"))); }

    // Headings, a second apart in their tags, until the driver announces a written update.
    bool AwaitUpdate() {
        for (int i = 0; i < 25; ++i) {
            if (!SendHeading()) return false;
            if (m_host->WaitForUpdate(200)) return true;
        }
        return false;
    }

    void Exit() {
        EXPECT_TRUE(m_host->SendCommand(CMD_EXIT));
        EXPECT_EQ(m_host->WaitForExit(5000), 0);
        m_host.reset();
    }

    std::string ErrorFile() const { return m_folder.GetRoot() + "/stderr.txt"; }
    std::string Errors() const { return ReadTextFile(ErrorFile()).value_or(""); }

    UINT m_port = FindFreeUdpPort();
    uint32_t m_second = 0;
    std::unique_ptr<CTestHost> m_host;
};

TEST_F(PeloradPeerFault, AStoppedReaderOfTheOutputBufferDoesNotStopTheDriver) {
    Start("OUT_S");
    ASSERT_TRUE(AwaitUpdate());
    CPeerProcess reader({PEER, "open", "OUT_S", "0", "lock", "OUT_S", "pause"});
    ASSERT_EQ(reader.WaitForLine("READY lock", DEADLINE), "READY lock 1");
    reader.Kill(SIGSTOP);
    for (int i = 0; i < 3; ++i) ASSERT_TRUE(SendHeading());
    EXPECT_FALSE(m_host->WaitForUpdate(1500));  // nothing can be written meanwhile
    const CStopwatch watch;
    EXPECT_TRUE(m_host->SendCommand(CMD_RESET, 5000));
    EXPECT_LT(watch.Elapsed(), Milliseconds(4000));
    reader.Kill(SIGCONT);
    ASSERT_TRUE(reader.WriteLine("end"));
    EXPECT_EQ(reader.Wait(DEADLINE), 0);
    EXPECT_TRUE(AwaitUpdate());
    Exit();
    const std::string errors = Errors();
    EXPECT_EQ(CountOf(errors, "the output buffer \"OUT_S\" stayed locked for 1000 ms; records are dropped until it is free"),
              1u)
        << errors;
    EXPECT_TRUE(std::regex_search(
        errors, std::regex("the output buffer \"OUT_S\" is usable again; the records of [123] datagrams were dropped")))
        << errors;
}

TEST_F(PeloradPeerFault, ADamagedOutputBufferIsRefusedAndTheDriverGoesOn) {
    struct sCase {
        const char* what;
        bool truncate;  // the live generation, else N_MNGT names generation 999
        const char* said;
    };
    const sCase cases[] = {
        {"generation beyond the last", false, "is refused (Could not create shared memory: OUT_D_999); records are dropped"},
        {"live generation truncated", true, "is refused (Could not create view of shared memory: OUT_D_"},
    };
    for (const sCase& c : cases) {
        SCOPED_TRACE(c.what);
        Start("OUT_D");
        ASSERT_TRUE(AwaitUpdate());
        std::vector<std::string> damage{PEER, "mngt", "OUT_D", "4", "999"};
        if (c.truncate) {
            std::string current;
            for (const std::string& file : m_folder.ListFiles())
                if (std::regex_match(file, std::regex("m\\.OUT_D_[0-9]+"))) current = file;
            ASSERT_FALSE(current.empty());
            damage = {PEER, "truncate", current, "0"};
        }
        {
            CPeerProcess vandal(damage);
            ASSERT_EQ(vandal.Wait(DEADLINE), 0);
        }
        for (int i = 0; i < 3; ++i) ASSERT_TRUE(SendHeading());
        EXPECT_FALSE(m_host->WaitForUpdate(500));
        EXPECT_TRUE(m_host->SendCommand(CMD_RESET, 5000));
        Exit();
        const std::string errors = Errors();
        EXPECT_EQ(CountOf(errors, c.said), 1u) << errors;
        EXPECT_TRUE(m_folder.ListFiles().empty());
    }
}

}  // namespace
