#pragma once

#include <QByteArray>
#include <atomic>
#include <condition_variable>
#include <mutex>
#include <thread>

#include "Platform/ScreenSource.h"

namespace Platform::Linux {

// Captures the X11 main display (the RandR primary output) through MIT-SHM,
// falling back to plain GetImage where shared memory is unavailable, and
// draws the pointer in with the XFixes cursor image.
class X11ScreenSource final : public ScreenSource {
public:
    // An empty name means the DISPLAY of the environment.
    explicit X11ScreenSource(QByteArray displayName = {});
    ~X11ScreenSource() override;

    QRect mainDisplayBounds() override;
    bool start(const ScreenCaptureOptions &options, FrameHandler handler, FailureHandler onFailure) override;
    void stop() override;
    bool isRunning() const override;

private:
    void run(void *connection, int screenNumber, ScreenCaptureOptions options, FrameHandler handler,
             FailureHandler onFailure);

    QByteArray m_displayName;
    std::thread m_thread;
    std::atomic<bool> m_running{false};
    std::mutex m_mutex;
    std::condition_variable m_wake;
    bool m_stopRequested = false;
};

} // namespace Platform::Linux
