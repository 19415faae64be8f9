#include <gtest/gtest.h>

#include <QTcpServer>
#include <QVariant>

#include "FakePlatform.h"
#include "FakeSenders.h"
#include "HostilePlists.h"
#include "PeakMemory.h"
#include "PlistOracle.h"
#include "Rtsp/NotificationCenter.h"
#include "Rtsp/RTSPClient.h"
#include "HangingListener.h"
#include "RtspReceiver.h"
#include "TestSupport.h"
#include "Utils/TavlinGlobal/DynamicPortTable.h"
#include "Utils/TavlinGlobal/TavlinGlobal.h"
#include "Utils/settings/settings.h"

using TestSupport::spin;
using TestSupport::waitFor;

namespace {

struct PostedNotification {
    QString name;
    QVariant object;

    EncoderSizeRequest request() const { return object.value<EncoderSizeRequest>(); }
};

class RTSPClientTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        TavlinGlobal::resetAll();
        DynamicPortTable::resetToDefaults();
        store = std::make_shared<Platform::Fake::FakeKeyValueStore>();
        userInfo = std::make_shared<Platform::Fake::FakeUserInfo>();
        userInfo->name = QStringLiteral("alice");
        settings::setStore(store);
        address = TestSupport::uniqueLoopbackAddress();
        device = std::make_shared<Device>();
        device->mHostIp = address.toString();
        observer = std::make_unique<QObject>();
        QObject::connect(NotificationCenter::defaultCenter(), &NotificationCenter::notificationPosted,
                         observer.get(), [this](const QString &name, const QVariant &object) {
                             notifications.append({name, object});
                         });
    }

    void TearDown() override
    {
        client.reset();
        observer.reset();
        settings::setStore(nullptr);
        DynamicPortTable::resetToDefaults();
        TavlinGlobal::resetAll();
    }

    RTSPClientServices services(int keepAliveMs = 100) const
    {
        RTSPClientServices s;
        s.senders = fakes.factory();
        s.timings.connectTimeoutMs = TestSupport::scaled(3000);
        s.timings.keepAliveIntervalMs = TestSupport::scaled(keepAliveMs);
        s.timings.stopGraceMs = TestSupport::scaled(200);
        s.store = store;
        s.userInfo = userInfo;
        return s;
    }

    void makeClient(RTSPClientServices s)
    {
        client = std::make_unique<RTSPClient>(device, std::move(s));
        client->setMonitorCallback([this](qint32 status) { statuses.append(status); });
    }

    // Listens with the emulator, points the port table at it and starts.
    void startAgainst(RtspReceiver &receiver, int keepAliveMs = 100)
    {
        ASSERT_TRUE(receiver.listen(address));
        DynamicPortTable::setDynamicPort_51040(receiver.port());
        makeClient(services(keepAliveMs));
        client->startMrror();
    }

    static QByteArray audioReplyBody(int port)
    {
        return PlistOracle::encodeBinary(QStringLiteral("{\"streams\": [{\"dataPort\": %1}]}").arg(port));
    }

    // Runs a cast up to the keep-alive with sound on `port`.
    void startStreaming(RtspReceiver &receiver, int keepAliveMs = 100)
    {
        RtspReceiver::Behaviour behaviour = receiver.behaviour();
        behaviour.audioSetupReplyBody = audioReplyBody(7011);
        receiver.setBehaviour(behaviour);
        startAgainst(receiver, keepAliveMs);
        ASSERT_TRUE(waitFor([&] { return receiver.methods().count("OPTIONS") >= 1; }));
        ASSERT_TRUE(fakes.logged("audio.start"));
    }

    bool havePython() { return TestSupport::requireFacility("python3 with plistlib", PlistOracle::available()); }

    QByteArray expectedHead(const char *method, int cseq, std::optional<int> aspect, qsizetype bodyLength) const
    {
        QByteArray head = QByteArray(method) + " rtsp://" + address.toString().toUtf8() + " RTSP/1.0\r\n";
        head += "CSeq: " + QByteArray::number(cseq) + "\r\n";
        if (aspect)
            head += "AspectRatio: " + QByteArray::number(*aspect) + "\r\n";
        if (bodyLength > 0)
            head += "Content-Length: " + QByteArray::number(bodyLength) + "\r\n";
        return head + "User-Agent: Tavlin (Tavlin 1.0)\r\n\r\n";
    }

    std::shared_ptr<Platform::Fake::FakeKeyValueStore> store;
    std::shared_ptr<Platform::Fake::FakeUserInfo> userInfo;
    QHostAddress address;
    DevicePtr device;
    FakeSenders fakes;
    std::unique_ptr<RTSPClient> client;
    QList<qint32> statuses;
    QList<PostedNotification> notifications;
    std::unique_ptr<QObject> observer;
};

