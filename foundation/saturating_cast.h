// Floating-point to integer conversions that are defined for every input: the value truncated
// toward zero, limited to the target's range, and 0 for NaN. A plain cast of an out-of-range or
// NaN double is undefined behaviour.
#pragma once

#include <cmath>
#include <cstdint>
#include <limits>

namespace Vok {

template <typename Int>
inline Int SaturatingTrunc(double value) {
    static_assert(std::numeric_limits<Int>::is_signed);
    using Limits = std::numeric_limits<Int>;
    if (std::isnan(value)) return 0;
    // -2^k and 2^k are exact in double, unlike the largest value of the type.
    constexpr double kLow = static_cast<double>(Limits::min());
    if (value <= kLow) return Limits::min();
    if (value >= -kLow) return Limits::max();
    return static_cast<Int>(value);
}

inline int32_t TruncToInt32(double value) { return SaturatingTrunc<int32_t>(value); }
inline int64_t TruncToInt64(double value) { return SaturatingTrunc<int64_t>(value); }

}  // namespace Vok
