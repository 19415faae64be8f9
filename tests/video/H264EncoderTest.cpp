// The x264 encoder behind the compression session, checked by decoding what
// the video stream would carry with libavcodec.

#include <QThread>
#include <cstring>
#include <gtest/gtest.h>

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

class H264RoadRates : public ::testing::TestWithParam<RoadRates> {};

TEST_P(H264RoadRates, BitRateAndRateLimitHoldOnTheEncodedStream)
{
    const RoadRates road = GetParam();
    constexpr int kFps = 20;
    const QSize size(640, 360);
    auto encoder = Platform::Linux::makeH264Encoder();
    Platform::H264EncoderConfig config;
    config.width = size.width();
    config.height = size.height();
    config.fps = kFps;
    config.maxKeyframeInterval = 1440000;
    config.allowFrameReordering = false;
    config.averageBitrate = road.averageBitrate;
    config.dataRateLimitBytes = road.limitBytes;
    config.dataRateLimitSeconds = 1;
    config.realtime = true;
    config.maxFrameDelayCount = 1;
    config.profile = Platform::H264Profile::Main;
    QString error;
    ASSERT_TRUE(encoder->open(config, &error)) << error.toStdString();

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
