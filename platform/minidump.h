// Dump files in the minidump container format ("MDMP"): a header, a directory of streams and the
// streams it points at, every offset (RVA) counted from the start of the file, little-endian.
// Debuggers and crash tools read this format on Linux too; the records below follow its public
// description. Linux specifics follow the convention that crash reporters use there: platform id
// 0x8201, module code-view records "BpEL" followed by the ELF build id, and /proc/self/maps as
// its own stream.
//
// Writing takes no heap and no lock, as it runs on the report thread while the faulting thread
// may hold the allocator's locks; its buffers are static, so one dump is written at a time.
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/crash_handler.h"
#include "platform/version_info.h"

constexpr uint32_t MINIDUMP_SIGNATURE = 0x504D444D;  // "MDMP"
constexpr uint32_t MINIDUMP_VERSION = 0xA793;

// Dump types (the header's Flags).
constexpr uint32_t MiniDumpWithDataSegs = 0x0001;
constexpr uint32_t MiniDumpWithFullMemory = 0x0002;
constexpr uint32_t MiniDumpWithProcessThreadData = 0x0100;

// Stream types.
constexpr uint32_t ThreadListStream = 3;
constexpr uint32_t ModuleListStream = 4;
constexpr uint32_t MemoryListStream = 5;
constexpr uint32_t ExceptionStream = 6;
constexpr uint32_t SystemInfoStream = 7;
constexpr uint32_t Memory64ListStream = 9;
constexpr uint32_t MiscInfoStream = 15;
constexpr uint32_t LinuxMapsStream = 0x47670009;  // the text of /proc/self/maps

constexpr uint16_t PROCESSOR_ARCHITECTURE_AMD64 = 9;
constexpr uint32_t MINIDUMP_PLATFORM_LINUX = 0x8201;
constexpr uint32_t CV_SIGNATURE_ELF_BUILD_ID = 0x4270454C;  // "BpEL"
constexpr uint32_t MINIDUMP_MISC1_PROCESS_ID = 1;

// Context flags of an x86-64 thread context.
constexpr uint32_t CONTEXT_AMD64 = 0x00100000;
constexpr uint32_t CONTEXT_AMD64_CONTROL = CONTEXT_AMD64 | 0x1;
constexpr uint32_t CONTEXT_AMD64_INTEGER = CONTEXT_AMD64 | 0x2;
constexpr uint32_t CONTEXT_AMD64_FLOATING_POINT = CONTEXT_AMD64 | 0x8;

// The format packs its records on 4 bytes: 64-bit fields follow 32-bit counts unaligned.
#pragma pack(push, 4)

struct MINIDUMP_LOCATION_DESCRIPTOR {
    uint32_t DataSize;
    uint32_t Rva;
};

struct MINIDUMP_HEADER {
    uint32_t Signature;
    uint32_t Version;
    uint32_t NumberOfStreams;
    uint32_t StreamDirectoryRva;
    uint32_t CheckSum;
    uint32_t TimeDateStamp;
    uint64_t Flags;
};

struct MINIDUMP_DIRECTORY {
    uint32_t StreamType;
    MINIDUMP_LOCATION_DESCRIPTOR Location;
};

struct MINIDUMP_MEMORY_DESCRIPTOR {
    uint64_t StartOfMemoryRange;
    MINIDUMP_LOCATION_DESCRIPTOR Memory;
};

struct MINIDUMP_MEMORY_DESCRIPTOR64 {
    uint64_t StartOfMemoryRange;
    uint64_t DataSize;
};

