#pragma once

#include <QMetaObject>
#include <QObject>
#include <memory>
#include <type_traits>
#include <utility>

#if defined(__has_feature)
#if __has_feature(thread_sanitizer)
#define TAVLIN_THREAD_SANITIZER 1
#endif
#endif
#if defined(__SANITIZE_THREAD__)
#define TAVLIN_THREAD_SANITIZER 1
#endif
#if defined(TAVLIN_THREAD_SANITIZER)
#include <sanitizer/tsan_interface.h>
#endif

// Work handed to another thread's event loop. Qt's hand-over is locked by Qt
// itself, out of ThreadSanitizer's sight (Qt is not built with it), so under
// the sanitizer each hand-over is also told to it: what the sending thread
// did before the hand-over happens before the work, and, when the sender
// waits, the work happens before what the sender does next. Otherwise these
// are plain queued calls.
namespace ThreadHandover {

inline void released([[maybe_unused]] void *token)
{
#if defined(TAVLIN_THREAD_SANITIZER)
    __tsan_release(token);
#endif
}

inline void acquired([[maybe_unused]] void *token)
{
#if defined(TAVLIN_THREAD_SANITIZER)
    __tsan_acquire(token);
#endif
}

// Runs `work` on `target`'s thread from its event loop; nothing runs when
// the target is gone first.
template <typename Work>
bool post(QObject *target, Work &&work)
{
    auto token = std::make_shared<char>(0);
    released(token.get());
    return QMetaObject::invokeMethod(
        target,
        [token, work = std::forward<Work>(work)]() mutable {
            acquired(token.get());
            work();
        },
        Qt::QueuedConnection);
}

// Runs `work` on `target`'s thread and waits for it; never call it from
// that thread.
template <typename Work>
bool runAndWait(QObject *target, Work &&work)
{
    char token = 0;
    released(&token);
    const bool ran = QMetaObject::invokeMethod(
        target,
        [&token, &work] {
            acquired(&token);
            work();
            released(&token);
        },
        Qt::BlockingQueuedConnection);
    acquired(&token);
    return ran;
}

} // namespace ThreadHandover
