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
// The checksum tests of the sentences of one line, from one pass over it: Check (i) gives what
// CheckNmeaChecksum gives for the line from index i on (the XOR up to the line's last "*"), in time
// that does not grow with the line. Indices are meant to come in increasing order; one that goes
// back is still right, at the cost of a pass from the line's start. The line must outlive this.
class CLineChecksum {
public:
    explicit CLineChecksum(std::string_view line);
    bool Check(size_t start);

private:
    std::string_view m_line;
    size_t m_star;            // the line's last "*"; npos when none
    int m_expected;           // the field after it; -1 when it holds no digit
    unsigned m_total = 0;     // XOR of the line before the star
    unsigned m_prefix = 0;    // XOR of the line before m_prefixEnd
    size_t m_prefixEnd = 0;
};

// The checksum over the characters from firstIndex to the end, printed in the type's format.
CString ChecksumText(const CString& text, int firstIndex, int type);
// Appends "*" and the checksum text (the text alone for the sum and CRC-16 types).
void AppendChecksum(CString& sentence, int firstIndex, int type);
// The same over the string's bytes as they are; the text is not re-encoded.
void AppendChecksum(std::string& sentence, int firstIndex, int type);
// The CRC-32 table entry of one byte value.
uint32_t Crc32Step(int byteValue);
