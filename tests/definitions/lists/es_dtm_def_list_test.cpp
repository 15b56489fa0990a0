// Echosounder DTM definitions: validation, the option and slot edits, block 23 in both layouts
// (the old one written by hand), and the shared-buffer image.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

#include "definitions/lists/es_dtm_def_list.h"
#include "definitions/header/hdr_list.h"
#include "definitions/records/payload_bytes.h"
#include "definitions/file/vok_file.h"
#include "platform/ipc_buffer_handle.h"
#include "tests/support/block_file_samples.h"
#include "tests/support/file_helpers.h"
#include "tests/support/ipc_test_folder.h"

namespace {

using Vok::Definitions::LoadAt;
using Vok::Definitions::StoreAt;
using Vok::Test::CLeBytes;

sEsDtmDef MakeDtmDef(int32_t id) {
    sEsDtmDef d;
    d.id = id;
    d.setting12 = 12;
    d.setting16 = 16;
    std::strcpy(d.text20, "survey DTM");
    d.settings248[0] = 1;
    d.settings248[1] = 2;
    d.settings248[2] = 3;
    d.settings248[3] = 4;
    for (int k = 0; k < 7; ++k) d.values264[k] = 264.0 + k;
    std::strcpy(d.text320, "grid");
    d.setting352 = 352;
    d.values360[2] = 376.5;
    d.optionBits = 3;
    d.setting388 = 388;
    d.values392[1] = 400.25;
    d.values408[0] = 10;
    d.values408[1] = 20;
    d.values408[2] = 30;
    d.value424 = 1.0;
    d.value432 = 0.5;
    d.settings440[0] = 440;
    d.settings440[5] = 460;
    d.settings464[0] = 7;
    d.settings464[3] = 9;
    d.setting468 = 468;
    for (int32_t& s : d.dtmSlots) s = -1;
    d.dtmSlots[1] = 5;
    d.setting488 = 488;
    d.value496 = 496.5;
    std::strcpy(d.text504, "sixteen chars!!!");
    d.flags = 0x0007F1FFu;  // every bit that the old layout keeps
    return d;
}

TEST(EsDtmDefListTest, ValidationKeepsValuesInTheirRanges) {
    // The three values at 408, then the values at 424 and 432: in and out.
    struct sCase {
        int32_t in408[3], out408[3];
        double in424, out424, in432, out432;
    };
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const sCase cases[] = {
        {{256, 0, 0}, {0, 0, 0}, 10000.0, 10000.0, 1000.0, 1000.0},
        {{4, 0, 300}, {0, 0, 0}, 10000.001, 1.0, 1001.0, 0.5},
        {{255, 255, 255}, {255, 255, 255}, 0.0, 1.0, -2.0, 0.5},
        {{-1, 7, 9}, {-1, 7, 9}, nan, 1.0, nan, 0.5},
        {{1, 2, 3}, {1, 2, 3}, 0.001, 0.001, 0.25, 0.25},
    };
    CHdrList headers;
    headers.AddRecord(193, 16, nullptr, -1);
    for (const sCase& c : cases) {
        SCOPED_TRACE(c.in424);
        CEsDtmDefList list;
        sEsDtmDef* d = list.Add(MakeDtmDef(1));
        std::memcpy(d->values408, c.in408, sizeof c.in408);
        d->value424 = c.in424;
        d->value432 = c.in432;
        list.Validate(&headers);
        EXPECT_EQ(std::vector<int32_t>(d->values408, d->values408 + 3), std::vector<int32_t>(c.out408, c.out408 + 3));
        EXPECT_EQ(d->value424, c.out424);
        EXPECT_EQ(d->value432, c.out432);
        EXPECT_EQ(d->flags, 0x0007F1FFu);  // a sound velocity record keeps flag 0x8000
    }
    headers.RemoveAll();
}

TEST(EsDtmDefListTest, WithoutASoundVelocityRecordTheFlagGoes) {
    CEsDtmDefList list;
    list.Add(MakeDtmDef(1));
    list.Add(MakeDtmDef(2))->flags = 0x8000u;
    CHdrList headers;
    headers.AddRecord(194, 16, nullptr, -1);
    CEsDtmDefList copy(&list);
    list.Validate(&headers);
    EXPECT_EQ(list.GetAt(0)->flags, 0x0007F1FFu & ~0x8000u);
    EXPECT_EQ(list.GetAt(1)->flags, 0u);
    copy.Validate(nullptr);
    EXPECT_EQ(copy.GetAt(0)->flags, 0x0007F1FFu & ~0x8000u);
    headers.RemoveAll();
}

TEST(EsDtmDefListTest, OptionBitsAndSlots) {
    struct sClear {
        int keepFlag, keepBit0, keepBit1;
        uint32_t flags;
        int32_t optionBits;
    };
    const sClear clears[] = {
        {1, 1, 1, 0xFFu, 7}, {0, 1, 1, 0x7Fu, 7}, {1, 0, 1, 0xFFu, 6}, {1, 1, 0, 0xFFu, 5}, {0, 0, 0, 0x7Fu, 4},
    };
    for (const sClear& c : clears) {
        sEsDtmDef d;
        d.flags = 0xFF;
        d.optionBits = 7;
        ClearOptionBits(&d, c.keepFlag, c.keepBit0, c.keepBit1);
        EXPECT_EQ(d.flags, c.flags);
        EXPECT_EQ(d.optionBits, c.optionBits);
    }
    ClearOptionBits(nullptr, 0, 0, 0);

    struct sReset {
        int32_t slots[4];
        int force;
        int32_t expected[4];
        int32_t setting468;
    };
    const sReset resets[] = {
        {{0, 0, 0, 0}, 0, {-1, -1, -1, -1}, 9},
        {{0, 3, 0, 0}, 0, {0, 3, 0, 0}, 9},
        {{0, 3, 0, 0}, 1, {-1, -1, -1, -1}, 0},
    };
    for (const sReset& c : resets) {
        sEsDtmDef d;
        d.setting468 = 9;
        std::memcpy(d.dtmSlots, c.slots, sizeof c.slots);
        ResetDtmSlots(&d, c.force);
        EXPECT_EQ(std::vector<int32_t>(d.dtmSlots, d.dtmSlots + 4), std::vector<int32_t>(c.expected, c.expected + 4));
        EXPECT_EQ(d.setting468, c.setting468);
    }
    ResetDtmSlots(nullptr, 1);
}

class EsDtmDefBlockTest : public ::testing::Test {
protected:
    CVOKFile& OpenWith(const std::vector<uint8_t>& bytes) {
        Vok::Test::WriteFileBytes(m_path, bytes);
        m_file.Abort();
        EXPECT_TRUE(m_file.Open(m_path.c_str(), CFile::modeReadWrite));
        m_file.Seek(4, CFile::begin);
        return m_file;
    }

