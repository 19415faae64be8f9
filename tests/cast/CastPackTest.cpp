#include <gtest/gtest.h>

#include "CastTestDoubles.h"
#include "LogCapture.h"
#include "Rtsp/MirrorSocketStatus.h"
#include "TestSupport.h"
#include "Utils/TavlinGlobal/TavlinGlobal.h"

using TestSupport::spin;
using TestSupport::waitFor;

namespace {

class CastPackTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        TavlinGlobal::resetAll();
        auto chosen = std::make_shared<Device>();
        chosen->mDevicename = QStringLiteral("Room A");
        chosen->mHostIp = QStringLiteral("192.0.2.10");
        TavlinGlobal::setChoseDevice(chosen);
        TavlinGlobal::setIsConnecting(true);
        inhibitor = std::make_shared<Platform::Fake::FakeDisplaySleepInhibitor>();
    }
    void TearDown() override
    {
        pack.reset();
        TavlinGlobal::resetAll();
    }

    CastPackServices services()
    {
        CastPackServices s;
        s.controlFactory = controls.factory();
        s.soundDevices = sound.devices;
        s.displaySleepInhibitor = inhibitor;
        s.timings.pauseDelayMs = 80;
        s.timings.stoppedControlLingerMs = 30;
        return s;
    }
    TLCastPack &makePack()
    {
        pack = std::make_unique<TLCastPack>(&recorder, services());
        return *pack;
    }
    // The pack after a cast start that the control session confirmed.
    TLCastPack &castingPack()
    {
        TLCastPack &p = makePack();
        recorder.events.clear();
        p.castOperator(1);
        controls.last()->report(MirrorSocketStatusConnected);
        EXPECT_TRUE(waitFor([&] { return recorder.events == QStringList{"castSuccess"}; }));
        recorder.events.clear();
        return p;
    }
    // Everything a cast holds is given back.
    void expectNothingHeld(quint32 output)
    {
        EXPECT_EQ(sound.current(), output);
        EXPECT_TRUE(inhibitor->held.isEmpty());
        EXPECT_FALSE(TavlinGlobal::getIsCasting());
        EXPECT_EQ(pack->mRtspClient(), nullptr);
        EXPECT_FALSE(pack->isCasting());
        EXPECT_FALSE(sound.devices->switches.contains(0u)) << "switched to no device at all";
    }

    FakeCastControls controls;
    FakeSoundSetup sound;
    std::shared_ptr<Platform::Fake::FakeDisplaySleepInhibitor> inhibitor;
    CastRecorder recorder;
    std::unique_ptr<TLCastPack> pack;
};

} // namespace

TEST_F(CastPackTest, StartConnectsKeepsTheDisplayAwakeAndMovesTheSoundToTheVirtualDevice)
{
    TLCastPack &p = makePack();
    p.castOperator(1);
    EXPECT_EQ(controls.events(),
              (QStringList{"control1.init", "control1.setMonitorCallback", "control1.startMrror"}));
    EXPECT_EQ(controls.log->hosts, QStringList{"192.0.2.10"});
    EXPECT_EQ(inhibitor->reasons, QStringList{"Velmora is casting"});
    EXPECT_EQ(p.assertionID(), 1u);
    EXPECT_EQ(sound.current(), sound.sonvale.id);
    EXPECT_EQ(p.defaultAudioId(), sound.speakers.id);
    EXPECT_EQ(TavlinGlobal::getDefaultAudioId(), sound.speakers.id);
    EXPECT_TRUE(p.isCast());
    EXPECT_TRUE(p.isCasting());
    EXPECT_TRUE(TavlinGlobal::getIsCasting());
    // Success is the control session's to say.
    EXPECT_TRUE(recorder.events.isEmpty());
    controls.last()->report(MirrorSocketStatusConnected);
    ASSERT_TRUE(waitFor([&] { return recorder.events == QStringList{"castSuccess"}; }));
}

