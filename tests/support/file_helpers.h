// Test helpers for work on real files: a temporary folder removed with everything in it, small
// file read and write, and scoped changes of the current folder and of an environment variable.
#pragma once

#include <optional>
#include <string>

namespace Vok::Test {

// A fresh folder under the system's temporary folder; removed (links not followed) at the end.
class CTempFolder {
public:
    CTempFolder();
    ~CTempFolder();
    CTempFolder(const CTempFolder&) = delete;
    CTempFolder& operator=(const CTempFolder&) = delete;

    const std::string& Path() const { return m_path; }
    // Path() + "/" + relative.
    std::string operator/(const std::string& relative) const { return m_path + "/" + relative; }

private:
    std::string m_path;
};

// Writes content to path, creating its missing folders.
void WriteTextFile(const std::string& path, const std::string& content);
// The whole content, or nullopt when the file cannot be read.
std::optional<std::string> ReadTextFile(const std::string& path);
bool Exists(const std::string& path);  // without following a final link

class CScopedCurrentFolder {
public:
    explicit CScopedCurrentFolder(const std::string& folder);
    ~CScopedCurrentFolder();
    CScopedCurrentFolder(const CScopedCurrentFolder&) = delete;
    CScopedCurrentFolder& operator=(const CScopedCurrentFolder&) = delete;

private:
    std::string m_previous;
};

// Sets (or, with nullopt, removes) a variable and puts the old state back at the end.
class CScopedEnvironment {
public:
    CScopedEnvironment(std::string name, const std::optional<std::string>& value);
    ~CScopedEnvironment();
    CScopedEnvironment(const CScopedEnvironment&) = delete;
    CScopedEnvironment& operator=(const CScopedEnvironment&) = delete;

private:
    std::string m_name;
    std::optional<std::string> m_previous;
};

}  // namespace Vok::Test
