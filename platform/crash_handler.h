// Crash reports. After a fault that nothing handles, a minidump ("MiniDump_<title>_<stamp>.dmp"),
// a plain-text crash log ("CrashLog_...txt") and, while s_bWriteFullDump is set, a dump of the
// process memory ("FullDump_...dmp") are left in the program's crash folder: the local
// application-data folder, "VOK/CrashDumps/" and the program's file name.
//
// A fault arrives as a signal (SIGSEGV, SIGBUS, SIGFPE, SIGILL, SIGABRT; an uncaught C++
// exception through std::terminate) and is given the Windows exception code that the report
// names. The signal handler runs on an alternate stack, wakes the report thread that Install
// started (a write to a pipe), waits for it with a deadline and ends the process with status
// 128 + the signal number. The report path uses no heap: paths and texts are prepared at
// install, and the text is formatted with a bounded formatter into a static buffer.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <string>

#include "compat/cstring.h"
#include "compat/windows_types.h"

constexpr DWORD EXCEPTION_DATATYPE_MISALIGNMENT = 0x80000002;
constexpr DWORD EXCEPTION_ACCESS_VIOLATION = 0xC0000005;
constexpr DWORD EXCEPTION_IN_PAGE_ERROR = 0xC0000006;
constexpr DWORD EXCEPTION_ILLEGAL_INSTRUCTION = 0xC000001D;
constexpr DWORD EXCEPTION_ARRAY_BOUNDS_EXCEEDED = 0xC000008C;
constexpr DWORD EXCEPTION_FLT_DIVIDE_BY_ZERO = 0xC000008E;
constexpr DWORD EXCEPTION_FLT_INEXACT_RESULT = 0xC000008F;
constexpr DWORD EXCEPTION_FLT_INVALID_OPERATION = 0xC0000090;
constexpr DWORD EXCEPTION_FLT_OVERFLOW = 0xC0000091;
constexpr DWORD EXCEPTION_FLT_UNDERFLOW = 0xC0000093;
constexpr DWORD EXCEPTION_INT_DIVIDE_BY_ZERO = 0xC0000094;
constexpr DWORD EXCEPTION_INT_OVERFLOW = 0xC0000095;
constexpr DWORD EXCEPTION_PRIV_INSTRUCTION = 0xC0000096;
constexpr DWORD EXCEPTION_STACK_OVERFLOW = 0xC00000FD;
// What the C++ runtime raises for a thrown exception; here: std::terminate.
constexpr DWORD EXCEPTION_CPP = 0xE06D7363;
// A program that aborts (abort(), a failed assertion).
constexpr DWORD STATUS_FATAL_APP_EXIT = 0x40000015;

constexpr DWORD EXCEPTION_MAXIMUM_PARAMETERS = 15;

struct EXCEPTION_RECORD {
    DWORD ExceptionCode;
    DWORD ExceptionFlags;
    EXCEPTION_RECORD* ExceptionRecord;
    void* ExceptionAddress;
    DWORD NumberParameters;
    // An access violation: [0] 1 for a write, 0 for a read; [1] the address.
    uintptr_t ExceptionInformation[EXCEPTION_MAXIMUM_PARAMETERS];
    // The signal the record was made from (0: none), its si_code, for a signal that was sent
    // (si_code <= 0) the sender's process id, and for one the kernel raised its si_addr.
    int Signal;
    int SignalCode;
    int32_t SenderPid;
    uintptr_t FaultAddress;
};

// The faulting thread's registers (x86-64; zero elsewhere).
struct CONTEXT {
    uint64_t Rax, Rbx, Rcx, Rdx, Rsi, Rdi, Rbp, Rsp, Rip;
    DWORD EFlags;
    WORD SegCs, SegSs;
    uint64_t R8, R9, R10, R11, R12, R13, R14, R15;
    // The FXSAVE image of the floating-point and vector registers, when FloatSaved is set.
    BYTE FloatSave[512];
    bool FloatSaved;
};

struct EXCEPTION_POINTERS {
    EXCEPTION_RECORD* ExceptionRecord;
    CONTEXT* ContextRecord;
};

