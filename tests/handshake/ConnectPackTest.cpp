#include <cerrno>
#include <gtest/gtest.h>

#include "HandshakeTestSupport.h"
#include "Socket/SocketErrors.h"

using namespace HandshakeTest;
using TestSupport::spin;
using TestSupport::waitFor;

namespace {

const QString kPasswordConfig = QStringLiteral("GETPASSWORDCONFIG\r\ntavlin");
const QString kServerInfo = QStringLiteral("getServerInfo\r\n1");
const QString kListenedPort = QStringLiteral("getListenedPort\r\n1");

QString checkPassword(const QString &code)
{
    return QStringLiteral("CHECKPASSWORD\r\n") + code;
}

} // namespace

class ConnectPackTest : public HandshakeFixture {};

TEST_F(ConnectPackTest, ReceiverWithoutCodeSucceedsOnItsNameReply)
{
    setBehaviour([](HandshakeBehaviour &b) { b.extraInfo = QStringLiteral("floor 3"); });
    TLConnectPack &connect = makePack();
    ASSERT_TRUE(connect.connectDeviceByIp(address.toString()));
    EXPECT_TRUE(TavlinGlobal::getIsConnectByIp());
    ASSERT_TRUE(waitForEvent("success"));
    ASSERT_TRUE(waitFor([&] { return server->requests(0).size() == 3; }));

    // The bytes as they left, then the second server-information request.
    EXPECT_TRUE(server->received(0).startsWith("GETPASSWORDCONFIG\r\ntavlin\r\n\r\ngetServerInfo\r\n1\r\n\r\n"));
    EXPECT_EQ(server->requests(0), (QStringList{kPasswordConfig, kServerInfo, kServerInfo}));
    const DevicePtr chosen = TavlinGlobal::getChoseDevice();
    ASSERT_TRUE(chosen);
    EXPECT_EQ(chosen, recorder.choseDeviceAtSuccess);
    EXPECT_EQ(chosen, TavlinGlobal::getTempChoseDevice());
    EXPECT_EQ(chosen->mDevicename, QStringLiteral("Room A"));
    EXPECT_EQ(chosen->mHostIp, address.toString());
    EXPECT_EQ(chosen->mServer_features, FeatureBits::kMasterControl | FeatureBits::kNotTvReceiver);
    EXPECT_FALSE(TavlinGlobal::getIsWindowReceiver());
    EXPECT_FALSE(TavlinGlobal::getIsTvVersion());
    EXPECT_FALSE(TavlinGlobal::getIsSupportDynamicPort());
    EXPECT_EQ(connect.getCustomBroadcastStrPack(), QStringLiteral("floor 3"));
    EXPECT_TRUE(connect.isAlreadyConnected());
    EXPECT_TRUE(connect.isSocketConnected_8121());

    // The name wait passes without a second check; the connection stays.
    spin(400); // past the name wait, for a second check that must not come
    EXPECT_EQ(recorder.events, QStringList{"success"});
    EXPECT_TRUE(server->connectionOpen(0));
}

TEST_F(ConnectPackTest, ABareWordAnswerDoesNotSpoilTheNameReplyAfterIt)
{
    // "No code" said without a line end, the name in a later read: the name
    // and its master-control bit still arrive.
    setBehaviour([](HandshakeBehaviour &b) {
        b.noCodeReply = "none";
        b.serverInfoDelayMs = 40;
    });
    ConnectPackTimings timings = shortTimings(server->port());
    timings.nameWaitMs = 3000;
    pack = std::make_unique<TLConnectPack>(&recorder, timings);
    TLConnectPack &connect = *pack;
    ASSERT_TRUE(connect.connectDeviceByIp(address.toString()));
    ASSERT_TRUE(waitForEvent("success"));
    ASSERT_TRUE(recorder.choseDeviceAtSuccess);
    EXPECT_EQ(recorder.choseDeviceAtSuccess->mDevicename, QStringLiteral("Room A"));
    EXPECT_EQ(recorder.choseDeviceAtSuccess->mServer_features, FeatureBits::kMasterControl | FeatureBits::kNotTvReceiver);
    EXPECT_EQ(recorder.events, QStringList{"success"});
}

