#include "platform/log.h"

#include <gtest/gtest.h>

#include <regex>
#include <string>
#include <vector>

#include "compat/debug_output.h"
#include "tests/support/file_helpers.h"

namespace {

using Vok::Test::CTempFolder;
using Vok::Test::ReadTextFile;

std::vector<std::string>& DebuggerLines() {
    static std::vector<std::string> lines;
    return lines;
}

void RecordDebugger(const char* text) { DebuggerLines().push_back(text); }

struct sSignalCall {
    bool validTime;
    ZLog::eSeverity severity;
    std::string text;
};

// Every test starts from the logger's start values, with the debugger output recorded.
class LogTest : public ::testing::Test {
protected:
    void SetUp() override {
        Reset();
        DebuggerLines().clear();
        m_previousListener = Vok::SetDebugOutputListener(&RecordDebugger);
        m_connection = ZLog::LogSignal().connect(
            [this](const CVOKTime& t, ZLog::eSeverity s, const std::string& text) {
                signalCalls.push_back({t.IsValid(), s, text});
            });
    }
    void TearDown() override {
        m_connection.disconnect();
        Vok::SetDebugOutputListener(m_previousListener);
        Reset();
    }
    static void Reset() {
        ZLog::Shutdown();
        ZLog::Init(0, 0, 0, nullptr, false, 0, true, true);
        ZLog::SetTimeDecimals(0);
        ZLog::SetApplicationName("");
    }
    std::string LogPath() const { return tmp / "logs/test.log"; }

    CTempFolder tmp;
    std::vector<sSignalCall> signalCalls;

private:
    Vok::DebugOutputListener m_previousListener = nullptr;
    boost::signals2::connection m_connection;
};

TEST_F(LogTest, SeverityTextsAndIcons) {
    struct sRow {
        int severity;
        const char* prefix;
        const char* caption;
        uint32_t icon;
    } const rows[] = {
        {0, "INFO   : ", "Info", 0x40},  {1, "WARNING: ", "Warning", 0x30},
        {2, "ERROR  : ", "Error", 0x10}, {3, "FATAL  : ", "Fatal", 0x10},
        {4, "DEBUG  : ", "Debug", 0x40}, {7, "DEBUG  : ", "Debug", 0x40},
        {-1, "DEBUG  : ", "Debug", 0x40},
    };
    for (const auto& r : rows) {
        const auto s = static_cast<ZLog::eSeverity>(r.severity);
        EXPECT_EQ(ZLog::GetSeverityPrefix(s), r.prefix);
        EXPECT_EQ(ZLog::GetSeverityPrefix(s).size(), 9u);
        EXPECT_EQ(ZLog::GetMessageBoxCaption(s), r.caption);
        EXPECT_EQ(ZLog::GetMessageBoxIcon(s), r.icon);
    }
    ZLog::SetApplicationName("Surveyor");
    EXPECT_EQ(ZLog::GetMessageBoxCaption(ZLog::Warning), "Surveyor : Warning");
    ZLog::SetApplicationName(static_cast<const char*>(nullptr));
    EXPECT_EQ(ZLog::GetMessageBoxCaption(ZLog::Warning), "Surveyor : Warning");
}

struct sProbe {
    int* calls;
    const char* c_str() const {
        ++*calls;
        return "probe";
    }
};

TEST_F(LogTest, LevelDropsEntriesBeforeTheyAreFormatted) {
    int formatted = 0;
    const sProbe probe{&formatted};

    ZLog::Log(ZLog::Fatal, "%s", probe);
    ZLog::LogTo(0, ZLog::Error, "%s", probe);
    EXPECT_EQ(formatted, 0);
    EXPECT_TRUE(DebuggerLines().empty());
    // Write itself has no filter, and the debugger output needs no option.
    ZLog::Write(0, ZLog::Info, "direct");
    EXPECT_EQ(DebuggerLines(), std::vector<std::string>{"INFO   : direct\n"});

    struct sRow {
        int level;
        std::vector<int> passing;
    } const rows[] = {
        {1, {2, 3}}, {-5, {2, 3}}, {2, {0, 1, 2, 3}}, {3, {0, 1, 2, 3, 4, 7}}, {9, {0, 1, 2, 3, 4, 7}},
    };
    for (const auto& r : rows) {
        ZLog::SetLevel(r.level);
        std::vector<int> passed;
        for (int s : {0, 1, 2, 3, 4, 7}) {
            DebuggerLines().clear();
            formatted = 0;
            ZLog::Log(static_cast<ZLog::eSeverity>(s), "%s", probe);
            const bool enabled = ZLog::IsEnabled(static_cast<ZLog::eSeverity>(s));
            EXPECT_EQ(formatted, enabled ? 1 : 0) << "level " << r.level << " severity " << s;
            EXPECT_EQ(DebuggerLines().size(), enabled ? 1u : 0u);
            if (enabled) passed.push_back(s);
        }
        EXPECT_EQ(passed, r.passing) << "level " << r.level;
    }
}

TEST_F(LogTest, OutputsFollowFlagsAndOptions) {
    ZLog::SetLevel(3);
    testing::internal::CaptureStdout();
    ZLog::LogTo(ZLog::FLAG_CONSOLE, ZLog::Info, "no console option");
    ZLog::SetOptions(ZLog::OPTION_CONSOLE | ZLog::OPTION_SIGNAL);
    ZLog::LogTo(ZLog::FLAG_CONSOLE | ZLog::FLAG_NO_DEBUGGER, ZLog::Warning, "to console");
    ZLog::LogTo(ZLog::FLAG_NO_SIGNAL, ZLog::Error, "not signalled");
    std::fflush(stdout);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "WARNING: to console\n");
    EXPECT_EQ(DebuggerLines(), (std::vector<std::string>{"INFO   : no console option\n",
                                                         "ERROR  : not signalled\n"}));
    ASSERT_EQ(signalCalls.size(), 1u);
    EXPECT_EQ(signalCalls[0].text, "to console");
    EXPECT_EQ(signalCalls[0].severity, ZLog::Warning);
    EXPECT_TRUE(signalCalls[0].validTime);