struct MINIDUMP_EXCEPTION_INFORMATION {
    DWORD ThreadId;
    EXCEPTION_POINTERS* ExceptionPointers;
    BOOL ClientPointers;
};

// Runs on the faulting thread (async-signal-safe): puts "A stack overflow occurred\n" on the
// debugger output for a stack overflow, records the pointers in s_ExceptionInfo, wakes the report
// thread and waits for it until the deadline. Always 0. Without an installed handler nothing is
// reported.
LONG CrashExceptionFilter(EXCEPTION_POINTERS* pointers);

class CCrashHandler {
public:
    // Prepares the report (crash folder, program and system texts), starts the report thread,
    // gives the calling thread its alternate signal stack, and sets the fault handlers and the
    // terminate handler. The faulting thread waits at most reportDeadlineMs for the report. False
    // when something could not be set up. Later calls do nothing and give true.
    static bool Install(DWORD reportDeadlineMs = 10000);

    // The report thread's work (not async-signal-safe, but no heap once installed): writes the
    // minidump, the crash log and the full dump once per process; later calls return at once.
    // Always 0.
    static DWORD Handle(EXCEPTION_POINTERS* pointers);

    static MINIDUMP_EXCEPTION_INFORMATION s_ExceptionInfo;
    static std::atomic<bool> s_bArmed;
    // While set, Handle also writes the full dump.
    static std::atomic<bool> s_bWriteFullDump;
};

// Writes the crash log to path, which is created exclusively: when a file of that name exists,
// "_<pid>", then "_<pid>_2", "_<pid>_3" ... is put before the extension. "Error creating exception report\r\n" goes to the debugger
// output when no file can be created. Without pointers, the sections that need them are left
// out. Always 0.
LONG WriteCrashReport(const CString& path, EXCEPTION_POINTERS* pointers, const char* handlerName);
// Writes a dump (see WriteMinidump) to path, created exclusively as the crash log is; with a
// non-zero exceptionFlag, s_ExceptionInfo supplies the faulting thread and the exception, else
// the calling thread is the dump's thread. Nothing when the file cannot be created.
void WriteDumpFile(const CString& path, int exceptionFlag, bool full);
// One module section for the ELF image mapped at base from offset 0 of its file; false when
// nothing was written (no such mapping, no ELF image).
bool WriteModuleReport(int file, uintptr_t base, int moduleNumber);
// The stack from sp up to the end of its mapping, at most 12288 bytes, as 32-bit words.
void WriteStackDump(int file, uintptr_t sp);
void WriteSystemInfo(int file);
// printf-style (d i u x X c s p, flags '-' and '0', width, l ll z) into the report buffer, at
// most 1024 characters at a time; the buffer goes to file once more than 7168 are pending.
// The characters formatted.
int ReportPrintf(int file, const char* format, ...) __attribute__((format(printf, 2, 3)));
// Local date and time of a UTC file time as "month/day/year hh:mm:ss" with even seconds; empty
// outside the years 1980 to 2107. Writes at most size bytes.
void FormatFileTimeText(char* out, std::size_t size, const FILETIME& utc);
// Local time now as "yyyymmdd-hhmmss".
CString GetCrashTimeStamp();
// The text after the last '/', or the whole path.
const char* FindFileNamePart(const char* path);
// The program's file name, without its extension when asked; "Unknown" when it has none.
CString GetModuleTitleOrUnknown(bool stripExtension);
// The local application-data folder, "/VOK/CrashDumps/" and the program's file name with its
// extension; with create, the folders are made. Handle keeps the newest ten reports there (a
// report: its crash log and dumps) and removes older ones before it writes a new one.
CString GetCrashDumpFolder(bool create);
// The crash folder of the program of that file name (as the file system spells it); empty without
// a local application-data folder.
std::string GetCrashDumpFolderOf(const std::string& programFileName);
// "an Access Violation" ...; "an Unknown exception type" for a code without a text.
const char* GetExceptionDescription(DWORD code);