TEST_F(ConnectPackTest, ConfiguredCodeAsksForItAndAWrongThenRightCodeShareTheConnection)
{
    // "configed password" alone asks for a code, with bit 6 clear.
    setBehaviour([](HandshakeBehaviour &b) { b.castingCode = QStringLiteral("482913"); });
    TLConnectPack &connect = makePack();
    ASSERT_TRUE(connect.connectDeviceByIp(address.toString()));
    ASSERT_TRUE(waitForEvent("needPwd"));
    EXPECT_TRUE(connect.isPassConnect());
    EXPECT_FALSE(connect.ipDeviceHasPasw());

    connect.connectDeviceByIpCheckPwd(QStringLiteral("111111"));
    ASSERT_TRUE(waitForEvent("pwdIncorrect"));
    EXPECT_EQ(recorder.errors.value(0).domain, QStringLiteral("com.TavlinError.Domain"));
    EXPECT_EQ(recorder.errors.value(0).code, 1);
    EXPECT_EQ(recorder.errors.value(0), TLConnectPack::wrongCodeError());

    connect.connectDeviceByIpCheckPwd(QStringLiteral("482913"));
    ASSERT_TRUE(waitForEvent("success"));
    EXPECT_EQ(recorder.events, (QStringList{"needPwd", "pwdIncorrect", "success"}));
    EXPECT_EQ(server->connectionCount(), 1);
    EXPECT_EQ(server->requests(0).mid(0, 4),
              (QStringList{kPasswordConfig, kServerInfo, checkPassword("111111"), checkPassword("482913")}));

    // The verdict wait ended with each answer: no time-out afterwards.
    spin(500); // past the verdict wait, for a time-out that must not come
    EXPECT_EQ(recorder.count("error"), 0);
    EXPECT_EQ(server->connectionCount(), 1);
}

TEST_F(ConnectPackTest, FeatureBitSixAloneAsksForTheCodeAndFaliedIsARefusal)
{
    setFeatures(FeatureBits::kMasterControl | FeatureBits::kCastingCodeConfigured);
    setBehaviour([](HandshakeBehaviour &b) {
        b.refusalWord = "falied";
        b.noCodeReply = "success\n"; // a stray word while nothing is checked
    });
    TLConnectPack &connect = makePack();
    ASSERT_TRUE(connect.connectDeviceByIp(address.toString()));
    ASSERT_TRUE(waitForEvent("needPwd"));
    EXPECT_EQ(recorder.count("success"), 0);
    connect.connectDeviceByIpCheckPwd(QStringLiteral("ABCDEFGH"));
    ASSERT_TRUE(waitForEvent("pwdIncorrect"));
    EXPECT_EQ(recorder.errors.value(0).code, 1);
}

TEST_F(ConnectPackTest, DynamicPortsAreInTheTableBeforeSuccess)
{
    setFeatures(FeatureBits::kMasterControl | FeatureBits::kDynamicPorts);
    setBehaviour([](HandshakeBehaviour &b) {
        b.ports = {{"51040", 41040}, {"51030", 0}, {"51060", 70000}, {"52020", 42020}, {"57395", 47395}};
    });
    DynamicPortTable::setDynamicPort_52030(1234); // the check resets it
    TLConnectPack &connect = makePack();
    ASSERT_TRUE(connect.connectDeviceByIp(address.toString()));
    ASSERT_TRUE(waitForEvent("success"));
    EXPECT_EQ(recorder.portsAtSuccess, (QList<qint64>{41040, 51030, 51060, 42020, 52030, 47395}));
    EXPECT_TRUE(TavlinGlobal::getIsSupportDynamicPort());
    EXPECT_EQ(server->requests(0).mid(0, 3), (QStringList{kPasswordConfig, kServerInfo, kListenedPort}));
    EXPECT_FALSE(connect.isDirectConnect());
}

TEST_F(ConnectPackTest, PortReplyWithoutChangeKeepsDefaultsAndWaitsForTheReply)
{
    setFeatures(FeatureBits::kDynamicPorts);
    setBehaviour([](HandshakeBehaviour &b) {
        b.portsChanged = false;
        b.ports = {{"51040", 41040}};
        // The port reply shares its read with another line.
        b.portsOverride = "hello\n" + HandshakeServer::portsLine(false, {{"51040", 41040}});
        b.gatherMs = 30;
    });
    TLConnectPack &connect = makePack();
    ASSERT_TRUE(connect.connectDeviceByIp(address.toString()));
    ASSERT_TRUE(waitForEvent("success"));
    EXPECT_EQ(recorder.portsAtSuccess.value(0), 51040);
}

