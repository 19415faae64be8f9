#pragma once

#include <QHostAddress>
#include <QJsonObject>
#include <QStringList>
#include <gtest/gtest.h>
#include <memory>

#include "CastTestDoubles.h"
#include "FakePlatform.h"
#include "HandshakeServer.h"
#include "MainControl/TLMasterControlPack/TLMasterControlPack.h"
#include "MasterControlServer.h"
#include "ReceiverEmulator.h"
#include "TestSupport.h"
#include "Utils/TavlinGlobal/DynamicPortTable.h"
#include "Utils/TavlinGlobal/TavlinGlobal.h"

namespace MasterTest {

inline QString describe(const OptionalTavlinError &error)
{
    return error ? QStringLiteral("%1,%2").arg(error->domain).arg(error->code) : QString();
}

// Records what the master-control session reports, in order.
struct MasterRecorder final : MasterControlPackDelegate {
    void masterControlPack_deviceDidDisconnectWithError(const OptionalTavlinError &error) override
    {
        note(QStringLiteral("disconnect(%1)").arg(describe(error)));
    }
    void masterControlPack_castSuccess() override { note(QStringLiteral("castSuccess")); }
    void masterControlPack_castStopWithError(const OptionalTavlinError &error) override
    {
        note(QStringLiteral("castStop(%1)").arg(describe(error)));
    }
    void masterControlPack_allowFullScreenStateChanged(qint64 state) override
    {
        note(QStringLiteral("allowFullScreen(%1)").arg(state));
    }
    void masterControlPack_fullScreenStateChanged(qint64 state) override
    {
        note(QStringLiteral("fullScreen(%1)").arg(state));
    }
    void masterControlPack_replyCastRequest(qint64 reply) override
    {
        note(QStringLiteral("replyCastRequest(%1)").arg(reply));
    }

    int count(const QString &event) const { return static_cast<int>(events.count(event)); }
    QStringList since(qsizetype from) const { return events.mid(from); }

    QStringList events;
    // Runs inside every report, after it is recorded.
    std::function<void(const QString &)> during;

private:
    void note(const QString &event)
    {
        events.append(event);
        if (during)
            during(event);
    }
};

// A receiver with master control and a text handshake port on a loop-back
// address of its own, on this thread; a chosen receiver pointing at it, and
// the library's shared state back at its start.
class MasterFixture : public ::testing::Test {
protected:
    static constexpr int kHeartbeatMs = 50;

    void SetUp() override
    {
        TavlinGlobal::resetAll();
        TavlinGlobal::resetSockets();
        TavlinGlobal::setClientNameSource([] { return QStringLiteral("Tester Mac"); });
        address = TestSupport::uniqueLoopbackAddress();
        emulator = std::make_unique<ReceiverEmulator>(address);
        master = emulator->addComponent<MasterControlServer>(quint16(0));
        handshake = emulator->addComponent<HandshakeServer>(quint16(0));
        ASSERT_TRUE(emulator->start()) << emulator->errorString().toStdString();
        chosen = std::make_shared<Device>();
        chosen->mDevicename = QStringLiteral("Room A");
        chosen->mHostIp = address.toString();
        chosen->mServer_features = FeatureBits::kMasterControl;
        TavlinGlobal::setChoseDevice(chosen);
        DynamicPortTable::setDynamicPort_57395(master->port());
        captureAccess = std::make_shared<Platform::Fake::FakeScreenCaptureAccess>();
        inhibitor = std::make_shared<Platform::Fake::FakeDisplaySleepInhibitor>();
    }
    void TearDown() override
    {
        pack.reset();
        TavlinGlobal::resetSockets();
        emulator.reset();
        TestSupport::runPostedEvents();
        TavlinGlobal::setClientNameSource([] { return QString(); });
        TavlinGlobal::resetAll();
    }

    MasterControlServices services()
    {
        MasterControlServices s;
        s.timings.heartbeatIntervalMs = kHeartbeatMs;
        s.timings.castRequestTimeoutMs = castRequestTimeoutMs;
        s.timings.directCastIntervalMs = 30;
        s.cast.controlFactory = controls.factory();
        s.cast.soundDevices = sound.devices;
        s.cast.displaySleepInhibitor = inhibitor;
        s.cast.timings.pauseDelayMs = 60;
        s.cast.timings.stoppedControlLingerMs = 30;
        s.screenCaptureAccess = captureAccess;
        s.clientName = [] { return QStringLiteral("Tester Mac"); };
        s.versionName = QStringLiteral("2.5.1");
        s.versionCode = 251;
        return s;
    }
    TLMasterControlPack &makeSession()
    {
        pack = std::make_unique<TLMasterControlPack>(&recorder, services());
        return *pack;
    }
    // A started session whose first heartbeat reply has arrived.
    TLMasterControlPack &startedSession()
    {
        TLMasterControlPack &p = makeSession();
        EXPECT_TRUE(p.startMasterControlPack());
        const qint64 mode = master->behaviour().castMode;
        EXPECT_TRUE(TestSupport::waitFor([&] { return TavlinGlobal::getCastMode() == mode && mode != -1; }));
        return p;
    }
    void changeBehaviour(const std::function<void(MasterControlBehaviour &)> &change)
    {
        MasterControlBehaviour behaviour = master->behaviour();
        change(behaviour);
        master->setBehaviour(behaviour);
    }
    // The receiver reports new values; true once the session has them.
    bool report(const std::function<void(MasterControlBehaviour &)> &change)
    {
        changeBehaviour(change);
        const MasterControlBehaviour b = master->behaviour();
        return TestSupport::waitFor([&] {
            return TavlinGlobal::getCastMode() == b.castMode && TavlinGlobal::getMultiScreen() == b.multiScreen
                && TavlinGlobal::getCastState() == b.castState && TavlinGlobal::getMirrorMode() == b.mirrorMode;
        });
    }
    // A session casting under cast mode 1, its start confirmed.
    TLMasterControlPack &castingSession()
    {
        TLMasterControlPack &p = startedSession();
        p.startMirror();
        EXPECT_NE(controls.last(), nullptr);
        if (FakeCastControl *control = controls.last())
            control->report(0);
        EXPECT_TRUE(TestSupport::waitFor([&] { return recorder.count("castSuccess") == 1; }));
        return p;
    }
    // Lets the event loop run until every line sent so far was handled: the
    // receiver asks for information and the answer comes back.
    bool settle()
    {
        const int before = master->count(QStringLiteral("replyInfo"));
        master->sendReportInfo(chosen->mDevicename, TavlinGlobal::getServerRotation());
        return TestSupport::waitFor([&] { return master->count(QStringLiteral("replyInfo")) > before; });
    }

    QHostAddress address;
    std::unique_ptr<ReceiverEmulator> emulator;
    MasterControlServer *master = nullptr;
    HandshakeServer *handshake = nullptr;
    DevicePtr chosen;
    FakeCastControls controls;
    FakeSoundSetup sound;
    std::shared_ptr<Platform::Fake::FakeDisplaySleepInhibitor> inhibitor;
    std::shared_ptr<Platform::Fake::FakeScreenCaptureAccess> captureAccess;
    MasterRecorder recorder;
    std::unique_ptr<TLMasterControlPack> pack;
    // How long a cast request waits for the receiver's answer.
    int castRequestTimeoutMs = 400;
};

} // namespace MasterTest
