// Peer process that publishes the sample computation set-ups in the buffer named on its command
// line, prints "READY published" (or "FAIL"), and keeps the buffer open until its standard input
// closes.
#include <iostream>
#include <string>

#include "platform/ipc_buffer_handle.h"
#include "tests/support/adjust_samples.h"
#include "host/definition_samples.h"
#include "tests/support/peer_report.h"

int main(int argc, char** argv) {
    if (argc != 2) return 2;
    return Vok::Test::RunPeer([&] {
        CObsDefList observations;
        CNodeDefList nodes;
        Vok::Test::FillSampleObsDefs(observations);
        Vok::Test::FillSampleNodeDefs(nodes);
        CAdjDefList setups;
        Vok::Test::FillSampleAdjDefs(setups, observations, nodes);
        IpcBufferHandle writer(argv[1], 1);
        if (!writer.Lock()) {
            Vok::Test::PeerReport("FAIL lock");
            return 2;
        }
        const int written = setups.WriteToIpc(writer);
        writer.Unlock();
        if (written != 1) {
            Vok::Test::PeerReport("FAIL publish");
            return 2;
        }
        Vok::Test::PeerReport("READY published");
        std::string line;
        std::getline(std::cin, line);
        return 0;
    });
}
