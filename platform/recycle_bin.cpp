#include "platform/recycle_bin.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <ctime>
#include <optional>
#include <string>

#include "compat/file_names.h"
#include "platform/file_ops.h"

namespace {

struct sTrash {
    std::string folder;  // holds "files" and "info"
    std::string top;     // the file system's top folder; empty for the home trash
};

std::optional<struct stat> Lstat(const std::string& path) {
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0) return std::nullopt;
    return st;
}

std::string HomeTrashFolder() {
    const std::string data = Vok::GetLocalAppDataPath();
    return data.empty() ? std::string() : data + "/Trash";
}

// Creates every missing folder of path with mode 0700.
bool MakeFolders(const std::string& path) {
    for (std::size_t at = 1; at <= path.size(); ++at) {
        if (at < path.size() && path[at] != '/') continue;
        const std::string part = path.substr(0, at);
        if (::mkdir(part.c_str(), 0700) != 0 && errno != EEXIST) return false;
    }
    const std::optional<struct stat> st = Lstat(path);
    return st && S_ISDIR(st->st_mode);
}

// A trash folder may be used when it is a real folder of this user that others cannot write.
bool IsOwnPrivateFolder(const std::string& path) {
    const std::optional<struct stat> st = Lstat(path);
    return st && S_ISDIR(st->st_mode) && st->st_uid == ::geteuid() && (st->st_mode & 0022) == 0;
}

bool PrepareTrash(const sTrash& trash) {
    if (trash.folder.empty()) return false;
    if (trash.top.empty()) {
        if (!MakeFolders(trash.folder)) return false;
    } else if (::mkdir(trash.folder.c_str(), 0700) != 0 && errno != EEXIST) {
        return false;
    }
    if (!IsOwnPrivateFolder(trash.folder)) return false;
    for (const char* sub : {"/files", "/info"}) {
        const std::string folder = trash.folder + sub;
        if (::mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST) return false;
        if (!IsOwnPrivateFolder(folder)) return false;
    }
    return true;
}

// The device of path, or of its nearest existing folder upwards; nothing for an empty path.
std::optional<dev_t> DeviceOf(std::string path) {
    while (!path.empty()) {
        if (const std::optional<struct stat> st = Lstat(path)) return st->st_dev;
        const std::size_t slash = path.rfind('/');
        if (slash == std::string::npos) break;
        path = slash == 0 ? std::string("/") : path.substr(0, slash);
    }
    return std::nullopt;
}

// The mount point above folder (a real path): the last folder upwards on the same device.
std::string TopFolder(const std::string& folder, dev_t device) {
    std::string top = folder;
    while (top != "/") {
        const std::size_t slash = top.rfind('/');
        const std::string parent = slash == 0 ? std::string("/") : top.substr(0, slash);
        struct stat st {};
        if (::stat(parent.c_str(), &st) != 0 || st.st_dev != device) break;
        top = parent;
    }
    return top;
}

// The top folder's trash: "$top/.Trash/$uid" when "$top/.Trash" is a sticky folder and no link,
// else "$top/.Trash-$uid".
sTrash TopTrash(const std::string& top) {
    const std::string base = top == "/" ? std::string() : top;
    const std::string uid = std::to_string(::geteuid());
    const std::optional<struct stat> shared = Lstat(base + "/.Trash");
    if (shared && S_ISDIR(shared->st_mode) && (shared->st_mode & S_ISVTX) != 0) {
        sTrash trash{base + "/.Trash/" + uid, top};
        if (PrepareTrash(trash)) return trash;
    }
    return {base + "/.Trash-" + uid, top};
}

// The path as the entry records it: every byte outside the unreserved characters and '/' as %XX.
std::string PercentEncode(const std::string& path) {
    static const char* kHex = "0123456789ABCDEF";
    std::string out;
    for (const unsigned char c : path) {
        const bool plain = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
                           c == '-' || c == '_' || c == '.' || c == '~' || c == '/';
        if (plain) {
            out += static_cast<char>(c);
        } else {
            out += '%';
            out += kHex[c >> 4];
            out += kHex[c & 0xF];
        }
    }
    return out;
}

std::string DeletionDate() {
    const time_t now = ::time(nullptr);
    tm local{};
    ::localtime_r(&now, &local);
    char text[64];
    return std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%S", &local) > 0 ? text : "";
}

