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

class QuitDuringACastTest : public EmulatedReceiverTest
{
};

} // namespace

TEST_F(QuitDuringACastTest, TheReceiverIsLeftAndTheSoundGivenBackWithinTheBound)
{
    findAndConnect();
    if (HasFatalFailure())
        return;
    cast();
    if (HasFatalFailure())
        return;
    ASSERT_EQ(sound.current(), sound.sonvale.id);

    // The bound far away: the cast's end has to finish on its own, however
    // slow the machine.
    QVQuitPath path;
    QVQuitTimings timings;
    timings.boundMs = 60000;
    path.setTimings(timings);
    QList<int> exits;
    std::atomic<int> boundPassed{0};
    path.setStopWork([this] { manager->terminate(); });
    path.setExit([&](int code) { exits.append(code); });
    path.setBoundPassed([&] { ++boundPassed; });
    path.requestQuit();
    EXPECT_EQ(exits, QList<int>{0});
    EXPECT_EQ(sound.current(), sound.speakers.id);
    EXPECT_FALSE(senders.shared().videoAlive);
    ASSERT_TRUE(waitFor([&] { return master->count(QStringLiteral("disconnect")) > 0; }));
    EXPECT_EQ(boundPassed, 0);
}
