#include "platform/version_info.h"

#include <sys/stat.h>
#include <sys/utsname.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <string>

#include "compat/file_names.h"
#include "platform/version_data.h"

namespace Vok {

struct sVersionString {
    const char* name;
    const char* value;
};

// The program's version record: the fixed numbers, one translation and its string values.
struct sVersionBlock {
    VS_FIXEDFILEINFO fixed;
    WORD language;
    WORD codePage;
    sVersionString strings[5];
};

namespace {

constexpr DWORD kVersionMS = MAKELONG(VOK_VERSION_MINOR, VOK_VERSION_MAJOR);
constexpr DWORD kVersionLS = MAKELONG(VOK_VERSION_TWEAK, VOK_VERSION_PATCH);

constexpr sVersionBlock kProgramVersion = {
    {0xFEEF04BD, 0x00010000, kVersionMS, kVersionLS, kVersionMS, kVersionLS, 0x3F, 0,
     0 /* no VOS_* value names this system */, 1 /* VFT_APP */, 0, 0, 0},
    LANG_ID_ENGLISH_US,
    1252,
    {{"CompanyName", VOK_COMPANY_NAME},
     {"FileDescription", VOK_FILE_DESCRIPTION},
     {"FileVersion", VOK_VERSION_TEXT},
     {"ProductName", VOK_PRODUCT_NAME},
     {"ProductVersion", VOK_VERSION_TEXT}},
};

// Async-signal-safe bounded copy: at most size - 1 characters and a terminator.
void CopyText(char* out, std::size_t size, const char* text) {
    if (size == 0) return;
    std::size_t n = 0;
    for (; text[n] != '\0' && n + 1 < size; ++n) out[n] = text[n];
    out[n] = '\0';
}

bool IsRunningProgram(const char* path) {
    struct stat file {};
    struct stat self {};
    return ::stat(path, &file) == 0 && ::stat("/proc/self/exe", &self) == 0 &&
           file.st_dev == self.st_dev && file.st_ino == self.st_ino;
}

bool CopyValue(const char* value, char* buffer, int size) {
    if (buffer == nullptr || size < 1) return false;
    std::memset(buffer, 0, static_cast<std::size_t>(size));
    // The class library's bounded copy is given size - 1, so one byte more stays free.
    CopyText(buffer, static_cast<std::size_t>(size - 1), value);
    return true;
}

}  // namespace
}  // namespace Vok

CModuleVersionInfo::CModuleVersionInfo(const char* moduleFileName) {
    if (moduleFileName != nullptr) Vok::CopyText(m_szModuleFileName, kTextSize - 1, moduleFileName);
    Load();
}

void CModuleVersionInfo::Clear() {
    m_pVersionBlock = nullptr;
    for (int i = 0; i < 4; ++i) m_fileVersion[i] = m_productVersion[i] = 0;
    m_dwFileFlags = m_dwFileOS = m_dwFileType = m_dwFileSubtype = 0;
    m_szCompanyName[0] = m_szProductName[0] = m_szFileDescription[0] = '\0';
}

int CModuleVersionInfo::Load() {
    Clear();
    if (m_szModuleFileName[0] == '\0' || !Vok::IsRunningProgram(m_szModuleFileName)) return 0;
    m_pVersionBlock = &Vok::kProgramVersion;
    const VS_FIXEDFILEINFO& f = m_pVersionBlock->fixed;
    const WORD file[4] = {HIWORD(f.dwFileVersionMS), LOWORD(f.dwFileVersionMS),
                          HIWORD(f.dwFileVersionLS), LOWORD(f.dwFileVersionLS)};
    const WORD product[4] = {HIWORD(f.dwProductVersionMS), LOWORD(f.dwProductVersionMS),
                             HIWORD(f.dwProductVersionLS), LOWORD(f.dwProductVersionLS)};
    for (int i = 0; i < 4; ++i) {
        m_fileVersion[i] = file[i];
        m_productVersion[i] = product[i];
    }
    m_dwFileFlags = f.dwFileFlags;
    m_dwFileOS = f.dwFileOS;
    m_dwFileType = f.dwFileType;
    m_dwFileSubtype = f.dwFileSubtype;
    const bool texts = QueryStringValue("CompanyName", m_szCompanyName, kTextSize) &&
                       QueryStringValue("FileDescription", m_szFileDescription, kTextSize) &&
                       QueryStringValue("ProductName", m_szProductName, kTextSize);
    return texts ? 1 : 0;
}

int CModuleVersionInfo::GetFileVersion(WORD version[4]) const {
    for (int i = 0; i < 4; ++i) version[i] = m_fileVersion[i];
    return 1;
}

