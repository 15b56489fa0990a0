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
    {IDS_UNABLE_TO_WRITE_DATABASE, "Unable to write to database %s"},
    {IDS_DATABASE_KIND_FIRST + 0, "Undefined"},
    {IDS_DATABASE_KIND_FIRST + 1, "Template Database"},
    {IDS_DATABASE_KIND_FIRST + 2, "Recorded Database"},
    {IDS_DATABASE_KIND_FIRST + 3, "Results Database"},
    {IDS_DATABASE_KIND_FIRST + 4, "Unknown"},
    {IDS_RUN_MODE_FIRST + 0, "Undefined"},
    {IDS_RUN_MODE_FIRST + 1, "Online"},
    {IDS_RUN_MODE_FIRST + 2, "Replay"},
    {IDS_RUN_MODE_FIRST + 3, "Process"},
    {IDS_RUN_MODE_FIRST + 4, "Unknown"},
    {IDS_DATABASE_ERROR_FIRST + 0, "Unable to load database"},
    {IDS_DATABASE_ERROR_FIRST + 1, "Unable to save database"},
    {IDS_DATABASE_ERROR_FIRST + 2, "Unable to backup database"},
    {IDS_DATABASE_ERROR_FIRST + 3, "Unable to unlock database"},
    {IDS_DATABASE_ERROR_FIRST + 4, "Unknown error"},
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
