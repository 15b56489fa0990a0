#include "platform/posix_call.h"

#include <unistd.h>

#include <system_error>

namespace Vok::Posix {

void ThrowError(int error, const std::string& what) {
    throw std::system_error(error, std::generic_category(), what);
}

int ErrorOf(const std::exception& e) {
    const auto* system = dynamic_cast<const std::system_error*>(&e);
    return system != nullptr ? system->code().value() : 0;
}

CUniqueFd& CUniqueFd::operator=(CUniqueFd&& other) noexcept {
    if (this != &other) {
        Reset();
        m_fd = std::exchange(other.m_fd, -1);
    }
    return *this;
}

void CUniqueFd::Reset() {
    if (m_fd < 0) return;
    const int saved = errno;
    ::close(m_fd);
    m_fd = -1;
    errno = saved;
}

}  // namespace Vok::Posix
