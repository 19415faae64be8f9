// Starting, answering, stopping, pausing and full screen of casts through
// the master-control session, with a recording control session.

#include <gtest/gtest.h>

#include "MasterTestSupport.h"
#include "Rtsp/MirrorSocketStatus.h"

using namespace MasterTest;
using TestSupport::spin;
using TestSupport::waitFor;

namespace {

class MasterControlCastTest : public MasterFixture {
protected:
    int castRequests() const { return master->count(QStringLiteral("requestCast")) - fullScreenRequests(); }
    int fullScreenRequests() const
    {
        int n = 0;
        for (const QJsonObject &line : master->allMessages())
            n += line.value(QStringLiteral("requestCast")).toInteger() == 8 ? 1 : 0;
        return n;
    }
};

} // namespace

TEST_F(MasterControlCastTest, CastModeOneStartsAtOnceAndStopsOnRequest)
{
    TLMasterControlPack &p = startedSession();
    p.startMirror();
    ASSERT_NE(controls.last(), nullptr);
    EXPECT_EQ(controls.log->hosts, QStringList{address.toString()});
    EXPECT_EQ(castRequests(), 0);
    EXPECT_EQ(sound.current(), sound.sonvale.id);
    controls.last()->report(MirrorSocketStatusConnected);
    ASSERT_TRUE(waitFor([&] { return recorder.count("castSuccess") == 1; }));
    EXPECT_TRUE(p.castPack()->isCasting());

    // A second start while casting starts nothing and says so at once.
    p.startMirror();
    EXPECT_EQ(controls.log->made, 1);
    EXPECT_EQ(recorder.count("replyCastRequest(0)"), 1);

    p.stopMirror();
    EXPECT_EQ(recorder.events.mid(recorder.events.indexOf("castSuccess")),
              (QStringList{"castSuccess", "replyCastRequest(0)", "castStop()"}));
    EXPECT_EQ(sound.current(), sound.speakers.id);
    // Stopping again, or with nothing running, reports nothing.
    p.stopMirror();
    EXPECT_EQ(recorder.count("castStop()"), 1);
}

TEST_F(MasterControlCastTest, CastModeTwoAsksTheReceiverFirst)
{
    changeBehaviour([](MasterControlBehaviour &b) { b.castMode = 2; });
    TLMasterControlPack &p = startedSession();
    p.startMirror();
    EXPECT_EQ(controls.log->made, 0) << "started before the receiver agreed";
    ASSERT_TRUE(waitFor([&] { return recorder.count("replyCastRequest(1)") == 1; }));
    EXPECT_EQ(controls.log->made, 1);
    EXPECT_EQ(castRequests(), 1);
    EXPECT_TRUE(master->received(0).contains("\n{  \"requestCast\" : 7}\n"));
    EXPECT_FALSE(p.isCastRequestPending());
    controls.last()->report(MirrorSocketStatusConnected);
    ASSERT_TRUE(waitFor([&] { return recorder.count("castSuccess") == 1; }));

    // While casting, no request goes out (the start is refused at once) and
    // any answer is dropped.
    p.startMirror();
    EXPECT_EQ(recorder.count("replyCastRequest(0)"), 1);
    master->sendLine({{"replyCastRequest", 1}});
    master->sendLine({{"replyCastRequest", 0}});
    ASSERT_TRUE(settle());
    EXPECT_EQ(castRequests(), 1);
    EXPECT_EQ(recorder.count("replyCastRequest(1)") + recorder.count("replyCastRequest(0)"), 2);
    EXPECT_EQ(controls.log->made, 1);
    p.stopMirror();
    EXPECT_EQ(recorder.count("castStop()"), 1);
}

