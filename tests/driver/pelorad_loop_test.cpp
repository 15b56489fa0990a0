// The driver class's sentence loop in this process: a driver object under a settings buffer that
// the test writes, fed datagrams through its receive buffer, its records read from the real
// output buffer.
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <tuple>
#include <vector>

#include "compat/clock.h"
#include "compat/debug_output.h"
#include "driver/pelorad.h"
#include "foundation/system_time.h"
#include "host/definition_samples.h"
#include "host/driver_samples.h"
#include "platform/ipc_event.h"
#include "tests/support/file_helpers.h"
#include "tests/support/ipc_test_folder.h"
#include "tests/support/peer_process.h"
#include "host/test_host.h"

namespace {

using namespace Vok::Test;

constexpr double kNoon = 999993600.0 + 12 * 3600;  // 2001-09-09 12:00:00 UTC
// Blocks that a datagram wrote, as bits of their 0-based numbers: position, heading with its ring,
// rate of turn, time tag.
constexpr int P = 1 << 1, H = 3 << 2, R = 1 << 4, T = 1 << 5;

std::string Hms(double s) {
    char hms[16];
    std::snprintf(hms, sizeof hms, "12%02d%05.2f", static_cast<int>(s / 60), std::fmod(s, 60.0));
    return hms;
}
std::string Gga(double s, const std::string& address = "GP") {
    return Sentence(address + "GGA," + Hms(s) + ",4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,");
}
std::string GgaAt(const std::string& time, const std::string& latitude = "4807.038") {
    return Sentence("GPGGA," + time + "," + latitude + ",N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,");
}
std::string Gll(double s) { return Sentence("GPGLL,4807.038,N,01131.000,E," + Hms(s) + ",A,A"); }
// The latitude's sigma tells which GST it came from: 1 + its second.
std::string Gst(double s) {
    return Sentence("GPGST," + Hms(s) + ",0.5,1.2,0.8,35.0," + std::to_string(1 + s) + ",0.9,2.1");
}
std::string NoFix(double s) { return Sentence("GPGGA," + Hms(s) + ",,,,,0,00,,,M,,M,,"); }
// The same at midnight: 12:00 becomes 23:59 and 12:01 00:00; its checksum no longer holds.
std::string Night(std::string s) { return s.replace(7, 4, s.substr(7, 4) == "1200" ? "2359" : "0000"); }
std::string Glued(const std::string& a, const std::string& b) { return a.substr(0, a.size() - 2) + b; }
// Sentences ended by CR alone, as some serial-to-network bridges send them.
std::string EndedByCr(std::string text) {
    for (size_t p; (p = text.find("\r\n")) != std::string::npos;) text.erase(p + 1, 1);
    return text;
}
// A GLL of NMEA 1.5: no time, no status.
const std::string GLL15 = Sentence("GPGLL,4807.038,N,01131.000,E");
std::string Broken(std::string s) { return s.replace(s.size() - 4, 2, "ZZ"); }
const std::string HDT = Sentence("HEHDT,123.4,T"), GSA = Sentence("GPGSA,M,3,04,05,09,12,,,,,,,,,2.5,1.3,2.1"),
                  ROT = Sentence("TIROT,-12.5,A"),
                  GSV = Sentence("GPGSV,1,1,11,03,03,111,00,04,15,270,00,06,01,010,00,13,06,292,00");

class PeloradLoop : public IpcTest {
protected:
    void TearDown() override {
        Stop();
        IpcTest::TearDown();
    }
    void Stop() {
        m_out.reset();
        m_driver.reset();
        m_link.reset();
    }

    // A driver of system 7 after SETTINGS, with every result kind unless defs says otherwise.
    int Start(DWORD headingTrigger = 1, float timeOffset = 0.0f, const CObsDefList* defs = nullptr,
              float interval = 0.0f, DWORD checksum = 1) {
        Stop();
        sDriverSettings s;
        s.system.sysId = 7;
        s.system.timeTagType = s.system.timeSource = 4;
        s.system.timeOffset = timeOffset;
        s.system.interval = interval;
        s.outputName = "LOOP_OUT";
        defs != nullptr ? s.observations.CopyFrom(defs) : FillResultObsDefs(s.observations, 7);
        m_link = std::make_unique<CHostLinkObjects>("LOOP");
        EXPECT_TRUE(PublishSettings(m_link->Settings(), s));
        m_published = s;
        m_driver = std::make_unique<CPelorad>(checksum, headingTrigger, 3);
        m_driver->OnCmdInit();
        const int result = m_driver->OnCmdSettings();
        m_out = std::make_unique<IpcBufferHandle>("LOOP_OUT", 0);
        return result;
    }

    // One datagram tagged kNoon + seconds; the records that it wrote.
    int Feed(double seconds, const std::string& text) {
        const double whole = std::floor(kNoon + seconds);
        const std::string d = Tagged(static_cast<uint32_t>(whole), text, std::lround((kNoon + seconds - whole) * 1e6));
        std::memcpy(m_driver->GetReceiveBuffer(), d.data(), d.size());
        m_driver->SetReceivedLength(static_cast<DWORD>(d.size()));
        const std::vector<DWORD> before = Blocks(&Vok::MultiIPCBuffer::GetBlockChangeCounter);
        EXPECT_EQ(m_driver->DecodeTimeTag(), 1);
        const int result = m_driver->DecodeData(false);
        const std::vector<DWORD> after = Blocks(&Vok::MultiIPCBuffer::GetBlockChangeCounter);
        int written = 0;
        for (size_t i = 0; i < before.size(); ++i) written |= after[i] != before[i] ? 1 << i : 0;
        EXPECT_EQ(result, written != 0 ? 1 : 0);
        return written;
    }

    // A property of each block of the output buffer.
    std::vector<DWORD> Blocks(DWORD (Vok::MultiIPCBuffer::*property)(DWORD) const) {
        const CBufferHold hold(*m_out);
        std::vector<DWORD> values;
        for (DWORD i = 0; i < m_out->buffer.GetBlockCount(); ++i) values.push_back((m_out->buffer.*property)(i));
        return values;
    }

    // The heading ring block's times in whole seconds after noon, in time order.
    std::vector<int> RingSeconds() {
        const CBufferHold hold(*m_out);
        std::vector<int> s;
        for (DWORD k = 0; k < m_out->buffer.GetRecordCount(3); ++k) {
            NavRecord r;  // block data need not be aligned
            std::memcpy(&r, m_out->buffer.GetConstBlockData(3) + k * sizeof r, sizeof r);
            s.push_back(r.stTime.wSecond);
        }
        std::sort(s.begin(), s.end());
        return s;
    }

    template <class Record>
    Record Read(DWORD block) {
        Record r{};
        const CBufferHold hold(*m_out);
        EXPECT_EQ(m_out->ReadRecord(block, 1, &r, sizeof r), 1);
        return r;
    }

