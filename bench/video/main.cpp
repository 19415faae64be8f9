// Throughput of the video path: synthetic moving BGRA pictures through
// colour conversion, x264 and the stream's framing, set against the ffmpeg
// program with the same x264 settings on the same pictures; and what one X11
// capture of the main display costs.
//
// Prints figures; asserts nothing.

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QThread>
#include <algorithm>
#include <atomic>
#include <cstdio>
#include <vector>

#include "FakeScreenSource.h"
#include "Mirror/H264Packet.h"
#include "Platform/LinuxPlatform.h"

namespace {

constexpr int kDistinctPictures = 30;
constexpr int kFrames = 240;
constexpr int kRuns = 3;
constexpr qint64 kBitrate = 3355443;
constexpr qint64 kLimitBytes = 1048576;
constexpr int kFps = 20;

struct Figure {
    double fps = 0;
    double msPerFrame = 0;
};

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

std::vector<Platform::VideoFramePtr> pictures(QSize size)
{
    std::vector<Platform::VideoFramePtr> out;
    for (int i = 0; i < kDistinctPictures; ++i)
        out.push_back(Platform::Fake::FakeScreenSource::makeFrame(size, i));
    return out;
}

// Conversion, encoding and framing, as the display-stream road sets them up.
double runOurs(QSize size, const std::vector<Platform::VideoFramePtr> &input, qint64 *bytes)
{
    auto encoder = Platform::Linux::makeH264Encoder();
    Platform::H264EncoderConfig config;
    config.width = size.width();
    config.height = size.height();
    config.fps = kFps;
    config.maxKeyframeInterval = 1440000;
    config.allowFrameReordering = false;
    config.averageBitrate = kBitrate;
    config.dataRateLimitBytes = kLimitBytes;
    config.dataRateLimitSeconds = 1;
    config.realtime = true;
    config.maxFrameDelayCount = 1;
    QString error;
    if (!encoder->open(config, &error)) {
        std::fprintf(stderr, "encoder: %s\n", qPrintable(error));
        return 0;
    }
    QElapsedTimer timer;
    timer.start();
    std::vector<Platform::H264EncodedFrame> out;
    bool first = true;
    *bytes = 0;
    auto frame = [&](const Platform::H264EncodedFrame &coded) {
        VTPSampleBuffer sample;
        sample.dataBuffer = coded.data;
        sample.parameterSets = {coded.sps, coded.pps};
        sample.notSync = !coded.keyframe;
        if (first) {
            H264Packet sets;
            sets.packetizeSPS_PPS(sample);
            *bytes += H264Packet::packetWithPayload(sets.data(), H264PacketTypeParameterSets).size();
            first = false;
        }
        *bytes += H264Packet::packetWithPayload(H264Packet(sample).data(), H264PacketTypeCodedFrame).size();
    };
    for (int i = 0; i < kFrames; ++i) {
        out.clear();
        encoder->encode(*input[size_t(i % kDistinctPictures)], qint64(i) * 1000 / kFps, 1000 / kFps, false, out);
        for (const auto &coded : out)
            frame(coded);
    }
    out.clear();
    encoder->flush(out);
    for (const auto &coded : out)
        frame(coded);
    const double seconds = double(timer.nsecsElapsed()) / 1e9;
    encoder->close();
    return seconds;
}

// The ffmpeg program with the same settings, the same pictures piped in raw.
double runFfmpeg(const QString &ffmpeg, QSize size, const std::vector<Platform::VideoFramePtr> &input,
                 qint64 *bytes, QString *failure)
{
    QTemporaryDir dir;
    const QString outPath = dir.filePath(QStringLiteral("out.h264"));
    const QStringList args = {
        QStringLiteral("-hide_banner"), QStringLiteral("-loglevel"), QStringLiteral("error"),
        QStringLiteral("-f"), QStringLiteral("rawvideo"), QStringLiteral("-pix_fmt"), QStringLiteral("bgr0"),
        QStringLiteral("-s"), QStringLiteral("%1x%2").arg(size.width()).arg(size.height()),
        QStringLiteral("-r"), QString::number(kFps), QStringLiteral("-i"), QStringLiteral("-"),
        QStringLiteral("-vf"),
        QStringLiteral("scale=flags=bilinear:out_color_matrix=bt709:out_range=tv,format=yuv420p"),
        QStringLiteral("-c:v"), QStringLiteral("libx264"), QStringLiteral("-preset"), QStringLiteral("veryfast"),
        QStringLiteral("-tune"), QStringLiteral("zerolatency"), QStringLiteral("-bf"), QStringLiteral("0"),
        QStringLiteral("-g"), QStringLiteral("1440000"), QStringLiteral("-b:v"), QString::number(kBitrate / 1000) + 'k',
        QStringLiteral("-maxrate"), QString::number(kLimitBytes * 8 / 1000) + 'k', QStringLiteral("-bufsize"),
        QString::number(kLimitBytes * 8 / 1000) + 'k', QStringLiteral("-x264-params"),
        QStringLiteral("scenecut=0:repeat-headers=1:colorprim=bt709:transfer=bt709:colormatrix=bt709"),
        QStringLiteral("-f"), QStringLiteral("h264"), QStringLiteral("-y"), outPath};
    QProcess p;
    QElapsedTimer timer;
    timer.start();
    p.start(ffmpeg, args);
    if (!p.waitForStarted()) {
        *failure = QStringLiteral("ffmpeg did not start");
        return 0;
    }
    for (int i = 0; i < kFrames; ++i) {
        const Platform::VideoFrame &f = *input[size_t(i % kDistinctPictures)];
        p.write(reinterpret_cast<const char *>(f.data), qint64(f.stride) * f.height);
        while (p.bytesToWrite() > 0)
            p.waitForBytesWritten(-1);
    }
    p.closeWriteChannel();
    p.waitForFinished(-1);
    const double seconds = double(timer.nsecsElapsed()) / 1e9;
    if (p.exitCode() != 0) {
        *failure = QString::fromLocal8Bit(p.readAllStandardError());
        return 0;
    }
    *bytes = QFile(outPath).size();
    return seconds;
}

Figure figure(double seconds)
{
    Figure f;
    f.fps = kFrames / seconds;
    f.msPerFrame = seconds * 1000 / kFrames;
    return f;
}

// A private Xvfb when no display is given.
struct PrivateDisplay {
    QProcess xvfb;
    bool start()
    {
        if (!qEnvironmentVariableIsEmpty("DISPLAY"))
            return true;
        const QString program = QStandardPaths::findExecutable(QStringLiteral("Xvfb"));
        if (program.isEmpty())
            return false;
        for (int display = 411; display < 431; ++display) {
            if (QFile::exists(QStringLiteral("/tmp/.X11-unix/X%1").arg(display)))
                continue;
            xvfb.start(program, {QStringLiteral(":%1").arg(display), QStringLiteral("-screen"), QStringLiteral("0"),
                                 QStringLiteral("1920x1080x24"), QStringLiteral("-nolisten"), QStringLiteral("tcp"),
                                 QStringLiteral("+extension"), QStringLiteral("MIT-SHM")});
            if (!xvfb.waitForStarted())
                return false;
            for (int i = 0; i < 100 && !QFile::exists(QStringLiteral("/tmp/.X11-unix/X%1").arg(display)); ++i)
                QThread::msleep(20);
            qputenv("DISPLAY", QByteArray(":") + QByteArray::number(display));
            return true;
        }
        return false;
    }
    ~PrivateDisplay()
    {
        if (xvfb.state() != QProcess::NotRunning) {
            xvfb.terminate();
            xvfb.waitForFinished(3000);
        }
    }
};

void captureCost()
{
    PrivateDisplay display;
    if (!display.start()) {
        std::printf("X11 capture: no X server\n");
        return;
    }
    for (const bool cursor : {false, true}) {
        std::vector<double> perFrame;
        QRect bounds;
        for (int run = 0; run < kRuns; ++run) {
            auto source = Platform::Linux::makeScreenSource();
            bounds = source->mainDisplayBounds();
            std::atomic<int> frames{0};
            Platform::ScreenCaptureOptions options;
            options.fps = 1000; // as fast as the grabs go
            options.showCursor = cursor;
            options.dropDuplicates = false;
            QElapsedTimer timer;
            timer.start();
            if (!source->start(options, [&](Platform::VideoFramePtr) { ++frames; }, {})) {
                std::printf("X11 capture: cannot capture %s\n", qgetenv("DISPLAY").constData());
                return;
            }
            QThread::msleep(2000);
            source->stop();
            perFrame.push_back(double(timer.nsecsElapsed()) / 1e6 / std::max(1, frames.load()));
        }
        std::printf("X11 capture %dx%d (MIT-SHM%s): %.2f ms/frame (median of %d)\n", bounds.width(),
                    bounds.height(), cursor ? ", pointer drawn in" : "", median(perFrame), kRuns);
    }
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const QString ffmpeg = QStandardPaths::findExecutable(QStringLiteral("ffmpeg"));
    std::printf("video bench: %d frames per run (%d distinct moving pictures), median of %d runs; %d cores\n",
                kFrames, kDistinctPictures, kRuns, QThread::idealThreadCount());
    std::printf("x264 veryfast/zerolatency, no B-frames, %lld bit/s, VBV %lld bytes per 1 s, BGRA -> I420 "
                "bilinear BT.709\n",
                kBitrate, kLimitBytes);
    for (const QSize size : {QSize(1920, 1080), QSize(1280, 720)}) {
        const std::vector<Platform::VideoFramePtr> input = pictures(size);
        std::vector<double> ours;
        std::vector<double> theirs;
        qint64 ourBytes = 0;
        qint64 theirBytes = 0;
        QString failure;
        for (int run = 0; run < kRuns; ++run) {
            ours.push_back(runOurs(size, input, &ourBytes));
            if (!ffmpeg.isEmpty()) {
                const double t = runFfmpeg(ffmpeg, size, input, &theirBytes, &failure);
                if (t > 0)
                    theirs.push_back(t);
            }
        }
        const Figure o = figure(median(ours));
        std::printf("%dx%d  ours:   %7.1f fps  %6.2f ms/frame  (%lld bytes framed)\n", size.width(), size.height(),
                    o.fps, o.msPerFrame, ourBytes);
        if (theirs.empty()) {
            std::printf("%dx%d  ffmpeg: unavailable %s\n", size.width(), size.height(), qPrintable(failure));
            continue;
        }
        const Figure t = figure(median(theirs));
        std::printf("%dx%d  ffmpeg: %7.1f fps  %6.2f ms/frame  (%lld bytes)\n", size.width(), size.height(), t.fps,
                    t.msPerFrame, theirBytes);
        std::printf("%dx%d  ratio ours/ffmpeg: %.2f\n", size.width(), size.height(), o.fps / t.fps);
    }
    captureCost();
    return 0;
}
