// The master-control session against the emulated receiver: what goes on
// the wire, the heartbeat, reconnects and giving up, what the receiver's
// lines change, and every disconnect.

#include <gtest/gtest.h>

#include "HangingListener.h"
#include "LogCapture.h"
#include "MasterTestSupport.h"
#include "Platform/LinuxServices.h"
#include "RtspReceiver.h"
#include "TavlinSDK.h"

using namespace MasterTest;
using TestSupport::spin;
using TestSupport::waitFor;

namespace {

class MasterControlSessionTest : public MasterFixture {};

} // namespace

TEST_F(MasterControlSessionTest, TheFirstLinesAreHeartbeatZeroAndTheClientInformationThenOnePerTick)
{
    TLMasterControlPack &p = startedSession();
    EXPECT_TRUE(TavlinGlobal::getIsConnecting());
    EXPECT_TRUE(TavlinGlobal::getIsSupportMasterCon());
    EXPECT_TRUE(p.isSupportMasterControl());
    ASSERT_TRUE(waitFor([&] { return master->heartbeats(0).size() >= 4; }));

    const QByteArray bytes = master->received(0);
    EXPECT_TRUE(bytes.startsWith("{  \"heartbeat\" : 0}\n{  \"clientName\" : \"Tester Mac\""))
        << bytes.left(200).toStdString();
    const QList<QJsonObject> lines = master->messages(0);
    ASSERT_GE(lines.size(), 2);
    const QJsonObject info = lines.at(1);
    EXPECT_EQ(info.value("reportClientInfo").toString(), QStringLiteral("N"));
    EXPECT_EQ(info.value("clientName").toString(), QStringLiteral("Tester Mac"));
    EXPECT_EQ(info.value("clientType").toInteger(), 5);
    EXPECT_EQ(info.value("isTouchable").toInteger(-1), 0);
    EXPECT_EQ(info.value("versionName").toString(), QStringLiteral("2.5.1"));
    EXPECT_EQ(info.value("versionCode").toInteger(), 251);
    EXPECT_EQ(master->count(QStringLiteral("reportClientInfo")), 1);
    // Heartbeats count up from 0, one per tick.
    const QList<qint64> numbers = master->heartbeats(0);
    for (qsizetype i = 0; i < numbers.size(); ++i)
        EXPECT_EQ(numbers.at(i), i);
    EXPECT_EQ(master->connectionCount(), 1);
    // The answers have been taken in.
    EXPECT_EQ(TavlinGlobal::getServerPlatform(), QStringLiteral("android"));
    EXPECT_EQ(p.masterConTimeout() <= 1, true);
}

TEST_F(MasterControlSessionTest, TheProductionSessionIntroducesTheApplicationAsItIsWhenItConnects)
{
    const TavlinServices production = TavlinServices::fromPlatform(Platform::Linux::makePlatformServices());
    ASSERT_TRUE(production.masterControlSessionFactory);
    const std::unique_ptr<MasterControlSession> session = production.masterControlSessionFactory(&recorder);
    ASSERT_TRUE(session);

    // The program names its version after the library's services exist.
    const QString formerVersion = QCoreApplication::applicationVersion();
    const QVariant formerBuild = qApp->property(TavlinSDK::ApplicationBuildProperty);
    QCoreApplication::setApplicationVersion(QStringLiteral("3.1.4"));
    qApp->setProperty(TavlinSDK::ApplicationBuildProperty, 3140);
    ASSERT_TRUE(session->startMasterControlPack());
    const bool introduced = waitFor([&] { return master->count(QStringLiteral("reportClientInfo")) == 1; });
    QCoreApplication::setApplicationVersion(formerVersion);
    qApp->setProperty(TavlinSDK::ApplicationBuildProperty, formerBuild);

    ASSERT_TRUE(introduced);
    QJsonObject info;
    for (const QJsonObject &line : master->messages(0)) {
        if (line.contains(QStringLiteral("reportClientInfo")))
            info = line;
    }
    EXPECT_EQ(info.value("versionName").toString(), QStringLiteral("3.1.4"));
    EXPECT_TRUE(info.value("versionCode").isDouble());
    EXPECT_EQ(info.value("versionCode").toInteger(), 3140);
}

