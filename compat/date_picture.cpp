#include "compat/date_picture.h"

#include <cstdio>
#include <vector>

#include "compat/clock.h"

namespace {

constexpr DWORD kIgnoredFlags = LOCALE_NOUSEROVERRIDE | LOCALE_USE_CP_ACP;

// One element of a picture: a run of one code letter, or literal text (code 0).
struct sPictureItem {
    char code;
    int count;
    std::string text;
};

std::vector<sPictureItem> ParsePicture(const char* picture, const char* codes) {
    std::vector<sPictureItem> items;
    const auto literal = [&items](char ch) {
        if (items.empty() || items.back().code != 0) items.push_back({0, 0, {}});
        items.back().text.push_back(ch);
    };
    for (const char* p = picture; *p != '\0';) {
        if (*p == '\'') {
            // Quoted text runs to the next single quote; an unterminated quote runs to the end.
            for (++p; *p != '\0'; ++p) {
                if (*p == '\'') {
                    if (p[1] != '\'') break;
                    ++p;
                }
                literal(*p);
            }
            if (*p == '\'') ++p;
            continue;
        }
        const bool isCode = std::string_view(codes).find(*p) != std::string_view::npos;
        if (!isCode) {
            literal(*p++);
            continue;
        }
        int count = 0;
        const char code = *p;
        while (*p == code) {
            ++count;
            ++p;
        }
        items.push_back({code, count, {}});
    }
    return items;
}

// Drops the fields of code together with the literal text that parts each from the field before
// it (or, for a leading field, from the field after it).
void DropField(std::vector<sPictureItem>& items, char code) {
    for (size_t i = 0; i < items.size();) {
        if (items[i].code != code) {
            ++i;
            continue;
        }
        if (i > 0 && items[i - 1].code == 0) {
            items.erase(items.begin() + static_cast<std::ptrdiff_t>(i) - 1, items.begin() + static_cast<std::ptrdiff_t>(i) + 1);
            --i;
        } else if (i == 0 && i + 1 < items.size() && items[i + 1].code == 0) {
            items.erase(items.begin(), items.begin() + 2);
        } else {
            items.erase(items.begin() + static_cast<std::ptrdiff_t>(i));
        }
    }
}

std::string Number(int value, int count) {
    char buffer[16];
    std::snprintf(buffer, sizeof buffer, count >= 2 ? "%02d" : "%d", value);
    return buffer;
}

std::optional<std::string> Fit(std::string text, std::size_t capacity) {
    if (text.size() + 1 > capacity) return std::nullopt;
    return text;
}

}  // namespace

namespace Vok::Regional {

std::optional<std::string> DatePictureText(const SYSTEMTIME& st, DWORD flags, const char* picture,
                                           std::size_t capacity) {
    flags &= ~kIgnoredFlags;
    if (!Vok::Clock::IsCalendarDate(st)) return std::nullopt;
    if (picture == nullptr) {
        if (flags == 0 || flags == DATE_SHORTDATE) picture = kShortDateFormat;
        else if (flags == DATE_LONGDATE) picture = kLongDateFormat;
        else if (flags == DATE_YEARMONTH) picture = kYearMonthFormat;
        else return std::nullopt;
    } else if (flags != 0) {
        return std::nullopt;
    }
    std::string out;
    for (const sPictureItem& item : ParsePicture(picture, "dMy")) {
        switch (item.code) {
            case 'd':
                if (item.count <= 2) out += Number(st.wDay, item.count);
                else if (item.count == 3) out += kAbbrevDayNames[Vok::Clock::DayOfWeek(st)];
                else out += kDayNames[Vok::Clock::DayOfWeek(st)];
                break;
            case 'M':
                if (item.count <= 2) out += Number(st.wMonth, item.count);
                else if (item.count == 3) out += kAbbrevMonthNames[st.wMonth - 1];
                else out += kMonthNames[st.wMonth - 1];
                break;
            case 'y':
                if (item.count == 1) out += Number(st.wYear % 10, 1);
                else if (item.count == 2) out += Number(st.wYear % 100, 2);
                else out += Number(st.wYear, 1);
                break;
            default:
                out += item.text;
        }
    }
    return Fit(std::move(out), capacity);
}

std::optional<std::string> TimePictureText(const SYSTEMTIME& st, DWORD flags, const char* picture,
                                           std::size_t capacity) {
    flags &= ~kIgnoredFlags;
    constexpr DWORD kKnown = TIME_NOMINUTESORSECONDS | TIME_NOSECONDS | TIME_NOTIMEMARKER | TIME_FORCE24HOURFORMAT;
    if ((flags & ~kKnown) != 0 || !Vok::Clock::IsClockTime(st)) return std::nullopt;
    std::vector<sPictureItem> items = ParsePicture(picture != nullptr ? picture : kTimeFormat, "hHmst");
    if (flags & (TIME_NOSECONDS | TIME_NOMINUTESORSECONDS)) DropField(items, 's');
    if (flags & TIME_NOMINUTESORSECONDS) DropField(items, 'm');
    if (flags & TIME_NOTIMEMARKER) DropField(items, 't');
    const char* marker = st.wHour < 12 ? kAmDesignator : kPmDesignator;
    const int hour12 = st.wHour % 12 == 0 ? 12 : st.wHour % 12;
    std::string out;
    for (const sPictureItem& item : items) {
        switch (item.code) {
            case 'h':
                out += Number((flags & TIME_FORCE24HOURFORMAT) ? st.wHour : hour12, item.count);
                break;
            case 'H': out += Number(st.wHour, item.count); break;
            case 'm': out += Number(st.wMinute, item.count); break;
            case 's': out += Number(st.wSecond, item.count); break;
            case 't':
                if (item.count == 1) out += marker[0];
                else out += marker;
                break;
            default:
                out += item.text;
        }
    }
    return Fit(std::move(out), capacity);
}

}  // namespace Vok::Regional