    CScopedEnvironment m_prefix{"Prefix", "LOOP"}, m_pps{"VOK_PPS_VALID", "1"};
    std::unique_ptr<CHostLinkObjects> m_link;
    sDriverSettings m_published;
    std::unique_ptr<IpcBufferHandle> m_out;
    std::unique_ptr<CPelorad> m_driver;
};

TEST_F(PeloradLoop, ANewDriverStampsItsRecordsWithTheTimeOfItsStart) {
    SYSTEMTIME before{}, after{};
    GetSystemTime(&before);
    const CPelorad driver(1, 1, 3);
    GetSystemTime(&after);
    for (const SYSTEMTIME& st : {driver.GetPosRecord().stFixTime, driver.GetNavRecord().stTime}) {
        const CVOKTime t(SystemTimeToMjdTime(st));
        EXPECT_GE(t - CVOKTime(SystemTimeToMjdTime(before)), 0.0);
        EXPECT_GE(CVOKTime(SystemTimeToMjdTime(after)) - t, 0.0);
    }
}

TEST_F(PeloradLoop, DefinitionsChooseTheBlocksOnce) {
    const struct {
        std::vector<int32_t> types;
        int result;
        std::vector<DWORD> blocks;
    } rows[] = {{{11, 11}, 0, {26, 11, 86}},  // neither position nor time tag: 0, blocks all the same
                {{31, 32, 99, 110}, 1, {26, 115}}};
    for (const auto& row : rows) {
        CObsDefList defs;
        for (const int32_t type : row.types) defs.Add(MakeObsDef(defs.GetCount() + 1, type, 7, 1, 0, 0));
        EXPECT_EQ(Start(1, 0.0f, &defs), row.result);
        EXPECT_EQ(m_driver->OnCmdSettings(), row.result);  // and nothing more is added
        EXPECT_EQ(Blocks(&Vok::MultiIPCBuffer::GetBlockId), row.blocks);
        // An INIT into the same buffer adds a time block and finds the result blocks there again.
        m_driver->OnCmdInit();
        EXPECT_EQ(m_driver->OnCmdSettings(), row.result);
        std::vector<DWORD> again = row.blocks;
        again.push_back(TIME_BLOCK_TYPE);
        EXPECT_EQ(Blocks(&Vok::MultiIPCBuffer::GetBlockId), again);
    }
}

// Which records each datagram of a sequence writes; where given, the fixes written (second, and that
// of the GST whose seven accuracy fields it carries; 998: none known, 999; -1: 0). "RESET" and "INIT"
// stand for the host's commands.
TEST_F(PeloradLoop, SequencesWriteTheirRecordsWhenDue) {
    const std::string hdt72 = "$HEHDT,100." + std::string(57, '0') + ",T\r\n", hdt40 = "$HEHDT,101." + std::string(25, '0') + ",T\r\n";
    const struct {
        const char* name;
        DWORD trigger;
        std::vector<std::tuple<double, std::string, int>> steps;
        DWORD checksum = 1;
        std::vector<std::pair<double, double>> fixes = {};
        const char* pps = "1";
    } scripts[] = {
        {"the heading closes the cycle", 1,
         {{0, Gga(0), 0}, {0.1, Gst(0), 0}, {0.2, HDT, H}, {1, Gga(1), T}, {1.1, Gst(1), 0}, {1.2, HDT, P | H},
          {2, Gga(2) + Gst(2) + HDT, P | H | T}}, 1, {{1, 1}, {2, 2}}},
        {"the rate of turn closes the cycle", 1,
         {{0, Gga(0), 0}, {0.2, Sentence("TIROT,-12.5,A"), R}, {1, Gga(1), T}, {1.2, Sentence("TIROT,-11.5,A"), P | R}}},
        {"with NOTH, the GST", 0,
         {{0, Gga(0), 0}, {0.1, Gst(0), 0}, {0.2, HDT + ROT, H | R}, {1, Gga(1), T}, {1.1, Gst(1), P}, {1.2, HDT, H}}},
        {"a reset writes nothing stale", 1,
         {{0, Gga(0) + HDT, H}, {1, Gga(1) + HDT, P | H | T}, {2, Gga(2), T}, {2, "RESET", 0}, {3, Gga(3), 0},
          {3.5, Sentence("GPGSV,3,1,11,03,03,111,00"), 0}, {4, Gga(4), P | T}}},
        {"an INIT writes nothing stale", 1,
         {{0, Gga(0) + HDT, H}, {1, Gga(1) + HDT, P | H | T}, {2, Gga(2), T}, {2, "INIT", 0}, {3, Gga(3), 0},
          {4, Gga(4), P | T}}},
        {"a tag when more than 0.2 s after the last", 1,
         {{0, Gga(0), 0}, {1, Gga(1), P | T}, {1.2, Gga(1.2), P}, {1.3, Gga(1.3), P | T}, {1.5, Gga(1.5), P},
          {1.6, Gga(1.6), P | T}}},
        {"ZDA tags, positions no more", 1,
         {{0, Gga(0), 0}, {1, Gga(1), P | T}, {2, Sentence("GPZDA,160012.71,11,03,2004,00,00"), T},
          {3, Gga(3), P}, {4, Sentence("GPZDA,160013.00,,,,,"), 0}}},
        // The ZDA's time lies before the positions' on their own day: only the rule keeps them
        // from being tagged.
        {"ZDA of the positions' day tags, positions no more", 1,
         {{0, Gga(0), 0}, {1, Gga(1), P | T}, {1.5, Sentence("GPZDA,120001.50,09,09,2001,00,00"), T},
          {2, Gga(2), P}, {3, Gga(3), P}}},
        {"tokens within ten characters, glued sentences each on their own", 1,
         {{0, Gga(0, "ABCDEFGHI"), 0}, {0.5, Gga(0.5, "ABCDEFGH"), 0}, {1, Gga(1), P | T},
          {2, Glued(Gga(2), Gga(2.5)), P | T}, {3, Glued(Gga(3), Gst(3)), P | T}}},
        {"GLL positions, written and never tagged", 1, {{0, Gll(0), 0}, {1, Gll(1), P}, {2, Gll(2), P}}},
        {"GLL without a time, each at its arrival", 1, {{0, GLL15, 0}, {1, GLL15, P}, {2, GLL15, P}, {2.5, GLL15, P}}},
        // Without the checksum test a line of just "$GGA" is long enough to be detected.
        {"a rest of four characters", 1, {{0, "$GGA\n" + Gga(0), P | T}}, 0},
        // A last line without a line feed ends with the datagram, not at a line feed that a longer
        // datagram before left in the receive buffer behind it.
        {"a datagram's last line ends with its bytes", 1,
         {{0, hdt72 + "$TIROT,-12.5,A\r\n", H | R}, {1, hdt40 + "$HEHDT,102.000,T", H}}, 0},
        {"a gyro that stops and comes back: each fix a cycle late meanwhile", 1,
         {{0, Gga(0) + Gst(0) + HDT + ROT, H | R}, {1, Gga(1) + Gst(1) + HDT, H | T}, {1.2, ROT, P | R},
          {2, Gga(2) + Gst(2), T}, {3, Gga(3), P | T}, {3.1, Gst(3), 0}, {4, Gga(4), P | T}, {5, Gga(5), P | T},
          {5.1, HDT, H}, {5.2, ROT, P | R}, {6, Gga(6) + Gst(6) + HDT, H | T}, {6.2, ROT, P | R}},
         1, {{1, 1}, {2, 2}, {3, 3}, {4, 3}, {5, 3}, {6, 6}}},
        {"one heading lost", 1, {{0, Gga(0) + Gst(0) + HDT, H}, {1, Gga(1) + Gst(1) + HDT, P | H | T},
         {2, Gga(2) + Gst(2), T}, {3, Gga(3), P | T}, {3.1, Gst(3), 0}, {3.2, HDT, P | H}, {4, Gga(4) + Gst(4), T}},
         1, {{1, 1}, {2, 2}, {3, 3}}},
        {"positions at 10 Hz, a heading at 1 Hz", 1,
         {{0, Gll(0) + Gst(0) + HDT, H}, {0.1, Gll(0.1) + Gst(0.1), 0}, {0.2, Gll(0.2) + Gst(0.2), P},
          {1, Gll(1) + Gst(1), P}, {1.05, HDT, P | H}, {1.1, Gll(1.1) + Gst(1.1), 0}}, 1, {{0.1, 0.1}, {0.2, 0.2}, {1, 1}}},
        {"GST and heading close cycles by turns", 1,
         {{0, Gga(0) + Gst(0), 0}, {0.5, Gga(0.5) + HDT, H | T}, {1, Gga(1), P | T}, {1.1, Gst(1), P},
          {1.5, Gga(1.5) + HDT, H | T}, {2, Gga(2), P | T}, {2.1, Gst(2), P}}, 1, {{0.5, 0}, {1, 1}, {1.5, 1}, {2, 2}}},
        {"heading and rate of turn by turns", 1,
         {{0, Gga(0) + HDT, H}, {1, Gga(1) + ROT, R | T}, {2, Gga(2), P | T}, {2.2, HDT, P | H},
          {3, Gga(3) + ROT, R | T}, {4, Gga(4), P | T}}, 1, {{1, 998}, {2, 998}, {3, 998}}},
        {"a GST in every cycle, heading and rate of turn by turns", 1,
         {{0, Gga(0) + Gst(0) + HDT, H}, {1, Gga(1) + Gst(1) + ROT, R | T}, {2, Gga(2), P | T},
          {2.1, Gst(2) + HDT, P | H}, {3, Gga(3) + Gst(3) + ROT, R | T}, {4, Gga(4), P | T}}, 1, {{1, 1}, {2, 2}, {3, 3}}},
        {"one GST's checksum broken", 0,
         {{0, Gga(0) + Gst(0), 0}, {1, Gga(1) + Gst(1), P | T}, {2, Gga(2) + Broken(Gst(2)), T}, {3, Gga(3), P | T},
          {3.1, Gst(3), P}, {4, Gga(4) + Gst(4), P | T}}, 1, {{1, 1}, {2, 1}, {3, 3}, {4, 4}}},
        {"sentences ended by CR alone; a receiver's no fix at its time, its empty GST not known (999)", 1,
         {{0, EndedByCr(Gga(0) + Gst(0) + HDT), H}, {1, EndedByCr(Gga(1) + Gst(1) + HDT), P | H | T},
          {2, Sentence("GPGGA," + Hms(2) + ",,,,,0,00,,,M,,M,,") + Sentence("GPGST," + Hms(2) + ",,,,,,,") + HDT, P | H | T}},
         1, {{1, 1}, {2, 998}}},
        {"a GGA without a time of day, at its arrival; a latitude beyond 90, minutes of 60 not used", 1,
         {{0, Gga(0), 0}, {1, Gga(1), P | T}, {2.25, GgaAt(""), P | T}, {3, GgaAt(Hms(3), "9158.8"), 0},
          {3.5, GgaAt("245502.00"), P | T}, {4, GgaAt(Hms(4), "5160.5000"), 0}},
         1, {{1, 998}, {2.25, 998}, {3.5, 998}}},
        {"one stale GGA, not tagged", 1,
         {{3, Gga(3), 0}, {4, Gga(4), P | T}, {5, Gga(5), P | T}, {5.5, Gga(3.5), P}, {6, Gga(6), P | T}}},
        {"the time tags stepped back 4.5 s for good", 1,
         {{0, Gga(0), 0}, {1, Gga(1), P | T}, {6, Gga(6), P | T}, {6.5, Gga(1.5), P}, {7, Gga(2.5), P | T}}},
        {"a leap second between its neighbours, time tags in order", 1,
         {{43198, GgaAt("235958"), 0}, {43199, GgaAt("235959"), P | T}, {43199.5, GgaAt("235960"), P | T},
          {43200, GgaAt("000000"), P | T}, {43201, GgaAt("000001"), P | T}}, 1, {{59, 998}, {59.5, 998}, {0, 998}, {1, 998}}},
        {"a start without a fix; the GGA closes until a GST comes for the fix it wrote", 1, {{0, NoFix(0), 0},
         {1, NoFix(1), P | T}, {2, Gga(2), P | T}, {2.1, Gst(2), 0}, {3, Gga(3), T}, {3.1, Gst(3), P}}, 1, {{1, 998}, {2, 998}, {3, 3}}},
        {"GST before GGA on a clock 5 s ahead, not synchronised", 1, {{5, Gga(0), 0}, {5.9, Gst(1), 0}, {6, Gga(1), T},
         {6.9, Gst(2), P}, {7, Gga(2), T}, {7.9, Gst(3), P}}, 1, {{6, 1}, {7, 2}}, "0"},
        {"GST before GGA at midnight", 1, {{0, Night(Gga(58)), 0}, {0.9, Night(Gst(59)), 0}, {1, Night(Gga(59)), T},
         {1.9, Night(Gst(60)), P}, {2, Night(Gga(60)), T}, {2.9, Night(Gst(61)), P}}, 0, {{1, 59}, {2, 60}}, "0"},
        {"a 10 Hz gyro between GGA and GST", 1, {{0, Gga(0) + HDT, H}, {0.06, Gst(0), 0}, {0.5, HDT, H}, {1, Gga(1), T},
         {1.05, HDT, P | H}, {1.06, Gst(1), 0}, {2, Gga(2), T}, {2.05, HDT, H}, {2.06, Gst(2), P}}, 1, {{1, 0}, {2, 2}}},
        {"GST before GGA", 1, {{0, Gga(0), 0}, {0.9, Gst(1), 0}, {1, Gga(1), T}, {1.9, Gst(2), P}, {2, Gga(2), T},
         {2.9, Gst(3), P}}, 1, {{1, 1}, {2, 2}}},
        {"a lost heading, then a lost GGA", 1, {{0, Gga(0) + Gst(0) + HDT, H}, {1, Gga(1) + Gst(1) + HDT, P | H | T},
         {2, Gga(2) + Gst(2), T}, {3, Gst(3) + HDT, P | H}, {4, Gga(4) + Gst(4) + HDT, P | H | T}}, 1, {{1, 1}, {2, 2}, {4, 4}}},
        {"GGA at 10 Hz, GST at 1 Hz", 1, {{0, Gga(0) + Gst(0), 0}, {0.1, Gga(0.1), T}, {0.2, Gga(0.2), P}, {0.9, Gga(0.9), P | T},
         {1, Gga(1), P}, {1.05, Gst(1), P}, {1.1, Gga(1.1), 0}, {1.2, Gga(1.2), P | T}}, 1, {{0.1, 0}, {0.2, 0}, {0.9, 0}, {1, 1}, {1.1, 1}}},
        {"GST before GGA at 10 Hz", 1, {{0, Gga(0), 0}, {0.09, Gst(0.1), 0}, {0.1, Gga(0.1), T}, {0.19, Gst(0.2), P},
         {0.2, Gga(0.2), 0}, {0.29, Gst(0.3), P}}, 1, {{0.1, 0.1}, {0.2, 0.2}}},
        {"a reset forgets the accuracy", 1, {{0, Gga(0) + Gst(0), 0}, {1, Gga(1) + Gst(1), P | T}, {1, "RESET", 0},
         {2, Gga(2), 0}, {3, Gga(3), P | T}}, 1, {{1, 1}, {3, 998}}},
        {"GST before GGA on a clock 5 s ahead, a reset", 1, {{5, Gga(0), 0}, {5.9, Gst(1), 0}, {6, Gga(1), T},
         {6.9, Gst(2), P}, {6.9, "RESET", 0}, {7, Gga(2), 0}, {7.9, Gst(3), 0}, {8, Gga(3), T}, {8.9, Gst(4), P}},
         1, {{6, 1}, {8, 3}}, "0"},
        {"a lost GGA, a stale GST after a later one", 1, {{0, Gga(0) + Gst(0) + HDT, H}, {1, Gga(1) + Gst(1) + HDT, P | H | T},
         {2, Gga(2), T}, {3, Gst(3), P}, {3.1, Gst(2), 0}, {4, Gga(4), T}, {4.1, Gst(4), 0}, {4.2, HDT, P | H}},
         1, {{1, 1}, {2, 1}, {4, 4}}},
        {"two stale GGAs, the second older: neither tagged", 1, {{0, Gga(0), 0}, {1, Gga(1), P | T}, {6, Gga(6), P | T},
         {6.5, Gga(2), P}, {6.8, Gga(1.5), P}, {7, Gga(7), P | T}}},
        {"rates of turn, whatever their status", 1,
         {{0, Sentence("TIROT,-12.5,V"), R}, {0, Sentence("TIROT,-11.5,A"), 0}, {1, Sentence("TIROT,-11.5,A"), R}}},
    };
    for (const auto& script : scripts) {
        const CScopedEnvironment pps("VOK_PPS_VALID", script.pps);
        Start(script.trigger, 0.0f, nullptr, 0.0f, script.checksum);
        std::vector<std::pair<double, double>> fixes;
        for (const auto& [t, text, written] : script.steps) {
            if (text == "RESET") {
                EXPECT_EQ(m_driver->DecodeData(true), 0);
                continue;
            }
            if (text == "INIT") {
                EXPECT_EQ(m_driver->OnCmdInit(), 1);
                continue;
            }
            EXPECT_EQ(Feed(t, text), written) << script.name << " at " << t;
            if ((written & P) == 0 || script.fixes.empty()) continue;
            const auto pos = Read<PosRecord>(2);
            const auto cents = [](double v) { return std::round(v * 100) / 100; };
            fixes.emplace_back(cents(pos.stFixTime.wSecond + pos.stFixTime.wMilliseconds / 1000.0),
                               cents(pos.fSdLatitude - 1));
            // The other six fields come from the same GST, or none is known.
            const float no = ACCURACY_NOT_KNOWN;
            const std::vector gst =
                pos.fSdLatitude == no ? std::vector(6, no) : std::vector{0.5f, 1.2f, 0.8f, 35.0f, 0.9f, 2.1f};
            EXPECT_EQ((std::vector{pos.fRms, pos.fSemiMajor, pos.fSemiMinor, pos.fOrientation, pos.fSdLongitude,
                                   pos.fSdHeight}),
                      gst) << script.name << " at " << t;
            m_driver->WriteTimeBlock();
            EXPECT_TRUE(SameTime(m_driver->GetTimeRecord().stTime, pos.stFixTime)) << script.name << " at " << t;
        }
        EXPECT_EQ(fixes, script.fixes) << script.name;
    }
    EXPECT_EQ(Read<RotRecord>(5).dRate, -11.5);
    // A rate that the sensor does not call valid is written as given, marked invalid.
    for (const auto& [t, status, expected] :
         {std::tuple{2, "A", STATUS_NEW}, {3, "V", STATUS_NEW_INVALID}, {4, "", STATUS_NEW_INVALID}}) {
        ASSERT_EQ(Feed(t, Sentence(std::string("TIROT,5.0,") + status)), R) << status;
        EXPECT_TRUE(Read<RotRecord>(5).dRate == 5.0 && Read<RotRecord>(5).fStatus == expected) << status;
    }
}

TEST_F(PeloradLoop, AnUpdateIntervalIsReachedAtItsOwnStep) {
    // 0.2 as a 32-bit float is a hair above 0.2 s; headings 0.2 s apart must all be written.
    Start(1, 0.0f, nullptr, 0.2f);
    const std::vector<std::pair<double, int>> steps = {{0, H}, {0.2, H}, {0.4, H}, {0.5, 0}, {0.6, H}, {0.9, H}};
    for (const auto& [t, written] : steps) EXPECT_EQ(Feed(t, HDT), written) << "at " << t;
    SYSTEMTIME last = At(kNoon);
    EXPECT_EQ(m_driver->IsTimeDue(At(kNoon + 0.1), last), 0);
    EXPECT_EQ(m_driver->IsTimeDue(At(kNoon - 0.3), last), 1);
    EXPECT_TRUE(SameTime(last, At(kNoon - 0.3)));
    EXPECT_EQ(m_driver->IsUpdateDue(), 0);  // no time since the last update, short of 0.2 s
    // A rate of turn that the interval held back is not written after an INIT (here shortening the
    // interval) has cleared the decoder.
    ASSERT_EQ(Feed(1, Sentence("TIROT,-12.5,A")), R);
    ASSERT_EQ(Feed(1.1, Sentence("TIROT,-11.5,A")), 0);
    sDriverSettings s = m_published;
    s.system.interval = 0.0f;
    ASSERT_TRUE(PublishSettings(m_link->Settings(), s));
    ASSERT_EQ(m_driver->OnCmdInit(), 1);
    EXPECT_EQ(Feed(1.5, HDT), H);
    Start();                                // no interval: due at once
    EXPECT_EQ(m_driver->IsUpdateDue(), 1);
}

// Each INIT reads the lists of the settings afresh.
TEST_F(PeloradLoop, AnInitReadsTheListsAfresh) {
    Start();
    sDriverSettings s = m_published;
    s.systems.Add(MakeSysDef(7, 0, 0, 0, 0));
    ASSERT_TRUE(PublishSettings(m_link->Settings(), s));
    for (int init = 0; init < 2; ++init) {
        m_driver->OnCmdInit();
        EXPECT_EQ(m_driver->GetSysDefs().GetCount(), 1) << init;
    }
}

// The text settings come from their items, each up to its first zero byte or the end of its block.
TEST_F(PeloradLoop, TextSettingsAreReadFromTheirItems) {
    Start();
    const std::string text = "text of item 28";
    SettingsItems items;
    items[28] = sSettingsItem{1, 1, std::vector<BYTE>(text.begin(), text.end())};
    ASSERT_TRUE(PublishSettings(m_link->Settings(), items));
    m_driver->ReadStringSettings();
    EXPECT_EQ(m_driver->GetStringSetting(1).Str(), text);
}

// A datagram whose records were dropped for a buffer held elsewhere is not waited for twice: it
// writes no time block after them, however soon the buffer is free.
TEST_F(PeloradLoop, ADatagramDroppedForAHeldBufferWritesNothingMore) {
    Start();
    CPeerProcess holder({PeerPath(VOK_BINARY_DIR, "buffer_peer"), "open", "LOOP_OUT", "0", "lock", "LOOP_OUT", "pause",
                         "unlock", "LOOP_OUT"});
    ASSERT_EQ(holder.WaitForLine("READY lock", Milliseconds(5000)), "READY lock 1");
    EXPECT_EQ(Feed(0, HDT), 0);  // after a second's wait in vain
    ASSERT_TRUE(holder.WriteLine("go"));
    EXPECT_EQ(holder.Wait(Milliseconds(5000)), 0);
    EXPECT_EQ(m_driver->WriteTimeBlock(), 0);
}

// A driver whose output generation a peer cuts short inside a datagram's hold, once asked: after the
// records, before the time block.
class CCutDuringHold : public CPelorad {
public:
    CCutDuringHold() : CPelorad(1, 1, 3) {}
    std::string cut;  // the folder's file to cut short
    int DecodeData(bool reset) override {
        const int result = CPelorad::DecodeData(reset);
        if (!reset && !cut.empty()) {
            CPeerProcess peer({PeerPath(VOK_BINARY_DIR, "buffer_peer"), "truncate", cut, "0"});
            EXPECT_EQ(peer.Wait(Milliseconds(5000)), 0);
        }
        return result;
    }
};

// A datagram's road gives 1; its update is announced only when what it wrote reached the file.
TEST_F(PeloradLoop, RecordsThatMetAFileCutShortAreNotAnnounced) {
    Start();
    auto owned = std::make_unique<CCutDuringHold>();
    CCutDuringHold& driver = *owned;
    m_driver = std::move(owned);
    ASSERT_EQ(driver.OnCmdInit(), 1);
    driver.OnCmdSettings();
    CIpcEvent update("LOOP_UPDATE_READY");
    const auto road = [&driver](uint32_t seconds) {
        const std::string d = Tagged(static_cast<uint32_t>(kNoon) + seconds, HDT);
        std::memcpy(driver.GetReceiveBuffer(), d.data(), d.size());
        driver.SetReceivedLength(static_cast<DWORD>(d.size()));
        return driver.ProcessData();
    };
    ASSERT_TRUE(update.Reset());
    EXPECT_EQ(road(1), 1);
    EXPECT_EQ(update.Wait(0), static_cast<DWORD>(WAIT_OBJECT_0));
    ASSERT_TRUE(update.Reset());
    for (const std::string& file : m_folder.ListFiles())
        if (file.rfind("m.LOOP_OUT_", 0) == 0 && file != "m.LOOP_OUT_MNGT") driver.cut = file;
    ASSERT_FALSE(driver.cut.empty());
    EXPECT_EQ(road(2), 1);
    EXPECT_EQ(update.Wait(0), static_cast<DWORD>(WAIT_TIMEOUT));
}

// Before its first bind a driver has no socket: a receive step asks for the bind.
TEST_F(PeloradLoop, WithoutASocketTheReceiveStepsAskForABind) {
    CPelorad driver(1, 1, 3);
    ASSERT_EQ(driver.GetSocket(), nullptr);
    EXPECT_EQ(driver.OnIssueReceive(), UDP_STATE_BIND);
    EXPECT_EQ(driver.OnWaitForReceive(), UDP_STATE_BIND);
}

// A RESET binds a new socket: a datagram that waited on the old one is gone with it.
TEST_F(PeloradLoop, AResetDropsWhatWaitedOnTheOldSocket) {
    Start();
    sDriverSettings s = m_published;
    s.system.port = FindFreeUdpPort();
    ASSERT_TRUE(PublishSettings(m_link->Settings(), s));
    ASSERT_EQ(m_driver->OnCmdInit(), 1);
    ASSERT_EQ(m_driver->DoReceiveStep(), UDP_STATE_RECEIVE);
    ASSERT_TRUE(SendDatagram(s.system.port, Tagged(static_cast<uint32_t>(kNoon), HDT)));
    pollfd queued{m_driver->GetSocket()->GetEvent().fd, POLLIN, 0};
    ASSERT_EQ(::poll(&queued, 1, 5000), 1);
    m_driver->OnCmdReset();
    EXPECT_EQ(m_driver->DoReceiveStep(), UDP_STATE_RECEIVE);
    EXPECT_EQ(m_driver->DoReceiveStep(), UDP_STATE_WAIT);
    EXPECT_EQ(m_driver->GetDatagramsReceived(), 0u);
}

// A derived driver's group is joined at a bind only when it is a multicast address.
TEST_F(PeloradLoop, ADerivedDriverJoinsOnlyAMulticastGroup) {
    struct CGroupDriver : CPelorad {
        explicit CGroupDriver(const char* group) : CPelorad(1, 1, 3) { m_multicastGroup = group; }
    };
    Start();
    sDriverSettings s = m_published;
    s.system.port = FindFreeUdpPort();
    ASSERT_TRUE(PublishSettings(m_link->Settings(), s));
    CGroupDriver driver("10.1.2.3");
    ASSERT_EQ(driver.OnCmdInit(), 1);
    ASSERT_EQ(driver.DoReceiveStep(), UDP_STATE_RECEIVE);
    EXPECT_EQ(driver.GetSocket()->GetLastError(), 0u);
}

TEST_F(PeloradLoop, GsaAndGsvMergeIntoThePositionRecord) {
    // After one GGA the merged GSA keeps its PDOP, VDOP and modes; the next GGA its own HDOP,
    // satellites and list.
    Start();
    Feed(0, Gga(0));
    Feed(0.5, GSA);
    ASSERT_EQ(Feed(1, Gga(1)), P | T);
    const PosRecord r = Read<PosRecord>(2);
    const int32_t kinds[] = {1, 2, 4, 5, 5, -1}, prns[] = {1, 2, 3, 4, 5, 6, 7, 8, 0, 0, 0, 0};
    const float values[] = {2.5f, 0.9f, 2.1f, 1.0f, 3.0f, 0.0f};
    EXPECT_EQ(0, std::memcmp(r.alAccuracyKind, kinds, sizeof kinds));
    EXPECT_EQ(0, std::memcmp(r.afAccuracyValue, values, sizeof values));
    EXPECT_EQ(0, std::memcmp(r.alPrn, prns, sizeof prns));
    // GSV is refused while GSA parts are known; a run of GSA parts cut short counts none.
    const struct {
        std::string text;
        int32_t firstPrn, gsaParts;
    } steps[] = {{GSV, 0, 1}, {GSA + GSA, 4, 2}, {Gga(5), 0, 2}, {GSA, 4, 2}, {Gga(6), 0, 0}, {GSV, 3, 0},
                 {GSA + HDT + GSA, 4, 1}};  // a sentence of another kind ends the run: a first part again
    double t = 4;
    for (const auto& step : steps) {
        Feed(t += 0.25, step.text);
        EXPECT_EQ(m_driver->GetPosRecord().alPrn[0], step.firstPrn) << step.text;
        EXPECT_EQ(m_driver->GetGsaPartCount(), step.gsaParts) << step.text;
    }
    // GSV groups of several talkers in one epoch add up; a talker's group of a later epoch counts anew.
    const auto gsv = [](const char* talker, int parts, int part, std::vector<int> prns) {
        std::string text = std::string(talker) + "GSV," + std::to_string(parts) + "," + std::to_string(part) + ",17";
        for (const int prn : prns) text += "," + std::to_string(prn) + ",40,083,46";
        return Sentence(text);
    };
    const std::string gp = gsv("GP", 3, 1, {1, 2, 3, 4}) + gsv("GP", 3, 2, {5, 6, 7, 8}) + gsv("GP", 3, 3, {9, 10});
    const std::string gl = gsv("GL", 2, 1, {65, 66, 67, 68}) + gsv("GL", 2, 2, {69, 70, 71});
    Start();
    Feed(0, Gga(0) + Gst(0));
    for (const auto& [t, text, count, list] : {std::tuple{1, gp + gl, 17, std::vector<int>{1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 65, 66}},
                                               {2, gsv("GL", 1, 1, {70, 71}), 2, {70, 71}}}) {
        ASSERT_EQ(Feed(t, Gga(t) + text + Gst(t)), P | T);
        const PosRecord pos = Read<PosRecord>(2);
        EXPECT_TRUE(pos.lSatellites == count && std::equal(list.begin(), list.end(), pos.alPrn)) << t;
    }
}

TEST_F(PeloradLoop, HeadingAfterAPositionTakesTheDatagramTimeLessTheOffset) {
    for (const float offset : {0.0f, 2.5f}) {
        Start(1, offset);
        Feed(0, Gga(0));
        ASSERT_EQ(Feed(30, Gga(1) + HDT + HDT), P | H | T);
        EXPECT_TRUE(SameTime(Read<NavRecord>(3).stTime, At(kNoon + 30 - offset))) << offset;
        EXPECT_TRUE(SameTime(Read<PosRecord>(2).stFixTime, At(kNoon + 1))) << offset;
    }
    // Where the heading closes the cycle, the position's time becomes the datagram's update time.
    Start(1, 2.5f);
    Feed(0, Gga(0));
    Feed(0.2, HDT);
    Feed(1, Gga(1));
    ASSERT_EQ(Feed(1.2, HDT), P | H);
    ASSERT_EQ(m_driver->WriteTimeBlock(), 1);
    EXPECT_TRUE(SameTime(Read<TimeBlockRecord>(1).stTime, At(kNoon + 1)));
}

// Without the checksum test, a sentence whose last field is empty and ends right on the next "$"
// is decoded, and so is the one after it.
TEST_F(PeloradLoop, TheNextSentenceStartsRightAfterAnEmptyLastField) {
    Start(1, 0.0f, nullptr, 0.0f, 0);
    EXPECT_EQ(Feed(0, "$TIROT,-12.5,$HEHDT,123.4,T\r\n"), R | H);
    EXPECT_EQ(Read<RotRecord>(5).dRate, -12.5);
    EXPECT_EQ(Read<NavRecord>(3).dHeading, 123.4);
    // Of three sentences, the middle one cut short: the first and the last are decoded.
    EXPECT_EQ(Feed(1, "$TIROT,-11.5,A$HEHDT,$HEHDT,124.4,T\r\n"), R | H);
    EXPECT_EQ(Read<RotRecord>(5).dRate, -11.5);
    EXPECT_EQ(Read<NavRecord>(3).dHeading, 124.4);
    // A message gives up the sentences it held and keeps what is too short to be one.
    CString message((HDT + "$GP").c_str());
    m_driver->ProcessMessage(message);
    EXPECT_STREQ(message.GetString(), "$GP");
}

// A time tag keeps what fits of a long sentence, and its terminating NUL.
TEST_F(PeloradLoop, ATimeTagKeepsTheStartOfALongSentence) {
    Start();
    const std::string gga =
        Sentence("GPGGA," + Hms(1) + ",4807.038,N,01131.000,E,1,08,0.9,545.4" + std::string(40, '0') + ",M,46.9,M,,");
    Feed(0, Gga(0));
    ASSERT_EQ(Feed(1, gga), P | T);
    const TimetagRecord tag = Read<TimetagRecord>(6);
    EXPECT_EQ(std::string(tag.szSentence, sizeof tag.szSentence), gga.substr(0, TIMETAG_TEXT_SIZE - 1) + '\0');
    // A shorter sentence after it leaves nothing of the long one behind its own text.
    ASSERT_EQ(Feed(2, Gga(2)), P | T);
    const TimetagRecord next = Read<TimetagRecord>(6);
    const std::string line = Gga(2).substr(0, Gga(2).find('\n'));  // the datagram's line, without its line feed
    EXPECT_EQ(std::string(next.szSentence, sizeof next.szSentence), line + std::string(TIMETAG_TEXT_SIZE - line.size(), '\0'));
    ASSERT_EQ(Feed(3, EndedByCr(Gga(3) + HDT)), P | H | T);  // ended by CR alone: nothing of the next one
    EXPECT_EQ(std::string(Read<TimetagRecord>(6).szSentence), EndedByCr(Gga(3)));
}

// A position is placed on the day of the datagram's time: just after midnight on the new day, just
// before it on the old one, whichever side of midnight the datagram arrived.
TEST_F(PeloradLoop, PositionsAroundMidnightTakeTheDayOfTheirTime) {
    const double midnight = kNoon + 12 * 3600;  // 2001-09-10 00:00:00 UTC
    const struct {
        double receipt;    // seconds from kNoon
        const char* time;  // the sentence's time of day
        double expected;   // the position's time, seconds from 1970
    } rows[] = {
        {12 * 3600 - 0.1, "235959.80", midnight - 0.2},
        {12 * 3600 + 0.4, "000000.20", midnight + 0.2},  // after midnight, on the receipt's day
        {12 * 3600 + 0.1, "235959.90", midnight - 0.1},
        {12 * 3600 - 0.1, "000000.30", midnight + 0.3},
        {12 * 3600 + 30, "000029.50", midnight + 29.5},
    };
    const auto gga = [](const char* time) {
        return Sentence(std::string("GPGGA,") + time + ",4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,");
    };
    Start();
    Feed(12 * 3600 - 10, gga("235950.00"));  // the position format is detected, nothing decoded
    for (const auto& row : rows) {
        SCOPED_TRACE(row.time);
        EXPECT_EQ(Feed(row.receipt, gga(row.time)) & P, P);
        EXPECT_TRUE(SameTime(Read<PosRecord>(2).stFixTime, At(row.expected)));
    }
}

TEST_F(PeloradLoop, TheHeadingRingCountsItsRecords) {
    Start();
    const auto count = [this] { return Blocks(&Vok::MultiIPCBuffer::GetRecordCount)[3]; };
    EXPECT_EQ(count(), 0u);
    for (DWORD n = 1; n <= 3; ++n) {
        ASSERT_EQ(Feed(n, Sentence("HEHDT," + std::to_string(100 + n) + ".0,T")), H);
        EXPECT_EQ(count(), n);
        EXPECT_EQ(Read<NavRecord>(4).dHeading, 101.0);  // the ring's records from the first on
    }
    // While the block holds what the driver put there last, a heading writes its own slot alone:
    // what was written into the first slot meanwhile stays.
    const NavRecord blank{};
    {
        const CBufferHold hold(*m_out);
        ASSERT_EQ(m_out->WriteRecord(4, 1, &blank, sizeof blank), 1);
    }
    ASSERT_EQ(Feed(4, Sentence("HEHDT,104.0,T")), H);
    EXPECT_EQ(Read<NavRecord>(4).dHeading, 0.0);
}

// After an INIT into another buffer that could take no time block, the number of the earlier one
// is written there only into a block of the time block's type and record size.
TEST_F(PeloradLoop, ATimeBlockNumberIsWrittenOnlyIntoABlockOfItsShape) {
    const struct {
        DWORD type, recordSize;
        int written;
    } rows[] = {{26, 20, 1}, {26, 24, 0}, {26, 16, 0}, {99, 20, 0}};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.recordSize + 1000 * row.type);
        Start();
        ASSERT_EQ(m_driver->GetTimeBlock(), 1u);
        const std::string name = "LOOP_OTHER_" + std::to_string(row.type) + "_" + std::to_string(row.recordSize);
        IpcBufferHandle other(name.c_str(), 1);
        {
            const CBufferHold hold(other);
            other.buffer.AddBlock(row.type, row.recordSize, row.recordSize);
        }
        // Its next generation's place is taken: it cannot grow.
        std::string next;
        for (const std::string& file : m_folder.ListFiles()) {
            const std::string stem = "m." + name + "_";
            if (file.rfind(stem, 0) == 0 && file != stem + "MNGT")
                next = m_folder.GetPath() + "/" + stem + std::to_string(std::stoi(file.substr(stem.size())) + 1);
        }
        ASSERT_EQ(::mkdir(next.c_str(), 0700), 0);
        sDriverSettings s = m_published;
        s.outputName = name;
        ASSERT_TRUE(PublishSettings(m_link->Settings(), s));
        m_driver->OnCmdInit();
        EXPECT_EQ(m_driver->GetTimeBlock(), 1u);
        EXPECT_EQ(m_driver->WriteTimeBlock(), row.written);
        std::vector<BYTE> record(row.recordSize, 0xFF);
        {
            const CBufferHold hold(other);
            ASSERT_EQ(other.ReadRecord(1, 1, record.data(), row.recordSize), 1);
        }
        EXPECT_EQ(std::count(record.begin(), record.end(), 0) == static_cast<long>(row.recordSize), row.written == 0);
        ::rmdir(next.c_str());
    }
}