int CModuleVersionInfo::GetProductVersion(WORD version[4]) const {
    for (int i = 0; i < 4; ++i) version[i] = m_productVersion[i];
    return 1;
}

int CModuleVersionInfo::GetFileFlags(DWORD& flags) const {
    flags = m_dwFileFlags;
    return 1;
}

int CModuleVersionInfo::GetFileOS(DWORD& os) const {
    os = m_dwFileOS;
    return 1;
}

int CModuleVersionInfo::GetFileType(DWORD& type) const {
    type = m_dwFileType;
    return 1;
}

int CModuleVersionInfo::GetFileSubtype(DWORD& subtype) const {
    subtype = m_dwFileSubtype;
    return 1;
}

bool CModuleVersionInfo::GetCompanyName(char* buffer, int size) const {
    return Vok::CopyValue(m_szCompanyName, buffer, size);
}

bool CModuleVersionInfo::GetFileDescription(char* buffer, int size) const {
    return Vok::CopyValue(m_szFileDescription, buffer, size);
}

bool CModuleVersionInfo::GetProductName(char* buffer, int size) const {
    return Vok::CopyValue(m_szProductName, buffer, size);
}

int CModuleVersionInfo::GetFixedFileInfo(VS_FIXEDFILEINFO& info) const {
    if (m_pVersionBlock == nullptr) return 0;
    info = m_pVersionBlock->fixed;
    return 1;
}

bool CModuleVersionInfo::QueryStringValue(const char* name, char* out, int size) const {
    if (m_pVersionBlock == nullptr || out == nullptr || name == nullptr || size < 1) return false;
    out[0] = '\0';
    for (const Vok::sVersionString& s : m_pVersionBlock->strings) {
        if (std::strcmp(s.name, name) != 0) continue;
        Vok::CopyText(out, static_cast<std::size_t>(size < kTextSize ? size : kTextSize), s.value);
        return true;
    }
    return false;
}

void GetVersionInfoEx(OSVERSIONINFOEXA& info) {
    info = OSVERSIONINFOEXA{};
}

void GetRtlVersionInfo(RTL_OSVERSIONINFOW& info) {
    info = RTL_OSVERSIONINFOW{};
}

int GetWindowsVersionCode(DWORD platformId, BYTE productType, DWORD major, DWORD minor,
                          DWORD build) {
    // No system has major version 0: that is the zero record of a read that failed, and must not
    // pass for Windows 3.1.
    if (major == 0) return 0;
    const bool workstation = productType == VER_NT_WORKSTATION;
    switch (platformId) {
    case VER_PLATFORM_WIN32s: return 310;
    case VER_PLATFORM_WIN32_WINDOWS:
        if (major != 4) return 0;
        return minor == 0 ? 400 : minor == 10 ? 410 : minor == 90 ? 490 : 0;
    case VER_PLATFORM_WIN32_NT:
        if (major >= 10) {
            if (workstation) return build < 22000 ? 1000 : 1003;
            return build < 17763 ? 1001 : build < 20348 ? 1002 : 1004;
        }
        if (major >= 6) return static_cast<int>((major * 10 + minor) * 10) + (workstation ? 0 : 1);
        if (major == 5) {
            if (minor == 0) return 500;
            if (minor == 1) return 510;
            if (minor == 2) return workstation ? 520 : productType == VER_NT_SERVER ? 521 : 0;
            return 0;
        }
        return 499;
    default: return 0;
    }
}

CString WindowsVersionCodeToName(int code) {
    static constexpr struct {
        int code;
        const char* name;
    } kNames[] = {
        {310, "Windows 3.1"},          {400, "Windows 95"},
        {410, "Windows 98"},           {490, "Windows ME"},
        {499, "Windows NT"},           {500, "Windows 2000"},
        {510, "Windows XP"},           {520, "Windows XP 64-Bit"},
        {521, "Windows Server 2003"},  {522, "Windows Server 2003 R2"},
        {600, "Windows Vista"},        {601, "Windows Server 2008"},
        {610, "Windows 7"},            {611, "Windows Server 2008 R2"},
        {620, "Windows 8"},            {621, "Windows Server 2012"},
        {630, "Windows 8.1"},          {631, "Windows Server 2012 R2"},
        {1000, "Windows 10"},          {1001, "Windows Server 2016"},
        {1002, "Windows Server 2019"}, {1003, "Windows 11"},
        {1004, "Windows Server 2022"},
    };
    for (const auto& n : kNames)
        if (n.code == code) return n.name;
    return "Unknown Windows";
}

