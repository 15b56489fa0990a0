// Version data: the version record of a module file, and the name and version of the operating
// system. Only the running program carries a version record here (built in from the project
// version); the Windows version records and the registry do not exist, and their readers give
// the zero record and code 0.
#pragma once

#include <cstddef>

#include "compat/cstring.h"
#include "compat/windows_types.h"

// The fixed part of a version record.
struct VS_FIXEDFILEINFO {
    DWORD dwSignature;
    DWORD dwStrucVersion;
    DWORD dwFileVersionMS;
    DWORD dwFileVersionLS;
    DWORD dwProductVersionMS;
    DWORD dwProductVersionLS;
    DWORD dwFileFlagsMask;
    DWORD dwFileFlags;
    DWORD dwFileOS;
    DWORD dwFileType;
    DWORD dwFileSubtype;
    DWORD dwFileDateMS;
    DWORD dwFileDateLS;
};
static_assert(sizeof(VS_FIXEDFILEINFO) == 52);

constexpr DWORD VER_PLATFORM_WIN32s = 0;
constexpr DWORD VER_PLATFORM_WIN32_WINDOWS = 1;
constexpr DWORD VER_PLATFORM_WIN32_NT = 2;
constexpr BYTE VER_NT_WORKSTATION = 1;
constexpr BYTE VER_NT_DOMAIN_CONTROLLER = 2;
constexpr BYTE VER_NT_SERVER = 3;

// The extended version record (156 bytes).
struct OSVERSIONINFOEXA {
    DWORD dwOSVersionInfoSize;
    DWORD dwMajorVersion;
    DWORD dwMinorVersion;
    DWORD dwBuildNumber;
    DWORD dwPlatformId;
    char szCSDVersion[128];
    WORD wServicePackMajor;
    WORD wServicePackMinor;
    WORD wSuiteMask;
    BYTE wProductType;
    BYTE wReserved;
};
static_assert(sizeof(OSVERSIONINFOEXA) == 156);
static_assert(offsetof(OSVERSIONINFOEXA, wServicePackMajor) == 148);

// The basic wide version record (276 bytes): no service-pack numbers, no product type.
struct RTL_OSVERSIONINFOW {
    DWORD dwOSVersionInfoSize;
    DWORD dwMajorVersion;
    DWORD dwMinorVersion;
    DWORD dwBuildNumber;
    DWORD dwPlatformId;
    uint16_t szCSDVersion[128];  // UTF-16
};
static_assert(sizeof(RTL_OSVERSIONINFOW) == 276);

namespace Vok {
struct sVersionBlock;
}

class CModuleVersionInfo {
public:
    static constexpr int kTextSize = 520;

    // Reads the version record of the module file at once; a null or empty path reads nothing.
    // Uses no heap and only async-signal-safe calls, so the crash report may use it.
    explicit CModuleVersionInfo(const char* moduleFileName);

    // 1 when the fixed numbers and the texts were read. A file has a version record exactly when
    // it is the running program's own file (the same file, by device and inode).
    int Load();

    int GetFileVersion(WORD version[4]) const;
    int GetProductVersion(WORD version[4]) const;
    int GetFileFlags(DWORD& flags) const;
    int GetFileOS(DWORD& os) const;
    int GetFileType(DWORD& type) const;
    int GetFileSubtype(DWORD& subtype) const;

    // False for a null buffer or a size below 1; else the buffer is zero-filled and receives at
    // most size - 2 characters of the value.
    bool GetCompanyName(char* buffer, int size) const;
    bool GetFileDescription(char* buffer, int size) const;
    bool GetProductName(char* buffer, int size) const;

    // Non-zero when the record was read and copied.
    int GetFixedFileInfo(VS_FIXEDFILEINFO& info) const;
    // The named string value ("CompanyName", "ProductName", ...) of the record's first
    // translation, at most min(size - 1, 519) characters. False when there is no record, the
    // output or the name is null, or the record has no such value.
    bool QueryStringValue(const char* name, char* out, int size) const;

private:
    void Clear();

    const Vok::sVersionBlock* m_pVersionBlock = nullptr;  // built into the program; not owned
    WORD m_fileVersion[4] = {};
    WORD m_productVersion[4] = {};
    DWORD m_dwFileFlags = 0;
    DWORD m_dwFileOS = 0;
    DWORD m_dwFileType = 0;
    DWORD m_dwFileSubtype = 0;
    char m_szModuleFileName[kTextSize] = {};
    char m_szCompanyName[kTextSize] = {};
    char m_szProductName[kTextSize] = {};
    char m_szFileDescription[kTextSize] = {};
};

// The Windows version records do not exist here: both give the zero record.
void GetVersionInfoEx(OSVERSIONINFOEXA& info);
void GetRtlVersionInfo(RTL_OSVERSIONINFOW& info);

// The generation code of a Windows version (610 for Windows 7, 1000 for Windows 10, ...); 0 for
// a record that names no known system, the zero record of a failed read included.
int GetWindowsVersionCode(DWORD platformId, BYTE productType, DWORD major, DWORD minor,
                          DWORD build);
// "Windows 7" ...; "Unknown Windows" for any other code.
CString WindowsVersionCodeToName(int code);
// "21H2" ... for the Windows 10 builds that have one; "" otherwise.
CString Windows10FeatureUpdateName(DWORD build);

// "major.minor.build".
CString FormatVersionNumber(const OSVERSIONINFOEXA& info);
CString FormatVersionNumber(const RTL_OSVERSIONINFOW& info);
// The major version of an NT record, else 0.
DWORD GetNtMajorVersion(const OSVERSIONINFOEXA& info);
DWORD GetNtMajorVersion(const RTL_OSVERSIONINFOW& info);

// "SP 3.0" below major version 10, else "build 19044 (21H2)". The wide record has the service
// pack only as text: its last number counts ("Service Pack 3" gives "SP 3", none gives "SP 0").
CString GetServicePackOrBuildText(const OSVERSIONINFOEXA& info);
CString GetServicePackOrBuildTextRtl(const RTL_OSVERSIONINFOW& info);
// "Windows 10 (10.0 build 19044 (21H2))". The wide record has no product type and counts as a
// workstation.
CString GetWindowsVersionTextEx(const OSVERSIONINFOEXA& info);
CString GetWindowsVersionTextRtl(const RTL_OSVERSIONINFOW& info);

// The system this runs on, in the same layout: the distribution's name (PRETTY_NAME of
// os-release, else the kernel's name), the kernel's major and minor version, and its release,
// as "Debian GNU/Linux 12 (bookworm) (6.1 6.1.0-18-amd64)".
CString GetWindowsVersionText();

// There is no registry here: 0, as for a system without the browser.
int GetInternetExplorerVersion();