TEST_F(ConnectPackTest, PortReplySharingAReadWithAnotherLineStillSetsThePorts)
{
    setFeatures(FeatureBits::kDynamicPorts);
    setBehaviour([](HandshakeBehaviour &b) {
        b.portsOverride = "ok\n" + HandshakeServer::portsLine(true, {{"51040", 41040}, {"57395", 47395}});
    });
    TLConnectPack &connect = makePack();
    ASSERT_TRUE(connect.connectDeviceByIp(address.toString()));
    ASSERT_TRUE(waitForEvent("success"));
    EXPECT_EQ(recorder.portsAtSuccess.value(0), 41040);
    EXPECT_EQ(recorder.portsAtSuccess.value(5), 47395);
}

TEST_F(ConnectPackTest, NameWaitExpiryGivesAnEmptyNameAndALateReplyOnlyUpdatesIt)
{
    setBehaviour([](HandshakeBehaviour &b) {
        b.serverInfoDelayMs = 600;
        b.extraInfo = QStringLiteral("late text");
    });
    TLConnectPack &connect = makePack();
    ASSERT_TRUE(connect.connectDeviceByIp(address.toString()));
    ASSERT_TRUE(waitForEvent("success"));
    ASSERT_TRUE(recorder.choseDeviceAtSuccess);
    EXPECT_EQ(recorder.choseDeviceAtSuccess->mDevicename, QStringLiteral(""));
    EXPECT_EQ(recorder.choseDeviceAtSuccess->mServer_features, 0);
    EXPECT_EQ(connect.getCustomBroadcastStrPack(), QStringLiteral(""));

    ASSERT_TRUE(waitFor([&] { return TavlinGlobal::getChoseDevice()->mDevicename == QStringLiteral("Room A"); }));
    EXPECT_EQ(TavlinGlobal::getChoseDevice()->mServer_features, FeatureBits::kMasterControl | FeatureBits::kNotTvReceiver);
    EXPECT_EQ(connect.getCustomBroadcastStrPack(), QStringLiteral("late text"));
    spin(300); // for a second report that must not come
    EXPECT_EQ(recorder.events, QStringList{"success"});
}

TEST_F(ConnectPackTest, OnceTheCodeIsAskedForALateNameReplyNeitherSucceedsNorAsksAgain)
{
    // The receiver wants a code and names itself after the name wait, with
    // feature bits that say nothing of a code.
    setBehaviour([](HandshakeBehaviour &b) {
        b.castingCode = QStringLiteral("482913");
        b.serverInfoDelayMs = 500;
        b.extraInfo = QStringLiteral("late text");
    });
    TLConnectPack &connect = makePack();
    ASSERT_TRUE(connect.connectDeviceByIp(address.toString()));
    ASSERT_TRUE(waitForEvent("needPwd"));
    ASSERT_TRUE(waitFor([&] { return TavlinGlobal::getTempChoseDevice()->mDevicename == QStringLiteral("Room A"); }));
    EXPECT_EQ(connect.getCustomBroadcastStrPack(), QStringLiteral("late text"));
    spin(200); // for a report or a question that must not come
    // Neither a success behind the open code dialog nor a second question.
    EXPECT_EQ(recorder.events, QStringList{"needPwd"});
    EXPECT_EQ(server->requests(0).filter(QStringLiteral("getListenedPort")).size(), 0);

    connect.connectDeviceByIpCheckPwd(QStringLiteral("111111"));
    ASSERT_TRUE(waitForEvent("pwdIncorrect"));
    connect.connectDeviceByIpCheckPwd(QStringLiteral("482913"));
    ASSERT_TRUE(waitForEvent("success"));
    EXPECT_EQ(recorder.events, (QStringList{"needPwd", "pwdIncorrect", "success"}));
    EXPECT_EQ(TavlinGlobal::getChoseDevice()->mServer_features, FeatureBits::kMasterControl | FeatureBits::kNotTvReceiver);
}

