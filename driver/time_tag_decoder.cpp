#include "driver/time_tag_decoder.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <string>
#include <string_view>

#include "compat/cstring.h"
#include "foundation/byte_order.h"
#include "foundation/system_time.h"
#include "foundation/text_tokens.h"
#include "foundation/time_value.h"

namespace {

// What a decoder form found: the time, and how the datagram looks once the tag is gone.
struct sTag {
    SYSTEMTIME time{};
    DWORD headerLength = 0;       // bytes to remove from the front
    DWORD trailerStart = 0;       // type 1: the trailer's first comma
    std::string rewritten;        // type 6: the lines without their markers
};

const ByteSwapper kLittleEndian(false);

// atoi and atof over a field that need not be followed by a zero byte.
int FieldToInt(const BYTE* p, size_t n) { return std::atoi(std::string(reinterpret_cast<const char*>(p), n).c_str()); }
double FieldToDouble(const char* p, size_t n) { return std::atof(std::string(p, n).c_str()); }
WORD DigitsField(const BYTE* data, size_t offset, size_t width) {
    return static_cast<WORD>(FieldToInt(data + offset, width));
}

// One past the last time a SYSTEMTIME can hold (year 30827), in seconds since 1970.
double SystemTimeEndUnixSeconds() {
    return (CVOKTime::DateToMjd(30828, 1, 1) - CVOKTime::kMjdUnixEpoch) * 86400.0;
}

// The text forms stop at a zero byte, as a text would; the length bounds them in any case.
size_t TextLength(const BYTE* data, DWORD length) {
    const void* zero = std::memchr(data, 0, length);
    return zero != nullptr ? static_cast<size_t>(static_cast<const BYTE*>(zero) - data) : length;
}

bool DecodeAsciiTrailer(const BYTE* data, DWORD length, sTag& tag) {
    const std::string_view text(reinterpret_cast<const char*>(data), TextLength(data, length));
    const size_t cr = text.find('\r');
    if (cr == std::string_view::npos) return false;
    const size_t a = text.rfind(',');
    if (a == std::string_view::npos || a == 0 || a > cr) return false;
    const size_t b = text.rfind(',', a - 1);
    if (b == std::string_view::npos) return false;
    const double seconds = FieldToDouble(text.data() + b + 1, a - b - 1);
    const double microseconds = FieldToDouble(text.data() + a + 1, text.size() - a - 1);
    if (!(seconds >= 1113013969.0) || microseconds < 0.0) return false;
    // Infinite, not-a-number or beyond the calendar record: no time a sender could mean.
    const double total = seconds + microseconds / 1e6;
    if (!(total < SystemTimeEndUnixSeconds())) return false;
    tag.time = TimeToSystemTime(CVOKTime(total));
    tag.trailerStart = static_cast<DWORD>(b);
    return true;
}

bool DecodeRta(const BYTE* data, DWORD length, sTag& tag) {
    if (length < 25 || std::memcmp(data, "RTA", 3) != 0) return false;
    if (kLittleEndian.GetUInt16(data + 22) > length - 24) return false;
    SYSTEMTIME& t = tag.time;
    t.wDay = DigitsField(data, 4, 2);
    t.wMonth = DigitsField(data, 6, 2);
    t.wYear = DigitsField(data, 8, 4);
    t.wHour = DigitsField(data, 12, 2);
    t.wMinute = DigitsField(data, 14, 2);
    t.wSecond = DigitsField(data, 16, 2);
    t.wMilliseconds = DigitsField(data, 18, 3);
    t.wDayOfWeek = 0;
    tag.headerLength = 24;
    return true;
}

bool DecodeTdyRta1(const BYTE* data, DWORD length, sTag& tag) {
    if (length < 32 || std::memcmp(data, "TDYRTA1", 7) != 0) return false;
    if (kLittleEndian.GetUInt32(data + 27) > length - 31) return false;
    SYSTEMTIME& t = tag.time;
    t.wYear = static_cast<WORD>(kLittleEndian.GetUInt32(data + 8));
    t.wMonth = kLittleEndian.GetUInt16(data + 12);
    t.wDay = kLittleEndian.GetUInt16(data + 14);
    t.wHour = kLittleEndian.GetUInt16(data + 16);
    t.wMinute = kLittleEndian.GetUInt16(data + 18);
    t.wSecond = kLittleEndian.GetUInt16(data + 20);
    t.wMilliseconds = static_cast<WORD>(kLittleEndian.GetUInt32(data + 22) / 100);
    t.wDayOfWeek = 0;
    tag.headerLength = 31;
    return true;
}

bool DecodeBinary(const BYTE* data, DWORD length, sTag& tag) {
    if (length < 17 || data[0] != 2 || (data[7] & 1) != 0) return false;
    const double seconds = kLittleEndian.GetUInt32(data + 8);
    const double microseconds = kLittleEndian.GetUInt32(data + 12);
    tag.time = TimeToSystemTime(CVOKTime(seconds + microseconds / 1e6));
    tag.headerLength = 16;
    return true;
}

bool DecodeRrio(const BYTE* data, DWORD length, sTag& tag) {
    if (length < 28 || std::memcmp(data, "RRIO", 4) != 0) return false;
    SYSTEMTIME& t = tag.time;
    t.wDay = DigitsField(data, 8, 2);
    t.wMonth = DigitsField(data, 10, 2);
    t.wYear = DigitsField(data, 12, 4);
    t.wHour = DigitsField(data, 16, 2);
    t.wMinute = DigitsField(data, 18, 2);
    t.wSecond = DigitsField(data, 20, 2);
    t.wMilliseconds = DigitsField(data, 22, 3);
    t.wDayOfWeek = 0;
    tag.headerLength = 27;
    return true;
}

bool DecodePosLines(const BYTE* data, DWORD length, const SYSTEMTIME& receipt, sTag& tag) {
    const std::string text(reinterpret_cast<const char*>(data), TextLength(data, length));
    CStringArray lines;
    SplitToStringArray(text.c_str(), lines, '\n', TRUE);
    bool found = false;
    double lastMilliseconds = std::numeric_limits<double>::quiet_NaN();
    for (INT_PTR i = 0; i < lines.GetSize(); ++i) {
        const CString& line = lines[i];
        const int marker = line.Find("POS ");
        const int space = marker < 0 ? -1 : line.Find(' ', marker + 4);
        if (space < 0) {
            tag.rewritten.append(line.Str()).push_back('\n');
            continue;
        }
        found = true;
        const std::string& s = line.Str();
        tag.rewritten.append(s, static_cast<size_t>(space) + 1, std::string::npos).push_back('\n');
        const double ms = FieldToDouble(s.data() + marker + 4, static_cast<size_t>(space - marker - 4));
        // Only a time of the day (a leap second included) is one; anything else would place the
        // datagram on another day or nowhere.
        if (ms >= 0.0 && ms < 86401000.0) lastMilliseconds = ms;
    }
    if (!found || std::isnan(lastMilliseconds)) return false;
    // The local day that puts the time within 12 hours of its receipt: a tag sent just before
    // midnight and read just after is of the day before, not a day ahead.
    const CVOKTime received(SystemTimeToMjdTime(receipt));
    const CVOKTime reference = UtcToLocal(received.IsValid() && received.day != 0 ? received : CurrentUtcTime());
    CVOKTime local = CVOKTime(sMjdTime{reference.day, 0, 0.0}) + lastMilliseconds * 0.001;
    local.AdjustDayToReference(reference);
    const CVOKTime utc = LocalToUtc(local);
    if (!utc.IsValid()) return false;
    tag.time = TimeToSystemTime(utc);
    return true;
}

}  // namespace