const QStringList kStopsOfAll{"video.stopMirror", "audio.stop", "remote.stopController"};

bool containsInOrder(const QStringList &log, const QStringList &entries)
{
    qsizetype from = 0;
    for (const QString &entry : entries) {
        from = log.indexOf(entry, from);
        if (from < 0)
            return false;
        ++from;
    }
    return true;
}

} // namespace

// --- The whole session against the emulator ---

TEST_F(RTSPClientTest, FullCastSendsEveryRequestByteForByteAndStartsTheSendersInOrder)
{
    if (!havePython())
        return;
    RtspReceiver receiver;
    startStreaming(receiver);
    ASSERT_TRUE(waitFor([&] { return receiver.methods().count("OPTIONS") >= 3; }));
    EXPECT_EQ(statuses, QList<qint32>{MirrorSocketStatusConnected});
    EXPECT_TRUE(client->isBusy());

    const QList<RtspReceiver::Request> requests = receiver.requests();
    ASSERT_GE(requests.size(), 5);
    // Video "SETUP": the only request with "AspectRatio".
    EXPECT_EQ(requests[0].head, expectedHead("SETUP", 1, 0, requests[0].body.size()));
    EXPECT_EQ(PlistOracle::decode(requests[0].body),
              PlistOracle::tagged(R"({"streams":[{"type":{"int":110},"MacOSXStream":{"bool":true},
                                    "machine_name":{"data":"616c696365"},"showKeyboardMenu":{"bool":true}}]})"));
    // Audio "SETUP".
    EXPECT_EQ(requests[1].head, expectedHead("SETUP", 2, std::nullopt, requests[1].body.size()));
    EXPECT_EQ(PlistOracle::decode(requests[1].body),
              PlistOracle::tagged(R"({"streams":[{"type":{"int":96},"audioFormat":{"int":16777216}}]})"));
    // "OPTIONS": no length line and no body, one sequence number each.
    for (int i = 2; i < requests.size(); ++i) {
        EXPECT_EQ(requests[i].raw, expectedHead("OPTIONS", i + 1, std::nullopt, 0)) << i;
    }

    // The media and remote input, in the order the cast needs them.
    EXPECT_TRUE(containsInOrder(fakes.log(), {"VideoDisplaySession.init", "remote.init", "video.setMonitorCallback",
                                              "video.startMrror", "remote.startController",
                                              "audio.init(7011)", "audio.start"}))
        << fakes.log().join(", ").toStdString();
    EXPECT_EQ(fakes.shared().audioPorts, QList<quint16>{7011});

    // Stop: pause flags off, "TEARDOWN" with its body, senders stopped, the
    // connection closed from this side, and no status for it.
    fakes.clearLog();
    const int before = receiver.requests().size();
    client->stopMirror();
    EXPECT_EQ(fakes.log(), (QStringList{"video.setPauseResumeMark(0)", "audio.setPauseCast(0)", "audio.stop",
                                        "video.stopMirror", "remote.stopController"}));
    ASSERT_TRUE(waitFor([&] { return receiver.methods().contains("TEARDOWN"); }));
    const RtspReceiver::Request teardown = receiver.requests().last();
    EXPECT_EQ(teardown.head, expectedHead("TEARDOWN", before + 1, std::nullopt, teardown.body.size()));
    EXPECT_EQ(PlistOracle::decode(teardown.body), PlistOracle::tagged(R"({"streams":[{"type":{"int":110}}]})"));
    ASSERT_TRUE(waitFor([&] { return !client->isBusy() && receiver.clientClosed(); }));
    spin(300); // for a status or a request that must not come
    EXPECT_EQ(statuses, QList<qint32>{MirrorSocketStatusConnected});
    EXPECT_EQ(receiver.methods().last(), QByteArray("TEARDOWN"));
    EXPECT_EQ(fakes.log().count("video.stopMirror"), 1);
}

TEST_F(RTSPClientTest, AspectRatioAndMachineNameComeFromTheUserSettings)
{
    if (!havePython())
        return;
    store->setValue(QStringLiteral("kKeepScreenRatioKey"), 1);
    store->setValue(QStringLiteral("TavlinMacClientName"), QStringLiteral("Zoë's desk"));
    {
        RtspReceiver receiver;
        startAgainst(receiver);
        ASSERT_TRUE(waitFor([&] { return receiver.requests().size() >= 2; }));
        const RtspReceiver::Request setup = receiver.requests().first();
        EXPECT_EQ(setup.head, expectedHead("SETUP", 1, 1, setup.body.size()));
        EXPECT_EQ(PlistOracle::decode(setup.body).value_or(QJsonValue())[QLatin1String("streams")][0]
                      [QLatin1String("machine_name")],
                  PlistOracle::tagged(R"({"data":"5a6fc3ab2773206465736b"})"));
        client.reset();
    }
    // No stored name: the account name.
    store->remove(QStringLiteral("TavlinMacClientName"));
    userInfo->name = QStringLiteral("bob");
    RtspReceiver receiver;
    startAgainst(receiver);
    ASSERT_TRUE(waitFor([&] { return !receiver.requests().isEmpty(); }));
    EXPECT_EQ(PlistOracle::decode(receiver.requests().first().body).value_or(QJsonValue())[QLatin1String("streams")][0]
                  [QLatin1String("machine_name")],
              PlistOracle::tagged(R"({"data":"626f62"})"));
}

