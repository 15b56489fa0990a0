// File names between the ANSI code page of CString (Windows-1252) and the file system's
// encoding (UTF-8), as the platform's narrow file functions convert them.
#pragma once

#include <string>
#include <string_view>

namespace Vok::FileNames {

// Every ANSI byte has a character, so this never fails.
std::string AnsiToFileSystem(std::string_view ansi);

// A character the code page lacks, and a byte that is not valid UTF-8, becomes '?'.
std::string FileSystemToAnsi(std::string_view name);

}  // namespace Vok::FileNames
