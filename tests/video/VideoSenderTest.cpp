// Both capture roads against the receiver's video port on loopback, with a
// synthetic screen: what goes on the wire, the status codes, pause, re-size,
// back-pressure and the ends of a connection.

#include <QDir>
#include <QFile>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <mutex>
#include <optional>

extern "C" {
#include <x264.h>
}

#include "FakeH264Encoder.h"
#include "FakeScreenSource.h"
#include "HangingListener.h"
#include "Mirror/H264Packet.h"
#include "Mirror/TickCount.h"
#include "Mirror/VideoDisplaySession.h"
#include "Mirror/VideoSession.h"
#include "Mirror/VideoSizing.h"
#include "Platform/LinuxPlatform.h"
#include "Platform/TcpOptions.h"
#include "X264Encoder.h"
#include "TestSupport.h"
#include "Utils/TavlinGlobal/TavlinGlobal.h"
#include "VideoReceiver.h"
#include "VideoTestTools.h"

using Platform::Fake::FakeEncoderProbe;
using Platform::Fake::FakeH264Encoder;
using Platform::Fake::FakeScreenSource;

namespace {

// The time stamp the fake encoder wrote into a coded unit (after the start
// code and the unit's type byte).
qint64 ptsOf(const QByteArray &payload)
{
    qsizetype end = 5;
    while (end < payload.size() && payload[end] >= '0' && payload[end] <= '9')
        ++end;
    return payload.mid(5, end - 5).toLongLong();
}

// The units of a parameter-set payload (00 00 00 01 before each).
QList<QByteArray> unitsOf(const QByteArray &payload)
{
    QList<QByteArray> units;
    const QByteArray start("\x00\x00\x00\x01", 4);
    qsizetype at = payload.indexOf(start);
    while (at >= 0) {
        const qsizetype next = payload.indexOf(start, at + 4);
        units << payload.mid(at + 4, next < 0 ? -1 : next - at - 4);
        at = next;
    }
    return units;
}

// entropy_coding_mode_flag of a picture parameter set: after the unit's
// header byte come two Exp-Golomb numbers (the set's and its SPS's ids).
int entropyCodingModeOf(const QByteArray &pps)
{
    int bit = 8;
    auto next = [&] { return (uchar(pps[bit / 8]) >> (7 - bit % 8)) & 1; };
    for (int number = 0; number < 2; ++number) {
        int zeros = 0;
        while (bit < pps.size() * 8 && next() == 0) {
            ++zeros;
            ++bit;
        }
        bit += zeros + 1;
    }
    return bit < pps.size() * 8 ? next() : -1;
}

// The fake encoder, except that it cannot encode the picture captured at
// one time: the session drops that picture.
class DroppingEncoder final : public Platform::H264Encoder {
public:
    DroppingEncoder(std::shared_ptr<FakeEncoderProbe> probe, qint64 droppedCaptureMs)
        : m_inner(std::move(probe)), m_droppedCaptureMs(droppedCaptureMs)
    {
    }
    bool open(const Platform::H264EncoderConfig &config, QString *error) override
    {
        return m_inner.open(config, error);
    }
    bool reconfigure(const Platform::H264EncoderConfig &config) override { return m_inner.reconfigure(config); }
    bool encode(const Platform::VideoFrame &frame, qint64 pts, qint64 duration, bool forceKeyframe,
                std::vector<Platform::H264EncodedFrame> &out) override
    {
        if (frame.timestampMs == m_droppedCaptureMs)
            return false;
        return m_inner.encode(frame, pts, duration, forceKeyframe, out);
    }
    bool flush(std::vector<Platform::H264EncodedFrame> &out) override { return m_inner.flush(out); }
    int delayedFrames() const override { return m_inner.delayedFrames(); }
    void close() override { m_inner.close(); }

private:
    FakeH264Encoder m_inner;
    qint64 m_droppedCaptureMs;
};


// x264 as the sender opens it, keeping the settings x264 reports once open.
class ReadBackEncoder final : public Platform::H264Encoder {
public:
    struct Settings {
        std::mutex mutex;
        std::optional<x264_param_t> params;

        std::optional<x264_param_t> get()
        {
            std::lock_guard lock(mutex);
            return params;
        }
    };

    explicit ReadBackEncoder(std::shared_ptr<Settings> settings) : m_settings(std::move(settings)) {}

    bool open(const Platform::H264EncoderConfig &config, QString *error) override
    {
        if (!m_inner.open(config, error))
            return false;
        x264_param_t params;
        if (m_inner.parameters(params)) {
            std::lock_guard lock(m_settings->mutex);
            m_settings->params = params;
        }
        return true;
    }
    bool reconfigure(const Platform::H264EncoderConfig &config) override { return m_inner.reconfigure(config); }
    bool encode(const Platform::VideoFrame &frame, qint64 pts, qint64 duration, bool forceKeyframe,
                std::vector<Platform::H264EncodedFrame> &out) override
    {
        return m_inner.encode(frame, pts, duration, forceKeyframe, out);
    }
    bool flush(std::vector<Platform::H264EncodedFrame> &out) override { return m_inner.flush(out); }
    int delayedFrames() const override { return m_inner.delayedFrames(); }
    void close() override { m_inner.close(); }
    std::unique_ptr<Platform::H264Picture> makePicture() override { return m_inner.makePicture(); }
    bool convert(const Platform::VideoFramePtr &frame, Platform::H264Picture &picture) override
    {
        return m_inner.convert(frame, picture);
    }
    bool encodePicture(Platform::H264Picture &picture, qint64 pts, qint64 duration, bool forceKeyframe,
                       std::vector<Platform::H264EncodedFrame> &out) override
    {
        return m_inner.encodePicture(picture, pts, duration, forceKeyframe, out);
    }

private:
    Platform::Linux::X264Encoder m_inner;
    std::shared_ptr<Settings> m_settings;
};

class VideoSenderTest : public VideoReceiverTest {
protected:

