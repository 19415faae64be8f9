#include "Mirror/AudioWorkQueue.h"

#include <future>

AudioWorkQueue::AudioWorkQueue(QString label) : m_label(std::move(label)), m_thread([this] { run(); }) {}

AudioWorkQueue::~AudioWorkQueue()
{
    {
        std::lock_guard lock(m_mutex);
        m_quit = true;
    }
    m_wake.notify_one();
    m_thread.join();
}

void AudioWorkQueue::post(std::function<void()> task)
{
    {
        std::lock_guard lock(m_mutex);
        m_tasks.push_back(std::move(task));
    }
    m_wake.notify_one();
}

void AudioWorkQueue::postAndWait(std::function<void()> task)
{
    if (isCurrent()) {
        task();
        return;
    }
    std::promise<void> done;
    post([&] {
        task();
        done.set_value();
    });
    done.get_future().wait();
}

void AudioWorkQueue::run()
{
    for (;;) {
        std::function<void()> task;
        {
            std::unique_lock lock(m_mutex);
            m_wake.wait(lock, [this] { return m_quit || !m_tasks.empty(); });
            if (m_tasks.empty())
                return;
            task = std::move(m_tasks.front());
            m_tasks.pop_front();
        }
        task();
    }
}