TEST_F(CastPackTest, EveryFailureStatusStopsTheCastAndCarriesItsDomainAndCode)
{
    const struct {
        qint32 status;
        const char *domain;
    } cases[] = {
        {MirrorSocketStatusOther, "MIRROR_SOCKET_CONNECT_FAILED"},
        {MirrorSocketStatusConnectTimeout, "MIRROR_SOCKET_CLOSE_BY_TIMEOUT"},
        {MirrorSocketStatusClosedByServer, "MIRROR_SOCKET_CLOSE_BY_SERVEREXIT"},
        {MirrorSocketStatusHeartbeatLost, "MIRROR_SOCKET_CLOSE_BY_HEARTBEAT_TIMEOUT"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.domain);
        recorder = CastRecorder{};
        TLCastPack &p = castingPack();
        FakeCastControl *control = controls.last();
        control->report(c.status);
        ASSERT_TRUE(waitFor([&] { return !recorder.events.isEmpty(); }));
        EXPECT_EQ(recorder.events, QStringList{QStringLiteral("castStop(%1,%2)").arg(c.domain).arg(c.status)});
        ASSERT_TRUE(recorder.errors.at(0).has_value());
        EXPECT_EQ(recorder.errors.at(0)->description, QString());
        EXPECT_TRUE(controls.events().endsWith(QStringLiteral("control%1.stopMirror").arg(controls.log->made)));
        expectNothingHeld(sound.speakers.id);
        EXPECT_FALSE(p.isCast());
    }
    // Statuses outside the table end nothing.
    TLCastPack &p = castingPack();
    controls.last()->report(5);
    controls.last()->report(-2);
    spin(50); // for an end that must not come
    EXPECT_TRUE(recorder.events.isEmpty());
    EXPECT_TRUE(p.isCasting());
}

TEST_F(CastPackTest, FailureStatusesAfterTheSessionEndedChangeNothing)
{
    TLCastPack &p = castingPack();
    TavlinGlobal::setIsConnecting(false);
    controls.last()->report(MirrorSocketStatusClosedByServer);
    spin(50); // for an end that must not come
    EXPECT_TRUE(recorder.events.isEmpty());
    EXPECT_TRUE(p.isCast());
    // A status of a control session already let go is not heard either.
    TavlinGlobal::setIsConnecting(true);
    FakeCastControl *old = controls.last();
    p.castOperator(0);
    recorder.events.clear();
    old->reportNow(MirrorSocketStatusClosedByServer);
    old->reportNow(MirrorSocketStatusConnected);
    spin(50); // for a report that must not come
    EXPECT_TRUE(recorder.events.isEmpty());
}

TEST_F(CastPackTest, UserStopReportsWithoutErrorAndAStopWhileIdleReportsNothing)
{
    TLCastPack &idle = makePack();
    idle.castOperator(0);
    EXPECT_TRUE(recorder.events.isEmpty());
    EXPECT_TRUE(controls.events().isEmpty());

    TLCastPack &p = castingPack();
    p.castOperator(0);
    EXPECT_EQ(recorder.events, QStringList{"castStop()"});
    expectNothingHeld(sound.speakers.id);
    p.castOperator(0);
    EXPECT_EQ(recorder.events, QStringList{"castStop()"});
}

TEST_F(CastPackTest, ASecondStartWhileCastingIsIgnored)
{
    TLCastPack &p = castingPack();
    LogCapture log;
    p.castOperator(1);
    EXPECT_EQ(controls.log->made, 1);
    EXPECT_EQ(inhibitor->reasons.size(), 1);
    EXPECT_EQ(p.defaultAudioId(), sound.speakers.id) << "the virtual device was taken for the user's output";
    p.castOperator(0);
    expectNothingHeld(sound.speakers.id);
    EXPECT_TRUE(log.count(QStringLiteral("user start mirror------")) == 1);
}

