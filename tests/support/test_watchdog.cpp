// Linked into every test executable: ends the whole binary with a failure when one test runs longer
// than its deadline, so that a lock that never comes back shows at once as a named failure instead
// of a hang until the runner's own time limit. VOK_TEST_WATCHDOG_SECONDS sets the deadline (30 s).
// It also denies futex_waitv to the binary and what it starts when VOK_TEST_DENY_FUTEX_WAITV asks.
#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <string>
#include <thread>

#include "tests/support/deny_futex_waitv.h"

namespace {

using Clock = std::chrono::steady_clock;

std::chrono::seconds WatchdogLimit() {
    const char* text = std::getenv("VOK_TEST_WATCHDOG_SECONDS");
    const long seconds = text != nullptr ? std::strtol(text, nullptr, 10) : 0;
    return std::chrono::seconds(seconds > 0 ? seconds : 30);
}

class CTestWatchdog : public ::testing::EmptyTestEventListener {
public:
    CTestWatchdog() : m_limit(WatchdogLimit()), m_thread([this] { Watch(); }) {}
    ~CTestWatchdog() override {
        {
            const std::lock_guard<std::mutex> lock(m_mutex);
            m_stop = true;
        }
        m_changed.notify_all();
        m_thread.join();
    }

    void OnTestStart(const ::testing::TestInfo& test) override {
        {
            const std::lock_guard<std::mutex> lock(m_mutex);
            m_test = std::string(test.test_suite_name()) + "." + test.name();
            m_deadline = Clock::now() + m_limit;
            m_armed = true;
        }
        m_changed.notify_all();
    }

    void OnTestEnd(const ::testing::TestInfo&) override {
        const std::lock_guard<std::mutex> lock(m_mutex);
        m_armed = false;
    }

private:
    void Watch() {
        std::unique_lock<std::mutex> lock(m_mutex);
        while (!m_stop) {
            if (!m_armed) {
                m_changed.wait(lock);
                continue;
            }
            if (Clock::now() < m_deadline) {
                m_changed.wait_until(lock, m_deadline);
                continue;
            }
            // Where GoogleTest writes its own results.
            std::fprintf(stdout, "[  FAILED  ] %s: the watchdog ended the test binary after %lld s\n", m_test.c_str(),
                         static_cast<long long>(m_limit.count()));
            std::fflush(stdout);
            std::_Exit(1);
        }
    }

    const std::chrono::seconds m_limit;
    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::string m_test;
    Clock::time_point m_deadline{};
    bool m_armed = false;
    bool m_stop = false;
    std::thread m_thread;
};

// The listener list owns and deletes what it is given.
const bool g_installed = [] {
    Vok::Test::DenyFutexWaitvWhenAsked();
    ::testing::UnitTest::GetInstance()->listeners().Append(new CTestWatchdog);
    return true;
}();

}  // namespace
