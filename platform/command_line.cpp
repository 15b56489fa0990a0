#include "platform/command_line.h"

#include <stdexcept>

#include "foundation/string_utils.h"

namespace {

const char* const KEY_TEXTS[] = {"mode", "database", "project-settings", "export-format"};
constexpr int KEY_COUNT = 4;

[[noreturn]] void ThrowUnknownKey() {
    throw std::invalid_argument("Supplied argument is not part of eCmdLineParamKey");
}

}  // namespace

std::string KeyToText(eCmdLineParamKey key) {
    const int index = static_cast<int>(key);
    if (index < 0 || index >= KEY_COUNT) ThrowUnknownKey();
    return KEY_TEXTS[index];
}

eCmdLineParamKey TextToKey(const std::string& text) {
    for (int i = 0; i < KEY_COUNT; ++i)
        if (text == KEY_TEXTS[i]) return static_cast<eCmdLineParamKey>(i);
    ThrowUnknownKey();
}

std::string BuildCommandLine(const std::map<std::string, std::string>& arguments) {
    std::string result;
    for (const auto& [key, value] : arguments) {
        if (key.find('"') != std::string::npos || value.find('"') != std::string::npos)
            throw std::invalid_argument("One of the arguments names and/or values contains a quote (\")");
        result += Format("%s%s=\"%s\" ", "--", key, value);
    }
    return result;
}

std::string BuildCommandLine(const std::map<eCmdLineParamKey, std::string>& arguments) {
    std::map<std::string, std::string> byText;
    for (const auto& [key, value] : arguments) byText[KeyToText(key)] = value;
    return BuildCommandLine(byText);
}

std::map<std::string, std::string> ParseCommandLine(const std::string& text) {
    std::map<std::string, std::string> result;
    const size_t n = text.size();
    size_t p = 0;
    while (n >= 2 && p <= n - 2) {
        const size_t dashes = text.find("--", p);
        if (dashes == std::string::npos) break;
        const size_t keyStart = dashes + 2;
        if (keyStart > n - 1) break;
        const size_t equals = text.find('=', keyStart);
        if (equals == std::string::npos) break;
        size_t valueStart = equals + 1;
        size_t end = n;
        if (valueStart < n && text[valueStart] == '"') {
            ++valueStart;
            end = valueStart >= n ? n : text.find('"', valueStart);
        } else {
            end = text.find("--", valueStart);
        }
        if (end == std::string::npos) end = n;
        result[text.substr(keyStart, equals - keyStart)] = text.substr(valueStart, end - valueStart);
        p = end;
        if (p >= n) break;
    }
    return result;
}

void ParseCommandLine(const std::string& text, std::map<eCmdLineParamKey, std::string>& arguments) {
    for (const auto& [key, value] : ParseCommandLine(text)) {
        try {
            arguments[TextToKey(key)] = value;
        } catch (const std::invalid_argument&) {
            // not a key of this program: skipped
        }
    }
}