TEST_F(MasterControlSessionTest, AReplyInManyPiecesIsTakenAsItComesNotOnePiecePerHeartbeat)
{
    // Replies in writes of three bytes; heartbeats far apart.
    changeBehaviour([](MasterControlBehaviour &b) {
        b.chunkSize = 3;
        b.chunkGapMs = 2;
        b.castMode = 2;
        b.platform = QStringLiteral("windows");
    });
    MasterControlServices s = services();
    s.timings.heartbeatIntervalMs = 3000;
    pack = std::make_unique<TLMasterControlPack>(&recorder, s);
    ASSERT_TRUE(pack->startMasterControlPack());
    ASSERT_TRUE(waitFor([&] {
        return TavlinGlobal::getCastMode() == 2 && TavlinGlobal::getServerPlatform() == QStringLiteral("windows");
    }, 2500));
    // Both answers came in before the first tick, and a read still waits.
    EXPECT_EQ(master->heartbeats(0), QList<qint64>{0});
    ASSERT_TRUE(pack->masterControlSocket());
    EXPECT_EQ(pack->masterControlSocket()->pendingReads(), 1);
}

TEST_F(MasterControlSessionTest, TheHeartbeatNumberStartsAgainAfterSixHundredThousand)
{
    TLMasterControlPack &p = startedSession();
    const int from = static_cast<int>(master->heartbeats(0).size());
    p.setMasterControlHeartBeatIndex(599999);
    ASSERT_TRUE(waitFor([&] { return master->heartbeats(0).size() >= from + 5; }));
    QList<qint64> after = master->heartbeats(0).mid(from);
    after = after.mid(after.indexOf(599999));
    ASSERT_GE(after.size(), 4);
    EXPECT_EQ(after.mid(0, 4), (QList<qint64>{599999, 600000, 0, 1}));
}

TEST_F(MasterControlSessionTest, SevenTicksWithoutAReplyReconnectAndAReplyAtAnyTimeResetsTheCount)
{
    LogCapture log;
    TLMasterControlPack &p = startedSession();
    // A reply at any time puts the count back to 0.
    changeBehaviour([](MasterControlBehaviour &b) { b.answerHeartbeats = false; });
    ASSERT_TRUE(waitFor([&] { return p.masterConTimeout() >= 4; }));
    master->sendRaw(MasterControlServer::heartbeatReply(master->behaviour()));
    ASSERT_TRUE(waitFor([&] { return p.masterConTimeout() <= 1; }));
    EXPECT_EQ(master->connectionCount(), 1);

    // Silence for seven ticks: the connection is replaced.
    ASSERT_TRUE(waitFor([&] { return master->connectionCount() == 2; }));
    changeBehaviour([](MasterControlBehaviour &b) { b.answerHeartbeats = true; });
    ASSERT_TRUE(waitFor([&] { return !master->connectionOpen(0); }));
    ASSERT_TRUE(waitFor([&] { return log.count(QStringLiteral("~~~here enter master con reconnect succeed!~~~")) == 1; }));
    EXPECT_FALSE(p.isMasterConSocketReconnect());
    // The new connection: heartbeats start at 0 again after the connect
    // (one queued before it may carry its old number); no client information.
    ASSERT_TRUE(waitFor([&] {
        const QList<qint64> numbers = master->heartbeats(1);
        return numbers.contains(0) && numbers.size() - numbers.indexOf(0) >= 3;
    }));
    const QList<qint64> numbers = master->heartbeats(1);
    const qsizetype zero = numbers.indexOf(0);
    ASSERT_GE(zero, 0);
    EXPECT_LE(zero, 1);
    EXPECT_EQ(numbers.mid(zero, 3), (QList<qint64>{0, 1, 2}));
    EXPECT_EQ(master->count(QStringLiteral("reportClientInfo"), 1), 0);
    EXPECT_TRUE(recorder.events.contains("allowFullScreen(1)"));
    EXPECT_EQ(recorder.events.filter("disconnect").size(), 0);
}

