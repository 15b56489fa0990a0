// Position and observation filter definitions: defaults and limits in the current length unit, the
// mode tests and size classes, the old record versions written by hand, and the lists' images in
// the block file and a shared buffer.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "compat/unit_library.h"
#include "definitions/lists/filter_def_lists.h"
#include "definitions/lists/node_def_list.h"
#include "definitions/records/payload_bytes.h"
#include "definitions/file/vok_file.h"
#include "platform/ipc_buffer_handle.h"
#include "tests/support/block_file_samples.h"
#include "host/definition_samples.h"
#include "tests/support/file_helpers.h"
#include "tests/support/ipc_test_folder.h"
#include "tests/support/record_fields.h"

namespace {

using Vok::Definitions::StoreAt;
using Vok::Test::CLeBytes;

constexpr double kFoot = 0.3048;

class FilterDefsTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_EQ(SetUnit(UNIT_METERS), 1); }
    void TearDown() override { SetUnit(UNIT_METERS); }
};

sFiltDef Defaults() {
    sFiltDef d;
    InitFiltDef(&d);
    return d;
}

sFiltDef MakeFiltDef(int32_t setupId, int32_t objectId, int32_t mode) {
    sFiltDef d = Defaults();
    d.setupId = setupId;
    d.objectId = objectId;
    d.mode = mode;
    return d;
}

TEST_F(FilterDefsTest, DefaultsInMetresAndInFeet) {
    const sFiltDef d = Defaults();
    const auto* bytes = reinterpret_cast<const uint8_t*>(&d);
    const std::vector<uint8_t> head(bytes, bytes + 8);
    EXPECT_EQ(head, (std::vector<uint8_t>{0x08, 0x01, 0, 0, 3, 1, 0, 0}));
    EXPECT_EQ(d.flags, 0x1100u);
    EXPECT_EQ(d.length24, 0.2);
    EXPECT_EQ(d.value32, -1.0);
    EXPECT_EQ(d.count44, 3);
    EXPECT_EQ(d.factor48, 0.5);
    EXPECT_EQ(d.factor56, 0.05);
    EXPECT_EQ(d.length64, 0.05);
    EXPECT_EQ(d.length80, 0.5);
    EXPECT_EQ(d.length96, 1.0);
    EXPECT_EQ(d.refIds[0], -2);
    EXPECT_EQ(d.refIds[2], -2);
    EXPECT_EQ(d.length136, 0.1);
    EXPECT_EQ(d.length144, 5.0);
    EXPECT_EQ(d.count196, 10);
    EXPECT_EQ(d.length200, 0.05);
    EXPECT_EQ(d.count216, 5);
    // Mode 0 raises both selector nibbles of the second flags from 1 to 2.
    EXPECT_EQ(d.flags2, 0x2200u);
    EXPECT_EQ(d.filterInterval, 5.0);
    EXPECT_EQ(d.secondInterval, 30.0);
    EXPECT_EQ(d.layoutMark, 10);

    ASSERT_EQ(SetUnit(UNIT_FEET), 1);
    const sFiltDef f = Defaults();
    EXPECT_DOUBLE_EQ(f.length24, 0.2 / kFoot);
    EXPECT_DOUBLE_EQ(f.length64, 0.05 / kFoot);
    EXPECT_DOUBLE_EQ(f.length144, 5.0 / kFoot);
    EXPECT_DOUBLE_EQ(f.length200, 0.05 / kFoot);
    EXPECT_EQ(f.factor48, 0.5);
    EXPECT_EQ(f.count196, 10);
}

