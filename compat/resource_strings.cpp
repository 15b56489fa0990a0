#include "compat/resource_strings.h"

#include <algorithm>
#include <iterator>

namespace {

struct sResourceText {
    UINT id;
    const char* text;
};

constexpr sResourceText kProgramStrings[] = {
    {IDS_NO_HEADER_RECORDS, "No header records found in file %s"},
    {IDS_UNSUPPORTED_HEADER_RECORD, "Unsupported header record in file %s"},
};

}  // namespace

CString ZRES_GetString(UINT /*number*/) {
    return CString();
}

CString LoadProgramString(UINT id) {
    const auto* found = std::find_if(std::begin(kProgramStrings), std::end(kProgramStrings),
                                     [&](const sResourceText& s) { return s.id == id; });
    return found != std::end(kProgramStrings) ? CString(found->text) : CString();
}
