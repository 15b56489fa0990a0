#include "definitions/tide/legacy_height_def.h"

#include <cstring>

namespace {

bool SamePath(const char* a, const char* b) {
    const size_t n = strnlen(a, sLegacyHeightDef::kPathSize);
    return n == strnlen(b, sLegacyHeightDef::kPathSize) && std::memcmp(a, b, n) == 0;
}

}  // namespace

bool sLegacyHeightDef::operator==(const sLegacyHeightDef& other) const {
    if (model != other.model || referenceId != other.referenceId || referenceValue != other.referenceValue ||
        closestValue != other.closestValue)
        return false;
    for (size_t i = 0; i < 4; ++i) {
        if (sourceIds[i] != other.sourceIds[i] || !SamePath(paths[i], other.paths[i])) return false;
    }
    return computedValue == other.computedValue && computedCount == other.computedCount &&
           computedId == other.computedId;
}
