#include "platform/environment.h"

#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include <boost/dll/runtime_symbol_info.hpp>

#include "compat/file_names.h"
#include "compat/regional.h"
#include "platform/desktop_open.h"
#include "platform/file_ops.h"
#include "platform/process_launch.h"
#include "platform/system_report.h"

using Vok::FileNames::AnsiToFileSystem;
using Vok::FileNames::FileSystemToAnsi;

namespace {

CString Ansi(const std::string& fileSystemText) { return CString(FileSystemToAnsi(fileSystemText).c_str()); }

// The program's arguments as the kernel holds them, its own name first.
std::vector<std::string> ReadArguments() {
    std::ifstream in("/proc/self/cmdline", std::ios::binary);
    const std::string all((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::vector<std::string> arguments;
    size_t start = 0;
    while (start < all.size()) {
        size_t end = all.find('\0', start);
        if (end == std::string::npos) end = all.size();
        arguments.push_back(all.substr(start, end - start));
        start = end + 1;
    }
    return arguments;
}

std::string ProgramFile() {
    boost::system::error_code error;
    const boost::filesystem::path location = boost::dll::program_location(error);
    return error ? std::string() : location.string();
}

// The text after the last '/', or after the last ':' when there is no '/'.
std::string AfterFolder(const std::string& path) {
    size_t cut = path.rfind('/');
    if (cut == std::string::npos) cut = path.rfind(':');
    return cut == std::string::npos ? path : path.substr(cut + 1);
}

std::string JoinFolder(const std::string& folder, const std::string& name) {
    if (folder.empty() || folder.back() == '/') return folder + name;
    return folder + "/" + name;
}

}  // namespace

CString GetEnvVariable(const CString& name) {
    if (name.IsEmpty()) return CString();
    const char* value = ::getenv(AnsiToFileSystem(name.Str()).c_str());
    return value == nullptr ? CString() : Ansi(value);
}

CString GetModuleFileTitle(bool keepExtension) {
    std::string title = AfterFolder(ProgramFile());
    if (!keepExtension) {
        const size_t dot = title.rfind('.');
        if (dot != std::string::npos) title.erase(dot);
    }
    return Ansi(title);
}

CString GetModulePath(bool folderOnly) {
    const std::string file = ProgramFile();
    if (!folderOnly) return Ansi(file);
    return Ansi(file.substr(0, file.size() - AfterFolder(file).size()));
}

CString GetCommandLineArguments() {
    const std::vector<std::string> arguments = ReadArguments();
    if (arguments.empty()) return CString();
    std::string rest;
    for (size_t i = 1; i < arguments.size(); ++i) {
        if (!rest.empty()) rest += ' ';
        rest += Vok::Process::QuoteArgument(arguments[i]);
    }
    std::string program = Vok::Process::QuoteArgument(arguments.front());
    if (program.empty() || program.front() != '"') program = "\"" + program + "\"";
    const std::string line = rest.empty() ? program : program + " " + rest;

    std::vector<size_t> quotes;
    for (size_t i = 0; i < line.size(); ++i)
        if (line[i] == '"') quotes.push_back(i);
    const size_t n = quotes.size();
    if (line.back() == '"' && n >= 6) return Ansi(line.substr(quotes[n - 4] + 1, quotes[n - 3] - quotes[n - 4] - 1));
    return Ansi(rest);
}

bool GetCommandLineArgs(CStringArray& arguments) {
    bool any = false;
    for (const std::string& argument : ReadArguments()) {
        CString text = Ansi(argument);
        text.Remove('"');
        arguments.Add(text);
        any = true;
    }
    return any;
}

WORD GetUILanguage() { return Vok::Regional::kLanguageId; }

CString GetCurrentDir(bool trailingSeparator) {
    std::string folder;
    std::vector<char> buffer(4096);
    while (::getcwd(buffer.data(), buffer.size()) == nullptr) {
        if (errno != ERANGE) return trailingSeparator ? CString("/") : CString();
        buffer.resize(buffer.size() * 2);
    }
    folder = buffer.data();
    if (trailingSeparator && (folder.empty() || folder.back() != '/')) folder += '/';
    return Ansi(folder);
}

BOOL SetCurrentDir(const char* folder) {
    if (folder == nullptr) return 0;
    return ::chdir(AnsiToFileSystem(folder).c_str()) == 0 ? 1 : 0;
}

namespace {

INT_PTR OpenAddress(const char* address) {
    return Vok::RunDesktopOpener(address) ? SE_OPENED : SE_ERR_NOASSOC;
}

}  // namespace

INT_PTR OpenMakerHomePage() { return OpenAddress(MAKER_HOME_PAGE); }
INT_PTR OpenSupportDesk() { return OpenAddress(MAKER_SUPPORT_DESK); }

int CreateSystemReport(const CString& folder) {
    const std::string base = AnsiToFileSystem(folder.Str());
    std::ofstream report(JoinFolder(base, "SystemReport.txt"), std::ios::trunc);
    if (!report) return 0;

    const std::string graphics = Vok::SystemReport::GraphicsPart();
    report << " ==================== DirectX report (dxdiag) ====================================\n\n";
    report << (graphics.empty() ? " **** DirectX report NOT FOUND." : graphics);
    const std::string system = Vok::SystemReport::SystemInformationPart();
    report << "\n\n\n\n\n\n ==================== MS System Information report (msinfo32) ====================\n\n";
    report << (system.empty() ? " **** MS System Information report NOT FOUND." : system);
    report << "\n\n\n\n\n\n ==================== END OF SYSTEM REPORT =======================================\n";
    report.close();
    if (!report) return 0;
    OpenWithShell(folder);
    return 1;
}

int GetDesktopRect(RECT* rect) {
    if (rect != nullptr) *rect = RECT{0, 0, 0, 0};
    return 0;
}

bool IsPointOnMonitor(POINT) { return false; }
void FitRectOntoScreen(RECT*) {}
void FitRectOntoScreenCopy(RECT*) {}
void CopyTextToClipboard(CString&) {}
void PasteTextFromClipboard(CString&) {}
int ShowMessageOnce(const CString&, UINT) { return 0; }
int ShowMessageOnce(UINT, UINT) { return 0; }
int ActivateWindowByClass(const char*, bool) { return 0; }
