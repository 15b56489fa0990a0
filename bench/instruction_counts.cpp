// Instructions per sentence, counted by callgrind, which are stable where times are not:
// - "codec": the checksum test and the sentence's decoder into its record, per sentence;
// - "loop": the driver's time-tag step and sentence loop into a real shared output buffer (records,
//   heading ring, time tags), per sentence;
// - "packet": the whole road of a datagram after its receive (clock readings, loop, time block,
//   the host's events), per datagram;
// on a GGA, GST, HDT, RMC, ZDA cycle (the datagram also on its GGA alone, as most receivers send one
// sentence a datagram) and on every sentence of the receivers' logs in the test
// corpus. Every datagram has a time of its own, later than the one before, so every cycle is due.
// Run without arguments, the program runs itself under valgrind and prints the table; without
// valgrind it says so and counts nothing.
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <memory>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#if __has_include(<valgrind/callgrind.h>)
#include <valgrind/callgrind.h>
#define VOK_HAVE_CALLGRIND 1
#endif

#include "bench/support/bench_driver.h"
#include "bench/support/process_probes.h"
#include "driver/nmea_decoders.h"
#include "foundation/sentence_checksum.h"
#include "host/driver_samples.h"

namespace {

using Vok::Test::Sentence;
using Vok::Test::Tagged;

constexpr uint32_t kNoon = 999993600 + 12 * 3600;  // 2001-09-09 12:00:00 UTC
constexpr int kCycles = 1000;
constexpr int kWarmUp = 50;  // datagrams or sentences run before counting starts

std::string Hms(uint32_t t) {
    char text[16];
    std::snprintf(text, sizeof text, "%02u%02u%02u.00", t / 3600 % 24, t / 60 % 60, t % 60);
    return text;
}

// Cycle i: GGA, GST, HDT, RMC and ZDA of second i after noon.
std::vector<std::string> CycleSentences(int i, bool ggaOnly) {
    const uint32_t t = kNoon + static_cast<uint32_t>(i);
    const std::string hms = Hms(t);
    std::vector<std::string> s{Sentence("GPGGA," + hms + ",4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,")};
    if (ggaOnly) return s;
    s.push_back(Sentence("GPGST," + hms + ",0.5,1.2,0.8,35.0,1.1,0.9,2.1"));
    s.push_back(Sentence("HEHDT,123.4,T"));
    s.push_back(Sentence("GPRMC," + hms + ",A,4807.038,N,01131.000,E,022.4,084.4,090901,003.1,W,A"));
    s.push_back(Sentence("GPZDA," + hms + ",09,09,2001,00,00"));
    return s;
}

// The codec for one sentence as the sentence loop runs it: the checksum over the sentence's bytes,
// then the decoder of its identifier over a view of them into its record.
class CCodec {
public:
    void Decode(const std::string& sentence) {
        CLineChecksum checksum(sentence);
        if (!checksum.Check(0) || sentence.size() < 6) return;
        CNmeaText text{std::string_view(sentence)};
        const std::string_view id(sentence.data() + 3, 3);
        namespace N = Vok::Nmea;
        if (id == "GGA") N::DecodeGGA(text, &m_pos, 3);
        else if (id == "RMC") N::DecodeRMC(text, &m_pos, 3);
        else if (id == "GGK") N::DecodeGGK(text, &m_pos, 3);
        else if (id == "GLL") N::DecodeGLL(text, &m_pos, 3);
        else if (id == "GST") N::DecodeGST(text, &m_pos);
        else if (id == "GSA") N::DecodeGSA(text, &m_store, &m_part, &m_parts);
        else if (id == "GSV") N::DecodeGSV(text, &m_store, &m_part, &m_parts);
        else if (id == "HDT") N::DecodeHDT(text, &m_nav, &m_variation);
        else if (id == "HDG") N::DecodeHDG(text, &m_nav, &m_variation);
        else if (id == "HDM") N::DecodeHDM(text, &m_nav, &m_variation);
        else if (id == "HCD") N::DecodeHCD(text, &m_nav, &m_variation);
        else if (id == "HCC") N::DecodeHCC(text, &m_nav, &m_variation);
        else if (id == "ROT") N::DecodeROT(text, &m_rot);
        else if (id == "ZDA") N::DecodeZDA(text, &m_time);
        else if (id == "VTG") N::DecodeVTG(text, &m_course, &m_speed);
        else if (id == "HVD") N::DecodeHVD(text, &m_variation);
        else if (id == "HVM") N::DecodeHVM(text, &m_variation);
        else if (std::string_view(sentence).substr(1, 9).find("QUAL") != std::string_view::npos)
            N::DecodeQUAL(text, &m_pos);
    }

private:
    PosRecord m_pos{}, m_store{};
    NavRecord m_nav{};
    RotRecord m_rot{};
    SYSTEMTIME m_time{};
    int m_part = -1, m_parts = -1;
    double m_variation = 0.0, m_course = 0.0, m_speed = 0.0;
};

struct sWorkload {
    const char* name;
    const char* per;    // what one unit is
    long goal;          // instructions per unit asked for; 0 for none
    std::function<long(const std::function<void(bool)>&)> run;  // runs with count(on) around the counted part
};

// Cycle datagrams: each cycle's sentences (or its GGA alone) behind a tag of its second.
std::vector<std::string> CycleDatagrams(bool ggaOnly = false) {
    std::vector<std::string> datagrams;
    for (int i = 0; i < kCycles; ++i) {
        std::string text;
        for (const std::string& s : CycleSentences(i, ggaOnly)) text += s;
        datagrams.push_back(Tagged(kNoon + static_cast<uint32_t>(i), text));
    }
    return datagrams;
}

std::vector<std::string> CorpusDatagrams() {
    std::vector<std::string> datagrams;
    uint32_t t = kNoon;
    for (const std::string& s : Vok::Bench::CorpusSentences()) datagrams.push_back(Tagged(t++, s));
    return datagrams;
}

long RunCodec(const std::vector<std::string>& sentences, const std::function<void(bool)>& count) {
    CCodec codec;
    for (int i = 0; i < kWarmUp && i < static_cast<int>(sentences.size()); ++i) codec.Decode(sentences[i]);
    count(true);
    for (size_t i = kWarmUp; i < sentences.size(); ++i) codec.Decode(sentences[i]);
    count(false);
    return static_cast<long>(sentences.size()) - kWarmUp;
}

long RunLoop(const std::vector<std::string>& datagrams, int sentencesPer, bool packet,
             const std::function<void(bool)>& count) {
    Vok::Bench::CBenchDriver driver;
    const auto one = [&](const std::string& d) {
        driver.Receive(d);
        packet ? driver.Driver().ProcessData() : driver.Decode();
    };
    for (int i = 0; i < kWarmUp; ++i) one(datagrams[i]);
    long units = 0;
    for (size_t i = kWarmUp; i < datagrams.size(); ++i) {
        driver.Receive(datagrams[i]);
        count(true);
        packet ? driver.Driver().ProcessData() : driver.Decode();
        count(false);
        units += packet ? 1 : sentencesPer;
    }
    return units;
}

std::vector<sWorkload> Workloads() {
    return {
        {"codec_cycle", "sentence", 3000,
         [](const auto& count) {
             std::vector<std::string> s;
             for (int i = 0; i < kCycles; ++i)
                 for (std::string& one : CycleSentences(i, false)) s.push_back(std::move(one));
             return RunCodec(s, count);
         }},
        {"codec_gga", "sentence", 0,
         [](const auto& count) {
             std::vector<std::string> s;
             for (int i = 0; i < kCycles; ++i) s.push_back(CycleSentences(i, true).front());
             return RunCodec(s, count);
         }},
        {"codec_corpus", "sentence", 3000,
         [](const auto& count) { return RunCodec(Vok::Bench::CorpusSentences(), count); }},
        {"loop_cycle", "sentence", 4000,
         [](const auto& count) { return RunLoop(CycleDatagrams(), 5, false, count); }},
        {"loop_corpus", "sentence", 3500,
         [](const auto& count) { return RunLoop(CorpusDatagrams(), 1, false, count); }},
        {"packet_gga", "datagram", 6200,
         [](const auto& count) { return RunLoop(CycleDatagrams(true), 1, true, count); }},
        {"packet_cycle", "datagram", 15200,
         [](const auto& count) { return RunLoop(CycleDatagrams(), 5, true, count); }},
    };
}

#ifdef VOK_HAVE_CALLGRIND

// Under callgrind: each workload with collection switched on around its counted part, its
// counts dumped under its name, and its units written to the file that VOK_COUNT_UNITS names.
int Measure() {
    std::ofstream units(std::getenv("VOK_COUNT_UNITS"));
    for (const sWorkload& w : Workloads()) {
        CALLGRIND_ZERO_STATS;
        const long n = w.run([](bool) { CALLGRIND_TOGGLE_COLLECT; });
        CALLGRIND_DUMP_STATS_AT(w.name);
        units << w.name << ' ' << n << std::endl;
    }
    return 0;
}

// The instructions of each dump of a callgrind output, by the name it was dumped at.
std::map<std::string, long long> ReadDumps(const std::filesystem::path& folder) {
    std::map<std::string, long long> counts;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        if (entry.path().filename().string().rfind("callgrind.out", 0) != 0) continue;
        std::ifstream dump(entry.path());
        std::string line, name;
        long long total = -1;
        while (std::getline(dump, line)) {
            if (line.rfind("desc: Trigger: Client Request: ", 0) == 0) name = line.substr(31);
            if (line.rfind("summary: ", 0) == 0 || line.rfind("totals: ", 0) == 0)
                total = std::atoll(line.c_str() + line.find(' '));
        }
        if (!name.empty() && total >= 0) counts[name] = total;
    }
    return counts;
}