TEST_F(ConnectPackTest, ALateNameReplyBehindTheCodeQuestionStillBringsTheReceiversFlagsAndPorts)
{
    // A Windows receiver on ports of its own names itself only after the
    // name wait took it as nameless and the code question went out. The
    // session must still run on its ports, whether the code is typed after
    // its port reply or before it (the verdict then waits for the ports),
    // and must not run on a port table it never got.
    setFeatures(FeatureBits::kMasterControl | FeatureBits::kDynamicPorts | FeatureBits::kWindowsReceiver);
    const QList<qint64> theirPorts = {41040, 51030, 51060, 42020, 52030, 47395};
    enum class Code { AfterThePortReply, BeforeThePortReply, BeforeAPortReplyThatNeverComes };
    for (const Code when : {Code::AfterThePortReply, Code::BeforeThePortReply, Code::BeforeAPortReplyThatNeverComes}) {
        SCOPED_TRACE(int(when));
        recorder = PackRecorder();
        setBehaviour([&](HandshakeBehaviour &b) {
            b.castingCode = QStringLiteral("482913");
            b.serverInfoDelayMs = 400;
            b.ports = {{"51040", 41040}, {"52020", 42020}, {"57395", 47395}};
            b.portsDelayMs = when == Code::AfterThePortReply ? 0 : when == Code::BeforeThePortReply ? 500 : 100000;
        });
        const int connection = server->connectionCount();
        TLConnectPack &connect = makePack();
        ASSERT_TRUE(connect.connectDeviceByIp(address.toString()));
        ASSERT_TRUE(waitForEvent("needPwd"));
        EXPECT_FALSE(TavlinGlobal::getIsWindowReceiver());

        // The late name reply: flags, port table and port request.
        ASSERT_TRUE(waitFor([&] { return server->requests(connection).contains(kListenedPort); }));
        EXPECT_TRUE(TavlinGlobal::getIsWindowReceiver());
        EXPECT_TRUE(TavlinGlobal::getIsSupportDynamicPort());
        EXPECT_EQ(TavlinGlobal::getTempChoseDevice()->mServer_features,
                  FeatureBits::kMasterControl | FeatureBits::kDynamicPorts | FeatureBits::kWindowsReceiver);
        if (when == Code::AfterThePortReply)
            ASSERT_TRUE(waitFor([&] { return !connect.isPortReplyPending(); }));
        else
            EXPECT_TRUE(connect.isPortReplyPending());
        EXPECT_EQ(recorder.events, QStringList{"needPwd"});

        connect.connectDeviceByIpCheckPwd(QStringLiteral("482913"));
        if (when == Code::BeforeAPortReplyThatNeverComes) {
            // The verdict came; the ports never do: the connect fails at the
            // deadline rather than run on ports that are not the receiver's.
            ASSERT_TRUE(waitForEvent("error"));
            EXPECT_EQ(recorder.events, (QStringList{"needPwd", "error"}));
            continue;
        }
        ASSERT_TRUE(waitForEvent("success"));
        EXPECT_EQ(recorder.events, (QStringList{"needPwd", "success"}));
        EXPECT_EQ(recorder.portsAtSuccess, theirPorts);
        EXPECT_TRUE(recorder.windowReceiverAtSuccess);
        EXPECT_EQ(server->requests(connection).count(kListenedPort), 1);
    }
}

TEST_F(ConnectPackTest, AVerdictCutInTwoIsReadWhole)
{
    // The receiver writes its verdict in two pieces, a little apart,
    // wherever the cut falls.
    for (qsizetype cut = 1; cut < 8; ++cut) {
        SCOPED_TRACE(cut);
        recorder = PackRecorder();
        setBehaviour([&](HandshakeBehaviour &b) {
            b.castingCode = QStringLiteral("482913");
            b.verdictCutAt = cut;
            b.pieceGapMs = 20;
        });
        TLConnectPack &connect = makePack();
        ASSERT_TRUE(connect.connectDeviceByIp(address.toString()));
        ASSERT_TRUE(waitForEvent("needPwd"));
        connect.connectDeviceByIpCheckPwd(QStringLiteral("111111"));
        ASSERT_TRUE(waitForEvent("pwdIncorrect"));
        connect.connectDeviceByIpCheckPwd(QStringLiteral("482913"));
        ASSERT_TRUE(waitForEvent("success"));
        EXPECT_EQ(recorder.events, (QStringList{"needPwd", "pwdIncorrect", "success"}));
    }
}

TEST_F(ConnectPackTest, TheEndOfTheConnectionEndsTheWaitForAVerdictOnce)
{
    setBehaviour([](HandshakeBehaviour &b) {
        b.castingCode = QStringLiteral("482913");
        b.closeOnRequest = QStringLiteral("CHECKPASSWORD");
    });
    TLConnectPack &connect = makePack();
    ASSERT_TRUE(connect.connectDeviceByIp(address.toString()));
    ASSERT_TRUE(waitForEvent("needPwd"));
    connect.connectDeviceByIpCheckPwd(QStringLiteral("482913"));
    ASSERT_TRUE(waitForEvent("error"));
    spin(500); // past the verdict wait, for a time-out that must not follow
    EXPECT_EQ(recorder.events, (QStringList{"needPwd", "error"}));
    EXPECT_TRUE(SocketErrors::isNotConnected(recorder.errors[0])) << recorder.errors[0].description.toStdString();
}

