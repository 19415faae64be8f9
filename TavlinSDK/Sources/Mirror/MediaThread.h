#pragma once

#include <QObject>
#include <QThread>
#include <functional>
#include <memory>

// The one thread with an event loop that owns a cast's media sockets (the
// video connection and the sound datagrams). Coded pictures and sound packets
// reach it straight from the encoders, so a busy or blocked main thread never
// holds the picture back; the main thread hears status changes only.
//
// Shared: the video and the audio sender of a cast hold the same thread, and
// it stops and is joined when the last holder lets go. Every object a holder
// puts on it is destroyed on it, by the holder, before the holder lets go.
class MediaThread {
public:
    // The running media thread, started when nobody holds one.
    static std::shared_ptr<MediaThread> acquire();
    // The name the thread carries (as the system shows it).
    static constexpr const char *kName = "tavlin-media";

    ~MediaThread();
    MediaThread(const MediaThread &) = delete;
    MediaThread &operator=(const MediaThread &) = delete;

    QThread *thread() { return &m_thread; }
    bool isCurrent() const { return QThread::currentThread() == &m_thread; }

    // Runs `task` on the media thread and waits for it; at once when called
    // there. The media thread never waits for another thread's event loop,
    // so this cannot deadlock.
    void run(const std::function<void()> &task);

    // Makes an object of type T on the media thread; destroy it with
    // destroy(), never with delete from another thread.
    template <typename T, typename... Args>
    T *make(Args &&...args)
    {
        T *made = nullptr;
        run([&] { made = new T(std::forward<Args>(args)...); });
        return made;
    }
    // Destroys an object of the media thread on it, with whatever it still
    // has waiting there (posted calls, timers).
    void destroy(QObject *object);

private:
    MediaThread();

    QThread m_thread;
    QObject *m_context = nullptr;
};
