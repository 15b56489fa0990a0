// Display texts of distances, headings and plain numbers, and the tests and readers of number
// texts that go with them.
#pragma once

#include <cstdint>
#include <string>

#include "compat/cstring.h"
#include "compat/windows_types.h"

// Distance unit codes of DistanceText.
constexpr int DISTANCE_UNIT_NM = 0;
constexpr int DISTANCE_UNIT_METRE = 1;
constexpr int DISTANCE_UNIT_KM = 2;
// Metres below 0.54 NM, nautical miles from there on.
constexpr int DISTANCE_UNIT_AUTO = 3;

// Decimals that show a value sensibly: 1 for 0.0, 6 below 1e-5 ... 1 below 1.0, 0 from 1.0 on.
int AutoDecimals(double value);
// A distance in nautical miles as "1.23 NM", "2278.0 m" or "2.28 km"; decimals -1 take
// AutoDecimals of the distance. An unknown unit gives "". Other negative decimals count as 0.
CString DistanceText(double distance, int decimals, int unit);
// "<value> <unit>" with the decimals (-1: AutoDecimals); the unit is printed as it stands.
CString ValueWithUnitText(double value, int decimals, const CString& unit);
// The heading brought into [0, 360) with the decimals and the degree sign of the system's
// language; a non-finite heading is printed as it is.
CString HeadingText(double heading, int decimals);
// Special character index 0..10 (broken bar, (c), (r), degree, plus-minus, sharp s, U and u
// umlaut, O and o umlaut, superscript two) as the Windows-1252 byte for the languages that
// have it, or an ASCII stand-in; "" for another index.
CString SpecialCharText(WORD languageId, int index);
// Cuts the trailing zeros of the decimals (and a point left bare), keeping at least
// minimumDecimals of them. A text without a decimal point is left alone.
void TrimTrailingZeros(CString& text, int minimumDecimals);
CString DoubleToText(double value, int minimumDecimals);
CString FloatToText(float value, int minimumDecimals);
// A position along a line in kilometres as hectometres and metres: 1.23456 km gives "12+34.56"
// with 2 decimals, -1.23456 km "-12-34.56".
CString ChainageText(double kilometres, int decimals);
// A number text with a decimal point rounded to the decimals (0 or more); other texts stay.
void RoundNumberText(CString& text, const int& decimals);
// Digits, at most one decimal point and at most one sign, which must lead; white space at both
// ends is ignored. Null or blank is not a number.
BOOL IsNumberText(const char* text);
// Only digits and signs (wherever they stand); null or blank is not.
BOOL IsIntegerText(const char* text);
// The first number in the text (a minus just before its digits included); out is written only
// when one is found.
bool FindNumberInText(const CString& text, double* out);
// Binary digits, most significant first, without leading zeros ("0" for 0).
std::string BinaryText(uint32_t value);
