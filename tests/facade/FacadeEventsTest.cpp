// Network watch, screen lock, and the session events the facade passes on.

#include "FacadeTestRig.h"
#include "LogCapture.h"

using TestSupport::waitFor;

TEST_F(FacadeTest, NetworkLossAndReturnAreEachReportedOnce)
{
    auto facade = makeFacade();
    const qsizetype start = journal.size();
    ipv4->quiet = true;
    ipv4->setPresent(true);    // no change
    ipv4->setPresent(false);
    ipv4->setPresent(false);   // no change
    ipv4->setPresent(true);
    ipv4->setPresent(true);    // no change
    EXPECT_EQ(appEvents(start), (QStringList{"app.networkUnreachable", "app.networkReachable"}));
    // Nothing was connected, so nothing was disconnected.
    EXPECT_EQ(book.mastersMade, 0);
}

TEST_F(FacadeTest, NetworkLossEndsTheSessionFirst)
{
    auto facade = makeFacade();
    connectAndSucceed(*facade);
    const qsizetype start = journal.size();
    ipv4->quiet = true;
    ipv4->setPresent(false);
    EXPECT_EQ(journal.mid(start), (QStringList{
                                       "master.disconnect 1",
                                       "app.disconnected disconnect for network unreachable/1",
                                       "app.networkUnreachable",
                                   }));
    EXPECT_FALSE(facade->isConnected());
    EXPECT_FALSE(TavlinGlobal::getIsConnecting());

    // Back again: reachable, and no session comes back by itself.
    ipv4->setPresent(true);
    EXPECT_EQ(appEvents(start).last(), QStringLiteral("app.networkReachable"));
    EXPECT_FALSE(facade->isConnected());
}

TEST_F(FacadeTest, ScreenLockEndsASessionAndIsHarmlessWithoutOne)
{
    LogCapture log;
    auto facade = makeFacade();
    qsizetype start = journal.size();
    lockMonitor->lock();
    EXPECT_EQ(journal.mid(start), QStringList());
    EXPECT_EQ(log.count(QStringLiteral("user has locked screen.....")), 1);

    connectAndSucceed(*facade);
    start = journal.size();
    lockMonitor->lock();
    EXPECT_EQ(journal.mid(start), (QStringList{
                                       "master.disconnect 3",
                                       "app.disconnected disconnect due to user lock the screen/3",
                                   }));
    EXPECT_EQ(log.count(QStringLiteral("user has locked screen.....")), 2);
    EXPECT_FALSE(facade->isConnected());

    // Locked again with the session already gone: the session object remains
    // but is not asked to disconnect.
    start = journal.size();
    lockMonitor->lock();
    EXPECT_EQ(journal.mid(start), QStringList());
}

TEST_F(FacadeTest, UserDisconnectNeedsASession)
{
    auto facade = makeFacade();
    qsizetype start = journal.size();
    facade->disconnectWithDevice();
    EXPECT_EQ(journal.mid(start), QStringList());

    connectAndSucceed(*facade);
    start = journal.size();
    facade->disconnectWithDevice();
    EXPECT_EQ(journal.mid(start), (QStringList{"master.disconnect 0", "app.disconnected none"}));
    EXPECT_FALSE(facade->isConnected());
}

TEST_F(FacadeTest, HandshakeOutcomesReachTheApplication)
{
    auto facade = makeFacade();
    ASSERT_TRUE(facade->connectDeviceByIp(QStringLiteral("192.0.2.10")));
    ConnectPackDelegate *events = book.lastConnect()->delegate;
    const qsizetype start = journal.size();
    events->connectPack_needEnterPwd();
    events->connectPack_pwdIncorrect(TavlinError(QStringLiteral("com.TavlinError.Domain"), 1));
    events->connectPack_connectDeviceCheckWithError(TavlinError(QStringLiteral("TavlinSocketErrorDomain"), 2));
    EXPECT_EQ(appEvents(start), (QStringList{
                                    "app.needPwd",
                                    "app.connectError com.TavlinError.Domain/1",
                                    "app.connectError TavlinSocketErrorDomain/2",
                                }));
    EXPECT_FALSE(facade->isConnected());
    EXPECT_EQ(book.mastersMade, 0);
}

TEST_F(FacadeTest, SuccessStartsMasterControlThenTellsTheApplicationThenCountsAsConnected)
{
    auto facade = makeFacade();
    bool connectedDuringCallback = true;
    QString customDuringCallback = QStringLiteral("unset");
    delegate.during = [&](const QString &event) {
        if (event.startsWith(QLatin1String("app.success"))) {
            connectedDuringCallback = facade->isConnected();
            customDuringCallback = facade->getCustomBroadcastString();
        }
    };
    const qsizetype start = journal.size();
    connectAndSucceed(*facade);
    EXPECT_EQ(journal.mid(start), (QStringList{
                                      "connect.byIp 192.0.2.10",
                                      "master.start",
                                      "app.success Room A@192.0.2.10",
                                  }));
    EXPECT_FALSE(connectedDuringCallback);
    EXPECT_EQ(customDuringCallback, QString());
    EXPECT_TRUE(facade->isConnected());
    EXPECT_EQ(facade->getCustomBroadcastString(), QStringLiteral("extra info"));
}

