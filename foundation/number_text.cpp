#include "foundation/number_text.h"

#include <locale.h>

#include <algorithm>
#include <concepts>
#include <cstdlib>
#include <sstream>

namespace {

template <typename Char>
std::basic_string<Char> FloatText(double value, int precision, std::ios_base::fmtflags notation) {
    std::basic_ostringstream<Char> out;
    if (notation == std::ios_base::scientific) {
        out << std::scientific;
    } else if (notation == std::ios_base::fixed) {
        out << std::fixed;
    }
    out.precision(precision);
    out << value;
    return out.str();
}

template <typename Char, typename T>
std::basic_string<Char> IntegerText(T value) {
    std::basic_ostringstream<Char> out;
    out << value;
    return out.str();
}

template <typename T, typename Str>
T Convert(const Str& text, T defaultValue) {
    try {
        if constexpr (std::same_as<T, double>) {
            return std::stod(text);
        } else if constexpr (std::same_as<T, int>) {
            return std::stoi(text, nullptr, 10);
        } else {
            return std::stoll(text, nullptr, 10);
        }
    } catch (...) {
        return defaultValue;
    }
}

template <typename Char>
bool IsDigit(Char c) {
    return c >= Char('0') && c <= Char('9');
}

// The last run of ASCII digits, found by a scan: a backtracking regex engine recurses once per
// character and overflows the stack on long texts. Line breaks before the run do not hide it.
template <typename Str>
int ExtractNumberImpl(const Str& text, int defaultValue) {
    auto end = text.size();
    while (end > 0 && !IsDigit(text[end - 1])) --end;
    if (end == 0) return defaultValue;
    auto begin = end - 1;
    while (begin > 0 && IsDigit(text[begin - 1])) --begin;
    return Convert<int>(text.substr(begin, end - begin), defaultValue);
}

}  // namespace

std::string ToString(double value, int precision) {
    return FloatText<char>(value, precision, std::ios_base::fixed);
}

std::string ToString(float value, int precision) {
    return FloatText<char>(value, precision, std::ios_base::fixed);
}

std::string ToString(double value, int precision, std::ios_base::fmtflags notation) {
    return FloatText<char>(value, precision, notation);
}

std::string ToString(float value, int precision, std::ios_base::fmtflags notation) {
    return FloatText<char>(value, precision, notation);
}

std::string ToString(int value) {
    return IntegerText<char>(value);
}

std::string ToString(long long value) {
    return IntegerText<char>(value);
}

std::wstring ToStringW(double value, int precision) {
    return FloatText<wchar_t>(value, precision, std::ios_base::fixed);
}

std::wstring ToStringW(float value, int precision) {
    return FloatText<wchar_t>(value, precision, std::ios_base::fixed);
}

std::wstring ToStringW(double value, int precision, std::ios_base::fmtflags notation) {
    return FloatText<wchar_t>(value, precision, notation);
}

std::wstring ToStringW(float value, int precision, std::ios_base::fmtflags notation) {
    return FloatText<wchar_t>(value, precision, notation);
}

std::wstring ToStringW(int value) {
    return IntegerText<wchar_t>(value);
}

std::wstring ToStringW(long long value) {
    return IntegerText<wchar_t>(value);
}

template <typename T>
    requires std::same_as<T, double> || std::same_as<T, int> || std::same_as<T, long long>
T ToNumber(const std::string& text, T defaultValue) {
    return Convert(text, defaultValue);
}

template <typename T>
    requires std::same_as<T, double> || std::same_as<T, int> || std::same_as<T, long long>
T ToNumber(const std::wstring& text, T defaultValue) {
    return Convert(text, defaultValue);
}

template double ToNumber<double>(const std::string&, double);
template int ToNumber<int>(const std::string&, int);
template long long ToNumber<long long>(const std::string&, long long);
template double ToNumber<double>(const std::wstring&, double);
template int ToNumber<int>(const std::wstring&, int);
template long long ToNumber<long long>(const std::wstring&, long long);

int ExtractNumber(const std::string& text, int defaultValue) {
    return ExtractNumberImpl(text, defaultValue);
}

int ExtractNumber(const std::wstring& text, int defaultValue) {
    return ExtractNumberImpl(text, defaultValue);
}

namespace Vok {

namespace {

locale_t CLocale() {
    static const locale_t c = newlocale(LC_NUMERIC_MASK, "C", static_cast<locale_t>(nullptr));
    return c;
}

}  // namespace

int32_t StrToLong32(const char* text, char** end) {
    const long long value = std::strtoll(text, end, 10);
    return static_cast<int32_t>(std::clamp<long long>(value, INT32_MIN, INT32_MAX));
}

int32_t AtoiLong32(const char* text) { return StrToLong32(text, nullptr); }

double StrToDoubleC(const char* text, char** end) { return strtod_l(text, end, CLocale()); }

double AtofC(const char* text) { return StrToDoubleC(text, nullptr); }

}  // namespace Vok
