// The x264 encoder behind the compression session, checked by decoding what
// the video stream would carry with libavcodec.

#include <QThread>
#include <algorithm>
#include <array>
#include <cstring>
#include <gtest/gtest.h>

extern "C" {
#include <libavutil/pixfmt.h>
}

#include "FakeScreenSource.h"
#include "Mirror/H264Packet.h"
#include "Platform/LinuxPlatform.h"
#include "TestSupport.h"
#include "VideoStreamDecoder.h"
#include "VideoToolBox/VTPCompressionSession.h"

using Platform::Fake::FakeScreenSource;

namespace {

class Collector : public VTPCompressionSessionDelegate {
public:
    void videoCompressionSessionDidEncodeSampleBuffer(VTPCompressionSession *,
                                                      const VTPSampleBufferRef &buffer) override
    {
        samples.append(buffer);
    }
    void videoCompressionSessionDidDropSampleBuffer(VTPCompressionSession *, const VTPSampleBufferRef &) override
    {
        ++drops;
    }
    QList<VTPSampleBufferRef> samples;
    int drops = 0;
};

// A session set up as the capture roads set theirs up.
std::unique_ptr<VTPCompressionSession> castSession(int width, int height, Collector &collector)
{
    auto session = std::make_unique<VTPCompressionSession>(width, height, kVTPCodecTypeH264, nullptr,
                                                           Platform::Linux::makeH264Encoder());
    EXPECT_TRUE(session->isValid());
    session->setDelegate(&collector, nullptr);
    TavlinError error;
    session->setRealtime(true);
    EXPECT_TRUE(session->setAllowFrameReordering(false, &error));
    EXPECT_TRUE(session->setMaxKeyframeInterval(1440000, &error));
    EXPECT_TRUE(session->setAverageBitrate(3355443, &error));
    EXPECT_TRUE(session->setDataRateLimits({1048576, 1}, &error));
    EXPECT_TRUE(session->setMaxframeDelayCount(1, &error));
    session->prepare();
    return session;
}

// Encodes `count` moving pictures of `source` size, each waited for so that
// none is dropped.
QList<VTPSampleBufferRef> encode(VTPCompressionSession &session, Collector &collector, QSize source, int count,
                                 QList<int> forced = {})
{
    for (int i = 0; i < count; ++i) {
        EXPECT_TRUE(session.encodePixelBuffer(FakeScreenSource::makeFrame(source, i), 1000 + i * 50, 50,
                                              forced.contains(i)));
        EXPECT_TRUE(session.finishUntilPresentationTimeStamp(1000 + i * 50));
    }
    session.finish();
    EXPECT_TRUE(TestSupport::waitFor([&] { return collector.samples.size() + collector.drops >= count; }, 20000));
    return collector.samples;
}

// The stream as the receiver sees it: one parameter-set packet, then frames.
struct Stream {
    QList<QByteArray> payloads;
    QList<quint16> types;
};

Stream frame(const QList<VTPSampleBufferRef> &samples)
{
    Stream stream;
    bool first = true;
    for (const VTPSampleBufferRef &s : samples) {
        if (first) {
            H264Packet sets;
            sets.packetizeSPS_PPS(*s);
            stream.payloads << sets.data();
            stream.types << H264PacketTypeParameterSets;
            first = false;
        }
        stream.payloads << H264Packet(*s).data();
        stream.types << H264PacketTypeCodedFrame;
    }
    return stream;
}

} // namespace