    // Services with a fake screen of `screenSize`; the fake encoder when a
    // probe is given, else x264.
    VideoSenderServices services(QSize screenSize, std::shared_ptr<FakeEncoderProbe> probe = {})
    {
        VideoSenderServices s;
        s.makeScreenSource = [this, screenSize] {
            auto source = std::make_unique<FakeScreenSource>(screenSize);
            screen = source.get();
            return source;
        };
        if (probe) {
            s.makeEncoder = [probe] { return std::make_unique<FakeH264Encoder>(probe); };
            // The fake's units are not H.264.
            receiver->setDecoding(false);
        }
        else
            s.makeEncoder = [] { return Platform::Linux::makeH264Encoder(); };
        return s;
    }

    void makeSender(Road road, const VideoSenderServices &s)
    {
        TavlinGlobal::setMacCpuChipBrand(road == Road::Apple ? QStringLiteral("Apple") : QStringLiteral("Intel"));
        sender = makeVideoSenderForCpuBrand(device, s, media);
        sender->setMonitorCallback([this](qint32 status) { statuses.append(status); });
    }

    QList<VideoReceivedPacket> packetsOfType(quint16 type) const
    {
        QList<VideoReceivedPacket> out;
        for (const VideoReceivedPacket &p : receiver->packets()) {
            if (p.type == type)
                out.append(p);
        }
        return out;
    }

    FakeScreenSource *screen = nullptr;
    QList<qint32> statuses;
};

} // namespace

TEST_F(VideoSenderTest, CpuBrandChoosesTheRoad)
{
    const VideoSenderServices s = services(QSize(640, 480), std::make_shared<FakeEncoderProbe>());
    for (const char *brand : {"Apple", "Intel", "unknow", ""}) {
        TavlinGlobal::setMacCpuChipBrand(QString::fromLatin1(brand));
        auto chosen = makeVideoSenderForCpuBrand(device, s, media);
        const bool apple = QByteArray(brand) == "Apple";
        EXPECT_EQ(dynamic_cast<VideoSession *>(chosen.get()) != nullptr, apple) << brand;
        EXPECT_EQ(dynamic_cast<VideoDisplaySession *>(chosen.get()) != nullptr, !apple) << brand;
        EXPECT_TRUE(chosen->isBusy());
        EXPECT_EQ(chosen->fps(), 20);
    }
}

TEST_F(VideoSenderTest, EachRoadStreamsDecodableVideo)
{
    // Nothing of the user's is touched: a debug-dump file stays where it is.
    QTemporaryDir home;
    const QByteArray savedHome = qgetenv("HOME");
    qputenv("HOME", home.path().toUtf8());
    const QString dump = home.path() + QStringLiteral("/Desktop/dumpfiles/dump.h264");
    QDir().mkpath(QFileInfo(dump).path());
    QFile(dump).open(QIODevice::WriteOnly);

    for (Road road : {Road::Apple, Road::Intel}) {
        SCOPED_TRACE(roadName(road));
        receiver = std::make_unique<VideoReceiver>(address);
        ASSERT_TRUE(receiver->start());
        statuses.clear();
        LogCapture log;
        makeSender(road, services(QSize(1280, 720)));
        EXPECT_EQ(sender->screenWidth(), 1280);
        EXPECT_EQ(sender->screenHeight(), 720);
        sender->startMrror();
        ASSERT_TRUE(TestSupport::waitFor([&] { return receiver->decodedFrames() >= 12; }, 20000));
        EXPECT_TRUE(sender->isCapturing());

        const QList<VideoReceivedPacket> packets = receiver->packets();
        ASSERT_GE(packets.size(), 2);
        EXPECT_EQ(packets[0].type, H264PacketTypeParameterSets);
        EXPECT_EQ(packets[0].nalTypes, (QList<int>{7, 8}));
        // Main profile (profile_idc 77) at a level the encoder chose, with
        // CABAC.
        const QList<QByteArray> sets = unitsOf(packets[0].payload);
        ASSERT_EQ(sets.size(), 2);
        ASSERT_GE(sets[0].size(), 4);
        EXPECT_EQ(uchar(sets[0][1]), 77);
        EXPECT_GT(uchar(sets[0][3]), 0);
        EXPECT_EQ(entropyCodingModeOf(sets[1]), 1);
        EXPECT_EQ(packets[1].type, H264PacketTypeCodedFrame);
        EXPECT_TRUE(packets[1].nalTypes.contains(5));
        EXPECT_EQ(packetsOfType(H264PacketTypeParameterSets).size(), 1);
        // Every stamp is the sender's uptime in 32.32 seconds.
        const quint64 nowSeconds = GetTickCount64() / 1000;
        for (const VideoReceivedPacket &p : packets)
            EXPECT_LE(nowSeconds - (p.timestamp >> 32), 30u);
        EXPECT_TRUE(receiver->headerErrors().isEmpty()) << receiver->headerErrors().join(',').toStdString();
        EXPECT_EQ(receiver->decodeErrors(), 0);
        EXPECT_EQ(receiver->decodedSize(), QSize(1280, 720));
        EXPECT_EQ(receiver->reorderDepth(), 0);
        EXPECT_EQ(log.count(QStringLiteral("ryle,tcp nodelay fail....")), 0);
        EXPECT_EQ(log.count(QStringLiteral("startScreenCapture")), road == Road::Apple ? 1 : 0);

        sender->stopMirror();
        ASSERT_TRUE(TestSupport::waitFor([&] { return !sender->isBusy(); }));
        EXPECT_FALSE(sender->isCapturing());
        EXPECT_FALSE(screen->isRunning());
        // This side closed: no status.
        TestSupport::spin(50); // for a status that must not come
        EXPECT_TRUE(statuses.isEmpty());
        if (road == Road::Intel) {
            // One write per packet, tags counting from 1.
            auto *display = static_cast<VideoDisplaySession *>(sender.get());
            EXPECT_TRUE(TestSupport::waitFor([&] { return receiver->packetCount() == display->currentSockTag(); }));
        }
        sender.reset();
    }
    EXPECT_TRUE(QFile::exists(dump));
    qputenv("HOME", savedHome);
}

