#include "platform/environment.h"

#include <sys/stat.h>
#include <sys/utsname.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <optional>
#include <string>

#include <boost/filesystem.hpp>

#include "tests/support/file_helpers.h"
#include "tests/support/ipc_test_folder.h"
#include "tests/support/peer_process.h"

namespace {

using Vok::Test::CScopedEnvironment;
using Vok::Test::CTempFolder;

const std::string PEER = Vok::Test::PeerPath(VOK_BINARY_DIR, "link_peer");

TEST(Environment, VariablesComeBackWhole) {
    const std::string longValue(5000, 'v');
    CScopedEnvironment unset("Prefix", std::nullopt);
    CScopedEnvironment empty("VOK_EMPTY_TEST", "");
    CScopedEnvironment big("VOK_LONG_TEST", longValue);
    EXPECT_EQ(GetEnvVariable("Prefix"), CString());
    EXPECT_EQ(GetEnvVariable(""), CString());
    EXPECT_EQ(GetEnvVariable("VOK_EMPTY_TEST"), CString());
    EXPECT_EQ(GetEnvVariable("VOK_LONG_TEST").Str(), longValue);
}

TEST(Environment, TheProgramKnowsItsFileAndArguments) {
    EXPECT_EQ(GetModuleFileTitle(false), CString("test_platform"));
    CTempFolder temp;
    const std::string folder = temp / "dir with blank";
    boost::filesystem::create_directories(folder);
    boost::filesystem::copy_file(PEER, folder + "/a.b.exe");
    const std::string program = folder + "/a.b.exe";
    struct sRow {
        std::vector<std::string> arguments;
        std::string text;    // GetCommandLineArguments
        std::string joined;  // GetCommandLineArgs
    };
    const sRow rows[] = {
        {{"module", "x", "y z", "q\"t", "end"}, "module x \"y z\" \"q\\\"t\" end", program + "|module|x|y z|qt|end"},
        // Ending with a quote and holding six: the content of the second-last pair.
        {{"module", "a b", "c d"}, "a b", program + "|module|a b|c d"},
    };
    for (const sRow& row : rows) {
        std::vector<std::string> command = {program};
        command.insert(command.end(), row.arguments.begin(), row.arguments.end());
        Vok::Test::CPeerProcess peer(command);
        std::vector<std::string> lines;
        for (int i = 0; i < 5; ++i) lines.push_back(peer.ReadLine(Vok::Test::Milliseconds(5000)).value_or("?"));
        EXPECT_EQ(lines, (std::vector<std::string>{"a.b", "a.b.exe", folder + "/", row.text, row.joined}));
        EXPECT_EQ(peer.Wait(Vok::Test::Milliseconds(5000)), 0);
    }
}

TEST(Environment, TheCurrentFolderChanges) {
    CTempFolder temp;
    Vok::Test::CScopedCurrentFolder keep(".");
    const std::string real = boost::filesystem::canonical(temp.Path()).string();
    EXPECT_EQ(SetCurrentDir(temp.Path().c_str()), 1);
    EXPECT_EQ(GetCurrentDir(false).Str(), real);
    EXPECT_EQ(GetCurrentDir(true).Str(), real + "/");
    EXPECT_EQ(SetCurrentDir(nullptr), 0);
    EXPECT_EQ(SetCurrentDir((temp / "missing").c_str()), 0);
    EXPECT_EQ(GetCurrentDir(false).Str(), real);
}

// A stand-in program that runs script.
void WriteProgram(const std::string& folder, const std::string& name, const std::string& script) {
    const std::string path = folder + "/" + name;
    Vok::Test::WriteTextFile(path, "#!/bin/sh\n" + script);
    ::chmod(path.c_str(), 0755);
}

const char* const DX_HEAD = " ==================== DirectX report (dxdiag) ====================================\n\n";
const char* const INFO_HEAD =
    "\n\n\n\n\n\n ==================== MS System Information report (msinfo32) ====================\n\n";
const char* const END =
    "\n\n\n\n\n\n ==================== END OF SYSTEM REPORT =======================================\n";

TEST(Environment, TheSystemReportTellsWhatTheSystemHoldsAndOpensItsFolder) {
    utsname system{};
    ASSERT_EQ(::uname(&system), 0);
    bool kernelDisplays = false;
    boost::system::error_code error;
    for (boost::filesystem::directory_iterator it("/sys/class/drm", error), end; !error && it != end; it.increment(error))
        kernelDisplays = kernelDisplays || it->path().filename().string().rfind("card", 0) == 0;
    CScopedEnvironment display("DISPLAY", std::nullopt);
    CScopedEnvironment wayland("WAYLAND_DISPLAY", std::nullopt);
    CScopedEnvironment session("XDG_SESSION_TYPE", std::nullopt);
    struct sRow {
        const char* name;
        bool programs;     // lspci, glxinfo and lshw installed
        int code;          // their exit code
        bool graphics;     // the graphics part found a source
    } const rows[] = {
        {"programs installed", true, 0, true},
        {"programs failing", true, 1, kernelDisplays},
        {"no programs", false, 0, kernelDisplays},
    };
    for (const sRow& row : rows) {
        SCOPED_TRACE(row.name);
        CTempFolder programs;
        CTempFolder temp;
        const std::string folder = temp / "report folder";
        boost::filesystem::create_directories(folder);
        // The opener records what it was asked to open.
        WriteProgram(programs.Path(), "xdg-open", "echo \"$1\" > '" + temp / "opened" + "'\n");
        const std::string exit = "exit " + std::to_string(row.code) + "\n";
        if (row.programs) {
            WriteProgram(programs.Path(), "lspci", "echo '00:01.0 ISA bridge: X'\necho '00:02.0 VGA compatible controller: Y'\n" + exit);
            WriteProgram(programs.Path(), "glxinfo", "echo 'OpenGL renderer string: Z'\n" + exit);
            WriteProgram(programs.Path(), "lshw", "echo 'H/W path Class Description'\necho '/0 system Box'\n" + exit);
        }
        CScopedEnvironment path("PATH", programs.Path());
        ASSERT_EQ(CreateSystemReport(folder.c_str()), 1);
        EXPECT_EQ(Vok::Test::ReadTextFile(temp / "opened"), folder + "\n");

        const std::string report = Vok::Test::ReadTextFile(folder + "/SystemReport.txt").value_or("");
        const auto has = [](const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; };
        const std::size_t info = report.find(INFO_HEAD);
        ASSERT_TRUE(report.rfind(DX_HEAD, 0) == 0 && info != std::string::npos && has(report.substr(info), END));
        const std::string graphics = report.substr(0, info);
        const std::string rest = report.substr(info);
        const bool used = row.programs && row.code == 0;
        EXPECT_EQ(!has(graphics, "NOT FOUND"), row.graphics) << graphics;
        EXPECT_EQ(has(graphics, "00:02.0 VGA compatible controller: Y\n"), used);
        EXPECT_FALSE(has(graphics, "ISA bridge"));
        EXPECT_EQ(has(graphics, "OpenGL renderer string: Z\n"), used);
        EXPECT_EQ(has(rest, "/0 system Box\n"), used);
        // The system part always has its sources.
        EXPECT_TRUE(has(rest, std::string("Linux ") + system.release) && has(rest, "MemTotal:") &&
                    has(rest, std::to_string(::sysconf(_SC_NPROCESSORS_ONLN)) + " online") && !has(rest, "NOT FOUND") &&
                    has(rest, "Operating system (/etc/os-release)\n") == Vok::Test::Exists("/etc/os-release"))
            << rest;
    }
    EXPECT_EQ(CreateSystemReport("/no/such/folder"), 0);
}

}  // namespace
