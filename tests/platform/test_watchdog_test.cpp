// The watchdog that every test executable carries: this binary is run again as a child on a test that
// never ends, and must be ended by it with a failure within its deadline.
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <string>

#include "tests/support/peer_process.h"

namespace {

using Vok::Test::CPeerProcess;
using Vok::Test::CStopwatch;
using Vok::Test::Milliseconds;

// Run only as the child of the test below.
TEST(TestWatchdog, DISABLED_NeverEnds) {
    for (;;) ::pause();
}

TEST(TestWatchdog, EndsAHungTestBinaryWithAFailure) {
    ASSERT_EQ(::setenv("VOK_TEST_WATCHDOG_SECONDS", "1", 1), 0);
    const CStopwatch watch;
    CPeerProcess child({"/proc/self/exe", "--gtest_also_run_disabled_tests", "--gtest_filter=TestWatchdog.DISABLED_NeverEnds"});
    ::unsetenv("VOK_TEST_WATCHDOG_SECONDS");
    const auto line = child.WaitForLine("[  FAILED  ] TestWatchdog.DISABLED_NeverEnds", Milliseconds(10000));
    ASSERT_TRUE(line.has_value());
    EXPECT_EQ(*line, "[  FAILED  ] TestWatchdog.DISABLED_NeverEnds: the watchdog ended the test binary after 1 s");
    EXPECT_EQ(child.Wait(Milliseconds(5000)), 1);
    EXPECT_LT(watch.Elapsed(), Milliseconds(8000));
}

}  // namespace
