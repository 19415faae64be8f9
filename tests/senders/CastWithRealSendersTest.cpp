// A whole cast on loopback: the control session makes the real video, audio
// and remote-input senders over fake screen, sound and input, and the
// receiver emulator's control, video, audio and remote-input ports check and
// decode what arrives.

#include <gtest/gtest.h>

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QStandardPaths>
#include <plist/plist.h>

#include "AudioRtpReceiver.h"
#include "AudioTestSupport.h"
#include "FakeH264Encoder.h"
#include "FakeInput.h"
#include "FakePlatform.h"
#include "FakeScreenSource.h"
#include "HangingListener.h"
#include "FakeSound.h"
#include "Mirror/CastPipeline.h"
#include "Mirror/H264Packet.h"
#include "Mirror/MediaThread.h"
#include "Mirror/VideoDisplaySession.h"
#include "Mirror/VideoSession.h"
#include "Platform/LinuxPlatform.h"
#include "LogCapture.h"
#include "MainControl/TLCastPack/TLCastPack.h"
#include "Platform/LinuxSoundPlatform.h"
#include "PrivateSoundServer.h"
#include "PrivateXServer.h"
#include "Platform/LinuxServices.h"
#include "ReceiverEmulatorThread.h"
#include "RemoteInputSender.h"
#include "Rtsp/MirrorSenderFactory.h"
#include "Rtsp/NotificationCenter.h"
#include "Rtsp/RTSPClient.h"
#include "RtspReceiver.h"
#include "TestSupport.h"
#include "ToneSoundSource.h"
#include "Utils/TavlinGlobal/DynamicPortTable.h"
#include "Utils/TavlinGlobal/TavlinGlobal.h"
#include "Utils/settings/settings.h"
#include "VideoReceiver.h"

using Platform::MouseButton;
using Platform::Fake::PostedInput;
using TestSupport::spin;
using TestSupport::waitFor;
using Kind = PostedInput::Kind;
using Chunk = RemoteInputSender::Chunk;

namespace {

constexpr double kLeftHz = 1000;
constexpr double kRightHz = 2000;
const QSize kScreen(640, 360);

enum class Road { Apple, Intel };

QByteArray rec(quint32 type, qint32 value) { return RemoteInputSender::record(type, value, 1700000000, 5); }

// This process's threads that belong to a cast, by the names the library
// gives them ("tavlin-media", "-capture", "-convert", "-encode", "-audio";
// x264's own threads take the coding thread's name).
QStringList castThreads()
{
    QStringList names;
    const QDir tasks(QStringLiteral("/proc/self/task"));
    for (const QString &task : tasks.entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        QFile comm(tasks.filePath(task + QStringLiteral("/comm")));
        if (comm.open(QIODevice::ReadOnly)) {
            const QString name = QString::fromUtf8(comm.readAll()).trimmed();
            if (name.startsWith(QLatin1String("tavlin-")))
                names << name;
        }
    }
    return names;
}

// The receiver's audio "SETUP" reply body, made with libplist rather than
// the library's own encoder: {"streams": [{"dataPort": port}]}.
QByteArray audioReplyBody(quint16 port)
{
    plist_t stream = plist_new_dict();
    plist_dict_set_item(stream, "dataPort", plist_new_uint(port));
    plist_t streams = plist_new_array();
    plist_array_append_item(streams, stream);
    plist_t root = plist_new_dict();
    plist_dict_set_item(root, "streams", streams);
    char *bytes = nullptr;
    uint32_t length = 0;
    plist_to_bin(root, &bytes, &length);
    QByteArray body(bytes, qsizetype(length));
    plist_to_bin_free(bytes);
    plist_free(root);
    return body;
}

class CastWithRealSenders : public ::testing::Test {
protected:
    void SetUp() override
    {
        QStandardPaths::setTestModeEnabled(true);
        TavlinGlobal::resetAll();
        DynamicPortTable::resetToDefaults();
        store = std::make_shared<Platform::Fake::FakeKeyValueStore>();
        settings::setStore(store);
        userInfo = std::make_shared<Platform::Fake::FakeUserInfo>();
        userInfo->name = QStringLiteral("alice");
        address = TestSupport::uniqueLoopbackAddress();
        device->mHostIp = address.toString();

        emulator = std::make_unique<ReceiverEmulatorThread>(address);
        audio = emulator->call([](ReceiverEmulator &e) { return e.addComponent<AudioRtpReceiver>(quint16(0)); });
        remote = emulator->call([](ReceiverEmulator &e) { return e.addComponent<RemoteInputSender>(quint16(0)); });
        ASSERT_TRUE(emulator->start());
        DynamicPortTable::setDynamicPort_52020(remote->port());

        video = std::make_unique<VideoReceiver>(address, quint16(0));
        QString error;
        ASSERT_TRUE(video->start(&error)) << error.toStdString();
        DynamicPortTable::setDynamicPort_51030(video->port());

        RtspReceiver::Behaviour behaviour;
        behaviour.audioSetupReplyBody = audioReplyBody(audio->port());
        rtsp = std::make_unique<RtspReceiver>(behaviour);
        ASSERT_TRUE(rtsp->listen(address));
        DynamicPortTable::setDynamicPort_51040(rtsp->port());

        devices->addCapture(QStringLiteral("Mic"), QStringLiteral("Mic"));
        devices->addCapture(QStringLiteral("Echovane"), QStringLiteral("Echovane:0"));

        observer = std::make_unique<QObject>();
        QObject::connect(NotificationCenter::defaultCenter(), &NotificationCenter::notificationPosted, observer.get(),
                         [this](const QString &name, const QVariant &) { notifications.append(name); });
    }

