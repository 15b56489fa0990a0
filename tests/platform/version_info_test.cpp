#include "platform/version_info.h"

#include <gtest/gtest.h>
#include <sys/utsname.h>

#include <cstring>
#include <regex>
#include <string>

#include "tests/support/file_helpers.h"

namespace {

TEST(WindowsVersion, CodesAndNames) {
    struct Row {
        DWORD platform;
        BYTE product;
        DWORD major, minor, build;
        int code;
        const char* name;
    } rows[] = {
        {0, 0, 0, 0, 0, 0, "Unknown Windows"},  // the zero record of a failed read
        {0, 0, 3, 10, 0, 310, "Windows 3.1"},
        {1, 0, 4, 90, 0, 490, "Windows ME"},
        {1, 0, 4, 3, 0, 0, "Unknown Windows"},
        {2, 1, 4, 0, 1381, 499, "Windows NT"},
        {2, 1, 5, 2, 3790, 520, "Windows XP 64-Bit"},
        {2, 3, 5, 2, 3790, 521, "Windows Server 2003"},
        {2, 2, 5, 2, 3790, 0, "Unknown Windows"},
        {2, 1, 6, 1, 7601, 610, "Windows 7"},
        {2, 3, 6, 1, 7601, 611, "Windows Server 2008 R2"},
        {2, 1, 10, 0, 21999, 1000, "Windows 10"},
        {2, 1, 10, 0, 22000, 1003, "Windows 11"},
        {2, 3, 10, 0, 17762, 1001, "Windows Server 2016"},
        {2, 3, 10, 0, 20347, 1002, "Windows Server 2019"},
        {2, 3, 10, 0, 20348, 1004, "Windows Server 2022"},
        {3, 1, 10, 0, 0, 0, "Unknown Windows"},
    };
    for (const Row& r : rows) {
        const int code = GetWindowsVersionCode(r.platform, r.product, r.major, r.minor, r.build);
        EXPECT_EQ(code, r.code) << r.platform << " " << r.major << "." << r.minor << " " << r.build;
        EXPECT_EQ(WindowsVersionCodeToName(code).Str(), r.name);
    }
    EXPECT_EQ(Windows10FeatureUpdateName(19042).Str(), "20H2");
    EXPECT_EQ(Windows10FeatureUpdateName(22631).Str(), "");
}

OSVERSIONINFOEXA Ex(DWORD major, DWORD minor, DWORD build, BYTE product, WORD spMajor) {
    OSVERSIONINFOEXA v{};
    v.dwPlatformId = VER_PLATFORM_WIN32_NT;
    v.dwMajorVersion = major;
    v.dwMinorVersion = minor;
    v.dwBuildNumber = build;
    v.wProductType = product;
    v.wServicePackMajor = spMajor;
    return v;
}

RTL_OSVERSIONINFOW Rtl(DWORD major, DWORD minor, DWORD build, const char* servicePack) {
    RTL_OSVERSIONINFOW v{};
    v.dwPlatformId = VER_PLATFORM_WIN32_NT;
    v.dwMajorVersion = major;
    v.dwMinorVersion = minor;
    v.dwBuildNumber = build;
    for (std::size_t i = 0; servicePack[i] != '\0'; ++i) v.szCSDVersion[i] = servicePack[i];
    return v;
}

TEST(WindowsVersion, Texts) {
    EXPECT_EQ(GetWindowsVersionTextEx(Ex(10, 0, 19044, 1, 0)).Str(), "Windows 10 (10.0 build 19044 (21H2))");
    EXPECT_EQ(GetWindowsVersionTextEx(Ex(10, 0, 22631, 1, 0)).Str(), "Windows 11 (10.0 build 22631)");
    EXPECT_EQ(GetWindowsVersionTextEx(Ex(6, 1, 7601, 3, 1)).Str(), "Windows Server 2008 R2 (6.1 SP 1.0)");
    // The wide record has no product type: a server counts as a workstation.
    EXPECT_EQ(GetWindowsVersionTextRtl(Rtl(10, 0, 20348, "")).Str(), "Windows 10 (10.0 build 20348)");
    EXPECT_EQ(GetWindowsVersionTextRtl(Rtl(6, 1, 7601, "Service Pack 1")).Str(), "Windows 7 (6.1 SP 1)");
    EXPECT_EQ(GetServicePackOrBuildTextRtl(Rtl(5, 1, 2600, "")).Str(), "SP 0");
    EXPECT_EQ(FormatVersionNumber(Ex(6, 3, 9600, 1, 0)).Str(), "6.3.9600");
    OSVERSIONINFOEXA windows98 = Ex(4, 10, 1998, 0, 0);
    windows98.dwPlatformId = VER_PLATFORM_WIN32_WINDOWS;
    EXPECT_EQ(GetNtMajorVersion(windows98), 0u);
    EXPECT_EQ(GetNtMajorVersion(Rtl(6, 2, 9200, "")), 6u);
}

TEST(WindowsVersion, TheRecordsDoNotExistHereAndPassForNoSystem) {
    OSVERSIONINFOEXA ex;
    std::memset(&ex, 0xAB, sizeof ex);
    GetVersionInfoEx(ex);
    EXPECT_EQ(GetWindowsVersionCode(ex.dwPlatformId, ex.wProductType, ex.dwMajorVersion,
                                    ex.dwMinorVersion, ex.dwBuildNumber), 0);
    RTL_OSVERSIONINFOW rtl;
    std::memset(&rtl, 0xAB, sizeof rtl);
    GetRtlVersionInfo(rtl);
    EXPECT_EQ(GetWindowsVersionTextRtl(rtl).Str(), "Unknown Windows (0.0 SP 0)");
    EXPECT_EQ(GetInternetExplorerVersion(), 0);
}

TEST(WindowsVersion, TheRunningSystemIsNamedWithItsKernelRelease) {
    utsname uts{};
    ASSERT_EQ(::uname(&uts), 0);
    const std::string text = GetWindowsVersionText().Str();
    EXPECT_TRUE(std::regex_match(text, std::regex(R"(.+ \(\d+\.\d+ \S+\))"))) << text;
    EXPECT_NE(text.find(std::string(uts.release) + ")"), std::string::npos) << text;
    // The system's own name, without the quotes that os-release may put round it.
    std::smatch pretty;
    const std::string osRelease = Vok::Test::ReadTextFile("/etc/os-release").value_or("");
    if (std::regex_search(osRelease, pretty, std::regex(R"((^|\n)PRETTY_NAME=(["']?)([^\n]*)\2\n)"))) {
        EXPECT_EQ(text.rfind(pretty[3].str() + " (", 0), 0u) << text;
    }
}

TEST(ModuleVersionInfo, OnlyTheRunningProgramHasAVersionRecord) {
    CModuleVersionInfo self("/proc/self/exe");
    WORD file[4];
    WORD product[4];
    self.GetFileVersion(file);
    self.GetProductVersion(product);
    EXPECT_EQ(self.Load(), 1);
    EXPECT_NE(file[0] + file[1] + file[2] + file[3], 0);
    EXPECT_EQ(std::memcmp(file, product, sizeof file), 0);
    VS_FIXEDFILEINFO fixed{};
    ASSERT_NE(self.GetFixedFileInfo(fixed), 0);
    EXPECT_EQ(fixed.dwSignature, 0xFEEF04BDu);
    EXPECT_EQ(fixed.dwFileVersionMS, MAKELONG(file[1], file[0]));
    char text[CModuleVersionInfo::kTextSize];
    ASSERT_TRUE(self.GetFileDescription(text, sizeof text));
    const std::string description = text;
    ASSERT_GT(description.size(), 8u);
    // Into 10 bytes: at most 8 characters.
    ASSERT_TRUE(self.GetFileDescription(text, 10));
    EXPECT_EQ(std::string(text), description.substr(0, 8));
    EXPECT_TRUE(self.QueryStringValue("CompanyName", text, sizeof text));
    EXPECT_FALSE(self.QueryStringValue("NoSuchValue", text, sizeof text));
    EXPECT_FALSE(self.GetCompanyName(nullptr, 10));

    Vok::Test::CTempFolder tmp;
    const std::string otherFile = tmp / "other";
    Vok::Test::WriteTextFile(otherFile, "x");
    for (const char* path : {otherFile.c_str(), "", static_cast<const char*>(nullptr)}) {
        CModuleVersionInfo other(path);
        other.GetFileVersion(file);
        EXPECT_EQ(file[0] + file[1] + file[2] + file[3], 0);
        EXPECT_EQ(other.Load(), 0);
        EXPECT_EQ(other.GetFixedFileInfo(fixed), 0);
        EXPECT_FALSE(other.QueryStringValue("CompanyName", text, sizeof text));
        ASSERT_TRUE(other.GetProductName(text, sizeof text));
        EXPECT_STREQ(text, "");
    }
}

}  // namespace
