#pragma once

#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <thread>

namespace Support {

// One named thread that runs the jobs posted to it one after another, in the
// order they were posted. The destructor runs every job still queued (and
// any those jobs post) before it joins the thread, so a job may refer to
// objects that outlive the worker.
class SerialWorker
{
public:
    // The thread carries the name's first 15 bytes (the system's limit).
    explicit SerialWorker(std::string name);
    ~SerialWorker();
    SerialWorker(const SerialWorker &) = delete;
    SerialWorker &operator=(const SerialWorker &) = delete;

    void post(std::function<void()> job);
    // Runs the job on the worker and returns once it has run. Called from a
    // job of this worker, it runs the job at once instead of waiting for
    // itself.
    void postAndWait(std::function<void()> job);
    // Whether the caller is a job of this worker.
    bool isCurrent() const;
    const std::string &name() const { return m_name; }

private:
    void run();

    const std::string m_name;
    std::mutex m_mutex;
    std::condition_variable m_wake;
    std::deque<std::function<void()>> m_jobs;
    bool m_stopping = false;
    std::thread m_thread;
};

} // namespace Support