TEST_F(MasterControlSessionTest, AReceiverThatRestartsIsReachedAgain)
{
    TLMasterControlPack &p = startedSession();
    ASSERT_TRUE(master->restart());
    ASSERT_TRUE(waitFor([&] { return master->connectionCount() == 2; }));
    // Answered again: the failures are forgotten and casting works.
    ASSERT_TRUE(waitFor([&] { return master->heartbeats(1).contains(2); }));
    EXPECT_TRUE(waitFor([&] { return p.masterConSocketReconnectCount() == 0 && p.masterConTimeout() <= 1; }));
    EXPECT_TRUE(TavlinGlobal::getIsConnecting());
    p.startMirror();
    EXPECT_EQ(controls.log->made, 1);
    EXPECT_EQ(recorder.events.filter("disconnect").size(), 0);
}

TEST_F(MasterControlSessionTest, AReceiverThatRefusesEndsTheSessionAfterSixFailedReconnects)
{
    TLMasterControlPack &p = castingSession();
    master->stop();
    ASSERT_TRUE(waitFor([&] { return p.masterConSocketReconnectCount() >= 3; }, 10000));
    EXPECT_TRUE(TavlinGlobal::getIsConnecting()) << "gave up before the sixth failure";
    ASSERT_TRUE(waitFor([&] { return recorder.count("disconnect(Heartbeat timeout due to poor network,2)") == 1; },
                        15000));
    // The cast ended first, then the session, once.
    EXPECT_EQ(recorder.events.mid(recorder.events.indexOf("castSuccess") + 1),
              (QStringList{"castStop()", "disconnect(Heartbeat timeout due to poor network,2)"}));
    EXPECT_FALSE(TavlinGlobal::getIsConnecting());
    EXPECT_EQ(TavlinGlobal::getCastMode(), -1);
    EXPECT_FALSE(p.isHeartbeatRunning());
    EXPECT_EQ(sound.current(), sound.speakers.id);
    EXPECT_TRUE(inhibitor->held.isEmpty());
    spin(10 * kHeartbeatMs); // for a second report that must not come
    EXPECT_EQ(recorder.events.filter("disconnect").size(), 1);
}

TEST_F(MasterControlSessionTest, AReceiverThatAcceptsAndNeverAnswersStillEndsTheSession)
{
    changeBehaviour([](MasterControlBehaviour &b) { b.answerHeartbeats = false; });
    TLMasterControlPack &p = makeSession();
    ASSERT_TRUE(p.startMasterControlPack());
    ASSERT_TRUE(waitFor([&] { return recorder.count("disconnect(Heartbeat timeout due to poor network,2)") == 1; },
                        20000));
    // The first connection and six reconnects, each connected and never answered.
    EXPECT_EQ(master->connectionCount(), 7);
    ASSERT_TRUE(waitFor([&] { return master->openConnections() == 0; }));
    spin(10 * kHeartbeatMs); // for a connection or a report that must not come
    EXPECT_EQ(master->connectionCount(), 7);
    EXPECT_EQ(recorder.events, QStringList{"disconnect(Heartbeat timeout due to poor network,2)"});
}

TEST_F(MasterControlSessionTest, AReceiverThatNeverCompletesAConnectStillEndsTheSession)
{
    TestSupport::HangingListener blackHole(address);
    ASSERT_TRUE(blackHole.fill());
    DynamicPortTable::setDynamicPort_57395(blackHole.port());
    TLMasterControlPack &p = makeSession();
    ASSERT_TRUE(p.startMasterControlPack());
    ASSERT_TRUE(waitFor([&] { return recorder.count("disconnect(Heartbeat timeout due to poor network,2)") == 1; },
                        20000));
    EXPECT_EQ(recorder.events.size(), 1);
    EXPECT_EQ(TavlinGlobal::getCastMode(), -1);
}

