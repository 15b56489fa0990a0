// The demo host as a user runs it: a short recording replayed to the real driver, the records
// printed line by line, and nothing left running or lying about at the end; likewise when it
// listens and is stopped with Ctrl-C.
#include <fcntl.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <boost/filesystem.hpp>
#include <algorithm>
#include <ctime>
#include <fstream>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "driver/drv_base_socket.h"
#include "host/demo_host.h"
#include "host/driver_samples.h"
#include "tests/support/ipc_test_folder.h"
#include "host/nmea_replay.h"
#include "tests/support/peer_process.h"
#include "host/test_host.h"

namespace {

using namespace Vok::Test;

// Epochs half a second apart: GGA and GST (a ZDA while the GNSS is silent, from gnssSilent until
// the gyro falls silent), HDT and ROT (until gyroSilent), the vessel moving north. They lie five
// minutes before now, as a device's may: a GST is judged by the receiver's time, not the clock's.
std::string ShortRecording(int epochs = 4, int gnssSilent = 99, int gyroSilent = 99) {
    const int start = std::min(static_cast<int>((::time(nullptr) - 300) % 86400), 86390);
    std::string text;
    for (int i = 0; i < epochs; ++i) {
        char time[32], lat[16];
        const int second = start + i / 2;
        std::snprintf(time, sizeof time, "%02d%02d%02d.%02d", second / 3600, second / 60 % 60, second % 60, i % 2 * 50);
        std::snprintf(lat, sizeof lat, "5200.%05d", 100 * i);
        if (i < gnssSilent || i >= gyroSilent) {
            text += Sentence(std::string("GPGGA,") + time + "," + lat + ",N,00400.00000,E,4,12,0.9,10.00,M,47.00,M,,");
            text += Sentence(std::string("GPGST,") + time + ",0.02,0.03,0.02,45.0,0.021,0.022,0.040");
        } else {
            text += Sentence(std::string("GPZDA,") + time + ",08,12,2026,00,00");
        }
        if (i >= gyroSilent) continue;
        text += Sentence("HEHDT," + std::to_string(10 + i) + ".50,T");
        text += Sentence("HEROT,-" + std::to_string(i) + ".5,A");
    }
    return text;
}

class RunHost : public IpcTest {
protected:
    void SetUp() override {
        // The host makes its private folder of named objects under TMPDIR.
        m_tmp = m_folder.GetRoot() + "/tmp";
        ASSERT_EQ(::mkdir(m_tmp.c_str(), 0700), 0);
        if (const char* previous = ::getenv("TMPDIR")) m_previousTmp = previous;
        ::setenv("TMPDIR", m_tmp.c_str(), 1);
    }
    void TearDown() override {
        if (m_previousTmp)
            ::setenv("TMPDIR", m_previousTmp->c_str(), 1);
        else
            ::unsetenv("TMPDIR");
        IpcTest::TearDown();
    }

    // Reads the host's lines until it ends: the record lines and the driver's process id.
    void ReadUntilEnd(CPeerProcess& host) {
        while (const std::optional<std::string> line = host.ReadLine(Milliseconds(10000))) Take(*line);
    }
    // Reads the host's lines until it has printed count records in all, each line within 5 s.
    void ReadRecords(CPeerProcess& host, size_t count) {
        while (m_records.size() < count) {
            const std::optional<std::string> line = host.ReadLine(Milliseconds(5000));
            ASSERT_TRUE(line) << m_all;
            Take(*line);
        }
    }
    void Take(const std::string& line) {
        std::smatch m;
        if (std::regex_search(line, m, std::regex(R"(^pelorad \(process (\d+)\))"))) m_driver = std::stoi(m[1]);
        if (std::regex_search(line, std::regex(R"(^\d{4}-\d\d-\d\d \d\d:\d\d:\d\d\.\d{3}  lat)")))
            m_records.push_back(line);
        m_all += line + "\n";
    }

    // No driver process and nothing in the folder the host had for itself.
    void ExpectNothingLeft() {
        ASSERT_GT(m_driver, 0) << m_all;
        EXPECT_FALSE(boost::filesystem::exists("/proc/" + std::to_string(m_driver))) << m_all;
        EXPECT_TRUE(boost::filesystem::is_empty(m_tmp)) << m_all;
    }

