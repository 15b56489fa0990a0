// The fixed-size definition records of the project database: observation, node and system
// definitions. They are shared-buffer and file formats (little-endian), so every field has its
// fixed width and offset. Value-initialised observation and node records are all zero; a
// default system record carries its size and version 0.
#pragma once

#include <cstddef>
#include <cstdint>

#include "compat/cstring.h"

// An observation definition, 240 bytes.
struct sObsDef {
    int32_t id;              // from 1
    int32_t link;            // 0 none; a partner carries the negated value. Also the header number.
    int32_t sysId;
    char name[61];           // at most 60 characters
    uint8_t transient;       // cleared in every record that is written out
    uint8_t flag74;
    uint8_t flag75;
    int32_t nodeId;
    int32_t toNodeId;        // below 1: none
    int32_t obsType;         // ObsType
    uint32_t unitType;       // eUnitType of the values
    uint32_t rotationOrder;
    int32_t displayNodeId;   // 0: the node id
    uint32_t zero100;
    double verticalDelay;    // seconds, pitch, roll and heave types
    double velocity;         // filter window of pitch, roll and heave; else the measurement velocity
    double soundVelocity;
    double correction1;
    double correction2;
    double scale;            // 0.0: none
    double quadratic;        // 0.0: none
    float sigma;             // a-priori standard deviation; 0 or less: not set
    float setting164;
    char refName1[11];       // at most 10 characters
    char refName2[11];
    char tag[14];            // at most 13 characters
    float interval;          // seconds; negative: the type's default
    uint8_t reserved208[32];
};
static_assert(sizeof(sObsDef) == 240);
static_assert(offsetof(sObsDef, link) == 4);
static_assert(offsetof(sObsDef, sysId) == 8);
static_assert(offsetof(sObsDef, name) == 12);
static_assert(offsetof(sObsDef, transient) == 73);
static_assert(offsetof(sObsDef, flag74) == 74);
static_assert(offsetof(sObsDef, flag75) == 75);
static_assert(offsetof(sObsDef, nodeId) == 76);
static_assert(offsetof(sObsDef, toNodeId) == 80);
static_assert(offsetof(sObsDef, obsType) == 84);
static_assert(offsetof(sObsDef, unitType) == 88);
static_assert(offsetof(sObsDef, rotationOrder) == 92);
static_assert(offsetof(sObsDef, displayNodeId) == 96);
static_assert(offsetof(sObsDef, zero100) == 100);
static_assert(offsetof(sObsDef, verticalDelay) == 104);
static_assert(offsetof(sObsDef, velocity) == 112);
static_assert(offsetof(sObsDef, soundVelocity) == 120);
static_assert(offsetof(sObsDef, correction1) == 128);
static_assert(offsetof(sObsDef, correction2) == 136);
static_assert(offsetof(sObsDef, scale) == 144);
static_assert(offsetof(sObsDef, quadratic) == 152);
static_assert(offsetof(sObsDef, sigma) == 160);
static_assert(offsetof(sObsDef, setting164) == 164);
static_assert(offsetof(sObsDef, refName1) == 168);
static_assert(offsetof(sObsDef, refName2) == 179);
static_assert(offsetof(sObsDef, tag) == 190);
static_assert(offsetof(sObsDef, interval) == 204);
static_assert(offsetof(sObsDef, reserved208) == 208);

// A node definition, 128 bytes.
struct sNodeDef {
    int32_t id;               // from 1
    int32_t number;           // the number by which header records refer to the node
    int32_t satelliteNumber;  // nodes of type 5
    char name[61];            // at most 60 characters
    uint8_t defaultsApplied;
    uint8_t unitCode;         // eUnitType of the coordinates
    uint8_t coordKind;        // CoordKind; 0 leaves x and y out of unit conversion
    uint32_t nodeType;        // NodeType 0..5
    int32_t objectId;         // below 1: none
    int32_t reserved84;
    double x;
    double y;
    double z;
    float sdX;
    float sdY;
    float sdZ;
    uint32_t reserved124;
};
static_assert(sizeof(sNodeDef) == 128);
static_assert(offsetof(sNodeDef, number) == 4);
static_assert(offsetof(sNodeDef, satelliteNumber) == 8);
static_assert(offsetof(sNodeDef, name) == 12);
static_assert(offsetof(sNodeDef, defaultsApplied) == 73);
static_assert(offsetof(sNodeDef, unitCode) == 74);
static_assert(offsetof(sNodeDef, coordKind) == 75);
static_assert(offsetof(sNodeDef, nodeType) == 76);
static_assert(offsetof(sNodeDef, objectId) == 80);
static_assert(offsetof(sNodeDef, reserved84) == 84);
static_assert(offsetof(sNodeDef, x) == 88);
static_assert(offsetof(sNodeDef, y) == 96);
static_assert(offsetof(sNodeDef, z) == 104);
static_assert(offsetof(sNodeDef, sdX) == 112);
static_assert(offsetof(sNodeDef, sdY) == 116);
static_assert(offsetof(sNodeDef, sdZ) == 120);
static_assert(offsetof(sNodeDef, reserved124) == 124);