TEST_F(MasterControlSessionTest, MultiScreenChangesTellWhetherFullScreenIsAllowed)
{
    changeBehaviour([](MasterControlBehaviour &b) { b.multiScreen = 0; });
    startedSession();
    // Start: -1 to 0 allows.
    EXPECT_EQ(recorder.events, QStringList{"allowFullScreen(1)"});
    const struct {
        qint64 to;
        const char *event; // none: nothing sent
    } steps[] = {
        {0, nullptr}, {1, "allowFullScreen(0)"}, {0, "allowFullScreen(1)"}, {2, nullptr},
        {1, "allowFullScreen(0)"}, {2, "allowFullScreen(1)"}, {0, nullptr}, {1, "allowFullScreen(0)"},
        {1, nullptr},
    };
    for (const auto &step : steps) {
        SCOPED_TRACE(step.to);
        const qsizetype before = recorder.events.size();
        ASSERT_TRUE(report([&](MasterControlBehaviour &b) { b.multiScreen = step.to; }));
        if (step.event) {
            EXPECT_TRUE(waitFor([&] { return recorder.events.size() > before; }));
        }
        spin(2 * kHeartbeatMs); // for a report that must not come
        if (step.event)
            EXPECT_EQ(recorder.since(before), QStringList{QString::fromLatin1(step.event)});
        else
            EXPECT_TRUE(recorder.since(before).isEmpty()) << recorder.since(before).join(',').toStdString();
    }
}

TEST_F(MasterControlSessionTest, MultiScreenAtStartForbidsFullScreen)
{
    changeBehaviour([](MasterControlBehaviour &b) { b.multiScreen = 1; });
    startedSession();
    EXPECT_TRUE(waitFor([&] { return !recorder.events.isEmpty(); }));
    spin(2 * kHeartbeatMs); // for a report that must not come
    EXPECT_EQ(recorder.events, QStringList{"allowFullScreen(0)"});
}

TEST_F(MasterControlSessionTest, CastStateChangesAreFullScreenChangesOnlyWhileCasting)
{
    changeBehaviour([](MasterControlBehaviour &b) { b.followFullScreenRequests = false; });
    startedSession();
    ASSERT_TRUE(report([](MasterControlBehaviour &b) { b.castState = 2; }));
    ASSERT_TRUE(report([](MasterControlBehaviour &b) { b.castState = 1; }));
    EXPECT_TRUE(recorder.events.filter("fullScreen(").isEmpty()) << "changes while not casting were reported";

    pack->startMirror();
    ASSERT_NE(controls.last(), nullptr);
    const struct {
        qint64 to;
        const char *event;
    } steps[] = {
        {2, "fullScreen(1)"}, {1, "fullScreen(0)"}, {0, nullptr}, {2, "fullScreen(1)"}, {3, nullptr}, {1, "fullScreen(0)"},
    };
    for (const auto &step : steps) {
        SCOPED_TRACE(step.to);
        const qsizetype before = recorder.events.size();
        ASSERT_TRUE(report([&](MasterControlBehaviour &b) { b.castState = step.to; }));
        if (step.event) {
            EXPECT_TRUE(waitFor([&] { return recorder.events.size() > before; }));
        }
        spin(2 * kHeartbeatMs); // for a report that must not come
        if (step.event)
            EXPECT_EQ(recorder.since(before), QStringList{QString::fromLatin1(step.event)});
        else
            EXPECT_TRUE(recorder.since(before).isEmpty());
    }
}