TEST_F(FilterDefsTest, ValidationBringsEachFieldWithinItsLimits) {
    // One field set, the value validation leaves in it (in metres where it is a length).
    struct sLimit {
        double sFiltDef::*field;
        double value, expected;
    };
    const sLimit limits[] = {
        {&sFiltDef::length24, 0.0, 0.2},       {&sFiltDef::length24, -1.0, 0.2},     {&sFiltDef::factor48, 0.0, 0.5},
        {&sFiltDef::factor48, 0.01, 0.05},     {&sFiltDef::factor56, 0.01, 0.05},    {&sFiltDef::length64, 0.001, 0.005},
        {&sFiltDef::length72, -1.0, 0.05},     {&sFiltDef::length80, 0.01, 0.05},    {&sFiltDef::factor88, 0.5, 1.0},
        {&sFiltDef::length96, 0.05, 0.1},      {&sFiltDef::factor104, 0.9, 1.0},     {&sFiltDef::length112, 0.01, 0.05},
        {&sFiltDef::length136, 0.0, 0.1},      {&sFiltDef::length144, 0.4, 0.5},     {&sFiltDef::length152, 0.4, 0.5},
        {&sFiltDef::length200, 11.0, 10.0},    {&sFiltDef::length200, -1.0, 0.0},    {&sFiltDef::value208, 0.05, 0.1},
        {&sFiltDef::filterInterval, 0.5, 1.0}, {&sFiltDef::secondInterval, 4.0, 30.0}, {&sFiltDef::value240, 0.0, 0.1},
        {&sFiltDef::secondInterval, 0.5, 30.0}, {&sFiltDef::length24, 0.7, 0.7},
    };
    for (const sLimit& c : limits) {
        sFiltDef d = Defaults();
        d.*c.field = c.value;
        ValidateFiltDef(&d);
        EXPECT_EQ(d.*c.field, c.expected) << c.value;
    }
    struct sCount {
        int32_t sFiltDef::*field;
        int32_t value, expected;
    };
    const sCount counts[] = {
        {&sFiltDef::count44, 0, 3},      {&sFiltDef::count196, 1, 2}, {&sFiltDef::count196, 5000, 3600},
        {&sFiltDef::count216, 1, 2},     {&sFiltDef::count216, 0, 5}, {&sFiltDef::count216, -1, 5},
        {&sFiltDef::count216, -7, -7},   {&sFiltDef::value252, 4, 4},
    };
    for (const sCount& c : counts) {
        sFiltDef d = Defaults();
        d.*c.field = c.value;
        ValidateFiltDef(&d);
        EXPECT_EQ(d.*c.field, c.expected) << c.value;
    }
    struct sSlot {
        int slot;
        double value, expected;
    };
    for (const sSlot& c : {sSlot{0, 360.0, 0.0}, sSlot{0, 359.5, 359.5}, sSlot{0, -1.0, 0.0}, sSlot{1, -1.0, 0.0},
                           sSlot{2, -1.0, 0.0}}) {
        sFiltDef d = Defaults();
        d.slotValues[c.slot] = c.value;
        ValidateFiltDef(&d);
        EXPECT_EQ(d.slotValues[c.slot], c.expected);
    }

    // Rules over several fields: the modes, flags and words, and the move from before the layout
    // mark. Each row: mode, second mode, flags, second flags, layout mark, length 80, length 136,
    // count 216 in; then mode 2, flags, second flags, length 80, length 136, count 216 out.
    struct sRule {
        int32_t mode, secondMode;
        uint32_t flags, flags2;
        int32_t mark;
        double length80, length136;
        int32_t count216;
        int32_t outSecondMode;
        uint32_t outFlags, outFlags2;
        double outLength80, outLength136;
        int32_t outCount216;
    };
    const sRule rules[] = {
        {2, 0, 0x1103, 0x1100, 10, 0.5, 0.1, 5, 0, 0x1102, 0x2100, 0.5, 0.1, 5},   // switch 1 clears switch 0
        {1, 0, 0x1103, 0x1100, 10, 0.5, 0.1, 5, 0, 0x1103, 0x2200, 0.5, 0.1, 5},   // not in mode 1
        {0, 0, 0x0301, 0, 10, 0.5, 0.1, 5, 0, 0x1101, 0x2200, 0.5, 0.1, 5},        // high selector 0
        {0, 0, 0x2300, 0x3400, 10, 0.5, 0.1, 5, 0, 0x2300, 0x3400, 0.5, 0.1, 5},   // selectors kept
        {2, 0, 0x1110, 0x1100, 10, 0.5, 0.0, 5, 11, 0x1110, 0x1100, 0.5, 0.1, 5},  // switch 4 starts stage 2
        {2, 0, 0x1110, 0x1100, 10, 0.5, 0.2, 5, 0, 0x1110, 0x2100, 0.5, 0.2, 5},
        {13, 0, 0x1100, 0x1100, 10, 0.5, 0.1, -1, 0, 0x1100, 0x1100, 0.5, 0.1, -1},
        {3, 2, 0x1100, 0x1100, 10, 0.5, 0.1, 5, 2, 0x1100, 0x1100, 0.5, 0.1, 5},
        {0, 0, 0x1100, 0, 0, 0.2, 0.0, 5, 0, 0x1100, 0x2200, 2.0, 0.2, 5},          // from before the mark
        {0, 0, 0x1100, 0, 0, 0.25, 0.0, 5, 0, 0x1100, 0x2200, 2.5, 0.25, 5},       // at the limit
        {0, 0, 0x1100, 0, 0, 0.3, 0.0, 5, 0, 0x1100, 0x2200, 0.3, 0.3, 5},
        {0, 0, 0x1100, 0, 0, 0.0, 0.0, 5, 0, 0x1100, 0x2200, 0.5, 0.1, 5},
        {0, 0, 0x1100, 0, 10, 0.2, 0.1, 5, 0, 0x1100, 0x2200, 0.2, 0.1, 5},         // after the mark
    };
    for (const sRule& c : rules) {
        SCOPED_TRACE(testing::Message() << c.mode << " " << std::hex << c.flags << " " << c.flags2);
        sFiltDef d = Defaults();
        d.mode = c.mode;
        d.secondMode = c.secondMode;
        d.flags = c.flags;
        d.flags2 = c.flags2;
        d.layoutMark = c.mark;
        d.length80 = c.length80;
        d.length136 = c.length136;
        d.count216 = c.count216;
        ValidateFiltDef(&d);
        EXPECT_EQ(d.secondMode, c.outSecondMode);
        EXPECT_EQ(d.flags, c.outFlags);
        EXPECT_EQ(d.flags2, c.outFlags2);
        EXPECT_EQ(d.length80, c.outLength80);
        EXPECT_EQ(d.length136, c.outLength136);
        EXPECT_EQ(d.count216, c.outCount216);
        EXPECT_EQ(d.layoutMark, 10);
    }

    // Slot words of -1 go without a mode, and the third without a second stage.
    for (int32_t mode : {0, 2, 13}) {
        sFiltDef d = Defaults();
        d.mode = mode;
        for (uint32_t& w : d.slotWords) w = 0xFFFFFFFFu;
        ValidateFiltDef(&d);
        EXPECT_EQ(d.slotWords[0], mode == 0 ? 0u : 0xFFFFFFFFu);
        EXPECT_EQ(d.slotWords[1], mode == 0 ? 0u : 0xFFFFFFFFu);
        EXPECT_EQ(d.slotWords[2], mode == 13 ? 0xFFFFFFFFu : 0u);
    }
    sFiltDef second = Defaults();
    second.slotWords[1] = 0xFFFFFFFFu;  // the second word alone
    ValidateFiltDef(&second);
    EXPECT_EQ(second.slotWords[1], 0u);
    sFiltDef d = Defaults();
    d.value252 = 4;
    d.value256 = 7;
    d.recordSize = 152;
    d.version = 2;
    ValidateFiltDef(&d);
    EXPECT_EQ(d.value252, 7);
    EXPECT_EQ(d.recordSize, 264u);
    EXPECT_EQ(d.version, 259);
    d.value256 = 1;
    ValidateFiltDef(&d);
    EXPECT_EQ(d.value252, 1);
    ValidateFiltDef(nullptr);
    InitFiltDef(nullptr);
}

