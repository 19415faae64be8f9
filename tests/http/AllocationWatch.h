#pragma once

// The heap the process holds, watched while a test runs: a thread of its own
// samples the bytes allocated and keeps the highest value, so that a test can
// show that whatever a peer sends, the memory a request holds stays bounded.

#include <QtGlobal>

#include <atomic>
#include <thread>

#if defined(__has_feature)
#if __has_feature(address_sanitizer)
#define QUAVDESK_TEST_ASAN 1
#endif
#endif
#if defined(__SANITIZE_ADDRESS__)
#define QUAVDESK_TEST_ASAN 1
#endif

#ifdef QUAVDESK_TEST_ASAN
#include <cstddef>
// The sanitizer's own count (its header is not installed with every
// compiler).
extern "C" size_t __sanitizer_get_current_allocated_bytes();
#else
#include <malloc.h>
#endif

namespace HttpTest {

// Bytes allocated and not yet freed (freed bytes a sanitizer still keeps
// aside do not count).
inline qint64 allocatedBytes()
{
#ifdef QUAVDESK_TEST_ASAN
    return qint64(__sanitizer_get_current_allocated_bytes());
#else
    const struct mallinfo2 info = mallinfo2();
    return qint64(info.uordblks + info.hblkhd);
#endif
}

class AllocationWatch {
public:
    AllocationWatch() : m_baseline(allocatedBytes()), m_peak(m_baseline)
    {
        m_thread = std::thread([this] {
            while (!m_stop.load()) {
                const qint64 now = allocatedBytes();
                qint64 peak = m_peak.load();
                while (now > peak && !m_peak.compare_exchange_weak(peak, now)) {
                }
                std::this_thread::sleep_for(std::chrono::microseconds(500));
            }
        });
    }
    ~AllocationWatch()
    {
        m_stop.store(true);
        m_thread.join();
    }
    AllocationWatch(const AllocationWatch &) = delete;
    AllocationWatch &operator=(const AllocationWatch &) = delete;

    // The highest growth over the baseline seen so far.
    qint64 peakGrowth() const { return m_peak.load() - m_baseline; }

private:
    qint64 m_baseline;
    std::atomic<qint64> m_peak;
    std::atomic_bool m_stop{false};
    std::thread m_thread;
};

} // namespace HttpTest