CString Windows10FeatureUpdateName(DWORD build) {
    static constexpr struct {
        DWORD build;
        const char* name;
    } kUpdates[] = {
        {10240, "1507"}, {10586, "1511"}, {14393, "1607"}, {15063, "1703"}, {16299, "1709"},
        {17134, "1803"}, {17763, "1809"}, {18362, "1903"}, {18363, "1909"}, {19041, "2004"},
        {19042, "20H2"}, {19043, "21H1"}, {19044, "21H2"},
    };
    for (const auto& u : kUpdates)
        if (u.build == build) return u.name;
    return "";
}

namespace {

template <typename Record>
CString VersionNumber(const Record& info) {
    CString text;
    text.Format("%u.%u.%u", info.dwMajorVersion, info.dwMinorVersion, info.dwBuildNumber);
    return text;
}

CString BuildText(DWORD build) {
    CString text;
    text.Format("build %d", static_cast<int>(build));
    const CString update = Windows10FeatureUpdateName(build);
    if (!update.IsEmpty()) text.AppendFormat(" (%s)", update);
    return text;
}

CString VersionText(int code, DWORD major, DWORD minor, const CString& detail) {
    CString text;
    text.Format("%s (%d.%d %s)", WindowsVersionCodeToName(code), static_cast<int>(major),
                static_cast<int>(minor), detail);
    return text;
}

// The quoted or plain value of KEY= in an os-release file; empty when absent.
std::string OsReleaseValue(const char* path, const std::string& key) {
    std::ifstream in(path);
    std::string line;
    while (std::getline(in, line)) {
        if (line.compare(0, key.size() + 1, key + "=") != 0) continue;
        std::string value = line.substr(key.size() + 1);
        if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
            value.back() == value.front())
            value = value.substr(1, value.size() - 2);
        return value;
    }
    return {};
}

}  // namespace

CString FormatVersionNumber(const OSVERSIONINFOEXA& info) {
    return VersionNumber(info);
}

CString FormatVersionNumber(const RTL_OSVERSIONINFOW& info) {
    return VersionNumber(info);
}

DWORD GetNtMajorVersion(const OSVERSIONINFOEXA& info) {
    return info.dwPlatformId == VER_PLATFORM_WIN32_NT ? info.dwMajorVersion : 0;
}

DWORD GetNtMajorVersion(const RTL_OSVERSIONINFOW& info) {
    return info.dwPlatformId == VER_PLATFORM_WIN32_NT ? info.dwMajorVersion : 0;
}

CString GetServicePackOrBuildText(const OSVERSIONINFOEXA& info) {
    if (info.dwMajorVersion >= 10) return BuildText(info.dwBuildNumber);
    CString text;
    text.Format("SP %d.%d", info.wServicePackMajor, info.wServicePackMinor);
    return text;
}

CString GetServicePackOrBuildTextRtl(const RTL_OSVERSIONINFOW& info) {
    if (info.dwMajorVersion >= 10) return BuildText(info.dwBuildNumber);
    int servicePack = 0;
    bool inNumber = false;
    for (const uint16_t unit : info.szCSDVersion) {
        if (unit == 0) break;
        const bool digit = unit >= '0' && unit <= '9';
        if (digit) servicePack = (inNumber ? servicePack * 10 : 0) + (unit - '0');
        inNumber = digit;
    }
    CString text;
    text.Format("SP %d", servicePack);
    return text;
}

CString GetWindowsVersionTextEx(const OSVERSIONINFOEXA& info) {
    const int code = GetWindowsVersionCode(info.dwPlatformId, info.wProductType, info.dwMajorVersion,
                                           info.dwMinorVersion, info.dwBuildNumber);
    return VersionText(code, info.dwMajorVersion, info.dwMinorVersion, GetServicePackOrBuildText(info));
}

CString GetWindowsVersionTextRtl(const RTL_OSVERSIONINFOW& info) {
    const int code = GetWindowsVersionCode(info.dwPlatformId, VER_NT_WORKSTATION, info.dwMajorVersion,
                                           info.dwMinorVersion, info.dwBuildNumber);
    return VersionText(code, info.dwMajorVersion, info.dwMinorVersion,
                       GetServicePackOrBuildTextRtl(info));
}

CString GetWindowsVersionText() {
    utsname uts{};
    ::uname(&uts);
    std::string name = OsReleaseValue("/etc/os-release", "PRETTY_NAME");
    if (name.empty()) name = OsReleaseValue("/usr/lib/os-release", "PRETTY_NAME");
    if (name.empty()) name = uts.sysname;
    int major = 0;
    int minor = 0;
    std::sscanf(uts.release, "%d.%d", &major, &minor);
    CString text;
    // os-release is UTF-8; the text is in the ANSI code page.
    text.Format("%s (%d.%d %s)", Vok::FileNames::FileSystemToAnsi(name), major, minor, uts.release);
    return text;
}

int GetInternetExplorerVersion() {
    return 0;
}
