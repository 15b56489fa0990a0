#include "platform/desktop_open.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <chrono>
#include <functional>
#include <string>

#include "platform/environment.h"
#include "platform/file_ops.h"
#include "tests/support/file_helpers.h"
#include "tests/support/peer_process.h"

namespace {

using namespace std::chrono_literals;
using Vok::Test::CScopedEnvironment;
using Vok::Test::CTempFolder;

// A stand-in "xdg-open" first on PATH: it records its argument count and arguments, one a line,
// then ends with the code it is told, or sleeps on.
void WriteOpener(const std::string& folder) {
    const std::string path = folder + "/xdg-open";
    Vok::Test::WriteTextFile(path,
                             "#!/bin/sh\n"
                             "{ echo \"$#\"; for a in \"$@\"; do echo \"$a\"; done; } > \"$VOK_OPENER_RECORD\"\n"
                             "[ \"$VOK_OPENER_EXIT\" = hang ] && exec /bin/sleep 10\n"
                             "exit \"$VOK_OPENER_EXIT\"\n");
    ::chmod(path.c_str(), 0755);
}

TEST(DesktopOpen, TheOpenerGetsTheTargetAsItsOneArgumentAndItsExitCodeDecides) {
    CTempFolder tmp;
    const std::string record = tmp / "record.txt";
    const auto shell = [](const std::string& path) {
        return std::function<INT_PTR()>([path] { return OpenWithShell(path.c_str()) ? 1 : 0; });
    };
    struct Row {
        const char* name;
        std::function<INT_PTR()> open;
        const char* exit;  // the stand-in's exit code, "hang", or nullptr: no opener on PATH
        INT_PTR result;
        std::string recorded;  // "" when the opener must not have run
    } rows[] = {
        {"file", shell("/data/report 1.txt"), "0", 1, "1\n/data/report 1.txt\n"},
        // No shell sees the text: quotes, '$' and ';' arrive as they are.
        {"odd characters", shell("/a/\"x\" $(y);z`w`.txt"), "0", 1, "1\n/a/\"x\" $(y);z`w`.txt\n"},
        {"leading dash", shell("-n.txt"), "0", 1, "1\n./-n.txt\n"},
        {"failed", shell("/data/x.txt"), "4", 0, "1\n/data/x.txt\n"},
        {"no opener", shell("/data/x.txt"), nullptr, 0, ""},
        {"empty path", shell(""), "0", 0, ""},
        {"home page", OpenMakerHomePage, "0", SE_OPENED, std::string("1\n") + MAKER_HOME_PAGE + "\n"},
        {"support desk", OpenSupportDesk, "0", SE_OPENED, std::string("1\n") + MAKER_SUPPORT_DESK + "\n"},
        {"home page failed", OpenMakerHomePage, "3", SE_ERR_NOASSOC, std::string("1\n") + MAKER_HOME_PAGE + "\n"},
        {"support desk without opener", OpenSupportDesk, nullptr, SE_ERR_NOASSOC, ""},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        CTempFolder bin;
        if (row.exit != nullptr) WriteOpener(bin.Path());
        CScopedEnvironment path("PATH", bin.Path());
        CScopedEnvironment code("VOK_OPENER_EXIT", row.exit != nullptr ? row.exit : "0");
        CScopedEnvironment where("VOK_OPENER_RECORD", record);
        ::unlink(record.c_str());
        EXPECT_EQ(row.open(), row.result);
        EXPECT_EQ(Vok::Test::ReadTextFile(record).value_or(""), row.recorded);
    }
}

// xdg-open may run the application in the foreground.
TEST(DesktopOpen, AnOpenerStillRunningAtTheDeadlineCountsAsStarted) {
    CTempFolder bin;
    WriteOpener(bin.Path());
    CScopedEnvironment path("PATH", bin.Path());
    CScopedEnvironment code("VOK_OPENER_EXIT", "hang");
    CScopedEnvironment where("VOK_OPENER_RECORD", bin / "record.txt");
    Vok::Test::CStopwatch watch;
    EXPECT_TRUE(Vok::RunDesktopOpener("/x", 500));
    EXPECT_GE(watch.Elapsed(), 500ms);
    EXPECT_LT(watch.Elapsed(), 3000ms);
}

}  // namespace