    void TearDown() override
    {
        client.reset();
        observer.reset();
        TestSupport::runPostedEvents();
        rtsp.reset();
        video.reset();
        emulator.reset();
        settings::setStore(nullptr);
        DynamicPortTable::resetToDefaults();
        TavlinGlobal::resetAll();
    }

    // The real senders over the fakes (or over the screen and sound a test
    // sets); every sender made is remembered.
    MirrorSenderFactory senders()
    {
        MirrorSenderServices services;
        services.video.makeScreenSource = [this]() -> std::unique_ptr<Platform::ScreenSource> {
            if (makeScreen)
                return makeScreen();
            auto source = std::make_unique<Platform::Fake::FakeScreenSource>(screenSize);
            source->setStartResult(screenStarts);
            screen = source.get();
            return source;
        };
        services.video.makeEncoder = [this]() -> std::unique_ptr<Platform::H264Encoder> {
            if (encoderRefuses) {
                auto probe = std::make_shared<Platform::Fake::FakeEncoderProbe>();
                probe->failOpen = true;
                return std::make_unique<Platform::Fake::FakeH264Encoder>(probe);
            }
            return Platform::Linux::makeH264Encoder();
        };
        services.audio.devices = devices;
        services.audio.makeSoundSource = [this]() -> std::unique_ptr<Platform::SoundSource> {
            if (realSound)
                return Platform::Linux::makeSoundSource();
            return std::make_unique<ToneSoundSource>(tone, kLeftHz, kRightHz);
        };
        services.remoteInput.injector = injector;
        services.remoteInput.keyboardLayout = layout;
        services.remoteInput.store = std::make_shared<Platform::Fake::FakeKeyValueStore>();
        services.remoteInput.consent = std::make_shared<Platform::Fake::FakeRemoteInputConsent>();
        services.remoteInput.consent->setGiven(true);
        services.remoteInput.timings.connectTimeoutMs = TestSupport::scaled(2000);
        services.video.timings.resizeRestartDelayMs = TestSupport::scaled(resizeRestartDelayMs);

        MirrorSenderFactory factory = makeMirrorSenderFactory(services);
        factory.makeMedia = [this, make = factory.makeMedia](const DevicePtr &d, bool captureSessionRoad) {
            std::unique_ptr<MirrorMedia> media = make(d, captureSessionRoad);
            pipeline = static_cast<CastPipeline *>(media.get());
            videoSender = pipeline->video();
            return media;
        };
        factory.makeRemoteController = [this, make = factory.makeRemoteController](const DevicePtr &d) {
            auto sender = make(d);
            remoteController = dynamic_cast<RemoteController *>(sender.get());
            return sender;
        };
        return factory;
    }

    RTSPClientServices controlServices(Road road)
    {
        TavlinGlobal::setMacCpuChipBrand(road == Road::Apple ? QStringLiteral("Apple") : QStringLiteral("Intel"));
        RTSPClientServices services;
        services.senders = senders();
        services.timings.connectTimeoutMs = TestSupport::scaled(3000);
        services.timings.keepAliveIntervalMs = TestSupport::scaled(keepAliveMs);
        services.timings.stopGraceMs = TestSupport::scaled(200);
        services.store = store;
        services.userInfo = userInfo;
        return services;
    }

    void startCast(Road road = Road::Intel)
    {
        client = std::make_unique<RTSPClient>(device, controlServices(road));
        client->setMonitorCallback([this](qint32 status) { statuses.append(status); });
        client->startMrror();
    }

    // Sound, pictures and the control session's keep-alive are flowing.
    bool streaming(int audioPackets = 20, int videoFrames = 3)
    {
        return waitFor([&] {
            return audio->packetCount() >= audioPackets && video->decodedFrames() >= videoFrames
                && rtsp->methods().count("OPTIONS") >= 1;
        }, 30000);
    }

    int videoPacketsOfType(quint16 type) const
    {
        int count = 0;
        for (const VideoReceivedPacket &packet : video->packets())
            count += packet.type == type ? 1 : 0;
        return count;
    }

    QList<PostedInput> postedOf(Kind kind) const
    {
        QList<PostedInput> out;
        for (const PostedInput &input : std::as_const(injector->posted)) {
            if (input.kind == kind)
                out.append(input);
        }
        return out;
    }

    // Counts every sound datagram sent so far: the media thread's sends
    // are done, and the receiver reads what waits on its socket.
    void readWaitingSound()
    {
        if (pipeline)
            pipeline->mediaThread().run([] {});
        emulator->call([this](ReceiverEmulator &) { audio->readWaiting(); });
    }

    // Sends records to the connected controller now.
    void sendRecords(const QByteArray &bytes)
    {
        emulator->call([this, bytes](ReceiverEmulator &) { remote->sendNow(bytes); });
    }

    std::shared_ptr<Platform::Fake::FakeKeyValueStore> store;
    std::shared_ptr<Platform::Fake::FakeUserInfo> userInfo;
    QHostAddress address;
    DevicePtr device = std::make_shared<Device>();

    std::unique_ptr<ReceiverEmulatorThread> emulator;
    AudioRtpReceiver *audio = nullptr;
    RemoteInputSender *remote = nullptr;
    std::unique_ptr<VideoReceiver> video;
    std::unique_ptr<RtspReceiver> rtsp;

