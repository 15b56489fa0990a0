// Texts of the project database: the names of its kinds and of the run modes, and the texts of
// its error codes, from the program's own string table. Values are compared as unsigned numbers,
// so every negative value reads as the last row ("Unknown", "Unknown error").
#pragma once

#include "compat/cstring.h"

CString GetDatabaseKindName(int kind);
CString GetRunModeName(int mode);
// Empty for 0.
CString GetDatabaseErrorText(int error);