TEST(H264Encoding, CastSizeDecodesFrameForFrame)
{
    Collector collector;
    auto session = castSession(1728, 1080, collector);
    const QList<VTPSampleBufferRef> samples = encode(*session, collector, QSize(1728, 1080), 30);
    ASSERT_EQ(samples.size(), 30);
    EXPECT_EQ(collector.drops, 0);

    const Stream stream = frame(samples);
    // The parameter-set packet holds exactly SPS and PPS.
    EXPECT_EQ(VideoStreamDecoder::nalTypes(stream.payloads[0]), (QList<int>{7, 8}));
    // The first frame is an IDR, which carries the parameter sets again; no
    // other frame is a key frame (the key-frame interval is huge).
    const QList<int> first = VideoStreamDecoder::nalTypes(stream.payloads[1]);
    EXPECT_TRUE(first.contains(5));
    EXPECT_TRUE(first.contains(7) && first.contains(8));
    EXPECT_FALSE(samples[0]->notSync);
    for (int i = 1; i < samples.size(); ++i) {
        EXPECT_TRUE(samples[i]->notSync) << i;
        EXPECT_FALSE(VideoStreamDecoder::nalTypes(stream.payloads[i + 1]).contains(5)) << i;
        EXPECT_EQ(samples[i]->presentationTimeStamp, 1000 + i * 50);
    }

    VideoStreamDecoder decoder;
    for (const QByteArray &payload : stream.payloads)
        EXPECT_TRUE(decoder.decode(payload));
    // No reordering: every frame is out before the next goes in.
    EXPECT_EQ(decoder.frameCount(), 30);
    decoder.flush();
    EXPECT_EQ(decoder.frameCount(), 30);
    EXPECT_EQ(decoder.errorCount(), 0);
    EXPECT_EQ(decoder.lastSize(), QSize(1728, 1080));
    EXPECT_EQ(decoder.reorderDepth(), 0);
}

TEST(H264Encoding, SourcesOfOtherSizesAreScaled)
{
    struct Case {
        QSize coded;
        QSize source;
    };
    for (const Case &c : {Case{{1368, 768}, {1366, 768}}, Case{{1280, 720}, {1921, 1081}},
                          Case{{720, 1280}, {1080, 1920}}, Case{{640, 360}, {333, 177}}}) {
        Collector collector;
        auto session = castSession(c.coded.width(), c.coded.height(), collector);
        const Stream stream = frame(encode(*session, collector, c.source, 8));
        VideoStreamDecoder decoder;
        for (const QByteArray &payload : stream.payloads)
            decoder.decode(payload);
        decoder.flush();
        EXPECT_EQ(decoder.frameCount(), 8) << c.source.width();
        EXPECT_EQ(decoder.errorCount(), 0);
        EXPECT_EQ(decoder.lastSize(), c.coded);
    }
}

TEST(H264Encoding, ForcedKeyFramesAndColours)
{
    Collector collector;
    auto session = castSession(320, 240, collector);
    const QList<VTPSampleBufferRef> samples = encode(*session, collector, QSize(320, 240), 6, {3});
    ASSERT_EQ(samples.size(), 6);
    EXPECT_FALSE(samples[3]->notSync);
    EXPECT_TRUE(samples[2]->notSync);
    EXPECT_TRUE(VideoStreamDecoder::nalTypes(H264Packet(*samples[3]).data()).contains(5));

    // A white bar sits at the left edge of picture 0: bright luma there,
    // darker gradient on the right of it.
    Collector still;
    auto single = castSession(320, 240, still);
    const Stream stream = frame(encode(*single, still, QSize(320, 240), 1));
    VideoStreamDecoder decoder;
    for (const QByteArray &payload : stream.payloads)
        decoder.decode(payload);
    decoder.flush();
    ASSERT_EQ(decoder.frameCount(), 1);
    EXPECT_GT(decoder.lumaAt(10, 120), 200);
    EXPECT_LT(decoder.lumaAt(100, 20), 150);
}

namespace {

// A picture of noise: nothing in it predicts anything else, so the encoder
// spends all the bits it is allowed.
Platform::VideoFramePtr noise(QSize size, quint32 seed)
{
    auto frame = std::make_shared<Platform::VideoFrame>();
    std::shared_ptr<uchar[]> pixels(new uchar[size_t(size.width()) * size_t(size.height()) * 4]);
    quint32 state = seed * 2654435761u + 1;
    for (size_t i = 0; i < size_t(size.width()) * size_t(size.height()); ++i) {
        state = state * 1664525u + 1013904223u;
        std::memcpy(pixels.get() + i * 4, &state, 4);
    }
    frame->data = pixels.get();
    frame->width = size.width();
    frame->height = size.height();
    frame->stride = size.width() * 4;
    frame->storage = pixels;
    return frame;
}

} // namespace

struct RoadRates {
    const char *name;
    qint64 averageBitrate;
    qint64 limitBytes;
};

