#include "bench/support/bench_driver.h"

#include <unistd.h>

#include <cstring>
#include <fstream>

#include "host/driver_samples.h"

namespace Vok::Bench {

namespace {

std::string Prefix() { return "BENCH_" + std::to_string(::getpid()); }

}  // namespace

CBenchDriver::CBenchDriver()
    : m_prefix("Prefix", Prefix()), m_pps("VOK_PPS_VALID", "1"),
      m_link(std::make_unique<Vok::Test::CHostLinkObjects>(Prefix())) {
    Vok::Test::sDriverSettings s;
    s.system.sysId = 7;
    s.system.timeTagType = s.system.timeSource = 4;
    s.outputName = "BENCH_OUT";
    Vok::Test::FillResultObsDefs(s.observations, 7);
    Vok::Test::PublishSettings(m_link->Settings(), s);
    m_driver = std::make_unique<CPelorad>(1, 1, 3);
    m_driver->OnCmdInit();
    m_driver->OnCmdSettings();
}

CBenchDriver::~CBenchDriver() {
    m_driver.reset();
    m_link.reset();
}

void CBenchDriver::Receive(const std::string& datagram, uint32_t days) {
    BYTE* buffer = m_driver->GetReceiveBuffer();
    std::memcpy(buffer, datagram.data(), datagram.size());
    if (days != 0 && datagram.size() >= 16) {
        uint32_t seconds = 0;
        std::memcpy(&seconds, buffer + 8, 4);
        seconds += days * 86400;
        std::memcpy(buffer + 8, &seconds, 4);
    }
    m_driver->SetReceivedLength(static_cast<DWORD>(datagram.size()));
}

int CBenchDriver::Decode() { return m_driver->DecodeTimeTag() != 0 ? m_driver->DecodeData(false) : 0; }

std::vector<std::string> CorpusSentences() {
    std::vector<std::string> sentences;
    std::ifstream corpus(std::string(VOK_SOURCE_DIR) + "/tests/data/gpsd/nmea-corpus.tsv");
    std::string line;
    std::getline(corpus, line);  // heading
    while (std::getline(corpus, line)) {
        const size_t tab = line.rfind('\t');
        if (tab != std::string::npos) sentences.push_back(line.substr(tab + 1) + "\r\n");
    }
    return sentences;
}

}  // namespace Vok::Bench
