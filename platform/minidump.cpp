#include "platform/minidump.h"

#include <cpuid.h>
#include <elf.h>
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/utsname.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <climits>
#include <cstring>
#include <ctime>

#include "platform/signal_safe_io.h"

#if defined(__SANITIZE_ADDRESS__)
#include <sanitizer/asan_interface.h>
#endif

namespace {

using Vok::SignalSafe::ForEachMapping;
using Vok::SignalSafe::SafeRead;
using Vok::SignalSafe::sMapping;

constexpr uint64_t kPage = 4096;
constexpr uint64_t kRvaLimit = UINT32_MAX;
// The faulting thread's stack is kept from below its red zone up to at most this far.
constexpr uint64_t kStackReach = 1024 * 1024;
constexpr uint64_t kRedZone = 128;

// Everything below is static: the writer runs where the heap may not be used. One dump is
// written at a time (the report thread's own work).
struct sRange {
    uint64_t start;
    uint64_t size;
};
constexpr std::size_t kMaxModules = 1024;
constexpr std::size_t kMaxRanges = 32768;

struct sModule {
    uint64_t base;
    uint64_t end;
    uint32_t nameRva;
    MINIDUMP_LOCATION_DESCRIPTOR cv;
};

sModule g_modules[kMaxModules];
std::size_t g_moduleCount = 0;
sRange g_ranges[kMaxRanges];
std::size_t g_rangeCount = 0;
unsigned char g_chunk[64 * 1024];
unsigned char g_residency[64 * 1024];  // one byte per page
char g_modulePath[PATH_MAX + 256];
uint16_t g_wide[PATH_MAX + 256];

// Appends to the file from its start; RVAs are the offsets at which things were put. The header
// and an empty directory go first, and each stream is entered in the directory only once its
// bytes are written: a dump cut short at any point (the report's deadline) is a valid dump of the
// streams it holds.
class CDumpFile {
public:
    static constexpr uint32_t kMaxStreams = 8;

    CDumpFile(int fd, const MINIDUMP_HEADER& header) : m_fd(fd) {
        static const MINIDUMP_DIRECTORY empty[kMaxStreams] = {};
        Append(&header, sizeof header);
        m_directoryRva = Append(empty, sizeof empty);
        PutAt(offsetof(MINIDUMP_HEADER, StreamDirectoryRva), &m_directoryRva, sizeof m_directoryRva);
    }

    uint64_t Offset() const { return m_offset; }
    bool Ok() const { return m_ok; }

    // The entry first, then the count that makes readers see it.
    void Publish(const MINIDUMP_DIRECTORY& entry) {
        if (m_streams == kMaxStreams) return;
        PutAt(m_directoryRva + uint64_t{m_streams} * sizeof entry, &entry, sizeof entry);
        ++m_streams;
        PutAt(offsetof(MINIDUMP_HEADER, NumberOfStreams), &m_streams, sizeof m_streams);
    }