    std::string m_tmp;
    std::optional<std::string> m_previousTmp;
    int m_driver = 0;
    std::vector<std::string> m_records;
    std::string m_all;
};

TEST_F(RunHost, ReplaysARecordingAndPrintsEachUpdate) {
    const std::string file = m_folder.GetRoot() + "/short.nmea";
    std::ofstream(file, std::ios::binary) << ShortRecording();
    ASSERT_EQ(SplitRecording(ShortRecording()).size(), 4u);

    CPeerProcess host({VOK_BINARY_DIR "/host/run_host", "--file", file});
    ReadUntilEnd(host);
    EXPECT_EQ(host.Wait(Milliseconds(5000)), 0) << m_all;
    // One update per epoch; the position of the epoch before the last is written once its cycle
    // closes, and the heading and rate of turn of each epoch straight away.
    ASSERT_GE(m_records.size(), 3u) << m_all;
    // What was sent and what the driver made of it: the first position only tells the format.
    EXPECT_NE(m_all.find("sent 4 datagrams (16 sentences); pelorad received 4 and decoded 15 sentences (1 not "
                         "used); "),
              std::string::npos)
        << m_all;
    EXPECT_NE(m_all.find("pelorad ended with code 0"), std::string::npos) << m_all;
    const std::string& last = m_records.back();
    EXPECT_NE(last.find("lat  52.00005000  lon    4.00000000  h   57.000 m  q  4"), std::string::npos) << m_all;
    EXPECT_NE(last.find("hdg   13.50  rot   -3.5 deg/min"), std::string::npos) << m_all;
    ExpectNothingLeft();

    // A sensor that falls silent leaves its last record in place, shown as "-" once it is more than
    // 2 s old: the GNSS from epoch 3 (its last fix that of epoch 2), then the gyro from epoch 9.
    std::ofstream(file, std::ios::binary) << ShortRecording(15, 3, 9);
    m_all.clear(), m_records.clear();
    CPeerProcess gaps({VOK_BINARY_DIR "/host/run_host", "--file", file});
    ReadUntilEnd(gaps);
    EXPECT_EQ(gaps.Wait(Milliseconds(5000)), 0) << m_all;
    EXPECT_TRUE(std::regex_search(m_all, std::regex("lat  52\\.00003333 .* q  4  hdg   13\\.50"))) << m_all;
    EXPECT_TRUE(std::regex_search(m_all, std::regex("lat +-  lon +-  h +- m  q  -  hdg   18\\.50"))) << m_all;
    ASSERT_FALSE(m_records.empty());
    EXPECT_NE(m_records.back().find("q  4  hdg       -  rot      - deg/min"), std::string::npos) << m_all;

    // Datagrams whose sentences all fail their checksum make no update and are not waited for:
    // 2 s of them at 50 Hz go at their pace.
    std::ofstream wrong(file, std::ios::binary);
    for (int i = 0; i < 100; ++i)
        wrong << "$GPGGA,12000" << i / 50 << "." << i % 50 / 5 << i % 5 * 2 << ",5200.0,N,00400.0,E,4,12,,,,,,,*00\r\n";
    wrong.close(), m_all.clear();
    CPeerProcess paced({VOK_BINARY_DIR "/host/run_host", "--file", file});
    ASSERT_TRUE(paced.WaitForLine("replaying", Milliseconds(10000)));
    const CStopwatch watch;
    ReadUntilEnd(paced);
    EXPECT_EQ(paced.Wait(Milliseconds(5000)), 1) << m_all;
    EXPECT_LT(watch.Elapsed(), Milliseconds(4500)) << m_all;
    EXPECT_NE(m_all.find("sent 100 datagrams (100 sentences); pelorad received 100 and decoded 0 sentences (100 with a"),
              std::string::npos) << m_all;
}

// A host that is process 1 of its PID namespace, as a container's entry point is, drives its driver.
TEST_F(RunHost, AHostThatIsProcessOneOfItsNamespaceDrivesItsDriver) {
    const std::vector<std::string> unshare = {
        "/bin/sh", "-c", "exec unshare --user --map-root-user --pid --fork --mount-proc \"$@\"", "sh"};
    std::vector<std::string> probe = unshare;
    probe.push_back("true");
    if (CPeerProcess(probe).Wait(Milliseconds(5000)) != 0) GTEST_SKIP() << "no PID namespace can be made here";
    const std::string file = m_folder.GetRoot() + "/short.nmea";
    std::ofstream(file, std::ios::binary) << ShortRecording();
    std::vector<std::string> run = unshare;
    run.insert(run.end(), {VOK_BINARY_DIR "/host/run_host", "--file", file});
    CPeerProcess host(run);
    ReadUntilEnd(host);
    EXPECT_EQ(host.Wait(Milliseconds(5000)), 0) << m_all;
    EXPECT_NE(m_all.find("pelorad ended with code 0"), std::string::npos) << m_all;
    EXPECT_FALSE(m_records.empty()) << m_all;
    EXPECT_TRUE(boost::filesystem::is_empty(m_tmp)) << m_all;
}

TEST_F(RunHost, ListensUntilInterruptedOrTheDriverEnds) {
    // A hang-up or a closed output ends the run, its driver and its folder as Ctrl-C does; the run
    // then ends by that signal.
    const struct {
        int signal;  // to the host; 0: SIGKILL to the driver
        int status;
        const char* said;
    } rows[] = {{SIGINT, 0, "pelorad ended with code 0"},
                {SIGHUP, 128 + SIGHUP, "pelorad ended with code 0"},
                {SIGPIPE, 128 + SIGPIPE, "pelorad ended with code 0"},
                // SIGSTOP: the driver is stopped, the host interrupted, and the driver killed while EXIT waits.
                {SIGSTOP, 1, "pelorad was ended by signal 9 (Killed); it left no crash report in "},
                {0, 1, "pelorad was ended by signal 9 (Killed); it left no crash report in "}};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.said);
        m_all.clear();
        const UINT port = FindFreeUdpPort();
        CPeerProcess host({VOK_BINARY_DIR "/host/run_host", "--listen", "--port", std::to_string(port)});
        const std::optional<std::string> started = host.WaitForLine("pelorad (process", Milliseconds(10000));
        ASSERT_TRUE(started);
        Take(*started);
        ASSERT_TRUE(host.WaitForLine("waiting for NMEA datagrams", Milliseconds(2000)));
        std::optional<std::string> record;
        for (int i = 0; i < 50 && !record; ++i) {
            ASSERT_TRUE(SendDatagram(port, Sentence("HEHDT,271.25,T")));
            record = host.WaitForLine("20", Milliseconds(200));
        }
        ASSERT_TRUE(record);
        EXPECT_NE(record->find("hdg  271.25"), std::string::npos) << *record;
        // The run's named objects lie in its own folder, none in the one this process names.
        EXPECT_TRUE(m_folder.ListFiles().empty()) << m_all;
        if (row.signal == 0) {
            ::kill(m_driver, SIGKILL);
        } else if (row.signal == SIGSTOP) {
            // The driver cannot answer EXIT; it is killed while the host still waits for the answer.
            ::kill(m_driver, SIGSTOP);
            host.Kill(SIGINT);
            ::usleep(1000000);
            ::kill(m_driver, SIGKILL);
        } else {
            host.Kill(row.signal);
        }
        ReadUntilEnd(host);
        EXPECT_EQ(host.Wait(Milliseconds(5000)), row.status) << m_all;
        EXPECT_NE(m_all.find(row.said), std::string::npos) << m_all;
        // A killed driver cannot say what it received, and no count is made up for it.
        if (row.signal == 0) {
            EXPECT_NE(m_all.find("pelorad said nothing of what it received"), std::string::npos) << m_all;
        }
        EXPECT_EQ(m_all.find("did not end on EXIT"), std::string::npos) << m_all;
        ExpectNothingLeft();
    }
    // A stop that comes while the host waits for its reader to take a line loses no line: each
    // update that the last line counts was printed.
    m_all.clear(), m_records.clear();
    const UINT port = FindFreeUdpPort();
    CPeerProcess host({VOK_BINARY_DIR "/host/run_host", "--listen", "--port", std::to_string(port)});
    ASSERT_TRUE(host.WaitForLine("waiting for NMEA datagrams", Milliseconds(10000)));
    // Far more lines than the pipe holds, left unread: the host ends up waiting in a write.
    for (int i = 0; i < 1500; ++i) {
        ASSERT_TRUE(SendDatagram(port, Sentence("HEHDT," + std::to_string(i % 360) + ".25,T")));
        ::usleep(1000);
    }
    ::usleep(500000);
    host.Kill(SIGINT);
    ReadUntilEnd(host);
    EXPECT_EQ(host.Wait(Milliseconds(5000)), 0) << m_all;
    std::smatch updates;
    ASSERT_TRUE(std::regex_search(m_all, updates, std::regex(R"((\d+) updates; )"))) << m_all;
    EXPECT_EQ(m_records.size(), std::stoul(updates[1].str()));
}