TEST_F(FilterDefsTest, LimitsInMetresHoldInFeet) {
    ASSERT_EQ(SetUnit(UNIT_FEET), 1);
    sFiltDef d = Defaults();
    d.length64 = 0.01;  // feet: below 0.005 m
    d.length200 = 40.0;  // feet: above 10 m
    d.layoutMark = 0;
    d.length80 = 0.8;  // feet: at most half of 0.5 m
    ValidateFiltDef(&d);
    EXPECT_DOUBLE_EQ(d.length64, 0.005 / kFoot);
    EXPECT_DOUBLE_EQ(d.length200, 10.0 / kFoot);
    EXPECT_EQ(d.length136, 0.8);
    EXPECT_EQ(d.length80, 8.0);
}

TEST_F(FilterDefsTest, ModeTests) {
    struct sCase {
        int32_t mode, secondMode;
        int set, active, groupA, groupB, secondSet, secondStage, isActive;
    };
    const sCase cases[] = {
        {0, 0, 0, 0, 0, 0, 0, 0, 0},  {1, 0, 1, 0, 0, 0, 0, 0, 0},   {1, 2, 1, 0, 0, 0, 1, 1, 1},
        {0, 1, 0, 0, 0, 0, 1, 0, 0},  {2, 0, 1, 1, 1, 0, 0, 0, 1},   {3, 0, 1, 1, 1, 0, 0, 0, 1},
        {4, 0, 1, 1, 0, 1, 0, 0, 1},  {8, 0, 1, 1, 1, 0, 0, 0, 1},   {11, 15, 1, 1, 1, 0, 1, 1, 1},
        {12, 0, 1, 1, 0, 1, 0, 0, 1}, {13, 0, 1, 1, 0, 1, 0, 1, 1},  {15, 0, 1, 1, 0, 1, 0, 1, 1},
        {16, 0, 0, 0, 0, 0, 0, 0, 0}, {16, 16, 0, 0, 0, 0, 0, 0, 0}, {-1, 3, 0, 0, 0, 0, 1, 1, 1},
    };
    for (const sCase& c : cases) {
        SCOPED_TRACE(testing::Message() << c.mode << "/" << c.secondMode);
        sFiltDef d = Defaults();
        d.mode = c.mode;
        d.secondMode = c.secondMode;
        EXPECT_EQ(FiltModeIsSet(&d), c.set);
        EXPECT_EQ(FiltModeIsActive(&d), c.active);
        EXPECT_EQ(FiltModeIsGroupA(&d), c.groupA);
        EXPECT_EQ(FiltModeIsGroupB(&d), c.groupB);
        EXPECT_EQ(FiltSecondModeIsSet(&d), c.secondSet);
        EXPECT_EQ(FiltDefUsesSecondStage(&d), c.secondStage);
        EXPECT_EQ(FiltDefIsActive(&d), c.isActive);
    }
    EXPECT_EQ(FiltModeIsSet(nullptr), 0);
    EXPECT_EQ(FiltDefIsActive(nullptr), 0);

    struct sAccept {
        int32_t mode, a, b, result;
    };
    const sAccept accepts[] = {
        {1, 0, 0, 1},  {1, 1, 5, 0},  {2, 1, 1, 1},  {3, 2, 1, 0},   {9, 0, 0, 0},  {11, 1, -1, 1},
        {4, 2, 2, 1},  {7, 3, 2, 0},  {12, 0, 1, 0}, {13, 3, 3, 1},  {15, 4, 3, 0}, {14, 0, 2, 0},
        {0, 0, 0, 0},  {16, 0, 9, 0},
    };
    for (const sAccept& c : accepts) {
        EXPECT_EQ(FiltModeAccepts(c.mode, c.a, c.b), c.result) << c.mode << " " << c.a << " " << c.b;
    }
}

