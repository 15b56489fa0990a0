#include "definitions/lists/system_type_upgrade.h"

#include <algorithm>
#include <limits>

#include "definitions/lists/sys_def_list.h"

namespace {

constexpr int32_t kKeepType = 0;
constexpr int32_t kAsciiLoggerDriver = 150133;
constexpr int32_t kOutputSystem = 15;

struct sDriverMapping {
    int32_t oldIds[3];   // 0 ends the list
    int32_t sysType;     // kKeepType: the type stays
    int32_t driverId;
};

constexpr sDriverMapping kDriverMappings[] = {
    {{1010, 100010}, 31, 310001}, {{1054, 100054}, 31, 310002}, {{1055, 100055}, 30, 300001},
    {{1056, 100056}, 30, 300002}, {{1057, 100057}, 30, 300003}, {{1058, 100058}, 30, 300004},
    {{1064, 100064}, 31, 310003}, {{1066, 100066}, 31, 310004}, {{1069, 100069}, 31, 310005},
    {{1070, 100070, 100083}, 31, 310006}, {{1071, 100071}, 31, 310007}, {{100072}, kKeepType, 312001},
    {{1073, 100073}, 31, 310008}, {{1081, 100081}, 31, 310009}, {{1082, 100082}, 31, 310010},
    {{1084, 100084}, 31, 310011}, {{1085, 100085}, 31, 310012}, {{1086, 100086}, 31, 310013},
    {{1087, 100087}, 31, 310014}, {{1088, 100088}, 31, 310015}, {{1089, 100089}, 30, 300005},
    {{1090, 100090}, 31, 310016}, {{1091, 100091}, 31, 310017}, {{1092, 100092}, 31, 310018},
    {{1093, 100093}, 31, 310019}, {{1094, 100094}, 31, 310020}, {{1096, 100096}, 30, 300007},
    {{1097, 100097}, 31, 310022},
};

struct sDriverRemap {
    int32_t oldId;
    int32_t newId;
};

constexpr sDriverRemap kDriverRemaps[] = {
    {30181, 30169}, {50203, 50185}, {120245, 120231}, {180083, 180076}, {200188, 200057},
};

const sDriverMapping* FindMapping(int32_t driverId) {
    if (driverId == 0) return nullptr;
    for (const sDriverMapping& m : kDriverMappings) {
        if (std::find(std::begin(m.oldIds), std::end(m.oldIds), driverId) != std::end(m.oldIds)) return &m;
    }
    return nullptr;
}

}  // namespace

bool UpgradeSystemType(sSysDef* def) {
    if (def == nullptr) return false;
    if ((def->version & 0xFFu) >= 1) return true;
    if (const sDriverMapping* m = FindMapping(def->driverId)) {
        def->driverId = m->driverId;
        if (m->sysType != kKeepType) def->sysType = m->sysType;
    }
    // Old ids were type x 100 + n; an id whose renumbered form would not fit is left as it is.
    if (def->driverId < 10000) {
        const int64_t id = def->driverId;
        const int64_t renumbered = id + (id / 100) * 9900;
        if (renumbered >= std::numeric_limits<int32_t>::min()) def->driverId = static_cast<int32_t>(renumbered);
    }
    return false;
}

bool RemapSystemTypeIds(CSysDefList& list) {
    bool replaced = false;
    for (sSysDef& def : list) {
        for (const sDriverRemap& r : kDriverRemaps) {
            if (def.driverId == r.oldId) {
                def.driverId = r.newId;
                replaced = true;
                break;
            }
        }
    }
    return replaced;
}

void AddAsciiLoggerSystem(CSysDefList& list, uint32_t& sysId) {
    int32_t largest = 0;
    for (const sSysDef& def : list) {
        if (def.driverId == kAsciiLoggerDriver) return;
        largest = std::max(largest, def.sysId);
    }
    sSysDef logger;
    logger.recordSize = sSysDef::kSize;
    logger.version = sSysDef::kVersion;
    logger.sysType = kOutputSystem;
    logger.driverId = kAsciiLoggerDriver;
    logger.interval = 1.0f;
    // The largest id cannot grow: take the smallest free one instead.
    logger.sysId = largest < std::numeric_limits<int32_t>::max() ? largest + 1 : list.FindFreeSystemId();
    SetFieldText(logger.name, "ASCII Logger");
    logger.output = 1;
    sysId = static_cast<uint32_t>(logger.sysId);
    list.Add(logger);
}