    uint32_t Append(const void* data, std::size_t size) {
        const uint64_t at = m_offset;
        PutAt(at, data, size);
        m_offset += size;
        return static_cast<uint32_t>(at);
    }
    void PutAt(uint64_t at, const void* data, std::size_t size) {
        const char* p = static_cast<const char*>(data);
        while (m_ok && size > 0) {
            const ssize_t n = ::pwrite(m_fd, p, size, static_cast<off_t>(at));
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) {
                m_ok = false;
                return;
            }
            p += n;
            at += static_cast<uint64_t>(n);
            size -= static_cast<std::size_t>(n);
        }
    }
    void Align(uint64_t to) {
        static const char zeros[16] = {};
        const uint64_t pad = (to - m_offset % to) % to;
        Append(zeros, pad);
    }
    // size bytes of this process's memory from address; what cannot be read is written as zeros.
    uint32_t AppendMemory(uint64_t address, uint64_t size) {
        const uint64_t at = m_offset;
        while (m_ok && size > 0) {
            const std::size_t n = size < sizeof g_chunk ? static_cast<std::size_t>(size) : sizeof g_chunk;
            if (!SafeRead(address, g_chunk, n)) {
                for (std::size_t done = 0; done < n; done += kPage) {
                    const std::size_t part = n - done < kPage ? n - done : kPage;
                    if (!SafeRead(address + done, g_chunk + done, part)) std::memset(g_chunk + done, 0, part);
                }
            }
            Append(g_chunk, n);
            address += n;
            size -= n;
        }
        return static_cast<uint32_t>(at);
    }
    // A MINIDUMP_STRING of UTF-8 text: its byte length, the UTF-16 units and a zero unit.
    uint32_t AppendString(const char* utf8) {
        std::size_t units = 0;
        const std::size_t limit = sizeof g_wide / sizeof g_wide[0] - 2;
        for (const unsigned char* p = reinterpret_cast<const unsigned char*>(utf8); *p != 0 && units < limit;) {
            uint32_t c = DecodeUtf8(p);
            if (c >= 0x10000) {
                c -= 0x10000;
                g_wide[units++] = static_cast<uint16_t>(0xD800 + (c >> 10));
                c = 0xDC00 + (c & 0x3FF);
            }
            g_wide[units++] = static_cast<uint16_t>(c);
        }
        g_wide[units] = 0;
        Align(4);
        const uint32_t bytes = static_cast<uint32_t>(units * 2);
        const uint32_t rva = Append(&bytes, sizeof bytes);
        Append(g_wide, (units + 1) * 2);
        return rva;
    }

private:
    // One character; a byte that starts no valid sequence gives U+FFFD and is skipped alone.
    static uint32_t DecodeUtf8(const unsigned char*& p) {
        const unsigned char b = *p++;
        if (b < 0x80) return b;
        int more = b >= 0xF0 && b <= 0xF4 ? 3 : b >= 0xE0 ? 2 : b >= 0xC2 && b < 0xE0 ? 1 : -1;
        if (more < 0 || b > 0xF4) return 0xFFFD;
        uint32_t c = b & (0x3F >> more);
        const unsigned char* q = p;
        for (int i = 0; i < more; ++i, ++q) {
            if ((*q & 0xC0) != 0x80) return 0xFFFD;
            c = (c << 6) | (*q & 0x3F);
        }
        const uint32_t least[] = {0, 0x80, 0x800, 0x10000};
        if (c < least[more] || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) return 0xFFFD;
        p = q;
        return c;
    }

    int m_fd;
    uint64_t m_offset = 0;
    bool m_ok = true;
    uint32_t m_directoryRva = 0;
    uint32_t m_streams = 0;
};

void AddRange(uint64_t start, uint64_t size) {
    if (size == 0 || g_rangeCount == kMaxRanges) return;
    sRange& last = g_ranges[g_rangeCount == 0 ? 0 : g_rangeCount - 1];
    if (g_rangeCount > 0 && last.start + last.size == start) {
        last.size += size;
        return;
    }
    g_ranges[g_rangeCount++] = {start, size};
}

// ---- Processor and system --------------------------------------------------------------------

uint32_t ParseNumber(const char*& p) {
    uint32_t v = 0;
    while (*p >= '0' && *p <= '9') v = v * 10 + static_cast<uint32_t>(*p++ - '0');
    if (*p == '.') ++p;
    return v;
}

void WriteSystemInfo(CDumpFile& out, MINIDUMP_DIRECTORY& entry) {
    MINIDUMP_SYSTEM_INFO info{};
    info.ProcessorArchitecture = PROCESSOR_ARCHITECTURE_AMD64;
    info.PlatformId = MINIDUMP_PLATFORM_LINUX;
    const long processors = ::sysconf(_SC_NPROCESSORS_ONLN);
    info.NumberOfProcessors = static_cast<uint8_t>(processors < 1 ? 1 : processors > 255 ? 255 : processors);
    unsigned a = 0, b = 0, c = 0, d = 0;
    if (__get_cpuid(0, &a, &b, &c, &d) != 0) {
        info.VendorId[0] = b;
        info.VendorId[1] = d;
        info.VendorId[2] = c;
    }
    if (__get_cpuid(1, &a, &b, &c, &d) != 0) {
        info.VersionInformation = a;
        info.FeatureInformation = d;
        unsigned family = (a >> 8) & 0xF;
        unsigned model = (a >> 4) & 0xF;
        if (family == 0xF) family += (a >> 20) & 0xFF;
        if (family >= 6) model += ((a >> 16) & 0xF) << 4;
        info.ProcessorLevel = static_cast<uint16_t>(family);
        info.ProcessorRevision = static_cast<uint16_t>((model << 8) | (a & 0xF));
    }
    if (__get_cpuid(0x80000001, &a, &b, &c, &d) != 0) info.AMDExtendedCpuFeatures = d;
    utsname name{};
    char text[sizeof name.release + sizeof name.version + 2] = "";
    if (::uname(&name) == 0) {
        const char* p = name.release;
        info.MajorVersion = ParseNumber(p);
        info.MinorVersion = ParseNumber(p);
        info.BuildNumber = ParseNumber(p);
        Vok::SignalSafe::Format(text, sizeof text, "%s %s", name.release, name.version);
    }
    info.CSDVersionRva = out.AppendString(text);
    out.Align(8);
    entry = {SystemInfoStream, {sizeof info, out.Append(&info, sizeof info)}};
}