TEST_F(FilterDefsTest, SlotsAreClearedByMask) {
    struct sCase {
        int mask;
        uint32_t flags;
        int32_t ids[3];
        double values[3];
        uint32_t words[3];
    };
    const sCase cases[] = {
        {14, 0x1111, {-2, -2, -2}, {0.0, 0.0, 0.0}, {0, 0, 0}},
        {2, 0x1119, {-2, 5, 6}, {0.0, 2.0, 3.0}, {0, 8, 9}},
        {4, 0x1119, {4, -2, 6}, {1.0, 0.0, 3.0}, {7, 0, 9}},
        {8, 0x1117, {4, 5, -2}, {1.0, 2.0, 0.0}, {7, 8, 0}},
        {6, 0x111F, {4, 5, 6}, {1.0, 2.0, 3.0}, {7, 8, 9}},
    };
    for (const sCase& c : cases) {
        SCOPED_TRACE(c.mask);
        sFiltDef d = Defaults();
        d.flags = 0x111F;
        const int32_t ids[] = {4, 5, 6};
        const double values[] = {1.0, 2.0, 3.0};
        const uint32_t words[] = {7, 8, 9};
        std::memcpy(d.refIds, ids, sizeof ids);
        std::memcpy(d.slotValues, values, sizeof values);
        std::memcpy(d.slotWords, words, sizeof words);
        ClearFiltSlot(&d, c.mask);
        ClearFiltSlotWords(&d, c.mask);
        EXPECT_EQ(d.flags, c.flags);
        for (int s = 0; s < 3; ++s) {
            EXPECT_EQ(d.refIds[s], c.ids[s]);
            EXPECT_EQ(d.slotValues[s], c.values[s]);
            EXPECT_EQ(d.slotWords[s], c.words[s]);
        }
        EXPECT_EQ(d.secondMode, 0);  // the second mode, next to the slots' ids, is kept
    }
}

TEST_F(FilterDefsTest, ValidRecordsAreStampedAndKeyed) {
    sFiltDef d = MakeFiltDef(1, 2, 0);
    EXPECT_EQ(IsValidFiltDef(&d), 1);
    d.version = 0x0503;  // 3.5: the major counts
    EXPECT_EQ(IsValidFiltDef(&d), 1);
    d.version = 0x0102;
    EXPECT_EQ(IsValidFiltDef(&d), 0);
    d = MakeFiltDef(0, 2, 0);
    EXPECT_EQ(IsValidFiltDef(&d), 0);
    d = MakeFiltDef(1, 2, 0);
    d.recordSize = 263;
    EXPECT_EQ(IsValidFiltDef(&d), 0);
    EXPECT_EQ(IsValidFiltDef(nullptr), 0);
}

TEST_F(FilterDefsTest, SizeClasses) {
    struct sCase {
        double length;
        int sizeClass, fineClass;
    };
    const sCase cases[] = {
        {0.0, 2, 2},   {-1.0, 2, 2},   {0.0125, 0, 0}, {0.013, 0, 1}, {0.05, 0, 1},  {0.06, 1, 1},
        {0.1375, 1, 2}, {0.14, 2, 2},  {0.3, 2, 2},    {0.35, 2, 3},  {1.0, 3, 3},   {1.5, 4, 3},
        {1.6, 4, 4},
    };
    for (const sCase& c : cases) {
        EXPECT_EQ(GetSizeClass(c.length), c.sizeClass) << c.length;
        EXPECT_EQ(GetFineSizeClass(c.length), c.fineClass) << c.length;
    }
    const double lengths[] = {0.025, 0.075, 0.2, 0.5, 1.5};
    const double fine[] = {0.005, 0.02, 0.1, 0.5, 2.5};
    for (int k = 0; k < 5; ++k) {
        EXPECT_EQ(GetSizeClassLength(k), lengths[k]);
        EXPECT_EQ(GetFineSizeClassLength(k), fine[k]);
        EXPECT_EQ(GetSizeClass(GetSizeClassLength(k)), k);
        EXPECT_EQ(GetFineSizeClass(GetFineSizeClassLength(k)), k);
    }
    EXPECT_EQ(GetSizeClassLength(5), 0.0);
    EXPECT_EQ(GetFineSizeClassLength(-1), 0.0);

    ASSERT_EQ(SetUnit(UNIT_FEET), 1);
    EXPECT_DOUBLE_EQ(GetSizeClassLength(2), 0.2 / kFoot);
    EXPECT_EQ(GetSizeClass(0.16), 0);  // 0.049 m
    EXPECT_EQ(GetSizeClass(0.17), 1);  // 0.052 m
    EXPECT_EQ(GetSizeClass(4.0), 4);   // 1.22 m
    // The resource library holds no texts here: only the separator shows.
    EXPECT_STREQ(GetFiltDescription(3, 0.1).GetString(), " - ");
    EXPECT_TRUE(GetFiltModeName(16).IsEmpty());
}

