#pragma once

#include <QObject>
#include <atomic>
#include <functional>

#include "Support/NamedThread.h"

class QEventLoop;

// The thread with an event loop that owns a cast's media sockets (the video
// connection and the sound datagrams). Coded pictures and sound packets
// reach it straight from the encoders, so a busy or blocked main thread never
// holds the picture back; the main thread hears status changes only.
//
// One per cast, owned by the cast's pipeline, which starts it before the
// first connection and stops it last. Every object put on it is destroyed on
// it, by whoever made it, before it stops.
class MediaThread {
public:
    // The name the thread carries (as the system shows it).
    static constexpr const char *kName = "tavlin-media";

    MediaThread() = default;
    // Stops the thread when it still runs.
    ~MediaThread();
    MediaThread(const MediaThread &) = delete;
    MediaThread &operator=(const MediaThread &) = delete;

    // Starts the thread and returns once its event loop takes calls; does
    // nothing while it runs.
    void start();
    // Ends the event loop and joins the thread. The objects made on it must
    // be gone by then.
    void stop();
    bool isRunning() const { return m_context != nullptr; }
    bool isCurrent() const { return m_thread.isCurrent(); }

    // Runs `task` on the media thread and waits for it; at once when called
    // there. The media thread never waits for another thread's event loop,
    // so this cannot deadlock. Nothing runs while the thread is stopped.
    void run(const std::function<void()> &task);

    // Makes an object of type T on the media thread (none while it is
    // stopped); destroy it with destroy(), never with delete from another
    // thread.
    template <typename T, typename... Args>
    T *make(Args &&...args)
    {
        T *made = nullptr;
        run([&] { made = new T(std::forward<Args>(args)...); });
        if (made)
            ++m_objects;
        return made;
    }
    // Destroys an object of the media thread on it, with whatever it still
    // has waiting there (posted calls, timers).
    void destroy(QObject *object);
    // Objects made here and not yet destroyed.
    int objectCount() const { return m_objects.load(); }

private:
    Support::NamedThread m_thread;
    // Both live on the thread while it runs; set and cleared by start() and
    // stop() on the owner's thread.
    QObject *m_context = nullptr;
    QEventLoop *m_loop = nullptr;
    std::atomic<int> m_objects{0};
};
