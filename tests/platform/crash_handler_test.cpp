#include "platform/crash_handler.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/mman.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <ctime>
#include <string>
#include <vector>

#include <boost/filesystem.hpp>

#include "compat/debug_output.h"
#include "tests/support/file_helpers.h"
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

TEST(CrashHandlerDeath, EachFaultLeavesOneReportAndEndsWithTheSignalStatus) {
    struct Row {
        const char* mode;
        int status;
        const char* header;
    } rows[] = {
        {"null-write", 128 + SIGSEGV, "crash_peer caused an Access Violation (0xc0000005) \r\nin module crash_peer at "},
        {"divide", 128 + SIGFPE, "crash_peer caused an Integer Divide by Zero (0xc0000094) \r\nin module crash_peer at "},
        {"exception", 128 + SIGABRT, "crash_peer caused a Microsoft C++ Exception (0xe06d7363) \r\n"},
        {"recursion", 128 + SIGSEGV, "crash_peer caused a Stack Overflow (0xc00000fd) \r\nin module crash_peer at "},
        // Only the first of two faulting threads reports.
        {"two-threads", 128 + SIGSEGV, "crash_peer caused an Access Violation (0xc0000005) \r\n"},
        // The report never finishes: the handler gives up after its deadline of one second.
        {"stall", 128 + SIGSEGV, "crash_peer caused an Access Violation (0xc0000005) \r\n"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.mode);
        CTempFolder appData;
        CScopedEnvironment env("LOCALAPPDATA", appData.Path());
        Vok::Test::CStopwatch watch;
        Vok::Test::CPeerProcess peer({VOK_BINARY_DIR "/tests/crash_peer", row.mode});
        // A report path that touched the heap would end the peer with 3.
        EXPECT_EQ(peer.Wait(20000ms), row.status);
        EXPECT_LT(watch.Elapsed(), 8000ms);
        const std::vector<std::string> files = FilesIn(appData / "VOK/CrashDumps/crash_peer");
        ASSERT_EQ(files.size(), 1u);
        EXPECT_TRUE(Has(files[0], "/CrashLog_crash_peer_")) << files[0];
        const std::string log = ReadTextFile(files[0]).value_or("");
        EXPECT_EQ(log.rfind(row.header, 0), 0u) << log.substr(0, 200);
        EXPECT_TRUE(Has(log, "Exception handler called in CCrashHandler::Handle.\r\n"));
        EXPECT_TRUE(Has(log, "\r\n\r\nStack:\r\n0x"));
        EXPECT_TRUE(Has(log, "\r\nModule 1\r\n"));
        EXPECT_TRUE(Has(log, "/crash_peer\r\nImage Base: 0x"));
        EXPECT_TRUE(Has(log, "\r\n===== [end of crash log] =====\r\n"));
        if (Has(row.header, "Access")) {
            EXPECT_TRUE(Has(log, "Write to location 00000000 caused an access violation.\r\n"));
        }
    }
}

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

std::string Hex(const void* p) {
    char text[32];
    std::snprintf(text, sizeof text, "0x%08lx", reinterpret_cast<unsigned long>(p));
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

    std::string bytes = "\r\nBytes at CS:EIP:\r\n";
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
          "EDI:    0x1122334455  ESI: 0x00000000  EAX:   0x00000003\r\n"
          "EBX:    0x00000000  ECX: 0x00000000  EDX:   0x00000000\r\n"
          "EIP:    0x00000000  EBP: 0x00000008  SegCs: 0x00000033\r\n"
          "EFlags: 0x00000246  ESP: " + Hex(words) + "  SegSs: 0x0000002b\r\n"},
         {"location"}},
        {"no pointers", nullptr,
         {"Exception handler called in handler.\r\nError occurred at ", "Operating system:  ",
          "processor(s), type", "MBytes user address space free.\r\n", "===== [end of crash log] ====="},
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
    // Both names taken: nothing is replaced, and the failure is told.
    WriteCrashReport((tmp / "CrashLog_a_b.txt").c_str(), nullptr, "h");
    EXPECT_EQ(g_debugOutput, "Error creating exception report\r\n");
    EXPECT_EQ(FilesIn(tmp.Path()).size(), 2u);
    Vok::SetDebugOutputListener(previous);
}

TEST(CrashReport, FileTimeTextIsLocalWithEvenSeconds) {
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
    CScopedEnvironment env("LOCALAPPDATA", appData.Path());
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
