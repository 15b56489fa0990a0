// The real driver against other processes that misuse its buffers: a reader stopped while it holds
// the output or the settings buffer, files rewritten, linked, cut short or moved away. The driver
// drops the records it cannot write, leaves unacknowledged the commands it cannot read, says so once
// on standard error, and keeps decoding and answering its host.
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <memory>
#include <optional>
#include <regex>
#include <string>
#include <thread>
#include <vector>

#include "definitions/records/definition_types.h"
#include "driver/drv_base_socket.h"
#include "host/definition_samples.h"
#include "host/driver_samples.h"
#include "tests/support/file_helpers.h"
#include "tests/support/ipc_test_folder.h"
#include "tests/support/peer_process.h"
#include "tests/support/vanishing_parent.h"
#include "host/test_host.h"

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

    // The driver (commandLine) with a heading definition, after SETTINGS, writing into the output
    // buffer output.
    void Start(const std::string& output, const std::string& commandLine = PELORAD) {
        m_host = std::make_unique<CTestHost>(commandLine, 1, ErrorFile());
        ASSERT_TRUE(m_host->PublishSettings(Settings(output)));
        ASSERT_TRUE(m_host->SendCommand(CMD_SETTINGS));
    }

    sDriverSettings Settings(const std::string& output) const {
        sDriverSettings s;
        s.system.sysId = 7;
        s.system.port = m_port;
        const BYTE loopback[4] = {127, 0, 0, 1};
        std::copy(loopback, loopback + 4, s.system.address);
        s.system.timeTagType = 4;
        s.system.timeSource = 4;
        s.outputName = output;
        s.observations.Add(MakeObsDef(1, OBS_BEARING_TRUE, 7, 1, 0, 0));
        s.observations.Add(MakeObsDef(2, OBS_GENERIC, 7, 1, 0, 0));  // rates of turn
        return s;
    }

    std::string Prefix() { return m_host->Link().GetPrefix().Str(); }
    // The folder's file whose name matches pattern; empty when none does.
    std::string FolderFile(const std::string& pattern) const {
        for (const std::string& file : m_folder.ListFiles())
            if (std::regex_match(file, std::regex(pattern))) return file;
        return "";
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
    bool AwaitError(const std::string& text) const {
        for (const CStopwatch watch; Errors().find(text) == std::string::npos; ::usleep(10000))
            if (watch.Elapsed() > DEADLINE) return false;
        return true;
    }

    UINT m_port = FindFreeUdpPort();
    uint32_t m_second = 0;
    std::unique_ptr<CTestHost> m_host;
};

TEST_F(PeloradPeerFault, AStoppedReaderOfTheOutputBufferDoesNotStopTheDriver) {
    Start("OUT_S");
    ASSERT_TRUE(AwaitUpdate());
    // On a busy machine AwaitUpdate may have sent headings that the driver had not yet answered:
    // they are written and announced before the buffer is held, not counted among the dropped.
    while (m_host->WaitForUpdate(300)) {
    }
    CPeerProcess reader({PEER, "open", "OUT_S", "0", "lock", "OUT_S", "pause"});
    ASSERT_EQ(reader.WaitForLine("READY lock", DEADLINE), "READY lock 1");
    reader.Kill(SIGSTOP);
    // A datagram of two records waits for the buffer once: the command behind it is answered after
    // one second, not two.
    const CStopwatch datagram;
    ASSERT_TRUE(SendDatagram(m_port, Tagged(kSeconds + ++m_second, Sentence("HEHDT,123.4,T") + Sentence("TIROT,-12.5,A"))));
    std::this_thread::sleep_for(Milliseconds(200));
    EXPECT_TRUE(m_host->SendCommand(CMD_HEARTBEAT, 5000));
    EXPECT_GE(datagram.Elapsed(), Milliseconds(1000));
    EXPECT_LT(datagram.Elapsed(), Milliseconds(1800));
    for (int i = 0; i < 3; ++i) ASSERT_TRUE(SendHeading());
    EXPECT_FALSE(m_host->WaitForUpdate(1500));  // nothing can be written meanwhile
    const CStopwatch watch;
    EXPECT_TRUE(m_host->SendCommand(CMD_RESET, 5000));
    EXPECT_LT(watch.Elapsed(), Milliseconds(4000));
    // One wait of a second for the held buffer: the opening's, none after it.
    const CStopwatch init;
    EXPECT_TRUE(m_host->SendCommand(CMD_INIT, 5000));
    EXPECT_LT(init.Elapsed(), Milliseconds(2500));
    reader.Kill(SIGCONT);
    ASSERT_TRUE(reader.WriteLine("end"));
    EXPECT_EQ(reader.Wait(DEADLINE), 0);
    EXPECT_TRUE(m_host->SendCommand(CMD_SETTINGS));
    EXPECT_TRUE(AwaitUpdate());
    Exit();
    const std::string errors = Errors();
    EXPECT_EQ(CountOf(errors, "the output buffer \"OUT_S\" stayed locked for 1000 ms; records are dropped until it is free"),
              1u)
        << errors;
    EXPECT_TRUE(std::regex_search(
        errors, std::regex("the output buffer \"OUT_S\" is usable again; the records of [1-4] datagrams were dropped")))
        << errors;
}

