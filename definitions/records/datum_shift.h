// Inversion of a seven-parameter datum shift (the 88-byte payload of the "Datum Shift" header
// record 206): the two datum numbers change places, translations, rotations and scale are
// inverted by the record's own method, and negligible values become exactly zero. A second form
// inverts a pair of records and accumulates translations into a 40-byte shift record.
#pragma once

#include <cstddef>
#include <cstdint>

struct sDatumShift {
    uint32_t datum1;
    uint32_t datum2;
    int32_t signConvention;   // 1: the stored rotations are taken with the opposite sign
    int32_t rotationUnit;     // 1: micro-radians, else arc-seconds
    int32_t methods[2];       // not read here
    int32_t inversion;        // 1 or 2: negation, -1: small angles, else the exact rotation matrix
    int32_t reserved28;
    double translation[3];    // metres
    double rotation[3];       // in the rotation unit
    double scale;             // parts per million
};
static_assert(sizeof(sDatumShift) == 88);
static_assert(offsetof(sDatumShift, signConvention) == 8);
static_assert(offsetof(sDatumShift, rotationUnit) == 12);
static_assert(offsetof(sDatumShift, methods) == 16);
static_assert(offsetof(sDatumShift, inversion) == 24);
static_assert(offsetof(sDatumShift, translation) == 32);
static_assert(offsetof(sDatumShift, rotation) == 56);
static_assert(offsetof(sDatumShift, scale) == 80);

struct sDatumShiftTotal {
    uint32_t datum1;
    uint32_t datum2;
    int32_t mode;             // 1: translations accumulate here
    int32_t reserved12;
    double shift[3];
};
static_assert(sizeof(sDatumShiftTotal) == 40);
static_assert(offsetof(sDatumShiftTotal, mode) == 8);
static_assert(offsetof(sDatumShiftTotal, shift) == 16);

// Inverts the record in place; out (when given) receives the swapped datum numbers. false, and
// nothing changed, for a null record or a scale of -1e6 ppm (no inverse exists).
bool InvertDatumShift(sDatumShift* record, sDatumShiftTotal* out);
// The general form; any pointer may be null. Each record swaps its own datum numbers; the shift
// and out records take the swapped numbers of record 1, or of record 2 without record 1. false,
// and nothing changed, when a given record has a scale of -1e6 ppm.
bool InvertDatumShiftPair(sDatumShift* record1, sDatumShiftTotal* shift, sDatumShift* record2,
                          sDatumShiftTotal* out);
