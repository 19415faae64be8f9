// The audio sender end to end: a fake sound source feeds it, the receiver
// emulator takes its RTP datagrams on loopback and decodes them.

#include <gtest/gtest.h>

#include <QDeadlineTimer>
#include <QHostAddress>
#include <atomic>
#include <chrono>
#include <thread>

#include "AudioRtpReceiver.h"
#include "AudioTestSupport.h"
#include "FakeSound.h"
#include "Mirror/AudioSession.h"
#include "Mirror/MediaThread.h"
#include "TestSupport.h"

namespace {

using Platform::Fake::FakeSoundDevices;
using Platform::Fake::FakeSoundSource;

// The session owns its source; the test keeps talking to the fake behind it.
class ForwardingSource : public Platform::SoundSource {
public:
    explicit ForwardingSource(std::shared_ptr<FakeSoundSource> target) : m_target(std::move(target)) {}
    ~ForwardingSource() override { m_target->stop(); }
    bool start(const QString &name, const Platform::SoundFormat &format, PcmHandler handler,
               FailureHandler onFailure) override
    {
        return m_target->start(name, format, std::move(handler), std::move(onFailure));
    }
    void stop() override { m_target->stop(); }

private:
    std::shared_ptr<FakeSoundSource> m_target;
};

class AudioSessionTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        devices->addCapture(QStringLiteral("Mic"), QStringLiteral("Mic"));
        devices->addCapture(QStringLiteral("Echovane"), QStringLiteral("Echovane:0"));
        address = TestSupport::uniqueLoopbackAddress();
        emulator = std::make_unique<ReceiverEmulator>(address);
        receiver = emulator->addComponent<AudioRtpReceiver>();
        ASSERT_TRUE(emulator->start()) << emulator->errorString().toStdString();
        device->mHostIp = address.toString();
        media.start();
    }

    AudioSessionServices services()
    {
        AudioSessionServices result;
        result.devices = devices;
        result.makeSoundSource = [this] { return std::make_unique<ForwardingSource>(source); };
        result.tickCount = [this] { return tick.fetch_add(10); };
        return result;
    }

    std::unique_ptr<AudioSession> makeSession(qint64 port = -1)
    {
        return std::make_unique<AudioSession>(device, port < 0 ? receiver->port() : port, services(), media);
    }

    // Feeds `frames` stereo frames of the tone from another thread, in
    // pieces as a capture delivers them.
    void feed(int frames, int offset = 0)
    {
        const QByteArray pcm = AudioTest::stereoTone(frames, 1000, 1000, 44100, offset);
        std::thread worker([&] {
            for (qsizetype at = 0; at < pcm.size(); at += 1764)
                source->push(pcm.mid(at, 1764));
        });
        worker.join();
    }

    std::shared_ptr<FakeSoundDevices> devices = std::make_shared<FakeSoundDevices>();
    std::shared_ptr<FakeSoundSource> source = std::make_shared<FakeSoundSource>();
    std::atomic<quint32> tick{0xfffffff0u};
    std::unique_ptr<ReceiverEmulator> emulator;
    AudioRtpReceiver *receiver = nullptr;
    QHostAddress address;
    DevicePtr device = std::make_shared<Device>();
    // The cast's owner would hold it; here the sessions of one case share it.
    MediaThread media;
};

TEST_F(AudioSessionTest, SoundFromTheLoopBackDeviceArrivesAsDecodableRtp)
{
    auto session = makeSession();
    session->start();
    ASSERT_TRUE(session->isCapturing());
    EXPECT_EQ(source->startedDevice, QStringLiteral("Echovane"));
    EXPECT_EQ(source->startedFormat.sampleRate, 44100);
    EXPECT_EQ(source->startedFormat.channels, 2);

    feed(44100 / 2);
    const int expected = (44100 / 2) / 480;
    ASSERT_TRUE(TestSupport::waitFor([&] { return receiver->packetCount() >= expected; }));
    TestSupport::spin(50); // for a packet that must not come
    EXPECT_EQ(receiver->packetCount(), expected);
    EXPECT_TRUE(receiver->problems().isEmpty()) << receiver->problems().join(QLatin1Char('\n')).toStdString();

    // Sequence numbers from 0; the time stamps are the tick count at packing,
    // here wrapping past 2^32 like the real one does after 49 days.
    const QList<AudioRtpReceiver::Packet> packets = receiver->packets();
    for (int i = 0; i < packets.size(); ++i) {
        EXPECT_EQ(packets[i].sequenceNumber, i);
        EXPECT_EQ(packets[i].timestamp, quint32(0xfffffff0u + 10u * i));
    }
    EXPECT_EQ(receiver->channels(), 2);
    EXPECT_EQ(receiver->sampleRate(), 44100);
    EXPECT_EQ(receiver->frameSizes().value(0), 480);
    EXPECT_NEAR(AudioTest::dominantFrequency(AudioTest::settled(receiver->channelSamples(0)), 44100), 1000, 20);
    EXPECT_EQ(session->encoder()->audioSpecificConfig(), AudioAacDecoder::castAudioSpecificConfig());
}

