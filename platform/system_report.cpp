#include "platform/system_report.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/utsname.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include <boost/filesystem.hpp>

#include "platform/posix_call.h"
#include "platform/process_launch.h"

namespace Vok::SystemReport {
namespace {

// A report program that takes longer than this is ended; lshw may probe for some seconds.
constexpr std::chrono::seconds kProgramDeadline{30};
constexpr std::size_t kProgramOutputLimit = 4 << 20;

std::string ReadSmallFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    while (!text.empty() && (text.back() == '\n' || text.back() == ' ')) text.pop_back();
    return text;
}

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

// The standard output of a program found in PATH, when it ended with code 0 within the deadline;
// empty when it is not installed, failed or took too long (it is then ended).
std::string ProgramOutput(std::vector<std::string> arguments) {
    int pipeFds[2];
    if (::pipe2(pipeFds, O_CLOEXEC) != 0) return {};
    Posix::CUniqueFd reader(pipeFds[0]);
    Posix::CUniqueFd writer(pipeFds[1]);
    const Posix::CUniqueFd nothing(::open("/dev/null", O_RDWR | O_CLOEXEC));
    Process::sLaunchOptions options;
    options.arguments = std::move(arguments);
    options.standardInput = nothing.Get();
    options.standardOutput = writer.Get();
    options.standardError = nothing.Get();
    Process::CProcess program = Process::Launch(options);
    writer.Reset();
    if (!program.IsValid()) return {};

    std::string output;
    const auto deadline = std::chrono::steady_clock::now() + kProgramDeadline;
    const auto msLeft = [&deadline] {
        const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        return static_cast<int>(std::max<std::chrono::milliseconds::rep>(0, left.count()));
    };
    for (;;) {
        pollfd p{reader.Get(), POLLIN, 0};
        const int ready = ::poll(&p, 1, msLeft());
        if (ready < 0 && errno == EINTR) continue;
        if (ready <= 0) break;
        char chunk[65536];
        const ssize_t n = ::read(reader.Get(), chunk, sizeof chunk);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        if (output.size() < kProgramOutputLimit) output.append(chunk, static_cast<std::size_t>(n));
    }
    const std::optional<int> code = program.Wait(static_cast<DWORD>(msLeft()));
    if (!code) {
        program.Kill(SIGKILL);
        program.Wait(INFINITE);
    }
    return code == 0 ? output : std::string();
}

// "title", then the text, then an empty line; nothing when the text is empty.
std::string Paragraph(const std::string& title, std::string text) {
    while (!text.empty() && text.back() == '\n') text.pop_back();
    return text.empty() ? std::string() : title + "\n" + text + "\n\n";
}

std::vector<std::string> SortedEntries(const std::string& folder) {
    std::vector<std::string> names;
    boost::system::error_code error;
    for (boost::filesystem::directory_iterator it(folder, error), end; !error && it != end; it.increment(error))
        names.push_back(it->path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

std::string DisplayVariables() {
    std::string text;
    for (const char* name : {"XDG_SESSION_TYPE", "WAYLAND_DISPLAY", "DISPLAY"}) {
        const char* value = std::getenv(name);
        if (value != nullptr && *value != '\0') text += std::string(name) + "=" + value + "\n";
    }
    return text;
}

// Each graphics card with its ids and driver, and each of its outputs with its state and first mode.
std::string KernelDisplayDevices() {
    const std::string root = "/sys/class/drm/";
    std::string text;
    for (const std::string& name : SortedEntries(root)) {
        if (name.rfind("card", 0) != 0) continue;
        const std::string entry = root + name;
        if (name.find('-') == std::string::npos) {
            boost::system::error_code error;
            const std::string driver = boost::filesystem::read_symlink(entry + "/device/driver", error).filename().string();
            text += name + ": vendor " + ReadSmallFile(entry + "/device/vendor") + ", device " +
                    ReadSmallFile(entry + "/device/device") + ", driver " + (driver.empty() ? "-" : driver) + "\n";
        } else {
            const std::vector<std::string> modes = Lines(ReadSmallFile(entry + "/modes"));
            text += name + ": " + ReadSmallFile(entry + "/status") + (modes.empty() ? "" : ", " + modes.front()) + "\n";
        }
    }
    return text;
}

std::string PciDisplayDevices() {
    std::string text;
    for (const std::string& line : Lines(ProgramOutput({"lspci"}))) {
        for (const char* kind : {"VGA compatible controller:", "3D controller:", "Display controller:"}) {
            if (line.find(kind) != std::string::npos) {
                text += line + "\n";
                break;
            }
        }
    }
    return text;
}

// PRETTY_NAME, else NAME, without its quotes.
std::string OperatingSystem() {
    std::string pretty;
    std::string name;
    for (const std::string& line : Lines(ReadSmallFile("/etc/os-release"))) {
        const std::size_t equals = line.find('=');
        if (equals == std::string::npos) continue;
        std::string value = line.substr(equals + 1);
        if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') && value.back() == value.front())
            value = value.substr(1, value.size() - 2);
        if (line.compare(0, equals, "PRETTY_NAME") == 0) pretty = value;
        if (line.compare(0, equals, "NAME") == 0) name = value;
    }
    return pretty.empty() ? name : pretty;
}

std::string Kernel() {
    utsname u{};
    if (::uname(&u) != 0) return {};
    return std::string(u.sysname) + " " + u.release + " " + u.version + " " + u.machine;
}

std::string HostName() {
    utsname u{};
    return ::uname(&u) == 0 ? std::string(u.nodename) : std::string();
}

// The count online and each model that /proc/cpuinfo names, once.
std::string Processors() {
    const long online = ::sysconf(_SC_NPROCESSORS_ONLN);
    std::string text = online > 0 ? std::to_string(online) + " online\n" : std::string();
    std::vector<std::string> models;
    for (const std::string& line : Lines(ReadSmallFile("/proc/cpuinfo"))) {
        if (line.rfind("model name", 0) != 0) continue;
        const std::size_t colon = line.find(':');
        const std::string model = colon == std::string::npos ? line : line.substr(std::min(line.size(), colon + 2));
        if (std::find(models.begin(), models.end(), model) == models.end()) models.push_back(model);
    }
    for (const std::string& model : models) text += model + "\n";
    return text;
}

std::string Memory() {
    std::string text;
    for (const std::string& line : Lines(ReadSmallFile("/proc/meminfo"))) {
        for (const char* key : {"MemTotal:", "MemAvailable:", "SwapTotal:", "SwapFree:"})
            if (line.rfind(key, 0) == 0) text += line + "\n";
    }
    return text;
}

// Each block device but loop and RAM devices, with its size and model.
std::string Disks() {
    const std::string root = "/sys/block/";
    std::string text;
    for (const std::string& name : SortedEntries(root)) {
        if (name.rfind("loop", 0) == 0 || name.rfind("ram", 0) == 0) continue;
        const unsigned long long sectors = std::strtoull(ReadSmallFile(root + name + "/size").c_str(), nullptr, 10);
        const std::string model = ReadSmallFile(root + name + "/device/model");
        text += name + ": " + std::to_string(sectors * 512) + " bytes" + (model.empty() ? "" : ", " + model) + "\n";
    }
    return text;
}

}  // namespace

std::string GraphicsPart() {
    return Paragraph("Display session", DisplayVariables()) +
           Paragraph("Display devices (/sys/class/drm)", KernelDisplayDevices()) +
           Paragraph("Display devices (lspci)", PciDisplayDevices()) +
           Paragraph("OpenGL (glxinfo -B)", ProgramOutput({"glxinfo", "-B"}));
}

std::string SystemInformationPart() {
    return Paragraph("Operating system (/etc/os-release)", OperatingSystem()) + Paragraph("Kernel", Kernel()) +
           Paragraph("Host name", HostName()) +
           Paragraph("Processors", Processors()) + Paragraph("Memory (/proc/meminfo)", Memory()) +
           Paragraph("Disks (/sys/block)", Disks()) + Paragraph("Hardware (lshw -short)", ProgramOutput({"lshw", "-short"}));
}

}  // namespace Vok::SystemReport
