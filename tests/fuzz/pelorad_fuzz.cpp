// Arbitrary datagrams through the driver's whole decode: the time-tag step, the sentence loop, its
// decoders and the records written into a real output buffer. Driver objects run in this process
// under one settings buffer, as in the driver's loop tests, one per time-tag form and checksum
// setting: a driver that tests each sentence's checksum, and one ("NOCS", with a time offset) that
// takes every sentence, so that mutated text reaches the decoders. The first input byte chooses:
//   bit 0       the driver without checksums
//   bit 1       a reset before the datagram
//   bit 2       the whole packet path (time block and the host's events too)
//   bits 3..5   the time-tag form (0..6; 7 counts as 0)
// The rest is the datagram.
#include <stdlib.h>

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "driver/pelorad.h"
#include "driver/time_tag_decoder.h"
#include "tests/fuzz/fuzz_support.h"
#include "host/driver_samples.h"
#include "host/test_host.h"

// The driver installs its crash handler; the sanitizers keep their own signal handlers so that a
// fault is reported as theirs.
extern "C" const char* __asan_default_options() { return "allow_user_segv_handler=0"; }

namespace {

constexpr uint32_t kNoon = 999993600 + 12 * 3600;  // 2001-09-09 12:00:00 UTC

constexpr int kForms = TIMETAG_POS_LINES + 1;

struct sDrivers {
    std::unique_ptr<Vok::Test::CHostLinkObjects> link;
    std::unique_ptr<CPelorad> drivers[kForms][2];
};

// The driver of a tag form and checksum setting, made on first use: it reads the settings that
// are published for it at INIT and SETTINGS and keeps them.
CPelorad& Driver(int form, bool noChecksum) {
    static sDrivers d = [] {
        Vok::Fuzz::UsePrivateIpcFolder();
        ::setenv("Prefix", "FUZZ", 1);
        ::setenv("VOK_PPS_VALID", "1", 1);
        sDrivers made;
        made.link = std::make_unique<Vok::Test::CHostLinkObjects>("FUZZ");
        return made;
    }();
    std::unique_ptr<CPelorad>& driver = d.drivers[form][noChecksum ? 1 : 0];
    if (driver == nullptr) {
        Vok::Test::sDriverSettings s;
        s.system.sysId = 7;
        s.system.timeTagType = static_cast<uint32_t>(form);
        s.system.timeSource = 4;
        s.system.timeOffset = noChecksum ? 2.5f : 0.0f;
        s.outputName = "FUZZ_OUT";
        Vok::Test::FillResultObsDefs(s.observations, 7);
        if (!Vok::Test::PublishSettings(d.link->Settings(), s)) std::abort();
        driver = noChecksum ? std::make_unique<CPelorad>(0, 0, 1) : std::make_unique<CPelorad>(1, 1, 3);
        driver->OnCmdInit();
        if (driver->OnCmdSettings() != 1) std::abort();
    }
    return *driver;
}

std::string Hms(int seconds) {
    char text[16];
    std::snprintf(text, sizeof text, "%02d%02d%02d.00", seconds / 3600 % 24, seconds / 60 % 60, seconds % 60);
    return text;
}

}  // namespace

// Seeds: update cycles of each kind of sentence the driver decodes, and the sentences of the corpus
// and of the peers' cases, in datagrams with their binary time tags, for both drivers.
extern "C" int LLVMFuzzerInitialize(int*, char***) {
    if (Vok::Fuzz::SeedFolder() == nullptr) return 0;
    using Vok::Test::Sentence;
    const std::string t = Hms(43200);
    const std::string cycles[] = {
        Sentence("GPGGA," + t + ",4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,") +
            Sentence("GPGST," + t + ",0.5,1.2,0.8,35.0,1.1,0.9,2.1") + Sentence("HEHDT,123.4,T") +
            Sentence("TIROT,-12.5,A"),
        Sentence("GPRMC," + t + ",A,4807.038,N,01131.000,E,022.4,084.4,230394,003.1,W") +
            Sentence("GPGSA,A,3,04,05,09,12,24,,,,,,,,2.5,1.3,2.1") +
            Sentence("GPGSV,2,1,08,03,03,111,00,04,15,270,00,06,01,010,00,13,06,292,00") +
            Sentence("GPGSV,2,2,08,03,03,111,00,04,15,270,00,06,01,010,00,13,06,292,00"),
        Sentence("GPGLL,4916.45,N,12311.12,W," + t + ",A") + Sentence("HCHDG,98.3,0.0,E,12.6,W") +
            Sentence("GPVTG,054.7,T,034.4,M,005.5,N,010.2,K") + Sentence("GPZDA," + t + ",09,09,2001,00,00"),
        Sentence("PTNL,GGK," + t + ",090901,5000.97323841,N,00827.62010742,E,5,09,1.9,EHT150.790,M") +
            Sentence("PSQUAL,1,0.5,0.7,1.2") + Sentence("HCHDM,123.4,M") + Sentence("HCHVD,2.0,E"),
    };
    int n = 0;
    auto seed = [&n](uint8_t choice, const std::string& bytes) {
        Vok::Fuzz::WriteSeed("datagram-" + std::to_string(n++), std::string(1, static_cast<char>(choice)) + bytes);
    };
    constexpr uint8_t kNoChecksum = 1, kPacketPath = 4, kBinary = TIMETAG_BINARY << 3;
    for (const std::string& c : cycles) {
        seed(kBinary, Vok::Test::Tagged(kNoon, c));
        seed(kBinary | kNoChecksum, Vok::Test::Tagged(kNoon, c));
        seed(kBinary | kPacketPath, Vok::Test::Tagged(kNoon, c + c));
        seed(kNoChecksum, c);
    }
    const std::vector<std::string> forms = Vok::Fuzz::TaggedForms(cycles[0]);
    for (size_t k = 0; k < forms.size(); ++k) seed(static_cast<uint8_t>((k + 1) << 3), forms[k]);
    std::string corpus;
    std::vector<std::string> sentences = Vok::Fuzz::CorpusSentences();
    for (const std::string& s : Vok::Fuzz::PeerSentences()) sentences.push_back(s);
    for (const std::string& s : sentences) {
        corpus += s + "\r\n";
        if (corpus.size() > 1000) {
            seed(kBinary | kNoChecksum, Vok::Test::Tagged(kNoon, corpus));
            corpus.clear();
        }
    }
    if (!corpus.empty()) seed(kBinary | kNoChecksum, Vok::Test::Tagged(kNoon, corpus));
    std::exit(0);
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1 || size - 1 > PELORAD_RECEIVE_SIZE) return 0;
    const uint8_t choice = data[0];
    CPelorad& driver = Driver((choice >> 3) % kForms, (choice & 1) != 0);
    if ((choice & 2) != 0) driver.DecodeData(true);
    std::memcpy(driver.GetReceiveBuffer(), data + 1, size - 1);
    driver.SetReceivedLength(static_cast<DWORD>(size - 1));
    if ((choice & 4) != 0) {
        driver.ProcessData();
    } else if (driver.DecodeTimeTag() != 0) {
        driver.DecodeData(false);
    }
    return 0;
}
