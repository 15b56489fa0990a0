#include "compat/file_find.h"

#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>
#include <cctype>

#include "compat/file_names.h"

DWORD GetEntryAttributes(const std::string& path) {
    struct stat ls {};
    if (path.empty() || ::lstat(path.c_str(), &ls) != 0) return INVALID_FILE_ATTRIBUTES;
    DWORD attributes = 0;
    struct stat st = ls;
    if (S_ISLNK(ls.st_mode)) {
        attributes |= FILE_ATTRIBUTE_REPARSE_POINT;
        if (::stat(path.c_str(), &st) != 0) st = ls;  // a broken link keeps its own status
    }
    if (S_ISDIR(st.st_mode)) attributes |= FILE_ATTRIBUTE_DIRECTORY;
    if ((st.st_mode & S_IWUSR) == 0) attributes |= FILE_ATTRIBUTE_READONLY;
    return attributes == 0 ? FILE_ATTRIBUTE_NORMAL : attributes;
}

namespace {

bool Match(const char* n, const char* m) {
    // Iterative wildcard match with one backtrack point for the last '*'.
    const char* starM = nullptr;
    const char* starN = nullptr;
    while (*n != '\0') {
        if (*m == '*') {
            starM = m++;
            starN = n;
        } else if (*m == '?' ||
                   (*m != '\0' && std::tolower(static_cast<unsigned char>(*m)) ==
                                      std::tolower(static_cast<unsigned char>(*n)))) {
            ++m;
            ++n;
        } else if (starM != nullptr) {
            m = starM + 1;
            n = ++starN;
        } else {
            return false;
        }
    }
    while (*m == '*') ++m;
    return *m == '\0';
}

bool HasWildcard(const std::string& s) { return s.find_first_of("*?") != std::string::npos; }

uint64_t EntrySize(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 ? static_cast<uint64_t>(st.st_size) : 0;
}

}  // namespace

bool MatchesFileMask(const char* name, const char* mask) {
    if (name == nullptr || mask == nullptr) return false;
    if (Match(name, mask)) return true;
    const std::string m(mask);
    if (m.size() >= 2 && m.compare(m.size() - 2, 2, ".*") == 0 && std::string(name).find('.') == std::string::npos) {
        return Match(name, m.substr(0, m.size() - 2).c_str());
    }
    return false;
}

BOOL CFileFind::FindFile(const char* name, DWORD /*unused*/) {
    Close();
    const std::string pattern = Vok::FileNames::AnsiToFileSystem(name != nullptr ? name : "*");
    const size_t slash = pattern.rfind('/');
    m_root = slash == std::string::npos ? std::string() : pattern.substr(0, slash + 1);
    const std::string last = slash == std::string::npos ? pattern : pattern.substr(slash + 1);
    if (last.empty()) return FALSE;

    if (!HasWildcard(last)) {
        const std::string path = m_root + last;
        const DWORD attributes = GetEntryAttributes(path);
        if (attributes == INVALID_FILE_ATTRIBUTES) return FALSE;
        m_entries.push_back({last, attributes, EntrySize(path)});
        return TRUE;
    }

    DIR* dir = ::opendir(m_root.empty() ? "." : m_root.c_str());
    if (dir == nullptr) return FALSE;
    const std::string ansiMask = Vok::FileNames::FileSystemToAnsi(last);
    while (const dirent* e = ::readdir(dir)) {
        const std::string entryName = e->d_name;
        if (!MatchesFileMask(Vok::FileNames::FileSystemToAnsi(entryName).c_str(), ansiMask.c_str())) {
            continue;
        }
        const std::string path = m_root + entryName;
        const DWORD attributes = GetEntryAttributes(path);
        if (attributes == INVALID_FILE_ATTRIBUTES) continue;  // gone since the listing
        m_entries.push_back({entryName, attributes, EntrySize(path)});
    }
    ::closedir(dir);
    std::sort(m_entries.begin(), m_entries.end(),
              [](const sEntry& a, const sEntry& b) { return a.name < b.name; });
    return m_entries.empty() ? FALSE : TRUE;
}

BOOL CFileFind::FindNextFile() {
    if (m_index + 1 >= static_cast<ptrdiff_t>(m_entries.size())) return FALSE;
    ++m_index;
    return m_index + 1 < static_cast<ptrdiff_t>(m_entries.size()) ? TRUE : FALSE;
}

void CFileFind::Close() {
    m_root.clear();
    m_entries.clear();
    m_index = -1;
}

const CFileFind::sEntry* CFileFind::Current() const {
    if (m_index < 0 || m_index >= static_cast<ptrdiff_t>(m_entries.size())) return nullptr;
    return &m_entries[static_cast<size_t>(m_index)];
}

CString CFileFind::GetFileName() const {
    const sEntry* e = Current();
    return e == nullptr ? CString() : CString(Vok::FileNames::FileSystemToAnsi(e->name).c_str());
}

CString CFileFind::GetFilePath() const {
    const sEntry* e = Current();
    if (e == nullptr) return {};
    return CString(Vok::FileNames::FileSystemToAnsi(m_root + e->name).c_str());
}

CString CFileFind::GetFileTitle() const {
    CString name = GetFileName();
    const int dot = name.ReverseFind('.');
    return dot > 0 ? name.Left(dot) : name;
}

CString CFileFind::GetRoot() const {
    return CString(Vok::FileNames::FileSystemToAnsi(m_root).c_str());
}

ULONGLONG CFileFind::GetLength() const {
    const sEntry* e = Current();
    return e == nullptr ? 0 : e->size;
}

BOOL CFileFind::IsDots() const {
    const sEntry* e = Current();
    return (e != nullptr && (e->name == "." || e->name == "..")) ? TRUE : FALSE;
}

BOOL CFileFind::MatchesMask(DWORD mask) const {
    const sEntry* e = Current();
    return (e != nullptr && (e->attributes & mask) != 0) ? TRUE : FALSE;
}