// A replay that waits for a pipe's writer, who sent a recording and stays, ends at once at a stop.
TEST_F(RunHost, StopsWhileItWaitsForAPipe) {
    const std::string fifo = m_folder.GetRoot() + "/live.nmea";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    const std::string recording = ShortRecording();
    for (const int signal : {SIGINT, SIGTERM}) {
        m_all.clear(), m_records.clear();
        CPeerProcess host({VOK_BINARY_DIR "/host/run_host", "--file", fifo});
        const int writer = ::open(fifo.c_str(), O_RDWR | O_CLOEXEC);
        ASSERT_EQ(::write(writer, recording.data(), recording.size()), static_cast<ssize_t>(recording.size()));
        // The last moment waits for a line that would close it.
        ASSERT_NO_FATAL_FAILURE(ReadRecords(host, 3));
        host.Kill(signal);
        ReadUntilEnd(host);
        EXPECT_EQ(host.Wait(Milliseconds(3000)), 0) << m_all;
        ::close(writer);
        EXPECT_NE(m_all.find("sent 3 datagrams (12 sentences)"), std::string::npos) << m_all;
        EXPECT_NE(m_all.find("pelorad ended with code 0"), std::string::npos) << m_all;
        ExpectNothingLeft();
    }
    // A writer that sends some lines and pauses while the host waits: what comes after the pause is
    // replayed too, each late epoch with an update of its own, none lost to the host's catching up.
    const auto pausing = [&](int lines, size_t records) {
        m_all.clear(), m_records.clear();
        CPeerProcess host({VOK_BINARY_DIR "/host/run_host", "--file", fifo});
        const int writer = ::open(fifo.c_str(), O_RDWR | O_CLOEXEC);
        size_t sent = 0;
        for (int i = 0; i < lines; ++i) sent = recording.find('\n', sent) + 1;
        ASSERT_EQ(::write(writer, recording.data(), sent), static_cast<ssize_t>(sent));
        EXPECT_TRUE(host.WaitForLine("replaying", Milliseconds(10000)));
        ASSERT_NO_FATAL_FAILURE(ReadRecords(host, records));
        ::usleep(1800000);  // past the last epoch's time: what comes then is late
        ASSERT_EQ(::write(writer, recording.data() + sent, recording.size() - sent),
                  static_cast<ssize_t>(recording.size() - sent));
        ::close(writer);
        ReadUntilEnd(host);
        EXPECT_EQ(host.Wait(Milliseconds(5000)), 0) << m_all;
        EXPECT_NE(m_all.find("sent 4 datagrams (16 sentences)"), std::string::npos) << m_all;
        std::string headings;
        for (const std::string& record : m_records) headings += record.substr(record.find("hdg"), 11) + ";";
        EXPECT_EQ(headings, "hdg   10.50;hdg   11.50;hdg   12.50;hdg   13.50;") << m_all;
    };
    pausing(1, 0);  // after a first sentence: the host has said what it replays
    pausing(9, 2);  // after two moments, which the host has replayed at their pace, and a line of the third
}

