#include "tests/support/minidump_reader.h"

#include <cstring>
#include <fstream>

namespace Vok::Test {

namespace {

std::string ReadBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary | std::ios::ate);
    const std::streamoff size = in ? static_cast<std::streamoff>(in.tellg()) : 0;
    std::string bytes(size > 0 ? static_cast<std::size_t>(size) : 0, '\0');
    in.seekg(0);
    if (!in.read(bytes.data(), static_cast<std::streamsize>(bytes.size()))) bytes.clear();
    return bytes;
}

void AppendUtf8(std::string& out, uint32_t c) {
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (c >> 18));
        out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

// Offsets of the records, as the format documents them.
constexpr uint64_t kContextRsp = 152;
constexpr uint64_t kContextRip = 248;
constexpr uint64_t kContextSize = 1232;

}  // namespace

CMinidumpReader::CMinidumpReader(const std::string& path) : m_bytes(ReadBytes(path)) {
    if (!Fits(0, 32)) { Fail("no header"); return; }
    m_signature = static_cast<uint32_t>(Read(0, 4));
    m_version = static_cast<uint32_t>(Read(4, 4));
    const uint32_t count = static_cast<uint32_t>(Read(8, 4));
    const uint32_t directory = static_cast<uint32_t>(Read(12, 4));
    m_flags = Read(24, 8);
    if (m_signature != 0x504D444D) { Fail("not MDMP"); return; }
    if (!Fits(directory, uint64_t{count} * 12)) { Fail("directory outside the file"); return; }
    for (uint32_t i = 0; i < count; ++i) {
        const uint64_t at = directory + uint64_t{i} * 12;
        const sDumpStream s{static_cast<uint32_t>(Read(at, 4)), static_cast<uint32_t>(Read(at + 4, 4)),
                            static_cast<uint32_t>(Read(at + 8, 4))};
        if (!Fits(s.rva, s.size)) { Fail("stream " + std::to_string(s.type) + " outside the file"); return; }
        m_streams.push_back(s);
    }
    ReadStreams();
}

bool CMinidumpReader::HasStream(uint32_t type) const {
    for (const sDumpStream& s : m_streams)
        if (s.type == type) return true;
    return false;
}

uint64_t CMinidumpReader::Read(uint64_t offset, int bytes) const {
    uint64_t v = 0;
    if (!Fits(offset, static_cast<uint64_t>(bytes))) return 0;
    for (int i = bytes - 1; i >= 0; --i)
        v = (v << 8) | static_cast<unsigned char>(m_bytes[offset + static_cast<uint64_t>(i)]);
    return v;
}

void CMinidumpReader::Fail(const std::string& what) {
    if (m_error.empty()) m_error = what;
}

std::string CMinidumpReader::ReadString(uint32_t rva) {
    const uint64_t bytes = Read(rva, 4);
    if (!Fits(rva, 4 + bytes + 2) || bytes % 2 != 0) {
        Fail("string outside the file");
        return {};
    }
    std::string out;
    for (uint64_t i = 0; i < bytes; i += 2) {
        uint32_t c = static_cast<uint32_t>(Read(rva + 4 + i, 2));
        if (c >= 0xD800 && c < 0xDC00 && i + 2 < bytes) {
            const uint32_t low = static_cast<uint32_t>(Read(rva + 6 + i, 2));
            c = 0x10000 + ((c - 0xD800) << 10) + (low - 0xDC00);
            i += 2;
        }
        AppendUtf8(out, c);
    }
    if (Read(rva + 4 + bytes, 2) != 0) Fail("string without its terminator");
    return out;
}