TEST_F(MasterControlSessionTest, TheReceiversNameRotationAndPlatformAreTakenIn)
{
    emulator->setProfile([&] {
        ReceiverProfile profile = emulator->profile();
        profile.name = QStringLiteral("Lobby 会议室");
        return profile;
    }());
    changeBehaviour([](MasterControlBehaviour &b) {
        b.rotation = 90;
        b.platform = QStringLiteral("windows");
        // Every line arrives in small chunks, characters cut in two.
        b.chunkSize = 7;
        b.chunkGapMs = 1;
    });
    startedSession();
    ASSERT_TRUE(waitFor([&] { return chosen->mDevicename == QStringLiteral("Lobby 会议室"); }));
    EXPECT_EQ(TavlinGlobal::getServerRotation(), 90);
    EXPECT_EQ(TavlinGlobal::getServerPlatform(), QStringLiteral("windows"));

    // The receiver reports news and is answered.
    master->sendReportInfo(QStringLiteral("Room B"), 270);
    ASSERT_TRUE(waitFor([&] { return master->count(QStringLiteral("replyInfo")) == 1; }));
    EXPECT_EQ(chosen->mDevicename, QStringLiteral("Room B"));
    EXPECT_EQ(TavlinGlobal::getServerRotation(), 270);
    const QByteArray bytes = master->received(0);
    EXPECT_TRUE(bytes.contains("\n{  \"replyInfo\" : \"N\"}\n"));
    // A name that is no text leaves the name alone.
    master->sendLine({{"reportInfo", "N"}, {"deviceName", 7}, {"rotation", 0}});
    ASSERT_TRUE(waitFor([&] { return master->count(QStringLiteral("replyInfo")) == 2; }));
    EXPECT_EQ(chosen->mDevicename, QStringLiteral("Room B"));
}

TEST_F(MasterControlSessionTest, DamagedAndHostileLinesChangeNothing)
{
    // The receiver keeps answering: a damaged line that was taken in would
    // show as a change of the values and their reports.
    startedSession();
    const QStringList before = recorder.events;
    master->sendRaw("{\"replyHeartbeat\":\"N\",\"castMode\":0,\"multiScreen\":1,\"castState\":0\n");
    master->sendRaw("{\"replyCastRequest\":1\n");
    master->sendRaw("replyCastRequest 1\nreplyHeartbeat castMode 0\n");
    master->sendRaw("[{\"replyCastRequest\":1}]\n\xff\xfe\xfd\n{}\n{\"heartbeat\":1}\n");
    master->sendRaw("{\"inviteCast\":\"N\"}\n{\"cancelCastInvite\":\"N\"}\n{\"disconnectClient\":\"N\"}\n");
    master->sendRaw("{\"reportInfo\":\"N\",\"deviceName\":\"replyCastRequest\",\"rotation\":\"x\"}\n");
    ASSERT_TRUE(waitFor([&] { return master->count(QStringLiteral("replyInfo")) == 1; }));
    ASSERT_TRUE(settle());
    EXPECT_EQ(recorder.events, before);
    EXPECT_EQ(TavlinGlobal::getCastMode(), 1);
    EXPECT_EQ(TavlinGlobal::getMultiScreen(), 0);
    EXPECT_EQ(TavlinGlobal::getCastState(), 1);
    EXPECT_EQ(controls.log->made, 0);
    EXPECT_TRUE(TavlinGlobal::getIsConnecting());
}

TEST_F(MasterControlSessionTest, HostileBytesBeforeTheFirstReplyAreSkipped)
{
    changeBehaviour([](MasterControlBehaviour &b) {
        b.hostileChunks = {QByteArray("\x00\x01garbage", 9), "{\"replyHeartbeat\":\"N\",\"castMode\":2\n",
                           "\xff\xfe\n", "{\"replyCastRequest\":1}x\n", "[]\n", QByteArray(70 * 1024, '{')};
    });
    startedSession();
    ASSERT_TRUE(settle());
    EXPECT_EQ(TavlinGlobal::getCastMode(), 1);
    EXPECT_EQ(recorder.events, QStringList{"allowFullScreen(1)"});
    EXPECT_EQ(controls.log->made, 0);
}

