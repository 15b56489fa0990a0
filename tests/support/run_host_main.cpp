// The driver at work: a host sets up a system with position, heading, rate-of-turn and time-tag
// observations, starts `pelorad`, and prints the records of each update on one line. The
// sentences come from a recording replayed to the driver's UDP port at the pace of the
// sentences' own times, or, with --listen, from a real device.
//
// Usage: run_host [--file PATH] [--port N] [--listen]
//   --file PATH  the recording to replay (default: data/demo_track.nmea of the source tree)
//   --port N     the UDP port the driver listens on (default: a free one; 10110 with --listen)
//   --listen     replay nothing: wait for a device's datagrams until Ctrl-C
//
// The driver ends with EXIT when the recording is done or at Ctrl-C (SIGINT or SIGTERM). Its
// named objects live in a folder of this run's own, removed at the end.
#include <signal.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>

#include "tests/support/demo_host.h"
#include "tests/support/nmea_replay.h"

namespace {

using namespace Vok::Test;
using Clock = std::chrono::steady_clock;

volatile sig_atomic_t g_stop = 0;

void OnStopSignal(int) { g_stop = 1; }

void CatchStopSignals() {
    struct sigaction action {};
    action.sa_handler = &OnStopSignal;
    sigemptyset(&action.sa_mask);
    ::sigaction(SIGINT, &action, nullptr);
    ::sigaction(SIGTERM, &action, nullptr);
}

int Usage(const char* problem) {
    if (problem != nullptr) std::fprintf(stderr, "run_host: %s\n", problem);
    std::fprintf(stderr, "usage: run_host [--file PATH] [--port N] [--listen]\n");
    return 2;
}

struct sOptions {
    std::string file;
    UINT port = 0;
    bool listen = false;
};

// Waits for updates until the deadline (or a stop), printing each one.
int PrintUpdatesUntil(CDemoHost& host, Clock::time_point deadline) {
    int printed = 0;
    while (g_stop == 0) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
        if (left <= 0) break;
        if (host.WaitForUpdate(static_cast<DWORD>(std::min<long long>(left, 100)))) {
            std::printf("%s\n", FormatRecordLine(host.Read()).c_str());
            std::fflush(stdout);
            ++printed;
        }
    }
    return printed;
}

}  // namespace

int main(int argc, char** argv) {
    sOptions options;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--listen") {
            options.listen = true;
        } else if ((arg == "--file" || arg == "--port") && i + 1 < argc) {
            const std::string value = argv[++i];
            if (arg == "--file") {
                options.file = value;
            } else {
                char* end = nullptr;
                const long port = std::strtol(value.c_str(), &end, 10);
                if (*end != '\0' || port < 1 || port > 65535) return Usage("the port is a number from 1 to 65535");
                options.port = static_cast<UINT>(port);
            }
        } else if (arg == "--help" || arg == "-h") {
            return Usage(nullptr);
        } else {
            return Usage(("unknown argument " + arg).c_str());
        }
    }
    if (options.listen && !options.file.empty()) return Usage("--listen replays no file");

    std::vector<sReplayDatagram> datagrams;
    if (!options.listen) {
        if (options.file.empty()) options.file = FindNearProgram("data/demo_track.nmea");
        if (options.file.empty()) options.file = "data/demo_track.nmea";
        std::ifstream in(options.file, std::ios::binary);
        std::stringstream text;
        text << in.rdbuf();
        if (!in) {
            std::fprintf(stderr, "run_host: cannot read %s\n", options.file.c_str());
            return 1;
        }
        datagrams = SplitRecording(text.str());
        if (datagrams.empty()) {
            std::fprintf(stderr, "run_host: %s holds no sentences\n", options.file.c_str());
            return 1;
        }
    }
    if (options.port == 0) options.port = options.listen ? 10110 : FindFreeUdpPort();
    const std::string driver = FindNearProgram("pelorad");
    if (driver.empty()) {
        std::fprintf(stderr, "run_host: the driver program pelorad was not found beside or above this program\n");
        return 1;
    }

    CatchStopSignals();
    int result = 0;
    {
        const CPrivateIpcFolder folder;
        if (folder.GetPath().empty()) {
            std::fprintf(stderr, "run_host: no folder for the named objects could be made\n");
            return 1;
        }
        CDemoHost host("\"" + driver + "\"", options.port);
        if (!host.Start()) {
            std::fprintf(stderr, "run_host: %s\n", host.GetError().c_str());
            return 1;
        }
        std::printf("pelorad (process %u) is listening on UDP port %u\n", host.GetDriverProcessId(), options.port);
        int updates = 0;
        if (options.listen) {
            std::printf("waiting for NMEA datagrams; Ctrl-C ends\n");
            std::fflush(stdout);
            updates = PrintUpdatesUntil(host, Clock::time_point::max());
        } else {
            std::printf("replaying %s: %zu datagrams over %.1f s\n", options.file.c_str(), datagrams.size(),
                        datagrams.back().at);
            std::fflush(stdout);
            const Clock::time_point start = Clock::now();
            const auto due = [&](double at) {
                return start + std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(at));
            };
            for (size_t i = 0; i < datagrams.size() && g_stop == 0; ++i) {
                updates += PrintUpdatesUntil(host, due(datagrams[i].at));
                if (g_stop == 0 && !SendDatagram(options.port, datagrams[i].bytes))
                    std::fprintf(stderr, "run_host: a datagram could not be sent\n");
            }
            // The last datagram's update.
            updates += PrintUpdatesUntil(host, Clock::now() + std::chrono::milliseconds(500));
        }
        const std::optional<int> code = host.Exit();
        if (code)
            std::printf("%d updates; pelorad ended with code %d\n", updates, *code);
        else
            std::printf("%d updates; pelorad did not end on EXIT and was stopped\n", updates);
        std::fflush(stdout);
        if (code != 0) result = 1;
    }
    return result;
}
