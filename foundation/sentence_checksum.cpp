#include "foundation/sentence_checksum.h"

#include <array>
#include <cstdint>
#include <cstring>

namespace {

// CRC-16/KERMIT: the polynomial 0x1021 taken bit-reversed.
constexpr std::array<uint16_t, 256> MakeCrc16Table() {
    std::array<uint16_t, 256> table{};
    for (unsigned i = 0; i < 256; ++i) {
        unsigned r = i;
        for (int k = 0; k < 8; ++k) r = (r & 1u) != 0 ? (r >> 1) ^ 0x8408u : r >> 1;
        table[i] = static_cast<uint16_t>(r);
    }
    return table;
}
constexpr std::array<uint16_t, 256> kCrc16Table = MakeCrc16Table();
static_assert(kCrc16Table[1] == 0x1189 && kCrc16Table[2] == 0x2312 && kCrc16Table[3] == 0x329B);

bool IsSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r'; }

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

// Reads the checksum field after the star: blanks skipped, an optional "0x", hex digits of either
// case up to the first other character. Returns -1 when no digit is there, and a value above 0xFF
// (never a match) for more than two significant digits, however many follow: the reading must
// not wrap around to a small number.
int ReadChecksumField(std::string_view s, size_t i) {
    while (i < s.size() && IsSpace(s[i])) ++i;
    if (i + 2 < s.size() && s[i] == '0' && (s[i + 1] == 'x' || s[i + 1] == 'X') && HexDigit(s[i + 2]) >= 0) i += 2;
    int value = -1;
    for (; i < s.size(); ++i) {
        const int d = HexDigit(s[i]);
        if (d < 0) break;
        value = value < 0 ? d : value * 16 + d;
        if (value > 0xFF) return 0x100;
    }
    return value;
}

// Whether the text, which starts with "$", carries after its "*" at index star the XOR of the
// characters between the two.
// The exclusive or of the bytes, eight at a time: the or of every byte of the words, folded to one,
// is the same whatever the byte order.
unsigned XorOfBytes(const char* bytes, size_t length) {
    uint64_t words = 0;
    size_t i = 0;
    for (; i + sizeof words <= length; i += sizeof words) {
        uint64_t word = 0;
        std::memcpy(&word, bytes + i, sizeof word);
        words ^= word;
    }
    words ^= words >> 32;
    words ^= words >> 16;
    words ^= words >> 8;
    unsigned sum = static_cast<unsigned>(words & 0xFFu);
    for (; i < length; ++i) sum ^= static_cast<unsigned char>(bytes[i]);
    return sum;
}

bool MatchesChecksum(std::string_view text, size_t star) {
    const int expected = ReadChecksumField(text, star + 1);
    if (expected < 0) return false;
    const unsigned sum = star > 1 ? XorOfBytes(text.data() + 1, star - 1) : 0u;
    return static_cast<int>(sum) == expected;
}

}  // namespace

bool CheckNmeaChecksum(const CString& sentence) {
    const std::string_view text = sentence.Str();
    const size_t star = text.rfind('*');
    return !text.empty() && text[0] == '$' && star != std::string_view::npos && MatchesChecksum(text, star);
}

bool CLineChecksum::Check(size_t start) const {
    if (start >= m_line.size() || m_line[start] != '$') return false;
    // The sentence ends at the next "$", CR or LF; each is looked for with memchr.
    std::string_view sentence = m_line.substr(start, m_line.find('$', start + 1) - start);
    sentence = sentence.substr(0, sentence.find('\r'));
    sentence = sentence.substr(0, sentence.find('\n'));
    const size_t star = sentence.rfind('*');
    return star != std::string_view::npos && MatchesChecksum(sentence, star);
}

CString ChecksumText(const CString& text, int firstIndex, int type) {
    const std::string& s = text.Str();
    const size_t first = firstIndex < 0 ? 0 : static_cast<size_t>(firstIndex);
    uint32_t r = 0;
    for (size_t i = first; i < s.size(); ++i) {
        const uint32_t c = static_cast<unsigned char>(s[i]);
        switch (type) {
            case CHECKSUM_SUM:
                r += c;
                break;
            case CHECKSUM_CRC16:
                r = (r >> 8) ^ kCrc16Table[(r ^ c) & 0xFFu];
                break;
            case CHECKSUM_CRC32:
                r = (r >> 8) ^ Crc32Step(static_cast<int>((r ^ c) & 0xFFu));
                break;
            default:
                r ^= c;
                break;
        }
    }
    CString out;
    switch (type) {
        case CHECKSUM_SUM:
            out.Format("%02X", r % 256u);
            break;
        case CHECKSUM_CRC16:
            out.Format("%04X", r);
            break;
        case CHECKSUM_CRC32:
            out.Format("%08X", r);
            break;
        default:
            out.Format("%02X", r);
            break;
    }
    return out;
}

void AppendChecksum(CString& sentence, int firstIndex, int type) {
    const CString checksum = ChecksumText(sentence, firstIndex, type);
    if (type != CHECKSUM_SUM && type != CHECKSUM_CRC16) sentence += '*';
    sentence += checksum;
}

void AppendChecksum(std::string& sentence, int firstIndex, int type) {
    CString text(sentence.data(), static_cast<int>(sentence.size()));
    AppendChecksum(text, firstIndex, type);
    sentence = text.Str();
}

uint32_t Crc32Step(int byteValue) {
    uint32_t x = static_cast<uint32_t>(byteValue);
    for (int k = 0; k < 8; ++k) x = (x & 1u) != 0 ? (x >> 1) ^ 0xEDB88320u : x >> 1;
    return x;
}