struct MINIDUMP_SYSTEM_INFO {
    uint16_t ProcessorArchitecture;
    uint16_t ProcessorLevel;
    uint16_t ProcessorRevision;
    uint8_t NumberOfProcessors;
    uint8_t ProductType;
    uint32_t MajorVersion;
    uint32_t MinorVersion;
    uint32_t BuildNumber;
    uint32_t PlatformId;
    uint32_t CSDVersionRva;  // a MINIDUMP_STRING
    uint16_t SuiteMask;
    uint16_t Reserved2;
    uint32_t VendorId[3];  // the x86 form of the processor information
    uint32_t VersionInformation;
    uint32_t FeatureInformation;
    uint32_t AMDExtendedCpuFeatures;
};

struct MINIDUMP_MISC_INFO {
    uint32_t SizeOfInfo;
    uint32_t Flags1;
    uint32_t ProcessId;
    uint32_t ProcessCreateTime;
    uint32_t ProcessUserTime;
    uint32_t ProcessKernelTime;
};

struct MINIDUMP_THREAD {
    uint32_t ThreadId;
    uint32_t SuspendCount;
    uint32_t PriorityClass;
    uint32_t Priority;
    uint64_t Teb;
    MINIDUMP_MEMORY_DESCRIPTOR Stack;
    MINIDUMP_LOCATION_DESCRIPTOR ThreadContext;
};

struct MINIDUMP_EXCEPTION {
    uint32_t ExceptionCode;
    uint32_t ExceptionFlags;
    uint64_t ExceptionRecord;
    uint64_t ExceptionAddress;
    uint32_t NumberParameters;
    uint32_t UnusedAlignment;
    uint64_t ExceptionInformation[15];
};

struct MINIDUMP_EXCEPTION_STREAM {
    uint32_t ThreadId;
    uint32_t Alignment;
    MINIDUMP_EXCEPTION ExceptionRecord;
    MINIDUMP_LOCATION_DESCRIPTOR ThreadContext;
};


struct MINIDUMP_MODULE {
    uint64_t BaseOfImage;
    uint32_t SizeOfImage;
    uint32_t CheckSum;
    uint32_t TimeDateStamp;
    uint32_t ModuleNameRva;  // a MINIDUMP_STRING
    VS_FIXEDFILEINFO VersionInfo;
    MINIDUMP_LOCATION_DESCRIPTOR CvRecord;
    MINIDUMP_LOCATION_DESCRIPTOR MiscRecord;
    uint64_t Reserved0;
    uint64_t Reserved1;
};

#pragma pack(pop)

// An x86-64 thread context as the format stores it (16-byte vector registers).
struct alignas(16) MINIDUMP_CONTEXT_AMD64 {
    uint64_t P1Home, P2Home, P3Home, P4Home, P5Home, P6Home;
    uint32_t ContextFlags;
    uint32_t MxCsr;
    uint16_t SegCs, SegDs, SegEs, SegFs, SegGs, SegSs;
    uint32_t EFlags;
    uint64_t Dr0, Dr1, Dr2, Dr3, Dr6, Dr7;
    uint64_t Rax, Rcx, Rdx, Rbx, Rsp, Rbp, Rsi, Rdi;
    uint64_t R8, R9, R10, R11, R12, R13, R14, R15;
    uint64_t Rip;
    uint8_t FltSave[512];  // the FXSAVE image
    uint8_t VectorRegister[26 * 16];
    uint64_t VectorControl;
    uint64_t DebugControl;
    uint64_t LastBranchToRip;
    uint64_t LastBranchFromRip;
    uint64_t LastExceptionToRip;
    uint64_t LastExceptionFromRip;
};