TEST_F(AudioSessionTest, WithoutTheLoopBackDeviceNothingIsRecordedAndStopIsHarmless)
{
    devices->captures.removeLast();
    devices->addCapture(QStringLiteral("Echovane"), QStringLiteral("echovane:0")); // not the same ID
    auto session = makeSession();
    EXPECT_FALSE(session->getRecordingAudioDevice());
    session->start();
    EXPECT_FALSE(session->isCapturing());
    EXPECT_EQ(source->startCount, 0);
    session->stop();
    session->stop();
    TestSupport::spin(50); // for a packet that must not come
    EXPECT_TRUE(receiver->packets().isEmpty());
}

TEST_F(AudioSessionTest, ThePortFromTheReceiverMustBeAUdpPort)
{
    for (qint64 port : {qint64(0), qint64(70000), qint64(-5)}) {
        AudioSession session(device, port, services(), media);
        session.start();
        EXPECT_FALSE(session.isCapturing()) << port;
    }
    EXPECT_EQ(source->startCount, 0);
}

TEST_F(AudioSessionTest, NoCaptureWhenTheEncoderCannotBeSetUp)
{
    AudioSessionServices broken = services();
    broken.encoderParameters.samplerate = 12345;
    AudioSession session(device, receiver->port(), broken, media);
    session.start();
    EXPECT_FALSE(session.isCapturing());
    EXPECT_EQ(source->startCount, 0);
}

TEST_F(AudioSessionTest, ASourceThatCannotOpenLeavesNothingRunning)
{
    source->accept = false;
    auto session = makeSession();
    session->start();
    EXPECT_EQ(source->startCount, 1);
    EXPECT_FALSE(session->isCapturing());
    EXPECT_EQ(session->encoder(), nullptr);
}

TEST_F(AudioSessionTest, PauseDropsSoundBeforeEncodingAndTheSequenceGoesOnWithoutAGap)
{
    auto session = makeSession();
    session->start();
    feed(4800);
    ASSERT_TRUE(TestSupport::waitFor([&] { return receiver->packetCount() >= 10; }));

    session->setPauseCast(true);
    EXPECT_TRUE(session->pauseCast());
    feed(9600, 4800);
    TestSupport::spin(100); // for a packet that must not come
    EXPECT_EQ(receiver->packetCount(), 10);

    session->setPauseResumeMark(false);
    feed(4800, 14400);
    ASSERT_TRUE(TestSupport::waitFor([&] { return receiver->packetCount() >= 20; }));
    TestSupport::spin(50); // for a packet that must not come
    EXPECT_EQ(receiver->packetCount(), 20);
    EXPECT_EQ(receiver->packets().last().sequenceNumber, 19);
    EXPECT_TRUE(receiver->problems().isEmpty()) << receiver->problems().join(QLatin1Char('\n')).toStdString();
}

TEST_F(AudioSessionTest, SoundThatEndsOnItsOwnIsSaidOnceAndTheSenderGoesQuiet)
{
    QStringList lines;
    static QStringList *sink = nullptr;
    sink = &lines;
    const QtMessageHandler previous = qInstallMessageHandler(
        [](QtMsgType, const QMessageLogContext &, const QString &text) { sink->append(text); });

    auto session = makeSession();
    session->start();
    feed(4800);
    ASSERT_TRUE(TestSupport::waitFor([&] { return receiver->packetCount() >= 10; }));

    // From the worker thread, as the sound server's loss arrives.
    std::thread([this] { source->fail(QStringLiteral("the sound server went away")); }).join();
    ASSERT_TRUE(TestSupport::waitFor([&] { return !session->isCapturing(); }));
    EXPECT_FALSE(source->running);
    EXPECT_EQ(session->encoder(), nullptr);
    // A late second word of the same loss changes nothing.
    source->fail(QStringLiteral("again"));
    TestSupport::spin(100); // for a second word that must not come
    qInstallMessageHandler(previous);
    sink = nullptr;
    EXPECT_EQ(lines.filter(QStringLiteral("casting without sound")).size(), 1) << lines.join('\n').toStdString();
    EXPECT_EQ(lines.filter(QStringLiteral("the sound server went away")).size(), 1);
    EXPECT_EQ(receiver->packetCount(), 10);
    session->stop();
}