TEST_F(PeloradPeerFault, ADamagedOutputBufferIsRefusedAndTheDriverGoesOn) {
    struct sCase {
        const char* what;
        std::vector<std::string> damage;  // "FILE" stands for the live generation's file
        const char* said;
    };
    const sCase cases[] = {
        {"generation beyond the last", {"mngt", "OUT_D", "4", "999"},
         "is refused (Could not create shared memory: OUT_D_999: No such file or directory); records are dropped"},
        {"live generation truncated", {"truncate", "FILE", "0"}, "is refused (Could not create view of shared memory: OUT_D_"},
        // Inside its last page no access faults: the kernel's word of the change has its size read.
        {"live generation cut by a byte", {"truncate", "FILE", "LESS"}, " bytes)); records are dropped"},
        // The record sizes of the time, heading and ring blocks (descriptors at 24 + 56 * i, field 40).
        {"descriptors overwritten",
         {"open", "OUT_D", "0", "poke", "OUT_D", "64", "0x9E3779B9", "poke", "OUT_D", "120", "7", "poke", "OUT_D", "176", "0"},
         "another process changed its descriptors; its records are dropped"},
    };
    for (const sCase& c : cases) {
        SCOPED_TRACE(c.what);
        Start("OUT_D");
        ASSERT_TRUE(AwaitUpdate());
        std::vector<std::string> damage{PEER};
        const std::string file = FolderFile("m\\.OUT_D_[0-9]+");
        const std::string less = std::to_string(std::filesystem::file_size(m_folder.GetPath() + "/" + file) - 1);
        for (const std::string& word : c.damage) damage.push_back(word == "FILE" ? file : word == "LESS" ? less : word);
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

namespace {

TEST_F(PeloradPeerFault, AStoppedHolderOfTheSettingsBufferStopsNeitherDecodingNorTheEndWithTheHost) {
    CVanishingParent parent(m_folder.GetRoot());
    Start("OUT_H", parent.CommandLine(PELORAD));
    ASSERT_TRUE(AwaitUpdate());
    const std::string settings = Prefix() + "_SETTINGS";
    ASSERT_TRUE(m_host->Link().WriteCommand(CMD_RESET));
    CPeerProcess holder({PEER, "open", settings, "1", "lock", settings, "pause"});
    ASSERT_EQ(holder.WaitForLine("READY lock", DEADLINE), "READY lock 1");
    holder.Kill(SIGSTOP);
    EXPECT_FALSE(m_host->Link().PostSettingsAndWait(1000));  // not read, so not acknowledged
    EXPECT_TRUE(AwaitUpdate());
    const CStopwatch watch;
    const std::optional<int> status = parent.EndAndReap(10000);
    EXPECT_LT(watch.Elapsed(), Milliseconds(3000));
    ASSERT_TRUE(status.has_value()) << "the driver outlived its host";
    EXPECT_TRUE(WIFEXITED(*status) && WEXITSTATUS(*status) == 1) << *status;
    holder.Kill(SIGCONT);
    ASSERT_TRUE(holder.WriteLine("end"));
    EXPECT_EQ(holder.Wait(DEADLINE), 0);
    EXPECT_EQ(CountOf(Errors(), "another process holds the settings buffer \"" + settings + "\""), 1u) << Errors();
}

// The output generation, the settings generation and the files of an event that the driver sets and
// of one it waits for, cut short and given back their bytes again and again while datagrams and
// commands come: refused, never a signal, and said at most once a second with the count of the
// episodes that went unsaid.
TEST_F(PeloradPeerFault, FilesCutShortInALoopAreRefusedNeverASignal) {
    Start("OUT_T");
    ASSERT_TRUE(AwaitUpdate());
    const CStopwatch watch;
    CPeerProcess vandal({PEER, "cut", "1000", FolderFile("m\\.OUT_T_[0-9]+"), FolderFile("m\\." + Prefix() + "_SETTINGS_[0-9]+"),
                         "e." + Prefix() + "_UPDATE_READY", "e." + Prefix() + "_NEW_SETTINGS"});
    std::optional<std::string> done;
    for (int i = 1; !done && i < 10000; ++i) {
        SendHeading();
        if (i % 50 == 0) m_host->SendCommand(CMD_HEARTBEAT, 100);
        done = vandal.ReadLine(Milliseconds(2));
    }
    EXPECT_EQ(done, "READY cut");
    EXPECT_EQ(vandal.Wait(DEADLINE), 0);
    EXPECT_FALSE(m_host->WaitForExit(0).has_value());
    EXPECT_TRUE(AwaitUpdate());
    const std::string prefix = Prefix();
    Exit();
    const std::string errors = Errors();
    const std::string refused = "the output buffer \"OUT_T\" is refused (Could not create view of shared memory: OUT_T_";
    EXPECT_NE(errors.find(refused), std::string::npos) << errors;
    EXPECT_LE(CountOf(errors, refused), static_cast<size_t>(watch.Elapsed().count() / 1000 + 2)) << errors;
    EXPECT_NE(errors.find(" episodes since the last message went unsaid"), std::string::npos) << errors;
    EXPECT_TRUE(std::regex_search(errors, std::regex("\"OUT_T\" is usable again; the records of [0-9]+ datagrams were dropped")))
        << errors;
    EXPECT_NE(errors.find("the event EVT_UPDATE_READY of the host link \"" + prefix +
                          "\" is refused: its file is cut short or damaged; updates are not announced until it is whole"),
              std::string::npos)
        << errors;
}

// The host's event "_NEW_SETTINGS" cut short: left so, given back after a datagram made the driver
// look at it, or given back after a command that was handled while it was cut. The driver hears
// commands again once it is whole, makes no wake-ups while nothing comes, and ends with its host
// whatever the file and its queue of pending signals hold.
TEST_F(PeloradPeerFault, ACutCommandEventNeitherDeafensTheDriverNorKeepsItAfterItsHost) {
    const struct {
        const char* what;
        bool duringCommand;  // else after a datagram, when given back
        bool givenBack;
    } cases[] = {{"left cut", false, false}, {"cut at a datagram", false, true}, {"cut during a command", true, true}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        CVanishingParent parent(m_folder.GetRoot());
        Start("OUT_E", parent.CommandLine(PELORAD));
        ASSERT_TRUE(AwaitUpdate());
        const std::string event = Prefix() + "_NEW_SETTINGS", said = "the event EVT_NEW_SETTINGS of the host link \"" + Prefix();
        const auto cut = [&](const char* size) { return CPeerProcess({PEER, "truncate", "e." + event, size}).Wait(DEADLINE) == 0; };
        if (c.duringCommand) {
            // The output buffer's hold, taken here, keeps the driver in INIT once it has reset the event.
            IpcBufferHandle out("OUT_E", 1);
            CIpcEvent posted(event.c_str());
            ASSERT_TRUE(out.Lock());
            ASSERT_TRUE(m_host->Link().WriteCommand(CMD_INIT));
            EXPECT_FALSE(m_host->Link().PostSettingsAndWait(0));
            for (const CStopwatch watch; posted.Wait(0) == WAIT_OBJECT_0 && watch.Elapsed() < DEADLINE;) ::usleep(1000);
            ASSERT_TRUE(cut("0"));
            out.Unlock();
            EXPECT_TRUE(m_host->Link().IsEventSet(EVT_SETTINGS_READ, 5000));
        } else {
            ASSERT_TRUE(cut("0"));
            ASSERT_TRUE(!c.givenBack || SendHeading());
        }
        if (c.givenBack) {
            ASSERT_TRUE(AwaitError(said + "\" is refused: its file is cut short or damaged; commands are not seen")) << Errors();
            // Long enough for the command watch to find the file cut as well, not only the loop.
            std::this_thread::sleep_for(Milliseconds(300));
            ASSERT_TRUE(cut("4"));
            EXPECT_TRUE(m_host->SendCommand(CMD_HEARTBEAT));
            EXPECT_TRUE(AwaitError(said + "\" is usable again")) << Errors();
            const pid_t driver = parent.GetDriverProcessId();
            std::this_thread::sleep_for(Milliseconds(100));
            const long before = ContextSwitches(driver);
            std::this_thread::sleep_for(Milliseconds(1000));
            EXPECT_LE(ContextSwitches(driver) - before, 2);
            // Asleep, not deaf: a command after the quiet is still heard.
            EXPECT_TRUE(m_host->SendCommand(CMD_HEARTBEAT));
        }
        const rlimit none{0, 0};  // a full queue of pending signals refuses every queued one
        ASSERT_EQ(::prlimit(parent.GetDriverProcessId(), RLIMIT_SIGPENDING, &none, nullptr), 0);
        const CStopwatch watch;
        const std::optional<int> status = parent.EndAndReap(5000);
        EXPECT_LT(watch.Elapsed(), Milliseconds(3000));
        ASSERT_TRUE(status.has_value()) << "the driver outlived its host";
        EXPECT_TRUE(WIFEXITED(*status) && WEXITSTATUS(*status) == 1) << *status;
        m_host.reset();
    }
}

// The time block's record size changed by another process, given back, and changed again soon after:
// the second episode is said while it lasts, not at the driver's end.
TEST_F(PeloradPeerFault, AProblemThatComesBackSoonIsSaidWhileItLasts) {
    Start("OUT_B");
    ASSERT_TRUE(AwaitUpdate());
    const auto poke = [](const char* size) {
        return CPeerProcess({PEER, "open", "OUT_B", "0", "poke", "OUT_B", "64", size}).Wait(DEADLINE) == 0;
    };
    const std::string refused = "the output buffer \"OUT_B\" no longer holds block 1 as this driver added it";
    const auto saidTimes = [&](size_t n, int ms) {
        for (const CStopwatch watch; CountOf(Errors(), refused) < n; ::usleep(5000))
            if (watch.Elapsed() > Milliseconds(ms) || !SendHeading()) return false;
        return true;
    };
    ASSERT_TRUE(poke("21"));
    ASSERT_TRUE(saidTimes(1, 3000)) << Errors();
    // While it lasts, nothing more is said of it.
    EXPECT_FALSE(saidTimes(2, 1500)) << Errors();
    EXPECT_EQ(Errors().find("takes records again"), std::string::npos) << Errors();
    ASSERT_TRUE(poke("20"));
    ASSERT_TRUE(AwaitUpdate());
    std::this_thread::sleep_for(Milliseconds(300));
    ASSERT_TRUE(poke("21"));
    EXPECT_TRUE(saidTimes(2, 3000)) << Errors();
    ASSERT_TRUE(poke("20"));
    EXPECT_TRUE(AwaitUpdate());
    Exit();
    // The end between the two is said, or counted on the second.
    const std::string line = refused + " \\(type 26, records of 20 bytes\\): [^\n(]*dropped";
    EXPECT_TRUE(std::regex_search(Errors(), std::regex(line + "\n([\\s\\S]*takes records again\n[^\n]*" + line + "\n|[^\n]*" +
                                                       line + " \\(1 episodes since the last message went unsaid\\)\n)")))
        << Errors();
    EXPECT_NE(Errors().find("the output buffer \"OUT_B\" takes records again"), std::string::npos) << Errors();
}

// A reader that lets go within a second of the drop being said: the end, held back by the limit, is
// said when it is due, though nothing more comes.
TEST_F(PeloradPeerFault, AnEndHeldBackIsSaidWhenDueWhileNothingComes) {
    Start("OUT_I");
    ASSERT_TRUE(AwaitUpdate());
    CPeerProcess reader({PEER, "open", "OUT_I", "0", "lock", "OUT_I", "pause", "unlock", "OUT_I"});
    ASSERT_EQ(reader.WaitForLine("READY lock", DEADLINE), "READY lock 1");
    ASSERT_TRUE(SendHeading());
    ASSERT_TRUE(AwaitError("the output buffer \"OUT_I\" stayed locked for 1000 ms")) << Errors();
    ASSERT_TRUE(reader.WriteLine("go"));
    EXPECT_EQ(reader.Wait(DEADLINE), 0);
    ASSERT_TRUE(SendHeading());
    EXPECT_TRUE(m_host->WaitForUpdate(5000));
    EXPECT_TRUE(AwaitError("the output buffer \"OUT_I\" is usable again")) << Errors();
    Exit();
}

// Blocks refused one after another within one episode: said once, by the first of them.
TEST_F(PeloradPeerFault, AnEpisodeOfRefusedBlocksIsSaidByItsFirstBlockOnly) {
    Start("OUT_O");
    ASSERT_TRUE(AwaitUpdate());
    // The record sizes of the time and the heading blocks (descriptors at 24 + 56 * i, field 40).
    {
        CPeerProcess vandal({PEER, "open", "OUT_O", "0", "poke", "OUT_O", "64", "21", "poke", "OUT_O", "120", "7"});
        ASSERT_EQ(vandal.Wait(DEADLINE), 0);
    }
    // The heading's block is refused; the rate of turn is written, then the time block is refused.
    ASSERT_TRUE(SendDatagram(m_port, Tagged(kSeconds + ++m_second, Sentence("HEHDT,123.4,T") + Sentence("TIROT,-12.5,A"))));
    EXPECT_TRUE(m_host->WaitForUpdate(5000));
    Exit();
    EXPECT_EQ(CountOf(Errors(), "no longer holds block 2 as this driver added it"), 1u) << Errors();
    EXPECT_EQ(CountOf(Errors(), "no longer holds block 1 as this driver added it"), 0u) << Errors();
}

// Faults that repeat at every datagram or turn of the loop: said at most about once a second, with
// counts, and a command that waits on a damaged settings buffer does not make the driver spin.
TEST_F(PeloradPeerFault, RepeatedFaultsAreSaidAtMostOnceASecond) {
    const struct {
        const char* what;
        bool cutSettings;  // else datagrams longer than the receive buffer between ones that fit
        const char* said;  // a line that the fault repeats
        const char* counted;
    } cases[] = {{"over-long datagrams", false, "bytes was cut to the receive buffer's 16384",
                  " episodes since the last message went unsaid"},
                 {"INIT on a cut settings buffer", true, "(cut short to 4096 of its",
                  "is refused (Could not create view"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        Start("OUT_R");
        ASSERT_TRUE(AwaitUpdate());
        const std::string settings = FolderFile("m\\." + Prefix() + "_SETTINGS_[0-9]+");
        const std::string size = std::to_string(std::filesystem::file_size(m_folder.GetPath() + "/" + settings));
        const auto cut = [&](const std::string& bytes) {
            return CPeerProcess({PEER, "truncate", settings, bytes}).Wait(DEADLINE) == 0;
        };
        // The command record stays whole in the first page; the items beyond it would read as zeros.
        if (c.cutSettings) {
            ASSERT_TRUE(m_host->Link().WriteCommand(CMD_INIT));
            ASSERT_TRUE(cut("4096"));
            m_host->Link().PostSettingsAndWait(0);
        }
        const size_t from = Errors().size();
        const CStopwatch watch;
        while (watch.Elapsed() < Milliseconds(3000)) {
            ASSERT_TRUE(c.cutSettings || SendDatagram(m_port, std::string(20000, 'x')));
            ASSERT_TRUE(SendHeading());
            ::usleep(2000);
        }
        const size_t lines = CountOf(Errors().substr(from), "\n");
        EXPECT_LE(lines, 3u + watch.Elapsed().count() / 1000) << Errors();
        if (c.cutSettings) {
            const auto driver = static_cast<pid_t>(m_host->Link().GetProcessId());
            const long before = ContextSwitches(driver);
            std::this_thread::sleep_for(Milliseconds(1000));
            EXPECT_LE(ContextSwitches(driver) - before, 12);
            // Its settings were never read whole: the INIT is not acknowledged.
            EXPECT_FALSE(m_host->Link().IsEventSet(EVT_SETTINGS_READ, 0));
            ASSERT_TRUE(cut(size));
        }
        Exit();
        EXPECT_NE(Errors().find(c.said), std::string::npos) << Errors();
        EXPECT_NE(Errors().find(c.counted), std::string::npos) << Errors();
    }
}

TEST_F(PeloradPeerFault, ACommandOfARefusedSettingsBufferIsNotAcknowledgedUntilItIsRead) {
    Start("OUT_L");
    // A generation the driver has not mapped yet, given a second name.
    ASSERT_TRUE(m_host->PublishSettings(Settings("OUT_L")));
    const std::string generation = FolderFile("m\\." + Prefix() + "_SETTINGS_[0-9]+");
    {
        CPeerProcess planter({PEER, "link", "m.second", m_folder.GetPath() + "/" + generation});
        ASSERT_EQ(planter.Wait(DEADLINE), 0);
    }
    EXPECT_FALSE(m_host->SendCommand(CMD_INIT, 200));
    ASSERT_TRUE(AwaitError("_SETTINGS\" is refused (")) << Errors();
    ASSERT_EQ(::unlink((m_folder.GetPath() + "/m.second").c_str()), 0);
    // Read again within a second of the refusal's line: the end is held back, and said when due.
    EXPECT_TRUE(AwaitError("_SETTINGS\" can be read again")) << Errors();
    // A file cut inside its first page, where the command record lies, faults nowhere and reads as
    // zeros: refused by its size, the posted command is neither carried out nor acknowledged. So is
    // the management file, cut to nothing.
    const std::string data = FolderFile("m\\." + Prefix() + "_SETTINGS_[0-9]+");
    for (const auto& [file, bytes] : {std::pair<std::string, std::string>{data, "1"}, {data, "1024"}, {data, "4095"},
                                      {"m." + Prefix() + "_SETTINGS_MNGT", "0"}}) {
        SCOPED_TRACE(file + " " + bytes);
        const std::string current = m_folder.GetPath() + "/" + file;
        std::string bytesOfFile(std::filesystem::file_size(current), '\0');
        std::ifstream(current, std::ios::binary).read(bytesOfFile.data(), static_cast<std::streamsize>(bytesOfFile.size()));
        ASSERT_TRUE(m_host->Link().WriteCommand(CMD_INIT));
        ASSERT_EQ(::truncate(current.c_str(), std::stoi(bytes)), 0);
        EXPECT_FALSE(m_host->Link().PostSettingsAndWait(300));
        EXPECT_TRUE(AwaitError("(cut short to " + bytes + " of its " + std::to_string(bytesOfFile.size()) +
                               " bytes)); the command is not")) << Errors();
        std::fstream(current, std::ios::in | std::ios::out | std::ios::binary).write(bytesOfFile.data(),
                                                                                      static_cast<std::streamsize>(bytesOfFile.size()));
    }
    const std::string prefix = Prefix();
    Exit();
    const std::string errors = Errors();
    EXPECT_EQ(CountOf(errors, "the settings buffer \"" + prefix + "_SETTINGS\" is refused (Could not create shared memory: " +
                                  generation.substr(2) + ": Operation not permitted); the command is not acknowledged"),
              1u) << errors;
    EXPECT_GE(CountOf(errors, "the settings buffer \"" + prefix + "_SETTINGS\" can be read again"), 1u) << errors;
}

TEST_F(PeloradPeerFault, AnIpcFolderMovedAwayIsSaidWhenTheOutputBufferIsOpenedAnew) {
    Start("OUT_F");
    const std::string path = m_folder.GetPath(), away = path + ".away";
    ASSERT_EQ(::rename(path.c_str(), away.c_str()), 0);
    EXPECT_TRUE(m_host->SendCommand(CMD_INIT));
    Exit();
    EXPECT_EQ(::rmdir(path.c_str()), 0);  // made anew by the driver, and left empty
    ASSERT_EQ(::rename(away.c_str(), path.c_str()), 0);
    EXPECT_EQ(CountOf(Errors(), "is not the one the host made the link in (renamed or removed since): the output buffer "
                                "\"OUT_F\" is opened in a folder made anew"),
              1u) << Errors();
}

}  // namespace
