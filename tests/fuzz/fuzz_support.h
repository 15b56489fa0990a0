// What the fuzz targets share: a reader of the input's fields, a private folder of named objects,
// and the seed files that a target writes of itself when scripts/fuzz asks for them.
#pragma once

#include <stdlib.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <set>
#include <string>
#include <vector>

namespace Vok::Fuzz {

// Little-endian fields from the front of the input; past its end every field reads as 0.
class CInputReader {
public:
    CInputReader(const uint8_t* data, size_t size) : m_data(data), m_size(size) {}

    uint8_t U8() { return static_cast<uint8_t>(Take(1)); }
    uint16_t U16() { return static_cast<uint16_t>(Take(2)); }
    uint32_t U32() { return static_cast<uint32_t>(Take(4)); }
    // At most n bytes, fewer when the input ends.
    std::vector<uint8_t> Bytes(size_t n) {
        n = std::min(n, m_size - m_at);
        std::vector<uint8_t> bytes(m_data + m_at, m_data + m_at + n);
        m_at += n;
        return bytes;
    }
    std::vector<uint8_t> Rest() { return Bytes(m_size - m_at); }

private:
    uint64_t Take(size_t n) {
        uint64_t v = 0;
        for (size_t k = 0; k < n && m_at < m_size; ++k) v |= uint64_t{m_data[m_at++]} << (8 * k);
        return v;
    }
    const uint8_t* m_data;
    size_t m_size;
    size_t m_at = 0;
};

// The appending side of CInputReader, for seeds.
class CInputWriter {
public:
    void U8(uint8_t v) { Put(v, 1); }
    void U16(uint16_t v) { Put(v, 2); }
    void U32(uint32_t v) { Put(v, 4); }
    void Bytes(const void* p, size_t n) {
        const auto* b = static_cast<const uint8_t*>(p);
        m_bytes.insert(m_bytes.end(), b, b + n);
    }
    const std::vector<uint8_t>& Get() const { return m_bytes; }

private:
    void Put(uint64_t v, size_t n) {
        for (size_t k = 0; k < n; ++k) m_bytes.push_back(static_cast<uint8_t>(v >> (8 * k)));
    }
    std::vector<uint8_t> m_bytes;
};

// A fresh folder on tmpfs for the named objects of this process, removed when the process ends
// normally.
// Made at start-up, before any named object exists.
inline void UsePrivateIpcFolder() {
    static std::string root;
    if (!root.empty()) return;
    char folder[] = "/dev/shm/vok-fuzz-XXXXXX";
    if (::mkdtemp(folder) == nullptr) {
        std::perror("mkdtemp");
        std::abort();
    }
    root = folder;
    ::setenv("VOK_IPC_DIR", (root + "/ipc").c_str(), 1);
    std::atexit([] {
        std::error_code ignored;
        std::filesystem::remove_all(root, ignored);
    });
}

// The folder that VOK_FUZZ_SEEDS names: a target given it writes its seeds there and exits.
inline const char* SeedFolder() { return ::getenv("VOK_FUZZ_SEEDS"); }

inline void WriteSeed(const std::string& name, const void* bytes, size_t size) {
    std::filesystem::create_directories(SeedFolder());
    std::ofstream out(std::string(SeedFolder()) + "/" + name, std::ios::binary);
    out.write(static_cast<const char*>(bytes), static_cast<std::streamsize>(size));
}
inline void WriteSeed(const std::string& name, const std::string& bytes) {
    WriteSeed(name, bytes.data(), bytes.size());
}

// The first sentence of each type and checksum state in the corpus under VOK_FUZZ_DATA (tests/data).
inline std::vector<std::string> CorpusSentences() {
    std::vector<std::string> sentences;
    const char* data = ::getenv("VOK_FUZZ_DATA");
    if (data == nullptr) return sentences;
    std::ifstream corpus(std::string(data) + "/gpsd/nmea-corpus.tsv");
    std::string line;
    std::getline(corpus, line);  // heading: log, line, type, checksum, sentence
    std::set<std::string> seen;
    while (std::getline(corpus, line)) {
        std::vector<std::string> fields;
        for (size_t at = 0;;) {
            const size_t tab = line.find('\t', at);
            fields.push_back(line.substr(at, tab == std::string::npos ? std::string::npos : tab - at));
            if (tab == std::string::npos) break;
            at = tab + 1;
        }
        if (fields.size() == 5 && seen.insert(fields[2] + "/" + fields[3]).second) sentences.push_back(fields[4]);
    }
    return sentences;
}

// The sentences of the peers' case tables under VOK_FUZZ_DATA: the first field of each row that
// starts with "$".
inline std::vector<std::string> PeerSentences() {
    std::vector<std::string> sentences;
    const char* data = ::getenv("VOK_FUZZ_DATA");
    if (data == nullptr) return sentences;
    for (const char* table : {"ggk-samples", "go-nmea-cases", "minmea-check", "sbgecom-doc-examples"}) {
        std::ifstream rows(std::string(data) + "/peers/" + table + ".tsv");
        for (std::string line; std::getline(rows, line);) {
            for (size_t at = 0; at < line.size();) {
                const size_t tab = std::min(line.find('\t', at), line.size());
                if (line[at] == '$') {
                    sentences.push_back(line.substr(at, tab - at));
                    break;
                }
                at = tab + 1;
            }
        }
    }
    return sentences;
}

inline std::string LittleEndian(uint32_t v, size_t n) {
    std::string s;
    for (size_t k = 0; k < n; ++k) s.push_back(static_cast<char>(v >> (8 * k)));
    return s;
}

// The text (whole lines) with a time tag of each form (1..6 in order), all at 2001-09-09 12:00:00.
inline std::vector<std::string> TaggedForms(const std::string& text) {
    const auto n = static_cast<uint32_t>(text.size());
    std::string trailer = text;
    const size_t cr = trailer.find('\r');
    trailer.insert(cr == std::string::npos ? trailer.size() : cr, ",1000036800,250000");
    std::string lines;
    for (size_t at = 0; at < text.size();) {
        const size_t lf = std::min(text.find('\n', at), text.size() - 1);
        lines += "POS 43200000 " + text.substr(at, lf + 1 - at);
        at = lf + 1;
    }
    return {
        trailer,
        "RTA 09092001120000500 " + LittleEndian(n, 2) + text,
        "TDYRTA1 " + LittleEndian(2001, 4) + LittleEndian(9, 2) + LittleEndian(9, 2) + LittleEndian(12, 2) +
            LittleEndian(0, 2) + LittleEndian(0, 2) + LittleEndian(5000, 4) + " " + LittleEndian(n, 4) + text,
        std::string(1, '\2') + std::string(7, '\0') + LittleEndian(1000036800, 4) + LittleEndian(250000, 4) + text,
        "RRIO    09092001120000500  " + text,
        lines,
    };
}

}  // namespace Vok::Fuzz