TEST_F(RTSPClientTest, SplitRepliesAreReassembled)
{
    if (!havePython())
        return;
    RtspReceiver::Behaviour behaviour;
    behaviour.delivery = RtspReceiver::Delivery::ByteByByte;
    RtspReceiver receiver(behaviour);
    // Keep-alives far enough apart that a slow machine's trickle of their
    // replies never falls behind them.
    startStreaming(receiver, 1000);
    EXPECT_EQ(fakes.shared().audioPorts, QList<quint16>{7011});
    receiver.queueOptionsBody(R"({"casting_win_width":1280,"casting_win_height":720,"Framerate":30,"feature":1})");
    ASSERT_TRUE(waitFor([&] { return !notifications.isEmpty(); }));
    EXPECT_EQ(notifications.first().request().width, 1280);
    EXPECT_EQ(statuses, QList<qint32>{MirrorSocketStatusConnected});
}

TEST_F(RTSPClientTest, CoalescedRepliesEachCountAndAreMatchedInOrder)
{
    if (!havePython())
        return;
    RtspReceiver::Behaviour behaviour;
    behaviour.delivery = RtspReceiver::Delivery::HoldForNext;
    RtspReceiver receiver(behaviour);
    startStreaming(receiver, 60);
    // Every second "OPTIONS" reply leaves together with the one before: two
    // replies in one segment, each resetting the keep-alive count.
    receiver.queueOptionsBody({});
    receiver.queueOptionsBody(R"({"casting_win_width":800,"casting_win_height":600,"Framerate":-5,"feature":1})");
    ASSERT_TRUE(waitFor([&] { return !notifications.isEmpty(); }));
    EXPECT_EQ(notifications.first().request().fps, 20);
    ASSERT_TRUE(waitFor([&] { return receiver.methods().count("OPTIONS") >= 12; }));
    EXPECT_EQ(statuses, QList<qint32>{MirrorSocketStatusConnected});
    EXPECT_LE(client->keepAliveCount(), 2);
}

// --- Sound ---

TEST_F(RTSPClientTest, TheAudioSetupReplyDecidesWhetherTheCastHasSound)
{
    if (!havePython())
        return;
    enum Form { Binary, Xml };
    struct Case {
        const char *python; // none: the body is `raw`
        Form form;
        std::optional<quint16> port;
        QByteArray raw;
    };
    const Case cases[] = {
        // Either form of property list, the port as any whole number.
        {R"({"streams": [{"dataPort": 7011}]})", Xml, 7011, {}},
        {R"({"streams": [{"dataPort": 7011.0}]})", Binary, 7011, {}},
        {R"({"streams": [{"dataPort": "7011"}]})", Xml, 7011, {}},
        // No usable port: the cast goes on without sound.
        {R"({"streams": [{"dataPort": 0}]})", Binary, std::nullopt, {}},
        {R"({"streams": [{"dataPort": 70000}]})", Binary, std::nullopt, {}},
        {R"({"streams": [{"dataPort": -1}]})", Binary, std::nullopt, {}},
        {R"({"streams": []})", Binary, std::nullopt, {}},
        {R"({"streams": [{"dataPort": "port"}]})", Binary, std::nullopt, {}},
        {R"({"streams": [{"dataPort": 7011.5}]})", Xml, std::nullopt, {}},
        {nullptr, Binary, std::nullopt, QByteArray()},
        {nullptr, Binary, std::nullopt, QByteArray("not a property list")},
    };
    QStringList literals;
    for (const Case &c : cases)
        literals << QString::fromUtf8(c.python ? c.python : "None");
    const QList<QPair<QByteArray, QByteArray>> encoded = PlistOracle::encodeBoth(literals);
    ASSERT_EQ(encoded.size(), literals.size());
    for (qsizetype i = 0; i < literals.size(); ++i) {
        const Case &c = cases[i];
        const QByteArray body = !c.python ? c.raw : c.form == Xml ? encoded[i].second : encoded[i].first;
        RtspReceiver::Behaviour behaviour;
        behaviour.audioSetupReplyBody = body;
        RtspReceiver receiver(behaviour);
        fakes.clearLog();
        fakes.shared().audioPorts.clear();
        startAgainst(receiver);
        // The keep-alive starts either way.
        ASSERT_TRUE(waitFor([&] { return receiver.methods().count("OPTIONS") >= 2; })) << literals[i].toStdString();
        EXPECT_EQ(fakes.logged("audio.start"), c.port.has_value()) << literals[i].toStdString();
        if (c.port) {
            EXPECT_EQ(fakes.shared().audioPorts, QList<quint16>{*c.port});
        } else {
            EXPECT_TRUE(fakes.shared().audioPorts.isEmpty());
        }
        client.reset();
    }
}