// A stop while the host waits for a recording's first line, before any driver started, ends the
// run with 0 and nothing made; the wait is said after 2 s.
TEST_F(RunHost, AStopBeforeTheDriverStartedEndsWithNothingMade) {
    const std::string fifo = m_folder.GetRoot() + "/silent.nmea";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    CPeerProcess host({"/bin/sh", "-c", "exec \"$0\" \"$@\" 2>&1", VOK_BINARY_DIR "/host/run_host", "--file", fifo});
    const int writer = ::open(fifo.c_str(), O_RDWR | O_CLOEXEC);
    const std::optional<std::string> said = host.WaitForLine("scripts/run: waiting for the recording", Milliseconds(10000));
    ASSERT_TRUE(said);
    EXPECT_NE(said->find("nothing has come from " + fifo + " for 2 s"), std::string::npos) << *said;
    ::usleep(1500000);  // said once a wait
    host.Kill(SIGTERM);
    ReadUntilEnd(host);
    EXPECT_EQ(host.Wait(Milliseconds(5000)), 0) << m_all;
    ::close(writer);
    EXPECT_EQ(m_all.find("pelorad"), std::string::npos) << m_all;
    EXPECT_EQ(m_all.find("waiting"), std::string::npos) << m_all;
    EXPECT_TRUE(boost::filesystem::is_empty(m_tmp)) << m_all;
}

// The look-ahead for a first time keeps as little whatever comes before it: lines that hold no
// sentence before the first sentence and between it and the first time.
TEST_F(RunHost, LooksAheadInFlatMemory) {
    const auto peakKilobytes = [&](const std::string& recording) {
        const std::string file = m_folder.GetRoot() + "/look.nmea";
        std::ofstream(file, std::ios::binary) << recording;
        CPeerProcess host({VOK_BINARY_DIR "/host/run_host", "--file", file});
        EXPECT_TRUE(host.WaitForLine("replaying", Milliseconds(10000)));
        std::ifstream status("/proc/" + std::to_string(host.GetPid()) + "/status");
        long peak = 0;
        for (std::string line; std::getline(status, line);)
            if (line.rfind("VmHWM:", 0) == 0) peak = std::stol(line.substr(6));
        host.Kill(SIGINT);
        EXPECT_EQ(host.Wait(Milliseconds(5000)), 0);
        return peak;
    };
    const long small = peakKilobytes(Sentence("HEHDT,10.5,T"));
    std::string ais;
    while (ais.size() < 12 << 20) ais += "!AIVDM,1,1,,A,13aG?P0P00PD;88MD5MTDww@2<0L,0*0C\r\n";
    const long large = peakKilobytes(ais + Sentence("HEHDT,10.5,T") + ais);
    ASSERT_GT(small, 0);
    EXPECT_LT(large, small + 8 * 1024) << small;
}