    Vok::Test::CTempFolder m_folder;
    std::string m_path = m_folder / "e.vok";
    CVOKFile m_file;
};

TEST_F(EsDtmDefBlockTest, CurrentLayoutRoundTrip) {
    CEsDtmDefList list;
    list.Add(MakeDtmDef(1))->recordSize = 12;  // stamped by the writer
    list.Add(MakeDtmDef(2));
    CVOKFile& file = OpenWith(CLeBytes().I32(1));
    file.SeekToEnd();
    EXPECT_EQ(list.WriteBlock(file, 15), 1);
    EXPECT_EQ(list.GetAt(0)->recordSize, 768u);
    ASSERT_EQ(file.FindBlock(BLOCK_ES_DTM_DEFS), 1);
    sBlockHeader header;
    ASSERT_TRUE(file.ReadBlockHeader(header));
    EXPECT_EQ(header.size, 2 * 768);
    file.Seek(-8, CFile::current);
    CEsDtmDefList back;
    EXPECT_EQ(back.ReadBlock(file, 16), 1);
    EXPECT_EQ(back.Compare(list), 0);
    EXPECT_EQ(back.FindById(2), back.GetAt(1));
    EXPECT_EQ(back.FindById(0), nullptr);
}

TEST_F(EsDtmDefBlockTest, OldLayoutRoundTripKeepsWhatItCanHold) {
    CEsDtmDefList list;
    list.Add(MakeDtmDef(3));
    CVOKFile& file = OpenWith(CLeBytes().I32(1));
    file.SeekToEnd();
    EXPECT_EQ(list.WriteBlock(file, 14), 1);
    ASSERT_EQ(file.FindBlock(BLOCK_ES_DTM_DEFS), 1);
    sBlockHeader header;
    ASSERT_TRUE(file.ReadBlockHeader(header));
    ASSERT_EQ(header.size, 568);
    std::vector<uint8_t> old(568);
    ASSERT_EQ(file.Read(old.data(), 568), 568u);
    // Some of the old places, by hand.
    EXPECT_EQ(LoadAt<uint32_t>(old.data(), 0), 568u);
    EXPECT_EQ(LoadAt<int32_t>(old.data(), 4), 3);
    EXPECT_EQ(LoadAt<int32_t>(old.data(), 8), 1);               // flag bit 12
    EXPECT_EQ(LoadAt<uint32_t>(old.data(), 12), 0x30003u);      // bits 0, 1, 16, 17
    EXPECT_EQ(LoadAt<double>(old.data(), 24), 1.0);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(old.data() + 44)), "sixteen chars!!!");
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(old.data() + 61)), "survey DTM");
    EXPECT_EQ(LoadAt<int32_t>(old.data(), 304), 12);
    EXPECT_EQ(old[332], 1);                                     // bit 18
    EXPECT_EQ(old[333], 0);
    EXPECT_EQ(old[335], 9);
    EXPECT_EQ(LoadAt<double>(old.data(), 384), 270.0);
    EXPECT_EQ(LoadAt<int32_t>(old.data(), 456), 3);
    EXPECT_EQ(old[427], 7);
    EXPECT_EQ(LoadAt<int32_t>(old.data(), 504), 440);
    EXPECT_EQ(LoadAt<int32_t>(old.data(), 512), 468);
    EXPECT_EQ(LoadAt<int32_t>(old.data(), 520), 5);             // the second DTM slot
    EXPECT_EQ(LoadAt<int32_t>(old.data(), 564), 460);

    file.Seek(-(8 + 568), CFile::current);
    CEsDtmDefList back;
    EXPECT_EQ(back.ReadBlock(file, 14), 1);
    ASSERT_EQ(back.GetCount(), 1);
    const sEsDtmDef& d = *back.GetAt(0);
    EXPECT_EQ(d.recordSize, 768u);
    EXPECT_EQ(d.version, 1);
    // The two words at 256 have no place in the old layout.
    sEsDtmDef expected = MakeDtmDef(3);
    expected.settings248[2] = expected.settings248[3] = 0;
    EXPECT_EQ(std::memcmp(&d, &expected, sizeof d), 0);
}