class H264RoadRates : public ::testing::TestWithParam<RoadRates> {
protected:
    // The encoder set up as the road's video sender sets it up.
    static Platform::H264EncoderConfig roadConfig(const RoadRates &road, QSize size, int fps)
    {
        Platform::H264EncoderConfig config;
        config.width = size.width();
        config.height = size.height();
        config.fps = fps;
        config.maxKeyframeInterval = 1440000;
        config.allowFrameReordering = false;
        config.averageBitrate = road.averageBitrate;
        config.dataRateLimitBytes = road.limitBytes;
        config.dataRateLimitSeconds = 1;
        config.realtime = true;
        config.maxFrameDelayCount = 1;
        config.profile = Platform::H264Profile::Main;
        return config;
    }
};

TEST_P(H264RoadRates, BitRateAndRateLimitHoldOnTheEncodedStream)
{
    const RoadRates road = GetParam();
    constexpr int kFps = 20;
    const QSize size(640, 360);
    auto encoder = Platform::Linux::makeH264Encoder();
    QString error;
    ASSERT_TRUE(encoder->open(roadConfig(road, size, kFps), &error)) << error.toStdString();

    // Busy for six seconds, still for two, busy again: the first stretch
    // shows the average, and a busy screen after a still one is where a limit
    // gives way, if it does. Each busy picture is noise unlike the one
    // before.
    const Platform::VideoFramePtr still = FakeScreenSource::makeFrame(size, 0);
    QList<Platform::VideoFramePtr> busyPictures;
    for (int i = 0; i < 7; ++i)
        busyPictures << noise(size, quint32(i));
    constexpr int kFrames = 220;
    std::vector<Platform::H264EncodedFrame> out;
    for (int i = 0; i < kFrames; ++i) {
        const bool busy = i < 120 || i >= 160;
        const Platform::VideoFramePtr &picture = busy ? busyPictures[i % busyPictures.size()] : still;
        ASSERT_TRUE(encoder->encode(*picture, i * 50, 50, i == 0, out));
    }
    ASSERT_TRUE(encoder->flush(out));
    QList<qint64> sizes;
    for (const Platform::H264EncodedFrame &f : out)
        sizes << f.data.size();
    ASSERT_EQ(sizes.size(), kFrames);

    // No second of the stream carries more than the limit.
    qint64 worst = 0;
    for (int from = 0; from + kFps <= sizes.size(); ++from) {
        qint64 window = 0;
        for (int i = from; i < from + kFps; ++i)
            window += sizes[i];
        worst = std::max(worst, window);
    }
    EXPECT_LE(worst, road.limitBytes);
    // The busy seconds come close to the limit or to the average, whichever
    // is lower: the limit is what bounds them, not something tighter.
    EXPECT_GT(worst, std::min(road.limitBytes, road.averageBitrate / 8) * 8 / 10);

    // Busy seconds settle at the average bit rate.
    qint64 busyBytes = 0;
    for (int i = 40; i < 120; ++i)
        busyBytes += sizes[i];
    const double bitsPerSecond = double(busyBytes) * 8 / (80.0 / kFps);
    EXPECT_NEAR(bitsPerSecond, double(road.averageBitrate), road.averageBitrate * 0.15);
    encoder->close();
}

INSTANTIATE_TEST_SUITE_P(Roads, H264RoadRates,
                         ::testing::Values(RoadRates{"DisplayStreamUpTo1080", 3355443, 1048576},
                                           RoadRates{"DisplayStreamTaller", 6710886, 2097152},
                                           RoadRates{"CaptureSession", 6710886, 1048576}),
                         [](const ::testing::TestParamInfo<RoadRates> &road) { return std::string(road.param.name); });

