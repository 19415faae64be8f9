#include "QVSerialWorker.h"

#include <pthread.h>

QVSerialWorker::QVSerialWorker(std::string name) : m_name(std::move(name))
{
    m_thread = std::thread([this] { run(); });
}

QVSerialWorker::~QVSerialWorker()
{
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_stopping = true;
    }
    m_wake.notify_one();
    m_thread.join();
}

void QVSerialWorker::post(std::function<void()> job)
{
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_jobs.push_back(std::move(job));
    }
    m_wake.notify_one();
}

void QVSerialWorker::run()
{
    // Thread names are limited to 15 characters.
    pthread_setname_np(pthread_self(), m_name.substr(0, 15).c_str());
    for (;;) {
        std::function<void()> job;
        {
            std::unique_lock<std::mutex> lock(m_mutex);
            m_wake.wait(lock, [this] { return m_stopping || !m_jobs.empty(); });
            if (m_jobs.empty())
                return;
            job = std::move(m_jobs.front());
            m_jobs.pop_front();
        }
        job();
    }
}
