// The tide settings of a height definition as older project files kept them inside object and
// height definitions (1088 bytes, little-endian), and the converter that loading such a file hands
// each of them to. The converter turns one record into a tide strategy of the project's tide
// settings and returns that strategy's id (0 when none could be made); the lists store the id.
#pragma once

#include <cstddef>
#include <cstdint>

struct sLegacyHeightDef {
    static constexpr size_t kPathSize = 261;

    int32_t model;                 // tide model code; 0 counts as disabled
    int32_t referenceId;
    float referenceValue;
    uint32_t closestValue;
    uint32_t sourceIds[4];         // observation ids (gauge) or node ids (file)
    char paths[4][kPathSize];      // path i belongs to source i
    float computedValue;
    int32_t computedCount;
    int32_t computedId;

    // Field by field: floats compare exactly (a NaN equals nothing) and each path as text up to
    // its terminator, bounded by its field, so bytes after the terminator do not count.
    bool operator==(const sLegacyHeightDef& other) const;
    bool operator!=(const sLegacyHeightDef& other) const { return !(*this == other); }
};
static_assert(sizeof(sLegacyHeightDef) == 1088);
static_assert(offsetof(sLegacyHeightDef, sourceIds) == 16);
static_assert(offsetof(sLegacyHeightDef, paths) == 32);
static_assert(offsetof(sLegacyHeightDef, computedValue) == 1076);
static_assert(offsetof(sLegacyHeightDef, computedCount) == 1080);
static_assert(offsetof(sLegacyHeightDef, computedId) == 1084);

// One converter serves one load of a project file, records in file order.
class ILegacyHeightDefConverter {
public:
    virtual ~ILegacyHeightDefConverter() = default;
    // The id of the tide strategy that stands for the record; 0 when none could be made.
    virtual int32_t ConvertHeightDef(const sLegacyHeightDef& def) = 0;
};