// A system definition, 776 bytes; also the driver's own settings record.
struct sSysDef {
    static constexpr uint32_t kSize = 776;
    static constexpr uint16_t kVersion = 2;

    uint32_t recordSize = kSize;
    uint16_t version = 0;         // 0 in a record still to upgrade
    uint16_t zero6 = 0;
    uint8_t address[4] = {};      // IPv4, first octet first
    uint32_t connection12 = 0;
    uint32_t connection16 = 0;
    int32_t connection20 = 0;     // -1: not set
    uint32_t port = 0;
    int32_t sysType = 0;          // SysType
    int32_t driverId = 0;         // system type x 10000 + n
    uint32_t reserved36 = 0;
    float interval = 0.0f;        // update interval, seconds
    float timeOffset = 0.0f;      // seconds
    uint8_t reserved48[16] = {};
    int32_t sysId = 0;            // from 1
    int32_t key1 = 0;
    int32_t key2 = 0;
    int32_t key3 = 0;
    char name[76] = {};           // at most 75 characters
    char text156[261] = {};
    char text417[261] = {};
    uint8_t zero678[2] = {};
    uint32_t reserved680 = 0;
    uint32_t timeSource = 0;      // 4: the decoded time tag is the update's time
    uint32_t timeTagType = 0;
    uint32_t output = 0;
    uint8_t sourceFilter = 0;
    uint8_t reserved697[79] = {};
};
static_assert(sizeof(sSysDef) == 776);
static_assert(offsetof(sSysDef, version) == 4);
static_assert(offsetof(sSysDef, address) == 8);
static_assert(offsetof(sSysDef, connection12) == 12);
static_assert(offsetof(sSysDef, connection16) == 16);
static_assert(offsetof(sSysDef, connection20) == 20);
static_assert(offsetof(sSysDef, port) == 24);
static_assert(offsetof(sSysDef, sysType) == 28);
static_assert(offsetof(sSysDef, driverId) == 32);
static_assert(offsetof(sSysDef, interval) == 40);
static_assert(offsetof(sSysDef, timeOffset) == 44);
static_assert(offsetof(sSysDef, sysId) == 64);
static_assert(offsetof(sSysDef, key1) == 68);
static_assert(offsetof(sSysDef, key2) == 72);
static_assert(offsetof(sSysDef, key3) == 76);
static_assert(offsetof(sSysDef, name) == 80);
static_assert(offsetof(sSysDef, text156) == 156);
static_assert(offsetof(sSysDef, text417) == 417);
static_assert(offsetof(sSysDef, reserved680) == 680);
static_assert(offsetof(sSysDef, timeSource) == 684);
static_assert(offsetof(sSysDef, timeTagType) == 688);
static_assert(offsetof(sSysDef, output) == 692);
static_assert(offsetof(sSysDef, sourceFilter) == 696);
static_assert(offsetof(sSysDef, reserved697) == 697);

// The text of a character field: up to its first zero byte, and never past the field's end,
// whatever the record's bytes hold.
CString FieldText(const char* field, size_t fieldSize);
template <size_t N>
CString FieldText(const char (&field)[N]) {
    return FieldText(field, N);
}

// Copies at most fieldSize - 1 bytes of text and terminates; the rest of the field is zeroed.
void SetFieldText(char* field, size_t fieldSize, const char* text);
template <size_t N>
void SetFieldText(char (&field)[N], const char* text) {
    SetFieldText(field, N, text);
}