void WriteMiscInfo(CDumpFile& out, MINIDUMP_DIRECTORY& entry) {
    MINIDUMP_MISC_INFO info{};
    info.SizeOfInfo = sizeof info;
    info.Flags1 = MINIDUMP_MISC1_PROCESS_ID;
    info.ProcessId = static_cast<uint32_t>(::getpid());
    entry = {MiscInfoStream, {sizeof info, out.Append(&info, sizeof info)}};
}

// ---- Thread and exception --------------------------------------------------------------------

MINIDUMP_LOCATION_DESCRIPTOR WriteContext(CDumpFile& out, const CONTEXT& c) {
    static MINIDUMP_CONTEXT_AMD64 m;
    m = MINIDUMP_CONTEXT_AMD64{};
    m.ContextFlags = CONTEXT_AMD64_CONTROL | CONTEXT_AMD64_INTEGER;
    m.SegCs = c.SegCs;
    m.SegSs = c.SegSs;
    m.EFlags = c.EFlags;
    m.Rax = c.Rax;
    m.Rcx = c.Rcx;
    m.Rdx = c.Rdx;
    m.Rbx = c.Rbx;
    m.Rsp = c.Rsp;
    m.Rbp = c.Rbp;
    m.Rsi = c.Rsi;
    m.Rdi = c.Rdi;
    m.R8 = c.R8;
    m.R9 = c.R9;
    m.R10 = c.R10;
    m.R11 = c.R11;
    m.R12 = c.R12;
    m.R13 = c.R13;
    m.R14 = c.R14;
    m.R15 = c.R15;
    m.Rip = c.Rip;
    if (c.FloatSaved) {
        m.ContextFlags |= CONTEXT_AMD64_FLOATING_POINT;
        std::memcpy(m.FltSave, c.FloatSave, sizeof m.FltSave);
        std::memcpy(&m.MxCsr, c.FloatSave + 24, sizeof m.MxCsr);  // MXCSR's place in the image
    }
    out.Align(16);
    return {sizeof m, out.Append(&m, sizeof m)};
}

// The readable memory that holds the stack from sp up: from below the red zone to the end of
// its mapping, at most kStackReach. After a stack overflow sp lies below the mapping; its lowest
// words are then kept.
sRange StackRange(uint64_t sp) {
    sRange stack{0, 0};
    const uint64_t low = sp > kRedZone ? sp - kRedZone : 0;
    ForEachMapping([&](const sMapping& m) {
        if (m.end <= low) return true;
        if (m.perms[0] != 'r' || m.start >= sp + kStackReach) return false;
        const uint64_t start = m.start > low ? m.start : low;
        const uint64_t end = m.end - start > kStackReach ? start + kStackReach : m.end;
        stack = {start, end - start};
        return false;
    });
    return stack;
}

// A dump that names Linux as its platform carries the signal as its exception code, as crash
// reporters there write it and debuggers read it; the report's own code maps back to the signal
// that raised it. 0 for a code that no signal gives.
uint32_t SignalOfExceptionCode(DWORD code) {
    static constexpr struct {
        DWORD code;
        int signal;
    } kSignals[] = {
        {EXCEPTION_ACCESS_VIOLATION, SIGSEGV},     {EXCEPTION_STACK_OVERFLOW, SIGSEGV},
        {EXCEPTION_IN_PAGE_ERROR, SIGBUS},         {EXCEPTION_DATATYPE_MISALIGNMENT, SIGBUS},
        {EXCEPTION_ILLEGAL_INSTRUCTION, SIGILL},   {EXCEPTION_PRIV_INSTRUCTION, SIGILL},
        {EXCEPTION_INT_DIVIDE_BY_ZERO, SIGFPE},    {EXCEPTION_INT_OVERFLOW, SIGFPE},
        {EXCEPTION_FLT_DIVIDE_BY_ZERO, SIGFPE},    {EXCEPTION_FLT_OVERFLOW, SIGFPE},
        {EXCEPTION_FLT_UNDERFLOW, SIGFPE},         {EXCEPTION_FLT_INEXACT_RESULT, SIGFPE},
        {EXCEPTION_FLT_INVALID_OPERATION, SIGFPE}, {EXCEPTION_ARRAY_BOUNDS_EXCEEDED, SIGFPE},
        {EXCEPTION_CPP, SIGABRT},                  {STATUS_FATAL_APP_EXIT, SIGABRT},
    };
    for (const auto& s : kSignals)
        if (s.code == code) return static_cast<uint32_t>(s.signal);
    return 0;
}

