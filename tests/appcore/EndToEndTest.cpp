// The share manager over the real casting library, against the receiver
// emulator on a loopback address of its own: search, connect with a casting
// code, cast, full screen, disconnect and quit, each step seen in the session
// model. Only the system's services and the media senders are doubles.

#include "EmulatedReceiverRig.h"

#include "Utils/TavlinGlobal/DynamicPortTable.h"

using TestSupport::waitFor;

namespace {

class EndToEndTest : public EmulatedReceiverTest
{
};

} // namespace

TEST_F(EndToEndTest, SearchConnectCastFullScreenAndDisconnect)
{
    connectAndCast();
    if (HasFatalFailure())
        return;

    // Full screen: this program's request, then the receiver's own report.
    QSignalSpy styleSpy(model, &QVKVOModel::fullScreenStatusStyleChanged);
    ASSERT_TRUE(manager->setFullScreenStatus(1));
    EXPECT_EQ(model->fullScreenStatus(), 1);
    ASSERT_TRUE(waitFor([&] { return master->count(QStringLiteral("requestCast")) == 2; }));
    ASSERT_TRUE(waitFor([&] { return !styleSpy.isEmpty() && model->fullScreenStatusStyle() == 1; }));

    // Freeze and resume are accepted while the cast runs.
    EXPECT_TRUE(manager->setPauseCastStatus(1));
    EXPECT_TRUE(manager->setPauseCastStatus(0));

    // Stop the cast: the sound goes back to the user's output.
    manager->stopMirror();
    ASSERT_TRUE(waitFor([&] { return model->castScreenStatus() == 1; }));
    EXPECT_EQ(sound.current(), sound.speakers.id);

    // The user's disconnect: reason 0, then the silent reset.
    QSignalSpy typeSpy(model, &QVKVOModel::disconnectDeviceTypeChanged);
    manager->disconnectWithDevice();
    EXPECT_FALSE(manager->connectStatus());
    ASSERT_FALSE(typeSpy.isEmpty());
    for (const QList<QVariant> &told : typeSpy)
        EXPECT_EQ(told.at(0).toLongLong(), 0);
    EXPECT_EQ(model->disconnectDeviceType(), 0);
    ASSERT_TRUE(waitFor([&] { return master->count(QStringLiteral("disconnect")) > 0; }));
    ASSERT_TRUE(waitFor([&] { return model->disconnectDeviceType() == 4; }));
    EXPECT_EQ(model->fullScreenStatus(), 0);
    EXPECT_EQ(model->castScreenStatus(), 1);
    EXPECT_EQ(model->replyCastStatus(), 1);
    // The receiver list is untouched by the reset.
    EXPECT_FALSE(model->deviceList().isEmpty());
    EXPECT_EQ(manager->connectDeviceModel().deviceIP(), receiverAddress.toString());
}

TEST_F(EndToEndTest, QuittingDuringACastGivesTheSoundBackAndLeavesTheReceiver)
{
    connectAndCast();
    if (HasFatalFailure())
        return;

    manager->terminate();
    EXPECT_EQ(manager->tavlinSDK(), nullptr);
    EXPECT_FALSE(manager->connectStatus());
    EXPECT_EQ(sound.current(), sound.speakers.id);
    EXPECT_TRUE(displayInhibitor->held.isEmpty());
    EXPECT_FALSE(senders.shared().videoAlive);
    ASSERT_TRUE(waitFor([&] { return master->count(QStringLiteral("disconnect")) > 0; }));
    ASSERT_TRUE(waitFor([&] { return master->openConnections() == 0; }));
}

TEST_F(EndToEndTest, AVerdictThatArrivesInTwoPiecesConnects)
{
    // "faile" + "d", then "succe" + "ss", each a little apart.
    HandshakeBehaviour behaviour = handshake->behaviour();
    behaviour.verdictCutAt = 5;
    behaviour.pieceGapMs = 30;
    handshake->setBehaviour(behaviour);
    findAndConnect();
    if (HasFatalFailure())
        return;
    EXPECT_EQ(handshake->connectionCount(), 1);
}

TEST_F(EndToEndTest, ACodedReceiverOnItsOwnPortsThatNamesItselfLateIsCastTo)
{
    // Its name reply comes after the library's 1.2-s name wait, so behind
    // the code question; the code is typed once the name reply is in.
    HandshakeBehaviour behaviour = handshake->behaviour();
    behaviour.serverInfoDelayMs = 1600;
    handshake->setBehaviour(behaviour);
    makeManager();
    ASSERT_TRUE(TestSupport::waitFor([&] { return !model->deviceList().isEmpty(); }, 10000));
    ASSERT_TRUE(manager->connectDeviceWithIp(receiverAddress.toString()));
    ASSERT_TRUE(waitFor([&] { return outcomes == QList<qint64>{1}; }, 10000));
    EXPECT_FALSE(handshake->requests(0).contains(QStringLiteral("getListenedPort\r\n1")));
    ASSERT_TRUE(waitFor([&] { return handshake->requests(0).contains(QStringLiteral("getListenedPort\r\n1")); }, 10000));
    ASSERT_TRUE(waitFor([&] { return DynamicPortTable::getDynamicPort_57395() == master->port(); }));

    ASSERT_TRUE(manager->connectDeviceByIpCheckPwd(EmulatedCastingCode));
    ASSERT_TRUE(waitFor([&] { return outcomes.size() == 2; }, 10000));
    EXPECT_EQ(outcomes.at(1), 0);
    EXPECT_EQ(outcomes.count(1), 1);
    // Master control and the cast run on the receiver's own ports.
    ASSERT_TRUE(waitFor([&] { return master->count(QStringLiteral("heartbeat")) > 0; }, 10000));
    cast();
    if (HasFatalFailure())
        return;
    EXPECT_EQ(rtsp.connectionCount(), 1);
}

TEST_F(EndToEndTest, SearchProbesOnlyTheEmulatedReceiver)
{
    makeManager();
    ASSERT_TRUE(waitFor([&] { return model->deviceList().size() == 1; }, 10000));
    EXPECT_GT(search->probeCount(), 0);
    EXPECT_EQ(search->lastProbeSource(), ownAddress);
    EXPECT_FALSE(manager->connectStatus());
    EXPECT_TRUE(outcomes.isEmpty());
}
