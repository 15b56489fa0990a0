#include "platform/file_ops.h"

#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <vector>

#include <boost/filesystem.hpp>

#include "compat/file_names.h"
#include "compat/object.h"
#include "platform/desktop_open.h"

namespace fs = boost::filesystem;
using Vok::FileNames::AnsiToFileSystem;
using Vok::FileNames::FileSystemToAnsi;

namespace {

std::string Fs(const CString& ansi) { return AnsiToFileSystem(ansi.Str()); }
std::string Fs(const char* ansi) { return ansi == nullptr ? std::string() : AnsiToFileSystem(ansi); }
CString Ansi(const std::string& name) { return CString(FileSystemToAnsi(name).c_str()); }

// folder + "/" + name, without doubling a separator that folder already ends with.
CString Join(const CString& folder, const CString& name) {
    if (folder.IsEmpty()) return name;
    if (folder[folder.GetLength() - 1] == '/') return folder + name;
    return folder + "/" + name;
}
std::string JoinFs(const std::string& folder, const std::string& name) {
    if (folder.empty()) return name;
    return folder.back() == '/' ? folder + name : folder + "/" + name;
}

// A name used inside a folder must not lead out of it.
bool LeavesFolder(const std::string& name) {
    return name.find('/') != std::string::npos || name.find("..") != std::string::npos;
}

struct sDirEntry {
    std::string name;  // file-system encoding
    bool isFolder;     // a folder, or a link to one
    bool isLink;
};

// The entries of a folder sorted by name, "." and ".." left out; an unreadable folder has none.
std::vector<sDirEntry> ReadFolder(const std::string& folder) {
    std::vector<sDirEntry> out;
    boost::system::error_code ec;
    fs::directory_iterator it(folder.empty() ? std::string(".") : folder, ec);
    for (fs::directory_iterator end; !ec && it != end; it.increment(ec)) {
        boost::system::error_code sec;
        const bool link = fs::is_symlink(it->symlink_status(sec));
        const bool folderEntry = fs::is_directory(it->status(sec));
        out.push_back({it->path().filename().string(), folderEntry, link});
    }
    std::sort(out.begin(), out.end(),
              [](const sDirEntry& a, const sDirEntry& b) { return a.name < b.name; });
    return out;
}

bool EntryExists(const std::string& path) {
    struct stat st {};
    return !path.empty() && ::lstat(path.c_str(), &st) == 0;
}

bool FolderExists(const std::string& path) {
    struct stat st {};
    return !path.empty() && ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

std::string WithoutTrailingSlashes(std::string path) {
    while (path.size() > 1 && path.back() == '/') path.pop_back();
    return path;
}

}  // namespace

namespace Vok {

std::string GetLocalAppDataPath() {
    // The XDG base directory rule: a relative path is invalid and ignored.
    if (const char* data = std::getenv("XDG_DATA_HOME"); data != nullptr && data[0] == '/') return data;
    std::string home;
    if (const char* h = std::getenv("HOME"); h != nullptr && *h != '\0') {
        home = h;
    } else if (const passwd* pw = ::getpwuid(::geteuid()); pw != nullptr && pw->pw_dir != nullptr) {
        home = pw->pw_dir;
    }
    return home.empty() ? std::string() : JoinFs(home, ".local/share");
}

}  // namespace Vok

BOOL FindFileInFolder(const char* pattern, const char* folder, CFileFind* finder) {
    if (pattern == nullptr && folder == nullptr) return FALSE;
    if (pattern != nullptr && folder == nullptr && finder != nullptr) return FALSE;
    CFileFind own;
    CFileFind& find = finder != nullptr ? *finder : own;
    if (folder == nullptr) return find.FindFile(pattern);
    // The folder is put in front of the pattern instead of becoming the current folder, which
    // other threads share, and a missing folder simply finds nothing.
    const std::string name = pattern != nullptr ? pattern : "*";
    if (LeavesFolder(name) || *folder == '\0') {
        find.Close();
        return FALSE;
    }
    return find.FindFile(Join(CString(folder), CString(name.c_str())));
}

BOOL IsExistingFolder(const char* path) {
    if (path == nullptr) return FALSE;
    return FolderExists(Fs(path)) ? TRUE : FALSE;
}

BOOL IsFolderReadOnly(const char* folder) {
    if (folder == nullptr) return TRUE;
    // A fresh name, created exclusively, so that no file of the user's is touched.
    std::string probe = JoinFs(Fs(folder), "~1BBC170XXXXXX.tmp");
    const int fd = ::mkstemps(probe.data(), 4);
    if (fd < 0) return TRUE;
    ::close(fd);
    return ::unlink(probe.c_str()) == 0 ? FALSE : TRUE;
}

bool HasFileAccess(const char* path, DWORD desiredAccess) {
    if (path == nullptr || *path == '\0') return false;
    int mode = 0;
    if ((desiredAccess & (GENERIC_READ | GENERIC_ALL | FILE_READ_DATA)) != 0) mode |= R_OK;
    if ((desiredAccess & (GENERIC_WRITE | GENERIC_ALL | FILE_WRITE_DATA | FILE_APPEND_DATA)) != 0) {
        mode |= W_OK;
    }
    if ((desiredAccess & (GENERIC_EXECUTE | GENERIC_ALL | FILE_EXECUTE)) != 0) mode |= X_OK;
    return ::faccessat(AT_FDCWD, Fs(path).c_str(), mode == 0 ? F_OK : mode, AT_EACCESS) == 0;
}

BOOL CanOpenFile(const CString& path, UINT openFlags) {
    // Non-blocking, so that a FIFO without a peer answers at once instead of waiting for one.
    int flags = O_CLOEXEC | O_NONBLOCK;
    switch (openFlags & 3) {
    case 1: flags |= O_WRONLY; break;
    case 2: flags |= O_RDWR; break;
    default: flags |= O_RDONLY; break;
    }
    if ((openFlags & 0x1000) != 0) {
        flags |= O_CREAT;
        if ((openFlags & 0x2000) == 0) flags |= O_TRUNC;
    }
    const std::string p = Fs(path);
    int fd;
    do {
        fd = ::open(p.c_str(), flags, 0666);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0) {
        const int error = errno;
        if (error == EACCES || error == EPERM || error == EROFS || error == EISDIR ||
            error == ETXTBSY) {
            return FALSE;
        }
        throw CFileException(CFileException::OsErrorToException(error), error, path.Str());
    }
    // A folder opens here but is no file: the platform denies it.
    struct stat st {};
    const bool folder = ::fstat(fd, &st) == 0 && S_ISDIR(st.st_mode);
    ::close(fd);
    return folder ? FALSE : TRUE;
}

BOOL CanCreateFile(const CString& path) {
    const std::string p = Fs(path);
    if (p.empty()) return FALSE;
    if (EntryExists(p)) return TRUE;
    std::vector<std::string> missing;  // innermost first
    for (std::string f = fs::path(WithoutTrailingSlashes(p)).parent_path().string();
         !f.empty() && !FolderExists(f); f = fs::path(f).parent_path().string()) {
        missing.push_back(f);
        if (f == "/") break;
    }
    bool ok = true;
    std::vector<std::string> created;
    for (auto it = missing.rbegin(); it != missing.rend(); ++it) {
        if (::mkdir(it->c_str(), 0777) != 0) {
            ok = false;
            break;
        }
        created.push_back(*it);
    }
    if (ok) {
        // Exclusive, so that a file someone else creates meanwhile is never removed.
        const int fd = ::open(p.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0) {
            ::close(fd);
            ::unlink(p.c_str());
        } else {
            ok = false;
        }
    }
    for (auto it = created.rbegin(); it != created.rend(); ++it) ::rmdir(it->c_str());
    return ok ? TRUE : FALSE;
}

CString FindFirstFileInFolder(const CString& folder, const CString& mask) {
    if (LeavesFolder(mask.Str())) return {};
    const std::string f = Fs(folder);
    for (const sDirEntry& e : ReadFolder(f)) {
        if (e.isFolder) continue;
        if (MatchesFileMask(FileSystemToAnsi(e.name).c_str(), mask)) return Ansi(JoinFs(f, e.name));
    }
    return {};
}

namespace {

// Appends the folders below folder that match mask; links to folders are named, not entered.
void CollectFolders(CStringArray& out, const CString& folder, const CString& mask, bool recursive,
                    bool fullPath, bool withLinks) {
    for (const sDirEntry& e : ReadFolder(Fs(folder))) {
        if (!e.isFolder) continue;
        const CString name = Ansi(e.name);
        if (!MatchesFileMask(name, mask)) continue;
        const CString full = Join(folder, name);
        if (e.isLink) {
            if (withLinks) out.Add(fullPath ? full : name);
            continue;
        }
        out.Add(fullPath ? full : name);
        if (recursive) CollectFolders(out, full, mask, recursive, fullPath, withLinks);
    }
}

}  // namespace

BOOL ListFolders(CStringArray& out, CString folder, const CString& mask, BOOL recursive,
                 BOOL fullPath) {
    out.RemoveAll();
    if (LeavesFolder(mask.Str())) return FALSE;
    CollectFolders(out, folder, mask, recursive != FALSE, fullPath != FALSE, true);
    return out.IsEmpty() ? FALSE : TRUE;
}

BOOL ListFiles(CStringArray& out, const CString& folder, const CString& mask, BOOL recursive,
               BOOL fullPath) {
    out.RemoveAll();
    if (LeavesFolder(mask.Str())) return FALSE;
    CStringArray folders;
    folders.Add(folder);
    if (recursive) CollectFolders(folders, folder, "*", true, true, false);
    for (const CString& f : folders) {
        for (const sDirEntry& e : ReadFolder(Fs(f))) {
            if (e.isFolder) continue;
            const CString name = Ansi(e.name);
            if (MatchesFileMask(name, mask)) out.Add(fullPath ? Join(f, name) : name);
        }
    }
    return out.IsEmpty() ? FALSE : TRUE;
}

BOOL MakeRelativePath(const CString& from, CString to, CString& out) {
    out.Empty();
    if (from.IsEmpty() || to.IsEmpty()) return FALSE;
    // A from with an extension names a file: the relative path starts at its folder.
    fs::path base = fs::path(WithoutTrailingSlashes(from.Str())).lexically_normal();
    if (base.has_extension()) base = base.parent_path();
    const fs::path target = fs::path(WithoutTrailingSlashes(to.Str())).lexically_normal();
    if (base.empty() || base.is_absolute() != target.is_absolute()) return FALSE;
    const fs::path rel = target.lexically_relative(base);
    if (rel.empty()) return FALSE;
    std::string text = rel.string();
    if (text != "." && text != ".." && text.rfind("../", 0) != 0) text = "./" + text;
    out = text.c_str();
    return TRUE;
}

CString GetTempFolder() {
    boost::system::error_code ec;
    std::string t = fs::temp_directory_path(ec).string();
    if (ec || t.empty()) t = "/tmp";
    if (t.back() != '/') t.push_back('/');
    return Ansi(t);
}

namespace {

BOOL MakeFolderPathImpl(const CString& folder) {
    const std::string f = Fs(folder);
    if (FolderExists(f)) return TRUE;
    if (f.empty() || f[0] != '/') return FALSE;
    const fs::path normal = fs::path(WithoutTrailingSlashes(f)).lexically_normal();
    std::vector<std::string> missing;  // innermost first
    for (fs::path p = normal; !p.empty() && !FolderExists(p.string()); p = p.parent_path()) {
        missing.push_back(WithoutTrailingSlashes(p.string()));
        if (p == p.root_path()) break;
    }
    for (auto it = missing.rbegin(); it != missing.rend(); ++it) {
        if (::mkdir(it->c_str(), 0777) != 0) return FALSE;
    }
    return TRUE;
}

}  // namespace

BOOL MakeLocalFolderPath(const CString& folder) { return MakeFolderPathImpl(folder); }

// Network shares have no path form of their own here: both accept absolute paths.
BOOL MakeFolderPath(const CString& folder) { return MakeFolderPathImpl(folder); }

namespace {

void DeleteContents(const std::string& folder) {
    for (const sDirEntry& e : ReadFolder(folder)) {
        const std::string path = JoinFs(folder, e.name);
        boost::system::error_code ec;
        if (e.isFolder && !e.isLink) {
            DeleteContents(path);
            fs::remove(path, ec);
        } else {
            fs::remove(path, ec);  // a link goes, its target stays
        }
    }
}

}  // namespace

void DeleteFolderContents(CString folder) {
    const std::string f = Fs(folder);
    if (f.empty()) return;
    boost::system::error_code ec;
    const fs::path real = fs::canonical(f, ec);
    if (ec || real == real.root_path()) return;
    DeleteContents(f);
}

namespace {

std::vector<std::string> RealElements(const std::string& path, bool& ok) {
    std::vector<std::string> out;
    boost::system::error_code ec;
    const fs::path real = fs::weakly_canonical(fs::absolute(path), ec);
    ok = !ec;
    for (const fs::path& e : real.lexically_normal()) {
        const std::string s = e.string();
        if (!s.empty() && s != ".") out.push_back(s);
    }
    return out;
}

// True when folder is base or lies below it, after links are resolved.
bool IsSameOrBelow(const std::string& folder, const std::string& base) {
    bool okF = false;
    bool okB = false;
    const std::vector<std::string> f = RealElements(folder, okF);
    const std::vector<std::string> b = RealElements(base, okB);
    if (!okF || !okB || f.size() < b.size()) return false;
    return std::equal(b.begin(), b.end(), f.begin());
}

}  // namespace

BOOL CopyFolderTree(const CString& from, const CString& to, BOOL recursive, BOOL stopAtFirstError,
                    CString& failedPath) {
    const std::string src = Fs(from);
    const std::string dst = Fs(to);
    if (src.empty() || dst.empty() || IsSameOrBelow(dst, src)) {
        failedPath = from;
        return FALSE;
    }
    bool ok = true;
    bool failedHere = false;
    for (const sDirEntry& e : ReadFolder(src)) {
        const CString name = Ansi(e.name);
        const std::string source = JoinFs(src, e.name);
        const std::string target = JoinFs(dst, e.name);
        bool done = true;
        boost::system::error_code ec;
        if (!e.isFolder) {
            // Only regular files have content to copy; opening a FIFO would wait for a writer.
            done = fs::is_regular_file(fs::status(source, ec)) &&
                   fs::copy_file(source, target, fs::copy_options::overwrite_existing, ec);
            done = done && !ec;
            if (!done && !failedHere) failedPath = Ansi(source);
        } else if (!recursive) {
            continue;
        } else if (e.isLink) {
            fs::remove(target, ec);
            fs::copy_symlink(source, target, ec);
            done = !ec;
            if (!done && !failedHere) failedPath = Ansi(source);
        } else if (!MakeFolderPath(Ansi(target))) {
            done = false;
            failedPath = Ansi(source);
        } else {
            done = CopyFolderTree(Ansi(source), Ansi(target), recursive, stopAtFirstError,
                                  failedPath) != FALSE;
        }
        if (!done) {
            ok = false;
            failedHere = true;
            if (stopAtFirstError) break;
        }
    }
    return ok ? TRUE : FALSE;
}

BOOL CopyFolder(const CString& from, const CString& to, BOOL recursive) {
    CString failedPath;
    return CopyFolderTree(from, to, recursive, FALSE, failedPath);
}

BOOL SetReadOnly(const CString& path, BOOL readOnly) {
    const std::string p = Fs(path);
    struct stat st {};
    if (p.empty() || ::stat(p.c_str(), &st) != 0) return FALSE;
    const bool isReadOnly = (st.st_mode & S_IWUSR) == 0;
    if (isReadOnly == (readOnly != FALSE)) return TRUE;
    mode_t mode = st.st_mode & 07777;
    mode = readOnly ? (mode & ~static_cast<mode_t>(S_IWUSR | S_IWGRP | S_IWOTH)) : (mode | S_IWUSR);
    return ::chmod(p.c_str(), mode) == 0 ? TRUE : FALSE;
}

BOOL ClearFileAttributes(const char* path, DWORD attributes) {
    if (path == nullptr) return FALSE;
    const std::string p = Fs(path);
    const DWORD current = GetEntryAttributes(p);
    if (current == INVALID_FILE_ATTRIBUTES) return FALSE;
    const DWORD clear = current & attributes;
    if (clear == 0) return FALSE;
    // Only the read-only bit can be changed; the others describe what the entry is.
    if ((clear & FILE_ATTRIBUTE_READONLY) != 0) return SetReadOnly(CString(path), FALSE);
    return TRUE;
}

int64_t GetFileSize64(const CString& path) {
    struct stat st {};
    const std::string p = Fs(path);
    if (p.empty() || ::stat(p.c_str(), &st) != 0 || S_ISDIR(st.st_mode)) return -1;
    return static_cast<int64_t>(st.st_size);
}

bool OpenWithShell(const CString& path) {
    std::string target = Fs(path);
    if (target.empty()) return false;
    // A name that begins with '-' would read as an option.
    if (target[0] == '-') target = "./" + target;
    return Vok::RunDesktopOpener(target);
}

CString MakeUniqueFileName(const CString& folder, const CString& title, const CString& extension,
                           bool withFolder, bool unique) {
    if (LeavesFolder(title.Str()) || LeavesFolder(extension.Str())) return {};
    CString name;
    name.Format("%s.%s", title, extension);
    CString full = Join(folder, name);
    for (int n = 1; unique && EntryExists(Fs(full)); ++n) {
        name.Format("%s (%d).%s", title, n, extension);
        full = Join(folder, name);
    }
    return withFolder ? full : name;
}

bool GetSpecialFolderPath(int csidl, const CString& subFolder, CString& out, bool create) {
    std::string base;
    const char* home = std::getenv("HOME");
    switch (csidl & ~CSIDL_FLAG_CREATE) {
    case CSIDL_LOCAL_APPDATA: base = Vok::GetLocalAppDataPath(); break;
    case CSIDL_APPDATA:
        if (const char* c = std::getenv("XDG_CONFIG_HOME"); c != nullptr && *c != '\0') {
            base = c;
        } else if (home != nullptr && *home != '\0') {
            base = JoinFs(home, ".config");
        }
        break;
    case CSIDL_PERSONAL:
    case CSIDL_PROFILE:
        if (home != nullptr) base = home;
        break;
    default: return false;
    }
    if (base.empty()) return false;
    if (create || (csidl & CSIDL_FLAG_CREATE) != 0) {
        boost::system::error_code ec;
        fs::create_directories(base, ec);
    }
    if (!FolderExists(base)) return false;
    const CString folder = Ansi(base);
    if (subFolder.IsEmpty()) {
        out = folder;
    } else if (subFolder[0] == '/') {
        out = Join(folder, subFolder.Mid(1));
    } else {
        out = Join(folder, subFolder);
    }
    if (FolderExists(Fs(out))) return true;
    if (!create) return false;
    boost::system::error_code ec;
    fs::create_directories(Fs(out), ec);
    return !ec && FolderExists(Fs(out));
}
