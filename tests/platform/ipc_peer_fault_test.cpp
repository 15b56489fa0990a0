// Shared buffers against peers that die, stop or write what they should not: a killed writer never
// leaves a half-made generation published, damaged or truncated files are refused at the hold (never
// an exception or SIGBUS), no wait on a stopped peer lasts for ever, and files planted at an object's
// name are refused without harm to what they point at.
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <fstream>
#include <future>
#include <iterator>
#include <optional>
#include <random>
#include <stdexcept>
#include <string>
#include <system_error>
#include <vector>

#include "platform/child_process.h"
#include "platform/ipc_buffer_handle.h"
#include "platform/shared_memory.h"
#include "tests/support/ipc_test_folder.h"
#include "tests/support/peer_process.h"

namespace {

using Vok::Test::CPeerProcess;
using Vok::Test::CStopwatch;
using Vok::Test::IpcTest;
using Vok::Test::Milliseconds;

class IpcPeerFaultTest : public IpcTest {
protected:
    // The folder exists before a peer plants anything in it.
    void SetUp() override { Vok::Ipc::CIpcFolder::Open(); }

    std::string Outside() const { return m_folder.GetRoot() + "/outside.txt"; }
    void WriteOutside(const std::string& text) const { std::ofstream(Outside(), std::ios::binary) << text; }
    std::string ReadOutside() const {
        std::ifstream file(Outside(), std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
    }
};

const std::string PEER = Vok::Test::PeerPath(VOK_BINARY_DIR, "buffer_peer");
const std::string LOCK_PEER = Vok::Test::PeerPath(VOK_BINARY_DIR, "ipc_peer");
constexpr Milliseconds DEADLINE(5000);

// A writer sets up block 1 (64 bytes, record 1 filled with 9; generation 2 of 144 bytes); a reader maps
// it; another process then damages a file; the reader's next hold must be refused with the reason.
TEST_F(IpcPeerFaultTest, DamagedFilesAreRefusedAtTheHoldNeverACrash) {
    struct sCase {
        const char* what;
        std::vector<std::string> damage;  // buffer_peer commands
        std::string refusal;
    };
    const sCase cases[] = {
        {"generation beyond the last", {"mngt", "B", "4", "999"}, "Could not create shared memory: B_999: No such file or directory"},
        {"generation 0", {"mngt", "B", "4", "0"}, "Could not create shared memory: B_0: No such file or directory"},
        {"size beyond the generation's file", {"truncate", "m.B_3", "100", "mngt", "B", "0", "4096", "mngt", "B", "4", "3"},
         "Could not create view of shared memory: B_3 (cut short to 100 of its 4096 bytes)"},
        {"live generation truncated", {"truncate", "m.B_2", "0"},
         "Could not create view of shared memory: B_2 (cut short to 0 of its 144 bytes)"},
        // Within its last page no access can fault: the bytes cut off would read as zero.
        {"live generation cut inside its last page", {"truncate", "m.B_2", "100"},
         "Could not create view of shared memory: B_2 (cut short to 100 of its 144 bytes)"},
        {"management segment truncated", {"truncate", "m.B_MNGT", "0"}, "Could not create view of shared memory: B_MNGT (cut short to 0 of its 8 bytes)"},
        {"block count beyond the generation", {"open", "B", "1", "poke", "B", "0", "1000"},
         "IPCBuffer: B_2 holds 1000 block descriptors in 144 bytes"},
        {"a FIFO as the next generation", {"fifo", "m.B_3", "mngt", "B", "4", "3"}, "Could not create shared memory: B_3: Operation not permitted"},
        {"a hard link as the next generation", {"link", "m.B_3", Outside(), "mngt", "B", "4", "3"},
         "Could not create shared memory: B_3: Operation not permitted"},
    };
    WriteOutside(std::string(200, 'x'));
    for (const sCase& c : cases) {
        SCOPED_TRACE(c.what);
        CPeerProcess writer({PEER, "open", "B", "1", "lock", "B", "add", "B", "1", "64", "64", "record", "B", "1", "1", "9",
                             "unlock", "B", "pause"});
        ASSERT_TRUE(writer.WaitForLine("READY pause", DEADLINE));
        CPeerProcess reader({PEER, "open", "B", "0", "lock", "B", "read", "B", "1", "1", "unlock", "B", "pause", "lock", "B",
                             "pause"});
        ASSERT_EQ(reader.WaitForLine("READY read", DEADLINE), "READY read 1 9");
        ASSERT_TRUE(reader.WaitForLine("READY pause", DEADLINE));

        std::vector<std::string> damage{PEER};
        damage.insert(damage.end(), c.damage.begin(), c.damage.end());
        CPeerProcess vandal(damage);
        EXPECT_EQ(vandal.Wait(DEADLINE), 0);

        ASSERT_TRUE(reader.WriteLine("go"));
        EXPECT_EQ(reader.WaitForLine("READY lock", DEADLINE), c.refusal.empty() ? "READY lock 1" : "READY lock 0 " + c.refusal);
        ASSERT_TRUE(reader.WaitForLine("READY pause", DEADLINE));
        ASSERT_TRUE(reader.WriteLine("end"));
        EXPECT_EQ(reader.Wait(DEADLINE), 0);
        ASSERT_TRUE(writer.WriteLine("end"));
        EXPECT_EQ(writer.Wait(DEADLINE), 0);
        // The last holder removed every file, planted ones included, and nothing outside the folder.
        EXPECT_TRUE(m_folder.ListFiles().empty());
        EXPECT_EQ(ReadOutside(), std::string(200, 'x'));
    }
}

// A hard link or a FIFO at an object's name is refused; the file a link points at is not emptied.
TEST_F(IpcPeerFaultTest, PlantedFilesAtAnObjectsNameAreRefused) {
    struct sCase {
        const char* file;
        bool link;  // else a FIFO
    };
    const sCase cases[] = {{"m.X_MNGT", true}, {"l.X", true}, {"m.X_MNGT", false}, {"l.X", false}};
    for (const sCase& c : cases) {
        SCOPED_TRACE(std::string(c.file) + (c.link ? " link" : " FIFO"));
        WriteOutside("precious");
        {
            CPeerProcess planter(c.link ? std::vector<std::string>{PEER, "link", c.file, Outside()}
                                        : std::vector<std::string>{PEER, "fifo", c.file});
            ASSERT_EQ(planter.Wait(DEADLINE), 0);
        }
        CPeerProcess opener({PEER, "open", "X", "1"});
        const auto line = opener.ReadLine(DEADLINE);
        ASSERT_TRUE(line.has_value());
        EXPECT_EQ(line->rfind("FAIL Could not create ", 0), 0u) << *line;
        EXPECT_EQ(opener.Wait(DEADLINE), 2);
        EXPECT_EQ(ReadOutside(), "precious");
        EXPECT_EQ(::unlink((m_folder.GetPath() + "/" + c.file).c_str()), 0);
    }
}

// Kill -9 of a writer in the middle of its structural changes, many times, at random moments: each
// change copies a 16 MB block into the next generation, so most kills land during a copy. Every
// generation a reader can see must hold the block whole.
TEST_F(IpcPeerFaultTest, AWriterKilledDuringAStructuralChangeLeavesTheBufferWhole) {
    constexpr DWORD SIZE = 16 * 1024 * 1024;
    IpcBufferHandle reader("B", 0);
    {
        IpcBufferHandle writer("B", 1);
        ASSERT_TRUE(writer.Lock(0));
        writer.buffer.AddBlock(1, SIZE, SIZE);
        const std::vector<BYTE> bytes(SIZE, 0xA5);
        writer.WriteBlock(1, bytes.data(), SIZE);
        writer.buffer.SetRecordCount(0, 1);
        writer.Unlock();
    }
    std::mt19937 random(12345);
    std::vector<BYTE> block(SIZE);
    for (int round = 0; round < 8; ++round) {
        SCOPED_TRACE(round);
        {
            CPeerProcess writer({PEER, "open", "B", "1", "churn", "B"});
            ASSERT_TRUE(writer.WaitForLine("READY churn", DEADLINE));
            ::usleep(20000 + random() % 100000);
            writer.Kill(SIGKILL);
            ASSERT_EQ(writer.Wait(DEADLINE), 128 + SIGKILL);
        }
        ASSERT_TRUE(reader.Lock(2000));
        ASSERT_GE(reader.buffer.GetBlockCount(), 1u);
        EXPECT_EQ(reader.buffer.GetBlockId(0), 1u);
        ASSERT_EQ(reader.GetBlockDataSize(1), SIZE);
        reader.ReadBlock(1, block.data(), SIZE);
        EXPECT_EQ(std::count(block.begin(), block.end(), 0xA5), SIZE);
        for (DWORD i = 1; i < reader.buffer.GetBlockCount(); ++i) EXPECT_EQ(reader.buffer.GetBlockId(i), 3u);
        reader.Unlock();
    }
}

// Generations whose names a killed writer left (an old one it had not removed yet, a next one it had
// not published) go with the last holder of the buffer.
TEST_F(IpcPeerFaultTest, TheLastHolderRemovesEveryGenerationFile) {
    {
        IpcBufferHandle writer("B", 1);
        ASSERT_TRUE(writer.Lock(0));
        writer.buffer.AddBlock(1, 8, 8);
        writer.Unlock();
        for (const char* left : {"m.B_1", "m.B_7"}) std::ofstream(m_folder.GetPath() + "/" + left) << "left";
        std::ofstream(m_folder.GetPath() + "/m.B_x1") << "not a generation";
        EXPECT_EQ(m_folder.ListFiles(),
                  (std::vector<std::string>{"l.B", "m.B_1", "m.B_2", "m.B_7", "m.B_MNGT", "m.B_x1"}));
    }
    EXPECT_EQ(m_folder.ListFiles(), std::vector<std::string>{"m.B_x1"});
    ::unlink((m_folder.GetPath() + "/m.B_x1").c_str());
}

// A peer stopped while it holds the lock: lock calls with a time-out give up in time, and opening the
// buffer does not wait for it without limit.
TEST_F(IpcPeerFaultTest, AStoppedHolderStopsNoOtherProcessForEver) {
    CPeerProcess holder({PEER, "open", "B", "1", "lock", "B", "add", "B", "1", "8", "8", "unlock", "B", "lock", "B", "pause"});
    ASSERT_TRUE(holder.WaitForLine("READY pause", DEADLINE));
    holder.Kill(SIGSTOP);
    {
        const CStopwatch watch;
        IpcBufferHandle reader("B", 0);  // set up already: opened without its lock
        EXPECT_LT(watch.Elapsed(), Milliseconds(Vok::OPEN_TIMEOUT_MS + 2000));
        const CStopwatch lockWatch;
        EXPECT_FALSE(reader.Lock(300));
        EXPECT_GE(lockWatch.Elapsed(), Milliseconds(300));
        EXPECT_LT(lockWatch.Elapsed(), Milliseconds(2000));
        EXPECT_EQ(reader.buffer.GetRefusal(), "");  // a time-out, not a refusal
        IpcBufferHandle writer("B", 1);
        EXPECT_FALSE(writer.Lock(100));
    }
    {
        // A buffer nobody has set up yet, whose lock a stopped peer holds: the opener gives up.
        CPeerProcess other({LOCK_PEER, "lock", "C", "exclusive", "C", "INFINITE", "pause"});
        ASSERT_TRUE(other.WaitForLine("READY pause", DEADLINE));
        other.Kill(SIGSTOP);
        const CStopwatch watch;
        EXPECT_THROW(IpcBufferHandle("C", 0), std::runtime_error);
        EXPECT_LT(watch.Elapsed(), Milliseconds(Vok::OPEN_TIMEOUT_MS + 2000));
        other.Kill(SIGCONT);
        ASSERT_TRUE(other.WriteLine("end"));
        EXPECT_EQ(other.Wait(DEADLINE), 0);
    }
    holder.Kill(SIGCONT);
    ASSERT_TRUE(holder.WriteLine("end"));
    EXPECT_EQ(holder.Wait(DEADLINE), 0);
}

// The host end writes its command under a lock that a stopped reader of the settings may hold: it gives
// up after its time-out instead of waiting for ever.
TEST_F(IpcPeerFaultTest, TheHostEndGivesUpOnAStoppedReaderOfItsSettings) {
    CChildProcess host(CString((PEER + " pause").c_str()), static_cast<DWORD>(::getpid()), 7, 0, 0, 0, nullptr);
    IpcBufferHandle& settings = *host.GetSettings();
    ASSERT_TRUE(settings.Lock(0));
    settings.buffer.AddBlock(1, sizeof(IpcCommandRecord), sizeof(IpcCommandRecord));
    settings.Unlock();
    CPeerProcess reader({PEER, "open", settings.GetName().Str(), "0", "lock", settings.GetName().Str(), "pause"});
    ASSERT_EQ(reader.WaitForLine("READY lock", DEADLINE), "READY lock 1");
    reader.Kill(SIGSTOP);
    const CStopwatch watch;
    EXPECT_FALSE(host.WriteCommand(CMD_INIT));
    EXPECT_GE(watch.Elapsed(), Milliseconds(HOST_LOCK_TIMEOUT_MS));
    EXPECT_LT(watch.Elapsed(), Milliseconds(HOST_LOCK_TIMEOUT_MS + 3000));
    reader.Kill(SIGCONT);
    ASSERT_TRUE(reader.WriteLine("end"));
    EXPECT_EQ(reader.Wait(DEADLINE), 0);
    EXPECT_TRUE(host.WriteCommand(CMD_INIT));
}

// The driver end reads the command through a settings buffer that another process damaged: no command
// (0), never an exception; the host waits in vain on an acknowledgement whose file a third one rewrote.
TEST_F(IpcPeerFaultTest, ADamagedSettingsBufferGivesTheDriverNoCommand) {
    CChildProcess host(CString((PEER + " pause").c_str()), static_cast<DWORD>(::getpid()), 8, 0, 0, 0, nullptr);
    IpcBufferHandle& settings = *host.GetSettings();
    ASSERT_TRUE(settings.Lock(0));
    settings.buffer.AddBlock(1, sizeof(IpcCommandRecord), sizeof(IpcCommandRecord));
    settings.Unlock();
    CChildProcess driver(host.GetPrefix());
    ASSERT_TRUE(driver.IsStarted());
    ASSERT_TRUE(host.WriteCommand(CMD_SETTINGS));
    EXPECT_EQ(driver.ReadCommand(), static_cast<DWORD>(CMD_SETTINGS));
    {
        CPeerProcess vandal({PEER, "mngt", settings.GetName().Str(), "4", "999"});
        ASSERT_EQ(vandal.Wait(DEADLINE), 0);
    }
    DWORD command = 99;
    EXPECT_NO_THROW(command = driver.ReadCommand());
    EXPECT_EQ(command, static_cast<DWORD>(CMD_UNDEFINED));
    EXPECT_FALSE(host.WriteCommand(CMD_EXIT));
    // The acknowledgement's word zeroed (cut, then given 4 bytes) while the host waits: none came.
    ASSERT_TRUE(driver.SetEvent(EVT_SETTINGS_READ));  // an earlier command's
    auto posted = std::async(std::launch::async, [&] { return host.PostSettingsAndWait(1000); });
    ASSERT_TRUE(driver.IsEventSet(EVT_NEW_SETTINGS, 5000));
    const std::string file = "e." + host.GetPrefix().Str() + "_SETTINGS_READ";
    for (const char* size : {"0", "4"}) ASSERT_EQ(CPeerProcess({PEER, "truncate", file, size}).Wait(DEADLINE), 0);
    ASSERT_EQ(posted.wait_for(DEADLINE), std::future_status::ready);
    EXPECT_FALSE(posted.get());
}

// An opener that meets a last holder closing the file waits for it, then uses the file at the name,
// not the removed one; one that meets a holder that stopped there gives up.
TEST_F(IpcPeerFaultTest, OpenersOfAClosingFileUseTheFileAtTheName) {
    {
        CPeerProcess closing({PEER, "closing", "m.B_MNGT"});
        ASSERT_TRUE(closing.WaitForLine("READY closing", DEADLINE));
        CPeerProcess opener({PEER, "open", "B", "1", "lock", "B", "add", "B", "5", "4", "4", "unlock", "B", "pause"});
        EXPECT_FALSE(opener.ReadLine(Milliseconds(300)).has_value());  // waiting for the closing holder
        ASSERT_TRUE(closing.WriteLine("go"));
        EXPECT_EQ(closing.Wait(DEADLINE), 0);
        ASSERT_TRUE(opener.WaitForLine("READY pause", DEADLINE));
        IpcBufferHandle reader("B", 0);
        ASSERT_TRUE(reader.Lock(1000));
        EXPECT_EQ(reader.buffer.GetBlockCount(), 1u);
        EXPECT_EQ(reader.buffer.GetBlockId(0), 5u);
        reader.Unlock();
        ASSERT_TRUE(opener.WriteLine("end"));
        EXPECT_EQ(opener.Wait(DEADLINE), 0);
    }
    {
        CPeerProcess closing({PEER, "closing", "m.B_MNGT"});
        ASSERT_TRUE(closing.WaitForLine("READY closing", DEADLINE));
        closing.Kill(SIGSTOP);
        const CStopwatch watch;
        // A file taken as it is gives up the same way, in the same time.
        auto existing = std::async(std::launch::async,
                                   [] { Vok::Ipc::CNamedFile::OpenExisting(Vok::Ipc::KIND_SEGMENT, "B_MNGT"); });
        EXPECT_THROW(IpcBufferHandle("B", 0), std::runtime_error);
        EXPECT_GE(watch.Elapsed(), Vok::Ipc::OPEN_WAIT);
        EXPECT_LT(watch.Elapsed(), Vok::Ipc::OPEN_WAIT + Milliseconds(3000));
        ASSERT_EQ(existing.wait_for(DEADLINE), std::future_status::ready);
        EXPECT_THROW(existing.get(), std::system_error);
        closing.Kill(SIGCONT);
        ASSERT_TRUE(closing.WriteLine("go"));
        EXPECT_EQ(closing.Wait(DEADLINE), 0);
    }
}

// The last holder removes a file only while the name is still its own.
TEST_F(IpcPeerFaultTest, CloseKeepsAFileThatReplacedItsOwn) {
    const std::string path = m_folder.GetPath() + "/m.S";
    {
        SharedMemorySegment segment("S", 8, 0, nullptr);
        ASSERT_TRUE(segment.WasCreated());
        std::ofstream(m_folder.GetRoot() + "/replacement") << "other";
        ASSERT_EQ(::rename((m_folder.GetRoot() + "/replacement").c_str(), path.c_str()), 0);
    }
    std::ifstream file(path);
    std::string text;
    file >> text;
    EXPECT_EQ(text, "other");
    ::unlink(path.c_str());
}

// A peer rewrites a record size without the lock, as fast as it can, between 64 (one record) and 4
// (sixteen). Each read works from one copy of the descriptor: it answers 0 or record 16 of 4 bytes,
// never 4 bytes of the block and 60 of the next one (block 2, all 0xCD), as a size checked in one
// read and an address taken from another would.
TEST_F(IpcPeerFaultTest, AReadUsesOneCopyOfADescriptorThatAPeerRewrites) {
    IpcBufferHandle reader("B", 0);
    {
        IpcBufferHandle writer("B", 1);
        ASSERT_TRUE(writer.Lock(0));
        writer.buffer.AddBlock(1, 64, 64);
        writer.buffer.AddBlock(2, 64, 64);
        const std::vector<BYTE> ab(64, 0xAB), cd(64, 0xCD);
        writer.WriteBlock(1, ab.data(), 64);
        writer.WriteBlock(2, cd.data(), 64);
        writer.Unlock();
    }
    // Block 1's record size: header 24, descriptor field at 40.
    CPeerProcess peer({PEER, "open", "B", "1", "flip", "B", "64", "64", "4"});
    ASSERT_TRUE(peer.WaitForLine("READY flip", DEADLINE));
    ASSERT_TRUE(reader.Lock(1000));
    int answers[2] = {0, 0};
    int torn = 0;
    std::vector<BYTE> record(64);
    for (const CStopwatch watch; watch.Elapsed() < Milliseconds(1500);) {
        for (int k = 0; k < 1000; ++k) {
            const int result = reader.ReadRecord(1, 16, record.data(), 64);
            ++answers[result];
            if (std::count(record.begin(), record.end(), 0xCD) != 0) ++torn;
        }
    }
    reader.Unlock();
    peer.Kill(SIGKILL);
    EXPECT_EQ(peer.Wait(DEADLINE), 128 + SIGKILL);
    EXPECT_EQ(torn, 0);
    EXPECT_GT(answers[0] + answers[1], 0);
}

// A host reads a block and its times while another process cuts the generation's file short, again
// and again, then for good: every read answers or refuses (0, no time), never throws, and never
// answers 1 with the zeros of a broken view.
TEST_F(IpcPeerFaultTest, AHostReadingAGenerationCutShortIsRefusedNeverThrownAt) {
    constexpr DWORD SIZE = 64;
    IpcBufferHandle writer("B", 1), reader("B", 0);
    const SYSTEMTIME stamp = {2024, 5, 5, 17, 12, 30, 15, 250};
    ASSERT_TRUE(writer.Lock(0));
    writer.buffer.AddBlock(1, SIZE, 8);
    const std::vector<BYTE> bytes(SIZE, 0xA5);
    writer.WriteBlock(1, bytes.data(), SIZE);
    writer.buffer.SetRecordCount(0, SIZE / 8);
    writer.SetBlockTime(1, stamp);
    writer.Unlock();
    const std::string generation = "m.B_" + std::to_string(writer.buffer.GetGeneration());
    int thrown = 0, wrong = 0, refused = 0;
    const auto readAll = [&] {
        try {
            std::vector<BYTE> block(SIZE, 0);
            SYSTEMTIME times[2] = {};
            const DWORD size = reader.GetBlockDataSize(1);
            const int answers[] = {size != 0, reader.ReadBlock(1, block.data(), SIZE), reader.GetBufferTime(times[0]),
                                   reader.GetBlockTime(1, times[1])};
            const bool right[] = {size == SIZE, block == bytes, std::memcmp(&times[0], &stamp, sizeof stamp) == 0,
                                  std::memcmp(&times[1], &stamp, sizeof stamp) == 0};
            for (int k = 0; k < 4; ++k) answers[k] == 1 ? wrong += !right[k] : ++refused;
        } catch (const std::exception&) {
            ++thrown;
        }
    };
    CPeerProcess vandal({PEER, "cut", "2000", generation});
    for (std::optional<std::string> done; !done; done = vandal.ReadLine(Milliseconds(2))) {
        for (int k = 0; k < 50; ++k) {
            if (!reader.Lock(1000)) {
                ++refused;
                continue;
            }
            readAll();
            reader.Unlock();
        }
    }
    EXPECT_EQ(vandal.Wait(DEADLINE), 0);
    EXPECT_EQ(thrown, 0);
    EXPECT_EQ(wrong, 0);
    EXPECT_GT(refused, 0);  // the cuts were met, at the hold or in it
    ASSERT_TRUE(reader.Lock(1000));
    ASSERT_EQ(CPeerProcess({PEER, "truncate", generation, "0"}).Wait(DEADLINE), 0);
    refused = 0;
    readAll();
    EXPECT_EQ(refused, 4);
    EXPECT_EQ(thrown, 0);
    EXPECT_FALSE(reader.GetBlockTime(1).IsValid());
    EXPECT_EQ(reader.GetLastRecord(1), 0u);
    reader.Unlock();
    // The management file cut short in a hold: what was read from it is zeros, and said so.
    IpcBufferHandle other("C", 1);
    ASSERT_TRUE(other.Lock(1000));
    ASSERT_EQ(CPeerProcess({PEER, "truncate", "m.C_MNGT", "0"}).Wait(DEADLINE), 0);
    EXPECT_EQ(other.buffer.GetGeneration(), 0u);
    EXPECT_FALSE(other.buffer.IsIntact());
    other.Unlock();
    // A generation cut inside its last page, where no access faults: its size tells.
    IpcBufferHandle inPage("E", 1);
    ASSERT_TRUE(inPage.Lock(1000));
    inPage.buffer.AddBlock(1, 64, 64);
    ASSERT_EQ(CPeerProcess({PEER, "truncate", "m.E_" + std::to_string(inPage.buffer.GetGeneration()), "100"}).Wait(DEADLINE), 0);
    EXPECT_FALSE(inPage.buffer.IsIntact());
    inPage.Unlock();
    // A block across a page that the cut takes: nothing of it is copied, not even its first page.
    IpcBufferHandle paged("D", 1);
    ASSERT_TRUE(paged.Lock(1000));
    paged.buffer.AddBlock(1, 8192, 8192);
    paged.WriteBlock(1, std::vector<BYTE>(8192, 0xA5).data(), 8192);
    paged.buffer.SetRecordCount(0, 1);
    ASSERT_EQ(CPeerProcess({PEER, "truncate", "m.D_" + std::to_string(paged.buffer.GetGeneration()), "4096"}).Wait(DEADLINE), 0);
    std::vector<BYTE> copy(8192, 0);
    EXPECT_EQ(paged.ReadBlock(1, copy.data(), 8192), 0);
    EXPECT_EQ(copy, std::vector<BYTE>(8192, 0));
    paged.Unlock();
}

// Block numbers are checked with or without a hold.
TEST_F(IpcPeerFaultTest, ReadBlockChecksItsBlockNumberWithoutAHold) {
    IpcBufferHandle writer("B", 1);
    ASSERT_TRUE(writer.Lock(0));
    writer.buffer.AddBlock(1, 8, 8);
    writer.Unlock();
    BYTE bytes[8] = {};
    EXPECT_EQ(writer.ReadBlock(1, bytes, sizeof bytes), 1);
    EXPECT_THROW(writer.ReadBlock(2, bytes, sizeof bytes), std::out_of_range);
    EXPECT_THROW(writer.ReadBlock(0, bytes, sizeof bytes), std::out_of_range);
    ASSERT_TRUE(writer.Lock(0));
    EXPECT_THROW(writer.ReadBlock(2, bytes, sizeof bytes), std::out_of_range);
    writer.Unlock();
    // A block count that a peer wrote bounds them no further than the mapping.
    CPeerProcess poke({PEER, "open", "B", "1", "poke", "B", "0", "4000000000"});
    EXPECT_EQ(poke.Wait(DEADLINE), 0);
    EXPECT_THROW(writer.ReadBlock(3999999999u, bytes, sizeof bytes), std::out_of_range);
}

}  // namespace