TEST_F(ConnectPackTest, ASilentReceiverIsTakenAsNamelessAfterTheNameWait)
{
    setBehaviour([](HandshakeBehaviour &b) { b.silent = true; });
    TLConnectPack &connect = makePack();
    ASSERT_TRUE(connect.connectDeviceByIp(address.toString()));
    ASSERT_TRUE(waitForEvent("success"));
    EXPECT_EQ(TavlinGlobal::getChoseDevice()->mDevicename, QStringLiteral(""));
    EXPECT_EQ(recorder.count("error"), 0);
}

TEST_F(ConnectPackTest, ASilentReceiverOnTheCodeRoadFailsOnceAtTheDeadlineAndIsLetGo)
{
    // The code road has no name wait: without the deadline a receiver that
    // accepts and never answers would leave the caller waiting for ever.
    const QString code = HandshakeCodes::eightLetterCodeFor(address);
    setBehaviour([](HandshakeBehaviour &b) { b.silent = true; });
    TLConnectPack &connect = makePack();
    ASSERT_TRUE(connect.connectDeviceByPin(code));
    ASSERT_TRUE(waitForEvent("error"));
    EXPECT_EQ(recorder.errors[0].domain, SocketErrors::kAsyncSocketErrorDomain);
    EXPECT_EQ(recorder.errors[0].code, SocketErrors::AsyncSocketReadTimeoutError);
    EXPECT_TRUE(waitFor([&] { return !server->connectionOpen(0); }));
    spin(300); // for a second report that must not come
    EXPECT_EQ(recorder.events, QStringList{"error"});
}

TEST_F(ConnectPackTest, TheDeadlineWaitsNeitherOnTheUserNorOnACodeCheck)
{
    setBehaviour([](HandshakeBehaviour &b) {
        b.castingCode = QStringLiteral("482913");
        b.silentOnCheck = false;
    });
    TLConnectPack &connect = makePack();
    ASSERT_TRUE(connect.connectDeviceByIp(address.toString()));
    ASSERT_TRUE(waitForEvent("needPwd"));
    // The user takes longer than the deadline to type the code.
    spin(1800); // the user types slowly; no report may come meanwhile
    EXPECT_EQ(recorder.count("error"), 0);
    connect.connectDeviceByIpCheckPwd(QStringLiteral("482913"));
    ASSERT_TRUE(waitForEvent("success"));
    EXPECT_EQ(recorder.events, (QStringList{"needPwd", "success"}));
}

TEST_F(ConnectPackTest, ConnectTimeOutIsReportedOnceWithItsCode)
{
    TestSupport::HangingListener listener(address);
    listener.fill();
    pack = std::make_unique<TLConnectPack>(&recorder, shortTimings(listener.port()));
    ASSERT_TRUE(pack->connectDeviceByIp(address.toString()));
    ASSERT_TRUE(waitForEvent("error"));
    spin(400); // for a second report that must not come
    EXPECT_EQ(recorder.events, QStringList{"error"});
    EXPECT_EQ(recorder.errors[0].domain, SocketErrors::kAsyncSocketErrorDomain);
    EXPECT_EQ(recorder.errors[0].code, 2);
}

TEST_F(ConnectPackTest, NameWaitThatEndsBeforeTheConnectRunsAgainOnceConnected)
{
    // The connect gets in only when the receiver's backlog frees up, long
    // after the name wait; the wait then runs again from the connect.
    TestSupport::HangingListener slow(address);
    slow.fill();
    ConnectPackTimings timings = shortTimings(slow.port());
    timings.connectTimeoutMs = 10000;
    pack = std::make_unique<TLConnectPack>(&recorder, timings);
    ASSERT_TRUE(pack->connectDeviceByIp(address.toString()));
    spin(300); // the connect must not get in meanwhile
    EXPECT_FALSE(pack->isSocketConnected_8121());
    ASSERT_TRUE(waitFor([&] {
        slow.drain();
        return pack->isSocketConnected_8121();
    }, 10000));
    EXPECT_TRUE(recorder.events.isEmpty());
    ASSERT_TRUE(waitForEvent("success"));
    EXPECT_EQ(TavlinGlobal::getChoseDevice()->mDevicename, QStringLiteral(""));
}

