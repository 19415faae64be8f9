#pragma once

// A screen that paints synthetic moving pictures, for tests and benchmarks.

#include <QSize>
#include <atomic>
#include <condition_variable>
#include <mutex>
#include <thread>

#include "Platform/ScreenSource.h"

namespace Platform::Fake {

class FakeScreenSource final : public ScreenSource {
public:
    explicit FakeScreenSource(QSize displaySize = QSize(1280, 720));
    ~FakeScreenSource() override;

    // A picture of `size`, different for every `index`: a gradient with a
    // bar that moves by index.
    static VideoFramePtr makeFrame(QSize size, int index, qint64 timestampMs = 0);

    QRect mainDisplayBounds() override;
    bool start(const ScreenCaptureOptions &options, FrameHandler handler, FailureHandler onFailure) override;
    void stop() override;
    bool isRunning() const override;

    // Hands one frame to the handler on the calling thread, as the capture
    // thread would; false when not running.
    bool deliver(VideoFramePtr frame);
    // Ends the running capture as a display that went away does: the
    // failure handler hears `reason` (on the capture thread when there is
    // one) and no frame follows. stop() is still expected.
    void fail(const QString &reason);

    void setDisplaySize(QSize size);
    // While still, the picture does not change (duplicates are then dropped
    // when the capture asks so).
    void setMoving(bool moving) { m_moving = moving; }
    // Without the automatic thread, frames come only through deliver().
    void setAutomatic(bool automatic) { m_automatic = automatic; }
    void setStartResult(bool result) { m_startResult = result; }

    int startCount() const { return m_startCount; }
    int stopCount() const { return m_stopCount; }
    int deliveredCount() const { return m_delivered; }
    ScreenCaptureOptions lastOptions() const;

private:
    void run(ScreenCaptureOptions options);

    mutable std::mutex m_mutex;
    std::condition_variable m_wake;
    QSize m_displaySize;
    FrameHandler m_handler;
    FailureHandler m_onFailure;
    QString m_failure; // set by fail(): the capture thread reports it and ends
    ScreenCaptureOptions m_options;
    std::thread m_thread;
    bool m_stopRequested = false;
    std::atomic<bool> m_running{false};
    std::atomic<bool> m_moving{true};
    std::atomic<bool> m_automatic{true};
    std::atomic<bool> m_startResult{true};
    std::atomic<int> m_startCount{0};
    std::atomic<int> m_stopCount{0};
    std::atomic<int> m_delivered{0};
    std::mutex m_deliverMutex; // one frame at a time, as a capture thread does
};

} // namespace Platform::Fake
