// The trace sink behind every "S: " status and "E: " error trace: it takes a printf-style format
// and any values and discards them unread, so a format that does not match its values is
// harmless. Nothing is written anywhere.
#pragma once

#include <cstdint>

template <typename... Args>
constexpr int DebugTrace(const Args&... /*formatAndValues*/) noexcept {
    return 0;
}

// Called right after a failed system call with its error code; does nothing.
inline void TraceLastError(uint32_t /*errorCode*/) noexcept {}