TEST_F(ConnectPackTest, RefusedConnectIsReportedOnceAndNeverAsAWrongCode)
{
    const quint16 port = server->port();
    emulator->stop();
    pack = std::make_unique<TLConnectPack>(&recorder, shortTimings(port));
    ASSERT_TRUE(pack->connectDeviceByIp(address.toString()));
    ASSERT_TRUE(waitForEvent("error"));
    spin(300); // for a second report that must not come
    EXPECT_EQ(recorder.events, QStringList{"error"});
    EXPECT_EQ(recorder.errors[0].domain, SocketErrors::kPosixErrorDomain);
    EXPECT_EQ(recorder.errors[0].code, ECONNREFUSED);
    EXPECT_NE(recorder.errors[0].domain, QStringLiteral("com.TavlinError.Domain"));
}

TEST_F(ConnectPackTest, CloseOrResetBeforeSuccessIsReportedOnce)
{
    setBehaviour([](HandshakeBehaviour &b) { b.closeOnRequest = QStringLiteral("getServerInfo"); });
    TLConnectPack &connect = makePack();
    ASSERT_TRUE(connect.connectDeviceByIp(address.toString()));
    ASSERT_TRUE(waitForEvent("error"));
    spin(400); // past the name wait, for a second report that must not come
    EXPECT_EQ(recorder.events, QStringList{"error"});
    EXPECT_TRUE(SocketErrors::isNotConnected(recorder.errors[0]));
    EXPECT_FALSE(connect.isSocketConnected_8121());

    recorder = PackRecorder();
    setBehaviour([](HandshakeBehaviour &b) {
        b.closeOnRequest.clear();
        b.resetOnRequest = QStringLiteral("getServerInfo");
    });
    TLConnectPack &again = makePack();
    ASSERT_TRUE(again.connectDeviceByIp(address.toString()));
    ASSERT_TRUE(waitForEvent("error"));
    spin(400); // for a second report that must not come
    EXPECT_EQ(recorder.events, QStringList{"error"});
    EXPECT_TRUE(SocketErrors::isConnectionReset(recorder.errors[0]));
}

TEST_F(ConnectPackTest, TheEndOfTheConnectionAfterSuccessIsNotReported)
{
    TLConnectPack &connect = makePack();
    ASSERT_TRUE(connect.connectDeviceByIp(address.toString()));
    ASSERT_TRUE(waitForEvent("success"));
    emulator->stop();
    ASSERT_TRUE(waitFor([&] { return !connect.isSocketConnected_8121(); }));
    spin(100); // for a report that must not come
    EXPECT_EQ(recorder.events, QStringList{"success"});

    // Nor a connection that breaks with an error of the system's.
    ASSERT_TRUE(emulator->start());
    TLConnectPack &again = makePack();
    ASSERT_TRUE(again.connectDeviceByIp(address.toString()));
    ASSERT_TRUE(waitForEvent("success", 2));
    AsyncSocket *socket = again.asyncSocket_8121();
    again.onSocketWillDisconnectWithError(socket, SocketErrors::posixError(ETIMEDOUT));
    again.onSocketDidDisconnect(socket);
    spin(100); // for a report that must not come
    EXPECT_EQ(recorder.events, (QStringList{"success", "success"}));
}

TEST_F(ConnectPackTest, ACodeCheckWithoutAVerdictReopensTheConnectionAndReportsTheTimeOut)
{
    // Silence, or bytes that are no verdict: neither ends the wait for one.
    for (const QByteArray &chatter : {QByteArray(), QByteArray("checking\n{\"name\":\"Room A\",\"feature\":\"40\"}\n")}) {
        SCOPED_TRACE(chatter.toStdString());
        recorder = PackRecorder();
        const int first = server->connectionCount();
        setBehaviour([&](HandshakeBehaviour &b) {
            b.castingCode = QStringLiteral("482913");
            b.silentOnCheck = chatter.isEmpty();
            b.checkReplyOverride = chatter;
        });
        TLConnectPack &connect = makePack();
        ASSERT_TRUE(connect.connectDeviceByIp(address.toString()));
        ASSERT_TRUE(waitForEvent("needPwd"));
        connect.connectDeviceByIpCheckPwd(QStringLiteral("482913"));
        ASSERT_TRUE(waitForEvent("error"));
        EXPECT_EQ(recorder.errors[0].domain, SocketErrors::kAsyncSocketErrorDomain);
        EXPECT_EQ(recorder.errors[0].code, 4);
        EXPECT_EQ(recorder.events, (QStringList{"needPwd", "error"}));
        // A new connection, on which nothing is sent.
        ASSERT_TRUE(waitFor([&] { return server->connectionCount() == first + 2; }));
        spin(100); // for a request that must not come
        EXPECT_TRUE(server->received(first + 1).isEmpty());
        EXPECT_TRUE(waitFor([&] { return !server->connectionOpen(first); }));

        // The next code is the new connection's first request.
        setBehaviour([](HandshakeBehaviour &b) {
            b.silentOnCheck = false;
            b.checkReplyOverride.clear();
        });
        connect.connectDeviceByIpCheckPwd(QStringLiteral("482913"));
        ASSERT_TRUE(waitForEvent("success"));
        EXPECT_EQ(server->requests(first + 1).value(0), checkPassword("482913"));
        EXPECT_EQ(recorder.count("error"), 1);
    }
}

