// Screen geometry records of the desktop interfaces; the fields are fixed-width like the
// platform's.
#pragma once

#include "compat/windows_types.h"

struct POINT {
    LONG x;
    LONG y;
};

struct RECT {
    LONG left;
    LONG top;
    LONG right;
    LONG bottom;
};
