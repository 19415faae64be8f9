#pragma once

#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <thread>

// One named worker thread that runs the jobs given to it in the order they
// were given. The destructor runs what is still queued and joins the thread,
// so jobs may refer to objects that outlive the worker.
class QVSerialWorker
{
public:
    explicit QVSerialWorker(std::string name);
    ~QVSerialWorker();
    QVSerialWorker(const QVSerialWorker &) = delete;
    QVSerialWorker &operator=(const QVSerialWorker &) = delete;

    void post(std::function<void()> job);

private:
    void run();

    std::string m_name;
    std::mutex m_mutex;
    std::condition_variable m_wake;
    std::deque<std::function<void()>> m_jobs;
    bool m_stopping = false;
    std::thread m_thread;
};