TEST_F(ConnectPackTest, CodeWithALineBreakNeverReachesTheWire)
{
    setBehaviour([](HandshakeBehaviour &b) { b.castingCode = QStringLiteral("482913"); });
    TLConnectPack &connect = makePack();
    ASSERT_TRUE(connect.connectDeviceByIp(address.toString()));
    ASSERT_TRUE(waitForEvent("needPwd"));
    connect.connectDeviceByIpCheckPwd(QStringLiteral("\r\n1234"));
    connect.connectDeviceByIpCheckPwd(QStringLiteral("48\n913"));
    spin(450); // past the name wait, for a code that must not be sent
    for (const QString &request : server->allRequests())
        EXPECT_FALSE(request.startsWith(QLatin1String("CHECKPASSWORD"))) << request.toStdString();
    EXPECT_FALSE(server->received(0).contains("CHECKPASSWORD"));
    EXPECT_EQ(recorder.count("error"), 0);
}

TEST_F(ConnectPackTest, ReceiverTextCannotPassForAVerdict)
{
    // A name with the protocol's words in it is only a name.
    setBehaviour([](HandshakeBehaviour &b) {
        b.castingCode = QStringLiteral("482913");
        b.extraInfo = QStringLiteral("failed success");
    });
    ReceiverProfile profile = emulator->profile();
    profile.name = QStringLiteral("success failed falied configed password");
    emulator->setProfile(profile);
    TLConnectPack &connect = makePack();
    ASSERT_TRUE(connect.connectDeviceByIp(address.toString()));
    ASSERT_TRUE(waitForEvent("needPwd"));
    spin(100); // for a report that must not come
    EXPECT_EQ(recorder.events, QStringList{"needPwd"});
    connect.connectDeviceByIpCheckPwd(QStringLiteral("482913"));
    ASSERT_TRUE(waitForEvent("success"));
    // The name reply after success says "failed" too: no refusal.
    ASSERT_TRUE(waitFor([&] { return server->requests(0).count(kServerInfo) == 2; }));
    spin(150); // for a refusal that must not come
    EXPECT_EQ(recorder.events, (QStringList{"needPwd", "success"}));
    EXPECT_EQ(connect.getCustomBroadcastStrPack(), QStringLiteral("failed success"));
}

TEST_F(ConnectPackTest, UnexpectedMemberTypesAreTakenAsAbsent)
{
    setBehaviour([](HandshakeBehaviour &b) {
        b.serverInfoOverride = R"({"name":5,"feature":268435456,"extraInfo":[1,2]})" "\n";
    });
    TLConnectPack &connect = makePack();
    ASSERT_TRUE(connect.connectDeviceByIp(address.toString()));
    ASSERT_TRUE(waitForEvent("success"));
    EXPECT_EQ(TavlinGlobal::getChoseDevice()->mServer_features, 0);
    EXPECT_TRUE(TavlinGlobal::getChoseDevice()->mDevicename.isEmpty());
    EXPECT_EQ(connect.getCustomBroadcastStrPack(), QStringLiteral(""));
}