TEST_F(VideoSenderTest, EachPictureWrittenIsReportedWithItsCaptureTime)
{
    for (Road road : {Road::Apple, Road::Intel}) {
        SCOPED_TRACE(roadName(road));
        // Captured a while ago, and out of step with the submission clock.
        const qint64 base = qint64(GetTickCount64()) - 500;
        const qint64 droppedCapture = base + 2 * 7;
        auto probe = std::make_shared<FakeEncoderProbe>();
        VideoSenderServices s = services(QSize(320, 240), probe);
        s.makeScreenSource = [this] {
            auto source = std::make_unique<FakeScreenSource>(QSize(320, 240));
            source->setAutomatic(false);
            screen = source.get();
            return source;
        };
        s.makeEncoder = [probe, droppedCapture] { return std::make_unique<DroppingEncoder>(probe, droppedCapture); };
        std::mutex mutex;
        QList<QPair<qint64, qint64>> written;
        s.frameWritten = [&](qint64 captureMs, qint64 writtenMs) {
            std::lock_guard lock(mutex);
            written.append({captureMs, writtenMs});
        };
        const auto writtenNow = [&] {
            std::lock_guard lock(mutex);
            return written;
        };
        const auto wasWritten = [&](qint64 captureMs) {
            for (const auto &entry : writtenNow()) {
                if (entry.first == captureMs)
                    return true;
            }
            return false;
        };
        makeSender(road, s);
        sender->startMrror();
        ASSERT_TRUE(TestSupport::waitFor([&] { return screen && screen->isRunning(); }));

        // The capture-session road lets a picture go while a write is under
        // way: such a picture comes again until it is sent.
        const auto deliverUntilWritten = [&](int index) {
            const qint64 captureMs = base + index * 7;
            for (int attempt = 0; attempt < 50 && !wasWritten(captureMs); ++attempt) {
                ASSERT_TRUE(screen->deliver(FakeScreenSource::makeFrame(QSize(320, 240), index, captureMs)));
                TestSupport::waitFor([&] { return wasWritten(captureMs); }, 200);
            }
            ASSERT_TRUE(wasWritten(captureMs)) << index;
        };
        deliverUntilWritten(0);
        deliverUntilWritten(1);
        // A picture the encoder drops is never reported, nor does it shift
        // the capture times of those after it.
        ASSERT_TRUE(screen->deliver(FakeScreenSource::makeFrame(QSize(320, 240), 2, droppedCapture)));
        deliverUntilWritten(3);

        // Pictures sent again (the display-stream road repeats one that
        // waits too long) carry their picture's capture time.
        QList<qint64> captures;
        for (const auto &[captureMs, writtenMs] : writtenNow()) {
            if (captures.isEmpty() || captures.last() != captureMs)
                captures.append(captureMs);
            EXPECT_GE(writtenMs, captureMs + 400);
            EXPECT_LE(writtenMs, qint64(GetTickCount64()));
        }
        EXPECT_EQ(captures, (QList<qint64>{base, base + 7, base + 3 * 7}));
        EXPECT_TRUE(statuses.isEmpty());
        sender.reset();
        receiver = std::make_unique<VideoReceiver>(address);
        ASSERT_TRUE(receiver->start());
    }
}

TEST_F(VideoSenderTest, EncoderSetUpPerRoad)
{
    struct Case {
        Road road;
        QSize screen;
        QSize encoder;
        qint64 bitrate;
        qint64 limitBytes;
    };
    const QList<Case> cases = {
        {Road::Apple, {1920, 1081}, {1920, 1080}, 6710886, 1048576},
        {Road::Intel, {1920, 1081}, {1918, 1080}, 3355443, 1048576},
        {Road::Intel, {1920, 1200}, {1728, 1080}, 3355443, 1048576},
        {Road::Intel, {1080, 1920}, {1080, 1920}, 6710886, 2097152},
        {Road::Apple, {1080, 1920}, {1080, 1920}, 6710886, 1048576},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(roadName(c.road));
        auto probe = std::make_shared<FakeEncoderProbe>();
        makeSender(c.road, services(c.screen, probe));
        EXPECT_EQ(QSize(int(sender->screenWidth()), int(sender->screenHeight())), c.encoder);
        sender->startMrror();
        ASSERT_TRUE(TestSupport::waitFor([&] { return probe->opened == 1; }));
        const Platform::H264EncoderConfig config = probe->lastConfig();
        EXPECT_EQ(QSize(config.width, config.height), c.encoder);
        EXPECT_EQ(config.averageBitrate, c.bitrate);
        EXPECT_EQ(config.dataRateLimitBytes, c.limitBytes);
        EXPECT_DOUBLE_EQ(config.dataRateLimitSeconds, 1.0);
        EXPECT_EQ(config.maxKeyframeInterval, 1440000);
        EXPECT_FALSE(config.allowFrameReordering);
        EXPECT_TRUE(config.realtime);
        EXPECT_EQ(config.maxFrameDelayCount, 1);
        EXPECT_EQ(config.profile, Platform::H264Profile::Main);
        EXPECT_EQ(screen->lastOptions().fps, 20);
        EXPECT_TRUE(screen->lastOptions().showCursor);
        sender.reset();
    }
}