TEST_F(CastPackTest, TheOutputPlayingAtCastStartComesBackHoweverTheCastEnds)
{
    // The user moves the sound to the headphones during the cast: the cast
    // still ends on the device that played when it began.
    auto userSwitches = [&] { sound.devices->defaultOutput = sound.headphones.id; };

    {
        SCOPED_TRACE("user stop");
        TLCastPack &p = castingPack();
        userSwitches();
        p.castOperator(0);
        expectNothingHeld(sound.speakers.id);
    }
    {
        SCOPED_TRACE("failure status");
        sound.devices->defaultOutput = sound.speakers.id;
        castingPack();
        userSwitches();
        controls.last()->report(MirrorSocketStatusHeartbeatLost);
        ASSERT_TRUE(waitFor([&] { return !recorder.events.isEmpty(); }));
        expectNothingHeld(sound.speakers.id);
    }
    {
        SCOPED_TRACE("destroyed while casting");
        sound.devices->defaultOutput = sound.headphones.id;
        castingPack();
        EXPECT_EQ(sound.current(), sound.sonvale.id);
        pack.reset();
        EXPECT_EQ(sound.current(), sound.headphones.id);
        EXPECT_TRUE(inhibitor->held.isEmpty());
        EXPECT_FALSE(TavlinGlobal::getIsCasting());
        EXPECT_TRUE(recorder.events.isEmpty());
    }
    {
        SCOPED_TRACE("connection ended before the stop, status still on its way");
        sound.devices->defaultOutput = sound.speakers.id;
        TLCastPack &p = castingPack();
        controls.last()->busy = false;
        controls.last()->report(MirrorSocketStatusClosedByServer);
        TavlinGlobal::setIsConnecting(false);
        p.castOperator(0);
        expectNothingHeld(sound.speakers.id);
        EXPECT_EQ(recorder.events, QStringList{"castStop()"});
        spin(50); // for a second report that must not come
        EXPECT_EQ(recorder.events, QStringList{"castStop()"});
        TavlinGlobal::setIsConnecting(true);
    }
}

TEST_F(CastPackTest, SoundWithoutTheVirtualDeviceOrWithoutAnyOutputIsLeftAlone)
{
    {
        SCOPED_TRACE("no virtual device");
        Platform::Fake::FakeSoundDevices &devices = *sound.devices;
        devices.outputs.removeLast();
        TLCastPack &p = castingPack();
        EXPECT_EQ(sound.current(), sound.speakers.id);
        EXPECT_TRUE(p.isCasting());
        p.castOperator(0);
        EXPECT_EQ(sound.current(), sound.speakers.id);
        EXPECT_FALSE(devices.switches.contains(0u));
    }
    {
        SCOPED_TRACE("no output can be read");
        sound = FakeSoundSetup{};
        sound.devices->defaultOutput = 0;
        TLCastPack &p = castingPack();
        EXPECT_EQ(p.defaultAudioId(), 0u);
        EXPECT_EQ(sound.current(), sound.sonvale.id);
        p.castOperator(0);
        EXPECT_FALSE(sound.devices->switches.contains(0u)) << "switched to no device at all";
    }
    {
        SCOPED_TRACE("a cast that ended without giving the sound back");
        sound = FakeSoundSetup{};
        sound.devices->defaultOutput = sound.sonvale.id;
        TLCastPack &p = castingPack();
        EXPECT_EQ(p.defaultAudioId(), sound.speakers.id);
        p.castOperator(0);
        EXPECT_EQ(sound.current(), sound.speakers.id);
    }
}

TEST_F(CastPackTest, ARefusedDisplayInhibitionIsLoggedAndTheCastGoesOn)
{
    inhibitor->available = false;
    LogCapture log;
    TLCastPack &p = castingPack();
    EXPECT_TRUE(log.count(QStringLiteral("fail to keep screen from lock")) == 1);
    EXPECT_EQ(p.assertionID(), 0u);
    EXPECT_TRUE(p.isCasting());
    p.castOperator(0);
    EXPECT_TRUE(inhibitor->releases.isEmpty());
}

