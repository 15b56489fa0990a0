#include "host/demo_host.h"

#include <fcntl.h>
#include <spawn.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <boost/filesystem.hpp>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "driver/drv_base_socket.h"
#include "host/definition_samples.h"
#include "host/driver_samples.h"

namespace Vok::Test {

namespace {

namespace fs = boost::filesystem;

constexpr DWORD POSITION_BLOCK_TYPE = 35;
constexpr DWORD NAV_BLOCK_TYPE = 11;
constexpr DWORD HEADING_RING_BLOCK_TYPE = 86;
constexpr DWORD TIMETAG_BLOCK_TYPE = 115;

bool IsWritableFolder(const char* path) { return path != nullptr && *path != '\0' && ::access(path, W_OK | X_OK) == 0; }

// Record 1 of a block that holds one, and when it was written when the block says; nothing
// otherwise. The caller holds the lock.
template <typename Record>
std::optional<Record> ReadFirst(IpcBufferHandle& buffer, DWORD block, std::optional<double>* written = nullptr) {
    if (block == 0 || block > buffer.buffer.GetBlockCount() || buffer.buffer.GetRecordCount(block - 1) == 0)
        return std::nullopt;
    Record record{};
    if (buffer.ReadRecord(block, 1, &record, sizeof record) == 0) return std::nullopt;
    // Unset, a block's time has negative seconds.
    const sMjdTime* time = buffer.buffer.GetBlockTime(block - 1);
    if (written != nullptr && time->seconds >= 0.0) *written = (time->day - 40587) * 86400.0 + time->seconds;
    return record;
}

// Makes a folder pelorad-run-XXXXXX under base and tells its path on its standard output (a reader
// already gone does not end it), then
// removes it, once the driver has removed its own files or after 3 s, when its standard input ends
// without the folder gone: the process that started it was killed. The folder is made by it, so no
// kill of that process at any moment leaves a folder without a remover. A session of its own keeps
// it from the terminal's Ctrl-C and hang-up.
pid_t StartFolderCleaner(const std::string& base, int input, int output) {
    static const char* const kScript =
        "trap '' PIPE; d=$(mktemp -d \"$0/pelorad-run-XXXXXX\") || exit 1; printf '%s\\n' \"$d\"; exec 1>/dev/null; "
        "read -r _; [ -d \"$d\" ] || exit 0; i=0; "
        "while [ \"$i\" -lt 30 ] && [ -n \"$(ls -A \"$d\")\" ]; do sleep 0.1; i=$((i + 1)); done; rm -rf \"$d\"";
    posix_spawn_file_actions_t actions;
    posix_spawnattr_t attributes;
    ::posix_spawn_file_actions_init(&actions);
    ::posix_spawnattr_init(&attributes);
    ::posix_spawn_file_actions_adddup2(&actions, input, 0);
    ::posix_spawn_file_actions_adddup2(&actions, output, 1);
    ::posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    ::posix_spawn_file_actions_addclosefrom_np(&actions, 3);
    sigset_t none;
    ::sigemptyset(&none);
    ::posix_spawnattr_setsigmask(&attributes, &none);
    ::posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSID | POSIX_SPAWN_SETSIGMASK);
    const char* argv[] = {"sh", "-c", kScript, base.c_str(), nullptr};
    pid_t pid = -1;
    if (::posix_spawn(&pid, "/bin/sh", &actions, &attributes, const_cast<char* const*>(argv), environ) != 0) pid = -1;
    ::posix_spawn_file_actions_destroy(&actions);
    ::posix_spawnattr_destroy(&attributes);
    return pid;
}

// The line that fd gives before its end; empty when none comes.
std::string ReadLine(int fd) {
    std::string line;
    char c;
    for (;;) {
        const ssize_t n = ::read(fd, &c, 1);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0 || c == '\n') return n <= 0 ? std::string() : line;
        line += c;
    }
}

}  // namespace

CPrivateIpcFolder::CPrivateIpcFolder() {
    const char* tmp = ::getenv("TMPDIR");
    const std::string base = IsWritableFolder(tmp) ? tmp : IsWritableFolder("/dev/shm") ? "/dev/shm" : "/tmp";
    int ends[2];
    if (::pipe2(ends, O_CLOEXEC) != 0) return;
    int told[2];
    if (::pipe2(told, O_CLOEXEC) != 0) {
        ::close(ends[0]);
        ::close(ends[1]);
        return;
    }
    m_cleanerPipe = ends[1];
    m_cleaner = StartFolderCleaner(base, ends[0], told[1]);
    ::close(ends[0]);
    ::close(told[1]);
    m_path = m_cleaner > 0 ? ReadLine(told[0]) : std::string();
    ::close(told[0]);
    if (!m_path.empty()) ::setenv("VOK_IPC_DIR", m_path.c_str(), 1);
}

