// Texts that are not times: the text of a system error code, resource strings, a message with a
// detail, the regional decimal separator, and byte counts in kilobytes, megabytes and gigabytes.
#pragma once

#include <cstdint>

#include "compat/cstring.h"

// The system's text for an error code (an errno value; 0 stands for the calling thread's last
// error), ending in "\r\n" as the platform's message texts do; stripLineEnd removes that one
// final "\r\n". "Unknown error" for a code the system does not know.
CString GetSystemErrorText(uint32_t errorCode, bool stripLineEnd);
// The program's own string resource with that id (compat/resource_strings); empty when there is none.
CString LoadResourceString(uint32_t stringId);
// "text (detail)", or text alone when detail is null.
CString FormatWithDetail(const char* text, const char* detail);
// The first character of the regional decimal separator.
char GetDecimalSeparator();
// Kilobytes with the unit right behind: scaled to KB, MB or GB with one decimal ("1.5KB"), or
// unscaled as whole kilobytes, rounded up, with regional grouping ("1,206KB").
CString FormatKilobytes(uint32_t bytes, bool scale);
CString FormatKilobytes(uint64_t bytes, bool scale);
inline CString FormatKilobytes(int bytes, bool scale) { return FormatKilobytes(static_cast<uint32_t>(bytes), scale); }
// "%d bytes" below 1024, else "%.1lf KB", "MB" or "GB" ("1.5 KB"); a terabyte stays in GB.
CString FormatByteSize(double bytes);
// "%.2f MB" above 1048576, "%.2f KB" from 1024, else "%.2f B".
CString FormatByteSizeShort(int32_t bytes);
