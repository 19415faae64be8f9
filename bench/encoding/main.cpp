// What the compression session costs over x264 itself: the same moving
// 1080p pictures through the session (conversion and coding on two threads),
// through the encoder in one stage (conversion, then coding, on one thread),
// and through x264 alone on pictures converted beforehand, with the same
// settings; and the BGRA -> I420 conversion alone, ours against libswscale.
// The runs alternate so that the machine's load falls on all of them alike.
//
// Prints figures; asserts nothing.

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QThread>
#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <vector>

extern "C" {
#include <libavutil/frame.h>
#include <libavutil/opt.h>
#include <libswscale/swscale.h>
}

#include "BenchProcess.h"
#include "Platform/LinuxPlatform.h"
#include "SenderEncoderConfig.h"
#include "VideoToolBox/VTPCompressionSession.h"

namespace {

constexpr int kWidth = 1920;
constexpr int kHeight = 1080;
constexpr int kDistinctPictures = 30;
constexpr int kFrames = 300;
constexpr int kRuns = 3;
constexpr int kFps = 20;
constexpr qint64 kBitrate = 3355443;
constexpr qint64 kLimitBytes = 1048576;

struct Figure {
    double fps = 0;
    double cpuMs = 0; // processor time per frame, all threads
};

Figure figure(double seconds, double cpuSeconds, int frames)
{
    return {frames / seconds, cpuSeconds * 1000.0 / frames};
}

Figure median(std::vector<Figure> v)
{
    std::sort(v.begin(), v.end(), [](const Figure &a, const Figure &b) { return a.fps < b.fps; });
    return v[v.size() / 2];
}

std::string load()
{
    double avg[3] = {};
    if (getloadavg(avg, 3) != 3)
        return "?";
    char text[64];
    std::snprintf(text, sizeof text, "%.2f %.2f %.2f", avg[0], avg[1], avg[2]);
    return text;
}

// Moving, detailed pictures: a drifting colour field, a texture that pans
// across it, and a box that travels, so that every picture differs from the
// one before everywhere, as a video or a scrolling page does.
std::vector<Platform::VideoFramePtr> movingPictures()
{
    std::vector<int> wave(1024);
    for (int i = 0; i < 1024; ++i)
        wave[size_t(i)] = int(std::lround(100 * std::sin(i * 2 * M_PI / 1024)));
    const int textureSize = 512;
    std::vector<uchar> texture(size_t(textureSize) * textureSize);
    quint32 state = 12345;
    for (uchar &t : texture) {
        state = state * 1664525u + 1013904223u;
        t = uchar(state >> 27); // 0..31
    }
    std::vector<Platform::VideoFramePtr> out;
    for (int f = 0; f < kDistinctPictures; ++f) {
        const int stride = kWidth * 4;
        std::shared_ptr<uchar[]> pixels(new uchar[size_t(stride) * kHeight]);
        for (int y = 0; y < kHeight; ++y) {
            uchar *row = pixels.get() + size_t(y) * stride;
            for (int x = 0; x < kWidth; ++x) {
                const int t = texture[size_t((y + 2 * f) % textureSize) * textureSize + size_t((x + 5 * f) % textureSize)];
                int r = 128 + wave[size_t((x + 7 * f) & 1023)] + t - 16;
                int g = 128 + wave[size_t((y * 2 + 11 * f) & 1023)] / 2 + t - 16;
                int b = 128 + wave[size_t((x + y + 13 * f) & 1023)] + t - 16;
                const int bx = (40 * f) % kWidth;
                if (x >= bx && x < bx + 300 && y >= 300 && y < 600)
                    r = g = b = 230;
                row[4 * x] = uchar(std::clamp(b, 0, 255));
                row[4 * x + 1] = uchar(std::clamp(g, 0, 255));
                row[4 * x + 2] = uchar(std::clamp(r, 0, 255));
                row[4 * x + 3] = 255;
            }
        }
        auto frame = std::make_shared<Platform::VideoFrame>();
        frame->data = pixels.get();
        frame->width = kWidth;
        frame->height = kHeight;
        frame->stride = stride;
        frame->storage = pixels;
        out.push_back(frame);
    }
    return out;
}

Platform::H264EncoderConfig config() { return BenchEncoder::senderConfig(kWidth, kHeight, kFps, kBitrate, kLimitBytes); }

// Times `code(encoder, i)` for every frame on an encoder opened with the
// bench's settings, after `setUp(encoder)`, with the flush.
template<typename SetUp, typename Code>
Figure timedEncoder(SetUp setUp, Code code)
{
    auto encoder = Platform::Linux::makeH264Encoder();
    QString error;
    if (!encoder->open(config(), &error))
        return {};
    setUp(*encoder);
    std::vector<Platform::H264EncodedFrame> out;
    QElapsedTimer timer;
    const double cpu = BenchProcess::cpuSeconds(RUSAGE_SELF);
    timer.start();
    for (int i = 0; i < kFrames; ++i) {
        code(*encoder, i, out);
        out.clear();
    }
    encoder->flush(out);
    const Figure f = figure(timer.nsecsElapsed() / 1e9, BenchProcess::cpuSeconds(RUSAGE_SELF) - cpu, kFrames);
    encoder->close();
    return f;
}

// x264 alone: the pictures are converted before the clock starts.
Figure x264Alone(const std::vector<Platform::VideoFramePtr> &input)
{
    std::vector<std::unique_ptr<Platform::H264Picture>> pictures;
    return timedEncoder(
        [&](Platform::H264Encoder &encoder) {
            for (const auto &frame : input) {
                pictures.push_back(encoder.makePicture());
                encoder.convert(frame, *pictures.back());
            }
        },
        [&](Platform::H264Encoder &encoder, int i, std::vector<Platform::H264EncodedFrame> &out) {
            encoder.encodePicture(*pictures[size_t(i) % pictures.size()], i * 50, 50, false, out);
        });
}

// Conversion then coding on the calling thread, picture after picture.
Figure oneStage(const std::vector<Platform::VideoFramePtr> &input)
{
    return timedEncoder([](Platform::H264Encoder &) {},
                        [&](Platform::H264Encoder &encoder, int i, std::vector<Platform::H264EncodedFrame> &out) {
                            encoder.encode(*input[size_t(i) % input.size()], i * 50, 50, false, out);
                        });
}

class Counter : public VTPCompressionSessionDelegate {
public:
    void videoCompressionSessionDidEncodeSampleBuffer(VTPCompressionSession *, const VTPSampleBufferRef &) override
    {
        ++coded;
    }
    void videoCompressionSessionDidDropSampleBuffer(VTPCompressionSession *, const VTPSampleBufferRef &) override
    {
        ++dropped;
    }
    std::atomic<int> coded{0};
    std::atomic<int> dropped{0};
};

// The session as the capture roads use it, fed as fast as it takes pictures
// without dropping any: a picture goes in once the one three before it is out.
Figure session(const std::vector<Platform::VideoFramePtr> &input, QObject *queue, int *dropped)
{
    Counter counter;
    Figure f;
    {
        VTPCompressionSession s(kWidth, kHeight, kVTPCodecTypeH264, nullptr, Platform::Linux::makeH264Encoder());
        s.setDelegate(&counter, queue);
        s.setRealtime(true);
        s.setAllowFrameReordering(false);
        s.setMaxKeyframeInterval(1440000);
        s.setAverageBitrate(qint32(kBitrate));
        s.setDataRateLimits({kLimitBytes, 1});
        s.setMaxframeDelayCount(1);
        s.setProfileLevel(VTPProfileLevel::H264_Main_AutoLevel);
        s.prepare();
        QElapsedTimer timer;
        const double cpu = BenchProcess::cpuSeconds(RUSAGE_SELF);
        timer.start();
        for (int i = 0; i < kFrames; ++i) {
            if (i >= 3)
                s.finishUntilPresentationTimeStamp((i - 3) * 50);
            s.encodePixelBuffer(input[size_t(i) % input.size()], i * 50, 50, false);
        }
        s.finish();
        f = figure(timer.nsecsElapsed() / 1e9, BenchProcess::cpuSeconds(RUSAGE_SELF) - cpu, kFrames);
    }
    // Let the delegate's thread see the last results before the counter goes.
    QMetaObject::invokeMethod(queue, [] {}, Qt::BlockingQueuedConnection);
    *dropped = counter.dropped;
    return f;
}

// The conversion alone: ours, and libswscale as the session used it before
// (slice threads) and on one thread.
struct Conversion {
    Figure ours;
    Figure swscaleThreads;
    Figure swscaleOne;
};

Figure swscale(const std::vector<Platform::VideoFramePtr> &input, int threads, int flags)
{
    SwsContext *scaler = sws_alloc_context();
    av_opt_set_int(scaler, "srcw", kWidth, 0);
    av_opt_set_int(scaler, "srch", kHeight, 0);
    av_opt_set_int(scaler, "src_format", AV_PIX_FMT_BGR0, 0);
    av_opt_set_int(scaler, "dstw", kWidth, 0);
    av_opt_set_int(scaler, "dsth", kHeight, 0);
    av_opt_set_int(scaler, "dst_format", AV_PIX_FMT_YUV420P, 0);
    av_opt_set_int(scaler, "sws_flags", flags, 0);
    av_opt_set_int(scaler, "threads", threads, 0);
    if (sws_init_context(scaler, nullptr, nullptr) < 0)
        return {};
    sws_setColorspaceDetails(scaler, sws_getCoefficients(SWS_CS_DEFAULT), 1, sws_getCoefficients(SWS_CS_ITU709), 0,
                             0, 1 << 16, 1 << 16);
    AVFrame *target = av_frame_alloc();
    target->format = AV_PIX_FMT_YUV420P;
    target->width = kWidth;
    target->height = kHeight;
    av_frame_get_buffer(target, 0);
    AVFrame *source = av_frame_alloc();
    const int frames = kFrames / 2;
    QElapsedTimer timer;
    const double cpu = BenchProcess::cpuSeconds(RUSAGE_SELF);
    timer.start();
    for (int i = 0; i < frames; ++i) {
        const Platform::VideoFrame &frame = *input[size_t(i) % input.size()];
        source->format = AV_PIX_FMT_BGR0;
        source->width = kWidth;
        source->height = kHeight;
        source->data[0] = const_cast<uchar *>(frame.data);
        source->linesize[0] = frame.stride;
        source->buf[0] = av_buffer_create(const_cast<uchar *>(frame.data), frame.stride * kHeight,
                                          [](void *, uint8_t *) {}, nullptr, AV_BUFFER_FLAG_READONLY);
        sws_scale_frame(scaler, target, source);
        av_frame_unref(source);
    }
    const Figure f = figure(timer.nsecsElapsed() / 1e9, BenchProcess::cpuSeconds(RUSAGE_SELF) - cpu, frames);
    av_frame_free(&source);
    av_frame_free(&target);
    sws_freeContext(scaler);
    return f;
}

Figure ourConversion(const std::vector<Platform::VideoFramePtr> &input)
{
    auto encoder = Platform::Linux::makeH264Encoder();
    QString error;
    if (!encoder->open(config(), &error))
        return {};
    auto picture = encoder->makePicture();
    const int frames = kFrames / 2;
    QElapsedTimer timer;
    const double cpu = BenchProcess::cpuSeconds(RUSAGE_SELF);
    timer.start();
    for (int i = 0; i < frames; ++i)
        encoder->convert(input[size_t(i) % input.size()], *picture);
    const Figure f = figure(timer.nsecsElapsed() / 1e9, BenchProcess::cpuSeconds(RUSAGE_SELF) - cpu, frames);
    encoder->close();
    return f;
}

void print(const char *name, const Figure &f, const Figure &floor)
{
    std::printf("  %-44s %7.1f fps  %6.2f ms CPU/frame  (%.2fx x264 alone's rate, %+.2f ms CPU)\n", name, f.fps,
                f.cpuMs, f.fps / floor.fps, f.cpuMs - floor.cpuMs);
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QThread delegateThread;
    delegateThread.start();
    QObject queue;
    queue.moveToThread(&delegateThread);

    std::printf("Encoding bench: %dx%d moving pictures, %d frames a run, median of %d interleaved runs; x264 "
                "veryfast/zerolatency, Main, no B-frames, %lld bit/s, VBV %lld bytes per 1 s; %d cores\n",
                kWidth, kHeight, kFrames, kRuns, kBitrate, kLimitBytes, QThread::idealThreadCount());
    std::printf("load before: %s\n", load().c_str());
    const std::vector<Platform::VideoFramePtr> input = movingPictures();

    std::vector<Figure> alone, staged, serial, ours, swsThreads, swsOne;
    int dropped = 0;
    for (int run = 0; run < kRuns; ++run) {
        alone.push_back(x264Alone(input));
        int d = 0;
        staged.push_back(session(input, &queue, &d));
        dropped += d;
        serial.push_back(oneStage(input));
        ours.push_back(ourConversion(input));
        swsThreads.push_back(swscale(input, std::clamp(QThread::idealThreadCount(), 1, 8), SWS_BILINEAR));
        swsOne.push_back(swscale(input, 1, SWS_FAST_BILINEAR));
    }
    const Figure floor = median(alone);
    std::printf("coding:\n");
    print("x264 alone (pictures converted beforehand)", floor, floor);
    print("compression session (two stages)", median(staged), floor);
    print("encoder in one stage (convert, then code)", median(serial), floor);
    // What the session did before conversion had a thread of its own:
    // libswscale on slice threads, then coding, one after the other.
    const Figure threads = median(swsThreads);
    print("before: libswscale then coding, serial (sum)",
          {1000.0 / (1000.0 / threads.fps + 1000.0 / floor.fps), threads.cpuMs + floor.cpuMs}, floor);
    std::printf("  session drops: %d\n", dropped);
    std::printf("BGRA -> I420 BT.709 limited range, conversion alone:\n");
    auto conv = [](const char *name, const Figure &f) {
        std::printf("  %-44s %7.2f ms/frame wall  %6.2f ms CPU/frame\n", name, 1000.0 / f.fps, f.cpuMs);
    };
    conv("ours (plain loop, one thread)", median(ours));
    conv("libswscale, bilinear, slice threads", median(swsThreads));
    conv("libswscale, fast bilinear, one thread", median(swsOne));
    std::printf("load after: %s\n", load().c_str());
    QMetaObject::invokeMethod(&queue, [&] { queue.moveToThread(app.thread()); }, Qt::BlockingQueuedConnection);
    delegateThread.quit();
    delegateThread.wait();
    return 0;
}
