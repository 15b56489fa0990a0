// The driver object in the benchmark's own process, as the decode benchmarks run it: a folder of
// named objects of its own, the host's link objects and settings (system 7 with the 16-byte binary
// time tag as the update's time, a definition for every result block), INIT and SETTINGS done.
// Datagrams go into its receive buffer as the receive puts them there.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "driver/pelorad.h"
#include "host/demo_host.h"
#include "tests/support/file_helpers.h"
#include "host/test_host.h"

namespace Vok::Bench {

class CBenchDriver {
public:
    CBenchDriver();
    ~CBenchDriver();
    CBenchDriver(const CBenchDriver&) = delete;
    CBenchDriver& operator=(const CBenchDriver&) = delete;

    CPelorad& Driver() { return *m_driver; }
    // The datagram into the receive buffer, its 16-byte tag moved on by whole days: a benchmark
    // that plays its datagrams again in laps lets time go on, and every cycle stays due.
    void Receive(const std::string& datagram, uint32_t days = 0);
    // The time-tag step and the sentence loop: 1 when a record was written.
    int Decode();

private:
    Vok::Test::CPrivateIpcFolder m_folder;
    Vok::Test::CScopedEnvironment m_prefix, m_pps;
    std::unique_ptr<Vok::Test::CHostLinkObjects> m_link;
    std::unique_ptr<CPelorad> m_driver;
};

// Every sentence of the receivers' logs in the test corpus as it was recorded (failed checksums,
// unknown formats and all), each with its line end.
std::vector<std::string> CorpusSentences();

}  // namespace Vok::Bench
