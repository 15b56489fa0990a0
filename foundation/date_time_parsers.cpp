#include "foundation/date_time_parsers.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "foundation/number_text.h"
#include "foundation/saturating_cast.h"
#include "foundation/text_tokens.h"

namespace {

constexpr const char* kDateDigits = "0123456789";
constexpr const char* kTimeDigits = "0123456789.";

enum class eDateOrder { Ymd, Dmy, Mdy };

// Up to three numbers of a date text in the order they stand; false when there is no digit.
// compact tells that the first number ends the text; digits then points at it and length is the
// digits' count.
struct sDateNumbers {
    int values[3] = {0, 0, 0};
    bool compact = false;
    const char* digits = nullptr;
    size_t length = 0;
};

bool ReadDateNumbers(const char* text, sDateNumbers& out) {
    if (text == nullptr) return false;
    const char* p = std::strpbrk(text, kDateDigits);
    if (p == nullptr) return false;
    char* end = nullptr;
    out.values[0] = Vok::StrToLong32(p, &end);
    if (*end == '\0') {
        out.compact = true;
        out.digits = p;
        out.length = std::strlen(p);
        return true;
    }
    for (int i = 1; i < 3; ++i) {
        const char* next = std::strpbrk(end, kDateDigits);
        if (next == nullptr) break;
        out.values[i] = Vok::StrToLong32(next, &end);
    }
    return true;
}

WORD TwoDigitYear(WORD year) { return year <= 99 ? static_cast<WORD>(year + 2000) : year; }

SYSTEMTIME ParseDate(const char* text, eDateOrder order) {
    SYSTEMTIME st{};
    sDateNumbers n;
    if (!ReadDateNumbers(text, n)) return st;
    int a = 0, b = 0, c = 0;
    if (!n.compact) {
        a = n.values[0];
        b = n.values[1];
        c = n.values[2];
    } else if (n.length == 6) {
        std::sscanf(n.digits, "%2d%2d%2d", &a, &b, &c);
    } else if (n.length == 8) {
        std::sscanf(n.digits, order == eDateOrder::Ymd ? "%4d%2d%2d" : "%2d%2d%4d", &a, &b, &c);
    }
    const int year = order == eDateOrder::Ymd ? a : c;
    const int month = order == eDateOrder::Mdy ? a : b;
    const int day = order == eDateOrder::Ymd ? c : order == eDateOrder::Dmy ? a : b;
    st.wYear = TwoDigitYear(static_cast<WORD>(year));
    st.wMonth = static_cast<WORD>(month);
    st.wDay = static_cast<WORD>(day);
    return st;
}

// Hour, minute, whole seconds and the seconds with their fraction of a time text.
struct sClock {
    int hour = 0;
    int minute = 0;
    int wholeSeconds = 0;
    double seconds = 0.0;
};

bool ReadClock(const char* text, sClock& out) {
    if (text == nullptr) return false;
    const char* p = std::strpbrk(text, kTimeDigits);
    if (p == nullptr) return false;
    char* end = nullptr;
    out.hour = Vok::StrToLong32(p, &end);
    if (*end != '\0' && *end != '.') {
        if (const char* m = std::strpbrk(end, kTimeDigits)) {
            out.minute = Vok::StrToLong32(m, &end);
            if (const char* s = std::strpbrk(end, kTimeDigits)) out.seconds = Vok::StrToDoubleC(s, nullptr);
        }
        return true;
    }
    switch (std::strlen(p)) {
        case 3: std::sscanf(p, "%1d%2d", &out.hour, &out.minute); break;
        case 4: std::sscanf(p, "%2d%2d", &out.hour, &out.minute); break;
        case 5: std::sscanf(p, "%1d%2d%2d", &out.hour, &out.minute, &out.wholeSeconds); break;
        case 6: std::sscanf(p, "%2d%2d%2d", &out.hour, &out.minute, &out.wholeSeconds); break;
        default: std::sscanf(p, "%2d%2d%lf", &out.hour, &out.minute, &out.seconds); break;
    }
    return true;
}

}  // namespace

SYSTEMTIME ParseDateTextYmd(const char* text) { return ParseDate(text, eDateOrder::Ymd); }
SYSTEMTIME ParseDateTextDmy(const char* text) { return ParseDate(text, eDateOrder::Dmy); }
SYSTEMTIME ParseDateTextMdy(const char* text) { return ParseDate(text, eDateOrder::Mdy); }