    std::shared_ptr<Platform::Fake::FakeSoundDevices> devices = std::make_shared<Platform::Fake::FakeSoundDevices>();
    std::shared_ptr<ToneSoundSource::Probe> tone = std::make_shared<ToneSoundSource::Probe>();
    Platform::Fake::FakeScreenSource *screen = nullptr;
    std::shared_ptr<Platform::Fake::FakeInputInjector> injector =
        std::make_shared<Platform::Fake::FakeInputInjector>();
    std::shared_ptr<Platform::Fake::FakeKeyboardLayout> layout =
        std::make_shared<Platform::Fake::FakeKeyboardLayout>(Platform::Fake::FakeKeyboardLayout::usSubset());

    // What the senders are made over, for tests that change it.
    QSize screenSize = kScreen;
    bool screenStarts = true;
    bool encoderRefuses = false;
    bool realSound = false;
    int resizeRestartDelayMs = 50;
    int keepAliveMs = 100;
    std::function<std::unique_ptr<Platform::ScreenSource>()> makeScreen;

    // The cast's media, its picture and its sound (none before the receiver
    // named its data port).
    CastPipeline *pipeline = nullptr;
    VideoSenderBase *videoSender = nullptr;
    AudioSession *audioSession() const { return pipeline ? pipeline->sound() : nullptr; }
    RemoteController *remoteController = nullptr;

    std::unique_ptr<RTSPClient> client;
    QList<qint32> statuses;
    QStringList notifications;
    std::unique_ptr<QObject> observer;
};

class CastOnEachRoad : public CastWithRealSenders, public ::testing::WithParamInterface<Road> {};

} // namespace

TEST_P(CastOnEachRoad, EverySenderStreamsToTheReceiver)
{
    // Records cut across segments, as a receiver's writes may be.
    const QByteArray script = rec(2, 0) + rec(1, 0) + rec(6, 10) + rec(7, -5) + rec(13, 0x41) + rec(10, 3)
                              + rec(1, 0xFFC4);
    remote->setScript({{script.left(10), 0}, {script.mid(10, 50), 20}, {script.mid(60), 20}});

    startCast(GetParam());
    ASSERT_TRUE(streaming(40, 5));
    ASSERT_TRUE(waitFor([&] {
        return injector->posted.size() >= 6 && notifications.contains(KeyboardViewerNotification::kName);
    }));
    spin(100); // for a status that must not come

    EXPECT_EQ(statuses, QList<qint32>{0});

    // The road the CPU brand picks.
    ASSERT_NE(videoSender, nullptr);
    if (GetParam() == Road::Apple)
        EXPECT_NE(dynamic_cast<VideoSession *>(videoSender), nullptr);
    else
        EXPECT_NE(dynamic_cast<VideoDisplaySession *>(videoSender), nullptr);

    // Sound goes to the port the receiver named and decodes as the tone.
    const QList<RtspReceiver::Request> requests = rtsp->requests();
    ASSERT_GE(requests.size(), 3);
    EXPECT_EQ(requests[1].method, "SETUP");
    ASSERT_NE(audioSession(), nullptr);
    EXPECT_EQ(audioSession()->dataPort(), audio->port());
    {
        std::lock_guard lock(tone->mutex);
        EXPECT_EQ(tone->device, QStringLiteral("Echovane"));
    }
    EXPECT_TRUE(audio->problems().isEmpty()) << audio->problems().join(QLatin1Char('\n')).toStdString();
    EXPECT_EQ(audio->packets().first().sequenceNumber, 0);
    EXPECT_EQ(audio->sampleRate(), 44100);
    EXPECT_EQ(audio->channels(), 2);
    EXPECT_EQ(audio->frameSizes().value(0), 480);
    EXPECT_NEAR(AudioTest::dominantFrequency(AudioTest::settled(audio->channelSamples(0)), 44100), kLeftHz, 20);
    EXPECT_NEAR(AudioTest::dominantFrequency(AudioTest::settled(audio->channelSamples(1)), 44100), kRightHz, 20);

    // Pictures of the fake screen decode at its size: parameter sets first,
    // then coded frames only.
    EXPECT_TRUE(video->headerErrors().isEmpty()) << video->headerErrors().join(QLatin1Char('\n')).toStdString();
    EXPECT_EQ(video->decodeErrors(), 0);
    EXPECT_EQ(video->decodedSize(), kScreen);
    ASSERT_FALSE(video->packets().isEmpty());
    EXPECT_EQ(video->packets().first().type, H264PacketTypeParameterSets);
    EXPECT_EQ(videoPacketsOfType(H264PacketTypeParameterSets), 1);

    // The receiver's records reach the injector in order.
    ASSERT_NE(remoteController, nullptr);
    const QList<PostedInput> &posted = injector->posted;
    ASSERT_EQ(posted.size(), 6);
    EXPECT_EQ(posted[0].kind, Kind::Key);
    EXPECT_TRUE(posted[0].down);
    EXPECT_EQ(posted[0].keyCode, 0);
    EXPECT_EQ(posted[1].kind, Kind::Key);
    EXPECT_FALSE(posted[1].down);
    EXPECT_EQ(posted[2].kind, Kind::Move);
    EXPECT_EQ(posted[2].point, QPointF(110, 95));
    EXPECT_EQ(posted[3].kind, Kind::Key);
    EXPECT_EQ(posted[3].modifiers, Platform::KeyModifier::Shift);
    EXPECT_TRUE(posted[3].down);
    EXPECT_EQ(posted[4].kind, Kind::Key);
    EXPECT_EQ(posted[4].modifiers, Platform::KeyModifier::Shift);
    EXPECT_FALSE(posted[4].down);
    EXPECT_EQ(posted[5].kind, Kind::Scroll);
    EXPECT_EQ(posted[5].vertical, -3);
    // The keyboard-viewer toggle posts no key; it reaches the library's
    // notification centre.
    EXPECT_EQ(notifications.count(KeyboardViewerNotification::kName), 1);
    EXPECT_EQ(remote->bytesReceived(), 0);
}

