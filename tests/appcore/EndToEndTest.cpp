// The share manager over the real casting library, against the receiver
// emulator on a loopback address of its own: search, connect with a casting
// code, cast, full screen, disconnect and quit, each step seen in the session
// model. Only the system's services and the media senders are doubles.

#include "EmulatedReceiverRig.h"

using TestSupport::waitFor;

namespace {

class EndToEndTest : public EmulatedReceiverTest
{
};

} // namespace

TEST_F(EndToEndTest, SearchConnectCastFullScreenAndDisconnect)
{
    findAndConnect();
    if (HasFatalFailure())
        return;
    cast();
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
    findAndConnect();
    if (HasFatalFailure())
        return;
    cast();
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

TEST_F(EndToEndTest, SearchProbesOnlyTheEmulatedReceiver)
{
    makeManager();
    ASSERT_TRUE(waitFor([&] { return model->deviceList().size() == 1; }, 10000));
    EXPECT_GT(search->probeCount(), 0);
    EXPECT_EQ(search->lastProbeSource(), ownAddress);
    EXPECT_FALSE(manager->connectStatus());
    EXPECT_TRUE(outcomes.isEmpty());
}
