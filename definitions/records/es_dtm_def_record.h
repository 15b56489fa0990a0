// The echosounder DTM definition record (768 bytes; block 23 of the block file from file version
// 15 on and the shared buffer, little-endian), and its upgrade from the older 568-byte layout.
#pragma once

#include <cstddef>
#include <cstdint>

struct sEsDtmDef {
    static constexpr uint32_t kSize = 768;
    static constexpr uint16_t kVersion = 1;
    static constexpr size_t kOldSize = 568;

    uint32_t recordSize = kSize;
    uint16_t version = kVersion;
    uint16_t zero6 = 0;
    int32_t id = 0;                 // 1 and up
    int32_t setting12 = 0;
    int32_t setting16 = 0;
    char text20[227] = {};
    uint8_t pad247 = 0;
    int32_t settings248[4] = {};
    double values264[7] = {};
    char text320[31] = {};
    uint8_t pad351 = 0;
    int32_t setting352 = 0;
    uint8_t pad356[4] = {};
    double values360[3] = {};
    int32_t optionBits = 0;         // bits 0 and 1 are switchable options
    int32_t setting388 = 0;
    double values392[2] = {};
    int32_t values408[3] = {};      // each 0..255
    uint8_t pad420[4] = {};
    double value424 = 0.0;          // 0 < x <= 10000
    double value432 = 0.0;          // 0 < x <= 1000
    int32_t settings440[6] = {};
    uint8_t settings464[4] = {};
    int32_t setting468 = 0;
    int32_t dtmSlots[4] = {};       // -1 unset
    int32_t setting488 = 0;
    uint8_t pad492[4] = {};
    double value496 = 0.0;
    char text504[17] = {};
    uint8_t zero521[239] = {};
    uint32_t flags = 0;             // option flags
    uint32_t zero764 = 0;

    // The record that an old 568-byte image describes: everything this layout cannot take from
    // it is zero.
    void CopyFromOldLayout(const uint8_t* old);
};
static_assert(sizeof(sEsDtmDef) == 768);
static_assert(offsetof(sEsDtmDef, id) == 8);
static_assert(offsetof(sEsDtmDef, text20) == 20);
static_assert(offsetof(sEsDtmDef, settings248) == 248);
static_assert(offsetof(sEsDtmDef, values264) == 264);
static_assert(offsetof(sEsDtmDef, text320) == 320);
static_assert(offsetof(sEsDtmDef, setting352) == 352);
static_assert(offsetof(sEsDtmDef, values360) == 360);
static_assert(offsetof(sEsDtmDef, optionBits) == 384);
static_assert(offsetof(sEsDtmDef, setting388) == 388);
static_assert(offsetof(sEsDtmDef, values392) == 392);
static_assert(offsetof(sEsDtmDef, values408) == 408);
static_assert(offsetof(sEsDtmDef, value424) == 424);
static_assert(offsetof(sEsDtmDef, value432) == 432);
static_assert(offsetof(sEsDtmDef, settings440) == 440);
static_assert(offsetof(sEsDtmDef, settings464) == 464);
static_assert(offsetof(sEsDtmDef, setting468) == 468);
static_assert(offsetof(sEsDtmDef, dtmSlots) == 472);
static_assert(offsetof(sEsDtmDef, setting488) == 488);
static_assert(offsetof(sEsDtmDef, value496) == 496);
static_assert(offsetof(sEsDtmDef, text504) == 504);
static_assert(offsetof(sEsDtmDef, flags) == 760);