TEST_P(CastOnEachRoad, TheReceiversEncoderSizeReachesTheVideoSenderOfTheRoad)
{
    startCast(GetParam());
    ASSERT_TRUE(streaming(5, 3));
    ASSERT_EQ(video->decodedSize(), kScreen);

    rtsp->queueOptionsBody(RtspReceiver::encoderRequest(320, 180, 15));
    ASSERT_TRUE(waitFor([&] { return video->decodedSize() == QSize(320, 180); }, 10000));
    const QString expectedName = GetParam() == Road::Apple ? EncoderAttributeNotification::kAppleSiliconName
                                                           : EncoderAttributeNotification::kIntelName;
    EXPECT_EQ(notifications.count(expectedName), 1);
    EXPECT_EQ(videoSender->screenWidth(), 320);
    EXPECT_EQ(videoSender->screenHeight(), 180);
    EXPECT_EQ(videoSender->fps(), 15);
    // The restarted capture opens with new parameter sets.
    EXPECT_EQ(videoPacketsOfType(H264PacketTypeParameterSets), 2);
    EXPECT_EQ(video->decodeErrors(), 0);
    EXPECT_EQ(statuses, QList<qint32>{0});
}

INSTANTIATE_TEST_SUITE_P(Roads, CastOnEachRoad, ::testing::Values(Road::Apple, Road::Intel),
                         [](const ::testing::TestParamInfo<Road> &road) {
                             return road.param == Road::Apple ? std::string("CaptureSession")
                                                              : std::string("DisplayStream");
                         });

TEST_F(CastWithRealSenders, StopLeavesNothingStreamingAndReleasesWhatTheReceiverHolds)
{
    // A key and the left button go down and never come up; a record that
    // would come after the stop must not be injected.
    remote->setScript({{rec(2, 56) + rec(5, 0x0100), 0}, {rec(2, 12), 60000}});
    startCast();
    ASSERT_TRUE(streaming());
    ASSERT_TRUE(waitFor([&] { return injector->posted.size() >= 2; }));
    ASSERT_TRUE(tone->running);
    ASSERT_NE(screen, nullptr);
    ASSERT_TRUE(screen->isRunning());

    client->stopMirror();
    const quint16 packedBeforeStop = audioSession()->seqno();

    // Sound capture has ended by the time the stop returns, and what the
    // receiver held down is let go. The video connection is closed at once;
    // screen capture ends as the sender handles that close.
    EXPECT_FALSE(tone->running);
    EXPECT_TRUE(waitFor([&] { return !screen->isRunning(); }));
    const QList<PostedInput> keys = postedOf(Kind::Key);
    ASSERT_EQ(keys.size(), 2);
    EXPECT_EQ(keys[1].keyCode, 56);
    EXPECT_FALSE(keys[1].down);
    const QList<PostedInput> buttons = postedOf(Kind::Button);
    ASSERT_EQ(buttons.size(), 2);
    EXPECT_EQ(buttons[1].button, MouseButton::Left);
    EXPECT_FALSE(buttons[1].down);

    // "TEARDOWN" goes out and every connection of the cast closes.
    ASSERT_TRUE(waitFor([&] { return rtsp->methods().contains("TEARDOWN") && rtsp->clientClosed(); }));
    ASSERT_TRUE(waitFor([&] { return !video->isConnected() && remote->clientCloseCount() == 1; }));
    EXPECT_TRUE(waitFor([&] { return !client->isBusy(); }));

    // No datagram leaves after the stop: what arrives was packed before it,
    // and nothing more comes. The stop sent or dropped every datagram before
    // it returned, and the video connection's end came after its last byte.
    readWaitingSound();
    const int audioPackets = audio->packetCount();
    const int videoPackets = video->packetCount();
    spin(400); // for a packet that must not come
    EXPECT_EQ(audio->packetCount(), audioPackets);
    EXPECT_EQ(video->packetCount(), videoPackets);
    for (const AudioRtpReceiver::Packet &packet : audio->packets())
        EXPECT_LT(packet.sequenceNumber, packedBeforeStop);
    EXPECT_TRUE(audio->problems().isEmpty()) << audio->problems().join(QLatin1Char('\n')).toStdString();
    EXPECT_EQ(video->decodeErrors(), 0);

    EXPECT_EQ(injector->posted.size(), 4);
    EXPECT_EQ(statuses, QList<qint32>{0});
}