TEST_F(EsDtmDefBlockTest, OldRecordsAreTidiedBeforeTheyAreConverted) {
    std::vector<uint8_t> old(568, 0);
    StoreAt<uint32_t>(old.data(), 0, 568);
    StoreAt<int32_t>(old.data(), 4, 8);
    StoreAt<int32_t>(old.data(), 8, 5);               // any non-zero value is 1
    StoreAt<uint32_t>(old.data(), 12, 2000003u);      // above 1000000: no flags
    std::memset(old.data() + 44, 'a', 17);            // byte 60 ends the text
    std::memset(old.data() + 396, 'b', 31);           // byte 426 ends the text
    StoreAt<int32_t>(old.data(), 512, -1);
    StoreAt<int32_t>(old.data(), 516, 4);
    old[332] = 1;
    std::vector<uint8_t> second = old;
    StoreAt<uint32_t>(second.data(), 12, 0x30003u);
    StoreAt<int32_t>(second.data(), 8, 0);
    CVOKFile& file = OpenWith(CLeBytes().I32(1).Block(23, CLeBytes().Append(old).Append(second)));
    CEsDtmDefList list;
    EXPECT_EQ(list.ReadBlock(file, 9), 1);
    ASSERT_EQ(list.GetCount(), 2);
    const sEsDtmDef& d = *list.GetAt(0);
    EXPECT_EQ(d.id, 8);
    EXPECT_EQ(d.flags, 0x1000u | 0x40000u);
    EXPECT_EQ(std::string(d.text504), std::string(16, 'a'));
    EXPECT_EQ(std::string(d.text320), std::string(30, 'b'));
    EXPECT_EQ(d.setting468, -1);
    EXPECT_EQ(d.dtmSlots[0], 4);
    EXPECT_EQ(d.dtmSlots[1], 0);
    EXPECT_EQ(list.GetAt(1)->flags, 0x30003u | 0x40000u);
}