// The ring block holds each heading in its ring slot, in the order the ring stores them (slot n
// modulo the capacity), once the ring has wrapped too, and whole in another output buffer after
// an INIT into it.
TEST_F(PeloradLoop, TheRingBlockHoldsEachHeadingInItsSlot) {
    Start();
    std::vector<NavRecord> written;
    const auto expectRing = [&](IpcBufferHandle& out, DWORD ringBlock) {
        const CBufferHold hold(out);
        ASSERT_TRUE(hold);
        const size_t count = std::min<size_t>(written.size(), NAV_RING_CAPACITY);
        ASSERT_EQ(out.buffer.GetRecordCount(ringBlock - 1), count);
        const auto* slots = reinterpret_cast<const NavRecord*>(out.buffer.GetConstBlockData(ringBlock - 1));
        for (size_t n = written.size() - count; n < written.size(); ++n)
            ASSERT_EQ(std::memcmp(&slots[n % NAV_RING_CAPACITY], &written[n], sizeof(NavRecord)), 0) << n;
    };
    for (int n = 0; n < static_cast<int>(NAV_RING_CAPACITY) + 20; ++n) {
        ASSERT_EQ(Feed(n, Sentence("HEHDT," + std::to_string(n % 360) + ".5,T")) & H, H) << n;
        written.push_back(Read<NavRecord>(3));
        if (n % 97 == 0 || n >= static_cast<int>(NAV_RING_CAPACITY)) expectRing(*m_out, 4);
    }
    sDriverSettings s = m_published;
    s.outputName = "LOOP_OUT_2";
    ASSERT_TRUE(PublishSettings(m_link->Settings(), s));
    m_driver->OnCmdInit();
    m_driver->OnCmdSettings();
    IpcBufferHandle other("LOOP_OUT_2", 0);
    std::vector<DWORD> rings;
    {
        const CBufferHold hold(other);
        rings = FindBlocks(other, NAV_RING_BLOCK_TYPE);
    }
    ASSERT_EQ(rings.size(), 1u);
    const std::string datagram = Tagged(static_cast<uint32_t>(kNoon) + 1000, Sentence("HEHDT,77.5,T"));
    std::memcpy(m_driver->GetReceiveBuffer(), datagram.data(), datagram.size());
    m_driver->SetReceivedLength(static_cast<DWORD>(datagram.size()));
    ASSERT_EQ(m_driver->DecodeTimeTag(), 1);
    ASSERT_EQ(m_driver->DecodeData(false), 1);
    NavRecord last{};
    {
        const CBufferHold hold(other);
        ASSERT_EQ(other.ReadRecord(rings[0] - 1, 1, &last, sizeof last), 1);
    }
    written.push_back(last);
    expectRing(other, rings[0]);
}

