#include "foundation/utf_conversion.h"

#include <cstddef>
#include <cstdint>
#include <cstring>

#include "compat/code_page.h"

namespace {

constexpr UINT kCodePageUtf8 = 65001;

bool IsSurrogate(uint32_t value) { return value >= 0xD800 && value <= 0xDFFF; }

struct sSequence {
    uint32_t value;
    size_t length;
};

enum class eTarget { Utf16, Utf32 };

uint32_t ContinuationBits(const std::string& text, size_t pos) {
    if (pos >= text.size()) throw Vok::utf_encoding_error();
    const auto byte = static_cast<unsigned char>(text[pos]);
    if ((byte & 0xC0) != 0x80) throw Vok::utf_encoding_error();
    return byte & 0x3Fu;
}

// Decodes the sequence that starts at pos (pos < size). Every continuation byte that the lead
// asks for is checked before the value is judged, so a short or broken sequence is always an
// encoding error. A value below the least one its length can carry is an over-long form and
// refused: otherwise E0 80 AF would pass as "/" behind the back of any check on the bytes.
sSequence DecodeSequence(const std::string& text, size_t pos, eTarget target) {
    static constexpr uint32_t kLeast[7] = {0, 0, 0x80, 0x800, 0x10000, 0x200000, 0x4000000};
    const uint32_t lead = static_cast<unsigned char>(text[pos]);
    if (lead < 0x80) return {lead, 1};
    // Stray continuation bytes and the over-long two-byte leads C0 and C1.
    if (lead < 0xC2) throw Vok::utf_encoding_error();
    if (target == eTarget::Utf32 && lead >= 0xFE) throw Vok::utf_encoding_error();

    const size_t length = lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : lead < 0xF8 ? 4 : lead < 0xFC ? 5 : 6;
    uint32_t value = lead & (0x7Fu >> length);
    for (size_t k = 1; k < length; ++k) value = (value << 6) | ContinuationBits(text, pos + k);

    if (target == eTarget::Utf16) {
        if (lead >= 0xFE) throw Vok::utf_encoding_error();
        if (length > 4 || value > 0x10FFFF) throw Vok::unicode_plane_error();
        if (IsSurrogate(value)) throw Vok::utf_encoding_error();
    }
    if (value < kLeast[length]) throw Vok::utf_encoding_error();
    return {value, length};
}

template <typename Str16>
void AppendUtf16(Str16& out, uint32_t value) {
    using Unit = typename Str16::value_type;
    if (value < 0x10000) {
        out.push_back(static_cast<Unit>(value));
        return;
    }
    const uint32_t v = value - 0x10000;
    out.push_back(static_cast<Unit>(0xD800 + (v >> 10)));
    out.push_back(static_cast<Unit>(0xDC00 + (v & 0x3FF)));
}

// value up to 0x10FFFF; surrogate values are written like any other three-byte value.
void AppendUtf8(std::string& out, uint32_t value) {
    if (value < 0x80) {
        out.push_back(static_cast<char>(value));
    } else if (value < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (value >> 6)));
        out.push_back(static_cast<char>(0x80 | (value & 0x3F)));
    } else if (value < 0x10000) {
        out.push_back(static_cast<char>(0xE0 | (value >> 12)));
        out.push_back(static_cast<char>(0x80 | ((value >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (value & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xF0 | (value >> 18)));
        out.push_back(static_cast<char>(0x80 | ((value >> 12) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | ((value >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (value & 0x3F)));
    }
}

// The code point at text[i], advancing i past it. A wchar_t can hold more than 16 bits here;
// such an element is no UTF-16 unit and counts as malformed.
template <typename Unit16>
uint32_t NextCodePoint(const std::basic_string<Unit16>& text, size_t& i) {
    const auto unit = static_cast<uint32_t>(text[i++]);
    if (unit > 0xFFFF) throw Vok::utf_encoding_error();
    if (!IsSurrogate(unit)) return unit;
    if (unit >= 0xDC00 || i >= text.size()) throw Vok::utf_encoding_error();
    const auto next = static_cast<uint32_t>(text[i]);
    if (next < 0xDC00 || next > 0xDFFF) throw Vok::utf_encoding_error();
    ++i;
    return 0x10000 + ((unit - 0xD800) << 10) + (next - 0xDC00);
}

constexpr uint32_t kReplacement = 0xFFFD;

// The well-formed character at pos (pos < size), or the length of the maximal ill-formed part
// there (value kReplacement): a byte that cannot start a character stands alone, and a lead
// swallows the continuation bytes that fit it before the sequence breaks off.
sSequence DecodeOrSkip(const std::string& text, size_t pos) {
    const auto byteAt = [&text](size_t i) { return static_cast<unsigned char>(text[i]); };
    const uint32_t lead = byteAt(pos);
    if (lead < 0x80) return {lead, 1};
    size_t length = 0;
    unsigned char low = 0x80, high = 0xBF;  // range of the second byte
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        if (lead == 0xE0) low = 0xA0;
        if (lead == 0xED) high = 0x9F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        if (lead == 0xF0) low = 0x90;
        if (lead == 0xF4) high = 0x8F;
    } else {
        return {kReplacement, 1};
    }
    uint32_t value = lead & (0x7Fu >> length);
    for (size_t k = 1; k < length; ++k) {
        const bool fits = pos + k < text.size() && byteAt(pos + k) >= (k == 1 ? low : 0x80) &&
                          byteAt(pos + k) <= (k == 1 ? high : 0xBF);
        if (!fits) return {kReplacement, k};
        value = (value << 6) | (byteAt(pos + k) & 0x3Fu);
    }
    return {value, length};
}

}  // namespace

std::wstring Utf8ToUtf16Lenient(const std::string& text) {
    std::wstring out;
    out.reserve(text.size());
    for (size_t pos = 0; pos < text.size();) {
        const sSequence seq = DecodeOrSkip(text, pos);
        pos += seq.length;
        AppendUtf16(out, seq.value);
    }
    return out;
}

std::string Utf16ToUtf8Lenient(const std::wstring& text) {
    std::string out;
    out.reserve(text.size() + 3);
    for (size_t i = 0; i < text.size();) {
        uint32_t value = kReplacement;
        const size_t start = i;
        try {
            value = NextCodePoint(text, i);
        } catch (const Vok::utf_encoding_error&) {
            // Only the unit that broke the pair is replaced; its neighbour is read again.
            i = start + 1;
        }
        AppendUtf8(out, value);
    }
    return out;
}

std::wstring Utf8ToUtf16(const std::string& text) {
    std::wstring out;
    out.reserve(text.size());
    for (size_t pos = 0; pos < text.size();) {
        const sSequence seq = DecodeSequence(text, pos, eTarget::Utf16);
        pos += seq.length;
        if (seq.value != 0) AppendUtf16(out, seq.value);
    }
    return out;
}

std::string Utf16ToUtf8(const std::wstring& text) {
    std::string out;
    out.reserve(text.size() + 3);
    for (size_t i = 0; i < text.size();) AppendUtf8(out, NextCodePoint(text, i));
    return out;
}

std::wstring Utf8ToWide(const std::string& text) { return Utf8ToUtf16(text); }

std::string WideToUtf8(const std::wstring& text) { return Utf16ToUtf8(text); }

std::u32string Utf8ToUtf32(const std::string& text) {
    std::u32string out;
    out.reserve(text.size());
    for (size_t pos = 0; pos < text.size();) {
        const sSequence seq = DecodeSequence(text, pos, eTarget::Utf32);
        pos += seq.length;
        if (seq.value != 0) out.push_back(static_cast<char32_t>(seq.value));
    }
    return out;
}

template <typename Unit16>
std::u32string Utf16ToUtf32(const std::basic_string<Unit16>& text) {
    std::u32string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size();) out.push_back(static_cast<char32_t>(NextCodePoint(text, i)));
    return out;
}

template std::u32string Utf16ToUtf32(const std::wstring& text);
template std::u32string Utf16ToUtf32(const std::u16string& text);

std::wstring Utf32ToUtf16(const std::u32string& text) {
    std::wstring out;
    out.reserve(text.size());
    for (const char32_t unit : text) {
        const auto value = static_cast<uint32_t>(unit);
        if (value > 0x10FFFF || IsSurrogate(value)) throw Vok::unicode_plane_error();
        AppendUtf16(out, value);
    }
    return out;
}

std::string Utf32ToUtf8(const std::u32string& text) {
    std::string out;
    out.reserve(text.size() + 3);
    for (const char32_t unit : text) {
        const auto value = static_cast<uint32_t>(unit);
        // A surrogate value is no character: encoded it would be UTF-8 that no decoder accepts.
        if (value > 0x10FFFF || IsSurrogate(value)) throw Vok::unicode_plane_error();
        AppendUtf8(out, value);
    }
    return out;
}

std::wstring Utf16ToUtf16(const std::wstring& text) { return text; }

std::string Latin1ToUtf8(const std::string& text) {
    std::string out;
    out.reserve(text.size() + 3);
    for (const char ch : text) AppendUtf8(out, static_cast<unsigned char>(ch));
    return out;
}

std::string Utf8ToLatin1(const std::string& text) {
    const std::wstring units = Utf8ToUtf16(text);
    std::string out;
    out.reserve(units.size());
    for (const wchar_t unit : units) {
        if (static_cast<uint32_t>(unit) > 0xFF) throw Vok::utf_encoding_error();
        out.push_back(static_cast<char>(unit));
    }
    return out;
}

std::wstring Cp1252ToUtf16(const std::string& text) {
    return Vok::CodePage::AnsiToWide(text.data(), text.size());
}

std::string Cp1252ToUtf8(const std::string& text) { return Utf16ToUtf8(Cp1252ToUtf16(text)); }

std::string Utf8ToCp1252(const std::string& text) {
    const std::wstring units = Utf8ToUtf16(text);
    std::string out;
    out.reserve(units.size());
    for (const wchar_t unit : units) {
        // Surrogate halves are units the table does not hold, so a character beyond the BMP
        // goes as a whole.
        const int byte = Vok::CodePage::UnitToByte(static_cast<uint16_t>(unit));
        if (byte >= 0) out.push_back(static_cast<char>(byte));
    }
    return out;
}

std::wstring AnsiToUtf16(const std::string& text) {
    return Vok::CodePage::AnsiToWide(text.data(), text.size());
}

std::string AnsiToUtf8(const std::string& text) { return Utf16ToUtf8(AnsiToUtf16(text)); }

std::string AnsiToUtf8(const CString& text) { return AnsiToUtf8(text.Str()); }

CString Utf8ToAnsi(const std::string& text) {
    const std::wstring units = Utf8ToUtf16(text);
    const std::string bytes = Vok::CodePage::WideToAnsi(units.data(), units.size());
    CString out;
    if (bytes.empty()) return out;
    const int n = static_cast<int>(bytes.size());
    char* buffer = out.GetBuffer(n);
    if (buffer == nullptr) throw std::runtime_error("Could not reserve memory for UTF-8 to MCBS conversion.");
    std::memcpy(buffer, bytes.data(), bytes.size());
    out.ReleaseBuffer(n);
    return out;
}

std::wstring CStringToWide(const CString& text, UINT codePage) {
    const char* bytes = text.GetString();
    const size_t count = std::strlen(bytes);
    if (codePage == kCodePageUtf8) return Utf8ToUtf16Lenient(std::string(bytes, count));
    return Vok::CodePage::AnsiToWide(bytes, count);
}

CString WideToCString(const std::wstring& text, UINT codePage) {
    const std::wstring head = text.substr(0, text.find(L'\0'));
    const std::string bytes = codePage == kCodePageUtf8
                                  ? Utf16ToUtf8Lenient(head)
                                  : Vok::CodePage::WideToAnsi(head.data(), head.size());
    return CString(bytes.data(), static_cast<int>(bytes.size()));
}

CString StdToCString(const std::string& text) { return CString(text.c_str()); }

std::string CStringToStd(const CString& text) { return text.Str(); }

bool IsValidUtf8(const std::string& text) {
    try {
        for (size_t pos = 0; pos < text.size();) pos += DecodeSequence(text, pos, eTarget::Utf16).length;
    } catch (const Vok::utf_encoding_error&) {
        return false;
    } catch (const Vok::unicode_plane_error&) {
        return false;
    }
    return true;
}
