// The checks that every reader of a tide settings record makes: its version word against the
// versions it knows, and a count read from the data against the bytes that are left.
#pragma once

#include <cstddef>
#include <cstdint>

#include "foundation/archive.h"

namespace Vok::Tides {

// Reads the i32 version word. Outside [lowest, highest] it raises the archive error with code 7
// and "Unsupported version in <reader>"; false then tells the caller to stop reading.
bool read_record_version(IArchive& archive, int32_t& version, int32_t lowest, int32_t highest,
                         const char* reader);

// Whether count entries of at least least_bytes bytes each can still be in the archive. When a
// byte-vector archive holds fewer bytes it raises code 7 (a read outside the data) and returns
// false, before the caller allocates anything for the entries. Other archives are not asked.
bool count_fits(IArchive& archive, uint32_t count, size_t least_bytes);

// One value read from the archive (0 or false when a non-throwing archive error left it unread).
inline int32_t read_i32(IArchive& archive) {
    int32_t v = 0;
    archive.ReadInt32(v);
    return v;
}
inline uint32_t read_u32(IArchive& archive) {
    uint32_t v = 0;
    archive.ReadUInt32(v);
    return v;
}
inline float read_f32(IArchive& archive) {
    float v = 0.0f;
    archive.ReadFloat(v);
    return v;
}
inline double read_f64(IArchive& archive) {
    double v = 0.0;
    archive.ReadDouble(v);
    return v;
}
inline bool read_bool(IArchive& archive) {
    bool v = false;
    archive.ReadBool(v);
    return v;
}

}  // namespace Vok::Tides