// The sentence's token decides its format: the first of the table found within the first ten
// characters, wherever it stands among them.
TEST_F(PeloradLoop, TheFirstTokenOfTheTableInTheWindowDecides) {
    Start();
    const struct {
        const char* sentence;
        int result;
        eNmeaFormat format;
    } rows[] = {
        {"$HEHDT,123.4,T", 1, NMEA_HDG_HDT},
        {"$PROT,HDT,123.4,T", 1, NMEA_HDG_HDT},        // ROT stands first, HDT comes first in the table
        {"$PABCDEFGHDT,123.4,T", 1, NMEA_HDG_HDT},     // HDT at index 9: inside
        {"$PABCDEFGHIHDT,123.4,T", 0, NMEA_POS_AUTO},  // at index 10: outside
        {"$TIROT,-12.5,A", 1, NMEA_MSC_ROT},
        {"$GPZDA,160012.71,11,03,2004,00,00", 1, NMEA_MSC_ZDA},
        {"HEHDT,123.4,T", 0, NMEA_POS_AUTO},           // no "$"
        {"$GPXYZ,1,2", 0, NMEA_POS_AUTO},
        {"$GPGGA,120000.00,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,", 0, NMEA_POS_AUTO},  // detected only
        {"$GPGLL,4807.038,N,01131.000,E,120001.00,A,A", 0, NMEA_POS_AUTO},  // not the detected position format
    };
    for (const auto& row : rows) {
        CNmeaText text{std::string_view(row.sentence)};
        eNmeaFormat format = NMEA_ACC_MAX;
        EXPECT_EQ(m_driver->DetectAndDecode(text, format), row.result) << row.sentence;
        EXPECT_EQ(format, row.format) << row.sentence;
    }
    // A ZDA is not used while its time-tag block waits for the next SETTINGS, as after an INIT into
    // another output buffer.
    sDriverSettings s = m_published;
    s.outputName = "LOOP_OUT_2";
    ASSERT_TRUE(PublishSettings(m_link->Settings(), s));
    ASSERT_EQ(m_driver->OnCmdInit(), 1);
    CNmeaText zda{std::string_view("$GPZDA,160012.71,11,03,2004,00,00")};
    eNmeaFormat format = NMEA_ACC_MAX;
    EXPECT_EQ(m_driver->DetectAndDecode(zda, format), 0);
    EXPECT_EQ(format, NMEA_POS_AUTO);
}