TEST_F(FacadeTest, SuccessWithoutAChosenReceiverSendsEmptyServerInfo)
{
    auto facade = makeFacade();
    ASSERT_TRUE(facade->connectDeviceByIp(QStringLiteral("192.0.2.10")));
    book.lastConnect()->delegate->connectPack_connectDeviceCheckSuccess();
    EXPECT_EQ(appEvents().last(), QStringLiteral("app.success @"));
}

TEST_F(FacadeTest, MasterControlEventsReachTheApplication)
{
    auto facade = makeFacade();
    connectAndSucceed(*facade);
    MasterControlPackDelegate *events = book.lastMaster()->delegate;
    const qsizetype start = journal.size();

    // A stop without a start is not news.
    events->masterControlPack_castStopWithError(TavlinError(QStringLiteral("MIRROR_SOCKET_CLOSE_BY_TIMEOUT"), -6));
    EXPECT_FALSE(facade->isCasting());
    events->masterControlPack_castSuccess();
    EXPECT_TRUE(facade->isCasting());
    events->masterControlPack_castStopWithError(TavlinError(QStringLiteral("MIRROR_SOCKET_CLOSE_BY_SERVEREXIT"), -7));
    EXPECT_FALSE(facade->isCasting());
    events->masterControlPack_castStopWithError(std::nullopt);
    events->masterControlPack_castSuccess();
    events->masterControlPack_castStopWithError(std::nullopt);
    events->masterControlPack_allowFullScreenStateChanged(1);
    events->masterControlPack_fullScreenStateChanged(0);
    events->masterControlPack_replyCastRequest(7);
    events->masterControlPack_deviceDidDisconnectWithError(
        TavlinError(QStringLiteral("Heartbeat timeout due to poor network"), 2));
    EXPECT_EQ(appEvents(start), (QStringList{
                                    "app.castSuccess",
                                    "app.castStop MIRROR_SOCKET_CLOSE_BY_SERVEREXIT/-7",
                                    "app.castSuccess",
                                    "app.castStop none",
                                    "app.allowFullScreen 1",
                                    "app.fullScreen 0",
                                    "app.replyCastRequest 7",
                                    "app.disconnected Heartbeat timeout due to poor network/2",
                                }));
    EXPECT_FALSE(facade->isConnected());
}

TEST_F(FacadeTest, ConnectedFlagFollowsTheDisconnectCallback)
{
    auto facade = makeFacade();
    connectAndSucceed(*facade);
    bool connectedDuringCallback = false;
    delegate.during = [&](const QString &event) {
        if (event.startsWith(QLatin1String("app.disconnected")))
            connectedDuringCallback = facade->isConnected();
    };
    facade->disconnectWithDevice();
    EXPECT_TRUE(connectedDuringCallback);
    EXPECT_FALSE(facade->isConnected());
    EXPECT_EQ(facade->getCustomBroadcastString(), QString());
}

TEST_F(FacadeTest, AReplacedHandshakeIsDroppedAfterItsCallbackAndSilenced)
{
    auto facade = makeFacade();
    ASSERT_TRUE(facade->connectDeviceByIp(QStringLiteral("192.0.2.10")));
    FakeConnectSession *first = book.lastConnect();
    ConnectPackDelegate *firstEvents = first->delegate;

    // The application retries from inside the failure callback.
    bool retried = false;
    int destroyedDuringCallback = -1;
    delegate.during = [&](const QString &event) {
        if (event.startsWith(QLatin1String("app.connectError")) && !retried) {
            retried = true;
            EXPECT_TRUE(facade->connectDeviceByIp(QStringLiteral("192.0.2.11")));
            destroyedDuringCallback = book.connectsDestroyed;
        }
    };
    firstEvents->connectPack_connectDeviceCheckWithError(TavlinError(QStringLiteral("TavlinSocketErrorDomain"), 2));
    EXPECT_EQ(destroyedDuringCallback, 0);
    EXPECT_EQ(book.connectsMade, 2);

    // Until it is gone, whatever the old handshake still says goes nowhere.
    const qsizetype start = journal.size();
    firstEvents->connectPack_needEnterPwd();
    firstEvents->connectPack_connectDeviceCheckSuccess();
    EXPECT_EQ(appEvents(start), QStringList());
    EXPECT_EQ(book.mastersMade, 0);

    ASSERT_TRUE(waitFor([&] { return book.connectsDestroyed == 1; }));
    ASSERT_EQ(book.connects.size(), 1);
    EXPECT_NE(book.connects.first(), first);
}