TEST_P(H264RoadRates, AKeyFrameMaySpendTheBufferTheLimitLeaves)
{
    // The key frame that opens a stream of noise wants far more than any
    // limit gives it: what it gets is bounded by the buffer.
    const RoadRates road = GetParam();
    constexpr int kFps = 20;
    const QSize size = road.limitBytes > 1048576 ? QSize(1080, 1920) : QSize(1920, 1080);
    auto encoder = Platform::Linux::makeH264Encoder();
    QString error;
    ASSERT_TRUE(encoder->open(roadConfig(road, size, kFps), &error)) << error.toStdString();
    std::vector<Platform::H264EncodedFrame> out;
    for (int i = 0; i < 2 * kFps; ++i)
        ASSERT_TRUE(encoder->encode(*noise(size, quint32(100 + i)), i * 50, 50, i == 0, out));
    ASSERT_TRUE(encoder->flush(out));
    ASSERT_EQ(out.size(), size_t(2 * kFps));
    qint64 worst = 0;
    for (size_t from = 0; from + kFps <= out.size(); ++from) {
        qint64 window = 0;
        for (size_t i = from; i < from + kFps; ++i)
            window += out[i].data.size();
        worst = std::max(worst, window);
    }
    EXPECT_TRUE(out[0].keyframe);
    EXPECT_LE(worst, road.limitBytes);
    // What a second leaves above the average is the key frame's to spend;
    // x264 plans to keep part of it, but most of it goes into the frame
    // (a buffer sized by a rate far above the average, or a fill that
    // starts below full, gives it less than half).
    const qint64 leftAboveAverage = road.limitBytes - road.averageBitrate / 8;
    EXPECT_GT(out[0].data.size(), leftAboveAverage * 55 / 100);
    encoder->close();
}

TEST(H264Encoding, PlatformEncoderRefusesOddSizes)
{
    auto encoder = Platform::Linux::makeH264Encoder();
    Platform::H264EncoderConfig config;
    config.width = 321;
    config.height = 240;
    QString error;
    EXPECT_FALSE(encoder->open(config, &error));
    EXPECT_FALSE(error.isEmpty());
    config.width = 320;
    EXPECT_TRUE(encoder->open(config, &error)) << error.toStdString();
    std::vector<Platform::H264EncodedFrame> out;
    Platform::VideoFrame broken;
    EXPECT_FALSE(encoder->encode(broken, 0, 0, false, out));
    EXPECT_TRUE(encoder->encode(*FakeScreenSource::makeFrame(QSize(320, 240), 0), 0, 50, false, out));
    ASSERT_EQ(out.size(), 1u);
    EXPECT_TRUE(out[0].keyframe);
    encoder->close();
}

namespace {

// Colours that tell the matrix and the range apart: 75% bars, saturated and
// mixed patches, and a grey ramp (where a full-range slip shows most), each
// patch a whole number of macroblocks so that its middle is flat.
struct Patch {
    int x, y; // in 32-pixel cells
    quint8 r, g, b;
};

QList<Patch> colourChart()
{
    QList<Patch> chart;
    const quint8 bars[7][3] = {{191, 191, 191}, {191, 191, 0}, {0, 191, 191}, {0, 191, 0},
                               {191, 0, 191},   {191, 0, 0},   {0, 0, 191}};
    for (int i = 0; i < 7; ++i)
        chart.append({i, 0, bars[i][0], bars[i][1], bars[i][2]});
    const quint8 solids[7][3] = {{255, 0, 0},    {0, 255, 0},   {0, 0, 255},  {255, 255, 255},
                                 {0, 0, 0},      {200, 100, 50}, {40, 160, 220}};
    for (int i = 0; i < 7; ++i)
        chart.append({i, 1, solids[i][0], solids[i][1], solids[i][2]});
    for (int i = 0; i < 7; ++i) {
        const auto level = quint8(16 + i * 37);
        chart.append({i, 2, level, level, level});
    }
    return chart;
}

// The chart at `scale` times its coded size of 224x96 (7x3 cells of 32).
Platform::VideoFramePtr chartPicture(int scale)
{
    const int cell = 32 * scale;
    const QSize size(7 * cell, 3 * cell);
    auto frame = std::make_shared<Platform::VideoFrame>();
    const int stride = size.width() * 4 + 16; // rows with padding, as captures have
    std::shared_ptr<uchar[]> pixels(new uchar[size_t(stride) * size_t(size.height())]());
    for (const Patch &p : colourChart()) {
        for (int y = p.y * cell; y < (p.y + 1) * cell; ++y) {
            for (int x = p.x * cell; x < (p.x + 1) * cell; ++x) {
                uchar *px = pixels.get() + size_t(y) * size_t(stride) + size_t(x) * 4;
                px[0] = p.b;
                px[1] = p.g;
                px[2] = p.r;
                px[3] = 0xff;
            }
        }
    }
    frame->data = pixels.get();
    frame->width = size.width();
    frame->height = size.height();
    frame->stride = stride;
    frame->storage = pixels;
    return frame;
}

// Limited-range BT.709 back to full-range RGB, from the matrix's constants.
std::array<double, 3> rgbFromBt709(double y, double cb, double cr)
{
    constexpr double kr = 0.2126;
    constexpr double kb = 0.0722;
    constexpr double kg = 1 - kr - kb;
    const double luma = (y - 16) * 255.0 / 219.0;
    const double u = (cb - 128) * 255.0 / 224.0;
    const double v = (cr - 128) * 255.0 / 224.0;
    return {luma + 2 * (1 - kr) * v, luma - 2 * (1 - kb) * kb / kg * u - 2 * (1 - kr) * kr / kg * v,
            luma + 2 * (1 - kb) * u};
}

// Every patch's middle, read back from the decoder's last picture.
void expectChart(const VideoStreamDecoder &decoder, const char *what)
{
    for (const Patch &p : colourChart()) {
        double y = 0, cb = 0, cr = 0;
        int n = 0;
        for (int dy = 10; dy < 22; dy += 2) {
            for (int dx = 10; dx < 22; dx += 2) {
                y += decoder.lumaAt(p.x * 32 + dx, p.y * 32 + dy);
                cb += decoder.chromaBlueAt(p.x * 32 + dx, p.y * 32 + dy);
                cr += decoder.chromaRedAt(p.x * 32 + dx, p.y * 32 + dy);
                ++n;
            }
        }
        const std::array<double, 3> rgb = rgbFromBt709(y / n, cb / n, cr / n);
        const double expected[3] = {double(p.r), double(p.g), double(p.b)};
        for (int c = 0; c < 3; ++c)
            EXPECT_NEAR(std::clamp(rgb[c], 0.0, 255.0), expected[c], 4.0)
                << what << ": patch " << p.x << "," << p.y << " channel " << "RGB"[c];
    }
}

} // namespace