// 127 bytes whose arrays each hold the next one twice: expanded, more than
// four million values. The session refuses the reply without building it and
// casts on without sound.
TEST_F(RTSPClientTest, AnAudioReplyThatWouldExpandToMillionsOfValuesMeansNoSound)
{
    RtspReceiver::Behaviour behaviour;
    behaviour.audioSetupReplyBody = HostilePlists::sharedDoubling(21);
    ASSERT_EQ(behaviour.audioSetupReplyBody.size(), 127);
    RtspReceiver receiver(behaviour);
    const qint64 base = PeakMemory::start();
    startAgainst(receiver);
    ASSERT_TRUE(waitFor([&] { return receiver.methods().count("OPTIONS") >= 2; }));
    EXPECT_LT(PeakMemory::peak() - base, qint64(64) << 20);
    EXPECT_FALSE(fakes.logged("audio.start"));
    EXPECT_EQ(statuses, QList<qint32>{MirrorSocketStatusConnected});
}

TEST_F(RTSPClientTest, TruncatedOrOversizedAudioReplyBodiesMeanNoSound)
{
    if (!havePython())
        return;
    const QByteArray good = audioReplyBody(7011);
    // Content-Length promises more than ever comes: after a quiet tick the
    // reply is taken without a body.
    {
        RtspReceiver receiver;
        receiver.setReplyOverride([good](const RtspReceiver::Request &request) -> std::optional<QByteArray> {
            if (request.method == "SETUP" && request.cseq == 2)
                return "RTSP/1.0 200 OK\r\nCSeq: 2\r\nContent-Length: 500\r\n\r\n" + good;
            return std::nullopt;
        });
        startAgainst(receiver);
        ASSERT_TRUE(waitFor([&] { return receiver.methods().count("OPTIONS") >= 2; }));
        EXPECT_TRUE(fakes.shared().audioPorts.isEmpty());
        EXPECT_EQ(statuses, QList<qint32>{MirrorSocketStatusConnected});
        client.reset();
    }
    // A body beyond 4096 bytes is skipped whole; what follows is framed as
    // usual.
    {
        RtspReceiver receiver;
        QByteArray padded = good + QByteArray(5000, '\0');
        receiver.setReplyOverride([padded](const RtspReceiver::Request &request) -> std::optional<QByteArray> {
            if (request.method == "SETUP" && request.cseq == 2)
                return RtspReceiver::okReply(2, padded);
            return std::nullopt;
        });
        startAgainst(receiver);
        receiver.queueOptionsBody(R"({"casting_win_width":1280,"casting_win_height":720,"Framerate":30,"feature":1})");
        ASSERT_TRUE(waitFor([&] { return !notifications.isEmpty(); }));
        EXPECT_TRUE(fakes.shared().audioPorts.isEmpty());
    }
}

// --- Keep-alive ---

TEST_F(RTSPClientTest, SilentReceiverGetsSixKeepAlivesThenHeartbeatLostOnce)
{
    if (!havePython())
        return;
    RtspReceiver::Behaviour behaviour;
    behaviour.answerOptions = false;
    RtspReceiver receiver(behaviour);
    startStreaming(receiver, 40);
    ASSERT_TRUE(waitFor([&] { return statuses.size() >= 2; }));
    EXPECT_EQ(statuses, (QList<qint32>{MirrorSocketStatusConnected, MirrorSocketStatusHeartbeatLost}));
    ASSERT_TRUE(waitFor([&] { return !client->isBusy() && receiver.clientClosed(); }));
    spin(300); // for a request or a status that must not come
    // Exactly six, no "TEARDOWN", and no further status for the close.
    EXPECT_EQ(receiver.methods().count("OPTIONS"), 6);
    EXPECT_FALSE(receiver.methods().contains("TEARDOWN"));
    EXPECT_EQ(statuses.size(), 2);
    for (const QString &stop : kStopsOfAll)
        EXPECT_EQ(fakes.log().count(stop), 1) << stop.toStdString();
}

