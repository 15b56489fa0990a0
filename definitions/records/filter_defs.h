// Position and observation filter definition records: their layouts, defaults and limits, the
// tests over filter modes, and the size classes of the filters' lengths. "Length" fields are in
// the unit library's current length unit; their defaults and limits are given in metres.
#pragma once

#include <cstddef>
#include <cstdint>

#include "compat/cstring.h"

// A position filter definition, 264 bytes; a file and shared-buffer format (little-endian). The
// programs that run the filters give the parameters their meaning; here they have their places,
// defaults and limits.
struct sFiltDef {
    static constexpr uint32_t kSize = 264;
    static constexpr uint16_t kVersion = 259;  // bytes 3 (major), 1 (minor)
    static constexpr int32_t kLayoutMark = 10;
    static constexpr int32_t kNoReference = -2;

    uint32_t recordSize;
    uint16_t version;
    uint16_t reserved6;
    int32_t setupId;           // first key, from 1
    int32_t objectId;          // second key, from 1
    int32_t mode;              // 0..15
    uint32_t flags;            // bits 0..4 switches, bits 8..15 two selector nibbles
    double length24;
    double value32;
    uint32_t value40;
    int32_t count44;
    double factor48;
    double factor56;
    double length64;
    double length72;
    double length80;
    double factor88;
    double length96;
    double factor104;
    double length112;
    int32_t refIds[3];         // per slot; -2 none
    int32_t secondMode;        // 0..15
    double length136;
    double length144;
    double length152;
    double slotValues[3];      // slot 1: an angle in degrees
    uint32_t slotWords[3];
    int32_t count196;
    double length200;
    double value208;
    int32_t count216;
    uint32_t flags2;           // bits 8..15 two selector nibbles
    double filterInterval;     // seconds
    double secondInterval;     // seconds
    double value240;
    uint32_t value248;
    int32_t value252;
    int32_t value256;
    int32_t layoutMark;        // 10; 0 in records from before it
};
static_assert(sizeof(sFiltDef) == 264);
static_assert(offsetof(sFiltDef, version) == 4);
static_assert(offsetof(sFiltDef, setupId) == 8);
static_assert(offsetof(sFiltDef, objectId) == 12);
static_assert(offsetof(sFiltDef, mode) == 16);
static_assert(offsetof(sFiltDef, flags) == 20);
static_assert(offsetof(sFiltDef, length24) == 24);
static_assert(offsetof(sFiltDef, value32) == 32);
static_assert(offsetof(sFiltDef, value40) == 40);
static_assert(offsetof(sFiltDef, count44) == 44);
static_assert(offsetof(sFiltDef, factor48) == 48);
static_assert(offsetof(sFiltDef, length112) == 112);
static_assert(offsetof(sFiltDef, refIds) == 120);
static_assert(offsetof(sFiltDef, secondMode) == 132);
static_assert(offsetof(sFiltDef, length136) == 136);
static_assert(offsetof(sFiltDef, slotValues) == 160);
static_assert(offsetof(sFiltDef, slotWords) == 184);
static_assert(offsetof(sFiltDef, count196) == 196);
static_assert(offsetof(sFiltDef, length200) == 200);
static_assert(offsetof(sFiltDef, value208) == 208);
static_assert(offsetof(sFiltDef, count216) == 216);
static_assert(offsetof(sFiltDef, flags2) == 220);
static_assert(offsetof(sFiltDef, filterInterval) == 224);
static_assert(offsetof(sFiltDef, secondInterval) == 232);
static_assert(offsetof(sFiltDef, value240) == 240);
static_assert(offsetof(sFiltDef, value248) == 248);
static_assert(offsetof(sFiltDef, value252) == 252);
static_assert(offsetof(sFiltDef, value256) == 256);
static_assert(offsetof(sFiltDef, layoutMark) == 260);

// An observation filter definition, 72 bytes, copied and stored whole.
struct sObsFiltDef {
    int32_t key;               // first key, from 1
    int32_t obsId;             // from 1
    uint32_t word8;
    uint32_t flags;            // bit 0: enabled
    uint8_t parameters[56];
};
static_assert(sizeof(sObsFiltDef) == 72);
static_assert(offsetof(sObsFiltDef, obsId) == 4);
static_assert(offsetof(sObsFiltDef, flags) == 12);
static_assert(offsetof(sObsFiltDef, parameters) == 16);

// The defaults, then ValidateFiltDef. Null does nothing.
void InitFiltDef(sFiltDef* def);
// Stamps size and version, moves a record from before the layout mark up, and brings every field
// within its limits. Null does nothing.
void ValidateFiltDef(sFiltDef* def);
// 1 for a stamped record (size 264, major version 3) with both keys set.
int IsValidFiltDef(const sFiltDef* def);
// Slot masks: 2, 4 or 8 one slot, 14 all three; other masks do nothing.
void ClearFiltSlot(sFiltDef* def, int slotMask);
void ClearFiltSlotWords(sFiltDef* def, int slotMask);

// Mode tests; 0 for null.
int FiltModeIsSet(const sFiltDef* def);          // mode 1..15
int FiltModeIsActive(const sFiltDef* def);       // mode 2..15
int FiltModeIsGroupA(const sFiltDef* def);       // 2, 3, 8..11
int FiltModeIsGroupB(const sFiltDef* def);       // 4..7, 12..15
int FiltSecondModeIsSet(const sFiltDef* def);    // second mode 1..15
int FiltDefUsesSecondStage(const sFiltDef* def);
int FiltDefIsActive(const sFiltDef* def);
int FiltModeAccepts(int32_t mode, int32_t a, int32_t b);

// The resource text of a mode (0..15); empty for another.
CString GetFiltModeName(int32_t mode);

// Size classes 0..4 of a length in the current unit; the borders are in metres.
double GetSizeClassLength(int sizeClass);
int GetSizeClass(double length);
double GetFineSizeClassLength(int sizeClass);
int GetFineSizeClass(double length);
CString GetSizeClassText(double length);
// "mode name - size class text".
CString GetFiltDescription(int32_t mode, double length);
