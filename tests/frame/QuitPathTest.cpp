// The program's one way out: the cast ends (and with it the borrowed sound
// output) before the program does, within a bound, with status 0.

#include "FrameTestSupport.h"

#include "EmulatedReceiverRig.h"
#include "Main/App/AppDelegate.h"
#include "Main/App/QVQuitPath.h"
#include "PublicManager/QVNotificationCenter.h"

#include <QAction>
#include <QDeadlineTimer>
#include <QMenu>

#include <atomic>
#include <csignal>
#include <thread>
#include <unistd.h>

using TestSupport::waitFor;

namespace {

class QuitPathTest : public FrameTest::Fixture
{
protected:
    void makePath()
    {
        path = std::make_unique<QVQuitPath>();
        // Far away unless a case wants it: a slow machine must not reach it.
        QVQuitTimings timings;
        timings.boundMs = 60000;
        path->setTimings(timings);
        path->setStopWork([this] {
            stopWorkCalls.append(QStringLiteral("stop"));
            manager->terminate();
        });
        path->setExit([this](int code) { exits.append(code); });
        path->setBoundPassed([this] { ++boundPassed; });
    }

    std::unique_ptr<QVQuitPath> path;
    QStringList stopWorkCalls;
    QList<int> exits;
    std::atomic<int> boundPassed{0};
};

} // namespace

TEST_F(QuitPathTest, ACastIsStoppedAndTheSessionEndedBeforeTheExit)
{
    makePath();
    fake->casting = true;
    fake->connected = true;
    fake->calls.clear();
    path->requestQuit();
    EXPECT_EQ(fake->calls, (QStringList{"stopMirror", "disconnectWithDevice", "destroyed"}));
    EXPECT_EQ(exits, QList<int>{0});
    EXPECT_EQ(manager->tavlinSDK(), nullptr);

    // Every later way out finds the work done.
    path->requestQuit();
    EXPECT_EQ(stopWorkCalls.size(), 1);
    EXPECT_EQ(exits, QList<int>{0});
    path.reset();
    EXPECT_EQ(boundPassed, 0);
}

TEST_F(QuitPathTest, TheMenusQuitTakesThePath)
{
    makePath();
    AppDelegateServices services;
    services.trayAvailable = [] { return false; };
    services.setUpLogging = [] {};
    services.shareManager = [this] { return manager.get(); };
    services.quit = [] { QVQuitPath::quitApplication(); };
    AppDelegate delegate(services);
    delegate.applicationDidFinishLaunching();

    EXPECT_EQ(QVQuitPath::current(), path.get());
    fake->casting = true;
    fake->calls.clear();
    delegate.applicationMenu()->findChild<QAction *>(QStringLiteral("quitAction"))->trigger();
    EXPECT_EQ(fake->calls.value(0), QStringLiteral("stopMirror"));
    EXPECT_EQ(exits, QList<int>{0});
}

TEST_F(QuitPathTest, TerminationSignalsTakeThePathFromTheEventLoop)
{
    for (int signal : {SIGTERM, SIGINT}) {
        makePath();
        ASSERT_TRUE(path->installSignalHandlers());
        // One quit path holds the signals.
        QVQuitPath other;
        EXPECT_FALSE(other.installSignalHandlers());

        ::kill(::getpid(), signal);
        ASSERT_TRUE(waitFor([this] { return !exits.isEmpty(); })) << signal;
        EXPECT_EQ(exits, QList<int>{0});
        EXPECT_EQ(stopWorkCalls.size(), 1);
        path.reset();
        exits.clear();
        stopWorkCalls.clear();
        manager = std::make_unique<QVShareManager>(fakeServices(fake, capture));
        QVShareManager::setSharedShareManager(manager.get());
    }
}

TEST_F(QuitPathTest, AStopThatHangsDoesNotKeepTheProgramAlive)
{
    makePath();
    QVQuitTimings timings;
    timings.boundMs = 100;
    path->setTimings(timings);
    // The stop hangs until the bound has passed.
    std::atomic<bool> boundCame{false};
    path->setStopWork([&] {
        QDeadlineTimer limit(30000);
        while (!boundCame && !limit.hasExpired())
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
    });
    std::atomic<bool> boundDuringStop{false};
    path->setBoundPassed([&] {
        ++boundPassed;
        boundDuringStop = exits.isEmpty();
        boundCame = true;
    });
    path->requestQuit();
    EXPECT_EQ(boundPassed, 1);
    EXPECT_TRUE(boundDuringStop);
    EXPECT_EQ(exits, QList<int>{0});
    path.reset();
    EXPECT_EQ(boundPassed, 1);
}

