// Text utilities over narrow (UTF-8 or ANSI) and wide (UTF-16) standard strings.
#pragma once

#include <cstdarg>
#include <string>
#include <vector>

#include "compat/format_args.h"

// printf-style formatting; a format error or an empty output gives an empty string.
std::string FormatV(const char* format, va_list args);
std::wstring FormatVW(const wchar_t* format, va_list args);

namespace Vok::detail {
std::string FormatRaw(const char* format, ...);
std::wstring FormatRawW(const wchar_t* format, ...);
}  // namespace Vok::detail

template <typename... Args>
std::string Format(const char* format, const Args&... args) {
    return Vok::detail::FormatRaw(format, Vok::detail::FormatArg(args)...);
}

template <typename... Args>
std::wstring FormatW(const wchar_t* format, const Args&... args) {
    return Vok::detail::FormatRawW(format, Vok::detail::FormatArg(args)...);
}