TEST_F(CastWithRealSenders, PauseStopsSoundAndPicturesWhileCaptureAndRemoteInputGoOn)
{
    startCast();
    ASSERT_TRUE(streaming());

    client->setMirrorPause(true);
    EXPECT_TRUE(client->getPauseMark());
    EXPECT_TRUE(videoSender->pauseCast());
    EXPECT_TRUE(audioSession()->pauseCast());

    // Let what was under way arrive, then nothing more may. The sound being
    // packed as the pause came is done once the source has handed over
    // twice more; then its datagrams are sent and read. The pictures the
    // encoder still holds have no such end to wait for: they have arrived
    // once none came for a second.
    const qint64 framesAtPause = tone->framesDelivered;
    ASSERT_TRUE(waitFor([&] { return tone->framesDelivered > framesAtPause; }));
    const qint64 framesAfterPause = tone->framesDelivered;
    ASSERT_TRUE(waitFor([&] { return tone->framesDelivered > framesAfterPause; }));
    readWaitingSound();
    ASSERT_TRUE(TestSupport::waitUntilSteady([&] { return video->packetCount(); }));
    const int audioPackets = audio->packetCount();
    const int videoPackets = video->packetCount();
    const qint64 toneFrames = tone->framesDelivered;
    sendRecords(rec(13, 0x31));
    spin(500); // for a packet that must not come
    EXPECT_EQ(audio->packetCount(), audioPackets);
    EXPECT_EQ(video->packetCount(), videoPackets);
    // Capture goes on, and so does the receiver's input.
    EXPECT_TRUE(tone->running);
    EXPECT_GT(tone->framesDelivered, toneFrames);
    EXPECT_TRUE(screen->isRunning());
    EXPECT_EQ(postedOf(Kind::Key).size(), 2);

    client->setMirrorPause(false);
    EXPECT_FALSE(client->getPauseMark());
    EXPECT_FALSE(audioSession()->pauseCast());
    ASSERT_TRUE(waitFor([&] {
        return audio->packetCount() >= audioPackets + 20 && video->packetCount() >= videoPackets + 2;
    }, 10000));

    // The sequence goes on without a gap, the pictures without new parameter
    // sets, and everything still decodes.
    const QList<AudioRtpReceiver::Packet> packets = audio->packets();
    for (int i = 0; i < packets.size(); ++i)
        EXPECT_EQ(packets[i].sequenceNumber, i);
    EXPECT_TRUE(audio->problems().isEmpty()) << audio->problems().join(QLatin1Char('\n')).toStdString();
    EXPECT_EQ(videoPacketsOfType(H264PacketTypeParameterSets), 1);
    EXPECT_EQ(video->decodeErrors(), 0);
    EXPECT_EQ(statuses, QList<qint32>{0});
}

TEST_F(CastWithRealSenders, TheReceiverClosingTheControlConnectionStopsEverySender)
{
    remote->setScript({{rec(2, 12), 0}});
    startCast();
    ASSERT_TRUE(streaming());
    ASSERT_TRUE(waitFor([&] { return injector->posted.size() >= 1; }));

    rtsp->closeClient();
    ASSERT_TRUE(waitFor([&] { return statuses.size() >= 2; }));
    spin(100); // for a status that must not come
    EXPECT_EQ(statuses, (QList<qint32>{0, MirrorSocketStatusClosedByServer}));
    EXPECT_FALSE(client->isBusy());
    EXPECT_FALSE(tone->running);
    EXPECT_FALSE(screen->isRunning());
    const QList<PostedInput> keys = postedOf(Kind::Key);
    ASSERT_EQ(keys.size(), 2);
    EXPECT_FALSE(keys[1].down);
    EXPECT_TRUE(waitFor([&] { return !video->isConnected() && remote->clientCloseCount() == 1; }));
}

TEST_F(CastWithRealSenders, TheReceiverClosingTheVideoConnectionIsReportedThroughTheControlSession)
{
    startCast();
    ASSERT_TRUE(streaming(5, 2));

    video->closeConnection();
    ASSERT_TRUE(waitFor([&] { return statuses.size() >= 2; }));
    EXPECT_EQ(statuses, (QList<qint32>{0, MirrorSocketStatusClosedByServer}));
    EXPECT_FALSE(screen->isRunning());

    // The cast's owner stops on that status: "TEARDOWN" and the rest end.
    client->stopMirror();
    EXPECT_FALSE(tone->running);
    ASSERT_TRUE(waitFor([&] { return rtsp->methods().contains("TEARDOWN") && !client->isBusy(); }));
    spin(100); // for a status that must not come
    EXPECT_EQ(statuses.size(), 2);
}

TEST_F(CastWithRealSenders, AReceiverThatFallsSilentLosesTheCastAndItsSenders)
{
    remote->setScript({{rec(2, 12), 0}});
    startCast();
    ASSERT_TRUE(streaming());
    ASSERT_TRUE(waitFor([&] { return injector->posted.size() >= 1; }));

    RtspReceiver::Behaviour behaviour = rtsp->behaviour();
    behaviour.answerOptions = false;
    rtsp->setBehaviour(behaviour);
    ASSERT_TRUE(waitFor([&] { return statuses.size() >= 2; }));
    spin(100); // for a status that must not come
    EXPECT_EQ(statuses, (QList<qint32>{0, MirrorSocketStatusHeartbeatLost}));
    EXPECT_FALSE(tone->running);
    EXPECT_FALSE(screen->isRunning());
    EXPECT_EQ(postedOf(Kind::Key).size(), 2);
    EXPECT_TRUE(waitFor([&] { return !video->isConnected() && remote->clientCloseCount() == 1; }));
}

TEST_F(CastWithRealSenders, TheOwnerMayStopAndDropTheCastInsideTheStatusCallback)
{
    remote->setScript({{rec(5, 0x0100), 0}});
    startCast();
    ASSERT_TRUE(streaming(5, 2));
    ASSERT_TRUE(waitFor([&] { return injector->posted.size() >= 1; }));

    // As the cast session does on a sender's failure: stop, then let go.
    client->setMonitorCallback([this](qint32 status) {
        statuses.append(status);
        if (status < 0) {
            client->stopMirror();
            client.reset();
        }
    });
    video->closeConnection();
    ASSERT_TRUE(waitFor([&] { return !client; }));
    // The senders went with the client (the fakes they held with them).
    screen = nullptr;
    EXPECT_EQ(statuses, (QList<qint32>{0, MirrorSocketStatusClosedByServer}));
    EXPECT_FALSE(tone->running);
    EXPECT_EQ(tone->starts, tone->stops);
    const QList<PostedInput> buttons = postedOf(Kind::Button);
    ASSERT_EQ(buttons.size(), 2);
    EXPECT_FALSE(buttons[1].down);
    EXPECT_TRUE(waitFor([&] { return rtsp->clientClosed() && remote->clientCloseCount() == 1; }));
    spin(100); // for a status that must not come
    EXPECT_EQ(statuses.size(), 2);
}

