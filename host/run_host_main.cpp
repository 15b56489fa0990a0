// The driver at work: a host sets up a system with position, heading, rate-of-turn and time-tag
// observations, starts `pelorad`, and prints the records of each update on one line. The
// sentences come from a recording replayed to the driver's UDP port at the pace of the
// sentences' own times, or, with --listen, from a real device.
//
// Usage: scripts/run [--file PATH] [--port N] [--listen]
//   --file PATH  the recording to replay: a text file of NMEA sentences, one a line
//                (default: data/demo_track.nmea of the source tree)
//   --port N     the UDP port the driver listens on (default: a free one; 10110 with --listen)
//   --listen     replay nothing: wait for a device's datagrams until Ctrl-C
//
// The driver ends with EXIT when the recording is done or at Ctrl-C (SIGINT or SIGTERM). Its
// named objects live in a folder of this run's own, removed at the end. Exit status: 0 the run
// ended as asked; 1 the driver failed, ended by itself, or made no update of the recording; 2 the
// arguments or the recording are wrong; 3 the port cannot be bound, so nothing could be received.
#include <signal.h>
#include <unistd.h>

#include <boost/filesystem.hpp>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>

#include "platform/crash_handler.h"
#include "host/demo_host.h"
#include "host/nmea_replay.h"