// The faulting thread, the one thread whose registers are known.
MINIDUMP_DIRECTORY WriteThreadList(CDumpFile& out, DWORD threadId, const sRange& stack, uint32_t stackRva,
                                   const MINIDUMP_LOCATION_DESCRIPTOR& context) {
    MINIDUMP_THREAD thread{};
    thread.ThreadId = threadId;
    thread.Stack = {stack.start, {static_cast<uint32_t>(stack.size), stackRva}};
    thread.ThreadContext = context;
    out.Align(8);
    const uint32_t one = 1;
    const uint32_t rva = out.Append(&one, sizeof one);
    out.Append(&thread, sizeof thread);
    return {ThreadListStream, {sizeof one + sizeof thread, rva}};
}

// As Linux crash reporters fill it: the signal, its si_code, and for SIGSEGV and SIGBUS the data
// address that faulted; otherwise the instruction's address. A record not made from a signal
// gives the data address of its parameters.
MINIDUMP_DIRECTORY WriteException(CDumpFile& out, DWORD threadId, const EXCEPTION_RECORD& r,
                                  const MINIDUMP_LOCATION_DESCRIPTOR& context) {
    MINIDUMP_EXCEPTION_STREAM e{};
    e.ThreadId = threadId;
    const uint32_t signal = r.Signal != 0 ? static_cast<uint32_t>(r.Signal) : SignalOfExceptionCode(r.ExceptionCode);
    e.ExceptionRecord.ExceptionCode = signal;
    e.ExceptionRecord.ExceptionFlags = r.Signal != 0 ? static_cast<uint32_t>(r.SignalCode) : 0;
    e.ExceptionRecord.ExceptionAddress = reinterpret_cast<uintptr_t>(r.ExceptionAddress);
    if (signal == SIGSEGV || signal == SIGBUS) {
        if (r.Signal != 0 && r.SignalCode > 0) e.ExceptionRecord.ExceptionAddress = r.FaultAddress;
        else if (r.Signal == 0 && r.NumberParameters >= 2) e.ExceptionRecord.ExceptionAddress = r.ExceptionInformation[1];
    }
    e.ExceptionRecord.NumberParameters =
        r.NumberParameters < EXCEPTION_MAXIMUM_PARAMETERS ? r.NumberParameters : EXCEPTION_MAXIMUM_PARAMETERS;
    for (DWORD i = 0; i < e.ExceptionRecord.NumberParameters; ++i)
        e.ExceptionRecord.ExceptionInformation[i] = r.ExceptionInformation[i];
    e.ThreadContext = context;
    return {ExceptionStream, {sizeof e, out.Append(&e, sizeof e)}};
}

// ---- Modules -----------------------------------------------------------------------------