TEST_F(EsDtmDefBlockTest, CutBlocksEndWithWholeRecords) {
    CEsDtmDefList list;
    list.Add(MakeDtmDef(1));
    list.Add(MakeDtmDef(2));
    for (int version : {14, 15}) {
        SCOPED_TRACE(version);
        CVOKFile& file = OpenWith(CLeBytes().I32(1));
        file.SeekToEnd();
        list.WriteBlock(file, version);
        const ULONGLONG full = file.GetLength();
        CEsDtmDefList whole;
        ASSERT_EQ(file.FindBlock(23), 1);
        ASSERT_EQ(whole.ReadBlock(file, version), 1);
        for (ULONGLONG length = full - 1; length > 4; --length) {
            file.SetLength(length);
            CEsDtmDefList cut;
            file.Seek(4, CFile::begin);
            EXPECT_EQ(cut.ReadBlock(file, version), 0);
            ASSERT_LE(cut.GetCount(), 1);
            if (cut.GetCount() == 1) {
                EXPECT_EQ(std::memcmp(cut.GetAt(0), whole.GetAt(0), 768), 0);
            }
        }
    }
}

class EsDtmDefIpcTest : public Vok::Test::IpcTest {};

TEST_F(EsDtmDefIpcTest, ListGoesThroughASharedBufferWhole) {
    IpcBufferHandle host("D", 1);
    ASSERT_TRUE(host.Lock());
    host.buffer.AddBlock(23, 2 * 768, 768);
    CEsDtmDefList list;
    list.Add(MakeDtmDef(1));
    list.Add(MakeDtmDef(4))->zero521[10] = 0x5A;
    EXPECT_EQ(list.WriteToIpc(host, 1), 1);
    host.buffer.AddBlock(23, 768, 568);
    host.buffer.SetRecordCount(1, 1);
    host.Unlock();
    IpcBufferHandle reader("D", 0);
    ASSERT_TRUE(reader.Lock());
    CEsDtmDefList back, refused;
    EXPECT_EQ(back.ReadFromIpc(reader, 1), 1);
    EXPECT_EQ(refused.ReadFromIpc(reader, 2), 0);
    reader.Unlock();
    EXPECT_EQ(back.Compare(list), 0);
    EXPECT_EQ(back.GetAt(1)->zero521[10], 0x5A);
    EXPECT_TRUE(refused.IsEmpty());
    CEsDtmDefList copy;
    copy.CopyFrom(&back);
    copy.GetAt(0)->id = 0;
    EXPECT_EQ(copy.Compare(back), 999);
    copy.RemoveAll();
    EXPECT_EQ(copy.Compare(back), -2);
}

}  // namespace