TEST_F(CastWithRealSenders, AStopInAnyStateOfTheCastLeavesNoThreadOfIt)
{
    ASSERT_TRUE(castThreads().isEmpty()) << castThreads().join(QLatin1Char(',')).toStdString();
    const quint16 videoPort = video->port();
    const quint16 controlPort = rtsp->port();
    const RtspReceiver::Behaviour usual = rtsp->behaviour();
    // The re-size below waits long enough to be caught in the middle.
    resizeRestartDelayMs = 3000;
    const auto running = [](std::initializer_list<const char *> names) {
        return waitFor([&] {
            const QStringList threads = castThreads();
            for (const char *name : names) {
                if (!threads.contains(QLatin1String(name)))
                    return false;
            }
            return true;
        });
    };
    const auto streamingFully = [&] {
        startCast();
        return streaming(5, 2) && running({"tavlin-media", "tavlin-capture", "tavlin-convert", "tavlin-encode",
                                           "tavlin-audio"});
    };
    std::unique_ptr<TestSupport::HangingListener> hanging;

    struct State {
        const char *name;
        // Brings the cast to the state; false when it does not get there.
        std::function<bool()> reach;
        // The cast has ended on its own: nobody calls stop.
        bool endsOnItsOwn = false;
    };
    const QList<State> states = {
        {"made, not started",
         [&] {
             client = std::make_unique<RTSPClient>(device, controlServices(Road::Intel));
             return true;
         }},
        {"control connection coming up",
         [&] {
             hanging = std::make_unique<TestSupport::HangingListener>(address);
             if (!hanging->fill())
                 return false;
             DynamicPortTable::setDynamicPort_51040(hanging->port());
             startCast();
             spin(50);
             return client->isBusy();
         }},
        {"video connection coming up",
         [&] {
             hanging = std::make_unique<TestSupport::HangingListener>(address);
             if (!hanging->fill())
                 return false;
             DynamicPortTable::setDynamicPort_51030(hanging->port());
             startCast();
             return running({"tavlin-media"});
         }},
        {"picture without sound yet",
         [&] {
             RtspReceiver::Behaviour behaviour = usual;
             behaviour.answerAudioSetup = false;
             rtsp->setBehaviour(behaviour);
             // The unanswered request is given up only after six ticks.
             keepAliveMs = 5000;
             startCast();
             return waitFor([&] { return video->decodedFrames() >= 2; })
                    && running({"tavlin-media", "tavlin-capture", "tavlin-convert", "tavlin-encode"});
         }},
        {"picture and sound", streamingFully},
        {"paused",
         [&] {
             if (!streamingFully())
                 return false;
             client->setMirrorPause(true);
             spin(100);
             return true;
         }},
        {"re-sizing",
         [&] {
             if (!streamingFully())
                 return false;
             rtsp->queueOptionsBody(RtspReceiver::encoderRequest(320, 180, 15));
             return waitFor([&] { return videoSender->screenWidth() == 320 && !videoSender->isCapturing(); });
         }},
        {"picture ended by the receiver",
         [&] {
             if (!streamingFully())
                 return false;
             video->closeConnection();
             return waitFor([&] { return statuses.contains(-7); });
         }},
        {"control connection ended by the receiver",
         [&] {
             if (!streamingFully())
                 return false;
             rtsp->closeClient();
             return waitFor([&] { return statuses.contains(-7); });
         },
         true},
        {"heartbeat lost",
         [&] {
             if (!streamingFully())
                 return false;
             RtspReceiver::Behaviour behaviour = usual;
             behaviour.answerOptions = false;
             rtsp->setBehaviour(behaviour);
             return waitFor([&] { return statuses.contains(-8); });
         },
         true},
    };
    for (const State &state : states) {
        SCOPED_TRACE(state.name);
        statuses.clear();
        ASSERT_TRUE(state.reach());
        if (!state.endsOnItsOwn)
            client->stopMirror();
        // Joined by the time the stop returns; a joined thread may stay
        // listed for a moment while the system reaps it.
        EXPECT_TRUE(waitFor([] { return castThreads().isEmpty(); }, 2000))
            << castThreads().join(QLatin1Char(',')).toStdString();
        client.reset();
        EXPECT_TRUE(castThreads().isEmpty());
        hanging.reset();
        keepAliveMs = 100;
        rtsp->setBehaviour(usual);
        DynamicPortTable::setDynamicPort_51030(videoPort);
        DynamicPortTable::setDynamicPort_51040(controlPort);
        // Whatever the receivers still hold of this cast goes before the next.
        spin(100);
    }
}

TEST_F(CastWithRealSenders, WithoutADataPortTheCastGoesOnWithoutSound)
{
    RtspReceiver::Behaviour behaviour = rtsp->behaviour();
    behaviour.audioSetupReplyBody.clear();
    rtsp->setBehaviour(behaviour);
    startCast();
    ASSERT_TRUE(waitFor([&] { return video->decodedFrames() >= 2 && rtsp->methods().count("OPTIONS") >= 2; }));
    EXPECT_EQ(audioSession(), nullptr);
    EXPECT_EQ(tone->starts, 0);
    EXPECT_EQ(audio->packetCount(), 0);
    EXPECT_EQ(statuses, QList<qint32>{0});
}

