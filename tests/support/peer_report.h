// What every peer process shares: its answer lines to the test, and the frame that keeps a
// forgotten peer from living on.
#pragma once

#include <functional>
#include <string>

namespace Vok::Test {

// One line on standard output, flushed at once: the test reads it through a pipe.
void PeerReport(const std::string& line);
// "FAIL <text>" and exit code 2, without running destructors.
[[noreturn]] void PeerFail(const std::string& text);
// Runs a peer's body under a 60-second alarm; an exception is reported by PeerFail.
int RunPeer(const std::function<int()>& body);

}  // namespace Vok::Test
