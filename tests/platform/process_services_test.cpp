#include "platform/process_services.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <memory>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "platform/child_job.h"
#include "platform/ipc_event.h"
#include "tests/support/file_helpers.h"
#include "tests/support/ipc_test_folder.h"
#include "tests/support/peer_process.h"

namespace {

using namespace std::chrono_literals;
using Vok::Test::CTempFolder;

const std::string kArgvPeer = VOK_BINARY_DIR "/tests/argv_peer";

std::vector<std::string> Recorded(const std::string& path) {
    std::vector<std::string> arguments;
    std::istringstream in(Vok::Test::ReadTextFile(path).value_or(""));
    for (std::string a; std::getline(in, a, '\0');) arguments.push_back(a);
    return arguments;
}

// Ends and waits for the process of a handle, then closes it.
DWORD Finish(HANDLE process) {
    const DWORD result = WaitForManyObjects(1, &process, 10000);
    CloseHandle(process);
    return result;
}

CStringArray Array(const std::vector<const char*>& texts) {
    CStringArray a;
    for (const char* t : texts) a.Add(t);
    return a;
}

TEST(ProcessServicesLaunch, ArgumentsReachTheChildOneByOne) {
    CTempFolder tmp;
    const std::string file = tmp / "argv";
    const std::string block = "VOK_ARGV_FILE=" + file + '\0' + "OTHER=1" + '\0' + '\0';
    struct Row {
        const char* name;
        std::function<HANDLE()> launch;
        std::vector<std::string> argv;
    } rows[] = {
        // Quotes, blanks and a trailing backslash stay inside the one argument.
        {"one text", [&] { return LaunchProcess(kArgvPeer.c_str(), R"(a "b" c\)", block.c_str()); },
         {kArgvPeer, R"(a "b" c\)"}},
        {"no text", [&] { return LaunchProcess(kArgvPeer.c_str(), "", block.c_str()); }, {kArgvPeer}},
        {"list",
         [&] { return LaunchProcessWithArgs(kArgvPeer.c_str(), Array({"x y", "q\"", "", "t\\"}), nullptr, block.c_str()); },
         {kArgvPeer, "x y", "q\"", "", "t\\"}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        const HANDLE process = row.launch();
        ASSERT_NE(process, INVALID_HANDLE_VALUE);
        EXPECT_EQ(Finish(process), WAIT_OBJECT_0);
        EXPECT_EQ(Recorded(file), row.argv);
    }

    // Without the variable the peer writes to its standard output, here a file.
    const std::string out = tmp / "stdout";
    const int fd = ::open(out.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0600);
    const std::string bare = std::string("OTHER=1") + '\0' + '\0';
    EXPECT_EQ(Finish(LaunchProcessWithHandles(kArgvPeer.c_str(), Array({"z"}), bare.c_str(), fd, -1, -1)), 0u);
    ::close(fd);
    EXPECT_EQ(Recorded(out), (std::vector<std::string>{kArgvPeer, "z"}));
    STARTUPINFOA startup;
    startup.hStdError = 2;
    EXPECT_EQ(Finish(LaunchProcessWithArgs(kArgvPeer.c_str(), Array({}), &startup, block.c_str())), 0u);
    EXPECT_EQ(startup.dwFlags, STARTF_USESTDHANDLES);

    EXPECT_EQ(LaunchProcess((tmp / "missing").c_str(), nullptr, nullptr), INVALID_HANDLE_VALUE);
    HANDLE elevated = nullptr;
    EXPECT_EQ(RunElevated(kArgvPeer.c_str(), "", &elevated), -1);
    EXPECT_EQ(elevated, INVALID_HANDLE_VALUE);
}

HANDLE Sleeper() {
    return LaunchProcessWithArgs("/bin/sleep", Array({"30"}), nullptr, nullptr);
}

TEST(ProcessServicesWait, ManyProcessesUnderOneDeadline) {
    std::vector<HANDLE> handles;
    for (int i = 0; i < 70; ++i) {
        handles.push_back(i == 66 ? LaunchProcess("/bin/true", nullptr, nullptr) : Sleeper());
        ASSERT_NE(handles.back(), INVALID_HANDLE_VALUE);
        EXPECT_TRUE(AssignToKillOnCloseJob(handles.back()));
    }
    EXPECT_EQ(WaitForManyObjects(70, handles.data(), INFINITE), 66u);
    Vok::Test::CStopwatch watch;
    EXPECT_EQ(WaitForManyObjects(66, handles.data(), 100), WAIT_TIMEOUT);
    EXPECT_GE(watch.Elapsed(), 100ms);
    // Closing the job ends every process tied to it.
    GetKillOnCloseJob()->Close();
    EXPECT_EQ(WaitForManyObjects(1, &handles[65], 5000), WAIT_OBJECT_0);
    for (HANDLE h : handles) EXPECT_TRUE(CloseHandle(h));
}

class ProcessServicesWaitEvents : public Vok::Test::IpcTest {};

TEST_F(ProcessServicesWaitEvents, AnEarlyHandleIsSeenWithoutATimeOutAndTheLowestIndexWins) {
    std::vector<std::unique_ptr<CIpcEvent>> events;
    std::vector<HANDLE> handles;
    for (int i = 0; i < 130; ++i) {
        events.push_back(std::make_unique<CIpcEvent>(CString(("E" + std::to_string(i)).c_str())));
        handles.push_back(EventHandle(*events.back()));
    }
    std::thread setter([&] {
        std::this_thread::sleep_for(50ms);
        events[10]->Set();
    });
    EXPECT_EQ(WaitForManyObjects(130, handles.data(), INFINITE), 10u);
    setter.join();
    events[3]->Set();
    EXPECT_EQ(WaitForManyObjects(130, handles.data(), 0), 3u);
    EXPECT_EQ(WaitForManyObjects(3, handles.data(), 20), WAIT_TIMEOUT);

    HANDLE mixed[] = {handles[0], Sleeper(), INVALID_HANDLE_VALUE};
    EXPECT_EQ(WaitForManyObjects(2, mixed, 20), WAIT_TIMEOUT);
    EXPECT_FALSE(AssignToKillOnCloseJob(mixed[0]));
    EXPECT_FALSE(AssignToKillOnCloseJob(mixed[2]));
    EXPECT_EQ(WaitForManyObjects(3, mixed, 0), WAIT_FAILED);
    EXPECT_EQ(WaitForManyObjects(0, mixed, 0), WAIT_FAILED);
    CloseHandle(mixed[1]);
    for (HANDLE h : handles) CloseHandle(h);
    events.clear();
}

TEST(ProcessServicesStreams, Utf16RangesAreCutAtTheEnd) {
    std::istringstream stream(std::string("a\0b\0c\0d\0\x41\x26", 10));
    EXPECT_EQ(ReadStreamAsWide(stream, 100), std::wstring(L"abcd") + wchar_t{0x2641});
    EXPECT_EQ(ReadStreamAsWide(stream, 5), L"ab");
    EXPECT_EQ(ReadStreamAsWide(stream, 1), L"");
    struct Row {
        std::size_t count, offset;
        const wchar_t* units;
        bool whole;
    } rows[] = {
        {4, 2, L"bc", true}, {10, 4, L"cd\x2641", false}, {0, 10, L"", true}, {2, 12, L"", false},
    };
    for (const Row& r : rows) {
        std::wstring out = L"junk";
        EXPECT_EQ(ReadStreamRangeAsWide(stream, out, r.count, r.offset), r.whole) << r.offset;
        EXPECT_EQ(out, r.units) << r.offset;
    }
}

TEST(ProcessServicesRights, CapabilitiesByNameAndRootImpliesEveryRight) {
    EXPECT_TRUE(TokenHoldsPrivileges({}));
    EXPECT_FALSE(TokenHoldsPrivileges({"CAP_NO_SUCH_THING"}));
    EXPECT_FALSE(TokenHoldsPrivileges({"SeDebugPrivilege"}));
    EXPECT_EQ(TokenHoldsPrivileges({"CAP_CHOWN"}), TokenHoldsPrivileges({"cap_chown"}));
    EXPECT_FALSE(TokenHoldsPrivileges({"cap_chown", "cap_no_such_thing"}));
    if (IsProcessElevated()) {
        EXPECT_TRUE(IsUserAdministrator());
        EXPECT_TRUE(IsAdminByAccessCheck());
    }
}

TEST(ProcessServicesFolders, LocalAppDataWithTheMakersFolderAndNoResources) {
    CTempFolder tmp;
    Vok::Test::CScopedEnvironment env("XDG_DATA_HOME", tmp.Path());
    EXPECT_EQ(GetLocalAppDataFolder(false).Str(), tmp.Path());
    EXPECT_FALSE(Vok::Test::Exists(tmp / "VOK"));
    EXPECT_EQ(GetLocalAppDataFolder(true).Str(), tmp / "VOK");
    EXPECT_TRUE(Vok::Test::Exists(tmp / "VOK"));
    CByteArray bytes;
    bytes.Add(7);
    EXPECT_EQ(LoadResourceBytes(bytes, "RCDATA", 1, ""), 0);
    EXPECT_EQ(bytes.GetSize(), 1);
}

}  // namespace
