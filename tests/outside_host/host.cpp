// A host written from the README alone: it starts the driver built beside it, sends it two
// positions and prints the update that the second one makes.
#include <cstdio>
#include <string>

#include "driver/result_records.h"
#include "host/demo_host.h"
#include "host/driver_samples.h"

int main() {
    const std::string driver = Vok::Test::FindNearProgram("vok/pelorad");
    if (driver.empty()) return std::fprintf(stderr, "no vok/pelorad\n"), 1;
    const Vok::Test::CPrivateIpcFolder folder;
    const UINT port = Vok::Test::FindFreeUdpPort();
    Vok::Test::CDemoHost host("\"" + driver + "\"", port);
    if (!host.Start()) return std::fprintf(stderr, "%s\n", host.GetError().c_str()), 1;
    // The first position only tells the driver the receiver's format. The driver binds its port
    // after SETTINGS: a datagram sent before that finds no socket and is sent again.
    for (const char* time : {"120000", "120001"}) {
        int tries = 0;
        do {
            Vok::Test::SendDatagram(port, Vok::Test::Sentence(std::string("GPGGA,") + time +
                                                              ",4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,"));
        } while (!host.WaitForUpdate(100) && ++tries < 50);
        if (tries == 50) return std::fprintf(stderr, "no update\n"), 1;
    }
    const Vok::Test::sDemoRecords records = host.Read();
    const PosRecord* position = records.position ? &*records.position : nullptr;
    std::printf("%s\n", Vok::Test::FormatRecordLine(records).c_str());
    return host.Exit() == 0 && position && position->dLatitude > 48.1 && position->dLatitude < 48.2 ? 0 : 1;
}