    // A message box cannot appear here: asking for one changes nothing else.
    DebuggerLines().clear();
    ZLog::EnableMessageBoxes(true);
    EXPECT_TRUE(ZLog::MessageBoxesEnabled());
    ZLog::LogTo(ZLog::FLAG_MESSAGE_BOX, ZLog::Warning, "boxed");
    EXPECT_EQ(DebuggerLines(), std::vector<std::string>{"WARNING: boxed\n"});
    ZLog::EnableMessageBoxes(false);
    EXPECT_FALSE(ZLog::MessageBoxesEnabled());
}

TEST_F(LogTest, ReadyTextsAreNeverUsedAsFormats) {
    ZLog::SetLevel(3);
    ZLog::LogTo(ZLog::FLAG_MESSAGE_BOX, ZLog::Warning, "Cannot read D:\\100%s%n%d.vok");
    ZLog::Log(ZLog::Info, L"wide %s%%");
    ZLog::Log(ZLog::Info, "%d%% of %s", 50, std::string("blocks"));
    EXPECT_EQ(DebuggerLines(), (std::vector<std::string>{"WARNING: Cannot read D:\\100%s%n%d.vok\n",
                                                         "INFO   : wide %s%%\n",
                                                         "INFO   : 50% of blocks\n"}));
}