CPrivateIpcFolder::~CPrivateIpcFolder() {
    if (m_path.empty()) {
        if (m_cleanerPipe >= 0) ::close(m_cleanerPipe);
        if (m_cleaner > 0) ::waitpid(m_cleaner, nullptr, 0);
        return;
    }
    boost::system::error_code error;
    for (fs::directory_iterator it(m_path, error), end; !error && it != end; it.increment(error))
        std::fprintf(stderr, "left behind and removed: %s\n", it->path().filename().string().c_str());
    fs::remove_all(m_path, error);
    if (m_cleanerPipe >= 0) ::close(m_cleanerPipe);
    if (m_cleaner > 0) ::waitpid(m_cleaner, nullptr, 0);
}

std::string FindNearProgram(const std::string& relativePath) {
    boost::system::error_code error;
    const fs::path program = fs::read_symlink("/proc/self/exe", error);
    if (!error) {
        for (fs::path folder = program.parent_path(); !folder.empty(); folder = folder.parent_path()) {
            const fs::path candidate = folder / relativePath;
            if (fs::is_regular_file(candidate, error)) return candidate.string();
            if (folder == folder.root_path()) break;
        }
    }
    return {};
}

std::string FormatRecordLine(const sDemoRecords& r) {
    char text[256];
    std::string line;
    if (r.updateTime) {
        const SYSTEMTIME& t = *r.updateTime;
        std::snprintf(text, sizeof text, "%04u-%02u-%02u %02u:%02u:%02u.%03u", t.wYear, t.wMonth, t.wDay, t.wHour,
                      t.wMinute, t.wSecond, t.wMilliseconds);
        line = text;
    } else {
        line = "-                      ";
    }
    // A value that the driver marks invalid reads as missing, never as a measurement: a fix of
    // quality 0 or below (no fix, an RMC or GLL of status V), a height of exactly 0 (what RMC and
    // GLL, which carry none, and an empty height field leave), a heading or rate of negative status.
    // A record that its sensor has not renewed for a while is not shown as the current value.
    const auto current = [&](const std::optional<double>& written) {
        return !written || !r.updateReceived || *r.updateReceived - *written <= kCurrentSeconds;
    };
    const bool position = r.position && current(r.positionReceived);
    const bool fix = position && r.position->lQuality > 0;
    const auto value = [&](bool valid, const char* format, double v, int width) {
        if (valid)
            std::snprintf(text, sizeof text, format, v);
        else
            std::snprintf(text, sizeof text, "%*s", width, "-");
        return std::string(text);
    };
    line += "  lat " + value(fix, "%12.8f", fix ? r.position->dLatitude : 0.0, 12);
    line += "  lon " + value(fix, "%13.8f", fix ? r.position->dLongitude : 0.0, 13);
    line += "  h " + value(fix && r.position->dHeight != 0.0, "%8.3f", fix ? r.position->dHeight : 0.0, 8) + " m";
    if (position)
        std::snprintf(text, sizeof text, "  q %2d", static_cast<int>(r.position->lQuality));
    else
        std::snprintf(text, sizeof text, "  q %2s", "-");
    line += text;
    const bool heading = r.heading && r.heading->fStatus >= 0.0f && current(r.headingReceived);
    line += "  hdg " + value(heading, "%7.2f", heading ? r.heading->dHeading : 0.0, 7);
    const bool rate = r.rateOfTurn && r.rateOfTurn->fStatus >= 0.0f && current(r.rateReceived);
    line += "  rot " + value(rate, "%+6.1f", rate ? r.rateOfTurn->dRate : 0.0, 6) + " deg/min";
    return line;
}

CDemoHost::CDemoHost(const std::string& driverCommandLine, UINT port, const std::string& standardErrorPath,
                     DWORD timeTagType)
    : m_host(driverCommandLine, 1, standardErrorPath), m_port(port), m_timeTagType(timeTagType) {
    // At most 15 characters and its zero: the driver reads 16 bytes of name.
    m_outputName = "OUT_" + std::to_string(::getpid() % 100000000);
}

