#include "definitions/header/hdr_list.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "platform/ipc_buffer_handle.h"
#include "tests/support/ipc_test_folder.h"

namespace {

using Vok::Test::IpcTest;

void Put32(std::vector<uint8_t>& image, uint32_t value) {
    for (int k = 0; k < 4; ++k) image.push_back(static_cast<uint8_t>(value >> (8 * k)));
}

// One entry as a host writes it: the 28-byte image (little-endian), then the payload.
// The host's reference word and filler bytes mean nothing to a reader; this system writes them as 0.
void PutEntry(std::vector<uint8_t>& image, int32_t recordId, const std::vector<uint8_t>& payload, int32_t link,
              uint32_t statedSize, uint8_t filler = 9) {
    Put32(image, filler == 0 ? 0 : 0xDEADBEEF);
    Put32(image, static_cast<uint32_t>(recordId));
    Put32(image, statedSize);
    Put32(image, static_cast<uint32_t>(link));
    Put32(image, 0xFFFFFFFF);
    Put32(image, 77);
    image.insert(image.end(), {1, filler, filler, filler});
    image.insert(image.end(), payload.begin(), payload.end());
}

TEST(HdrList, AddressingByIdAndNumber) {
    CHdrList list;
    const int32_t a = 1, b = 2;
    list.AddRecord(65, 4, &a, 10);
    list.AddRecord(68, 4, nullptr, -1);
    list.AddRecord(65, 4, &b, 20);
    EXPECT_EQ(list.GetRecord(65, 2)[0], 2);
    EXPECT_EQ(list.GetRecord(65, 3), nullptr);
    int32_t link = 5;
    EXPECT_EQ(list.GetRecordEx(65, 3, link), nullptr);
    EXPECT_EQ(link, 5);
    list.GetRecordEx(65, 2, link);
    EXPECT_EQ(link, 20);
    list.AddRecord(70, 4, nullptr, -1);  // counted by neither
    uint32_t ca = 0, cb = 0, cc = 0;
    EXPECT_EQ(list.CountRecordsOf(65, 68, ca, cb), 3u);
    EXPECT_EQ(ca, 2u);
    EXPECT_EQ(list.CountRecordsOf(65, 68, 70, ca, cb, cc), 4u);
    EXPECT_EQ(cc, 1u);
    EXPECT_EQ(list.DeleteRecord(65, 1), 1);
    EXPECT_EQ(list.GetRecord(65, 1)[0], 2);
    EXPECT_EQ(list.DeleteRecord(65, 2), 0);
}

TEST(HdrList, CachesTheGpsOffsetAndSurveyUnitFactor) {
    CHdrList list;
    EXPECT_EQ(list.GetUtcToGpsOffset(), 18.0);
    EXPECT_EQ(list.GetSurveyUnitFactor(), 1.0);
    const float offset = 16.0f;
    list.AddRecord(139, 4, &offset, -1);
    uint8_t unit[48] = {};
    const double factor = 0.3048;
    std::memcpy(unit + 40, &factor, sizeof factor);
    list.AddRecord(153, 48, unit, -1);
    EXPECT_EQ(list.GetUtcToGpsOffset(), 16.0);
    EXPECT_EQ(list.GetSurveyUnitFactor(), 0.3048);
    list.AddRecord(139, 2, &offset, -1);  // too short to hold the value: ignored
    list.AddRecord(153, 40, unit, -1);
    EXPECT_EQ(list.GetUtcToGpsOffset(), 16.0);
    EXPECT_EQ(list.GetSurveyUnitFactor(), 0.3048);
    list.RemoveAll();
    EXPECT_EQ(list.GetUtcToGpsOffset(), 16.0);
    const float newOffset = 19.0f;
    CPtrList source;
    source.AddTail(const_cast<float*>(&newOffset));
    EXPECT_EQ(list.SetRecords(&source, 139, 4), 1);
    EXPECT_EQ(list.GetUtcToGpsOffset(), 19.0);
}

TEST(HdrList, SetRecordsAndDeletionByKey) {
    CHdrList list;
    list.AddRecord(129, 4, nullptr, 3);  // shorter than the size SetRecords copies
    uint8_t a[8] = {1, 1, 1, 1, 1, 1, 1, 1}, b[8] = {2, 2, 2, 2, 2, 2, 2, 2};
    CPtrList source;
    source.AddTail(a);
    source.AddTail(b);
    EXPECT_EQ(list.SetRecords(&source, 129, 8), 1);
    ASSERT_EQ(list.GetRecordCount(129), 2u);
    EXPECT_EQ(list.GetEntry(129, 1)->payloadSize, 8u);
    EXPECT_EQ(std::memcmp(list.GetRecord(129, 1), a, 8), 0);
    EXPECT_EQ(std::memcmp(list.GetRecord(129, 2), b, 8), 0);
    EXPECT_EQ(list.GetEntry(129, 2)->eventLink, -1);
    const CPtrList empty;
    EXPECT_EQ(list.SetRecords(&empty, 129, 8), 1);
    EXPECT_FALSE(list.HasRecord(129));
    EXPECT_EQ(list.SetRecordsPreferring(&source, 129, 130, 8), 1);
    EXPECT_EQ(list.GetRecordCount(129), 2u);
    const uint8_t* held = list.GetRecord(129, 1);
    EXPECT_EQ(list.SetRecords(&source, 129, 8), 1);
    EXPECT_EQ(list.GetRecord(129, 1), held);  // copied in place: a payload pointer stays valid

    const int32_t blob1[3] = {1}, blob2[3] = {2};
    list.AddRecord(269, 12, blob1, -1);
    list.AddRecord(269, 12, blob2, -1);
    list.AddRecord(269, 2, nullptr, -1);  // too short for a key: kept
    EXPECT_EQ(list.DeleteRecordsByKey(269, 2), 1);
    EXPECT_EQ(list.GetRecordCount(269), 2u);
    EXPECT_EQ(list.DeleteRecordsByKey(129, 0), 2);
}

TEST(HdrList, CopiesAreDeepAndSelfAssignmentKeepsTheList) {
    CHdrList list;
    const float offset = 17.0f;
    list.AddRecord(139, 4, &offset, 12);
    sHdrEntry* original = list.GetEntry(139, 1);
    original->secondLink = 3;
    original->filePosition = 77;
    original->flag = 1;
    CHdrList copy(list);
    const sHdrEntry* copied = copy.GetEntry(139, 1);
    EXPECT_EQ(copied->eventLink, 12);
    EXPECT_EQ(copied->secondLink, 3);
    EXPECT_EQ(copied->filePosition, 77u);
    EXPECT_EQ(copied->flag, 1);
    EXPECT_NE(copy.GetRecord(139, 1), list.GetRecord(139, 1));
    EXPECT_EQ(copy.GetUtcToGpsOffset(), 17.0);
    CHdrList& same = list;
    list = same;
    EXPECT_EQ(list.GetCount(), 1);
    EXPECT_EQ(list.GetEntry(139, 1)->Load<float>(0), 17.0f);
    CHdrList other;
    const int32_t word = 4;
    other.AddRecord(65, 4, &word, -1);
    other.AddRecord(65, 4, &word, -1);
    copy = other;  // replaces what the copy held
    EXPECT_EQ(copy.GetCount(), 2);
    EXPECT_FALSE(copy.HasRecord(139));
}

TEST(HdrList, ProjectionParametersAndRenumbering) {
    CHdrList list;
    std::vector<uint8_t> lambert(88, 0);
    for (size_t k = 0; k < lambert.size(); ++k) lambert[k] = static_cast<uint8_t>(k);
    list.AddRecord(19, 88, lambert.data(), -1);
    uint8_t out[3][176];
    std::memset(out, 0xFF, sizeof out);
    EXPECT_EQ(list.GetProjectionParameters(out[0], out[1], out[2]), 0);  // no projection record
    EXPECT_EQ(out[0][79], 0);  // cleared all the same
    list.AddRecord(16, 80, nullptr, -1);
    EXPECT_EQ(list.GetProjectionParameters(out[0], out[1], out[2]), 1);
    EXPECT_EQ(out[2][4], 32);
    EXPECT_EQ(out[2][56], 80);
    EXPECT_EQ(list.GetProjectionParameters(out[0], nullptr, out[2]), 0);
    EXPECT_EQ(list.GetProjectionParameters(out[0], out[1], nullptr), 0);
    EXPECT_EQ(list.GetLocalGridNumber(), -1);
    int32_t grid[44] = {7};
    grid[43] = 9;
    const int32_t rectangular[26] = {5};
    list.AddRecord(237, sizeof rectangular, rectangular, -1);  // the neighbouring type is no grid
    list.AddRecord(236, sizeof grid, grid, -1);
    EXPECT_EQ(list.GetLocalGridNumber(), 7);
    EXPECT_EQ(list.GetProjectionParameters(out[0], out[1], out[2]), 1);
    EXPECT_EQ(std::memcmp(out[1], grid, sizeof grid), 0);
    EXPECT_EQ(out[2][4], 32);  // the Lambert record still comes first
    const int32_t shift[22] = {3, 3}, position[10] = {0, 0, 2, 0, 0, 0, 0, 0, 2, 0};
    list.AddRecord(206, sizeof shift, shift, -1);
    list.AddRecord(258, 40, position, -1);  // shorter than the record: the word at 308 is left out
    list.RenumberDatum(3, 5);
    list.RenumberDatum(3, 9);
    EXPECT_EQ(list.GetEntry(206, 1)->Word(4), 5);
    EXPECT_EQ(list.GetEntry(258, 1)->Word(32), 4);  // 0-based index 2 (datum 3) becomes 4 (datum 5)
    list.RenumberGnssSystem(2, 8);
    EXPECT_EQ(list.GetEntry(258, 1)->Word(8), 8);
}

// The third output of each projection type: its 32-byte text to 4 and three doubles to 40, 48 and
// 56 (type 17: its whole record); the rest of the output is zero.
TEST(HdrList, ProjectionParametersOfEachType) {
    struct sRow {
        int32_t recordId;
        size_t text;
        size_t doubles[3];
    };
    const sRow rows[] = {{18, 0, {32, 40, 48}}, {19, 32, {64, 72, 80}},  {20, 0, {80, 88, 96}}, {21, 0, {48, 56, 64}},
                         {22, 0, {32, 40, 48}}, {237, 0, {32, 40, 48}}, {17, 0, {}}};
    for (const sRow& row : rows) {
        SCOPED_TRACE(row.recordId);
        std::vector<uint8_t> record(GetRecordSize(row.recordId));
        for (size_t k = 0; k < record.size(); ++k) record[k] = static_cast<uint8_t>(k + 1);
        CHdrList list;
        list.AddRecord(16, 80, nullptr, -1);
        list.AddRecord(row.recordId, static_cast<uint32_t>(record.size()), record.data(), -1);
        uint8_t out[3][176];
        std::memset(out, 0xFF, sizeof out);
        ASSERT_EQ(list.GetProjectionParameters(out[0], out[1], out[2]), 1);
        std::vector<uint8_t> expected(64, 0);
        if (row.recordId == 17) {
            expected = record;
        } else {
            std::memcpy(expected.data() + 4, record.data() + row.text, 32);
            for (size_t k = 0; k < 3; ++k) std::memcpy(expected.data() + 40 + 8 * k, record.data() + row.doubles[k], 8);
        }
        EXPECT_EQ(std::vector<uint8_t>(out[2], out[2] + 64), expected);
        EXPECT_EQ(std::vector<uint8_t>(out[1], out[1] + 176), std::vector<uint8_t>(176, 0));  // no grid
        EXPECT_EQ(out[0][80], 0xFF);  // nothing past an output
        EXPECT_EQ(out[2][64], 0xFF);
    }
}

TEST(HdrList, ImageEntriesThatRunPastTheBlockAreRefused) {
    const std::vector<uint8_t> payload(4, 7);
    struct sCase {
        const char* what;
        uint32_t statedSize;
        size_t cut;  // bytes removed from the end of the image
        int result;
    };
    const sCase cases[] = {{"whole", 4, 0, 1},
                           {"payload cut short", 4, 1, 0},
                           {"size beyond the block", 5, 0, 0},
                           {"huge size", 0xFFFFFFFF, 0, 0},
                           {"entry image cut short", 4, 30, 0}};
    EXPECT_EQ(CHdrList().ReadImage(nullptr, 0, 0), 1);  // nothing to read
    for (const sCase& c : cases) {
        SCOPED_TRACE(c.what);
        std::vector<uint8_t> image;
        PutEntry(image, 139, {0, 0, 0x80, 0x41}, -1, 4);
        PutEntry(image, 65, payload, -1, c.statedSize);
        image.resize(image.size() - c.cut);
        CHdrList list;
        EXPECT_EQ(list.ReadImage(image.data(), image.size(), 2), c.result);
        EXPECT_EQ(list.GetCount(), c.result == 1 ? 2 : 0);
        EXPECT_EQ(list.GetUtcToGpsOffset(), c.result == 1 ? 16.0 : 18.0);
    }
}

// Entries stated shorter than their record type's fixed size (type 65: 104 bytes, caption at 8) are kept
// whole, and the record-type functions that read up to the fixed size stay inside them (ASan checks).
TEST(HdrList, ShortEntriesAreZeroPaddedToTheirTypesSize) {
    struct sCase {
        const char* what;
        std::vector<uint8_t> payload;
        const char* caption;  // what GetRecordDisplayName finds at offset 8
    };
    const std::vector<uint8_t> named = {1, 2, 3, 4, 5, 6, 7, 8, 'G', 'r', 'i', 'd'};
    const sCase cases[] = {
        {"empty", {}, ""},
        {"4 bytes", {'a', 'b', 'c', 'd'}, ""},
        {"text cut after its 4th byte", named, "Grid"},
    };
    for (const sCase& c : cases) {
        SCOPED_TRACE(c.what);
        std::vector<uint8_t> image;
        PutEntry(image, 65, c.payload, -1, static_cast<uint32_t>(c.payload.size()));
        CHdrList list;
        ASSERT_EQ(list.ReadImage(image.data(), image.size(), 1), 1);
        const sHdrEntry* entry = list.GetEntry(65, 1);
        ASSERT_NE(entry, nullptr);
        EXPECT_EQ(entry->payloadSize, c.payload.size());
        const std::vector<uint8_t> stored(entry->Payload(), entry->Payload() + GetRecordSize(65));
        std::vector<uint8_t> expected = c.payload;
        expected.resize(104, 0);
        EXPECT_EQ(stored, expected);
        EXPECT_EQ(GetRecordDisplayName(65, entry->Payload()), CString(c.caption));
        // Written back as it was stated.
        std::vector<uint8_t> back(list.GetImageSize());
        list.WriteImage(back.data());
        EXPECT_EQ(back.size(), image.size());
        EXPECT_EQ(std::vector<uint8_t>(back.begin() + 28, back.end()), c.payload);
    }
}

class HdrListIpcTest : public IpcTest {};

TEST_F(HdrListIpcTest, AHostImageIsReadAndRoundTripsThroughTheBuffer) {
    std::vector<uint8_t> image, expected;
    std::vector<uint8_t> unit(48, 0);
    const double factor = 1200.0 / 3937.0;
    std::memcpy(unit.data() + 40, &factor, sizeof factor);
    for (uint8_t filler : {9, 0}) {
        auto& bytes = filler != 0 ? image : expected;
        PutEntry(bytes, 139, {0, 0, 0x80, 0x41}, 44, 4, filler);  // 16.0f
        PutEntry(bytes, 153, unit, -1, 48, filler);
    }
    IpcBufferHandle host("S", 1);
    ASSERT_TRUE(host.Lock());
    host.buffer.AddBlock(23, static_cast<DWORD>(image.size()), 0);
    host.buffer.AddBlock(24, 16, 0);
    host.WriteBlock(1, image.data(), static_cast<DWORD>(image.size()));
    host.buffer.SetRecordCount(0, 2);
    host.Unlock();

    IpcBufferHandle driver("S", 0);
    ASSERT_TRUE(driver.Lock());
    CHdrList list;
    EXPECT_EQ(list.ReadFromIpc(driver, 1), 1);
    EXPECT_EQ(list.ReadFromIpc(driver, 3), 0);  // no such item: nothing thrown
    driver.Unlock();
    ASSERT_EQ(list.GetCount(), 2);
    const sHdrEntry* first = list.GetEntry(139, 1);
    EXPECT_EQ(first->eventLink, 44);
    EXPECT_EQ(first->secondLink, -1);
    EXPECT_EQ(first->filePosition, 77u);
    EXPECT_EQ(first->flag, 1);
    EXPECT_EQ(list.GetUtcToGpsOffset(), 16.0);
    EXPECT_EQ(list.GetSurveyUnitFactor(), factor);

    ASSERT_TRUE(host.Lock());
    EXPECT_EQ(list.WriteToIpc(host, 2), 1);
    EXPECT_EQ(host.buffer.GetBlockSize(1), image.size());
    EXPECT_EQ(host.buffer.GetRecordSize(1), 16u);  // the item keeps its record size
    EXPECT_EQ(std::memcmp(host.buffer.GetConstBlockData(1), expected.data(), expected.size()), 0);
    const DWORD changes = host.buffer.GetBlockChangeCounter(0);
    EXPECT_EQ(CHdrList().WriteToIpc(host, 1), 1);  // an empty list: an item of 0 bytes
    EXPECT_EQ(host.buffer.GetBlockSize(0), 0u);
    EXPECT_EQ(host.buffer.GetRecordCount(0), 0u);
    EXPECT_EQ(host.buffer.GetBlockChangeCounter(0), changes + 2);  // resized and counted; no bytes handed out
    EXPECT_EQ(list.WriteToIpc(host, 3), 0);
    host.Unlock();

    ASSERT_TRUE(driver.Lock());
    CHdrList back;
    EXPECT_EQ(back.ReadFromIpc(driver, 2), 1);
    EXPECT_EQ(back.ReadFromIpc(driver, 1), 1);
    driver.Unlock();
    ASSERT_EQ(back.GetCount(), 2);
    EXPECT_EQ(std::memcmp(back.GetRecord(153, 1), unit.data(), unit.size()), 0);
}

}  // namespace
