#include "platform/signal_safe_io.h"

#include <gtest/gtest.h>
#include <linux/filter.h>
#include <linux/seccomp.h>
#include <sys/mman.h>
#include <sys/prctl.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstddef>
#include <cstring>
#include <string>

#include "tests/support/peer_process.h"

namespace {

using namespace Vok::SignalSafe;

template <typename... Args>
std::string F(std::size_t size, const char* format, Args... args) {
    char out[64] = "junk";
    const std::size_t n = Format(out, size, format, args...);
    EXPECT_EQ(n, std::string(out).size());
    return out;
}

TEST(SignalSafeFormat, PrintfSubsetCutToTheBuffer) {
    EXPECT_EQ(F(64, "%d %i %u", -42, 7, 4000000000u), "-42 7 4000000000");
    EXPECT_EQ(F(64, "[%5d|%-5d|%05d|%-05d]", 42, 42, -42, 42), "[   42|42   |-0042|42   ]");
    EXPECT_EQ(F(64, "%08x %X %08lx", 0xabu, 255u, 0x1234abcdef01ul), "000000ab FF 1234abcdef01");
    EXPECT_EQ(F(64, "%llu %zu %lld", ULLONG_MAX, std::size_t{3}, LLONG_MIN),
              "18446744073709551615 3 -9223372036854775808");
    EXPECT_EQ(F(64, "%c%%|%-4s|%3s", 'a', "ab", "abcd"), "a%|ab  |abcd");
    EXPECT_EQ(F(64, "%p", reinterpret_cast<void*>(0x1f)), "1f");
    EXPECT_EQ(F(4, "%s", "abcdef"), "abc");
    EXPECT_EQ(F(1, "%d", 5), "");
}

TEST(SignalSafeMemory, UnreadableMemoryIsReportedNotTouched) {
    const long page = ::sysconf(_SC_PAGESIZE);
    char* base = static_cast<char*>(::mmap(nullptr, 2 * page, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0));
    ASSERT_NE(base, MAP_FAILED);
    ::mprotect(base + page, page, PROT_NONE);
    base[page - 1] = 'x';
    char out[2] = {};
    EXPECT_TRUE(SafeRead(reinterpret_cast<uintptr_t>(base + page - 1), out, 1));
    EXPECT_EQ(out[0], 'x');
    EXPECT_FALSE(SafeRead(reinterpret_cast<uintptr_t>(base + page - 1), out, 2));
    EXPECT_FALSE(SafeRead(0, out, 1));
    ::munmap(base, 2 * page);

    // Where a container's profile refuses the direct call, the copy goes through the pipe made
    // beforehand, and an unreadable byte still fails it.
    const auto throughThePipe = [] {
        sock_filter program[] = {
            BPF_STMT(BPF_LD | BPF_W | BPF_ABS, offsetof(seccomp_data, nr)),
            BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, __NR_process_vm_readv, 0, 1),
            BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ERRNO | EPERM),
            BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ALLOW),
        };
        const sock_fprog filter{4, program};
        if (::prctl(PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0) != 0 ||
            ::prctl(PR_SET_SECCOMP, SECCOMP_MODE_FILTER, &filter) != 0)
            return 10;
        PrepareSafeRead();
        const char text[] = "abc";
        char copy[sizeof text] = {};
        if (!SafeRead(reinterpret_cast<uintptr_t>(text), copy, sizeof copy)) return 11;
        if (std::memcmp(copy, text, sizeof text) != 0) return 12;
        return SafeRead(0, copy, 1) ? 13 : 0;
    };
    EXPECT_EQ(Vok::Test::InChild(throughThePipe), 0);

    char file[4096];
    FindMappedFile(reinterpret_cast<uintptr_t>(&F<int>), file, sizeof file);
    EXPECT_EQ(std::string(file).substr(std::string(file).rfind('/') + 1), "test_platform");
    FindMappedFile(reinterpret_cast<uintptr_t>(&out), file, sizeof file);
    EXPECT_STREQ(file, "");
}

}  // namespace