TEST_F(VideoSenderTest, EachRoadsRatesReachX264AsABufferThatHoldsTheLimit)
{
    struct Case {
        Road road;
        QSize screen;
        VideoSenderBase::EncoderRates rates;
    };
    const QList<Case> cases = {
        {Road::Apple, {1920, 1080}, {VideoSession::kAverageBitrate, VideoSession::kDataRateLimitBytes}},
        {Road::Intel, {1920, 1080}, VideoDisplaySession::encoderRatesForHeight(1080)},
        {Road::Intel, {1080, 1920}, VideoDisplaySession::encoderRatesForHeight(1920)},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(roadName(c.road));
        SCOPED_TRACE(c.screen.height());
        auto settings = std::make_shared<ReadBackEncoder::Settings>();
        VideoSenderServices s = services(c.screen);
        s.makeEncoder = [settings] { return std::make_unique<ReadBackEncoder>(settings); };
        receiver->setDecoding(false);
        makeSender(c.road, s);
        sender->startMrror();
        ASSERT_TRUE(TestSupport::waitFor([&] { return settings->get().has_value(); }, 20000));
        const x264_param_t p = *settings->get();
        const double limitKbit = double(c.rates.limitBytes) * 8 / 1000;

        EXPECT_EQ(p.rc.i_rc_method, X264_RC_ABR);
        EXPECT_EQ(p.rc.i_bitrate, c.rates.averageBitrate / 1000);
        // Strictly above the average bit rate: at or below it, x264 would
        // fill the stream up to a constant rate.
        EXPECT_GT(p.rc.i_vbv_max_bitrate, p.rc.i_bitrate);
        // No second carries more than the limit: what the buffer holds at its
        // start and what flows in during it.
        EXPECT_LE(p.rc.i_vbv_buffer_size + p.rc.i_vbv_max_bitrate, limitKbit);
        // The buffer, which is what a key frame may spend, has all the limit
        // leaves above the average, and it is full at the start.
        EXPECT_GE(p.rc.i_vbv_buffer_size, limitKbit - p.rc.i_bitrate - 2);
        EXPECT_FLOAT_EQ(p.rc.f_vbv_buffer_init, 1.0f);
        sender.reset();
        receiver = std::make_unique<VideoReceiver>(address);
        ASSERT_TRUE(receiver->start());
    }
}

TEST_F(VideoSenderTest, DisplayStreamRoadRepeatsAStillScreen)
{
    auto probe = std::make_shared<FakeEncoderProbe>();
    makeSender(Road::Intel, services(QSize(640, 480), probe));
    // A screen that never changes delivers one picture.
    screen->setMoving(false);
    sender->startMrror();
    // It is encoded again from the third tick after it came (at least two
    // periods of 50 ms at 20 fps later), then on every tick.
    ASSERT_TRUE(TestSupport::waitFor([&] { return packetsOfType(H264PacketTypeCodedFrame).size() >= 6; }));
    EXPECT_EQ(screen->deliveredCount(), 1);
    QList<qint64> stamps;
    for (const VideoReceivedPacket &p : packetsOfType(H264PacketTypeCodedFrame))
        stamps << ptsOf(p.payload);
    // The picture's own stamp may come a little after its tick on a busy
    // machine: what tells the third tick from the next one is being nearer
    // two periods than one.
    EXPECT_GE(stamps[1] - stamps[0], 75);
    // A tick that comes late is followed by one that catches up: the repeats
    // keep the timer's pace on average.
    const qint64 repeats = stamps.size() - 2;
    EXPECT_GE((stamps.last() - stamps[1]) / repeats, 40);

    // Paused: neither new nor repeated pictures.
    sender->setPauseResumeMark(true);
    // The picture being coded as the pause came still comes out.
    ASSERT_TRUE(TestSupport::waitUntilSteady([&] { return probe->encoded.load(); }));
    const int encodedWhilePaused = probe->encoded;
    screen->setMoving(true);
    TestSupport::spin(300); // for a picture that must not be coded
    EXPECT_EQ(probe->encoded.load(), encodedWhilePaused);
    EXPECT_TRUE(sender->pauseCast());
    sender->setPauseResumeMark(false);
    ASSERT_TRUE(TestSupport::waitFor([&] { return probe->encoded > encodedWhilePaused + 2; }));
}

TEST_F(VideoSenderTest, KeyFramesForcedOnlyOnTheDisplayStreamRoad)
{
    for (Road road : {Road::Intel, Road::Apple}) {
        SCOPED_TRACE(roadName(road));
        auto probe = std::make_shared<FakeEncoderProbe>();
        // A slow encoder: several pictures go in before the first comes out.
        probe->encodeDelayMs = 120;
        makeSender(road, services(QSize(320, 240), probe));
        sender->startMrror();
        ASSERT_TRUE(TestSupport::waitFor([&] { return packetsOfType(H264PacketTypeCodedFrame).size() >= 4; }));
        const int forcedEarly = probe->forcedKeyframes;
        if (road == Road::Intel)
            EXPECT_GE(forcedEarly, 2);
        else
            EXPECT_EQ(forcedEarly, 0);
        // Once the first result is in, no more are forced.
        TestSupport::spin(400); // for a forced key frame that must not come
        EXPECT_LE(probe->forcedKeyframes.load(), forcedEarly + 1);
        EXPECT_EQ(packetsOfType(H264PacketTypeParameterSets).size(), 1);
        sender.reset();
        receiver = std::make_unique<VideoReceiver>(address);
        ASSERT_TRUE(receiver->start());
    }
}

