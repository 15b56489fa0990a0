#include "foundation/error_text.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <memory>
#include <string>

#include "foundation/debug_trace.h"

namespace {

struct Opaque {
    Opaque() = default;
    Opaque(const Opaque&) = delete;
    int a = 1;
};

struct Bits {
    unsigned flag : 3;
};

TEST(DebugTrace, DiscardsAnyArgumentsAndReturnsZero) {
    const Opaque opaque;
    const Bits bits{5};
    const std::unique_ptr<int> owned = std::make_unique<int>(3);
    EXPECT_EQ(DebugTrace("S: %s %d", "CDrvUdpClient::OnIssueBind", 7), 0);
    EXPECT_EQ(DebugTrace("E: %s %s %d", std::string("a"), CString("b"), opaque, owned, bits.flag), 0);
    EXPECT_EQ(DebugTrace("%s%s%s%s%n"), 0);  // placeholders without values
    EXPECT_EQ(DebugTrace(static_cast<const char*>(nullptr), 1.5, nullptr, L"wide"), 0);
    static_assert(DebugTrace("compile time") == 0);
    TraceLastError(5);
}

TEST(SystemErrorText, KnownCodesAndLineEnd) {
    const CString stripped = GetSystemErrorText(ENOENT, true);
    EXPECT_EQ(stripped, "No such file or directory");
    EXPECT_EQ(GetSystemErrorText(ENOENT, false), "No such file or directory\r\n");
    EXPECT_EQ(GetSystemErrorText(123456, true), "Unknown error");
    EXPECT_EQ(GetSystemErrorText(123456, false), "Unknown error");
}

TEST(SystemErrorText, ZeroReadsTheLastError) {
    errno = EACCES;
    EXPECT_EQ(GetSystemErrorText(0, true), "Permission denied");
}

TEST(MessageText, DetailAndResources) {
    EXPECT_EQ(FormatWithDetail("Open", nullptr), "Open");
    EXPECT_EQ(FormatWithDetail("Open", "file.txt"), "Open (file.txt)");
    EXPECT_EQ(FormatWithDetail("Open", ""), "Open ()");
    EXPECT_EQ(FormatWithDetail(nullptr, "x"), " (x)");
    EXPECT_TRUE(LoadResourceString(101).IsEmpty());
    EXPECT_EQ(GetDecimalSeparator(), '.');
}

TEST(ByteText, Kilobytes) {
    EXPECT_EQ(FormatKilobytes(1536, true), "1.5KB");
    EXPECT_EQ(FormatKilobytes(0, true), "0.0KB");
    EXPECT_EQ(FormatKilobytes(uint32_t{3} * 1024 * 1024 / 2, true), "1.5MB");
    EXPECT_EQ(FormatKilobytes(uint64_t{5} << 40, true), "5120.0GB");
    EXPECT_EQ(FormatKilobytes(1, false), "1KB");
    EXPECT_EQ(FormatKilobytes(0, false), "0KB");
    EXPECT_EQ(FormatKilobytes(1206 * 1024, false), "1,206KB");
    EXPECT_EQ(FormatKilobytes(1206 * 1024 + 1, false), "1,207KB");
    // Past a million kilobytes the number is still whole.
    EXPECT_EQ(FormatKilobytes(uint64_t{1234567} * 1024, false), "1,234,567KB");
    EXPECT_EQ(FormatKilobytes(uint64_t{999} * 1024, false), "999KB");
}

TEST(ByteText, ByteSizes) {
    EXPECT_EQ(FormatByteSize(1023.9), "1023 bytes");
    EXPECT_EQ(FormatByteSize(1024), "1.0 KB");
    EXPECT_EQ(FormatByteSize(1536), "1.5 KB");
    EXPECT_EQ(FormatByteSize(1073741824.0), "1.0 GB");
    EXPECT_EQ(FormatByteSize(1099511627776.0 * 2), "2048.0 GB");
    EXPECT_EQ(FormatByteSize(-1e30), "-2147483648 bytes");
    EXPECT_EQ(FormatByteSizeShort(1048576), "1024.00 KB");
    EXPECT_EQ(FormatByteSizeShort(1048577), "1.00 MB");
    EXPECT_EQ(FormatByteSizeShort(512), "512.00 B");
    EXPECT_EQ(FormatByteSizeShort(-5), "-5.00 B");
    EXPECT_EQ(FormatByteSizeShort(1024), "1.00 KB");
}

}  // namespace
