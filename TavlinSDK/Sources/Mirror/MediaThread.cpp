#include "Mirror/MediaThread.h"

#include <QCoreApplication>
#include <QDebug>
#include <QEventLoop>
#include <QMetaObject>
#include <future>

#include "Utils/ThreadHandover.h"

MediaThread::~MediaThread()
{
    stop();
}

void MediaThread::start()
{
    if (m_context)
        return;
    std::promise<std::pair<QObject *, QEventLoop *>> ready;
    m_thread.start(kName, [&ready] {
        QEventLoop loop;
        QObject context;
        ready.set_value({&context, &loop});
        loop.exec();
        // What was let go with deleteLater() goes with the loop, as a
        // QThread's would.
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    });
    const auto [context, loop] = ready.get_future().get();
    m_context = context;
    m_loop = loop;
}

void MediaThread::stop()
{
    if (!m_context)
        return;
    if (m_objects.load() != 0)
        qWarning().noquote() << "media thread stopped with" << m_objects.load() << "objects still on it";
    QEventLoop *loop = m_loop;
    ThreadHandover::post(m_context, [loop] { loop->quit(); });
    m_thread.join();
    m_context = nullptr;
    m_loop = nullptr;
}

void MediaThread::run(const std::function<void()> &task)
{
    if (isCurrent()) {
        task();
        return;
    }
    if (!m_context)
        return;
    ThreadHandover::runAndWait(m_context, task);
}

void MediaThread::destroy(QObject *object)
{
    if (!object)
        return;
    run([object] { delete object; });
    --m_objects;
}