TEST_F(LogTest, EntriesSplitIntoLines) {
    ZLog::SetOptions(ZLog::OPTION_SIGNAL);
    struct sRow {
        std::string text;
        std::vector<std::string> lines;
    } const rows[] = {
        {"one|two", {"one", "two"}},
        {"a|b\xA6" "c", {"a|b", "c"}},                  // 0xA6 wins over '|'
        {"a\xC2\xA6" "b|c", {"a", "b|c"}},              // the UTF-8 broken bar is one separator
        {"caf\xC3\xA6|x", {"caf\xC3\xA6", "x"}},        // 0xA6 inside another character is text
        {"\xE2\x82\xA6" "|y", {"\xE2\x82\xA6", "y"}},
        {"\xEF\xBD\xA6" "|y", {"\xEF\xBD\xA6", "y"}},
        {"\xC3\xC2\xA6" "x", {"\xC3", "x"}},  // a lead byte alone, then the broken bar
        {"\xE0\x80\xA6" "x|y", {"\xE0\x80", "x|y"}},  // no UTF-8 character: an overlong form
        {"\xED\xA6\x80" "x|y", {"\xED", "\x80x|y"}},  // nor a surrogate
        {"|lead||double|", {"lead", "double"}},
        {"", {}},
        {"|", {}},
        {"plain", {"plain"}},
    };
    for (const auto& r : rows) {
        signalCalls.clear();
        DebuggerLines().clear();
        ZLog::Write(0, ZLog::Info, r.text);
        std::vector<std::string> got;
        for (const auto& c : signalCalls) got.push_back(c.text);
        EXPECT_EQ(got, r.lines) << r.text;
        EXPECT_EQ(DebuggerLines().size(), r.lines.size()) << r.text;
    }

    ZLog::Init(0, ZLog::OPTION_SIGNAL, 0, nullptr, false, 0, true, false);
    signalCalls.clear();
    ZLog::Write(0, ZLog::Info, "one|two\xA6three");
    ASSERT_EQ(signalCalls.size(), 1u);
    EXPECT_EQ(signalCalls[0].text, "one|two\xA6three");
}

TEST_F(LogTest, FileHoldsBannersAndAlignedLines) {
    ZLog::Init(3, ZLog::OPTION_FILE, 0, LogPath().c_str(), false, 0, true, true);
    ZLog::Log(ZLog::Info, "first|second");
    ZLog::Log(ZLog::Error, "|indented");
    ZLog::Write(ZLog::FLAG_NO_FILE, ZLog::Info, "not in the file");
    ZLog::Shutdown();
    EXPECT_EQ(ZLog::GetDefaultFlags(), ZLog::FLAG_NO_FILE | ZLog::FLAG_NO_DEBUGGER);

    const std::string date = "\\d\\d/\\d\\d/\\d{4}";
    const std::string time = "\\d\\d:\\d\\d:\\d\\d";
    const std::string stamp = date + " " + time + " -> ";
    const std::string rule(80, '=');
    const std::regex layout(
        "\n" + rule + "\n===================== Logging Started " + date + " " + time +
        " LTZ ==================\n\n" +
        stamp + " INFO   : first\n" + std::string(24, ' ') + "INFO   : second\n" +
        std::string(24, ' ') + "ERROR  : indented\n" +
        "\n===================== Logging Stopped " + date + " " + time +
        " ======================\n" + rule + "\n\n");
    const auto content = ReadTextFile(LogPath());
    ASSERT_TRUE(content.has_value());
    EXPECT_TRUE(std::regex_match(*content, layout)) << *content;
}

TEST_F(LogTest, StampFollowsDecimalsAndTimeZone) {
    ZLog::Init(3, ZLog::OPTION_FILE | ZLog::OPTION_SIGNAL, 0, LogPath().c_str(), false, 3, false, true);
    ZLog::Log(ZLog::Warning, "a|b");
    ZLog::SetTimeDecimals(-1);
    ZLog::Log(ZLog::Warning, "c|d");
    ZLog::Shutdown();

    const auto content = ReadTextFile(LogPath());
    ASSERT_TRUE(content.has_value());
    const std::regex layout(
        "\n={80}\n={21} Logging Started \\S+ \\S+ UTC ={18}\n\n"
        "\\d\\d/\\d\\d/\\d{4} \\d\\d:\\d\\d:\\d\\d\\.\\d{3} ->  WARNING: a\n" +
        std::string(28, ' ') + "WARNING: b\n" +
        " WARNING: c\n  WARNING: d\n" +
        "\n={21} Logging Stopped \\S+ \\S+ ={22}\n={80}\n\n");
    EXPECT_TRUE(std::regex_match(*content, layout)) << *content;
    ASSERT_EQ(signalCalls.size(), 4u);
    EXPECT_TRUE(signalCalls[0].validTime);
    EXPECT_FALSE(signalCalls[2].validTime);
}