// --- the lists -------------------------------------------------------------------------------

class FilterListsTest : public FilterDefsTest {
protected:
    CVOKFile& OpenWith(const std::vector<uint8_t>& bytes) {
        Vok::Test::WriteFileBytes(m_path, bytes);
        m_file.Abort();
        EXPECT_TRUE(m_file.Open(m_path.c_str(), CFile::modeReadWrite));
        m_file.Seek(4, CFile::begin);
        return m_file;
    }

    Vok::Test::CTempFolder m_folder;
    std::string m_path = m_folder / "f.vok";
    CVOKFile m_file;
};

std::vector<uint8_t> Zeros(size_t n) { return std::vector<uint8_t>(n, 0); }

template <typename T>
void Put(std::vector<uint8_t>& bytes, size_t offset, T value) {
    StoreAt(bytes.data(), offset, value);
}

using Vok::Test::sRecordField;
constexpr size_t kNone = sRecordField::kNone;

// The fields of the version 1.x and 2.x records (152 bytes) that both move alike: old offset, new
// offset, type, stored value, value after upgrade and validation.
const std::vector<sRecordField> k152Common = {
    {kNone, 0, 'u', 0, 264},    {kNone, 4, 'b', 0, 3},        {kNone, 5, 'b', 0, 1},       {8, 8, 'i', 4, 4},
    {12, 12, 'i', 2, 2},        {24, 24, 'd', 0.25, 0.25},    {32, kNone, 'i', 1, 0},      {48, kNone, 'i', 1, 0},
    {56, 64, 'd', 0.03, 0.03},  {72, 56, 'd', 0.7, 0.7},      {80, 120, 'i', 11, 11},      {84, 124, 'i', 12, 12},
    {kNone, 128, 'i', 0, -2},   {88, 144, 'd', 3.0, 3.0},     {kNone, 152, 'd', 0, 3.0},   {96, 184, 'u', 0xFFFFFFFF, 0xFFFFFFFF},
    {100, 188, 'u', 6, 6},      {104, 200, 'd', 0.2, 0.2},    {112, 196, 'i', 7, 7},       {kNone, 216, 'i', 0, 3},
    {116, 220, 'u', 1, 0x2101}, {120, 224, 'd', 4.0, 4.0},    {128, 232, 'd', 3.0, 24.0},  {136, 240, 'd', 0.05, 0.1},
    {kNone, 80, 'd', 0, 0.5},   {kNone, 260, 'i', 0, 10},
};
// Version 1.0: factor 48 from old 72, switch 1 from old 48 (which clears switch 0), mode 2 as 4.
const std::vector<sRecordField> k152Version10 = {
    {16, 16, 'i', 2, 4}, {40, 48, 'd', 0.6, 0.7}, {kNone, 20, 'u', 0, 0x1106},
};
const std::vector<sRecordField> k152Version20 = {
    {16, 16, 'i', 2, 2}, {40, 48, 'd', 0.6, 0.6}, {64, kNone, 'i', 0, 0}, {kNone, 20, 'u', 0, 0x1105},
};

std::vector<uint8_t> Record152(uint16_t version) {
    std::vector<uint8_t> r(152, 0);
    Put<uint32_t>(r, 0, 152);
    Put<uint16_t>(r, 4, version);
    Vok::Test::PutFields(r, k152Common);
    Vok::Test::PutFields(r, version == 1 ? k152Version10 : k152Version20);
    return r;
}

// The first 120 bytes of a version 3.0 record (264 bytes) as that version had them.
const std::vector<sRecordField> kVersion30 = {
    {8, 8, 'i', 5, 5},           {12, 12, 'i', 6, 6},          {16, 16, 'i', 2, 2},         {44, 44, 'i', 1, 1},
    {48, 48, 'd', 0.3, 0.3},     {56, kNone, 'i', 1, 0},       {64, 64, 'd', 0.01, 0.01},   {80, 56, 'd', 0.2, 0.2},
    {88, kNone, 'i', 1, 0},      {96, 72, 'd', 0.002, 0.005},  {104, kNone, 'i', 1, 0},     {112, 80, 'd', 0.04, 0.05},
    {kNone, 88, 'd', 0, 1.0},    {kNone, 96, 'd', 0, 1.0},     {kNone, 104, 'd', 0, 1.0},   {kNone, 112, 'd', 0, 1.0},
    {kNone, 20, 'u', 0, 0x111D}, {kNone, 132, 'i', 0, 11},     {224, 224, 'd', 2.0, 2.0},   {232, 232, 'd', 10.0, 10.0},
    {260, 260, 'i', 10, 10},     {kNone, 4, 'b', 0, 3},        {kNone, 5, 'b', 0, 1},
};

std::vector<uint8_t> Record30(uint16_t version) {
    std::vector<uint8_t> r(264, 0);
    Put<uint32_t>(r, 0, 264);
    Put<uint16_t>(r, 4, version);
    Vok::Test::PutFields(r, kVersion30);
    return r;
}