TEST_F(MasterControlCastTest, ARefusedOrUnansweredRequestStartsNothing)
{
    // Long enough that a slow machine never reaches it during the pause
    // below.
    castRequestTimeoutMs = 3000;
    changeBehaviour([](MasterControlBehaviour &b) {
        b.castMode = 2;
        b.castReply = 0;
    });
    TLMasterControlPack &p = startedSession();
    p.startMirror();
    ASSERT_TRUE(waitFor([&] { return recorder.count("replyCastRequest(0)") == 1; }));
    EXPECT_EQ(controls.log->made, 0);

    // The receiver's own "timed out" is passed on as it is.
    changeBehaviour([](MasterControlBehaviour &b) { b.castReply = 2; });
    p.startMirror();
    ASSERT_TRUE(waitFor([&] { return recorder.count("replyCastRequest(2)") == 1; }));
    EXPECT_EQ(controls.log->made, 0);

    // No answer at all: given up after the time-out and reported as timed
    // out, never as the receiver's refusal.
    changeBehaviour([](MasterControlBehaviour &b) { b.castReply = -1; });
    p.startMirror();
    EXPECT_TRUE(p.isCastRequestPending());
    spin(200); // for a give-up that must not come before the time-out
    EXPECT_EQ(recorder.count("replyCastRequest(2)"), 1) << "given up before the time-out";
    ASSERT_TRUE(waitFor([&] { return recorder.count("replyCastRequest(2)") == 2; }));
    EXPECT_EQ(recorder.count("replyCastRequest(0)"), 1);
    EXPECT_FALSE(p.isCastRequestPending());
    // A late yes is not acted on.
    master->sendLine({{"replyCastRequest", 1}});
    ASSERT_TRUE(settle());
    EXPECT_EQ(controls.log->made, 0);
    EXPECT_EQ(recorder.count("replyCastRequest(1)"), 0);

    // A new request is answered normally again.
    p.startMirror();
    master->sendLine({{"replyCastRequest", 1}});
    ASSERT_TRUE(waitFor([&] { return recorder.count("replyCastRequest(1)") == 1; }));
    EXPECT_EQ(controls.log->made, 1);
    EXPECT_FALSE(p.isCastRequestPending());
}

TEST_F(MasterControlCastTest, AStopWithdrawsARequestStillWaiting)
{
    changeBehaviour([](MasterControlBehaviour &b) {
        b.castMode = 2;
        b.castReply = 1;
        b.castReplyDelayMs = 150;
    });
    TLMasterControlPack &p = startedSession();
    p.startMirror();
    p.stopMirror();
    EXPECT_FALSE(p.isCastRequestPending());
    ASSERT_TRUE(waitFor([&] { return castRequests() == 1; }));
    spin(300); // the receiver's late yes comes meanwhile and must start nothing
    ASSERT_TRUE(settle());
    EXPECT_EQ(controls.log->made, 0);
    EXPECT_TRUE(recorder.events.filter("replyCastRequest").isEmpty());
    EXPECT_TRUE(recorder.events.filter("castStop").isEmpty());
}

TEST_F(MasterControlCastTest, NoAnswerAfterADisconnectStartsACast)
{
    changeBehaviour([](MasterControlBehaviour &b) {
        b.castMode = 2;
        b.castReply = 1;
        b.castReplyDelayMs = 100;
    });
    TLMasterControlPack &p = startedSession();
    p.startMirror();
    ASSERT_TRUE(waitFor([&] { return castRequests() == 1; }));
    p.disconnectOperator(DisconnectReasonScreenLocked);
    // The receiver's acceptance (and anything else) finds a closed connection.
    ASSERT_TRUE(waitFor([&] { return !master->connectionOpen(0); }));
    master->sendLine({{"replyCastRequest", 1}});
    spin(100); // for a cast that must not start
    EXPECT_EQ(controls.log->made, 0);
    EXPECT_EQ(sound.current(), sound.speakers.id);
    EXPECT_TRUE(inhibitor->reasons.isEmpty());
    EXPECT_EQ(recorder.events.mid(recorder.events.indexOf("allowFullScreen(1)") + 1),
              QStringList{"disconnect(disconnect due to user lock the screen,3)"});
    EXPECT_FALSE(master->connectionOpen(0));
}

TEST_F(MasterControlCastTest, CastModesWithoutCastingStartNothing)
{
    for (qint64 mode : {0, -1, 3}) {
        SCOPED_TRACE(mode);
        TLMasterControlPack &p = startedSession();
        ASSERT_TRUE(report([&](MasterControlBehaviour &b) { b.castMode = mode; }));
        const int refusals = recorder.count("replyCastRequest(0)");
        p.startMirror();
        // Refused at once, so that the caller does not wait for ever.
        EXPECT_EQ(recorder.count("replyCastRequest(0)"), refusals + 1);
        spin(2 * kHeartbeatMs); // for a request or a cast that must not come
        EXPECT_EQ(controls.log->made, 0);
        EXPECT_EQ(castRequests(), 0);
        EXPECT_EQ(recorder.count("replyCastRequest(0)"), refusals + 1);
        changeBehaviour([](MasterControlBehaviour &b) { b.castMode = 1; });
    }
}