TEST_F(VideoSenderTest, PauseAndResumeKeepTheStream)
{
    for (Road road : {Road::Apple, Road::Intel}) {
        SCOPED_TRACE(roadName(road));
        makeSender(road, services(QSize(640, 360)));
        sender->startMrror();
        ASSERT_TRUE(TestSupport::waitFor([&] { return receiver->decodedFrames() >= 5; }, 20000));
        sender->setPauseResumeMark(true);
        // What was already under way still arrives (on a busy machine that
        // takes a while); then nothing.
        ASSERT_TRUE(TestSupport::waitUntilSteady([&] { return receiver->packetCount(); }));
        const int paused = receiver->packetCount();
        TestSupport::spin(300); // for a packet that must not come
        EXPECT_EQ(receiver->packetCount(), paused);
        sender->setPauseResumeMark(false);
        ASSERT_TRUE(TestSupport::waitFor([&] { return receiver->packetCount() >= paused + 5; }, 20000));
        // No new parameter sets and no new key frame after the pause (the
        // display-stream road may start with several key frames: it forces
        // them until the first result is in).
        EXPECT_EQ(packetsOfType(H264PacketTypeParameterSets).size(), 1);
        const QList<VideoReceivedPacket> packets = receiver->packets();
        for (int i = paused; i < packets.size(); ++i) {
            EXPECT_EQ(packets[i].type, H264PacketTypeCodedFrame) << i;
            EXPECT_FALSE(packets[i].nalTypes.contains(5)) << i;
        }
        EXPECT_EQ(receiver->decodeErrors(), 0);
        sender.reset();
        receiver = std::make_unique<VideoReceiver>(address);
        ASSERT_TRUE(receiver->start());
    }
}

TEST_F(VideoSenderTest, ResizeRestartsCaptureAtTheNewSize)
{
    for (Road road : {Road::Intel, Road::Apple}) {
        SCOPED_TRACE(roadName(road));
        makeSender(road, services(QSize(1920, 1080)));
        sender->startMrror();
        ASSERT_TRUE(TestSupport::waitFor([&] { return receiver->decodedFrames() >= 3; }, 20000));

        sender->changeEncoderAttributeRelated({1280, 720, 30});
        EXPECT_EQ(sender->screenWidth(), 1280);
        EXPECT_EQ(sender->screenHeight(), 720);
        EXPECT_EQ(sender->fps(), 30);
        EXPECT_FALSE(sender->isCapturing());
        ASSERT_TRUE(TestSupport::waitFor([&] { return receiver->decodedSizes().size() == 2; }, 20000));
        EXPECT_EQ(receiver->decodedSizes(), (QList<QSize>{{1920, 1080}, {1280, 720}}));
        EXPECT_TRUE(sender->isCapturing());
        EXPECT_EQ(screen->lastOptions().fps, 30);
        // A new parameter-set packet precedes the first frame at the new size.
        const QList<VideoReceivedPacket> packets = receiver->packets();
        int setsSeen = 0;
        for (int i = 0; i < packets.size(); ++i) {
            if (packets[i].type == H264PacketTypeParameterSets) {
                ++setsSeen;
                ASSERT_LT(i + 1, packets.size());
                EXPECT_TRUE(packets[i + 1].nalTypes.contains(5));
            }
        }
        EXPECT_EQ(setsSeen, 2);

        // The same request again changes nothing.
        const int starts = screen->startCount();
        sender->changeEncoderAttributeRelated({1280, 720, 30});
        TestSupport::spin(200); // for a restart that must not come
        EXPECT_EQ(screen->startCount(), starts);
        EXPECT_EQ(receiver->decodeErrors(), 0);
        EXPECT_TRUE(statuses.isEmpty());
        sender.reset();
        receiver = std::make_unique<VideoReceiver>(address);
        ASSERT_TRUE(receiver->start());
    }
}

TEST_F(VideoSenderTest, AResizeWhileTheConnectionComesUpStartsOneCapture)
{
    for (Road road : {Road::Apple, Road::Intel}) {
        SCOPED_TRACE(roadName(road));
        auto probe = std::make_shared<FakeEncoderProbe>();
        auto s = services(QSize(1920, 1080), probe);
        // The restart comes well after the connection is up.
        s.timings.resizeRestartDelayMs = 200;
        makeSender(road, s);
        sender->startMrror();
        sender->changeEncoderAttributeRelated({1280, 720, 20});
        ASSERT_TRUE(TestSupport::waitFor([&] { return receiver->packetCount() >= 3; }));
        TestSupport::spin(400); // past the restart's delay, for a second capture that must not come
        EXPECT_EQ(screen->startCount(), 1);
        EXPECT_EQ(probe->opened.load(), 1);
        EXPECT_TRUE(sender->isCapturing());
        EXPECT_EQ(packetsOfType(H264PacketTypeParameterSets).size(), 1);
        const Platform::H264EncoderConfig config = probe->lastConfig();
        EXPECT_EQ(QSize(config.width, config.height), QSize(1280, 720));
        EXPECT_TRUE(statuses.isEmpty());
        sender.reset();
        receiver = std::make_unique<VideoReceiver>(address);
        ASSERT_TRUE(receiver->start());
    }
}