TEST_F(ConnectPackTest, RepliesCutAtAnyByteOrGatheredGiveTheSameOutcome)
{
    ReceiverProfile profile = emulator->profile();
    profile.name = QStringLiteral("Salle à manger 会议室");
    profile.features = FeatureBits::kMasterControl | FeatureBits::kDynamicPorts;
    emulator->setProfile(profile);
    const QByteArray stream = "configed password\n"
        + HandshakeServer::serverInfoLine(profile, QStringLiteral("extra ✓"))
        + HandshakeServer::portsLine(true, {{"51040", 41040}});
    // Cut positions inside each reply, the words included, and inside
    // multi-byte characters.
    QList<qsizetype> cuts;
    for (qsizetype i = 3; i < stream.size(); i += 7)
        cuts.append(i);
    const qsizetype accent = stream.indexOf("à");
    cuts << accent + 1 << stream.indexOf("会") + 1 << stream.indexOf("会") + 2;
    std::sort(cuts.begin(), cuts.end());

    for (int gather : {0, 80}) {
        recorder = PackRecorder();
        setBehaviour([&](HandshakeBehaviour &b) {
            b.castingCode = QStringLiteral("482913");
            b.extraInfo = QStringLiteral("extra ✓");
            b.ports = {{"51040", 41040}};
            b.cutAt = gather ? QList<qsizetype>() : cuts;
            b.pieceGapMs = 5;
            b.gatherMs = gather;
        });
        pack.reset();
        pack = std::make_unique<TLConnectPack>(&recorder, [&] {
            ConnectPackTimings timings = shortTimings(server->port());
            timings.nameWaitMs = 3000;
            return timings;
        }());
        ASSERT_TRUE(pack->connectDeviceByIp(address.toString()));
        ASSERT_TRUE(waitForEvent("needPwd")) << "gather " << gather;
        EXPECT_EQ(pack->chosenDevice()->mDevicename, profile.name);
        EXPECT_EQ(pack->getCustomBroadcastStrPack(), QStringLiteral("extra ✓"));
        pack->connectDeviceByIpCheckPwd(QStringLiteral("482913"));
        ASSERT_TRUE(waitForEvent("success")) << "gather " << gather;
        EXPECT_EQ(recorder.portsAtSuccess.value(0), 41040);
        EXPECT_EQ(recorder.events, (QStringList{"needPwd", "success"}));
    }
}

TEST_F(ConnectPackTest, CodeRoadUsesTheCodesAddressAndChecksTheCodeAtOnce)
{
    setFeatures(FeatureBits::kMasterControl | FeatureBits::kCastingCodeConfigured);
    const QString code = HandshakeCodes::eightLetterCodeFor(address);
    setBehaviour([&](HandshakeBehaviour &b) { b.castingCode = code; });
    TLConnectPack &connect = makePack();
    ASSERT_TRUE(connect.connectDeviceByPin(code));
    EXPECT_TRUE(TavlinGlobal::getIsConnectByPin());
    EXPECT_EQ(TavlinGlobal::getConnectPin(), code);
    EXPECT_EQ(connect.connectIp(), address.toString());
    ASSERT_TRUE(waitForEvent("success"));
    EXPECT_EQ(server->requests(0).mid(0, 2), (QStringList{kServerInfo, checkPassword(code)}));
    EXPECT_EQ(recorder.events, QStringList{"success"});
}

TEST_F(ConnectPackTest, SixDigitRoadNeedsAnOwnAddressOnTheSameNetwork)
{
    const QString code = HandshakeCodes::sixDigitCodeFor(address);
    const quint32 own = (address.toIPv4Address() & 0xFFFF0000u) | 0x0101u;
    addresses->ipv4 = QHostAddress(own).toString();
    TLConnectPack &connect = makePack();
    ASSERT_TRUE(connect.connectDeviceByPin(code));
    EXPECT_EQ(connect.connectIp(), address.toString());
    ASSERT_TRUE(waitForEvent("success"));
    EXPECT_EQ(server->requests(0).value(0), kServerInfo);

    addresses->ipv4 = QStringLiteral("127.0.0.1");
    EXPECT_FALSE(makePack().connectDeviceByPin(code));
    addresses->ipv4.clear();
    EXPECT_FALSE(makePack().connectDeviceByPin(code));
    EXPECT_FALSE(makePack().connectDeviceByPin(QStringLiteral("ABCDEFG")));
}

TEST_F(ConnectPackTest, ANewConnectReplacesTheOldHandshakeWithoutACallback)
{
    TLConnectPack &first = makePack();
    ASSERT_TRUE(first.connectDeviceByIp(address.toString()));
    ASSERT_TRUE(waitForEvent("success"));

    PackRecorder second;
    TLConnectPack next(&second, shortTimings(server->port()));
    ASSERT_TRUE(next.connectDeviceByIp(address.toString()));
    ASSERT_TRUE(TestSupport::waitFor([&] { return second.count("success") == 1; }));
    ASSERT_TRUE(waitFor([&] { return !server->connectionOpen(0); }));
    spin(50); // for a report that must not come
    EXPECT_EQ(recorder.events, QStringList{"success"});
}