bool WriteAll(int fd, const std::string& text) {
    std::size_t done = 0;
    while (done < text.size()) {
        const ssize_t n = ::write(fd, text.data() + done, text.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        done += static_cast<std::size_t>(n);
    }
    return true;
}

// The entry's name reserves the item's name in the trash: it is created exclusively, and a
// taken name is tried again with a number. The name found, or empty.
std::string ReserveName(const sTrash& trash, const std::string& name, const std::string& info) {
    // "<name>.trashinfo" must fit a file name: a long name is cut, never in the middle of a
    // UTF-8 character.
    std::string stem = name;
    constexpr std::size_t kRoom = NAME_MAX - 10 - 12;  // ".trashinfo" and a number
    if (stem.size() > kRoom) {
        std::size_t cut = kRoom;
        while (cut > 0 && (static_cast<unsigned char>(stem[cut]) & 0xC0) == 0x80) --cut;
        stem.erase(cut);
    }
    for (int n = 1; n < 100000; ++n) {
        const std::string candidate = n == 1 ? stem : stem + "." + std::to_string(n);
        if (Lstat(trash.folder + "/files/" + candidate)) continue;
        const std::string infoPath = trash.folder + "/info/" + candidate + ".trashinfo";
        const int fd = ::open(infoPath.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0600);
        if (fd < 0) {
            if (errno == EEXIST) continue;
            return {};
        }
        const bool written = WriteAll(fd, info);
        if (::close(fd) != 0 || !written) {
            ::unlink(infoPath.c_str());
            return {};
        }
        return candidate;
    }
    return {};
}

bool MoveToTrash(const sTrash& trash, const std::string& item, const std::string& name) {
    // The home trash records the absolute path, a top folder's trash the path below its top.
    std::string recorded = item;
    if (!trash.top.empty() && trash.top != "/") recorded = item.substr(trash.top.size() + 1);
    else if (!trash.top.empty()) recorded = item.substr(1);
    const std::string info = "[Trash Info]\nPath=" + PercentEncode(recorded) + "\nDeletionDate=" + DeletionDate() + "\n";
    const std::string reserved = ReserveName(trash, name, info);
    if (reserved.empty()) return false;
    if (::rename(item.c_str(), (trash.folder + "/files/" + reserved).c_str()) == 0) return true;
    ::unlink((trash.folder + "/info/" + reserved + ".trashinfo").c_str());
    return false;
}

}  // namespace

bool DeleteToRecycleBin(CString path, void* ownerWindow) {
    (void)ownerWindow;
    std::string item = Vok::FileNames::AnsiToFileSystem(path.Str());
    while (item.size() > 1 && item.back() == '/') item.pop_back();
    if (item.empty()) return false;
    // The item's folder is made absolute; the item's own name stays, so that a link is moved
    // and not its target.
    const std::size_t slash = item.rfind('/');
    const std::string name = slash == std::string::npos ? item : item.substr(slash + 1);
    const std::string folderText = slash == std::string::npos ? "." : slash == 0 ? "/" : item.substr(0, slash);
    if (name.empty() || name == "." || name == "..") return false;
    char real[PATH_MAX];
    if (::realpath(folderText.c_str(), real) == nullptr) return false;
    const std::string folder = real;
    item = (folder == "/" ? "" : folder) + "/" + name;
    const std::optional<struct stat> st = Lstat(item);
    if (!st) return false;

    const sTrash home{HomeTrashFolder(), {}};
    if (PrepareTrash(home)) {
        struct stat trashStat {};
        if (::stat((home.folder + "/files").c_str(), &trashStat) == 0 && trashStat.st_dev == st->st_dev) {
            // Nothing goes into the trash that holds it.
            const std::string trashReal = [&] {
                char r[PATH_MAX];
                return ::realpath(home.folder.c_str(), r) != nullptr ? std::string(r) : std::string();
            }();
            if (trashReal.empty() || (trashReal + "/").rfind(item + "/", 0) == 0 || item.rfind(trashReal + "/", 0) == 0)
                return false;
            return MoveToTrash(home, item, name);
        }
    }
    struct stat folderStat {};
    if (::stat(folder.c_str(), &folderStat) != 0) return false;
    // Top-directory trashes are for the other file systems: an item of the home trash's own file
    // system that the home trash cannot take stays where it is.
    const std::optional<dev_t> homeDevice = DeviceOf(home.folder);
    if (homeDevice && *homeDevice == folderStat.st_dev) return false;
    const sTrash top = TopTrash(TopFolder(folder, folderStat.st_dev));
    if (item.rfind(top.folder + "/", 0) == 0 || item == top.folder || !PrepareTrash(top)) return false;
    return MoveToTrash(top, item, name);
}
