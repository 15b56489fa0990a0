// The font-description records that the platform's font-family enumeration hands to its
// callbacks, reduced to the fields read here.
#pragma once

#include "compat/windows_types.h"

constexpr int LF_FACESIZE = 32;
constexpr int LF_FULLFACESIZE = 64;

// Font type bits of an enumerated font.
constexpr DWORD RASTER_FONTTYPE = 0x0001;
constexpr DWORD DEVICE_FONTTYPE = 0x0002;
constexpr DWORD TRUETYPE_FONTTYPE = 0x0004;

struct LOGFONTA {
    char lfFaceName[LF_FACESIZE];  // zero-terminated within the field, or filling it
};

struct ENUMLOGFONTEXA {
    LOGFONTA elfLogFont;
    BYTE elfFullName[LF_FULLFACESIZE];  // likewise
};