std::string g_said;

// The last line, which counts what went unsaid, names a problem of several lines line by line.
TEST(ProblemEpisode, EveryLineItSaysCarriesTheLevel) {
    const auto before = Vok::SetDebugOutputListener([](const char* text) { g_said += text; });
    {
        CProblemEpisode episode;
        episode.Begin("first");
        episode.Begin("item 1\nitem 2");  // within the second: held back, then ended unsaid
        episode.End("");
    }
    Vok::SetDebugOutputListener(before);
    EXPECT_EQ(g_said, "ERROR  : pelorad: first\nERROR  : pelorad: 1 episodes since the last message went unsaid; the "
                      "last of them: item 1\nERROR  : pelorad: item 2\n");
}

// A clock set back ten minutes for good starts the time tags and the heading ring again from the
// first times after the step, each restart said once; a stale time after it is counted, not said.
TEST_F(PeloradLoop, AClockSetBackStartsTheTimeTagsAndTheRingAgain) {
    const auto before = Vok::SetDebugOutputListener([](const char* text) { g_said += text; });
    g_said.clear();
    Start();
    for (const auto& [t, written] : {std::pair{600.0, H}, {601, P | H | T}, {1, P | H}, {2, P | H | T}, {3, P | H | T},
                                     {1.5, P | H}, {4, P | H | T}})
        EXPECT_EQ(Feed(t, Gga(t) + HDT), written) << t;
    EXPECT_EQ(RingSeconds(), (std::vector<int>{1, 2, 3, 4}));
    EXPECT_EQ(std::make_pair(m_driver->GetRefusedHeadingTimes(), m_driver->GetRefusedTagTimes()), std::make_pair(1ul, 1ul));
    Stop();
    Vok::SetDebugOutputListener(before);
    for (const char* said : {"a position time 600.000 s before the last time tag (a clock set back, or a time of "
                             "another day): the time-tag record starts again from it",
                             "a heading 600.000 s before the newest in the heading ring (a clock set back, or a "
                             "time of another day): the ring starts again from it"})
        EXPECT_NE(g_said.find(said), std::string::npos) << said << g_said;
    size_t restarts = 0;
    for (size_t at = 0; (at = g_said.find("starts again", at)) != std::string::npos; ++at) ++restarts;
    EXPECT_EQ(restarts, 2u) << g_said;  // each said once
    g_said.clear();
}

