// The cast's threads against receivers on threads of their own: pictures and
// sound reach the sockets without the main thread, each cast's threads go
// with its pipeline's stop, and stops that land at awkward moments leave no
// callback and nothing written behind (the suite's sanitizers catch what
// they would leave in memory).

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QtMath>
#include <pthread.h>
#include <chrono>
#include <gtest/gtest.h>
#include <mutex>
#include <thread>

#include "AudioRtpReceiver.h"
#include "FakeH264Encoder.h"
#include "FakeScreenSource.h"
#include "FakeSound.h"
#include "HangingListener.h"
#include "Mirror/AudioSession.h"
#include "Mirror/CastPipeline.h"
#include "Mirror/H264Packet.h"
#include "Mirror/MediaThread.h"
#include "Mirror/TickCount.h"
#include "Mirror/VideoDisplaySession.h"
#include "Mirror/VideoSession.h"
#include "ReceiverEmulatorThread.h"
#include "TestSupport.h"
#include "Utils/TavlinGlobal/TavlinGlobal.h"
#include "VideoReceiver.h"
#include "VideoTestTools.h"

using Platform::Fake::FakeEncoderProbe;
using Platform::Fake::FakeH264Encoder;
using Platform::Fake::FakeScreenSource;
using Platform::Fake::FakeSoundDevices;
using Platform::Fake::FakeSoundSource;

namespace {

// The names of this process's threads, as the system shows them.
QStringList threadNames()
{
    QStringList names;
    const QDir tasks(QStringLiteral("/proc/self/task"));
    for (const QString &task : tasks.entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        QFile comm(tasks.filePath(task + QStringLiteral("/comm")));
        if (comm.open(QIODevice::ReadOnly))
            names << QString::fromUtf8(comm.readAll()).trimmed();
    }
    return names;
}

// 10 ms of a stereo 16-bit tone at 44.1 kHz.
QByteArray toneChunk(int index)
{
    QByteArray pcm(441 * 4, Qt::Uninitialized);
    auto *samples = reinterpret_cast<qint16 *>(pcm.data());
    for (int i = 0; i < 441; ++i) {
        const double t = double(index * 441 + i) / 44100.0;
        const auto value = qint16(8000 * qSin(2 * M_PI * 1000 * t));
        samples[2 * i] = value;
        samples[2 * i + 1] = value;
    }
    return pcm;
}

class MediaPipelineTest : public VideoReceiverTest {
protected:
    void SetUp() override
    {
        VideoReceiverTest::SetUp();
        if (receiver)
            receiver->setDecoding(false);
    }

    VideoSenderServices services(QSize screenSize = QSize(320, 240))
    {
        VideoSenderServices s;
        s.makeScreenSource = [this, screenSize] {
            auto source = std::make_unique<FakeScreenSource>(screenSize);
            screen = source.get();
            return source;
        };
        s.makeEncoder = [probe = probe] { return std::make_unique<FakeH264Encoder>(probe); };
        return s;
    }

    void makeSender(Road road, const VideoSenderServices &s)
    {
        TavlinGlobal::setMacCpuChipBrand(road == Road::Apple ? QStringLiteral("Apple") : QStringLiteral("Intel"));
        sender = makeVideoSenderForCpuBrand(device, s, media);
        sender->setMonitorCallback([this](qint32 status) { statuses.append(status); });
    }

    void restartReceiver()
    {
        receiver = std::make_unique<VideoReceiver>(address);
        ASSERT_TRUE(receiver->start());
        receiver->setDecoding(false);
    }

