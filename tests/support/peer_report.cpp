#include "tests/support/peer_report.h"

#include <unistd.h>

#include <cstdlib>
#include <exception>
#include <iostream>

namespace Vok::Test {

void PeerReport(const std::string& line) { std::cout << line << std::endl; }

void PeerFail(const std::string& text) {
    PeerReport("FAIL " + text);
    std::_Exit(2);
}

int RunPeer(const std::function<int()>& body) {
    ::alarm(60);
    try {
        return body();
    } catch (const std::exception& e) {
        PeerFail(e.what());
    }
}

}  // namespace Vok::Test
