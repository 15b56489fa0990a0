// Windows paths and file names taken apart and put together as text: the backslash separates
// folders, a drive is a letter and ':', names compare without case. Nothing here touches the
// file system; real files go through file_ops.h.
#pragma once

#include "compat/cstring.h"
#include "compat/window.h"
#include "compat/windows_types.h"

// a and b joined with exactly one separator ('\' or '/' already present counts).
CString CombinePath(const CString& a, const CString& b);

// Drive ("D:"), folder (with its leading and trailing separators), name, and extension (with
// its '.'). Both '\' and '/' separate; parts may be of any length.
void SplitPath(const CString& path, CString& drive, CString& folder, CString& name,
               CString& extension);

// The text after the last backslash (the whole text when there is none, extension included).
CString GetFileNameFromPath(const char* path, bool stripExtension);
// The text up to the last backslash, with or without it; empty when there is none.
CString GetFolderFromPath(const char* path, bool withoutTrailingBackslash);
CString RemoveExtension(const char* path);
BOOL HasExtension(const char* path);
CString GetExtension(const char* path, bool withDot);

// Replaces the extension (an empty one only removes it); with onlyIfNone an existing
// extension stays.
void SetExtension(CString& path, const CString& extension, bool onlyIfNone);
CString SetExtension(const char* path, const CString& extension, bool onlyIfNone);

// Replaces every ".from" by ".to", in lower case, or when none was found, in upper case.
void ReplaceExtensionInText(CString& text, const CString& from, const CString& to);
CString ReplaceExtensionInText(const char* text, const CString& from, const CString& to);

CString GetFirstWord(const char* text);

// The characters a file name may not hold: \ ? * / & : > < " |
BOOL IsValidFileName(const char* name);
CString CleanFileName(const CString& name, bool replace, char replacement);
// As CleanFileName for a whole path: '\', '/', '&' and the ':' of a leading drive stay.
CString CleanPath(const CString& path, bool replace, char replacement);

BOOL StartsWithoutDot(const char* name);
BOOL IsSameFileName(const CString& a, const CString& b);

// Drops the folders after the first one from the left, writing "..." in their place, until
// the text is at most maxLength characters or only the first and last components are left.
CString AbbreviatePath(const char* path, int maxLength);
// Drops folders from the left, writing "\...\" after the drive in their place (with the path's
// own separator: "/.../" for a path of forward slashes), until the path fits maxWidth pixels as
// the window measures text (-1: the window's client width less 2 pixels on each side). The path
// unchanged when it fits, when even the drive and the file name alone do not, when it has no
// folder that could be dropped, when the result would be longer than the path, and without a
// window. When every folder is gone and it still does not fit: drive, the mark and the file name.
CString AbbreviatePathToFit(const CString& path, const CWnd* window, int maxWidth = -1);