bool C3RdPartyTimeTagDecoder::DecodeTimeTag(SYSTEMTIME& time, BYTE* data, DWORD& length) const {
    if (data == nullptr || length == 0) return false;
    sTag tag;
    bool decoded = false;
    switch (m_type) {
        case TIMETAG_ASCII_TRAILER: decoded = DecodeAsciiTrailer(data, length, tag); break;
        case TIMETAG_RTA: decoded = DecodeRta(data, length, tag); break;
        case TIMETAG_TDYRTA1: decoded = DecodeTdyRta1(data, length, tag); break;
        case TIMETAG_BINARY: decoded = DecodeBinary(data, length, tag); break;
        case TIMETAG_RRIO: decoded = DecodeRrio(data, length, tag); break;
        case TIMETAG_POS_LINES: decoded = DecodePosLines(data, length, time, tag); break;
        default: return false;
    }
    if (!decoded) return false;
    time = tag.time;
    if (m_strip != 1) return true;
    switch (m_type) {
        case TIMETAG_ASCII_TRAILER:
            // The trailer's first comma and the byte after it become the line end.
            data[tag.trailerStart] = '\r';
            data[tag.trailerStart + 1] = '\n';
            length = tag.trailerStart + 2;
            break;
        case TIMETAG_POS_LINES: {
            // Every line that had a marker lost at least "POS " and a space, so the lines fit.
            const DWORD n = static_cast<DWORD>(std::min<size_t>(tag.rewritten.size(), length));
            std::memcpy(data, tag.rewritten.data(), n);
            length = n;
            break;
        }
        default:
            std::memmove(data, data + tag.headerLength, length - tag.headerLength);
            length -= tag.headerLength;
    }
    return true;
}

bool C3RdPartyTimeTagDecoder::DecodeTimeTag(SYSTEMTIME& time, CByteArray& data) const {
    if (data.GetSize() > static_cast<INT_PTR>(std::numeric_limits<DWORD>::max())) return false;
    DWORD length = static_cast<DWORD>(data.GetSize());
    if (!DecodeTimeTag(time, data.GetData(), length)) return false;
    data.SetSize(length);
    return true;
}