// What the host cannot run is said with what to do, and the run ends with a status other than 0;
// what it can run, it replays whole.
TEST_F(RunHost, RefusesWhatItCannotRunAndSaysWhy) {
    const std::string empty = m_folder.GetRoot() + "/empty.nmea", text = m_folder.GetRoot() + "/notes.txt";
    std::ofstream(empty).flush();
    std::ofstream(text) << "no sentence here\n";
    // GNS is not decoded: the datagrams come, and nothing is decoded.
    const std::string gns = m_folder.GetRoot() + "/gns.nmea";
    std::ofstream(gns) << Sentence("GPGNS,120000.00,5200.0,N,00400.0,E,AA,10,0.9,10.0,47.0,,")
                       << Sentence("GPGNS,120000.50,5200.0,N,00400.0,E,AA,10,0.9,10.0,47.0,,");
    // A byte-order mark, or a logger's prefix on every line, is no reason to refuse or drop a line;
    // the times behind the prefixes still set the pace.
    const std::string bom = m_folder.GetRoot() + "/bom.nmea", prefixed = m_folder.GetRoot() + "/prefixed.nmea";
    std::ofstream(bom, std::ios::binary) << "\xEF\xBB\xBF" << ShortRecording();
    std::ofstream(prefixed, std::ios::binary) << std::regex_replace(ShortRecording(), std::regex("\\$"), "12:00:00 $$");
    // What the driver marks invalid is shown as missing.
    const std::string invalid = m_folder.GetRoot() + "/invalid.nmea";
    std::ofstream(invalid) << Sentence("HEHDT,12.5,T") << Sentence("HEROT,3.0,A") << Sentence("HCHDG,,,,,")
                           << Sentence("HEHDT,,T") << Sentence("HEROT,,A");
    // A fix of quality 0 shows no position and no height, whatever its sentence holds.
    const std::string noFix = m_folder.GetRoot() + "/nofix.nmea";
    std::ofstream noFixFile(noFix);
    for (const char* time : {"120000.00", "120000.50", "120001.00"})
        noFixFile << Sentence(std::string("GPGGA,") + time + ",5200.0,N,00400.0,E,0,00,,10.00,M,47.00,M,,")
                  << Sentence("HEHDT,12.50,T");
    noFixFile.close();
    // One sentence with a wrong checksum: nothing decoded, and no list of the formats it decodes.
    const std::string wrong = m_folder.GetRoot() + "/wrong.nmea";
    std::ofstream(wrong) << "$HEHDT,123.4,T*00\n";
    // A compressed recording, and bytes that are no text, though lines of them hold a "$".
    const std::string gz = m_folder.GetRoot() + "/track.nmea.gz", binary = m_folder.GetRoot() + "/track.bin";
    std::ofstream(gz, std::ios::binary) << "\x1f\x8b\x08\x00" << ShortRecording();
    std::ofstream binaryFile(binary, std::ios::binary);
    for (int i = 0; i < 4096; ++i) binaryFile << (i % 64 == 0 ? '$' : i % 64 == 63 ? '\n' : static_cast<char>(0x80 + i % 128));
    binaryFile.close();
    // Headings without a time before the first epoch: the epoch's own heading is its update's.
    const std::string twenty = m_folder.GetRoot() + "/twenty.nmea";
    std::ofstream twentyFile(twenty);
    for (int i = 0; i < 20; ++i) twentyFile << Sentence("HEHDT," + std::to_string(i) + ".00,T");
    twentyFile << ShortRecording().substr(0, ShortRecording().find("$HEHDT")) << Sentence("HEHDT,285.00,T");
    twentyFile.close();
    // Lines that end in CR alone, and line 5 too long to send, which ends in LF.
    const std::string crOnly = m_folder.GetRoot() + "/cr.nmea";
    const std::string cr = std::regex_replace(ShortRecording(), std::regex("\r\n"), "\r");
    const size_t fifth = cr.find("$GPGGA", 1);
    std::ofstream(crOnly, std::ios::binary) << cr.substr(0, fifth) << "$GPTXT," << std::string(9000, 'x')
                                            << "$GPTXT,1*00\n" << cr.substr(fifth);
    // UTF-16, with and without its byte-order mark.
    const std::string utf16 = m_folder.GetRoot() + "/utf16.nmea", utf16le = m_folder.GetRoot() + "/utf16le.nmea";
    std::string wide;
    for (const char c : ShortRecording()) wide += std::string{c, '\0'};
    std::ofstream(utf16, std::ios::binary) << "\xFF\xFE" << wide;
    std::ofstream(utf16le, std::ios::binary) << wide;
    const UINT port = FindFreeUdpPort(), sharedPort = FindFreeUdpPort();
    const int taken = BoundUdpSocket("127.0.0.1", port);
    ASSERT_GE(taken, 0);
    // A socket with SO_REUSEADDR, as another run's driver has, holds its port as well.
    const int shared = BoundUdpSocket("127.0.0.1", sharedPort, true);
    ASSERT_GE(shared, 0);
    const struct {
        std::vector<std::string> args;
        int status;
        std::string said;
    } rows[] = {
        {{"--port"}, 2, "--port needs a value: a UDP port from 1 to 65535\nusage: scripts/run [--file PATH]"},
        {{"--file", ""}, 2, "--file needs a value: the path of a recording, not an empty text\nusage: scripts/run"},
        {{"--file", m_folder.GetRoot()}, 2, " is a folder; --file takes a recording"},
        {{"--port", "1", "--file", m_folder.GetRoot()}, 2, " is a folder; --file takes a recording"},
        {{"--file", empty}, 2, "empty.nmea holds no NMEA sentence"},
        {{"--file", text}, 2, "notes.txt holds no NMEA sentence"},
        {{"--listen", "--port", std::to_string(port)}, 3, "is busy: another program receives on it"},
        {{"--listen", "--port", std::to_string(sharedPort)}, 3, "is busy: another program receives on it"},
        {{"--file", gns}, 1,
         "sent 2 datagrams (2 sentences); pelorad received 2 and decoded 0 sentences (2 of a format it does not "
         "decode); 0 updates"},
        {{"--file", gns}, 1,
         "it decoded none of its sentences (2 of a format it does not decode); it decodes GGA, RMC, GGK, GLL, GST, GSA, "
         "GSV, QUAL, HDT, HDG, HDM, HCD, HCC, ROT and ZDA"},
        {{"--file", wrong}, 1, "it decoded none of its sentences (1 with a wrong checksum)\n"},
        {{"--file", bom}, 0, "sent 4 datagrams (16 sentences); pelorad received 4 and decoded 15 sentences"},
        {{"--file", prefixed}, 0, "sent 4 datagrams (16 sentences); pelorad received 4 and decoded 15 sentences"},
        {{"--file", invalid}, 0, "hdg       -  rot      - deg/min\nsent 5 datagrams (5 sentences)"},
        {{"--file", noFix}, 0, "lat            -  lon             -  h        - m  q  0  hdg   12.50"},
        {{"--file", gz}, 2,
         gz + " is a gzip-compressed file, not a text of NMEA sentences; replay what it holds: zcat " + gz +
             " | scripts/run --file /dev/stdin\n"},
        {{"--file", binary}, 2, binary + " is no text: its first block is mostly bytes that no NMEA line holds"},
        {{"--file=" + twenty}, 0, "hdg  285.00  rot      - deg/min\nsent 21 datagrams (23 sentences)"},
        {{"--file", wrong, "--port", "1", "--file", wrong}, 2, "--file is given twice; give it once\n"},
        {{"--listen=1"}, 2, "--listen takes no value"},
        {{"--listen", "--listen"}, 2, "--listen is given twice; give it once\n"},
        {{"--port=+5000"}, 2, "--port +5000: the port is a number from 1 to 65535\n"},
        {{"--port", " 5000"}, 2, "--port  5000: the port is a number from 1 to 65535\n"},
        {{"--file", crOnly}, 0,
         "sent 4 datagrams (16 sentences, and 2 not sent: on lines longer than a datagram takes); pelorad received 4 "
         "and decoded 15 sentences"},
        {{"--file", crOnly}, 0,
         "scripts/run: line 5 of " + crOnly + " is longer than a datagram takes (8192 bytes with its line end); its 2 "
         "sentences are not sent\n"},
        {{"--file", utf16}, 2,
         utf16 + " is UTF-16 text, and NMEA sentences are ASCII; replay it converted: iconv -f UTF-16 -t UTF-8 " +
             utf16 + " | scripts/run --file /dev/stdin\n"},
        {{"--file", utf16le}, 2, utf16le + " is UTF-16LE text"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.said);
        m_all.clear();
        // The messages go to standard error.
        std::vector<std::string> args{"/bin/sh", "-c", "exec \"$0\" \"$@\" 2>&1", VOK_BINARY_DIR "/host/run_host"};
        args.insert(args.end(), row.args.begin(), row.args.end());
        CPeerProcess host(args);
        ReadUntilEnd(host);
        EXPECT_EQ(host.Wait(Milliseconds(5000)), row.status) << m_all;
        EXPECT_NE(m_all.find(row.said), std::string::npos) << m_all;
    }
    // Help goes to standard output, the driver's too.
    const struct {
        const char* program;
        const char* arg;
        const char* said;
    } helps[] = {{VOK_BINARY_DIR "/host/run_host", "--help", "\n  --port N     the UDP port the driver listens on"},
                 {VOK_BINARY_DIR "/pelorad", "-h", "a host application starts it with the environment variable \"Prefix\""}};
    for (const auto& help : helps) {
        m_all.clear();
        CPeerProcess program({help.program, help.arg});
        ReadUntilEnd(program);
        EXPECT_EQ(program.Wait(Milliseconds(5000)), 0) << m_all;
        EXPECT_NE(m_all.find(help.said), std::string::npos) << m_all;
    }
#if !defined(__SANITIZE_ADDRESS__)  // the sanitizer's runtime cannot start with no descriptor to spare
    // Standard input closed and one descriptor left: the stop pipe cannot be made, and the socket
    // that tries the port is descriptor 0. The port is free, and not said to be unusable.
    m_all.clear();
    CPeerProcess closed({"/bin/sh", "-c", "exec 2>&1 <&-; ulimit -n 3; exec \"$0\" \"$@\"",
                         VOK_BINARY_DIR "/host/run_host", "--listen", "--port", std::to_string(FindFreeUdpPort())});
    ReadUntilEnd(closed);
    EXPECT_EQ(closed.Wait(Milliseconds(5000)), 1) << m_all;
    EXPECT_EQ(m_all.find("cannot be bound"), std::string::npos) << m_all;
#endif
    ::close(taken);
    ::close(shared);
    EXPECT_TRUE(boost::filesystem::is_empty(m_tmp));
}

