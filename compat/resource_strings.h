// The suite's resource library: display texts by resource number, in the user's language. No
// texts are installed with this system, so every number reads as an empty text; callers rely only
// on which number they ask for.
#pragma once

#include "compat/cstring.h"
#include "compat/windows_types.h"

CString ZRES_GetString(UINT number);
