// The platform's debugger output. There is no system debugger channel here: text goes to the
// listener that a debugging tool (or a test) has attached, and is discarded without one.
#pragma once

namespace Vok {
using DebugOutputListener = void (*)(const char* text);
// Attaches listener (nullptr detaches); returns the one attached before.
DebugOutputListener SetDebugOutputListener(DebugOutputListener listener);
}  // namespace Vok

void OutputDebugStringA(const char* text);
