// Boost.Filesystem behind plain text: tests, path pieces, folder creation, relative paths,
// file search by a file mask, and a copy from the first of several folders.
// Paths are narrow std::string, passed to Boost as they are (UTF-8 on this system).
#pragma once

#include <string>
#include <vector>

// These answer false or "" on a file-system error and never throw.
bool DirectoryExists(const std::string& path);
bool PathExists(const std::string& path);
// True when at least one folder was created; false when it existed already or on an error.
bool CreateDirectories(const std::string& path);
std::string GetPathFileName(const std::string& path);
std::string GetPathParent(const std::string& path);
std::string GetPathWithoutExtension(const std::string& path);
std::string GetCurrentPathText();

// path relative to base; the path unchanged when that fails, is empty, or (without
// allowParentSteps) climbs out of base.
std::string MakeRelativeToBase(const std::string& path, const std::string& base,
                               bool allowParentSteps);

// True when path lies below folder, compared element by element after lexical normalisation.
// Lets boost::filesystem::filesystem_error pass.
bool IsPathInsideFolder(const std::string& path, const std::string& folder);

// Appends the files below folder whose whole path matches the mask (case-insensitive).
// Symbolic links to folders are not followed. True when results grew.
// Lets boost::filesystem::filesystem_error and boost::regex_error pass.
bool FindFiles(std::vector<std::string>& results, const std::string& folder,
               const std::string& mask, bool recursive, bool fullPaths);
bool FindFilesInFolders(std::vector<std::string>& results, const std::vector<std::string>& folders,
                        const std::string& mask, bool recursive, bool fullPaths, bool stopAtFirst);

// Copies folder + fileName of the first folder that holds it as a regular file to
// destinationFolder + fileName (texts joined as they are); never overwrites. A file name that
// is empty or holds ".." or "/" is refused.
bool CopyFileFromFirstFolder(const std::string& fileName, const std::vector<std::string>& folders,
                             const std::string& destinationFolder);

// Removes leading "./" runs and a trailing dot with its "./" runs (either separator).
std::string CleanRelativePath(const std::string& path);

// A file mask ("*", "?") as an unanchored regular expression; an empty mask means "*".
std::string FileMaskToRegex(const std::string& mask);