// A run ends and leaves nothing whenever it is stopped: killed at any moment, in its first
// milliseconds too, or at SIGTERM with few descriptors to spare, whichever step runs out of them.
TEST_F(RunHost, EndsAndLeavesNothingWhateverTheState) {
    // -1: the moment its folder appears, before anything else it does.
    for (const int ms : {-1, -1, -1, 5, 15, 300}) {
        CPeerProcess host({VOK_BINARY_DIR "/host/run_host", "--listen", "--port", std::to_string(FindFreeUdpPort())});
        for (const CStopwatch watch; ms < 0 && boost::filesystem::is_empty(m_tmp) && watch.Elapsed() < Milliseconds(5000);) {
        }
        if (ms > 0) ::usleep(ms * 1000);
        host.Kill(SIGKILL);
        EXPECT_EQ(host.Wait(Milliseconds(5000)), 128 + SIGKILL);
        for (int i = 0; i < 50 && !boost::filesystem::is_empty(m_tmp); ++i) ::usleep(100000);
        EXPECT_TRUE(boost::filesystem::is_empty(m_tmp)) << ms;
    }
#if !defined(__SANITIZE_ADDRESS__)  // the sanitizer's runtime needs more descriptors than these
    for (int limit = 7; limit <= 40; ++limit) {
        m_all.clear();
        CPeerProcess few({"/bin/sh", "-c", "exec 2>&1 <&-; ulimit -n " + std::to_string(limit) + "; exec \"$0\" \"$@\"",
                          VOK_BINARY_DIR "/host/run_host", "--listen", "--port", std::to_string(FindFreeUdpPort())});
        while (const std::optional<std::string> line = few.ReadLine(Milliseconds(3000))) {
            Take(*line);
            if (line->rfind("waiting for NMEA datagrams", 0) == 0) break;
        }
        few.Kill(SIGTERM);
        ReadUntilEnd(few);
        const std::optional<int> status = few.Wait(Milliseconds(5000));
        EXPECT_TRUE(status == 0 || status == 1) << limit << m_all;
        EXPECT_FALSE(m_all.empty()) << limit;  // what it could not start is said on standard error
        EXPECT_TRUE(boost::filesystem::is_empty(m_tmp)) << limit << m_all;
    }
#endif
}

