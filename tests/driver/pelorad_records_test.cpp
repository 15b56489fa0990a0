// The real driver process under a test host, end to end: the result blocks that the definitions
// ask for, the records of an update cycle compared byte for byte on both time-tagging paths, and
// a large corpus of real sentences passing through it.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "driver/pelorad.h"
#include "foundation/system_time.h"
#include "tests/support/driver_samples.h"
#include "tests/support/file_helpers.h"
#include "tests/support/ipc_test_folder.h"
#include "tests/support/peer_process.h"
#include "tests/support/test_host.h"

namespace {

using namespace Vok::Test;

const std::string PELORAD = VOK_BINARY_DIR "/pelorad";
constexpr double kDay = 999993600.0;  // 2001-09-09 00:00:00 UTC
constexpr double kGpsEpoch = 315964800.0;
constexpr float kOffset = 2.5f;

std::string WithoutLineEnd(const std::string& sentence) { return sentence.substr(0, sentence.size() - 2); }

// Offset of the first byte that differs; -1 when none does.
template <class R>
long FirstDifference(const R& a, const R& b) {
    const auto* x = reinterpret_cast<const unsigned char*>(&a);
    const auto* y = reinterpret_cast<const unsigned char*>(&b);
    for (size_t i = 0; i < sizeof(R); ++i)
        if (x[i] != y[i]) return static_cast<long>(i);
    return -1;
}

NavRecord Heading(double unixSeconds) {
    NavRecord n{};
    n.stTime = At(unixSeconds);
    n.dwObsId = DEF_HEADING;
    n.dHeading = 123.4;
    n.fStatus = 1.0f;
    return n;
}

class PeloradRecords : public IpcTest {
protected:
    void TearDown() override {
        m_out.reset();
        m_host.reset();
        IpcTest::TearDown();
    }

    void Start(const char* ppsValid, const std::string& output, float offset, const std::string& arguments = {}) {
        const CScopedEnvironment pps("VOK_PPS_VALID", std::string(ppsValid));
        sDriverSettings s;
        s.system.sysId = 7;
        s.system.port = m_port;
        const BYTE loopback[4] = {127, 0, 0, 1};
        std::memcpy(s.system.address, loopback, 4);
        s.system.timeTagType = 4;
        s.system.timeSource = 4;
        s.system.timeOffset = offset;
        s.outputName = output;
        FillResultObsDefs(s.observations, 7);
        m_out.reset();
        m_host = std::make_unique<CTestHost>(PELORAD + arguments, 1, ErrorFile());
        ASSERT_TRUE(m_host->PublishSettings(s));
        ASSERT_TRUE(m_host->SendCommand(CMD_SETTINGS));
        m_out = std::make_unique<IpcBufferHandle>(output.c_str(), 0);
    }

    void Exit() {
        EXPECT_TRUE(m_host->SendCommand(CMD_EXIT));
        EXPECT_EQ(m_host->WaitForExit(5000), 0) << Errors();
    }

    // Sent again while no update comes: the driver's first socket is bound a moment after
    // SETTINGS, and what was sent before is gone.
    bool SendUntilUpdate(const std::string& datagram) {
        for (int i = 0; i < 25; ++i)
            if (SendDatagram(m_port, datagram) && m_host->WaitForUpdate(200)) return true;
        return false;
    }

    bool SendAndWait(const std::string& datagram) {
        return SendDatagram(m_port, datagram) && m_host->WaitForUpdate(5000);
    }

    template <class R>
    R Read(DWORD block, DWORD record = 1) {
        R r{};
        const CBufferHold hold(*m_out);
        EXPECT_EQ(m_out->ReadRecord(block, record, &r, sizeof r), 1) << block;
        return r;
    }

    DWORD RecordCount(DWORD block) {
        const CBufferHold hold(*m_out);
        return m_out->buffer.GetRecordCount(block - 1);
    }

    std::string ErrorFile() const { return m_folder.GetRoot() + "/stderr.txt"; }
    std::string Errors() const { return ReadTextFile(ErrorFile()).value_or(""); }

