#pragma once

#include <QString>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>

// A serial queue with its own thread: tasks run one after another in the
// order they were posted. Destruction runs what is queued and joins.
class AudioWorkQueue {
public:
    explicit AudioWorkQueue(QString label);
    ~AudioWorkQueue();
    AudioWorkQueue(const AudioWorkQueue &) = delete;
    AudioWorkQueue &operator=(const AudioWorkQueue &) = delete;

    void post(std::function<void()> task);
    // Runs the task on the queue and waits for it (never from the queue itself).
    void postAndWait(std::function<void()> task);
    bool isCurrent() const { return std::this_thread::get_id() == m_thread.get_id(); }
    const QString &label() const { return m_label; }

private:
    void run();

    QString m_label;
    std::mutex m_mutex;
    std::condition_variable m_wake;
    std::deque<std::function<void()>> m_tasks;
    bool m_quit = false;
    std::thread m_thread;
};
