// Peer process that plays the host of a settings buffer: it opens the buffer named on its command
// line as the writer, publishes the sample definitions lists in it, prints "READY published" (or
// "FAIL"), and keeps the buffer open until its standard input closes.
#include <iostream>
#include <string>

#include "host/definition_samples.h"
#include "tests/support/peer_report.h"

int main(int argc, char** argv) {
    if (argc != 2) return 2;
    return Vok::Test::RunPeer([&] {
        IpcBufferHandle writer(argv[1], 1);
        if (Vok::Test::PublishSampleSettings(writer) != 1) {
            Vok::Test::PeerReport("FAIL publish");
            return 2;
        }
        Vok::Test::PeerReport("READY published");
        std::string line;
        std::getline(std::cin, line);
        return 0;
    });
}