    UINT m_port = FindFreeUdpPort();
    std::unique_ptr<CTestHost> m_host;
    std::unique_ptr<IpcBufferHandle> m_out;
};

TEST_F(PeloradRecords, CycleWritesEveryRecordOnBothTimePaths) {
    // Sentences of 12:35:19 and 12:35:20 in datagrams tagged 1.25 s later.
    const double s1 = kDay + 45319, s2 = s1 + 1, t0 = kDay + 45000, t1 = s1 + 1.25, t2 = s2 + 1.25;
    const auto gga = [](const char* time) {
        return Sentence(std::string("GPGGA,") + time + ",4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,");
    };
    const auto gst = [](const char* time) {
        return Sentence(std::string("GPGST,") + time + ",0.5,1.2,0.8,35.0,1.1,0.9,2.1");
    };
    const std::string hdt = Sentence("HEHDT,123.4,T");
    const struct {
        const char* ppsValid;
        const char* output;
        double positionTime;  // the sentence's time on the PPS day, or the datagram's less the offset
    } paths[] = {{"1", "OUT_REC_PPS", s2}, {"0", "OUT_REC_NOPPS", t2 - kOffset}};
    for (const auto& path : paths) {
        SCOPED_TRACE(path.output);
        Start(path.ppsValid, path.output, kOffset);
        {
            const CBufferHold hold(*m_out);
            ASSERT_EQ(m_out->buffer.GetBlockCount(), 6u);
            const DWORD types[] = {26, 35, 11, 86, 11, 115}, sizes[] = {20, 256, 56, 28000, 56, 176},
                        records[] = {20, 256, 56, 56, 56, 176};
            for (DWORD i = 0; i < 6; ++i) {
                EXPECT_EQ(m_out->buffer.GetBlockId(i), types[i]) << i;
                EXPECT_EQ(m_out->buffer.GetBlockSize(i), sizes[i]) << i;
                EXPECT_EQ(m_out->buffer.GetRecordSize(i), records[i]) << i;
            }
        }
        ASSERT_TRUE(SendUntilUpdate(Tagged(static_cast<uint32_t>(t0), Sentence("TIROT,-12.5,A"))));
        ASSERT_TRUE(SendAndWait(Tagged(static_cast<uint32_t>(t1), gga("123519") + gst("123519") + hdt, 250000)));
        ASSERT_TRUE(SendAndWait(Tagged(static_cast<uint32_t>(t2), gga("123520") + gst("123520") + hdt, 250000)));

        PosRecord pos{};
        pos.stFixTime = At(path.positionTime);
        const double gps = s2 + 18.0 - kGpsEpoch;  // from the sentence's own time on both paths
        pos.lGpsWeek = static_cast<int32_t>(std::floor(gps / 604800));
        pos.dGpsSeconds = gps - pos.lGpsWeek * 604800.0;
        pos.dwLatitudeId = DEF_LATITUDE;
        pos.dLatitude = 48 + 7.038 / 60.0;
        pos.dwLongitudeId = DEF_LONGITUDE;
        pos.dLongitude = 11 + 31.000 / 60.0;
        pos.dwHeightId = DEF_HEIGHT;
        pos.dHeight = 545.4 + 46.9;
        for (int i = 0; i < 8; ++i) pos.alPrn[i] = i + 1;
        pos.lQuality = 1;
        pos.fSdLatitude = static_cast<float>(1.1);
        pos.fSdLongitude = static_cast<float>(0.9);
        pos.fSdHeight = static_cast<float>(2.1);
        for (int32_t& kind : pos.alAccuracyKind) kind = -1;
        pos.alAccuracyKind[0] = 2;
        pos.afAccuracyValue[0] = static_cast<float>(0.9);
        pos.fSemiMajor = static_cast<float>(1.2);
        pos.fSemiMinor = static_cast<float>(0.8);
        pos.fOrientation = 35.0f;
        pos.fRms = 0.5f;
        pos.lSatellites = 8;
        EXPECT_EQ(FirstDifference(Read<PosRecord>(BLOCK_POSITION), pos), -1);

        EXPECT_EQ(FirstDifference(Read<NavRecord>(BLOCK_HEADING), Heading(t2 - kOffset)), -1);
        ASSERT_EQ(RecordCount(BLOCK_RING), 2u);
        EXPECT_EQ(FirstDifference(Read<NavRecord>(BLOCK_RING, 1), Heading(t1 - kOffset)), -1);
        EXPECT_EQ(FirstDifference(Read<NavRecord>(BLOCK_RING, 2), Heading(t2 - kOffset)), -1);

        RotRecord rot{};
        rot.stTime = At(t0 - kOffset);
        rot.dwObsId = DEF_RATE;
        rot.dRate = -12.5;
        rot.fStatus = 1.0f;
        EXPECT_EQ(FirstDifference(Read<RotRecord>(BLOCK_RATE), rot), -1);

        // The PPS clock's pulse and present are the system clock's; the rest is exact.
        TimetagRecord tag = Read<TimetagRecord>(BLOCK_TIMETAG);
        EXPECT_EQ(tag.stPulseTime.wMilliseconds, 0);
        const double sincePulse = CVOKTime(SystemTimeToMjdTime(tag.stNowTime)) -
                                  CVOKTime(SystemTimeToMjdTime(tag.stPulseTime));
        EXPECT_TRUE(sincePulse >= 0.0 && sincePulse < 1.0) << sincePulse;
        EXPECT_NEAR((tag.llNowCounter - tag.llPulseCounter) * 1e-9, sincePulse, 0.002);
        EXPECT_LT(std::fabs(CurrentUtcTime() - CVOKTime(SystemTimeToMjdTime(tag.stNowTime))), 60.0);
        TimetagRecord expected = tag;
        std::memset(expected.szSentence, 0, sizeof expected.szSentence);
        std::memset(expected.abReserved172, 0, sizeof expected.abReserved172);
        expected.dwSystemId = 7;
        expected.dwObsId = DEF_TIMETAG;
        expected.stFixTime = At(s2);
        const std::string text = WithoutLineEnd(gga("123520")) + "\r";
        std::memcpy(expected.szSentence, text.data(), text.size());
        EXPECT_EQ(FirstDifference(tag, expected), -1);

        const TimeBlockRecord time = Read<TimeBlockRecord>(BLOCK_TIME);
        EXPECT_TRUE(SameTime(time.stTime, At(path.positionTime)));
        EXPECT_EQ(time.lSystem, -7);
        Exit();
    }
}

// The corpus column of real sentences from many receivers.
std::vector<std::string> CorpusSentences() {
    std::ifstream in(VOK_SOURCE_DIR "/tests/data/gpsd/nmea-corpus.tsv", std::ios::binary);
    std::vector<std::string> sentences;
    std::string line;
    std::getline(in, line);  // header
    while (std::getline(in, line)) {
        size_t field = 0;
        for (int tabs = 0; tabs < 4 && field != std::string::npos; ++tabs) {
            field = line.find('\t', field);
            if (field != std::string::npos) ++field;
        }
        if (field != std::string::npos) sentences.push_back(line.substr(field));
    }
    return sentences;
}

TEST_F(PeloradRecords, EveryCorpusSentencePassesThroughTheDriver) {
    const std::vector<std::string> corpus = CorpusSentences();
    ASSERT_GT(corpus.size(), 38000u);
    // Without the checksum test every sentence reaches its decoder; the positions are placed on
    // the PPS day.
    Start("1", "OUT_CORPUS", 0.5f, " NOCS");
    constexpr size_t kLines = 6;       // per datagram
    constexpr int kDatagrams = 30;     // between two synchronisations: well within the socket's buffer
    constexpr double kSync = kDay + 80000;
    const std::string rot = Sentence("TIROT,1.0,A");
    size_t next = 0;
    for (int batch = 0; next < corpus.size(); ++batch) {
        for (int d = 0; d < kDatagrams && next < corpus.size(); ++d) {
            std::string text;
            for (size_t i = 0; i < kLines && next < corpus.size(); ++i) text += corpus[next++] + "\r\n";
            ASSERT_TRUE(SendDatagram(m_port, Tagged(static_cast<uint32_t>(kDay + 40000 + next), text)));
        }
        // A rate of turn at a time of its own: once the time block holds it, the batch is through.
        const double sync = kSync + batch;
        const std::string datagram = Tagged(static_cast<uint32_t>(sync), rot);
        bool through = false;
        const CStopwatch watch;
        for (int tries = 0; !through && watch.Elapsed() < Milliseconds(10000); ++tries) {
            if (tries % 10 == 0) {
                ASSERT_TRUE(SendDatagram(m_port, datagram));
            }
            m_host->WaitForUpdate(50);
            through = SameTime(Read<TimeBlockRecord>(BLOCK_TIME).stTime, At(sync - 0.5));
        }
        ASSERT_TRUE(through) << "batch " << batch << "\n" << Errors();
    }
    // The sentences were decoded, not only received.
    EXPECT_EQ(RecordCount(BLOCK_POSITION), 1u);
    EXPECT_GT(RecordCount(BLOCK_RING), 1u);
    Exit();
    EXPECT_EQ(Errors().find("Sanitizer"), std::string::npos) << Errors();
    EXPECT_EQ(Errors().find("runtime error"), std::string::npos) << Errors();
}

}  // namespace