TEST_F(RTSPClientTest, AnsweredKeepAlivesKeepTheSessionUp)
{
    if (!havePython())
        return;
    RtspReceiver receiver;
    startStreaming(receiver, 40);
    ASSERT_TRUE(waitFor([&] { return receiver.methods().count("OPTIONS") >= 15; }));
    EXPECT_EQ(statuses, QList<qint32>{MirrorSocketStatusConnected});
    // Each answer puts the count back (how far it got before depends on how
    // soon the answer came).
    EXPECT_TRUE(waitFor([&] { return client->keepAliveCount() == 0; }));
}

TEST_F(RTSPClientTest, TicksWhileWritesPileUpSendNothingAndCountNothing)
{
    if (!havePython())
        return;
    // A stalled receiver that answered both "SETUP" requests before reading
    // them: the video "SETUP" (with a very long name) cannot leave, the audio
    // one waits behind it.
    store->setValue(QStringLiteral("TavlinMacClientName"), QString(16 * 1024 * 1024, QLatin1Char('n')));
    RtspReceiver::Behaviour behaviour;
    behaviour.readRequests = false;
    RtspReceiver receiver(behaviour);
    startAgainst(receiver, 40);
    ASSERT_TRUE(waitFor([&] { return receiver.connectionCount() == 1; }));
    receiver.sendRaw(RtspReceiver::okReply(1) + RtspReceiver::okReply(2, audioReplyBody(7011)));
    ASSERT_TRUE(waitFor([&] { return fakes.logged("audio.start"); }));
    spin(600); // nothing can leave meanwhile: no keep-alive, no status
    EXPECT_EQ(client->keepAliveCount(), 0);
    EXPECT_EQ(client->sequence(), 2);
    EXPECT_EQ(statuses, QList<qint32>{MirrorSocketStatusConnected});
}

TEST_F(RTSPClientTest, SetupThatIsNeverAnsweredEndsTheCast)
{
    for (const bool answerVideo : {false, true}) {
        RtspReceiver::Behaviour behaviour;
        behaviour.answerVideoSetup = answerVideo;
        behaviour.answerAudioSetup = false;
        RtspReceiver receiver(behaviour);
        statuses.clear();
        fakes.clearLog();
        startAgainst(receiver, 40);
        ASSERT_TRUE(waitFor([&] { return statuses.size() >= 2; }));
        EXPECT_EQ(statuses, (QList<qint32>{MirrorSocketStatusConnected, MirrorSocketStatusHeartbeatLost}));
        EXPECT_EQ(receiver.methods().count("SETUP"), answerVideo ? 2 : 1);
        EXPECT_FALSE(receiver.methods().contains("OPTIONS"));
        EXPECT_EQ(fakes.logged("video.startMrror"), answerVideo);
        ASSERT_TRUE(waitFor([&] { return !client->isBusy(); }));
        EXPECT_TRUE(fakes.logged("video.stopMirror"));
        EXPECT_TRUE(fakes.logged("remote.stopController"));
        client.reset();
    }
}

// --- Encoder size ---

TEST_F(RTSPClientTest, EncoderSizeRequestsArePostedUnderTheRoadsName)
{
    if (!havePython())
        return;
    for (const QString &brand : {QStringLiteral("Apple"), QStringLiteral("Intel"), QStringLiteral("apple")}) {
        TavlinGlobal::setMacCpuChipBrand(brand);
        notifications.clear();
        fakes.clearLog();
        RtspReceiver receiver;
        startStreaming(receiver);
        const bool apple = brand == QLatin1String("Apple");
        EXPECT_EQ(client->isCpuBrandOfApple(), apple);
        EXPECT_TRUE(fakes.logged(apple ? "VideoSession.init" : "VideoDisplaySession.init"));
        receiver.queueOptionsBody(R"({"casting_win_width":1280,"casting_win_height":720,"Framerate":25,"feature":1})");
        ASSERT_TRUE(waitFor([&] { return !notifications.isEmpty(); }));
        ASSERT_EQ(notifications.size(), 1);
        EXPECT_EQ(notifications[0].name, apple ? EncoderAttributeNotification::kAppleSiliconName
                                               : EncoderAttributeNotification::kIntelName);
        EXPECT_EQ(notifications[0].request(), (EncoderSizeRequest{1280, 720, 25}));
        // The request reaches this cast's media, and a request under the
        // other road's name does not.
        EXPECT_EQ(fakes.shared().encoderSizes, QList<EncoderSizeRequest>{(EncoderSizeRequest{1280, 720, 25})});
        NotificationCenter::defaultCenter()->postEncoderSizeRequest(
            apple ? EncoderAttributeNotification::kIntelName : EncoderAttributeNotification::kAppleSiliconName,
            EncoderSizeRequest{640, 360, 10});
        EXPECT_EQ(fakes.shared().encoderSizes.size(), 1);
        fakes.shared().encoderSizes.clear();
        client.reset();
    }
}

