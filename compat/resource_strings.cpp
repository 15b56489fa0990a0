#include "compat/resource_strings.h"

CString ZRES_GetString(UINT /*number*/) {
    return CString();
}