TEST_F(FilterListsTest, RecordsOfVersions1And2AreUpgraded) {
    CFiltDefList list;
    CVOKFile& file =
        OpenWith(CLeBytes().I32(1).Block(32, CLeBytes().Append(Record152(1)).Append(Record152(2))));
    EXPECT_EQ(list.ReadBlock(file, true), 1);
    ASSERT_EQ(list.GetCount(), 2);
    Vok::Test::ExpectFields(list.GetAt(0), k152Common);
    Vok::Test::ExpectFields(list.GetAt(0), k152Version10);
    Vok::Test::ExpectFields(list.GetAt(1), k152Common);
    Vok::Test::ExpectFields(list.GetAt(1), k152Version20);
}

TEST_F(FilterListsTest, RecordsWithoutHeadersAreTheOldestLayout) {
    // Version 0 (136 bytes, the keys first); slots switched on by old 40.
    const std::vector<sRecordField> oldest = {
        {0, 8, 'i', 7, 7},          {4, 12, 'i', 3, 3},         {8, 16, 'i', 2, 2},         {16, 24, 'd', 0.3, 0.3},
        {24, kNone, 'i', 1, 0},     {40, kNone, 'i', 1, 0},     {48, 64, 'd', 0.02, 0.02},  {kNone, 72, 'd', 0, 0.02},
        {64, 48, 'd', 0.4, 0.4},    {kNone, 56, 'd', 0, 0.4},   {72, 120, 'i', 5, 5},       {76, 184, 'i', 1, 5},
        {80, 124, 'i', -2, -2},     {84, 188, 'i', 0, 0},       {132, 128, 'i', 9, 9},      {kNone, 192, 'i', 0, 9},
        {88, 200, 'd', 0.07, 0.07}, {96, 196, 'i', 21, 21},     {kNone, 216, 'i', 0, 10},   {kNone, 220, 'u', 0, 0x2101},
        {104, 224, 'd', 2.0, 2.0},  {112, 232, 'd', 20.0, 20.0}, {120, 240, 'd', 0.5, 0.5}, {kNone, 20, 'u', 0, 0x110E},
    };
    // Slots switched off: no references and no third word.
    const std::vector<sRecordField> off = {
        {40, 20, 'i', 0, 0x1101}, {132, 128, 'i', 0, -2}, {kNone, 120, 'i', 0, -2}, {kNone, 192, 'u', 0, 0},
        {kNone, 184, 'u', 0, 5},
    };
    // Slots switched on, but a reference of 0 and a negative third word are not taken.
    const std::vector<sRecordField> unusable = {
        {72, 120, 'i', 0, -2}, {76, 184, 'i', 0, 0}, {132, 128, 'i', -5, -2}, {kNone, 192, 'u', 0, 0},
    };
    std::vector<uint8_t> r(136, 0);
    Vok::Test::PutFields(r, oldest);
    std::vector<uint8_t> unset = r;
    Vok::Test::PutFields(unset, off);
    std::vector<uint8_t> refused = r;
    Vok::Test::PutFields(refused, unusable);
    CFiltDefList list;
    CVOKFile& file =
        OpenWith(CLeBytes().I32(1).Block(32, CLeBytes().Append(r).Append(unset).Append(refused)));
    EXPECT_EQ(list.ReadBlock(file, false), 1);
    ASSERT_EQ(list.GetCount(), 3);
    Vok::Test::ExpectFields(list.GetAt(0), oldest);
    Vok::Test::ExpectFields(list.GetAt(1), off);
    Vok::Test::ExpectFields(list.GetAt(2), unusable);
}

TEST_F(FilterListsTest, Version30IsRebuiltAnd35ReadsAs30) {
    std::vector<uint8_t> current = Zeros(264);
    sFiltDef c = MakeFiltDef(8, 9, 3);
    c.layoutMark = 0;
    c.length80 = 0.2;
    std::memcpy(current.data(), &c, sizeof c);
    CFiltDefList list;
    CVOKFile& file = OpenWith(
        CLeBytes().I32(1).Block(32, CLeBytes().Append(Record30(3)).Append(Record30(0x0503)).Append(current)));
    EXPECT_EQ(list.ReadBlock(file, true), 1);
    ASSERT_EQ(list.GetCount(), 3);
    Vok::Test::ExpectFields(list.GetAt(0), kVersion30);
    Vok::Test::ExpectFields(list.GetAt(1), kVersion30);
    const sFiltDef& m = *list.GetAt(2);  // a current record from before the layout mark
    EXPECT_EQ(m.length136, 0.2);
    EXPECT_EQ(m.length80, 2.0);
    EXPECT_EQ(m.layoutMark, 10);
}