// --- The production senders ---

TEST(MirrorSenderFactoryLinux, MakesTheRealMediaOfEachRoad)
{
    const MirrorSenderFactory factory = MirrorSenderFactory::fromPlatform(Platform::Linux::makePlatformServices());
    ASSERT_TRUE(factory.makeMedia);
    ASSERT_TRUE(factory.makeRemoteController);

    const DevicePtr device = std::make_shared<Device>();
    device->mHostIp = QStringLiteral("127.0.0.1");
    const auto appleRoad = factory.makeMedia(device, true);
    const auto intelRoad = factory.makeMedia(device, false);
    const auto *applePipeline = dynamic_cast<CastPipeline *>(appleRoad.get());
    const auto *intelPipeline = dynamic_cast<CastPipeline *>(intelRoad.get());
    ASSERT_NE(applePipeline, nullptr);
    ASSERT_NE(intelPipeline, nullptr);
    EXPECT_NE(dynamic_cast<VideoSession *>(applePipeline->video()), nullptr);
    EXPECT_NE(dynamic_cast<VideoDisplaySession *>(intelPipeline->video()), nullptr);
    EXPECT_EQ(applePipeline->sound(), nullptr);
    EXPECT_NE(dynamic_cast<RemoteController *>(factory.makeRemoteController(device).get()), nullptr);

    // The pipeline hands the pause flag on.
    appleRoad->setPaused(true);
    EXPECT_TRUE(appleRoad->isPaused());
    EXPECT_TRUE(applePipeline->video()->pauseCast());
    appleRoad->setPaused(false);
    EXPECT_FALSE(applePipeline->video()->pauseCast());
}

TEST_F(CastWithRealSenders, ThePlainControlSessionCastsThisSystemsScreen)
{
    const bool display = !Platform::Linux::makeDisplayInfo()->mainDisplayBounds().isEmpty();
    if (!TestSupport::requireFacility("X display", display))
        return;
    // No scripted input: the real injector would act on the shared display.
    client = std::make_unique<RTSPClient>(device, RTSPClientServices::fromPlatform(Platform::Linux::makePlatformServices()));
    client->setMonitorCallback([this](qint32 status) { statuses.append(status); });
    client->startMrror();

    ASSERT_TRUE(waitFor([&] { return video->decodedFrames() >= 1 && remote->connectionCount() == 1; }, 20000));
    EXPECT_EQ(statuses, QList<qint32>{0});
    EXPECT_EQ(video->decodeErrors(), 0);
    EXPECT_FALSE(video->decodedSize().isEmpty());
    ASSERT_TRUE(waitFor([&] { return rtsp->methods().count("OPTIONS") >= 1; }));

    client->stopMirror();
    ASSERT_TRUE(waitFor([&] { return rtsp->methods().contains("TEARDOWN") && !client->isBusy(); }));
    EXPECT_TRUE(waitFor([&] { return !video->isConnected() && remote->clientCloseCount() == 1; }));
    EXPECT_EQ(statuses, QList<qint32>{0});
}

// --- Failures of the picture end the cast; a failure of the sound does not ---

namespace {

enum class VideoFault { PortBeyondRange, VideoRefused, CaptureRefused, ScreenWithoutArea, EncoderRefused, DisplayGone };

// What the cast session reports to its owner.
class CastRecorder : public CastPackDelegate {
public:
    void castPack_castSuccess() override { events << QStringLiteral("castSuccess"); }
    void castPack_castStopWithError(const OptionalTavlinError &error) override
    {
        events << (error ? QStringLiteral("castStop(%1,%2)").arg(error->domain).arg(error->code)
                         : QStringLiteral("castStop()"));
    }
    QStringList events;
};

class CastEndsOnAVideoFault : public CastWithRealSenders,
                              public ::testing::WithParamInterface<std::tuple<Road, VideoFault>> {};

std::string faultCaseName(const ::testing::TestParamInfo<std::tuple<Road, VideoFault>> &info)
{
    static const char *const faults[] = {"PortBeyondRange",   "VideoRefused",   "CaptureRefused",
                                         "ScreenWithoutArea", "EncoderRefused", "DisplayGone"};
    return std::string(std::get<0>(info.param) == Road::Apple ? "CaptureSession_" : "DisplayStream_")
           + faults[int(std::get<1>(info.param))];
}

} // namespace

