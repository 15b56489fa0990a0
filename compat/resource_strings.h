// Display texts by resource number. The suite's resource library (ZRES_GetString) has no texts
// installed with this system, so every number reads as an empty text there; callers rely only on
// which number they ask for. The program's own string table holds the texts its code loads.
#pragma once

#include "compat/cstring.h"
#include "compat/windows_types.h"

CString ZRES_GetString(UINT number);

// Ids of the program's own string table.
constexpr UINT IDS_NO_HEADER_RECORDS = 42347;
constexpr UINT IDS_UNSUPPORTED_HEADER_RECORD = 42348;
constexpr UINT IDS_UNABLE_TO_WRITE_DATABASE = 42820;
// The database kinds (undefined, template, recorded, results, unknown), run modes (undefined,
// online, replay, process, unknown) and database errors (load, save, backup, unlock, unknown).
constexpr UINT IDS_DATABASE_KIND_FIRST = 42830;
constexpr UINT IDS_RUN_MODE_FIRST = 42840;
constexpr UINT IDS_DATABASE_ERROR_FIRST = 42851;

// The text of the program's string table; empty for an id it does not hold.
CString LoadProgramString(UINT id);
