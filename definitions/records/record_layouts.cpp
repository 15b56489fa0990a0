#include "definitions/records/record_layouts.h"

#include <cstring>

#include "definitions/records/payload_bytes.h"

namespace {

using Vok::Definitions::LoadAt;
using Vok::Definitions::StoreAt;

void Move(uint8_t* to, size_t toOffset, const uint8_t* from, size_t fromOffset, size_t count) {
    std::memcpy(to + toOffset, from + fromOffset, count);
}

template <typename T>
void MoveValue(uint8_t* to, size_t toOffset, const uint8_t* from, size_t fromOffset) {
    StoreAt(to, toOffset, LoadAt<T>(from, fromOffset));
}

uint8_t* Bytes(sSysDef& def) { return reinterpret_cast<uint8_t*>(&def); }
const uint8_t* Bytes(const sSysDef& def) { return reinterpret_cast<const uint8_t*>(&def); }

// The head and the fields up to the name, common to both old forms.
void FromOldHead(const uint8_t* old, sSysDef& def) {
    def = sSysDef();
    def.recordSize = sSysDef::kSize;
    def.version = sSysDef::kVersion;
    Move(Bytes(def), 8, old, 0, 148);
    Bytes(def)[155] = 0;
}

void ToOldHead(uint8_t* old, size_t size, const sSysDef& def) {
    std::memset(old, 0, size);
    Move(old, 0, Bytes(def), 8, 148);
    old[147] = 0;
}

// Old i32 fields of the 568-byte layout that hold one flag bit of the current record each.
struct sFlagField {
    size_t oldOffset;
    unsigned bit;
};
constexpr sFlagField kFlagFields[] = {
    {8, 12}, {16, 13}, {40, 14}, {308, 2}, {328, 3}, {352, 4}, {376, 5}, {392, 6}, {460, 15}, {500, 7}, {532, 8},
};
constexpr uint32_t kOldFlagBits = 0x30003u;  // bits 0, 1, 16 and 17 travel in the old flag word
constexpr size_t kOldFlagWord = 12;
constexpr size_t kOldByteFlag = 332;         // bit 18, stored as one byte
constexpr unsigned kByteFlagBit = 18;

// Fields that keep their type and move between the two layouts: {current offset, old offset, bytes}.
struct sMoved {
    size_t current;
    size_t old;
    size_t count;
};
constexpr sMoved kMovedFields[] = {
    {8, 4, 4},       {12, 304, 4},    {16, 20, 4},     {20, 61, 227},   {248, 288, 8},  {264, 312, 16},
    {280, 336, 16},  {296, 360, 16},  {312, 384, 8},   {320, 396, 31},  {352, 428, 4},  {360, 432, 24},
    {384, 456, 4},   {388, 464, 4},   {392, 472, 16},  {408, 488, 12},  {424, 24, 16},  {440, 504, 8},
    {448, 536, 8},   {456, 560, 8},   {464, 427, 1},   {465, 333, 3},   {468, 512, 20}, {488, 544, 4},
    {496, 552, 8},   {504, 44, 17},
};

}  // namespace

void ConvertSysDefLayout148(const uint8_t* old, sSysDef& def) {
    FromOldHead(old, def);
}

void SysDefToLayout148(uint8_t* old, const sSysDef& def) {
    ToOldHead(old, OldSysDefLayout::kSize148, def);
}

void ConvertSysDefLayout436(const uint8_t* old, sSysDef& def) {
    FromOldHead(old, def);
    Move(Bytes(def), 156, old, 148, 260);
    Bytes(def)[416] = 0;
    Move(Bytes(def), 680, old, 416, 16);
    Bytes(def)[696] = old[432];
}

void SysDefToLayout436(uint8_t* old, const sSysDef& def) {
    ToOldHead(old, OldSysDefLayout::kSize436, def);
    Move(old, 148, Bytes(def), 156, 260);
    old[408] = 0;
    StoreAt<int32_t>(old, 412, 1);
    Move(old, 416, Bytes(def), 680, 16);
    old[432] = Bytes(def)[696];
}

bool EsDtmDefToOldLayout(const sEsDtmDef& def, uint8_t* old) {
    std::memset(old, 0, sEsDtmDef::kOldSize);
    if (def.version != sEsDtmDef::kVersion) return false;
    const auto* current = reinterpret_cast<const uint8_t*>(&def);
    StoreAt<uint32_t>(old, 0, sEsDtmDef::kOldSize);
    for (const sMoved& m : kMovedFields) Move(old, m.old, current, m.current, m.count);
    const uint32_t f = def.flags;
    for (const sFlagField& field : kFlagFields) StoreAt<int32_t>(old, field.oldOffset, static_cast<int32_t>((f >> field.bit) & 1u));
    StoreAt<uint32_t>(old, kOldFlagWord, f & kOldFlagBits);
    old[kOldByteFlag] = static_cast<uint8_t>((f >> kByteFlagBit) & 1u);
    return true;
}

void sEsDtmDef::CopyFromOldLayout(const uint8_t* old) {
    *this = sEsDtmDef();
    auto* current = reinterpret_cast<uint8_t*>(this);
    for (const sMoved& m : kMovedFields) Move(current, m.current, old, m.old, m.count);
    // Read from the old layout, though the way back has no place for them.
    Move(current, 256, old, 296, 8);
    text504[sizeof(text504) - 1] = 0;
    text320[sizeof(text320) - 1] = 0;
    uint32_t f = LoadAt<uint32_t>(old, kOldFlagWord) & kOldFlagBits;
    for (const sFlagField& field : kFlagFields) {
        if (LoadAt<int32_t>(old, field.oldOffset) > 0) f |= 1u << field.bit;
    }
    // Written as a single byte; the three bytes after it belong to other fields.
    if (old[kOldByteFlag] != 0) f |= 1u << kByteFlagBit;
    flags = f;
}

void EsDtmDefFromOldLayout(const uint8_t* old, sEsDtmDef& def) {
    def.CopyFromOldLayout(old);
}

void ConvertRecordVersion1(const uint8_t* s, uint8_t* t) {
    std::memset(t, 0, 128);
    t[0] = 1;
    Move(t, 2, s, 2, 16);
    MoveValue<int32_t>(t, 20, s, 20);
    MoveValue<uint16_t>(t, 24, s, 24);
    MoveValue<uint16_t>(t, 26, s, 26);
    MoveValue<double>(t, 32, s, 32);
    Move(t, 40, s, 40, 16);
    MoveValue<double>(t, 96, s, 56);
    StoreAt(t, 104, 0.0);
    Move(t, 112, s, 64, 16);
}
