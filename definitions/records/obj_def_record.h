// The object definition record (384 bytes): a versioned record that begins with its own size and
// version and is stored unchanged in the block file and the shared buffer. Its defaults, the
// derivation of its object type from its object id, the look-up of codes by kind in its code
// tables, its equality and its image in the serialisation archive (versions 3, 4 and 5).
#pragma once

#include <cstddef>
#include <cstdint>

namespace Vok {
class IArchive;
}

struct sObjDef {
    static constexpr uint32_t kSize = 384;
    static constexpr uint16_t kVersion = 5;     // the high byte is the sub-version
    static constexpr size_t kCodeCount = 10;
    static constexpr float kDefaultPressure = 1.01325f;
    static constexpr float kDefaultDensity = 1000.0f;

    uint32_t recordSize;
    uint16_t version;
    uint8_t byte6;
    uint8_t byte7;
    int32_t objectId;                  // 1 and up; 0 or less: none
    char name[36];
    int32_t refNodeId;
    int32_t settings1[kCodeCount];     // settings area 1
    int32_t settings2[kCodeCount];     // settings area 2
    int32_t codeTable[kCodeCount];
    int32_t heightArea[kCodeCount];    // first word: the object's tide strategy id (-1 none)
    int32_t squatModel;                // -1 none
    int32_t settings216[3];
    uint8_t pad228[4];                 // zeroed by Init, not compared
    double refPointValue;
    double value240;
    int32_t displayOrder;              // -1 unset
    int32_t setting252;
    int32_t refPointFlag;              // -1 none, 0 present
    int32_t settings260[2];
    int32_t settings5[kCodeCount];     // settings area 5
    int32_t objType;                   // ObjType
    int32_t subtype;                   // the setting after the object type
    int32_t environment1;
    float pressure;
    int32_t environment2;              // a byte in old records
    float density;
    int32_t settings332[5];
    double values352[4];

    // Writes the defaults (the bytes 6 to 51 stay as they are), then classifies the type.
    void Init();
    // Size 384, version 5, then classifies the type.
    void UpdateStamp();
    // Only while the object type is 0: 101 for id -2, 102 for -1, 1 for 200..299, 2 for
    // 300..399, 3 for 400..499.
    void ClassifyType();
    void ResetEnvironment();
    bool HasDefaultPressureAndDensity() const;

    // Field by field; names compare as texts up to their terminators, the bytes 6 and 7 and the
    // bytes after a name's terminator do not count.
    bool operator==(const sObjDef& other) const;
    bool operator!=(const sObjDef& other) const { return !(*this == other); }
};
static_assert(sizeof(sObjDef) == 384);
static_assert(offsetof(sObjDef, version) == 4);
static_assert(offsetof(sObjDef, byte6) == 6);
static_assert(offsetof(sObjDef, objectId) == 8);
static_assert(offsetof(sObjDef, name) == 12);
static_assert(offsetof(sObjDef, refNodeId) == 48);
static_assert(offsetof(sObjDef, settings1) == 52);
static_assert(offsetof(sObjDef, settings2) == 92);
static_assert(offsetof(sObjDef, codeTable) == 132);
static_assert(offsetof(sObjDef, heightArea) == 172);
static_assert(offsetof(sObjDef, squatModel) == 212);
static_assert(offsetof(sObjDef, settings216) == 216);
static_assert(offsetof(sObjDef, pad228) == 228);
static_assert(offsetof(sObjDef, refPointValue) == 232);
static_assert(offsetof(sObjDef, value240) == 240);
static_assert(offsetof(sObjDef, displayOrder) == 248);
static_assert(offsetof(sObjDef, setting252) == 252);
static_assert(offsetof(sObjDef, refPointFlag) == 256);
static_assert(offsetof(sObjDef, settings260) == 260);
static_assert(offsetof(sObjDef, settings5) == 268);
static_assert(offsetof(sObjDef, objType) == 308);
static_assert(offsetof(sObjDef, subtype) == 312);
static_assert(offsetof(sObjDef, environment1) == 316);
static_assert(offsetof(sObjDef, pressure) == 320);
static_assert(offsetof(sObjDef, environment2) == 324);
static_assert(offsetof(sObjDef, density) == 328);
static_assert(offsetof(sObjDef, settings332) == 332);
static_assert(offsetof(sObjDef, values352) == 352);

// The kind that a code carries: code / 1,000,000 for codes above 1,000,000, raised by the last
// decimal digit for the grouped kinds 30, 37, 43, 46 and 68; 0 for codes that carry none.
int32_t GetCodeKind(int32_t code);
// The first code of the kind in a ten-entry table; 0 when none.
int32_t FindCodeInTable(const int32_t* table, int32_t kind);
// The same in settings area 1, settings area 2 and the code table; 0 also for a null record.
int32_t FindCodeInFirstTable(const sObjDef* def, int32_t kind);
int32_t FindCodeInSecondTable(const sObjDef* def, int32_t kind);
int32_t FindCodeOfKind(const sObjDef* def, int32_t kind);

// Reads the archive image of version major.minor (5.0, 4.0 or 3.0) into def; the name, the
// reference node id, the size and the version are not part of it and stay. Any other version
// raises the archive's error 7 before anything is read; a read past the end raises it too and
// leaves def unchanged.
void ReadObjDefFromArchive(Vok::IArchive& archive, sObjDef& def, uint8_t major, uint8_t minor);
// Writes the version-5.0 image (no size or version of its own).
void WriteObjDefToArchive(Vok::IArchive& archive, const sObjDef& def);
