// The ANSI code page of this system: Windows-1252, from our own table.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace Vok::CodePage {

// UTF-16 values of the bytes 0x80 to 0x9F. The five positions that Windows-1252 leaves
// undefined (0x81, 0x8D, 0x8F, 0x90, 0x9D) hold their own value, as Windows maps them.
extern const uint16_t kWindows1252High[32];

// One byte of the code page as a UTF-16 unit; every byte has one.
uint16_t ByteToUnit(unsigned char byte);

// The byte for a UTF-16 unit, or -1 when the code page has no such character.
int UnitToByte(uint16_t unit);

// Bytes in the ANSI code page to UTF-16 units (one unit per byte).
std::wstring AnsiToWide(const char* bytes, size_t count);

// UTF-16 units to the ANSI code page; a character the code page lacks, a lone surrogate
// and a surrogate pair all become '?', as the platform's conversion without a default does.
std::string WideToAnsi(const wchar_t* units, size_t count);

}  // namespace Vok::CodePage
