#include "platform/crash_handler.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include <boost/filesystem.hpp>

#include "compat/debug_output.h"
#include "platform/process_launch.h"
#include "tests/support/file_helpers.h"
#include "tests/support/minidump_reader.h"
#include "tests/support/peer_process.h"

namespace {

using namespace std::chrono_literals;
using Vok::Test::CScopedEnvironment;
using Vok::Test::CTempFolder;
using Vok::Test::ReadTextFile;

std::vector<std::string> FilesIn(const std::string& folder) {
    std::vector<std::string> files;
    boost::system::error_code ec;
    for (boost::filesystem::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec))
        files.push_back(it->path().string());
    return files;
}

bool Has(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

// The one file in files whose name starts with prefix; "" when there is none or more than one.
std::string FileNamed(const std::vector<std::string>& files, const std::string& prefix) {
    std::string found;
    for (const std::string& f : files) {
        if (boost::filesystem::path(f).filename().string().rfind(prefix, 0) != 0) continue;
        if (!found.empty()) return "";
        found = f;
    }
    return found;
}

// The module and the address of "in module <name> at <cs>:<address>." in a crash log.
std::pair<std::string, uint64_t> LoggedPlace(const std::string& log) {
    const std::size_t module = log.find("in module ");
    const std::size_t at = log.find(" at ", module);
    const std::size_t colon = log.find(':', at);
    if (module == std::string::npos || at == std::string::npos || colon == std::string::npos) return {};
    return {log.substr(module + 10, at - module - 10), std::stoull(log.substr(colon + 1), nullptr, 16)};
}

constexpr uint32_t kThreadList = 3, kModuleList = 4, kMemoryList = 5, kException = 6, kSystemInfo = 7,
                   kMemory64List = 9, kMiscInfo = 15, kLinuxMaps = 0x47670009;

// Where the dumps' exception stream puts the fault: the instruction, or for SIGSEGV and SIGBUS
// the data address that faulted.
enum class eFaultAt { Instruction, Null, NearStack, Data };

// What every dump of the crash peer holds, whatever the fault.
void CheckPeerDump(const std::string& path, uint64_t flags, uint64_t loggedAddress, const std::string& loggedModule,
                   uint32_t signal, int siCode, eFaultAt faultAt, pid_t pid, bool stackHoldsSp, bool cut) {
    SCOPED_TRACE(path);
    const Vok::Test::CMinidumpReader dump(path);
    ASSERT_EQ(dump.Error(), "");
    EXPECT_EQ(dump.Cut(), cut);
    EXPECT_EQ(dump.Signature(), 0x504D444Du);
    EXPECT_EQ(dump.Version() & 0xFFFF, 0xA793u);
    EXPECT_EQ(dump.Flags(), flags);
    for (const uint32_t type : {kSystemInfo, kMiscInfo, kThreadList, kException, kModuleList, kLinuxMaps})
        EXPECT_TRUE(dump.HasStream(type)) << type;
    EXPECT_EQ(dump.HasStream(kMemoryList), (flags & 2) == 0);
    EXPECT_EQ(dump.HasStream(kMemory64List), (flags & 2) != 0);
    EXPECT_EQ(dump.Architecture(), 9);  // x86-64
    EXPECT_EQ(dump.Platform(), 0x8201u);  // Linux
    EXPECT_EQ(dump.ProcessId(), static_cast<uint32_t>(pid));
    ASSERT_TRUE(dump.Exception().has_value());
    const Vok::Test::sDumpException& e = *dump.Exception();
    EXPECT_EQ(e.code, signal);
    EXPECT_EQ(e.flags, static_cast<uint32_t>(siCode));
    EXPECT_EQ(e.rip, loggedAddress);
    ASSERT_EQ(dump.Threads().size(), 1u);
    const Vok::Test::sDumpThread& thread = dump.Threads()[0];
    EXPECT_EQ(thread.id, e.threadId);
    EXPECT_EQ(thread.rip, loggedAddress);
    EXPECT_GT(thread.stackSize, 0u);
    switch (faultAt) {
    case eFaultAt::Instruction: EXPECT_EQ(e.address, loggedAddress); break;
    case eFaultAt::Null: EXPECT_EQ(e.address, 0u); break;
    case eFaultAt::NearStack: EXPECT_LT(std::max(e.address, thread.rsp) - std::min(e.address, thread.rsp), 65536u); break;
    case eFaultAt::Data: EXPECT_NE(e.address, 0u); EXPECT_NE(e.address, loggedAddress); break;
    }
    // No memory of the kernel's own mappings ([vvar], [vvar_vclock], [vdso] ...), as the dump's maps name them.
    std::istringstream maps(dump.Maps());
    for (std::string line; std::getline(maps, line);) {
        uint64_t start = 0, end = 0;
        if (line.find(" [v") == std::string::npos || std::sscanf(line.c_str(), "%lx-%lx", &start, &end) != 2) continue;
        for (const Vok::Test::sDumpMemory& m : dump.Memory()) EXPECT_FALSE(m.start < end && start < m.start + m.size) << line;
    }
    // The stack's words are in the memory list, from the stack pointer on; in a dump cut short
    // the memory at the top of the address space is gone.
    if (stackHoldsSp && !cut) {
        EXPECT_LE(thread.stackStart, thread.rsp);
        EXPECT_GT(thread.stackStart + thread.stackSize, thread.rsp);
        EXPECT_TRUE(dump.ReadMemory(thread.rsp, 64).has_value());
    }
    const std::string program = boost::filesystem::canonical(VOK_BINARY_DIR "/tests/crash_peer").string();
    bool found = false;
    std::string faultingModule;
    for (const Vok::Test::sDumpModule& m : dump.Modules()) {
        if (loggedAddress >= m.base && loggedAddress - m.base < m.size) faultingModule = m.name;
        if (m.name != program) continue;
        found = true;
        EXPECT_EQ(m.buildId, Vok::Test::ReadElfBuildId(program));
        EXPECT_FALSE(m.buildId.empty());
    }
    EXPECT_TRUE(found);
    // The module that the log names holds the address.
    EXPECT_EQ(FindFileNamePart(faultingModule.c_str()), loggedModule);
    EXPECT_NE(dump.Maps().find("crash_peer\n"), std::string::npos);
}

std::string EarlierLog(const std::string& folder, int i) {
    return folder + "/CrashLog_crash_peer_20200101-0000" + std::to_string(10 + i) + ".txt";
}

struct sFaultRow {
    const char* mode;
    int status;
    const char* header;
    uint32_t signal;     // the dumps' exception code
    int siCode;          // and their exception flags
    eFaultAt faultAt;
    bool fullDump;
    int earlierReports;  // in the crash folder before the fault
    int ageShift = 0;    // report i is the ((i + ageShift) mod earlierReports)-th oldest
};

class CrashHandlerDeath : public ::testing::TestWithParam<sFaultRow> {};

// One row a test, so that each has the watchdog's time for itself.
TEST_P(CrashHandlerDeath, EachFaultLeavesItsReportAndDumpsAndEndsWithTheSignalStatus) {
    const sFaultRow& row = GetParam();
    CTempFolder appData;
    CScopedEnvironment env("XDG_DATA_HOME", appData.Path());
    const std::string folder = appData / "VOK/CrashDumps/crash_peer";
    boost::filesystem::create_directories(folder);
    Vok::Test::WriteTextFile(folder + "/notes.txt", "kept");
    // Named like reports, but a link and a FIFO are none.
    const std::string link = folder + "/CrashLog_crash_peer_20190101-000000.txt";
    const std::string fifo = folder + "/MiniDump_crash_peer_20190101-000000.dmp";
    boost::filesystem::create_symlink(folder + "/notes.txt", link);
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    // Earlier reports, a crash log each. The folder lists them in an order of its own; two ways of
    // aging them keep the newest nine from always coming first in it.
    const auto age = [&](int i) { return (i + row.ageShift) % row.earlierReports; };
    for (int i = 0; i < row.earlierReports; ++i) {
        Vok::Test::WriteTextFile(EarlierLog(folder, i), "");
        boost::filesystem::last_write_time(EarlierLog(folder, i), std::time(nullptr) - 3600 + age(i));
    }
    Vok::Test::CPeerProcess peer({VOK_BINARY_DIR "/tests/crash_peer", row.mode});
    if (std::string(row.mode) == "wait") {
        ASSERT_EQ(peer.ReadLine(20000ms), "READY");
        peer.Kill(SIGSEGV);
    }
    // A report path that touched the heap would end the peer with 3.
    EXPECT_EQ(peer.Wait(20000ms), row.status);
    // The newest nine stay beside the new report; other files are left alone.
    for (int i = 0; i < row.earlierReports; ++i)
        EXPECT_EQ(boost::filesystem::remove(EarlierLog(folder, i)), age(i) >= row.earlierReports - 9) << i;
    EXPECT_TRUE(boost::filesystem::remove(folder + "/notes.txt"));
    EXPECT_TRUE(boost::filesystem::remove(link));
    EXPECT_TRUE(boost::filesystem::remove(fifo));
    const std::vector<std::string> files = FilesIn(folder);
    ASSERT_EQ(files.size(), row.fullDump ? 3u : 2u);
    const std::string logPath = FileNamed(files, "CrashLog_crash_peer_");
    const std::string miniPath = FileNamed(files, "MiniDump_crash_peer_");
    const std::string fullPath = FileNamed(files, "FullDump_crash_peer_");
    ASSERT_NE(logPath, "");
    ASSERT_NE(miniPath, "");
    EXPECT_EQ(fullPath.empty(), !row.fullDump);
    // All three carry the same time stamp.
    EXPECT_EQ(miniPath.substr(miniPath.size() - 19), logPath.substr(logPath.size() - 19, 15) + ".dmp");
    const std::string log = ReadTextFile(logPath).value_or("");
    EXPECT_EQ(log.rfind(row.header, 0), 0u) << log.substr(0, 200);
    EXPECT_TRUE(Has(log, "Exception handler called in CCrashHandler::Handle.\r\n"));
    EXPECT_TRUE(Has(log, "\r\n\r\nStack:\r\n0x"));
    EXPECT_TRUE(Has(log, "\r\nModule 1\r\n"));
    EXPECT_TRUE(Has(log, "/crash_peer\r\nImage Base: 0x"));
    EXPECT_TRUE(Has(log, "\r\n===== [end of crash log] =====\r\n"));
    EXPECT_EQ(Has(log, "Write to location 00000000 caused an access violation.\r\n"), Has(row.header, "Access"));
    const auto [module, address] = LoggedPlace(log);
    EXPECT_NE(address, 0u);
    // After a stack overflow the stack pointer lies below the stack's mapping.
    const bool stackHoldsSp = std::string(row.mode) != "recursion";
    CheckPeerDump(miniPath, 0x101, address, module, row.signal, row.siCode, row.faultAt, peer.GetPid(), stackHoldsSp,
                  false);
    // Cut short by the report's deadline, the full dump still holds what it got to.
    if (row.fullDump)
        CheckPeerDump(fullPath, 0x103, address, module, row.signal, row.siCode, row.faultAt, peer.GetPid(), stackHoldsSp,
                      std::string(row.mode) == "cut");
}

INSTANTIATE_TEST_SUITE_P(
    Faults, CrashHandlerDeath,
    ::testing::Values(
        sFaultRow{"null-write", 128 + SIGSEGV, "crash_peer caused an Access Violation (0xc0000005) \r\nin module crash_peer at ", SIGSEGV, SEGV_MAPERR, eFaultAt::Null, true, 0},
        sFaultRow{"cut", 128 + SIGSEGV, "crash_peer caused an Access Violation (0xc0000005) \r\nin module crash_peer at ", SIGSEGV, SEGV_MAPERR, eFaultAt::Null, true, 0},
        sFaultRow{"divide", 128 + SIGFPE, "crash_peer caused an Integer Divide by Zero (0xc0000094) \r\nin module crash_peer at ", SIGFPE, FPE_INTDIV, eFaultAt::Instruction, true, 0},
        sFaultRow{"exception", 128 + SIGABRT, "crash_peer caused a Microsoft C++ Exception (0xe06d7363) \r\n", SIGABRT, SI_TKILL, eFaultAt::Instruction, true, 0},
        sFaultRow{"abort", 128 + SIGABRT, "crash_peer caused an Abort (0x40000015) \r\n", SIGABRT, SI_TKILL, eFaultAt::Instruction, true, 0},
        sFaultRow{"recursion", 128 + SIGSEGV, "crash_peer caused a Stack Overflow (0xc00000fd) \r\nin module crash_peer at ", SIGSEGV, SEGV_MAPERR, eFaultAt::NearStack, true, 0},
        // Past the guard of shared mappings, which knows no such file.
        sFaultRow{"bus", 128 + SIGBUS, "crash_peer caused an In Page Error (0xc0000006) \r\nin module crash_peer at ", SIGBUS, BUS_ADRERR, eFaultAt::Data, false, 0},
        // Only the first of two faulting threads reports.
        sFaultRow{"two-threads", 128 + SIGSEGV, "crash_peer caused an Access Violation (0xc0000005) \r\n", SIGSEGV, SEGV_MAPERR, eFaultAt::Null, true, 0},
        sFaultRow{"no-full-dump", 128 + SIGSEGV, "crash_peer caused an Access Violation (0xc0000005) \r\n", SIGSEGV, SEGV_MAPERR, eFaultAt::Null, false, 12},
        sFaultRow{"no-full-dump", 128 + SIGSEGV, "crash_peer caused an Access Violation (0xc0000005) \r\n", SIGSEGV, SEGV_MAPERR, eFaultAt::Null, false, 12, 6},
        sFaultRow{"wait", 128 + SIGSEGV, "crash_peer caused a SIGSEGV signal sent by another process (pid ", SIGSEGV, SI_USER, eFaultAt::Instruction, true, 0}),
    [](const ::testing::TestParamInfo<sFaultRow>& info) {
        std::string name = std::string(info.param.mode) + (info.param.ageShift != 0 ? "-aged-otherwise" : "");
        std::replace(name.begin(), name.end(), '-', '_');
        return name;
    });

// The report never finishes: the handler gives up after its deadline of one second. The minidump,
// written first, is there.
TEST(CrashHandlerDeath, AStalledReportEndsAtItsDeadline) {
    CTempFolder appData;
    CScopedEnvironment env("XDG_DATA_HOME", appData.Path());
    Vok::Test::CStopwatch watch;
    Vok::Test::CPeerProcess peer({VOK_BINARY_DIR "/tests/crash_peer", "stall"});
    EXPECT_EQ(peer.Wait(20000ms), 128 + SIGSEGV);
    EXPECT_LT(watch.Elapsed(), 8000ms);
    const std::vector<std::string> files = FilesIn(appData / "VOK/CrashDumps/crash_peer");
    const std::string log = ReadTextFile(FileNamed(files, "CrashLog_crash_peer_")).value_or("");
    EXPECT_EQ(log.rfind("crash_peer caused an Access Violation (0xc0000005) \r\n", 0), 0u);
    EXPECT_NE(FileNamed(files, "MiniDump_crash_peer_"), "");
}

// A debugger finds the faulting function in either dump, and in a full dump cut short in its
// memory as the report's deadline may leave it. One mode a test, each with the watchdog's time.
class CrashHandlerDebugger : public ::testing::TestWithParam<const char*> {};

TEST_P(CrashHandlerDebugger, ADebuggerNamesTheFaultingFunction) {
    const char* path = std::getenv("PATH");
    const std::string lldb = Vok::Process::FindProgram("lldb", path != nullptr ? path : "");
    if (lldb.empty()) GTEST_SKIP() << "lldb is not installed";
    const bool cut = std::string(GetParam()) == "cut";
    CTempFolder appData;
    CScopedEnvironment env("XDG_DATA_HOME", appData.Path());
    Vok::Test::CPeerProcess peer({VOK_BINARY_DIR "/tests/crash_peer", GetParam()});
    ASSERT_EQ(peer.Wait(20000ms), 128 + SIGSEGV);
    const std::vector<std::string> files = FilesIn(appData / "VOK/CrashDumps/crash_peer");
    for (const char* prefix : {"FullDump_crash_peer_", "MiniDump_crash_peer_"}) {
        SCOPED_TRACE(prefix);
        const std::string dump = FileNamed(files, prefix);
        ASSERT_NE(dump, "");
        Vok::Test::CPeerProcess debugger(
            {lldb, "--no-use-colors", "--batch", "--core", dump, VOK_BINARY_DIR "/tests/crash_peer", "-o", "bt"});
        std::string output;
        while (std::optional<std::string> line = debugger.ReadLine(15000ms)) output += *line + "\n";
        EXPECT_EQ(debugger.Wait(5000ms), 0);
        EXPECT_TRUE(Has(output, "stop reason = signal SIGSEGV")) << output;
        EXPECT_TRUE(Has(output, "frame #0: ")) << output;
        const std::size_t frame0 = output.find("frame #0: ");
        EXPECT_TRUE(Has(output.substr(frame0, output.find('\n', frame0) - frame0), "WriteNull")) << output;
        if (cut) break;  // the whole minidump is no different
        // The caller's frame too; with line information only where the build kept it.
        EXPECT_TRUE(Has(output, "crash_peer`main")) << output;
    }
}

INSTANTIATE_TEST_SUITE_P(Dumps, CrashHandlerDebugger, ::testing::Values("null-write", "cut"));

// A page of readable memory between two that cannot be read.
class CGuardedPage {
public:
    CGuardedPage() : m_size(::sysconf(_SC_PAGESIZE)) {
        m_base = static_cast<char*>(::mmap(nullptr, 3 * m_size, PROT_READ | PROT_WRITE,
                                           MAP_PRIVATE | MAP_ANONYMOUS, -1, 0));
        ::mprotect(m_base, m_size, PROT_NONE);
        ::mprotect(m_base + 2 * m_size, m_size, PROT_NONE);
    }
    ~CGuardedPage() { ::munmap(m_base, 3 * m_size); }
    char* End() const { return m_base + 2 * m_size; }
    char* Unreadable() const { return m_base; }

private:
    std::size_t m_size;
    char* m_base;
};

struct sReport {
    EXCEPTION_RECORD record{};
    CONTEXT context{};
    EXCEPTION_POINTERS pointers{&record, &context};
};

std::string Hex(const void* p, int digits = 8) {
    char text[32];
    std::snprintf(text, sizeof text, "0x%0*lx", digits, reinterpret_cast<unsigned long>(p));
    return text;
}

TEST(CrashReport, SectionsFollowTheRecord) {
    CTempFolder tmp;
    CGuardedPage page;
    char* words = page.End() - 40;
    for (int i = 0; i < 40; ++i) words[i] = static_cast<char>(i < 32 ? 'A' + i : 1);

    sReport unknown;
    unknown.record.ExceptionCode = 0x12345678;
    unknown.context.Rsp = reinterpret_cast<uintptr_t>(words);
    unknown.context.Rip = reinterpret_cast<uintptr_t>(page.Unreadable());
    sReport read;
    read.record.ExceptionCode = EXCEPTION_ACCESS_VIOLATION;
    read.record.NumberParameters = 2;
    read.record.ExceptionInformation[1] = 0xABCD;
    read.context.Rsp = unknown.context.Rsp;
    sReport oneParameter = read;
    oneParameter.pointers = {&oneParameter.record, &oneParameter.context};
    oneParameter.record.NumberParameters = 1;
    oneParameter.context.Rdi = 0x1122334455;
    oneParameter.context.Rax = 3;
    oneParameter.context.Rbp = 8;
    oneParameter.context.SegCs = 0x33;
    oneParameter.context.EFlags = 0x246;
    oneParameter.context.SegSs = 0x2b;

    // MemTotal, the first line of /proc/meminfo, in kB; the report rounds up to whole MBytes.
    std::ifstream meminfo("/proc/meminfo");
    std::string memTotal;
    unsigned long long kB = 0;
    meminfo >> memTotal >> kB;
    const std::string physical = "\r\n" + std::to_string((kB + 1023) / 1024) + " MBytes physical memory.\r\n";

    std::string bytes = "\r\nBytes at CS:RIP:\r\n";
    for (int i = 0; i < 16; ++i) bytes += "?? ";
    struct Row {
        const char* name;
        EXCEPTION_POINTERS* pointers;
        std::vector<std::string> present;
        std::vector<std::string> absent;
    } rows[] = {
        {"unknown", &unknown.pointers,
         {"caused an Unknown exception type (0x12345678) \r\nin module Unknown at 0000:" +
              Hex(page.Unreadable()).substr(2) + ".\r\n",
          bytes + "\r\n\r\nStack:\r\n",
          // 10 words: two full lines, then one of two words and two runs of nine blanks.
          "Stack:\r\n" + Hex(words) + ": 44434241 48474645 4c4b4a49 504f4e4d ABCDEFGHIJKLMNOP\r\n" +
              Hex(words + 16) + ": 54535251 58575655 5c5b5a59 605f5e5d QRSTUVWXYZ[\\]^_`\r\n" +
              Hex(words + 32) + ": 01010101 01010101 " + std::string(18, ' ') + "........\r\n\r\n"},
         {"location"}},
        {"read", &read.pointers, {"Read from location 0000abcd caused an access violation.\r\n"}, {}},
        {"one parameter", &oneParameter.pointers,
         {"\r\nContext:\r\n"
          "RDI:    0x0000001122334455  RSI: 0x0000000000000000  RAX:   0x0000000000000003\r\n"
          "RBX:    0x0000000000000000  RCX: 0x0000000000000000  RDX:   0x0000000000000000\r\n"
          "RIP:    0x0000000000000000  RBP: 0x0000000000000008  SegCs: 0x00000033\r\n"
          "EFlags: 0x00000246  RSP: " + Hex(words, 16) + "  SegSs: 0x0000002b\r\n"},
         {"location"}},
        {"no pointers", nullptr,
         {"Exception handler called in handler.\r\nError occurred at ", "Operating system:  ",
          "processor(s), type", physical, "MBytes user address space free.\r\n", "===== [end of crash log] ====="},
         {" caused ", "Context:", "Stack:"}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        const std::string path = tmp / (std::string(row.name) + ".txt");
        EXPECT_EQ(WriteCrashReport(path.c_str(), row.pointers, "handler"), 0);
        const std::string log = ReadTextFile(path).value_or("");
        for (const std::string& part : row.present) EXPECT_TRUE(Has(log, part)) << part << "\n" << log;
        for (const std::string& part : row.absent) EXPECT_FALSE(Has(log, part)) << part;
    }
}

std::string g_debugOutput;

TEST(CrashReport, AnExistingReportIsKeptAndTheNewOneNamedWithThePid) {
    CTempFolder tmp;
    const std::string pidPath = tmp / ("CrashLog_a_b_" + std::to_string(::getpid()) + ".txt");
    Vok::Test::WriteTextFile(tmp / "CrashLog_a_b.txt", "earlier");
    const auto previous = Vok::SetDebugOutputListener([](const char* text) { g_debugOutput += text; });

    WriteCrashReport((tmp / "CrashLog_a_b.txt").c_str(), nullptr, "h");
    EXPECT_EQ(ReadTextFile(tmp / "CrashLog_a_b.txt"), "earlier");
    EXPECT_TRUE(Has(ReadTextFile(pidPath).value_or(""), "===== [end of crash log] ====="));
    EXPECT_EQ(g_debugOutput, "");
    // Both names taken: the next free one.
    WriteCrashReport((tmp / "CrashLog_a_b.txt").c_str(), nullptr, "h");
    EXPECT_TRUE(Has(ReadTextFile(tmp / ("CrashLog_a_b_" + std::to_string(::getpid()) + "_2.txt")).value_or(""),
                    "===== [end of crash log] ====="));
    EXPECT_EQ(FilesIn(tmp.Path()).size(), 3u);
    EXPECT_EQ(g_debugOutput, "");
    // No file can be made: the failure is told.
    WriteCrashReport((tmp / "missing/CrashLog_a_b.txt").c_str(), nullptr, "h");
    EXPECT_EQ(g_debugOutput, "Error creating exception report\r\n");
    Vok::SetDebugOutputListener(previous);
}

TEST(CrashReport, FileTimeTextIsLocalWithEvenSeconds) {
    // Destroyed after tz: the zone is read again once TZ is back, or later tests of this process
    // would still run in CET.
    const struct sZoneReread { ~sZoneReread() { ::tzset(); } } reread;
    CScopedEnvironment tz("TZ", "CET-1");
    ::tzset();
    auto fileTime = [](int64_t unixSeconds) {
        const uint64_t ticks = static_cast<uint64_t>(unixSeconds + 11644473600LL) * 10000000ULL + 1234;
        return FILETIME{static_cast<DWORD>(ticks), static_cast<DWORD>(ticks >> 32)};
    };
    struct Row {
        int64_t unixSeconds;
        const char* text;
    } rows[] = {
        {1583298367, "3/4/2020 06:06:06"},  // 2020-03-04 05:06:07 UTC
        {315532799, "1/1/1980 00:59:58"},     // 1979-12-31 23:59:59 UTC
        {315529199, ""},                      // 1979-12-31 22:59:59 UTC, 1979 in CET too
        {4354819200, ""},                     // 2108-01-01
    };
    for (const Row& row : rows) {
        char text[64] = "junk";
        FormatFileTimeText(text, sizeof text, fileTime(row.unixSeconds));
        EXPECT_STREQ(text, row.text) << row.unixSeconds;
    }
    char small[5] = "junk";
    FormatFileTimeText(small, sizeof small, fileTime(1583298367));
    EXPECT_STREQ(small, "3/4/");
}

TEST(CrashReport, FolderAndNamesComeFromTheProgramFile) {
    CTempFolder appData;
    CScopedEnvironment env("XDG_DATA_HOME", appData.Path());
    const std::string folder = appData / "VOK/CrashDumps/test_platform";
    EXPECT_EQ(GetCrashDumpFolder(false).Str(), folder);
    EXPECT_FALSE(Vok::Test::Exists(folder));
    EXPECT_EQ(GetCrashDumpFolder(true).Str(), folder);
    EXPECT_TRUE(Vok::Test::Exists(folder));
    EXPECT_EQ(GetModuleTitleOrUnknown(true).Str(), "test_platform");
    EXPECT_STREQ(FindFileNamePart("/a/b.c/d.txt"), "d.txt");
    EXPECT_STREQ(FindFileNamePart("plain"), "plain");
    EXPECT_EQ(GetCrashTimeStamp().GetLength(), 15);
}

}  // namespace

namespace {

// The test program's own data: initialised (.data) and zero-filled (.bss).
char g_initialised[64] = "initialised data of the test program";
char g_zeroFilled[3 * 4096];

__attribute__((noinline)) void DumpMarkerFunction() {
    asm volatile("");
}

TEST(CrashDump, MemoryRegistersAndExceptionComeFromTheRecord) {
    CTempFolder tmp;
    // A stack stand-in and a heap block with known bytes; the dump must hold them at their addresses.
    alignas(16) char stack[512];
    for (std::size_t i = 0; i < sizeof stack; ++i) stack[i] = static_cast<char>(i * 7);
    std::vector<char> heap(3 * 4096 + 100);
    for (std::size_t i = 0; i < heap.size(); ++i) heap[i] = static_cast<char>(i * 13 + 1);
    sReport report;
    report.record.ExceptionCode = EXCEPTION_ACCESS_VIOLATION;
    report.record.ExceptionAddress = reinterpret_cast<void*>(&DumpMarkerFunction);
    report.record.NumberParameters = 2;
    report.record.ExceptionInformation[0] = 1;
    report.record.ExceptionInformation[1] = 0x1234;
    report.context.Rsp = reinterpret_cast<uintptr_t>(stack) + 256;
    report.context.Rip = reinterpret_cast<uintptr_t>(&DumpMarkerFunction);
    CCrashHandler::s_ExceptionInfo = {4242, &report.pointers, FALSE};
    const std::string stackBytes(stack + 128, 384);  // from below the red zone
    const std::string heapBytes(heap.data(), heap.size());
    for (std::size_t i = 0; i < sizeof g_zeroFilled; ++i) g_zeroFilled[i] = static_cast<char>(i * 5 + 3);
    const std::string dataBytes(g_initialised, sizeof g_initialised);
    const std::string bssBytes(g_zeroFilled, sizeof g_zeroFilled);
    // An image mapped from a folder whose name holds a character beyond U+FFFF.
    Vok::Test::WriteTextFile(tmp / "x\xF0\x9F\x98\x80y/image", std::string("\x7F" "ELF") + std::string(4092, '\0'));
    const std::string imagePath = boost::filesystem::canonical(tmp / "x\xF0\x9F\x98\x80y/image").string();
    const int imageFd = ::open(imagePath.c_str(), O_RDONLY | O_CLOEXEC);
    void* const image = ::mmap(nullptr, 4096, PROT_READ, MAP_PRIVATE, imageFd, 0);
    ::close(imageFd);
    ASSERT_NE(image, MAP_FAILED);

    struct Row {
        const char* name;
        int exceptionFlag;
        bool full;
        uint64_t flags;
        bool exception;   // the faulting thread and the exception are in; else the calling thread
        bool stackBytes;  // the stack stand-in's bytes are in
        bool heapBytes;
    } rows[] = {
        {"mini", 1, false, 0x101, true, true, false},
        {"mini without exception", 0, false, 0x101, false, true, false},
        {"full", 1, true, 0x103, true, true, true},
        {"full without exception", 0, true, 0x103, false, true, true},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        const std::string path = tmp / (std::string(row.name) + ".dmp");
        WriteDumpFile(path.c_str(), row.exceptionFlag, row.full);
        const Vok::Test::CMinidumpReader dump(path);
        ASSERT_EQ(dump.Error(), "");
        EXPECT_EQ(dump.Flags(), row.flags);
        EXPECT_EQ(dump.ProcessId(), static_cast<uint32_t>(::getpid()));
        EXPECT_EQ(dump.ReadMemory(report.context.Rsp - 128, 384) == stackBytes, row.stackBytes);
        EXPECT_EQ(dump.ReadMemory(reinterpret_cast<uintptr_t>(heap.data()), heap.size()) == heapBytes, row.heapBytes);
        // Every dump holds the modules' data.
        EXPECT_EQ(dump.ReadMemory(reinterpret_cast<uintptr_t>(g_initialised), sizeof g_initialised), dataBytes);
        EXPECT_EQ(dump.ReadMemory(reinterpret_cast<uintptr_t>(g_zeroFilled), sizeof g_zeroFilled), bssBytes);
        EXPECT_EQ(std::count_if(dump.Modules().begin(), dump.Modules().end(),
                                [&](const Vok::Test::sDumpModule& m) { return m.name == imagePath; }),
                  1);
        EXPECT_EQ(dump.Exception().has_value(), row.exception);
        ASSERT_EQ(dump.Threads().size(), 1u);
        // Without the exception, the calling thread stopped in the writer, with its stack.
        EXPECT_TRUE(dump.ReadMemory(dump.Threads()[0].rsp, 64).has_value());
        if (!row.exception) {
            EXPECT_EQ(dump.Threads()[0].id, static_cast<uint32_t>(::gettid()));
            continue;
        }
        const Vok::Test::sDumpException& e = *dump.Exception();
        EXPECT_EQ(e.threadId, 4242u);
        EXPECT_EQ(e.code, static_cast<uint32_t>(SIGSEGV));
        // The data address, where Linux readers look for it.
        EXPECT_EQ(e.address, 0x1234u);
        EXPECT_EQ(e.parameters, (std::vector<uint64_t>{1, 0x1234}));
        EXPECT_EQ(dump.Threads()[0].rsp, report.context.Rsp);
        EXPECT_EQ(dump.Threads()[0].rip, report.context.Rip);
        EXPECT_EQ(dump.Threads()[0].stackStart, report.context.Rsp - 128);
    }
    // A count beyond the record's 15 parameters is cut to them.
    report.record.NumberParameters = 99;
    WriteDumpFile((tmp / "count.dmp").c_str(), 1, false);
    const Vok::Test::CMinidumpReader counted(tmp / "count.dmp");
    ASSERT_EQ(counted.Error(), "");
    EXPECT_EQ(counted.Exception()->parameters.size(), 15u);
    // A stack pointer far from every mapping: no stack bytes, and the memory list counts none.
    report.context.Rsp = 0x1000;
    WriteDumpFile((tmp / "stackless.dmp").c_str(), 1, false);
    const Vok::Test::CMinidumpReader stackless(tmp / "stackless.dmp");
    EXPECT_EQ(stackless.Error(), "");
    EXPECT_EQ(stackless.ReadMemory(reinterpret_cast<uintptr_t>(g_initialised), sizeof g_initialised), dataBytes);
    CCrashHandler::s_ExceptionInfo = {};
    ::munmap(image, 4096);
}

TEST(CrashDump, ADumpIsCreatedExclusivelyAndSkippedSilentlyWhenItCannotBe) {
    CTempFolder tmp;
    Vok::Test::WriteTextFile(tmp / "MiniDump_a_b.dmp", "earlier");
    g_debugOutput.clear();
    const auto previous = Vok::SetDebugOutputListener([](const char* text) { g_debugOutput += text; });
    WriteDumpFile((tmp / "MiniDump_a_b.dmp").c_str(), 0, false);
    EXPECT_EQ(ReadTextFile(tmp / "MiniDump_a_b.dmp"), "earlier");
    const std::string pidPath = tmp / ("MiniDump_a_b_" + std::to_string(::getpid()) + ".dmp");
    EXPECT_EQ(Vok::Test::CMinidumpReader(pidPath).Error(), "");
    // A third dump on the same path gets the next free name.
    WriteDumpFile((tmp / "MiniDump_a_b.dmp").c_str(), 0, false);
    const std::string thirdPath = tmp / ("MiniDump_a_b_" + std::to_string(::getpid()) + "_2.dmp");
    EXPECT_EQ(Vok::Test::CMinidumpReader(thirdPath).Error(), "");
    WriteDumpFile((tmp / "missing/MiniDump_a_b.dmp").c_str(), 0, false);
    EXPECT_FALSE(Vok::Test::Exists(tmp / "missing"));
    EXPECT_EQ(g_debugOutput, "");
    Vok::SetDebugOutputListener(previous);
}

}  // namespace
