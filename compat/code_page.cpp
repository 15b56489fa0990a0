#include "compat/code_page.h"

namespace Vok::CodePage {

const uint16_t kWindows1252High[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

uint16_t ByteToUnit(unsigned char byte) {
    if (byte >= 0x80 && byte <= 0x9F) return kWindows1252High[byte - 0x80];
    return byte;
}

int UnitToByte(uint16_t unit) {
    if (unit < 0x80 || (unit >= 0xA0 && unit <= 0xFF)) return unit;
    for (int i = 0; i < 32; ++i) {
        if (kWindows1252High[i] == unit) return 0x80 + i;
    }
    return -1;
}

std::wstring AnsiToWide(const char* bytes, size_t count) {
    std::wstring out;
    out.reserve(count);
    for (size_t i = 0; i < count; ++i) {
        out.push_back(static_cast<wchar_t>(ByteToUnit(static_cast<unsigned char>(bytes[i]))));
    }
    return out;
}

std::string WideToAnsi(const wchar_t* units, size_t count) {
    std::string out;
    out.reserve(count);
    for (size_t i = 0; i < count; ++i) {
        const auto u = static_cast<uint32_t>(units[i]);
        if (u >= 0xD800 && u <= 0xDBFF && i + 1 < count) {
            const auto next = static_cast<uint32_t>(units[i + 1]);
            if (next >= 0xDC00 && next <= 0xDFFF) ++i;  // one character, one replacement
            out.push_back('?');
            continue;
        }
        const int b = u <= 0xFFFF ? UnitToByte(static_cast<uint16_t>(u)) : -1;
        out.push_back(b < 0 ? '?' : static_cast<char>(b));
    }
    return out;
}

}  // namespace Vok::CodePage