TEST_F(VideoSenderTest, ResizeRequestsOutOfReasonAreRefused)
{
    auto probe = std::make_shared<FakeEncoderProbe>();
    makeSender(Road::Intel, services(QSize(1920, 1080), probe));
    struct Case {
        EncoderSizeRequest request;
        QSize size;
        qint64 fps;
    };
    const QList<Case> cases = {
        {{-1280, -720, 20}, {1920, 1080}, 20},
        {{0, 720, 20}, {1920, 1080}, 20},
        {{1, 1, 20}, {1920, 1080}, 20},
        {{8, 4, 20}, {1920, 1080}, 20},
        {{}, {1920, 1080}, 20},
        // A side that fits within the bounds only on a screen of another
        // shape: the screen fitted into 16x9000 is 16 wide and 9 high.
        {{16, 9000, 20}, {1920, 1080}, 20},
        // Accepted with the frame rate brought into range.
        {{1280, 720, 5000}, {1280, 720}, 60},
        {{1280, 720, -3}, {1280, 720}, 1},
        {{960, 540, 25}, {960, 540}, 25},
    };
    for (const Case &c : cases) {
        sender->changeEncoderAttributeRelated(c.request);
        EXPECT_EQ(QSize(int(sender->screenWidth()), int(sender->screenHeight())), c.size);
        EXPECT_EQ(sender->fps(), c.fps);
    }
    // Not connected: nothing was restarted.
    TestSupport::spin(120); // for a restart that must not come
    EXPECT_EQ(screen->startCount(), 0);
}

TEST_F(VideoSenderTest, ResizeRestartCancelledByStopAndByDisconnect)
{
    for (const bool byStop : {true, false}) {
        SCOPED_TRACE(byStop ? "stop" : "receiver hangs up");
        auto probe = std::make_shared<FakeEncoderProbe>();
        auto s = services(QSize(1920, 1080), probe);
        s.timings.resizeRestartDelayMs = 300;
        statuses.clear();
        makeSender(Road::Intel, s);
        sender->startMrror();
        ASSERT_TRUE(TestSupport::waitFor([&] { return screen && screen->isRunning(); }));
        sender->changeEncoderAttributeRelated({1280, 720, 20});
        EXPECT_FALSE(screen->isRunning());
        if (byStop)
            sender->stopMirror();
        else
            receiver->closeConnection();
        ASSERT_TRUE(TestSupport::waitFor([&] { return !sender->isBusy(); }));
        TestSupport::spin(500); // past the restart's delay, for a restart that must not come
        EXPECT_EQ(screen->startCount(), 1);
        EXPECT_FALSE(screen->isRunning());
        EXPECT_EQ(statuses, byStop ? QList<qint32>{} : QList<qint32>{-7});
        sender.reset();
        receiver = std::make_unique<VideoReceiver>(address);
        ASSERT_TRUE(receiver->start());
    }
}

TEST_F(VideoSenderTest, ReceiverHangsUp)
{
    for (Road road : {Road::Apple, Road::Intel}) {
        SCOPED_TRACE(roadName(road));
        statuses.clear();
        auto probe = std::make_shared<FakeEncoderProbe>();
        makeSender(road, services(QSize(640, 480), probe));
        sender->startMrror();
        ASSERT_TRUE(TestSupport::waitFor([&] { return receiver->packetCount() >= 3; }));
        receiver->closeConnection();
        ASSERT_TRUE(TestSupport::waitFor([&] { return !statuses.isEmpty(); }));
        TestSupport::spin(100); // for a second status that must not come
        EXPECT_EQ(statuses, QList<qint32>{-7});
        EXPECT_FALSE(sender->isBusy());
        EXPECT_FALSE(sender->isCapturing());
        EXPECT_FALSE(screen->isRunning());
        EXPECT_EQ(probe->closed, 1);
        sender.reset();
        receiver = std::make_unique<VideoReceiver>(address);
        ASSERT_TRUE(receiver->start());
    }
}

TEST_F(VideoSenderTest, ConnectTimeOutIsReportedOnce)
{
    TestSupport::HangingListener hanging(address);
    ASSERT_NE(hanging.port(), 0);
    hanging.fill();
    DynamicPortTable::setDynamicPort_51030(hanging.port());
    for (Road road : {Road::Apple, Road::Intel}) {
        SCOPED_TRACE(roadName(road));
        statuses.clear();
        auto s = services(QSize(640, 480), std::make_shared<FakeEncoderProbe>());
        s.timings.connectTimeoutMs = 200;
        makeSender(road, s);
        sender->startMrror();
        ASSERT_TRUE(TestSupport::waitFor([&] { return !statuses.isEmpty(); }));
        TestSupport::spin(300); // for a second status that must not come
        EXPECT_EQ(statuses, QList<qint32>{-6});
        EXPECT_FALSE(sender->isBusy());
        EXPECT_EQ(screen->startCount(), 0);
        sender.reset();
    }
}