SYSTEMTIME ParseTimeOfDayText(const char* text) {
    SYSTEMTIME st{};
    sClock c;
    if (!ReadClock(text, c)) return st;
    st.wHour = static_cast<WORD>(c.hour);
    st.wMinute = static_cast<WORD>(c.minute);
    st.wSecond = static_cast<WORD>(c.wholeSeconds);
    if (c.seconds > 0.0) {
        const double whole = std::floor(c.seconds);
        st.wSecond = static_cast<WORD>(Vok::TruncToInt32(whole));
        // A fraction of .9995 or more would round to 1000 ms.
        st.wMilliseconds = static_cast<WORD>(std::min(999.0, std::floor((c.seconds - whole) * 1000.0 + 0.5)));
    }
    return st;
}

double TimeOfDayTextToSeconds(const char* text) {
    const SYSTEMTIME st = ParseTimeOfDayText(text);
    return st.wHour * 3600.0 + st.wMinute * 60.0 + st.wSecond + st.wMilliseconds * 0.001;
}

SYSTEMTIME ParseDottedDate(const CString& text) {
    SYSTEMTIME st{};
    CStringArray parts;
    if (SplitToStringArray(text, parts, '.', FALSE) < 3) return st;
    st.wYear = static_cast<WORD>(Vok::AtoiLong32(parts[0]));
    st.wMonth = static_cast<WORD>(Vok::AtoiLong32(parts[1]));
    st.wDay = static_cast<WORD>(Vok::AtoiLong32(parts[2]));
    if (parts.GetSize() > 3) st.wSecond = static_cast<WORD>(Vok::AtoiLong32(parts[3]));
    return st;
}

BOOL ParseClockText(const char* text, int* first, int* second, int* third, int* fraction) {
    int ignored = 0;
    int& a = first != nullptr ? *first : ignored;
    int& b = second != nullptr ? *second : ignored;
    int& c = third != nullptr ? *third : ignored;
    int& d = fraction != nullptr ? *fraction : ignored;
    a = b = c = d = 0;
    if (text == nullptr) return FALSE;
    const char* colon = std::strchr(text, ':');
    if (colon == nullptr || colon == text) return FALSE;
    // The two characters after a ':' when there are at least two.
    const auto twoAfter = [](const char* p, int& out) {
        if (std::strlen(p + 1) >= 2) out = Vok::AtoiLong32(std::string(p + 1, 2).c_str());
    };
    a = Vok::AtoiLong32(std::string(text, colon).c_str());
    twoAfter(colon, b);
    const char* colon2 = std::strchr(colon + 1, ':');
    if (colon2 != nullptr) twoAfter(colon2, c);
    if (const char* point = std::strchr(colon2 != nullptr ? colon2 : text, '.')) d = Vok::AtoiLong32(point + 1);
    return TRUE;
}

CVOKTime DateTextToTime(const std::string& text) {
    sDateNumbers n;
    if (!ReadDateNumbers(text.c_str(), n)) return CVOKTime();
    const int firstNumber = static_cast<WORD>(n.values[0]);
    int year = 0, month = 0, day = 0;
    if (n.compact) {
        if (n.length == 6) std::sscanf(n.digits, "%2d%2d%2d", &day, &month, &year);
        else if (n.length == 8) std::sscanf(n.digits, "%2d%2d%4d", &day, &month, &year);
    } else if (firstNumber > 1000) {
        year = firstNumber;
        month = n.values[1];
        day = n.values[2];
    } else {
        day = firstNumber;
        month = n.values[1];
        year = n.values[2];
    }
    if (year <= 99) year += 2000;
    CVOKTime t;
    t.SetDateTime(year, month, day, 0, 0, 0.0);
    return t;
}

CVOKTime TimeTextToTime(const std::string& text) {
    sClock c;
    if (!ReadClock(text.c_str(), c)) return CVOKTime();
    return CVOKTime(c.hour, c.minute, c.seconds == 0.0 ? c.wholeSeconds : c.seconds);
}

double TimeTextToSeconds(const std::string& text) {
    const CVOKTime t = TimeTextToTime(text);
    return t.IsValid() ? t.seconds : 0.0;
}