namespace {

using namespace Vok::Test;
using Clock = std::chrono::steady_clock;
namespace fs = boost::filesystem;

constexpr int kDriverFailed = 1;
constexpr int kWrongInput = 2;
constexpr int kPortUnusable = 3;

volatile sig_atomic_t g_stop = 0;

void OnStopSignal(int) { g_stop = 1; }

void CatchStopSignals() {
    struct sigaction action {};
    action.sa_handler = &OnStopSignal;
    sigemptyset(&action.sa_mask);
    ::sigaction(SIGINT, &action, nullptr);
    ::sigaction(SIGTERM, &action, nullptr);
}

int Usage(const std::string& problem) {
    if (!problem.empty()) std::fprintf(stderr, "scripts/run: %s\n", problem.c_str());
    std::fprintf(stderr, "usage: scripts/run [--file PATH] [--port N] [--listen]\n");
    return kWrongInput;
}

int Fail(int status, const std::string& problem) {
    std::fprintf(stderr, "scripts/run: %s\n", problem.c_str());
    return status;
}

struct sOptions {
    std::string file;
    UINT port = 0;
    bool listen = false;
};

struct sRun {
    int updates = 0;
    std::optional<int> driverEnded;  // its exit code, once it ended by itself
};

// Waits for updates until the deadline, a stop or the driver's end, printing each one.
void PrintUpdatesUntil(CDemoHost& host, Clock::time_point deadline, sRun& run) {
    while (g_stop == 0 && !run.driverEnded) {
        run.driverEnded = host.Ended();
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
        if (run.driverEnded || left <= 0) break;
        if (host.WaitForUpdate(static_cast<DWORD>(std::min<long long>(left, 100)))) {
            std::printf("%s\n", FormatRecordLine(host.Read()).c_str());
            std::fflush(stdout);
            ++run.updates;
        }
    }
}

// A line that starts with "$" (after blanks) is a sentence.
bool HoldsSentence(const std::string& text) {
    std::istringstream lines(text);
    for (std::string line; std::getline(lines, line);) {
        const size_t first = line.find_first_not_of(" \t\r");
        if (first != std::string::npos && line[first] == '$') return true;
    }
    return false;
}

// The error of binding the port as the driver does (any address, SO_REUSEADDR); 0 when it can.
int BindError(UINT port) {
    const int s = BoundUdpSocket("0.0.0.0", port, true);
    if (s < 0) return errno;
    ::close(s);
    return 0;
}

// How the driver ended (byItself: before it was asked to), and the crash reports it left in its
// crash folder since it started.
std::string DescribeDriverEnd(int code, bool byItself, const std::string& driver, std::time_t started) {
    std::string text;
    if (code > 128 && code < 128 + NSIG) {
        text = "pelorad was ended by signal " + std::to_string(code - 128) + " (" + ::strsignal(code - 128) + ")";
    } else {
        text = std::string("pelorad ended ") + (byItself ? "by itself " : "") + "with code " + std::to_string(code);
    }
    const fs::path folder = GetCrashDumpFolderOf(fs::path(driver).filename().string());
    if (folder.empty()) return text + "; with no home folder it had no crash folder";
    std::string reports;
    boost::system::error_code error;
    for (fs::directory_iterator it(folder, error), end; !error && it != end; it.increment(error)) {
        boost::system::error_code timeError;
        if (fs::last_write_time(it->path(), timeError) >= started && !timeError)
            reports += "\n  " + it->path().string();
    }
    if (!reports.empty()) return text + "; its crash report:" + reports;
    return text + "; it left no crash report in " + folder.string();
}

// The recording's datagrams; a message and kWrongInput when the file holds none.
int ReadRecording(const std::string& file, std::vector<sReplayDatagram>& datagrams) {
    boost::system::error_code error;
    if (fs::is_directory(file, error))
        return Fail(kWrongInput, file + " is a folder; --file takes a recording, a text file of NMEA sentences "
                                        "one a line, such as data/demo_track.nmea");
    std::ifstream in(file, std::ios::binary);
    std::stringstream text;
    if (in) text << in.rdbuf();
    if (!in)
        return Fail(kWrongInput, "cannot read " + file + " (" + std::strerror(errno) +
                                     "); --file takes the path of a recording of NMEA sentences");
    if (!HoldsSentence(text.str()))
        return Fail(kWrongInput, file + " holds no NMEA sentence (a line beginning with $), so there is nothing to "
                                        "replay; give --file a recording of sentences");
    datagrams = SplitRecording(text.str());
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    sOptions options;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--listen") {
            options.listen = true;
        } else if (arg == "--file" || arg == "--port") {
            if (i + 1 == argc)
                return Usage(arg == "--file" ? "--file needs a value: the path of a recording"
                                             : "--port needs a value: a UDP port from 1 to 65535");
            const std::string value = argv[++i];
            if (arg == "--file") {
                // An empty path would replay the demo track in place of the recording asked for.
                if (value.empty()) return Usage("--file needs a value: the path of a recording, not an empty text");
                options.file = value;
            } else {
                char* end = nullptr;
                const long port = std::strtol(value.c_str(), &end, 10);
                if (value.empty() || *end != '\0' || port < 1 || port > 65535)
                    return Usage("--port " + value + ": the port is a number from 1 to 65535");
                options.port = static_cast<UINT>(port);
            }
        } else if (arg == "--help" || arg == "-h") {
            Usage({});
            return 0;
        } else {
            return Usage("unknown argument " + arg);
        }
    }
    if (options.listen && !options.file.empty()) return Usage("--listen replays no file; give one of the two");

    std::vector<sReplayDatagram> datagrams;
    if (!options.listen) {
        if (options.file.empty()) options.file = FindNearProgram("data/demo_track.nmea");
        if (options.file.empty()) options.file = "data/demo_track.nmea";
        if (const int status = ReadRecording(options.file, datagrams)) return status;
    }
    if (options.port == 0) options.port = options.listen ? 10110 : FindFreeUdpPort();
    if (const int error = BindError(options.port)) {
        const std::string port = "UDP port " + std::to_string(options.port);
        return Fail(kPortUnusable, error == EADDRINUSE
                                       ? port + " is busy: another program receives on it, so nothing could be "
                                                "received; choose another with --port N"
                                       : port + " cannot be bound (" + std::strerror(error) +
                                             "), so nothing could be received; choose another with --port N");
    }
    const std::string driver = FindNearProgram("pelorad");
    if (driver.empty()) return Fail(kDriverFailed, "the driver program pelorad was not found beside or above this program");

    CatchStopSignals();
    int result = 0;
    {
        const CPrivateIpcFolder folder;
        if (folder.GetPath().empty()) return Fail(kDriverFailed, "no folder for the named objects could be made");
        const std::time_t started = std::time(nullptr);
        CDemoHost host("\"" + driver + "\"", options.port);
        if (!host.Start()) {
            const std::optional<int> code = host.Ended();
            return Fail(kDriverFailed, host.GetError() + (code ? "; " + DescribeDriverEnd(*code, true, driver, started) : ""));
        }
        std::printf("pelorad (process %u) is listening on UDP port %u\n", host.GetDriverProcessId(), options.port);
        sRun run;
        if (options.listen) {
            std::printf("waiting for NMEA datagrams; Ctrl-C ends\n");
            std::fflush(stdout);
            PrintUpdatesUntil(host, Clock::time_point::max(), run);
        } else {
            std::printf("replaying %s: %zu datagrams over %.1f s\n", options.file.c_str(), datagrams.size(),
                        datagrams.back().at);
            std::fflush(stdout);
            const Clock::time_point start = Clock::now();
            const auto due = [&](double at) {
                return start + std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(at));
            };
            for (size_t i = 0; i < datagrams.size() && g_stop == 0 && !run.driverEnded; ++i) {
                PrintUpdatesUntil(host, due(datagrams[i].at), run);
                if (g_stop == 0 && !run.driverEnded && !SendDatagram(options.port, datagrams[i].bytes))
                    std::fprintf(stderr, "scripts/run: a datagram could not be sent\n");
            }
            // The last datagram's update.
            PrintUpdatesUntil(host, Clock::now() + std::chrono::milliseconds(500), run);
        }
        std::optional<int> code = run.driverEnded;
        if (!code) code = host.Exit();
        // It may have ended on its own while EXIT was on its way.
        if (!code) code = host.Ended();
        if (code == 0) {
            std::printf("%d updates; pelorad ended with code 0\n", run.updates);
        } else if (code) {
            std::printf("%d updates; %s\n", run.updates, DescribeDriverEnd(*code, run.driverEnded.has_value(), driver, started).c_str());
            result = kDriverFailed;
        } else {
            std::printf("%d updates; pelorad did not end on EXIT and was stopped\n", run.updates);
            result = kDriverFailed;
        }
        std::fflush(stdout);
        if (result == 0 && !options.listen && run.updates == 0 && g_stop == 0)
            result = Fail(kDriverFailed, "the driver made no update of " + options.file +
                                             ": it decoded none of its sentences (one with a wrong checksum is dropped)");
    }
    return result;
}
