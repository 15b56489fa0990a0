#include "platform/fs_wrappers.h"

#include <boost/algorithm/string/replace.hpp>
#include <boost/filesystem.hpp>
#include <boost/regex.hpp>

namespace fs = boost::filesystem;

bool DirectoryExists(const std::string& path) {
    boost::system::error_code ec;
    const fs::file_status st = fs::status(path, ec);
    return !ec && fs::is_directory(st);
}

bool PathExists(const std::string& path) {
    boost::system::error_code ec;
    const fs::file_status st = fs::status(path, ec);
    return !ec && st.type() != fs::status_error && st.type() != fs::file_not_found;
}

bool CreateDirectories(const std::string& path) {
    boost::system::error_code ec;
    const bool created = fs::create_directories(path, ec);
    return !ec && created;
}

std::string GetPathFileName(const std::string& path) {
    try {
        return fs::path(path).filename().string();
    } catch (const fs::filesystem_error&) {
        return {};
    }
}

std::string GetPathParent(const std::string& path) {
    try {
        return fs::path(path).parent_path().string();
    } catch (const fs::filesystem_error&) {
        return {};
    }
}

std::string GetPathWithoutExtension(const std::string& path) {
    try {
        return fs::path(path).replace_extension().string();
    } catch (const fs::filesystem_error&) {
        return {};
    }
}

std::string GetCurrentPathText() {
    boost::system::error_code ec;
    fs::path p = fs::current_path(ec);
    return ec ? std::string() : p.string();
}

namespace {

// A parent step is the element "..", alone or followed by a separator; a name that merely
// begins with two dots ("..data") is not one.
bool StartsWithParentStep(const std::string& relative) {
    return relative == ".." || relative.rfind("../", 0) == 0;
}

}  // namespace

std::string MakeRelativeToBase(const std::string& path, const std::string& base,
                               bool allowParentSteps) {
    try {
        boost::system::error_code ec;
        const std::string r = fs::relative(path, base, ec).string();
        if (ec || r.empty()) return path;
        if (!allowParentSteps && StartsWithParentStep(r)) return path;
        return r;
    } catch (const fs::filesystem_error&) {
        return path;
    }
}

namespace {

// The elements of the normal form, without the "." that Boost leaves for a trailing separator.
std::vector<std::string> NormalElements(const std::string& text) {
    std::vector<std::string> out;
    for (const fs::path& e : fs::path(text).lexically_normal()) {
        const std::string s = e.string();
        if (s.empty() || s == ".") continue;
        out.push_back(s);
    }
    return out;
}

}  // namespace

bool IsPathInsideFolder(const std::string& path, const std::string& folder) {
    std::string f = CleanRelativePath(folder);
    while (f.size() > 1 && f.back() == '/') f.pop_back();
    const std::vector<std::string> pe = NormalElements(CleanRelativePath(path));
    const std::vector<std::string> fe = NormalElements(f);
    size_t i = 0;
    for (; i < pe.size() && i < fe.size(); ++i) {
        if (pe[i] != fe[i]) return false;
    }
    if (i != fe.size() || i == pe.size()) return false;
    // What is left must stay below the folder: a leading ".." climbs out of it.
    for (; i < pe.size(); ++i) {
        if (pe[i] == "..") return false;
    }
    return true;
}

bool FindFiles(std::vector<std::string>& results, const std::string& folder,
               const std::string& mask, bool recursive, bool fullPaths) {
    {
        boost::system::error_code ec;
        const fs::file_status st = fs::status(folder, ec);
        if (ec || st.type() == fs::status_error || st.type() == fs::file_not_found) return false;
    }
    const size_t before = results.size();
    const boost::regex expression(FileMaskToRegex(mask), boost::regex::icase);
    for (fs::directory_iterator it(folder), end; it != end; ++it) {
        const fs::path& entry = it->path();
        const fs::file_status st = it->status();
        if (fs::is_directory(st)) {
            // A link to a folder may lead back up the tree; it is never followed.
            if (recursive && !fs::is_symlink(it->symlink_status())) {
                FindFiles(results, entry.string(), mask, recursive, fullPaths);
            }
            continue;
        }
        if (!fs::is_regular_file(st)) continue;
        const std::string whole = entry.string();
        if (boost::regex_match(whole, expression)) {
            results.push_back(fullPaths ? whole : entry.filename().string());
        }
    }
    return results.size() > before;
}

bool FindFilesInFolders(std::vector<std::string>& results, const std::vector<std::string>& folders,
                        const std::string& mask, bool recursive, bool fullPaths, bool stopAtFirst) {
    const size_t before = results.size();
    for (const std::string& folder : folders) {
        if (FindFiles(results, folder, mask, recursive, fullPaths) && stopAtFirst) break;
    }
    return results.size() > before;
}

bool CopyFileFromFirstFolder(const std::string& fileName, const std::vector<std::string>& folders,
                             const std::string& destinationFolder) {
    if (fileName.empty() || fileName.find("..") != std::string::npos ||
        fileName.find('/') != std::string::npos) {
        return false;
    }
    const std::string target = destinationFolder + fileName;
    for (const std::string& folder : folders) {
        const std::string source = folder + fileName;
        boost::system::error_code ec;
        if (!fs::is_regular_file(fs::status(source, ec)) || ec) continue;
        fs::copy_file(source, target, ec);
        return !ec;
    }
    return false;
}

std::string CleanRelativePath(const std::string& path) {
    // Built once, on first use; local statics are initialised thread-safely.
    static const boost::regex leading("^(\\.[\\\\/]+)+");
    static const boost::regex trailing("(\\.[\\\\/]+)*\\.[\\\\/]*$");
    const std::string once = boost::regex_replace(path, leading, "");
    return boost::regex_replace(once, trailing, "");
}

std::string FileMaskToRegex(const std::string& mask) {
    std::string r = mask.empty() ? std::string("*") : mask;
    // The backslash first, so that the escapes added below are not escaped again.
    static const char* const kSpecial[] = {"\\", "^", ".", "$", "|", "(", ")", "[", "]",
                                           "{",  "}", "*", "+", "?", "/"};
    for (const char* s : kSpecial) boost::algorithm::replace_all(r, s, std::string("\\") + s);
    boost::algorithm::replace_all(r, "\\?", ".");
    boost::algorithm::replace_all(r, "\\*", ".*");
    return r;
}
