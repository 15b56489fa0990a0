// Checksums of NMEA-style sentences: the XOR test of a received sentence, and the checksum texts
// (XOR, sum, CRC-16, CRC-32) that a sender appends.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "compat/cstring.h"

// Checksum types; every other code counts as XOR.
constexpr int CHECKSUM_XOR = 1;
constexpr int CHECKSUM_SUM = 2;
constexpr int CHECKSUM_CRC16 = 3;
constexpr int CHECKSUM_CRC32 = 4;

// True when the sentence starts with "$" and the hex number after its last "*" is the XOR of
// the characters between the "$" and that "*".
bool CheckNmeaChecksum(const CString& sentence);
// The checksum tests of the sentences of one line. Each sentence ends at the next "$", carriage
// return or line feed, and its checksum follows its own last "*" before that end: of sentences
// glued together, or ended by a carriage return alone, each is tested on its own. Check (i) tests
// the sentence that starts at index i; each reads only its own sentence, so testing every
// sentence of a line takes time that grows with the line. The line must outlive this.
class CLineChecksum {
public:
    explicit CLineChecksum(std::string_view line) : m_line(line) {}
    bool Check(size_t start) const;

private:
    std::string_view m_line;
};

// The checksum over the characters from firstIndex to the end, printed in the type's format.
CString ChecksumText(const CString& text, int firstIndex, int type);
// Appends "*" and the checksum text (the text alone for the sum and CRC-16 types).
void AppendChecksum(CString& sentence, int firstIndex, int type);
// The same over the string's bytes as they are; the text is not re-encoded.
void AppendChecksum(std::string& sentence, int firstIndex, int type);
// The CRC-32 table entry of one byte value.
uint32_t Crc32Step(int byteValue);
