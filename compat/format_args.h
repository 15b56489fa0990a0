// printf-style formatting that is safe to call with class-library and standard strings:
// each argument is passed through FormatArg, which turns text objects into C pointers.
#pragma once

#include <string>
#include <string_view>
#include <type_traits>

namespace Vok::detail {

// Text objects with a c_str() (std::string, std::wstring, CString) become their C pointer.
template <typename T>
concept HasCStr = requires(const T& t) { t.c_str(); };

template <typename T>
decltype(auto) FormatArg(const T& value) {
    if constexpr (HasCStr<T>) {
        return value.c_str();
    } else if constexpr (std::is_array_v<T>) {
        return static_cast<const std::remove_extent_t<T>*>(value);
    } else if constexpr (std::is_enum_v<T>) {
        return static_cast<std::underlying_type_t<T>>(value);
    } else {
        static_assert(std::is_arithmetic_v<T> || std::is_pointer_v<T> || std::is_null_pointer_v<T>,
                      "printf-style formatting takes numbers, pointers and texts only");
        return value;
    }
}

}  // namespace Vok::detail