TEST_F(VideoSenderTest, VideoThatCannotGoOnEndsTheCastWithMinusOne)
{
    enum class Fault { PortBeyondRange, NoHost, CaptureRefused, ScreenWithoutArea, EncoderRefused, DisplayGone };
    struct Case {
        Fault fault;
        const char *name;
        bool connects; // the receiver sees the video connection first
    };
    const QList<Case> cases = {
        {Fault::PortBeyondRange, "a video port beyond 65535", false},
        {Fault::NoHost, "a connect that cannot start", false},
        {Fault::CaptureRefused, "a screen that cannot be captured", true},
        {Fault::ScreenWithoutArea, "a 0x0 screen", true},
        {Fault::EncoderRefused, "an encoder that cannot open", true},
        {Fault::DisplayGone, "the display going away", true},
    };
    for (const Case &c : cases) {
        for (Road road : {Road::Apple, Road::Intel}) {
            SCOPED_TRACE(std::string(c.name) + ", " + roadName(road));
            statuses.clear();
            receiver = std::make_unique<VideoReceiver>(address);
            ASSERT_TRUE(receiver->start());
            DynamicPortTable::setDynamicPort_51030(receiver->port());
            device->mHostIp = address.toString();
            auto probe = std::make_shared<FakeEncoderProbe>();
            auto s = services(c.fault == Fault::ScreenWithoutArea ? QSize(0, 0) : QSize(640, 480), probe);
            switch (c.fault) {
            case Fault::PortBeyondRange:
                // Cut to 16 bits this would be the receiver's own port.
                DynamicPortTable::setDynamicPort_51030(65536 + receiver->port());
                break;
            case Fault::NoHost:
                device->mHostIp.clear();
                break;
            case Fault::EncoderRefused:
                probe->failOpen = true;
                break;
            default:
                break;
            }
            makeSender(road, s);
            if (c.fault == Fault::CaptureRefused)
                screen->setStartResult(false);
            sender->startMrror();
            // Reported from the event loop, never from inside the call.
            EXPECT_TRUE(statuses.isEmpty());
            if (c.fault == Fault::DisplayGone) {
                ASSERT_TRUE(TestSupport::waitFor([&] { return receiver->packetCount() >= 2; }));
                screen->fail(QStringLiteral("the display went away"));
            }
            ASSERT_TRUE(TestSupport::waitFor([&] { return !statuses.isEmpty(); }));
            TestSupport::spin(150); // for a second status that must not come
            EXPECT_EQ(statuses, QList<qint32>{-1});
            EXPECT_FALSE(sender->isBusy());
            EXPECT_FALSE(sender->isCapturing());
            EXPECT_FALSE(screen->isRunning());
            // The receiver's thread may take its time to count the connection.
            if (c.connects) {
                EXPECT_TRUE(TestSupport::waitFor([&] { return receiver->connectionCount() == 1; }));
            }
            EXPECT_EQ(receiver->connectionCount(), c.connects ? 1 : 0);
            EXPECT_TRUE(TestSupport::waitFor([&] { return !receiver->isConnected(); }));
            // The owner's stop afterwards changes nothing.
            sender->stopMirror();
            TestSupport::spin(50); // for a status that must not come
            EXPECT_EQ(statuses.size(), 1);
            sender.reset();
        }
    }
}

TEST_F(VideoSenderTest, StopWhileConnectingCallsTheConnectOff)
{
    for (Road road : {Road::Apple, Road::Intel}) {
        SCOPED_TRACE(roadName(road));
        statuses.clear();
        TestSupport::HangingListener hanging(address);
        ASSERT_TRUE(hanging.fill());
        DynamicPortTable::setDynamicPort_51030(hanging.port());
        makeSender(road, services(QSize(640, 480), std::make_shared<FakeEncoderProbe>()));
        sender->startMrror();
        TestSupport::spin(50); // the connect is under way and cannot get in
        sender->stopMirror();
        // Room for the connect's next try: it must not be there to take it.
        hanging.drain();
        ASSERT_TRUE(TestSupport::waitFor([&] { return !sender->isBusy(); }));
        TestSupport::spin(2500); // past the connect's next try, which must not come
        EXPECT_EQ(screen->startCount(), 0);
        EXPECT_TRUE(statuses.isEmpty());
        // A stopped sender starts nothing again.
        sender->startMrror();
        TestSupport::spin(100); // for a capture that must not start
        EXPECT_EQ(screen->startCount(), 0);
        sender.reset();
    }
}

TEST_F(VideoSenderTest, DroppingASenderThatIsStillConnectingIsQuiet)
{
    TestSupport::HangingListener hanging(address);
    hanging.fill();
    DynamicPortTable::setDynamicPort_51030(hanging.port());
    makeSender(Road::Intel, services(QSize(640, 480), std::make_shared<FakeEncoderProbe>()));
    sender->startMrror();
    TestSupport::spin(50); // the connect is under way and cannot get in
    sender.reset();
    TestSupport::spin(100); // for a status that must not come
    EXPECT_TRUE(statuses.isEmpty());
}

TEST_F(VideoSenderTest, OwnerMayDropTheSenderInsideTheStatusCallback)
{
    for (Road road : {Road::Apple, Road::Intel}) {
        SCOPED_TRACE(roadName(road));
        makeSender(road, services(QSize(640, 480)));
        bool called = false;
        sender->setMonitorCallback([&](qint32 status) {
            called = true;
            EXPECT_EQ(status, -7);
            sender.reset();
        });
        sender->startMrror();
        ASSERT_TRUE(TestSupport::waitFor([&] { return receiver->decodedFrames() >= 2; }, 20000));
        receiver->closeConnection();
        ASSERT_TRUE(TestSupport::waitFor([&] { return called; }));
        EXPECT_EQ(sender, nullptr);
        TestSupport::spin(100); // what the dropped sender left must reach nothing
        receiver = std::make_unique<VideoReceiver>(address);
        ASSERT_TRUE(receiver->start());
    }
}

