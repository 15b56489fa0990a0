// Opening a file or a web address with the desktop's preferred program, through "xdg-open".
#pragma once

#include <string>

#include "compat/windows_types.h"

namespace Vok {

// Starts "xdg-open", found in PATH, with target as its one argument (no shell involved) and its
// input from /dev/null, and waits up to timeoutMs for it to end. True when it ended with code 0,
// or is still running at the deadline (it may run the application in the foreground; it is left
// to finish); false when it could not be started or ended with another code.
bool RunDesktopOpener(const std::string& target, DWORD timeoutMs = 3000);

}  // namespace Vok
