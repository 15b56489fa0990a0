// The class library's file search: a snapshot of the entries of one folder whose names match a
// mask, walked with FindNextFile. Texts are in the ANSI code page; the folder separator is '/'.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "compat/cstring.h"
#include "compat/object.h"
#include "compat/windows_types.h"

// Entry attributes as the platform reports them; only these have a meaning here.
constexpr DWORD FILE_ATTRIBUTE_READONLY = 0x01;      // no write permission for the owner
constexpr DWORD FILE_ATTRIBUTE_DIRECTORY = 0x10;     // a folder, or a link to one
constexpr DWORD FILE_ATTRIBUTE_NORMAL = 0x80;        // none of the others
constexpr DWORD FILE_ATTRIBUTE_REPARSE_POINT = 0x400;  // a symbolic link
constexpr DWORD INVALID_FILE_ATTRIBUTES = 0xFFFFFFFFu;

// The attributes of the entry at path (file-system encoding), or INVALID_FILE_ATTRIBUTES.
DWORD GetEntryAttributes(const std::string& path);

// A file mask with '*' (any run) and '?' (one character), compared without regard to ASCII
// case; a trailing ".*" also matches a name without extension, so "*.*" matches every name.
bool MatchesFileMask(const char* name, const char* mask);

class CFileFind : public CObject {
public:
    // Searches the folder part of name (the current folder when it has none) for entries whose
    // names match its last part; a null name means "*". Entries come sorted by name, "." and
    // ".." included as the platform delivers them. A name without '*' or '?' is looked up as
    // it is. True when anything was found; FindNextFile then steps to the first entry.
    BOOL FindFile(const char* name = nullptr, DWORD unused = 0);
    // Steps to the next entry; false when it is the last (it is still readable).
    BOOL FindNextFile();
    void Close();

    CString GetFileName() const;
    CString GetFilePath() const;
    CString GetFileTitle() const;
    CString GetRoot() const;
    ULONGLONG GetLength() const;
    BOOL IsDirectory() const { return MatchesMask(FILE_ATTRIBUTE_DIRECTORY); }
    BOOL IsReadOnly() const { return MatchesMask(FILE_ATTRIBUTE_READONLY); }
    BOOL IsDots() const;
    BOOL MatchesMask(DWORD mask) const;

private:
    struct sEntry {
        std::string name;  // file-system encoding
        DWORD attributes;
        uint64_t size;
    };
    const sEntry* Current() const;

    std::string m_root;  // folder part of the search, file-system encoding, with its '/'
    std::vector<sEntry> m_entries;
    ptrdiff_t m_index = -1;
};