int Report() {
    const std::string self = std::filesystem::read_symlink("/proc/self/exe").string();
    const std::string valgrind = Vok::Bench::FindOnPath("valgrind");
    if (valgrind.empty()) {
        std::printf("valgrind is not installed: no instruction counts\n");
        return 0;
    }
    char pattern[] = "/tmp/vok-count-XXXXXX";
    if (::mkdtemp(pattern) == nullptr) return 1;
    const std::filesystem::path folder = pattern;
    const std::string out = "--callgrind-out-file=" + (folder / "callgrind.out").string();
    const std::string unitsFile = (folder / "units").string();
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::setenv("VOK_COUNT_UNITS", unitsFile.c_str(), 1);
        ::execl(valgrind.c_str(), "valgrind", "-q", "--tool=callgrind", "--collect-atstart=no", out.c_str(),
                self.c_str(), static_cast<char*>(nullptr));
        ::_exit(127);
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    const std::map<std::string, long long> counts = ReadDumps(folder);
    std::ifstream units(unitsFile);
    std::string name;
    long n = 0;
    std::printf("%-14s %10s %14s %10s  %s\n", "workload", "units", "instructions", "per unit", "goal");
    int missing = 0;
    for (const sWorkload& w : Workloads()) {
        units >> name >> n;
        const auto found = counts.find(w.name);
        if (found == counts.end() || name != w.name || n <= 0) {
            std::printf("%-14s no count\n", w.name);
            ++missing;
            continue;
        }
        const double per = static_cast<double>(found->second) / static_cast<double>(n);
        char goal[64] = "";
        if (w.goal > 0) std::snprintf(goal, sizeof goal, "%ld (%.2f of it)", w.goal, per / static_cast<double>(w.goal));
        std::printf("%-14s %10ld %14lld %10.0f  per %s %s\n", w.name, n, found->second, per, w.per, goal);
    }
    std::filesystem::remove_all(folder);
    return missing == 0 && WIFEXITED(status) && WEXITSTATUS(status) == 0 ? 0 : 1;
}

#endif

}  // namespace

int main() {
#ifdef VOK_HAVE_CALLGRIND
    if (RUNNING_ON_VALGRIND) return Measure();
    return Report();
#else
    std::printf("built without valgrind's callgrind.h: no instruction counts\n");
    return 0;
#endif
}
