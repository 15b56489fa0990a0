// Keyed arguments between the suite's programs: each pair on the command line as two hyphens, the
// key, an equals sign and the value in double quotes, followed by one blank.
#pragma once

#include <map>
#include <string>

enum eCmdLineParamKey : int {
    CMD_LINE_MODE = 0,
    CMD_LINE_DATABASE = 1,
    CMD_LINE_PROJECT_SETTINGS = 2,
    CMD_LINE_EXPORT_FORMAT = 3,
};

// "mode", "database", "project-settings", "export-format". Any other value, and any other text
// (compared exactly), throws std::invalid_argument "Supplied argument is not part of eCmdLineParamKey".
std::string KeyToText(eCmdLineParamKey key);
eCmdLineParamKey TextToKey(const std::string& text);

// The pairs in key order. A key or value holding a double quote throws std::invalid_argument
// "One of the arguments names and/or values contains a quote (\")".
std::string BuildCommandLine(const std::map<std::string, std::string>& arguments);
std::string BuildCommandLine(const std::map<eCmdLineParamKey, std::string>& arguments);

// Never throws. A repeated key keeps its last value; an unquoted value runs up to the next "--".
std::map<std::string, std::string> ParseCommandLine(const std::string& text);
// Adds the pairs with known keys to arguments (other entries stay); unknown keys are skipped.
void ParseCommandLine(const std::string& text, std::map<eCmdLineParamKey, std::string>& arguments);
