#include "platform/log.h"

#include <cstdio>
#include <utility>
#include <vector>

#include <boost/dll/runtime_symbol_info.hpp>
#include <boost/filesystem/path.hpp>

#include "compat/debug_output.h"
#include "platform/file_ops.h"
#include "platform/fs_wrappers.h"

namespace ZLog {

namespace {

CLogFile& Logger() {
    static CLogFile logger;
    return logger;
}

eSeverity Known(eSeverity severity) {
    return (severity >= Info && severity <= Debug) ? severity : Debug;
}

// There is no desktop here: the box is never shown and its result is 0.
int ShowMessageBox(const std::string& text, const std::string& caption, uint32_t icon) {
    (void)text;
    (void)caption;
    (void)icon;
    return 0;
}

CVOKTime Now(bool localTime) {
    CVOKTime t;
    if (localTime) {
        t.SetCurrentLocalTime();
    } else {
        t.SetCurrentUtcTime();
    }
    return t;
}

std::string DateText(const CVOKTime& t) { return t.Format("%d/%m/%Y"); }

// One line of the entry: where it starts in the text, and the text itself.
struct sPiece {
    size_t start;
    std::string text;
};

// Length of the valid UTF-8 sequence that starts at i, or 0.
size_t Utf8SequenceLength(const std::string& s, size_t i) {
    const auto b = static_cast<unsigned char>(s[i]);
    size_t len = 0;
    if (b >= 0xC2 && b <= 0xDF) {
        len = 2;
    } else if (b >= 0xE0 && b <= 0xEF) {
        len = 3;
    } else if (b >= 0xF0 && b <= 0xF4) {
        len = 4;
    }
    if (len == 0 || i + len > s.size()) return 0;
    // The second byte's range also excludes overlong forms, surrogates and code points
    // beyond U+10FFFF.
    const auto second = static_cast<unsigned char>(s[i + 1]);
    if ((b == 0xE0 && second < 0xA0) || (b == 0xED && second > 0x9F) ||
        (b == 0xF0 && second < 0x90) || (b == 0xF4 && second > 0x8F)) {
        return 0;
    }
    for (size_t k = 1; k < len; ++k) {
        if ((static_cast<unsigned char>(s[i + k]) & 0xC0) != 0x80) return 0;
    }
    return len;
}

// Cuts the text at the broken bar (the byte 0xA6 standing alone, or its UTF-8 form C2 A6) when
// it holds one, else at '|'. A byte 0xA6 inside another UTF-8 character is ordinary text.
// Empty pieces are left out.
std::vector<sPiece> SplitEntry(const std::string& text, bool splitLines) {
    std::vector<std::pair<size_t, size_t>> separators;  // position, length
    if (splitLines) {
        for (size_t i = 0; i < text.size();) {
            const auto b = static_cast<unsigned char>(text[i]);
            if (b < 0x80) {
                ++i;
                continue;
            }
            const size_t len = Utf8SequenceLength(text, i);
            if (len == 0) {
                if (b == 0xA6) separators.emplace_back(i, 1);
                ++i;
                continue;
            }
            if (len == 2 && b == 0xC2 && static_cast<unsigned char>(text[i + 1]) == 0xA6) {
                separators.emplace_back(i, 2);
            }
            i += len;
        }
        if (separators.empty()) {
            for (size_t i = 0; i < text.size(); ++i) {
                if (text[i] == '|') separators.emplace_back(i, 1);
            }
        }
    }
    std::vector<sPiece> pieces;
    size_t start = 0;
    separators.emplace_back(text.size(), 0);
    for (const auto& [pos, len] : separators) {
        if (pos > start) pieces.push_back({start, text.substr(start, pos - start)});
        start = pos + len;
    }
    return pieces;
}

}  // namespace

CLogSignal& LogSignal() {
    static CLogSignal signal;
    return signal;
}

void CLogFile::Open(const char* filePath, bool append) {
    if (stream.is_open() || filePath == nullptr) return;
    if (GetPathFileName(filePath).empty()) return;
    const std::string parent = GetPathParent(filePath);
    if (!parent.empty() && !DirectoryExists(parent) && !CreateDirectories(parent)) return;
    stream.clear();
    stream.open(filePath, std::ios::out | (append ? std::ios::app : std::ios::trunc));
    const CVOKTime t = Now(localTime);
    stream << "\n"
           << std::string(80, '=') << "\n"
           << "===================== Logging Started " << DateText(t) << " "
           << t.FormatTime(0, ':') << " " << (localTime ? "LTZ" : "UTC")
           << " ==================\n"
           << "\n";
    stream.flush();
}

void CLogFile::Close() {
    if (!stream.is_open()) return;
    const CVOKTime t = Now(localTime);
    stream << "\n"
           << "===================== Logging Stopped " << DateText(t) << " "
           << t.FormatTime(0, ':') << " ======================\n"
           << std::string(80, '=') << "\n"
           << "\n";
    stream.flush();
    stream.close();
}

void Init(int32_t level, uint32_t options, uint32_t defaultFlags, const char* path, bool append,
          int32_t timeDecimals, bool localTime, bool splitLines) {
    CLogFile& log = Logger();
    log.level = level;
    log.options = options;
    log.defaultFlags = defaultFlags;
    if (timeDecimals != 0) log.timeDecimals = timeDecimals;
    log.localTime = localTime;
    log.splitLines = splitLines;
    SetLogFile(path, append);
}

void Shutdown() {
    CLogFile& log = Logger();
    log.Close();
    log.level = 0;
    log.options = 0;
    log.defaultFlags = FLAG_NO_FILE | FLAG_NO_DEBUGGER;
}

void SetLogFile(const char* path, bool append) {
    if (path == nullptr) return;
    CLogFile& log = Logger();
    log.path = path;
    if (log.level != 0 && (log.options & OPTION_FILE) != 0) {
        log.Close();
        log.Open(path, append);
    }
    if (log.applicationName.empty()) {
        log.applicationName = GetPathWithoutExtension(GetPathFileName(path));
    }
}

void SetLogFile(const wchar_t* path, bool append) {
    if (path == nullptr) return;
    SetLogFile(WideToUtf8(std::wstring(path)).c_str(), append);
}

void SetApplicationName(const char* name) {
    if (name != nullptr) Logger().applicationName = name;
}

void SetApplicationName(const wchar_t* name) {
    if (name != nullptr) Logger().applicationName = WideToUtf8(std::wstring(name));
}

void SetInteractive(bool interactive, bool openLogFile) {
    CLogFile& log = Logger();
    if (interactive) {
        log.options |= OPTION_MESSAGE_BOX;
        return;
    }
    log.options = (log.options & ~OPTION_MESSAGE_BOX) | OPTION_FILE;
    if (openLogFile && !log.IsOpen() && !log.path.empty()) {
        if (log.level == 0) log.level = 1;
        log.Open(log.path.c_str(), true);
    }
}

void EnableMessageBoxes(bool enable) {
    CLogFile& log = Logger();
    if (enable) {
        log.options |= OPTION_MESSAGE_BOX;
    } else {
        log.options &= ~OPTION_MESSAGE_BOX;
    }
}

bool MessageBoxesEnabled() { return (Logger().options & OPTION_MESSAGE_BOX) != 0; }

int32_t SetLevel(int32_t level) { return std::exchange(Logger().level, level); }
int32_t GetLevel() { return Logger().level; }
uint32_t SetOptions(uint32_t options) { return std::exchange(Logger().options, options); }
uint32_t GetOptions() { return Logger().options; }
uint32_t SetDefaultFlags(uint32_t flags) { return std::exchange(Logger().defaultFlags, flags); }
uint32_t GetDefaultFlags() { return Logger().defaultFlags; }
int32_t SetTimeDecimals(int32_t decimals) { return std::exchange(Logger().timeDecimals, decimals); }
int32_t GetTimeDecimals() { return Logger().timeDecimals; }

int32_t EnableTimestamp(bool enable) {
    int32_t& decimals = Logger().timeDecimals;
    const int32_t previous = decimals;
    if (!enable) {
        decimals = -1;
    } else if (decimals < 0) {
        decimals = 0;
    }
    return previous;
}

bool TimestampEnabled() { return Logger().timeDecimals >= 0; }

bool IsEnabled(eSeverity severity) {
    const int32_t level = Logger().level;
    if (level == 0) return false;
    switch (Known(severity)) {
    case Error:
    case Fatal: return true;
    case Info:
    case Warning: return level >= 2;
    default: return level >= 3;
    }
}

void Write(uint32_t flags, eSeverity severity, const std::string& text) {
    CLogFile& log = Logger();
    if ((flags & FLAG_MESSAGE_BOX) != 0 && (log.options & OPTION_MESSAGE_BOX) != 0) {
        ShowMessageBox(text, GetMessageBoxCaption(severity), GetMessageBoxIcon(severity));
    }
    const std::string prefix = GetSeverityPrefix(severity);
    CVOKTime t;
    const bool toFile =
        (flags & FLAG_NO_FILE) == 0 && (log.options & OPTION_FILE) != 0 && log.IsOpen();
    const bool toSignal = (flags & FLAG_NO_SIGNAL) == 0 && (log.options & OPTION_SIGNAL) != 0;
    std::string stamp;
    if ((toFile || toSignal) && log.timeDecimals >= 0) {
        t = Now(log.localTime);
        stamp = Format("%s %s -> ", DateText(t), t.FormatTime(log.timeDecimals, ':'));
    }
    const bool toConsole = (flags & FLAG_CONSOLE) != 0 && (log.options & OPTION_CONSOLE) != 0;
    std::string line;
    line.reserve(prefix.size() + text.size() + 2);
    for (const sPiece& piece : SplitEntry(text, log.splitLines)) {
        line.assign(prefix).append(piece.text).append("\n");
        if (toConsole) std::fwrite(line.data(), 1, line.size(), stdout);
        if (toSignal) LogSignal()(t, severity, piece.text);
        if ((flags & FLAG_NO_DEBUGGER) == 0) OutputDebugStringA(line.c_str());
        if (toFile) {
            // The first line carries the stamp; the others are indented so that every prefix
            // stands in one column. Built directly: the line is text, never a format.
            const std::string lead = piece.start == 0 ? stamp : std::string(" ");
            if (lead.size() < stamp.size()) log.stream << std::string(stamp.size() - lead.size(), ' ');
            log.stream << lead << ' ' << line;
        }
    }
    if (toFile) log.stream.flush();
}

void Write(uint32_t flags, eSeverity severity, const std::wstring& text) {
    Write(flags, severity, WideToUtf8(text));
}

std::string GetDefaultLogPath() {
    const boost::filesystem::path folder =
        boost::filesystem::path(Vok::GetLocalAppDataPath()) / "VOK" / "Logs";
    boost::filesystem::path name = boost::dll::program_location().filename();
    name.replace_extension(".log");
    return (folder / name).string();
}

std::string GetSeverityPrefix(eSeverity severity) {
    switch (Known(severity)) {
    case Info: return "INFO   : ";
    case Warning: return "WARNING: ";
    case Error: return "ERROR  : ";
    case Fatal: return "FATAL  : ";
    default: return "DEBUG  : ";
    }
}

std::string GetMessageBoxCaption(eSeverity severity) {
    // No window has the focus here, so only the application name can lead the caption.
    std::string caption = Logger().applicationName;
    if (!caption.empty()) caption += " : ";
    switch (Known(severity)) {
    case Info: return caption + "Info";
    case Warning: return caption + "Warning";
    case Error: return caption + "Error";
    case Fatal: return caption + "Fatal";
    default: return caption + "Debug";
    }
}

uint32_t GetMessageBoxIcon(eSeverity severity) {
    switch (Known(severity)) {
    case Warning: return 0x30;
    case Error:
    case Fatal: return 0x10;
    default: return 0x40;
    }
}

namespace detail {

void LogAlwaysText(eSeverity severity, const std::string& text) {
    CLogFile& log = Logger();
    // Restored however this ends, also when the default path cannot be found.
    struct sRestore {
        CLogFile& log;
        uint32_t options;
        int32_t level;
        ~sRestore() {
            log.options = options;
            log.level = level;
        }
    } restore{log, log.options, log.level};
    log.options |= OPTION_FILE;
    if (log.level < 1) log.level = 1;
    if (!log.IsOpen()) SetLogFile(GetDefaultLogPath().c_str(), false);
    Write(0, severity, text);
}

}  // namespace detail

}  // namespace ZLog
