// Makes futex_waitv answer an error in this process and every process it starts from now on, as a
// kernel before 5.16 (ENOSYS) or a container's profile (EPERM) does, so that the suites can run the
// other road of the command watch on any kernel.
#pragma once

namespace Vok::Test {

// When VOK_TEST_DENY_FUTEX_WAITV is ENOSYS or EPERM, installs the filter for every thread of the
// process; ends the process with a message when it is set to anything else or the filter is refused,
// so that a run meant for that road never passes on the other.
void DenyFutexWaitvWhenAsked();

}  // namespace Vok::Test
