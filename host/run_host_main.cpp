// The driver at work: a host sets up a system with position, heading, rate-of-turn and time-tag
// observations, starts `pelorad`, and prints the records of each update on one line. The
// sentences come from a recording replayed to the driver's UDP port at the pace of the
// sentences' own times, or, with --listen, from a real device.
//
// Usage: scripts/run [--file PATH] [--port N] [--listen]
//   --file PATH  the recording to replay: a text file of NMEA sentences, one a line, or a pipe
//                (default: data/demo_track.nmea of the source tree)
//   --port N     the UDP port the driver listens on (default: a free one; 10110 with --listen)
//   --listen     replay nothing: wait for a device's datagrams until Ctrl-C
//
// The driver ends with EXIT when the recording is done or at a signal that ends the run (SIGINT,
// SIGTERM, SIGHUP, SIGPIPE). Its named objects live in a folder of this run's own, removed at the
// end. The last line says what was sent or received, what the driver decoded and the updates.
// Exit status: 0 the run ended as asked (Ctrl-C and SIGTERM included); 1 the driver failed, ended by
// itself, or made no update of the recording; 2 the arguments or the recording are wrong; 3 the
// port cannot be bound, so nothing could be received. SIGHUP and SIGPIPE (the terminal or the
// reader of the output gone) end the run as the signal would once it has cleaned up.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <unistd.h>

#include <boost/filesystem.hpp>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <functional>
#include <istream>
#include <mutex>
#include <regex>
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

// The signal that ends the run, 0 while none has come.
volatile sig_atomic_t g_stop = 0;
// Readable once a stop has come, so that a wait in poll() ends with it.
int g_stopPipe[2] = {-1, -1};

void OnStopSignal(int signal) {
    g_stop = signal;
    const int saved = errno;
    if (g_stopPipe[1] >= 0) {
        const ssize_t written = ::write(g_stopPipe[1], "", 1);
        (void)written;  // a full pipe is readable already
    }
    errno = saved;
}

void CatchStopSignals() {
    if (::pipe2(g_stopPipe, O_CLOEXEC | O_NONBLOCK) != 0) g_stopPipe[0] = g_stopPipe[1] = -1;
    struct sigaction action {};
    action.sa_handler = &OnStopSignal;
    action.sa_flags = SA_RESTART;
    sigemptyset(&action.sa_mask);
    for (const int signal : {SIGINT, SIGTERM, SIGHUP, SIGPIPE}) ::sigaction(signal, &action, nullptr);
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
    uint64_t sent = 0, sentSentences = 0;
    std::optional<int> driverEnded;  // its exit code, once it ended by itself
};

// What the driver says at its end of what came and what became of it.
struct sDriverCounts {
    uint64_t received = 0, decoded = 0, unused = 0, wrongChecksum = 0, missingChecksum = 0, unknownFormat = 0;
};