TEST(H264Encoding, ColoursComeBackThroughBt709LimitedRange)
{
    // Coded size 224x96. Pictures of that size take the direct conversion;
    // pictures twice as large are scaled; the size changes mid-stream.
    Collector collector;
    auto session = std::make_unique<VTPCompressionSession>(224, 96, kVTPCodecTypeH264, nullptr,
                                                           Platform::Linux::makeH264Encoder());
    session->setDelegate(&collector, nullptr);
    TavlinError error;
    EXPECT_TRUE(session->setAllowFrameReordering(false, &error));
    EXPECT_TRUE(session->setAverageBitrate(20000000, &error));
    EXPECT_TRUE(session->setDataRateLimits({4000000, 1}, &error));
    session->prepare();
    const int scales[] = {1, 2, 1, 2};
    for (int i = 0; i < 4; ++i) {
        EXPECT_TRUE(session->encodePixelBuffer(chartPicture(scales[i]), i * 50, 50, false));
        EXPECT_TRUE(session->finishUntilPresentationTimeStamp(i * 50));
    }
    session->finish();
    ASSERT_TRUE(TestSupport::waitFor([&] { return collector.samples.size() + collector.drops >= 4; }, 20000));
    ASSERT_EQ(collector.samples.size(), 4);

    const Stream stream = frame(collector.samples);
    VideoStreamDecoder decoder;
    ASSERT_TRUE(decoder.decode(stream.payloads[0]));
    for (int i = 0; i < 4; ++i) {
        ASSERT_TRUE(decoder.decode(stream.payloads[i + 1]));
        ASSERT_EQ(decoder.frameCount(), i + 1);
        EXPECT_EQ(decoder.lastSize(), QSize(224, 96));
        expectChart(decoder, scales[i] == 1 ? "direct" : "scaled");
    }
    // The stream says what the pixels are.
    EXPECT_EQ(decoder.colourMatrix(), AVCOL_SPC_BT709);
    EXPECT_EQ(decoder.colourPrimaries(), AVCOL_PRI_BT709);
    EXPECT_EQ(decoder.colourTransfer(), AVCOL_TRC_BT709);
    EXPECT_EQ(decoder.colourRange(), AVCOL_RANGE_MPEG);
}
