// One checked way to call the operating system: interrupted calls are repeated, and the error of a
// failed call is kept in the result so that later clean-up calls cannot overwrite it.
#pragma once

#include <sys/mman.h>

#include <cerrno>
#include <exception>
#include <string>
#include <type_traits>
#include <utility>

namespace Vok::Posix {

// What one call returned and the errno it left (0 when it succeeded).
template <typename T>
struct sCallResult {
    T value;
    int error;
    explicit operator bool() const { return error == 0; }
};

template <typename T>
bool IsFailureValue(T value) {
    if constexpr (std::is_pointer_v<T>)
        return static_cast<const void*>(value) == MAP_FAILED;
    else
        return value == static_cast<T>(-1);
}

// For calls that fail with -1 (or MAP_FAILED) and set errno. EINTR repeats the call.
template <typename Fn, typename... Args>
auto Call(Fn&& fn, Args&&... args) -> sCallResult<decltype(fn(args...))> {
    for (;;) {
        errno = 0;
        auto value = fn(args...);
        if (!IsFailureValue(value)) return {value, 0};
        const int error = errno;
        if (error != EINTR) return {value, error};
    }
}

// For calls that return their error number instead of setting errno (posix_fallocate).
template <typename Fn, typename... Args>
int CallReturningError(Fn&& fn, Args&&... args) {
    for (;;) {
        const int error = fn(args...);
        if (error != EINTR) return error;
    }
}

// std::system_error with the call's errno and a text naming what failed.
[[noreturn]] void ThrowError(int error, const std::string& what);
// The errno that a std::system_error carries (EMFILE when no descriptor was left); 0 for any other
// exception.
int ErrorOf(const std::exception& e);

// An owned file descriptor. close() is never repeated: Linux frees the descriptor even when
// close reports EINTR, and a repeat could close a descriptor another thread just received.
class CUniqueFd {
public:
    CUniqueFd() = default;
    explicit CUniqueFd(int fd) : m_fd(fd) {}
    CUniqueFd(CUniqueFd&& other) noexcept : m_fd(std::exchange(other.m_fd, -1)) {}
    CUniqueFd& operator=(CUniqueFd&& other) noexcept;
    CUniqueFd(const CUniqueFd&) = delete;
    CUniqueFd& operator=(const CUniqueFd&) = delete;
    ~CUniqueFd() { Reset(); }

    int Get() const { return m_fd; }
    bool IsOpen() const { return m_fd >= 0; }
    // Closes the descriptor; errno is left as it was.
    void Reset();

private:
    int m_fd = -1;
};

}  // namespace Vok::Posix
