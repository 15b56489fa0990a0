#include "platform/child_process.h"

#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <future>
#include <memory>
#include <cstdlib>
#include <string>
#include <vector>

#include "foundation/string_utils.h"
#include "platform/process_launch.h"
#include "tests/support/file_helpers.h"
#include "tests/support/ipc_test_folder.h"
#include "host/test_host.h"

namespace {

using Vok::Test::CTestHost;

class ChildProcessTest : public Vok::Test::IpcTest {};

const std::string PEER = Vok::Test::PeerPath(VOK_BINARY_DIR, "link_peer");

// A host end that starts no child (its command line is empty).
CChildProcess HostEnd(DWORD processId = static_cast<DWORD>(::getpid()), int number = 7) {
    return CChildProcess("", processId, number, 0, NORMAL_PRIORITY_CLASS, THREAD_PRIORITY_NORMAL, nullptr);
}

std::vector<std::string> Lines(const std::string& path) {
    std::vector<std::string> lines;
    const std::string text = Vok::Test::ReadTextFile(path).value_or("");
    for (size_t start = 0, end; start < text.size(); start = end + 1) {
        end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        lines.push_back(text.substr(start, end - start));
    }
    return lines;
}

TEST_F(ChildProcessTest, AHostAndARealDriverAcknowledgeEveryCommand) {
    Vok::Test::CTempFolder temp;
    const std::string log = temp / "driver.log";
    Vok::Test::CScopedEnvironment ownPrefix("Prefix", "host's own");
    std::string prefix;
    {
        CTestHost host("\"" + PEER + "\" driver \"" + log + "\"", 3);
        ASSERT_TRUE(host.Link().IsStarted()) << host.Link().GetStartError().c_str();
        prefix = host.Link().GetPrefix().c_str();
        for (DWORD code : {DWORD{CMD_INIT}, DWORD{CMD_SETTINGS}, DWORD{99}, DWORD{CMD_EXIT}}) EXPECT_TRUE(host.SendCommand(code, 5000)) << code;
        EXPECT_EQ(host.WaitForExit(5000), 0);
    }
    EXPECT_STREQ(std::getenv("Prefix"), "host's own");
    EXPECT_EQ(prefix, Format("%08X_0003", static_cast<unsigned>(::getpid())));
    EXPECT_EQ(Lines(log), (std::vector<std::string>{"Prefix=" + prefix, "CMD 1 CMD_INIT", "CMD 5 CMD_SETTINGS",
                                                    "CMD 99 CMD unknown", "CMD 8 CMD_EXIT"}));
}

TEST_F(ChildProcessTest, ACommandLineReachesTheChildAsTheSplittingRuleGives) {
    Vok::Test::CTempFolder temp;
    CChildProcess host(CString(("\"" + PEER + "\" args args.log plain \"two  words\" a\\\"b \"\" x\"y z\"").c_str()),
                       static_cast<DWORD>(::getpid()), 1, 0, NORMAL_PRIORITY_CLASS, THREAD_PRIORITY_NORMAL,
                       temp.Path().c_str());
    ASSERT_TRUE(host.IsStarted()) << host.GetStartError().c_str();
    EXPECT_EQ(host.GetThreadId(), host.GetProcessId());
    EXPECT_EQ(Vok::Process::WaitForExit(host.GetProcessHandle(), 5000), 0);
    EXPECT_EQ(Lines(temp / "args.log"), (std::vector<std::string>{"[plain]", "[two  words]", "[a\"b]", "[]", "[xy z]"}));
}

TEST_F(ChildProcessTest, AChildThatTheHostEndTerminatedEndsWithCodeZero) {
    struct Row {
        const char* name;
        bool killed;     // from outside first, and left unreaped until it has ended
        bool terminate;  // through the host end
        std::optional<int> code;
    } rows[] = {
        {"terminated by the host end", false, true, 0},
        {"killed from outside", true, false, 128 + SIGKILL},
        {"killed from outside, then terminated", true, true, 128 + SIGKILL},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        CChildProcess host(CString(("\"" + PEER + "\" sleep").c_str()), static_cast<DWORD>(::getpid()), 2, 0,
                           NORMAL_PRIORITY_CLASS, THREAD_PRIORITY_NORMAL, nullptr);
        ASSERT_TRUE(host.IsStarted()) << host.GetStartError().c_str();
        EXPECT_EQ(host.WaitForExit(0), std::nullopt);  // still running
        if (row.killed) {
            EXPECT_TRUE(Vok::Process::SendSignal(host.GetProcessHandle(), SIGKILL));
            pollfd ended{host.GetProcessHandle(), POLLIN, 0};
            ASSERT_EQ(::poll(&ended, 1, 5000), 1);
        }
        if (row.terminate) {
            EXPECT_EQ(host.Terminate(), !row.killed);
        }
        EXPECT_EQ(host.WaitForExit(5000), row.code);
        EXPECT_EQ(host.WaitForExit(0), row.code);  // asked again
        EXPECT_FALSE(host.Terminate());  // nothing left to end
    }
    EXPECT_EQ(CChildProcess().WaitForExit(0), std::nullopt);
}

TEST_F(ChildProcessTest, AHostEndWithoutAChildHasNoProcess) {
    // Nothing to start, no such program, a host process that does not exist.
    const auto self = static_cast<DWORD>(::getpid());
    for (const auto& [commandLine, processId] :
         {std::pair<const char*, DWORD>{"", self}, {"no-such-program-here --x", self}, {"true", 0x7FFFFFFF}}) {
        CChildProcess host(commandLine, processId, 1, 0, NORMAL_PRIORITY_CLASS, 0, nullptr);
        EXPECT_FALSE(host.IsStarted()) << commandLine;
        EXPECT_FALSE(host.GetStartError().IsEmpty());
        EXPECT_EQ(host.GetProcessId(), 0u);
        EXPECT_EQ(host.GetProcessHandle(), -1);
        EXPECT_FALSE(host.Terminate());
    }
}

TEST_F(ChildProcessTest, EachEndSetsAndWaitsOnlyForItsOwnEvents) {
    CChildProcess host = HostEnd();
    CChildProcess driver(host.GetPrefix());
    ASSERT_TRUE(driver.IsStarted()) << driver.GetStartError().c_str();
    for (int index = 0; index < IPC_EVENT_COUNT; ++index) {
        const bool hostSets = index == EVT_NEW_SETTINGS;
        CChildProcess& setter = hostSets ? host : driver;
        CChildProcess& receiver = hostSets ? driver : host;
        EXPECT_FALSE(receiver.SetEvent(index)) << index;
        DWORD result = 0;
        EXPECT_FALSE(setter.WaitEvent(index, 0, result)) << index;
        EXPECT_FALSE(setter.ResetEvent(index)) << index;
        EXPECT_FALSE(receiver.IsEventSet(index, 0)) << index;
        EXPECT_TRUE(setter.SetEvent(index)) << index;
        EXPECT_TRUE(receiver.IsEventSet(index, 0)) << index;
        EXPECT_TRUE(receiver.ResetEvent(index)) << index;
        EXPECT_FALSE(receiver.IsEventSet(index, 0)) << index;
    }
    EXPECT_FALSE(driver.SetEvent(IPC_EVENT_COUNT));
    EXPECT_FALSE(host.ResetEvent(-1));
    EXPECT_FALSE(host.IsEventSignalled(IPC_EVENT_COUNT));
    EXPECT_FALSE(host.IsEventSignalled(-1));
    EXPECT_THROW(host.IsEventSet(7, 0), CInvalidArgException);
    EXPECT_THROW(CChildProcess().IsEventSet(EVT_UPDATE_READY, 0), CInvalidArgException);
    DWORD command = CMD_DEVICE_SETTINGS;
    EXPECT_EQ(CChildProcess().ReadCommand(0, command), COMMAND_REFUSED);
    EXPECT_FALSE(driver.PostSettingsAndWait(0));
    EXPECT_FALSE(driver.Terminate());
    EXPECT_EQ(driver.GetProcessHandle(), -1);
    EXPECT_EQ(driver.OpenChildProcess(), -1);
}

TEST_F(ChildProcessTest, TwoEventsSetTogetherAreBothSetWhenTheFirstOnesWaiterWakes) {
    CChildProcess host = HostEnd();
    CChildProcess driver(host.GetPrefix());
    ASSERT_TRUE(driver.IsStarted()) << driver.GetStartError().c_str();
    EXPECT_FALSE(host.SetEvents(EVT_UPDATE_READY, EVT_TRIGGER_DSP));
    EXPECT_FALSE(driver.SetEvents(EVT_UPDATE_READY, EVT_NEW_SETTINGS));
    EXPECT_EQ(host.GetWaitableEvent(EVT_NEW_SETTINGS), nullptr);
    EXPECT_EQ(driver.GetWaitableEvent(EVT_UPDATE_READY), nullptr);
    EXPECT_EQ(driver.GetWaitableEvent(IPC_EVENT_COUNT), nullptr);
    ASSERT_NE(driver.GetWaitableEvent(EVT_NEW_SETTINGS), nullptr);
    for (int round = 0; round < 50; ++round) {
        auto woken = std::async(std::launch::async, [&] {
            DWORD result = WAIT_FAILED;
            host.WaitEvent(EVT_UPDATE_READY, 5000, result);
            return result == WAIT_OBJECT_0 && host.IsEventSet(EVT_TRIGGER_DSP, 0);
        });
        ASSERT_TRUE(driver.SetEvents(EVT_UPDATE_READY, EVT_TRIGGER_DSP));
        ASSERT_EQ(woken.wait_for(std::chrono::seconds(5)), std::future_status::ready);
        EXPECT_TRUE(woken.get()) << round;
        host.ResetEvent(EVT_UPDATE_READY);
        host.ResetEvent(EVT_TRIGGER_DSP);
    }
}

TEST_F(ChildProcessTest, TheCommandRecordIsWrittenOnlyIntoAFittingBlockOne) {
    CChildProcess host = HostEnd();
    CChildProcess driver(host.GetPrefix());
    IpcBufferHandle& settings = *host.GetSettings();
    // No block yet: the write fails and says so; the driver reads nothing.
    EXPECT_FALSE(host.WriteCommand(CMD_INIT));
    EXPECT_EQ(driver.ReadCommand(), CMD_UNDEFINED);

    const DWORD id = 1, size = 40, recordSize = 40, wide = 48;
    ASSERT_TRUE(settings.Lock());
    settings.AddBlocks(1, &id, &size, &recordSize);
    settings.Unlock();
    EXPECT_TRUE(host.WriteCommand(CMD_DEVICE_SETTINGS));
    EXPECT_EQ(driver.ReadCommand(), CMD_DEVICE_SETTINGS);
    EXPECT_EQ(driver.ReadCommand(), CMD_DEVICE_SETTINGS);

    // A record longer than the 40-byte command record is refused at both ends.
    ASSERT_TRUE(settings.Lock());
    settings.buffer.ResizeBlock(0, wide, false);
    settings.Unlock();
    EXPECT_FALSE(host.WriteCommand(CMD_EXIT));
    EXPECT_EQ(driver.ReadCommand(), CMD_UNDEFINED);
}

TEST_F(ChildProcessTest, ADriverEndIsNotStartedWhenAnEventCannotBeOpened) {
    CChildProcess host = HostEnd();
    // A folder where the event's file belongs makes that event fail to open.
    const std::string file = m_folder.GetPath() + "/e." + host.GetPrefix().Str() + "_CLOSE";
    ASSERT_EQ(::rename(file.c_str(), (file + ".aside").c_str()), 0);
    ASSERT_EQ(::mkdir(file.c_str(), 0700), 0);
    {
        CChildProcess driver(host.GetPrefix());
        EXPECT_FALSE(driver.IsStarted());
        EXPECT_NE(driver.GetStartError().Find("_CLOSE"), -1) << driver.GetStartError().c_str();
    }
    ::rmdir(file.c_str());
    ::rename((file + ".aside").c_str(), file.c_str());
}

TEST_F(ChildProcessTest, ADriverEndOpensOnlyWhatItsHostMade) {
    const std::string path = m_folder.GetPath();
    const struct {
        const char* prefix;
        mode_t mode;   // of the folder; 0: no folder
        const char* said;
    } rows[] = {
        {"P", 0, "does not exist"},
        {"P", 0777, "is refused: it is writable by group or others (mode 777)"},
        {"WRONG", 0700, "event WRONG_UPDATE_READY does not exist"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.said);
        std::unique_ptr<CChildProcess> host;
        if (row.mode != 0) {
            host = std::make_unique<CChildProcess>("", static_cast<DWORD>(::getpid()), 7, 0, NORMAL_PRIORITY_CLASS,
                                                   THREAD_PRIORITY_NORMAL, nullptr);
            ASSERT_EQ(::chmod(path.c_str(), row.mode), 0);
        }
        const std::vector<std::string> before = m_folder.ListFiles();
        {
            CChildProcess driver(row.prefix);
            EXPECT_FALSE(driver.IsStarted());
            EXPECT_EQ(driver.GetSettings(), nullptr);
            EXPECT_NE(driver.GetStartError().Find(row.said), -1) << driver.GetStartError().c_str();
            EXPECT_EQ(m_folder.ListFiles(), before);  // nothing made
        }
        if (row.mode != 0) {
            ASSERT_EQ(::chmod(path.c_str(), 0700), 0);
        }
    }
    // A link to the folder is refused too.
    ASSERT_EQ(::rename(path.c_str(), (path + ".real").c_str()), 0);
    ASSERT_EQ(::symlink((path + ".real").c_str(), path.c_str()), 0);
    {
        CChildProcess driver("P");
        EXPECT_NE(driver.GetStartError().Find("is refused: it is a symbolic link"), -1)
            << driver.GetStartError().c_str();
    }
    ::unlink(path.c_str());
    ::rename((path + ".real").c_str(), path.c_str());
    // With its host's objects there, it starts.
    CChildProcess host = HostEnd();
    CChildProcess driver(host.GetPrefix());
    EXPECT_TRUE(driver.IsStarted()) << driver.GetStartError().c_str();
}

TEST_F(ChildProcessTest, AHostEndStartsNoChildWhenItsSettingsBufferCannotBeOpened) {
    const std::string prefix = Format("%08X_0009", static_cast<unsigned>(::getpid()));
    const std::string blocker = m_folder.GetPath() + "/l." + prefix + "_SETTINGS";
    ASSERT_EQ(::mkdir(m_folder.GetPath().c_str(), 0700), 0);
    ASSERT_EQ(::mkdir(blocker.c_str(), 0700), 0);
    {
        CChildProcess host("true", static_cast<DWORD>(::getpid()), 9, 0, NORMAL_PRIORITY_CLASS, 0, nullptr);
        EXPECT_EQ(host.GetSettings(), nullptr);
        EXPECT_FALSE(host.IsStarted());
        EXPECT_EQ(host.GetProcessId(), 0u);
        EXPECT_NE(host.GetStartError().Find("_SETTINGS"), -1) << host.GetStartError().c_str();
    }
    ::rmdir(blocker.c_str());
}

TEST_F(ChildProcessTest, ThePrefixNamesEveryObjectOfTheLink) {
    {
        CChildProcess host = HostEnd(0x1A2B, 3);
        EXPECT_EQ(host.GetPrefix(), CString("00001A2B_0003"));
        const std::vector<std::string> files = m_folder.ListFiles();
        for (const char* name : {"e.00001A2B_0003_UPDATE_READY", "e.00001A2B_0003_TRIGGER_DSP",
                                 "e.00001A2B_0003_NEW_SETTINGS", "e.00001A2B_0003_SETTINGS_READ",
                                 "e.00001A2B_0003_CLOSE", "e.00001A2B_0003_FIX_READY", "m.00001A2B_0003_SETTINGS_MNGT"})
            EXPECT_NE(std::find(files.begin(), files.end(), name), files.end()) << name;
    }
    EXPECT_EQ(HostEnd(0xFFFFFFFFu, 12345).GetPrefix(), CString("FFFFFFFF_12345"));
}

TEST(ChildProcessTexts, EventsAndCommandsHaveTheirTexts) {
    std::string events, commands;
    for (int i = -1; i <= IPC_EVENT_COUNT; ++i) events += CChildProcess::EventToText(i).Str() + " ";
    for (DWORD code = 0; code <= 17; ++code) commands += CChildProcess::CommandToText(code).Str() + " ";
    EXPECT_EQ(events, "EVT unknown EVT_UPDATE_READY EVT_TRIGGER_DSP EVT_NEW_SETTINGS EVT_SETTINGS_READ EVT_CLOSE "
                      "EVT_FIX_READY EVT unknown ");
    EXPECT_EQ(commands, "CMD_UNDEFINED CMD_INIT CMD_PLAY CMD_TRIGGER CMD_RESET CMD_SETTINGS CMD_STOP CMD_PAUSE "
                        "CMD_EXIT CMD_RES_UPDATE CMD_RAW_UPDATE CMD_RECORD CMD_FIX_UPDATE CMD_SPLIT CMD_HEARTBEAT "
                        "CMD_DEVICE_SETTINGS CMD_MONITOR_SETTINGS CMD unknown ");
    EXPECT_EQ(CChildProcess::CommandToText(0xFFFFFFFFu).Str(), "CMD unknown");
}

}  // namespace
