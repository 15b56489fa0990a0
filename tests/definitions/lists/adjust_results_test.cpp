// The computation's result records, their look-up in a real shared buffer, the acceptance rule and
// the status texts.
#include "definitions/lists/adjust_results.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "platform/ipc_buffer_handle.h"
#include "tests/support/ipc_test_folder.h"

namespace {

std::vector<uint8_t> Bytes(const void* p, size_t n) {
    const auto* b = static_cast<const uint8_t*>(p);
    return std::vector<uint8_t>(b, b + n);
}

void Put32(std::vector<uint8_t>& image, size_t offset, uint32_t v) {
    for (int k = 0; k < 4; ++k) image[offset + k] = static_cast<uint8_t>(v >> (8 * k));
}

TEST(AdjustResultRecords, InitialisersWriteTheirFieldsByHand) {
    sAdjustResult result;
    std::memset(&result, 0xAB, sizeof(result));
    EXPECT_EQ(result.Init(), 258);
    std::vector<uint8_t> expected(496, 0);
    Put32(expected, 0, 496);
    Put32(expected, 4, 258);
    Put32(expected, 12, 2);
    Put32(expected, 348, 0x3FF00000);  // 1.0 at 344, high word
    Put32(expected, 356, 0x3FF00000);  // 1.0 at 352
    EXPECT_EQ(Bytes(&result, sizeof(result)), expected);

    sAdjustAuxRecord aux;
    std::memset(&aux, 0xAB, sizeof(aux));
    EXPECT_EQ(aux.Init(), 2);
    std::vector<uint8_t> auxBytes(232, 0);
    Put32(auxBytes, 0, 232);
    Put32(auxBytes, 4, 2);
    Put32(auxBytes, 32, 2);
    Put32(auxBytes, 52, 0xBFF00000);  // -1.0 at 48
    Put32(auxBytes, 192, 0xFFFFFFFF);
    Put32(auxBytes, 196, 0xFFFFFFFF);
    Put32(auxBytes, 200, 0xFFFFFFFF);
    EXPECT_EQ(Bytes(&aux, sizeof(aux)), auxBytes);
    aux.word32 = 9;
    aux.byte7 = 3;
    aux.value48 = 5.0;
    aux.refs192[0] = 4;
    aux.Reset();
    EXPECT_EQ(aux.word32, 2u);
    EXPECT_EQ(aux.byte7, 0);
    EXPECT_EQ(aux.value48, -1.0);
    EXPECT_EQ(aux.refs192[0], 4);

    sAdjustResultRecordEx ex;
    std::memset(&ex, 0xAB, sizeof(ex));
    EXPECT_EQ(ex.Init(), 258);
    EXPECT_EQ(Bytes(&ex.record.header, 24), std::vector<uint8_t>(24, 0));
    EXPECT_EQ(Bytes(&ex.record.result, 496), expected);
    EXPECT_EQ(Bytes(ex.record.zero520, 32), std::vector<uint8_t>(32, 0));
    EXPECT_EQ(Bytes(ex.zero552, 16), std::vector<uint8_t>(16, 0));
}

TEST(AdjustResultRecords, AcceptanceByStrictness) {
    struct sCase {
        int strictness;
        uint32_t status;
        int expected;
    };
    const sCase cases[] = {
        {0, 0xFFFFFFFF, 1}, {-1, 2, 1},         {1, 0, 1},          {1, 1, 1},
        {1, 2, 0},          {1, 3, 0},          {1, 0x10000002, 1}, {1, 0x200000, 0},
        {2, 0x200000, 1},   {2, 0x200001, 0},   {1, 0x200001, 0},   {3, 0x200000, 1},
        {2, 0x20000000, 0},
    };
    for (const sCase& c : cases) {
        EXPECT_EQ(IsResultAccepted(c.strictness, c.status), c.expected) << c.strictness << " " << std::hex << c.status;
    }
}

TEST(AdjustStatusTexts, ComputationStatus) {
    struct sCase {
        uint32_t status;
        const char* separator;
        const char* expected;
    };
    const sCase cases[] = {
        {0, ", ", "OK"},
        {0x11, ", ", "No degrees of freedom, LSA singular at node 7"},
        {0x20, ", ", "No convergence below 0.25"},
        {0x1FF, "|",
         "No degrees of freedom|No unknowns|No observations|No solution|LSA singular at node 7|"
         "No convergence below 0.25|No reference time|F-test failure|Large shift"},
        {0x600, ", ", ""},
        {0x180, " ", "F-test failure Large shift"},
    };
    for (const sCase& c : cases) {
        EXPECT_EQ(std::string(GetAdjustStatusText(c.status, 7, 0.25f, c.separator)), c.expected) << c.status;
    }
    EXPECT_EQ(std::string(GetAdjustStatusText(0x20, 0, 1.5e-6f, ",")), "No convergence below 1.5E-06");
}

TEST(AdjustStatusTexts, NodeStatusAndState) {
    struct sCase {
        uint32_t status;
        const char* text;
        const char* state;
    };
    const sCase cases[] = {
        {0, "OK", "OK"},
        {0x30000001, "[Predicted] No check", "Predicted"},
        {0x20000000, "[Old]", "Old"},
        {0xC0000000, "[Invalid]", "Invalid"},
        {0x80000002, "[Reset] No data", "Reset"},
        {0x00380003, "Old data No rotation No check No data Disconnected", ""},
        {0x00080101, "No check Bad data Disconnected", ""},
        {0x0F000000, "", ""},
        {0x00040400, "W-test failure Below mask", ""},
    };
    for (const sCase& c : cases) {
        EXPECT_EQ(std::string(GetAdjustNodeStatusText(c.status, " ")), c.text) << std::hex << c.status;
        EXPECT_EQ(std::string(GetAdjustNodeStateText(c.status)), c.state) << std::hex << c.status;
    }
    EXPECT_EQ(std::string(GetAdjustNodeStatusText(0x0000FF00, ";")),
              "Bad data;Snooped;W-test failure;F-test failure;No range;No correction;Wrong IODE;No ephemeris");
}

TEST(AdjustStatusTexts, DopNames) {
    const char* const expected[] = {"N/A", "GDOP", "PDOP", "HDOP", "TDOP", "VDOP", "user", "RTCM", "N/A"};
    for (int kind = -1; kind <= 7; ++kind) EXPECT_EQ(std::string(GetDopName(kind)), expected[kind + 1]) << kind;
}

TEST(AdjustStatusTexts, SetStatusKeepsOneParameterisedFailure) {
    struct sCase {
        uint32_t status;
        uint32_t expectedStatus;
        uint32_t expectedParameter;
    };
    const sCase cases[] = {
        {0x01, 0x01, 0},
        {0x11, 0x11, 7},
        {0x31, 0x11, 7},
        {0x24, 0x24, 0x3E800000},  // 0.25f
    };
    for (const sCase& c : cases) {
        sAdjustStatus record{0xFFFF, 0xFFFF};
        SetAdjustStatus(record, c.status, 7, 0.25f);
        EXPECT_EQ(record.status, c.expectedStatus) << c.status;
        EXPECT_EQ(record.parameter, c.expectedParameter) << c.status;
    }
}

class AdjustResultBufferTest : public Vok::Test::IpcTest {
protected:
    // Appends a header block naming the set-up and a block of results (node id, status).
    static void AddPair(IpcBufferHandle& host, int32_t setupId, std::vector<std::pair<uint32_t, uint32_t>> results) {
        sAdjustResultHeader header{};
        std::memset(header.bytes0, 0x5A, sizeof(header.bytes0));
        header.setupId = setupId;
        const DWORD h = host.buffer.AddBlock(100, sizeof(header), sizeof(header)) + 1;
        host.WriteRecord(h, 1, &header, sizeof(header));
        host.buffer.SetRecordCount(h - 1, 1);
        const auto n = static_cast<DWORD>(results.size());
        const DWORD r = host.buffer.AddBlock(101, n * sizeof(sAdjustResult), sizeof(sAdjustResult)) + 1;
        for (DWORD k = 0; k < n; ++k) {
            sAdjustResult record;
            record.Init();
            record.nodeId = results[k].first;
            record.status = results[k].second;
            record.values16[0] = static_cast<uint8_t>(10 + k);
            host.WriteRecord(r, k + 1, &record, sizeof(record));
        }
        host.buffer.SetRecordCount(r - 1, n);
    }
};

TEST_F(AdjustResultBufferTest, ALaterPairOfTheSetupGivesTheAcceptedResult) {
    IpcBufferHandle host("RES", 1);
    ASSERT_TRUE(host.Lock());
    AddPair(host, 3, {{7, 0}});
    AddPair(host, 5, {{4, 0}, {7, 2}});
    AddPair(host, 5, {{7, 0}, {8, 0x10000002}});
    host.Unlock();

    IpcBufferHandle reader("RES", 0);
    ASSERT_TRUE(reader.Lock());
    sAdjustResultHeader header{};
    sAdjustResult result{};
    EXPECT_EQ(FindResult(reader, 5, 7, &header, &result, 1), 1);
    EXPECT_EQ(result.nodeId, 7u);
    EXPECT_EQ(result.status, 0u);
    EXPECT_EQ(result.values16[0], 10);  // the first record of the third pair
    EXPECT_EQ(header.setupId, 5);
    EXPECT_EQ(header.bytes0[31], 0x5A);
    EXPECT_EQ(FindResult(reader, 5, 7, nullptr, &result, 0), 1);
    EXPECT_EQ(result.values16[0], 11);  // strictness 0 takes the first found
    EXPECT_EQ(FindResult(reader, 5, 8, nullptr, nullptr, 1), 1);
    EXPECT_EQ(FindResult(reader, 3, 4, nullptr, nullptr, 1), 0);
    EXPECT_EQ(FindResult(reader, 9, 7, nullptr, nullptr, 0), 0);
    EXPECT_EQ(FindResult(reader, 5, 0, nullptr, nullptr, 0), 0);  // node 0 is nowhere
    reader.Unlock();
}

TEST_F(AdjustResultBufferTest, MissingBlocksAndOversizedRecordsAreNotFound) {
    IpcBufferHandle host("ODD", 1);
    ASSERT_TRUE(host.Lock());
    AddPair(host, 1, {{7, 0}});
    // A header block with records larger than a header: refused, its pair skipped.
    const DWORD big = host.buffer.AddBlock(100, 64, 64);
    std::vector<uint8_t> wide(64, 0);
    Put32(wide, 32, 2);
    host.WriteRecord(big + 1, 1, wide.data(), 64);
    host.buffer.SetRecordCount(big, 1);
    host.buffer.AddBlock(101, sizeof(sAdjustResult), sizeof(sAdjustResult));
    // Results of set-up 3 larger than a result record, and a count beyond the block.
    const DWORD h3 = host.buffer.AddBlock(100, sizeof(sAdjustResultHeader), sizeof(sAdjustResultHeader));
    sAdjustResultHeader header3{};
    header3.setupId = 3;
    host.WriteRecord(h3 + 1, 1, &header3, sizeof(header3));
    const DWORD r3 = host.buffer.AddBlock(101, 2 * 512, 512);
    host.buffer.SetRecordCount(r3, 1000);
    // A last header of set-up 4 without its results block.
    const DWORD h4 = host.buffer.AddBlock(100, sizeof(sAdjustResultHeader), sizeof(sAdjustResultHeader));
    sAdjustResultHeader header4{};
    header4.setupId = 4;
    host.WriteRecord(h4 + 1, 1, &header4, sizeof(header4));
    host.Unlock();

    IpcBufferHandle reader("ODD", 0);
    ASSERT_TRUE(reader.Lock());
    EXPECT_EQ(FindResult(reader, 1, 7, nullptr, nullptr, 1), 1);
    EXPECT_EQ(FindResult(reader, 2, 0, nullptr, nullptr, 0), 0);
    EXPECT_EQ(FindResult(reader, 3, 0, nullptr, nullptr, 0), 0);
    EXPECT_EQ(FindResult(reader, 4, 0, nullptr, nullptr, 0), 0);
    sAdjustResultHeaderShort shortHeader{};
    EXPECT_EQ(FindResultShort(reader, 1, 7, &shortHeader, nullptr, 1), 0);  // 40-byte headers do not fit
    reader.Unlock();
}

TEST_F(AdjustResultBufferTest, ShortHeadersNameTheSetupAtTwenty) {
    IpcBufferHandle host("SHORT", 1);
    ASSERT_TRUE(host.Lock());
    sAdjustResultHeaderShort header{};
    header.setupId = 6;
    const DWORD h = host.buffer.AddBlock(100, sizeof(header), sizeof(header));
    host.WriteRecord(h + 1, 1, &header, sizeof(header));
    const DWORD r = host.buffer.AddBlock(101, sizeof(sAdjustResult), sizeof(sAdjustResult));
    sAdjustResult record;
    record.Init();
    record.nodeId = 12;
    record.status = 1;
    host.WriteRecord(r + 1, 1, &record, sizeof(record));
    host.buffer.SetRecordCount(r, 1);
    host.Unlock();

    IpcBufferHandle reader("SHORT", 0);
    ASSERT_TRUE(reader.Lock());
    sAdjustResultHeaderShort out{};
    sAdjustResult result{};
    EXPECT_EQ(FindResultShort(reader, 6, 12, &out, &result, 1), 1);
    EXPECT_EQ(out.setupId, 6);
    EXPECT_EQ(result.status, 1u);
    reader.Unlock();
}

}  // namespace
