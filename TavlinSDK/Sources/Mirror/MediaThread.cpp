#include "Mirror/MediaThread.h"

#include <QMetaObject>
#include <mutex>

namespace {

std::mutex sharedMutex;
std::weak_ptr<MediaThread> sharedThread;

} // namespace

std::shared_ptr<MediaThread> MediaThread::acquire()
{
    std::lock_guard lock(sharedMutex);
    std::shared_ptr<MediaThread> thread = sharedThread.lock();
    if (!thread) {
        thread = std::shared_ptr<MediaThread>(new MediaThread);
        sharedThread = thread;
    }
    return thread;
}

MediaThread::MediaThread()
{
    // Qt gives the system thread this name when it starts.
    m_thread.setObjectName(QString::fromLatin1(kName));
    m_context = new QObject;
    m_context->moveToThread(&m_thread);
    m_thread.start();
}

MediaThread::~MediaThread()
{
    m_thread.quit();
    m_thread.wait();
    // The thread has ended: nothing runs on the context any more.
    delete m_context;
}

void MediaThread::run(const std::function<void()> &task)
{
    if (isCurrent()) {
        task();
        return;
    }
    QMetaObject::invokeMethod(m_context, task, Qt::BlockingQueuedConnection);
}

void MediaThread::destroy(QObject *object)
{
    if (object)
        run([object] { delete object; });
}
