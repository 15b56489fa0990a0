// Each test gets its own folder of named objects through VOK_IPC_DIR, and must leave it empty.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace Vok::Test {

// A fresh temporary folder on tmpfs; VOK_IPC_DIR names a folder inside it that does not exist yet, so
// the first named object creates it. The variable is restored and the folder removed at the end.
class CIpcTestFolder {
public:
    CIpcTestFolder();
    ~CIpcTestFolder();
    CIpcTestFolder(const CIpcTestFolder&) = delete;
    CIpcTestFolder& operator=(const CIpcTestFolder&) = delete;

    // The folder that VOK_IPC_DIR names.
    const std::string& GetPath() const { return m_path; }
    // The temporary folder around it.
    const std::string& GetRoot() const { return m_root; }
    // Sorted names of the entries in the VOK_IPC_DIR folder; empty when it does not exist.
    std::vector<std::string> ListFiles() const;

private:
    std::string m_root;
    std::string m_path;
    bool m_hadPrevious = false;
    std::string m_previous;
};

// Fixture: checks at the end of each test that no named object was left behind.
class IpcTest : public ::testing::Test {
protected:
    void TearDown() override;
    CIpcTestFolder m_folder;
};

// Path of a peer executable built from tests/support/<name>_main.cpp.
std::string PeerPath(const std::string& binaryDir, const std::string& name);

}  // namespace Vok::Test
