#include "tests/support/ipc_test_folder.h"

#include <stdlib.h>

#include <algorithm>
#include <boost/filesystem.hpp>
#include <stdexcept>

namespace Vok::Test {

CIpcTestFolder::CIpcTestFolder() {
    // tmpfs, as the default folder is: size checks there fail at once instead of filling a disk.
    std::string pattern = "/dev/shm/vok-test-XXXXXX";
    if (::mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp");
    m_root = pattern;
    m_path = m_root + "/ipc";
    if (const char* previous = ::getenv("VOK_IPC_DIR")) {
        m_hadPrevious = true;
        m_previous = previous;
    }
    ::setenv("VOK_IPC_DIR", m_path.c_str(), 1);
}

CIpcTestFolder::~CIpcTestFolder() {
    if (m_hadPrevious)
        ::setenv("VOK_IPC_DIR", m_previous.c_str(), 1);
    else
        ::unsetenv("VOK_IPC_DIR");
    boost::system::error_code ignored;
    boost::filesystem::remove_all(m_root, ignored);
}

std::vector<std::string> CIpcTestFolder::ListFiles() const {
    std::vector<std::string> names;
    boost::system::error_code error;
    for (boost::filesystem::directory_iterator it(m_path, error), end; !error && it != end; it.increment(error))
        names.push_back(it->path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

void IpcTest::TearDown() {
    const std::vector<std::string> left = m_folder.ListFiles();
    std::string text;
    for (const std::string& name : left) text += " " + name;
    EXPECT_TRUE(left.empty()) << "named objects left behind:" << text;
}

std::string PeerPath(const std::string& binaryDir, const std::string& name) { return binaryDir + "/tests/" + name; }

}  // namespace Vok::Test
