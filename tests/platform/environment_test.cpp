#include "platform/environment.h"

#include <sys/stat.h>
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

// Stand-ins for the two report programs: each writes its output file, given as one argument.
void WriteReporter(const std::string& folder, const std::string& name, const std::string& output) {
    const std::string path = folder + "/" + name;
    Vok::Test::WriteTextFile(path, "#!/bin/sh\nprintf '" + output + "' > \"$2\"\n");
    ::chmod(path.c_str(), 0755);
}

const char* const DX_HEAD = " ==================== DirectX report (dxdiag) ====================================\n\n";
const char* const INFO_HEAD =
    "\n\n\n\n\n\n ==================== MS System Information report (msinfo32) ====================\n\n";
const char* const END =
    "\n\n\n\n\n\n ==================== END OF SYSTEM REPORT =======================================\n";

TEST(Environment, TheSystemReportCollectsWhatItsProgramsWrote) {
    struct sRow {
        std::optional<std::string> dx, info;  // printf text each program writes; none: no program
        std::string expected;                 // between the headings
    };
    const std::vector<sRow> rows = {
        {"DX text", "\\377\\376O\\000K\\000", std::string("DX text") + INFO_HEAD + "OK"},
        // UTF-16 without a byte-order mark loses nothing.
        {"", "A\\000B\\000C\\000D\\000", std::string(INFO_HEAD) + "ABCD"},
        {std::nullopt, std::nullopt,
         std::string(" **** DirectX report NOT FOUND.") + INFO_HEAD + " **** MS System Information report NOT FOUND."},
        {"", "\\000\\330", std::string(INFO_HEAD) + " **** MS System Information report COULD NOT BE READ."},
    };
    for (const sRow& row : rows) {
        CTempFolder programs;
        CTempFolder temp;
        const std::string folder = temp / "report folder";
        boost::filesystem::create_directories(folder);
        if (row.dx) WriteReporter(programs.Path(), "dxdiag.exe", *row.dx);
        if (row.info) WriteReporter(programs.Path(), "msinfo32.exe", *row.info);
        CScopedEnvironment path("PATH", programs.Path() + ":/usr/bin:/bin");
        ASSERT_EQ(CreateSystemReport(folder.c_str()), 1);
        EXPECT_EQ(Vok::Test::ReadTextFile(folder + "/SystemReport.txt"), DX_HEAD + row.expected + END);
        EXPECT_FALSE(Vok::Test::Exists(folder + "/dxdiagReport.txt"));
    }
    EXPECT_EQ(CreateSystemReport("/no/such/folder"), 0);
}

}  // namespace
