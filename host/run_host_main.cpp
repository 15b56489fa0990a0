// The driver at work: a host sets up a system with position, heading, rate-of-turn and time-tag
// observations, starts `pelorad`, and prints the records of each update on one line. The
// sentences come from a recording replayed to the driver's UDP port at the pace of the
// sentences' own times, or, with --listen, from a real device.
//
// Usage: see kHelp below (scripts/run --help).
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
#include <sys/stat.h>
#include <unistd.h>

#include <boost/filesystem.hpp>
#include <algorithm>
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
#include <set>
#include <string>
#include <string_view>
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
// The most that the replay puts in one datagram.
constexpr size_t kDatagramBytes = 8192;

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

constexpr const char* kUsage = "usage: scripts/run [--file PATH] [--port N] [--listen]";
constexpr const char* kHelp =
    "Starts the driver pelorad under a host of this program's own, sends it NMEA 0183 sentences over UDP\n"
    "and prints one line per update: time, latitude, longitude, height, quality, heading, rate of turn.\n"
    "\n"
    "  --file PATH  replay this recording: a text file of NMEA sentences, one a line, or a pipe\n"
    "               (/dev/stdin, a FIFO); default: data/demo_track.nmea. A compressed one is replayed\n"
    "               through its decompressor: zcat track.nmea.gz | scripts/run --file /dev/stdin\n"
    "  --port N     the UDP port the driver listens on, 1 to 65535; default: a free one, and 10110\n"
    "               with --listen\n"
    "  --listen     replay nothing: print the updates of a device's datagrams until Ctrl-C\n"
    "  -h, --help   print this help and end\n"
    "\n"
    "A value goes after its option or after an \"=\" (--port 5000, --port=5000); each option is given\n"
    "once at most. Exit status: 0 the run ended as asked (Ctrl-C and SIGTERM included), 1 the driver\n"
    "failed, ended by itself or made no update of the recording, 2 wrong arguments or no recording,\n"
    "3 the port cannot be bound. More in README.md, \"What scripts/run shows\".\n";

int Usage(const std::string& problem) {
    std::fprintf(stderr, "scripts/run: %s\n%s (--help says more)\n", problem.c_str(), kUsage);
    return kWrongInput;
}

// "1 datagram", "2 datagrams".
std::string Count(uint64_t n, const char* word) { return std::to_string(n) + " " + word + (n == 1 ? "" : "s"); }

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
    uint64_t updates = 0;
    uint64_t sent = 0, sentSentences = 0;
    uint64_t longLines = 0, unsentSentences = 0;  // on lines too long to send
    std::optional<int> driverEnded;  // its exit code, once it ended by itself
    Clock::time_point lastUpdate{};
    unsigned unanswered = 0;  // the record kinds sent since the last update
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
        struct stat pipe {};
        ::fstat(m_read, &pipe);
        m_pipe = {pipe.st_dev, pipe.st_ino};
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
        } else if (!IsOwnPipe(2)) {
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

    // Whether fd is this relay's pipe, as standard error is while a child starts with its own
    // pointed at it: what is written there would come back to be written again, without end.
    bool IsOwnPipe(int fd) const {
        struct stat file {};
        return ::fstat(fd, &file) == 0 && std::make_pair(file.st_dev, file.st_ino) == m_pipe;
    }

    int m_read = -1, m_write = -1;
    std::pair<dev_t, ino_t> m_pipe{};
    std::thread m_thread;
    std::mutex m_mutex;
    std::condition_variable m_changed;
    bool m_ended = false;
    std::optional<sDriverCounts> m_counts;
};