TEST_F(MasterControlSessionTest, DisconnectOrderForEveryReason)
{
    const struct {
        qint64 reason;
        const char *event;
    } cases[] = {
        {DisconnectReasonByUser, "disconnect()"},
        {DisconnectReasonNetworkUnreachable, "disconnect(disconnect for network unreachable,1)"},
        {DisconnectReasonHeartbeatTimeout, "disconnect(Heartbeat timeout due to poor network,2)"},
        {DisconnectReasonScreenLocked, "disconnect(disconnect due to user lock the screen,3)"},
        {9, nullptr},
    };
    int connection = 0;
    for (const auto &c : cases) {
        SCOPED_TRACE(c.reason);
        recorder.events.clear();
        bool messageBeforeReport = false;
        qint64 castModeInsideReport = 0;
        recorder.during = [&](const QString &event) {
            if (!event.startsWith(QLatin1String("disconnect(")))
                return;
            castModeInsideReport = TavlinGlobal::getCastMode();
            // The message is already on its way when the application hears of it.
            messageBeforeReport =
                waitFor([&] { return master->count(QStringLiteral("disconnect"), connection) == 1; });
        };
        TLMasterControlPack &p = castingSession();
        // The newest: a slow machine may have missed heartbeats and reconnected.
        connection = master->connectionCount() - 1;
        recorder.events.clear();
        p.disconnectOperator(c.reason);
        recorder.during = nullptr;
        QStringList expected{"castStop()"};
        if (c.event)
            expected.append(QString::fromLatin1(c.event));
        EXPECT_EQ(recorder.events, expected);
        if (c.event) {
            EXPECT_EQ(castModeInsideReport, 1);
        }
        EXPECT_EQ(messageBeforeReport, c.reason == DisconnectReasonByUser);
        // The connection goes; only the user's disconnect is said.
        ASSERT_TRUE(waitFor([&] { return !master->connectionOpen(connection); }));
        EXPECT_EQ(master->count(QStringLiteral("disconnect"), connection), c.reason == DisconnectReasonByUser ? 1 : 0);
        EXPECT_FALSE(TavlinGlobal::getIsConnecting());
        EXPECT_FALSE(TavlinGlobal::getIsSupportMasterCon());
        EXPECT_FALSE(p.isSupportMasterControl());
        for (qint64 value : {TavlinGlobal::getCastMode(), TavlinGlobal::getMultiScreen(), TavlinGlobal::getCastState(),
                             TavlinGlobal::getMirrorMode()})
            EXPECT_EQ(value, -1);
        EXPECT_FALSE(p.isHeartbeatRunning());
        EXPECT_EQ(sound.current(), sound.speakers.id);
        EXPECT_TRUE(inhibitor->held.isEmpty());
        EXPECT_EQ(handshake->connectionCount(), 0) << "no handshake connection to say goodbye on";
        // After it, nothing: no second report, and a start is refused.
        p.disconnectOperator(c.reason);
        p.startMirror();
        spin(3 * kHeartbeatMs); // for a report that must not come
        expected.append(QStringLiteral("replyCastRequest(0)"));
        EXPECT_EQ(recorder.events, expected);
        EXPECT_EQ(controls.alive(), 0);
        pack.reset();
        TavlinGlobal::resetSockets();
    }
}

TEST_F(MasterControlSessionTest, WithoutMasterControlNothingConnectsAndTheGoodbyeGoesToTheHandshakePort)
{
    chosen->mServer_features = FeatureBits::kNotTvReceiver;
    TavlinGlobal::CreateSocket(address.toString(), handshake->port(), nullptr);
    ASSERT_TRUE(waitFor([&] { return handshake->connectionCount() == 1; }));
    TLMasterControlPack &p = makeSession();
    EXPECT_FALSE(p.startMasterControlPack());
    EXPECT_TRUE(TavlinGlobal::getIsConnecting());
    EXPECT_FALSE(TavlinGlobal::getIsSupportMasterCon());
    p.startMirror();
    EXPECT_FALSE(p.fullScreenOperator(1));
    EXPECT_FALSE(p.setPasueCast(1));
    spin(4 * kHeartbeatMs); // for a connection or a cast that must not come
    EXPECT_EQ(master->connectionCount(), 0);
    EXPECT_EQ(controls.log->made, 0);
    EXPECT_EQ(TavlinGlobal::getCastMode(), -1);

    p.disconnectOperator(DisconnectReasonByUser);
    EXPECT_EQ(recorder.events, (QStringList{"replyCastRequest(0)", "disconnect()"}));
    ASSERT_TRUE(waitFor([&] { return handshake->received(0).contains("sayByebye"); }));
    EXPECT_EQ(handshake->received(0), QByteArray("sayByebye\r\nTester Mac\r\n\r\n"));
}

