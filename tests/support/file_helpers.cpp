#include "tests/support/file_helpers.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <stdexcept>

#include <boost/filesystem.hpp>

namespace fs = boost::filesystem;

namespace Vok::Test {

CTempFolder::CTempFolder() {
    std::string pattern = (fs::temp_directory_path() / "vok-test-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
    m_path = pattern;
}

CTempFolder::~CTempFolder() {
    boost::system::error_code ec;
    // Tests may leave read-only entries; make everything writable before removing it.
    for (fs::recursive_directory_iterator it(m_path, ec), end; !ec && it != end; it.increment(ec)) {
        if (!fs::is_symlink(it->symlink_status())) {
            ::chmod(it->path().c_str(), fs::is_directory(it->symlink_status()) ? 0700 : 0600);
        }
    }
    fs::remove_all(m_path, ec);
}

void WriteTextFile(const std::string& path, const std::string& content) {
    const fs::path parent = fs::path(path).parent_path();
    if (!parent.empty()) fs::create_directories(parent);
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << content;
    if (!out) throw std::runtime_error("cannot write " + path);
}

std::optional<std::string> ReadTextFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return std::nullopt;
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

bool Exists(const std::string& path) {
    struct stat st {};
    return ::lstat(path.c_str(), &st) == 0;
}

CScopedCurrentFolder::CScopedCurrentFolder(const std::string& folder)
    : m_previous(fs::current_path().string()) {
    fs::current_path(folder);
}

CScopedCurrentFolder::~CScopedCurrentFolder() {
    boost::system::error_code ec;
    fs::current_path(m_previous, ec);
}

CScopedEnvironment::CScopedEnvironment(std::string name, const std::optional<std::string>& value)
    : m_name(std::move(name)) {
    if (const char* old = std::getenv(m_name.c_str())) m_previous = old;
    if (value) {
        ::setenv(m_name.c_str(), value->c_str(), 1);
    } else {
        ::unsetenv(m_name.c_str());
    }
}

CScopedEnvironment::~CScopedEnvironment() {
    if (m_previous) {
        ::setenv(m_name.c_str(), m_previous->c_str(), 1);
    } else {
        ::unsetenv(m_name.c_str());
    }
}

}  // namespace Vok::Test