CDemoHost::~CDemoHost() { m_output.reset(); }

bool CDemoHost::Start() {
    if (!m_host.Link().IsStarted()) {
        m_error = std::string("the driver did not start: ") + m_host.Link().GetStartError().c_str();
        return false;
    }
    sDriverSettings s;
    s.system = MakeSysDef(kSystemId, 0, 0, 0, 0);
    SetFieldText(s.system.name, "NMEA receiver");
    s.system.port = m_port;
    s.system.timeTagType = m_timeTagType;
    s.system.timeSource = m_timeTagType != 0 ? 4 : 0;
    s.outputName = m_outputName;
    s.systems.Add(s.system);
    s.nodes.Add(MakeNodeDef(1, 1, 1, 2, 0.0, 0.0, 0.0));
    FillResultObsDefs(s.observations, kSystemId);
    if (!m_host.PublishSettings(s)) {
        m_error = "the settings could not be written";
        return false;
    }
    if (!m_host.SendCommandWhileRunning(CMD_INIT) || !m_host.SendCommandWhileRunning(CMD_SETTINGS)) {
        m_error = "the driver did not acknowledge INIT and SETTINGS";
        return false;
    }
    try {
        m_output = std::make_unique<IpcBufferHandle>(m_outputName.c_str(), 0);
    } catch (const std::exception& e) {
        m_error = std::string("the output buffer cannot be opened: ") + e.what();
        return false;
    }
    FindResultBlocks();
    // A buffer that could not grow (a full file system) leaves the updates without their records.
    std::string missing;
    for (const auto& [block, kind] : {std::pair{m_timeBlock, "time"}, std::pair{m_positionBlock, "position"},
                                      std::pair{m_headingBlock, "heading"}, std::pair{m_rateBlock, "rate of turn"},
                                      std::pair{m_timeTagBlock, "time tag"}})
        if (block == 0) missing += (missing.empty() ? "" : ", ") + std::string(kind);
    if (!missing.empty()) {
        m_error = "the output buffer \"" + m_outputName + "\" lacks result blocks (" + missing +
                  "): the driver could not add them, its standard error says why";
        return false;
    }
    return true;
}

void CDemoHost::FindResultBlocks() {
    const CBufferHold hold(*m_output);
    if (!hold) return;
    // The last time block is the one the last INIT added. Of the two blocks of type 11, the
    // heading's is the one the heading ring follows.
    const std::vector<DWORD> times = FindBlocks(*m_output, TIME_BLOCK_TYPE);
    if (!times.empty()) m_timeBlock = times.back();
    const std::vector<DWORD> positions = FindBlocks(*m_output, POSITION_BLOCK_TYPE);
    if (!positions.empty()) m_positionBlock = positions.back();
    const std::vector<DWORD> tags = FindBlocks(*m_output, TIMETAG_BLOCK_TYPE);
    if (!tags.empty()) m_timeTagBlock = tags.back();
    const std::vector<DWORD> rings = FindBlocks(*m_output, HEADING_RING_BLOCK_TYPE);
    for (const DWORD block : FindBlocks(*m_output, NAV_BLOCK_TYPE)) {
        const bool ringFollows = !rings.empty() && rings.back() == block + 1;
        (ringFollows ? m_headingBlock : m_rateBlock) = block;
    }
}

sDemoRecords CDemoHost::Read() {
    sDemoRecords r;
    if (!m_output) return r;
    const CBufferHold hold(*m_output);
    if (!hold) return r;
    if (const auto time = ReadFirst<TimeBlockRecord>(*m_output, m_timeBlock, &r.updateReceived))
        r.updateTime = time->stTime;
    r.position = ReadFirst<PosRecord>(*m_output, m_positionBlock, &r.positionReceived);
    r.heading = ReadFirst<NavRecord>(*m_output, m_headingBlock, &r.headingReceived);
    r.rateOfTurn = ReadFirst<RotRecord>(*m_output, m_rateBlock, &r.rateReceived);
    r.timeTag = ReadFirst<TimetagRecord>(*m_output, m_timeTagBlock);
    return r;
}

std::optional<int> CDemoHost::Exit(DWORD timeoutMs) {
    if (!m_host.SendCommand(CMD_EXIT, timeoutMs)) return std::nullopt;
    return m_host.WaitForExit(timeoutMs);
}

}  // namespace Vok::Test