    std::shared_ptr<FakeEncoderProbe> probe = std::make_shared<FakeEncoderProbe>();
    FakeScreenSource *screen = nullptr;
    QList<qint32> statuses;
};

TEST_F(MediaPipelineTest, PicturesAndSoundReachTheReceiverWhileTheMainThreadIsBlocked)
{
    ReceiverEmulatorThread emulator(address);
    AudioRtpReceiver *audioReceiver =
        emulator.call([](ReceiverEmulator &e) { return e.addComponent<AudioRtpReceiver>(); });
    ASSERT_TRUE(emulator.start());

    for (Road road : {Road::Intel, Road::Apple}) {
        SCOPED_TRACE(roadName(road));
        auto devices = std::make_shared<FakeSoundDevices>();
        devices->addCapture(QStringLiteral("Echovane"), QStringLiteral("Echovane:0"));
        auto sound = std::make_shared<FakeSoundSource>();
        AudioSessionServices audioServices;
        audioServices.devices = devices;
        audioServices.makeSoundSource = [sound] {
            // The session owns its source; the test keeps feeding the shared one.
            struct Forwarding final : Platform::SoundSource {
                std::shared_ptr<FakeSoundSource> target;
                bool start(const QString &name, const Platform::SoundFormat &format, PcmHandler handler,
                           FailureHandler onFailure) override
                {
                    return target->start(name, format, std::move(handler), std::move(onFailure));
                }
                void stop() override { target->stop(); }
            };
            auto source = std::make_unique<Forwarding>();
            source->target = sound;
            return source;
        };
        auto audio = std::make_unique<AudioSession>(device, audioReceiver->port(), audioServices, media);

        makeSender(road, services());
        sender->startMrror();
        audio->start();
        ASSERT_TRUE(audio->isCapturing());

        // Sound arrives as a capture delivers it: every 10 ms, on its own thread.
        std::atomic<bool> feeding{true};
        std::thread feeder([&] {
            for (int i = 0; feeding.load(); ++i) {
                sound->push(toneChunk(i));
                std::this_thread::sleep_for(std::chrono::milliseconds(10));
            }
        });

        const int videoBefore = [&] {
            EXPECT_TRUE(TestSupport::waitFor([&] { return receiver->packetCount() >= 3; }));
            return receiver->packetCount();
        }();
        ASSERT_TRUE(TestSupport::waitFor([&] { return audioReceiver->packetCount() >= 3; }));
        const int audioBefore = audioReceiver->packetCount();

        // The main thread runs no event of its own until some of each has
        // arrived (or a bound far beyond what even a slow machine needs).
        QDeadlineTimer bound(20000);
        while (!bound.hasExpired()
               && (receiver->packetCount() - videoBefore < 2 || audioReceiver->packetCount() - audioBefore < 5))
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        const int videoDuring = receiver->packetCount() - videoBefore;
        const int audioDuring = audioReceiver->packetCount() - audioBefore;

        feeding = false;
        feeder.join();
        audio->stop();
        sender->stopMirror();
        ASSERT_TRUE(TestSupport::waitFor([&] { return !sender->isBusy(); }));

        // 20 pictures a second and about 90 sound frames a second: the
        // media thread moves both on its own.
        EXPECT_GE(videoDuring, 2);
        EXPECT_GE(audioDuring, 5);
        EXPECT_TRUE(statuses.isEmpty());
        sender.reset();
        audio.reset();
        restartReceiver();
    }
}

TEST_F(MediaPipelineTest, EachCastHasThreadsOfItsOwnThatGoWithItsStop)
{
    const QString mediaName = QString::fromLatin1(MediaThread::kName);
    const QString capture = QStringLiteral("tavlin-capture");
    const auto names = [] { return threadNames().join(QLatin1Char(',')).toStdString(); };
    // The fixture's own media thread runs; the casts below have their own.
    const int before = int(threadNames().count(mediaName));
    // Two casts to two receivers.
    QHostAddress otherAddress;
    QString error;
    std::unique_ptr<VideoReceiver> otherReceiver = startVideoReceiver(&otherAddress, &error);
    ASSERT_TRUE(otherReceiver) << error.toStdString();
    otherReceiver->setDecoding(false);
    auto otherDevice = std::make_shared<Device>();
    otherDevice->mHostIp = otherAddress.toString();
    const auto pipeline = [&](const DevicePtr &to) {
        CastPipelineServices s;
        s.video = services();
        return std::make_unique<CastPipeline>(to, false, s);
    };
    auto first = pipeline(device);
    auto second = pipeline(otherDevice);
    // Made, not started: no thread yet.
    EXPECT_EQ(threadNames().count(mediaName), before) << names();
    first->startVideo();
    second->startVideo();
    EXPECT_EQ(threadNames().count(mediaName), before + 2) << names();
    ASSERT_TRUE(TestSupport::waitFor([&] { return threadNames().count(capture) == 2; })) << names();
    ASSERT_TRUE(TestSupport::waitFor([&] {
        return receiver->packetCount() >= 2 && otherReceiver->packetCount() >= 2;
    }));

    // A joined thread may still be listed for a moment while the system
    // reaps it; one left running would stay.
    const auto countSettles = [&](const QString &name, int count) {
        return TestSupport::waitFor([&] { return threadNames().count(name) == count; });
    };
    first->stop();
    EXPECT_TRUE(countSettles(mediaName, before + 1)) << names();
    EXPECT_TRUE(countSettles(capture, 1)) << names();
    EXPECT_FALSE(first->mediaThread().isRunning());
    second.reset();
    EXPECT_TRUE(countSettles(mediaName, before)) << names();
    EXPECT_TRUE(countSettles(capture, 0)) << names();
    EXPECT_TRUE(statuses.isEmpty());
}

TEST_F(MediaPipelineTest, StopsAtAwkwardMomentsAreQuiet)
{
    for (Road road : {Road::Apple, Road::Intel}) {
        SCOPED_TRACE(roadName(road));
        {
            SCOPED_TRACE("while connecting, dropped at once");
            statuses.clear();
            TestSupport::HangingListener hanging(address);
            ASSERT_TRUE(hanging.fill());
            DynamicPortTable::setDynamicPort_51030(hanging.port());
            makeSender(road, services());
            sender->startMrror();
            sender->stopMirror();
            sender.reset();
            hanging.drain();
            TestSupport::spin(200); // for a status that must not come
            EXPECT_TRUE(statuses.isEmpty());
            DynamicPortTable::resetToDefaults();
        }
        {
            SCOPED_TRACE("during a write of a large picture");
            statuses.clear();
            probe->padBytes = 6 * 1024 * 1024;
            makeSender(road, services());
            sender->startMrror();
            ASSERT_TRUE(TestSupport::waitFor([&] { return receiver->payloadBytes() > 0; }, 20000));
            receiver->setReading(false);
            // The kernel's buffers fill: a write is in progress.
            TestSupport::spin(200); // nothing awaited
            sender->stopMirror();
            ASSERT_TRUE(TestSupport::waitFor([&] { return !sender->isBusy(); }));
            EXPECT_FALSE(screen->isRunning());
            sender.reset();
            receiver->setReading(true);
            TestSupport::spin(300); // for a status that must not come
            EXPECT_TRUE(statuses.isEmpty());
            probe->padBytes = 0;
            restartReceiver();
        }
        {
            SCOPED_TRACE("during a burst of frames");
            statuses.clear();
            makeSender(road, services());
            sender->startMrror();
            ASSERT_TRUE(TestSupport::waitFor([&] { return receiver->packetCount() >= 2; }));
            std::atomic<int> delivered{0};
            FakeScreenSource *burstScreen = screen;
            std::thread burst([&] {
                for (int i = 0; burstScreen->deliver(FakeScreenSource::makeFrame(QSize(320, 240), i)); ++i)
                    ++delivered;
            });
            ASSERT_TRUE(TestSupport::waitFor([&] { return delivered.load() > 50; }));
            sender->stopMirror();
            // Capture has ended: the burst finds no capture to feed.
            burst.join();
            sender.reset();
            // The receiver has read up to the connection's end.
            ASSERT_TRUE(TestSupport::waitFor([&] { return !receiver->isConnected(); }));
            const int packets = receiver->packetCount();
            TestSupport::spin(300); // for a packet that must not come
            EXPECT_EQ(receiver->packetCount(), packets);
            EXPECT_TRUE(statuses.isEmpty());
            restartReceiver();
        }
    }
}

TEST_F(MediaPipelineTest, AReceiverThatHangsUpMidStreamEndsTheCastOnceWithMinusSeven)
{
    for (Road road : {Road::Intel, Road::Apple}) {
        SCOPED_TRACE(roadName(road));
        statuses.clear();
        probe->padBytes = 64 * 1024;
        makeSender(road, services());
        sender->startMrror();
        ASSERT_TRUE(TestSupport::waitFor([&] { return receiver->packetCount() >= 3; }));
        receiver->closeConnection();
        ASSERT_TRUE(TestSupport::waitFor([&] { return !statuses.isEmpty(); }));
        TestSupport::spin(300); // for a second status that must not come
        EXPECT_EQ(statuses, QList<qint32>{-7});
        EXPECT_FALSE(sender->isBusy());
        EXPECT_FALSE(screen->isRunning());
        // A stop after the end adds nothing.
        sender->stopMirror();
        TestSupport::spin(100); // for a status that must not come
        EXPECT_EQ(statuses, QList<qint32>{-7});
        sender.reset();
        restartReceiver();
    }
}

TEST_F(MediaPipelineTest, EveryWrittenPictureIsReportedWithItsCaptureTimeFromTheMediaThread)
{
    for (Road road : {Road::Apple, Road::Intel}) {
        SCOPED_TRACE(roadName(road));
        struct Written {
            qint64 captured = 0;
            qint64 written = 0;
            QString thread;
        };
        std::mutex mutex;
        QList<Written> written;
        VideoSenderServices s = services();
        s.frameWritten = [&](qint64 captured, qint64 at) {
            char name[16] = {};
            pthread_getname_np(pthread_self(), name, sizeof name);
            std::lock_guard lock(mutex);
            written.append({captured, at, QString::fromLatin1(name)});
        };
        makeSender(road, s);
        sender->startMrror();
        ASSERT_TRUE(TestSupport::waitFor([&] { return screen && screen->isRunning(); }));
        screen->setAutomatic(false);
        // Automatic pictures still under way may come out meanwhile; they
        // count for nothing below.
        TestSupport::spin(100); // nothing awaited
        const int before = [&] {
            std::lock_guard lock(mutex);
            return int(written.size());
        }();

        // Pictures taken a little before they are handed over, as a capture
        // thread does, at the road's pace.
        QList<qint64> taken;
        FakeScreenSource *source = screen;
        std::thread capture([&] {
            for (int i = 0; i < 15; ++i) {
                const qint64 at = qint64(GetTickCount64()) - 3;
                taken.append(at);
                source->deliver(FakeScreenSource::makeFrame(QSize(320, 240), 1000 + i, at));
                // The next once this one is out: none is let go because a
                // busy machine has not written the one before yet.
                QDeadlineTimer limit(5000);
                while (!limit.hasExpired()) {
                    {
                        std::lock_guard lock(mutex);
                        if (written.size() > before + i)
                            break;
                    }
                    std::this_thread::sleep_for(std::chrono::milliseconds(1));
                }
                std::this_thread::sleep_for(std::chrono::milliseconds(30));
            }
        });
        capture.join();
        const auto codedPackets = [&] {
            int count = 0;
            for (const VideoReceivedPacket &p : receiver->packets())
                count += p.type == H264PacketTypeCodedFrame ? 1 : 0;
            return count;
        };
        // Each report follows its packet's write: the receiver gets as many.
        ASSERT_TRUE(TestSupport::waitFor([&] {
            std::lock_guard lock(mutex);
            return codedPackets() == written.size() && written.size() >= before + 10;
        }));
        sender->stopMirror();
        ASSERT_TRUE(TestSupport::waitFor([&] { return !sender->isBusy(); }));
        const qint64 now = qint64(GetTickCount64());

        std::lock_guard lock(mutex);
        int matched = 0;
        qint64 lastMatched = -1;
        for (const Written &w : std::as_const(written)) {
            EXPECT_EQ(w.thread, QString::fromLatin1(MediaThread::kName));
            EXPECT_LE(w.captured, w.written);
            EXPECT_LE(w.written, now);
            if (taken.contains(w.captured)) {
                ++matched;
                // In capture order.
                EXPECT_GE(w.captured, lastMatched);
                lastMatched = w.captured;
            }
        }
        // A picture may be let go under load; most are reported with the
        // time they were taken, not when they were encoded.
        EXPECT_GE(matched, 10);
        sender.reset();
        restartReceiver();
    }
}

} // namespace
