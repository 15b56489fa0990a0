// Latitude and longitude texts: the split degrees/minutes/seconds angle, its conversions to and
// from degrees and radians, the numbered coordinate formats (codes 0 to 14) and a few fixed texts.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "compat/cstring.h"
#include "compat/window.h"
#include "compat/windows_types.h"

// The sign lives in the hemisphere letter alone: "S", "s", "W" and "w" make the angle negative.
struct sDmsAngle {
    int32_t degrees;
    int32_t minutes;
    float seconds;
    char hemisphere;
    char reserved[3];
};
static_assert(sizeof(sDmsAngle) == 16);
static_assert(offsetof(sDmsAngle, minutes) == 4);
static_assert(offsetof(sDmsAngle, seconds) == 8);
static_assert(offsetof(sDmsAngle, hemisphere) == 12);

constexpr int LATLON_FORMAT_COUNT = 15;

// Splits signed degrees; seconds that reach secondsCap (in single precision) carry into the
// minutes, and 60 minutes into the degrees. Returns the hemisphere letter.
char DegreesToDms(double degrees, BOOL latitude, sDmsAngle* out, float secondsCap);
// The same split without any carry.
char DegreesToDmsParts(double degrees, BOOL latitude, int* deg, int* min, float* sec, char* hemisphere);
double DmsToDegrees(const sDmsAngle& angle);
double DmsPartsToDegrees(int degrees, int minutes, float seconds, char hemisphere);
double DmsToRadians(const sDmsAngle& angle);
// Negated when the sign letter is "-", "S", "W", "s" or "w".
double DmsPartsToRadians(double degrees, double minutes, double seconds, char sign);

// Codes outside 0..14 give empty texts.
CString DisplayMask(int code, BOOL latitude, BOOL highPrecision);
CString EditMask(int code, BOOL latitude, BOOL highPrecision);
CString PrintfFormat(int code, BOOL latitude, BOOL highPrecision);
CString FormatDms(int code, const sDmsAngle& angle, BOOL latitude, BOOL highPrecision);
// A latitude when the hemisphere letter is "N" or "S" (either case).
CString FormatDmsAuto(int code, const sDmsAngle& angle, BOOL highPrecision);
// Split with the code's seconds cap, then printed in the code's format.
CString FormatDegrees(int code, double degrees, BOOL latitude, BOOL highPrecision);
// Refills a combo box with longitude display masks, each with its code as item data: codes 0, 1,
// 2 for level 0, else 5, 0, 6, 1, 7, 2; high precision from level 2. Nothing for null or for a
// window that is no combo box.
void FillFormatCombo(CWnd* window, int level);

// Degrees and decimal minutes: "52 30.000 N", "004 15.000 W". Negative decimals count as 0.
CString LatitudeText(double latitude, int decimals);
CString LongitudeText(double longitude, int decimals);
CString PositionText(const double& latitude, const double& longitude, int decimals);
// Degrees;minutes;seconds with the hemisphere letter behind: "52;30;00.00N".
CString DmsText(double degrees, int decimals, BOOL latitude);

namespace Vok {
// DmsText as a standard string.
std::string DmsText(double degrees, int decimals, BOOL latitude);
}  // namespace Vok
