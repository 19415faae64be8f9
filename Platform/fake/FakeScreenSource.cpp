#include "FakeScreenSource.h"

#include <QElapsedTimer>
#include <chrono>
#include <cstring>
#include <pthread.h>

namespace Platform::Fake {

FakeScreenSource::FakeScreenSource(QSize displaySize) : m_displaySize(displaySize) {}

FakeScreenSource::~FakeScreenSource()
{
    stop();
}

VideoFramePtr FakeScreenSource::makeFrame(QSize size, int index, qint64 timestampMs)
{
    auto frame = std::make_shared<VideoFrame>();
    const int w = size.width();
    const int h = size.height();
    const int stride = w * 4;
    std::shared_ptr<uchar[]> pixels(new uchar[size_t(stride) * size_t(h)]);
    const int barLeft = (index * 16) % std::max(1, w);
    const int barWidth = std::max(1, w / 10);
    for (int y = 0; y < h; ++y) {
        uchar *row = pixels.get() + size_t(y) * size_t(stride);
        const uchar g = uchar((y * 255) / std::max(1, h - 1));
        for (int x = 0; x < w; ++x) {
            uchar *px = row + x * 4;
            const bool inBar = x >= barLeft && x < barLeft + barWidth;
            px[0] = inBar ? 240 : uchar((x * 255) / std::max(1, w - 1)); // blue
            px[1] = inBar ? 240 : g;                                     // green
            px[2] = inBar ? 240 : uchar((index * 5) & 0xff);             // red
            px[3] = 255;
        }
    }
    frame->data = pixels.get();
    frame->width = w;
    frame->height = h;
    frame->stride = stride;
    frame->timestampMs = timestampMs;
    frame->storage = pixels;
    return frame;
}

QRect FakeScreenSource::mainDisplayBounds()
{
    std::lock_guard lock(m_mutex);
    return QRect(QPoint(0, 0), m_displaySize);
}

void FakeScreenSource::setDisplaySize(QSize size)
{
    std::lock_guard lock(m_mutex);
    m_displaySize = size;
}

ScreenCaptureOptions FakeScreenSource::lastOptions() const
{
    std::lock_guard lock(m_mutex);
    return m_options;
}

bool FakeScreenSource::start(const ScreenCaptureOptions &options, FrameHandler handler, FailureHandler onFailure)
{
    stop();
    ++m_startCount;
    if (!m_startResult)
        return false;
    {
        std::lock_guard lock(m_mutex);
        m_options = options;
        m_handler = std::move(handler);
        m_onFailure = std::move(onFailure);
        m_failure.clear();
        m_stopRequested = false;
    }
    m_running = true;
    if (m_automatic)
        m_thread = std::thread([this, options] {
            // Named as the real capture thread is.
            pthread_setname_np(pthread_self(), "tavlin-capture");
            run(options);
        });
    return true;
}

void FakeScreenSource::stop()
{
    const bool wasRunning = m_running.exchange(false);
    {
        std::lock_guard lock(m_mutex);
        m_stopRequested = true;
    }
    m_wake.notify_all();
    if (m_thread.joinable())
        m_thread.join();
    {
        // No handler call may start after stop() returns, nor be under way.
        std::lock_guard deliverLock(m_deliverMutex);
        std::lock_guard lock(m_mutex);
        m_handler = nullptr;
        m_onFailure = nullptr;
    }
    if (wasRunning)
        ++m_stopCount;
}

bool FakeScreenSource::isRunning() const
{
    return m_running;
}

bool FakeScreenSource::deliver(VideoFramePtr frame)
{
    std::lock_guard deliverLock(m_deliverMutex);
    FrameHandler handler;
    {
        std::lock_guard lock(m_mutex);
        if (!m_running || !m_handler)
            return false;
        handler = m_handler;
    }
    ++m_delivered;
    handler(std::move(frame));
    return true;
}

void FakeScreenSource::fail(const QString &reason)
{
    FailureHandler onFailure;
    {
        std::lock_guard deliverLock(m_deliverMutex);
        std::lock_guard lock(m_mutex);
        if (!m_running || !m_handler)
            return;
        // No frame after the failure.
        m_handler = nullptr;
        if (m_thread.joinable()) {
            m_failure = reason;
            m_wake.notify_all();
            return;
        }
        onFailure = std::move(m_onFailure);
    }
    if (onFailure)
        onFailure(reason);
}

void FakeScreenSource::run(ScreenCaptureOptions options)
{
    const int fps = options.fps > 0 ? options.fps : 20;
    const auto period = std::chrono::microseconds(1000000 / fps);
    auto next = std::chrono::steady_clock::now();
    QElapsedTimer clock;
    clock.start();
    int index = 0;
    int deliveredIndex = -1;
    for (;;) {
        {
            std::unique_lock lock(m_mutex);
            if (m_wake.wait_until(lock, next, [this] { return m_stopRequested || !m_failure.isEmpty(); })) {
                if (m_stopRequested)
                    return;
                FailureHandler onFailure = std::move(m_onFailure);
                const QString reason = m_failure;
                lock.unlock();
                if (onFailure)
                    onFailure(reason);
                return;
            }
        }
        next += period;
        if (next < std::chrono::steady_clock::now())
            next = std::chrono::steady_clock::now();
        if (m_moving)
            ++index;
        if (options.dropDuplicates && index == deliveredIndex)
            continue;
        QSize size;
        {
            std::lock_guard lock(m_mutex);
            size = m_displaySize;
        }
        deliveredIndex = index;
        deliver(makeFrame(size, index, clock.elapsed()));
    }
}

} // namespace Platform::Fake
