#pragma once

#include <QByteArray>
#include <QList>

#include <functional>
#include <mutex>

// A fixed set of equal buffers that travel from the reader to the writer and
// back. The memory of a transfer in flight is the set, whatever the sizes of
// chunks or the speed of the disk; and no buffer is allocated (and its pages
// faulted in) again and again.
class QVBufferPool
{
public:
    QVBufferPool(int count, qsizetype bytes);

    // A free buffer, or a null one while all are in use.
    QByteArray take();
    // Gives a buffer back, from any thread; a waiting reader is told.
    void give(QByteArray buffer);
    // Called once, on the giving thread, the next time a buffer comes back
    // (at once when one is free already).
    void notifyWhenFree(std::function<void()> waiter);

private:
    std::mutex m_mutex;
    QList<QByteArray> m_free;
    std::function<void()> m_waiter;
};
