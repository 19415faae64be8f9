#include "Support/SerialWorker.h"

#include <future>
#include <pthread.h>

namespace Support {

namespace {
// The worker whose thread this is; set by the thread itself, so a job asking
// isCurrent() never reads the std::thread the constructor is still writing.
thread_local const SerialWorker *t_current = nullptr;
} // namespace

SerialWorker::SerialWorker(std::string name) : m_name(std::move(name)), m_thread([this] { run(); }) {}

SerialWorker::~SerialWorker()
{
    {
        std::lock_guard lock(m_mutex);
        m_stopping = true;
    }
    m_wake.notify_one();
    m_thread.join();
}

void SerialWorker::post(std::function<void()> job)
{
    {
        std::lock_guard lock(m_mutex);
        m_jobs.push_back(std::move(job));
    }
    m_wake.notify_one();
}

void SerialWorker::postAndWait(std::function<void()> job)
{
    if (isCurrent()) {
        job();
        return;
    }
    std::promise<void> done;
    post([&] {
        job();
        done.set_value();
    });
    done.get_future().wait();
}

bool SerialWorker::isCurrent() const
{
    return t_current == this;
}

void SerialWorker::run()
{
    t_current = this;
    pthread_setname_np(pthread_self(), m_name.substr(0, 15).c_str());
    for (;;) {
        std::function<void()> job;
        {
            std::unique_lock lock(m_mutex);
            m_wake.wait(lock, [this] { return m_stopping || !m_jobs.empty(); });
            if (m_jobs.empty())
                break;
            job = std::move(m_jobs.front());
            m_jobs.pop_front();
        }
        job();
    }
    t_current = nullptr;
}

} // namespace Support