// The GNU build id of the ELF image mapped at base, copied into id; its length, 0 when none.
std::size_t FindBuildId(uint64_t base, unsigned char* id, std::size_t size) {
    Elf64_Ehdr header;
    if (!SafeRead(base, &header, sizeof header) || std::memcmp(header.e_ident, ELFMAG, SELFMAG) != 0 ||
        header.e_ident[EI_CLASS] != ELFCLASS64 || header.e_phentsize != sizeof(Elf64_Phdr))
        return 0;
    // The load bias: where the image's first loadable segment went.
    uint64_t firstLoad = UINT64_MAX;
    for (unsigned i = 0; i < header.e_phnum; ++i) {
        Elf64_Phdr ph;
        if (!SafeRead(base + header.e_phoff + i * sizeof ph, &ph, sizeof ph)) return 0;
        if (ph.p_type == PT_LOAD && ph.p_vaddr < firstLoad) firstLoad = ph.p_vaddr;
    }
    if (firstLoad == UINT64_MAX) return 0;
    const uint64_t bias = base - (firstLoad & ~(kPage - 1));
    for (unsigned i = 0; i < header.e_phnum; ++i) {
        Elf64_Phdr ph;
        if (!SafeRead(base + header.e_phoff + i * sizeof ph, &ph, sizeof ph)) return 0;
        if (ph.p_type != PT_NOTE) continue;
        for (uint64_t at = 0; at + sizeof(Elf64_Nhdr) <= ph.p_filesz;) {
            Elf64_Nhdr note;
            const uint64_t address = bias + ph.p_vaddr + at;
            if (!SafeRead(address, &note, sizeof note)) break;
            const uint64_t name = (note.n_namesz + 3) & ~uint64_t{3};
            const uint64_t desc = (note.n_descsz + 3) & ~uint64_t{3};
            char owner[4];
            if (note.n_type == NT_GNU_BUILD_ID && note.n_namesz == 4 && note.n_descsz <= size &&
                SafeRead(address + sizeof note, owner, 4) && std::memcmp(owner, "GNU", 4) == 0 &&
                SafeRead(address + sizeof note + name, id, note.n_descsz))
                return note.n_descsz;
            at += sizeof note + name + desc;
        }
    }
    return 0;
}

bool IsElfImage(uint64_t base) {
    unsigned char magic[SELFMAG];
    return SafeRead(base, magic, sizeof magic) && std::memcmp(magic, ELFMAG, SELFMAG) == 0;
}

// Every ELF file mapped from its start: name and code-view record written, its extent noted;
// the writable private mappings of its file are its data.
void CollectModules(CDumpFile& out, bool dataSegments) {
    g_moduleCount = 0;
    g_modulePath[0] = '\0';
    sModule* current = nullptr;
    ForEachMapping([&](const sMapping& m) {
        // Zero-filled data (.bss) goes on in anonymous memory right after an image's last page.
        if (m.path[0] == '\0' && current != nullptr && m.start == current->end && std::strncmp(m.perms, "rw-p", 4) == 0) {
            current->end = m.end;
            if (dataSegments) AddRange(m.start, m.end - m.start);
            return true;
        }
        if (m.path[0] != '/') return true;
        if (current != nullptr && std::strcmp(m.path, g_modulePath) == 0) {
            current->end = m.end;
            if (dataSegments && m.perms[1] == 'w' && m.perms[3] == 'p') AddRange(m.start, m.end - m.start);
            return true;
        }
        current = nullptr;
        if (m.offset != 0 || m.perms[0] != 'r' || g_moduleCount == kMaxModules || !IsElfImage(m.start))
            return true;
        current = &g_modules[g_moduleCount++];
        Vok::SignalSafe::CopyText(g_modulePath, sizeof g_modulePath, m.path);
        current->base = m.start;
        current->end = m.end;
        current->nameRva = out.AppendString(m.path);
        struct {
            uint32_t signature;
            unsigned char id[64];
        } cv{CV_SIGNATURE_ELF_BUILD_ID, {}};
        const std::size_t idSize = FindBuildId(m.start, cv.id, sizeof cv.id);
        current->cv = {};
        if (idSize > 0) {
            out.Align(4);
            const uint32_t size = static_cast<uint32_t>(sizeof cv.signature + idSize);
            current->cv = {size, out.Append(&cv, size)};
        }
        return true;
    });
}

void WriteModuleList(CDumpFile& out, MINIDUMP_DIRECTORY& entry) {
    out.Align(8);
    const uint32_t count = static_cast<uint32_t>(g_moduleCount);
    const uint32_t rva = out.Append(&count, sizeof count);
    for (std::size_t i = 0; i < g_moduleCount; ++i) {
        const sModule& s = g_modules[i];
        MINIDUMP_MODULE m{};
        m.BaseOfImage = s.base;
        m.SizeOfImage = s.end - s.base > UINT32_MAX ? UINT32_MAX : static_cast<uint32_t>(s.end - s.base);
        m.ModuleNameRva = s.nameRva;
        m.CvRecord = s.cv;
        out.Append(&m, sizeof m);
    }
    entry = {ModuleListStream, {static_cast<uint32_t>(out.Offset() - rva), rva}};
}

// ---- Mappings and memory -------------------------------------------------------------------

