// A reader of minidump files for the tests, written against the format's documented offsets
// rather than the writer's records, so that a layout fault on either side shows. Every offset
// and size is checked against the file; a dump that breaks the format gets an error text.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace Vok::Test {

struct sDumpStream {
    uint32_t type;
    uint32_t size;
    uint32_t rva;
};

struct sDumpThread {
    uint32_t id;
    uint64_t stackStart;
    uint32_t stackSize;
    uint64_t rip;  // from its context
    uint64_t rsp;
};

struct sDumpException {
    uint32_t threadId;
    uint32_t code;
    uint32_t flags;
    uint64_t address;
    std::vector<uint64_t> parameters;
    uint64_t rip;  // from its context
};

struct sDumpModule {
    uint64_t base;
    uint32_t size;
    std::string name;  // UTF-8
    std::vector<uint8_t> buildId;
};

struct sDumpMemory {
    uint64_t start;
    uint64_t size;
    uint64_t offset;  // in the file
};

class CMinidumpReader {
public:
    // Reads and checks the file; Error() tells what was wrong.
    explicit CMinidumpReader(const std::string& path);

    const std::string& Error() const { return m_error; }
    uint32_t Signature() const { return m_signature; }
    uint32_t Version() const { return m_version; }
    uint64_t Flags() const { return m_flags; }
    const std::vector<sDumpStream>& Streams() const { return m_streams; }
    bool HasStream(uint32_t type) const;

    uint16_t Architecture() const { return m_architecture; }
    uint32_t Platform() const { return m_platform; }
    uint32_t ProcessId() const { return m_processId; }
    const std::vector<sDumpThread>& Threads() const { return m_threads; }
    const std::optional<sDumpException>& Exception() const { return m_exception; }
    const std::vector<sDumpModule>& Modules() const { return m_modules; }
    // The ranges of the memory list and of the 64-bit memory list together.
    const std::vector<sDumpMemory>& Memory() const { return m_memory; }
    const std::string& Maps() const { return m_maps; }
    // The file ends inside the memory's bytes (a dump cut short): the ranges from the first that
    // does not fit are left out.
    bool Cut() const { return m_cut; }
    // size bytes of the dumped process's memory at address; nothing when no range holds them all.
    std::optional<std::string> ReadMemory(uint64_t address, std::size_t size) const;

private:
    bool Fits(uint64_t offset, uint64_t size) const { return offset <= m_bytes.size() && size <= m_bytes.size() - offset; }
    uint64_t Read(uint64_t offset, int bytes) const;
    void Fail(const std::string& what);
    std::string ReadString(uint32_t rva);
    void ReadStreams();

    std::string m_bytes;
    std::string m_error;
    uint32_t m_signature = 0;
    uint32_t m_version = 0;
    uint64_t m_flags = 0;
    std::vector<sDumpStream> m_streams;
    uint16_t m_architecture = 0;
    uint32_t m_platform = 0;
    uint32_t m_processId = 0;
    std::vector<sDumpThread> m_threads;
    std::optional<sDumpException> m_exception;
    std::vector<sDumpModule> m_modules;
    std::vector<sDumpMemory> m_memory;
    std::string m_maps;
    bool m_cut = false;
};

// The GNU build id of an ELF file, read from the file's note sections; empty when it has none.
std::vector<uint8_t> ReadElfBuildId(const std::string& path);

}  // namespace Vok::Test