TEST_F(AudioSessionTest, NoDatagramLeavesAfterStop)
{
    auto session = makeSession();
    session->start();
    // The media thread is held while the sound is packed, so its datagrams
    // still wait there when stop() comes; it goes on once stop() has let
    // them go.
    QObject *holder = media.make<QObject>();
    AudioSession *sending = session.get();
    QMetaObject::invokeMethod(
        holder,
        [sending] {
            QDeadlineTimer limit(30000);
            while (sending->isSending() && !limit.hasExpired())
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
        },
        Qt::QueuedConnection);
    const QByteArray pcm = AudioTest::stereoTone(4800, 1000, 1000);
    ASSERT_TRUE(source->push(pcm));
    EXPECT_EQ(session->seqno(), 10);
    session->stop();
    media.destroy(holder);
    EXPECT_FALSE(source->running);
    EXPECT_FALSE(source->push(pcm));
    EXPECT_EQ(session->encoder(), nullptr);
    TestSupport::spin(150); // for a packet that must not come
    EXPECT_TRUE(receiver->packets().isEmpty());
    // A stopped sender stays stopped.
    session->start();
    EXPECT_FALSE(session->isCapturing());
}

TEST_F(AudioSessionTest, StopDuringASteadyStreamEndsItAtOnce)
{
    auto session = makeSession();
    session->start();
    std::atomic<bool> feeding{true};
    std::thread feeder([&] {
        const QByteArray chunk = AudioTest::stereoTone(441, 1000, 1000);
        while (feeding.load()) {
            source->push(chunk);
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
    });
    ASSERT_TRUE(TestSupport::waitFor([&] { return receiver->packetCount() >= 20; }));
    session->stop();
    const quint16 sent = session->seqno();
    // What went out before the stop waits on the receiver's socket.
    receiver->readWaiting();
    const int received = receiver->packetCount();
    TestSupport::spin(200); // for a packet that must not come
    feeding = false;
    feeder.join();
    // Nothing is packed after stop, and what was packed went out or was let
    // go with the socket.
    EXPECT_EQ(session->seqno(), sent);
    EXPECT_LE(received, int(sent));
    EXPECT_EQ(receiver->packetCount(), received);
    session.reset();
}

TEST_F(AudioSessionTest, AFrameTooLargeForTheDatagramIsDroppedWithoutUsingASequenceNumber)
{
    auto session = makeSession();
    session->gotAACEncodedData(QByteArray(2037, 'x'));
    EXPECT_EQ(session->seqno(), 0);
    session->gotAACEncodedData(QByteArray(2036, 'y'));
    EXPECT_EQ(session->seqno(), 1);
    ASSERT_TRUE(TestSupport::waitFor([&] { return receiver->packetCount() > 0 || !receiver->problems().isEmpty(); }));
    TestSupport::spin(50); // for a packet that must not come
    ASSERT_EQ(receiver->packetCount(), 1);
    EXPECT_EQ(receiver->packets()[0].sequenceNumber, 0);
    EXPECT_EQ(receiver->packets()[0].payload, QByteArray(2036, 'y'));
}

TEST_F(AudioSessionTest, TheSequenceNumberWrapsAfter65535)
{
    auto session = makeSession(9); // never sent: the session is dropped first
    for (int i = 0; i < 65535; ++i)
        session->gotAACEncodedData(QByteArray(1, 'z'));
    EXPECT_EQ(session->seqno(), 65535);
    session->gotAACEncodedData(QByteArray(1, 'z'));
    EXPECT_EQ(session->seqno(), 0);
}

TEST_F(AudioSessionTest, DebugDumpAppendsToOneFileAndRemovesIt)
{
    auto session = makeSession();
    session->removePCM();
    session->dumpPCM("abc");
    session->dumpPCM("de");
    QFile file(AudioSession::dumpPCMPath());
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), QByteArray("abcde"));
    file.close();
    session->removePCM();
    EXPECT_FALSE(QFile::exists(AudioSession::dumpPCMPath()));
}

} // namespace