void WriteMaps(CDumpFile& out, MINIDUMP_DIRECTORY& entry) {
    const uint32_t rva = static_cast<uint32_t>(out.Offset());
    const int fd = ::open("/proc/self/maps", O_RDONLY | O_CLOEXEC);
    while (fd >= 0) {
        const ssize_t n = ::read(fd, g_chunk, sizeof g_chunk);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        out.Append(g_chunk, static_cast<std::size_t>(n));
    }
    if (fd >= 0) ::close(fd);
    entry = {LinuxMapsStream, {static_cast<uint32_t>(out.Offset() - rva), rva}};
}

// The runs of pages of [start, end) that are in memory.
void AddResidentRuns(uint64_t start, uint64_t end) {
    constexpr uint64_t kSpan = sizeof g_residency * kPage;
    for (uint64_t at = start; at < end; at += kSpan) {
        const uint64_t span = end - at < kSpan ? end - at : kSpan;
        if (::mincore(reinterpret_cast<void*>(at), span, g_residency) != 0) return;
        const uint64_t pages = (span + kPage - 1) / kPage;
        // Stretches that were never touched go by a block at a time.
        constexpr uint64_t kBlock = 256;
        static const unsigned char untouched[kBlock] = {};
        for (uint64_t p = 0; p < pages; ++p) {
            if (p % kBlock == 0 && pages - p >= kBlock && std::memcmp(g_residency + p, untouched, kBlock) == 0) {
                p += kBlock - 1;
                continue;
            }
            if ((g_residency[p] & 1) != 0) AddRange(at + p * kPage, kPage);
        }
    }
}

// The kernel's own mappings ([vvar], [vvar_vclock], [vdso], [vsyscall] ...) are no memory of the
// program, and some fault when read; the heap, the stacks and named anonymous memory are.
bool IsKernelMapping(const char* path) {
    return path[0] == '[' && std::strcmp(path, "[heap]") != 0 && std::strncmp(path, "[stack", 6) != 0 &&
           std::strncmp(path, "[anon", 5) != 0;
}

// The address sanitizer's shadow, [start, end): terabytes that describe the program's memory rather
// than hold it, and whose page-by-page residency scan alone took seconds. Empty without the sanitizer.
void ShadowMemory(uint64_t& start, uint64_t& end) {
    start = end = 0;
#if defined(__SANITIZE_ADDRESS__)
    std::size_t scale = 0, offset = 0;
    __asan_get_shadow_mapping(&scale, &offset);
    start = offset;
    end = offset + (UINT64_C(0x7fffffffffff) >> scale) + 1;
#endif
}

void CollectPrivateMemory() {
    static uint64_t shadowStart, shadowEnd;
    ShadowMemory(shadowStart, shadowEnd);
    ForEachMapping([](const sMapping& m) {
        if (m.perms[0] != 'r' || m.perms[3] != 'p' || IsKernelMapping(m.path)) return true;
        // A file's pages are its content whether or not they are cached; untouched anonymous
        // pages read as zeros and may span a reservation of terabytes.
        if (m.path[0] == '/') {
            AddRange(m.start, m.end - m.start);
        } else {
            if (m.start < shadowStart) AddResidentRuns(m.start, m.end < shadowStart ? m.end : shadowStart);
            if (m.end > shadowEnd) AddResidentRuns(m.start > shadowEnd ? m.start : shadowEnd, m.end);
        }
        return true;
    });
}

// The descriptors, entered in the directory, then the bytes, as far as 32-bit offsets reach; the
// stack's bytes are there already.
void WriteMemoryList(CDumpFile& out, const sRange& stack, uint32_t stackRva) {
    out.Align(8);
    const uint64_t listAt = out.Offset();
    // The list at its longest bounds where the bytes begin.
    uint64_t end = listAt + 4 + (g_rangeCount + 1) * sizeof(MINIDUMP_MEMORY_DESCRIPTOR);
    std::size_t kept = 0;
    for (; kept < g_rangeCount && end + g_ranges[kept].size <= kRvaLimit; ++kept) end += g_ranges[kept].size;
    const uint32_t count = static_cast<uint32_t>(kept + (stack.size > 0 ? 1 : 0));
    uint64_t at = listAt + 4 + uint64_t{count} * sizeof(MINIDUMP_MEMORY_DESCRIPTOR);
    const uint32_t rva = out.Append(&count, sizeof count);
    if (stack.size > 0) {
        const MINIDUMP_MEMORY_DESCRIPTOR d{stack.start, {static_cast<uint32_t>(stack.size), stackRva}};
        out.Append(&d, sizeof d);
    }
    for (std::size_t i = 0; i < kept; ++i) {
        const MINIDUMP_MEMORY_DESCRIPTOR d{g_ranges[i].start,
                                           {static_cast<uint32_t>(g_ranges[i].size), static_cast<uint32_t>(at)}};
        out.Append(&d, sizeof d);
        at += g_ranges[i].size;
    }
    out.Publish({MemoryListStream, {static_cast<uint32_t>(out.Offset() - rva), rva}});
    for (std::size_t i = 0; i < kept; ++i) out.AppendMemory(g_ranges[i].start, g_ranges[i].size);
}

