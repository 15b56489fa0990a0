#include "definitions/project/project_file_ops.h"

#include <gtest/gtest.h>
#include <sys/resource.h>

#include <csignal>
#include <cstring>
#include <string>
#include <vector>

#include "compat/unit_library.h"
#include "definitions/header/hdr_list.h"
#include "definitions/file/his_list.h"
#include "definitions/lists/sys_def_list.h"
#include "definitions/file/vok_file.h"
#include "platform/log.h"
#include "tests/support/block_file_samples.h"
#include "tests/support/file_helpers.h"
#include "tests/support/hdr_payloads.h"

namespace {

using Vok::Test::CLeBytes;
using Vok::Test::CTempFolder;
using Vok::Test::Payload;
using Vok::Test::ReadFileBytes;
using Vok::Test::ValueAt;
using Vok::Test::WriteFileBytes;

constexpr size_t kHistoryBytes = 20 * 564;

TEST(ProjectTexts, KindsRunModesAndErrors) {
    struct sRow {
        int value;
        const char* kind;
        const char* mode;
        const char* error;
    };
    const sRow rows[] = {
        {0, "Undefined", "Undefined", ""},
        {1, "Template Database", "Online", "Unable to load database"},
        {2, "Recorded Database", "Replay", "Unable to save database"},
        {3, "Results Database", "Process", "Unable to backup database"},
        {4, "Unknown", "Unknown", "Unable to unlock database"},
        {5, "Unknown", "Unknown", "Unknown error"},
        {-1, "Unknown", "Unknown", "Unknown error"},
    };
    for (const sRow& row : rows) {
        SCOPED_TRACE(row.value);
        EXPECT_STREQ(GetDatabaseKindName(row.value).GetString(), row.kind);
        EXPECT_STREQ(GetRunModeName(row.value).GetString(), row.mode);
        EXPECT_STREQ(GetDatabaseErrorText(row.value).GetString(), row.error);
    }
}

// The old block 1: per entry the record id, the payload of its fixed size, two link words.
CLeBytes& OldEntry(CLeBytes& block, int32_t id, const Payload& payload) {
    return block.I32(id).Append(payload.Bytes()).I32(-1).I32(-1);
}

Payload& Angle(Payload& p, size_t offset, int32_t d, int32_t m, float s, char hemisphere) {
    p.I32(offset, d).I32(offset + 4, m).F32(offset + 8, s);
    return p.Text(offset + 12, std::string(1, hemisphere));
}

// An old project by hand: header definitions in block 1 under old record ids, history in block 8.
std::vector<uint8_t> OldProject() {
    CLeBytes headers;
    OldEntry(headers, 1, Payload(56).Text(0, "L-7").I32(20, 3).Text(24, "Area 5"));
    OldEntry(headers, 153, Payload(48).Text(0, "Feet").F64(40, 0.3048));
    OldEntry(headers, 13, Payload(72).I32(0, 1).Text(4, "WGS84").Text(23, "WGS 84").F64(48, 6378137.0)
                              .F64(56, 1.0).F64(64, 298.257223563));
    OldEntry(headers, 13, Payload(72).I32(0, 2).Text(4, "ED50").Text(23, "Intl 1924").F64(48, 6378388.0)
                              .F64(56, 1.0).F64(64, 297.0));
    OldEntry(headers, 14, Payload(72).I32(0, 1).I32(4, 2).I32(8, 3).F64(16, -87.0));
    Payload object(2880);
    object.I32(0, 1).Text(4, "Ship").I32(40, 1).I32(76, 2).I32(80, 5).I32(108, 6);
    OldEntry(headers, 25, object);
    OldEntry(headers, 160, Payload(16).I32(0, 5).F64(8, 1.5));
    OldEntry(headers, 16, Payload(80).I32(0, 13));
    Payload lambert(88);
    Angle(lambert, 0, 52, 30, 0.0f, 'S');
    Angle(lambert, 16, 5, 0, 0.0f, 'E');
    OldEntry(headers, 19, lambert);
    OldEntry(headers, 151, Payload(8).I32(0, 6).I32(4, 20));
    OldEntry(headers, 164, Payload(72).I32(0, 5).I32(4, 31));
    OldEntry(headers, 181, Payload(88).I32(0, 6).I32(4, 32));
    OldEntry(headers, 199, Payload(104).I32(0, 7).I32(4, 33));
    OldEntry(headers, 125, Payload(4));
    CLeBytes history;
    history.I32(3).Time(2001, 2, 3, 4, 5, 6, 0).U32(77).Text("Old entry", 80);
    CLeBytes file;
    file.I32(2).Block(1, headers).Block(8, history);
    return file;
}

class CProjectFileTest : public ::testing::Test {
protected:
    void TearDown() override {
        // Reading with the upgrade sets the process's units from the project.
        SetUnit(UNIT_METERS);
        SetAngUnit(ANGUNIT_DEGREES);
    }
    CVOKFile& OpenWith(const std::vector<uint8_t>& bytes) {
        WriteFileBytes(m_path, bytes);
        m_file.Abort();
        EXPECT_TRUE(m_file.Open(m_path.c_str(), CFile::modeReadWrite));
        return m_file;
    }
    void SetReadOnly(bool readOnly) {
        CFileStatus status;
        ASSERT_TRUE(CFile::GetStatus(m_path.c_str(), status));
        status.m_attribute = readOnly ? CFile::readOnly : CFile::normal;
        CFile::SetStatus(m_path.c_str(), status);
    }
    bool IsReadOnly() {
        CFileStatus status;
        return CFile::GetStatus(m_path.c_str(), status) && (status.m_attribute & CFile::readOnly) != 0;
    }