// Passes the driver's standard error on to this process's, and keeps the counts it says at its
// end instead of passing them on.
class CDriverErrors {
public:
    CDriverErrors() {
        int ends[2];
        if (::pipe2(ends, O_CLOEXEC) != 0) return;
        m_read = ends[0];
        m_write = ends[1];
        m_thread = std::thread([this] { Relay(); });
    }
    ~CDriverErrors() {
        CloseWriteEnd();
        if (m_thread.joinable()) m_thread.join();
        if (m_read >= 0) ::close(m_read);
    }
    // The path that the driver's standard error is opened on; empty without a pipe.
    std::string GetPath() const { return m_write >= 0 ? "/proc/self/fd/" + std::to_string(m_write) : ""; }
    // Once the driver holds its own copy of the pipe, so that its end is the pipe's end.
    void CloseWriteEnd() {
        if (m_write >= 0) ::close(m_write);
        m_write = -1;
    }
    // The counts, once the driver has ended and said them; waits up to timeout for its last words.
    std::optional<sDriverCounts> GetCounts(std::chrono::milliseconds timeout) {
        std::unique_lock<std::mutex> lock(m_mutex);
        m_changed.wait_for(lock, timeout, [this] { return m_ended; });
        return m_counts;
    }

private:
    void Relay() {
        std::string line;
        char bytes[4096];
        for (;;) {
            const ssize_t n = ::read(m_read, bytes, sizeof bytes);
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) break;
            for (ssize_t i = 0; i < n; ++i) {
                line += bytes[i];
                if (bytes[i] == '\n') Take(line);
            }
        }
        if (!line.empty()) Take(line);
        const std::lock_guard<std::mutex> lock(m_mutex);
        m_ended = true;
        m_changed.notify_all();
    }
    void Take(std::string& line) {
        static const std::regex counts(
            R"(pelorad: (\d+) datagrams received; sentences: (\d+) decoded, (\d+) not used, )"
            R"((\d+) with a wrong checksum, (\d+) without a checksum, (\d+) of a format)");
        std::smatch m;
        if (std::regex_search(line, m, counts)) {
            const auto n = [&](int i) { return std::stoull(m[i]); };
            const std::lock_guard<std::mutex> lock(m_mutex);
            m_counts = sDriverCounts{n(1), n(2), n(3), n(4), n(5), n(6)};
        } else {
            // A standard error that nobody reads any more raises SIGPIPE, which ends the run.
            for (size_t done = 0; done < line.size();) {
                const ssize_t w = ::write(2, line.data() + done, line.size() - done);
                if (w < 0 && errno == EINTR) continue;
                if (w <= 0) break;
                done += static_cast<size_t>(w);
            }
        }
        line.clear();
    }

    int m_read = -1, m_write = -1;
    std::thread m_thread;
    std::mutex m_mutex;
    std::condition_variable m_changed;
    bool m_ended = false;
    std::optional<sDriverCounts> m_counts;
};

// Waits for updates until the deadline, a stop or the driver's end, printing each one; an update
// that has come is printed also when the deadline has passed.
void PrintUpdatesUntil(CDemoHost& host, Clock::time_point deadline, sRun& run) {
    while (g_stop == 0 && !run.driverEnded) {
        run.driverEnded = host.Ended();
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
        if (run.driverEnded) break;
        if (host.WaitForUpdate(static_cast<DWORD>(std::clamp<long long>(left, 0, 100)))) {
            std::printf("%s\n", FormatRecordLine(host.Read()).c_str());
            std::fflush(stdout);
            ++run.updates;
        } else if (left <= 0) {
            break;
        }
    }
}

