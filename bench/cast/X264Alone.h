#pragma once

#include <QSize>
#include <QString>
#include <atomic>
#include <memory>
#include <mutex>

#include "Platform/ScreenSource.h"

// Copies the pictures a capture hands over into a file while asked to, for
// x264 alone to code the same pictures afterwards. The copying runs on the
// capture thread, so it is asked for outside the cast's measurement.
class PictureRecorder {
public:
    // Records the next `count` pictures into `path`, raw BGRA rows of the
    // first picture's size; false when the file cannot be made.
    bool begin(const QString &path, int count);
    // On the capture thread, for every picture.
    void offer(const Platform::VideoFrame &frame);
    int recorded() const { return m_recorded.load(); }
    bool done() const { return m_recorded.load() >= m_wanted.load(); }
    QSize size() const;
    void end();
    ~PictureRecorder() { end(); }

private:
    mutable std::mutex m_mutex;
    int m_fd = -1;
    QSize m_size;
    std::atomic<int> m_wanted{0};
    std::atomic<int> m_recorded{0};
};

// A screen source that shows every picture of `inner` to `recorder` on its
// way out.
std::unique_ptr<Platform::ScreenSource> recordingScreenSource(std::unique_ptr<Platform::ScreenSource> inner,
                                                              std::shared_ptr<PictureRecorder> recorder);

// The floor under the cast's processor time, in a process of its own: the
// recorded pictures converted to I420 by the encoder's own conversion, then
// coded by x264 alone, with the road's settings, at the rate the cast ran
// at. Prints "x264 <pictures> <conversion ms> <coding ms> <own MiB>", the
// processor time per picture of each step and the private memory x264 took
// for itself (its frames, lookahead and threads); answers the exit code.
int runX264Alone(const QString &path, QSize size, int pictures, int fps, qint64 averageBitrate, qint64 limitBytes);
