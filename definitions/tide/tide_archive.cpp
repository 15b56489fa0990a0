#include "definitions/tide/tide_archive.h"

#include "foundation/string_utils.h"

namespace Vok::Tides {

bool read_record_version(IArchive& archive, int32_t& version, int32_t lowest, int32_t highest,
                         const char* reader) {
    version = 0;
    archive.ReadInt32(version);
    if (version >= lowest && version <= highest) return true;
    archive.ThrowError(7, Format("Unsupported version in %s", reader));
    return false;
}

bool count_fits(IArchive& archive, uint32_t count, size_t least_bytes) {
    const auto* bytes = dynamic_cast<const ByteVectorArchive*>(&archive);
    if (bytes == nullptr || static_cast<uint64_t>(count) * least_bytes <= bytes->Remaining()) return true;
    archive.ThrowError(7, "Tried to serialize outside block");
    return false;
}

}  // namespace Vok::Tides