// The benchmark's host sends time tags of type 4: an update then takes its tag's time, and the
// tag record is read back. A program that starts but never answers INIT is named as such.
TEST_F(RunHost, TheDemoHostTakesTagTimesAndNamesADriverThatDoesNotAnswer) {
    const UINT port = FindFreeUdpPort();
    {
        CDemoHost tagged("\"" VOK_BINARY_DIR "/pelorad\"", port, {}, 4);
        ASSERT_TRUE(tagged.Start()) << tagged.GetError();
        const uint32_t seconds = 1000000000;  // 2001-09-09 01:46:40 UTC
        sDemoRecords records;
        const std::string gga = Sentence("GPGGA,014640.00,5200.0,N,00400.0,E,4,12,0.9,10.00,M,47.00,M,,");
        for (int k = 0; k < 50 && !records.timeTag; ++k) {
            ASSERT_TRUE(SendDatagram(port, Tagged(seconds, gga)));
            if (tagged.WaitForUpdate(100)) records = tagged.Read();
        }
        ASSERT_TRUE(records.timeTag);
        ASSERT_TRUE(records.updateTime);
        EXPECT_TRUE(SameTime(*records.updateTime, At(seconds)));
        {
            // The time block carries the demo's system id, negated.
            IpcBufferHandle out(("OUT_" + std::to_string(::getpid() % 100000000)).c_str(), 0);
            const CBufferHold hold(out);
            ASSERT_TRUE(hold);
            const std::vector<DWORD> times = FindBlocks(out, TIME_BLOCK_TYPE);
            ASSERT_EQ(times.size(), 1u);
            TimeBlockRecord time{};
            ASSERT_EQ(out.ReadRecord(times[0], 1, &time, sizeof time), 1);
            EXPECT_EQ(time.lSystem, -CDemoHost::kSystemId);
        }
        EXPECT_EQ(tagged.Exit(5000), 0);
    }
    CDemoHost silent("/bin/true", port);
    EXPECT_FALSE(silent.Start());
    EXPECT_EQ(silent.GetError(), "the driver did not acknowledge INIT and SETTINGS");
}

// The host's private folder says on standard error what a run left in it, and goes with it.
TEST_F(RunHost, ThePrivateFolderNamesWhatWasLeftInItAndGoes) {
    const char* ipcDir = ::getenv("VOK_IPC_DIR");
    ASSERT_NE(ipcDir, nullptr);
    const std::string testDir = ipcDir;
    std::string path;
    testing::internal::CaptureStderr();
    {
        const CPrivateIpcFolder folder;
        path = folder.GetPath();
        std::ofstream(path + "/left.buf") << "x";
    }
    const std::string said = testing::internal::GetCapturedStderr();
    ::setenv("VOK_IPC_DIR", testDir.c_str(), 1);
    EXPECT_EQ(path.rfind(m_tmp + "/pelorad-run-", 0), 0u) << path;
    EXPECT_NE(said.find("left behind and removed: left.buf\n"), std::string::npos) << said;
    EXPECT_FALSE(boost::filesystem::exists(path));
}

// What is absent, or what the driver marks invalid (a negative status), shows as "-".
TEST(FormatRecordLine, ShowsWhatIsAbsentOrInvalidAsADash) {
    EXPECT_EQ(FormatRecordLine(sDemoRecords{}),
              "-                        lat            -  lon             -  h        - m  q  -  hdg       -  rot      - deg/min");
    sDemoRecords r;
    r.heading = NavRecord{};
    r.heading->dHeading = 12.5;
    r.heading->fStatus = 0.0f;
    r.rateOfTurn = RotRecord{};
    r.rateOfTurn->dRate = -3.5;
    r.rateOfTurn->fStatus = 0.0f;
    EXPECT_NE(FormatRecordLine(r).find("  hdg   12.50  rot   -3.5 deg/min"), std::string::npos) << FormatRecordLine(r);
    // A record more than 2 s older than the update shows "-": position, height and quality together.
    r.position = PosRecord{}, r.position->lQuality = 4, r.position->dHeight = 10.0;
    r.updateReceived = 1002.0, r.positionReceived = r.rateReceived = 1000.0, r.headingReceived = 999.99;
    EXPECT_NE(FormatRecordLine(r).find("h   10.000 m  q  4  hdg       -  rot   -3.5"), std::string::npos) << FormatRecordLine(r);
    r.positionReceived = 999.99;
    EXPECT_NE(FormatRecordLine(r).find("lat            -  lon             -  h        - m  q  -"), std::string::npos);
}

