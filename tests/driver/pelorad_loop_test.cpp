// The driver class's sentence loop in this process: a driver object under a settings buffer that
// the test writes, fed datagrams through its receive buffer, its records read back from the real
// output buffer.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "driver/pelorad.h"
#include "foundation/system_time.h"
#include "tests/support/definition_samples.h"
#include "tests/support/driver_samples.h"
#include "tests/support/file_helpers.h"
#include "tests/support/ipc_test_folder.h"
#include "tests/support/test_host.h"

namespace {

using namespace Vok::Test;

constexpr double kNoon = 999993600.0 + 12 * 3600;  // 2001-09-09 12:00:00 UTC

// hhmmss.ss of a time of day at kNoon + seconds.
std::string Hms(double seconds) {
    const double s = 12 * 3600 + seconds;
    char text[16];
    std::snprintf(text, sizeof text, "%02d%02d%05.2f", static_cast<int>(s / 3600), static_cast<int>(s / 60) % 60,
                  std::fmod(s, 60.0));
    return text;
}

std::string Gga(double seconds, const std::string& tail = "") {
    return Sentence("GPGGA," + Hms(seconds) + ",4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,," + tail);
}
std::string Gst(double seconds) { return Sentence("GPGST," + Hms(seconds) + ",0.5,1.2,0.8,35.0,1.1,0.9,2.1"); }
const std::string HDT = Sentence("HEHDT,123.4,T");
const std::string GSA = Sentence("GPGSA,M,3,04,05,09,12,,,,,,,,,2.5,1.3,2.1");
const std::string GSV = Sentence("GPGSV,1,1,11,03,03,111,00,04,15,270,00,06,01,010,00,13,06,292,00");

std::string WithoutLineEnd(const std::string& sentence) { return sentence.substr(0, sentence.size() - 2); }

class PeloradLoop : public IpcTest {
protected:
    void TearDown() override {
        Stop();
        IpcTest::TearDown();
    }

    void Stop() {
        m_out.reset();
        m_driver.reset();
        m_settings.reset();
    }

    // A driver object on settings of system 7 with the given definitions (all result kinds by
    // default), SETTINGS done; its result.
    int Start(DWORD headingTrigger = 1, float timeOffset = 0.0f, const CObsDefList* defs = nullptr) {
        Stop();
        sDriverSettings s;
        s.system.sysId = 7;
        s.system.timeTagType = 4;
        s.system.timeSource = 4;
        s.system.timeOffset = timeOffset;
        s.outputName = "LOOP_OUT";
        if (defs != nullptr) {
            s.observations.CopyFrom(defs);
        } else {
            FillResultObsDefs(s.observations, 7);
        }
        m_settings = std::make_unique<IpcBufferHandle>("LOOP_SETTINGS", 1);
        EXPECT_TRUE(PublishSettings(*m_settings, s));
        m_driver = std::make_unique<CPelorad>(1, headingTrigger, 3);
        EXPECT_TRUE(m_driver->IsLinkOpen());
        m_driver->OnCmdInit();
        const int result = m_driver->OnCmdSettings();
        m_out = std::make_unique<IpcBufferHandle>("LOOP_OUT", 0);
        return result;
    }

    // One datagram tagged kNoon + seconds; 1 when it wrote a record.
    int Feed(double seconds, const std::string& text) {
        const double whole = std::floor(kNoon + seconds);
        const std::string d = Tagged(static_cast<uint32_t>(whole), text,
                                     static_cast<uint32_t>(std::lround((kNoon + seconds - whole) * 1e6)));
        std::memcpy(m_driver->GetReceiveBuffer(), d.data(), d.size());
        m_driver->SetReceivedLength(static_cast<DWORD>(d.size()));
        EXPECT_EQ(m_driver->DecodeTimeTag(), 1);
        return m_driver->DecodeData(false);
    }

    template <class R>
    R Read(DWORD block) {
        R record{};
        const CBufferHold hold(*m_out);
        EXPECT_EQ(m_out->ReadRecord(block, 1, &record, sizeof record), 1);
        return record;
    }

