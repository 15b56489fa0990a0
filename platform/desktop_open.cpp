#include "platform/desktop_open.h"

#include <fcntl.h>
#include <unistd.h>

#include <optional>

#include "platform/process_launch.h"

namespace Vok {

bool RunDesktopOpener(const std::string& target, DWORD timeoutMs) {
    Process::sLaunchOptions options;
    options.arguments = {"xdg-open", target};
    const int nothing = ::open("/dev/null", O_RDONLY | O_CLOEXEC);
    options.standardInput = nothing;
    Process::CProcess opener = Process::Launch(options);
    if (nothing >= 0) ::close(nothing);
    if (!opener.IsValid()) return false;
    const std::optional<int> code = opener.Wait(timeoutMs);
    return !code || *code == 0;
}

}  // namespace Vok