TEST_F(RTSPClientTest, EncoderSizeRequestsThatDoNotCountPostNothing)
{
    if (!havePython())
        return;
    RtspReceiver receiver;
    startStreaming(receiver, 40);
    receiver.queueOptionsBody(R"({"casting_win_width":1280,"casting_win_height":720,"Framerate":0,"feature":1})");
    receiver.queueOptionsBody(R"({"casting_win_width":1280,"casting_win_height":720,"Framerate":30,"feature":2})");
    receiver.queueOptionsBody(R"({"casting_win_width":-1280,"casting_win_height":-720,"Framerate":30,"feature":1})");
    receiver.queueOptionsBody("not json");
    // A reply that is not UTF-8 as a whole is not examined.
    int optionsSeen = 0;
    receiver.setReplyOverride([&optionsSeen](const RtspReceiver::Request &request) -> std::optional<QByteArray> {
        if (request.method != "OPTIONS" || ++optionsSeen != 8)
            return std::nullopt;
        const QByteArray body = R"({"casting_win_width":1280,"casting_win_height":720,"Framerate":30,"feature":1})";
        return "RTSP/1.0 200 OK\r\nX-Name: \xff\xfe\r\nContent-Length: " + QByteArray::number(body.size()) + "\r\n\r\n"
               + body;
    });
    ASSERT_TRUE(waitFor([&] { return receiver.methods().count("OPTIONS") >= 12; }));
    EXPECT_TRUE(notifications.isEmpty());

    // A Windows receiver never changes the encoder, whatever it asks.
    TavlinGlobal::setIsWindowReceiver(true);
    receiver.queueOptionsBody(R"({"casting_win_width":1280,"casting_win_height":720,"Framerate":30,"feature":1})");
    ASSERT_TRUE(waitFor([&] { return receiver.methods().count("OPTIONS") >= 16; }));
    EXPECT_TRUE(notifications.isEmpty());
    EXPECT_EQ(statuses, QList<qint32>{MirrorSocketStatusConnected});
}

// --- How a cast ends ---

TEST_F(RTSPClientTest, ConnectTimeOutReportsOnlyMinusSixAndTearsNothingDown)
{
    TestSupport::HangingListener listener(address);
    ASSERT_TRUE(listener.fill());
    DynamicPortTable::setDynamicPort_51040(listener.port());
    RTSPClientServices s = services();
    s.timings.connectTimeoutMs = 150;
    makeClient(s);
    client->startMrror();
    ASSERT_TRUE(waitFor([&] { return !statuses.isEmpty(); }));
    EXPECT_TRUE(fakes.log() == (QStringList{"VideoDisplaySession.init", "remote.init"}));
    spin(300); // for a status or a stop that must not come
    EXPECT_EQ(statuses, QList<qint32>{MirrorSocketStatusConnectTimeout});
    EXPECT_TRUE(client->isBusy());
    EXPECT_FALSE(fakes.logged("video.stopMirror"));
}

TEST_F(RTSPClientTest, StopWhileTheConnectIsUnderWayCallsItOff)
{
    TestSupport::HangingListener listener(address);
    ASSERT_TRUE(listener.fill());
    DynamicPortTable::setDynamicPort_51040(listener.port());
    makeClient(services());
    client->startMrror();
    spin(50); // the connect is under way and cannot get in
    ASSERT_TRUE(client->isBusy());

    client->stopMirror();
    // Room in the receiver's backlog: a connect still trying would now get
    // in (at its next try, about a second later) and the cast would start.
    listener.drain();
    ASSERT_TRUE(waitFor([&] { return !client->isBusy(); }));
    spin(2500); // a connect still trying would get in meanwhile; it must not
    EXPECT_TRUE(statuses.isEmpty());
    EXPECT_FALSE(fakes.logged("video.startMrror"));
    EXPECT_FALSE(fakes.logged("remote.startController"));
    // A second stop, and one after the end, do nothing.
    client->stopMirror();
    EXPECT_TRUE(statuses.isEmpty());
}

TEST_F(RTSPClientTest, ReceiverClosingReportsMinusSevenOnceAndStopsEverySender)
{
    if (!havePython())
        return;
    RtspReceiver receiver;
    startStreaming(receiver);
    receiver.closeClient();
    ASSERT_TRUE(waitFor([&] { return statuses.size() >= 2; }));
    EXPECT_EQ(statuses, (QList<qint32>{MirrorSocketStatusConnected, MirrorSocketStatusClosedByServer}));
    EXPECT_FALSE(client->isBusy());
    spin(300); // for a status that must not come
    EXPECT_EQ(statuses.size(), 2);
    for (const QString &stop : kStopsOfAll)
        EXPECT_EQ(fakes.log().count(stop), 1) << stop.toStdString();
    // A stop after the end does nothing more.
    client->stopMirror();
    EXPECT_EQ(fakes.log().count("video.stopMirror"), 1);
}

