#include "compat/debug_output.h"

#include <atomic>

namespace {
std::atomic<Vok::DebugOutputListener> g_listener{nullptr};
}

namespace Vok {
DebugOutputListener SetDebugOutputListener(DebugOutputListener listener) {
    return g_listener.exchange(listener);
}
}  // namespace Vok

void OutputDebugStringA(const char* text) {
    if (text == nullptr) return;
    if (const Vok::DebugOutputListener listener = g_listener.load()) listener(text);
}
