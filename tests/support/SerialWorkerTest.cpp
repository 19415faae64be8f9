#include <gtest/gtest.h>

#include <atomic>
#include <future>
#include <pthread.h>
#include <thread>
#include <vector>

#include "Support/SerialWorker.h"

using Support::SerialWorker;

namespace {

std::string threadName()
{
    char name[16] = {};
    pthread_getname_np(pthread_self(), name, sizeof name);
    return name;
}

} // namespace

// Jobs run one at a time, in the order posted, on one named thread that is
// not the caller's; only that thread counts as the worker's own.
TEST(SerialWorker, RunsJobsInOrderOnOneNamedThread)
{
    SerialWorker worker("AAC Encoder Callback Queue");
    EXPECT_EQ(worker.name(), "AAC Encoder Callback Queue");
    EXPECT_FALSE(worker.isCurrent());

    std::vector<int> seen;
    std::vector<std::thread::id> threads;
    std::atomic<int> running{0};
    bool overlapped = false;
    for (int i = 0; i < 2000; ++i) {
        worker.post([&, i] {
            overlapped = overlapped || running.fetch_add(1) != 0;
            seen.push_back(i);
            threads.push_back(std::this_thread::get_id());
            running.fetch_sub(1);
        });
    }
    std::string name;
    bool current = false;
    worker.postAndWait([&] {
        name = threadName();
        current = worker.isCurrent();
    });
    ASSERT_EQ(seen.size(), 2000u);
    for (int i = 0; i < 2000; ++i)
        ASSERT_EQ(seen[size_t(i)], i);
    EXPECT_FALSE(overlapped);
    for (const std::thread::id &id : threads) {
        EXPECT_EQ(id, threads.front());
        EXPECT_NE(id, std::this_thread::get_id());
    }
    EXPECT_EQ(name, "AAC Encoder Cal");
    EXPECT_TRUE(current);

    // Another worker's job is not this worker's.
    SerialWorker other("other");
    bool otherIsThis = true;
    other.postAndWait([&] { otherIsThis = worker.isCurrent(); });
    EXPECT_FALSE(otherIsThis);
}

// Waiting for a job from inside a job of the same worker runs it at once
// rather than waiting for itself; from another thread it waits for the jobs
// posted before it.
TEST(SerialWorker, PostAndWaitRunsAfterEarlierJobsAndNestsWithoutDeadlock)
{
    SerialWorker worker("nested");
    std::vector<int> order;
    worker.post([&] { order.push_back(1); });
    worker.postAndWait([&] {
        order.push_back(2);
        worker.postAndWait([&] { order.push_back(3); });
        order.push_back(4);
    });
    EXPECT_EQ(order, (std::vector<int>{1, 2, 3, 4}));
}

// Destruction runs what is queued, and what those jobs post, then joins: a
// job never outlives the worker and none is dropped.
TEST(SerialWorker, DestructionRunsQueuedJobsBeforeJoining)
{
    std::promise<void> gate;
    std::shared_future<void> open = gate.get_future().share();
    std::atomic<int> ran{0};
    auto worker = std::make_unique<SerialWorker>("drain");
    worker->post([open] { open.wait(); });
    for (int i = 0; i < 100; ++i)
        worker->post([&] { ++ran; });
    SerialWorker *raw = worker.get();
    worker->post([&ran, raw] { raw->post([&ran] { ran += 1000; }); });

    std::atomic<bool> destroyed{false};
    std::thread destroyer([&] {
        worker.reset();
        destroyed = true;
    });
    // The first job still holds the worker: nothing else has run.
    EXPECT_EQ(ran.load(), 0);
    EXPECT_FALSE(destroyed.load());
    gate.set_value();
    destroyer.join();
    EXPECT_EQ(ran.load(), 1100);
}