// The error of binding the port on every address without SO_REUSEADDR; 0 when it can. Any socket
// on the port, whatever its address and options, makes it fail, so that a port that another run's
// driver holds (with SO_REUSEADDR, as every driver binds) is not taken a second time.
int BindError(UINT port) {
    const int s = BoundUdpSocket("0.0.0.0", port, false);
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

// A recording read as a stream whose every read takes what has come and ends at a stop: a pipe
// (a FIFO, /dev/stdin, <(...)) whose writer stays open keeps no stop waiting. Signals restart
// the system calls, so the wait is a poll() that the stop pipe ends as well.
class CRecordingFile : public std::streambuf {
public:
    // Opens without waiting for a FIFO's writer; false with errno set when it cannot.
    bool Open(const std::string& path) {
        m_fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
        return m_fd >= 0;
    }
    ~CRecordingFile() override {
        if (m_fd >= 0) ::close(m_fd);
    }
    CRecordingFile() = default;
    CRecordingFile(const CRecordingFile&) = delete;
    CRecordingFile& operator=(const CRecordingFile&) = delete;
    // Called about every 100 ms while a read waits; when it answers false the wait ends as the
    // recording's end does.
    void SetWhileWaiting(std::function<bool()> call) { m_whileWaiting = std::move(call); }
    // The error that ended the reading, 0 when it ended at the end or at a stop.
    int GetError() const { return m_error; }

protected:
    int_type underflow() override {
        while (m_fd >= 0 && g_stop == 0 && m_error == 0) {
            // Without a stop pipe its entry (-1) is left out, and the timeout bounds the wait.
            pollfd fds[2] = {{m_fd, POLLIN, 0}, {g_stopPipe[0], POLLIN, 0}};
            const int ready = ::poll(fds, 2, m_whileWaiting ? 100 : 1000);
            if (ready < 0 && errno != EINTR) m_error = errno;
            if (ready == 0 && m_whileWaiting && !m_whileWaiting()) break;
            if (ready <= 0 || fds[0].revents == 0) continue;
            const ssize_t n = ::read(m_fd, m_bytes, sizeof m_bytes);
            if (n > 0) {
                setg(m_bytes, m_bytes, m_bytes + n);
                return traits_type::to_int_type(m_bytes[0]);
            }
            if (n == 0) break;
            if (errno != EINTR && errno != EAGAIN) m_error = errno;
        }
        return traits_type::eof();
    }

private:
    int m_fd = -1;
    int m_error = 0;
    std::function<bool()> m_whileWaiting;
    char m_bytes[1 << 16];
};

// Opens the recording and reads ahead to its first sentence; a message and kWrongInput when it is
// no recording. A stop while it reads ahead leaves it without a message.
int OpenRecording(const std::string& file, CRecordingFile& bytes, std::istream& in,
                  std::optional<CRecordingReplay>& replay) {
    boost::system::error_code error;
    if (fs::is_directory(file, error))
        return Fail(kWrongInput, file + " is a folder; --file takes a recording, a text file of NMEA sentences "
                                        "one a line, such as data/demo_track.nmea");
    if (!bytes.Open(file))
        return Fail(kWrongInput, "cannot read " + file + " (" + std::strerror(errno) +
                                     "); --file takes the path of a recording of NMEA sentences");
    in.rdbuf(&bytes);
    replay.emplace(in);
    const bool started = replay->Start();
    if (g_stop != 0) return 0;
    if (bytes.GetError() != 0)
        return Fail(kWrongInput, "cannot read " + file + " (" + std::strerror(bytes.GetError()) + ")");
    if (!started)
        return Fail(kWrongInput, file + " holds no NMEA sentence (no line holds a $), so there is nothing to "
                                        "replay; give --file a recording of sentences");
    return 0;
}

// The lines that hold a "$".
uint64_t CountSentences(const std::string& bytes) {
    uint64_t n = 0;
    for (size_t start = 0; start < bytes.size();) {
        size_t end = bytes.find('\n', start);
        if (end == std::string::npos) end = bytes.size();
        if (bytes.find('$', start) < end) ++n;
        start = end + 1;
    }
    return n;
}

// "N with a wrong checksum, ..." for the counts that are not 0.
std::string RefusedSentences(const sDriverCounts& c) {
    std::string text;
    const auto part = [&](uint64_t n, const char* what) {
        if (n == 0) return;
        text += (text.empty() ? "" : ", ") + std::to_string(n) + what;
    };
    part(c.wrongChecksum, " with a wrong checksum");
    part(c.missingChecksum, " without a checksum");
    part(c.unknownFormat, " of a format it does not decode");
    part(c.unused, " not used");
    return text;
}

// Why a replay made no update, as far as the driver's counts tell.
std::string NoUpdateCause(const sRun& run, const std::optional<sDriverCounts>& counts, const std::string& file) {
    const std::string none = "the driver made no update of " + file;
    if (!counts) return none;
    if (counts->received == 0)
        return none + ": none of the " + std::to_string(run.sent) + " datagrams sent reached it";
    if (counts->decoded == 0)
        return none + ": it decoded none of its sentences (" + RefusedSentences(*counts) + ")" +
               (counts->unknownFormat > 0 ? "; it decodes GGA, RMC, GGK, GLL, GST, GSA, GSV, QUAL, HDT, HDG, HDM, "
                                            "HCD, HCC, ROT and ZDA"
                                          : "");
    return none + ": it decoded " + std::to_string(counts->decoded) +
           " sentences, none of which makes a record alone (the first position sentence only tells the format)";
}

// "sent 12 datagrams (40 sentences); pelorad received 12 and decoded 38 sentences (...)".
std::string CountsText(bool listen, const sRun& run, const std::optional<sDriverCounts>& counts) {
    std::string text;
    if (!listen) text = "sent " + std::to_string(run.sent) + " datagrams (" + std::to_string(run.sentSentences) +
                        " sentences); ";
    if (!counts) return text + "pelorad said nothing of what it received; ";
    text += "pelorad received " + std::to_string(counts->received) + (listen ? " datagrams" : "") + " and decoded " +
            std::to_string(counts->decoded) + " sentences";
    const std::string refused = RefusedSentences(*counts);
    return text + (refused.empty() ? "" : " (" + refused + ")") + "; ";
}

int Run(const sOptions& given) {
    sOptions options = given;
    CatchStopSignals();
    CRecordingFile bytes;
    std::istream in(nullptr);
    std::optional<CRecordingReplay> replay;
    if (!options.listen) {
        if (options.file.empty()) options.file = FindNearProgram("data/demo_track.nmea");
        if (options.file.empty()) options.file = "data/demo_track.nmea";
        if (const int status = OpenRecording(options.file, bytes, in, replay)) return status;
    }
    // A stop before the driver starts ends the run with nothing made.
    if (g_stop != 0) return 0;
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
    if (g_stop != 0) return 0;

    int result = 0;
    const CPrivateIpcFolder folder;
    if (folder.GetPath().empty()) return Fail(kDriverFailed, "no folder for the named objects could be made");
    CDriverErrors errors;
    const std::time_t started = std::time(nullptr);
    CDemoHost host("\"" + driver + "\"", options.port, errors.GetPath());
    errors.CloseWriteEnd();
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
        if (replay->IsTimed()) {
            std::printf("replaying %s at the pace of its sentences' times\n", options.file.c_str());
        } else {
            std::printf("replaying %s: no time of day in its first %zu sentences or %zu KB, so one line a "
                        "datagram, every %.1f s\n",
                        options.file.c_str(), kTimeLookAhead, kTimeLookAheadBytes / 1024, kUntimedPace);
        }
        std::fflush(stdout);
        // The updates of what was sent are printed, and the driver's end noticed, while a pipe's
        // writer has sent nothing more.
        bytes.SetWhileWaiting([&] {
            PrintUpdatesUntil(host, Clock::now(), run);
            return !run.driverEnded;
        });
        const Clock::time_point start = Clock::now();
        const auto due = [&](double at) {
            return start + std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(at));
        };
        while (g_stop == 0 && !run.driverEnded) {
            const std::optional<sReplayDatagram> datagram = replay->Next();
            if (!datagram) break;
            PrintUpdatesUntil(host, due(datagram->at), run);
            if (g_stop != 0 || run.driverEnded) break;
            if (SendDatagram(options.port, datagram->bytes)) {
                ++run.sent;
                run.sentSentences += CountSentences(datagram->bytes);
            } else {
                std::fprintf(stderr, "scripts/run: a datagram could not be sent\n");
            }
        }
        if (bytes.GetError() != 0)
            std::fprintf(stderr, "scripts/run: reading %s failed (%s); the rest is not replayed\n",
                         options.file.c_str(), std::strerror(bytes.GetError()));
        // The last datagram's update.
        PrintUpdatesUntil(host, Clock::now() + std::chrono::milliseconds(500), run);
    }
    std::optional<int> code = run.driverEnded;
    if (!code) code = host.Exit();
    // It may have ended on its own while EXIT was on its way.
    if (!code) code = host.Ended();
    const std::optional<sDriverCounts> counts =
        code ? errors.GetCounts(std::chrono::milliseconds(2000)) : std::nullopt;
    const std::string said = CountsText(options.listen, run, counts) + std::to_string(run.updates) + " updates; ";
    if (code == 0) {
        std::printf("%spelorad ended with code 0\n", said.c_str());
    } else if (code) {
        std::printf("%s%s\n", said.c_str(),
                    DescribeDriverEnd(*code, run.driverEnded.has_value(), driver, started).c_str());
        result = kDriverFailed;
    } else {
        std::printf("%spelorad did not end on EXIT and was stopped\n", said.c_str());
        result = kDriverFailed;
    }
    std::fflush(stdout);
    if (result == 0 && !options.listen && run.updates == 0 && g_stop == 0)
        result = Fail(kDriverFailed, NoUpdateCause(run, counts, options.file));
    return result;
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
    const int status = Run(options);
    // The terminal or the reader of the output is gone: once the driver has ended and the folder is
    // removed, the run ends as that signal ends a program.
    if (g_stop == SIGHUP || g_stop == SIGPIPE) {
        ::signal(g_stop, SIG_DFL);
        ::raise(g_stop);
    }
    return status;
}