TEST_F(FilterListsTest, AnUnknownVersionOrACutEndsTheBlock) {
    std::vector<uint8_t> v4 = Record30(4);
    CFiltDefList list;
    CVOKFile& file =
        OpenWith(CLeBytes().I32(1).Block(32, CLeBytes().Append(Record152(2)).Append(v4).Append(Record152(2))));
    EXPECT_EQ(list.ReadBlock(file, true), 0);
    EXPECT_EQ(list.GetCount(), 1);

    // A block that says it is longer than the file, and one whose size ends inside a record.
    CFiltDefList cut;
    CVOKFile& longer = OpenWith(CLeBytes().I32(1).I32(32).I32(1000).Append(Record152(2)).Append(Zeros(100)));
    EXPECT_EQ(cut.ReadBlock(longer, true), 0);
    EXPECT_EQ(cut.GetCount(), 1);
    CFiltDefList inside;
    CVOKFile& shorter = OpenWith(CLeBytes().I32(1).I32(32).I32(152 + 100).Append(Record152(2)).Append(Record152(2)));
    EXPECT_EQ(inside.ReadBlock(shorter, true), 0);
    EXPECT_EQ(inside.GetCount(), 1);
    CFiltDefList headless;
    CVOKFile& tiny = OpenWith(CLeBytes().I32(1).I32(32).I32(4).Append(Record152(2)));
    EXPECT_EQ(headless.ReadBlock(tiny, true), 0);
    EXPECT_EQ(headless.GetCount(), 0);
}

TEST_F(FilterListsTest, ListsRoundTripThroughTheBlockFile) {
    CFiltDefList filters;
    filters.Add(MakeFiltDef(1, 1, 2))->length24 = 0.7;
    filters.Add(MakeFiltDef(1, 2, 13))->version = 3;  // stamped by the writer
    filters.Add(MakeFiltDef(2, 1, 0));
    CObsFiltDefList obsFilters;
    sObsFiltDef o{};
    o.key = 1;
    o.obsId = 5;
    o.flags = 1;
    o.parameters[55] = 0xAB;
    obsFilters.Add(o);
    o.obsId = 6;
    obsFilters.Add(o);

    CVOKFile& file = OpenWith(CLeBytes().I32(2));
    file.SeekToEnd();
    EXPECT_EQ(filters.WriteBlock(file), 1);
    EXPECT_EQ(obsFilters.WriteBlock(file), 1);
    EXPECT_EQ(filters.GetAt(1)->version, 259);

    ASSERT_EQ(file.FindBlock(BLOCK_FILTER_DEFS), 1);
    CFiltDefList filtersBack;
    EXPECT_EQ(filtersBack.ReadBlock(file, true), 1);
    EXPECT_EQ(filtersBack.Compare(filters), 0);
    EXPECT_EQ(filtersBack.GetAt(0)->length24, 0.7);
    ASSERT_EQ(file.FindBlock(BLOCK_OBS_FILTER_DEFS), 1);
    CObsFiltDefList obsBack;
    EXPECT_EQ(obsBack.ReadBlock(file), 1);
    EXPECT_EQ(obsBack.Compare(obsFilters), 0);
    EXPECT_EQ(obsBack.GetAt(1)->parameters[55], 0xAB);

    // Every cut of the file ends the readers with whole records only.
    const ULONGLONG full = file.GetLength();
    for (ULONGLONG length = full; length > 0; --length) {
        SCOPED_TRACE(length);
        file.SetLength(length);
        CFiltDefList f;
        CObsFiltDefList of;
        if (file.FindBlock(BLOCK_FILTER_DEFS) != 0) f.ReadBlock(file, true);
        if (file.FindBlock(BLOCK_OBS_FILTER_DEFS) != 0) of.ReadBlock(file);
        ASSERT_LE(f.GetCount(), 3);
        ASSERT_LE(of.GetCount(), 2);
        for (int k = 0; k < f.GetCount(); ++k) EXPECT_EQ(std::memcmp(f.GetAt(k), filters.GetAt(k), 264), 0);
        for (int k = 0; k < of.GetCount(); ++k) EXPECT_EQ(std::memcmp(of.GetAt(k), obsFilters.GetAt(k), 72), 0);
    }
}

