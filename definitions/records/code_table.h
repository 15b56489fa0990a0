// Tables indexed by a type code, written the way the type lists read ("1,8-13,49"), so that each
// row of a table stays comparable with its list.
#pragma once

#include <array>
#include <cstddef>
#include <string_view>

namespace Vok::Definitions {

// Calls f(code) for every code of a list of codes and ranges.
template <typename F>
constexpr void ForEachCode(std::string_view list, F f) {
    auto number = [](std::string_view text) {
        int n = 0;
        for (char c : text) n = n * 10 + (c - '0');
        return n;
    };
    while (!list.empty()) {
        const size_t comma = list.find(',');
        const std::string_view item = list.substr(0, comma);
        const size_t dash = item.find('-');
        const int lo = number(item.substr(0, dash));
        const int hi = dash == std::string_view::npos ? lo : number(item.substr(dash + 1));
        for (int c = lo; c <= hi; ++c) f(c);
        list = comma == std::string_view::npos ? std::string_view() : list.substr(comma + 1);
    }
}

template <typename T>
struct sCodeRow {
    T value;
    const char* codes;
};

// Codes 0..N-1; a code that no row names keeps the fallback, and a later row wins over an earlier.
template <typename T, size_t N, size_t R>
std::array<T, N> BuildCodeTable(T fallback, const sCodeRow<T> (&rows)[R]) {
    std::array<T, N> table;
    table.fill(fallback);
    for (const auto& row : rows) {
        ForEachCode(row.codes, [&](int c) {
            if (c >= 0 && static_cast<size_t>(c) < N) table[static_cast<size_t>(c)] = row.value;
        });
    }
    return table;
}

// A set of codes 0..N-1.
template <size_t N>
class CCodeSet {
public:
    explicit CCodeSet(const char* codes) {
        ForEachCode(codes, [&](int c) {
            if (c >= 0 && static_cast<size_t>(c) < N) m_bits[static_cast<size_t>(c)] = true;
        });
    }
    bool Has(long long code) const { return code >= 0 && code < static_cast<long long>(N) && m_bits[static_cast<size_t>(code)]; }

private:
    std::array<bool, N> m_bits{};
};

}  // namespace Vok::Definitions
