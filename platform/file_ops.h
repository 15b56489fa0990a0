// Files and folders on the real file system: existence and access tests, searches and listings
// with file masks, folder creation, deletion and copies of trees, attributes, sizes, unique
// names and the known folders. Paths are CString texts in the ANSI code page, converted to the
// file system's encoding at the call; the folder separator is '/'.
//
// Walks never descend into a symbolic link to a folder: a listing names the link, a copy
// recreates the link, a delete removes the link and leaves its target alone.
#pragma once

#include <string>

#include "compat/collections.h"
#include "compat/cstring.h"
#include "compat/file_find.h"
#include "compat/windows_types.h"
#include "platform/recycle_bin.h"

// Known folders for GetSpecialFolderPath; CSIDL_FLAG_CREATE may be added to any of them.
constexpr int CSIDL_PERSONAL = 0x0005;       // the home folder
constexpr int CSIDL_APPDATA = 0x001A;        // $XDG_CONFIG_HOME, else ~/.config
constexpr int CSIDL_LOCAL_APPDATA = 0x001C;  // see GetLocalAppDataPath
constexpr int CSIDL_PROFILE = 0x0028;        // the home folder
constexpr int CSIDL_FLAG_CREATE = 0x8000;

// Access rights for HasFileAccess.
constexpr DWORD FILE_READ_DATA = 0x0001;
constexpr DWORD FILE_WRITE_DATA = 0x0002;
constexpr DWORD FILE_APPEND_DATA = 0x0004;
constexpr DWORD FILE_EXECUTE = 0x0020;
constexpr DWORD GENERIC_ALL = 0x10000000;
constexpr DWORD GENERIC_EXECUTE = 0x20000000;
constexpr DWORD GENERIC_WRITE = 0x40000000;
constexpr DWORD GENERIC_READ = 0x80000000;

namespace Vok {
// The local application-data folder, by the XDG base directory rule: $XDG_DATA_HOME when it is an
// absolute path, else ~/.local/share; empty when there is no home folder. The crash reports, the
// log and the trash all live below it. File-system encoding.
std::string GetLocalAppDataPath();
}  // namespace Vok

// Searches pattern inside folder (or pattern alone when folder is null) with finder, or with a
// finder of its own; a caller's finder is left ready for FindNextFile. Never changes the
// current folder. With a folder, a pattern holding "/" or ".." is refused.
BOOL FindFileInFolder(const char* pattern, const char* folder, CFileFind* finder);
BOOL IsExistingFolder(const char* path);
// True when no file can be created and removed in folder (probed with a unique name).
BOOL IsFolderReadOnly(const char* folder);
// Whether this process may access path as desiredAccess asks (the FILE_* and GENERIC_* rights).
bool HasFileAccess(const char* path, DWORD desiredAccess);

// Opens and closes path with the class library's file open flags: access 0 read, 1 write,
// 2 read/write; 0x1000 create, 0x2000 with create: keep the content. False when access is
// denied; any other failure throws CFileException.
BOOL CanOpenFile(const CString& path, UINT openFlags);
// Whether path could be created, tested by creating it and its missing folders and removing
// them again; true at once when the entry exists.
BOOL CanCreateFile(const CString& path);

// The full path of the first entry in folder that matches mask and is no folder, or "".
CString FindFirstFileInFolder(const CString& folder, const CString& mask);
// The files matching mask in folder (and, recursive, in every folder below, depth-first after
// the top folder's own). True when out is not empty. A mask holding "/" or ".." is refused.
BOOL ListFiles(CStringArray& out, const CString& folder, const CString& mask, BOOL recursive,
               BOOL fullPath);
// The folders matching mask, each followed at once by its own listing when recursive.
BOOL ListFolders(CStringArray& out, CString folder, const CString& mask, BOOL recursive,
                 BOOL fullPath);

// The path of to relative to from ("./x", "../x"), as text. from counts as a file (its folder
// is the base) when it has an extension, as a folder otherwise. False, with out empty, when
// the two have no common root.
BOOL MakeRelativePath(const CString& from, CString to, CString& out);
// The temporary folder with a trailing '/'.
CString GetTempFolder();
// Create an absolute folder path with all its missing parents; true when it exists afterwards.
// Folders created before a failure stay.
BOOL MakeLocalFolderPath(const CString& folder);
BOOL MakeFolderPath(const CString& folder);
// Deletes everything inside folder; failures are skipped. An empty path and the root folder
// are refused.
void DeleteFolderContents(CString folder);
// Copies the files of from into the existing folder to, and with recursive, its folders too.
// A target inside from (or from itself) is refused. failedPath names the first source that
// failed on the level where it failed.
BOOL CopyFolderTree(const CString& from, const CString& to, BOOL recursive, BOOL stopAtFirstError,
                    CString& failedPath);
BOOL CopyFolder(const CString& from, const CString& to, BOOL recursive);

// Read-only here means: no write permission for anyone (set) or for the owner (cleared).
BOOL SetReadOnly(const CString& path, BOOL readOnly);
// Clears the given FILE_ATTRIBUTE_* bits that the entry has; only the read-only bit can change.
BOOL ClearFileAttributes(const char* path, DWORD attributes);
// Size in bytes, or -1 when path is no file that can be read.
int64_t GetFileSize64(const CString& path);
// Opens path with the desktop's program for it (xdg-open); true when the opener started and
// ended with success within a few seconds.
bool OpenWithShell(const CString& path);
// folder/title.extension, or with unique the first of "title (1).extension",
// "title (2).extension" ... that does not exist. Empty when title or extension hold "/" or "..".
CString MakeUniqueFileName(const CString& folder, const CString& title, const CString& extension,
                           bool withFolder, bool unique);
// out = the known folder joined with subFolder; true when that folder exists, or, with create,
// once it has been created. False for a folder this system does not know.
bool GetSpecialFolderPath(int csidl, const CString& subFolder, CString& out, bool create);