TEST_F(LogTest, TimeDecimalsSettings) {
    EXPECT_EQ(ZLog::SetTimeDecimals(3), 0);
    ZLog::Init(1, 0, 0, nullptr, false, 0, true, true);  // 0 keeps the decimals
    EXPECT_EQ(ZLog::EnableTimestamp(true), 3);
    EXPECT_EQ(ZLog::GetTimeDecimals(), 3);
    EXPECT_EQ(ZLog::EnableTimestamp(false), 3);
    EXPECT_EQ(ZLog::GetTimeDecimals(), -1);
    EXPECT_EQ(ZLog::EnableTimestamp(true), -1);
    EXPECT_EQ(ZLog::GetTimeDecimals(), 0);
}

TEST_F(LogTest, SetLogFileOpensOnlyWithALevelAndTheFileOption) {
    ZLog::SetOptions(ZLog::OPTION_FILE);
    ZLog::SetLogFile(LogPath().c_str(), false);
    EXPECT_FALSE(Vok::Test::Exists(LogPath()));
    EXPECT_EQ(ZLog::GetMessageBoxCaption(ZLog::Info), "test : Info");

    // Not interactive: the stored path opens, appended to, with level 1.
    Vok::Test::WriteTextFile(LogPath(), "earlier\n");
    ZLog::SetInteractive(false, true);
    EXPECT_EQ(ZLog::GetLevel(), 1);
    EXPECT_FALSE(ZLog::MessageBoxesEnabled());
    ZLog::Log(ZLog::Error, "appended");
    ZLog::Shutdown();
    const auto content = ReadTextFile(LogPath());
    ASSERT_TRUE(content.has_value());
    EXPECT_EQ(content->rfind("earlier\n\n", 0), 0u) << *content;
    EXPECT_NE(content->find("ERROR  : appended\n"), std::string::npos);

    ZLog::SetInteractive(true, false);
    EXPECT_TRUE(ZLog::MessageBoxesEnabled());
}

TEST_F(LogTest, AFileThatCannotBeOpenedIsSkipped) {
    Vok::Test::WriteTextFile(tmp / "blocker", "");
    ZLog::Init(3, ZLog::OPTION_FILE, 0, (tmp / "blocker/sub/x.log").c_str(), false, 0, true, true);
    ZLog::Log(ZLog::Error, "still reaches the debugger");
    EXPECT_EQ(DebuggerLines(), std::vector<std::string>{"ERROR  : still reaches the debugger\n"});
    EXPECT_FALSE(Vok::Test::Exists(tmp / "blocker/sub"));
}

TEST_F(LogTest, LogAlwaysUsesTheDefaultFileAndRestoresTheSettings) {
    Vok::Test::CScopedEnvironment local("XDG_DATA_HOME", tmp / "appdata");
    const std::string path = ZLog::GetDefaultLogPath();
    EXPECT_EQ(path, tmp / "appdata/VOK/Logs/test_platform.log");
    Vok::Test::WriteTextFile(path, "old content\n");

    ZLog::LogAlways(ZLog::Debug, "kept %d", 1);
    EXPECT_EQ(ZLog::GetLevel(), 0);
    EXPECT_EQ(ZLog::GetOptions(), 0u);
    ZLog::LogAlways(ZLog::Info, "kept %d", 2);
    ZLog::Log(ZLog::Fatal, "dropped by level 0");
    ZLog::SetOptions(ZLog::OPTION_FILE);
    ZLog::Write(0, ZLog::Info, "written while the file option is set");
    ZLog::Shutdown();

    const auto content = ReadTextFile(path);
    ASSERT_TRUE(content.has_value());
    EXPECT_EQ(content->find("old content"), std::string::npos);
    EXPECT_NE(content->find(" DEBUG  : kept 1\n"), std::string::npos);
    EXPECT_NE(content->find(" INFO   : kept 2\n"), std::string::npos);
    EXPECT_EQ(content->find("dropped"), std::string::npos);
    EXPECT_NE(content->find("INFO   : written while the file option is set\n"), std::string::npos);
    EXPECT_EQ(ZLog::GetMessageBoxCaption(ZLog::Info), "test_platform : Info");
}

}  // namespace
