#include "tests/support/nmea_datagrams.h"

#include <cstring>

#include "foundation/sentence_checksum.h"
#include "foundation/system_time.h"

namespace Vok::Test {

std::string Sentence(const std::string& body) {
    std::string s = "$" + body;
    AppendChecksum(s, 1, CHECKSUM_XOR);
    return s + "\r\n";
}

std::string Tagged(uint32_t seconds, const std::string& text, uint32_t microseconds) {
    std::string tag(16, '\0');
    tag[0] = 2;
    std::memcpy(tag.data() + 8, &seconds, 4);
    std::memcpy(tag.data() + 12, &microseconds, 4);
    return tag + text;
}

SYSTEMTIME At(double unixSeconds) { return TimeToSystemTime(CVOKTime(unixSeconds)); }

bool SameTime(const SYSTEMTIME& a, const SYSTEMTIME& b) {
    return a.wYear == b.wYear && a.wMonth == b.wMonth && a.wDay == b.wDay && a.wHour == b.wHour &&
           a.wMinute == b.wMinute && a.wSecond == b.wSecond && a.wMilliseconds == b.wMilliseconds;
}

}  // namespace Vok::Test