namespace {

// Quitting with the real casting library against the emulated receiver. The
// process ends at the exit: from there on nothing of the program runs, so the
// shared connections are dropped as the end of the process would drop them,
// and what the receiver records is what the quit itself handed to the system.
class QuitDuringACastTest : public EmulatedReceiverTest
{
protected:
    void SetUp() override
    {
        EmulatedReceiverTest::SetUp();
        // The bound far away: the cast's end has to finish on its own,
        // however slow the machine; a quit held up by the receiver shows as
        // the bound passing.
        QVQuitTimings timings;
        timings.boundMs = 60000;
        path.setTimings(timings);
        path.setStopWork([this] { manager->terminate(); });
        path.setExit([this](int code) {
            exits.append(code);
            TavlinGlobal::resetSockets();
        });
        path.setBoundPassed([this] { ++boundPassed; });
    }

    void TearDown() override
    {
        path.removeSignalHandlers();
        EmulatedReceiverTest::TearDown();
    }

    void castUnderway()
    {
        connectAndCast();
        if (HasFatalFailure())
            return;
        ASSERT_EQ(sound.current(), sound.sonvale.id);
    }

    // Quits, through the menu's road or by a signal, and checks that the
    // program ended with status 0 and gave the sound back.
    void quit(int signal = 0)
    {
        if (signal) {
            ASSERT_TRUE(path.installSignalHandlers());
            ::kill(::getpid(), signal);
            ASSERT_TRUE(waitFor([&] { return !exits.isEmpty(); }));
        } else {
            QVQuitPath::quitApplication();
        }
        EXPECT_EQ(exits, QList<int>{0});
        EXPECT_EQ(manager->tavlinSDK(), nullptr);
        EXPECT_EQ(sound.current(), sound.speakers.id);
        EXPECT_TRUE(displayInhibitor->held.isEmpty());
        EXPECT_FALSE(senders.shared().videoAlive);
    }

    void expectTheReceiverLeft()
    {
        ASSERT_TRUE(waitFor([&] { return rtsp.methods().contains("TEARDOWN"); }));
        ASSERT_TRUE(waitFor([&] { return master->count(QStringLiteral("disconnect")) == 1; }));
        ASSERT_TRUE(waitFor([&] { return master->openConnections() == 0; }));
        EXPECT_EQ(boundPassed, 0);
    }

    QVQuitPath path;
    QList<int> exits;
    std::atomic<int> boundPassed{0};
};

} // namespace

TEST_F(QuitDuringACastTest, TheMenusQuitEndsTheCastAndTheSessionOnTheReceiverWithinTheBound)
{
    castUnderway();
    if (HasFatalFailure())
        return;
    quit();
    expectTheReceiverLeft();
}

class QuitBySignalDuringACastTest : public QuitDuringACastTest, public ::testing::WithParamInterface<int>
{
};

TEST_P(QuitBySignalDuringACastTest, EndsTheCastAndTheSessionOnTheReceiverWithinTheBound)
{
    castUnderway();
    if (HasFatalFailure())
        return;
    quit(GetParam());
    expectTheReceiverLeft();
}

INSTANTIATE_TEST_SUITE_P(TerminationSignals, QuitBySignalDuringACastTest, ::testing::Values(SIGTERM, SIGINT),
                         [](const ::testing::TestParamInfo<int> &paramInfo) {
                             return std::string(paramInfo.param == SIGTERM ? "Sigterm" : "Sigint");
                         });

TEST_F(QuitDuringACastTest, AReceiverThatStoppedReadingDoesNotHoldTheQuitUp)
{
    castUnderway();
    if (HasFatalFailure())
        return;
    // It takes nothing more on the cast's control connection and answers no
    // heartbeat.
    RtspReceiver::Behaviour stalled = rtsp.behaviour();
    stalled.readRequests = false;
    rtsp.setBehaviour(stalled);
    MasterControlBehaviour silent = master->behaviour();
    silent.answerHeartbeats = false;
    master->setBehaviour(silent);
    quit();
    EXPECT_EQ(boundPassed, 0);
}

TEST_F(QuitDuringACastTest, AReceiverThatIsGoneDoesNotHoldTheQuitUp)
{
    castUnderway();
    if (HasFatalFailure())
        return;
    // Every connection cut, nothing listening any more.
    receiver->call([](ReceiverEmulator &emulator) { emulator.stop(); });
    rtsp.closeClient();
    quit();
    EXPECT_EQ(boundPassed, 0);
}