TEST(NmeaReplay, SentencesOfOneMomentGoTogetherAndTheGapsSetThePace) {
    const std::string text = "$GPGGA,235959.50,x*00\n$HEHDT,1,T*00\r\n\n$GPZDA,235959.50*00\n"
                             "$GPGGA,000000.00,x*00\n$GPGGA,000030.00,x*00\n$GPRMC,000029.00,x*00\n";
    const std::vector<sReplayDatagram> d = SplitRecording(text);
    ASSERT_EQ(d.size(), 4u);
    EXPECT_EQ(d[0].bytes, "$GPGGA,235959.50,x*00\r\n$HEHDT,1,T*00\r\n$GPZDA,235959.50*00\r\n");
    EXPECT_DOUBLE_EQ(d[1].at, 0.5);  // across midnight
    EXPECT_DOUBLE_EQ(d[2].at, 1.5);  // a 30 s hole counts as one second
    EXPECT_DOUBLE_EQ(d[3].at, 2.5);  // and so does a step back
    // GGK behind its proprietary address paces as well; a recording without a time goes one line a
    // datagram at the fixed pace.
    const std::vector<sReplayDatagram> ggk =
        SplitRecording("$PTNL,GGK,101530.00,x*00\n$PTNL,GGK,101530.50,x*00\n$PTNL,GGK,101531.50,x*00\n");
    ASSERT_EQ(ggk.size(), 3u);
    EXPECT_DOUBLE_EQ(ggk[2].at, 1.5);
    const std::vector<sReplayDatagram> hdt = SplitRecording("$HEHDT,1,T*00\n$HEHDT,2,T*00\n$HEHDT,3,T*00\n");
    ASSERT_EQ(hdt.size(), 3u);
    EXPECT_DOUBLE_EQ(hdt[2].at, 2 * kUntimedPace);
    EXPECT_EQ(SentenceTimeOfDay("$GPGLL,5200.0,N,00400.0,E,101530.25,A*00"), 36930.25);
    EXPECT_FALSE(SentenceTimeOfDay("$GPGGA,,5200.0,N*00"));
    EXPECT_FALSE(SentenceTimeOfDay("$PASHR,101530.25*00"));
    EXPECT_FALSE(SentenceTimeOfDay("$HEHDT,101530.25,T*00"));  // HDT carries no time, whatever its field holds
    EXPECT_FALSE(SentenceTimeOfDay("$GPGGA,246000.00,x*00"));  // no hour 24
    EXPECT_EQ(SplitRecording("$HEHDT,1,T*00 \t\n")[0].bytes, "$HEHDT,1,T*00\r\n");  // trailing blanks go
    // What comes before the first sentence is not sent, and a time later in the look-ahead sets the
    // pace; the first time starts a datagram of its own.
    const std::vector<sReplayDatagram> noted = SplitRecording("notes\n$HEHDT,1,T*00\n$GPGGA,120000.00,x*00\n");
    ASSERT_EQ(noted.size(), 2u);
    EXPECT_EQ(noted[0].bytes, "$HEHDT,1,T*00\r\n");
    EXPECT_DOUBLE_EQ(noted[1].at, 0.0);
    // Two headings (or two of a position format) of one moment go in two datagrams, at its time;
    // other sentences stay together, a token found where the driver looks for it. Sentences are
    // counted as the driver counts them.
    const std::vector<sReplayDatagram> kinds = SplitRecording(
        "$GPGGA,120000.00,x*00\n$GPGSV,1,2,3,4,5,6,7,8,9*00\n$GPGSV,2*00\n$GPRMC,120000.00,x*00\n"
        "$PTNL,GGK,120000.00,x*00\n$HEHDT,1,T*00\n$XXXXXXXXXHDT,9*00\n$TIROT,1*00\n$HEHDG,2*00\n"
        "$GPGGA,120000.00,y*00$HEHDT,3*00\n$$$GPGLL,1*00\n$GP$\n");
    ASSERT_EQ(kinds.size(), 3u);
    EXPECT_EQ(kinds[1].bytes, "$HEHDG,2*00\r\n");
    EXPECT_EQ(kinds[2].sentences, 4u);
    EXPECT_DOUBLE_EQ(kinds[2].at, 0.0);
    // A line ends at LF, CR LF or CR, a CR LF split between two reads too. A line too long to send
    // is not sent: its number and its sentences, counted as the driver counts them, are told.
    const std::string longLine = "x$$$GPGLL" + std::string(9000, 'y') + "$GP$GP";
    std::istringstream lines(std::string(32767 * 2, '\n') + "x\r\n" + longLine + "\r$HEHDT,1,T*00\n");
    CRecordingReplay replay(lines);
    std::vector<std::pair<uint64_t, uint64_t>> tooLong;
    replay.SetLongLineCall([&](uint64_t line, uint64_t sentences) { tooLong.emplace_back(line, sentences); });
    ASSERT_TRUE(replay.Start());
    EXPECT_EQ(replay.Next()->bytes, "$HEHDT,1,T*00\r\n");
    EXPECT_FALSE(replay.Next());
    ASSERT_EQ(CountDriverSentences(longLine + "\r\n"), 3u);
    EXPECT_EQ(tooLong, (std::vector<std::pair<uint64_t, uint64_t>>{{65536, 3}}));
    // The longest line sent fills a datagram with its CR LF.
    const std::vector<sReplayDatagram> limit = SplitRecording("$HEHDT,1,T*00\n$HEHDT,22,T*00\n", 10.0, 15);
    ASSERT_EQ(limit.size(), 1u);
    EXPECT_EQ(limit[0].bytes, "$HEHDT,1,T*00\r\n");
    // The look-ahead ends after kTimeLookAheadBytes: a time just past them comes too late to set the pace.
    const std::string edge = "$" + std::string(kTimeLookAheadBytes - 3, 'x') + "\n$GPGGA,120000.00,x*00\n";
    const std::vector<sReplayDatagram> late = SplitRecording(edge, 10.0, 1 << 17);
    ASSERT_EQ(late.size(), 2u);
    EXPECT_DOUBLE_EQ(late[1].at, kUntimedPace);
}

}  // namespace