TEST_F(FilterListsTest, LookUpsCompareAndDelete) {
    CNodeDefList nodes;
    nodes.Add(Vok::Test::MakeNodeDef(4, 40, 2, 4, 0, 0, 0));
    CFiltDefList a;
    a.Add(MakeFiltDef(1, 1, 2));
    sFiltDef* second = a.Add(MakeFiltDef(1, 2, 3));
    EXPECT_EQ(a.FindByKeys(1, 2), second);
    EXPECT_EQ(a.FindByKeys(0, 2), nullptr);
    EXPECT_EQ(a.FindByKeys(1, 0), nullptr);
    EXPECT_EQ(a.FindByNode(1, 4, nodes), second);
    EXPECT_EQ(a.FindByNode(1, 5, nodes), nullptr);

    CFiltDefList b(&a);
    EXPECT_EQ(a.Compare(b), 0);
    b.GetAt(1)->value248 = 5;  // the first differing byte: 0 against 5
    EXPECT_EQ(a.Compare(b), -1);
    EXPECT_EQ(b.Compare(a), 1);
    b.GetAt(1)->objectId = 0;
    EXPECT_EQ(b.Compare(a), 999);  // a key of 0
    CFiltDefList c(&b);
    EXPECT_EQ(c.Compare(b), 999);  // the same record without an object id on both sides
    c.GetAt(1)->objectId = 2;
    b.GetAt(1)->objectId = 2;
    c.GetAt(0)->setupId = 0;
    b.GetAt(0)->setupId = 0;
    EXPECT_EQ(c.Compare(b), 999);  // nor with a set-up id
    b.GetAt(0)->setupId = 1;
    b.GetAt(1)->objectId = 0;
    b.Add(MakeFiltDef(3, 3, 0));
    EXPECT_EQ(b.Compare(a), 1);

    sFiltDef outside = MakeFiltDef(1, 2, 3);
    a.Delete(&outside);
    a.Delete(nullptr);
    EXPECT_EQ(a.GetCount(), 2);
    a.Delete(second);
    EXPECT_EQ(a.GetCount(), 1);
    EXPECT_EQ(a.FindByKeys(1, 2), nullptr);
    a.CopyFrom(nullptr);
    EXPECT_EQ(a.GetCount(), 1);
    a.CopyFrom(&b);
    ASSERT_EQ(a.GetCount(), 3);
    for (int k = 0; k < 3; ++k) EXPECT_EQ(std::memcmp(a.GetAt(k), b.GetAt(k), 264), 0);

    CObsFiltDefList obs;
    sObsFiltDef o{};
    o.key = 2;
    o.obsId = 7;
    obs.Add(o);
    o.key = 3;
    obs.Add(o);
    o.obsId = 8;
    obs.Add(o);
    EXPECT_EQ(obs.FindByObservation(7), obs.GetAt(0));
    EXPECT_EQ(obs.FindByObservation(0), nullptr);
    EXPECT_EQ(obs.FindByKeys(3, 7), obs.GetAt(1));
    EXPECT_EQ(obs.FindByKeys(0, 7), nullptr);
    obs.SetEnabled(7, true);
    EXPECT_EQ(obs.GetAt(0)->flags, 1u);
    EXPECT_EQ(obs.GetAt(1)->flags, 1u);
    EXPECT_EQ(obs.GetAt(2)->flags, 0u);
    obs.GetAt(0)->flags = 0xF3;
    obs.SetEnabled(7, false);
    EXPECT_EQ(obs.GetAt(0)->flags, 0xF2u);
    o.key = 1;
    o.obsId = 9;
    obs.Add(o);
    EXPECT_EQ(obs.FindByKeys(1, 9), obs.GetAt(3));
    CObsFiltDefList copy(&obs);
    EXPECT_EQ(copy.Compare(obs), 0);
    copy.GetAt(2)->obsId = 0;
    EXPECT_EQ(copy.Compare(obs), 999);
    obs.GetAt(2)->obsId = 0;
    EXPECT_EQ(copy.Compare(obs), 999);  // the same record without an observation id on both sides
    copy.GetAt(2)->obsId = obs.GetAt(2)->obsId = 8;
    copy.GetAt(1)->key = obs.GetAt(1)->key = 0;
    EXPECT_EQ(copy.Compare(obs), 999);
}

class FilterListsIpcTest : public Vok::Test::IpcTest {};

TEST_F(FilterListsIpcTest, ListsGoThroughASharedBufferWhole) {
    IpcBufferHandle host("F", 1);
    ASSERT_TRUE(host.Lock());
    host.buffer.AddBlock(32, 3 * 264, 264);
    host.buffer.AddBlock(19, 2 * 72, 72);
    host.buffer.AddBlock(32, 2 * 264, 264);  // room for two
    CFiltDefList filters;
    filters.Add(MakeFiltDef(1, 1, 2));
    filters.Add(MakeFiltDef(1, 2, 14))->value248 = 77;
    filters.Add(MakeFiltDef(2, 1, 0));
    CObsFiltDefList obs;
    sObsFiltDef o{};
    o.key = 1;
    o.obsId = 3;
    o.parameters[0] = 9;
    obs.Add(o);
    EXPECT_EQ(filters.WriteToIpc(host, 1), 1);
    EXPECT_EQ(obs.WriteToIpc(host, 2), 1);
    EXPECT_EQ(filters.WriteToIpc(host, 3), 0);
    EXPECT_EQ(host.buffer.GetRecordCount(2), 0u);
    host.Unlock();

    IpcBufferHandle reader("F", 0);
    ASSERT_TRUE(reader.Lock());
    CFiltDefList filtersBack;
    CObsFiltDefList obsBack;
    EXPECT_EQ(filtersBack.ReadFromIpc(reader, 1), 1);
    EXPECT_EQ(obsBack.ReadFromIpc(reader, 2), 1);
    CFiltDefList wrongSize;
    EXPECT_EQ(wrongSize.ReadFromIpc(reader, 2), 0);  // 72-byte records
    reader.Unlock();
    EXPECT_EQ(filtersBack.Compare(filters), 0);
    EXPECT_EQ(filtersBack.GetAt(1)->value248, 77u);
    EXPECT_EQ(obsBack.Compare(obs), 0);
    EXPECT_EQ(wrongSize.GetCount(), 0);
}

}  // namespace