void CMinidumpReader::ReadStreams() {
    auto context = [&](uint64_t size, uint64_t rva, uint64_t offset) {
        if (size < kContextSize || !Fits(rva, size)) Fail("context outside the file");
        return Read(rva + offset, 8);
    };
    for (const sDumpStream& s : m_streams) {
        const uint64_t at = s.rva;
        switch (s.type) {
        case 7:  // system information
            if (s.size < 56) return Fail("short system information");
            m_architecture = static_cast<uint16_t>(Read(at, 2));
            m_platform = static_cast<uint32_t>(Read(at + 20, 4));
            ReadString(static_cast<uint32_t>(Read(at + 24, 4)));
            break;
        case 15:  // misc information
            if (s.size < 24) return Fail("short misc information");
            if ((Read(at + 4, 4) & 1) != 0) m_processId = static_cast<uint32_t>(Read(at + 8, 4));
            break;
        case 3: {  // threads
            const uint64_t n = Read(at, 4);
            if (s.size < 4 + n * 48) return Fail("short thread list");
            for (uint64_t i = 0; i < n; ++i) {
                const uint64_t t = at + 4 + i * 48;
                sDumpThread thread{static_cast<uint32_t>(Read(t, 4)), Read(t + 24, 8),
                                   static_cast<uint32_t>(Read(t + 32, 4)), 0, 0};
                if (!Fits(Read(t + 36, 4), thread.stackSize)) return Fail("stack outside the file");
                thread.rip = context(Read(t + 40, 4), Read(t + 44, 4), kContextRip);
                thread.rsp = context(Read(t + 40, 4), Read(t + 44, 4), kContextRsp);
                m_threads.push_back(thread);
            }
            break;
        }
        case 6: {  // exception
            if (s.size < 168) return Fail("short exception stream");
            sDumpException e{static_cast<uint32_t>(Read(at, 4)), static_cast<uint32_t>(Read(at + 8, 4)),
                             static_cast<uint32_t>(Read(at + 12, 4)), Read(at + 24, 8), {}, 0};
            const uint64_t n = Read(at + 32, 4);
            if (n > 15) return Fail("too many exception parameters");
            for (uint64_t i = 0; i < n; ++i) e.parameters.push_back(Read(at + 40 + i * 8, 8));
            e.rip = context(Read(at + 160, 4), Read(at + 164, 4), kContextRip);
            m_exception = e;
            break;
        }
        case 4: {  // modules
            const uint64_t n = Read(at, 4);
            if (s.size < 4 + n * 108) return Fail("short module list");
            for (uint64_t i = 0; i < n; ++i) {
                const uint64_t m = at + 4 + i * 108;
                sDumpModule module{Read(m, 8), static_cast<uint32_t>(Read(m + 8, 4)),
                                   ReadString(static_cast<uint32_t>(Read(m + 20, 4))), {}};
                const uint64_t cvSize = Read(m + 76, 4);
                const uint64_t cvRva = Read(m + 80, 4);
                if (cvSize > 0) {
                    if (cvSize < 4 || !Fits(cvRva, cvSize)) return Fail("code-view record outside the file");
                    if (Read(cvRva, 4) != 0x4270454C) return Fail("code-view record without BpEL");
                    module.buildId.assign(m_bytes.begin() + static_cast<std::ptrdiff_t>(cvRva + 4),
                                          m_bytes.begin() + static_cast<std::ptrdiff_t>(cvRva + cvSize));
                }
                m_modules.push_back(module);
            }
            break;
        }
        case 5: {  // memory list
            const uint64_t n = Read(at, 4);
            if (s.size < 4 + n * 16) return Fail("short memory list");
            for (uint64_t i = 0; i < n; ++i) {
                const uint64_t d = at + 4 + i * 16;
                const sDumpMemory r{Read(d, 8), Read(d + 8, 4), Read(d + 12, 4)};
                if (!Fits(r.offset, r.size)) {
                    m_cut = true;
                    break;
                }
                m_memory.push_back(r);
            }
            break;
        }
        case 9: {  // 64-bit memory list: the ranges' bytes follow each other from the base
            const uint64_t n = Read(at, 8);
            uint64_t offset = Read(at + 8, 8);
            if (s.size < 16 + n * 16) return Fail("short 64-bit memory list");
            for (uint64_t i = 0; i < n; ++i) {
                const sDumpMemory r{Read(at + 16 + i * 16, 8), Read(at + 24 + i * 16, 8), offset};
                if (!Fits(r.offset, r.size)) {
                    m_cut = true;
                    break;
                }
                m_memory.push_back(r);
                offset += r.size;
            }
            break;
        }
        case 0x47670009:
            m_maps = m_bytes.substr(at, s.size);
            break;
        default:
            break;
        }
    }
}

std::optional<std::string> CMinidumpReader::ReadMemory(uint64_t address, std::size_t size) const {
    for (const sDumpMemory& r : m_memory)
        if (address >= r.start && address - r.start <= r.size && size <= r.size - (address - r.start))
            return m_bytes.substr(r.offset + (address - r.start), size);
    return std::nullopt;
}

std::vector<uint8_t> ReadElfBuildId(const std::string& path) {
    const std::string b = ReadBytes(path);
    auto read = [&](uint64_t at, int bytes) {
        uint64_t v = 0;
        if (at > b.size() || static_cast<uint64_t>(bytes) > b.size() - at) return uint64_t{0};
        for (int i = bytes - 1; i >= 0; --i) v = (v << 8) | static_cast<unsigned char>(b[at + static_cast<uint64_t>(i)]);
        return v;
    };
    if (b.size() < 64 || b.compare(0, 4, "\x7F" "ELF") != 0 || b[4] != 2) return {};
    // Section headers: a note section (type 7) holding a "GNU" note of type 3.
    const uint64_t shoff = read(0x28, 8);
    const uint64_t shentsize = read(0x3A, 2);
    const uint64_t shnum = read(0x3C, 2);
    for (uint64_t i = 0; i < shnum; ++i) {
        const uint64_t sh = shoff + i * shentsize;
        if (read(sh + 4, 4) != 7) continue;
        const uint64_t offset = read(sh + 0x18, 8);
        const uint64_t size = read(sh + 0x20, 8);
        for (uint64_t at = offset; at + 12 <= offset + size;) {
            const uint64_t nameSize = read(at, 4);
            const uint64_t descSize = read(at + 4, 4);
            const uint64_t type = read(at + 8, 4);
            const uint64_t desc = at + 12 + ((nameSize + 3) & ~uint64_t{3});
            if (type == 3 && nameSize == 4 && b.compare(at + 12, 4, std::string("GNU\0", 4)) == 0 &&
                desc + descSize <= b.size())
                return std::vector<uint8_t>(b.begin() + static_cast<std::ptrdiff_t>(desc),
                                            b.begin() + static_cast<std::ptrdiff_t>(desc + descSize));
            at = desc + ((descSize + 3) & ~uint64_t{3});
        }
    }
    return {};
}

}  // namespace Vok::Test