TEST_F(VideoSenderTest, StalledReceiverHoldsBackEncodingNotEncodedFrames)
{
    for (Road road : {Road::Intel, Road::Apple}) {
        SCOPED_TRACE(roadName(road));
        auto probe = std::make_shared<FakeEncoderProbe>();
        // Large pictures fill the connection's buffers quickly.
        probe->padBytes = 256 * 1024;
        auto s = services(QSize(320, 240), probe);
        s.maxQueuedWrites = 4;
        receiver->setDecoding(false);
        makeSender(road, s);
        LogCapture log;
        sender->startMrror();
        ASSERT_TRUE(TestSupport::waitFor([&] { return receiver->packetCount() >= 3; }));
        receiver->setReading(false);
        // Encoding stops once the socket's queue is full...
        ASSERT_TRUE(TestSupport::waitUntilSteady([&] { return probe->encoded.load(); }));
        const int settled = probe->encoded;
        EXPECT_TRUE(sender->isBusy());
        EXPECT_TRUE(screen->isRunning());
        if (road == Road::Apple) {
            bool dropLogged = false;
            for (const QString &line : log.lines())
                dropLogged = dropLogged || line.startsWith(QStringLiteral("quenecount is "));
            EXPECT_TRUE(dropLogged);
        }
        // ... and every picture that was encoded reaches the receiver in order
        // once it reads again.
        receiver->setReading(true);
        ASSERT_TRUE(TestSupport::waitFor([&] { return probe->encoded > settled + 3; }, 20000));
        sender->setPauseResumeMark(true);
        // The picture being coded as the pause came still comes out.
        ASSERT_TRUE(TestSupport::waitUntilSteady([&] { return probe->encoded.load(); }));
        const int encoded = probe->encoded;
        ASSERT_TRUE(TestSupport::waitFor(
            [&] { return packetsOfType(H264PacketTypeCodedFrame).size() == encoded; }, 20000));
        qint64 lastPts = -1;
        for (const VideoReceivedPacket &p : packetsOfType(H264PacketTypeCodedFrame)) {
            const qint64 pts = ptsOf(p.payload);
            EXPECT_GE(pts, lastPts);
            lastPts = pts;
        }
        EXPECT_TRUE(receiver->headerErrors().isEmpty());
        EXPECT_TRUE(statuses.isEmpty());
        sender.reset();
        receiver = std::make_unique<VideoReceiver>(address);
        ASSERT_TRUE(receiver->start());
    }
}

TEST_F(VideoSenderTest, AReceiverThatStopsReadingCannotGrowTheQueueWithoutEnd)
{
    auto probe = std::make_shared<FakeEncoderProbe>();
    probe->padBytes = 256 * 1024;
    auto s = services(QSize(320, 240), probe);
    // The drop rule alone would let far more wait than the bound.
    s.maxQueuedWrites = 1000;
    s.maxQueuedBytes = 2 * 1024 * 1024;
    makeSender(Road::Intel, s);
    sender->startMrror();
    ASSERT_TRUE(TestSupport::waitFor([&] { return receiver->packetCount() >= 2; }));
    receiver->setReading(false);
    ASSERT_TRUE(TestSupport::waitFor([&] { return !statuses.isEmpty(); }, 30000));
    TestSupport::spin(100); // for a second status that must not come
    // An end not caused here, as when the receiver hangs up.
    EXPECT_EQ(statuses, QList<qint32>{-7});
    EXPECT_FALSE(sender->isBusy());
    EXPECT_FALSE(screen->isRunning());
}

TEST_F(VideoSenderTest, EachRoadCastsTheXDisplay)
{
    // The production services capture the display of the environment: here
    // one of this test's own.
    PrivateXServer server;
    if (!TestSupport::requireFacility("Xvfb", server.start()))
        return;
    qputenv("DISPLAY", server.displayName());
    const QSize bounds = Platform::Linux::makeDisplayInfo()->mainDisplayBounds().size();
    for (Road road : {Road::Apple, Road::Intel}) {
        SCOPED_TRACE(roadName(road));
        VideoSenderServices s;
        s.makeScreenSource = [] { return Platform::Linux::makeScreenSource(); };
        s.makeEncoder = [] { return Platform::Linux::makeH264Encoder(); };
        makeSender(road, s);
        const QSize expected = VideoSizing::startSize(bounds, road == Road::Apple ? 8 : 2);
        sender->startMrror();
        // The capture-session road sends a still screen once; the other road
        // repeats it.
        ASSERT_TRUE(TestSupport::waitFor([&] { return receiver->decodedFrames() >= (road == Road::Apple ? 1 : 4); },
                                         20000));
        EXPECT_EQ(receiver->decodedSize(), expected);
        EXPECT_EQ(receiver->decodeErrors(), 0);
        EXPECT_TRUE(receiver->headerErrors().isEmpty());
        sender->stopMirror();
        ASSERT_TRUE(TestSupport::waitFor([&] { return !sender->isBusy(); }));
        sender.reset();
        receiver = std::make_unique<VideoReceiver>(address);
        ASSERT_TRUE(receiver->start());
    }
    EXPECT_TRUE(statuses.isEmpty());
}

TEST(TcpOptions, NoDelayOnAConnectedDescriptor)
{
    EXPECT_FALSE(Platform::TcpOptions::setNoDelay(-1));
    QTcpServer server;
    ASSERT_TRUE(server.listen(QHostAddress::LocalHost));
    QTcpSocket client;
    client.connectToHost(server.serverAddress(), server.serverPort());
    ASSERT_TRUE(client.waitForConnected(5000));
    EXPECT_EQ(client.socketOption(QAbstractSocket::LowDelayOption).toInt(), 0);
    EXPECT_TRUE(Platform::TcpOptions::setNoDelay(client.socketDescriptor()));
    EXPECT_EQ(client.socketOption(QAbstractSocket::LowDelayOption).toInt(), 1);
}