    CTempFolder m_folder;
    std::string m_path = m_folder / "project.vok";
    CVOKFile m_file;
};

std::vector<int32_t> Ids(const CHdrList& list) {
    std::vector<int32_t> ids;
    for (const sHdrEntry& e : list) ids.push_back(e.recordId);
    return ids;
}

TEST_F(CProjectFileTest, AnOldProjectReadsIntoCurrentRecordsAndWritesBackUnchanged) {
    CHdrList headers;
    ASSERT_EQ(headers.ReadBlock(OpenWith(OldProject()), 0, 1), 1);
    ASSERT_EQ(Ids(headers), (std::vector<int32_t>{153, 13, 13, 16, 151, 176, 267, 269, 270, 268, 206, 228, 215,
                                                  258, 258, 258, 188, 246, 247, 20}));
    EXPECT_EQ(ValueAt<int32_t>(headers.GetRecord(258, 2), 8), 6);  // the GNSS system of the record 181
    EXPECT_DOUBLE_EQ(GetConvToMeters(), 0.3048);
    EXPECT_STREQ(GetUnitName(), "Feet");
    const uint8_t* line = headers.GetRecord(176, 1);
    EXPECT_STREQ(reinterpret_cast<const char*>(line), "L-7");
    EXPECT_EQ(ValueAt<int32_t>(line, 84), 3);
    EXPECT_STREQ(reinterpret_cast<const char*>(line + 88), "Area 5");
    const uint8_t* shift = headers.GetRecord(206, 1);
    EXPECT_EQ(ValueAt<int32_t>(shift, 8), 1);
    EXPECT_EQ(ValueAt<int32_t>(shift, 16), 1);
    EXPECT_EQ(ValueAt<double>(shift, 32), -87.0);
    const uint8_t* chart = headers.GetRecord(228, 1);
    EXPECT_EQ(ValueAt<int32_t>(chart, 8), -999);
    EXPECT_EQ(ValueAt<int32_t>(chart, 16 + 4), -3);      // local reference word resolved
    EXPECT_EQ(ValueAt<int32_t>(chart, 16 + 280), 1000);  // default owner
    EXPECT_EQ(ValueAt<double>(headers.GetRecord(20, 1), 64), -52.5);
    EXPECT_EQ(ValueAt<double>(headers.GetRecord(20, 1), 72), 5.0);
    std::vector<sShapeItem> items;
    ASSERT_TRUE(headers.GetVesselShape(1, items));
    ASSERT_EQ(items.size(), 2u);
    EXPECT_EQ(ValueAt<int32_t>(items[1].bytes, 0), 6);
    for (const sHdrEntry& e : headers) EXPECT_EQ(e.eventLink, -1);
    CHisList history;
    EXPECT_EQ(history.ReadBlock(m_file), 8);
    m_file.Close();

    // The current project, written and read again, holds the same records.
    const std::string current = m_folder / "current.vok";
    CVOKFile out;
    ASSERT_TRUE(out.Open(current.c_str(), CFile::modeCreate | CFile::modeReadWrite));
    const int32_t count = 2;
    out.Write(&count, sizeof count);
    headers.WriteBlock(out, 0);
    history.WriteBlock(out);
    out.SeekToBegin();
    CHdrList again;
    ASSERT_EQ(again.ReadBlock(out, 0, 1), 1);
    std::vector<uint8_t> a(headers.GetImageSize()), b(again.GetImageSize());
    headers.WriteImage(a.data());
    again.WriteImage(b.data());
    EXPECT_EQ(a, b);
    CHisList historyAgain;
    EXPECT_EQ(historyAgain.ReadBlock(out), 35);
    EXPECT_EQ(std::memcmp(historyAgain.GetData(), history.GetData(), kHistoryBytes), 0);
    EXPECT_EQ(historyAgain[3].value, 77u);
}

TEST_F(CProjectFileTest, VersionAndSurveyUnitOfAProject) {
    CVOKFile& file = OpenWith(OldProject());
    CString version;
    file.GetVersionString(version);
    EXPECT_STREQ(version.GetString(), "6.20.0002");
    EXPECT_EQ(file.GetBuildNumber(), 2);
    file.Close();
    SetReadOnly(true);
    CVOKFile reader;
    CString unit;
    reader.GetSurveyUnitName(unit, m_path.c_str());
    EXPECT_STREQ(unit.GetString(), "Feet");
    EXPECT_TRUE(IsReadOnly());
    EXPECT_FALSE(reader.IsOpen());

    const std::vector<uint8_t> noUnit = CLeBytes().I32(1).Block(33, CLeBytes().I32(8).U8(0).I32(151).I32(7).I32(1).I32(-1));
    WriteFileBytes(m_folder / "plain.vok", noUnit);
    reader.GetSurveyUnitName(unit, (m_folder / "plain.vok").c_str());
    EXPECT_STREQ(unit.GetString(), GetUnitName(UNIT_METERS));
    reader.GetSurveyUnitName(unit, (m_folder / "missing.vok").c_str());
    EXPECT_TRUE(unit.IsEmpty());
}

// A history block 8 of one entry and the blocks around it.
std::vector<uint8_t> Block8Project(int32_t count, const std::vector<uint8_t>& junk, int32_t historyId = 8) {
    CLeBytes history;
    history.I32(3).Time(2001, 2, 3, 4, 5, 6, 0).U32(77).Text("Old entry", 80);
    CLeBytes file;
    file.I32(count).Block(26, CLeBytes().I32(7)).Block(historyId, history).Block(5, CLeBytes().I32(1).I32(2)).Append(junk);
    return file;
}

struct sBlock {
    int32_t id;
    int32_t size;
};

std::vector<sBlock> Blocks(const std::vector<uint8_t>& bytes) {
    std::vector<sBlock> blocks;
    for (size_t at = 4; at + 8 <= bytes.size();) {
        const sBlock b{ValueAt<int32_t>(bytes.data(), at), ValueAt<int32_t>(bytes.data(), at + 4)};
        blocks.push_back(b);
        at += 8 + static_cast<uint32_t>(b.size);
    }
    return blocks;
}

TEST_F(CProjectFileTest, AHistoryEntryMovesAnOldHistoryToTheEnd) {
    struct sRow {
        const char* name;
        int32_t storedCount;
        std::vector<uint8_t> junk;
        bool oldSeen;  // a count that stops before block 8 hides it from the history reader
        int32_t historyId = 8;
    };
    const sRow rows[] = {{"exact count", 3, {}, true}, {"junk after the blocks", 3, {1, 2, 3, 4, 5}, true},
                         {"stale low count", 1, {}, false}, {"stale high count", 9, {}, true},
                         {"zero bytes after the blocks", 3, std::vector<uint8_t>(8, 0), true},
                         {"a page of zero bytes after them", 3, std::vector<uint8_t>(4096, 0), true},
                         {"an unused block beyond a stale count", 1, {}, false, 0}};
    for (const sRow& row : rows) {
        SCOPED_TRACE(row.name);
        WriteFileBytes(m_path, Block8Project(row.storedCount, row.junk, row.historyId));
        CVOKFile file;
        ASSERT_EQ(file.AddHistoryEntry(m_path.c_str(), 5, 99), 1);
        const std::vector<uint8_t> bytes = ReadFileBytes(m_path);
        EXPECT_EQ(ValueAt<int32_t>(bytes.data(), 0), 4);
        const std::vector<sBlock> blocks = Blocks(bytes);
        ASSERT_EQ(blocks.size(), 4u);
        EXPECT_EQ(blocks[0].id, 26);
        EXPECT_EQ(blocks[1].id, row.oldSeen ? 0 : row.historyId);
        EXPECT_EQ(blocks[1].size, 104);
        EXPECT_EQ(blocks[2].id, 5);
        EXPECT_EQ(blocks[3].id, 35);
        EXPECT_EQ(bytes.size(), 4 + 12 + 112 + 16 + 8 + kHistoryBytes);
        CVOKFile reader;
        ASSERT_TRUE(reader.Open(m_path.c_str(), CFile::modeRead));
        CHisList history;
        EXPECT_EQ(history.ReadBlock(reader), 35);
        EXPECT_EQ(history[5].value, 99u);
        EXPECT_EQ(history[5].version, 1);
        EXPECT_EQ(history[3].value, row.oldSeen ? 77u : 0u);
        EXPECT_EQ(history.GetUsedCount(), row.oldSeen ? 2u : 1u);
    }
}

TEST_F(CProjectFileTest, AHistoryEntryRewritesAWholeBlock35InPlace) {
    CHisList history;
    history.SetEntry(4, 1, nullptr, TRUE);
    CVOKFile& file = OpenWith({});
    const int32_t count = 2;
    file.Write(&count, sizeof count);
    history.WriteBlock(file);
    file.Write(CLeBytes().I32(26).I32(4).I32(7).Bytes().data(), 12);
    file.Close();
    const size_t length = ReadFileBytes(m_path).size();
    SetReadOnly(true);
    ASSERT_EQ(CVOKFile().AddHistoryEntry(m_path.c_str(), 6, 12), 1);
    EXPECT_TRUE(IsReadOnly());
    const std::vector<uint8_t> bytes = ReadFileBytes(m_path);
    EXPECT_EQ(bytes.size(), length);
    EXPECT_EQ(ValueAt<int32_t>(bytes.data(), 0), 2);
    EXPECT_EQ(ValueAt<int32_t>(bytes.data(), 4), 35);
    EXPECT_EQ(ValueAt<int32_t>(bytes.data(), 12 + 6 * 564 + 8), 12);  // entry 6's value
    EXPECT_EQ(ValueAt<int32_t>(bytes.data(), 12 + 4 * 564 + 4), 4);   // entry 4 kept
}

TEST_F(CProjectFileTest, AShortBlock35IsClearedAndTheHistoryAppended) {
    CLeBytes entry;
    entry.I32(1).I32(3).U32(5).Zeros(564 - 12);
    WriteFileBytes(m_path, CLeBytes().I32(2).Block(35, entry).Block(26, CLeBytes().I32(7)));
    ASSERT_EQ(CVOKFile().AddHistoryEntry(m_path.c_str(), 7, 1), 1);
    const std::vector<uint8_t> bytes = ReadFileBytes(m_path);
    const std::vector<sBlock> blocks = Blocks(bytes);
    ASSERT_EQ(blocks.size(), 3u);
    EXPECT_EQ(blocks[0].id, 0);
    EXPECT_EQ(blocks[0].size, 564);
    EXPECT_EQ(blocks[2].id, 35);
    EXPECT_EQ(blocks[2].size, static_cast<int32_t>(kHistoryBytes));
    EXPECT_EQ(ValueAt<int32_t>(bytes.data(), 0), 3);

    // A whole block 35 beyond a stale count is not the history; the new one is found after it.
    WriteFileBytes(m_path, CLeBytes().I32(1).Block(26, CLeBytes().I32(7)).Block(35, CLeBytes().Zeros(kHistoryBytes)));
    ASSERT_EQ(CVOKFile().AddHistoryEntry(m_path.c_str(), 7, 1), 1);
    CVOKFile reader;
    ASSERT_TRUE(reader.Open(m_path.c_str(), CFile::modeRead));
    CHisList history;
    EXPECT_EQ(history.ReadBlock(reader), 35);
    EXPECT_EQ(history[7].action, 7);

    // A file without blocks (here without even a count) gets the count and the history block.
    for (const std::vector<uint8_t>& start : {std::vector<uint8_t>{}, std::vector<uint8_t>{0, 0}}) {
        WriteFileBytes(m_path, start);
        ASSERT_EQ(CVOKFile().AddHistoryEntry(m_path.c_str(), 7, 1), 1);
        const std::vector<uint8_t> fresh = ReadFileBytes(m_path);
        ASSERT_EQ(fresh.size(), 4 + 8 + kHistoryBytes);
        EXPECT_EQ(ValueAt<int32_t>(fresh.data(), 0), 1);
        EXPECT_EQ(ValueAt<int32_t>(fresh.data(), 4), 35);
    }
}

TEST_F(CProjectFileTest, AFailureLeavesTheFileReadOnlyAndItsHistoryWhole) {
    const std::vector<uint8_t> original = Block8Project(3, {});
    WriteFileBytes(m_path, original);
    SetReadOnly(true);
    {
        // Another holder denies writing: the open fails.
        CFile holder;
        ASSERT_TRUE(holder.Open(m_path.c_str(), CFile::modeRead | CFile::shareDenyWrite));
        EXPECT_EQ(CVOKFile().AddHistoryEntry(m_path.c_str(), 5, 1), 0);
        EXPECT_TRUE(IsReadOnly());
    }
    // The file may not grow past a limit: appending the history fails after the open.
    auto addWithSizeLimit = [&](rlim_t limit) {
        struct rlimit saved {};
        EXPECT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
        const auto previous = std::signal(SIGXFSZ, SIG_IGN);
        struct rlimit limited = saved;
        limited.rlim_cur = limit;
        EXPECT_EQ(setrlimit(RLIMIT_FSIZE, &limited), 0);
        const int result = CVOKFile().AddHistoryEntry(m_path.c_str(), 5, 1);
        setrlimit(RLIMIT_FSIZE, &saved);
        std::signal(SIGXFSZ, previous);
        return result;
    };
    ZLog::Init(3, ZLog::OPTION_SIGNAL, ZLog::FLAG_NO_FILE | ZLog::FLAG_NO_DEBUGGER, nullptr, false, 0, false, false);
    std::vector<std::string> logged;
    auto connection = ZLog::LogSignal().connect([&](const CVOKTime&, ZLog::eSeverity s, const std::string& t) {
        logged.push_back((s == ZLog::Error ? "E " : "? ") + t);
    });
    const int result = addWithSizeLimit(original.size());
    connection.disconnect();
    ZLog::Shutdown();
    EXPECT_EQ(result, 0);
    EXPECT_EQ(logged, std::vector<std::string>{"E Unable to write to database " + m_path});
    EXPECT_TRUE(IsReadOnly());
    EXPECT_EQ(ReadFileBytes(m_path), original);

    // A block 35 rewritten in place whose write stops half-way: the blocks after it stay reachable.
    SetReadOnly(false);
    WriteFileBytes(m_path, CLeBytes().I32(2).Block(35, CLeBytes().Zeros(kHistoryBytes)).Block(26, CLeBytes().I32(7)));
    EXPECT_EQ(addWithSizeLimit(4 + 8 + 100), 0);
    const std::vector<sBlock> blocks = Blocks(ReadFileBytes(m_path));
    ASSERT_EQ(blocks.size(), 2u);
    EXPECT_EQ(blocks[0].id, 35);
    EXPECT_EQ(blocks[1].id, 26);
    EXPECT_EQ(CVOKFile().AddHistoryEntry((m_folder / "missing.vok").c_str(), 5, 1), 0);
}

TEST_F(CProjectFileTest, TheBaseOfANewProjectIsItsHeadersSystemsAndAFreshHistory) {
    CVOKFile& source = OpenWith(OldProject());
    CVOKFile target;
    const std::string targetPath = m_folder / "new.vok";
    ASSERT_TRUE(target.Open(targetPath.c_str(), CFile::modeCreate | CFile::modeReadWrite));
    EXPECT_EQ(source.CopyHeaderAndSystems(nullptr, 0, 1, 1), 0);
    const int32_t count = 3;
    target.Write(&count, sizeof count);
    EXPECT_EQ(source.CopyHeaderAndSystems(&target, 0, 1, 1), 3);
    target.Close();
    const std::vector<uint8_t> bytes = ReadFileBytes(targetPath);
    const std::vector<sBlock> blocks = Blocks(bytes);
    ASSERT_EQ(blocks.size(), 3u);
    EXPECT_EQ(blocks[0].id, 33);
    EXPECT_EQ(blocks[1].id, 43);
    EXPECT_EQ(blocks[1].size, 0);
    EXPECT_EQ(blocks[2].id, 35);
    ASSERT_TRUE(target.Open(targetPath.c_str(), CFile::modeRead));
    CHisList history;
    EXPECT_EQ(history.ReadBlock(target), 35);
    EXPECT_EQ(history.GetUsedCount(), 1u);
    EXPECT_EQ(history[2].action, 2);
    EXPECT_EQ(history[3].action, 0);
    CHdrList headers;
    EXPECT_EQ(headers.ReadBlock(target, 0, 0), 1);
    EXPECT_TRUE(headers.HasRecord(176));
}

}  // namespace
