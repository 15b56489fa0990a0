// Arbitrary command lines through the keyed-argument parser, which never throws; the arguments it
// finds for this suite's keys, built into a command line again, parse back the same.
#include <cstddef>
#include <cstdint>
#include <map>
#include <string>

#include "platform/command_line.h"
#include "tests/fuzz/fuzz_support.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    if (Vok::Fuzz::SeedFolder() == nullptr) return 0;
    Vok::Fuzz::WriteSeed("keys", BuildCommandLine(std::map<eCmdLineParamKey, std::string>{
                                     {CMD_LINE_MODE, "3"},
                                     {CMD_LINE_DATABASE, "/data/survey one.db"},
                                     {CMD_LINE_PROJECT_SETTINGS, ""},
                                     {CMD_LINE_EXPORT_FORMAT, "csv"}}));
    Vok::Fuzz::WriteSeed("unquoted", std::string("--mode=3 --other=x--database=\"a b\" --"));
    std::exit(0);
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    ParseCommandLine(bytes);
    // A command line ends at its first zero byte.
    const std::string text = bytes.substr(0, bytes.find('\0'));
    std::map<eCmdLineParamKey, std::string> arguments;
    ParseCommandLine(text, arguments);
    // A value with a double quote cannot be built into a command line.
    std::erase_if(arguments, [](const auto& a) { return a.second.find('"') != std::string::npos; });
    std::map<eCmdLineParamKey, std::string> again;
    ParseCommandLine(BuildCommandLine(arguments), again);
    if (again != arguments) __builtin_trap();
    return 0;
}