// A magnetic heading is written as not valid until an HDG gives the variation, said once; then it
// is corrected by it.
TEST_F(PeloradLoop, AMagneticHeadingIsTrueOnlyWithAVariation) {
    const auto before = Vok::SetDebugOutputListener([](const char* text) { g_said += text; });
    g_said.clear();
    Start();
    for (const auto& [t, sentence, heading, status] :
         {std::tuple{1, "HCHDM,120.0,M", 120.0, STATUS_NEW_INVALID}, {2, "HCHCC,121.0", 121.0, STATUS_NEW_INVALID},
          {3, "HCHDG,10.0,,,,", 10.0, STATUS_NEW_INVALID}, {4, "HCHDM,30.0,M", 30.0, STATUS_NEW_INVALID},
          {5, "HCHDG,100.0,,,10.5,E", 110.5, STATUS_NEW}, {6, "HCHDM,120.0,M", 130.5, STATUS_NEW},
          {7, "HCHDG,10.0,,,,", 20.5, STATUS_NEW}, {8, "HCHDM,30.0,M", 40.5, STATUS_NEW},
          {9, "HCHDG,10.0,,,0.0,E", 10.0, STATUS_NEW}, {10, "HCHDM,30.0,M", 30.0, STATUS_NEW}}) {
        ASSERT_EQ(Feed(t, Sentence(sentence)), H) << sentence;
        const NavRecord r = Read<NavRecord>(3);
        EXPECT_TRUE(r.dHeading == heading && r.fStatus == status && SameTime(r.stTime, At(kNoon + t))) << sentence;
    }
    Stop();
    Vok::SetDebugOutputListener(before);
    const std::string said = "magnetic headings (HDM, HCD, HCC, an HDG without its variation) while no HDG has "
                             "given the magnetic variation";
    EXPECT_TRUE(g_said.find(said) != std::string::npos && g_said.find(said) == g_said.rfind(said)) << g_said;
    g_said.clear();
}

}  // namespace