static_assert(sizeof(MINIDUMP_LOCATION_DESCRIPTOR) == 8);
static_assert(sizeof(MINIDUMP_HEADER) == 32);
static_assert(offsetof(MINIDUMP_HEADER, StreamDirectoryRva) == 12);
static_assert(offsetof(MINIDUMP_HEADER, Flags) == 24);
static_assert(sizeof(MINIDUMP_DIRECTORY) == 12);
static_assert(sizeof(MINIDUMP_MEMORY_DESCRIPTOR) == 16);
static_assert(sizeof(MINIDUMP_MEMORY_DESCRIPTOR64) == 16);
static_assert(sizeof(MINIDUMP_SYSTEM_INFO) == 56);
static_assert(offsetof(MINIDUMP_SYSTEM_INFO, PlatformId) == 20);
static_assert(offsetof(MINIDUMP_SYSTEM_INFO, CSDVersionRva) == 24);
static_assert(offsetof(MINIDUMP_SYSTEM_INFO, VendorId) == 32);
static_assert(sizeof(MINIDUMP_MISC_INFO) == 24);
static_assert(sizeof(MINIDUMP_THREAD) == 48);
static_assert(offsetof(MINIDUMP_THREAD, Teb) == 16);
static_assert(offsetof(MINIDUMP_THREAD, Stack) == 24);
static_assert(offsetof(MINIDUMP_THREAD, ThreadContext) == 40);
static_assert(sizeof(MINIDUMP_EXCEPTION) == 152);
static_assert(offsetof(MINIDUMP_EXCEPTION, ExceptionAddress) == 16);
static_assert(offsetof(MINIDUMP_EXCEPTION, NumberParameters) == 24);
static_assert(offsetof(MINIDUMP_EXCEPTION, ExceptionInformation) == 32);
static_assert(sizeof(MINIDUMP_EXCEPTION_STREAM) == 168);
static_assert(offsetof(MINIDUMP_EXCEPTION_STREAM, ExceptionRecord) == 8);
static_assert(offsetof(MINIDUMP_EXCEPTION_STREAM, ThreadContext) == 160);
static_assert(sizeof(MINIDUMP_MODULE) == 108);
static_assert(offsetof(MINIDUMP_MODULE, ModuleNameRva) == 20);
static_assert(offsetof(MINIDUMP_MODULE, VersionInfo) == 24);
static_assert(offsetof(MINIDUMP_MODULE, CvRecord) == 76);
static_assert(offsetof(MINIDUMP_MODULE, MiscRecord) == 84);
static_assert(sizeof(MINIDUMP_CONTEXT_AMD64) == 1232);
static_assert(offsetof(MINIDUMP_CONTEXT_AMD64, ContextFlags) == 48);
static_assert(offsetof(MINIDUMP_CONTEXT_AMD64, SegCs) == 56);
static_assert(offsetof(MINIDUMP_CONTEXT_AMD64, EFlags) == 68);
static_assert(offsetof(MINIDUMP_CONTEXT_AMD64, Rax) == 120);
static_assert(offsetof(MINIDUMP_CONTEXT_AMD64, Rsp) == 152);
static_assert(offsetof(MINIDUMP_CONTEXT_AMD64, Rip) == 248);
static_assert(offsetof(MINIDUMP_CONTEXT_AMD64, FltSave) == 256);
static_assert(offsetof(MINIDUMP_CONTEXT_AMD64, VectorRegister) == 768);
static_assert(offsetof(MINIDUMP_CONTEXT_AMD64, VectorControl) == 1184);

// Writes a dump of this process into file (positioned at its start), of type
// MiniDumpWithDataSegs | MiniDumpWithProcessThreadData, with MiniDumpWithFullMemory when full:
// system information, the process id, the modules mapped from ELF files (with their build ids),
// the text of /proc/self/maps, and memory: the thread's stack and the modules' writable data, or
// for a full dump every readable private mapping but the kernel's own (anonymous memory only where
// its pages are in memory: untouched pages read as zeros and are left out; at most 32768
// separate ranges). The memory's bytes come last, so that a dump cut short is still whole up to
// them. The thread, with its registers and stack, comes with a context in the pointers; the
// exception stream with an exception record: the signal, its si_code and the faulting address
// (see WriteException), where Linux debuggers look for them. False when the file could not be
// written whole. [async-signal-safe]
bool WriteMinidump(int file, const MINIDUMP_EXCEPTION_INFORMATION* exception, bool full);