TEST_F(RTSPClientTest, RefusedConnectsAreReported)
{
    // Nobody listens: the connect starts and fails, an end not caused here.
    {
        QTcpServer probe;
        ASSERT_TRUE(probe.listen(address));
        const quint16 closedPort = probe.serverPort();
        probe.close();
        DynamicPortTable::setDynamicPort_51040(closedPort);
        makeClient(services());
        client->startMrror();
        ASSERT_TRUE(waitFor([&] { return !statuses.isEmpty(); }));
        EXPECT_EQ(statuses, QList<qint32>{MirrorSocketStatusClosedByServer});
        client.reset();
    }
    // The connect cannot even start (no host, or a port no connection can
    // have): -1, from the event loop rather than from inside startMrror.
    for (const qint64 port : {qint64(51040), qint64(70000)}) {
        statuses.clear();
        device->mHostIp = port == 51040 ? QString() : address.toString();
        DynamicPortTable::setDynamicPort_51040(port);
        makeClient(services());
        client->startMrror();
        EXPECT_TRUE(statuses.isEmpty());
        ASSERT_TRUE(waitFor([&] { return !statuses.isEmpty(); }));
        spin(100); // for a second status that must not come
        EXPECT_EQ(statuses, QList<qint32>{MirrorSocketStatusOther}) << port;
        client.reset();
    }
}

TEST_F(RTSPClientTest, StopStopsEverySenderAtOnceAndForcesTheCloseWhenTheReceiverStalls)
{
    // The receiver takes nothing, so the video "SETUP" with its very long name
    // and the "TEARDOWN" behind it can never leave.
    store->setValue(QStringLiteral("TavlinMacClientName"), QString(16 * 1024 * 1024, QLatin1Char('n')));
    RtspReceiver::Behaviour behaviour;
    behaviour.readRequests = false;
    RtspReceiver receiver(behaviour);
    startAgainst(receiver);
    ASSERT_TRUE(waitFor([&] { return statuses == QList<qint32>{MirrorSocketStatusConnected}; }));

    client->stopMirror();
    for (const QString &stop : {QStringLiteral("video.stopMirror"), QStringLiteral("remote.stopController")})
        EXPECT_TRUE(fakes.logged(stop)) << stop.toStdString();
    // Cut after the grace period rather than left waiting on the receiver.
    ASSERT_TRUE(waitFor([&] { return !client->isBusy(); }));
    spin(200); // for a status that must not come
    EXPECT_EQ(statuses, QList<qint32>{MirrorSocketStatusConnected});
}

TEST_F(RTSPClientTest, OwnerMayDestroyTheClientInsideItsCallback)
{
    if (!havePython())
        return;
    // On each status in turn: 0 (connected), -7 from the video sender, -7
    // from the control connection, -8 from the keep-alive.
    for (int round = 0; round < 4; ++round) {
        RtspReceiver::Behaviour behaviour;
        behaviour.answerOptions = round != 3;
        RtspReceiver receiver(behaviour);
        const qint32 trigger = round == 0 ? 0 : round == 3 ? -8 : -7;
        statuses.clear();
        ASSERT_TRUE(receiver.listen(address));
        DynamicPortTable::setDynamicPort_51040(receiver.port());
        RTSPClientServices s = services(40);
        behaviour.audioSetupReplyBody = audioReplyBody(7011);
        receiver.setBehaviour(behaviour);
        client = std::make_unique<RTSPClient>(device, s);
        client->setMonitorCallback([&, trigger](qint32 status) {
            statuses.append(status);
            if (status == trigger) {
                client->stopMirror();
                client.reset();
            }
        });
        client->startMrror();
        if (round == 1 || round == 2) {
            ASSERT_TRUE(waitFor([&] { return fakes.logged("audio.start"); }));
            if (round == 1)
                fakes.videoReports(-7);
            else
                receiver.closeClient();
        }
        ASSERT_TRUE(waitFor([&] { return !client; })) << round;
        spin(150); // for a status that must not come
        EXPECT_EQ(statuses.last(), trigger) << round;
        EXPECT_FALSE(fakes.shared().videoAlive);
        EXPECT_FALSE(fakes.shared().audioAlive);
        EXPECT_FALSE(fakes.shared().remoteAlive);
        fakes.clearLog();
    }
}