TEST_P(CastEndsOnAVideoFault, ThroughTheStatusCallbackAndNeverAsASilentCast)
{
    const auto [road, fault] = GetParam();
    switch (fault) {
    case VideoFault::PortBeyondRange:
        // Cut to 16 bits this would be the receiver's video port.
        DynamicPortTable::setDynamicPort_51030(65536 + video->port());
        break;
    case VideoFault::VideoRefused:
        // The control session is answered, but nobody takes the picture.
        video->stop();
        break;
    case VideoFault::CaptureRefused:
        screenStarts = false;
        break;
    case VideoFault::ScreenWithoutArea:
        screenSize = QSize(0, 0);
        break;
    case VideoFault::EncoderRefused:
        encoderRefuses = true;
        break;
    case VideoFault::DisplayGone:
        break;
    }
    TavlinGlobal::setChoseDevice(device);
    TavlinGlobal::setIsConnecting(true);
    CastPackServices services;
    services.rtsp = controlServices(road);
    // The stopped control session, with its senders and the fake screen
    // this test looks at, stays until the end of the test.
    services.timings.stoppedControlLingerMs = 60000;
    CastRecorder recorder;
    auto pack = std::make_unique<TLCastPack>(&recorder, services);
    pack->castOperator(1);

    if (fault == VideoFault::DisplayGone) {
        ASSERT_TRUE(streaming(10, 2));
        screen->fail(QStringLiteral("the display went away"));
    }
    ASSERT_TRUE(waitFor([&] { return recorder.events.size() >= 2; }, 15000)) << recorder.events.join(' ').toStdString();
    spin(200); // for an event that must not come
    // A refused connect is an end the receiver caused, as on the control
    // connection; every other fault is this side's.
    const QString stop = fault == VideoFault::VideoRefused ? QStringLiteral("castStop(MIRROR_SOCKET_CLOSE_BY_SERVEREXIT,-7)")
                                                           : QStringLiteral("castStop(MIRROR_SOCKET_CONNECT_FAILED,-1)");
    EXPECT_EQ(recorder.events, (QStringList{QStringLiteral("castSuccess"), stop}));
    EXPECT_FALSE(pack->isCasting());
    EXPECT_FALSE(TavlinGlobal::getIsCasting());

    // Everything of the cast ends with it.
    ASSERT_TRUE(waitFor([&] { return rtsp->methods().contains("TEARDOWN") && rtsp->clientClosed(); }));
    EXPECT_TRUE(waitFor([&] { return !tone->running && remote->clientCloseCount() == 1 && !video->isConnected(); }));
    if (screen) {
        EXPECT_FALSE(screen->isRunning());
    }
    const bool neverConnects = fault == VideoFault::PortBeyondRange || fault == VideoFault::VideoRefused;
    EXPECT_EQ(video->connectionCount(), neverConnects ? 0 : 1);
    const int packets = video->packetCount();
    spin(300); // for a packet that must not come
    EXPECT_EQ(video->packetCount(), packets);
    pack.reset();
    screen = nullptr;
}

INSTANTIATE_TEST_SUITE_P(
    RoadsAndFaults, CastEndsOnAVideoFault,
    ::testing::Combine(::testing::Values(Road::Apple, Road::Intel),
                       ::testing::Values(VideoFault::PortBeyondRange, VideoFault::VideoRefused, VideoFault::CaptureRefused,
                                         VideoFault::ScreenWithoutArea, VideoFault::EncoderRefused,
                                         VideoFault::DisplayGone)),
    faultCaseName);

TEST_P(CastOnEachRoad, TheXServerGoingAwayEndsTheCast)
{
    PrivateXServer x;
    if (!TestSupport::requireFacility("Xvfb", x.start(QSize(640, 360))))
        return;
    const QByteArray display = x.displayName();
    makeScreen = [display] { return Platform::Linux::makeScreenSource(display); };
    startCast(GetParam());
    // A still screen: the capture-session road sends it once, the other one
    // repeats it.
    ASSERT_TRUE(waitFor([&] {
        return video->decodedFrames() >= 1 && audio->packetCount() >= 10 && rtsp->methods().count("OPTIONS") >= 1;
    }, 15000));
    EXPECT_EQ(video->decodedSize(), QSize(640, 360));

    x.kill();
    ASSERT_TRUE(waitFor([&] { return statuses.size() >= 2; }));
    spin(200); // for a status that must not come
    EXPECT_EQ(statuses, (QList<qint32>{0, MirrorSocketStatusOther}));
    EXPECT_TRUE(waitFor([&] { return !video->isConnected(); }));
    EXPECT_FALSE(videoSender->isCapturing());
    // The owner stops on that status, and every sender ends.
    client->stopMirror();
    EXPECT_FALSE(tone->running);
    ASSERT_TRUE(waitFor([&] { return rtsp->methods().contains("TEARDOWN") && !client->isBusy(); }));
    EXPECT_TRUE(waitFor([&] { return remote->clientCloseCount() == 1; }));
    EXPECT_EQ(statuses.size(), 2);
}

TEST_F(CastWithRealSenders, TheSoundServerGoingAwayLeavesTheCastWithoutSound)
{
    PrivateSoundServer pulse;
    if (!TestSupport::requireFacility("PulseAudio", PrivateSoundServer::available() && pulse.start()))
        return;
    SoundServerOverride useIt(pulse.serverAddress());
    realSound = true;
    devices->captures.clear();
    devices->addCapture(QStringLiteral("Quiet.monitor"), QStringLiteral("Echovane:0"));

    TestSupport::LogCapture log;
    startCast();
    ASSERT_TRUE(streaming(20, 3));
    ASSERT_NE(audioSession(), nullptr);
    ASSERT_TRUE(audioSession()->isCapturing());

    pulse.kill();
    ASSERT_TRUE(waitFor([&] { return !audioSession()->isCapturing(); }));
    readWaitingSound();
    const int audioPackets = audio->packetCount();
    const int videoPackets = video->packetCount();
    const int options = int(rtsp->methods().count("OPTIONS"));
    // Pictures and the session go on; sound does not, and is said once.
    ASSERT_TRUE(waitFor([&] {
        return video->packetCount() >= videoPackets + 5 && rtsp->methods().count("OPTIONS") >= options + 3;
    }));
    EXPECT_EQ(audio->packetCount(), audioPackets);
    EXPECT_EQ(statuses, QList<qint32>{0});
    EXPECT_EQ(log.countContaining(QStringLiteral("casting without sound")), 1);
    EXPECT_EQ(video->decodeErrors(), 0);

    client->stopMirror();
    ASSERT_TRUE(waitFor([&] { return rtsp->methods().contains("TEARDOWN") && !client->isBusy(); }));
    EXPECT_EQ(statuses, QList<qint32>{0});
}
