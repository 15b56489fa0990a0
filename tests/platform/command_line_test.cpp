#include "platform/command_line.h"

#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <stdexcept>
#include <string>

namespace {

using TextMap = std::map<std::string, std::string>;

std::string Thrown(const std::function<void()>& fn) {
    try {
        fn();
    } catch (const std::invalid_argument& e) {
        return e.what();
    }
    return "nothing thrown";
}

TEST(CommandLineKeys, BuiltPairsAreQuotedInKeyOrder) {
    EXPECT_EQ(BuildCommandLine(TextMap{}), "");
    EXPECT_EQ(BuildCommandLine(TextMap{{"mode", "3"}, {"database", "C:\\a b"}}),
              "--database=\"C:\\a b\" --mode=\"3\" ");
    EXPECT_EQ(BuildCommandLine(std::map<eCmdLineParamKey, std::string>{{CMD_LINE_MODE, "1"},
                                                                      {CMD_LINE_EXPORT_FORMAT, "x"}}),
              "--export-format=\"x\" --mode=\"1\" ");
    for (const TextMap& bad : {TextMap{{"mode", "a\"b"}}, TextMap{{"mo\"de", "1"}}})
        EXPECT_EQ(Thrown([&] { BuildCommandLine(bad); }), "One of the arguments names and/or values contains a quote (\")");
    EXPECT_EQ(Thrown([] { BuildCommandLine(std::map<eCmdLineParamKey, std::string>{{eCmdLineParamKey(4), ""}}); }),
              "Supplied argument is not part of eCmdLineParamKey");
}

TEST(CommandLineKeys, ParsedTextsGiveTheirPairs) {
    const std::pair<std::string, TextMap> rows[] = {
        {"--mode=3 --database=x", {{"mode", "3 "}, {"database", "x"}}},
        {"--mode=\"a--b\" --database=\"\"", {{"mode", "a--b"}, {"database", ""}}},
        {"--mode=\"open", {{"mode", "open"}}},
        {"--mode=1 --mode=2", {{"mode", "2"}}},
        {"mode=3", {}},
        {"--mode", {}},
        {"--", {}},
        {"--k=", {{"k", ""}}},
    };
    for (const auto& [text, expected] : rows) EXPECT_EQ(ParseCommandLine(text), expected) << text;
    const TextMap all = {{"database", "D b"}, {"export-format", "csv"}, {"mode", "2"}, {"x", ""}};
    EXPECT_EQ(ParseCommandLine(BuildCommandLine(all)), all);
}

TEST(CommandLineKeys, KeyedParsingSkipsUnknownKeysAndKeepsOtherEntries) {
    std::map<eCmdLineParamKey, std::string> keys{{CMD_LINE_DATABASE, "kept"}};
    ParseCommandLine("--colour=\"red\" --Mode=\"1\" --project-settings=\"p\"", keys);
    EXPECT_EQ(keys, (std::map<eCmdLineParamKey, std::string>{{CMD_LINE_DATABASE, "kept"},
                                                             {CMD_LINE_PROJECT_SETTINGS, "p"}}));
    EXPECT_EQ(TextToKey("export-format"), CMD_LINE_EXPORT_FORMAT);
    EXPECT_EQ(KeyToText(CMD_LINE_PROJECT_SETTINGS), "project-settings");
    EXPECT_EQ(Thrown([] { TextToKey("Mode"); }), "Supplied argument is not part of eCmdLineParamKey");
}

}  // namespace