TEST_F(MasterControlCastTest, FullScreenRequestsFollowCastModeAndCastState)
{
    changeBehaviour([](MasterControlBehaviour &b) { b.followFullScreenRequests = false; });
    TLMasterControlPack &p = startedSession();
    // Not casting: refused, nothing sent.
    EXPECT_FALSE(p.fullScreenOperator(1));
    EXPECT_FALSE(p.fullScreenOperator(0));
    p.startMirror();
    ASSERT_NE(controls.last(), nullptr);

    const struct {
        qint64 castMode;
        qint64 castState;
        qint64 value;
        bool result;
        const char *sent; // "full", "exit" or none
    } cases[] = {
        {1, 1, 1, true, "full"},  {1, 1, 0, true, nullptr},  {1, 2, 0, true, "exit"},   {1, 2, 1, true, nullptr},
        {1, 0, 1, false, nullptr}, {1, 0, 0, false, nullptr}, {2, 1, 1, true, "full"},  {2, 2, 0, true, "exit"},
        {2, 0, 1, false, nullptr}, {2, 3, 1, true, nullptr},  {0, 1, 1, true, nullptr}, {-1, 1, 1, true, nullptr},
        {-1, 2, 0, true, nullptr}, {-1, 0, 1, true, nullptr},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(QStringLiteral("mode %1 state %2 value %3").arg(c.castMode).arg(c.castState).arg(c.value).toStdString());
        ASSERT_TRUE(report([&](MasterControlBehaviour &b) {
            b.castMode = c.castMode;
            b.castState = c.castState;
        }));
        const int full = fullScreenRequests();
        const int exits = master->count(QStringLiteral("exitFullscreen"));
        EXPECT_EQ(p.fullScreenOperator(c.value), c.result);
        ASSERT_TRUE(settle());
        const QString sent = fullScreenRequests() > full ? QStringLiteral("full")
            : master->count(QStringLiteral("exitFullscreen")) > exits ? QStringLiteral("exit")
                                                                       : QString();
        EXPECT_EQ(sent, c.sent ? QString::fromLatin1(c.sent) : QString());
    }
    EXPECT_TRUE(master->received(0).contains("\n{  \"requestCast\" : 8}\n"));
    EXPECT_TRUE(master->received(0).contains("\n{  \"exitFullscreen\" : \"N\"}\n"));
}

TEST_F(MasterControlCastTest, AFullScreenRoundTripWithTheReceiver)
{
    TLMasterControlPack &p = castingSession();
    EXPECT_TRUE(p.fullScreenOperator(1));
    ASSERT_TRUE(waitFor([&] { return recorder.count("fullScreen(1)") == 1; }));
    EXPECT_EQ(TavlinGlobal::getCastState(), 2);
    EXPECT_TRUE(p.fullScreenOperator(0));
    ASSERT_TRUE(waitFor([&] { return recorder.count("fullScreen(0)") == 1; }));
    EXPECT_EQ(TavlinGlobal::getCastState(), 1);
}

TEST_F(MasterControlCastTest, PauseReachesTheCastOnlyWhileOneRuns)
{
    TLMasterControlPack &p = startedSession();
    EXPECT_FALSE(p.setPasueCast(1));
    p.startMirror();
    FakeCastControl *control = controls.last();
    ASSERT_NE(control, nullptr);
    EXPECT_TRUE(p.setPasueCast(1));
    EXPECT_FALSE(control->paused);
    ASSERT_TRUE(waitFor([&] { return control->paused; }));
    EXPECT_TRUE(p.setPasueCast(0));
    EXPECT_FALSE(control->paused);
    // Freeze and resume within the delay leaves it running.
    EXPECT_TRUE(p.setPasueCast(1));
    EXPECT_TRUE(p.setPasueCast(0));
    spin(150); // past the delay, for a freeze that must not come
    EXPECT_FALSE(control->paused);
    p.stopMirror();
    EXPECT_FALSE(p.setPasueCast(1));
}

TEST_F(MasterControlCastTest, ACastFailureIsPassedOnAndTheNextStartWorks)
{
    TLMasterControlPack &p = castingSession();
    controls.last()->report(MirrorSocketStatusClosedByServer);
    ASSERT_TRUE(waitFor([&] { return recorder.count("castStop(MIRROR_SOCKET_CLOSE_BY_SERVEREXIT,-7)") == 1; }));
    EXPECT_EQ(sound.current(), sound.speakers.id);
    p.startMirror();
    EXPECT_EQ(controls.log->made, 2);
    EXPECT_EQ(sound.current(), sound.sonvale.id);
    p.disconnectOperator(DisconnectReasonByUser);
    EXPECT_EQ(recorder.events.mid(recorder.events.size() - 2), (QStringList{"castStop()", "disconnect()"}));
    EXPECT_EQ(sound.current(), sound.speakers.id);
}