// Waits for updates until the deadline, a stop or the driver's end (or the first update when
// untilOne), printing each one; an update that has come is printed also when the deadline has passed.
void PrintUpdatesUntil(CDemoHost& host, Clock::time_point deadline, sRun& run, bool untilOne = false) {
    while (g_stop == 0 && !run.driverEnded) {
        run.driverEnded = host.Ended();
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
        if (run.driverEnded) break;
        if (host.WaitForUpdate(static_cast<DWORD>(std::clamp<long long>(left, 0, 100)))) {
            std::printf("%s\n", FormatRecordLine(host.Read()).c_str());
            std::fflush(stdout);
            ++run.updates;
            run.lastUpdate = Clock::now();
            run.unanswered = 0;
            if (untilOne) break;
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

// The driver's crash folder; empty without a home folder.
fs::path CrashFolderOf(const std::string& driver) { return GetCrashDumpFolderOf(fs::path(driver).filename().string()); }

// The files of a crash folder.
std::set<std::string> CrashFolderFiles(const fs::path& folder) {
    std::set<std::string> names;
    boost::system::error_code error;
    if (folder.empty()) return names;
    for (fs::directory_iterator it(folder, error), end; !error && it != end; it.increment(error))
        names.insert(it->path().string());
    return names;
}

// How the driver ended (byItself: before it was asked to), and the crash reports it left in its
// crash folder: those made since it started that were not there before (an earlier crash of the
// same second is not its). SIGKILL leaves none.
std::string DescribeDriverEnd(int code, bool byItself, const std::string& driver, std::time_t started,
                              const std::set<std::string>& before) {
    std::string text;
    if (code > 128 && code < 128 + NSIG) {
        text = "pelorad was ended by signal " + std::to_string(code - 128) + " (" + ::strsignal(code - 128) + ")";
    } else {
        text = std::string("pelorad ended ") + (byItself ? "by itself " : "") + "with code " + std::to_string(code);
    }
    const fs::path folder = CrashFolderOf(driver);
    if (folder.empty()) return text + "; with no home folder it had no crash folder";
    std::string reports;
    for (const std::string& path : code == 128 + SIGKILL ? std::set<std::string>{} : CrashFolderFiles(folder)) {
        boost::system::error_code timeError;
        if (before.count(path) == 0 && fs::last_write_time(path, timeError) >= started && !timeError)
            reports += "\n  " + path;
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
        m_path = path;
        m_fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
        return m_fd >= 0;
    }
    // The first bytes of the recording (what its first read gave), once they have come.
    std::string_view First() {
        if (sgetc() == traits_type::eof()) return {};
        return std::string_view(gptr(), static_cast<size_t>(egptr() - gptr()));
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
        const Clock::time_point waitingSince = Clock::now();
        bool said = false;
        while (m_fd >= 0 && g_stop == 0 && m_error == 0) {
            // Without a stop pipe its entry (-1) is left out, and the timeout bounds the wait.
            pollfd fds[2] = {{m_fd, POLLIN, 0}, {g_stopPipe[0], POLLIN, 0}};
            const int ready = ::poll(fds, 2, m_whileWaiting ? 100 : 1000);
            if (ready < 0 && errno != EINTR) m_error = errno;
            // A pipe whose writer is there but sends nothing would otherwise leave the run silent.
            if (!said && Clock::now() - waitingSince >= std::chrono::seconds(2)) {
                std::fprintf(stderr, "scripts/run: waiting for the recording: nothing has come from %s for 2 s; Ctrl-C ends\n",
                             m_path.c_str());
                said = true;
            }
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
    std::string m_path;
    int m_fd = -1;
    int m_error = 0;
    std::function<bool()> m_whileWaiting;
    char m_bytes[1 << 16];
};

// What a recording whose first bytes are no text looks like, and what to do with it; empty for
// text. Compressed files are known by their first bytes, UTF-16 by its byte-order mark or its zero
// bytes; anything else by a NUL byte, or by more than a quarter of bytes that no NMEA line holds
// (a UTF-8 byte-order mark aside).
std::string DescribeNotText(std::string_view first, const std::string& file) {
    const std::string replay = " | scripts/run --file /dev/stdin";
    static constexpr struct {
        std::string_view magic;
        const char* kind;
        const char* reader;
    } kCompressed[] = {{"\x1f\x8b", "gzip", "zcat "},
                       {"BZh", "bzip2", "bzcat "},
                       {std::string_view("\xfd" "7zXZ\0", 6), "xz", "xzcat "},
                       {"\x28\xb5\x2f\xfd", "zstd", "zstdcat "},
                       {"PK\x03\x04", "zip", "unzip -p "}};
    for (const auto& c : kCompressed)
        if (first.substr(0, c.magic.size()) == c.magic)
            return file + " is a " + c.kind + "-compressed file, not a text of NMEA sentences; replay what it holds: " +
                   c.reader + file + replay;
    // UTF-16, by its byte-order mark, or by its zero bytes: every other one, as ASCII in UTF-16 has.
    const auto zeroEveryOther = [&](size_t from) {
        if (first.size() < 4) return false;
        for (size_t i = from; i < first.size(); i += 2)
            if (first[i] != '\0') return false;
        return true;
    };
    const char* utf16 = first.substr(0, 2) == "\xFF\xFE" || first.substr(0, 2) == "\xFE\xFF" ? "UTF-16"
                        : zeroEveryOther(1)                                                 ? "UTF-16LE"
                        : zeroEveryOther(0)                                                 ? "UTF-16BE"
                                                                                            : nullptr;
    if (utf16 != nullptr)
        return file + " is " + utf16 + " text, and NMEA sentences are ASCII; replay it converted: iconv -f " + utf16 +
               " -t UTF-8 " + file + replay;
    if (first.substr(0, 3) == "\xEF\xBB\xBF") first.remove_prefix(3);
    size_t other = 0;
    for (const char c : first) other += (c >= 0x20 && c <= 0x7E) || c == '\t' || c == '\r' || c == '\n' ? 0 : 1;
    const std::string told = first.find('\0') != std::string_view::npos ? "holds NUL bytes"
                             : other * 4 > first.size() ? "is mostly bytes that no NMEA line holds"
                                                         : "";
    if (told.empty()) return {};
    return file + " is no text: its first block " + told +
           "; --file takes a text file of NMEA sentences, one a line (a compressed one through its decompressor, "
           "as in zcat track.nmea.gz" + replay + ")";
}

// Opens the recording and reads ahead to its first sentence; a message and kWrongInput when it is
// no recording. A stop while it reads ahead leaves it without a message. Each line too long to send
// is said as it comes, and counted in run.
int OpenRecording(const std::string& file, CRecordingFile& bytes, std::istream& in,
                  std::optional<CRecordingReplay>& replay, sRun& run) {
    boost::system::error_code error;
    if (fs::is_directory(file, error))
        return Fail(kWrongInput, file + " is a folder; --file takes a recording, a text file of NMEA sentences "
                                        "one a line, such as data/demo_track.nmea");
    if (!bytes.Open(file))
        return Fail(kWrongInput, "cannot read " + file + " (" + std::strerror(errno) +
                                     "); --file takes the path of a recording of NMEA sentences");
    const std::string notText = DescribeNotText(bytes.First(), file);
    if (g_stop != 0) return 0;
    if (!notText.empty()) return Fail(kWrongInput, notText);
    in.rdbuf(&bytes);
    replay.emplace(in, 10.0, kDatagramBytes);
    replay->SetLongLineCall([&run, file](uint64_t line, uint64_t sentences) {
        ++run.longLines;
        run.unsentSentences += sentences;
        std::fprintf(stderr, "scripts/run: line %llu of %s is longer than a datagram takes (%zu bytes with its line "
                     "end); its %s not sent\n", static_cast<unsigned long long>(line), file.c_str(), kDatagramBytes,
                     sentences == 1 ? "sentence is" : (std::to_string(sentences) + " sentences are").c_str());
    });
    const bool started = replay->Start();
    if (g_stop != 0) return 0;
    if (bytes.GetError() != 0)
        return Fail(kWrongInput, "cannot read " + file + " (" + std::strerror(bytes.GetError()) + ")");
    if (!started && run.longLines > 0)
        return Fail(kWrongInput, file + " holds no NMEA sentence on a line short enough to send, so there is "
                                        "nothing to replay; give --file a recording of sentences, one a line");
    if (!started)
        return Fail(kWrongInput, file + " holds no NMEA sentence (no line holds a $), so there is nothing to "
                                        "replay; give --file a recording of sentences");
    return 0;
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
        return none + (run.sent == 1 ? ": the datagram sent did not reach it"
                                     : ": none of the " + std::to_string(run.sent) + " datagrams sent reached it");
    if (counts->decoded == 0)
        return none + ": it decoded none of its sentences (" + RefusedSentences(*counts) + ")" +
               (counts->unknownFormat > 0 ? "; it decodes GGA, RMC, GGK, GLL, GST, GSA, GSV, QUAL, HDT, HDG, HDM, "
                                            "HCD, HCC, ROT and ZDA"
                                          : "");
    return none + ": it decoded " + Count(counts->decoded, "sentence") +
           (counts->decoded == 1 ? ", which makes no record alone" : ", none of which makes a record alone") +
           " (the first position sentence only tells the format)";
}

// "sent 12 datagrams (40 sentences); pelorad received 12 and decoded 38 sentences (...)".
std::string CountsText(bool listen, const sRun& run, const std::optional<sDriverCounts>& counts) {
    std::string text;
    if (!listen)
        text = "sent " + Count(run.sent, "datagram") + " (" + Count(run.sentSentences, "sentence") +
               (run.unsentSentences > 0 ? ", and " + std::to_string(run.unsentSentences) +
                                              " not sent: on lines longer than a datagram takes"
                                        : "") +
               "); ";
    if (!counts) return text + "pelorad said nothing of what it received; ";
    text += "pelorad received " + (listen ? Count(counts->received, "datagram") : std::to_string(counts->received)) +
            " and decoded " + Count(counts->decoded, "sentence");
    const std::string refused = RefusedSentences(*counts);
    return text + (refused.empty() ? "" : " (" + refused + ")") + "; ";
}

int Run(const sOptions& given) {
    sOptions options = given;
    CRecordingFile bytes;
    std::istream in(nullptr);
    std::optional<CRecordingReplay> replay;
    sRun run;
    if (!options.listen) {
        if (options.file.empty()) options.file = FindNearProgram("data/demo_track.nmea");
        if (options.file.empty()) options.file = "data/demo_track.nmea";
        if (const int status = OpenRecording(options.file, bytes, in, replay, run)) return status;
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
    const std::set<std::string> crashFilesBefore = CrashFolderFiles(CrashFolderOf(driver));
    const std::time_t started = std::time(nullptr);
    CDemoHost host("\"" + driver + "\"", options.port, errors.GetPath());
    errors.CloseWriteEnd();
    if (!host.Start()) {
        const std::optional<int> code = host.Ended();
        return Fail(kDriverFailed, host.GetError() + (code ? "; " + DescribeDriverEnd(*code, true, driver, started, crashFilesBefore) : ""));
    }
    std::printf("pelorad (process %u) is listening on UDP port %u\n", host.GetDriverProcessId(), options.port);
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
        Clock::time_point lastSent{};
        // Whether the last wait for an update ran out: datagrams that make none (a first position)
        // are not waited for long again until an update comes. A sentence whose checksum fails
        // makes no record, and is not waited for at all.
        bool ranOut = false;
        while (g_stop == 0 && !run.driverEnded) {
            const std::optional<sReplayDatagram> datagram = replay->Next();
            if (!datagram) break;
            PrintUpdatesUntil(host, due(datagram->at), run);
            // The driver keeps one record of a kind per millisecond of its clock, which it reads as it
            // takes a datagram, and the host reads the last update only: a datagram that catches up
            // waits for the update of the one before that has a kind of it (up to 1 s, or 50 ms after
            // a wait that ran out), and goes 2 ms after that update and after the last datagram.
            if ((run.unanswered & datagram->validKinds) != 0) {
                PrintUpdatesUntil(host, lastSent + std::chrono::milliseconds(ranOut ? 50 : 1000), run, true);
                ranOut = (run.unanswered & datagram->validKinds) != 0;
            }
            const Clock::time_point apart = std::max(lastSent, run.lastUpdate) + std::chrono::milliseconds(2);
            if (Clock::now() < apart) std::this_thread::sleep_until(apart);
            if (g_stop != 0 || run.driverEnded) break;
            lastSent = Clock::now();
            if (SendDatagram(options.port, datagram->bytes)) {
                ++run.sent;
                run.sentSentences += datagram->sentences;
                run.unanswered |= datagram->validKinds;
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
    const std::string said = CountsText(options.listen, run, counts) + Count(run.updates, "update") + "; ";
    if (code == 0) {
        std::printf("%spelorad ended with code 0\n", said.c_str());
    } else if (code) {
        std::printf("%s%s\n", said.c_str(),
                    DescribeDriverEnd(*code, run.driverEnded.has_value(), driver, started, crashFilesBefore).c_str());
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
    // First: a stop that comes before the driver started ends the run with nothing made.
    CatchStopSignals();
    sOptions options;
    bool fileGiven = false, portGiven = false, listenGiven = false;
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        // "--port=5000" as "--port 5000".
        std::optional<std::string> value;
        if (const size_t equals = arg.find('='); arg.rfind("--", 0) == 0 && equals != std::string::npos) {
            value = arg.substr(equals + 1);
            arg.erase(equals);
        }
        if (arg == "--help" || arg == "-h" || arg == "--listen") {
            if (value) return Usage(arg + " takes no value");
            if (arg == "--listen") {
                if (listenGiven) return Usage("--listen is given twice; give it once");
                options.listen = listenGiven = true;
                continue;
            }
            std::printf("%s\n\n%s", kUsage, kHelp);
            return 0;
        }
        if (arg != "--file" && arg != "--port") return Usage("unknown argument " + std::string(argv[i]));
        bool& given = arg == "--file" ? fileGiven : portGiven;
        if (given) return Usage(arg + " is given twice; give it once");
        given = true;
        if (!value) {
            if (i + 1 == argc)
                return Usage(arg == "--file" ? "--file needs a value: the path of a recording"
                                             : "--port needs a value: a UDP port from 1 to 65535");
            value = argv[++i];
        }
        if (arg == "--file") {
            // An empty path would replay the demo track in place of the recording asked for.
            if (value->empty()) return Usage("--file needs a value: the path of a recording, not an empty text");
            options.file = *value;
        } else {
            // Decimal digits alone: no sign, no blank, nothing after.
            long port = 0;
            for (const char c : *value) {
                if (c < '0' || c > '9') {
                    port = 0;
                    break;
                }
                port = std::min(port * 10 + (c - '0'), 100000L);
            }
            if (port < 1 || port > 65535) return Usage("--port " + *value + ": the port is a number from 1 to 65535");
            options.port = static_cast<UINT>(port);
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
