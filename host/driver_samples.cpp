#include "host/driver_samples.h"

#include <cstring>
#include <utility>

#include "foundation/sentence_checksum.h"
#include "definitions/records/definition_types.h"
#include "foundation/system_time.h"
#include "host/definition_samples.h"

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

void FillResultObsDefs(CObsDefList& list, int32_t sysId) {
    const std::pair<eResultDef, int32_t> defs[] = {
        {DEF_LATITUDE, OBS_LATITUDE}, {DEF_LONGITUDE, OBS_LONGITUDE}, {DEF_HEIGHT, OBS_HEIGHT},
        {DEF_HEADING, OBS_BEARING_TRUE}, {DEF_RATE, OBS_GENERIC},     {DEF_TIMETAG, OBS_PPS_TIMETAG}};
    for (const auto& [id, type] : defs) list.Add(MakeObsDef(id, type, sysId, 1, 0, 0));
}

}  // namespace Vok::Test
