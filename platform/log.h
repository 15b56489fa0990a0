// The process-wide log: entries with a severity go, as their flags and the logger's options
// allow, to a message box, the console, the log signal, the debugger output and a log file
// with time stamps and start and stop banners. Not to be entered from two threads at once.
#pragma once

#include <cstdint>
#include <fstream>
#include <string>

#include <boost/signals2/signal.hpp>

#include "foundation/string_utils.h"
#include "foundation/time_value.h"
#include "foundation/utf_conversion.h"

namespace ZLog {

enum eSeverity : int { Info = 0, Warning = 1, Error = 2, Fatal = 3, Debug = 4 };

// Options word: which outputs may be used at all (the debugger output needs none).
constexpr uint32_t OPTION_FILE = 1;
constexpr uint32_t OPTION_MESSAGE_BOX = 2;
constexpr uint32_t OPTION_CONSOLE = 4;
constexpr uint32_t OPTION_SIGNAL = 8;

// Entry flags of one call of Write.
constexpr uint32_t FLAG_MESSAGE_BOX = 1;
constexpr uint32_t FLAG_CONSOLE = 2;
constexpr uint32_t FLAG_NO_FILE = 4;
constexpr uint32_t FLAG_NO_DEBUGGER = 8;
constexpr uint32_t FLAG_NO_SIGNAL = 16;

// Raised once per written line with the entry's time (invalid without a stamp), its severity
// and the line's text without prefix or line end.
using CLogSignal = boost::signals2::signal<void(const CVOKTime&, eSeverity, const std::string&)>;
CLogSignal& LogSignal();

// The one logger object of the process.
class CLogFile {
public:
    CLogFile() = default;
    CLogFile(const CLogFile&) = delete;
    CLogFile& operator=(const CLogFile&) = delete;
    ~CLogFile() { Close(); }

    // Opens path (creating its folder), emptied or appended to, and writes the start banner.
    // Does nothing while a file is open; a failure leaves the file closed.
    void Open(const char* path, bool append);
    // Writes the stop banner and closes the file, when one is open.
    void Close();
    bool IsOpen() const { return stream.is_open(); }

    std::ofstream stream;
    std::string path;
    std::string applicationName;
    int32_t level = 0;
    uint32_t options = 0;
    uint32_t defaultFlags = 0;
    int32_t timeDecimals = 0;  // decimals of the stamp's seconds; negative: no stamp
    bool localTime = true;     // stamps in local time ("LTZ"), else UTC ("UTC")
    bool splitLines = true;    // cut entries into lines at the byte 0xA6 or at '|'
};

// timeDecimals 0 keeps the current value.
void Init(int32_t level, uint32_t options, uint32_t defaultFlags, const char* path, bool append,
          int32_t timeDecimals, bool localTime, bool splitLines);
// Closes the file; level 0, options 0, default flags "not to the file, not to the debugger".
void Shutdown();

// Stores path (a null path is ignored) and, with a level and the file option, (re)opens it.
// The application name, when still empty, becomes the file's name without extension.
void SetLogFile(const char* path, bool append);
void SetLogFile(const wchar_t* path, bool append);
void SetApplicationName(const char* name);
void SetApplicationName(const wchar_t* name);
// Interactive: message boxes allowed. Otherwise to the file instead, opening the stored path
// (appending) when openLogFile is set and no file is open.
void SetInteractive(bool interactive, bool openLogFile);
void EnableMessageBoxes(bool enable);
bool MessageBoxesEnabled();

int32_t SetLevel(int32_t level);
int32_t GetLevel();
uint32_t SetOptions(uint32_t options);
uint32_t GetOptions();
uint32_t SetDefaultFlags(uint32_t flags);
uint32_t GetDefaultFlags();
int32_t SetTimeDecimals(int32_t decimals);
int32_t GetTimeDecimals();
// Returns the previous time decimals; false sets -1, true turns a negative value into 0.
int32_t EnableTimestamp(bool enable);
bool TimestampEnabled();

// Level 0 passes nothing; 1 (or negative) Error and Fatal; 2 also Info and Warning; 3 all.
bool IsEnabled(eSeverity severity);

// Sends text to the outputs; no level filter.
void Write(uint32_t flags, eSeverity severity, const std::string& text);
void Write(uint32_t flags, eSeverity severity, const std::wstring& text);

std::string GetDefaultLogPath();
std::string GetSeverityPrefix(eSeverity severity);
std::string GetMessageBoxCaption(eSeverity severity);
uint32_t GetMessageBoxIcon(eSeverity severity);

namespace detail {
// A format without arguments is a ready text and is used as it is, never as a format: it may
// hold a '%' of its own (a file name, say).
template <typename... Args>
std::string EntryText(const char* format, const Args&... args) {
    if constexpr (sizeof...(Args) == 0) {
        return format != nullptr ? std::string(format) : std::string();
    } else {
        return Format(format, args...);
    }
}
template <typename... Args>
std::string EntryText(const wchar_t* format, const Args&... args) {
    if constexpr (sizeof...(Args) == 0) {
        return format != nullptr ? WideToUtf8(std::wstring(format)) : std::string();
    } else {
        return WideToUtf8(FormatW(format, args...));
    }
}
void LogAlwaysText(eSeverity severity, const std::string& text);
}  // namespace detail

// printf-style front ends (narrow or wide format). Log and LogTo drop an entry that the level
// does not pass before formatting it; LogAlways passes every entry to the log file, opening the
// default one when none is open.
template <typename Char, typename... Args>
void Log(eSeverity severity, const Char* format, const Args&... args) {
    if (!IsEnabled(severity)) return;
    Write(GetDefaultFlags(), severity, detail::EntryText(format, args...));
}

template <typename Char, typename... Args>
void LogTo(uint32_t flags, eSeverity severity, const Char* format, const Args&... args) {
    if (!IsEnabled(severity)) return;
    Write(flags, severity, detail::EntryText(format, args...));
}

template <typename Char, typename... Args>
void LogAlways(eSeverity severity, const Char* format, const Args&... args) {
    detail::LogAlwaysText(severity, detail::EntryText(format, args...));
}

}  // namespace ZLog
