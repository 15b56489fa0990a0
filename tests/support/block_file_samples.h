// Block files for the tests and the fuzz seeds: little-endian bytes written field by field from
// the format, and a sample project holding a block of every list that the block file keeps.
#pragma once

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "compat/windows_types.h"
#include "definitions/lists/anchor_def_list.h"
#include "definitions/file/his_list.h"
#include "definitions/file/vok_file.h"

namespace Vok::Test {

class CLeBytes {
public:
    CLeBytes& I32(int32_t v) { return Put(&v, 4); }
    CLeBytes& U32(uint32_t v) { return Put(&v, 4); }
    CLeBytes& U16(uint16_t v) { return Put(&v, 2); }
    CLeBytes& U8(uint8_t v) { return Put(&v, 1); }
    CLeBytes& F32(float v) { return Put(&v, 4); }
    CLeBytes& F64(double v) { return Put(&v, 8); }
    CLeBytes& Zeros(size_t n) {
        m_bytes.insert(m_bytes.end(), n, 0);
        return *this;
    }
    // The text, then zeros up to the field's size.
    CLeBytes& Text(const std::string& text, size_t field) {
        Put(text.data(), text.size());
        return Zeros(field - text.size());
    }
    CLeBytes& Time(WORD year, WORD month, WORD day, WORD hour, WORD minute, WORD second, WORD ms) {
        for (WORD w : {year, month, WORD{0}, day, hour, minute, second, ms}) U16(w);
        return *this;
    }
    CLeBytes& MjdTime(int32_t day, double seconds) { return I32(day).Zeros(4).F64(seconds); }
    CLeBytes& Append(const std::vector<uint8_t>& more) {
        m_bytes.insert(m_bytes.end(), more.begin(), more.end());
        return *this;
    }
    // A block: id, payload size, payload.
    CLeBytes& Block(int32_t id, const std::vector<uint8_t>& payload) {
        return I32(id).I32(static_cast<int32_t>(payload.size())).Append(payload);
    }
    size_t Size() const { return m_bytes.size(); }
    const std::vector<uint8_t>& Bytes() const { return m_bytes; }
    operator const std::vector<uint8_t>&() const { return m_bytes; }  // NOLINT

private:
    CLeBytes& Put(const void* p, size_t n) {
        const auto* b = static_cast<const uint8_t*>(p);
        m_bytes.insert(m_bytes.end(), b, b + n);
        return *this;
    }
    std::vector<uint8_t> m_bytes;
};

void WriteFileBytes(const std::string& path, const std::vector<uint8_t>& bytes);
std::vector<uint8_t> ReadFileBytes(const std::string& path);

void FillSampleAnchorDefs(CAnchorDefList& list);
void FillSampleHistory(CHisList& list);

// Writes, from the start of an empty file, the count and a block of every list (systems, nodes,
// observations, anchors, header definitions with a fix and a heartbeat chain in block 7, the
// history, the version block 26 holding 7, and the oldest fix and node event chains), the lists
// taken from the samples. Returns the number of blocks.
int WriteSampleProject(CVOKFile& file);

}  // namespace Vok::Test