// The list, entered in the directory, then every range's bytes one after the other from its base
// offset.
void WriteMemory64List(CDumpFile& out) {
    out.Align(8);
    const uint64_t count = g_rangeCount;
    const uint64_t size = 16 + count * sizeof(MINIDUMP_MEMORY_DESCRIPTOR64);
    const uint64_t base = out.Offset() + size;
    const uint32_t rva = out.Append(&count, sizeof count);
    out.Append(&base, sizeof base);
    for (std::size_t i = 0; i < g_rangeCount; ++i) {
        const MINIDUMP_MEMORY_DESCRIPTOR64 d{g_ranges[i].start, g_ranges[i].size};
        out.Append(&d, sizeof d);
    }
    out.Publish({Memory64ListStream, {static_cast<uint32_t>(size), rva}});
    for (std::size_t i = 0; i < g_rangeCount; ++i) out.AppendMemory(g_ranges[i].start, g_ranges[i].size);
}

}  // namespace

bool WriteMinidump(int file, const MINIDUMP_EXCEPTION_INFORMATION* exception, bool full) {
    MINIDUMP_HEADER header{};
    header.Signature = MINIDUMP_SIGNATURE;
    header.Version = MINIDUMP_VERSION;
    header.TimeDateStamp = static_cast<uint32_t>(::time(nullptr));
    header.Flags = MiniDumpWithDataSegs | MiniDumpWithProcessThreadData | (full ? MiniDumpWithFullMemory : 0);
    CDumpFile out(file, header);
    // The small streams first, the memory last: a dump cut short keeps what debuggers need most.
    MINIDUMP_DIRECTORY entry{};
    WriteSystemInfo(out, entry);
    out.Publish(entry);
    WriteMiscInfo(out, entry);
    out.Publish(entry);

    const EXCEPTION_POINTERS* pointers = exception != nullptr ? exception->ExceptionPointers : nullptr;
    const CONTEXT* context = pointers != nullptr ? pointers->ContextRecord : nullptr;
    sRange stack{0, 0};
    uint32_t stackRva = 0;
    // The thread is listed before its stack is written, with an empty stack that the stack's bytes
    // fill in once they are there: a dump cut while they are written still names the thread, its
    // registers and the modules, which is what a debugger needs for the faulting frame.
    uint64_t threadStackAt = 0;
    if (context != nullptr) {
        const MINIDUMP_LOCATION_DESCRIPTOR contextAt = WriteContext(out, *context);
        const MINIDUMP_DIRECTORY threads = WriteThreadList(out, exception->ThreadId, sRange{0, 0}, 0, contextAt);
        threadStackAt = threads.Location.Rva + sizeof(uint32_t) + offsetof(MINIDUMP_THREAD, Stack);
        out.Publish(threads);
        if (pointers->ExceptionRecord != nullptr)
            out.Publish(WriteException(out, exception->ThreadId, *pointers->ExceptionRecord, contextAt));
    }

    g_rangeCount = 0;
    CollectModules(out, !full);
    WriteModuleList(out, entry);
    out.Publish(entry);
    WriteMaps(out, entry);
    out.Publish(entry);
    if (context != nullptr) {
        stack = StackRange(context->Rsp);
        out.Align(16);
        stackRva = out.AppendMemory(stack.start, stack.size);
        const MINIDUMP_MEMORY_DESCRIPTOR filled{stack.start, {static_cast<uint32_t>(stack.size), stackRva}};
        out.PutAt(threadStackAt, &filled, sizeof filled);
    }
    if (full) {
        g_rangeCount = 0;
        CollectPrivateMemory();
        WriteMemory64List(out);
    } else {
        WriteMemoryList(out, stack, stackRva);
    }
    return out.Ok();
}
