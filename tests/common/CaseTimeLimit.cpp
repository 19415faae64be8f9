#include "CaseTimeLimit.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <execinfo.h>
#include <mutex>
#include <pthread.h>
#include <string>
#include <thread>
#include <unistd.h>

#if defined(__SANITIZE_ADDRESS__)
#define QUAVDESK_HAS_SANITIZER_STACKS 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define QUAVDESK_HAS_SANITIZER_STACKS 1
#endif
#endif
#ifdef QUAVDESK_HAS_SANITIZER_STACKS
#include <sanitizer/common_interface_defs.h>
#endif

namespace TestSupport {
namespace {

// The signal the watchdog sends the main thread to have it print its stack.
constexpr int kStackSignal = SIGUSR2;

pthread_t g_mainThread;

void printStackAndExit(int)
{
    static const char header[] = "Stack of the main thread:\n";
    (void)!::write(STDERR_FILENO, header, sizeof header - 1);
#ifdef QUAVDESK_HAS_SANITIZER_STACKS
    __sanitizer_print_stack_trace();
#else
    void *frames[64];
    const int n = ::backtrace(frames, 64);
    ::backtrace_symbols_fd(frames, n, STDERR_FILENO);
#endif
    std::_Exit(1);
}

// Shared with a watcher thread that outlives main(), so never freed.
struct Watch {
    std::chrono::seconds limit{0};
    std::mutex mutex;
    std::condition_variable wake;
    std::string name;
    std::chrono::steady_clock::time_point deadline;
    bool running = false;
};

[[noreturn]] void watch(Watch &w)
{
    std::unique_lock lock(w.mutex);
    for (;;) {
        if (!w.running) {
            w.wake.wait(lock);
            continue;
        }
        const auto deadline = w.deadline;
        if (w.wake.wait_until(lock, deadline) == std::cv_status::no_timeout || !w.running || w.deadline != deadline)
            continue;
        std::fprintf(stderr, "\n%s is still running after %lld s: stopped as stuck.\n", w.name.c_str(),
                     static_cast<long long>(w.limit.count()));
        std::fflush(stderr);
        pthread_kill(g_mainThread, kStackSignal);
        // The main thread may have the signal blocked; end regardless.
        lock.unlock();
        std::this_thread::sleep_for(std::chrono::seconds(10));
        std::_Exit(1);
    }
}

class CaseTimeLimit final : public ::testing::EmptyTestEventListener {
public:
    explicit CaseTimeLimit(Watch &watch) : m_watch(watch) {}

    void OnTestStart(const ::testing::TestInfo &info) override
    {
        std::lock_guard lock(m_watch.mutex);
        m_watch.name = std::string(info.test_suite_name()) + '.' + info.name();
        m_watch.deadline = std::chrono::steady_clock::now() + m_watch.limit;
        m_watch.running = true;
        m_watch.wake.notify_all();
    }

    void OnTestEnd(const ::testing::TestInfo &) override
    {
        std::lock_guard lock(m_watch.mutex);
        m_watch.running = false;
        m_watch.wake.notify_all();
    }

private:
    Watch &m_watch;
};

} // namespace

void installCaseTimeLimit()
{
    long seconds = 90;
    if (const char *text = std::getenv("QUAVDESK_TEST_CASE_LIMIT_S"); text && *text)
        seconds = std::strtol(text, nullptr, 10);
    if (seconds <= 0)
        return;
    seconds *= TestSupport::timeScale();
    g_mainThread = pthread_self();
    struct sigaction action {};
    action.sa_handler = printStackAndExit;
    sigemptyset(&action.sa_mask);
    sigaction(kStackSignal, &action, nullptr);
    static Watch *const w = new Watch;
    w->limit = std::chrono::seconds(seconds);
    std::thread([] { watch(*w); }).detach();
    // Owned by Google Test's listener list from here on.
    ::testing::UnitTest::GetInstance()->listeners().Append(new CaseTimeLimit(*w));
}

} // namespace TestSupport