TEST_F(RTSPClientTest, PauseAndResumeReachTheVideoAndAudioSendersOnly)
{
    if (!havePython())
        return;
    RtspReceiver receiver;
    startStreaming(receiver);
    EXPECT_FALSE(client->getPauseMark());
    fakes.clearLog();
    client->setMirrorPause(true);
    EXPECT_EQ(fakes.log(), (QStringList{"video.setPauseResumeMark(1)", "audio.setPauseCast(1)"}));
    EXPECT_TRUE(client->getPauseMark());
    client->setMirrorPause(false);
    EXPECT_FALSE(client->getPauseMark());
    EXPECT_FALSE(fakes.shared().audioPaused);
    // The receiver hears nothing of it: the keep-alive goes on.
    spin(300); // the keep-alive goes on; nothing else may be sent meanwhile
    for (const QByteArray &method : receiver.methods().mid(2))
        EXPECT_EQ(method, QByteArray("OPTIONS"));
    EXPECT_EQ(statuses, QList<qint32>{MirrorSocketStatusConnected});
}

TEST_F(RTSPClientTest, SoundThatStartsWhilePausedStartsPaused)
{
    if (!havePython())
        return;
    RtspReceiver::Behaviour behaviour;
    behaviour.answerAudioSetup = false;
    RtspReceiver receiver(behaviour);
    startAgainst(receiver);
    ASSERT_TRUE(waitFor([&] { return receiver.methods().count("SETUP") == 2; }));
    client->setMirrorPause(true);
    receiver.sendRaw(RtspReceiver::okReply(2, audioReplyBody(7011)));
    ASSERT_TRUE(waitFor([&] { return fakes.logged("audio.start"); }));
    EXPECT_TRUE(containsInOrder(fakes.log(), {"audio.init(7011)", "audio.setPauseCast(1)", "audio.start"}));
    EXPECT_TRUE(fakes.shared().audioPaused);
}

TEST_F(RTSPClientTest, ScreenChangeSendsSetParameterWithTheAspectRatio)
{
    if (!havePython())
        return;
    store->setValue(QStringLiteral("kKeepScreenRatioKey"), 1);
    RtspReceiver receiver;
    startStreaming(receiver, 5000);
    const int before = receiver.requests().size();
    client->sendScreenChange();
    ASSERT_TRUE(waitFor([&] { return receiver.requests().size() == before + 1; }));
    EXPECT_EQ(receiver.requests().last().raw, expectedHead("SET_PARAMETER", before + 1, 1, 0));
    EXPECT_EQ(statuses, QList<qint32>{MirrorSocketStatusConnected});
}

TEST_F(RTSPClientTest, HostileRepliesNeverCrashOrGrowWithoutBound)
{
    if (!havePython())
        return;
    // A huge "Content-Length" on an "OPTIONS" reply: its body is dropped as
    // it comes, which swallows the later replies, so the keep-alive ends the
    // cast.
    {
        RtspReceiver receiver;
        startStreaming(receiver, 40);
        receiver.setReplyOverride([](const RtspReceiver::Request &request) -> std::optional<QByteArray> {
            if (request.method == "OPTIONS")
                return QByteArray("RTSP/1.0 200 OK\r\nContent-Length: 99999999999999999999\r\n\r\n");
            return std::nullopt;
        });
        ASSERT_TRUE(waitFor([&] { return statuses.size() >= 2; }));
        EXPECT_EQ(statuses.last(), MirrorSocketStatusHeartbeatLost);
        client.reset();
    }
    // Garbage in bulk, with and without line ends.
    {
        statuses.clear();
        RtspReceiver receiver;
        startStreaming(receiver, 40);
        QByteArray garbage;
        quint32 seed = 12345;
        for (int i = 0; i < 200000; ++i) {
            seed = seed * 1103515245 + 12345;
            garbage.append(static_cast<char>(seed >> 24));
        }
        receiver.sendRaw(garbage);
        receiver.sendRaw(QByteArray(20000, '\n') + "\r\n\r\n\r\n\r\nContent-Length: 4096\r\n\r\n");
        spin(500); // the garbage is read meanwhile; no other status may come
        for (qint32 status : statuses)
            EXPECT_TRUE(status == MirrorSocketStatusConnected || status == MirrorSocketStatusHeartbeatLost);
        client.reset();
    }
    // Replies to requests never made are ignored.
    {
        statuses.clear();
        RtspReceiver receiver;
        receiver.setBehaviour([&] {
            RtspReceiver::Behaviour b;
            b.answerVideoSetup = false;
            b.audioSetupReplyBody = audioReplyBody(7011);
            return b;
        }());
        startAgainst(receiver, 40);
        ASSERT_TRUE(waitFor([&] { return receiver.requests().size() == 1; }));
        receiver.sendRaw(RtspReceiver::okReply(1));
        ASSERT_TRUE(waitFor([&] { return receiver.methods().count("OPTIONS") >= 3; }));
        receiver.sendRaw(RtspReceiver::okReply(99) + RtspReceiver::okReply(100) + RtspReceiver::okReply(101));
        spin(200); // the stray replies are read meanwhile; no status may come
        EXPECT_EQ(statuses, QList<qint32>{MirrorSocketStatusConnected});
    }
}