    DWORD Changes(DWORD block) {
        const CBufferHold hold(*m_out);
        return m_out->buffer.GetBlockChangeCounter(block - 1);
    }

    std::vector<DWORD> BlockTypes() {
        const CBufferHold hold(*m_out);
        std::vector<DWORD> types;
        for (DWORD i = 0; i < m_out->buffer.GetBlockCount(); ++i) types.push_back(m_out->buffer.GetBlockId(i));
        return types;
    }

    CScopedEnvironment m_prefix{"Prefix", "LOOP"};
    CScopedEnvironment m_pps{"VOK_PPS_VALID", "1"};
    std::unique_ptr<IpcBufferHandle> m_settings;
    std::unique_ptr<CPelorad> m_driver;
    std::unique_ptr<IpcBufferHandle> m_out;
};

TEST_F(PeloradLoop, DefinitionsChooseTheBlocksOnce) {
    const struct {
        std::vector<int32_t> types;
        int result;
        std::vector<DWORD> blocks;
    } rows[] = {
        {{30, 31, 32, 11, 61, 110}, 1, {26, 35, 11, 86, 11, 115}},
        {{11, 11}, 0, {26, 11, 86}},  // no position or time tag: 0, the heading blocks all the same
        {{31, 32, 99}, 0, {26}},
        {{110}, 1, {26, 115}},
    };
    for (const auto& row : rows) {
        CObsDefList defs;
        for (size_t i = 0; i < row.types.size(); ++i)
            defs.Add(MakeObsDef(static_cast<int32_t>(i + 1), row.types[i], 7, 1, 0, 0));
        EXPECT_EQ(Start(1, 0.0f, &defs), row.result);
        EXPECT_EQ(m_driver->OnCmdSettings(), row.result);  // again: nothing more is added
        EXPECT_EQ(BlockTypes(), row.blocks);
    }
}

TEST_F(PeloradLoop, CycleIsClosedByTheLastFormatDetectedBeforeThePositionCameBack) {
    const struct {
        DWORD trigger;
        eNmeaFormat update;
        std::vector<int> writes;  // sentences (GGA, GST, HDT per cycle) that wrote the position
    } rows[] = {{1, NMEA_HDG_HDT, {5, 8}}, {0, NMEA_ACC_GST, {4, 7}}};
    for (const auto& row : rows) {
        Start(row.trigger);
        std::vector<int> writes;
        for (int cycle = 0; cycle < 3; ++cycle) {
            const std::string sentences[] = {Gga(cycle), Gst(cycle), HDT};
            for (int step = 0; step < 3; ++step) {
                const DWORD before = Changes(BLOCK_POSITION);
                Feed(cycle + 0.1 * step, sentences[step]);
                if (Changes(BLOCK_POSITION) != before) writes.push_back(cycle * 3 + step);
            }
        }
        EXPECT_EQ(m_driver->GetUpdateFormat(), row.update);
        EXPECT_EQ(writes, row.writes);
    }
}

TEST_F(PeloradLoop, GsaMergedAfterOneGgaStaysBesideTheNextOnesValues) {
    Start();
    Feed(0, Gga(0));  // only detected
    Feed(0.5, GSA);
    ASSERT_EQ(Feed(1, Gga(1)), 1);
    PosRecord r = Read<PosRecord>(BLOCK_POSITION);
    // The GGA replaced the PRN list, the count and the HDOP; PDOP, VDOP and the modes stay.
    const int32_t kinds[] = {1, 2, 4, 5, 5, -1};
    const float values[] = {2.5f, 0.9f, 2.1f, 1.0f, 3.0f, 0.0f};
    const int32_t prns[] = {1, 2, 3, 4, 5, 6, 7, 8, 0, 0, 0, 0};
    EXPECT_EQ(0, std::memcmp(r.alAccuracyKind, kinds, sizeof kinds));
    EXPECT_EQ(0, std::memcmp(r.afAccuracyValue, values, sizeof values));
    EXPECT_EQ(0, std::memcmp(r.alPrn, prns, sizeof prns));
    EXPECT_EQ(r.lSatellites, 8);
    // The written record's lists were cleared for the next cycle.
    ASSERT_EQ(Feed(2, Gga(2)), 1);
    r = Read<PosRecord>(BLOCK_POSITION);
    EXPECT_EQ(r.alAccuracyKind[0], 2);
    EXPECT_EQ(r.alAccuracyKind[1], -1);
}

TEST_F(PeloradLoop, GsvIsUsedOnlyWhileNoGsaPartsAreKnown) {
    Start();
    const struct {
        std::string text;
        int32_t firstPrn;
        int32_t gsaCount;
    } steps[] = {
        {Gga(0), 0, -1},       {GSV, 3, -1},           {GSA, 4, 1},       {GSV, 4, 1},  // refused
        {Gga(1), 0, 1},        {GSV, 0, 1},            {GSA + GSA, 4, 2},  // a run of two parts
        {Gga(2), 0, 2},        {GSA, 4, 2},            {Gga(3), 0, 0},    // the run was cut short
        {GSV, 3, 0},
    };
    double t = 0;
    for (const auto& step : steps) {
        Feed(t += 0.01, step.text);
        EXPECT_EQ(m_driver->GetPosRecord().alPrn[0], step.firstPrn) << step.text;
        EXPECT_EQ(m_driver->GetGsaPartCount(), step.gsaCount) << step.text;
    }
}

TEST_F(PeloradLoop, ResetStartsTheDetectionAgainAndWritesNothingStale) {
    Start();
    for (int cycle = 0; cycle < 2; ++cycle)
        for (const std::string& s : {Gga(cycle), Gst(cycle), HDT}) Feed(cycle + 0.5, s);
    ASSERT_EQ(m_driver->GetUpdateFormat(), NMEA_HDG_HDT);
    Feed(1.5, HDT);   // not due yet: pending
    ASSERT_EQ(m_driver->GetNavRecord().fStatus, 1.0f);
    Feed(2, Gga(2));  // decoded, waiting for its HDT
    ASSERT_EQ(m_driver->DecodeData(true), 0);
    EXPECT_EQ(m_driver->GetUpdateFormat(), NMEA_POS_AUTO);
    EXPECT_EQ(m_driver->GetPositionFormat(), NMEA_POS_AUTO);
    EXPECT_EQ(m_driver->GetNavRecord().fStatus, -1.0f);

    const DWORD before = Changes(BLOCK_POSITION);
    Feed(3, Gga(3));  // only detected
    EXPECT_EQ(m_driver->GetPositionFormat(), NMEA_POS_GGA);
    // A first part of three closes nothing, not even before the update format is chosen.
    EXPECT_EQ(Feed(3.5, Sentence("GPGSV,3,1,11,03,03,111,00")), 0);
    EXPECT_EQ(Changes(BLOCK_POSITION), before);
    ASSERT_EQ(Feed(4, Gga(4)), 1);
    EXPECT_TRUE(SameTime(Read<PosRecord>(BLOCK_POSITION).stFixTime, At(kNoon + 4)));
}

TEST_F(PeloradLoop, WhichSentencesOfALineAreUsed) {
    Start();
    // A token counts when it starts within the first ten characters.
    Feed(0, Sentence("ABCDEFGHIGGA,120000,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,"));
    EXPECT_EQ(m_driver->GetPositionFormat(), NMEA_POS_AUTO);
    Feed(0, Sentence("ABCDEFGHGGA,120000,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,"));
    EXPECT_EQ(m_driver->GetPositionFormat(), NMEA_POS_GGA);
    // Glued on one line, the pair fails its checksum (taken to the last "*"); the second
    // sentence is then tested alone and used.
    Feed(1, WithoutLineEnd(Gga(1)) + Gst(1));
    EXPECT_EQ(m_driver->GetPosRecord().dLatitude, 0.0);
    EXPECT_EQ(m_driver->GetPosRecord().fRms, 0.5f);
}

TEST_F(PeloradLoop, TimeTagsComeFromPositionsUntilAZdaIsSeen) {
    Start();
    Feed(0, Gga(0));
    // A sentence text longer than the field keeps its first 99 characters.
    const std::string longGga = Gga(1, ",extra,fields,that,make,the,sentence,longer,than,the,field");
    ASSERT_GT(longGga.size(), 100u);
    ASSERT_EQ(Feed(1, longGga), 1);
    TimetagRecord tag = Read<TimetagRecord>(BLOCK_TIMETAG);
    EXPECT_EQ(tag.dwSystemId, 7u);
    EXPECT_EQ(tag.dwObsId, static_cast<uint32_t>(DEF_TIMETAG));
    EXPECT_TRUE(SameTime(tag.stFixTime, At(kNoon + 1)));
    EXPECT_EQ(std::string(tag.szSentence), longGga.substr(0, 99));

    // The ZDA is decoded once, tags with its own date and time and its text to the line feed.
    ASSERT_EQ(Feed(2, Sentence("GPZDA,160012.71,11,03,2004,00,00")), 1);
    tag = Read<TimetagRecord>(BLOCK_TIMETAG);
    EXPECT_TRUE(SameTime(tag.stFixTime, At(1079020812.71)));
    EXPECT_EQ(std::string(tag.szSentence), WithoutLineEnd(Sentence("GPZDA,160012.71,11,03,2004,00,00")) + "\r");
    // From then on positions make no tags, and a ZDA without a date writes none.
    const DWORD before = Changes(BLOCK_TIMETAG);
    ASSERT_EQ(Feed(3, Gga(3)), 1);
    EXPECT_EQ(Feed(4, Sentence("GPZDA,160013.00,,,,,")), 0);
    EXPECT_EQ(Changes(BLOCK_TIMETAG), before);
}

TEST_F(PeloradLoop, PositionsTagWhenMoreThanAFifthOfASecondAfterTheLastTag) {
    const struct {
        double spacing;
        std::vector<int> tagged;
    } rows[] = {{0.1, {0, 3, 6}}, {0.2, {0, 2, 4, 6}}};
    for (const auto& row : rows) {
        Start();
        Feed(-1, Gga(-1));
        std::vector<int> tagged;
        for (int i = 0; i < 7; ++i) {
            const DWORD before = Changes(BLOCK_TIMETAG);
            Feed(i * row.spacing, Gga(i * row.spacing));
            if (Changes(BLOCK_TIMETAG) != before) tagged.push_back(i);
        }
        EXPECT_EQ(tagged, row.tagged) << row.spacing;
    }
}

TEST_F(PeloradLoop, HeadingTakesTheDatagramTimeLessTheOffsetAfterAPosition) {
    for (const float offset : {0.0f, 2.5f}) {
        Start(1, offset);
        Feed(0, Gga(0));
        // The position puts the update's time on its own time of day; the heading after it
        // takes the datagram's time, less the offset once.
        ASSERT_EQ(Feed(30, Gga(1) + HDT + HDT), 1);
        EXPECT_TRUE(SameTime(Read<NavRecord>(BLOCK_HEADING).stTime, At(kNoon + 30 - offset))) << offset;
        EXPECT_TRUE(SameTime(Read<PosRecord>(BLOCK_POSITION).stFixTime, At(kNoon + 1))) << offset;
    }
}

TEST(PeloradNames, FormatNamesAndTimeNormalising) {
    const std::pair<int, const char*> names[] = {
        {0, "NMEA_POS_AUTO"}, {11, "NMEA_ACC_QUAL"}, {24, "NMEA_MSC_ZDA"}, {25, "NMEA_ALL_MAX"},
        {26, "UNKNOWN"},      {-1, "UNKNOWN"}};
    for (const auto& [code, name] : names)
        EXPECT_STREQ(CPelorad::GetFormatName(static_cast<eNmeaFormat>(code)), name);
    SYSTEMTIME t = At(kNoon - 12 * 3600 + 1);
    SubtractSecondsFromSystemTime(t, 2.5);
    EXPECT_TRUE(SameTime(t, At(kNoon - 12 * 3600 - 1.5)));
    EXPECT_EQ(t.wDay, 8);
}

}  // namespace