TEST_F(FacadeTest, ASecondSuccessReplacesTheMasterControlSession)
{
    auto facade = makeFacade();
    connectAndSucceed(*facade);
    FakeMasterSession *first = book.lastMaster();
    MasterControlPackDelegate *firstEvents = first->delegate;

    ASSERT_TRUE(facade->connectDeviceByIp(QStringLiteral("192.0.2.12")));
    book.lastConnect()->delegate->connectPack_connectDeviceCheckSuccess();
    EXPECT_EQ(book.mastersMade, 2);
    const qsizetype start = journal.size();
    firstEvents->masterControlPack_deviceDidDisconnectWithError(std::nullopt);
    EXPECT_EQ(appEvents(start), QStringList());
    EXPECT_TRUE(facade->isConnected());

    ASSERT_TRUE(waitFor([&] { return book.mastersDestroyed == 1; }));
    ASSERT_EQ(book.masters.size(), 1);
    EXPECT_NE(book.masters.first(), first);
    // The new one is the one the facade drives.
    facade->disconnectWithDevice();
    EXPECT_EQ(appEvents(start), QStringList{"app.disconnected none"});
}

TEST_F(FacadeTest, AConnectWhileASessionIsUpEndsItFirstWithoutACallback)
{
    auto facade = makeFacade();
    connectAndSucceed(*facade);
    const qsizetype start = journal.size();
    // Each road ends the session once its handshake has started, before it
    // goes on; a refused argument leaves the session alone.
    EXPECT_FALSE(facade->connectDeviceByIp(QStringLiteral("not an address")));
    EXPECT_TRUE(TavlinGlobal::getIsConnecting());
    ASSERT_TRUE(facade->connectDeviceBy8Char(QStringLiteral("AMCBIXZV")));
    EXPECT_EQ(journal.mid(start, 2), (QStringList{"connect.byPin AMCBIXZV", "master.disconnect 0"}));
    EXPECT_FALSE(TavlinGlobal::getIsConnecting());
    EXPECT_FALSE(facade->isConnected());
    EXPECT_EQ(appEvents(start), QStringList());

    // A session still in its handshake has nothing to end.
    ASSERT_TRUE(facade->connectDeviceBy6Digits(QStringLiteral("123456")));
    EXPECT_EQ(journal.filter(QStringLiteral("master.disconnect")).size(), 1);
    EXPECT_TRUE(waitFor([&] { return book.mastersDestroyed == 1; }));
}

TEST_F(FacadeTest, AConnectThatDoesNotStartLeavesTheSessionAsItWas)
{
    auto facade = makeFacade();
    connectAndSucceed(*facade);
    FakeConnectSession *handshake = book.lastConnect();
    const qsizetype start = journal.size();

    // The new handshake cannot start (a code that names no address, a
    // connection that cannot begin), or none can be made.
    book.connectResult = false;
    EXPECT_FALSE(facade->connectDeviceBy6Digits(QStringLiteral("123456")));
    EXPECT_FALSE(facade->connectDeviceBy8Char(QStringLiteral("AMCBIXZV")));
    EXPECT_FALSE(facade->connectDeviceByIp(QStringLiteral("192.0.2.20")));
    book.connectResult = true;
    book.failFactory = true;
    EXPECT_FALSE(facade->connectDeviceByIp(QStringLiteral("192.0.2.21")));
    book.failFactory = false;

    // The session goes on, unaware: nothing ended, nobody told.
    EXPECT_TRUE(journal.mid(start).filter(QStringLiteral("master.disconnect")).isEmpty());
    EXPECT_TRUE(TavlinGlobal::getIsConnecting());
    EXPECT_TRUE(facade->isConnected());
    EXPECT_EQ(appEvents(start), QStringList());
    TestSupport::spin(20); // for a session that must not be made
    EXPECT_EQ(book.connects, QList<FakeConnectSession *>{handshake});
    EXPECT_EQ(facade->getCustomBroadcastString(), QStringLiteral("extra info"));
    // It is still the one a disconnect ends.
    facade->disconnectWithDevice();
    EXPECT_EQ(appEvents(start), QStringList{"app.disconnected none"});
}

TEST_F(FacadeTest, DestroyingTheFacadeEndsItsSessionsQuietly)
{
    auto facade = makeFacade();
    connectAndSucceed(*facade);
    ASSERT_TRUE(facade->connectDeviceByIp(QStringLiteral("192.0.2.13")));   // the first one awaits its drop
    const qsizetype start = journal.size();
    facade.reset();
    EXPECT_EQ(book.connects.size(), 0);
    EXPECT_EQ(book.masters.size(), 0);
    EXPECT_EQ(appEvents(start), QStringList());
    TestSupport::runPostedEvents();
}