TEST_F(MasterControlSessionTest, ScreenRecordingCheckAndPromptGoToThePlatform)
{
    TLMasterControlPack &p = makeSession();
    captureAccess->allowed = true;
    EXPECT_TRUE(p.canRecordScreen());
    captureAccess->allowed = false;
    EXPECT_FALSE(p.canRecordScreen());
    p.showScreenRecordingPrompt();
    EXPECT_EQ(captureAccess->requests, 1);
}

TEST_F(MasterControlSessionTest, DestroyingTheSessionEndsItsCastAndConnectionQuietly)
{
    TLMasterControlPack &p = castingSession();
    EXPECT_EQ(sound.current(), sound.sonvale.id);
    (void)p;
    recorder.events.clear();
    pack.reset();
    EXPECT_TRUE(recorder.events.isEmpty());
    EXPECT_EQ(sound.current(), sound.speakers.id);
    EXPECT_TRUE(inhibitor->held.isEmpty());
    EXPECT_FALSE(TavlinGlobal::getIsCasting());
    ASSERT_TRUE(waitFor([&] { return master->openConnections() == 0; }));
}

TEST_F(MasterControlSessionTest, DirectCastKeepAliveFindsItsSocketAndHearsCommands)
{
    auto *direct = emulator->addComponent<DirectCastServer>(quint16(0));
    ASSERT_TRUE(direct->start(nullptr));
    DynamicPortTable::setDynamicPort_51060(direct->port());
    direct->setCommand(768);
    LogCapture log;
    TLMasterControlPack &p = startedSession();
    p.startDirectCastRelated();
    EXPECT_TRUE(log.count(QStringLiteral("start directCast heartBeat!")) == 1);
    // Seven ticks without a socket, then one is made and keeps answering.
    ASSERT_TRUE(waitFor([&] { return direct->requests().size() >= 3; }));
    EXPECT_EQ(log.count(QStringLiteral("directCast heratbeat timeout！！！！！")), 1);
    EXPECT_EQ(log.count(QStringLiteral("direct cast is connect~~~")), 1);
    ASSERT_TRUE(waitFor([&] { return log.count(QStringLiteral("recv start command from receiver")) >= 1; }));
    const QString first = direct->requests().first();
    EXPECT_TRUE(first.startsWith(QStringLiteral("OPTIONS rtsp://%1 RTSP/1.0\r\nCSeq: ").arg(address.toString())));
    EXPECT_TRUE(first.endsWith(QStringLiteral("\r\nName: Tester Mac\r\nStatus: 0\r\nSystem: 1\r\nContent-Length: 0")));
    spin(12 * 30); // answered all along: a new socket must not come
    EXPECT_EQ(direct->connectionCount(), 1);
    // The sequence numbers keep rising.
    const QStringList requests = direct->requests();
    auto seq = [](const QString &r) { return r.section(QStringLiteral("CSeq: "), 1).section(QStringLiteral("\r\n"), 0, 0).toInt(); };
    EXPECT_LT(seq(requests.first()), seq(requests.last()));
    // Silence makes a new socket.
    direct->setAnswering(false);
    ASSERT_TRUE(waitFor([&] { return direct->connectionCount() == 2; }));
    direct->setAnswering(true);
    direct->setCommand(769);
    ASSERT_TRUE(waitFor([&] { return log.count(QStringLiteral("recv stop command from receiver")) >= 1; }));
}
