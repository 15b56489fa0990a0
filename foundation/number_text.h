// Numbers to text through a string stream, and text to numbers with a default instead of an
// error. The classic locale holds: a full stop for decimals, digits never grouped.
#pragma once

#include <concepts>
#include <cstdint>
#include <ios>
#include <string>

// Fixed notation with the given number of decimals.
std::string ToString(double value, int precision);
std::string ToString(float value, int precision);
// notation std::ios_base::fixed or std::ios_base::scientific; any other value: general notation.
std::string ToString(double value, int precision, std::ios_base::fmtflags notation);
std::string ToString(float value, int precision, std::ios_base::fmtflags notation);
std::string ToString(int value);
std::string ToString(long long value);

std::wstring ToStringW(double value, int precision);
std::wstring ToStringW(float value, int precision);
std::wstring ToStringW(double value, int precision, std::ios_base::fmtflags notation);
std::wstring ToStringW(float value, int precision, std::ios_base::fmtflags notation);
std::wstring ToStringW(int value);
std::wstring ToStringW(long long value);

// The number that text begins with (after white space and an optional sign; base 10 for the
// integers); defaultValue when there is none or it does not fit in T. Never throws.
// The platform's 32-bit LONG is int, so it is served by the int instance.
template <typename T>
    requires std::same_as<T, double> || std::same_as<T, int> || std::same_as<T, long long>
T ToNumber(const std::string& text, T defaultValue);

template <typename T>
    requires std::same_as<T, double> || std::same_as<T, int> || std::same_as<T, long long>
T ToNumber(const std::wstring& text, T defaultValue);

// The last run of ASCII digits in text as an int; defaultValue when there is none or when it
// does not fit in 32 bits.
int ExtractNumber(const std::string& text, int defaultValue);
int ExtractNumber(const std::wstring& text, int defaultValue);

namespace Vok {

// The C library's readers as the platform had them: the C locale (a full stop for decimals)
// whatever the process's locale, and a 32-bit long, so an integer beyond the 32-bit range is
// limited to it as strtol limits to its long. end, when not null, receives where reading stopped
// (text itself when no number was read).
int32_t StrToLong32(const char* text, char** end);
int32_t AtoiLong32(const char* text);
double StrToDoubleC(const char* text, char** end);
double AtofC(const char* text);

}  // namespace Vok
