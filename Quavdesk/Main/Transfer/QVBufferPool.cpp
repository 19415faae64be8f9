#include "QVBufferPool.h"

QVBufferPool::QVBufferPool(int count, qsizetype bytes)
{
    for (int i = 0; i < count; ++i)
        m_free.append(QByteArray(bytes, '\0'));
}

QByteArray QVBufferPool::take()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_free.isEmpty() ? QByteArray() : m_free.takeLast();
}

void QVBufferPool::give(QByteArray buffer)
{
    std::function<void()> waiter;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_free.append(std::move(buffer));
        waiter = std::exchange(m_waiter, nullptr);
    }
    if (waiter)
        waiter();
}

void QVBufferPool::notifyWhenFree(std::function<void()> waiter)
{
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (m_free.isEmpty()) {
            m_waiter = std::move(waiter);
            return;
        }
    }
    waiter();
}
