#include "X264Alone.h"

#include <chrono>
#include <cstdio>
#include <fcntl.h>
#include <thread>
#include <unistd.h>
#include <vector>

#include "BenchProcess.h"
#include "Platform/LinuxPlatform.h"
#include "SenderEncoderConfig.h"

bool PictureRecorder::begin(const QString &path, int count)
{
    end();
    std::lock_guard lock(m_mutex);
    m_fd = ::open(path.toLocal8Bit().constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (m_fd < 0)
        return false;
    m_size = QSize();
    m_recorded = 0;
    m_wanted = count;
    return true;
}

void PictureRecorder::offer(const Platform::VideoFrame &frame)
{
    if (m_recorded.load() >= m_wanted.load())
        return;
    std::lock_guard lock(m_mutex);
    if (m_fd < 0 || !frame.isValid())
        return;
    if (m_size.isEmpty())
        m_size = QSize(frame.width, frame.height);
    if (m_size != QSize(frame.width, frame.height))
        return;
    const size_t row = size_t(frame.width) * 4;
    for (int y = 0; y < frame.height; ++y) {
        const uchar *from = frame.data + size_t(y) * size_t(frame.stride);
        size_t left = row;
        while (left > 0) {
            const ssize_t n = ::write(m_fd, from + (row - left), left);
            if (n <= 0)
                return;
            left -= size_t(n);
        }
    }
    ++m_recorded;
}

QSize PictureRecorder::size() const
{
    std::lock_guard lock(m_mutex);
    return m_size;
}

void PictureRecorder::end()
{
    std::lock_guard lock(m_mutex);
    m_wanted = 0;
    if (m_fd >= 0)
        ::close(m_fd);
    m_fd = -1;
}

namespace {

class RecordingScreenSource final : public Platform::ScreenSource {
public:
    RecordingScreenSource(std::unique_ptr<Platform::ScreenSource> inner, std::shared_ptr<PictureRecorder> recorder)
        : m_inner(std::move(inner)), m_recorder(std::move(recorder))
    {
    }
    QRect mainDisplayBounds() override { return m_inner->mainDisplayBounds(); }
    bool start(const Platform::ScreenCaptureOptions &options, FrameHandler handler, FailureHandler onFailure) override
    {
        return m_inner->start(
            options,
            [recorder = m_recorder, handler = std::move(handler)](Platform::VideoFramePtr frame) {
                if (frame)
                    recorder->offer(*frame);
                handler(std::move(frame));
            },
            std::move(onFailure));
    }
    void stop() override { m_inner->stop(); }
    bool isRunning() const override { return m_inner->isRunning(); }

private:
    std::unique_ptr<Platform::ScreenSource> m_inner;
    std::shared_ptr<PictureRecorder> m_recorder;
};

bool readFull(int fd, uchar *to, size_t bytes)
{
    while (bytes > 0) {
        const ssize_t n = ::read(fd, to, bytes);
        if (n <= 0)
            return false;
        to += n;
        bytes -= size_t(n);
    }
    return true;
}

} // namespace

std::unique_ptr<Platform::ScreenSource> recordingScreenSource(std::unique_ptr<Platform::ScreenSource> inner,
                                                              std::shared_ptr<PictureRecorder> recorder)
{
    return std::make_unique<RecordingScreenSource>(std::move(inner), std::move(recorder));
}

int runX264Alone(const QString &path, QSize size, int pictures, int fps, qint64 averageBitrate, qint64 limitBytes)
{
    using namespace BenchProcess;
    const int fd = ::open(path.toLocal8Bit().constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0 || pictures < 1 || fps < 1) {
        std::fprintf(stderr, "x264 alone: nothing to code in %s\n", qPrintable(path));
        return 1;
    }
    // The settings the video sender gives its compression session, and the
    // frame rate the session derives from each picture's duration.
    const qint64 duration = 1000 / fps;
    const Platform::H264EncoderConfig config = BenchEncoder::senderConfig(
        size.width(), size.height(), int((1000 + duration / 2) / duration), averageBitrate, limitBytes);
    std::unique_ptr<Platform::H264Encoder> encoder = Platform::Linux::makeH264Encoder();
    QString error;
    // x264's own memory: what opening it adds, and what coding adds beyond
    // the pictures made for it.
    const qint64 anonBeforeOpen = statusKiB("RssAnon");
    if (!encoder->open(config, &error)) {
        std::fprintf(stderr, "x264 alone: %s\n", qPrintable(error));
        return 1;
    }
    const qint64 openedKiB = statusKiB("RssAnon") - anonBeforeOpen;

    // The conversion, timed on its own: each picture read, then converted.
    auto frame = std::make_shared<Platform::VideoFrame>();
    std::shared_ptr<uchar[]> pixels(new uchar[size_t(size.width()) * size_t(size.height()) * 4]);
    frame->data = pixels.get();
    frame->width = size.width();
    frame->height = size.height();
    frame->stride = size.width() * 4;
    frame->storage = pixels;
    // The cast converts into the same few pictures again and again: the
    // time is taken on one picture used throughout, each picture then kept
    // in one of its own for the coding.
    std::vector<std::unique_ptr<Platform::H264Picture>> converted;
    std::unique_ptr<Platform::H264Picture> reused = encoder->makePicture();
    double conversionSeconds = 0;
    for (int i = 0; reused && i < pictures; ++i) {
        if (!readFull(fd, pixels.get(), size_t(frame->stride) * size_t(frame->height)))
            break;
        const double before = cpuSeconds(RUSAGE_THREAD);
        const bool ok = encoder->convert(frame, *reused);
        conversionSeconds += cpuSeconds(RUSAGE_THREAD) - before;
        std::unique_ptr<Platform::H264Picture> picture = encoder->makePicture();
        if (!ok || !picture || !encoder->convert(frame, *picture))
            break;
        converted.push_back(std::move(picture));
    }
    ::close(fd);
    if (converted.empty()) {
        std::fprintf(stderr, "x264 alone: no picture could be read\n");
        return 1;
    }

    // The coding, at the cast's pace: x264's threads wait between pictures
    // as they do in the cast.
    std::vector<Platform::H264EncodedFrame> out;
    const qint64 anonBeforeCoding = statusKiB("RssAnon");
    const double before = cpuSeconds(RUSAGE_SELF);
    const auto start = std::chrono::steady_clock::now();
    for (size_t i = 0; i < converted.size(); ++i) {
        std::this_thread::sleep_until(start + std::chrono::milliseconds(qint64(i) * 1000 / fps));
        out.clear();
        if (!encoder->encodePicture(*converted[i], qint64(i) * duration, duration, i == 0, out)) {
            std::fprintf(stderr, "x264 alone: coding failed\n");
            return 1;
        }
    }
    out.clear();
    encoder->flush(out);
    const double codingSeconds = cpuSeconds(RUSAGE_SELF) - before;
    const qint64 ownKiB = openedKiB + statusKiB("RssAnon") - anonBeforeCoding;
    encoder->close();
    const double n = double(converted.size());
    std::printf("x264 %d %.3f %.3f %.1f\n", int(converted.size()), conversionSeconds * 1000 / n,
                codingSeconds * 1000 / n, double(ownKiB) / 1024.0);
    std::fflush(stdout);
    return 0;
}
