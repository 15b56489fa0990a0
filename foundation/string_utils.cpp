#include "foundation/string_utils.h"

#include <cstdio>
#include <cwchar>

std::string FormatV(const char* format, va_list args) {
    if (format == nullptr) return {};
    va_list count_args;
    va_copy(count_args, args);
    const int n = std::vsnprintf(nullptr, 0, format, count_args);
    va_end(count_args);
    if (n <= 0) return {};
    std::string out(static_cast<size_t>(n) + 1, '\0');
    va_list write_args;
    va_copy(write_args, args);
    std::vsnprintf(out.data(), out.size(), format, write_args);
    va_end(write_args);
    out.resize(static_cast<size_t>(n));
    return out;
}

std::wstring FormatVW(const wchar_t* format, va_list args) {
    if (format == nullptr) return {};
    // The wide library has no counting call: grow the buffer until the text fits.
    // vswprintf reports -1 both for "too small" and for a format error, so the growth is bounded.
    constexpr size_t kLimit = size_t{1} << 24;
    for (size_t cap = 256; cap <= kLimit; cap *= 4) {
        std::wstring out(cap, L'\0');
        va_list write_args;
        va_copy(write_args, args);
        const int n = std::vswprintf(out.data(), cap, format, write_args);
        va_end(write_args);
        if (n >= 0) {
            out.resize(static_cast<size_t>(n));
            return out;
        }
    }
    return {};
}

namespace Vok::detail {

std::string FormatRaw(const char* format, ...) {
    va_list args;
    va_start(args, format);
    std::string out = FormatV(format, args);
    va_end(args);
    return out;
}

std::wstring FormatRawW(const wchar_t* format, ...) {
    va_list args;
    va_start(args, format);
    std::wstring out = FormatVW(format, args);
    va_end(args);
    return out;
}

}  // namespace Vok::detail