TEST_F(CastPackTest, FreezeWaitsItsDelayResumeIsImmediateAndTheLastRequestWins)
{
    TLCastPack &p = castingPack();
    FakeCastControl *control = controls.last();
    auto pauses = [&] { return controls.events().filter(QStringLiteral("setMirrorPause")); };

    // A lone freeze: after the delay, not before.
    p.pauseResumeCast(1);
    EXPECT_FALSE(control->paused);
    EXPECT_TRUE(p.isPausePending());
    ASSERT_TRUE(waitFor([&] { return control->paused; }));
    EXPECT_EQ(pauses(), QStringList{"control1.setMirrorPause(1)"});
    // Freezing a frozen picture does nothing; resume is at once.
    p.pauseResumeCast(1);
    EXPECT_FALSE(p.isPausePending());
    p.pauseResumeCast(0);
    EXPECT_FALSE(control->paused);
    EXPECT_EQ(pauses().size(), 2);
    // Resuming a running picture does nothing.
    p.pauseResumeCast(0);
    EXPECT_EQ(pauses().size(), 2);

    // Two freezes within the delay freeze once. (No event is delivered
    // between the calls, so the delay cannot run out in between.)
    p.pauseResumeCast(1);
    p.pauseResumeCast(1);
    ASSERT_TRUE(waitFor([&] { return control->paused; }));
    spin(150); // for a second freeze that must not come
    EXPECT_EQ(pauses().size(), 3);
    p.pauseResumeCast(0);

    // Freeze then resume within the delay: the picture keeps running.
    p.pauseResumeCast(1);
    p.pauseResumeCast(0);
    EXPECT_FALSE(p.isPausePending());
    spin(200); // past the delay, for a freeze that must not come
    EXPECT_FALSE(control->paused);
    EXPECT_EQ(pauses().size(), 4);

    // Other values, and a stop, call off nothing and pause nothing later.
    p.pauseResumeCast(2);
    EXPECT_FALSE(p.isPausePending());
    p.pauseResumeCast(1);
    p.castOperator(0);
    spin(200); // past the delay, for a freeze that must not come
    EXPECT_EQ(pauses().size(), 4);
    EXPECT_FALSE(TavlinGlobal::getIsPauseCast());
}

TEST_F(CastPackTest, AStoppedControlSessionLingersThenGoes)
{
    TLCastPack &p = castingPack();
    p.castOperator(0);
    EXPECT_EQ(controls.alive(), 1) << "dropped before its last request could leave";
    EXPECT_TRUE(controls.events().contains("control1.clearMonitorCallback"));
    ASSERT_TRUE(waitFor([&] { return controls.alive() == 0; }));
    EXPECT_EQ(controls.log->destroyed, 1);
}

TEST_F(CastPackTest, StopAndRestartFromInsideTheStopReport)
{
    TLCastPack &p = castingPack();
    recorder.during = [&] {
        recorder.during = nullptr;
        p.castOperator(1);
    };
    controls.last()->report(MirrorSocketStatusClosedByServer);
    ASSERT_TRUE(waitFor([&] { return controls.log->made == 2; }));
    EXPECT_TRUE(p.isCasting());
    EXPECT_EQ(p.defaultAudioId(), sound.speakers.id);
    EXPECT_EQ(sound.current(), sound.sonvale.id);
    p.castOperator(0);
    expectNothingHeld(sound.speakers.id);
}

TEST_F(CastPackTest, RecastPathStartsAgainUpToItsLimitThenGivesUp)
{
    TLCastPack &p = castingPack();
    TavlinGlobal::setIsPauseCast(true);
    p.recastPack();
    EXPECT_TRUE(TavlinGlobal::getIsRecasting());
    EXPECT_EQ(p.recastCount(), 1);
    EXPECT_EQ(controls.log->made, 2);
    EXPECT_TRUE(controls.events().contains("control1.stopMirror"));
    EXPECT_EQ(p.defaultAudioId(), sound.speakers.id);
    EXPECT_EQ(sound.current(), sound.sonvale.id);
    EXPECT_EQ(inhibitor->held.size(), 1);

    p.recastSuccessPack();
    EXPECT_EQ(p.recastCount(), 0);
    EXPECT_FALSE(TavlinGlobal::getIsRecasting());

    for (int i = 1; i < TLCastPack::kRecastLimit; ++i)
        p.recastOperator();
    EXPECT_EQ(controls.log->made, 7);
    p.recastOperator();
    EXPECT_EQ(controls.log->made, 7);
    EXPECT_EQ(p.mRtspClient(), nullptr);
    EXPECT_EQ(p.recastCount(), 0);
    EXPECT_EQ(sound.current(), sound.speakers.id);
    EXPECT_TRUE(inhibitor->held.isEmpty());
    // Giving up keeps the pause mark, unlike a stop.
    EXPECT_TRUE(TavlinGlobal::getIsPauseCast());
    EXPECT_TRUE(recorder.events.isEmpty());
}
