#include "tests/support/deny_futex_waitv.h"

#include <linux/audit.h>
#include <linux/filter.h>
#include <linux/seccomp.h>
#include <sys/prctl.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cerrno>
#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace Vok::Test {

namespace {

#if defined(__x86_64__)
constexpr unsigned THIS_ARCH = AUDIT_ARCH_X86_64;
#elif defined(__aarch64__)
constexpr unsigned THIS_ARCH = AUDIT_ARCH_AARCH64;
#else
#error "no audit arch for this machine"
#endif

[[noreturn]] void Refuse(const char* why) {
    std::fprintf(stderr, "VOK_TEST_DENY_FUTEX_WAITV: %s\n", why);
    std::exit(2);
}

}  // namespace

void DenyFutexWaitvWhenAsked() {
    const char* asked = std::getenv("VOK_TEST_DENY_FUTEX_WAITV");
    if (asked == nullptr || *asked == '\0') return;
    const int error = std::strcmp(asked, "ENOSYS") == 0 ? ENOSYS : std::strcmp(asked, "EPERM") == 0 ? EPERM : 0;
    if (error == 0) Refuse("ENOSYS or EPERM expected");
    sock_filter program[] = {
        BPF_STMT(BPF_LD | BPF_W | BPF_ABS, offsetof(seccomp_data, arch)),
        // A call of another ABI would not be what the numbers below name.
        BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, THIS_ARCH, 1, 0),
        BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_KILL_PROCESS),
        BPF_STMT(BPF_LD | BPF_W | BPF_ABS, offsetof(seccomp_data, nr)),
        BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, __NR_futex_waitv, 0, 1),
        BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ERRNO | static_cast<unsigned>(error)),
        BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ALLOW),
    };
    const sock_fprog filter{static_cast<unsigned short>(sizeof program / sizeof program[0]), program};
    if (::prctl(PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0) != 0) Refuse(std::strerror(errno));
    // Every thread, whichever started before this.
    if (::syscall(SYS_seccomp, SECCOMP_SET_MODE_FILTER, SECCOMP_FILTER_FLAG_TSYNC, &filter) != 0)
        Refuse(std::strerror(errno));
}

}  // namespace Vok::Test
