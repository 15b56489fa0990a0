#include "platform/desktop_open.h"

#include <fcntl.h>
#include <unistd.h>

#include "platform/process_launch.h"

namespace Vok {

std::optional<int> RunDesktopOpener(const std::string& target, DWORD timeoutMs) {
    Process::sLaunchOptions options;
    options.arguments = {"xdg-open", target};
    const int nothing = ::open("/dev/null", O_RDONLY | O_CLOEXEC);
    options.standardInput = nothing;
    Process::CProcess opener = Process::Launch(options);
    if (nothing >= 0) ::close(nothing);
    if (!opener.IsValid()) return std::nullopt;
    return opener.Wait(timeoutMs);
}

}  // namespace Vok
