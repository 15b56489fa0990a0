// Opening a file or a web address with the desktop's preferred program, through "xdg-open".
#pragma once

#include <optional>
#include <string>

#include "compat/windows_types.h"

namespace Vok {

// Starts "xdg-open", found in PATH, with target as its one argument (no shell involved) and its
// input from /dev/null, and waits up to timeoutMs for it to end. Its exit code; nothing when it
// could not be started or is still running at the deadline (it is then left to finish).
std::optional<int> RunDesktopOpener(const std::string& target, DWORD timeoutMs = 3000);

}  // namespace Vok
